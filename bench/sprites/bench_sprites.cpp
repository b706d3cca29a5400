// Sprites on a 640x480 display (layers off): 10, 100 and 1000 sprites of 32x32 with a round mask move each
// frame (DisplaySprite's operation, which redraws what they leave and cover) and every sprite is tested for a
// collision with the next one (the Collision command's sprite operation). One frame is one move of every sprite
// and n tests. Prints the median time per frame of 5 single-threaded runs and the ratios 1000:100 and 100:10.
// Targets: the 1000-sprite frame at most 12x the 100-sprite frame and at most 16 ms. The moves are drawn as a
// run of DisplaySprite commands draws them: batched, and composed and shown in the window once when the next
// other command (here the first collision test) comes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <vector>

#include "host/bitmap.h"
#include "scene/images/sprite.h"
#include "scene/layers/layers.h"
#include "../bench_display.h"
#include "../bench_machine.h"

namespace {

constexpr int32_t kWidth = 640, kHeight = 480, kSide = 32;

struct Mover {
    ObjectId id;
    int32_t x, y, dx, dy;
};

struct Scene {
    std::vector<Mover> movers;
    int hits = 0;
};

void DrawSpritesForBench(DisplayRecord *, BGPic *bgpic, HostBitmap *dest, int32_t x, int32_t y, int32_t width,
                         int32_t height) {
    RedrawSprites(bgpic, dest, x, y, width, height);
}

bool OpenDisplayOnce() {
    static const bool opened = [] {
        HostBitmap *background = AllocHostBitmap(kWidth, kHeight);
        for (int32_t y = 0; y < kHeight; y++)
            for (int32_t x = 0; x < kWidth; x++) HostBitmapRow32(background, y)[x] = uint32_t(x ^ y) * 0x010203u;
        RedrawSpritesHook = DrawSpritesForBench;
        return vl::bench::OpenBenchDisplay(background) != nullptr;
    }();
    return opened;
}

// A disc in its own colour; the corners are transparent.
bool MakeSprite(ObjectId id, uint32_t colour) {
    std::vector<ImageTriple> frames(1);
    ImageTriple &f = frames[0];
    f.width = f.height = kSide;
    f.bitmap = AllocHostBitmap(kSide, kSide);
    f.mask = AllocMaskPlane(f.bitmap, kSide, kSide, true);
    if (!f.bitmap || !f.mask) return false;
    for (int32_t y = 0; y < kSide; y++)
        for (int32_t x = 0; x < kSide; x++) {
            HostBitmapRow32(f.bitmap, y)[x] = colour;
            const int32_t cx = 2 * x - kSide + 1, cy = 2 * y - kSide + 1;
            if (cx * cx + cy * cy <= kSide * kSide)
                f.mask->bits[size_t(y) * f.mask->bytesPerRow + size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7));
        }
    return CreateSpriteRecord(id, kSide, kSide, &frames, nullptr, -1) == 0;
}

Scene MakeScene(int count) {
    RemoveAllSprites(0);
    FreeAllSprites();
    Scene scene;
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1103515245u + 12345u;
        return int32_t((seed >> 8) % range);
    };
    for (int i = 0; i < count; i++) {
        const ObjectId id{i + 1, nullptr};
        if (!MakeSprite(id, 0xFF000000u | uint32_t(next(0xFFFFFF)))) return scene;
        Mover m{id, next(kWidth - kSide), next(kHeight - kSide), next(7) - 3, next(7) - 3};
        if (m.dx == 0) m.dx = 1;
        if (DrawSprite(id, m.x, m.y, 1) != 0) return scene;
        scene.movers.push_back(m);
    }
    return scene;
}

void Frame(Scene &scene) {
    DeferDisplayRefreshes = true;
    for (Mover &m : scene.movers) {
        if (m.x + m.dx < 0 || m.x + m.dx > kWidth - kSide) m.dx = -m.dx;
        if (m.y + m.dy < 0 || m.y + m.dy > kHeight - kSide) m.dy = -m.dy;
        m.x += m.dx, m.y += m.dy;
        DrawSprite(m.id, m.x, m.y, 1);
    }
    DeferDisplayRefreshes = false;
    FlushDisplayDamage();
    const size_t n = scene.movers.size();
    for (size_t i = 0; i < n; i++) {
        int hit = 0;
        if (SpritesCollide(scene.movers[i].id, scene.movers[(i + 1) % n].id, &hit) == 0) scene.hits += hit;
    }
}

void BM_SpriteFrame(benchmark::State &state) {
    if (!OpenDisplayOnce()) {
        state.SkipWithError("no display");
        return;
    }
    Scene scene = MakeScene(int(state.range(0)));
    if (scene.movers.size() != size_t(state.range(0))) {
        state.SkipWithError("sprites could not be made");
        return;
    }
    for (auto _ : state) Frame(scene);
    benchmark::DoNotOptimize(scene.hits);
}
BENCHMARK(BM_SpriteFrame)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The median over 5 runs of the mean frame time in milliseconds, in CPU time of this thread: the shared machine
// the benchmarks run on is loaded, which wall time would add.
double FrameMillis(int count) {
    Scene scene = MakeScene(count);
    if (scene.movers.size() != size_t(count)) return -1;
    const int frames = count >= 1000 ? 5 : 50;
    std::vector<double> runs;
    for (int run = 0; run < 5; run++) {
        const double start = ThreadSeconds();
        for (int i = 0; i < frames; i++) Frame(scene);
        runs.push_back((ThreadSeconds() - start) * 1000.0 / frames);
    }
    return vl::bench::Median(runs);
}

} // namespace

int BenchReport() {
    if (!OpenDisplayOnce()) {
        std::printf("no display\n");
        return 1;
    }
    const double t10 = FrameMillis(10), t100 = FrameMillis(100), t1000 = FrameMillis(1000);
    std::printf("  frame of 10 sprites %8.3f ms, 100 sprites %8.3f ms, 1000 sprites %8.3f ms\n", t10, t100, t1000);
    std::printf("  1000:100 %.1fx (target <= 12x), 100:10 %.1fx; 1000-sprite frame target <= 16 ms\n", t1000 / t100,
                t100 / t10);
    RemoveAllSprites(0);
    FreeAllSprites();
    return 0;
}

VL_BENCH_MAIN(.note = " (single-threaded)", .report = BenchReport)
