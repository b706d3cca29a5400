#include "host/process_end.h"

#include "host/tasks.h"
#include "runtime/app/runtime_globals.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Long enough for any shutdown the script's files need; short enough that a stuck end is not taken for a hang.
constexpr time_t kHandOffSeconds = 5;

std::atomic<int> handedStatus{-1};
std::atomic<std::thread::id> parked[8];
std::atomic<void (*)()> scriptFileFlush{nullptr};
std::atomic<uint32_t> endEvents{0};

bool OnMainThread() { return syscall(SYS_gettid) == getpid(); }

[[noreturn]] void CLibraryExit(int status) {
    using ExitFunction = void (*)(int);
    static const auto next = reinterpret_cast<ExitFunction>(dlsym(RTLD_NEXT, "exit"));
    if (next) next(status);
    _exit(status);
}

void Park() {
    const std::thread::id self = std::this_thread::get_id();
    for (auto &slot : parked) {
        std::thread::id none;
        if (slot.compare_exchange_strong(none, self)) break;
    }
    NoteEndEvent();
}

} // namespace

void EndProcess(int status) {
    if (OnMainThread()) {
        // An exit from inside the exit path (a destructor meeting the lost display again) ends at once.
        static std::atomic<bool> exiting{false};
        if (exiting.exchange(true)) _exit(status);
        // The exit path stops the player's threads, which may wait on one that has parked: the files go first.
        FlushScriptFiles();
        CLibraryExit(status);
    }
    Park();
    int none = -1;
    handedStatus.compare_exchange_strong(none, status);
    QuitRequested = 1;
    SignalMainTask(kSignalEvent);
    timespec until;
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += kHandOffSeconds;
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
    static const char kLine[] = "The run did not end within 5 seconds of a thread's exit; ending it now.\n";
    static_assert(kHandOffSeconds == 5);
    [[maybe_unused]] ssize_t n = write(STDERR_FILENO, kLine, sizeof kLine - 1);
    _exit(1);
}

int HandedEndStatus() { return handedStatus.load(); }

void SetScriptFileFlush(void (*flush)()) { scriptFileFlush = flush; }

void FlushScriptFiles() {
    // The files belong to the main thread; an exit met inside the flush itself does not start it again.
    static bool flushing = false;
    if (!OnMainThread() || flushing) return;
    if (void (*flush)() = scriptFileFlush.load()) {
        flushing = true;
        flush();
        flushing = false;
    }
}

bool AnyThreadParked() { return parked[0].load() != std::thread::id(); } // the slots fill from the first

uint32_t EndEventCount() { return endEvents.load(); }

void WaitForEndEvent(uint32_t seen) {
    syscall(SYS_futex, &endEvents, FUTEX_WAIT_PRIVATE, seen, nullptr, nullptr, 0);
}

void NoteEndEvent() {
    endEvents.fetch_add(1);
    syscall(SYS_futex, &endEvents, FUTEX_WAKE_PRIVATE, INT32_MAX, nullptr, nullptr, 0);
}

bool ParkedAtEnd(std::thread::id thread) {
    for (const auto &slot : parked)
        if (slot.load() == thread) return true;
    return false;
}

// Library code calls exit() on whatever thread it runs on (Xlib's default handlers, a decoder's fatal path). This
// definition replaces the C library's for the whole process: the dynamic linker binds every shared library's call
// to the executable's symbol first, so no caller can reach the exit path on another thread. An atexit handler
// could not do it: handlers and static destructors run in one list, last registered first, and statics created
// after the handler would already be gone when it ran.
extern "C" void exit(int status) noexcept { EndProcess(status); }
