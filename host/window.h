// Display windows. Each display owns one HostWindow: an SDL window that shows our own off-screen 32-bit pixels
// (a streaming texture updated from the changed rectangle). The display code fills the settings, calls the
// operations, and reads the input state the event pump keeps here.
#pragma once

#include "host/bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

struct DisplayRecord;

// Window flags.
constexpr uint32_t kWindowBorderless = 1;
constexpr uint32_t kWindowSizeable = 2;
constexpr uint32_t kWindowFullScreen = 4;     // the own screen: a full-screen window in a chosen mode
constexpr uint32_t kWindowFakeFullScreen = 8; // a borderless window of the desktop's size
constexpr uint32_t kWindowBackdrop = 16;      // the backfill: on the own screen, drawn behind the other windows

constexpr int kKeyStateSize = 300;

struct WindowRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

struct WindowOs; // host/os

struct HostWindow {
    DisplayRecord *display = nullptr; // named in the events the pump queues
    // Settings the display fills before opening or changing the box. Size is the inner size.
    int32_t x = 0, y = 0, width = 0, height = 0;
    uint32_t flags = 0;
    std::string title;
    int closeWindowFlag = 0;              // 0: the close gadget also asks the program to quit
    std::vector<WindowRect> dragRegions;  // inner coordinates; dragging there moves the window
    std::vector<WindowRect> sizeRegions;  // dragging there resizes it
    // Frame sizes after ComputeWindowBorders: left, top, total horizontal, total vertical.
    int32_t borderLeft = 0, borderTop = 0, borderHorizontal = 0, borderVertical = 0;
    // State.
    bool open = false;
    bool minimised = false;
    bool active = false;
    bool acceptsDrops = false;
    bool clipboardHook = false;
    bool pointerHidden = false;
    // Input state the event pump keeps.
    uint8_t keyState[kKeyStateSize] = {}; // 1 while the key with that code is down
    bool mouseLeft = false, mouseRight = false, mouseMiddle = false;
    // Presses of left, right, middle so far: a press and its release read in one pump leave the flag as it was.
    uint32_t mousePresses[3] = {};
    bool mouseMoved = false;
    int64_t lastMouseMoveMicros = 0; // event clock
    int32_t mouseX = 0, mouseY = 0;  // inside the window
    std::vector<std::string> pendingDrops;
    // What the queue was last told, so a change made here and echoed by the window system is queued once.
    int32_t reportedX = 0, reportedY = 0, reportedWidth = 0, reportedHeight = 0;
    bool reportedShown = false;
    WindowOs *os = nullptr;
};

// 0 or kErrOutOfMemory. The window starts closed.
int AllocHostWindow(DisplayRecord *display, HostWindow **out);
void FreeHostWindow(HostWindow *window); // closes it first; null allowed

// Opens the window at x, y with the inner size, flags and title. With a mask or alpha plane (alpha > 0 counts as
// visible) the window takes that shape where the video driver supports shaped windows, else it stays
// rectangular. 0, or kErrCannotOpen "Cannot open %s !" with "window".
int OpenDisplayWindow(HostWindow *window, int activate, const MaskPlane *mask, const AlphaPlane *alpha);
// Moves, size changes, hiding and showing queue kinds 4, 5, 9 and 10 whether the window system reports them or
// the program made them; each change is queued once.
// Nothing while the window is minimised (the icon state keeps it).
void CloseDisplayWindow(HostWindow *window);
void ActivateDisplayWindow(HostWindow *window);
void MoveDisplayWindow(HostWindow *window);
void ChangeDisplayWindowBox(HostWindow *window); // position and inner size from the settings
void ComputeWindowBorders(HostWindow *window);
void UpdateWindowTitle(HostWindow *window);
void ResetRegionGadgets(HostWindow *window); // the window's hit test follows dragRegions and sizeRegions
// Forgets the keys and mouse buttons the pump holds down for the window (the display closes or starts afresh);
// a key still held goes up later with the code it went down with.
void ClearWindowInputState(HostWindow *window); // null allowed
// Hide 1 minimises the window (the icon state), hide 0 restores it. 0 or kErrCannotOpen.
int HideShowDisplayWindow(HostWindow *window, int hide);
// Ends the icon state of the whole program (every minimised window comes back) before a display opens. 0.
int EndIconify();

// On the own screen every window is drawn into one full-screen window at its position (x, y are screen
// coordinates), behind it the backdrop; the screen keeps its proportions on the monitor.
// Shows a rectangle of an off-screen 32-bit bitmap at (x, y) of the window, and presents the frame.
void PresentWindowPixels(HostWindow *window, const HostBitmap *bitmap, int32_t sx, int32_t sy, int32_t x, int32_t y,
                         int32_t width, int32_t height);
// The same in two steps, for callers that change several rectangles per frame: upload each, present once.
void UpdateWindowPixels(HostWindow *window, const HostBitmap *bitmap, int32_t sx, int32_t sy, int32_t x, int32_t y,
                        int32_t width, int32_t height);
void PresentWindow(HostWindow *window);
// Shows the whole bitmap scaled into the window rectangle (x, y, width, height), and presents the frame: the
// picture of a display that scales itself.
void PresentWindowScaled(HostWindow *window, const HostBitmap *bitmap, int32_t x, int32_t y, int32_t width,
                         int32_t height);
// Fills a rectangle of the window directly (0x00RRGGBB), relative to the picture origin (ox, oy); nothing unless
// the window is open.
void FillDisplayRect(HostWindow *window, int32_t ox, int32_t oy, int32_t x, int32_t y, int32_t width, int32_t height,
                     uint32_t colour);

// Dropped files reach the queue (kind 14) only while this is on. 0, or kErrAppWindow when the window is not open.
int UpdateAppWindow(HostWindow *window, int enable);
// Clipboard changes reach the queue (kind 15) only while this is on. Always 0.
int UpdateClipboardHook(HostWindow *window, int enable);

// Pointers over the window. Each window keeps its own; the one of the window the mouse is in is shown.
void HideDisplayPointer(HostWindow *window);
constexpr int32_t kHostPointerImage = 0;
constexpr int32_t kHostPointerBusy = 1; // the system's wait pointer; the image is not used
// A colour pointer from a 32-bit bitmap with an optional alpha plane as opacity (null: opaque); a null bitmap
// restores the system pointer.
void SetDisplayPointer(HostWindow *window, const HostBitmap *image, const AlphaPlane *alpha, int32_t hotX,
                       int32_t hotY, int32_t kind = kHostPointerImage);
void RestoreDisplayPointer(HostWindow *window);
// Puts the window's own pointer in force (the mouse entered it, or it got the focus).
void ApplyWindowPointer(HostWindow *window);

// 1 when an outer size fits the current screen.
int FitsScreen(HostWindow *window, int32_t x, int32_t y, int32_t outerWidth, int32_t outerHeight);

// The label under a hidden display's icon (the minimised window's title), and the program's desktop icon path.
constexpr int kAppIconLabelSize = 256;
extern char AppIconLabel[kAppIconLabelSize];
constexpr int kWBIconPathSize = 1024;
extern char WBIconPath[kWBIconPathSize];

// The SDL window id of an open window, 0 otherwise (tests and the pump).
uint32_t HostWindowId(const HostWindow *window);
// Every open window, in opening order.
const std::vector<HostWindow *> &OpenHostWindows();
