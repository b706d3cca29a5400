#include <gtest/gtest.h>

#include <string>

#include "tools/compiler/lexer.h"
#include "tools/compiler/parser.h"

namespace {

std::vector<Token> LexAll(std::string_view source, Lexer &lexer) {
    InitLexer(lexer, source);
    std::vector<Token> tokens;
    for (;;) {
        Token t = NextToken(lexer);
        if (t.kind == TokenKind::End) break;
        tokens.push_back(t);
    }
    return tokens;
}

CompileError ParseError(std::string_view source) {
    ScriptNode script;
    CompileError error;
    EXPECT_FALSE(ParseScript(source, script, error)) << source;
    return error;
}

ScriptNode Parse(std::string_view source) {
    ScriptNode script;
    CompileError error;
    EXPECT_TRUE(ParseScript(source, script, error)) << error.line << ":" << error.column << ": " << error.message;
    return script;
}

// The value expression of the first statement ("x = <expr>").
const Expr &FirstValue(const ScriptNode &script) { return *script.main.body.statements.at(0).values.at(0); }

TEST(Lexer, LowerCasesNamesKeywordsAndConstantsButNotStrings) {
    Lexer lexer;
    auto tokens = LexAll("LoadBrush WHILE #Layer_Top \"MiXeD\"", lexer);
    ASSERT_EQ(tokens.size(), 4u);
    EXPECT_EQ(tokens[0].kind, TokenKind::Name);
    EXPECT_EQ(tokens[0].text, "loadbrush");
    EXPECT_EQ(tokens[1].kind, TokenKind::While);
    EXPECT_EQ(tokens[2].kind, TokenKind::Constant);
    EXPECT_EQ(tokens[2].text, "layer_top");
    EXPECT_EQ(tokens[3].text, "MiXeD");
}

TEST(Lexer, ReadsHexDecimalAndExponentNumbers) {
    Lexer lexer;
    auto tokens = LexAll("0xFF $ff00 1.5 2e3 .25", lexer);
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[0].number, 255);
    EXPECT_EQ(tokens[1].number, 0xff00);
    EXPECT_EQ(tokens[2].number, 1.5);
    EXPECT_EQ(tokens[3].number, 2000);
    EXPECT_EQ(tokens[4].number, 0.25);
}

TEST(Lexer, DecodesEscapesIncludingZeroBytes) {
    Lexer lexer;
    auto tokens = LexAll(R"("a\n\t\\\"\x41\0b")", lexer);
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].text, std::string("a\n\t\\\"A\0b", 8));
}

TEST(Lexer, SkipsLineAndBlockCommentsAndCountsTheirLines) {
    Lexer lexer;
    auto tokens = LexAll("; one\n/* two\nthree */ x", lexer);
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].line, 3);
    EXPECT_EQ(tokens[0].column, 10);
}

TEST(Lexer, RefusesMalformedNumbers) {
    for (const char *bad : {"12abc", "0x", "1e+", "1.5.3"}) {
        Lexer lexer;
        LexAll(bad, lexer);
        EXPECT_TRUE(lexer.failed) << bad;
    }
}

TEST(Parser, MultiplicationBindsTighterThanAddition) {
    auto script = Parse("x = a + b * c");
    const Expr &e = FirstValue(script);
    ASSERT_EQ(e.kind, ExprKind::Binary);
    EXPECT_EQ(e.binary, BinaryOp::Add);
    EXPECT_EQ(e.b->binary, BinaryOp::Mul);
}

TEST(Parser, PowerAndConcatAreRightAssociative) {
    auto script = Parse("x = a ^ b ^ c\ny = a .. b .. c");
    const Expr &power = FirstValue(script);
    EXPECT_EQ(power.a->kind, ExprKind::Name);
    EXPECT_EQ(power.b->binary, BinaryOp::Pow);
    const Expr &concat = *script.main.body.statements.at(1).values.at(0);
    EXPECT_EQ(concat.a->kind, ExprKind::Name);
    EXPECT_EQ(concat.b->binary, BinaryOp::Concat);
}

TEST(Parser, UnaryMinusBindsLooserThanPower) {
    auto script = Parse("x = -a ^ 2");
    const Expr &e = FirstValue(script);
    ASSERT_EQ(e.kind, ExprKind::Unary);
    EXPECT_EQ(e.a->binary, BinaryOp::Pow);
}

TEST(Parser, FoldsLiteralArithmeticButNotDivision) {
    auto script = Parse("x = 1 + 2 * 3 - -4\ny = 1 / 0\nz = \"a\" .. \"b\"");
    EXPECT_EQ(FirstValue(script).kind, ExprKind::Number);
    EXPECT_EQ(FirstValue(script).number, 11);
    EXPECT_EQ(script.main.body.statements[1].values[0]->kind, ExprKind::Binary);
    EXPECT_EQ(script.main.body.statements[2].values[0]->text, "ab");
}

TEST(Parser, TrueAndFalseAreNumbers) {
    auto script = Parse("x = True\ny = FALSE");
    EXPECT_EQ(FirstValue(script).number, 1);
    EXPECT_EQ(script.main.body.statements[1].values[0]->number, 0);
}

TEST(Parser, TableFieldsKeepPositionalAndNamedApart) {
    auto script = Parse("t = {10, Name = 2, [\"Key\"] = 3, 20}");
    const Expr &t = FirstValue(script);
    ASSERT_EQ(t.fields.size(), 4u);
    EXPECT_EQ(t.fields[0].key, nullptr);
    EXPECT_EQ(t.fields[1].key->text, "name");
    EXPECT_EQ(t.fields[2].key->text, "Key");
    EXPECT_EQ(t.fields[3].key, nullptr);
}

TEST(Parser, ParenthesisOnANewLineStartsANewStatement) {
    auto script = Parse("x = f\n(g)(1)");
    ASSERT_EQ(script.main.body.statements.size(), 2u);
    EXPECT_EQ(script.main.body.statements[1].kind, StatKind::Call);
}

TEST(Parser, BareReturnEndsItsLine) {
    auto script = Parse("Function f()\n If a Then Return\n g()\n EndIf\nEndFunction");
    const Stat &ifStat = script.main.body.statements[0].values[0]->function->body.statements[0];
    ASSERT_EQ(ifStat.clauses[0].body.statements.size(), 2u);
    EXPECT_TRUE(ifStat.clauses[0].body.statements[0].values.empty());
}

TEST(Parser, FunctionStatementWithDottedNameAssignsAField) {
    auto script = Parse("Function Obj.Draw(x) EndFunction");
    const Stat &s = script.main.body.statements[0];
    ASSERT_EQ(s.kind, StatKind::Assign);
    EXPECT_EQ(s.targets[0]->kind, ExprKind::Index);
    EXPECT_EQ(s.values[0]->function->name, "obj.draw");
}

TEST(Parser, CollectsDirectivesWithTheirArguments) {
    auto script = Parse("@Brush 1, \"a.png\"\n@Display\nx = 1");
    ASSERT_EQ(script.directives.size(), 2u);
    EXPECT_EQ(script.directives[0].name, "brush");
    EXPECT_EQ(script.directives[0].arguments.size(), 2u);
    EXPECT_TRUE(script.directives[1].arguments.empty());
    EXPECT_EQ(script.main.body.statements.size(), 1u);
}

// The messages, lines and columns of these errors are checked end to end in tests/scripts/language/compile_errors;
// here only the cases those scripts leave out.
TEST(ParserErrors, LabelInsideABlockIsRefused) {
    EXPECT_NE(ParseError("If x Then\nLabel a\nEndIf").message.find("top level"), std::string::npos);
}

TEST(ParserErrors, GosubInsideAFunctionIsRefused) {
    EXPECT_EQ(ParseError("Function f()\nGosub a\nEndFunction").line, 2);
}

TEST(ParserErrors, BreakInAFunctionInsideALoopIsRefused) {
    EXPECT_EQ(ParseError("While x\nFunction f() Break EndFunction\nWend").message, "'Break' outside a loop");
}

TEST(ParserErrors, BlocksNestedDeeperThanTheLimitAreRefused) {
    std::string blocks;
    for (int i = 0; i <= kMaxNesting; ++i) blocks += "While 1\n";
    EXPECT_NE(ParseError(blocks).message.find("nesting too deep"), std::string::npos);
}

TEST(ParserErrors, AKeywordWhereANameGoesIsCalledAKeyword) {
    const struct {
        const char *source, *message;
    } cases[] = {
        {"Function Step()\nEndFunction", "name expected after 'Function', found 'Step', which is a keyword"},
        {"Function Move(x, Label)\nEndFunction", "name expected as a parameter, found 'Label', which is a keyword"},
        {"Local Then = 1", "name expected after 'Local', found 'Then', which is a keyword"},
    };
    for (const auto &c : cases) {
        const std::string message = ParseError(c.source).message;
        EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
        EXPECT_NE(message.find("choose another name"), std::string::npos) << message;
    }
    EXPECT_EQ(ParseError("Function (x)\nEndFunction").message, "name expected after 'Function', found '('");
}

TEST(ParserErrors, ModerateNestingIsAccepted) {
    std::string ok = "x = " + std::string(190, '(') + "1" + std::string(190, ')');
    Parse(ok);
}

TEST(ParserErrors, LongUnaryAndSuffixChainsAreBounded) {
    EXPECT_NE(ParseError("x = " + std::string(100000, '-') + "1").message.find("nesting"), std::string::npos);
    std::string chain = "x = a";
    for (int i = 0; i < 100000; ++i) chain += ".b";
    EXPECT_NE(ParseError(chain).message.find("nesting"), std::string::npos);
    std::string sum = "x = a";
    for (int i = 0; i < 100000; ++i) sum += " + a";
    EXPECT_NE(ParseError(sum).message.find("nesting"), std::string::npos);
}

} // namespace

namespace {

TEST(ParserLabels, LabelBodyEndsWithEndLabel) {
    ScriptNode script;
    CompileError error;
    ASSERT_TRUE(ParseScript("Label Start:\n x = 1\nEndLabel\ny = 2", script, error)) << error.message;
    ASSERT_EQ(script.main.body.statements.size(), 2u);
    EXPECT_EQ(script.main.body.statements[0].names[0], "start");
    EXPECT_EQ(script.main.body.statements[0].body.statements.size(), 1u);
}

TEST(ParserLabels, MissingEndLabelNamesTheLabelLine) {
    ScriptNode script;
    CompileError error;
    EXPECT_FALSE(ParseScript("x = 1\nLabel A\n y = 2\n", script, error));
    EXPECT_EQ(error.message, "'EndLabel' expected (to close 'Label' at line 2), found end of file");
}

TEST(ParserLabels, LabelInsideALabelIsRefused) {
    ScriptNode script;
    CompileError error;
    EXPECT_FALSE(ParseScript("Label A\nLabel B\nEndLabel\nEndLabel", script, error));
    EXPECT_EQ(error.line, 2);
}

} // namespace
