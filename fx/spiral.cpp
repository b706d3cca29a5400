// SPIRAL draws bands of the new image clockwise round the area, three rings deep on a grid of 7 columns and 6
// rows, from the right edge inwards. Its frame count comes from a dry run of the same frames.
#include <algorithm>

#include "fx/effect_families.h"
#include "fx/transition.h"
#include "runtime/app/errors.h"

namespace {

struct SpiralState {
    int32_t pos, segment, x, y;
    int32_t column, row; // every grid column is `column` wide, every row `row` high
};

void ResetSpiral(const FxRequest *request, SpiralState *state) {
    state->pos = state->segment = state->y = 0;
    state->x = request->width - state->column;
}

// Where a segment's moving coordinate stops, and which way it runs (+1 down or right).
void SegmentEnd(const FxRequest *request, const SpiralState *state, int32_t *end, int32_t *direction) {
    const int32_t w = request->width, h = request->height, c = state->column, r = state->row;
    const int32_t ends[12] = {h - 1, 0, 0, w - c, h - r, c, r, w - 2 * c, h - 2 * r, 2 * c, 2 * r, w - 3 * c};
    const int32_t directions[12] = {1, -1, -1, 1, 1, -1, -1, 1, 1, -1, -1, 1};
    *end = ends[state->segment];
    *direction = directions[state->segment];
}

// The fixed coordinate and start of the next segment.
void NextSegment(const FxRequest *request, SpiralState *state) {
    const int32_t w = request->width, h = request->height, c = state->column, r = state->row, s = request->step;
    switch (++state->segment) {
    case 1: state->y = h - r, state->pos = state->x - s; break;
    case 2: state->x = 0, state->pos = state->y - s; break;
    case 3: state->pos = c; break;
    case 4: state->pos = r, state->x = w - 2 * c; break;
    case 5: state->y = h - 2 * r, state->pos = state->x - s; break;
    case 6: state->x = c, state->pos = state->y - s; break;
    case 7: state->y = r, state->pos = 2 * c; break;
    case 8: state->pos = 2 * r, state->x = w - 3 * c; break;
    case 9: state->y = 3 * r, state->pos = state->x - s; break;
    case 10: state->x = 2 * c, state->pos = state->y - s; break;
    case 11: state->y = 2 * r, state->pos = 3 * c; break;
    default: break;
    }
}

// One frame's band, drawn unless dry; true on the last frame.
bool SpiralFrame(FxRequest *request, SpiralState *state, bool draw) {
    const int32_t s = request->step;
    const bool column = state->segment % 2 == 0;
    if (draw) {
        if (column) DrawFxNewRect(request, state->x, state->pos, state->column, s);
        else DrawFxNewRect(request, state->pos, state->y, s, state->row);
    }
    int32_t end = 0, direction = 0;
    SegmentEnd(request, state, &end, &direction);
    if (state->pos == end) {
        if (state->segment == 11) {
            // The grid's rounded cells need not meet exactly: the last frame completes the picture.
            if (draw) DrawFxNewRect(request, 0, 0, request->width, request->height);
            return true;
        }
        NextSegment(request, state);
    } else {
        // A start already past the end (tiny areas) goes straight to the end.
        state->pos = direction > 0 ? std::min(state->pos + s, end) : std::max(state->pos - s, end);
    }
    return false;
}

int SpiralSetup(FxRequest *request) {
    SpiralState *state = AllocFxState<SpiralState>(request);
    if (!state) return kErrOutOfMemory;
    request->step = FxStepOf(request);
    state->column = request->width / 7 + 1;
    state->row = request->height / 6 + 1;
    ResetSpiral(request, state);
    const int64_t limit = FxFrameLimit(request);
    int32_t frames = 0;
    for (bool last = false; frames < limit && !last; frames++) last = SpiralFrame(request, state, false);
    request->frameCount = frames;
    ResetSpiral(request, state);
    return 0;
}

// The band moves on from where the last frame left it.
int SpiralDraw(FxRequest *request, int32_t) {
    SpiralState *state = FxState<SpiralState>(request);
    if (request->frame == 0) ResetSpiral(request, state);
    return SpiralFrame(request, state, true) ? kFxLastFrame : 0;
}

} // namespace

const FxFamily SpiralFamily = {SpiralSetup, SpiralDraw, nullptr};
