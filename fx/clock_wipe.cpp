// CLOCKWIPE: a hand sweeps clockwise round the border from twelve o'clock, uncovering the new picture wedge by
// wedge. The frame count comes from moving the hand once without drawing. A real-time layer takes the gathered
// wedges as its own mask.
#include <algorithm>

#include "fx/effect_families.h"
#include "fx/realtime_layer.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/raster.h"
#include "runtime/app/errors.h"

namespace {

struct ClockState {
    HostBitmap *work;
    MaskPlane *wedgeMask;
    int32_t handX, handY, lastX, lastY;
    int32_t side, lastSide;
};

void StartHand(ClockState *state, int32_t w, int32_t step) {
    state->side = state->lastSide = 0;
    state->lastX = w / 2, state->lastY = 0;
    state->handX = w / 2 + step, state->handY = 0;
}

// One step of the hand along the border, turning the corners with the overshoot; false once it is back at the top.
bool MoveHand(ClockState *state, int32_t w, int32_t h, int32_t step) {
    state->lastX = state->handX, state->lastY = state->handY, state->lastSide = state->side;
    int32_t &x = state->handX, &y = state->handY;
    switch (state->side) {
    case 0:
        if ((x += step) > w - 1) y = x + 1 - w, x = w - 1, state->side = 1;
        break;
    case 1:
        if ((y += step) > h - 1) x = w - (y - h + 2), y = h - 1, state->side = 2;
        break;
    case 2:
        if ((x -= step) < 0) y = h - (-x + 1), x = 0, state->side = 3;
        break;
    case 3:
        if ((y -= step) < 0) x = -y, y = 0, state->side = 4;
        break;
    case 4:
        if ((x += step) > w / 2 + 1) x = w / 2 + 1, state->side = 5;
        break;
    default: return false;
    }
    return true;
}

// The corner a side starts from.
void SideCorner(int32_t side, int32_t w, int32_t h, int32_t *x, int32_t *y) {
    *x = side == 1 || side == 2 ? w - 1 : 0;
    *y = side == 2 || side == 3 ? h - 1 : 0;
}

// Fills the wedge from the centre over the points into the mask. Vertices on the last column and row move to the
// picture's edge, since the rasteriser sets a pixel only when its centre is inside.
int FillWedge(MaskPlane *mask, int32_t *points, int32_t count, int32_t w, int32_t h) {
    for (int32_t i = 0; i < count; i++) {
        if (points[2 * i] == w - 1) points[2 * i] = w;
        if (points[2 * i + 1] == h - 1) points[2 * i + 1] = h;
    }
    return FillPolygonMask(mask, points, count, nullptr, 0);
}

int ClockWipeSetup(FxRequest *request) {
    const int32_t w = request->width, h = request->height;
    ClockState *state = AllocFxState<ClockState>(request);
    if (!state) return kErrOutOfMemory;
    const bool plane = DrawsLayerPlane(request);
    if (!plane && !request->oldImage) return kErrWrongUsage;
    request->step = FxStepOf(request);
    if (!plane) state->work = AllocHostBitmapFormat(w, h, request->newImage->format);
    state->wedgeMask = AllocMaskPlane(nullptr, w, h);
    if ((!plane && !state->work) || !state->wedgeMask) return kErrOutOfMemory;
    StartHand(state, w, request->step);
    int32_t frames = 1;
    while (MoveHand(state, w, h, request->step)) frames++;
    request->frameCount = frames;
    StartHand(state, w, request->step);
    return 0;
}

// The hand keeps its own place: a played frame moves it on, a direct one sweeps again from twelve o'clock.
int ClockWipeDraw(FxRequest *request, int32_t) {
    const int32_t w = request->width, h = request->height;
    ClockState *state = FxState<ClockState>(request);
    int32_t points[2 * 12];
    int32_t count = 0;
    auto add = [&](int32_t x, int32_t y) { points[2 * count] = x, points[2 * count + 1] = y, count++; };
    add(w / 2, h / 2);
    bool over = false;
    if (request->phase == 2) {
        // The whole sweep from twelve o'clock to where the hand is after frame n.
        StartHand(state, w, request->step);
        for (int32_t i = 1; i < request->frame; i++) MoveHand(state, w, h, request->step);
        over = state->side == 5 || request->frame >= request->frameCount;
        add(w / 2, 0);
        for (int32_t side = 1; side <= std::min(state->side, 4); side++) {
            int32_t cx, cy;
            SideCorner(side, w, h, &cx, &cy);
            add(cx, cy);
        }
    } else {
        if (request->frame == 0) StartHand(state, w, request->step);
        over = state->side == 5;
        add(state->lastX, state->lastY);
        if (state->lastSide != state->side && state->side < 5) {
            int32_t cx, cy;
            SideCorner(state->side, w, h, &cx, &cy);
            add(cx, cy);
        }
    }
    add(state->handX, state->handY);
    add(w / 2, h / 2);
    const HostBitmap *drawn = request->newImage;
    if (over && DrawsLayerPlane(request)) FillMaskRect(state->wedgeMask, 0, 0, w, h, MASKVISIBLE);
    if (!over) {
        // Wedges gather in the mask: a played frame adds its own, a direct one starts clear and fills the sweep.
        if (request->phase == 2 || request->frame == 0) FillMaskRect(state->wedgeMask, 0, 0, w, h, MASKINVISIBLE);
        if (int error = FillWedge(state->wedgeMask, points, count, w, h)) return error;
    }
    if (DrawsLayerPlane(request)) {
        RevealInLayer(request, state->wedgeMask);
    } else if (!over) {
        if (request->newMask) BlitTemplateToMask(request->newMask, 0, 0, state->wedgeMask, 0, 0, w, h, TemplateMaskAnd);
        BLTBITMAP(request->oldImage, 0, 0, state->work, 0, 0, w, h);
        SAFEBLT(request->newImage, 0, 0, state->work, 0, 0, w, h, w, h, w, h, kBlitMasked | kBlitToBitmap,
                state->wedgeMask, nullptr, nullptr);
        drawn = state->work;
    }
    if (!DrawsLayerPlane(request)) DrawFxPicture(request, drawn, request->bltFlags);
    if (request->phase == 1) MoveHand(state, w, h, request->step);
    return over ? kFxLastFrame : 0;
}

void ClockWipeFinish(FxRequest *request, int) {
    ClockState *state = FxState<ClockState>(request);
    FreeHostBitmap(state->work);
    FreeMaskPlane(state->wedgeMask);
    state->work = nullptr, state->wedgeMask = nullptr;
}

} // namespace

const FxFamily ClockWipeFamily = {ClockWipeSetup, ClockWipeDraw, ClockWipeFinish};
