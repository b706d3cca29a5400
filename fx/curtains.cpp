// Curtains, reveals and line wipes: full-width or full-height bands of the new image that never move once drawn.
// None draws in phase 2 and none has a finish function; HideLayerFX plays the curtain and reveal partners.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

// Draws a band of the new image: columns [p, p + thickness) when vertical, else rows.
void DrawBand(FxRequest *request, bool vertical, int32_t p, int32_t thickness) {
    if (vertical) DrawFxNewRect(request, p, 0, thickness, request->height);
    else DrawFxNewRect(request, 0, p, request->width, thickness);
}

bool Vertical(const FxRequest *request) {
    const FxVariant &variant = FxVariantOf(request);
    return variant.axis == kFxAxisV || variant.direction == kFxWest || variant.direction == kFxEast;
}

int32_t BandSize(const FxRequest *request) { return Vertical(request) ? request->width : request->height; }

// Opening curtains start at the middle line and move a band each way outwards; closing ones come in from both
// edges. Bands are step + 1 thick. The position is how far the band that ends the run has come.
int CurtainsSetup(FxRequest *request) {
    const int32_t size = BandSize(request);
    // Opening: under 2 pixels the bound is 0 and the bands fall outside the picture; the floor keeps the run finite.
    const int32_t s = request->step = FxStepOf(request, size);
    if (FxVariantOf(request).direction == kFxOutwards) {
        request->frameCount = EffectStepCount(size - (s + 1) - (size / 2 - 1), s + 1, 0);
        request->run = {-(s + 1), s + 1, size - (s + 1) - (size / 2 - 1)};
    } else {
        request->frameCount = EffectStepCount(size / 2, s + 1, 0);
        request->run = {-(s + 1), s + 1, size / 2};
    }
    return 0;
}

int CurtainsDraw(FxRequest *request, int32_t position) {
    const bool vertical = Vertical(request);
    const int32_t size = BandSize(request), s = request->step;
    // The other band is not held when the run's band is.
    const int32_t travel = int32_t(std::min<int64_t>(int64_t(request->frame) * (s + 1), INT32_MAX / 2));
    if (FxVariantOf(request).direction == kFxOutwards) {
        const int32_t b = size / 2 - 1 + position;
        int32_t a = size / 2 - travel;
        if (a - s < 0) a = s;
        DrawBand(request, vertical, b, s + 1);
        DrawBand(request, vertical, a - s, s + 1);
    } else {
        DrawBand(request, vertical, position, s + 1);
        DrawBand(request, vertical, size - 1 - travel - s, s + 1);
    }
    return 0;
}

// One band s + 1 thick per frame from the named edge.
int RevealsSetup(FxRequest *request) {
    const int32_t size = BandSize(request);
    const int32_t s = request->step = FxStepOf(request, size);
    request->frameCount = EffectStepCount(size - (s + 1), s + 1, 0);
    // Forwards the band's start moves to size - (s + 1); backwards its end moves from size - 1 to s.
    request->run = {-(s + 1), s + 1, size - (s + 1)};
    return 0;
}

int RevealsDraw(FxRequest *request, int32_t position) {
    const FxDirection from = FxVariantOf(request).direction;
    const int32_t s = request->step;
    if (from == kFxWest || from == kFxNorth) DrawBand(request, Vertical(request), position, s + 1);
    else DrawBand(request, Vertical(request), BandSize(request) - 1 - position - s, s + 1);
    return 0;
}

// VLINES/HLINES: the even lines from the start, then the odd ones back from the end, one a frame.
int LinesSetup(FxRequest *request) {
    request->frameCount = EffectStepCount(2 * BandSize(request), 2, 0);
    request->run = {-2, 2, INT32_MAX};
    return 0;
}

int LinesDraw(FxRequest *request, int32_t b) {
    const int32_t size = BandSize(request);
    int32_t c = b;
    if (b >= size) {
        c = 2 * size - b;
        if (c % 2 == 0) c++;
        c = std::clamp(c, 0, size - 1);
    }
    DrawBand(request, Vertical(request), c, 1);
    return b >= 2 * size ? kFxLastFrame : 0;
}

// VLINES2/HLINES2: even lines from the start and odd lines from the end at once.
int Lines2Setup(FxRequest *request) {
    request->frameCount = EffectStepCount(BandSize(request), 2, 0);
    request->run = {-2, 2, INT32_MAX};
    return 0;
}

int Lines2Draw(FxRequest *request, int32_t b) {
    const int32_t size = BandSize(request);
    const int32_t a = std::max<int64_t>((size % 2 ? size - 2 : size - 1) - int64_t(b), 0);
    DrawBand(request, Vertical(request), std::min(b, size - 1), 1);
    DrawBand(request, Vertical(request), a, 1);
    return b >= size ? kFxLastFrame : 0;
}

} // namespace

const FxFamily CurtainsFamily = {CurtainsSetup, CurtainsDraw, nullptr};
const FxFamily RevealsFamily = {RevealsSetup, RevealsDraw, nullptr};
const FxFamily LinesFamily = {LinesSetup, LinesDraw, nullptr};
const FxFamily Lines2Family = {Lines2Setup, Lines2Draw, nullptr};
