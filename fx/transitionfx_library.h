// The "transitionfx" command library: the transition commands and the effect constants.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kTransitionFxLibrary;
extern const CommandEntry kTransitionFxCommands[];
