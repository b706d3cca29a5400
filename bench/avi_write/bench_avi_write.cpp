// Writing 60 frames of 1920 x 1080 photo-like pictures as an MJPEG AVI at quality 90 (AviOpen, AviWriteFrame,
// AviFinish into the temporary directory), against compressing the same frames at the same quality into memory
// with libjpeg-turbo alone. Prints the median CPU time of each and the ratio (target: at most 1.2).
#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "host/bitmap.h"
#include "media/codecs/avi_writer.h"
#include "../bench_machine.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kFrames = 60, kQuality = 90;
std::map<std::string, std::vector<double>> samples; // name -> ms per run
std::vector<HostBitmap *> frames;

// Thread CPU time: the machine is shared, and waiting for a core or the disk is no part of either side's cost.
double Now() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Soft light and shade with edges and fine grain, panning from frame to frame, as a camera's pictures have.
void MakeFrames() {
    uint32_t seed = 29;
    for (int n = 0; n < kFrames; ++n) {
        HostBitmap *b = AllocHostBitmap(kWidth, kHeight);
        if (!b) std::abort();
        for (int y = 0; y < kHeight; ++y) {
            auto *row = reinterpret_cast<uint32_t *>(b->pixels) + size_t(y) * size_t(b->rowPixels);
            for (int x = 0; x < kWidth; ++x) {
                const double u = (x + n * 7) / 180.0, v = y / 140.0;
                const double shade = 0.5 + 0.25 * std::sin(u) * std::cos(v) + 0.2 * std::sin(u * 0.37 + v * 0.61);
                const bool edge = ((x + n * 7) / 240 + y / 200) % 3 == 0;
                seed = seed * 1664525u + 1013904223u;
                const int grain = int(seed >> 28) - 8;
                const auto channel = [&](double weight) {
                    const int c = int(255 * shade * weight) + (edge ? 40 : 0) + grain;
                    return uint32_t(c < 0 ? 0 : c > 255 ? 255 : c);
                };
                row[x] = channel(1.0) << 16 | channel(0.85) << 8 | channel(0.6);
            }
        }
        frames.push_back(b);
    }
}

void BM_AviWrite(benchmark::State &state) {
    const char *temp = std::getenv("TMPDIR");
    const std::string path = std::string(temp && *temp ? temp : "/tmp") + "/bench_avi_write.avi";
    const double start = Now();
    for (auto _ : state) {
        AviWriter *writer = nullptr;
        if (AviOpen(path.c_str(), 25, kWidth, kHeight, kQuality, false, "bench", &writer) != 0) std::abort();
        for (HostBitmap *frame : frames)
            if (AviWriteFrame(writer, frame, kWidth, kHeight) != 0) std::abort();
        if (AviFinish(writer) != 0) std::abort();
    }
    samples["avi"].push_back((Now() - start) * 1e3 / double(state.iterations()));
    std::remove(path.c_str());
}

void BM_LibjpegAlone(benchmark::State &state) {
    const double start = Now();
    for (auto _ : state)
        for (HostBitmap *frame : frames) {
            jpeg_compress_struct c{};
            jpeg_error_mgr errors{};
            c.err = jpeg_std_error(&errors);
            jpeg_create_compress(&c);
            unsigned char *data = nullptr;
            unsigned long size = 0;
            jpeg_mem_dest(&c, &data, &size);
            c.image_width = kWidth;
            c.image_height = kHeight;
            c.input_components = 4;
            c.in_color_space = JCS_EXT_BGRX; // 0x00RRGGBB words on a little-endian machine
            jpeg_set_defaults(&c);
            jpeg_set_quality(&c, kQuality, TRUE);
            jpeg_start_compress(&c, TRUE);
            while (c.next_scanline < c.image_height) {
                JSAMPROW row = frame->pixels + size_t(c.next_scanline) * size_t(frame->rowPixels) * 4;
                jpeg_write_scanlines(&c, &row, 1);
            }
            jpeg_finish_compress(&c);
            jpeg_destroy_compress(&c);
            benchmark::DoNotOptimize(data);
            std::free(data);
        }
    samples["libjpeg"].push_back((Now() - start) * 1e3 / double(state.iterations()));
}

BENCHMARK(BM_AviWrite)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_LibjpegAlone)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

bool BenchSetUp(int, char **) {
    MakeFrames();
    return true;
}

int BenchReport() {
    const double avi = vl::bench::Median(samples["avi"]), peer = vl::bench::Median(samples["libjpeg"]);
    if (avi > 0 && peer > 0)
        std::printf("MJPEG AVI, 60 frames 1920x1080 at quality 90: ours %.1f ms, libjpeg-turbo alone %.1f ms, "
                    "ratio = %.2f (target: at most 1.2)\n",
                    avi, peer, avi / peer);
    for (HostBitmap *frame : frames) FreeHostBitmap(frame);
    return 0;
}

VL_BENCH_MAIN(.setUp = BenchSetUp, .report = BenchReport)
