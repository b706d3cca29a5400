// The input state of a display as the event pump keeps it (in the display's host window; a display without a
// window reads as idle).
#pragma once

#include <cstdint>

#include "scene/display/display_record.h"

bool DisplayIsOpen(const DisplayRecord *display);
// No display, or a closed one (a minimised display is not closed).
bool DisplayIsClosed(const DisplayRecord *display);
// The pointer inside the window, raw.
void DisplayRawMouse(const DisplayRecord *display, int32_t *x, int32_t *y);
// The pointer in picture coordinates: minus the picture's offset, divided by the scale, truncated; 0, 0 when the
// display is not open.
void DisplayMousePosition(const DisplayRecord *display, int32_t *x, int32_t *y);
// Window coordinates of an event in picture coordinates, as for a SIMPLEBUTTON.
void DisplayPointFromWindow(const DisplayRecord *display, int32_t wx, int32_t wy, int32_t *x, int32_t *y);
// which: 1 left, 2 right, 3 middle.
int DisplayMouseButton(const DisplayRecord *display, int which);
// How often that button went down in the display's window; only a change means anything.
uint32_t DisplayMousePresses(const DisplayRecord *display, int which);
// 1 while the key with that code is down; codes outside the key-state array read 0.
int DisplayKeyState(const DisplayRecord *display, int64_t code);
bool DisplayMouseMoved(const DisplayRecord *display);
void ClearDisplayMouseMoved(DisplayRecord *display);
// Microseconds of the last move on the pump's clock.
int64_t DisplayLastMouseMove(const DisplayRecord *display);
