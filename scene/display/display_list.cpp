#include "scene/display/display_list.h"

#include <cstring>

#include "host/memory.h"
#include "host/screen.h"
#include "host/window.h"
#include "imaging/async_draw.h"
#include "runtime/app/errors.h"
#include "host/event_queue.h"
#include "runtime/app/object_list.h"
#include "scene/display/object_kinds.h"
#include "scene/events/buttons.h"
#include "scene/images/bgpic.h"

DisplayRecord *DisplayList = nullptr;
DisplayRecord *CurrentDisplay = nullptr;
std::mutex DisplayListSemaphore;
int OwnScreenFlag = 0;
HostBitmap *DesktopGrab = nullptr;
void (*EventStateDisplayFreedHook)(DisplayRecord *, DisplayRecord *) = nullptr;

const char *const EventHandlerNames[kEventHandlerSlotCount] = {
    "onkeydown",     "onkeyup",         "onmousemove",      "closewindow",     "movewindow",
    "sizewindow",    "activewindow",    "inactivewindow",   "hidewindow",      "showwindow",
    "onmousedown",   "onmouseup",       "onrightmousedown", "onrightmouseup",  "onwheeldown",
    "onwheelup",     "modeswitch",      "ondropfile",       "clipboardchange", "onmidmousedown",
    "onmidmouseup",
};

static int NotFound(ObjectId id) { return ObjectNotFound(id, kErrDisplayNotFound); }

int FindDisplay(ObjectId id, DisplayRecord **out) {
    *out = nullptr;
    for (DisplayRecord *d = DisplayList; d; d = d->next) {
        if (d->id == id) {
            *out = d;
            return 0;
        }
    }
    return NotFound(id);
}

int32_t CountDisplays() {
    int32_t n = 0;
    for (DisplayRecord *d = DisplayList; d; d = d->next) n++;
    return n;
}

int IsOnlyDisplay(const DisplayRecord *display) {
    const DisplayRecord *first = DisplayList;
    if (!first || !display) return 0;
    if (first == display) return display->next == nullptr;
    // The backfill display does not count, but a third display does: the mode switch is for one display only.
    return first->private1 != 0 && first->next == display && display->next == nullptr;
}

void InsertDisplay(DisplayRecord *display) {
    std::lock_guard<std::mutex> lock(DisplayListSemaphore);
    if (display->private1 || !DisplayList) {
        display->next = DisplayList;
        DisplayList = display;
        return;
    }
    DisplayRecord *last = DisplayList;
    while (last->next) last = last->next;
    display->next = nullptr;
    last->next = display;
}

static void ClearInputState(DisplayRecord *display) {
    std::memset(display->keyState, 0, sizeof display->keyState);
    display->mouseLeft = display->mouseRight = display->mouseMiddle = 0;
    // The pump keeps the live key and mouse-button state in the window, and the input commands read it there.
    ClearWindowInputState(display->hostWindow);
}

void ResetDisplayInputState(DisplayRecord *display) {
    ClearInputState(display);
    if (display->picture) ResetButtonStates(display->picture);
}

void FreeDisplayContents(VMState *vm, DisplayRecord *display, int atShutdown) {
    if (display->state != DISPSTATE_CLOSED) {
        if (display->hostWindow) CloseDisplayWindow(display->hostWindow);
        ResetDisplayInputState(display);
        display->activateOnOpen = 0;
        display->state = DISPSTATE_CLOSED;
    }
    if (display->ownsPicture && display->picture && !atShutdown) {
        BGPic *own = display->picture;
        display->picture = nullptr; // no longer shown by this display, so it is freed now, not left pending
        display->ownsPicture = 0;
        FreeBGPicById(own->id, 0);
    }
    FreeHostBitmap(display->firstBitmap);
    FreeHostBitmap(display->secondBitmap);
    FreeHostBitmap(display->frontBuffer);
    FreeHostBitmap(display->backBuffer);
    FreeMaskPlane(display->windowMask);
    FreeAlphaPlane(display->windowAlpha);
    display->firstBitmap = display->secondBitmap = display->frontBuffer = display->backBuffer = nullptr;
    display->windowMask = nullptr;
    display->windowAlpha = nullptr;
    FreeHostWindow(display->hostWindow);
    display->hostWindow = nullptr;
    for (EventHandlerSlot &slot : display->handlers) {
        if (vm && slot.function != -1) FreeRef(vm, kRegistryIndex, slot.function);
        if (vm && slot.userdata != -1) FreeRef(vm, kRegistryIndex, slot.userdata);
        slot = EventHandlerSlot{};
    }
    delete display->doubleBufferOutput;
    delete display->selectOutput;
    display->doubleBufferOutput = display->selectOutput = nullptr;
    FreeBlock(display->dirtyRects);
    display->dirtyRects = nullptr;
    display->dirtyCount = display->dirtyCapacity = 0;
}

int FreeDisplayById(VMState *vm, ObjectId id) {
    DisplayRecord *previous = nullptr, *display = DisplayList;
    while (display && display->id != id) {
        previous = display;
        display = display->next;
    }
    if (!display) return NotFound(id);
    // Everything that draws reads CurrentDisplay; it must never dangle.
    if (display == CurrentDisplay) return kErrFreeActiveDisplay;
    {
        std::lock_guard<std::mutex> lock(DisplayListSemaphore);
        (previous ? previous->next : DisplayList) = display->next;
    }
    DisplayRecord *successor = display->next;
    display->next = nullptr;
    FreeDisplayContents(vm, display, 0);
    DetachDisplayEvents(display);
    if (EventStateDisplayFreedHook) EventStateDisplayFreedHook(display, successor);
    delete display;
    // A picture the script freed while this display showed it can go now, and the pages kept for planes of
    // its sizes.
    FlushPendingFrees();
    ReleaseCachedPixelPages();
    return 0;
}

int FreeAllDisplays(VMState *vm) {
    FreeAllAsyncDraws();
    DisplayRecord *display = DisplayList;
    {
        std::lock_guard<std::mutex> lock(DisplayListSemaphore);
        DisplayList = nullptr;
    }
    CurrentDisplay = nullptr;
    while (display) {
        DisplayRecord *next = display->next;
        FreeDisplayContents(vm, display, 1);
        DetachDisplayEvents(display);
        if (EventStateDisplayFreedHook) EventStateDisplayFreedHook(display, nullptr);
        delete display;
        display = next;
    }
    ReleaseScreenPens();
    if (OwnScreenFlag) CloseOwnScreen();
    OwnScreenFlag = 0;
    FreeHostBitmap(DesktopGrab);
    DesktopGrab = nullptr;
    ReleaseCachedPixelPages();
    return 0;
}

void SaveDisplayDrawState(DisplayRecord *display, int32_t outputKind, int32_t outputWidth) {
    if (display->drawStateSaved) return;
    display->drawStateSaved = 1;
    display->savedLayersEnabled = display->layersEnabled;
    if (outputKind != ObjectKindBGPic) display->layersEnabled = 0;
    display->savedCursorX = display->cursorX;
    display->savedCursorY = display->cursorY;
    display->savedLeftMargin = display->leftMargin;
    display->savedRightMargin = display->rightMargin;
    display->cursorX = display->cursorY = display->leftMargin = 0;
    display->rightMargin = outputWidth - 1;
}

void RestoreDisplayDrawState(DisplayRecord *display) {
    // Without a save there is nothing to give back: restoring stale fields would switch layers off and move the
    // text cursor behind the script's back.
    if (!display->drawStateSaved) return;
    display->layersEnabled = display->savedLayersEnabled;
    display->cursorX = display->savedCursorX;
    display->cursorY = display->savedCursorY;
    display->leftMargin = display->savedLeftMargin;
    display->rightMargin = display->savedRightMargin;
    display->drawStateSaved = 0;
}
