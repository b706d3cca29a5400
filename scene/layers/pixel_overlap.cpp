// PixelOverlap a row at a time: every plane of a row gives 64 pixels as one word (bit set = that plane lets the
// pixel through), the words are ANDed, and the first non-zero word is a hit. Same answers as the per-pixel
// PixelOverlap of the compositor, which stays as the reference.
#include <algorithm>
#include <cstring>

#include "imaging/clip_region.h"
#include "scene/layers/layers.h"

namespace {

// n (1..64) pixels from column col of a 1-bit plane row, the leftmost in the top bit; pixels outside
// [0, width) x [0, rows) read 0 (rows 0: no row limit).
uint64_t MaskWord(const MaskPlane *m, int32_t col, int32_t row, int32_t n, int32_t width, int32_t rows) {
    if (row < 0 || (rows && row >= rows)) return 0;
    const uint8_t *bits = m->bits + size_t(row) * size_t(m->bytesPerRow);
    const int32_t bytes = m->bytesPerRow;
    uint64_t w = 0;
    if (col >= 0 && col + n <= width) {
        const int32_t first = col >> 3, shift = col & 7;
        if (first + 8 <= bytes) {
            std::memcpy(&w, bits + first, 8);
            w = __builtin_bswap64(w);
        } else {
            for (int32_t i = 0; i < 8 && first + i < bytes; i++) w |= uint64_t(bits[first + i]) << (56 - 8 * i);
        }
        if (shift) {
            w <<= shift;
            if (first + 8 < bytes) w |= uint64_t(bits[first + 8]) >> (8 - shift);
        }
    } else {
        for (int32_t i = 0; i < n; i++) {
            const int32_t c = col + i;
            if (c >= 0 && c < width && ((bits[c >> 3] >> (7 - (c & 7))) & 1)) w |= uint64_t(1) << (63 - i);
        }
    }
    return n == 64 ? w : w & (~uint64_t(0) << (64 - n));
}

uint64_t AlphaWord(const AlphaPlane *a, int32_t col, int32_t row, int32_t n) {
    if (row < 0 || row >= a->height) return 0;
    const uint8_t *bytes = a->bytes + size_t(row) * size_t(a->bytesPerRow);
    uint64_t w = 0;
    const int32_t from = std::max(0, -col), to = std::min(n, a->width - col);
    int32_t i = from;
    // Eight bytes at a time: the top bit of each byte says "not zero", the multiply gathers them leftmost first.
    for (; i + 8 <= to; i += 8) {
        uint64_t v;
        std::memcpy(&v, bytes + col + i, 8);
        const uint64_t low7 = 0x7F7F7F7F7F7F7F7FULL;
        const uint64_t set = (((v & low7) + low7) | v) & ~low7;
        w |= (((set >> 7) * 0x8040201008040201ULL) >> 56) << (56 - i);
    }
    for (; i < to; i++) w |= uint64_t(bytes[col + i] != 0) << (63 - i);
    return w;
}

} // namespace

int PixelOverlapFast(int32_t ax, int32_t ay, int32_t aw, int32_t ah, const MaskPlane *amask,
                     const AlphaPlane *aalpha, int32_t aox, int32_t aoy, int32_t bx, int32_t by, int32_t bw,
                     int32_t bh, const MaskPlane *bmask, const AlphaPlane *balpha, int32_t box, int32_t boy,
                     const ClipRegion *aclip, const ClipRegion *bclip) {
    if (aw <= 0 || ah <= 0 || bw <= 0 || bh <= 0) return 0; // an empty cut is no collision
    if (!RectsOverlap(ax, ay, ax + aw - 1, ay + ah - 1, bx, by, bx + bw - 1, by + bh - 1)) return 0;
    if (aclip && !aclip->mask) aclip = nullptr;
    if (bclip && !bclip->mask) bclip = nullptr;
    if (!amask && !aalpha && !bmask && !balpha && !aclip && !bclip) return 1;
    const int32_t left = std::max(ax, bx), top = std::max(ay, by);
    const int32_t right = std::min(ax + aw - 1, bx + bw - 1), bottom = std::min(ay + ah - 1, by + bh - 1);
    for (int32_t y = top; y <= bottom; y++) {
        for (int32_t x = left; x <= right; x += 64) {
            const int32_t n = std::min(64, right - x + 1);
            uint64_t w = n == 64 ? ~uint64_t(0) : ~uint64_t(0) << (64 - n);
            const int32_t acol = x - ax + aox, arow = y - ay + aoy, bcol = x - bx + box, brow = y - by + boy;
            // Cheap planes first: a zero word skips the alpha bytes of the span.
            if (amask) w &= MaskWord(amask, acol, arow, n, amask->bytesPerRow * 8, amask->rows);
            if (w && bmask) w &= MaskWord(bmask, bcol, brow, n, bmask->bytesPerRow * 8, bmask->rows);
            if (w && aclip) w &= MaskWord(aclip->mask, x - aclip->x, y - aclip->y, n, aclip->width, aclip->height);
            if (w && bclip) w &= MaskWord(bclip->mask, x - bclip->x, y - bclip->y, n, bclip->width, bclip->height);
            if (w && aalpha) w &= AlphaWord(aalpha, acol, arow, n);
            if (w && balpha) w &= AlphaWord(balpha, bcol, brow, n);
            if (w) return 1;
        }
    }
    return 0;
}
