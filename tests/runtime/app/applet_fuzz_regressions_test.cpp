// Every file under tests/fuzz/regressions/applet/ (inputs a fuzzer once found harmful) is refused by the
// player's applet reading with an error code, read in place as fuzz_applet reads it.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/virtual_file.h"
#include "runtime/app/applet_loader.h"

namespace {

std::vector<std::filesystem::path> RegressionFiles(const char *target) {
    std::vector<std::filesystem::path> files;
    std::filesystem::path dir = std::filesystem::path(VL_SOURCE_DIR) / "tests/fuzz/regressions" / target;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        if (entry.is_regular_file()) files.push_back(entry.path());
    return files;
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace

TEST(AppletFuzzRegressions, DamagedAppletsAreRefusedWithAnErrorCode) {
    std::vector<std::filesystem::path> files = RegressionFiles("applet");
    ASSERT_FALSE(files.empty());
    for (const std::filesystem::path &path : files) {
        SCOPED_TRACE(path.string());
        std::vector<uint8_t> bytes = ReadBytes(path);
        bytes.push_back(0); // a valid address even for an empty file; not part of the range
        RegisterMemoryRange(bytes.data(), bytes.size() - 1, 0);
        char name[64];
        ASSERT_TRUE(MakeMemoryFileName(name, sizeof name, bytes.data(), bytes.size() - 1));
        LoadedApplet applet;
        EXPECT_NE(OpenApplet(name, 0, "regression", &applet), 0);
        if (!applet.temporaryFile.empty()) std::remove(applet.temporaryFile.c_str());
        UnregisterMemoryRange(bytes.data());
    }
}
