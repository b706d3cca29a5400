#include "imaging/pixel_ops.h"

#include <algorithm>
#include <utility>
#include <vector>

static uint8_t Widen5(unsigned v) { return uint8_t((v << 3) | (v >> 2)); }
static uint8_t Widen6(unsigned v) { return uint8_t((v << 2) | (v >> 4)); }
static uint16_t Swap16(uint32_t v) { return uint16_t(((v & 0xFF) << 8) | ((v >> 8) & 0xFF)); }

// 16-bit values are handled as the word the format describes; the byte order is applied in Load/Store.
Channels UnpackFormatPixel(uint32_t v, int format) {
    switch (format) {
    case PixelFormatRGB555BE: case PixelFormatRGB555LE:
        return Channels{Widen5((v >> 10) & 31), Widen5((v >> 5) & 31), Widen5(v & 31), 0};
    case PixelFormatBGR555BE: case PixelFormatBGR555LE:
        return Channels{Widen5(v & 31), Widen5((v >> 5) & 31), Widen5((v >> 10) & 31), 0};
    case PixelFormatRGB565BE: case PixelFormatRGB565LE:
        return Channels{Widen5((v >> 11) & 31), Widen6((v >> 5) & 63), Widen5(v & 31), 0};
    case PixelFormatBGR565BE: case PixelFormatBGR565LE:
        return Channels{Widen5(v & 31), Widen6((v >> 5) & 63), Widen5((v >> 11) & 31), 0};
    case PixelFormatRGB24: return Channels{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), 0};
    case PixelFormatBGR24: return Channels{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), 0};
    case PixelFormatBGRA32: return Channels{uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24), uint8_t(v)};
    case PixelFormatRGBA32: return Channels{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    default: return ColorChannels(v);
    }
}

uint32_t PackFormatPixel(Channels c, int format) {
    switch (format) {
    case PixelFormatRGB555BE: case PixelFormatRGB555LE: return ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3);
    case PixelFormatBGR555BE: case PixelFormatBGR555LE: return ((c.b >> 3) << 10) | ((c.g >> 3) << 5) | (c.r >> 3);
    case PixelFormatRGB565BE: case PixelFormatRGB565LE: return ((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3);
    case PixelFormatBGR565BE: case PixelFormatBGR565LE: return ((c.b >> 3) << 11) | ((c.g >> 2) << 5) | (c.r >> 3);
    case PixelFormatRGB24: return (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b;
    case PixelFormatBGR24: return (uint32_t(c.b) << 16) | (uint32_t(c.g) << 8) | c.r;
    case PixelFormatBGRA32: return (uint32_t(c.b) << 24) | (uint32_t(c.g) << 16) | (uint32_t(c.r) << 8) | c.x;
    case PixelFormatRGBA32: return (uint32_t(c.r) << 24) | (uint32_t(c.g) << 16) | (uint32_t(c.b) << 8) | c.x;
    default: return ChannelsColor(c);
    }
}

static bool IsBigEndian16(int format) { return format == 0 || format == 1 || format == 4 || format == 5; }

uint32_t LoadFormatPixel(const uint8_t *p, int format) {
    switch (PixelFormatBytes(format)) {
    case 2: {
        uint16_t v = Format16::Load(p);
        return IsBigEndian16(format) ? Swap16(v) : v;
    }
    case 3: return Format24::Load(p);
    default: return Format32::Load(p);
    }
}

void StoreFormatPixel(uint8_t *p, uint32_t v, int format) {
    switch (PixelFormatBytes(format)) {
    case 2: Format16::Store(p, uint16_t(IsBigEndian16(format) ? Swap16(v) : v)); break;
    case 3: Format24::Store(p, v); break;
    default: Format32::Store(p, v); break;
    }
}

// The native value to store: a big-endian 16-bit pixel comes back byte-swapped on this machine, so that a plain
// 16-bit store puts it in memory the right way round.
uint32_t ColorToPixel(uint32_t rgb, int format) {
    if (format < 0 || format >= kPixelFormatCount) return 0;
    uint32_t v = PackFormatPixel(ColorChannels(rgb & 0xFFFFFF), format);
    if (PixelFormatBytes(format) == 2 && IsBigEndian16(format)) v = Swap16(v);
    return v;
}

static void GrayRows(uint8_t *pixels, int32_t width, int32_t height, int32_t format, int32_t rowLength, int bytes) {
    if (!pixels || PixelFormatBytes(format) != bytes) return;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t *p = pixels + ptrdiff_t(y) * rowLength * bytes;
        for (int32_t x = 0; x < width; ++x, p += bytes) {
            Channels c = UnpackFormatPixel(LoadFormatPixel(p, format), format);
            uint8_t g = uint8_t((299 * c.r + 587 * c.g + 114 * c.b) / 1000); // truncated, not rounded
            StoreFormatPixel(p, PackFormatPixel(Channels{g, g, g, c.x}, format), format);
        }
    }
}

void ConvertToGray32(uint8_t *pixels, int32_t width, int32_t height, int32_t format, int32_t rowLength) {
    GrayRows(pixels, width, height, format, rowLength, 4);
}
void ConvertToGray24(uint8_t *pixels, int32_t width, int32_t height, int32_t format, int32_t rowLength) {
    GrayRows(pixels, width, height, format, rowLength, 3);
}
void ConvertToGray16(uint8_t *pixels, int32_t width, int32_t height, int32_t format, int32_t rowLength) {
    GrayRows(pixels, width, height, format, rowLength, 2);
}

template <class F> static void InvertRows(uint8_t *pixels, int32_t width, int32_t height, int32_t rowLength,
                                          uint32_t bits) {
    if (!pixels) return;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t *p = pixels + ptrdiff_t(y) * rowLength * F::kBytes;
        for (int32_t x = 0; x < width; ++x, p += F::kBytes)
            F::Store(p, typename F::Pixel(F::Load(p) ^ bits));
    }
}
void InvertPixels32(uint8_t *pixels, int32_t width, int32_t height, int32_t rowLength) {
    InvertRows<Format32>(pixels, width, height, rowLength, 0x00FFFFFF);
}
void InvertPixels24(uint8_t *pixels, int32_t width, int32_t height, int32_t rowLength) {
    InvertRows<Format24>(pixels, width, height, rowLength, 0x00FFFFFF);
}
void InvertPixels16(uint8_t *pixels, int32_t width, int32_t height, int32_t rowLength) {
    InvertRows<Format16>(pixels, width, height, rowLength, 0xFFFF);
}

template <class F> static void ReplaceRows(int32_t width, int32_t height, const int32_t *pairs, uint8_t *pixels,
                                           int32_t rowLength, uint32_t compareMask) {
    if (!pixels || !pairs) return;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t *p = pixels + ptrdiff_t(y) * rowLength * F::kBytes;
        for (int32_t x = 0; x < width; ++x, p += F::kBytes) {
            const uint32_t old = F::Load(p);
            uint32_t v = old;
            // In list order on the current value: A->B then B->C turns A into C.
            for (const int32_t *q = pairs; q[0] != -1; q += 2)
                if ((v & compareMask) == (uint32_t(q[0]) & compareMask)) v = uint32_t(q[1]);
            if (v != old) F::Store(p, typename F::Pixel(v));
        }
    }
}
void ReplacePixelColors32(int32_t width, int32_t height, const int32_t *pairs, uint8_t *pixels, int32_t rowLength,
                          uint32_t compareMask) {
    ReplaceRows<Format32>(width, height, pairs, pixels, rowLength, compareMask);
}
void ReplacePixelColors24(int32_t width, int32_t height, const int32_t *pairs, uint8_t *pixels, int32_t rowLength) {
    ReplaceRows<Format24>(width, height, pairs, pixels, rowLength, 0xFFFFFF);
}
void ReplacePixelColors16(int32_t width, int32_t height, const int32_t *pairs, uint8_t *pixels, int32_t rowLength) {
    ReplaceRows<Format16>(width, height, pairs, pixels, rowLength, 0xFFFF);
}

static void SwapRows(uint8_t *base, ptrdiff_t pitch, size_t bytes, int32_t height) {
    for (int32_t y = 0; y < height / 2; ++y) std::swap_ranges(base + y * pitch, base + y * pitch + bytes,
                                                              base + (height - 1 - y) * pitch);
}

void FlipPixels(const FlipParams &p) {
    if (!p.pixels || p.width <= 0 || p.height <= 0) return;
    const int bpp = p.bytesPerPixel;
    const ptrdiff_t pitch = ptrdiff_t(p.rowLength) * bpp;
    if (p.direction == 0) {
        SwapRows(p.pixels, pitch, size_t(p.width) * bpp, p.height);
        if (p.mask) SwapRows(p.mask, p.maskBytesPerRow, size_t(p.maskBytesPerRow), p.height);
        if (p.alpha) SwapRows(p.alpha, p.alphaBytesPerRow, size_t(p.width), p.height);
        return;
    }
    for (int32_t y = 0; y < p.height; ++y) {
        uint8_t *row = p.pixels + y * pitch;
        for (int32_t x = 0; x < p.width / 2; ++x)
            std::swap_ranges(row + x * bpp, row + (x + 1) * bpp, row + (p.width - 1 - x) * bpp);
        if (p.mask) {
            uint8_t *m = p.mask + ptrdiff_t(y) * p.maskBytesPerRow;
            for (int32_t x = 0; x < p.width / 2; ++x) {
                bool a = MaskBit(m, x), b = MaskBit(m, p.width - 1 - x);
                SetMaskBit(m, x, b);
                SetMaskBit(m, p.width - 1 - x, a);
            }
        }
        if (p.alpha) {
            uint8_t *a = p.alpha + ptrdiff_t(y) * p.alphaBytesPerRow;
            std::reverse(a, a + p.width);
        }
    }
}

// Scanline fill with an explicit stack of seed points: memory grows with the picture, never the call stack.
template <class F> static void FloodFillRows(const FloodFillParams &p, int32_t x, int32_t y, uint32_t cmp) {
    if (!p.pixels || x < 0 || y < 0 || x >= p.width || y >= p.height) return;
    const ptrdiff_t pitch = ptrdiff_t(p.rowLength) * F::kBytes;
    auto at = [&](int32_t px, int32_t py) { return p.pixels + py * pitch + px * F::kBytes; };
    const uint32_t fill = p.fill & cmp, boundary = p.boundary & cmp;
    auto open = [&](int32_t px, int32_t py) {
        uint32_t v = F::Load(at(px, py)) & cmp;
        return v != boundary && v != fill;
    };
    std::vector<std::pair<int32_t, int32_t>> stack;
    stack.emplace_back(x, y);
    while (!stack.empty()) {
        auto [sx, sy] = stack.back();
        stack.pop_back();
        if (!open(sx, sy)) continue;
        int32_t left = sx, right = sx;
        while (left > 0 && open(left - 1, sy)) --left;
        while (right + 1 < p.width && open(right + 1, sy)) ++right;
        for (int32_t i = left; i <= right; ++i) F::Store(at(i, sy), typename F::Pixel(p.fill));
        for (int32_t ny : {sy - 1, sy + 1}) {
            if (ny < 0 || ny >= p.height) continue;
            bool inRun = false;
            for (int32_t i = left; i <= right; ++i) {
                bool o = open(i, ny);
                if (o && !inRun) stack.emplace_back(i, ny);
                inRun = o;
            }
        }
    }
}

void FloodFillPixels32(const FloodFillParams &p, int32_t x, int32_t y, uint32_t compareMask) {
    FloodFillRows<Format32>(p, x, y, compareMask);
}
void FloodFillPixels24(const FloodFillParams &p, int32_t x, int32_t y) { FloodFillRows<Format24>(p, x, y, 0xFFFFFF); }
void FloodFillPixels16(const FloodFillParams &p, int32_t x, int32_t y) { FloodFillRows<Format16>(p, x, y, 0xFFFF); }

MaskPlane *MaskFromColorKey(const HostBitmap *bitmap, int32_t width, int32_t height, uint32_t color) {
    if (!bitmap || !bitmap->pixels) return nullptr;
    width = std::min(width, bitmap->width);
    height = std::min(height, bitmap->height);
    MaskPlane *mask = AllocMaskPlane(bitmap, width, height, true);
    if (!mask) return nullptr;
    // Compared through channels so that the pad or alpha byte never matters.
    const Channels want = UnpackFormatPixel(PackFormatPixel(ColorChannels(color & 0xFFFFFF), bitmap->format),
                                            bitmap->format);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t *p = HostBitmapRow(bitmap, y);
        uint8_t *m = mask->bits + ptrdiff_t(y) * mask->bytesPerRow;
        for (int32_t x = 0; x < width; ++x, p += bitmap->bytesPerPixel) {
            Channels c = UnpackFormatPixel(LoadFormatPixel(p, bitmap->format), bitmap->format);
            SetMaskBit(m, x, !(c.r == want.r && c.g == want.g && c.b == want.b));
        }
    }
    return mask;
}
