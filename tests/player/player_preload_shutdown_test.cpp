#include "host/screen.h"
#include "host/tasks.h"
#include "host/window.h"
#include "runtime/app/command.h"
#include "host/event_queue.h"
#include "runtime/app/errors.h"
#include "player/preload.h"
#include "runtime/app/runtime_globals.h"
#include "player/shutdown.h"
#include "player/startup.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <string>
#include <vector>

namespace {

std::vector<std::string> calls;
int preloadSeen = -1;

template <int N> int Record(VMState *vm) {
    static const char *const names[] = {"loadbgpic", "loadbrush", "loadanim",  "openmusic", "loadsample", "createbutton",
                                        "createkeydown", "loadsprite", "openfile", "openfont", "createdisplay"};
    std::string call = names[N];
    for (int i = 1; i <= GetTop(vm); ++i) {
        size_t length = 0;
        const char *text = ValueType(vm, i) == TNIL ? "nil" : VMToString(vm, i, &length);
        call += std::string(" ") + (text ? text : "?");
    }
    calls.push_back(call);
    preloadSeen = PreloadActive;
    return 0;
}

const CommandEntry kRecordingCommands[] = {
    {"LoadBGPic", Record<0>},  {"LoadBrush", Record<1>},  {"LoadAnim", Record<2>},      {"OpenMusic", Record<3>},
    {"LoadSample", Record<4>}, {"CreateButton", Record<5>}, {"CreateKeyDown", Record<6>}, {"LoadSprite", Record<7>},
    {"OpenFile", Record<8>},   {"OpenFont", Record<9>},   {"CreateDisplay", Record<10>}, {nullptr, nullptr}};

AppletPreloadDeclaration Declare(AppletPreloadKind kind, double id, const char *name) {
    AppletPreloadDeclaration declaration;
    declaration.kind = kind;
    AppletArgument number;
    number.type = kAppletValueNumber;
    number.number = id;
    AppletArgument text;
    text.type = kAppletValueString;
    text.text = name;
    declaration.arguments = {number, text};
    return declaration;
}

class PreloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        calls.clear();
        vm = NewVMState();
        InitRuntimeSupport(vm);
    }
    void TearDown() override { CloseVMState(vm); }
    VMState *vm = nullptr;
};

TEST_F(PreloadTest, DeclarationsRunGroupedInTheFixedOrder) {
    RegisterCommands(vm, kRecordingCommands);
    LoadedApplet applet;
    applet.preloads = {Declare(kPreloadFont, 1, "a.font"), Declare(kPreloadBrush, 2, "b.png"),
                       Declare(kPreloadBGPic, 3, "c.png"), Declare(kPreloadBrush, 4, "d.png"),
                       Declare(kPreloadSample, 5, "e.wav")};
    applet.hasDisplaySettings = true;
    ASSERT_EQ(PreloadResources(vm, applet), 0);
    std::vector<std::string> expected = {"loadbgpic 3 c.png", "loadbrush 2 b.png", "loadbrush 4 d.png",
                                         "loadsample 5 e.wav", "openfont 1 a.font", "createdisplay 1 ?"};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(preloadSeen, 1);
    EXPECT_EQ(PreloadActive, 0);
}

TEST_F(PreloadTest, MissingCommandNamesItsLibraryInTheError) {
    LoadedApplet applet;
    applet.preloads = {Declare(kPreloadSprite, 1, "s.png")};
    EXPECT_EQ(PreloadResources(vm, applet), kErrLibraryNotRegistered);
    EXPECT_EQ(GetErrorText(kErrLibraryNotRegistered), "This command needs the sprite library, which is not registered!");
    EXPECT_EQ(PreloadActive, 0);
}

TEST_F(PreloadTest, ErrorOfADeclaredCommandStopsPreloading) {
    static const CommandEntry failing[] = {{"LoadBrush", [](VMState *v) -> int { RaiseError(v, 1045); }},
                                           {nullptr, nullptr}};
    RegisterCommands(vm, kRecordingCommands);
    RegisterCommands(vm, failing);
    LoadedApplet applet;
    applet.preloads = {Declare(kPreloadBrush, 1, "x.png"), Declare(kPreloadFont, 1, "f.font")};
    EXPECT_EQ(PreloadResources(vm, applet), 1045);
    EXPECT_TRUE(calls.empty());
}

std::vector<std::string> freed;
template <int N> void FreeRecord(VMState *) {
    static const char *const names[] = {"string", "math",  "graphics", "draw",  "moveobject", "dos",   "event",
                                        "system", "layers", "text",    "anim",  "display",    "sound", "brush",
                                        "bgpic",  "transitionfx", "sprite", "memblock", "arexx"};
    freed.push_back(names[N]);
}

TEST(Shutdown, FreeAllFunctionsRunInTheFixedOrderWithSoundLast) {
    freed.clear();
    const LibraryDescriptor libraries[] = {
        {"string", nullptr, FreeRecord<0>},  {"math", nullptr, FreeRecord<1>},     {"graphics", nullptr, FreeRecord<2>},
        {"draw", nullptr, FreeRecord<3>},    {"moveobject", nullptr, FreeRecord<4>}, {"dos", nullptr, FreeRecord<5>},
        {"event", nullptr, FreeRecord<6>},   {"system", nullptr, FreeRecord<7>},   {"layers", nullptr, FreeRecord<8>},
        {"text", nullptr, FreeRecord<9>},    {"anim", nullptr, FreeRecord<10>},    {"display", nullptr, FreeRecord<11>},
        {"sound", nullptr, FreeRecord<12>},  {"brush", nullptr, FreeRecord<13>},   {"bgpic", nullptr, FreeRecord<14>},
        {"transitionfx", nullptr, FreeRecord<15>}, {"sprite", nullptr, FreeRecord<16>},
        {"memblock", nullptr, FreeRecord<17>}, {"arexx", nullptr, FreeRecord<18>}};
    ShutdownState state;
    state.vm = NewVMState();
    state.libraries = libraries;
    state.registered = 19;
    EXPECT_EQ(ShutdownProgram(&state), 0);
    std::vector<std::string> expected = {"display", "graphics", "draw",   "brush", "bgpic", "sprite", "system",
                                         "text",    "anim",     "layers", "dos",   "memblock", "arexx", "event",
                                         "string",  "math",     "moveobject", "transitionfx", "sound"};
    EXPECT_EQ(freed, expected);
}

TEST(Shutdown, UserAbortIsNotReportedAndExitsCleanly) {
    ShutdownState state;
    state.vm = NewVMState();
    state.errorCode = kErrUserAbort;
    state.errorReport = "should not appear\n";
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShutdownProgram(&state), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(Shutdown, ErrorIsReportedOnStandardErrorWithExitCodeOne) {
    ShutdownState state;
    state.vm = NewVMState();
    state.errorCode = 1045;
    state.errorReport = "demo.vls:3: Cannot read file x !\n";
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShutdownProgram(&state), 1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "demo.vls:3: Cannot read file x !\n");
}

TEST(Shutdown, WindowLeftOpenIsClosedWithTheVideo) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    ASSERT_EQ(EnsureVideo(), 0);
    HostWindow *window = nullptr;
    ASSERT_EQ(AllocHostWindow(nullptr, &window), 0);
    window->width = 8, window->height = 8;
    ASSERT_EQ(OpenDisplayWindow(window, 0, nullptr, nullptr), 0);
    ShutdownState state;
    state.vm = NewVMState();
    EXPECT_EQ(ShutdownProgram(&state), 0);
    EXPECT_FALSE(window->open);
    EXPECT_TRUE(OpenHostWindows().empty());
    FreeHostWindow(window);
    RemoveEvent(nullptr, -1, 1);
    WaitSystemSignalsTimeout(0, 0); // no signal left pending for later tests in this process
}

} // namespace
