// CreateDisplay: a closed display with its own background picture made from the fill settings.
#include <cstring>

#include "host/blit.h"
#include "host/memory.h"
#include "host/window.h"
#include "imaging/async_draw.h"
#include "imaging/gradient.h"
#include "runtime/app/attributes.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/startup_config.h"
#include "scene/display/create_display.h"
#include "scene/display/display_list.h"
#include "scene/images/bgpic.h"
#include "scene/images/plane_copy.h"

int (*ResizeDisplayHook)(VMState *, DisplayRecord *, int32_t, int32_t, int32_t, int32_t, int, int, int) = nullptr;

namespace {

// Frees a half-made display on every way out, errors raised by the option readers included.
struct DisplayUnderConstruction {
    VMState *vm;
    DisplayRecord *display;
    ~DisplayUnderConstruction() {
        if (!display) return;
        FreeDisplayContents(vm, display, 0);
        delete display;
    }
};

// What the own picture is made of until CreateBGPicRecord takes it over.
struct PictureParts {
    uint32_t *pixels = nullptr;
    HostBitmap *bitmap = nullptr;
    BGPicFillSpec fill;
    ~PictureParts() {
        FreeBlock(pixels);
        FreeHostBitmap(bitmap);
        FreeHostBitmap(fill.texture);
    }
};

bool IsDisplayDesktop(VMState *vm) {
    const DisplayConfig *config = GetAppletSettings(vm);
    return config && config->displayDesktop;
}

// Fills the picture's pixels (array or bitmap) by the display's fill style and records the fill settings.
int FillOwnPicture(DisplayRecord *d, HostBitmap *target, PictureParts *parts) {
    const int32_t width = d->width, height = d->height;
    switch (d->fillStyle) {
    case 2:
        DRAWGRADIENT(target, 0, 0, width, height, d->color, d->gradientEndColor, d->gradientAngle);
        parts->fill.kind = kFillGradient;
        parts->fill.color = d->color;
        parts->fill.endColor = d->gradientEndColor;
        parts->fill.angle = d->gradientAngle;
        return 0;
    case 3: {
        ImageTriple brush{};
        if (int error = FindBrushImage(ObjectId{d->textureBrush, nullptr}, 0, &brush)) return error;
        if (!brush.bitmap) return kErrWrongUsage;
        parts->fill.texture = CopyBitmap(brush.bitmap);
        if (!parts->fill.texture) return kErrOutOfMemory;
        parts->fill.kind = kFillTexture;
        parts->fill.brushNumber = d->textureBrush;
        parts->fill.textureX = d->textureX;
        parts->fill.textureY = d->textureY;
        parts->fill.textureWidth = brush.width;
        parts->fill.textureHeight = brush.height;
        TextureFill(target, 0, 0, width, height, parts->fill.texture, d->textureX, d->textureY, brush.width,
                    brush.height);
        return 0;
    }
    default: FillNewBitmap(target, d->color); return 0; // the target is new
    }
}

int MakeOwnPicture(VMState *vm, DisplayRecord *d, ObjectId displayId, int preloading) {
    PictureParts parts;
    ObjectId pictureId{0, kAutoHandleRequest};
    bool desktop = false;
    if (d->width > kMaxBitmapSide || d->height > kMaxBitmapSide) return kErrOutOfMemory;
    if (preloading) {
        desktop = IsDisplayDesktop(vm);
        if (displayId.number == 1 && !displayId.handle) {
            pictureId = ObjectId{1, nullptr};
            if (desktop) {
                BGPic *existing = nullptr;
                if (FindBGPic(pictureId, &existing, 0) == 0) return kErrBGPicWithDesktop;
            } else if (int error = FreeBGPicById(pictureId, 0)) {
                return error;
            }
        }
        // Cleared: with the desktop setting only a screen-sized grab is copied in later, the rest stays black.
        parts.pixels = static_cast<uint32_t *>(AllocBlock(size_t(d->width) * size_t(d->height) * 4, 1));
        if (!parts.pixels) return kErrOutOfMemory;
    } else {
        parts.bitmap = AllocHostBitmap(d->width, d->height);
        if (!parts.bitmap) return kErrOutOfMemory;
    }
    if (!desktop) {
        HostBitmap *target = parts.bitmap;
        HostBitmap *wrapper = nullptr;
        if (!target) {
            wrapper = WrapHostBitmap(parts.pixels, d->width, d->height, d->width, PixelFormatARGB32);
            if (!wrapper) return kErrOutOfMemory;
            target = wrapper;
        }
        int error = FillOwnPicture(d, target, &parts);
        FreeHostBitmap(wrapper);
        if (error) return error;
    }
    const int32_t type = (d->fillStyle == 2 || d->fillStyle == 3) ? kBGPicVector : kBGPicPicture;
    BGPic *picture = nullptr;
    if (int error = CreateBGPicRecord(pictureId, type, d->width, d->height, d->width, parts.pixels, parts.bitmap,
                                      nullptr, -1, nullptr, nullptr, nullptr, &parts.fill, &picture))
        return error;
    parts.pixels = nullptr; // the record has them now
    parts.bitmap = nullptr;
    parts.fill.texture = nullptr;
    d->picture = picture;
    d->ownsPicture = 1;
    return 0;
}

} // namespace

int CreateDisplay(VMState *vm, ObjectId id, int optionsIndex, DisplayRecord **out) {
    if (out) *out = nullptr;
    const bool automatic = IsAutoHandleRequest(id);
    if (!automatic && !id.handle) {
        DisplayRecord *existing = nullptr;
        if (FindDisplay(id, &existing) == 0) {
            if (existing == CurrentDisplay) return kErrFreeActiveDisplay;
            if (DisplayHasAsyncDraws(existing)) return kErrDisplayHasAsyncDraw;
            if (int error = FreeDisplayById(vm, id)) return error;
        }
    }
    DisplayUnderConstruction guard{vm, new (std::nothrow) DisplayRecord};
    DisplayRecord *d = guard.display;
    if (!d) return kErrOutOfMemory;

    if (optionsIndex) {
        if (ValueType(vm, optionsIndex) != TTABLE)
            return ArgumentTypeError(vm, kErrTableExpected, optionsIndex, optionsIndex);
        if (int error = ParseDisplaySettings(vm, optionsIndex, d, 1, nullptr)) return error;
        int32_t value = 0;
        if (GetTableOption(vm, optionsIndex, "hidden", &value) && value) d->flags |= kDisplayHidden;
        value = 0;
        if (GetTableOption(vm, optionsIndex, "layers", &value) && value) d->flags |= kDisplayLayers;
        GetTableOption(vm, optionsIndex, "private1", &d->private1);
        GetTableOption(vm, optionsIndex, "private2", &d->private2);
        GetTableOption(vm, optionsIndex, "private3", &d->private3);
    }
    if (d->layerScaling || (d->flags & kDisplayLayers)) d->layersEnabled = 1;
    if (!DisplayScales(d)) {
        d->scaledWidth = d->scaledHeight = 0;
        d->scaledLeft = d->scaledTop = d->scaledRight = d->scaledBottom = 0;
    }
    const int preloading = GetAttributeNumber(vm, kAttrPreloadActive, 0) != 0;
    if (!d->picture)
        if (int error = MakeOwnPicture(vm, d, id, preloading)) return error;
    if (DisplayScales(d) && DisplayHasScaledSize(d)) {
        d->width = d->scaledWidth;
        d->height = d->scaledHeight;
    }
    d->cursorX = d->cursorY = d->leftMargin = 0;
    d->rightMargin = d->picture->scaled.width - 1;
    if (!preloading) {
        if (int error = CopyBGPicToDisplayBitmaps(d, d->picture, 1)) return error;
        if (DisplayScales(d) && DisplayHasScaledSize(d) && ResizeDisplayHook)
            if (int error = ResizeDisplayHook(vm, d, 0, 0, d->scaledWidth, d->scaledHeight, 0, d->smoothScaling, 0))
                return error;
    }
    if (int error = AllocHostWindow(d, &d->hostWindow)) return error;
    if (automatic) id = ObjectId{0, d};
    d->id = id;
    InsertDisplay(d);
    guard.display = nullptr;
    if (out) *out = d;
    return 0;
}

int CmdCreateDisplay(VMState *vm) {
    CheckArgs(vm, 1, 2);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    DisplayRecord *display = nullptr;
    if (int error = CreateDisplay(vm, id, GetTop(vm) >= 2 ? 2 : 0, &display)) return error;
    return PushAutoHandle(vm, id, display);
}
