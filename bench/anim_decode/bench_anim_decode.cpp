// Decoding animation frames and ILBM pictures, each against a peer in the same run:
// - every frame of a 1024 x 768, 60-frame GIF through ReadGifFrame, against giflib's DGifSlurp plus a plain
//   compositing loop to 0x00RRGGBB (a copy of the screen per frame, as ReadGifFrame delivers);
// - a 1024 x 768, 8-plane ByteRun1 ILBM decoded to 0x00RRGGBB, against memcpy of the decoded 3 MB plus a plain
//   ByteRun1 unpack of the same BODY.
// Prints the median CPU time of each and the ratios (targets: GIF no slower than giflib, ILBM at most 1.5 x).
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <ctime>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "host/memory.h"
#include "host/picture_gif.h"
#include "host/picture_ilbm.h"
#include "host/virtual_file.h"
#include "tests/fuzz/fuzz_memory_name.h"
#include "tests/media/anim_fixtures.h"
#include "../bench_machine.h"

namespace {

constexpr int kWidth = 1024, kHeight = 768, kFrames = 60;
std::map<std::string, std::vector<double>> samples; // name -> ms per run
Bytes gifBytes, ilbmBytes, ilbmBody;

// Thread CPU time: the machine is shared, and waiting for a core is no part of either side's cost.
double Now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
void Record(const char *name, benchmark::State &state, double seconds) {
    samples[name].push_back(seconds * 1e3 / double(state.iterations()));
}

// Soft shapes with long runs, as drawn animations have; each later frame a moving 256 x 192 sprite with holes.
void MakeFiles() {
    GifSpec gif;
    gif.width = kWidth, gif.height = kHeight;
    for (uint32_t i = 0; i < 256; i++) gif.palette.push_back(i << 16 | (255 - i) << 8 | (i * 3 & 255));
    GifFrameSpec first;
    first.width = kWidth, first.height = kHeight, first.delay = 4;
    Bytes indexes(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; y++)
        for (int x = 0; x < kWidth; x++) indexes[size_t(y * kWidth + x)] = uint8_t((x / 16 + y / 12) & 255);
    first.indexes = indexes;
    gif.frames.push_back(first);
    for (int k = 1; k < kFrames; k++) {
        GifFrameSpec f;
        f.left = (k * 13) % (kWidth - 256), f.top = (k * 7) % (kHeight - 192), f.width = 256, f.height = 192;
        f.transparent = 0, f.disposal = k % 3 == 0 ? 2 : 1, f.delay = 4;
        for (int y = 0; y < 192; y++)
            for (int x = 0; x < 256; x++) f.indexes.push_back(((x - 128) * (x - 128) + (y - 96) * (y - 96)) < 6000 ? uint8_t((x / 8 + k) | 1) : 0);
        gif.frames.push_back(f);
    }
    gifBytes = WriteTestGif(gif);
    AnimSpec ilbm;
    ilbm.width = kWidth, ilbm.height = kHeight, ilbm.planes = 8, ilbm.palette = gif.palette;
    ilbm.frames = {indexes, indexes};
    // The first FORM of an ANIM is a complete ILBM: take it out.
    const Bytes anim = WriteTestAnim(ilbm);
    const uint32_t size = uint32_t(anim[16]) << 24 | uint32_t(anim[17]) << 16 | uint32_t(anim[18]) << 8 | anim[19];
    ilbmBytes.assign(anim.begin() + 12, anim.begin() + 20 + size);
    const size_t body = std::string(ilbmBytes.begin(), ilbmBytes.end()).find("BODY");
    const uint32_t bodySize = uint32_t(ilbmBytes[body + 4]) << 24 | uint32_t(ilbmBytes[body + 5]) << 16 |
                              uint32_t(ilbmBytes[body + 6]) << 8 | ilbmBytes[body + 7];
    ilbmBody.assign(ilbmBytes.begin() + long(body) + 8, ilbmBytes.begin() + long(body) + 8 + bodySize);
}

void BM_GifOurs(benchmark::State &state) {
    FuzzMemoryFile memory(gifBytes.data(), gifBytes.size());
    VirtualFile *file = OpenVirtualFile(memory.MemoryName().c_str(), kVirtualFileRead);
    int32_t w = 0, h = 0, frames = 0;
    GifReader *gif = OpenGifFile(file, &w, &h, &frames);
    CloseVirtualFile(file);
    if (!gif || frames != kFrames) std::abort();
    const double start = Now();
    for (auto _ : state)
        for (int n = 0; n < kFrames; n++) {
            uint32_t *pixels = ReadGifFrame(gif, n);
            if (!pixels) std::abort();
            benchmark::DoNotOptimize(pixels);
            FreeBlock(pixels);
        }
    Record("gif", state, Now() - start);
    CloseGifFile(gif);
}

struct MemoryInput {
    const Bytes *bytes;
    size_t pos;
};
int ReadMemory(GifFileType *gif, GifByteType *out, int n) {
    auto *in = static_cast<MemoryInput *>(gif->UserData);
    const size_t count = std::min<size_t>(size_t(n), in->bytes->size() - in->pos);
    std::memcpy(out, in->bytes->data() + in->pos, count);
    in->pos += count;
    return int(count);
}

void BM_GifGiflib(benchmark::State &state) {
    std::vector<uint32_t> canvas(size_t(kWidth) * kHeight);
    const double start = Now();
    for (auto _ : state) {
        MemoryInput input{&gifBytes, 0};
        int error = 0;
        GifFileType *gif = DGifOpen(&input, ReadMemory, &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) std::abort();
        uint32_t colours[256];
        for (int i = 0; i < 256; i++) {
            const GifColorType c = gif->SColorMap->Colors[i];
            colours[i] = uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
        }
        for (int n = 0; n < gif->ImageCount; n++) {
            const SavedImage &image = gif->SavedImages[n];
            GraphicsControlBlock control;
            DGifSavedExtensionToGCB(gif, n, &control);
            const GifImageDesc &d = image.ImageDesc;
            for (int y = 0; y < d.Height; y++) {
                const GifByteType *in = image.RasterBits + size_t(y) * size_t(d.Width);
                uint32_t *row = canvas.data() + size_t(d.Top + y) * kWidth + size_t(d.Left);
                for (int x = 0; x < d.Width; x++)
                    if (in[x] != control.TransparentColor) row[x] = colours[in[x]];
            }
            auto *copy = static_cast<uint32_t *>(std::malloc(canvas.size() * 4));
            std::memcpy(copy, canvas.data(), canvas.size() * 4);
            benchmark::DoNotOptimize(copy);
            std::free(copy);
        }
        DGifCloseFile(gif, &error);
    }
    Record("giflib", state, Now() - start);
}

void BM_IlbmOurs(benchmark::State &state) {
    FuzzMemoryFile memory(ilbmBytes.data(), ilbmBytes.size());
    const std::string name = memory.MemoryName();
    const double start = Now();
    for (auto _ : state) {
        VirtualFile *file = OpenVirtualFile(name.c_str(), kVirtualFileRead);
        IlbmPicture picture;
        if (ReadIlbm(file, &picture) != 0) std::abort();
        CloseVirtualFile(file);
        uint32_t *pixels = IlbmToPixels(picture);
        if (!pixels) std::abort();
        benchmark::DoNotOptimize(pixels);
        FreeBlock(pixels);
    }
    Record("ilbm", state, Now() - start);
}

void BM_IlbmPeer(benchmark::State &state) {
    std::vector<uint32_t> decoded(size_t(kWidth) * kHeight), target(decoded.size());
    std::vector<uint8_t> planes(size_t(kWidth / 8) * kHeight * 8);
    const double start = Now();
    for (auto _ : state) {
        size_t in = 0, out = 0;
        while (out < planes.size() && in < ilbmBody.size()) {
            const int8_t n = int8_t(ilbmBody[in++]);
            if (n >= 0) {
                std::memcpy(&planes[out], &ilbmBody[in], size_t(n) + 1);
                in += size_t(n) + 1, out += size_t(n) + 1;
            } else if (n != -128) {
                std::memset(&planes[out], ilbmBody[in++], size_t(1 - n));
                out += size_t(1 - n);
            }
        }
        std::memcpy(target.data(), decoded.data(), decoded.size() * 4);
        benchmark::DoNotOptimize(planes.data());
        benchmark::DoNotOptimize(target.data());
    }
    Record("ilbm peer", state, Now() - start);
}

BENCHMARK(BM_GifOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GifGiflib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IlbmOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IlbmPeer)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    vl::bench::PrintMachine(" (benchmarks run single-threaded)");
    MakeFiles();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double gif = vl::bench::Median(samples["gif"]), giflib = vl::bench::Median(samples["giflib"]);
    const double ilbm = vl::bench::Median(samples["ilbm"]), peer = vl::bench::Median(samples["ilbm peer"]);
    if (gif > 0 && giflib > 0)
        std::printf("GIF 60 frames: ours %.2f ms, giflib %.2f ms, ours/giflib = %.2f (target: at most 1)\n", gif, giflib,
                    gif / giflib);
    if (ilbm > 0 && peer > 0)
        std::printf("ILBM 1024x768x8: ours %.2f ms, memcpy + ByteRun1 %.2f ms, ratio = %.2f (target: at most 1.5)\n",
                    ilbm, peer, ilbm / peer);
    return 0;
}
