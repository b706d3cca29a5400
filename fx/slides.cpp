// Slides: the old picture slides out of the area uncovering a colour (the parameter, 0xRRGGBB; -1 black), then
// the new picture slides in from the same side. Masks and alpha are not used.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct SlideState {
    int32_t lastTravel; // the previous frame's travel: the colour is filled up to it
    uint32_t colour;
};

bool Across(const FxRequest *request) {
    const FxDirection from = FxVariantOf(request).direction;
    return from == kFxWest || from == kFxEast;
}

int SlideSetup(FxRequest *request) {
    const int32_t size = Across(request) ? request->width : request->height;
    SlideState *state = AllocFxState<SlideState>(request);
    if (!state) return kErrOutOfMemory;
    state->colour = request->parameter == kFxRandomParameter ? 0 : uint32_t(request->parameter) & 0xFFFFFFu;
    request->step = FxStepOf(request, size);
    request->frameCount = EffectStepCount(2 * size - request->step, request->step, 0);
    request->run = {0, request->step, 2 * size};
    return 0;
}

// The position is the travel: the old picture's out to the size, then the new picture's in.
int SlideDraw(FxRequest *request, int32_t t) {
    SlideState *state = FxState<SlideState>(request);
    const bool across = Across(request);
    const int32_t w = request->width, h = request->height, size = across ? w : h;
    // Fills the band [from, to) of the uncovered part, counted from the side the pictures move away from.
    const FxDirection from = FxVariantOf(request).direction;
    const bool forward = from == kFxWest || from == kFxNorth;
    const auto fill = [&](int32_t start, int32_t to, int32_t flags) {
        if (to <= start) return;
        const int32_t at = forward ? start : size - to;
        if (across) FillFxRect(request, at, 0, to - start, h, state->colour, flags);
        else FillFxRect(request, 0, at, w, to - start, state->colour, flags);
    };
    const auto draw = [&](const HostBitmap *picture, int32_t offset) {
        DrawFxPictureRect(request, picture, 0, 0, across ? offset : 0, across ? 0 : offset, w, h);
    };
    if (request->phase == 2) fill(0, size, kFxRectNoPresent);
    else if (request->frame == 0) state->lastTravel = 0;
    if (t >= 2 * size) {
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
    return 0;
}

} // namespace

const FxFamily SlideFamily = {SlideSetup, SlideDraw, nullptr};
