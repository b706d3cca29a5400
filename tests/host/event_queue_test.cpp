#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "host/clock.h"
#include "host/tasks.h"
#include "host/event_queue.h"
#include "runtime/app/hooks.h"
#include "runtime/app/runtime_globals.h"

namespace {

DisplayRecord *FakeDisplay(uintptr_t n) { return reinterpret_cast<DisplayRecord *>(n * 16); }

struct EventQueue : ::testing::Test {
    void SetUp() override {
        ResetRuntimeGlobals();
        InstallVirtualClock(0);
        AdvanceVirtualClock(1000000);
        RemoveEvent(nullptr, -1, 1);
    }
    void TearDown() override {
        RemoveEvent(nullptr, -1, 1);
        RemoveVirtualClock();
        DisplayScalesItselfHook = nullptr;
        WakeMainThreadHook = nullptr;
    }
};

TEST_F(EventQueue, DropsEventWhenFull) {
    for (int i = 0; i < kEventQueueSize; i++) EXPECT_EQ(QueueEvent(nullptr, kEventKey, 1, 0, i), 1);
    EXPECT_EQ(QueueEvent(nullptr, kEventKey, 1, 0, 999), 0);
    EXPECT_EQ(QueuedEventCount(), kEventQueueSize);
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    EventInfo info;
    EXPECT_EQ(FetchEvent(nullptr, 255, &info, 0), 256);
    EXPECT_EQ(info.keyCode, 255); // the last kept one, not the dropped one
    EXPECT_EQ(FetchEvent(nullptr, 256, &info, 0), 0);
}

TEST_F(EventQueue, FetchPastCountGivesZero) {
    QueueEvent(nullptr, kEventLeftMouse, 10, 20, 1);
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    EventInfo info;
    EXPECT_EQ(FetchEvent(nullptr, 1, &info, 0), 0);
    EXPECT_EQ(FetchEvent(nullptr, -1, &info, 0), 0);
}

TEST_F(EventQueue, FetchMapsValuesByKind) {
    QueueEvent(FakeDisplay(1), kEventRightMouse, 10, 20, 1);
    QueueEvent(nullptr, kEventKey, 1, 8, 'a');
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    EventInfo info;
    ASSERT_EQ(FetchEvent(nullptr, 0, &info, 0), 1);
    EXPECT_EQ(info.display, FakeDisplay(1));
    EXPECT_EQ(info.kind, kEventRightMouse);
    EXPECT_EQ(info.x, 10);
    EXPECT_EQ(info.y, 20);
    EXPECT_EQ(info.down, 1);
    ASSERT_EQ(FetchEvent(nullptr, 1, &info, 0), 2);
    EXPECT_EQ(info.down, 1);
    EXPECT_EQ(info.qualifier, 8);
    EXPECT_EQ(info.keyCode, 'a');
}

TEST_F(EventQueue, TakeExtraMovesOwnership) {
    std::vector<char> names = {'a', 0, 'b', 0, 0};
    QueueEvent(nullptr, kEventFilesDropped, 5, 6, 0, names);
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    EventInfo info;
    FetchEvent(nullptr, 0, &info, 0);
    EXPECT_EQ(info.extra, names);
    FetchEvent(nullptr, 0, &info, 1);
    EXPECT_EQ(info.extra, names);
    EXPECT_EQ(info.x, 5);
    FetchEvent(nullptr, 0, &info, 0);
    EXPECT_TRUE(info.extra.empty());
}

TEST_F(EventQueue, RemoveAllFreesExtraBlocks) {
    for (int i = 0; i < 10; i++) QueueEvent(nullptr, kEventFilesDropped, 0, 0, 0, std::vector<char>(1000, 'x'));
    EXPECT_EQ(RemoveEvent(nullptr, -1, 1), 0);
    EXPECT_EQ(QueuedEventCount(), 0);
}

TEST_F(EventQueue, RemoveKeepsRemainingOrder) {
    for (int i = 0; i < 5; i++) QueueEvent(nullptr, kEventKey, 1, 0, i);
    RemoveEvent(nullptr, 1, 1); // the first two
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    EventInfo info;
    for (int i = 0; i < 3; i++) {
        ASSERT_EQ(FetchEvent(nullptr, i, &info, 0), i + 1);
        EXPECT_EQ(info.keyCode, i + 2);
    }
    EXPECT_EQ(QueuedEventCount(), 3);
}

TEST_F(EventQueue, ExpireDropsEventsOlderThanTimeout) {
    QueueEvent(nullptr, kEventKey, 1, 0, 1); // t = 1.0 s
    AdvanceVirtualClock(1000000);
    QueueEvent(nullptr, kEventKey, 1, 0, 2); // t = 2.0 s
    AdvanceVirtualClock(1000000);
    QueueEvent(nullptr, kEventKey, 1, 0, 3); // t = 3.0 s
    AdvanceVirtualClock(400000);             // ages 2400, 1400, 400 ms against 1500
    ExpireEvents(nullptr);
    ASSERT_EQ(QueuedEventCount(), 2);
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    EventInfo info;
    FetchEvent(nullptr, 0, &info, 0);
    EXPECT_EQ(info.keyCode, 2);
}

TEST_F(EventQueue, ExpireKeepsEventExactlyAtTimeout) {
    QueueEvent(nullptr, kEventKey, 1, 0, 1);
    AdvanceVirtualClock(1500000);
    ExpireEvents(nullptr);
    EXPECT_EQ(QueuedEventCount(), 1);
}

TEST_F(EventQueue, ExpireUsesCurrentTimeout) {
    EventTimeoutMs = 100;
    QueueEvent(nullptr, kEventKey, 1, 0, 1);
    AdvanceVirtualClock(200000);
    ExpireEvents(nullptr);
    EXPECT_EQ(QueuedEventCount(), 0);
}

int ScalesItself(DisplayRecord *d) { return d == FakeDisplay(2); }

TEST_F(EventQueue, ResizeOfSelfScalingDisplayIsDropped) {
    DisplayScalesItselfHook = ScalesItself;
    EXPECT_EQ(QueueEvent(FakeDisplay(2), kEventWindowResized, 0, 0, 0), 0);
    EXPECT_EQ(QueueEvent(FakeDisplay(1), kEventWindowResized, 0, 0, 0), 1);
    EXPECT_EQ(QueueEvent(FakeDisplay(2), kEventWindowMoved, 0, 0, 0), 1);
    EXPECT_EQ(QueuedEventCount(), 2);
}

TEST_F(EventQueue, DetachClearsOnlyThatDisplay) {
    QueueEvent(FakeDisplay(1), kEventWindowHidden, 0, 0, 0);
    QueueEvent(FakeDisplay(2), kEventWindowShown, 0, 0, 0);
    DetachDisplayEvents(FakeDisplay(1));
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    EventInfo info;
    FetchEvent(nullptr, 0, &info, 0);
    EXPECT_EQ(info.display, nullptr);
    FetchEvent(nullptr, 1, &info, 0);
    EXPECT_EQ(info.display, FakeDisplay(2));
}

std::mutex g_wakeMutex;
std::condition_variable g_wakeSignal;
bool g_woken = false;
void Wake() {
    std::lock_guard<std::mutex> lock(g_wakeMutex);
    g_woken = true;
    g_wakeSignal.notify_one();
}

TEST_F(EventQueue, EventFromOtherThreadWakesMainThread) {
    g_woken = false;
    WakeMainThreadHook = Wake;
    std::thread producer([] { QueueEvent(nullptr, kEventClipboardChanged, 0, 0, 0); });
    {
        std::unique_lock<std::mutex> lock(g_wakeMutex);
        g_wakeSignal.wait(lock, [] { return g_woken; });
    }
    producer.join();
    std::lock_guard<std::recursive_mutex> lock(EventQueueSemaphore);
    EventInfo info;
    ASSERT_EQ(FetchEvent(nullptr, 0, &info, 0), 1);
    EXPECT_EQ(info.kind, kEventClipboardChanged);
}

TEST_F(EventQueue, EventFromOtherThreadSignalsMainTask) {
    ASSERT_EQ(StartupSystem(), 0);
    std::thread producer([] { QueueEvent(nullptr, kEventClipboardChanged, 0, 0, 0); });
    producer.join();
    EXPECT_NE(WaitSystemSignalsTimeout(0, 0) & kSignalEvent, 0u);
    ShutdownSystem();
}

TEST_F(EventQueue, ManyProducersLoseNothingBelowCapacity) {
    std::vector<std::thread> producers;
    for (int t = 0; t < 4; t++)
        producers.emplace_back([t] {
            for (int i = 0; i < 50; i++) QueueEvent(nullptr, kEventKey, 1, t, i);
        });
    for (auto &p : producers) p.join();
    EXPECT_EQ(QueuedEventCount(), 200);
}

} // namespace
