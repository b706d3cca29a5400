// The "transitionfx" command library: the transition commands and the effect constants.
#pragma once

#include <vector>

#include "runtime/app/command.h"

extern const LibraryDescriptor kTransitionFxLibrary;
extern const CommandEntry kTransitionFxCommands[];
// The constants the library registers: built from the effect table, ending with a null name.
std::vector<ConstantEntry> TransitionFxConstants();
