// The generic shape renderer makes only the part of a shape that reaches the output, and the transformed clip
// region only the window's part: both must give the pixels the whole would, and both stop at a quit request.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "host/bitmap.h"
#include "host/blit.h"
#include "imaging/clip_region.h"
#include "imaging/display_image.h"
#include "imaging/image_ops.h"
#include "imaging/pixels.h"
#include "imaging/shapes.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/runtime_globals.h"
#include "tests/fuzz/regression_files.h"
#include "tests/fuzz/shape_input.h"

namespace {

constexpr int32_t kW = 240, kH = 220;

ShapeRecord RandomStyledShape(std::mt19937 &rng, const HostBitmap *texture) {
    const auto pick = [&](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
    };
    static const int32_t kinds[] = {ObjectKindBox, ObjectKindCircle,  ObjectKindEllipse,
                                    ObjectKindArc, ObjectKindPolygon, ObjectKindLine};
    ShapeRecord s;
    s.kind = kinds[pick(0, 5)];
    s.color = uint32_t(pick(0, 0xFFFFFF)) | (pick(0, 3) ? 0u : 0x70000000u);
    FormStyle &f = s.style;
    f.fillStyle = pick(kFillNone, kFillTexture);
    f.outlineThickness = pick(0, 3) ? pick(1, 4) : pick(5, 30);
    f.styleBits = kFormStyleNormal | (pick(0, 3) ? 0 : kFormStyleAntialias) |
                  (pick(0, 1) ? kFormStyleEdge : 0) | (pick(0, 1) ? kFormStyleShadow : 0);
    f.edgeSize = pick(1, 6), f.shadowSize = pick(1, 9), f.shadowDirection = pick(0, 7);
    f.edgeColor = uint32_t(pick(0, 0xFFFFFF)) | (pick(0, 3) ? 0u : 0x40000000u), f.shadowColor = 0x80102030;
    f.gradientStyle = kGradientLinear, f.gradientAngle = pick(0, 359), f.gradientEndColor = 0xF0E0D0;
    f.textureX = pick(-5, 5), f.textureY = pick(-5, 5);
    s.texture = BorrowTextureImage(texture);
    s.sizeX = pick(1, 50), s.sizeY = pick(1, 40), s.roundLevel = pick(0, 1) ? 0 : pick(1, 15);
    s.radiusX = pick(0, 24), s.radiusY = pick(0, 20), s.startAngle = pick(0, 359), s.endAngle = pick(0, 359);
    s.x1 = pick(0, 40), s.y1 = pick(0, 30), s.x2 = pick(0, 40), s.y2 = pick(0, 30), s.thickness = pick(1, 7);
    for (int32_t k = pick(3, 7); k > 0; --k)
        s.vertices.push_back(pick(0, 45)), s.vertices.push_back(pick(0, 35));
    return s;
}

HostBitmap *Noise(uint32_t seed) {
    HostBitmap *b = AllocHostBitmap(kW, kH);
    std::mt19937 rng(seed);
    for (int32_t j = 0; j < kH; ++j)
        for (int32_t i = 0; i < kW; ++i)
            HostBitmapRow32(b, j)[i] = rng() & 0xFFFFFF;
    return b;
}

uint32_t Cover(const ImageTriple &t, int32_t i, int32_t j) {
    if (t.alpha) return t.alpha->bytes[ptrdiff_t(j) * t.alpha->bytesPerRow + i];
    return t.mask && !MaskBit(t.mask, i, j) ? 0 : 255;
}

// A part of a plainly scaled shape has the pixels and coverage of the whole scaled image there.
void ExpectScaledPartAsWhole(const ShapeRecord &s, const DisplayTransform &scale, int32_t x, int32_t y,
                             int32_t width, int32_t height) {
    ImageTriple upright, whole, part;
    int32_t ox = 0, oy = 0, bx = 0, by = 0;
    bool owned = false;
    ASSERT_EQ(RenderShapeImage(s, nullptr, &upright, &ox, &oy), 0);
    ASSERT_EQ(BuildDisplayImage(upright, 0, 0, upright.width, upright.height, scale, 0, 0, &whole, &owned,
                                &bx, &by),
              0);
    ASSERT_EQ(RenderShapeImagePart(s, scale, x, y, width, height, &part), 0);
    const int32_t w = std::min(width, whole.width - x), h = std::min(height, whole.height - y);
    EXPECT_EQ(part.width, w > 0 && h > 0 ? w : 0);
    EXPECT_EQ(part.height, w > 0 && h > 0 ? h : 0);
    for (int32_t j = 0; j < part.height; ++j)
        for (int32_t i = 0; i < part.width; ++i)
            ASSERT_TRUE(HostBitmapRow32(part.bitmap, j)[i] == HostBitmapRow32(whole.bitmap, y + j)[x + i] &&
                        Cover(part, i, j) == Cover(whole, x + i, y + j))
                << "kind " << s.kind << " scale " << scale.a << "x" << scale.d << " smooth " << scale.smooth
                << " at " << x + i << "," << y + j;
    FreeImageTriple(&part);
    if (owned) FreeImageTriple(&whole);
    FreeImageTriple(&upright);
}

// Through a small clip rectangle anywhere over the shape, upright or turned, the bitmap, mask and alpha
// planes change exactly as the whole draw changes them inside that rectangle, and nowhere else.
TEST(ShapeWindow, APartDrawsTheWholeShapesPixels) {
    HostBitmap *texture = Noise(99);
    std::mt19937 rng(63);
    const auto pick = [&](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
    };
    for (int32_t n = 0; n < 600; ++n) {
        const ShapeRecord s = RandomStyledShape(rng, texture);
        const int32_t x = pick(105, 115), y = pick(100, 110);
        DisplayTransform turn;
        if (n % 3 == 0) {
            const double angle = pick(0, 359) * M_PI / 180, scale = pick(5, 12) / 10.0;
            turn.a = turn.d = scale * std::cos(angle), turn.b = scale * std::sin(angle), turn.c = -turn.b;
            turn.smooth = pick(0, 1);
        } else if (n % 3 == 1) {
            DisplayTransform scale;
            scale.a = pick(2, 35) / 10.0, scale.d = pick(2, 35) / 10.0, scale.smooth = pick(0, 1);
            ExpectScaledPartAsWhole(s, scale, pick(0, 120), pick(0, 120), pick(1, 40), pick(1, 40));
        }
        HostBitmap *whole = Noise(uint32_t(n)), *part = Noise(uint32_t(n));
        MaskPlane *wholeMask = AllocMaskPlane(nullptr, kW, kH, true),
                  *partMask = AllocMaskPlane(nullptr, kW, kH, true);
        AlphaPlane *wholeAlpha = AllocAlphaPlane(kW, kH, true), *partAlpha = AllocAlphaPlane(kW, kH, true);
        ShapeOutput o = BitmapShapeOutput(whole);
        o.mask = wholeMask, o.alpha = wholeAlpha;
        o.maskMode = pick(0, 1) ? TemplateMaskCopy : TemplateMaskXor;
        o.alphaLevel = pick(0, 1) ? kShapeAlphaOwnOpacity : 180;
        ASSERT_EQ(DrawShapeGeneric(s, x, y, &turn, o), 0);
        o.bitmap = part, o.mask = partMask, o.alpha = partAlpha;
        o.clipX = x + pick(-70, 70), o.clipY = y + pick(-70, 70), o.clipWidth = pick(1, 14),
        o.clipHeight = pick(1, 14);
        ASSERT_EQ(DrawShapeGeneric(s, x, y, &turn, o), 0);
        HostBitmap *background = Noise(uint32_t(n));
        for (int32_t j = 0; j < kH; ++j) {
            bool same = true;
            for (int32_t i = 0; i < kW; ++i) {
                const bool in =
                    i >= o.clipX && j >= o.clipY && i < o.clipX + o.clipWidth && j < o.clipY + o.clipHeight;
                const uint8_t alpha = partAlpha->bytes[j * partAlpha->bytesPerRow + i];
                same = same &&
                       HostBitmapRow32(part, j)[i] == HostBitmapRow32(in ? whole : background, j)[i] &&
                       MaskBit(partMask, i, j) == (in && MaskBit(wholeMask, i, j)) &&
                       alpha == (in ? wholeAlpha->bytes[j * wholeAlpha->bytesPerRow + i] : 0);
            }
            ASSERT_TRUE(same) << "shape " << n << " kind " << s.kind << " clip " << o.clipX << "," << o.clipY
                              << " row " << j;
        }
        for (HostBitmap *b : {whole, part, background})
            FreeHostBitmap(b);
        for (MaskPlane *m : {wholeMask, partMask})
            FreeMaskPlane(m);
        for (AlphaPlane *a : {wholeAlpha, partAlpha})
            FreeAlphaPlane(a);
    }
    FreeHostBitmap(texture);
}

// A transformed region made only over its window has the bits the whole transform has there, however far the
// region reaches; a NaN matrix clips everything away.
TEST(ShapeWindow, ATransformedRegionIsMadeOverItsWindowOnly) {
    ClipRegion small;
    small.x = 10, small.y = 5, small.width = 30, small.height = 20;
    small.mask = AllocMaskPlane(nullptr, 30, 20, true);
    for (int32_t j = 0; j < 20; ++j)
        for (int32_t i = 0; i < 30; ++i)
            if ((i * i + j) % 3) SetMaskBit(small.mask->bits + j * small.mask->bytesPerRow, i, true);
    const double turn[4] = {0.8, 0.6, -0.6, 0.8};
    ClipRegion *whole = TransformClipRegion(&small, turn, nullptr, 1, 0, 0.3, 0.6, 1000, 1000);
    ClipRegion *part = TransformClipRegion(&small, turn, nullptr, 1, 0, 0.3, 0.6, 25, 22);
    ASSERT_TRUE(whole && part);
    EXPECT_EQ(part->x + part->width, 25);
    for (int32_t j = -5; j < 60; ++j)
        for (int32_t i = -5; i < 60; ++i)
            ASSERT_EQ(ClipRegionContains(part, i, j), i < 25 && j < 22 && ClipRegionContains(whole, i, j))
                << i << "," << j;
    // 2e9 pixels wide, scaled: only the window's 640 x 480 are made, all inside.
    ClipRegion huge;
    huge.x = huge.y = -1000000000, huge.width = huge.height = 2000000000;
    const double twice[4] = {2, 0, 0, 2};
    ClipRegion *far = TransformClipRegion(&huge, twice, nullptr, 1, 0, 0.5, 0.5, 640, 480);
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->width, 640);
    EXPECT_EQ(far->height, 480);
    EXPECT_TRUE(ClipRegionContains(far, 639, 479));
    const double nan[4] = {std::nan(""), 0, 0, 1};
    ClipRegion *none = TransformClipRegion(&huge, nan, nullptr, 1, 0, 0, 0, 640, 480);
    ASSERT_NE(none, nullptr);
    EXPECT_FALSE(ClipRegionContains(none, 0, 0));
    for (ClipRegion *r : {whole, part, far, none})
        FreeClipRegionMask(r), delete r;
    FreeMaskPlane(small.mask);
}

// A program told to end stops a long draw: the rows not yet made stay clear.
TEST(ShapeWindow, AQuitRequestStopsTheRenderAndTheRegion) {
    ShapeRecord s;
    s.kind = ObjectKindBox;
    s.sizeX = s.sizeY = 300;
    s.color = 0xFF0000;
    s.style.fillStyle = kFillColor;
    s.style.styleBits = kFormStyleShadow;
    ClipRegion region;
    region.width = region.height = 400;
    const double turn[4] = {0.8, 0.6, -0.6, 0.8};
    for (int quit : {1, 0}) {
        QuitRequested = quit;
        ImageTriple image;
        int32_t ox = 0, oy = 0;
        ASSERT_EQ(RenderShapeImage(s, nullptr, &image, &ox, &oy), 0);
        ClipRegion *turned = TransformClipRegion(&region, turn, nullptr, 1, 0, 0.5, 0.5, 400, 400);
        ASSERT_NE(turned, nullptr);
        EXPECT_EQ(MaskBit(image.mask, 150, 150), !quit);
        EXPECT_EQ(ClipRegionContains(turned, 200, 200), !quit);
        FreeImageTriple(&image);
        FreeClipRegionMask(turned);
        delete turned;
    }
}

// A texture phase at the end of int, drawn through a part far into the shape: the phase wraps, never
// overflows.
TEST(ShapeWindow, AFarTexturePhaseWrapsInAPart) {
    HostBitmap *texture = Noise(5), *target = AllocHostBitmap(8, 8);
    ShapeRecord s;
    s.kind = ObjectKindBox;
    s.sizeX = s.sizeY = 400;
    s.style.fillStyle = kFillTexture;
    s.style.styleBits = kFormStyleShadow;
    s.style.textureX = s.style.textureY = INT32_MAX;
    s.texture = BorrowTextureImage(texture);
    EXPECT_EQ(DrawShapeGeneric(s, -300, -300, nullptr, BitmapShapeOutput(target)), 0);
    // Phase INT32_MAX + 300 is 300 + INT32_MAX mod the texture's width and height.
    const int32_t tx = int32_t((int64_t(INT32_MAX) + 300) % kW),
                  ty = int32_t((int64_t(INT32_MAX) + 300) % kH);
    EXPECT_EQ(HostBitmapRow32(target, 0)[0], HostBitmapRow32(texture, ty)[tx]);
    FreeHostBitmap(texture);
    FreeHostBitmap(target);
}

// Every input fuzz_shape once found harmful draws again, within the suite's time (a relapse of a whole render
// of a huge turned shape takes minutes, an overflow stops the sanitizer build).
TEST(ShapeFuzzRegressions, EveryFoundInputDrawsAgain) {
    const std::vector<std::filesystem::path> files = RegressionFiles("shape");
    ASSERT_FALSE(files.empty());
    for (const std::filesystem::path &path : files) {
        SCOPED_TRACE(path.string());
        const std::vector<uint8_t> bytes = ReadFileBytes(path);
        shapefuzz::DrawFuzzedShape(bytes.data(), bytes.size());
    }
}

} // namespace
