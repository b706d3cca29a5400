#include "imaging/blit.h"

#include <algorithm>
#include <cstring>

#include "imaging/blit_kernels.h"
#include "runtime/app/errors.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

HostBitmap *(*CurrentOutputBitmapHook)() = nullptr;

// SSE2 is part of every x86-64 CPU, so the vector path needs no runtime check there; other machines take the
// scalar loop, which g++ vectorises where it can.
#if defined(__SSE2__)
// Four pixels of s blended over d by the four alpha bytes of a4 (the rule of BlendChannel, 255 giving s).
static inline __m128i BlendFour(__m128i d, __m128i s, uint32_t a4) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i k256 = _mm_set1_epi16(256);
    __m128i a = _mm_cvtsi32_si128(int(a4));
    a = _mm_unpacklo_epi8(a, a);
    a = _mm_unpacklo_epi16(a, a); // each alpha byte repeated over its pixel's four bytes
    const __m128i full = _mm_cmpeq_epi8(a, _mm_set1_epi8(char(0xFF)));
    const __m128i al = _mm_unpacklo_epi8(a, zero), ah = _mm_unpackhi_epi8(a, zero);
    const __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(k256, al)),
                                     _mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), al));
    const __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(k256, ah)),
                                     _mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), ah));
    const __m128i r = _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8));
    return _mm_or_si128(_mm_and_si128(full, s), _mm_andnot_si128(full, r));
}

static inline __m128i Load16(const uint8_t *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
static inline void Store16(uint8_t *p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v); }
#endif

void BlendRowAlpha32(uint8_t *dst, const uint8_t *src, const uint8_t *alpha, int width) {
    int i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= width; i += 4) {
        uint32_t a4;
        std::memcpy(&a4, alpha + i, 4);
        if (a4 == 0) continue;
        const __m128i s = Load16(src + i * 4);
        Store16(dst + i * 4, a4 == 0xFFFFFFFFu ? s : BlendFour(Load16(dst + i * 4), s, a4));
    }
#endif
    for (; i < width; ++i) {
        unsigned a = alpha[i];
        for (int c = 0; c < 4; ++c) dst[i * 4 + c] = BlendChannel(dst[i * 4 + c], src[i * 4 + c], a);
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
// Eight pixels at a time where the CPU has AVX2 (most text and cursor blends are wide rows): the same rule as
// BlendFour, so the pixels do not depend on the machine. Returns the pixels done, a multiple of 8.
__attribute__((target("avx2"), always_inline)) static inline int
BlendRowAvx2(uint8_t *dst, __m256i s, __m256i sl, __m256i sh, const uint8_t *alpha, int width) {
    const __m256i zero = _mm256_setzero_si256(), k256 = _mm256_set1_epi16(256),
                  opaque = _mm256_set1_epi8(char(0xFF));
    // Each lane repeats its four alpha bytes over their pixels' four bytes.
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 6,
                                            6, 6, 6, 7, 7, 7, 7);
    int i = 0;
    for (; i + 8 <= width; i += 8) {
        uint64_t a8;
        std::memcpy(&a8, alpha + i, 8);
        if (a8 == 0) continue;
        __m256i *d8 = reinterpret_cast<__m256i *>(dst + size_t(i) * 4);
        if (a8 == ~uint64_t(0)) {
            _mm256_storeu_si256(d8, s);
            continue;
        }
        const __m256i a = _mm256_shuffle_epi8(_mm256_set1_epi64x(int64_t(a8)), spread);
        const __m256i d = _mm256_loadu_si256(d8);
        const __m256i al = _mm256_unpacklo_epi8(a, zero), ah = _mm256_unpackhi_epi8(a, zero);
        const __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), _mm256_sub_epi16(k256, al)),
                                            _mm256_mullo_epi16(sl, al));
        const __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), _mm256_sub_epi16(k256, ah)),
                                            _mm256_mullo_epi16(sh, ah));
        const __m256i r = _mm256_packus_epi16(_mm256_srli_epi16(lo, 8), _mm256_srli_epi16(hi, 8));
        _mm256_storeu_si256(d8, _mm256_blendv_epi8(r, s, _mm256_cmpeq_epi8(a, opaque)));
    }
    return i;
}

// The rectangle row by row; all of each row is done when width is a multiple of 8.
__attribute__((target("avx2"))) static int BlendPixelRectAlpha32Avx2(uint8_t *dst, size_t dstStride,
                                                                     uint32_t pixel, const uint8_t *alpha,
                                                                     size_t alphaStride, int width,
                                                                     int rows) {
    const __m256i zero = _mm256_setzero_si256(), s = _mm256_set1_epi32(int(pixel));
    const __m256i sl = _mm256_unpacklo_epi8(s, zero), sh = _mm256_unpackhi_epi8(s, zero);
    int done = 0;
    for (int j = 0; j < rows; ++j)
        done = BlendRowAvx2(dst + j * dstStride, s, sl, sh, alpha + j * alphaStride, width);
    return done;
}

static const bool HasAvx2 = __builtin_cpu_supports("avx2");
#endif

void BlendPixelRowAlpha32(uint8_t *dst, uint32_t pixel, const uint8_t *alpha, int width) {
    int i = 0;
#if defined(__x86_64__) && defined(__GNUC__)
    if (HasAvx2) i = BlendPixelRectAlpha32Avx2(dst, 0, pixel, alpha, 0, width, 1);
#endif
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i opaque = _mm_set1_epi8(char(0xFF));
    const __m128i s = _mm_set1_epi32(int(pixel));
    for (; i + 16 <= width; i += 16) {
        const __m128i a16 = Load16(alpha + i);
        const int clear = _mm_movemask_epi8(_mm_cmpeq_epi8(a16, zero));
        if (clear == 0xFFFF) continue;
        const int full = _mm_movemask_epi8(_mm_cmpeq_epi8(a16, opaque));
        for (int k = 0; k < 16; k += 4) {
            if (((clear >> k) & 0xF) == 0xF) continue;
            uint8_t *d4 = dst + (i + k) * 4;
            uint32_t a4;
            std::memcpy(&a4, alpha + i + k, 4);
            Store16(d4, ((full >> k) & 0xF) == 0xF ? s : BlendFour(Load16(d4), s, a4));
        }
    }
    for (; i + 4 <= width; i += 4) {
        uint32_t a4;
        std::memcpy(&a4, alpha + i, 4);
        if (a4) Store16(dst + i * 4, BlendFour(Load16(dst + i * 4), s, a4));
    }
#endif
    uint8_t source[4];
    std::memcpy(source, &pixel, 4);
    for (; i < width; ++i) {
        const unsigned a = alpha[i];
        if (a)
            for (int c = 0; c < 4; ++c) dst[i * 4 + c] = BlendChannel(dst[i * 4 + c], source[c], a);
    }
}

void BlendPixelRectAlpha32(uint8_t *dst, size_t dstStride, uint32_t pixel, const uint8_t *alpha,
                           size_t alphaStride, int width, int rows) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (HasAvx2 && width % 8 == 0) {
        BlendPixelRectAlpha32Avx2(dst, dstStride, pixel, alpha, alphaStride, width, rows);
        return;
    }
#endif
    for (int j = 0; j < rows; ++j)
        BlendPixelRowAlpha32(dst + j * dstStride, pixel, alpha + j * alphaStride, width);
}

void BlendRowsLevel32(uint8_t *dst, const uint8_t *under, const uint8_t *over, unsigned level, int width) {
    BlendRowsWeighted32(dst, under, over, level >= 255 ? 256 : level, width);
}

void BlendRowsWeighted32(uint8_t *dst, const uint8_t *under, const uint8_t *over, unsigned weight, int width) {
    if (weight == 0 || weight >= 256) {
        if (dst != (weight ? over : under)) std::memmove(dst, weight ? over : under, size_t(width) * 4);
        return;
    }
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_set1_epi16(short(weight)), na = _mm_set1_epi16(short(256 - weight));
    for (; i + 4 <= width; i += 4) {
        __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i *>(under + i * 4));
        __m128i o = _mm_loadu_si128(reinterpret_cast<const __m128i *>(over + i * 4));
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(u, zero), na),
                                   _mm_mullo_epi16(_mm_unpacklo_epi8(o, zero), a));
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(u, zero), na),
                                   _mm_mullo_epi16(_mm_unpackhi_epi8(o, zero), a));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i * 4),
                         _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
    }
#endif
    for (; i < width; ++i)
        for (int c = 0; c < 4; ++c) dst[i * 4 + c] = WeightChannel(under[i * 4 + c], over[i * 4 + c], weight);
}

void BlitRectGeneric(const PixelBuffer &src, int sx, int sy, const PixelBuffer &dst, int dx, int dy, int w, int h,
                     const PlaneBuffer &mask, const PlaneBuffer &alpha) {
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            if (mask.data && !MaskBit(mask.Row(sy + j), sx + i)) continue;
            unsigned a = alpha.data ? alpha.Row(sy + j)[sx + i] : 255;
            if (a == 0) continue;
            Channels s = ReadPixelGeneric(src, sx + i, sy + j);
            Channels d = ReadPixelGeneric(dst, dx + i, dy + j);
            WritePixelGeneric(dst, dx + i, dy + j, BlendChannels(d, s, a));
        }
    }
}

void BlitRect(const PixelBuffer &src, int sx, int sy, const PixelBuffer &dst, int dx, int dy, int w, int h,
              const PlaneBuffer &mask, const PlaneBuffer &alpha) {
    if (w <= 0 || h <= 0) return;
    if (src.bytesPerPixel != dst.bytesPerPixel) {
        BlitRectGeneric(src, sx, sy, dst, dx, dy, w, h, mask, alpha);
        return;
    }
    const int bpp = src.bytesPerPixel;
    if (!mask.data && !alpha.data) {
        // Overlapping rows of one buffer (scrolling) need memmove; it costs nothing extra otherwise.
        const bool upward = src.pixels == dst.pixels && sy < dy;
        for (int j = 0; j < h; ++j) {
            int r = upward ? h - 1 - j : j;
            std::memmove(dst.At(dx, dy + r), src.At(sx, sy + r), size_t(w) * size_t(bpp));
        }
        return;
    }
    if (!mask.data && bpp == 4) {
        for (int j = 0; j < h; ++j)
            BlendRowAlpha32(dst.At(dx, dy + j), src.At(sx, sy + j), alpha.Row(sy + j) + sx, w);
        return;
    }
    DispatchFormat(bpp, [&](auto format) {
        using F = decltype(format);
        if (!alpha.data)
            BlitRows<F>(src, sx, sy, dst, dx, dy, w, h, MaskCopyRule{mask, sx, sy});
        else if (!mask.data)
            BlitRows<F>(src, sx, sy, dst, dx, dy, w, h, AlphaBlendRule<false>{alpha, sx, sy, mask, sx, sy});
        else
            BlitRows<F>(src, sx, sy, dst, dx, dy, w, h, AlphaBlendRule<true>{alpha, sx, sy, mask, sx, sy});
    });
}

void BlendColorRectGeneric(const PlaneBuffer &coverage, int cx, int cy, const PixelBuffer &dst, int dx, int dy,
                           int w, int h, uint32_t rgb) {
    Channels color = ColorChannels(rgb & 0xFFFFFF);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            unsigned a = coverage.Row(cy + j)[cx + i];
            if (!a) continue;
            WritePixelGeneric(dst, dx + i, dy + j, BlendChannels(ReadPixelGeneric(dst, dx + i, dy + j), color, a));
        }
}

void BlendColorRect(const PlaneBuffer &coverage, int cx, int cy, const PixelBuffer &dst, int dx, int dy, int w,
                    int h, uint32_t rgb) {
    if (w <= 0 || h <= 0) return;
    if (dst.bytesPerPixel == 4) {
        // Channel by channel in a 32-bit word is byte by byte: the one-pixel row kernel gives the same values.
        for (int j = 0; j < h; ++j)
            BlendPixelRowAlpha32(dst.At(dx, dy + j), rgb & 0xFFFFFF, coverage.Row(cy + j) + cx, w);
        return;
    }
    Channels color = ColorChannels(rgb & 0xFFFFFF);
    DispatchFormat(dst.bytesPerPixel, [&](auto format) {
        using F = decltype(format);
        BlitRows<F>(PixelBuffer{}, 0, 0, dst, dx, dy, w, h, ColorCoverageRule{coverage, cx, cy, color});
    });
}

// Shrinks [start, start + length) of both sides so that it lies in [lo, limit) on one side. In 64 bits: positions
// anywhere in the 32-bit range must clip, not overflow; an empty range keeps only its zero length.
static void ClipAxis(int32_t *from, int32_t *to, int32_t *length, int32_t lo, int32_t limit, bool onTarget) {
    int64_t f = *from, t = *to, n = *length;
    int64_t &p = onTarget ? t : f;
    if (p < lo) {
        const int64_t cut = lo - p;
        f += cut;
        t += cut;
        n -= cut;
    }
    if (p + n > limit) n = limit - p;
    // A side pushed past INT32_MAX lies beyond every bitmap: nothing is left to copy.
    if (n <= 0 || f > INT32_MAX || t > INT32_MAX) {
        *length = 0;
        return;
    }
    *from = int32_t(f);
    *to = int32_t(t);
    *length = int32_t(n);
}

int64_t ClipSpan(int32_t *start, int32_t *length, int32_t limit) {
    const int64_t from = std::max<int64_t>(*start, 0);
    const int64_t to = std::min<int64_t>(int64_t(*start) + *length, limit);
    if (to <= from) {
        *length = 0;
        return 0;
    }
    const int64_t cut = from - *start;
    *start = int32_t(from);
    *length = int32_t(to - from);
    return cut;
}

bool ClipBlitRect(const ClipRegion *clip, int32_t *sx, int32_t *sy, int32_t *dx, int32_t *dy, int32_t *width,
                  int32_t *height, int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth, int32_t destHeight,
                  int) {
    ClipAxis(sx, dx, width, 0, sourceWidth, false);
    ClipAxis(sy, dy, height, 0, sourceHeight, false);
    ClipAxis(sx, dx, width, 0, destWidth, true);
    ClipAxis(sy, dy, height, 0, destHeight, true);
    if (clip) {
        ClipAxis(sx, dx, width, clip->x, int32_t(std::min<int64_t>(int64_t(clip->x) + clip->width, INT32_MAX)), true);
        ClipAxis(sy, dy, height, clip->y, int32_t(std::min<int64_t>(int64_t(clip->y) + clip->height, INT32_MAX)),
                 true);
    }
    return *width > 0 && *height > 0;
}

// Sizes a caller gives may be stale or zero; the bitmap's own size always bounds them.
static int32_t Bound(int32_t given, int32_t real) { return given > 0 && given < real ? given : real; }

int SAFEBLT(const HostBitmap *src, int32_t sx, int32_t sy, HostBitmap *dst, int32_t dx, int32_t dy, int32_t width,
            int32_t height, int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth, int32_t destHeight,
            int32_t flags, const MaskPlane *mask, const AlphaPlane *alpha, const ClipRegion *clip) {
    if (!dst && CurrentOutputBitmapHook) dst = CurrentOutputBitmapHook();
    if (!src || !dst || !src->pixels || !dst->pixels) return 0;
    if (PixelFormatBytes(src->format) == 0 || PixelFormatBytes(dst->format) == 0) return kErrWrongUsage;
    const bool plain = flags & kBlitPlain;
    if (plain) {
        mask = nullptr;
        alpha = nullptr;
        clip = nullptr;
    }
    int32_t sw = Bound(sourceWidth, src->width), sh = Bound(sourceHeight, src->height);
    if (alpha) {
        sw = std::min(sw, alpha->width);
        sh = std::min(sh, alpha->height);
    }
    if (mask) {
        sw = std::min(sw, mask->bytesPerRow * 8);
        if (mask->rows > 0) sh = std::min(sh, mask->rows);
    }
    if (!ClipBlitRect(clip, &sx, &sy, &dx, &dy, &width, &height, sw, sh, Bound(destWidth, dst->width),
                      Bound(destHeight, dst->height)))
        return 0;
    PixelBuffer s = BitmapPixels(src), d = BitmapPixels(dst);
    PlaneBuffer m = MaskPixels(mask, src->width, src->height), a = AlphaPixels(alpha);
    if (clip && clip->mask) {
        // A shaped region: each row goes through in the runs its mask lets pass.
        for (int32_t j = 0; j < height; ++j)
            for (int32_t i = 0; i < width;) {
                if (!ClipRegionContains(clip, dx + i, dy + j)) {
                    ++i;
                    continue;
                }
                int32_t run = 1;
                while (i + run < width && ClipRegionContains(clip, dx + i + run, dy + j)) ++run;
                BlitRect(s, sx + i, sy + j, d, dx + i, dy + j, run, 1, m, a);
                i += run;
            }
        return 0;
    }
    BlitRect(s, sx, sy, d, dx, dy, width, height, m, a);
    return 0;
}

bool BlendPixelThroughAlpha(uint32_t pixel, const AlphaPlane *alpha, HostBitmap *dst, int32_t dx, int32_t dy,
                            const ClipRegion *clip) {
    if (!dst || PixelFormatBytes(dst->format) != 4 || (clip && clip->mask)) return false;
    if (!alpha || !alpha->bytes || !dst->pixels) return true;
    int32_t sx = 0, sy = 0, width = alpha->width, height = alpha->height;
    if (!ClipBlitRect(clip, &sx, &sy, &dx, &dy, &width, &height, alpha->width, alpha->height, dst->width,
                      dst->height))
        return true;
    const PixelBuffer d = BitmapPixels(dst);
    const PlaneBuffer a = AlphaPixels(alpha);
    for (int32_t j = 0; j < height; ++j) BlendPixelRowAlpha32(d.At(dx, dy + j), pixel, a.Row(sy + j) + sx, width);
    return true;
}

void BLTALPHABITMAP(const HostBitmap *src, int32_t sx, int32_t sy, HostBitmap *dst, int32_t dx, int32_t dy,
                    int32_t width, int32_t height, const AlphaPlane *alpha) {
    if (!alpha) {
        SAFEBLT(src, sx, sy, dst, dx, dy, width, height, 0, 0, 0, 0, kBlitPlain | kBlitToBitmap, nullptr, nullptr,
                nullptr);
        return;
    }
    SAFEBLT(src, sx, sy, dst, dx, dy, width, height, 0, 0, 0, 0, kBlitMasked | kBlitToBitmap, nullptr, alpha,
            nullptr);
}

void BLTALPHACHANNEL(const AlphaPlane *alpha, int32_t sx, int32_t sy, HostBitmap *dst, int32_t dx, int32_t dy,
                     int32_t width, int32_t height, uint32_t color, int32_t mode, const HostBitmap *source) {
    if (!alpha || !dst || !dst->pixels) return;
    if (mode != kAlphaChannelColor) {
        BLTALPHABITMAP(source, sx, sy, dst, dx, dy, width, height, alpha);
        return;
    }
    if (!ClipBlitRect(nullptr, &sx, &sy, &dx, &dy, &width, &height, alpha->width, alpha->height, dst->width,
                      dst->height))
        return;
    BlendColorRect(AlphaPixels(alpha), sx, sy, BitmapPixels(dst), dx, dy, width, height, color);
}
