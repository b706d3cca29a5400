// The event pump and input state: SDL events become event-queue entries; per-window input state lives in
// HostWindow (host/window.h).
#pragma once

#include <cstdint>

struct VMState;

// The graphical pump, installed as PumpEvents (host/tasks.h) once video is up: drains pending SDL events into
// the event queue (kinds 1..16), keeps each window's mouse buttons, key states, mouse-moved flag and time, and
// sets QuitRequested on the quit conditions (the close gadget of a window whose closeWindowFlag is 0; a break
// with the CTRL-C switch on; the left mouse button or Escape with their switches on, see SetSystemOption).
// Returns 1 when QuitRequested is set, now or earlier, else 0.
int PumpHostEvents(VMState *vm);

// The main thread's wait once video is up (installed with SetSystemWaitFunctions): returns at once when SDL has
// an event queued, else sleeps once until the built-in wake (host/tasks.h), a message on the window system's
// connection (X11) or the timeout in microseconds (-1 none). SDL's own wait would sleep a millisecond at a time
// and pump at each wake where the driver has no connection to wait on.
void WaitHostEvents(int64_t timeoutMicros);
// Installs PumpHostEvents and the SDL wait into host/tasks.h (video start does it; tests that restored the
// built-in pair call it again).
void InstallHostWaitAndPump();

// The current modifier keys (key-name qualifier bits, 0x80000000 always set); each side's Control has its own bit,
// as the key names LCONTROL and RCONTROL read them.
uint32_t ReadQualifierKeys();

// The clock of the mouse-move times, in microseconds: MonotonicMicroseconds (host/clock.h), so the virtual clock
// governs it too. SetPumpClock is a test-only override; null restores the one clock.
using PumpClock = int64_t (*)();
void SetPumpClock(PumpClock clock);
int64_t PumpClockNow();

// The window manager resized a display's window to width x height (inner size; the program's own size changes
// never come here): the display code installs this and fits the display to the new size. Null: the window alone
// takes the size. The pump cannot raise errors, so a failed fit leaves the display as it was.
extern int (*UserResizedDisplayHook)(struct DisplayRecord *display, int32_t width, int32_t height);

// The display-mode switch key (Alt+Return): the display code installs this; it switches modes when the display
// is the only one and returns 1 when it did, so the pump queues kind 13.
extern int (*DisplayModeSwitchHook)(struct DisplayRecord *display);
