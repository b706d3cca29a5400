#include "host/input.h"
#include "host/joystick.h"
#include "host/tasks.h"
#include "runtime/app/attributes.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "host/event_queue.h"
#include "scene/display/display_list.h"
#include "scene/events/display_input.h"
#include "scene/events/event_commands.h"
#include "scene/events/event_state.h"
#include "scene/events/key_names.h"

namespace {

// Waits (pumping) until the condition holds; false when the program is to quit first.
template <typename Condition> bool WaitUntil(VMState *vm, Condition condition) {
    while (!condition()) {
        WaitSystemSignals(vm, 0);
        if (PumpEvents(vm)) return false;
    }
    return true;
}

int WaitMouseButton(VMState *vm, int which) {
    CheckArgs(vm, 0, 0);
    if (DisplayIsClosed(CurrentDisplay)) return kErrDisplayClosed;
    auto held = [which] { return CurrentDisplay && DisplayMouseButton(CurrentDisplay, which); };
    auto presses = [which] { return DisplayMousePresses(CurrentDisplay, which); };
    // The flag alone misses a click whose press and release came in one pump (a quick click, a touchpad's tap):
    // a press counted meanwhile is one too. A button held at the call is only waited for until it is released,
    // and a new press since counts as that release.
    uint32_t seen = presses();
    bool pressed = held() || WaitUntil(vm, [&] { return held() || presses() != seen; });
    seen = presses();
    if (pressed) WaitUntil(vm, [&] { return !held() || presses() != seen; });
    // The click is used up here; CheckEvent must not deliver it again.
    RemoveEvent(vm, -1, 1);
    return 0;
}

int WhileHeld(VMState *vm, int which) {
    CheckArgs(vm, 0, 0);
    WaitUntil(vm, [which] { return !CurrentDisplay || !DisplayMouseButton(CurrentDisplay, which); });
    return 0;
}

int SetQuitSwitch(VMState *vm, int option) {
    CheckArgs(vm, 1, 1);
    SetSystemOption(0, option, CheckInt32Arg(vm, 1) != 0);
    return 0;
}

int PushFlag(VMState *vm, int which) {
    CheckArgs(vm, 0, 0);
    PushNumber(vm, DisplayMouseButton(CurrentDisplay, which));
    return 1;
}

uint32_t ReadKeyArgument(VMState *vm, int withModifiers) {
    size_t length = 0;
    const char *text = CheckStringArg(vm, 1, &length);
    const uint32_t code = LookupKeyArgument(text, length, withModifiers);
    if (!code) RaiseErrorWithHint(vm, kErrWrongUsage, KeyNameHint(text, length, withModifiers));
    return code;
}

} // namespace

int CmdWaitLeftMouse(VMState *vm) { return WaitMouseButton(vm, 1); }
int CmdWaitRightMouse(VMState *vm) { return WaitMouseButton(vm, 2); }
int CmdWaitMidMouse(VMState *vm) { return WaitMouseButton(vm, 3); }

int CmdWaitKeyDown(VMState *vm) {
    CheckArgs(vm, 1, 1);
    if (DisplayIsClosed(CurrentDisplay)) return kErrDisplayClosed;
    uint32_t code = ReadKeyArgument(vm, 0);
    if (!code) return kErrWrongUsage;
    auto down = [code] { return CurrentDisplay && DisplayKeyState(CurrentDisplay, code); };
    auto up = [&] { return !down(); };
    if (WaitUntil(vm, up) && WaitUntil(vm, down)) WaitUntil(vm, up);
    RemoveEvent(vm, -1, 1);
    return 0;
}

int CmdIsKeyDown(VMState *vm) {
    CheckArgs(vm, 1, 1);
    uint32_t code = ReadKeyArgument(vm, 1);
    if (!code) return kErrWrongUsage;
    int down;
    if (IsModifierCode(code)) down = (ReadQualifierKeys() & code) == code;
    else down = DisplayKeyState(CurrentDisplay, code);
    PushNumber(vm, down);
    return 1;
}

int CmdWhileMouseDown(VMState *vm) { return WhileHeld(vm, 1); }
int CmdWhileRightMouseDown(VMState *vm) { return WhileHeld(vm, 2); }

int CmdWhileKeyDown(VMState *vm) {
    CheckArgs(vm, 0, 0);
    WaitUntil(vm, [] { return !CurrentDisplay || !DisplayKeyState(CurrentDisplay, LegacyKeyCode); });
    return 0;
}

int CmdIsLeftMouse(VMState *vm) { return PushFlag(vm, 1); }
int CmdIsRightMouse(VMState *vm) { return PushFlag(vm, 2); }
int CmdIsMidMouse(VMState *vm) { return PushFlag(vm, 3); }

int CmdSetEventTimeout(VMState *vm) {
    CheckArgs(vm, 1, 1);
    SetAttributeNumber(vm, kAttrEventTimeout, CheckInt32Arg(vm, 1));
    return 0;
}

int CmdGetEventCode(VMState *vm) {
    CheckArgs(vm, 0, 0);
    PushNumber(vm, LegacyEventCode);
    return 1;
}

int CmdLeftMouseQuit(VMState *vm) { return SetQuitSwitch(vm, 9); }
int CmdEscapeQuit(VMState *vm) { return SetQuitSwitch(vm, 10); }
int CmdCtrlCQuit(VMState *vm) { return SetQuitSwitch(vm, 8); }

int CmdFreeEventCache(VMState *vm) {
    CheckArgs(vm, 0, 0);
    RemoveEvent(vm, -1, 1);
    return 0;
}

int PushMouseCoordinate(VMState *vm, bool vertical) {
    CheckArgs(vm, 0, 0);
    int32_t x, y;
    DisplayMousePosition(CurrentDisplay, &x, &y);
    PushNumber(vm, vertical ? y : x);
    return 1;
}

int CmdMouseX(VMState *vm) { return PushMouseCoordinate(vm, false); }
int CmdMouseY(VMState *vm) { return PushMouseCoordinate(vm, true); }

int CmdResetKeyStates(VMState *vm) {
    CheckArgs(vm, 0, 0);
    if (!CurrentDisplay) return 0;
    ResetDisplayInputState(CurrentDisplay);
    return 0;
}

int CmdJoyDir(VMState *vm) {
    CheckArgs(vm, 1, 1);
    int32_t direction = kJoystickCentred;
    if (int error = ReadJoystick(CheckInt32Arg(vm, 1), &direction, nullptr)) return error;
    PushNumber(vm, direction);
    return 1;
}

int CmdJoyFire(VMState *vm) {
    CheckArgs(vm, 1, 2);
    int32_t port = CheckInt32Arg(vm, 1);
    int32_t button = OptInt32Arg(vm, 2, 1);
    if (button < 0 || button > 32) return kErrWrongUsage;
    int32_t mask = 0;
    if (int error = ReadJoystick(port, nullptr, &mask)) return error;
    PushNumber(vm, button == 0 ? mask : (uint32_t(mask) >> (button - 1)) & 1);
    return 1;
}

int CmdCountJoysticks(VMState *vm) {
    CheckArgs(vm, 0, 0);
    int32_t count = 0;
    CountJoystickPorts(&count);
    PushNumber(vm, count);
    return 1;
}
