// Opening, closing, resizing and scaling displays on the offscreen driver: fit-to-screen arithmetic, regions,
// 1085, attribute changes in place or by reopening, user resizes, and the picture the window shows.
#include "host/blit.h"
#include "imaging/position.h"
#include "runtime/app/object_kinds.h"
#include "tests/scene/display_open_fixture.h"

namespace {

using displaytest::DisplayTest;
using scenetest::Options;
using scenetest::Pixel;
using scenetest::Region;
using scenetest::RegionList;

using DisplayOpenTest = DisplayTest;

TEST_F(DisplayOpenTest, FitScaleKeepsProportionsWithBordersTopAndBottom) {
    ASSERT_EQ(OpenOwnScreen(1280, 1024, 32), 0);
    DisplayRecord *d = Make(1, Options{{"width", 640.0}, {"height", 480.0}, {"borderless", 1.0},
                                       {"scalemode", 1.0}, {"fitscale", 1.0}, {"keepproportions", 1.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    EXPECT_EQ(d->width, 1280);
    EXPECT_EQ(d->height, 1024);
    EXPECT_EQ(d->scaledWidth, 1280);
    EXPECT_EQ(d->scaledHeight, 960);
    EXPECT_EQ(d->scaledTop, 32);
    EXPECT_EQ(d->scaledBottom, 32);
    EXPECT_EQ(d->scaledLeft, 0);
    EXPECT_EQ(d->scaledRight, 0);
}

TEST_F(DisplayOpenTest, KeptProportionsSplitAnOddRemainderLeftSmaller) {
    DisplayRecord *d = Make(1, Options{{"width", 640.0}, {"height", 480.0}});
    ComputeKeptProportions(d, 1285, 960);
    EXPECT_EQ(d->scaledWidth, 1280);
    EXPECT_EQ(d->scaledLeft, 2);
    EXPECT_EQ(d->scaledRight, 3);
}

TEST_F(DisplayOpenTest, KeepProportionsWithAMaskedPictureUsesTheWholeArea) {
    ASSERT_EQ(OpenOwnScreen(1280, 1024, 32), 0);
    HostBitmap *bitmap = AllocHostBitmap(640, 480);
    MaskPlane *mask = AllocMaskPlane(bitmap, 640, 480, false);
    ASSERT_EQ(CreateBGPicRecord(ObjectId{5, nullptr}, kBGPicPicture, 640, 480, 640, nullptr, bitmap, nullptr, -1,
                                mask, nullptr, nullptr, nullptr),
              0);
    DisplayRecord *d = Make(1, Options{{"bgpic", 5.0}, {"borderless", 1.0}, {"scalemode", 1.0},
                                       {"fitscale", 1.0}, {"keepproportions", 1.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    EXPECT_EQ(d->scaledWidth, 1280);
    EXPECT_EQ(d->scaledHeight, 1024);
    EXPECT_EQ(d->scaledTop + d->scaledBottom + d->scaledLeft + d->scaledRight, 0);
}

TEST_F(DisplayOpenTest, DisplayLargerThanTheScreenGives1085AndStaysClosed) {
    DisplayRecord *d = Make(1, Options{{"width", 8000.0}, {"height", 30.0}});
    ASSERT_GT(8000, ScreenWidth());
    EXPECT_EQ(RealizeDisplay(d, 0), 1085);
    EXPECT_EQ(GetErrorText(1085), "Unable to change display size to 8000x30 !");
    EXPECT_EQ(d->state, DISPSTATE_CLOSED);
    EXPECT_FALSE(d->hostWindow->open);
}

TEST_F(DisplayOpenTest, DefaultRegionsAreTheTopStripAndTheCorner) {
    DisplayRecord *d = Make(1, Options{{"width", 640.0}, {"height", 480.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    ASSERT_EQ(d->dragRegionCount, 1);
    ASSERT_EQ(d->sizeRegionCount, 1);
    const DisplayRegion &drag = d->dragRegions[0], &size = d->sizeRegions[0];
    EXPECT_EQ((std::vector<int32_t>{drag.x, drag.y, drag.width, drag.height}), (std::vector<int32_t>{0, 0, 640, 15}));
    EXPECT_EQ((std::vector<int32_t>{size.x, size.y, size.width, size.height}),
              (std::vector<int32_t>{630, 470, 10, 10}));
    ASSERT_EQ(d->hostWindow->dragRegions.size(), 1u);
    EXPECT_EQ(d->hostWindow->dragRegions[0].height, 15);
}

TEST_F(DisplayOpenTest, ScriptRegionOutsideTheDisplayIsClamped) {
    DisplayRecord *d = Make(1, Options{{"width", 640.0}, {"height", 480.0},
                                       {"dragregion", RegionList{{Region(700, 10, 50, 50)}, 0}}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    const DisplayRegion &r = d->dragRegions[0];
    EXPECT_EQ((std::vector<int32_t>{r.x, r.y, r.width, r.height}), (std::vector<int32_t>{639, 10, 1, 50}));
}

TEST_F(DisplayOpenTest, CentredDisplayIsPlacedInTheMiddleOfTheScreen) {
    DisplayRecord *d = Make(1, Options{{"width", 200.0}, {"height", 100.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    EXPECT_EQ(d->x, (ScreenWidth() - 200) / 2);
    EXPECT_EQ(d->y, (ScreenHeight() - 100) / 2);
}

TEST_F(DisplayOpenTest, OpenWindowShowsThePicture) {
    DisplayRecord *d = Make(1, Options{{"width", 40.0}, {"height", 20.0}, {"color", double(0x336699)}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    std::vector<uint32_t> shown = displaytest::WindowPixels(d->hostWindow);
    ASSERT_EQ(shown.size(), 800u);
    EXPECT_EQ(shown[0], 0x336699u);
    EXPECT_EQ(shown[799], 0x336699u);
}

TEST_F(DisplayOpenTest, ClosingAndReopeningGivesANewWindow) {
    DisplayRecord *d = Make(1, Options{{"width", 40.0}, {"height", 20.0}});
    ASSERT_EQ(RealizeDisplay(d, 1), 0);
    EXPECT_EQ(d->activateOnOpen, 1);
    UnrealizeDisplay(d, nullptr);
    EXPECT_EQ(d->state, DISPSTATE_CLOSED);
    EXPECT_EQ(d->activateOnOpen, 0);
    EXPECT_FALSE(d->hostWindow->open);
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    EXPECT_TRUE(d->hostWindow->open);
}

TEST_F(DisplayOpenTest, NewTitleIsSetWithoutReopening) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 40.0}, {"height", 20.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    const uint32_t id = HostWindowId(d->hostWindow);
    ASSERT_EQ(Cmd("SetDisplayAttributes", {}, Options{{"title", std::string("Renamed")}}), 0);
    EXPECT_STREQ(d->title, "Renamed");
    EXPECT_EQ(d->hostWindow->title, "Renamed");
    EXPECT_EQ(HostWindowId(d->hostWindow), id);
    EXPECT_EQ(d->width, 40);
}

TEST_F(DisplayOpenTest, TogglingBorderlessReopensInPlace) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 40.0}, {"height", 20.0}, {"x", 30.0}, {"y", 40.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    const uint32_t id = HostWindowId(d->hostWindow);
    ASSERT_EQ(Cmd("SetDisplayAttributes", {}, Options{{"borderless", 1.0}}), 0);
    EXPECT_NE(HostWindowId(d->hostWindow), id);
    EXPECT_TRUE(d->flags & kDisplayBorderless);
    EXPECT_EQ(d->x, 30 + d->borderLeft);
    EXPECT_EQ(d->state, DISPSTATE_OPEN);
}

TEST_F(DisplayOpenTest, BadOptionLeavesTheDisplayUnchanged) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 40.0}, {"height", 20.0}, {"title", std::string("Kept")}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    EXPECT_EQ(Cmd("SetDisplayAttributes", {}, Options{{"width", 80.0}, {"fillstyle", 9.0}}), 1055);
    EXPECT_EQ(d->width, 40);
    EXPECT_EQ(d->picture->current.width, 40);
    EXPECT_STREQ(d->title, "Kept");
}

TEST_F(DisplayOpenTest, NewSizeThroughAttributesResizesThePicture) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 40.0}, {"height", 20.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    ASSERT_EQ(Cmd("SetDisplayAttributes", {}, Options{{"width", 80.0}, {"height", 30.0}}), 0);
    EXPECT_EQ(d->width, 80);
    EXPECT_EQ(d->picture->current.width, 80);
    EXPECT_EQ(d->hostWindow->width, 80);
    EXPECT_EQ(d->firstBitmap->height, 30);
}

TEST_F(DisplayOpenTest, UserResizeWithoutScalingScalesThePicture) {
    DisplayRecord *d = Make(1, Options{{"width", 40.0}, {"height", 20.0}, {"color", double(0xFF0000)}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    ASSERT_EQ(ResizeDisplay(vm, d, KEEPPOSITION, KEEPPOSITION, 80, 40, 0, 0, 0), 0);
    EXPECT_EQ(d->width, 80);
    EXPECT_EQ(d->picture->current.width, 80);
    EXPECT_EQ(d->picture->scaled.height, 40);
    EXPECT_EQ(Pixel(d->firstBitmap, 79, 39), 0xFF0000u);
    EXPECT_EQ(d->scaledWidth, 0);
}

TEST_F(DisplayOpenTest, WindowReportOfTheSameSizeChangesNothing) {
    DisplayRecord *d = Make(1, Options{{"width", 40.0}, {"height", 20.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    const HostBitmap *bitmap = d->firstBitmap;
    ASSERT_EQ(UserResizedDisplay(d, 40, 20), 0);
    EXPECT_EQ(d->firstBitmap, bitmap);
    ASSERT_EQ(UserResizedDisplay(d, 50, 20), 0);
    EXPECT_EQ(d->picture->current.width, 50);
}

TEST_F(DisplayOpenTest, UserResizeWithAutoScalingChangesOnlyTheScale) {
    DisplayRecord *d = Make(1, Options{{"width", 40.0}, {"height", 20.0}, {"scalemode", 1.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    ASSERT_EQ(ResizeDisplay(vm, d, KEEPPOSITION, KEEPPOSITION, 80, 60, 0, 0, 0), 0);
    EXPECT_EQ(d->picture->current.width, 40);
    EXPECT_EQ(d->scaledWidth, 80);
    EXPECT_EQ(d->scaledHeight, 60);
    EXPECT_DOUBLE_EQ(d->scaleX, 2.0);
    EXPECT_DOUBLE_EQ(d->scaleY, 3.0);
}

TEST_F(DisplayOpenTest, UserResizeThroughThePumpRescalesAnAutoScalingDisplay) {
    DisplayRecord *d = Make(1, Options{{"width", 40.0}, {"height", 20.0}, {"scalemode", 1.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    InjectWindowEvent(d->hostWindow, kEventWindowResized, 80, 60);
    PumpHostEvents(vm);
    EXPECT_EQ(d->width, 80);
    EXPECT_EQ(d->height, 60);
    EXPECT_EQ(d->picture->current.width, 40);
    EXPECT_EQ(d->scaledWidth, 80);
    EXPECT_EQ(d->scaledHeight, 60);
    EXPECT_DOUBLE_EQ(d->scaleX, 2.0);
    EXPECT_DOUBLE_EQ(d->scaleY, 3.0);
}

TEST_F(DisplayOpenTest, UserResizeThroughThePumpResizesAnUnscaledDisplaysPicture) {
    DisplayRecord *d = Make(1, Options{{"width", 40.0}, {"height", 20.0}, {"color", double(0xFF0000)}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    InjectWindowEvent(d->hostWindow, kEventWindowResized, 50, 30);
    PumpHostEvents(vm);
    EXPECT_EQ(d->picture->current.width, 50);
    EXPECT_EQ(d->picture->current.height, 30);
    EXPECT_EQ(Pixel(d->firstBitmap, 49, 29), 0xFF0000u);
}

TEST_F(DisplayOpenTest, AutoScaledDisplayOpensAtTheScaledSizeKeepingThePicture) {
    DisplayRecord *d = Make(1, Options{{"width", 20.0}, {"height", 10.0}, {"scalemode", 1.0},
                                       {"scalewidth", 40.0}, {"scaleheight", 20.0}, {"color", double(0x00FF00)}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    EXPECT_EQ(d->hostWindow->width, 40);
    EXPECT_EQ(d->hostWindow->height, 20);
    EXPECT_EQ(d->picture->current.width, 20);
    EXPECT_EQ(Pixel(d->firstBitmap, 19, 9), 0x00FF00u);
    EXPECT_DOUBLE_EQ(d->scaleX, 2.0);
}

TEST_F(DisplayOpenTest, ResizeBeyondTheScreenKeepsTheOldBox) {
    DisplayRecord *d = Make(1, Options{{"width", 40.0}, {"height", 20.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    const int32_t x = d->x, y = d->y;
    EXPECT_EQ(ResizeDisplay(vm, d, kPosCenter, kPosCenter, 8000, 20, 1, 0, 0), 1085);
    EXPECT_EQ(GetErrorText(1085), "Unable to change display size to 8000x20 !");
    EXPECT_EQ(d->width, 40);
    EXPECT_EQ(d->height, 20);
    EXPECT_EQ(d->x, x);
    EXPECT_EQ(d->y, y);
    EXPECT_EQ(d->picture->current.width, 40);
}

TEST_F(DisplayOpenTest, SwitchingAutoScalingOffReturnsToThePictureSize) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 20.0}, {"height", 10.0}, {"scalemode", 1.0},
                                              {"scalewidth", 40.0}, {"scaleheight", 20.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    ASSERT_EQ(Cmd("SetDisplayAttributes", {}, Options{{"scalemode", 0.0}}), 0);
    EXPECT_FALSE(d->autoScaling);
    EXPECT_EQ(d->scaledWidth, 0);
    EXPECT_EQ(d->width, 20);
    EXPECT_EQ(d->hostWindow->width, 20);
}

TEST_F(DisplayOpenTest, LayerScaledDisplayChangesThePictureSizeAndKeepsTheWindow) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 40.0}, {"height", 20.0}, {"scalemode", 2.0},
                                              {"scalewidth", 80.0}, {"scaleheight", 40.0}, {"color", double(0x0000FF)}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    ASSERT_EQ(Cmd("ChangeDisplaySize", {20.0, 10.0}), 0);
    EXPECT_EQ(d->picture->scaled.width, 20);
    EXPECT_EQ(d->hostWindow->width, 80);
    EXPECT_DOUBLE_EQ(d->scaleX, 4.0);
    ASSERT_EQ(Cmd("ChangeDisplaySize", {20.0, 10.0}), 0); // already that size: nothing to do
    EXPECT_EQ(d->picture->scaled.width, 20);
}

TEST_F(DisplayOpenTest, WindowAlphaSmallerThanThePictureIsCopiedOnlyWhereItExists) {
    HostBitmap *bitmap = AllocHostBitmap(8, 8);
    AlphaPlane *alpha = AllocAlphaPlane(8, 8, false);
    ASSERT_EQ(CreateBGPicRecord(ObjectId{5, nullptr}, kBGPicPicture, 8, 8, 8, nullptr, bitmap, nullptr, -1, nullptr,
                                alpha, nullptr, nullptr),
              0);
    DisplayRecord *d = Make(1, Options{{"bgpic", 5.0}});
    d->windowAlpha = AllocAlphaPlane(4, 4, false);
    std::fill(d->windowAlpha->bytes, d->windowAlpha->bytes + 4 * d->windowAlpha->bytesPerRow, uint8_t(0x7F));
    HostBitmap *target = AllocHostBitmap(8, 8);
    CopyDisplayAlphaToBitmap(d, target);
    EXPECT_EQ(HostBitmapRow32(target, 3)[3] >> 24, 0x7Fu);
    EXPECT_EQ(HostBitmapRow32(target, 4)[4] >> 24, 0u);
    FreeHostBitmap(target);
}

TEST_F(DisplayOpenTest, SwitchingToAnotherPictureTakesItsSizeAndShowsIt) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 40.0}, {"height", 20.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    BGPic *other = scenetest::MakePicture(ObjectId{5, nullptr}, 60, 30, 0xCC8844);
    int code = vmtest::RunCommand(vm, [](VMState *v) {
        return SwitchDisplayBGPic(v, ObjectId{5, nullptr}, kNoPosition, kNoPosition, 0, nullptr, nullptr);
    });
    ASSERT_EQ(code, 0);
    EXPECT_EQ(d->picture, other);
    EXPECT_EQ(CurrentBGPic, other);
    EXPECT_EQ(d->width, 60);
    EXPECT_EQ(d->hostWindow->width, 60);
    EXPECT_EQ(d->x, (ScreenWidth() - 60) / 2); // a new size re-centres when no position is given
    std::vector<uint32_t> shown = displaytest::WindowPixels(d->hostWindow);
    ASSERT_EQ(shown.size(), 1800u);
    EXPECT_EQ(shown[1799], 0xCC8844u);
    CurrentDisplay = nullptr;
    ASSERT_EQ(FreeDisplayById(vm, ObjectId{1, nullptr}), 0);
    BGPic *still = nullptr;
    EXPECT_EQ(FindBGPic(ObjectId{5, nullptr}, &still, 0), 0); // freeing the display leaves the shown picture
}

} // namespace
