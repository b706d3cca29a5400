// A borderless display with a window on the offscreen driver, for the benchmarks that draw and present frames.
#pragma once

#include "host/screen.h"
#include "host/window.h"
#include "scene/display/display_library.h"
#include "scene/display/display_list.h"
#include "scene/display/display_open.h"
#include "scene/images/bgpic.h"

namespace vl::bench {

// Shows the background (taken over) as picture 1 of display 1, current and open; null when that fails.
inline DisplayRecord *OpenBenchDisplay(HostBitmap *background) {
    const int32_t width = background->width, height = background->height;
    // The own screen gives the offscreen driver a screen the window fits on.
    if (OpenOwnScreen(width, height, 32) != 0) return nullptr;
    OwnScreenFlag = 1;
    InstallDisplayHooks(nullptr);
    BGPic *picture = nullptr;
    if (CreateBGPicRecord(ObjectId{1, nullptr}, kBGPicPicture, width, height, width, nullptr, background, nullptr, -1,
                          nullptr, nullptr, nullptr, nullptr, &picture) != 0)
        return nullptr;
    auto *d = new DisplayRecord;
    d->id = ObjectId{1, nullptr};
    d->picture = picture;
    d->width = width;
    d->height = height;
    d->flags = kDisplayBorderless;
    if (AllocHostWindow(d, &d->hostWindow) != 0 || CopyBGPicToDisplayBitmaps(d, picture, 1) != 0) return nullptr;
    InsertDisplay(d);
    CurrentDisplay = d;
    CurrentBGPic = picture;
    if (RealizeDisplay(d, 0) != 0) return nullptr;
    return d;
}

} // namespace vl::bench
