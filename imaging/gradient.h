// Linear gradients and texture tiling.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "imaging/pixels.h"

// A linear gradient into a rectangle of a bitmap of any kernel layout, clipped to the bitmap; the gradient's
// geometry is that of the whole rectangle. The angle is in degrees, clockwise on screen (y down): 0 runs from start
// at the left to end at the right, 90 from top to bottom. The first and last pixel centres along the direction get
// exactly the start and end colours.
void DRAWGRADIENT(HostBitmap *bitmap, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t startColor,
                  uint32_t endColor, double angle);

// Tiles the texture over the rectangle: pixel (x + i, y + j) takes texture pixel ((offsetX + i) mod textureWidth,
// (offsetY + j) mod textureHeight). Clipped to the destination; the texture size is bounded by the texture.
void TextureFill(HostBitmap *dest, int32_t x, int32_t y, int32_t width, int32_t height, const HostBitmap *texture,
                 int32_t offsetX, int32_t offsetY, int32_t textureWidth, int32_t textureHeight);
void TexturePixels(const PixelBuffer &dest, int x, int y, int w, int h, const PixelBuffer &texture, int offsetX,
                   int offsetY);
