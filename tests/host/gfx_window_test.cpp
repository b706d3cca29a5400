#include "host/clock.h"
#include "host/input.h"
#include "host/keys.h"
#include "host/os/input_inject.h"
#include "host/os/sdl_window_os.h"
#include "host/blit.h"
#include "host/screen.h"
#include "host/tasks.h"
#include "host/window.h"

#include "host/event_queue.h"
#include "runtime/app/runtime_globals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

class GfxWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        ASSERT_EQ(EnsureVideo(), 0);
        InstallHostWaitAndPump();
        QuitRequested = 0;
        escapeSwitch = GetSystemOption(10);
        ASSERT_EQ(AllocHostWindow(display, &window), 0);
        window->x = 10, window->y = 20, window->width = 64, window->height = 48;
        window->title = "test";
        closeWindowFlagOn = false;
        ASSERT_EQ(OpenDisplayWindow(window, 1, nullptr, nullptr), 0);
        Drain();
    }
    void TearDown() override {
        UserResizedDisplayHook = nullptr;
        InjectQualifierKeys(0);
        SetHeadlessScreenSize(0, 0);
        FreeHostWindow(window);
        Drain();
        QuitRequested = 0;
        SetSystemOption(0, 10, escapeSwitch);
        // Leave the built-in wait and no pending signal to tests that follow in this process.
        SetPumpEventsFunction(nullptr);
        SetSystemWaitFunctions(nullptr, nullptr);
        WaitSystemSignalsTimeout(0, 0);
    }
    std::vector<EventInfo> Drain() {
        PumpEvents(nullptr, 0);
        std::vector<EventInfo> out;
        EventInfo info;
        for (int i = 0; FetchEvent(nullptr, i, &info, 1); i++) out.push_back(info);
        RemoveEvent(nullptr, -1, 1);
        return out;
    }
    static std::vector<int> Kinds(const std::vector<EventInfo> &events) {
        std::vector<int> kinds;
        for (const EventInfo &e : events) kinds.push_back(e.kind);
        return kinds;
    }
    int dummy = 0;
    DisplayRecord *display = reinterpret_cast<DisplayRecord *>(&dummy);
    HostWindow *window = nullptr;
    bool closeWindowFlagOn = false;
    int escapeSwitch = 0;
};

TEST_F(GfxWindow, OpensWithItsInnerSizeAndId) {
    EXPECT_TRUE(window->open);
    EXPECT_NE(HostWindowId(window), 0u);
    EXPECT_EQ(window->width, 64);
    EXPECT_EQ(std::count(OpenHostWindows().begin(), OpenHostWindows().end(), window), 1);
}

TEST_F(GfxWindow, ShowingHidingMovingAndActivationQueueTheirKinds) {
    InjectWindowEvent(window, kEventWindowMoved, 30, 40);
    InjectWindowEvent(window, kEventWindowHidden);
    InjectWindowEvent(window, kEventWindowShown);
    InjectWindowEvent(window, kEventWindowInactive);
    InjectWindowEvent(window, kEventWindowActive);
    InjectWindowEvent(window, kEventWindowResized, 80, 60);
    auto events = Drain();
    EXPECT_EQ(Kinds(events), (std::vector<int>{4, 9, 10, 6, 8, 5}));
    EXPECT_EQ(events[0].display, display);
    EXPECT_EQ(window->x, 30);
    EXPECT_EQ(window->width, 80);
}

TEST_F(GfxWindow, ProgramMadeChangesQueueTheirKindsOnce) {
    window->x = 70;
    MoveDisplayWindow(window);
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{kEventWindowMoved});
    MoveDisplayWindow(window); // no change
    EXPECT_TRUE(Drain().empty());
    window->width = 90;
    ChangeDisplayWindowBox(window);
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{kEventWindowResized});
    HideShowDisplayWindow(window, 1);
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{kEventWindowHidden});
    InjectWindowEvent(window, kEventWindowHidden); // the window system's echo
    EXPECT_TRUE(Drain().empty());
    HideShowDisplayWindow(window, 0);
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{kEventWindowShown});
}

// What the user-resize hook was last called with.
DisplayRecord *resizedDisplay = nullptr;
int32_t resizedWidth = 0, resizedHeight = 0;
int RecordUserResize(DisplayRecord *d, int32_t width, int32_t height) {
    resizedDisplay = d, resizedWidth = width, resizedHeight = height;
    return 0;
}

TEST_F(GfxWindow, WindowManagerResizeCallsTheUserResizeHookAfterQueueingIt) {
    resizedDisplay = nullptr;
    UserResizedDisplayHook = RecordUserResize;
    InjectWindowEvent(window, kEventWindowResized, 80, 60);
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{kEventWindowResized});
    EXPECT_EQ(resizedDisplay, display);
    EXPECT_EQ(resizedWidth, 80);
    EXPECT_EQ(resizedHeight, 60);
}

TEST_F(GfxWindow, FullScreenWindowsResizeDoesNotCallTheUserResizeHook) {
    HostWindow *full = nullptr;
    int other = 0;
    ASSERT_EQ(AllocHostWindow(reinterpret_cast<DisplayRecord *>(&other), &full), 0);
    full->width = 64, full->height = 48;
    full->flags = kWindowFullScreen;
    ASSERT_EQ(OpenDisplayWindow(full, 0, nullptr, nullptr), 0);
    Drain();
    resizedDisplay = nullptr;
    UserResizedDisplayHook = RecordUserResize;
    InjectWindowEvent(full, kEventWindowResized, 80, 60);
    Drain();
    EXPECT_EQ(resizedDisplay, nullptr);
    FreeHostWindow(full);
}

TEST_F(GfxWindow, InjectedResizeLeavesNoDifferenceForTheNextMoveToReport) {
    InjectWindowEvent(window, kEventWindowResized, 80, 60);
    Drain();
    window->x = 70;
    MoveDisplayWindow(window);
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{kEventWindowMoved});
    EXPECT_EQ(window->width, 80);
}

TEST_F(GfxWindow, ProgramsOwnResizeDoesNotCallTheUserResizeHook) {
    resizedDisplay = nullptr;
    UserResizedDisplayHook = RecordUserResize;
    window->width = 90;
    ChangeDisplayWindowBox(window);
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{kEventWindowResized});
    EXPECT_EQ(resizedDisplay, nullptr);
}

TEST_F(GfxWindow, OpeningActivatedQueuesShownAndMovesActivationToIt) {
    HostWindow *second = nullptr;
    int other = 0;
    ASSERT_EQ(AllocHostWindow(reinterpret_cast<DisplayRecord *>(&other), &second), 0);
    second->width = 8, second->height = 8;
    ASSERT_EQ(OpenDisplayWindow(second, 1, nullptr, nullptr), 0);
    auto events = Drain();
    ASSERT_EQ(Kinds(events), (std::vector<int>{kEventWindowShown, kEventWindowInactive, kEventWindowActive}));
    EXPECT_EQ(events[1].display, display);
    EXPECT_EQ(events[2].display, reinterpret_cast<DisplayRecord *>(&other));
    ActivateDisplayWindow(window);
    EXPECT_EQ(Kinds(Drain()), (std::vector<int>{kEventWindowInactive, kEventWindowActive}));
    FreeHostWindow(second);
}

TEST_F(GfxWindow, OpeningWithoutActivationQueuesOnlyShown) {
    HostWindow *second = nullptr;
    ASSERT_EQ(AllocHostWindow(display, &second), 0);
    second->width = 8, second->height = 8;
    ASSERT_EQ(OpenDisplayWindow(second, 0, nullptr, nullptr), 0);
    auto kinds = Kinds(Drain()); // a window system may still hand it the focus (X11 without a manager does)
    ASSERT_FALSE(kinds.empty());
    EXPECT_EQ(kinds[0], kEventWindowShown);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), kEventWindowShown), 1);
    FreeHostWindow(second);
}

TEST_F(GfxWindow, CloseGadgetWithFlagZeroRequestsQuit) {
    InjectWindowEvent(window, kEventCloseWindow);
    auto events = Drain();
    EXPECT_EQ(Kinds(events), std::vector<int>{7});
    EXPECT_EQ(QuitRequested.load(), 1);
    EXPECT_EQ(PumpEvents(nullptr, 0), 1);
}

TEST_F(GfxWindow, CloseGadgetWithFlagSetOnlyQueues) {
    window->closeWindowFlag = 1;
    InjectWindowEvent(window, kEventCloseWindow);
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{7});
    EXPECT_EQ(QuitRequested.load(), 0);
}

TEST_F(GfxWindow, ClosingTheWindowStopsItsEvents) {
    uint32_t id = HostWindowId(window);
    CloseDisplayWindow(window);
    EXPECT_FALSE(window->open);
    EXPECT_EQ(HostWindowId(window), 0u);
    EXPECT_NE(id, 0u);
    InjectWindowEvent(window, kEventCloseWindow);
    EXPECT_TRUE(Drain().empty());
}

TEST_F(GfxWindow, MouseButtonsGivePositionDownFlagAndKeepState) {
    InjectMouseButton(window, 1, 5, 6, 1);
    InjectMouseButton(window, 2, 7, 8, 1);
    InjectMouseButton(window, 3, 9, 10, 1);
    auto events = Drain();
    ASSERT_EQ(Kinds(events), (std::vector<int>{1, 2, 16}));
    EXPECT_EQ(events[0].x, 5);
    EXPECT_EQ(events[0].y, 6);
    EXPECT_EQ(events[0].down, 1);
    EXPECT_TRUE(window->mouseLeft && window->mouseRight && window->mouseMiddle);
    InjectMouseButton(window, 1, 5, 6, 0);
    events = Drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].down, 0);
    EXPECT_FALSE(window->mouseLeft);
}

TEST_F(GfxWindow, WheelDirectionsAreKindsElevenAndTwelve) {
    InjectMouseWheel(window, 1);
    InjectMouseWheel(window, -2);
    EXPECT_EQ(Kinds(Drain()), (std::vector<int>{11, 12}));
}

TEST_F(GfxWindow, MouseMotionSetsMovedFlagTimeAndPosition) {
    // The move time comes from the one clock, so the virtual clock decides it.
    InstallVirtualClock(0);
    AdvanceVirtualClock(123456789);
    InjectMouseMotion(window, 33, 44);
    EXPECT_TRUE(Drain().empty());
    RemoveVirtualClock();
    EXPECT_TRUE(window->mouseMoved);
    EXPECT_EQ(window->lastMouseMoveMicros, 123456789);
}

TEST_F(GfxWindow, KeysCarryCodeQualifierAndKeyState) {
    InjectKey(window, 'a', 1, kQualifierLeftShift);
    InjectKey(window, KeyF1 + 2, 1, 0);
    InjectKey(window, KeyReturn, 0, kQualifierControl);
    InjectKey(window, '2', 1, kQualifierRightShift);
    auto events = Drain();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, kEventKey);
    EXPECT_EQ(events[0].keyCode, 'A');
    EXPECT_EQ(events[0].down, 1);
    EXPECT_EQ(uint32_t(events[0].qualifier), kQualifierAlways | kQualifierLeftShift);
    EXPECT_EQ(events[1].keyCode, KeyF1 + 2);
    EXPECT_EQ(events[2].keyCode, KeyReturn);
    EXPECT_EQ(events[2].down, 0);
    EXPECT_EQ(uint32_t(events[2].qualifier), kQualifierAlways | kQualifierControl);
    EXPECT_EQ(events[3].keyCode, '@');
    EXPECT_EQ(window->keyState['A'], 1);
    EXPECT_EQ(window->keyState[KeyF1 + 2], 1);
    EXPECT_EQ(window->keyState[KeyReturn], 0);
}

TEST_F(GfxWindow, KeyGoesUpWithTheCodeItWentDownWith) {
    InjectKey(window, 'a', 1, kQualifierLeftShift);
    InjectKey(window, 'a', 0, 0); // shift was let go first
    auto events = Drain();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].keyCode, 'A');
    EXPECT_EQ(events[1].down, 0);
    EXPECT_EQ(window->keyState['A'], 0);
    EXPECT_EQ(window->keyState['a'], 0);
}

// Typed characters come from the layout's text: AltGr, dead keys and compose, text beyond ISO-8859-1, named keys
// whose text is no second key, shortcuts. Steps: key (0: text only), down, qualifiers, text after it (or null).
TEST_F(GfxWindow, TypedCharactersFollowTheLayoutsText) {
    struct Step { int32_t key; int down; uint32_t qualifiers; const char *text; };
    const std::pair<std::vector<Step>, std::string> cases[] = {
        {{{'q', 1, kQualifierRightAlt, "@"}, {'q', 0, 0, nullptr}}, "+64 -64 "}, // a German AltGr+Q
        {{{'=', 1, kQualifierRightAlt, nullptr}, {'=', 0, 0, nullptr}, {'e', 1, kQualifierRightAlt, "\xC3\xA9"},
          {'e', 0, 0, nullptr}},
         "+233 -233 "},                                  // a dead key, then the composed character
        {{{0, 1, 0, "\xE2\x82\xACx"}}, "+120 -120 "},    // the euro sign has no ISO-8859-1 code
        {{{KeySpace, 1, 0, " "}, {KeySpace, 0, 0, nullptr}}, "+276 -276 "},
        {{{'c', 1, kQualifierControl, nullptr}, {'c', 0, kQualifierControl, nullptr}}, "+99 -99 "},
    };
    for (const auto &[steps, want] : cases) {
        for (const Step &step : steps) {
            if (step.key) InjectKey(window, step.key, step.down, step.qualifiers);
            if (step.text) InjectText(window, step.text);
        }
        std::string got;
        for (const EventInfo &e : Drain()) got += (e.down ? "+" : "-") + std::to_string(e.keyCode) + " ";
        EXPECT_EQ(got, want);
        EXPECT_EQ(std::count(std::begin(window->keyState), std::end(window->keyState), 1), 0) << want;
    }
}

TEST_F(GfxWindow, AltReturnSwitchesModeThroughTheDisplayHook) {
    DisplayModeSwitchHook = [](DisplayRecord *) { return 1; };
    InjectKey(window, KeyReturn, 1, kQualifierLeftAlt);
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{kEventModeSwitched});
    // Held, the key comes again, as a new press in the new window: it switches again only once let go.
    InjectKey(window, KeyReturn, 1, kQualifierLeftAlt);
    EXPECT_TRUE(Drain().empty());
    InjectKey(window, KeyReturn, 0, kQualifierLeftAlt);
    Drain();
    InjectKey(window, KeyReturn, 1, kQualifierLeftAlt);
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{kEventModeSwitched});
    InjectKey(window, KeyReturn, 0, kQualifierLeftAlt);
    Drain();
    DisplayModeSwitchHook = [](DisplayRecord *) { return 0; }; // not the only display: nothing happens
    InjectKey(window, KeyReturn, 1, kQualifierLeftAlt);
    EXPECT_TRUE(Drain().empty());
    InjectKey(window, KeyReturn, 0, kQualifierLeftAlt);
    Drain();
    DisplayModeSwitchHook = nullptr;
    InjectKey(window, KeyReturn, 1, kQualifierLeftAlt);
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{kEventKey});
}

TEST_F(GfxWindow, RightControlReadsAsItsOwnQualifier) {
    InjectQualifierKeys(kQualifierRightControl);
    EXPECT_EQ(ReadQualifierKeys(), kQualifierAlways | kQualifierRightControl);
}

TEST_F(GfxWindow, LeftControlDoesNotReadAsRightControl) {
    InjectQualifierKeys(kQualifierControl);
    EXPECT_EQ(ReadQualifierKeys(), kQualifierAlways | kQualifierControl);
}

TEST_F(GfxWindow, ClearingInputStateForgetsHeldKeysAndButtons) {
    InjectKey(window, 'a', 1, 0);
    InjectMouseButton(window, 1, 5, 5, 1);
    InjectMouseButton(window, 2, 5, 5, 1);
    Drain();
    ASSERT_EQ(window->keyState['a'], 1);
    ClearWindowInputState(window);
    EXPECT_EQ(window->keyState['a'], 0);
    EXPECT_FALSE(window->mouseLeft);
    EXPECT_FALSE(window->mouseRight);
}

TEST_F(GfxWindow, KeyHeldAcrossAClearGoesUpWithItsDownCode) {
    InjectKey(window, 'a', 1, kQualifierLeftShift);
    Drain();
    ClearWindowInputState(window);
    InjectKey(window, 'a', 0, 0);
    auto events = Drain();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].keyCode, 'A');
}

TEST_F(GfxWindow, QualifierKeysAlwaysCarryTheTopBit) {
    EXPECT_EQ(ReadQualifierKeys() & kQualifierAlways, kQualifierAlways);
}

TEST_F(GfxWindow, EscapeQuitsOnlyWithItsSwitch) {
    SetSystemOption(0, 10, 0);
    InjectKey(window, KeyEscape, 1, 0);
    Drain();
    EXPECT_EQ(QuitRequested.load(), 0);
    SetSystemOption(0, 10, 1);
    InjectKey(window, KeyEscape, 1, 0);
    Drain();
    SetSystemOption(0, 10, 0);
    EXPECT_EQ(QuitRequested.load(), 1);
}

TEST_F(GfxWindow, LeftClickQuitsOnlyAfterTheScriptTurnsItsSwitchOn) {
    ASSERT_EQ(GetSystemOption(9), 0);
    InjectMouseButton(window, 1, 5, 5, 1);
    Drain();
    EXPECT_EQ(QuitRequested.load(), 0);
    SetSystemOption(0, 9, 1);
    InjectMouseButton(window, 1, 5, 5, 1);
    Drain();
    SetSystemOption(0, 9, 0);
    EXPECT_EQ(QuitRequested.load(), 1);
}

TEST_F(GfxWindow, BreakQuitsWhileCtrlCSwitchIsOn) {
    SetSystemOption(0, 8, 0);
    InjectQuit();
    Drain();
    EXPECT_EQ(QuitRequested.load(), 0);
    SetSystemOption(0, 8, 1);
    InjectQuit();
    EXPECT_EQ(PumpEvents(nullptr, 0), 1);
}

// The host's wait sleeps to its deadline in one go, and what arrives meanwhile ends it at once: input injected from
// another thread (as the window system's own wakes it), another thread's signal, input queued before the wait.
// Each wait is a minute long.
TEST_F(GfxWindow, TheHostWaitSleepsOutItsTimeButWakesForWhatArrives) {
    using Clock = std::chrono::steady_clock;
    // The wakes and signals left by the injections and pumps before (each queued event signals one).
    const auto settle = [] {
        while (WaitSystemSignalsTimeout(0, 1) != 0) {
        }
    };
    settle();
    Clock::time_point start = Clock::now();
    EXPECT_EQ(WaitSystemSignalsTimeout(0, 50), 0u);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(50));
    struct Case {
        const char *name;
        void (*before)(HostWindow *);
        void (*during)(HostWindow *);
        uint32_t got;
    };
    const Case cases[] = {
        {"input from another thread", nullptr, [](HostWindow *w) { InjectMouseButton(w, 1, 5, 6, 1); }, kSignalEvent},
        {"a signal from another thread", nullptr, [](HostWindow *) { SignalMainTask(kSignalMain); }, kSignalMain},
        {"input queued before", [](HostWindow *w) { InjectMouseButton(w, 1, 5, 6, 0); }, nullptr, kSignalEvent},
    };
    // What arrives "during" the wait is sent once the host's wait has been entered.
    static std::atomic<bool> waiting;
    SetSystemWaitFunctions(
        [](int64_t timeoutMicros) {
            waiting = true;
            WaitHostEvents(timeoutMicros);
        },
        nullptr);
    for (const Case &c : cases) {
        settle();
        if (c.before) c.before(window);
        waiting = false;
        std::thread other;
        if (c.during)
            other = std::thread([&c, this] {
                while (!waiting) std::this_thread::yield();
                c.during(window);
            });
        start = Clock::now();
        EXPECT_EQ(WaitSystemSignalsTimeout(0, 60000), c.got) << c.name;
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(30)) << c.name;
        if (other.joinable()) other.join();
        Drain();
    }
}

TEST_F(GfxWindow, DroppedFilesArriveOnlyWhileAccepted) {
    InjectDropFiles(window, {"/a/b.png"});
    EXPECT_TRUE(Drain().empty());
    ASSERT_EQ(UpdateAppWindow(window, 1), 0);
    InjectMouseMotion(window, 3, 4);
    InjectDropFiles(window, {"/a/b.png", "/c.txt"});
    auto events = Drain();
    ASSERT_EQ(Kinds(events), std::vector<int>{14});
    EXPECT_EQ(events[0].x, 3);
    std::string extra(events[0].extra.begin(), events[0].extra.end());
    EXPECT_EQ(extra, std::string("/a/b.png\0/c.txt\0\0", 17));
}

TEST_F(GfxWindow, ClipboardChangesReachHookedWindowsOnly) {
    InjectClipboardUpdate();
    EXPECT_TRUE(Drain().empty());
    UpdateClipboardHook(window, 1);
    InjectClipboardUpdate();
    EXPECT_EQ(Kinds(Drain()), std::vector<int>{15});
}

TEST_F(GfxWindow, PresentAndFillClipToTheWindow) {
    HostBitmap *b = AllocHostBitmap(100, 100);
    PresentWindowPixels(window, b, -10, -10, -5, 30, 200, 200); // must not read or write outside
    FillDisplayRect(window, 0, 0, -20, -20, 500, 500, 0xFF0000);
    FreeHostBitmap(b);
    SUCCEED();
}

TEST_F(GfxWindow, PresentUploadsOnlyTheChangedRectangle) {
    HostBitmap *black = AllocHostBitmap(64, 48);
    PresentWindowPixels(window, black, 0, 0, 0, 0, 64, 48);
    HostBitmap *picture = AllocHostBitmap(70, 50);
    for (int y = 0; y < 50; y++)
        for (int x = 0; x < 70; x++) HostBitmapRow32(picture, y)[x] = uint32_t(0x010000 * x + 0x000100 * y + 7);
    PresentWindowPixels(window, picture, 5, 6, 10, 12, 8, 4);
    std::vector<uint32_t> shown(64 * 48);
    ASSERT_EQ(ReadWindowPixels(window, shown.data()), 0);
    EXPECT_EQ(shown[12 * 64 + 10], HostBitmapRow32(picture, 6)[5]);
    EXPECT_EQ(shown[15 * 64 + 17], HostBitmapRow32(picture, 9)[12]);
    EXPECT_EQ(shown[16 * 64 + 10], 0u);
    EXPECT_EQ(shown[12 * 64 + 18], 0u);
    EXPECT_EQ(shown[11 * 64 + 10], 0u);
    FreeHostBitmap(picture);
    FreeHostBitmap(black);
}

TEST_F(GfxWindow, SeveralUploadsShowAfterOnePresent) {
    HostBitmap *picture = AllocHostBitmap(64, 48);
    RECTFILL(picture, 0, 0, 64, 48, 0x0000FF);
    UpdateWindowPixels(window, picture, 0, 0, 0, 0, 64, 48);
    RECTFILL(picture, 0, 0, 64, 48, 0xFF0000);
    UpdateWindowPixels(window, picture, 0, 0, 60, 40, 10, 10); // clipped at the window's corner
    PresentWindow(window);
    std::vector<uint32_t> shown(64 * 48);
    ASSERT_EQ(ReadWindowPixels(window, shown.data()), 0);
    EXPECT_EQ(shown[0], 0x0000FFu);
    EXPECT_EQ(shown[47 * 64 + 63], 0xFF0000u);
    EXPECT_EQ(shown[39 * 64 + 63], 0x0000FFu);
    FreeHostBitmap(picture);
}

std::vector<uint32_t> SurfacePixels(SDL_Window *sdl) {
    SDL_Surface *s = SDL_GetWindowSurface(sdl);
    std::vector<uint32_t> out(size_t(s->w) * size_t(s->h));
    SDL_ConvertPixels(s->w, s->h, s->format->format, s->pixels, s->pitch, SDL_PIXELFORMAT_ARGB8888, out.data(), s->w * 4);
    for (uint32_t &p : out) p &= 0xFFFFFF;
    return out;
}

// Partial presents write into the window surface; after a scaled present, or behind another display on the own
// screen, the surface must still end as a whole redraw (which the readers do) leaves it.
TEST_F(GfxWindow, PartialPresentsLeaveTheSurfaceAsAWholeRedraw) {
    HostBitmap *picture = AllocHostBitmap(64, 48), *small = AllocHostBitmap(16, 12);
    for (int y = 0; y < 48; y++)
        for (int x = 0; x < 64; x++) HostBitmapRow32(picture, y)[x] = uint32_t(0x030000 * x + 0x000500 * y + 9);
    RECTFILL(small, 0, 0, 16, 12, 0x00FF00);
    std::vector<uint32_t> whole(64 * 48), screen(200 * 150), shown;
    PresentWindowPixels(window, picture, 0, 0, 0, 0, 64, 48);
    PresentWindowScaled(window, small, 0, 0, 64, 48);
    PresentWindowPixels(window, picture, 0, 0, 0, 0, 8, 8);
    shown = SurfacePixels(window->os->sdl);
    ASSERT_EQ(ReadWindowPixels(window, whole.data()), 0);
    EXPECT_EQ(shown, whole);
    EXPECT_EQ(whole[47 * 64 + 63], HostBitmapRow32(picture, 47)[63]); // the picture before the scaled present
    ASSERT_EQ(OpenOwnScreen(200, 150, 32, 0), 0);
    HostWindow *back = nullptr, *front = nullptr;
    ASSERT_EQ(AllocHostWindow(display, &back), 0);
    ASSERT_EQ(AllocHostWindow(display, &front), 0);
    back->x = 10, back->y = 20, front->x = 40, front->y = 30;
    back->width = front->width = 64, back->height = front->height = 48;
    ASSERT_EQ(OpenDisplayWindow(back, 1, nullptr, nullptr), 0);
    ASSERT_EQ(OpenDisplayWindow(front, 1, nullptr, nullptr), 0);
    int32_t w = 0, h = 0;
    for (HostWindow *target : {front, back, front}) {
        PresentWindowPixels(target, picture, 0, 0, 0, 0, 64, 48);
        PresentWindowPixels(target, small, 0, 0, 20, 10, 16, 12);
        shown = SurfacePixels(front->os->sdl);
        ASSERT_EQ(ReadScreenPixels(screen.data(), &w, &h), 0);
        EXPECT_EQ(shown, screen);
    }
    EXPECT_EQ(screen[size_t(40) * 200 + 60], 0x00FF00u);
    FreeHostWindow(front);
    FreeHostWindow(back);
    CloseOwnScreen();
    FreeHostBitmap(small);
    FreeHostBitmap(picture);
}

// Runs of partial and scaled presents, with resizes between: the texture is made when first needed, from what the
// surface shows, so after each step the surface, a whole redraw and the partial presents so far all agree.
TEST_F(GfxWindow, PresentsOfEveryKindAgreeAcrossResizes) {
    struct Step {
        char kind; // 'p' partial present of a solid colour, 's' scaled present of one, 'r' resize
        int32_t x, y, width, height;
        uint32_t colour;
    };
    const std::vector<std::vector<Step>> runs = {
        {{'p', 0, 0, 64, 48, 0x0000FF}, {'p', 4, 4, 8, 8, 0xFF0000}, {'s', 10, 10, 20, 20, 0x00FF00},
         {'p', 12, 12, 4, 4, 0xFFFFFF}},
        {{'s', 0, 0, 64, 48, 0x00FF00}, {'s', 30, 20, 30, 20, 0xFF00FF}, {'p', 0, 0, 10, 10, 0x0000FF}},
        {{'p', 0, 0, 64, 48, 0x102030}, {'r', 0, 0, 80, 30, 0}, {'p', 0, 0, 80, 30, 0x0000FF},
         {'p', 70, 20, 10, 10, 0xFF0000}, {'s', 0, 0, 40, 30, 0x00FF00}, {'r', 0, 0, 50, 60, 0},
         {'s', 0, 0, 50, 60, 0x808080}, {'p', 45, 55, 10, 10, 0xFFFF00}},
    };
    for (size_t r = 0; r < runs.size(); r++) {
        FreeHostWindow(window);
        ASSERT_EQ(AllocHostWindow(display, &window), 0);
        window->x = 10, window->y = 20, window->width = 64, window->height = 48;
        ASSERT_EQ(OpenDisplayWindow(window, 1, nullptr, nullptr), 0);
        std::vector<uint32_t> want(size_t(64) * 48, 0);
        for (size_t i = 0; i < runs[r].size(); i++) {
            const Step &step = runs[r][i];
            const int32_t w = window->width, h = window->height;
            if (step.kind == 'r') {
                window->width = step.width, window->height = step.height;
                ChangeDisplayWindowBox(window);
                Drain();
                HostBitmap *whole = AllocHostBitmap(step.width, step.height);
                PresentWindowPixels(window, whole, 0, 0, 0, 0, step.width, step.height);
                FreeHostBitmap(whole);
                want.assign(size_t(step.width) * size_t(step.height), 0);
                continue;
            }
            HostBitmap *solid = AllocHostBitmap(step.kind == 's' ? 7 : step.width, step.kind == 's' ? 5 : step.height);
            RECTFILL(solid, 0, 0, solid->width, solid->height, step.colour);
            if (step.kind == 'p') PresentWindowPixels(window, solid, 0, 0, step.x, step.y, step.width, step.height);
            else PresentWindowScaled(window, solid, step.x, step.y, step.width, step.height);
            FreeHostBitmap(solid);
            // A scaled present shows another picture over the window; the window's own picture stays for later.
            for (int32_t y = std::max(0, step.y); step.kind == 'p' && y < std::min(h, step.y + step.height); y++)
                for (int32_t x = std::max(0, step.x); x < std::min(w, step.x + step.width); x++)
                    want[size_t(y) * size_t(w) + size_t(x)] = step.colour;
            std::vector<uint32_t> whole(size_t(w) * size_t(h));
            ASSERT_EQ(ReadWindowPixels(window, whole.data()), 0);
            for (uint32_t &p : whole) p &= 0xFFFFFF;
            EXPECT_EQ(SurfacePixels(window->os->sdl), whole) << "run " << r << " step " << i;
            const auto differs = std::mismatch(want.begin(), want.end(), whole.begin()).first - want.begin();
            EXPECT_EQ(differs, std::ssize(want)) << "run " << r << " step " << i << " at " << differs % w << ","
                                                 << differs / w;
        }
    }
}

TEST_F(GfxWindow, FillDisplayRectPaintsInsideTheWindowOnly) {
    HostBitmap *blue = AllocHostBitmap(64, 48);
    RECTFILL(blue, 0, 0, 64, 48, 0x0000FF);
    PresentWindowPixels(window, blue, 0, 0, 0, 0, 64, 48);
    FreeHostBitmap(blue);
    FillDisplayRect(window, 4, 2, 50, 40, 100, 100, 0x00FF00);
    std::vector<uint32_t> shown(64 * 48);
    ASSERT_EQ(ReadWindowPixels(window, shown.data()), 0);
    EXPECT_EQ(shown[42 * 64 + 54], 0x00FF00u);
    EXPECT_EQ(shown[47 * 64 + 63], 0x00FF00u);
    EXPECT_EQ(shown[41 * 64 + 54], 0x0000FFu);
    EXPECT_EQ(shown[42 * 64 + 53], 0x0000FFu);
}

TEST_F(GfxWindow, ScaledPresentAcceptsABitmapOfAnotherSize) {
    HostBitmap *b = AllocHostBitmap(16, 12);
    PresentWindowScaled(window, b, 0, 0, window->width, window->height);
    PresentWindowScaled(window, b, 0, 0, 0, 0); // nothing to show
    FreeHostBitmap(b);
    SUCCEED();
}

TEST_F(GfxWindow, MaskShapedWindowOpensEvenWhereShapesAreUnsupported) {
    HostWindow *shaped = nullptr;
    ASSERT_EQ(AllocHostWindow(display, &shaped), 0);
    shaped->width = 16, shaped->height = 16;
    MaskPlane *mask = AllocMaskPlane(nullptr, 16, 16, true);
    FillMaskRect(mask, 4, 4, 8, 8, 0);
    EXPECT_EQ(OpenDisplayWindow(shaped, 0, mask, nullptr), 0);
    EXPECT_TRUE(shaped->open);
    FreeMaskPlane(mask);
    FreeHostWindow(shaped);
}

TEST_F(GfxWindow, HiddenStateKeepsTheWindowAcrossClose) {
    ASSERT_EQ(HideShowDisplayWindow(window, 1), 0);
    EXPECT_TRUE(window->minimised);
    CloseDisplayWindow(window); // ignored while minimised
    EXPECT_TRUE(window->open);
    ASSERT_EQ(EndIconify(), 0);
    EXPECT_FALSE(window->minimised);
}

TEST_F(GfxWindow, ScreenAttributesDescribeTheDesktop) {
    ScreenRect rect;
    EXPECT_EQ(QueryBitMapAttr(nullptr, 23, &rect), 0);
    EXPECT_GT(rect.width, 0);
    EXPECT_EQ(QueryBitMapAttr(nullptr, 14), rect.width);
    EXPECT_EQ(FitsScreen(window, 0, 0, rect.width, rect.height), 1);
    EXPECT_EQ(FitsScreen(window, 0, 0, rect.width + 1, rect.height), 0);
}

// The chosen headless size is the size every screen query reports and the bound of what fits.
TEST_F(GfxWindow, HeadlessScreenSizeIsTheSizeTheScreenReportsAndDecidesWhatFits) {
    ASSERT_EQ(SetHeadlessScreenSize(320, 200), 0);
    EXPECT_EQ(QueryBitMapAttr(nullptr, 14), 320);
    EXPECT_EQ(QueryBitMapAttr(nullptr, 15), 200);
    ScreenRect rect;
    QueryBitMapAttr(nullptr, 23, &rect);
    EXPECT_EQ(rect.width, 320);
    EXPECT_EQ(rect.height, 200);
    EXPECT_EQ(FitsScreen(window, 0, 0, 320, 200), 1);
    EXPECT_EQ(FitsScreen(window, 0, 0, 321, 200), 0);
    EXPECT_EQ(FitsScreen(window, 0, 0, 320, 201), 0);
}

TEST_F(GfxWindow, HeadlessScreenSizeZeroGivesTheDriversSizeBack) {
    const intptr_t width = QueryBitMapAttr(nullptr, 14), height = QueryBitMapAttr(nullptr, 15);
    ASSERT_EQ(SetHeadlessScreenSize(width + 7, height + 7), 0);
    ASSERT_EQ(SetHeadlessScreenSize(0, 0), 0);
    EXPECT_EQ(QueryBitMapAttr(nullptr, 14), width);
    EXPECT_EQ(QueryBitMapAttr(nullptr, 15), height);
}

TEST_F(GfxWindow, FakeFullScreenTakesTheHeadlessScreenSize) {
    ASSERT_EQ(SetHeadlessScreenSize(300, 150), 0);
    HostWindow *full = nullptr;
    int other = 0;
    ASSERT_EQ(AllocHostWindow(reinterpret_cast<DisplayRecord *>(&other), &full), 0);
    full->flags = kWindowFakeFullScreen;
    ASSERT_EQ(OpenDisplayWindow(full, 0, nullptr, nullptr), 0);
    EXPECT_EQ(full->width, 300);
    EXPECT_EQ(full->height, 150);
    FreeHostWindow(full);
}

TEST_F(GfxWindow, FakeFullScreenCoversTheDesktopWithoutBorders) {
    HostWindow *full = nullptr;
    ASSERT_EQ(AllocHostWindow(display, &full), 0);
    full->width = 10, full->height = 10;
    full->flags = kWindowFakeFullScreen;
    ASSERT_EQ(OpenDisplayWindow(full, 1, nullptr, nullptr), 0);
    EXPECT_EQ(full->width, QueryBitMapAttr(nullptr, 14));
    EXPECT_EQ(full->height, QueryBitMapAttr(nullptr, 15));
    EXPECT_EQ(full->borderHorizontal, 0);
    FreeHostWindow(full);
}

TEST_F(GfxWindow, OwnScreenAnswersItsOwnSizeUntilClosed) {
    int32_t desktop = int32_t(QueryBitMapAttr(nullptr, 14));
    ASSERT_EQ(OpenOwnScreen(320, 240, 32), 0);
    EXPECT_EQ(OwnScreenOpen(), 1);
    EXPECT_EQ(QueryBitMapAttr(nullptr, 14), 320);
    EXPECT_EQ(QueryBitMapAttr(nullptr, 22), 1); // no title bar on it
    CloseOwnScreen();
    EXPECT_EQ(QueryBitMapAttr(nullptr, 14), desktop);
}

TEST(GfxVideo, ShutdownClosesWindowsAndVideoStartsAgain) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    ASSERT_EQ(EnsureVideo(), 0);
    HostWindow *window = nullptr;
    ASSERT_EQ(AllocHostWindow(nullptr, &window), 0);
    window->width = 8, window->height = 8;
    ASSERT_EQ(OpenDisplayWindow(window, 0, nullptr, nullptr), 0);
    ShutdownVideo();
    EXPECT_FALSE(window->open);
    EXPECT_TRUE(OpenHostWindows().empty());
    EXPECT_EQ(PumpEvents(nullptr, 0), 0); // the built-in pump again
    ASSERT_EQ(EnsureVideo(), 0);
    ASSERT_EQ(OpenDisplayWindow(window, 0, nullptr, nullptr), 0);
    FreeHostWindow(window);
    ShutdownVideo();
    RemoveEvent(nullptr, -1, 1);
    WaitSystemSignalsTimeout(0, 0); // no signal left pending for later tests in this process
}

TEST(GfxKeys, GraphicCharactersFollowAFixedLatin1Table) {
    EXPECT_EQ(IsGraphicChar('A'), 1);
    EXPECT_EQ(IsGraphicChar(' '), 0);
    EXPECT_EQ(IsGraphicChar(0xA0), 0);
    EXPECT_EQ(IsGraphicChar(0xE9), 1);
    EXPECT_EQ(IsGraphicChar(0x7F), 0);
    EXPECT_EQ(IsGraphicChar(0x85), 0);
}

TEST(GfxKeys, NamedKeysAndShiftedCharacters) {
    EXPECT_EQ(MapKeySymbol(' ', 0), KeySpace);
    EXPECT_EQ(MapKeySymbol('\t', 0), KeyTab);
    EXPECT_EQ(MapKeySymbol(0x1B, 0), KeyEscape);
    EXPECT_EQ(MapKeySymbol(0x7F, 0), KeyDelete);
    EXPECT_EQ(MapKeySymbol(0xE9, kQualifierLeftShift), 0xC9);
    EXPECT_EQ(MapKeySymbol('x', 0), 'x');
}

} // namespace

namespace {

// SDL has one cursor: each window keeps its own pointer, and the one the mouse enters is shown.
TEST_F(GfxWindow, PointersAreKeptPerWindowAndFollowTheMouse) {
    HostBitmap *image = AllocHostBitmap(4, 4);
    AlphaPlane *alpha = AllocAlphaPlane(4, 4);
    ASSERT_TRUE(image && alpha);
    int source = 0, kind = 0;
    SetDisplayPointer(window, image, alpha, 1, 1);
    EXPECT_EQ(ReadPointerState(window, &source, &kind), 1);
    EXPECT_EQ(source, 1);
    EXPECT_EQ(kind, kHostPointerImage);
    SetDisplayPointer(window, nullptr, nullptr, 0, 0, kHostPointerBusy);
    EXPECT_EQ(ReadPointerState(window, &source, &kind), 1);
    EXPECT_EQ(source, 1);
    EXPECT_EQ(kind, kHostPointerBusy);
    HideDisplayPointer(window);
    EXPECT_EQ(ReadPointerState(window, &source, &kind), 0);

    HostWindow *other = nullptr;
    ASSERT_EQ(AllocHostWindow(display, &other), 0);
    other->width = other->height = 32;
    ASSERT_EQ(OpenDisplayWindow(other, 0, nullptr, nullptr), 0);
    SetDisplayPointer(other, image, nullptr, 0, 0);
    EXPECT_EQ(ReadPointerState(other, &source, &kind), 1);
    EXPECT_EQ(source, 1);
    InjectMouseEnter(window);
    Drain();
    EXPECT_EQ(ReadPointerState(window, &source, &kind), 0); // the first window's pointer is hidden
    InjectMouseEnter(other);
    Drain();
    EXPECT_EQ(ReadPointerState(other, &source, &kind), 1);
    EXPECT_EQ(source, 1);
    RestoreDisplayPointer(other);
    EXPECT_EQ(ReadPointerState(other, &source, &kind), 1);
    EXPECT_EQ(source, 0);
    FreeHostWindow(other);
    RestoreDisplayPointer(window);
    FreeHostBitmap(image);
    FreeAlphaPlane(alpha);
}

} // namespace
