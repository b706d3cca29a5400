// The SDL side of a HostWindow, shared by the window, pump and input code in host/os.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

struct HostWindow;

// The window surface as last presented in whole, plus the rectangles written into it since and not shown yet.
// While current, a change shown 1:1 goes straight into the surface and only its rectangles are presented.
struct WindowSurfaceState {
    bool current = false;
    std::vector<SDL_Rect> pending;
};

struct WindowOs {
    SDL_Window *sdl = nullptr;
    SDL_Renderer *renderer = nullptr;
    SDL_Texture *texture = nullptr; // a desktop window's is made when first needed (EnsureTexture)
    SDL_Cursor *cursor = nullptr; // the window's own pointer (null where the driver cannot make one)
    bool ownPointer = false;      // the script gave the window a pointer of its own
    int32_t cursorKind = 0;       // kHostPointerImage or kHostPointerBusy
    int32_t textureWidth = 0;
    int32_t textureHeight = 0;
    int32_t downCode[SDL_NUM_SCANCODES] = {}; // the key code each held key went down with (0: not held)
    SDL_Texture *scaled = nullptr; // the bitmap-sized texture of PresentWindowScaled
    int32_t scaledWidth = 0;
    int32_t scaledHeight = 0;
    // On the own screen the window shares the screen's SDL window and renderer, and is drawn at its position in
    // the composed screen; what it shows there is its texture, or the scaled texture at scaledRect.
    bool onScreen = false;
    bool showScaled = false;
    SDL_Rect scaledRect{};
    WindowSurfaceState surface; // a desktop window's; the own screen keeps one for all its windows
};

// The window whose pointer was last put in force (SDL shows one pointer for the whole program).
extern const HostWindow *PointerWindow;

// Queue entries for a changed position or size, or a change between shown and hidden, once per change.
void ReportWindowGeometry(HostWindow *window, int32_t x, int32_t y, int32_t width, int32_t height);
void ReportWindowShown(HostWindow *window, bool shown);
// Activation moves from the other windows to this one (kinds 6 and 8), once per change.
void ReportWindowActive(HostWindow *window, bool active);
// The texture at the window's size after the window manager resized it (blank; a desktop window's is made when
// first needed).
void ResizeWindowTexture(HostWindow *window);
// Shows the window surface again where the window system lost it (a present may change only rectangles).
void RepaintWindow(HostWindow *window);
// The open window with that SDL id, or null; for the own screen's window, the display that has the keyboard
// (the active one, else the front one).
HostWindow *FindHostWindow(uint32_t id);
// The own screen's window under a point of the screen (mouse events come in screen coordinates), with the point
// made relative to it; null when none is there.
HostWindow *ScreenWindowAt(int32_t *x, int32_t *y);
// Installs the pump and the wait that also wakes for window messages (host/input.h) once video is up.
void InstallHostWake();
// Gives the built-in wait and pump back (video is stopping).
void ForgetHostWake();

// The player's handlers for failed X requests and for a lost display (x11_errors.cpp), called before the video
// starts; nothing unless the x11 driver may be chosen.
void InstallX11ErrorHandlers();
// Ends the run as a lost display does, with one line naming the window another client destroyed.
[[noreturn]] void EndOnDestroyedWindow(const HostWindow *window);

// x11_window.cpp. Maps an X11 window and waits a few seconds at most for the window manager to show it; false
// when it did not (the window may still show later) or the program was told to end meanwhile (EndRequested).
// True at once elsewhere, and for a window already mapped.
bool MapWindowWithin(SDL_Window *window);
// Shows the window through show (SDL_ShowWindow, SDL_RestoreWindow) once it is mapped; when the window manager
// does not show it in time, says so on standard error and returns false without calling show, which would wait
// for the map without end.
bool ShowSdlWindow(HostWindow *window, void (*show)(SDL_Window *));
// The descriptor of the X server connection the window is on, or -1 when it is on none.
int X11Connection(SDL_Window *window);
// Under the x11 driver, keeps the notices of destroyed windows as SDL_SYSWMEVENT (and no other window-system
// event); called once the video is up.
void WatchForeignDestroys();
// The open window another client destroyed, which the event's notice is about; null for any other event.
HostWindow *DestroyedWindow(const SDL_SysWMmsg *message);
