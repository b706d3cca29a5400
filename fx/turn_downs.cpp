// Turn-downs: the picture turns over like a page folded along the area's middle. The new near half unfolds from
// the edge while the old near half is squeezed towards the middle; then the new far half unfolds over the old one.
// BOTTOM and RIGHT are TOP and LEFT mirrored along their axis.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct TurnDownState {
    FxScratch scratch; // first: FreeFxScratch finds it there
};

bool Rows(const FxRequest *request) {
    const FxDirection from = FxVariantOf(request).direction;
    return from == kFxNorth || from == kFxSouth;
}

int TurnDownSetup(FxRequest *request) {
    const int32_t size = Rows(request) ? request->height : request->width;
    if (!AllocFxState<TurnDownState>(request)) return kErrOutOfMemory;
    request->step = FxStepOf(request, size);
    SetFxRunToSize(request, size);
    return 0;
}

// The position is how far the turn has come from the turning edge.
int TurnDownDraw(FxRequest *request, int32_t t) {
    const FxDirection from = FxVariantOf(request).direction;
    const bool rows = Rows(request), mirrored = from == kFxSouth || from == kFxEast;
    const int32_t w = request->width, h = request->height, size = rows ? h : w;
    TurnDownState *state = FxState<TurnDownState>(request);
    const int32_t step = request->step, near = size / 2; // the far half has the odd line
    // Lines [from, from + count) of a picture squeezed into [to, to + extent), counted from the turning edge.
    const auto piece = [&](const HostBitmap *picture, int32_t start, int32_t count, int32_t to, int32_t extent) {
        if (mirrored) start = size - start - count, to = size - to - extent;
        return rows ? DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, 0, start, w, count, 0, to, w, extent, nullptr)
                    : DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, start, 0, count, h, to, 0, extent, h, nullptr);
    };
    int error = 0;
    if (t >= size) {
        error = piece(request->newImage, 0, size, 0, size);
    } else if (t <= near) {
        const int32_t a = t + step <= near ? t : near;
        error = piece(request->newImage, 0, near, 0, a);
        if (!error && a < near) error = piece(request->oldImage, 0, near, a, near - a);
    } else {
        if (request->phase == 2) error = piece(request->newImage, 0, near, 0, near);
        if (!error) error = piece(request->newImage, near, size - near, near, t - near);
    }
    return error;
}

} // namespace

const FxFamily TurnDownFamily = {TurnDownSetup, TurnDownDraw, FreeFxScratch};
