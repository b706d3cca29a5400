#include "host/tasks.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "scene/events/event_commands.h"
#include "scene/events/timed_callbacks.h"

namespace {

int SetTimed(VMState *vm, int kind) {
    CheckArgs(vm, 3, 4);
    ObjectId id;
    OptIntegerArg(&id, vm, 1);
    int32_t period = CheckInt32Arg(vm, 3);
    if (period < 1) return kErrWrongUsage;
    CheckFunctionArg(vm, 2);
    PushValue(vm, 2);
    int32_t functionRef = MakeRef(vm, kRegistryIndex);
    int32_t userdataRef = -1;
    // Only a fourth argument that is actually there counts as userdata.
    if (GetTop(vm) == 4) {
        PushValue(vm, 4);
        userdataRef = MakeRef(vm, kRegistryIndex);
    }
    TimedCallback *row = nullptr;
    if (int error = AddTimedCallback(vm, kind, id, period, functionRef, userdataRef, &row)) return error;
    return PushAutoHandle(vm, id, row->id.handle);
}

} // namespace

int CmdSetInterval(VMState *vm) { return SetTimed(vm, kTimerInterval); }
int CmdSetTimeout(VMState *vm) { return SetTimed(vm, kTimerTimeout); }

int CmdClearInterval(VMState *vm) {
    CheckArgs(vm, 1, 1);
    ObjectId id;
    ReadObjectId(&id, vm, 1);
    return RemoveInterval(vm, id);
}

int CmdClearTimeout(VMState *vm) {
    CheckArgs(vm, 1, 1);
    ObjectId id;
    ReadObjectId(&id, vm, 1);
    return RemoveTimeout(vm, id);
}

int CmdChangeInterval(VMState *vm) {
    CheckArgs(vm, 2, 2);
    ObjectId id;
    ReadObjectId(&id, vm, 1);
    return ChangeInterval(id, CheckInt32Arg(vm, 2));
}
