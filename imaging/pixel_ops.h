// In-place pixel operations: grey, invert, colour replacement, flipping, flood fill, colour keys.
// Row lengths are in pixels, as the bitmap records keep them.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "imaging/pixels.h"

// Any of the thirteen PixelFormats to and from channels (the pad or alpha byte kept in Channels::x).
Channels UnpackFormatPixel(uint32_t value, int format);
uint32_t PackFormatPixel(Channels c, int format);
uint32_t LoadFormatPixel(const uint8_t *p, int format);
void StoreFormatPixel(uint8_t *p, uint32_t value, int format);

// grey = 0.299 R + 0.587 G + 0.114 B, rounded; the pad or alpha byte is kept.
void ConvertToGray32(uint8_t *pixels, int32_t width, int32_t height, int32_t format, int32_t rowLength);
void ConvertToGray24(uint8_t *pixels, int32_t width, int32_t height, int32_t format, int32_t rowLength);
void ConvertToGray16(uint8_t *pixels, int32_t width, int32_t height, int32_t format, int32_t rowLength);

// Inverts the colour bits (32-bit: the low 24 bits, the alpha byte is kept).
void InvertPixels32(uint8_t *pixels, int32_t width, int32_t height, int32_t rowLength);
void InvertPixels24(uint8_t *pixels, int32_t width, int32_t height, int32_t rowLength);
void InvertPixels16(uint8_t *pixels, int32_t width, int32_t height, int32_t rowLength);

// pairs: {old, new} pixel values, ended by -1, applied in order to the pixel's current value (chained).
void ReplacePixelColors32(int32_t width, int32_t height, const int32_t *pairs, uint8_t *pixels, int32_t rowLength,
                          uint32_t compareMask);
void ReplacePixelColors24(int32_t width, int32_t height, const int32_t *pairs, uint8_t *pixels, int32_t rowLength);
void ReplacePixelColors16(int32_t width, int32_t height, const int32_t *pairs, uint8_t *pixels, int32_t rowLength);

struct FlipParams {
    uint8_t *pixels = nullptr;
    int32_t width = 0, height = 0;
    int32_t rowLength = 0; // pixels
    int32_t bytesPerPixel = 4;
    uint8_t *mask = nullptr;
    int32_t maskBytesPerRow = 0;
    uint8_t *alpha = nullptr;
    int32_t alphaBytesPerRow = 0;
    int32_t direction = 0; // 0 swaps rows (upside down), anything else mirrors each row
    uint8_t *scratchRow = nullptr; // unused: the flip swaps in place
};
void FlipPixels(const FlipParams &params);

// Boundary fill: from (x, y) every pixel connected through pixels that are neither the boundary nor the fill
// value becomes the fill value. Uses a span stack on the heap, so no picture can exhaust the C++ stack.
struct FloodFillParams {
    uint8_t *pixels = nullptr;
    int32_t width = 0, height = 0;
    int32_t rowLength = 0; // pixels
    uint32_t fill = 0;     // pixel values
    uint32_t boundary = 0;
};
void FloodFillPixels32(const FloodFillParams &params, int32_t x, int32_t y, uint32_t compareMask);
void FloodFillPixels24(const FloodFillParams &params, int32_t x, int32_t y);
void FloodFillPixels16(const FloodFillParams &params, int32_t x, int32_t y);

// A new mask plane for the bitmap, clear where the pixel equals the colour (0x00RRGGBB); null when out of memory.
MaskPlane *MaskFromColorKey(const HostBitmap *bitmap, int32_t width, int32_t height, uint32_t color);
