#include <gtest/gtest.h>

#include <string>

#include "host/blit.h"
#include "imaging/image_ops.h"
#include "imaging/shapes.h"
#include "runtime/app/command.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/runtime_globals.h"

namespace {

std::string MaskRows(const ImageTriple &t) {
    std::string s;
    for (int y = 0; y < t.height; ++y) {
        for (int x = 0; x < t.width; ++x) s += MaskBit(t.mask, x, y) ? '#' : '.';
        s += '\n';
    }
    return s;
}

// A shape rendered on its own, freed when the test ends.
struct Rendered {
    explicit Rendered(const ShapeRecord &s) : result(RenderShapeImage(s, nullptr, &t, &ox, &oy)) {}
    ~Rendered() { FreeImageTriple(&t); }
    ImageTriple t;
    int32_t ox = 0, oy = 0;
    int result;
};

TEST(RenderShapeImage, FilledBoxCoversItsSize) {
    ShapeRecord s;
    s.kind = ObjectKindBox;
    s.sizeX = 4;
    s.sizeY = 3;
    s.style.fillStyle = kFillColor;
    s.color = 0x00FF0000;
    Rendered r(s);
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(r.ox, 0);
    EXPECT_EQ(MaskRows(r.t), "####\n####\n####\n");
    EXPECT_EQ(HostBitmapRow32(r.t.bitmap, 2)[3], 0x00FF0000u);
}

TEST(RenderShapeImage, UnfilledBoxIsAnOutlineOfTheGivenThickness) {
    ShapeRecord s;
    s.kind = ObjectKindBox;
    s.sizeX = 6;
    s.sizeY = 5;
    s.style.fillStyle = kFillNone;
    s.style.outlineThickness = 2;
    Rendered r(s);
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(MaskRows(r.t), "######\n######\n##..##\n######\n######\n");
}

TEST(RenderShapeImage, ThickOutlineAndEdgeOfALargeBoxAreExact) {
    // A rim 600 thick leaves one row open inside a 1601 x 1201 box; the edge, 64 wide, rings the rim on both
    // sides and so fills that row. Taking a step per pixel of thickness, this took minutes.
    ShapeRecord s;
    s.kind = ObjectKindBox;
    s.sizeX = 1601;
    s.sizeY = 1201;
    s.color = 0x00FF0000;
    s.style.fillStyle = kFillNone;
    s.style.outlineThickness = 600;
    s.style.styleBits = kFormStyleEdge;
    s.style.edgeSize = 64;
    s.style.edgeColor = 0x0000FF00;
    Rendered r(s);
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(r.ox, -64);
    ASSERT_EQ(r.t.width, 1601 + 128);
    const uint32_t *row = HostBitmapRow32(r.t.bitmap, 64 + 600);
    for (int32_t x : {0, 63, 664, 900, 1064, 1728}) EXPECT_EQ(row[x], 0x0000FF00u) << x;
    for (int32_t x : {64, 663, 1065, 1664}) EXPECT_EQ(row[x], 0x00FF0000u) << x;
    EXPECT_EQ(HostBitmapRow32(r.t.bitmap, 64 + 599)[900], 0x00FF0000u);
}

TEST(RenderShapeImage, CircleIsSymmetricInItsBox) {
    ShapeRecord s;
    s.kind = ObjectKindCircle;
    s.radiusX = 3;
    s.style.fillStyle = kFillColor;
    Rendered r(s);
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(r.t.width, 7);
    ASSERT_EQ(r.t.height, 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x) {
            EXPECT_EQ(MaskBit(r.t.mask, x, y), MaskBit(r.t.mask, 6 - x, y));
            EXPECT_EQ(MaskBit(r.t.mask, x, y), MaskBit(r.t.mask, y, x));
        }
    EXPECT_TRUE(MaskBit(r.t.mask, 3, 0));
    EXPECT_FALSE(MaskBit(r.t.mask, 0, 0));
}

TEST(RenderShapeImage, ShadowLiesBehindAtItsOffset) {
    ShapeRecord s;
    s.kind = ObjectKindBox;
    s.sizeX = 2;
    s.sizeY = 2;
    s.style.fillStyle = kFillColor;
    s.color = 0x00FFFFFF;
    s.style.styleBits = kFormStyleShadow;
    s.style.shadowDirection = 3; // south-east
    s.style.shadowSize = 1;
    s.style.shadowColor = 0x00000080;
    Rendered r(s);
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(MaskRows(r.t), "##.\n###\n.##\n");
    EXPECT_EQ(HostBitmapRow32(r.t.bitmap, 1)[1], 0x00FFFFFFu); // the shape covers its shadow
    EXPECT_EQ(HostBitmapRow32(r.t.bitmap, 2)[2], 0x00000080u);
}

TEST(RenderShapeImage, EdgeSurroundsTheShapeAndMovesTheOrigin) {
    ShapeRecord s;
    s.kind = ObjectKindPlot;
    s.style.styleBits = kFormStyleEdge;
    s.style.edgeSize = 1;
    s.style.edgeColor = 0x0000FF00;
    Rendered r(s);
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(r.ox, -1);
    EXPECT_EQ(r.oy, -1);
    EXPECT_EQ(MaskRows(r.t), "###\n###\n###\n");
    EXPECT_EQ(HostBitmapRow32(r.t.bitmap, 0)[0], 0x0000FF00u);
}

TEST(RenderShapeImage, ThinLineHasOnePixelPerStep) {
    ShapeRecord s;
    s.kind = ObjectKindLine;
    s.x2 = 4;
    s.y2 = 2;
    Rendered r(s);
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(MaskRows(r.t), "#....\n.##..\n...##\n");
}

TEST(RenderShapeImage, QuarterArcKeepsOneQuadrant) {
    ShapeRecord s;
    s.kind = ObjectKindArc;
    s.radiusX = s.radiusY = 4;
    s.startAngle = 0;
    s.endAngle = 90;
    s.style.fillStyle = kFillColor;
    Rendered r(s);
    ASSERT_EQ(r.result, 0);
    EXPECT_TRUE(MaskBit(r.t.mask, 6, 2));  // upper right
    EXPECT_FALSE(MaskBit(r.t.mask, 2, 2)); // upper left
    EXPECT_FALSE(MaskBit(r.t.mask, 6, 6)); // lower right
}

TEST(RenderShapeImage, HugeRadiusIsRefusedNotAllocated) {
    ShapeRecord s;
    s.kind = ObjectKindEllipse;
    s.radiusX = 2000000000;
    s.radiusY = 5;
    Rendered r(s);
    EXPECT_EQ(r.result, 1066);
    EXPECT_EQ(r.t.bitmap, nullptr);
    // Within the size limit, an image only the generic renderer makes (a shadow) larger than a 4096-pixel square
    // is out of memory at once, not seconds and gigabytes later.
    s.kind = ObjectKindBox;
    s.sizeX = 4100, s.sizeY = 4100;
    s.style.fillStyle = kFillColor, s.style.styleBits = kFormStyleShadow;
    Rendered shadowed(s);
    EXPECT_EQ(shadowed.result, 1000);
    EXPECT_EQ(shadowed.t.bitmap, nullptr);
}

TEST(DrawShapeIntoBitmap, GradientFilledPolygonLandsAtItsPosition) {
    ShapeRecord s;
    s.kind = ObjectKindPolygon;
    s.vertices = {0, 0, 4, 0, 4, 4, 0, 4};
    s.style.fillStyle = kFillGradient;
    s.style.gradientStartColor = 0x00000000;
    s.style.gradientEndColor = 0x00FFFFFF;
    HostBitmap *b = AllocHostBitmap(10, 10);
    ASSERT_EQ(DrawShapeIntoBitmap(b, 3, 2, s, nullptr), 0);
    EXPECT_EQ(HostBitmapRow32(b, 2)[3], 0u);
    EXPECT_GT(HostBitmapRow32(b, 2)[6] & 0xFF, 0u);
    EXPECT_EQ(HostBitmapRow32(b, 1)[3], 0u);
    FreeHostBitmap(b);
}

struct PolygonTable : ::testing::Test {
    VMState *vm = nullptr;
    void SetUp() override {
        QuietMode = 1;
        vm = NewVMState();
        InitRuntimeSupport(vm);
    }
    void TearDown() override { CloseVMState(vm); }
    void List(std::initializer_list<double> values) {
        SetTop(vm, 0);
        NewTable(vm);
        int i = 0;
        for (double v : values) {
            PushNumber(vm, v);
            RawSetIndex(vm, 1, i++);
        }
    }
};

TEST_F(PolygonTable, PointsBecomeRelativeToTheirBox) {
    List({10, 20, 30, 5, 15, 40});
    std::vector<double> pts;
    int32_t n, w, h, ox, oy;
    ASSERT_EQ(ReadPolygonTable(vm, 1, &pts, &n, &w, &h, &ox, &oy), 0);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(w, 21);
    EXPECT_EQ(h, 36);
    EXPECT_EQ(ox, 0);
    EXPECT_EQ(oy, 15);
    EXPECT_EQ(pts[2], 20);
    EXPECT_EQ(GetTop(vm), 1);
}

TEST_F(PolygonTable, MoreThan999PointsIsTheLimitError) {
    SetTop(vm, 0);
    NewTable(vm);
    for (int i = 0; i < 2 * 1000; ++i) {
        PushNumber(vm, i);
        RawSetIndex(vm, 1, i);
    }
    std::vector<double> pts;
    int32_t n, w, h, ox, oy;
    try {
        ReadPolygonTable(vm, 1, &pts, &n, &w, &h, &ox, &oy);
        ADD_FAILURE() << "no error";
    } catch (const VMError &e) {
        EXPECT_EQ(e.code, 1066);
        EXPECT_STREQ(GetErrorDetail(vm), "a polygon has at most 999 points");
    }
}

TEST(DrawShapeMask, FollowsTheMaskModeAndClipsToThePlane) {
    ShapeRecord s;
    s.kind = ObjectKindBox;
    s.sizeX = 20;
    s.sizeY = 2;
    s.style.fillStyle = kFillColor;
    MaskPlane *m = AllocMaskPlane(nullptr, 16, 4, true);
    ShapeOutput o;
    o.mask = m, o.width = 16, o.height = 4, o.maskMode = TemplateMaskSet;
    ASSERT_EQ(DrawShape(s, 1, 1, nullptr, o), 0);
    EXPECT_TRUE(MaskBit(m, 15, 2));
    EXPECT_FALSE(MaskBit(m, 0, 1));
    EXPECT_FALSE(MaskBit(m, 5, 3));
    FreeMaskPlane(m);
}

TEST(DrawShapeAlpha, WritesTheAlphaIntensity) {
    ShapeRecord s;
    s.kind = ObjectKindPlot;
    AlphaPlane *a = AllocAlphaPlane(4, 4, true);
    ShapeOutput o;
    o.alpha = a, o.width = 4, o.height = 4, o.alphaLevel = 128;
    ASSERT_EQ(DrawShape(s, 2, 3, nullptr, o), 0);
    EXPECT_EQ(a->bytes[3 * a->bytesPerRow + 2], 128);
    EXPECT_EQ(a->bytes[3 * a->bytesPerRow + 1], 0);
    FreeAlphaPlane(a);
}

} // namespace
