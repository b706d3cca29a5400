#include "imaging/shapes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/clip_region.h"
#include "imaging/pixels.h"
#include "imaging/gradient.h"
#include "imaging/graphics_library.h"
#include "imaging/image_ops.h"
#include "runtime/app/errors.h"

namespace {

// Coverage of one plane: 0 (out) to 255 (in) per pixel.
struct Coverage {
    int32_t x = 0, y = 0, w = 0, h = 0; // position relative to the shape's origin
    std::vector<uint8_t> cells;
    uint8_t At(int32_t px, int32_t py) const { // shape coordinates
        px -= x;
        py -= y;
        return px >= 0 && py >= 0 && px < w && py < h ? cells[size_t(py) * size_t(w) + size_t(px)] : 0;
    }
    void Resize(int32_t nx, int32_t ny, int32_t nw, int32_t nh) {
        x = nx;
        y = ny;
        w = std::max(nw, 0);
        h = std::max(nh, 0);
        cells.assign(size_t(w) * size_t(h), 0);
    }
    uint8_t &Cell(int32_t i, int32_t j) { return cells[size_t(j) * size_t(w) + size_t(i)]; }
};

// Square erosion (the smallest value within r steps) or dilation (the largest): on an aliased plane erosion takes
// away an r-pixel rim and dilation adds one; on an antialiased one the soft rim moves with them.
Coverage Morph(const Coverage &c, int32_t r, bool erode) {
    Coverage out;
    const int32_t grow = erode ? 0 : r;
    out.Resize(c.x - grow, c.y - grow, c.w + 2 * grow, c.h + 2 * grow);
    if (r <= 0) {
        for (int32_t j = 0; j < c.h; ++j)
            for (int32_t i = 0; i < c.w; ++i) out.Cell(i + grow, j + grow) = c.cells[size_t(j) * size_t(c.w) + size_t(i)];
        return out;
    }
    // Rows first, then columns; outside the coverage counts as clear.
    auto at = [](const Coverage &src, int32_t i, int32_t j) -> uint8_t {
        return i >= 0 && j >= 0 && i < src.w && j < src.h ? src.cells[size_t(j) * size_t(src.w) + size_t(i)] : 0;
    };
    Coverage rows;
    rows.Resize(out.x, c.y, out.w, c.h);
    for (int32_t j = 0; j < c.h; ++j)
        for (int32_t i = 0; i < out.w; ++i) {
            uint8_t v = erode ? 255 : 0;
            for (int32_t k = -r; k <= r; ++k) {
                const uint8_t a = at(c, i - grow + k, j);
                v = erode ? std::min(v, a) : std::max(v, a);
            }
            rows.Cell(i, j) = v;
        }
    for (int32_t j = 0; j < out.h; ++j)
        for (int32_t i = 0; i < out.w; ++i) {
            uint8_t v = erode ? 255 : 0;
            for (int32_t k = -r; k <= r; ++k) {
                const uint8_t a = at(rows, i, j - grow + k);
                v = erode ? std::min(v, a) : std::max(v, a);
            }
            out.Cell(i, j) = v;
        }
    return out;
}

// a without b (b's coverage taken away).
Coverage Minus(const Coverage &a, const Coverage &b) {
    Coverage out = a;
    for (int32_t j = 0; j < a.h; ++j)
        for (int32_t i = 0; i < a.w; ++i) {
            uint8_t &v = out.Cell(i, j);
            v = uint8_t(std::max(0, int(v) - int(b.At(a.x + i, a.y + j))));
        }
    return out;
}

// Bigger shapes are refused rather than allocated: a script could ask for any radius.
constexpr int32_t kMaxShapeSide = 16384;

double PolygonCoordinate(double v) {
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

// The angles of an arc: from `from`, `span` degrees on (counter-clockwise on screen unless clockwise).
struct ArcSector {
    double cx, cy, from, span;
    bool clockwise;
    explicit ArcSector(const ShapeRecord &s) : clockwise(s.clockwise != 0) {
        const EllipseArea e(s);
        cx = e.cx, cy = e.cy;
        from = std::fmod(double(s.startAngle), 360.0);
        if (from < 0) from += 360;
        span = std::fmod(double(s.endAngle) - double(s.startAngle), 360.0);
        if (span <= 0) span += 360;
    }
    bool Inside(int32_t i, int32_t j) const {
        const double px = i + 0.5, py = j + 0.5;
        if (px == cx && py == cy) return true;
        double a = std::atan2(cy - py, px - cx) * 180.0 / M_PI;
        if (clockwise) a = -a;
        return std::fmod(a - from + 720.0, 360.0) <= span;
    }
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

double DistanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double qx = ax + t * dx - px, qy = ay + t * dy - py;
    return std::sqrt(qx * qx + qy * qy);
}

// A thick line: pixels whose centres lie within half the thickness of the segment between the end pixels'
// centres (shape coordinates).
struct ThickLine {
    double ax, ay, bx, by, half;
    explicit ThickLine(const ShapeRecord &s)
        : ax(s.x1 + 0.5), ay(s.y1 + 0.5), bx(s.x2 + 0.5), by(s.y2 + 0.5), half(std::max(s.thickness, 1) / 2.0) {}
    bool Inside(int32_t x, int32_t y) const { return DistanceToSegment(x + 0.5, y + 0.5, ax, ay, bx, by) <= half; }
};

// An elliptic arc from angle a0 to a1 (radians, counter-clockwise on screen) as points, the radii scaled so the
// flattened curve keeps the true area.
void ArcPoints(ShapePath *path, double cx, double cy, double rx, double ry, double a0, double a1) {
    const double r = std::max(rx, ry);
    const double step = r > 0.05 ? 2 * std::acos(std::max(0.0, 1 - 0.02 / r)) : M_PI / 4;
    const int32_t n = std::clamp(int32_t(std::ceil(std::fabs(a1 - a0) / step)), 2, 2048);
    const double d = (a1 - a0) / n, k = std::sqrt(std::fabs(d) / std::max(std::sin(std::fabs(d)), 1e-12));
    for (int32_t i = 0; i <= n; ++i) {
        const double a = a0 + d * i;
        path->Point(cx + rx * k * std::cos(a), cy - ry * k * std::sin(a));
    }
}

// The area as closed polygons, for the coverage rasteriser.
void BuildShapePath(const ShapeRecord &s, ShapePath *path) {
    switch (s.kind) {
    case ObjectKindBox: {
        const BoxArea b(s);
        if (b.r <= 0) {
            path->Point(0, 0), path->Point(b.w, 0), path->Point(b.w, b.h), path->Point(0, b.h);
        } else {
            ArcPoints(path, b.w - b.r, b.r, b.r, b.r, 0, M_PI / 2);
            ArcPoints(path, b.r, b.r, b.r, b.r, M_PI / 2, M_PI);
            ArcPoints(path, b.r, b.h - b.r, b.r, b.r, M_PI, 1.5 * M_PI);
            ArcPoints(path, b.w - b.r, b.h - b.r, b.r, b.r, 1.5 * M_PI, 2 * M_PI);
        }
        break;
    }
    case ObjectKindCircle:
    case ObjectKindEllipse: {
        const EllipseArea e(s);
        ArcPoints(path, e.cx, e.cy, e.rx, e.ry, 0, 2 * M_PI);
        path->points.resize(path->points.size() - 2); // the last point is the first
        break;
    }
    case ObjectKindArc: {
        const EllipseArea e(s);
        const ArcSector a(s);
        const double from = a.from * M_PI / 180, to = (a.from + a.span) * M_PI / 180;
        const size_t start = path->points.size();
        if (a.span < 360) path->Point(e.cx, e.cy);
        ArcPoints(path, e.cx, e.cy, e.rx, e.ry, from, to);
        if (a.clockwise) // mirrored about the centre's row
            for (size_t k = start + 1; k < path->points.size(); k += 2) path->points[k] = 2 * e.cy - path->points[k];
        break;
    }
    case ObjectKindLine: {
        const ThickLine l(s);
        const double dx = l.bx - l.ax, dy = l.by - l.ay;
        const double a = (dx == 0 && dy == 0) ? 0 : std::atan2(-dy, dx); // the segment's direction on screen
        ArcPoints(path, l.bx, l.by, l.half, l.half, a - M_PI / 2, a + M_PI / 2);
        ArcPoints(path, l.ax, l.ay, l.half, l.half, a + M_PI / 2, a + 1.5 * M_PI);
        break;
    }
    case ObjectKindPlot: path->Point(0, 0), path->Point(1, 0), path->Point(1, 1), path->Point(0, 1); break;
    case ObjectKindPolygon:
        for (size_t k = 0; k + 1 < s.vertices.size(); k += 2)
            path->Point(PolygonCoordinate(s.vertices[k]), PolygonCoordinate(s.vertices[k + 1]));
        break;
    default: break;
    }
    path->Close();
}

int SideError(int64_t v) { return v <= 0 ? kErrWrongUsage : v > kMaxShapeSide ? kErrInternalLimit : 0; }

// The area's box relative to the shape's origin, with the checks every path makes first.
int AreaBox(const ShapeRecord &s, int32_t *x, int32_t *y, int32_t *w, int32_t *h) {
    int64_t bx = 0, by = 0, bw = 0, bh = 0;
    switch (s.kind) {
    case ObjectKindBox: bw = s.sizeX, bh = s.sizeY; break;
    case ObjectKindCircle:
    case ObjectKindEllipse:
    case ObjectKindArc: {
        const int64_t rx = s.radiusX, ry = s.kind == ObjectKindCircle ? s.radiusX : s.radiusY;
        if (rx < 0 || ry < 0) return kErrWrongUsage;
        bw = 2 * rx + 1, bh = 2 * ry + 1;
        break;
    }
    case ObjectKindLine: {
        // Ends further out than a shape can be large are refused before any arithmetic on them.
        for (int32_t v : {s.x1, s.y1, s.x2, s.y2, s.thickness})
            if (v < -kMaxShapeSide || v > kMaxShapeSide) return kErrInternalLimit;
        const int32_t t = std::max(s.thickness, 1);
        bx = std::min(s.x1, s.x2) - t / 2, by = std::min(s.y1, s.y2) - t / 2;
        bw = int64_t(std::abs(s.x2 - s.x1)) + t, bh = int64_t(std::abs(s.y2 - s.y1)) + t;
        break;
    }
    case ObjectKindPlot: bw = bh = 1; break;
    case ObjectKindPolygon: {
        const size_t n = s.vertices.size() / 2;
        if (n < 1) return kErrWrongUsage;
        if (n > size_t(kMaxPolygonPoints)) return kErrInternalLimit;
        double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
        for (size_t k = 0; k < n; ++k) {
            const double vx = PolygonCoordinate(s.vertices[2 * k]), vy = PolygonCoordinate(s.vertices[2 * k + 1]);
            minX = std::min(minX, vx), maxX = std::max(maxX, vx);
            minY = std::min(minY, vy), maxY = std::max(maxY, vy);
        }
        bx = int64_t(minX), by = int64_t(minY), bw = int64_t(maxX - minX) + 1, bh = int64_t(maxY - minY) + 1;
        break;
    }
    default: return kErrWrongUsage;
    }
    if (int err = SideError(bw)) return err;
    if (int err = SideError(bh)) return err;
    *x = int32_t(bx), *y = int32_t(by), *w = int32_t(bw), *h = int32_t(bh);
    return 0;
}

// The filled area of the shape, pixel centres in or out (for an ARC: the pie slice).
int FillArea(const ShapeRecord &s, Coverage *c) {
    int32_t bx, by, bw, bh;
    if (int err = AreaBox(s, &bx, &by, &bw, &bh)) return err;
    c->Resize(bx, by, bw, bh);
    switch (s.kind) {
    case ObjectKindBox: {
        const BoxArea box(s);
        for (int32_t j = 0; j < c->h; ++j)
            for (int32_t i = 0; i < c->w; ++i) c->Cell(i, j) = box.Inside(i, j) ? 255 : 0;
        return 0;
    }
    case ObjectKindCircle:
    case ObjectKindEllipse:
    case ObjectKindArc: {
        const EllipseArea e(s);
        const ArcSector sector(s);
        for (int32_t j = 0; j < c->h; ++j)
            for (int32_t i = 0; i < c->w; ++i)
                c->Cell(i, j) = e.Inside(i, j) && (s.kind != ObjectKindArc || sector.Inside(i, j)) ? 255 : 0;
        return 0;
    }
    case ObjectKindLine: {
        if (std::max(s.thickness, 1) == 1) { // Bresenham: exactly one pixel per step
            WalkLine(s.x1, s.y1, s.x2, s.y2, [&](int32_t x, int32_t y) { c->Cell(x - c->x, y - c->y) = 255; });
            return 0;
        }
        const ThickLine line(s);
        for (int32_t j = 0; j < c->h; ++j)
            for (int32_t i = 0; i < c->w; ++i) c->Cell(i, j) = line.Inside(c->x + i, c->y + j) ? 255 : 0;
        return 0;
    }
    case ObjectKindPlot: c->Cell(0, 0) = 255; return 0;
    case ObjectKindPolygon: {
        const size_t n = s.vertices.size() / 2;
        std::vector<int32_t> pts(2 * n);
        for (size_t k = 0; k < n; ++k) {
            pts[2 * k] = int32_t(PolygonCoordinate(s.vertices[2 * k])) - c->x;
            pts[2 * k + 1] = int32_t(PolygonCoordinate(s.vertices[2 * k + 1])) - c->y;
        }
        MaskPlane *m = AllocMaskPlane(nullptr, c->w, c->h, true);
        if (!m) return kErrOutOfMemory;
        int err = n >= 3 ? FillPolygonMask(m, pts.data(), int32_t(n), nullptr, 0) : 0;
        for (int32_t j = 0; j < c->h && !err; ++j)
            for (int32_t i = 0; i < c->w; ++i) c->Cell(i, j) = MaskBit(m, i, j) ? 255 : 0;
        FreeMaskPlane(m);
        return err;
    }
    default: return kErrWrongUsage;
    }
}

// The area as the shape's fill draws it: centres in or out, or with ANTIALIAS the covered fraction.
int ShapeArea(const ShapeRecord &s, Coverage *c) {
    if (!s.style.Antialias()) return FillArea(s, c);
    int32_t bx, by, bw, bh;
    if (int err = AreaBox(s, &bx, &by, &bw, &bh)) return err;
    c->Resize(bx, by, bw, bh);
    ShapePath path;
    BuildShapePath(s, &path);
    CoverageRaster raster;
    BeginCoverageRaster(&raster, bx, by, bw, bh);
    AddRasterPath(&raster, path);
    EndCoverageRaster(&raster, [&](int32_t y, int32_t x, int32_t n, const uint8_t *cov) {
        std::memcpy(&c->Cell(x - bx, y - by), cov, size_t(n));
    });
    return 0;
}

// The body: the area, or without a fill its outline (lines and points are outlines already; an arc's outline is
// its curve, not the two radii).
int ShapeBody(const ShapeRecord &s, Coverage *body, Coverage *area) {
    if (int err = ShapeArea(s, area)) return err;
    if (s.style.fillStyle != kFillNone || s.kind == ObjectKindLine || s.kind == ObjectKindPlot) {
        *body = *area;
        return 0;
    }
    if (s.kind != ObjectKindArc) {
        *body = Minus(*area, Morph(*area, s.style.outlineThickness, true));
        return 0;
    }
    ShapeRecord whole = s;
    whole.kind = ObjectKindEllipse;
    Coverage ellipse;
    if (int err = ShapeArea(whole, &ellipse)) return err;
    *body = Minus(ellipse, Morph(ellipse, s.style.outlineThickness, true));
    for (int32_t j = 0; j < body->h; ++j)
        for (int32_t i = 0; i < body->w; ++i) {
            uint8_t &v = body->Cell(i, j);
            v = uint8_t((v * area->Cell(i, j) + 127) / 255);
        }
    return 0;
}

void ShadowOffset(int32_t direction, int32_t size, int32_t *dx, int32_t *dy) {
    // 0 north, then clockwise in steps of 45 degrees.
    static const int kX[8] = {0, 1, 1, 1, 0, -1, -1, -1}, kY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
    *dx = kX[direction & 7] * size;
    *dy = kY[direction & 7] * size;
}

uint32_t Opacity(uint32_t color) { return 255 - (color >> 24); }

// Premultiplied colour and opacity of one pixel, in 0..1.
struct Paint {
    float r = 0, g = 0, b = 0, a = 0;
    void Add(uint32_t rgb, float alpha) {
        r += float((rgb >> 16) & 255) * alpha;
        g += float((rgb >> 8) & 255) * alpha;
        b += float(rgb & 255) * alpha;
        a += alpha;
    }
    void Under(uint32_t rgb, float alpha) { // rgb at alpha beneath what is painted
        const float k = alpha * (1 - a);
        r += float((rgb >> 16) & 255) * k;
        g += float((rgb >> 8) & 255) * k;
        b += float(rgb & 255) * k;
        a += k;
    }
};

} // namespace

int RenderShapeImage(const ShapeRecord &shapeIn, const DisplayTransform *transform, ImageTriple *out, int32_t *offsetX,
                     int32_t *offsetY) {
    *out = ImageTriple{};
    ShapeRecord s = shapeIn;
    ClampFillStyle(&s.style);
    const FormStyle &f = s.style;
    try {
        Coverage area, body;
        if (int err = ShapeBody(s, &body, &area)) return err;
        // The edge is a ring around the body; the shadow is the body with its edge, moved.
        Coverage edge, shadow;
        if (f.Edge()) edge = Minus(Morph(body, f.edgeSize, false), body);
        if (f.Shadow()) {
            int32_t sdx = 0, sdy = 0;
            ShadowOffset(f.shadowDirection, f.shadowSize, &sdx, &sdy);
            shadow = f.Edge() ? Morph(body, f.edgeSize, false) : body;
            shadow.x += sdx;
            shadow.y += sdy;
        }
        // The canvas covers body, edge and shadow.
        int32_t x0 = body.x, y0 = body.y, x1 = body.x + body.w, y1 = body.y + body.h;
        for (const Coverage *c : {&edge, &shadow})
            if (c->w > 0) {
                x0 = std::min(x0, c->x);
                y0 = std::min(y0, c->y);
                x1 = std::max(x1, c->x + c->w);
                y1 = std::max(y1, c->y + c->h);
            }
        const int32_t w = x1 - x0, h = y1 - y0;
        if (int err = SideError(w)) return err;
        if (int err = SideError(h)) return err;
        const uint32_t bodyOpacity = Opacity(s.color);
        const bool soft = f.Antialias() || bodyOpacity != 255 || (f.Edge() && Opacity(f.edgeColor) != 255) ||
                          (f.Shadow() && Opacity(f.shadowColor) != 255);
        HostBitmap *bitmap = AllocHostBitmap(w, h);
        MaskPlane *mask = bitmap && !soft ? AllocMaskPlane(bitmap, w, h, true) : nullptr;
        AlphaPlane *alpha = bitmap && soft ? AllocAlphaPlane(w, h, true) : nullptr;
        // The body's colours, painted over the whole canvas and then cut out through the coverage.
        HostBitmap *fill = bitmap ? AllocHostBitmap(w, h) : nullptr;
        if (!fill || (!mask && !alpha)) {
            FreeHostBitmap(bitmap);
            FreeHostBitmap(fill);
            FreeMaskPlane(mask);
            FreeAlphaPlane(alpha);
            return kErrOutOfMemory;
        }
        if (f.fillStyle == kFillGradient)
            DRAWGRADIENT(fill, area.x - x0, area.y - y0, area.w, area.h, f.gradientStartColor, f.gradientEndColor,
                         f.GradientAngle());
        else if (f.fillStyle == kFillTexture && s.texture)
            TextureFill(fill, 0, 0, w, h, s.texture.get(), f.textureX + (x0 - area.x), f.textureY + (y0 - area.y), 0, 0);
        else
            for (int32_t j = 0; j < h; ++j) std::fill(HostBitmapRow32(fill, j), HostBitmapRow32(fill, j) + w, s.color & 0xFFFFFF);
        const float ob = float(bodyOpacity) / (255.0f * 255.0f), oe = float(Opacity(f.edgeColor)) / (255.0f * 255.0f),
                    os = float(Opacity(f.shadowColor)) / (255.0f * 255.0f);
        for (int32_t j = 0; j < h; ++j) {
            uint32_t *row = HostBitmapRow32(bitmap, j);
            const uint32_t *fillRow = HostBitmapRow32(fill, j);
            for (int32_t i = 0; i < w; ++i) {
                const int32_t px = x0 + i, py = y0 + j;
                if (!soft) { // one colour per pixel: body over edge over shadow
                    uint32_t c;
                    if (body.At(px, py)) c = fillRow[i];
                    else if (edge.w && edge.At(px, py)) c = f.edgeColor & 0xFFFFFF;
                    else if (shadow.w && shadow.At(px, py)) c = f.shadowColor & 0xFFFFFF;
                    else continue;
                    row[i] = c;
                    SetMaskBit(mask->bits + ptrdiff_t(j) * mask->bytesPerRow, i, true);
                    continue;
                }
                // Body and ring share the pixel; the shadow shows beneath both.
                Paint p;
                if (const uint8_t b = body.At(px, py)) p.Add(fillRow[i], float(b) * ob);
                if (edge.w) p.Add(f.edgeColor, float(edge.At(px, py)) * oe);
                if (shadow.w) p.Under(f.shadowColor, float(shadow.At(px, py)) * os);
                if (p.a <= 0) continue;
                const float k = 1.0f / p.a;
                const auto channel = [&](float v) { return uint32_t(std::clamp(v * k + 0.5f, 0.0f, 255.0f)); };
                row[i] = (channel(p.r) << 16) | (channel(p.g) << 8) | channel(p.b);
                alpha->bytes[ptrdiff_t(j) * alpha->bytesPerRow + i] = uint8_t(std::clamp(p.a * 255.0f + 0.5f, 0.0f, 255.0f));
            }
        }
        FreeHostBitmap(fill);
        *out = ImageTriple{bitmap, mask, alpha, w, h};
        *offsetX = x0;
        *offsetY = y0;
    } catch (const std::bad_alloc &) {
        FreeImageTriple(out);
        return kErrOutOfMemory;
    }
    if (transform && !IsIdentityTransform(*transform)) {
        const double m[4] = {transform->a, transform->b, transform->c, transform->d};
        ImageTriple turned;
        int32_t tx, ty, tw, th;
        TransformedBounds(*offsetX, *offsetY, out->width, out->height, m, &tx, &ty, &tw, &th, 0, 0);
        const int err = ApplyImageTransform(*out, m, transform->smooth != 0, &turned);
        FreeImageTriple(out);
        if (err) return err;
        *out = turned;
        *offsetX = tx;
        *offsetY = ty;
    }
    return 0;
}

std::shared_ptr<const HostBitmap> CopyTextureImage(const HostBitmap *bitmap) {
    if (!bitmap || !bitmap->pixels) return nullptr;
    HostBitmap *copy = AllocHostBitmapFormat(bitmap->width, bitmap->height, bitmap->format);
    if (!copy) return nullptr;
    for (int32_t j = 0; j < bitmap->height; ++j)
        std::memcpy(HostBitmapRow(copy, j), HostBitmapRow(bitmap, j), size_t(bitmap->width) * size_t(bitmap->bytesPerPixel));
    try {
        return std::shared_ptr<const HostBitmap>(copy, [](const HostBitmap *b) { FreeHostBitmap(const_cast<HostBitmap *>(b)); });
    } catch (const std::bad_alloc &) {
        FreeHostBitmap(copy);
        return nullptr;
    }
}

std::shared_ptr<const HostBitmap> BorrowTextureImage(const HostBitmap *bitmap) {
    return std::shared_ptr<const HostBitmap>(std::shared_ptr<const HostBitmap>(), bitmap);
}

ShapeOutput BitmapShapeOutput(HostBitmap *bitmap) {
    ShapeOutput o;
    o.bitmap = bitmap;
    if (bitmap) o.width = bitmap->width, o.height = bitmap->height;
    return o;
}

namespace {

// The output rectangle a draw may touch: the planes, the clip rectangle and the region's rectangle.
struct ClipBox {
    int32_t x0, y0, x1, y1;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};
ClipBox OutputClip(const ShapeOutput &o) {
    int64_t x0 = std::max<int64_t>(0, o.clipX), y0 = std::max<int64_t>(0, o.clipY);
    int64_t x1 = std::min<int64_t>(o.width, int64_t(o.clipX) + o.clipWidth);
    int64_t y1 = std::min<int64_t>(o.height, int64_t(o.clipY) + o.clipHeight);
    if (o.bitmap) x1 = std::min<int64_t>(x1, o.bitmap->width), y1 = std::min<int64_t>(y1, o.bitmap->height);
    if (o.mask) {
        x1 = std::min<int64_t>(x1, int64_t(o.mask->bytesPerRow) * 8);
        if (o.mask->rows > 0) y1 = std::min<int64_t>(y1, o.mask->rows);
    }
    if (o.alpha) x1 = std::min<int64_t>(x1, o.alpha->width), y1 = std::min<int64_t>(y1, o.alpha->height);
    if (o.region) {
        x0 = std::max<int64_t>(x0, o.region->x), y0 = std::max<int64_t>(y0, o.region->y);
        x1 = std::min<int64_t>(x1, int64_t(o.region->x) + o.region->width);
        y1 = std::min<int64_t>(y1, int64_t(o.region->y) + o.region->height);
    }
    return ClipBox{int32_t(x0), int32_t(y0), int32_t(std::max(x0, x1)), int32_t(std::max(y0, y1))};
}

// The per-pixel writes of every output plane: the generic rule the span path must match.
void WriteMaskPixel(MaskPlane *m, int32_t mode, int32_t x, int32_t y, bool in) {
    uint8_t *row = m->bits + ptrdiff_t(y) * m->bytesPerRow;
    switch (mode) {
    case TemplateMaskClear: if (in) SetMaskBit(row, x, false); break;
    case TemplateMaskCopy: SetMaskBit(row, x, in); break;
    case TemplateMaskXor: if (in) SetMaskBit(row, x, !MaskBit(row, x)); break;
    case TemplateMaskAnd: if (!in) SetMaskBit(row, x, false); break;
    default: if (in) SetMaskBit(row, x, true); break;
    }
}

void WriteAlphaPixel(AlphaPlane *a, int32_t level, int32_t x, int32_t y, uint32_t coverage) {
    uint8_t &v = a->bytes[ptrdiff_t(y) * a->bytesPerRow + x];
    if (level == kShapeAlphaOwnOpacity) v = uint8_t(coverage);
    else v = uint8_t((v * (255 - coverage) + uint32_t(std::clamp(level, 0, 255)) * coverage + 127) / 255);
}

uint32_t ImageCoverage(const ImageTriple &t, int32_t i, int32_t j) {
    if (t.alpha) return t.alpha->bytes[ptrdiff_t(j) * t.alpha->bytesPerRow + i];
    if (t.mask) return MaskBit(t.mask, i, j) ? 255 : 0;
    return 255;
}

// Calls visit(i, j, px, py) for every pixel of an image placed at (x, y) that the output lets through.
template <class Visit> void ForEachOutputPixel(const ImageTriple &t, int64_t x, int64_t y, const ShapeOutput &o,
                                               Visit visit) {
    const ClipBox box = OutputClip(o);
    const int64_t i0 = std::max<int64_t>(0, box.x0 - x), i1 = std::min<int64_t>(t.width, box.x1 - x);
    const int64_t j0 = std::max<int64_t>(0, box.y0 - y), j1 = std::min<int64_t>(t.height, box.y1 - y);
    for (int64_t j = j0; j < j1; ++j)
        for (int64_t i = i0; i < i1; ++i) {
            const int32_t px = int32_t(x + i), py = int32_t(y + j);
            if (o.region && o.region->mask && !ClipRegionContains(o.region, px, py)) continue;
            visit(int32_t(i), int32_t(j), px, py);
        }
}

} // namespace

int DrawShapeGeneric(const ShapeRecord &shape, int32_t x, int32_t y, const DisplayTransform *transform,
                     const ShapeOutput &o) {
    ImageTriple image;
    int32_t ox = 0, oy = 0;
    if (int err = RenderShapeImage(shape, transform, &image, &ox, &oy)) return err;
    const int64_t ix = int64_t(x) + ox, iy = int64_t(y) + oy;
    if (o.bitmap) {
        const PixelBuffer b = BitmapPixels(o.bitmap);
        ForEachOutputPixel(image, ix, iy, o, [&](int32_t i, int32_t j, int32_t px, int32_t py) {
            if (const uint32_t a = ImageCoverage(image, i, j))
                WritePixelGeneric(b, px, py, BlendChannels(ReadPixelGeneric(b, px, py),
                                                           ColorChannels(HostBitmapRow32(image.bitmap, j)[i]), a));
        });
    }
    // The mask and the intensity take the shape's coverage, not its colours' transparency.
    ImageTriple solid;
    const ImageTriple *cover = &image;
    if ((o.mask || (o.alpha && o.alpha->bytes && o.alphaLevel != kShapeAlphaOwnOpacity)) && image.alpha) {
        ShapeRecord opaque = shape;
        opaque.color &= 0xFFFFFF;
        opaque.style.edgeColor &= 0xFFFFFF;
        opaque.style.shadowColor &= 0xFFFFFF;
        int32_t sx = 0, sy = 0;
        if (int err = RenderShapeImage(opaque, transform, &solid, &sx, &sy)) {
            FreeImageTriple(&image);
            return err;
        }
        cover = &solid;
    }
    if (o.mask && o.mask->bits)
        ForEachOutputPixel(*cover, ix, iy, o, [&](int32_t i, int32_t j, int32_t px, int32_t py) {
            WriteMaskPixel(o.mask, o.maskMode, px, py, ImageCoverage(*cover, i, j) >= 128);
        });
    if (o.alpha && o.alpha->bytes) {
        const ImageTriple &t = o.alphaLevel == kShapeAlphaOwnOpacity ? image : *cover;
        ForEachOutputPixel(t, ix, iy, o, [&](int32_t i, int32_t j, int32_t px, int32_t py) {
            WriteAlphaPixel(o.alpha, o.alphaLevel, px, py, ImageCoverage(t, i, j));
        });
    }
    FreeImageTriple(&solid);
    FreeImageTriple(&image);
    return 0;
}

bool IsPlainShape(const ShapeRecord &, const DisplayTransform *) { return false; }

int DrawShape(const ShapeRecord &shape, int32_t x, int32_t y, const DisplayTransform *transform,
              const ShapeOutput &output) {
    return DrawShapeGeneric(shape, x, y, transform, output);
}

int DrawShapeIntoBitmap(HostBitmap *target, int32_t x, int32_t y, const ShapeRecord &shape,
                        const DisplayTransform *transform) {
    if (!target || !target->pixels) return kErrWrongUsage;
    return DrawShape(shape, x, y, transform, BitmapShapeOutput(target));
}

int DrawShapeIntoMask(MaskPlane *target, int32_t x, int32_t y, const ShapeRecord &shape, const DisplayTransform *transform) {
    if (!target || !target->bits) return kErrWrongUsage;
    ShapeOutput o;
    o.mask = target;
    o.width = target->bytesPerRow * 8;
    o.height = target->rows > 0 ? target->rows : 0;
    o.maskMode = GetMaskMode() == MASKINVISIBLE ? TemplateMaskClear : TemplateMaskSet;
    return DrawShape(shape, x, y, transform, o);
}

int DrawShapeIntoAlpha(AlphaPlane *target, int32_t x, int32_t y, const ShapeRecord &shape,
                       const DisplayTransform *transform) {
    if (!target || !target->bytes) return kErrWrongUsage;
    ShapeOutput o;
    o.alpha = target;
    o.width = target->width;
    o.height = target->height;
    o.alphaLevel = GetAlphaIntensity();
    return DrawShape(shape, x, y, transform, o);
}
