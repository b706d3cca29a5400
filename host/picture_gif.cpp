#include "host/picture_gif.h"

#include "host/bitmap.h"
#include "host/picture_ilbm.h"
#include "host/virtual_file.h"
#include "runtime/vm/bounded_reader.h"

#include <cstring>
#include <new>

namespace {

// A GIF file larger than this is refused before it is read: the largest picture we take (1 << 26 pixels) at
// the worst LZW ratio stays far below it.
constexpr int64_t kMaxGifFileBytes = int64_t(1) << 28;
constexpr int kMaxLzwCodes = 4096; // 12-bit codes

struct Reader : BoundedReader {
    std::vector<uint8_t> bytes;
    uint32_t U16() { return U16LE(); }
    // Data sub-blocks up to the empty one, appended to out (when given).
    void SubBlocks(std::vector<uint8_t> *out) {
        for (uint32_t n = U8(); n != 0 && !failed; n = U8()) {
            if (!Need(n)) return;
            if (out) out->insert(out->end(), data + pos, data + pos + n);
            pos += n;
        }
    }
};

std::vector<uint32_t> ReadPalette(Reader &r, uint32_t flags) {
    std::vector<uint32_t> palette;
    if (!(flags & 0x80)) return palette;
    for (uint32_t i = 0, n = 2u << (flags & 7); i < n; i++) {
        uint32_t red = r.U8(), green = r.U8(), blue = r.U8();
        palette.push_back(red << 16 | green << 8 | blue);
    }
    return palette;
}

// Decodes LZW data into count indexes. Every table entry's prefix is an older entry, so expanding a code walks
// strictly down and ends; a code that is not in the table yet (beyond the next one) ends the data.
void DecodeLzw(const std::vector<uint8_t> &data, int minCodeSize, std::vector<uint8_t> &indexes) {
    static thread_local uint16_t prefix[kMaxLzwCodes];
    static thread_local uint8_t suffix[kMaxLzwCodes], first[kMaxLzwCodes];
    static thread_local uint16_t length[kMaxLzwCodes];
    const int clear = 1 << minCodeSize, end = clear + 1;
    for (int i = 0; i < clear; i++) prefix[i] = 0, suffix[i] = first[i] = uint8_t(i), length[i] = 1;
    int codeSize = minCodeSize + 1, next = clear + 2, previous = -1;
    size_t pos = 0, bit = 0;
    const size_t count = indexes.size(), bits = data.size() * 8;
    while (pos < count && bit + size_t(codeSize) <= bits) {
        int code = 0;
        for (int i = 0; i < codeSize; i++, bit++) code |= ((data[bit >> 3] >> (bit & 7)) & 1) << i;
        if (code == clear) {
            codeSize = minCodeSize + 1, next = clear + 2, previous = -1;
            continue;
        }
        if (code == end) break;
        if (previous < 0) {
            if (code >= clear) break;
            indexes[pos++] = uint8_t(code);
            previous = code;
            continue;
        }
        if (code > next || (code == next && next >= kMaxLzwCodes)) break;
        if (next < kMaxLzwCodes) {
            prefix[next] = uint16_t(previous);
            suffix[next] = code < next ? first[code] : first[previous];
            first[next] = first[previous];
            length[next] = uint16_t(length[previous] + 1);
            if (++next == (1 << codeSize) && codeSize < 12) codeSize++;
        }
        // Written back to front; whatever passes the image's end is cut.
        size_t n = length[code];
        int c = code;
        for (size_t k = n; k-- > 0; c = prefix[c])
            if (pos + k < count) indexes[pos + k] = suffix[c];
        pos += n;
        previous = code;
    }
}

} // namespace

int ReadGif(VirtualFile *file, GifPicture *out) {
    *out = GifPicture{};
    Reader r;
    if (int status = ReadWholeVirtualFile(file, 13, kMaxGifFileBytes, r.bytes)) return status;
    r.data = r.bytes.data(), r.size = r.bytes.size();
    if (std::memcmp(r.bytes.data(), "GIF87a", 6) != 0 && std::memcmp(r.bytes.data(), "GIF89a", 6) != 0) return 1;
    r.Seek(6);
    r.U16(), r.U16(); // the logical screen: the first image is decoded at its own size
    uint32_t screenFlags = r.U8();
    r.U8(), r.U8(); // background, aspect
    std::vector<uint32_t> palette = ReadPalette(r, screenFlags);
    int32_t transparentIndex = -1;
    for (;;) {
        uint32_t block = r.U8();
        if (r.failed || block == 0x3B) return 2; // no image
        if (block == 0x2C) break;
        if (block != 0x21) continue; // stray bytes are skipped, as other readers do
        uint32_t label = r.U8();
        std::vector<uint8_t> data;
        r.SubBlocks(label == 0xF9 ? &data : nullptr);
        if (label == 0xF9 && data.size() >= 4) transparentIndex = (data[0] & 1) ? int32_t(data[3]) : -1;
    }
    r.U16(), r.U16(); // position on the screen
    uint32_t width = r.U16(), height = r.U16(), flags = r.U8();
    if (flags & 0x80) palette = ReadPalette(r, flags);
    uint32_t minCodeSize = r.U8();
    if (r.failed || width == 0 || height == 0 || width > uint32_t(kMaxBitmapSide) ||
        height > uint32_t(kMaxBitmapSide) || int64_t(width) * height > kMaxIlbmPixels || minCodeSize < 1 ||
        minCodeSize > 11)
        return 2;
    std::vector<uint8_t> data, indexes;
    r.SubBlocks(&data); // a truncated file decodes what is there
    try {
        indexes.assign(size_t(width) * height, 0);
        out->pixels.resize(indexes.size());
    } catch (const std::bad_alloc &) {
        return 2;
    }
    DecodeLzw(data, int(minCodeSize), indexes);
    // Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
    static const uint32_t kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    uint32_t source = 0;
    for (int pass = 0; pass < ((flags & 0x40) ? 4 : 1); pass++) {
        uint32_t start = (flags & 0x40) ? kStart[pass] : 0, step = (flags & 0x40) ? kStep[pass] : 1;
        for (uint32_t y = start; y < height; y += step, source++) {
            const uint8_t *in = indexes.data() + size_t(source) * width;
            uint32_t *row = out->pixels.data() + size_t(y) * width;
            for (uint32_t x = 0; x < width; x++)
                row[x] = 0xFF000000u | (in[x] < palette.size() ? palette[in[x]] : 0);
        }
    }
    // An index past the palette is black, like the pixels that use it.
    if (transparentIndex >= 0)
        out->transparent = size_t(transparentIndex) < palette.size() ? palette[size_t(transparentIndex)] : 0;
    out->width = int32_t(width);
    out->height = int32_t(height);
    return 0;
}
