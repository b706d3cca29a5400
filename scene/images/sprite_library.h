// The "sprite" command library: its 9 commands in table order and its registration.
#pragma once

#include "runtime/app/command.h"

extern const LibraryDescriptor kSpriteLibrary;
extern const CommandEntry kSpriteCommands[];

// CreateSprite from an anim or a text object, and LoadSprite: the frames builder of the anim library sets them
// (sourceKind is CreateSprite's second argument; the builder reads the rest). Unset, both are not available.
extern int (*BuildSpriteFramesHook)(VMState *vm, int32_t sourceKind);
extern int (*LoadSpriteHook)(VMState *vm);

void RegisterSpriteLibrary(VMState *vm);
void FreeSpriteLibrary(VMState *vm);
