#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "imaging/image_ops.h"

namespace {

// Owns a triple for the length of a test.
struct Triple {
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    ~Triple() {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
    }
};

// A width x height image, black and invisible except one white, visible, opaque pixel at (px, py).
void MarkedImage(Triple *t, int w, int h, int px, int py, bool withAlpha) {
    t->bitmap = AllocHostBitmap(w, h);
    t->mask = AllocMaskPlane(t->bitmap, w, h, true);
    if (withAlpha) t->alpha = AllocAlphaPlane(w, h, true);
    HostBitmapRow32(t->bitmap, py)[px] = 0x00FFFFFF;
    t->mask->bits[py * t->mask->bytesPerRow + px / 8] |= uint8_t(0x80 >> (px % 8));
    if (withAlpha) t->alpha->bytes[py * t->alpha->bytesPerRow + px] = 200;
}

int CountWhite(const HostBitmap *b) {
    int n = 0;
    for (int y = 0; y < b->height; ++y)
        for (int x = 0; x < b->width; ++x) n += HostBitmapRow32(b, y)[x] == 0x00FFFFFF;
    return n;
}

TEST(ScaleImage, MaskAndAlphaFollowThePixelsWhenEnlarging) {
    Triple in, out;
    MarkedImage(&in, 4, 4, 1, 2, true);
    ASSERT_EQ(ScaleImage(in.bitmap, in.mask, in.alpha, 0, 0, nullptr, 4, 4, 8, 12, false, &out.bitmap, &out.mask,
                         &out.alpha),
              0);
    ASSERT_EQ(out.bitmap->width, 8);
    ASSERT_EQ(out.bitmap->height, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool white = HostBitmapRow32(out.bitmap, y)[x] == 0x00FFFFFF;
            EXPECT_EQ(MaskBit(out.mask, x, y), white) << x << "," << y;
            EXPECT_EQ(out.alpha->bytes[y * out.alpha->bytesPerRow + x], white ? 200 : 0) << x << "," << y;
            EXPECT_EQ(white, x / 2 == 1 && y / 3 == 2) << x << "," << y;
        }
}

TEST(ScaleImage, SmoothScalingKeepsTheMaskOnTheNearestPixel) {
    Triple in, out;
    MarkedImage(&in, 4, 4, 3, 3, false);
    ASSERT_EQ(ScaleImage(in.bitmap, in.mask, nullptr, 0, 0, nullptr, 4, 4, 8, 8, true, &out.bitmap, &out.mask,
                         nullptr),
              0);
    int visible = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) visible += MaskBit(out.mask, x, y);
    EXPECT_EQ(visible, 4);
    EXPECT_TRUE(MaskBit(out.mask, 7, 7));
    EXPECT_EQ(HostBitmapRow32(out.bitmap, 7)[7], 0x00FFFFFFu); // the clamped corner is the pixel itself
}

TEST(ScaleImage, SmoothHalfwayPixelsInterpolate) {
    Triple in, out;
    in.bitmap = AllocHostBitmap(2, 1);
    HostBitmapRow32(in.bitmap, 0)[1] = 0x00FFFFFF;
    ASSERT_EQ(ScaleImage(in.bitmap, nullptr, nullptr, 0, 0, nullptr, 2, 1, 4, 1, true, &out.bitmap, nullptr, nullptr), 0);
    const uint32_t *row = HostBitmapRow32(out.bitmap, 0);
    EXPECT_EQ(row[0], 0u);
    EXPECT_GT(row[1] & 0xFF, 0u);
    EXPECT_LT(row[1] & 0xFF, row[2] & 0xFF);
    EXPECT_EQ(row[3], 0x00FFFFFFu);
}

TEST(ScaleImage, RefusesZeroSizeAndReturnsNothing) {
    Triple in, out;
    in.bitmap = AllocHostBitmap(2, 2);
    EXPECT_EQ(ScaleImage(in.bitmap, nullptr, nullptr, 0, 0, nullptr, 2, 2, 0, 5, false, &out.bitmap, nullptr, nullptr),
              1055);
    EXPECT_EQ(out.bitmap, nullptr);
}

TEST(CopyImage, CopiesTheRectangleWithItsPlanes) {
    Triple in, out;
    MarkedImage(&in, 10, 6, 7, 4, true);
    ASSERT_EQ(CopyImage(in.bitmap, in.mask, in.alpha, 5, 3, 4, 3, &out.bitmap, &out.mask, &out.alpha), 0);
    EXPECT_EQ(HostBitmapRow32(out.bitmap, 1)[2], 0x00FFFFFFu);
    EXPECT_TRUE(MaskBit(out.mask, 2, 1));
    EXPECT_FALSE(MaskBit(out.mask, 1, 1));
    EXPECT_EQ(out.alpha->bytes[1 * out.alpha->bytesPerRow + 2], 200);
}

TEST(CopyImage, AnEmptyRectangleIsAnErrorWithNothingReturned) {
    Triple in, out;
    in.bitmap = AllocHostBitmap(4, 4);
    EXPECT_NE(CopyImage(in.bitmap, nullptr, nullptr, 10, 10, 3, 3, &out.bitmap, &out.mask, &out.alpha), 0);
    EXPECT_EQ(out.bitmap, nullptr);
}

// ---- Transforms ----------------------------------------------------------------------------------------------
const double kRotate90[4] = {std::cos(M_PI / 2), std::sin(M_PI / 2), -std::sin(M_PI / 2), std::cos(M_PI / 2)};

TEST(ApplyImageTransform, QuarterTurnMovesAMarkedPixel) {
    Triple in;
    MarkedImage(&in, 5, 3, 1, 0, false);
    ImageTriple src{in.bitmap, in.mask, nullptr, 5, 3}, out;
    ASSERT_EQ(ApplyImageTransform(src, kRotate90, false, &out), 0);
    ASSERT_EQ(out.width, 3);
    ASSERT_EQ(out.height, 5);
    // x' = -y, y' = x (clockwise on screen): (x, y) lands at (h - 1 - y, x).
    EXPECT_EQ(HostBitmapRow32(out.bitmap, 1)[2], 0x00FFFFFFu);
    EXPECT_EQ(CountWhite(out.bitmap), 1);
    EXPECT_TRUE(MaskBit(out.mask, 2, 1));
    FreeImageTriple(&out);
}

TEST(ApplyImageTransform, AlphaSourcesGiveAlphaWithTransparentCorners) {
    Triple in;
    in.bitmap = AllocHostBitmap(8, 8);
    in.alpha = AllocAlphaPlane(8, 8, false);
    for (int i = 0; i < in.alpha->bytesPerRow * 8; ++i) in.alpha->bytes[i] = 255;
    const double a = M_PI / 4, m[4] = {std::cos(a), std::sin(a), -std::sin(a), std::cos(a)};
    ImageTriple src{in.bitmap, nullptr, in.alpha, 8, 8}, out;
    ASSERT_EQ(ApplyImageTransform(src, m, true, &out), 0);
    ASSERT_NE(out.alpha, nullptr);
    EXPECT_EQ(out.alpha->bytes[0], 0);                                                  // a corner
    EXPECT_EQ(out.alpha->bytes[(out.height / 2) * out.alpha->bytesPerRow + out.width / 2], 255); // the middle
    FreeImageTriple(&out);
}

TEST(ApplyImageTransform, RefusesASingularMatrix) {
    Triple in;
    in.bitmap = AllocHostBitmap(4, 4);
    const double flat[4] = {1, 1, 1, 1};
    ImageTriple src{in.bitmap, nullptr, nullptr, 4, 4}, out;
    EXPECT_EQ(ApplyImageTransform(src, flat, false, &out), 1055);
    EXPECT_EQ(out.bitmap, nullptr);
}

TEST(TransformedBounds, QuarterTurnAboutTheCentreSwapsTheSides) {
    int32_t x, y, w, h;
    TransformedBounds(10, 20, 40, 20, kRotate90, &x, &y, &w, &h, 0.5, 0.5);
    EXPECT_EQ(x, 20);
    EXPECT_EQ(y, 10);
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 40);
}

TEST(TransformedBounds, AnchorAtTheTopLeftKeepsThatCornerFixed) {
    int32_t x, y, w, h;
    TransformedBounds(10, 20, 40, 20, kRotate90, &x, &y, &w, &h, 0, 0);
    EXPECT_EQ(x, 10 - 20);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(w, 20);
    EXPECT_EQ(h, 40);
}

TEST(ScaledImageSize, ThirtyDegreesGrowsTheBoxAndTinyScalesStayOnePixel) {
    const double a = M_PI / 6, m[4] = {std::cos(a), std::sin(a), -std::sin(a), std::cos(a)};
    int32_t w, h;
    ScaledImageSize(m, 100, 50, &w, &h);
    EXPECT_EQ(w, int(std::ceil(100 * std::cos(a) + 50 * std::sin(a) - 1e-6)));
    EXPECT_EQ(h, int(std::ceil(100 * std::sin(a) + 50 * std::cos(a) - 1e-6)));
    const double tiny[4] = {0.001, 0, 0, 0.001};
    ScaledImageSize(tiny, 100, 50, &w, &h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
}

// ---- Keep aspect ratio ----------------------------------------------------------------------------------------
TEST(ApplyKeepAspectRatio, ComputesTheMissingWidth) {
    int32_t w = KEEPASPRAT, h = 240;
    EXPECT_EQ(ApplyKeepAspectRatio(640, 480, &w, &h), 0);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
}

TEST(ApplyKeepAspectRatio, ComputesTheMissingHeightRoundingHalfUp) {
    int32_t w = 5, h = KEEPASPRAT;
    EXPECT_EQ(ApplyKeepAspectRatio(2, 1, &w, &h), 0);
    EXPECT_EQ(h, 3); // 2.5 rounds up
}

TEST(ApplyKeepAspectRatio, BothKeepIsWrongUsage) {
    int32_t w = KEEPASPRAT, h = KEEPASPRAT;
    EXPECT_EQ(ApplyKeepAspectRatio(640, 480, &w, &h), 1055);
}

TEST(ApplyKeepAspectRatio, ZeroSizeIsRefused) {
    int32_t w = KEEPASPRAT, h = 240;
    EXPECT_EQ(ApplyKeepAspectRatio(0, 480, &w, &h), 1218);
    w = 0;
    h = 240;
    EXPECT_EQ(ApplyKeepAspectRatio(640, 480, &w, &h), 1218);
}

} // namespace

namespace {

// The 32-bit smooth scaler has its own two-channels-at-a-time path; the 24-bit one runs the generic rows.
// Scaling the same picture both ways must give the same colours.
TEST(ScaleImage, Smooth32BitPathEqualsTheGenericRows) {
    HostBitmap *b32 = AllocHostBitmap(13, 7), *b24 = AllocHostBitmapFormat(13, 7, PixelFormatRGB24);
    uint32_t seed = 12345;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) {
            seed = seed * 1103515245 + 12345;
            const uint32_t c = (seed >> 8) & 0xFFFFFF;
            HostBitmapRow32(b32, y)[x] = c;
            uint8_t *p = HostBitmapRow(b24, y) + x * 3;
            p[0] = uint8_t(c >> 16);
            p[1] = uint8_t(c >> 8);
            p[2] = uint8_t(c);
        }
    HostBitmap *o32 = nullptr, *o24 = nullptr;
    ASSERT_EQ(ScaleImage(b32, nullptr, nullptr, 1, 1, nullptr, 11, 5, 37, 19, true, &o32, nullptr, nullptr), 0);
    ASSERT_EQ(ScaleImage(b24, nullptr, nullptr, 1, 1, nullptr, 11, 5, 37, 19, true, &o24, nullptr, nullptr), 0);
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 37; ++x) {
            const uint8_t *p = HostBitmapRow(o24, y) + x * 3;
            ASSERT_EQ(HostBitmapRow32(o32, y)[x], uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]) << x << "," << y;
        }
    for (HostBitmap *b : {b32, b24, o32, o24}) FreeHostBitmap(b);
}

// The nearest-pixel transform steps in fixed point; every output pixel must still be the source pixel under
// its centre, as computed here in doubles (centres within 1/100 of a pixel edge may fall either way).
TEST(TransformImage, SteppedNearestSamplingMatchesDirectMapping) {
    const int w = 23, h = 17;
    HostBitmap *src = AllocHostBitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) HostBitmapRow32(src, y)[x] = uint32_t(y * 256 + x + 1);
    const double a = 0.5236, m[4] = {std::cos(a), std::sin(a), -std::sin(a), std::cos(a)};
    HostBitmap *out = nullptr;
    MaskPlane *mask = nullptr;
    int32_t ow, oh;
    ASSERT_EQ(TransformImage(src, nullptr, nullptr, 0, 0, w, h, m, false, &out, &mask, nullptr, &ow, &oh), 0);
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (auto [cx, cy] : {std::pair{0.0, 0.0}, {double(w), 0.0}, {0.0, double(h)}, {double(w), double(h)}}) {
        x0 = std::min(x0, m[0] * cx + m[2] * cy);
        x1 = std::max(x1, m[0] * cx + m[2] * cy);
        y0 = std::min(y0, m[1] * cx + m[3] * cy);
        y1 = std::max(y1, m[1] * cx + m[3] * cy);
    }
    const double ox = (x0 + x1 - ow) / 2, oy = (y0 + y1 - oh) / 2, det = m[0] * m[3] - m[1] * m[2];
    int inside = 0;
    for (int j = 0; j < oh; ++j)
        for (int i = 0; i < ow; ++i) {
            const double dx = ox + i + 0.5, dy = oy + j + 0.5;
            const double fx = (m[3] * dx - m[2] * dy) / det, fy = (-m[1] * dx + m[0] * dy) / det;
            auto nearEdge = [](double v) { return std::fabs(v - std::round(v)) < 0.01; };
            if (nearEdge(fx) || nearEdge(fy)) continue;
            const int px = int(std::floor(fx)), py = int(std::floor(fy));
            const bool in = px >= 0 && py >= 0 && px < w && py < h;
            ASSERT_EQ(MaskBit(mask, i, j), in) << i << "," << j;
            if (in) {
                ASSERT_EQ(HostBitmapRow32(out, j)[i], HostBitmapRow32(src, py)[px]) << i << "," << j;
            }
            inside += in;
        }
    EXPECT_GT(inside, w * h * 8 / 10);
    FreeHostBitmap(src);
    FreeHostBitmap(out);
    FreeMaskPlane(mask);
}

// A large turned image is made a tile at a time, and a tile whose samples all fall on one colour and coverage is
// filled whole: every pixel must be what it is made alone (a part of one pixel), for blocks of one colour, noise,
// holes in the mask or alpha, nearest and smooth, turned, stretched and sheared.
TEST(TransformImage, TilesOfOneColourHoldWhatEachPixelMakes) {
    const int w = 300, h = 220;
    std::mt19937 rng(5);
    for (int planes = 0; planes < 3; ++planes) {
        Triple src;
        src.bitmap = AllocHostBitmap(w, h);
        if (planes == 1) src.mask = AllocMaskPlane(src.bitmap, w, h, true);
        if (planes == 2) src.alpha = AllocAlphaPlane(w, h, true);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool noise = x > 140 && x < 160, hole = (x - 220) * (x - 220) + (y - 60) * (y - 60) < 900;
                HostBitmapRow32(src.bitmap, y)[x] = noise ? uint32_t(rng()) & 0xFFFFFF : x < w / 2 ? 0x3060C0 : 0xC08010;
                if (src.mask && !hole) src.mask->bits[y * src.mask->bytesPerRow + x / 8] |= uint8_t(0x80 >> (x % 8));
                if (src.alpha) src.alpha->bytes[y * src.alpha->bytesPerRow + x] = hole ? 0 : y < h / 2 ? 255 : 90;
            }
        const double a = 0.5236;
        const double matrices[3][4] = {{std::cos(a), std::sin(a), -std::sin(a), std::cos(a)}, {0, -1, 1, 0}, {1.5, 0.2, 0.4, 0.7}};
        for (const auto &m : matrices)
            for (const bool smooth : {false, true}) {
                Triple whole;
                int32_t ow = 0, oh = 0;
                ASSERT_EQ(TransformImage(src.bitmap, src.mask, src.alpha, 0, 0, w, h, m, smooth, &whole.bitmap,
                                         &whole.mask, &whole.alpha, &ow, &oh),
                          0);
                for (int j = 0; j < oh; j += 9)
                    for (int i = 0; i < ow; i += 7) {
                        Triple one;
                        const TransformPart part{i, j, 1, 1, 0, 0, w, h};
                        ASSERT_EQ(TransformImage(src.bitmap, src.mask, src.alpha, 0, 0, 0, 0, m, smooth, &one.bitmap,
                                                 &one.mask, &one.alpha, nullptr, nullptr, &part),
                                  0);
                        const int cover = whole.alpha ? whole.alpha->bytes[j * whole.alpha->bytesPerRow + i]
                                                      : MaskBit(whole.mask, i, j) * 255;
                        ASSERT_EQ(cover, one.alpha ? one.alpha->bytes[0] : MaskBit(one.mask, 0, 0) * 255)
                            << planes << " " << smooth << " at " << i << "," << j;
                        if (cover) {
                            ASSERT_EQ(HostBitmapRow32(whole.bitmap, j)[i], HostBitmapRow32(one.bitmap, 0)[0]);
                        }
                    }
            }
    }
}

} // namespace
