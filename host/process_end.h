// Ending the process from any thread.
//
// Only the main thread runs the exit path (the atexit stops, then every static destructor): on another thread it
// destroys what the main thread and SDL's audio thread are still using. Another thread that must end the process
// hands the end to the main thread as a quit request and waits: the script stops at its next line and the player's
// own shutdown runs, flushing what the script wrote, as on SIGTERM, and ends with the handed status.
#pragma once

#include <thread>

// On the main thread, the C library's exit(status). On another thread it hands the end over and never returns; if
// the process has not ended within 5 seconds (the main thread is stuck behind something the waiting thread holds),
// the waiting thread ends it with _exit(1) after a line saying so. wakeMainThread false: the caller is inside its
// wake-up of the main thread, and a second one would only meet the same failure.
[[noreturn]] void EndProcess(int status, bool wakeMainThread = true);
// The status another thread handed the end over with, or -1.
int HandedEndStatus();
// True for a thread waiting in EndProcess for the main thread's end: it never returns to its own loop.
bool ParkedAtEnd(std::thread::id thread);
