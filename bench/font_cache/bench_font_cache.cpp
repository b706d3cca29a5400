// The opened-font cache: a hit among 64 cached fonts (the last one) against opening the same built-in face
// uncached, measured in the same run. Prints the median time per lookup and per open, and their ratio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "text/layout/font_cache.h"
#include "../bench_machine.h"

namespace {

constexpr int kCachedFonts = 64;
std::map<std::string, std::vector<double>> samples; // name -> ns per operation

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

void Record(const char *name, benchmark::State &state, double seconds) {
    samples[name].push_back(seconds * 1e9 / double(state.iterations()));
}

void BM_CachedFontHit(benchmark::State &state) {
    FontHandle *font = nullptr;
    const double start = Now();
    for (auto _ : state) {
        if (OpenFontCached(":::default_sans", 10 + kCachedFonts - 1, kFontEngineInbuilt, 1, 0, &font)) std::abort();
        benchmark::DoNotOptimize(font);
    }
    Record("hit", state, Now() - start);
}

void BM_UncachedOpen(benchmark::State &state) {
    const double start = Now();
    for (auto _ : state) {
        FontHandle *font = nullptr;
        if (OpenFontObject("Bitstream Vera Sans", 10 + kCachedFonts - 1, kFontEngineInbuilt, 1, 0, &font)) std::abort();
        CloseFontObject(font);
    }
    Record("open", state, Now() - start);
}

BENCHMARK(BM_CachedFontHit);
BENCHMARK(BM_UncachedOpen)->Unit(benchmark::kMillisecond);

} // namespace

bool BenchSetUp(int, char **) {
    FontHandle *builtin = nullptr;
    if (InitFontSystem(&builtin)) return false;
    for (int i = 0; i < kCachedFonts; i++) {
        FontHandle *font = nullptr;
        if (OpenFontCached(":::default_sans", 10 + i, kFontEngineInbuilt, 1, 0, &font)) return false;
    }
    return true;
}

int BenchReport() {
    const double hit = vl::bench::Median(samples["hit"]), open = vl::bench::Median(samples["open"]);
    if (hit > 0 && open > 0)
        std::printf("font cache: hit %.1f ns, uncached open %.0f ns, hit/open = 1/%.0f (target: at most 1/50 and 1 us)\n",
                    hit, open, open / hit);
    CloseAllCachedFonts();
    ShutdownFontSystem();
    return 0;
}

VL_BENCH_MAIN(.setUp = BenchSetUp, .report = BenchReport)
