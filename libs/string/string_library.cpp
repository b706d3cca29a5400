// Bindings of the "string" command library: read the arguments, call the operation, push the result.
#include "libs/string/string_library.h"

#include <cstdio>
#include <string_view>

#include "host/allocation_cap.h"
#include "host/charset.h"
#include "libs/string/string_ops.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kStringReference;

namespace {

std::string_view StringArg(VMState *vm, int n) {
    size_t length = 0;
    const char *bytes = CheckStringArg(vm, n, &length);
    return {bytes, length};
}

void PushView(VMState *vm, std::string_view s) {
    PushStringLen(vm, s.data(), s.size());
}

bool CaseArg(VMState *vm, int n) {
    return OptInt32Arg(vm, n, 1) != 0;
}

int CmdFindStr(VMState *vm) {
    CheckArgs(vm, 2, 4);
    std::string_view s = StringArg(vm, 1), sub = StringArg(vm, 2);
    bool caseSensitive = CaseArg(vm, 3);
    int32_t start = OptInt32Arg(vm, 4, 0);
    if (start < 0) return kErrWrongUsage;
    PushNumber(vm, stringlib::FindStr(s, sub, caseSensitive, start, DefaultEncoding));
    return 1;
}

int CmdCountStr(VMState *vm) {
    CheckArgs(vm, 2, 4);
    std::string_view s = StringArg(vm, 1), sub = StringArg(vm, 2);
    bool caseSensitive = CaseArg(vm, 3);
    int32_t start = OptInt32Arg(vm, 4, 0);
    if (start < 0) return kErrWrongUsage;
    PushNumber(vm, stringlib::CountStr(s, sub, caseSensitive, start, DefaultEncoding));
    return 1;
}

int CmdReplaceStr(VMState *vm) {
    CheckArgs(vm, 3, 5);
    std::string_view s = StringArg(vm, 1), search = StringArg(vm, 2), replacement = StringArg(vm, 3);
    bool caseSensitive = CaseArg(vm, 4);
    int32_t start = OptInt32Arg(vm, 5, 0);
    if (start < 0) return kErrWrongUsage;
    PushView(vm, stringlib::ReplaceStr(s, search, replacement, caseSensitive, start, DefaultEncoding));
    return 1;
}

int CmdInsertStr(VMState *vm) {
    CheckArgs(vm, 3, 4);
    std::string_view s = StringArg(vm, 1), insertion = StringArg(vm, 2);
    int32_t pos = CheckInt32Arg(vm, 3);
    bool overwrite = OptInt32Arg(vm, 4, 0) != 0;
    if (pos < 0) return kErrWrongUsage;
    PushView(vm, stringlib::InsertStr(s, insertion, pos, overwrite));
    return 1;
}

int CmdSplitStr(VMState *vm) {
    CheckArgs(vm, 2, 2);
    std::string_view s = StringArg(vm, 1), separator = StringArg(vm, 2);
    if (separator.size() != 1) return kErrWrongUsage;
    std::vector<std::string_view> pieces = stringlib::SplitStr(s, separator[0]);
    NewTable(vm);
    for (size_t i = 0; i < pieces.size(); ++i) {
        PushView(vm, pieces[i]);
        RawSetIndex(vm, -2, static_cast<int64_t>(i));
    }
    PushNumber(vm, static_cast<double>(pieces.size()));
    return 2;
}

int CmdTrimStr(VMState *vm) {
    CheckArgs(vm, 3, 3);
    std::string_view s = StringArg(vm, 1), c = StringArg(vm, 2);
    bool fromRight = CheckInt32Arg(vm, 3) != 0;
    if (c.size() != 1) return kErrWrongUsage;
    PushView(vm, stringlib::TrimStr(s, c[0], fromRight));
    return 1;
}

int CmdLeftStr(VMState *vm) {
    CheckArgs(vm, 2, 2);
    PushView(vm, stringlib::LeftStr(StringArg(vm, 1), CheckInt32Arg(vm, 2)));
    return 1;
}

int CmdRightStr(VMState *vm) {
    CheckArgs(vm, 2, 2);
    PushView(vm, stringlib::RightStr(StringArg(vm, 1), CheckInt32Arg(vm, 2)));
    return 1;
}

int CmdMidStr(VMState *vm) {
    CheckArgs(vm, 3, 3);
    std::string_view s = StringArg(vm, 1);
    int32_t start = CheckInt32Arg(vm, 2), len = CheckInt32Arg(vm, 3);
    PushView(vm, stringlib::MidStr(s, start, len));
    return 1;
}

int CmdUnleftStr(VMState *vm) {
    CheckArgs(vm, 2, 2);
    std::string_view s = StringArg(vm, 1);
    int32_t n = CheckInt32Arg(vm, 2);
    if (n < 0) return kErrWrongUsage;
    PushView(vm, stringlib::UnleftStr(s, n));
    return 1;
}

int CmdUnrightStr(VMState *vm) {
    CheckArgs(vm, 2, 2);
    std::string_view s = StringArg(vm, 1);
    int32_t n = CheckInt32Arg(vm, 2);
    if (n < 0) return kErrWrongUsage;
    PushView(vm, stringlib::UnrightStr(s, n));
    return 1;
}

int CmdUnmidStr(VMState *vm) {
    CheckArgs(vm, 3, 3);
    std::string_view s = StringArg(vm, 1);
    int32_t start = CheckInt32Arg(vm, 2), len = CheckInt32Arg(vm, 3);
    if (start < 0 || len < 0) return kErrWrongUsage;
    PushView(vm, stringlib::UnmidStr(s, start, len));
    return 1;
}

int CmdAddStr(VMState *vm) {
    CheckArgs(vm, 2, 2);
    std::string joined(StringArg(vm, 1));
    joined.append(StringArg(vm, 2));
    PushView(vm, joined);
    return 1;
}

int CmdStrLen(VMState *vm) {
    CheckArgs(vm, 1, 1);
    // CheckStringArg's rule without its extra call: StrLen often runs once per line of a file.
    size_t length = 0;
    if (!VMToString(vm, 1, &length)) CheckStringArg(vm, 1, &length); // raises, saying what was given
    PushNumber(vm, static_cast<double>(length));
    return 1;
}

int CmdAsc(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string_view s = StringArg(vm, 1);
    PushNumber(vm, s.empty() ? 0 : static_cast<unsigned char>(s[0]));
    return 1;
}

int CmdChr(VMState *vm) {
    CheckArgs(vm, 1, 1);
    int32_t code = CheckInt32Arg(vm, 1);
    if (code < 0 || code > 255) return kErrWrongUsage;
    char byte = static_cast<char>(code); // code 0 gives the one-byte string "\0"
    PushStringLen(vm, &byte, 1);
    return 1;
}

int CmdLowerStr(VMState *vm) {
    CheckArgs(vm, 1, 1);
    PushView(vm, stringlib::LowerStr(StringArg(vm, 1), DefaultEncoding));
    return 1;
}

int CmdUpperStr(VMState *vm) {
    CheckArgs(vm, 1, 1);
    PushView(vm, stringlib::UpperStr(StringArg(vm, 1), DefaultEncoding));
    return 1;
}

int CmdHexStr(VMState *vm) {
    CheckArgs(vm, 1, 1);
    PushView(vm, stringlib::HexStr(CheckUnsignedArg(vm, 1)));
    return 1;
}

// Read as unsigned so that all 32 digits of values up to 4294967295 show; narrower types take the low bits.
int CmdBinStr(VMState *vm) {
    CheckArgs(vm, 1, 2);
    uint32_t n = CheckUnsignedArg(vm, 1);
    PushView(vm, stringlib::BinStr(n, OptInt32Arg(vm, 2, 1)));
    return 1;
}

int CmdPadNum(VMState *vm) {
    CheckArgs(vm, 2, 2);
    int32_t n = CheckInt32Arg(vm, 1), digits = CheckInt32Arg(vm, 2);
    if (n < 0 || digits <= 0) return kErrWrongUsage;
    if (!FitsAllocationCap(digits, 1)) return kErrOutOfMemory;
    PushView(vm, stringlib::PadNum(n, digits));
    return 1;
}

int CmdStrStr(VMState *vm) {
    CheckArgs(vm, 1, 2);
    double x = CheckNumberArg(vm, 1);
    PushView(vm, stringlib::StrStr(x, OptInt32Arg(vm, 2, 2)));
    return 1;
}

int CmdVal(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const char *text = CheckStringArg(vm, 1);
    int used = 0, error = 0;
    double value = ParseOptionNumber(text, &used, &error);
    PushNumber(vm, error ? 0 : value);
    PushNumber(vm, error ? 0 : used);
    return 2;
}

int CmdToNumber(VMState *vm) {
    CheckArgs(vm, 1, 2);
    int32_t base = OptInt32Arg(vm, 2, 10);
    if (base < 2 || base > 36) return kErrWrongUsage;
    if (base == 10) {
        PushNumber(vm, IsNumber(vm, 1) ? VMToNumber(vm, 1) : 0);
        return 1;
    }
    size_t length = 0;
    const char *text = ValueType(vm, 1) == TSTRING ? VMToString(vm, 1, &length) : nullptr;
    PushNumber(vm, text ? stringlib::ToNumberBase({text, length}, base) : 0);
    return 1;
}

int CmdToString(VMState *vm) {
    CheckArgs(vm, 1, 1);
    if (CallMetaMethod(vm, 1, "__tostring")) return 1;
    const char *prefix = nullptr;
    switch (ValueType(vm, 1)) {
    case TNIL: PushString(vm, "Nil"); return 1;
    case TBOOLEAN: PushString(vm, ToBoolean(vm, 1) ? "true" : "false"); return 1;
    case TNUMBER: {
        char text[48];
        int length = FormatNumber(VMToNumber(vm, 1), text, sizeof text);
        PushStringLen(vm, text, static_cast<size_t>(length));
        return 1;
    }
    case TSTRING: PushValue(vm, 1); return 1;
    case TTABLE: prefix = "Table"; break;
    case TFUNCTION: prefix = "Function"; break;
    case TTHREAD: prefix = "Thread"; break;
    default: prefix = "UserData"; break; // light handles and userdata
    }
    char text[64];
    const void *pointer = ValueType(vm, 1) == TLIGHTHANDLE ? ToHandle(vm, 1) : ToPointer(vm, 1);
    std::snprintf(text, sizeof text, "%s: %p", prefix, pointer);
    PushString(vm, text);
    return 1;
}

int CmdStrToArray(VMState *vm) {
    CheckArgs(vm, 1, 1);
    std::string_view s = StringArg(vm, 1);
    NewTable(vm);
    for (size_t i = 0; i < s.size(); ++i) {
        PushNumber(vm, static_cast<unsigned char>(s[i]));
        RawSetIndex(vm, -2, static_cast<int64_t>(i));
    }
    PushNumber(vm, 0); // the terminator entry scripts expect after the last code
    RawSetIndex(vm, -2, static_cast<int64_t>(s.size()));
    return 1;
}

void RegisterStringLibrary(VMState *vm) {
    RegisterCommands(vm, kStringCommands);
    RegisterCommandLibrary(kStringCommands, "string", &kStringReference);
}

void FreeStringLibrary(VMState *) {} // the library keeps no state

} // namespace

const CommandEntry kStringCommands[] = {
    {"FindStr", CmdFindStr},     {"CountStr", CmdCountStr},     {"ReplaceStr", CmdReplaceStr},
    {"InsertStr", CmdInsertStr}, {"SplitStr", CmdSplitStr},     {"TrimStr", CmdTrimStr},
    {"LeftStr", CmdLeftStr},     {"RightStr", CmdRightStr},     {"MidStr", CmdMidStr},
    {"UnleftStr", CmdUnleftStr}, {"UnrightStr", CmdUnrightStr}, {"UnmidStr", CmdUnmidStr},
    {"AddStr", CmdAddStr},       {"StrLen", CmdStrLen},         {"Asc", CmdAsc},
    {"Chr", CmdChr},             {"LowerStr", CmdLowerStr},     {"UpperStr", CmdUpperStr},
    {"HexStr", CmdHexStr},       {"BinStr", CmdBinStr},         {"PadNum", CmdPadNum},
    {"StrStr", CmdStrStr},       {"Val", CmdVal},               {"ToNumber", CmdToNumber},
    {"ToString", CmdToString},   {"StrToArray", CmdStrToArray}, {nullptr, nullptr},
};

const LibraryDescriptor kStringLibrary = {"string", RegisterStringLibrary, FreeStringLibrary};
