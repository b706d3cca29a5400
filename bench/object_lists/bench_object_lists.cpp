// Numbered objects made and freed in bulk: 100,000 clip regions, pointers and brushes with the numbers 1..100,000,
// each create first freeing any object of its number, as the commands do, then every one freed by number. The
// peer, in the same run, keeps the same records in a std::unordered_map by number (a lookup before each insert,
// an erase by number): the least a numbered store can do. Target: each kind's whole round well under a second,
// and within a small factor of the peer. Medians of 5 runs, with the CPU model.
#include <cstdio>
#include <memory>
#include <unordered_map>

#include "host/bitmap.h"
#include "imaging/clip_region.h"
#include "imaging/pointer.h"
#include "runtime/app/errors.h"
#include "scene/images/brush.h"
#include "../bench_machine.h"

namespace {

constexpr int32_t kObjects = 100000;

ObjectId Number(int32_t n) { return ObjectId{n, nullptr}; }

void Check(bool ok, const char *what) {
    if (ok) return;
    std::fprintf(stderr, "bench_object_lists: %s\n", what);
    std::exit(1);
}

void ClipRegionRound() {
    for (int32_t i = 1; i <= kObjects; i++)
        Check(CreateClipRegion(Number(i), i, i, 10, 10, nullptr) == 0, "CreateClipRegion failed");
    Check(CountClipRegions() == kObjects, "not every clip region was made");
    for (int32_t i = 1; i <= kObjects; i++) Check(FreeClipRegionById(Number(i)) == 0, "FreeClipRegion failed");
    Check(CountClipRegions() == 0, "a clip region was left");
}

void PointerRound() {
    static HostBitmap *image = AllocHostBitmap(4, 4);
    const ImageTriple shape{image, nullptr, nullptr, 4, 4};
    for (int32_t i = 1; i <= kObjects; i++)
        Check(CreatePointerRecord(Number(i), shape, 1, 1, nullptr) == 0, "CreatePointer failed");
    Check(CountPointers() == kObjects, "not every pointer was made");
    for (int32_t i = 1; i <= kObjects; i++) Check(FreePointerById(Number(i)) == 0, "FreePointer failed");
    Check(CountPointers() == 0, "a pointer was left");
}

void BrushRound() {
    for (int32_t i = 1; i <= kObjects; i++) {
        Check(FreeBrushById(Number(i), 0) == 0, "a numbered create could not free its number");
        Check(CreateBrushRecord(Number(i), 4, 4, 0, 0, 0, 1, nullptr) == 0, "CreateBrush failed");
    }
    Check(BrushList.CountLive() == size_t(kObjects), "not every brush was made");
    for (int32_t i = 1; i <= kObjects; i++) Check(FreeBrushById(Number(i), 1) == 0, "FreeBrush failed");
    Check(BrushList.empty(), "a brush was left");
}

// The peer: the same clip region records, with the same 10x10 rectangles, kept by number.
void PeerRound() {
    std::unordered_map<int32_t, std::unique_ptr<ClipRegion>> byNumber;
    for (int32_t i = 1; i <= kObjects; i++) {
        byNumber.erase(i);
        auto r = std::make_unique<ClipRegion>();
        r->id = Number(i);
        r->x = r->y = i;
        r->width = r->height = 10;
        byNumber.emplace(i, std::move(r));
    }
    Check(byNumber.size() == size_t(kObjects), "the peer did not keep every record");
    for (int32_t i = 1; i <= kObjects; i++) Check(byNumber.erase(i) == 1, "the peer lost a record");
    Check(byNumber.empty(), "the peer kept a record");
}

template <void (*Round)()> void BM_Round(benchmark::State &state) {
    for (auto _ : state) Round();
    state.SetItemsProcessed(state.iterations() * kObjects * 2);
}
BENCHMARK(BM_Round<PeerRound>)->Name("peer_unordered_map")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Round<ClipRegionRound>)->Name("clip_regions")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Round<PointerRound>)->Name("pointers")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Round<BrushRound>)->Name("brushes")->Unit(benchmark::kMillisecond);

int Report() {
    const double peer = vl::bench::MedianSeconds(PeerRound);
    std::printf("peer: std::unordered_map, %d numbered records made and freed: %.1f ms\n", kObjects, peer * 1e3);
    const struct {
        const char *name;
        void (*round)();
    } kinds[] = {{"clip regions", ClipRegionRound}, {"pointers", PointerRound}, {"brushes", BrushRound}};
    int status = 0;
    for (const auto &kind : kinds) {
        const double ours = vl::bench::MedianSeconds(kind.round);
        std::printf("%-12s %d made and freed by number: %.1f ms, %.2fx the peer\n", kind.name, kObjects, ours * 1e3,
                    ours / peer);
        if (ours >= 1.0) status = 1;
    }
    return status;
}

} // namespace

VL_BENCH_MAIN(.report = Report);
