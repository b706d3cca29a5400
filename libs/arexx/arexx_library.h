// The "arexx" command library: the program's public ARexx port, whose commands reach the script's "onarexx"
// callback, and commands sent to other programs' ports.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kArexxLibrary;
extern const CommandEntry kArexxCommands[];

int CmdCreateRexxPort(VMState *vm);
int CmdSendRexxCommand(VMState *vm);
int CmdRunRexxScript(VMState *vm);

// Shutdown: answers what is still queued, removes the port and stops the port thread.
void CloseRexxPort(VMState *vm);
