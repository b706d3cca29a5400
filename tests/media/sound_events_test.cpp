// The sound event queue: order, times, threads, and the way to the script's handler through the event dispatch.
#include <gtest/gtest.h>

#include <thread>

#include "media/sound/sound_events.h"
#include "media/sound_library.h"
#include "runtime/app/command.h"
#include "runtime/app/runtime_globals.h"
#include "scene/events/event_commands.h"
#include "scene/events/event_library.h"

namespace {

TEST(SoundEvents, QueueKeepsOrderAndComputesPlayTimes) {
    SoundEvent out{99, {1, nullptr}, 99, 99};
    EXPECT_EQ(TakeSoundEvent(&out), 0);
    EXPECT_EQ(out.kind, 99); // untouched
    PostSoundEvent(kSoundEventSampleEnd, {1, nullptr}, 2000, 3, 500);
    PostSoundEvent(kSoundEventSampleLoop, {2, nullptr}, 2000, 1, 500);
    PostSoundEvent(kSoundEventMusicEnd, {3, nullptr}, 0, 1, 500);
    const int32_t expected[][3] = {{1, 4500, 3}, {2, 0, 1}, {3, 0, 1}};
    for (const auto &e : expected) {
        ASSERT_EQ(TakeSoundEvent(&out), 1);
        EXPECT_EQ(out.id.number, e[0]);
        EXPECT_EQ(out.timeMs, e[1]);
        EXPECT_EQ(out.starts, e[2]);
    }
    EXPECT_EQ(TakeSoundEvent(&out), 0);
    EXPECT_NE(SetSoundEventHandler("OnSampleEnd", 1), 0);
    EXPECT_EQ(SoundEventHandlerSet(kSoundEventSampleEnd), 0);
}

TEST(SoundEvents, PostingAndTakingOnTwoThreads) {
    constexpr int kEvents = 20000;
    std::thread poster([] {
        for (int i = 0; i < kEvents; i++) PostSoundEvent(kSoundEventSampleEnd, {i, nullptr}, 1, 1, 0);
    });
    int next = 0;
    SoundEvent out;
    while (next < kEvents) {
        if (TakeSoundEvent(&out)) {
            ASSERT_EQ(out.id.number, next++);
        }
    }
    poster.join();
}

int32_t seenTime = -1, seenStarts = -1;
int RecordSampleEnd(VMState *vm) {
    GetField(vm, 1, "time");
    seenTime = int32_t(VMToNumber(vm, -1));
    GetField(vm, 1, "starts");
    seenStarts = int32_t(VMToNumber(vm, -1));
    return 0;
}

TEST(SoundEvents, ReachOnSampleEndThroughTheDispatch) {
    ResetRuntimeGlobals();
    VMState *vm = NewVMState();
    InitRuntimeSupport(vm);
    RegisterEventLibrary(vm);
    kSoundLibrary.registerLibrary(vm);
    PushNativeFunction(vm, CmdInstallEventHandler, "installeventhandler");
    NewTable(vm);
    PushNativeFunction(vm, RecordSampleEnd, "record");
    SetField(vm, -2, "onsampleend");
    ASSERT_EQ(ProtectedCall(vm, 1, 0, 0), 0);
    EXPECT_EQ(SoundEventHandlerSet(kSoundEventSampleEnd), 1); // told through the attribute tag
    PostSoundEvent(kSoundEventSampleEnd, {7, nullptr}, 2000, 3, 500);
    PushNativeFunction(vm, CmdCheckEvent, "checkevent");
    ASSERT_EQ(ProtectedCall(vm, 0, 0, 0), 0);
    EXPECT_EQ(seenTime, 4500);
    EXPECT_EQ(seenStarts, 3);
    kSoundLibrary.freeAll(vm);
    FreeEventLists(vm);
    CloseVMState(vm);
    ClearCommandRegistry();
}

} // namespace
