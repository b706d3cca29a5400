// The "bgpic" command library: loading, creating, copying, scaling, converting, showing, selecting and freeing
// background pictures.
#pragma once

#include "runtime/app/command.h"

extern const CommandEntry kBGPicCommands[];
void RegisterBGPicLibrary(VMState *vm);
void FreeBGPicLibrary(VMState *vm);
extern const LibraryDescriptor kBGPicLibrary;
