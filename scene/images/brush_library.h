// The "brush" command library: its 35 commands in table order, its constants and its registration.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kBrushLibrary;
extern const CommandEntry kBrushCommands[];
extern const ConstantEntry kBrushConstants[];

void RegisterBrushLibrary(VMState *vm);
void FreeBrushLibrary(VMState *vm);
