// Two steps of an X11 window that SDL's driver gets wrong for the player:
// - showing: SDL maps the window and waits for the map notification with no limit, and a window manager that
//   never maps it (one still starting, one that dropped the request) stops the player there for good. The window
//   is mapped here, and the wait ends after a few seconds; the program then goes on, and SDL learns that the
//   window shows from the notification whenever it comes.
// - a window destroyed by another client (xdotool windowclose): SDL does not notice, and the player would run on
//   with no window. The destruction's notification is kept as a window-system event, and the pump ends the run.
#include "host/os/sdl_window_os.h"

#include "host/os/lazy_library.h"
#include "host/tasks.h"
#include "host/window.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

#define VL_X11_WINDOW_FUNCTIONS(X) X(XMapRaised) X(XCheckIfEvent) X(XGetWindowAttributes)
VL_LAZY_LIBRARY_TABLE(X11WindowApi, VL_X11_WINDOW_FUNCTIONS);

// How long the window manager may take to show a new window before the program goes on without it.
constexpr Uint64 kMapWaitMilliseconds = 5000;

bool X11Window(SDL_Window *window, Display **display, Window *xwindow) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    *display = info.info.x11.display;
    *xwindow = info.info.x11.window;
    return true;
}

Bool IsMapNotifyOf(Display *, XEvent *event, XPointer window) {
    return event->type == MapNotify && event->xmap.window == *reinterpret_cast<Window *>(window);
}

// Only the destruction notices are wanted of the window-system events: the others are not queued at all.
int SDLCALL KeepDestroyNotices(void *, SDL_Event *event) {
    if (event->type != SDL_SYSWMEVENT) return 1;
    const SDL_SysWMmsg *message = event->syswm.msg;
    return message && message->subsystem == SDL_SYSWM_X11 && message->msg.x11.event.type == DestroyNotify;
}

} // namespace

bool MapWindowWithin(SDL_Window *window) {
    Display *display;
    Window xwindow;
    if (!X11Window(window, &display, &xwindow)) return true;
    const X11WindowApi *x11 = LoadLazyLibrary<X11WindowApi>({"libX11.so.6"}, nullptr);
    XWindowAttributes attributes;
    if (!x11 || !x11->XGetWindowAttributes(display, xwindow, &attributes) || attributes.map_state != IsUnmapped)
        return true;
    x11->XMapRaised(display, xwindow);
    // The notification is taken out of the queue as SDL's own wait would take it; every other event stays. A
    // quit request (SIGTERM) wakes the wait and ends it as it ends every other.
    const Uint64 deadline = SDL_GetTicks64() + kMapWaitMilliseconds;
    XEvent event;
    while (!x11->XCheckIfEvent(display, &event, IsMapNotifyOf, reinterpret_cast<XPointer>(&xwindow))) {
        const Uint64 now = SDL_GetTicks64();
        if (now >= deadline || EndRequested()) return false;
        WaitForWakeOrInput(ConnectionNumber(display), int64_t(deadline - now) * 1000);
    }
    return true;
}

int X11Connection(SDL_Window *window) {
    Display *display;
    Window xwindow;
    return X11Window(window, &display, &xwindow) ? ConnectionNumber(display) : -1;
}

bool ShowSdlWindow(HostWindow *window, void (*show)(SDL_Window *)) {
    if (!MapWindowWithin(window->os->sdl)) {
        if (EndRequested()) return false; // told to end meanwhile: the script stops at its first line
        fprintf(stderr, "The window manager has not shown the window \"%s\" within %d seconds; going on without "
                        "waiting for it.\n",
                window->title.c_str(), int(kMapWaitMilliseconds / 1000));
        return false;
    }
    show(window->os->sdl);
    return true;
}

void WatchForeignDestroys() {
    const char *driver = SDL_GetCurrentVideoDriver();
    if (!driver || strcmp(driver, "x11") != 0) return;
    SDL_SetEventFilter(KeepDestroyNotices, nullptr);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

HostWindow *DestroyedWindow(const SDL_SysWMmsg *message) {
    if (!message || message->subsystem != SDL_SYSWM_X11 || message->msg.x11.event.type != DestroyNotify)
        return nullptr;
    const Window gone = message->msg.x11.event.xdestroywindow.window;
    // The player's own windows leave the list before they are destroyed, so only another client's doing is found.
    for (HostWindow *w : OpenHostWindows()) {
        Display *display;
        Window xwindow;
        if (w->os && X11Window(w->os->sdl, &display, &xwindow) && xwindow == gone) return w;
    }
    return nullptr;
}
