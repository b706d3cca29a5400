// Start-up of the first display and switching display modes.
#include "scene/display/display_startup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "host/catalog.h"
#include "host/blit.h"
#include "host/debug_output.h"
#include "host/requester.h"
#include "host/screen.h"
#include "host/window.h"
#include "imaging/position.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/app/utilities.h"
#include "scene/display/create_display.h"
#include "scene/display/display_list.h"
#include "scene/display/display_open.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/brush_edit.h"
#include "scene/images/plane_copy.h"

int AutomaticBackfill = 0;
ObjectId BackfillDisplayId{};
ObjectId BackfillBGPicId{};
ObjectId BackfillBrushId{};
int (*RebuildAllAnimsHook)() = nullptr;
int (*RebuildAllSpritesHook)() = nullptr;
int (*MakePendingFontBitmapsHook)() = nullptr;
int32_t (*ScreenDepthHook)() = nullptr;

namespace {

constexpr uint32_t kDesktopFlags =
    kDisplayBorderless | kDisplayFixed | kDisplayNoModeSwitch | kDisplayNoHide | kDisplayActive; // 0x42d

// 24 and 32 bits are both true colour here (a desktop mode reports 24, the own screen's 32-bit pixels 32);
// only a change of colour resolution below that is one a window cannot follow.
int32_t ScreenDepth() {
    const int32_t depth = ScreenDepthHook ? ScreenDepthHook() : int32_t(QueryBitMapAttr(nullptr, 5));
    return depth >= 24 ? 32 : depth;
}

void DisplayBorders(DisplayRecord *d) {
    if (!d->hostWindow || !d->hostWindow->open) return; // the frame of the last opening stays
    ComputeWindowBorders(d->hostWindow);
    d->borderLeft = d->hostWindow->borderLeft;
    d->borderTop = d->hostWindow->borderTop;
    d->borderWidth = d->hostWindow->borderHorizontal;
    d->borderHeight = d->hostWindow->borderVertical;
}

// Full screen with a chosen mode asks the user for the mode (*refresh its rate); a cancelled requester gives 1003.
int SetupDisplay(const DisplayConfig &config, DisplayRecord *d, int mode, int32_t *width, int32_t *height,
                 int32_t *depth, int32_t *refresh) {
    if (int error = EnsureVideo()) return error;
    ComputeDisplayScreenSize(config, d, width, height);
    *depth = config.screenDepth == -1 ? ScreenDepth() : config.screenDepth;
    *refresh = 0;
    if (mode == kDisplayModeFullScreenChosen) {
        // A screen that lists no modes has nothing to choose from: its best fit is taken.
        const std::vector<ScreenMode> modes = ListScreenModes();
        ScreenMode chosen;
        if (!modes.empty()) {
            if (int error = ShowScreenModeRequester(d->title, modes, &chosen)) return error;
            *width = chosen.width;
            *height = chosen.height;
            *refresh = chosen.refresh;
        }
    }
    return 0;
}

// The first display with ACTIVE and without HIDDEN, or null.
DisplayRecord *FirstActiveDisplay() {
    for (DisplayRecord *d = DisplayList; d; d = d->next)
        if ((d->flags & kDisplayActive) && !(d->flags & kDisplayHidden)) return d;
    return nullptr;
}

// The desktop copy of DisplayDesktop, clipped to the picture: a display larger than the screen gets black
// beyond the grab instead of memory past it.
void CopyGrabToPicture(const HostBitmap *grab, BGPic *bgpic) {
    HostBitmap *target = bgpic->base.bitmap;
    if (!target) return;
    RECTFILL(target, 0, 0, target->width, target->height, 0);
    BLTBITMAP(grab, 0, 0, target, 0, 0, std::min(grab->width, target->width), std::min(grab->height, target->height));
}

// The command line's scaling of display 1. A scaled size without a scale mode scales automatically, as nothing
// else on the command line could ask for a mode; a side left out keeps the picture's proportions.
void ApplyConfiguredScaling(const DisplayConfig &c, DisplayRecord *d) {
    int32_t mode = c.scaleMode;
    if (mode < 0 && c.scaleWidth == 0 && c.scaleHeight == 0) return;
    if (mode < 0) mode = d->layerScaling ? SCALEMODE_LAYER : SCALEMODE_AUTO;
    d->flags &= ~(kDisplayAutoScale | kDisplayLayerScale);
    d->autoScaling = mode == SCALEMODE_AUTO;
    d->layerScaling = mode == SCALEMODE_LAYER;
    const int32_t pw = d->picture ? d->picture->scaled.width : d->width;
    const int32_t ph = d->picture ? d->picture->scaled.height : d->height;
    if (mode == SCALEMODE_NONE) {
        d->scaledWidth = d->scaledHeight = 0;
        d->scaledLeft = d->scaledTop = d->scaledRight = d->scaledBottom = 0;
        d->width = pw;
        d->height = ph;
        return;
    }
    if (mode == SCALEMODE_AUTO) d->flags |= kDisplayAutoScale;
    if (mode == SCALEMODE_LAYER) {
        d->flags |= kDisplayLayerScale;
        d->layersEnabled = 1; // as a display created with layer scaling
    }
    // Negative: a percentage of the picture's size, as in the option table.
    int32_t w = c.scaleWidth < 0 ? int32_t(int64_t(pw) * -c.scaleWidth / 100) : c.scaleWidth;
    int32_t h = c.scaleHeight < 0 ? int32_t(int64_t(ph) * -c.scaleHeight / 100) : c.scaleHeight;
    if (w > 0 && h == 0 && pw > 0) h = int32_t(std::lround(double(w) * ph / pw));
    if (h > 0 && w == 0 && ph > 0) w = int32_t(std::lround(double(h) * pw / ph));
    if (w <= 0 || h <= 0) return;
    d->scaledWidth = d->width = w;
    d->scaledHeight = d->height = h;
}

} // namespace

void ComputeDisplayScreenSize(const DisplayConfig &c, DisplayRecord *d, int32_t *width, int32_t *height) {
    DisplayBorders(d);
    const int32_t bw = d->width + d->borderWidth, bh = d->height + d->borderHeight;
    if (c.screenWidth == -1 || c.screenHeight == -1) {
        *width = bw;
        *height = bh;
        return;
    }
    const int32_t sw = c.screenWidth ? c.screenWidth : int32_t(QueryBitMapAttr(nullptr, 14));
    const int32_t sh = c.screenHeight ? c.screenHeight : int32_t(QueryBitMapAttr(nullptr, 15));
    *width = sw;
    *height = sh;
    if (bw <= sw && bh <= sh) return;
    if (!(d->flags & kDisplayBorderless) && d->width <= sw && d->height <= sh) {
        // The frame is what does not fit: drop it rather than make the screen larger.
        d->flags |= kDisplayBorderless;
        d->borderLeft = d->borderTop = d->borderWidth = d->borderHeight = 0;
        return;
    }
    *width = bw;
    *height = bh;
}

int BuildDisplayBackground(VMState *vm, const BackfillSettings &b) {
    // The backfill objects are ordinary brush, picture and display records, made through the operations the
    // commands use, so start-up does not depend on the picture library's commands being there.
    const int32_t sw = int32_t(QueryBitMapAttr(nullptr, 14));
    int32_t sh = int32_t(QueryBitMapAttr(nullptr, 15));
    int32_t top = 0;
    if (!b.coverTitleBar) {
        top = int32_t(QueryBitMapAttr(nullptr, 22));
        sh -= top;
    }
    int type = b.type;
    Brush *brush = nullptr;
    if (type == kBackfillTexture || type == kBackfillPicture) {
        const ObjectId automatic{0, kAutoHandleRequest};
        int error = 0;
        if (!b.brushFile.empty()) {
            LoadBrushOptions options;
            if (type == kBackfillPicture && b.pictureTransparency != -1) options.transparent = b.pictureTransparency;
            const int quiet = QuietMode;
            QuietMode = 1;
            error = LoadBrushFile(automatic, b.brushFile.c_str(), options, 0, &brush);
            QuietMode = quiet;
        } else {
            error = CopyBrushById(ObjectId{b.brushNumber, nullptr}, automatic, &brush);
        }
        if (error) return error;
        BackfillBrushId = brush->id;
        if (type == kBackfillPicture && b.scalePicture)
            if (int error = ScaleBrushImage(brush->id, sw, sh, 0, 0, 0)) return error;
    }
    BGPicFillSpec fill;
    fill.kind = kFillColor;
    fill.color = b.startColor;
    if (type == kBackfillPicture) {
        if (b.startColor == 0xFFFFFFFFu) fill.color = 0;
        else if (b.endColor != 0xFFFFFFFFu) fill.kind = kFillGradient;
    } else if (type == kBackfillGradient) {
        fill.kind = kFillGradient;
    } else if (type == kBackfillTexture) {
        fill.kind = kFillTexture;
        fill.texture = CopyBitmap(brush->bitmap);
        if (!fill.texture) return kErrOutOfMemory;
        fill.textureWidth = brush->width;
        fill.textureHeight = brush->height;
    }
    fill.endColor = b.endColor;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    if (int error = BuildBGPicImage(nullptr, &fill, -1, sw, sh, sw, &bitmap, &mask, &alpha)) {
        FreeHostBitmap(fill.texture);
        return error;
    }
    if (type == kBackfillPicture) {
        const int32_t x = ResolveXPosition(b.pictureX, brush->width, sw, 0.0);
        const int32_t y = ResolveYPosition(b.pictureY, brush->height, sh, 0.0);
        if (brush->mask) BLTMASK(brush->bitmap, 0, 0, bitmap, x, y, brush->width, brush->height, brush->mask);
        else BLTBITMAP(brush->bitmap, 0, 0, bitmap, x, y, brush->width, brush->height);
    }
    const int32_t pictureType = fill.kind == kFillColor ? kBGPicPicture : kBGPicVector;
    BGPic *picture = nullptr;
    if (int error = CreateBGPicRecord(ObjectId{0, kAutoHandleRequest}, pictureType, sw, sh, sw, nullptr, bitmap,
                                      nullptr, -1, mask, alpha, nullptr, &fill, &picture)) {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
        FreeHostBitmap(fill.texture);
        return error;
    }
    BackfillBGPicId = picture->id;
    const int base = GetTop(vm);
    NewTable(vm);
    const int table = GetTop(vm);
    auto number = [&](const char *key, double value) {
        PushNumber(vm, value);
        SetField(vm, table, key);
    };
    number("y", top);
    number("borderless", 1);
    number("fixed", 1);
    PushHandle(vm, picture);
    SetField(vm, table, "bgpic");
    number("hidepointer", 1);
    number("private1", 1);
    DisplayRecord *display = nullptr;
    const int error = CreateDisplay(vm, ObjectId{0, kAutoHandleRequest}, table, &display);
    SetTop(vm, base);
    if (error) return error;
    BackfillDisplayId = display->id;
    return 0;
}

int OpenFirstDisplay(VMState *vm, DisplayConfig *c, StartupConfig *) {
    if (!c->iconLabel.empty()) {
        std::strncpy(AppIconLabel, c->iconLabel.c_str(), kAppIconLabelSize - 1);
        AppIconLabel[kAppIconLabelSize - 1] = 0;
    }
    DisplayRecord *first = nullptr;
    if (int error = FindDisplay(ObjectId{1, nullptr}, &first)) {
        // An applet that declares no display settings still gets its first display, with the defaults.
        if (!c->appletSettings.empty()) return error;
        // Made as a declared display would be during preloading, so that its picture is BGPic 1 as well.
        const int preloading = PreloadActive;
        PreloadActive = 1;
        const int made = CreateDisplay(vm, ObjectId{1, nullptr}, 0, &first);
        PreloadActive = preloading;
        if (made) return made;
    }
    ApplyConfiguredScaling(*c, first);
    int mode = c->mode == 0 ? kDisplayModeWindow : c->mode;
    int hideTitleBar = c->hideTitleBar == -1 ? 0 : c->hideTitleBar;
    BackfillSettings backfill = c->backfill;
    if (c->displayDesktop) {
        if (DisplayScales(first)) return kErrAutoscaleWithDesktop;
        backfill.type = kBackfillNone;
        mode = kDisplayModeWindow;
        first->flags = kDesktopFlags;
    } else {
        if (mode == kDisplayModeAsk) {
            const int answer = ShowEasyRequester(first->title, GetCatalogMessage(kMsgSelectDisplayMode),
                                                 GetCatalogMessage(kMsgDisplayModeChoices), 0);
            // Any other answer (no requester could be shown) opens a window, the mode that always works.
            mode = answer == 1 ? kDisplayModeFullScreen : answer == 0 ? kDisplayModeFullScreenChosen
                                                                      : kDisplayModeWindow;
        }
        if (mode == kDisplayModeFullScreen || mode == kDisplayModeFullScreenChosen ||
            mode == kDisplayModeFakeFullScreen) {
            backfill = BackfillSettings{};
            backfill.type = kBackfillColor;
            hideTitleBar = 1;
            first->flags |= kDisplayBorderless | kDisplayFixed;
            AutomaticBackfill = 1;
            if (mode == kDisplayModeFakeFullScreen) mode = kDisplayModeWindow;
        }
    }
    int32_t width = 0, height = 0, depth = 0, refresh = 0;
    if (int error = SetupDisplay(*c, first, mode, &width, &height, &depth, &refresh)) return error;
    // A display that scales fills the full screen keeping its proportions, as after the mode-switch key.
    if (mode == kDisplayModeFullScreen && DisplayScales(first) && c->screenWidth == 0 && c->screenHeight == 0) {
        width = first->width;
        height = first->height;
    }
    if (mode != kDisplayModeWindow) {
        if (int error = OpenOwnScreen(width, height, depth, refresh)) return error;
        OwnScreenFlag = 1;
    }
    PrintConsoleMessage(GetCatalogMessage(kMsgPreparingDisplay), nullptr, 1);
    if (int error = RebuildAllBrushes()) return error;
    if (int error = RebuildAllBGPics()) return error;
    for (int (*rebuild)() : {RebuildAllAnimsHook, RebuildAllSpritesHook, MakePendingFontBitmapsHook})
        if (rebuild)
            if (int error = rebuild()) return error;
    if (backfill.type != kBackfillNone) {
        backfill.coverTitleBar = hideTitleBar;
        if (int error = BuildDisplayBackground(vm, backfill)) return error;
    }
    PrintDoneMessage(GetCatalogMessage(kMsgDone));
    if (!QuietMode) {
        const std::string action = std::string(GetCatalogMessage(kMsgAndAction)) + "\n";
        WriteDebugOutput(action.data(), action.size());
    }
    CloseDebugConsole();
    QuietMode = 1;
    if (c->displayDesktop) {
        const int32_t sw = int32_t(QueryBitMapAttr(nullptr, 14)), sh = int32_t(QueryBitMapAttr(nullptr, 15));
        int error = 0;
        DesktopGrab = GrabScreenRect(0, 0, sw, sh, 0, &error);
        if (!DesktopGrab) return error;
        if (first->picture) CopyGrabToPicture(DesktopGrab, first->picture);
    }
    for (DisplayRecord *d = DisplayList; d; d = d->next) {
        if (int error = CopyBGPicToDisplayBitmaps(d, d->picture, 1)) return error;
        if (DisplayScales(d) && DisplayHasScaledSize(d))
            if (int error = ResizeDisplay(vm, d, 0, 0, d->scaledWidth, d->scaledHeight, 0, d->smoothScaling, 1))
                return error;
    }
    for (DisplayRecord *d = DisplayList; d; d = d->next)
        if (!(d->flags & kDisplayHidden))
            if (int error = RealizeDisplay(d, (d->flags & kDisplayActive) ? 1 : 0)) return error;
    DisplayRecord *active = FirstActiveDisplay();
    CurrentDisplay = active ? active : first;
    if (active) ActivateDisplayWindow(active->hostWindow);
    CurrentBGPic = CurrentDisplay->picture;
    return 0;
}

int SwitchDisplayMode(VMState *vm, int fullScreen, int32_t width, int32_t height) {
    const DisplayConfig *c = GetAppletSettings(vm);
    const int32_t depth = ScreenDepth();
    if (fullScreen && OwnScreenFlag) {
        if (width == int32_t(QueryBitMapAttr(nullptr, 14)) && height == int32_t(QueryBitMapAttr(nullptr, 15)))
            return 0;
    } else if ((fullScreen != 0) == (OwnScreenFlag != 0)) {
        return 0;
    }
    for (DisplayRecord *d = DisplayList; d; d = d->next) {
        d->reopenMark = d->state != DISPSTATE_CLOSED;
        if (d->reopenMark) CloseDisplayWindowStep(d);
    }
    if (BackfillDisplayId.handle) FreeDisplayById(vm, BackfillDisplayId);
    if (BackfillBGPicId.handle) FreeBGPicById(BackfillBGPicId, 0);
    if (BackfillBrushId.handle) FreeBrushById(BackfillBrushId, 0);
    BackfillDisplayId = BackfillBGPicId = BackfillBrushId = ObjectId{};
    ReleaseScreenPens();
    if (!fullScreen) {
        CloseOwnScreen();
        OwnScreenFlag = 0;
        if (ScreenDepth() != depth) return kErrColorResolution;
    } else {
        if (int error = OpenOwnScreen(width, height, depth)) return error;
        OwnScreenFlag = 1;
    }
    BackfillSettings backfill;
    if (c && c->backfill.type != kBackfillNone && !AutomaticBackfill) {
        backfill = c->backfill;
    } else {
        backfill.type = fullScreen ? kBackfillColor : kBackfillNone;
        backfill.coverTitleBar = 1;
    }
    if (backfill.type != kBackfillNone)
        if (int error = BuildDisplayBackground(vm, backfill)) return error;
    for (DisplayRecord *d = DisplayList; d; d = d->next) {
        if (!d->reopenMark && !d->private1) continue;
        d->reopenMark = 0;
        if (!d->private1) {
            d->x = d->y = kPosCenter;
            if (OwnScreenFlag) d->flags = (d->flags | kDisplayBorderless | kDisplayFixed) & ~kDisplaySizeable;
            else d->flags &= ~(kDisplayBorderless | kDisplayFixed);
        }
        if (int error = RealizeDisplay(d, d->activateOnOpen)) return error;
    }
    return 0;
}

int SwitchModeByKey(VMState *vm, DisplayRecord *display) {
    if (!vm || !display || IsOnlyDisplay(display) != 1 || (display->flags & kDisplayNoModeSwitch)) return 0;
    int32_t width = 0, height = 0;
    if (!OwnScreenFlag) {
        // A display that scales fills the screen keeping its proportions: the own screen has its size and the
        // monitor shows it enlarged. Any other is shown as it is, centred on the backfill of a desktop-sized
        // screen (or of its own size when it is larger).
        width = std::max(display->width, 1);
        height = std::max(display->height, 1);
        if (!DisplayScales(display)) {
            width = std::max(width, int32_t(QueryBitMapAttr(nullptr, 14)));
            height = std::max(height, int32_t(QueryBitMapAttr(nullptr, 15)));
        }
    }
    // The key is pumped inside whichever command waits or draws: the display tables the switch reads are not that
    // command's options.
    OwnOptionTable own;
    return SwitchDisplayMode(vm, OwnScreenFlag ? 0 : 1, width, height) == 0 ? 1 : 0;
}
