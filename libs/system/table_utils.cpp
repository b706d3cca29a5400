// Table utilities and iteration of the system library.
// TODO(table-utils): the handlers below answer "not available yet" until the table utilities are built.
#include "libs/system/system_commands.h"
#include "runtime/app/errors.h"

int CmdSort(VMState *) { return CommandNotAvailable("Sort"); }
int CmdInsertItem(VMState *) { return CommandNotAvailable("InsertItem"); }
int CmdRemoveItem(VMState *) { return CommandNotAvailable("RemoveItem"); }
int CmdListItems(VMState *) { return CommandNotAvailable("ListItems"); }
int CmdUnpack(VMState *) { return CommandNotAvailable("Unpack"); }
int CmdSetMetaTable(VMState *) { return CommandNotAvailable("SetMetaTable"); }
int CmdGetMetaTable(VMState *) { return CommandNotAvailable("GetMetaTable"); }
int CmdRawEqual(VMState *) { return CommandNotAvailable("RawEqual"); }
int CmdRawGet(VMState *) { return CommandNotAvailable("RawGet"); }
int CmdRawSet(VMState *) { return CommandNotAvailable("RawSet"); }
int CmdIPairs(VMState *) { return CommandNotAvailable("IPairs"); }
int CmdPairs(VMState *) { return CommandNotAvailable("Pairs"); }
int CmdNextItem(VMState *) { return CommandNotAvailable("NextItem"); }
int CmdCopyTable(VMState *) { return CommandNotAvailable("CopyTable"); }
