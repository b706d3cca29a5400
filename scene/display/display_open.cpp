// Opening, closing, resizing and scaling displays, and presenting their pictures.
#include "scene/display/display_open.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "host/window.h"
#include "imaging/async_draw.h"
#include "imaging/display_image.h"
#include "imaging/image_ops.h"
#include "imaging/pointer.h"
#include "imaging/position.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/object_list.h"
#include "scene/display/create_display.h"
#include "scene/display/display_list.h"
#include "scene/images/bgpic.h"
#include "scene/images/output.h"
#include "scene/images/plane_copy.h"
#include "scene/layers/layers.h"

namespace {

int SizeError(int32_t width, int32_t height) {
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d", int(width), int(height));
    SetErrorArgString(text);
    return kErrChangeDisplaySize;
}

bool HasShape(const ImageTriple &image) { return image.mask || image.alpha; }

// The frame of an open window; a closed one keeps the frame of its last opening, which is the best guess for
// where a position constant puts the next one.
void StoreBorders(DisplayRecord *d) {
    if (d->flags & kDisplayBorderless) {
        d->borderLeft = d->borderTop = d->borderWidth = d->borderHeight = 0;
        return;
    }
    HostWindow *w = d->hostWindow;
    if (!w || !w->open) return;
    ComputeWindowBorders(w);
    d->borderLeft = w->borderLeft;
    d->borderTop = w->borderTop;
    d->borderWidth = w->borderHorizontal;
    d->borderHeight = w->borderVertical;
}

DisplayRegion ScaleRegion(const DisplayRegion &r, double sx, double sy) {
    DisplayRegion out = r;
    out.x = int32_t(std::lround(r.x * sx));
    out.y = int32_t(std::lround(r.y * sy));
    out.width = int32_t(std::lround(r.width * sx));
    out.height = int32_t(std::lround(r.height * sy));
    return out;
}

void ClampRegion(DisplayRegion *r, int32_t width, int32_t height) {
    if (r->x + r->width > width) r->width = width - r->x;
    if (r->y + r->height > height) r->height = height - r->y;
    if (r->x >= width) r->x = width - 1;
    if (r->y >= height) r->y = height - 1;
    if (r->width <= 0) r->width = 1;
    if (r->height <= 0) r->height = 1;
}

// The picture copy a BGPICPART layer keeps when the display's picture changes size under it.
int CopyPictureForReferrer(void *argument, ObjectId *newId) {
    BGPic *copy = nullptr;
    if (int error = CopyBGPicRecord(static_cast<const BGPic *>(argument), newId, &copy)) return error;
    BGPicList.MarkPending(copy);
    *newId = copy->id;
    return 0;
}

bool SameRegions(const DisplayRecord *a, const DisplayRecord *b) {
    return a->dragRegionCount == b->dragRegionCount && a->sizeRegionCount == b->sizeRegionCount &&
           std::memcmp(a->dragRegions, b->dragRegions, sizeof(DisplayRegion) * size_t(a->dragRegionCount)) == 0 &&
           std::memcmp(a->sizeRegions, b->sizeRegions, sizeof(DisplayRegion) * size_t(a->sizeRegionCount)) == 0;
}

void ResetCursor(DisplayRecord *d) {
    const int32_t right = d->picture ? d->picture->scaled.width - 1 : 0;
    if (d->outputKind == ObjectKindDisplay) {
        d->cursorX = d->cursorY = d->leftMargin = 0;
        d->rightMargin = right;
    } else {
        d->savedCursorX = d->savedCursorY = d->savedLeftMargin = 0;
        d->savedRightMargin = right;
    }
}

// Shows the display's whole image: a display that scales itself shows it at its scaled size, placed inside the
// borders that keep its proportions.
void PresentWholeDisplay(DisplayRecord *d, const HostBitmap *image) {
    if (d->autoScaling && DisplayHasScaledSize(d)) {
        PresentWindowScaled(d->hostWindow, image, d->scaledLeft, d->scaledTop, d->scaledWidth, d->scaledHeight);
        return;
    }
    ClearDisplayBorders(d);
    PresentDisplayRect(image, 0, 0, d, 0, 0, image->width, image->height, 9);
}

} // namespace

ScreenRect DisplayScreenArea() {
    ScreenRect area;
    QueryBitMapAttr(nullptr, 23, &area);
    return area;
}

void ResolveDisplayPosition(DisplayRecord *d, const ScreenRect &area) {
    const int32_t x = ResolveXPosition(d->x, d->width + d->borderWidth, area.width, 0.0);
    if (x != d->x) d->x = x + area.x;
    const int32_t y = ResolveYPosition(d->y, d->height + d->borderHeight, area.height, 0.0);
    if (y != d->y) d->y = y + area.y;
}

void SetDefaultRegions(DisplayRecord *d) {
    if (!d->dragRegionsGiven) {
        d->dragRegions[0] = DisplayRegion{14, 0, 0, d->width, 15};
        d->dragRegionCount = 1;
    }
    if (!d->sizeRegionsGiven) {
        d->sizeRegions[0] = DisplayRegion{14, d->width - 10, d->height - 10, 10, 10};
        d->sizeRegionCount = 1;
    }
}

void ClampDisplayRegions(DisplayRecord *d) {
    for (int i = 0; i < d->dragRegionCount; i++) ClampRegion(&d->dragRegions[i], d->width, d->height);
    for (int i = 0; i < d->sizeRegionCount; i++) ClampRegion(&d->sizeRegions[i], d->width, d->height);
}

void ComputeKeptProportions(DisplayRecord *d, int32_t width, int32_t height) {
    const BGPic *p = d->picture;
    const double pw = p ? p->scaled.width : width, ph = p ? p->scaled.height : height;
    int32_t sw = width;
    int32_t sh = int32_t(ph / pw * width);
    if (sh > height) {
        sh = height;
        sw = int32_t(pw / ph * height);
    }
    d->scaledWidth = sw;
    d->scaledHeight = sh;
    d->scaledLeft = (width - sw) / 2;
    d->scaledTop = (height - sh) / 2;
    d->scaledRight = width - sw - d->scaledLeft;
    d->scaledBottom = height - sh - d->scaledTop;
}

void SyncHostWindow(DisplayRecord *d) {
    HostWindow *w = d->hostWindow;
    if (!w) return;
    // The record's position is the frame's corner; the window system places the inner area.
    w->x = d->x + d->borderLeft;
    w->y = d->y + d->borderTop;
    w->width = d->width;
    w->height = d->height;
    w->flags = 0;
    if (d->flags & kDisplayBorderless) w->flags |= kWindowBorderless;
    if ((d->flags & kDisplaySizeable) && !(d->flags & kDisplayFixed)) w->flags |= kWindowSizeable;
    if (d->private1) w->flags |= kWindowBackdrop;
    w->title = d->title;
    w->closeWindowFlag = d->closeWindowFlag;
    w->dragRegions.clear();
    w->sizeRegions.clear();
    for (int i = 0; i < d->dragRegionCount; i++) {
        const DisplayRegion &r = d->dragRegions[i];
        w->dragRegions.push_back(WindowRect{r.x, r.y, r.width, r.height});
    }
    for (int i = 0; i < d->sizeRegionCount; i++) {
        const DisplayRegion &r = d->sizeRegions[i];
        w->sizeRegions.push_back(WindowRect{r.x, r.y, r.width, r.height});
    }
}

int RealizeDisplay(DisplayRecord *d, int activate) {
    if (!d->hostWindow)
        if (int error = AllocHostWindow(d, &d->hostWindow)) return error;
    const ScreenRect area = DisplayScreenArea();
    StoreBorders(d);
    BGPic *p = d->picture;
    if (DisplayScales(d)) {
        if (d->flags & kDisplayFitScale) {
            const int32_t w = area.width - d->borderWidth, h = area.height - d->borderHeight;
            d->x = area.x;
            d->y = area.y;
            d->width = w;
            d->height = h;
            if ((d->flags & kDisplayKeepProportions) && p && !HasShape(p->current)) {
                ComputeKeptProportions(d, w, h);
            } else {
                d->scaledWidth = w;
                d->scaledHeight = h;
                d->scaledLeft = d->scaledTop = d->scaledRight = d->scaledBottom = 0;
            }
        }
        if (DisplayHasScaledSize(d) && p && p->scaled.width > 0 && p->scaled.height > 0) {
            const double sx = double(d->scaledWidth) / p->scaled.width, sy = double(d->scaledHeight) / p->scaled.height;
            if (d->dragRegionsGiven)
                for (int i = 0; i < d->dragRegionCount; i++)
                    d->dragRegions[i] = ScaleRegion(d->scriptDragRegions[i], sx, sy);
            if (d->sizeRegionsGiven)
                for (int i = 0; i < d->sizeRegionCount; i++)
                    d->sizeRegions[i] = ScaleRegion(d->scriptSizeRegions[i], sx, sy);
        }
    }
    ResolveDisplayPosition(d, area);
    SetDefaultRegions(d);
    ClampDisplayRegions(d);
    if (!FitsScreen(d->hostWindow, d->x, d->y, d->width + d->borderWidth, d->height + d->borderHeight))
        return SizeError(d->width, d->height);
    SyncHostWindow(d);
    const MaskPlane *mask = d->windowMask ? d->windowMask : (p ? p->current.mask : nullptr);
    const AlphaPlane *alpha = d->windowAlpha ? d->windowAlpha : (p ? p->current.alpha : nullptr);
    if (int error = OpenDisplayWindow(d->hostWindow, activate, mask, alpha)) return error;
    StoreBorders(d);
    d->state = DISPSTATE_OPEN;
    d->activateOnOpen = activate;
    if (d->handlers[kSlotOnDropFile].function != -1)
        if (int error = UpdateAppWindow(d->hostWindow, 1)) return error;
    if (d->handlers[kSlotClipboardChange].function != -1)
        if (int error = UpdateClipboardHook(d->hostWindow, 1)) return error;
    ApplyDisplayPointer(d);
    return RefreshDisplay(d, 0);
}

void ApplyDisplayPointer(DisplayRecord *d) {
    HostWindow *w = d->hostWindow;
    if (!w || d->state != DISPSTATE_OPEN) return;
    const auto *pointer = static_cast<const PointerRecord *>(d->pointer);
    if (((d->flags & kDisplayHidePointer) && OwnScreenFlag) || d->pointerHidden) HideDisplayPointer(w);
    else if (!pointer) RestoreDisplayPointer(w);
    else
        SetDisplayPointer(w, pointer->image, pointer->alpha, pointer->hotX, pointer->hotY,
                          pointer->kind == kPointerBusy ? kHostPointerBusy : kHostPointerImage);
}

void CloseDisplayWindowStep(DisplayRecord *d) {
    if (HostWindow *w = d->hostWindow) {
        w->minimised = false; // an iconified window closes as well
        CloseDisplayWindow(w);
    }
    ResetDisplayInputState(d);
    d->state = DISPSTATE_CLOSED;
}

void UnrealizeDisplay(DisplayRecord *d, DisplayRecord *closing) {
    DisplayRecord *target = closing ? closing : d;
    CloseDisplayWindowStep(target);
    target->activateOnOpen = 0;
    d->state = DISPSTATE_CLOSED;
}

int RefreshDisplayNow(DisplayRecord *d, int) {
    if (!d || d->state != DISPSTATE_OPEN || !d->picture) return 0;
    BGPic *p = d->picture;
    if (d->doubleBuffering || d->selectOnDoubleBuffer) {
        PresentDoubleBuffer(d, 1, 0);
        return 0;
    }
    HostBitmap *image = GetBGPicDisplayImage(d, p);
    if (!image) return 0;
    if (p->current.alpha) CopyDisplayAlphaToBitmap(d, image);
    PresentWholeDisplay(d, image);
    return 0;
}

void ClearDisplayBorders(DisplayRecord *d) {
    HostWindow *w = d->hostWindow;
    if (!w) return;
    const int32_t l = d->scaledLeft, t = d->scaledTop, r = d->scaledRight, b = d->scaledBottom;
    const int32_t width = d->width, height = d->height;
    if (l) FillDisplayRect(w, l, t, -l, -t, l, height, 0);
    if (t) FillDisplayRect(w, l, t, -l, -t, width, t, 0);
    if (r) FillDisplayRect(w, l, t, width - l - r, -t, r, height, 0);
    if (b) FillDisplayRect(w, l, t, -l, height - t - b, width, b, 0);
}

void CopyDisplayAlphaToBitmap(DisplayRecord *d, HostBitmap *bitmap) {
    if (!bitmap || bitmap->bytesPerPixel != 4 || !d->picture) return;
    const AlphaPlane *source = (d->windowAlpha && !d->autoScaling) ? d->windowAlpha : d->picture->current.alpha;
    if (!source) return;
    BitMapAccess access;
    if (!LockBitMapAccess(bitmap, &access)) return;
    // A window alpha left from an earlier scale can be smaller or larger than the picture now is.
    const int32_t width = std::min({d->picture->current.width, source->width, bitmap->width});
    const int32_t height = std::min({d->picture->current.height, source->height, bitmap->height});
    for (int32_t y = 0; y < height; y++) {
        uint32_t *row = HostBitmapRow32(bitmap, y);
        const uint8_t *a = source->bytes + size_t(y) * size_t(source->bytesPerRow);
        for (int32_t x = 0; x < width; x++) row[x] = (row[x] & 0xFFFFFF) | (uint32_t(a[x]) << 24);
    }
    UnlockBitMapAccess(&access);
}

int ApplyDisplayChanges(DisplayRecord *d, const DisplayRecord *s, int forTransition) {
    int reopen = 0;
    const uint32_t changed = d->flags ^ s->flags;
    if ((changed & kDisplayBorderless) && d->x == s->x && d->y == s->y) {
        // The content stays where it was: the frame goes around it or away from it.
        if (d->flags & kDisplayBorderless) {
            d->x += s->borderLeft;
            d->y += s->borderTop;
        } else {
            d->x -= d->borderLeft;
            d->y -= d->borderTop;
        }
        reopen = 1;
    }
    if (changed & (kDisplaySizeable | kDisplayFixed | kDisplayNoHide | kDisplayUseQuartz | kDisplayNoClose |
                   kDisplayKeepProportions | kDisplayFitScale))
        reopen = 1;
    const bool sizeChanged = d->width != s->width || d->height != s->height;
    const bool shaped = (d->picture && HasShape(d->picture->base)) || (s->picture && HasShape(s->picture->base));
    if (shaped && (d->picture != s->picture || sizeChanged)) reopen = 1;
    if (reopen) {
        CloseDisplayWindowStep(d);
        return RealizeDisplay(d, d->activateOnOpen);
    }
    bool defaults = false;
    if ((s->dragRegionsGiven && !d->dragRegionsGiven) || (s->sizeRegionsGiven && !d->sizeRegionsGiven)) {
        SetDefaultRegions(d);
        defaults = true;
    }
    ResolveDisplayPosition(d, DisplayScreenArea());
    if (sizeChanged) {
        SetDefaultRegions(d);
        ClampDisplayRegions(d);
        SyncHostWindow(d);
        ChangeDisplayWindowBox(d->hostWindow);
        ResetRegionGadgets(d->hostWindow);
    } else {
        SyncHostWindow(d);
        if (d->x != s->x || d->y != s->y) MoveDisplayWindow(d->hostWindow);
        if (defaults || !SameRegions(d, s)) {
            ClampDisplayRegions(d);
            SyncHostWindow(d);
            ResetRegionGadgets(d->hostWindow);
        }
    }
    if (std::strcmp(d->title, s->title) != 0) UpdateWindowTitle(d->hostWindow);
    return forTransition ? 0 : RefreshDisplay(d, 0);
}

int ApplyDisplayAttributes(VMState *vm, int index, DisplayRecord *d, int forTransition) {
    DisplayRecord *w = new (std::nothrow) DisplayRecord;
    DisplayRecord *s = new (std::nothrow) DisplayRecord;
    auto finish = [&](int code) {
        delete w;
        delete s;
        return code;
    };
    if (!w || !s) return finish(kErrOutOfMemory);
    *s = *d;
    BGPic *p = d->picture;
    bool resized = false;
    int scaledGiven = 0;
    for (int pass = 0;; pass++) {
        *w = *d;
        w->width = p->scaled.width;
        w->height = p->scaled.height;
        w->picture = nullptr;
        scaledGiven = 0;
        if (int error = ParseDisplaySettings(vm, index, w, 0, &scaledGiven)) return finish(error);
        const bool modeOff = (d->layerScaling && !w->layerScaling) || (d->autoScaling && !w->autoScaling);
        if (pass > 0 || !modeOff || !DisplayHasScaledSize(d)) break;
        // Switching a scaling mode off: back to the picture's own size first, then read the table again.
        if (int error = ResizeDisplay(vm, d, 0, 0, p->scaled.width, p->scaled.height, 0, d->smoothScaling, 1))
            return finish(error);
        resized = true;
    }
    if (!DisplayScales(w)) {
        w->scaledWidth = w->scaledHeight = 0;
        w->scaledLeft = w->scaledTop = w->scaledRight = w->scaledBottom = 0;
    }
    int scaleChanged = 0;
    if (resized) {
        if (DisplayScales(w)) {
            if (DisplayHasScaledSize(s) && !scaledGiven) {
                w->scaledWidth = s->scaledWidth;
                w->scaledHeight = s->scaledHeight;
                scaleChanged = 1;
            } else if (DisplayHasScaledSize(w)) {
                scaleChanged = 1;
            }
        }
    } else if (DisplayHasScaledSize(w) && (w->scaledWidth != d->scaledWidth || w->scaledHeight != d->scaledHeight)) {
        scaleChanged = 1;
    }
    const bool pictureChanged = w->picture != nullptr;
    int sizeChanged = 0;
    int32_t newWidth = 0, newHeight = 0;
    if (!pictureChanged) {
        w->picture = d->picture;
        sizeChanged = w->width != p->scaled.width || w->height != p->scaled.height;
        newWidth = w->width;
        newHeight = w->height;
    }
    if (DisplayScales(w) && DisplayHasScaledSize(w)) {
        w->width = scaleChanged ? w->scaledWidth : d->width;
        w->height = scaleChanged ? w->scaledHeight : d->height;
    }
    *d = *w;
    if (d->layerScaling && !d->layersEnabled)
        if (int error = EnableDisplayLayers(d)) return finish(error);
    if (pictureChanged) {
        BGPic *picture = d->picture;
        // The picture the display made for itself stays an ordinary picture; the new one is not the display's to
        // free.
        d->ownsPicture = 0;
        if (d->doubleBuffering)
            if (int error = EndDoubleBuffering(vm, d)) return finish(error);
        if (d->outputKind != ObjectKindDisplay)
            if (int error = EndSelectOutput(vm, d, 1)) return finish(error);
        FreeOnScreenSprites(picture);
        FreeAllAsyncDraws();
        d->cursorX = d->cursorY = d->leftMargin = 0;
        d->rightMargin = picture->scaled.width - 1;
        FreeMaskPlane(d->windowMask);
        FreeAlphaPlane(d->windowAlpha);
        d->windowMask = nullptr;
        d->windowAlpha = nullptr;
        if (int error = PrepareBGPicForDisplayScale(vm, d, picture, &d->windowMask, &d->windowAlpha))
            return finish(error);
        if (int error = CopyBGPicToDisplayBitmaps(d, picture, 1)) return finish(error);
        BGPic *oldPicture = d == CurrentDisplay ? CurrentBGPic : nullptr;
        if (d == CurrentDisplay) CurrentBGPic = picture;
        // The picture shown before keeps its layers, but no longer at this display's scale.
        if (d->layerScaling && DisplayHasScaledSize(d) && oldPicture && oldPicture != picture)
            if (int error = ResetLayerScaling(d, oldPicture, 0)) return finish(error);
        sizeChanged = scaleChanged = 0;
    }
    if (sizeChanged) {
        const int32_t x = d->x != s->x ? d->x : kPosCenter, y = d->y != s->y ? d->y : kPosCenter;
        if (int error = ResizeDisplay(vm, d, x, y, newWidth, newHeight, 1, d->smoothScaling, 1)) return finish(error);
    }
    if (scaleChanged)
        if (int error = ResizeDisplay(vm, d, 0, 0, d->scaledWidth, d->scaledHeight, 0, d->smoothScaling, 1))
            return finish(error);
    if (d->x == kNoPosition) d->x = d->width == s->width ? s->x : kPosCenter;
    if (d->y == kNoPosition) d->y = d->height == s->height ? s->y : kPosCenter;
    int result = 0;
    if (d->state == DISPSTATE_OPEN) result = ApplyDisplayChanges(d, s, forTransition);
    // The picture shown before, if the script freed it while it was shown, goes now: the window's changes above
    // still read it through s.
    if (pictureChanged) FlushPendingFrees();
    return finish(result);
}

int ResizeDisplay(VMState *vm, DisplayRecord *d, int32_t x, int32_t y, int32_t width, int32_t height,
                  int request, int smooth, int noRedraw) {
    BGPic *p = d->picture;
    if (!p) return kErrWrongUsage;
    ObjectId made{};
    if (int error = ForEachReferrer(ObjectKindBGPicPart, p->id, CopyPictureForReferrer, p, &made)) return error;

    if (d->layerScaling && request && DisplayHasScaledSize(d)) {
        // The script changes the picture's size; the window keeps its scaled size.
        if (p->scaled.width == width && p->scaled.height == height) return 0;
        ImageTriple rendered;
        if (int error = RenderBGPicAtSize(BGPicRebuildsFromFill(p), p->base, &p->fill, width, height, smooth != 0,
                                          &rendered))
            return error;
        const bool currentIsOwn = p->current.bitmap == p->base.bitmap || p->current.bitmap == p->scaled.bitmap;
        ImageTriple oldScaled = p->scaled, oldCurrent = p->current;
        if (currentIsOwn) p->current = rendered;
        p->scaled = rendered;
        // Planes may be shared between the old triples and the base: each is freed once, the base never.
        if (currentIsOwn) FreeTripleExcept(&oldCurrent, &p->base, &oldScaled);
        FreeTripleExcept(&oldScaled, &p->base, &p->current);
        d->scaleX = double(d->scaledWidth) / width;
        d->scaleY = double(d->scaledHeight) / height;
        // The scale factors changed either way, so the layers' shown states are made again.
        if (int error = RebuildBGPicLayers(vm, d, p)) return error;
        if (currentIsOwn)
            if (int error = CopyBGPicToDisplayBitmaps(d, p, 1)) return error;
        if (!noRedraw && (currentIsOwn || !IsListEmpty(&p->layers))) return RefreshDisplay(d, 0);
        return 0;
    }

    const bool shaped = HasShape(p->current);
    const bool autoScaled = d->autoScaling && DisplayHasScaledSize(d);
    bool boxChanged = false;
    const int32_t oldX = d->x, oldY = d->y, oldWidth = d->width, oldHeight = d->height;
    if (!request) {
        d->width = width;
        d->height = height;
        if (DisplayScales(d)) {
            if ((d->flags & kDisplayKeepProportions) && !shaped) {
                ComputeKeptProportions(d, width, height);
            } else {
                d->scaledWidth = width;
                d->scaledHeight = height;
                d->scaledLeft = d->scaledTop = d->scaledRight = d->scaledBottom = 0;
            }
        }
    } else if (!autoScaled) {
        d->x = x;
        d->y = y;
        d->width = width;
        d->height = height;
        ResolveDisplayPosition(d, DisplayScreenArea());
        boxChanged = true;
    }
    if (request && !shaped && !autoScaled &&
        !FitsScreen(d->hostWindow, d->x, d->y, width + d->borderWidth, height + d->borderHeight)) {
        // Nothing was changed on the window, so the record keeps the box it shows.
        d->x = oldX;
        d->y = oldY;
        d->width = oldWidth;
        d->height = oldHeight;
        return SizeError(width, height);
    }
    const bool open = d->state == DISPSTATE_OPEN;
    if (!shaped && !noRedraw && open) {
        SetDefaultRegions(d);
        ClampDisplayRegions(d);
        SyncHostWindow(d);
        if (boxChanged) ChangeDisplayWindowBox(d->hostWindow);
        ResetRegionGadgets(d->hostWindow);
    }

    bool copyToDisplay = true;
    if (d->layerScaling && !request) {
        if (DisplayHasScaledSize(d) && d->scaledWidth == p->scaled.width && d->scaledHeight == p->scaled.height) {
            if (int error = ResetLayerScaling(d, p, 0)) return error;
            d->scaleX = d->scaleY = 1.0;
        } else if (DisplayHasScaledSize(d)) {
            if (int error = ScaleBGPicToDisplay(vm, d, p, 0)) return error;
        }
    } else if (d->autoScaling && !request) {
        FreeMaskPlane(d->windowMask);
        FreeAlphaPlane(d->windowAlpha);
        d->windowMask = nullptr;
        d->windowAlpha = nullptr;
        d->scaleX = double(d->scaledWidth) / p->scaled.width;
        d->scaleY = double(d->scaledHeight) / p->scaled.height;
        if ((d->scaleX != 1.0 || d->scaleY != 1.0) && HasShape(p->base)) {
            HostBitmap *bitmap = nullptr;
            if (int error = ScaleImage(p->base.bitmap, p->base.mask, p->base.alpha, 0, 0, nullptr, p->base.width,
                                       p->base.height, d->scaledWidth, d->scaledHeight, true, &bitmap,
                                       &d->windowMask, &d->windowAlpha))
                return error;
            FreeHostBitmap(bitmap);
        }
        copyToDisplay = false;
    } else {
        if (int error = ScaleBGPicImage(p, width, height, smooth != 0)) return error;
        if (autoScaled) {
            d->scaleX = double(d->scaledWidth) / width;
            d->scaleY = double(d->scaledHeight) / height;
        }
    }
    if (copyToDisplay)
        if (int error = CopyBGPicToDisplayBitmaps(d, p, 1)) return error;
    if (d->doubleBuffering && d->autoScaling && DisplayHasScaledSize(d))
        if (int error = ResizeFrontBuffer(d, d->scaledWidth, d->scaledHeight)) return error;
    HostBitmap *image = GetBGPicDisplayImage(d, p);
    if (d->autoScaling && DisplayHasScaledSize(d) && image == d->firstBitmap && d->secondBitmap)
        REDRAW(d, p, d->secondBitmap, 0, 0, p->current.width, p->current.height, 0, 4);
    if (!noRedraw && open) {
        if (shaped) {
            CloseDisplayWindowStep(d);
            if (int error = RealizeDisplay(d, d->activateOnOpen)) return error;
        } else if (d->doubleBuffering) {
            PresentDoubleBuffer(d, 1, 0);
        } else if (image) {
            PresentWholeDisplay(d, image);
        }
    }
    if (request || !DisplayScales(d)) ResetCursor(d);
    return 0;
}
