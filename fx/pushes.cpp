// PUSHLEFT/RIGHT/TOP/BOTTOM: the new picture pushes the old one out of the area; both move by the same offset.
// Masks and alpha are not used: both pictures are drawn opaque.
#include <algorithm>

#include "fx/effect_families.h"

namespace {

bool Across(const FxRequest *request) {
    const FxDirection from = FxVariantOf(request).direction;
    return from == kFxWest || from == kFxEast;
}

int PushSetup(FxRequest *request) {
    const int32_t size = Across(request) ? request->width : request->height;
    // The speed rule bounds the step at the size so that the offset cannot overflow.
    request->step = FxStepOf(request, size);
    SetFxRunToSize(request, size);
    return 0;
}

// The position is how far both pictures have moved.
int PushDraw(FxRequest *request, int32_t offset) {
    const bool across = Across(request);
    const int32_t size = across ? request->width : request->height;
    // The new picture enters from the named edge's side, the old one leaves by the other.
    const FxDirection from = FxVariantOf(request).direction;
    const bool forward = from == kFxWest || from == kFxNorth;
    const int32_t newAt = forward ? offset - size : size - offset, oldAt = forward ? offset : -offset;
    const int32_t w = request->width, h = request->height;
    DrawFxPictureRect(request, request->newImage, 0, 0, across ? newAt : 0, across ? 0 : newAt, w, h);
    DrawFxPictureRect(request, request->oldImage, 0, 0, across ? oldAt : 0, across ? 0 : oldAt, w, h);
    return 0;
}

} // namespace

const FxFamily PushFamily = {PushSetup, PushDraw, nullptr};
