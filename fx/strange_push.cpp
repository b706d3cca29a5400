// Strange pushes: the new picture enters from both sides at once, interlaced by rows: odd rows from one side,
// even rows from the other, meeting when the picture is in place. Frames are composed in a work bitmap through
// two interlaced copies of the new image's mask (or alpha); a real-time layer takes the rows with their own mask
// or alpha. A hidden layer's rows slide back out (the engine plays the frames backwards inside the layer).
#include <algorithm>
#include <cstring>

#include "fx/effect_families.h"
#include "fx/realtime_layer.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/planes.h"
#include "runtime/app/errors.h"

namespace {

struct StrangePushState {
    HostBitmap *work;
    MaskPlane *masks[2];
    AlphaPlane *alphas[2];
};

// Plane k shows the new image's own mask or alpha on the rows of the other parity only.
int BuildInterlaceMasks(FxRequest *request, StrangePushState *state) {
    const int32_t w = request->width, h = request->height;
    for (int k = 0; k < 2; k++) {
        if (request->newAlpha) {
            AlphaPlane *alpha = state->alphas[k] = AllocAlphaPlane(w, h);
            if (!alpha) return kErrOutOfMemory;
            BltAlphaPlane(request->newAlpha, 0, 0, alpha, 0, 0, w, h, kAlphaCopy, 0);
            for (int32_t y = k; y < h; y += 2) FillAlphaRect(alpha, 0, y, w, 1, 0);
            continue;
        }
        MaskPlane *mask = state->masks[k] = AllocMaskPlane(request->newImage, w, h);
        if (!mask) return kErrOutOfMemory;
        const MaskPlane *own = request->newMask;
        for (int32_t y = 0; y < h; y++) {
            uint8_t *row = mask->bits + size_t(y) * size_t(mask->bytesPerRow);
            if (y % 2 == k) std::memset(row, 0, size_t(mask->bytesPerRow));
            else if (!own) std::memset(row, 0xFF, size_t(mask->bytesPerRow));
            else std::memcpy(row, own->bits + size_t(y) * size_t(own->bytesPerRow),
                             size_t(std::min(mask->bytesPerRow, own->bytesPerRow)));
        }
    }
    return 0;
}

void DrawThrough(FxRequest *request, StrangePushState *state, int k, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
                 int32_t width, int32_t height) {
    const int32_t w = request->width, h = request->height;
    if (DrawsLayerPlane(request)) {
        for (int32_t y = std::max(0, -dy); y < height; y++)
            if ((sy + y) % 2 != k)
                DrawIntoLayer(request, request->newImage, request->newMask, request->newAlpha, sx, sy + y, dx, dy + y,
                              width, 1);
        return;
    }
    if (!request->newMask && !request->newAlpha) {
        // Opaque: the rows the plane shows are copied one by one, without testing every pixel.
        for (int32_t y = std::max(0, -dy); y < height; y++)
            if ((sy + y) % 2 != k) ClippedCopyRect(request->newImage, sx, sy + y, state->work, dx, dy + y, width, 1, w, h, w, h);
        return;
    }
    SAFEBLT(request->newImage, sx, sy, state->work, dx, dy, width, height, w, h, w, h, kBlitMasked | kBlitToBitmap,
            state->masks[k], state->alphas[k], nullptr);
}

bool Across(const FxRequest *request) { return FxVariantOf(request).axis == kFxAxisH; }

int StrangePushSetup(FxRequest *request) {
    const int32_t w = request->width, h = request->height, size = Across(request) ? w : h;
    StrangePushState *state = AllocFxState<StrangePushState>(request);
    if (!state) return kErrOutOfMemory;
    // The speed rule bounds the step at the size so that t cannot overflow; made even here.
    const int32_t step = FxStepOf(request, size);
    request->step = step + step % 2;
    SetFxRunToSize(request, size);
    if (DrawsLayerPlane(request)) return 0; // rows go into the layer one by one
    state->work = AllocHostBitmapFormat(w, h, request->newImage->format);
    if (!state->work) return kErrOutOfMemory;
    if (request->oldImage) BLTBITMAP(request->oldImage, 0, 0, state->work, 0, 0, w, h);
    if (int error = BuildInterlaceMasks(request, state)) return error;
    return 0;
}

// The position is how far the two halves of the lines have come in.
int StrangePushDraw(FxRequest *request, int32_t t) {
    const bool across = Across(request);
    const int32_t w = request->width, h = request->height;
    StrangePushState *state = FxState<StrangePushState>(request);
    if (DrawsLayerPlane(request)) ClearLayerPlanes(request);
    else if ((request->phase == 2 || request->newMask || request->newAlpha) && request->oldImage)
        BLTBITMAP(request->oldImage, 0, 0, state->work, 0, 0, w, h);
    if (t > 0) {
        if (across) {
            DrawThrough(request, state, 0, w - t, 0, 0, 0, t, h);
            DrawThrough(request, state, 1, 0, 0, w - t, 0, t, h);
        } else {
            DrawThrough(request, state, 0, 0, h - t, 0, 0, w, t);
            DrawThrough(request, state, 1, 0, 0, 0, h - t, w, t);
        }
    }
    if (!DrawsLayerPlane(request)) DrawFxPictureRect(request, state->work, 0, 0, 0, 0, w, h);
    return 0;
}

void StrangePushFinish(FxRequest *request, int) {
    StrangePushState *state = FxState<StrangePushState>(request);
    FreeHostBitmap(state->work);
    for (int k = 0; k < 2; k++) {
        FreeMaskPlane(state->masks[k]);
        FreeAlphaPlane(state->alphas[k]);
        state->masks[k] = nullptr;
        state->alphas[k] = nullptr;
    }
    state->work = nullptr;
}

} // namespace

const FxFamily StrangePushFamily = {StrangePushSetup, StrangePushDraw, StrangePushFinish};
