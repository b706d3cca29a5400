// Turn-downs: the picture turns over like a page folded along the area's middle. The new near half unfolds from
// the edge while the old near half is squeezed towards the middle; then the new far half unfolds over the old one.
// BOTTOM and RIGHT are TOP and LEFT mirrored along their axis.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct TurnDownState {
    FxScratch scratch; // first: FreeFxScratch finds it there
    int32_t travel;
};

} // namespace

int TurnDownStep(FxRequest *request, int *done) {
    const int32_t id = request->effect; // 128..131: top, bottom, left, right
    const bool rows = id <= 129, mirrored = id == 129 || id == 131;
    const int32_t w = request->width, h = request->height, size = rows ? h : w;
    if (request->phase == 0) {
        if (!AllocFxState<TurnDownState>(request)) return kErrOutOfMemoryCode;
        request->step = ClampFxStep(EffectStepSize(request->step, size, 60, 30, 120), size);
        request->frameCount = EffectStepCount(size - request->step, request->step, 0);
        return 0;
    }
    if (request->phase != 1 && request->phase != 2) return 0;
    TurnDownState *state = FxState<TurnDownState>(request);
    const int32_t step = request->step, near = size / 2; // the far half has the odd line
    int32_t t = state->travel;
    if (request->phase == 2) t = int32_t(std::min<int64_t>(int64_t(request->frame) * step, size));
    else if (request->frame == 0) t = step;
    // Lines [from, from + count) of a picture squeezed into [to, to + extent), counted from the turning edge.
    const auto piece = [&](const HostBitmap *picture, int32_t from, int32_t count, int32_t to, int32_t extent) {
        if (mirrored) from = size - from - count, to = size - to - extent;
        return rows ? DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, 0, from, w, count, 0, to, w, extent, nullptr)
                    : DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, from, 0, count, h, to, 0, extent, h, nullptr);
    };
    int error = 0;
    if (t >= size) {
        t = size;
        if (done) *done = 1;
        error = piece(request->newImage, 0, size, 0, size);
    } else if (t <= near) {
        const int32_t a = t + step <= near ? t : near;
        error = piece(request->newImage, 0, near, 0, a);
        if (!error && a < near) error = piece(request->oldImage, 0, near, a, near - a);
    } else {
        if (request->phase == 2) error = piece(request->newImage, 0, near, 0, near);
        if (!error) error = piece(request->newImage, near, size - near, near, t - near);
    }
    if (error) return error;
    state->travel = t + step;
    if (request->phase == 1) FinishFxFrame(request);
    return 0;
}
