#include "host/charset.h"
#include "host/clock.h"
#include "host/input.h"
#include "host/keys.h"
#include "host/os/input_inject.h"
#include "host/os/sdl_window_os.h"
#include "host/screen.h"
#include "host/tasks.h"
#include "host/window.h"

#include "host/event_queue.h"
#include "runtime/app/runtime_globals.h"

#include <algorithm>
#include <cstring>
#include <string>

int (*DisplayModeSwitchHook)(DisplayRecord *display) = nullptr;
int (*UserResizedDisplayHook)(DisplayRecord *display, int32_t width, int32_t height) = nullptr;

namespace {

PumpClock pumpClock = nullptr;
bool hostWaitInstalled = false;
// What the driver's messages come through: the X connection, nothing but the program's own pushed events
// (offscreen, dummy), or a connection not known here.
enum class Messages { kX11, kPushedOnly, kUnknown };
Messages driverMessages = Messages::kUnknown;

bool QuitSwitch(int id) { return GetSystemOption(id) != 0; }

uint32_t QualifiersOf(uint16_t mod) {
    uint32_t q = kQualifierAlways;
    if (mod & KMOD_LSHIFT) q |= kQualifierLeftShift;
    if (mod & KMOD_RSHIFT) q |= kQualifierRightShift;
    if (mod & KMOD_LALT) q |= kQualifierLeftAlt;
    if (mod & KMOD_RALT) q |= kQualifierRightAlt;
    if (mod & KMOD_LGUI) q |= kQualifierLeftCommand;
    if (mod & KMOD_RGUI) q |= kQualifierRightCommand;
    if (mod & KMOD_LCTRL) q |= kQualifierControl;
    if (mod & KMOD_RCTRL) q |= kQualifierRightControl;
    return q;
}

uint16_t ModOf(uint32_t q) {
    uint16_t mod = 0;
    if (q & kQualifierLeftShift) mod |= KMOD_LSHIFT;
    if (q & kQualifierRightShift) mod |= KMOD_RSHIFT;
    if (q & kQualifierLeftAlt) mod |= KMOD_LALT;
    if (q & kQualifierRightAlt) mod |= KMOD_RALT;
    if (q & kQualifierLeftCommand) mod |= KMOD_LGUI;
    if (q & kQualifierRightCommand) mod |= KMOD_RGUI;
    if (q & kQualifierControl) mod |= KMOD_LCTRL;
    if (q & kQualifierRightControl) mod |= KMOD_RCTRL;
    return mod;
}

// Key events without a window id (some drivers) go to the window with the keyboard focus.
HostWindow *WindowOf(uint32_t id) {
    if (HostWindow *w = FindHostWindow(id)) return w;
    for (HostWindow *w : OpenHostWindows())
        if (w->active) return w;
    return OpenHostWindows().empty() ? nullptr : OpenHostWindows().front();
}

// The window a mouse event is for, and the position inside it: on the own screen the window under the pointer,
// whose pointer then shows.
HostWindow *MouseWindow(uint32_t id, int32_t *x, int32_t *y) {
    HostWindow *w = WindowOf(id);
    if (!w || !w->os || !w->os->onScreen) return w;
    w = ScreenWindowAt(x, y);
    if (w && w != PointerWindow) ApplyWindowPointer(w);
    return w;
}

void Queue(HostWindow *w, int kind, int32_t a = 0, int32_t b = 0, int32_t c = 0, std::vector<char> extra = {}) {
    QueueEvent(w->display, kind, a, b, c, std::move(extra));
}

void FlushDrops(HostWindow *w) {
    if (w->pendingDrops.empty()) return;
    std::vector<char> extra;
    for (const std::string &name : w->pendingDrops) {
        extra.insert(extra.end(), name.begin(), name.end());
        extra.push_back('\0');
    }
    extra.push_back('\0');
    w->pendingDrops.clear();
    // SDL gives no drop position; the pointer's last position inside the window stands in.
    Queue(w, kEventFilesDropped, w->mouseX, w->mouseY, 0, std::move(extra));
}

void HandleWindowEvent(const SDL_WindowEvent &e) {
    HostWindow *w = FindHostWindow(e.windowID);
    if (!w) return;
    // The own screen's window keeps the screen's size; its displays are where the program put them.
    if (w->os && w->os->onScreen && (e.event == SDL_WINDOWEVENT_MOVED || e.event == SDL_WINDOWEVENT_RESIZED)) return;
    switch (e.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED: ReportWindowShown(w, true); break;
    case SDL_WINDOWEVENT_HIDDEN:
    case SDL_WINDOWEVENT_MINIMIZED: ReportWindowShown(w, false); break;
    case SDL_WINDOWEVENT_MOVED: ReportWindowGeometry(w, e.data1, e.data2, w->reportedWidth, w->reportedHeight); break;
    case SDL_WINDOWEVENT_RESIZED:
        ReportWindowGeometry(w, w->reportedX, w->reportedY, e.data1, e.data2);
        // SDL sends RESIZED for the window manager's changes only; echoes of the program's own arrive at the size
        // the display already has, and the display code ignores those. A full-screen window is not the user's to
        // size: its RESIZED is the mode it got, which may differ from the display's size.
        if (UserResizedDisplayHook && w->display && !(SDL_GetWindowFlags(w->os->sdl) & SDL_WINDOW_FULLSCREEN))
            UserResizedDisplayHook(w->display, e.data1, e.data2);
        break;
    case SDL_WINDOWEVENT_ENTER: ApplyWindowPointer(w); break;
    case SDL_WINDOWEVENT_EXPOSED: RepaintWindow(w); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        ApplyWindowPointer(w);
        ReportWindowActive(w, true);
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST: ReportWindowActive(w, false); break;
    case SDL_WINDOWEVENT_CLOSE:
        Queue(w, kEventCloseWindow);
        if (w->closeWindowFlag == 0) QuitRequested = 1;
        break;
    default: break;
    }
}

// A key that types a character waits for the text the keyboard layout makes of it, which SDL sends right after
// the key; so the key events and InKeyStr get what the keycaps show (AltGr, dead keys, compose). A key whose text
// never comes types nothing (a dead key), unless a shortcut modifier is held: control, left Alt or the command
// keys type no text, and such a key keeps its own character.
struct PendingKey {
    HostWindow *window = nullptr;
    int scancode = 0;
    uint32_t qualifiers = 0;
    int32_t ownCode = 0;
};
PendingKey pendingKey;
// The key that last switched between window and full screen, while it is held. Its repeats switch nothing, and
// SDL's repeat flag cannot tell them: each switch makes a new window, and SDL releases the keys held in the window
// it destroys, so the held key's next repeat comes as a new press. Those releases, queued during the switch, are
// counted out; the next release ends the hold.
int modeSwitchScancode = 0;
int switchReleases = 0;

int QueuedReleases(int scancode) {
    SDL_Event queued[128];
    const int count = SDL_PeepEvents(queued, 128, SDL_PEEKEVENT, SDL_KEYUP, SDL_KEYUP);
    int releases = 0;
    for (int i = 0; i < count; i++) releases += queued[i].key.keysym.scancode == scancode;
    return releases;
}
// A named key that also types text (space, the keypad) went out by its name: its text is not a second key.
bool swallowText = false;

constexpr uint32_t kShortcutQualifiers = kQualifierControl | kQualifierRightControl | kQualifierLeftAlt |
                                         kQualifierLeftCommand | kQualifierRightCommand;

void PressKey(HostWindow *w, int scancode, int32_t code, uint32_t q) {
    // A key goes up with the code it went down with, whatever the modifiers did meanwhile ('a' pressed with shift
    // and released without it is 'A' both times), so no key state stays set.
    if (w->os && scancode > 0 && scancode < SDL_NUM_SCANCODES) w->os->downCode[scancode] = code;
    if (code < kKeyStateSize) w->keyState[code] = 1;
    Queue(w, kEventKey, 1, int32_t(q), code);
}

void ReleaseKey(HostWindow *w, int32_t code, uint32_t q) {
    if (code < kKeyStateSize) w->keyState[code] = 0;
    Queue(w, kEventKey, 0, int32_t(q), code);
}

void FlushPendingKey() {
    PendingKey key = pendingKey;
    pendingKey = PendingKey{};
    if (!key.window || !(key.qualifiers & kShortcutQualifiers)) return;
    // The window may have closed meanwhile.
    for (HostWindow *w : OpenHostWindows())
        if (w == key.window) PressKey(w, key.scancode, key.ownCode, key.qualifiers);
}

bool IsKeypadSymbol(SDL_Keycode symbol) {
    return symbol == SDLK_KP_DIVIDE || symbol == SDLK_KP_MULTIPLY || symbol == SDLK_KP_MINUS ||
           symbol == SDLK_KP_PLUS || symbol == SDLK_KP_PERIOD || (symbol >= SDLK_KP_1 && symbol <= SDLK_KP_0);
}

void HandleKey(const SDL_KeyboardEvent &e) {
    HostWindow *w = WindowOf(e.windowID);
    if (!w) return;
    bool down = e.type == SDL_KEYDOWN;
    uint32_t q = QualifiersOf(e.keysym.mod);
    int32_t code = MapKeySymbol(e.keysym.sym, q);
    const bool named = code >= 256 || IsKeypadSymbol(e.keysym.sym);
    int scancode = e.keysym.scancode;
    const bool tracked = w->os && scancode > 0 && scancode < SDL_NUM_SCANCODES;
    if (!down) {
        if (scancode == modeSwitchScancode) {
            if (switchReleases > 0) switchReleases--; // one of those the switch made
            else modeSwitchScancode = 0;
        }
        int32_t held = tracked ? w->os->downCode[scancode] : 0;
        if (tracked) w->os->downCode[scancode] = 0;
        if (held) code = held;
        else if (!named) return; // it typed nothing going down
        if (code > 0) ReleaseKey(w, code, q);
        return;
    }
    if (code <= 0) return;
    if (!named) {
        pendingKey = PendingKey{w, scancode, q, code};
        return;
    }
    swallowText = true;
    if (code == KeyEscape && QuitSwitch(10)) QuitRequested = 1;
    if (code == KeyReturn && (q & (kQualifierLeftAlt | kQualifierRightAlt)) && DisplayModeSwitchHook) {
        if (tracked) w->os->downCode[scancode] = 0;
        if (e.repeat || (scancode > 0 && scancode == modeSwitchScancode)) return;
        const int before = QueuedReleases(scancode);
        modeSwitchScancode = scancode;
        if (DisplayModeSwitchHook(w->display)) Queue(w, kEventModeSwitched);
        switchReleases = QueuedReleases(scancode) - before;
        return;
    }
    PressKey(w, scancode, code, q);
}

// The characters of a text event, as ISO-8859-1 codes; characters beyond it are dropped, unless scripts take UTF-8.
void HandleText(const SDL_TextInputEvent &e) {
    if (swallowText) {
        swallowText = false;
        return;
    }
    HostWindow *w = WindowOf(e.windowID);
    if (!w) return;
    uint32_t buffer[SDL_TEXTINPUTEVENT_TEXT_SIZE];
    uint32_t *characters = nullptr;
    size_t count = 0;
    int allocated = 0;
    const size_t length = SDL_strlen(e.text);
    if (ConvertUtf8ToUtf32(e.text, length, 1, buffer, sizeof buffer, &characters, &count, &allocated) != 0) return;
    for (size_t i = 0; i < count; i++) {
        const uint32_t c = characters[i];
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || (c > 0xFF && DefaultEncoding != kEncodingUtf8))
            continue;
        const int32_t code = c > 0xFF ? kKeyWideCharacter | int32_t(c) : int32_t(c);
        if (pendingKey.window == w) {
            PressKey(w, pendingKey.scancode, code, pendingKey.qualifiers);
            pendingKey = PendingKey{};
            continue;
        }
        // Text without a key of its own (an input method, several characters at once): typed and let go.
        const uint32_t q = QualifiersOf(uint16_t(SDL_GetModState()));
        PressKey(w, 0, code, q);
        ReleaseKey(w, code, q);
    }
    if (allocated) FreeUtf32Text(characters);
}

void HandleButton(const SDL_MouseButtonEvent &e) {
    int32_t x = e.x, y = e.y;
    HostWindow *w = MouseWindow(e.windowID, &x, &y);
    if (!w) return;
    bool down = e.type == SDL_MOUSEBUTTONDOWN;
    w->mouseX = x, w->mouseY = y;
    int kind;
    switch (e.button) {
    case SDL_BUTTON_LEFT:
        kind = kEventLeftMouse, w->mouseLeft = down;
        if (down && QuitSwitch(9)) QuitRequested = 1;
        break;
    case SDL_BUTTON_RIGHT: kind = kEventRightMouse, w->mouseRight = down; break;
    case SDL_BUTTON_MIDDLE: kind = kEventMiddleMouse, w->mouseMiddle = down; break;
    default: return;
    }
    if (down) w->mousePresses[kind == kEventLeftMouse ? 0 : kind == kEventRightMouse ? 1 : 2]++;
    Queue(w, kind, x, y, down ? 1 : 0);
}

void HandleEvent(const SDL_Event &e) {
    if (e.type == SDL_TEXTINPUT) {
        HandleText(e.text);
        return;
    }
    // Events other threads push (the wake, sounds ending) can fall between a key and its text; only input and
    // window events end the wait for the text.
    if (e.type < SDL_USEREVENT && e.type != SDL_TEXTEDITING) {
        FlushPendingKey();
        swallowText = false;
    }
    switch (e.type) {
    case SDL_QUIT:
        if (QuitSwitch(8)) QuitRequested = 1;
        break;
    case SDL_WINDOWEVENT: HandleWindowEvent(e.window); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: HandleKey(e.key); break;
    case SDL_MOUSEMOTION: {
        int32_t x = e.motion.x, y = e.motion.y;
        if (HostWindow *w = MouseWindow(e.motion.windowID, &x, &y)) {
            w->mouseX = x, w->mouseY = y;
            w->mouseMoved = true;
            w->lastMouseMoveMicros = PumpClockNow();
        }
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: HandleButton(e.button); break;
    case SDL_MOUSEWHEEL:
        if (HostWindow *w = WindowOf(e.wheel.windowID)) {
            int32_t dy = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
            if (dy > 0) Queue(w, kEventWheelUp);
            if (dy < 0) Queue(w, kEventWheelDown);
        }
        break;
    case SDL_DROPFILE:
        if (HostWindow *w = WindowOf(e.drop.windowID); w && w->acceptsDrops && e.drop.file)
            w->pendingDrops.emplace_back(e.drop.file);
        SDL_free(e.drop.file);
        break;
    case SDL_DROPTEXT: SDL_free(e.drop.file); break; // dragged text is not a file
    case SDL_DROPCOMPLETE:
        if (HostWindow *w = WindowOf(e.drop.windowID)) FlushDrops(w);
        break;
    case SDL_SYSWMEVENT:
        if (HostWindow *w = DestroyedWindow(e.syswm.msg)) EndOnDestroyedWindow(w);
        break;
    case SDL_CLIPBOARDUPDATE:
        for (HostWindow *w : OpenHostWindows())
            if (w->clipboardHook) Queue(w, kEventClipboardChanged);
        break;
    default: break;
    }
}

} // namespace

void InstallHostWake() {
    if (hostWaitInstalled) return;
    hostWaitInstalled = true;
    const char *driver = SDL_GetCurrentVideoDriver();
    const std::string name = driver ? driver : "";
    driverMessages = name == "x11"                              ? Messages::kX11
                     : name == "offscreen" || name == "dummy" ? Messages::kPushedOnly
                                                              : Messages::kUnknown;
    InstallHostWaitAndPump();
}

void ForgetHostWake() {
    if (!hostWaitInstalled) return;
    SetPumpEventsFunction(nullptr);
    SetSystemWaitFunctions(nullptr, nullptr);
    hostWaitInstalled = false;
}

void InstallHostWaitAndPump() {
    if (!hostWaitInstalled) return;
    SetPumpEventsFunction(PumpHostEvents);
    SetSystemWaitFunctions(WaitHostEvents, nullptr);
}

void WaitHostEvents(int64_t timeoutMicros) {
    if (driverMessages == Messages::kPushedOnly) {
        // Nothing to send and nothing arrives but pushed events, which wake the wait themselves.
        if (!SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) WaitForWakeOrInput(-1, timeoutMicros);
        return;
    }
    // Sends what was drawn and takes in what the connection has already read: neither would wake the sleep.
    SDL_PumpEvents();
    if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return;
    if (driverMessages == Messages::kX11) {
        int connection = -1;
        for (HostWindow *w : OpenHostWindows())
            if (w->os && (connection = X11Connection(w->os->sdl)) >= 0) break;
        WaitForWakeOrInput(connection, timeoutMicros);
        return;
    }
    // A connection not known here: its messages are looked for every few milliseconds.
    constexpr int64_t kLookEvery = 4000;
    const int64_t deadline = timeoutMicros < 0 ? -1 : MonotonicMicroseconds() + timeoutMicros;
    for (;;) {
        const int64_t left = deadline < 0 ? kLookEvery : deadline - MonotonicMicroseconds();
        if (left <= 0 || WaitForWakeOrInput(-1, std::min(left, kLookEvery))) return;
        SDL_PumpEvents();
        if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return;
    }
}

int PumpHostEvents(VMState *) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        SDL_Event e;
        while (SDL_PollEvent(&e)) HandleEvent(e);
        FlushPendingKey();
        // Drivers that send no DROPCOMPLETE still deliver their files at the end of a drain.
        for (HostWindow *w : OpenHostWindows()) FlushDrops(w);
    }
    return QuitRequested ? 1 : 0;
}

uint32_t ReadQualifierKeys() { return QualifiersOf(uint16_t(SDL_GetModState())); }

void SetPumpClock(PumpClock clock) { pumpClock = clock; }

int64_t PumpClockNow() { return pumpClock ? pumpClock() : MonotonicMicroseconds(); }

// ---- Injection -----------------------------------------------------------------------------------------------

namespace {

// An injected event wakes the main thread's wait as the window system's own would, whichever thread injects it.
void Push(SDL_Event &e) {
    SDL_PushEvent(&e);
    WakeMainThread();
}

SDL_Keycode SymbolOfKey(int32_t key) {
    switch (key) {
    case KeyUp: return SDLK_UP;
    case KeyDown: return SDLK_DOWN;
    case KeyRight: return SDLK_RIGHT;
    case KeyLeft: return SDLK_LEFT;
    case KeyHelp: return SDLK_HELP;
    case KeyBackspace: return SDLK_BACKSPACE;
    case KeyTab: return SDLK_TAB;
    case KeyEnter: return SDLK_KP_ENTER;
    case KeyReturn: return SDLK_RETURN;
    case KeyEscape: return SDLK_ESCAPE;
    case KeySpace: return SDLK_SPACE;
    case KeyDelete: return SDLK_DELETE;
    case KeyF11: return SDLK_F11;
    case KeyF12: return SDLK_F12;
    case KeyInsert: return SDLK_INSERT;
    case KeyHome: return SDLK_HOME;
    case KeyEnd: return SDLK_END;
    case KeyPageUp: return SDLK_PAGEUP;
    case KeyPageDown: return SDLK_PAGEDOWN;
    case KeyPrint: return SDLK_PRINTSCREEN;
    case KeyPause: return SDLK_PAUSE;
    default: break;
    }
    if (key >= KeyF1 && key <= KeyF10) return SDLK_F1 + (key - KeyF1);
    if (key >= KeyF13 && key <= KeyF16) return SDLK_F13 + (key - KeyF13);
    return key;
}

// The injected keyboard has a US layout: the text a key types with shift.
int32_t ShiftedUs(int32_t c) {
    static const char plain[] = "1234567890-=[]\\;',./`";
    static const char shifted[] = "!@#$%^&*()_+{}|:\"<>?~";
    const char *at = c > 0 && c < 128 ? std::strchr(plain, c) : nullptr;
    return at ? shifted[at - plain] : c;
}

void PushText(uint32_t windowId, const char *utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = windowId;
    SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
    Push(e);
}

} // namespace

void InjectText(const HostWindow *window, const char *utf8) { PushText(HostWindowId(window), utf8); }

void InjectKey(const HostWindow *window, int32_t key, int down, uint32_t qualifiers) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = HostWindowId(window);
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = SymbolOfKey(key);
    e.key.keysym.scancode = SDL_GetScancodeFromKey(e.key.keysym.sym);
    e.key.keysym.mod = ModOf(qualifiers);
    Push(e);
    // A key that types a character is followed by its text, as SDL's keyboards send it (not with a shortcut
    // modifier or AltGr held: tests give AltGr's text themselves).
    int32_t code = MapKeySymbol(key, qualifiers);
    if (!down || key >= 256 || code <= 0 || code >= 256 || (qualifiers & (kShortcutQualifiers | kQualifierRightAlt)))
        return;
    if (qualifiers & (kQualifierLeftShift | kQualifierRightShift)) code = ShiftedUs(code);
    const char latin1[2] = {char(code), 0};
    PushText(e.key.windowID, Latin1ToUtf8(latin1).c_str());
}

// On the own screen the mouse reports screen coordinates.
void ScreenPosition(const HostWindow *window, int32_t *x, int32_t *y) {
    if (window && window->os && window->os->onScreen) *x += window->x, *y += window->y;
}

void InjectMouseButton(const HostWindow *window, int button, int32_t x, int32_t y, int down) {
    ScreenPosition(window, &x, &y);
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = HostWindowId(window);
    e.button.button = Uint8(button == 2 ? SDL_BUTTON_RIGHT : button == 3 ? SDL_BUTTON_MIDDLE : SDL_BUTTON_LEFT);
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = x, e.button.y = y;
    Push(e);
}

void InjectMouseMotion(const HostWindow *window, int32_t x, int32_t y) {
    ScreenPosition(window, &x, &y);
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = HostWindowId(window);
    e.motion.x = x, e.motion.y = y;
    Push(e);
}

void InjectMouseWheel(const HostWindow *window, int32_t dy) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.windowID = HostWindowId(window);
    e.wheel.y = dy;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    Push(e);
}

void InjectWindowEvent(const HostWindow *window, int kind, int32_t a, int32_t b) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = HostWindowId(window);
    e.window.data1 = a, e.window.data2 = b;
    switch (kind) {
    case kEventWindowMoved: e.window.event = SDL_WINDOWEVENT_MOVED; break;
    case kEventWindowResized:
        // The window manager changes the window before it reports the new size.
        if (window && window->os) SDL_SetWindowSize(window->os->sdl, std::max(1, a), std::max(1, b));
        e.window.event = SDL_WINDOWEVENT_RESIZED;
        break;
    case kEventWindowInactive: e.window.event = SDL_WINDOWEVENT_FOCUS_LOST; break;
    case kEventCloseWindow: e.window.event = SDL_WINDOWEVENT_CLOSE; break;
    case kEventWindowActive: e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED; break;
    case kEventWindowHidden: e.window.event = SDL_WINDOWEVENT_HIDDEN; break;
    case kEventWindowShown: e.window.event = SDL_WINDOWEVENT_SHOWN; break;
    default: return;
    }
    Push(e);
}

void InjectMouseEnter(const HostWindow *window) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = HostWindowId(window);
    e.window.event = SDL_WINDOWEVENT_ENTER;
    Push(e);
}

int ReadPointerState(const HostWindow *window, int *source, int *kind) {
    const WindowOs *os = window ? window->os : nullptr;
    *source = !os || PointerWindow != window ? -1 : os->ownPointer ? 1 : 0;
    *kind = os ? os->cursorKind : 0;
    return SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE ? 1 : 0;
}

void InjectDropFiles(const HostWindow *window, const std::vector<std::string> &names) {
    uint32_t id = HostWindowId(window);
    SDL_Event e{};
    e.type = SDL_DROPBEGIN;
    e.drop.windowID = id;
    Push(e);
    for (const std::string &name : names) {
        e = SDL_Event{};
        e.type = SDL_DROPFILE;
        e.drop.windowID = id;
        e.drop.file = SDL_strdup(name.c_str()); // the pump frees it, as SDL's own drops
        Push(e);
    }
    e = SDL_Event{};
    e.type = SDL_DROPCOMPLETE;
    e.drop.windowID = id;
    Push(e);
}

void InjectClipboardUpdate() {
    SDL_Event e{};
    e.type = SDL_CLIPBOARDUPDATE;
    Push(e);
}

void InjectQualifierKeys(uint32_t qualifiers) { SDL_SetModState(SDL_Keymod(ModOf(qualifiers))); }

void InjectQuit() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    Push(e);
}
