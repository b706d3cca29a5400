#include <string>

#include "host/window.h"
#include "imaging/position.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/events/buttons.h"
#include "scene/events/event_commands.h"
#include "scene/events/legacy_events.h"
#include "scene/layers/layers.h"

namespace {

// Buttons belong to a picture: refused while drawing goes to a brush, mask, alpha channel or anim frame.
int CheckButtonOutput() {
    if (!CurrentDisplay || !CurrentBGPic) return kErrNoActiveBGPic;
    if (CurrentDisplay->outputKind != 1 && CurrentDisplay->outputKind != 21) return kErrNoActiveBGPic;
    return 0;
}

// Copies the eight functions of the event table into a table of their own, so later changes to the script's
// table do not reach the button. -1 with *error set when a value is no function or none is given.
int32_t ReadButtonFunctions(VMState *vm, int table, int *error) {
    *error = 0;
    NewTable(vm);
    int own = GetTop(vm);
    int count = 0;
    for (const char *name : ButtonFunctionNames) {
        NoteOptionKey(vm, name);
        RawGetField(vm, table, name);
        int type = ValueType(vm, -1);
        if (type == TNIL) {
            SetTop(vm, -2);
            continue;
        }
        if (type != TFUNCTION) {
            *error = ArgumentTypeError(vm, kErrFunctionExpected, table, -1, name);
            SetTop(vm, own - 1);
            return -1;
        }
        SetField(vm, own, name);
        count++;
    }
    if (count == 0) {
        SetTop(vm, own - 1);
        *error = kErrWrongUsage;
        return -1;
    }
    return MakeRef(vm, kRegistryIndex);
}

int ButtonCommand(VMState *vm, vlBGPicButton **out) {
    CheckArgs(vm, 1, 1);
    if (int error = CheckButtonOutput()) return error;
    ObjectId id;
    ReadObjectId(&id, vm, 1);
    return FindButton(CurrentBGPic, id, out);
}

void SetCloseWindowFlag(int32_t value) {
    if (!CurrentDisplay) return;
    CurrentDisplay->closeWindowFlag = value;
    if (CurrentDisplay->hostWindow) CurrentDisplay->hostWindow->closeWindowFlag = value;
}

} // namespace

int CmdMakeButton(VMState *vm) {
    CheckArgs(vm, 6, 8);
    ObjectId id;
    OptIntegerArg(&id, vm, 1);
    int32_t type = CheckInt32Arg(vm, 2);
    if (int error = CheckButtonOutput()) return error;
    if (type == LAYERBUTTON) {
        vlLayer *layer = GetNthLayer(CurrentBGPic, CheckLayerArg(vm, 3));
        if (!layer) return kErrLayerOutOfRange;
        const int32_t pixelExact = CheckInt32Arg(vm, 4), activeWhenHidden = CheckInt32Arg(vm, 5);
        CheckTableArg(vm, 6);
        int error;
        const int32_t functionsRef = ReadButtonFunctions(vm, 6, &error);
        if (error) return error;
        int32_t userdataRef = -1;
        if (GetTop(vm) >= 7) {
            PushValue(vm, 7);
            userdataRef = MakeRef(vm, kRegistryIndex);
        }
        vlBGPicButton *old;
        if (!IsAutoHandleRequest(id) && FindButton(CurrentBGPic, id, &old) == 0) FreeButton(vm, CurrentBGPic, old);
        vlBGPicButton *button;
        if ((error = AddLayerButton(vm, CurrentBGPic, id, layer, pixelExact, activeWhenHidden, functionsRef,
                                    userdataRef, &button)))
            return error;
        return PushAutoHandle(vm, id, button);
    }
    if (type != SIMPLEBUTTON) return kErrWrongUsage;
    int32_t x = CheckCoordinateArg(vm, 3), y = CheckCoordinateArg(vm, 4);
    int32_t width = CheckCoordinateArg(vm, 5), height = CheckCoordinateArg(vm, 6);
    if (width <= 0 || height <= 0) return kErrWrongUsage;
    CheckTableArg(vm, 7);
    x = ResolveXPosition(x, width, 0, 0);
    y = ResolveYPosition(y, height, 0, 0);
    int error;
    int32_t functionsRef = ReadButtonFunctions(vm, 7, &error);
    if (error) return error;
    int32_t userdataRef = -1;
    if (GetTop(vm) >= 8) {
        PushValue(vm, 8);
        userdataRef = MakeRef(vm, kRegistryIndex);
    }
    // Only now that the new button is sure to be made does it replace the old one.
    vlBGPicButton *old;
    if (!IsAutoHandleRequest(id) && FindButton(CurrentBGPic, id, &old) == 0) FreeButton(vm, CurrentBGPic, old);
    vlBGPicButton *button;
    if (int error = AddSimpleButton(vm, CurrentBGPic, id, x, y, x + width - 1, y + height - 1, functionsRef,
                                    userdataRef, &button))
        return error;
    return PushAutoHandle(vm, id, button);
}

int CmdDeleteButton(VMState *vm) {
    vlBGPicButton *button;
    if (int error = ButtonCommand(vm, &button)) return error;
    FreeButton(vm, CurrentBGPic, button);
    return 0;
}

int CmdEnableButton(VMState *vm) {
    vlBGPicButton *button;
    if (int error = ButtonCommand(vm, &button)) return error;
    SetButtonEnabled(button, 1);
    return 0;
}

int CmdDisableButton(VMState *vm) {
    vlBGPicButton *button;
    if (int error = ButtonCommand(vm, &button)) return error;
    SetButtonEnabled(button, 0);
    return 0;
}

int CmdDumpButtons(VMState *vm) {
    CheckArgs(vm, 0, 0);
    if (CurrentBGPic) DumpButtons(CurrentBGPic);
    return 0;
}

int CmdCreateButton(VMState *vm) {
    CheckArgs(vm, 5, 5);
    CreateLegacyButton(CheckInt32Arg(vm, 1), CheckInt32Arg(vm, 2), CheckInt32Arg(vm, 3), CheckInt32Arg(vm, 4),
                       CheckInt32Arg(vm, 5));
    return 0;
}

int CmdModifyButton(VMState *vm) {
    CheckArgs(vm, 5, 5);
    ModifyLegacyButton(CheckInt32Arg(vm, 1), CheckInt32Arg(vm, 2), CheckInt32Arg(vm, 3), CheckInt32Arg(vm, 4),
                       CheckInt32Arg(vm, 5));
    return 0;
}

int CmdRemoveButton(VMState *vm) {
    CheckArgs(vm, 1, 1);
    RemoveLegacyButton(CheckInt32Arg(vm, 1));
    return 0;
}

// CreateKeyDown and ModifyKeyDown take the same id and key name.
static int KeyDownCommand(VMState *vm, void (*apply)(int32_t, const std::string &)) {
    CheckArgs(vm, 2, 2);
    int32_t id = CheckInt32Arg(vm, 1);
    size_t length = 0;
    const char *key = CheckStringArg(vm, 2, &length);
    apply(id, std::string(key, length));
    return 0;
}

int CmdCreateKeyDown(VMState *vm) {
    return KeyDownCommand(vm, CreateLegacyKeyDown);
}

int CmdModifyKeyDown(VMState *vm) {
    return KeyDownCommand(vm, ModifyLegacyKeyDown);
}

int CmdRemoveKeyDown(VMState *vm) {
    CheckArgs(vm, 1, 1);
    RemoveLegacyKeyDown(CheckInt32Arg(vm, 1));
    return 0;
}

static int EnableOrDisable(VMState *vm, int enable) {
    CheckArgs(vm, 2, 2);
    int32_t kind = CheckInt32Arg(vm, 1), id = CheckInt32Arg(vm, 2);
    int32_t closeWindow = CurrentDisplay ? CurrentDisplay->closeWindowFlag : 0;
    SetLegacyEventEnabled(kind, id, enable, &closeWindow);
    SetCloseWindowFlag(closeWindow);
    return 0;
}

int CmdEnableEvent(VMState *vm) { return EnableOrDisable(vm, 1); }
int CmdDisableEvent(VMState *vm) { return EnableOrDisable(vm, 0); }

int CmdClearEvents(VMState *vm) {
    CheckArgs(vm, 0, 0);
    ClearLegacyEvents();
    return 0;
}
