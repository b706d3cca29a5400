#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image_helpers.h"
#include "imaging/effects.h"

namespace {

// ---- Dissolve ----------------------------------------------------------------------------------------------
struct DissolveFixture {
    std::vector<uint16_t> thresholds{0, 10, 20, 30, 40, 50, 60, 70};
    TestPlane source{8, 1, false}, dest{8, 1, false};
    DissolveParams params;
    DissolveFixture(int kind, int reverse) {
        for (int i = 0; i < 8; ++i) source.bytes[size_t(i)] = uint8_t(100 + i);
        std::fill(dest.bytes.begin(), dest.bytes.end(), 7);
        params.source = source.view.data;
        params.dest = dest.view.data;
        params.width = 8;
        params.height = 1;
        params.sourceBytesPerRow = int32_t(source.view.pitch);
        params.destBytesPerRow = int32_t(dest.view.pitch);
        params.thresholds = thresholds.data();
        params.planeKind = kind;
        params.reverse = reverse;
    }
};

TEST(DissolveFrame, ShowsPixelsWhoseThresholdIsBelowTheLevel) {
    DissolveFixture f(kDissolveAlpha, 0);
    DissolveFrame(f.params, 35);
    EXPECT_EQ(std::vector<uint8_t>(f.dest.bytes.begin(), f.dest.bytes.begin() + 8),
              (std::vector<uint8_t>{100, 101, 102, 103, 0, 0, 0, 0}));
}

TEST(DissolveFrame, ReverseShowsTheOtherPixels) {
    DissolveFixture f(kDissolveAlpha, 1);
    DissolveFrame(f.params, 35);
    EXPECT_EQ(std::vector<uint8_t>(f.dest.bytes.begin(), f.dest.bytes.begin() + 8),
              (std::vector<uint8_t>{0, 0, 0, 0, 104, 105, 106, 107}));
}

TEST(DissolveFrame, WithoutSourceShownPixelsBecomeOpaque) {
    DissolveFixture f(kDissolveAlpha, 0);
    f.params.source = nullptr;
    DissolveFrame(f.params, 15);
    EXPECT_EQ(f.dest.bytes[0], 255);
    EXPECT_EQ(f.dest.bytes[1], 255);
    EXPECT_EQ(f.dest.bytes[2], 0);
}

TEST(DissolveFrame, MaskPlanesTakeTheSourceBits) {
    DissolveFixture f(kDissolveMask, 0);
    TestPlane src(8, 1, true), dst(8, 1, true);
    src.bytes[0] = 0xF0; // pixels 0..3 set in the source
    dst.bytes[0] = 0xFF;
    f.params.source = src.view.data;
    f.params.dest = dst.view.data;
    DissolveFrame(f.params, 55); // pixels 0..5 shown
    EXPECT_EQ(dst.bytes[0], 0xF0);
}

// The one-pass dissolve of two pictures against DissolveFrame's mask and a copy through it, for every pixel size.
TEST(DissolvePictures, EqualsTheMaskAndAMaskedCopy) {
    uint32_t seed = 5;
    const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    for (int bpp : {4, 3, 2})
        for (auto [w, h] : {std::pair{61, 7}, std::pair{1, 1}, std::pair{33, 4}}) {
            TestImage oldPic(w, h, bpp), newPic(w, h, bpp), dest(w, h, bpp);
            for (uint8_t &b : oldPic.bytes) b = uint8_t(next());
            for (uint8_t &b : newPic.bytes) b = uint8_t(next());
            std::vector<uint16_t> thresholds(size_t(w * h));
            for (uint16_t &t : thresholds) t = uint16_t(next() % 255);
            TestPlane mask(w, h, true);
            for (int32_t level : {0, 1, 100, 254, 255, 256}) {
                DissolveParams reveal;
                reveal.dest = mask.view.data, reveal.destBytesPerRow = int32_t(mask.view.pitch);
                reveal.width = w, reveal.height = h, reveal.thresholds = thresholds.data();
                DissolveFrame(reveal, level);
                DissolvePicturesParams params;
                params.oldPicture = oldPic.view, params.newPicture = newPic.view, params.dest = dest.view;
                params.thresholds = thresholds.data();
                DissolvePictures(params, level);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const TestImage &from = MaskBit(mask.view.Row(y), x) ? newPic : oldPic;
                        ASSERT_EQ(0, std::memcmp(dest.view.At(x, y), from.view.At(x, y), size_t(bpp)))
                            << bpp << " bytes, level " << level << " at " << x << "," << y;
                    }
            }
        }
}

// ---- Pixel zoom ----------------------------------------------------------------------------------------------
template <int kBpp> void ZoomBlocks() {
    TestImage src(5, 5, kBpp), dst(5, 5, kBpp);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) WritePixelGeneric(src.view, x, y, ColorChannels(uint32_t(x * 40) << 16 | uint32_t(y * 40)));
    TestPlane mask(5, 5, true), dmask(5, 5, true);
    SetMaskBit(mask.view.Row(0), 2, true); // only the top-left of the second block column is visible
    PixelZoomParams p{src.view, dst.view, mask.view, PlaneBuffer{}, dmask.view, PlaneBuffer{}};
    if (kBpp == 4) PixelZoomFrame32(p, 2);
    if (kBpp == 3) PixelZoomFrame24(p, 2);
    if (kBpp == 2) PixelZoomFrame16(p, 2);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            Channels want = ReadPixelGeneric(src.view, x / 2 * 2, y / 2 * 2), got = ReadPixelGeneric(dst.view, x, y);
            ASSERT_EQ(ChannelsColor(got), ChannelsColor(want)) << x << "," << y;
            ASSERT_EQ(MaskBit(dmask.view.Row(y), x), x / 2 == 1 && y / 2 == 0) << x << "," << y;
        }
}
TEST(PixelZoomFrame, BlocksTakeTheirTopLeftColour32) { ZoomBlocks<4>(); }
TEST(PixelZoomFrame, BlocksTakeTheirTopLeftColour24) { ZoomBlocks<3>(); }
TEST(PixelZoomFrame, BlocksTakeTheirTopLeftColour16) { ZoomBlocks<2>(); }

TEST(PixelZoomFrame, SourceWithoutPlanesGivesVisibleOpaqueBlocks) {
    TestImage src(4, 4, 4), dst(4, 4, 4);
    TestPlane dalpha(4, 4, false);
    PixelZoomParams p{src.view, dst.view, PlaneBuffer{}, PlaneBuffer{}, PlaneBuffer{}, dalpha.view};
    PixelZoomFrame32(p, 3);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) ASSERT_EQ(dalpha.view.Row(y)[x], 255);
}

// ---- Roll ----------------------------------------------------------------------------------------------------
TEST(RollFrame, CopiesArcLinesAndReportsThem) {
    TestImage src(3, 10, 4), dst(3, 10, 4);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 3; ++x) Format32::Store(src.view.At(x, y), uint32_t(y + 1));
    // Arc values chosen so that line i samples p + i.
    const int r = 4;
    std::vector<double> arc(r);
    for (int i = 0; i < r; ++i) arc[size_t(i)] = (i + 0.5) * 2 * M_PI / r;
    RollParams p;
    p.source = src.view;
    p.dest = dst.view;
    p.position = 2;
    p.radius = r;
    p.arc = arc.data();
    RollFrame(&p);
    // Destination lines p - r + 1 + i = -1, 0, 1, 2: the first is outside.
    EXPECT_EQ(p.linesDrawn, 3);
    EXPECT_EQ(p.firstLine, 0);
    EXPECT_EQ(Format32::Load(dst.view.At(0, 0)), uint32_t(2 + 1 + 1));
    EXPECT_EQ(Format32::Load(dst.view.At(2, 2)), uint32_t(2 + 3 + 1));
}

TEST(RollFrame, NothingInsideReportsNoLine) {
    TestImage src(3, 4, 4), dst(3, 4, 4);
    std::vector<double> arc(2, 0.0);
    RollParams p;
    p.source = src.view;
    p.dest = dst.view;
    p.position = 50;
    p.radius = 2;
    p.arc = arc.data();
    RollFrame(&p);
    EXPECT_EQ(p.linesDrawn, 0);
    EXPECT_EQ(p.firstLine, -100000);
}

TEST(RollCopyRect, CopiesOnlyVisiblePixelsAndMarksThem) {
    TestImage src(4, 1, 2), dst(4, 1, 2);
    for (int x = 0; x < 4; ++x) Format16::Store(src.view.At(x, 0), 0xFFFF);
    TestPlane smask(4, 1, true), dmask(4, 1, true);
    smask.bytes[0] = 0x50; // pixels 1 and 3
    RollParams p;
    p.source = src.view;
    p.dest = dst.view;
    p.sourceMask = smask.view;
    p.destMask = dmask.view;
    RollCopyRect16(p, 0, 0, 0, 0, 10, 10);
    EXPECT_EQ(Format16::Load(dst.view.At(0, 0)), 0);
    EXPECT_EQ(Format16::Load(dst.view.At(1, 0)), 0xFFFF);
    EXPECT_EQ(dmask.bytes[0], 0x50);
}

// ---- Water and strudel ---------------------------------------------------------------------------------------
TEST(WaterFrame, TablesAndTheMixAtTheEnds) {
    TestImage oldPic(9, 9, 4), newPic(9, 9, 4), dst(9, 9, 4);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) Format32::Store(newPic.view.At(x, y), 0x00FFFFFF);
    WaterParams p;
    p.oldPicture = oldPic.view;
    p.newPicture = newPic.view;
    p.dest = dst.view;
    p.centerX = 4;
    p.centerY = 4;
    p.radius = 6;
    p.half = 10;
    InitWaterTables(&p);
    ASSERT_EQ(p.sine.size(), size_t(kWaveTableSize));
    EXPECT_NEAR(p.sine[1571], 1.0, 1e-3);
    EXPECT_EQ(p.distance[0], int32_t(IntegerSqrt(32))); // corner (0, 0): sqrt(16 + 16) = 5
    WaterFrame32(p, 0);
    EXPECT_EQ(Format32::Load(dst.view.At(4, 4)), 0u);
    WaterFrame32(p, 20);
    EXPECT_EQ(Format32::Load(dst.view.At(4, 4)), 0x00FFFFFFu);
}

TEST(StrudelFrame, CentreStaysAndTheMixFollowsTheAngle) {
    TestImage oldPic(7, 7, 3), newPic(7, 7, 3), dst(7, 7, 3);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x) Format24::Store(newPic.view.At(x, y), 0x00FFFFFF);
    StrudelParams p;
    p.oldPicture = oldPic.view;
    p.newPicture = newPic.view;
    p.dest = dst.view;
    InitStrudelTables(&p);
    StrudelFrame24(p, 0);
    EXPECT_EQ(Format24::Load(dst.view.At(3, 3)), 0u);
    StrudelFrame24(p, 360);
    const uint32_t level = 360 * 255 / 720, mixed = (255 * level) >> 8; // halfway from black to white
    EXPECT_EQ(Format24::Load(dst.view.At(3, 3)), mixed * 0x010101u);
}

// The table-driven kernels against the per-pixel reference on random pictures, odd sizes and every pixel size,
// across frames of both halves and with a layer's alpha; equality is exact since both round the same doubles.
TEST(WaterAndStrudel, FastKernelsEqualTheGenericPath) {
    uint32_t seed = 17;
    auto fill = [&seed](TestImage &image) {
        for (uint8_t &b : image.bytes) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
    };
    for (int bpp : {4, 3, 2})
        for (auto [w, h] : {std::pair{61, 37}, std::pair{16, 90}, std::pair{70, 33}, std::pair{1, 1}}) {
            SCOPED_TRACE(std::to_string(bpp) + " bytes " + std::to_string(w) + "x" + std::to_string(h));
            TestImage oldPic(w, h, bpp), newPic(w, h, bpp), fast(w, h, bpp), slow(w, h, bpp);
            TestPlane newAlpha(w, h, false), fastAlpha(w, h, false), slowAlpha(w, h, false);
            fill(oldPic), fill(newPic);
            for (uint8_t &b : newAlpha.bytes) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 16);
            for (bool layer : {false, true}) {
                WaterParams water;
                water.oldPicture = oldPic.view, water.newPicture = newPic.view;
                water.centerX = w / 2, water.centerY = h / 2, water.radius = std::max({w / 2, h / 2, 1});
                water.waveLength = 16, water.amplitude = 0.05 * w / 16, water.half = 10;
                water.dest = fast.view;
                InitWaterTables(&water);
                StrudelParams strudel;
                strudel.oldPicture = oldPic.view, strudel.newPicture = newPic.view, strudel.dest = fast.view;
                InitStrudelTables(&strudel);
                if (layer) {
                    water.newAlpha = strudel.newAlpha = newAlpha.view;
                }
                auto run = [&](bool fastPath, TestImage &dest, TestPlane &alpha, int32_t f) {
                    water.dest = strudel.dest = dest.view;
                    water.layerAlpha = strudel.layerAlpha = layer ? alpha.view : PlaneBuffer{};
                    if (f < 0) fastPath ? (bpp == 4 ? StrudelFrame32 : bpp == 3 ? StrudelFrame24 : StrudelFrame16)(strudel, -f)
                                        : StrudelFrameGeneric(strudel, -f);
                    else fastPath ? (bpp == 4 ? WaterFrame32 : bpp == 3 ? WaterFrame24 : WaterFrame16)(water, f)
                                  : WaterFrameGeneric(water, f);
                };
                // Positive: water frames; negative: strudel angles (0 and 720 at the ends).
                for (int32_t f : {1, 7, 10, 19, -1, -200, -360, -533, -719}) {
                    run(true, fast, fastAlpha, f);
                    run(false, slow, slowAlpha, f);
                    ASSERT_EQ(fast.bytes, slow.bytes) << "frame " << f << (layer ? " on a layer" : "");
                    ASSERT_EQ(fastAlpha.bytes, slowAlpha.bytes) << "frame " << f;
                }
            }
        }
}

TEST(IntegerSqrt, FloorsExactly) {
    EXPECT_EQ(IntegerSqrt(0), 0u);
    EXPECT_EQ(IntegerSqrt(15), 3u);
    EXPECT_EQ(IntegerSqrt(16), 4u);
    EXPECT_EQ(IntegerSqrt(uint64_t(65535) * 65535), 65535u);
}

} // namespace
