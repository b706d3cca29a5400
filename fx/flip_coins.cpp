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
    int32_t lastX, lastY, lastWidth, lastHeight;
    uint32_t colour;
};

struct CrushState {
    FxScratch scratch; // first: FreeFxScratch finds it there
};

bool Vertical(const FxRequest *request) { return FxVariantOf(request).axis == kFxAxisV; }

int FlipCoinSetup(FxRequest *request) {
    const int32_t size = Vertical(request) ? request->height : request->width;
    FlipCoinState *state = AllocFxState<FlipCoinState>(request);
    if (!state) return kErrOutOfMemory;
    state->colour = request->parameter == kFxRandomParameter ? 0 : uint32_t(request->parameter) & 0xFFFFFFu;
    request->step = FxStepOf(request, size);
    request->frameCount = EffectStepCount(2 * size - request->step, request->step, 0);
    // The last position is held at 2 x size: past it the new picture would end squeezed short of the area.
    request->run = {0, request->step, 2 * size};
    return 0;
}

// The position runs to the size with the old picture squeezing, then on to twice that with the new one widening.
int FlipCoinDraw(FxRequest *request, int32_t position) {
    const bool vertical = Vertical(request), low = FxVariantOf(request).direction != kFxCentre;
    const int32_t w = request->width, h = request->height, size = vertical ? h : w;
    FlipCoinState *state = FxState<FlipCoinState>(request);
    if (request->phase == 2) FillFxRect(request, 0, 0, w, h, state->colour, kFxRectNoPresent);
    else if (request->frame == 0) state->lastX = state->lastY = 0, state->lastWidth = w, state->lastHeight = h;
    const int32_t extent = std::max(std::abs(position - size), 1);
    const int32_t rw = vertical ? w : extent, rh = vertical ? extent : h;
    const int32_t x = vertical ? 0 : low ? w - extent : (w - extent) / 2;
    const int32_t y = vertical ? (low ? h - extent : (h - extent) / 2) : 0;
    if (position <= size && request->phase == 1) {
        const int32_t lx = state->lastX, ly = state->lastY, lw = state->lastWidth, lh = state->lastHeight;
        const uint32_t c = state->colour;
        if (vertical && low) FillFxRect(request, 0, ly, lw, lh - extent, c, 0);
        else if (low) FillFxRect(request, lx, 0, lw - extent, lh, c, 0);
        else if (vertical) {
            FillFxRect(request, lx, ly, lw, y - ly + 1, c, 0);
            FillFxRect(request, lx, y + extent - 1, lw, ly + lh - (y + extent) + 1, c, 0);
        } else {
            FillFxRect(request, lx, ly, x - lx + 1, lh, c, 0);
            FillFxRect(request, x + extent - 1, ly, lx + lw - (x + extent) + 1, lh, c, 0);
        }
        state->lastX = x, state->lastY = y, state->lastWidth = rw, state->lastHeight = rh;
    }
    const HostBitmap *picture = position <= size ? request->oldImage : request->newImage;
    return DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, 0, 0, w, h, x, y, rw, rh, nullptr);
}

bool Across(const FxRequest *request) {
    const FxDirection from = FxVariantOf(request).direction;
    return from == kFxWest || from == kFxEast;
}

int CrushSetup(FxRequest *request) {
    const int32_t size = Across(request) ? request->width : request->height;
    if (!AllocFxState<CrushState>(request)) return kErrOutOfMemory;
    request->step = FxStepOf(request, size);
    SetFxRunToSize(request, size);
    return 0;
}

// The position is the width (or height) the new picture has taken.
int CrushDraw(FxRequest *request, int32_t p) {
    const FxDirection from = FxVariantOf(request).direction;
    const bool across = Across(request), fromEnd = from == kFxEast || from == kFxSouth;
    const int32_t w = request->width, h = request->height, size = across ? w : h;
    CrushState *state = FxState<CrushState>(request);
    // The band [at, at + extent) along the moving axis, the picture squeezed into it.
    const auto band = [&](const HostBitmap *picture, int32_t at, int32_t extent) {
        return across ? DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, 0, 0, w, h, at, 0, extent, h, nullptr)
                      : DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, 0, 0, w, h, 0, at, w, extent, nullptr);
    };
    int error = band(request->newImage, fromEnd ? size - p : 0, p);
    if (!error && size - p > 0) error = band(request->oldImage, fromEnd ? 0 : p, size - p);
    return error;
}

} // namespace

const FxFamily FlipCoinFamily = {FlipCoinSetup, FlipCoinDraw, FreeFxScratch};
const FxFamily CrushFamily = {CrushSetup, CrushDraw, FreeFxScratch};
