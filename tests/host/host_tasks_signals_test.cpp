#include "host/clock.h"
#include "host/subprocess.h"
#include "host/tasks.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"
#include "tests/runtime/vm/vm_test_support.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

class TasksTest : public ::testing::Test {
protected:
    void SetUp() override {
        QuitRequested = 0;
        ASSERT_EQ(StartupSystem(), 0);
        SetSystemOption(0, 8, 1);
    }
    void TearDown() override {
        ShutdownSystem();
        RemoveVirtualClock();
        SetPumpEventsFunction(nullptr);
        SetSystemWaitFunctions(nullptr, nullptr);
        SetSystemOption(0, 8, 1);
        QuitRequested = 0;
    }
};

TEST_F(TasksTest, WaitWakesOnASignalPostedFromAnotherThread) {
    int bit = AllocSignalBit();
    ASSERT_GE(bit, 19);
    std::thread poster([bit] { SignalMainTask(1u << bit); });
    uint32_t got = WaitSystemSignals(nullptr, 1u << bit);
    poster.join();
    EXPECT_EQ(got, 1u << bit);
    FreeSignalBit(bit);
}

TEST_F(TasksTest, MainSignalBitWakesTheStandardWait) {
    std::thread poster([] { SignalMainTask(1u << MainSignalBit); });
    EXPECT_EQ(WaitSystemSignals(nullptr, 0), 1u << MainSignalBit);
    poster.join();
}

TEST_F(TasksTest, InterruptSetsQuitRequested) {
    raise(SIGINT);
    EXPECT_EQ(WaitSystemSignals(nullptr, 0), kSignalBreak);
    EXPECT_EQ(QuitRequested.load(), 1);
}

TEST_F(TasksTest, InterruptIsIgnoredWhileTheCtrlCSwitchIsOff) {
    InstallVirtualClock(0);
    SetSystemOption(0, 8, 0);
    RaiseBreakSignal();
    EXPECT_EQ(WaitSystemSignalsTimeout(0, 10), 0u);
    EXPECT_EQ(QuitRequested.load(), 0);
}

TEST_F(TasksTest, SignalsOutsideTheMaskStayPending) {
    InstallVirtualClock(0);
    int bit = AllocSignalBit();
    SignalMainTask(1u << bit);
    EXPECT_EQ(WaitSystemSignalsTimeout(0, 5), 0u);
    EXPECT_EQ(WaitSystemSignalsTimeout(1u << bit, 0), 1u << bit);
    FreeSignalBit(bit);
}

TEST_F(TasksTest, TakeSignalsClearsOnlyTheAskedBits) {
    SignalMainTask(kSignalEvent | kSignalMain);
    EXPECT_EQ(TakeSignals(kSignalEvent), kSignalEvent);
    EXPECT_EQ(TakeSignals(kSignalEvent), 0u);
    EXPECT_EQ(WaitSystemSignalsTimeout(0, 0), kSignalMain);
}

TEST_F(TasksTest, WaitReturnsWhenATimerFallsDueOnTheVirtualClock) {
    InstallVirtualClock(0);
    ASSERT_EQ(ControlTimerRequest(kTimerAddInterval, 7, 250), 0);
    EXPECT_EQ(WaitSystemSignals(nullptr, 0), kSignalTimer);
    EXPECT_EQ(MonotonicMicroseconds(), 250000);
}

TEST_F(TasksTest, WaitTicksAdvancesTheVirtualClockWithoutSleeping) {
    InstallVirtualClock(0);
    EXPECT_EQ(WaitTicks(nullptr, 1500), 0);
    EXPECT_EQ(MonotonicMicroseconds(), 1500000);
}

TEST_F(TasksTest, WaitTicksStopsEarlyWhenThePumpAsksToQuit) {
    InstallVirtualClock(0);
    SetPumpEventsFunction([](VMState *) { return MonotonicMicroseconds() > 0 ? 1 : 0; });
    SetSystemWaitFunctions(nullptr, nullptr);
    EXPECT_EQ(WaitTicks(nullptr, 1000), 1);
}

// SIGTERM, or a CTRL-C that quits, arriving during any wait a script can start ends it at once, however long:
// Wait, a deadline such as a frame's, an input wait. Each is a minute long here: one that the quit does not wake
// returns after it (and then says 1 from its last pump), or never (the input wait).
TEST_F(TasksTest, ATerminationSignalEndsEveryWait) {
    SetPumpEventsFunction([](VMState *) { return QuitRequested.load(); });
    static std::atomic<bool> waiting;
    SetSystemWaitFunctions(
        [](int64_t timeoutMicros) {
            waiting = true;
            WaitForWakeOrInput(-1, timeoutMicros);
        },
        nullptr);
    constexpr int64_t kMinute = 60000;
    int (*const waits[])() = {
        [] { return WaitTicks(nullptr, kMinute); },
        [] { return WaitUntilDeadline(nullptr, MonotonicMicroseconds() + kMinute * 1000); },
        [] { // as the input waits do: a return without the quit (a wake left over) waits again
            PumpEvents(nullptr);
            do WaitSystemSignals(nullptr, 0);
            while (!PumpEvents(nullptr));
            return 1;
        },
    };
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        for (size_t i = 0; i < std::size(waits); i++) {
            QuitRequested = 0;
            TakeSignals(~0u);
            waiting = false;
            // Sent once the wait has gone to sleep (or is about to).
            std::thread sender([signalNumber] {
                while (!waiting) std::this_thread::yield();
                raise(signalNumber);
            });
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(waits[i](), 1) << signalNumber << " " << i;
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << signalNumber << " " << i;
            sender.join();
        }
    }
}

// A window closed during a deadline wait a minute long (a frame's): the host's wait returns with the window's
// message, the pump turns the close into a quit, and the wait ends.
TEST_F(TasksTest, AWindowClosedDuringADeadlineWaitEndsIt) {
    static bool closed;
    closed = false;
    SetSystemWaitFunctions([](int64_t) { closed = true; }, [] {});
    SetPumpEventsFunction([](VMState *) { return closed ? 1 : 0; });
    EXPECT_EQ(WaitUntilDeadline(nullptr, MonotonicMicroseconds() + 60000000), 1);
    SetSystemWaitFunctions(nullptr, nullptr);
}

TEST_F(TasksTest, ReplacedWaitFunctionIsTheOneThatBlocks) {
    static int calls;
    calls = 0;
    SetSystemWaitFunctions([](int64_t) { ++calls; }, [] {});
    EXPECT_EQ(WaitSystemSignals(nullptr, 0), kSignalEvent); // a window message ends the wait
    EXPECT_EQ(calls, 1);
    SetSystemWaitFunctions(nullptr, nullptr);
}

// The player's line hook on an endless loop under the virtual clock: a pump per millisecond the clock advances
// and one for an event queued from another thread, none otherwise; a quit from the pump or from another thread
// ends the loop at its next line.
TEST_F(TasksTest, LineHookPumpsWhenDueAndAQuitStopsABusyLoop) {
    InstallVirtualClock(0);
    static std::atomic<int> pumps, quitAt;
    pumps = 0;
    quitAt = 3;
    SetPumpEventsFunction([](VMState *) { return ++pumps >= quitAt ? 1 : 0; });
    VMState *vm = NewVMState();
    InstallPumpLineHook(vm);
    FunctionProto loop = NewFunction(1);
    Code(loop, 5, {AsBx(OP_JMP, 0, -1), ABC(OP_RETURN, 0, 1, 0)});
    auto waitFor = [](int n) {
        while (pumps < n) std::this_thread::yield();
    };
    auto run = [&] {
        EXPECT_EQ(PushProtoClosure(vm, loop), 0);
        return ProtectedCall(vm, 0, 0, 0);
    };
    PumpDue = 0;
    std::thread driver([&] {
        AdvanceVirtualClock(400);
        AdvanceVirtualClock(400);
        std::this_thread::sleep_for(std::chrono::milliseconds(5)); // the loop spins; nothing is due yet
        EXPECT_EQ(pumps, 0);
        AdvanceVirtualClock(400);
        waitFor(1);
        SignalMainTask(kSignalEvent);
        waitFor(2);
        AdvanceVirtualClock(1000); // the third pump asks to quit
    });
    EXPECT_EQ(run(), kErrUserAbort);
    driver.join();
    EXPECT_EQ(pumps, 3);
    EXPECT_EQ(TakeSignals(kSignalEvent), 0u); // the pump took the event

    quitAt = 1000;
    std::thread quitter([&] {
        AdvanceVirtualClock(1000); // a pump shows the loop is running
        waitFor(4);
        QuitRequested = 1;
    });
    EXPECT_EQ(run(), kErrUserAbort);
    quitter.join();
    EXPECT_EQ(pumps, 4);
    CloseVMState(vm);
}

// On the real clock a script that only computes goes on pumping: after each pump the hook counts lines, then asks
// the ticker for the next tick (nothing sleeps: the loop spins until its fifth pump asks to quit). A wait cancels
// a tick nobody would take, and the first line after it pumps.
TEST_F(TasksTest, AComputingScriptGetsItsTicksAndAWaitCancelsThem) {
    static std::atomic<int> pumps;
    pumps = 0;
    SetPumpEventsFunction([](VMState *) { return ++pumps >= 5 ? 1 : 0; });
    VMState *vm = NewVMState();
    InstallPumpLineHook(vm);
    FunctionProto loop = NewFunction(1);
    Code(loop, 5, {AsBx(OP_JMP, 0, -1), ABC(OP_RETURN, 0, 1, 0)});
    PumpDue = kPumpNow;
    EXPECT_EQ(PushProtoClosure(vm, loop), 0);
    EXPECT_EQ(ProtectedCall(vm, 0, 0, 0), kErrUserAbort);
    EXPECT_EQ(pumps, 5);
    CloseVMState(vm);

    RequestPumpTick(60 * 1000000);
    EXPECT_TRUE(PumpTickRequested());
    PumpDue = 0;
    PumpPaused();
    EXPECT_FALSE(PumpTickRequested());
    EXPECT_EQ(PumpDue, kPumpNow);
}

// A batch drawn later reaches the window within a 60 Hz frame while the script only computes: the line-hook
// pump, once a millisecond of script time, flushes it after 15 ms.
TEST_F(TasksTest, LineHookPumpFlushesABatchWithinAFrame) {
    InstallVirtualClock(0);
    static int64_t flushedAt;
    flushedAt = -1;
    SetPumpEventsFunction([](VMState *) {
        if (flushedAt >= 0 || MonotonicMicroseconds() > 100000) return 1;
        AdvanceVirtualClock(1000);
        return 0;
    });
    VMState *vm = NewVMState();
    InstallPumpLineHook(vm);
    FunctionProto loop = NewFunction(1);
    Code(loop, 5, {AsBx(OP_JMP, 0, -1), ABC(OP_RETURN, 0, 1, 0)});
    SetCommandBarrier(vm, [] { flushedAt = MonotonicMicroseconds(); }, [](const char *) { return true; });
    PumpDue = 1;
    EXPECT_EQ(PushProtoClosure(vm, loop), 0);
    EXPECT_EQ(ProtectedCall(vm, 0, 0, 0), kErrUserAbort);
    EXPECT_GE(flushedAt, 10000);
    EXPECT_LE(flushedAt, 16667);
    EXPECT_EQ(PendingCommandBarrier(), 0u);
    CloseVMState(vm);
}

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override { InstallVirtualClock(0); }
    void TearDown() override {
        FreeAllTimerRequests();
        RemoveVirtualClock();
    }
    int PollOne(int32_t *owner) {
        int kind;
        PollTimerRequest(nullptr, &kind, owner);
        return kind;
    }
};

TEST_F(TimerTest, IntervalIsDueAfterItsPeriodAndRearms) {
    ControlTimerRequest(kTimerAddInterval, 3, 100);
    int32_t owner = 0;
    EXPECT_EQ(PollOne(&owner), kTimerNotDue);
    AdvanceVirtualClock(100000);
    EXPECT_EQ(PollOne(&owner), kTimerInterval);
    EXPECT_EQ(owner, 3);
    EXPECT_EQ(PollOne(&owner), kTimerNotDue); // re-armed for 200 ms
    AdvanceVirtualClock(100000);
    EXPECT_EQ(PollOne(&owner), kTimerInterval);
}

TEST_F(TimerTest, LateIntervalRearmsFromNow) {
    ControlTimerRequest(kTimerAddInterval, 1, 100);
    AdvanceVirtualClock(1000000); // ten periods missed
    int32_t owner;
    EXPECT_EQ(PollOne(&owner), kTimerInterval);
    EXPECT_EQ(PollOne(&owner), kTimerNotDue); // not ten catch-up calls
    EXPECT_EQ(TimeUntilNextTimer(), 100000);
}

TEST_F(TimerTest, TimeoutFiresOnceAndIsFreed) {
    ControlTimerRequest(kTimerAddTimeout, 9, 50);
    AdvanceVirtualClock(50000);
    int32_t owner;
    EXPECT_EQ(PollOne(&owner), kTimerTimeout);
    EXPECT_EQ(owner, 9);
    EXPECT_EQ(FindTimerRequest(kTimerTimeout, 9), nullptr);
    EXPECT_EQ(TimeUntilNextTimer(), -1);
}

TEST_F(TimerTest, ChangedPeriodAppliesFromTheNextRearm) {
    ControlTimerRequest(kTimerAddInterval, 2, 100);
    ControlTimerRequest(kTimerChangeInterval, 2, 300);
    EXPECT_EQ(TimeUntilNextTimer(), 100000);
    AdvanceVirtualClock(100000);
    int32_t owner;
    EXPECT_EQ(PollOne(&owner), kTimerInterval);
    EXPECT_EQ(TimeUntilNextTimer(), 300000);
}

// A due request wakes the wait once: a wait that never polls (WaitLeftMouse) then sleeps on instead of spinning
// until the dispatch takes the request, and wakes again when the request, re-armed, falls due.
TEST_F(TimerTest, ADueRequestWakesTheWaitOnce) {
    ControlTimerRequest(kTimerAddInterval, 4, 100);
    ControlTimerRequest(kTimerAddTimeout, 6, 250);
    EXPECT_EQ(WaitSystemSignalsTimeout(0, -1), kSignalTimer);
    EXPECT_EQ(MonotonicMicroseconds(), 100000);
    EXPECT_EQ(WaitSystemSignalsTimeout(0, 50), 0u);
    EXPECT_EQ(MonotonicMicroseconds(), 150000);
    EXPECT_EQ(WaitSystemSignalsTimeout(0, -1), kSignalTimer); // the timeout
    EXPECT_EQ(MonotonicMicroseconds(), 250000);
    int32_t owner;
    EXPECT_EQ(PollOne(&owner), kTimerInterval); // re-armed for 350 ms
    EXPECT_EQ(WaitSystemSignalsTimeout(0, -1), kSignalTimer);
    EXPECT_EQ(MonotonicMicroseconds(), 350000);
}

TEST_F(TimerTest, RemovedRequestsAreGoneAndKeyedByKind) {
    ControlTimerRequest(kTimerAddInterval, 5, 100);
    ControlTimerRequest(kTimerAddTimeout, 5, 100);
    ControlTimerRequest(kTimerRemoveInterval, 5, 0);
    EXPECT_EQ(FindTimerRequest(kTimerInterval, 5), nullptr);
    EXPECT_NE(FindTimerRequest(kTimerTimeout, 5), nullptr);
    ControlTimerRequest(kTimerRemoveTimeout, 5, 0);
    EXPECT_EQ(FindTimerRequest(kTimerTimeout, 5), nullptr);
}

TEST_F(TimerTest, PollWalksTheListInOrder) {
    ControlTimerRequest(kTimerAddInterval, 1, 10);
    ControlTimerRequest(kTimerAddTimeout, 2, 10);
    AdvanceVirtualClock(10000);
    int kind;
    int32_t owner;
    TimerRequestNode *next = PollTimerRequest(nullptr, &kind, &owner);
    EXPECT_EQ(owner, 1);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(PollTimerRequest(next, &kind, &owner), nullptr);
    EXPECT_EQ(owner, 2);
    EXPECT_EQ(kind, kTimerTimeout);
}

TEST_F(TimerTest, PollOfARemovedNodeEndsTheWalkSafely) {
    ControlTimerRequest(kTimerAddInterval, 1, 10);
    ControlTimerRequest(kTimerAddInterval, 2, 10);
    TimerRequestNode *successor = nullptr;
    FindTimerRequest(kTimerInterval, 1, &successor);
    ControlTimerRequest(kTimerRemoveInterval, 2, 0);
    int kind;
    int32_t owner;
    EXPECT_EQ(PollTimerRequest(successor, &kind, &owner), nullptr);
    EXPECT_EQ(kind, kTimerNotDue);
}

TEST(Programs, SynchronousRunWaitsForTheProgram) {
    std::string marker = "/tmp/vl-run-" + std::to_string(getpid());
    EXPECT_EQ(StartProgram("sh", ("-c \"echo done > " + marker + "\"").c_str(), 0), 0);
    EXPECT_EQ(ReadFileText(marker), "done\n"); // written whole before StartProgram returned
    unlink(marker.c_str());
}

TEST(Programs, AsynchronousRunStartsTheProgram) {
    EXPECT_EQ(StartProgram("true", "", 1), 0);
    EXPECT_EQ(StartProgram("/nonexistent/vl-program", "", 1), kErrCannotOpen);
}

TEST(Programs, MissingProgramGivesCannotOpenWithItsName) {
    EXPECT_EQ(StartProgram("/nonexistent/vl-program", "", 0), kErrCannotOpen);
    EXPECT_EQ(ErrorArgString(), "/nonexistent/vl-program");
}

TEST(Programs, OptionalLibrariesAreBuiltInOrRefusedByName) {
    void *base = nullptr;
    EXPECT_EQ(OpenOptionalLibrary("z.library", &base), 0);
    EXPECT_NE(base, nullptr);
    EXPECT_EQ(OpenOptionalLibrary("nosuch.library", &base), kErrCannotOpen);
    EXPECT_EQ(ErrorArgString(), "nosuch.library");
}

} // namespace
