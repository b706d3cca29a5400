// Debug output of the system library: DebugPrint and its two old names, and the call trace.
#include <string>

#include "libs/system/system_commands.h"
#include "runtime/app/hooks.h"

namespace {

// Joins every argument as the script's "tostring" renders it, one blank between, and ends the line.
int PrintArguments(VMState *vm) {
    CheckArgs(vm, 1, 0);
    int count = GetTop(vm);
    std::string line;
    for (int i = 1; i <= count; i++) {
        if (i > 1) line += ' ';
        GetGlobal(vm, "tostring");
        if (ValueType(vm, -1) == TFUNCTION) {
            PushValue(vm, i);
            CallFunction(vm, 1, 1);
        } else {
            // Without the string library only strings and numbers have a text of their own.
            SetTop(vm, -2);
            int type = ValueType(vm, i);
            if (type == TSTRING || type == TNUMBER) PushValue(vm, i);
            else PushString(vm, type == TNIL ? "Nil" : "?");
        }
        size_t length = 0;
        const char *text = VMToString(vm, -1, &length);
        if (text) line.append(text, length); // zero bytes inside are kept
        SetTop(vm, -2);
    }
    line += '\n';
    WriteDebugOutput(line.data(), line.size());
    return 0;
}

} // namespace

int CmdDebugPrint(VMState *vm) { return PrintArguments(vm); }
int CmdDebugStr(VMState *vm) { return PrintArguments(vm); }
int CmdDebugVal(VMState *vm) { return PrintArguments(vm); }

int CmdDebugOutput(VMState *vm) {
    CheckArgs(vm, 1, 1);
    SetCallTrace(vm, CheckNumberArg(vm, 1) != 0);
    return 0;
}
