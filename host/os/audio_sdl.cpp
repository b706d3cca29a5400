// SDL2 audio: one device, opened with a callback that pulls the mixer. SDL converts for the hardware.
#include <SDL.h>

#include "host/audio_output.h"

namespace {

SDL_AudioDeviceID device = 0;
AudioPullFunction pullFunction = nullptr;
void *pullUser = nullptr;

void Callback(void *, Uint8 *stream, int bytes) {
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
    SDL_CloseAudioDevice(device); // waits for a running callback
    device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}
