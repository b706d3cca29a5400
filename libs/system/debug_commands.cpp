// Debug output of the system library: DebugPrint and its two old names, and the call trace.
#include <string>

#include "libs/system/system_commands.h"
#include "runtime/app/hooks.h"

namespace {

// Joins every argument as the script's "tostring" renders it, one blank between, and ends the line.
int PrintArguments(VMState *vm) {
    CheckArgs(vm, 1, 0);
    std::string line = JoinArgumentsAsText(vm);
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
