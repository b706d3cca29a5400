// Frame pacing: WaitFrame waits for the next frame deadline of the SetFPSLimit rate, or of the vertical blank.
#pragma once

#include <cstdint>

struct VMState;

// The rate that stands in for the vertical blank when no limit is set and no display supplies its own wait.
constexpr int32_t kVerticalBlankRate = 60;

// 0 turns the limit off (frames follow the vertical blank). Negative rates count as 0.
void SetFPSLimit(int32_t framesPerSecond);

// The display code may supply a real vertical-blank wait (vsync); it is used when no limit is set.
extern void (*WaitVerticalBlankHook)();

// Waits until the next deadline. Deadlines lie one period apart; a caller that comes late (a stall) starts a new
// series one period after now instead of bursting through the missed ones. Returns the deadline waited for in
// monotonic microseconds. A quit request ends the wait early.
int64_t WaitFrame(VMState *vm);
// Forgets the deadline series (a new limit, tests).
void ResetFramePacing();
