// PUZZLE draws one square tile of the new image per frame in a random order; DIAGONAL sweeps a staircase of tiles
// from the top-left corner. Neither draws in phase 2: a seek replays them from frame 0.
#include <algorithm>
#include <climits>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"

namespace {

struct PuzzleState {
    uint32_t index;
    int32_t count;
    int32_t columns, tile;
    int32_t *order;
};

struct DiagonalState {
    int32_t front;
    int32_t rowsActive;
    int32_t tile;
};

// The tile order: a drawn number, probed downwards and then upwards for one not taken yet. A bitset of taken
// numbers keeps this linear per probe (a 1080p picture at FASTSPEED has some 83,000 tiles).
bool ShufflePuzzle(PuzzleState *state) {
    const size_t count = size_t(state->count);
    auto *taken = static_cast<uint8_t *>(AllocBlock((count + 7) / 8, 1));
    if (!taken) return false;
    const auto isTaken = [taken](int64_t n) { return (taken[n >> 3] >> (n & 7)) & 1; };
    for (size_t i = 0; i < count; i++) {
        const int64_t r = std::min<int64_t>(int64_t(RuntimeDrand48() * double(count)), int64_t(count) - 1);
        int64_t n = r;
        while (n >= 0 && isTaken(n)) n--;
        if (n < 0)
            for (n = r + 1; isTaken(n); n++) {
            }
        taken[n >> 3] |= uint8_t(1 << (n & 7));
        state->order[i] = int32_t(n);
    }
    FreeBlock(taken);
    return true;
}

} // namespace

int PuzzleStep(FxRequest *request, int *done) {
    if (request->phase == 0) {
        PuzzleState *state = AllocFxState<PuzzleState>(request);
        if (!state) return kErrOutOfMemoryCode;
        const int32_t tile = std::max(EffectStepSize(request->step, request->width, 20, 10, 30), 5);
        state->tile = request->step = tile;
        state->columns = request->width / tile + 1;
        const int64_t count = int64_t(state->columns) * (request->height / tile + 1);
        if (count > INT32_MAX / int64_t(sizeof(int32_t))) return kErrOutOfMemoryCode;
        state->count = int32_t(count);
        state->order = static_cast<int32_t *>(AllocBlock(size_t(count) * sizeof(int32_t), 0));
        if (!state->order || !ShufflePuzzle(state)) return kErrOutOfMemoryCode;
        request->frameCount = EffectStepCount(state->count - 1, 1, 0);
        return 0;
    }
    if (request->phase != 1) return 0;
    PuzzleState *state = FxState<PuzzleState>(request);
    if (request->frame == 0) state->index = 0;
    if (state->index >= uint32_t(state->count - 1)) {
        state->index = uint32_t(state->count - 1);
        *done = 1;
    }
    const int32_t k = state->order[state->index], t = state->tile;
    DrawFxNewRect(request, (k % state->columns) * t, (k / state->columns) * t, t, t);
    state->index++;
    FinishFxFrame(request);
    return 0;
}

void PuzzleFinish(FxRequest *request, int) {
    PuzzleState *state = FxState<PuzzleState>(request);
    FreeBlock(state->order);
    state->order = nullptr;
}

int DiagonalStep(FxRequest *request, int *done) {
    const int32_t w = request->width, h = request->height;
    if (request->phase == 0) {
        DiagonalState *state = AllocFxState<DiagonalState>(request);
        if (!state) return kErrOutOfMemoryCode;
        int32_t tile = EffectStepSize(request->step, w, 60, 20, 130);
        if (tile > w / 4) tile = 1;
        state->tile = request->step = tile;
        request->frameCount = EffectStepCount(w + h - tile, tile, 0);
        return 0;
    }
    if (request->phase != 1) return 0;
    DiagonalState *state = FxState<DiagonalState>(request);
    const int32_t t = state->tile;
    // Both reset, so that a replay from frame 0 draws the frames of the first run.
    if (request->frame == 0) state->front = t, state->rowsActive = 0;
    if (state->front >= w + h) {
        state->front = w + h;
        *done = 1;
    }
    state->rowsActive = std::min(state->rowsActive + 1, h / t + 1);
    for (int32_t i = 0; i < state->rowsActive; i++) DrawFxNewRect(request, state->front - (i + 1) * t, i * t, t, t);
    state->front += t;
    FinishFxFrame(request);
    return 0;
}
