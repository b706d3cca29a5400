// DISSOLVE: every pixel gets a threshold once, and shows the new picture as soon as the rising level passes it.
#include <algorithm>

#include "fx/effect_families.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/effects.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"

namespace {

struct DissolveState {
    HostBitmap *work;
    MaskPlane *revealMask;
    uint16_t *thresholds;
    int32_t level;
};

// A level step: the speed constants give 4, 8 and 2; a positive speed is clamped to 8, anything else gives 1.
int32_t DissolveLevelStep(int32_t speed) {
    if (speed == -1) return 4;
    if (speed == -2) return 8;
    if (speed == -3) return 2;
    return std::clamp(speed, 1, 8);
}

} // namespace

int DissolveStep(FxRequest *request, int *done) {
    const int32_t w = request->width, h = request->height;
    if (request->phase == 0) {
        DissolveState *state = AllocFxState<DissolveState>(request);
        if (!state) return kErrOutOfMemoryCode;
        if (!request->oldImage) return kErrWrongUsage;
        request->step = DissolveLevelStep(request->step);
        state->work = AllocHostBitmapFormat(w, h, request->newImage->format);
        state->revealMask = AllocMaskPlane(nullptr, w, h);
        state->thresholds = static_cast<uint16_t *>(AllocBlock(size_t(w) * size_t(h) * sizeof(uint16_t), 0));
        if (!state->work || !state->revealMask || !state->thresholds) return kErrOutOfMemoryCode;
        // Drawn once, row after row, so a seeded generator gives the same order every time.
        for (size_t i = 0; i < size_t(w) * size_t(h); i++) state->thresholds[i] = uint16_t(RuntimeRand() % 255);
        request->frameCount = EffectStepCount(256, request->step, 1);
        return 0;
    }
    if (request->phase != 1 && request->phase != 2) return 0;
    DissolveState *state = FxState<DissolveState>(request);
    if (request->phase == 2) state->level = int32_t(std::min<int64_t>(int64_t(request->frame) * request->step, 256));
    else {
        if (request->frame == 0) state->level = 0;
        state->level += request->step;
    }
    MaskPlane *reveal = state->revealMask;
    if (state->level < 256) {
        DissolveParams params;
        params.dest = reveal->bits;
        params.width = w, params.height = h;
        params.destBytesPerRow = reveal->bytesPerRow;
        params.thresholds = state->thresholds;
        DissolveFrame(params, state->level);
    } else {
        if (done) *done = 1;
        FillMaskRect(reveal, 0, 0, w, h, MASKVISIBLE);
    }
    BLTBITMAP(request->oldImage, 0, 0, state->work, 0, 0, w, h);
    SAFEBLT(request->newImage, 0, 0, state->work, 0, 0, w, h, w, h, w, h, kBlitMasked | kBlitToBitmap, reveal, nullptr,
            nullptr);
    DrawFxPicture(request, state->work, request->bltFlags);
    if (request->phase == 1) FinishFxFrame(request);
    return 0;
}

void DissolveFinish(FxRequest *request, int) {
    DissolveState *state = FxState<DissolveState>(request);
    FreeHostBitmap(state->work);
    FreeMaskPlane(state->revealMask);
    FreeBlock(state->thresholds);
    state->work = nullptr, state->revealMask = nullptr, state->thresholds = nullptr;
}
