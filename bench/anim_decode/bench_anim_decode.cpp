// Decoding animation frames and ILBM pictures, each against a peer in the same run:
// - whole GIF files of several kinds (open, then every frame through ReadGifFrame), against giflib's DGifSlurp
//   plus a plain compositing loop to 0x00RRGGBB with the same disposals (a copy of the screen per frame, as
//   ReadGifFrame delivers); both sides' frames are compared before timing;
// - a 1024 x 768, 8-plane ByteRun1 ILBM decoded to 0x00RRGGBB, against memcpy of the decoded 3 MB plus a plain
//   ByteRun1 unpack of the same BODY.
// Prints the median CPU time of each and the ratios (targets: GIF at most 0.8 x giflib on every file, ILBM at
// most 1.5 x).
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

constexpr int kWidth = 1024, kHeight = 768;
std::map<std::string, std::vector<double>> samples; // name -> ms per run
Bytes ilbmBytes, ilbmBody;

// Thread CPU time: the machine is shared, and waiting for a core is no part of either side's cost.
double Now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
void Record(const std::string &name, benchmark::State &state, double seconds) {
    samples[name].push_back(seconds * 1e3 / double(state.iterations()));
}

std::vector<uint32_t> Palette(int n, int seed) {
    std::vector<uint32_t> p;
    for (uint32_t i = 0; i < uint32_t(n); i++) p.push_back((i * 5 + uint32_t(seed)) % 256 << 16 | (255 - i) << 8 | (i * 3 & 255));
    return p;
}

// Soft shapes with long runs, as drawn animations have.
Bytes SoftShapes(int width, int height, int shift) {
    Bytes indexes(size_t(width) * size_t(height));
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) indexes[size_t(y * width + x)] = uint8_t((x / 16 + y / 12 + shift) & 255);
    return indexes;
}

// Dithered video-like frames: short runs, the table fills and clears often.
Bytes Noisy(int width, int height, int k) {
    Bytes indexes(size_t(width) * size_t(height));
    uint32_t seed = uint32_t(k) * 2654435761u + 1;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            seed = seed * 1103515245u + 12345u;
            indexes[size_t(y * width + x)] = uint8_t(((x + k * 3) / 4 + (y / 6)) * 3 + (seed >> 29));
        }
    return indexes;
}

struct GifFile {
    const char *name;
    GifLayout layout;
    Bytes bytes;
};
std::vector<GifFile> gifFiles;

void MakeGifs() {
    GifLayout sprite; // a full first frame, then a moving 256 x 192 sprite with holes, some frames disposed to the background
    sprite.width = kWidth, sprite.height = kHeight, sprite.palette = Palette(256, 0);
    GifFrameSpec first;
    first.width = kWidth, first.height = kHeight, first.delay = 4, first.indexes = SoftShapes(kWidth, kHeight, 0);
    sprite.frames.push_back(first);
    for (int k = 1; k < 60; k++) {
        GifFrameSpec f;
        f.left = (k * 13) % (kWidth - 256), f.top = (k * 7) % (kHeight - 192), f.width = 256, f.height = 192;
        f.transparent = 0, f.disposal = k % 3 == 0 ? 2 : 1, f.delay = 4;
        for (int y = 0; y < 192; y++)
            for (int x = 0; x < 256; x++) f.indexes.push_back(((x - 128) * (x - 128) + (y - 96) * (y - 96)) < 6000 ? uint8_t((x / 8 + k) | 1) : 0);
        sprite.frames.push_back(f);
    }
    gifFiles.push_back({"sprite 1024x768x60", sprite, {}});

    GifLayout video; // every frame full and opaque
    video.width = 320, video.height = 240, video.palette = Palette(256, 9);
    for (int k = 0; k < 30; k++) {
        GifFrameSpec f;
        f.width = 320, f.height = 240, f.delay = 3, f.indexes = Noisy(320, 240, k);
        video.frames.push_back(f);
    }
    gifFiles.push_back({"video 320x240x30", video, {}});

    GifLayout icons; // many small frames with local palettes, restored to the frame before (disposal 3)
    icons.width = icons.height = 64, icons.palette = Palette(16, 3);
    GifFrameSpec back;
    back.width = back.height = 64, back.indexes = SoftShapes(64, 64, 1);
    for (auto &i : back.indexes) i &= 15;
    icons.frames.push_back(back);
    for (int k = 1; k < 200; k++) {
        GifFrameSpec f;
        f.left = k % 40, f.top = (k * 3) % 40, f.width = f.height = 24, f.disposal = 3, f.transparent = 0, f.delay = 2;
        f.localPalette = Palette(32, k);
        for (int y = 0; y < 24; y++)
            for (int x = 0; x < 24; x++) f.indexes.push_back((x + y + k) % 5 == 0 ? 0 : uint8_t((x ^ y) & 31));
        icons.frames.push_back(f);
    }
    gifFiles.push_back({"icons 64x64x200", icons, {}});

    GifLayout interlaced; // large interlaced full frames
    interlaced.width = 800, interlaced.height = 600, interlaced.palette = Palette(128, 5);
    for (int k = 0; k < 8; k++) {
        GifFrameSpec f;
        f.width = 800, f.height = 600, f.interlaced = true, f.delay = 10;
        f.indexes = k % 2 ? Noisy(800, 600, k) : SoftShapes(800, 600, k);
        for (auto &i : f.indexes) i &= 127;
        interlaced.frames.push_back(f);
    }
    gifFiles.push_back({"interlaced 800x600x8", interlaced, {}});

    for (GifFile &g : gifFiles) g.bytes = WriteTestGif(g.layout);
}

// Every frame of a file through our reader, handed to take.
template <typename Take> bool OursFrames(const Bytes &bytes, Take &&take) {
    FuzzMemoryFile memory(bytes.data(), bytes.size());
    VirtualFile *file = OpenVirtualFile(memory.MemoryName().c_str(), kVirtualFileRead);
    int32_t w = 0, h = 0, frames = 0;
    GifReader *gif = OpenGifFile(file, &w, &h, &frames);
    CloseVirtualFile(file);
    if (!gif) return false;
    for (int n = 0; n < frames; n++) {
        uint32_t *pixels = ReadGifFrame(gif, n);
        if (!pixels) return false;
        take(pixels, size_t(w) * size_t(h));
        FreeBlock(pixels);
    }
    CloseGifFile(gif);
    return true;
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

// The same through giflib: the screen starts as the background colour; disposal 2 clears the rectangle to the
// transparent index's colour (else the background), 3 restores what was under it.
template <typename Take> bool GiflibFrames(const Bytes &bytes, Take &&take) {
    MemoryInput input{&bytes, 0};
    int error = 0;
    GifFileType *gif = DGifOpen(&input, ReadMemory, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) return false;
    const int width = gif->SWidth, height = gif->SHeight;
    auto colour = [](const ColorMapObject *map, int i) -> uint32_t {
        if (!map || i < 0 || i >= map->ColorCount) return 0;
        const GifColorType c = map->Colors[i];
        return uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
    };
    std::vector<uint32_t> canvas(size_t(width) * size_t(height), colour(gif->SColorMap, gif->SBackGroundColor));
    std::vector<uint32_t> saved;
    for (int n = 0; n < gif->ImageCount; n++) {
        const SavedImage &image = gif->SavedImages[n];
        GraphicsControlBlock control{};
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        DGifSavedExtensionToGCB(gif, n, &control);
        const GifImageDesc &d = image.ImageDesc;
        const ColorMapObject *map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        uint32_t colours[256];
        for (int i = 0; i < 256; i++) colours[i] = colour(map, i);
        const int x1 = std::min(d.Left + d.Width, width), y1 = std::min(d.Top + d.Height, height);
        if (control.DisposalMode == DISPOSE_PREVIOUS) saved = canvas;
        for (int y = d.Top; y < y1; y++) {
            const GifByteType *in = image.RasterBits + size_t(y - d.Top) * size_t(d.Width) - size_t(d.Left);
            uint32_t *row = canvas.data() + size_t(y) * size_t(width);
            if (control.TransparentColor == NO_TRANSPARENT_COLOR)
                for (int x = d.Left; x < x1; x++) row[x] = colours[in[x]];
            else
                for (int x = d.Left; x < x1; x++)
                    if (in[x] != control.TransparentColor) row[x] = colours[in[x]];
        }
        auto *copy = static_cast<uint32_t *>(std::malloc(canvas.size() * 4));
        std::memcpy(copy, canvas.data(), canvas.size() * 4);
        take(copy, canvas.size());
        std::free(copy);
        if (control.DisposalMode == DISPOSE_BACKGROUND) {
            const uint32_t fill = control.TransparentColor != NO_TRANSPARENT_COLOR
                                      ? colours[control.TransparentColor]
                                      : colour(gif->SColorMap, gif->SBackGroundColor);
            for (int y = d.Top; y < y1; y++)
                std::fill(canvas.begin() + y * width + d.Left, canvas.begin() + y * width + x1, fill);
        } else if (control.DisposalMode == DISPOSE_PREVIOUS) {
            canvas.swap(saved);
        }
    }
    DGifCloseFile(gif, &error);
    return true;
}

void MakeIlbm() {
    AnimSpec ilbm;
    ilbm.width = kWidth, ilbm.height = kHeight, ilbm.planes = 8, ilbm.palette = Palette(256, 0);
    const Bytes indexes = SoftShapes(kWidth, kHeight, 0);
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

// Both sides give the same frames, or there is no figure to take.
bool CheckGifs() {
    for (const GifFile &g : gifFiles) {
        std::vector<std::vector<uint32_t>> ours, theirs;
        auto keep = [](std::vector<std::vector<uint32_t>> &into) {
            return [&into](const uint32_t *p, size_t n) { into.emplace_back(p, p + n); };
        };
        if (!OursFrames(g.bytes, keep(ours)) || !GiflibFrames(g.bytes, keep(theirs)) || ours != theirs ||
            ours.size() != g.layout.frames.size()) {
            std::printf("%s: the two sides' frames differ\n", g.name);
            return false;
        }
    }
    return true;
}

void BM_GifOurs(benchmark::State &state, const GifFile *g) {
    const double start = Now();
    for (auto _ : state)
        if (!OursFrames(g->bytes, [](uint32_t *p, size_t) { benchmark::DoNotOptimize(p); })) std::abort();
    Record(std::string("ours ") + g->name, state, Now() - start);
}

void BM_GifGiflib(benchmark::State &state, const GifFile *g) {
    const double start = Now();
    for (auto _ : state)
        if (!GiflibFrames(g->bytes, [](uint32_t *p, size_t) { benchmark::DoNotOptimize(p); })) std::abort();
    Record(std::string("giflib ") + g->name, state, Now() - start);
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

BENCHMARK(BM_IlbmOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IlbmPeer)->Unit(benchmark::kMillisecond);

bool SetUp(int, char **) {
    MakeGifs();
    MakeIlbm();
    if (!CheckGifs()) return false;
    for (const GifFile &g : gifFiles) {
        benchmark::RegisterBenchmark((std::string("BM_GifOurs/") + g.name).c_str(), BM_GifOurs, &g)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("BM_GifGiflib/") + g.name).c_str(), BM_GifGiflib, &g)->Unit(benchmark::kMillisecond);
    }
    return true;
}

int Report() {
    std::vector<double> ratios;
    for (const GifFile &g : gifFiles) {
        const double ours = vl::bench::Median(samples[std::string("ours ") + g.name]);
        const double giflib = vl::bench::Median(samples[std::string("giflib ") + g.name]);
        if (ours <= 0 || giflib <= 0) continue;
        ratios.push_back(ours / giflib);
        std::printf("GIF %-22s open + every frame: ours %.2f ms, giflib %.2f ms, ours/giflib = %.2f\n", g.name, ours,
                    giflib, ours / giflib);
    }
    if (!ratios.empty())
        std::printf("GIF ours/giflib: worst %.2f, median %.2f (target: at most 0.8 on every file)\n",
                    *std::max_element(ratios.begin(), ratios.end()), vl::bench::Median(ratios));
    const double ilbm = vl::bench::Median(samples["ilbm"]), peer = vl::bench::Median(samples["ilbm peer"]);
    if (ilbm > 0 && peer > 0)
        std::printf("ILBM 1024x768x8: ours %.2f ms, memcpy + ByteRun1 %.2f ms, ratio = %.2f (target: at most 1.5)\n",
                    ilbm, peer, ilbm / peer);
    return 0;
}

} // namespace

VL_BENCH_MAIN(.setUp = SetUp, .report = Report)
