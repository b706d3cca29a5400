#include "tools/compiler/lexer.h"

#include <cmath>
#include <cstdlib>

namespace {

struct KeywordRow {
    const char *text;
    TokenKind kind;
};

// Spelled as the documentation spells them; matched after lower-casing.
constexpr KeywordRow kKeywords[] = {
    {"And", TokenKind::And},         {"Break", TokenKind::Break},   {"Else", TokenKind::Else},
    {"ElseIf", TokenKind::ElseIf},   {"EndFunction", TokenKind::EndFunction},
    {"EndIf", TokenKind::EndIf},     {"EndLabel", TokenKind::EndLabel},     {"False", TokenKind::False},   {"For", TokenKind::For},
    {"Function", TokenKind::Function}, {"Gosub", TokenKind::Gosub}, {"If", TokenKind::If},
    {"In", TokenKind::In},           {"Label", TokenKind::Label},   {"Local", TokenKind::Local},
    {"Next", TokenKind::Next},       {"Nil", TokenKind::Nil},       {"Not", TokenKind::Not},
    {"Or", TokenKind::Or},           {"Repeat", TokenKind::Repeat}, {"Return", TokenKind::Return},
    {"Step", TokenKind::Step},       {"Then", TokenKind::Then},     {"To", TokenKind::To},
    {"True", TokenKind::True},       {"Until", TokenKind::Until},   {"Wend", TokenKind::Wend},
    {"While", TokenKind::While},
};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameChar(char c) { return IsNameStart(c) || IsDigit(c); }
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool EqualsLower(std::string_view lower, const char *text) {
    size_t i = 0;
    for (; text[i]; ++i)
        if (i >= lower.size() || lower[i] != LowerAscii(text[i])) return false;
    return i == lower.size();
}

char Peek(const Lexer &lexer, size_t ahead = 0) {
    size_t at = lexer.position + ahead;
    return at < lexer.source.size() ? lexer.source[at] : '\0';
}
bool AtEnd(const Lexer &lexer) { return lexer.position >= lexer.source.size(); }

void Advance(Lexer &lexer) {
    if (lexer.source[lexer.position] == '\n') {
        ++lexer.line;
        lexer.lineStart = lexer.position + 1;
    }
    ++lexer.position;
}

int Column(const Lexer &lexer) { return int(lexer.position - lexer.lineStart) + 1; }

Token Fail(Lexer &lexer, int line, int column, std::string message) {
    if (!lexer.failed) {
        lexer.failed = true;
        lexer.error = std::move(message);
        lexer.errorLine = line;
        lexer.errorColumn = column;
    }
    lexer.position = lexer.source.size();
    Token end;
    end.line = line;
    end.column = column;
    return end;
}

// Skips blanks, "; line comments" and "/* block comments */". Returns false for an unclosed block comment.
bool SkipSpaceAndComments(Lexer &lexer) {
    while (!AtEnd(lexer)) {
        char c = Peek(lexer);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            Advance(lexer);
        } else if (c == ';') {
            while (!AtEnd(lexer) && Peek(lexer) != '\n') Advance(lexer);
        } else if (c == '/' && Peek(lexer, 1) == '*') {
            int line = lexer.line, column = Column(lexer);
            Advance(lexer);
            Advance(lexer);
            while (!(Peek(lexer) == '*' && Peek(lexer, 1) == '/')) {
                if (AtEnd(lexer)) {
                    Fail(lexer, line, column, "unfinished block comment");
                    return false;
                }
                Advance(lexer);
            }
            Advance(lexer);
            Advance(lexer);
        } else {
            break;
        }
    }
    return true;
}

Token ReadNumber(Lexer &lexer, Token token) {
    size_t start = lexer.position;
    bool hex = false;
    if (Peek(lexer) == '$') {
        hex = true;
        Advance(lexer);
    } else if (Peek(lexer) == '0' && (Peek(lexer, 1) == 'x' || Peek(lexer, 1) == 'X')) {
        hex = true;
        Advance(lexer);
        Advance(lexer);
    }
    if (hex) {
        double value = 0;
        int digits = 0;
        while (HexValue(Peek(lexer)) >= 0) {
            value = value * 16 + HexValue(Peek(lexer));
            Advance(lexer);
            ++digits;
        }
        if (digits == 0 || IsNameChar(Peek(lexer)))
            return Fail(lexer, token.line, token.column, "malformed hexadecimal number");
        token.kind = TokenKind::Number;
        token.number = value;
        return token;
    }
    while (IsDigit(Peek(lexer))) Advance(lexer);
    if (Peek(lexer) == '.' && Peek(lexer, 1) != '.') {
        Advance(lexer);
        while (IsDigit(Peek(lexer))) Advance(lexer);
    }
    if (Peek(lexer) == 'e' || Peek(lexer) == 'E') {
        Advance(lexer);
        if (Peek(lexer) == '+' || Peek(lexer) == '-') Advance(lexer);
        if (!IsDigit(Peek(lexer))) return Fail(lexer, token.line, token.column, "malformed number");
        while (IsDigit(Peek(lexer))) Advance(lexer);
    }
    if (IsNameChar(Peek(lexer)) || (Peek(lexer) == '.' && IsDigit(Peek(lexer, 1))))
        return Fail(lexer, token.line, token.column, "malformed number");
    std::string text(lexer.source.substr(start, lexer.position - start));
    token.kind = TokenKind::Number;
    token.number = std::strtod(text.c_str(), nullptr);
    return token;
}

Token ReadString(Lexer &lexer, Token token) {
    char quote = Peek(lexer);
    Advance(lexer);
    std::string bytes;
    for (;;) {
        if (AtEnd(lexer) || Peek(lexer) == '\n')
            return Fail(lexer, token.line, token.column, "unfinished string");
        char c = Peek(lexer);
        if (c == quote) {
            Advance(lexer);
            break;
        }
        if (c != '\\') {
            bytes += c;
            Advance(lexer);
            continue;
        }
        int escapeColumn = Column(lexer);
        Advance(lexer);
        char e = Peek(lexer);
        switch (e) {
        case 'n': bytes += '\n'; Advance(lexer); break;
        case 't': bytes += '\t'; Advance(lexer); break;
        case 'r': bytes += '\r'; Advance(lexer); break;
        case '\\': bytes += '\\'; Advance(lexer); break;
        case '"': bytes += '"'; Advance(lexer); break;
        case '\'': bytes += '\''; Advance(lexer); break;
        case 'x': {
            Advance(lexer);
            int high = HexValue(Peek(lexer)), low = HexValue(Peek(lexer, 1));
            if (high < 0 || low < 0)
                return Fail(lexer, token.line, escapeColumn, "malformed \\x escape (two hex digits expected)");
            Advance(lexer);
            Advance(lexer);
            bytes += char(high * 16 + low);
            break;
        }
        default:
            if (IsDigit(e)) {
                int value = 0;
                for (int i = 0; i < 3 && IsDigit(Peek(lexer)); ++i) {
                    value = value * 10 + (Peek(lexer) - '0');
                    Advance(lexer);
                }
                if (value > 255) return Fail(lexer, token.line, escapeColumn, "decimal escape above 255");
                bytes += char(value);
            } else {
                return Fail(lexer, token.line, escapeColumn, "unknown escape sequence in string");
            }
        }
    }
    token.kind = TokenKind::String;
    token.text = std::move(bytes);
    return token;
}

// Reads an identifier at the current position, lower-cased.
std::string ReadLowerName(Lexer &lexer) {
    std::string name;
    while (IsNameChar(Peek(lexer))) {
        name += LowerAscii(Peek(lexer));
        Advance(lexer);
    }
    return name;
}

} // namespace

void InitLexer(Lexer &lexer, std::string_view source) {
    lexer = Lexer{};
    lexer.source = source;
    // A UTF-8 byte-order mark from an editor is not part of the script.
    if (source.size() >= 3 && source.substr(0, 3) == "\xEF\xBB\xBF") lexer.position = lexer.lineStart = 3;
}

Token NextToken(Lexer &lexer) {
    if (lexer.failed || !SkipSpaceAndComments(lexer)) {
        Token end;
        end.line = lexer.failed ? lexer.errorLine : lexer.line;
        end.column = lexer.failed ? lexer.errorColumn : Column(lexer);
        return end;
    }
    Token token;
    token.line = lexer.line;
    token.column = Column(lexer);
    if (AtEnd(lexer)) return token;

    char c = Peek(lexer);
    if (IsNameStart(c)) {
        token.text = ReadLowerName(lexer);
        token.kind = TokenKind::Name;
        for (const KeywordRow &row : kKeywords)
            if (EqualsLower(token.text, row.text)) token.kind = row.kind;
        return token;
    }
    if (IsDigit(c) || (c == '.' && IsDigit(Peek(lexer, 1))) || (c == '$' && HexValue(Peek(lexer, 1)) >= 0))
        return ReadNumber(lexer, token);
    if (c == '"' || c == '\'') return ReadString(lexer, token);
    if (c == '#' || c == '@') {
        Advance(lexer);
        if (!IsNameStart(Peek(lexer)))
            return Fail(lexer, token.line, token.column,
                        c == '#' ? "'#' must be followed by a constant name" : "'@' must be followed by a directive name");
        token.text = ReadLowerName(lexer);
        token.kind = c == '#' ? TokenKind::Constant : TokenKind::Directive;
        return token;
    }

    auto single = [&](TokenKind kind) {
        Advance(lexer);
        token.kind = kind;
        return token;
    };
    auto pair = [&](TokenKind kind) {
        Advance(lexer);
        Advance(lexer);
        token.kind = kind;
        return token;
    };
    char next = Peek(lexer, 1);
    switch (c) {
    case '+': return single(TokenKind::Plus);
    case '-': return single(TokenKind::Minus);
    case '*': return single(TokenKind::Star);
    case '/': return single(TokenKind::Slash);
    case '%': return single(TokenKind::Percent);
    case '^': return single(TokenKind::Caret);
    case '(': return single(TokenKind::LeftParen);
    case ')': return single(TokenKind::RightParen);
    case '{': return single(TokenKind::LeftBrace);
    case '}': return single(TokenKind::RightBrace);
    case '[': return single(TokenKind::LeftBracket);
    case ']': return single(TokenKind::RightBracket);
    case ',': return single(TokenKind::Comma);
    case ':': return single(TokenKind::Colon);
    case '.':
        if (next == '.') {
            if (Peek(lexer, 2) == '.') {
                Advance(lexer);
                return pair(TokenKind::Ellipsis);
            }
            return pair(TokenKind::Concat);
        }
        return single(TokenKind::Dot);
    case '=': return next == '=' ? pair(TokenKind::Equal) : single(TokenKind::Assign);
    case '<':
        if (next == '>') return pair(TokenKind::NotEqual);
        return next == '=' ? pair(TokenKind::LessEqual) : single(TokenKind::Less);
    case '>': return next == '=' ? pair(TokenKind::GreaterEqual) : single(TokenKind::Greater);
    case '~':
        if (next == '=') return pair(TokenKind::NotEqual);
        break;
    default: break;
    }
    std::string shown = (unsigned char)c >= 32 && (unsigned char)c < 127
                            ? std::string("'") + c + "'"
                            : "byte " + std::to_string((unsigned char)c);
    std::string hint; // '!' and '!=' come from other languages
    if (c == '!') hint = next == '=' ? " (write '<>' for 'not equal')" : " (write 'Not' to negate)";
    return Fail(lexer, token.line, token.column, "unexpected character " + shown + hint);
}

const char *TokenKindText(TokenKind kind) {
    for (const KeywordRow &row : kKeywords)
        if (row.kind == kind) return row.text;
    switch (kind) {
    case TokenKind::End: return "end of file";
    case TokenKind::Name: return "name";
    case TokenKind::Number: return "number";
    case TokenKind::String: return "string";
    case TokenKind::Constant: return "#constant";
    case TokenKind::Directive: return "@directive";
    case TokenKind::Plus: return "+";
    case TokenKind::Minus: return "-";
    case TokenKind::Star: return "*";
    case TokenKind::Slash: return "/";
    case TokenKind::Percent: return "%";
    case TokenKind::Caret: return "^";
    case TokenKind::Concat: return "..";
    case TokenKind::Ellipsis: return "...";
    case TokenKind::Equal: return "==";
    case TokenKind::NotEqual: return "<>";
    case TokenKind::Less: return "<";
    case TokenKind::LessEqual: return "<=";
    case TokenKind::Greater: return ">";
    case TokenKind::GreaterEqual: return ">=";
    case TokenKind::Assign: return "=";
    case TokenKind::LeftParen: return "(";
    case TokenKind::RightParen: return ")";
    case TokenKind::LeftBrace: return "{";
    case TokenKind::RightBrace: return "}";
    case TokenKind::LeftBracket: return "[";
    case TokenKind::RightBracket: return "]";
    case TokenKind::Comma: return ",";
    case TokenKind::Dot: return ".";
    case TokenKind::Colon: return ":";
    default: return "?";
    }
}

std::string DescribeToken(const Token &token) {
    switch (token.kind) {
    case TokenKind::End: return "end of file";
    case TokenKind::Name: return "name '" + token.text + "'";
    case TokenKind::Number: return "a number";
    case TokenKind::String: return "a string";
    case TokenKind::Constant: return "constant '#" + token.text + "'";
    case TokenKind::Directive: return "directive '@" + token.text + "'";
    default: return std::string("'") + TokenKindText(token.kind) + "'";
    }
}
