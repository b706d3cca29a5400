#include "imaging/planes.h"

#include <algorithm>
#include <cstring>

#include "imaging/pixels.h"

void FillAlphaRect(AlphaPlane *plane, int32_t x, int32_t y, int32_t width, int32_t height, uint8_t value) {
    if (!plane || !plane->bytes) return;
    int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
    int64_t x1 = std::min<int64_t>(int64_t(x) + width, plane->width);
    int64_t y1 = std::min<int64_t>(int64_t(y) + height, plane->height);
    for (int64_t j = y0; j < y1; ++j)
        if (x1 > x0) std::memset(plane->bytes + j * plane->bytesPerRow + x0, value, size_t(x1 - x0));
}

static uint8_t CombineByte(uint8_t s, uint8_t d, int32_t mode, int32_t parameter) {
    switch (mode) {
    case kAlphaCopyNonZero: return s ? s : d;
    case kAlphaScaled: return uint8_t(unsigned(s) * unsigned(std::clamp(parameter, 0, 255)) / 255);
    case kAlphaIntersect: return (s && d) ? s : 0;
    default: return s;
    }
}

static void CombineRect(const uint8_t *src, ptrdiff_t srcPitch, uint8_t *dst, ptrdiff_t dstPitch, int32_t w, int32_t h,
                        int32_t mode, int32_t parameter) {
    for (int32_t j = 0; j < h; ++j) {
        const uint8_t *s = src + j * srcPitch;
        uint8_t *d = dst + j * dstPitch;
        if (mode == kAlphaCopy)
            std::memmove(d, s, size_t(w));
        else
            for (int32_t i = 0; i < w; ++i) d[i] = CombineByte(s[i], d[i], mode, parameter);
    }
}

// Clips both rectangles; false when nothing is left.
static bool ClipPlanes(int32_t *sx, int32_t *sy, int32_t *dx, int32_t *dy, int32_t *w, int32_t *h, int32_t sw, int32_t sh,
                       int32_t dw, int32_t dh) {
    auto axis = [](int32_t *from, int32_t *to, int32_t *len, int32_t fromLimit, int32_t toLimit) {
        int32_t cut = std::max({0, -*from, -*to});
        *from += cut;
        *to += cut;
        *len -= cut;
        *len = int32_t(std::min<int64_t>({int64_t(*len), int64_t(fromLimit) - *from, int64_t(toLimit) - *to}));
    };
    axis(sx, dx, w, sw, dw);
    axis(sy, dy, h, sh, dh);
    return *w > 0 && *h > 0;
}

static int32_t Bound(int32_t given, int32_t real) { return given > 0 && given < real ? given : real; }

void BltAlphaPlaneClipped(const AlphaPlane *source, int32_t sx, int32_t sy, AlphaPlane *dest, int32_t dx, int32_t dy,
                          int32_t width, int32_t height, int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth,
                          int32_t destHeight, int32_t mode, int32_t parameter) {
    if (!source || !dest || !source->bytes || !dest->bytes) return;
    if (!ClipPlanes(&sx, &sy, &dx, &dy, &width, &height, Bound(sourceWidth, source->width),
                    Bound(sourceHeight, source->height), Bound(destWidth, dest->width), Bound(destHeight, dest->height)))
        return;
    CombineRect(source->bytes + ptrdiff_t(sy) * source->bytesPerRow + sx, source->bytesPerRow,
                dest->bytes + ptrdiff_t(dy) * dest->bytesPerRow + dx, dest->bytesPerRow, width, height, mode, parameter);
}

void BltAlphaPlane(const AlphaPlane *source, int32_t sx, int32_t sy, AlphaPlane *dest, int32_t dx, int32_t dy,
                   int32_t width, int32_t height, int32_t mode, int32_t parameter) {
    BltAlphaPlaneClipped(source, sx, sy, dest, dx, dy, width, height, 0, 0, 0, 0, mode, parameter);
}

void MultiplyAlphaPlane(const uint8_t *source, uint8_t *dest, int32_t level, int32_t bytesPerRow, int32_t rows) {
    if (!source || !dest || bytesPerRow <= 0 || rows <= 0) return;
    const unsigned l = unsigned(std::clamp(level, 0, 255));
    const size_t n = size_t(bytesPerRow) * size_t(rows);
    for (size_t i = 0; i < n; ++i) dest[i] = uint8_t(source[i] * l / 255);
}

void InvertPlane(uint8_t *plane, int32_t rows, int32_t bytesPerRow) {
    if (!plane || rows <= 0 || bytesPerRow <= 0) return;
    const size_t n = size_t(rows) * size_t(bytesPerRow);
    for (size_t i = 0; i < n; ++i) plane[i] = uint8_t(~plane[i]);
}
