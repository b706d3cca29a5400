#include "imaging/image_ops.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "host/tasks.h"
#include "imaging/blit.h"
#include "imaging/blit_kernels.h"
#include "runtime/app/errors.h"

static void FreeOuts(HostBitmap **b, MaskPlane **m, AlphaPlane **a) {
    if (b) { FreeHostBitmap(*b); *b = nullptr; }
    if (m) { FreeMaskPlane(*m); *m = nullptr; }
    if (a) { FreeAlphaPlane(*a); *a = nullptr; }
}

void FreeImageTriple(ImageTriple *t) {
    if (!t) return;
    FreeOuts(&t->bitmap, &t->mask, &t->alpha);
    t->width = t->height = 0;
}

int CopyImage(const HostBitmap *bitmap, const MaskPlane *mask, const AlphaPlane *alpha, int32_t x, int32_t y,
              int32_t width, int32_t height, HostBitmap **outBitmap, MaskPlane **outMask, AlphaPlane **outAlpha) {
    if (outBitmap) *outBitmap = nullptr;
    if (outMask) *outMask = nullptr;
    if (outAlpha) *outAlpha = nullptr;
    if (!bitmap || !bitmap->pixels || !outBitmap) return kErrWrongUsage;
    int32_t dx = 0, dy = 0;
    if (!ClipBlitRect(nullptr, &x, &y, &dx, &dy, &width, &height, bitmap->width, bitmap->height, INT32_MAX, INT32_MAX))
        return kErrWrongUsage;
    HostBitmap *b = AllocHostBitmapFormat(width, height, bitmap->format);
    MaskPlane *m = (mask && outMask && b) ? AllocMaskPlane(b, width, height, true) : nullptr;
    AlphaPlane *a = (alpha && outAlpha) ? AllocAlphaPlane(width, height, false) : nullptr;
    if (!b || (mask && outMask && !m) || (alpha && outAlpha && !a)) {
        FreeOuts(&b, &m, &a);
        return kErrOutOfMemory;
    }
    for (int32_t j = 0; j < height; ++j)
        std::memcpy(HostBitmapRow(b, j), HostBitmapRow(bitmap, y + j) + size_t(x) * bitmap->bytesPerPixel,
                    size_t(width) * bitmap->bytesPerPixel);
    if (m) {
        const int32_t rows = mask->rows > 0 ? mask->rows : bitmap->height;
        for (int32_t j = 0; j < height && y + j < rows; ++j) {
            const uint8_t *src = mask->bits + ptrdiff_t(y + j) * mask->bytesPerRow;
            uint8_t *dst = m->bits + ptrdiff_t(j) * m->bytesPerRow;
            for (int32_t i = 0; i < width && x + i < mask->bytesPerRow * 8; ++i) SetMaskBit(dst, i, MaskBit(src, x + i));
        }
    }
    if (a) {
        for (int32_t j = 0; j < height; ++j) {
            uint8_t *dst = a->bytes + ptrdiff_t(j) * a->bytesPerRow;
            for (int32_t i = 0; i < width; ++i)
                dst[i] = (x + i < alpha->width && y + j < alpha->height)
                             ? alpha->bytes[ptrdiff_t(y + j) * alpha->bytesPerRow + x + i] : 255;
        }
    }
    *outBitmap = b;
    if (outMask) *outMask = m;
    if (outAlpha) *outAlpha = a;
    return 0;
}

// ---- Scaling -------------------------------------------------------------------------------------------------
// Source positions in 16.16 fixed point for pixel centres: (i + 0.5) x src / dst - 0.5, clamped to the source.
static int32_t CentreSample(int32_t from, int32_t to, int32_t i) {
    const int64_t p = ((2 * int64_t(i) + 1) * from * 65536) / (2 * int64_t(to)) - 32768;
    return int32_t(std::clamp<int64_t>(p, 0, int64_t(from - 1) * 65536));
}
// The nearest source index for a destination index.
static int32_t NearestSample(int32_t from, int32_t to, int32_t i) {
    return int32_t(((2 * int64_t(i) + 1) * from) / (2 * int64_t(to)));
}
// The samples of destination indices [first, first + count), less shift source pixels (a part's source
// offset).
static std::vector<int32_t> Samples(int32_t (*sample)(int32_t, int32_t, int32_t), int32_t from, int32_t to,
                                    int32_t first, int32_t count, int32_t shift) {
    std::vector<int32_t> v(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        v[size_t(i)] = sample(from, to, first + i) - shift;
    return v;
}

void ScaledSourceSpan(int32_t sourceLength, int32_t newLength, int32_t from, int32_t count, bool smooth,
                      int32_t *first, int32_t *end) {
    // Both samplings grow with the index; a bilinear sample reads its right or lower neighbour too, and the
    // mask follows the nearest pixel even then.
    *first = NearestSample(sourceLength, newLength, from);
    *end = NearestSample(sourceLength, newLength, from + count - 1) + 1;
    if (!smooth) return;
    *first = std::min(*first, CentreSample(sourceLength, newLength, from) >> 16);
    *end = std::max(
        *end,
        std::min((CentreSample(sourceLength, newLength, from + count - 1) >> 16) + 1, sourceLength - 1) + 1);
}

bool IsPlainScale(const double m[4]) {
    return m[1] == 0 && m[2] == 0 && m[0] > 0 && m[3] > 0;
}

void PlainScaleSize(const double m[4], int32_t width, int32_t height, int32_t *outWidth, int32_t *outHeight) {
    *outWidth = std::max<int32_t>(1, int32_t(std::lround(width * m[0])));
    *outHeight = std::max<int32_t>(1, int32_t(std::lround(height * m[3])));
}

// A picture of the largest side takes a while: a program told to end stops the rows here (those left stay clear).
template <class F>
static void ScaleNearestRows(const PixelBuffer &s, int sx, int sy, const PixelBuffer &d, const std::vector<int32_t> &xs,
                             const std::vector<int32_t> &ys) {
    for (int j = 0; j < d.height && !EndRequested(); ++j) {
        const uint8_t *row = s.At(sx, sy + ys[size_t(j)]);
        uint8_t *out = d.Row(j);
        for (int i = 0; i < d.width; ++i, out += F::kBytes) F::Store(out, F::Load(row + xs[size_t(i)] * F::kBytes));
    }
}

static uint8_t Lerp8(unsigned a, unsigned b, unsigned f) { return uint8_t((a * (256 - f) + b * f) >> 8); }
static Channels LerpChannels(Channels a, Channels b, unsigned f) {
    return Channels{Lerp8(a.r, b.r, f), Lerp8(a.g, b.g, f), Lerp8(a.b, b.b, f), Lerp8(a.x, b.x, f)};
}

template <class F>
static void ScaleSmoothRows(const PixelBuffer &s, int sx, int sy, int sw, int sh, const PixelBuffer &d,
                            const std::vector<int32_t> &xs, const std::vector<int32_t> &ys) {
    std::vector<int32_t> x0(static_cast<size_t>(d.width)), x1(static_cast<size_t>(d.width));
    std::vector<uint8_t> fx(static_cast<size_t>(d.width));
    for (int i = 0; i < d.width; ++i) {
        x0[size_t(i)] = xs[size_t(i)] >> 16;
        x1[size_t(i)] = std::min(x0[size_t(i)] + 1, sw - 1);
        fx[size_t(i)] = uint8_t((xs[size_t(i)] >> 8) & 0xFF);
    }
    for (int j = 0; j < d.height && !EndRequested(); ++j) {
        int y0 = ys[size_t(j)] >> 16, y1 = std::min(y0 + 1, sh - 1);
        unsigned fy = (ys[size_t(j)] >> 8) & 0xFF;
        const uint8_t *r0 = s.At(sx, sy + y0), *r1 = s.At(sx, sy + y1);
        uint8_t *out = d.Row(j);
        for (int i = 0; i < d.width; ++i, out += F::kBytes) {
            const int a = x0[size_t(i)] * F::kBytes, b = x1[size_t(i)] * F::kBytes;
            const unsigned f = fx[size_t(i)];
            Channels top = LerpChannels(F::Unpack(F::Load(r0 + a)), F::Unpack(F::Load(r0 + b)), f);
            Channels bottom = LerpChannels(F::Unpack(F::Load(r1 + a)), F::Unpack(F::Load(r1 + b)), f);
            F::Store(out, F::Pack(LerpChannels(top, bottom, fy)));
        }
    }
}

// Two channels at a time: the 0x00FF00FF lanes keep each product below 65536, so no channel spills into the next
// and the result equals Lerp8 on every channel.
static inline uint32_t Lerp32(uint32_t a, uint32_t b, uint32_t f) {
    const uint32_t g = 256 - f;
    const uint32_t rb = ((a & 0x00FF00FF) * g + (b & 0x00FF00FF) * f) >> 8;
    const uint32_t xg = ((a >> 8) & 0x00FF00FF) * g + ((b >> 8) & 0x00FF00FF) * f;
    return (rb & 0x00FF00FF) | (xg & 0xFF00FF00);
}

// 32-bit bilinear scaling: each source row is interpolated across once into a cache of two rows, then rows are
// blended down in 8-bit lanes, a loop the compiler turns into vector code.
static void ScaleSmooth32(const PixelBuffer &s, int sx, int sy, int sw, int sh, const PixelBuffer &d,
                          const std::vector<int32_t> &xs, const std::vector<int32_t> &ys) {
    const size_t w = size_t(d.width);
    std::vector<int32_t> x0(w), x1(w);
    std::vector<uint32_t> fx(w);
    for (size_t i = 0; i < w; ++i) {
        x0[i] = xs[i] >> 16;
        x1[i] = std::min(x0[i] + 1, sw - 1);
        fx[i] = (uint32_t(xs[i]) >> 8) & 0xFF;
    }
    std::vector<uint32_t> rows[2] = {std::vector<uint32_t>(w), std::vector<uint32_t>(w)};
    int cached[2] = {-1, -1};
    auto across = [&](int sourceRow) -> const uint32_t * {
        for (int k = 0; k < 2; ++k)
            if (cached[k] == sourceRow) return rows[k].data();
        const int k = (cached[0] == sourceRow - 1) ? 1 : 0; // keep the row just above, it is needed next
        const uint32_t *r = reinterpret_cast<const uint32_t *>(s.At(sx, sy + sourceRow));
        uint32_t *out = rows[k].data();
        for (size_t i = 0; i < w; ++i) {
            uint32_t a, b;
            std::memcpy(&a, r + x0[i], 4);
            std::memcpy(&b, r + x1[i], 4);
            out[i] = Lerp32(a, b, fx[i]);
        }
        cached[k] = sourceRow;
        return out;
    };
    for (int j = 0; j < d.height && !EndRequested(); ++j) {
        const int y0 = ys[size_t(j)] >> 16, y1 = std::min(y0 + 1, sh - 1);
        const unsigned fy = (ys[size_t(j)] >> 8) & 0xFF, gy = 256 - fy;
        const uint8_t *top = reinterpret_cast<const uint8_t *>(across(y0));
        const uint8_t *bottom = reinterpret_cast<const uint8_t *>(across(y1));
        uint8_t *out = d.Row(j);
        for (size_t i = 0; i < w * 4; ++i) out[i] = uint8_t((top[i] * gy + bottom[i] * fy) >> 8);
    }
}

int ScaleImage(const HostBitmap *bitmap, const MaskPlane *mask, const AlphaPlane *alpha, int32_t sx,
               int32_t sy, HostBitmap *destBitmap, int32_t sourceWidth, int32_t sourceHeight,
               int32_t newWidth, int32_t newHeight, bool smooth, HostBitmap **outBitmap, MaskPlane **outMask,
               AlphaPlane **outAlpha, const TransformPart *part) {
    if (outBitmap) *outBitmap = nullptr;
    if (outMask) *outMask = nullptr;
    if (outAlpha) *outAlpha = nullptr;
    if (!bitmap || !bitmap->pixels || newWidth <= 0 || newHeight <= 0 || newWidth > kMaxBitmapSide ||
        newHeight > kMaxBitmapSide)
        return kErrWrongUsage;
    // The destination pixels made, [i0, i0 + w) x [j0, j0 + h), and where the bitmap lies in the whole
    // source.
    int32_t i0 = 0, j0 = 0, w = newWidth, h = newHeight, shiftX = 0, shiftY = 0;
    if (part) {
        sx = sy = 0;
        sourceWidth = part->wholeWidth, sourceHeight = part->wholeHeight;
        shiftX = part->sourceX, shiftY = part->sourceY;
        i0 = std::clamp(part->x, 0, newWidth), j0 = std::clamp(part->y, 0, newHeight);
        w = std::clamp(part->width, 0, newWidth - i0), h = std::clamp(part->height, 0, newHeight - j0);
        if (w <= 0 || h <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return kErrWrongUsage;
        int32_t x0, x1, y0, y1;
        ScaledSourceSpan(sourceWidth, newWidth, i0, w, smooth, &x0, &x1);
        ScaledSourceSpan(sourceHeight, newHeight, j0, h, smooth, &y0, &y1);
        if (x0 < shiftX || y0 < shiftY || int64_t(x1) > int64_t(shiftX) + bitmap->width ||
            int64_t(y1) > int64_t(shiftY) + bitmap->height)
            return kErrWrongUsage;
    } else {
        int32_t dx = 0, dy = 0;
        if (!ClipBlitRect(nullptr, &sx, &sy, &dx, &dy, &sourceWidth, &sourceHeight, bitmap->width,
                          bitmap->height, INT32_MAX, INT32_MAX))
            return kErrWrongUsage;
    }
    if (destBitmap && (destBitmap->bytesPerPixel != bitmap->bytesPerPixel || destBitmap->width < w ||
                       destBitmap->height < h))
        return kErrWrongUsage;
    HostBitmap *b = destBitmap ? destBitmap : AllocHostBitmapFormat(w, h, bitmap->format);
    MaskPlane *m = (mask && outMask && b) ? AllocMaskPlane(b, w, h, true) : nullptr;
    AlphaPlane *a = (alpha && outAlpha) ? AllocAlphaPlane(w, h, false) : nullptr;
    if (!b || (mask && outMask && !m) || (alpha && outAlpha && !a)) {
        if (b != destBitmap) FreeHostBitmap(b);
        FreeMaskPlane(m);
        FreeAlphaPlane(a);
        return kErrOutOfMemory;
    }
    PixelBuffer src = BitmapPixels(bitmap), dst = BitmapPixels(b);
    dst.width = w;
    dst.height = h;
    // Samples in the bitmap's own indices; the last source pixel a neighbour may take stays the whole
    // source's.
    const int32_t sw = sourceWidth - shiftX, sh = sourceHeight - shiftY;
    const auto nx = Samples(NearestSample, sourceWidth, newWidth, i0, w, shiftX),
               ny = Samples(NearestSample, sourceHeight, newHeight, j0, h, shiftY);
    std::vector<int32_t> cx, cy;
    if (smooth) {
        cx = Samples(CentreSample, sourceWidth, newWidth, i0, w, shiftX * 65536);
        cy = Samples(CentreSample, sourceHeight, newHeight, j0, h, shiftY * 65536);
    }
    DispatchFormat(bitmap->bytesPerPixel, [&](auto format) {
        using F = decltype(format);
        if (smooth && F::kBytes == 4)
            ScaleSmooth32(src, sx, sy, sw, sh, dst, cx, cy);
        else if (smooth)
            ScaleSmoothRows<F>(src, sx, sy, sw, sh, dst, cx, cy);
        else
            ScaleNearestRows<F>(src, sx, sy, dst, nx, ny);
    });
    if (m) {
        const int32_t rows = mask->rows > 0 ? mask->rows : bitmap->height;
        for (int32_t j = 0; j < h && !EndRequested(); ++j) {
            int32_t yy = sy + ny[size_t(j)];
            if (yy >= rows) continue;
            const uint8_t *srow = mask->bits + ptrdiff_t(yy) * mask->bytesPerRow;
            uint8_t *drow = m->bits + ptrdiff_t(j) * m->bytesPerRow;
            for (int32_t i = 0; i < w; ++i) {
                int32_t xx = sx + nx[size_t(i)];
                SetMaskBit(drow, i, xx < mask->bytesPerRow * 8 && MaskBit(srow, xx));
            }
        }
    }
    if (a) {
        auto sample = [&](int32_t xx, int32_t yy) -> unsigned {
            xx += sx;
            yy += sy;
            return (xx < alpha->width && yy < alpha->height) ? alpha->bytes[ptrdiff_t(yy) * alpha->bytesPerRow + xx] : 255;
        };
        for (int32_t j = 0; j < h && !EndRequested(); ++j) {
            uint8_t *drow = a->bytes + ptrdiff_t(j) * a->bytesPerRow;
            for (int32_t i = 0; i < w; ++i) {
                if (!smooth) {
                    drow[i] = uint8_t(sample(nx[size_t(i)], ny[size_t(j)]));
                    continue;
                }
                int32_t x0 = cx[size_t(i)] >> 16, y0 = cy[size_t(j)] >> 16;
                int32_t x1 = std::min(x0 + 1, sw - 1), y1 = std::min(y0 + 1, sh - 1);
                unsigned fx = (cx[size_t(i)] >> 8) & 0xFF, fy = (cy[size_t(j)] >> 8) & 0xFF;
                drow[i] = Lerp8(Lerp8(sample(x0, y0), sample(x1, y0), fx), Lerp8(sample(x0, y1), sample(x1, y1), fx), fy);
            }
        }
    }
    if (outBitmap) *outBitmap = b;
    if (outMask) *outMask = m;
    if (outAlpha) *outAlpha = a;
    return 0;
}

// ---- Mixing and tinting --------------------------------------------------------------------------------------
namespace {
// kTint: the weight is the level itself (tint, transition level); otherwise the mix weight of MixChannels.
template <bool kMask, bool kAlpha> struct MixRule {
    unsigned level;
    PlaneBuffer mask, alpha;
    int sx, sy;
    bool levelWeight = false;
    const uint8_t *maskRow = nullptr, *alphaRow = nullptr;
    void BeginRow(int j) {
        if (kMask) maskRow = mask.Row(sy + j);
        if (kAlpha) alphaRow = alpha.Row(sy + j) + sx;
    }
    template <class F> void Apply(uint8_t *d, const uint8_t *s, int i) const {
        if (kMask && !MaskBit(maskRow, sx + i)) return;
        if (kAlpha && alphaRow[i] == 0) return; // an invisible pixel is left as the mask leaves it
        const unsigned a = kAlpha ? alphaRow[i] * level / 255 : level;
        const Channels dc = F::Unpack(F::Load(d)), sc = F::Unpack(F::Load(s));
        F::Store(d, F::Pack(levelWeight ? (a >= 255 ? sc : TintChannels(dc, sc, a)) : MixChannels(dc, sc, a)));
    }
};

struct TintRule {
    Channels color;
    unsigned level;
    void BeginRow(int) {}
    template <class F> void Apply(uint8_t *d, const uint8_t *, int) const {
        F::Store(d, F::Pack(TintChannels(F::Unpack(F::Load(d)), color, level)));
    }
};

void MixGenericWith(const PixelBuffer &dest, int dx, int dy, const PixelBuffer &source, int sx, int sy, int w, int h,
                    int level, const PlaneBuffer &mask, const PlaneBuffer &alpha, bool levelWeight) {
    const unsigned l = unsigned(std::clamp(level, 0, 255));
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            if (mask.data && !MaskBit(mask.Row(sy + j), sx + i)) continue;
            if (alpha.data && alpha.Row(sy + j)[sx + i] == 0) continue;
            const unsigned a = alpha.data ? alpha.Row(sy + j)[sx + i] * l / 255 : l;
            const Channels d = ReadPixelGeneric(dest, dx + i, dy + j), s = ReadPixelGeneric(source, sx + i, sy + j);
            WritePixelGeneric(dest, dx + i, dy + j, levelWeight ? (a >= 255 ? s : TintChannels(d, s, a)) : MixChannels(d, s, a));
        }
}

void MixPixelsWith(const PixelBuffer &dest, int dx, int dy, const PixelBuffer &source, int sx, int sy, int w, int h,
                   int level, const PlaneBuffer &mask, const PlaneBuffer &alpha, bool levelWeight) {
    if (w <= 0 || h <= 0) return;
    const unsigned l = unsigned(std::clamp(level, 0, 255));
    if (levelWeight && l == 0) return;
    if (source.bytesPerPixel != dest.bytesPerPixel) {
        MixGenericWith(dest, dx, dy, source, sx, sy, w, h, level, mask, alpha, levelWeight);
        return;
    }
    if (dest.bytesPerPixel == 4 && !mask.data && !alpha.data) {
        // The common case (a transparent layer, a cross-fade): one weighted row blend, vectorised.
        // A transition's level 255 is the source itself, as its one-pass row blend (BlendRowsLevel32) has it.
        const unsigned weight = levelWeight ? (l >= 255 ? 256 : l) : MixWeight(l);
        for (int j = 0; j < h; ++j)
            BlendRowsWeighted32(dest.At(dx, dy + j), dest.At(dx, dy + j), source.At(sx, sy + j), weight, w);
        return;
    }
    DispatchFormat(dest.bytesPerPixel, [&](auto format) {
        using F = decltype(format);
        if (mask.data && alpha.data)
            BlitRows<F>(source, sx, sy, dest, dx, dy, w, h, MixRule<true, true>{l, mask, alpha, sx, sy, levelWeight});
        else if (mask.data)
            BlitRows<F>(source, sx, sy, dest, dx, dy, w, h, MixRule<true, false>{l, mask, alpha, sx, sy, levelWeight});
        else if (alpha.data)
            BlitRows<F>(source, sx, sy, dest, dx, dy, w, h, MixRule<false, true>{l, mask, alpha, sx, sy, levelWeight});
        else
            BlitRows<F>(source, sx, sy, dest, dx, dy, w, h, MixRule<false, false>{l, mask, alpha, sx, sy, levelWeight});
    });
}
} // namespace

void MixPixels(const PixelBuffer &dest, int dx, int dy, const PixelBuffer &source, int sx, int sy, int w, int h,
               int level, const PlaneBuffer &mask, const PlaneBuffer &alpha) {
    MixPixelsWith(dest, dx, dy, source, sx, sy, w, h, level, mask, alpha, false);
}

void MixPixelsGeneric(const PixelBuffer &dest, int dx, int dy, const PixelBuffer &source, int sx, int sy, int w,
                      int h, int level, const PlaneBuffer &mask, const PlaneBuffer &alpha) {
    MixGenericWith(dest, dx, dy, source, sx, sy, w, h, level, mask, alpha, false);
}

void MixImages(HostBitmap *dest, const HostBitmap *source, const MaskPlane *sourceMask, int32_t sx, int32_t sy,
               int32_t dx, int32_t dy, int32_t width, int32_t height, int32_t level, const AlphaPlane *sourceAlpha,
               int32_t sourceWidth, int32_t sourceHeight) {
    if (!dest || !source || !dest->pixels || !source->pixels) return;
    int32_t sw = sourceWidth > 0 ? std::min(sourceWidth, source->width) : source->width;
    int32_t sh = sourceHeight > 0 ? std::min(sourceHeight, source->height) : source->height;
    if (sourceAlpha) {
        sw = std::min(sw, sourceAlpha->width);
        sh = std::min(sh, sourceAlpha->height);
    }
    if (sourceMask) {
        sw = std::min(sw, sourceMask->bytesPerRow * 8);
        if (sourceMask->rows > 0) sh = std::min(sh, sourceMask->rows);
    }
    if (!ClipBlitRect(nullptr, &sx, &sy, &dx, &dy, &width, &height, sw, sh, dest->width, dest->height)) return;
    MixPixels(BitmapPixels(dest), dx, dy, BitmapPixels(source), sx, sy, width, height, level,
              MaskPixels(sourceMask, source->width, source->height), AlphaPixels(sourceAlpha));
}

void BlendImageLevel(HostBitmap *dest, const HostBitmap *source, int32_t width, int32_t height, int32_t level) {
    if (!dest || !source || !dest->pixels || !source->pixels) return;
    int32_t sx = 0, sy = 0, dx = 0, dy = 0;
    if (!ClipBlitRect(nullptr, &sx, &sy, &dx, &dy, &width, &height, source->width, source->height, dest->width,
                      dest->height))
        return;
    MixPixelsWith(BitmapPixels(dest), 0, 0, BitmapPixels(source), 0, 0, width, height, level, PlaneBuffer{},
                  PlaneBuffer{}, true);
}

void TintPixels(const PixelBuffer &b, int x, int y, int w, int h, uint32_t color, int level) {
    if (w <= 0 || h <= 0 || level <= 0) return;
    TintRule rule{ColorChannels(color & 0xFFFFFF), unsigned(std::min(level, 255))};
    if (b.bytesPerPixel == 4) {
        const std::vector<uint32_t> colorRow(static_cast<size_t>(w), color & 0xFFFFFF);
        for (int j = 0; j < h; ++j)
            BlendRowsWeighted32(b.At(x, y + j), b.At(x, y + j), reinterpret_cast<const uint8_t *>(colorRow.data()),
                                rule.level, w);
        return;
    }
    DispatchFormat(b.bytesPerPixel, [&](auto format) {
        using F = decltype(format);
        BlitRows<F>(PixelBuffer{}, 0, 0, b, x, y, w, h, rule);
    });
}

void TintPixelsGeneric(const PixelBuffer &b, int x, int y, int w, int h, uint32_t color, int level) {
    const Channels c = ColorChannels(color & 0xFFFFFF);
    const unsigned l = unsigned(std::clamp(level, 0, 255));
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            WritePixelGeneric(b, x + i, y + j, TintChannels(ReadPixelGeneric(b, x + i, y + j), c, l));
}

void TintImage(HostBitmap *bitmap, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t color,
               int32_t level) {
    if (!bitmap || !bitmap->pixels) return;
    int32_t dx = x, dy = y;
    if (!ClipBlitRect(nullptr, &x, &y, &dx, &dy, &width, &height, bitmap->width, bitmap->height, bitmap->width,
                      bitmap->height))
        return;
    TintPixels(BitmapPixels(bitmap), x, y, width, height, color, level);
}

int ApplyKeepAspectRatio(int32_t width, int32_t height, int32_t *newWidth, int32_t *newHeight) {
    const bool keepW = *newWidth == KEEPASPRAT, keepH = *newHeight == KEEPASPRAT;
    if (keepW && keepH) return kErrWrongUsage;
    if (width <= 0 || height <= 0 || (!keepW && *newWidth <= 0) || (!keepH && *newHeight <= 0))
        return kErrSizeNotPositive;
    if (keepW) *newWidth = int32_t((2 * int64_t(width) * *newHeight + height) / (2 * int64_t(height)));
    if (keepH) *newHeight = int32_t((2 * int64_t(height) * *newWidth + width) / (2 * int64_t(width)));
    return 0;
}
