#include "imaging/frame_pacing.h"

#include "host/clock.h"
#include "host/tasks.h"

void (*WaitVerticalBlankHook)() = nullptr;

static int32_t gFpsLimit = 0;
static int64_t gNextDeadline = -1;

void SetFPSLimit(int32_t framesPerSecond) {
    gFpsLimit = framesPerSecond > 0 ? framesPerSecond : 0;
    gNextDeadline = -1;
}
void ResetFramePacing() { gNextDeadline = -1; }

int64_t WaitFrame(VMState *vm) {
    if (gFpsLimit == 0 && WaitVerticalBlankHook) {
        WaitVerticalBlankHook();
        return MonotonicMicroseconds();
    }
    const int32_t rate = gFpsLimit > 0 ? gFpsLimit : kVerticalBlankRate;
    const int64_t period = 1000000 / rate;
    const int64_t now = MonotonicMicroseconds();
    if (gNextDeadline < 0 || gNextDeadline + period <= now) gNextDeadline = now + period; // first frame, or a stall
    const int64_t deadline = gNextDeadline;
    // A quit request (SIGTERM, a closed window) ends the wait at once; the script stops at its next line.
    WaitUntilDeadline(vm, deadline);
    gNextDeadline = deadline + period;
    return deadline;
}
