// Shape areas as boxes and paths, and the output's clip box.
#include "imaging/shape_geometry.h"

#include <utility>
#include <vector>

// How ArcPoints flattens an arc from a0 to a1: n steps of d radians, the radii scaled by k.
static void ArcSteps(double rx, double ry, double a0, double a1, bool keepArea, int32_t *n, double *d, double *k) {
    // Within a level of the exact coverage: the chords stray 0.002 pixels at most from the scaled curve, or on a
    // small one, whose chords are short enough that a pixel holds what they stray out and in alike, further.
    const double r = std::max(rx, ry);
    const double fine =
        r > 0.05 ? std::max(2 * std::acos(std::max(0.0, 1 - 0.002 / r)), std::cbrt(0.02 / (r * r))) : M_PI;
    const double step = std::min(fine, keepArea ? M_PI : M_PI / 8);
    *n = std::clamp(int32_t(std::ceil(std::fabs(a1 - a0) / step)), 2, 8192);
    // A whole turn in a multiple of four steps: the flattened ellipse keeps both mirror symmetries of the true one.
    if (std::fabs(a1 - a0) >= 2 * M_PI) *n = (*n + 3) / 4 * 4;
    *d = (a1 - a0) / *n;
    *k = keepArea ? std::sqrt(std::fabs(*d) / std::max(std::sin(std::fabs(*d)), 1e-12)) : 1.0;
}

// An elliptic arc from angle a0 to a1 (radians, counter-clockwise on screen) as points. With keepArea the radii
// are scaled so the flattened curve keeps the true area; without it the ends stay on the curve (a line's caps,
// whose ends meet its straight sides).
static void ArcPoints(ShapePath *path, double cx, double cy, double rx, double ry, double a0, double a1,
                      bool keepArea = true) {
    int32_t n;
    double d, k;
    ArcSteps(rx, ry, a0, a1, keepArea, &n, &d, &k);
    for (int32_t i = 0; i <= n; ++i) {
        const double a = a0 + d * i;
        path->Point(cx + rx * k * std::cos(a), cy - ry * k * std::sin(a));
    }
}

// The columns [*lo, *hi] of [l, r] where holds(i), a test that changes at most once along the row: false then true
// when rising, else true then false, changing at about x. Only the pixels next to the change are tested.
template <class Holds>
static void SideOfRow(Holds holds, bool rising, double x, int32_t l, int32_t r, int32_t *lo, int32_t *hi) {
    if (rising) {
        int32_t k = CeilInt(std::clamp(x, double(l), double(r) + 1)); // the first that holds, as a rule
        while (k > l && holds(k - 1)) --k;
        while (k <= r && !holds(k)) ++k;
        *lo = k, *hi = r;
    } else {
        int32_t k = FloorInt(std::clamp(x, double(l) - 1, double(r)));
        while (k < r && holds(k + 1)) ++k;
        while (k >= l && !holds(k)) --k;
        *lo = l, *hi = k;
    }
}

int ArcSector::Row(int32_t j, int32_t l, int32_t r, int32_t runs[4]) const {
    runs[0] = l, runs[1] = r, runs[2] = 1, runs[3] = 0;
    if (Whole() || l > r) return 1;
    const double dy = Dy(j + 0.5);
    const auto side = [&](double slope, double root, auto holds, int32_t *lo, int32_t *hi) {
        if (slope == 0) { // level with the row: all or nothing
            *lo = l, *hi = holds(l) ? r : l - 1;
            return;
        }
        SideOfRow(holds, slope > 0, root, l, r, lo, hi);
    };
    // Each test is linear in the column: zero where dx = dy x / y of the edge's direction.
    int32_t a0, a1, b0, b1;
    side(-sy, cx - 0.5 + startRun * dy, [&](int32_t i) { return AfterStart(Dx(i + 0.5), dy) >= 0; }, &a0, &a1);
    side(ey, cx - 0.5 + endRun * dy,
         [&](int32_t i) { return BeforeEnd(Dx(i + 0.5), dy) >= 0; }, &b0, &b1);
    if (!Reflex()) {
        runs[0] = std::max(a0, b0), runs[1] = std::min(a1, b1);
        return 1;
    }
    if (a0 > a1) a0 = b0, a1 = b1, b0 = 1, b1 = 0;
    if (b0 <= b1 && b0 < a0) std::swap(a0, b0), std::swap(a1, b1);
    if (b0 <= b1 && b0 <= a1 + 1) a1 = std::max(a1, b1), b0 = 1, b1 = 0; // they meet: one run
    runs[0] = a0, runs[1] = a1, runs[2] = b0, runs[3] = b1;
    return 2;
}

void ArcSector::Reach(bool upright, double rx, double ry, double *low, double *high) const {
    *low = *high = 0;
    const auto within = [&](double degrees) { return std::fmod(degrees - from + 720, 360.0) <= span; };
    const double axis = upright ? 90 : 0, radius = upright ? ry : rx;
    if (within(axis)) *high = radius;
    if (within(axis + 180)) *low = -radius;
    // The edges' points on the ellipse: at its own angle atan2(rx y, ry x) along each edge's direction (x, y).
    for (const auto &[x, y] : {std::pair{sx, sy}, std::pair{ex, ey}}) {
        const double length = std::hypot(rx * y, ry * x);
        const double v = length > 0 ? (upright ? ry * rx * y : rx * ry * x) / length : 0;
        *low = std::min(*low, v), *high = std::max(*high, v);
    }
}

void ArcSector::Rows(double rx, double ry, int32_t bh, int32_t *top, int32_t *bottom) const {
    *top = 0, *bottom = bh;
    if (Whole()) return;
    double low, high; // offsets up (down when clockwise) from the centre
    Reach(true, rx, ry, &low, &high);
    const double y0 = clockwise ? cy + low : cy - high, y1 = clockwise ? cy + high : cy - low;
    *top = int32_t(std::clamp(std::floor(y0) - 1, 0.0, double(bh)));
    *bottom = int32_t(std::clamp(std::ceil(y1) + 1, double(*top), double(bh)));
}

void ArcSector::Columns(double rx, double ry, int32_t bw, int32_t *left, int32_t *right) const {
    *left = 0, *right = bw;
    if (Whole()) return;
    double low, high; // offsets right of the centre
    Reach(false, rx, ry, &low, &high);
    // Two more: a pixel's square may meet the ellipse and the sector apart from their common part.
    *left = int32_t(std::clamp(std::floor(cx + low) - 2, 0.0, double(bw)));
    *right = int32_t(std::clamp(std::ceil(cx + high) + 2, double(*left), double(bw)));
}

void ArcSector::Crossed(int32_t j, int32_t cross[4]) const {
    const double y0 = Dy(j), y1 = Dy(j + 1.0);
    const double edges[2][2] = {{sx, sy}, {ex, ey}};
    for (int k = 0; k < 2; ++k) {
        const double x = edges[k][0], y = edges[k][1];
        int32_t &lo = cross[2 * k], &hi = cross[2 * k + 1];
        if (y == 0) { // a level edge lies along the centre's row
            const bool meets = std::min(y0, y1) <= 0 && std::max(y0, y1) >= 0;
            lo = meets ? INT32_MIN / 2 : 1, hi = meets ? INT32_MAX / 2 : 0;
            continue;
        }
        const double a = cx + x * y0 / y, b = cx + x * y1 / y;
        lo = FloorInt(std::clamp(std::min(a, b), -1e9 + 1, 1e9 + 1)) - 1;
        hi = FloorInt(std::clamp(std::max(a, b), -1e9 - 1, 1e9 - 1)) + 1;
    }
}

// The share of the unit square from (x, y) where a u + b v >= 0: the integral of the clamped run across it.
static double HalfPlaneShare(double a, double b, double x, double y) {
    if (std::fabs(b) < std::fabs(a)) std::swap(a, b), std::swap(x, y); // across the steeper way
    // The run at u: v from y to y + 1 where b v >= -a u, linear in u.
    const auto run = [&](double u) { return b > 0 ? y + 1 + a * u / b : -a * u / b - y; };
    const double u0 = run(x), u1 = run(x + 1);
    const auto integral = [](double u) { return u <= 0 ? 0 : u >= 1 ? u - 0.5 : 0.5 * u * u; };
    if (std::fabs(u1 - u0) < 1e-12) return std::clamp(u0, 0.0, 1.0);
    return std::clamp((integral(u1) - integral(u0)) / (u1 - u0), 0.0, 1.0);
}

uint8_t ArcSector::Coverage(int32_t i, int32_t j) const {
    if (Whole()) return 255;
    const double x0 = Dx(i), x1 = Dx(i + 1.0), y0 = Dy(j), y1 = Dy(j + 1.0);
    // A square wholly on one side of an edge takes the other's share alone, or none or all of it.
    const int after = (AfterStart(x0, y0) >= 0) + (AfterStart(x1, y0) >= 0) + (AfterStart(x1, y1) >= 0) +
                      (AfterStart(x0, y1) >= 0);
    const int before = (BeforeEnd(x0, y0) >= 0) + (BeforeEnd(x1, y0) >= 0) + (BeforeEnd(x1, y1) >= 0) +
                       (BeforeEnd(x0, y1) >= 0);
    const bool afterWhole = after == 0 || after == 4, beforeWhole = before == 0 || before == 4;
    if (afterWhole || beforeWhole) {
        const bool whole = afterWhole ? after == 4 : before == 4; // the side wholly in or out
        if (whole == Reflex()) return whole ? 255 : 0;
        if (afterWhole && beforeWhole) return (Reflex() ? after + before > 0 : after + before == 8) ? 255 : 0;
        const double y = std::min(y0, y1);
        const double share = afterWhole ? HalfPlaneShare(ey, -ex, x0, y) : HalfPlaneShare(-sy, sx, x0, y);
        return uint8_t(share * 255 + 0.5);
    }
    double xs[8] = {x0, x1, x1, x0}, ys[8] = {y0, y0, y1, y1};
    int n = 4;
    const double sign = Reflex() ? -1 : 1;
    const auto clip = [&](auto f) {
        double ox[8], oy[8];
        int m = 0;
        for (int k = 0; k < n; ++k) {
            const int q = (k + 1) % n;
            const double fp = sign * f(xs[k], ys[k]), fq = sign * f(xs[q], ys[q]);
            if (fp >= 0) ox[m] = xs[k], oy[m] = ys[k], ++m;
            if ((fp < 0 && fq > 0) || (fp > 0 && fq < 0)) {
                const double t = fp / (fp - fq);
                ox[m] = xs[k] + t * (xs[q] - xs[k]), oy[m] = ys[k] + t * (ys[q] - ys[k]), ++m;
            }
        }
        n = m;
        std::copy(ox, ox + m, xs), std::copy(oy, oy + m, ys);
    };
    clip([&](double x, double y) { return AfterStart(x, y); });
    clip([&](double x, double y) { return BeforeEnd(x, y); });
    double area = 0;
    for (int k = 0; k < n; ++k) area += xs[k] * ys[(k + 1) % n] - xs[(k + 1) % n] * ys[k];
    area = std::clamp(std::fabs(area) / 2, 0.0, 1.0);
    return uint8_t(std::lround((Reflex() ? 1 - area : area) * 255));
}

// The whole turn of ArcPoints (its last point, the first, left out), or only what the columns [left, right) need:
// the points within a step's width of them and one either side. The chord that stands for each run left out lies
// on the run's side of the columns, where the two enclose nothing: every pixel there gets the same winding.
static void EllipsePath(ShapePath *path, const EllipseArea &e, double left = -INFINITY, double right = INFINITY) {
    int32_t n;
    double d, k;
    ArcSteps(e.rx, e.ry, 0, 2 * M_PI, true, &n, &d, &k);
    const double rx = e.rx * k, margin = rx * d + 1;
    const double c0 = std::clamp((left - margin - e.cx) / rx, -1.0, 1.0);
    const double c1 = std::clamp((right + margin - e.cx) / rx, -1.0, 1.0);
    // Points i of cos(i d) in [c0, c1]: i d in [acos c1, acos c0] above the centre, n - i below.
    const int32_t from = int32_t(std::max(std::floor(std::acos(c1) / d) - 1, 0.0));
    const int32_t to = int32_t(std::min(std::ceil(std::acos(c0) / d) + 1, double(n / 2)));
    const double ry = e.ry * k;
    // The points [from, to] of the upper half by rotation from the first; the lower half mirrors them.
    thread_local std::vector<double> turn;
    const auto rotate = [&](int32_t first, int32_t last) {
        turn.resize(2 * size_t(last - first + 1));
        const double cd = std::cos(d), sd = std::sin(d);
        turn[0] = std::cos(d * first), turn[1] = std::sin(d * first);
        for (size_t i = 2; i < turn.size(); i += 2)
            turn[i] = turn[i - 2] * cd - turn[i - 1] * sd, turn[i + 1] = turn[i - 1] * cd + turn[i - 2] * sd;
    };
    if (from == 0 && to == n / 2) {
        // Every point: a quarter turn, mirrored into the other three (n is a multiple of 4), so the flattened
        // ellipse keeps the true one's symmetries.
        const int32_t m = n / 4;
        rotate(0, m);
        turn[2 * size_t(m)] = 0, turn[2 * size_t(m) + 1] = 1;
        const auto point = [&](int32_t i, double sx, double sy) {
            path->Point(e.cx + rx * sx * turn[2 * size_t(i)], e.cy - ry * sy * turn[2 * size_t(i) + 1]);
        };
        for (int32_t i = 0; i < m; ++i) point(i, 1, 1);
        for (int32_t i = m; i > 0; --i) point(i, -1, 1);
        for (int32_t i = 0; i < m; ++i) point(i, -1, -1);
        for (int32_t i = m; i > 0; --i) point(i, 1, -1);
        return;
    }
    rotate(from, to);
    const auto point = [&](int32_t i, double sy) {
        path->Point(e.cx + rx * turn[2 * size_t(i - from)], e.cy - ry * sy * turn[2 * size_t(i - from) + 1]);
    };
    for (int32_t i = from; i <= to; ++i) point(i, 1);
    for (int32_t i = std::max(n - to, to + 1); i <= std::min(n - from, n - 1); ++i) point(n - i, -1);
}

void BuildShapePath(const ShapeRecord &s, ShapePath *path, double left, double right) {
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
    case ObjectKindEllipse: EllipsePath(path, EllipseArea(s), left, right); break;
    case ObjectKindArc: {
        const EllipseArea e(s);
        const ArcSector a(s);
        if (a.Whole()) { // the same polygon as the ellipse's
            EllipsePath(path, e, left, right);
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
        path->mayCross = true;
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
        // Antialiased, an even thickness centred on pixel centres ends half way into a pixel on each side, so its
        // band crosses t + 1 pixels. Aliased, the centres exactly t / 2 away on the right and lower side are left
        // out, so the line is t pixels thick.
        const int32_t across = s.style.Antialias() ? t / 2 * 2 + 1 : t;
        bx = std::min(s.x1, s.x2) - t / 2, by = std::min(s.y1, s.y2) - t / 2;
        bw = int64_t(std::abs(s.x2 - s.x1)) + across, bh = int64_t(std::abs(s.y2 - s.y1)) + across;
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

