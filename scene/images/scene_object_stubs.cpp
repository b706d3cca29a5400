// Minimal layer, button and sprite operations the picture and display code need before the layer, event and
// sprite code exist. TODO(layers, events, sprites): each moves to its own code, which replaces it here.
#include <new>

#include "host/blit.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"

void FreeLayerDrawParams(LayerDrawParams *params) {
    if (!params) return;
    FreeHostBitmap(params->bitmap);
    FreeMaskPlane(params->mask);
    FreeAlphaPlane(params->alpha);
    FreeHostBitmap(params->xfBitmap);
    FreeMaskPlane(params->xfMask);
    FreeAlphaPlane(params->xfAlpha);
    if (params->clip && params->clip->owned) {
        FreeClipRegionMask(params->clip);
        delete params->clip;
    }
    delete params;
}

// TODO(layers): deleting a layer calls RemoveLayerButtons(vm, bgpic, layer) before this, so that no LAYERBUTTON
// is left hit-testing a freed layer.
void FreeLayer(vlLayer *layer) {
    LayerDrawParams *first = layer->first, *saved = layer->saved, *current = layer->current;
    FreeLayerDrawParams(first);
    if (saved != first) FreeLayerDrawParams(saved);
    if (current != first && current != saved) FreeLayerDrawParams(current);
    delete[] layer->name;
    delete layer;
}

// TODO(layers): with removeButtons set, each layer's button goes first (RemoveLayerButtons); the picture's own
// free passes 0 because it frees every button itself.
void FreeBGPicLayers(DisplayRecord *, BGPic *bgpic, int, int) {
    bool any = false;
    while (ListNode *n = FirstNode(&bgpic->layers)) {
        RemoveNode(n);
        FreeLayer(LayerOfNode(n));
        any = true;
    }
    if (any) bgpic->layersChanged = 1;
}

int32_t CountLayers(const BGPic *bgpic) {
    int32_t n = 0;
    for (const ListNode *node = bgpic->layers.headNode.next; node && node->next; node = node->next) n++;
    return n;
}

int AddLayer(VMState *, int32_t kind, const ObjectId *objectId, int32_t screenX, int32_t screenY,
             int32_t screenWidth, int32_t screenHeight, const DisplayTransform *transform,
             const LayerOptions *options, HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha,
             LayerDrawParams *params, int32_t defaultInsertPos, int32_t flags) {
    BGPic *bgpic = CurrentBGPic;
    vlLayer *layer = bgpic ? new (std::nothrow) vlLayer : nullptr;
    if (!layer) {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
        delete params;
        return bgpic ? kErrOutOfMemoryCode : kErrWrongUsage;
    }
    params->bitmap = bitmap;
    params->mask = mask;
    params->alpha = alpha;
    params->anchoredX = params->x;
    params->anchoredY = params->y;
    params->screenX = screenX;
    params->screenY = screenY;
    params->screenWidth = screenWidth;
    params->screenHeight = screenHeight;
    layer->type = kind;
    if (objectId) layer->source = layer->origin = *objectId;
    if (transform) layer->transform = *transform;
    int32_t position = defaultInsertPos;
    if (options) {
        layer->transparency = options->transparency;
        layer->tint = options->tint;
        layer->tintColor = options->tintColor;
        if (options->hidden) flags |= 1;
        if (options->insertPos > 0) position = options->insertPos;
    }
    layer->hidden = flags & 1;
    DisplayRecord *display = CurrentDisplay;
    layer->deferred = !layer->hidden && display && display->outputKind == ObjectKindBGPic &&
                      CurrentBGPic == display->picture;
    layer->first = layer->saved = layer->current = params;
    ListNode *predecessor = nullptr; // at the head
    if (position < 1) {
        predecessor = LastNode(&bgpic->layers);
    } else {
        for (int32_t i = 1; i < position; i++) {
            ListNode *next = predecessor ? NextNode(predecessor) : FirstNode(&bgpic->layers);
            if (!next) break;
            predecessor = next;
        }
    }
    InsertNode(&bgpic->layers, &layer->node, predecessor);
    bgpic->layersChanged = 1;
    return 0;
}

void REDRAW(DisplayRecord *, BGPic *bgpic, HostBitmap *destination, int32_t x, int32_t y, int32_t width,
            int32_t height, int32_t, int32_t flag) {
    if (!bgpic || !destination) return;
    const ImageTriple &image = (flag & 16) ? bgpic->scaled : bgpic->current;
    if (image.bitmap) BLTBITMAP(image.bitmap, x, y, destination, x, y, width, height);
}

int RebuildBGPicLayers(VMState *, DisplayRecord *, BGPic *) { return 0; }

void RefreshMergedRects(DisplayRecord *display) {
    if (display) display->dirtyCount = 0;
}

void RefreshLayerArea(vlLayer *, void *) {}

int UpdateLayerImage(VMState *, vlLayer *, int32_t) { return 0; }

void (*FreeButtonHook)(BGPic *, vlBGPicButton *) = nullptr;

void FreeBGPicButton(BGPic *bgpic, vlBGPicButton *button) {
    if (FreeButtonHook) {
        FreeButtonHook(bgpic, button);
        return;
    }
    for (vlBGPicButton **link = &bgpic->buttons; *link; link = &(*link)->next) {
        if (*link == button) {
            *link = button->next;
            break;
        }
    }
    if (button->vm) {
        if (button->functionRef != -1) FreeRef(button->vm, kRegistryIndex, button->functionRef);
        if (button->userdataRef != -1) FreeRef(button->vm, kRegistryIndex, button->userdataRef);
    }
    delete button;
}

// Only the presses end: the hover bit stays, so a reset under a still mouse gives no second OnMouseOver.
void ResetButtonStates(BGPic *bgpic) {
    for (vlBGPicButton *b = bgpic->buttons; b; b = b->next) b->state &= ~kButtonPressedMask;
}

void FreeOnScreenSprites(BGPic *bgpic) {
    while (OnScreenSprite *s = bgpic->sprites) {
        bgpic->sprites = s->next;
        delete s;
    }
}
