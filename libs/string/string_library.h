// The "string" command library.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kStringLibrary;
extern const CommandEntry kStringCommands[];
