#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "host/blit.h"
#include "imaging/gfx_cache.h"
#include "imaging/pixel_ops.h"
#include "imaging/planes.h"
#include "imaging/snapshot.h"
#include "runtime/app/runtime_globals.h"
#include "tests/support/files.h"

namespace {

struct Alpha {
    AlphaPlane *p;
    Alpha(int w, int h, std::initializer_list<uint8_t> values = {}) : p(AllocAlphaPlane(w, h, true)) {
        int i = 0;
        for (uint8_t v : values) {
            p->bytes[(i / w) * p->bytesPerRow + i % w] = v;
            ++i;
        }
    }
    ~Alpha() { FreeAlphaPlane(p); }
    uint8_t At(int x, int y) const { return p->bytes[y * p->bytesPerRow + x]; }
};

TEST(BltAlphaPlane, CopyNonZeroAndIntersectModes) {
    Alpha src(4, 1, {0, 10, 0, 30}), dst(4, 1, {5, 5, 0, 0});
    BltAlphaPlane(src.p, 0, 0, dst.p, 0, 0, 4, 1, kAlphaCopyNonZero, 0);
    EXPECT_EQ(dst.At(0, 0), 5);
    EXPECT_EQ(dst.At(1, 0), 10);
    EXPECT_EQ(dst.At(3, 0), 30);
    Alpha other(4, 1, {0, 10, 0, 30}), both(4, 1, {9, 9, 0, 0});
    BltAlphaPlane(other.p, 0, 0, both.p, 0, 0, 4, 1, kAlphaIntersect, 0);
    EXPECT_EQ(both.At(0, 0), 0);
    EXPECT_EQ(both.At(1, 0), 10);
    EXPECT_EQ(both.At(3, 0), 0);
}

TEST(BltAlphaPlaneClipped, ScaledModeAndClipping) {
    Alpha src(2, 1, {255, 100}), dst(3, 1);
    BltAlphaPlaneClipped(src.p, 0, 0, dst.p, 1, 0, 50, 50, 0, 0, 0, 0, kAlphaScaled, 128);
    EXPECT_EQ(dst.At(0, 0), 0);
    EXPECT_EQ(dst.At(1, 0), 128);
    EXPECT_EQ(dst.At(2, 0), 100 * 128 / 255);
}

TEST(MultiplyAlphaPlane, ScalesEveryByteOfTheRows) {
    std::vector<uint8_t> src{0, 255, 100, 200}, dst(4);
    MultiplyAlphaPlane(src.data(), dst.data(), 128, 2, 2);
    EXPECT_EQ(dst, (std::vector<uint8_t>{0, 128, 50, 100}));
}

TEST(FillAlphaRect, ClipsToThePlane) {
    Alpha a(3, 3);
    FillAlphaRect(a.p, -1, 1, 10, 10, 77);
    EXPECT_EQ(a.At(0, 0), 0);
    EXPECT_EQ(a.At(0, 1), 77);
    EXPECT_EQ(a.At(2, 2), 77);
}

TEST(InvertPlane, FlipsEveryByte) {
    std::vector<uint8_t> p{0x00, 0xF0};
    InvertPlane(p.data(), 1, 2);
    EXPECT_EQ(p, (std::vector<uint8_t>{0xFF, 0x0F}));
}

// ---- Pixel operations ---------------------------------------------------------------------------------------
TEST(ColorToPixel, EncodesEveryFormatAndRefusesOthers) {
    EXPECT_EQ(ColorToPixel(0x00FF8040, PixelFormatARGB32), 0x00FF8040u);
    EXPECT_EQ(ColorToPixel(0x00FF8040, PixelFormatRGBA32), 0xFF804000u);
    EXPECT_EQ(ColorToPixel(0x00FF8040, PixelFormatBGRA32), 0x4080FF00u);
    EXPECT_EQ(ColorToPixel(0x00FF8040, PixelFormatRGB24), 0x00FF8040u);
    EXPECT_EQ(ColorToPixel(0x00FF8040, PixelFormatBGR24), 0x004080FFu);
    EXPECT_EQ(ColorToPixel(0x00FFFFFF, PixelFormatRGB565LE), 0xFFFFu);
    EXPECT_EQ(ColorToPixel(0x00FF0000, PixelFormatRGB565LE), 0xF800u);
    EXPECT_EQ(ColorToPixel(0x00FF0000, PixelFormatRGB565BE), 0x00F8u); // stored high byte first
    EXPECT_EQ(ColorToPixel(0x00FF0000, PixelFormatRGB555LE), 0x7C00u);
    EXPECT_EQ(ColorToPixel(0x00FFFFFF, 13), 0u);
    EXPECT_EQ(ColorToPixel(0x00FFFFFF, -1), 0u);
}

TEST(ConvertToGray, UsesTheLuminanceWeightsAndKeepsAlpha) {
    std::vector<uint32_t> px{0xAAFF0000, 0x0000FF00};
    ConvertToGray32(reinterpret_cast<uint8_t *>(px.data()), 2, 1, PixelFormatARGB32, 2);
    EXPECT_EQ(px[0], 0xAA4C4C4Cu); // 0.299 x 255 = 76
    EXPECT_EQ(px[1], 0x00959595u); // 0.587 x 255 = 149.7, truncated
}

TEST(ConvertToGray, SixteenAndTwentyFourBitLayouts) {
    std::vector<uint16_t> p16{0xF800}; // red in 5/6/5
    ConvertToGray16(reinterpret_cast<uint8_t *>(p16.data()), 1, 1, PixelFormatRGB565LE, 1);
    const Channels c = UnpackFormatPixel(p16[0], PixelFormatRGB565LE);
    EXPECT_EQ(c.r, c.b);
    EXPECT_NEAR(c.r, 76, 8);
    std::vector<uint8_t> p24{255, 0, 0}; // blue in B, G, R order
    ConvertToGray24(p24.data(), 1, 1, PixelFormatBGR24, 1);
    EXPECT_EQ(p24, (std::vector<uint8_t>{29, 29, 29})); // 0.114 x 255 = 29
}

TEST(InvertPixels, KeepsTheAlphaByteOf32BitPixels) {
    std::vector<uint32_t> px{0x80123456};
    InvertPixels32(reinterpret_cast<uint8_t *>(px.data()), 1, 1, 1);
    EXPECT_EQ(px[0], 0x80EDCBA9u);
}

TEST(ReplacePixelColors, PairsChainInListOrderUnderTheCompareMask) {
    std::vector<uint32_t> px{0xFF000001, 0x00000002, 0x00000003, 0x0000000A};
    const int32_t pairs[] = {1, 10, 2, 20, 10, 30, -1};
    ReplacePixelColors32(4, 1, pairs, reinterpret_cast<uint8_t *>(px.data()), 4, 0x00FFFFFF);
    EXPECT_EQ(px, (std::vector<uint32_t>{30, 20, 3, 30}));
}

TEST(FlipPixels, MirrorsPixelsMaskAndAlphaTogether) {
    std::vector<uint32_t> px{1, 2, 3};
    std::vector<uint8_t> mask{0x80, 0}, alpha{10, 20, 30, 0};
    FlipParams p;
    p.pixels = reinterpret_cast<uint8_t *>(px.data());
    p.width = 3;
    p.height = 1;
    p.rowLength = 3;
    p.mask = mask.data();
    p.maskBytesPerRow = 2;
    p.alpha = alpha.data();
    p.alphaBytesPerRow = 4;
    p.direction = 1;
    FlipPixels(p);
    EXPECT_EQ(px, (std::vector<uint32_t>{3, 2, 1}));
    EXPECT_EQ(mask[0], 0x20);
    EXPECT_EQ(alpha, (std::vector<uint8_t>{30, 20, 10, 0}));
}

TEST(FlipPixels, DirectionZeroTurnsRowsUpsideDown) {
    std::vector<uint16_t> px{1, 2, 3, 4, 5, 6};
    FlipParams p;
    p.pixels = reinterpret_cast<uint8_t *>(px.data());
    p.width = 2;
    p.height = 3;
    p.rowLength = 2;
    p.bytesPerPixel = 2;
    FlipPixels(p);
    EXPECT_EQ(px, (std::vector<uint16_t>{5, 6, 3, 4, 1, 2}));
}

TEST(MaskFromColorKey, ClearsExactlyTheKeyedPixels) {
    HostBitmap *b = AllocHostBitmap(3, 1);
    HostBitmapRow32(b, 0)[1] = 0xFF00FF00; // the key with an alpha byte: still the key
    HostBitmapRow32(b, 0)[2] = 0x0000FF01;
    MaskPlane *m = MaskFromColorKey(b, 3, 1, 0x0000FF00);
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(MaskBit(m, 0, 0));
    EXPECT_FALSE(MaskBit(m, 1, 0));
    EXPECT_TRUE(MaskBit(m, 2, 0));
    FreeMaskPlane(m);
    FreeHostBitmap(b);
}

// ---- Picture cache ------------------------------------------------------------------------------------------
TEST(GfxCache, CopiesGoInAndOutOnlyWhilePreloading) {
    const uint32_t px[2] = {1, 2};
    const uint8_t alpha[2] = {3, 4};
    PreloadActive = 0;
    EXPECT_EQ(AddToGfxCache("a.png", 2, 1, px, alpha), 0);
    PreloadActive = 1;
    int32_t w, h;
    std::vector<uint32_t> outPx;
    std::vector<uint8_t> outAlpha;
    EXPECT_EQ(LookupGfxCache("a.png", true, &w, &h, &outPx, &outAlpha), 1246);
    ASSERT_EQ(AddToGfxCache("a.png", 2, 1, px, alpha), 0);
    ASSERT_EQ(LookupGfxCache("a.png", true, &w, &h, &outPx, &outAlpha), 0);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(outPx, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(outAlpha, (std::vector<uint8_t>{3, 4}));
    outPx[0] = 99; // the caller's copy
    ASSERT_EQ(LookupGfxCache("a.png", false, &w, &h, &outPx, &outAlpha), 0);
    EXPECT_EQ(outPx[0], 1u);
    EXPECT_TRUE(outAlpha.empty());
    PreloadActive = 0;
    EXPECT_EQ(LookupGfxCache("a.png", true, &w, &h, &outPx, &outAlpha), 1246);
    FreeGfxCache();
}

// ---- Snapshot --------------------------------------------------------------------------------------------------
TEST(WriteBmpSnapshot, WritesInvisiblePixelsInTheKeyColour) {
    HostBitmap *b = AllocHostBitmap(2, 2);
    HostBitmapRow32(b, 0)[0] = 0x00112233;
    HostBitmapRow32(b, 1)[1] = 0x00445566;
    MaskPlane *m = AllocMaskPlane(b, 2, 2, false);
    m->bits[0] = 0x80;          // row 0: pixel 0 visible
    m->bits[m->bytesPerRow] = 0; // row 1: nothing visible
    const std::string path = std::string(VL_BINARY_DIR) + "/imaging-snapshot.bmp";
    ASSERT_EQ(WriteBmpSnapshot(kSnapshotBMP, b, 2, 2, path.c_str(), m, 0x00ABCDEF, nullptr, 0, 0, 0), 0);
    const std::string s = ReadFileText(path);
    ASSERT_EQ(s.size(), 54u + 2 * 8);
    EXPECT_EQ(s.substr(0, 2), "BM");
    // Bottom-up: the first stored row is row 1, all key colour (stored B, G, R).
    EXPECT_EQ(uint8_t(s[54]), 0xEF);
    EXPECT_EQ(uint8_t(s[56]), 0xAB);
    // Row 0: pixel 0 as drawn, pixel 1 in the key colour.
    EXPECT_EQ(uint8_t(s[62]), 0x33);
    EXPECT_EQ(uint8_t(s[64]), 0x11);
    EXPECT_EQ(uint8_t(s[65]), 0xEF);
    std::remove(path.c_str());
    FreeMaskPlane(m);
    FreeHostBitmap(b);
}

TEST(WriteBmpSnapshot, ErrorsForUnknownFormatsAndUnwritableFiles) {
    HostBitmap *b = AllocHostBitmap(1, 1);
    EXPECT_EQ(WriteBmpSnapshot(7, b, 1, 1, "x.bmp", nullptr, 0, nullptr, 0, 0, 0), 1055);
    EXPECT_EQ(WriteBmpSnapshot(kSnapshotBMP, b, 1, 1, "/nonexistent-dir/x.bmp", nullptr, 0, nullptr, 0, 0, 0), 1052);
    FreeHostBitmap(b);
}

} // namespace
