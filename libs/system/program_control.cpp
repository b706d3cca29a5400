// Program control of the system library: ending, errors, type tests, the garbage collector, memory, the version
// and constants.
#include <string>

#include "host/memory.h"
#include "libs/system/system_commands.h"
#include "runtime/app/attributes.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/object_list.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/app/startup_config.h"

namespace {

// Script-visible type numbers (the NIL, NUMBER, ... constants); booleans have none.
int ScriptTypeNumber(int type) {
    switch (type) {
    case TNIL: return 0;
    case TNUMBER: return 2;
    case TSTRING: return 3;
    case TTABLE: return 4;
    case TFUNCTION: return 5;
    case TUSERDATA: return 8;
    case TLIGHTHANDLE: return 9;
    case TTHREAD: return 10;
    default: return -1;
    }
}

constexpr int kChipMemory = 0;
constexpr int kFastMemory = 1;
constexpr int kProgramTypeScript = 0;
constexpr int kProgramTypeApplet = 1;
constexpr int kProgramTypeProgram = 2;

} // namespace

int CmdEnd(VMState *vm) {
    CheckArgs(vm, 0, 0);
    QuitRequested = 1;
    return 0;
}

int CmdGetErrorName(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string text = GetErrorText(CheckInt32Arg(vm, 1));
    PushStringLen(vm, text.data(), text.size());
    return 1;
}

int CmdError(VMState *vm) {
    CheckArgs(vm, 1, 1);
    size_t length = 0;
    const char *text = CheckStringArg(vm, 1, &length);
    SetErrorArgString(std::string_view(text, length));
    return kErrUserError;
}

int CmdGetLastError(VMState *vm) {
    CheckArgs(vm, 0, 0);
    PushNumber(vm, LastErrorCode);
    return 1;
}

int CmdExitOnError(VMState *vm) {
    CheckArgs(vm, 1, 1);
    SetAttributeNumber(vm, kAttrExitOnError, CheckNumberArg(vm, 1) != 0 ? 1 : 0);
    return 0;
}

int CmdGetType(VMState *vm) {
    CheckArgs(vm, 1, 1);
    PushNumber(vm, ScriptTypeNumber(ValueType(vm, 1)));
    return 1;
}

int CmdIIf(VMState *vm) {
    CheckArgs(vm, 3, 3);
    bool condition = false;
    switch (ValueType(vm, 1)) {
    case TNIL: condition = false; break;
    case TNUMBER: condition = VMToNumber(vm, 1) != 0; break;
    case TSTRING: {
        size_t length = 0;
        VMToString(vm, 1, &length);
        condition = length > 0; // "0" is a non-empty string, so true
        break;
    }
    default: return kErrWrongType;
    }
    PushValue(vm, condition ? 2 : 3);
    return 1;
}

int CmdGCInfo(VMState *vm) {
    CheckArgs(vm, 0, 0);
    PushNumber(vm, GetGCCount(vm));
    PushNumber(vm, GetGCThreshold(vm));
    return 2;
}

int CmdCollectGarbage(VMState *vm) {
    CheckArgs(vm, 0, 1);
    int32_t threshold = OptInt32Arg(vm, 1, 0);
    SetGCThreshold(vm, threshold < 0 ? 0 : threshold);
    FlushPendingFrees();
    return 0;
}

int CmdGetMemoryInfo(VMState *vm) {
    CheckArgs(vm, 1, 1);
    int32_t type = CheckInt32Arg(vm, 1);
    if (type != kChipMemory && type != kFastMemory) return kErrWrongUsage;
    PushNumber(vm, static_cast<double>(GetAvailableMemory(type)));
    return 1;
}

int CmdGetVersion(VMState *vm) {
    CheckArgs(vm, 0, 1);
    NewTable(vm);
    SetTableString(vm, "application", "VistaloomPlayer");
    SetTableString(vm, "version", "4.7");
    SetTableString(vm, "version_date", "21.04.10");
    SetTableString(vm, "kernel", "4.7");
    SetTableString(vm, "kernel_date", "21.04.10");
    SetTableNumber(vm, "beta", 0);
    SetTableString(vm, "platform", "MorphOS");
    return 1;
}

int CmdGetCommandLine(VMState *vm) {
    CheckArgs(vm, 0, 0);
    const StartupConfig *config = GetStartupConfig(vm);
    size_t count = config ? config->userArguments.size() : 0;
    NewTable(vm);
    for (size_t i = 0; i < count; i++) {
        const UserArgument &argument = config->userArguments[i];
        NewTable(vm);
        PushStringLen(vm, argument.name.data(), argument.name.size());
        SetField(vm, -2, "arg");
        PushStringLen(vm, argument.value.data(), argument.hasValue ? argument.value.size() : 0);
        SetField(vm, -2, "param");
        RawSetIndex(vm, -2, static_cast<int64_t>(i));
    }
    PushNumber(vm, static_cast<double>(count));
    PushNumber(vm, StartedFromShell);
    return 3;
}

int CmdGetProgramInfo(VMState *vm) {
    CheckArgs(vm, 0, 0);
    const StartupConfig *config = GetStartupConfig(vm);
    const char *programName = config ? config->programName : "";
    // Not PayloadOffset: it is 0 for an appended compressed applet, which is read from its unpacked copy.
    if (config && config->isLinkedProgram) {
        PushNumber(vm, kProgramTypeProgram);
        PushString(vm, programName);
        return 2;
    }
    PushNumber(vm, config && config->isApplet ? kProgramTypeApplet : kProgramTypeScript);
    PushString(vm, config ? config->scriptPath : "");
    PushString(vm, programName);
    return 3;
}

int CmdGetConstant(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const char *text = CheckStringArg(vm, 1);
    int read = 0, isString = 0;
    double value = 0;
    const char *stringValue = nullptr;
    if (int error = ParseConstantName(vm, text, &read, &isString, &value, &stringValue)) return error;
    if (isString) PushString(vm, stringValue);
    else PushNumber(vm, value);
    return 1;
}
