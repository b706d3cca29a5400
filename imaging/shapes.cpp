#include "imaging/shapes.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/pixels.h"
#include "imaging/gradient.h"
#include "imaging/graphics_library.h"
#include "imaging/image_ops.h"
#include "runtime/app/errors.h"

namespace {

// One byte per pixel, 1 inside the shape.
struct Coverage {
    int32_t x = 0, y = 0, w = 0, h = 0; // position relative to the shape's origin
    std::vector<uint8_t> bits;
    bool At(int32_t px, int32_t py) const { // shape coordinates
        px -= x;
        py -= y;
        return px >= 0 && py >= 0 && px < w && py < h && bits[size_t(py) * size_t(w) + size_t(px)];
    }
    void Resize(int32_t nx, int32_t ny, int32_t nw, int32_t nh) {
        x = nx;
        y = ny;
        w = std::max(nw, 0);
        h = std::max(nh, 0);
        bits.assign(size_t(w) * size_t(h), 0);
    }
    uint8_t &Cell(int32_t i, int32_t j) { return bits[size_t(j) * size_t(w) + size_t(i)]; }
};

// Bigger shapes are refused rather than allocated: a script could ask for any radius.
constexpr int32_t kMaxShapeSide = 16384;

bool InsideEllipse(double px, double py, double cx, double cy, double rx, double ry) {
    if (rx <= 0 || ry <= 0) return false;
    const double u = (px - cx) / rx, v = (py - cy) / ry;
    return u * u + v * v <= 1.0;
}

double DistanceToSegment(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double qx = ax + t * dx - px, qy = ay + t * dy - py;
    return std::sqrt(qx * qx + qy * qy);
}

// Square erosion or dilation: a pixel is set when every (erode) or any (dilate) pixel within r steps is set, so
// erosion takes away an r-pixel rim and dilation adds one.
Coverage Morph(const Coverage &c, int32_t r, bool erode) {
    Coverage out;
    const int32_t grow = erode ? 0 : r;
    out.Resize(c.x - grow, c.y - grow, c.w + 2 * grow, c.h + 2 * grow);
    if (r <= 0) {
        for (int32_t j = 0; j < c.h; ++j)
            for (int32_t i = 0; i < c.w; ++i) out.Cell(i + grow, j + grow) = c.bits[size_t(j) * size_t(c.w) + size_t(i)];
        return out;
    }
    // Rows first, then columns; outside the coverage counts as clear.
    auto inside = [&](const Coverage &src, int32_t i, int32_t j) {
        return i >= 0 && j >= 0 && i < src.w && j < src.h && src.bits[size_t(j) * size_t(src.w) + size_t(i)];
    };
    Coverage rows;
    rows.Resize(out.x, c.y, out.w, c.h);
    for (int32_t j = 0; j < c.h; ++j)
        for (int32_t i = 0; i < out.w; ++i) {
            int32_t n = 0;
            for (int32_t k = -r; k <= r; ++k) n += inside(c, i - grow + k, j);
            rows.Cell(i, j) = erode ? (n == 2 * r + 1) : (n > 0);
        }
    for (int32_t j = 0; j < out.h; ++j)
        for (int32_t i = 0; i < out.w; ++i) {
            int32_t n = 0;
            for (int32_t k = -r; k <= r; ++k) n += inside(rows, i, j - grow + k);
            out.Cell(i, j) = erode ? (n == 2 * r + 1) : (n > 0);
        }
    return out;
}

Coverage Minus(const Coverage &a, const Coverage &b) {
    Coverage out = a;
    for (int32_t j = 0; j < a.h; ++j)
        for (int32_t i = 0; i < a.w; ++i)
            if (b.At(a.x + i, a.y + j)) out.Cell(i, j) = 0;
    return out;
}

// The filled area of the shape (for an ARC: the pie slice).
int FillArea(const ShapeRecord &s, Coverage *c) {
    auto sideOk = [](int64_t v) { return v > 0 && v <= kMaxShapeSide; };
    switch (s.kind) {
    case ObjectKindBox: {
        if (!sideOk(s.sizeX) || !sideOk(s.sizeY)) return kErrWrongUsage;
        c->Resize(0, 0, s.sizeX, s.sizeY);
        const double r = std::clamp<double>(s.roundLevel, 0, std::min(s.sizeX, s.sizeY) / 2.0);
        for (int32_t j = 0; j < c->h; ++j)
            for (int32_t i = 0; i < c->w; ++i) {
                const double px = i + 0.5, py = j + 0.5;
                const double cx = std::clamp(px, r, s.sizeX - r), cy = std::clamp(py, r, s.sizeY - r);
                c->Cell(i, j) = r <= 0 || (px - cx) * (px - cx) + (py - cy) * (py - cy) <= r * r;
            }
        return 0;
    }
    case ObjectKindCircle:
    case ObjectKindEllipse:
    case ObjectKindArc: {
        const int32_t rx = s.radiusX, ry = s.kind == ObjectKindCircle ? s.radiusX : s.radiusY;
        if (rx < 0 || ry < 0 || !sideOk(2 * int64_t(rx) + 1) || !sideOk(2 * int64_t(ry) + 1)) return kErrWrongUsage;
        c->Resize(0, 0, 2 * rx + 1, 2 * ry + 1);
        const double cx = rx + 0.5, cy = ry + 0.5;
        double from = std::fmod(double(s.startAngle), 360.0), span = double(s.endAngle) - double(s.startAngle);
        if (from < 0) from += 360;
        span = std::fmod(span, 360.0);
        if (span <= 0) span += 360;
        for (int32_t j = 0; j < c->h; ++j)
            for (int32_t i = 0; i < c->w; ++i) {
                const double px = i + 0.5, py = j + 0.5;
                bool in = InsideEllipse(px, py, cx, cy, rx + 0.5, ry + 0.5);
                if (in && s.kind == ObjectKindArc && (px != cx || py != cy)) {
                    double a = std::atan2(cy - py, px - cx) * 180.0 / M_PI; // counter-clockwise on screen
                    if (s.clockwise) a = -a;
                    a = std::fmod(a - from + 720.0, 360.0);
                    in = a <= span;
                }
                c->Cell(i, j) = in;
            }
        return 0;
    }
    case ObjectKindLine: {
        // Ends further out than a shape can be large are refused before any arithmetic on them.
        for (int32_t v : {s.x1, s.y1, s.x2, s.y2, s.thickness})
            if (v < -kMaxShapeSide || v > kMaxShapeSide) return kErrWrongUsage;
        const int32_t t = std::max(s.thickness, 1);
        const int32_t x0 = std::min(s.x1, s.x2) - t / 2, y0 = std::min(s.y1, s.y2) - t / 2;
        const int64_t w = int64_t(std::abs(s.x2 - s.x1)) + t, h = int64_t(std::abs(s.y2 - s.y1)) + t;
        if (!sideOk(w) || !sideOk(h)) return kErrWrongUsage;
        c->Resize(x0, y0, int32_t(w), int32_t(h));
        if (t == 1) { // Bresenham: exactly one pixel per step
            int32_t x = s.x1, y = s.y1, dx = std::abs(s.x2 - s.x1), dy = -std::abs(s.y2 - s.y1);
            const int32_t stepX = s.x1 < s.x2 ? 1 : -1, stepY = s.y1 < s.y2 ? 1 : -1;
            int32_t err = dx + dy;
            for (;;) {
                c->Cell(x - x0, y - y0) = 1;
                if (x == s.x2 && y == s.y2) break;
                const int32_t e2 = 2 * err;
                if (e2 >= dy) { err += dy; x += stepX; }
                if (e2 <= dx) { err += dx; y += stepY; }
            }
            return 0;
        }
        for (int32_t j = 0; j < c->h; ++j)
            for (int32_t i = 0; i < c->w; ++i)
                c->Cell(i, j) = DistanceToSegment(x0 + i + 0.5, y0 + j + 0.5, s.x1 + 0.5, s.y1 + 0.5, s.x2 + 0.5,
                                                  s.y2 + 0.5) <= t / 2.0;
        return 0;
    }
    case ObjectKindPlot:
        c->Resize(0, 0, 1, 1);
        c->Cell(0, 0) = 1;
        return 0;
    case ObjectKindPolygon: {
        const size_t n = s.vertices.size() / 2;
        if (n < 1 || n > size_t(kMaxPolygonPoints)) return kErrWrongUsage;
        std::vector<int32_t> pts(2 * n);
        int32_t minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
        for (size_t k = 0; k < 2 * n; ++k) {
            const double v = std::clamp(std::round(s.vertices[k]), -double(kMaxShapeSide), double(kMaxShapeSide));
            pts[k] = int32_t(v);
            if (k % 2 == 0) { minX = std::min(minX, pts[k]); maxX = std::max(maxX, pts[k]); }
            else { minY = std::min(minY, pts[k]); maxY = std::max(maxY, pts[k]); }
        }
        if (!sideOk(int64_t(maxX) - minX + 1) || !sideOk(int64_t(maxY) - minY + 1)) return kErrWrongUsage;
        c->Resize(minX, minY, maxX - minX + 1, maxY - minY + 1);
        for (size_t k = 0; k < n; ++k) {
            pts[2 * k] -= minX;
            pts[2 * k + 1] -= minY;
        }
        MaskPlane *m = AllocMaskPlane(nullptr, c->w, c->h, true);
        if (!m) return kErrOutOfMemoryCode;
        int err = n >= 3 ? FillPolygonMask(m, pts.data(), int32_t(n), nullptr, 0) : 0;
        for (int32_t j = 0; j < c->h && !err; ++j)
            for (int32_t i = 0; i < c->w; ++i) c->Cell(i, j) = MaskBit(m, i, j);
        FreeMaskPlane(m);
        return err;
    }
    default:
        return kErrWrongUsage;
    }
}

void ShadowOffset(int32_t direction, int32_t size, int32_t *dx, int32_t *dy) {
    // 0 north, then clockwise in steps of 45 degrees.
    static const int kX[8] = {0, 1, 1, 1, 0, -1, -1, -1}, kY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
    *dx = kX[direction & 7] * size;
    *dy = kY[direction & 7] * size;
}

} // namespace

int RenderShapeImage(const ShapeRecord &shapeIn, const DisplayTransform *transform, ImageTriple *out, int32_t *offsetX,
                     int32_t *offsetY) {
    *out = ImageTriple{};
    ShapeRecord s = shapeIn;
    ClampFillStyle(&s.style);
    Coverage area;
    try {
        if (int err = FillArea(s, &area)) return err;
        // Without a fill the shape is its outline (lines and points are outlines already).
        Coverage body = area;
        if (s.style.fillStyle == kFillNone && s.kind != ObjectKindLine && s.kind != ObjectKindPlot)
            body = Minus(area, Morph(area, s.style.outlineThickness, true));
        Coverage edge, shadow;
        int32_t sdx = 0, sdy = 0;
        if (s.formStyle == kFormEdge) edge = Minus(Morph(body, s.style.edgeSize, false), body);
        if (s.formStyle == kFormShadow) {
            ShadowOffset(s.style.shadowDirection, s.style.shadowSize, &sdx, &sdy);
            shadow = body;
            shadow.x += sdx;
            shadow.y += sdy;
        }
        // The canvas covers body, edge and shadow.
        int32_t x0 = body.x, y0 = body.y, x1 = body.x + body.w, y1 = body.y + body.h;
        for (const Coverage *c : {&edge, &shadow})
            if (c->w > 0) {
                x0 = std::min(x0, c->x);
                y0 = std::min(y0, c->y);
                x1 = std::max(x1, c->x + c->w);
                y1 = std::max(y1, c->y + c->h);
            }
        const int32_t w = x1 - x0, h = y1 - y0;
        HostBitmap *bitmap = AllocHostBitmap(w, h);
        MaskPlane *mask = bitmap ? AllocMaskPlane(bitmap, w, h, true) : nullptr;
        if (!mask) {
            FreeHostBitmap(bitmap);
            return kErrOutOfMemoryCode;
        }
        // The body's colours, painted over the whole canvas and then cut out through the coverage.
        HostBitmap *fill = AllocHostBitmap(w, h);
        if (!fill) {
            FreeHostBitmap(bitmap);
            FreeMaskPlane(mask);
            return kErrOutOfMemoryCode;
        }
        if (s.style.fillStyle == kFillGradient)
            DRAWGRADIENT(fill, area.x - x0, area.y - y0, area.w, area.h, s.gradientStart, s.gradientEnd, s.gradientAngle);
        else if (s.style.fillStyle == kFillTexture && s.texture)
            TextureFill(fill, 0, 0, w, h, s.texture, s.textureX + (x0 - area.x), s.textureY + (y0 - area.y), 0, 0);
        else
            for (int32_t j = 0; j < h; ++j) std::fill(HostBitmapRow32(fill, j), HostBitmapRow32(fill, j) + w, s.color & 0xFFFFFF);
        for (int32_t j = 0; j < h; ++j) {
            uint32_t *row = HostBitmapRow32(bitmap, j);
            uint8_t *mrow = mask->bits + ptrdiff_t(j) * mask->bytesPerRow;
            for (int32_t i = 0; i < w; ++i) {
                const int32_t px = x0 + i, py = y0 + j;
                uint32_t c;
                if (body.At(px, py)) c = HostBitmapRow32(fill, j)[i];
                else if (edge.w && edge.At(px, py)) c = s.style.edgeColor & 0xFFFFFF;
                else if (shadow.w && shadow.At(px, py)) c = s.style.shadowColor & 0xFFFFFF;
                else continue;
                row[i] = c;
                SetMaskBit(mrow, i, true);
            }
        }
        FreeHostBitmap(fill);
        *out = ImageTriple{bitmap, mask, nullptr, w, h};
        *offsetX = x0;
        *offsetY = y0;
    } catch (const std::bad_alloc &) {
        FreeImageTriple(out);
        return kErrOutOfMemoryCode;
    }
    if (transform && !IsIdentityTransform(*transform)) {
        const double m[4] = {transform->a, transform->b, transform->c, transform->d};
        ImageTriple turned;
        int32_t tx, ty, tw, th;
        TransformedBounds(*offsetX, *offsetY, out->width, out->height, m, &tx, &ty, &tw, &th, 0, 0);
        const int err = ApplyImageTransform(*out, m, transform->smooth != 0, &turned);
        FreeImageTriple(out);
        if (err) return err;
        *out = turned;
        *offsetX = tx;
        *offsetY = ty;
    }
    return 0;
}

int DrawShapeIntoBitmap(HostBitmap *target, int32_t x, int32_t y, const ShapeRecord &shape,
                        const DisplayTransform *transform) {
    ImageTriple image;
    int32_t ox = 0, oy = 0;
    if (int err = RenderShapeImage(shape, transform, &image, &ox, &oy)) return err;
    SAFEBLT(image.bitmap, 0, 0, target, int32_t(int64_t(x) + ox), int32_t(int64_t(y) + oy), image.width, image.height,
            0, 0, 0, 0, kBlitMasked | kBlitToBitmap, image.mask, image.alpha, nullptr);
    FreeImageTriple(&image);
    return 0;
}

// Calls visit(x, y) for every covered pixel of the rendered shape, in target coordinates.
template <class Visit>
static int ForEachCoveredPixel(int32_t x, int32_t y, const ShapeRecord &shape, const DisplayTransform *transform,
                               Visit visit) {
    ImageTriple image;
    int32_t ox = 0, oy = 0;
    if (int err = RenderShapeImage(shape, transform, &image, &ox, &oy)) return err;
    for (int32_t j = 0; j < image.height; ++j)
        for (int32_t i = 0; i < image.width; ++i) {
            const bool covered = image.alpha ? image.alpha->bytes[ptrdiff_t(j) * image.alpha->bytesPerRow + i] >= 128
                                             : MaskBit(image.mask, i, j);
            if (covered) visit(int64_t(x) + ox + i, int64_t(y) + oy + j);
        }
    FreeImageTriple(&image);
    return 0;
}

int DrawShapeIntoMask(MaskPlane *target, int32_t x, int32_t y, const ShapeRecord &shape, const DisplayTransform *transform) {
    if (!target || !target->bits) return kErrWrongUsage;
    const bool visible = GetMaskMode() != MASKINVISIBLE;
    const int64_t width = int64_t(target->bytesPerRow) * 8, rows = target->rows;
    return ForEachCoveredPixel(x, y, shape, transform, [&](int64_t px, int64_t py) {
        if (px >= 0 && py >= 0 && px < width && py < rows)
            SetMaskBit(target->bits + py * target->bytesPerRow, int(px), visible);
    });
}

int DrawShapeIntoAlpha(AlphaPlane *target, int32_t x, int32_t y, const ShapeRecord &shape,
                       const DisplayTransform *transform) {
    if (!target || !target->bytes) return kErrWrongUsage;
    const uint8_t value = uint8_t(GetAlphaIntensity());
    return ForEachCoveredPixel(x, y, shape, transform, [&](int64_t px, int64_t py) {
        if (px >= 0 && py >= 0 && px < target->width && py < target->height)
            target->bytes[py * target->bytesPerRow + px] = value;
    });
}
