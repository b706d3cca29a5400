#include "media/sound/mixer.h"

#include <algorithm>
#include <cstring>

#include "host/audio_output.h"

namespace {

struct MixerSound {
    const void *data = nullptr;
    uint32_t frames = 0;
    int channels = 0, bits = 0;
};

struct SoundRun {
    int sound = kNoSound;
    uint32_t offset = 0, length = 0;
};

struct MixerVoice {
    SoundRun current, queued;
    bool hasQueued = false, startPending = false;
    uint64_t position = 0; // 16.16 frames from the run's offset
    uint32_t step = 0;     // 16.16 source frames per output frame
    int32_t gainLeft = 0, gainRight = 0; // 0..0x10000
};

std::mutex audioLock;
MixerSound sounds[kMixerSounds];
MixerVoice voices[kMixerVoices];
int64_t masterGain = kUnityMasterGain;
MixerHook startHook = nullptr;

bool Playable(const SoundRun &run) {
    return run.sound >= 0 && run.sound < kMixerSounds && sounds[run.sound].data && run.length > 0;
}

// Length 0 and lengths past the end mean up to the end of the sound.
SoundRun MakeRun(int sound, uint32_t offset, uint32_t length) {
    SoundRun run{sound, offset, length};
    if (sound < 0 || sound >= kMixerSounds || !sounds[sound].data) return SoundRun{sound, 0, 0};
    const uint32_t frames = sounds[sound].frames;
    run.offset = std::min(offset, frames);
    const uint32_t left = frames - run.offset;
    run.length = length == 0 || length > left ? left : length;
    return run;
}

// Mixes n output frames of one run with linear interpolation; the caller ensures they stay inside the run.
template <typename Sample, int Channels>
void MixSpan(const MixerSound &s, const SoundRun &run, MixerVoice &v, int32_t *sum, int n) {
    const Sample *data = static_cast<const Sample *>(s.data) + size_t(run.offset) * Channels;
    const int shift = sizeof(Sample) == 1 ? 8 : 0;
    const uint32_t last = run.length - 1;
    uint64_t position = v.position;
    for (int f = 0; f < n; f++) {
        const uint32_t frame = uint32_t(position >> 16);
        const uint32_t next = frame < last ? frame + 1 : frame;
        const int32_t fraction = int32_t(position & 0xFFFF);
        int32_t left = int32_t(data[size_t(frame) * Channels]) << shift;
        int32_t leftNext = int32_t(data[size_t(next) * Channels]) << shift;
        left += int32_t((int64_t(leftNext - left) * fraction) >> 16);
        int32_t right = left;
        if (Channels == 2) {
            right = int32_t(data[size_t(frame) * 2 + 1]) << shift;
            const int32_t rightNext = int32_t(data[size_t(next) * 2 + 1]) << shift;
            right += int32_t((int64_t(rightNext - right) * fraction) >> 16);
        }
        sum[2 * f] += int32_t((int64_t(left) * v.gainLeft) >> 16);
        sum[2 * f + 1] += int32_t((int64_t(right) * v.gainRight) >> 16);
        position += v.step;
    }
    v.position = position;
}

void MixRun(MixerVoice &v, int32_t *sum, int n) {
    const MixerSound &s = sounds[v.current.sound];
    if (s.bits == 16) {
        if (s.channels == 2) MixSpan<int16_t, 2>(s, v.current, v, sum, n);
        else MixSpan<int16_t, 1>(s, v.current, v, sum, n);
    } else {
        if (s.channels == 2) MixSpan<int8_t, 2>(s, v.current, v, sum, n);
        else MixSpan<int8_t, 1>(s, v.current, v, sum, n);
    }
}

// The run that follows the end of the current one: the queued follower, else the same run again.
void TakeNextRun(MixerVoice &v, int index) {
    if (v.hasQueued) {
        v.current = v.queued;
        v.hasQueued = false;
    }
    if (startHook) startHook(index);
}

void MixVoice(MixerVoice &v, int index, int32_t *sum, int frames) {
    if (v.startPending) {
        v.startPending = false;
        if (startHook) startHook(index);
    }
    int f = 0;
    while (f < frames && Playable(v.current)) {
        const uint64_t end = uint64_t(v.current.length) << 16;
        if (v.position >= end) {
            v.position -= end;
            TakeNextRun(v, index);
            if (!Playable(v.current)) break;
            // A run shorter than one step ends again at once; it still plays its first frame.
            if (v.position >= uint64_t(v.current.length) << 16) v.position = 0;
            continue;
        }
        const uint64_t left = v.step ? (end - v.position + v.step - 1) / v.step : uint64_t(frames);
        const int n = int(std::min<uint64_t>(left, uint64_t(frames - f)));
        MixRun(v, sum + 2 * f, n);
        f += n;
    }
    if (!Playable(v.current)) v.position = 0;
}

} // namespace

std::mutex &AudioLock() { return audioLock; }

void ResetMixer(MixerHook hook) {
    for (auto &v : voices) v = MixerVoice{};
    for (auto &s : sounds) s = MixerSound{};
    masterGain = kUnityMasterGain;
    startHook = hook;
}

void LoadMixerSound(int slot, const void *data, uint32_t frames, int channels, int bits) {
    if (slot < 0 || slot >= kMixerSounds) return;
    sounds[slot] = MixerSound{data, frames, channels, bits};
}

void UnloadMixerSound(int slot) {
    if (slot < 0 || slot >= kMixerSounds) return;
    sounds[slot] = MixerSound{};
    // No voice may keep reading freed memory.
    for (auto &v : voices) {
        if (v.current.sound == slot) v.current = SoundRun{};
        if (v.hasQueued && v.queued.sound == slot) v.hasQueued = false;
    }
}

void MixerPlay(int voice, uint32_t frequency, int32_t volume, int32_t pan, int sound, uint32_t offset,
               uint32_t length) {
    MixerVoice &v = voices[voice];
    v = MixerVoice{};
    MixerSetFrequency(voice, frequency);
    MixerSetVolume(voice, volume, pan);
    v.current = MakeRun(sound, offset, length);
    v.startPending = true;
}

void MixerSetSound(int voice, int sound, uint32_t offset, uint32_t length, bool immediate) {
    MixerVoice &v = voices[voice];
    if (immediate) {
        v.current = MakeRun(sound, offset, length);
        v.position = 0;
        v.hasQueued = false;
        v.startPending = false;
        return;
    }
    v.queued = MakeRun(sound, offset, length);
    v.hasQueued = true;
}

void MixerSetFrequency(int voice, uint32_t frequency) {
    voices[voice].step = uint32_t((uint64_t(frequency) << 16) / kAudioOutputRate);
}

void MixerSetVolume(int voice, int32_t volume, int32_t pan) {
    volume = std::clamp(volume, 0, kUnityVolume);
    pan = std::clamp(pan, 0, 0x10000);
    MixerVoice &v = voices[voice];
    v.gainLeft = int32_t((int64_t(volume) * std::min(0x10000, 2 * (0x10000 - pan))) >> 16);
    v.gainRight = int32_t((int64_t(volume) * std::min(0x10000, 2 * pan)) >> 16);
}

void MixerSetMasterGain(int64_t gain) { masterGain = std::max<int64_t>(gain, 0); }

void MixAudio(void *, int16_t *out, int frames) {
    int32_t sum[2 * kAudioOutputPullFrames];
    std::lock_guard<std::mutex> lock(audioLock);
    while (frames > 0) {
        const int n = std::min(frames, kAudioOutputPullFrames);
        std::memset(sum, 0, sizeof(int32_t) * 2 * size_t(n));
        for (int i = 0; i < kMixerVoices; i++) MixVoice(voices[i], i, sum, n);
        for (int k = 0; k < 2 * n; k++)
            out[k] = int16_t(std::clamp<int64_t>((int64_t(sum[k]) * masterGain) >> 19, -32768, 32767));
        out += 2 * n;
        frames -= n;
    }
}
