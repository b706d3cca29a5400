// Move queues: batches of layer moves, shows, hides, removals, insertions and frame changes that DoMove plays
// with one refresh of the union of what changed. A queue stays after playing, so it can be played again.
#include <algorithm>
#include <new>

#include "imaging/async_draw.h"
#include "imaging/position.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_list.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layer_style.h"
#include "scene/layers/layers.h"

namespace {

constexpr int32_t kMoveQueueEntries = 512;

struct MoveEntry {
    int32_t kind;
    ObjectId object; // a layer position for the kinds that name a layer
    int32_t x, y;    // UNDO: the layer kind and the level
    int32_t done;
    int32_t extra;   // LAYER: visibility; INSERTBRUSH: insert position; NEXTFRAME(2): frame
    int32_t hasRect; // the refresh rectangle below is set
    int32_t x1, y1, x2, y2;
};

struct MoveQueue {
    ObjectId id;
    int32_t count = 0;
    MoveEntry entries[kMoveQueueEntries];
};

constexpr ObjectRules<MoveQueue> kMoveQueueRules{.notFoundError = kErrMoveQueueNotFound};
ObjectList<MoveQueue> MoveList{&kMoveQueueRules};

bool NamesLayer(int32_t kind) {
    return kind == ObjectKindLayer || kind == ObjectKindHideLayer || kind == ObjectKindRemoveLayer ||
           kind == ObjectKindNextFrame2;
}

bool Inside(int32_t x, int32_t y, int32_t w, int32_t h) {
    const BGPic *b = CurrentBGPic;
    return int64_t(x) + w > 0 && x < b->current.width && int64_t(y) + h > 0 && y < b->current.height;
}

void SetRect(MoveEntry *e, int32_t x, int32_t y, int32_t w, int32_t h) {
    e->hasRect = 1;
    e->x1 = x, e->y1 = y;
    e->x2 = ClampLayerCoordinate(int64_t(x) + w - 1), e->y2 = ClampLayerCoordinate(int64_t(y) + h - 1);
}

// The layer's current rectangle becomes the entry's when it lies inside the picture.
void TakeLayerRect(MoveEntry *e, const vlLayer *layer) {
    const LayerDrawParams *c = layer->current;
    if (Inside(c->screenX, c->screenY, c->screenWidth, c->screenHeight))
        SetRect(e, c->screenX, c->screenY, c->screenWidth, c->screenHeight);
}

// Moves the layer to the entry's position, sets its visibility and records what to refresh.
void MoveStep(MoveEntry *e, vlLayer *layer) {
    const LayerDrawParams *c = layer->current;
    const int32_t oldX = c->screenX, oldY = c->screenY;
    const int32_t x = ResolveXPosition(e->x, layer->first->width, 0, layer->anchorX);
    const int32_t y = ResolveYPosition(e->y, layer->first->height, 0, layer->anchorY);
    SetLayerPosition(layer, nullptr, x, y, 1, 0, nullptr);
    if (e->kind != ObjectKindLayer || e->extra == 0) layer->hidden = 0;
    else if (e->extra == 1) layer->hidden = 1;
    c = layer->current;
    const int32_t w = c->screenWidth, h = c->screenHeight;
    if (!layer->hidden && Inside(c->screenX, c->screenY, w, h)) {
        int32_t jx, jy, jw, jh;
        JoinRects(oldX, oldY, w, h, c->screenX, c->screenY, w, h, &jx, &jy, &jw, &jh);
        SetRect(e, jx, jy, jw, jh);
    } else if (Inside(oldX, oldY, w, h)) {
        SetRect(e, oldX, oldY, w, h);
    }
    e->done = 1;
}

// A layer removed without a refresh; its rectangle is refreshed with the batch.
int RemoveForQueue(VMState *vm, MoveEntry *e, vlLayer *layer) {
    if (LayerHasAsyncDraw(layer)) return kErrLayerUsedByAsyncDraw;
    int32_t x = 0, y = 0, w = 0, h = 0;
    DeleteLayer(vm, layer, 1, &x, &y, &w, &h, nullptr);
    if (Inside(x, y, w, h)) SetRect(e, x, y, w, h);
    e->done = 1;
    return 0;
}

int PositionedLayer(const MoveEntry *e, vlLayer **out) {
    *out = GetNthLayer(CurrentBGPic, e->object.number);
    return *out ? 0 : kErrLayerOutOfRange;
}

// Sets an anim layer's frame (the style setter's frame rules) and looks the layer up again: a rebuild replaces it.
int SetFrame(VMState *vm, int32_t position, int32_t frame, vlLayer **layer) {
    if (int error = SetLayerPositionAndFrame(vm, *layer, USELAYERPOSITION, USELAYERPOSITION, frame, 1)) return error;
    *layer = GetNthLayer(CurrentBGPic, position);
    return *layer ? 0 : kErrLayerOutOfRange;
}

int FirstPass(VMState *vm, MoveEntry *e) {
    vlLayer *layer = nullptr;
    switch (e->kind) {
    case ObjectKindUndo: {
        if (e->y == 0) e->y = 1;
        int32_t level = e->y;
        for (ListNode *n = LastNode(&CurrentBGPic->layers); n; n = PreviousNode(n)) {
            layer = LayerOfNode(n);
            if (layer->type == e->x && layer->origin == e->object && --level == 0)
                return RemoveForQueue(vm, e, layer);
        }
        e->done = 1;
        return 0;
    }
    case ObjectKindRemoveLayer:
        if (int error = PositionedLayer(e, &layer)) return error;
        return RemoveForQueue(vm, e, layer);
    case ObjectKindLayer:
        if (int error = PositionedLayer(e, &layer)) return error;
        MoveStep(e, layer);
        return 0;
    case ObjectKindInsertBrush: {
        if (int error = InsertObjectLayer(vm, CurrentDisplay, e->extra, ObjectKindBrush, e->object, e->x, e->y, 1, 0,
                                          &layer))
            return error;
        TakeLayerRect(e, layer);
        e->done = 1;
        return 0;
    }
    case ObjectKindHideLayer:
        if (int error = PositionedLayer(e, &layer)) return error;
        TakeLayerRect(e, layer);
        layer->hidden = 1;
        e->done = 1;
        return 0;
    case ObjectKindNextFrame2:
        if (int error = PositionedLayer(e, &layer)) return error;
        if (layer->type != ObjectKindAnim) return kErrWrongUsage;
        if (int error = SetFrame(vm, e->object.number, e->extra, &layer)) return error;
        MoveStep(e, layer);
        return 0;
    default: return 0;
    }
}

// The entries still open that match a layer act on it: the lowest matching layer only.
int SecondPass(VMState *vm, MoveQueue *q) {
    for (int32_t n = 1; n <= CountLayers(CurrentBGPic); n++) {
        for (int32_t i = 0; i < q->count; i++) {
            MoveEntry *e = &q->entries[i];
            vlLayer *layer = GetNthLayer(CurrentBGPic, n);
            if (e->done || layer->origin != e->object) continue;
            switch (e->kind) {
            case ObjectKindBrush:
            case ObjectKindTextObject:
                if (layer->type == e->kind) MoveStep(e, layer);
                break;
            case ObjectKindHideBrush:
                if (layer->type != ObjectKindBrush) break;
                TakeLayerRect(e, layer);
                layer->hidden = 1;
                e->done = 1;
                break;
            case ObjectKindNextFrame:
                if (layer->type != ObjectKindAnim) break;
                if (int error = SetFrame(vm, n, e->extra, &layer)) return error;
                MoveStep(e, layer);
                break;
            default: break;
            }
        }
    }
    return 0;
}

// Entries that found no layer make one on top.
int ThirdPass(VMState *vm, MoveEntry *e) {
    int32_t frame = 0;
    switch (e->kind) {
    case ObjectKindBrush:
    case ObjectKindTextObject: break;
    case ObjectKindNextFrame: {
        if (!AnimServices) return LibraryNotRegistered("anim");
        AnimInfo info;
        if (int error = AnimServices->find(e->object, 0, &info)) return error;
        if (e->extra >= 1 && e->extra <= info.frameCount) frame = e->extra;
        else if (e->extra == -1) frame = info.frameCount;
        else if (e->extra == 0) frame = info.frameCount > 1 ? 2 : 1;
        else return AnimFrameOutOfRange(e->extra, info.frameCount);
        break;
    }
    default: return kErrWrongUsage;
    }
    const int32_t kind = e->kind == ObjectKindNextFrame ? ObjectKindAnim : e->kind;
    vlLayer *layer = nullptr;
    if (int error = InsertObjectLayer(vm, CurrentDisplay, 0, kind, e->object, e->x, e->y, 1, 0, &layer)) return error;
    if (frame > 1)
        if (int error = SetFrame(vm, CountLayers(CurrentBGPic), frame, &layer)) return error;
    TakeLayerRect(e, layer);
    e->done = 1;
    return 0;
}

// Joins overlapping rectangles until none overlap, then refreshes each (or marks it dirty for a picture output).
void RefreshEntries(MoveQueue *q) {
    MoveEntry *entries = q->entries;
    for (bool joined = true; joined;) {
        joined = false;
        for (int32_t i = 0; i < q->count; i++) {
            MoveEntry *a = &entries[i];
            if (!a->hasRect) continue;
            for (int32_t j = 0; j < q->count; j++) {
                MoveEntry *b = &entries[j];
                if (i == j || !b->hasRect || !RectsOverlap(a->x1, a->y1, a->x2, a->y2, b->x1, b->y1, b->x2, b->y2))
                    continue;
                a->x1 = std::min(a->x1, b->x1), a->y1 = std::min(a->y1, b->y1);
                a->x2 = std::max(a->x2, b->x2), a->y2 = std::max(a->y2, b->y2);
                b->hasRect = 0;
                joined = true;
            }
        }
    }
    for (int32_t i = 0; i < q->count; i++) {
        const MoveEntry &e = entries[i];
        if (e.hasRect) RefreshRect(e.x1, e.y1, e.x2 - e.x1 + 1, e.y2 - e.y1 + 1);
    }
}

int PlayQueue(VMState *vm, MoveQueue *q) {
    for (int32_t i = 0; i < q->count; i++) {
        MoveEntry *e = &q->entries[i];
        e->done = 0;
        e->hasRect = 0;
    }
    for (int32_t i = 0; i < q->count; i++)
        if (int error = FirstPass(vm, &q->entries[i])) return error;
    if (int error = SecondPass(vm, q)) return error;
    for (int32_t i = 0; i < q->count; i++)
        if (!q->entries[i].done)
            if (int error = ThirdPass(vm, &q->entries[i])) return error;
    return 0;
}

} // namespace

int AddMoveCommand(VMState *vm) {
    CheckArgs(vm, 3, 6);
    ObjectId queueId{};
    OptIntegerArg(&queueId, vm, 1);
    MoveEntry e{};
    e.kind = CheckInt32Arg(vm, 2);
    if (e.kind == ObjectKindUndo) {
        e.x = CheckCoordinateArg(vm, 3);
        if (GetTop(vm) >= 4 && ValueType(vm, 4) != TNIL) ReadObjectId(&e.object, vm, 4);
        e.y = OptCoordinateArg(vm, 5, 0);
    } else {
        if (NamesLayer(e.kind)) {
            if (int error = ReadLayerArg(vm, 3, &e.object.number)) return error;
        } else {
            ReadObjectId(&e.object, vm, 3);
        }
        e.x = OptCoordinateArg(vm, 4, 0);
        e.y = OptCoordinateArg(vm, 5, 0);
    }
    if (e.kind == ObjectKindInsertBrush && GetTop(vm) >= 6 && ValueType(vm, 6) != TNIL) {
        if (int error = ReadLayerArg(vm, 6, &e.extra)) return error;
    } else {
        e.extra = OptInt32Arg(vm, 6, 0);
    }
    const bool automatic = IsAutoHandleRequest(queueId);
    MoveQueue *q = automatic ? nullptr : MoveList.Find(queueId);
    if (!q) {
        auto *made = new (std::nothrow) MoveQueue{};
        if (!made || !(q = MoveList.Add(made, queueId))) {
            delete made;
            return kErrOutOfMemory;
        }
    }
    if (q->count >= kMoveQueueEntries) return kErrInternalLimit;
    q->entries[q->count++] = e;
    if (!automatic) return 0;
    PushHandle(vm, q);
    return 1;
}

int DoMoveCommand(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const ObjectId id = IdArg(vm, 1);
    // The selections first: they turn the layers off, so the other order would never report them.
    DisplayRecord *d = CurrentDisplay;
    if (int error = RefuseSelectedOutput(d, 0)) return error;
    if (!d || !d->layersEnabled || !CurrentBGPic) return kErrLayersRequired;
    MoveQueue *q = nullptr;
    if (int error = MoveList.Find(id, &q, 0)) return error;
    CurrentBGPic->layersChanged = 1;
    // What was played before an error stays played, and is shown.
    const int error = PlayQueue(vm, q);
    RefreshEntries(q);
    return error;
}

int ClearMoveCommand(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return MoveList.Free(IdArg(vm, 1), true);
}

void FreeAllMoveQueues() { MoveList.Clear(); }
