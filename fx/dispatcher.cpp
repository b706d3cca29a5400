// RunTransition and the frame loop, release and async callbacks of a transition.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "fx/effect_table.h"
#include "fx/layer_road.h"
#include "fx/realtime_layer.h"
#include "fx/transition.h"
#include "host/blit.h"
#include "host/tasks.h"
#include "imaging/async_draw.h"
#include "imaging/blit.h"
#include "imaging/display_image.h"
#include "imaging/frame_pacing.h"
#include "imaging/position.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/runtime_globals.h"
#include "scene/display/display_list.h"
#include "scene/display/display_record.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/layers/layers.h"
#include "text/layout/text_objects.h"

int (*EndDoubleBufferingHook)(VMState *vm, DisplayRecord *display) = nullptr;

static_assert(std::is_trivially_copyable_v<FxRequest>, "requests are copied as blocks");

namespace {

// Sentinel of CheckFxOutput: the output is of a kind nothing is drawn into; the command ends quietly.
constexpr int kFxOutputIgnored = -1;

BGPic *SelectedPicture(const DisplayRecord *display) {
    return display->selectOutput ? static_cast<BGPic *>(display->selectOutput->outputSourceObject) : nullptr;
}

// Which redirected outputs a transition may draw into: only the very picture or brush it shows.
int CheckFxOutput(const FxRequest *request, const DisplayRecord *display) {
    const int32_t kind = display->outputKind;
    const int32_t sourceKind = display->selectOutput ? display->selectOutput->outputSourceKind : 0;
    const void *source = display->selectOutput ? display->selectOutput->outputSourceObject : nullptr;
    switch (kind) {
    case ObjectKindDisplay: return 0;
    case ObjectKindBGPic: {
        BGPic *shown = nullptr;
        if (request->mode == kFxModeBGPic && FindBGPic(request->object, &shown, 0) == 0 && shown == SelectedPicture(display))
            return 0;
        return kErrSelectBGPicActive;
    }
    case ObjectKindBrush:
    case ObjectKindMask:
    case ObjectKindAlphaChannel: {
        Brush *brush = nullptr;
        if (request->mode == kFxModeBrush && sourceKind == ObjectKindBrush &&
            FindBrush(request->object, &brush, 0) == 0 && brush == source)
            return 0;
        if (kind == ObjectKindMask) return kErrSelectMaskActive;
        if (kind == ObjectKindAlphaChannel) return kErrSelectAlphaChannelActive;
        if (display->doubleBuffering == 1) return kErrEndDoubleBufferFirst;
        return sourceKind == ObjectKindAnim ? kErrSelectAnimActive : kErrSelectBrushActive;
    }
    case ObjectKindAnim: return kErrSelectAnimActive;
    default: return kFxOutputIgnored;
    }
}

// The async exception: a layered display's own picture selected as output.
bool AsyncPassesOutput(const FxRequest *request, const DisplayRecord *display) {
    return request->async && display->layersEnabled && display->outputKind == ObjectKindBGPic &&
           SelectedPicture(display) == display->picture;
}

bool HasTransparency(const BGPic *picture) {
    return picture && (picture->transparentColor != -1 || picture->current.alpha || picture->current.mask);
}

// DisplayTransitionFX's source: the display switches to the new picture at once, while the old one stays in its
// bitmaps and window until the effect draws over it.
int ResolvePictureSource(FxRequest *request, DisplayRecord *display) {
    BGPic *picture = nullptr;
    if (int error = FindBGPic(request->object, &picture, 0)) return error;
    if (HasTransparency(picture) || HasTransparency(CurrentBGPic)) return kErrWrongUsage;
    request->savedBGPic = CurrentBGPic;
    const int32_t x = request->posX == kFxPositionAbsent ? 100000 : request->posX;
    const int32_t y = request->posY == kFxPositionAbsent ? 100000 : request->posY;
    if (int error = SwitchDisplayBGPic(request->vm, request->object, x, y, 1, &request->newImage,
                                       &request->displayOldImage))
        return error;
    request->ownsImage = 1;
    request->width = request->newImage->width;
    request->height = request->newImage->height;
    const HostBitmap *old = request->displayOldImage;
    for (HostBitmap *bitmap : {display->firstBitmap, display->secondBitmap})
        if (bitmap && old)
            ClippedCopyRect(old, 0, 0, bitmap, 0, 0, old->width, old->height, old->width, old->height, bitmap->width,
                            bitmap->height);
    return 0;
}

int ResolveBrushSource(FxRequest *request, int32_t outWidth, int32_t outHeight) {
    Brush *brush = nullptr;
    if (int error = FindBrush(request->object, &brush, 0)) return error;
    brush->lockCount++;
    request->useCount = &brush->lockCount;
    if (!brush->bitmap) return kErrWrongUsage;
    request->x = ResolveXPosition(request->x, brush->width, outWidth, 0.0);
    request->y = ResolveYPosition(request->y, brush->height, outHeight, 0.0);
    request->newImage = brush->bitmap;
    request->newMask = brush->mask;
    request->newAlpha = brush->alpha;
    request->width = brush->width;
    request->height = brush->height;
    return 0;
}

// A text object shows its rendered image at its drawing offset; the transition holds one use of it.
int ResolveTextObjectSource(FxRequest *request, int32_t outWidth, int32_t outHeight) {
    TextObject *object = nullptr;
    if (int error = FindTextObject(request->object, &object, 0)) return error;
    object->lockCount++;
    request->useCount = &object->lockCount;
    const ImageTriple &image = object->image;
    if (!image.bitmap) return kErrWrongUsage;
    request->x = ResolveXPosition(request->x, image.width, outWidth, 0.0) + object->offsetX;
    request->y = ResolveYPosition(request->y, image.height, outHeight, 0.0) + object->offsetY;
    request->newImage = image.bitmap;
    request->newMask = image.mask;
    request->newAlpha = image.alpha;
    request->width = image.width;
    request->height = image.height;
    return 0;
}

// The use counter of a brush, text object or picture shown through a layer.
int LockSource(FxRequest *request) {
    if (request->mode == kFxModeTextObject) {
        TextObject *object = nullptr;
        if (int error = FindTextObject(request->object, &object, 0)) return error;
        request->useCount = &object->lockCount;
    } else if (request->mode == kFxModeBrush) {
        Brush *brush = nullptr;
        if (int error = FindBrush(request->object, &brush, 0)) return error;
        request->useCount = &brush->lockCount;
    } else {
        BGPic *picture = nullptr;
        if (int error = FindBGPic(request->object, &picture, 0)) return error;
        request->useCount = &picture->lockCount;
    }
    (*request->useCount)++;
    return 0;
}

int ResolvePartSource(FxRequest *request) {
    BGPic *picture = nullptr;
    if (int error = FindBGPic(request->object, &picture, 0)) return error;
    picture->lockCount++;
    request->useCount = &picture->lockCount;
    ImageTriple image;
    bool owned = false;
    int32_t x = 0, y = 0;
    if (int error = BuildDisplayImage(picture->current, request->partX, request->partY, request->width,
                                      request->height, DisplayTransform{}, request->x, request->y, &image, &owned, &x,
                                      &y))
        return error;
    request->newImage = image.bitmap;
    request->newMask = image.mask;
    request->newAlpha = image.alpha;
    request->ownsImage = request->ownsMask = request->ownsAlpha = owned ? 1 : 0;
    request->width = image.width;
    request->height = image.height;
    request->x = x;
    request->y = y;
    return 0;
}

bool OnScreen(const FxRequest *request) {
    return int64_t(request->x) + request->width > 0 && int64_t(request->y) + request->height > 0 &&
           request->x < request->outWidth && request->y < request->outHeight;
}

// A masked or alpha source for an effect that draws opaque rectangles: composed once over what lies under it.
int PrecomposeSource(FxRequest *request, const HostBitmap *output) {
    HostBitmap *composite = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
    if (!composite) return kErrOutOfMemory;
    ClippedCopyRect(output, request->x, request->y, composite, 0, 0, request->width, request->height,
                    request->outWidth, request->outHeight, request->width, request->height);
    SAFEBLT(request->newImage, 0, 0, composite, 0, 0, request->width, request->height, 0, 0, 0, 0,
            kBlitMasked | kBlitToBitmap, request->newMask, request->newAlpha, nullptr);
    FreeOwnedSource(request);
    request->newImage = composite;
    request->ownsImage = 1;
    return 0;
}

int TakeSnapshot(FxRequest *request, const HostBitmap *output) {
    if (request->mode == kFxModeBGPic) {
        request->oldImage = request->displayOldImage;
        request->displayOldImage = nullptr;
        return 0;
    }
    request->oldImage = AllocHostBitmapFormat(request->width, request->height, request->newImage->format);
    if (!request->oldImage) return kErrOutOfMemory;
    if (OnScreen(request))
        ClippedCopyRect(output, request->x, request->y, request->oldImage, 0, 0, request->width, request->height,
                        request->outWidth, request->outHeight, request->width, request->height);
    return 0;
}

bool NeedsSnapshot(const FxRequest *request) {
    const FxEffectRow *row = FindFxEffect(request->effect);
    if (!row) return false;
    if (row->sets & kFxSnapshotAlways) return true;
    if (row->sets & kFxSnapshotPlain) return !request->realtimeLayer;
    return (row->sets & kFxSnapshotRealtime) && request->realtimeLayer;
}

int Fail(FxRequest *request, int code) {
    FreeFxRequest(request, 0);
    return code;
}

void AsyncFree(void *context, int32_t) { FreeFxRequest(static_cast<FxRequest *>(context), 0); }
void AsyncEnd(void *context, int32_t flag) { EndFxRequest(static_cast<FxRequest *>(context), flag); }
int AsyncStep(void *context, int32_t *done) {
    int finished = 0;
    const int error = FxAsyncStep(static_cast<FxRequest *>(context), &finished);
    *done = finished;
    return error;
}
intptr_t AsyncNotify(int32_t code, void *argument, void *context) {
    return FxNotify(code, argument, static_cast<FxRequest *>(context));
}

// One frame. A real-time layer is visible while the effect draws it. Whole frames hold what lay beneath the
// layer: when the picture's layers changed, they are made again at the frame reached; so is a changed emulated
// picture.
int StepFrame(FxRequest *request, int *done) {
    if (request->realtimeLayer && request->layer) {
        request->layer->hidden = request->layer->deferred = 0;
        BGPic *current = CurrentBGPic;
        if (request->frame > 0 && request->frameRoad && current && current->layersChanged && CurrentDisplay) {
            if (int error = RestartRealtimeLayer(request, CurrentDisplay)) return error;
        } else if (request->frame > 0 && RedrawFxBackground(request, 2)) {
            if (int error = SeekFxFrame(request, request->frame, 1)) return error;
        }
    }
    if (request->backwards) return PlayBackwardsFrame(request, done);
    return RunFxPhase(request, done);
}

// Plays every frame; returns 0 or the error a frame gave (the request is then released by the caller).
int PlayBlocking(FxRequest *request, DisplayRecord *display) {
    int done = 0;
    const BGPic *picture = CurrentBGPic;
    int32_t width = picture ? picture->current.width : 0, height = picture ? picture->current.height : 0;
    const int64_t limit = FxFrameLimit(request);
    for (int64_t frames = 0;; frames++) {
        if (done || frames >= limit) {
            assert(done && "an effect played past its frame limit");
            EndFxRequest(request, 1);
            return 0;
        }
        if (PumpEvents(request->vm)) return 0;
        picture = CurrentBGPic;
        if (picture && (picture->current.width != width || picture->current.height != height)) {
            width = picture->current.width, height = picture->current.height;
            if (!(display && display->autoScaling)) {
                request->aborted = 1;
                if (request->mode != kFxModeBGPic && request->caller) request->caller->redo = 1;
                // The run starts again from the caller's record, which makes its own layer.
                request->deleteLayer = request->ownsLayer;
                return 0;
            }
        }
        if (int error = StepFrame(request, &done)) return error;
        WaitFrame(request->vm);
    }
}

// The display ends as DisplayBGPic leaves it, whether or not every frame was played: the first bitmap holds the
// picture alone, since the layers are restored from it when they change or move, and the window shows the picture
// with its layers as they are now. The frames drew the new image, layers included, into that first bitmap.
void ShowNewPicture(DisplayRecord *display) {
    BGPic *picture = display ? display->picture : nullptr;
    if (!picture || CopyBGPicToDisplayBitmaps(display, picture, 0)) return;
    const HostBitmap *image = GetBGPicDisplayImage(display, picture);
    if (image) PresentDisplayRect(image, 0, 0, display, 0, 0, image->width, image->height, 1);
}

} // namespace

void FreeOwnedSource(FxRequest *request) {
    if (request->ownsImage) FreeHostBitmap(request->newImage);
    if (request->ownsMask) FreeMaskPlane(request->newMask);
    if (request->ownsAlpha) FreeAlphaPlane(request->newAlpha);
    request->newImage = nullptr, request->newMask = nullptr, request->newAlpha = nullptr;
    request->ownsImage = request->ownsMask = request->ownsAlpha = 0;
}

int64_t FxFrameLimit(const FxRequest *request) {
    return 10 * std::max<int64_t>(request->frameCount, int64_t(request->width) + request->height) + 1000;
}

int32_t DrawRandomEffect(bool excludeBGPicOnly) {
    for (;;) {
        const int32_t id = int32_t(RuntimeDrand48() * 141.0);
        if (id == kFxNoEffectId || id >= kFxRandomEffect) continue;
        if (excludeBGPicOnly && FxEffectHas(id, kFxBGPicOnly)) continue;
        return id;
    }
}

int RunTransition(FxRequest *caller) {
    auto *request = static_cast<FxRequest *>(AllocBlock(sizeof(FxRequest), 0));
    if (!request) return kErrOutOfMemory;
    std::memcpy(static_cast<void *>(request), caller, sizeof(FxRequest));
    // What the caller left in these belongs to no one here.
    request->state = nullptr, request->useCount = nullptr, request->workMask = nullptr, request->workAlpha = nullptr;
    request->oldImage = request->displayOldImage = nullptr;
    request->ownsImage = request->ownsMask = request->ownsAlpha = 0;
    request->caller = caller;
    if (request->effect == kFxNoEffectId) request->effect = kFxRandomEffect;
    request->speed = request->step;

    DisplayRecord *display = CurrentDisplay;
    if (!display) return Fail(request, kErrWrongUsage);
    if (display->doubleBuffering && EndDoubleBufferingHook)
        if (int error = EndDoubleBufferingHook(request->vm, display)) return Fail(request, error);
    const bool asyncPass = AsyncPassesOutput(request, display);
    if (!asyncPass) {
        const int check = CheckFxOutput(request, display);
        if (check == kFxOutputIgnored) return Fail(request, 0);
        if (check) return Fail(request, check);
    }
    if (request->effect == kFxRandomEffect)
        request->effect = DrawRandomEffect(request->mode != kFxModeBGPic && !request->bgpicEmu);
    if (request->mode != kFxModeBGPic && FxEffectHas(request->effect, kFxBGPicOnly) &&
        !(request->mode == kFxModeLayer && request->bgpicEmu))
        request->effect = 0;
    if (!asyncPass && display->outputKind != ObjectKindDisplay)
        if (int error = EndSelectOutput(request->vm, display, 0)) return Fail(request, error);
    if (request->reverse) request->effect = ReverseEffect(request->effect);
    // Refused before the source is resolved, so that a bad id leaves the display as it was.
    const FxEffectRow *row = FindFxEffect(request->effect);
    if (!row) return Fail(request, kErrWrongUsage);

    HostBitmap *output = FxOutputBitmap(request);
    request->outWidth = output ? output->width : 0;
    request->outHeight = output ? output->height : 0;
    const bool layers = display->layersEnabled != 0;
    int error = 0;
    switch (request->mode) {
    case kFxModeBGPic: error = ResolvePictureSource(request, display); break;
    case kFxModeBrush:
        if (!layers) {
            error = ResolveBrushSource(request, request->outWidth, request->outHeight);
            break;
        }
        if (!(error = LockSource(request)) && !(error = AddTransitionLayer(request)))
            error = ResolveLayerSource(request, display);
        break;
    case kFxModeTextObject:
        if (!layers) {
            error = ResolveTextObjectSource(request, request->outWidth, request->outHeight);
            break;
        }
        if (!(error = LockSource(request)) && !(error = AddTransitionLayer(request)))
            error = ResolveLayerSource(request, display);
        break;
    case kFxModeBGPicPart:
        if (!request->useLayers || !layers) {
            error = ResolvePartSource(request);
            break;
        }
        if (!(error = LockSource(request)) && !(error = AddTransitionLayer(request)))
            error = ResolveLayerSource(request, display);
        break;
    case kFxModeLayer:
    case kFxModeHideLayer:
    case kFxModeRemoveLayer:
        error = ResolveLayerSource(request, display);
        break;
    default: error = kErrWrongUsage; break;
    }
    if (error) return Fail(request, error);

    // The switch may have changed the output (a new picture, a new size). A layer's transition draws into the
    // composed picture the window shows.
    request->target = request->layer ? display->secondBitmap : nullptr;
    output = FxOutputBitmap(request);
    if (!output) return Fail(request, 0);
    request->outWidth = output->width;
    request->outHeight = output->height;
    request->scaledDisplay = display->autoScaling && DisplayHasScaledSize(display) ? 1 : 0;
    if (request->realtimeLayer)
        if ((error = PrepareRealtimeLayer(request, display))) return Fail(request, error);
    if (request->mode != kFxModeBGPic && !request->realtimeLayer && (request->newMask || request->newAlpha) &&
        !FxEffectHas(request->effect, kFxMaskAware) && OnScreen(request))
        if ((error = PrecomposeSource(request, output))) return Fail(request, error);
    if (!request->realtimeLayer && NeedsSnapshot(request))
        if ((error = TakeSnapshot(request, output))) return Fail(request, error);
    request->bltFlags = kBlitClipped | (request->scaledDisplay ? kBlitScaledDisplay : 0) |
                        (request->mode == kFxModeBGPic && layers ? kBlitTransitionLayers : 0);
    if (request->frameRoad) request->bltFlags = kBlitClipped;

    request->row = row;
    request->phase = 0;
    request->frame = 0;
    if ((error = RunFxPhase(request, nullptr))) return Fail(request, error);
    request->phase = 1;

    if (request->async) {
        AsyncDrawObject *handle = nullptr;
        if ((error = CreateAsyncDraw(ADF_FX, AsyncStep, AsyncEnd, AsyncFree, AsyncNotify, request, &handle)))
            return Fail(request, error);
        PushHandle(request->vm, handle);
        return 1;
    }
    if ((error = PlayBlocking(request, display))) return Fail(request, error);
    if (!request->aborted && request->mode == kFxModeBGPic) ShowNewPicture(display);
    FreeFxRequest(request, 1);
    return 0;
}

void FreeFxRequest(FxRequest *request, int normal) {
    if (!request) return;
    if (request->useCount) {
        (*request->useCount)--;
        request->useCount = nullptr;
    }
    if (request->layer) ReleaseLayerTransition(request);
    if (request->row) FreeFxState(request, normal);
    FreeOwnedSource(request);
    FreeHostBitmap(request->oldImage);
    FreeHostBitmap(request->displayOldImage);
    FreeMaskPlane(request->workMask);
    FreeAlphaPlane(request->workAlpha);
    FreeBlock(request);
}

void EndFxRequest(FxRequest *request, int) {
    if (request->useCount) {
        (*request->useCount)--;
        request->useCount = nullptr;
    }
    EndLayerTransition(request);
    request->ended = 1;
}

namespace {

// An async layer transition whose layer was moved, resized or given a new image goes on at the layer's present
// place: the two scenes are taken there again, and the frames so far are replayed over the old scene.
int FollowMovedLayer(FxRequest *request, bool imageChanged) {
    const LayerDrawParams *state = request->layer->current;
    if (!state || (!imageChanged && state->screenX == request->x && state->screenY == request->y &&
                   state->screenWidth == request->width && state->screenHeight == request->height))
        return 0;
    DisplayRecord *display = CurrentDisplay;
    if (!display || !display->secondBitmap) return 0;
    const int32_t oldWidth = request->width, oldHeight = request->height;
    RefreshRect(request->x, request->y, request->width, request->height);
    FreeOwnedSource(request);
    FreeHostBitmap(request->oldImage);
    request->oldImage = nullptr;
    if (int error = BuildLayerSource(request, display)) return error;
    // The layer's visibility is what it was at the start, so the area shows the scene the effect starts from.
    RefreshRect(request->x, request->y, request->width, request->height);
    if (NeedsSnapshot(request))
        if (int error = TakeSnapshot(request, display->secondBitmap)) return error;
    if (int error = SetUpAgain(request, oldWidth, oldHeight)) return error;
    UploadFxOutputRect(request, request->x, request->y, request->width, request->height);
    return 0;
}

// The node before the replaced one takes over the transition; false when there is none.
bool MoveToReplacingLayer(FxRequest *request, vlLayer *replaced) {
    ListNode *previous = PreviousNode(&replaced->node);
    SetLayerInTransition(replaced, 0);
    request->layer = previous ? LayerOfNode(previous) : nullptr;
    if (request->layer) SetLayerInTransition(request->layer, 1);
    return request->layer != nullptr;
}

// A real-time layer's rectangles and alpha move with it; whole frames hold what lay beneath, so they are made
// again at the new place, as is everything after a change of size.
int FollowRealtimeLayer(FxRequest *request) {
    const LayerDrawParams *state = request->layer->current;
    DisplayRecord *display = CurrentDisplay;
    if (!state || !display) return 0;
    const bool moved = request->frameRoad ? state->screenX != request->layerX || state->screenY != request->layerY
                                          : state->screenX != request->x || state->screenY != request->y;
    if (state->screenWidth != request->width || state->screenHeight != request->height ||
        state != request->preparedState || (moved && request->frameRoad))
        return RestartRealtimeLayer(request, display);
    if (moved) request->x = state->screenX, request->y = state->screenY;
    return 0;
}

} // namespace

int SetUpAgain(FxRequest *request, int32_t oldWidth, int32_t oldHeight) {
    int32_t frame = request->frame;
    const double ratio = request->frameCount > 0 ? double(frame) / request->frameCount : 0.0;
    FreeFxState(request, 0);
    request->step = request->speed;
    request->phase = 0;
    request->frame = 0;
    if (int error = RunFxPhase(request, nullptr)) return error;
    request->phase = 1;
    if (frame > 0 && (request->width != oldWidth || request->height != oldHeight))
        frame = std::clamp(int32_t(std::lrint(request->frameCount * ratio)), 1, request->frameCount);
    return SeekFxFrame(request, frame, 1);
}

int FxAsyncStep(FxRequest *request, int *done) {
    if (request->layer) {
        const int error = request->realtimeLayer ? FollowRealtimeLayer(request) : FollowMovedLayer(request, false);
        if (error) return error;
    }
    return StepFrame(request, done);
}

int SeekFxFrame(FxRequest *request, int32_t frame, int force) {
    if (FxEffectHas(request->effect, kFxDirectFrame)) {
        request->frame = request->backwards ? std::max(request->frameCount - frame, 0) : frame;
        request->phase = 2;
        const int error = RunFxPhase(request, nullptr);
        request->phase = 1;
        request->frame = frame;
        if (request->realtimeLayer) {
            request->layerDirty = 0;
            PresentLayerArea(request);
        }
        return error;
    }
    if (frame == request->frame && !force) return 0;
    // Replayed from the first frame, unseen.
    ResetLayerPlanes(request);
    request->frame = 0;
    request->noPresent = 1;
    int done = 0;
    const int64_t limit = FxFrameLimit(request);
    for (int64_t n = 0; n < frame && n < limit && !done; n++)
        if (int error = RunFxPhase(request, &done)) {
            request->noPresent = 0;
            return error;
        }
    request->frame = frame;
    request->noPresent = 0;
    if (request->realtimeLayer) PresentLayerArea(request);
    return 0;
}

intptr_t FxNotify(int32_t code, void *argument, FxRequest *request) {
    switch (code) {
    case kAsyncNotifyFrameCount: return request->frameCount;
    case kAsyncNotifyFrame: return request->frame;
    case kAsyncNotifySeek: return SeekFxFrame(request, int32_t(reinterpret_cast<intptr_t>(argument)), 0);
    case kAsyncNotifyGetLayer:
        if (argument) *static_cast<void **>(argument) = request->layer;
        return 0;
    case kAsyncNotifyGetBGPic:
        if (argument && request->bgpicEmu) *static_cast<void **>(argument) = request->emuBGPic;
        return 0;
    case kAsyncNotifyNoPresent: request->noPresent = int32_t(reinterpret_cast<intptr_t>(argument)); return 0;
    case kAsyncNotifyLayerReplaced:
    case kAsyncNotifyLayerChanged: {
        vlLayer *layer = request->layer;
        if (!layer || argument != layer || request->ended) return 0;
        if (request->realtimeLayer) {
            // The working images live in the old node's state: they go back before the node changes.
            FreeLayerStateImages(request);
            if (code == kAsyncNotifyLayerReplaced && !MoveToReplacingLayer(request, layer)) return 0;
            return CurrentDisplay ? RestartRealtimeLayer(request, CurrentDisplay) : 0;
        }
        if (code == kAsyncNotifyLayerReplaced) {
            // The old node goes right after this; the new one stands before it in the list.
            if (!MoveToReplacingLayer(request, layer)) return 0;
            request->layer->hidden = request->mode == kFxModeLayer ? 1 : 0;
        }
        return FollowMovedLayer(request, true);
    }
    case kAsyncNotifyRefresh:
        if (request->layer) RefreshRect(request->x, request->y, request->width, request->height);
        return 0;
    default: return 0;
    }
}
