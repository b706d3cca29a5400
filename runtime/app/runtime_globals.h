// The runtime's program-wide globals. The player runs one VM on the main thread; only QuitRequested is touched
// from other threads.
#pragma once

#include <atomic>
#include <cstdint>

extern std::atomic<int> QuitRequested; // set by End, the event pump's close/break and an error exit
extern int LastErrorCode;              // the last failed command's code, 0 for none (GetLastError)
extern int CallTraceOn;                // "Now calling %s()" before every command (DebugOutput)
extern int64_t PayloadOffset;          // offset of the applet appended to the program file, 0 for none
extern int StartedFromShell;           // 1 from a shell, 0 from the desktop
extern int ExitOnErrorSwitch;          // attribute tag 12, on at start
extern int ExitOnErrorCount;           // attribute tag 11, raised around every script callback
extern int QuietMode;                  // attribute tag 2
extern int PreloadActive;              // attribute tag 6
extern int EventTimeoutMs;             // attribute tag 1, 1500 at start

// Back to the start-up values (a new VM in tests; the player sets them once).
void ResetRuntimeGlobals();

// The runtime's two random generators: the classic rand and the 48-bit drand48. The math library seeds both.
void SeedRuntimeRand(uint32_t seed);
int RuntimeRand(); // seed = seed x 1103515245 + 12345 (mod 2^32); returns seed mod 2147483647
void SeedRuntimeDrand48(int64_t seed);
double RuntimeDrand48(); // [0, 1)
