#include "runtime/app/runtime_globals.h"

#include <cstdlib>

std::atomic<int> QuitRequested{0};
int LastErrorCode = 0;
int CallTraceOn = 0;
int64_t PayloadOffset = 0;
int StartedFromShell = 0;
int ExitOnErrorSwitch = 1;
int ExitOnErrorCount = 0;
int QuietMode = 0;
int PreloadActive = 0;
int EventTimeoutMs = 1500;

void ResetRuntimeGlobals() {
    QuitRequested = 0;
    LastErrorCode = 0;
    CallTraceOn = 0;
    PayloadOffset = 0;
    StartedFromShell = 0;
    ExitOnErrorSwitch = 1;
    ExitOnErrorCount = 0;
    QuietMode = 0;
    PreloadActive = 0;
    EventTimeoutMs = 1500;
}

// rand is the classic linear congruential generator, so effects that draw from it (stripe thicknesses, dissolve
// maps) give the same picture for a seed everywhere; drand48 is libc's.
namespace {
uint32_t RandSeed = 1;
}
void SeedRuntimeRand(uint32_t seed) { RandSeed = seed; }
int RuntimeRand() {
    RandSeed = RandSeed * 1103515245u + 12345u;
    return int(RandSeed % 2147483647u);
}
void SeedRuntimeDrand48(int64_t seed) { srand48(static_cast<long>(seed)); }
double RuntimeDrand48() { return drand48(); }
