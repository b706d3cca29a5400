// Registration into a VM, the VM hooks the runtime installs, and calling script functions by name.
#include "runtime/app/command.h"

#include <string>

#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/app/utilities.h"

namespace {

int ResolveConstant(VMState *vm, const char *lowerName) {
    const ConstantEntry *entry = FindConstant(lowerName);
    if (!entry) {
        SetErrorArgString(std::string("#") + lowerName);
        return kErrUnknownConstant;
    }
    if (entry->string) PushString(vm, entry->string);
    else PushNumber(vm, entry->number);
    return 0;
}

// The pending barrier: what to run before the next command keep does not let pass, and the VM it waits on.
void (*BarrierFlush)() = nullptr;
bool (*BarrierKeep)(const char *command) = nullptr;
VMState *BarrierVm = nullptr;
uint64_t BarrierSerial = 0, LastBarrierSerial = 0;

// The hook is only installed while tracing or while a barrier waits, so other calls pay nothing.
void InstallCallHook(VMState *vm);

void BeforeCall(VMState *vm, const char *name) {
    if (CallTraceOn) {
        std::string line = std::string("Now calling ") + (name ? name : "?") + "()\n";
        WriteDebugOutput(line.data(), line.size());
    }
    if (BarrierFlush && BarrierVm == vm) {
        // What neither draws nor reads the display may run inside a batch, and so may the batch's own commands.
        const CommandDoc *doc = name ? FindCommandDoc(name) : nullptr;
        if (doc && !doc->display) return;
        if (name && BarrierKeep && BarrierKeep(name)) return;
        FlushCommandBarrier();
    }
    // A flush made elsewhere leaves the hook behind; it goes at the VM's next call.
    if (!BarrierFlush) InstallCallHook(vm);
}

void InstallCallHook(VMState *vm) { SetCallHook(vm, CallTraceOn || BarrierFlush ? BeforeCall : nullptr); }

} // namespace

void SetCommandBarrier(VMState *vm, void (*flush)(), bool (*keep)(const char *command)) {
    if (BarrierFlush == flush && BarrierVm == vm && BarrierKeep == keep) return;
    if (BarrierFlush) FlushCommandBarrier();
    BarrierSerial = ++LastBarrierSerial;
    BarrierFlush = flush;
    BarrierKeep = keep;
    BarrierVm = vm;
    InstallCallHook(vm);
}

// Touches no VM: the one the barrier waited on may be gone.
void FlushCommandBarrier() {
    void (*flush)() = BarrierFlush;
    if (!flush) return;
    BarrierFlush = nullptr;
    BarrierKeep = nullptr;
    BarrierVm = nullptr;
    BarrierSerial = 0;
    flush();
}

void DropCommandBarrier(VMState *vm) {
    if (!BarrierFlush || BarrierVm != vm) return;
    BarrierFlush = nullptr;
    BarrierKeep = nullptr;
    BarrierVm = nullptr;
    BarrierSerial = 0;
    InstallCallHook(vm);
}

uint64_t PendingCommandBarrier() { return BarrierSerial; }

void InitRuntimeSupport(VMState *vm) {
    SetErrorPolicyHook(vm, ApplyErrorPolicy);
    SetConstantResolver(vm, ResolveConstant);
    // A barrier ends with its VM: a later VM at the same address is another script.
    SetCloseHook(vm, DropCommandBarrier);
    SetCallTrace(vm, CallTraceOn);
    StartCommandRecord(vm);
}

void SetCallTrace(VMState *vm, int on) {
    CallTraceOn = on ? 1 : 0;
    InstallCallHook(vm);
}

void RegisterCommands(VMState *vm, const CommandEntry *table) {
    for (const CommandEntry *row = table; row && row->name; row++) {
        PushNativeFunction(vm, row->handler, row->name);
        SetGlobal(vm, AsciiLower(row->name).c_str());
    }
}
