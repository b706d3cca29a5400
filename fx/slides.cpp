// Slides: the old picture slides out of the area uncovering a colour (the parameter, 0xRRGGBB; -1 black), then
// the new picture slides in from the same side. Masks and alpha are not used.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct SlideState {
    int32_t travel;
    int32_t lastTravel; // the previous frame's travel: the colour is filled up to it
    uint32_t colour;
};

} // namespace

int SlideStep(FxRequest *request, int *done) {
    const int32_t id = request->effect; // 101..104: left, right, top, bottom
    const bool across = id <= 102;
    const int32_t size = across ? request->width : request->height;
    if (request->phase == 0) {
        SlideState *state = AllocFxState<SlideState>(request);
        if (!state) return kErrOutOfMemoryCode;
        state->colour = request->parameter == kFxRandomParameter ? 0 : uint32_t(request->parameter) & 0xFFFFFFu;
        request->step = std::clamp(EffectStepSize(request->step, size, 60, 30, 120), 1, 30);
        request->frameCount = EffectStepCount(2 * size - request->step, request->step, 0);
        return 0;
    }
    if (request->phase != 1 && request->phase != 2) return 0;
    SlideState *state = FxState<SlideState>(request);
    const int32_t w = request->width, h = request->height;
    // Fills the band [from, to) of the uncovered part, counted from the side the pictures move away from.
    const bool forward = id == 101 || id == 103;
    const auto fill = [&](int32_t from, int32_t to, int32_t flags) {
        if (to <= from) return;
        const int32_t at = forward ? from : size - to;
        if (across) FillFxRect(request, at, 0, to - from, h, state->colour, flags);
        else FillFxRect(request, 0, at, w, to - from, state->colour, flags);
    };
    const auto draw = [&](const HostBitmap *picture, int32_t offset) {
        DrawFxPictureRect(request, picture, 0, 0, across ? offset : 0, across ? 0 : offset, w, h);
    };
    int32_t t = state->travel;
    if (request->phase == 2) {
        fill(0, size, kFxRectNoPresent);
        t = int32_t(std::min<int64_t>(int64_t(request->frame) * request->step, 2 * int64_t(size)));
    } else if (request->frame == 0) {
        t = request->step, state->lastTravel = 0;
    }
    bool last = false;
    if (t >= 2 * size) {
        t = 2 * size;
        last = true;
        if (done) *done = 1;
    }
    if (last) {
        draw(request->newImage, 0);
    } else if (t > size) {
        // A step that jumps over the middle leaves part of the old picture: the colour covers it first.
        if (request->phase == 1) fill(state->lastTravel, size, 0);
        draw(request->newImage, forward ? 2 * size - t : t - 2 * size);
    } else {
        if (request->phase == 1) fill(state->lastTravel, t, 0);
        if (t < size) draw(request->oldImage, forward ? t : -t);
    }
    state->lastTravel = t;
    state->travel = t + request->step;
    if (request->phase == 1) FinishFxFrame(request);
    return 0;
}
