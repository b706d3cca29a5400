// The "memblock" command library.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kMemBlockLibrary;
extern const CommandEntry kMemBlockCommands[];

int CmdAllocMem(VMState *vm);
int CmdFreeMem(VMState *vm);
int CmdPeek(VMState *vm);
int CmdPoke(VMState *vm);
int CmdFillMem(VMState *vm);
int CmdCopyMem(VMState *vm);
int CmdReadMem(VMState *vm);
int CmdWriteMem(VMState *vm);
int CmdDumpMem(VMState *vm);
