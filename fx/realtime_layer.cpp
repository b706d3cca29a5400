#include "fx/realtime_layer.h"

#include <algorithm>
#include <cmath>

#include "fx/effect_table.h"
#include "fx/layer_road.h"
#include "fx/transition.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/display_image.h"
#include "imaging/image_ops.h"
#include "imaging/planes.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/display_record.h"
#include "scene/images/bgpic.h"
#include "scene/layers/layers.h"

namespace {

// How the effect draws into the layer: its row says. None of these: whole frames.
bool DrawsLayerRects(int32_t effect) { return FxEffectHas(effect, kFxDrawsRects); }
bool ScalesLayerAlpha(int32_t effect) { return FxEffectHas(effect, kFxScalesAlpha); }
bool WritesLayerPlane(int32_t effect) { return FxEffectHas(effect, kFxWritesPlanes); }
bool RedrawsLayerPlanes(int32_t effect) { return FxEffectHas(effect, kFxRedrawsPlanes); }
bool HidesBackwards(int32_t effect) { return FxEffectHas(effect, kFxHidesBackwards); }

bool StateAlive(const vlLayer *layer, const LayerDrawParams *state) {
    return layer && state && (state == layer->first || state == layer->saved || state == layer->current);
}

// The picture beneath the layer in the request's rectangle: the background with the layers under it, without
// the layer, the layers above it and the sprites (the compositor puts those over the layer's frames).
void ComposeUnderLayer(const FxRequest *request, DisplayRecord *display, HostBitmap *image) {
    BGPic *picture = CurrentBGPic;
    vlLayer *layer = request->layer;
    const LayerDrawParams *state = layer->current;
    const int32_t x0 = std::max(state->screenX, 0), y0 = std::max(state->screenY, 0);
    const int32_t x1 = int32_t(std::min<int64_t>(int64_t(state->screenX) + request->width, picture->current.width));
    const int32_t y1 = int32_t(std::min<int64_t>(int64_t(state->screenY) + request->height, picture->current.height));
    if (x1 <= x0 || y1 <= y0) return;
    HostBitmap *scratch = AllocHostBitmapFormat(picture->current.width, picture->current.height, image->format);
    if (!scratch) return;
    // Hidden for the moment with a mark of their own, so that the layers hidden before stay hidden.
    constexpr int32_t kHiddenHere = 2;
    bool above = false;
    for (ListNode *n = picture->layers.headNode.next; n && n->next; n = n->next) {
        vlLayer *other = LayerOfNode(n);
        above = above || other == layer;
        if (above && !other->hidden) other->hidden = kHiddenHere;
    }
    const int32_t hidden = layer->hidden;
    layer->hidden = kHiddenHere;
    REDRAW(display, picture, scratch, x0, y0, x1 - x0, y1 - y0, 0, kRedrawNoSprites);
    layer->hidden = hidden;
    for (ListNode *n = picture->layers.headNode.next; n && n->next; n = n->next) {
        vlLayer *other = LayerOfNode(n);
        if (other != layer && other->hidden == kHiddenHere) other->hidden = 0;
    }
    BLTBITMAP(scratch, x0, y0, image, x0 - state->screenX, y0 - state->screenY, x1 - x0, y1 - y0);
    FreeHostBitmap(scratch);
}

// The new image with its mask and alpha over a copy of beneath.
HostBitmap *ComposeOver(const FxRequest *request, const HostBitmap *beneath) {
    HostBitmap *composite = AllocHostBitmapFormat(request->width, request->height, beneath->format);
    if (!composite) return nullptr;
    BLTBITMAP(beneath, 0, 0, composite, 0, 0, request->width, request->height);
    SAFEBLT(request->newImage, 0, 0, composite, 0, 0, request->width, request->height, 0, 0, 0, 0,
            kBlitMasked | kBlitToBitmap, request->newMask, request->newAlpha, nullptr);
    return composite;
}

void ReplaceSource(FxRequest *request, HostBitmap *image) {
    FreeOwnedSource(request);
    request->newImage = image;
    request->ownsImage = 1;
}

LayerDrawParams *WorkingState(const FxRequest *request) {
    return request->layerPrepared && StateAlive(request->layer, request->preparedState) ? request->preparedState
                                                                                         : nullptr;
}

// Whole frames hold what lies beneath the layer too, which its tint must not reach: the new image is tinted
// instead, and the layer shows the frames untinted until the end.
int TintSourceForFrames(FxRequest *request) {
    vlLayer *layer = request->layer;
    if (!layer->tint) return 0;
    HostBitmap *tinted = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
    if (!tinted) return kErrOutOfMemory;
    BLTBITMAP(request->newImage, 0, 0, tinted, 0, 0, request->width, request->height);
    TintImage(tinted, 0, 0, request->width, request->height, layer->tintColor, layer->tint);
    if (request->ownsImage) FreeHostBitmap(request->newImage);
    request->newImage = tinted;
    request->ownsImage = 1;
    request->keptTint = layer->tint;
    layer->tint = 0;
    return 0;
}

} // namespace

bool ChooseRealtimeLayer(const FxRequest *request, const DisplayRecord *display) {
    const vlLayer *layer = request->layer;
    if (!layer || !layer->current || FxEffectHas(request->effect, kFxScroll)) return false;
    if (request->forceRealtimeLayers || request->async || request->bgpicEmu) return true;
    if (layer->transparency || layer->tint || layer->current->clip) return true;
    if (display->autoScaling && DisplayHasScaledSize(display)) return true;
    if (request->reverse && FxEffectHas(request->effect, kFxMaskAware)) return true;
    return CurrentBGPic && !IsLayerUncovered(CurrentBGPic, layer);
}

int PrepareRealtimeLayer(FxRequest *request, DisplayRecord *display) {
    const int32_t effect = request->effect;
    request->frameRoad = !DrawsLayerRects(effect) && !ScalesLayerAlpha(effect) && !WritesLayerPlane(effect) &&
                         !RedrawsLayerPlanes(effect);
    request->backwards = 0;
    if (request->frameRoad) {
        if (int error = TintSourceForFrames(request)) return error;
        HostBitmap *beneath = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
        if (!beneath) return kErrOutOfMemory;
        ComposeUnderLayer(request, display, beneath);
        CurrentBGPic->layersChanged = 0; // what the frames stand on is now as the picture is
        const bool maskAware = FxEffectHas(effect, kFxMaskAware);
        if (request->reverse && !maskAware) {
            // Plays forwards, from the layer shown over what lies beneath to that picture alone.
            HostBitmap *shown = ComposeOver(request, beneath);
            if (!shown) {
                FreeHostBitmap(beneath);
                return kErrOutOfMemory;
            }
            ReplaceSource(request, beneath);
            request->oldImage = shown;
        } else {
            if (!maskAware && (request->newMask || request->newAlpha)) {
                HostBitmap *composite = ComposeOver(request, beneath);
                if (!composite) {
                    FreeHostBitmap(beneath);
                    return kErrOutOfMemory;
                }
                ReplaceSource(request, composite);
            }
            request->oldImage = beneath;
            request->backwards = request->reverse;
        }
        const LayerDrawParams *state = request->layer->current;
        request->layerX = state->screenX;
        request->layerY = state->screenY;
    } else if (HidesBackwards(effect)) {
        request->backwards = request->reverse;
    }
    if (int error = SetupRealtimeLayer(request)) return error;
    if (!request->layer->hidden && !request->layer->deferred) PresentLayerArea(request);
    if (request->frameRoad) {
        // Frames go into the layer's bitmap as into a picture of the layer's size.
        request->target = request->preparedState->bitmap;
        request->x = request->y = 0;
        request->outWidth = request->width;
        request->outHeight = request->height;
    }
    return 0;
}

int SetupRealtimeLayer(FxRequest *request) {
    vlLayer *layer = request->layer;
    LayerDrawParams *state = layer->current;
    const int32_t w = request->width, h = request->height;
    request->preparedState = state;
    request->keptBitmap = state->bitmap, request->keptMask = state->mask, request->keptAlpha = state->alpha;
    request->keptXfBitmap = state->xfBitmap, request->keptXfMask = state->xfMask, request->keptXfAlpha = state->xfAlpha;
    state->bitmap = state->xfBitmap = nullptr;
    state->mask = state->xfMask = nullptr;
    state->alpha = state->xfAlpha = nullptr;
    request->savedPartX = state->partX, request->savedPartY = state->partY;
    state->partX = state->partY = 0;
    request->layerPrepared = 1;
    state->bitmap = AllocHostBitmapFormat(w, h, request->newImage->format);
    if (!state->bitmap) return kErrOutOfMemory;
    if (request->frameRoad) {
        // Opaque frames; the first shows what the effect starts from.
        BLTBITMAP(request->oldImage, 0, 0, state->bitmap, 0, 0, w, h);
        if (request->backwards)
            SAFEBLT(request->newImage, 0, 0, state->bitmap, 0, 0, w, h, 0, 0, 0, 0, kBlitMasked | kBlitToBitmap,
                    request->newMask, request->newAlpha, nullptr);
        return 0;
    }
    const bool blend = ScalesLayerAlpha(request->effect);
    if (!request->newAlpha && !blend) {
        state->mask = AllocMaskPlane(nullptr, w, h);
        if (!state->mask) return kErrOutOfMemory;
    } else {
        state->alpha = AllocAlphaPlane(w, h);
        if (!state->alpha) return kErrOutOfMemory;
    }
    if (blend) {
        if (request->reverse) {
            BLTBITMAP(request->newImage, 0, 0, state->bitmap, 0, 0, w, h);
            BuildFxAlpha(state->alpha, request->newMask, request->newAlpha, w, h);
        }
        return 0;
    }
    if (WritesLayerPlane(request->effect)) BLTBITMAP(request->newImage, 0, 0, state->bitmap, 0, 0, w, h);
    if (request->reverse) ResetLayerPlanes(request);
    return 0;
}

int ComposeLayerEnds(FxRequest *request, HostBitmap **beneath, HostBitmap **shown) {
    *beneath = *shown = nullptr;
    DisplayRecord *display = CurrentDisplay;
    if (!display || !CurrentBGPic || !request->layer || !request->layer->current) return 0;
    HostBitmap *under = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
    if (!under) return kErrOutOfMemory;
    ComposeUnderLayer(request, display, under);
    HostBitmap *over = ComposeOver(request, under);
    if (!over) {
        FreeHostBitmap(under);
        return kErrOutOfMemory;
    }
    *beneath = under, *shown = over;
    return 0;
}

void ClearLayerPlanes(FxRequest *request) {
    LayerDrawParams *state = WorkingState(request);
    if (!state) return;
    if (state->alpha) FillAlphaRect(state->alpha, 0, 0, request->width, request->height, 0);
    else if (state->mask) FillMaskRect(state->mask, 0, 0, request->width, request->height, MASKINVISIBLE);
    request->layerDirty = 1;
}

void DrawIntoLayer(FxRequest *request, const HostBitmap *picture, const MaskPlane *mask, const AlphaPlane *alpha,
                   int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t width, int32_t height) {
    LayerDrawParams *state = WorkingState(request);
    if (!state || !picture) return;
    DrawFxRect(picture, sx, sy, state->bitmap, state->mask, state->alpha, dx, dy, width, height, picture->width,
               picture->height, request->width, request->height, mask, alpha, request, kFxRectNoPresent);
    request->layerDirty = 1;
}

void RevealInLayer(FxRequest *request, const MaskPlane *reveal) {
    LayerDrawParams *state = WorkingState(request);
    if (!state || !reveal) return;
    const int32_t w = request->width, h = request->height;
    const bool hiding = request->reverse;
    if (state->mask) {
        if (hiding) {
            if (request->newMask) BlitTemplateToMask(request->newMask, 0, 0, state->mask, 0, 0, w, h, TemplateMaskCopy);
            else FillMaskRect(state->mask, 0, 0, w, h, MASKVISIBLE);
            BlitTemplateToMask(reveal, 0, 0, state->mask, 0, 0, w, h, TemplateMaskClear);
        } else {
            BlitTemplateToMask(reveal, 0, 0, state->mask, 0, 0, w, h, TemplateMaskCopy);
            if (request->newMask) BlitTemplateToMask(request->newMask, 0, 0, state->mask, 0, 0, w, h, TemplateMaskAnd);
        }
    } else if (state->alpha) {
        const AlphaPlane *source = request->newAlpha;
        for (int32_t y = 0; y < h; y++) {
            const uint8_t *from = source ? source->bytes + size_t(y) * size_t(source->bytesPerRow) : nullptr;
            uint8_t *row = state->alpha->bytes + size_t(y) * size_t(state->alpha->bytesPerRow);
            for (int32_t x = 0; x < w; x++)
                row[x] = (MaskBit(reveal, x, y) != 0) != hiding ? (from ? from[x] : 255) : 0;
        }
    }
    request->layerDirty = 1;
}

void ResetLayerPlanes(FxRequest *request) {
    LayerDrawParams *state = WorkingState(request);
    if (!state || request->frameRoad) return;
    const int32_t w = request->width, h = request->height;
    const int32_t flags = request->reverse ? kFxRectNoPresent : kFxRectClear | kFxRectNoPresent;
    DrawFxRect(request->newImage, 0, 0, state->bitmap, state->mask, state->alpha, 0, 0, w, h, w, h, w, h,
               request->newMask, request->newAlpha, request, flags);
}

void FreeLayerStateImages(FxRequest *request) {
    if (request->keptTint && request->layer && !request->layer->tint) request->layer->tint = request->keptTint;
    request->keptTint = 0;
    if (!request->layerPrepared) return;
    request->layerPrepared = 0;
    LayerDrawParams *state = request->preparedState;
    request->preparedState = nullptr;
    if (request->frameRoad) request->target = nullptr;
    HostBitmap *bitmap = request->keptBitmap, *xfBitmap = request->keptXfBitmap;
    MaskPlane *mask = request->keptMask, *xfMask = request->keptXfMask;
    AlphaPlane *alpha = request->keptAlpha, *xfAlpha = request->keptXfAlpha;
    request->keptBitmap = request->keptXfBitmap = nullptr;
    request->keptMask = request->keptXfMask = nullptr;
    request->keptAlpha = request->keptXfAlpha = nullptr;
    if (!StateAlive(request->layer, state)) {
        // The state went with the working images in it (a rescale frees it): its own images are ours to free.
        FreeHostBitmap(bitmap), FreeHostBitmap(xfBitmap);
        FreeMaskPlane(mask), FreeMaskPlane(xfMask);
        FreeAlphaPlane(alpha), FreeAlphaPlane(xfAlpha);
        return;
    }
    FreeHostBitmap(state->bitmap);
    FreeMaskPlane(state->mask);
    FreeAlphaPlane(state->alpha);
    state->bitmap = bitmap, state->mask = mask, state->alpha = alpha;
    if (state->xfBitmap || state->xfMask || state->xfAlpha) {
        // Rendered anew meanwhile: the new rendering stands.
        FreeHostBitmap(xfBitmap), FreeMaskPlane(xfMask), FreeAlphaPlane(xfAlpha);
    } else {
        state->xfBitmap = xfBitmap, state->xfMask = xfMask, state->xfAlpha = xfAlpha;
    }
    state->partX = request->savedPartX, state->partY = request->savedPartY;
}

void RenderEmulatedPicture(FxRequest *request) {
    BGPic *picture = request->emuBGPic;
    HostBitmap *image = request->newImage;
    if (!picture || !image) return;
    RECTFILL(image, 0, 0, image->width, image->height, 0);
    const int32_t w = std::min(image->width, picture->current.width);
    const int32_t h = std::min(image->height, picture->current.height);
    if (w > 0 && h > 0) REDRAW(CurrentDisplay, picture, image, 0, 0, w, h, 0, 0);
    picture->layersChanged = 0;
}

int RedrawFxBackground(FxRequest *request, int which) {
    if (!(which & 2) || !request->bgpicEmu || !request->emuBGPic || !request->emuBGPic->layersChanged ||
        !request->ownsImage)
        return 0;
    RenderEmulatedPicture(request);
    return 2;
}

void PresentLayerArea(FxRequest *request) {
    const LayerDrawParams *state = WorkingState(request);
    if (state && !request->noPresent)
        PresentFxRect(request, state->bitmap, 0, 0, state->screenX, state->screenY, request->width, request->height,
                      request->width, request->height, state->mask, state->alpha, 0);
    ShowLayerUploads(request);
}

void ShowLayerUploads(FxRequest *request) {
    DisplayRecord *display = CurrentDisplay;
    HostBitmap *shown = display ? display->secondBitmap : nullptr;
    if (!request->noPresent && shown && request->scaledDisplay)
        PresentDisplayRect(shown, 0, 0, display, 0, 0, shown->width, shown->height, 1);
    else if (!request->noPresent && display && request->uploadedRects > 0)
        PresentDisplayFrame(display);
    request->uploadedRects = 0;
    request->layerDirty = 0;
}

int RestartRealtimeLayer(FxRequest *request, DisplayRecord *display) {
    const int32_t oldWidth = request->width, oldHeight = request->height;
    FreeLayerStateImages(request);
    FreeOwnedSource(request);
    FreeHostBitmap(request->oldImage);
    request->oldImage = nullptr;
    if (int error = BuildLayerSource(request, display)) return error;
    if (int error = PrepareRealtimeLayer(request, display)) return error;
    return SetUpAgain(request, oldWidth, oldHeight);
}

int PlayBackwardsFrame(FxRequest *request, int *done) {
    const int32_t played = request->frame;
    request->phase = 2;
    request->frame = std::max(request->frameCount - 1 - played, 0);
    const int error = RunFxPhase(request, nullptr);
    request->phase = 1;
    request->frame = played;
    if (error) return error;
    if (played + 1 >= request->frameCount && done) *done = 1;
    request->layerDirty = 1;
    FinishFxFrame(request);
    return 0;
}
