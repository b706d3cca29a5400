// Tile and band wipes that grow from several places at once: HSPLIT/VSPLIT open a gap in each half, QUADRECT
// grows rectangles in two diagonal quarters at a time, SWISS grows the four corners. None draws in phase 2.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct QuadState {
    int32_t previousW, previousH;
    int32_t base;
    int32_t pair;
};

struct SwissState {
    int32_t previousX, previousY;
};

// The short side of a rectangle whose long side is d, in the area's proportions; at least 1.
int32_t ShortSide(const FxRequest *request, int32_t d) {
    const double ratio = double(std::min(request->width, request->height)) / std::max(request->width, request->height);
    return std::max(1, int32_t(d * ratio + 1.0));
}

bool Horizontal(const FxRequest *request) { return FxVariantOf(request).axis == kFxAxisH; }

int SplitSetup(FxRequest *request) {
    const int32_t q = (Horizontal(request) ? request->width : request->height) / 4;
    const int32_t s = request->step = FxStepOf(request);
    request->frameCount = EffectStepCount(q + s, s, 1);
    request->run = {-s, s, q};
    return 0;
}

// The position is how far the inner edges have moved back from the quarter lines; the outer ones stop at the
// middle and then move on a step a frame.
int SplitDraw(FxRequest *request, int32_t travel) {
    const bool horizontal = Horizontal(request);
    const int32_t size = horizontal ? request->width : request->height;
    const int32_t q = size / 4, s = request->step;
    int32_t low = q - travel;
    int32_t high = int32_t(std::min<int64_t>(q + (int64_t(request->frame) - 1) * s, size / 2) + s);
    for (int half = 0; half < 2; half++) {
        if (horizontal) {
            DrawFxNewRect(request, low, 0, s, request->height);
            DrawFxNewRect(request, high, 0, s, request->height);
        } else {
            DrawFxNewRect(request, 0, low, request->width, s);
            DrawFxNewRect(request, 0, high, request->width, s);
        }
        low += size / 2 + size % 2;
        high += size / 2 + size % 2;
    }
    if (travel >= q) DrawFxNewRect(request, 0, 0, request->width, request->height);
    return 0;
}

int QuadRectSetup(FxRequest *request) {
    if (!AllocFxState<QuadState>(request)) return kErrOutOfMemory;
    const int32_t l = std::max(request->width, request->height);
    request->step = FxStepOf(request);
    request->frameCount = EffectStepCount(l, request->step, 1);
    request->run = {0, request->step, INT32_MAX};
    return 0;
}

int QuadRectDraw(FxRequest *request, int32_t travel) {
    const int32_t w = request->width, h = request->height, l = std::max(w, h);
    QuadState *state = FxState<QuadState>(request);
    if (request->frame == 0) *state = QuadState{};
    const int32_t d = travel - state->base;
    int32_t rw = h > w ? ShortSide(request, d) : d, rh = h > w ? d : ShortSide(request, d);
    if (rw >= w / 2) rw = w / 2, rh = h / 2;
    const int32_t gw = (rw - state->previousW) / 2 + 1, gh = (rh - state->previousH) / 2 + 1;
    int32_t x0 = (w / 2 - rw) / 2 + (state->pair ? w / 2 : 0);
    int32_t y0 = (h / 2 - rh) / 2;
    for (int quarter = 0; quarter < 2; quarter++) {
        DrawFxNewRect(request, x0, y0, gw, rh);
        DrawFxNewRect(request, x0 + gw, y0, state->previousW, gh);
        DrawFxNewRect(request, x0 + rw - gw, y0, gw, rh);
        DrawFxNewRect(request, x0 + gw, y0 + rh - gh, state->previousW, gh);
        x0 += state->pair ? -(w / 2 + w % 2) : w / 2 + w % 2;
        y0 += h / 2 + h % 2;
    }
    if (travel >= l / 2 && !state->pair) {
        state->previousW = state->previousH = 0;
        state->base = travel;
        state->pair = 1;
    } else if (travel < l) {
        state->previousW = rw, state->previousH = rh;
    }
    if (travel < l) return 0;
    DrawFxNewRect(request, 0, 0, w, h);
    return kFxLastFrame;
}

int SwissSetup(FxRequest *request) {
    if (!AllocFxState<SwissState>(request)) return kErrOutOfMemory;
    const int32_t l = std::max(request->width, request->height);
    request->step = FxStepOf(request);
    request->frameCount = EffectStepCount(l / 2, request->step, 1);
    request->run = {0, request->step, INT32_MAX};
    return 0;
}

// The position is the corners' long side.
int SwissDraw(FxRequest *request, int32_t a) {
    const int32_t w = request->width, h = request->height, l = std::max(w, h);
    SwissState *state = FxState<SwissState>(request);
    if (request->frame == 0) *state = SwissState{};
    const int32_t cx = w < h ? ShortSide(request, a) : a, cy = w < h ? a : ShortSide(request, a);
    int result = 0;
    if (a < l / 2) {
        const int32_t px = state->previousX, py = state->previousY, gx = cx - px, gy = cy - py;
        DrawFxNewRect(request, px, 0, gx, cy); // top left
        DrawFxNewRect(request, 0, py, cx, gy);
        DrawFxNewRect(request, px, h - py, gx, py); // bottom left
        DrawFxNewRect(request, 0, h - cy, cx, gy);
        DrawFxNewRect(request, w - cx, h - py, gx, py); // bottom right
        DrawFxNewRect(request, w - cx, h - cy, cx, gy);
        DrawFxNewRect(request, w - cx, 0, gx, cy); // top right
        DrawFxNewRect(request, w - cx, py, cx, gy);
    } else {
        DrawFxNewRect(request, 0, 0, w, h);
        result = kFxLastFrame;
    }
    state->previousX = cx, state->previousY = cy;
    return result;
}

} // namespace

const FxFamily SplitFamily = {SplitSetup, SplitDraw, nullptr};
const FxFamily QuadRectFamily = {QuadRectSetup, QuadRectDraw, nullptr};
const FxFamily SwissFamily = {SwissSetup, SwissDraw, nullptr};
