// Curtains, reveals and line wipes: full-width or full-height bands of the new image that never move once drawn.
// None draws in phase 2 and none has a finish function; HideLayerFX plays the curtain and reveal partners.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct BandsState {
    int32_t a, b;
};

// Draws a band of the new image: columns [p, p + thickness) when vertical, else rows.
void DrawBand(FxRequest *request, bool vertical, int32_t p, int32_t thickness) {
    if (vertical) DrawFxNewRect(request, p, 0, thickness, request->height);
    else DrawFxNewRect(request, 0, p, request->width, thickness);
}

int32_t CurtainStepSize(int32_t speed, int32_t size) { return EffectStepSize(speed, size, 140, 60, 320); }

// Opening curtains start at the middle line and move a band each way outwards; closing ones come in from both
// edges. Bands are step + 1 thick.
int CurtainStep(FxRequest *request, int *done, bool vertical, bool opening) {
    const int32_t size = vertical ? request->width : request->height;
    if (request->phase == 0) {
        if (!AllocFxState<BandsState>(request)) return kErrOutOfMemoryCode;
        int32_t s = CurtainStepSize(request->step, size);
        if (opening) {
            // Under 2 pixels the cap is 0 and the bands fall outside the picture; the floor keeps the run finite.
            s = ClampFxStep(s, size / 4);
            request->frameCount = EffectStepCount(size - (s + 1) - (size / 2 - 1), s + 1, 0);
        } else {
            if (s > size / 2) s = 1;
            request->frameCount = EffectStepCount(size / 2, s + 1, 0);
        }
        request->step = s;
        return 0;
    }
    if (request->phase != 1) return 0;
    BandsState *state = FxState<BandsState>(request);
    const int32_t s = request->step;
    if (opening) {
        if (request->frame == 0) state->a = size / 2, state->b = size / 2 - 1;
        if (state->b >= size - (s + 1)) {
            state->b = size - (s + 1);
            *done = 1;
        }
        if (state->a - s < 0) state->a = s;
        DrawBand(request, vertical, state->b, s + 1);
        DrawBand(request, vertical, state->a - s, s + 1);
    } else {
        if (request->frame == 0) state->a = 0, state->b = size - 1;
        if (state->a >= size / 2) {
            state->a = size / 2;
            *done = 1;
        }
        DrawBand(request, vertical, state->a, s + 1);
        DrawBand(request, vertical, state->b - s, s + 1);
    }
    state->a += opening ? -(s + 1) : s + 1;
    state->b += opening ? s + 1 : -(s + 1);
    FinishFxFrame(request);
    return 0;
}

// One band s + 1 thick per frame from one edge. A too large step becomes 1 across the columns but is cut to half
// the height across the rows.
int RevealStep(FxRequest *request, int *done, bool vertical, bool forwards) {
    const int32_t size = vertical ? request->width : request->height;
    if (request->phase == 0) {
        if (!AllocFxState<BandsState>(request)) return kErrOutOfMemoryCode;
        int32_t s = EffectStepSize(request->step, size, 70, 30, 200);
        if (vertical) s = s > size / 2 ? 1 : s;
        else s = ClampFxStep(s, size / 2);
        request->step = s;
        request->frameCount = EffectStepCount(size - (s + 1), s + 1, 0);
        return 0;
    }
    if (request->phase != 1) return 0;
    BandsState *state = FxState<BandsState>(request);
    const int32_t s = request->step;
    int32_t &p = state->a;
    if (request->frame == 0) p = forwards ? 0 : size - 1;
    if (forwards) {
        if (p >= size - (s + 1)) {
            p = size - (s + 1);
            *done = 1;
        }
        DrawBand(request, vertical, p, s + 1);
        p += s + 1;
    } else {
        if (p <= s) {
            p = s;
            *done = 1;
        }
        DrawBand(request, vertical, p - s, s + 1);
        p -= s + 1;
    }
    FinishFxFrame(request);
    return 0;
}

// VLINES/HLINES: the even lines from the start, then the odd ones back from the end, one a frame.
int LinesStep(FxRequest *request, int *done, bool vertical) {
    const int32_t size = vertical ? request->width : request->height;
    if (request->phase == 0) {
        if (!AllocFxState<BandsState>(request)) return kErrOutOfMemoryCode;
        request->frameCount = EffectStepCount(2 * size, 2, 0);
        return 0;
    }
    if (request->phase != 1) return 0;
    BandsState *state = FxState<BandsState>(request);
    int32_t &b = state->b;
    if (request->frame == 0) b = 0;
    if (b >= 2 * size) *done = 1;
    int32_t c = b;
    if (b >= size) {
        c = 2 * size - b;
        if (c % 2 == 0) c++;
        c = std::clamp(c, 0, size - 1);
    }
    DrawBand(request, vertical, c, 1);
    b += 2;
    FinishFxFrame(request);
    return 0;
}

// VLINES2/HLINES2: even lines from the start and odd lines from the end at once.
int Lines2Step(FxRequest *request, int *done, bool vertical) {
    const int32_t size = vertical ? request->width : request->height;
    if (request->phase == 0) {
        if (!AllocFxState<BandsState>(request)) return kErrOutOfMemoryCode;
        request->frameCount = EffectStepCount(size, 2, 0);
        return 0;
    }
    if (request->phase != 1) return 0;
    BandsState *state = FxState<BandsState>(request);
    if (request->frame == 0) state->a = size % 2 ? size - 2 : size - 1, state->b = 0;
    if (state->b >= size) *done = 1;
    state->a = std::max(state->a, 0);
    state->b = std::min(state->b, size - 1);
    DrawBand(request, vertical, state->b, 1);
    DrawBand(request, vertical, state->a, 1);
    state->b += 2;
    state->a -= 2;
    FinishFxFrame(request);
    return 0;
}

} // namespace

int CurtainsStep(FxRequest *request, int *done) {
    const int32_t id = request->effect; // 24..27: V open, V close, H open, H close
    return CurtainStep(request, done, id <= 25, id % 2 == 0);
}
int RevealsStep(FxRequest *request, int *done) {
    const int32_t id = request->effect; // 30..33: left, right, top, bottom
    return RevealStep(request, done, id <= 31, id % 2 == 0);
}
int LinesWipeStep(FxRequest *request, int *done) {
    switch (request->effect) {
    case 34: return Lines2Step(request, done, true);
    case 35: return Lines2Step(request, done, false);
    case 36: return LinesStep(request, done, false);
    default: return LinesStep(request, done, true);
    }
}
