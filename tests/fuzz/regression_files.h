// The files a fuzz target's crashes were minimised to; the regular suites load each one and expect an error or a
// clean result. A test finds a target's files by listing its folder, never by name, so a file added there is
// loaded. With VL_REGRESSION_RECORD naming a folder (a full scripts/test run), each file listed is written to a
// file of this process there; after the suite scripts/test fails when a file under regressions/ was listed by
// no test, so a folder whose target no test loads is found too.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/files.h"

inline std::vector<std::filesystem::path> RegressionFiles(const char *target) {
    std::vector<std::filesystem::path> files;
    const std::filesystem::path root = std::filesystem::path(VL_SOURCE_DIR) / "tests/fuzz/regressions";
    for (const auto &entry : std::filesystem::directory_iterator(root / target))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (const char *record = std::getenv("VL_REGRESSION_RECORD"); record && *record) {
        std::ofstream out(std::string(record) + "/" + std::to_string(getpid()) + ".txt", std::ios::app);
        for (const auto &file : files) out << file.lexically_relative(root).string() << "\n";
    }
    return files;
}
