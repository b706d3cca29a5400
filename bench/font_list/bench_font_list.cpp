// The installed-font list over a directory of 40 faces (copies of the Vera and DejaVu files): our scan, which
// reads only each face's 'name' table, against fontconfig's FcFreeTypeQuery of every face, in the same run.
// Prints the median time per scan and the ratio.
#include <benchmark/benchmark.h>
#include <fontconfig/fontconfig.h>
// after fontconfig.h, whose macros it uses
#include <fontconfig/fcfreetype.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "text/fonts/font_directories.h"
#include "../bench_machine.h"

namespace {

namespace fs = std::filesystem;
std::map<std::string, std::vector<double>> samples; // name -> ns per scan
fs::path directory;
std::vector<std::string> files;

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

void Record(const char *name, benchmark::State &state, double seconds) {
    samples[name].push_back(seconds * 1e9 / double(state.iterations()));
}

void BM_ListAvailableFonts(benchmark::State &state) {
    const double start = Now();
    for (auto _ : state) {
        FreeFontList();
        ScanFontDirectory(directory.c_str(), 1);
        if (CurrentFontList().empty()) std::abort();
    }
    Record("ours", state, Now() - start);
}

void BM_FcFreeTypeQuery(benchmark::State &state) {
    const double start = Now();
    for (auto _ : state) {
        for (const std::string &file : files) {
            int count = 0;
            FcPattern *pattern = FcFreeTypeQuery(reinterpret_cast<const FcChar8 *>(file.c_str()), 0, nullptr, &count);
            if (!pattern) std::abort();
            FcPatternDestroy(pattern);
        }
    }
    Record("fontconfig", state, Now() - start);
}

BENCHMARK(BM_ListAvailableFonts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FcFreeTypeQuery)->Unit(benchmark::kMillisecond);

} // namespace

bool BenchSetUp(int, char **) {
    directory = fs::temp_directory_path() / ("vl-font-list-" + std::to_string(getpid()));
    fs::create_directories(directory);
    std::vector<fs::path> sources;
    for (const char *dir : {"/usr/share/fonts/truetype/ttf-bitstream-vera", "/usr/share/fonts/truetype/dejavu"})
        for (const auto &entry : fs::directory_iterator(dir))
            if (entry.path().extension() == ".ttf") sources.push_back(entry.path());
    if (sources.empty()) return false;
    for (int i = 0; i < 40; i++) {
        const fs::path target = directory / ("face" + std::to_string(i) + ".ttf");
        fs::copy_file(sources[size_t(i) % sources.size()], target, fs::copy_options::overwrite_existing);
        files.push_back(target.string());
    }
    return true;
}

int BenchReport() {
    const double ours = vl::bench::Median(samples["ours"]), peer = vl::bench::Median(samples["fontconfig"]);
    if (ours > 0 && peer > 0)
        std::printf("font list of 40 faces: ours %.2f ms, FcFreeTypeQuery %.2f ms, ratio %.3f (target: at most 0.5)\n",
                    ours / 1e6, peer / 1e6, ours / peer);
    FreeFontList();
    fs::remove_all(directory);
    return 0;
}

VL_BENCH_MAIN(.setUp = BenchSetUp, .report = BenchReport)
