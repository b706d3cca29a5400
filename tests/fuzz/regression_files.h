// The files a fuzz target's crashes were minimised to; the regular suites load each one and expect an error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "tests/support/files.h"

inline std::vector<std::filesystem::path> RegressionFiles(const char *target) {
    std::vector<std::filesystem::path> files;
    std::filesystem::path dir = std::filesystem::path(VL_SOURCE_DIR) / "tests/fuzz/regressions" / target;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    return files;
}
