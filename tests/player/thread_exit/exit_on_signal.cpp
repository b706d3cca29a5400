// Preloaded into the player: once the file VL_EXIT_WHEN exists, makes the thread named VL_EXIT_THREAD call exit(1)
// where a library could: inside one of its calls into a shared library (a read, a write, a poll, a sleep, the
// taking of a lock), as Xlib's handler does inside its read or write on a lost display's connection, and only while
// the thread holds no lock of its own (the player calls no library that may end the process while it holds one).
// An exit at any instruction could also fall inside malloc or between a lock and its unlock, which no library's
// exit does, and the end would wait for that lock for ever. VL_EXIT_HOLDING_LOCK turns the last rule round: the
// exit comes inside a call made while the thread holds a lock (a socket call under the ARexx port's lock).
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

// This thread's locks taken through the calls below, and whether it is inside a call that may exit.
__attribute__((tls_model("initial-exec"))) thread_local int held = 0;
__attribute__((tls_model("initial-exec"))) thread_local int inside = 0;
__attribute__((tls_model("initial-exec"))) thread_local volatile sig_atomic_t pending = 0;

bool holdingLock = false;

bool MayExitHere() { return holdingLock ? held > 0 : held == 0; }

template <class F> F Next(const char *name) { return reinterpret_cast<F>(dlsym(RTLD_NEXT, name)); }

// At the entry of a call: an exit asked for earlier comes now.
inline void ExitIfPending() {
    if (!pending || !MayExitHere()) return;
    pending = 0; // the end's own calls on this thread come here again
    exit(1);
}

// Runs a call that may exit while it is blocked in it.
template <class Call> auto Inside(Call call) {
    ExitIfPending();
    ++inside;
    auto result = call();
    --inside;
    return result;
}

// A lock is counted before it is taken, and until after it is given back: a signal between the two finds it held.
template <class Lock> int Take(Lock lock) {
    ExitIfPending();
    ++held;
    const int result = lock();
    if (result != 0) --held;
    return result;
}

pid_t FindThread(const std::string &name) {
    std::error_code error;
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::string comm;
        std::getline(std::ifstream(task.path() / "comm"), comm);
        if (comm == name) return pid_t(std::stol(task.path().filename()));
    }
    return 0;
}

__attribute__((constructor)) void ArmExit() {
    const char *thread = getenv("VL_EXIT_THREAD"), *when = getenv("VL_EXIT_WHEN");
    if (!thread || !when) return;
    holdingLock = getenv("VL_EXIT_HOLDING_LOCK") != nullptr;
    signal(SIGUSR1, [](int) {
        if (inside && MayExitHere()) exit(1);
        pending = 1;
    });
    std::thread([name = std::string(thread), ready = std::string(when)] {
        for (int tries = 0; tries < 20000; tries++, usleep(1000)) {
            if (!std::filesystem::exists(ready)) continue;
            if (const pid_t target = FindThread(name)) {
                syscall(SYS_tgkill, getpid(), target, SIGUSR1);
                return;
            }
        }
    }).detach();
}

} // namespace

extern "C" {

int pthread_mutex_lock(pthread_mutex_t *mutex) {
    static const auto next = Next<int (*)(pthread_mutex_t *)>("pthread_mutex_lock");
    return Take([&] { return next(mutex); });
}

int pthread_mutex_trylock(pthread_mutex_t *mutex) {
    static const auto next = Next<int (*)(pthread_mutex_t *)>("pthread_mutex_trylock");
    return Take([&] { return next(mutex); });
}

int pthread_mutex_timedlock(pthread_mutex_t *mutex, const timespec *until) {
    static const auto next = Next<int (*)(pthread_mutex_t *, const timespec *)>("pthread_mutex_timedlock");
    return Take([&] { return next(mutex, until); });
}

int pthread_mutex_clocklock(pthread_mutex_t *mutex, clockid_t clock, const timespec *until) {
    static const auto next = Next<int (*)(pthread_mutex_t *, clockid_t, const timespec *)>("pthread_mutex_clocklock");
    return Take([&] { return next(mutex, clock, until); });
}

int pthread_mutex_unlock(pthread_mutex_t *mutex) {
    static const auto next = Next<int (*)(pthread_mutex_t *)>("pthread_mutex_unlock");
    const int result = next(mutex);
    if (result == 0) --held;
    return result;
}

// The calls inside which an exit may come.
#define VL_EXIT_INSIDE(Result, name, parameters, arguments)                                                         \
    Result name parameters {                                                                                       \
        static const auto next = Next<Result(*) parameters>(#name);                                                \
        return Inside([&] { return next arguments; });                                                             \
    }
VL_EXIT_INSIDE(ssize_t, read, (int fd, void *buffer, size_t count), (fd, buffer, count))
VL_EXIT_INSIDE(ssize_t, write, (int fd, const void *buffer, size_t count), (fd, buffer, count))
VL_EXIT_INSIDE(int, poll, (pollfd * fds, nfds_t count, int timeout), (fds, count, timeout))
VL_EXIT_INSIDE(int, ppoll, (pollfd * fds, nfds_t count, const timespec *timeout, const sigset_t *mask),
               (fds, count, timeout, mask))
VL_EXIT_INSIDE(int, nanosleep, (const timespec *duration, timespec *left), (duration, left))

} // extern "C"
