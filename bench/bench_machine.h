// What every benchmark prints first (the machine it ran on) and the median it reports.
#pragma once

#include <algorithm>
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

} // namespace vl::bench
