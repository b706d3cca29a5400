// A 1920x1080 display double-buffering on the offscreen driver, with the virtual clock installed so that Flip's
// frame wait does not sleep: each frame draws a few brushes into the back buffer and Flips. Flip's own work (the
// copy into the front buffer and its bookkeeping, the window closed so nothing is shown) is measured against the
// peer, a memcpy of one 1920x1080x4 frame, in the same run; the window upload and present, and a Flip that
// scales into a 960x540 front buffer, are timed and printed on their own. Medians of 5 runs, with the CPU model.
// Target: Flip's own work at most 1.2x the memcpy.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "host/blit.h"
#include "host/clock.h"
#include "host/screen.h"
#include "host/window.h"
#include "imaging/display_image.h"
#include "scene/display/display_library.h"
#include "scene/display/display_list.h"
#include "scene/display/display_open.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/output.h"
#include "../bench_display.h"
#include "../bench_machine.h"

using vl::bench::Median;

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080;
constexpr int32_t kScaledWidth = 960, kScaledHeight = 540;
constexpr int kBrushes = 4;
constexpr int kFramesPerRun = 60;

struct Scene {
    DisplayRecord *display = nullptr;
    std::vector<Brush *> brushes;
    std::vector<uint32_t> from, to; // the peer's frames
    int frame = 0;
    bool ok = false;
};

Scene &Shared() {
    static Scene scene = [] {
        Scene s;
        InstallVirtualClock(0);
        HostBitmap *background = AllocHostBitmap(kWidth, kHeight);
        RECTFILL(background, 0, 0, kWidth, kHeight, 0x203040);
        DisplayRecord *d = vl::bench::OpenBenchDisplay(background);
        if (!d || BeginDoubleBuffering(d) != 0) return s;
        for (int i = 0; i < kBrushes; i++) {
            Brush *b = nullptr;
            if (CreateBrushRecord(ObjectId{i + 1, nullptr}, 128, 128, 0x405060u * uint32_t(i + 1), 0, 0, 0, &b) != 0)
                return s;
            s.brushes.push_back(b);
        }
        s.from.assign(size_t(kWidth) * kHeight, 0x123456);
        s.to.assign(size_t(kWidth) * kHeight, 0);
        s.display = d;
        s.ok = true;
        return s;
    }();
    return scene;
}

void DrawFrame(Scene &s) {
    for (int i = 0; i < kBrushes; i++)
        DrawBrushToOutput(s.brushes[size_t(i)], 0, 0, 0, 0, (s.frame * 7 + i * 300) % (kWidth - 128), 100 * i,
                          DisplayTransform{});
    s.frame++;
}

// Flip with the window closed: the copy and the bookkeeping only.
void FlipOnly(Scene &s) {
    s.display->state = DISPSTATE_CLOSED;
    FlipDoubleBuffer(nullptr, s.display);
    s.display->state = DISPSTATE_OPEN;
}

void Present(Scene &s) { PresentDoubleBuffer(s.display, 0, 0); }

void SetScaled(Scene &s, bool scaled) {
    DisplayRecord *d = s.display;
    d->autoScaling = scaled ? 1 : 0;
    d->scaledWidth = scaled ? kScaledWidth : 0;
    d->scaledHeight = scaled ? kScaledHeight : 0;
    ResizeFrontBuffer(d, scaled ? kScaledWidth : kWidth, scaled ? kScaledHeight : kHeight);
}

void BM_Memcpy(benchmark::State &state) {
    Scene &s = Shared();
    for (auto _ : state) {
        std::memcpy(s.to.data(), s.from.data(), s.from.size() * sizeof(uint32_t));
        benchmark::ClobberMemory();
    }
}
void BM_Flip(benchmark::State &state) {
    Scene &s = Shared();
    if (!s.ok) return state.SkipWithError("no display");
    for (auto _ : state) FlipOnly(s);
}
void BM_FlipAndPresent(benchmark::State &state) {
    Scene &s = Shared();
    if (!s.ok) return state.SkipWithError("no display");
    for (auto _ : state) {
        DrawFrame(s);
        FlipDoubleBuffer(nullptr, s.display);
    }
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Flip)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipAndPresent)->Unit(benchmark::kMillisecond);

template <class F> double TimeMs(F f) {
    const auto a = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count();
}

int BenchReport() {
    Scene &s = Shared();
    if (!s.ok) {
        std::printf("double_buffer: no display could be opened\n");
        return 1;
    }
    std::vector<double> copyMs, flipMs, presentMs, scaledMs, drawMs;
    for (int run = 0; run < 5; run++) {
        double copy = 0, flip = 0, present = 0, scaled = 0, draw = 0;
        SetScaled(s, false);
        for (int f = 0; f < kFramesPerRun; f++) {
            draw += TimeMs([&] { DrawFrame(s); });
            copy += TimeMs([&] {
                std::memcpy(s.to.data(), s.from.data(), s.from.size() * sizeof(uint32_t));
                benchmark::ClobberMemory();
            });
            flip += TimeMs([&] { FlipOnly(s); });
            present += TimeMs([&] { Present(s); });
        }
        SetScaled(s, true);
        for (int f = 0; f < kFramesPerRun; f++) {
            DrawFrame(s);
            scaled += TimeMs([&] { FlipOnly(s); });
        }
        copyMs.push_back(copy / kFramesPerRun);
        flipMs.push_back(flip / kFramesPerRun);
        presentMs.push_back(present / kFramesPerRun);
        scaledMs.push_back(scaled / kFramesPerRun);
        drawMs.push_back(draw / kFramesPerRun);
    }
    SetScaled(s, false);
    const double ratio = Median(flipMs) / Median(copyMs);
    std::printf("double_buffer (%dx%d, %d brushes of 128x128 per frame), median of 5 runs of %d frames:\n", kWidth,
                kHeight, kBrushes, kFramesPerRun);
    std::printf("  memcpy of a frame %.3f ms; Flip's own work %.3f ms: ratio %.2f (target <= 1.2: %s)\n",
                Median(copyMs), Median(flipMs), ratio, ratio <= 1.2 ? "met" : "missed");
    std::printf("  window upload and present %.3f ms; Flip scaling into %dx%d %.3f ms; drawing %.3f ms\n",
                Median(presentMs), kScaledWidth, kScaledHeight, Median(scaledMs), Median(drawMs));
    return 0;
}

} // namespace

VL_BENCH_MAIN(.note = "", .report = BenchReport)
