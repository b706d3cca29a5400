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

// ---- Animations: every frame as a picture of the logical screen ---------------------------------------------------
// Opening lists the frames in one pass that skips the image data, recording each one's place, delay and whether
// decoding may restart there (an opaque full-screen frame without disposal 3); reading frame n decodes onward from
// the frame read last or from the last restart point at or before n. Image rectangles are cut to the screen.
struct GifReader;

// Reads the whole file; null when it is no GIF, its block structure is damaged, or it has no image. sizeOnly
// returns the screen size and null. Damaged image data shows when its frame is read.
GifReader *OpenGifFile(VirtualFile *file, int32_t *width, int32_t *height, int32_t *frameCount, bool sizeOnly = false);
// A new width x height array of 0x00RRGGBB words (FreeBlock) of frame n from 0, or null (also when the image data
// of a frame up to n is damaged).
uint32_t *ReadGifFrame(GifReader *reader, int32_t n);
// Milliseconds; 0 for frames without a graphic control.
int32_t GetGifFrameDelay(const GifReader *reader, int32_t n);
// The first image's transparent colour as 0x00RRGGBB, which its see-through pixels and whatever no later image
// covers show in every frame; -1 when it has none.
int64_t GetGifTransparentColour(const GifReader *reader);
void CloseGifFile(GifReader *reader);
