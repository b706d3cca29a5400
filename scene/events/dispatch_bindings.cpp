#include "host/window.h"
#include "runtime/app/attributes.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/events/dispatch.h"
#include "scene/events/event_commands.h"
#include "scene/events/legacy_events.h"

namespace {

EventHandlerSlot *SlotOf(int index) {
    if (index < kEventHandlerSlotCount) return CurrentDisplay ? &CurrentDisplay->handlers[index] : nullptr;
    return &GlobalEventHandlerSlots[index - kEventHandlerSlotCount];
}

const char *NameOf(int index) {
    return index < kEventHandlerSlotCount ? EventHandlerNames[index]
                                          : GlobalEventHandlerNames[index - kEventHandlerSlotCount];
}

} // namespace

int InstallEventHandlers(VMState *vm, int table, int userdata) {
    constexpr int kSlots = kEventHandlerSlotCount + kGlobalHandlerCount;
    // Everything is checked before anything changes, so a bad entry leaves every handler as it was.
    for (int i = 0; i < kSlots; i++) {
        NoteOptionKey(vm, NameOf(i));
        RawGetField(vm, table, NameOf(i));
        int type = ValueType(vm, -1);
        if (type != TNIL && type != TNUMBER && type != TFUNCTION) {
            const int error = ArgumentTypeError(vm, kErrFunctionExpected, 1, -1, NameOf(i));
            SetTop(vm, -2);
            return error;
        }
        SetTop(vm, -2);
        if (type == TNIL) continue;
        if (!SlotOf(i)) return kErrWrongUsage; // a display handler without a display
    }
    int32_t oldDropFile = CurrentDisplay ? CurrentDisplay->handlers[kSlotOnDropFile].function : -1;
    int32_t oldClipboard = CurrentDisplay ? CurrentDisplay->handlers[kSlotClipboardChange].function : -1;
    for (int i = 0; i < kSlots; i++) {
        RawGetField(vm, table, NameOf(i));
        int type = ValueType(vm, -1);
        if (type == TNIL) {
            SetTop(vm, -2);
            continue;
        }
        EventHandlerSlot *slot = SlotOf(i);
        if (slot->function != -1) FreeRef(vm, kRegistryIndex, slot->function);
        if (type == TFUNCTION) {
            slot->function = MakeRef(vm, kRegistryIndex);
        } else {
            SetTop(vm, -2);
            slot->function = -1;
        }
        if (userdata || type == TNUMBER) {
            if (slot->userdata != -1) FreeRef(vm, kRegistryIndex, slot->userdata);
            slot->userdata = -1;
        }
        // One reference per slot: replacing one handler later must not release another slot's userdata.
        if (userdata && type == TFUNCTION) {
            PushValue(vm, userdata);
            slot->userdata = MakeRef(vm, kRegistryIndex);
        }
    }
    int error = 0;
    if (DisplayRecord *d = CurrentDisplay) {
        d->closeWindowFlag = d->handlers[kSlotCloseWindow].function != -1 ? 1 : 0;
        if (d->hostWindow) d->hostWindow->closeWindowFlag = d->closeWindowFlag;
        if (d->state != DISPSTATE_CLOSED && d->hostWindow && d->handlers[kSlotOnDropFile].function != oldDropFile)
            error = UpdateAppWindow(d->hostWindow, d->handlers[kSlotOnDropFile].function != -1);
        if (!error && d->hostWindow && d->handlers[kSlotClipboardChange].function != oldClipboard)
            error = UpdateClipboardHook(d->hostWindow, d->handlers[kSlotClipboardChange].function != -1);
    }
    SetAttributeNumber(vm, kAttrSampleLoopHandler, GlobalEventHandlerSlots[kGlobalSampleLoop].function != -1);
    SetAttributeNumber(vm, kAttrSampleEndHandler, GlobalEventHandlerSlots[kGlobalSampleEnd].function != -1);
    SetAttributeNumber(vm, kAttrMusicEndHandler, GlobalEventHandlerSlots[kGlobalMusicEnd].function != -1);
    return error;
}

int CmdInstallEventHandler(VMState *vm) {
    CheckArgs(vm, 1, 2);
    CheckTableArg(vm, 1);
    return InstallEventHandlers(vm, 1, GetTop(vm) >= 2 ? 2 : 0);
}

int CmdCheckEvent(VMState *vm) {
    CheckArgs(vm, 0, 0);
    return WaitOrCheckEvent(vm, 0);
}

int CmdWaitEvent(VMState *vm) {
    CheckArgs(vm, 0, 0);
    return WaitOrCheckEvent(vm, 1);
}

int CmdWhileMouseOn(VMState *vm) {
    CheckArgs(vm, 0, 0);
    return RunWhileMouseOn(vm);
}

int CmdBreakWhileMouseOn(VMState *vm) {
    CheckArgs(vm, 0, 0);
    LegacyOverRow = nullptr;
    return 0;
}
