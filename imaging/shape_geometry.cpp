// Shape areas as boxes and paths, and the output's clip box.
#include "imaging/shape_geometry.h"

// An elliptic arc from angle a0 to a1 (radians, counter-clockwise on screen) as points. With keepArea the radii
// are scaled so the flattened curve keeps the true area; without it the ends stay on the curve (a line's caps,
// whose ends meet its straight sides).
static void ArcPoints(ShapePath *path, double cx, double cy, double rx, double ry, double a0, double a1,
                      bool keepArea = true) {
    const double r = std::max(rx, ry);
    const double step = std::min(r > 0.05 ? 2 * std::acos(std::max(0.0, 1 - 0.02 / r)) : M_PI, keepArea ? M_PI : M_PI / 8);
    const int32_t n = std::clamp(int32_t(std::ceil(std::fabs(a1 - a0) / step)), 2, 2048);
    const double d = (a1 - a0) / n;
    const double k = keepArea ? std::sqrt(std::fabs(d) / std::max(std::sin(std::fabs(d)), 1e-12)) : 1.0;
    for (int32_t i = 0; i <= n; ++i) {
        const double a = a0 + d * i;
        path->Point(cx + rx * k * std::cos(a), cy - ry * k * std::sin(a));
    }
}

static void EllipsePath(ShapePath *path, const EllipseArea &e) {
    ArcPoints(path, e.cx, e.cy, e.rx, e.ry, 0, 2 * M_PI);
    path->points.resize(path->points.size() - 2); // the last point is the first
}

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
    case ObjectKindEllipse: EllipsePath(path, EllipseArea(s)); break;
    case ObjectKindArc: {
        const EllipseArea e(s);
        const ArcSector a(s);
        if (a.Whole()) { // the same polygon as the ellipse's
            EllipsePath(path, e);
            break;
        }
        // The curve's points are found by the ellipse's own angle: the one whose point lies on each edge's line.
        const auto curveAngle = [&](double degrees) {
            double x, y;
            ArcSector::Direction(degrees, &x, &y);
            const double seen = degrees * M_PI / 180, own = std::atan2(e.rx * y, e.ry * x);
            return own + 2 * M_PI * std::round((seen - own) / (2 * M_PI));
        };
        const double from = curveAngle(a.from), to = curveAngle(a.from + a.span);
        const size_t start = path->points.size();
        path->Point(e.cx, e.cy);
        ArcPoints(path, e.cx, e.cy, e.rx, e.ry, from, to);
        if (a.clockwise) // mirrored about the centre's row
            for (size_t k = start + 1; k < path->points.size(); k += 2) path->points[k] = 2 * e.cy - path->points[k];
        break;
    }
    case ObjectKindLine: {
        const ThickLine l(s);
        const double dx = l.bx - l.ax, dy = l.by - l.ay;
        const double a = (dx == 0 && dy == 0) ? 0 : std::atan2(-dy, dx); // the segment's direction on screen
        ArcPoints(path, l.bx, l.by, l.half, l.half, a - M_PI / 2, a + M_PI / 2, false);
        ArcPoints(path, l.ax, l.ay, l.half, l.half, a + M_PI / 2, a + 1.5 * M_PI, false);
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

