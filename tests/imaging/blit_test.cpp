#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "image_helpers.h"
#include "imaging/blit.h"
#include "imaging/blit_kernels.h"
#include "imaging/clip_region.h"
#include "imaging/image_ops.h"

namespace {

// ---- The blend rule ------------------------------------------------------------------------------------------
TEST(AlphaBlend, FollowsTheShiftFormulaBetweenTheEnds) {
    for (int s : {0, 37, 200, 255})
        for (int d : {0, 90, 255}) {
            EXPECT_EQ(BlendChannel(uint8_t(d), uint8_t(s), 0), d);
            EXPECT_EQ(BlendChannel(uint8_t(d), uint8_t(s), 1), d + (((s - d) * 1) >> 8)) << s << " " << d;
            EXPECT_EQ(BlendChannel(uint8_t(d), uint8_t(s), 128), d + (((s - d) * 128) >> 8)) << s << " " << d;
        }
}

TEST(AlphaBlend, FullAlphaGivesTheSourceExactly) {
    // The plain formula would give 254 here; 255 means opaque.
    EXPECT_EQ(BlendChannel(0, 255, 255), 255);
    EXPECT_EQ(BlendChannel(255, 0, 255), 0);
}

TEST(AlphaBlend, NegativeDifferencesRoundDownLikeAnArithmeticShift) {
    // d + ((s - d) x a >> 8) with s < d: 255 + (-255 x 128 >> 8) = 255 - 128.
    EXPECT_EQ(BlendChannel(255, 0, 128), 127);
    EXPECT_EQ(BlendChannel(10, 9, 1), 9); // -1 >> 8 is -1
}

TEST(AlphaBlend, ConstantLevelRowsMatchTheAlphaRowRule) {
    std::vector<uint8_t> under(13 * 4), over(13 * 4);
    for (size_t i = 0; i < under.size(); i++) under[i] = uint8_t(i * 37 + 5), over[i] = uint8_t(255 - i * 11);
    for (unsigned level : {0u, 1u, 128u, 254u, 255u})
        for (int width = 0; width <= 13; width++) {
            std::vector<uint8_t> expected(under), fused(under.size()), levels(13, uint8_t(level));
            BlendRowAlpha32(expected.data(), over.data(), levels.data(), width);
            BlendRowsLevel32(fused.data(), under.data(), over.data(), level, width);
            EXPECT_TRUE(std::equal(fused.begin(), fused.begin() + width * 4, expected.begin()))
                << "level " << level << " width " << width;
        }
}

TEST(AlphaBlend, BlitOfOnePixelAtTheFourLevels) {
    for (unsigned a : {0u, 1u, 128u, 255u}) {
        TestImage src(1, 1, 4), dst(1, 1, 4);
        Format32::Store(src.view.pixels, 0x00C86420);
        Format32::Store(dst.view.pixels, 0x00204080);
        TestPlane alpha(1, 1, false);
        alpha.bytes[0] = uint8_t(a);
        BlitRect(src.view, 0, 0, dst.view, 0, 0, 1, 1, PlaneBuffer{}, alpha.view);
        auto expect = [&](int d, int s) { return a == 255 ? s : d + (((s - d) * int(a)) >> 8); };
        uint32_t want = uint32_t(expect(0x20, 0xC8) << 16 | expect(0x40, 0x64) << 8 | expect(0x80, 0x20));
        EXPECT_EQ(Format32::Load(dst.view.pixels), want) << "alpha " << a;
    }
}

TEST(AlphaBlend, OnePixelThroughAlphaGivesTheFilledBitmapsBlit) {
    // Clear and opaque runs of sixteen and more, lone values and ragged tails, placed across the edges and a clip.
    const int32_t w = 53, h = 7;
    AlphaPlane *alpha = AllocAlphaPlane(w, h, true);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++)
            alpha->bytes[y * alpha->bytesPerRow + x] =
                uint8_t(x < 16 ? 0 : x < 34 ? 255 : (x * 71 + y * 13) % 5 == 0 ? 0 : (x * 29 + y * 101) % 256);
    HostBitmap *filled = AllocHostBitmap(w, h);
    const uint32_t pixel = 0xFF3C7AE1u;
    for (int32_t y = 0; y < h; y++) std::fill_n(HostBitmapRow32(filled, y), w, pixel);
    ClipRegion clip;
    clip.x = 5, clip.y = 1, clip.width = 40, clip.height = 20;
    for (const ClipRegion *region : std::initializer_list<const ClipRegion *>{nullptr, &clip})
        for (auto [x, y] : {std::pair{0, 0}, {-9, -3}, {30, 4}, {3, 2}}) {
            HostBitmap *expected = AllocHostBitmap(64, 9), *blended = AllocHostBitmap(64, 9);
            for (int32_t j = 0; j < 9; j++)
                for (int32_t i = 0; i < 64; i++)
                    HostBitmapRow32(expected, j)[i] = HostBitmapRow32(blended, j)[i] = uint32_t(i * 2654435761u ^ j);
            SAFEBLT(filled, 0, 0, expected, x, y, w, h, 0, 0, 0, 0, kBlitMasked | kBlitToBitmap, nullptr, alpha, region);
            EXPECT_TRUE(BlendPixelThroughAlpha(pixel, alpha, blended, x, y, region));
            for (int32_t j = 0; j < 9; j++)
                EXPECT_TRUE(std::equal(HostBitmapRow32(blended, j), HostBitmapRow32(blended, j) + 64,
                                       HostBitmapRow32(expected, j)))
                    << "at " << x << "," << y << " row " << j << (region ? " clipped" : "");
            FreeHostBitmap(expected);
            FreeHostBitmap(blended);
        }
    FreeHostBitmap(filled);
    FreeAlphaPlane(alpha);
}

// ---- Fast kernels against the generic path --------------------------------------------------------------------
struct KernelCase {
    int bpp;
    int w, h;
};

class FastKernels : public ::testing::TestWithParam<int> {};

// Runs both paths on copies of the same random destination and compares every byte.
template <class Fast, class Slow> void ExpectSame(int bpp, uint32_t seed, Fast fast, Slow slow) {
    const int w = 37, h = 23; // odd sizes: vector loops must finish their tails
    TestImage src(w, h, bpp), a(w, h, bpp), b(w, h, bpp);
    FillRandom(src.bytes, seed);
    FillRandom(a.bytes, seed + 1);
    b.bytes = a.bytes;
    TestPlane mask(w, h, true), alpha(w, h, false);
    FillRandom(mask.bytes, seed + 2);
    FillRandomAlpha(alpha.bytes, seed + 3);
    fast(src.view, a.view, mask.view, alpha.view);
    slow(src.view, b.view, mask.view, alpha.view);
    ASSERT_EQ(a.bytes, b.bytes);
}

TEST_P(FastKernels, OpaqueCopyMatchesGeneric) {
    ExpectSame(GetParam(), 1,
               [](auto &s, auto &d, auto &, auto &) { BlitRect(s, 2, 1, d, 3, 4, 30, 17, PlaneBuffer{}, PlaneBuffer{}); },
               [](auto &s, auto &d, auto &, auto &) { BlitRectGeneric(s, 2, 1, d, 3, 4, 30, 17, PlaneBuffer{}, PlaneBuffer{}); });
}

TEST_P(FastKernels, MaskedCopyMatchesGeneric) {
    ExpectSame(GetParam(), 2,
               [](auto &s, auto &d, auto &m, auto &) { BlitRect(s, 5, 0, d, 0, 2, 31, 20, m, PlaneBuffer{}); },
               [](auto &s, auto &d, auto &m, auto &) { BlitRectGeneric(s, 5, 0, d, 0, 2, 31, 20, m, PlaneBuffer{}); });
}

TEST_P(FastKernels, AlphaBlendMatchesGeneric) {
    ExpectSame(GetParam(), 3,
               [](auto &s, auto &d, auto &, auto &a) { BlitRect(s, 1, 2, d, 0, 0, 36, 21, PlaneBuffer{}, a); },
               [](auto &s, auto &d, auto &, auto &a) { BlitRectGeneric(s, 1, 2, d, 0, 0, 36, 21, PlaneBuffer{}, a); });
}

TEST_P(FastKernels, AlphaRunsOfClearAndOpaqueMatchGeneric) {
    // Whole groups of clear or opaque pixels take the vector loop's shortcuts.
    ExpectSame(GetParam(), 30,
               [](auto &s, auto &d, auto &, auto &a) {
                   for (int y = 0; y < a.height; ++y)
                       for (int x = 0; x < a.width; ++x)
                           if ((x / 8) % 3 != 2) a.Row(y)[x] = (x / 8) % 3 == 0 ? 0 : 255;
                   BlitRect(s, 0, 0, d, 0, 0, 37, 23, PlaneBuffer{}, a);
               },
               [](auto &s, auto &d, auto &, auto &a) { BlitRectGeneric(s, 0, 0, d, 0, 0, 37, 23, PlaneBuffer{}, a); });
}

TEST_P(FastKernels, MaskAndAlphaBlendMatchesGeneric) {
    ExpectSame(GetParam(), 4,
               [](auto &s, auto &d, auto &m, auto &a) { BlitRect(s, 0, 0, d, 0, 0, 37, 23, m, a); },
               [](auto &s, auto &d, auto &m, auto &a) { BlitRectGeneric(s, 0, 0, d, 0, 0, 37, 23, m, a); });
}

TEST_P(FastKernels, ColourThroughCoverageMatchesGeneric) {
    ExpectSame(GetParam(), 5,
               [](auto &, auto &d, auto &, auto &a) { BlendColorRect(a, 1, 1, d, 2, 0, 30, 20, 0x00A1B2C3); },
               [](auto &, auto &d, auto &, auto &a) { BlendColorRectGeneric(a, 1, 1, d, 2, 0, 30, 20, 0x00A1B2C3); });
    ExpectSame(GetParam(), 31,
               [](auto &, auto &d, auto &, auto &a) {
                   for (int y = 0; y < a.height; ++y)
                       for (int x = 0; x < a.width; ++x)
                           if ((x / 16) % 3 != 2) a.Row(y)[x] = (x / 16) % 3 == 0 ? 0 : 255;
                   BlendColorRect(a, 0, 0, d, 0, 0, 37, 23, 0x0012F0E1);
               },
               [](auto &, auto &d, auto &, auto &a) { BlendColorRectGeneric(a, 0, 0, d, 0, 0, 37, 23, 0x0012F0E1); });
}

TEST_P(FastKernels, MixMatchesGenericAtEveryPlaneCombination) {
    for (int level : {0, 1, 128, 255}) {
        ExpectSame(GetParam(), 6 + level,
                   [&](auto &s, auto &d, auto &m, auto &a) {
                       MixPixels(d, 0, 0, s, 0, 0, 37, 23, level, m, PlaneBuffer{});
                       MixPixels(d, 1, 1, s, 0, 0, 30, 20, level, PlaneBuffer{}, a);
                       MixPixels(d, 0, 0, s, 2, 2, 30, 20, level, m, a);
                   },
                   [&](auto &s, auto &d, auto &m, auto &a) {
                       MixPixelsGeneric(d, 0, 0, s, 0, 0, 37, 23, level, m, PlaneBuffer{});
                       MixPixelsGeneric(d, 1, 1, s, 0, 0, 30, 20, level, PlaneBuffer{}, a);
                       MixPixelsGeneric(d, 0, 0, s, 2, 2, 30, 20, level, m, a);
                   });
    }
}

TEST_P(FastKernels, TintMatchesGeneric) {
    for (int level : {0, 128, 255}) {
        ExpectSame(GetParam(), 20 + level,
                   [&](auto &, auto &d, auto &, auto &) { TintPixels(d, 3, 2, 30, 20, 0x00FF8000, level); },
                   [&](auto &, auto &d, auto &, auto &) { TintPixelsGeneric(d, 3, 2, 30, 20, 0x00FF8000, level); });
    }
}

INSTANTIATE_TEST_SUITE_P(PixelSizes, FastKernels, ::testing::Values(4, 3, 2),
                         [](const auto &info) { return std::to_string(info.param * 8) + "bit"; });

// ---- Mix and tint levels ---------------------------------------------------------------------------------------
TEST(MixImages, LevelZeroKeepsTheDestinationAndFullLevelGivesTheSource) {
    HostBitmap *d = AllocHostBitmap(4, 1), *s = AllocHostBitmap(4, 1);
    for (int x = 0; x < 4; ++x) {
        HostBitmapRow32(d, 0)[x] = 0x00102030;
        HostBitmapRow32(s, 0)[x] = 0x00F0E0D0;
    }
    MixImages(d, s, nullptr, 0, 0, 0, 0, 4, 1, 0, nullptr, 4, 1);
    EXPECT_EQ(HostBitmapRow32(d, 0)[0], 0x00102030u);
    MixImages(d, s, nullptr, 0, 0, 0, 0, 4, 1, 128, nullptr, 4, 1);
    // 0x10 + ((0xF0 - 0x10) x 128 >> 8) = 0x80, and the same for the other two channels.
    EXPECT_EQ(HostBitmapRow32(d, 0)[0], 0x00808080u);
    MixImages(d, s, nullptr, 0, 0, 0, 0, 4, 1, 255, nullptr, 4, 1);
    EXPECT_EQ(HostBitmapRow32(d, 0)[0], 0x00F0E0D0u);
    FreeHostBitmap(d);
    FreeHostBitmap(s);
}

TEST(MixImages, LeavesPixelsOutsideTheSourceMaskAlone) {
    HostBitmap *d = AllocHostBitmap(8, 1), *s = AllocHostBitmap(8, 1);
    for (int x = 0; x < 8; ++x) HostBitmapRow32(s, 0)[x] = 0x00FFFFFF;
    MaskPlane *m = AllocMaskPlane(s, 8, 1, true);
    m->bits[0] = 0xA0; // pixels 0 and 2
    MixImages(d, s, m, 0, 0, 0, 0, 8, 1, 255, nullptr, 8, 1);
    EXPECT_EQ(HostBitmapRow32(d, 0)[0], 0x00FFFFFFu);
    EXPECT_EQ(HostBitmapRow32(d, 0)[1], 0u);
    EXPECT_EQ(HostBitmapRow32(d, 0)[2], 0x00FFFFFFu);
    FreeMaskPlane(m);
    FreeHostBitmap(d);
    FreeHostBitmap(s);
}

TEST(MixImages, CrossfadeCallersGetTheShiftFormula) {
    // The transitions pass 255 - crossfade level and expect d + ((s - d) x level >> 8).
    HostBitmap *d = AllocHostBitmap(1, 1), *s = AllocHostBitmap(1, 1);
    HostBitmapRow32(d, 0)[0] = 0x00C8C8C8;
    HostBitmapRow32(s, 0)[0] = 0x00000000;
    MixImages(d, s, nullptr, 0, 0, 0, 0, 1, 1, 255 - 100, nullptr, 1, 1);
    const int want = 200 + ((0 - 200) * 155 >> 8);
    EXPECT_EQ(HostBitmapRow32(d, 0)[0], uint32_t(want * 0x010101));
    FreeHostBitmap(d);
    FreeHostBitmap(s);
}

TEST(TintImage, MovesTowardsTheColourByTheLevel) {
    HostBitmap *b = AllocHostBitmap(3, 1);
    for (int x = 0; x < 3; ++x) HostBitmapRow32(b, 0)[x] = 0x00804000;
    TintImage(b, 0, 0, 1, 1, 0x00FF0080, 0);
    TintImage(b, 1, 0, 1, 1, 0x00FF0080, 128);
    TintImage(b, 2, 0, 1, 1, 0x00FF0080, 255);
    EXPECT_EQ(HostBitmapRow32(b, 0)[0], 0x00804000u);
    EXPECT_EQ(HostBitmapRow32(b, 0)[1], uint32_t((0x80 + ((0xFF - 0x80) * 128 >> 8)) << 16 |
                                                 (0x40 + ((0 - 0x40) * 128 >> 8)) << 8 | (0x80 * 128 >> 8)));
    EXPECT_EQ(HostBitmapRow32(b, 0)[2], 0x00FE007Fu); // level 255 stops one step short of the colour
    FreeHostBitmap(b);
}

// ---- SAFEBLT guards -------------------------------------------------------------------------------------------
TEST(SafeBlt, ClipsRectanglesThatReachOutsideEitherBitmap) {
    HostBitmap *s = AllocHostBitmap(8, 8), *d = AllocHostBitmap(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) HostBitmapRow32(s, y)[x] = 0x00FFFFFF;
    // Far too large and partly negative: source (0, 0) lands at (5, 5); nothing outside is written (ASan watches).
    EXPECT_EQ(SAFEBLT(s, -3, -3, d, 2, 2, 1000, 1000, 0, 0, 0, 0, 19, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(HostBitmapRow32(d, 5)[5], 0x00FFFFFFu);
    EXPECT_EQ(HostBitmapRow32(d, 4)[5], 0u);
    EXPECT_EQ(HostBitmapRow32(d, 5)[4], 0u);
    FreeHostBitmap(s);
    FreeHostBitmap(d);
}

TEST(SafeBlt, StaleSizesLargerThanTheBitmapAreBoundedByIt) {
    HostBitmap *s = AllocHostBitmap(4, 4), *d = AllocHostBitmap(4, 4);
    EXPECT_EQ(SAFEBLT(s, 0, 0, d, 0, 0, 64, 64, 64, 64, 64, 64, 3, nullptr, nullptr, nullptr), 0);
    FreeHostBitmap(s);
    FreeHostBitmap(d);
}

TEST(SafeBlt, PlainFlagIgnoresMaskAndAlpha) {
    HostBitmap *s = AllocHostBitmap(2, 1), *d = AllocHostBitmap(2, 1);
    HostBitmapRow32(s, 0)[0] = HostBitmapRow32(s, 0)[1] = 0x00ABCDEF;
    MaskPlane *m = AllocMaskPlane(s, 2, 1, true); // all invisible
    SAFEBLT(s, 0, 0, d, 0, 0, 2, 1, 0, 0, 0, 0, 18, m, nullptr, nullptr);
    EXPECT_EQ(HostBitmapRow32(d, 0)[0], 0u);
    SAFEBLT(s, 0, 0, d, 0, 0, 2, 1, 0, 0, 0, 0, 19, m, nullptr, nullptr);
    EXPECT_EQ(HostBitmapRow32(d, 0)[0], 0x00ABCDEFu);
    FreeMaskPlane(m);
    FreeHostBitmap(s);
    FreeHostBitmap(d);
}

TEST(SafeBlt, ClipRegionLimitsTheDestinationRectangleAndShape) {
    HostBitmap *s = AllocHostBitmap(8, 8), *d = AllocHostBitmap(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) HostBitmapRow32(s, y)[x] = 0x00FFFFFF;
    ClipRegion clip;
    clip.x = 2;
    clip.y = 2;
    clip.width = 4;
    clip.height = 4;
    clip.mask = AllocMaskPlane(nullptr, 4, 4, true);
    clip.mask->bits[0] = 0x80; // only the region's top-left pixel
    SAFEBLT(s, 0, 0, d, 0, 0, 8, 8, 0, 0, 0, 0, 4, nullptr, nullptr, &clip);
    int set = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) set += HostBitmapRow32(d, y)[x] != 0;
    EXPECT_EQ(set, 1);
    EXPECT_EQ(HostBitmapRow32(d, 2)[2], 0x00FFFFFFu);
    FreeMaskPlane(clip.mask);
    FreeHostBitmap(s);
    FreeHostBitmap(d);
}

TEST(SafeBlt, NullDestinationGoesToTheCurrentOutput) {
    static HostBitmap *output = AllocHostBitmap(2, 2);
    HostBitmap *s = AllocHostBitmap(2, 2);
    HostBitmapRow32(s, 1)[1] = 0x00123456;
    CurrentOutputBitmapHook = [] { return output; };
    SAFEBLT(s, 0, 0, nullptr, 0, 0, 2, 2, 0, 0, 0, 0, 4, nullptr, nullptr, nullptr);
    CurrentOutputBitmapHook = nullptr;
    EXPECT_EQ(HostBitmapRow32(output, 1)[1], 0x00123456u);
    FreeHostBitmap(s);
    FreeHostBitmap(output);
}

TEST(ClipBlitRect, MovesSourceWithTheClippedDestination) {
    int32_t sx = 0, sy = 0, dx = -2, dy = 3, w = 10, h = 10;
    ASSERT_TRUE(ClipBlitRect(nullptr, &sx, &sy, &dx, &dy, &w, &h, 20, 20, 6, 6));
    EXPECT_EQ(sx, 2);
    EXPECT_EQ(dx, 0);
    EXPECT_EQ(w, 6);
    EXPECT_EQ(sy, 0);
    EXPECT_EQ(h, 3);
}

TEST(BltAlphaChannel, ColourModeBlendsThroughCoverage) {
    HostBitmap *d = AllocHostBitmap(3, 1);
    AlphaPlane *cov = AllocAlphaPlane(3, 1, true);
    cov->bytes[0] = 0;
    cov->bytes[1] = 128;
    cov->bytes[2] = 255;
    BLTALPHACHANNEL(cov, 0, 0, d, 0, 0, 3, 1, 0x00FFFFFF, kAlphaChannelColor);
    EXPECT_EQ(HostBitmapRow32(d, 0)[0], 0u);
    EXPECT_EQ(HostBitmapRow32(d, 0)[1], 0x007F7F7Fu); // 0 + (255 x 128 >> 8)
    EXPECT_EQ(HostBitmapRow32(d, 0)[2], 0x00FFFFFFu);
    FreeAlphaPlane(cov);
    FreeHostBitmap(d);
}

} // namespace
