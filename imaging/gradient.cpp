#include "imaging/gradient.h"

#include "imaging/blit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

GradientAxis::GradientAxis(int32_t w, int32_t h, double angle) {
    const double r = angle * M_PI / 180.0;
    dx = std::cos(r);
    dy = std::sin(r);
    if (std::fabs(dx) < 1e-12) dx = 0;
    if (std::fabs(dy) < 1e-12) dy = 0;
    const double cx[4] = {0.5, w - 0.5, 0.5, w - 0.5}, cy[4] = {0.5, 0.5, h - 0.5, h - 0.5};
    lo = INFINITY;
    double hi = -INFINITY;
    for (int k = 0; k < 4; ++k) {
        double p = cx[k] * dx + cy[k] * dy;
        lo = std::min(lo, p);
        hi = std::max(hi, p);
    }
    scale = hi - lo > 1e-9 ? 65536.0 / (hi - lo) : 0;
}

namespace {
uint8_t Step(int s, int e, int32_t k) { return uint8_t(s + (((e - s) * k + 32768) >> 16)); }

Channels GradientChannels(Channels s, Channels e, int32_t k) {
    return Channels{Step(s.r, e.r, k), Step(s.g, e.g, k), Step(s.b, e.b, k), 0};
}
} // namespace

GradientRows::GradientRows(int32_t width, int32_t height, uint32_t startColor, uint32_t endColor, double angle)
    : axis(width, height, angle), start(ColorChannels(startColor & 0xFFFFFF)), end(ColorChannels(endColor & 0xFFFFFF)) {
    if (axis.dy == 0 && width > 0) {
        across.resize(size_t(width));
        for (int32_t i = 0; i < width; ++i) across[size_t(i)] = ChannelsColor(GradientChannels(start, end, axis.At(i, 0)));
    }
}

void GradientRows::Row(int32_t i, int32_t j, int32_t n, uint32_t *out) const {
    if (!across.empty()) {
        std::copy(across.begin() + i, across.begin() + i + n, out);
        return;
    }
    if (axis.dx == 0) {
        std::fill(out, out + n, ChannelsColor(GradientChannels(start, end, axis.At(i, j))));
        return;
    }
    for (int32_t k = 0; k < n; ++k) out[k] = ChannelsColor(GradientChannels(start, end, axis.At(i + k, j)));
}

void DRAWGRADIENT(HostBitmap *bitmap, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t startColor,
                  uint32_t endColor, double angle) {
    if (!bitmap || !bitmap->pixels || width <= 0 || height <= 0) return;
    const GradientAxis axis(width, height, angle);
    const Channels s = ColorChannels(startColor & 0xFFFFFF), e = ColorChannels(endColor & 0xFFFFFF);
    const PixelBuffer b = BitmapPixels(bitmap);
    const int32_t i0 = std::max(0, -x), j0 = std::max(0, -y);
    const int32_t i1 = int32_t(std::min<int64_t>(width, int64_t(bitmap->width) - x));
    const int32_t j1 = int32_t(std::min<int64_t>(height, int64_t(bitmap->height) - y));
    for (int32_t j = j0; j < j1; ++j)
        for (int32_t i = i0; i < i1; ++i) WritePixelGeneric(b, x + i, y + j, GradientChannels(s, e, axis.At(i, j)));
}

static int32_t Wrap(int64_t v, int32_t n) {
    int64_t r = v % n;
    return int32_t(r < 0 ? r + n : r);
}

template <class F>
static void TileRows(const PixelBuffer &d, int x, int y, int w, int h, const PixelBuffer &t, int ox, int oy) {
    for (int j = 0; j < h; ++j) {
        const uint8_t *trow = t.Row(Wrap(int64_t(oy) + j, t.height));
        uint8_t *out = d.At(x, y + j);
        int tx = Wrap(ox, t.width);
        for (int i = 0; i < w;) {
            // Whole runs of the texture row at a time.
            int run = std::min(w - i, t.width - tx);
            std::memcpy(out + size_t(i) * F::kBytes, trow + size_t(tx) * F::kBytes, size_t(run) * F::kBytes);
            i += run;
            tx = 0;
        }
    }
}

void TexturePixels(const PixelBuffer &d, int x, int y, int w, int h, const PixelBuffer &t, int offsetX, int offsetY) {
    if (w <= 0 || h <= 0 || t.width <= 0 || t.height <= 0) return;
    if (d.bytesPerPixel != t.bytesPerPixel) {
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                WritePixelGeneric(d, x + i, y + j,
                                  ReadPixelGeneric(t, Wrap(int64_t(offsetX) + i, t.width), Wrap(int64_t(offsetY) + j, t.height)));
        return;
    }
    DispatchFormat(d.bytesPerPixel, [&](auto format) { TileRows<decltype(format)>(d, x, y, w, h, t, offsetX, offsetY); });
}

void TextureFill(HostBitmap *dest, int32_t x, int32_t y, int32_t width, int32_t height, const HostBitmap *texture,
                 int32_t offsetX, int32_t offsetY, int32_t textureWidth, int32_t textureHeight) {
    if (!dest || !texture || !dest->pixels || !texture->pixels) return;
    PixelBuffer t = BitmapPixels(texture);
    if (textureWidth > 0) t.width = std::min(textureWidth, t.width);
    if (textureHeight > 0) t.height = std::min(textureHeight, t.height);
    // Clipping the left/top edge moves the texture phase with it.
    const int64_t cutX = ClipSpan(&x, &width, dest->width), cutY = ClipSpan(&y, &height, dest->height);
    if (width <= 0 || height <= 0) return;
    if (cutX) offsetX = int32_t((int64_t(offsetX) + cutX) % std::max(t.width, 1));
    if (cutY) offsetY = int32_t((int64_t(offsetY) + cutY) % std::max(t.height, 1));
    TexturePixels(BitmapPixels(dest), x, y, width, height, t, offsetX, offsetY);
}
