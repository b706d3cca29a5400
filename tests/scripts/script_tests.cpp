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

// A script error names the failed operation and its operand as the script names it, and an error in a function
// a command called back says which command called it from where.
TEST(ScriptErrorMessages, NameTheOperationAndTheOperand) {
    struct Case {
        const char *source;
        int code, line;
        const char *message;
    };
    const char *const kWrongType = "Wrong data type specified! ";
    const Case cases[] = {
        {"DisplayBrsh(1, 10, 10)\n", 1504, 1, "Attempt to call a Nil value (global 'displaybrsh')!"},
        {"x = 1\nx = undefinedvar + 1\n", 1019, 2, "Attempt to add Nil (global 'undefinedvar') and a number!"},
        {"Local s = \"a\" .. missing .. \"b\"\n", 1019, 1, "Attempt to concatenate Nil (global 'missing')!"},
        {"Function area(w, h)\n    Return w * h\nEndFunction\nTestPrint(area(2))\n", 1019, 2,
         "Attempt to multiply a number (local 'w') by Nil (local 'h')! Function 'area' expects 2 arguments, got 1!"},
        {"Function run(done)\n    done()\nEndFunction\nrun()\n", 1504, 2,
         "Attempt to call a Nil value (local 'done')! Function 'run' expects 1 argument, got 0!"},
        {"Local t = {inner = Nil}\nLocal v = t.inner.field\n", 1505, 2, "Attempt to index a Nil value (field 'inner')!"},
        {"Local n\nFunction f()\n    Return n - 1\nEndFunction\nf()\n", 1019, 3,
         "Attempt to subtract a number from Nil (upvalue 'n')!"},
        {"Local n = 1\nLocal s = \"2\"\nIf n < s Then TestPrint(1) EndIf\n", 1019, 3,
         "Attempt to compare a number (local 'n') with a string (local 's')!"},
        {"Local obj = {}\nobj.run()\n", 1504, 2, "Attempt to call a Nil value (field 'run')!"},
        {"For i = 1 To last\nNext\n", 1019, 1, "Attempt to use Nil (global 'last') as a For loop's limit!"},
        {"Local t = {}\nx = -t\n", 1019, 2, "Attempt to negate a table (local 't')!"},
        {"Local a = {}\nx = a / 2\n", 1019, 2, "Attempt to divide a table (local 'a') by a number!"},
        {"Local s = \"y\"\nx = 5 % s\n", 1019, 2, "Attempt to take a number modulo a string (local 's')!"},
        {"score = 5\nx = \"Score: \" + score\n", 1019, 2,
         "Attempt to add a string and a number (global 'score')! Text is joined with '..', not '+'."},
        {"Local s = \"12\"\nx = s + Nil\n", 1019, 2, "Attempt to add a string (local 's') and Nil!"},
        {"cfg = {}\nx = cfg.level ^ 2\n", 1019, 2, "Attempt to raise Nil (field 'level') to the power of a number!"},
        {"Local p\nx = \"a\" .. p .. \"b\"\n", 1019, 2, "Attempt to concatenate Nil (local 'p')!"},
        {"titles = {\"One\"}\nFor n = 1 To 2\n  x = \"Slide \" .. n .. \": \" .. titles[n]\nNext\n", 1019, 3,
         "Attempt to concatenate Nil (element 'titles[n]')!"},
        {"Local d = {list = {}}\nx = d.list[2] .. \"!\"\n", 1019, 2, "Attempt to concatenate Nil (element 'list[2]')!"},
        {"Local t, i = {}, 1\nx = t[i + 1] * 2\n", 1019, 2, "Attempt to multiply Nil (element 't[?]') by a number!"},
        {"flag = 1\nx = (flag And nope1 Or nope2) + 1\n", 1019, 2, "Attempt to add Nil and a number!"},
        {"Local t = {}\nt[1][2] = 3\n", 1505, 2, "Attempt to index a Nil value (element 't[1]')!"},
        {"Local n = 1\nn.x = 2\n", 1505, 2, "Attempt to index a number value (local 'n')!"},
        {"Function handler()\n    Return missing + 1\nEndFunction\nTestCall(handler)\n", 1019, 2,
         "Attempt to add Nil (global 'missing') and a number!\ncalled from TestCall at t.vls:4"},
        {"Function handler()\n    TestCall(Function() Return {} .. \"x\" EndFunction)\nEndFunction\n\n"
         "TestDispatch(handler)\n",
         1019, 2, "Attempt to concatenate a table!\ncalled from TestCall at t.vls:2\ncalled from TestDispatch at t.vls:5"},
        {"Function handler()\n    TestFail(1041)\nEndFunction\nTestDispatch(handler)\n", 1041, 2,
         "Requested object not found!\ncalled from TestDispatch at t.vls:4"},
    };
    for (const Case &c : cases) {
        ScriptRunResult run = RunScript(c.source, "t.vls");
        EXPECT_EQ(run.errorCode, c.code) << c.source << run.compileError;
        EXPECT_EQ(run.errorLine, c.line) << c.source;
        EXPECT_EQ(run.errorMessage, (c.code == 1019 ? kWrongType : "") + std::string(c.message)) << c.source;
    }
}

std::string TestName(const testing::TestParamInfo<std::string> &info) { return ScriptTestName(info.param); }

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptTest, testing::ValuesIn(ScriptFilesBelow(VL_SCRIPTS_DIR)), TestName);

} // namespace
