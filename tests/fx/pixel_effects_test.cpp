// Pinned frames of the pixel and shape effects, each computed here from the effect's rule rather than taken
// from a run.
#include "tests/fx/fx_fixture.h"

namespace {

using fxtest::Frame;
using fxtest::FxTest;

// Plays picture 2 over picture 1 with the effect and returns the frames it showed.
std::vector<Frame> Play(FxTest &test, int32_t id, double speed) {
    test.Show(1);
    test.frames.clear();
    EXPECT_EQ(test.Cmd("DisplayTransitionFX", {2.0, double(id), speed}), 0);
    return test.frames;
}

TEST_F(FxTest, DissolveShowsExactlyThePixelsBelowTheLevel) {
    constexpr int32_t w = 37, h = 23;
    ASSERT_NE(OpenPatternDisplay(w, h), nullptr);
    const Frame start = Output();
    uint32_t seed = 4242;
    std::vector<int32_t> threshold;
    for (int32_t i = 0; i < w * h; i++) {
        seed = seed * 1103515245u + 12345u;
        threshold.push_back(int32_t(seed % 2147483647u) % 255);
    }
    SeedRuntimeRand(4242);
    const std::vector<Frame> played = Play(*this, kFxDissolve, -2);
    ASSERT_EQ(played.size(), 32u);
    for (size_t k = 1; k <= played.size(); k++)
        for (int32_t i = 0; i < w * h; i++) {
            const bool fresh = threshold[size_t(i)] < int32_t(8 * k);
            ASSERT_EQ(played[k - 1][size_t(i)], fresh ? fxtest::NewPattern(i % w, i / w) : start[size_t(i)])
                << "frame " << k << " pixel " << i;
        }
}

TEST_F(FxTest, PixelZoomSharpensBlocksWhateverTheSpeed) {
    constexpr int32_t w = 61, h = 29;
    ASSERT_NE(OpenPatternDisplay(w, h), nullptr);
    for (double speed : {-1.0, -3.0, 7.0}) {
        const std::vector<Frame> played = Play(*this, kFxPixelZoom1, speed);
        ASSERT_EQ(played.size(), 25u);
        for (int32_t k = 1; k <= 25; k++) {
            const int32_t n = std::max(25 - k, 1);
            for (int32_t y = 0; y < h; y++)
                for (int32_t x = 0; x < w; x++)
                    ASSERT_EQ(played[size_t(k - 1)][size_t(y * w + x)], fxtest::NewPattern(x / n * n, y / n * n))
                        << "frame " << k << " at " << x << "," << y;
        }
    }
    // The two-way zoom coarsens the old picture first: 2 .. 24, then 25 .. 1 on the new one.
    const Frame start = Output();
    Show(1);
    const Frame old = Output();
    const std::vector<Frame> twoWay = Play(*this, kFxPixelZoom2, -1);
    ASSERT_EQ(twoWay.size(), 49u);
    EXPECT_EQ(twoWay[0][1], old[0]);
    EXPECT_EQ(twoWay[0][2], old[2]);
    EXPECT_EQ(twoWay[23][size_t(w + 1)], fxtest::NewPattern(0, 0));
    EXPECT_EQ(twoWay[48], start);
}

TEST_F(FxTest, WaterAndStrudelCountTheirFramesAndEndOnTheNewPicture) {
    ASSERT_NE(OpenPatternDisplay(40, 30), nullptr);
    const Frame old = [&] { Show(1); return Output(); }();
    const Frame target = [&] { Show(2); return Output(); }();
    const std::pair<int32_t, double> cases[] = {{kFxWater1, 3}, {kFxWater4, 3}, {kFxStrudel, -2}, {kFxStrudel, 500}};
    const size_t counts[] = {10, 10, 45, 45};
    for (size_t i = 0; i < 4; i++) {
        const std::vector<Frame> played = Play(*this, cases[i].first, cases[i].second);
        ASSERT_EQ(played.size(), counts[i]) << cases[i].first;
        EXPECT_NE(played[counts[i] / 2], target);
        EXPECT_EQ(played.back(), target);
    }
    // WATER1 halfway (frame 5 of 10, level 127): the ripple (1.6 px at the centre, 0 at the radius of 20) moves
    // samples inside the radius; from it on, as in the corners, the frame is the plain cross-fade.
    const Frame mid = Play(*this, kFxWater1, 3)[4];
    int32_t moved = 0;
    for (int32_t y = 0; y < 30; y++)
        for (int32_t x = 0; x < 40; x++) {
            const size_t i = size_t(y * 40 + x);
            uint32_t mixed = 0;
            for (int shift : {0, 8, 16})
                mixed |= uint32_t(BlendChannel(uint8_t(old[i] >> shift), uint8_t(target[i] >> shift), 127)) << shift;
            if ((x - 20) * (x - 20) + (y - 15) * (y - 15) >= 20 * 20) {
                ASSERT_EQ(mid[i], mixed) << x << "," << y;
            }
            moved += mid[i] != mixed;
        }
    EXPECT_GT(moved, 100);
}

// Which pixels of a frame show the new picture.
std::vector<uint8_t> Revealed(const Frame &frame, const Frame &target) {
    std::vector<uint8_t> fresh(frame.size());
    for (size_t i = 0; i < frame.size(); i++) fresh[i] = frame[i] == target[i];
    return fresh;
}

TEST_F(FxTest, SunAndStarGrowFromTheCentreAndNeverTakeBack) {
    constexpr int32_t w = 320, h = 200;
    ASSERT_NE(OpenPatternDisplay(w, h), nullptr);
    // NORMALSPEED: step 320 / 12 = 26, first size 36; the sun's first ellipse is 37 x 23, centred.
    Frame target;
    for (int32_t i = 0; i < w * h; i++) target.push_back(fxtest::NewPattern(i % w, i / w));
    const std::vector<Frame> sun = Play(*this, kFxSun, -1);
    const std::vector<uint8_t> first = Revealed(sun[0], target);
    int32_t left = w, right = -1, top = h, bottom = -1;
    for (int32_t i = 0; i < w * h; i++)
        if (first[size_t(i)]) {
            left = std::min(left, i % w), right = std::max(right, i % w);
            top = std::min(top, i / w), bottom = std::max(bottom, i / w);
        }
    EXPECT_GE(left, 141);
    EXPECT_LE(right, 177);
    EXPECT_GE(top, 88);
    EXPECT_LE(bottom, 110);
    EXPECT_LE(right - left, 36);
    EXPECT_GE(right - left, 33);
    EXPECT_NEAR(left + right, 318, 1) << "centred";
    EXPECT_GE(bottom - top, 19);
    EXPECT_TRUE(first[size_t(99 * w + 159)]);
    EXPECT_EQ(Play(*this, kFxStar, -1).size(), 49u);
    EXPECT_EQ(Play(*this, kFxStar, 500).size(), Play(*this, kFxStar, 100).size());
    EXPECT_EQ(Play(*this, kFxStar, 100).size(), 13u);
    EXPECT_EQ(Play(*this, kFxSun, 500).size(), Play(*this, kFxSun, 100).size());
    // A revealed pixel stays revealed, and every other pixel is still the old picture. (The star's truncated
    // corners move single edge pixels between sizes, so it is held to the second rule only.)
    const Frame old = [&] { Show(1); return Output(); }();
    EXPECT_EQ(Play(*this, kFxClockWipe, -1).size(), 104u);
    EXPECT_EQ(Play(*this, kFxClockWipe, 30).size(), 35u);
    for (int32_t id : {kFxClockWipe, kFxStar, kFxSun, kFxDissolve}) {
        const std::vector<Frame> played = Play(*this, id, 7);
        std::vector<uint8_t> before(size_t(w * h), 0);
        for (size_t k = 0; k < played.size(); k++) {
            const std::vector<uint8_t> now = Revealed(played[k], target);
            for (size_t i = 0; i < now.size(); i++) {
                // Asserting only on a fault keeps 64000 pixels a frame cheap under the sanitizers.
                if (now[i] || ((!before[i] || id == kFxStar) && played[k][i] == old[i])) continue;
                ASSERT_TRUE(!before[i] || id == kFxStar) << FxEffects[id].name << " frame " << k + 1 << " took back " << i;
                ASSERT_TRUE(played[k][i] == old[i]) << FxEffects[id].name << " pixel " << i;
            }
            before = now;
        }
    }
}

TEST_F(FxTest, RollsLayTheLinesBehindTheCylinderFlat) {
    constexpr int32_t w = 30, h = 100;
    ASSERT_NE(OpenPatternDisplay(w, h), nullptr);
    const Frame old = [&] { Show(1); return Output(); }();
    // ROLLTOP on 100 lines: radius max(100 / 6 / 2, 20) = 20; speed 3 is step 1, so 100 frames.
    for (int32_t id : {kFxRollTop, kFxWallpaperTop}) {
        const int32_t radius = id == kFxRollTop ? 20 : 50;
        const std::vector<Frame> played = Play(*this, id, 3);
        ASSERT_EQ(played.size(), 100u);
        for (int32_t k = 1; k < 100; k++)
            for (int32_t y = 0; y < h; y++)
                for (int32_t x = 0; x < w; x++) {
                    const uint32_t pixel = played[size_t(k - 1)][size_t(y * w + x)];
                    if (y <= k - radius) {
                        ASSERT_EQ(pixel, fxtest::NewPattern(x, y)) << id << " frame " << k << " " << x << "," << y;
                    }
                    if (y > k) {
                        ASSERT_EQ(pixel, old[size_t(y * w + x)]) << id << " frame " << k << " " << x << "," << y;
                    }
                }
    }
    EXPECT_EQ(Play(*this, kFxRollLeft, 100).size(), size_t((w + 7) / 8));
}

} // namespace
