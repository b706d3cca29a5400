// Conversions between 0x00RRGGBB pixel arrays, host bitmaps and palette (planar) bitmaps.
#pragma once

#include "host/bitmap.h"

// A palette bitmap as the IFF readers hold it: depth bit planes of bytesPerRow x rows, plane 0 the lowest bit of
// the colour index, leftmost pixel in each byte's top bit.
constexpr int32_t kMaxPlanarDepth = 8;
struct PlanarBitmap {
    int32_t bytesPerRow = 0;
    int32_t rows = 0;
    int32_t depth = 0;
    const uint8_t *planes[kMaxPlanarDepth] = {};
};

// Makes a 32-bit bitmap of width x height from pixels (sourceRowPixels per row) and, when transparent is not -1,
// a mask clear exactly where a pixel's RGB equals it. 0, or kErrOutOfMemory when memory runs out (nothing is returned
// then).
int PixelArrayToBitmap(const uint32_t *pixels, int64_t transparent, int32_t width, int32_t height,
                       int32_t sourceRowPixels, HostBitmap **outBitmap, MaskPlane **outMask);

// A new width x height array of 0x00RRGGBB words (free with FreeBlock) read from the bitmap's top-left corner, or
// null (no memory, or a size larger than the bitmap).
uint32_t *ReadBitmapPixels(const HostBitmap *bitmap, int32_t width, int32_t height);

// Decodes a palette bitmap to a new width x height array of 0x00RRGGBB words (FreeBlock), or null. hamMode 0 looks
// colours up in the palette (2^depth entries expected; indexes past paletteSize give black), 6 and 8 decode
// hold-and-modify with depth 6 or 8: the top two bits pick "palette", "modify blue", "modify red" or "modify
// green" (the value in a component's top bits, its low bits zero), each row starting from black.
uint32_t *ReadPaletteBitMapPixels(const PlanarBitmap *bitmap, const uint32_t *palette, int32_t paletteSize,
                                  int32_t width, int32_t height, int32_t hamMode);
