#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "imaging/pixel_ops.h"
#include "imaging/raster.h"

namespace {

struct Mask {
    MaskPlane *plane;
    explicit Mask(int w, int h) : plane(AllocMaskPlane(nullptr, w, h, true)) {}
    ~Mask() { FreeMaskPlane(plane); }
    // The plane as text rows of '#' and '.', for readable failures.
    std::string Rows(int w) const {
        std::string s;
        for (int y = 0; y < plane->rows; ++y) {
            for (int x = 0; x < w; ++x) s += MaskBit(plane, x, y) ? '#' : '.';
            s += '\n';
        }
        return s;
    }
};

TEST(FillPolygonMask, SquareFillsThePixelsWhoseCentresAreInside) {
    Mask m(8, 8);
    const int32_t square[] = {2, 2, 6, 2, 6, 6, 2, 6};
    uint8_t scratch[136];
    ASSERT_EQ(FillPolygonMask(m.plane, square, 4, scratch, sizeof scratch), 0);
    EXPECT_EQ(m.Rows(8), "........\n"
                         "........\n"
                         "..####..\n"
                         "..####..\n"
                         "..####..\n"
                         "..####..\n"
                         "........\n"
                         "........\n");
}

TEST(FillPolygonMask, ConcaveShapeLeavesItsNotchEmpty) {
    Mask m(8, 6);
    // A U: the notch from x 3..5, y 0..3 stays clear.
    const int32_t u[] = {1, 0, 3, 0, 3, 3, 5, 3, 5, 0, 7, 0, 7, 5, 1, 5};
    ASSERT_EQ(FillPolygonMask(m.plane, u, 8, nullptr, 0), 0);
    EXPECT_EQ(m.Rows(8), ".##..##.\n"
                         ".##..##.\n"
                         ".##..##.\n"
                         ".######.\n"
                         ".######.\n"
                         "........\n");
}

TEST(FillPolygonMask, SelfIntersectingStarIsFilledWholeByWinding) {
    Mask m(21, 21);
    // A pentagram drawn in one stroke around (10, 10).
    std::vector<int32_t> star;
    for (int k = 0; k < 5; ++k) {
        double a = -M_PI / 2 + k * 4 * M_PI / 5;
        star.push_back(int32_t(std::lround(10 + 10 * std::cos(a))));
        star.push_back(int32_t(std::lround(10 + 10 * std::sin(a))));
    }
    ASSERT_EQ(FillPolygonMask(m.plane, star.data(), 5, nullptr, 0), 0);
    EXPECT_TRUE(MaskBit(m.plane, 10, 10)) << m.Rows(21); // the centre pentagon
    EXPECT_TRUE(MaskBit(m.plane, 10, 2)) << m.Rows(21);  // the top spike
    EXPECT_FALSE(MaskBit(m.plane, 2, 2)) << m.Rows(21);  // between spikes
    EXPECT_FALSE(MaskBit(m.plane, 10, 19)) << m.Rows(21);
}

TEST(FillPolygonMask, NeverWritesPastASmallScratchBlock) {
    Mask m(64, 64);
    std::vector<int32_t> many;
    for (int k = 0; k < 40; ++k) { // a zigzag with many crossings per line
        many.push_back(k * 64 / 40);
        many.push_back(k % 2 ? 60 : 4);
    }
    many.push_back(63);
    many.push_back(63);
    many.push_back(0);
    many.push_back(63);
    // Only 136 bytes offered, with guard bytes after them.
    std::vector<uint8_t> block(136 + 64, 0xA5);
    ASSERT_EQ(FillPolygonMask(m.plane, many.data(), int32_t(many.size() / 2), block.data(), 136), 0);
    for (size_t i = 136; i < block.size(); ++i) ASSERT_EQ(block[i], 0xA5) << "byte " << i;
    EXPECT_TRUE(MaskBit(m.plane, 1, 62));
}

TEST(FillPolygonMask, ClipsToThePlane) {
    Mask m(16, 4);
    const int32_t huge[] = {-100000, -100000, 100000, -100000, 100000, 100000, -100000, 100000};
    ASSERT_EQ(FillPolygonMask(m.plane, huge, 4, nullptr, 0), 0);
    EXPECT_TRUE(MaskBit(m.plane, 15, 3));
    EXPECT_TRUE(MaskBit(m.plane, 0, 0));
}

// The fill rule pixel by pixel: a pixel is in when the windings of the edges that cross its row's centre line at
// or left of its centre add up to other than 0 (the crossing taken as a float, as the fill takes it).
bool WindingHolds(const std::vector<int32_t> &p, int32_t x, int32_t y) {
    const size_t n = p.size() / 2;
    const double yc = y + 0.5;
    int32_t winding = 0;
    for (size_t k = 0; k < n; ++k) {
        const int32_t *a = &p[2 * k], *b = &p[2 * ((k + 1) % n)];
        if (a[1] == b[1]) continue;
        const int32_t *top = a[1] < b[1] ? a : b, *bottom = a[1] < b[1] ? b : a;
        if (yc < top[1] || yc >= bottom[1]) continue;
        const double slope = double(int64_t(bottom[0]) - top[0]) / double(int64_t(bottom[1]) - top[1]);
        const double cross = double(float(top[0] + (yc - top[1]) * slope));
        if (std::ceil(cross - 0.5) <= x) winding += b[1] > a[1] ? 1 : -1;
    }
    return winding != 0;
}

TEST(FillPolygonMask, RandomPolygonsHoldThePixelsTheWindingRuleHolds) {
    // Edges join and leave the active list at every row: long and short ones, crossings, points off the plane,
    // and level edges.
    std::mt19937 rng(2);
    const auto pick = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    for (int round = 0; round < 1500; ++round) {
        const int32_t w = pick(1, 40), h = pick(1, 30), n = pick(3, round % 10 ? 9 : 60);
        std::vector<int32_t> points;
        for (int32_t k = 0; k < n; ++k) {
            points.push_back(pick(-8, w + 8));
            points.push_back(k > 0 && pick(0, 5) == 0 ? points[size_t(2 * k - 1)] : pick(-8, h + 8));
        }
        Mask m(w, h);
        ASSERT_EQ(FillPolygonMask(m.plane, points.data(), n, nullptr, 0), 0);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                ASSERT_EQ(MaskBit(m.plane, x, y), WindingHolds(points, x, y))
                    << "round " << round << " pixel " << x << "," << y << "\n" << m.Rows(w);
    }
}

TEST(ClipPolygonToEdge, CountsForEachSide) {
    const int32_t square[] = {0, 0, 10, 0, 10, 10, 0, 10};
    int32_t out[16];
    EXPECT_EQ(ClipPolygonToEdge(4, square, out, 5, 0), 4);   // x >= 5: a rectangle
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(ClipPolygonToEdge(4, square, out, -1, 0), 4);  // everything kept
    EXPECT_EQ(ClipPolygonToEdge(4, square, out, 11, 2), 4);  // x <= 11: everything
    EXPECT_EQ(ClipPolygonToEdge(4, square, out, 20, 1), 0);  // y >= 20: nothing
    const int32_t triangle[] = {0, 0, 10, 0, 0, 10};
    EXPECT_EQ(ClipPolygonToEdge(3, triangle, out, 5, 3), 4); // y <= 5 cuts off the tip: a quadrilateral
    EXPECT_EQ(ClipPolygonToEdge(3, triangle, out, 5, 1), 3); // y >= 5 keeps the tip: a triangle
}

TEST(ClipPolygonToEdge, VerticesOnTheLineAreNotDoubled) {
    const int32_t diamond[] = {5, 0, 10, 5, 5, 10, 0, 5};
    int32_t out[16];
    // x >= 5 through the top and bottom vertices: a triangle, not five points with repeats.
    ASSERT_EQ(ClipPolygonToEdge(4, diamond, out, 5, 0), 3);
    EXPECT_EQ(out[0], 5);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[4], 5);
    EXPECT_EQ(out[5], 10);
}

TEST(ClipPolygonToEdge, StopsAtTheOutputCapacity) {
    const int32_t square[] = {0, 0, 10, 0, 10, 10, 0, 10};
    int32_t out[4] = {0, 0, 0, 0};
    EXPECT_EQ(ClipPolygonToEdge(4, square, out, 5, 0, 2), 2);
}

TEST(EllipseArcPoints, QuarterArcRunsCounterClockwiseFromThreeOClock) {
    int32_t pts[2 * 361];
    ASSERT_EQ(EllipseArcPoints(pts, 10, 5, 0, 90), 91);
    EXPECT_EQ(pts[0], 20); // right middle of the 21 x 11 box
    EXPECT_EQ(pts[1], 5);
    EXPECT_EQ(pts[180], 10); // top middle
    EXPECT_EQ(pts[181], 0);
}

TEST(EllipseArcPoints, WrapsWhenTheEndIsBelowTheStart) {
    int32_t pts[2 * 361];
    EXPECT_EQ(EllipseArcPoints(pts, 3, 3, 350, 10), 21);
    EXPECT_EQ(EllipseArcPoints(pts, 3, 3, 0, 359, 100), 100);
}

TEST(SineTable, EntriesAreTheAnglesCountedBackwards) {
    EXPECT_NEAR(SineTable()[90], -1.0, 1e-12); // sin 270
    EXPECT_NEAR(CosineTable()[0], 1.0, 1e-12);
    EXPECT_NEAR(SineTable()[360], 0.0, 1e-12);
}

TEST(ClampFillStyle, BringsEveryFieldIntoRange) {
    FormStyle s;
    s.fillStyle = 9;
    s.edgeSize = 0;
    s.shadowSize = 100;
    s.shadowDirection = -1;
    s.outlineThickness = 0;
    ClampFillStyle(&s);
    EXPECT_EQ(s.fillStyle, 3);
    EXPECT_EQ(s.edgeSize, 1);
    EXPECT_EQ(s.shadowSize, 64);
    EXPECT_EQ(s.shadowDirection, 0);
    EXPECT_EQ(s.outlineThickness, 1);
}

// ---- Flood fill -------------------------------------------------------------------------------------------------
TEST(FloodFill, StopsAtTheBoundaryColour) {
    std::vector<uint32_t> px(6 * 5, 0);
    for (int y = 0; y < 5; ++y) px[size_t(y) * 6 + 3] = 0x00FF0000; // a wall at x = 3
    FloodFillParams p;
    p.pixels = reinterpret_cast<uint8_t *>(px.data());
    p.width = 6;
    p.height = 5;
    p.rowLength = 6;
    p.fill = 0x0000FF00;
    p.boundary = 0x00FF0000;
    FloodFillPixels32(p, 0, 0, 0x00FFFFFF);
    EXPECT_EQ(px[2], 0x0000FF00u);
    EXPECT_EQ(px[4 * 6 + 2], 0x0000FF00u);
    EXPECT_EQ(px[4], 0u);
}

TEST(FloodFill, LargeSerpentineAreaDoesNotExhaustTheStack) {
    // A 1-pixel corridor snaking through 1000 x 1000: a recursive fill would nest a million calls deep.
    const int n = 1000;
    std::vector<uint16_t> px(size_t(n) * n, 0);
    for (int y = 1; y < n; y += 2)
        for (int x = 0; x < n; ++x)
            if (!((y / 2) % 2 == 0 ? x == n - 1 : x == 0)) px[size_t(y) * n + size_t(x)] = 0xF800;
    FloodFillParams p;
    p.pixels = reinterpret_cast<uint8_t *>(px.data());
    p.width = n;
    p.height = n;
    p.rowLength = n;
    p.fill = 0x07E0;
    p.boundary = 0xF800;
    FloodFillPixels16(p, 0, 0);
    EXPECT_EQ(px[size_t(n - 2) * n + 5], 0x07E0); // the last corridor
}

TEST(FloodFill, StartOutsideThePictureDoesNothing) {
    std::vector<uint8_t> px(3 * 2 * 2, 0);
    FloodFillParams p;
    p.pixels = px.data();
    p.width = 2;
    p.height = 2;
    p.rowLength = 2;
    p.fill = 0xFFFFFF;
    FloodFillPixels24(p, 5, -1);
    EXPECT_EQ(px, std::vector<uint8_t>(12, 0));
}

} // namespace
