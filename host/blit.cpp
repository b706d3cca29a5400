#include "host/blit.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Clips a rectangle placed at (ax, ay) in plane A and (bx, by) in plane B to both planes' sizes. A size below 0
// stands for "unknown" (wrapped planes without a row count) and does not clip. Returns false when nothing is left.
bool ClipPair(int32_t &ax, int32_t &ay, int32_t aw, int32_t ah, int32_t &bx, int32_t &by, int32_t bw, int32_t bh,
              int32_t &w, int32_t &h) {
    int64_t x0 = ax, y0 = ay, x1 = bx, y1 = by, ww = w, hh = h;
    auto clipLow = [&](int64_t &p, int64_t &q, int64_t &len) {
        if (p < 0) {
            q -= p;
            len += p;
            p = 0;
        }
    };
    clipLow(x0, x1, ww);
    clipLow(x1, x0, ww);
    clipLow(y0, y1, hh);
    clipLow(y1, y0, hh);
    if (aw >= 0) ww = std::min<int64_t>(ww, aw - x0);
    if (bw >= 0) ww = std::min<int64_t>(ww, bw - x1);
    if (ah >= 0) hh = std::min<int64_t>(hh, ah - y0);
    if (bh >= 0) hh = std::min<int64_t>(hh, bh - y1);
    if (ww <= 0 || hh <= 0) return false;
    ax = int32_t(x0), ay = int32_t(y0), bx = int32_t(x1), by = int32_t(y1), w = int32_t(ww), h = int32_t(hh);
    return true;
}

// A third plane (the source mask) sharing the source's coordinates narrows the source size.
int32_t MaskWidth(const MaskPlane *m) { return m->bytesPerRow * 8; }
int32_t MaskRows(const MaskPlane *m) { return m->rows > 0 ? m->rows : -1; }

bool ClipOne(int32_t &x, int32_t &y, int32_t pw, int32_t ph, int32_t &w, int32_t &h) {
    int32_t ox = 0, oy = 0;
    return ClipPair(x, y, pw, ph, ox, oy, -1, -1, w, h);
}

uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }
uint32_t Expand6(uint32_t v) { return (v << 2) | (v >> 4); }

uint32_t Pack16(int32_t format, uint32_t c) {
    uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    switch (format) {
    case PixelFormatRGB555BE:
    case PixelFormatRGB555LE: return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case PixelFormatBGR555BE:
    case PixelFormatBGR555LE: return ((b >> 3) << 10) | ((g >> 3) << 5) | (r >> 3);
    case PixelFormatRGB565BE:
    case PixelFormatRGB565LE: return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default: return ((b >> 3) << 11) | ((g >> 2) << 5) | (r >> 3);
    }
}

uint32_t Unpack16(int32_t format, uint32_t w) {
    uint32_t hi, mid, lo;
    bool is555 = format <= PixelFormatBGR555LE;
    if (is555) {
        hi = Expand5((w >> 10) & 31), mid = Expand5((w >> 5) & 31), lo = Expand5(w & 31);
    } else {
        hi = Expand5((w >> 11) & 31), mid = Expand6((w >> 5) & 63), lo = Expand5(w & 31);
    }
    bool rgb = format == PixelFormatRGB555BE || format == PixelFormatRGB555LE || format == PixelFormatRGB565BE ||
               format == PixelFormatRGB565LE;
    return rgb ? (hi << 16) | (mid << 8) | lo : (lo << 16) | (mid << 8) | hi;
}

bool BigEndian16(int32_t format) {
    return format == PixelFormatRGB555BE || format == PixelFormatBGR555BE || format == PixelFormatRGB565BE ||
           format == PixelFormatBGR565BE;
}

uint32_t PixelFromColour(int32_t format, uint32_t c) {
    switch (format) {
    case PixelFormatARGB32: return c & 0xFFFFFF;
    case PixelFormatBGRA32:
        return ((c & 0xFF) << 24) | (((c >> 8) & 0xFF) << 16) | (((c >> 16) & 0xFF) << 8);
    case PixelFormatRGBA32: return (c & 0xFFFFFF) << 8;
    default: return Pack16(format, c);
    }
}

// Generic row copy between bitmaps of possibly different formats.
void ConvertRect(const HostBitmap *s, int32_t sx, int32_t sy, HostBitmap *d, int32_t dx, int32_t dy, int32_t w,
                 int32_t h) {
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) WritePixelColour(d, dx + x, dy + y, ReadPixelColour(s, sx + x, sy + y));
}

// Writes one pixel value of the destination's own format (as PixelFromColour made it) n times from p.
void FillPixels(HostBitmap *d, uint8_t *p, int32_t n, uint32_t value) {
    switch (d->bytesPerPixel) {
    case 4: std::fill_n(reinterpret_cast<uint32_t *>(p), n, value); break;
    case 3:
        for (int32_t i = 0; i < n; i++) {
            // 24-bit formats store bytes in the order named; value is 0x00RRGGBB here.
            uint8_t r = value >> 16, g = value >> 8, b = value;
            if (d->format == PixelFormatRGB24) p[0] = r, p[1] = g, p[2] = b;
            else p[0] = b, p[1] = g, p[2] = r;
            p += 3;
        }
        break;
    default: {
        uint8_t b0 = BigEndian16(d->format) ? value >> 8 : value, b1 = BigEndian16(d->format) ? value : value >> 8;
        for (int32_t i = 0; i < n; i++) p[2 * i] = b0, p[2 * i + 1] = b1;
    }
    }
}

uint32_t NativeValue(const HostBitmap *d, uint32_t colour) {
    return d->bytesPerPixel == 3 ? colour & 0xFFFFFF : PixelFromColour(d->format, colour);
}

} // namespace

uint32_t ReadPixelColour(const HostBitmap *bitmap, int32_t x, int32_t y) {
    const uint8_t *p = HostBitmapRow(bitmap, y) + size_t(x) * size_t(bitmap->bytesPerPixel);
    switch (bitmap->format) {
    case PixelFormatARGB32: return *reinterpret_cast<const uint32_t *>(p) & 0xFFFFFF;
    case PixelFormatBGRA32: {
        uint32_t w = *reinterpret_cast<const uint32_t *>(p);
        return ((w >> 8) & 0xFF) << 16 | ((w >> 16) & 0xFF) << 8 | (w >> 24);
    }
    case PixelFormatRGBA32: return *reinterpret_cast<const uint32_t *>(p) >> 8;
    case PixelFormatRGB24: return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    case PixelFormatBGR24: return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    default: {
        uint32_t w = BigEndian16(bitmap->format) ? (uint32_t(p[0]) << 8 | p[1]) : (uint32_t(p[1]) << 8 | p[0]);
        return Unpack16(bitmap->format, w);
    }
    }
}

void WritePixelColour(HostBitmap *bitmap, int32_t x, int32_t y, uint32_t colour) {
    uint8_t *p = HostBitmapRow(bitmap, y) + size_t(x) * size_t(bitmap->bytesPerPixel);
    FillPixels(bitmap, p, 1, NativeValue(bitmap, colour));
}

void BLTBITMAP(const HostBitmap *source, int32_t sx, int32_t sy, HostBitmap *destination, int32_t dx, int32_t dy,
               int32_t width, int32_t height) {
    if (!source || !destination) return;
    if (!ClipPair(sx, sy, source->width, source->height, dx, dy, destination->width, destination->height, width,
                  height))
        return;
    if (source->format != destination->format) {
        ConvertRect(source, sx, sy, destination, dx, dy, width, height);
        return;
    }
    size_t bpp = size_t(source->bytesPerPixel), rowBytes = size_t(width) * bpp;
    // Overlapping copies inside one bitmap go bottom-up when moving down, and memmove handles the row itself.
    bool upward = source->pixels == destination->pixels && dy > sy;
    for (int32_t i = 0; i < height; i++) {
        int32_t r = upward ? height - 1 - i : i;
        const uint8_t *s = HostBitmapRow(source, sy + r) + size_t(sx) * bpp;
        uint8_t *d = HostBitmapRow(destination, dy + r) + size_t(dx) * bpp;
        std::memmove(d, s, rowBytes);
    }
}

void BLTMASK(const HostBitmap *source, int32_t sx, int32_t sy, HostBitmap *destination, int32_t dx, int32_t dy,
             int32_t width, int32_t height, const MaskPlane *mask) {
    if (!source || !destination) return;
    if (!mask) {
        BLTBITMAP(source, sx, sy, destination, dx, dy, width, height);
        return;
    }
    int32_t sw = std::min(source->width, MaskWidth(mask));
    int32_t sh = MaskRows(mask) < 0 ? source->height : std::min(source->height, MaskRows(mask));
    if (!ClipPair(sx, sy, sw, sh, dx, dy, destination->width, destination->height, width, height)) return;
    bool fast = source->format == destination->format && source->bytesPerPixel == 4 &&
                source->pixels != destination->pixels;
    for (int32_t r = 0; r < height; r++) {
        const uint8_t *m = mask->bits + size_t(sy + r) * size_t(mask->bytesPerRow);
        if (fast) {
            const uint32_t *s = HostBitmapRow32(source, sy + r) + sx;
            uint32_t *d = HostBitmapRow32(destination, dy + r) + dx;
            int32_t x = 0;
            // Single bits up to a byte boundary of the mask, then whole mask bytes.
            for (; x < width && ((sx + x) & 7); x++)
                if ((m[(sx + x) >> 3] >> (7 - ((sx + x) & 7))) & 1) d[x] = s[x];
            for (; x + 8 <= width; x += 8) {
                uint8_t byte = m[(sx + x) >> 3];
                if (byte == 0xFF) std::memcpy(d + x, s + x, 32);
                else if (byte)
                    for (int32_t b = 0; b < 8; b++)
                        if ((byte >> (7 - b)) & 1) d[x + b] = s[x + b];
            }
            for (; x < width; x++)
                if ((m[(sx + x) >> 3] >> (7 - ((sx + x) & 7))) & 1) d[x] = s[x];
        } else {
            for (int32_t x = 0; x < width; x++)
                if ((m[(sx + x) >> 3] >> (7 - ((sx + x) & 7))) & 1)
                    WritePixelColour(destination, dx + x, dy + r, ReadPixelColour(source, sx + x, sy + r));
        }
    }
}

void BLTTEMPLATE(const MaskPlane *templ, int32_t tx, int32_t ty, HostBitmap *destination, int32_t x, int32_t y,
                 int32_t width, int32_t height, uint32_t colour) {
    if (!templ || !destination) return;
    if (!ClipPair(tx, ty, MaskWidth(templ), MaskRows(templ), x, y, destination->width, destination->height, width,
                  height))
        return;
    uint32_t value = NativeValue(destination, colour);
    size_t bpp = size_t(destination->bytesPerPixel);
    for (int32_t r = 0; r < height; r++) {
        const uint8_t *m = templ->bits + size_t(ty + r) * size_t(templ->bytesPerRow);
        uint8_t *d = HostBitmapRow(destination, y + r) + size_t(x) * bpp;
        for (int32_t c = 0; c < width; c++)
            if ((m[(tx + c) >> 3] >> (7 - ((tx + c) & 7))) & 1) FillPixels(destination, d + size_t(c) * bpp, 1, value);
    }
}

void RECTFILL(HostBitmap *bitmap, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) {
    if (!bitmap || !ClipOne(x, y, bitmap->width, bitmap->height, width, height)) return;
    uint32_t value = NativeValue(bitmap, colour);
    for (int32_t r = 0; r < height; r++)
        FillPixels(bitmap, HostBitmapRow(bitmap, y + r) + size_t(x) * size_t(bitmap->bytesPerPixel), width, value);
}

void FillNewBitmap(HostBitmap *bitmap, uint32_t colour) {
    if (bitmap && NativeValue(bitmap, colour) != 0) RECTFILL(bitmap, 0, 0, bitmap->width, bitmap->height, colour);
}

// How many of the row's leading bytes are zero.
static size_t LeadingZeroBytes(const uint8_t *row, size_t bytes) {
    size_t n = 0;
    for (uint64_t word; n + 8 <= bytes; n += 8) {
        std::memcpy(&word, row + n, 8);
        if (word) break;
    }
    while (n < bytes && row[n] == 0) n++;
    return n;
}

void CopyIntoNewBitmap(const HostBitmap *source, HostBitmap *destination) {
    if (!source || !destination) return;
    if (source->format != destination->format) {
        BLTBITMAP(source, 0, 0, destination, 0, 0, source->width, source->height);
        return;
    }
    const int32_t height = std::min(source->height, destination->height);
    const size_t rowBytes = size_t(std::min(source->width, destination->width)) * size_t(source->bytesPerPixel);
    for (int32_t y = 0; y < height; y++) {
        const uint8_t *from = HostBitmapRow(source, y);
        const size_t skip = LeadingZeroBytes(from, rowBytes);
        if (skip < rowBytes) std::memcpy(HostBitmapRow(destination, y) + skip, from + skip, rowBytes - skip);
    }
}

namespace {

// Writes bits [x, x + w) of one mask row through op(old byte, new bits, bits-in-range mask).
template <typename Op> void ApplyRowBits(uint8_t *row, int32_t x, int32_t w, Op op) {
    int32_t end = x + w;
    for (int32_t byte = x >> 3; byte <= (end - 1) >> 3; byte++) {
        int32_t lo = std::max(x, byte * 8) - byte * 8, hi = std::min(end, byte * 8 + 8) - byte * 8;
        uint8_t range = uint8_t((0xFF >> lo) & (0xFF << (8 - hi)));
        row[byte] = op(row[byte], range, byte);
    }
}

// Bits [x, x + 8) of a row as one byte, leftmost in the top bit (bits past the row's end read as the row has).
uint8_t ReadBits8(const uint8_t *row, int32_t x, int32_t rowBytes) {
    int32_t byte = x >> 3, shift = x & 7;
    uint32_t v = uint32_t(row[byte]) << 8;
    if (shift && byte + 1 < rowBytes) v |= row[byte + 1];
    return uint8_t((v << shift) >> 8);
}

} // namespace

void FillMaskRect(MaskPlane *plane, int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode) {
    if (!plane || !ClipOne(x, y, MaskWidth(plane), MaskRows(plane), width, height)) return;
    for (int32_t r = 0; r < height; r++) {
        uint8_t *row = plane->bits + size_t(y + r) * size_t(plane->bytesPerRow);
        ApplyRowBits(row, x, width, [mode](uint8_t old, uint8_t range, int32_t) {
            return uint8_t(mode == MASKINVISIBLE ? old & ~range : old | range);
        });
    }
}

void BlitTemplateToMask(const MaskPlane *templ, int32_t tx, int32_t ty, MaskPlane *destination, int32_t x,
                        int32_t y, int32_t width, int32_t height, int32_t mode) {
    if (!templ || !destination) return;
    if (mode < TemplateMaskSet || mode > TemplateMaskOr) return;
    if (!ClipPair(tx, ty, MaskWidth(templ), MaskRows(templ), x, y, MaskWidth(destination), MaskRows(destination),
                  width, height))
        return;
    // Within one plane the rectangles may overlap anywhere, even inside a row: read from a copy of the rows.
    std::vector<uint8_t> copy;
    const uint8_t *base = templ->bits + size_t(ty) * size_t(templ->bytesPerRow);
    if (templ->bits == destination->bits) {
        copy.assign(base, base + size_t(height) * size_t(templ->bytesPerRow));
        base = copy.data();
    }
    for (int32_t r = 0; r < height; r++) {
        const uint8_t *src = base + size_t(r) * size_t(templ->bytesPerRow);
        uint8_t *row = destination->bits + size_t(y + r) * size_t(destination->bytesPerRow);
        // Source bits aligned to each destination byte: destination byte b covers pixels 8b..8b+7, which come
        // from template pixels (8b - x + tx)...
        ApplyRowBits(row, x, width, [&](uint8_t old, uint8_t range, int32_t byte) {
            int32_t srcX = byte * 8 - x + tx; // may be negative for the first byte: bits outside range ignored
            uint8_t bits;
            if (srcX >= 0) bits = ReadBits8(src, srcX, templ->bytesPerRow);
            else bits = uint8_t(ReadBits8(src, 0, templ->bytesPerRow) >> -srcX);
            bits &= range;
            switch (mode) {
            case TemplateMaskClear: return uint8_t(old & ~bits);
            case TemplateMaskCopy: return uint8_t((old & ~range) | bits);
            case TemplateMaskXor: return uint8_t(old ^ bits);
            case TemplateMaskAnd: return uint8_t(old & (~range | bits));
            default: return uint8_t(old | bits);
            }
        });
    }
}

namespace {

// Rounded (s * level + d * (255 - level)) / 255 on two 8-bit lanes at a time (bits 0-7 and 16-23).
inline uint32_t BlendLanes(uint32_t s, uint32_t d, uint32_t level) {
    uint32_t v = s * level + d * (255 - level) + 0x00800080;
    return ((v + ((v >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
}

inline uint32_t BlendPixel(uint32_t s, uint32_t d, uint32_t level) {
    return BlendLanes(s & 0x00FF00FF, d & 0x00FF00FF, level) |
           (BlendLanes((s >> 8) & 0x00FF00FF, (d >> 8) & 0x00FF00FF, level) << 8);
}

// The same rule byte by byte in 16-bit arithmetic (at most 255 * 255 + 128 + 254), which compilers turn into
// wide vector multiplies; the word form above stays as the oracle and the generic path.
void BlendBytes(const uint8_t *__restrict s, uint8_t *__restrict d, size_t n, uint16_t level) {
    uint16_t inverse = uint16_t(255 - level);
    for (size_t i = 0; i < n; i++) {
        uint16_t v = uint16_t(s[i] * level + d[i] * inverse + 128);
        d[i] = uint8_t((v + (v >> 8)) >> 8);
    }
}

} // namespace

void BlendBitmapLevel(const HostBitmap *source, int32_t sx, int32_t sy, HostBitmap *destination, int32_t dx,
                      int32_t dy, int32_t width, int32_t height, int32_t level) {
    if (!source || !destination) return;
    level = std::clamp(level, 0, 255);
    if (level == 0) return;
    if (level == 255) {
        BLTBITMAP(source, sx, sy, destination, dx, dy, width, height);
        return;
    }
    if (!ClipPair(sx, sy, source->width, source->height, dx, dy, destination->width, destination->height, width,
                  height))
        return;
    uint32_t lv = uint32_t(level);
    // Channels blend independently, so every 32-bit format takes the byte path (unless the rows overlap).
    bool fast = source->bytesPerPixel == 4 && source->format == destination->format &&
                source->pixels != destination->pixels;
    for (int32_t r = 0; r < height; r++) {
        if (fast) {
            BlendBytes(HostBitmapRow(source, sy + r) + size_t(sx) * 4, HostBitmapRow(destination, dy + r) + size_t(dx) * 4,
                       size_t(width) * 4, uint16_t(lv));
        } else if (source->bytesPerPixel == 4 && source->format == destination->format) {
            const uint32_t *s = HostBitmapRow32(source, sy + r) + sx;
            uint32_t *d = HostBitmapRow32(destination, dy + r) + dx;
            for (int32_t x = 0; x < width; x++) d[x] = BlendPixel(s[x], d[x], lv);
        } else {
            for (int32_t x = 0; x < width; x++) {
                uint32_t s = ReadPixelColour(source, sx + x, sy + r);
                uint32_t d = ReadPixelColour(destination, dx + x, dy + r);
                WritePixelColour(destination, dx + x, dy + r, BlendPixel(s, d, lv) & 0xFFFFFF);
            }
        }
    }
}

uint32_t QueryBlitCapabilities(uint32_t bits) { return bits & kBlitCapConstantBlend; }
