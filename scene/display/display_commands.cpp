// The display library's bindings: read the arguments, act on CurrentDisplay or the display named, push results.
#include <cmath>
#include <cstring>

#include "host/window.h"
#include "imaging/async_draw.h"
#include "imaging/image_ops.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_library.h"
#include "scene/display/display_list.h"
#include "scene/display/display_open.h"
#include "scene/display/display_startup.h"
#include "scene/images/bgpic.h"

namespace {

DisplayRecord *Current() { return CurrentDisplay; }

int32_t Truncated(double value) { return SaturateToInt32(std::trunc(value)); }

int FindDisplayArg(VMState *vm, int n, DisplayRecord **out) {
    return FindDisplay(IdArg(vm, n), out);
}

} // namespace

int MakeCurrentDisplay(VMState *vm, DisplayRecord *d) {
    DisplayRecord *current = CurrentDisplay;
    if (current && !current->doubleBuffering && current->outputKind != ObjectKindDisplay)
        if (int error = EndSelectOutput(vm, current, 0)) return error;
    CurrentDisplay = d;
    CurrentBGPic = d->doubleBuffering ? d->doubleBufferOutput : d->picture;
    return 0;
}

int CmdChangeDisplaySize(VMState *vm) {
    CheckArgs(vm, 2, 3);
    DisplayRecord *d = Current();
    if (!d || !d->picture) return kErrWrongUsage;
    const BGPic *p = d->picture;
    int32_t width = Truncated(ReadNumberOrPercent(vm, 1, p->scaled.width, 1));
    int32_t height = Truncated(ReadNumberOrPercent(vm, 2, p->scaled.height, 1));
    if (int error = ApplyKeepAspectRatio(p->scaled.width, p->scaled.height, &width, &height)) return error;
    if (width < 1 || height < 1) return kErrSizeNotPositive;
    int32_t x = kPosCenter, y = kPosCenter, smooth = 0;
    if (GetTop(vm) >= 3) {
        if (ValueType(vm, 3) == TTABLE) {
            GetTableOption(vm, 3, "x", &x);
            GetTableOption(vm, 3, "y", &y);
            GetTableOption(vm, 3, "smooth", &smooth);
        } else {
            smooth = Truncated(CheckNumberArg(vm, 3));
        }
    }
    if (x == KEEPPOSITION) x = d->x;
    if (y == KEEPPOSITION) y = d->y;
    return ResizeDisplay(vm, d, x, y, width, height, 1, smooth, d->state != DISPSTATE_OPEN);
}

int CmdSetTitle(VMState *vm) {
    CheckArgs(vm, 1, 1);
    size_t length = 0;
    const char *title = CheckStringArg(vm, 1, &length);
    DisplayRecord *d = Current();
    if (!d || length >= kDisplayTitleSize) return kErrWrongUsage;
    std::memcpy(d->title, title, length);
    d->title[length] = 0;
    if (d->state != DISPSTATE_CLOSED && d->hostWindow) {
        d->hostWindow->title = d->title;
        UpdateWindowTitle(d->hostWindow);
    }
    return 0;
}

int CmdMoveDisplay(VMState *vm) {
    CheckArgs(vm, 2, 2);
    DisplayRecord *d = Current();
    if (!d) return kErrWrongUsage;
    d->x = Truncated(CheckNumberArg(vm, 1));
    d->y = Truncated(CheckNumberArg(vm, 2));
    ResolveDisplayPosition(d, DisplayScreenArea());
    if (d->state == DISPSTATE_OPEN) {
        SyncHostWindow(d);
        MoveDisplayWindow(d->hostWindow);
    }
    return 0;
}

int CmdHideDisplay(VMState *vm) {
    CheckArgs(vm, 0, 0);
    DisplayRecord *d = Current();
    if (!d || d->state != DISPSTATE_OPEN) return kErrWrongUsage;
    // The window layer queues the "HideWindow" event (kind 9) once for every way a window gets hidden.
    if (int error = HideShowDisplayWindow(d->hostWindow, 1)) return error;
    d->state = DISPSTATE_MINIMIZED;
    d->activateOnOpen = 0;
    return 0;
}

int CmdShowDisplay(VMState *vm) {
    CheckArgs(vm, 0, 0);
    DisplayRecord *d = Current();
    if (!d || d->state != DISPSTATE_MINIMIZED) return kErrWrongUsage;
    if (int error = HideShowDisplayWindow(d->hostWindow, 0)) return error;
    d->activateOnOpen = 1;
    d->state = DISPSTATE_OPEN;
    return 0;
}

int CmdSetDisplayAttributes(VMState *vm) {
    CheckArgs(vm, 1, 1);
    CheckTableArg(vm, 1);
    DisplayRecord *d = Current();
    if (!d) return kErrWrongUsage;
    return ApplyDisplayAttributes(vm, 1, d, 0);
}

int CmdFreeDisplay(VMState *vm) {
    CheckArgs(vm, 1, 1);
    DisplayRecord *d = nullptr;
    if (int error = FindDisplayArg(vm, 1, &d)) return error;
    if (d == CurrentDisplay) return kErrFreeActiveDisplay;
    if (DisplayHasAsyncDraws(d)) return kErrDisplayHasAsyncDraw;
    return FreeDisplayById(vm, d->id);
}

int CmdOpenDisplay(VMState *vm) {
    CheckArgs(vm, 1, 2);
    DisplayRecord *d = nullptr;
    if (int error = FindDisplayArg(vm, 1, &d)) return error;
    const int32_t noSelect = GetTop(vm) >= 2 ? Truncated(CheckNumberArg(vm, 2)) : 0;
    if (d->state != DISPSTATE_CLOSED) return kErrWrongUsage;
    if (int error = EndIconify()) return error;
    d->activateOnOpen = (d->flags & kDisplayActive) ? 1 : 0;
    if (int error = RealizeDisplay(d, d->activateOnOpen)) return error;
    if (!noSelect && d != CurrentDisplay) return MakeCurrentDisplay(vm, d);
    return 0;
}

int CmdCloseDisplay(VMState *vm) {
    CheckArgs(vm, 1, 1);
    DisplayRecord *d = nullptr;
    if (int error = FindDisplayArg(vm, 1, &d)) return error;
    if (d->state == DISPSTATE_CLOSED) return kErrWrongUsage;
    CloseDisplayWindowStep(d);
    d->activateOnOpen = 0;
    return 0;
}

int CmdSelectDisplay(VMState *vm) {
    CheckArgs(vm, 1, 2);
    DisplayRecord *d = nullptr;
    if (int error = FindDisplayArg(vm, 1, &d)) return error;
    const int32_t noActivate = GetTop(vm) >= 2 ? Truncated(CheckNumberArg(vm, 2)) : 0;
    if (d == CurrentDisplay) return 0;
    if (!noActivate && d->state == DISPSTATE_OPEN) ActivateDisplayWindow(d->hostWindow);
    return MakeCurrentDisplay(vm, d);
}

int CmdActivateDisplay(VMState *vm) {
    CheckArgs(vm, 1, 1);
    DisplayRecord *d = nullptr;
    if (int error = FindDisplayArg(vm, 1, &d)) return error;
    if (d->state != DISPSTATE_OPEN) return kErrWrongUsage;
    ActivateDisplayWindow(d->hostWindow);
    return 0;
}

int CmdChangeDisplayMode(VMState *vm) {
    CheckArgs(vm, 1, 3);
    const int32_t mode = Truncated(CheckNumberArg(vm, 1));
    if (mode == 1) return SwitchDisplayMode(vm, 0, 0, 0);
    if (mode != 2) return kErrWrongUsage;
    const int32_t width = Truncated(CheckNumberArg(vm, 2)), height = Truncated(CheckNumberArg(vm, 3));
    if (width <= 0 || height <= 0) return kErrWrongUsage;
    return SwitchDisplayMode(vm, 1, width, height);
}
