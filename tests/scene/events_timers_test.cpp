// Intervals and timeouts on the virtual clock: firing, re-arming without catch-up, clearing inside callbacks.
#include "runtime/app/errors.h"
#include "scene/events/event_commands.h"
#include "scene/events/timed_callbacks.h"
#include "tests/scene/events_fixture.h"

namespace {

class Timers : public EventFixture {
protected:
    int AddInterval(int32_t number, int32_t ms) {
        return AddTimedCallback(vm, kTimerInterval, ObjectId{number, nullptr}, ms, RecorderRef(), -1);
    }
    int AddTimeout(int32_t number, int32_t ms) {
        return AddTimedCallback(vm, kTimerTimeout, ObjectId{number, nullptr}, ms, RecorderRef(), -1);
    }
};

TEST_F(Timers, IntervalFiresAtItsPeriodAndNotBefore) {
    ASSERT_EQ(AddInterval(1, 100), 0);
    AdvanceMs(99);
    EXPECT_EQ(CheckEvent(), 0);
    AdvanceMs(1);
    RecordedMessage table;
    EXPECT_EQ(CheckEvent(&table), 1);
    ASSERT_EQ(Recorder.messages.size(), 1u);
    EXPECT_EQ(Recorder.messages[0].Keys(), (std::vector<std::string>{"action", "id"}));
    EXPECT_EQ(Recorder.messages[0].Get("action"), "Interval");
    EXPECT_EQ(Recorder.messages[0].Get("id"), "1");
    EXPECT_EQ(table.Get("nresults"), "0");
}

TEST_F(Timers, MissedPeriodsGiveOneCallbackNotABurst) {
    ASSERT_EQ(AddInterval(1, 100), 0);
    AdvanceMs(1000);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 0);
    AdvanceMs(99);
    EXPECT_EQ(CheckEvent(), 0);
    AdvanceMs(1);
    EXPECT_EQ(CheckEvent(), 1);
}

TEST_F(Timers, WaitEventSleepsUntilTheIntervalIsDue) {
    ASSERT_EQ(AddInterval(1, 250), 0);
    int64_t before = MonotonicMicroseconds();
    EXPECT_EQ(WaitEvent(), 1);
    EXPECT_EQ(MonotonicMicroseconds() - before, 250000);
}

TEST_F(Timers, TwoDueIntervalsComeOnePerWaitEvent) {
    ASSERT_EQ(AddInterval(1, 100), 0);
    ASSERT_EQ(AddInterval(2, 100), 0);
    EXPECT_EQ(WaitEvent(), 1);
    int64_t afterFirst = MonotonicMicroseconds();
    EXPECT_EQ(WaitEvent(), 1);
    EXPECT_EQ(MonotonicMicroseconds(), afterFirst); // the second came from the resumed pass, without waiting
    ASSERT_EQ(Recorder.messages.size(), 2u);
    EXPECT_EQ(Recorder.messages[0].Get("id"), "1");
    EXPECT_EQ(Recorder.messages[1].Get("id"), "2");
}

TEST_F(Timers, SecondSetWithTheSameNumberReplacesTheFirst) {
    ASSERT_EQ(AddInterval(1, 100), 0);
    ASSERT_EQ(AddInterval(1, 100), 0);
    AdvanceMs(100);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 0);
    EXPECT_EQ(Recorder.messages.size(), 1u);
}

TEST_F(Timers, TimeoutFiresOnceAndIsGoneAfterwards) {
    ASSERT_EQ(AddTimeout(1, 50), 0);
    AdvanceMs(50);
    EXPECT_EQ(CheckEvent(), 1);
    AdvanceMs(500);
    EXPECT_EQ(CheckEvent(), 0);
    ASSERT_EQ(Recorder.messages.size(), 1u);
    EXPECT_EQ(Recorder.messages[0].Get("action"), "Timeout");
    EXPECT_EQ(RemoveTimeout(vm, ObjectId{1, nullptr}), 1195);
}

TEST_F(Timers, PeriodBelowOneIsRefusedAndCreatesNothing) {
    EXPECT_EQ(AddInterval(1, 0), 1055);
    EXPECT_TRUE(IntervalList.empty());
    EXPECT_EQ(TimeUntilNextTimer(), -1);
}

TEST_F(Timers, ClearingAnUnknownNumberNamesIt) {
    EXPECT_EQ(RemoveInterval(vm, ObjectId{5, nullptr}), 1194);
    EXPECT_EQ(ErrorArgNumber(), 5);
    int dummy;
    EXPECT_EQ(RemoveInterval(vm, ObjectId{0, &dummy}), 1041);
}

TEST_F(Timers, ChangeIntervalAppliesAfterTheFiringAlreadyArmed) {
    ASSERT_EQ(AddInterval(1, 100), 0);
    ASSERT_EQ(ChangeInterval(ObjectId{1, nullptr}, 500), 0);
    AdvanceMs(100);
    EXPECT_EQ(CheckEvent(), 1);
    AdvanceMs(499);
    EXPECT_EQ(CheckEvent(), 0);
    AdvanceMs(1);
    EXPECT_EQ(CheckEvent(), 1);
}

TEST_F(Timers, ChangeIntervalRefusesAPeriodBelowOne) {
    ASSERT_EQ(AddInterval(1, 100), 0);
    EXPECT_EQ(ChangeInterval(ObjectId{1, nullptr}, 0), 1055);
    AdvanceMs(100);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 0); // still 100 ms, not due at every poll
}

TEST_F(Timers, ClearIntervalInsideItsOwnCallbackIsSafe) {
    ASSERT_EQ(AddInterval(1, 100), 0);
    ASSERT_EQ(AddInterval(2, 100), 0);
    Recorder.inside = [](VMState *vm) {
        if (!IntervalList.empty() && IntervalList.front()->id.number == 1) RemoveInterval(vm, ObjectId{1, nullptr});
    };
    AdvanceMs(100);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 1); // the pass goes on with interval 2
    AdvanceMs(100);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 0);
    ASSERT_EQ(Recorder.messages.size(), 3u);
    EXPECT_EQ(Recorder.messages[2].Get("id"), "2");
}

TEST_F(Timers, TimeoutClearedByAnIntervalOfTheSamePassDoesNotFire) {
    ASSERT_EQ(AddInterval(1, 100), 0);
    ASSERT_EQ(AddTimeout(2, 100), 0);
    Recorder.inside = [](VMState *vm) {
        if (!TimeoutList.empty()) RemoveTimeout(vm, ObjectId{2, nullptr});
    };
    AdvanceMs(100);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(CheckEvent(), 0);
    EXPECT_EQ(Actions(), (std::vector<std::string>{"Interval"}));
}

TEST_F(Timers, TimeoutReleasesItsReferencesAfterTheCall) {
    PushNumber(vm, 42);
    int32_t userdata = MakeRef(vm, kRegistryIndex);
    ASSERT_EQ(AddTimedCallback(vm, kTimerTimeout, ObjectId{1, nullptr}, 10, RecorderRef(), userdata), 0);
    AdvanceMs(10);
    EXPECT_EQ(CheckEvent(), 1);
    EXPECT_EQ(Recorder.messages[0].Get("userdata"), "42");
    PushRef(vm, kRegistryIndex, userdata);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
    SetTop(vm, -2);
}

// The command layer: automatic handles, userdata only with four arguments.
TEST_F(Timers, SetIntervalWithNilReturnsAHandleThatClears) {
    PushNativeFunction(vm, CmdSetInterval, "setinterval");
    PushNil(vm);
    PushNativeFunction(vm, [](VMState *) { return 0; }, "f");
    PushNumber(vm, 100);
    ASSERT_EQ(ProtectedCall(vm, 3, 1, 0), 0);
    ASSERT_EQ(ValueType(vm, -1), TLIGHTHANDLE);
    ObjectId id{0, ToHandle(vm, -1)};
    SetTop(vm, -2);
    EXPECT_EQ(IntervalList.front()->id.handle, id.handle);
    EXPECT_EQ(RemoveInterval(vm, id), 0);
    EXPECT_TRUE(IntervalList.empty());
    EXPECT_EQ(TimeUntilNextTimer(), -1);
}

TEST_F(Timers, SetIntervalWithANonFunctionIsRefused) {
    PushNativeFunction(vm, CmdSetInterval, "setinterval");
    PushNumber(vm, 1);
    PushString(vm, "no function");
    PushNumber(vm, 100);
    EXPECT_EQ(ProtectedCall(vm, 3, 0, 0), 1185);
    EXPECT_TRUE(IntervalList.empty());
}

} // namespace
