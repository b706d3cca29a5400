// ROLLTOP, ROLLLEFT, WALLPAPERTOP and WALLPAPERLEFT unroll the new picture like a cylinder moving down (or right)
// over the old one: the lines behind the cylinder lie flat, the band just before it shows the picture's next
// lines curled back over it. Each frame is composed whole from the old picture, the flat part and the band; a
// real-time layer takes the flat part and the band with their own mask or alpha into its cleared planes.
#include <algorithm>
#include <cmath>

#include "fx/effect_families.h"
#include "fx/realtime_layer.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/effects.h"
#include "imaging/planes.h"
#include "runtime/app/errors.h"

namespace {


struct RollState {
    HostBitmap *work;    // the cylinder band
    HostBitmap *compose; // the frame
    MaskPlane *workMask;
    AlphaPlane *workAlpha;
    double *arc;
    int32_t radius;
    int32_t size;
    int32_t horizontal;
};

// Lines (or columns) [from, to) of source onto the frame through the planes.
void ComposeLines(FxRequest *request, RollState *state, const HostBitmap *source, const MaskPlane *mask,
                  const AlphaPlane *alpha, int32_t from, int32_t to) {
    from = std::max(from, 0), to = std::min(to, state->size);
    if (from >= to) return;
    const int32_t w = request->width, h = request->height;
    const int32_t x = state->horizontal ? from : 0, y = state->horizontal ? 0 : from;
    const int32_t cw = state->horizontal ? to - from : w, ch = state->horizontal ? h : to - from;
    if (DrawsLayerPlane(request)) DrawIntoLayer(request, source, mask, alpha, x, y, x, y, cw, ch);
    else SAFEBLT(source, x, y, state->compose, x, y, cw, ch, w, h, w, h, kBlitMasked | kBlitToBitmap, mask, alpha, nullptr);
}

int RollSetup(FxRequest *request) {
    const int32_t w = request->width, h = request->height;
    RollState *state = AllocFxState<RollState>(request);
    if (!state) return kErrOutOfMemory;
    const bool layer = DrawsLayerPlane(request);
    if (!layer && !request->oldImage) return kErrWrongUsage;
    state->horizontal = FxVariantOf(request).direction == kFxWest;
    state->size = state->horizontal ? w : h;
    const bool wallpaper = request->row->family == &WallpaperFamily;
    state->radius = std::max(wallpaper ? state->size / 2 : state->size / 6 / 2, 20);
    request->step = FxStepOf(request);
    state->work = AllocHostBitmapFormat(w, h, request->newImage->format);
    if (!layer) state->compose = AllocHostBitmapFormat(w, h, request->newImage->format);
    state->workMask = AllocMaskPlane(nullptr, w, h);
    state->arc = static_cast<double *>(AllocBlock(size_t(state->radius) * sizeof(double), 0));
    if (!state->work || (!layer && !state->compose) || !state->workMask || !state->arc) return kErrOutOfMemory;
    if (request->newAlpha && !(state->workAlpha = AllocAlphaPlane(w, h))) return kErrOutOfMemory;
    for (int32_t i = 0; i < state->radius; i++)
        state->arc[i] = M_PI / 2 + std::asin(1.0 - 2.0 * i / state->radius);
    request->frameCount = EffectStepCount(state->size, request->step, 1);
    request->run = {0, request->step, state->size};
    return 0;
}

// The position is the line the roll has reached.
int RollDraw(FxRequest *request, int32_t p) {
    const int32_t w = request->width, h = request->height;
    RollState *state = FxState<RollState>(request);
    const bool layer = DrawsLayerPlane(request);
    if (layer) ClearLayerPlanes(request);
    // The old picture shows from the end of the flat part on; an opaque new picture covers all before it.
    const bool opaque = !request->newMask && !request->newAlpha;
    auto oldFrom = [&](int32_t line) {
        if (layer) return;
        const int32_t from = opaque ? std::clamp(line, 0, state->size) : 0;
        if (state->horizontal) BLTBITMAP(request->oldImage, from, 0, state->compose, from, 0, w - from, h);
        else BLTBITMAP(request->oldImage, 0, from, state->compose, 0, from, w, h - from);
    };
    if (p >= state->size) {
        oldFrom(state->size);
        ComposeLines(request, state, request->newImage, request->newMask, request->newAlpha, 0, state->size);
    } else {
        // The band is drawn only where the kernel copied a pixel, so its planes start clear every frame; the
        // kernel writes and the frame reads no line outside the radius before the position.
        const int32_t bandFrom = std::max(p - state->radius + 1, 0), bandTo = std::min(p + 1, state->size);
        if (bandFrom < bandTo) {
            const int32_t bx = state->horizontal ? bandFrom : 0, by = state->horizontal ? 0 : bandFrom;
            const int32_t bw = state->horizontal ? bandTo - bandFrom : w, bh = state->horizontal ? h : bandTo - bandFrom;
            FillMaskRect(state->workMask, bx, by, bw, bh, MASKINVISIBLE);
            if (state->workAlpha) FillAlphaRect(state->workAlpha, bx, by, bw, bh, 0);
        }
        RollParams params;
        params.source = BitmapPixels(request->newImage);
        params.source.width = w, params.source.height = h;
        params.dest = BitmapPixels(state->work);
        params.sourceMask = MaskPixels(request->newMask, w, h);
        params.sourceAlpha = AlphaPixels(request->newAlpha);
        params.destMask = MaskPixels(state->workMask, w, h);
        params.destAlpha = AlphaPixels(state->workAlpha);
        params.position = p, params.radius = state->radius, params.horizontal = state->horizontal, params.arc = state->arc;
        RollFrame(&params);
        // Everything before the band's first line lies flat; with no band (its source lines are all past the
        // picture's end) the flat part reaches the position.
        const int32_t flatEnd = params.linesDrawn > 0 ? params.firstLine : p + 1;
        oldFrom(flatEnd);
        ComposeLines(request, state, request->newImage, request->newMask, request->newAlpha, 0, flatEnd);
        ComposeLines(request, state, state->work, state->workAlpha ? nullptr : state->workMask, state->workAlpha,
                     flatEnd, p + 1);
    }
    if (!layer) DrawFxPicture(request, state->compose, request->bltFlags);
    return 0;
}

void RollFinish(FxRequest *request, int) {
    RollState *state = FxState<RollState>(request);
    FreeHostBitmap(state->work);
    FreeHostBitmap(state->compose);
    FreeMaskPlane(state->workMask);
    FreeAlphaPlane(state->workAlpha);
    FreeBlock(state->arc);
    state->work = state->compose = nullptr, state->workMask = nullptr, state->workAlpha = nullptr, state->arc = nullptr;
}

} // namespace

const FxFamily RollFamily = {RollSetup, RollDraw, RollFinish};
const FxFamily WallpaperFamily = {RollSetup, RollDraw, RollFinish};
