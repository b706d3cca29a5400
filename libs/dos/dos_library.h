// The "dos" command library: registration, its constants and its share of shutdown.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kDosLibrary;
extern const CommandEntry kDosCommands[];
extern const ConstantEntry kDosConstants[];

// Closes every open file (shutdown); registered as the library's free-all.
void FreeAllDosObjects(VMState *vm);

// Handlers, grouped by the file that binds them.
// file_commands.cpp
int CmdOpenFile(VMState *vm);
int CmdCloseFile(VMState *vm);
int CmdReadChr(VMState *vm);
int CmdReadShort(VMState *vm);
int CmdReadInt(VMState *vm);
int CmdReadFloat(VMState *vm);
int CmdReadString(VMState *vm);
int CmdReadLine(VMState *vm);
int CmdWriteChr(VMState *vm);
int CmdWriteShort(VMState *vm);
int CmdWriteInt(VMState *vm);
int CmdWriteFloat(VMState *vm);
int CmdWriteString(VMState *vm);
int CmdWriteLine(VMState *vm);
int CmdSeek(VMState *vm);
int CmdFilePos(VMState *vm);
int CmdFileLength(VMState *vm);
int CmdEof(VMState *vm);
int CmdFlushFile(VMState *vm);
int CmdSetIOMode(VMState *vm);
int CmdCompressFile(VMState *vm);
int CmdDecompressFile(VMState *vm);
// serialise_commands.cpp
int CmdWriteFunction(VMState *vm);
int CmdReadFunction(VMState *vm);
int CmdWriteTable(VMState *vm);
int CmdReadTable(VMState *vm);
