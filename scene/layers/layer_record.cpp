// Layers of a background picture: their states, insertion, lookup, moving and deletion.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>
#include <unordered_map>
#include <vector>

#include "imaging/async_draw.h"
#include "imaging/image_ops.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/object_list.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/events/buttons.h"
#include "scene/images/brush.h"
#include "scene/images/plane_copy.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layers.h"

const AnimLayerServices *AnimServices = nullptr;
const TextLayerServices *TextServices = nullptr;

namespace {

constexpr size_t kMaxLayerName = 255;

void FreeClipCopy(ClipRegion *clip) {
    if (clip && clip->owned) {
        FreeClipRegionMask(clip);
        delete clip;
    }
}

// The picture whose list holds the layer (the list's tail sentinel names it).
BGPic *OwnerOf(const vlLayer *layer) {
    const ListNode *n = &layer->node;
    while (n->next) n = n->next;
    if (CurrentBGPic && n == &CurrentBGPic->layers.tailNode) return CurrentBGPic;
    for (BGPic *b : BGPicList)
        if (n == &b->layers.tailNode) return b;
    return nullptr;
}

void RemoveButtonOfLayer(BGPic *bgpic, const vlLayer *layer) {
    if (!bgpic) return;
    for (vlBGPicButton *b = bgpic->buttons; b; b = b->next)
        if (b->type == LAYERBUTTON && b->layer == layer) {
            FreeButton(b->vm, bgpic, b);
            return;
        }
}

void ApplyAnchor(vlLayer *layer, LayerDrawParams *p) {
    if (layer->type == ObjectKindLine) return;
    const int32_t dx = int32_t(p->width * layer->anchorX), dy = int32_t(p->height * layer->anchorY);
    p->anchoredX = p->x - dx;
    p->anchoredY = p->y - dy;
    p->screenX -= dx;
    p->screenY -= dy;
}

void RefreshInto(LayerRectList *list, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (list) AddDirtyRect(list, x, y, width, height);
    else RefreshRect(x, y, width, height);
}

} // namespace

int CheckLayerNameFree(const BGPic *bgpic, const char *name, const vlLayer *except) {
    for (const ListNode *n = bgpic->layers.headNode.next; n && n->next; n = n->next) {
        const vlLayer *l = LayerOfNode(const_cast<ListNode *>(n));
        if (l != except && l->name && strcasecmp(l->name, name) == 0)
            // A slide show meets this when it makes a picture's layers again on a second visit.
            return NoteErrorHint(kErrLayerNameTaken,
                                 std::string("\"").append(name).append(
                                     "\" names a layer of this background picture already; each picture keeps its "
                                     "layers while others are shown."));
    }
    return 0;
}

// ---- States -----------------------------------------------------------------------------------------------------

void FreeLayerDrawParamsOfKind(int32_t, LayerDrawParams *p) {
    // Whatever the kind says, everything a block owns goes with it: a stray kind must not leak its tail.
    if (!p) return;
    FreeHostBitmap(p->bitmap);
    FreeMaskPlane(p->mask);
    FreeAlphaPlane(p->alpha);
    FreeHostBitmap(p->xfBitmap);
    FreeMaskPlane(p->xfMask);
    FreeAlphaPlane(p->xfAlpha);
    FreeClipCopy(p->clip);
    FreeShapeRecord(p->shape);
    if (p->textBlock && TextServices) TextServices->freeBlock(p->textBlock);
    delete p;
}

void FreeLayerDrawParams(LayerDrawParams *params) { FreeLayerDrawParamsOfKind(0, params); }

LayerDrawParams *CopyLayerDrawParams(int32_t, const LayerDrawParams *p) {
    LayerDrawParams *copy = new (std::nothrow) LayerDrawParams(*p);
    if (!copy) return nullptr;
    copy->bitmap = copy->xfBitmap = nullptr;
    copy->mask = copy->xfMask = nullptr;
    copy->alpha = copy->xfAlpha = nullptr;
    copy->clip = nullptr;
    copy->shape = nullptr;
    copy->textBlock = nullptr;
    if (p->shape && !(copy->shape = CopyShapeRecord(p->shape))) {
        delete copy;
        return nullptr;
    }
    if (p->textBlock) {
        copy->textBlock = TextServices ? TextServices->copyBlock(p->textBlock) : nullptr;
        if (!copy->textBlock) {
            FreeLayerDrawParams(copy);
            return nullptr;
        }
    }
    return copy;
}

int32_t LayersInTransition = 0;

void SetLayerInTransition(vlLayer *layer, int on) {
    on = on ? 1 : 0;
    if (layer->inTransition == on) return;
    layer->inTransition = on;
    LayersInTransition += on ? 1 : -1;
}

void FreeLayer(vlLayer *layer) {
    if (layer->inTransition) LayersInTransition--;
    LayerDrawParams *first = layer->first, *saved = layer->saved, *current = layer->current;
    // The region a layer was drawn through stays alive while the layer does (see AddLayer).
    if (first && first->clip && !first->clip->owned) first->clip->useCount--;
    FreeLayerDrawParamsOfKind(layer->type, first);
    if (saved != first) FreeLayerDrawParamsOfKind(layer->type, saved);
    if (current != first && current != saved) FreeLayerDrawParamsOfKind(layer->type, current);
    delete[] layer->name;
    delete layer;
}

// ---- Lookups ----------------------------------------------------------------------------------------------------

int32_t CountLayers(const BGPic *bgpic) {
    int32_t n = 0;
    for (const ListNode *node = bgpic->layers.headNode.next; node && node->next; node = node->next) n++;
    return n;
}

namespace {

// The last picture's layers by position, until any list changes: commands that name layer after layer by number
// (a collision test of each against the next) then find each without walking the list. The positions of the
// layers themselves are made on first use.
struct LayerPositions {
    const ListHeader *list = nullptr;
    uint64_t listChanges = 0;
    std::vector<vlLayer *> layers;
    bool indexed = false;
    std::unordered_map<const vlLayer *, int32_t> positions;
};
LayerPositions Positions;

// Brings the table up to the picture's list; false without memory for it.
bool FreshPositions(const BGPic *bgpic) {
    const uint64_t changes = ListChangeCount.load(std::memory_order_relaxed);
    if (Positions.list == &bgpic->layers && Positions.listChanges == changes) return true;
    Positions.list = nullptr;
    Positions.indexed = false;
    try {
        Positions.layers.clear();
        for (const ListNode *node = bgpic->layers.headNode.next; node && node->next; node = node->next)
            Positions.layers.push_back(LayerOfNode(const_cast<ListNode *>(node)));
    } catch (const std::bad_alloc &) {
        return false;
    }
    Positions.list = &bgpic->layers;
    Positions.listChanges = changes;
    return true;
}

} // namespace

vlLayer *GetNthLayer(BGPic *bgpic, int32_t n) {
    if (!bgpic || n < 1) return nullptr;
    if (!FreshPositions(bgpic)) {
        for (ListNode *node = bgpic->layers.headNode.next; node && node->next; node = node->next)
            if (--n == 0) return LayerOfNode(node);
        return nullptr;
    }
    return size_t(n) <= Positions.layers.size() ? Positions.layers[size_t(n) - 1] : nullptr;
}

namespace {

// The last picture's layer names (lower case) to the first position holding each, until any list or name changes.
struct LayerNames {
    const ListHeader *list = nullptr;
    uint64_t listChanges = 0, nameChanges = 0;
    std::unordered_map<std::string, int32_t> positions;
};
LayerNames Names;

int32_t WalkForName(const char *name) {
    int32_t position = 1;
    for (ListNode *n = CurrentBGPic->layers.headNode.next; n && n->next; n = n->next, position++) {
        const vlLayer *l = LayerOfNode(n);
        if (l->name && strcasecmp(l->name, name) == 0) return position;
    }
    return 0;
}

} // namespace

uint64_t LayerNameChanges = 0;

int32_t FindLayerByName(const char *name) {
    if (!CurrentBGPic || !name) return 0;
    const uint64_t changes = ListChangeCount.load(std::memory_order_relaxed);
    try {
        if (Names.list != &CurrentBGPic->layers || Names.listChanges != changes || Names.nameChanges != LayerNameChanges) {
            Names.list = nullptr;
            Names.positions.clear();
            int32_t position = 1;
            for (ListNode *n = CurrentBGPic->layers.headNode.next; n && n->next; n = n->next, position++)
                if (const char *own = LayerOfNode(n)->name) Names.positions.emplace(AsciiLower(own), position);
            Names.list = &CurrentBGPic->layers;
            Names.listChanges = changes;
            Names.nameChanges = LayerNameChanges;
        }
        auto it = Names.positions.find(AsciiLower(name));
        return it == Names.positions.end() ? 0 : it->second;
    } catch (const std::bad_alloc &) {
        Names.list = nullptr;
        return WalkForName(name);
    }
}

int32_t GetLayerIndex(const vlLayer *layer) {
    if (!CurrentBGPic) return -1;
    if (!FreshPositions(CurrentBGPic)) return LayerPosition(CurrentBGPic, layer);
    try {
        if (!Positions.indexed) {
            Positions.positions.clear();
            for (size_t i = 0; i < Positions.layers.size(); i++) Positions.positions[Positions.layers[i]] = int32_t(i) + 1;
            Positions.indexed = true;
        }
    } catch (const std::bad_alloc &) {
        return LayerPosition(CurrentBGPic, layer);
    }
    auto it = Positions.positions.find(layer);
    return it == Positions.positions.end() ? -1 : it->second;
}

int ReadLayerArg(VMState *vm, int argIndex, int32_t *position) {
    switch (ValueType(vm, argIndex)) {
    case TNUMBER: *position = CheckInt32Arg(vm, argIndex); return 0;
    case TSTRING: {
        const char *name = CheckStringArg(vm, argIndex);
        *position = FindLayerByName(name);
        if (*position) return 0;
        SetErrorArgString(name);
        return kErrLayerNameNotFound;
    }
    default: return ArgumentTypeError(vm, kErrStringOrNumberExpected, argIndex, argIndex);
    }
}

int32_t CheckLayerArg(VMState *vm, int argIndex) {
    int32_t position = 0;
    if (int error = ReadLayerArg(vm, argIndex, &position)) RaiseError(vm, error);
    return position;
}

int GetLayerImage(const vlLayer *layer, const LayerDrawParams *p, int wantTransformed, int32_t frame,
                  HostBitmap **outBitmap, MaskPlane **outMask, AlphaPlane **outAlpha, int32_t *outWidth,
                  int32_t *outHeight, int32_t *outTypeData) {
    if (layer->type == ObjectKindNoObject || !p) return kErrWrongUsage;
    ImageTriple image;
    if (wantTransformed && p->xfBitmap) {
        image = {p->xfBitmap, p->xfMask, p->xfAlpha, p->screenWidth, p->screenHeight};
    } else if (p->bitmap) {
        image = {p->bitmap, p->mask, p->alpha, p->screenWidth, p->screenHeight};
    } else {
        switch (layer->type) {
        case ObjectKindBrush:
        case ObjectKindBrushPart: {
            Brush *brush = nullptr;
            if (int error = FindBrush(layer->source, &brush, kFindBrushPending)) return error;
            image = {brush->bitmap, brush->mask, brush->alpha, brush->width, brush->height};
            if (outTypeData) *outTypeData = brush->type;
            break;
        }
        case ObjectKindBGPicPart: {
            BGPic *bgpic = nullptr;
            if (int error = FindBGPic(layer->source, &bgpic, kFindPending)) return error;
            image = bgpic->scaled;
            break;
        }
        case ObjectKindAnim: {
            if (!AnimServices) return LibraryNotRegistered("anim");
            bool temporary = false;
            if (int error = AnimServices->frameImage(layer->source, frame == -1 ? layer->first->frame : frame, &image,
                                                     &temporary))
                return error;
            // Frames read from disk for the moment are not what a layer can hold on to: its state keeps its own.
            if (temporary) {
                FreeImageTriple(&image);
                return kErrDiskAnim;
            }
            break;
        }
        case ObjectKindTextObject: {
            if (!TextServices) return LibraryNotRegistered("text");
            int32_t ox = 0, oy = 0, locks = 0;
            if (int error = TextServices->objectImage(layer->source, kFindPending, &image, &ox, &oy, &locks))
                return error;
            break;
        }
        default: return kErrWrongUsage;
        }
    }
    if (outBitmap) *outBitmap = image.bitmap;
    if (outMask) *outMask = image.mask;
    if (outAlpha) *outAlpha = image.alpha;
    if (outWidth) *outWidth = image.width;
    if (outHeight) *outHeight = image.height;
    return 0;
}

// ---- Adding and removing ----------------------------------------------------------------------------------------

int AddLayer(VMState *vm, int32_t kind, const ObjectId *objectId, int32_t screenX, int32_t screenY,
             int32_t screenWidth, int32_t screenHeight, const DisplayTransform *transform,
             const LayerOptions *options, HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha,
             LayerDrawParams *params, int32_t defaultInsertPos, int32_t flags) {
    BGPic *bgpic = CurrentBGPic;
    DisplayRecord *display = CurrentDisplay;
    vlLayer *layer = bgpic ? new (std::nothrow) vlLayer : nullptr;
    if (!layer) {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
        FreeLayerDrawParamsOfKind(kind, params);
        return bgpic ? kErrOutOfMemory : kErrWrongUsage;
    }
    params->anchoredX = params->x;
    params->anchoredY = params->y;
    params->screenWidth = screenWidth;
    params->screenHeight = screenHeight;
    params->bitmap = bitmap;
    params->mask = mask;
    params->alpha = alpha;
    params->screenX = screenX;
    params->screenY = screenY;
    layer->type = kind;
    layer->first = layer->saved = layer->current = params;
    bool linked = false;
    auto fail = [&](int code) {
        if (linked) RemoveNode(&layer->node);
        FreeLayer(layer);
        return code;
    };
    int32_t position = defaultInsertPos;
    if (options) {
        layer->transparency = std::clamp(options->transparency, 0, 255);
        layer->tint = std::clamp(options->tint, 0, 255);
        layer->tintColor = options->tintColor;
        if (options->hidden) flags |= kAddLayerHidden;
        if (!options->name.empty()) {
            if (options->name.size() > kMaxLayerName) return fail(kErrNameTooLong);
            if (int error = CheckLayerNameFree(bgpic, options->name.c_str(), nullptr)) return fail(error);
            layer->name = new (std::nothrow) char[options->name.size() + 1];
            if (!layer->name) return fail(kErrOutOfMemory);
            std::memcpy(layer->name, options->name.c_str(), options->name.size() + 1);
            LayerNameChanges++;
        }
        if (options->insertPos > 0) position = options->insertPos;
    }
    layer->hidden = (flags & kAddLayerHidden) ? 1 : 0;
    layer->deferred = !layer->hidden && display && display->outputKind == ObjectKindBGPic && bgpic == display->picture;
    if (!(flags & kAddLayerReplace)) params->clip = bgpic->clipRegion;
    // Counted, so that freeing the region while the layer shows through it only marks it pending.
    if (params->clip) params->clip->useCount++;
    bgpic->layersChanged = 1;
    if (transform) {
        layer->transform = *transform;
        layer->anchorX = transform->anchorX;
        layer->anchorY = transform->anchorY;
        ApplyAnchor(layer, params);
    } else {
        layer->transform = DisplayTransform{};
    }
    if (objectId) layer->source = layer->origin = *objectId;

    const int32_t count = CountLayers(bgpic);
    bool needsRefresh = false;
    ListNode *predecessor = nullptr;
    if (position < 1 || position > count) {
        predecessor = LastNode(&bgpic->layers);
    } else {
        predecessor = position == 1 ? nullptr : &GetNthLayer(bgpic, position - 1)->node;
        needsRefresh = !(flags & kAddLayerReplace);
    }
    InsertNode(&bgpic->layers, &layer->node, predecessor);
    linked = true;
    vlLayer *replaced = nullptr;
    if (flags & kAddLayerReplace) {
        ListNode *next = NextNode(&layer->node);
        replaced = next ? LayerOfNode(next) : nullptr;
        flags |= kAddLayerNew;
        if (replaced) {
            for (vlBGPicButton *b = bgpic->buttons; b; b = b->next)
                if (b->type == LAYERBUTTON && b->layer == replaced) b->layer = layer;
            params->clip = replaced->first->clip;
            if (params->clip) params->clip->useCount++;
            layer->keepClip = replaced->keepClip;
        }
    }
    if (!IsIdentityTransform(layer->transform)) {
        if (int error = UpdateLayerImage(vm, layer, kUpdateNoRefresh)) return fail(error);
        flags &= ~kAddLayerDisplayScaled;
        if (!(flags & kAddLayerNew)) needsRefresh = true;
    }
    const bool pictureScaled = display && DisplayScalesLayers(display) &&
                               (bgpic == display->picture || bgpic == FindAsyncDrawBGPic());
    if ((flags & kAddLayerDisplayScaled) && pictureScaled)
        if (int error = UpdateLayerImage(vm, layer, (flags & kAddLayerNew) ? 7 : 5)) return fail(error);
    if (replaced) {
        if (int error = NotifyAsyncDraws(kAsyncNotifyLayerReplaced, replaced)) return fail(error);
        DeleteLayer(vm, replaced, 1, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    // A plain layer put on top is not redrawn here: the drawing command blits its image itself. A deferred one
    // still needs its rectangle in the dirty list, or EndSelect would never show it.
    const LayerDrawParams *c = layer->current;
    if (!layer->hidden && (needsRefresh || layer->tint || layer->transparency || layer->deferred))
        RefreshRect(c->screenX, c->screenY, c->screenWidth, c->screenHeight);
    return 0;
}

void DeleteLayer(VMState *, vlLayer *layer, int noRefresh, int32_t *outX, int32_t *outY, int32_t *outWidth,
                 int32_t *outHeight, LayerRectList *rectList) {
    const LayerDrawParams *c = layer->current;
    if (outX) *outX = c->screenX;
    if (outY) *outY = c->screenY;
    if (outWidth) *outWidth = c->screenWidth;
    if (outHeight) *outHeight = c->screenHeight;
    const int32_t kind = layer->type;
    if (!noRefresh) {
        layer->type = ObjectKindNoObject; // the compositor leaves it out while its area is redrawn
        RefreshInto(rectList, c->screenX, c->screenY, c->screenWidth, c->screenHeight);
        layer->type = kind;
    }
    BGPic *bgpic = OwnerOf(layer);
    RemoveButtonOfLayer(bgpic, layer);
    RemoveNode(&layer->node);
    FreeLayer(layer);
    if (bgpic) bgpic->layersChanged = 1;
    FlushPendingFrees();
}

void FreeBGPicLayers(DisplayRecord *, BGPic *bgpic, int flushPending, int removeButtons) {
    bool any = false;
    while (ListNode *n = FirstNode(&bgpic->layers)) {
        vlLayer *layer = LayerOfNode(n);
        if (removeButtons) RemoveButtonOfLayer(bgpic, layer);
        RemoveNode(n);
        FreeLayer(layer);
        any = true;
    }
    if (any) bgpic->layersChanged = 1;
    if (flushPending) FlushPendingFrees();
}

// ---- Moving -----------------------------------------------------------------------------------------------------

void SetLayerPosition(vlLayer *layer, const int32_t *oldRect, int32_t x, int32_t y, int noRefresh, int32_t flags,
                      LayerRectList *rectList) {
    LayerDrawParams *first = layer->first, *saved = layer->saved, *current = layer->current;
    const int32_t oldX = current->screenX, oldY = current->screenY;
    int32_t width = current->screenWidth, height = current->screenHeight;
    if (oldRect) {
        width = std::max(width, oldRect[2]);
        height = std::max(height, oldRect[3]);
    }
    if (x == USELAYERPOSITION && y == USELAYERPOSITION) {
        if (!noRefresh) RefreshInto(rectList, oldX, oldY, width, height);
        return;
    }
    const int32_t nx = x == USELAYERPOSITION ? first->x : ClampLayerCoordinate((flags & 1) ? int64_t(first->x) + x : x);
    const int32_t ny = y == USELAYERPOSITION ? first->y : ClampLayerCoordinate((flags & 2) ? int64_t(first->y) + y : y);
    const int32_t dx = nx - first->x, dy = ny - first->y;
    auto move = [&](LayerDrawParams *p) {
        p->x += dx;
        p->y += dy;
        p->anchoredX += dx;
        p->anchoredY += dy;
        p->screenX += dx;
        p->screenY += dy;
    };
    move(first);
    if (saved != first) move(saved);
    if (current != saved) {
        // The display-scaled state keeps its drawn offset against its scaled position.
        const DisplayRecord *d = CurrentDisplay;
        const double sx = d ? d->scaleX : 1.0, sy = d ? d->scaleY : 1.0;
        const int32_t cx = int32_t(std::lround(saved->x * sx)), cy = int32_t(std::lround(saved->y * sy));
        current->screenX += cx - current->x;
        current->screenY += cy - current->y;
        current->x = cx;
        current->y = cy;
    }
    if (noRefresh) return;
    int32_t jx, jy, jw, jh;
    JoinRects(oldX, oldY, width, height, current->screenX, current->screenY, width, height, &jx, &jy, &jw, &jh);
    RefreshInto(rectList, jx, jy, jw, jh);
}

int UpdateLayerGeometry(vlLayer *layer, LayerDrawParams *p, const int32_t *oldRect, int32_t x, int32_t y,
                        int32_t width, int32_t height, HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha) {
    p->screenX = x;
    p->screenY = y;
    p->screenWidth = width;
    p->screenHeight = height;
    if (bitmap) {
        FreeHostBitmap(p->xfBitmap);
        FreeMaskPlane(p->xfMask);
        FreeAlphaPlane(p->xfAlpha);
        p->xfBitmap = bitmap;
        p->xfMask = mask;
        p->xfAlpha = alpha;
    }
    const int result = NotifyAsyncDraws(kAsyncNotifyLayerChanged, layer);
    if (layer->hidden || layer->deferred || !oldRect || oldRect[4]) return result;
    if (oldRect[2] == -1) {
        RefreshRect(x, y, width, height);
    } else {
        int32_t jx, jy, jw, jh;
        JoinRects(oldRect[0], oldRect[1], oldRect[2], oldRect[3], x, y, width, height, &jx, &jy, &jw, &jh);
        RefreshRect(jx, jy, jw, jh);
    }
    return result;
}

int MoveLayerInZOrder(vlLayer *layer, int32_t position) {
    BGPic *bgpic = OwnerOf(layer);
    if (!bgpic) return 0;
    const int32_t own = LayerPosition(bgpic, layer), count = CountLayers(bgpic);
    if (position == 0 || position > count) position = count;
    if (position == own) return 0;
    RemoveNode(&layer->node);
    // With the layer taken out, the layer now at position - 1 is the one it goes after.
    ListNode *predecessor = position == 1 ? nullptr : &GetNthLayer(bgpic, position - 1)->node;
    InsertNode(&bgpic->layers, &layer->node, predecessor);
    bgpic->layersChanged = 1;
    return 1;
}

int InsertObjectLayer(VMState *vm, DisplayRecord *display, int32_t insertPos, int32_t kind, ObjectId id, int32_t x,
                      int32_t y, int noRefresh, int forMove, vlLayer **outLayer) {
    if (outLayer) *outLayer = nullptr;
    if (int error = RefuseSelectedOutput(display, 0)) return error;
    if (!display || !display->layersEnabled) return kErrLayersRequired;
    if (insertPos < 0) return kErrInvalidInsertPosition;
    const int32_t count = CountLayers(CurrentBGPic);
    const int32_t position = (insertPos == 0 || insertPos > count + 1) ? count + 1 : insertPos;
    const int32_t flags = forMove ? 7 : 6;
    int error = 0;
    switch (kind) {
    case ObjectKindBrush: {
        Brush *brush = nullptr;
        if ((error = FindBrush(id, &brush, 0))) return error;
        x = ClampLayerCoordinate(ResolveXPosition(x, brush->width, 0, 0));
        y = ClampLayerCoordinate(ResolveYPosition(y, brush->height, 0, 0));
        error = AddImageLayer(vm, kind, id, 0, 0, x, y, brush->width, brush->height, nullptr, nullptr, nullptr,
                              nullptr, nullptr, position, flags);
        break;
    }
    case ObjectKindAnim: {
        if (!AnimServices) return LibraryNotRegistered("anim");
        AnimInfo info;
        if ((error = AnimServices->find(id, 0, &info))) return error;
        auto *params = new (std::nothrow) LayerDrawParams;
        if (!params) return kErrOutOfMemory;
        params->x = x = ClampLayerCoordinate(ResolveXPosition(x, info.width, 0, 0));
        params->y = y = ClampLayerCoordinate(ResolveYPosition(y, info.height, 0, 0));
        params->width = info.width;
        params->height = info.height;
        params->frame = 1;
        params->frameCount = info.frameCount;
        error = AddLayer(vm, kind, &id, x, y, info.width, info.height, nullptr, nullptr, nullptr, nullptr, nullptr,
                         params, position, flags);
        break;
    }
    case ObjectKindTextObject:
        if (!TextServices) return LibraryNotRegistered("text");
        error = TextServices->addObjectLayer(vm, id, x, y, position, flags);
        break;
    default: return kErrWrongUsage;
    }
    if (error) return error;
    vlLayer *layer = GetNthLayer(CurrentBGPic, position);
    if (!layer) return kErrLayerOutOfRange;
    // Below the top the layer was redrawn as it went in; on top nothing has shown it yet.
    if (!noRefresh && !forMove && position == count + 1) RefreshLayerArea(layer, nullptr);
    if (outLayer) *outLayer = layer;
    return 0;
}

// ---- Displays ---------------------------------------------------------------------------------------------------

bool DisplayScalesLayers(const DisplayRecord *d) {
    return d && d->layerScaling && DisplayHasScaledSize(d) && (d->scaleX != 1.0 || d->scaleY != 1.0);
}

int EnableDisplayLayers(DisplayRecord *display) {
    if (DisplayHasAsyncDraws(display)) return kErrLayerModeDuringAsyncDraw;
    if (display->doubleBuffering) return kErrEndDoubleBufferFirst;
    if (display->outputKind != ObjectKindDisplay) return kErrLayersDuringOffscreen;
    if (display->picture && display->picture->sprites) return kErrRemoveSpritesFirst;
    if (display->layersEnabled) return 0;
    display->layersEnabled = 1;
    // From now on the second bitmap holds the composed picture that layers are drawn onto.
    BGPic *p = display->picture;
    if (p && display->secondBitmap && p->current.width > 0 && p->current.height > 0)
        REDRAW(display, p, display->secondBitmap, 0, 0, p->current.width, p->current.height, 0, 0);
    return 0;
}

int ResetLayerScaling(DisplayRecord *display, BGPic *bgpic, int rebuild) {
    if (bgpic->current.bitmap != bgpic->scaled.bitmap) {
        FreeTripleExcept(&bgpic->current, &bgpic->base, &bgpic->scaled);
        bgpic->current = bgpic->scaled;
    }
    if (rebuild)
        if (int error = CopyBGPicToDisplayBitmaps(display, bgpic, 1)) return error;
    for (ListNode *n = bgpic->layers.headNode.next; n && n->next; n = n->next) {
        vlLayer *layer = LayerOfNode(n);
        if (layer->current == layer->saved || layer->current == layer->first) continue;
        const bool hadImage = layer->current->xfBitmap != nullptr;
        FreeLayerDrawParamsOfKind(layer->type, layer->current);
        layer->current = layer->saved;
        if (hadImage || layer->rescaleNotify) NotifyAsyncDraws(kAsyncNotifyLayerChanged, layer);
    }
    return 0;
}

int RebuildBGPicLayers(VMState *vm, DisplayRecord *display, BGPic *bgpic) {
    DisplayRecord *oldDisplay = CurrentDisplay;
    BGPic *oldPicture = CurrentBGPic;
    CurrentDisplay = display;
    CurrentBGPic = bgpic;
    int error = 0;
    for (ListNode *n = bgpic->layers.headNode.next; n && n->next && !error; n = n->next) {
        vlLayer *layer = LayerOfNode(n);
        if (DisplayScalesLayers(display)) {
            error = UpdateLayerImage(vm, layer, kUpdateDisplayScaled | kUpdateNoRefresh);
        } else if (layer->current != layer->saved && layer->current != layer->first) {
            FreeLayerDrawParamsOfKind(layer->type, layer->current);
            layer->current = layer->saved;
        }
    }
    CurrentDisplay = oldDisplay;
    CurrentBGPic = oldPicture;
    return error;
}
