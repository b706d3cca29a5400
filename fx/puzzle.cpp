// PUZZLE draws one square tile of the new image per frame in a random order; DIAGONAL sweeps a staircase of tiles
// from the top-left corner. Neither draws in phase 2: a seek replays them from frame 0.
#include <algorithm>
#include <climits>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"

namespace {

struct PuzzleState {
    int32_t count;
    int32_t columns, tile;
    int32_t *order;
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

int PuzzleSetup(FxRequest *request) {
    PuzzleState *state = AllocFxState<PuzzleState>(request);
    if (!state) return kErrOutOfMemory;
    const int32_t tile = FxStepOf(request);
    state->tile = request->step = tile;
    state->columns = request->width / tile + 1;
    const int64_t count = int64_t(state->columns) * (request->height / tile + 1);
    if (count > INT32_MAX / int64_t(sizeof(int32_t))) return kErrOutOfMemory;
    state->count = int32_t(count);
    state->order = static_cast<int32_t *>(AllocBlock(size_t(count) * sizeof(int32_t), 0));
    if (!state->order || !ShufflePuzzle(state)) return kErrOutOfMemory;
    request->frameCount = EffectStepCount(state->count - 1, 1, 0);
    request->run = {-1, 1, state->count - 1};
    return 0;
}

// The position is the index of the tile in the shuffled order.
int PuzzleDraw(FxRequest *request, int32_t index) {
    const PuzzleState *state = FxState<PuzzleState>(request);
    const int32_t k = state->order[index], t = state->tile;
    DrawFxNewRect(request, (k % state->columns) * t, (k / state->columns) * t, t, t);
    return 0;
}

void PuzzleFinish(FxRequest *request, int) {
    PuzzleState *state = FxState<PuzzleState>(request);
    FreeBlock(state->order);
    state->order = nullptr;
}

int DiagonalSetup(FxRequest *request) {
    const int32_t w = request->width, h = request->height;
    const int32_t tile = request->step = FxStepOf(request, w);
    request->frameCount = EffectStepCount(w + h - tile, tile, 0);
    request->run = {0, tile, w + h};
    return 0;
}

// The position is the front of the staircase; one more row joins it each frame.
int DiagonalDraw(FxRequest *request, int32_t front) {
    const int32_t t = request->step;
    const int32_t rows = int32_t(std::min<int64_t>(int64_t(request->frame) + 1, request->height / t + 1));
    for (int32_t i = 0; i < rows; i++) DrawFxNewRect(request, front - (i + 1) * t, i * t, t, t);
    return 0;
}

} // namespace

const FxFamily PuzzleFamily = {PuzzleSetup, PuzzleDraw, PuzzleFinish};
const FxFamily DiagonalFamily = {DiagonalSetup, DiagonalDraw, nullptr};
