// The "anim" command library: its 18 commands in table order and its registration.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kAnimLibrary;
extern const CommandEntry kAnimCommands[];

void RegisterAnimLibrary(VMState *vm);
void FreeAnimLibrary(VMState *vm);
