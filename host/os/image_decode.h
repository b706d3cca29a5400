// Picture decoding through SDL2_image, over a VirtualFile so byte ranges of an applet decode in place.
#pragma once

#include <cstdint>
#include <vector>

struct VirtualFile;

struct DecodedImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, width per row; alpha 255 where the picture has none
    bool hasAlpha = false;        // some pixel is not fully opaque through a real alpha channel
    int64_t transparent = -1;     // the picture's colour key as 0x00RRGGBB, or -1
};

constexpr int kDecodeUnknownFormat = -1; // no reader recognises the data
constexpr int kDecodeFailed = -2;        // recognised but unreadable (truncated, corrupt, too large)

// Decodes the file from its current position. 0 or one of the codes above; the file stays open.
// Only SDL2_image's readers that survive damaged files are used: BMP, JPEG, PNG, PNM, TIFF, WebP, QOI, and
// PCX after a check of its header. (Its GIF, TGA, XPM and LBM readers crash on damaged files; GIF, TGA and IFF
// pictures have readers of our own, the other formats count as unknown.)
int DecodeImageSDL(VirtualFile *file, DecodedImage *out);
