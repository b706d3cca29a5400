// The compiler end to end: generated code always passes the VM's verifier, runs as the source says, and bad or
// oversized source gives a positioned error instead of a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "runtime/vm/proto.h"
#include "runtime/vm/vm.h"
#include "tools/compiler/compile.h"
#include "tests/support/files.h"

namespace {

// Runs source and returns the global `result` as text, or "error <code> line <n>" / "compile: <message>".
std::string RunSource(const std::string &source) {
    FunctionProto main;
    CompileError error;
    if (!CompileScript(source, "test.vls", main, error)) return "compile: " + FormatCompileError(error);
    VMState *vm = NewVMState();
    std::string out;
    int code = PushProtoClosure(vm, main);
    if (code == 0) code = ProtectedCall(vm, 0, 0, 0);
    if (code != 0) {
        out = "error " + std::to_string(code) + " line " + std::to_string(GetErrorLine(vm));
    } else {
        GetGlobal(vm, "result");
        size_t length = 0;
        const char *text = VMToString(vm, -1, &length);
        out = text ? std::string(text, length) : "Nil";
    }
    CloseVMState(vm);
    return out;
}

CompileError CompileFailure(const std::string &source) {
    FunctionProto main;
    CompileError error;
    EXPECT_FALSE(CompileScript(source, "bad.vls", main, error));
    return error;
}

TEST(CompileRun, ConcatenationChainsIntoOneInstruction) {
    EXPECT_EQ(RunSource("a = 1 b = \"x\" result = a .. b .. 2 .. b .. 3.5"), "1x2x3.5");
}

TEST(CompileRun, AndOrYieldTheDecidingOperand) {
    EXPECT_EQ(RunSource("a = Nil b = \"\" result = (a Or b Or \"z\") .. (b And 1 Or \"e\")"), "ze");
}

TEST(CompileRun, ComparisonsInValueAndJumpContextAgree) {
    EXPECT_EQ(RunSource("a = 3 b = 4 x = a < b y = 0 If a < b Then y = 1 EndIf result = x .. y .. (a >= b) .. (Not (a >= b))"),
              "1101");
}

TEST(CompileRun, AssignmentReadsTableAndKeyBeforeStoring) {
    EXPECT_EQ(RunSource("Local t = {} Local old = t Local u = {} Local k = 1 t, t[k], k = u, \"v\", 2 "
                        "result = old[1] .. \"/\" .. (t == u) .. \"/\" .. (u[1] == Nil) .. \"/\" .. k"),
              "v/1/1/2");
    EXPECT_EQ(RunSource("Local t = {} Local k = 1 k, t[k] = 2, \"v\" result = t[1]"), "v");
}

TEST(CompileRun, LocalsDeclaredWithoutValueAreNilEvenWhenRegistersAreReused) {
    EXPECT_EQ(RunSource("For i = 1 To 2\n Local a\n If i == 2 Then result = a EndIf\n a = 5\nNext\nIf result == Nil Then result = \"nil\" EndIf"),
              "nil");
}

TEST(CompileRun, ConstructorsBeyondTheDirectBatchIndexKeepTheirKeys) {
    // More than 511 batches of 50 need SETLIST's extra start word.
    std::string source = "Local t = {";
    for (int i = 0; i < 26000; ++i) source += std::to_string(i) + ",";
    source += "} result = t[0] .. \",\" .. t[25549] .. \",\" .. t[25550] .. \",\" .. t[25999] .. \",\" .. (t[26000] == Nil)";
    EXPECT_EQ(RunSource(source), "0,25549,25550,25999,1");
}

TEST(CompileRun, MoreThan256ConstantsStillWork) {
    std::string source = "Local t = {}\n";
    for (int i = 0; i < 400; ++i) source += "t[\"k" + std::to_string(i) + "\"] = \"v" + std::to_string(i) + "\"\n";
    source += "result = t.k0 .. t.k255 .. t.k256 .. t.k399";
    EXPECT_EQ(RunSource(source), "v0v255v256v399");
}

TEST(CompileRun, LargeAndFractionalNumbersSurvive) {
    EXPECT_EQ(RunSource("result = 131072 + 131073 + 1e300 * 0 + 0.5 + -200000"), "62145.5");
}

TEST(CompileRun, RuntimeErrorReportsTheCallsFirstLine) {
    EXPECT_EQ(RunSource("x = 1\nf = Nil\nf(1,\n 2)"), "error 1504 line 3");
}

TEST(CompileLimits, TooManyRegistersIsAnError) {
    std::string args;
    for (int i = 0; i < 300; ++i) args += (i ? "," : "") + std::to_string(i);
    CompileError error = CompileFailure("f(" + args + ")");
    EXPECT_EQ(error.line, 1);
    EXPECT_NE(error.message.find("too complex"), std::string::npos) << error.message;
}

TEST(CompileLimits, TooManyUpvaluesIsAnError) {
    // Locals of two enclosing functions, all captured by the innermost one: 300 upvalues.
    std::string source = "Function Outer()\n";
    for (int i = 0; i < 150; ++i) source += " Local a" + std::to_string(i) + " = 1\n";
    source += " Function Middle()\n";
    for (int i = 0; i < 150; ++i) source += "  Local b" + std::to_string(i) + " = 1\n";
    source += "  Return Function()\n";
    for (int i = 0; i < 150; ++i) source += "   x = a" + std::to_string(i) + " + b" + std::to_string(i) + "\n";
    source += "  EndFunction\n EndFunction\nEndFunction\n";
    CompileError error = CompileFailure(source);
    EXPECT_EQ(error.message, "too many upvalues (more than 255 in one function)");
    EXPECT_EQ(error.line, 431); // where the 256th distinct one is needed
}

TEST(CompileLimits, OverlongJumpIsAnError) {
    std::string source = "While x\n";
    for (int i = 0; i < 70000; ++i) source += "y = 1\n";
    source += "Wend\n";
    CompileError error = CompileFailure(source);
    EXPECT_EQ(error.message, "control structure too long");
}

TEST(CompileApplet, LabelsAndChunkGoIntoTheApplet) {
    AppletContents contents;
    CompileError error;
    ASSERT_TRUE(CompileApplet("x = 1\nLabel OnClick\n y = 2\nEndLabel\n", "a.vls", "", contents, error))
        << error.message;
    EXPECT_EQ(contents.scriptName, "a.vls");
    ASSERT_EQ(contents.labels.size(), 1u);
    EXPECT_EQ(contents.labels[0].name, "onclick");
    FunctionProto decoded;
    ASSERT_EQ(DecodeChunk(contents.chunk.data(), contents.chunk.size(), &decoded), 0);
    ASSERT_EQ(decoded.labels.size(), 1u);
    EXPECT_EQ(decoded.labels[0].pc, contents.labels[0].instruction);
}

TEST(CompileApplet, ErrorsNameTheFile) {
    AppletContents contents;
    CompileError error;
    EXPECT_FALSE(CompileApplet("x = (1", "dir/game.vls", "", contents, error));
    EXPECT_EQ(FormatCompileError(error), "dir/game.vls:1:7: ')' expected (to close '(' at line 1), found end of file");
}

TEST(CompileApplet, WrittenFileReadsBackInBothForms) {
    AppletContents contents;
    CompileError error;
    ASSERT_TRUE(CompileApplet("@display {Width = 64}\nx = 1", "a.vls", "", contents, error));
    for (bool compressed : {false, true}) {
        std::vector<uint8_t> bytes, plain;
        std::string message;
        ASSERT_TRUE(BuildAppletFile(contents, compressed, bytes, message)) << message;
        if (compressed) {
            ASSERT_TRUE(DecompressApplet(bytes, plain, message)) << message;
        }
        AppletContents back;
        ASSERT_TRUE(ReadApplet(compressed ? plain : bytes, back, message)) << message;
        EXPECT_EQ(back.chunk, contents.chunk);
        EXPECT_TRUE(back.hasDisplaySettings);
    }
}

std::vector<std::string> CorpusSources() {
    std::vector<std::string> sources;
    for (const char *dir : {"/tests/scripts", "/bench/vm_scripts"}) {
        for (auto &entry : std::filesystem::recursive_directory_iterator(std::string(VL_SOURCE_DIR) + dir)) {
            if (entry.path().extension() != ".vls") continue;
            sources.push_back(ReadFileText(entry.path()));
        }
    }
    return sources;
}

// Compiling never crashes; it either refuses with a position or produces code the verifier accepts (CompileScript
// runs the verifier and reports a refusal as an internal error).
void ExpectSoundOutcome(const std::string &source) {
    FunctionProto main;
    CompileError error;
    if (CompileScript(source, "fuzz.vls", main, error)) return;
    EXPECT_EQ(error.message.find("internal compiler error"), std::string::npos) << error.message << "\n" << source;
    EXPECT_GE(error.line, 1) << error.message;
}

TEST(BrokenSource, EveryTruncationOfTheScriptCorpusIsHandled) {
    auto sources = CorpusSources();
    ASSERT_GT(sources.size(), 20u);
    for (const std::string &source : sources)
        for (size_t size = 0; size < source.size(); size += 7) ExpectSoundOutcome(source.substr(0, size));
}

TEST(BrokenSource, RandomEditsOfTheScriptCorpusAreHandled) {
    auto sources = CorpusSources();
    std::mt19937 random(12345);
    const char fragments[][12] = {"(", ")", "EndIf", "Next", "Function", "Local", ",", "=", "..", "{", "}", "[",
                               "Return", "Label", "EndLabel", "Gosub", "\"", "#", "@", "\n", "...", "Break"};
    for (int round = 0; round < 3000; ++round) {
        std::string source = sources[random() % sources.size()];
        int edits = 1 + int(random() % 4);
        for (int e = 0; e < edits && !source.empty(); ++e) {
            size_t at = random() % source.size();
            switch (random() % 3) {
            case 0: source.erase(at, 1 + random() % 8); break;
            case 1: source.insert(at, fragments[random() % std::size(fragments)]); break;
            default: source[at] = char(random() % 256); break;
            }
        }
        ExpectSoundOutcome(source);
    }
}

} // namespace

namespace {

// A random expression over a, b, c with its value computed by the language's rules, to check the compiled
// code's jump lists against.
struct RandomExpr {
    std::string text;
    std::function<double(const double *)> value;
};

double Truth(double v) { return v != 0; }

RandomExpr MakeRandomExpr(std::mt19937 &random, int depth) {
    if (depth == 0 || random() % 4 == 0) {
        int pick = int(random() % 5);
        if (pick < 3) {
            std::string name(1, char('a' + pick));
            return {name, [pick](const double *v) { return v[pick]; }};
        }
        double constant = double(random() % 3);
        return {std::to_string(int(constant)), [constant](const double *) { return constant; }};
    }
    RandomExpr l = MakeRandomExpr(random, depth - 1);
    if (random() % 6 == 0)
        return {"Not (" + l.text + ")", [l](const double *v) { return Truth(l.value(v)) ? 0.0 : 1.0; }};
    RandomExpr r = MakeRandomExpr(random, depth - 1);
    static const char *ops[] = {"And", "Or", "==", "<>", "<", "<=", ">", ">=", "+", "-"};
    int op = int(random() % 10);
    std::string text = "(" + l.text + " " + ops[op] + " " + r.text + ")";
    auto lv = l.value, rv = r.value;
    std::function<double(const double *)> f;
    switch (op) {
    case 0: f = [lv, rv](const double *v) { double x = lv(v); return Truth(x) ? rv(v) : x; }; break;
    case 1: f = [lv, rv](const double *v) { double x = lv(v); return Truth(x) ? x : rv(v); }; break;
    case 2: f = [lv, rv](const double *v) { return double(lv(v) == rv(v)); }; break;
    case 3: f = [lv, rv](const double *v) { return double(lv(v) != rv(v)); }; break;
    case 4: f = [lv, rv](const double *v) { return double(lv(v) < rv(v)); }; break;
    case 5: f = [lv, rv](const double *v) { return double(lv(v) <= rv(v)); }; break;
    case 6: f = [lv, rv](const double *v) { return double(lv(v) > rv(v)); }; break;
    case 7: f = [lv, rv](const double *v) { return double(lv(v) >= rv(v)); }; break;
    case 8: f = [lv, rv](const double *v) { return lv(v) + rv(v); }; break;
    default: f = [lv, rv](const double *v) { return lv(v) - rv(v); }; break;
    }
    return {text, f};
}

TEST(CompileRun, RandomConditionsMatchTheLanguageRules) {
    std::mt19937 random(2024);
    for (int round = 0; round < 150; ++round) {
        RandomExpr e = MakeRandomExpr(random, 4);
        std::string source = "result = \"\"\nFor a = 0 To 2\nFor b = 0 To 2\nFor c = 0 To 2\n"
                             "  result = result .. " + e.text + " .. \",\"\n"
                             "  If " + e.text + " Then result = result .. \"T\" Else result = result .. \"F\" EndIf\n"
                             "  Local x = Not " + e.text + "\n"
                             "  While " + e.text + " And x == 0\n x = 1\n result = result .. \"W\"\n Wend\n"
                             "Next\nNext\nNext\n";
        std::string expected;
        for (int a = 0; a <= 2; ++a)
            for (int b = 0; b <= 2; ++b)
                for (int c = 0; c <= 2; ++c) {
                    double v[3] = {double(a), double(b), double(c)};
                    double value = e.value(v);
                    char number[32];
                    std::snprintf(number, sizeof number, "%.14g", value);
                    expected += std::string(number) + "," + (Truth(value) ? "T" : "F");
                    if (Truth(value)) expected += "W";
                }
        ASSERT_EQ(RunSource(source), expected) << e.text;
    }
}

} // namespace

namespace {

TEST(CompileLimits, LabelBodiesBeyondTheRegisterFileAreAnError) {
    std::string source;
    for (int i = 0; i < 150; ++i)
        source += "Label L" + std::to_string(i) + "\n  Local a, b = 1, 2\n  f(a, b, 3)\nEndLabel\n";
    CompileError error = CompileFailure(source);
    EXPECT_NE(error.message.find("too many label bodies"), std::string::npos) << error.message;
    // Forty such bodies fit.
    std::string fits = source.substr(0, source.find("Label L40\n"));
    FunctionProto main;
    EXPECT_TRUE(CompileScript(fits, "ok.vls", main, error)) << error.message;
}

} // namespace

namespace {

// Sizes at which list-walking or label searches that grow with the script would take minutes.
TEST(CompileScale, LongElseIfChainsBreaksAndLabelListsCompileInLinearTime) {
    std::string chain = "x = 3\nIf x == 0 Then y = 0\n";
    for (int i = 1; i < 15000; ++i) chain += "ElseIf x == " + std::to_string(i) + " Then y = " + std::to_string(i) + "\n";
    chain += "EndIf\nresult = y";
    EXPECT_EQ(RunSource(chain), "3");

    std::string breaks = "For i = 1 To 2\n";
    for (int i = 0; i < 30000; ++i) breaks += "If i == " + std::to_string(i + 5) + " Then Break EndIf\n";
    breaks += "Next\nresult = 1";
    EXPECT_EQ(RunSource(breaks), "1");

    std::string labels;
    for (int i = 0; i < 20000; ++i) labels += "Gosub L" + std::to_string(i) + "\n";
    for (int i = 0; i < 20000; ++i) labels += "Label L" + std::to_string(i) + "\nEndLabel\n";
    FunctionProto main;
    CompileError error;
    EXPECT_TRUE(CompileScript(labels, "labels.vls", main, error)) << error.message;
}

} // namespace

namespace {

std::vector<OpCode> Ops(const std::string &source) {
    FunctionProto main;
    CompileError error;
    EXPECT_TRUE(CompileScript(source, "ops.vls", main, error)) << error.message;
    std::vector<OpCode> ops;
    for (Instruction i : main.code) ops.push_back(GetOp(i));
    return ops;
}

bool Has(const std::vector<OpCode> &ops, OpCode op) { return std::find(ops.begin(), ops.end(), op) != ops.end(); }

// The shapes the interpreter's speed depends on.
TEST(CodeShape, ConditionIsACompareAndJumpWithoutAValue) {
    auto ops = Ops("Local a, b = 1, 2\nIf a < b Then x = 1 EndIf");
    EXPECT_TRUE(Has(ops, OP_LT));
    EXPECT_FALSE(Has(ops, OP_SLT));
    EXPECT_FALSE(Has(ops, OP_LOADINT) && Has(ops, OP_TEST));
}

TEST(CodeShape, ComparisonAsValueIsOneInstruction) {
    auto ops = Ops("Local a, b = 1, 2\nLocal c = a < b");
    EXPECT_TRUE(Has(ops, OP_SLT));
    EXPECT_FALSE(Has(ops, OP_LT));
    EXPECT_FALSE(Has(ops, OP_JMP));
}

TEST(CodeShape, NumericLoopBodyHasNoExtraMoves) {
    auto ops = Ops("Local total = 0\nFor i = 1 To 10\n total = total + i\nNext");
    auto prep = std::find(ops.begin(), ops.end(), OP_FORPREP);
    ASSERT_NE(prep, ops.end());
    EXPECT_EQ(std::vector<OpCode>(prep, prep + 3), (std::vector<OpCode>{OP_FORPREP, OP_ADD, OP_FORLOOP}));
}

TEST(CodeShape, ConcatenationChainIsOneInstruction) {
    auto ops = Ops("Local a, b = 1, 2\nLocal s = \"x\" .. a .. \"y\" .. b");
    EXPECT_EQ(std::count(ops.begin(), ops.end(), OP_CONCAT), 1);
}

} // namespace
