#include "host/charset.h"

#include "host/keys.h"
#include "host/memory.h"

namespace {

// Decodes one character at text[i]; advances i. -1 for an invalid sequence (i then moves by one byte).
int64_t DecodeUtf8(const unsigned char *text, size_t length, size_t &i) {
    unsigned char c = text[i];
    if (c < 0x80) {
        i++;
        return c;
    }
    int extra;
    uint32_t value, minimum;
    if ((c & 0xE0) == 0xC0) extra = 1, value = c & 0x1F, minimum = 0x80;
    else if ((c & 0xF0) == 0xE0) extra = 2, value = c & 0x0F, minimum = 0x800;
    else if ((c & 0xF8) == 0xF0) extra = 3, value = c & 0x07, minimum = 0x10000;
    else {
        i++;
        return -1;
    }
    if (i + size_t(extra) >= length) { // cut short by the end of the text
        i++;
        return -1;
    }
    for (int k = 1; k <= extra; k++) {
        unsigned char next = text[i + size_t(k)];
        if ((next & 0xC0) != 0x80) {
            i++;
            return -1;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        i++;
        return -1;
    }
    i += size_t(extra) + 1;
    return value;
}

} // namespace

int ConvertUtf8ToUtf32(const char *text, size_t byteLength, int encoding, uint32_t *buffer, size_t bufferBytes,
                       uint32_t **outCharacters, size_t *outCount, int *allocated) {
    *allocated = 0;
    *outCharacters = nullptr;
    *outCount = 0;
    if (encoding != 1 || (!text && byteLength)) return 1;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    // Validate first, so a failure leaves nothing allocated.
    size_t count = 0;
    for (size_t i = 0; i < byteLength; count++)
        if (DecodeUtf8(bytes, byteLength, i) < 0) return 1;
    uint32_t *out = buffer;
    if (!buffer || bufferBytes / 4 < byteLength) {
        out = static_cast<uint32_t *>(AllocBlock((byteLength ? byteLength : 1) * 4, 0));
        if (!out) return 1;
        *allocated = 1;
    }
    size_t n = 0;
    for (size_t i = 0; i < byteLength;) out[n++] = uint32_t(DecodeUtf8(bytes, byteLength, i));
    *outCharacters = out;
    *outCount = count;
    return 0;
}

void FreeUtf32Text(uint32_t *characters) { FreeBlock(characters); }

int DefaultEncoding = kEncodingLatin1;

void AppendUtf8(std::string *out, uint32_t c) {
    if (c < 0x80) {
        out->push_back(char(c));
        return;
    }
    static const uint8_t kLead[4] = {0, 0xC0, 0xE0, 0xF0};
    const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out->push_back(char(kLead[tail] | (c >> (6 * tail))));
    for (int k = tail - 1; k >= 0; k--) out->push_back(char(0x80 | ((c >> (6 * k)) & 0x3F)));
}

std::string TypedCharacterText(int32_t code) {
    if (DefaultEncoding != kEncodingUtf8) return std::string(1, char(uint8_t(code)));
    std::string text;
    AppendUtf8(&text, uint32_t(code & ~kKeyWideCharacter));
    return text;
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (unsigned char c : latin1) AppendUtf8(&out, c);
    return out;
}

std::string Utf8ToLatin1(std::string_view utf8) {
    std::string out;
    const auto *bytes = reinterpret_cast<const unsigned char *>(utf8.data());
    for (size_t i = 0; i < utf8.size();) {
        int64_t c = DecodeUtf8(bytes, utf8.size(), i);
        out.push_back(c >= 0 && c <= 0xFF ? char(c) : '?');
    }
    return out;
}
