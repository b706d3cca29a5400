#include <algorithm>
#include <array>
#include <cstring>

#include "media/codecs/picture_writers.h"
#include "runtime/vm/bounded_reader.h"

namespace {

// Codes go out low bit first, in sub-blocks of 254 bytes.
struct CodeOutput {
    std::string *out = nullptr;
    uint32_t accumulator = 0;
    int bitCount = 0;
    char block[255] = {};
    int blockLength = 0;

    void Byte(uint8_t b) {
        block[blockLength++] = char(b);
        if (blockLength == 254) FlushBlock();
    }
    void FlushBlock() {
        if (blockLength == 0) return;
        out->push_back(char(blockLength));
        out->append(block, size_t(blockLength));
        blockLength = 0;
    }
    void Code(uint32_t code, int size) {
        accumulator |= code << bitCount;
        bitCount += size;
        while (bitCount >= 8) {
            Byte(uint8_t(accumulator & 255));
            accumulator >>= 8;
            bitCount -= 8;
        }
    }
    void Finish() {
        if (bitCount > 0) Byte(uint8_t(accumulator & 255));
        FlushBlock();
        out->push_back(0);
    }
};

constexpr int kHashSize = 5003;

} // namespace

void EncodeGifLzw(const uint8_t *indices, size_t count, int bits, std::string *out) {
    const int minCodeSize = bits < 2 ? 2 : bits;
    const uint32_t clear = 1u << minCodeSize, end = clear + 1;
    out->push_back(char(minCodeSize));
    CodeOutput output;
    output.out = out;
    std::array<int32_t, kHashSize> keys;
    std::array<uint16_t, kHashSize> codes;
    keys.fill(-1);
    int codeSize = minCodeSize + 1;
    uint32_t lastAssigned = end; // the highest code in use
    output.Code(clear, codeSize);
    if (count > 0) {
        uint32_t prefix = indices[0];
        for (size_t i = 1; i < count; ++i) {
            const uint32_t c = indices[i];
            const int32_t key = int32_t(prefix << 8 | c);
            int h = int((c << 4) ^ prefix) % kHashSize;
            const int step = h == 0 ? 1 : kHashSize - h;
            while (keys[size_t(h)] >= 0 && keys[size_t(h)] != key) {
                h -= step;
                if (h < 0) h += kHashSize;
            }
            if (keys[size_t(h)] == key) {
                prefix = codes[size_t(h)];
                continue;
            }
            output.Code(prefix, codeSize);
            keys[size_t(h)] = key;
            codes[size_t(h)] = uint16_t(++lastAssigned);
            if (lastAssigned >= (1u << codeSize)) ++codeSize;
            if (lastAssigned == 4095) {
                output.Code(clear, codeSize);
                keys.fill(-1);
                codeSize = minCodeSize + 1;
                lastAssigned = end;
            }
            prefix = c;
        }
        output.Code(prefix, codeSize);
    }
    output.Code(end, codeSize);
    output.Finish();
}

void BeginGif(GifWriter *gif, int32_t width, int32_t height) {
    gif->width = width;
    gif->height = height;
    gif->framesWritten = 0;
    std::string &s = gif->bytes;
    s = "GIF89a";
    ByteWriter(s).U16LE(uint32_t(width));
    ByteWriter(s).U16LE(uint32_t(height));
    s += std::string("\xF7\x00\x00", 3);
    // A placeholder global table; every frame brings its own.
    std::string table(768, '\0');
    std::memcpy(table.data(), "Amiga rules!", 12);
    s += table;
}

void AddGifFrame(GifWriter *gif, const uint8_t *indices, const uint32_t *palette, int32_t colors,
                 int32_t transparent, int32_t delayMs, bool optimize) {
    std::string &s = gif->bytes;
    const int32_t w = gif->width, h = gif->height;
    const size_t count = size_t(w) * size_t(h);
    std::vector<uint32_t> current(count);
    for (size_t i = 0; i < count; ++i) current[i] = palette[indices[i]] & 0xFFFFFF;
    // The box is compared with the frame as shown, not with older indices; a full palette has no slot to spare.
    const bool boxed = optimize && transparent < 0 && colors < 256 && gif->framesWritten > 0 &&
                       gif->shown.size() == count;
    int32_t left = 0, top = 0, right = w - 1, bottom = h - 1;
    if (boxed) {
        left = w, top = h, right = -1, bottom = -1;
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                if (current[size_t(y) * size_t(w) + size_t(x)] != gif->shown[size_t(y) * size_t(w) + size_t(x)]) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
        if (right < 0) left = top = bottom = 0, right = std::min(w, 2) - 1; // nothing changed: a tiny box
    }
    const int32_t marker = boxed ? colors : transparent;
    int bits = 1;
    while ((1 << bits) < (boxed ? colors + 1 : colors) && bits < 8) ++bits;
    // Disposal "leave in place"; a transparent index only when asked for or needed for unchanged pixels.
    s += std::string("\x21\xF9\x04", 3);
    s.push_back(char(marker >= 0 ? 0x05 : 0x04));
    ByteWriter(s).U16LE(uint32_t(delayMs < 0 ? 0 : delayMs / 10));
    s.push_back(char(marker >= 0 ? marker : 0));
    s.push_back(0);
    if (gif->framesWritten == 0) s += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    const int32_t boxWidth = right - left + 1, boxHeight = bottom - top + 1;
    s.push_back(0x2C);
    ByteWriter(s).U16LE(uint32_t(left));
    ByteWriter(s).U16LE(uint32_t(top));
    ByteWriter(s).U16LE(uint32_t(boxWidth));
    ByteWriter(s).U16LE(uint32_t(boxHeight));
    s.push_back(char(0x80 | (bits - 1)));
    for (int32_t i = 0; i < (1 << bits); ++i) {
        const uint32_t p = i < colors ? palette[i] : 0;
        s.push_back(char((p >> 16) & 255));
        s.push_back(char((p >> 8) & 255));
        s.push_back(char(p & 255));
    }
    if (boxed) {
        std::vector<uint8_t> box(size_t(boxWidth) * size_t(boxHeight));
        for (int32_t y = 0; y < boxHeight; ++y)
            for (int32_t x = 0; x < boxWidth; ++x) {
                const size_t at = size_t(top + y) * size_t(w) + size_t(left + x);
                box[size_t(y) * size_t(boxWidth) + size_t(x)] =
                    current[at] == gif->shown[at] ? uint8_t(marker) : indices[at];
            }
        EncodeGifLzw(box.data(), box.size(), bits, &s);
    } else {
        EncodeGifLzw(indices, count, bits, &s);
    }
    // After a frame with see-through pixels the next one is written whole.
    if (transparent >= 0) gif->shown.clear();
    else gif->shown = std::move(current);
    ++gif->framesWritten;
}

void FinishGif(GifWriter *gif) { gif->bytes.push_back(0x3B); }
