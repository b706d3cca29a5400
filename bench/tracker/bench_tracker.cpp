// Renders a generated four-channel module (every channel busy with looped instruments, portamento, vibrato and
// volume slides) to 16-bit stereo at 44.1 kHz, and the same module with libxmp in the same run (nearest-sample
// interpolation, the closest to our mixer). Prints both realtime factors and their ratio (medians of 5 runs), and
// the time of one 2400-frame refill at 48 kHz. Targets: at least 1000x realtime, at most 1.5x libxmp's time.
#include <benchmark/benchmark.h>
#include <xmp.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "media/tracker/module.h"
#include "tests/media/module_builder.h"
#include "../bench_machine.h"

namespace {

constexpr int kRate = 44100;
constexpr int kSeconds = 20;
constexpr int kBlockFrames = 1024;

std::vector<uint8_t> BusyModule() {
    ModuleBuilder b;
    for (int i = 0; i < 4; i++) {
        std::vector<int8_t> wave(2048 + 512 * i);
        for (size_t k = 0; k < wave.size(); k++) wave[k] = int8_t(100 * std::sin(double(k) * (i + 1) * 0.049));
        b.samples.push_back({wave, 48 + 4 * i, 256, int(wave.size()) - 256});
    }
    const int notes[] = {428, 381, 339, 320, 285, 254, 226, 214};
    const int effects[][2] = {{0x3, 0x08}, {0x4, 0x48}, {0xA, 0x02}, {0x1, 0x02}, {0x6, 0x01}, {0x2, 0x01}};
    b.orders = {0, 1, 2, 3};
    for (int p = 0; p < 4; p++)
        for (int row = 0; row < 64; row++)
            for (int ch = 0; ch < 4; ch++) {
                const int *fx = effects[(row + ch + p) % 6];
                if ((row + ch) % 4 == 0) b.Note(p, row, ch, notes[(row / 4 + ch + p) % 8], ch + 1, fx[0], fx[1]);
                else b.Effect(p, row, ch, fx[0] == 0x3 ? 0x5 : fx[0], fx[0] == 0x3 ? 0x01 : fx[1]);
            }
    return b.Build();
}

const std::vector<uint8_t> &Image() {
    static const std::vector<uint8_t> image = BusyModule();
    return image;
}

void RenderOurs(int rate, size_t frames) {
    auto state = std::make_unique<ModuleState>();
    ParseModule(state.get(), Image(), rate);
    int16_t pcm[kBlockFrames * 2];
    for (size_t done = 0; done < frames; done += kBlockFrames) {
        RenderModuleAudio(state.get(), pcm, kBlockFrames);
        benchmark::DoNotOptimize(pcm);
    }
}

void RenderXmp(size_t frames) {
    xmp_context ctx = xmp_create_context();
    xmp_load_module_from_memory(ctx, Image().data(), long(Image().size()));
    xmp_start_player(ctx, kRate, 0);
    xmp_set_player(ctx, XMP_PLAYER_INTERP, XMP_INTERP_NEAREST);
    int16_t pcm[kBlockFrames * 2];
    for (size_t done = 0; done < frames; done += kBlockFrames) {
        if (xmp_play_buffer(ctx, pcm, sizeof pcm, 0) != 0) std::fprintf(stderr, "libxmp stopped early\n");
        benchmark::DoNotOptimize(pcm);
    }
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
}

void BM_OurReplayer(benchmark::State &state) {
    for (auto _ : state) RenderOurs(kRate, size_t(kRate) * kSeconds);
}
void BM_Libxmp(benchmark::State &state) {
    for (auto _ : state) RenderXmp(size_t(kRate) * kSeconds);
}
BENCHMARK(BM_OurReplayer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxmp)->Unit(benchmark::kMillisecond);

} // namespace

int BenchReport() {
    double ours = vl::bench::MedianSeconds([] { RenderOurs(kRate, size_t(kRate) * kSeconds); });
    double xmp = vl::bench::MedianSeconds([] { RenderXmp(size_t(kRate) * kSeconds); });
    std::printf("tracker, %d s at 44.1 kHz: ours %.0fx realtime, libxmp %.0fx realtime, time ratio %.2fx "
                "(targets: 1000x, at most 1.5x)\n",
                kSeconds, kSeconds / ours, kSeconds / xmp, ours / xmp);
    // One refill of the playing buffer: 2400 frames (50 ms) at 48 kHz, on a module already playing.
    auto state = std::make_unique<ModuleState>();
    ParseModule(state.get(), Image(), kPlaybackRate);
    static int16_t pcm[2400 * 2];
    RenderModuleAudio(state.get(), pcm, 2400);
    double refill = vl::bench::MedianSeconds([&] {
        for (int i = 0; i < 100; i++) RenderModuleAudio(state.get(), pcm, 2400);
    }) / 100;
    std::printf("one 2400-frame refill at 48 kHz: %.1f us\n", refill * 1e6);
    return 0;
}

VL_BENCH_MAIN(.report = BenchReport)
