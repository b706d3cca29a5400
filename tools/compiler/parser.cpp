// A recursive-descent parser. Every recursion passes through a subexpression or a block, each of which counts
// one level against kMaxNesting, so hostile source cannot exhaust the C++ stack; the first error ends the parse.
#include "tools/compiler/parser.h"

#include <cmath>

#include "tools/compiler/lexer.h"

namespace {

struct ParseFailure {
    int line;
    int column;
    std::string message;
};

struct Parser {
    Lexer lexer;
    Token current;
    Token lookahead;
    bool hasLookahead = false;
    int previousLine = 1; // line of the last consumed token
    int depth = 0;
    int functionDepth = 0; // 0 while in the main chunk
    int blockDepth = 0;    // blocks open inside the current function
    int loopDepth = 0;     // loops open inside the current function
    ScriptNode *script = nullptr; // receives the directives
};

[[noreturn]] void FailAt(int line, int column, std::string message) {
    throw ParseFailure{line, column, std::move(message)};
}

Token Fetch(Parser &p) {
    Token token = NextToken(p.lexer);
    if (p.lexer.failed) FailAt(p.lexer.errorLine, p.lexer.errorColumn, p.lexer.error);
    return token;
}

void Next(Parser &p) {
    p.previousLine = p.current.line;
    if (p.hasLookahead) {
        p.current = std::move(p.lookahead);
        p.hasLookahead = false;
    } else {
        p.current = Fetch(p);
    }
}

const Token &PeekAhead(Parser &p) {
    if (!p.hasLookahead) {
        p.lookahead = Fetch(p);
        p.hasLookahead = true;
    }
    return p.lookahead;
}

bool Check(const Parser &p, TokenKind kind) { return p.current.kind == kind; }

bool Accept(Parser &p, TokenKind kind) {
    if (!Check(p, kind)) return false;
    Next(p);
    return true;
}

[[noreturn]] void FailHere(Parser &p, const std::string &message) {
    FailAt(p.current.line, p.current.column, message);
}

void Expect(Parser &p, TokenKind kind, const char *what) {
    if (!Check(p, kind))
        FailHere(p, std::string("'") + TokenKindText(kind) + "' expected " + what + ", found " +
                        DescribeToken(p.current));
    Next(p);
}

// The closing keyword of a block, naming the line that opened it so a missing EndIf is easy to find.
void ExpectClose(Parser &p, TokenKind kind, TokenKind opener, int openLine) {
    if (!Check(p, kind))
        FailHere(p, std::string("'") + TokenKindText(kind) + "' expected (to close '" + TokenKindText(opener) +
                        "' at line " + std::to_string(openLine) + "), found " + DescribeToken(p.current));
    Next(p);
}

std::string ExpectName(Parser &p, const char *what) {
    if (IsKeyword(p.current.kind))
        FailHere(p, std::string("name expected ") + what + ", found " + DescribeToken(p.current) +
                        ", which is a keyword and cannot be a name: choose another name");
    if (!Check(p, TokenKind::Name))
        FailHere(p, std::string("name expected ") + what + ", found " + DescribeToken(p.current));
    std::string name = p.current.text;
    Next(p);
    return name;
}

struct DepthGuard {
    Parser &p;
    explicit DepthGuard(Parser &parser) : p(parser) {
        if (++p.depth > kMaxNesting)
            FailHere(p, "nesting too deep (more than " + std::to_string(kMaxNesting) + " levels)");
    }
    ~DepthGuard() { --p.depth; }
};

ExprPtr MakeExpr(ExprKind kind, int line, int column) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->line = line;
    e->column = column;
    return e;
}

bool BlockEnds(TokenKind kind) {
    switch (kind) {
    case TokenKind::End: case TokenKind::EndFunction: case TokenKind::EndIf: case TokenKind::EndLabel: case TokenKind::Else:
    case TokenKind::ElseIf: case TokenKind::Next: case TokenKind::Wend: case TokenKind::Until:
        return true;
    default:
        return false;
    }
}

ExprPtr ParseExpression(Parser &p);
Block ParseBlock(Parser &p);
std::unique_ptr<FunctionNode> ParseFunctionBody(Parser &p, std::string name, int line);

std::vector<ExprPtr> ParseExpressionList(Parser &p) {
    std::vector<ExprPtr> list;
    list.push_back(ParseExpression(p));
    while (Accept(p, TokenKind::Comma)) list.push_back(ParseExpression(p));
    return list;
}

ExprPtr ParseTable(Parser &p) {
    auto table = MakeExpr(ExprKind::Table, p.current.line, p.current.column);
    int openLine = p.current.line;
    Expect(p, TokenKind::LeftBrace, "");
    while (!Check(p, TokenKind::RightBrace)) {
        TableField field;
        if (Check(p, TokenKind::LeftBracket)) {
            Next(p);
            field.key = ParseExpression(p);
            Expect(p, TokenKind::RightBracket, "after a table key");
            Expect(p, TokenKind::Assign, "after a table key");
        } else if (Check(p, TokenKind::Name) && PeekAhead(p).kind == TokenKind::Assign) {
            field.key = MakeExpr(ExprKind::String, p.current.line, p.current.column);
            field.key->text = p.current.text;
            Next(p);
            Next(p);
        }
        field.value = ParseExpression(p);
        table->fields.push_back(std::move(field));
        if (!Accept(p, TokenKind::Comma)) break;
    }
    ExpectClose(p, TokenKind::RightBrace, TokenKind::LeftBrace, openLine);
    return table;
}

ExprPtr ParsePrimary(Parser &p) {
    int line = p.current.line, column = p.current.column;
    if (Check(p, TokenKind::Name)) {
        auto e = MakeExpr(ExprKind::Name, line, column);
        e->text = p.current.text;
        Next(p);
        return e;
    }
    if (Accept(p, TokenKind::LeftParen)) {
        auto e = MakeExpr(ExprKind::Paren, line, column);
        e->a = ParseExpression(p);
        ExpectClose(p, TokenKind::RightParen, TokenKind::LeftParen, line);
        return e;
    }
    FailHere(p, "unexpected " + DescribeToken(p.current) + " (an expression was expected)");
}

ExprPtr ParseSuffixed(Parser &p) {
    ExprPtr e = ParsePrimary(p);
    for (int suffixes = 0;; ++suffixes) {
        // Each suffix wraps the tree one level deeper, so chains count toward the nesting limit too.
        if (suffixes > kMaxNesting) FailHere(p, "nesting too deep (more than " + std::to_string(kMaxNesting) + " levels)");
        int line = p.current.line, column = p.current.column;
        if (Check(p, TokenKind::Dot)) {
            Next(p);
            auto index = MakeExpr(ExprKind::Index, line, column);
            index->b = MakeExpr(ExprKind::String, p.current.line, p.current.column);
            index->b->text = ExpectName(p, "after '.'");
            index->a = std::move(e);
            e = std::move(index);
        } else if (Check(p, TokenKind::LeftBracket)) {
            Next(p);
            auto index = MakeExpr(ExprKind::Index, line, column);
            index->a = std::move(e);
            index->b = ParseExpression(p);
            ExpectClose(p, TokenKind::RightBracket, TokenKind::LeftBracket, line);
            e = std::move(index);
        } else if (Check(p, TokenKind::LeftParen) && p.current.line == p.previousLine) {
            // A '(' on a new line starts a new statement, never a call of the line before.
            Next(p);
            auto call = MakeExpr(ExprKind::Call, line, column);
            // Errors in a call point at where the call begins.
            call->line = e->line;
            call->column = e->column;
            call->a = std::move(e);
            if (!Check(p, TokenKind::RightParen)) call->list = ParseExpressionList(p);
            ExpectClose(p, TokenKind::RightParen, TokenKind::LeftParen, line);
            e = std::move(call);
        } else {
            return e;
        }
    }
}

ExprPtr ParseSimple(Parser &p) {
    int line = p.current.line, column = p.current.column;
    ExprPtr e;
    switch (p.current.kind) {
    case TokenKind::Number:
        e = MakeExpr(ExprKind::Number, line, column);
        e->number = p.current.number;
        break;
    case TokenKind::String:
        e = MakeExpr(ExprKind::String, line, column);
        e->text = p.current.text;
        break;
    case TokenKind::Constant:
        e = MakeExpr(ExprKind::Constant, line, column);
        e->text = p.current.text;
        break;
    case TokenKind::Nil: e = MakeExpr(ExprKind::Nil, line, column); break;
    case TokenKind::True:
    case TokenKind::False:
        e = MakeExpr(ExprKind::Number, line, column);
        e->number = Check(p, TokenKind::True) ? 1 : 0;
        break;
    case TokenKind::Ellipsis:
        e = MakeExpr(ExprKind::Vararg, line, column);
        break;
    case TokenKind::LeftBrace: return ParseTable(p);
    case TokenKind::Function: {
        Next(p);
        auto f = MakeExpr(ExprKind::Function, line, column);
        f->function = ParseFunctionBody(p, "", line);
        return f;
    }
    default: return ParseSuffixed(p);
    }
    Next(p);
    return e;
}

struct BinaryRow {
    TokenKind token;
    BinaryOp op;
    int left, right; // priorities; right < left makes an operator right-associative
};
constexpr BinaryRow kBinary[] = {
    {TokenKind::Or, BinaryOp::Or, 1, 1},          {TokenKind::And, BinaryOp::And, 2, 2},
    {TokenKind::Less, BinaryOp::Less, 3, 3},      {TokenKind::LessEqual, BinaryOp::LessEqual, 3, 3},
    {TokenKind::Greater, BinaryOp::Greater, 3, 3}, {TokenKind::GreaterEqual, BinaryOp::GreaterEqual, 3, 3},
    {TokenKind::Equal, BinaryOp::Equal, 3, 3},    {TokenKind::NotEqual, BinaryOp::NotEqual, 3, 3},
    {TokenKind::Concat, BinaryOp::Concat, 5, 4},  {TokenKind::Plus, BinaryOp::Add, 6, 6},
    {TokenKind::Minus, BinaryOp::Sub, 6, 6},      {TokenKind::Star, BinaryOp::Mul, 7, 7},
    {TokenKind::Slash, BinaryOp::Div, 7, 7},      {TokenKind::Percent, BinaryOp::Mod, 7, 7},
    {TokenKind::Caret, BinaryOp::Pow, 10, 9},
};
constexpr int kUnaryPriority = 8;

const BinaryRow *FindBinary(TokenKind kind) {
    for (const BinaryRow &row : kBinary)
        if (row.token == kind) return &row;
    return nullptr;
}

// Folds what gives the same result at any time and on any VM: sums, differences and products of literal
// numbers, negation, and joining two literal strings. Division and modulo stay for the VM (division by zero is
// its runtime error).
ExprPtr FoldBinary(ExprPtr e) {
    const Expr &a = *e->a, &b = *e->b;
    if (a.kind == ExprKind::Number && b.kind == ExprKind::Number) {
        double r;
        switch (e->binary) {
        case BinaryOp::Add: r = a.number + b.number; break;
        case BinaryOp::Sub: r = a.number - b.number; break;
        case BinaryOp::Mul: r = a.number * b.number; break;
        default: return e;
        }
        auto folded = MakeExpr(ExprKind::Number, e->line, e->column);
        folded->number = r;
        return folded;
    }
    if (a.kind == ExprKind::String && b.kind == ExprKind::String && e->binary == BinaryOp::Concat) {
        auto folded = MakeExpr(ExprKind::String, e->line, e->column);
        folded->text = a.text + b.text;
        return folded;
    }
    return e;
}

ExprPtr ParseSubexpression(Parser &p, int limit) {
    DepthGuard guard(p);
    ExprPtr left;
    int line = p.current.line, column = p.current.column;
    if (Check(p, TokenKind::Minus) || Check(p, TokenKind::Not)) {
        UnaryOp op = Check(p, TokenKind::Minus) ? UnaryOp::Negate : UnaryOp::Not;
        Next(p);
        ExprPtr operand = ParseSubexpression(p, kUnaryPriority);
        if (op == UnaryOp::Negate && operand->kind == ExprKind::Number) {
            operand->number = -operand->number;
            operand->line = line;
            operand->column = column;
            left = std::move(operand);
        } else {
            left = MakeExpr(ExprKind::Unary, line, column);
            left->unary = op;
            left->a = std::move(operand);
        }
    } else {
        left = ParseSimple(p);
    }
    for (int operands = 1;; ++operands) {
        const BinaryRow *row = FindBinary(p.current.kind);
        if (!row || row->left <= limit) return left;
        // A left-associative chain deepens the tree without recursing here; bound it like any other nesting.
        if (operands > kMaxNesting) FailHere(p, "nesting too deep (more than " + std::to_string(kMaxNesting) + " levels)");
        int opLine = p.current.line, opColumn = p.current.column;
        Next(p);
        ExprPtr right = ParseSubexpression(p, row->right);
        auto binary = MakeExpr(ExprKind::Binary, opLine, opColumn);
        binary->binary = row->op;
        binary->a = std::move(left);
        binary->b = std::move(right);
        left = FoldBinary(std::move(binary));
    }
}

ExprPtr ParseExpression(Parser &p) { return ParseSubexpression(p, 0); }

std::unique_ptr<FunctionNode> ParseFunctionBody(Parser &p, std::string name, int line) {
    auto f = std::make_unique<FunctionNode>();
    f->name = std::move(name);
    f->line = line;
    Expect(p, TokenKind::LeftParen, "before the parameter list");
    if (!Check(p, TokenKind::RightParen)) {
        do {
            if (Accept(p, TokenKind::Ellipsis)) {
                f->vararg = true;
                break;
            }
            f->parameters.push_back(ExpectName(p, "as a parameter"));
        } while (Accept(p, TokenKind::Comma));
    }
    Expect(p, TokenKind::RightParen, "after the parameters");
    int savedBlocks = p.blockDepth, savedLoops = p.loopDepth;
    ++p.functionDepth;
    p.blockDepth = 0;
    p.loopDepth = 0;
    f->body = ParseBlock(p);
    --p.functionDepth;
    p.blockDepth = savedBlocks;
    p.loopDepth = savedLoops;
    f->endLine = p.current.line;
    ExpectClose(p, TokenKind::EndFunction, TokenKind::Function, line);
    return f;
}

Block ParseNestedBlock(Parser &p) {
    ++p.blockDepth;
    Block block = ParseBlock(p);
    --p.blockDepth;
    return block;
}

Block ParseLoopBody(Parser &p) {
    ++p.loopDepth;
    Block block = ParseNestedBlock(p);
    --p.loopDepth;
    return block;
}

// A condition followed by '=' is almost always a comparison written with one '='.
ExprPtr ParseCondition(Parser &p) {
    ExprPtr condition = ParseExpression(p);
    if (Check(p, TokenKind::Assign)) FailHere(p, "unexpected '=' in a condition (use '==' to compare)");
    return condition;
}

void ParseIf(Parser &p, Stat &s) {
    int openLine = s.line;
    // If and ElseIf: the keyword, a condition, Then if written and a block; Else: the keyword and a block.
    auto clause = [&](bool conditional) {
        IfClause c;
        c.line = p.current.line;
        Next(p);
        if (conditional) {
            c.condition = ParseCondition(p);
            Accept(p, TokenKind::Then);
        }
        c.body = ParseNestedBlock(p);
        s.clauses.push_back(std::move(c));
    };
    clause(true);
    while (Check(p, TokenKind::ElseIf)) clause(true);
    if (Check(p, TokenKind::Else)) clause(false);
    ExpectClose(p, TokenKind::EndIf, TokenKind::If, openLine);
}

void ParseFor(Parser &p, Stat &s) {
    int openLine = s.line;
    Next(p);
    s.names.push_back(ExpectName(p, "after 'For'"));
    if (Accept(p, TokenKind::Assign)) {
        s.kind = StatKind::NumericFor;
        s.values.push_back(ParseExpression(p));
        Expect(p, TokenKind::To, "in a numeric For");
        s.values.push_back(ParseExpression(p));
        if (Accept(p, TokenKind::Step)) s.values.push_back(ParseExpression(p));
    } else {
        s.kind = StatKind::GenericFor;
        while (Accept(p, TokenKind::Comma)) s.names.push_back(ExpectName(p, "in a For list"));
        if (!Check(p, TokenKind::In))
            FailHere(p, "'=' or 'In' expected after the For variables, found " + DescribeToken(p.current));
        Next(p);
        s.values = ParseExpressionList(p);
    }
    s.body = ParseLoopBody(p);
    ExpectClose(p, TokenKind::Next, TokenKind::For, openLine);
    // Other languages repeat the loop variable after Next; here a name after it would start a new statement.
    if (Check(p, TokenKind::Name) && p.current.line == p.previousLine) {
        const TokenKind after = PeekAhead(p).kind;
        if (after != TokenKind::LeftParen && after != TokenKind::Assign && after != TokenKind::Dot &&
            after != TokenKind::LeftBracket && after != TokenKind::Comma)
            FailHere(p, "'Next' takes no name: write 'Next' alone (it closes the 'For' at line " +
                            std::to_string(openLine) + ")");
    }
}

bool IsAssignable(const Expr &e) { return e.kind == ExprKind::Name || e.kind == ExprKind::Index; }

void ParseExpressionStatement(Parser &p, Stat &s) {
    ExprPtr first = ParseSuffixed(p);
    if (Check(p, TokenKind::Assign) || Check(p, TokenKind::Comma)) {
        s.kind = StatKind::Assign;
        if (!IsAssignable(*first)) FailAt(first->line, first->column, "cannot assign to this expression");
        s.targets.push_back(std::move(first));
        while (Accept(p, TokenKind::Comma)) {
            ExprPtr target = ParseSuffixed(p);
            if (!IsAssignable(*target)) FailAt(target->line, target->column, "cannot assign to this expression");
            s.targets.push_back(std::move(target));
        }
        Expect(p, TokenKind::Assign, "in an assignment");
        s.values = ParseExpressionList(p);
        return;
    }
    if (first->kind != ExprKind::Call)
        FailAt(s.line, s.column, "statement expected: an assignment or a call (found an expression alone)");
    s.kind = StatKind::Call;
    s.expression = std::move(first);
}

Stat ParseStatement(Parser &p) {
    Stat s;
    s.line = p.current.line;
    s.column = p.current.column;
    switch (p.current.kind) {
    case TokenKind::If:
        s.kind = StatKind::If;
        ParseIf(p, s);
        break;
    case TokenKind::While: {
        s.kind = StatKind::While;
        Next(p);
        s.expression = ParseCondition(p);
        s.body = ParseLoopBody(p);
        ExpectClose(p, TokenKind::Wend, TokenKind::While, s.line);
        break;
    }
    case TokenKind::Repeat:
        s.kind = StatKind::Repeat;
        Next(p);
        s.body = ParseLoopBody(p);
        ExpectClose(p, TokenKind::Until, TokenKind::Repeat, s.line);
        s.expression = ParseCondition(p);
        break;
    case TokenKind::For: ParseFor(p, s); break;
    case TokenKind::Function: {
        Next(p);
        s.kind = StatKind::Assign;
        int line = p.current.line, column = p.current.column;
        std::string fullName = p.current.text;
        auto target = MakeExpr(ExprKind::Name, line, column);
        target->text = ExpectName(p, "after 'Function'");
        while (Check(p, TokenKind::Dot)) {
            Next(p);
            auto index = MakeExpr(ExprKind::Index, p.current.line, p.current.column);
            index->b = MakeExpr(ExprKind::String, p.current.line, p.current.column);
            index->b->text = ExpectName(p, "after '.'");
            fullName += "." + index->b->text;
            index->a = std::move(target);
            target = std::move(index);
        }
        auto value = MakeExpr(ExprKind::Function, s.line, s.column);
        value->function = ParseFunctionBody(p, fullName, s.line);
        s.targets.push_back(std::move(target));
        s.values.push_back(std::move(value));
        break;
    }
    case TokenKind::Local:
        Next(p);
        if (Accept(p, TokenKind::Function)) {
            s.kind = StatKind::LocalFunction;
            s.names.push_back(ExpectName(p, "after 'Local Function'"));
            s.function = ParseFunctionBody(p, s.names[0], s.line);
        } else {
            s.kind = StatKind::Local;
            do s.names.push_back(ExpectName(p, "after 'Local'"));
            while (Accept(p, TokenKind::Comma));
            if (Accept(p, TokenKind::Assign)) s.values = ParseExpressionList(p);
        }
        break;
    case TokenKind::Break:
        s.kind = StatKind::Break;
        if (p.loopDepth == 0) FailHere(p, "'Break' outside a loop");
        Next(p);
        break;
    case TokenKind::Return:
        s.kind = StatKind::Return;
        Next(p);
        // Values belong to the Return only when they start on its own line: a bare Return ends its line.
        if (!BlockEnds(p.current.kind) && p.current.line == s.line) {
            if (p.functionDepth == 0)
                FailHere(p, "'Return' in the main program returns from a Gosub and takes no values");
            s.values = ParseExpressionList(p);
        }
        break;
    case TokenKind::Gosub:
        s.kind = StatKind::Gosub;
        Next(p);
        if (p.functionDepth > 0) FailAt(s.line, s.column, "'Gosub' is only allowed in the main program");
        s.names.push_back(ExpectName(p, "after 'Gosub'"));
        break;
    case TokenKind::Label:
        s.kind = StatKind::Label;
        Next(p);
        if (p.functionDepth > 0 || p.blockDepth > 0)
            FailAt(s.line, s.column, "a 'Label' must stand at the top level of the main program");
        s.names.push_back(ExpectName(p, "after 'Label'"));
        Accept(p, TokenKind::Colon);
        s.body = ParseNestedBlock(p);
        ExpectClose(p, TokenKind::EndLabel, TokenKind::Label, s.line);
        break;
    default:
        ParseExpressionStatement(p, s);
        break;
    }
    return s;
}

void ParseDirective(Parser &p) {
    Directive d;
    d.name = p.current.text;
    d.line = p.current.line;
    d.column = p.current.column;
    if (p.functionDepth > 0 || p.blockDepth > 0)
        FailHere(p, "directive '@" + d.name + "' must stand at the top level of the main program");
    Next(p);
    if (!Check(p, TokenKind::End) && p.current.line == d.line) d.arguments = ParseExpressionList(p);
    p.script->directives.push_back(std::move(d));
}

Block ParseBlock(Parser &p) {
    DepthGuard guard(p);
    Block block;
    while (!BlockEnds(p.current.kind)) {
        if (Check(p, TokenKind::Directive)) {
            ParseDirective(p);
            continue;
        }
        block.statements.push_back(ParseStatement(p));
    }
    block.endLine = p.current.line;
    return block;
}

} // namespace

bool ParseScript(std::string_view source, ScriptNode &script, CompileError &error) {
    Parser p;
    InitLexer(p.lexer, source);
    script = ScriptNode{};
    script.main.line = 0;
    p.script = &script;
    try {
        p.current = Fetch(p);
        script.main.vararg = true;
        script.main.body = ParseBlock(p);
        if (!Check(p, TokenKind::End)) FailHere(p, "unexpected " + DescribeToken(p.current) + " (nothing open to close)");
        script.main.endLine = p.current.line;
    } catch (const ParseFailure &failure) {
        error.line = failure.line;
        error.column = failure.column;
        error.message = failure.message;
        return false;
    }
    return true;
}
