// CopyAnim. Scaling, cutting and frame insertion are not built yet.
#include "media/anim/anim.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"

int CmdCopyAnim(VMState *vm) {
    CheckArgs(vm, 2, 2);
    ObjectId sourceId{}, target{};
    ReadObjectId(&sourceId, vm, 1);
    OptIntegerArg(&target, vm, 2);
    AnimObject *source = nullptr;
    if (int error = FindAnim(sourceId, &source, kFindAnimPending)) return error;
    const bool automatic = IsAutoHandleRequest(target);
    if (!automatic) {
        if (source->id.number == target.number && source->id.handle == target.handle) return kErrWrongUsage;
        if (int error = FreeAnimById(target, 0)) return error;
    }
    if (int error = CopyAnimForReferrer(source, &target)) return error;
    if (!automatic) return 0;
    PushHandle(vm, target.handle);
    return 1;
}
