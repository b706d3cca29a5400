#include "host/bitmap_convert.h"

#include "host/blit.h"
#include "host/memory.h"

#include <cstring>

int PixelArrayToBitmap(const uint32_t *pixels, int64_t transparent, int32_t width, int32_t height,
                       int32_t sourceRowPixels, HostBitmap **outBitmap, MaskPlane **outMask) {
    if (outBitmap) *outBitmap = nullptr;
    if (outMask) *outMask = nullptr;
    if (!pixels || !outBitmap || sourceRowPixels < width) return 1000;
    HostBitmap *bitmap = AllocHostBitmap(width, height);
    if (!bitmap) return 1000;
    MaskPlane *mask = nullptr;
    if (transparent != -1 && outMask) {
        mask = AllocMaskPlane(bitmap, width, height, true);
        if (!mask) {
            FreeHostBitmap(bitmap);
            return 1000;
        }
    }
    uint32_t key = uint32_t(transparent) & 0xFFFFFF;
    for (int32_t y = 0; y < height; y++) {
        const uint32_t *s = pixels + size_t(y) * size_t(sourceRowPixels);
        uint32_t *d = HostBitmapRow32(bitmap, y);
        for (int32_t x = 0; x < width; x++) d[x] = s[x] & 0xFFFFFF;
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
    auto colour = [&](uint32_t index) { return int32_t(index) < paletteSize ? palette[index] & 0xFFFFFF : 0u; };
    int32_t valueBits = hamMode - 2;
    uint32_t valueMask = (1u << (hamMode ? valueBits : 0)) - 1;
    for (int32_t y = 0; y < height; y++) {
        uint32_t *d = out + size_t(y) * size_t(width);
        size_t rowOffset = size_t(y) * size_t(bitmap->bytesPerRow);
        uint32_t held = 0; // every row starts black
        for (int32_t x = 0; x < width; x++) {
            uint32_t index = 0;
            for (int32_t p = 0; p < bitmap->depth; p++)
                index |= uint32_t((bitmap->planes[p][rowOffset + (x >> 3)] >> (7 - (x & 7))) & 1) << p;
            if (!hamMode) {
                d[x] = colour(index);
                continue;
            }
            uint32_t v = index & valueMask;
            // A modified component keeps its low bits zero, as the display hardware shows it.
            uint32_t v8 = v << (8 - valueBits);
            switch (index >> valueBits) {
            case 0: held = colour(v); break;
            case 1: held = (held & 0xFFFF00) | v8; break;
            case 2: held = (held & 0x00FFFF) | (v8 << 16); break;
            default: held = (held & 0xFF00FF) | (v8 << 8); break;
            }
            d[x] = held;
        }
    }
    return out;
}
