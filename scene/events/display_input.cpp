#include "scene/events/display_input.h"

#include "host/window.h"

bool DisplayIsOpen(const DisplayRecord *display) { return display && display->state == DISPSTATE_OPEN; }

bool DisplayIsClosed(const DisplayRecord *display) { return !display || display->state == DISPSTATE_CLOSED; }

void DisplayRawMouse(const DisplayRecord *display, int32_t *x, int32_t *y) {
    *x = *y = 0;
    if (display && display->hostWindow) *x = display->hostWindow->mouseX, *y = display->hostWindow->mouseY;
}

void DisplayPointFromWindow(const DisplayRecord *display, int32_t wx, int32_t wy, int32_t *x, int32_t *y) {
    double scaleX = display->scaleX != 0 ? display->scaleX : 1.0;
    double scaleY = display->scaleY != 0 ? display->scaleY : 1.0;
    *x = SaturateToInt32((double(wx) - display->scaledLeft) / scaleX);
    *y = SaturateToInt32((double(wy) - display->scaledTop) / scaleY);
}

void DisplayMousePosition(const DisplayRecord *display, int32_t *x, int32_t *y) {
    *x = *y = 0;
    if (!DisplayIsOpen(display)) return;
    int32_t rx, ry;
    DisplayRawMouse(display, &rx, &ry);
    DisplayPointFromWindow(display, rx, ry, x, y);
}

int DisplayMouseButton(const DisplayRecord *display, int which) {
    if (!display) return 0;
    if (const HostWindow *w = display->hostWindow)
        return which == 1 ? w->mouseLeft : which == 2 ? w->mouseRight : w->mouseMiddle;
    return which == 1 ? display->mouseLeft != 0 : which == 2 ? display->mouseRight != 0 : display->mouseMiddle != 0;
}

uint32_t DisplayMousePresses(const DisplayRecord *display, int which) {
    const HostWindow *w = display ? display->hostWindow : nullptr;
    return w ? w->mousePresses[which == 1 ? 0 : which == 2 ? 1 : 2] : 0;
}

int DisplayKeyState(const DisplayRecord *display, int64_t code) {
    if (!display || code < 0 || code >= kKeyStateSize || code >= kDisplayKeyStateSize) return 0;
    if (const HostWindow *w = display->hostWindow) return w->keyState[code] != 0;
    return display->keyState[code] != 0;
}

bool DisplayMouseMoved(const DisplayRecord *display) {
    if (const HostWindow *w = display->hostWindow) return w->mouseMoved;
    return display->mouseMoved != 0;
}

void ClearDisplayMouseMoved(DisplayRecord *display) {
    if (HostWindow *w = display->hostWindow) w->mouseMoved = false;
    display->mouseMoved = 0;
}

int64_t DisplayLastMouseMove(const DisplayRecord *display) {
    if (const HostWindow *w = display->hostWindow) return w->lastMouseMoveMicros;
    return display->lastMouseMoveSeconds * 1000000 + display->lastMouseMoveMicros;
}
