#include "host/event_queue.h"

#include <array>
#include <utility>

#include "host/clock.h"
#include "host/tasks.h"
#include "runtime/app/hooks.h"
#include "runtime/app/runtime_globals.h"

std::recursive_mutex EventQueueSemaphore;

namespace {

std::array<EventRecord, kEventQueueSize> g_events;
int g_count = 0; // guarded by EventQueueSemaphore
int64_t NowMicroseconds() { return MonotonicMicroseconds(); }

int64_t StampMicroseconds(const EventTimeStamp &t) { return t.seconds * 1000000 + t.microseconds; }

// Drops the first `n` entries and moves the rest to the front in their order. Caller holds the lock.
void DropFront(int n) {
    if (n > g_count) n = g_count;
    if (n <= 0) return;
    for (int i = n; i < g_count; i++) g_events[i - n] = std::move(g_events[i]);
    for (int i = g_count - n; i < g_count; i++) g_events[i] = EventRecord{};
    g_count -= n;
}

} // namespace

int QueueEvent(DisplayRecord *display, int kind, int32_t value1, int32_t value2, int32_t value3,
               std::vector<char> extra) {
    // A display that rescales itself handles its own resizes; a script callback would only see noise.
    if (kind == kEventWindowResized && display && DisplayScalesItselfHook && DisplayScalesItselfHook(display))
        return 0;
    {
        std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
        if (g_count >= kEventQueueSize) return 0;
        EventRecord &e = g_events[g_count++];
        int64_t now = NowMicroseconds();
        e.type = kind;
        e.values[0] = value1;
        e.values[1] = value2;
        e.values[2] = value3;
        e.time.seconds = now / 1000000;
        e.time.microseconds = static_cast<int32_t>(now % 1000000);
        e.display = display;
        e.extra = std::move(extra);
    }
    if (WakeMainThreadHook) WakeMainThreadHook();
    else SignalMainTask(kSignalEvent);
    return 1;
}

int FetchEvent(VMState *, int index, EventInfo *info, int takeExtra) {
    if (index < 0 || index >= kEventQueueSize || index >= g_count) return 0;
    EventRecord &e = g_events[index];
    *info = EventInfo{};
    info->display = e.display;
    info->kind = e.type;
    switch (e.type) {
    case kEventLeftMouse:
    case kEventRightMouse:
    case kEventMiddleMouse:
        info->x = e.values[0];
        info->y = e.values[1];
        info->down = e.values[2];
        break;
    case kEventKey:
        info->down = e.values[0];
        info->qualifier = e.values[1];
        info->keyCode = e.values[2];
        break;
    case kEventFilesDropped:
        info->x = e.values[0];
        info->y = e.values[1];
        break;
    default: break;
    }
    if (takeExtra) {
        info->extra = std::move(e.extra);
        e.extra.clear();
    } else {
        info->extra = e.extra;
    }
    return index + 1;
}

int RemoveEvent(VMState *, int n, int lock) {
    std::unique_lock<std::recursive_mutex> guard(EventQueueSemaphore, std::defer_lock);
    if (lock) guard.lock();
    DropFront(n < 0 ? g_count : n + 1);
    return 0;
}

int ExpireEvents(VMState *) {
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    int64_t now = NowMicroseconds();
    int64_t limit = static_cast<int64_t>(EventTimeoutMs) * 1000;
    int newestExpired = -1;
    for (int i = 0; i < g_count; i++)
        if (now - StampMicroseconds(g_events[i].time) > limit) newestExpired = i;
    DropFront(newestExpired + 1);
    return 0;
}

void DetachDisplayEvents(DisplayRecord *display) {
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    for (int i = 0; i < g_count; i++)
        if (g_events[i].display == display) g_events[i].display = nullptr;
}

int QueuedEventCount() {
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    return g_count;
}
