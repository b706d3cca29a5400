// Every file under tests/fuzz/regressions/applet/ (inputs a fuzzer once found harmful) is refused by the
// player's applet reading with an error code, read in place as fuzz_applet reads it.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fuzz/regression_files.h"

#include "host/virtual_file.h"
#include "player/applet_loader.h"

namespace {


} // namespace

TEST(AppletFuzzRegressions, DamagedAppletsAreRefusedWithAnErrorCode) {
    std::vector<std::filesystem::path> files = RegressionFiles("applet");
    ASSERT_FALSE(files.empty());
    for (const std::filesystem::path &path : files) {
        SCOPED_TRACE(path.string());
        std::vector<uint8_t> bytes = ReadFileBytes(path);
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
