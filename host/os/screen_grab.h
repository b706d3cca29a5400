// The ways of reading the desktop behind GrabScreenRect. Each fills a bitmap with the screen's pixels from (x, y)
// on and returns 0 or an error code (the reason set as the error argument).
#pragma once

#include "host/bitmap.h"

#include <cstdint>

// The portal's answer when there is no portal to ask (no session bus, no Screenshot interface), so that another
// way may be tried; never a code of the error table.
constexpr int kGrabUnavailable = -1;

int GrabX11Screen(int32_t x, int32_t y, HostBitmap *into);
int GrabPortalScreen(int32_t x, int32_t y, HostBitmap *into);
