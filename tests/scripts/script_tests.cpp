// Every .vls file below this folder is one test: compiled, run and checked against its own expectations.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/scripts/script_runner.h"
#include "tests/support/files.h"

namespace {

class ScriptTest : public testing::TestWithParam<std::string> {};

TEST_P(ScriptTest, BehavesAsItsCommentsSay) {
    const std::string path = std::string(VL_SCRIPTS_DIR) + "/" + GetParam();
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << GetParam();
    const std::string source = ReadFileText(path);

    ScriptExpectations expected;
    std::string problem;
    ASSERT_TRUE(ParseExpectations(source, expected, problem)) << problem;
    auto directory = (std::filesystem::path(VL_SCRIPTS_DIR) / GetParam()).parent_path().string();
    ScriptRunResult run = RunScript(source, GetParam(), directory);
    std::string differences = CompareRun(expected, run);
    EXPECT_EQ(differences, "") << GetParam();
}

std::string TestName(const testing::TestParamInfo<std::string> &info) { return ScriptTestName(info.param); }

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest, testing::ValuesIn(ScriptFilesBelow(VL_SCRIPTS_DIR)), TestName);

} // namespace
