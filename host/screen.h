// The screen the windows open on: the desktop, or the program's own full-screen mode.
#pragma once

#include "host/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ScreenRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// Screen attributes: 5 depth, 14 width, 15 height, 22 title bar height + 1 (the top of the usable area + 1);
// 23 fills rect with (0, 0, width, height). 0 when no video is available.
intptr_t QueryBitMapAttr(std::nullptr_t, int32_t attr, ScreenRect *rect = nullptr);

// The program's own screen: windows that open while it is up go full screen in the display mode that fits
// width x height (at that refresh rate, 0 for any) best. "VISTALOOM.%d" names it. 0, or kErrCannotOpen when no
// video is available.
int OpenOwnScreen(int32_t width, int32_t height, int32_t depth, int32_t refresh = 0);
void CloseOwnScreen();
int OwnScreenOpen();
inline void ReleaseScreenPens() {}

// A copy of a screen rectangle read from the desktop: the X11 root window, or on a Wayland desktop the desktop
// portal's screenshot (its X11 root when there is no portal). Parts beyond the screen's edge are black. Null when
// the screen cannot be read (headless video drivers show no desktop; a refused portal request): *error is then
// 1430 with the reason as the error argument, 1000 when memory runs out, or 1055 for an empty rectangle.
HostBitmap *GrabScreenRect(int32_t x, int32_t y, int32_t width, int32_t height, int flags = 0,
                           int *error = nullptr);
// Reads the screen in place of the desktop (tests): fills the bitmap with the screen from (x, y) on; 0 or an
// error code. Null gives the desktop back.
using ScreenGrabBackend = int (*)(int32_t x, int32_t y, HostBitmap *into);
void SetScreenGrabBackend(ScreenGrabBackend backend);

struct ScreenMode {
    int32_t width = 0, height = 0;
    int32_t refresh = 0; // Hz, 0 when unknown
};
// The modes the screen of the program's windows offers, largest first, each size and rate once; the current
// screen size alone when the driver lists none; empty when no video is available.
std::vector<ScreenMode> ListScreenModes();

// Brings up SDL's video and event subsystems once; 0, or kErrCannotOpen when they cannot start.
int EnsureVideo();
// Whether the program's windows can be seen: video starts on a desktop (X11, Wayland, the console), or the user
// asked for a driver without windows (SDL_VIDEODRIVER=offscreen or dummy). Without a desktop SDL would fall back
// to its offscreen driver and play into nothing; then *message says which display was tried and how to play
// without one, and video is stopped again.
bool DisplayReachable(std::string *message);
// At the program's end: closes every window still open and the joysticks, gives the built-in wait and pump back
// to host/tasks.h and stops SDL's video. EnsureVideo may start it again.
void ShutdownVideo();
