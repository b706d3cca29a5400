// CARDTOP/CARDBOTTOM pull the pictures past each other like a card from a pack (whole-picture pieces, phase 2
// supported); UPNDOWN reveals eight columns in four passes, one column filling downwards and its partner upwards.
#include <algorithm>

#include "fx/effect_families.h"
#include "runtime/app/errors.h"

namespace {

struct UpDownState {
    int32_t pass;
};

// The column pairs of the four passes: down, up.
constexpr int32_t kPassColumns[4][2] = {{0, 1}, {3, 2}, {4, 5}, {7, 6}};

int CardSetup(FxRequest *request) {
    request->step = FxStepOf(request);
    request->frameCount = EffectStepCount(request->height - request->step, request->step, 0);
    request->run = {0, request->step, request->height};
    return 0;
}

int CardDraw(FxRequest *request, int32_t t) {
    const int32_t h = request->height;
    const bool first = t < h / 2;
    const int32_t a = first ? t : h - t;
    const HostBitmap *fresh = request->newImage, *old = request->oldImage;
    // Each piece: source rows [from, from + rows) of a picture to rows [to, to + rows).
    struct Piece {
        const HostBitmap *picture;
        int32_t from, to, rows;
    };
    Piece pieces[2];
    if (FxVariantOf(request).direction == kFxNorth) {
        if (first) pieces[0] = {fresh, a, 0, a}, pieces[1] = {old, 0, a, h - a};
        else pieces[0] = {fresh, a, 0, h - a}, pieces[1] = {old, h - 2 * a, h - a, a};
    } else {
        if (first) pieces[0] = {old, a, 0, h - a}, pieces[1] = {fresh, h - 2 * a, h - a, a};
        else pieces[0] = {old, a, 0, a}, pieces[1] = {fresh, 0, a, h - a};
    }
    for (const Piece &piece : pieces)
        DrawFxPictureRect(request, piece.picture, 0, piece.from, 0, piece.to, request->width, piece.rows);
    return 0;
}

int UpDownSetup(FxRequest *request) {
    if (!AllocFxState<UpDownState>(request)) return kErrOutOfMemory;
    const int32_t s = request->step = FxStepOf(request);
    request->frameCount = EffectStepCount(4 * request->height, s, 0);
    request->run = {-s, s, INT32_MAX};
    return 0;
}

// The position runs down the four passes one after the other.
int UpDownDraw(FxRequest *request, int32_t t) {
    const int32_t h = request->height;
    UpDownState *state = FxState<UpDownState>(request);
    const int32_t s = request->step, c = request->width / 8 + 1;
    if (request->frame == 0) state->pass = 0;
    int32_t y = t, pass = 0;
    if (t >= h) {
        pass = t / h;
        y = t % h;
    }
    int32_t down = 0, up = 1;
    int result = 0;
    // A step above the height can jump past the last pass: any pass from 4 on ends the run.
    if (pass >= 4) {
        result = kFxLastFrame;
        DrawFxNewRect(request, 0, 0, request->width, h);
    } else {
        down = kPassColumns[pass][0], up = kPassColumns[pass][1];
        if (pass != state->pass) {
            state->pass = pass;
            DrawFxNewRect(request, down * c, 0, c, s + 2);
            DrawFxNewRect(request, up * c, h - s - 1, c, s + 2);
        }
    }
    const int32_t u = std::max(h - y - s, 1);
    DrawFxNewRect(request, down * c, y, c, s + 2);
    DrawFxNewRect(request, up * c, u - 1, c, s + 2);
    return result;
}

} // namespace

const FxFamily CardFamily = {CardSetup, CardDraw, nullptr};
const FxFamily UpDownFamily = {UpDownSetup, UpDownDraw, nullptr};
