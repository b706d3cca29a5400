// LoadChunk on arbitrary bytes; whatever loads is also run, for a bounded number of lines and a bounded heap.
// Any outcome but a crash, a leak or a sanitizer report is fine.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/vm/vm.h"

namespace {

int gLines;

// Endless loops and runaway growth end as a user abort.
void Budget(VMState *vm) {
    if (++gLines > 5000 || GetGCCount(vm) > 64 * 1024) RaiseError(vm, kErrUserAbort);
}

int Resolve(VMState *vm, const char *name) {
    if (std::strcmp(name, "answer") == 0) {
        PushNumber(vm, 42);
        return 0;
    }
    if (std::strcmp(name, "text") == 0) {
        PushString(vm, "text");
        return 0;
    }
    return kErrUnknownConstant;
}

int Print(VMState *vm) {
    PushNumber(vm, GetTop(vm));
    return 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    VMState *vm = NewVMState();
    if (vm == nullptr) return 0;
    SetConstantResolver(vm, Resolve);
    PushNativeFunction(vm, Print, "print");
    SetGlobal(vm, "print");
    if (LoadChunkBuffer(vm, data, size, "fuzz") == 0) {
        gLines = 0;
        SetLineHook(vm, Budget);
        ProtectedCall(vm, 0, -1, 0);
        // A loaded function dumps again.
        SetTop(vm, 0);
        if (LoadChunkBuffer(vm, data, size, "fuzz") == 0)
            DumpStackFunction(vm, -1, [](VMState *, const void *, size_t, void *) { return 0; }, nullptr);
    }
    CloseVMState(vm);
    return 0;
}
