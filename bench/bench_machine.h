// What every benchmark prints first (the machine it ran on) and the median it reports.
#pragma once

#include <algorithm>
#include <ctime>
#include <chrono>
#include <functional>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

namespace vl::bench {

inline std::string CpuModel() {
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    return "unknown";
}

// note: appended after the core count, e.g. " (benchmarks run single-threaded)".
inline void PrintMachine(const char *note = "") {
    std::printf("CPU: %s, cores: %u%s\n", CpuModel().c_str(), std::thread::hardware_concurrency(), note);
}

inline double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The median of 5 timed runs of op, in seconds.
inline double MedianSeconds(const std::function<void()> &op) {
    std::vector<double> runs;
    for (int r = 0; r < 5; r++) {
        auto start = std::chrono::steady_clock::now();
        op();
        runs.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return Median(runs);
}

// The thread's own processor time in microseconds: on a shared machine, time spent waiting for a core is
// nobody's work.
inline double ThreadMicros() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

// Median over 5 runs of the mean processor time of one call of op, in microseconds; each run calls it for at
// least windowMicros, after one call that warms the caches.
inline double MedianThreadMicros(const std::function<void()> &op, double windowMicros) {
    std::vector<double> runs;
    op();
    for (int r = 0; r < 5; r++) {
        int calls = 0;
        const double start = ThreadMicros();
        double now = start;
        do {
            op();
            ++calls;
            now = ThreadMicros();
        } while (now - start < windowMicros);
        runs.push_back((now - start) / calls);
    }
    return Median(runs);
}

// What a benchmark's main does besides running the registered benchmarks. setUp runs first with the command
// line (false: exit 1); report prints the bench's own figures after them, and its result is the exit status.
struct BenchMain {
    const char *note = " (benchmarks run single-threaded)";
    bool (*setUp)(int argc, char **argv) = nullptr;
    int (*report)() = nullptr;
    benchmark::BenchmarkReporter *reporter = nullptr;
};

inline int RunBenchMain(int argc, char **argv, const BenchMain &main) {
    PrintMachine(main.note);
    if (main.setUp && !main.setUp(argc, argv)) return 1;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (main.reporter) benchmark::RunSpecifiedBenchmarks(main.reporter);
    else benchmark::RunSpecifiedBenchmarks();
    const int status = main.report ? main.report() : 0;
    benchmark::Shutdown();
    return status;
}

} // namespace vl::bench

// The one main of a benchmark: VL_BENCH_MAIN(.setUp = MakeFiles, .report = Report).
#define VL_BENCH_MAIN(...)                                                                                      \
    int main(int argc, char **argv) { return vl::bench::RunBenchMain(argc, argv, vl::bench::BenchMain{__VA_ARGS__}); }
