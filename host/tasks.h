// Tasks, signals, semaphores, timer requests, waiting, external programs and the host's start and stop.
//
// The main thread runs the VM. Other threads (audio, requesters) wake it by posting signal bits; it sleeps in
// the system wait, which is one replaceable function: before a window system is up it waits on a pipe, and the
// graphical host replaces it with one that waits for window events too. Timer requests need no thread of their
// own: the wait's timeout is the time until the nearest request is due.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/vm/vm.h"

// ---- Start and stop ------------------------------------------------------------------------------------------
// Installs the CTRL-C handler and the wake machinery; 0 or an error code. Safe to call again after
// ShutdownSystem (tests).
int StartupSystem();
// Frees every timer request left and restores the CTRL-C handling.
void ShutdownSystem();
// Joins the clock's ticker and the signal watcher; again a no-op. The shutdown calls it before anything that may
// end the process (closing the display), and exit() calls it too: a joinable thread destroyed at exit aborts.
void StopSystemThreads();


// ---- Signals -------------------------------------------------------------------------------------------------
// Bits of the main task's signal mask.
constexpr uint32_t kSignalBreak = 1u << 12;  // CTRL-C
constexpr uint32_t kSignalEvent = 1u << 16;  // an event was queued from another thread
constexpr uint32_t kSignalTimer = 1u << 17;  // a timer request fell due
constexpr uint32_t kSignalMain = 1u << 18;   // MainSignalBit: the sound server's wake-up
constexpr uint32_t kStandardWaitSignals = kSignalBreak | kSignalEvent | kSignalTimer | kSignalMain;

extern const int MainSignalBit;

// Sets signal bits of the main task and wakes it; safe from any thread.
void SignalMainTask(uint32_t mask);
// Takes (clears) and returns the pending bits of mask without waiting. The line hook takes kSignalEvent to pump
// at once when another thread queued something.
uint32_t TakeSignals(uint32_t mask);
// A free signal bit for a library's own use (19..30), or -1 when none is left. FreeSignalBit returns it.
int AllocSignalBit();
void FreeSignalBit(int bit);

// Blocks until a signal of the standard set or of extraMask is set, and returns (and clears) the received bits.
// CTRL-C sets QuitRequested and returns kSignalBreak while the CTRL-C quit switch is on.
uint32_t WaitSystemSignals(VMState *vm, uint32_t extraMask);
// The same with a timeout in milliseconds (0: poll); returns 0 when it timed out.
uint32_t WaitSystemSignalsTimeout(uint32_t extraMask, int64_t timeoutMs);

// The replaceable wait: block until woken or until timeoutMicros passed (-1: no limit). Spurious returns are
// fine; a return before the timeout with no signal set counts as a host event (kSignalEvent), so a window message
// ends WaitSystemSignals too.
// The wake function must be callable from any thread (not from a signal handler: CTRL-C reaches it through a
// watcher thread). Null arguments restore the built-in pair.
using SystemWaitFunction = void (*)(int64_t timeoutMicros);
using SystemWakeFunction = void (*)();
void SetSystemWaitFunctions(SystemWaitFunction wait, SystemWakeFunction wake);
// The built-in wait, which a host's wait builds on: sleeps once, until the built-in wake (a signal posted from any
// thread, a termination signal), until fd can be read (a window system's connection; -1 none) or until
// timeoutMicros passed (-1: no limit). False when it slept out its time (or a signal handler cut it short).
bool WaitForWakeOrInput(int fd, int64_t timeoutMicros);
// Wakes the main thread's wait without setting a signal.
void WakeMainThread();

// id 8 the CTRL-C quit switch, 9 the left-mouse quit switch, 10 the Escape quit switch (on at start).
void SetSystemOption(int ignored, int id, int value);
int GetSystemOption(int id);

// ---- Event pump ----------------------------------------------------------------------------------------------
// The graphical host installs its PumpEvents here; until then pumping only reports QuitRequested.
using PumpEventsFunction = int (*)(VMState *vm);
void SetPumpEventsFunction(PumpEventsFunction pump);
// Drains the host's messages into the event queue; non-zero when the program is to quit.
int PumpEvents(VMState *vm, int unused = 0);
// Installs the player's line hook: it pumps when PumpDue says so (each millisecond of script time, after each
// wait, and at once when another thread queued an event), and a quit request stops the script at the next line.
// It is gated on those two flags, so a line with nothing due makes no call at all.
void InstallPumpLineHook(VMState *vm);

// ---- Waiting -------------------------------------------------------------------------------------------------
// Waits ms milliseconds while pumping events; returns 1 early when the program is asked to quit (a closed window,
// SIGTERM, a CTRL-C that quits), else 0.
int WaitTicks(VMState *vm, int64_t ms);
// The same until a deadline in monotonic microseconds. Every wait a script starts (Wait, a frame, an anim's frame
// delay) waits here, so a quit request ends it as soon as the wait is woken.
int WaitUntilDeadline(VMState *vm, int64_t deadline);

// ---- Timer requests ------------------------------------------------------------------------------------------
constexpr int kTimerInterval = 0;
constexpr int kTimerTimeout = 1;
constexpr int kTimerNotDue = 8;
constexpr int kTimerAddInterval = 0;
constexpr int kTimerAddTimeout = 1;
constexpr int kTimerRemoveInterval = 2;
constexpr int kTimerRemoveTimeout = 3;
constexpr int kTimerChangeInterval = 4;

struct TimerRequestNode {
    int kind;       // kTimerInterval or kTimerTimeout
    int32_t owner;  // the owner's id
    int64_t period; // microseconds
    int64_t nextPeriod;
    int64_t due;    // monotonic microseconds
    TimerRequestNode *next;
};

// 0 or kErrOutOfMemory "Out of memory!". Removing or changing a request that does not exist does nothing.
int ControlTimerRequest(int operation, int32_t owner, int64_t ms);
// The request of that kind and owner, or null; *successor receives the one after it.
TimerRequestNode *FindTimerRequest(int kind, int32_t owner, TimerRequestNode **successor = nullptr);
// Checks node (the first request when null; a node no longer in the list counts as the end) and returns the next
// one, null after the last. *kind: kTimerNotDue, or kTimerInterval for a due interval (re-armed: due plus one
// period, or now plus one period when that has passed too), or kTimerTimeout for a due timeout (unlinked and
// freed). *owner: the request's owner.
TimerRequestNode *PollTimerRequest(TimerRequestNode *node, int *kind, int32_t *owner);
// Microseconds until the nearest request is due (0 when one is due), -1 when there is none.
int64_t TimeUntilNextTimer();
void FreeAllTimerRequests();

// ---- Programs and optional services --------------------------------------------------------------------------
// The system's shared libraries are linked in; the built-in services answer 0, an unknown name gives kErrCannotOpen
// "Cannot open %s !" with the name set as the error argument. *base receives a non-null token.
int OpenOptionalLibrary(const char *name, void **base);

// The CTRL-C handler's flag (tests simulate a break with it).
void RaiseBreakSignal();
// SIGTERM or SIGHUP received since StartupSystem, or a CTRL-C (SIGINT) that ends the program: it stops at the
// next line and exits with 128 plus the signal. Else 0.
int TerminationSignal();
// A long loop inside one command asks this: true once the program has been told to end (SIGTERM, SIGHUP, a
// CTRL-C that quits), so that the command stops and the player ends within a moment.
bool EndRequested();
