// Showing a display: opening and closing its window, applying changed settings, resizing and scaling, and
// presenting its picture.
#pragma once

#include <cstdint>

#include "host/screen.h"
#include "scene/display/display_record.h"

// ChangeDisplaySize's and CreateDisplay's "keep this coordinate".
constexpr int32_t KEEPPOSITION = 100000;

// Opens the display's window. 0, kErrChangeDisplaySize when it does not fit the screen (the display stays closed), or
// the window's error.
int RealizeDisplay(DisplayRecord *display, int activate);
// Closes the window of closing when given, else of display, and marks it closed.
void UnrealizeDisplay(DisplayRecord *display, DisplayRecord *closing);
// Shows the display's pointer on its open window: hidden when the script or the own screen's HIDEPOINTER says
// so, else its pointer record or the system pointer.
void ApplyDisplayPointer(DisplayRecord *display);
// The close step every caller shares; activateOnOpen is left alone for the reopening callers.
void CloseDisplayWindowStep(DisplayRecord *display);
// Applies the committed settings to an open window: reopens it only when a frame flag changed (or for a shaped
// window whose picture or size changed), else moves or resizes it in place.
int ApplyDisplayChanges(DisplayRecord *display, const DisplayRecord *saved, int forTransition);
// SetDisplayAttributes' core: the option table at stack index `index` applied to the display through a working
// copy, so that a bad table leaves the display as it was.
int ApplyDisplayAttributes(VMState *vm, int index, DisplayRecord *display, int forTransition);
// Changes the size (and with a script request the position) of a display with its scaling modes. A size that
// does not fit the screen gives kErrChangeDisplaySize and leaves the old box in place.
int ResizeDisplay(VMState *vm, DisplayRecord *display, int32_t x, int32_t y, int32_t width, int32_t height,
                  int scriptRequest, int smooth, int noRedraw);
void ClearDisplayBorders(DisplayRecord *display);
// Puts the picture's alpha channel into bits 24-31 of a 32-bit bitmap.
void CopyDisplayAlphaToBitmap(DisplayRecord *display, HostBitmap *bitmap);
// Redraws the whole display into its window (nothing while it is not open).
int RefreshDisplayNow(DisplayRecord *display, int flags);

// ---- Pieces shared with start-up and the commands ---------------------------------------------------------------
ScreenRect DisplayScreenArea();
// Resolves position constants in x and y against the screen area (frame sizes of the last opening).
void ResolveDisplayPosition(DisplayRecord *display, const ScreenRect &area);
void SetDefaultRegions(DisplayRecord *display);
void ClampDisplayRegions(DisplayRecord *display);
// The scaled size and borders that keep the picture's proportions inside width x height.
void ComputeKeptProportions(DisplayRecord *display, int32_t width, int32_t height);
// Copies position, size, flags, title and regions into the host window.
void SyncHostWindow(DisplayRecord *display);
