#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "host/blit.h"
#include "imaging/clip_region.h"
#include "imaging/image_ops.h"
#include "imaging/pixels.h"
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
            // Outlines: a box's bands, and the others cut from their area's runs.
            for (int32_t t : {1, 3}) {
                s = Shape(ObjectKindBox, color, kFillNone, bits);
                s.sizeX = 23, s.sizeY = 17, s.style.outlineThickness = t;
                out.push_back(s);
                s.roundLevel = 6;
                out.push_back(s);
                s = Shape(ObjectKindEllipse, color, kFillNone, bits);
                s.radiusX = 19, s.radiusY = 7, s.style.outlineThickness = t;
                out.push_back(s);
                s = Shape(ObjectKindArc, color, kFillNone, bits);
                s.radiusX = 15, s.radiusY = 11, s.startAngle = 30, s.endAngle = 250, s.style.outlineThickness = t;
                out.push_back(s);
                s.startAngle = 315, s.endAngle = 45, s.clockwise = 1; // edges on the diagonals
                out.push_back(s);
                // Flat: the outline's rows end just within t of those the edge crosses over the sector.
                s.radiusX = 40, s.radiusY = 4, s.startAngle = 60, s.endAngle = 120, s.clockwise = 0;
                out.push_back(s);
                s.clockwise = 1; // below the centre
                out.push_back(s);
                s = Shape(ObjectKindPolygon, color, kFillNone, bits);
                s.vertices = {20, 0, 32, 38, 0, 14, 40, 14, 8, 38};
                s.style.outlineThickness = t;
                out.push_back(s);
            }
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

// A shape's image laid over a bitmap with its top-left at (x, y), by its coverage, as the generic renderer lays
// its own.
void LayImage(HostBitmap *target, const ImageTriple &image, int32_t x, int32_t y) {
    const PixelBuffer b = BitmapPixels(target);
    for (int32_t j = 0; j < image.height; ++j)
        for (int32_t i = 0; i < image.width; ++i) {
            const int32_t px = x + i, py = y + j;
            const unsigned a = image.alpha ? image.alpha->bytes[ptrdiff_t(j) * image.alpha->bytesPerRow + i]
                               : MaskBit(image.mask, i, j) ? 255 : 0;
            if (a && px >= 0 && py >= 0 && px < target->width && py < target->height)
                WritePixelGeneric(b, px, py, BlendChannels(ReadPixelGeneric(b, px, py),
                                                           ColorChannels(HostBitmapRow32(image.bitmap, j)[i]), a));
        }
}

// A plain shape's image (a layer's) comes from its spans, upright or turned: the generic renderer's pixels.
TEST(ShapeSpans, RenderImagesAsTheGenericRendererDraws) {
    DisplayTransform turn;
    turn.a = turn.d = std::cos(0.5), turn.b = std::sin(0.5), turn.c = -turn.b;
    for (const ShapeRecord &s : PlainShapes())
        for (int32_t k = 0; k < 3; ++k) {
            turn.smooth = k == 2;
            ImageTriple image;
            int32_t ox = 0, oy = 0;
            ASSERT_EQ(RenderShapeImage(s, k ? &turn : nullptr, &image, &ox, &oy), 0) << s.kind;
            ASSERT_TRUE(image.alpha || image.mask) << s.kind;
            EXPECT_EQ(image.alpha != nullptr, s.style.Antialias() || (s.color >> 24)) << s.kind;
            HostBitmap *fast = Background(80, 80, PixelFormatARGB32, 7), *slow = Background(80, 80, PixelFormatARGB32, 7);
            LayImage(fast, image, 16 + ox, 15 + oy);
            ASSERT_EQ(DrawShapeGeneric(s, 16, 15, k ? &turn : nullptr, BitmapShapeOutput(slow)), 0);
            EXPECT_EQ(FirstDifference(fast, slow), "") << "kind " << s.kind << " thickness " << s.thickness << " turn " << k;
            FreeImageTriple(&image);
            FreeHostBitmap(fast);
            FreeHostBitmap(slow);
        }
}

// A large plain shape's turned image is made a tile at a time from the upright parts each tile samples: the same
// pixels as the generic renderer's whole image, across the tiles' seams.
TEST(ShapeSpans, LargeTurnedImagesAsTheGenericRendererDraws) {
    ShapeRecord ring = Shape(ObjectKindEllipse, 0x40C08020, kFillNone, kFormStyleAntialias);
    ring.radiusX = 520, ring.radiusY = 380, ring.style.outlineThickness = 9;
    ShapeRecord star = Shape(ObjectKindPolygon, 0x002080F0, kFillColor);
    star.vertices = {500, 0, 800, 950, 0, 350, 1000, 350, 200, 950};
    ShapeRecord line = Shape(ObjectKindLine, 0x7000FF00, kFillNone);
    line.x1 = 0, line.y1 = 0, line.x2 = 500, line.y2 = 800, line.thickness = 301;
    DisplayTransform turn, shear;
    turn.a = turn.d = std::cos(0.5), turn.b = std::sin(0.5), turn.c = -turn.b, turn.smooth = 1;
    shear.a = 1.3, shear.b = 0.2, shear.c = -0.6, shear.d = 0.9;
    for (const ShapeRecord &s : {ring, star, line})
        for (const DisplayTransform *t : {&turn, &shear}) {
            ImageTriple image;
            int32_t ox = 0, oy = 0;
            ASSERT_EQ(RenderShapeImage(s, t, &image, &ox, &oy), 0) << s.kind;
            ASSERT_GT(image.width, 1024) << s.kind;
            HostBitmap *fast = Background(1800, 1600, PixelFormatARGB32, 3), *slow = Background(1800, 1600, PixelFormatARGB32, 3);
            LayImage(fast, image, 700 + ox, 500 + oy);
            ASSERT_EQ(DrawShapeGeneric(s, 700, 500, t, BitmapShapeOutput(slow)), 0);
            EXPECT_EQ(FirstDifference(fast, slow), "") << "kind " << s.kind;
            FreeImageTriple(&image);
            FreeHostBitmap(fast);
            FreeHostBitmap(slow);
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

// What a failure names: enough to draw the shape again.
std::string Describe(const ShapeRecord &s) {
    std::string d = "kind " + std::to_string(s.kind) + " bits " + std::to_string(s.style.styleBits) + " fill " +
                    std::to_string(s.style.fillStyle) + " outline " + std::to_string(s.style.outlineThickness) +
                    " colour " + std::to_string(s.color) + " size " + std::to_string(s.sizeX) + "x" +
                    std::to_string(s.sizeY) + " round " + std::to_string(s.roundLevel) + " radii " +
                    std::to_string(s.radiusX) + "," + std::to_string(s.radiusY) + " angles " +
                    std::to_string(s.startAngle) + ".." + std::to_string(s.endAngle) + (s.clockwise ? " cw" : "") +
                    " points";
    for (double v : s.vertices) d += " " + std::to_string(v);
    return d;
}

// Mostly outlines of every thickness (beyond half the shape too, and below 1), some fills, now and then
// antialiased, see-through, with an edge or a shadow: whatever DrawShape sends where, it must draw what the
// generic renderer draws.
ShapeRecord RandomShape(std::mt19937 &rng) {
    const auto pick = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    static const int32_t kinds[] = {ObjectKindBox, ObjectKindCircle, ObjectKindEllipse, ObjectKindArc, ObjectKindPolygon};
    ShapeRecord s;
    s.kind = kinds[pick(0, 4)];
    s.color = uint32_t(pick(0, 0xFFFFFF)) | (pick(0, 4) ? 0u : 0x60000000u);
    s.style.fillStyle = pick(0, 3) ? (pick(0, 9) ? kFillNone : -2) : pick(kFillColor, kFillGradient);
    s.style.outlineThickness = pick(0, 4) ? pick(1, 5) : pick(-1, 24);
    s.style.styleBits = kFormStyleNormal | (pick(0, 7) ? 0 : kFormStyleAntialias) | (pick(0, 19) ? 0 : kFormStyleEdge) |
                        (pick(0, 19) ? 0 : kFormStyleShadow);
    s.style.gradientStartColor = 0x203040, s.style.gradientEndColor = 0xE0D0C0, s.style.gradientAngle = pick(0, 359);
    s.style.edgeSize = pick(1, 3), s.style.shadowSize = pick(1, 4), s.style.shadowDirection = pick(0, 7);
    switch (s.kind) {
    case ObjectKindBox:
        s.sizeX = pick(1, 44), s.sizeY = pick(1, 34), s.roundLevel = pick(0, 2) ? 0 : pick(1, 24);
        break;
    case ObjectKindCircle: s.radiusX = pick(0, 18); break;
    case ObjectKindEllipse:
    case ObjectKindArc:
        s.radiusX = pick(0, 22), s.radiusY = pick(0, 16), s.startAngle = pick(-400, 400), s.endAngle = pick(-400, 400);
        s.clockwise = pick(0, 1);
        break;
    default: { // simple, concave, crossing itself, or without area; sometimes not on whole pixels
        const int32_t n = pick(0, 9) ? pick(3, 12) : pick(1, 2);
        for (int32_t k = 0; k < n; ++k) {
            s.vertices.push_back(pick(-6, 46) + (pick(0, 4) ? 0.0 : 0.4));
            s.vertices.push_back(pick(-6, 36) + (pick(0, 4) ? 0.0 : 0.6));
        }
    }
    }
    return s;
}

TEST(ShapeSpans, RandomShapesDrawWhatTheGenericRendererDraws) {
    ClipRegion region; // a disc with holes
    region.x = 3, region.y = 2, region.width = 50, region.height = 40;
    region.mask = AllocMaskPlane(nullptr, 50, 40, true);
    for (int32_t j = 0; j < 40; ++j)
        for (int32_t i = 0; i < 50; ++i)
            if ((i - 25) * (i - 25) + (j - 20) * (j - 20) < 400 && (i * 3 + j) % 11)
                SetMaskBit(region.mask->bits + j * region.mask->bytesPerRow, i, true);
    std::mt19937 rng(59);
    const auto pick = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(rng); };
    const int32_t formats[] = {PixelFormatARGB32, PixelFormatRGB24, PixelFormatRGB565LE};
    const int32_t modes[] = {TemplateMaskSet, TemplateMaskClear, TemplateMaskXor, TemplateMaskCopy};
    constexpr int32_t kW = 64, kH = 48, kShapes = 10000;
    // One noisy background a layout, copied for every draw.
    HostBitmap *backgrounds[3];
    for (int32_t f = 0; f < 3; ++f) backgrounds[f] = Background(kW, kH, formats[f], uint32_t(f));
    const auto copy = [&](int32_t f) {
        HostBitmap *b = AllocHostBitmapFormat(kW, kH, formats[f]);
        for (int32_t j = 0; j < kH; ++j) std::memcpy(HostBitmapRow(b, j), HostBitmapRow(backgrounds[f], j), size_t(kW) * size_t(b->bytesPerPixel));
        return b;
    };
    int32_t outlines = 0, plain = 0, images = 0;
    for (int32_t n = 0; n < kShapes; ++n) {
        const ShapeRecord s = RandomShape(rng);
        const int32_t x = pick(-20, 40), y = pick(-15, 30);
        outlines += std::clamp(s.style.fillStyle, kFillNone, kFillTexture) == kFillNone;
        plain += IsPlainShape(s, nullptr);
        // Into a bitmap, under no clip, a rectangle or the region.
        const int32_t layout = pick(0, 2), format = formats[layout], clip = pick(0, 2);
        HostBitmap *fast = copy(layout), *slow = copy(layout);
        ShapeOutput o = BitmapShapeOutput(fast);
        if (clip == 1) o.clipX = pick(0, 30), o.clipY = pick(0, 20), o.clipWidth = pick(1, 40), o.clipHeight = pick(1, 30);
        if (clip == 2) o.region = &region;
        ASSERT_EQ(DrawShape(s, x, y, nullptr, o), 0) << Describe(s);
        o.bitmap = slow;
        ASSERT_EQ(DrawShapeGeneric(s, x, y, nullptr, o), 0) << Describe(s);
        ASSERT_EQ(FirstDifference(fast, slow), "")
            << Describe(s) << " at " << x << "," << y << " format " << format << " clip " << clip;
        FreeHostBitmap(fast);
        FreeHostBitmap(slow);
        // Every fourth into a mask and an intensity plane as well.
        if (n % 4 == 0) {
            MaskPlane *masks[2] = {AllocMaskPlane(nullptr, kW, kH, true), AllocMaskPlane(nullptr, kW, kH, true)};
            AlphaPlane *alphas[2] = {AllocAlphaPlane(kW, kH, true), AllocAlphaPlane(kW, kH, true)};
            for (int side = 0; side < 2; ++side) {
                std::memset(masks[side]->bits, 0x6C, size_t(masks[side]->bytesPerRow) * kH);
                std::memset(alphas[side]->bytes, 0x41, size_t(alphas[side]->bytesPerRow) * kH);
            }
            ShapeOutput m;
            m.width = kW, m.height = kH, m.maskMode = modes[pick(0, 3)], m.alphaLevel = pick(0, 255);
            m.region = pick(0, 1) ? &region : nullptr;
            for (int side = 0; side < 2; ++side) {
                m.mask = masks[side], m.alpha = alphas[side];
                ASSERT_EQ(side ? DrawShapeGeneric(s, x, y, nullptr, m) : DrawShape(s, x, y, nullptr, m), 0) << Describe(s);
            }
            EXPECT_EQ(std::memcmp(masks[0]->bits, masks[1]->bits, size_t(masks[0]->bytesPerRow) * kH), 0) << Describe(s);
            EXPECT_EQ(std::memcmp(alphas[0]->bytes, alphas[1]->bytes, size_t(alphas[0]->bytesPerRow) * kH), 0) << Describe(s);
            for (int side = 0; side < 2; ++side) FreeMaskPlane(masks[side]), FreeAlphaPlane(alphas[side]);
        }
        // A layer's image of a plain shape comes from the spans: the same pixels, the same place.
        if (n % 8 == 0 && IsPlainShape(s, nullptr)) {
            ImageTriple image;
            int32_t ox = 0, oy = 0;
            ASSERT_EQ(RenderShapeImage(s, nullptr, &image, &ox, &oy), 0) << Describe(s);
            HostBitmap *fromImage = copy(0), *drawn = copy(0);
            ASSERT_EQ(DrawShapeGeneric(s, x, y, nullptr, BitmapShapeOutput(drawn)), 0);
            LayImage(fromImage, image, x + ox, y + oy);
            EXPECT_EQ(FirstDifference(fromImage, drawn), "") << Describe(s);
            FreeImageTriple(&image);
            FreeHostBitmap(fromImage);
            FreeHostBitmap(drawn);
            ++images;
        }
    }
    // The draw is mostly outlines, most of which take the span path.
    EXPECT_GT(outlines, kShapes / 2);
    EXPECT_GT(plain, kShapes / 2);
    EXPECT_GT(images, kShapes / 20);
    for (HostBitmap *b : backgrounds) FreeHostBitmap(b);
    FreeMaskPlane(region.mask);
}

} // namespace
