// The scene the layer benchmarks share: a 1920x1080 display (never opened, so no window upload) with 200 brush
// layers of 128x128 with alpha, made from 32 images, at fixed pseudo-random places, 20 of them moved each frame
// between two places near their own. Heap allocations are counted by operator new and malloc wrappers, so
// include this header in one source file of a benchmark only.
#pragma once

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <vector>

#include "runtime/app/command.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/layers/layers.h"

// ---- Allocation counting ----------------------------------------------------------------------------------------
extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);
extern "C" void *__libc_realloc(void *, size_t);
extern "C" void __libc_free(void *);
inline std::atomic<long> Allocations{0};
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

namespace layerbench {

constexpr int32_t kWidth = 1920, kHeight = 1080, kSide = 128, kImages = 32, kLayers = 200, kMoved = 20;

struct Scene {
    VMState *vm = nullptr;
    DisplayRecord *display = nullptr;
    std::vector<vlLayer *> layers;
    int32_t places[2][kMoved][2] = {}; // where the moved layers go on even and odd frames
    LayerRectList rects;
    int64_t frame = 0;
    bool ok = false;
};

inline uint32_t Random(uint32_t *state) {
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

// Made on first use.
inline Scene &Shared() {
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


// Moves the 20 layers spread over the list to this frame's places and redraws what changed.
inline void Frame(Scene &s) {
    const int parity = int(s.frame++ & 1);
    s.rects.count = 0;
    for (int i = 0; i < kMoved; i++)
        SetLayerPosition(s.layers[size_t(i * (kLayers / kMoved))], nullptr, s.places[parity][i][0],
                         s.places[parity][i][1], 0, 0, &s.rects);
    RefreshMergedRects(&s.rects);
}

template <class Fn> double MsPer(int count, Fn fn) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < count; i++) fn();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / count;
}

// A Google Benchmark loop over step, skipped when the scene could not be made.
template <class Step> void RunSteps(benchmark::State &state, bool ready, Step step) {
    if (!ready) {
        state.SkipWithError("set-up failed");
        return;
    }
    for (auto _ : state) step();
}

} // namespace layerbench
