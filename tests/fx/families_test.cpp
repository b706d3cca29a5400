// Pinned frames of the wipe and moving-picture families, from the rules of each family: which pixels of the old
// pattern turn into which pixels of the new one after a given frame.
#include <set>

#include "runtime/app/runtime_globals.h"
#include "scene/images/brush.h"
#include "tests/fx/fx_fixture.h"

namespace {

using fxtest::Frame;
using fxtest::FxTest;

struct FamilyTest : FxTest {
    int32_t w = 0, h = 0;
    void Open(int32_t width, int32_t height) {
        if (w) {
            FreeAllAsyncDraws();
            CurrentDisplay = nullptr;
            FreeAllDisplays(vm);
            FreeAllBGPics();
        }
        w = width, h = height;
        ASSERT_NE(OpenPatternDisplay(w, h), nullptr);
    }
    // Plays picture 2 in with the effect; the frames are in `frames`.
    void Play(int32_t id, double speed, double parameter = -1) {
        Show(1);
        frames.clear();
        ASSERT_EQ(Cmd("DisplayTransitionFX", {2.0, double(id), speed, parameter}), 0);
    }
    uint32_t At(const Frame &frame, int32_t x, int32_t y) const { return frame[size_t(y) * size_t(w) + size_t(x)]; }
    bool IsNew(const Frame &frame, int32_t x, int32_t y) const { return At(frame, x, y) == fxtest::NewPattern(x, y); }
    // Every pixel of the frame: expected(x, y) gives the pattern's source pixel it must show.
    template <class Expected> void ExpectFrame(size_t index, Expected expected) {
        ASSERT_LT(index, frames.size() + 1);
        const Frame &frame = frames[index - 1];
        int wrong = 0;
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++)
                if (At(frame, x, y) != expected(x, y) && wrong++ < 5)
                    ADD_FAILURE() << "frame " << index << " pixel " << x << "," << y;
    }
};

uint32_t New(int32_t x, int32_t y) { return fxtest::NewPattern(x, y); }
uint32_t Old(int32_t x, int32_t y) { return fxtest::OldPattern(x, y); }

TEST_F(FamilyTest, CurtainsRevealsAndLinesDrawTheirBandsInOrder) {
    Open(4, 3);
    Play(kFxVLines, -1); // even columns rightwards, then odd ones back
    ASSERT_EQ(frames.size(), 5u);
    const int32_t expected[] = {0, 2, 3, 3, 1};
    std::set<int32_t> shown;
    for (size_t f = 0; f < 5; f++) {
        shown.insert(expected[f]);
        ExpectFrame(f + 1, [&](int32_t x, int32_t y) { return shown.count(x) ? New(x, y) : Old(x, y); });
    }
    Open(100, 4);
    Play(kFxVOpenCurtain, -1);
    EXPECT_EQ(frames.size(), 26u);
    Open(10, 3);
    Play(kFxRevealRight, 4); // bands 5..9, then 0..4
    ASSERT_EQ(frames.size(), 2u);
    ExpectFrame(1, [](int32_t x, int32_t y) { return x >= 5 ? New(x, y) : Old(x, y); });
}

TEST_F(FamilyTest, RectanglesGrowFromTheirAnchorAndShrinkTowardsTheOpposite) {
    Open(320, 200);
    Play(kFxRectCenter, -1);
    ASSERT_EQ(frames.size(), 80u);
    ExpectFrame(1, [](int32_t x, int32_t y) { return x >= 158 && x <= 161 && y >= 98 && y <= 101 ? New(x, y) : Old(x, y); });
    for (size_t f = 1; f < frames.size(); f++)
        for (int32_t y = 0; y < h; y += 3)
            for (int32_t x = 0; x < w; x += 3)
                if (IsNew(frames[f - 1], x, y) && !IsNew(frames[f], x, y)) FAIL() << "frame " << f + 1 << " hid " << x << "," << y;
    Play(kFxRectBackSouthEast, -1);
    for (size_t f = 0; f + 1 < frames.size(); f++) ASSERT_EQ(At(frames[f], 0, 0), Old(0, 0)) << "frame " << f + 1;
    EXPECT_TRUE(IsNew(frames.back(), 0, 0));
}

TEST_F(FamilyTest, FlowsPushesGatesSlidesAndStrangePushesMoveWholePictures) {
    Open(10, 40);
    Play(kFxHFlowTop, 4); // new rows 0..3, then new row 3 stretched down
    EXPECT_EQ(frames.size(), 10u);
    ExpectFrame(1, [](int32_t x, int32_t y) { return New(x, std::min(y, 3)); });
    Open(100, 4);
    Play(kFxPushLeft, 30);
    EXPECT_EQ(frames.size(), 4u);
    ExpectFrame(1, [](int32_t x, int32_t y) { return x < 30 ? New(x + 70, y) : Old(x - 30, y); });
    Open(4, 10);
    Play(kFxHOpenGate, 2); // the old wings move apart, the new picture opens from the middle
    EXPECT_EQ(frames.size(), 3u);
    ExpectFrame(1, [](int32_t x, int32_t y) { return y <= 2 ? Old(x, y + 2) : y <= 6 ? New(x, y) : Old(x, y - 2); });
    Open(60, 20);
    Play(kFxSlideLeft, 30, double(0xFF0000)); // the old picture leaves, red, then the new one enters
    EXPECT_EQ(frames.size(), 4u);
    ExpectFrame(2, [](int32_t, int32_t) { return 0xFF0000u; });
    ExpectFrame(3, [](int32_t x, int32_t y) { return x < 30 ? 0xFF0000u : New(x - 30, y); });
    Open(10, 4);
    Play(kFxHStrangePush, 5); // at an even step of 6
    EXPECT_EQ(frames.size(), 2u);
    ExpectFrame(1, [](int32_t x, int32_t y) {
        if (y % 2 == 1) return x <= 5 ? New(x + 4, y) : Old(x, y);
        return x >= 4 ? New(x - 4, y) : Old(x, y);
    });
}

TEST_F(FamilyTest, TileEffectsDrawEachTileOnce) {
    Open(12, 12);
    SeedRuntimeDrand48(77);
    Play(kFxPuzzle, -1); // tiles of 5, 3 x 3 of them
    ASSERT_EQ(frames.size(), 9u);
    std::set<int32_t> tiles;
    Show(1);
    const Frame start = Output();
    for (size_t f = 0; f < frames.size(); f++) {
        const Frame &previous = f == 0 ? start : frames[f - 1];
        std::set<int32_t> changed;
        for (int32_t y = 0; y < h; y++)
            for (int32_t x = 0; x < w; x++)
                if (At(frames[f], x, y) != At(previous, x, y)) {
                    ASSERT_TRUE(IsNew(frames[f], x, y));
                    changed.insert(y / 5 * 3 + x / 5);
                }
        ASSERT_EQ(changed.size(), 1u) << "frame " << f + 1;
        tiles.insert(*changed.begin());
    }
    EXPECT_EQ(tiles.size(), 9u);
    // UPNDOWN with a step above the height jumps past its passes and still ends on the new picture.
    Open(1920, 10);
    Play(kFxUpNDown, -1);
    EXPECT_EQ(frames.size(), 3u);
    ExpectFrame(3, New);
}

TEST_F(FamilyTest, SplitsSwissAndSpiralGrowFromSeveralPlaces) {
    Open(16, 3);
    Play(kFxHSplit, 1);
    EXPECT_EQ(frames.size(), 5u);
    ExpectFrame(1, [](int32_t x, int32_t y) { return x == 4 || x == 12 ? New(x, y) : Old(x, y); });
    Open(20, 20);
    Play(kFxSwiss, 2); // four corner blocks of 2 x 3
    EXPECT_EQ(frames.size(), 5u);
    ExpectFrame(1, [](int32_t x, int32_t y) { return (x < 2 || x >= 18) && (y < 3 || y >= 17) ? New(x, y) : Old(x, y); });
    // SPIRAL counts its frames by a dry run: the count an async run reports is the frames it plays.
    for (auto [bw, bh] : {std::pair{1, 1}, {6, 5}, {320, 200}}) {
        Open(320, 200);
        Brush *brush = nullptr;
        ASSERT_EQ(CreateBrushRecord(ObjectId{bw * 1000 + bh, nullptr}, bw, bh, 0xFF00, 0, 0, 0, &brush), 0);
        for (double speed : {-1.0, 1.0, 7.0, 100.0}) {
            ASSERT_EQ(Cmd("DisplayBrushFX", {double(bw * 1000 + bh), 0.0, 0.0},
                          scenetest::Options{{"type", double(kFxSpiral)}, {"speed", speed}, {"async", 1.0}}),
                      0);
            AsyncDrawObject *object = FindAsyncDraw(ResultHandle());
            ASSERT_NE(object, nullptr);
            const intptr_t count = object->notify(kAsyncNotifyFrameCount, nullptr, object->context);
            int32_t finished = 0, played = 0;
            while (!finished && played < 100000) {
                ASSERT_EQ(StepAsyncDraw(object, &finished), 0);
                played++;
            }
            EXPECT_EQ(played, count) << bw << "x" << bh << " speed " << speed;
            FreeAllAsyncDraws();
        }
    }
}

TEST_F(FamilyTest, ScrollsBringTheNewPictureInFromOutside) {
    Open(64, 8);
    Play(kFxScrollLeft, 10); // from x -64, 10 pixels a frame
    ASSERT_EQ(frames.size(), 7u);
    ExpectFrame(1, [](int32_t x, int32_t y) { return x < 10 ? New(x + 54, y) : Old(x, y); });
    Play(kFxScrollSouthEast, 16); // x at the speed, the 8 lines of y spread over the same 4 frames
    ASSERT_EQ(frames.size(), 4u);
    ExpectFrame(1, [](int32_t x, int32_t y) { return x >= 48 && y >= 6 ? New(x - 48, y - 6) : Old(x, y); });
}

TEST_F(FamilyTest, SqueezedPicturesTurnFlipStretchAndZoom) {
    const uint32_t blue = 0x0000FF;
    Open(8, 120);
    Play(kFxVFlipCoin, 60, blue); // old 60 lines, old 1 line, new 60 lines, new whole
    ASSERT_EQ(frames.size(), 4u);
    const auto band = [&](size_t index, int32_t top, int32_t lines, uint32_t (*picture)(int32_t, int32_t)) {
        ExpectFrame(index, [&](int32_t x, int32_t y) { return y < top || y >= top + lines ? blue : At(frames[index - 1], x, y); });
        // Each line of the band is some whole line of the squeezed picture.
        for (int32_t y = top; y < top + lines; y++) {
            bool found = false;
            for (int32_t row = 0; row < 120 && !found; row++) {
                found = true;
                for (int32_t x = 0; x < 8; x++) found = found && At(frames[index - 1], x, y) == picture(x, row);
            }
            EXPECT_TRUE(found) << "frame " << index << " line " << y;
        }
    };
    band(1, 30, 60, Old);
    band(2, 59, 1, Old);
    band(3, 30, 60, New);
    ExpectFrame(4, New);
    Play(kFxVFlipCoin, 60); // a random parameter fills with black
    EXPECT_EQ(At(frames[0], 0, 0), 0u);
    Open(8, 100);
    Play(kFxVFlipCoin, -2); // step 3 overshoots 200: the last frame is still the whole new picture
    ExpectFrame(frames.size(), New);
    Open(10, 10);
    Play(kFxTurnDownTop, 5); // the new top half unfolds at its own size
    ASSERT_EQ(frames.size(), 2u);
    ExpectFrame(1, [](int32_t x, int32_t y) { return y < 5 ? New(x, y) : Old(x, y); });
    Open(100, 10);
    Play(kFxStretchLeft, 50);
    ASSERT_EQ(frames.size(), 2u);
    for (int32_t y = 0; y < 10; y++)
        for (int32_t x = 50; x < 100; x++) ASSERT_EQ(At(frames[0], x, y), Old(x, y)) << x << "," << y;
    Open(40, 40);
    Play(kFxZoomIn, -1, blue); // at the turn only a 1 x 2 block of the old picture is left
    ASSERT_EQ(frames.size(), 80u);
    for (int32_t y = 0; y < 40; y++)
        for (int32_t x = 0; x < 40; x++) {
            const bool block = x == 19 && (y == 19 || y == 20);
            ASSERT_EQ(At(frames[39], x, y) == blue, !block) << x << "," << y;
        }
}

} // namespace
