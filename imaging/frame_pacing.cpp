#include "imaging/frame_pacing.h"

#include <chrono>
#include <thread>

#include "host/clock.h"

void (*WaitVerticalBlankHook)() = nullptr;

static int32_t gFpsLimit = 0;
static int64_t gNextDeadline = -1;

void SetFPSLimit(int32_t framesPerSecond) {
    gFpsLimit = framesPerSecond > 0 ? framesPerSecond : 0;
    gNextDeadline = -1;
}
void ResetFramePacing() { gNextDeadline = -1; }

static void SleepUntil(int64_t deadline) {
    for (int64_t now = MonotonicMicroseconds(); now < deadline; now = MonotonicMicroseconds()) {
        if (VirtualClockInstalled()) {
            AdvanceVirtualClock(deadline - now);
        } else {
            PumpPaused();
            std::this_thread::sleep_for(std::chrono::microseconds(deadline - now));
        }
    }
}

int64_t WaitFrame(VMState *) {
    if (gFpsLimit == 0 && WaitVerticalBlankHook) {
        WaitVerticalBlankHook();
        return MonotonicMicroseconds();
    }
    const int32_t rate = gFpsLimit > 0 ? gFpsLimit : kVerticalBlankRate;
    const int64_t period = 1000000 / rate;
    const int64_t now = MonotonicMicroseconds();
    if (gNextDeadline < 0 || gNextDeadline + period <= now) gNextDeadline = now + period; // first frame, or a stall
    const int64_t deadline = gNextDeadline;
    SleepUntil(deadline);
    gNextDeadline = deadline + period;
    return deadline;
}
