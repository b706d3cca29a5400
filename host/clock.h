// The one clock every time read goes through. Tests install a virtual clock and advance it by hand, so timer,
// interval and frame-pacing tests never sleep: while it is installed, a wait that nothing interrupts advances the
// virtual time to its deadline instead of blocking.
#pragma once

#include <atomic>
#include <cstdint>

// Microseconds of a clock that never jumps (timer deadlines, frame pacing, the pump's rate limit).
int64_t MonotonicMicroseconds();
// Microseconds since 1 January 1970 UTC (time stamps, dates).
int64_t RealtimeMicroseconds();

// Installs a virtual clock: monotonic time starts at 0, real time at realtimeStart (microseconds since 1970).
void InstallVirtualClock(int64_t realtimeStart);
void AdvanceVirtualClock(int64_t microseconds);
// Sets the virtual wall clock (a clock change); monotonic time is not touched.
void SetVirtualRealtime(int64_t realtime);
void RemoveVirtualClock();
int VirtualClockInstalled();
// Called with each virtual advance (the manual sound output pulls the frames it covers); null removes it.
void SetVirtualClockListener(void (*listener)(int64_t microseconds));

// Set at least once per millisecond of monotonic time: by a ticker thread on the real clock, by AdvanceVirtualClock
// on the virtual one (the ticker leaves it alone then). The per-line hook tests it with a relaxed load and clears
// it when it pumps, so no script line reads the clock.
extern std::atomic<int> PumpDue;
// The pump clears PumpDue through this: it also wakes a ticker that went idle while no script line ran.
void PumpTaken();
// Starts the ticker (again after StopPumpTicker); StopPumpTicker joins it.
void StartPumpTicker();
void StopPumpTicker();
