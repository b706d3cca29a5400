#include "host/clock.h"

#include <atomic>
#include <ctime>

namespace {

std::atomic<bool> virtualInstalled{false};
std::atomic<int64_t> virtualMonotonic{0};
std::atomic<int64_t> virtualRealtimeStart{0};

int64_t ReadClock(clockid_t id) {
    timespec now;
    clock_gettime(id, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

} // namespace

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
    virtualRealtimeStart = realtimeStart;
    virtualInstalled.store(true, std::memory_order_release);
}

void AdvanceVirtualClock(int64_t microseconds) {
    if (microseconds > 0) virtualMonotonic += microseconds;
}

void SetVirtualRealtime(int64_t realtime) { virtualRealtimeStart = realtime - virtualMonotonic.load(); }

void RemoveVirtualClock() { virtualInstalled.store(false, std::memory_order_release); }

int VirtualClockInstalled() { return virtualInstalled.load() ? 1 : 0; }
