// The compositor on a 1920x1080 display (never opened, so no window upload on either side) with 200 brush
// layers of 128x128 with alpha, made from 32 images, at fixed pseudo-random places. A frame moves 20 of them
// with SetLayerPosition into one rectangle list and redraws it with one RefreshMergedRects; a full redraw
// composes the whole picture. The peer replays the blits the compositor made (recorded through its trace
// hook) straight on the imaging core. Medians of 5 runs; heap allocations per steady frame are counted by
// this program's own operator new and malloc wrappers.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "imaging/blit.h"
#include "../bench_machine.h"
#include "../layer_scene.h"

using vl::bench::Median;

namespace {

using namespace layerbench;

struct Blit {
    const HostBitmap *src;
    int32_t sx, sy;
    HostBitmap *dst;
    int32_t dx, dy, width, height, flags;
    const MaskPlane *mask;
    const AlphaPlane *alpha;
    const ClipRegion *clip;
};
std::vector<Blit> *Recording = nullptr;

void RecordBlit(const HostBitmap *src, int32_t sx, int32_t sy, HostBitmap *dst, int32_t dx, int32_t dy, int32_t width,
                int32_t height, int32_t flags, const MaskPlane *mask, const AlphaPlane *alpha, const ClipRegion *clip) {
    Recording->push_back(Blit{src, sx, sy, dst, dx, dy, width, height, flags, mask, alpha, clip});
}

void FullRedraw(Scene &s) {
    REDRAW(s.display, s.display->picture, s.display->secondBitmap, 0, 0, kWidth, kHeight, 0, 0);
}

void Replay(const std::vector<Blit> &blits) {
    for (const Blit &b : blits)
        SAFEBLT(b.src, b.sx, b.sy, b.dst, b.dx, b.dy, b.width, b.height, 0, 0, 0, 0, b.flags, b.mask, b.alpha, b.clip);
}

// The blits one call makes.
template <class Fn> std::vector<Blit> Record(Fn fn) {
    std::vector<Blit> blits;
    blits.reserve(20000);
    Recording = &blits;
    CompositorBlitTraceHook = RecordBlit;
    fn();
    CompositorBlitTraceHook = nullptr;
    Recording = nullptr;
    return blits;
}

struct Results {
    double refresh = 0, refreshPeer = 0, redraw = 0, redrawPeer = 0, allocations = 0, rects = 0;
};

Results Measure() {
    Scene &s = Shared();
    Results r;
    if (!s.ok) return r;
    for (int i = 0; i < 4; i++) Frame(s); // warm: every place visited, every list grown
    // Even and odd frames move the same layers between the same places, so two recorded frames stand for all.
    s.frame = 0;
    Frame(s), Frame(s);
    std::vector<Blit> frames[2];
    for (auto &f : frames) f = Record([&] { Frame(s); });
    const std::vector<Blit> redraw = Record([&] { FullRedraw(s); });
    std::vector<double> refresh, refreshPeer, redrawTimes, redrawPeer;
    constexpr int kFrames = 400, kRedraws = 40;
    for (int run = 0; run < 5; run++) {
        const long before = Allocations.load();
        refresh.push_back(MsPer(kFrames, [&] { Frame(s); }));
        r.allocations = double(Allocations.load() - before) / kFrames;
        int parity = 0;
        refreshPeer.push_back(MsPer(kFrames, [&] { Replay(frames[parity ^= 1]); }));
        redrawTimes.push_back(MsPer(kRedraws, [&] { FullRedraw(s); }));
        redrawPeer.push_back(MsPer(kRedraws, [&] { Replay(redraw); }));
    }
    r.refresh = Median(refresh);
    r.refreshPeer = Median(refreshPeer);
    r.redraw = Median(redrawTimes);
    r.redrawPeer = Median(redrawPeer);
    Frame(s);
    int merged = 0;
    for (int i = 0; i < s.rects.count; i++) merged += s.rects.rects[i].merged ? 0 : 1;
    r.rects = merged;
    return r;
}

void BM_RefreshFrame(benchmark::State &state) {
    Scene &s = Shared();
    RunSteps(state, s.ok, [&] { Frame(s); });
}
BENCHMARK(BM_RefreshFrame)->Unit(benchmark::kMillisecond);

void BM_FullRedraw(benchmark::State &state) {
    Scene &s = Shared();
    RunSteps(state, s.ok, [&] { FullRedraw(s); });
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMillisecond);

} // namespace

int BenchReport() {
    const Results r = Measure();
    std::printf("refresh of %d moved layers: %.3f ms/frame, raw blits %.3f ms (ratio %.2f, target <= 1.3)\n", kMoved,
                r.refresh, r.refreshPeer, r.refreshPeer > 0 ? r.refresh / r.refreshPeer : 0);
    std::printf("full redraw of %d layers: %.3f ms, raw blits %.3f ms (ratio %.2f, target <= 1.2)\n", kLayers, r.redraw,
                r.redrawPeer, r.redrawPeer > 0 ? r.redraw / r.redrawPeer : 0);
    std::printf("heap allocations per steady frame: %.2f (target 0); rectangles redrawn per frame: %.0f\n",
                r.allocations, r.rects);
    return 0;
}

VL_BENCH_MAIN(.report = BenchReport)
