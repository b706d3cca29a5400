// The screen the windows open on: the desktop, or the program's own full-screen mode.
#pragma once

#include "host/bitmap.h"

#include <cstddef>
#include <cstdint>

struct ScreenRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

// Screen attributes: 5 depth, 14 width, 15 height, 22 title bar height + 1 (the top of the usable area + 1);
// 23 fills rect with (0, 0, width, height). 0 when no video is available.
intptr_t QueryBitMapAttr(std::nullptr_t, int32_t attr, ScreenRect *rect = nullptr);

// The program's own screen: windows that open while it is up go full screen in the display mode that fits
// width x height best. "VISTALOOM.%d" names it. 0, or kErrCannotOpen when no video is available.
int OpenOwnScreen(int32_t width, int32_t height, int32_t depth);
void CloseOwnScreen();
int OwnScreenOpen();
inline void ReleaseScreenPens() {}

// A copy of a screen rectangle. The desktop cannot be read through SDL, so this is a black bitmap of that size;
// null only when memory runs out or the size is not positive.
HostBitmap *GrabScreenRect(int32_t x, int32_t y, int32_t width, int32_t height, int flags = 0);

// Brings up SDL's video and event subsystems once; 0, or kErrCannotOpen when they cannot start.
int EnsureVideo();
// At the program's end: closes every window still open and the joysticks, gives the built-in wait and pump back
// to host/tasks.h and stops SDL's video. EnsureVideo may start it again.
void ShutdownVideo();
