#include "scene/events/event_library.h"

#include "runtime/app/command_reference.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/runtime_globals.h"
#include "scene/display/display_list.h"
#include "scene/events/buttons.h"
#include "scene/events/dispatch.h"
#include "scene/events/event_commands.h"
#include "scene/events/event_state.h"
#include "scene/events/legacy_events.h"
#include "scene/events/timed_callbacks.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kEventReference;

EventState *TheEventState = nullptr;
EventHandlerSlot GlobalEventHandlerSlots[kGlobalHandlerCount];
const char *const GlobalEventHandlerNames[kGlobalHandlerCount] = {"onsampleloop", "onsampleend", "onmusicend",
                                                                  "onarexx"};
LegacyEvent *LegacyOverRow = nullptr;
int32_t LegacyEventCode = 0;
int32_t LegacyKeyCode = 0;

int (*TakeSoundEventHook)(SoundEvent *out) = nullptr;
RexxMessage *(*NextRexxMessageHook)() = nullptr;
std::string_view (*GetRexxCommandStringHook)(RexxMessage *message) = nullptr;
void (*ReplyRexxMessageHook)(RexxMessage *message, std::string_view reply) = nullptr;

const CommandEntry kEventCommands[] = {
    {"WaitLeftMouse", CmdWaitLeftMouse},
    {"WaitRightMouse", CmdWaitRightMouse},
    {"WaitKeyDown", CmdWaitKeyDown},
    {"IsKeyDown", CmdIsKeyDown},
    {"WhileRightMouseDown", CmdWhileRightMouseDown},
    {"WhileMouseDown", CmdWhileMouseDown},
    {"WhileKeyDown", CmdWhileKeyDown},
    {"IsLeftMouse", CmdIsLeftMouse},
    {"IsRightMouse", CmdIsRightMouse},
    {"BreakWhileMouseOn", CmdBreakWhileMouseOn},
    {"SetEventTimeout", CmdSetEventTimeout},
    {"GetEventCode", CmdGetEventCode},
    {"LeftMouseQuit", CmdLeftMouseQuit},
    {"EscapeQuit", CmdEscapeQuit},
    {"CtrlCQuit", CmdCtrlCQuit},
    {"EnableEvent", CmdEnableEvent},
    {"DisableEvent", CmdDisableEvent},
    {"RemoveButton", CmdRemoveButton},
    {"RemoveKeyDown", CmdRemoveKeyDown},
    {"ModifyButton", CmdModifyButton},
    {"ModifyKeyDown", CmdModifyKeyDown},
    {"WhileMouseOn", CmdWhileMouseOn},
    {"CreateButton", CmdCreateButton},
    {"CreateKeyDown", CmdCreateKeyDown},
    {"FreeEventCache", CmdFreeEventCache},
    {"ClearEvents", CmdClearEvents},
    {"CheckEvent", CmdCheckEvent},
    {"WaitEvent", CmdWaitEvent},
    {"MouseX", CmdMouseX},
    {"MouseY", CmdMouseY},
    {"MakeButton", CmdMakeButton},
    {"DeleteButton", CmdDeleteButton},
    {"DisableButton", CmdDisableButton},
    {"EnableButton", CmdEnableButton},
    {"InstallEventHandler", CmdInstallEventHandler},
    {"SetInterval", CmdSetInterval},
    {"SetTimeout", CmdSetTimeout},
    {"ClearInterval", CmdClearInterval},
    {"ClearTimeout", CmdClearTimeout},
    {"ChangeInterval", CmdChangeInterval},
    {"DumpButtons", CmdDumpButtons},
    {"WaitMidMouse", CmdWaitMidMouse},
    {"IsMidMouse", CmdIsMidMouse},
    {"ResetKeyStates", CmdResetKeyStates},
    {"JoyDir", CmdJoyDir},
    {"JoyFire", CmdJoyFire},
    {"CountJoysticks", CmdCountJoysticks},
    {nullptr, nullptr},
};

const ConstantEntry kEventConstants[] = {
    {"MOVEWINDOW", nullptr, 6},
    {"SIZEWINDOW", nullptr, 7},
    {"INACTIVEWINDOW", nullptr, 8},
    {"ACTIVEWINDOW", nullptr, 9},
    {"CLOSEWINDOW", nullptr, 10},
    {"ONBUTTONCLICKALL", nullptr, 11},
    {"ONBUTTONRIGHTCLICKALL", nullptr, 12},
    {"ONBUTTONOVERALL", nullptr, 13},
    {"ONKEYDOWNALL", nullptr, 14},
    {"JOYUP", nullptr, 0},
    {"JOYUPRIGHT", nullptr, 1},
    {"JOYRIGHT", nullptr, 2},
    {"JOYDOWNRIGHT", nullptr, 3},
    {"JOYDOWN", nullptr, 4},
    {"JOYDOWNLEFT", nullptr, 5},
    {"JOYLEFT", nullptr, 6},
    {"JOYUPLEFT", nullptr, 7},
    {"JOYNODIR", nullptr, 8},
    {"ONBUTTONCLICK", nullptr, 2},
    {"ONBUTTONOVER", nullptr, 1},
    {"ONKEYDOWN", nullptr, 3},
    {"ONBUTTONRIGHTCLICK", nullptr, 5},
    {"SIMPLEBUTTON", nullptr, SIMPLEBUTTON},
    {"LAYERBUTTON", nullptr, LAYERBUTTON},
    {nullptr, nullptr, 0},
};

namespace {

// Intervals and timeouts have nothing but their count to tell; an unknown id still gets its own error.
int IntervalAttribute(VMState *, ObjectId id, int32_t, int) {
    TimedCallback *row = nullptr;
    if (int error = FindInterval(id, &row)) return error;
    return kAttributeUnanswered;
}
int TimeoutAttribute(VMState *, ObjectId id, int32_t, int) {
    TimedCallback *row = nullptr;
    if (int error = FindTimeout(id, &row)) return error;
    return kAttributeUnanswered;
}

} // namespace

void RegisterEventLibrary(VMState *vm) {
    RegisterObjectKind({ObjectKindInterval, "INTERVAL", [] { return int32_t(IntervalList.size()); },
                        IntervalAttribute});
    RegisterObjectKind({ObjectKindTimeout, "TIMEOUT", [] { return int32_t(TimeoutList.size()); },
                        TimeoutAttribute});
    for (EventHandlerSlot &slot : GlobalEventHandlerSlots) slot = EventHandlerSlot{};
    delete TheEventState;
    TheEventState = new EventState;
    EventStateDisplayFreedHook = EventDisplayFreed;
    EventTimeoutMs = 1500;
    RegisterCommands(vm, kEventCommands);
    RegisterCommandLibrary(kEventCommands, "event", &kEventReference);
    RegisterConstants(vm, kEventConstants);
}

void FreeEventLists(VMState *vm) {
    ClearLegacyEvents();
    FreeTimedCallbacks(vm);
    for (EventHandlerSlot &slot : GlobalEventHandlerSlots) {
        if (vm && slot.function != -1) FreeRef(vm, kRegistryIndex, slot.function);
        if (vm && slot.userdata != -1) FreeRef(vm, kRegistryIndex, slot.userdata);
        slot = EventHandlerSlot{};
    }
    LegacyOverRow = nullptr;
    LegacyEventCode = LegacyKeyCode = 0;
    ClickAllSwitch = RightClickAllSwitch = OverAllSwitch = KeyDownAllSwitch = 0;
    if (EventStateDisplayFreedHook == EventDisplayFreed) EventStateDisplayFreedHook = nullptr;
    delete TheEventState;
    TheEventState = nullptr;
}

const LibraryDescriptor kEventLibrary{"event", RegisterEventLibrary, FreeEventLists};
