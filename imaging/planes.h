// Operations on 8-bit alpha planes and 1-bit mask planes.
#pragma once

#include <cstdint>

#include "host/bitmap.h"

// Sets a rectangle of the plane to value; clipped to the plane.
void FillAlphaRect(AlphaPlane *plane, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t value);

// Alpha-plane combination modes (the union of what callers use).
constexpr int kAlphaCopy = 0;         // destination = source
constexpr int kAlphaCopyNonZero = 1;  // destination = source where source != 0
constexpr int kAlphaScaled = 4;       // destination = source x parameter / 255
constexpr int kAlphaIntersect = 7;    // destination = source where both are non-zero, else 0

// Combines a rectangle of source into destination by mode, clipped to both planes and to the given sizes (0
// or anything beyond a plane's size means the plane's size).
void BltAlphaPlaneClipped(const AlphaPlane *source, int32_t sx, int32_t sy, AlphaPlane *dest, int32_t dx, int32_t dy,
                          int32_t width, int32_t height, int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth,
                          int32_t destHeight, int32_t mode, int32_t parameter);
// The same for callers whose rectangles are already inside both planes; still clipped to the planes, because a
// wrong rectangle must not write outside memory.
void BltAlphaPlane(const AlphaPlane *source, int32_t sx, int32_t sy, AlphaPlane *dest, int32_t dx, int32_t dy,
                   int32_t width, int32_t height, int32_t mode, int32_t parameter);

// dest[i] = source[i] x level / 255 over whole rows (source and dest may be the same memory).
void MultiplyAlphaPlane(const uint8_t *source, uint8_t *dest, int32_t level, int32_t bytesPerRow, int32_t rows);

// Inverts every byte of a mask or alpha plane's rows.
void InvertPlane(uint8_t *plane, int32_t rows, int32_t bytesPerRow);
