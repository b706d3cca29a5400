// Transitions of layers: showing a hidden layer, hiding or removing a shown one, and brushes or picture parts
// shown through a new layer. The effect draws into the display's composed bitmap, which the window shows, from
// the scene without the layer to the scene with it (or back); when it ends, the layer's visibility is set and its
// area composed again.
#pragma once

#include "fx/fx_engine.h"

struct DisplayRecord;

// Turns a brush or picture-part request into the showing of a new hidden layer (mode LAYER). 0 or an error.
int AddTransitionLayer(FxRequest *request);
// Finds the layer (kErrLayersRequired, kErrLayerOutOfRange, kErrLayerHasAsyncDraw) and makes the source: the scene
// with the layer (without it when hiding), or the layer's own image for effects that handle its mask and alpha.
int ResolveLayerSource(FxRequest *request, DisplayRecord *display);
// The source for the layer's present place and size (ResolveLayerSource's second half).
int BuildLayerSource(FxRequest *request, DisplayRecord *display);
// The end of a played transition: the layer shown, hidden or deleted, its area composed again.
void EndLayerTransition(FxRequest *request);
// A transition stopped early: a layer it made goes when deleteLayer is set, any other keeps its visibility from
// before; the area is composed again.
void ReleaseLayerTransition(FxRequest *request);
// UndoFX's lookup: the undoLevel-th layer from the top showing an object of the kind. 0 and its position, or
// kErrObjectNotFound.
int FindUndoLayer(int32_t kind, ObjectId id, int32_t level, int32_t *position);
