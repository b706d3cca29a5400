// The one rule every wait of the main thread on a thread the player starts follows: the wait also ends when that
// thread parks at the end (host/process_end.h), whenever it parks, and a thread that will not come back is not joined.
#pragma once

#include "host/process_end.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// A thread that handed the end of the process to the main thread waits in EndProcess for ever, and may hold a lock
// the rest of its stop would take (the ARexx port's, when the exit came inside one of its socket calls). The stop
// lets it go and returns true; the caller skips the rest of the stop, as the process is ending anyway. The same for
// a stop run on the thread it stops, which would join itself.
inline bool LetGoOfThreadAtEnd(std::thread &thread) {
    if (!thread.joinable()) return false;
    if (thread.get_id() != std::this_thread::get_id() && !ParkedAtEnd(thread.get_id())) return false;
    thread.detach();
    return true;
}

// Held for the whole of a stopped thread's function: sets returned as it returns, so that its stop joins it only then.
struct ReturnNotice {
    std::atomic<bool> &returned;
    ~ReturnNotice() {
        returned = true;
        NoteEndEvent();
    }
};

// After the stop has asked the thread to return: joins it once it has, or lets it go when it parks first (or when
// *waitsOn, a thread it waits on in turn, does; before that thread is known, any thread's parking counts). True
// when it was let go.
inline bool JoinUnlessParked(std::thread &thread, const std::atomic<bool> &returned,
                             const std::atomic<std::thread::id> *waitsOn = nullptr) {
    for (;;) {
        const uint32_t seen = EndEventCount();
        if (LetGoOfThreadAtEnd(thread)) return true;
        const std::thread::id other = waitsOn ? waitsOn->load() : std::thread::id();
        if (waitsOn && (other == std::thread::id() ? AnyThreadParked() : ParkedAtEnd(other))) {
            thread.detach();
            return true;
        }
        if (returned) break;
        WaitForEndEvent(seen);
    }
    thread.join();
    return false;
}

// Waits on wake (under lock) until done(); false when thread parked first. A thread parks in a signal handler or
// inside a library, where it can take no lock to notify a condition safely, so the wait also looks every 10 ms.
template <class Done>
bool WaitUnlessParked(std::condition_variable &wake, std::unique_lock<std::mutex> &lock, std::thread::id thread,
                      Done done) {
    while (!done()) {
        if (ParkedAtEnd(thread)) return false;
        wake.wait_for(lock, std::chrono::milliseconds(10));
    }
    return true;
}

// Takes lock, or goes on without it once thread has parked at the end holding it: a parked thread never runs again,
// so what the lock guards is the caller's alone then. Its holder cannot say when it parks, so the wait looks every
// 10 ms.
class LockUnlessParked {
  public:
    LockUnlessParked(std::timed_mutex &lock, std::thread::id thread) : lock_(lock) {
        while (!(held_ = lock.try_lock_for(std::chrono::milliseconds(10))))
            if (thread != std::thread::id() && ParkedAtEnd(thread)) break;
    }
    ~LockUnlessParked() {
        if (held_) lock_.unlock();
    }
    LockUnlessParked(const LockUnlessParked &) = delete;
    LockUnlessParked &operator=(const LockUnlessParked &) = delete;

  private:
    std::timed_mutex &lock_;
    bool held_;
};
