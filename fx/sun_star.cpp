// SUN and STAR uncover the new picture through a shape growing from the centre: an ellipse with the picture's
// proportions, or a five-pointed star. Each frame the shape is clipped to the picture and filled into a mask,
// and the old picture with the new one drawn through that mask goes to the output; a real-time layer takes the mask
// as its own.
#include <algorithm>

#include "fx/effect_families.h"
#include "fx/realtime_layer.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/raster.h"
#include "runtime/app/errors.h"

namespace {

constexpr int32_t kShapePoints = 1024; // an ellipse has 361 points, clipping adds at most one per edge crossing

struct ShapeState {
    HostBitmap *work;
    MaskPlane *shapeMask;
    AlphaPlane *shapeAlpha;
    int32_t points[2][2 * kShapePoints];
};

double Ratio(int32_t w, int32_t h) { return double(std::min(w, h)) / double(std::max(w, h)); }

// The shorter extent of a shape whose longer one is size.
int32_t ShortExtent(int32_t size, double ratio) { return int32_t(size * ratio + 1.0); }

// Clips the points in buffer 0 to the picture; returns the count and leaves the result in *result.
int32_t ClipToPicture(ShapeState *state, int32_t count, int32_t w, int32_t h, int32_t **result) {
    int32_t *in = state->points[0], *out = state->points[1];
    const int32_t edges[4] = {0, 0, w - 1, h - 1};
    for (int32_t side = 0; side < 4 && count > 0; side++) {
        count = ClipPolygonToEdge(count, in, out, edges[side], side, kShapePoints);
        std::swap(in, out);
    }
    *result = in;
    return count;
}

// The ellipse of this size (the whole turn: the polygon closes itself), centred and clipped; true when only corners of the picture are left (it covers all).
bool BuildSun(ShapeState *state, int32_t size, int32_t w, int32_t h, int32_t **points, int32_t *count) {
    const double ratio = Ratio(w, h);
    int32_t ew = size, eh = std::max(ShortExtent(size, ratio), 3);
    if (w < h) std::swap(ew, eh);
    ew = std::max(ew, 3), eh = std::max(eh, 3);
    ew += 1 - ew % 2, eh += 1 - eh % 2;
    int32_t n = EllipseArcPoints(state->points[0], ew / 2, eh / 2, 0, 359, 361);
    const int32_t ox = (w - ew) / 2, oy = (h - eh) / 2;
    for (int32_t i = 0; i < n; i++) state->points[0][2 * i] += ox, state->points[0][2 * i + 1] += oy;
    n = ClipToPicture(state, n, w, h, points);
    *count = n;
    for (int32_t i = 0; i < n; i++) {
        const int32_t x = (*points)[2 * i], y = (*points)[2 * i + 1];
        if ((x != 0 && x != w - 1) || (y != 0 && y != h - 1)) return false;
    }
    return true;
}

void StarExtents(int32_t size, int32_t w, int32_t h, int32_t *sx, int32_t *sy) {
    const int32_t other = std::max(1, ShortExtent(size, Ratio(w, h)));
    *sx = w >= h ? size : other;
    *sy = w >= h ? other : size;
}

int32_t BuildStar(ShapeState *state, int32_t size, int32_t w, int32_t h, int32_t **points) {
    int32_t sx, sy;
    StarExtents(size, w, h, &sx, &sy);
    const int32_t ox = (w - sx) / 2, oy = (h - sy) / 2;
    const int32_t a = int32_t(0.375 * sy), b = int32_t(0.6 * sy), c = int32_t(0.4 * sx), d = int32_t(0.3 * sx);
    const int32_t e = sx / 5, f = sy / 4;
    const int32_t star[22] = {ox,          oy + a,      ox + c,      oy + a,          ox + sx / 2, oy,
                              ox + sx - c, oy + a,      ox + sx - 1, oy + a,          ox + sx - d, oy + b,
                              ox + sx - e, oy + sy - 1, ox + sx / 2, oy + sy - f,     ox + e,      oy + sy - 1,
                              ox + d,      oy + b,      ox,          oy + a};
    std::copy(star, star + 22, state->points[0]);
    return ClipToPicture(state, 11, w, h, points);
}

// Fills the shape and draws the old picture with the new one through it. The rasteriser sets a pixel whose
// centre is inside, so vertices on the last column and row move out to the picture's edge: a shape that
// reaches them covers those pixels too.
int DrawShapeFrame(FxRequest *request, ShapeState *state, int32_t *points, int32_t count, bool whole) {
    const int32_t w = request->width, h = request->height;
    MaskPlane *shape = state->shapeMask;
    if (whole) {
        FillMaskRect(shape, 0, 0, w, h, MASKVISIBLE);
    } else {
        FillMaskRect(shape, 0, 0, w, h, MASKINVISIBLE);
        for (int32_t i = 0; i < count; i++) {
            if (points[2 * i] == w - 1) points[2 * i] = w;
            if (points[2 * i + 1] == h - 1) points[2 * i + 1] = h;
        }
        if (count >= 3)
            if (int error = FillPolygonMask(shape, points, count, nullptr, 0)) return error;
    }
    if (DrawsLayerPlane(request)) {
        RevealInLayer(request, shape);
        return 0;
    }
    const MaskPlane *mask = shape;
    if (request->newMask) BlitTemplateToMask(request->newMask, 0, 0, shape, 0, 0, w, h, TemplateMaskAnd);
    if (request->newAlpha && state->shapeAlpha) {
        for (int32_t y = 0; y < h; y++) {
            const uint8_t *source = request->newAlpha->bytes + size_t(y) * size_t(request->newAlpha->bytesPerRow);
            uint8_t *row = state->shapeAlpha->bytes + size_t(y) * size_t(state->shapeAlpha->bytesPerRow);
            for (int32_t x = 0; x < w; x++) row[x] = MaskBit(shape, x, y) ? source[x] : 0;
        }
        mask = nullptr;
    }
    BLTBITMAP(request->oldImage, 0, 0, state->work, 0, 0, w, h);
    SAFEBLT(request->newImage, 0, 0, state->work, 0, 0, w, h, w, h, w, h, kBlitMasked | kBlitToBitmap, mask,
            mask ? nullptr : state->shapeAlpha, nullptr);
    DrawFxPicture(request, state->work, request->bltFlags);
    return 0;
}

int ShapeSetUp(FxRequest *request) {
    ShapeState *state = AllocFxState<ShapeState>(request);
    if (!state) return kErrOutOfMemory;
    const int32_t w = request->width, h = request->height;
    request->step = FxStepOf(request);
    // The position is the shape's size, from 10 a step a frame.
    request->run = {10, request->step, INT32_MAX / 2};
    if (DrawsLayerPlane(request)) return (state->shapeMask = AllocMaskPlane(nullptr, w, h)) ? 0 : kErrOutOfMemory;
    if (!request->oldImage) return kErrWrongUsage;
    state->work = AllocHostBitmapFormat(w, h, request->newImage->format);
    state->shapeMask = AllocMaskPlane(nullptr, w, h);
    if (!state->work || !state->shapeMask) return kErrOutOfMemory;
    if (request->newAlpha && !(state->shapeAlpha = AllocAlphaPlane(w, h))) return kErrOutOfMemory;
    return 0;
}


int SunSetup(FxRequest *request) {
    const int32_t w = request->width, h = request->height;
    if (int error = ShapeSetUp(request)) return error;
    // Counted by running the sizes without drawing: the first ellipse with only corners left is the last.
    ShapeState *state = FxState<ShapeState>(request);
    int32_t frames = 1, *points = nullptr, count = 0;
    const int64_t cap = 8 * int64_t(std::max(w, h)) + 100;
    for (int64_t size = request->step + 10; size < cap && !BuildSun(state, int32_t(size), w, h, &points, &count);
         size += request->step)
        frames++;
    request->frameCount = frames;
    return 0;
}

int SunDraw(FxRequest *request, int32_t size) {
    const int32_t w = request->width, h = request->height;
    ShapeState *state = FxState<ShapeState>(request);
    int32_t *points = nullptr, count = 0;
    bool over = BuildSun(state, size, w, h, &points, &count);
    if (request->phase == 1 && request->frame + 1 >= request->frameCount) over = true;
    if (int error = DrawShapeFrame(request, state, points, count, over)) return error;
    return over ? kFxLastFrame : 0;
}

int StarSetup(FxRequest *request) {
    const int32_t w = request->width, h = request->height;
    if (int error = ShapeSetUp(request)) return error;
    const int32_t step = request->step;
    if (w >= h) {
        request->frameCount = EffectStepCount(4 * w - 10 - step, step, 0);
    } else {
        int32_t frames = 1;
        for (int64_t size = step + 10; ShortExtent(int32_t(size), Ratio(w, h)) < 4 * w; size += step) frames++;
        request->frameCount = frames;
    }
    return 0;
}

int StarDraw(FxRequest *request, int32_t size) {
    const int32_t w = request->width, h = request->height;
    ShapeState *state = FxState<ShapeState>(request);
    int32_t sx, sy;
    StarExtents(size, w, h, &sx, &sy);
    const bool over = sx >= 4 * w;
    int32_t *points = nullptr;
    const int32_t count = over ? 0 : BuildStar(state, size, w, h, &points);
    if (int error = DrawShapeFrame(request, state, points, count, over)) return error;
    return over ? kFxLastFrame : 0;
}

void ShapeFinish(FxRequest *request, int) {
    ShapeState *state = FxState<ShapeState>(request);
    FreeHostBitmap(state->work);
    FreeMaskPlane(state->shapeMask);
    FreeAlphaPlane(state->shapeAlpha);
    state->work = nullptr, state->shapeMask = nullptr, state->shapeAlpha = nullptr;
}

} // namespace

const FxFamily SunFamily = {SunSetup, SunDraw, ShapeFinish};
const FxFamily StarFamily = {StarSetup, StarDraw, ShapeFinish};
