#include "host/clock.h"

#include "host/thread_stop.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

std::atomic<bool> virtualInstalled{false};
std::atomic<int64_t> virtualMonotonic{0};
std::atomic<int64_t> virtualRealtimeStart{0};
std::atomic<int64_t> virtualLastDue{0};
std::atomic<void (*)(int64_t)> advanceListener{nullptr};

// The ticker sleeps on a one-shot timer that the line hook arms only once a script has run on for a while after
// a pump (see PumpFromLineHook), and that each wait disarms: a frame that runs a few lines and waits again wakes
// no thread but its own. A tick nobody takes (one command runs long) is not re-armed.
std::mutex tickerLock;
std::thread ticker;
std::atomic<bool> tickerReturned{false};
int tickTimer = -1;    // timerfd
int tickerStopFd = -1; // eventfd: ends the ticker
std::atomic<bool> tickArmed{false};

void Tick(int timer, int stop) {
    const ReturnNotice notice{tickerReturned};
    pthread_setname_np(pthread_self(), "vl-ticker"); // visible in top and ps, and to tests
    pollfd fds[2] = {{timer, POLLIN, 0}, {stop, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        uint64_t expirations;
        if (read(timer, &expirations, sizeof expirations) <= 0) continue;
        tickArmed.store(false, std::memory_order_relaxed);
        if (!virtualInstalled.load(std::memory_order_relaxed)) PumpDue.store(kPumpNow, std::memory_order_relaxed);
    }
}

void ArmTickTimer(int64_t microseconds) {
    const itimerspec when = {{0, 0}, {time_t(microseconds / 1000000), long(microseconds % 1000000) * 1000}};
    if (tickTimer >= 0) timerfd_settime(tickTimer, 0, &when, nullptr);
}

int64_t ReadClock(clockid_t id) {
    timespec now;
    clock_gettime(id, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

} // namespace

std::atomic<int> PumpDue{kPumpNow};

void StartPumpTicker() {
    std::lock_guard<std::mutex> guard(tickerLock);
    if (ticker.joinable()) return;
    tickTimer = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    tickerStopFd = eventfd(0, EFD_CLOEXEC);
    if (tickTimer < 0 || tickerStopFd < 0) {
        // Without a ticker the pump still runs at every wait's end and at every event.
        if (tickTimer >= 0) close(tickTimer);
        if (tickerStopFd >= 0) close(tickerStopFd);
        tickTimer = tickerStopFd = -1;
        return;
    }
    try {
        tickerReturned = false;
        ticker = std::thread(Tick, tickTimer, tickerStopFd);
    } catch (const std::system_error &) {
        close(tickTimer);
        close(tickerStopFd);
        tickTimer = tickerStopFd = -1;
        throw; // start-up reports it
    }
}

void RequestPumpTick(int64_t microseconds) {
    if (virtualInstalled.load(std::memory_order_relaxed) || tickTimer < 0) return;
    tickArmed.store(true, std::memory_order_relaxed);
    ArmTickTimer(std::max<int64_t>(microseconds, 1));
}

bool PumpTickRequested() { return tickArmed.load(std::memory_order_relaxed); }

void PumpPaused() {
    if (tickArmed.exchange(false, std::memory_order_relaxed)) ArmTickTimer(0);
    PumpDue.store(kPumpNow, std::memory_order_relaxed);
}

void StopPumpTicker() {
    if (LetGoOfThreadAtEnd(ticker)) return;
    std::lock_guard<std::mutex> guard(tickerLock);
    if (!ticker.joinable()) return;
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(tickerStopFd, &one, sizeof one);
    if (JoinUnlessParked(ticker, tickerReturned)) return;
    close(tickTimer);
    close(tickerStopFd);
    tickTimer = tickerStopFd = -1;
}

int64_t MonotonicMicroseconds() {
    if (virtualInstalled.load(std::memory_order_acquire)) return virtualMonotonic.load();
    return ReadClock(CLOCK_MONOTONIC);
}

int64_t RealtimeMicroseconds() {
    if (virtualInstalled.load(std::memory_order_acquire)) return virtualRealtimeStart.load() + virtualMonotonic.load();
    return ReadClock(CLOCK_REALTIME);
}

void InstallVirtualClock(int64_t realtimeStart) {
    virtualMonotonic = 0;
    virtualLastDue = 0;
    virtualRealtimeStart = realtimeStart;
    virtualInstalled.store(true, std::memory_order_release);
}

void AdvanceVirtualClock(int64_t microseconds) {
    if (microseconds <= 0) return;
    int64_t now = virtualMonotonic += microseconds;
    if (now - virtualLastDue.load() >= 1000) {
        virtualLastDue = now;
        PumpDue.store(kPumpNow, std::memory_order_relaxed);
    }
    if (auto listener = advanceListener.load()) listener(microseconds);
}

void SetVirtualRealtime(int64_t realtime) { virtualRealtimeStart = realtime - virtualMonotonic.load(); }

void SetVirtualClockListener(void (*listener)(int64_t)) { advanceListener = listener; }

void RemoveVirtualClock() { virtualInstalled.store(false, std::memory_order_release); }

int VirtualClockInstalled() { return virtualInstalled.load() ? 1 : 0; }
