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

// The per-line hook's gate: kPumpNow at least once per millisecond while a script runs, set by a ticker thread on
// the real clock and by AdvanceVirtualClock on the virtual one (the ticker leaves it alone then), and by events;
// kPumpCounting while the hook counts the lines run since the last pump. The hook tests it with a relaxed load,
// so no script line reads the clock unless the gate is open.
constexpr int kPumpNow = 1, kPumpCounting = 2;
extern std::atomic<int> PumpDue;
// Asks the ticker to set kPumpNow once, so many microseconds from now (real clock only).
void RequestPumpTick(int64_t microseconds);
// True from a request until its tick or PumpPaused.
bool PumpTickRequested();
// Called before the main thread sleeps: a requested tick is cancelled, as nothing runs to take it, and the first
// line after the sleep pumps.
void PumpPaused();
// Starts the ticker (again after StopPumpTicker); StopPumpTicker joins it.
void StartPumpTicker();
void StopPumpTicker();
