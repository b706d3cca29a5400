#include "libs/string/string_ops.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "runtime/app/utilities.h"

namespace stringlib {

std::string FoldCase(std::string_view s, bool upper, int encoding) {
    std::string out(s);
    auto fold = [upper](uint8_t c) { return upper ? Latin1ToUpper(c) : Latin1ToLower(c); };
    if (encoding != kEncodingUtf8) {
        for (char &c : out) c = static_cast<char>(fold(static_cast<uint8_t>(c)));
        return out;
    }
    for (size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<uint8_t>(out[i]);
        if (c < 0x80) {
            out[i] = static_cast<char>(fold(c));
        } else if (c == 0xC3 && i + 1 < out.size() && (static_cast<uint8_t>(out[i + 1]) & 0xC0) == 0x80) {
            // U+00C0..U+00FF: the code point is the continuation byte plus 0x40, and folds within the range.
            const auto code = static_cast<uint8_t>(static_cast<uint8_t>(out[i + 1]) + 0x40);
            out[++i] = static_cast<char>(fold(code) - 0x40);
        }
    }
    return out;
}

// The position of the first match at or after from, or npos.
static size_t FindFrom(std::string_view s, std::string_view sub, size_t from) {
    if (s.empty() || sub.empty() || from >= s.size() || sub.size() > s.size()) return std::string_view::npos;
    return s.find(sub, from);
}

namespace {

// The text a search runs over: the original, or the lower-case folds of both sides (same lengths).
struct SearchText {
    std::string foldedS, foldedSub;
    std::string_view s, sub;
    SearchText(std::string_view text, std::string_view pattern, bool caseSensitive, int encoding)
        : s(text), sub(pattern) {
        if (caseSensitive) return;
        foldedS = FoldCase(text, false, encoding);
        foldedSub = FoldCase(pattern, false, encoding);
        s = foldedS;
        sub = foldedSub;
    }
};

} // namespace

int32_t FindStr(std::string_view s, std::string_view sub, bool caseSensitive, int32_t start, int encoding) {
    if (start < 0) return -1;
    const SearchText text(s, sub, caseSensitive, encoding);
    size_t at = FindFrom(text.s, text.sub, static_cast<size_t>(start));
    return at == std::string_view::npos ? -1 : static_cast<int32_t>(at);
}

int32_t CountStr(std::string_view s, std::string_view sub, bool caseSensitive, int32_t start, int encoding) {
    if (start < 0) return 0;
    const SearchText text(s, sub, caseSensitive, encoding);
    int32_t count = 0;
    size_t at = FindFrom(text.s, text.sub, static_cast<size_t>(start));
    while (at != std::string_view::npos) {
        ++count;
        at = FindFrom(text.s, text.sub, at + sub.size());
    }
    return count;
}

std::string ReplaceStr(std::string_view s, std::string_view search, std::string_view replacement,
                       bool caseSensitive, int32_t start, int encoding) {
    if (search.empty()) return std::string(s);
    const SearchText text(s, search, caseSensitive, encoding);
    size_t from = std::min(static_cast<size_t>(std::max(start, 0)), s.size());
    std::string out(s.substr(0, from));
    size_t at = FindFrom(text.s, text.sub, from);
    while (at != std::string_view::npos) {
        out.append(s.substr(from, at - from));
        out.append(replacement);
        from = at + search.size();
        at = FindFrom(text.s, text.sub, from);
    }
    out.append(s.substr(from));
    return out;
}

std::string InsertStr(std::string_view s, std::string_view insertion, int32_t pos, bool overwrite) {
    if (s.empty()) return std::string(insertion);
    if (insertion.empty()) return std::string(s);
    size_t at = std::min(static_cast<size_t>(std::max(pos, 0)), s.size());
    std::string out(s.substr(0, at));
    out.append(insertion);
    size_t rest = overwrite ? at + insertion.size() : at;
    if (rest < s.size()) out.append(s.substr(rest));
    return out;
}

std::vector<std::string_view> SplitStr(std::string_view s, char separator) {
    std::vector<std::string_view> pieces;
    size_t from = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == separator) {
            pieces.push_back(s.substr(from, i - from));
            from = i + 1;
        }
    }
    // The last piece runs to the true end of s, zero bytes included.
    pieces.push_back(s.substr(from));
    return pieces;
}

std::string_view TrimStr(std::string_view s, char c, bool fromRight) {
    if (fromRight) {
        size_t end = s.size();
        while (end > 0 && s[end - 1] == c) --end;
        return s.substr(0, end);
    }
    size_t begin = 0;
    while (begin < s.size() && s[begin] == c) ++begin;
    return s.substr(begin);
}

std::string_view LeftStr(std::string_view s, int32_t n) {
    if (n <= 0) return {};
    return s.substr(0, std::min(static_cast<size_t>(n), s.size()));
}

std::string_view RightStr(std::string_view s, int32_t n) {
    if (n <= 0) return {};
    size_t count = std::min(static_cast<size_t>(n), s.size());
    return s.substr(s.size() - count);
}

std::string_view MidStr(std::string_view s, int32_t start, int32_t len) {
    // A negative start would point before the string: give nothing rather than read outside it.
    if (start < 0 || len <= 0 || static_cast<size_t>(start) >= s.size()) return {};
    return s.substr(static_cast<size_t>(start), static_cast<size_t>(len));
}

std::string_view UnleftStr(std::string_view s, int32_t n) {
    size_t cut = std::min(static_cast<size_t>(std::max(n, 0)), s.size());
    return s.substr(0, s.size() - cut);
}

std::string_view UnrightStr(std::string_view s, int32_t n) {
    size_t cut = std::min(static_cast<size_t>(std::max(n, 0)), s.size());
    return s.substr(cut);
}

std::string UnmidStr(std::string_view s, int32_t start, int32_t len) {
    // A start at or beyond the end removes nothing.
    if (start < 0 || len <= 0 || static_cast<size_t>(start) >= s.size()) return std::string(s);
    size_t at = static_cast<size_t>(start);
    size_t count = std::min(static_cast<size_t>(len), s.size() - at);
    std::string out(s.substr(0, at));
    out.append(s.substr(at + count));
    return out;
}

std::string HexStr(uint32_t n) {
    char text[16];
    std::snprintf(text, sizeof text, "$%X", static_cast<unsigned>(n));
    return text;
}

std::string BinStr(uint32_t n, int32_t type) {
    int width = type == 1 ? 32 : type == 6 ? 16 : type == 7 ? 8 : 0;
    std::string out;
    for (int bit = width - 1; bit >= 0; --bit) out.push_back(((n >> bit) & 1u) ? '1' : '0');
    return out;
}

std::string PadNum(int32_t n, int32_t digits) {
    std::string out = std::to_string(n);
    if (digits > 0 && out.size() < static_cast<size_t>(digits))
        out.insert(0, static_cast<size_t>(digits) - out.size(), '0');
    return out;
}

std::string StrStr(double x, int32_t digits) {
    char text[48];
    std::snprintf(text, sizeof text, "%.14g", x);
    std::string out(text);
    // Only the mantissa is cut; cutting through an exponent form would change the value by powers of ten.
    size_t exponent = out.find_first_of("eE");
    std::string tail = exponent == std::string::npos ? std::string() : out.substr(exponent);
    std::string mantissa = out.substr(0, exponent);
    size_t point = mantissa.find('.');
    if (point == std::string::npos) return out;
    size_t keep = digits > 0 ? point + 1 + static_cast<size_t>(digits) : point;
    if (keep < mantissa.size()) mantissa.resize(keep);
    return mantissa + tail;
}

static int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    return 99;
}

// "0x" followed by a hex digit; a bare "0x" has no digits to read.
static bool HasHexPrefix(std::string_view s, size_t i) {
    return i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') && DigitValue(s[i + 2]) < 16;
}

static bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

uint32_t ToNumberBase(std::string_view s, int32_t base) {
    if (base < 2 || base > 36) return 0;
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (base == 16 && HasHexPrefix(s, i)) i += 2;
    uint64_t value = 0;
    bool overflow = false;
    size_t first = i;
    while (i < s.size() && DigitValue(s[i]) < base) {
        if (__builtin_mul_overflow(value, static_cast<uint64_t>(base), &value) ||
            __builtin_add_overflow(value, static_cast<uint64_t>(DigitValue(s[i])), &value))
            overflow = true;
        ++i;
    }
    if (i == first) return 0;
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i != s.size()) return 0;
    // As strtoul: an overflow gives the largest value, a minus sign negates modulo the word size.
    if (overflow) return std::numeric_limits<uint32_t>::max();
    if (negative) value = 0 - value;
    return static_cast<uint32_t>(value);
}

} // namespace stringlib
