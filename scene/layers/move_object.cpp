// The move engine: set-up, one step per frame along the curve, drawing in layer or direct mode, and release.
#include "scene/layers/move_object.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "host/clock.h"
#include "host/memory.h"
#include "host/tasks.h"
#include "imaging/async_draw.h"
#include "imaging/blit.h"
#include "imaging/display_image.h"
#include "imaging/frame_pacing.h"
#include "imaging/graphics_library.h"
#include "imaging/position.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/scene_objects.h"
#include "scene/images/sprite.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layer_style.h"
#include "scene/layers/layers.h"

int32_t *(*AnimLockCountHook)(ObjectId id) = nullptr;
int32_t *(*TextObjectLockCountHook)(ObjectId id) = nullptr;

namespace {

constexpr int32_t kLayerReplacedNotify = kAsyncNotifyLayerReplaced;

bool Horizontal(const MoveContext *c) { return c->direction == 2 || c->direction == 6; }
bool Diagonal(const MoveContext *c) { return c->direction & 1; }
bool WaveCurve(int32_t fx) { return fx == kMoveSine || fx == kMoveBigSine; }
bool ArcCurve(int32_t fx) { return fx == kMoveLowerCurve || fx == kMoveUpperCurve; }
int32_t Sign(int32_t v) { return (v > 0) - (v < 0); }

int32_t SlowStep(int32_t speed) { return std::max(1, speed / 10 + (speed % 10 > 4 ? 1 : 0)); }
int32_t StepCount(int32_t distance, int32_t speed) { return distance / speed + (distance % speed ? 1 : 0); }

int32_t Direction(int32_t dx, int32_t dy) {
    if (dx == 0) return dy <= 0 ? 0 : 4;
    if (dx > 0) return dy < 0 ? 1 : dy == 0 ? 2 : 3;
    return dy > 0 ? 5 : dy == 0 ? 6 : 7;
}

// Moves v toward target by step, never past it. Returns true when it got there.
bool Approach(int32_t *v, int32_t target, int32_t step) {
    const int64_t d = int64_t(target) - *v;
    if (std::llabs(d) <= step) *v = target;
    else *v += d > 0 ? step : -step;
    return *v == target;
}

// The refusals of a move's output, in their fixed order.
int RefuseMoveOutput(const MoveContext *c) {
    DisplayRecord *d = CurrentDisplay;
    if (!d || !d->picture) return kErrWrongUsage;
    if (d->outputKind == ObjectKindBrush && d->doubleBuffering) return kErrEndDoubleBufferFirst;
    if (int error = RefuseSelectedOutput(d, 1)) return error;
    if (c->kind == ObjectKindSprite && (d->layersEnabled || CountLayers(CurrentBGPic))) return kErrLayersMustBeOff;
    return 0;
}

int AddLinkLocks(MoveContext *c, const Sprite *sprite) {
    if (sprite->links.empty()) return 0;
    auto **locks = static_cast<int32_t **>(AllocBlock(sizeof(int32_t *) * (sprite->links.size() + 1), 1));
    if (!locks) return kErrOutOfMemory;
    size_t n = 0;
    for (Sprite *link : sprite->links) {
        locks[n++] = &link->lockCount;
        link->lockCount++;
    }
    c->linkLocks = locks;
    return 0;
}

int32_t AnimDelayMs(int32_t code, int32_t ownDelay) {
    switch (code) {
    case NORMALSPEED: return 60;
    case FASTSPEED: return 0;
    case SLOWSPEED: return 160;
    case DEFAULTSPEED: return ownDelay;
    default: return code < 0 ? 0 : int32_t(std::min<int64_t>(int64_t(code) * 20, INT32_MAX));
    }
}

// Finds and locks the object; sizes, frame counts and images into the context. Layers resolve their 100000s.
int TakeObject(MoveContext *c, double *anchorX, double *anchorY) {
    switch (c->kind) {
    case ObjectKindBrush: {
        Brush *brush = nullptr;
        if (int error = FindBrush(c->objectId, &brush, kFindBrushNoVector)) return error;
        if (!brush->bitmap) return kErrWrongUsage;
        c->bitmap = brush->bitmap, c->mask = brush->mask, c->alpha = brush->alpha;
        c->width = brush->width, c->height = brush->height;
        c->lockCounter = &brush->lockCount;
        break;
    }
    case ObjectKindSprite: {
        Sprite *sprite = nullptr;
        if (int error = FindSprite(c->objectId, &sprite, 0)) return error;
        c->width = sprite->width, c->height = sprite->height;
        c->frameCount = sprite->frameCount;
        if (int error = AddLinkLocks(c, sprite)) return error;
        c->lockCounter = &sprite->lockCount;
        c->objectId = sprite->id;
        break;
    }
    case ObjectKindAnim: {
        if (!AnimServices || !AnimLockCountHook) return LibraryNotRegistered("anim");
        AnimInfo info;
        if (int error = AnimServices->find(c->objectId, 0, &info)) return error;
        c->width = info.width, c->height = info.height;
        c->frameCount = info.frameCount;
        c->ownsFrames = info.diskBased;
        c->lockCounter = AnimLockCountHook(c->objectId);
        break;
    }
    case ObjectKindTextObject: {
        if (!TextServices || !TextObjectLockCountHook) return LibraryNotRegistered("text");
        ImageTriple image;
        if (int error = TextServices->objectImage(c->objectId, 0, &image, &c->offsetX, &c->offsetY, nullptr))
            return error;
        c->bitmap = image.bitmap, c->mask = image.mask, c->alpha = image.alpha;
        c->width = image.width, c->height = image.height;
        c->lockCounter = TextObjectLockCountHook(c->objectId);
        break;
    }
    case ObjectKindLayer: {
        DisplayRecord *d = CurrentDisplay;
        if (!d->layersEnabled) return kErrLayersRequired;
        vlLayer *layer = GetNthLayer(CurrentBGPic, c->objectId.number);
        if (!layer) return kErrLayerOutOfRange;
        c->layer = layer;
        c->layerNumber = c->objectId.number;
        c->width = layer->first->width, c->height = layer->first->height;
        if (c->x == USELAYERPOSITION) c->x = layer->first->x;
        if (c->y == USELAYERPOSITION) c->y = layer->first->y;
        if (c->x2 == USELAYERPOSITION) c->x2 = layer->first->x;
        if (c->y2 == USELAYERPOSITION) c->y2 = layer->first->y;
        *anchorX = layer->anchorX, *anchorY = layer->anchorY;
        return 0;
    }
    default: return kErrWrongUsage;
    }
    if (c->lockCounter) ++*c->lockCounter;
    return 0;
}

void SetUpPath(MoveContext *c, int32_t speed) {
    const int32_t dx = std::abs(c->x2 - c->x), dy = std::abs(c->y2 - c->y);
    c->speedX = c->speedY = c->unit = speed;
    if (Horizontal(c) && WaveCurve(c->fx)) {
        const BGPic *bgpic = CurrentBGPic;
        const double amplitude = c->fx == kMoveSine ? 50 : (bgpic ? bgpic->current.height / 2 : 0);
        for (int i = 0; i < kMoveWaveSize; i++) c->wave[i] = c->y + amplitude * std::sin(0.08 * (i + 1));
        c->waveStep = std::max(1, speed / 4);
        const int64_t steps = StepCount(dx, speed);
        c->waveIndex = int32_t((kMoveWaveSize - (steps * c->waveStep) % kMoveWaveSize) % kMoveWaveSize);
    } else if (Horizontal(c) && ArcCurve(c->fx)) {
        c->wave[0] = M_PI / dx;
    } else if (Diagonal(c)) {
        const bool xMajor = c->width > c->height;
        const int32_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
        const int32_t steps = std::max(1, StepCount(major, speed));
        const int32_t minorSpeed = minor / steps;
        c->extraCount = minor % steps;
        if (xMajor) {
            c->speedY = minorSpeed;
        } else {
            c->speedX = c->unit = minorSpeed;
        }
    }
    c->slowZoneX = int32_t(std::min<int64_t>(int64_t(c->speedX) * 6, INT32_MAX));
    c->slowZoneY = int32_t(std::min<int64_t>(int64_t(c->speedY) * 6, INT32_MAX));
    c->slowStepX = SlowStep(c->speedX);
    c->slowStepY = SlowStep(c->speedY);
}

HostBitmap *MoveOutput(const MoveContext *c) {
    if (c->target) return c->target;
    return CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr;
}

// Shows a changed rectangle of the output when the window shows that bitmap.
void PresentMoveRect(HostBitmap *output, int32_t x, int32_t y, int32_t width, int32_t height) {
    DisplayRecord *d = CurrentDisplay;
    if (!d || d->state != DISPSTATE_OPEN || d->outputKind != ObjectKindDisplay) return;
    if (output != d->firstBitmap && output != d->secondBitmap) return;
    PresentDisplayRect(output, x, y, d, x, y, width, height, 0);
}

// The layer shown for the object, or a new one on top; the move then works on that layer.
int FindOrAddLayer(MoveContext *c) {
    BGPic *bgpic = CurrentBGPic;
    const int32_t count = CountLayers(bgpic);
    for (int32_t n = count; n >= 1; n--) {
        vlLayer *layer = GetNthLayer(bgpic, n);
        if (layer->type == c->kind && layer->origin == c->objectId) {
            c->layer = layer;
            c->layerNumber = n;
            return 0;
        }
    }
    vlLayer *layer = nullptr;
    if (c->kind == ObjectKindSprite) return kErrLayersMustBeOff;
    if (int error = InsertObjectLayer(c->state, CurrentDisplay, 0, c->kind, c->objectId, c->x, c->y, 1, 1, &layer))
        return error;
    layer->hidden = 0; // inserted hidden for the move; it shows from the first position on
    c->layer = layer;
    c->layerNumber = CountLayers(bgpic);
    return 0;
}

// Releases an anim frame the move decoded for one step.
void DropOwnedFrame(MoveContext *c) {
    if (!c->ownsFrames || c->kind != ObjectKindAnim) return;
    FreeHostBitmap(c->bitmap);
    FreeMaskPlane(c->mask);
    FreeAlphaPlane(c->alpha);
    c->bitmap = nullptr, c->mask = nullptr, c->alpha = nullptr;
}

int LoadAnimFrame(MoveContext *c) {
    if (c->kind != ObjectKindAnim || c->bitmap) return 0;
    ImageTriple image;
    bool temporary = false;
    if (int error = AnimServices->frameImage(c->objectId, c->frame + 1, &image, &temporary)) return error;
    c->bitmap = image.bitmap, c->mask = image.mask, c->alpha = image.alpha;
    c->ownsFrames = temporary;
    return 0;
}

int DrawDirect(MoveContext *c) {
    if (int error = LoadAnimFrame(c)) return error;
    HostBitmap *output = MoveOutput(c);
    if (!output || !c->work || !c->clean) return 0;
    int32_t rx, ry, rw, rh;
    JoinRects(c->lastX, c->lastY, c->width, c->height, c->x, c->y, c->width, c->height, &rx, &ry, &rw, &rh);
    const int32_t left = std::max(rx, 0), top = std::max(ry, 0);
    const int32_t right = int32_t(std::min<int64_t>(int64_t(rx) + rw, c->bufferWidth));
    const int32_t bottom = int32_t(std::min<int64_t>(int64_t(ry) + rh, c->bufferHeight));
    if (right <= left || bottom <= top) return 0;
    rx = left, ry = top, rw = right - left, rh = bottom - top;
    SAFEBLT(c->clean, rx, ry, c->work, rx, ry, rw, rh, 0, 0, 0, 0, kBlitPlain | kBlitToBitmap, nullptr, nullptr,
            nullptr);
    SAFEBLT(c->bitmap, 0, 0, c->work, c->x, c->y, c->width, c->height, 0, 0, 0, 0, kBlitMasked | kBlitToBitmap,
            c->mask, c->alpha, nullptr);
    BGPic *bgpic = CurrentBGPic;
    SAFEBLT(c->work, rx, ry, output, rx, ry, rw, rh, 0, 0, 0, 0, kBlitClipped | c->blitFlags, nullptr, nullptr,
            bgpic ? bgpic->clipRegion : nullptr);
    PresentMoveRect(output, rx, ry, rw, rh);
    return 0;
}

int DrawStep(MoveContext *c) {
    if (c->kind == ObjectKindSprite) return DrawSprite(c->objectId, c->x, c->y, c->frame + 1);
    if (c->layer) {
        SetLayerPosition(c->layer, nullptr, c->x, c->y, 0, 0, nullptr);
        return 0;
    }
    return DrawDirect(c);
}

// Phase 0: each axis runs toward its end point.
void Travel(MoveContext *c) {
    const int32_t sx = Sign(c->x2 - c->x), sy = Sign(c->y2 - c->y);
    const bool extra = Diagonal(c) && c->extraDone < c->extraCount;
    const bool xMajor = c->width > c->height;
    if (c->fx == kMoveSmoothOut) {
        if (std::llabs(int64_t(c->x2) - c->x) < c->slowZoneX) c->speedX = std::max(1, c->speedX - c->slowStepX);
        if (std::llabs(int64_t(c->y2) - c->y) < c->slowZoneY) c->speedY = std::max(1, c->speedY - c->slowStepY);
    }
    if (Horizontal(c) && WaveCurve(c->fx)) {
        Approach(&c->x, c->x2, c->speedX);
        c->y = int32_t(c->wave[c->waveIndex]);
        c->waveIndex += c->waveStep;
        while (c->waveIndex > kMoveWaveSize - 1) c->waveIndex -= kMoveWaveSize;
        return;
    }
    if (Horizontal(c) && ArcCurve(c->fx)) {
        c->waveIndex += c->speedX;
        Approach(&c->x, c->x2, c->speedX);
        const int32_t v = int32_t(150 * std::sin((c->waveIndex + 1) * c->wave[0]));
        c->y = c->fx == kMoveLowerCurve ? c->y2 + v : c->y2 - v;
        return;
    }
    if (sx) Approach(&c->x, c->x2, c->speedX + (extra && !xMajor ? 1 : 0));
    if (sy) Approach(&c->y, c->y2, c->speedY + (extra && xMajor ? 1 : 0));
    if (extra) c->extraDone++;
}

// The overshoot mark of a phase on one axis: k units beyond (positive) or before (negative) the end.
int32_t Mark(int32_t end, int32_t travelSign, int32_t units, int32_t unit) {
    return ClampLayerCoordinate(int64_t(end) + int64_t(travelSign) * units * unit);
}

int32_t PhaseUnits(int32_t phase) {
    static const int32_t units[] = {0, 16, -8, 4, -2, 1, 0, 8, 0};
    return units[phase];
}

// One axis update and phase change; returns true when the move is done.
bool Advance(MoveContext *c) {
    if (c->phase == 9) {
        c->y = c->y2;
        return true;
    }
    if (c->phase == 0) {
        Travel(c);
        if (Horizontal(c) && ArcCurve(c->fx)) {
            if (c->x != c->x2) return false;
            c->y = c->y2;
            return true;
        }
        if (Horizontal(c) && WaveCurve(c->fx)) {
            if (c->x == c->x2) c->phase = 9;
            return false;
        }
        if (c->x != c->x2 || c->y != c->y2) return false;
        if (c->fx == kMoveBounce) {
            c->phase = 1;
        } else if (c->fx == kMoveDamped) {
            c->phase = 7;
            c->speedX = std::max(1, c->speedX - c->speedX / 4);
        } else {
            return true;
        }
        return false;
    }
    // Overshoot: the axes that moved run to the phase's mark at speedX.
    const int32_t dirX = c->direction == 0 || c->direction == 4 ? 0 : (c->direction < 4 ? 1 : -1);
    const int32_t dirY = c->direction == 2 || c->direction == 6 ? 0 : (c->direction >= 3 && c->direction <= 5 ? 1 : -1);
    const int32_t units = PhaseUnits(c->phase);
    bool reached = true;
    if (dirX) reached &= Approach(&c->x, Mark(c->x2, dirX, units, c->unit), c->speedX);
    if (dirY) reached &= Approach(&c->y, Mark(c->y2, dirY, units, c->unit), c->speedX);
    if (!reached) return false;
    switch (c->phase) {
    case 6:
    case 8:
        c->x = c->x2, c->y = c->y2;
        return true;
    case 5:
        c->phase = 6;
        c->speedX = 1;
        return false;
    default:
        c->phase = c->phase == 7 ? 8 : c->phase + 1;
        c->speedX = std::max(1, c->speedX - c->speedX / 2);
        return false;
    }
}

int NextFrame(MoveContext *c) {
    if (c->frameCount <= 0 || (c->kind != ObjectKindAnim && c->kind != ObjectKindSprite)) return 0;
    const int64_t now = MonotonicMicroseconds();
    if (c->setTimer) {
        c->frameTime = now + int64_t(c->animSpeed) * 1000;
        c->setTimer = 0;
    }
    if (now < c->frameTime) return 0;
    c->frame = (c->frame + 1) % c->frameCount;
    if (c->layer && c->kind == ObjectKindAnim) {
        if (int error = SetLayerPositionAndFrame(c->state, c->layer, USELAYERPOSITION, USELAYERPOSITION,
                                                 c->frame + 1, 0))
            return error;
        c->layer = GetNthLayer(CurrentBGPic, c->layerNumber);
    }
    DropOwnedFrame(c);
    if (c->kind == ObjectKindAnim && !c->ownsFrames) c->bitmap = nullptr; // the next frame is looked up
    c->setTimer = 1;
    return 0;
}

int StepAsync(void *context, int32_t *done) { return StepMoveObject(static_cast<MoveContext *>(context), done); }
void FreeAsync(void *context, int32_t flag) { FreeMoveContext(static_cast<MoveContext *>(context), flag); }

int Fail(MoveContext *c, int error) {
    if (!c->embedded) FreeMoveContext(c, 0);
    return error;
}

} // namespace

int32_t MoveSpeedPixels(int32_t speed) {
    switch (speed) {
    case NORMALSPEED: return 10;
    case FASTSPEED: return 15;
    case SLOWSPEED: return 5;
    default: return speed < 1 ? 0 : speed;
    }
}

MoveContext *NewMoveContext() { return static_cast<MoveContext *>(AllocBlock(sizeof(MoveContext), 1)); }

int PrepareMoveBuffers(MoveContext *c) {
    FreeHostBitmap(c->work);
    FreeHostBitmap(c->clean);
    c->work = c->clean = nullptr;
    HostBitmap *output = MoveOutput(c);
    const BGPic *bgpic = CurrentBGPic;
    const int32_t width = c->target || !bgpic ? (output ? output->width : 0) : bgpic->current.width;
    const int32_t height = c->target || !bgpic ? (output ? output->height : 0) : bgpic->current.height;
    if (!output || width <= 0 || height <= 0) return 0;
    c->work = AllocHostBitmap(width, height);
    c->clean = AllocHostBitmap(width, height);
    if (!c->work || !c->clean) {
        FreeHostBitmap(c->work);
        FreeHostBitmap(c->clean);
        c->work = c->clean = nullptr;
        return kErrOutOfMemory;
    }
    SAFEBLT(output, 0, 0, c->clean, 0, 0, width, height, 0, 0, 0, 0, kBlitPlain | kBlitToBitmap, nullptr, nullptr,
            nullptr);
    SAFEBLT(output, 0, 0, c->work, 0, 0, width, height, 0, 0, 0, 0, kBlitPlain | kBlitToBitmap, nullptr, nullptr,
            nullptr);
    c->bufferWidth = width, c->bufferHeight = height;
    return 0;
}

int RunMoveObject(MoveContext *c) {
    if (!c->embedded)
        if (int error = RefuseMoveOutput(c)) return Fail(c, error);
    const int32_t speed = MoveSpeedPixels(c->speed);
    if (speed < 1) return Fail(c, kErrWrongUsage);
    double anchorX = 0, anchorY = 0;
    if (!c->embedded) {
        if (int error = TakeObject(c, &anchorX, &anchorY)) return Fail(c, error);
    } else if (c->layer) {
        anchorX = c->layer->anchorX, anchorY = c->layer->anchorY;
    }
    const int32_t ownDelay = c->kind == ObjectKindAnim && AnimServices ? AnimServices->frameDelay(c->objectId, 1) : 60;
    c->animSpeed = AnimDelayMs(c->animSpeed, ownDelay);

    c->x = int32_t(std::clamp<int64_t>(int64_t(ResolveXPosition(c->x, c->width, 0, anchorX)) + c->offsetX,
                                       -kMaxLayerCoordinate, kMaxLayerCoordinate));
    c->y = int32_t(std::clamp<int64_t>(int64_t(ResolveYPosition(c->y, c->height, 0, anchorY)) + c->offsetY,
                                       -kMaxLayerCoordinate, kMaxLayerCoordinate));
    c->x2 = int32_t(std::clamp<int64_t>(int64_t(ResolveXPosition(c->x2, c->width, 0, anchorX)) + c->offsetX,
                                        -kMaxLayerCoordinate, kMaxLayerCoordinate));
    c->y2 = int32_t(std::clamp<int64_t>(int64_t(ResolveYPosition(c->y2, c->height, 0, anchorY)) + c->offsetY,
                                        -kMaxLayerCoordinate, kMaxLayerCoordinate));
    if (c->x == c->x2 && c->y == c->y2) {
        // Nothing to run; a transition still gets its frames, from 10 pixels up and left.
        if (!c->embedded) {
            FreeMoveContext(c, 0);
            return 0;
        }
        c->x -= 10, c->y -= 10;
    }
    c->lastX = c->x, c->lastY = c->y;
    c->direction = Direction(c->x2 - c->x, c->y2 - c->y);
    SetUpPath(c, speed);

    if (c->kind == ObjectKindSprite)
        if (int error = DrawSprite(c->objectId, c->x, c->y, 1)) return Fail(c, error);
    DisplayRecord *d = CurrentDisplay;
    if (!c->embedded && c->kind != ObjectKindSprite && c->kind != ObjectKindLayer && d && d->layersEnabled)
        if (int error = FindOrAddLayer(c)) return Fail(c, error);
    if (c->layer) {
        SetLayerPosition(c->layer, nullptr, c->x, c->y, 0, 0, nullptr);
    } else if (c->kind != ObjectKindSprite) {
        if (int error = PrepareMoveBuffers(c)) return Fail(c, error);
    }
    c->frameTime = MonotonicMicroseconds() + int64_t(c->animSpeed) * 1000;

    if (c->embedded) {
        c->stepFn = StepMoveObject;
        c->freeFn = FreeMoveContext;
        return 0;
    }
    if (c->async) {
        AsyncDrawObject *handle = nullptr;
        if (int error = CreateAsyncDraw(ADF_MOVE, StepAsync, nullptr, FreeAsync, NotifyMoveObject, c, &handle))
            return Fail(c, error);
        PushHandle(c->state, handle);
        return 1;
    }
    int result = 0;
    for (;;) {
        const BGPic *bgpic = CurrentBGPic;
        if (!c->layer && c->kind != ObjectKindSprite && bgpic && d && !DisplayScales(d) && !d->layersEnabled &&
            (bgpic->current.width != c->bufferWidth || bgpic->current.height != c->bufferHeight))
            if ((result = PrepareMoveBuffers(c))) break;
        int32_t done = 0;
        if ((result = StepMoveObject(c, &done))) break;
        WaitFrame(c->state);
        if (done || PumpEvents(c->state)) break;
    }
    FreeMoveContext(c, 1);
    return result;
}

int StepMoveObject(MoveContext *c, int32_t *done) {
    *done = Advance(c) ? 1 : 0;
    if (int error = DrawStep(c)) return error;
    c->lastX = c->x, c->lastY = c->y;
    return NextFrame(c);
}

void FreeMoveContext(MoveContext *c, int32_t) {
    if (!c) return;
    if (c->lockCounter && *c->lockCounter > 0) --*c->lockCounter;
    if (c->linkLocks) {
        for (int32_t **p = c->linkLocks; *p; ++p)
            if (**p > 0) --**p;
        FreeBlock(c->linkLocks);
    }
    c->lockCounter = nullptr, c->linkLocks = nullptr;
    DropOwnedFrame(c);
    FreeHostBitmap(c->work);
    FreeHostBitmap(c->clean);
    c->work = c->clean = nullptr;
    c->bitmap = nullptr, c->mask = nullptr, c->alpha = nullptr;
    if (!c->embedded) FreeBlock(c);
}

intptr_t NotifyMoveObject(int32_t code, void *data, void *context) {
    auto *c = static_cast<MoveContext *>(context);
    if (code == kLayerReplacedNotify && c->layer && c->layer == data) {
        // The replacement takes the old layer's place: its predecessor in the list is what replaces it.
        c->layer = LayerOfNode(c->layer->node.prev);
    } else if (code == kAsyncNotifyGetLayer && data) {
        *static_cast<void **>(data) = c->layer;
    }
    return 0;
}
