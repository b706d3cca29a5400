#include "host/url.h"

#include "runtime/app/errors.h"

#include <SDL.h>

int LaunchUrl(const char *url) {
    if (!url || SDL_OpenURL(url) != 0) {
        SetErrorArgString("URL handler");
        return kErrCannotOpen;
    }
    return 0;
}
