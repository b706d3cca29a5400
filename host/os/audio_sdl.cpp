// SDL2 audio: one device, opened with a callback that pulls the mixer. SDL converts for the hardware.
#include <SDL.h>

#include "host/audio_output.h"
#include "host/thread_stop.h"

#include <system_error>

namespace {

SDL_AudioDeviceID device = 0;
AudioPullFunction pullFunction = nullptr;
void *pullUser = nullptr;
// SDL's audio thread, as its callback last saw it (unknown until the first callback).
std::atomic<std::thread::id> callbackThread;

void Callback(void *, Uint8 *stream, int bytes) {
    callbackThread.store(std::this_thread::get_id(), std::memory_order_relaxed);
    pullFunction(pullUser, reinterpret_cast<int16_t *>(stream), bytes / 4);
}

} // namespace

int OpenSdlAudioOutput(AudioPullFunction pull, void *user) {
    if (device) return 1;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
    pullFunction = pull;
    pullUser = user;
    SDL_AudioSpec want{}, have{};
    want.freq = kAudioOutputRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kAudioOutputPullFrames;
    want.callback = Callback;
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return 0;
    }
    SDL_PauseAudioDevice(device, 0);
    return 1;
}

void CloseSdlAudioOutput() {
    if (!device) return;
    // The close joins SDL's audio thread, which never returns once it has parked at the end (an exit inside the
    // callback or the driver): a helper closes the device, and the end goes on without it when that thread parks.
    static std::atomic<bool> closed;
    closed = false;
    bool letGo = false;
    try {
        std::thread closer([id = device] {
            const ReturnNotice notice{closed};
            SDL_CloseAudioDevice(id);
        });
        letGo = JoinUnlessParked(closer, closed, &callbackThread);
    } catch (const std::system_error &) {
        SDL_CloseAudioDevice(device);
    }
    device = 0;
    if (!letGo) SDL_QuitSubSystem(SDL_INIT_AUDIO); // it would close the device again
}
