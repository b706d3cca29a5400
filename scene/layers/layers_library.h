// The "layers" command library: its 32 commands in table order, its rectangle list and its registration.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kLayersLibrary;
extern const CommandEntry kLayersCommands[];

void RegisterLayersLibrary(VMState *vm);
void FreeLayersLibrary(VMState *vm);
