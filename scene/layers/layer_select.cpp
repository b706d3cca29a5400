// SelectLayer: the image a layer shows becomes the drawing target. The layer first gets a private copy of what it
// shows, so the script's object and other layers stay as they are.
#include "imaging/async_draw.h"
#include "imaging/graphics_library.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
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
        brush->freePending = 1;
        layer->source = copy;
        FlushPendingFrees(1); // the script's freed brush may have waited for this layer only
    }
    out->image = ImageTriple{brush->bitmap, brush->mask, brush->alpha, brush->width, brush->height};
    out->mask = &brush->mask;
    out->alpha = &brush->alpha;
    return 0;
}

int PrepareAnimLayer(vlLayer *layer, int32_t frame, LayerSelectSource *out) {
    if (!AnimServices || !AnimServices->copyForLayer || !AnimServices->framePlaneSlots)
        return CommandNotAvailable("SelectLayer");
    AnimInfo info;
    if (int error = AnimServices->find(layer->source, 0, &info)) return error;
    if (layer->source.number || IsObjectUsedByLayers(ObjectKindAnim, layer->source, layer)) {
        ObjectId copy{};
        if (int error = AnimServices->copyForLayer(layer->source, &copy)) return error;
        layer->source = copy;
        FlushPendingFrees(2);
        if (int error = AnimServices->find(layer->source, 0, &info)) return error;
    }
    bool temporary = false;
    if (int error = AnimServices->frameImage(layer->source, frame, &out->image, &temporary)) return error;
    if (temporary) return 1338;
    out->image.width = info.width;
    out->image.height = info.height;
    return AnimServices->framePlaneSlots(layer->source, frame, &out->mask, &out->alpha);
}

} // namespace

int PrepareLayerForSelect(VMState *, int32_t position, int32_t frame, LayerSelectSource *out) {
    vlLayer *layer = CurrentBGPic ? GetNthLayer(CurrentBGPic, position) : nullptr;
    if (!layer) return kErrLayerOutOfRange;
    if (LayerHasAsyncDraw(layer)) return 1404;
    out->layer = layer;
    switch (layer->type) {
    case ObjectKindBrush:
    case ObjectKindBrushPart: return PrepareBrushLayer(layer, out);
    case ObjectKindAnim: return PrepareAnimLayer(layer, frame, out);
    case ObjectKindBGPicPart:
    case ObjectKindTextObject:
    case ObjectKindTextOut:
    case ObjectKindPrint:
    case ObjectKindBox:
    case ObjectKindCircle:
    case ObjectKindEllipse:
    case ObjectKindLine:
    case ObjectKindPolygon:
    case ObjectKindArc: return CommandNotAvailable("SelectLayer of picture part, text and shape layers");
    default: return kErrWrongUsage;
    }
}
