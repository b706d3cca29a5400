// ZOOMIN shrinks the old picture into the centre over a colour (the parameter, 0xRRGGBB; -1 black), then grows
// the new one out of it. ZOOMOUT magnifies the old picture's centre, then comes back from the new one's centre.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct ZoomInOutState {
    FxScratch scratch; // first: FreeFxScratch finds it there
    int32_t lastX, lastY, lastWidth, lastHeight;
    uint32_t colour;
};

int ZoomInOutSetup(FxRequest *request) {
    const int32_t longest = std::max(request->width, request->height);
    ZoomInOutState *state = AllocFxState<ZoomInOutState>(request);
    if (!state) return kErrOutOfMemory;
    state->colour = request->parameter == kFxRandomParameter ? 0 : uint32_t(request->parameter) & 0xFFFFFFu;
    request->step = FxStepOf(request, longest);
    request->frameCount = EffectStepCount(2 * longest - request->step, request->step, 0);
    request->run = {0, request->step, 2 * longest};
    return 0;
}

// The position runs to the long side with the old picture, then on to twice that with the new one.
int ZoomInOutDraw(FxRequest *request, int32_t t) {
    const bool zoomIn = FxVariantOf(request).direction == kFxInwards;
    const int32_t w = request->width, h = request->height, longest = std::max(w, h), shortest = std::min(w, h);
    ZoomInOutState *state = FxState<ZoomInOutState>(request);
    if (request->phase == 2) {
        if (zoomIn) FillFxRect(request, 0, 0, w, h, state->colour, kFxRectNoPresent);
    } else if (request->frame == 0) {
        state->lastX = state->lastY = 0, state->lastWidth = w, state->lastHeight = h;
    }
    int32_t rw = w, rh = h;
    if (t < 2 * longest) {
        const int32_t d = std::max(t <= longest ? longest - t : t - longest, 1);
        const int32_t side = std::max<int32_t>(1, int32_t(int64_t(d) * shortest / longest + 1));
        if (w < h) rw = side, rh = d;
        else rw = d, rh = side;
    }
    const int32_t x = (w - rw) / 2, y = (h - rh) / 2;
    const HostBitmap *picture = t > longest ? request->newImage : request->oldImage;
    if (!zoomIn) return DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, x, y, rw, rh, 0, 0, w, h, nullptr);
    if (request->phase == 1 && t <= longest) {
        // The margins the shrinking picture leaves, each overlapping the new rectangle by one line.
        const int32_t lx = state->lastX, ly = state->lastY, lw = state->lastWidth, lh = state->lastHeight;
        FillFxRect(request, lx, ly, x - lx + 1, lh, state->colour, 0);
        FillFxRect(request, lx, ly, lw, y - ly + 1, state->colour, 0);
        FillFxRect(request, x + rw - 1, ly, lx + lw - x - rw + 1, lh, state->colour, 0);
        FillFxRect(request, lx, y + rh - 1, lw, ly + lh - y - rh + 1, state->colour, 0);
    }
    const int error = DrawFxScaled(request, &state->scratch, picture, nullptr, nullptr, 0, 0, w, h, x, y, rw, rh, nullptr);
    state->lastX = x, state->lastY = y, state->lastWidth = rw, state->lastHeight = rh;
    return error;
}

} // namespace

const FxFamily ZoomInOutFamily = {ZoomInOutSetup, ZoomInOutDraw, FreeFxScratch};
