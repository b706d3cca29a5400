// PlayAnim: frame after frame at a position of the current display, blocking or as an async draw. Without
// layers the frames are drawn into the display's picture and the background under them is restored for masked
// frames; with layers one anim layer changes its frame.
#include <algorithm>
#include <new>

#include "host/blit.h"
#include "host/clock.h"
#include "host/tasks.h"
#include "imaging/async_draw.h"
#include "imaging/blit.h"
#include "imaging/display_image.h"
#include "imaging/frame_pacing.h"
#include "imaging/graphics_library.h"
#include "imaging/image_ops.h"
#include "media/anim/anim.h"
#include "media/anim/anim_file.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/display_record.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/layers/layer_style.h"
#include "scene/layers/layers.h"

namespace {

struct Playback {
    VMState *vm = nullptr;
    HostBitmap *work = nullptr, *background = nullptr;
    AnimObject *anim = nullptr;
    vlLayer *layer = nullptr;        // with layers: the anim layer whose frame changes
    int32_t x = 0, y = 0;            // anchor point, then the clipped top-left in the output
    int32_t delay = 0;               // per frame in milliseconds, or DEFAULTSPEED
    int32_t times = 1;
    int32_t clippedWidth = 0, clippedHeight = 0;
    int32_t drawX = 0, drawY = 0, drawWidth = 0, drawHeight = 0;
    int32_t clipX = 0, clipY = 0;
    int32_t frame = 1, run = 1;
    int64_t due = 0; // microseconds: the last frame's time (blocking) or the next frame's (async)
    int32_t async = 0;
    int32_t outputWidth = 0, outputHeight = 0; // the output's size when the background was saved
    DisplayTransform transform;
};

void FreePlayback(Playback *p) {
    if (p->anim) p->anim->lockCount--;
    FreeHostBitmap(p->work);
    FreeHostBitmap(p->background);
    delete p;
}

HostBitmap *OutputBitmap() { return CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr; }

// The frame n from 0 as drawn: transformed by the display options; *ox, *oy its top-left.
int FrameImage(Playback *p, int32_t n, ImageTriple *out, bool *owned, int32_t *ox, int32_t *oy) {
    ImageTriple frame;
    bool frameOwned = false;
    if (int error = GetAnimFrameImage(p->anim, n, false, false, &frame, &frameOwned)) return error;
    int error = BuildDisplayImage(frame, 0, 0, frame.width, frame.height, p->transform, p->x, p->y, out, owned, ox,
                                  oy);
    if (frameOwned) {
        if (!error && !*owned) {
            *owned = true; // the drawn image is the frame itself
        } else {
            FreeImageTriple(&frame);
        }
    }
    return error;
}

// Saves the output under the frame rectangle, cut at the output's edges.
int SaveBackground(Playback *p) {
    HostBitmap *target = OutputBitmap();
    if (!target) return kErrWrongUsage;
    int32_t x = p->drawX, y = p->drawY, w = p->drawWidth, h = p->drawHeight;
    p->clipX = p->clipY = 0;
    if (x < 0) w += x, p->clipX = -x, x = 0;
    if (y < 0) h += y, p->clipY = -y, y = 0;
    if (w < 1 || h < 1) return kErrWrongUsage;
    // Checked again after the cut: a frame wholly right of or below the output has nothing to show.
    w = int32_t(std::min<int64_t>(w, int64_t(target->width) - x));
    h = int32_t(std::min<int64_t>(h, int64_t(target->height) - y));
    if (w < 1 || h < 1) return kErrWrongUsage;
    FreeHostBitmap(p->work);
    FreeHostBitmap(p->background);
    p->work = AllocHostBitmap(w, h);
    p->background = AllocHostBitmap(w, h);
    if (!p->work || !p->background) return kErrOutOfMemory;
    BLTBITMAP(target, x, y, p->background, 0, 0, w, h);
    p->x = x, p->y = y;
    p->clippedWidth = w, p->clippedHeight = h;
    p->outputWidth = target->width, p->outputHeight = target->height;
    return 0;
}

// The anim whose frames are played: with layers ModifyLayerFrames may have given the layer a copy of its own,
// whose frame count and delays then hold.
AnimObject *PlayedAnim(const Playback *p) {
    AnimObject *own = nullptr;
    if (p->layer && p->layer->type == ObjectKindAnim && !FindAnim(p->layer->source, &own, 0)) return own;
    return p->anim;
}

// Past the last frame: the next run starts at frame 1, or the playback ends after the last run.
void EndRun(Playback *p, int32_t *done) {
    if (p->run != p->times) {
        p->run++;
        p->frame = 1;
    } else {
        *done = 1;
    }
}

// After a frame was shown: waits or sets the next due time, and moves to the next frame and run.
int Advance(Playback *p, int32_t *done) {
    AnimObject *anim = PlayedAnim(p);
    const int32_t delay = p->delay == DEFAULTSPEED ? GetAnimFrameDelay(anim, p->frame - 1) : p->delay;
    if (p->async) {
        p->due += int64_t(delay) * 1000;
    } else if (delay > 0) {
        const int64_t remaining = int64_t(delay) - (MonotonicMicroseconds() - p->due) / 1000;
        if (remaining > 0) WaitTicks(p->vm, remaining);
        p->due = MonotonicMicroseconds();
    }
    if (++p->frame > anim->frameCount) EndRun(p, done);
    return 0;
}

int StepLayer(Playback *p, int32_t *done) {
    // The layer has left the shown picture (the display shows another one): there is nothing left to play on.
    const int32_t position = GetLayerIndex(p->layer);
    if (position < 1) {
        *done = 1;
        return 0;
    }
    // Frames taken from the layer since the last step end the run early.
    if (p->frame > PlayedAnim(p)->frameCount) {
        EndRun(p, done);
        if (*done) return 0;
    }
    // A new frame rebuilds the layer: the new record takes the old one's place in the list.
    const int error = SetLayerPositionAndFrame(p->vm, p->layer, USELAYERPOSITION, USELAYERPOSITION, p->frame, 0);
    p->layer = GetNthLayer(CurrentBGPic, position);
    if (error) return error;
    return Advance(p, done);
}

int Step(void *context, int32_t *done) {
    auto *p = static_cast<Playback *>(context);
    *done = 0;
    const int64_t now = MonotonicMicroseconds();
    if (p->async) {
        if (p->due > now) return 0;
        p->due = now;
    }
    if (p->layer) return StepLayer(p, done);
    HostBitmap *target = OutputBitmap();
    if (!target) return kErrWrongUsage;
    ImageTriple image;
    bool owned = false;
    int32_t ox = 0, oy = 0;
    if (int error = FrameImage(p, p->frame - 1, &image, &owned, &ox, &oy)) return error;
    if (!image.mask && !image.alpha) {
        SAFEBLT(image.bitmap, p->clipX, p->clipY, target, p->x, p->y, p->clippedWidth, p->clippedHeight, 0, 0, 0, 0,
                kBlitPlain | kBlitToBitmap, nullptr, nullptr, nullptr);
    } else {
        BLTBITMAP(p->background, 0, 0, p->work, 0, 0, p->clippedWidth, p->clippedHeight);
        // Through the mask and alpha of the visible part: the planes are indexed like the frame.
        SAFEBLT(image.bitmap, p->clipX, p->clipY, p->work, 0, 0, p->clippedWidth, p->clippedHeight, 0, 0, 0, 0,
                kBlitMasked | kBlitToBitmap, image.mask, image.alpha, nullptr);
        BLTBITMAP(p->work, 0, 0, target, p->x, p->y, p->clippedWidth, p->clippedHeight);
    }
    if (owned) FreeImageTriple(&image);
    if (int error = PresentOutputRect(target, p->x, p->y, p->clippedWidth, p->clippedHeight)) return error;
    return Advance(p, done);
}

void FreeCallback(void *context, int32_t) { FreePlayback(static_cast<Playback *>(context)); }

intptr_t Notify(int32_t code, void *argument, void *context) {
    auto *p = static_cast<Playback *>(context);
    if (!p->layer) return 0;
    if (code == kAsyncNotifyGetLayer) {
        if (argument) *static_cast<void **>(argument) = p->layer;
    } else if (code == kAsyncNotifyLayerReplaced && argument == p->layer) {
        // The replacement stands right before the old record, which goes after this.
        ListNode *previous = PreviousNode(&p->layer->node);
        p->layer = previous ? LayerOfNode(previous) : nullptr;
    }
    return 0;
}

// With layers one anim layer shows frame 1 (where the display options put it); its frame changes as it plays.
int AddPlaybackLayer(Playback *p, const LayerOptions &options) {
    BGPic *bgpic = CurrentBGPic;
    if (!bgpic) return kErrWrongUsage;
    const int32_t count = CountLayers(bgpic);
    if (int error = DisplayImageObjectLayer(p->vm, ObjectKindAnim, p->anim->id, 0, 0, p->x, p->y, p->anim->width,
                                            p->anim->height, p->transform, options))
        return error;
    const bool onTop = options.insertPos <= 0 || options.insertPos > count;
    p->layer = GetNthLayer(bgpic, onTop ? count + 1 : options.insertPos);
    return p->layer ? 0 : kErrWrongUsage;
}

// The output must be the display itself.
int CheckPlayOutput(const DisplayRecord *display) {
    if (!display) return kErrWrongUsage;
    if (display->doubleBuffering) return kErrEndDoubleBufferFirst;
    if (display->outputKind == ObjectKindBGPic) return kErrSelectBGPicActive;
    return RefuseSelectedOutput(display, 1);
}

} // namespace

void EndAnimOutputSelection(VMState *vm, const AnimObject *anim) {
    DisplayRecord *display = CurrentDisplay;
    if (!display || display->outputKind == ObjectKindDisplay || !display->selectOutput) return;
    const OutputRecord *output = display->selectOutput;
    if (output->outputSourceKind == ObjectKindAnim && output->outputSourceObject == anim)
        EndSelectOutput(vm, display, 0);
}

int PlayAnimCore(VMState *vm, const PlayAnimRequest &request) {
    AnimObject *anim = nullptr;
    if (int error = FindAnim(request.id, &anim, kFindAnimPending)) return error;
    EndAnimOutputSelection(vm, anim);
    if (int error = CheckPlayOutput(CurrentDisplay)) return error;
    auto *p = new (std::nothrow) Playback;
    if (!p) return kErrOutOfMemory;
    p->vm = vm;
    LayerOptions options;
    if (request.optionsIndex)
        if (int error = ParseDisplayOptions(vm, request.optionsIndex, anim->width, anim->height, 0, &p->transform,
                                            &options)) {
            delete p;
            return error;
        }
    p->anim = anim;
    anim->lockCount++;
    int32_t speed = request.speed;
    if (speed == NORMALSPEED) speed = 3;
    else if (speed == SLOWSPEED) speed = 8;
    else if (speed == FASTSPEED) speed = 0;
    p->delay = speed == DEFAULTSPEED ? DEFAULTSPEED : int32_t(std::min<int64_t>(std::max(speed, 0) * int64_t(20), INT32_MAX));
    p->times = request.times;
    p->async = request.async;
    p->x = request.x, p->y = request.y;
    int error = 0;
    if (CurrentDisplay->layersEnabled) {
        error = AddPlaybackLayer(p, options);
    } else {
        // The drawn rectangle is the first frame's as the display options place it.
        ImageTriple first;
        bool owned = false;
        error = FrameImage(p, 0, &first, &owned, &p->drawX, &p->drawY);
        if (!error) {
            p->drawWidth = first.width, p->drawHeight = first.height;
            if (owned) FreeImageTriple(&first);
            error = SaveBackground(p);
        }
    }
    if (error) {
        FreePlayback(p);
        return error;
    }
    p->due = MonotonicMicroseconds();
    if (p->async) {
        AsyncDrawObject *handle = nullptr;
        if (int e = CreateAsyncDraw(ADF_ANIM, Step, nullptr, FreeCallback, Notify, p, &handle)) {
            FreePlayback(p);
            return e;
        }
        PushHandle(vm, handle);
        return 1;
    }
    for (;;) {
        // A quit request ends the playback without an error.
        if (PumpEvents(vm)) break;
        HostBitmap *target = p->layer ? nullptr : OutputBitmap();
        if (target && (target->width != p->outputWidth || target->height != p->outputHeight)) {
            p->x = p->drawX, p->y = p->drawY;
            if ((error = SaveBackground(p))) break;
        }
        int32_t done = 0;
        // A frame that cannot be drawn ends the playback with its error instead of being retried for ever.
        if ((error = Step(p, &done)) || done) break;
        WaitFrame(vm);
    }
    FreePlayback(p);
    return error;
}

int DrawAnimFrame(VMState *vm, ObjectId id, int32_t x, int32_t y, int32_t n, int optionsIndex) {
    AnimObject *anim = nullptr;
    if (int error = FindAnim(id, &anim, kFindAnimPending)) return error;
    EndAnimOutputSelection(vm, anim);
    if (n < 0 || n >= anim->frameCount) return AnimFrameOutOfRange(int64_t(n) + 1, anim->frameCount);
    DisplayTransform transform;
    LayerOptions options;
    if (optionsIndex)
        if (int error = ParseDisplayOptions(vm, optionsIndex, anim->width, anim->height, 0, &transform, &options))
            return error;
    const DisplayRecord *display = CurrentDisplay;
    if (display && display->layersEnabled && display->outputKind == ObjectKindDisplay) {
        // The frame travels as the part's x offset: the layer code reads it for anim layers.
        if (!DisplayImageLayerHook) return LibraryNotRegistered("layers");
        return DisplayImageLayerHook(vm, ObjectKindAnim, anim->id, n, 0, x, y, anim->width, anim->height, transform,
                                     options);
    }
    ImageTriple frame;
    bool owned = false;
    if (int error = GetAnimFrameImage(anim, n, false, false, &frame, &owned)) return error;
    const int error = DrawImageToOutput(frame, 0, 0, 0, 0, x, y, transform);
    if (owned) FreeImageTriple(&frame);
    return error;
}
