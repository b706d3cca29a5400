// The compositor on a 1920x1080 display (never opened, so no window upload on either side) with 200 brush
// layers of 128x128 with alpha, made from 32 images, at fixed pseudo-random places. A frame moves 20 of them
// with SetLayerPosition into one rectangle list and redraws it with one RefreshMergedRects; a full redraw
// composes the whole picture. The peer replays the blits the compositor made (recorded through its trace
// hook) straight on the imaging core. Medians of 5 runs; heap allocations per steady frame are counted by
// this program's own operator new and malloc wrappers.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "imaging/blit.h"
#include "runtime/app/command.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/layers/layers.h"
#include "../bench_machine.h"

// ---- Allocation counting ----------------------------------------------------------------------------------------
extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);
extern "C" void *__libc_realloc(void *, size_t);
extern "C" void __libc_free(void *);
static std::atomic<long> Allocations{0};
extern "C" void *malloc(size_t n) {
    Allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n);
}
extern "C" void *calloc(size_t n, size_t size) {
    Allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, size);
}
extern "C" void *realloc(void *p, size_t n) {
    Allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, n);
}
void *operator new(size_t n) {
    Allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = __libc_malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void *operator new[](size_t n) { return operator new(n); }
void *operator new(size_t n, const std::nothrow_t &) noexcept {
    Allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(n ? n : 1);
}
void *operator new[](size_t n, const std::nothrow_t &t) noexcept { return operator new(n, t); }
void operator delete(void *p) noexcept { __libc_free(p); }
void operator delete[](void *p) noexcept { __libc_free(p); }
void operator delete(void *p, size_t) noexcept { __libc_free(p); }
void operator delete[](void *p, size_t) noexcept { __libc_free(p); }

using Clock = std::chrono::steady_clock;
using vl::bench::Median;

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080, kSide = 128, kImages = 32, kLayers = 200, kMoved = 20;

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

struct Scene {
    VMState *vm = nullptr;
    DisplayRecord *display = nullptr;
    std::vector<vlLayer *> layers;
    int32_t places[2][kMoved][2] = {}; // where the moved layers go on even and odd frames
    LayerRectList rects;
    int64_t frame = 0;
    bool ok = false;
};

uint32_t Random(uint32_t *state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

Scene &Shared() {
    static Scene scene = [] {
        Scene s;
        s.vm = NewVMState();
        InitRuntimeSupport(s.vm);
        InstallLayerHooks();
        uint32_t seed = 12345;
        HostBitmap *background = AllocHostBitmap(kWidth, kHeight);
        for (int32_t y = 0; y < kHeight; y++)
            for (int32_t x = 0; x < kWidth; x++) HostBitmapRow32(background, y)[x] = uint32_t(x * 7 ^ y * 3) & 0xFFFFFF;
        BGPic *picture = nullptr;
        if (CreateBGPicRecord(ObjectId{1, nullptr}, kBGPicPicture, kWidth, kHeight, kWidth, nullptr, background,
                              nullptr, -1, nullptr, nullptr, nullptr, nullptr, &picture) != 0)
            return s;
        auto *d = new DisplayRecord;
        d->id = ObjectId{1, nullptr};
        d->picture = picture;
        d->width = kWidth;
        d->height = kHeight;
        if (CopyBGPicToDisplayBitmaps(d, picture, 1) != 0) return s;
        InsertDisplay(d);
        CurrentDisplay = d;
        CurrentBGPic = picture;
        if (EnableDisplayLayers(d) != 0) return s;
        for (int i = 0; i < kImages; i++) {
            HostBitmap *bitmap = AllocHostBitmap(kSide, kSide);
            AlphaPlane *alpha = AllocAlphaPlane(kSide, kSide, true);
            for (int32_t y = 0; y < kSide; y++)
                for (int32_t x = 0; x < kSide; x++) {
                    HostBitmapRow32(bitmap, y)[x] = Random(&seed) & 0xFFFFFF;
                    // A soft disc: opaque inside, fading at its rim, clear in the corners.
                    const int32_t dx = x - kSide / 2, dy = y - kSide / 2, r2 = dx * dx + dy * dy;
                    alpha->bytes[y * alpha->bytesPerRow + x] = uint8_t(r2 < 3000 ? 255 : r2 < 4096 ? (4096 - r2) >> 2 : 0);
                }
            if (AddBrushRecord(ObjectId{i + 1, nullptr}, kBrushBitmap, kSide, kSide, kSide, nullptr, bitmap, -1, nullptr,
                               alpha, nullptr) != 0)
                return s;
        }
        for (int i = 0; i < kLayers; i++) {
            const int32_t x = int32_t(Random(&seed) % (kWidth - kSide)), y = int32_t(Random(&seed) % (kHeight - kSide));
            if (DisplayImageObjectLayer(s.vm, ObjectKindBrush, ObjectId{i % kImages + 1, nullptr}, 0, 0, x, y, kSide,
                                        kSide, DisplayTransform{}, LayerOptions{}) != 0)
                return s;
            s.layers.push_back(GetNthLayer(picture, i + 1));
        }
        // Moving objects go a few pixels a frame: each moved layer steps between two places near its own.
        for (int i = 0; i < kMoved; i++) {
            const LayerDrawParams *c = s.layers[size_t(i * (kLayers / kMoved))]->first;
            for (int parity = 0; parity < 2; parity++) {
                s.places[parity][i][0] = c->x + (parity ? 6 : -6);
                s.places[parity][i][1] = c->y + (parity ? 4 : -4);
            }
        }
        AddDirtyRect(&s.rects, 0, 0, 1, 1); // the list's first block, made before any frame is timed
        s.display = d;
        s.ok = true;
        return s;
    }();
    return scene;
}

void RecordBlit(const HostBitmap *src, int32_t sx, int32_t sy, HostBitmap *dst, int32_t dx, int32_t dy, int32_t width,
                int32_t height, int32_t flags, const MaskPlane *mask, const AlphaPlane *alpha, const ClipRegion *clip) {
    Recording->push_back(Blit{src, sx, sy, dst, dx, dy, width, height, flags, mask, alpha, clip});
}

// Moves the 20 layers spread over the list to this frame's places and redraws what changed.
void Frame(Scene &s) {
    const int parity = int(s.frame++ & 1);
    s.rects.count = 0;
    for (int i = 0; i < kMoved; i++)
        SetLayerPosition(s.layers[size_t(i * (kLayers / kMoved))], nullptr, s.places[parity][i][0],
                         s.places[parity][i][1], 0, 0, &s.rects);
    RefreshMergedRects(&s.rects);
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

template <class Fn> double MsPer(int count, Fn fn) {
    const auto start = Clock::now();
    for (int i = 0; i < count; i++) fn();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / count;
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
    if (!s.ok) {
        state.SkipWithError("set-up failed");
        return;
    }
    for (auto _ : state) Frame(s);
}
BENCHMARK(BM_RefreshFrame)->Unit(benchmark::kMillisecond);

void BM_FullRedraw(benchmark::State &state) {
    Scene &s = Shared();
    if (!s.ok) {
        state.SkipWithError("set-up failed");
        return;
    }
    for (auto _ : state) FullRedraw(s);
}
BENCHMARK(BM_FullRedraw)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    vl::bench::PrintMachine(" (benchmarks run single-threaded)");
    const Results r = Measure();
    std::printf("refresh of %d moved layers: %.3f ms/frame, raw blits %.3f ms (ratio %.2f, target <= 1.3)\n", kMoved,
                r.refresh, r.refreshPeer, r.refreshPeer > 0 ? r.refresh / r.refreshPeer : 0);
    std::printf("full redraw of %d layers: %.3f ms, raw blits %.3f ms (ratio %.2f, target <= 1.2)\n", kLayers, r.redraw,
                r.redrawPeer, r.redrawPeer > 0 ? r.redraw / r.redrawPeer : 0);
    std::printf("heap allocations per steady frame: %.2f (target 0); rectangles redrawn per frame: %.0f\n",
                r.allocations, r.rects);
    benchmark::Shutdown();
    return 0;
}
