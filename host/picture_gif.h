// Our own GIF reader (the first image of the file, interlaced or not). SDL2_image's GIF reader frees a wild
// pointer on damaged LZW data, so GIF pictures never reach it.
#pragma once

#include <cstdint>
#include <vector>

struct VirtualFile;

struct GifPicture {
    int32_t width = 0; // of the first image, which is what is decoded (not the logical screen)
    int32_t height = 0;
    std::vector<uint32_t> pixels; // 0xFFRRGGBB, top row first; indexes past the palette are black
    int64_t transparent = -1;     // the graphic control's transparent colour as 0x00RRGGBB, or -1
};

// 0; 1 when the data is not a GIF; 2 when it is one but has no image, or one larger than a bitmap may be.
// LZW data that ends early or breaks off leaves the rest of the image at colour index 0.
int ReadGif(VirtualFile *file, GifPicture *out);
