// The "moveobject" command library: MoveBrush, MoveTextObject, MoveLayer, MoveAnim and MoveSprite with the
// motion-curve constants; the engine is in scene/layers/move_object.h.
#pragma once

#include <cstdint>

#include "runtime/app/command.h"

extern const LibraryDescriptor kMoveObjectLibrary;
extern const CommandEntry kMoveObjectCommands[];
extern const ConstantEntry kMoveObjectConstants[];

// Reads a move command's arguments for an object kind into a new context and runs it: the command's result.
int ParseMoveArgs(VMState *vm, int32_t kind);

void RegisterMoveObjectLibrary(VMState *vm);
void FreeMoveObjectLibrary(VMState *vm);
