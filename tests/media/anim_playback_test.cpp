// PlayAnim on the virtual clock with a display whose output is a plain bitmap: the pace of each speed, runs,
// clipping at the edges, the refused outputs and async playback. A pump records when each frame first shows.
#include <gtest/gtest.h>

#include "host/blit.h"
#include "host/clock.h"
#include "host/tasks.h"
#include "imaging/async_draw.h"
#include "imaging/blit.h"
#include "imaging/frame_pacing.h"
#include "imaging/graphics_library.h"
#include "media/anim/anim.h"
#include "runtime/app/runtime_globals.h"
#include "scene/display/display_list.h"
#include "scene/display/display_record.h"
#include "scene/images/bgpic.h"

namespace {

HostBitmap *gOutput = nullptr;
std::vector<std::pair<double, uint32_t>> gSeen; // when (ms) the probed pixel took a new colour, and the colour

int RecordingPump(VMState *) {
    const uint32_t colour = HostBitmapRow32(gOutput, 1)[0] & 0xFFFFFF;
    if (gSeen.empty() || gSeen.back().second != colour) gSeen.emplace_back(MonotonicMicroseconds() / 1000.0, colour);
    return 0;
}

struct AnimPlayback : testing::Test {
    VMState *vm = nullptr;
    DisplayRecord display;
    void SetUp() override {
        ResetRuntimeGlobals();
        InstallVirtualClock(0);
        ResetFramePacing();
        vm = NewVMState();
        InitRuntimeSupport(vm);
        gOutput = AllocHostBitmap(64, 48);
        CurrentOutputBitmapHook = [] { return gOutput; };
        CurrentDisplay = &display; // never opened: nothing is presented
        SetPumpEventsFunction(RecordingPump);
        gSeen.clear();
    }
    void TearDown() override {
        FreeAllAsyncDraws();
        FreeAllAnims();
        SetPumpEventsFunction(nullptr);
        CurrentOutputBitmapHook = nullptr;
        CurrentDisplay = nullptr;
        FreeHostBitmap(gOutput);
        CloseVMState(vm);
        ClearCommandRegistry();
        RemoveVirtualClock();
    }
    // An 8 x 4 anim, one colour per frame (column x adds x); frames listed in masked have their left half hidden.
    AnimObject *MakeAnim(std::vector<uint32_t> colours, std::vector<int> masked = {}) {
        std::vector<AnimFrame> frames;
        for (size_t k = 0; k < colours.size(); k++) {
            AnimFrame f;
            f.bitmap = AllocHostBitmap(8, 4);
            for (int x = 0; x < 8; x++) RECTFILL(f.bitmap, x, 0, 1, 4, colours[k] + uint32_t(x));
            if (std::find(masked.begin(), masked.end(), int(k)) != masked.end()) {
                f.mask = AllocMaskPlane(f.bitmap, 8, 4, true);
                FillMaskRect(f.mask, 4, 0, 4, 4, MASKVISIBLE);
            }
            frames.push_back(f);
        }
        AnimObject *anim = nullptr;
        EXPECT_EQ(AddAnimRecord(ObjectId{1, nullptr}, 8, 4, std::move(frames), -1, &anim), 0);
        return anim;
    }
    int Play(int32_t x, int32_t y, int32_t speed, int32_t times = 1, int32_t async = 0) {
        PlayAnimRequest request;
        request.id = ObjectId{1, nullptr}, request.x = x, request.y = y;
        request.speed = speed, request.times = times, request.async = async;
        return PlayAnimCore(vm, request);
    }
    std::vector<uint32_t> Colours() const {
        std::vector<uint32_t> c;
        for (size_t i = 1; i < gSeen.size(); i++) c.push_back(gSeen[i].second); // [0] is the empty output
        return c;
    }
};

TEST_F(AnimPlayback, EachSpeedPacesTheFrames) {
    const double period = 1000.0 / kVerticalBlankRate;
    struct Case {
        int32_t speed;
        double interval; // ms between frames
    } cases[] = {{5, 100}, {FASTSPEED, period}, {0, period}, {NORMALSPEED, 60}, {SLOWSPEED, 160}, {DEFAULTSPEED, 0}};
    for (const Case &c : cases) {
        FreeAllAnims();
        AnimObject *anim = MakeAnim({0x100000, 0x200000, 0x300000, 0x400000});
        anim->delays = {30, 50, 70, 40};
        gSeen.clear();
        RECTFILL(gOutput, 0, 0, 64, 48, 0);
        ASSERT_EQ(Play(0, 0, c.speed, 2), 0);
        const size_t timed = gSeen.size(); // the pump may not run after the last frame
        RecordingPump(vm);
        // Twice through the frames in order.
        EXPECT_EQ(Colours(), std::vector<uint32_t>({0x100000, 0x200000, 0x300000, 0x400000, 0x100000, 0x200000,
                                                    0x300000, 0x400000}))
            << c.speed;
        for (size_t i = 2; i < timed; i++) {
            const double want = c.speed == DEFAULTSPEED ? std::max<double>(anim->delays[(i - 2) % 4], period) : c.interval;
            // A delay counts from the end of the frame before's; the display's frame pace moves each draw by up to a
            // period.
            EXPECT_NEAR(gSeen[i].first - gSeen[i - 1].first, want, period + 1) << "speed " << c.speed << " frame " << i;
        }
    }
}

TEST_F(AnimPlayback, ClipsAtTheEdgesAndRestoresTheBackgroundUnderMaskedFrames) {
    MakeAnim({0x100000, 0x200000}, {1});
    RECTFILL(gOutput, 0, 0, 64, 48, 0x0000FF);
    ASSERT_EQ(Play(-3, 0, FASTSPEED), 0);
    // Frame 2 shows its right half (columns 4-7 at 1-4); its hidden half shows the background, not frame 1.
    const uint32_t *row = HostBitmapRow32(gOutput, 2);
    EXPECT_EQ(row[0] & 0xFFFFFF, 0x0000FFu);
    for (int x = 1; x < 5; x++) EXPECT_EQ(row[x] & 0xFFFFFF, 0x200000u + uint32_t(x + 3)) << x;
    EXPECT_EQ(row[5] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(HostBitmapRow32(gOutput, 4)[1] & 0xFFFFFF, 0x0000FFu);
    for (auto [x, y] : {std::pair{-8, 0}, {64, 0}, {0, 48}, {0, -4}}) EXPECT_EQ(Play(x, y, 0), 1055) << x << "," << y;
    EXPECT_EQ(AnimList.front()->lockCount, 0);
}

TEST_F(AnimPlayback, RefusesOutputsOtherThanTheDisplay) {
    MakeAnim({0x100000});
    OutputRecord output;
    display.selectOutput = &output;
    struct Case {
        int32_t outputKind, sourceKind, doubleBuffering;
        int error;
    } cases[] = {{ObjectKindDisplay, 0, 1, 1229},          {ObjectKindBrush, ObjectKindBrush, 0, 1082},
                 {ObjectKindBrush, ObjectKindTextObject, 0, 1082}, {ObjectKindAnim, ObjectKindAnim, 0, 1339},
                 {ObjectKindMask, ObjectKindBrush, 0, 1147},       {ObjectKindAlphaChannel, ObjectKindBrush, 0, 1167},
                 {ObjectKindBGPic, ObjectKindBGPic, 0, 1056}};
    for (const Case &c : cases) {
        display.outputKind = c.outputKind, display.doubleBuffering = c.doubleBuffering;
        output.outputSourceKind = c.sourceKind;
        EXPECT_EQ(Play(0, 0, 0), c.error) << c.outputKind;
    }
    display.selectOutput = nullptr;
}

TEST_F(AnimPlayback, AsyncPlaybackStepsAtItsDueTimesAndLocksTheAnim) {
    MakeAnim({0x100000, 0x200000, 0x300000});
    ASSERT_EQ(Play(0, 0, 5, 1, 1), 1);
    auto *handle = static_cast<AsyncDrawObject *>(ToHandle(vm, -1));
    ASSERT_NE(FindAsyncDraw(handle), nullptr);
    AnimObject *anim = nullptr;
    EXPECT_EQ(FindAnim(ObjectId{1, nullptr}, &anim, kFindAnimModify), 1314);
    int32_t finished = 0;
    auto probe = [] { return HostBitmapRow32(gOutput, 1)[0] & 0xFFFFFF; };
    EXPECT_EQ(StepAsyncDraw(handle, &finished), 0);
    EXPECT_EQ(probe(), 0x100000u);
    AdvanceVirtualClock(99 * 1000);
    EXPECT_EQ(StepAsyncDraw(handle, &finished), 0);
    EXPECT_EQ(probe(), 0x100000u); // frame 2 is due at 100 ms
    AdvanceVirtualClock(1000);
    EXPECT_EQ(StepAsyncDraw(handle, &finished), 0);
    EXPECT_EQ(probe(), 0x200000u);
    AdvanceVirtualClock(100 * 1000);
    EXPECT_EQ(StepAsyncDraw(handle, &finished), 0);
    EXPECT_EQ(probe(), 0x300000u);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(FindAsyncDraw(handle), nullptr);
    EXPECT_EQ(FindAnim(ObjectId{1, nullptr}, &anim, kFindAnimModify), 0);
}

} // namespace
