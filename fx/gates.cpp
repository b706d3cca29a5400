// Gates: the area splits in two wings that move apart (open: the old picture leaves, uncovering the new one from
// the middle) or together (close: the new picture's wings come in over the old one). H gates move rows, V gates
// columns. Masks and alpha are not used.
#include <algorithm>

#include "fx/effect_families.h"

namespace {

// Rows [from, from + count) of a picture at row `to` (columns for the V gates).
void DrawLines(FxRequest *request, const HostBitmap *picture, bool rows, int32_t from, int32_t to, int32_t count) {
    if (rows) DrawFxPictureRect(request, picture, 0, from, 0, to, request->width, count);
    else DrawFxPictureRect(request, picture, from, 0, to, 0, count, request->height);
}

bool Rows(const FxRequest *request) { return FxVariantOf(request).axis == kFxAxisH; }
bool Opening(const FxRequest *request) { return FxVariantOf(request).direction == kFxOutwards; }

int GatesSetup(FxRequest *request) {
    const int32_t size = Rows(request) ? request->height : request->width;
    const int32_t half = size / 2, rest = size - half;
    // The speed rule bounds the step at the size so that the edges cannot overflow.
    const int32_t s = request->step = FxStepOf(request, size);
    const int32_t travel = Opening(request) ? rest : half;
    request->frameCount = EffectStepCount(travel - s, s, 0);
    request->run = {0, s, travel};
    return 0;
}

// The position is how far each wing has moved.
int GatesDraw(FxRequest *request, int32_t travel) {
    const bool rows = Rows(request);
    const int32_t size = rows ? request->height : request->width;
    const int32_t half = size / 2, rest = size - half, s = request->step;
    const bool fullRedraw = request->phase == 2;
    const HostBitmap *fresh = request->newImage, *old = request->oldImage;
    if (Opening(request)) {
        const int32_t near = rest - travel, far = half + travel;
        if (fullRedraw) DrawLines(request, fresh, rows, near, near, far - near + 1);
        DrawLines(request, old, rows, 0, near - half, half);
        if (!fullRedraw) {
            DrawLines(request, fresh, rows, near, near, s);
            DrawLines(request, fresh, rows, far - s, far - s, s);
        }
        DrawLines(request, old, rows, half, far, rest);
        return 0;
    }
    if (fullRedraw && old) DrawLines(request, old, rows, 0, 0, size);
    if (travel >= half) {
        DrawLines(request, fresh, rows, 0, 0, size);
    } else {
        DrawLines(request, fresh, rows, 0, travel - half, half);
        DrawLines(request, fresh, rows, half, size - travel, rest);
    }
    return 0;
}

} // namespace

const FxFamily GatesFamily = {GatesSetup, GatesDraw, nullptr};
