#include "imaging/effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/blit_kernels.h"

void DissolveFrame(const DissolveParams &p, int32_t level) {
    if (!p.dest || !p.thresholds || p.width <= 0 || p.height <= 0) return;
    const bool reverse = p.reverse != 0;
    for (int32_t y = 0; y < p.height; ++y) {
        const uint16_t *t = p.thresholds + ptrdiff_t(y) * p.width;
        uint8_t *d = p.dest + ptrdiff_t(y) * p.destBytesPerRow;
        const uint8_t *s = p.source ? p.source + ptrdiff_t(y) * p.sourceBytesPerRow : nullptr;
        for (int32_t x = 0; x < p.width; ++x) {
            const bool shown = (int32_t(t[x]) < level) != reverse;
            if (p.planeKind == kDissolveAlpha)
                d[x] = shown ? (s ? s[x] : 255) : 0;
            else
                SetMaskBit(d, x, shown && (!s || MaskBit(s, x)));
        }
    }
}

// Visibility of a source pixel as an alpha value and a mask bit.
static uint8_t SourceAlpha(const PlaneBuffer &mask, const PlaneBuffer &alpha, int x, int y) {
    if (alpha.data) return alpha.Row(y)[x];
    if (mask.data) return MaskBit(mask.Row(y), x) ? 255 : 0;
    return 255;
}

template <class F> static void PixelZoom(const PixelZoomParams &p, int32_t n) {
    if (!p.source.pixels || !p.dest.pixels || n <= 0) return;
    const int w = std::min(p.source.width, p.dest.width), h = std::min(p.source.height, p.dest.height);
    for (int by = 0; by < h; by += n) {
        for (int bx = 0; bx < w; bx += n) {
            const typename F::Pixel v = F::Load(p.source.At(bx, by));
            const uint8_t a = SourceAlpha(p.sourceMask, p.sourceAlpha, bx, by);
            const bool visible = p.sourceMask.data ? MaskBit(p.sourceMask.Row(by), bx) : true;
            const int ex = std::min(bx + n, w), ey = std::min(by + n, h);
            for (int y = by; y < ey; ++y) {
                uint8_t *d = p.dest.At(bx, y);
                for (int x = bx; x < ex; ++x, d += F::kBytes) F::Store(d, v);
                if (p.destMask.data)
                    for (int x = bx; x < ex; ++x) SetMaskBit(p.destMask.Row(y), x, visible);
                if (p.destAlpha.data) std::fill(p.destAlpha.Row(y) + bx, p.destAlpha.Row(y) + ex, a);
            }
        }
    }
}
void PixelZoomFrame32(const PixelZoomParams &p, int32_t n) { PixelZoom<Format32>(p, n); }
void PixelZoomFrame24(const PixelZoomParams &p, int32_t n) { PixelZoom<Format24>(p, n); }
void PixelZoomFrame16(const PixelZoomParams &p, int32_t n) { PixelZoom<Format16>(p, n); }

template <class F>
static void RollCopy(const RollParams &p, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t w, int32_t h) {
    if (!p.source.pixels || !p.dest.pixels) return;
    // Clip both rectangles.
    auto axis = [](int32_t &s, int32_t &d, int32_t &len, int32_t sl, int32_t dl) {
        int32_t cut = std::max({0, -s, -d});
        s += cut;
        d += cut;
        len -= cut;
        len = std::min({len, sl - s, dl - d});
    };
    axis(sx, dx, w, p.source.width, p.dest.width);
    axis(sy, dy, h, p.source.height, p.dest.height);
    for (int32_t j = 0; j < h; ++j) {
        for (int32_t i = 0; i < w; ++i) {
            const uint8_t a = SourceAlpha(p.sourceMask, p.sourceAlpha, sx + i, sy + j);
            if (!a) continue;
            F::Store(p.dest.At(dx + i, dy + j), F::Load(p.source.At(sx + i, sy + j)));
            if (p.destMask.data) SetMaskBit(p.destMask.Row(dy + j), dx + i, true);
            if (p.destAlpha.data) p.destAlpha.Row(dy + j)[dx + i] = a;
        }
    }
}
void RollCopyRect32(const RollParams &p, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t w, int32_t h) {
    RollCopy<Format32>(p, sx, sy, dx, dy, w, h);
}
void RollCopyRect24(const RollParams &p, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t w, int32_t h) {
    RollCopy<Format24>(p, sx, sy, dx, dy, w, h);
}
void RollCopyRect16(const RollParams &p, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t w, int32_t h) {
    RollCopy<Format16>(p, sx, sy, dx, dy, w, h);
}

// The band's n lines as (destination, source) pairs. Each line goes whole where the source has no planes; a
// column roll goes along the pictures' rows, every band column a row at a time, rather than down each column.
template <class F> static void RollLines(const RollParams &p, const int32_t *lines, int32_t n) {
    if (!p.source.pixels || !p.dest.pixels) return;
    const bool opaque = !p.sourceMask.data && !p.sourceAlpha.data;
    if (!p.horizontal) {
        const int32_t w = std::min(p.source.width, p.dest.width);
        for (int32_t k = 0; k < n; ++k) {
            const int32_t dl = lines[2 * k], sl = lines[2 * k + 1];
            if (sl >= p.source.height || w <= 0) continue;
            if (!opaque) {
                RollCopy<F>(p, 0, sl, 0, dl, w, 1);
                continue;
            }
            std::memcpy(p.dest.At(0, dl), p.source.At(0, sl), size_t(w) * F::kBytes);
            if (p.destMask.data)
                for (int32_t x = 0; x < w; ++x) SetMaskBit(p.destMask.Row(dl), x, true);
            if (p.destAlpha.data) std::fill(p.destAlpha.Row(dl), p.destAlpha.Row(dl) + w, uint8_t(255));
        }
        return;
    }
    const int32_t h = std::min(p.source.height, p.dest.height);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t k = 0; k < n; ++k) {
            const int32_t dl = lines[2 * k], sl = lines[2 * k + 1];
            if (sl >= p.source.width) continue;
            const uint8_t a = opaque ? 255 : SourceAlpha(p.sourceMask, p.sourceAlpha, sl, y);
            if (!a) continue;
            F::Store(p.dest.At(dl, y), F::Load(p.source.At(sl, y)));
            if (p.destMask.data) SetMaskBit(p.destMask.Row(y), dl, true);
            if (p.destAlpha.data) p.destAlpha.Row(y)[dl] = a;
        }
}

void RollFrame(RollParams *p) {
    p->linesDrawn = 0;
    p->firstLine = -100000;
    p->lastPosition = p->position;
    if (!p->arc || p->radius <= 0) return;
    const int32_t extent = p->horizontal ? p->dest.width : p->dest.height;
    std::vector<int32_t> lines;
    lines.reserve(size_t(p->radius) * 2);
    for (int32_t i = 0; i < p->radius; ++i) {
        const int32_t dl = p->position - p->radius + 1 + i;
        if (dl < 0 || dl >= extent) continue;
        const int32_t sl = p->position + int32_t(p->arc[i] * p->radius / (2 * M_PI));
        if (sl < 0 || sl >= extent) continue;
        lines.push_back(dl), lines.push_back(sl);
        if (p->firstLine == -100000) p->firstLine = dl;
        ++p->linesDrawn;
    }
    const int32_t n = int32_t(lines.size() / 2);
    if (p->dest.bytesPerPixel == 4) RollLines<Format32>(*p, lines.data(), n);
    else if (p->dest.bytesPerPixel == 3) RollLines<Format24>(*p, lines.data(), n);
    else RollLines<Format16>(*p, lines.data(), n);
}

uint32_t IntegerSqrt(uint64_t v) {
    uint64_t r = uint64_t(std::sqrt(double(v)));
    while (r * r > v) --r;
    while ((r + 1) * (r + 1) <= v) ++r;
    return uint32_t(r);
}

static std::vector<double> SineSteps(bool cosine) {
    std::vector<double> t(kWaveTableSize);
    for (int i = 0; i < kWaveTableSize; ++i) t[size_t(i)] = cosine ? std::cos(i * 0.001) : std::sin(i * 0.001);
    return t;
}
// sin or cos of any angle through a table of 0.001-radian steps.
static double TableAt(const std::vector<double> &t, double radians) {
    double r = std::fmod(radians, 2 * M_PI);
    if (r < 0) r += 2 * M_PI;
    size_t i = std::min<size_t>(size_t(r * 1000.0), t.size() - 1);
    return t[i];
}

void InitWaterTables(WaterParams *p) {
    p->sine = SineSteps(false);
    const int32_t w = p->dest.width, h = p->dest.height;
    p->distance.assign(size_t(std::max(w, 0)) * size_t(std::max(h, 0)), 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            int64_t dx = x - p->centerX, dy = y - p->centerY;
            p->distance[size_t(y) * size_t(w) + size_t(x)] = int32_t(IntegerSqrt(uint64_t(dx * dx + dy * dy)));
        }
}

// The amplitude is a fraction of the wave length: the crest moves a pixel that far along its radius, calmer
// towards the rim and still from the radius on.
static double WaveOffset(const WaterParams &p, int32_t d, double phase) {
    return p.amplitude * p.waveLength * double(p.radius - d) / p.radius * TableAt(p.sine, phase);
}

void WaterDisplace(const WaterParams &p, int32_t x, int32_t y, int32_t frame, int32_t *sx, int32_t *sy) {
    const int32_t w = p.dest.width, h = p.dest.height;
    const int32_t d = p.distance[size_t(y) * size_t(w) + size_t(x)];
    *sx = x;
    *sy = y;
    if (d == 0 || d >= p.radius || p.waveLength <= 0) return;
    const double phase = d / p.waveLength * 2 * M_PI - frame;
    const double off = WaveOffset(p, d, phase);
    *sx = std::clamp(int32_t(std::lround(x + (x - p.centerX) * off / d)), 0, w - 1);
    *sy = std::clamp(int32_t(std::lround(y + (y - p.centerY) * off / d)), 0, h - 1);
}

// The pictures and planes must cover the destination; a mismatch draws nothing rather than reading outside.
static bool SameSize(const PixelBuffer &d, const PixelBuffer &o, const PixelBuffer &n, const PlaneBuffer &na,
                     const PlaneBuffer &la) {
    auto covers = [&](int w, int h) { return w >= d.width && h >= d.height; };
    if (!n.pixels || !covers(n.width, n.height) || n.bytesPerPixel != d.bytesPerPixel) return false;
    if (!la.data && (!o.pixels || !covers(o.width, o.height) || o.bytesPerPixel != d.bytesPerPixel)) return false;
    if (na.data && !covers(na.width, na.height)) return false;
    if (la.data && !covers(la.width, la.height)) return false;
    return true;
}

// BlendChannel on all four bytes of a word at once: two channels per 32-bit lane pair never overflow 16 bits.
static inline uint32_t BlendWord(uint32_t under, uint32_t over, unsigned level) {
    if (level >= 255) return over;
    const uint32_t keep = 256 - level;
    const uint32_t rb = (((under & 0x00FF00FFu) * keep + (over & 0x00FF00FFu) * level) >> 8) & 0x00FF00FFu;
    const uint32_t xg = ((((under >> 8) & 0x00FF00FFu) * keep + ((over >> 8) & 0x00FF00FFu) * level)) & 0xFF00FF00u;
    return rb | xg;
}

// One destination pixel from the samples at (sx, sy): the cross-fade of both pictures, or on a layer the new
// picture with the layer's alpha scaled.
template <class F, class Params>
static inline void PutSample(const Params &p, int32_t x, int32_t y, int32_t sx, int32_t sy, unsigned level) {
    uint8_t *d = p.dest.At(x, y);
    if (p.layerAlpha.data) {
        F::Store(d, F::Load(p.newPicture.At(sx, sy)));
        const unsigned a = p.newAlpha.data ? p.newAlpha.Row(sy)[sx] : 255;
        p.layerAlpha.Row(y)[x] = uint8_t(a * level / 255);
        return;
    }
    if constexpr (F::kBytes == 4) {
        F::Store(d, BlendWord(F::Load(p.oldPicture.At(sx, sy)), F::Load(p.newPicture.At(sx, sy)), level));
    } else {
        const Channels o = F::Unpack(F::Load(p.oldPicture.At(sx, sy))), n = F::Unpack(F::Load(p.newPicture.At(sx, sy)));
        F::Store(d, F::Pack(BlendChannels(o, n, level)));
    }
}

// One row of the cross-fade of both pictures at the same places, as PutSample mixes an unmoved sample.
template <class F>
static void MixRow(uint8_t *to, const uint8_t *under, const uint8_t *over, int32_t w, unsigned level) {
    if constexpr (F::kBytes == 4) {
        BlendRowsLevel32(to, under, over, level, w);
    } else {
        for (int32_t x = 0; x < w; ++x) {
            const size_t at = size_t(x) * F::kBytes;
            const Channels u = F::Unpack(F::Load(under + at)), o = F::Unpack(F::Load(over + at));
            F::Store(to + at, F::Pack(BlendChannels(u, o, level)));
        }
    }
}

// Blends one destination row from the same places of both pictures (no sample moves), as PutSample would.
template <class F, class Params> static void BlendRowInPlace(const Params &p, int32_t y, unsigned level) {
    if (!p.layerAlpha.data) {
        MixRow<F>(p.dest.Row(y), p.oldPicture.Row(y), p.newPicture.Row(y), p.dest.width, level);
        return;
    }
    for (int32_t x = 0; x < p.dest.width; ++x) PutSample<F>(p, x, y, x, y, level);
}

// Rounds half away from zero and clamps to 0..last, in doubles so that the loops using it vectorise: a negative
// value clamps to 0 whichever way it rounds, so only the upward rounding of the fraction matters. Exact for
// places within 2^31.
static inline double RoundIntoRange(double v, double last) {
    double i = double(int32_t(v));
    i += v - i >= 0.5 ? 1.0 : 0.0;
    return std::min(std::max(i, 0.0), last);
}

// The loops that compute sample places get wider vectors where the machine has them; no fused multiply-add,
// which would round differently from the generic paths.
#if defined(__x86_64__) && defined(__GNUC__)
#define WIDER_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define WIDER_VECTORS
#endif
constexpr int32_t kPlaceRun = 32; // pixels whose places are computed together

// The frame's cross-fade of both pictures, which the moved samples are read from: one read per sample, and the
// mixing done in order rather than at scattered places.
template <class F, class Params> static void MixPictures(const Params &p, unsigned level) {
    const ptrdiff_t pitch = ptrdiff_t(p.dest.width) * F::kBytes;
    p.mixed.resize(size_t(pitch) * size_t(p.dest.height));
    for (int32_t y = 0; y < p.dest.height; ++y)
        MixRow<F>(p.mixed.data() + y * pitch, p.oldPicture.Row(y), p.newPicture.Row(y), p.dest.width, level);
}

// A layer pixel's alpha scaled to the frame's level, for every alpha.
struct ScaledAlpha {
    uint8_t at[256];
    explicit ScaledAlpha(unsigned level) {
        for (unsigned a = 0; a < 256; ++a) at[a] = uint8_t(a * level / 255);
    }
};

// n destination pixels of a row from x on (leftwards when dir < 0) from the places (xs, ys): the frame's
// cross-fade, or on a layer the new picture with the layer's alpha scaled.
template <class F, class Params>
static void PutRun(const Params &p, int32_t x, int32_t row, int32_t dir, int32_t n, const int32_t *xs,
                   const int32_t *ys, const ScaledAlpha &alpha) {
    uint8_t *d = p.dest.At(x, row);
    const ptrdiff_t step = dir * F::kBytes;
    if (!p.layerAlpha.data) {
        const uint8_t *mixed = p.mixed.data();
        const ptrdiff_t pitch = ptrdiff_t(p.dest.width) * F::kBytes;
        for (int32_t i = 0; i < n; ++i) F::Store(d + i * step, F::Load(mixed + ys[i] * pitch + xs[i] * F::kBytes));
        return;
    }
    uint8_t *a = p.layerAlpha.Row(row) + x;
    for (int32_t i = 0; i < n; ++i) {
        F::Store(d + i * step, F::Load(p.newPicture.At(xs[i], ys[i])));
        a[i * dir] = alpha.at[p.newAlpha.data ? p.newAlpha.Row(ys[i])[xs[i]] : 255];
    }
}

static unsigned WaterLevel(const WaterParams &p, int32_t frame) {
    return unsigned(std::clamp(frame * 255 / std::max(2 * p.half, 1), 0, 255));
}

static bool WaterReady(const WaterParams &p) {
    return p.dest.pixels && p.distance.size() == size_t(p.dest.width) * size_t(p.dest.height) && !p.sine.empty() &&
           SameSize(p.dest, p.oldPicture, p.newPicture, p.newAlpha, p.layerAlpha);
}

// The reference: every pixel through WaterDisplace, with the maths library in the loop.
template <class F> static void WaterGeneric(const WaterParams &p, int32_t frame) {
    if (!WaterReady(p)) return;
    const unsigned level = WaterLevel(p, frame);
    for (int32_t y = 0; y < p.dest.height; ++y)
        for (int32_t x = 0; x < p.dest.width; ++x) {
            int32_t sx, sy;
            WaterDisplace(p, x, y, frame, &sx, &sy);
            PutSample<F>(p, x, y, sx, sy, level);
        }
}

// The wave's offset depends on the distance alone, so it is computed once per distance for the frame: 0 at the
// centre and from the radius on, which leaves those pixels in place exactly as WaterDisplace does.
struct WaterRun {
    int32_t centerX, radius;
    double lastX, lastY;
    const double *offset; // radius + 1 entries
};

// The places of n pixels of row y from column x on, with the arithmetic and rounding of WaterDisplace, in a plain
// loop the compiler vectorises.
WIDER_VECTORS static void WaterPlaces(const WaterRun &k, const int32_t *distance, int32_t x, int32_t n, int32_t y,
                                      double dy, int32_t *sx, int32_t *sy) {
    for (int32_t i = 0; i < n; ++i) {
        const int32_t d = distance[i];
        const double off = k.offset[std::min(d, k.radius)], over = double(std::max(d, 1));
        sx[i] = int32_t(RoundIntoRange(double(x + i) + double(x + i - k.centerX) * off / over, k.lastX));
        sy[i] = int32_t(RoundIntoRange(double(y) + dy * off / over, k.lastY));
    }
}

// Both paths agree exactly: the same doubles, rounded the same way.
template <class F> static void WaterFast(const WaterParams &p, int32_t frame) {
    if (!WaterReady(p)) return;
    const unsigned level = WaterLevel(p, frame);
    const int32_t w = p.dest.width, h = p.dest.height, radius = std::max(p.radius, 0);
    std::vector<double> offset(size_t(radius) + 1, 0.0);
    // |x - cx| <= d, so while every offset stays below one half (with a margin for the rounding of the doubles)
    // each sample rounds back to its own pixel and the frame is a plain cross-fade.
    bool anyMoves = false;
    for (int32_t d = 1; p.waveLength > 0 && d < radius; ++d) {
        const double phase = d / p.waveLength * 2 * M_PI - frame;
        offset[size_t(d)] = WaveOffset(p, d, phase);
        anyMoves = anyMoves || std::abs(offset[size_t(d)]) >= 0.49;
    }
    if (!anyMoves) {
        for (int32_t y = 0; y < h; ++y) BlendRowInPlace<F>(p, y, level);
        return;
    }
    if (!p.layerAlpha.data) MixPictures<F>(p, level);
    const ScaledAlpha alpha(level);
    const WaterRun run{p.centerX, radius, double(w - 1), double(h - 1), offset.data()};
    // The same bound per pixel: |x - cx| and |y - cy| are at most its distance, so where the offset of every
    // distance in a run stays below one half, the run's samples are its own pixels and it is the cross-fade's.
    std::vector<uint8_t> moves(size_t(radius) + 1);
    for (int32_t d = 0; d <= radius; ++d) moves[size_t(d)] = std::abs(offset[size_t(d)]) >= 0.49;
    const ptrdiff_t pitch = ptrdiff_t(w) * F::kBytes;
    int32_t sx[kPlaceRun], sy[kPlaceRun];
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; x += kPlaceRun) {
            const int32_t n = std::min(kPlaceRun, w - x);
            const int32_t *distance = p.distance.data() + size_t(y) * size_t(w) + x;
            if (!p.layerAlpha.data) {
                uint8_t any = 0;
                for (int32_t i = 0; i < n; ++i) any |= moves[size_t(std::min(distance[i], radius))];
                if (!any) {
                    std::memcpy(p.dest.At(x, y), p.mixed.data() + y * pitch + ptrdiff_t(x) * F::kBytes,
                                size_t(n) * F::kBytes);
                    continue;
                }
            }
            WaterPlaces(run, distance, x, n, y, double(y - p.centerY), sx, sy);
            PutRun<F>(p, x, y, 1, n, sx, sy, alpha);
        }
}
void WaterFrame32(const WaterParams &p, int32_t frame) { WaterFast<Format32>(p, frame); }
void WaterFrame24(const WaterParams &p, int32_t frame) { WaterFast<Format24>(p, frame); }
void WaterFrame16(const WaterParams &p, int32_t frame) { WaterFast<Format16>(p, frame); }
void WaterFrameGeneric(const WaterParams &p, int32_t frame) {
    const int bytes = p.dest.bytesPerPixel;
    if (bytes == 4) WaterGeneric<Format32>(p, frame);
    else if (bytes == 3) WaterGeneric<Format24>(p, frame);
    else if (bytes == 2) WaterGeneric<Format16>(p, frame);
}

// The twist falls off as 1 - r from the centre to the ellipse of the picture; pixels outside stay (-1). The
// ellipse is symmetric about both centre lines, so the table holds the top-left quarter.
static int32_t StrudelHalf(int32_t size) { return (std::max(size, 0) + 1) / 2; }

void InitStrudelTables(StrudelParams *p) {
    p->sine = SineSteps(false);
    p->cosine = SineSteps(true);
    const int32_t w = std::max(p->dest.width, 0), h = std::max(p->dest.height, 0);
    const int32_t halfW = StrudelHalf(w), halfH = StrudelHalf(h);
    const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, rx = std::max(w / 2.0, 1.0), ry = std::max(h / 2.0, 1.0);
    p->falloff.assign(size_t(halfW) * size_t(halfH), -1.0);
    for (int32_t y = 0; y < halfH; ++y)
        for (int32_t x = 0; x < halfW; ++x) {
            const double ux = (x - cx) / rx, uy = (y - cy) / ry;
            const double r2 = ux * ux + uy * uy;
            if (r2 < 1.0) p->falloff[size_t(y) * size_t(halfW) + size_t(x)] = 1.0 - std::sqrt(r2);
        }
}

static double StrudelTwist(int32_t angle) { return (angle <= 360 ? angle : 720 - angle) * M_PI / 180.0; }

static bool StrudelReady(const StrudelParams &p) {
    return p.dest.pixels && !p.sine.empty() && !p.cosine.empty() &&
           SameSize(p.dest, p.oldPicture, p.newPicture, p.newAlpha, p.layerAlpha);
}

template <class F> static void StrudelGeneric(const StrudelParams &p, int32_t angle) {
    if (!StrudelReady(p)) return;
    angle = std::clamp(angle, 0, 719);
    const double twist = StrudelTwist(angle);
    const unsigned level = unsigned(angle * 255 / 720);
    const int32_t w = p.dest.width, h = p.dest.height;
    const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0, rx = std::max(w / 2.0, 1.0), ry = std::max(h / 2.0, 1.0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const double ux = (x - cx) / rx, uy = (y - cy) / ry;
            const double r2 = ux * ux + uy * uy;
            int32_t sx = x, sy = y;
            if (r2 < 1.0) {
                const double a = twist * (1.0 - std::sqrt(r2));
                const double c = TableAt(p.cosine, a), s = TableAt(p.sine, a);
                sx = std::clamp(int32_t(std::lround(cx + (x - cx) * c + (y - cy) * s)), 0, w - 1);
                sy = std::clamp(int32_t(std::lround(cy - (x - cx) * s + (y - cy) * c)), 0, h - 1);
            }
            PutSample<F>(p, x, y, sx, sy, level);
        }
}

// The fall-off comes from the set-up table and the angle never passes a full turn, so the table index needs no
// fmod: the same doubles as the generic path, hence the same samples. A pixel outside the ellipse takes index 0
// (cos 1, sin 0), which gives back its own place exactly. The ellipse is symmetric about both centre lines, and
// negating an offset from the centre negates its products exactly, so one quarter's angles, sines and products
// serve all four mirrored pixels.
struct StrudelRun {
    double twist, cx, cy, lastX, lastY, lastIndex;
    const double *sine, *cosine;
};

// The places of a run of n pixels of a top-left quarter row from column x and of its mirrors: [0] itself, [1]
// mirrored across, [2] down, [3] both, in plain loops the compiler vectorises.
WIDER_VECTORS static void StrudelPlaces(const StrudelRun &k, const double *falloff, int32_t x, int32_t n, double dy,
                          int32_t (*sx)[kPlaceRun], int32_t (*sy)[kPlaceRun]) {
    int32_t index[kPlaceRun];
    double dxc[kPlaceRun], dxs[kPlaceRun], dyc[kPlaceRun], dys[kPlaceRun];
    constexpr double turn = 2 * M_PI;
    for (int32_t i = 0; i < n; ++i) {
        const double a = k.twist * (falloff[i] > 0.0 ? falloff[i] : 0.0);
        const int32_t t = int32_t(std::min(a * 1000.0, k.lastIndex));
        index[i] = a < turn ? t : 0; // a full turn at most: a - turn rounds to index 0
    }
    for (int32_t i = 0; i < n; ++i) {
        const double dx = (x + i) - k.cx, c = k.cosine[index[i]], s = k.sine[index[i]];
        dxc[i] = dx * c, dxs[i] = dx * s, dyc[i] = dy * c, dys[i] = dy * s;
    }
    for (int32_t i = 0; i < n; ++i) {
        // cx + (x - cx) * c + (y - cy) * s and cy - (x - cx) * s + (y - cy) * c for each mirror.
        sx[0][i] = int32_t(RoundIntoRange(k.cx + dxc[i] + dys[i], k.lastX));
        sy[0][i] = int32_t(RoundIntoRange(k.cy - dxs[i] + dyc[i], k.lastY));
        sx[1][i] = int32_t(RoundIntoRange(k.cx - dxc[i] + dys[i], k.lastX));
        sy[1][i] = int32_t(RoundIntoRange(k.cy + dxs[i] + dyc[i], k.lastY));
        sx[2][i] = int32_t(RoundIntoRange(k.cx + dxc[i] - dys[i], k.lastX));
        sy[2][i] = int32_t(RoundIntoRange(k.cy - dxs[i] - dyc[i], k.lastY));
        sx[3][i] = int32_t(RoundIntoRange(k.cx - dxc[i] - dys[i], k.lastX));
        sy[3][i] = int32_t(RoundIntoRange(k.cy + dxs[i] - dyc[i], k.lastY));
    }
}

// The swirl reads one picture, the frame's cross-fade made up front, in small tiles, so that its reads along arcs
// stay within a few pages.
template <class F> static void StrudelFast(const StrudelParams &p, int32_t angle) {
    if (!StrudelReady(p)) return;
    const int32_t w = p.dest.width, h = p.dest.height, halfW = StrudelHalf(w), halfH = StrudelHalf(h);
    if (p.falloff.size() != size_t(halfW) * size_t(halfH)) return;
    angle = std::clamp(angle, 0, 719);
    const double twist = StrudelTwist(angle);
    const unsigned level = unsigned(angle * 255 / 720);
    if (twist == 0) {
        for (int32_t y = 0; y < h; ++y) BlendRowInPlace<F>(p, y, level);
        return;
    }
    if (!p.layerAlpha.data) MixPictures<F>(p, level);
    const ScaledAlpha alpha(level);
    const ptrdiff_t pitch = ptrdiff_t(w) * F::kBytes;
    const StrudelRun run{twist, (w - 1) / 2.0, (h - 1) / 2.0, double(w - 1), double(h - 1),
                         double(p.sine.size() - 1), p.sine.data(), p.cosine.data()};
    int32_t sx[4][kPlaceRun], sy[4][kPlaceRun];
    for (int32_t ty = 0; ty < halfH; ty += kPlaceRun)
        for (int32_t tx = 0; tx < halfW; tx += kPlaceRun) {
            const int32_t n = std::min(kPlaceRun, halfW - tx);
            for (int32_t y = ty; y < std::min(ty + kPlaceRun, halfH); ++y) {
                const double *falloff = p.falloff.data() + size_t(y) * size_t(halfW) + tx;
                if (!p.layerAlpha.data) {
                    bool inside = false;
                    for (int32_t i = 0; i < n; ++i) inside |= falloff[i] > 0.0;
                    if (!inside) { // a run outside the ellipse and its mirrors keep their own pixels
                        for (int32_t m = 0; m < 4; ++m) {
                            const int32_t x = m % 2 ? w - tx - n : tx, row = m < 2 ? y : h - 1 - y;
                            std::memcpy(p.dest.At(x, row), p.mixed.data() + row * pitch + ptrdiff_t(x) * F::kBytes,
                                        size_t(n) * F::kBytes);
                        }
                        continue;
                    }
                }
                StrudelPlaces(run, p.falloff.data() + size_t(y) * size_t(halfW) + tx, tx, n, y - run.cy, sx, sy);
                for (int32_t m = 0; m < 4; ++m)
                    PutRun<F>(p, m % 2 ? w - 1 - tx : tx, m < 2 ? y : h - 1 - y, m % 2 ? -1 : 1, n, sx[m], sy[m],
                              alpha);
            }
        }
}

void StrudelFrame32(const StrudelParams &p, int32_t angle) { StrudelFast<Format32>(p, angle); }
void StrudelFrame24(const StrudelParams &p, int32_t angle) { StrudelFast<Format24>(p, angle); }
void StrudelFrame16(const StrudelParams &p, int32_t angle) { StrudelFast<Format16>(p, angle); }
void StrudelFrameGeneric(const StrudelParams &p, int32_t angle) {
    const int bytes = p.dest.bytesPerPixel;
    if (bytes == 4) StrudelGeneric<Format32>(p, angle);
    else if (bytes == 3) StrudelGeneric<Format24>(p, angle);
    else if (bytes == 2) StrudelGeneric<Format16>(p, angle);
}

// ---- Dissolve of two pictures ---------------------------------------------------------------------------------
// A select per pixel, which vectorises: 16-bit thresholds against the level pick whole 32- or 16-bit pixels.
WIDER_VECTORS static void SelectRow32(uint32_t *d, const uint32_t *o, const uint32_t *n, const uint16_t *t,
                                      int32_t width, uint16_t level) {
    for (int32_t x = 0; x < width; ++x) d[x] = t[x] < level ? n[x] : o[x];
}

WIDER_VECTORS static void SelectRow16(uint16_t *d, const uint16_t *o, const uint16_t *n, const uint16_t *t,
                                      int32_t width, uint16_t level) {
    for (int32_t x = 0; x < width; ++x) d[x] = t[x] < level ? n[x] : o[x];
}

static void SelectRow24(uint8_t *d, const uint8_t *o, const uint8_t *n, const uint16_t *t, int32_t width,
                        uint16_t level) {
    for (int32_t x = 0; x < width; ++x) std::memcpy(d + 3 * x, (t[x] < level ? n : o) + 3 * x, 3);
}

void DissolvePictures(const DissolvePicturesParams &p, int32_t level) {
    const PixelBuffer &d = p.dest, &o = p.oldPicture, &n = p.newPicture;
    const int bytes = d.bytesPerPixel;
    if (!d.pixels || !o.pixels || !n.pixels || !p.thresholds || o.bytesPerPixel != bytes ||
        n.bytesPerPixel != bytes || o.width != d.width || n.width != d.width || o.height != d.height ||
        n.height != d.height)
        return;
    const uint16_t at = uint16_t(std::clamp(level, 0, 65535));
    for (int32_t y = 0; y < d.height; ++y) {
        const uint16_t *t = p.thresholds + ptrdiff_t(y) * d.width;
        if (level > 65535) std::memcpy(d.Row(y), n.Row(y), size_t(d.width) * size_t(bytes));
        else if (bytes == 4)
            SelectRow32(reinterpret_cast<uint32_t *>(d.Row(y)), reinterpret_cast<const uint32_t *>(o.Row(y)),
                        reinterpret_cast<const uint32_t *>(n.Row(y)), t, d.width, at);
        else if (bytes == 2)
            SelectRow16(reinterpret_cast<uint16_t *>(d.Row(y)), reinterpret_cast<const uint16_t *>(o.Row(y)),
                        reinterpret_cast<const uint16_t *>(n.Row(y)), t, d.width, at);
        else if (bytes == 3)
            SelectRow24(d.Row(y), o.Row(y), n.Row(y), t, d.width, at);
    }
}
