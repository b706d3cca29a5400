// The pixel rules of each shape kind and of each output plane, shared by the generic renderer and the span path
// so that both decide every pixel the same way.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "host/blit.h"
#include "imaging/clip_region.h"
#include "imaging/pixels.h"
#include "imaging/shapes.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"

// Bigger shapes are refused rather than allocated: a script could ask for any radius.
constexpr int32_t kMaxShapeSide = 16384;

// A script's point, rounded and held within reach of the size limit; NaN counts as 0, as a coordinate does.
inline double PolygonCoordinate(double v) {
    if (std::isnan(v)) return 0;
    return std::clamp(std::round(v), -double(kMaxShapeSide), double(kMaxShapeSide));
}

// The pixel tests of each area: pixel (i, j) of the shape's box is in when its centre is.
struct BoxArea {
    double w, h, r;
    explicit BoxArea(const ShapeRecord &s)
        : w(s.sizeX), h(s.sizeY), r(std::clamp<double>(s.roundLevel, 0, std::min(s.sizeX, s.sizeY) / 2.0)) {}
    bool Inside(int32_t i, int32_t j) const {
        if (r <= 0) return true;
        const double px = i + 0.5, py = j + 0.5;
        const double cx = std::clamp(px, r, w - r), cy = std::clamp(py, r, h - r);
        return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
    }
};

struct EllipseArea {
    double cx, cy, rx, ry;
    explicit EllipseArea(const ShapeRecord &s) {
        const int32_t a = s.radiusX, b = s.kind == ObjectKindCircle ? s.radiusX : s.radiusY;
        cx = a + 0.5, cy = b + 0.5, rx = a + 0.5, ry = b + 0.5;
    }
    bool Inside(int32_t i, int32_t j) const {
        const double u = (i + 0.5 - cx) / rx, v = (j + 0.5 - cy) / ry;
        return u * u + v * v <= 1.0;
    }
};

// The angles of an arc, seen from the centre, in aliased and antialiased drawing alike: from `from`, `span` degrees
// on (counter-clockwise on screen unless clockwise). Tests are half-planes of the two edges, whose directions are
// exact on the axes and the diagonals (the only whole degrees on which a pixel centre can lie), so a centre on an
// edge is in.
struct ArcSector {
    double cx, cy, from, span;
    bool clockwise;
    double sx, sy, ex, ey; // the edges' directions, y up (down when clockwise)
    double startRun, endRun; // each edge's x a unit of y along it (0 when level): where Row starts looking
    explicit ArcSector(const ShapeRecord &s) : clockwise(s.clockwise != 0) {
        const EllipseArea e(s);
        cx = e.cx, cy = e.cy;
        from = std::fmod(double(s.startAngle), 360.0);
        if (from < 0) from += 360;
        span = std::fmod(double(s.endAngle) - double(s.startAngle), 360.0);
        if (span <= 0) span += 360;
        Direction(from, &sx, &sy);
        Direction(from + span, &ex, &ey);
        startRun = sy != 0 ? sx / sy : 0, endRun = ey != 0 ? ex / ey : 0;
    }
    static void Direction(double degrees, double *x, double *y) {
        const double quarter = std::floor(degrees / 90), rest = degrees - 90 * quarter;
        double c = rest == 45 ? 1 : std::cos(rest * M_PI / 180), s = rest == 45 ? 1 : std::sin(rest * M_PI / 180);
        if (rest == 0) c = 1, s = 0;
        for (int q = int(std::fmod(quarter, 4.0) + 4) % 4; q > 0; --q) std::swap(c, s), c = -c;
        *x = c, *y = s;
    }
    bool Whole() const { return span >= 360; }
    bool Reflex() const { return span > 180; } // the union of the two half-planes, not their intersection
    // Offsets from the centre, y up (down when clockwise).
    double Dx(double x) const { return x - cx; }
    double Dy(double y) const { return clockwise ? y - cy : cy - y; }
    // On the far side of the start edge (counter-clockwise from it), on the near side of the end edge.
    double AfterStart(double dx, double dy) const { return sx * dy - sy * dx; }
    double BeforeEnd(double dx, double dy) const { return dx * ey - dy * ex; }
    bool Holds(double dx, double dy) const {
        if (Whole()) return true;
        const bool a = AfterStart(dx, dy) >= 0, b = BeforeEnd(dx, dy) >= 0;
        return Reflex() ? a || b : a && b;
    }
    bool Inside(int32_t i, int32_t j) const { return Holds(Dx(i + 0.5), Dy(j + 0.5)); }

    // Row j's columns of [l, r] whose centres are in, as Inside decides them: runs[0..1] and, for a sector wider
    // than a half turn, runs[2..3]; empty runs have the end before the start. Returns the run count, 1 or 2.
    int Row(int32_t j, int32_t l, int32_t r, int32_t runs[4]) const;
    // The rows [*top, *bottom) of the box (bh rows) that the sector's part of the ellipse (radii rx, ry) may touch.
    void Rows(double rx, double ry, int32_t bh, int32_t *top, int32_t *bottom) const;
    // The columns [*left, *right) of the box (bw columns) that the sector's part of the ellipse may touch, a pixel
    // more either side. An antialiased arc's outline is worked out on them and t more either side, in both
    // renderers alike: the coverage raster sums each row from the left side of its window.
    void Columns(double rx, double ry, int32_t bw, int32_t *left, int32_t *right) const;
    // How far the sector's part of the ellipse reaches from the centre across (x) or upright (y up, down when
    // clockwise): from *low to *high.
    void Reach(bool upright, double rx, double ry, double *low, double *high) const;
    // The columns of row j an edge's line may cross (the rest of the row lies wholly on one side of each edge): up to
    // two ranges [cross[0], cross[1]], [cross[2], cross[3]], empty ones with the end before the start.
    void Crossed(int32_t j, int32_t cross[4]) const;
    // The share of pixel (i, j)'s square within the sector, 0 to 255: the square clipped by the two half-planes (for
    // a sector wider than a half turn, the square less what the two other sides hold).
    uint8_t Coverage(int32_t i, int32_t j) const;
};

// The pixels a Bresenham walk visits from end to end.
template <class Visit> void WalkLine(int32_t x, int32_t y, int32_t x2, int32_t y2, Visit visit) {
    const int32_t dx = std::abs(x2 - x), dy = -std::abs(y2 - y);
    const int32_t stepX = x < x2 ? 1 : -1, stepY = y < y2 ? 1 : -1;
    int32_t err = dx + dy;
    for (;;) {
        visit(x, y);
        if (x == x2 && y == y2) break;
        const int32_t e2 = 2 * err;
        if (e2 >= dy) { err += dy; x += stepX; }
        if (e2 <= dx) { err += dx; y += stepY; }
    }
}

// A thick line: pixels whose centres lie within half the thickness of the segment between the end pixels'
// centres (shape coordinates).
struct ThickLine {
    double ax, ay, bx, by, half, dx, dy, length2, inverse2;
    explicit ThickLine(const ShapeRecord &s)
        : ax(s.x1 + 0.5), ay(s.y1 + 0.5), bx(s.x2 + 0.5), by(s.y2 + 0.5), half(std::max(s.thickness, 1) / 2.0),
          dx(bx - ax), dy(by - ay), length2(dx * dx + dy * dy), inverse2(length2 > 0 ? 1 / length2 : 0) {}
    // Squared distances: half the thickness squared is exact, so this is the same test as on distances.
    bool Inside(int32_t x, int32_t y) const {
        const double px = x + 0.5 - ax, py = y + 0.5 - ay;
        const double t = std::clamp((px * dx + py * dy) * inverse2, 0.0, 1.0);
        const double qx = t * dx - px, qy = t * dy - py;
        return qx * qx + qy * qy <= half * half;
    }
};

// The area as closed polygons, for the coverage rasteriser. An ellipse's is shorter where only the columns
// [left, right) are rasterised: the same coverage on them.
void BuildShapePath(const ShapeRecord &s, ShapePath *path, double left = -INFINITY, double right = INFINITY);

inline int SideError(int64_t v) { return v <= 0 ? kErrWrongUsage : v > kMaxShapeSide ? kErrInternalLimit : 0; }

// The area's box relative to the shape's origin, with the checks every path makes first: 0, kErrWrongUsage for an
// empty or unknown shape, kErrInternalLimit beyond the size limit.
int AreaBox(const ShapeRecord &s, int32_t *x, int32_t *y, int32_t *w, int32_t *h);

inline uint32_t Opacity(uint32_t color) { return 255 - (color >> 24); }

// The output rectangle a draw may touch: the planes, the clip rectangle and the region's rectangle.
struct ClipBox {
    int32_t x0, y0, x1, y1;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};
ClipBox OutputClip(const ShapeOutput &o);

// The per-pixel writes of every output plane: the generic rule the span path must match.
inline void WriteMaskPixel(MaskPlane *m, int32_t mode, int32_t x, int32_t y, bool in) {
    uint8_t *row = m->bits + ptrdiff_t(y) * m->bytesPerRow;
    switch (mode) {
    case TemplateMaskClear: if (in) SetMaskBit(row, x, false); break;
    case TemplateMaskCopy: SetMaskBit(row, x, in); break;
    case TemplateMaskXor: if (in) SetMaskBit(row, x, !MaskBit(row, x)); break;
    case TemplateMaskAnd: if (!in) SetMaskBit(row, x, false); break;
    default: if (in) SetMaskBit(row, x, true); break;
    }
}

inline void WriteAlphaPixel(AlphaPlane *a, int32_t level, int32_t x, int32_t y, uint32_t coverage) {
    uint8_t &v = a->bytes[ptrdiff_t(y) * a->bytesPerRow + x];
    if (level == kShapeAlphaOwnOpacity) v = uint8_t(coverage);
    else v = uint8_t((v * (255 - coverage) + uint32_t(std::clamp(level, 0, 255)) * coverage + 127) / 255);
}

// The span path: draws a plain shape (IsPlainShape) straight into the output. Returns 0 or an AreaBox error.
int DrawShapeSpans(const ShapeRecord &shape, int32_t x, int32_t y, const ShapeOutput &output);
