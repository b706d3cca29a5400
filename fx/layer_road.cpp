#include "fx/layer_road.h"

#include <algorithm>

#include "fx/effect_table.h"
#include "fx/realtime_layer.h"
#include "fx/transition.h"
#include "host/blit.h"
#include "imaging/async_draw.h"
#include "imaging/image_ops.h"
#include "imaging/position.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_list.h"
#include "scene/display/display_record.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/layers/layers.h"
#include "text/layout/text_objects.h"

namespace {

// The scene in the request's rectangle, with the layer shown or left out, into image (the rectangle's size, black
// where the rectangle leaves the picture). Layers above it, its see-through and tint settings and its clip are
// all in the picture, so the effect moves between two exact scenes.
int ComposeScene(const FxRequest *request, DisplayRecord *display, vlLayer *layer, bool withLayer, HostBitmap *image) {
    BGPic *picture = CurrentBGPic;
    const int32_t x0 = std::max(request->x, 0), y0 = std::max(request->y, 0);
    const int32_t x1 = int32_t(std::min<int64_t>(int64_t(request->x) + request->width, picture->current.width));
    const int32_t y1 = int32_t(std::min<int64_t>(int64_t(request->y) + request->height, picture->current.height));
    if (x1 <= x0 || y1 <= y0) return 0;
    HostBitmap *scratch = AllocHostBitmapFormat(picture->current.width, picture->current.height, image->format);
    if (!scratch) return kErrOutOfMemory;
    const int32_t kind = layer->type, hidden = layer->hidden, deferred = layer->deferred;
    if (withLayer) layer->hidden = layer->deferred = 0;
    else layer->type = ObjectKindNoObject;
    REDRAW(display, picture, scratch, x0, y0, x1 - x0, y1 - y0, 0, 0);
    layer->type = kind, layer->hidden = hidden, layer->deferred = deferred;
    BLTBITMAP(scratch, x0, y0, image, x0 - request->x, y0 - request->y, x1 - x0, y1 - y0);
    FreeHostBitmap(scratch);
    return 0;
}

// Where the effect drew, and where the layer is now (an async transition's layer may have moved meanwhile).
void RefreshRequestArea(const FxRequest *request, const vlLayer *layer) {
    RefreshRect(request->x, request->y, request->width, request->height);
    if (!layer || !layer->current) return;
    const LayerDrawParams *state = layer->current;
    if (state->screenX != request->x || state->screenY != request->y || state->screenWidth != request->width ||
        state->screenHeight != request->height)
        RefreshRect(state->screenX, state->screenY, state->screenWidth, state->screenHeight);
}

} // namespace

int AddTransitionLayer(FxRequest *request) {
    if (!DisplayImageLayerHook) return LibraryNotRegistered("layers");
    int32_t kind = ObjectKindBrush, partX = 0, partY = 0, width = request->width, height = request->height;
    int32_t x = request->x, y = request->y;
    if (request->mode == kFxModeBrush) {
        Brush *brush = nullptr;
        if (int error = FindBrush(request->object, &brush, 0)) return error;
        width = brush->width;
        height = brush->height;
    } else if (request->mode == kFxModeTextObject) {
        TextObject *object = nullptr;
        if (int error = FindTextObject(request->object, &object, 0)) return error;
        kind = ObjectKindTextObject;
        width = object->image.width;
        height = object->image.height;
        x = ResolveXPosition(x, width, 0, 0.0) + object->offsetX;
        y = ResolveYPosition(y, height, 0, 0.0) + object->offsetY;
    } else {
        kind = ObjectKindBGPicPart;
        partX = request->partX;
        partY = request->partY;
    }
    LayerOptions options;
    options.hidden = 1;
    if (int error = DisplayImageLayerHook(request->vm, kind, request->object, partX, partY, x, y, width, height,
                                          DisplayTransform{}, options))
        return error;
    request->mode = kFxModeLayer;
    request->object = ObjectId{CountLayers(CurrentBGPic), nullptr};
    request->ownsLayer = 1;
    return 0;
}

int ResolveLayerSource(FxRequest *request, DisplayRecord *display) {
    if (!display->layersEnabled || !CurrentBGPic) return kErrLayersRequired;
    vlLayer *layer = GetNthLayer(CurrentBGPic, request->object.number);
    if (!layer || !layer->current) return kErrLayerOutOfRange;
    if (LayerHasAsyncDraw(layer)) return kErrLayerHasAsyncDraw;
    request->layer = layer;
    SetLayerInTransition(layer, 1);
    // Dropping its display-scaled state must reach the transition even when that state held no rendering.
    layer->rescaleNotify = 1;
    if (request->bgpicEmu) {
        // The picture the layer stands in for: this one's changes so far are no reason to draw again.
        CurrentBGPic->layersChanged = 0;
        if (FxEffectHas(request->effect, kFxBGPicOnly)) layer->bgpicEffect = 1;
        BGPic *emulated = request->emuBGPic;
        if (emulated && display->layerScaling && DisplayHasScaledSize(display) &&
            (emulated->current.width != display->scaledWidth || emulated->current.height != display->scaledHeight))
            if (int error = ScaleBGPicToDisplay(request->vm, display, emulated, 0)) return error;
    }
    request->realtimeLayer = ChooseRealtimeLayer(request, display) ? 1 : 0;
    return BuildLayerSource(request, display);
}

int BuildLayerSource(FxRequest *request, DisplayRecord *display) {
    vlLayer *layer = request->layer;
    const LayerDrawParams *state = layer->current;
    request->x = request->layerX = state->screenX;
    request->y = request->layerY = state->screenY;
    request->width = state->screenWidth;
    request->height = state->screenHeight;
    if (request->width <= 0 || request->height <= 0) return kErrWrongUsage;
    if (request->bgpicEmu) {
        request->newImage = AllocHostBitmap(request->width, request->height);
        if (!request->newImage) return kErrOutOfMemory;
        request->ownsImage = 1;
        RenderEmulatedPicture(request);
        return 0;
    }
    // A real-time layer and the effects that handle the layer's mask or alpha themselves get its image; the
    // others move between scenes.
    if (!request->realtimeLayer && (request->reverse || !FxEffectHas(request->effect, kFxMaskAware))) {
        request->newImage = AllocHostBitmap(request->width, request->height);
        if (!request->newImage) return kErrOutOfMemory;
        request->ownsImage = 1;
        return ComposeScene(request, display, layer, !request->reverse, request->newImage);
    }
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    int32_t width = 0, height = 0;
    if (int error = GetLayerImage(layer, state, 1, -1, &bitmap, &mask, &alpha, &width, &height, nullptr)) return error;
    if (!bitmap) return kErrWrongUsage;
    const bool part = state->partX != 0 || state->partY != 0 || bitmap->width != request->width ||
                      bitmap->height != request->height;
    if (!part) {
        request->newImage = bitmap, request->newMask = mask, request->newAlpha = alpha;
        return 0;
    }
    // A part of a bigger image is cut out, so that the effect's rectangles index it from 0, 0.
    if (int error = CopyImage(bitmap, mask, alpha, state->partX, state->partY, request->width, request->height,
                              &request->newImage, &request->newMask, &request->newAlpha))
        return error;
    request->ownsImage = 1;
    request->ownsMask = request->newMask ? 1 : 0;
    request->ownsAlpha = request->newAlpha ? 1 : 0;
    return 0;
}

void EndLayerTransition(FxRequest *request) {
    vlLayer *layer = request->layer;
    if (!layer) return;
    FreeLayerStateImages(request);
    SetLayerInTransition(layer, 0);
    request->layer = nullptr;
    if (request->mode == kFxModeRemoveLayer) {
        DeleteLayer(request->vm, layer, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
        layer = nullptr;
    } else {
        layer->hidden = request->mode == kFxModeHideLayer ? 1 : 0;
        layer->deferred = 0;
    }
    if (CurrentBGPic) CurrentBGPic->layersChanged = 1;
    RefreshRequestArea(request, layer);
}

void ReleaseLayerTransition(FxRequest *request) {
    vlLayer *layer = request->layer;
    if (!layer) return;
    FreeLayerStateImages(request);
    SetLayerInTransition(layer, 0);
    request->layer = nullptr;
    if (request->ownsLayer && request->deleteLayer) {
        DeleteLayer(request->vm, layer, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
        layer = nullptr;
    } else {
        layer->hidden = request->mode == kFxModeLayer ? 1 : 0;
    }
    RefreshRequestArea(request, layer);
}

int FindUndoLayer(int32_t kind, ObjectId id, int32_t level, int32_t *position) {
    BGPic *picture = CurrentBGPic;
    if (!picture) return kErrObjectNotFound;
    int32_t n = CountLayers(picture);
    for (ListNode *node = LastNode(&picture->layers); node; node = PreviousNode(node), n--) {
        const vlLayer *layer = LayerOfNode(node);
        if (layer->type != kind || layer->source != id) continue;
        if (--level <= 0) {
            *position = n;
            return 0;
        }
    }
    return kErrObjectNotFound;
}
