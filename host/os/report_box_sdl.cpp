#include "host/screen.h"
#include "host/start_origin.h"

#include <SDL.h>

#include <cstring>
#include <string>

bool DesktopDisplayOpens() {
    // Headless drivers would "open" without anyone to see the box.
    const char *wanted = SDL_getenv("SDL_VIDEODRIVER");
    if (wanted && (strcmp(wanted, "offscreen") == 0 || strcmp(wanted, "dummy") == 0)) return false;
    if (EnsureVideo() != 0) return false;
    const char *driver = SDL_GetCurrentVideoDriver();
    return driver && strcmp(driver, "offscreen") != 0 && strcmp(driver, "dummy") != 0 &&
           SDL_GetNumVideoDisplays() > 0;
}

int ShowReportMessageBox(const char *title, std::string_view report) {
    std::string text(report);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text.c_str(), nullptr) == 0 ? 0 : -1;
}
