// SelectLayer: the image a layer shows becomes the drawing target. The layer first gets a private copy of what it
// shows, so the script's object and other layers stay as they are.
#include <new>

#include "imaging/async_draw.h"
#include "imaging/image_ops.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/object_list.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/output.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layers.h"

namespace {

// A layer's object is private when it goes with its layers (a pending handle) and no other layer shows it.
bool IsPrivate(const vlLayer *layer, int32_t kind, bool pending) {
    return !layer->source.number && pending && !IsObjectUsedByLayers(kind, layer->source, layer);
}

int PrepareBrushLayer(vlLayer *layer, LayerSelectSource *out) {
    Brush *brush = nullptr;
    if (int error = FindBrush(layer->source, &brush, kFindBrushPending)) return error;
    if (!IsPrivate(layer, ObjectKindBrush, brush->freePending)) {
        ObjectId copy{0, kAutoHandleRequest};
        if (int error = CopyBrushForReferrer(brush, &copy)) return error;
        brush = static_cast<Brush *>(copy.handle);
        BrushList.MarkPending(brush);
        layer->source = copy;
        FlushPendingFrees(); // the script's freed brush may have waited for this layer only
    }
    out->image = ImageTriple{brush->bitmap, brush->mask, brush->alpha, brush->width, brush->height};
    out->mask = &brush->mask;
    out->alpha = &brush->alpha;
    return 0;
}

int PrepareAnimLayer(vlLayer *layer, int32_t frame, LayerSelectSource *out) {
    if (!AnimServices || !AnimServices->copyForLayer || !AnimServices->framePlaneSlots)
        return LibraryNotRegistered("anim");
    AnimInfo info;
    if (int error = AnimServices->find(layer->source, 0, &info)) return error;
    if (layer->source.number || IsObjectUsedByLayers(ObjectKindAnim, layer->source, layer)) {
        ObjectId copy{};
        if (int error = AnimServices->copyForLayer(layer->source, &copy)) return error;
        layer->source = copy;
        FlushPendingFrees();
        if (int error = AnimServices->find(layer->source, 0, &info)) return error;
    }
    bool temporary = false;
    if (int error = AnimServices->frameImage(layer->source, frame, &out->image, &temporary)) return error;
    if (temporary) return kErrDiskAnim;
    out->image.width = info.width;
    out->image.height = info.height;
    return AnimServices->framePlaneSlots(layer->source, frame, &out->mask, &out->alpha);
}

// A picture part draws into the layer's own image when it has one, else into a private copy of the picture
// whose base planes become the ones it shows.
int PrepareBGPicPartLayer(vlLayer *layer, LayerSelectSource *out) {
    LayerDrawParams *first = layer->first;
    if (first->bitmap) {
        out->image = ImageTriple{first->bitmap, first->mask, first->alpha, first->bitmap->width, first->bitmap->height};
        out->mask = &first->mask;
        out->alpha = &first->alpha;
        return 0;
    }
    BGPic *bgpic = nullptr;
    if (int error = FindBGPic(layer->source, &bgpic, kFindPending)) return error;
    // A freed picture a display still shows is pending too, but it is not the layer's to change.
    if (!IsPrivate(layer, ObjectKindBGPicPart, bgpic->freePending) || IsBGPicShownByDisplay(bgpic)) {
        ObjectId copy{0, kAutoHandleRequest};
        BGPic *made = nullptr;
        if (int error = CopyBGPicRecord(bgpic, &copy, &made)) return error;
        BGPicList.MarkPending(made);
        layer->source = made->id;
        FlushPendingFrees();
        bgpic = made;
    }
    if (!bgpic->base.bitmap) return kErrBGPicTypeUnsupported;
    FreeBGPicDerivedImages(bgpic);
    out->image = bgpic->base;
    out->mask = &bgpic->base.mask;
    out->alpha = &bgpic->base.alpha;
    return 0;
}

// The untransformed image a text or shape layer shows: a copy of a text object's image (*owner null), else its
// first state's image, rendered now when the state has none, left in the state's planes (*owner) until the brush
// around it exists.
int FindRenderedImage(VMState *vm, vlLayer *layer, ImageTriple *out, ImageTriple *owner) {
    LayerDrawParams *first = layer->first;
    if (layer->type == ObjectKindTextObject) {
        if (!TextServices) return LibraryNotRegistered("text");
        ImageTriple image;
        if (int error = TextServices->objectImage(layer->source, kFindPending, &image, nullptr, nullptr, nullptr))
            return error;
        if (!image.bitmap) return kErrWrongUsage;
        *out = ImageTriple{nullptr, nullptr, nullptr, image.width, image.height};
        return CopyImage(image.bitmap, image.mask, image.alpha, 0, 0, image.width, image.height, &out->bitmap,
                         &out->mask, &out->alpha);
    }
    if (!first->bitmap) {
        // The state's own rectangle, untransformed; its image lands in its transformed planes.
        if (int error = DrawLayer(vm, layer, first, nullptr, DisplayTransform{}, 16)) return error;
        if (!first->xfBitmap) return kErrWrongUsage;
        *owner = ImageTriple{first->xfBitmap, first->xfMask, first->xfAlpha, first->xfBitmap->width,
                             first->xfBitmap->height};
    } else {
        *owner = ImageTriple{first->bitmap, first->mask, first->alpha, first->bitmap->width, first->bitmap->height};
    }
    *out = *owner;
    return 0;
}

// A text or shape layer becomes a brush layer around the image it shows, the brush going with the layer. The
// drawn state stays where it was on screen: the anchor point is put back where the brush's anchor lies.
int ConvertToBrushLayer(VMState *vm, vlLayer *layer) {
    const int32_t oldKind = layer->type;
    LayerDrawParams *first = layer->first;
    LayerDrawParams *block = new (std::nothrow) LayerDrawParams;
    if (!block) return kErrOutOfMemory;
    ImageTriple image, owner;
    int error = FindRenderedImage(vm, layer, &image, &owner);
    Brush *brush = nullptr;
    if (!error)
        error = AddBrushRecord(ObjectId{0, kAutoHandleRequest}, kBrushBitmap, image.width, image.height, image.width,
                               nullptr, image.bitmap, image.mask ? kCreateBrushMaskMarker : -1, image.mask,
                               image.alpha, nullptr, &brush);
    if (error) {
        if (!owner.bitmap) FreeImageTriple(&image);
        delete block;
        return error;
    }
    BrushList.MarkPending(brush);
    // The planes are the brush's now.
    if (owner.bitmap && owner.bitmap == first->bitmap) {
        first->bitmap = nullptr, first->mask = nullptr, first->alpha = nullptr;
    } else if (owner.bitmap) {
        first->xfBitmap = nullptr, first->xfMask = nullptr, first->xfAlpha = nullptr;
    }
    block->screenX = block->anchoredX = first->screenX;
    block->screenY = block->anchoredY = first->screenY;
    block->screenWidth = block->width = image.width;
    block->screenHeight = block->height = image.height;
    block->x = ClampLayerCoordinate(int64_t(first->screenX) + int32_t(image.width * layer->anchorX));
    block->y = ClampLayerCoordinate(int64_t(first->screenY) + int32_t(image.height * layer->anchorY));
    // The region the layer was drawn through stays with it (and its use count with it).
    block->clip = first->clip;
    for (LayerDrawParams *p : {layer->saved, layer->current})
        if (p->clip == first->clip) p->clip = nullptr;
    first->clip = nullptr;
    LayerDrawParams *saved = layer->saved, *current = layer->current;
    FreeLayerDrawParamsOfKind(oldKind, first);
    if (saved != first) FreeLayerDrawParamsOfKind(oldKind, saved);
    if (current != first && current != saved) FreeLayerDrawParamsOfKind(oldKind, current);
    layer->first = layer->saved = layer->current = block;
    layer->type = ObjectKindBrush;
    layer->source = brush->id;
    FlushPendingFrees();
    // A transformed or display-scaled layer gets its shown states back from the brush now, so that it looks the
    // same whether or not anything is drawn before EndSelect.
    DisplayRecord *display = CurrentDisplay;
    if (!IsIdentityTransform(layer->transform) || (display && DisplayScalesLayers(display)))
        return UpdateLayerImage(vm, layer, kUpdateNoRefresh);
    return 0;
}

} // namespace

int PrepareLayerForSelect(VMState *vm, int32_t position, int32_t frame, LayerSelectSource *out) {
    vlLayer *layer = CurrentBGPic ? GetNthLayer(CurrentBGPic, position) : nullptr;
    if (!layer) return kErrLayerOutOfRange;
    if (LayerHasAsyncDraw(layer)) return kErrLayerAsyncDrawRender;
    out->layer = layer;
    switch (layer->type) {
    case ObjectKindBrush:
    case ObjectKindBrushPart: return PrepareBrushLayer(layer, out);
    case ObjectKindAnim: return PrepareAnimLayer(layer, frame, out);
    case ObjectKindBGPicPart: return PrepareBGPicPartLayer(layer, out);
    case ObjectKindTextObject:
    case ObjectKindTextOut:
    case ObjectKindPrint:
    case ObjectKindBox:
    case ObjectKindCircle:
    case ObjectKindEllipse:
    case ObjectKindLine:
    case ObjectKindPolygon:
    case ObjectKindArc:
        if (int error = ConvertToBrushLayer(vm, layer)) return error;
        return PrepareBrushLayer(layer, out);
    default: return kErrWrongUsage;
    }
}
