// The wildcard parser and matcher, and the file-date text reader, on arbitrary text. The first byte chooses:
// even, a pattern and a name split at the first zero byte; odd, a date text, which must read back the same
// once formatted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/time_date.h"
#include "host/wildcard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // Long inputs only repeat what the matcher's step budget already bounds, at a second each.
    if (size == 0 || size > 300) return 0;
    std::string text(reinterpret_cast<const char *>(data) + 1, size - 1);
    if (data[0] % 2 == 0) {
        size_t zero = text.find('\0');
        std::string pattern = text.substr(0, zero);
        std::string name = zero == std::string::npos ? "" : text.substr(zero + 1);
        name = name.substr(0, name.find('\0'));
        PatternBuffer *buffer = AllocPatternBuffer();
        int kind = ParseWildcardPattern(pattern.c_str(), buffer);
        int match = MatchWildcardPattern(buffer, name.c_str());
        FreePatternBuffer(buffer);
        if (kind >= 0 && MatchWildcard(pattern.c_str(), name.c_str()) != match) std::abort();
        return 0;
    }
    text = text.substr(0, text.find('\0'));
    DateFields fields;
    DateStamp stamp;
    if (!ParseDateText(text.c_str(), &fields) || !FieldsToDateStamp(&fields, &stamp)) return 0;
    char formatted[32];
    DateFields again;
    if (!FormatDateText(&stamp, formatted, sizeof formatted) || !ParseDateText(formatted, &again) ||
        strncasecmp(formatted, text.c_str(), 20) != 0)
        std::abort();
    return 0;
}
