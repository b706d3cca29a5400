// The full-screen modes the user may choose from: SDL's list for the display the windows open on.
#include "host/screen.h"

#include <SDL.h>

std::vector<ScreenMode> ListScreenModes() {
    std::vector<ScreenMode> modes;
    if (EnsureVideo() != 0) return modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; i++) {
        SDL_DisplayMode mode{};
        if (SDL_GetDisplayMode(0, i, &mode) != 0 || mode.w < 1 || mode.h < 1) continue;
        // SDL lists a size and rate once per pixel format; the user picks size and rate only.
        bool known = false;
        for (const ScreenMode &m : modes)
            known |= m.width == mode.w && m.height == mode.h && m.refresh == mode.refresh_rate;
        if (!known) modes.push_back(ScreenMode{mode.w, mode.h, mode.refresh_rate});
    }
    // A driver without a mode list (the headless ones) still has the screen as it is.
    if (modes.empty()) {
        const auto width = int32_t(QueryBitMapAttr(nullptr, 14)),
                   height = int32_t(QueryBitMapAttr(nullptr, 15));
        if (width > 0 && height > 0) modes.push_back(ScreenMode{width, height, 0});
    }
    return modes;
}
