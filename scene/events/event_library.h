// The "event" command library: registration, the command and constant tables, and the free-all at shutdown.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kEventLibrary;
extern const CommandEntry kEventCommands[];
extern const ConstantEntry kEventConstants[];

void RegisterEventLibrary(VMState *vm);
// Frees the legacy rows, the interval and timeout rows and the dispatch state (before the sound library).
void FreeEventLists(VMState *vm);
