// The display library's registration and the hooks through which lower layers reach the displays.
#include "scene/display/display_library.h"

#include "host/input.h"
#include "imaging/async_draw.h"
#include "imaging/blit.h"
#include "imaging/display_image.h"
#include "imaging/graphics_library.h"
#include "imaging/position.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/hooks.h"
#include "scene/display/create_display.h"
#include "scene/display/display_list.h"
#include "scene/display/display_open.h"
#include "scene/display/display_startup.h"
#include "scene/images/bgpic.h"
#include "scene/images/output.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kDisplayReference;

namespace {

// The pump calls the mode-switch key without a VM of its own; the registered one serves.
VMState *DisplayVM = nullptr;

int OpenFirstDisplayFromStartup(VMState *vm, StartupConfig *startup) {
    return OpenFirstDisplay(vm, GetAppletSettings(vm), startup);
}

int ScalesItself(DisplayRecord *display) { return DisplayScales(display) ? 1 : 0; }

// GetAttribute(#DISPLAY, id, ...): the size the script draws into.
int DisplayAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    DisplayRecord *display = nullptr;
    if (int error = FindDisplay(id, &display)) return error;
    switch (attribute) {
    case ATTRWIDTH: PushNumber(vm, display->width); return 1;
    case ATTRHEIGHT: PushNumber(vm, display->height); return 1;
    default: return kAttributeUnanswered;
    }
}

int ResizeFromCreate(VMState *vm, DisplayRecord *d, int32_t x, int32_t y, int32_t width, int32_t height,
                     int request, int smooth, int redraw) {
    return ResizeDisplay(vm, d, x, y, width, height, request, smooth, redraw ? 0 : 1);
}

int ApplyFromPicture(VMState *vm, DisplayRecord *display, int forTransition) {
    return ApplyDisplayAttributes(vm, 1, display, forTransition);
}

// Drawing goes into the redirected output while a Select* is on, else into the display's own copy of its
// picture (which is what RefreshDisplay shows).
HostBitmap *CurrentOutputBitmap() {
    DisplayRecord *d = CurrentDisplay;
    if (!d) return nullptr;
    // A selected mask or alpha channel has no bitmap: nothing may land on the display then.
    if (d->outputKind == ObjectKindBrush || d->outputKind == ObjectKindMask || d->outputKind == ObjectKindAlphaChannel)
        return d->outputBitmap;
    if (d->firstBitmap) return d->firstBitmap;
    return d->picture ? d->picture->current.bitmap : nullptr;
}

void CurrentOutputSize(int32_t *width, int32_t *height) {
    const BGPic *p = CurrentBGPic;
    *width = p ? p->scaled.width : 0;
    *height = p ? p->scaled.height : 0;
    const DisplayRecord *d = CurrentDisplay;
    if (d && d->outputKind != ObjectKindDisplay && d->outputBitmap) {
        *width = d->outputBitmap->width;
        *height = d->outputBitmap->height;
    }
}

void *CurrentDisplayForAsync() { return CurrentDisplay; }

int PresentTargetOf(DisplayRecord *d, PresentTarget *out) {
    if (!d || !d->hostWindow || d->state != DISPSTATE_OPEN) return 1;
    out->window = d->hostWindow;
    out->autoScale = d->autoScaling && DisplayHasScaledSize(d);
    out->scaledWidth = d->scaledWidth;
    out->scaledHeight = d->scaledHeight;
    return 0;
}

int ModeSwitchKey(DisplayRecord *display) { return SwitchModeByKey(DisplayVM, display); }

} // namespace

int UserResizedDisplay(DisplayRecord *d, int32_t width, int32_t height) {
    if (!d || d->state != DISPSTATE_OPEN || width < 1 || height < 1) return 0;
    if (d->width == width && d->height == height) return 0;
    return ResizeDisplay(DisplayVM, d, KEEPPOSITION, KEEPPOSITION, width, height, 0, d->smoothScaling, 0);
}

const CommandEntry kDisplayCommands[] = {
    {"ChangeDisplaySize", CmdChangeDisplaySize},
    {"SetTitle", CmdSetTitle},
    {"MoveDisplay", CmdMoveDisplay},
    {"HideDisplay", CmdHideDisplay},
    {"ShowDisplay", CmdShowDisplay},
    {"SetDisplayAttributes", CmdSetDisplayAttributes},
    {"CreateDisplay", CmdCreateDisplay},
    {"FreeDisplay", CmdFreeDisplay},
    {"OpenDisplay", CmdOpenDisplay},
    {"CloseDisplay", CmdCloseDisplay},
    {"SelectDisplay", CmdSelectDisplay},
    {"ActivateDisplay", CmdActivateDisplay},
    {"ChangeDisplayMode", CmdChangeDisplayMode},
    {nullptr, nullptr},
};

const ConstantEntry kDisplayConstants[] = {
    {"DISPSTATE_OPEN", nullptr, 1},      {"DISPSTATE_CLOSED", nullptr, 0}, {"DISPSTATE_MINIMIZED", nullptr, 2},
    {"DISPMODE_FULLSCREEN", nullptr, 2}, {"DISPMODE_WINDOWED", nullptr, 1}, {"SCALEMODE_NONE", nullptr, 0},
    {"SCALEMODE_AUTO", nullptr, 1},      {"SCALEMODE_LAYER", nullptr, 2},  {"KEEPPOSITION", nullptr, 100000},
    {nullptr, nullptr, 0},
};

void InstallDisplayHooks(VMState *vm) {
    DisplayVM = vm;
    RefreshDisplayHook = RefreshDisplayNow;
    OpenFirstDisplayHook = OpenFirstDisplayFromStartup;
    DisplayScalesItselfHook = ScalesItself;
    ResizeDisplayHook = ResizeFromCreate;
    ApplyDisplayAttributesHook = ApplyFromPicture;
    CurrentOutputBitmapHook = CurrentOutputBitmap;
    CurrentOutputSizeHook = CurrentOutputSize;
    CurrentDisplayHook = CurrentDisplayForAsync;
    DisplayPresentTargetHook = PresentTargetOf;
    DisplayModeSwitchHook = ModeSwitchKey;
    UserResizedDisplayHook = UserResizedDisplay;
    InstallDrawServices();
}

void RegisterDisplayLibrary(VMState *vm) {
    // DisplayListSemaphore is a plain mutex that always exists, so kErrAllocSemaphore cannot happen here.
    InstallDisplayHooks(vm);
    RegisterObjectKind({ObjectKindDisplay, "DISPLAY", CountDisplays, DisplayAttribute});
    RegisterCommands(vm, kDisplayCommands);
    RegisterCommandLibrary(kDisplayCommands, "display", &kDisplayReference);
    RegisterConstants(vm, kDisplayConstants);
}

void FreeDisplayLibrary(VMState *vm) {
    FreeAllDisplays(vm);
    AutomaticBackfill = 0;
    BackfillDisplayId = BackfillBGPicId = BackfillBrushId = ObjectId{};
    if (DisplayVM == vm) {
        DisplayModeSwitchHook = nullptr;
        UserResizedDisplayHook = nullptr;
    }
}

const LibraryDescriptor kDisplayLibrary{"display", RegisterDisplayLibrary, FreeDisplayLibrary};
