// The "sound" command library: samples, musics and tracker modules.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kSoundLibrary;
extern const CommandEntry kSoundCommands[];
extern const ConstantEntry kSoundConstants[];
