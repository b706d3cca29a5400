// Rectangle wipes: a rectangle of the new image with the picture's proportions grows from an anchor (RECT), or a
// rectangle of the old picture shrinks towards one while the new image closes in around it (RECTBACK). Each frame
// draws only the ring between the previous and the current rectangle.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct RectBackState {
    int32_t previousX, previousY; // where the last frame's rectangle lay, area-relative
};

struct Box {
    int32_t x, y, w, h;
};

// Horizontal and vertical anchoring per direction (centre, north .. north-west): 0 start, 1 centre, 2 end.
constexpr int kAnchorX[9] = {1, 1, 2, 2, 2, 1, 0, 0, 0};
constexpr int kAnchorY[9] = {1, 0, 0, 1, 2, 2, 2, 1, 0};

// The rectangle of size s: the long side s, the short side keeps the picture's aspect.
void RectOfSize(const FxRequest *request, int32_t s, bool floorOne, int32_t *rw, int32_t *rh) {
    const int32_t w = request->width, h = request->height;
    const double q = double(std::min(w, h)) / double(std::max(w, h));
    const int32_t shortSide = int32_t(s * q + 1.0);
    *rw = w < h ? shortSide : s;
    *rh = w < h ? s : shortSide;
    if (floorOne) *rw = std::max(*rw, 1), *rh = std::max(*rh, 1);
}

int32_t Anchored(int anchor, int32_t size, int32_t side) {
    return anchor == 0 ? 0 : anchor == 1 ? (size - side) / 2 : size - side;
}

// Draws outer less inner (inner clipped to outer) as up to four bands.
void DrawRing(FxRequest *request, Box outer, Box inner) {
    const int32_t x0 = std::max(inner.x, outer.x), y0 = std::max(inner.y, outer.y);
    const int32_t x1 = std::min(inner.x + inner.w, outer.x + outer.w), y1 = std::min(inner.y + inner.h, outer.y + outer.h);
    if (x1 <= x0 || y1 <= y0) {
        DrawFxNewRect(request, outer.x, outer.y, outer.w, outer.h);
        return;
    }
    DrawFxNewRect(request, outer.x, outer.y, outer.w, y0 - outer.y);
    DrawFxNewRect(request, outer.x, y1, outer.w, outer.y + outer.h - y1);
    DrawFxNewRect(request, outer.x, y0, x0 - outer.x, y1 - y0);
    DrawFxNewRect(request, x1, y0, outer.x + outer.w - x1, y1 - y0);
}

// The position is how far the rectangle has grown (RECT) or shrunk (RECTBACK): a step a frame to the long side.
int SetUpRects(FxRequest *request, bool back) {
    if (back && !AllocFxState<RectBackState>(request)) return kErrOutOfMemory;
    const int32_t l = std::max(request->width, request->height);
    const int32_t s0 = request->step = FxStepOf(request, l);
    request->frameCount = EffectStepCount(l - s0, s0, 0);
    request->run = {0, s0, l};
    return 0;
}

int RectSetup(FxRequest *request) { return SetUpRects(request, false); }
int RectBackSetup(FxRequest *request) { return SetUpRects(request, true); }

int RectDraw(FxRequest *request, int32_t s) {
    const int32_t w = request->width, h = request->height, s0 = request->step;
    const bool last = s >= std::max(w, h);
    const int direction = FxVariantOf(request).direction;
    Box current{0, 0, w, h};
    if (last) s -= s0;
    else RectOfSize(request, s, true, &current.w, &current.h);
    current.x = Anchored(kAnchorX[direction], w, current.w);
    current.y = Anchored(kAnchorY[direction], h, current.h);
    // Centred axes keep equal margins.
    if (kAnchorX[direction] == 1 && (w - current.w) % 2) current.w++;
    if (kAnchorY[direction] == 1 && (h - current.h) % 2) current.h++;
    Box previous{0, 0, 0, 0};
    RectOfSize(request, s - s0, false, &previous.w, &previous.h);
    const auto inside = [](int anchor, int32_t start, int32_t outer, int32_t inner) {
        return anchor == 0 ? start : anchor == 1 ? start + (outer - inner) / 2 : start + outer - inner;
    };
    previous.x = inside(kAnchorX[direction], current.x, current.w, previous.w);
    previous.y = inside(kAnchorY[direction], current.y, current.h, previous.h);
    // The last frame draws the whole picture: rounded rectangles of earlier frames may not tile it exactly.
    if (previous.w <= 0 || previous.h <= 0 || last) previous = Box{0, 0, 0, 0};
    DrawRing(request, current, previous);
    return 0;
}

int RectBackDraw(FxRequest *request, int32_t travel) {
    RectBackState *state = FxState<RectBackState>(request);
    const int32_t w = request->width, h = request->height, s0 = request->step;
    const int32_t s = std::max(w, h) - travel;
    // The old rectangle shrinks towards the side opposite the name: anchors mirrored.
    const int direction = FxVariantOf(request).direction;
    if (request->frame == 0) state->previousX = 0, state->previousY = 0;
    Box current{0, 0, 0, 0};
    if (s > 0) RectOfSize(request, s, true, &current.w, &current.h);
    current.x = Anchored(2 - kAnchorX[direction], w, current.w);
    current.y = Anchored(2 - kAnchorY[direction], h, current.h);
    Box previous{state->previousX, state->previousY, 0, 0};
    RectOfSize(request, s + s0, false, &previous.w, &previous.h);
    if (s <= 0) previous = Box{0, 0, w, h};
    DrawRing(request, previous, current.w > 0 ? current : Box{0, 0, 0, 0});
    state->previousX = current.x, state->previousY = current.y;
    return 0;
}

} // namespace

const FxFamily RectFamily = {RectSetup, RectDraw, nullptr};
const FxFamily RectBackFamily = {RectBackSetup, RectBackDraw, nullptr};
