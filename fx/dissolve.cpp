// DISSOLVE: every pixel gets a threshold once, and shows the new picture as soon as the rising level passes it. A
// real-time layer keeps the new picture and has the level written straight into its mask or alpha.
#include <algorithm>

#include "fx/effect_families.h"
#include "fx/realtime_layer.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/effects.h"
#include "imaging/planes.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"
#include "scene/layers/layers.h"

namespace {

struct DissolveState {
    HostBitmap *work;
    MaskPlane *revealMask;
    uint16_t *thresholds;
};

// The layer's plane takes the new image's mask bit or alpha byte where the level passed the threshold (where it has
// not, when hiding); the last frame writes the end state whole.
void DissolveLayer(FxRequest *request, const DissolveState *state, int32_t level) {
    LayerDrawParams *layerState = request->preparedState;
    if (!request->layerPrepared || !layerState) return;
    const int32_t w = request->width, h = request->height;
    MaskPlane *mask = layerState->mask;
    AlphaPlane *alpha = layerState->alpha;
    if (level < 256) {
        DissolveParams params;
        params.width = w, params.height = h;
        params.thresholds = state->thresholds;
        params.reverse = request->reverse;
        if (alpha) {
            params.planeKind = kDissolveAlpha;
            params.dest = alpha->bytes, params.destBytesPerRow = alpha->bytesPerRow;
            if (request->newAlpha)
                params.source = request->newAlpha->bytes, params.sourceBytesPerRow = request->newAlpha->bytesPerRow;
        } else if (mask) {
            params.dest = mask->bits, params.destBytesPerRow = mask->bytesPerRow;
            if (request->newMask)
                params.source = request->newMask->bits, params.sourceBytesPerRow = request->newMask->bytesPerRow;
        }
        if (params.dest) DissolveFrame(params, level);
    } else if (request->reverse) {
        if (alpha) FillAlphaRect(alpha, 0, 0, w, h, 0);
        else if (mask) FillMaskRect(mask, 0, 0, w, h, MASKINVISIBLE);
    } else if (alpha) {
        BuildFxAlpha(alpha, nullptr, request->newAlpha, w, h);
    } else if (mask) {
        if (request->newMask) BlitTemplateToMask(request->newMask, 0, 0, mask, 0, 0, w, h, TemplateMaskCopy);
        else FillMaskRect(mask, 0, 0, w, h, MASKVISIBLE);
    }
    request->layerDirty = 1;
}

int DissolveSetup(FxRequest *request) {
    const int32_t w = request->width, h = request->height;
    DissolveState *state = AllocFxState<DissolveState>(request);
    if (!state) return kErrOutOfMemory;
    const bool plane = DrawsLayerPlane(request);
    if (!plane && !request->oldImage) return kErrWrongUsage;
    request->step = FxStepOf(request);
    if (!plane) {
        state->work = AllocHostBitmapFormat(w, h, request->newImage->format);
        state->revealMask = AllocMaskPlane(nullptr, w, h);
        if (!state->work || !state->revealMask) return kErrOutOfMemory;
    }
    state->thresholds = static_cast<uint16_t *>(AllocBlock(size_t(w) * size_t(h) * sizeof(uint16_t), 0));
    if (!state->thresholds) return kErrOutOfMemory;
    // Drawn once, row after row, so a seeded generator gives the same order every time.
    for (size_t i = 0; i < size_t(w) * size_t(h); i++) state->thresholds[i] = uint16_t(RuntimeRand() % 255);
    request->frameCount = EffectStepCount(256, request->step, 1);
    request->run = {0, request->step, 256};
    return 0;
}

// The position is the level the thresholds are compared with; 256 shows the new picture whole.
int DissolveDraw(FxRequest *request, int32_t level) {
    const int32_t w = request->width, h = request->height;
    DissolveState *state = FxState<DissolveState>(request);
    if (DrawsLayerPlane(request)) {
        DissolveLayer(request, state, level);
        return 0;
    }
    const HostBitmap *oldImage = request->oldImage, *newImage = request->newImage;
    if (oldImage->format == state->work->format && newImage->format == state->work->format &&
        oldImage->width >= w && oldImage->height >= h && newImage->width >= w && newImage->height >= h) {
        // Both pictures as the work bitmap holds them: one pass picks each pixel.
        DissolvePicturesParams params;
        params.oldPicture = BitmapPixels(oldImage);
        params.newPicture = BitmapPixels(newImage);
        params.dest = BitmapPixels(state->work);
        params.oldPicture.width = params.newPicture.width = params.dest.width = w;
        params.oldPicture.height = params.newPicture.height = params.dest.height = h;
        params.thresholds = state->thresholds;
        DissolvePictures(params, level);
        DrawFxPicture(request, state->work, request->bltFlags);
        return 0;
    }
    MaskPlane *reveal = state->revealMask;
    if (level < 256) {
        DissolveParams params;
        params.dest = reveal->bits;
        params.width = w, params.height = h;
        params.destBytesPerRow = reveal->bytesPerRow;
        params.thresholds = state->thresholds;
        DissolveFrame(params, level);
    } else {
        FillMaskRect(reveal, 0, 0, w, h, MASKVISIBLE);
    }
    BLTBITMAP(request->oldImage, 0, 0, state->work, 0, 0, w, h);
    SAFEBLT(request->newImage, 0, 0, state->work, 0, 0, w, h, w, h, w, h, kBlitMasked | kBlitToBitmap, reveal, nullptr,
            nullptr);
    DrawFxPicture(request, state->work, request->bltFlags);
    return 0;
}

void DissolveFinish(FxRequest *request, int) {
    DissolveState *state = FxState<DissolveState>(request);
    FreeHostBitmap(state->work);
    FreeMaskPlane(state->revealMask);
    FreeBlock(state->thresholds);
    state->work = nullptr, state->revealMask = nullptr, state->thresholds = nullptr;
}

} // namespace

const FxFamily DissolveFamily = {DissolveSetup, DissolveDraw, DissolveFinish};
