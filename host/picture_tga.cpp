#include "host/picture_tga.h"

#include "host/bitmap.h"
#include "host/virtual_file.h"
#include "runtime/vm/bounded_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// TGA data is sequential and small next to its pixels: read the whole file, then walk it bounded.
struct Reader : BoundedReader {
    std::vector<uint8_t> bytes;
    uint32_t U16() { return U16LE(); }
};

// One pixel of the given depth as 0xAARRGGBB; alphaBits says whether 16/32-bit data carries alpha.
uint32_t ReadPixel(Reader &r, int bits, bool grey) {
    if (grey) {
        uint32_t g = r.U8();
        uint32_t a = bits == 16 ? r.U8() : 255;
        return a << 24 | g << 16 | g << 8 | g;
    }
    switch (bits) {
    case 15:
    case 16: {
        uint32_t w = r.U16();
        uint32_t red = (w >> 10) & 31, green = (w >> 5) & 31, blue = w & 31;
        uint32_t a = bits == 16 && !(w & 0x8000) ? 0 : 255;
        return a << 24 | ((red << 3) | (red >> 2)) << 16 | ((green << 3) | (green >> 2)) << 8 | (blue << 3) | (blue >> 2);
    }
    case 24: {
        uint32_t b = r.U8(), g = r.U8(), red = r.U8();
        return 0xFF000000u | red << 16 | g << 8 | b;
    }
    case 32: {
        uint32_t b = r.U8(), g = r.U8(), red = r.U8(), a = r.U8();
        return a << 24 | red << 16 | g << 8 | b;
    }
    default: r.failed = true; return 0;
    }
}

} // namespace

int ReadTga(VirtualFile *file, TgaPicture *out) {
    *out = TgaPicture{};
    // The largest picture a bitmap holds, at 4 bytes a pixel plus a full colour map and header.
    Reader r;
    if (int status = ReadWholeVirtualFile(file, 18, int64_t(kMaxBitmapSide) * kMaxBitmapSide * 4 + 65536 * 4 + 1024,
                                          r.bytes))
        return status;
    r.data = r.bytes.data(), r.size = r.bytes.size();
    uint32_t idLength = r.U8(), mapType = r.U8(), imageType = r.U8();
    uint32_t mapFirst = r.U16(), mapLength = r.U16(), mapBits = r.U8();
    r.U16(), r.U16(); // origin
    uint32_t width = r.U16(), height = r.U16(), bits = r.U8(), descriptor = r.U8();
    bool rle = imageType >= 9;
    uint32_t base = rle ? imageType - 8 : imageType;
    bool mapped = base == 1, grey = base == 3;
    if (mapType > 1 || (base != 1 && base != 2 && base != 3) || (mapped && mapType != 1)) return 1;
    if (mapped ? bits != 8 : grey ? (bits != 8 && bits != 16) : (bits != 15 && bits != 16 && bits != 24 && bits != 32))
        return 1;
    if (mapType == 1 && mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32) return 1;
    if (width == 0 || height == 0 || width > uint32_t(kMaxBitmapSide) || height > uint32_t(kMaxBitmapSide)) return 2;
    r.Skip(idLength);
    std::vector<uint32_t> map;
    if (mapType == 1) {
        map.resize(size_t(mapFirst) + mapLength, 0xFF000000u);
        for (uint32_t i = 0; i < mapLength; i++) map[mapFirst + i] = ReadPixel(r, int(mapBits), false);
    }
    if (r.failed) return 2;
    size_t count = size_t(width) * height;
    // A small file must not make us allocate gigabytes: each pixel needs its bytes in the rest of the file, and
    // a run packet (one byte plus one pixel) gives at most 128 pixels.
    size_t left = r.remaining();
    size_t pixelBytes = mapped ? 1 : (bits + 7) / 8;
    if (count > (rle ? left / (1 + pixelBytes) * 128 : left / pixelBytes)) return 2;
    try {
        out->pixels.resize(count);
    } catch (const std::bad_alloc &) {
        return 2;
    }
    auto next = [&]() -> uint32_t {
        if (!mapped) return ReadPixel(r, int(bits), grey);
        uint32_t index = r.U8();
        return index < map.size() ? map[index] : 0xFF000000u;
    };
    for (size_t i = 0; i < count && !r.failed;) {
        if (!rle) {
            out->pixels[i++] = next();
            continue;
        }
        uint32_t packet = r.U8();
        size_t run = (packet & 0x7F) + 1;
        if (run > count - i) run = count - i; // a run may not spill past the picture
        if (packet & 0x80) {
            uint32_t p = next();
            for (size_t k = 0; k < run; k++) out->pixels[i++] = p;
        } else {
            for (size_t k = 0; k < run; k++) out->pixels[i++] = next();
        }
    }
    if (r.failed) return 2;
    // Rows are stored bottom-up unless the descriptor says the origin is at the top.
    if (!(descriptor & 0x20))
        for (uint32_t y = 0; y < height / 2; y++)
            std::swap_ranges(out->pixels.begin() + long(y * width), out->pixels.begin() + long((y + 1) * width),
                             out->pixels.begin() + long((height - 1 - y) * width));
    // Alpha only counts when the picture says it has attribute bits.
    uint32_t attributeBits = descriptor & 15;
    out->hasAlpha = attributeBits > 0 && (bits == 32 || bits == 16 || (mapped && (mapBits == 32 || mapBits == 16)));
    if (!out->hasAlpha)
        for (uint32_t &p : out->pixels) p |= 0xFF000000u;
    out->width = int32_t(width);
    out->height = int32_t(height);
    return 0;
}
