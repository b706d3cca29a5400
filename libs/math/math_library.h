// The "math" command library.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kMathLibrary;
extern const CommandEntry kMathCommands[];
extern const ConstantEntry kMathConstants[];
