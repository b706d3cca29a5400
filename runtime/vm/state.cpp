// The VM state: creation, teardown, hooks and the interpreter globals the runtime reads and writes.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <new>

#include "runtime/vm/vm_internal.h"

namespace {

const char *const kTMNames[kTMCount] = {
    "__index", "__newindex", "__eq",  "__len", "__lt",  "__le",  "__call",     "__concat",    "__add",
    "__sub",   "__mul",      "__div", "__mod", "__pow", "__unm", "__tostring", "__metatable",
};

// Below this heap size nothing is collected unless asked (a typical applet's start-up heap).
constexpr size_t kInitialThreshold = 1024 * 1024;

void FreeState(VMState *vm) {
    FreeAllObjects(vm);
    std::free(vm->stack);
    std::free(vm->frames);
    delete vm;
}

} // namespace

VMState *NewVMState() {
    VMState *vm = new (std::nothrow) VMState();
    if (vm == nullptr) return nullptr;
    // The whole stack is reserved at once so that frames never move; untouched pages cost nothing.
    vm->stack = static_cast<VMValue *>(std::calloc(size_t(kMaxStackSlots) + kStackExtra, sizeof(VMValue)));
    vm->frames = static_cast<CallFrame *>(std::calloc(kMaxCallFrames, sizeof(CallFrame)));
    if (vm->stack == nullptr || vm->frames == nullptr) {
        std::free(vm->stack);
        std::free(vm->frames);
        delete vm;
        return nullptr;
    }
    vm->stackEnd = vm->stack + kMaxStackSlots;
    vm->callLimit = vm->stack + std::min(kMaxStackSlots, kMaxCallFrames - 1);
    vm->framesEnd = vm->frames + kMaxCallFrames;
    CallFrame *base = vm->frames;
    base->func = vm->stack;
    base->base = vm->stack + 1;
    base->top = base->base + kMaxFrameSlots;
    base->isNative = 1;
    vm->ci = base;
    vm->top = base->base;
    vm->highWater = base->top;
    vm->gcThreshold = kInitialThreshold;
    vm->callPcIndex = -1;
    UpdateHookPoll(vm);
    try {
        InitStrings(vm);
        GCPause pause(vm);
        SetObject(&vm->registry, NewTableObject(vm, 4, 8), TTABLE);
        SetObject(&vm->globals, NewTableObject(vm, 0, 64), TTABLE);
        for (int i = 0; i < kTMCount; i++) vm->tmNames[i] = NewString(vm, kTMNames[i]);
        // Key 0 of the registry is taken so that references (1, 2, ...) extend its array part.
        VMValue placeholder;
        SetBool(&placeholder, 0);
        TableSetInt(vm, AsTable(&vm->registry), 0, &placeholder);
    } catch (...) {
        FreeState(vm);
        return nullptr;
    }
    const char *stress = std::getenv("VL_GC_STRESS");
    if (stress != nullptr && stress[0] != 0 && stress[0] != '0') vm->gcStress = true;
    return vm;
}

void CloseVMState(VMState *vm) {
    if (vm == nullptr) return;
    if (vm->closeHook != nullptr) vm->closeHook(vm);
    FreeState(vm);
}

namespace {
const std::atomic<int> kClosedGate{0}, kOpenGate{1};
} // namespace

void UpdateHookPoll(VMState *vm) {
    if (vm->lineHook == nullptr) {
        vm->hookPoll[0] = vm->hookPoll[1] = &kClosedGate;
    } else if (vm->hookGates[0] == nullptr) {
        vm->hookPoll[0] = &kOpenGate;
        vm->hookPoll[1] = &kClosedGate;
    } else {
        vm->hookPoll[0] = vm->hookGates[0];
        vm->hookPoll[1] = vm->hookGates[1];
    }
}

void SetLineHook(VMState *vm, LineHook hook) {
    vm->lineHook = hook;
    UpdateHookPoll(vm);
}

void SetLineHookGates(VMState *vm, const std::atomic<int> *first, const std::atomic<int> *second) {
    vm->hookGates[0] = first;
    vm->hookGates[1] = first == nullptr ? nullptr : second != nullptr ? second : &kClosedGate;
    UpdateHookPoll(vm);
}
void SetCallHook(VMState *vm, CallHook hook) { vm->callHook = hook; }
void SetErrorPolicyHook(VMState *vm, ErrorPolicyHook hook) { vm->errorPolicy = hook; }
void SetCommandErrorHook(VMState *vm, CommandErrorHook hook) { vm->commandErrorHook = hook; }
void SetConstantResolver(VMState *vm, ConstantResolver resolver) { vm->constantResolver = resolver; }
void SetCloseHook(VMState *vm, CloseHook hook) { vm->closeHook = hook; }

int CallPcIndex(VMState *vm) { return vm->ci->isNative ? vm->ci->callPc : vm->callPcIndex; }
void SetGosubJumpDelta(VMState *vm, int delta) { vm->gosubJumpDelta = delta; }

int FindLabel(VMState *vm, const char *name) {
    if (vm->mainProto == nullptr || name == nullptr) return -1;
    for (const ProtoLabel &l : vm->mainProto->labels) {
        size_t i = 0;
        for (; name[i] != 0 && i < l.name.size(); i++)
            if (std::tolower(static_cast<unsigned char>(name[i])) !=
                std::tolower(static_cast<unsigned char>(l.name[i])))
                break;
        if (name[i] == 0 && i == l.name.size()) return int(l.pc);
    }
    return -1;
}
