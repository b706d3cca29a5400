// Start-up of the first display and display-mode switches: the screen size a display needs, the display modes
// (with a scripted requester), the rebuild order, the backfill, "And Action!", and switching between window and
// full screen.
#include <string>

#include "host/input.h"
#include "host/keys.h"
#include "host/event_queue.h"
#include "host/requester.h"
#include "host/screen.h"
#include "runtime/app/errors.h"
#include "tests/scene/display_open_fixture.h"

namespace {

using displaytest::DisplayTest;
using scenetest::Options;

std::string CapturedDebug;
void CaptureDebug(const char *bytes, size_t length) { CapturedDebug.append(bytes, length); }

void IgnoreConsole(const char *, size_t) {}

std::string RequesterAnswerText;
int ModeChoice = -1; // the screen mode picked from the list, -1 to cancel
std::vector<std::string> ModesShown;
int ScriptedRequester(const RequesterRequest &request, RequesterAnswer *answer) {
    if (request.kind == RequesterList) {
        ModesShown = request.items;
        answer->ok = ModeChoice >= 0;
        answer->button = ModeChoice;
        return 0;
    }
    // Buttons answer 1, 2, ... from the left and 0 for the rightmost.
    const std::string buttons = request.buttons;
    int index = 0;
    size_t start = 0;
    std::vector<std::string> names;
    while (true) {
        size_t bar = buttons.find('|', start);
        names.push_back(buttons.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    for (size_t i = 0; i < names.size(); i++)
        if (names[i] == RequesterAnswerText) index = i + 1 == names.size() ? 0 : int(i + 1);
    answer->button = index;
    return 0;
}

std::vector<std::string> RebuildOrder;
int RecordAnims() {
    RebuildOrder.push_back("anims");
    return 0;
}
int RecordSprites() {
    RebuildOrder.push_back("sprites");
    return 1000;
}
int RecordFonts() {
    RebuildOrder.push_back("fonts");
    return 0;
}

struct StartupTest : DisplayTest {
    DisplayConfig config;
    void SetUp() override {
        DisplayTest::SetUp();
        config.appletSettings.push_back({"width", SettingValue{}});
        CapturedDebug.clear();
        DebugWriteHook = CaptureDebug;
        ConsoleWriteHook = IgnoreConsole;
        QuietMode = 0;
    }
    void TearDown() override {
        DebugWriteHook = nullptr;
        ConsoleWriteHook = nullptr;
        SetRequesterBackend(nullptr);
        SetScreenGrabBackend(nullptr);
        QuietMode = 1;
        DisplayTest::TearDown();
    }
    int Start() { return OpenFirstDisplay(vm, &config, nullptr); }
};

TEST_F(StartupTest, BorderedDisplayOnAScreenOfItsSizeLosesItsFrame) {
    DisplayRecord *d = Make(1, Options{{"width", 640.0}, {"height", 480.0}});
    d->borderWidth = 8;
    d->borderHeight = 24;
    config.screenWidth = 640;
    config.screenHeight = 480;
    int32_t w = 0, h = 0;
    ComputeDisplayScreenSize(config, d, &w, &h);
    EXPECT_TRUE(d->flags & kDisplayBorderless);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
}

TEST_F(StartupTest, ScreenSizeMinusOneIsTheDisplaysOuterSize) {
    DisplayRecord *d = Make(1, Options{{"width", 300.0}, {"height", 200.0}});
    d->borderWidth = 8;
    d->borderHeight = 24;
    config.screenWidth = -1;
    int32_t w = 0, h = 0;
    ComputeDisplayScreenSize(config, d, &w, &h);
    EXPECT_EQ(w, 308);
    EXPECT_EQ(h, 224);
}

TEST_F(StartupTest, ScreenSizeZeroIsTheCurrentScreen) {
    DisplayRecord *d = Make(1, Options{{"width", 300.0}, {"height", 200.0}});
    int32_t w = 0, h = 0;
    ComputeDisplayScreenSize(config, d, &w, &h);
    EXPECT_EQ(w, ScreenWidth());
    EXPECT_EQ(h, ScreenHeight());
}

TEST_F(StartupTest, MissingDisplayOneGives1344) {
    Make(2, Options{{"width", 30.0}, {"height", 20.0}});
    EXPECT_EQ(Start(), 1344);
}

TEST_F(StartupTest, AppletWithoutDisplaySettingsGetsADefaultDisplay) {
    config.appletSettings.clear();
    ASSERT_EQ(Start(), 0);
    ASSERT_NE(CurrentDisplay, nullptr);
    EXPECT_EQ(CurrentDisplay->id.number, 1);
    EXPECT_EQ(CurrentDisplay->state, DISPSTATE_OPEN);
}

TEST_F(StartupTest, DisplayDesktopRefusesAutoScaling) {
    Make(1, Options{{"width", 30.0}, {"height", 20.0}, {"scalemode", 1.0}});
    config.displayDesktop = 1;
    EXPECT_EQ(Start(), 1312);
}

// The screen as a desktop would show it: each pixel tells its position.
int GradientScreen(int32_t x, int32_t y, HostBitmap *into) {
    for (int32_t row = 0; row < into->height; row++)
        for (int32_t column = 0; column < into->width; column++)
            HostBitmapRow32(into, row)[column] = uint32_t(0x800000 | (x + column) << 8 | (y + row));
    return 0;
}

TEST_F(StartupTest, DisplayDesktopSetsExactlyItsFlagsAndCopiesTheGrab) {
    DisplayRecord *d = Make(1, Options{{"width", 30.0}, {"height", 20.0}, {"sizeable", 1.0}, {"color", double(0xFFFFFF)}});
    config.displayDesktop = 1;
    SetScreenGrabBackend(GradientScreen);
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(d->flags, 0x42du);
    ASSERT_NE(DesktopGrab, nullptr);
    EXPECT_EQ(DesktopGrab->width, ScreenWidth());
    EXPECT_EQ(scenetest::Pixel(d->picture->base.bitmap, 29, 19), 0x801D13u);
}

TEST_F(StartupTest, DisplayDesktopWithoutADesktopToReadEndsTheStartUp) {
    Make(1, Options{{"width", 30.0}, {"height", 20.0}});
    config.displayDesktop = 1;
    EXPECT_EQ(Start(), kErrScreenUnreadable); // the headless driver shows no desktop
    EXPECT_EQ(DesktopGrab, nullptr);
}

TEST_F(StartupTest, DisplayDesktopLargerThanTheScreenIsBlackBeyondTheGrab) {
    DisplayRecord *d = Make(1, Options{{"width", 30.0}, {"height", 20.0}, {"color", double(0xFFFFFF)}});
    config.displayDesktop = 1;
    SetScreenGrabBackend(GradientScreen);
    ASSERT_EQ(OpenOwnScreen(16, 8, 32), 0); // a screen smaller than display 1
    OwnScreenFlag = 1;
    // The window cannot open on such a screen; the picture is what matters here.
    EXPECT_EQ(Start(), 1085);
    EXPECT_EQ(DesktopGrab->width, 16);
    EXPECT_EQ(scenetest::Pixel(d->picture->base.bitmap, 15, 7), 0x800F07u);
    EXPECT_EQ(scenetest::Pixel(d->picture->base.bitmap, 29, 19), 0u);
}

TEST_F(StartupTest, AskingForWindowedOpensAWindowWithoutBackfill) {
    Make(1, Options{{"width", 30.0}, {"height", 20.0}});
    config.mode = kDisplayModeAsk;
    RequesterAnswerText = "Windowed";
    SetRequesterBackend(ScriptedRequester);
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(OwnScreenFlag, 0);
    EXPECT_EQ(CountDisplays(), 1);
    EXPECT_EQ(BackfillDisplayId.handle, nullptr);
}

// Headless or without a desktop no requester can be shown: the window, not the manual-select list that the
// rightmost button's answer would ask for next.
TEST_F(StartupTest, AskingWithoutARequesterOpensAWindow) {
    Make(1, Options{{"width", 30.0}, {"height", 20.0}});
    config.mode = kDisplayModeAsk;
    SetRequesterBackend([](const RequesterRequest &, RequesterAnswer *) { return kErrOutOfMemory; });
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(OwnScreenFlag, 0);
    EXPECT_EQ(CountDisplays(), 1);
}

TEST_F(StartupTest, AskingForFullScreenMakesABlackBackfillBehindABorderlessDisplay) {
    DisplayRecord *d = Make(1, Options{{"width", 30.0}, {"height", 20.0}});
    config.mode = kDisplayModeAsk;
    RequesterAnswerText = "Full screen (best fit)";
    SetRequesterBackend(ScriptedRequester);
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(OwnScreenFlag, 1);
    EXPECT_TRUE(d->flags & kDisplayBorderless);
    EXPECT_TRUE(d->flags & kDisplayFixed);
    ASSERT_EQ(CountDisplays(), 2);
    DisplayRecord *backfill = DisplayList;
    EXPECT_TRUE(backfill->private1);
    EXPECT_EQ(backfill->id.handle, BackfillDisplayId.handle);
    EXPECT_EQ(backfill->width, ScreenWidth());
    EXPECT_EQ(backfill->height, ScreenHeight());
    EXPECT_EQ(backfill->y, 0);
    EXPECT_EQ(scenetest::Pixel(backfill->firstBitmap, 0, 0), 0u);
    EXPECT_EQ(backfill->state, DISPSTATE_OPEN);
    EXPECT_EQ(CurrentDisplay, d);
}

TEST_F(StartupTest, ManualSelectOpensTheScreenInTheModeTheUserPicks) {
    ASSERT_EQ(SetHeadlessScreenSize(320, 200), 0); // the headless driver's one mode
    DisplayRecord *d = Make(1, Options{{"width", 30.0}, {"height", 20.0}});
    config.mode = kDisplayModeAsk;
    config.screenWidth = config.screenHeight = -1; // best fit would make the screen the display's size
    RequesterAnswerText = "Full screen (manual select)";
    ModeChoice = 0;
    SetRequesterBackend(ScriptedRequester);
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(ModesShown, std::vector<std::string>{"320 x 200"});
    EXPECT_EQ(OwnScreenFlag * ScreenWidth() * ScreenHeight(), 320 * 200);
    EXPECT_EQ(CurrentDisplay, d);
}

TEST_F(StartupTest, CancelledScreenModeRequesterEndsTheStartUpAsAUserAbort) {
    Make(1, Options{{"width", 30.0}, {"height", 20.0}});
    config.mode = kDisplayModeFullScreenChosen;
    ModeChoice = -1;
    SetRequesterBackend(ScriptedRequester);
    EXPECT_EQ(Start(), kErrUserAbort);
    EXPECT_EQ(OwnScreenFlag, 0);
}

TEST_F(StartupTest, RebuildsRunInOrderAndTheFirstErrorStops) {
    Make(1, Options{{"width", 30.0}, {"height", 20.0}});
    RebuildOrder.clear();
    RebuildAllAnimsHook = RecordAnims;
    RebuildAllSpritesHook = RecordSprites;
    MakePendingFontBitmapsHook = RecordFonts;
    EXPECT_EQ(Start(), 1000);
    EXPECT_EQ(RebuildOrder, (std::vector<std::string>{"anims", "sprites"}));
    EXPECT_EQ(CurrentDisplay, nullptr);
}

TEST_F(StartupTest, AndActionIsPrintedUnlessQuiet) {
    Make(1, Options{{"width", 30.0}, {"height", 20.0}});
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(CapturedDebug, "And Action!\n");
    EXPECT_EQ(QuietMode, 1);
}

TEST_F(StartupTest, QuietStartUpPrintsNothing) {
    Make(1, Options{{"width", 30.0}, {"height", 20.0}});
    QuietMode = 1;
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(CapturedDebug, "");
}

TEST_F(StartupTest, FirstActiveVisibleDisplayBecomesCurrentAndHiddenOnesStayClosed) {
    DisplayRecord *first = Make(1, Options{{"width", 30.0}, {"height", 20.0}});
    DisplayRecord *hidden = Make(2, Options{{"width", 30.0}, {"height", 20.0}, {"hidden", 1.0}, {"active", 1.0}});
    DisplayRecord *active = Make(3, Options{{"width", 30.0}, {"height", 20.0}, {"active", 1.0}});
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(CurrentDisplay, active);
    EXPECT_EQ(CurrentBGPic, active->picture);
    EXPECT_EQ(hidden->state, DISPSTATE_CLOSED);
    EXPECT_EQ(first->state, DISPSTATE_OPEN);
}

TEST_F(StartupTest, WithoutAnActiveDisplayDisplayOneIsCurrent) {
    DisplayRecord *first = Make(1, Options{{"width", 30.0}, {"height", 20.0}});
    Make(2, Options{{"width", 30.0}, {"height", 20.0}});
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(CurrentDisplay, first);
}

TEST_F(StartupTest, PreloadedBrushIsRebuiltBeforeTheDisplayOpens) {
    PreloadActive = 1;
    Brush *b = nullptr;
    ASSERT_EQ(LoadBrushFile(ObjectId{1, nullptr}, displaytest::BrushData("plain.bmp").c_str(), {}, 1, &b), 0);
    Make(1, Options{{"width", 30.0}, {"height", 20.0}, {"color", double(0x0000FF)}});
    PreloadActive = 0;
    ASSERT_EQ(Start(), 0);
    ASSERT_NE(b->bitmap, nullptr);
    EXPECT_EQ(scenetest::Pixel(CurrentDisplay->firstBitmap, 29, 19), 0x0000FFu);
}

// ---- Mode switches ---------------------------------------------------------------------------------------------

struct ModeSwitchTest : StartupTest {
    DisplayRecord *d = nullptr;
    void SetUp() override {
        StartupTest::SetUp();
        d = Make(1, Options{{"width", 40.0}, {"height", 30.0}, {"sizeable", 1.0}, {"x", 5.0}, {"y", 5.0}});
        ASSERT_EQ(Start(), 0);
    }
};

TEST_F(ModeSwitchTest, WindowToWindowDoesNothing) {
    const uint32_t id = HostWindowId(d->hostWindow);
    EXPECT_EQ(SwitchDisplayMode(vm, 0, 0, 0), 0);
    EXPECT_EQ(HostWindowId(d->hostWindow), id);
    EXPECT_EQ(d->x, 5);
}

TEST_F(ModeSwitchTest, FullScreenMakesDisplaysBorderlessFixedAndCentred) {
    ASSERT_EQ(SwitchDisplayMode(vm, 1, 800, 600), 0);
    EXPECT_EQ(OwnScreenFlag, 1);
    EXPECT_TRUE(d->flags & kDisplayBorderless);
    EXPECT_TRUE(d->flags & kDisplayFixed);
    EXPECT_FALSE(d->flags & kDisplaySizeable);
    EXPECT_EQ(d->x, (800 - 40) / 2);
    EXPECT_EQ(d->state, DISPSTATE_OPEN);
    ASSERT_NE(BackfillDisplayId.handle, nullptr);
    EXPECT_EQ(CountDisplays(), 2);
}

TEST_F(ModeSwitchTest, FullScreenAtTheSameSizeDoesNothing) {
    ASSERT_EQ(SwitchDisplayMode(vm, 1, 800, 600), 0);
    void *backfill = BackfillDisplayId.handle;
    EXPECT_EQ(SwitchDisplayMode(vm, 1, 800, 600), 0);
    EXPECT_EQ(BackfillDisplayId.handle, backfill);
}

TEST_F(ModeSwitchTest, BackToAWindowGivesTheFrameBackAndDropsTheBackfill) {
    ASSERT_EQ(SwitchDisplayMode(vm, 1, 800, 600), 0);
    const int32_t pictures = CountBGPics();
    ASSERT_EQ(SwitchDisplayMode(vm, 0, 0, 0), 0);
    EXPECT_EQ(OwnScreenFlag, 0);
    EXPECT_FALSE(d->flags & kDisplayBorderless);
    EXPECT_FALSE(d->flags & kDisplayFixed);
    EXPECT_EQ(CountDisplays(), 1);
    EXPECT_EQ(CountBGPics(), pictures - 1);
    EXPECT_EQ(BackfillDisplayId.handle, nullptr);
    EXPECT_EQ(d->state, DISPSTATE_OPEN);
}

TEST_F(ModeSwitchTest, ResizedFullScreenRebuildsTheBackfill) {
    ASSERT_EQ(SwitchDisplayMode(vm, 1, 800, 600), 0);
    ASSERT_EQ(SwitchDisplayMode(vm, 1, 640, 480), 0);
    EXPECT_EQ(CountDisplays(), 2);
    EXPECT_EQ(DisplayList->width, 640);
}

// The screen the program returns to has another colour depth than the one it left.
int DepthLooks = 0;
int32_t DepthChangesAfterFirstLook() { return DepthLooks++ == 0 ? 32 : 16; }

TEST_F(ModeSwitchTest, ScreenOfAnotherDepthGives1350AndLeavesEverythingClosed) {
    ASSERT_EQ(SwitchDisplayMode(vm, 1, 800, 600), 0);
    DepthLooks = 0;
    ScreenDepthHook = DepthChangesAfterFirstLook;
    EXPECT_EQ(SwitchDisplayMode(vm, 0, 0, 0), 1350);
    EXPECT_EQ(OwnScreenFlag, 0);
    EXPECT_EQ(d->state, DISPSTATE_CLOSED);
}

TEST_F(ModeSwitchTest, KeyTogglesOnlyWhileTheDisplayIsTheOnlyOne) {
    ASSERT_NE(DisplayModeSwitchHook, nullptr);
    Make(2, Options{{"width", 10.0}, {"height", 10.0}});
    EXPECT_EQ(DisplayModeSwitchHook(d), 0);
    EXPECT_EQ(OwnScreenFlag, 0);
    CurrentDisplay = d;
    ASSERT_EQ(FreeDisplayById(vm, ObjectId{2, nullptr}), 0);
    EXPECT_EQ(DisplayModeSwitchHook(d), 1);
    EXPECT_EQ(OwnScreenFlag, 1);
    EXPECT_EQ(DisplayModeSwitchHook(d), 1); // the backfill in front does not count
    EXPECT_EQ(OwnScreenFlag, 0);
}

TEST_F(ModeSwitchTest, AltReturnThroughThePumpSwitchesAndQueuesTheSwitch) {
    RemoveEvent(vm, -1, 1);
    InjectKey(d->hostWindow, KeyReturn, 1, kQualifierLeftAlt);
    PumpHostEvents(vm);
    EXPECT_EQ(OwnScreenFlag, 1);
    bool queued = false;
    EventInfo info;
    for (int i = 0; FetchEvent(vm, i, &info, 0); i++) queued |= info.kind == kEventModeSwitched;
    EXPECT_TRUE(queued);
}

// The key centres a display on a desktop-sized screen; one that scales gets a screen of its own size.
TEST_F(ModeSwitchTest, KeyCentresAPlainDisplayAndGivesAScalingOneAScreenOfItsSize) {
    ASSERT_EQ(SetHeadlessScreenSize(200, 100), 0);
    for (int scales : {0, 1}) {
        d->autoScaling = scales;
        int32_t width = 0, height = 0;
        ASSERT_EQ(DisplayModeSwitchHook(d), 1);
        ASSERT_EQ(ReadScreenPixels(nullptr, &width, &height), 0);
        const std::vector<int32_t> got{width, height, d->hostWindow->x, d->hostWindow->y};
        EXPECT_EQ(got, scales ? std::vector<int32_t>({40, 30, 0, 0}) : std::vector<int32_t>({200, 100, 80, 35}));
        ASSERT_EQ(DisplayModeSwitchHook(d), 1);
    }
}

TEST_F(ModeSwitchTest, KeyIsIgnoredByANoModeSwitchDisplay) {
    d->flags |= kDisplayNoModeSwitch;
    EXPECT_EQ(DisplayModeSwitchHook(d), 0);
    EXPECT_EQ(OwnScreenFlag, 0);
}

} // namespace
