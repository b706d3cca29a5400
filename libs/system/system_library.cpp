// The system library's registration: its command table in registration order, its constants and its free-all.
#include "libs/system/system_commands.h"

#include "host/catalog.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/object_kinds.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kSystemReference;

const CommandEntry kSystemCommands[] = {
    {"Wait", CmdWait},
    {"OpenCatalog", CmdOpenCatalog},
    {"CloseCatalog", CmdCloseCatalog},
    {"GetCatalogString", CmdGetCatalogString},
    {"GetDate", CmdGetDate},
    {"GetTime", CmdGetTime},
    {"GetWeekday", CmdGetWeekday},
    {"GetDateNum", CmdGetDateNum},
    {"GetTimer", CmdGetTimer},
    {"PauseTimer", CmdPauseTimer},
    {"ResumeTimer", CmdResumeTimer},
    {"StartTimer", CmdStartTimer},
    {"StopTimer", CmdStopTimer},
    {"SystemRequest", CmdSystemRequest},
    {"GetMemoryInfo", CmdGetMemoryInfo},
    {"End", CmdEnd},
    {"GetErrorName", CmdGetErrorName},
    {"Sort", CmdSort},
    {"DebugStr", CmdDebugStr},
    {"DebugVal", CmdDebugVal},
    {"DebugPrint", CmdDebugPrint},
    {"ExitOnError", CmdExitOnError},
    {"GetLastError", CmdGetLastError},
    {"DebugOutput", CmdDebugOutput},
    {"GetType", CmdGetType},
    {"IIf", CmdIIf},
    {"InsertItem", CmdInsertItem},
    {"RemoveItem", CmdRemoveItem},
    {"ListItems", CmdListItems},
    {"StringRequest", CmdStringRequest},
    {"Unpack", CmdUnpack},
    {"SetMetaTable", CmdSetMetaTable},
    {"GetMetaTable", CmdGetMetaTable},
    {"RawEqual", CmdRawEqual},
    {"RawGet", CmdRawGet},
    {"RawSet", CmdRawSet},
    {"GCInfo", CmdGCInfo},
    {"CollectGarbage", CmdCollectGarbage},
    {"Error", CmdError},
    {"WaitTimer", CmdWaitTimer},
    {"FileRequest", CmdFileRequest},
    {"PathRequest", CmdPathRequest},
    {"IPairs", CmdIPairs},
    {"Pairs", CmdPairs},
    {"NextItem", CmdNextItem},
    {"GetVersion", CmdGetVersion},
    {"GetCommandLine", CmdGetCommandLine},
    {"GetProgramInfo", CmdGetProgramInfo},
    {"ResetTimer", CmdResetTimer},
    {"GetConstant", CmdGetConstant},
    {"SetClipboard", CmdSetClipboard},
    {"GetClipboard", CmdGetClipboard},
    {"PeekClipboard", CmdPeekClipboard},
    {"ClearClipboard", CmdClearClipboard},
    {"CompareDates", CmdCompareDates},
    {"OpenURL", CmdOpenURL},
    {"CopyTable", CmdCopyTable},
    {"GetIconProperties", CmdGetIconProperties},
    {"SetIconProperties", CmdSetIconProperties},
    {"SetWBIcon", CmdSetWBIcon},
    {nullptr, nullptr},
};

const ConstantEntry kSystemConstants[] = {
    {"SECONDS", nullptr, 0},
    {"MILLISECONDS", nullptr, 1},
    {"TICKS", nullptr, 2},
    {"DATEYEAR", nullptr, 0},
    {"DATEMONTH", nullptr, 1},
    {"DATEDAY", nullptr, 2},
    {"DATETIME", nullptr, 3},
    {"CHIPMEMORY", nullptr, 0},
    {"FASTMEMORY", nullptr, 1},
    {"NIL", nullptr, 0},
    {"STRING", nullptr, 3},
    {"LONG", nullptr, 1},
    {"FLOAT", nullptr, 1},
    {"INTEGER", nullptr, 1},
    {"NUMBER", nullptr, 2},
    {"FUNCTION", nullptr, 5},
    {"TABLE", nullptr, 4},
    {"USERDATA", nullptr, 8},
    {"LIGHTUSERDATA", nullptr, 9},
    {"THREAD", nullptr, 10},
    {"BYTE", nullptr, 7},
    {"SHORT", nullptr, 6},
    {"WORD", nullptr, 6},
    {"REQ_NORMAL", nullptr, 0},
    {"REQ_MULTISELECT", nullptr, 1},
    {"REQ_SAVEMODE", nullptr, 2},
    {"PRGTYPE_SCRIPT", nullptr, 0},
    {"PRGTYPE_APPLET", nullptr, 1},
    {"PRGTYPE_PROGRAM", nullptr, 2},
    {"REQICON_NONE", nullptr, 0},
    {"REQICON_INFORMATION", nullptr, 1},
    {"REQICON_ERROR", nullptr, 2},
    {"REQICON_WARNING", nullptr, 3},
    {"REQICON_QUESTION", nullptr, 4},
    {"CLIPBOARD_EMPTY", nullptr, 0},
    {"CLIPBOARD_TEXT", nullptr, 1},
    {"CLIPBOARD_IMAGE", nullptr, 2},
    {"CLIPBOARD_SOUND", nullptr, 3},
    {"CLIPBOARD_UNKNOWN", nullptr, 4},
    {"AMIGAICON_DISK", nullptr, 1},
    {"AMIGAICON_DRAWER", nullptr, 2},
    {"AMIGAICON_TOOL", nullptr, 3},
    {"AMIGAICON_PROJECT", nullptr, 4},
    {"HKEY_CLASSES_ROOT", nullptr, 0},
    {"HKEY_CURRENT_CONFIG", nullptr, 1},
    {"HKEY_LOCAL_MACHINE", nullptr, 2},
    {"HKEY_USERS", nullptr, 3},
    {"HKEY_CURRENT_USER", nullptr, 4},
    {nullptr, nullptr, 0},
};

namespace {

void RegisterSystemLibrary(VMState *vm) {
    RegisterCommands(vm, kSystemCommands);
    RegisterCommandLibrary(kSystemCommands, "system", &kSystemReference);
    RegisterConstants(vm, kSystemConstants);
    RegisterObjectKind({0, "TIMER", [] { return int32_t(CountTimers()); }, nullptr}); // timers have no kind
}

void FreeAllSystem(VMState *) {
    FreeAllTimers();
    CloseScriptCatalog();
}

} // namespace

const LibraryDescriptor kSystemLibrary = {"system", RegisterSystemLibrary, FreeAllSystem};
