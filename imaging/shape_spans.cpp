// The span path: a plain shape goes from its rows' runs straight into the output planes, with no image of its
// own. Every pixel is decided by the same rules as the generic renderer (shape_geometry.h), which stays the oracle.
#include <cstring>
#include <cwchar>
#include <new>
#include <optional>
#include <type_traits>
#include <vector>

#include "imaging/gradient.h"
#include "imaging/shape_geometry.h"

namespace {

using SolidRun = void (*)(const PixelBuffer &b, int32_t y, int32_t x, int32_t n, uint32_t rgb);
using BlendRun = void (*)(const PixelBuffer &b, int32_t y, int32_t x, int32_t n, uint32_t rgb, uint32_t opacity,
                          const uint8_t *coverage);
using PaintRun = void (*)(const PixelBuffer &b, int32_t y, int32_t x, int32_t n, const uint32_t *colors,
                          uint32_t opacity, const uint8_t *coverage);

// 32-bit pixels are filled with aligned 16-byte stores: a store that straddles two cache lines costs two.
void FillWords(uint8_t *p, int32_t n, uint32_t v) {
    typedef uint32_t Quad __attribute__((vector_size(16)));
    const Quad q = {v, v, v, v};
    if (n >= 4 && n < 32) { // short: unaligned stores, the last one overlapping, and few branches
        uint8_t *const end = p + 4 * ptrdiff_t(n);
        for (; end - p > 16; p += 16) std::memcpy(p, &q, 16);
        std::memcpy(end - 16, &q, 16);
        return;
    }
    while (n > 0 && reinterpret_cast<uintptr_t>(p) % 16) {
        std::memcpy(p, &v, 4);
        p += 4, --n;
    }
    for (; n >= 16; n -= 16, p += 64) {
        Quad *o = reinterpret_cast<Quad *>(p);
        o[0] = q, o[1] = q, o[2] = q, o[3] = q;
    }
    for (; n >= 4; n -= 4, p += 16) *reinterpret_cast<Quad *>(p) = q;
    for (; n > 0; --n, p += 4) std::memcpy(p, &v, 4);
}

template <class F> void SolidRunOf(const PixelBuffer &b, int32_t y, int32_t x, int32_t n, uint32_t rgb) {
    const typename F::Pixel v = F::FromColor(rgb);
    uint8_t *p = b.At(x, y);
    if constexpr (F::kBytes == 4) {
        if (reinterpret_cast<uintptr_t>(p) % 4 == 0) {
            FillWords(p, n, v);
            return;
        }
    }
    for (int32_t i = 0; i < n; ++i, p += F::kBytes) F::Store(p, v);
}

// A run of pixels of their own colours (a gradient), blended as BlendRunOf does.
template <class F>
void PaintRunOf(const PixelBuffer &b, int32_t y, int32_t x, int32_t n, const uint32_t *colors, uint32_t opacity,
                const uint8_t *coverage) {
    uint8_t *p = b.At(x, y);
    if (!coverage && opacity >= 255) {
        for (int32_t i = 0; i < n; ++i, p += F::kBytes) F::Store(p, F::FromColor(colors[i]));
        return;
    }
    for (int32_t i = 0; i < n; ++i, p += F::kBytes) {
        const uint32_t a = coverage ? (opacity * coverage[i] + 127) / 255 : opacity;
        if (a == 0) continue;
        if (a >= 255) F::Store(p, F::FromColor(colors[i]));
        else F::Store(p, F::Pack(BlendChannels(F::Unpack(F::Load(p)), ColorChannels(colors[i] & 0xFFFFFF), a)));
    }
}

// opacity x coverage / 255 per pixel (coverage null: all covered); the system's one blend rule.
template <class F>
void BlendRunOf(const PixelBuffer &b, int32_t y, int32_t x, int32_t n, uint32_t rgb, uint32_t opacity,
                const uint8_t *coverage) {
    const Channels s = ColorChannels(rgb & 0xFFFFFF);
    const typename F::Pixel solid = F::FromColor(rgb);
    uint8_t *p = b.At(x, y);
    if constexpr (std::is_same_v<F, Format32>) {
        // BlendChannel on two channels at once: each lane's sum stays within 16 bits, so the lanes never mix.
        const uint32_t sRB = solid & 0xFF00FF, sG = (solid >> 8) & 0xFF;
        const bool opaque = opacity >= 255;
        for (int32_t i = 0; i < n; ++i, p += 4) {
            const uint32_t a = !coverage ? opacity : opaque ? coverage[i] : (opacity * coverage[i] + 127) / 255;
            if (a == 0) continue;
            if (a >= 255) {
                std::memcpy(p, &solid, 4);
                continue;
            }
            uint32_t d;
            std::memcpy(&d, p, 4);
            const uint32_t rb = (((d & 0xFF00FF) * (256 - a) + sRB * a) >> 8) & 0xFF00FF;
            const uint32_t gx = (((d >> 8) & 0xFF00FF) * (256 - a) + sG * a) & 0xFF00FF00;
            d = rb | gx;
            std::memcpy(p, &d, 4);
        }
        return;
    }
    for (int32_t i = 0; i < n; ++i, p += F::kBytes) {
        const uint32_t a = coverage ? (opacity * coverage[i] + 127) / 255 : opacity;
        if (a == 0) continue;
        if (a >= 255) F::Store(p, solid);
        else F::Store(p, F::Pack(BlendChannels(F::Unpack(F::Load(p)), s, a)));
    }
}

// Takes runs in shape coordinates, clips them once to the output and writes every plane.
struct SpanWriter {
    const ShapeOutput &o;
    ClipBox box;
    int64_t originX, originY; // the shape's origin in the output
    uint32_t rgb, opacity;
    PixelBuffer pixels{};
    SolidRun solid = nullptr;
    BlendRun blend = nullptr;
    PaintRun paint = nullptr;
    // Only opaque colour into the bitmap, no region mask: a covered run is one fill.
    bool plain = false;
    // A gradient body: its colours over the area box at (areaX, areaY) of the shape.
    const GradientRows *gradient = nullptr;
    int32_t areaX = 0, areaY = 0;
    std::vector<uint32_t> colors;

    SpanWriter(const ShapeOutput &output, int32_t x, int32_t y, uint32_t color)
        : o(output), box(OutputClip(output)), originX(x), originY(y), rgb(color & 0xFFFFFF), opacity(Opacity(color)) {
        if (o.bitmap && o.bitmap->pixels) {
            pixels = BitmapPixels(o.bitmap);
            DispatchFormat(pixels.bytesPerPixel, [&](auto format) {
                using F = decltype(format);
                solid = SolidRunOf<F>;
                blend = BlendRunOf<F>;
                paint = PaintRunOf<F>;
            });
        }
        plain = solid && opacity == 255 && !o.mask && !o.alpha && !o.ownImage && !(o.region && o.region->mask);
    }

    // Run [sx, sx + n) of shape row sy; coverage null means fully covered.
    void Run(int64_t sy, int64_t sx, int64_t n, const uint8_t *coverage) {
        const int64_t y = originY + sy;
        if (y < box.y0 || y >= box.y1) return;
        int64_t x0 = originX + sx, x1 = x0 + n;
        if (x0 < box.x0) {
            if (coverage) coverage += box.x0 - x0;
            x0 = box.x0;
        }
        x1 = std::min<int64_t>(x1, box.x1);
        if (x0 >= x1) return;
        if (plain) {
            if (coverage) blend(pixels, int32_t(y), int32_t(x0), int32_t(x1 - x0), rgb, opacity, coverage);
            else solid(pixels, int32_t(y), int32_t(x0), int32_t(x1 - x0), rgb);
            return;
        }
        if (!o.region || !o.region->mask) {
            Write(int32_t(y), int32_t(x0), int32_t(x1 - x0), coverage);
            return;
        }
        // The region's shape: only its set pixels, a run at a time.
        for (int64_t i = x0; i < x1;) {
            while (i < x1 && !ClipRegionContains(o.region, int32_t(i), int32_t(y))) ++i;
            int64_t end = i;
            while (end < x1 && ClipRegionContains(o.region, int32_t(end), int32_t(y))) ++end;
            if (end > i) Write(int32_t(y), int32_t(i), int32_t(end - i), coverage ? coverage + (i - x0) : nullptr);
            i = end;
        }
    }

    // Rows [sy0, sy1) of the columns [sx, sx + n), covered whole: clipped once.
    void Rect(int64_t sy0, int64_t sy1, int64_t sx, int64_t n) {
        if (o.region && o.region->mask) {
            for (int64_t j = sy0; j < sy1; ++j) Run(j, sx, n, nullptr);
            return;
        }
        const int64_t y0 = std::max<int64_t>(originY + sy0, box.y0), y1 = std::min<int64_t>(originY + sy1, box.y1);
        const int64_t x0 = std::max<int64_t>(originX + sx, box.x0), x1 = std::min<int64_t>(originX + sx + n, box.x1);
        if (x0 >= x1) return;
        if (solid && !gradient && opacity == 255 && !o.mask && !o.alpha) {
            for (int64_t y = y0; y < y1; ++y) solid(pixels, int32_t(y), int32_t(x0), int32_t(x1 - x0), rgb);
            return;
        }
        for (int64_t y = y0; y < y1; ++y) Write(int32_t(y), int32_t(x0), int32_t(x1 - x0), nullptr);
    }

    // A covered run of the mask as WriteMaskPixel would write it pixel by pixel, a byte at a time.
    void MaskRun(uint8_t *row, int32_t x, int32_t n) const {
        if (o.maskMode == TemplateMaskAnd) return; // only uncovered pixels clear
        const auto apply = [mode = o.maskMode](uint8_t &byte, uint8_t bits) {
            if (mode == TemplateMaskClear) byte = uint8_t(byte & ~bits);
            else if (mode == TemplateMaskXor) byte = uint8_t(byte ^ bits);
            else byte = uint8_t(byte | bits);
        };
        const int32_t end = x + n;
        for (; x < end && (x & 7); ++x) apply(row[x >> 3], uint8_t(0x80 >> (x & 7)));
        for (; end - x >= 8; x += 8) apply(row[x >> 3], 0xFF);
        for (; x < end; ++x) apply(row[x >> 3], uint8_t(0x80 >> (x & 7)));
    }

    void Write(int32_t y, int32_t x, int32_t n, const uint8_t *coverage) {
        if (o.ownImage) {
            WriteOwn(y, x, n, coverage);
            return;
        }
        if (solid && gradient) {
            if (colors.size() < size_t(n)) colors.resize(size_t(n));
            gradient->Row(int32_t(x - originX - areaX), int32_t(y - originY - areaY), n, colors.data());
            paint(pixels, y, x, n, colors.data(), opacity, coverage);
        } else if (solid) {
            if (!coverage && opacity == 255) solid(pixels, y, x, n, rgb);
            else blend(pixels, y, x, n, rgb, opacity, coverage);
        }
        if (o.mask && o.mask->bits) {
            if (coverage)
                for (int32_t i = 0; i < n; ++i) WriteMaskPixel(o.mask, o.maskMode, x + i, y, coverage[i] >= 128);
            else
                MaskRun(o.mask->bits + ptrdiff_t(y) * o.mask->bytesPerRow, x, n);
        }
        if (o.alpha && o.alpha->bytes)
            for (int32_t i = 0; i < n; ++i) WriteAlphaPixel(o.alpha, o.alphaLevel, x + i, y, coverage ? coverage[i] : 255);
    }
    // The pixels of the shape's own image: no blending, the planes start cleared and runs do not overlap.
    void WriteOwn(int32_t y, int32_t x, int32_t n, const uint8_t *coverage) {
        if (n <= 0) return;
        const uint32_t *paint = nullptr;
        if (gradient) {
            if (colors.size() < size_t(n)) colors.resize(size_t(n));
            gradient->Row(int32_t(x - originX - areaX), int32_t(y - originY - areaY), n, colors.data());
            paint = colors.data();
        }
        uint32_t *row = HostBitmapRow32(o.bitmap, y) + x;
        uint8_t *alphaRow = o.alpha ? o.alpha->bytes + ptrdiff_t(y) * o.alpha->bytesPerRow + x : nullptr;
        uint8_t *maskRow = o.mask ? o.mask->bits + ptrdiff_t(y) * o.mask->bytesPerRow : nullptr;
        if (!coverage) {
            if (paint)
                for (int32_t i = 0; i < n; ++i) row[i] = paint[i] & 0xFFFFFF;
            else
                FillWords(reinterpret_cast<uint8_t *>(row), n, rgb);
            if (alphaRow) std::memset(alphaRow, int(opacity), size_t(n));
            if (maskRow) MaskRun(maskRow, x, n);
            return;
        }
        for (int32_t i = 0; i < n; ++i) {
            if (!coverage[i]) continue;
            row[i] = (paint ? paint[i] : rgb) & 0xFFFFFF;
            if (alphaRow) alphaRow[i] = uint8_t((opacity * coverage[i] + 127) / 255);
            if (maskRow) SetMaskBit(maskRow, x + i, true);
        }
    }
};

// Widens or narrows [*left, *right] of row j until its ends are exactly the pixels inside (a convex area's row
// is one run, so an estimate a pixel or so off is put right by the same test the generic renderer uses).
template <class Inside> bool FixRun(int32_t *left, int32_t *right, int32_t width, Inside inside) {
    int32_t l = std::max(*left, 0), r = std::min(*right, width - 1);
    if (l > r) { // the estimate fell outside: nothing, or at most the pixel next to it
        l = r = std::clamp(*left, 0, width - 1);
        if (!inside(l)) return false;
    }
    while (l > 0 && inside(l - 1)) --l;
    while (l <= r && !inside(l)) ++l;
    while (r < width - 1 && inside(r + 1)) ++r;
    while (r >= l && !inside(r)) --r;
    *left = l, *right = r;
    return l <= r;
}

// Calls emit(from, to) for the runs of row j's columns [from, to) whose centres the arc's sector holds.
template <class Emit> void SectorRuns(const ArcSector &sector, int64_t j, int32_t from, int32_t to, Emit emit) {
    int32_t runs[4];
    const int n = sector.Row(int32_t(j), from, to - 1, runs);
    for (int k = 0; k < n; ++k)
        if (runs[2 * k] <= runs[2 * k + 1]) emit(runs[2 * k], runs[2 * k + 1] + 1);
}

// An arc's runs keep to its sector unless whole (the ellipse an arc's outline is cut from).
template <class Writer>
void EllipseRuns(const ShapeRecord &s, int32_t bw, int64_t j0, int64_t j1, Writer &w, bool whole = false) {
    const EllipseArea e(s);
    const ArcSector sector(s);
    const bool arc = !whole && s.kind == ObjectKindArc && !sector.Whole();
    const int32_t a = (bw - 1) / 2; // the box is 2a + 1 wide
    for (int64_t j = j0; j < j1; ++j) {
        const double v = (double(j) + 0.5 - e.cy) / e.ry, vv = v * v;
        // EllipseArea::Inside with the row's share worked out once. Columns i and 2a - i lie the same exact
        // distance either side of the centre column a, so the run is found from its left end alone.
        const auto inside = [&](int32_t i) {
            const double u = (i + 0.5 - e.cx) / e.rx;
            return u * u + vv <= 1.0;
        };
        int32_t l = -1; // the chord's left end, found only when needed
        const auto exact = [&] {
            if (l < 0) {
                const double half = vv < 1 ? e.rx * std::sqrt(1 - vv) : 0;
                l = std::clamp(CeilInt(e.cx - half - 0.5), 0, a);
                while (l > 0 && inside(l - 1)) --l;
                while (l <= a && !inside(l)) ++l;
            }
            return l <= a;
        };
        if (!arc) {
            if (exact()) w.Run(j, l, 2 * a - 2 * l + 1, nullptr);
            continue;
        }
        // A narrow sector's runs mostly lie within the chord, found so by their ends' centres alone (the ellipse
        // is convex), with no chord to work out.
        int32_t runs[4];
        const int n = sector.Row(int32_t(j), 0, 2 * a, runs);
        for (int k = 0; k < n; ++k) {
            int32_t from = runs[2 * k], to = runs[2 * k + 1];
            if (from > to) continue;
            if (!inside(from) || !inside(to)) {
                if (!exact()) break;
                from = std::max(from, l), to = std::min(to, 2 * a - l);
            }
            if (from <= to) w.Run(j, from, to - from + 1, nullptr);
        }
    }
}

template <class Writer> void BoxRuns(const ShapeRecord &s, int64_t j0, int64_t j1, Writer &w) {
    const BoxArea b(s);
    if (b.r <= 0) {
        w.Rect(j0, j1, 0, s.sizeX);
        return;
    }
    for (int64_t j = j0; j < j1; ++j) {
        const double py = double(j) + 0.5, dy = py - std::clamp(py, b.r, b.h - b.r);
        const double half = dy * dy < b.r * b.r ? std::sqrt(b.r * b.r - dy * dy) : 0;
        int32_t l = int32_t(std::ceil(b.r - half - 0.5)), r = int32_t(std::floor(b.w - b.r + half - 0.5));
        if (FixRun(&l, &r, s.sizeX, [&](int32_t i) { return b.Inside(i, int32_t(j)); })) w.Run(j, l, r - l + 1, nullptr);
    }
}

void ThinLineRuns(const ShapeRecord &s, SpanWriter &w) {
    int64_t row = 0, from = 0, to = 0; // the run being gathered: [from, to) of row
    bool open = false;
    WalkLine(s.x1, s.y1, s.x2, s.y2, [&](int32_t x, int32_t y) {
        if (open && y == row && x == to) {
            ++to;
            return;
        }
        if (open && y == row && x == from - 1) {
            --from;
            return;
        }
        if (open) w.Run(row, from, to - from, nullptr);
        row = y, from = x, to = x + 1, open = true;
    });
    if (open) w.Run(row, from, to - from, nullptr);
}

// Where a row's centre line meets the line's capsule (its two end discs and the band between): the x range.
struct CapsuleChords {
    const ThickLine &l;
    double length, acrossWidth, overDy, overDx;
    explicit CapsuleChords(const ThickLine &line)
        : l(line), length(std::sqrt(line.length2)), acrossWidth(line.half * length), overDy(line.dy != 0 ? 1 / line.dy : 0),
          overDx(line.dx != 0 ? 1 / line.dx : 0) {}
    bool At(double yc, double *lo, double *hi) const {
        double a = INFINITY, b = -INFINITY;
        const auto add = [&](double from, double to) {
            if (from > to) std::swap(from, to);
            a = std::min(a, from), b = std::max(b, to);
        };
        const double ends[2][2] = {{l.ax, l.ay}, {l.bx, l.by}};
        for (const auto &end : ends) {
            const double d = yc - end[1];
            if (d * d <= l.half * l.half) {
                const double w = std::sqrt(l.half * l.half - d * d);
                add(end[0] - w, end[0] + w);
            }
        }
        const double v = yc - l.ay;
        if (length > 0) {
            // Across the segment within half the thickness, along it between the ends.
            double acrossLo = -INFINITY, acrossHi = INFINITY, alongLo = -INFINITY, alongHi = INFINITY;
            if (l.dy != 0) {
                acrossLo = l.ax + (v * l.dx - acrossWidth) * overDy, acrossHi = l.ax + (v * l.dx + acrossWidth) * overDy;
                if (acrossLo > acrossHi) std::swap(acrossLo, acrossHi);
            } else if (std::fabs(v) > l.half) {
                acrossLo = INFINITY;
            }
            if (l.dx != 0) {
                alongLo = l.ax - v * l.dy * overDx, alongHi = l.ax + (l.length2 - v * l.dy) * overDx;
                if (alongLo > alongHi) std::swap(alongLo, alongHi);
            } else if (v * l.dy < 0 || v * l.dy > l.length2) {
                alongLo = INFINITY;
            }
            const double from = std::max(acrossLo, alongLo), to = std::min(acrossHi, alongHi);
            if (from <= to) add(from, to);
        }
        *lo = a, *hi = b;
        return a <= b;
    }
};

void ThickLineRuns(const ShapeRecord &s, int32_t bx, int32_t bw, int64_t j0, int64_t j1, SpanWriter &w) {
    const ThickLine l(s);
    const CapsuleChords chords(l);
    for (int64_t j = j0; j < j1; ++j) {
        double lo, hi;
        if (!chords.At(double(j) + 0.5, &lo, &hi)) continue;
        int32_t left = int32_t(std::clamp(std::ceil(lo - 0.5) - bx, -1.0, double(bw)));
        int32_t right = int32_t(std::clamp(std::floor(hi - 0.5) - bx, -1.0, double(bw)));
        // Ends well clear of a pixel centre need no checking: the chord is the capsule's own boundary.
        const double nearest = std::min({std::fabs(lo - (left + bx - 0.5)), std::fabs(lo - (left + bx + 0.5)),
                                         std::fabs(hi - (right + bx + 0.5)), std::fabs(hi - (right + bx + 1.5))});
        if (nearest > 1e-6 && left >= 0 && right < bw && left <= right) {
            w.Run(j, int64_t(bx) + left, right - left + 1, nullptr);
            continue;
        }
        if (FixRun(&left, &right, bw, [&](int32_t i) { return l.Inside(bx + i, int32_t(j)); }))
            w.Run(j, int64_t(bx) + left, right - left + 1, nullptr);
    }
}

template <class Writer>
void PolygonRuns(const ShapeRecord &s, int32_t bx, int32_t by, int32_t bw, int64_t j0, int64_t j1, Writer &w) {
    const size_t n = s.vertices.size() / 2;
    if (n < 3) return; // no area, as the generic fill
    thread_local std::vector<int32_t> points;
    thread_local std::vector<PolygonEdge> edges;
    thread_local std::vector<PolygonCrossing> cross;
    points.resize(2 * n);
    edges.resize(n);
    cross.resize(n);
    for (size_t k = 0; k < n; ++k) {
        points[2 * k] = int32_t(PolygonCoordinate(s.vertices[2 * k])) - bx;
        points[2 * k + 1] = int32_t(PolygonCoordinate(s.vertices[2 * k + 1])) - by;
    }
    PolygonScan scan(edges.data(), PreparePolygonEdges(points.data(), int32_t(n), edges.data()), cross.data());
    for (int64_t j = j0; j < j1; ++j)
        scan.Row(int32_t(j - by), [&](int64_t from, int64_t to) {
            from = std::max<int64_t>(from, 0);
            to = std::min<int64_t>(to, bw);
            if (from < to) w.Run(j, bx + from, to - from, nullptr);
        });
}

// Run lists, one after another: list k is the begin, end pairs [start[k], start[k + 1]) of xs, sorted and apart.
struct RunLists {
    std::vector<int32_t> xs;
    std::vector<uint32_t> start{0};
    void Clear() {
        xs.clear();
        start.assign(1, 0);
    }
    size_t Lists() const { return start.size() - 1; }
    const int32_t *At(size_t k) const { return xs.data() + 2 * size_t(start[k]); }
    uint32_t Count(size_t k) const { return start[k + 1] - start[k]; }
    void Close() { start.push_back(uint32_t(xs.size() / 2)); }
    // A run of the open list: one that meets the last one joins it (a polygon's crossings may split a run).
    void Add(int32_t from, int32_t to) {
        if (xs.size() / 2 > start.back() && xs.back() == from) xs.back() = to;
        else xs.push_back(from), xs.push_back(to);
    }
    // Room for n more pairs, so that pointers into the lists stay valid while they come.
    void Reserve(size_t n) {
        if (xs.capacity() < xs.size() + 2 * n) xs.reserve(std::max(xs.size() + 2 * n, 2 * xs.capacity()));
    }
    // The open list takes the runs in both a and b; pointers into these lists need Reserve(na + nb) first.
    void AddIntersection(const int32_t *a, uint32_t na, const int32_t *b, uint32_t nb) {
        for (uint32_t i = 0, k = 0; i < na && k < nb;) {
            const int32_t from = std::max(a[2 * i], b[2 * k]), to = std::min(a[2 * i + 1], b[2 * k + 1]);
            if (from < to) xs.push_back(from), xs.push_back(to);
            if (a[2 * i + 1] < b[2 * k + 1]) ++i;
            else ++k;
        }
    }
};

// Takes an area's runs row after row (rows in order from the first, runs left to right) into run lists.
struct RunGatherer {
    RunLists &rows;
    int64_t next; // the shape row of the open list
    RunGatherer(RunLists &lists, int64_t firstRow) : rows(lists), next(firstRow) { rows.Clear(); }
    void Run(int64_t sy, int64_t sx, int64_t n, const uint8_t *) {
        for (; next < sy; ++next) rows.Close();
        rows.Add(int32_t(sx), int32_t(sx + n));
    }
    void Rect(int64_t sy0, int64_t sy1, int64_t sx, int64_t n) {
        for (int64_t j = sy0; j < sy1; ++j) Run(j, sx, n, nullptr);
    }
    void End(int64_t rowEnd) {
        for (; next < rowEnd; ++next) rows.Close();
    }
};

// The square erosion of an area given as run lists, one a row: what is left when every pixel some pixel within t
// columns and t rows of which is not in the area (or lies outside its box) is taken away. A row's runs shrunk by t at
// both ends hold the pixels whose row window is in; a pixel stays when that holds on each of the 2t + 1 rows around
// it, which van Herk blocks of 2t + 1 rows find with three intersections of run lists a row, whatever t. So the cost
// follows the runs, not the box's area. Shrinking runs one by one rests on each row's runs being merged where they
// touch (RunLists::Add joins them): two runs that touch, shrunk apart, would lose the 2t pixels about their seam.
struct RunErosion {
    RunLists shrunk, prefix, suffix; // suffix lists its rows bottom up
    int64_t first = 0, top = 0, rows = 0;
    int32_t t = 0;

    // area: rows [firstRow, firstRow + area.Lists()) of a box of rows [boxTop, boxTop + boxRows).
    void Build(const RunLists &area, int64_t firstRow, int64_t boxTop, int64_t boxRows, int32_t thickness) {
        first = firstRow, top = boxTop, rows = boxRows, t = thickness;
        const size_t n = area.Lists();
        shrunk.Clear();
        for (size_t k = 0; k < n; ++k) {
            const int32_t *r = area.At(k);
            for (uint32_t i = 0; i < area.Count(k); ++i)
                if (int64_t(r[2 * i + 1]) - r[2 * i] > 2 * int64_t(t))
                    shrunk.xs.push_back(r[2 * i] + t), shrunk.xs.push_back(r[2 * i + 1] - t);
            shrunk.Close();
        }
        // prefix: from the start of the row's block down to it; suffix: from the row down to its block's end. Rows t
        // above and below a row meet in one block or two adjacent ones.
        const size_t block = 2 * size_t(t) + 1;
        prefix.Clear(), suffix.Clear();
        for (size_t k = 0; k < n; ++k) {
            if (k % block == 0) {
                prefix.xs.insert(prefix.xs.end(), shrunk.At(k), shrunk.At(k) + 2 * shrunk.Count(k));
            } else {
                prefix.Reserve(prefix.Count(k - 1) + shrunk.Count(k));
                prefix.AddIntersection(prefix.At(k - 1), prefix.Count(k - 1), shrunk.At(k), shrunk.Count(k));
            }
            prefix.Close();
        }
        for (size_t k = n; k-- > 0;) {
            const size_t listed = suffix.Lists(); // this row's index in suffix
            if (k + 1 == n || (k + 1) % block == 0) {
                suffix.xs.insert(suffix.xs.end(), shrunk.At(k), shrunk.At(k) + 2 * shrunk.Count(k));
            } else {
                suffix.Reserve(suffix.Count(listed - 1) + shrunk.Count(k));
                suffix.AddIntersection(suffix.At(listed - 1), suffix.Count(listed - 1), shrunk.At(k), shrunk.Count(k));
            }
            suffix.Close();
        }
    }

    // Shape row j's eroded runs, as out's only list. Rows nearer than t to the box's top or bottom keep nothing; the
    // rest must lie t rows inside the rows given.
    void Row(int64_t j, RunLists &out) const {
        out.Clear();
        if (j - t >= top && j + t < top + rows) {
            const size_t n = prefix.Lists(), up = size_t(j - first) - size_t(t), down = size_t(j - first) + size_t(t);
            out.AddIntersection(suffix.At(n - 1 - up), suffix.Count(n - 1 - up), prefix.At(down), prefix.Count(down));
        }
        out.Close();
    }
};

// Calls emit(from, to) for each run of list a less list b, whose runs lie within a's.
template <class Emit> void EachRunLess(const int32_t *a, uint32_t na, const int32_t *b, uint32_t nb, Emit emit) {
    uint32_t c = 0;
    for (uint32_t i = 0; i < na; ++i) {
        int32_t x = a[2 * i];
        const int32_t end = a[2 * i + 1];
        for (; c < nb && b[2 * c] < end; ++c) {
            if (b[2 * c] > x) emit(x, b[2 * c]);
            x = std::max(x, b[2 * c + 1]);
        }
        if (x < end) emit(x, end);
    }
}

// A run of coverage: long stretches of full coverage go in as fills; short ones the blend stores whole.
void CoveredRun(SpanWriter &w, int64_t row, int64_t column, int32_t n, const uint8_t *coverage) {
    constexpr int32_t kLongStretch = 16;
    int32_t from = 0;
    for (int32_t i = 0; i < n;) {
        if (coverage[i] != 255) {
            ++i;
            continue;
        }
        int32_t end = i;
        while (end < n && coverage[end] == 255) ++end;
        if (end - i >= kLongStretch) {
            if (i > from) w.Run(row, column + from, i - from, coverage + from);
            w.Run(row, column + i, end - i, nullptr);
            from = end;
        }
        i = end;
    }
    if (n > from) w.Run(row, column + from, n - from, coverage + from);
}

// The outline the generic renderer draws without a fill (ShapeBody), aliased: the area less its square erosion by
// t. A box's is its four bands; the others are cut from their area's runs, on the rows the clip lets through; an
// arc's from its ellipse's, within its sector.
void OutlineRuns(const ShapeRecord &s, int32_t bx, int32_t by, int32_t bw, int32_t bh, int64_t j0, int64_t j1,
                 int32_t t, SpanWriter &w) {
    if (s.kind == ObjectKindBox && BoxArea(s).r <= 0) {
        w.Rect(std::max<int64_t>(j0, 0), std::min<int64_t>(j1, t), 0, bw);
        w.Rect(std::max<int64_t>(j0, t), std::min<int64_t>(j1, bh - t), 0, t);
        w.Rect(std::max<int64_t>(j0, t), std::min<int64_t>(j1, bh - t), bw - t, t);
        w.Rect(std::max<int64_t>(j0, bh - t), std::min<int64_t>(j1, bh), 0, bw);
        return;
    }
    // The area's rows the clipped ones need: t more either side.
    const int64_t a0 = std::max<int64_t>(by, j0 - t), a1 = std::min<int64_t>(int64_t(by) + bh, j1 + t);
    thread_local RunLists area, eroded;
    thread_local RunErosion erosion;
    RunGatherer gather(area, a0);
    switch (s.kind) {
    case ObjectKindBox: BoxRuns(s, a0, a1, gather); break;
    case ObjectKindPolygon: PolygonRuns(s, bx, by, bw, a0, a1, gather); break;
    default: EllipseRuns(s, bw, a0, a1, gather, true); break;
    }
    gather.End(a1);
    erosion.Build(area, a0, by, bh, t);
    const ArcSector sector(s);
    const bool arc = s.kind == ObjectKindArc && !sector.Whole();
    for (int64_t j = j0; j < j1; ++j) {
        erosion.Row(j, eroded);
        const size_t k = size_t(j - a0);
        EachRunLess(area.At(k), area.Count(k), eroded.At(0), eroded.Count(0), [&](int32_t from, int32_t to) {
            if (!arc) w.Run(j, from, to - from, nullptr);
            else SectorRuns(sector, j, from, to, [&](int32_t l, int32_t r) { w.Run(j, l, r - l, nullptr); });
        });
    }
}

// Builds the area's path (an arc's whole ellipse when whole) and starts the coverage raster on rows [row0, row1).
// The window keeps the whole width of the box, so every pixel sums the same cells as in the generic path.
void StartRaster(const ShapeRecord &s, bool whole, int32_t bx, int32_t bw, int64_t row0, int64_t row1,
                 CoverageRaster &raster) {
    thread_local ShapePath path;
    path.points.clear();
    path.ends.clear();
    path.mayCross = false;
    if (whole && s.kind == ObjectKindArc) {
        ShapeRecord ellipse;
        ellipse.kind = ObjectKindEllipse, ellipse.radiusX = s.radiusX, ellipse.radiusY = s.radiusY;
        BuildShapePath(ellipse, &path, bx, double(bx) + bw);
    } else {
        BuildShapePath(s, &path, bx, double(bx) + bw);
    }
    BeginCoverageRaster(&raster, bx, int32_t(row0), bw, int32_t(row1 - row0));
    AddRasterPath(&raster, path);
}

// A band of rows' coverage as run lists: the covered runs, the fully covered runs, and the soft pixels (x and
// coverage, by row).
struct SoftRows {
    RunLists covered, full;
    std::vector<int32_t> softX, softStart;
    std::vector<uint8_t> softV;

    // The rows [row0, row1) of the started raster.
    void Gather(CoverageRaster &raster, int64_t row0, int64_t row1) {
        covered.Clear(), full.Clear(), softX.clear(), softV.clear(), softStart.assign(1, 0);
        int64_t next = row0;
        const auto closeTo = [&](int64_t row) {
            for (; next < row; ++next) covered.Close(), full.Close(), softStart.push_back(int32_t(softX.size()));
        };
        EndCoverageRaster(&raster, [&](int32_t row, int32_t column, int32_t n, const uint8_t *coverage) {
            closeTo(row);
            if (!coverage) {
                covered.Add(column, column + n), full.Add(column, column + n);
                return;
            }
            for (int32_t i = 0; i < n;) { // a stretch of covered pixels at a time, and of full ones within it
                if (!coverage[i]) {
                    ++i;
                    continue;
                }
                const int32_t from = i;
                for (; i < n && coverage[i]; ++i) {
                    if (coverage[i] != 255) {
                        softX.push_back(column + i), softV.push_back(coverage[i]);
                        continue;
                    }
                    const int32_t whole = i;
                    while (i + 1 < n && coverage[i + 1] == 255) ++i;
                    full.Add(column + whole, column + i + 1);
                }
                covered.Add(column + from, column + i);
            }
        });
        closeTo(row1);
    }
    // Row k's soft pixels from the first at or right of x.
    const int32_t *SoftFrom(size_t k, int32_t x) const {
        return std::lower_bound(softX.data() + softStart[k], softX.data() + softStart[k + 1], x);
    }
    const int32_t *SoftEnd(size_t k) const { return softX.data() + softStart[k + 1]; }
    // Row k's coverage over [from, to) of its covered pixels: the soft ones listed, the rest full.
    void Line(size_t k, int32_t from, int32_t to, std::vector<uint8_t> &line) const {
        line.assign(size_t(to - from), 255);
        for (const int32_t *p = SoftFrom(k, from), *last = SoftEnd(k); p < last && *p < to; ++p)
            line[size_t(*p - from)] = softV[size_t(p - softX.data())];
    }
    // One covered pixel's coverage.
    uint8_t At(size_t k, int32_t x) const {
        const int32_t *p = SoftFrom(k, x);
        return p < SoftEnd(k) && *p == x ? softV[size_t(p - softX.data())] : 255;
    }
    // Writes row k's covered pixels [from, to) of shape row j: the soft ones a stretch of neighbours at a time,
    // whatever lies between them whole.
    void Write(size_t k, int64_t j, int32_t from, int32_t to, SpanWriter &w) const {
        int32_t x = from;
        for (const int32_t *p = SoftFrom(k, from), *last = SoftEnd(k); p < last && *p < to;) {
            const int32_t *q = p + 1;
            while (q < last && *q == q[-1] + 1 && *q < to) ++q;
            if (*p > x) w.Run(j, x, *p - x, nullptr);
            w.Run(j, *p, q - p, softV.data() + (p - softX.data()));
            x = q[-1] + 1, p = q;
        }
        if (x < to) w.Run(j, x, to - x, nullptr);
    }
};

// Each column's smallest soft value within t rows of a row, for rows going down: the column's soft pixels in row
// order and a monotone queue of them, which each value enters and leaves once.
struct ColumnMinima {
    std::vector<int32_t> start, row, queue, next, head, tail;
    std::vector<uint8_t> value;
    int32_t t = 0;

    // soft holds rows from firstRow of the columns [bx, bx + bw).
    void Build(const SoftRows &soft, int64_t firstRow, int32_t bx, int32_t bw, int32_t thickness) {
        t = thickness;
        const std::vector<int32_t> &xs = soft.softX;
        start.assign(size_t(bw) + 1, 0);
        for (int32_t x : xs) ++start[size_t(x - bx) + 1];
        for (size_t c = 0; c < size_t(bw); ++c) start[c + 1] += start[c];
        next.assign(start.begin(), start.end() - 1);
        row.resize(xs.size()), value.resize(xs.size()), queue.resize(xs.size());
        for (size_t k = 0; k + 1 < soft.softStart.size(); ++k)
            for (int32_t i = soft.softStart[k]; i < soft.softStart[k + 1]; ++i) {
                const int32_t at = next[size_t(xs[size_t(i)] - bx)]++;
                row[size_t(at)] = int32_t(firstRow + int64_t(k)), value[size_t(at)] = soft.softV[size_t(i)];
            }
        next.assign(start.begin(), start.end() - 1);
        head = next, tail = next;
    }
    // Column c's smallest value over rows [j - t, j + t] (255 without one); each call's j is at or below the last's.
    uint8_t Min(int32_t c, int64_t j) {
        int32_t &nx = next[size_t(c)], &hd = head[size_t(c)], &tl = tail[size_t(c)];
        for (const int32_t end = start[size_t(c) + 1]; nx < end && row[size_t(nx)] <= j + t; ++nx) {
            while (tl > hd && value[size_t(queue[size_t(tl) - 1])] >= value[size_t(nx)]) --tl;
            queue[size_t(tl++)] = nx;
        }
        while (hd < tl && row[size_t(queue[size_t(hd)])] < j - t) ++hd;
        return hd < tl ? value[size_t(queue[size_t(hd)])] : 255;
    }
};

// The smallest of a range of columns' values: a tree of minima over them, a leaf set when its column changes.
struct MinimumTree {
    std::vector<uint8_t> tree;
    size_t leaves = 1;
    void Reset(int32_t columns) {
        for (leaves = 1; leaves < size_t(columns); leaves *= 2) {}
        tree.assign(2 * leaves, 255);
    }
    void Set(int32_t c, uint8_t v) {
        size_t at = leaves + size_t(c);
        tree[at] = v;
        for (at /= 2; at >= 1; at /= 2) { // up to the first minimum that stays as it was
            const uint8_t m = std::min(tree[2 * at], tree[2 * at + 1]);
            if (tree[at] == m) break;
            tree[at] = m;
        }
    }
    // out[i - from] for each i of [from, to): the smallest of the columns [i - t, i + t] of [0, n), the leaves
    // read once each, through a queue of ever larger values.
    void Windows(int32_t from, int32_t to, int32_t t, int32_t n, std::vector<uint8_t> &out) {
        out.resize(size_t(to - from));
        queue.clear();
        size_t head = 0;
        int32_t next = std::max(from - t, 0);
        for (int32_t i = from; i < to; ++i) {
            for (const int32_t end = std::min(i + t + 1, n); next < end; ++next) {
                while (queue.size() > head && tree[leaves + size_t(queue.back())] >= tree[leaves + size_t(next)])
                    queue.pop_back();
                queue.push_back(next);
            }
            while (queue[head] < i - t) ++head;
            out[size_t(i - from)] = tree[leaves + size_t(queue[head])];
        }
    }
    std::vector<int32_t> queue;
    uint8_t Min(int32_t from, int32_t to) const { // over the columns [from, to)
        uint8_t m = 255;
        for (size_t l = leaves + size_t(from), r = leaves + size_t(to); l < r; l /= 2, r /= 2) {
            if (l & 1) m = std::min(m, tree[l++]);
            if (r & 1) m = std::min(m, tree[--r]);
        }
        return m;
    }
};

// Where an arc's sector lies on one row: the runs of centres it holds (one, or two for a sector wider than a half
// turn) and the columns its edges may cross, over the box's columns [from, to).
struct SectorRow {
    int32_t runs[4], cross[4];
    int count;
    SectorRow(const ArcSector &sector, int64_t j, int32_t from, int32_t to) {
        count = sector.Row(int32_t(j), from, to - 1, runs);
        sector.Crossed(int32_t(j), cross);
    }
    // Narrows [*from, *to) to the columns holding all of them.
    void Reach(int32_t *from, int32_t *to) const {
        int32_t l = INT32_MAX, r = INT32_MIN;
        for (const int32_t *range : {runs, runs + 2 * (count - 1), cross, cross + 2})
            if (range[0] <= range[1]) l = std::min(l, range[0]), r = std::max(r, range[1] + 1);
        *from = std::max(*from, l), *to = std::min(*to, r);
    }
};

// Row j's run [from, to) of an arc's ellipse outline weighed by the sector: a pixel an edge crosses by its share
// within it (ArcSector::Coverage), the others whole or not at all as their centres lie. whole(l, r) writes a stretch
// as the outline has it; value(i) is one pixel's coverage.
template <class Whole, class Value>
void SectorCoveredRun(const ArcSector &sector, const SectorRow &at, SpanWriter &w, int64_t j, int32_t from,
                      int32_t to, Whole whole, Value value) {
    // The crossed columns within the run, in order and apart.
    int32_t cross[4] = {std::max(at.cross[0], from), std::min(at.cross[1] + 1, to), std::max(at.cross[2], from),
                        std::min(at.cross[3] + 1, to)};
    if (cross[2] < cross[0]) std::swap(cross[0], cross[2]), std::swap(cross[1], cross[3]);
    if (cross[0] < cross[1] && cross[2] <= cross[1]) cross[1] = std::max(cross[1], cross[3]), cross[2] = cross[3] = 0;
    for (int k = 0; k < at.count; ++k) { // the centres' runs less the crossed columns
        const int32_t l = std::max(at.runs[2 * k], from), r = std::min(at.runs[2 * k + 1] + 1, to);
        int32_t x = l;
        for (int c = 0; c < 2 && x < r; ++c) {
            if (cross[2 * c] >= cross[2 * c + 1] || cross[2 * c + 1] <= x || cross[2 * c] >= r) continue;
            if (cross[2 * c] > x) whole(x, cross[2 * c]);
            x = std::max(x, cross[2 * c + 1]);
        }
        if (x < r) whole(x, r);
    }
    thread_local std::vector<uint8_t> shares;
    for (int c = 0; c < 2; ++c) {
        const int32_t l = cross[2 * c], r = cross[2 * c + 1];
        if (l >= r) continue;
        shares.resize(size_t(r - l));
        for (int32_t i = l; i < r; ++i) {
            const uint32_t v = value(i);
            shares[size_t(i - l)] = v ? uint8_t((v * sector.Coverage(i, int32_t(j)) + 127) / 255) : 0;
        }
        CoveredRun(w, j, l, r - l, shares.data());
    }
}

// The same antialiased: the coverage less its erosion, the smallest coverage within t columns and rows (0 outside
// the box); an arc's is its ellipse's, weighed by its sector. A pixel whose square holds an uncovered pixel keeps its
// coverage and one whose square is covered whole is left out, both found by erosions of runs as above; only the thin
// ring between, whose square holds soft pixels but no uncovered one, needs the smallest value: the soft pixels'
// minimum over the rows within t of each column (ColumnMinima), then over the columns within t (MinimumTree).
// Only the box's columns [left, right) are written (an arc's sector's), worked out on a window t wider, as
// ShapeBody does.
void SoftOutlineRuns(const ShapeRecord &s, const std::optional<ArcSector> &arcSector, int32_t bx, int32_t by,
                     int32_t bw, int32_t bh, int64_t j0, int64_t j1, int32_t t, int32_t left, int32_t right,
                     SpanWriter &w, CoverageRaster &raster) {
    const bool arc = arcSector && !arcSector->Whole();
    const ArcSector &sector = *arcSector; // only looked at for an arc
    const int32_t from = std::max(left - t, 0), to = std::min(right + t, bw);
    left += bx, right += bx, bx += from, bw = to - from;
    const int64_t a0 = std::max<int64_t>(by, j0 - t), a1 = std::min<int64_t>(int64_t(by) + bh, j1 + t);
    struct Scratch {
        SoftRows soft;
        RunErosion coveredErosion, fullErosion;
        RunLists inCovered, inFull;
        ColumnMinima columns;
        MinimumTree tree;
        std::vector<uint8_t> line, least;
    };
    thread_local Scratch scratch;
    Scratch &k = scratch; // one look-up of the thread's copy, not one a use
    StartRaster(s, true, bx, bw, a0, a1, raster);
    k.soft.Gather(raster, a0, a1);
    k.coveredErosion.Build(k.soft.covered, a0, by, bh, t);
    k.fullErosion.Build(k.soft.full, a0, by, bh, t);
    k.columns.Build(k.soft, a0, bx, bw, t);
    k.tree.Reset(bw);
    // A column changes only where a soft pixel enters or leaves the rows within t: the columns of that row's.
    const auto refresh = [&](int64_t row, int64_t j) {
        if (row < a0 || row >= a1) return;
        const size_t r = size_t(row - a0);
        for (int32_t i = k.soft.softStart[r]; i < k.soft.softStart[r + 1]; ++i) {
            const int32_t c = k.soft.softX[size_t(i)] - bx;
            k.tree.Set(c, k.columns.Min(c, j));
        }
    };
    for (int64_t j = j0; j < j1; ++j) {
        if (j == j0)
            for (int64_t row = j - t; row <= j + t; ++row) refresh(row, j);
        else
            refresh(j + t, j), refresh(j - t - 1, j);
        const size_t row = size_t(j - a0);
        k.coveredErosion.Row(j, k.inCovered);
        k.fullErosion.Row(j, k.inFull);
        // An arc's pixels beyond its sector's reach on the row are left out before any work is done on them.
        int32_t reachFrom = left, reachTo = right;
        std::optional<SectorRow> at;
        if (arc) at.emplace(sector, j, bx, bx + bw), at->Reach(&reachFrom, &reachTo);
        // Some pixel within t is uncovered: the coverage as it is; else (so the square lies in the box) less the
        // smallest soft value within t.
        const auto part = [&](int32_t from, int32_t to, bool lessSmallest) {
            from = std::max(from, reachFrom), to = std::min(to, reachTo);
            if (from >= to) return;
            if (!lessSmallest) { // the coverage as it is, with no copy of it
                if (!arc) k.soft.Write(row, j, from, to, w);
                else SectorCoveredRun(sector, *at, w, j, from, to,
                                      [&](int32_t l, int32_t r) { k.soft.Write(row, j, l, r, w); },
                                      [&](int32_t i) { return k.soft.At(row, i); });
                return;
            }
            k.soft.Line(row, from, to, k.line);
            if (to - from > 2 * t) {
                // Long: the leaves' minima over the sliding window, each leaf read once.
                k.tree.Windows(from - bx, to - bx, t, bw, k.least);
                for (int32_t i = from; i < to; ++i) {
                    uint8_t &v = k.line[size_t(i - from)];
                    v = uint8_t(std::max(0, int(v) - int(k.least[size_t(i - from)])));
                }
            } else {
                for (int32_t i = from; i < to; ++i) {
                    const int32_t lo = std::max(i - t - bx, 0), hi = std::min(i + t + 1 - bx, bw);
                    uint8_t &v = k.line[size_t(i - from)];
                    v = uint8_t(std::max(0, int(v) - int(k.tree.Min(lo, hi))));
                }
            }
            const uint8_t *line = k.line.data();
            if (!arc) CoveredRun(w, j, from, to - from, line);
            else SectorCoveredRun(sector, *at, w, j, from, to,
                                  [&](int32_t l, int32_t r) { CoveredRun(w, j, l, r - l, line + (l - from)); },
                                  [&](int32_t i) { return line[i - from]; });
        };
        EachRunLess(k.soft.covered.At(row), k.soft.covered.Count(row), k.inCovered.At(0), k.inCovered.Count(0),
                    [&](int32_t from, int32_t to) { part(from, to, false); });
        EachRunLess(k.inCovered.At(0), k.inCovered.Count(0), k.inFull.At(0), k.inFull.Count(0),
                    [&](int32_t from, int32_t to) { part(from, to, true); });
    }
}

// The rows an arc's outline may hold, [rows[0], rows[1]) and [rows[2], rows[3]) apart: those within t of the rows
// the ellipse's edge crosses above and below its centre over the sector's columns [left, right) and t beyond them
// (two more on the outer side). Every other row of the sector lies deeper in the ellipse, where the erosion clears
// it.
void ArcOutlineRows(const ShapeRecord &s, int32_t left, int32_t right, int32_t t, int64_t rows[4]) {
    const EllipseArea e(s);
    const double xa = double(left) - t - 1, xb = double(right) + t + 1;
    const double nearest = e.cx >= xa && e.cx <= xb ? 0 : std::min(std::fabs(xa - e.cx), std::fabs(xb - e.cx));
    const double farthest = std::max(std::fabs(xa - e.cx), std::fabs(xb - e.cx));
    const auto half = [&](double dx) { return dx < e.rx ? e.ry * std::sqrt(1 - (dx / e.rx) * (dx / e.rx)) : 0.0; };
    const double high = half(nearest), low = half(farthest); // the ellipse's reach above and below the centre
    // The inner ends: a row holds outline only within t of a row the flattened curve crosses, which strays a
    // hundredth of a pixel at most from the true one.
    constexpr double kStray = 0.25;
    rows[0] = int64_t(std::floor(e.cy - high)) - t - 2, rows[1] = int64_t(std::ceil(e.cy - low + kStray)) + t;
    rows[2] = int64_t(std::floor(e.cy + low - kStray)) - t, rows[3] = int64_t(std::ceil(e.cy + high)) + t + 2;
    if (rows[1] >= rows[2]) rows[1] = rows[3], rows[2] = rows[3]; // they meet: one
}

} // namespace

namespace {

int DrawSpans(const ShapeRecord &s, int32_t x, int32_t y, const ShapeOutput &o, CoverageRaster &raster) {
    int32_t bx, by, bw, bh;
    if (int err = AreaBox(s, &bx, &by, &bw, &bh)) return err;
    SpanWriter w(o, x, y, s.color);
    if (w.box.Empty()) return 0;
    std::optional<GradientRows> gradient;
    if (std::clamp(s.style.fillStyle, kFillNone, kFillTexture) == kFillGradient) {
        gradient.emplace(bw, bh, s.style.gradientStartColor, s.style.gradientEndColor, s.style.GradientAngle());
        w.gradient = &*gradient;
        w.plain = false;
        w.areaX = bx, w.areaY = by;
    }
    // The shape rows and columns the clip lets through (of an arc, those its sector reaches); nothing else is
    // looked at.
    int32_t top = 0, bottom = bh, left = 0, right = bw;
    std::optional<ArcSector> sector;
    if (s.kind == ObjectKindArc) {
        const EllipseArea e(s);
        sector.emplace(s);
        sector->Rows(e.rx, e.ry, bh, &top, &bottom);
        sector->Columns(e.rx, e.ry, bw, &left, &right);
    }
    const int64_t j0 = std::max<int64_t>(by + top, int64_t(w.box.y0) - y);
    const int64_t j1 = std::min<int64_t>(int64_t(by) + bottom, int64_t(w.box.y1) - y);
    if (j0 >= j1 || int64_t(x) + bx >= w.box.x1 || int64_t(x) + bx + bw <= w.box.x0) return 0;
    // An outline (no fill) at least half as thick as the box's narrower side leaves nothing inside: it is the area.
    const int32_t t = std::max(s.style.outlineThickness, 1);
    const bool outline = std::clamp(s.style.fillStyle, kFillNone, kFillTexture) == kFillNone &&
                         s.kind != ObjectKindLine && s.kind != ObjectKindPlot && int64_t(t) * 2 < std::min(bw, bh);
    if (outline && s.kind != ObjectKindBox && s.kind != ObjectKindCircle && s.kind != ObjectKindEllipse &&
        s.kind != ObjectKindArc && s.kind != ObjectKindPolygon)
        return kErrWrongUsage;
    if (outline) {
        // A plain box's edges lie on pixel sides: antialiased, its coverage is whole or nothing.
        const bool hard = !s.style.Antialias() || (s.kind == ObjectKindBox && BoxArea(s).r <= 0);
        int64_t rows[4] = {j0, j1, j1, j1};
        if (sector) ArcOutlineRows(s, left, right, t, rows);
        for (int k = 0; k < 2; ++k) {
            const int64_t from = std::max(j0, rows[2 * k]), to = std::min(j1, rows[2 * k + 1]);
            if (from >= to) continue;
            if (hard) OutlineRuns(s, bx, by, bw, bh, from, to, t, w);
            else SoftOutlineRuns(s, sector, bx, by, bw, bh, from, to, t, left, right, w, raster);
        }
        return 0;
    }
    if (s.style.Antialias()) {
        StartRaster(s, false, bx, bw, j0, j1, raster);
        EndCoverageRaster(&raster, [&](int32_t row, int32_t column, int32_t n, const uint8_t *coverage) {
            if (coverage) CoveredRun(w, row, column, n, coverage);
            else w.Run(row, column, n, nullptr);
        });
        return 0;
    }
    switch (s.kind) {
    case ObjectKindBox: BoxRuns(s, j0, j1, w); break;
    case ObjectKindCircle:
    case ObjectKindEllipse:
    case ObjectKindArc: EllipseRuns(s, bw, j0, j1, w); break;
    case ObjectKindLine:
        if (std::max(s.thickness, 1) == 1) ThinLineRuns(s, w);
        else ThickLineRuns(s, bx, bw, j0, j1, w);
        break;
    case ObjectKindPlot: w.Run(0, 0, 1, nullptr); break;
    case ObjectKindPolygon: PolygonRuns(s, bx, by, bw, j0, j1, w); break;
    default: return kErrWrongUsage;
    }
    return 0;
}

} // namespace

int DrawShapeSpans(const ShapeRecord &s, int32_t x, int32_t y, const ShapeOutput &o) {
    thread_local CoverageRaster raster;
    try {
        return DrawSpans(s, x, y, o, raster);
    } catch (const std::bad_alloc &) {
        raster = CoverageRaster{}; // its cells may be left half written
        return kErrOutOfMemory;
    }
}
