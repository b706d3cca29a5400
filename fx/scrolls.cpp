// Scrolls move the new picture in from outside the display to its place, or a layer itself (out again when
// hiding). They draw nothing of their own: the effect owns a move of the move engine and steps it once a frame,
// and the move decides the frames and the end.
#include <algorithm>
#include <cstdlib>
#include <utility>

#include "fx/effect_families.h"
#include "fx/realtime_layer.h"
#include "imaging/blit.h"
#include "imaging/position.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/display_record.h"
#include "scene/layers/layers.h"
#include "scene/layers/move_object.h"

namespace {

// The contexts are blocks of their own: a move context is no plain record of the effect's kind.
struct ScrollState {
    MoveContext *move;
    MoveContext *start; // the move as set up: a replay from frame 0 starts from it again
    vlLayer *layer;
    int32_t homeX, homeY; // where the picture ends, and where the layer goes back to
    int32_t stepped;
};

// Start points by the direction the picture comes from (centre, north .. north-west); 0 keeps the coordinate of
// the picture's own place.
constexpr int32_t kScrollStarts[9][2] = {
    {0, 0},
    {0, kPosTopOut},
    {kPosRightOut, kPosTopOut},
    {kPosRightOut, 0},
    {kPosRightOut, kPosBottomOut},
    {0, kPosBottomOut},
    {kPosLeftOut, kPosBottomOut},
    {kPosLeftOut, 0},
    {kPosLeftOut, kPosTopOut},
};

// The steps the move takes on its straight path: a diagonal one runs its major axis (the object's longer side)
// at the full speed and spreads the other axis over the same steps.
int32_t MoveStepCount(const MoveContext &move) {
    const int64_t speed = std::max(MoveSpeedPixels(move.speed), 1);
    const int64_t dx = std::llabs(int64_t(move.x2) - move.x), dy = std::llabs(int64_t(move.y2) - move.y);
    const int64_t major = dx && dy ? (move.width > move.height ? dx : dy) : std::max(dx, dy);
    return int32_t(std::clamp<int64_t>((major + speed - 1) / speed, 1, INT32_MAX));
}

int ScrollSetup(FxRequest *request) {
    ScrollState *state = AllocFxState<ScrollState>(request);
    if (!state || !(state->move = NewMoveContext()) || !(state->start = NewMoveContext())) return kErrOutOfMemory;
    MoveContext &move = *state->move;
    move.state = request->vm;
    move.kind = kMoveKindEmbedded;
    move.embedded = 1;
    state->homeX = request->x, state->homeY = request->y;
    if (vlLayer *layer = request->layer) {
        // The move works in the layer's own coordinates, which its anchor may set apart from where it shows.
        layer->hidden = layer->deferred = 0;
        state->layer = layer;
        state->homeX = layer->first->x, state->homeY = layer->first->y;
        move.layer = layer;
        move.width = layer->first->width, move.height = layer->first->height;
    } else {
        move.bitmap = request->newImage, move.mask = request->newMask, move.alpha = request->newAlpha;
        move.width = request->width, move.height = request->height;
        move.target = request->target;
    }
    const int32_t *start = kScrollStarts[FxVariantOf(request).direction];
    int32_t x = start[0] ? start[0] : state->homeX, y = start[1] ? start[1] : state->homeY;
    int32_t x2 = state->homeX, y2 = state->homeY;
    if (request->reverse) std::swap(x, x2), std::swap(y, y2);
    // A place far outside the output shows nothing on the way there: the path is cut where the picture is out of
    // sight (twice its size beyond the edge, room for any anchor), so that a position of 10^9 is not travelled a
    // step a frame. A layer still ends at its own place (ScrollFinish).
    auto bound = [](int32_t v, int32_t size, int32_t output) {
        if (IsPositionConstant(v)) return v;
        const int64_t margin = 2 * (int64_t(size) + 1);
        return int32_t(std::clamp<int64_t>(v, -margin, int64_t(output) + margin));
    };
    x = bound(x, move.width, request->outWidth), x2 = bound(x2, move.width, request->outWidth);
    y = bound(y, move.height, request->outHeight), y2 = bound(y2, move.height, request->outHeight);
    move.x = x, move.y = y, move.x2 = x2, move.y2 = y2;
    move.fx = request->parameter == kFxRandomParameter ? 0 : request->parameter;
    move.speed = request->step; // the move's own speed rule, not the effects' divisors
    const DisplayRecord *display = CurrentDisplay;
    move.blitFlags = request->mode == kFxModeBGPic && display && display->layersEnabled ? kBlitTransitionLayers : 0;
    if (int error = RunMoveObject(&move)) return error;
    *state->start = move;
    request->frameCount = MoveStepCount(move);
    return 0;
}

// The move engine keeps the position: each frame steps it once.
int ScrollDraw(FxRequest *request, int32_t) {
    ScrollState *state = FxState<ScrollState>(request);
    MoveContext &move = *state->move;
    if (request->frame == 0 && state->stepped) {
        // Played again from the start: the last place drawn is still cleaned up by the first step.
        const int32_t lastX = move.lastX, lastY = move.lastY;
        move = *state->start;
        move.lastX = lastX, move.lastY = lastY;
    }
    if (vlLayer *layer = request->layer) layer->hidden = layer->deferred = 0;
    if (request->bgpicEmu) RedrawFxBackground(request, 2);
    int32_t finished = 0;
    const int error = move.stepFn(&move, &finished);
    state->stepped = 1;
    if (error) return error;
    // The effect's area follows the layer, so that the engine sees a layer the scroll moved as one in place.
    if (const vlLayer *layer = request->layer; layer && layer->current)
        request->x = layer->current->screenX, request->y = layer->current->screenY;
    return finished ? kFxLastFrame : 0;
}

void ScrollFinish(FxRequest *request, int flag) {
    ScrollState *state = FxState<ScrollState>(request);
    // A layer replaced meanwhile is followed by the request; one deleted at the end (a removal) is gone.
    vlLayer *layer = request->layer ? request->layer : state->layer;
    if (layer && GetLayerIndex(layer) > 0) SetLayerPosition(layer, nullptr, state->homeX, state->homeY, 0, 0, nullptr);
    if (MoveContext *move = state->move; move && move->freeFn) move->freeFn(move, flag);
    FreeBlock(state->move);
    FreeBlock(state->start);
    state->move = state->start = nullptr;
}

} // namespace

const FxFamily ScrollFamily = {ScrollSetup, ScrollDraw, ScrollFinish};
