#include "host/clock.h"

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>

namespace {

std::atomic<bool> virtualInstalled{false};
std::atomic<int64_t> virtualMonotonic{0};
std::atomic<int64_t> virtualRealtimeStart{0};
std::atomic<int64_t> virtualLastDue{0};
std::atomic<void (*)(int64_t)> advanceListener{nullptr};

std::mutex tickerLock;
std::condition_variable tickerStop;
bool tickerStopping = false;
std::thread ticker;

// True while the ticker sleeps until the pump runs again.
std::atomic<bool> tickerIdle{false};

// A tick nobody took for a whole millisecond means no script line runs (the program waits, or one command runs
// long): the ticker then sleeps until the pump takes the flag again, so a wait costs no wake-up per millisecond.
void Tick() {
    std::unique_lock<std::mutex> lock(tickerLock);
    while (!tickerStop.wait_for(lock, std::chrono::milliseconds(1), [] { return tickerStopping; })) {
        if (virtualInstalled.load(std::memory_order_relaxed) || PumpDue.exchange(1) == 0) continue;
        tickerIdle.store(true);
        tickerStop.wait(lock, [] { return tickerStopping || !tickerIdle.load() || PumpDue.load() == 0; });
        tickerIdle.store(false);
    }
}

int64_t ReadClock(clockid_t id) {
    timespec now;
    clock_gettime(id, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

} // namespace

std::atomic<int> PumpDue{1};

void StartPumpTicker() {
    std::lock_guard<std::mutex> guard(tickerLock);
    if (ticker.joinable()) return;
    tickerStopping = false;
    ticker = std::thread(Tick);
}

void PumpTaken() {
    PumpDue.store(0);
    if (!tickerIdle.load()) return;
    { std::lock_guard<std::mutex> guard(tickerLock); }
    tickerStop.notify_all();
}

void StopPumpTicker() {
    {
        std::lock_guard<std::mutex> guard(tickerLock);
        if (!ticker.joinable()) return;
        tickerStopping = true;
    }
    tickerStop.notify_all();
    ticker.join();
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
        PumpDue.store(1, std::memory_order_relaxed);
    }
    if (auto listener = advanceListener.load()) listener(microseconds);
}

void SetVirtualRealtime(int64_t realtime) { virtualRealtimeStart = realtime - virtualMonotonic.load(); }

void SetVirtualClockListener(void (*listener)(int64_t)) { advanceListener = listener; }

void RemoveVirtualClock() { virtualInstalled.store(false, std::memory_order_release); }

int VirtualClockInstalled() { return virtualInstalled.load() ? 1 : 0; }
