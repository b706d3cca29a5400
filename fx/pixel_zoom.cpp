// PIXELZOOM1 sharpens the new picture from blocks of 24 pixels down to single pixels; PIXELZOOM2 first coarsens
// the old picture into ever larger blocks and then sharpens the new one out of them. The speed is not used. A
// real-time layer takes the blocks with their own mask or alpha.
#include "fx/effect_families.h"
#include "fx/realtime_layer.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/effects.h"
#include "runtime/app/errors.h"

namespace {


struct PixelZoomState {
    HostBitmap *work;
    HostBitmap *compose; // the frame over the old picture, for a masked or alpha source
    MaskPlane *workMask;
    AlphaPlane *workAlpha;
    int32_t twoWay;
};

void ZoomInto(const HostBitmap *source, const MaskPlane *mask, const AlphaPlane *alpha, PixelZoomState *state,
              int32_t w, int32_t h, int32_t n) {
    PixelZoomParams params;
    params.source = BitmapPixels(source);
    params.dest = BitmapPixels(state->work);
    params.sourceMask = MaskPixels(mask, w, h);
    params.sourceAlpha = AlphaPixels(alpha);
    params.destMask = MaskPixels(state->workMask, w, h);
    params.destAlpha = AlphaPixels(state->workAlpha);
    if (source->bytesPerPixel == 4) PixelZoomFrame32(params, n);
    else if (source->bytesPerPixel == 3) PixelZoomFrame24(params, n);
    else PixelZoomFrame16(params, n);
}

int PixelZoomSetup(FxRequest *request) {
    const int32_t w = request->width, h = request->height;
    PixelZoomState *state = AllocFxState<PixelZoomState>(request);
    if (!state) return kErrOutOfMemory;
    const bool layer = DrawsLayerPlane(request);
    if (!layer && !request->oldImage) return kErrWrongUsage;
    // A real-time layer has no old picture of its own to coarsen unless the background is emulated.
    state->twoWay = FxVariantOf(request).amount == 2 && !(request->realtimeLayer && !request->bgpicEmu);
    state->work = AllocHostBitmapFormat(w, h, request->newImage->format);
    if (!state->work) return kErrOutOfMemory;
    if (request->newMask || request->newAlpha) {
        if (!layer && !(state->compose = AllocHostBitmapFormat(w, h, request->newImage->format)))
            return kErrOutOfMemory;
        if (request->newMask && !(state->workMask = AllocMaskPlane(nullptr, w, h))) return kErrOutOfMemory;
        if (request->newAlpha && !(state->workAlpha = AllocAlphaPlane(w, h))) return kErrOutOfMemory;
    }
    const int32_t last = state->twoWay ? 49 : 25;
    request->frameCount = EffectStepCount(last, 1, 1);
    request->run = {0, 1, last};
    return 0;
}

// The position is the number of frames played: the block size falls by one a frame.
int PixelZoomDraw(FxRequest *request, int32_t f) {
    const int32_t w = request->width, h = request->height;
    PixelZoomState *state = FxState<PixelZoomState>(request);
    const int32_t last = state->twoWay ? 49 : 25;
    const bool fromOld = state->twoWay && f < 24;
    int32_t n = state->twoWay ? (fromOld ? f + 1 : 49 - f) : 25 - f;
    if (f >= last) n = 1;
    const bool planes = request->newMask || request->newAlpha;
    const HostBitmap *drawn = state->work;
    if (fromOld) ZoomInto(request->oldImage, nullptr, nullptr, state, w, h, std::max(n, 1));
    else if (n > 1) ZoomInto(request->newImage, request->newMask, request->newAlpha, state, w, h, n);
    else if (planes) drawn = request->newImage;
    else BLTBITMAP(request->newImage, 0, 0, state->work, 0, 0, w, h);
    const bool own = drawn == request->newImage;
    if (DrawsLayerPlane(request)) {
        DrawIntoLayer(request, drawn, own ? request->newMask : state->workMask, own ? request->newAlpha : state->workAlpha,
                      0, 0, 0, 0, w, h);
    } else if (planes) {
        BLTBITMAP(request->oldImage, 0, 0, state->compose, 0, 0, w, h);
        SAFEBLT(drawn, 0, 0, state->compose, 0, 0, w, h, w, h, w, h, kBlitMasked | kBlitToBitmap,
                own ? request->newMask : state->workMask, own ? request->newAlpha : state->workAlpha, nullptr);
        drawn = state->compose;
    }
    if (!DrawsLayerPlane(request)) DrawFxPicture(request, drawn, request->bltFlags);
    return 0;
}

void PixelZoomFinish(FxRequest *request, int) {
    PixelZoomState *state = FxState<PixelZoomState>(request);
    FreeHostBitmap(state->work);
    FreeHostBitmap(state->compose);
    FreeMaskPlane(state->workMask);
    FreeAlphaPlane(state->workAlpha);
    state->work = state->compose = nullptr, state->workMask = nullptr, state->workAlpha = nullptr;
}

} // namespace

const FxFamily PixelZoomFamily = {PixelZoomSetup, PixelZoomDraw, PixelZoomFinish};
