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
    HostBitmap *work;
};

// Where the growing picture is anchored, by the direction: 0 at the start edge, 1 centred, 2 at the far edge.
constexpr int8_t kAnchorX[9] = {1, 1, 2, 2, 2, 1, 0, 0, 0};
constexpr int8_t kAnchorY[9] = {1, 0, 0, 1, 2, 2, 2, 1, 0};

bool Zooms(const FxRequest *request) { return request->row->family == &ZoomFamily; }

// A stretch from the left or right edge or from the vertical centre line grows the width; the others the height.
bool GrowsWidth(const FxRequest *request) {
    const FxVariant &variant = FxVariantOf(request);
    return Zooms(request) || variant.direction == kFxWest || variant.direction == kFxEast ||
           variant.axis == kFxAxisV;
}

int32_t GrowthSize(const FxRequest *request) {
    const int32_t w = request->width, h = request->height;
    return Zooms(request) ? std::max(w, h) : GrowsWidth(request) ? w : h;
}

int StretchZoomSetup(FxRequest *request) {
    const int32_t size = GrowthSize(request);
    StretchState *state = AllocFxState<StretchState>(request);
    if (!state) return kErrOutOfMemory;
    request->step = FxStepOf(request, size);
    SetFxRunToSize(request, size);
    if ((request->newMask || request->newAlpha) && !DrawsLayerPlane(request)) {
        state->work = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
        if (!state->work) return kErrOutOfMemory;
    }
    return 0;
}

// The position is how far the picture has grown along its growing side.
int StretchZoomDraw(FxRequest *request, int32_t g) {
    const int32_t w = request->width, h = request->height, size = GrowthSize(request);
    const bool zoom = Zooms(request);
    StretchState *state = FxState<StretchState>(request);
    if (request->phase == 2 && !DrawsLayerPlane(request)) DrawFxPictureRect(request, request->oldImage, 0, 0, 0, 0, w, h);
    int32_t rw = w, rh = h;
    // A layer hidden in its own planes shrinks by the same steps: nothing is left on the last frame.
    const bool shrinks = DrawsLayerPlane(request) && request->reverse;
    const int32_t shown = shrinks ? size - g : g;
    if (shown < size && zoom) {
        const int32_t side = shown > 0 ? std::max<int32_t>(1, int32_t(int64_t(shown) * std::min(w, h) / size)) : 0;
        if (w < h) rw = side, rh = shown;
        else rw = shown, rh = side;
    } else if (shown < size) {
        (GrowsWidth(request) ? rw : rh) = shown;
    }
    if (DrawsLayerPlane(request)) ClearLayerPlanes(request);
    const auto place = [](int anchor, int32_t full, int32_t part) { return anchor == 0 ? 0 : anchor == 1 ? (full - part) / 2 : full - part; };
    const int direction = FxVariantOf(request).direction;
    const int32_t x = place(kAnchorX[direction], w, rw), y = place(kAnchorY[direction], h, rh);
    return DrawFxScaled(request, &state->scratch, request->newImage, request->newMask, request->newAlpha, 0, 0, w, h, x,
                        y, rw, rh, state->work);
}

void StretchZoomFinish(FxRequest *request, int) {
    StretchState *state = FxState<StretchState>(request);
    FreeHostBitmap(state->work);
    state->work = nullptr;
    FreeFxScratch(request, 0);
}

} // namespace

const FxFamily StretchFamily = {StretchZoomSetup, StretchZoomDraw, StretchZoomFinish};
const FxFamily ZoomFamily = {StretchZoomSetup, StretchZoomDraw, StretchZoomFinish};
