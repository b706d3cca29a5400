// The string library's operations on plain byte strings (any byte values, 0-based positions). The command
// bindings in string_library.cpp read the arguments, call these and push the results.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/charset.h"

namespace stringlib {

// The one case folding of the library, which every case-insensitive operation goes through. ISO-8859-1 text
// folds byte by byte (A-Z and 0xC0-0xFE; 0xD7 and 0xF7 are no letters, 0xDF and 0xFF have no upper case).
// UTF-8 text folds the same letters as characters (ASCII, and U+00C0..U+00FF, which are C3 80..C3 BF) and
// leaves every other byte as it is, so valid text stays valid. Either way the length is kept: a position in a
// folded copy is the same position in the original.
std::string FoldCase(std::string_view s, bool upper, int encoding);
inline std::string LowerStr(std::string_view s, int encoding = kEncodingLatin1) {
    return FoldCase(s, false, encoding);
}
inline std::string UpperStr(std::string_view s, int encoding = kEncodingLatin1) {
    return FoldCase(s, true, encoding);
}

// Searching from start (>= 0); a match lies wholly inside s. -1 when nothing is found. A case-insensitive
// search compares the lower-case folds of both sides.
int32_t FindStr(std::string_view s, std::string_view sub, bool caseSensitive, int32_t start,
                int encoding = kEncodingLatin1);
int32_t CountStr(std::string_view s, std::string_view sub, bool caseSensitive, int32_t start,
                 int encoding = kEncodingLatin1);
std::string ReplaceStr(std::string_view s, std::string_view search, std::string_view replacement,
                       bool caseSensitive, int32_t start, int encoding = kEncodingLatin1);

std::string InsertStr(std::string_view s, std::string_view insertion, int32_t pos, bool overwrite);
std::vector<std::string_view> SplitStr(std::string_view s, char separator);
std::string_view TrimStr(std::string_view s, char c, bool fromRight);

// Cuts; out-of-range counts and positions clamp, so no cut reads outside s.
std::string_view LeftStr(std::string_view s, int32_t n);
std::string_view RightStr(std::string_view s, int32_t n);
std::string_view MidStr(std::string_view s, int32_t start, int32_t len);
std::string_view UnleftStr(std::string_view s, int32_t n);  // n >= 0
std::string_view UnrightStr(std::string_view s, int32_t n); // n >= 0
std::string UnmidStr(std::string_view s, int32_t start, int32_t len); // start, len >= 0

// Number formatting.
std::string HexStr(uint32_t n);
std::string BinStr(uint32_t n, int32_t type); // type 1: 32 digits, 6: 16, 7: 8, others: ""
std::string PadNum(int32_t n, int32_t digits);
std::string StrStr(double x, int32_t digits);

// Number parsing (Val uses the runtime's ParseOptionNumber).
// Text to an unsigned 32-bit value in base 2..36, as strtoul reads it; 0 when no digit was read or anything
// but blanks follows the digits.
uint32_t ToNumberBase(std::string_view s, int32_t base);

} // namespace stringlib
