// Row loops for rectangle blits, templated on the pixel layout and on a per-pixel rule. Callers clip first; the
// loops trust their rectangles. Each rule has BeginRow(j) and Apply<F>(destination, source, i).
#pragma once

#include "imaging/pixels.h"

template <class F, class Rule>
void BlitRows(const PixelBuffer &src, int sx, int sy, const PixelBuffer &dst, int dx, int dy, int w, int h,
              Rule rule) {
    for (int j = 0; j < h; ++j) {
        const uint8_t *s = src.pixels ? src.At(sx, sy + j) : nullptr;
        uint8_t *d = dst.At(dx, dy + j);
        rule.BeginRow(j);
        for (int i = 0; i < w; ++i, d += F::kBytes) {
            rule.template Apply<F>(d, s, i);
            if (s) s += F::kBytes;
        }
    }
}

// Source pixel where the mask bit is set.
struct MaskCopyRule {
    PlaneBuffer mask;
    int mx, my;
    const uint8_t *row = nullptr;
    void BeginRow(int j) { row = mask.Row(my + j); }
    template <class F> void Apply(uint8_t *d, const uint8_t *s, int i) const {
        if (MaskBit(row, mx + i)) F::Store(d, F::Load(s));
    }
};

// Source blended by the alpha byte, optionally only where the mask bit is set as well.
template <bool kWithMask> struct AlphaBlendRule {
    PlaneBuffer alpha;
    int ax, ay;
    PlaneBuffer mask;
    int mx, my;
    const uint8_t *alphaRow = nullptr;
    const uint8_t *maskRow = nullptr;
    void BeginRow(int j) {
        alphaRow = alpha.Row(ay + j) + ax;
        if (kWithMask) maskRow = mask.Row(my + j);
    }
    template <class F> void Apply(uint8_t *d, const uint8_t *s, int i) const {
        if (kWithMask && !MaskBit(maskRow, mx + i)) return;
        unsigned a = alphaRow[i];
        if (a == 0) return;
        if (a == 255) {
            F::Store(d, F::Load(s));
            return;
        }
        F::Store(d, F::Pack(BlendChannels(F::Unpack(F::Load(d)), F::Unpack(F::Load(s)), a)));
    }
};

// A fixed colour blended through a coverage plane (no source bitmap).
struct ColorCoverageRule {
    PlaneBuffer coverage;
    int cx, cy;
    Channels color;
    const uint8_t *row = nullptr;
    void BeginRow(int j) { row = coverage.Row(cy + j) + cx; }
    template <class F> void Apply(uint8_t *d, const uint8_t *, int i) const {
        unsigned a = row[i];
        if (a == 0) return;
        F::Store(d, F::Pack(BlendChannels(F::Unpack(F::Load(d)), color, a)));
    }
};

// The 32-bit alpha row blend with 128-bit vectors where the machine has them; the scalar rule elsewhere.
void BlendRowAlpha32(uint8_t *dst, const uint8_t *src, const uint8_t *alpha, int width);
// BlendRowAlpha32 with every source pixel the same value; runs of clear and opaque alpha pass sixteen at a time.
void BlendPixelRowAlpha32(uint8_t *dst, uint32_t pixel, const uint8_t *alpha, int width);
// BlendPixelRowAlpha32 over rows rows, each stride bytes after the one before.
void BlendPixelRectAlpha32(uint8_t *dst, size_t dstStride, uint32_t pixel, const uint8_t *alpha,
                           size_t alphaStride, int width, int rows);
// dst = under with over blended in at a constant level (the rule of BlendRowAlpha32), in one pass: a cross-fade
// frame written straight into its output.
void BlendRowsLevel32(uint8_t *dst, const uint8_t *under, const uint8_t *over, unsigned level, int width);
// dst = WeightChannel(under, over, weight) for every byte, weight 0..256 (the level mixes of pixels.h).
void BlendRowsWeighted32(uint8_t *dst, const uint8_t *under, const uint8_t *over, unsigned weight, int width);
