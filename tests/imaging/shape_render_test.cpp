#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "host/blit.h"
#include "imaging/clip_region.h"
#include "imaging/image_ops.h"
#include "imaging/shapes.h"
#include "runtime/app/object_kinds.h"

namespace {

ShapeRecord Shape(int32_t kind, uint32_t color, int32_t fill = kFillColor, int32_t bits = kFormStyleNormal) {
    ShapeRecord s;
    s.kind = kind;
    s.color = color;
    s.style.fillStyle = fill;
    s.style.styleBits = bits;
    return s;
}

// The shapes both paths must agree on: every kind, aliased and antialiased, opaque and see-through.
std::vector<ShapeRecord> PlainShapes() {
    std::vector<ShapeRecord> out;
    for (int32_t bits : {kFormStyleNormal, kFormStyleAntialias})
        for (uint32_t color : {0x00FF8000u, 0x80204080u}) {
            ShapeRecord s = Shape(ObjectKindBox, color, kFillColor, bits);
            s.sizeX = 23, s.sizeY = 17;
            out.push_back(s);
            s.roundLevel = 6;
            out.push_back(s);
            s = Shape(ObjectKindCircle, color, kFillColor, bits);
            for (int32_t r : {0, 1, 8, 21}) {
                s.radiusX = r;
                out.push_back(s);
            }
            s = Shape(ObjectKindEllipse, color, kFillColor, bits);
            s.radiusX = 19, s.radiusY = 7;
            out.push_back(s);
            s = Shape(ObjectKindArc, color, kFillColor, bits);
            s.radiusX = 15, s.radiusY = 11, s.startAngle = 30, s.endAngle = 250;
            out.push_back(s);
            s.clockwise = 1;
            out.push_back(s);
            for (int32_t t : {1, 2, 3, 6}) {
                s = Shape(ObjectKindLine, color, kFillNone, bits);
                s.x1 = 3, s.y1 = 30, s.x2 = 40, s.y2 = 2, s.thickness = t;
                out.push_back(s);
                s.x1 = 20, s.y1 = 0, s.x2 = 25, s.y2 = 44;
                out.push_back(s);
                s.x2 = 20;
                out.push_back(s);
            }
            s = Shape(ObjectKindPlot, color, kFillNone, bits);
            out.push_back(s);
            s = Shape(ObjectKindPolygon, color, kFillColor, bits);
            // A star in one stroke and a concave notch.
            s.vertices = {20, 0, 32, 38, 0, 14, 40, 14, 8, 38};
            out.push_back(s);
            s.vertices = {0, 0, 30, 0, 30, 25, 15, 8, 0, 25};
            out.push_back(s);
            // Gradients across, down and at an angle.
            for (int32_t style : {kGradientHorizontal, kGradientVertical, kGradientLinear}) {
                s = Shape(style == kGradientVertical ? ObjectKindCircle : ObjectKindBox, color, kFillGradient, bits);
                s.sizeX = 30, s.sizeY = 20, s.radiusX = 12, s.style.gradientStyle = style, s.style.gradientAngle = 30;
                s.style.gradientStartColor = 0x102030, s.style.gradientEndColor = 0xF0E0D0;
                out.push_back(s);
            }
        }
    return out;
}

// A bitmap of one of the three kernel layouts with a noisy background, so blends show.
HostBitmap *Background(int32_t w, int32_t h, int32_t format, uint32_t seed) {
    HostBitmap *b = AllocHostBitmapFormat(w, h, format);
    std::mt19937 rng(seed);
    for (int32_t j = 0; j < h; ++j)
        for (int32_t i = 0; i < w * b->bytesPerPixel; ++i) HostBitmapRow(b, j)[i] = uint8_t(rng());
    return b;
}

std::string FirstDifference(const HostBitmap *a, const HostBitmap *b) {
    for (int32_t j = 0; j < a->height; ++j)
        if (std::memcmp(HostBitmapRow(a, j), HostBitmapRow(b, j), size_t(a->width) * size_t(a->bytesPerPixel))) {
            for (int32_t i = 0; i < a->width * a->bytesPerPixel; ++i)
                if (HostBitmapRow(a, j)[i] != HostBitmapRow(b, j)[i])
                    return "pixel " + std::to_string(i / a->bytesPerPixel) + "," + std::to_string(j);
        }
    return "";
}

TEST(ShapeSpans, DrawExactlyWhatTheGenericRendererDraws) {
    // A region shaped like a ring of a disc, to test per-span mask cuts.
    ClipRegion region;
    region.x = 5, region.y = 3, region.width = 40, region.height = 30;
    region.mask = AllocMaskPlane(nullptr, 40, 30, true);
    for (int32_t j = 0; j < 30; ++j)
        for (int32_t i = 0; i < 40; ++i)
            if ((i - 20) * (i - 20) + (j - 15) * (j - 15) < 200 && (i + j) % 7) SetMaskBit(region.mask->bits + j * region.mask->bytesPerRow, i, true);
    struct Clip {
        int32_t x, y, w, h;
        const ClipRegion *region;
    };
    const Clip clips[] = {{0, 0, INT32_MAX, INT32_MAX, nullptr}, {7, 4, 20, 13, nullptr}, {0, 0, INT32_MAX, INT32_MAX, &region}};
    const int32_t positions[][2] = {{4, 3}, {-9, -5}, {30, 20}};
    int cases = 0;
    for (const ShapeRecord &s : PlainShapes()) {
        ASSERT_TRUE(IsPlainShape(s, nullptr));
        for (int32_t format : {PixelFormatARGB32, PixelFormatRGB24, PixelFormatRGB565LE})
            for (const Clip &c : clips)
                for (const auto &p : positions) {
                    HostBitmap *fast = Background(48, 36, format, uint32_t(cases));
                    HostBitmap *slow = Background(48, 36, format, uint32_t(cases));
                    ShapeOutput o = BitmapShapeOutput(fast);
                    o.clipX = c.x, o.clipY = c.y, o.clipWidth = c.w, o.clipHeight = c.h, o.region = c.region;
                    ASSERT_EQ(DrawShape(s, p[0], p[1], nullptr, o), 0);
                    o.bitmap = slow;
                    ASSERT_EQ(DrawShapeGeneric(s, p[0], p[1], nullptr, o), 0);
                    EXPECT_EQ(FirstDifference(fast, slow), "")
                        << "kind " << s.kind << " bits " << s.style.styleBits << " colour " << std::hex << s.color
                        << std::dec << " thickness " << s.thickness << " format " << format << " at " << p[0] << ","
                        << p[1] << " clip " << c.x << "," << c.y;
                    FreeHostBitmap(fast);
                    FreeHostBitmap(slow);
                    ++cases;
                }
    }
    // The mask and intensity planes take the same coverage.
    for (const ShapeRecord &s : PlainShapes())
        for (int32_t mode : {TemplateMaskSet, TemplateMaskClear, TemplateMaskXor}) {
            MaskPlane *fastMask = AllocMaskPlane(nullptr, 48, 36, true), *slowMask = AllocMaskPlane(nullptr, 48, 36, true);
            AlphaPlane *fastAlpha = AllocAlphaPlane(48, 36, true), *slowAlpha = AllocAlphaPlane(48, 36, true);
            for (MaskPlane *m : {fastMask, slowMask}) std::memset(m->bits, 0x5A, size_t(m->bytesPerRow) * 36);
            ShapeOutput o;
            o.width = 48, o.height = 36, o.maskMode = mode, o.alphaLevel = 200, o.region = &region;
            o.mask = fastMask, o.alpha = fastAlpha;
            ASSERT_EQ(DrawShape(s, 2, 1, nullptr, o), 0);
            o.mask = slowMask, o.alpha = slowAlpha;
            ASSERT_EQ(DrawShapeGeneric(s, 2, 1, nullptr, o), 0);
            EXPECT_EQ(std::memcmp(fastMask->bits, slowMask->bits, size_t(fastMask->bytesPerRow) * 36), 0) << s.kind;
            EXPECT_EQ(std::memcmp(fastAlpha->bytes, slowAlpha->bytes, size_t(fastAlpha->bytesPerRow) * 36), 0) << s.kind;
            FreeMaskPlane(fastMask), FreeMaskPlane(slowMask), FreeAlphaPlane(fastAlpha), FreeAlphaPlane(slowAlpha);
        }
    FreeMaskPlane(region.mask);
}

TEST(ShapeSpans, RenderOpaqueAliasedImagesAsTheGenericRendererDraws) {
    for (const ShapeRecord &s : PlainShapes()) {
        if (s.style.Antialias() || (s.color >> 24)) continue;
        ImageTriple image;
        int32_t ox = 0, oy = 0;
        ASSERT_EQ(RenderShapeImage(s, nullptr, &image, &ox, &oy), 0);
        ASSERT_TRUE(image.mask && !image.alpha) << s.kind;
        HostBitmap *fast = Background(64, 64, PixelFormatARGB32, 7), *slow = Background(64, 64, PixelFormatARGB32, 7);
        ASSERT_TRUE(4 + ox >= 0 && 3 + oy >= 0 && 4 + ox + image.width <= 64 && 3 + oy + image.height <= 64) << s.kind;
        ASSERT_EQ(DrawShapeGeneric(s, 4, 3, nullptr, BitmapShapeOutput(slow)), 0);
        for (int32_t j = 0; j < image.height; ++j)
            for (int32_t i = 0; i < image.width; ++i)
                if (MaskBit(image.mask, i, j)) HostBitmapRow32(fast, 3 + oy + j)[4 + ox + i] = HostBitmapRow32(image.bitmap, j)[i];
        EXPECT_EQ(FirstDifference(fast, slow), "") << "kind " << s.kind << " thickness " << s.thickness;
        FreeImageTriple(&image);
        FreeHostBitmap(fast);
        FreeHostBitmap(slow);
    }
}

// The alpha plane of an antialiased shape rendered on its own, summed.
double CoveredArea(const ShapeRecord &s) {
    ImageTriple t;
    int32_t ox = 0, oy = 0;
    EXPECT_EQ(RenderShapeImage(s, nullptr, &t, &ox, &oy), 0);
    double sum = 0;
    for (int32_t j = 0; j < t.height; ++j)
        for (int32_t i = 0; i < t.width; ++i) sum += t.alpha->bytes[j * t.alpha->bytesPerRow + i] / 255.0;
    FreeImageTriple(&t);
    return sum;
}

TEST(ShapeCoverage, AntialiasedAreasSumToTheExactArea) {
    struct Case {
        ShapeRecord shape;
        double area;
    };
    std::vector<Case> cases;
    for (int32_t r : {3, 8, 32, 100}) {
        ShapeRecord s = Shape(ObjectKindCircle, 0xFFFFFF, kFillColor, kFormStyleAntialias);
        s.radiusX = r;
        cases.push_back({s, M_PI * (r + 0.5) * (r + 0.5)});
    }
    ShapeRecord e = Shape(ObjectKindEllipse, 0xFFFFFF, kFillColor, kFormStyleAntialias);
    e.radiusX = 40, e.radiusY = 9;
    cases.push_back({e, M_PI * 40.5 * 9.5});
    ShapeRecord b = Shape(ObjectKindBox, 0xFFFFFF, kFillColor, kFormStyleAntialias);
    b.sizeX = 64, b.sizeY = 48, b.roundLevel = 10;
    cases.push_back({b, 64.0 * 48 - (4 - M_PI) * 100});
    for (int32_t t : {1, 3, 8}) {
        ShapeRecord l = Shape(ObjectKindLine, 0xFFFFFF, kFillNone, kFormStyleAntialias);
        l.x2 = 60, l.y2 = 80, l.thickness = t; // length 100
        cases.push_back({l, 100.0 * t + M_PI * t * t / 4});
    }
    ShapeRecord a = Shape(ObjectKindArc, 0xFFFFFF, kFillColor, kFormStyleAntialias);
    a.radiusX = a.radiusY = 30, a.startAngle = 0, a.endAngle = 90;
    cases.push_back({a, M_PI * 30.5 * 30.5 / 4});
    ShapeRecord p = Shape(ObjectKindPolygon, 0xFFFFFF, kFillColor, kFormStyleAntialias);
    p.vertices = {0, 0, 50, 10, 20, 40};
    cases.push_back({p, 0.5 * std::fabs(50.0 * 40 - 10.0 * 20)});
    for (const Case &c : cases) EXPECT_NEAR(CoveredArea(c.shape), c.area, c.area * 0.01) << "kind " << c.shape.kind;
}

TEST(ShapeCoverage, AliasedCirclesHoldThePixelsWhoseCentresLieWithinRadiusAndAHalf) {
    for (int32_t r = 0; r <= 40; ++r) {
        ShapeRecord s = Shape(ObjectKindCircle, 0xFFFFFF);
        s.radiusX = r;
        HostBitmap *b = AllocHostBitmap(2 * r + 1, 2 * r + 1);
        ASSERT_EQ(DrawShapeIntoBitmap(b, 0, 0, s, nullptr), 0);
        int32_t count = 0, expected = 0;
        for (int32_t j = 0; j <= 2 * r; ++j)
            for (int32_t i = 0; i <= 2 * r; ++i) {
                const double dx = i - r, dy = j - r, rr = r + 0.5;
                expected += dx * dx + dy * dy <= rr * rr;
                count += HostBitmapRow32(b, j)[i] == 0xFFFFFF;
            }
        EXPECT_EQ(count, expected) << "radius " << r;
        if (r == 8) {
            EXPECT_EQ(count, 225);
        }
        FreeHostBitmap(b);
    }
}

TEST(RenderShapeImage, EdgeShadowTransparencyAndArcCurveTogether) {
    // EDGE and SHADOW both: body, ring and the moved pair beneath, each in its colour.
    ShapeRecord s = Shape(ObjectKindBox, 0x00FF0000, kFillColor, kFormStyleEdge | kFormStyleShadow);
    s.sizeX = s.sizeY = 4;
    s.style.edgeSize = 1, s.style.edgeColor = 0x0000FF00;
    s.style.shadowSize = 3, s.style.shadowDirection = 3, s.style.shadowColor = 0x000000FF;
    ImageTriple t;
    int32_t ox, oy;
    ASSERT_EQ(RenderShapeImage(s, nullptr, &t, &ox, &oy), 0);
    EXPECT_EQ(ox, -1);
    EXPECT_EQ(t.width, 9); // ring 6 wide, moved 3
    EXPECT_EQ(HostBitmapRow32(t.bitmap, 1)[1], 0xFF0000u);
    EXPECT_EQ(HostBitmapRow32(t.bitmap, 0)[0], 0x00FF00u);
    EXPECT_EQ(HostBitmapRow32(t.bitmap, 8)[8], 0x0000FFu);
    EXPECT_FALSE(MaskBit(t.mask, 8, 0));
    FreeImageTriple(&t);
    // A see-through colour gives an alpha plane of 255 - TT.
    s = Shape(ObjectKindBox, 0x80FFFFFF);
    s.sizeX = s.sizeY = 2;
    ASSERT_EQ(RenderShapeImage(s, nullptr, &t, &ox, &oy), 0);
    ASSERT_NE(t.alpha, nullptr);
    EXPECT_EQ(t.alpha->bytes[0], 127);
    FreeImageTriple(&t);
    // An unfilled arc is its curve: neither the centre nor the radii.
    s = Shape(ObjectKindArc, 0xFFFFFF, kFillNone);
    s.radiusX = s.radiusY = 10, s.startAngle = 0, s.endAngle = 90;
    ASSERT_EQ(RenderShapeImage(s, nullptr, &t, &ox, &oy), 0);
    EXPECT_FALSE(MaskBit(t.mask, 10, 10));
    EXPECT_FALSE(MaskBit(t.mask, 15, 10)); // on the radius towards 3 o'clock
    EXPECT_TRUE(MaskBit(t.mask, 20, 10));
    EXPECT_TRUE(MaskBit(t.mask, 10, 0));
    FreeImageTriple(&t);
    // Gradient styles 0 and 1 run across and down whatever the angle says.
    s = Shape(ObjectKindBox, 0, kFillGradient);
    s.sizeX = 8, s.sizeY = 6, s.style.gradientAngle = 45, s.style.gradientEndColor = 0xFFFFFF;
    for (int32_t style : {kGradientHorizontal, kGradientVertical}) {
        s.style.gradientStyle = style;
        ASSERT_EQ(RenderShapeImage(s, nullptr, &t, &ox, &oy), 0);
        const bool across = style == kGradientHorizontal;
        EXPECT_EQ(HostBitmapRow32(t.bitmap, across ? 5 : 0)[across ? 0 : 7], 0u);
        EXPECT_EQ(HostBitmapRow32(t.bitmap, across ? 0 : 5)[across ? 7 : 0], 0xFFFFFFu);
        FreeImageTriple(&t);
    }
    // Beyond the renderer's size and point limits: 1066.
    s = Shape(ObjectKindPolygon, 0);
    s.vertices.assign(2000, 1.0);
    EXPECT_EQ(RenderShapeImage(s, nullptr, &t, &ox, &oy), 1066);
    s = Shape(ObjectKindBox, 0, kFillColor, kFormStyleShadow);
    s.sizeX = 16384, s.sizeY = 1, s.style.shadowDirection = 2;
    EXPECT_EQ(RenderShapeImage(s, nullptr, &t, &ox, &oy), 1066);
}

} // namespace
