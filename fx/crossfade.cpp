// CROSSFADE blends the old picture into the new one; FADE fades the old picture into a colour and the colour into
// the new picture; BLEND fades the new picture into a colour and back. Their speed is a level step per frame.
#include <algorithm>

#include "fx/effect_families.h"
#include "fx/realtime_layer.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/async_draw.h"
#include "imaging/blit_kernels.h"
#include "imaging/display_image.h"
#include "imaging/display_options.h"
#include "imaging/image_ops.h"
#include "imaging/planes.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/runtime_globals.h"
#include "scene/display/display_list.h"
#include "scene/display/display_record.h"
#include "scene/images/bgpic.h"
#include "scene/images/scene_objects.h"
#include "scene/layers/layers.h"

namespace {

// A visible layer beneath the faded one that overlaps it, as it was when the fast road was taken.
struct LowerLayerEntry {
    const vlLayer *layer;
    int32_t x, y, width, height;
    const HostBitmap *bitmap;
    const MaskPlane *mask;
    const AlphaPlane *alpha;
};

struct CrossfadeState {
    int32_t level;
    int32_t fast;
    AlphaPlane *layerAlpha;   // real-time layer: its full opacity
    HostBitmap *work;         // the frame, when it cannot go straight into the output
    HostBitmap *endPicture;   // the new image over the old one, for a masked or alpha source; a layer's last picture
    const HostBitmap *endUsed; // endPicture, or the opaque new image itself
    // Real-time layer on the fast road: the first picture, where the layer stood, and what lay beneath it.
    HostBitmap *startPicture;
    int32_t layerX, layerY;
    LowerLayerEntry *lower, *lowerScratch;
    int32_t lowerCount;
};

struct FadeState {
    AlphaPlane *layerAlpha;   // real-time layer: its full opacity
    HostBitmap *blendPicture; // the composed frame, for a masked or alpha source
    HostBitmap *tinted;
    int32_t level;
    uint32_t colour;
};

// The output rectangle of the effect's area, when a frame can be written straight into the output: same 32-bit
// layout as the pictures, no clip region. Otherwise false, and the frame is composed in a bitmap first.
bool DirectOutputRect(FxRequest *request, const HostBitmap *picture, HostBitmap **output, int32_t *sx, int32_t *sy,
                      int32_t *dx, int32_t *dy, int32_t *width, int32_t *height) {
    *output = FxOutputBitmap(request);
    const BGPic *current = CurrentBGPic;
    if (!*output || !picture || request->realtimeLayer || (current && current->clipRegion)) return false;
    if ((*output)->bytesPerPixel != 4 || (*output)->format != picture->format || picture->bytesPerPixel != 4)
        return false;
    *sx = 0, *sy = 0, *dx = request->x, *dy = request->y;
    *width = request->width, *height = request->height;
    if (!ClipBlitRect(nullptr, sx, sy, dx, dy, width, height, request->width, request->height,
                      std::min(request->outWidth, (*output)->width), std::min(request->outHeight, (*output)->height))) {
        *width = 0;
    }
    return true;
}

// The layer's opacity built from the new image's mask or alpha (opaque without either).
AlphaPlane *BuildLayerAlpha(const FxRequest *request) {
    AlphaPlane *alpha = AllocAlphaPlane(request->width, request->height);
    if (alpha) BuildFxAlpha(alpha, request->newMask, request->newAlpha, request->width, request->height);
    return alpha;
}

// A real-time layer's alpha plane at level / 255 of its full opacity; shown at the frame's end.
void ScaleLayerAlpha(FxRequest *request, const AlphaPlane *full, int32_t level) {
    LayerDrawParams *state = request->preparedState;
    if (!state || !state->alpha || !full) return;
    MultiplyAlphaPlane(full->bytes, state->alpha->bytes, level, full->bytesPerRow, full->height);
    request->layerDirty = 1;
}

// The visible layers under `layer` that overlap it, in list order, into out (when given); returns their count.
int32_t ListLowerLayers(BGPic *picture, const vlLayer *layer, LowerLayerEntry *out) {
    const LayerDrawParams *own = layer->current;
    int32_t count = 0;
    for (ListNode *n = picture->layers.headNode.next; n && n->next; n = n->next) {
        const vlLayer *other = LayerOfNode(n);
        if (other == layer) break;
        const LayerDrawParams *state = other->current;
        if (other->hidden || other->deferred || !state ||
            !RectsOverlap(state->screenX, state->screenY, state->screenX + state->screenWidth - 1,
                          state->screenY + state->screenHeight - 1, own->screenX, own->screenY,
                          own->screenX + own->screenWidth - 1, own->screenY + own->screenHeight - 1))
            continue;
        if (out)
            out[count] = {other, state->screenX, state->screenY, state->screenWidth, state->screenHeight,
                          state->bitmap, state->mask, state->alpha};
        count++;
    }
    return count;
}

bool SameLowerLayers(const LowerLayerEntry *a, const LowerLayerEntry *b, int32_t count) {
    for (int32_t i = 0; i < count; i++)
        if (a[i].layer != b[i].layer || a[i].x != b[i].x || a[i].y != b[i].y || a[i].width != b[i].width ||
            a[i].height != b[i].height || a[i].bitmap != b[i].bitmap || a[i].mask != b[i].mask ||
            a[i].alpha != b[i].alpha)
            return false;
    return true;
}

bool LowerLayerDrawsAsync(const LowerLayerEntry *list, int32_t count) {
    for (int32_t i = 0; i < count; i++)
        if (LayerHasAsyncDraw(list[i].layer)) return true;
    return false;
}

// Whether the layer's frames can be blended from two cached pictures straight into the shown bitmap: nothing
// that the compositor would add (see-through, tint, transform, clip, a layer or sprite over it) and nothing
// beneath that may change under the cache (async draws).
bool LayerFastRoadOpen(const FxRequest *request, DisplayRecord *display, BGPic *picture) {
    const vlLayer *layer = request->layer;
    const LayerDrawParams *state = layer ? layer->current : nullptr;
    if (!display || !picture || !state || state != request->preparedState || request->scaledDisplay) return false;
    if (display->outputKind != ObjectKindDisplay || display->state != DISPSTATE_OPEN || !display->secondBitmap)
        return false;
    if (display->secondBitmap->bytesPerPixel != 4 || display->secondBitmap->format != request->newImage->format)
        return false;
    if (layer->transparency || layer->tint || state->clip || !IsIdentityTransform(layer->transform)) return false;
    // Blending two pictures equals the compositor's frame only where the layer is wholly there or not.
    if (request->newAlpha) return false;
    return IsLayerUncovered(picture, layer) &&
           !SpritesOverlapRect(picture, state->screenX, state->screenY, request->width, request->height);
}

int TakeLayerFastRoad(FxRequest *request, CrossfadeState *state) {
    DisplayRecord *display = CurrentDisplay;
    BGPic *picture = CurrentBGPic;
    if (!QueryBlitCapabilities(kBlitCapConstantBlend) || !LayerFastRoadOpen(request, display, picture)) return 0;
    const int32_t count = ListLowerLayers(picture, request->layer, nullptr);
    if (count > 0) {
        state->lower = static_cast<LowerLayerEntry *>(AllocBlock(size_t(count) * sizeof(LowerLayerEntry), 1));
        state->lowerScratch = static_cast<LowerLayerEntry *>(AllocBlock(size_t(count) * sizeof(LowerLayerEntry), 1));
        if (!state->lower || !state->lowerScratch) return kErrOutOfMemory;
        ListLowerLayers(picture, request->layer, state->lower);
        if (LowerLayerDrawsAsync(state->lower, count)) return 0;
    }
    state->lowerCount = count;
    HostBitmap *beneath = nullptr, *shown = nullptr;
    if (int error = ComposeLayerEnds(request, &beneath, &shown)) return error;
    if (!beneath) return 0;
    state->startPicture = beneath;
    state->endPicture = shown;
    state->layerX = request->layer->current->screenX, state->layerY = request->layer->current->screenY;
    state->fast = 1;
    return 0;
}

// The scene beneath is still what the cached pictures hold: the same lower layers, same images, same places.
bool LayerFastRoadHolds(FxRequest *request, CrossfadeState *state) {
    DisplayRecord *display = CurrentDisplay;
    BGPic *picture = CurrentBGPic;
    if (!LayerFastRoadOpen(request, display, picture)) return false;
    const LayerDrawParams *layerState = request->layer->current;
    if (layerState->screenX != state->layerX || layerState->screenY != state->layerY) return false;
    if (ListLowerLayers(picture, request->layer, nullptr) != state->lowerCount) return false;
    if (state->lowerCount == 0) return true;
    ListLowerLayers(picture, request->layer, state->lowerScratch);
    return SameLowerLayers(state->lower, state->lowerScratch, state->lowerCount) &&
           !LowerLayerDrawsAsync(state->lowerScratch, state->lowerCount);
}

// One pass: the layer shown over what lies beneath at the level its alpha plane now has, straight into the shown
// bitmap (the compositor's own blend, so the frame is the one it would compose), then uploaded.
void BlendLayerFrame(FxRequest *request, CrossfadeState *state, int32_t level) {
    DisplayRecord *display = CurrentDisplay;
    HostBitmap *shown = display->secondBitmap;
    const BGPic *picture = CurrentBGPic;
    int32_t sx = 0, sy = 0, dx = state->layerX, dy = state->layerY, width = request->width, height = request->height;
    if (!ClipBlitRect(nullptr, &sx, &sy, &dx, &dy, &width, &height, request->width, request->height,
                      std::min(picture->current.width, shown->width), std::min(picture->current.height, shown->height)))
        return;
    uint8_t full[4] = {255, 255, 255, 255}, scaled[4];
    MultiplyAlphaPlane(full, scaled, level, 4, 1);
    for (int32_t j = 0; j < height; j++)
        BlendRowsLevel32(HostBitmapRow(shown, dy + j) + size_t(dx) * 4,
                         HostBitmapRow(state->startPicture, sy + j) + size_t(sx) * 4,
                         HostBitmapRow(state->endPicture, sy + j) + size_t(sx) * 4, scaled[0], width);
    if (request->noPresent) return;
    UploadDisplayRect(shown, dx, dy, display, dx, dy, width, height);
    request->uploadedRects++;
}

void UploadArea(FxRequest *request, int32_t dx, int32_t dy, int32_t width, int32_t height) {
    if (width > 0 && height > 0) UploadFxOutputRect(request, dx, dy, width, height);
}

void PlayCrossfadeFrame(FxRequest *request, CrossfadeState *state) {
    const int32_t mix = 255 - state->level; // how much of the old picture is left
    const HostBitmap *end = state->endUsed;
    HostBitmap *output = nullptr;
    int32_t sx, sy, dx, dy, width, height;
    if (DirectOutputRect(request, end, &output, &sx, &sy, &dx, &dy, &width, &height) &&
        request->oldImage->format == end->format) {
        // One pass: the new picture with the old one mixed over it, straight into the output.
        for (int32_t j = 0; j < height; j++)
            BlendRowsLevel32(HostBitmapRow(output, dy + j) + size_t(dx) * 4, HostBitmapRow(end, sy + j) + size_t(sx) * 4,
                             HostBitmapRow(request->oldImage, sy + j) + size_t(sx) * 4, unsigned(mix), width);
        UploadArea(request, dx, dy, width, height);
        return;
    }
    BLTBITMAP(end, 0, 0, state->work, 0, 0, request->width, request->height);
    if (mix > 0)
        BlendImageLevel(state->work, request->oldImage, request->width, request->height, mix);
    DrawFxPicture(request, state->work, request->bltFlags);
}

// The colour block fades in (FADE showing) or out (hiding, second half) through the layer's alpha; otherwise the
// layer's own picture is tinted towards the colour at its full opacity.
void PlayLayerFadeFrame(FxRequest *request, FadeState *state, bool fade, int32_t tint) {
    LayerDrawParams *layerState = request->preparedState;
    if (!layerState || !layerState->alpha) return;
    const int32_t w = request->width, h = request->height;
    if (fade && !request->reverse && state->level <= 255) {
        ScaleLayerAlpha(request, state->layerAlpha, tint);
    } else if (request->reverse && state->level >= 257) {
        RECTFILL(layerState->bitmap, 0, 0, w, h, state->colour);
        ScaleLayerAlpha(request, state->layerAlpha, tint);
    } else {
        BLTBITMAP(request->newImage, 0, 0, layerState->bitmap, 0, 0, w, h);
        if (tint > 0) TintImage(layerState->bitmap, 0, 0, w, h, state->colour, tint);
        ScaleLayerAlpha(request, state->layerAlpha, 255);
    }
}

int CrossfadeSetup(FxRequest *request) {
    CrossfadeState *state = AllocFxState<CrossfadeState>(request);
    if (!state) return kErrOutOfMemory;
    request->step = FxStepOf(request);
    request->frameCount = EffectStepCount(255, request->step, 1);
    request->run = {0, request->step, 255};
    if (request->realtimeLayer) {
        // The layer shows the new image and fades in (or out) through its alpha plane.
        state->layerAlpha = BuildLayerAlpha(request);
        if (!state->layerAlpha || !request->preparedState) return kErrOutOfMemory;
        BLTBITMAP(request->newImage, 0, 0, request->preparedState->bitmap, 0, 0, request->width, request->height);
        return TakeLayerFastRoad(request, state);
    }
    const BGPic *current = CurrentBGPic;
    state->fast = QueryBlitCapabilities(kBlitCapConstantBlend) && !request->async && !request->scaledDisplay &&
                  !(current && current->clipRegion && current->clipRegion->mask) &&
                  !(current && SpritesOverlapRect(current, request->x, request->y, request->width, request->height));
    if (!request->oldImage) return kErrWrongUsage;
    state->endUsed = request->newImage;
    if (request->newMask || request->newAlpha) {
        state->endPicture = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
        if (!state->endPicture) return kErrOutOfMemory;
        BLTBITMAP(request->oldImage, 0, 0, state->endPicture, 0, 0, request->width, request->height);
        SAFEBLT(request->newImage, 0, 0, state->endPicture, 0, 0, request->width, request->height, 0, 0, 0, 0,
                kBlitMasked | kBlitToBitmap, request->newMask, request->newAlpha, nullptr);
        state->endUsed = state->endPicture;
    }
    state->work = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
    if (!state->work) return kErrOutOfMemory;
    return 0;
}

int CrossfadeDraw(FxRequest *request, int32_t level) {
    CrossfadeState *state = FxState<CrossfadeState>(request);
    state->level = level;
    if (request->phase == 2) state->fast = 0;
    if (request->realtimeLayer) {
        const int32_t level = request->reverse ? 255 - state->level : state->level;
        ScaleLayerAlpha(request, state->layerAlpha, level);
        // The fast road, once left, is not taken again; its last frame is composed, so the run ends exactly on
        // what the compositor shows.
        if (state->fast && (state->level == 255 || !LayerFastRoadHolds(request, state))) state->fast = 0;
        if (state->fast) {
            request->layerDirty = 0;
            BlendLayerFrame(request, state, level);
        }
    } else {
        PlayCrossfadeFrame(request, state);
    }
    return 0;
}

void CrossfadeFinish(FxRequest *request, int) {
    CrossfadeState *state = FxState<CrossfadeState>(request);
    FreeHostBitmap(state->work);
    FreeHostBitmap(state->endPicture);
    FreeHostBitmap(state->startPicture);
    FreeAlphaPlane(state->layerAlpha);
    FreeBlock(state->lower);
    FreeBlock(state->lowerScratch);
    state->work = state->endPicture = state->startPicture = nullptr;
    state->layerAlpha = nullptr;
    state->lower = state->lowerScratch = nullptr;
}

// FADE goes through the colour; BLEND (amount 1) only tints the new picture.
bool Fades(const FxRequest *request) { return FxVariantOf(request).amount == 0; }

int FadeSetup(FxRequest *request) {
    const bool fade = Fades(request);
    FadeState *state = AllocFxState<FadeState>(request);
    if (!state) return kErrOutOfMemory;
    request->step = FxStepOf(request);
    state->colour = request->parameter == kFxRandomParameter ? uint32_t(RuntimeRand()) % 16777216u
                                                             : uint32_t(request->parameter) & 0xFFFFFFu;
    state->level = request->step;
    request->frameCount = EffectStepCount(511 - request->step, request->step, 0);
    request->run = {0, request->step, 511};
    if (request->realtimeLayer) {
        LayerDrawParams *layerState = request->preparedState;
        state->layerAlpha = BuildLayerAlpha(request);
        if (!state->layerAlpha || !layerState || !layerState->alpha) return kErrOutOfMemory;
        // FADE shows the colour block first; otherwise the layer stands at its full opacity.
        if (fade && !request->reverse) RECTFILL(layerState->bitmap, 0, 0, request->width, request->height, state->colour);
        else BltAlphaPlane(state->layerAlpha, 0, 0, layerState->alpha, 0, 0, request->width, request->height, kAlphaCopy, 0);
        return 0;
    }
    if (!request->oldImage) return kErrWrongUsage;
    state->tinted = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
    if (!state->tinted) return kErrOutOfMemory;
    if (request->newMask || request->newAlpha) {
        state->blendPicture = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
        if (!state->blendPicture) return kErrOutOfMemory;
    }
    return 0;
}

int FadeDraw(FxRequest *request, int32_t level) {
    const bool fade = Fades(request);
    FadeState *state = FxState<FadeState>(request);
    state->level = level;
    const int32_t tint = state->level <= 255 ? state->level : 511 - state->level;
    if (request->realtimeLayer) {
        PlayLayerFadeFrame(request, state, fade, tint);
        return 0;
    }
    // FADE tints the old picture until the colour is reached, then the new one; BLEND tints the new one only.
    const HostBitmap *source = fade && state->level <= 255 ? request->oldImage : request->newImage;
    HostBitmap *output = nullptr;
    int32_t sx, sy, dx, dy, width, height;
    if (!state->blendPicture && DirectOutputRect(request, source, &output, &sx, &sy, &dx, &dy, &width, &height)) {
        BLTBITMAP(source, sx, sy, output, dx, dy, width, height);
        if (tint > 0) TintImage(output, dx, dy, width, height, state->colour, tint);
        UploadArea(request, dx, dy, width, height);
    } else {
        BLTBITMAP(source, 0, 0, state->tinted, 0, 0, request->width, request->height);
        if (tint > 0) TintImage(state->tinted, 0, 0, request->width, request->height, state->colour, tint);
        HostBitmap *frame = state->tinted;
        if (state->blendPicture) {
            BLTBITMAP(request->oldImage, 0, 0, state->blendPicture, 0, 0, request->width, request->height);
            SAFEBLT(state->tinted, 0, 0, state->blendPicture, 0, 0, request->width, request->height, 0, 0, 0, 0,
                    kBlitMasked | kBlitToBitmap, request->newMask, request->newAlpha, nullptr);
            frame = state->blendPicture;
        }
        DrawFxPicture(request, frame, request->bltFlags);
    }
    return 0;
}

void FadeFinish(FxRequest *request, int) {
    FadeState *state = FxState<FadeState>(request);
    FreeAlphaPlane(state->layerAlpha);
    state->layerAlpha = nullptr;
    FreeHostBitmap(state->blendPicture);
    FreeHostBitmap(state->tinted);
    state->blendPicture = state->tinted = nullptr;
}

} // namespace

const FxFamily CrossfadeFamily = {CrossfadeSetup, CrossfadeDraw, CrossfadeFinish};
const FxFamily FadeFamily = {FadeSetup, FadeDraw, FadeFinish};
