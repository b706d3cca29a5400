// The string library's operations on plain byte strings (any byte values, 0-based positions). The command
// bindings in string_library.cpp read the arguments, call these and push the results.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace stringlib {

// ISO-8859-1 case folding, one byte at a time.
unsigned char FoldLower(unsigned char c);
unsigned char FoldUpper(unsigned char c);
std::string LowerStr(std::string_view s);
std::string UpperStr(std::string_view s);

// Searching from start (>= 0); a match lies wholly inside s. -1 when nothing is found.
int32_t FindStr(std::string_view s, std::string_view sub, bool caseSensitive, int32_t start);
int32_t CountStr(std::string_view s, std::string_view sub, bool caseSensitive, int32_t start);
std::string ReplaceStr(std::string_view s, std::string_view search, std::string_view replacement,
                       bool caseSensitive, int32_t start);

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
