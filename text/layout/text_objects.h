// Text objects: rendered texts kept under an id with the parameters they were laid out with, so that they can be
// shown, copied, scaled and rotated, and shown by layers.
#pragma once

#include <memory>
#include <vector>

#include "runtime/app/object_list.h"
#include "text/layout/text_draw.h"

struct TextObject {
    ObjectId id{};
    ImageTriple image;
    int32_t baseWidth = 0, baseHeight = 0;
    int32_t layoutWidth = 0; // what it is placed and measured by: less than the image's width when wrapping cut it
    int32_t offsetX = 0, offsetY = 0;
    int32_t lockCount = 0; // holders (transitions, sprites) count up and down; modifying waits for zero
    bool freePending = false;
    TextDrawParams params;
    DisplayTransform transform;
};

ObjectList<TextObject> &TextObjectList();

// The object list's find flags. 0, kErrTextObjectNotFound (number), kErrObjectNotFound (handle) or kErrObjectLocked
// (locked, with kFindModify).
int FindTextObject(ObjectId id, TextObject **out, int flags);
// strict: a missing object is an error. A locked object is kErrObjectLocked either way.
int FreeTextObjectById(ObjectId id, bool strict);
// A copy under id (an automatic id takes the record as its handle): 0 or kErrOutOfMemory, the list unchanged on
// failure.
int CopyTextObjectRecord(const TextObject &source, ObjectId id, TextObject **out);
void FreeAllTextObjects();
int32_t CountTextObjects();

// Lays out the object's text again under its transform.
int RerenderTextObject(VMState *vm, TextObject *object);
// Puts a text object on the current output or, with layers, into a new layer.
int ShowTextObject(VMState *vm, ObjectId id, int32_t x, int32_t y, const DisplayTransform &transform,
                   const LayerOptions &options);
int AddTextObjectLayer(VMState *vm, ObjectId id, int32_t x, int32_t y, int32_t insertPos, int32_t flags);
// The layer services of text objects.
int TextObjectImage(ObjectId id, int flags, ImageTriple *out, int32_t *offsetX, int32_t *offsetY, int32_t *lockCount);
int DrawTextObjectLayer(VMState *vm, vlLayer *layer, LayerDrawParams *params, const int32_t *oldRect,
                        const DisplayTransform &transform, int32_t flags);
