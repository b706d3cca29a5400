// Arcs against their own rule rather than against the generic renderer: a sector seen from the centre, the same in
// aliased and antialiased drawing, whose outline is the ellipse's within it.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/bitmap.h"
#include "imaging/shapes.h"
#include "runtime/app/object_kinds.h"

namespace {

struct ArcCase {
    int32_t rx, ry, start, end, clockwise;
};
// Narrow and wide, on and off the axes and diagonals, wrapping past 360, clockwise.
const ArcCase kArcs[] = {{30, 18, 30, 150, 0}, {25, 25, 45, 315, 0}, {20, 12, 200, 100, 1},
                         {17, 17, 0, 90, 0},   {22, 9, -30, 400, 0}, {28, 14, 100, 260, 1}};

ShapeRecord Arc(const ArcCase &c, bool antialias, int32_t outline) {
    ShapeRecord s;
    s.kind = ObjectKindArc;
    s.color = 0xFFFFFF;
    s.radiusX = c.rx, s.radiusY = c.ry, s.startAngle = c.start, s.endAngle = c.end, s.clockwise = c.clockwise;
    s.style.styleBits = antialias ? kFormStyleAntialias : kFormStyleNormal;
    s.style.fillStyle = outline ? kFillNone : kFillColor;
    s.style.outlineThickness = std::max(outline, 1);
    return s;
}

// The shape's coverage drawn white on black at (2, 2) of a 72x60 output, 0 to 255 a pixel.
std::vector<int> Draw(const ShapeRecord &s) {
    HostBitmap *b = AllocHostBitmap(72, 60);
    EXPECT_EQ(DrawShapeIntoBitmap(b, 2, 2, s, nullptr), 0);
    std::vector<int> v(72 * 60);
    for (int32_t j = 0; j < 60; ++j)
        for (int32_t i = 0; i < 72; ++i) v[size_t(j * 72 + i)] = int(HostBitmapRow32(b, j)[i] & 255);
    FreeHostBitmap(b);
    return v;
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
    for (const ArcCase &c : kArcs)
        for (bool aa : {false, true})
            for (int32_t outline : {0, 1, 3})
                for (int32_t turn : {0, 360}) {
                    ShapeRecord arc = Arc({c.rx, c.ry, c.start, c.start + turn, c.clockwise}, aa, outline);
                    ShapeRecord ellipse = arc;
                    ellipse.kind = ObjectKindEllipse;
                    const std::vector<int> a = Draw(arc), e = Draw(ellipse);
                    int differ = 0;
                    for (size_t k = 0; k < a.size(); ++k) differ += a[k] != e[k];
                    EXPECT_EQ(differ, 0) << Name(c, aa, outline) << " turn " << turn;
                }
}

// Every pixel is in the sector when its centre is (aliased), and antialiased no pixel the aliased arc leaves out is
// covered whole, nor one it sets left empty.
TEST(ArcRules, AliasedAndAntialiasedCoverTheSectorSeenFromTheCentre) {
    for (const ArcCase &c : kArcs)
        for (int32_t outline : {0, 1, 4}) {
            const std::vector<int> hard = Draw(Arc(c, false, outline)), soft = Draw(Arc(c, true, outline));
            const double cx = 2 + c.rx + 0.5, cy = 2 + c.ry + 0.5, from = std::fmod(c.start + 720.0, 360.0);
            const double span = std::fmod(c.end - c.start + 720.0, 360.0) == 0 ? 360 : std::fmod(c.end - c.start + 720.0, 360.0);
            int wrong = 0, missing = 0, apart = 0;
            for (int32_t j = 0; j < 60; ++j)
                for (int32_t i = 0; i < 72; ++i) {
                    const double dx = i + 0.5 - cx, dy = (c.clockwise ? -1 : 1) * (cy - j - 0.5);
                    const double off = std::fmod(std::atan2(dy, dx) * 180 / M_PI - from + 720, 360.0);
                    const int h = hard[size_t(j * 72 + i)], s = soft[size_t(j * 72 + i)];
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
    for (const ArcCase &c : kArcs) {
        const double rx = c.rx + 0.5, ry = c.ry + 0.5;
        const auto own = [&](double degrees) { // the ellipse's own angle of the point seen at this angle
            const double seen = degrees * M_PI / 180, a = std::atan2(rx * std::sin(seen), ry * std::cos(seen));
            return a + 2 * M_PI * std::round((seen - a) / (2 * M_PI));
        };
        double span = std::fmod(c.end - c.start + 720.0, 360.0);
        if (span == 0) span = 360;
        const double area = rx * ry / 2 * (own(c.start + span) - own(c.start));
        EXPECT_NEAR(Sum(Draw(Arc(c, true, 0))), area, 0.01 * area + 2) << Name(c, true, 0);
        EXPECT_NEAR(Sum(Draw(Arc(c, false, 0))), area, 0.02 * area + 3 * (rx + ry)) << Name(c, false, 0);
        for (bool aa : {false, true})
            for (int32_t outline : {1, 4}) {
                const ArcCase rest = {c.rx, c.ry, c.end, c.start, c.clockwise};
                ShapeRecord ellipse = Arc(c, aa, outline);
                ellipse.kind = ObjectKindEllipse;
                const double whole = Sum(Draw(ellipse)), parts = Sum(Draw(Arc(c, aa, outline))) + Sum(Draw(Arc(rest, aa, outline)));
                // Aliased, the pixels on an edge (on the diagonals) count twice.
                EXPECT_NEAR(parts, whole, aa ? 1.0 : 2.0 * outline + 1) << Name(c, aa, outline);
            }
    }
}

} // namespace
