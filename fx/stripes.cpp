// Stripes, blinds, bars and quarters: wipes that reveal the new image in axis-parallel rectangles which never move
// once drawn. None draws in phase 2 and none has a finish function; a replay from frame 0 repeats the rectangles.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"

namespace {

struct StripesState {
    int32_t thickness;
    int32_t position;
};

struct BlindsState {
    int32_t blindSize;
    int32_t blindCount;
    int32_t position;
};

struct BarsState {
    int32_t position;
};

struct QuartersState {
    int32_t halfWidth, halfHeight;
    int32_t position;
    int32_t oddColumns;
};

// HSTRIPES and VSTRIPES take the thickness from the parameter (-1: at random across the size); the numbered
// variants have it fixed.
int32_t StripeThickness(const FxRequest *request, int32_t firstId, int32_t size) {
    const int32_t variant = request->effect - firstId;
    int32_t thickness = 1 << variant;
    if (variant == 0) {
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

// Both stripe directions: `along` is the axis the columns advance on (W for HSTRIPES), `across` the banded one.
int StripesStep(FxRequest *request, int *done, int32_t firstId, bool horizontal) {
    const int32_t along = horizontal ? request->width : request->height;
    const int32_t across = horizontal ? request->height : request->width;
    if (request->phase == 0) {
        StripesState *state = AllocFxState<StripesState>(request);
        if (!state) return kErrOutOfMemoryCode;
        state->thickness = StripeThickness(request, firstId, along);
        request->step = ClampFxStep(EffectStepSize(request->step, along, 70, 30, 200), along - 1);
        request->frameCount = EffectStepCount(along - request->step, request->step, 0);
        return 0;
    }
    if (request->phase != 1) return 0;
    StripesState *state = FxState<StripesState>(request);
    const int32_t s = request->step, t = state->thickness;
    if (request->frame == 0) state->position = 0;
    int32_t &p = state->position;
    if (p >= along - s) {
        p = along - s;
        *done = 1;
    }
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
    p += s;
    FinishFxFrame(request);
    return 0;
}

int BlindsStep(FxRequest *request, int *done, int32_t firstId, bool horizontal) {
    if (request->phase == 0) {
        BlindsState *state = AllocFxState<BlindsState>(request);
        if (!state) return kErrOutOfMemoryCode;
        const int32_t b = 8 << (request->effect - firstId);
        state->blindSize = b;
        state->blindCount = (horizontal ? request->height : request->width) / b;
        request->step = ClampFxStep(EffectStepSize(request->step, b, 8, 3, 20), b / 2);
        request->frameCount = EffectStepCount(b - request->step, request->step, 0);
        return 0;
    }
    if (request->phase != 1) return 0;
    BlindsState *state = FxState<BlindsState>(request);
    const int32_t s = request->step, b = state->blindSize;
    if (request->frame == 0) state->position = s;
    int32_t &p = state->position;
    if (p >= b) {
        p = b;
        *done = 1;
    }
    for (int32_t i = 0; i <= state->blindCount; i++) {
        if (horizontal) DrawFxNewRect(request, 0, i * b + p - s, request->width, s);
        else DrawFxNewRect(request, i * b + p - s, 0, s, request->height);
    }
    p += s;
    FinishFxFrame(request);
    return 0;
}

} // namespace

int HStripesStep(FxRequest *request, int *done) { return StripesStep(request, done, 0, true); }
int VStripesStep(FxRequest *request, int *done) { return StripesStep(request, done, 7, false); }
int HBlindsStep(FxRequest *request, int *done) { return BlindsStep(request, done, 14, true); }
int VBlindsStep(FxRequest *request, int *done) { return BlindsStep(request, done, 19, false); }

// Vertical bars widen for positions 0..8, then horizontal bars grow to the full 16 rows up to position 23.
int BarsStep(FxRequest *request, int *done) {
    constexpr int32_t kLastPosition = 23, kVerticalPositions = 9, kBar = 16;
    if (request->phase == 0) {
        if (!AllocFxState<BarsState>(request)) return kErrOutOfMemoryCode;
        request->step = ClampFxStep(EffectStepSize(request->step, kBar, 16, 8, 40), 8);
        request->frameCount = EffectStepCount(kLastPosition, request->step + 1, 0);
        return 0;
    }
    if (request->phase != 1) return 0;
    BarsState *state = FxState<BarsState>(request);
    if (request->frame == 0) state->position = 0;
    int32_t &p = state->position;
    if (p >= kLastPosition) {
        p = kLastPosition;
        *done = 1;
    }
    const int32_t w = request->width, h = request->height;
    if (p < kVerticalPositions) {
        const int32_t m = w / kBar;
        for (int32_t i = 0; i < m; i++) DrawFxNewRect(request, kBar * i, 0, p + 1, h);
        if (w - kBar * m > 0) DrawFxNewRect(request, kBar * m, 0, w - kBar * m, h);
    } else {
        const int32_t m = h / kBar;
        for (int32_t i = 0; i < m; i++) DrawFxNewRect(request, 0, kBar * i, w, p - 7);
        if (h - kBar * m > 0) DrawFxNewRect(request, 0, kBar * m, w, h - kBar * m);
    }
    p += request->step + 1;
    FinishFxFrame(request);
    return 0;
}

// The left half fills downwards from the top edge and the middle, the right half upwards from the middle and the
// bottom edge; an odd last column goes with the right half.
int QuartersStep(FxRequest *request, int *done) {
    const int32_t w = request->width, h = request->height;
    if (request->phase == 0) {
        QuartersState *state = AllocFxState<QuartersState>(request);
        if (!state) return kErrOutOfMemoryCode;
        state->halfWidth = w / 2;
        state->halfHeight = h / 2;
        state->oddColumns = w % 2;
        request->step = ClampFxStep(EffectStepSize(request->step, w, 70, 30, 200), h / 4);
        request->frameCount = EffectStepCount(h - (state->halfHeight + 1) - request->step, request->step + 1, 0);
        return 0;
    }
    if (request->phase != 1) return 0;
    QuartersState *state = FxState<QuartersState>(request);
    const int32_t s = request->step, u = state->halfWidth, v = state->halfHeight;
    if (request->frame == 0) state->position = 0;
    int32_t &p = state->position;
    if (p >= h - (v + 1) - s) {
        p = h - (v + 1) - s;
        *done = 1;
    }
    DrawFxNewRect(request, 0, p, u, s + 1);
    DrawFxNewRect(request, 0, v + p, u, s + 1);
    DrawFxNewRect(request, u, h - p - v - s - 1, u, s + 1);
    DrawFxNewRect(request, u, h - p - 1 - s, u, s + 1);
    if (state->oddColumns > 0) {
        DrawFxNewRect(request, 2 * u, h - p - v - s - 1, state->oddColumns, s + 1);
        DrawFxNewRect(request, 2 * u, h - p - 1 - s, state->oddColumns, s + 1);
    }
    p += s + 1;
    FinishFxFrame(request);
    return 0;
}
