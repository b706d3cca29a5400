// Doing what a style table asks at the least cost: a repaint, a move, a new transform, or a rebuild that puts
// a new layer record in the old one's place.
#include <cstring>
#include <memory>
#include <new>

#include "imaging/clip_region.h"
#include "imaging/image_ops.h"
#include "imaging/position.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/object_list.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layer_style_change.h"
#include "scene/layers/layers.h"

namespace {

void AddCurrentRect(LayerRectList *rects, const vlLayer *layer) {
    const LayerDrawParams *c = layer->current;
    if (rects) AddDirtyRect(rects, c->screenX, c->screenY, c->screenWidth, c->screenHeight);
    else RefreshRect(c->screenX, c->screenY, c->screenWidth, c->screenHeight);
}

int32_t ResolvedX(const LayerStyleChange &c, int32_t width) {
    return c.x == USELAYERPOSITION || (c.relative & 1) ? c.x
                                                        : ClampLayerCoordinate(ResolveXPosition(c.x, width, 0, c.anchorX));
}
int32_t ResolvedY(const LayerStyleChange &c, int32_t height) {
    return c.y == USELAYERPOSITION || (c.relative & 2) ? c.y
                                                        : ClampLayerCoordinate(ResolveYPosition(c.y, height, 0, c.anchorY));
}

// The block's new place: a position constant is resolved against the block's size, which must be the new one.
void PlaceBlock(const LayerStyleChange &c, LayerDrawParams &b) {
    const int32_t x = ResolvedX(c, b.width), y = ResolvedY(c, b.height);
    if (c.relative & 1) b.x = ClampLayerCoordinate(int64_t(b.x) + x);
    else if (x != USELAYERPOSITION) b.x = x;
    if (c.relative & 2) b.y = ClampLayerCoordinate(int64_t(b.y) + y);
    else if (y != USELAYERPOSITION) b.y = y;
}

// A new record takes the layer's place, its name and button; whoever held the old record looks it up again.
int RebuildLayer(VMState *vm, vlLayer *layer, LayerStyleChange &c, LayerRectList *rects) {
    LayerDrawParams &b = c.block;
    // A printed text's size is known only once it is laid out: it is placed after its draft is drawn.
    const bool printed = c.kind == ObjectKindTextOut || c.kind == ObjectKindPrint;
    if (!printed) PlaceBlock(c, b);

    if (c.cursorGiven && (c.cursorX == kPosCenter || c.cursorX == kPosLeft || c.cursorX == kPosRight ||
                          c.cursorY == kPosCenter || c.cursorY == kPosTop || c.cursorY == kPosBottom))
        return kErrCoordinateConstant;
    std::unique_ptr<LayerDrawParams, void (*)(LayerDrawParams *)> params(new (std::nothrow) LayerDrawParams,
                                                                         FreeLayerDrawParams);
    if (!params) return kErrOutOfMemory;
    LayerDrawParams *p = params.get();
    p->x = b.x, p->y = b.y, p->width = b.width, p->height = b.height;
    p->partX = b.partX, p->partY = b.partY;
    p->frame = b.frame, p->frameCount = b.frameCount, p->animData = b.animData;
    if (c.textBlock) {
        p->textBlock = c.textBlock;
        c.textBlock = nullptr;
    } else if (IsTextLayerKind(c.kind) && layer->first->textBlock) {
        if (!TextServices) return LibraryNotRegistered("text");
        if (!(p->textBlock = TextServices->copyBlock(layer->first->textBlock))) return kErrOutOfMemory;
    }
    ImageTriple image;
    int32_t screenX = b.x, screenY = b.y, width = b.width, height = b.height;
    if (printed) {
        // The text is drawn through a copy of the layer that holds only the new block, where the layer stands.
        vlLayer draft;
        draft.type = c.kind;
        draft.first = draft.saved = draft.current = p;
        if (int error = TextServices->drawLayer(vm, &draft, p, nullptr, DisplayTransform{}, 0)) return error;
        image = ImageTriple{p->xfBitmap, p->xfMask, p->xfAlpha, p->screenWidth, p->screenHeight};
        p->xfBitmap = nullptr, p->xfMask = nullptr, p->xfAlpha = nullptr;
        // Then it moves where the keys put the new size (a new cursor placed a Print layer already).
        b.x = p->x, b.y = p->y, b.width = p->width, b.height = p->height;
        PlaceBlock(c, b);
        screenX = p->screenX + (b.x - p->x), screenY = p->screenY + (b.y - p->y);
        p->x = b.x, p->y = b.y;
        width = image.width, height = image.height;
    }
    DisplayTransform t = c.transform;
    ComputeTransformMatrix(&t, b.width, b.height);
    if (t.a * t.d - t.b * t.c == 0) {
        FreeImageTriple(&image);
        return kErrWrongUsage;
    }

    if (c.shape) {
        int32_t ox = 0, oy = 0;
        if (int error = RenderFirstShapeImage(c.shape, t, &image, &ox, &oy)) {
            if (error == kErrInternalLimit) RaiseShapeLayerSizeLimit(vm);
            return error;
        }
        screenX += ox, screenY += oy, width = image.width, height = image.height;
        p->shape = c.shape;
        c.shape = nullptr;
    } else if (c.kind == ObjectKindAnim) {
        AnimInfo info;
        bool temporary = false;
        int error = AnimServices->find(c.source, 0, &info);
        // A frame read from disk is not kept by its anim, so the layer keeps it as its own image.
        if (!error && info.diskBased) error = AnimServices->frameImage(c.source, p->frame, &image, &temporary);
        if (error) {
            FreeImageTriple(&image);
            return error;
        }
        if (!temporary) image = ImageTriple{};
    }

    const int32_t position = GetLayerIndex(layer);
    const ObjectId origin = c.kindChanged ? c.source : layer->origin;
    const int32_t rescale = layer->rescaleNotify;
    // The name moves to the new record (a copy: the old record goes with its own).
    char *name = nullptr;
    if (layer->name) {
        const size_t length = std::strlen(layer->name);
        if (!(name = new (std::nothrow) char[length + 1])) {
            FreeImageTriple(&image);
            return kErrOutOfMemory;
        }
        std::memcpy(name, layer->name, length + 1);
    }
    AddCurrentRect(rects, layer);
    LayerOptions options;
    options.transparency = c.transparency;
    options.tint = c.tint;
    options.tintColor = c.tintColor;
    const int32_t flags = kAddLayerReplace | kAddLayerNew | kAddLayerDisplayScaled | (c.hidden ? kAddLayerHidden : 0);
    const int error = AddLayer(vm, c.kind, &c.source, screenX, screenY, width, height, &t, &options, image.bitmap,
                               image.mask, image.alpha, params.release(), position, flags);
    vlLayer *made = GetNthLayer(CurrentBGPic, position);
    if (error || !made || made == layer) {
        delete[] name;
        return error ? error : kErrWrongUsage;
    }
    // The old record is gone now.
    made->name = name;
    LayerNameChanges++;
    made->origin = origin;
    made->rescaleNotify = rescale;
    AddCurrentRect(rects, made);
    return 0;
}

} // namespace

int ApplyLayerStyle(VMState *vm, vlLayer *layer, int table, bool *freeAfter, LayerRectList *rects) {
    LayerStyleChange c;
    if (int error = ReadLayerStyle(vm, layer, table, freeAfter, &c)) return error;
    // An error from here on leaves the stores of the reading in place.
    if (c.classes & kStyleRebuild) return RebuildLayer(vm, layer, c, rects);
    if (!(c.classes & (kStylePosition | kStyleTransform | kStyleClip))) {
        if (c.classes & kStyleRepaint) AddCurrentRect(rects, layer);
        return 0;
    }
    int transformChanged = (c.classes & kStyleTransform) != 0;
    if (c.classes & kStylePosition) {
        const LayerDrawParams *first = layer->first;
        SetLayerPosition(layer, nullptr, ResolvedX(c, first->width), ResolvedY(c, first->height), 0, c.relative,
                         rects);
    } else {
        AddCurrentRect(rects, layer);
    }
    if ((c.classes & kStyleClip) && (layer->saved != layer->first || layer->current != layer->first))
        transformChanged = 1;
    if (!transformChanged) {
        layer->transform = c.transform;
        return 0;
    }
    const DisplayTransform old = layer->transform;
    layer->transform = c.transform;
    ComputeTransformMatrix(&layer->transform, layer->first->width, layer->first->height);
    if (!(c.classes & kStylePosition)) AddCurrentRect(rects, layer);
    if (int error = UpdateLayerImage(vm, layer, kUpdateNoRefresh)) {
        layer->transform = old; // the image the layer keeps is the old one
        return error;
    }
    AddCurrentRect(rects, layer);
    return 0;
}

int SetLayerStyleArgs(VMState *vm, int base, int count, int noRefresh) {
    if (int error = RefuseSelectedOutput(CurrentDisplay, 0)) return error;
    if (!CurrentDisplay || !CurrentDisplay->layersEnabled || !CurrentBGPic) return kErrLayersRequired;
    // While a picture is the output its display's dirty list collects the rectangles instead.
    LayerRectList *rects = CurrentDisplay->outputKind == ObjectKindBGPic ? nullptr : &LayerRects;
    LayerRects.count = 0;
    bool freeAfter = false;
    int error = 0;
    for (int i = 0; i < count && !error; i += 2) {
        int32_t position = 0;
        vlLayer *layer = nullptr;
        // Whatever names no layer is passed over: moves and playback hand in layers that have gone.
        const int type = ValueType(vm, base + i);
        if (type != TNUMBER && type != TSTRING) continue;
        if (ReadLayerArg(vm, base + i, &position) || !(layer = GetNthLayer(CurrentBGPic, position))) continue;
        error = ApplyLayerStyle(vm, layer, base + i + 1, &freeAfter, rects);
    }
    bool drawnByEffect = false;
    for (ListNode *n = CurrentBGPic->layers.headNode.next; LayersInTransition > 0 && n && n->next && !drawnByEffect;
         n = n->next)
        drawnByEffect = LayerOfNode(n)->inTransition != 0;
    if (rects && !noRefresh && !drawnByEffect) RefreshMergedRects(rects);
    LayerRects.count = 0;
    if (freeAfter) FlushPendingFrees();
    CurrentBGPic->layersChanged = 1;
    return error;
}

int SetLayerPositionAndFrame(VMState *vm, vlLayer *layer, int32_t x, int32_t y, int32_t frame, int noRefresh) {
    const int top = GetTop(vm);
    if (layer->name) PushString(vm, layer->name);
    else PushNumber(vm, GetLayerIndex(layer));
    NewTable(vm);
    SetTableNumber(vm, "x", x);
    SetTableNumber(vm, "y", y);
    SetTableNumber(vm, "frame", frame);
    OwnOptionTable own;
    const int error = SetLayerStyleArgs(vm, top + 1, 2, noRefresh);
    SetTop(vm, top);
    return error;
}
