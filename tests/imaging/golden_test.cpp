// Golden images, reviewed by eye once. VL_UPDATE_GOLDEN=1 rewrites them.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "image_helpers.h"
#include "imaging/blit.h"
#include "imaging/gradient.h"
#include "imaging/image_ops.h"
#include "imaging/raster.h"

namespace {

std::vector<uint32_t> Pixels(const HostBitmap *b) {
    std::vector<uint32_t> v;
    for (int y = 0; y < b->height; ++y)
        for (int x = 0; x < b->width; ++x) v.push_back(HostBitmapRow32(b, y)[x] & 0xFFFFFF);
    return v;
}

TEST(Golden, DiagonalGradient) {
    HostBitmap *b = AllocHostBitmap(48, 32);
    DRAWGRADIENT(b, 0, 0, 48, 32, 0x00FF2000, 0x000040FF, 30);
    EXPECT_EQ(CompareWithGolden("gradient", Pixels(b), 48, 32), "");
    FreeHostBitmap(b);
}

TEST(Golden, GradientCornersAreTheEndColoursExactly) {
    HostBitmap *b = AllocHostBitmap(16, 8);
    DRAWGRADIENT(b, 0, 0, 16, 8, 0x00102030, 0x00F0E0D0, 0);
    EXPECT_EQ(HostBitmapRow32(b, 3)[0], 0x00102030u);
    EXPECT_EQ(HostBitmapRow32(b, 3)[15], 0x00F0E0D0u);
    FreeHostBitmap(b);
}

TEST(Golden, TextureFillFromAnOffset) {
    HostBitmap *tex = AllocHostBitmap(6, 5), *b = AllocHostBitmap(40, 24);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            HostBitmapRow32(tex, y)[x] = (x == 0 || y == 0) ? 0x00202020 : uint32_t(0x00FF0000 | (x * 40) << 8 | y * 50);
    TextureFill(b, 4, 2, 32, 20, tex, 3, 2, 6, 5);
    EXPECT_EQ(CompareWithGolden("texture", Pixels(b), 40, 24), "");
    EXPECT_EQ(HostBitmapRow32(b, 2)[4], HostBitmapRow32(tex, 2)[3]); // the offset is where the tiling starts
    FreeHostBitmap(tex);
    FreeHostBitmap(b);
}

TEST(Golden, RotatedBrushOverABackground) {
    // A striped 24 x 16 brush with a transparent hole, turned 30 degrees smoothly and blitted with its alpha.
    HostBitmap *brush = AllocHostBitmap(24, 16);
    AlphaPlane *alpha = AllocAlphaPlane(24, 16, false);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) {
            HostBitmapRow32(brush, y)[x] = (x / 4) % 2 ? 0x00FFD000 : 0x000030C0;
            alpha->bytes[y * alpha->bytesPerRow + x] = (x >= 9 && x < 15 && y >= 5 && y < 11) ? 0 : 255;
        }
    const double a = M_PI / 6, m[4] = {std::cos(a), std::sin(a), -std::sin(a), std::cos(a)};
    ImageTriple src{brush, nullptr, alpha, 24, 16}, out;
    ASSERT_EQ(ApplyImageTransform(src, m, true, &out), 0);
    HostBitmap *bg = AllocHostBitmap(40, 40);
    DRAWGRADIENT(bg, 0, 0, 40, 40, 0x00303030, 0x00A0A0A0, 90);
    int32_t x, y, w, h;
    TransformedBounds(8, 12, 24, 16, m, &x, &y, &w, &h, 0.5, 0.5);
    ASSERT_EQ(w, out.width);
    ASSERT_EQ(h, out.height);
    SAFEBLT(out.bitmap, 0, 0, bg, x, y, w, h, 0, 0, 0, 0, 18, nullptr, out.alpha, nullptr);
    EXPECT_EQ(CompareWithGolden("rotated-brush", Pixels(bg), 40, 40), "");
    FreeImageTriple(&out);
    FreeAlphaPlane(alpha);
    FreeHostBitmap(brush);
    FreeHostBitmap(bg);
}

TEST(Golden, PolygonThroughItsMask) {
    MaskPlane *m = AllocMaskPlane(nullptr, 32, 32, true);
    const int32_t arrow[] = {2, 12, 18, 12, 18, 3, 30, 16, 18, 29, 18, 20, 2, 20};
    ASSERT_EQ(FillPolygonMask(m, arrow, 7, nullptr, 0), 0);
    HostBitmap *fill = AllocHostBitmap(32, 32), *b = AllocHostBitmap(32, 32);
    DRAWGRADIENT(fill, 0, 0, 32, 32, 0x0000FF40, 0x00004020, 45);
    SAFEBLT(fill, 0, 0, b, 0, 0, 32, 32, 0, 0, 0, 0, 18, m, nullptr, nullptr);
    EXPECT_EQ(CompareWithGolden("polygon", Pixels(b), 32, 32), "");
    FreeMaskPlane(m);
    FreeHostBitmap(fill);
    FreeHostBitmap(b);
}

} // namespace
