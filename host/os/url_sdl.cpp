#include "host/subprocess.h"
#include "host/url.h"

#include "runtime/app/errors.h"

#include <SDL.h>

int LaunchUrl(const char *url) {
    // SDL hands the URL to xdg-open and reports success even when that is not installed.
    if (FindProgramOnPath("xdg-open").empty()) {
        SetErrorArgString("xdg-open");
        return kErrCannotOpen;
    }
    if (!url || SDL_OpenURL(url) != 0) {
        SetErrorArgString("xdg-open");
        return kErrCannotOpen;
    }
    return 0;
}
