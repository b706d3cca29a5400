#include "fx/fx_engine.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "fx/effect_table.h"
#include "fx/realtime_layer.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/display_image.h"
#include "imaging/planes.h"
#include "runtime/app/hooks.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_list.h"
#include "scene/display/display_record.h"
#include "scene/images/bgpic.h"
#include "scene/layers/layers.h"

int32_t FxSpeedStep(const FxSpeedRule &rule, int32_t speed, int32_t along, int32_t width, int32_t height) {
    int32_t step = speed;
    if (speed >= -3 && speed <= -1) {
        const int32_t named = rule.named[-1 - speed];
        if (rule.basis == kFxFixed) step = named;
        else if (rule.basis == kFxWidth) step = width / named;
        else if (rule.basis == kFxLongest) step = std::max(width, height) / named;
        else step = along / named;
    } else if (rule.other == kFxFifths) {
        step = speed / 5;
    } else if (rule.other == kFxBelow1Normal && speed < 1) {
        step = rule.named[0];
    }
    step = std::max(step, 1);
    switch (rule.bound) {
    case kFxNoBound: break;
    case kFxBelowSize: step = std::min(step, along - 1); break;
    case kFxHalf: step = std::min(step, along / 2); break;
    case kFxQuarter: step = std::min(step, along / 4); break;
    case kFxSize: step = std::min(step, along); break;
    case kFxTwice: step = int32_t(std::min<int64_t>(step, 2 * int64_t(along))); break;
    case kFxOneOverHalf: step = step > along / 2 ? 1 : step; break;
    case kFxOneOverQuarter: step = step > along / 4 ? 1 : step; break;
    }
    return std::clamp(step, rule.low, rule.high);
}

int32_t EffectStepCount(int32_t size, int32_t step, int32_t flag) {
    if (size <= 0) return 1;
    if (step < 1) step = 1;
    const int64_t count = (int64_t(size) + step - 1) / step + (flag == 0 ? 1 : 0);
    return int32_t(std::min<int64_t>(count, INT32_MAX));
}

void SetFxRunToSize(FxRequest *request, int32_t size) {
    request->frameCount = EffectStepCount(size - request->step, request->step, 0);
    request->run = {0, request->step, size};
}

int32_t ReverseEffect(int32_t id) {
    const FxEffectRow *row = FindFxEffect(id);
    return row ? row->reverse : id;
}

int RunFxPhase(FxRequest *request, int *done) {
    const FxFamily *family = request->row->family;
    if (request->phase == 0) {
        request->run = FxRun{};
        return family->setup(request);
    }
    if (request->phase != 1 && !(request->phase == 2 && (request->row->sets & kFxDirectFrame))) return 0;
    const FxRun &run = request->run;
    const int64_t played = request->phase == 1 ? int64_t(request->frame) + 1 : request->frame;
    int64_t position = run.origin + played * run.advance;
    const bool end = position >= run.end;
    if (end) position = run.end;
    const int result = family->draw(request, int32_t(std::max<int64_t>(position, INT32_MIN)));
    if (result > 0) return result;
    if ((end || result == kFxLastFrame) && done) *done = 1;
    if (request->phase == 1) FinishFxFrame(request);
    return 0;
}

void FreeFxState(FxRequest *request, int flag) {
    if (!request->state) return;
    if (request->row->family->finish) request->row->family->finish(request, flag);
    FreeBlock(request->state);
    request->state = nullptr;
}

// ---- Plain-target drawing ---------------------------------------------------------------------------------------

const ClipRegion *FxClipRegion(const FxRequest *request) {
    const BGPic *picture = CurrentBGPic;
    return request->frameRoad || !picture ? nullptr : picture->clipRegion;
}

HostBitmap *FxOutputBitmap(const FxRequest *request) {
    if (request->target) return request->target;
    return CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr;
}

namespace {

// What the window shows: the composed picture when layers are on, else the picture's display image.
const HostBitmap *ShownBitmap(DisplayRecord *display) {
    if (display->layersEnabled) return display->secondBitmap;
    if (!display->picture || display->picture->current.alpha) return nullptr;
    return GetBGPicDisplayImage(display, display->picture);
}

constexpr int32_t kFxRefreshWhole = -1;
constexpr int32_t kFxSeparateUploads = 8;

} // namespace

// Rectangles of the bitmap the window shows go up one by one; a frame drawn elsewhere (a redirected or a layered
// display's own picture) has the display composed again at its end.
void UploadFxOutputRect(FxRequest *request, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (request->noPresent || width <= 0 || height <= 0) return;
    if (request->realtimeLayer) {
        // Drawn into the layer's bitmap: its area is composed and shown at the frame's end.
        request->layerDirty = 1;
        return;
    }
    HostBitmap *output = FxOutputBitmap(request);
    DisplayRecord *display = CurrentDisplay;
    if (!output || request->scaledDisplay || !display || display->outputKind != ObjectKindDisplay ||
        display->state != DISPSTATE_OPEN)
        return; // nothing shown, or presented whole at the frame's end
    if (output != ShownBitmap(display)) {
        if (!request->target) request->uploadedRects = kFxRefreshWhole;
        return;
    }
    if (request->uploadedRects == kFxRefreshWhole) return;
    // Each upload costs a call into the window layer per row: a frame of hundreds of tall thin blinds goes up
    // cheaper as one box of the same bitmap, while wide rows go up as they are.
    if (request->uploadedRects >= kFxSeparateUploads && int64_t(width) * 4 < height) {
        const bool none = request->pendingRight <= request->pendingLeft;
        request->pendingLeft = none ? x : std::min(request->pendingLeft, x);
        request->pendingTop = none ? y : std::min(request->pendingTop, y);
        request->pendingRight = none ? x + width : std::max(request->pendingRight, x + width);
        request->pendingBottom = none ? y + height : std::max(request->pendingBottom, y + height);
    } else {
        UploadDisplayRect(output, x, y, display, x, y, width, height);
    }
    request->uploadedRects++;
}

// The rectangles held back in this frame go up before it is shown.
static void UploadPendingRects(FxRequest *request) {
    if (request->pendingRight <= request->pendingLeft) return;
    HostBitmap *output = FxOutputBitmap(request);
    DisplayRecord *display = CurrentDisplay;
    if (output && display && output == ShownBitmap(display))
        UploadDisplayRect(output, request->pendingLeft, request->pendingTop, display, request->pendingLeft,
                          request->pendingTop, request->pendingRight - request->pendingLeft,
                          request->pendingBottom - request->pendingTop);
    request->pendingLeft = request->pendingTop = request->pendingRight = request->pendingBottom = 0;
}

void DrawFxNewRect(FxRequest *request, int32_t sx, int32_t sy, int32_t width, int32_t height) {
    if (request->realtimeLayer && !request->frameRoad) {
        LayerDrawParams *state = request->preparedState;
        if (!request->layerPrepared || !state) return;
        const int32_t flags = (request->reverse ? kFxRectClear : 0) | (request->noPresent ? kFxRectNoPresent : 0);
        DrawFxRect(request->newImage, sx, sy, state->bitmap, state->mask, state->alpha, sx, sy, width, height,
                   request->width, request->height, request->width, request->height, request->newMask,
                   request->newAlpha, request, flags);
        return;
    }
    // Clip to the image first: SAFEBLT would clip too, but the upload needs the rectangle that changed.
    if (sx < 0) width += sx, sx = 0;
    if (sy < 0) height += sy, sy = 0;
    width = std::min(width, request->width - sx);
    height = std::min(height, request->height - sy);
    if (width <= 0 || height <= 0) return;
    HostBitmap *output = FxOutputBitmap(request);
    if (!output) return;
    const int32_t dx = request->x + sx, dy = request->y + sy;
    SAFEBLT(request->newImage, sx, sy, output, dx, dy, width, height, request->width, request->height,
            request->outWidth, request->outHeight, request->bltFlags, request->newMask, request->newAlpha,
            FxClipRegion(request));
    int32_t ux = dx, uy = dy;
    const int32_t right = std::min<int64_t>(int64_t(dx) + width, std::min(request->outWidth, output->width));
    const int32_t bottom = std::min<int64_t>(int64_t(dy) + height, std::min(request->outHeight, output->height));
    ux = std::max(ux, 0), uy = std::max(uy, 0);
    UploadFxOutputRect(request, ux, uy, right - ux, bottom - uy);
}

void DrawFxPicture(FxRequest *request, const HostBitmap *picture, int32_t flags) {
    HostBitmap *output = FxOutputBitmap(request);
    if (!output || !picture) return;
    SAFEBLT(picture, 0, 0, output, request->x, request->y, request->width, request->height, request->width,
            request->height, request->outWidth, request->outHeight, flags, nullptr, nullptr, FxClipRegion(request));
    const int32_t x = std::max(request->x, 0), y = std::max(request->y, 0);
    const int32_t right = std::min<int64_t>(int64_t(request->x) + request->width, std::min(request->outWidth, output->width));
    const int32_t bottom =
        std::min<int64_t>(int64_t(request->y) + request->height, std::min(request->outHeight, output->height));
    UploadFxOutputRect(request, x, y, right - x, bottom - y);
}

void FinishFxFrame(FxRequest *request) {
    if (request->realtimeLayer) {
        if (request->layerDirty) PresentLayerArea(request);
        else ShowLayerUploads(request);
        request->frame++;
        return;
    }
    UploadPendingRects(request);
    if (!request->noPresent) {
        DisplayRecord *display = CurrentDisplay;
        HostBitmap *output = FxOutputBitmap(request);
        if (request->scaledDisplay && output)
            PresentDisplayRect(output, 0, 0, display, 0, 0, request->outWidth, request->outHeight, 1);
        else if (request->uploadedRects == kFxRefreshWhole && display)
            RefreshDisplay(display, 0);
        else if (request->uploadedRects > 0)
            PresentDisplayFrame(display);
    }
    request->uploadedRects = 0;
    request->frame++;
}

// ---- Layer drawing and plane helpers -----------------------------------------------------------------------------

void DrawFxRect(const HostBitmap *source, int32_t sx, int32_t sy, HostBitmap *destination, MaskPlane *destinationMask,
                AlphaPlane *destinationAlpha, int32_t dx, int32_t dy, int32_t width, int32_t height,
                int32_t sourceWidth, int32_t sourceHeight, int32_t destinationWidth, int32_t destinationHeight,
                const MaskPlane *sourceMask, const AlphaPlane *sourceAlpha, FxRequest *request, int32_t flags) {
    if (sx < 0 || sy < 0) return;
    const int32_t displayX = dx, displayY = dy, shownWidth = width, shownHeight = height;
    if (!ClipBlitRect(nullptr, &sx, &sy, &dx, &dy, &width, &height, sourceWidth, sourceHeight, destinationWidth,
                      destinationHeight))
        return;
    const bool touchWork = request && !(flags & kFxRectKeepWork);
    if (flags & kFxRectClear) {
        if (destinationAlpha) FillAlphaRect(destinationAlpha, dx, dy, width, height, 0);
        else if (destinationMask) FillMaskRect(destinationMask, dx, dy, width, height, MASKINVISIBLE);
        if (touchWork) {
            if (request->workAlpha) FillAlphaRect(request->workAlpha, sx, sy, width, height, 0);
            else if (request->workMask) FillMaskRect(request->workMask, sx, sy, width, height, MASKINVISIBLE);
        }
        if (!request) return;
    } else {
        if (sourceMask && destinationMask) {
            BlitTemplateToMask(sourceMask, sx, sy, destinationMask, dx, dy, width, height,
                               (flags & kFxRectMaskVisible) ? TemplateMaskSet : TemplateMaskCopy);
            if (touchWork && request->workMask) FillMaskRect(request->workMask, sx, sy, width, height, MASKVISIBLE);
        } else if (sourceAlpha && destinationAlpha) {
            BltAlphaPlane(sourceAlpha, sx, sy, destinationAlpha, dx, dy, width, height,
                          (flags & kFxRectMaskVisible) ? kAlphaCopyNonZero : kAlphaCopy, 0);
            if (touchWork && request->workAlpha) FillAlphaRect(request->workAlpha, sx, sy, width, height, 255);
        } else if (destinationMask) {
            FillMaskRect(destinationMask, dx, dy, width, height, MASKVISIBLE);
        }
        if ((flags & kFxRectThroughMask) && sourceMask) BLTMASK(source, sx, sy, destination, dx, dy, width, height, sourceMask);
        else if ((flags & kFxRectThroughMask) && sourceAlpha)
            BLTALPHACHANNEL(sourceAlpha, sx, sy, destination, dx, dy, width, height, 0, kAlphaChannelBitmap, source);
        else BLTBITMAP(source, sx, sy, destination, dx, dy, width, height);
    }
    if (request && request->layer && !(flags & kFxRectNoPresent))
        PresentFxRect(request, destination, displayX, displayY, displayX + request->x, displayY + request->y,
                      shownWidth, shownHeight, destinationWidth, destinationHeight, destinationMask, destinationAlpha,
                      0);
}

// The fast road copies the layer's pixels straight into the composed picture; anything that changes how they
// show (transparency, see-through, tint, clip, a layer over it) has the rectangle composed again instead.
void PresentFxRect(FxRequest *request, const HostBitmap *source, int32_t sx, int32_t sy, int32_t displayX,
                   int32_t displayY, int32_t width, int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                   const MaskPlane *sourceMask, const AlphaPlane *sourceAlpha, int32_t flags) {
    DisplayRecord *display = CurrentDisplay;
    BGPic *picture = CurrentBGPic;
    const vlLayer *layer = request->layer;
    if (!display || !picture || !display->secondBitmap || !source || !layer || !layer->current) return;
    HostBitmap *shown = display->secondBitmap;
    if (!ClipBlitRect(nullptr, &sx, &sy, &displayX, &displayY, &width, &height, sourceWidth, sourceHeight,
                      std::min(picture->current.width, shown->width), std::min(picture->current.height, shown->height)))
        return;
    if (display->outputKind != ObjectKindDisplay || display->state != DISPSTATE_OPEN) {
        RefreshRect(displayX, displayY, width, height);
        return;
    }
    const ClipRegion *clip = layer->current->clip;
    const bool fast = !(flags & kFxRectClear) && !sourceMask && !sourceAlpha && !layer->transparency && !layer->tint &&
                      !clip && !layer->hidden && !layer->deferred && IsLayerUncovered(picture, layer) &&
                      !SpritesOverlapRect(picture, displayX, displayY, width, height);
    if (fast) BLTBITMAP(source, sx, sy, shown, displayX, displayY, width, height);
    else REDRAW(display, picture, shown, displayX, displayY, width, height, 0, 0);
    if (request->scaledDisplay) return; // the whole display is presented at the frame's end
    UploadDisplayRect(shown, displayX, displayY, display, displayX, displayY, width, height);
    request->uploadedRects++;
}

void FillFxRect(FxRequest *request, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour,
                int32_t flags) {
    HostBitmap *output = FxOutputBitmap(request);
    if (!output) return;
    int32_t sx = 0, sy = 0;
    x += request->x, y += request->y;
    if (!ClipBlitRect(nullptr, &sx, &sy, &x, &y, &width, &height, INT32_MAX, INT32_MAX,
                      std::min(request->outWidth, output->width), std::min(request->outHeight, output->height)))
        return;
    RECTFILL(output, x, y, width, height, colour);
    if (!(flags & kFxRectNoPresent)) UploadFxOutputRect(request, x, y, width, height);
}

void ClippedCopyRect(const HostBitmap *source, int32_t sx, int32_t sy, HostBitmap *destination, int32_t dx,
                     int32_t dy, int32_t width, int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                     int32_t destinationWidth, int32_t destinationHeight) {
    if (sx < 0) width += sx, dx -= sx, sx = 0;
    if (sy < 0) height += sy, dy -= sy, sy = 0;
    if (width < 0 || height < 0) return;
    if (dx < 0) width += dx, sx -= dx, dx = 0;
    if (dy < 0) height += dy, sy -= dy, dy = 0;
    width = std::min({width, sourceWidth - sx, destinationWidth - dx});
    height = std::min({height, sourceHeight - sy, destinationHeight - dy});
    if (width > 0 && height > 0) BLTBITMAP(source, sx, sy, destination, dx, dy, width, height);
}

void BuildFxAlpha(AlphaPlane *destination, const MaskPlane *sourceMask, const AlphaPlane *sourceAlpha, int32_t width,
                  int32_t height) {
    if (!destination) return;
    width = std::min(width, destination->width);
    height = std::min(height, destination->height);
    if (sourceMask) {
        for (int32_t y = 0; y < height; y++) {
            uint8_t *row = destination->bytes + size_t(y) * size_t(destination->bytesPerRow);
            for (int32_t x = 0; x < width; x++) row[x] = MaskBit(sourceMask, x, y) ? 255 : 0;
        }
    } else if (sourceAlpha) {
        BltAlphaPlane(sourceAlpha, 0, 0, destination, 0, 0, width, height, kAlphaCopy, 0);
    } else {
        std::memset(destination->bytes, 255, size_t(destination->bytesPerRow) * size_t(destination->height));
    }
}
