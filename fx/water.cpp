// WATER1..WATER4 ripple both pictures with a circular wave from the centre while cross-fading them; STRUDEL swirls
// them about the centre to a full turn and back. The kernels are the imaging core's; this file owns the frame
// sequence and the last frame, which is the new picture itself.
#include <algorithm>
#include <new>

#include "fx/effect_families.h"
#include "host/blit.h"
#include "imaging/effects.h"
#include "runtime/app/errors.h"

namespace {

constexpr double kWaveLengths[] = {32.0, 64.0, 16.0, 8.0};

struct WaterState {
    HostBitmap *work;
    WaterParams *params;
};

struct StrudelState {
    HostBitmap *work;
    StrudelParams *params;
};

// Fills the picture views of a kernel record; false when the pictures do not share the work bitmap's layout.
template <class Params> bool PointAtPictures(Params *params, const FxRequest *request, HostBitmap *work) {
    params->oldPicture = BitmapPixels(request->oldImage);
    params->newPicture = BitmapPixels(request->newImage);
    params->dest = BitmapPixels(work);
    params->dest.width = request->width, params->dest.height = request->height;
    return request->oldImage->bytesPerPixel == work->bytesPerPixel;
}

// A kernel frame into work, or the new picture itself once the effect is over; then to the output.
template <class Kernel> void DrawBlendFrame(FxRequest *request, HostBitmap *work, bool over, Kernel kernel) {
    if (over) {
        DrawFxPicture(request, request->newImage, request->bltFlags);
        return;
    }
    kernel(work->bytesPerPixel);
    DrawFxPicture(request, work, request->bltFlags);
}

int WaterSetup(FxRequest *request) {
    WaterState *state = AllocFxState<WaterState>(request);
    if (!state) return kErrOutOfMemory;
    if (!request->oldImage) return kErrWrongUsage;
    const int32_t w = request->width, h = request->height;
    state->work = AllocHostBitmapFormat(w, h, request->newImage->format);
    state->params = new (std::nothrow) WaterParams;
    if (!state->work || !state->params) return kErrOutOfMemory;
    WaterParams *params = state->params;
    params->waveLength = kWaveLengths[FxVariantOf(request).amount - 1];
    params->amplitude = 0.05;
    params->half = FxStepOf(request); // its speed rule gives the frames of a half
    params->centerX = w / 2, params->centerY = h / 2;
    params->radius = std::max({w / 2, h / 2, 1});
    PointAtPictures(params, request, state->work);
    InitWaterTables(params);
    request->step = 1;
    request->frameCount = EffectStepCount(2 * params->half, 1, 1);
    request->run = {0, 1, 2 * params->half};
    return 0;
}

// The position is the number of frames played; the wave is over after two halves.
int WaterDraw(FxRequest *request, int32_t frame) {
    WaterState *state = FxState<WaterState>(request);
    WaterParams *params = state->params;
    const bool over = frame >= 2 * params->half;
    const bool sameLayout = PointAtPictures(params, request, state->work);
    DrawBlendFrame(request, state->work, over || !sameLayout, [&](int32_t bytes) {
        if (bytes == 4) WaterFrame32(*params, frame);
        else if (bytes == 3) WaterFrame24(*params, frame);
        else if (bytes == 2) WaterFrame16(*params, frame);
    });
    return 0;
}

void WaterFinish(FxRequest *request, int) {
    WaterState *state = FxState<WaterState>(request);
    FreeHostBitmap(state->work);
    delete state->params;
    state->work = nullptr, state->params = nullptr;
}

int StrudelSetup(FxRequest *request) {
    StrudelState *state = AllocFxState<StrudelState>(request);
    if (!state) return kErrOutOfMemory;
    if (!request->oldImage) return kErrWrongUsage;
    state->work = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
    state->params = new (std::nothrow) StrudelParams;
    if (!state->work || !state->params) return kErrOutOfMemory;
    PointAtPictures(state->params, request, state->work);
    InitStrudelTables(state->params);
    request->step = FxStepOf(request);
    request->frameCount = EffectStepCount(720, request->step, 1);
    request->run = {0, request->step, 720};
    return 0;
}

// The position is the swirl's angle in half degrees: a full turn and back.
int StrudelDraw(FxRequest *request, int32_t angle) {
    StrudelState *state = FxState<StrudelState>(request);
    StrudelParams *params = state->params;
    const bool over = angle >= 720;
    const bool sameLayout = PointAtPictures(params, request, state->work);
    DrawBlendFrame(request, state->work, over || !sameLayout, [&](int32_t bytes) {
        if (bytes == 4) StrudelFrame32(*params, angle);
        else if (bytes == 3) StrudelFrame24(*params, angle);
        else if (bytes == 2) StrudelFrame16(*params, angle);
    });
    return 0;
}

void StrudelFinish(FxRequest *request, int) {
    StrudelState *state = FxState<StrudelState>(request);
    FreeHostBitmap(state->work);
    delete state->params;
    state->work = nullptr, state->params = nullptr;
}

} // namespace

const FxFamily WaterFamily = {WaterSetup, WaterDraw, WaterFinish};
const FxFamily StrudelFamily = {StrudelSetup, StrudelDraw, StrudelFinish};
