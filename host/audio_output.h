// The sound output: pulls signed 16-bit stereo frames at 48000 Hz from one mixing function. SDL plays them; the
// manual backend lets tests pull by hand or with each advance of the virtual clock, so their output is exact.
#pragma once

#include <cstdint>
#include <vector>

constexpr int kAudioOutputRate = 48000;
constexpr int kAudioOutputPullFrames = 1024;

// Fills frames stereo frames (2 x frames values). Runs on the audio thread with SDL.
using AudioPullFunction = void (*)(void *user, int16_t *out, int frames);

// 1 when the output runs, 0 when there is no device (no driver, or SDL refuses).
int OpenAudioOutput(AudioPullFunction pull, void *user);
void CloseAudioOutput();

// ---- Manual backend (tests) ----------------------------------------------------------------------------------
// While on, OpenAudioOutput opens no device. With clockDriven, each advance of the virtual clock pulls the frames
// that time covers into the capture buffer.
void UseManualAudioOutput(int on, int clockDriven);
// Called before each manual pull (the streaming side waits there for a refill it was asked for).
void SetAudioSettleFunction(void (*settle)());
// Pulls frames now (in small steps, settling before each) and appends them to the capture buffer.
void PullManualAudio(int frames);
// The captured interleaved values since the last take.
std::vector<int16_t> TakeCapturedAudio();

// ---- The SDL backend (host/os) -------------------------------------------------------------------------------
int OpenSdlAudioOutput(AudioPullFunction pull, void *user);
void CloseSdlAudioOutput();
