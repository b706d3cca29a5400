#include "media/sound/audio_channels.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <pthread.h>
#include <thread>

#include "host/audio_output.h"
#include "host/clock.h"
#include "host/tasks.h"
#include "host/thread_stop.h"
#include "media/sound/mixer.h"
#include "media/sound/music_playback.h"
#include "media/sound/sound_events.h"
#include "media/sound/sound_loading.h"
#include "runtime/app/errors.h"
#include "scene/events/event_state.h"

AudioChannel AudioChannels[kAudioChannelCount];

namespace {

constexpr int kMessagePoolSize = 1024;
constexpr int32_t kMessageQuit = 3;

bool deviceOpen = false;
bool slotUsed[kMixerSounds] = {};
int64_t audioMasterVolume = 0; // the gain at setting 64

struct ServerMessage {
    int32_t kind = 0;
    ObjectId id{};
    int32_t plays = 0;
    uint32_t playMs = 0, lastMs = 0;
};

// A fixed ring: posting never allocates, and a full ring drops the message.
std::mutex poolLock;
// Never destroyed: glibc's destroy blocks until every thread that began a wait has left it, and an exit on the main
// thread destroys the statics while a server parked at the end (host/process_end.h) may still be inside its wait,
// the exit having come from a signal handler that interrupted it.
std::condition_variable &poolSignal = *new std::condition_variable;
ServerMessage pool[kMessagePoolSize];
int poolHead = 0, poolCount = 0;
bool serverQuit = false;
std::thread server;
std::atomic<bool> serverReturned{false};

void SoundServerMain() {
    const ReturnNotice notice{serverReturned};
    pthread_setname_np(pthread_self(), "vl-sound");
    std::unique_lock<std::mutex> lock(poolLock);
    for (;;) {
        poolSignal.wait(lock, [] { return poolCount > 0 || serverQuit; });
        if (poolCount == 0) return; // quit once the queue is empty
        const ServerMessage m = pool[poolHead];
        poolHead = (poolHead + 1) % kMessagePoolSize;
        poolCount--;
        lock.unlock();
        const int32_t event = m.kind == 0 ? kSoundEventSampleLoop : m.kind == 1 ? kSoundEventSampleEnd
                                                                             : kSoundEventMusicEnd;
        PostSoundEvent(event, m.id, int32_t(m.playMs), m.plays, int32_t(m.lastMs));
        SignalMainTask(kSignalMain);
        lock.lock();
    }
}

void EndOfSoundHook(int c) {
    AudioChannel &r = AudioChannels[c];
    if (r.state == kChannelModule || r.state == kChannelStream) {
        QueueNextStreamBuffer(c);
        return;
    }
    if (r.state != kChannelSample) return;
    int kind = 0;
    if (!r.ending && r.playCount != r.plays) {
        r.startTime = MonotonicMicroseconds();
        r.playCount++;
        if (r.playCount == r.plays) MixerSetSound(c, r.sound, 0, r.lastLength, false);
    } else if (!r.ending) {
        r.startTime = MonotonicMicroseconds();
        r.ending = 1;
        r.playCount++;
        MixerSetSound(c, kNoSound, 0, 0, false);
    } else {
        kind = 1;
    }
    if (SoundEventHandlerSet(kind == 0 ? kSoundEventSampleLoop : kSoundEventSampleEnd))
        PostServerMessage(kind, r.id, r.playCount - 1, r.playMilliseconds, r.lastMilliseconds);
    if (kind == 1) ReleaseChannel(c);
}

// Caller holds AudioLock().
int FindSampleChannel(const SampleData *data, int from) {
    for (int c = from; c < kAudioChannelCount; c++)
        if (AudioChannels[c].sample == data && AudioChannels[c].state == kChannelSample) return c;
    return -1;
}

} // namespace

void PostServerMessage(int32_t kind, ObjectId id, int32_t plays, uint32_t playMs, uint32_t lastMs) {
    {
        std::lock_guard<std::mutex> lock(poolLock);
        if (poolCount == kMessagePoolSize) return; // dropped; the sound itself goes on
        pool[(poolHead + poolCount) % kMessagePoolSize] = ServerMessage{kind, id, plays, playMs, lastMs};
        poolCount++;
    }
    poolSignal.notify_one();
}

void ReleaseChannel(int channel) { AudioChannels[channel] = AudioChannel{}; }

int AudioDeviceOpen() { return deviceOpen ? 1 : 0; }

int OpenAudio(int masterVolumeSetting) {
    if (deviceOpen) return 0;
    {
        std::lock_guard<std::mutex> lock(AudioLock());
        ResetMixer(EndOfSoundHook);
        for (int c = 0; c < kAudioChannelCount; c++) ReleaseChannel(c);
        audioMasterVolume = kUnityMasterGain / 64 * std::clamp(masterVolumeSetting, 0, 64);
        MixerSetMasterGain(audioMasterVolume);
    }
    // The sound server and the streaming thread start with the first sound, not with the player: most applets
    // never play one. Without them sound still plays; only the events and music stay silent.
    StartAudioTasks();
    if (!OpenAudioOutput(MixAudio, nullptr)) {
        SetErrorArgString("audio device");
        return kErrCannotOpen;
    }
    deviceOpen = true;
    return 0;
}

int LoadAhiSound(SampleData *data) {
    if (data->frameCount > UINT32_MAX || (data->bits != 8 && data->bits != 16)) return kErrSampleToSoundCard;
    std::lock_guard<std::mutex> lock(AudioLock());
    for (int slot = kFirstSampleSlot; slot < kMixerSounds; slot++) {
        if (slotUsed[slot]) continue;
        slotUsed[slot] = true;
        LoadMixerSound(slot, data->pcm.data(), uint32_t(data->frameCount), int(data->channels), int(data->bits));
        data->soundNumber = uint32_t(slot);
        return 0;
    }
    return kErrSampleToSoundCard;
}

void UnloadAhiSound(SampleData *data) {
    const int slot = int(data->soundNumber);
    if (slot < kFirstSampleSlot || slot >= kMixerSounds) return;
    std::lock_guard<std::mutex> lock(AudioLock());
    UnloadMixerSound(slot);
    slotUsed[slot] = false;
    data->soundNumber = 0;
}

int32_t ConvertVolume(int32_t volume) { return std::clamp(volume, 0, 64) * 1024; }

int32_t ConvertPanning(int32_t p) {
    if (p <= 0) return 0;
    if (p == 128) return kCentrePan;
    if (p >= 255) return 0x10000;
    return p * 257;
}

void ComputePlays(uint64_t frames, uint32_t pitch, int32_t time, int32_t times, AudioChannel *r) {
    pitch = std::max<uint32_t>(pitch, 1);
    r->playMilliseconds = uint32_t(std::min<double>(double(frames) * 1000.0 / pitch, UINT32_MAX));
    const uint32_t whole = uint32_t(std::min<uint64_t>(frames, UINT32_MAX));
    if (time < 0) {
        r->plays = times;
        r->lastLength = whole;
        r->lastMilliseconds = r->playMilliseconds;
        return;
    }
    const uint32_t d = std::max<uint32_t>(r->playMilliseconds, 1);
    if (uint32_t(time) % d == 0) {
        r->plays = int32_t(uint32_t(time) / d);
        r->lastLength = whole;
        r->lastMilliseconds = d;
        return;
    }
    r->plays = int32_t(uint32_t(time) / d + 1);
    r->lastMilliseconds = uint32_t(time) % d;
    r->lastLength = std::max<uint32_t>(uint32_t(uint64_t(r->lastMilliseconds) * pitch / 1000), 1);
}

int PreparePlaySample(SampleData *data, ObjectId id, uint32_t pitch, int32_t volume, int32_t panning,
                      int32_t time, int32_t times) {
    std::lock_guard<std::mutex> lock(AudioLock());
    for (int c = 0; c < kAudioChannelCount; c++) {
        if (AudioChannels[c].state != kChannelFree) continue;
        AudioChannel &r = AudioChannels[c];
        r = AudioChannel{};
        r.state = kChannelPrepared;
        r.id = id;
        r.sample = data;
        r.sound = int(data->soundNumber);
        r.playCount = 1;
        ComputePlays(data->frameCount, pitch, time, times, &r);
        r.frequency = pitch;
        r.startVolume = ConvertVolume(volume);
        r.startPan = ConvertPanning(panning);
        r.startLength = r.plays == 1 ? r.lastLength : 0;
        return 0;
    }
    return kErrNoAudioChannel;
}

void PlayPreparedSamples() {
    std::lock_guard<std::mutex> lock(AudioLock());
    const int64_t now = MonotonicMicroseconds();
    for (int c = 0; c < kAudioChannelCount; c++) {
        AudioChannel &r = AudioChannels[c];
        if (r.state != kChannelPrepared) continue;
        r.state = kChannelSample;
        r.startTime = now;
        MixerPlay(c, r.frequency, r.startVolume, r.startPan, r.sound, 0, r.startLength);
    }
}

void CancelPreparedSamples() {
    std::lock_guard<std::mutex> lock(AudioLock());
    for (int c = 0; c < kAudioChannelCount; c++)
        if (AudioChannels[c].state == kChannelPrepared) ReleaseChannel(c);
}

void StopSampleChannels(SampleData *data) {
    std::lock_guard<std::mutex> lock(AudioLock());
    for (int c = 0; c < kAudioChannelCount; c++) {
        const AudioChannel &r = AudioChannels[c];
        if (r.state != kChannelSample || (data && r.sample != data)) continue;
        MixerSetSound(c, kNoSound, 0, 0, true);
        ReleaseChannel(c);
    }
}

int IsSampleOnChannel(SampleData *data) {
    std::lock_guard<std::mutex> lock(AudioLock());
    return FindSampleChannel(data, 0) >= 0 ? 1 : 0;
}

void GetSamplePlayTime(SampleData *data, double *milliseconds, double *plays) {
    std::lock_guard<std::mutex> lock(AudioLock());
    const int c = FindSampleChannel(data, 0);
    if (c < 0) return;
    *milliseconds = double((MonotonicMicroseconds() - AudioChannels[c].startTime) / 1000);
    *plays = AudioChannels[c].playCount - 1;
}

void SetPlayingSampleAttributes(SampleData *data, int32_t frequency, int32_t volume, int32_t panning) {
    std::lock_guard<std::mutex> lock(AudioLock());
    for (int c = FindSampleChannel(data, 0); c >= 0; c = FindSampleChannel(data, c + 1)) {
        if (frequency >= 0) MixerSetFrequency(c, uint32_t(frequency));
        else MixerSetVolume(c, ConvertVolume(volume), ConvertPanning(panning));
    }
}

void SetAudioMasterVolume(int32_t volume) {
    if (!deviceOpen) return;
    std::lock_guard<std::mutex> lock(AudioLock());
    MixerSetMasterGain(audioMasterVolume / 64 * std::clamp(volume, 0, 64));
}

namespace {

// The sound server and the streaming thread; again a no-op.
void StopAudioTasks() {
    StopStreamingThread();
    if (!server.joinable() || LetGoOfThreadAtEnd(server)) return;
    {
        std::lock_guard<std::mutex> lock(poolLock);
        serverQuit = true;
    }
    poolSignal.notify_one();
    JoinUnlessParked(server, serverReturned);
}

// The exit path (on the main thread, host/process_end.h) stops SDL's audio thread too: it mixes from the stream
// buffers, which are statics the exit destroys next.
void StopAudioAtExit() {
    StopAudioTasks();
    if (deviceOpen) CloseAudioOutput();
    deviceOpen = false;
}

} // namespace

int StartAudioTasks() {
    if (server.joinable()) return 0; // registered again without a shutdown between
    // exit() on the main thread (a library's error handler) must not destroy the threads while they run.
    static const bool stopAtExit = atexit(StopAudioAtExit) == 0;
    (void)stopAtExit;
    {
        std::lock_guard<std::mutex> lock(poolLock);
        poolHead = poolCount = 0;
        serverQuit = false;
    }
    std::fill(std::begin(slotUsed), std::end(slotUsed), false);
    try {
        StartStreamingThread();
        serverReturned = false;
        server = std::thread(SoundServerMain);
    } catch (const std::system_error &) {
        StopStreamingThread();
        return kErrAddTask;
    }
    return 0;
}

void ShutdownAudio() {
    StopAudioTasks();
    if (deviceOpen) {
        CloseAudioOutput();
        deviceOpen = false;
        std::lock_guard<std::mutex> lock(AudioLock());
        ResetMixer(nullptr);
        for (int c = 0; c < kAudioChannelCount; c++) ReleaseChannel(c);
    }
    FreeSoundEventQueue();
}
