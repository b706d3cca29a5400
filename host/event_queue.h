// The event queue between the host's event pump (and the audio and timer threads) and the event dispatch:
// 256 entries under one lock. Producers may run on any thread; fetching and removing happen on the main thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

struct VMState;
struct DisplayRecord;

constexpr int kEventQueueSize = 256;

// Queue kinds.
constexpr int kEventLeftMouse = 1;
constexpr int kEventRightMouse = 2;
constexpr int kEventKey = 3;
constexpr int kEventWindowMoved = 4;
constexpr int kEventWindowResized = 5;
constexpr int kEventWindowInactive = 6;
constexpr int kEventCloseWindow = 7;
constexpr int kEventWindowActive = 8;
constexpr int kEventWindowHidden = 9;
constexpr int kEventWindowShown = 10;
constexpr int kEventWheelUp = 11;
constexpr int kEventWheelDown = 12;
constexpr int kEventModeSwitched = 13;
constexpr int kEventFilesDropped = 14; // extra: zero-terminated names, ended by an empty one
constexpr int kEventClipboardChanged = 15;
constexpr int kEventMiddleMouse = 16;

struct EventTimeStamp {
    int64_t seconds = 0;
    int32_t microseconds = 0;
};

struct EventRecord {
    int32_t type = 0;
    int32_t values[3] = {0, 0, 0};
    EventTimeStamp time;
    DisplayRecord *display = nullptr; // cleared when the display closes
    std::vector<char> extra;          // owned; empty for none
};

struct EventInfo {
    DisplayRecord *display = nullptr;
    int32_t kind = 0;
    int32_t x = 0, y = 0, down = 0;             // kinds 1, 2, 16 (x, y also kind 14)
    int32_t qualifier = 0, keyCode = 0;         // kind 3 (down too)
    std::vector<char> extra;                    // copied, or moved out with takeExtra
};

// The lock producers and the dispatch share; FetchEvent and RemoveEvent(lock = 0) expect the caller to hold it.
// Recursive, so a holder may call the self-locking operations.
extern std::recursive_mutex EventQueueSemaphore;

// Stamps (host monotonic clock) and appends an entry, then wakes the main thread. Returns 1 when queued, 0 when dropped (queue full, or
// a kind-5 resize of a display that scales itself).
int QueueEvent(DisplayRecord *display, int kind, int32_t value1, int32_t value2, int32_t value3,
               std::vector<char> extra = {});
// Copies entry index (0 = oldest); returns index + 1, or 0 past the end.
int FetchEvent(VMState *vm, int index, EventInfo *info, int takeExtra);
// Removes the first n + 1 entries (n = -1: all) with their extra blocks. Returns 0.
int RemoveEvent(VMState *vm, int n, int lock);
// Removes every entry up to the newest one older than the event timeout. Returns 0.
int ExpireEvents(VMState *vm);
// Clears the display of every queued entry that names it.
void DetachDisplayEvents(DisplayRecord *display);
int QueuedEventCount();
