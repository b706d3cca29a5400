// Changing and reading a layer's attributes through one table: the core that SetLayerStyle, its shorthand
// commands, the moving objects and anim playback share.
#pragma once

#include <cstdint>

#include "runtime/vm/vm.h"

struct LayerRectList;
struct ShapeRecord;
struct vlLayer;

// The layers library's rectangle list, collected by a batch of changes and refreshed once.
extern LayerRectList LayerRects;

// Applies count stack values from index base as (layer, table) pairs. A layer argument that names no layer is
// skipped without an error; the first error ends the batch, and pairs applied before it stay applied.
int SetLayerStyleArgs(VMState *vm, int base, int count, int noRefresh);
// One table at stack index table applied to the layer; *freeAfter is set when the layer let go of an object
// whose deferred free may now run. A rebuild replaces the layer record: look it up again.
int ApplyLayerStyle(VMState *vm, vlLayer *layer, int table, bool *freeAfter, LayerRectList *rects);
// Moves the layer and sets its frame through the style setter (x, y 100000 keep a coordinate; frame 0 is the
// next frame); the layer is found again by name or position, since a rebuild replaces it.
int SetLayerPositionAndFrame(VMState *vm, vlLayer *layer, int32_t x, int32_t y, int32_t frame, int noRefresh);
// Pushes GetLayerStyle's table for the layer.
int PushLayerStyle(VMState *vm, vlLayer *layer);

// ---- Shape keys (kept apart: the shape header cannot sit beside the picture header) ----------------------------
struct ShapeGeometry {
    int32_t width = 0, height = 0; // the block's size
    int lineGiven = 0;             // LINE end points were given: the position is their top-left
    int32_t lineX = 0, lineY = 0;
};
// A new shape record for kind: a copy of old when there is one (its form style kept), else the draw state's
// form style; null when out of memory.
ShapeRecord *StartShapeRecord(const ShapeRecord *old, int32_t kind);
void FreeShapeRecord(ShapeRecord *shape);
// Reads "color", the form-style keys and the kind's own keys into shape; *given is set when any was given.
// kindChanged and oldKind decide which keys are required (kErrNotEnoughArguments). width and height are the layer's
// current size, the default of a box made from another kind.
int ReadShapeStyleKeys(VMState *vm, int table, ShapeRecord *shape, int kindChanged, int32_t oldKind, int32_t width,
                       int32_t height, int *given, ShapeGeometry *geometry);
// Adds the shape's keys to the table on top of the stack.
void WriteShapeStyleKeys(VMState *vm, const ShapeRecord *shape);
