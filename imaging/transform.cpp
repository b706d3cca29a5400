#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/tasks.h"
#include "imaging/image_ops.h"
#include "runtime/app/errors.h"

// Corner offsets of a width x height rectangle through the matrix, relative to (ox, oy).
static void TransformedExtent(const double m[4], double w, double h, double ox, double oy, double *minX,
                              double *minY, double *maxX, double *maxY) {
    const double xs[4] = {-ox, w - ox, -ox, w - ox}, ys[4] = {-oy, -oy, h - oy, h - oy};
    *minX = *minY = INFINITY;
    *maxX = *maxY = -INFINITY;
    for (int k = 0; k < 4; ++k) {
        double x = m[0] * xs[k] + m[2] * ys[k], y = m[1] * xs[k] + m[3] * ys[k];
        *minX = std::min(*minX, x);
        *maxX = std::max(*maxX, x);
        *minY = std::min(*minY, y);
        *maxY = std::max(*maxY, y);
    }
}

// A tolerance so that 90-degree rotations, whose sines are not exact, do not gain a pixel.
constexpr double kSizeEpsilon = 1e-6;

static int32_t ExtentSize(double lo, double hi) {
    double s = std::ceil(hi - lo - kSizeEpsilon);
    if (!(s >= 1)) return 1;
    return int32_t(std::min<double>(s, kMaxBitmapSide));
}

void ScaledImageSize(const double matrix[4], int32_t width, int32_t height, int32_t *outWidth, int32_t *outHeight) {
    double x0, y0, x1, y1;
    TransformedExtent(matrix, width, height, 0, 0, &x0, &y0, &x1, &y1);
    *outWidth = ExtentSize(x0, x1);
    *outHeight = ExtentSize(y0, y1);
}

void TransformedBounds(int32_t x, int32_t y, int32_t width, int32_t height, const double matrix[4], int32_t *outX,
                       int32_t *outY, int32_t *outWidth, int32_t *outHeight, double anchorX, double anchorY) {
    const double ax = anchorX * width, ay = anchorY * height;
    double x0, y0, x1, y1;
    TransformedExtent(matrix, width, height, ax, ay, &x0, &y0, &x1, &y1);
    *outX = int32_t(std::floor(x + ax + x0 + 0.5));
    *outY = int32_t(std::floor(y + ay + y0 + 0.5));
    *outWidth = ExtentSize(x0, x1);
    *outHeight = ExtentSize(y0, y1);
}

// Nearest-pixel rendering with the layout known at compile time; positions step along the row.
template <class F>
static void TransformNearest(const PixelBuffer &src, int32_t sx, int32_t sy, int32_t width, int32_t height,
                             const PlaneBuffer &sm, const AlphaPlane *alpha, const PixelBuffer &dst, AlphaPlane *a,
                             MaskPlane *m, const double inv[4], double ox, double oy, int32_t i0, int32_t j0) {
    // A picture of the largest side takes a while: a program told to end stops here (the rows left stay empty).
    for (int32_t j = 0; j < dst.height && !EndRequested(); ++j) {
        const double dy = oy + (j0 + j) + 0.5;
        // 16.16 fixed point: a 32768-pixel row drifts by at most half a 65536th per step, far below a pixel.
        const int64_t rowX = std::llround((inv[0] * (ox + 0.5) + inv[1] * dy) * 65536.0);
        const int64_t rowY = std::llround((inv[2] * (ox + 0.5) + inv[3] * dy) * 65536.0);
        const int64_t stepX = std::llround(inv[0] * 65536.0), stepY = std::llround(inv[2] * 65536.0);
        uint8_t *out = dst.Row(j);
        uint8_t *alphaRow = a ? a->bytes + ptrdiff_t(j) * a->bytesPerRow : nullptr;
        uint8_t *maskRow = m ? m->bits + ptrdiff_t(j) * m->bytesPerRow : nullptr;
        for (int32_t i = 0; i < dst.width; ++i) {
            const int64_t fx = (rowX + (i0 + i) * stepX) >> 16, fy = (rowY + (i0 + i) * stepY) >> 16;
            if (fx < 0 || fy < 0 || fx >= width || fy >= height) continue;
            const int32_t px = int32_t(fx), py = int32_t(fy);
            const int32_t qx = sx + px, qy = sy + py;
            if (qx < 0 || qy < 0 || qx >= src.width || qy >= src.height) continue; // beyond a part's source
            if (sm.data && (qx >= sm.pitch * 8 || qy >= sm.height || !MaskBit(sm.Row(qy), qx))) continue;
            unsigned v = 255;
            if (alpha) {
                v = (qx < alpha->width && qy < alpha->height) ? alpha->bytes[ptrdiff_t(qy) * alpha->bytesPerRow + qx] : 0;
                if (!v) continue;
            }
            F::Store(out + i * F::kBytes, F::Load(src.At(qx, qy)));
            if (alphaRow) alphaRow[i] = uint8_t(v);
            else SetMaskBit(maskRow, i, true);
        }
    }
}

int TransformImage(const HostBitmap *bitmap, const MaskPlane *mask, const AlphaPlane *alpha, int32_t sx, int32_t sy,
                   int32_t width, int32_t height, const double matrix[4], bool smooth, HostBitmap **outBitmap,
                   MaskPlane **outMask, AlphaPlane **outAlpha, int32_t *outWidth, int32_t *outHeight,
                   const TransformPart *part) {
    *outBitmap = nullptr;
    if (outMask) *outMask = nullptr;
    if (outAlpha) *outAlpha = nullptr;
    if (!bitmap || !bitmap->pixels) return kErrWrongUsage;
    if (part) {
        // Source positions are the whole source's; the bitmap starts at (sourceX, sourceY) of it.
        sx = -part->sourceX, sy = -part->sourceY;
        width = part->wholeWidth, height = part->wholeHeight;
    } else {
        sx = std::max(sx, 0);
        sy = std::max(sy, 0);
        width = std::min(width, bitmap->width - sx);
        height = std::min(height, bitmap->height - sy);
    }
    const double det = matrix[0] * matrix[3] - matrix[1] * matrix[2];
    if (width <= 0 || height <= 0 || std::fabs(det) < 1e-12 || !std::isfinite(det)) return kErrWrongUsage;
    // Inverse matrix: destination offsets back to source positions.
    const double ia = matrix[3] / det, ib = -matrix[2] / det, ic = -matrix[1] / det, id = matrix[0] / det;
    double x0, y0, x1, y1;
    TransformedExtent(matrix, width, height, 0, 0, &x0, &y0, &x1, &y1);
    int32_t w = ExtentSize(x0, x1), h = ExtentSize(y0, y1);
    // Centre the pixel grid on the transformed box so rounding is symmetric.
    const double ox = (x0 + x1 - w) / 2, oy = (y0 + y1 - h) / 2;
    // The destination pixels made: [i0, i0 + w) x [j0, j0 + h) of the whole result's.
    int32_t i0 = 0, j0 = 0;
    if (part) {
        i0 = std::clamp(part->x, 0, w), j0 = std::clamp(part->y, 0, h);
        w = std::clamp(part->width, 0, w - i0), h = std::clamp(part->height, 0, h - j0);
        if (w <= 0 || h <= 0) return kErrWrongUsage;
    }

    HostBitmap *b = AllocHostBitmapFormat(w, h, bitmap->format);
    const bool wantAlpha = alpha != nullptr;
    AlphaPlane *a = wantAlpha ? AllocAlphaPlane(w, h, true) : nullptr;
    MaskPlane *m = (!wantAlpha && b) ? AllocMaskPlane(b, w, h, true) : nullptr;
    if (!b || (wantAlpha && !a) || (!wantAlpha && !m)) {
        FreeHostBitmap(b);
        FreeAlphaPlane(a);
        FreeMaskPlane(m);
        return kErrOutOfMemory;
    }
    const PixelBuffer src = BitmapPixels(bitmap), dst = BitmapPixels(b);
    const PlaneBuffer sm = MaskPixels(mask, bitmap->width, bitmap->height);
    auto visible = [&](int32_t px, int32_t py) -> unsigned { // 0..255 coverage of a source pixel
        if (px < 0 || py < 0 || px >= width || py >= height) return 0;
        px += sx;
        py += sy;
        if (px < 0 || py < 0 || px >= bitmap->width || py >= bitmap->height) return 0; // beyond a part's source
        if (sm.data && (px >= sm.pitch * 8 || py >= sm.height || !MaskBit(sm.Row(py), px))) return 0;
        if (alpha) return (px < alpha->width && py < alpha->height) ? alpha->bytes[ptrdiff_t(py) * alpha->bytesPerRow + px] : 0;
        return 255;
    };
    if (!smooth && src.bytesPerPixel == dst.bytesPerPixel) {
        const double inv[4] = {ia, ib, ic, id};
        DispatchFormat(src.bytesPerPixel, [&](auto format) {
            TransformNearest<decltype(format)>(src, sx, sy, width, height, sm, alpha, dst, a, m, inv, ox, oy, i0, j0);
        });
    }
    for (int32_t j = 0; j < h && (smooth || src.bytesPerPixel != dst.bytesPerPixel) && !EndRequested(); ++j) {
        for (int32_t i = 0; i < w; ++i) {
            const double dxp = ox + (i0 + i) + 0.5, dyp = oy + (j0 + j) + 0.5;
            const double fx = ia * dxp + ib * dyp - 0.5, fy = ic * dxp + id * dyp - 0.5; // source pixel centres
            if (!smooth) {
                int32_t px = int32_t(std::floor(fx + 0.5)), py = int32_t(std::floor(fy + 0.5));
                unsigned v = visible(px, py);
                if (!v) continue;
                WritePixelGeneric(dst, i, j, ReadPixelGeneric(src, sx + px, sy + py));
                if (a) a->bytes[ptrdiff_t(j) * a->bytesPerRow + i] = uint8_t(v);
                else SetMaskBit(m->bits + ptrdiff_t(j) * m->bytesPerRow, i, true);
                continue;
            }
            const int32_t px = int32_t(std::floor(fx)), py = int32_t(std::floor(fy));
            const unsigned wx = unsigned((fx - px) * 256), wy = unsigned((fy - py) * 256);
            // Weighted by coverage so transparent neighbours do not darken the edge.
            uint64_t acc[4] = {0, 0, 0, 0}, total = 0;
            for (int k = 0; k < 4; ++k) {
                int32_t qx = px + (k & 1), qy = py + (k >> 1);
                unsigned wgt = ((k & 1) ? wx : 256 - wx) * ((k >> 1) ? wy : 256 - wy); // 0..65536
                unsigned v = visible(qx, qy);
                if (!v || !wgt) continue;
                Channels c = ReadPixelGeneric(src, sx + qx, sy + qy);
                const uint64_t cw = uint64_t(wgt) * v; // the four weights sum to 65536
                acc[0] += c.r * cw;
                acc[1] += c.g * cw;
                acc[2] += c.b * cw;
                acc[3] += c.x * cw;
                total += cw;
            }
            if (!total) continue;
            Channels out{uint8_t(acc[0] / total), uint8_t(acc[1] / total), uint8_t(acc[2] / total), uint8_t(acc[3] / total)};
            WritePixelGeneric(dst, i, j, out);
            const unsigned cover = unsigned(std::min<uint64_t>(255, (total + 32768) >> 16));
            if (a) a->bytes[ptrdiff_t(j) * a->bytesPerRow + i] = uint8_t(cover);
            else if (cover >= 128) SetMaskBit(m->bits + ptrdiff_t(j) * m->bytesPerRow, i, true);
        }
    }
    *outBitmap = b;
    if (outMask) *outMask = m; else FreeMaskPlane(m);
    if (outAlpha) *outAlpha = a; else FreeAlphaPlane(a);
    if (outWidth) *outWidth = w;
    if (outHeight) *outHeight = h;
    return 0;
}

int ApplyImageTransform(const ImageTriple &source, const double matrix[4], bool smooth, ImageTriple *out) {
    *out = ImageTriple{};
    return TransformImage(source.bitmap, source.mask, source.alpha, 0, 0, source.width, source.height, matrix, smooth,
                          &out->bitmap, &out->mask, &out->alpha, &out->width, &out->height);
}
