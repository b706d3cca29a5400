#include "host/audio_output.h"

#include <algorithm>
#include <mutex>

#include "host/clock.h"

namespace {

// Small manual steps keep a test pull from running past a stream buffer whose refill it has not waited for.
constexpr int kManualStepFrames = 256;

bool manual = false, clockDriven = false, manualOpen = false;
AudioPullFunction manualPull = nullptr;
void *manualUser = nullptr;
void (*settleFunction)() = nullptr;
std::vector<int16_t> captured;
int64_t clockRemainder = 0; // microseconds x 48000 not yet pulled

void PullFromClock(int64_t microseconds) {
    if (!manualOpen || !clockDriven) return;
    const int64_t total = microseconds * kAudioOutputRate + clockRemainder;
    clockRemainder = total % 1000000;
    PullManualAudio(int(total / 1000000));
}

} // namespace

int OpenAudioOutput(AudioPullFunction pull, void *user) {
    if (!manual) return OpenSdlAudioOutput(pull, user);
    manualPull = pull;
    manualUser = user;
    manualOpen = true;
    clockRemainder = 0;
    SetVirtualClockListener(PullFromClock);
    return 1;
}

void CloseAudioOutput() {
    if (manualOpen) {
        SetVirtualClockListener(nullptr);
        manualOpen = false;
        return;
    }
    CloseSdlAudioOutput();
}

void UseManualAudioOutput(int on, int driven) {
    manual = on != 0;
    clockDriven = driven != 0;
    captured.clear();
}

void SetAudioSettleFunction(void (*settle)()) { settleFunction = settle; }

void PullManualAudio(int frames) {
    if (!manualOpen) return;
    int16_t step[2 * kManualStepFrames];
    while (frames > 0) {
        const int n = std::min(frames, kManualStepFrames);
        if (settleFunction) settleFunction();
        manualPull(manualUser, step, n);
        captured.insert(captured.end(), step, step + 2 * n);
        frames -= n;
    }
}

std::vector<int16_t> TakeCapturedAudio() {
    std::vector<int16_t> out;
    out.swap(captured);
    return out;
}
