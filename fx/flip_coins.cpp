// Flip coins squeeze the old picture to a line, as a coin turning edge-on, and widen the new one out of it over a
// colour (the parameter, 0xRRGGBB; -1 black). Crushes push the new picture in from a side while the old one is
// squeezed into the rest. Masks and alpha are not used.
#include <algorithm>
#include <cstdlib>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct FlipCoinState {
    FxScratch scratch; // first: FreeFxScratch finds it there
    int32_t position;
    int32_t lastX, lastY, lastWidth, lastHeight;
    uint32_t colour;
};

struct CrushState {
    FxScratch scratch; // first: FreeFxScratch finds it there
    int32_t position;
};

} // namespace

int FlipCoinStep(FxRequest *request, int *done) {
    const int32_t id = request->effect; // 124..127: V, VLOW, H, HLOW
    const bool vertical = id <= 125, low = id == 125 || id == 127;
    const int32_t w = request->width, h = request->height, size = vertical ? h : w;
    if (request->phase == 0) {
        FlipCoinState *state = AllocFxState<FlipCoinState>(request);
        if (!state) return kErrOutOfMemoryCode;
        state->colour = request->parameter == kFxRandomParameter ? 0 : uint32_t(request->parameter) & 0xFFFFFFu;
        request->step = ClampFxStep(EffectStepSize(request->step, size, 60, 30, 120), 2 * size);
        request->frameCount = EffectStepCount(2 * size - request->step, request->step, 0);
        return 0;
    }
    if (request->phase != 1 && request->phase != 2) return 0;
    FlipCoinState *state = FxState<FlipCoinState>(request);
    int32_t position = state->position;
    if (request->phase == 2) {
        FillFxRect(request, 0, 0, w, h, state->colour, kFxRectNoPresent);
        position = int32_t(std::min<int64_t>(int64_t(request->frame) * request->step, 2 * int64_t(size)));
    } else if (request->frame == 0) {
        position = request->step;
        state->lastX = state->lastY = 0, state->lastWidth = w, state->lastHeight = h;
    }
    // The last position is held at 2 x size: past it the new picture would end squeezed short of the area.
    if (position >= 2 * size) {
        position = 2 * size;
        if (done) *done = 1;
    }
    const int32_t extent = std::max(std::abs(position - size), 1);
    const int32_t rw = vertical ? w : extent, rh = vertical ? extent : h;
    const int32_t x = vertical ? 0 : low ? w - extent : (w - extent) / 2;
    const int32_t y = vertical ? (low ? h - extent : (h - extent) / 2) : 0;
    if (position <= size && request->phase == 1) {
        const int32_t lx = state->lastX, ly = state->lastY, lw = state->lastWidth, lh = state->lastHeight;
        const uint32_t c = state->colour;
        if (id == 125) FillFxRect(request, 0, ly, lw, lh - extent, c, 0);
        else if (id == 127) FillFxRect(request, lx, 0, lw - extent, lh, c, 0);
        else if (id == 124) {
            FillFxRect(request, lx, ly, lw, y - ly + 1, c, 0);
            FillFxRect(request, lx, y + extent - 1, lw, ly + lh - (y + extent) + 1, c, 0);
        } else {
            FillFxRect(request, lx, ly, x - lx + 1, lh, c, 0);
            FillFxRect(request, x + extent - 1, ly, lx + lw - (x + extent) + 1, lh, c, 0);
        }
        state->lastX = x, state->lastY = y, state->lastWidth = rw, state->lastHeight = rh;
    }
    const HostBitmap *picture = position <= size ? request->oldImage : request->newImage;
    if (int error = DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, 0, 0, w, h, x, y, rw, rh, nullptr)) return error;
    state->position = position + request->step;
    if (request->phase == 1) FinishFxFrame(request);
    return 0;
}

int CrushStep(FxRequest *request, int *done) {
    const int32_t id = request->effect; // 120..123: left, right, top, bottom
    const bool across = id <= 121, fromEnd = id == 121 || id == 123;
    const int32_t w = request->width, h = request->height, size = across ? w : h;
    if (request->phase == 0) {
        if (!AllocFxState<CrushState>(request)) return kErrOutOfMemoryCode;
        request->step = ClampFxStep(EffectStepSize(request->step, size, 60, 30, 120), size);
        request->frameCount = EffectStepCount(size - request->step, request->step, 0);
        return 0;
    }
    if (request->phase != 1 && request->phase != 2) return 0;
    CrushState *state = FxState<CrushState>(request);
    int32_t p = state->position;
    if (request->phase == 2) p = int32_t(std::min<int64_t>(int64_t(request->frame) * request->step, size));
    else if (request->frame == 0) p = request->step;
    if (p >= size) {
        p = size;
        if (done) *done = 1;
    }
    // The band [at, at + extent) along the moving axis, the picture squeezed into it.
    const auto band = [&](const HostBitmap *picture, int32_t at, int32_t extent) {
        return across ? DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, 0, 0, w, h, at, 0, extent, h, nullptr)
                      : DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, 0, 0, w, h, 0, at, w, extent, nullptr);
    };
    int error = band(request->newImage, fromEnd ? size - p : 0, p);
    if (!error && size - p > 0) error = band(request->oldImage, fromEnd ? 0 : p, size - p);
    if (error) return error;
    state->position = p + request->step;
    if (request->phase == 1) FinishFxFrame(request);
    return 0;
}
