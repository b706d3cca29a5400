// The system library: every command handler, grouped by the file that implements it.
#pragma once

#include "runtime/app/command.h"

#include <string>

extern const LibraryDescriptor kSystemLibrary;

// The command table in registration order (ends with a null row).
extern const CommandEntry kSystemCommands[];
extern const ConstantEntry kSystemConstants[];

// Timers and dates (timers.cpp)
int CountTimers();
void FreeAllTimers();
int CmdWait(VMState *vm);
int CmdGetDate(VMState *vm);
int CmdGetTime(VMState *vm);
int CmdGetWeekday(VMState *vm);
int CmdGetDateNum(VMState *vm);
int CmdGetTimer(VMState *vm);
int CmdPauseTimer(VMState *vm);
int CmdResumeTimer(VMState *vm);
int CmdStartTimer(VMState *vm);
int CmdStopTimer(VMState *vm);
int CmdWaitTimer(VMState *vm);
int CmdResetTimer(VMState *vm);
int CmdCompareDates(VMState *vm);

// Table utilities (table_utils.cpp)
int CmdSort(VMState *vm);
int CmdInsertItem(VMState *vm);
int CmdRemoveItem(VMState *vm);
int CmdListItems(VMState *vm);
int CmdUnpack(VMState *vm);
int CmdSetMetaTable(VMState *vm);
int CmdGetMetaTable(VMState *vm);
int CmdRawEqual(VMState *vm);
int CmdRawGet(VMState *vm);
int CmdRawSet(VMState *vm);
int CmdIPairs(VMState *vm);
int CmdPairs(VMState *vm);
int CmdNextItem(VMState *vm);
int CmdCopyTable(VMState *vm);

// Requesters, clipboard, icons, catalogs and URLs (requesters.cpp, clipboard_commands.cpp, icon_commands.cpp,
// catalog_commands.cpp)
int CmdOpenCatalog(VMState *vm);
int CmdCloseCatalog(VMState *vm);
int CmdGetCatalogString(VMState *vm);
int CmdSystemRequest(VMState *vm);
int CmdStringRequest(VMState *vm);
int CmdFileRequest(VMState *vm);
int CmdPathRequest(VMState *vm);
int CmdSetClipboard(VMState *vm);
int CmdGetClipboard(VMState *vm);
int CmdPeekClipboard(VMState *vm);
int CmdClearClipboard(VMState *vm);
int CmdOpenURL(VMState *vm);
int CmdGetIconProperties(VMState *vm);
// One tool type as the icon holds it: "KEY=value", "FLAG", "(KEY = disabled value)", "KEY=\"quoted  value\"".
struct ToolTypeEntry {
    std::string key, value;
    bool enabled = true;
};
// False for an empty (blank) text, which ends an icon's list.
bool ParseToolType(const std::string &text, ToolTypeEntry *out);
int CmdSetIconProperties(VMState *vm);
int CmdSetWBIcon(VMState *vm);

// Program control and debugging (program_control.cpp, debug_commands.cpp)
int CmdEnd(VMState *vm);
int CmdGetErrorName(VMState *vm);
int CmdError(VMState *vm);
int CmdGetLastError(VMState *vm);
int CmdExitOnError(VMState *vm);
int CmdDebugOutput(VMState *vm);
int CmdDebugPrint(VMState *vm);
int CmdDebugStr(VMState *vm);
int CmdDebugVal(VMState *vm);
int CmdGetType(VMState *vm);
int CmdIIf(VMState *vm);
int CmdGCInfo(VMState *vm);
int CmdCollectGarbage(VMState *vm);
int CmdGetMemoryInfo(VMState *vm);
int CmdGetVersion(VMState *vm);
int CmdGetCommandLine(VMState *vm);
int CmdGetProgramInfo(VMState *vm);
int CmdGetConstant(VMState *vm);
