// The mouse, key and joystick commands, the key-name table, and the registration of the library.
#include "host/joystick.h"
#include "runtime/app/errors.h"
#include "scene/events/event_commands.h"
#include "scene/events/key_names.h"
#include "scene/events/legacy_events.h"
#include "tests/scene/events_fixture.h"

namespace {

class InputCommands : public EventFixture {
protected:
    void TearDown() override {
        SetPumpEventsFunction(nullptr);
        TakeSignals(kStandardWaitSignals);
        EventFixture::TearDown();
    }
    // Calls a handler with one string argument; returns the code and the number it pushed (or -1).
    int CallWithString(NativeFn fn, const char *text, double *result) {
        PushNativeFunction(vm, fn, "command");
        PushString(vm, text);
        int top = GetTop(vm) - 2;
        int code = ProtectedCall(vm, 1, 1, 0);
        if (result) *result = code == 0 && ValueType(vm, -1) == TNUMBER ? VMToNumber(vm, -1) : -1;
        SetTop(vm, top);
        return code;
    }
    double CallForNumber(NativeFn fn, std::initializer_list<double> numbers, int *code) {
        PushNativeFunction(vm, fn, "command");
        for (double n : numbers) PushNumber(vm, n);
        int top = GetTop(vm) - int(numbers.size()) - 1;
        *code = ProtectedCall(vm, int(numbers.size()), 1, 0);
        double value = *code == 0 && ValueType(vm, -1) == TNUMBER ? VMToNumber(vm, -1) : -1;
        SetTop(vm, top);
        return value;
    }
};

// A pump that lets the left button go on its first call, as a user releasing it would.
int pumpCalls = 0;
int ReleasingPump(VMState *) {
    pumpCalls++;
    CurrentDisplay->hostWindow->mouseLeft = false;
    SignalMainTask(kSignalEvent);
    return 0;
}

TEST_F(InputCommands, WaitLeftMouseWithTheButtonHeldReturnsOnReleaseAndEmptiesTheQueue) {
    display->hostWindow->mouseLeft = true;
    Click(display, kEventLeftMouse, 3, 3, 1);
    pumpCalls = 0;
    SetPumpEventsFunction(ReleasingPump);
    SignalMainTask(kSignalEvent);
    EXPECT_EQ(Call(CmdWaitLeftMouse, {}), 0);
    EXPECT_EQ(pumpCalls, 1);
    EXPECT_EQ(QueuedEventCount(), 0);
}

int QuittingPump(VMState *) {
    QuitRequested = 1;
    return 1;
}

TEST_F(InputCommands, WaitEndsWhenThePumpReportsQuitting) {
    SetPumpEventsFunction(QuittingPump);
    SignalMainTask(kSignalEvent);
    PushNativeFunction(vm, CmdWaitRightMouse, "waitrightmouse");
    EXPECT_EQ(ProtectedCall(vm, 0, -1, 0), 0);
    EXPECT_EQ(GetTop(vm), 0);
}

TEST_F(InputCommands, ClosedDisplayRefusesWaitsAndReadsTheMouseAsZero) {
    display->hostWindow->mouseX = 30;
    display->state = DISPSTATE_CLOSED;
    EXPECT_EQ(Call(CmdWaitLeftMouse, {}), 1347);
    EXPECT_EQ(CallWithString(CmdWaitKeyDown, "a", nullptr), 1347);
    int code;
    EXPECT_EQ(CallForNumber(CmdMouseX, {}, &code), 0);
}

TEST_F(InputCommands, MouseXIsInPictureCoordinates) {
    display->hostWindow->mouseX = 30;
    display->scaledLeft = 10;
    display->scaleX = 2.0;
    int code;
    EXPECT_EQ(CallForNumber(CmdMouseX, {}, &code), 10);
}

TEST_F(InputCommands, IsKeyDownReadsTheKeyStateOfACharacterOrName) {
    display->hostWindow->keyState['x'] = 1;
    display->hostWindow->keyState[275] = 1;
    double down;
    EXPECT_EQ(CallWithString(CmdIsKeyDown, "x", &down), 0);
    EXPECT_EQ(down, 1);
    EXPECT_EQ(CallWithString(CmdIsKeyDown, "y", &down), 0);
    EXPECT_EQ(down, 0);
    EXPECT_EQ(CallWithString(CmdIsKeyDown, "Esc", &down), 0);
    EXPECT_EQ(down, 1);
}

TEST_F(InputCommands, IsKeyDownRefusesUnknownNamesAndBlanks) {
    EXPECT_EQ(CallWithString(CmdIsKeyDown, "NOSUCHKEY", nullptr), 1055);
    EXPECT_EQ(CallWithString(CmdIsKeyDown, " ", nullptr), 1055);
}

TEST_F(InputCommands, WaitKeyDownTakesNoModifierNames) {
    EXPECT_EQ(CallWithString(CmdWaitKeyDown, "LSHIFT", nullptr), 1055);
}

TEST_F(InputCommands, JoyFireRefusesButtonsOutsideZeroTo32) {
    int code;
    CallForNumber(CmdJoyFire, {0, 33}, &code);
    EXPECT_EQ(code, 1055);
    CallForNumber(CmdJoyFire, {0, -1}, &code);
    EXPECT_EQ(code, 1055);
}

TEST_F(InputCommands, JoyDirBeyondPortThreeIs1427) {
    int code;
    CallForNumber(CmdJoyDir, {4}, &code);
    EXPECT_EQ(code, kErrJoystickPort);
}

TEST_F(InputCommands, QuitSwitchesSetTheSystemOptions) {
    int saved[3] = {GetSystemOption(8), GetSystemOption(9), GetSystemOption(10)};
    EXPECT_EQ(Call(CmdEscapeQuit, {0}), 0);
    EXPECT_EQ(GetSystemOption(10), 0);
    EXPECT_EQ(Call(CmdLeftMouseQuit, {1}), 0);
    EXPECT_EQ(GetSystemOption(9), 1);
    EXPECT_EQ(Call(CmdCtrlCQuit, {0}), 0);
    EXPECT_EQ(GetSystemOption(8), 0);
    for (int i = 0; i < 3; i++) SetSystemOption(0, 8 + i, saved[i]);
}

TEST_F(InputCommands, ResetKeyStatesClearsTheWindowsState) {
    display->hostWindow->keyState['a'] = 1;
    display->hostWindow->mouseLeft = true;
    EXPECT_EQ(Call(CmdResetKeyStates, {}), 0);
    double down;
    EXPECT_EQ(CallWithString(CmdIsKeyDown, "a", &down), 0);
    EXPECT_EQ(down, 0);
    int code;
    EXPECT_EQ(CallForNumber(CmdIsLeftMouse, {}, &code), 0);
}

TEST_F(InputCommands, FreeEventCacheEmptiesTheQueue) {
    Click(display, kEventLeftMouse, 1, 1, 1);
    Click(display, kEventLeftMouse, 1, 1, 0);
    EXPECT_EQ(Call(CmdFreeEventCache, {}), 0);
    EXPECT_EQ(QueuedEventCount(), 0);
}

TEST(KeyNames, CallbackTextsOfTheSpecialKeys) {
    EXPECT_EQ(CallbackKeyText(272), std::string(8, ' '));
    EXPECT_EQ(CallbackKeyText(274), "\n");
    EXPECT_EQ(CallbackKeyText(273), "\n");
    EXPECT_EQ(CallbackKeyText(276), " ");
    EXPECT_EQ(CallbackKeyText(275), "ESC");
    EXPECT_EQ(CallbackKeyText(290), "F16");
    EXPECT_EQ(CallbackKeyText('q'), "q");
}

TEST(KeyNames, LegacyTextsNameEveryKeyRow) {
    EXPECT_EQ(LegacyKeyText(272), "TAB");
    EXPECT_EQ(LegacyKeyText(274), "RETURN");
    EXPECT_EQ(LegacyKeyText(276), "SPACE");
    EXPECT_EQ(LegacyKeyText(286), "PAUSE");
}

TEST(KeyNames, EveryCodeFrom256To290HasOneRow) {
    for (int code = 256; code <= 290; code++) {
        int rows = 0;
        for (int i = 0; i < kKeyNameKeyRows; i++) rows += int32_t(KeyNameTable[i].code) == code;
        EXPECT_EQ(rows, 1) << code;
    }
}

TEST(KeyNames, ModifierRowsOnlyWhenAsked) {
    EXPECT_EQ(LookupKeyArgument("rcontrol", 8, 1), 0x80800000u);
    EXPECT_EQ(LookupKeyArgument("rcontrol", 8, 0), 0u);
    EXPECT_EQ(LookupKeyArgument("pageup", 6, 0), 283u);
}

TEST(LegacyRows, KeyRowWithoutAKeyNeverMatches) {
    CreateLegacyKeyDown(1, "");
    EventInfo key;
    key.kind = kEventKey;
    key.down = 1;
    key.keyCode = 0;
    std::string name;
    EXPECT_EQ(MatchLegacyEvent(key, 0, 0, &name), 0);
    ClearLegacyEvents();
}

TEST(LegacyRows, ModifyAndRemoveTouchTheFirstRowOfTheId) {
    CreateLegacyButton(1, 0, 0, 5, 5);
    CreateLegacyButton(1, 0, 0, 5, 5);
    ModifyLegacyButton(1, 10, 10, 20, 20);
    EventInfo click;
    click.kind = kEventLeftMouse;
    click.down = 1;
    std::string name;
    EXPECT_EQ(MatchLegacyEvent(click, 3, 3, &name), 1); // the second button still has the old rectangle
    RemoveLegacyButton(1);
    RemoveLegacyButton(1);
    EXPECT_EQ(LegacyEventList, nullptr);
}

class Registration : public EventFixture {};

// Scripts name these constants, so each is looked up by name, whatever the table's order.
TEST_F(Registration, ConstantsHaveTheirValues) {
    const std::pair<const char *, double> expected[] = {
        {"MOVEWINDOW", 6},   {"SIZEWINDOW", 7},    {"INACTIVEWINDOW", 8},  {"ACTIVEWINDOW", 9},
        {"CLOSEWINDOW", 10}, {"ONBUTTONCLICKALL", 11}, {"ONBUTTONRIGHTCLICKALL", 12}, {"ONBUTTONOVERALL", 13},
        {"ONKEYDOWNALL", 14}, {"JOYUP", 0},        {"JOYUPRIGHT", 1},      {"JOYRIGHT", 2},
        {"JOYDOWNRIGHT", 3}, {"JOYDOWN", 4},       {"JOYDOWNLEFT", 5},     {"JOYLEFT", 6},
        {"JOYUPLEFT", 7},    {"JOYNODIR", 8},      {"ONBUTTONCLICK", 2},   {"ONBUTTONOVER", 1},
        {"ONKEYDOWN", 3},    {"ONBUTTONRIGHTCLICK", 5}, {"SIMPLEBUTTON", 0}, {"LAYERBUTTON", 1}};
    for (const auto &[name, value] : expected) {
        const ConstantEntry *c = FindConstant(name);
        ASSERT_NE(c, nullptr) << name;
        EXPECT_EQ(c->number, value) << name;
    }
}

TEST_F(Registration, EventTimeoutStartsAt1500AndGlobalSlotsEmpty) {
    EXPECT_EQ(EventTimeoutMs, 1500);
    for (const EventHandlerSlot &slot : GlobalEventHandlerSlots) {
        EXPECT_EQ(slot.function, -1);
        EXPECT_EQ(slot.userdata, -1);
    }
}

} // namespace
