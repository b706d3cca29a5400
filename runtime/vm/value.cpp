// The number and truth rules shared by the interpreter and the embedding API.
#include <charconv>
#include <cmath>
#include <cstdio>

#include "runtime/vm/vm_internal.h"

bool RawEqualValues(const VMValue *a, const VMValue *b) {
    if (a->tt != b->tt) return false;
    switch (a->tt) {
    case TNIL: return true;
    case TNUMBER: return a->u.n == b->u.n;
    case TBOOLEAN: return a->u.b == b->u.b;
    case TSTRING: return SameString(AsString(a), AsString(b));
    default: return a->u.p == b->u.p;
    }
}

bool ToNumberValue(const VMValue *v, double *out) {
    if (v->tt == TNUMBER) {
        *out = v->u.n;
        return true;
    }
    if (v->tt == TSTRING) {
        VMString *s = AsString(v);
        return ParseNumber(StringData(s), s->length, out) != 0;
    }
    return false;
}

VMString *NumberToString(VMState *vm, double n) {
    char buffer[64];
    int len = FormatNumber(n, buffer, sizeof buffer);
    return NewString(vm, buffer, size_t(len));
}

namespace {

// Everything but whole numbers, apart so that the whole-number path needs no stack frame.
[[gnu::noinline, gnu::cold]] int FormatGeneral(double n, char *buffer, size_t size) {
    int len = std::snprintf(buffer, size, "%.14g", n);
    if (len < 0) {
        buffer[0] = 0;
        return 0;
    }
    return len >= int(size) ? int(size) - 1 : len;
}

} // namespace

int FormatNumber(double n, char *buffer, size_t size) {
    if (size == 0) return 0;
    // Whole numbers of up to 14 digits print the same through "%.14g" as as integers; this path skips printf,
    // which dominated string building. Zero stays with printf for "-0"; the range test also refuses NaN.
    if (n > -1e14 && n < 1e14 && n != 0) {
        int64_t whole = int64_t(n);
        if (double(whole) == n) {
            uint64_t u = whole < 0 ? uint64_t(-whole) : uint64_t(whole);
            // The digit count from the bit length (log10 2 is about 1233 / 4096), corrected by one comparison.
            static const uint64_t kPowers[] = {1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull,
                                               10000000ull, 100000000ull, 1000000000ull, 10000000000ull,
                                               100000000000ull, 1000000000000ull, 10000000000000ull,
                                               100000000000000ull};
            size_t estimate = size_t((64 - __builtin_clzll(u)) * 1233) >> 12;
            size_t digits = estimate + 1 - (u < kPowers[estimate]);
            size_t len = digits + (whole < 0);
            if (len < size) {
                // Written backwards in place, two digits per division (32-bit division once it fits).
                static const char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                             "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                             "8081828384858687888990919293949596979899";
                char *p = buffer + len;
                *p = 0;
                while (u >= 0x100000000ull) {
                    unsigned pair = unsigned(u % 100);
                    u /= 100;
                    p -= 2;
                    std::memcpy(p, kPairs + 2 * pair, 2);
                }
                uint32_t v = uint32_t(u);
                while (v >= 10000) { // four digits per division
                    uint32_t four = v % 10000;
                    v /= 10000;
                    p -= 4;
                    std::memcpy(p, kPairs + 2 * (four / 100), 2);
                    std::memcpy(p + 2, kPairs + 2 * (four % 100), 2);
                }
                if (v >= 100) {
                    unsigned pair = v % 100;
                    v /= 100;
                    p -= 2;
                    std::memcpy(p, kPairs + 2 * pair, 2);
                }
                if (v >= 10) {
                    p -= 2;
                    std::memcpy(p, kPairs + 2 * v, 2);
                } else {
                    *--p = char('0' + v);
                }
                if (whole < 0) *--p = '-';
                return int(len);
            }
        }
    }
    return FormatGeneral(n, buffer, size);
}

namespace {
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
} // namespace

int ParseNumber(const char *text, size_t length, double *out) {
    if (text == nullptr) return 0;
    size_t b = 0, e = length;
    while (b < e && IsSpace(text[b])) b++;
    while (e > b && IsSpace(text[e - 1])) e--;
    if (b == e) return 0;
    bool negative = false;
    size_t i = b;
    if (text[i] == '-' || text[i] == '+') {
        negative = text[i] == '-';
        i++;
    }
    if (i + 1 < e && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        i += 2;
        if (i == e) return 0;
        double value = 0;
        for (; i < e; i++) {
            int d = HexValue(text[i]);
            if (d < 0) return 0;
            value = value * 16 + d;
        }
        *out = negative ? -value : value;
        return 1;
    }
    // Decimal: digits [. digits] [e [sign] digits], at least one digit in the mantissa. Checked by hand so that
    // "inf", "nan" and hex floats are not numbers.
    size_t start = i, digits = 0;
    while (i < e && IsDigit(text[i])) i++, digits++;
    if (i < e && text[i] == '.') {
        i++;
        while (i < e && IsDigit(text[i])) i++, digits++;
    }
    if (digits == 0) return 0;
    if (i < e && (text[i] == 'e' || text[i] == 'E')) {
        i++;
        if (i < e && (text[i] == '-' || text[i] == '+')) i++;
        size_t expDigits = 0;
        while (i < e && IsDigit(text[i])) i++, expDigits++;
        if (expDigits == 0) return 0;
    }
    if (i != e) return 0;
    double value = 0;
    auto result = std::from_chars(text + start, text + e, value);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow/underflow; strtod's answer is what people expect.
        std::string copy(text + start, e - start);
        value = std::strtod(copy.c_str(), nullptr);
    } else if (result.ec != std::errc() || result.ptr != text + e) {
        return 0;
    }
    *out = negative ? -value : value;
    return 1;
}
