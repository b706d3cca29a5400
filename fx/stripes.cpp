// Stripes, blinds, bars and quarters: wipes that reveal the new image in axis-parallel rectangles which never move
// once drawn. None draws in phase 2 and none has a finish function; a replay from frame 0 repeats the rectangles.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"

namespace {

struct StripesState {
    int32_t thickness;
};

struct BlindsState {
    int32_t blindSize;
    int32_t blindCount;
};

struct QuartersState {
    int32_t halfWidth, halfHeight;
    int32_t oddColumns;
};

bool Horizontal(const FxRequest *request) { return FxVariantOf(request).axis == kFxAxisH; }

// The numbered stripes have their thickness fixed; HSTRIPES and VSTRIPES take it from the parameter (-1: at random
// across the size).
int32_t StripeThickness(const FxRequest *request, int32_t size) {
    int32_t thickness = FxVariantOf(request).amount;
    if (thickness == 0) {
        thickness = request->parameter;
        if (thickness == kFxRandomParameter) {
            const int32_t a = RuntimeRand();
            const int32_t c = RuntimeRand();
            const int32_t range = size / (c % 8 + 2);
            thickness = range > 0 ? a % range : 1;
        }
    }
    return std::max(thickness, 1);
}

// `along` is the axis the columns advance on (W for HSTRIPES), `across` the banded one.
int StripesSetup(FxRequest *request) {
    const int32_t along = Horizontal(request) ? request->width : request->height;
    StripesState *state = AllocFxState<StripesState>(request);
    if (!state) return kErrOutOfMemory;
    state->thickness = StripeThickness(request, along);
    const int32_t s = request->step = FxStepOf(request, along);
    request->frameCount = EffectStepCount(along - s, s, 0);
    request->run = {-s, s, along - s};
    return 0;
}

int StripesDraw(FxRequest *request, int32_t p) {
    const bool horizontal = Horizontal(request);
    const int32_t along = horizontal ? request->width : request->height;
    const int32_t across = horizontal ? request->height : request->width;
    const int32_t s = request->step, t = FxState<StripesState>(request)->thickness;
    for (int64_t band = 0; band < across; band += 2 * int64_t(t)) {
        const int32_t b0 = int32_t(band), b1 = int32_t(std::min<int64_t>(band + t, INT32_MAX));
        if (horizontal) {
            DrawFxNewRect(request, p, b0, s, t);
            DrawFxNewRect(request, along - p - s, b1, s, t);
        } else {
            DrawFxNewRect(request, b0, p, t, s);
            DrawFxNewRect(request, b1, along - p - s, t, s);
        }
    }
    return 0;
}

int BlindsSetup(FxRequest *request) {
    BlindsState *state = AllocFxState<BlindsState>(request);
    if (!state) return kErrOutOfMemory;
    const int32_t b = FxVariantOf(request).amount;
    state->blindSize = b;
    state->blindCount = (Horizontal(request) ? request->height : request->width) / b;
    const int32_t s = request->step = FxStepOf(request, b);
    request->frameCount = EffectStepCount(b - s, s, 0);
    request->run = {0, s, b};
    return 0;
}

int BlindsDraw(FxRequest *request, int32_t p) {
    const BlindsState *state = FxState<BlindsState>(request);
    const int32_t s = request->step, b = state->blindSize;
    for (int32_t i = 0; i <= state->blindCount; i++) {
        if (Horizontal(request)) DrawFxNewRect(request, 0, i * b + p - s, request->width, s);
        else DrawFxNewRect(request, i * b + p - s, 0, s, request->height);
    }
    return 0;
}

// Vertical bars widen for positions 0..8, then horizontal bars grow to the full 16 rows up to position 23.
constexpr int32_t kLastBarPosition = 23, kVerticalBarPositions = 9, kBar = 16;

int BarsSetup(FxRequest *request) {
    const int32_t s = request->step = FxStepOf(request, kBar);
    request->frameCount = EffectStepCount(kLastBarPosition, s + 1, 0);
    request->run = {-(s + 1), s + 1, kLastBarPosition};
    return 0;
}

int BarsDraw(FxRequest *request, int32_t p) {
    const int32_t w = request->width, h = request->height;
    if (p < kVerticalBarPositions) {
        const int32_t m = w / kBar;
        for (int32_t i = 0; i < m; i++) DrawFxNewRect(request, kBar * i, 0, p + 1, h);
        if (w - kBar * m > 0) DrawFxNewRect(request, kBar * m, 0, w - kBar * m, h);
    } else {
        const int32_t m = h / kBar;
        for (int32_t i = 0; i < m; i++) DrawFxNewRect(request, 0, kBar * i, w, p - 7);
        if (h - kBar * m > 0) DrawFxNewRect(request, 0, kBar * m, w, h - kBar * m);
    }
    return 0;
}

// The left half fills downwards from the top edge and the middle, the right half upwards from the middle and the
// bottom edge; an odd last column goes with the right half.
int QuartersSetup(FxRequest *request) {
    const int32_t w = request->width, h = request->height;
    QuartersState *state = AllocFxState<QuartersState>(request);
    if (!state) return kErrOutOfMemory;
    state->halfWidth = w / 2;
    state->halfHeight = h / 2;
    state->oddColumns = w % 2;
    const int32_t s = request->step = FxStepOf(request, h);
    request->frameCount = EffectStepCount(h - (state->halfHeight + 1) - s, s + 1, 0);
    request->run = {-(s + 1), s + 1, h - (state->halfHeight + 1) - s};
    return 0;
}

int QuartersDraw(FxRequest *request, int32_t p) {
    const QuartersState *state = FxState<QuartersState>(request);
    const int32_t h = request->height, s = request->step, u = state->halfWidth, v = state->halfHeight;
    DrawFxNewRect(request, 0, p, u, s + 1);
    DrawFxNewRect(request, 0, v + p, u, s + 1);
    DrawFxNewRect(request, u, h - p - v - s - 1, u, s + 1);
    DrawFxNewRect(request, u, h - p - 1 - s, u, s + 1);
    if (state->oddColumns > 0) {
        DrawFxNewRect(request, 2 * u, h - p - v - s - 1, state->oddColumns, s + 1);
        DrawFxNewRect(request, 2 * u, h - p - 1 - s, state->oddColumns, s + 1);
    }
    return 0;
}

} // namespace

const FxFamily StripesFamily = {StripesSetup, StripesDraw, nullptr};
const FxFamily BlindsFamily = {BlindsSetup, BlindsDraw, nullptr};
const FxFamily BarsFamily = {BarsSetup, BarsDraw, nullptr};
const FxFamily QuartersFamily = {QuartersSetup, QuartersDraw, nullptr};
