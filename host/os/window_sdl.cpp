#include "host/os/sdl_window_os.h"
#include "host/clipboard.h"
#include "host/input.h"
#include "host/joystick.h"
#include "host/screen.h"
#include "host/window.h"
#include "host/os/input_inject.h"

#include "runtime/app/errors.h"
#include "host/event_queue.h"

#include <SDL.h>

#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <utility>

char AppIconLabel[kAppIconLabelSize] = "";
char WBIconPath[kWBIconPathSize] = "";

namespace {

std::vector<HostWindow *> openWindows;
bool ownScreenOpen = false;
int32_t ownScreenWidth = 0, ownScreenHeight = 0, ownScreenRefresh = 0;
int32_t headlessWidth = 0, headlessHeight = 0; // SetHeadlessScreenSize; 0: kHeadlessScreen*
// Without a desktop the drivers report 1024x768, which would refuse every full-size display; renders, tests and
// benchmarks without a desktop get a screen that any display up to 8K fits on.
constexpr int32_t kHeadlessScreenWidth = 7680, kHeadlessScreenHeight = 4320;

bool HeadlessDriver() {
    const char *driver = SDL_GetCurrentVideoDriver();
    return driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
}

// The desktop's mode; a headless run reports its own size in place of the driver's.
bool DesktopMode(SDL_DisplayMode *mode) {
    if (SDL_GetCurrentDisplayMode(0, mode) != 0) return false;
    if (headlessWidth > 0) mode->w = headlessWidth, mode->h = headlessHeight;
    else if (HeadlessDriver()) mode->w = kHeadlessScreenWidth, mode->h = kHeadlessScreenHeight;
    return true;
}

// The own screen is one full-screen window at the desktop's mode, shared by every display opened on it: the
// displays and the backfill behind them are composed at the screen's size, which the renderer fits to the monitor
// keeping its proportions. No video mode is changed, so nothing is left behind when the program ends, and a
// window manager sees one window it cannot move or stack wrongly.
struct Screen {
    SDL_Window *sdl = nullptr;
    SDL_Renderer *renderer = nullptr;
    int users = 0;
    WindowSurfaceState surface;
};
Screen screen;

void ReleaseScreen() {
    if (--screen.users > 0) return;
    if (screen.renderer) SDL_DestroyRenderer(screen.renderer);
    if (screen.sdl) SDL_DestroyWindow(screen.sdl);
    screen = Screen{};
}

void DestroyOs(WindowOs *os) {
    if (!os) return;
    if (os->cursor) SDL_FreeCursor(os->cursor);
    if (os->texture) SDL_DestroyTexture(os->texture);
    if (os->scaled) SDL_DestroyTexture(os->scaled);
    if (os->onScreen) {
        ReleaseScreen();
    } else {
        if (os->renderer) SDL_DestroyRenderer(os->renderer);
        if (os->sdl) SDL_DestroyWindow(os->sdl);
    }
    delete os;
}

// The windows on the own screen in drawing order: the backfill first, then the displays as they opened.
std::vector<HostWindow *> ScreenWindows() {
    std::vector<HostWindow *> out;
    for (int backdrop = 1; backdrop >= 0; backdrop--)
        for (HostWindow *w : openWindows)
            if (w->os->onScreen && ((w->flags & kWindowBackdrop) != 0) == (backdrop != 0)) out.push_back(w);
    return out;
}

// Draws every window of the own screen at its place. Each present draws the whole screen, so a window shows
// whole however little of it changed.
void DrawScreen() {
    SDL_SetRenderDrawColor(screen.renderer, 0, 0, 0, 255);
    SDL_RenderClear(screen.renderer);
    for (HostWindow *w : ScreenWindows()) {
        WindowOs *os = w->os;
        if (os->showScaled && os->scaled) {
            SDL_Rect target{w->x + os->scaledRect.x, w->y + os->scaledRect.y, os->scaledRect.w, os->scaledRect.h};
            SDL_RenderCopy(screen.renderer, os->scaled, nullptr, &target);
        } else {
            SDL_Rect target{w->x, w->y, os->textureWidth, os->textureHeight};
            SDL_RenderCopy(screen.renderer, os->texture, nullptr, &target);
        }
    }
}

void ComposeScreen() {
    if (!screen.renderer) return;
    DrawScreen();
    SDL_RenderPresent(screen.renderer);
    screen.surface.current = true;
    screen.surface.pending.clear();
}

// The screen's size: the own screen's, or the desktop's for a full-screen window without one.
void ScreenSize(int32_t *width, int32_t *height) {
    SDL_DisplayMode desktop{};
    if (ownScreenOpen) *width = ownScreenWidth, *height = ownScreenHeight;
    else if (DesktopMode(&desktop)) *width = desktop.w, *height = desktop.h;
    else *width = *height = 1;
}

// Opens the own screen's window on the first display that needs it.
bool AcquireScreen(const HostWindow *window) {
    if (screen.users > 0) {
        screen.users++;
        return true;
    }
    int32_t width, height;
    ScreenSize(&width, &height);
    // Headless drivers cannot change a window to full screen; there the window simply has the screen's size.
    const bool headless = HeadlessDriver();
    // A mode the user chose (it has a refresh rate) is set; otherwise the desktop's mode stays.
    const bool chosenMode = ownScreenOpen && ownScreenRefresh > 0;
    const Uint32 flags = headless ? SDL_WINDOW_BORDERLESS
                                  : chosenMode ? SDL_WINDOW_FULLSCREEN : SDL_WINDOW_FULLSCREEN_DESKTOP;
    screen.sdl = SDL_CreateWindow(window->title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                  std::max(1, width), std::max(1, height), flags | SDL_WINDOW_HIDDEN);
    if (screen.sdl && chosenMode && !headless) {
        SDL_DisplayMode want{SDL_PIXELFORMAT_UNKNOWN, ownScreenWidth, ownScreenHeight, ownScreenRefresh, nullptr};
        SDL_DisplayMode got;
        if (SDL_GetClosestDisplayMode(0, &want, &got)) SDL_SetWindowDisplayMode(screen.sdl, &got);
    }
    // The software renderer, as for every window: the screen is composed in memory anyway.
    if (screen.sdl) screen.renderer = SDL_CreateRenderer(screen.sdl, -1, SDL_RENDERER_SOFTWARE);
    if (!screen.renderer) {
        if (screen.sdl) SDL_DestroyWindow(screen.sdl);
        screen = Screen{};
        return false;
    }
    // Mouse positions come back in screen coordinates as well.
    SDL_RenderSetLogicalSize(screen.renderer, std::max(1, width), std::max(1, height));
    screen.users = 1;
    return true;
}

// Drag and size regions become SDL hit-test areas, so the window manager moves and sizes the window.
SDL_HitTestResult SDLCALL HitTest(SDL_Window *, const SDL_Point *p, void *data) {
    auto *window = static_cast<HostWindow *>(data);
    auto inside = [p](const WindowRect &r) {
        return p->x >= r.x && p->y >= r.y && p->x < r.x + r.width && p->y < r.y + r.height;
    };
    for (const WindowRect &r : window->sizeRegions)
        if (inside(r)) return SDL_HITTEST_RESIZE_BOTTOMRIGHT;
    for (const WindowRect &r : window->dragRegions)
        if (inside(r)) return SDL_HITTEST_DRAGGABLE;
    return SDL_HITTEST_NORMAL;
}

WindowSurfaceState &SurfaceState(WindowOs *os) { return os->onScreen ? screen.surface : os->surface; }

SDL_Texture *NewWindowTexture(WindowOs *os) {
    return SDL_CreateTexture(os->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                             std::max(1, os->textureWidth), std::max(1, os->textureHeight));
}

// The texture at the window's size, blank. A window on the own screen gets it at once (the screen is composed
// from the textures); a desktop window only when first needed (EnsureTexture): while its surface is current,
// changes go to the surface alone, which saves a copy of the picture and its upload.
bool MakeTexture(HostWindow *window) {
    WindowOs *os = window->os;
    if (os->texture) SDL_DestroyTexture(os->texture);
    os->texture = nullptr;
    os->textureWidth = window->width;
    os->textureHeight = window->height;
    os->surface.current = false;
    if (!os->onScreen) return true;
    screen.surface.current = false;
    os->texture = NewWindowTexture(os);
    return os->texture != nullptr;
}

// A desktop window's texture, made when first needed: a copy of the window surface while that is current.
bool EnsureTexture(WindowOs *os) {
    if (os->texture) return true;
    os->texture = NewWindowTexture(os);
    if (!os->texture) return false;
    SDL_Surface *s = os->surface.current ? SDL_GetWindowSurface(os->sdl) : nullptr;
    if (!s || !s->pixels || SDL_MUSTLOCK(s) || s->w != os->textureWidth || s->h != os->textureHeight) return true;
    void *pixels;
    int pitch;
    if (SDL_LockTexture(os->texture, nullptr, &pixels, &pitch) == 0) {
        SDL_ConvertPixels(s->w, s->h, s->format->format, s->pixels, s->pitch, SDL_PIXELFORMAT_ARGB8888, pixels,
                          pitch);
        SDL_UnlockTexture(os->texture);
    }
    return true;
}

// Builds the shape surface from the mask or alpha plane: visible pixels opaque.
SDL_Surface *ShapeSurface(const HostWindow *window, const MaskPlane *mask, const AlphaPlane *alpha) {
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, window->width, window->height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!s) return nullptr;
    for (int y = 0; y < window->height; y++) {
        auto *row = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(s->pixels) + size_t(y) * size_t(s->pitch));
        for (int x = 0; x < window->width; x++) {
            bool on = true;
            if (mask && (mask->rows == 0 || y < mask->rows) && x < mask->bytesPerRow * 8) on = MaskBit(mask, x, y);
            if (alpha && y < alpha->height && x < alpha->width)
                on = alpha->bytes[size_t(y) * size_t(alpha->bytesPerRow) + size_t(x)] != 0;
            row[x] = on ? 0xFFFFFFFF : 0;
        }
    }
    return s;
}

} // namespace

int EnsureVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        // Whoever reset the wait meanwhile (tests do) gets the one that also wakes for window events back.
        InstallHostWaitAndPump();
        return 0;
    }
    // The host's own CTRL-C handling stays in charge, and closing the last window is not a quit by itself:
    // the pump decides that from the window's close flag.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // Pictures are composed in memory and only copied to the window, which the software renderer does on the
    // window surface (shared memory under X11). That surface must not sit on a GL texture: the GL driver costs
    // about 90 MB and start-up time for nothing. The environment variable still overrides the hint.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    InstallX11ErrorHandlers();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        SetErrorArgString("video");
        return kErrCannotOpen;
    }
    InstallHostWake();
    InstallClipboardStream();
    WatchForeignDestroys();
    return 0;
}

namespace {

// SDL takes a driver's name in any case.
bool WindowlessDriver(std::string_view name) {
    const auto is = [name](std::string_view driver) {
        return name.size() == driver.size() && SDL_strncasecmp(name.data(), driver.data(), name.size()) == 0;
    };
    return is("offscreen") || is("dummy");
}

// libwayland finds a compositor through these alone; without them it only says so on standard error.
bool WaylandFindable() {
    for (const char *variable : {"WAYLAND_SOCKET", "XDG_RUNTIME_DIR"})
        if (const char *value = SDL_getenv(variable); value && *value) return true;
    const char *name = SDL_getenv("WAYLAND_DISPLAY");
    return name && name[0] == '/';
}

} // namespace

bool DisplayReachable(std::string *message) {
    const char *wanted = SDL_getenv("SDL_VIDEODRIVER");
    const std::string asked = wanted ? wanted : "";
    for (size_t at = 0; at <= asked.size();) {
        const size_t comma = std::min(asked.find(',', at), asked.size());
        if (WindowlessDriver(std::string_view(asked).substr(at, comma - at))) return true;
        at = comma + 1;
    }
    if (asked.empty() && !SDL_WasInit(SDL_INIT_VIDEO)) {
        // SDL's own order less the drivers that show nothing, which it would fall back to, and less Wayland where
        // no compositor can be found.
        std::string drivers;
        for (int i = 0; i < SDL_GetNumVideoDrivers(); i++) {
            const char *name = SDL_GetVideoDriver(i);
            if (WindowlessDriver(name) || (SDL_strcmp(name, "wayland") == 0 && !WaylandFindable())) continue;
            drivers += std::string(drivers.empty() ? "" : ",") + name;
        }
        // Over the environment's empty SDL_VIDEODRIVER too, which SDL reads as unset.
        if (!drivers.empty()) SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, drivers.c_str(), SDL_HINT_OVERRIDE);
    }
    if (EnsureVideo() == 0 && !HeadlessDriver()) return true;
    if (SDL_WasInit(SDL_INIT_VIDEO)) ShutdownVideo();
    // The displays SDL looked for: those its environment names, for the driver asked for or for any.
    std::string tried;
    for (const auto &[variable, forDriver] : {std::pair{"DISPLAY", "x11"}, std::pair{"WAYLAND_DISPLAY", "wayland"}}) {
        const char *value = SDL_getenv(variable);
        if (!value || !*value || (!asked.empty() && asked.find(forDriver) == std::string::npos)) continue;
        tried += std::string(tried.empty() ? "" : " or ") + variable + "=" + value;
    }
    if (!tried.empty()) *message = "cannot open a window on display " + tried;
    else if (!asked.empty()) *message = "cannot open a window through SDL_VIDEODRIVER=" + asked;
    else *message = "no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not set)";
    *message += "; to play without one, set SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy";
    return false;
}

void ReportWindowGeometry(HostWindow *window, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (x != window->reportedX || y != window->reportedY) {
        window->reportedX = window->x = x;
        window->reportedY = window->y = y;
        QueueEvent(window->display, kEventWindowMoved, 0, 0, 0);
    }
    if (width != window->reportedWidth || height != window->reportedHeight) {
        window->reportedWidth = window->width = width;
        window->reportedHeight = window->height = height;
        ResizeWindowTexture(window);
        QueueEvent(window->display, kEventWindowResized, 0, 0, 0);
    }
}

void ReportWindowShown(HostWindow *window, bool shown) {
    if (shown == window->reportedShown) return;
    window->reportedShown = shown;
    QueueEvent(window->display, shown ? kEventWindowShown : kEventWindowHidden, 0, 0, 0);
}

void ReportWindowActive(HostWindow *window, bool active) {
    if (active)
        for (HostWindow *other : openWindows)
            if (other != window) ReportWindowActive(other, false);
    if (active == window->active) return;
    window->active = active;
    QueueEvent(window->display, active ? kEventWindowActive : kEventWindowInactive, 0, 0, 0);
}

namespace {

// The window's geometry as SDL holds it now, reported when it changed.
void ReportCurrentGeometry(HostWindow *window) {
    if (window->os->onScreen) {
        // The screen does not move or size: the window is where and how large the program made it.
        ReportWindowGeometry(window, window->x, window->y, window->width, window->height);
        ComposeScreen();
        return;
    }
    int x, y, w, h;
    SDL_GetWindowPosition(window->os->sdl, &x, &y);
    SDL_GetWindowSize(window->os->sdl, &w, &h);
    ReportWindowGeometry(window, x, y, w, h);
}

} // namespace

void ResizeWindowTexture(HostWindow *window) {
    if (window->open && (window->width != window->os->textureWidth || window->height != window->os->textureHeight))
        MakeTexture(window);
}

void RepaintWindow(HostWindow *window) {
    if (window && window->open && window->os) SDL_UpdateWindowSurface(window->os->sdl);
}

void ShutdownVideo() {
    CloseJoysticks();
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    while (!openWindows.empty()) {
        HostWindow *w = openWindows.back();
        w->minimised = false;
        CloseDisplayWindow(w);
    }
    ownScreenOpen = false;
    headlessWidth = headlessHeight = 0;
    ForgetHostWake();
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

HostWindow *FindHostWindow(uint32_t id) {
    if (screen.sdl && SDL_GetWindowID(screen.sdl) == id) {
        const std::vector<HostWindow *> windows = ScreenWindows();
        for (HostWindow *w : windows)
            if (w->active) return w;
        return windows.empty() ? nullptr : windows.back();
    }
    for (HostWindow *w : openWindows)
        if (w->os && SDL_GetWindowID(w->os->sdl) == id) return w;
    return nullptr;
}

HostWindow *ScreenWindowAt(int32_t *x, int32_t *y) {
    const std::vector<HostWindow *> windows = ScreenWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        HostWindow *w = *it;
        if (*x >= w->x && *y >= w->y && *x < w->x + w->width && *y < w->y + w->height) {
            *x -= w->x, *y -= w->y;
            return w;
        }
    }
    return nullptr;
}

const std::vector<HostWindow *> &OpenHostWindows() { return openWindows; }

uint32_t HostWindowId(const HostWindow *window) {
    return window && window->os ? SDL_GetWindowID(window->os->sdl) : 0;
}

int AllocHostWindow(DisplayRecord *display, HostWindow **out) {
    *out = new (std::nothrow) HostWindow;
    if (!*out) return kErrOutOfMemory;
    (*out)->display = display;
    return 0;
}

void FreeHostWindow(HostWindow *window) {
    if (!window) return;
    window->minimised = false;
    CloseDisplayWindow(window);
    delete window;
}

namespace {

// Opens the window as a part of the own screen: its texture in the screen's renderer.
int OpenScreenWindow(HostWindow *window, WindowOs *os) {
    if (!AcquireScreen(window)) return kErrCannotOpen;
    os->onScreen = true;
    os->sdl = screen.sdl;
    os->renderer = screen.renderer;
    // The screen's window is named after the display shown on it, not after the backfill behind.
    if (!(window->flags & kWindowBackdrop)) SDL_SetWindowTitle(screen.sdl, window->title.c_str());
    window->width = std::max(1, window->width), window->height = std::max(1, window->height);
    return MakeTexture(window) ? 0 : kErrCannotOpen;
}

// Opens a window of its own on the desktop.
int OpenDesktopWindow(HostWindow *window, WindowOs *os, const MaskPlane *mask, const AlphaPlane *alpha) {
    Uint32 flags = SDL_WINDOW_HIDDEN;
    int x = window->x, y = window->y, w = std::max(1, window->width), h = std::max(1, window->height);
    if (window->flags & kWindowBorderless) flags |= SDL_WINDOW_BORDERLESS;
    if (window->flags & kWindowSizeable) flags |= SDL_WINDOW_RESIZABLE;
    if (window->flags & kWindowFakeFullScreen) {
        SDL_DisplayMode desktop;
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(0, &bounds) == 0 && DesktopMode(&desktop))
            x = bounds.x, y = bounds.y, w = desktop.w, h = desktop.h;
        flags |= SDL_WINDOW_BORDERLESS;
    }
    // Shaped windows exist on X11 only; elsewhere the window stays rectangular.
    bool shaped = mask || alpha;
    if (shaped) os->sdl = SDL_CreateShapedWindow(window->title.c_str(), unsigned(x), unsigned(y), unsigned(w),
                                                 unsigned(h), flags | SDL_WINDOW_BORDERLESS);
    if (!os->sdl) os->sdl = SDL_CreateWindow(window->title.c_str(), x, y, w, h, flags);
    // The software renderer on the window surface (see EnsureVideo), without vsync: every present of a changed
    // rectangle would wait for the next frame; frames are paced by the frame clock of the drawing code instead.
    if (os->sdl) os->renderer = SDL_CreateRenderer(os->sdl, -1, SDL_RENDERER_SOFTWARE);
    window->width = w, window->height = h;
    if (!os->sdl || !os->renderer || !MakeTexture(window)) return kErrCannotOpen;
    if (shaped && SDL_IsShapedWindow(os->sdl)) {
        if (SDL_Surface *shape = ShapeSurface(window, mask, alpha)) {
            SDL_WindowShapeMode mode;
            mode.mode = ShapeModeBinarizeAlpha;
            mode.parameters.binarizationCutoff = 1;
            SDL_SetWindowShape(os->sdl, shape, &mode);
            SDL_FreeSurface(shape);
        }
    }
    SDL_SetWindowHitTest(os->sdl, HitTest, window);
    SDL_SetRenderDrawColor(os->renderer, 0, 0, 0, 255);
    SDL_RenderClear(os->renderer);
    SDL_RenderPresent(os->renderer);
    // The surface shows the whole (black) picture, as a blank texture would.
    os->surface.current = true;
    return 0;
}

} // namespace

int OpenDisplayWindow(HostWindow *window, int activate, const MaskPlane *mask, const AlphaPlane *alpha) {
    if (window->open) return 0;
    if (int r = EnsureVideo()) return r;
    auto *os = new (std::nothrow) WindowOs;
    if (!os) return kErrOutOfMemory;
    window->os = os;
    const bool onScreen = ownScreenOpen || (window->flags & kWindowFullScreen);
    if (int error = onScreen ? OpenScreenWindow(window, os) : OpenDesktopWindow(window, os, mask, alpha)) {
        DestroyOs(os);
        window->os = nullptr;
        SetErrorArgString("window");
        return error;
    }
    if (ShowSdlWindow(window, SDL_ShowWindow) && activate) SDL_RaiseWindow(os->sdl);
    window->open = true;
    window->minimised = false;
    window->active = false;
    window->reportedShown = false;
    if (onScreen) window->reportedX = window->x, window->reportedY = window->y;
    else SDL_GetWindowPosition(os->sdl, &window->reportedX, &window->reportedY);
    window->reportedWidth = window->width, window->reportedHeight = window->height;
    openWindows.push_back(window);
    if (onScreen) ComposeScreen();
    // Queued here in this order on every driver; the window system's own reports of the same are dropped.
    ReportWindowShown(window, true);
    if (activate) ReportWindowActive(window, true);
    ComputeWindowBorders(window);
    return 0;
}

void CloseDisplayWindow(HostWindow *window) {
    if (!window || !window->open || window->minimised) return;
    openWindows.erase(std::remove(openWindows.begin(), openWindows.end(), window), openWindows.end());
    if (PointerWindow == window) PointerWindow = nullptr;
    const bool onScreen = window->os->onScreen;
    DestroyOs(window->os);
    window->os = nullptr;
    if (onScreen) ComposeScreen();
    window->open = false;
    window->active = false;
    window->acceptsDrops = false;
    window->clipboardHook = false;
    window->pendingDrops.clear();
    ClearWindowInputState(window);
}

void ClearWindowInputState(HostWindow *window) {
    if (!window) return;
    std::fill(std::begin(window->keyState), std::end(window->keyState), 0);
    window->mouseLeft = window->mouseRight = window->mouseMiddle = false;
}

void ActivateDisplayWindow(HostWindow *window) {
    if (!window || !window->open) return;
    if (ShowSdlWindow(window, SDL_ShowWindow)) SDL_RaiseWindow(window->os->sdl);
    ReportWindowActive(window, true);
}

void MoveDisplayWindow(HostWindow *window) {
    if (!window || !window->open) return;
    if (!window->os->onScreen) SDL_SetWindowPosition(window->os->sdl, window->x, window->y);
    ReportCurrentGeometry(window);
}

void ChangeDisplayWindowBox(HostWindow *window) {
    if (!window || !window->open) return;
    if (window->os->onScreen) {
        window->width = std::max(1, window->width), window->height = std::max(1, window->height);
        ReportCurrentGeometry(window);
        return;
    }
    SDL_SetWindowPosition(window->os->sdl, window->x, window->y);
    SDL_SetWindowSize(window->os->sdl, std::max(1, window->width), std::max(1, window->height));
    ReportCurrentGeometry(window);
}

void ComputeWindowBorders(HostWindow *window) {
    window->borderLeft = window->borderTop = window->borderHorizontal = window->borderVertical = 0;
    if (!window->open || (window->flags & kWindowBorderless) || window->os->onScreen) return;
    int top = 0, left = 0, bottom = 0, right = 0;
    // Drivers without a window manager (offscreen, dummy) report no frame.
    if (SDL_GetWindowBordersSize(window->os->sdl, &top, &left, &bottom, &right) != 0) return;
    window->borderLeft = left;
    window->borderTop = top;
    window->borderHorizontal = left + right;
    window->borderVertical = top + bottom;
}

void UpdateWindowTitle(HostWindow *window) {
    if (window && window->open && !(window->os->onScreen && (window->flags & kWindowBackdrop)))
        SDL_SetWindowTitle(window->os->sdl, window->title.c_str());
}

void ResetRegionGadgets(HostWindow *window) {
    if (window && window->open && !window->os->onScreen) SDL_SetWindowHitTest(window->os->sdl, HitTest, window);
}

int HideShowDisplayWindow(HostWindow *window, int hide) {
    if (!window) return 0;
    if (hide) {
        if (!window->open || window->minimised) return 0;
        if (AppIconLabel[0]) SDL_SetWindowTitle(window->os->sdl, AppIconLabel);
        SDL_MinimizeWindow(window->os->sdl);
        window->minimised = true;
        ReportWindowShown(window, false);
        return 0;
    }
    if (window->open && window->minimised) {
        SDL_SetWindowTitle(window->os->sdl, window->title.c_str());
        if (ShowSdlWindow(window, SDL_RestoreWindow)) SDL_RaiseWindow(window->os->sdl);
        window->minimised = false;
        ReportWindowShown(window, true);
        return 0;
    }
    return window->open ? 0 : OpenDisplayWindow(window, 1, nullptr, nullptr);
}

int EndIconify() {
    for (HostWindow *w : openWindows)
        if (w->minimised) HideShowDisplayWindow(w, 0);
    return 0;
}

namespace {

// The window surface a change of the window can be written into as it stands, with the window's place in it;
// null unless the surface is current and the window shows there unscaled with nothing over it.
SDL_Surface *DirectSurface(HostWindow *window, int *ox, int *oy) {
    WindowOs *os = window->os;
    if (!SurfaceState(os).current || os->showScaled) return nullptr;
    SDL_Surface *s = SDL_GetWindowSurface(os->sdl);
    if (!s || !s->pixels || SDL_MUSTLOCK(s)) return nullptr;
    if (os->onScreen) {
        int32_t width, height;
        ScreenSize(&width, &height);
        const std::vector<HostWindow *> windows = ScreenWindows();
        if (s->w != width || s->h != height || windows.empty() || windows.back() != window) return nullptr;
        *ox = window->x, *oy = window->y;
    } else {
        if (s->w != os->textureWidth || s->h != os->textureHeight) return nullptr;
        *ox = *oy = 0;
    }
    return s;
}

// Writes the rectangle into the window surface and notes it for the next present; false where that cannot be.
bool WriteSurfaceRect(HostWindow *window, const HostBitmap *bitmap, int32_t sx, int32_t sy, SDL_Rect r) {
    int ox = 0, oy = 0;
    SDL_Surface *s = DirectSurface(window, &ox, &oy);
    if (!s) return false;
    SDL_Rect target{r.x + ox, r.y + oy, r.w, r.h};
    const SDL_Rect all{0, 0, s->w, s->h};
    SDL_Rect clipped;
    if (!SDL_IntersectRect(&target, &all, &clipped)) return true;
    sx += clipped.x - target.x, sy += clipped.y - target.y;
    const auto *from = reinterpret_cast<const Uint8 *>(HostBitmapRow32(bitmap, sy) + sx);
    const size_t stride = HostBitmapStride(bitmap);
    auto *to = static_cast<Uint8 *>(s->pixels) + size_t(clipped.y) * size_t(s->pitch) +
               size_t(clipped.x) * s->format->BytesPerPixel;
    const SDL_PixelFormat *f = s->format;
    if (f->BytesPerPixel == 4 && f->Rmask == 0xFF0000 && f->Gmask == 0xFF00 && f->Bmask == 0xFF) {
        for (int row = 0; row < clipped.h; row++)
            SDL_memcpy(to + size_t(row) * size_t(s->pitch), from + size_t(row) * stride, size_t(clipped.w) * 4);
    } else if (SDL_ConvertPixels(clipped.w, clipped.h, SDL_PIXELFORMAT_ARGB8888, from, int(stride), f->format, to,
                                 s->pitch) != 0) {
        return false;
    }
    // Past a few hundred rectangles one box around them presents faster, and uploads without presents stay bounded.
    std::vector<SDL_Rect> &pending = SurfaceState(window->os).pending;
    pending.push_back(clipped);
    if (pending.size() > 256) {
        SDL_Rect box = pending[0];
        for (const SDL_Rect &p : pending) SDL_UnionRect(&box, &p, &box);
        pending.assign(1, box);
    }
    return true;
}

} // namespace

void UpdateWindowPixels(HostWindow *window, const HostBitmap *bitmap, int32_t sx, int32_t sy, int32_t x, int32_t y,
                        int32_t width, int32_t height) {
    if (!window || !window->open || !bitmap || bitmap->bytesPerPixel != 4) return;
    WindowOs *os = window->os;
    // Clip to the bitmap and to the texture.
    if (sx < 0) x -= sx, width += sx, sx = 0;
    if (sy < 0) y -= sy, height += sy, sy = 0;
    if (x < 0) sx -= x, width += x, x = 0;
    if (y < 0) sy -= y, height += y, y = 0;
    width = std::min({width, bitmap->width - sx, os->textureWidth - x});
    height = std::min({height, bitmap->height - sy, os->textureHeight - y});
    if (width <= 0 || height <= 0) return;
    SDL_Rect r{x, y, width, height};
    const void *from = HostBitmapRow32(bitmap, sy) + sx;
    // The texture, where there is one, keeps the whole picture for full presents; the surface, where it can, gets
    // the change at once.
    const int stride = int(HostBitmapStride(bitmap));
    if (os->texture) SDL_UpdateTexture(os->texture, &r, from, stride);
    if (!WriteSurfaceRect(window, bitmap, sx, sy, r)) {
        if (!os->texture && EnsureTexture(os)) SDL_UpdateTexture(os->texture, &r, from, stride);
        SurfaceState(os).current = false;
    }
    os->showScaled = false;
}

void PresentWindow(HostWindow *window) {
    if (!window || !window->open) return;
    WindowOs *os = window->os;
    WindowSurfaceState &state = SurfaceState(os);
    if (state.current && !state.pending.empty()) {
        SDL_UpdateWindowSurfaceRects(os->sdl, state.pending.data(), int(state.pending.size()));
        state.pending.clear();
        return;
    }
    if (os->onScreen) {
        ComposeScreen();
        return;
    }
    if (!EnsureTexture(os)) return;
    SDL_RenderClear(os->renderer);
    SDL_RenderCopy(os->renderer, os->texture, nullptr, nullptr);
    SDL_RenderPresent(os->renderer);
    state.current = true;
    state.pending.clear();
}

void PresentWindowPixels(HostWindow *window, const HostBitmap *bitmap, int32_t sx, int32_t sy, int32_t x, int32_t y,
                         int32_t width, int32_t height) {
    UpdateWindowPixels(window, bitmap, sx, sy, x, y, width, height);
    PresentWindow(window);
}

void PresentWindowScaled(HostWindow *window, const HostBitmap *bitmap, int32_t x, int32_t y, int32_t width,
                         int32_t height) {
    if (!window || !window->open || !bitmap || bitmap->bytesPerPixel != 4 || width <= 0 || height <= 0) return;
    WindowOs *os = window->os;
    if (!os->scaled || os->scaledWidth != bitmap->width || os->scaledHeight != bitmap->height) {
        if (os->scaled) SDL_DestroyTexture(os->scaled);
        os->scaled = SDL_CreateTexture(os->renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                       bitmap->width, bitmap->height);
        if (!os->scaled) return;
        os->scaledWidth = bitmap->width, os->scaledHeight = bitmap->height;
    }
    SDL_UpdateTexture(os->scaled, nullptr, bitmap->pixels, int(HostBitmapStride(bitmap)));
    SDL_Rect target{x, y, width, height};
    // The unscaled picture is kept for the presents after this one.
    if (!EnsureTexture(os)) return;
    os->surface.current = false;
    if (os->onScreen) {
        os->showScaled = true;
        os->scaledRect = target;
        ComposeScreen();
        return;
    }
    SDL_RenderClear(os->renderer);
    SDL_RenderCopy(os->renderer, os->scaled, nullptr, &target);
    SDL_RenderPresent(os->renderer);
}

void FillDisplayRect(HostWindow *window, int32_t ox, int32_t oy, int32_t x, int32_t y, int32_t width, int32_t height,
                     uint32_t colour) {
    if (!window || !window->open || width <= 0 || height <= 0) return;
    WindowOs *os = window->os;
    SDL_Rect r{ox + x, oy + y, width, height};
    SDL_Rect all{0, 0, os->textureWidth, os->textureHeight};
    SDL_Rect clipped;
    if (!SDL_IntersectRect(&r, &all, &clipped)) return;
    // The texture keeps the picture, so the fill lands in it too and survives the next present.
    void *pixels;
    int pitch;
    if (EnsureTexture(os) && SDL_LockTexture(os->texture, &clipped, &pixels, &pitch) == 0) {
        for (int row = 0; row < clipped.h; row++) {
            auto *p = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(pixels) + size_t(row) * size_t(pitch));
            std::fill_n(p, clipped.w, colour & 0xFFFFFF);
        }
        SDL_UnlockTexture(os->texture);
    }
    SurfaceState(os).current = false;
    os->showScaled = false;
    PresentWindow(window);
}

int UpdateAppWindow(HostWindow *window, int enable) {
    if (!window || !window->open) return enable ? kErrAppWindow : 0;
    window->acceptsDrops = enable != 0;
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    return 0;
}

int UpdateClipboardHook(HostWindow *window, int enable) {
    if (window) window->clipboardHook = enable != 0;
    return 0;
}

// SDL has one cursor for the whole program: each window keeps its own pointer (hidden flag and cursor) and it is
// put in force when that window is set up or the mouse enters it.
const HostWindow *PointerWindow = nullptr;

void ApplyWindowPointer(HostWindow *window) {
    if (!window || !window->open || !window->os) return;
    PointerWindow = window;
    if (window->pointerHidden) {
        SDL_ShowCursor(SDL_DISABLE);
        return;
    }
    SDL_ShowCursor(SDL_ENABLE);
    SDL_SetCursor(window->os->cursor ? window->os->cursor : SDL_GetDefaultCursor());
}

void HideDisplayPointer(HostWindow *window) {
    if (!window) return;
    window->pointerHidden = true;
    ApplyWindowPointer(window);
}

// own: the script's pointer, even where the driver could not make the cursor (cursor is null then).
static void KeepCursor(HostWindow *window, SDL_Cursor *cursor, bool own, int32_t kind = kHostPointerImage) {
    WindowOs *os = window->os;
    SDL_Cursor *old = os->cursor;
    os->cursor = cursor;
    os->ownPointer = own;
    os->cursorKind = kind;
    ApplyWindowPointer(window);
    if (old) SDL_FreeCursor(old);
}

void SetDisplayPointer(HostWindow *window, const HostBitmap *image, const AlphaPlane *alpha, int32_t hotX,
                       int32_t hotY, int32_t kind) {
    if (!window || !window->open || !window->os) return;
    window->pointerHidden = false;
    if (kind == kHostPointerBusy) {
        KeepCursor(window, SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT), true, kHostPointerBusy);
        return;
    }
    if (!image) {
        KeepCursor(window, nullptr, false);
        return;
    }
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, image->width, image->height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!s) return;
    for (int y = 0; y < image->height; y++) {
        auto *row = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(s->pixels) + size_t(y) * size_t(s->pitch));
        for (int x = 0; x < image->width; x++) {
            uint32_t a = alpha && y < alpha->height && x < alpha->width
                             ? alpha->bytes[size_t(y) * size_t(alpha->bytesPerRow) + size_t(x)]
                             : 255;
            row[x] = (a << 24) | (HostBitmapRow32(image, y)[x] & 0xFFFFFF);
        }
    }
    SDL_Cursor *cursor = SDL_CreateColorCursor(s, hotX, hotY);
    SDL_FreeSurface(s);
    KeepCursor(window, cursor, true);
}

void RestoreDisplayPointer(HostWindow *window) {
    if (!window) return;
    window->pointerHidden = false;
    if (window->os && window->open) KeepCursor(window, nullptr, false);
}

int FitsScreen(HostWindow *, int32_t, int32_t, int32_t outerWidth, int32_t outerHeight) {
    int32_t w = int32_t(QueryBitMapAttr(nullptr, 14)), h = int32_t(QueryBitMapAttr(nullptr, 15));
    return outerWidth <= w && outerHeight <= h ? 1 : 0;
}

intptr_t QueryBitMapAttr(std::nullptr_t, int32_t attr, ScreenRect *rect) {
    if (EnsureVideo() != 0) return 0;
    SDL_DisplayMode mode{};
    if (ownScreenOpen) mode.w = ownScreenWidth, mode.h = ownScreenHeight, mode.format = SDL_PIXELFORMAT_ARGB8888;
    else if (!DesktopMode(&mode)) return 0;
    switch (attr) {
    case 5: {
        int bits = int(SDL_BITSPERPIXEL(mode.format));
        return bits ? bits : 24;
    }
    case 14: return mode.w;
    case 15: return mode.h;
    case 22: {
        SDL_Rect usable;
        if (ownScreenOpen || HeadlessDriver() || SDL_GetDisplayUsableBounds(0, &usable) != 0) return 1;
        return usable.y + 1;
    }
    case 23:
        if (rect) *rect = ScreenRect{0, 0, mode.w, mode.h};
        return 0;
    default: return 0;
    }
}

int OpenOwnScreen(int32_t width, int32_t height, int32_t, int32_t refresh) {
    if (int r = EnsureVideo()) return r;
    ownScreenOpen = true;
    ownScreenWidth = width;
    ownScreenHeight = height;
    ownScreenRefresh = refresh;
    return 0;
}

void CloseOwnScreen() {
    // Only our windows can be on it, so there is nobody to ask first.
    ownScreenOpen = false;
}

int OwnScreenOpen() { return ownScreenOpen ? 1 : 0; }

int SetHeadlessScreenSize(int32_t width, int32_t height) {
    if (EnsureVideo() != 0 || !HeadlessDriver()) return -1;
    bool restore = width <= 0 || height <= 0;
    headlessWidth = restore ? 0 : width;
    headlessHeight = restore ? 0 : height;
    return 0;
}

int ReadWindowPixels(const HostWindow *window, uint32_t *out) {
    if (!window || !window->open) return -1;
    WindowOs *os = window->os;
    if (!EnsureTexture(os)) return -1;
    SDL_RenderClear(os->renderer);
    SDL_Rect area{0, 0, os->textureWidth, os->textureHeight};
    SDL_RenderCopy(os->renderer, os->texture, nullptr, os->onScreen ? &area : nullptr);
    const int read = SDL_RenderReadPixels(os->renderer, &area, SDL_PIXELFORMAT_ARGB8888, out, os->textureWidth * 4);
    if (os->onScreen) ComposeScreen();
    if (read != 0) return -1;
    for (int i = 0; i < os->textureWidth * os->textureHeight; i++) out[i] &= 0xFFFFFF;
    return 0;
}

int ReadScreenPixels(uint32_t *out, int32_t *width, int32_t *height) {
    if (!screen.renderer) return -1;
    ScreenSize(width, height);
    if (!out) return 0;
    DrawScreen();
    const SDL_Rect area{0, 0, *width, *height};
    const int read = SDL_RenderReadPixels(screen.renderer, &area, SDL_PIXELFORMAT_ARGB8888, out, *width * 4);
    SDL_RenderPresent(screen.renderer);
    if (read != 0) return -1;
    for (int32_t i = 0; i < *width * *height; i++) out[i] &= 0xFFFFFF;
    return 0;
}
