// The style setter on the compositor benchmark's scene: a frame is one SetLayerStyleArgs call with 20 (layer,
// {x, y}) pairs, the tables made once and their values set through the embedding API, against the same 20
// moves made with SetLayerPosition into a rectangle list and one RefreshMergedRects. Also a turn of one
// 128x128 layer through the setter against TransformImage of its image. Medians of 5 runs; heap allocations
// per position-only call are counted.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

#include "imaging/image_ops.h"
#include "scene/layers/layer_style.h"
#include "scene/layers/layers_library.h"
#include "../bench_machine.h"
#include "../layer_scene.h"

using vl::bench::Median;

namespace {

using namespace layerbench;

int PairBase = 0; // stack index of the first (layer, table) pair

bool Prepare(Scene &s) {
    static bool done = false;
    if (done) return s.ok;
    done = true;
    if (!s.ok) return false;
    RegisterLayersLibrary(s.vm);
    PairBase = GetTop(s.vm) + 1;
    for (int i = 0; i < kMoved; i++) {
        PushNumber(s.vm, i * (kLayers / kMoved) + 1);
        NewTable(s.vm);
        SetTableNumber(s.vm, "x", 0);
        SetTableNumber(s.vm, "y", 0);
    }
    return true;
}

void StyleFrame(Scene &s) {
    const int parity = int(s.frame++ & 1);
    for (int i = 0; i < kMoved; i++) {
        const int table = PairBase + 2 * i + 1;
        PushNumber(s.vm, s.places[parity][i][0]);
        SetField(s.vm, table, "x");
        PushNumber(s.vm, s.places[parity][i][1]);
        SetField(s.vm, table, "y");
    }
    SetLayerStyleArgs(s.vm, PairBase, 2 * kMoved, 0);
}

// The top layer turned by a degree more or less each time, through a table of its own.
void RotateThroughStyle(Scene &s) {
    const int top = GetTop(s.vm);
    PushNumber(s.vm, kLayers);
    NewTable(s.vm);
    SetTableNumber(s.vm, "rotate", 30 + int32_t(s.frame++ & 1));
    SetLayerStyleArgs(s.vm, top + 1, 2, 0);
    SetTop(s.vm, top);
}

void RotateImage(Scene &s) {
    Brush *brush = nullptr;
    FindBrush(ObjectId{1, nullptr}, &brush, 0);
    const double angle = (30 + int32_t(s.frame++ & 1)) * 0.017453292519943295;
    const double m[4] = {std::cos(angle), -std::sin(angle), std::sin(angle), std::cos(angle)};
    ImageTriple out;
    TransformImage(brush->bitmap, brush->mask, brush->alpha, 0, 0, kSide, kSide, m, false, &out.bitmap, &out.mask,
                   &out.alpha, &out.width, &out.height);
    FreeImageTriple(&out);
}

void BM_StyleFrame(benchmark::State &state) {
    Scene &s = Shared();
    RunSteps(state, Prepare(s), [&] { StyleFrame(s); });
}
BENCHMARK(BM_StyleFrame)->Unit(benchmark::kMillisecond);

void BM_PositionFrame(benchmark::State &state) {
    Scene &s = Shared();
    RunSteps(state, Prepare(s), [&] { Frame(s); });
}
BENCHMARK(BM_PositionFrame)->Unit(benchmark::kMillisecond);

} // namespace

int BenchReport() {
    Scene &s = Shared();
    if (!Prepare(s)) return 1;
    for (int i = 0; i < 4; i++) StyleFrame(s), Frame(s), RotateThroughStyle(s), RotateImage(s);
    std::vector<double> style, position, rotate, transform;
    double allocations = 0;
    constexpr int kFrames = 400, kTurns = 200;
    for (int run = 0; run < 5; run++) {
        const long before = Allocations.load();
        style.push_back(MsPer(kFrames, [&] { StyleFrame(s); }));
        allocations = double(Allocations.load() - before) / kFrames;
        position.push_back(MsPer(kFrames, [&] { Frame(s); }));
        rotate.push_back(MsPer(kTurns, [&] { RotateThroughStyle(s); }));
        transform.push_back(MsPer(kTurns, [&] { RotateImage(s); }));
    }
    const double st = Median(style), po = Median(position), ro = Median(rotate), tr = Median(transform);
    std::printf("%d moves through SetLayerStyleArgs: %.3f ms/frame, SetLayerPosition + RefreshMergedRects %.3f ms "
                "(ratio %.2f, target <= 1.25)\n",
                kMoved, st, po, po > 0 ? st / po : 0);
    std::printf("heap allocations per position-only call: %.2f (target 0)\n", allocations);
    std::printf("rotate of one %dx%d layer: %.3f ms, TransformImage %.3f ms (ratio %.2f)\n", kSide, kSide, ro, tr,
                tr > 0 ? ro / tr : 0);
    return 0;
}

VL_BENCH_MAIN(.report = BenchReport)
