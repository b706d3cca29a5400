#include "libs/dos/base64.h"

#include <array>

#include "runtime/app/errors.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int8_t kInvalid = -1;
constexpr int8_t kPad = -2;

constexpr std::array<int8_t, 256> MakeDecodeTable() {
    std::array<int8_t, 256> table{};
    for (auto &entry : table)
        entry = kInvalid;
    for (int i = 0; i < 64; ++i)
        table[static_cast<uint8_t>(kAlphabet[i])] = static_cast<int8_t>(i);
    table['='] = kPad;
    return table;
}

constexpr std::array<int8_t, 256> kDecodeTable = MakeDecodeTable();

} // namespace

std::string Base64Encode(std::span<const uint8_t> bytes) {
    std::string text;
    size_t chars = (bytes.size() + 2) / 3 * 4;
    text.reserve(chars + chars / kBase64LineLength);
    size_t column = 0;
    auto put = [&](char c) {
        if (column == kBase64LineLength) {
            text.push_back('\n');
            column = 0;
        }
        text.push_back(c);
        ++column;
    };
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t group =
            static_cast<uint32_t>(bytes[i]) << 16 | static_cast<uint32_t>(bytes[i + 1]) << 8 | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6)
            put(kAlphabet[(group >> shift) & 63]);
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t group = static_cast<uint32_t>(bytes[i]) << 16;
        if (rest == 2) group |= static_cast<uint32_t>(bytes[i + 1]) << 8;
        put(kAlphabet[(group >> 18) & 63]);
        put(kAlphabet[(group >> 12) & 63]);
        put(rest == 2 ? kAlphabet[(group >> 6) & 63] : '=');
        put('=');
    }
    return text;
}

int Base64Decode(const char *text, size_t length, std::vector<uint8_t> *out) {
    out->clear();
    out->reserve(length / 4 * 3);
    int8_t group[4];
    int filled = 0;
    for (size_t i = 0; i < length; ++i) {
        uint8_t c = static_cast<uint8_t>(text[i]);
        if (c <= 32) continue;
        int8_t value = kDecodeTable[c];
        if (value == kInvalid || (value == kPad && filled < 2)) return kErrInvalidBase64;
        group[filled++] = value;
        if (filled < 4) continue;
        filled = 0;
        bool thirdPad = group[2] == kPad, fourthPad = group[3] == kPad;
        uint32_t bits = static_cast<uint32_t>(group[0]) << 18 | static_cast<uint32_t>(group[1]) << 12 |
                        static_cast<uint32_t>(thirdPad ? 0 : group[2]) << 6 |
                        static_cast<uint32_t>(fourthPad ? 0 : group[3]);
        out->push_back(static_cast<uint8_t>(bits >> 16));
        if (thirdPad) return 0;
        out->push_back(static_cast<uint8_t>(bits >> 8));
        if (fourthPad) return 0;
        out->push_back(static_cast<uint8_t>(bits));
    }
    return filled == 0 ? 0 : kErrInvalidBase64;
}
