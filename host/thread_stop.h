// The one rule every stop of a thread the player starts follows: a thread never joins itself.
#pragma once

#include <thread>

// exit() runs the stops registered with atexit on whichever thread calls it, and Xlib's handler calls it on the
// thread that met a lost display (the sound server's or the ARexx port's wake-up of the main thread). A stop run
// on the very thread it stops lets that thread go and returns true; the caller then skips the rest of the stop,
// which would wait for the thread or take a lock it may hold, as the process is ending anyway.
inline bool LetGoOfCurrentThread(std::thread &thread) {
    if (!thread.joinable() || thread.get_id() != std::this_thread::get_id()) return false;
    thread.detach();
    return true;
}
