// The syntax tree the parser builds and the code generator walks. Names are already lower-cased.
#pragma once

#include <memory>
#include <string>
#include <vector>

enum class BinaryOp { Add, Sub, Mul, Div, Mod, Pow, Concat, Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual, And, Or };
enum class UnaryOp { Negate, Not };

enum class ExprKind {
    Nil,
    Number,   // number (True and False arrive here as 1 and 0)
    String,   // text
    Constant, // text: a "#NAME" constant, resolved when the chunk is loaded
    Vararg,   // "..." inside a function declared with "..."
    Name,     // text: a local, upvalue or global
    Index,    // a[b]
    Call,     // a(list)
    Function, // function
    Table,    // fields
    Binary,   // a binary b
    Unary,    // unary a
    Paren,    // (a): cuts a call's results to one
};

struct Expr;
struct FunctionNode;
using ExprPtr = std::unique_ptr<Expr>;

struct TableField {
    ExprPtr key; // null for a positional element
    ExprPtr value;
};

struct Expr {
    ExprKind kind = ExprKind::Nil;
    int line = 0;
    int column = 0;
    double number = 0;
    std::string text;
    BinaryOp binary = BinaryOp::Add;
    UnaryOp unary = UnaryOp::Negate;
    ExprPtr a, b;
    std::vector<ExprPtr> list; // call arguments
    std::vector<TableField> fields;
    std::unique_ptr<FunctionNode> function;
};

enum class StatKind {
    Local,         // Local names [= values]
    LocalFunction, // Local Function names[0] ... (the name is in scope inside its body)
    Assign,        // targets = values (Function a.b() ... is an Assign of a function)
    Call,          // expression (a Call)
    If,            // clauses
    NumericFor,    // For names[0] = values[0] To values[1] [Step values[2]] body Next
    GenericFor,    // For names In values body Next
    While,         // While expression body Wend
    Repeat,        // Repeat body Until expression
    Break,
    Return,        // values
    Gosub,         // names[0]
    Label,         // Label names[0] body EndLabel: a subroutine of the main program
};

struct Stat;
struct Block {
    std::vector<Stat> statements;
    int endLine = 0;
};

struct IfClause {
    ExprPtr condition; // null for Else
    Block body;
    int line = 0;
};

struct Stat {
    StatKind kind = StatKind::Call;
    int line = 0;
    int column = 0;
    std::vector<std::string> names;
    std::vector<ExprPtr> targets;
    std::vector<ExprPtr> values;
    ExprPtr expression;
    Block body;
    std::vector<IfClause> clauses;
    std::unique_ptr<FunctionNode> function;
};

struct FunctionNode {
    std::string name; // for messages and debug info; "" for anonymous functions
    std::vector<std::string> parameters;
    bool vararg = false;
    Block body;
    int line = 0;
    int endLine = 0;
};

// "@NAME arguments" at the top level: settings and declarations for the applet, not code.
struct Directive {
    std::string name;
    int line = 0;
    int column = 0;
    std::vector<ExprPtr> arguments;
};

struct ScriptNode {
    FunctionNode main;
    std::vector<Directive> directives;
};
