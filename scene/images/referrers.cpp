// Walks over the layers of every picture: who shows an object, re-pointing them, and the sprites' rectangles.
#include <new>

#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/layers/layers.h"

// Calls visit(layer) for every layer of every picture.
template <class Visit> static void ForEachLayer(Visit visit) {
    for (BGPic *bgpic : BGPicList)
        for (ListNode *n = bgpic->layers.headNode.next; n && n->next; n = n->next) visit(LayerOfNode(n));
}

static bool ShowsObject(const vlLayer *layer, int32_t kind, int32_t alternative, const ObjectId &id) {
    return (layer->type == kind || (alternative && layer->type == alternative)) && layer->source == id;
}

static bool UsesClipRegion(const vlLayer *layer, const void *region) {
    return region && layer->current && layer->current->clip == region;
}

int ForEachReferrer(int32_t kind, ObjectId id, ReferrerCopyFn copy, void *argument, ObjectId *outNewHandle,
                    int flags) {
    (void)flags; // sprites own copies of their frames: only layers refer to an object
    const int32_t alternative = AlternativeReferrerKind(kind);
    bool found = false;
    ForEachLayer([&](vlLayer *layer) {
        if (kind == ObjectKindClipRegion ? UsesClipRegion(layer, id.handle) : ShowsObject(layer, kind, alternative, id))
            found = true;
    });
    if (!found) return 0;
    ObjectId made{0, kAutoHandleRequest};
    if (int error = copy(argument, &made)) return error;
    if (kind != ObjectKindClipRegion) {
        ForEachLayer([&](vlLayer *layer) {
            if (ShowsObject(layer, kind, alternative, id)) layer->source = ObjectId{0, made.handle};
        });
    }
    if (outNewHandle) *outNewHandle = made;
    return 0;
}

int IsObjectUsedByLayers(int32_t kind, ObjectId id, const vlLayer *except) {
    const int32_t alternative = AlternativeReferrerKind(kind);
    bool used = false;
    ForEachLayer([&](vlLayer *layer) {
        if (kind == ObjectKindClipRegion) used |= UsesClipRegion(layer, id.handle);
        else used |= layer != except && ShowsObject(layer, kind, alternative, id);
    });
    return used ? 1 : 0;
}

int DetachLayerReferences(int32_t kind, ObjectId id, void *handle) {
    if (kind == ObjectKindClipRegion) return IsObjectUsedByLayers(kind, ObjectId{0, handle});
    const int32_t alternative = AlternativeReferrerKind(kind);
    bool any = false;
    ForEachLayer([&](vlLayer *layer) {
        if (ShowsObject(layer, kind, alternative, id)) {
            layer->source = ObjectId{0, handle};
            any = true;
        }
    });
    return any ? 1 : 0;
}

const ObjectLayerServices kLayerServices{ForEachReferrer, IsObjectUsedByLayers, DetachLayerReferences};

void ClearLayerClipRegionRefs(const ClipRegion *region) {
    if (!region) return;
    ForEachLayer([&](vlLayer *layer) {
        for (LayerDrawParams *p : {layer->first, layer->saved, layer->current})
            if (p && p->clip == region) p->clip = nullptr;
    });
}

int AddImageLayer(VMState *vm, int32_t kind, ObjectId id, int32_t sourceX, int32_t sourceY, int32_t x, int32_t y,
                  int32_t width, int32_t height, const DisplayTransform *transform, const LayerOptions *options,
                  HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha, int32_t defaultInsertPos, int32_t flags) {
    LayerDrawParams *params = new (std::nothrow) LayerDrawParams;
    if (!params) {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
        return kErrOutOfMemory;
    }
    params->x = x;
    params->y = y;
    params->width = width;
    params->height = height;
    params->partX = sourceX;
    params->partY = sourceY;
    return AddLayer(vm, kind, &id, x, y, width, height, transform, options, bitmap, mask, alpha, params,
                    defaultInsertPos, flags);
}

static bool Overlaps(int32_t ax, int32_t ay, int32_t aw, int32_t ah, int32_t bx, int32_t by, int32_t bw, int32_t bh) {
    // Inclusive bounds: x2 = x + width - 1, computed wide so huge sizes cannot wrap.
    const int64_t ax2 = int64_t(ax) + aw - 1, ay2 = int64_t(ay) + ah - 1;
    const int64_t bx2 = int64_t(bx) + bw - 1, by2 = int64_t(by) + bh - 1;
    return !(ax2 < bx || bx2 < ax || ay2 < by || by2 < ay);
}

int SpritesOverlapRect(const BGPic *bgpic, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (!bgpic) return 0;
    for (const OnScreenSprite *s = bgpic->sprites; s; s = s->next)
        if (Overlaps(x, y, width, height, s->x, s->y, s->width, s->height)) return 1;
    return 0;
}
