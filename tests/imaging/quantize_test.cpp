#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "imaging/quantize.h"

namespace {

TEST(QuantizeColors, KeepsTheTransparentIndexForExactlyTheTransparentPixels) {
    const int w = 40, h = 30;
    std::vector<uint32_t> px(w * h);
    std::mt19937 rng(7);
    for (auto &p : px) p = rng() & 0xFFFFFF;
    for (int i = 0; i < w * h; i += 7) px[size_t(i)] = 0x00FF00FF; // the key colour
    std::vector<uint8_t> idx(w * h);
    uint32_t palette[256];
    int32_t colors = 16;
    ASSERT_EQ(QuantizeColors(px.data(), w, h, w, idx.data(), palette, &colors, 0x00FF00FF, 1, 0), 1);
    EXPECT_LE(colors, 16);
    EXPECT_EQ(palette[0], 0x00FF00FFu);
    for (int i = 0; i < w * h; ++i) {
        const bool key = (px[size_t(i)] & 0xFFFFFF) == 0x00FF00FF;
        ASSERT_EQ(idx[size_t(i)] == 0, key) << "pixel " << i;
        ASSERT_LT(idx[size_t(i)], colors);
    }
}

TEST(QuantizeColors, FewColoursStayExact) {
    std::vector<uint32_t> px = {0x000000, 0xFFFFFF, 0x123456, 0x000000, 0x123456, 0xFFFFFF};
    std::vector<uint8_t> idx(px.size());
    uint32_t palette[256];
    int32_t colors = 4;
    ASSERT_EQ(QuantizeColors(px.data(), 3, 2, 3, idx.data(), palette, &colors, 0, 0, 1), 1);
    EXPECT_EQ(colors, 3);
    for (size_t i = 0; i < px.size(); ++i) EXPECT_EQ(palette[idx[i]], px[i]);
}

TEST(QuantizeColors, DitheredGradientKeepsColumnAveragesWithinThreeLevels) {
    const int w = 256, h = 64;
    std::vector<uint32_t> px(w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[size_t(y * w + x)] = uint32_t(x) << 16 | uint32_t(x / 2) << 8 | uint32_t(255 - x);
    std::vector<uint8_t> idx(w * h);
    uint32_t palette[256];
    int32_t colors = 16;
    ASSERT_EQ(QuantizeColors(px.data(), w, h, w, idx.data(), palette, &colors, 0, 0, 1), 1);
    for (int x = 0; x < w; ++x) {
        for (int c = 0; c < 3; ++c) {
            const int shift = 16 - 8 * c;
            long sum = 0;
            for (int y = 0; y < h; ++y) sum += (palette[idx[size_t(y * w + x)]] >> shift) & 255;
            const double average = double(sum) / h, want = (px[size_t(x)] >> shift) & 255;
            ASSERT_NEAR(average, want, 3.0) << "column " << x << " channel " << c;
        }
    }
}

TEST(QuantizeColors, RefusesBadArguments) {
    uint32_t px = 0, palette[256];
    uint8_t idx;
    int32_t colors = 16;
    EXPECT_EQ(QuantizeColors(&px, 0, 1, 1, &idx, palette, &colors, 0, 0, 0), 0);
    EXPECT_EQ(QuantizeColors(&px, 2, 1, 1, &idx, palette, &colors, 0, 0, 0), 0); // row shorter than the width
}

} // namespace
