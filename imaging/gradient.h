// Linear gradients and texture tiling.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "host/bitmap.h"
#include "imaging/pixels.h"

// Where each pixel centre of a width x height rectangle lies along a gradient, 0 to 65536.
struct GradientAxis {
    double dx, dy, lo, scale;
    GradientAxis(int32_t w, int32_t h, double angle);
    int32_t At(int32_t x, int32_t y) const {
        const double t = ((x + 0.5) * dx + (y + 0.5) * dy - lo) * scale;
        const int32_t k = int32_t(std::lround(t));
        return k < 0 ? 0 : k > 65536 ? 65536 : k;
    }
};

// The colours of a gradient a row at a time: the values DRAWGRADIENT writes into a 32-bit bitmap.
struct GradientRows {
    GradientRows(int32_t width, int32_t height, uint32_t startColor, uint32_t endColor, double angle);
    // Colours (0x00RRGGBB) of pixels [i, i + n) of row j of the rectangle, all inside it.
    void Row(int32_t i, int32_t j, int32_t n, uint32_t *out) const;

  private:
    GradientAxis axis;
    Channels start, end;
    std::vector<uint32_t> across; // a gradient that does not change down the rectangle: its one row
};

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
