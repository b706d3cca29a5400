#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

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

// A position rounded to whole pixels; one past 32 bits (a huge scale of a far placement) stays at the end of the
// range, as it is far outside every picture anyway.
static int32_t RoundedPosition(double v) {
    if (std::isnan(v)) return 0;
    return int32_t(std::clamp(std::floor(v + 0.5), double(INT32_MIN), double(INT32_MAX)));
}

void TransformedBounds(int32_t x, int32_t y, int32_t width, int32_t height, const double matrix[4], int32_t *outX,
                       int32_t *outY, int32_t *outWidth, int32_t *outHeight, double anchorX, double anchorY) {
    const double ax = anchorX * width, ay = anchorY * height;
    double x0, y0, x1, y1;
    TransformedExtent(matrix, width, height, ax, ay, &x0, &y0, &x1, &y1);
    *outX = RoundedPosition(x + ax + x0);
    *outY = RoundedPosition(y + ay + y0);
    *outWidth = ExtentSize(x0, x1);
    *outHeight = ExtentSize(y0, y1);
}

// The destination is made in square tiles: a turn walks the source across its rows, and a tile keeps the rows it
// reads in the cache (a quarter turn of a large image otherwise misses it at every pixel).
constexpr int32_t kTransformTile = 64;

// What a destination tile samples of the source: pixels of one colour and coverage only (the tile is that pixel
// throughout, by the nearest and the bilinear rule alike), uncovered pixels only (it stays clear), or a mix.
enum class TileSamples { Mixed, Clear, Uniform };

// Whether the bits [x0, x1) of a mask row are all `on`, whole bytes compared at once.
static bool MaskBitsAre(const uint8_t *row, int32_t x0, int32_t x1, bool on, const std::vector<uint8_t> &full) {
    for (; x0 < x1 && (x0 & 7); ++x0)
        if (MaskBit(row, x0) != on) return false;
    const int32_t bytes = (x1 - x0) / 8;
    if (bytes > 0 && std::memcmp(row + x0 / 8, full.data() + (on ? 0 : full.size() / 2), size_t(bytes))) return false;
    for (x0 += 8 * bytes; x0 < x1; ++x0)
        if (MaskBit(row, x0) != on) return false;
    return true;
}

// The source pixels [x0, x1) x [y0, y1) (the bitmap's) a tile samples: their rows are compared with memcmp, so a
// turn of a large shape costs pixel by pixel only the tiles along its edges.
static TileSamples ClassifyTileSamples(const PixelBuffer &src, const PlaneBuffer &sm, const AlphaPlane *alpha,
                                       int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                                       std::vector<uint8_t> &reference) {
    const size_t n = size_t(x1 - x0);
    // Coverage first: a clear window needs no colour.
    uint8_t level = 255;
    if (alpha) {
        if (x1 > alpha->width || y1 > alpha->height) return TileSamples::Mixed;
        const uint8_t *first = alpha->bytes + ptrdiff_t(y0) * alpha->bytesPerRow + x0;
        level = first[0];
        reference.assign(n, level);
        for (int32_t y = y0; y < y1; ++y)
            if (std::memcmp(alpha->bytes + ptrdiff_t(y) * alpha->bytesPerRow + x0, reference.data(), n))
                return TileSamples::Mixed;
    }
    if (sm.data) {
        if (x1 > sm.pitch * 8 || y1 > sm.height) return TileSamples::Mixed;
        const bool on = MaskBit(sm.Row(y0), x0);
        reference.assign(n / 8 + 1, 0xFF);
        reference.resize(2 * reference.size(), 0);
        for (int32_t y = y0; y < y1; ++y)
            if (!MaskBitsAre(sm.Row(y), x0, x1, on, reference)) return TileSamples::Mixed;
        if (!on) level = 0;
    }
    if (!level) return TileSamples::Clear;
    const size_t bytes = n * size_t(src.bytesPerPixel);
    reference.resize(bytes);
    for (size_t k = 0; k < bytes; ++k) reference[k] = src.At(x0, y0)[k % size_t(src.bytesPerPixel)];
    for (int32_t y = y0; y < y1; ++y)
        if (std::memcmp(src.At(x0, y), reference.data(), bytes)) return TileSamples::Mixed;
    return TileSamples::Uniform;
}

// The fixed-point steps of the nearest path stay far inside 64 bits while a step of the inverse is at most this
// many source pixels a destination pixel; a steeper (near-singular) matrix takes the generic loop.
constexpr double kMaxFixedStep = 1 << 20;

// Nearest-pixel rendering of row j's pixels [from, to) with the layout known at compile time; positions step
// along the row.
template <class F>
static void TransformNearest(const PixelBuffer &src, int32_t sx, int32_t sy, int32_t width, int32_t height,
                             const PlaneBuffer &sm, const AlphaPlane *alpha, const PixelBuffer &dst, AlphaPlane *a,
                             MaskPlane *m, const double inv[4], double ox, double oy, int32_t i0, int32_t j0,
                             int32_t j, int32_t from, int32_t to) {
    // 16.16 fixed point: a 32768-pixel row drifts by at most half a 65536th per step, far below a pixel.
    const int64_t stepX = std::llround(inv[0] * 65536.0), stepY = std::llround(inv[2] * 65536.0);
    const double dy = oy + (j0 + j) + 0.5;
    const int64_t rowX = std::llround((inv[0] * (ox + 0.5) + inv[1] * dy) * 65536.0);
    const int64_t rowY = std::llround((inv[2] * (ox + 0.5) + inv[3] * dy) * 65536.0);
    uint8_t *out = dst.Row(j);
    uint8_t *alphaRow = a ? a->bytes + ptrdiff_t(j) * a->bytesPerRow : nullptr;
    uint8_t *maskRow = m ? m->bits + ptrdiff_t(j) * m->bytesPerRow : nullptr;
    for (int32_t i = from; i < to; ++i) {
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

namespace {

// Where a transform's pixels come from and go: the source rectangle (sx, sy, width x height of the bitmap, or a
// part's whole source), the inverse matrix, the grid's offset and the destination pixels [i0, i0 + w) x
// [j0, j0 + h) of the whole result's.
struct TransformGrid {
    int32_t sx = 0, sy = 0, width = 0, height = 0;
    double ia = 0, ib = 0, ic = 0, id = 0, ox = 0, oy = 0;
    int32_t i0 = 0, j0 = 0, w = 0, h = 0;
};

int MakeTransformGrid(const HostBitmap *bitmap, int32_t sx, int32_t sy, int32_t width, int32_t height,
                      const double matrix[4], const TransformPart *part, TransformGrid *g) {
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
    *g = TransformGrid{sx, sy, width, height, ia, ib, ic, id, ox, oy, i0, j0, w, h};
    return 0;
}

// The grid's pixels into dst and its coverage into a (with an alpha source) or m, which start cleared there.
void TransformPixels(const TransformGrid &g, const HostBitmap *bitmap, const MaskPlane *mask, const AlphaPlane *alpha,
                     bool smooth, const PixelBuffer &dst, AlphaPlane *a, MaskPlane *m) {
    const int32_t sx = g.sx, sy = g.sy, width = g.width, height = g.height, i0 = g.i0, j0 = g.j0, w = g.w, h = g.h;
    const double ia = g.ia, ib = g.ib, ic = g.ic, id = g.id, ox = g.ox, oy = g.oy;
    const PixelBuffer src = BitmapPixels(bitmap);
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
    const double inv[4] = {ia, ib, ic, id};
    const bool fixedSteps = std::max({std::fabs(ia), std::fabs(ib), std::fabs(ic), std::fabs(id)}) <= kMaxFixedStep;
    const bool nearest = !smooth && src.bytesPerPixel == dst.bytesPerPixel && fixedSteps;
    // Row j's pixels [from, to).
    const auto row = [&](int32_t j, int32_t from, int32_t to) {
        if (nearest) {
            DispatchFormat(src.bytesPerPixel, [&](auto format) {
                TransformNearest<decltype(format)>(src, sx, sy, width, height, sm, alpha, dst, a, m, inv, ox, oy, i0,
                                                   j0, j, from, to);
            });
            return;
        }
        for (int32_t i = from; i < to; ++i) {
            const double dxp = ox + (i0 + i) + 0.5, dyp = oy + (j0 + j) + 0.5;
            const double fx = ia * dxp + ib * dyp - 0.5, fy = ic * dxp + id * dyp - 0.5; // source pixel centres
            // No source pixel, nor a neighbour of one, lies further out (a near-singular matrix throws the
            // positions far beyond any integer).
            if (!(fx > -2 && fy > -2 && fx < width + 1 && fy < height + 1)) continue;
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
    };
    std::vector<uint8_t> reference;
    // A program told to end stops between rows of tiles (the rows left stay empty).
    for (int32_t tj = 0; tj < h && !EndRequested(); tj += kTransformTile) {
        const int32_t tj1 = std::min(h, tj + kTransformTile);
        for (int32_t ti = 0; ti < w; ti += kTransformTile) {
            const int32_t ti1 = std::min(w, ti + kTransformTile);
            // The source pixels the tile's samples and their bilinear neighbours fall on.
            double fx0 = INFINITY, fy0 = INFINITY, fx1 = -INFINITY, fy1 = -INFINITY;
            for (const int32_t i : {ti, ti1 - 1})
                for (const int32_t j : {tj, tj1 - 1}) {
                    const double dxp = ox + (i0 + i) + 0.5, dyp = oy + (j0 + j) + 0.5;
                    const double fx = ia * dxp + ib * dyp - 0.5, fy = ic * dxp + id * dyp - 0.5;
                    fx0 = std::min(fx0, fx), fx1 = std::max(fx1, fx), fy0 = std::min(fy0, fy), fy1 = std::max(fy1, fy);
                }
            TileSamples samples = TileSamples::Mixed;
            if (fx1 < -2 || fy1 < -2 || fx0 > width + 1 || fy0 > height + 1) {
                samples = TileSamples::Clear;
            } else if (fx0 >= 1 && fy0 >= 1 && fx1 < width - 2 && fy1 < height - 2 &&
                       (fx1 - fx0 + 4) * (fy1 - fy0 + 4) <= 4.0 * kTransformTile * kTransformTile) {
                const int32_t x0 = sx + int32_t(std::floor(fx0)) - 1, y0 = sy + int32_t(std::floor(fy0)) - 1;
                const int32_t x1 = sx + int32_t(std::floor(fx1)) + 3, y1 = sy + int32_t(std::floor(fy1)) + 3;
                if (x0 >= 0 && y0 >= 0 && x1 <= src.width && y1 <= src.height)
                    samples = ClassifyTileSamples(src, sm, alpha, x0, y0, x1, y1, reference);
            }
            if (samples == TileSamples::Clear) continue;
            if (samples == TileSamples::Mixed) {
                for (int32_t j = tj; j < tj1; ++j) row(j, ti, ti1);
                continue;
            }
            // One pixel made as every pixel is, then copied over the tile.
            row(tj, ti, ti + 1);
            const int bpp = dst.bytesPerPixel;
            const uint8_t *pixel = dst.At(ti, tj);
            uint8_t *first = dst.At(ti, tj);
            for (int32_t i = 1; i < ti1 - ti; ++i) std::memcpy(first + i * bpp, pixel, size_t(bpp));
            for (int32_t j = tj + 1; j < tj1; ++j) std::memcpy(dst.At(ti, j), first, size_t(ti1 - ti) * size_t(bpp));
            if (a) {
                const uint8_t level = a->bytes[ptrdiff_t(tj) * a->bytesPerRow + ti];
                for (int32_t j = tj; j < tj1; ++j) std::memset(a->bytes + ptrdiff_t(j) * a->bytesPerRow + ti, level, size_t(ti1 - ti));
            } else if (MaskBit(m->bits + ptrdiff_t(tj) * m->bytesPerRow, ti)) {
                for (int32_t j = tj; j < tj1; ++j)
                    for (int32_t i = ti; i < ti1; ++i) SetMaskBit(m->bits + ptrdiff_t(j) * m->bytesPerRow, i, true);
            }
        }
    }
}

} // namespace

int TransformImage(const HostBitmap *bitmap, const MaskPlane *mask, const AlphaPlane *alpha, int32_t sx, int32_t sy,
                   int32_t width, int32_t height, const double matrix[4], bool smooth, HostBitmap **outBitmap,
                   MaskPlane **outMask, AlphaPlane **outAlpha, int32_t *outWidth, int32_t *outHeight,
                   const TransformPart *part) {
    *outBitmap = nullptr;
    if (outMask) *outMask = nullptr;
    if (outAlpha) *outAlpha = nullptr;
    TransformGrid g;
    if (int err = MakeTransformGrid(bitmap, sx, sy, width, height, matrix, part, &g)) return err;
    const int32_t w = g.w, h = g.h;
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
    TransformPixels(g, bitmap, mask, alpha, smooth, BitmapPixels(b), a, m);
    *outBitmap = b;
    if (outMask) *outMask = m; else FreeMaskPlane(m);
    if (outAlpha) *outAlpha = a; else FreeAlphaPlane(a);
    if (outWidth) *outWidth = w;
    if (outHeight) *outHeight = h;
    return 0;
}

int TransformImageInto(const HostBitmap *bitmap, const MaskPlane *mask, const AlphaPlane *alpha,
                       const double matrix[4], bool smooth, const TransformPart &part, const ImageTriple &into,
                       int32_t intoX, int32_t intoY) {
    TransformGrid g;
    if (int err = MakeTransformGrid(bitmap, 0, 0, 0, 0, matrix, &part, &g)) return err;
    if (!into.bitmap || into.bitmap->bytesPerPixel != bitmap->bytesPerPixel || (alpha ? !into.alpha : !into.mask) ||
        intoX < 0 || intoY < 0 || intoX % 8 || int64_t(intoX) + g.w > into.width || int64_t(intoY) + g.h > into.height)
        return kErrWrongUsage;
    PixelBuffer dst = BitmapPixels(into.bitmap);
    dst.pixels = dst.At(intoX, intoY), dst.width = g.w, dst.height = g.h;
    AlphaPlane a;
    MaskPlane m;
    if (alpha) {
        a.bytes = into.alpha->bytes + ptrdiff_t(intoY) * into.alpha->bytesPerRow + intoX;
        a.width = g.w, a.height = g.h, a.bytesPerRow = into.alpha->bytesPerRow;
    } else {
        m.bits = into.mask->bits + ptrdiff_t(intoY) * into.mask->bytesPerRow + intoX / 8;
        m.bytesPerRow = into.mask->bytesPerRow, m.rows = g.h;
    }
    TransformPixels(g, bitmap, mask, alpha, smooth, dst, alpha ? &a : nullptr, alpha ? nullptr : &m);
    return 0;
}

int ApplyImageTransform(const ImageTriple &source, const double matrix[4], bool smooth, ImageTriple *out) {
    *out = ImageTriple{};
    return TransformImage(source.bitmap, source.mask, source.alpha, 0, 0, source.width, source.height, matrix, smooth,
                          &out->bitmap, &out->mask, &out->alpha, &out->width, &out->height);
}
