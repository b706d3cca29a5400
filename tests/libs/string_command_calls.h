// Calling library commands through the embedding API, as a script would: push the arguments, call the global
// function in protected mode, read the results or the error code.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/app/command.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/vm/vm.h"

struct CommandArg {
    enum Kind { kNumber, kString, kNil, kStackValue } kind = kNil;
    double number = 0;
    std::string text;
    int index = 0;

    CommandArg(double n) : kind(kNumber), number(n) {}
    CommandArg(int n) : kind(kNumber), number(n) {}
    CommandArg(const char *s) : kind(kString), text(s) {}
    CommandArg(std::string s) : kind(kString), text(std::move(s)) {}
    static CommandArg Nil() { return CommandArg(); }
    static CommandArg Stack(int index) {
        CommandArg arg;
        arg.kind = kStackValue;
        arg.index = index;
        return arg;
    }

private:
    CommandArg() = default;
};

// A fresh VM with the runtime's hooks; the caller registers the libraries it tests.
inline VMState *NewCommandTestVM() {
    ResetRuntimeGlobals();
    ClearCommandRegistry();
    VMState *vm = NewVMState();
    InitRuntimeSupport(vm);
    return vm;
}

// Calls the global command; on success its results are on top of the stack and *results says how many.
inline int CallCommand(VMState *vm, const char *name, const std::vector<CommandArg> &args, int *results = nullptr) {
    int base = GetTop(vm);
    GetGlobal(vm, name);
    for (const CommandArg &arg : args) {
        switch (arg.kind) {
        case CommandArg::kNumber: PushNumber(vm, arg.number); break;
        case CommandArg::kString: PushStringLen(vm, arg.text.data(), arg.text.size()); break;
        case CommandArg::kNil: PushNil(vm); break;
        case CommandArg::kStackValue: PushValue(vm, arg.index); break;
        }
    }
    int code = ProtectedCall(vm, static_cast<int>(args.size()), -1, 0);
    if (results) *results = GetTop(vm) - base;
    return code;
}

// The command's first result as a number; the stack is left as it was.
inline double CallForNumber(VMState *vm, const char *name, const std::vector<CommandArg> &args) {
    int base = GetTop(vm), results = 0;
    int code = CallCommand(vm, name, args, &results);
    EXPECT_EQ(code, 0) << name;
    EXPECT_GE(results, 1) << name;
    double n = (code == 0 && results >= 1) ? VMToNumber(vm, base + 1) : -12345;
    SetTop(vm, base);
    return n;
}

inline std::string CallForString(VMState *vm, const char *name, const std::vector<CommandArg> &args) {
    int base = GetTop(vm), results = 0;
    int code = CallCommand(vm, name, args, &results);
    EXPECT_EQ(code, 0) << name;
    std::string text = "<no result>";
    if (code == 0 && results >= 1 && ValueType(vm, base + 1) == TSTRING) {
        size_t length = 0;
        const char *bytes = VMToString(vm, base + 1, &length);
        text.assign(bytes, length);
    }
    SetTop(vm, base);
    return text;
}

// The error code the command raises (0 when it succeeds).
inline int CallForError(VMState *vm, const char *name, const std::vector<CommandArg> &args) {
    int base = GetTop(vm);
    int code = CallCommand(vm, name, args);
    SetTop(vm, base);
    return code;
}
