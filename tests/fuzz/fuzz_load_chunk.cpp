// LoadChunk on arbitrary bytes; whatever loads is also run, for a bounded number of lines and a bounded heap.
// Any outcome but a crash, a leak or a sanitizer report is fine. One VM serves every input (making one, with its
// whole stack, costs more than most inputs); its globals are cleared between inputs so each starts alike.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "runtime/vm/vm.h"

namespace {

int gLines;

// Endless loops and runaway growth end as a user abort, early: depth comes from many inputs, not long runs.
constexpr size_t kMaxInput = 64 * 1024;
void Budget(VMState *vm) {
    if (++gLines > 2000 || GetGCCount(vm) > 8 * 1024) RaiseError(vm, kErrUserAbort);
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

// Every global but print goes, so what one input stored cannot change the next.
void ResetGlobals(VMState *vm) {
    SetTop(vm, 0);
    PushNil(vm);
    while (NextPair(vm, kGlobalsIndex)) {
        SetTop(vm, -2);   // drop the value, keep the key for the walk
        PushValue(vm, -1);
        PushNil(vm);
        VMRawSet(vm, kGlobalsIndex);
    }
    PushNativeFunction(vm, Print, "print");
    SetGlobal(vm, "print");
    SetLineHook(vm, nullptr);
    CollectGarbage(vm); // what the last input left must not count against this one
}

VMState *SharedVM() {
    static VMState *vm = [] {
        VMState *made = NewVMState();
        if (made) SetConstantResolver(made, Resolve);
        return made;
    }();
    return vm;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    VMState *vm = SharedVM();
    if (vm == nullptr || size > kMaxInput) return 0;
    ResetGlobals(vm);
    if (LoadChunkBuffer(vm, data, size, "fuzz") == 0) {
        gLines = 0;
        SetLineHook(vm, Budget);
        ProtectedCall(vm, 0, -1, 0);
        // A loaded function dumps again.
        SetTop(vm, 0);
        if (LoadChunkBuffer(vm, data, size, "fuzz") == 0)
            DumpStackFunction(vm, -1, [](VMState *, const void *, size_t, void *) { return 0; }, nullptr);
    }
    SetTop(vm, 0);
    return 0;
}
