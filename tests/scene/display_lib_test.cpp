// The display commands: opening, closing, selecting, sizing, moving, hiding, freeing and mode changes, with
// their argument checks.
#include "imaging/async_draw.h"
#include "imaging/image_ops.h"
#include "imaging/position.h"
#include "host/event_queue.h"
#include "runtime/app/object_kinds.h"
#include "tests/scene/display_open_fixture.h"

namespace {

using displaytest::DisplayTest;
using scenetest::Options;

struct DisplayLibTest : DisplayTest {
    DisplayRecord *one = nullptr, *two = nullptr;
    void SetUp() override {
        DisplayTest::SetUp();
        one = MakeCurrent(1, Options{{"width", 64.0}, {"height", 48.0}, {"active", 1.0}});
        two = Make(2, Options{{"width", 32.0}, {"height", 24.0}});
    }
    // Kinds of the queued events that name the display, oldest first.
    std::vector<int32_t> QueuedKinds(const DisplayRecord *display) {
        std::vector<int32_t> kinds;
        EventInfo info;
        for (int i = 0; FetchEvent(vm, i, &info, 0); i++)
            if (info.display == display) kinds.push_back(info.kind);
        return kinds;
    }
};

TEST_F(DisplayLibTest, OpenDisplayTwiceGives1055) {
    ASSERT_EQ(Cmd("OpenDisplay", {2.0}), 0);
    EXPECT_EQ(Cmd("OpenDisplay", {2.0}), 1055);
}

// Refusals on the displays as the fixture makes them: one current, both closed. None changes a display.
TEST_F(DisplayLibTest, RefusedArguments) {
    struct Case {
        const char *command;
        std::vector<vmtest::Arg> args;
        int code;
    };
    const Case cases[] = {
        {"CloseDisplay", {2.0}, 1055},
        {"FreeDisplay", {1.0}, 1346}, // the current display
        {"HideDisplay", {}, 1055},
        {"ChangeDisplaySize", {double(KEEPASPRAT), double(KEEPASPRAT)}, 1055},
        {"ChangeDisplaySize", {0.0, 10.0}, 1218},
        {"ChangeDisplayMode", {2.0, 0.0, 480.0}, 1055},
        {"ChangeDisplayMode", {3.0}, 1055},
        {"ChangeDisplayMode", {2.0}, kErrNumberExpected},
    };
    for (const Case &c : cases) EXPECT_EQ(Cmd(c.command, c.args), c.code) << c.command;
    EXPECT_EQ(one->width, 64);
    EXPECT_EQ(one->state, DISPSTATE_CLOSED);
    EXPECT_EQ(CountDisplays(), 2);
    EXPECT_EQ(Cmd("ChangeDisplayMode", {1.0}), 0);
    EXPECT_EQ(OwnScreenFlag, 0);
}

TEST_F(DisplayLibTest, OpenDisplayMakesItCurrentUnlessAskedNotTo) {
    ASSERT_EQ(Cmd("OpenDisplay", {2.0, 1.0}), 0);
    EXPECT_EQ(CurrentDisplay, one);
    EXPECT_EQ(two->state, DISPSTATE_OPEN);
    ASSERT_EQ(Cmd("CloseDisplay", {2.0}), 0);
    ASSERT_EQ(Cmd("OpenDisplay", {2.0}), 0);
    EXPECT_EQ(CurrentDisplay, two);
    EXPECT_EQ(CurrentBGPic, two->picture);
}

TEST_F(DisplayLibTest, CloseDisplayClosesTheWindowAndKeepsTheCurrentDisplay) {
    ASSERT_EQ(Cmd("OpenDisplay", {1.0}), 0);
    ASSERT_EQ(Cmd("CloseDisplay", {1.0}), 0);
    EXPECT_EQ(one->state, DISPSTATE_CLOSED);
    EXPECT_FALSE(one->hostWindow->open);
    EXPECT_EQ(CurrentDisplay, one);
}

TEST_F(DisplayLibTest, SelectingAClosedDisplayDrawsIntoItsPicture) {
    ASSERT_EQ(Cmd("SelectDisplay", {2.0}), 0);
    EXPECT_EQ(CurrentDisplay, two);
    EXPECT_EQ(two->state, DISPSTATE_CLOSED);
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 2, 2, 0xFFFFFF, 0, 0, 0), 0);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 0.0, 0.0}), 0);
    EXPECT_EQ(scenetest::Pixel(two->firstBitmap, 1, 1), 0xFFFFFFu);
    EXPECT_EQ(scenetest::Pixel(one->firstBitmap, 1, 1), 0u);
}

TEST_F(DisplayLibTest, UnknownDisplayGives1344WithItsNumber) {
    EXPECT_EQ(Cmd("FreeDisplay", {7.0}), 1344);
    EXPECT_EQ(GetErrorText(1344), "Could not find display 7!");
    EXPECT_EQ(Cmd("OpenDisplay", {7.0}), 1344);
}

TEST_F(DisplayLibTest, FreeDisplayRefusesADisplayWithAsyncDraws) {
    CurrentDisplay = two;
    AsyncDrawObject *handle = nullptr;
    ASSERT_EQ(CreateAsyncDraw(ADF_FX, nullptr, nullptr, nullptr, nullptr, nullptr, &handle), 0);
    CurrentDisplay = one;
    EXPECT_EQ(Cmd("FreeDisplay", {2.0}), 1380);
    FreeAllAsyncDraws();
    EXPECT_EQ(Cmd("FreeDisplay", {2.0}), 0);
    EXPECT_EQ(CountDisplays(), 1);
}

TEST_F(DisplayLibTest, ChangeDisplaySizeRecentres) {
    ASSERT_EQ(Cmd("OpenDisplay", {1.0}), 0);
    ASSERT_EQ(Cmd("ChangeDisplaySize", {320.0, 240.0}), 0);
    EXPECT_EQ(one->width, 320);
    EXPECT_EQ(one->x, (ScreenWidth() - 320) / 2);
    EXPECT_EQ(one->y, (ScreenHeight() - 240) / 2);
    EXPECT_EQ(one->hostWindow->width, 320);
    EXPECT_EQ(one->picture->current.height, 240);
}

TEST_F(DisplayLibTest, ChangeDisplaySizeCanKeepThePosition) {
    ASSERT_EQ(Cmd("OpenDisplay", {1.0}), 0);
    const int32_t x = one->x, y = one->y;
    ASSERT_EQ(Cmd("ChangeDisplaySize", {100.0, 80.0}, Options{{"x", double(KEEPPOSITION)}, {"y", double(KEEPPOSITION)}}),
              0);
    EXPECT_EQ(one->x, x);
    EXPECT_EQ(one->y, y);
    EXPECT_EQ(one->height, 80);
}

TEST_F(DisplayLibTest, ChangeDisplaySizeInPercentOfThePicture) {
    ASSERT_EQ(Cmd("ChangeDisplaySize", {std::string("50%"), std::string("50%")}), 0);
    EXPECT_EQ(one->width, 32);
    EXPECT_EQ(one->height, 24);
}

TEST_F(DisplayLibTest, ChangeDisplaySizeKeepsTheAspectRatio) {
    ASSERT_EQ(Cmd("ChangeDisplaySize", {128.0, double(KEEPASPRAT)}), 0);
    EXPECT_EQ(one->height, 96);
}

TEST_F(DisplayLibTest, ChangeDisplaySizeBeyondTheScreenGives1085) {
    EXPECT_EQ(Cmd("ChangeDisplaySize", {8000.0, 30.0}), 1085);
    EXPECT_EQ(GetErrorText(1085), "Unable to change display size to 8000x30 !");
    EXPECT_EQ(one->width, 64);
}

TEST_F(DisplayLibTest, ChangeDisplaySizeJustBeyondAHeadlessScreenGives1085) {
    ASSERT_EQ(SetHeadlessScreenSize(320, 200), 0);
    ASSERT_EQ(Cmd("OpenDisplay", {1.0}), 0);
    EXPECT_EQ(Cmd("ChangeDisplaySize", {321.0, 200.0}), 1085);
    EXPECT_EQ(GetErrorText(1085), "Unable to change display size to 321x200 !");
    EXPECT_EQ(one->width, 64);
    EXPECT_EQ(one->hostWindow->width, 64);
}

TEST_F(DisplayLibTest, ChangeDisplaySizeToExactlyAHeadlessScreenFits) {
    ASSERT_EQ(SetHeadlessScreenSize(320, 200), 0);
    ASSERT_EQ(Cmd("OpenDisplay", {1.0}), 0);
    ASSERT_EQ(Cmd("ChangeDisplaySize", {320.0, 200.0}), 0);
    EXPECT_EQ(one->hostWindow->width, 320);
    EXPECT_EQ(one->x, 0);
    EXPECT_EQ(one->y, 0);
}

TEST_F(DisplayLibTest, HideAndShowMoveBetweenOpenAndMinimised) {
    ASSERT_EQ(Cmd("OpenDisplay", {1.0}), 0);
    RemoveEvent(vm, -1, 1);
    EXPECT_EQ(Cmd("ShowDisplay", {}), 1055);
    ASSERT_EQ(Cmd("HideDisplay", {}), 0);
    EXPECT_EQ(one->state, DISPSTATE_MINIMIZED);
    EXPECT_EQ(QueuedKinds(one), std::vector<int32_t>{kEventWindowHidden});
    EXPECT_EQ(Cmd("HideDisplay", {}), 1055);
    EXPECT_EQ(Cmd("OpenDisplay", {1.0}), 1055);
    ASSERT_EQ(Cmd("ShowDisplay", {}), 0);
    EXPECT_EQ(one->state, DISPSTATE_OPEN);
    EXPECT_EQ(one->activateOnOpen, 1);
}

TEST_F(DisplayLibTest, SetTitleTakesAtMost255Bytes) {
    ASSERT_EQ(Cmd("OpenDisplay", {1.0}), 0);
    EXPECT_EQ(Cmd("SetTitle", {std::string(255, 'a')}), 0);
    EXPECT_EQ(std::string(one->title).size(), 255u);
    EXPECT_EQ(one->hostWindow->title.size(), 255u);
    EXPECT_EQ(Cmd("SetTitle", {std::string(256, 'b')}), 1055);
    EXPECT_EQ(one->title[0], 'a');
}

TEST_F(DisplayLibTest, MoveDisplayResolvesPositionConstants) {
    ASSERT_EQ(Cmd("OpenDisplay", {1.0}), 0);
    ASSERT_EQ(Cmd("MoveDisplay", {double(kPosRight), 10.0}), 0);
    EXPECT_EQ(one->x, ScreenWidth() - 64);
    EXPECT_EQ(one->y, 10);
    EXPECT_EQ(one->hostWindow->x, ScreenWidth() - 64);
}

TEST_F(DisplayLibTest, ActivateDisplayNeedsAnOpenDisplay) {
    EXPECT_EQ(Cmd("ActivateDisplay", {2.0}), 1055);
    ASSERT_EQ(Cmd("OpenDisplay", {2.0, 1.0}), 0);
    EXPECT_EQ(Cmd("ActivateDisplay", {2.0}), 0);
    EXPECT_TRUE(two->hostWindow->active);
}

} // namespace
