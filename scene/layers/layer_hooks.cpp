// How the code below and beside the layer engine reaches it: drawing images as layers, deferred frees, layer
// names in option tables, snapshots with layers and brushes linked from layers.
#include "imaging/blit.h"
#include "imaging/graphics_library.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/brush.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layers.h"

namespace {

int LayerPositionOfName(VMState *, const char *name, int32_t *position) {
    *position = FindLayerByName(name);
    return *position ? 0 : kErrLayerNameNotFound;
}

// SaveSnapshot sees the display as composed with its layers and sprites, at the picture's own size.
int SnapshotSource(HostBitmap **bitmap, bool *owned) {
    *owned = false;
    DisplayRecord *d = CurrentDisplay;
    if (d && d->layersEnabled && d->outputKind == ObjectKindDisplay && d->picture) {
        const BGPic *p = d->picture;
        return RenderBGPicWithLayers(d->picture, 0, 0, p->scaled.width, p->scaled.height, bitmap, owned);
    }
    // Sprites lie over the display's picture only in its composed image.
    if (d && d->outputKind == ObjectKindDisplay && d->picture && d->picture->sprites && !d->doubleBuffering) {
        *bitmap = GetBGPicDisplayImage(d, d->picture);
        return 0;
    }
    *bitmap = CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr;
    return 0;
}

// GetBrushLink(LAYER, n): the layer's image as it is shown, the part of a brush for a BRUSHPART layer.
int LayerBrushLink(VMState *, ObjectId source, int32_t, ImageTriple *image, int32_t *sourceX, int32_t *sourceY,
                   int32_t *transparent, bool *temporary) {
    *temporary = false;
    vlLayer *layer = GetNthLayer(CurrentBGPic, source.number);
    if (!layer) return kErrLayerOutOfRange;
    const LayerDrawParams *c = layer->current;
    if (int error = GetLayerImage(layer, c, 1, -1, &image->bitmap, &image->mask, &image->alpha, nullptr, nullptr,
                                  nullptr))
        return error;
    const bool own = c->xfBitmap || c->bitmap;
    *sourceX = own ? 0 : c->partX;
    *sourceY = own ? 0 : c->partY;
    image->width = c->screenWidth;
    image->height = c->screenHeight;
    *transparent = image->mask ? kLayerLinkMaskMarker : -1;
    return 0;
}

} // namespace

void InstallLayerHooks() {
    DisplayImageLayerHook = DisplayImageObjectLayer;
    PrepareLayerForSelectHook = PrepareLayerForSelect;
    LayerPositionHook = LayerPositionOfName;
    SnapshotSourceHook = SnapshotSource;
    RegisterBrushLinkSource(ObjectKindLayer, LayerBrushLink);
}
