// Ending a redirected output: the display's own picture becomes the target again, and a picture that was drawn
// into through its base image gets its scaled and current images brought up to date.
#include "imaging/image_ops.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/plane_copy.h"

// The picture's base image scaled to width x height.
static int ScaledBase(const BGPic *s, int32_t width, int32_t height, ImageTriple *out) {
    *out = ImageTriple{nullptr, nullptr, nullptr, width, height};
    return ScaleImage(s->base.bitmap, s->base.mask, s->base.alpha, 0, 0, nullptr, s->base.width, s->base.height,
                      width, height, false, &out->bitmap, &out->mask, &out->alpha);
}

// Re-derives a drawn picture's scaled and current images from its base, into which the drawing went.
static int UpdateDrawnPicture(BGPic *s) {
    const bool displayScaled = s->current.bitmap != s->base.bitmap && s->current.bitmap != s->scaled.bitmap;
    const bool scaledIsBase = s->scaled.bitmap == s->base.bitmap;
    if (scaledIsBase) {
        if (!s->scaled.mask) s->scaled.mask = s->base.mask;
        if (!s->scaled.alpha) s->scaled.alpha = s->base.alpha;
    }
    if (!displayScaled) {
        if (!s->current.mask) s->current.mask = s->base.mask;
        if (!s->current.alpha) s->current.alpha = s->base.alpha;
    }
    if (!scaledIsBase) {
        ImageTriple made;
        if (int error = ScaledBase(s, s->scaled.width, s->scaled.height, &made)) return error;
        ImageTriple old = s->scaled;
        s->scaled = made;
        if (!displayScaled) s->current = made;
        FreeTripleExcept(&old, &s->base, &s->current);
    }
    if (displayScaled) {
        ImageTriple made;
        if (int error = ScaledBase(s, s->current.width, s->current.height, &made)) return error;
        ImageTriple old = s->current;
        s->current = made;
        FreeTripleExcept(&old, &s->base, &s->scaled);
    }
    return 0;
}

int EndSelectOutput(VMState *vm, DisplayRecord *display, int noFlush) {
    if (display->selectOnDoubleBuffer) { // a selection suspended double buffering: back to the back buffer
        CurrentBGPic = display->doubleBufferOutput;
        display->selectOnDoubleBuffer = 0;
        display->outputBitmap = display->backBuffer;
        display->outputMask = nullptr;
        display->outputAlpha = nullptr;
        display->outputKind = ObjectKindBrush;
        display->doubleBuffering = 1;
        RestoreDisplayDrawState(display);
        return 0;
    }
    const int32_t oldKind = display->outputKind;
    display->outputKind = ObjectKindDisplay;
    display->outputBitmap = nullptr;
    display->outputMask = nullptr;
    display->outputAlpha = nullptr;
    if (oldKind == ObjectKindBGPic && CurrentBGPic && CurrentBGPic == display->picture) {
        for (ListNode *n = display->picture->layers.headNode.next; n->next; n = n->next) LayerOfNode(n)->deferred = 0;
        if (!noFlush) RefreshMergedRects(display);
        RestoreDisplayDrawState(display);
        return 0;
    }
    OutputRecord *output = display->selectOutput;
    const bool redirected =
        oldKind == ObjectKindBrush || oldKind == ObjectKindMask || oldKind == ObjectKindAlphaChannel;
    if (redirected && output && output->outputSourceKind == ObjectKindBGPic && output->outputDrawn &&
        output->outputSourceObject)
        if (int error = UpdateDrawnPicture(static_cast<BGPic *>(output->outputSourceObject))) return error;
    CurrentBGPic = display->picture;
    if (redirected && output && output->outputSourceKind == ObjectKindLayer && output->outputDrawn &&
        output->outputSourceObject) {
        vlLayer *layer = static_cast<vlLayer *>(output->outputSourceObject);
        const bool showsDrawnFrame =
            layer->type != ObjectKindAnim || (layer->current && layer->current->frame == output->outputFrame + 1);
        if (showsDrawnFrame) {
            const bool unscaled = !display->layerScaling || (display->scaleX == 1.0 && display->scaleY == 1.0);
            if (IsIdentityTransform(layer->transform) && unscaled) RefreshLayerArea(layer, nullptr);
            else if (int error = UpdateLayerImage(vm, layer, 0)) return error;
        }
    }
    RestoreDisplayDrawState(display);
    return 0;
}
