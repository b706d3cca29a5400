// The one rule every stop of a thread the player starts follows: a thread that will not come back is not joined.
#pragma once

#include "host/process_end.h"

#include <thread>

// A thread that handed the end of the process to the main thread waits in EndProcess for ever, and may hold a lock
// the rest of its stop would take (the sound server or the ARexx port inside its wake-up of the main thread). The
// stop lets it go and returns true; the caller skips the rest of the stop, as the process is ending anyway. The
// same for a stop run on the thread it stops, which would join itself.
inline bool LetGoOfThreadAtEnd(std::thread &thread) {
    if (!thread.joinable()) return false;
    if (thread.get_id() != std::this_thread::get_id() && !ParkedAtEnd(thread.get_id())) return false;
    thread.detach();
    return true;
}
