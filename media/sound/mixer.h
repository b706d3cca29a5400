// The software mixer behind the audio channels: 8 voices, 1024 sound slots, a start hook and a master gain. It
// knows nothing of the output: the output pulls MixAudio. Every call but MixAudio expects AudioLock() held;
// MixAudio takes it itself and calls the hook with it held.
#pragma once

#include <cstdint>
#include <mutex>

constexpr int kMixerVoices = 8;
constexpr int kMixerSounds = 1024;
constexpr int kNoSound = 0xFFFF;
constexpr int32_t kUnityVolume = 0x10000;
constexpr int32_t kCentrePan = 0x8000;
constexpr int64_t kUnityMasterGain = 0x80000;

// The one short lock over the voices and the channel table above them. Nothing allocates, frees or does file
// I/O while holding it.
std::mutex &AudioLock();

// Runs on the mixing thread each time a sound starts on a voice: the first one of MixerPlay and every queued
// one, NOSOUND included. Immediate changes do not call it.
using MixerHook = void (*)(int voice);
void ResetMixer(MixerHook hook);

// A sound slot over memory the caller keeps (dynamic slots are simply read live). channels 1 or 2, bits 8 or 16
// (signed, native endian, interleaved).
void LoadMixerSound(int slot, const void *data, uint32_t frames, int channels, int bits);
void UnloadMixerSound(int slot);
// Starts sound on voice at offset for length frames (0: the whole sound); the hook runs at the next pull.
void MixerPlay(int voice, uint32_t frequency, int32_t volume, int32_t pan, int sound, uint32_t offset,
               uint32_t length);
// Immediate: replaces the playing sound now. Otherwise: replaces the voice's queued follower. A sound that ends
// with nothing queued repeats.
void MixerSetSound(int voice, int sound, uint32_t offset, uint32_t length, bool immediate);
void MixerSetFrequency(int voice, uint32_t frequency);
// volume 0..0x10000; pan 0 (left) .. 0x10000 (right), a balance: 0x8000 plays both sides at full level.
void MixerSetVolume(int voice, int32_t volume, int32_t pan);
// 0x80000 is unity.
void MixerSetMasterGain(int64_t gain);

// Mixes frames stereo frames at 48000 Hz into out; the output's pull function.
void MixAudio(void *unused, int16_t *out, int frames);
