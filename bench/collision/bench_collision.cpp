// PixelOverlap of two 256x256 layers that cover each other completely: masks with no shared opaque pixel (the
// worst case: every pixel is visited), masks sharing one pixel in the last row, and alpha planes without a shared
// opaque pixel. The peer, in the same run, is a naive per-pixel loop over the same planes. Medians of 5 runs,
// with the CPU model. Target: the fast form at least 4x faster than the peer in the worst case.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "host/bitmap.h"
#include "scene/layers/layers.h"
#include "../bench_machine.h"

using vl::bench::Median;

namespace {

constexpr int32_t kSide = 256;

struct Planes {
    MaskPlane *maskA = nullptr, *maskB = nullptr;
    AlphaPlane *alphaA = nullptr, *alphaB = nullptr;
    Planes() {
        maskA = AllocMaskPlane(nullptr, kSide, kSide, true);
        maskB = AllocMaskPlane(nullptr, kSide, kSide, true);
        alphaA = AllocAlphaPlane(kSide, kSide, true);
        alphaB = AllocAlphaPlane(kSide, kSide, true);
        // Checkerboards of opposite phase: everything overlaps, nothing is opaque in both.
        for (int32_t y = 0; y < kSide; y++)
            for (int32_t x = 0; x < kSide; x++) {
                const bool a = ((x + y) & 1) == 0;
                uint8_t &ma = maskA->bits[size_t(y) * maskA->bytesPerRow + size_t(x >> 3)];
                uint8_t &mb = maskB->bits[size_t(y) * maskB->bytesPerRow + size_t(x >> 3)];
                (a ? ma : mb) |= uint8_t(0x80 >> (x & 7));
                (a ? alphaA : alphaB)->bytes[size_t(y) * alphaA->bytesPerRow + size_t(x)] = 200;
            }
    }
    ~Planes() {
        FreeMaskPlane(maskA), FreeMaskPlane(maskB), FreeAlphaPlane(alphaA), FreeAlphaPlane(alphaB);
    }
    void ShareLastPixel(bool on) {
        uint8_t &b = maskB->bits[size_t(kSide - 1) * maskB->bytesPerRow + size_t((kSide - 1) >> 3)];
        // Pixel (255, 255) is A's (even sum); B gets it too, or loses it again.
        if (on) b |= 0x01;
        else b &= uint8_t(~0x01);
    }
};

// The peer: every pixel, every plane, no words.
int NaiveOverlap(const MaskPlane *ma, const AlphaPlane *aa, const MaskPlane *mb, const AlphaPlane *ab) {
    for (int32_t y = 0; y < kSide; y++)
        for (int32_t x = 0; x < kSide; x++) {
            bool a = true, b = true;
            if (ma) a = a && MaskBit(ma, x, y);
            if (aa) a = a && aa->bytes[size_t(y) * aa->bytesPerRow + size_t(x)] != 0;
            if (mb) b = b && MaskBit(mb, x, y);
            if (ab) b = b && ab->bytes[size_t(y) * ab->bytesPerRow + size_t(x)] != 0;
            if (a && b) return 1;
        }
    return 0;
}

int Fast(const MaskPlane *ma, const AlphaPlane *aa, const MaskPlane *mb, const AlphaPlane *ab) {
    return PixelOverlapFast(0, 0, kSide, kSide, ma, aa, 0, 0, 0, 0, kSide, kSide, mb, ab, 0, 0, nullptr, nullptr);
}

Planes *Shared() {
    static Planes planes;
    return &planes;
}

void BM_NaiveMasks(benchmark::State &state) {
    Planes *p = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(NaiveOverlap(p->maskA, nullptr, p->maskB, nullptr));
}
void BM_FastMasks(benchmark::State &state) {
    Planes *p = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(Fast(p->maskA, nullptr, p->maskB, nullptr));
}
BENCHMARK(BM_NaiveMasks)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FastMasks)->Unit(benchmark::kMicrosecond);

template <class F> double MeanMicros(F f, int runs) {
    const auto start = std::chrono::steady_clock::now();
    int sink = 0;
    for (int i = 0; i < runs; i++) sink += f();
    benchmark::DoNotOptimize(sink);
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / runs;
}

void Report(const char *what, Planes *p, bool masks, bool alphas) {
    const MaskPlane *ma = masks ? p->maskA : nullptr, *mb = masks ? p->maskB : nullptr;
    const AlphaPlane *aa = alphas ? p->alphaA : nullptr, *ab = alphas ? p->alphaB : nullptr;
    std::vector<double> naive, fast;
    for (int run = 0; run < 5; run++) {
        naive.push_back(MeanMicros([&] { return NaiveOverlap(ma, aa, mb, ab); }, 200));
        fast.push_back(MeanMicros([&] { return Fast(ma, aa, mb, ab); }, 200));
    }
    std::printf("  %-36s naive %8.2f us, fast %8.2f us: %.1fx\n", what, Median(naive), Median(fast),
                Median(naive) / Median(fast));
}

} // namespace

int BenchReport() {
    Planes *p = Shared();
    if (Fast(p->maskA, nullptr, p->maskB, nullptr) != 0 || Fast(nullptr, p->alphaA, nullptr, p->alphaB) != 0) {
        std::printf("planes share a pixel: the worst case is not measured\n");
        return 1;
    }
    Report("masks, no shared pixel (worst case)", p, true, false);
    p->ShareLastPixel(true);
    Report("masks, one shared pixel in the last row", p, true, false);
    p->ShareLastPixel(false);
    Report("alpha planes, no shared pixel", p, false, true);
    std::printf("  target: the worst case at least 4x faster\n");
    return 0;
}

VL_BENCH_MAIN(.note = "", .report = BenchReport)
