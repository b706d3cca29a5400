// PUSHLEFT/RIGHT/TOP/BOTTOM: the new picture pushes the old one out of the area; both move by the same offset.
// Masks and alpha are not used: both pictures are drawn opaque.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct PushState {
    int32_t offset;
};

} // namespace

int PushStep(FxRequest *request, int *done) {
    const int32_t id = request->effect; // 78..81: left, right, top, bottom
    const bool across = id <= 79;
    const int32_t size = across ? request->width : request->height;
    if (request->phase == 0) {
        if (!AllocFxState<PushState>(request)) return kErrOutOfMemoryCode;
        // No bound of its own; capped at the size so that the offset cannot overflow.
        request->step = ClampFxStep(EffectStepSize(request->step, size, 40, 10, 100), size);
        request->frameCount = EffectStepCount(size - request->step, request->step, 0);
        return 0;
    }
    if (request->phase != 1 && request->phase != 2) return 0;
    PushState *state = FxState<PushState>(request);
    int32_t &offset = state->offset;
    if (request->phase == 2) offset = int32_t(std::min<int64_t>(int64_t(request->frame) * request->step, size));
    else if (request->frame == 0) offset = request->step;
    if (offset >= size) {
        offset = size;
        if (done) *done = 1;
    }
    // The new picture enters from the named edge's side, the old one leaves by the other.
    const bool forward = id == 78 || id == 80;
    const int32_t newAt = forward ? offset - size : size - offset, oldAt = forward ? offset : -offset;
    const int32_t w = request->width, h = request->height;
    DrawFxPictureRect(request, request->newImage, 0, 0, across ? newAt : 0, across ? 0 : newAt, w, h);
    DrawFxPictureRect(request, request->oldImage, 0, 0, across ? oldAt : 0, across ? 0 : oldAt, w, h);
    if (request->phase == 1) {
        offset += request->step;
        FinishFxFrame(request);
    }
    return 0;
}
