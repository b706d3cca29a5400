// Host blits of a 1920x1080 32-bit rectangle (BLTBITMAP, BLTMASK, BlendBitmapLevel) against memcpy of the same
// bytes in the same run. After the Google Benchmark cases, prints each blit as a ratio to memcpy (medians of 5
// single-threaded runs). Targets: BLTBITMAP within 1.2x, BlendBitmapLevel within 4x.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/bitmap.h"
#include "host/blit.h"
#include "../bench_machine.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

struct Fixture {
    HostBitmap *source = AllocHostBitmap(kWidth, kHeight);
    HostBitmap *destination = AllocHostBitmap(kWidth, kHeight);
    MaskPlane *mask = AllocMaskPlane(source, kWidth, kHeight, true);
    std::vector<uint8_t> flatSource, flatDestination;
    Fixture() {
        for (int y = 0; y < kHeight; y++)
            for (int x = 0; x < kWidth; x++) {
                HostBitmapRow32(source, y)[x] = uint32_t(x * 2654435761u + y) & 0xFFFFFF;
                HostBitmapRow32(destination, y)[x] = uint32_t(y * 40503u + x) & 0xFFFFFF;
                // A filled disc: whole mask bytes inside, ragged bytes on its edge, empty bytes outside.
                int dx = x - kWidth / 2, dy = y - kHeight / 2;
                if (dx * dx + dy * dy < 500 * 500) MaskPlaneSet(x, y);
            }
        size_t bytes = size_t(kWidth) * kHeight * 4;
        flatSource.assign(bytes, 1);
        flatDestination.assign(bytes, 2);
    }
    void MaskPlaneSet(int x, int y) {
        mask->bits[size_t(y) * size_t(mask->bytesPerRow) + size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7));
    }
};

Fixture &Shared() {
    static Fixture fixture;
    return fixture;
}

void Memcpy() {
    Fixture &f = Shared();
    std::memcpy(f.flatDestination.data(), f.flatSource.data(), f.flatSource.size());
    benchmark::ClobberMemory();
}
void BltBitmap() {
    Fixture &f = Shared();
    BLTBITMAP(f.source, 0, 0, f.destination, 0, 0, kWidth, kHeight);
    benchmark::ClobberMemory();
}
void BltMask() {
    Fixture &f = Shared();
    BLTMASK(f.source, 0, 0, f.destination, 0, 0, kWidth, kHeight, f.mask);
    benchmark::ClobberMemory();
}
void Blend() {
    Fixture &f = Shared();
    BlendBitmapLevel(f.source, 0, 0, f.destination, 0, 0, kWidth, kHeight, 100);
    benchmark::ClobberMemory();
}

void BM_Memcpy(benchmark::State &state) {
    for (auto _ : state) Memcpy();
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
void BM_BLTBITMAP(benchmark::State &state) {
    for (auto _ : state) BltBitmap();
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
void BM_BLTMASK(benchmark::State &state) {
    for (auto _ : state) BltMask();
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
void BM_BlendBitmapLevel(benchmark::State &state) {
    for (auto _ : state) Blend();
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BLTBITMAP)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BLTMASK)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlendBitmapLevel)->Unit(benchmark::kMicrosecond);

// Median over 5 runs of the mean time of 20 calls, in microseconds.
double MedianMicros(const std::function<void()> &op) {
    std::vector<double> runs;
    op(); // warm the caches and page in the buffers
    for (int r = 0; r < 5; r++) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 20; i++) op();
        auto end = std::chrono::steady_clock::now();
        runs.push_back(std::chrono::duration<double, std::micro>(end - start).count() / 20);
    }
    std::sort(runs.begin(), runs.end());
    return runs[2];
}

} // namespace

int BenchReport() {
    double base = MedianMicros(Memcpy);
    double blt = MedianMicros(BltBitmap), mask = MedianMicros(BltMask), blend = MedianMicros(Blend);
    std::printf("1920x1080x32 medians: memcpy %.0f us, BLTBITMAP %.0f us, BLTMASK %.0f us, BlendBitmapLevel %.0f us\n",
                base, blt, mask, blend);
    std::printf("ratio to memcpy: BLTBITMAP %.2fx (target 1.2x), BLTMASK %.2fx, BlendBitmapLevel %.2fx (target 4x)\n",
                blt / base, mask / base, blend / base);
    return 0;
}

VL_BENCH_MAIN(.note = "", .report = BenchReport)
