// The handlers of the graphics and draw command libraries, split by object type into their own files; the two
// command tables in graphics_library.cpp list them.
#pragma once

#include "runtime/vm/vm.h"

// Clip regions (clip_region_library.cpp).
int CmdCreateClipRegion(VMState *vm);
int CmdSetClipRegion(VMState *vm);
int CmdFreeClipRegion(VMState *vm);
// Pointers (pointer_library.cpp).
int CmdCreatePointer(VMState *vm);
int CmdSetPointer(VMState *vm);
int CmdFreePointer(VMState *vm);
int CmdHidePointer(VMState *vm);
int CmdShowPointer(VMState *vm);
// Shapes, pixels and the form style (draw_library.cpp).
int CmdPlot(VMState *vm);
int CmdReadPixel(VMState *vm);
int CmdLine(VMState *vm);
int CmdBox(VMState *vm);
int CmdCircle(VMState *vm);
int CmdEllipse(VMState *vm);
int CmdArc(VMState *vm);
int CmdPolygon(VMState *vm);
int CmdCls(VMState *vm);
int CmdSetFormStyle(VMState *vm);
int CmdGetFormStyle(VMState *vm);

// GetAttribute of the kinds these files own; registered by the graphics library.
int ClipRegionAttribute(VMState *vm, ObjectId id, int32_t attribute, int firstExtraArg);
int PointerAttribute(VMState *vm, ObjectId id, int32_t attribute, int firstExtraArg);
