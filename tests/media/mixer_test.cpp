// The mixer and the audio channels on the manual output: hook order and events, gains, pans, resampling, play
// times, slot and channel limits, music streaming with play counts, the exact module chain and thread races.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>

#include "host/audio_output.h"
#include "host/clock.h"
#include "media/sound/audio_channels.h"
#include "media/sound/mixer.h"
#include "media/sound/music_playback.h"
#include "media/sound/sound_events.h"
#include "media/sound/sound_loading.h"
#include "media/sound/sound_stream.h"
#include "media/tracker/module.h"
#include "scene/events/event_state.h"
#include "tests/media/module_builder.h"
#include "tests/support/files.h"

namespace {

class MixerTest : public testing::Test {
protected:
    void SetUp() override {
        UseManualAudioOutput(1, 0);
        ASSERT_EQ(StartAudioTasks(), 0);
        ASSERT_EQ(OpenAudio(64), 0);
    }
    void TearDown() override {
        for (SampleData *d : samples) {
            StopSampleChannels(d);
            UnloadAhiSound(d);
            FreeSampleData(d);
        }
        ShutdownAudio();
        UseManualAudioOutput(0, 0);
    }
    // A loaded 16-bit sample (mono, or stereo from interleaved values).
    SampleData *Sample(const std::vector<int16_t> &values, int channels = 1) {
        auto *d = new SampleData;
        d->pcm.resize(values.size() * 2);
        std::memcpy(d->pcm.data(), values.data(), d->pcm.size());
        d->bits = 16, d->channels = uint32_t(channels), d->frameBytes = uint32_t(2 * channels);
        d->frameCount = values.size() / size_t(channels);
        EXPECT_EQ(LoadAhiSound(d), 0);
        samples.push_back(d);
        return d;
    }
    void Play(SampleData *d, uint32_t pitch, int volume, int pan, int time, int times) {
        ASSERT_EQ(PreparePlaySample(d, ObjectId{7, nullptr}, pitch, volume, pan, time, times), 0);
        PlayPreparedSamples();
    }
    std::vector<int16_t> Pull(int frames) {
        PullManualAudio(frames);
        return TakeCapturedAudio();
    }
    std::vector<SampleData *> samples;
};

// The sound server posts from its own thread: collect until count events came (or a minute passed).
std::vector<std::pair<int, int>> Events(size_t count) {
    std::vector<std::pair<int, int>> out;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (out.size() < count && std::chrono::steady_clock::now() < until) {
        SoundEvent e;
        if (TakeSoundEvent(&e)) out.push_back({e.kind, e.starts});
        else std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (SoundEvent e; TakeSoundEvent(&e);) out.push_back({e.kind, e.starts});
    return out;
}

size_t NonSilentFrames(const std::vector<int16_t> &pcm) {
    size_t n = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) n += pcm[i] || pcm[i + 1];
    return n;
}

std::vector<int16_t> Constant(size_t frames, int16_t value) { return std::vector<int16_t>(frames, value); }

TEST_F(MixerTest, HookOrderGivesLoopEventsPerPlayThenOneEndAndSilence) {
    SetSoundEventHandler("onsampleloop", 1);
    SetSoundEventHandler("onsampleend", 1);
    SampleData *d = Sample(Constant(480, 1000));
    const int loop = kSoundEventSampleLoop, end = kSoundEventSampleEnd;
    for (int plays : {1, 2, 3}) {
        Play(d, 48000, 64, 128, -1, plays);
        const auto pcm = Pull(480 * plays + 1000);
        EXPECT_EQ(NonSilentFrames(pcm), size_t(480 * plays)) << plays;
        std::vector<std::pair<int, int>> expected;
        for (int k = 1; k <= plays; k++) expected.push_back({loop, k});
        expected.push_back({end, plays});
        EXPECT_EQ(Events(expected.size()), expected) << plays;
        EXPECT_FALSE(IsSampleOnChannel(d));
    }
    Play(d, 48000, 64, 128, -1, 0); // until stopped
    EXPECT_EQ(NonSilentFrames(Pull(4800)), 4800u);
    EXPECT_EQ(Events(10).size(), 10u);
    StopSampleChannels(d);
    EXPECT_EQ(NonSilentFrames(Pull(480)), 0u);
    FreeSoundEventQueue();
}

TEST_F(MixerTest, GainsArePanBalancesAndExactAtUnity) {
    std::vector<int16_t> ramp;
    for (int i = 0; i < 960; i++) ramp.insert(ramp.end(), {int16_t(i * 67 - 32000), int16_t(31000 - i * 64)});
    SampleData *stereo = Sample(ramp, 2);
    Play(stereo, 48000, 64, 128, -1, 1);
    const auto pcm = Pull(960);
    EXPECT_EQ(pcm, ramp);
    struct Case {
        int pan;
        int16_t left, right;
    } cases[] = {{0, 1000, 0}, {128, 1000, 1000}, {255, 0, 1000}, {64, 1000, 501}};
    SampleData *mono = Sample(Constant(100, 1000));
    for (const Case &c : cases) {
        Play(mono, 48000, 64, c.pan, -1, 1);
        const auto out = Pull(100);
        EXPECT_EQ(out[100], c.left) << c.pan;
        EXPECT_EQ(out[101], c.right) << c.pan;
    }
    // Master volume halves at 32 of a start-up 64; volume 32 halves again.
    SetAudioMasterVolume(32);
    Play(mono, 48000, 32, 128, -1, 1);
    EXPECT_EQ(Pull(10)[4], 250);
    SetAudioMasterVolume(64);
}

TEST_F(MixerTest, ResamplesA1kHzSineAt22050To1kHz) {
    std::vector<int16_t> sine;
    for (int i = 0; i < 22050; i++) sine.push_back(int16_t(20000 * std::sin(2 * M_PI * 1000 * i / 22050.0)));
    Play(Sample(sine), 22050, 64, 128, -1, 1);
    const auto pcm = Pull(48000);
    int crossings = 0;
    for (size_t i = 2; i < pcm.size(); i += 2) crossings += (pcm[i - 2] < 0) != (pcm[i] < 0);
    EXPECT_NEAR(crossings, 2000, 4);
}

TEST_F(MixerTest, TimeOptionPlaysWholeMultiplesAndCutsTheLastPlay) {
    SampleData *d = Sample(Constant(48000, 500)); // 1000 ms
    for (int time : {2000, 2500, 300}) {
        Play(d, 48000, 64, 128, time, 1);
        EXPECT_EQ(NonSilentFrames(Pull(48 * time + 4800)), size_t(48 * time)) << time;
    }
    // The same through the virtual clock: each advance pulls the frames it covers.
    UseManualAudioOutput(1, 1);
    InstallVirtualClock(0);
    Play(d, 48000, 64, 128, 2500, 1);
    for (int ms = 0; ms < 3000; ms += 7) AdvanceVirtualClock(7000);
    const auto timed = TakeCapturedAudio();
    RemoveVirtualClock();
    EXPECT_EQ(timed.size(), 2u * 48 * 3003);
    EXPECT_EQ(NonSilentFrames(timed), 48u * 2500);
    AudioChannel r;
    ComputePlays(10, 48000, 5, 1, &r); // a play under 1 ms counts as 1 ms
    EXPECT_EQ(r.plays, 5);
}

TEST_F(MixerTest, QueuedNoSoundEndsInExactZerosAndChannelsRunOut) {
    SampleData *d = Sample(Constant(100, 3000));
    for (int c = 0; c < kAudioChannelCount; c++) ASSERT_EQ(PreparePlaySample(d, ObjectId{c, nullptr}, 48000, 64, 128, -1, 0), 0);
    EXPECT_EQ(PreparePlaySample(d, ObjectId{9, nullptr}, 48000, 64, 128, -1, 1), kErrNoAudioChannel);
    CancelPreparedSamples();
    Play(d, 48000, 64, 128, -1, 1);
    const auto pcm = Pull(1000);
    for (size_t i = 200; i < pcm.size(); i++) ASSERT_EQ(pcm[i], 0) << i;
    // Slots 3..1023 hold 1021 samples; one freed slot is taken again.
    std::vector<SampleData> many(1021 - samples.size() + 1);
    int refused = 0;
    for (SampleData &m : many) {
        m.pcm.assign(2, 0), m.bits = 16, m.channels = 1, m.frameBytes = 2, m.frameCount = 1;
        refused += LoadAhiSound(&m) == kErrSampleToSoundCard;
    }
    EXPECT_EQ(refused, 1);
    UnloadAhiSound(&many[0]);
    EXPECT_EQ(LoadAhiSound(&many.back()), 0);
    for (SampleData &m : many) UnloadAhiSound(&m);
}

std::string WriteWave(const std::string &name, const std::vector<int16_t> &mono, uint32_t rate) {
    static ScratchDirectory scratch;
    const std::string path = scratch.File(name);
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char *>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char *>(&v), 2); };
    const uint32_t bytes = uint32_t(mono.size() * 2);
    out.write("RIFF", 4), u32(36 + bytes), out.write("WAVEfmt ", 8), u32(16), u16(1), u16(1), u32(rate),
        u32(rate * 2), u16(2), u16(16), out.write("data", 4), u32(bytes);
    out.write(reinterpret_cast<const char *>(mono.data()), bytes);
    return path;
}

TEST_F(MixerTest, StreamPlaysItsTimesThenEndsOnceWithZeros) {
    SetSoundEventHandler("onmusicend", 1);
    // 3 s at 24000 Hz (an exact step), not a multiple of the buffer, so the end falls inside one.
    const std::string path = WriteWave("three.wav", Constant(72000, 1200), 24000);
    int kind = 0;
    void *handle = nullptr;
    ASSERT_EQ(OpenMusicFile(path.c_str(), &kind, &handle), 0);
    int owner = 0;
    CurrentMusicOwner = &owner;
    ASSERT_EQ(StartMusic(kind, handle, &owner, ObjectId{4, nullptr}, 2, 1, 64), 0);
    const auto pcm = Pull(48000 * 7);
    EXPECT_EQ(NonSilentFrames(pcm), 48000u * 6);
    for (size_t i = 2 * 48000 * 6; i < pcm.size(); i++) ASSERT_EQ(pcm[i], 0) << i;
    EXPECT_EQ(Events(1), (std::vector<std::pair<int, int>>{{kSoundEventMusicEnd, 0}}));
    EXPECT_EQ(CurrentMusicOwner.load(), nullptr);
    // Looping for ever until stopped, raced against the natural end of a short stream.
    const std::string shortPath = WriteWave("short.wav", Constant(100, 900), 48000);
    void *shortHandle = nullptr;
    ASSERT_EQ(OpenMusicFile(shortPath.c_str(), &kind, &shortHandle), 0);
    for (int round = 0; round < 1000; round++) {
        ASSERT_EQ(StartMusic(kind, shortHandle, &owner, ObjectId{5, nullptr}, round % 3, 1, 64), 0);
        PullManualAudio(round % 7 * 2700); // up to three buffers: the end falls before, at or after the stop
        int32_t plays = 0;
        int64_t position = 0;
        StopMusicPlayback(kind, shortHandle, round & 1, &plays, &position);
    }
    Pull(10);
    FreeMusicHandle(kind, shortHandle);
    FreeMusicHandle(kind, handle);
    FreeSoundEventQueue();
}

TEST_F(MixerTest, ModuleAtFullLevelGivesTheReplayerSamplesExactly) {
    ModuleBuilder b;
    std::vector<int8_t> square(4000);
    for (size_t i = 0; i < square.size(); i++) square[i] = int8_t((i / 40) % 2 ? 90 : -90);
    b.samples.push_back({square, 64});
    b.Note(0, 0, 0, 428, 1);
    b.Note(0, 8, 1, 214, 1);
    auto expected = std::make_unique<ModuleState>();
    ASSERT_EQ(ParseModule(expected.get(), b.Build(), kPlaybackRate), 0);
    std::vector<int16_t> reference(2 * 12000);
    RenderModuleAudio(expected.get(), reference.data(), 12000);
    auto module = std::make_unique<ModuleState>();
    ASSERT_EQ(ParseModule(module.get(), b.Build(), kPlaybackRate), 0);
    ASSERT_EQ(StartMusic(kMusicKindModule, module.get(), nullptr, ObjectId{}, 0, 1, 64), 0);
    EXPECT_EQ(Pull(12000), reference);
    // A stop starts it again from its first order and row.
    StopMusicPlayback(kMusicKindModule, module.get(), 0, nullptr, nullptr);
    EXPECT_EQ(AccessModulePosition(module.get(), kModuleRow, 0), 0);
    ASSERT_EQ(StartMusic(kMusicKindModule, module.get(), nullptr, ObjectId{}, 0, 1, 64), 0);
    EXPECT_EQ(Pull(4800), std::vector<int16_t>(reference.begin(), reference.begin() + 9600));
    StopMusicPlayback(kMusicKindModule, module.get(), 0, nullptr, nullptr);
}

TEST_F(MixerTest, StartsAndStopsRaceTheMixingThread) {
    SampleData *d = Sample(Constant(64, 700));
    std::atomic<bool> done{false};
    std::thread mixer([&] {
        int16_t out[2 * 256];
        while (!done) MixAudio(nullptr, out, 256);
    });
    for (int round = 0; round < 1000; round++) {
        if (PreparePlaySample(d, ObjectId{round, nullptr}, 8000 + round % 40000, 64, round % 256, -1, round % 3) == 0)
            PlayPreparedSamples();
        if (round % 5 == 0) StopSampleChannels(d);
        if (round % 7 == 0) SetPlayingSampleAttributes(d, -1, round % 65, round % 256);
    }
    done = true;
    mixer.join();
}

} // namespace
