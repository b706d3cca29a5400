// Imaging kernels against memcpy of the same bytes, in the same run: the alpha blit, the opaque copy, a smooth
// scale and a rotation. Prints Mpixel/s and the ratio of each pixel rate to memcpy's (median of 5 runs).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "imaging/blit.h"
#include "imaging/image_ops.h"
#include "../bench_machine.h"

namespace {

constexpr int kW = 1920, kH = 1080;

HostBitmap *RandomBitmap(int w, int h, uint32_t seed) {
    HostBitmap *b = AllocHostBitmap(w, h);
    std::mt19937 rng(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) HostBitmapRow32(b, y)[x] = rng() & 0xFFFFFF;
    return b;
}

// A realistic alpha plane: opaque and clear areas with soft edges between them.
AlphaPlane *SoftAlpha(int w, int h) {
    AlphaPlane *a = AllocAlphaPlane(w, h, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double v = 0.5 + 0.7 * std::sin(x * 0.01) * std::cos(y * 0.013);
            a->bytes[y * a->bytesPerRow + x] = uint8_t(std::clamp(v, 0.0, 1.0) * 255);
        }
    return a;
}

void SetPixels(benchmark::State &state, int64_t pixels) {
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["Mpixel/s"] = benchmark::Counter(double(pixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Memcpy(benchmark::State &state) {
    std::vector<uint8_t> a(size_t(kW) * kH * 4, 1), b(a.size());
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size());
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    SetPixels(state, int64_t(kW) * kH);
}

void BM_SafeBltAlpha(benchmark::State &state) {
    HostBitmap *src = RandomBitmap(kW, kH, 1), *dst = RandomBitmap(kW, kH, 2);
    AlphaPlane *alpha = SoftAlpha(kW, kH);
    for (auto _ : state) {
        SAFEBLT(src, 0, 0, dst, 0, 0, kW, kH, 0, 0, 0, 0, 18, nullptr, alpha, nullptr);
        benchmark::ClobberMemory();
    }
    SetPixels(state, int64_t(kW) * kH);
    FreeAlphaPlane(alpha);
    FreeHostBitmap(src);
    FreeHostBitmap(dst);
}

void BM_SafeBltOpaque(benchmark::State &state) {
    HostBitmap *src = RandomBitmap(kW, kH, 3), *dst = RandomBitmap(kW, kH, 4);
    for (auto _ : state) {
        SAFEBLT(src, 0, 0, dst, 0, 0, kW, kH, 0, 0, 0, 0, 19, nullptr, nullptr, nullptr);
        benchmark::ClobberMemory();
    }
    SetPixels(state, int64_t(kW) * kH);
    FreeHostBitmap(src);
    FreeHostBitmap(dst);
}

void BM_MixImagesCrossfade(benchmark::State &state) {
    HostBitmap *src = RandomBitmap(kW, kH, 7), *dst = RandomBitmap(kW, kH, 8);
    for (auto _ : state) {
        MixImages(dst, src, nullptr, 0, 0, 0, 0, kW, kH, 100, nullptr, kW, kH);
        benchmark::ClobberMemory();
    }
    SetPixels(state, int64_t(kW) * kH);
    FreeHostBitmap(src);
    FreeHostBitmap(dst);
}

void BM_ScaleSmooth640x480To1920x1080(benchmark::State &state) {
    HostBitmap *src = RandomBitmap(640, 480, 5), *dst = AllocHostBitmap(kW, kH);
    for (auto _ : state) {
        HostBitmap *out = nullptr;
        ScaleImage(src, nullptr, nullptr, 0, 0, dst, 640, 480, kW, kH, true, &out, nullptr, nullptr);
        benchmark::ClobberMemory();
    }
    SetPixels(state, int64_t(kW) * kH); // destination pixels
    FreeHostBitmap(src);
    FreeHostBitmap(dst);
}

void BM_Rotate30Degrees512(benchmark::State &state) {
    HostBitmap *src = RandomBitmap(512, 512, 6);
    const double a = M_PI / 6, m[4] = {std::cos(a), std::sin(a), -std::sin(a), std::cos(a)};
    int32_t w = 0, h = 0;
    ScaledImageSize(m, 512, 512, &w, &h);
    for (auto _ : state) {
        HostBitmap *out = nullptr;
        MaskPlane *mask = nullptr;
        TransformImage(src, nullptr, nullptr, 0, 0, 512, 512, m, false, &out, &mask, nullptr, nullptr, nullptr);
        FreeHostBitmap(out);
        FreeMaskPlane(mask);
    }
    SetPixels(state, int64_t(w) * h); // destination pixels
    FreeHostBitmap(src);
}

const char *kNames[] = {"BM_Memcpy", "BM_SafeBltAlpha", "BM_SafeBltOpaque", "BM_MixImagesCrossfade",
                        "BM_ScaleSmooth640x480To1920x1080", "BM_Rotate30Degrees512"};

// Console output as usual, and the medians kept for the ratio table.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> rate; // Mpixel/s by benchmark name
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name != "median") continue;
            auto it = r.counters.find("Mpixel/s");
            if (it != r.counters.end()) rate[r.run_name.function_name] = it->second.value;
        }
    }
};

} // namespace

BENCHMARK(BM_Memcpy)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SafeBltAlpha)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SafeBltOpaque)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MixImagesCrossfade)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleSmooth640x480To1920x1080)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rotate30Degrees512)->Repetitions(5)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);

RatioReporter reporter;

int BenchReport() {
    const double base = reporter.rate.count("BM_Memcpy") ? reporter.rate["BM_Memcpy"] : 0;
    std::printf("\n%-36s %12s %14s\n", "median of 5", "Mpixel/s", "x memcpy rate");
    for (const char *name : kNames) {
        if (!reporter.rate.count(name)) continue;
        const double r = reporter.rate[name];
        std::printf("%-36s %12.1f %14.2f\n", name, r, base > 0 ? r / base : 0.0);
    }
    return 0;
}

VL_BENCH_MAIN(.report = BenchReport, .reporter = &reporter)
