// Runs command handlers the way scripts do: through a native function called with ProtectedCall.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <variant>

#include "runtime/app/command.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/vm/vm.h"

namespace vmtest {

// A value to push: Nil, a number, a string (zero bytes allowed) or a light handle.
struct Nil {};
using Arg = std::variant<Nil, double, std::string, void *>;

inline std::function<int(VMState *)> &Body() {
    static std::function<int(VMState *)> body;
    return body;
}
inline int Trampoline(VMState *vm) { return Body()(vm); }

inline void PushArg(VMState *vm, const Arg &arg) {
    if (std::holds_alternative<double>(arg)) PushNumber(vm, std::get<double>(arg));
    else if (std::holds_alternative<std::string>(arg)) {
        const std::string &s = std::get<std::string>(arg);
        PushStringLen(vm, s.data(), s.size());
    } else if (std::holds_alternative<void *>(arg)) PushHandle(vm, std::get<void *>(arg));
    else PushNil(vm);
}

// Owns a VM with the runtime's hooks installed.
struct Vm {
    VMState *vm;
    Vm() : vm(NewVMState()) {
        ResetRuntimeGlobals();
        InitRuntimeSupport(vm);
    }
    ~Vm() { CloseVMState(vm); }
    Vm(const Vm &) = delete;
    Vm &operator=(const Vm &) = delete;
    operator VMState *() const { return vm; }
};

// Calls body as a command with the arguments; results stay on the stack. Returns 0 or the error code.
inline int RunCommand(VMState *vm, std::function<int(VMState *)> body, std::initializer_list<Arg> args = {}) {
    Body() = std::move(body);
    PushNativeFunction(vm, Trampoline, "TestCommand");
    for (const Arg &a : args) PushArg(vm, a);
    return ProtectedCall(vm, static_cast<int>(args.size()), -1, 0);
}

// Calls a registered global command by name.
inline int CallGlobal(VMState *vm, const char *name, std::initializer_list<Arg> args = {}) {
    GetGlobal(vm, name);
    for (const Arg &a : args) PushArg(vm, a);
    return ProtectedCall(vm, static_cast<int>(args.size()), -1, 0);
}

} // namespace vmtest
