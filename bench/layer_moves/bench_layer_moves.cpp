// Layers moved one command at a time on a 640x480 display with layers: 100 and 1000 brush layers of 32x32, every
// one moved by a few pixels each frame as TranslateLayer moves it. Each move drawn at once (every refresh
// composes its rectangle from all layers), against the moves of a run of such commands drawn in one batch, as
// the layer commands now draw them. Both leave the same image, checked before timing. Prints the median time per
// frame of 5 single-threaded runs (thread CPU time) and the ratio 1000:100 of each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "runtime/app/command.h"
#include "scene/display/object_kinds.h"
#include "scene/images/brush.h"
#include "scene/layers/layers.h"
#include "../bench_display.h"
#include "../bench_machine.h"

namespace {

constexpr int32_t kWidth = 640, kHeight = 480, kSide = 32;

struct Scene {
    VMState *vm = nullptr;
    DisplayRecord *display = nullptr;
    std::vector<vlLayer *> layers;
    uint32_t seed = 12345;
    int frame = 0;
};

uint32_t Random(uint32_t *state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

Scene *Shared() {
    static Scene *scene = [] {
        auto *s = new Scene;
        HostBitmap *background = AllocHostBitmap(kWidth, kHeight);
        for (int32_t y = 0; y < kHeight; y++)
            for (int32_t x = 0; x < kWidth; x++) HostBitmapRow32(background, y)[x] = uint32_t(x ^ y) * 0x010203u;
        s->vm = NewVMState();
        InitRuntimeSupport(s->vm);
        InstallLayerHooks();
        if (!(s->display = vl::bench::OpenBenchDisplay(background)) || EnableDisplayLayers(s->display) != 0) return s;
        // A disc in a square: the corners let the layers below show.
        HostBitmap *bitmap = AllocHostBitmap(kSide, kSide);
        MaskPlane *mask = AllocMaskPlane(bitmap, kSide, kSide, true);
        for (int32_t y = 0; y < kSide; y++)
            for (int32_t x = 0; x < kSide; x++) {
                HostBitmapRow32(bitmap, y)[x] = 0xFF000000u | (Random(&s->seed) & 0xFFFFFF);
                const int32_t cx = 2 * x - kSide + 1, cy = 2 * y - kSide + 1;
                if (cx * cx + cy * cy <= kSide * kSide)
                    mask->bits[size_t(y) * mask->bytesPerRow + size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7));
            }
        if (AddBrushRecord(ObjectId{1, nullptr}, kBrushBitmap, kSide, kSide, kSide, nullptr, bitmap, -1, mask, nullptr,
                           nullptr) != 0)
            s->display = nullptr;
        return s;
    }();
    return scene->display ? scene : nullptr;
}

// Adds layers up to count (the sizes are measured in rising order).
bool Grow(Scene &s, int count) {
    while (int(s.layers.size()) < count) {
        const int32_t x = int32_t(Random(&s.seed) % (kWidth - kSide)), y = int32_t(Random(&s.seed) % (kHeight - kSide));
        if (DisplayImageObjectLayer(s.vm, ObjectKindBrush, ObjectId{1, nullptr}, 0, 0, x, y, kSide, kSide,
                                    DisplayTransform{}, LayerOptions{}) != 0)
            return false;
        s.layers.push_back(GetNthLayer(CurrentBGPic, int32_t(s.layers.size()) + 1));
    }
    return true;
}

// Every layer a step to and fro, as TranslateLayer moves it; batch keeps the refreshes as display damage until
// the next other command, which draws them once.
void Frame(Scene &s, bool batch) {
    const int32_t dx = (s.frame & 1) ? 3 : -3, dy = (s.frame & 1) ? 2 : -2;
    s.frame++;
    DeferDisplayRefreshes = batch;
    for (vlLayer *layer : s.layers) SetLayerPosition(layer, nullptr, dx, dy, 0, 3, nullptr);
    DeferDisplayRefreshes = false;
    FlushDisplayDamage();
}

bool SameImage(Scene &s) {
    const HostBitmap *shown = s.display->secondBitmap;
    std::vector<uint32_t> once(size_t(kWidth) * kHeight), batched(once.size());
    Frame(s, false);
    for (int32_t y = 0; y < kHeight; y++) std::memcpy(&once[size_t(y) * kWidth], HostBitmapRow32(shown, y), kWidth * 4);
    Frame(s, false);
    Frame(s, true);
    for (int32_t y = 0; y < kHeight; y++) std::memcpy(&batched[size_t(y) * kWidth], HostBitmapRow32(shown, y), kWidth * 4);
    Frame(s, true);
    return once == batched;
}

void BM_LayerMoves(benchmark::State &state) {
    Scene *s = Shared();
    if (!s || !Grow(*s, int(state.range(0)))) {
        state.SkipWithError("set-up failed");
        return;
    }
    for (auto _ : state) Frame(*s, state.range(1) != 0);
}
BENCHMARK(BM_LayerMoves)->Args({100, 0})->Args({100, 1})->Args({1000, 0})->Args({1000, 1})->Unit(benchmark::kMillisecond);

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double FrameMillis(Scene &s, bool batch) {
    const int frames = s.layers.size() >= 1000 ? 10 : 100;
    std::vector<double> runs;
    for (int run = 0; run < 5; run++) {
        const double start = ThreadSeconds();
        for (int i = 0; i < frames; i++) Frame(s, batch);
        runs.push_back((ThreadSeconds() - start) * 1000.0 / frames);
    }
    return vl::bench::Median(runs);
}

} // namespace

int BenchReport() {
    Scene *s = Shared();
    if (!s) {
        std::printf("no display\n");
        return 1;
    }
    // The Google Benchmark runs grew the scene to 1000 layers already; the report starts from 100 again.
    FreeBGPicLayers(s->display, CurrentBGPic, 0, 1);
    s->layers.clear();
    RefreshArea(0, 0, kWidth, kHeight);
    double once[2] = {}, batched[2] = {};
    const int sizes[2] = {100, 1000};
    for (int i = 0; i < 2; i++) {
        if (!Grow(*s, sizes[i])) return 1;
        if (!SameImage(*s)) {
            std::printf("the batched frame differs from the frame drawn move by move\n");
            return 1;
        }
        once[i] = FrameMillis(*s, false);
        batched[i] = FrameMillis(*s, true);
        std::printf("  %4d layers: each move drawn at once %8.3f ms a frame, in one batch %8.3f ms\n", sizes[i], once[i],
                    batched[i]);
    }
    std::printf("  1000:100 drawn at once %.1fx, in one batch %.1fx\n", once[1] / once[0], batched[1] / batched[0]);
    return 0;
}

VL_BENCH_MAIN(.note = " (single-threaded)", .report = BenchReport)
