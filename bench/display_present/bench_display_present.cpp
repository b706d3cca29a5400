// A 1920x1080 display on the offscreen driver: every frame redraws the background picture and 20 brushes of
// 256x256 with an alpha channel at positions that change each frame (the C++ drawing operations, layers off),
// then presents the display. Besides the Google Benchmark cases it prints frames per second and the time per
// frame spent drawing and presenting, each the median of 5 single-threaded runs, with the CPU model.
// Target: drawing at most 8 ms per frame (120 frames per second); presenting is reported on its own.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host/blit.h"
#include "host/screen.h"
#include "host/window.h"
#include "imaging/display_image.h"
#include "scene/display/display_library.h"
#include "scene/display/display_list.h"
#include "scene/display/display_open.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "../bench_display.h"
#include "../bench_machine.h"

using vl::bench::Median;

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;
constexpr int kBrushes = 20;
constexpr int32_t kBrushSide = 256;
constexpr int kFramesPerRun = 120;

struct Scene {
    DisplayRecord *display = nullptr;
    std::vector<Brush *> brushes;
    int frame = 0;
    bool ok = false;
};

Scene &Shared() {
    static Scene scene = [] {
        Scene s;
        HostBitmap *background = AllocHostBitmap(kWidth, kHeight);
        for (int32_t y = 0; y < kHeight; y++)
            for (int32_t x = 0; x < kWidth; x++)
                HostBitmapRow32(background, y)[x] = uint32_t((x * 255 / kWidth) << 16 | (y * 255 / kHeight) << 8 | 0x40);
        DisplayRecord *d = vl::bench::OpenBenchDisplay(background);
        if (!d) return s;
        for (int i = 0; i < kBrushes; i++) {
            Brush *b = nullptr;
            if (CreateBrushRecord(ObjectId{i + 1, nullptr}, kBrushSide, kBrushSide, 0, 0, 1, 0, &b) != 0) return s;
            // A soft disc in its own colour: every alpha value from 0 to 255 occurs.
            for (int32_t y = 0; y < kBrushSide; y++)
                for (int32_t x = 0; x < kBrushSide; x++) {
                    const double r = std::hypot(x - 127.5, y - 127.5) / 128.0;
                    HostBitmapRow32(b->bitmap, y)[x] = uint32_t(0x102030 * (i + 1)) & 0xFFFFFF;
                    b->alpha->bytes[size_t(y) * size_t(b->alpha->bytesPerRow) + size_t(x)] =
                        uint8_t(std::clamp(255.0 * (1.0 - r), 0.0, 255.0));
                }
            s.brushes.push_back(b);
        }
        s.display = d;
        s.ok = true;
        return s;
    }();
    return scene;
}

void DrawFrame(Scene &s) {
    DisplayRecord *d = s.display;
    BLTBITMAP(d->picture->current.bitmap, 0, 0, d->firstBitmap, 0, 0, kWidth, kHeight);
    const DisplayTransform identity;
    for (int i = 0; i < kBrushes; i++) {
        const Brush *b = s.brushes[size_t(i)];
        const double t = (s.frame + i * 37) * 0.05;
        const int32_t x = int32_t((kWidth - kBrushSide) * (0.5 + 0.5 * std::sin(t + i)));
        const int32_t y = int32_t((kHeight - kBrushSide) * (0.5 + 0.5 * std::cos(t * 1.3 + i)));
        const ImageTriple image{b->bitmap, b->mask, b->alpha, b->width, b->height};
        DrawDisplayImage(d->firstBitmap, image, 0, 0, b->width, b->height, identity, x, y);
    }
    s.frame++;
}

void PresentFrame(Scene &s) { RefreshDisplayNow(s.display, 0); }

void BM_DrawFrame(benchmark::State &state) {
    Scene &s = Shared();
    if (!s.ok) return state.SkipWithError("no display");
    for (auto _ : state) {
        DrawFrame(s);
        benchmark::ClobberMemory();
    }
}
void BM_PresentFrame(benchmark::State &state) {
    Scene &s = Shared();
    if (!s.ok) return state.SkipWithError("no display");
    for (auto _ : state) PresentFrame(s);
}
void BM_WholeFrame(benchmark::State &state) {
    Scene &s = Shared();
    if (!s.ok) return state.SkipWithError("no display");
    for (auto _ : state) {
        DrawFrame(s);
        PresentFrame(s);
    }
}
BENCHMARK(BM_DrawFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PresentFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WholeFrame)->Unit(benchmark::kMillisecond);

int BenchReport() {
    Scene &s = Shared();
    if (!s.ok) {
        std::printf("display_present: no display could be opened\n");
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    std::vector<double> drawMs, presentMs, fps;
    for (int run = 0; run < 5; run++) {
        double draw = 0, present = 0;
        const auto start = Clock::now();
        for (int f = 0; f < kFramesPerRun; f++) {
            const auto a = Clock::now();
            DrawFrame(s);
            const auto b = Clock::now();
            PresentFrame(s);
            const auto c = Clock::now();
            draw += std::chrono::duration<double, std::milli>(b - a).count();
            present += std::chrono::duration<double, std::milli>(c - b).count();
        }
        const double total = std::chrono::duration<double>(Clock::now() - start).count();
        drawMs.push_back(draw / kFramesPerRun);
        presentMs.push_back(present / kFramesPerRun);
        fps.push_back(kFramesPerRun / total);
    }
    std::printf("display_present (%dx%d, background + %d brushes of %dx%d with alpha), median of 5 runs of %d frames:\n",
                kWidth, kHeight, kBrushes, kBrushSide, kBrushSide, kFramesPerRun);
    std::printf("  frames per second %.1f; drawing %.2f ms per frame (target <= 8 ms: %s); presenting %.2f ms\n",
                Median(fps), Median(drawMs), Median(drawMs) <= 8.0 ? "met" : "missed", Median(presentMs));
    return 0;
}

} // namespace

VL_BENCH_MAIN(.note = "", .report = BenchReport)
