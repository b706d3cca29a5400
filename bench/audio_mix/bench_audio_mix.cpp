// Mixes 8 voices (8- and 16-bit, mono and stereo, 8000 to 48000 Hz, different volumes and pans, master volume
// not unity) into 60 s of 48 kHz stereo through the mixer's pull function, without a device. The floor, in the
// same run: a plain loop that adds eight ready-made 48 kHz stereo buffers with one gain each. Prints the
// realtime factor and the time ratio to the floor (medians of 5), and one streaming refill for MP3 and a module.
// Targets: at least 500x realtime, at most 12x the floor's time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "host/audio_output.h"
#include "media/sound/mixer.h"
#include "media/sound/sound_stream.h"
#include "media/tracker/module.h"
#include "tests/media/module_builder.h"
#include "../bench_machine.h"

namespace {

constexpr int kSeconds = 60;
constexpr int kPull = kAudioOutputPullFrames;

struct Voice {
    int bits, channels;
    uint32_t rate;
    int32_t volume, pan;
};
const Voice kVoices[8] = {{8, 1, 8000, 0x10000, 0x8000},  {16, 1, 11025, 0xC000, 0x2000},
                          {8, 2, 22050, 0x8000, 0xE000},  {16, 2, 44100, 0x10000, 0x8000},
                          {16, 1, 48000, 0x6000, 0x10000}, {8, 1, 16000, 0x9000, 0},
                          {16, 2, 32000, 0xA000, 0x5000}, {8, 2, 48000, 0x7000, 0xB000}};

std::vector<std::vector<uint8_t>> sounds;

void SetUpMixer() {
    std::lock_guard<std::mutex> lock(AudioLock());
    ResetMixer(nullptr);
    sounds.clear();
    for (int v = 0; v < 8; v++) {
        const Voice &s = kVoices[v];
        const size_t frames = s.rate; // one second, repeating
        std::vector<uint8_t> data(frames * size_t(s.channels * s.bits / 8));
        for (size_t i = 0; i < frames * size_t(s.channels); i++) {
            const double x = std::sin(double(i) * 0.01 * (v + 1));
            if (s.bits == 8) data[i] = uint8_t(int8_t(100 * x));
            else reinterpret_cast<int16_t *>(data.data())[i] = int16_t(20000 * x);
        }
        sounds.push_back(std::move(data));
        LoadMixerSound(3 + v, sounds.back().data(), uint32_t(frames), s.channels, s.bits);
        MixerPlay(v, s.rate, s.volume, s.pan, 3 + v, 0, 0);
    }
    MixerSetMasterGain(kUnityMasterGain / 64 * 30);
}

void MixOurs() {
    SetUpMixer();
    int16_t out[2 * kPull];
    for (int done = 0; done < kAudioOutputRate * kSeconds; done += kPull) {
        MixAudio(nullptr, out, kPull);
        benchmark::DoNotOptimize(out);
    }
}

// Eight 48 kHz stereo buffers, one gain each, summed and clamped: what any mixer must at least do.
void MixFloor() {
    static std::vector<int16_t> ready[8];
    for (auto &r : ready)
        if (r.empty()) r.assign(2 * kAudioOutputRate, 1234);
    int32_t gains[8] = {0x10000, 0xC000, 0x8000, 0x10000, 0x6000, 0x9000, 0xA000, 0x7000};
    int16_t out[2 * kPull];
    int32_t sum[2 * kPull];
    size_t at = 0;
    for (int done = 0; done < kAudioOutputRate * kSeconds; done += kPull) {
        std::fill(std::begin(sum), std::end(sum), 0);
        for (int v = 0; v < 8; v++) {
            const int16_t *in = ready[v].data() + at;
            for (int k = 0; k < 2 * kPull; k++) sum[k] += (in[k] * gains[v]) >> 16;
        }
        for (int k = 0; k < 2 * kPull; k++) out[k] = int16_t(std::clamp(sum[k], -32768, 32767));
        at = (at + 2 * kPull) % (ready[0].size() - 2 * kPull);
        benchmark::DoNotOptimize(out);
    }
}

void BM_Mixer(benchmark::State &state) {
    for (auto _ : state) MixOurs();
}
void BM_Floor(benchmark::State &state) {
    for (auto _ : state) MixFloor();
}
BENCHMARK(BM_Mixer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond);

} // namespace

int BenchReport() {
    const double ours = vl::bench::MedianSeconds(MixOurs), floor = vl::bench::MedianSeconds(MixFloor);
    std::printf("audio mix, 8 voices, %d s at 48 kHz: %.0fx realtime, %.2fx the floor's time "
                "(targets: 500x, at most 12x)\n", kSeconds, kSeconds / ours, ours / floor);
    // One refill each: an MP3 frame's worth (1152 frames) and a module buffer (2400 frames).
    SoundStream *mp3 = nullptr;
    if (OpenSoundStream(VL_SOURCE_DIR "/tests/data/media/layer3.mp3", kOpenAsMusic, &mp3) == 0) {
        std::vector<uint8_t> pcm(1152 * size_t(mp3->frameBytes));
        const double t = vl::bench::MedianSeconds([&] {
            for (int i = 0; i < 20; i++) {
                int end = 0;
                if (ReadSoundStream(mp3, pcm.data(), 1152, &end) < 1152 || end) SeekSoundStream(mp3, 0);
            }
        }) / 20;
        std::printf("one MP3 refill (1152 frames): %.1f us\n", t * 1e6);
        CloseSoundStream(mp3);
    }
    ModuleBuilder b;
    std::vector<int8_t> wave(4096);
    for (size_t k = 0; k < wave.size(); k++) wave[k] = int8_t(100 * std::sin(double(k) * 0.05));
    for (int ch = 0; ch < 4; ch++) {
        b.samples.push_back({wave, 64, 0, 4096});
        b.Note(0, 0, ch, 428 - 40 * ch, ch + 1);
    }
    auto module = std::make_unique<ModuleState>();
    ParseModule(module.get(), b.Build(), kPlaybackRate);
    static int16_t out[2400 * 2];
    const double refill = vl::bench::MedianSeconds([&] {
        for (int i = 0; i < 100; i++) RenderModuleAudio(module.get(), out, 2400);
    }) / 100;
    std::printf("one module refill (2400 frames): %.1f us\n", refill * 1e6);
    return 0;
}

VL_BENCH_MAIN(.report = BenchReport)
