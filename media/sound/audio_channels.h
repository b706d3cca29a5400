// The eight audio channels over the mixer: what each plays, the batched start of samples, live changes, the
// master volume, the end-of-sound hook and the sound server that turns its messages into sound events.
#pragma once

#include <cstdint>

#include "runtime/app/errors.h"
#include "runtime/vm/vm.h"

struct SampleData;
struct SoundStream;
struct ModuleState;

constexpr int kChannelFree = 1;
constexpr int kChannelPrepared = 2;
constexpr int kChannelSample = 3;
constexpr int kChannelModule = 4;
constexpr int kChannelStream = 5;
constexpr int kAudioChannelCount = 8;
constexpr int kFirstSampleSlot = 3;

// Guarded by AudioLock(); the hook touches only the record of its own channel.
struct AudioChannel {
    SampleData *sample = nullptr;
    SoundStream *stream = nullptr;
    ModuleState *module = nullptr;
    const void *owner = nullptr; // music: the library's record, to compare with the current music
    int state = kChannelFree;
    ObjectId id{};
    int sound = 0;
    int32_t plays = 0, playCount = 0, ending = 0;
    uint32_t lastLength = 0, lastMilliseconds = 0, playMilliseconds = 0;
    int32_t volume = 0, bufferFrames = 0;
    int64_t startTime = 0; // monotonic microseconds of the current play's start
    // A prepared sample's start values.
    uint32_t frequency = 0;
    int32_t startVolume = 0, startPan = 0;
    uint32_t startLength = 0;
};
extern AudioChannel AudioChannels[kAudioChannelCount];

// 1 when the audio device is open.
int AudioDeviceOpen();
// 0, or kErrCannotOpen when no output can be opened (nothing stays allocated then).
int OpenAudio(int masterVolumeSetting);
// 0 or kErrSampleToSoundCard.
int LoadAhiSound(SampleData *data);
void UnloadAhiSound(SampleData *data);
// volume 0..64 and panning 0..255 as the device takes them.
int32_t ConvertVolume(int32_t volume);
int32_t ConvertPanning(int32_t panning);
// Whole plays and the last one for a time in milliseconds (-1: none): exact multiples play whole, and a play
// under 1 ms counts as 1 ms.
void ComputePlays(uint64_t frames, uint32_t pitch, int32_t time, int32_t times, AudioChannel *r);

// Reserves a channel for a sample and keeps its start values; 0 or kErrNoAudioChannel.
int PreparePlaySample(SampleData *data, ObjectId id, uint32_t pitch, int32_t volume, int32_t panning,
                      int32_t time, int32_t times);
// Starts every prepared channel on the same output frame.
void PlayPreparedSamples();
// Gives back the channels of a batch that failed.
void CancelPreparedSamples();
// With a sample: its channels; with null: every sample channel.
void StopSampleChannels(SampleData *data);
int IsSampleOnChannel(SampleData *data);
// Milliseconds since the current play started and plays completed; untouched when no channel plays it.
void GetSamplePlayTime(SampleData *data, double *milliseconds, double *plays);
// frequency -1 keeps the frequency and sets volume (0..64) and panning (0..255) instead.
void SetPlayingSampleAttributes(SampleData *data, int32_t frequency, int32_t volume, int32_t panning);
void SetAudioMasterVolume(int32_t volume);

// Clears a channel record (state free). Caller holds AudioLock().
void ReleaseChannel(int channel);

// Sound server: the hook's preallocated messages become sound events and wake the main task.
void PostServerMessage(int32_t kind, ObjectId id, int32_t plays, uint32_t playMs, uint32_t lastMs);
// Starts the sound server and the streaming thread; 0 or kErrAddTask.
int StartAudioTasks();
// Joins the streaming thread, then the server, closes the device and frees the event queue.
void ShutdownAudio();
