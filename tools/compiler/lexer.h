// Turns script source into tokens. Identifiers and keywords are case-insensitive, so the lexer lower-cases them
// here once; string literals keep their bytes exactly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class TokenKind : uint8_t {
    End,
    Name,      // text: lower-cased identifier
    Number,    // number
    String,    // text: the literal's bytes after escapes
    Constant,  // text: lower-cased name after '#'
    Directive, // text: lower-cased name after '@'
    // keywords
    And, Break, Else, ElseIf, EndFunction, EndIf, EndLabel, False, For, Function, Gosub, If, In, Label, Local, Next, Nil,
    Not, Or, Repeat, Return, Step, Then, To, True, Until, Wend, While,
    // punctuation
    Plus, Minus, Star, Slash, Percent, Caret, Concat, Ellipsis, Equal, NotEqual, Less, LessEqual, Greater,
    GreaterEqual, Assign, LeftParen, RightParen, LeftBrace, RightBrace, LeftBracket, RightBracket, Comma, Dot,
    Colon,
};

struct Token {
    TokenKind kind = TokenKind::End;
    int line = 1;
    int column = 1;
    double number = 0;
    std::string text;
};

struct Lexer {
    std::string_view source;
    size_t position = 0;
    int line = 1;
    size_t lineStart = 0; // offset of the current line's first byte, for columns
    // Set on the first malformed token; the lexer then only returns End.
    bool failed = false;
    std::string error;
    int errorLine = 0;
    int errorColumn = 0;
};

void InitLexer(Lexer &lexer, std::string_view source);
// The next token; on a lexical error sets lexer.failed and returns End.
Token NextToken(Lexer &lexer);
// How a token reads in an error message ("'EndIf'", "end of file", "name 'x'").
std::string DescribeToken(const Token &token);
const char *TokenKindText(TokenKind kind);
inline bool IsKeyword(TokenKind kind) { return kind >= TokenKind::And && kind <= TokenKind::While; }
