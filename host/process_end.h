// Ending the process from any thread.
//
// Only the main thread runs the exit path (the atexit stops, then every static destructor): on another thread it
// destroys what the main thread and SDL's audio thread are still using. Another thread that must end the process
// hands the end to the main thread as a quit request and waits: the script stops at its next line and the player's
// own shutdown runs, flushing what the script wrote, as on SIGTERM, and ends with the handed status.
#pragma once

#include <thread>

// On the main thread, flushes the script's files and runs the C library's exit(status). On another thread it hands
// the end over and never returns; if the process has not ended within 5 seconds (the main thread is stuck behind
// something the waiting thread holds), the waiting thread ends it with _exit(1) after a line saying so. The hand-off
// only sets atomics and writes to the wake pipe, so it is safe from a signal handler or from inside Xlib.
[[noreturn]] void EndProcess(int status);
// The status another thread handed the end over with, or -1.
int HandedEndStatus();
// True for a thread waiting in EndProcess for the main thread's end: it never returns to its own loop.
bool ParkedAtEnd(std::thread::id thread);
// True once any thread has parked there.
bool AnyThreadParked();
// How the script's open files are flushed (set by the library that keeps them). Every end runs it on the main
// thread before any step that may wait on another thread: a lost display, an exit on the main thread, and the
// shutdown's first step, so that even the 5 s bound loses nothing. Another thread's call does nothing.
void SetScriptFileFlush(void (*flush)());
void FlushScriptFiles();
// Moves whenever a thread parks at the end or a stopped thread returns (host/thread_stop.h): a wait on another
// thread reads it, checks its condition, then sleeps until it moves past what it read.
uint32_t EndEventCount();
void WaitForEndEvent(uint32_t seen);
// Async-signal-safe: a thread parks from a signal handler or from inside a library.
void NoteEndEvent();
