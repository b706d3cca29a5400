// The files a fuzz target's crashes were minimised to; the regular suites load each one and expect an error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

inline std::vector<std::filesystem::path> RegressionFiles(const char *target) {
    std::vector<std::filesystem::path> files;
    std::filesystem::path dir = std::filesystem::path(VL_SOURCE_DIR) / "tests/fuzz/regressions" / target;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    return files;
}

inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
