// Every .vls file below this folder is one test: compiled, run and checked against its own expectations.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/scripts/script_runner.h"

namespace {

std::vector<std::string> FindScripts() {
    std::vector<std::string> scripts;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(VL_SCRIPTS_DIR, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() && it->path().extension() == ".vls")
            scripts.push_back(std::filesystem::relative(it->path(), VL_SCRIPTS_DIR).generic_string());
    }
    std::sort(scripts.begin(), scripts.end());
    return scripts;
}

class ScriptTest : public testing::TestWithParam<std::string> {};

TEST_P(ScriptTest, BehavesAsItsCommentsSay) {
    std::ifstream in(std::filesystem::path(VL_SCRIPTS_DIR) / GetParam(), std::ios::binary);
    ASSERT_TRUE(in) << GetParam();
    std::stringstream text;
    text << in.rdbuf();
    std::string source = text.str();

    ScriptExpectations expected;
    std::string problem;
    ASSERT_TRUE(ParseExpectations(source, expected, problem)) << problem;
    auto directory = (std::filesystem::path(VL_SCRIPTS_DIR) / GetParam()).parent_path().string();
    ScriptRunResult run = RunScript(source, GetParam(), directory);
    std::string differences = CompareRun(expected, run);
    EXPECT_EQ(differences, "") << GetParam();
}

std::string TestName(const testing::TestParamInfo<std::string> &info) {
    std::string name = info.param.substr(0, info.param.size() - 4);
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest, testing::ValuesIn(FindScripts()), TestName);

} // namespace
