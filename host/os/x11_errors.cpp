// Xlib's own handlers end the process from inside whatever call met the error: a protocol error (a wake-up sent
// to a window just destroyed) or a lost connection would exit in the middle of the shutdown, or abort it. The
// player's handlers make a failed request harmless and a lost display the end of the run, with one line.
#include "host/os/sdl_window_os.h"

#include "host/os/lazy_library.h"
#include "host/window.h"

#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

#define VL_X11_HANDLER_FUNCTIONS(X) X(XSetErrorHandler) X(XSetIOErrorHandler)
VL_LAZY_LIBRARY_TABLE(X11Handlers, VL_X11_HANDLER_FUNCTIONS);

// A request that failed (BadWindow and the like) only fails that request; SDL checks what it needs itself.
int IgnoreXError(Display *, XErrorEvent *) { return 0; }

std::atomic<bool> displayLost{false};

// Xlib exits when this returns, so it ends the run here: exit() runs the atexit handlers, which join the
// player's threads first. A second thread meeting the same loss ends at once; the line is already written.
int EndOnLostDisplay(Display *display) {
    if (displayLost.exchange(true)) _exit(1);
    const char *name = display ? DisplayString(display) : nullptr;
    fprintf(stderr, "Lost the connection to display %s.\n", name && *name ? name : "(unknown)");
    exit(1);
}

} // namespace

void EndOnDestroyedWindow(const HostWindow *window) {
    if (displayLost.exchange(true)) _exit(1);
    fprintf(stderr, "The window \"%s\" was closed by another program.\n", window->title.c_str());
    exit(1);
}

void InstallX11ErrorHandlers() {
    // Before SDL starts its video: SDL chains its own error handler to the one it finds and puts that one back
    // when it closes, and the wake-ups still queued fail only then. Only when the x11 driver may be the one.
    const char *wanted = SDL_getenv("SDL_VIDEODRIVER");
    if ((wanted && *wanted && strcmp(wanted, "x11") != 0) || !SDL_getenv("DISPLAY")) return;
    const X11Handlers *x11 = LoadLazyLibrary<X11Handlers>({"libX11.so.6"}, nullptr);
    if (!x11) return;
    x11->XSetErrorHandler(IgnoreXError);
    x11->XSetIOErrorHandler(EndOnLostDisplay);
}
