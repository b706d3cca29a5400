#include <gtest/gtest.h>

#include <vector>

#include "host/clock.h"
#include "imaging/async_draw.h"
#include "imaging/frame_pacing.h"

namespace {

// Counts every callback of one object.
struct Probe {
    int steps = 0, ends = 0, frees = 0;
    int doneAfter = 3;
    int failAt = -1;
    int lastEndFlag = -1, lastFreeFlag = -1;
    void *layer = nullptr;
};

int Step(void *context, int32_t *done) {
    auto *p = static_cast<Probe *>(context);
    ++p->steps;
    if (p->steps == p->failAt) return 1234;
    *done = p->steps >= p->doneAfter;
    return 0;
}
void End(void *context, int32_t flag) {
    auto *p = static_cast<Probe *>(context);
    ++p->ends;
    p->lastEndFlag = flag;
    EXPECT_EQ(p->frees, 0) << "end comes before free";
}
void Free(void *context, int32_t flag) {
    auto *p = static_cast<Probe *>(context);
    ++p->frees;
    p->lastFreeFlag = flag;
}
intptr_t Notify(int32_t code, void *argument, void *context) {
    auto *p = static_cast<Probe *>(context);
    if (code == kAsyncNotifyGetLayer) static_cast<void **>(argument)[0] = p->layer;
    return 0;
}

// Each test frees its objects itself while their probes still live.
class AsyncDraws : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_EQ(CountAsyncDraws(), 0); }
};

TEST_F(AsyncDraws, StepsUntilDoneThenEndsAndFreesOnce) {
    Probe probe;
    AsyncDrawObject *handle;
    ASSERT_EQ(CreateAsyncDraw(ADF_FX, Step, End, Free, Notify, &probe, &handle), 0);
    int32_t finished = 0;
    for (int frame = 0; frame < 3; ++frame) ASSERT_EQ(StepAsyncDraw(handle, &finished), 0);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(probe.steps, 3);
    EXPECT_EQ(probe.ends, 1);
    EXPECT_EQ(probe.frees, 1);
    EXPECT_EQ(probe.lastEndFlag, 0);
    EXPECT_EQ(FindAsyncDraw(handle), nullptr);
    // A stale handle is refused, and nothing is called again.
    EXPECT_EQ(StepAsyncDraw(handle, &finished), 1041);
    FreeAllAsyncDraws();
    EXPECT_EQ(probe.steps, 3);
    EXPECT_EQ(probe.ends, 1);
    EXPECT_EQ(probe.frees, 1);
}

TEST_F(AsyncDraws, AFailingStepEndsTheObjectWithTheFailureFlag) {
    Probe probe;
    probe.failAt = 2;
    AsyncDrawObject *handle;
    ASSERT_EQ(CreateAsyncDraw(ADF_ANIM, Step, End, Free, Notify, &probe, &handle), 0);
    int32_t finished;
    EXPECT_EQ(StepAsyncDraw(handle, &finished), 0);
    EXPECT_EQ(StepAsyncDraw(handle, &finished), 1234);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(probe.ends, 1);
    EXPECT_EQ(probe.frees, 1);
    EXPECT_EQ(probe.lastFreeFlag, 1);
}

TEST_F(AsyncDraws, FreeAllEndsAndFreesEveryLiveObjectOnce) {
    Probe a, b;
    ASSERT_EQ(CreateAsyncDraw(ADF_FX, Step, End, Free, Notify, &a, nullptr), 0);
    ASSERT_EQ(CreateAsyncDraw(ADF_ANIM, Step, End, Free, Notify, &b, nullptr), 0);
    EXPECT_EQ(CountAsyncDraws(), 2);
    FreeAllAsyncDraws();
    FreeAllAsyncDraws();
    EXPECT_EQ(CountAsyncDraws(), 0);
    for (Probe *p : {&a, &b}) {
        EXPECT_EQ(p->steps, 0);
        EXPECT_EQ(p->ends, 1);
        EXPECT_EQ(p->frees, 1);
        EXPECT_EQ(p->lastEndFlag, 1);
    }
}

TEST_F(AsyncDraws, NotifyCodeSixTellsWhichLayerIsDrawnInto) {
    int layerA, layerB;
    Probe probe;
    probe.layer = &layerA;
    ASSERT_EQ(CreateAsyncDraw(ADF_ANIM, Step, End, Free, Notify, &probe, nullptr), 0);
    EXPECT_TRUE(LayerHasAsyncDraw(&layerA));
    EXPECT_FALSE(LayerHasAsyncDraw(&layerB));
    EXPECT_FALSE(LayerHasAsyncDraw(nullptr));
    FreeAllAsyncDraws(); // before the probe goes out of scope
}

TEST_F(AsyncDraws, NotificationsReachEveryObject) {
    static int seen = 0;
    seen = 0;
    auto count = [](int32_t code, void *, void *) -> intptr_t {
        if (code == kAsyncNotifyLayerChanged) ++seen;
        return 0;
    };
    Probe a, b;
    ASSERT_EQ(CreateAsyncDraw(ADF_FX, Step, End, Free, count, &a, nullptr), 0);
    ASSERT_EQ(CreateAsyncDraw(ADF_ANIM, Step, End, Free, count, &b, nullptr), 0);
    EXPECT_EQ(NotifyAsyncDraws(kAsyncNotifyLayerChanged, nullptr), 0);
    EXPECT_EQ(seen, 2);
    FreeAllAsyncDraws();
}

TEST_F(AsyncDraws, TheEmulatedBackgroundComesFromATransition) {
    static int bgpic;
    auto answer = [](int32_t code, void *argument, void *) -> intptr_t {
        if (code == kAsyncNotifyGetBGPic) static_cast<void **>(argument)[0] = &bgpic;
        return 0;
    };
    Probe probe;
    EXPECT_EQ(FindAsyncDrawBGPic(), nullptr);
    ASSERT_EQ(CreateAsyncDraw(ADF_FX, Step, End, Free, answer, &probe, nullptr), 0);
    EXPECT_EQ(FindAsyncDrawBGPic(), &bgpic);
    FreeAllAsyncDraws();
}

TEST_F(AsyncDraws, ObjectsBelongToTheDisplayCurrentAtCreation) {
    static int displayA, displayB;
    CurrentDisplayHook = [] { return static_cast<void *>(&displayA); };
    Probe probe;
    ASSERT_EQ(CreateAsyncDraw(ADF_FX, Step, End, Free, Notify, &probe, nullptr), 0);
    CurrentDisplayHook = nullptr;
    EXPECT_TRUE(DisplayHasAsyncDraws(&displayA));
    EXPECT_FALSE(DisplayHasAsyncDraws(&displayB));
    FreeAsyncDrawsOfDisplay(&displayA);
    EXPECT_EQ(probe.frees, 1);
}

// ---- Frame pacing on the virtual clock ------------------------------------------------------------------------
class FramePacing : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallVirtualClock(0);
        SetFPSLimit(50);
    }
    void TearDown() override {
        SetFPSLimit(0);
        RemoveVirtualClock();
    }
};

TEST_F(FramePacing, FiftyFramesAreTwentyMillisecondsApart) {
    const int64_t start = MonotonicMicroseconds();
    std::vector<int64_t> deadlines;
    for (int i = 0; i < 50; ++i) deadlines.push_back(WaitFrame(nullptr));
    ASSERT_EQ(deadlines.size(), 50u);
    EXPECT_EQ(deadlines[0], start + 20000);
    for (size_t i = 1; i < deadlines.size(); ++i) EXPECT_EQ(deadlines[i] - deadlines[i - 1], 20000) << i;
    EXPECT_EQ(MonotonicMicroseconds(), start + 50 * 20000);
}

TEST_F(FramePacing, WorkWithinTheFrameDoesNotShiftTheDeadlines) {
    const int64_t first = WaitFrame(nullptr);
    AdvanceVirtualClock(7000); // drawing took 7 ms
    EXPECT_EQ(WaitFrame(nullptr), first + 20000);
}

TEST_F(FramePacing, NoBurstAfterAStall) {
    WaitFrame(nullptr);
    AdvanceVirtualClock(1000000); // a one-second stall
    const int64_t resume = MonotonicMicroseconds();
    const int64_t a = WaitFrame(nullptr), b = WaitFrame(nullptr);
    EXPECT_EQ(a, resume + 20000);
    EXPECT_EQ(b - a, 20000);
}

TEST_F(FramePacing, NoLimitFollowsTheVerticalBlankRate) {
    SetFPSLimit(0);
    const int64_t a = WaitFrame(nullptr), b = WaitFrame(nullptr);
    EXPECT_EQ(b - a, 1000000 / kVerticalBlankRate);
}

} // namespace
