// A picture as a display's picture: scaled to the display, copied into the display's bitmaps, switched.
#include "host/blit.h"
#include "imaging/display_image.h"
#include "imaging/image_ops.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/images/bgpic.h"
#include "scene/images/plane_copy.h"

int CopyBGPicToDisplayBitmaps(DisplayRecord *display, BGPic *bgpic, int recreate) {
    const int32_t width = bgpic->current.width, height = bgpic->current.height;
    const bool fresh = recreate || !display->firstBitmap || !display->secondBitmap;
    if (fresh) {
        FreeHostBitmap(display->firstBitmap);
        FreeHostBitmap(display->secondBitmap);
        display->firstBitmap = AllocHostBitmap(width, height);
        display->secondBitmap = AllocHostBitmap(width, height);
        if (!display->firstBitmap || !display->secondBitmap) {
            FreeHostBitmap(display->firstBitmap);
            FreeHostBitmap(display->secondBitmap);
            display->firstBitmap = display->secondBitmap = nullptr;
            return kErrOutOfMemory;
        }
    }
    if (!bgpic->current.bitmap) return 0;
    // Layers are drawn onto the second bitmap, so it starts as the picture too.
    for (HostBitmap *bitmap : {display->firstBitmap, display->secondBitmap}) {
        if (fresh) CopyIntoNewBitmap(bgpic->current.bitmap, bitmap);
        else BLTBITMAP(bgpic->current.bitmap, 0, 0, bitmap, 0, 0, width, height);
    }
    return 0;
}

int ScaleBGPicToDisplay(VMState *vm, DisplayRecord *display, BGPic *bgpic, int recreate) {
    const int32_t width = display->scaledWidth, height = display->scaledHeight;
    ImageTriple made{};
    if (int error = RenderBGPicAtSize(BGPicRebuildsFromFill(bgpic), bgpic->base, &bgpic->fill, width, height,
                                      display->smoothScaling != 0, &made))
        return error;
    FreeTripleExcept(&bgpic->current, &bgpic->base, &bgpic->scaled);
    bgpic->current = made;
    display->scaleX = double(width) / bgpic->scaled.width;
    display->scaleY = double(height) / bgpic->scaled.height;
    if (recreate)
        if (int error = CopyBGPicToDisplayBitmaps(display, bgpic, 1)) return error;
    return RebuildBGPicLayers(vm, display, bgpic);
}

static void SetScaleFactors(DisplayRecord *display, const BGPic *bgpic) {
    display->scaleX = double(display->scaledWidth) / bgpic->scaled.width;
    display->scaleY = double(display->scaledHeight) / bgpic->scaled.height;
}

int PrepareBGPicForDisplayScale(VMState *vm, DisplayRecord *display, BGPic *bgpic, MaskPlane **outMask,
                                AlphaPlane **outAlpha) {
    if (outMask) *outMask = nullptr;
    if (outAlpha) *outAlpha = nullptr;
    if (display->layerScaling && DisplayHasScaledSize(display)) {
        if (bgpic->current.width == display->scaledWidth && bgpic->current.height == display->scaledHeight) {
            SetScaleFactors(display, bgpic);
            return 0;
        }
        return ScaleBGPicToDisplay(vm, display, bgpic, 0);
    }
    if (display->autoScaling && DisplayHasScaledSize(display)) {
        SetScaleFactors(display, bgpic);
        if (bgpic->base.mask || bgpic->base.alpha) {
            // Only the shape is wanted, for the window; the scaled pixels go straight away.
            HostBitmap *bitmap = nullptr;
            MaskPlane *mask = nullptr;
            AlphaPlane *alpha = nullptr;
            if (int error = ScaleImage(bgpic->base.bitmap, bgpic->base.mask, bgpic->base.alpha, 0, 0, nullptr,
                                       bgpic->base.width, bgpic->base.height, display->scaledWidth,
                                       display->scaledHeight, display->smoothScaling != 0, &bitmap, &mask, &alpha))
                return error;
            FreeHostBitmap(bitmap);
            if (outMask) *outMask = mask;
            else FreeMaskPlane(mask);
            if (outAlpha) *outAlpha = alpha;
            else FreeAlphaPlane(alpha);
        }
        return 0;
    }
    display->scaleX = display->scaleY = 1.0;
    return 0;
}

HostBitmap *GetBGPicDisplayImage(DisplayRecord *display, BGPic *bgpic) {
    if (IsListEmpty(&bgpic->layers) && !bgpic->sprites) return display->firstBitmap;
    REDRAW(display, bgpic, display->secondBitmap, 0, 0, bgpic->current.width, bgpic->current.height, 0, 4);
    return display->secondBitmap;
}

int RenderBGPicWithLayers(BGPic *bgpic, int32_t x, int32_t y, int32_t width, int32_t height, HostBitmap **out,
                          bool *owned) {
    *out = nullptr;
    *owned = false;
    DisplayRecord *display = CurrentDisplay;
    const bool layerScaled = display && display->layerScaling && DisplayHasScaledSize(display);
    HostBitmap *target = nullptr;
    if (display && bgpic == display->picture && !layerScaled && display->secondBitmap) {
        target = display->secondBitmap;
    } else {
        target = AllocHostBitmap(bgpic->scaled.width, bgpic->scaled.height);
        if (!target) return kErrOutOfMemory;
        *owned = true;
    }
    REDRAW(display, bgpic, target, x, y, width, height, 0, layerScaled ? 16 : 0);
    *out = target;
    return 0;
}

// Copies a whole bitmap into a new one of the given size, scaling when the sizes differ.
static HostBitmap *CopyAtSize(const HostBitmap *source, int32_t width, int32_t height) {
    if (!source) return AllocHostBitmap(width, height);
    if (source->width == width && source->height == height) return CopyBitmap(source);
    HostBitmap *scaled = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    if (ScaleImage(source, nullptr, nullptr, 0, 0, nullptr, source->width, source->height, width, height, false,
                   &scaled, &mask, &alpha))
        return nullptr;
    FreeMaskPlane(mask);
    FreeAlphaPlane(alpha);
    return scaled;
}

int SwitchDisplayBGPic(VMState *vm, ObjectId id, int32_t x, int32_t y, int forTransition, HostBitmap **outNewImage,
                       HostBitmap **outOldImage) {
    if (outNewImage) *outNewImage = nullptr;
    if (outOldImage) *outOldImage = nullptr;
    BGPic *bgpic = nullptr;
    if (int error = FindBGPic(id, &bgpic, 0)) return error;
    DisplayRecord *display = CurrentDisplay;
    if (!display) return kErrWrongUsage;
    HostBitmap *oldImage = nullptr;
    if (forTransition) {
        BGPic *shown = display->picture;
        const int32_t width = shown ? shown->current.width : bgpic->current.width;
        const int32_t height = shown ? shown->current.height : bgpic->current.height;
        HostBitmap *drawn = display->secondBitmap;
        if (shown && drawn) REDRAW(display, shown, drawn, 0, 0, width, height, 0, 0);
        int32_t targetWidth = width, targetHeight = height;
        if (!(display->layerScaling && DisplayHasScaledSize(display))) {
            targetWidth = bgpic->current.width;
            targetHeight = bgpic->current.height;
        }
        oldImage = CopyAtSize(drawn, targetWidth, targetHeight);
        if (!oldImage) return kErrOutOfMemory;
    }
    NewTable(vm);
    SetTableObjectId(vm, "bgpic", id);
    if (x != 100000) SetTableNumber(vm, "x", x);
    if (y != 100000) SetTableNumber(vm, "y", y);
    InsertValue(vm, 1);
    int error = ApplyDisplayAttributesHook ? ApplyDisplayAttributesHook(vm, display, forTransition)
                                           : LibraryNotRegistered("display");
    RemoveValue(vm, 1);
    if (error) {
        FreeHostBitmap(oldImage);
        return error;
    }
    if (!forTransition) return 0;
    HostBitmap *source = GetBGPicDisplayImage(display, bgpic);
    if (oldImage) PresentDisplayRect(oldImage, 0, 0, display, 0, 0, oldImage->width, oldImage->height, 0);
    HostBitmap *newImage = CopyAtSize(source, bgpic->current.width, bgpic->current.height);
    if (!newImage) {
        FreeHostBitmap(oldImage);
        return kErrOutOfMemory;
    }
    if (outNewImage) *outNewImage = newImage;
    else FreeHostBitmap(newImage);
    if (outOldImage) *outOldImage = oldImage;
    else FreeHostBitmap(oldImage);
    return 0;
}
