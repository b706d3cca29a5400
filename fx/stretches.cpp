// Stretches and directional zooms: the whole new picture grows, scaled, from an edge, a centre line or an anchor
// until it fills the area. A masked or alpha picture is composed over the old one in a work bitmap; a real-time
// layer takes it with its own mask or alpha into its cleared planes. A hidden layer shrinks away.
#include <algorithm>

#include "fx/effect_families.h"
#include "fx/realtime_layer.h"
#include "host/blit.h"
#include "runtime/app/errors.h"

namespace {

struct StretchState {
    FxScratch scratch; // first: FreeFxScratch finds it there
    int32_t grown;
    HostBitmap *work;
};

} // namespace

int StretchZoomStep(FxRequest *request, int *done) {
    const int32_t id = request->effect; // 55..60 stretches, 61..69 zooms
    const int32_t w = request->width, h = request->height;
    const bool zoom = id >= 61, grows = zoom || id == 55 || id == 56 || id == 60; // ...the width
    const int32_t size = zoom ? std::max(w, h) : grows ? w : h;
    if (request->phase == 0) {
        StretchState *state = AllocFxState<StretchState>(request);
        if (!state) return kErrOutOfMemoryCode;
        request->step = ClampFxStep(EffectStepSize(request->step, size, 30, 10, 80), size);
        request->frameCount = EffectStepCount(size - request->step, request->step, 0);
        if ((request->newMask || request->newAlpha) && !DrawsLayerPlane(request)) {
            state->work = AllocHostBitmapFormat(w, h, request->newImage->format);
            if (!state->work) return kErrOutOfMemoryCode;
        }
        return 0;
    }
    if (request->phase != 1 && request->phase != 2) return 0;
    StretchState *state = FxState<StretchState>(request);
    int32_t g = state->grown;
    if (request->phase == 2) {
        g = int32_t(std::min<int64_t>(int64_t(request->frame) * request->step, size));
        if (!DrawsLayerPlane(request)) DrawFxPictureRect(request, request->oldImage, 0, 0, 0, 0, w, h);
    } else if (request->frame == 0) {
        g = request->step;
    }
    int32_t rw = w, rh = h;
    if (g >= size) {
        g = size;
        if (done) *done = 1;
    }
    // A layer hidden in its own planes shrinks by the same steps: nothing is left on the last frame.
    const bool shrinks = DrawsLayerPlane(request) && request->reverse;
    const int32_t shown = shrinks ? size - g : g;
    if (shown < size && zoom) {
        const int32_t side = shown > 0 ? std::max<int32_t>(1, int32_t(int64_t(shown) * std::min(w, h) / size)) : 0;
        if (w < h) rw = side, rh = shown;
        else rw = shown, rh = side;
    } else if (shown < size) {
        (grows ? rw : rh) = shown;
    }
    if (DrawsLayerPlane(request)) ClearLayerPlanes(request);
    // Where the growing picture is anchored: 0 at the start edge, 1 centred, 2 at the far edge.
    static constexpr int8_t kAnchors[15][2] = {{0, 0}, {2, 0}, {0, 0}, {0, 2}, {0, 1}, {1, 0}, {1, 1}, {1, 0},
                                               {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}, {0, 0}};
    const auto place = [](int anchor, int32_t full, int32_t part) { return anchor == 0 ? 0 : anchor == 1 ? (full - part) / 2 : full - part; };
    const int32_t x = place(kAnchors[id - 55][0], w, rw), y = place(kAnchors[id - 55][1], h, rh);
    if (int error = DrawFxScaled(request, &state->scratch, request->newImage, request->newMask, request->newAlpha, 0, 0, w, h, x, y,
                                 rw, rh, state->work))
        return error;
    state->grown = g + request->step;
    if (request->phase == 1) FinishFxFrame(request);
    return 0;
}

void StretchZoomFinish(FxRequest *request, int) {
    StretchState *state = FxState<StretchState>(request);
    FreeHostBitmap(state->work);
    state->work = nullptr;
    FreeFxScratch(request, 0);
}
