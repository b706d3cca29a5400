// Gates: the area splits in two wings that move apart (open: the old picture leaves, uncovering the new one from
// the middle) or together (close: the new picture's wings come in over the old one). H gates move rows, V gates
// columns. Masks and alpha are not used.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct GateState {
    int32_t near, far;
};

// Rows [from, from + count) of a picture at row `to` (columns for the V gates).
void DrawLines(FxRequest *request, const HostBitmap *picture, bool rows, int32_t from, int32_t to, int32_t count) {
    if (rows) DrawFxPictureRect(request, picture, 0, from, 0, to, request->width, count);
    else DrawFxPictureRect(request, picture, from, 0, to, 0, count, request->height);
}

int GateStep(FxRequest *request, int *done, bool rows, bool opening) {
    const int32_t size = rows ? request->height : request->width;
    const int32_t half = size / 2, rest = size - half;
    if (request->phase == 0) {
        if (!AllocFxState<GateState>(request)) return kErrOutOfMemoryCode;
        // No bound of its own; capped at the size so that the edges cannot overflow.
        request->step = ClampFxStep(EffectStepSize(request->step, size, 80, 30, 200), size);
        request->frameCount = opening ? EffectStepCount(rest - request->step, request->step, 0)
                                      : EffectStepCount(half - request->step, request->step, 0);
        return 0;
    }
    if (request->phase != 1 && request->phase != 2) return 0;
    GateState *state = FxState<GateState>(request);
    const int32_t s = request->step;
    const bool fullRedraw = request->phase == 2;
    const int32_t travel = int32_t(std::min<int64_t>(int64_t(request->frame) * s, size));
    const HostBitmap *fresh = request->newImage, *old = request->oldImage;
    if (opening) {
        if (fullRedraw) state->near = rest - travel, state->far = half + travel;
        else if (request->frame == 0) state->near = rest - s, state->far = half + s;
        if (state->far >= size || state->near < 1) {
            state->far = size, state->near = 0;
            if (done) *done = 1;
        }
        if (fullRedraw) DrawLines(request, fresh, rows, state->near, state->near, state->far - state->near + 1);
        DrawLines(request, old, rows, 0, state->near - half, half);
        if (!fullRedraw) {
            DrawLines(request, fresh, rows, state->near, state->near, s);
            DrawLines(request, fresh, rows, state->far - s, state->far - s, s);
        }
        DrawLines(request, old, rows, half, state->far, rest);
        state->near -= s, state->far += s;
    } else {
        if (fullRedraw) {
            if (old) DrawLines(request, old, rows, 0, 0, size);
            state->near = travel, state->far = size - travel;
        } else if (request->frame == 0) {
            state->near = s, state->far = size - s;
        }
        if (state->far <= rest || state->near >= half) {
            state->far = rest, state->near = half;
            if (done) *done = 1;
            DrawLines(request, fresh, rows, 0, 0, size);
        } else {
            DrawLines(request, fresh, rows, 0, state->near - half, half);
            DrawLines(request, fresh, rows, half, state->far, rest);
        }
        state->near += s, state->far -= s;
    }
    if (request->phase == 1) FinishFxFrame(request);
    return 0;
}

} // namespace

int GatesStep(FxRequest *request, int *done) {
    const int32_t id = request->effect; // 74..77: H open, H close, V open, V close
    return GateStep(request, done, id <= 75, id % 2 == 0);
}
