// The scene's compiled scripts: every tests/scene/events/*.vls, tests/scene/layers/*.vls and
// tests/scene/input/*.vls runs on the script harness, on a VM with the event library, a display on the virtual
// clock and a few test commands that stand in for the user. The layer and input scripts also get the display,
// brush and layers libraries (their displays open real windows on SDL's offscreen driver), a small in-memory anim
// library, and the debug output as output lines.
//
//   TestQueueMouse(kind, x, y, down), TestQueueKey(code, down), TestQueueWindow(kind)
//                                 queue what the pump would (window coordinates)
//   TestMoveMouse(x, y)           the pointer moved there (window coordinates)
//   TestAdvance(ms)               the virtual clock moves on
//   TestInput(ms, what, ...)      the current display's window gets input through SDL, as a device sends it, when
//                                 the virtual clock is ms on from now (0: at once): "down"/"up" button, x, y
//                                 (1 left, 2 right, 3 middle); "move" x, y; "key" code, down. A host timeout
//                                 request ends a wait then.
//   TestPump()                    the pump reads what SDL holds; TestNow() the virtual time in ms
//   TestJoystick(buttons, dir)    a virtual joystick (attached at the first call) holds the buttons (bit n: its
//                                 button n) and its hat in the direction (0 up, clockwise to 7 up-left, 8 centred)
//   TestSystemOption(n)           the host's switch n (8 CTRL-C quits, 9 left mouse quits, 10 Escape quits)
//   TestDebugFile(on)             with 1 the debug device becomes a file; with 0 it is the standard output again
//                                 and the result is what the file got, its lines joined by " | "
//   TestCheckWindow()             compares the window with a composition of the layer list made with the
//                                 per-pixel generic kernels; prints the first differing pixel
//   TestRefreshCount()            the compositor's rectangle redraws since the last call
//
// TestPrint, TestErrorOf and the expectation comments are the harness's (tests/support/script_harness.h).
#include <SDL.h>

#include <algorithm>

#include <filesystem>
#include <memory>

#include "fx/transitionfx_library.h"
#include "host/debug_output.h"
#include "host/os/input_inject.h"
#include "tests/scene/events_fixture.h"
#include "tests/scene/layer_script_support.h"
#include "tests/support/files.h"
#include "tests/support/script_harness.h"

namespace {

int TestQueueMouse(VMState *vm) {
    QueueEvent(CurrentDisplay, CheckInt32Arg(vm, 1), CheckInt32Arg(vm, 2), CheckInt32Arg(vm, 3), CheckInt32Arg(vm, 4));
    return 0;
}

int TestQueueKey(VMState *vm) {
    QueueEvent(CurrentDisplay, kEventKey, CheckInt32Arg(vm, 2), int32_t(0x80000000u), CheckInt32Arg(vm, 1));
    return 0;
}

int TestQueueWindow(VMState *vm) {
    QueueEvent(CurrentDisplay, CheckInt32Arg(vm, 1), 0, 0, 0);
    return 0;
}

int TestMoveMouse(VMState *vm) {
    HostWindow *w = CurrentDisplay->hostWindow;
    w->mouseX = CheckInt32Arg(vm, 1);
    w->mouseY = CheckInt32Arg(vm, 2);
    w->mouseMoved = true;
    w->lastMouseMoveMicros = PumpClockNow();
    return 0;
}

int TestAdvance(VMState *vm) {
    AdvanceVirtualClock(int64_t(CheckNumberArg(vm, 1)) * 1000);
    return 0;
}

struct PendingInput {
    int64_t at;
    const HostWindow *window;
    std::string what;
    int32_t a, b, c;
};
std::vector<PendingInput> PendingInputs;
int32_t nextInputOwner = 900000; // far from the ids scripts give their timers

void Deliver(const PendingInput &in) {
    if (in.what == "down" || in.what == "up") InjectMouseButton(in.window, in.a, in.b, in.c, in.what == "down");
    else if (in.what == "move") InjectMouseMotion(in.window, in.a, in.b);
    else if (in.what == "key") InjectKey(in.window, in.a, in.b, 0);
}

void DeliverDueInputs(int64_t) {
    for (size_t i = 0; i < PendingInputs.size();) {
        if (PendingInputs[i].at > MonotonicMicroseconds()) {
            i++;
            continue;
        }
        Deliver(PendingInputs[i]);
        PendingInputs.erase(PendingInputs.begin() + ptrdiff_t(i));
    }
}

int TestInput(VMState *vm) {
    const int64_t ms = int64_t(CheckNumberArg(vm, 1));
    PendingInput in{MonotonicMicroseconds() + ms * 1000, CurrentDisplay->hostWindow, CheckStringArg(vm, 2, nullptr),
                    OptInt32Arg(vm, 3, 0), OptInt32Arg(vm, 4, 0), OptInt32Arg(vm, 5, 0)};
    if (ms <= 0) {
        Deliver(in);
        return 0;
    }
    PendingInputs.push_back(in);
    SetVirtualClockListener(DeliverDueInputs);
    ControlTimerRequest(kTimerAddTimeout, nextInputOwner++, ms);
    return 0;
}

int TestPump(VMState *vm) {
    PushNumber(vm, PumpEvents(vm));
    return 1;
}

int TestNow(VMState *vm) {
    PushNumber(vm, double(MonotonicMicroseconds() / 1000));
    return 1;
}

SDL_Joystick *VirtualJoystick = nullptr;

int TestJoystick(VMState *vm) {
    if (!VirtualJoystick) {
        // SDL drops a device's input while no window of the program has the focus; the offscreen window has none.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        SDL_InitSubSystem(SDL_INIT_JOYSTICK);
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 0, 7, 1);
        VirtualJoystick = index < 0 ? nullptr : SDL_JoystickOpen(index);
        if (!VirtualJoystick) RaiseErrorWithString(vm, kErrCannotOpen, SDL_GetError());
    }
    const uint32_t buttons = uint32_t(CheckNumberArg(vm, 1));
    for (int i = 0; i < 7; i++) SDL_JoystickSetVirtualButton(VirtualJoystick, i, Uint8(buttons >> i & 1));
    static const Uint8 kHats[] = {SDL_HAT_UP,   SDL_HAT_RIGHTUP, SDL_HAT_RIGHT,    SDL_HAT_RIGHTDOWN, SDL_HAT_DOWN,
                                  SDL_HAT_LEFTDOWN, SDL_HAT_LEFT, SDL_HAT_LEFTUP, SDL_HAT_CENTERED};
    SDL_JoystickSetVirtualHat(VirtualJoystick, 0, kHats[std::clamp(CheckInt32Arg(vm, 2), 0, 8)]);
    SDL_JoystickUpdate();
    return 0;
}

int TestSystemOption(VMState *vm) {
    PushNumber(vm, GetSystemOption(CheckInt32Arg(vm, 1)));
    return 1;
}

std::unique_ptr<ScratchDirectory> DebugDirectory;

int TestDebugFile(VMState *vm) {
    if (!DebugDirectory) DebugDirectory = std::make_unique<ScratchDirectory>();
    const std::string path = DebugDirectory->File("debug.txt");
    if (CheckNumberArg(vm, 1) != 0) {
        if (SetDebugDevice(path.c_str())) RaiseError(vm, kErrCannotWriteFile);
        return 0;
    }
    SetDebugDevice(nullptr);
    std::string text = ReadFileText(path);
    if (!text.empty() && text.back() == '\n') text.pop_back();
    for (size_t at; (at = text.find('\n')) != std::string::npos;) text.replace(at, 1, " | ");
    PushString(vm, text.c_str());
    return 1;
}

const CommandEntry kSceneCommands[] = {
    {"TestQueueMouse", TestQueueMouse}, {"TestQueueKey", TestQueueKey}, {"TestQueueWindow", TestQueueWindow},
    {"TestMoveMouse", TestMoveMouse},   {"TestAdvance", TestAdvance},   {"TestInput", TestInput},
    {"TestPump", TestPump},             {"TestNow", TestNow},           {"TestJoystick", TestJoystick},
    {"TestSystemOption", TestSystemOption}, {"TestDebugFile", TestDebugFile}, {nullptr, nullptr},
};

// What the input commands leave behind: pending input, the joystick, the quit switches at their defaults.
void ResetInput() {
    PendingInputs.clear();
    SetVirtualClockListener(nullptr);
    if (VirtualJoystick) {
        SDL_JoystickClose(VirtualJoystick);
        for (int i = SDL_NumJoysticks(); i-- > 0;)
            if (SDL_JoystickIsVirtual(i)) SDL_JoystickDetachVirtual(i);
        VirtualJoystick = nullptr;
    }
    SetSystemOption(0, 8, 1);
    SetSystemOption(0, 9, 0);
    SetSystemOption(0, 10, 1);
    if (DebugDirectory) SetDebugDevice(nullptr);
    DebugDirectory.reset();
}

std::string ScriptsDirectory() { return std::string(VL_SOURCE_DIR) + "/tests/scene"; }

// Paths relative to the scripts directory, events first.
std::vector<std::string> FindScripts() {
    std::vector<std::string> names;
    for (const char *folder : {"events", "layers", "input"})
        for (const std::string &name : ScriptFilesBelow(ScriptsDirectory() + "/" + folder))
            names.push_back(std::string(folder) + "/" + name);
    return names;
}

class EventScript : public EventFixture, public testing::WithParamInterface<std::string> {};

TEST_P(EventScript, BehavesAsItsCommentsSay) {
    const std::string path = ScriptsDirectory() + "/" + GetParam();
    const std::string source = ReadFileText(path);
    ScriptExpectations expected;
    ScriptRunResult run;
    std::vector<uint8_t> chunk;
    ASSERT_EQ(PrepareScriptChunk(source, path, std::filesystem::path(path).parent_path().string(), expected, chunk, run),
              "");

    RegisterScriptTestCommands(vm, &run, {kSceneCommands});
    const bool layers = GetParam().rfind("events/", 0) != 0; // input scripts too: they need real windows
    if (layers) {
        ASSERT_EQ(layertest::SetUpLayerScripts(vm, &run.output), 0);
        kTransitionFxLibrary.registerLibrary(vm);
    }
    RunScriptChunk(vm, chunk, GetParam(), run);
    ResetInput();
    if (layers) layertest::TearDownLayerScripts(vm, display);
    MaskAddresses(run.output);
    EXPECT_EQ(CompareRun(expected, run), "") << GetParam();
}

std::string TestName(const testing::TestParamInfo<std::string> &info) {
    return ScriptTestName(info.param.substr(info.param.find('/') + 1));
}

INSTANTIATE_TEST_SUITE_P(Scripts, EventScript, testing::ValuesIn(FindScripts()), TestName);

} // namespace
