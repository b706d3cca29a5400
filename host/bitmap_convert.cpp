#include "host/bitmap_convert.h"

#include "host/blit.h"
#include "host/memory.h"
#include "runtime/app/errors.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

int PixelArrayToBitmap(const uint32_t *pixels, int64_t transparent, int32_t width, int32_t height,
                       int32_t sourceRowPixels, HostBitmap **outBitmap, MaskPlane **outMask) {
    if (outBitmap) *outBitmap = nullptr;
    if (outMask) *outMask = nullptr;
    if (!pixels || !outBitmap || sourceRowPixels < width) return kErrOutOfMemory;
    HostBitmap *bitmap = AllocHostBitmap(width, height);
    if (!bitmap) return kErrOutOfMemory;
    MaskPlane *mask = nullptr;
    if (transparent != -1 && outMask) {
        mask = AllocMaskPlane(bitmap, width, height, true);
        if (!mask) {
            FreeHostBitmap(bitmap);
            return kErrOutOfMemory;
        }
    }
    uint32_t key = uint32_t(transparent) & 0xFFFFFF;
    for (int32_t y = 0; y < height; y++) {
        const uint32_t *s = pixels + size_t(y) * size_t(sourceRowPixels);
        uint32_t *d = HostBitmapRow32(bitmap, y);
        // The new bitmap is black already: black pixels before the row's first other one are not written, so a
        // black picture's pages stay unwritten.
        int32_t x = 0;
        while (x < width && (s[x] & 0xFFFFFF) == 0) x++;
        for (; x < width; x++) d[x] = s[x] & 0xFFFFFF;
        if (mask) {
            uint8_t *m = mask->bits + size_t(y) * size_t(mask->bytesPerRow);
            for (int32_t x = 0; x < width; x++)
                if ((s[x] & 0xFFFFFF) != key) m[x >> 3] |= uint8_t(0x80 >> (x & 7));
        }
    }
    *outBitmap = bitmap;
    if (outMask) *outMask = mask;
    return 0;
}

uint32_t *ReadBitmapPixels(const HostBitmap *bitmap, int32_t width, int32_t height) {
    if (!bitmap || width <= 0 || height <= 0 || width > bitmap->width || height > bitmap->height) return nullptr;
    auto *out = static_cast<uint32_t *>(AllocBlock(size_t(width) * size_t(height) * 4, 0));
    if (!out) return nullptr;
    for (int32_t y = 0; y < height; y++) {
        uint32_t *d = out + size_t(y) * size_t(width);
        if (bitmap->format == PixelFormatARGB32) {
            const uint32_t *s = HostBitmapRow32(bitmap, y);
            for (int32_t x = 0; x < width; x++) d[x] = s[x] & 0xFFFFFF;
        } else {
            for (int32_t x = 0; x < width; x++) d[x] = ReadPixelColour(bitmap, x, y);
        }
    }
    return out;
}

namespace {

static_assert(std::endian::native == std::endian::little, "eight colour indexes are handled as one word");

// Byte i of kSpread[b] holds bit 7 - i of b: the eight pixels of one plane byte, leftmost first.
const std::array<uint64_t, 256> kSpread = [] {
    std::array<uint64_t, 256> table{};
    for (uint32_t b = 0; b < 256; b++)
        for (int i = 0; i < 8; i++) table[b] |= uint64_t((b >> (7 - i)) & 1) << (8 * i);
    return table;
}();

// One row of a planar bitmap as colours (colours given; Depth 0: any depth) or as colour indexes (Depth -1, out
// is bytes), eight pixels at a time.
template <int Depth, class Out>
void PlanarRowToColours(const PlanarBitmap *bitmap, size_t rowOffset, int32_t width, const uint32_t *colours,
                        Out *out) {
    const int32_t depth = Depth > 0 ? Depth : bitmap->depth;
    const uint8_t *planes[kMaxPlanarDepth];
    for (int32_t p = 0; p < depth; p++) planes[p] = bitmap->planes[p] + rowOffset;
    auto spread = [&](int32_t column) {
        uint64_t eight = 0;
        for (int32_t p = 0; p < depth; p++) eight |= kSpread[planes[p][column]] << p;
        return eight;
    };
    auto put = [&](int32_t x, int32_t n, uint64_t eight) {
        uint8_t index[8];
        std::memcpy(index, &eight, 8); // little-endian: byte i is pixel i
        for (int32_t i = 0; i < n; i++) {
            if constexpr (Depth < 0) out[x + i] = index[i];
            else out[x + i] = colours[index[i]];
        }
    };
    const int32_t columns = width / 8;
    int32_t column = 0;
    if constexpr (Depth >= 0) {
        // Drawn pictures are mostly flat areas: 64 pixels at a time, each group of eight whose plane bytes are all
        // 0x00 or 0xFF is one colour, whose index is bit 0 of those bytes. Byte k of a plane word is group k.
        constexpr uint64_t kLowBits = 0x0101010101010101, kUpperBits = 0x7F7F7F7F7F7F7F7F;
        for (; column + 8 <= columns; column += 8) {
            uint64_t differ = 0, flatIndex = 0;
            for (int32_t p = 0; p < depth; p++) {
                uint64_t word;
                std::memcpy(&word, planes[p] + column, 8);
                differ |= word ^ (word >> 1); // bit i of a byte against bit i + 1
                flatIndex |= (word & kLowBits) << p;
            }
            differ &= kUpperBits; // drops what the shift brought in from the next byte
            // No flat group at all (a byte of differ is zero): the plain way, without a test per group.
            if (!((differ - kLowBits) & ~differ & ~kUpperBits)) {
                for (int32_t k = 0; k < 8; k++) put((column + k) * 8, 8, spread(column + k));
                continue;
            }
            for (int32_t k = 0; k < 8; k++, differ >>= 8, flatIndex >>= 8) {
                if (differ & 0xFF) {
                    put((column + k) * 8, 8, spread(column + k));
                    continue;
                }
                const uint32_t colour = colours[flatIndex & 0xFF];
                Out *d = out + (column + k) * 8;
                for (int32_t i = 0; i < 8; i++) d[i] = colour;
            }
        }
    }
    for (; column < columns; column++) put(column * 8, 8, spread(column));
    if (width % 8) put(column * 8, width % 8, spread(column));
}

} // namespace

uint32_t *ReadPaletteBitMapPixels(const PlanarBitmap *bitmap, const uint32_t *palette, int32_t paletteSize,
                                  int32_t width, int32_t height, int32_t hamMode) {
    if (!bitmap || !palette || width <= 0 || height <= 0) return nullptr;
    if (bitmap->depth < 1 || bitmap->depth > kMaxPlanarDepth || height > bitmap->rows ||
        width > bitmap->bytesPerRow * 8)
        return nullptr;
    if (hamMode != 0 && hamMode != 6 && hamMode != 8) return nullptr;
    if (hamMode && bitmap->depth != hamMode) return nullptr;
    for (int32_t p = 0; p < bitmap->depth; p++)
        if (!bitmap->planes[p]) return nullptr;
    auto *out = static_cast<uint32_t *>(AllocBlock(size_t(width) * size_t(height) * 4, 0));
    if (!out) return nullptr;
    uint32_t colours[256];
    for (uint32_t i = 0; i < 256; i++) colours[i] = int32_t(i) < paletteSize ? palette[i] & 0xFFFFFF : 0u;
    std::vector<uint8_t> indexes(size_t(bitmap->bytesPerRow) * 8);
    const int32_t valueBits = hamMode - 2;
    const uint32_t valueMask = (1u << (hamMode ? valueBits : 0)) - 1;
    for (int32_t y = 0; y < height; y++) {
        uint32_t *d = out + size_t(y) * size_t(width);
        const size_t rowOffset = size_t(y) * size_t(bitmap->bytesPerRow);
        if (!hamMode) {
            if (bitmap->depth == 8) PlanarRowToColours<8>(bitmap, rowOffset, width, colours, d);
            else PlanarRowToColours<0>(bitmap, rowOffset, width, colours, d);
            continue;
        }
        PlanarRowToColours<-1>(bitmap, rowOffset, width, nullptr, indexes.data());
        uint32_t held = 0; // every row starts black
        for (int32_t x = 0; x < width; x++) {
            const uint32_t index = indexes[size_t(x)], v = index & valueMask;
            // A modified component keeps its low bits zero, as the display hardware shows it.
            const uint32_t v8 = v << (8 - valueBits);
            switch (index >> valueBits) {
            case 0: held = colours[v]; break;
            case 1: held = (held & 0xFFFF00) | v8; break;
            case 2: held = (held & 0x00FFFF) | (v8 << 16); break;
            default: held = (held & 0xFF00FF) | (v8 << 8); break;
            }
            d[x] = held;
        }
    }
    return out;
}
