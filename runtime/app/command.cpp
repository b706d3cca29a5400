// Registration into a VM, the VM hooks the runtime installs, and calling script functions by name.
#include "runtime/app/command.h"

#include <string>

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

void TraceCall(VMState *, const char *name) {
    if (!CallTraceOn) return;
    std::string line = std::string("Now calling ") + (name ? name : "?") + "()\n";
    WriteDebugOutput(line.data(), line.size());
}

} // namespace

void InitRuntimeSupport(VMState *vm) {
    SetErrorPolicyHook(vm, ApplyErrorPolicy);
    SetConstantResolver(vm, ResolveConstant);
    SetCallTrace(vm, CallTraceOn);
}

void SetCallTrace(VMState *vm, int on) {
    CallTraceOn = on ? 1 : 0;
    // The hook is only installed while tracing, so untraced calls pay nothing.
    SetCallHook(vm, CallTraceOn ? TraceCall : nullptr);
}

void RegisterCommands(VMState *vm, const CommandEntry *table) {
    for (const CommandEntry *row = table; row && row->name; row++) {
        PushNativeFunction(vm, row->handler, row->name);
        SetGlobal(vm, AsciiLower(row->name).c_str());
    }
}
