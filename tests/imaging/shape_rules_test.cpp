// The shapes' pixel rules checked against geometry worked out here, not against either renderer: the side-by-side
// test of the span path and the generic renderer cannot see a fault both share.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "host/bitmap.h"
#include "imaging/shapes.h"
#include "runtime/app/object_kinds.h"

namespace {

// Pixel (i, j) of a shape is the square [i, i + 1) x [j, j + 1) of its coordinates.
constexpr int32_t kPlane = 96, kAt = 8; // the plane drawn into, and where the shape's origin lies in it

// How far a point lies inside the exact shape (negative outside): a true distance or less, never more, so a pixel
// whose centre is more than half its diagonal away lies wholly on one side.
double Depth(const ShapeRecord &s, double x, double y) {
    switch (s.kind) {
    case ObjectKindBox: {
        const double r = std::clamp<double>(s.roundLevel, 0, std::min(s.sizeX, s.sizeY) / 2.0);
        const double qx = std::fabs(x - s.sizeX / 2.0) - (s.sizeX / 2.0 - r);
        const double qy = std::fabs(y - s.sizeY / 2.0) - (s.sizeY / 2.0 - r);
        return r - std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) - std::min(std::max(qx, qy), 0.0);
    }
    case ObjectKindCircle:
    case ObjectKindEllipse: {
        // Radii and centre a pixel's half beyond the given radii, as the box 2r + 1 pixels wide holds them.
        const double a = s.radiusX + 0.5, b = (s.kind == ObjectKindCircle ? s.radiusX : s.radiusY) + 0.5;
        return (1 - std::hypot((x - a) / a, (y - b) / b)) * std::min(a, b);
    }
    case ObjectKindLine: { // round-ended, between the end pixels' centres
        const double ax = s.x1 + 0.5, ay = s.y1 + 0.5, dx = s.x2 - s.x1, dy = s.y2 - s.y1;
        const double l2 = dx * dx + dy * dy;
        const double t = l2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / l2, 0.0, 1.0) : 0.0;
        return std::max(s.thickness, 1) / 2.0 - std::hypot(x - ax - t * dx, y - ay - t * dy);
    }
    case ObjectKindPlot: return 0.5 - std::max(std::fabs(x - 0.5), std::fabs(y - 0.5));
    case ObjectKindPolygon: { // non-zero winding
        const std::vector<double> &v = s.vertices;
        const size_t n = v.size() / 2;
        int winding = 0;
        double nearest = INFINITY;
        for (size_t k = 0; k < n; ++k) {
            const double x0 = v[2 * k], y0 = v[2 * k + 1], x1 = v[2 * ((k + 1) % n)], y1 = v[2 * ((k + 1) % n) + 1];
            const double ex = x1 - x0, ey = y1 - y0, l2 = ex * ex + ey * ey;
            const double t = std::clamp(((x - x0) * ex + (y - y0) * ey) / l2, 0.0, 1.0);
            nearest = std::min(nearest, std::hypot(x - x0 - t * ex, y - y0 - t * ey));
            const double side = ex * (y - y0) - ey * (x - x0);
            if (y0 <= y && y < y1 && side > 0) ++winding;
            if (y1 <= y && y < y0 && side < 0) --winding;
        }
        return winding ? nearest : -nearest;
    }
    default: return -INFINITY;
    }
}

// The fraction of the pixel the exact shape covers, counted on a 32 x 32 grid (within 1/64 of the true one).
double ExactCoverage(const ShapeRecord &s, int32_t i, int32_t j) {
    const double centre = Depth(s, i + 0.5, j + 0.5);
    if (std::fabs(centre) > 0.75) return centre > 0;
    int inside = 0;
    for (int v = 0; v < 32; ++v)
        for (int u = 0; u < 32; ++u) inside += Depth(s, i + (u + 0.5) / 32, j + (v + 0.5) / 32) > 0;
    return inside / 1024.0;
}

// What each pixel of an aliased shape must be: in, out, or either when its centre lies on the edge.
enum class Pixel { Out, In, Either };

struct Expected {
    std::vector<double> cover; // 0 to 1 per plane pixel
    std::vector<Pixel> aliased;
};

Expected ExpectedPixels(const ShapeRecord &s) {
    Expected e;
    e.cover.assign(size_t(kPlane * kPlane), 0.0);
    e.aliased.assign(size_t(kPlane * kPlane), Pixel::Out);
    for (int32_t y = 0; y < kPlane; ++y)
        for (int32_t x = 0; x < kPlane; ++x) {
            const int32_t i = x - kAt, j = y - kAt;
            const size_t k = size_t(y * kPlane + x);
            if (s.style.Antialias()) {
                e.cover[k] = ExactCoverage(s, i, j);
            } else {
                const double d = Depth(s, i + 0.5, j + 0.5);
                e.aliased[k] = std::fabs(d) < 1e-9 ? Pixel::Either : d > 0 ? Pixel::In : Pixel::Out;
            }
        }
    if (s.style.fillStyle != kFillNone || s.kind == ObjectKindLine || s.kind == ObjectKindPlot) return e;
    // Without a fill: the pixels of the area within the outline's thickness (a square) of one outside it. With
    // antialiasing a pixel keeps what its coverage exceeds the least coverage within that square.
    const int32_t t = std::max(s.style.outlineThickness, 1);
    Expected o = e;
    for (int32_t y = 0; y < kPlane; ++y)
        for (int32_t x = 0; x < kPlane; ++x) {
            double least = 1;
            bool out = false, either = false;
            for (int32_t v = y - t; v <= y + t; ++v)
                for (int32_t u = x - t; u <= x + t; ++u) {
                    const bool inPlane = u >= 0 && v >= 0 && u < kPlane && v < kPlane;
                    const size_t k = size_t(v * kPlane + u);
                    least = std::min(least, inPlane ? e.cover[k] : 0.0);
                    out = out || !inPlane || e.aliased[k] == Pixel::Out;
                    either = either || (inPlane && e.aliased[k] == Pixel::Either);
                }
            const size_t k = size_t(y * kPlane + x);
            o.cover[k] = e.cover[k] - least;
            if (e.aliased[k] != Pixel::Out && !out) o.aliased[k] = either ? Pixel::Either : Pixel::Out;
        }
    return o;
}

// How a shape is symmetric: about its centre, and also about its middle row and column.
enum Symmetry { kNone, kTurned, kMirrored };

struct Rule {
    ShapeRecord shape;
    double area; // the exact area of what is drawn, or 0 where none is worked out
    Symmetry symmetry;
    std::string name;
};

ShapeRecord Shape(int32_t kind, int32_t fill, int32_t bits) {
    ShapeRecord s;
    s.kind = kind;
    s.color = 0xFFFFFF;
    s.style.fillStyle = fill;
    s.style.styleBits = bits;
    return s;
}

// Every kind but the arc, filled and outlined, each aliased and antialiased.
std::vector<Rule> Rules() {
    std::vector<Rule> out;
    for (int32_t bits : {kFormStyleNormal, kFormStyleAntialias}) {
        const auto add = [&](const ShapeRecord &s, double area, Symmetry symmetry, const std::string &name) {
            out.push_back({s, area, symmetry, name + (bits == kFormStyleAntialias ? " antialiased" : "")});
        };
        for (int32_t fill : {kFillColor, kFillNone})
            for (int32_t t : {1, 3}) {
                if (fill == kFillColor && t > 1) continue;
                const std::string how = fill == kFillColor ? "filled " : "outline " + std::to_string(t) + " ";
                ShapeRecord s = Shape(ObjectKindBox, fill, bits);
                s.sizeX = 23, s.sizeY = 17, s.style.outlineThickness = t;
                add(s, fill == kFillColor ? 23.0 * 17 : 0, kMirrored, how + "box");
                s.sizeX = 40, s.sizeY = 30, s.roundLevel = 9;
                add(s, fill == kFillColor ? 40.0 * 30 - (4 - M_PI) * 81 : 0, kMirrored, how + "rounded box");
                s = Shape(ObjectKindCircle, fill, bits);
                s.style.outlineThickness = t;
                for (int32_t r : {0, 1, 2, 5, 8, 13, 21, 40}) {
                    s.radiusX = r;
                    add(s, fill == kFillColor ? M_PI * (r + 0.5) * (r + 0.5) : 0, kMirrored, how + "circle " + std::to_string(r));
                }
                s = Shape(ObjectKindEllipse, fill, bits);
                s.radiusX = 30, s.radiusY = 7, s.style.outlineThickness = t;
                add(s, fill == kFillColor ? M_PI * 30.5 * 7.5 : 0, kMirrored, how + "ellipse");
                s = Shape(ObjectKindPolygon, fill, bits);
                s.style.outlineThickness = t;
                s.vertices = {0, 0, 50, 10, 20, 40};
                add(s, fill == kFillColor ? 0.5 * (50.0 * 40 - 10.0 * 20) : 0, kNone, how + "triangle");
                s.vertices = {0, 0, 40, 10, 60, 50, 20, 40};
                add(s, fill == kFillColor ? 40.0 * 40 - 10.0 * 20 : 0, kTurned, how + "parallelogram");
                // A star in one stroke: its middle is wound twice, and counts once where edges cross in a pixel.
                s.vertices = {20, 0, 32, 38, 0, 14, 40, 14, 8, 38};
                add(s, 0, kNone, how + "star");
                s.vertices = {0, 0, 30, 0, 30, 25, 15, 8, 0, 25};
                add(s, fill == kFillColor ? 30.0 * 25 - 0.5 * 30 * 17 : 0, kNone, how + "notch");
            }
        // Lines of every thickness, level, upright, at 45 degrees and slanted, and one of no length (a disc):
        // symmetric about their axis, but for aliased ones of even thickness, which are t pixels thick.
        const int32_t ends[][4] = {{0, 20, 40, 20}, {20, 0, 20, 40}, {0, 0, 30, 30}, {3, 30, 40, 2}, {10, 10, 10, 10}};
        for (int32_t t = 1; t <= 6; ++t)
            for (const auto &e : ends) {
                ShapeRecord s = Shape(ObjectKindLine, kFillNone, bits);
                s.x1 = e[0], s.y1 = e[1], s.x2 = e[2], s.y2 = e[3], s.thickness = t;
                const Symmetry symmetry = bits != kFormStyleAntialias && t % 2 == 0 ? kNone
                                          : e[0] == e[2] || e[1] == e[3]            ? kMirrored
                                                                                    : kTurned;
                add(s, std::hypot(e[2] - e[0], e[3] - e[1]) * t + M_PI * t * t / 4, symmetry,
                    "line " + std::to_string(e[0]) + "," + std::to_string(e[1]) + " to " + std::to_string(e[2]) +
                        "," + std::to_string(e[3]) + " thickness " + std::to_string(t));
            }
        add(Shape(ObjectKindPlot, kFillNone, bits), 1, kMirrored, "plot");
    }
    return out;
}

// The coverage a renderer gave each plane pixel: the shape drawn opaque into a clear intensity plane at level 255,
// which blends to the coverage itself. A level, unlike the shape's own opacity, lets DrawShape take the span path.
std::vector<uint8_t> Drawn(const ShapeRecord &s, bool generic) {
    AlphaPlane *plane = AllocAlphaPlane(kPlane, kPlane, true);
    ShapeOutput o;
    o.width = o.height = kPlane;
    o.alpha = plane;
    o.alphaLevel = 255;
    EXPECT_EQ(generic ? DrawShapeGeneric(s, kAt, kAt, nullptr, o) : DrawShape(s, kAt, kAt, nullptr, o), 0);
    std::vector<uint8_t> out(size_t(kPlane * kPlane));
    for (int32_t y = 0; y < kPlane; ++y) std::memcpy(&out[size_t(y * kPlane)], plane->bytes + y * plane->bytesPerRow, kPlane);
    FreeAlphaPlane(plane);
    return out;
}

// Each rule holds through both renderers.
constexpr bool kRenderers[] = {false, true}; // the span path, the generic renderer

std::string Renderer(bool generic) { return generic ? "generic renderer" : "span path"; }

// The first pixel where f fails, as "x,y" in shape coordinates with what was drawn there, or empty.
std::string FirstFailure(const std::vector<uint8_t> &got, const std::function<bool(int32_t, int32_t)> &f,
                         const std::vector<double> *rule = nullptr) {
    for (int32_t y = 0; y < kPlane; ++y)
        for (int32_t x = 0; x < kPlane; ++x)
            if (!f(x, y))
                return std::to_string(x - kAt) + "," + std::to_string(y - kAt) + " holds " +
                       std::to_string(got[size_t(y * kPlane + x)]) +
                       (rule ? " for " + std::to_string(255 * (*rule)[size_t(y * kPlane + x)]) : "");
    return "";
}

// Aliased lines one pixel thick are a Bresenham walk: one pixel per step along the longer axis, each the nearest
// to the segment across it.
std::string ThinLineFailure(const ShapeRecord &s, const std::vector<uint8_t> &got) {
    const bool steep = std::abs(s.y2 - s.y1) > std::abs(s.x2 - s.x1);
    const int32_t from = steep ? std::min(s.y1, s.y2) : std::min(s.x1, s.x2), to = steep ? std::max(s.y1, s.y2) : std::max(s.x1, s.x2);
    for (int32_t a = -kAt; a < kPlane - kAt; ++a) {
        int count = 0;
        for (int32_t b = -kAt; b < kPlane - kAt; ++b) {
            const int32_t x = steep ? b : a, y = steep ? a : b;
            if (!got[size_t((y + kAt) * kPlane + x + kAt)]) continue;
            ++count;
            const double along = steep ? s.y2 - s.y1 : s.x2 - s.x1, across = steep ? s.x2 - s.x1 : s.y2 - s.y1;
            const double ideal = (steep ? s.x1 : s.y1) + (along ? across * (a - (steep ? s.y1 : s.x1)) / along : 0);
            if (std::fabs(b - ideal) > 0.5 + 1e-9) return "pixel " + std::to_string(x) + "," + std::to_string(y) + " off the line";
        }
        if (count != (a >= from && a <= to)) return std::to_string(count) + " pixels at step " + std::to_string(a);
    }
    return "";
}

TEST(ShapeRules, EveryPixelHoldsWhatTheExactShapeCovers) {
    for (const Rule &r : Rules()) {
        const ShapeRecord &s = r.shape;
        const Expected e = ExpectedPixels(s);
        const bool soft = s.style.Antialias();
        const bool thin = !soft && s.kind == ObjectKindLine && s.thickness == 1;
        for (bool generic : kRenderers) {
            SCOPED_TRACE(r.name + ", " + Renderer(generic));
            const std::vector<uint8_t> got = Drawn(s, generic);
            const auto at = [&](int32_t x, int32_t y) { return int(got[size_t(y * kPlane + x)]); };
            if (thin) {
                EXPECT_EQ(ThinLineFailure(s, got), "");
            } else if (soft) {
                // Within 10 levels: the grid's 1/64 and the curves' flattening.
                EXPECT_EQ(FirstFailure(got, [&](int32_t x, int32_t y) {
                              return std::fabs(at(x, y) - 255 * e.cover[size_t(y * kPlane + x)]) <= 10;
                          }, &e.cover),
                          "");
            } else {
                EXPECT_EQ(FirstFailure(got, [&](int32_t x, int32_t y) {
                              const Pixel p = e.aliased[size_t(y * kPlane + x)];
                              return p == Pixel::Either || at(x, y) == (p == Pixel::In ? 255 : 0);
                          }),
                          "");
            }
            // Antialiased, the coverage sums to the exact area.
            if (soft && r.area > 0) {
                double sum = 0;
                for (uint8_t v : got) sum += v / 255.0;
                EXPECT_NEAR(sum, r.area, 0.005 * r.area + 0.5);
            }
            // Symmetric about the centre of the pixels drawn, and mirrored about their middle row and column.
            if (r.symmetry == kNone) continue;
            int32_t x0 = kPlane, y0 = kPlane, x1 = -1, y1 = -1;
            for (int32_t y = 0; y < kPlane; ++y)
                for (int32_t x = 0; x < kPlane; ++x)
                    if (at(x, y)) x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
            ASSERT_GE(x1, 0);
            const auto near = [&](int a, int b) { return std::abs(a - b) <= 1; };
            const auto inBox = [&](int32_t x, int32_t y) { return x >= x0 && x <= x1 && y >= y0 && y <= y1; };
            EXPECT_EQ(FirstFailure(got, [&](int32_t x, int32_t y) {
                          return !inBox(x, y) || near(at(x, y), at(x0 + x1 - x, y0 + y1 - y));
                      }),
                      "")
                << "turned about its centre";
            if (r.symmetry == kMirrored) {
                EXPECT_EQ(FirstFailure(got, [&](int32_t x, int32_t y) {
                              return !inBox(x, y) || (near(at(x, y), at(x0 + x1 - x, y)) && near(at(x, y), at(x, y0 + y1 - y)));
                          }),
                          "")
                    << "mirrored";
            }
        }
    }
}

// Arcs: a sector seen from the centre, the same in aliased and antialiased drawing, whose outline is the
// ellipse's within it.
struct ArcCase {
    int32_t rx, ry, start, end, clockwise;
};
// Narrow and wide, on and off the axes and diagonals, wrapping past 360, clockwise.
const ArcCase kArcs[] = {{30, 18, 30, 150, 0}, {25, 25, 45, 315, 0}, {20, 12, 200, 100, 1},
                         {17, 17, 0, 90, 0},   {22, 9, -30, 400, 0}, {28, 14, 100, 260, 1}};

ShapeRecord Arc(const ArcCase &c, bool antialias, int32_t outline) {
    ShapeRecord s = Shape(ObjectKindArc, outline ? kFillNone : kFillColor, antialias ? kFormStyleAntialias : kFormStyleNormal);
    s.radiusX = c.rx, s.radiusY = c.ry, s.startAngle = c.start, s.endAngle = c.end, s.clockwise = c.clockwise;
    s.style.outlineThickness = std::max(outline, 1);
    return s;
}

// The shape's coverage through either renderer, 0 to 255 a plane pixel, and its sum in whole pixels.
std::vector<int> Draw(const ShapeRecord &s, bool generic) {
    const std::vector<uint8_t> got = Drawn(s, generic);
    return std::vector<int>(got.begin(), got.end());
}

double Sum(const std::vector<int> &v) {
    double sum = 0;
    for (int x : v) sum += x / 255.0;
    return sum;
}

std::string Name(const ArcCase &c, bool antialias, int32_t outline) {
    return std::to_string(c.rx) + "x" + std::to_string(c.ry) + " " + std::to_string(c.start) + ".." +
           std::to_string(c.end) + (c.clockwise ? " cw" : "") + (antialias ? " AA" : "") + " outline " +
           std::to_string(outline);
}

TEST(ArcRules, AWholeTurnIsTheEllipse) {
    for (bool generic : kRenderers)
    for (const ArcCase &c : kArcs)
        for (bool aa : {false, true})
            for (int32_t outline : {0, 1, 3})
                for (int32_t turn : {0, 360}) {
                    ShapeRecord arc = Arc({c.rx, c.ry, c.start, c.start + turn, c.clockwise}, aa, outline);
                    ShapeRecord ellipse = arc;
                    ellipse.kind = ObjectKindEllipse;
                    const std::vector<int> a = Draw(arc, generic), e = Draw(ellipse, generic);
                    int differ = 0;
                    for (size_t k = 0; k < a.size(); ++k) differ += a[k] != e[k];
                    EXPECT_EQ(differ, 0) << Name(c, aa, outline) << " turn " << turn << ", " << Renderer(generic);
                }
}

// Every pixel is in the sector when its centre is (aliased), and antialiased no pixel the aliased arc leaves out is
// covered whole, nor one it sets left empty.
TEST(ArcRules, AliasedAndAntialiasedCoverTheSectorSeenFromTheCentre) {
    for (bool generic : kRenderers)
    for (const ArcCase &c : kArcs)
        for (int32_t outline : {0, 1, 4}) {
            SCOPED_TRACE(Renderer(generic));
            const std::vector<int> hard = Draw(Arc(c, false, outline), generic);
            const std::vector<int> soft = Draw(Arc(c, true, outline), generic);
            const double cx = kAt + c.rx + 0.5, cy = kAt + c.ry + 0.5, from = std::fmod(c.start + 720.0, 360.0);
            const double span = std::fmod(c.end - c.start + 720.0, 360.0) == 0 ? 360 : std::fmod(c.end - c.start + 720.0, 360.0);
            int wrong = 0, missing = 0, apart = 0;
            for (int32_t j = 0; j < kPlane; ++j)
                for (int32_t i = 0; i < kPlane; ++i) {
                    const double dx = i + 0.5 - cx, dy = (c.clockwise ? -1 : 1) * (cy - j - 0.5);
                    const double off = std::fmod(std::atan2(dy, dx) * 180 / M_PI - from + 720, 360.0);
                    const int h = hard[size_t(j * kPlane + i)], s = soft[size_t(j * kPlane + i)];
                    // Centres off the edges by a hair are left to the rounding.
                    if (h && std::fabs(off) > 1e-6 && std::fabs(off - span) > 1e-6 && (dx || dy)) wrong += off > span;
                    // A filled arc holds every centre of the ellipse on or between its edges.
                    const double u = dx / (c.rx + 0.5), v = dy / (c.ry + 0.5);
                    if (!outline && u * u + v * v <= 1 && (off <= span + 1e-9 || off >= 360 - 1e-9)) missing += !h;
                    apart += (h && !s) || (!h && s == 255);
                }
            EXPECT_EQ(wrong, 0) << Name(c, false, outline);
            EXPECT_EQ(missing, 0) << Name(c, false, outline);
            EXPECT_EQ(apart, 0) << Name(c, true, outline);
        }
}

// The antialiased fill covers the elliptic sector's area; the aliased fill about as much; an arc's outline and the
// outline of the arc that completes it share the ellipse's outline between them.
TEST(ArcRules, CoverageSumsToTheSectorsArea) {
    for (bool generic : kRenderers)
    for (const ArcCase &c : kArcs) {
        SCOPED_TRACE(Renderer(generic));
        const double rx = c.rx + 0.5, ry = c.ry + 0.5;
        const auto own = [&](double degrees) { // the ellipse's own angle of the point seen at this angle
            const double seen = degrees * M_PI / 180, a = std::atan2(rx * std::sin(seen), ry * std::cos(seen));
            return a + 2 * M_PI * std::round((seen - a) / (2 * M_PI));
        };
        double span = std::fmod(c.end - c.start + 720.0, 360.0);
        if (span == 0) span = 360;
        const double area = rx * ry / 2 * (own(c.start + span) - own(c.start));
        EXPECT_NEAR(Sum(Draw(Arc(c, true, 0), generic)), area, 0.01 * area + 2) << Name(c, true, 0);
        EXPECT_NEAR(Sum(Draw(Arc(c, false, 0), generic)), area, 0.02 * area + 3 * (rx + ry)) << Name(c, false, 0);
        for (bool aa : {false, true})
            for (int32_t outline : {1, 4}) {
                const ArcCase rest = {c.rx, c.ry, c.end, c.start, c.clockwise};
                ShapeRecord ellipse = Arc(c, aa, outline);
                ellipse.kind = ObjectKindEllipse;
                const double whole = Sum(Draw(ellipse, generic));
                const double parts =
                    Sum(Draw(Arc(c, aa, outline), generic)) + Sum(Draw(Arc(rest, aa, outline), generic));
                // Aliased, the pixels on an edge (on the diagonals) count twice.
                EXPECT_NEAR(parts, whole, aa ? 1.0 : 2.0 * outline + 1) << Name(c, aa, outline);
            }
    }
}

// The runs [from, to) of the line at height y (shape coordinates) that a filled shape holds, worked out exactly:
// an ellipse's chord (an arc's cut by its sector's two edges) or a polygon's crossings by the non-zero rule.
std::vector<std::pair<double, double>> LineRuns(const ShapeRecord &s, double y) {
    std::vector<std::pair<double, double>> runs;
    if (s.kind == ObjectKindPolygon) {
        const std::vector<double> &v = s.vertices;
        const size_t n = v.size() / 2;
        std::vector<std::pair<double, int>> cross;
        for (size_t k = 0; k < n; ++k) {
            const double x0 = v[2 * k], y0 = v[2 * k + 1], x1 = v[2 * ((k + 1) % n)], y1 = v[2 * ((k + 1) % n) + 1];
            if ((y0 <= y) != (y1 <= y)) cross.push_back({x0 + (y - y0) * (x1 - x0) / (y1 - y0), y1 > y0 ? 1 : -1});
        }
        std::sort(cross.begin(), cross.end());
        int winding = 0;
        for (size_t k = 0; k + 1 < cross.size(); ++k)
            if ((winding += cross[k].second) != 0) runs.push_back({cross[k].first, cross[k + 1].first});
        return runs;
    }
    const double a = s.radiusX + 0.5, b = (s.kind == ObjectKindCircle ? s.radiusX : s.radiusY) + 0.5;
    const double v = (y - b) / b;
    if (v * v >= 1) return runs;
    const double lo = a - a * std::sqrt(1 - v * v), hi = a + a * std::sqrt(1 - v * v);
    if (s.kind != ObjectKindArc) return {{lo, hi}};
    // The chord cut where the sector's edges cross the line, each piece in or out by its middle's angle.
    const double up = s.clockwise ? y - b : b - y, span = std::fmod(s.endAngle - s.startAngle + 720.0, 360.0);
    std::vector<double> cuts = {lo, hi};
    for (double t : {s.startAngle * M_PI / 180, s.endAngle * M_PI / 180})
        if (const double x = a + std::cos(t) * up / std::sin(t); std::sin(t) * up > 0 && x > lo && x < hi) cuts.push_back(x);
    std::sort(cuts.begin(), cuts.end());
    for (size_t k = 0; k + 1 < cuts.size(); ++k) {
        const double angle = std::atan2(up, (cuts[k] + cuts[k + 1]) / 2 - a) * 180 / M_PI;
        if (span == 0 || std::fmod(angle - s.startAngle + 720, 360.0) <= span) runs.push_back({cuts[k], cuts[k + 1]});
    }
    return runs;
}

// Every pixel's share of a filled shape, from the exact runs of 256 lines a pixel row: the share of a line is exact,
// and the rows' sum errs only about the lines' few kinks (ends, crossings, the curve's tangents), far below a level.
std::vector<double> LineSampledCoverage(const ShapeRecord &s) {
    std::vector<double> cover(size_t(kPlane * kPlane), 0.0);
    constexpr int kLines = 256;
    for (int32_t y = 0; y < kPlane; ++y)
        for (int line = 0; line < kLines; ++line)
            for (const auto &[from, to] : LineRuns(s, y - kAt + (line + 0.5) / kLines))
                for (int32_t x = std::max(0, int32_t(std::floor(from)) + kAt); x < kPlane && x - kAt < to; ++x)
                    cover[size_t(y * kPlane + x)] +=
                        std::max(0.0, std::min<double>(to, x - kAt + 1) - std::max<double>(from, x - kAt)) / kLines;
    return cover;
}

// Antialiased, a filled curve's or crossing polygon's pixel holds its exact share of the area within a level.
TEST(ShapeRules, AntialiasedEdgePixelsHoldTheirExactShareWithinALevel) {
    std::vector<std::pair<ShapeRecord, std::string>> shapes;
    for (int32_t r : {1, 3, 7, 12, 20, 33, 40}) {
        ShapeRecord s = Shape(ObjectKindCircle, kFillColor, kFormStyleAntialias);
        s.radiusX = r;
        shapes.push_back({s, "circle " + std::to_string(r)});
    }
    for (const auto &[rx, ry] : {std::pair{30, 7}, {9, 38}, {40, 25}, {2, 17}}) {
        ShapeRecord s = Shape(ObjectKindEllipse, kFillColor, kFormStyleAntialias);
        s.radiusX = rx, s.radiusY = ry;
        shapes.push_back({s, "ellipse " + std::to_string(rx) + "x" + std::to_string(ry)});
    }
    for (const ArcCase &c : kArcs) shapes.push_back({Arc(c, true, 0), Name(c, true, 0)});
    ShapeRecord star = Shape(ObjectKindPolygon, kFillColor, kFormStyleAntialias);
    star.vertices = {20, 0, 32, 38, 0, 14, 40, 14, 8, 38};
    shapes.push_back({star, "star"});
    // Polygons crossing themselves often, many edges in one pixel, parts wound up to several times either way.
    std::mt19937 rng(7);
    for (int k = 0; k < 6; ++k) {
        ShapeRecord s = star;
        s.vertices.clear();
        for (int n = 0; n < 2 * (5 + 6 * k); ++n) s.vertices.push_back(double(rng() % 61));
        shapes.push_back({s, "random polygon " + std::to_string(k)});
    }
    for (const auto &[s, name] : shapes) {
        const std::vector<double> cover = LineSampledCoverage(s);
        for (bool generic : kRenderers) {
            SCOPED_TRACE(name + ", " + Renderer(generic));
            const std::vector<uint8_t> got = Drawn(s, generic);
            EXPECT_EQ(FirstFailure(got, [&](int32_t x, int32_t y) {
                          return std::fabs(got[size_t(y * kPlane + x)] - 255 * cover[size_t(y * kPlane + x)]) <= 1;
                      }, &cover),
                      "");
        }
    }
}

} // namespace
