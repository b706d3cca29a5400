// What every benchmark prints first (the machine it ran on) and the median it reports.
#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

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

} // namespace vl::bench
