#include "imaging/shapes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "host/allocation_cap.h"
#include "host/blit.h"
#include "host/tasks.h"
#include "imaging/blit.h"
#include "imaging/clip_region.h"
#include "imaging/pixels.h"
#include "imaging/gradient.h"
#include "imaging/image_ops.h"
#include "imaging/shape_geometry.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"

namespace {

// Coverage of one plane: 0 (out) to 255 (in) per pixel.
struct Coverage {
    int32_t x = 0, y = 0, w = 0, h = 0; // position relative to the shape's origin
    std::vector<uint8_t> cells;
    uint8_t At(int32_t px, int32_t py) const { // shape coordinates
        px -= x;
        py -= y;
        return px >= 0 && py >= 0 && px < w && py < h ? cells[size_t(py) * size_t(w) + size_t(px)] : 0;
    }
    void Resize(int32_t nx, int32_t ny, int32_t nw, int32_t nh) {
        x = nx;
        y = ny;
        w = std::max(nw, 0);
        h = std::max(nh, 0);
        cells.assign(size_t(w) * size_t(h), 0);
    }
    uint8_t &Cell(int32_t i, int32_t j) { return cells[size_t(j) * size_t(w) + size_t(i)]; }
};

// A rectangle of shape coordinates, [x0, x1) x [y0, y1): the part of a shape's image that is wanted. Sums stay
// in 64 bits, far from their ends: a window is cut to the shape's canvas before it is used.
struct Window {
    int64_t x0, y0, x1, y1;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
    Window Grown(int64_t by) const { return {x0 - by, y0 - by, x1 + by, y1 + by}; }
    Window Moved(int64_t dx, int64_t dy) const { return {x0 + dx, y0 + dy, x1 + dx, y1 + dy}; }
    Window Joined(const Window &o) const {
        return {std::min(x0, o.x0), std::min(y0, o.y0), std::max(x1, o.x1), std::max(y1, o.y1)};
    }
    Window Cut(const Window &o) const {
        return {std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
    }
};
constexpr int64_t kFarAway = int64_t(1) << 40;
constexpr Window kWholeShape{-kFarAway, -kFarAway, kFarAway, kFarAway};

// One line of a square erosion or dilation: out[i] is the smallest (erode) or largest value of the window of `window`
// values from in[i + first], for i in [0, m); values outside [0, n) count as clear. Each window spans at most two
// blocks of its own length, so it is the running value from its start to its block's end joined with the running
// value from the next block's start to its end: three steps a value, whatever the window's length.
void MorphLine(const uint8_t *in, int32_t n, int32_t first, int32_t window, bool erode, uint8_t *out, int32_t m,
               std::vector<uint8_t> &toEnd, std::vector<uint8_t> &fromStart) {
    const auto join = [erode](uint8_t a, uint8_t b) { return erode ? std::min(a, b) : std::max(a, b); };
    const auto value = [&](int32_t t) -> uint8_t {
        const int64_t at = int64_t(t) + first;
        return at >= 0 && at < n ? in[at] : 0;
    };
    const int32_t length = m + window - 1;
    toEnd.resize(size_t(length));
    fromStart.resize(size_t(length));
    for (int32_t t = 0; t < length; ++t)
        fromStart[size_t(t)] = t % window == 0 ? value(t) : join(fromStart[size_t(t) - 1], value(t));
    for (int32_t t = length - 1; t >= 0; --t)
        toEnd[size_t(t)] = t == length - 1 || (t + 1) % window == 0 ? value(t) : join(toEnd[size_t(t) + 1], value(t));
    for (int32_t i = 0; i < m; ++i) out[i] = join(toEnd[size_t(i)], fromStart[size_t(i + window - 1)]);
}

// Square erosion (the smallest value within r steps) or dilation (the largest): on an aliased plane erosion takes
// away an r-pixel rim and dilation adds one; on an antialiased one the soft rim moves with them.
Coverage Morph(const Coverage &c, int32_t r, bool erode) {
    Coverage out;
    const int32_t grow = erode ? 0 : r;
    out.Resize(c.x - grow, c.y - grow, c.w + 2 * grow, c.h + 2 * grow);
    // Eroded by half the narrower side or more, every window reaches outside: nothing is left (an outline that
    // thick is the filled shape).
    if (erode && r > 0 && int64_t(r) * 2 >= std::min(c.w, c.h)) return out;
    if (r <= 0) {
        for (int32_t j = 0; j < c.h; ++j)
            for (int32_t i = 0; i < c.w; ++i) out.Cell(i + grow, j + grow) = c.cells[size_t(j) * size_t(c.w) + size_t(i)];
        return out;
    }
    // Rows first, then columns; outside the coverage counts as clear.
    const int32_t first = -grow - r, window = 2 * r + 1;
    std::vector<uint8_t> toEnd, fromStart, column(size_t(c.h)), moved(size_t(out.h));
    Coverage rows;
    rows.Resize(out.x, c.y, out.w, c.h);
    // An ending program stops a shape of many rows.
    for (int32_t j = 0; j < c.h && !EndRequested(); ++j)
        MorphLine(&c.cells[size_t(j) * size_t(c.w)], c.w, first, window, erode, &rows.Cell(0, j), out.w, toEnd,
                  fromStart);
    for (int32_t i = 0; i < out.w && !EndRequested(); ++i) {
        for (int32_t j = 0; j < c.h; ++j) column[size_t(j)] = rows.Cell(i, j);
        MorphLine(column.data(), c.h, first, window, erode, moved.data(), out.h, toEnd, fromStart);
        for (int32_t j = 0; j < out.h; ++j) out.Cell(i, j) = moved[size_t(j)];
    }
    return out;
}

// a without b (b's coverage taken away).
Coverage Minus(const Coverage &a, const Coverage &b) {
    Coverage out = a;
    for (int32_t j = 0; j < a.h && !EndRequested(); ++j)
        for (int32_t i = 0; i < a.w; ++i) {
            uint8_t &v = out.Cell(i, j);
            v = uint8_t(std::max(0, int(v) - int(b.At(a.x + i, a.y + j))));
        }
    return out;
}


// The filled area of the shape within want (which meets its box), pixel centres in or out (for an ARC: the pie
// slice). Every pixel's test is the same whatever the window, so a part is the whole shape's part.
int FillArea(const ShapeRecord &s, Coverage *c, const Window &want) {
    int32_t bx, by, bw, bh;
    if (int err = AreaBox(s, &bx, &by, &bw, &bh)) return err;
    const Window got = Window{bx, by, int64_t(bx) + bw, int64_t(by) + bh}.Cut(want);
    c->Resize(int32_t(got.x0), int32_t(got.y0), int32_t(got.x1 - got.x0), int32_t(got.y1 - got.y0));
    // An ending program stops a shape of many rows (what is left stays clear).
    switch (s.kind) {
    case ObjectKindBox: {
        const BoxArea box(s);
        for (int32_t j = 0; j < c->h && !EndRequested(); ++j)
            for (int32_t i = 0; i < c->w; ++i) c->Cell(i, j) = box.Inside(c->x + i, c->y + j) ? 255 : 0;
        return 0;
    }
    case ObjectKindCircle:
    case ObjectKindEllipse:
    case ObjectKindArc: {
        const EllipseArea e(s);
        const ArcSector sector(s);
        for (int32_t j = 0; j < c->h && !EndRequested(); ++j)
            for (int32_t i = 0; i < c->w; ++i) {
                const int32_t px = c->x + i, py = c->y + j;
                c->Cell(i, j) = e.Inside(px, py) && (s.kind != ObjectKindArc || sector.Inside(px, py)) ? 255 : 0;
            }
        return 0;
    }
    case ObjectKindLine: {
        if (std::max(s.thickness, 1) == 1) { // Bresenham: exactly one pixel per step
            WalkLine(s.x1, s.y1, s.x2, s.y2, [&](int32_t x, int32_t y) {
                const int64_t i = int64_t(x) - c->x, j = int64_t(y) - c->y;
                if (i >= 0 && j >= 0 && i < c->w && j < c->h) c->Cell(int32_t(i), int32_t(j)) = 255;
            });
            return 0;
        }
        const ThickLine line(s);
        for (int32_t j = 0; j < c->h && !EndRequested(); ++j)
            for (int32_t i = 0; i < c->w; ++i) c->Cell(i, j) = line.Inside(c->x + i, c->y + j) ? 255 : 0;
        return 0;
    }
    case ObjectKindPlot: c->Cell(0, 0) = 255; return 0;
    case ObjectKindPolygon: {
        const size_t n = s.vertices.size() / 2;
        std::vector<int32_t> pts(2 * n);
        for (size_t k = 0; k < n; ++k) {
            pts[2 * k] = int32_t(PolygonCoordinate(s.vertices[2 * k])) - c->x;
            pts[2 * k + 1] = int32_t(PolygonCoordinate(s.vertices[2 * k + 1])) - c->y;
        }
        MaskPlane *m = AllocMaskPlane(nullptr, c->w, c->h, true);
        if (!m) return kErrOutOfMemory;
        int err = n >= 3 ? FillPolygonMask(m, pts.data(), int32_t(n), nullptr, 0) : 0;
        for (int32_t j = 0; j < c->h && !err; ++j)
            for (int32_t i = 0; i < c->w; ++i) c->Cell(i, j) = MaskBit(m, i, j) ? 255 : 0;
        FreeMaskPlane(m);
        return err;
    }
    default: return kErrWrongUsage;
    }
}

// The area as the shape's fill draws it: centres in or out, or with ANTIALIAS the covered fraction. An
// antialiased area keeps its box's whole width (or the columns [columnsFrom, columnsTo) of it), so that every pixel
// sums the same cells whatever rows are wanted.
int ShapeArea(const ShapeRecord &s, Coverage *c, const Window &want, int64_t columnsFrom = INT64_MIN,
              int64_t columnsTo = INT64_MAX) {
    if (!s.style.Antialias()) return FillArea(s, c, want);
    int32_t bx, by, bw, bh;
    if (int err = AreaBox(s, &bx, &by, &bw, &bh)) return err;
    const int64_t y0 = std::max<int64_t>(by, want.y0), y1 = std::min<int64_t>(int64_t(by) + bh, want.y1);
    const int64_t x0 = std::max<int64_t>(bx, columnsFrom);
    const int64_t x1 = std::max(x0, std::min<int64_t>(int64_t(bx) + bw, columnsTo));
    c->Resize(int32_t(x0), int32_t(y0), int32_t(x1 - x0), int32_t(y1 - y0));
    ShapePath path;
    BuildShapePath(s, &path, c->x, double(c->x) + c->w);
    CoverageRaster raster;
    BeginCoverageRaster(&raster, c->x, c->y, c->w, c->h);
    AddRasterPath(&raster, path);
    EndCoverageRaster(&raster, [&](int32_t y, int32_t x, int32_t n, const uint8_t *cov) {
        if (cov) std::memcpy(&c->Cell(x - c->x, y - c->y), cov, size_t(n));
        else std::memset(&c->Cell(x - c->x, y - c->y), 255, size_t(n));
    });
    return 0;
}

// The body: the area, or without a fill its outline (lines and points are outlines already; an arc's outline is
// its curve, not the two radii).
int ShapeBody(const ShapeRecord &s, Coverage *body, Coverage *area, const Window &want) {
    if (int err = ShapeArea(s, area, want)) return err;
    if (s.style.fillStyle != kFillNone || s.kind == ObjectKindLine || s.kind == ObjectKindPlot) {
        *body = std::move(*area); // the area is not looked at again: a huge one is not copied
        *area = Coverage{};
        return 0;
    }
    if (s.kind != ObjectKindArc) {
        *body = Minus(*area, Morph(*area, s.style.outlineThickness, true));
        return 0;
    }
    // An arc's outline is its ellipse's, each pixel weighed by its share within the sector (aliased: its centre in
    // or out). One at least half as thick as the box is the filled arc, as for the other shapes.
    ShapeRecord whole = s;
    whole.kind = ObjectKindEllipse;
    // Judged on the whole ellipse's box: the coverage may be a part of it.
    int32_t ex, ey, ew, eh;
    if (int err = AreaBox(whole, &ex, &ey, &ew, &eh)) return err;
    if (int64_t(s.style.outlineThickness) * 2 >= std::min(ew, eh)) {
        *body = std::move(*area);
        *area = Coverage{};
        return 0;
    }
    // Antialiased, only the sector's columns, and the outline's thickness beyond them for the erosion.
    const ArcSector sector(s);
    int32_t left = 0, right = ew;
    if (s.style.Antialias()) sector.Columns(EllipseArea(s).rx, EllipseArea(s).ry, ew, &left, &right);
    const int32_t t = s.style.outlineThickness;
    Coverage ellipse;
    if (int err = ShapeArea(whole, &ellipse, want, int64_t(left) - t, int64_t(right) + t)) return err;
    *body = Minus(ellipse, Morph(ellipse, t, true));
    for (int32_t j = 0; j < body->h; ++j)
        for (int32_t i = 0; i < body->w; ++i) {
            uint8_t &v = body->Cell(i, j);
            if (!v) continue;
            const int32_t x = body->x + i, y = body->y + j;
            if (x < left || x >= right) {
                v = 0;
                continue;
            }
            const uint32_t share = s.style.Antialias() ? sector.Coverage(x, y) : sector.Inside(x, y) ? 255 : 0;
            v = uint8_t((v * share + 127) / 255);
        }
    return 0;
}

void ShadowOffset(int32_t direction, int32_t size, int32_t *dx, int32_t *dy) {
    // 0 north, then clockwise in steps of 45 degrees.
    static const int kX[8] = {0, 1, 1, 1, 0, -1, -1, -1}, kY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
    *dx = kX[direction & 7] * size;
    *dy = kY[direction & 7] * size;
}


// Premultiplied colour and opacity of one pixel, in 0..1.
struct Paint {
    float r = 0, g = 0, b = 0, a = 0;
    void Add(uint32_t rgb, float alpha) {
        r += float((rgb >> 16) & 255) * alpha;
        g += float((rgb >> 8) & 255) * alpha;
        b += float(rgb & 255) * alpha;
        a += alpha;
    }
    void Under(uint32_t rgb, float alpha) { // rgb at alpha beneath what is painted
        const float k = alpha * (1 - a);
        r += float((rgb >> 16) & 255) * k;
        g += float((rgb >> 8) & 255) * k;
        b += float(rgb & 255) * k;
        a += k;
    }
};

// The canvas of a shape with clamped style: its area box (*area) widened by the edge and joined with the shadow,
// the box body, edge and shadow cover. Checked against the size limit before anything is rendered.
int ShapeCanvas(const ShapeRecord &s, Window *canvas, Window *area) {
    int32_t bx, by, bw, bh;
    if (int err = AreaBox(s, &bx, &by, &bw, &bh)) return err;
    const FormStyle &f = s.style;
    *area = Window{bx, by, int64_t(bx) + bw, int64_t(by) + bh};
    const int64_t e = f.Edge() ? f.edgeSize : 0;
    *canvas = area->Grown(e);
    if (f.Shadow()) {
        int32_t sdx = 0, sdy = 0;
        ShadowOffset(f.shadowDirection, f.shadowSize, &sdx, &sdy);
        *canvas = canvas->Joined(area->Grown(e).Moved(sdx, sdy));
    }
    if (int err = SideError(canvas->x1 - canvas->x0)) return err;
    return SideError(canvas->y1 - canvas->y0);
}

// The upright image of the generic renderer, only its part within wanted (shape coordinates), the same pixels as
// in the whole image: the area is taken as far beyond it as the outline, edge and shadow reach in. An image that
// misses wanted is empty (0 x 0).
int RenderUpright(const ShapeRecord &shapeIn, ImageTriple *out, int32_t *offsetX, int32_t *offsetY,
                  const Window &wanted) {
    *out = ImageTriple{};
    *offsetX = *offsetY = 0;
    ShapeRecord s = shapeIn;
    ClampFillStyle(&s.style);
    const FormStyle &f = s.style;
    Window canvas{}, areaBox{};
    if (int err = ShapeCanvas(s, &canvas, &areaBox)) return err;
    const Window shown = canvas.Cut(wanted);
    if (shown.Empty()) return 0;
    int32_t sdx = 0, sdy = 0;
    if (f.Shadow()) ShadowOffset(f.shadowDirection, f.shadowSize, &sdx, &sdy);
    const int64_t e = f.Edge() ? f.edgeSize : 0;
    // The body shown, under the edge shown and under the shadow shown; an outline's body needs the area one
    // thickness further (the erosion looks that far, and no further than the box).
    Window need = shown.Grown(e);
    if (f.Shadow()) need = need.Joined(shown.Moved(-sdx, -sdy).Grown(e));
    if (f.fillStyle == kFillNone && s.kind != ObjectKindLine && s.kind != ObjectKindPlot)
        need = need.Grown(std::min<int64_t>(f.outlineThickness, kMaxShapeSide + 1));
    if (need.Cut(areaBox).Empty()) return 0;
    try {
        Coverage area, body;
        if (int err = ShapeBody(s, &body, &area, need)) return err;
        // The edge is a ring around the body; the shadow is the body with its edge, moved.
        // The shadow is read through its base, moved, rather than copied.
        Coverage widened, edge;
        if (f.Edge()) {
            widened = Morph(body, f.edgeSize, false);
            edge = Minus(widened, body);
        }
        const Coverage *shadow = f.Shadow() ? (f.Edge() ? &widened : &body) : nullptr;
        const int32_t x0 = int32_t(shown.x0), y0 = int32_t(shown.y0);
        const int32_t w = int32_t(shown.x1 - shown.x0), h = int32_t(shown.y1 - shown.y0);
        const int32_t bx = int32_t(areaBox.x0), by = int32_t(areaBox.y0);
        const int32_t bw = int32_t(areaBox.x1 - areaBox.x0), bh = int32_t(areaBox.y1 - areaBox.y0);
        const uint32_t bodyOpacity = Opacity(s.color);
        const bool soft = f.Antialias() || bodyOpacity != 255 || (f.Edge() && Opacity(f.edgeColor) != 255) ||
                          (f.Shadow() && Opacity(f.shadowColor) != 255);
        HostBitmap *bitmap = AllocHostBitmap(w, h);
        MaskPlane *mask = bitmap && !soft ? AllocMaskPlane(bitmap, w, h, true) : nullptr;
        AlphaPlane *alpha = bitmap && soft ? AllocAlphaPlane(w, h, true) : nullptr;
        // The body's colours, painted over the whole canvas and then cut out through the coverage.
        HostBitmap *fill = bitmap ? AllocHostBitmap(w, h) : nullptr;
        if (!fill || (!mask && !alpha)) {
            FreeHostBitmap(bitmap);
            FreeHostBitmap(fill);
            FreeMaskPlane(mask);
            FreeAlphaPlane(alpha);
            return kErrOutOfMemory;
        }
        if (f.fillStyle == kFillGradient)
            DRAWGRADIENT(fill, bx - x0, by - y0, bw, bh, f.gradientStartColor, f.gradientEndColor, f.GradientAngle());
        else if (f.fillStyle == kFillTexture && s.texture) {
            // The texture repeats: its phase at the canvas's corner, reduced so a far offset stays in range.
            const auto phase = [](int64_t v, int32_t n) { return int32_t(v % std::max(n, 1)); };
            TextureFill(fill, 0, 0, w, h, s.texture.get(), phase(int64_t(f.textureX) + (x0 - bx), s.texture->width),
                        phase(int64_t(f.textureY) + (y0 - by), s.texture->height), 0, 0);
        }
        else
            for (int32_t j = 0; j < h && !EndRequested(); ++j)
                std::fill(HostBitmapRow32(fill, j), HostBitmapRow32(fill, j) + w, s.color & 0xFFFFFF);
        const float ob = float(bodyOpacity) / (255.0f * 255.0f), oe = float(Opacity(f.edgeColor)) / (255.0f * 255.0f),
                    os = float(Opacity(f.shadowColor)) / (255.0f * 255.0f);
        for (int32_t j = 0; j < h && !EndRequested(); ++j) {
            uint32_t *row = HostBitmapRow32(bitmap, j);
            const uint32_t *fillRow = HostBitmapRow32(fill, j);
            for (int32_t i = 0; i < w; ++i) {
                const int32_t px = x0 + i, py = y0 + j;
                if (!soft) { // one colour per pixel: body over edge over shadow
                    uint32_t c;
                    if (body.At(px, py)) c = fillRow[i];
                    else if (edge.w && edge.At(px, py)) c = f.edgeColor & 0xFFFFFF;
                    else if (shadow && shadow->At(px - sdx, py - sdy)) c = f.shadowColor & 0xFFFFFF;
                    else continue;
                    row[i] = c;
                    SetMaskBit(mask->bits + ptrdiff_t(j) * mask->bytesPerRow, i, true);
                    continue;
                }
                // Body and ring share the pixel; the shadow shows beneath both.
                Paint p;
                if (const uint8_t b = body.At(px, py)) p.Add(fillRow[i], float(b) * ob);
                if (edge.w) p.Add(f.edgeColor, float(edge.At(px, py)) * oe);
                if (shadow) p.Under(f.shadowColor, float(shadow->At(px - sdx, py - sdy)) * os);
                if (p.a <= 0) continue;
                const float k = 1.0f / p.a;
                const auto channel = [&](float v) { return uint32_t(std::clamp(v * k + 0.5f, 0.0f, 255.0f)); };
                row[i] = (channel(p.r) << 16) | (channel(p.g) << 8) | channel(p.b);
                alpha->bytes[ptrdiff_t(j) * alpha->bytesPerRow + i] = uint8_t(std::clamp(p.a * 255.0f + 0.5f, 0.0f, 255.0f));
            }
        }
        FreeHostBitmap(fill);
        *out = ImageTriple{bitmap, mask, alpha, w, h};
        *offsetX = x0;
        *offsetY = y0;
    } catch (const std::bad_alloc &) {
        FreeImageTriple(out);
        return kErrOutOfMemory;
    }
    return 0;
}

// A part with no pixel of the shape in reach: clear.
int ClearPart(const TransformPart &part, ImageTriple *out) {
    out->bitmap = AllocHostBitmap(part.width, part.height);
    out->mask = out->bitmap ? AllocMaskPlane(out->bitmap, part.width, part.height, true) : nullptr;
    out->width = part.width, out->height = part.height;
    return out->mask ? 0 : kErrOutOfMemory;
}

// The part within wanted of the upright image turned about its top-left: the turned pixels made are those the
// part covers, from the upright pixels they sample (with two more for the bilinear neighbours and the rounding).
// The canvas of the shape's upright image, its size checked against what the matrix makes of it.
int TransformedCanvas(const ShapeRecord &shape, const double m[4], Window *canvas) {
    ShapeRecord s = shape;
    ClampFillStyle(&s.style);
    Window area{};
    if (int err = ShapeCanvas(s, canvas, &area)) return err;
    return CheckTransformSize(m, int32_t(canvas->x1 - canvas->x0), int32_t(canvas->y1 - canvas->y0));
}

// The turned grid as TransformImage lays it for a cw x ch canvas turned to tw x th: centred on the turned box.
struct TurnedGrid {
    double ox = 0, oy = 0, ia = 0, ib = 0, ic = 0, id = 0;
    int64_t cw = 0, ch = 0;
    TurnedGrid(const double m[4], double det, int32_t canvasWidth, int32_t canvasHeight, int32_t tw, int32_t th)
        : ia(m[3] / det), ib(-m[2] / det), ic(-m[1] / det), id(m[0] / det), cw(canvasWidth), ch(canvasHeight) {
        double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
        for (const double cx : {0.0, double(cw)})
            for (const double cy : {0.0, double(ch)}) {
                x0 = std::min(x0, m[0] * cx + m[2] * cy), x1 = std::max(x1, m[0] * cx + m[2] * cy);
                y0 = std::min(y0, m[1] * cx + m[3] * cy), y1 = std::max(y1, m[1] * cx + m[3] * cy);
            }
        ox = (x0 + x1 - tw) / 2, oy = (y0 + y1 - th) / 2;
    }
    // The canvas pixels the turned pixels of dest sample, with two more for the bilinear neighbours and the
    // rounding; empty when they miss the canvas.
    Window Source(const Window &dest) const {
        double sx0 = INFINITY, sy0 = INFINITY, sx1 = -INFINITY, sy1 = -INFINITY;
        for (const int64_t i : {dest.x0, dest.x1 - 1})
            for (const int64_t j : {dest.y0, dest.y1 - 1}) {
                const double px = ox + double(i) + 0.5, py = oy + double(j) + 0.5;
                const double fx = ia * px + ib * py - 0.5, fy = ic * px + id * py - 0.5;
                sx0 = std::min(sx0, fx), sx1 = std::max(sx1, fx), sy0 = std::min(sy0, fy), sy1 = std::max(sy1, fy);
            }
        return Window{int64_t(std::max(std::floor(sx0), -1.0 * kMaxShapeSide)) - 2,
                      int64_t(std::max(std::floor(sy0), -1.0 * kMaxShapeSide)) - 2,
                      int64_t(std::min(std::ceil(sx1), 2.0 * kMaxShapeSide)) + 3,
                      int64_t(std::min(std::ceil(sy1), 2.0 * kMaxShapeSide)) + 3}
            .Cut(Window{0, 0, cw, ch});
    }
};

int RenderTurned(const ShapeRecord &shape, const DisplayTransform &transform, ImageTriple *out, int32_t *offsetX,
                 int32_t *offsetY, const Window &wanted) {
    *out = ImageTriple{};
    *offsetX = *offsetY = 0;
    const double m[4] = {transform.a, transform.b, transform.c, transform.d};
    Window canvas{};
    if (int err = TransformedCanvas(shape, m, &canvas)) return err;
    const int32_t cw = int32_t(canvas.x1 - canvas.x0), ch = int32_t(canvas.y1 - canvas.y0);
    const double det = m[0] * m[3] - m[1] * m[2];
    if (std::fabs(det) < 1e-12) return kErrWrongUsage;
    int32_t tx, ty, tw, th;
    TransformedBounds(int32_t(canvas.x0), int32_t(canvas.y0), cw, ch, m, &tx, &ty, &tw, &th, 0, 0);
    const Window dest = Window{0, 0, tw, th}.Cut(wanted.Moved(-int64_t(tx), -int64_t(ty)));
    if (dest.Empty()) return 0;
    ImageTriple upright;
    int32_t ux = 0, uy = 0;
    if (dest.x0 == 0 && dest.y0 == 0 && dest.x1 == tw && dest.y1 == th) { // the whole image
        if (int err = RenderUpright(shape, &upright, &ux, &uy, kWholeShape)) return err;
        const int err = ApplyImageTransform(upright, m, transform.smooth != 0, out);
        FreeImageTriple(&upright);
        *offsetX = tx, *offsetY = ty;
        return err;
    }
    Window source = TurnedGrid(m, det, cw, ch, tw, th).Source(dest);
    if (source.Empty()) source = Window{0, 0, 1, 1}; // samples nothing: any source gives the same part
    if (int err = RenderUpright(shape, &upright, &ux, &uy, source.Moved(canvas.x0, canvas.y0))) return err;
    const TransformPart part{int32_t(dest.x0), int32_t(dest.y0), int32_t(dest.x1 - dest.x0), int32_t(dest.y1 - dest.y0),
                             int32_t(ux - canvas.x0), int32_t(uy - canvas.y0), cw, ch};
    int err = 0;
    if (upright.bitmap)
        err = TransformImage(upright.bitmap, upright.mask, upright.alpha, 0, 0, 0, 0, m, transform.smooth != 0,
                             &out->bitmap, &out->mask, &out->alpha, &out->width, &out->height, &part);
    else
        err = ClearPart(part, out);
    FreeImageTriple(&upright);
    if (err) {
        FreeImageTriple(out);
        return err;
    }
    *offsetX = int32_t(tx + dest.x0), *offsetY = int32_t(ty + dest.y0);
    return 0;
}

// The part within wanted (relative to the scaled image) of the upright image scaled as ScaleImage scales it,
// made from the upright pixels it samples only.
int RenderScaledPart(const ShapeRecord &shape, const Window &canvas, const double m[4], bool smooth,
                     const Window &wanted, ImageTriple *out) {
    const int32_t cw = int32_t(canvas.x1 - canvas.x0), ch = int32_t(canvas.y1 - canvas.y0);
    int32_t sw, sh;
    PlainScaleSize(m, cw, ch, &sw, &sh);
    if (sw > kMaxBitmapSide || sh > kMaxBitmapSide) return kErrWrongUsage; // as ScaleImage refuses the whole
    const Window dest = Window{0, 0, sw, sh}.Cut(wanted);
    if (dest.Empty()) return 0;
    const TransformPart part0{int32_t(dest.x0),
                              int32_t(dest.y0),
                              int32_t(dest.x1 - dest.x0),
                              int32_t(dest.y1 - dest.y0),
                              0,
                              0,
                              cw,
                              ch};
    int32_t x0, x1, y0, y1;
    ScaledSourceSpan(cw, sw, part0.x, part0.width, smooth, &x0, &x1);
    ScaledSourceSpan(ch, sh, part0.y, part0.height, smooth, &y0, &y1);
    ImageTriple upright;
    int32_t ux = 0, uy = 0;
    if (int err =
            RenderUpright(shape, &upright, &ux, &uy, Window{x0, y0, x1, y1}.Moved(canvas.x0, canvas.y0)))
        return err;
    TransformPart part = part0;
    part.sourceX = int32_t(ux - canvas.x0), part.sourceY = int32_t(uy - canvas.y0);
    int err = 0;
    if (upright.bitmap) {
        err = ScaleImage(upright.bitmap, upright.mask, upright.alpha, 0, 0, nullptr, 0, 0, sw, sh, smooth,
                         &out->bitmap, &out->mask, &out->alpha, &part);
        out->width = part.width, out->height = part.height;
    } else {
        err = ClearPart(part, out);
    }
    FreeImageTriple(&upright);
    if (err) FreeImageTriple(out);
    return err;
}

// The generic renderer: every shape, form style, paint and transform, and the oracle of the faster routes. Only
// the part within wanted (shape coordinates) is made; it has the whole image's pixels there.
int RenderGeneric(const ShapeRecord &shape, const DisplayTransform *transform, ImageTriple *out, int32_t *offsetX,
                  int32_t *offsetY, const Window &wanted = kWholeShape) {
    if (transform && !IsIdentityTransform(*transform))
        return RenderTurned(shape, *transform, out, offsetX, offsetY, wanted);
    return RenderUpright(shape, out, offsetX, offsetY, wanted);
}

// Cleared planes for a plain shape's image: a mask, or an alpha plane when it is antialiased or see-through.
int AllocPlainImage(const ShapeRecord &s, int32_t width, int32_t height, ImageTriple *out) {
    const bool soft = s.style.Antialias() || Opacity(s.color) != 255;
    HostBitmap *bitmap = AllocHostBitmap(width, height);
    MaskPlane *mask = bitmap && !soft ? AllocMaskPlane(bitmap, width, height, true) : nullptr;
    AlphaPlane *alpha = bitmap && soft ? AllocAlphaPlane(width, height, true) : nullptr;
    if (!mask && !alpha) {
        FreeHostBitmap(bitmap);
        return kErrOutOfMemory;
    }
    *out = ImageTriple{bitmap, mask, alpha, width, height};
    return 0;
}

// The part within wanted (shape coordinates) of a plain shape's upright image: its spans written straight into
// a new image and its alpha plane or mask, the pixels the generic renderer makes. The cost follows the rows and
// the pixels covered, not the box (a huge outline keeps pages only where it runs); it goes a band of rows at a
// time, so a program told to end stops between bands. A part that misses the shape's box is empty (0 x 0).
int RenderPlainUpright(const ShapeRecord &s, const Window &wanted, ImageTriple *out, int32_t *offsetX,
                       int32_t *offsetY) {
    *out = ImageTriple{};
    int32_t bx, by, bw, bh;
    if (int err = AreaBox(s, &bx, &by, &bw, &bh)) return err;
    if (int err = SideError(bw)) return err;
    if (int err = SideError(bh)) return err;
    const Window part = Window{bx, by, int64_t(bx) + bw, int64_t(by) + bh}.Cut(wanted);
    if (part.Empty()) return 0;
    const int32_t x0 = int32_t(part.x0), y0 = int32_t(part.y0);
    const int32_t w = int32_t(part.x1 - part.x0), h = int32_t(part.y1 - part.y0);
    if (int err = AllocPlainImage(s, w, h, out)) return err;
    ShapeOutput o;
    o.bitmap = out->bitmap, o.mask = out->mask, o.alpha = out->alpha, o.width = w, o.height = h, o.ownImage = true;
    // An outline's rows look t rows beyond their band: bands twice that high repeat little of that work.
    constexpr int64_t kBandPixels = int64_t(1) << 22;
    const int64_t reach = s.style.fillStyle == kFillNone ? std::max(s.style.outlineThickness, 1) : 0;
    const int32_t band = int32_t(std::min<int64_t>(h, std::max({int64_t(64), 2 * reach, kBandPixels / w})));
    for (int32_t j = 0; j < h && !EndRequested(); j += band) {
        o.clipY = j, o.clipHeight = std::min(band, h - j);
        if (int err = DrawShapeSpans(s, -x0, -y0, o)) {
            FreeImageTriple(out);
            return err;
        }
    }
    *offsetX = x0;
    *offsetY = y0;
    return 0;
}

// A plain shape's image, turned by the transform about its top-left when there is one: the turned image is made
// a tile at a time from the upright pixels each tile samples, so the upright image is never held whole beside it.
int RenderPlain(const ShapeRecord &s, const DisplayTransform *transform, ImageTriple *out, int32_t *offsetX,
                int32_t *offsetY) {
    *out = ImageTriple{};
    if (!transform || IsIdentityTransform(*transform)) return RenderPlainUpright(s, kWholeShape, out, offsetX, offsetY);
    const double m[4] = {transform->a, transform->b, transform->c, transform->d};
    Window canvas{};
    if (int err = TransformedCanvas(s, m, &canvas)) return err;
    const int32_t cw = int32_t(canvas.x1 - canvas.x0), ch = int32_t(canvas.y1 - canvas.y0);
    const double det = m[0] * m[3] - m[1] * m[2];
    if (std::fabs(det) < 1e-12 || !std::isfinite(det)) return kErrWrongUsage;
    int32_t tx, ty, tw, th;
    TransformedBounds(int32_t(canvas.x0), int32_t(canvas.y0), cw, ch, m, &tx, &ty, &tw, &th, 0, 0);
    if (int err = AllocPlainImage(s, tw, th, out)) return err;
    const TurnedGrid grid(m, det, cw, ch, tw, th);
    // Tiles whose upright part stays within some 2048 pixels a side; a multiple of 8 wide, as a mask's bytes are.
    const double stretch =
        std::max({1.0, std::fabs(grid.ia) + std::fabs(grid.ib), std::fabs(grid.ic) + std::fabs(grid.id)});
    const int32_t tile = int32_t(std::clamp(2048 / stretch, 64.0, 512.0)) & ~7;
    int err = 0;
    for (int32_t tj = 0; tj < th && !err && !EndRequested(); tj += tile)
        for (int32_t ti = 0; ti < tw && !err; ti += tile) {
            const int32_t dw = std::min(tile, tw - ti), dh = std::min(tile, th - tj);
            const Window source = grid.Source(Window{ti, tj, int64_t(ti) + dw, int64_t(tj) + dh});
            if (source.Empty()) continue;
            ImageTriple upright;
            int32_t ux = 0, uy = 0;
            err = RenderPlainUpright(s, source.Moved(canvas.x0, canvas.y0), &upright, &ux, &uy);
            if (!err && upright.bitmap) {
                const TransformPart part{ti, tj, dw, dh, int32_t(ux - canvas.x0), int32_t(uy - canvas.y0), cw, ch};
                err = TransformImageInto(upright.bitmap, upright.mask, upright.alpha, m, transform->smooth != 0, part,
                                         *out, ti, tj);
            }
            FreeImageTriple(&upright);
        }
    if (err) {
        FreeImageTriple(out);
        return err;
    }
    *offsetX = tx;
    *offsetY = ty;
    return 0;
}

// What the generic renderer holds per pixel of a whole image: the area, body, edge and shadow coverages and
// their erosions, the fill and the image.
constexpr int64_t kGenericBytesPerPixel = 16;
// The largest whole image it makes (a 4096-pixel square): it works on every pixel of the box several times,
// some 100 ns a pixel, so a larger one would hold a draw for seconds and a quarter of a gigabyte or more.
constexpr int64_t kMaxGenericImagePixels = int64_t(1) << 24;

} // namespace

int RenderShapeImage(const ShapeRecord &shape, const DisplayTransform *transform, ImageTriple *out, int32_t *offsetX,
                     int32_t *offsetY) {
    ShapeRecord s = shape;
    ClampFillStyle(&s.style);
    if (IsPlainShape(s, nullptr)) return RenderPlain(s, transform, out, offsetX, offsetY);
    // An edge, a shadow or a texture takes the generic renderer, whose whole image holds several planes at
    // once: one beyond its size or what a call may allocate is refused before any is made.
    Window canvas{}, area{};
    if (int err = ShapeCanvas(s, &canvas, &area)) return err;
    const int64_t width = canvas.x1 - canvas.x0, height = canvas.y1 - canvas.y0, pixels = width * height;
    if (pixels > kMaxGenericImagePixels) {
        const FormStyle &f = s.style;
        return NoteErrorHint(kErrOutOfMemory,
                             "As a layer, a shape with an edge, a shadow or a texture is at most " +
                                 std::to_string(kMaxGenericImagePixels) +
                                 " pixels (4096 x 4096) before it is scaled or turned; this one is " + std::to_string(width) + " x " + std::to_string(height) +
                                 (f.Edge() && f.Shadow() ? " with its edge and shadow"
                                  : f.Edge()             ? " with its edge"
                                  : f.Shadow()           ? " with its shadow"
                                                         : "") + ".");
    }
    if (!FitsAllocationCap(pixels, kGenericBytesPerPixel)) return kErrOutOfMemory;
    return RenderGeneric(shape, transform, out, offsetX, offsetY);
}


int ShapeImageBox(const ShapeRecord &shape, int32_t *x, int32_t *y, int32_t *width, int32_t *height) {
    ShapeRecord s = shape;
    ClampFillStyle(&s.style);
    Window canvas{}, area{};
    if (int err = ShapeCanvas(s, &canvas, &area)) return err;
    *x = int32_t(canvas.x0), *y = int32_t(canvas.y0);
    *width = int32_t(canvas.x1 - canvas.x0), *height = int32_t(canvas.y1 - canvas.y0);
    return 0;
}

int RenderShapeImagePart(const ShapeRecord &shape, const DisplayTransform &transform, int32_t x, int32_t y,
                         int32_t width, int32_t height, ImageTriple *out) {
    *out = ImageTriple{};
    const double m[4] = {transform.a, transform.b, transform.c, transform.d};
    Window canvas{};
    if (int err = TransformedCanvas(shape, m, &canvas)) return err;
    const int32_t cw = int32_t(canvas.x1 - canvas.x0), ch = int32_t(canvas.y1 - canvas.y0);
    if (IsPlainScale(m))
        return RenderScaledPart(shape, canvas, m, transform.smooth != 0,
                                Window{x, y, int64_t(x) + width, int64_t(y) + height}, out);
    int32_t tx, ty, tw, th, ox = 0, oy = 0;
    TransformedBounds(int32_t(canvas.x0), int32_t(canvas.y0), cw, ch, m, &tx, &ty, &tw, &th, 0, 0);
    const Window part = Window{int64_t(tx) + x, int64_t(ty) + y, int64_t(tx) + x + width, int64_t(ty) + y + height};
    return RenderTurned(shape, transform, out, &ox, &oy, part);
}

std::shared_ptr<const HostBitmap> CopyTextureImage(const HostBitmap *bitmap) {
    if (!bitmap || !bitmap->pixels) return nullptr;
    HostBitmap *copy = AllocHostBitmapFormat(bitmap->width, bitmap->height, bitmap->format);
    if (!copy) return nullptr;
    for (int32_t j = 0; j < bitmap->height; ++j)
        std::memcpy(HostBitmapRow(copy, j), HostBitmapRow(bitmap, j), size_t(bitmap->width) * size_t(bitmap->bytesPerPixel));
    try {
        return std::shared_ptr<const HostBitmap>(copy, [](const HostBitmap *b) { FreeHostBitmap(const_cast<HostBitmap *>(b)); });
    } catch (const std::bad_alloc &) {
        FreeHostBitmap(copy);
        return nullptr;
    }
}

std::shared_ptr<const HostBitmap> BorrowTextureImage(const HostBitmap *bitmap) {
    return std::shared_ptr<const HostBitmap>(std::shared_ptr<const HostBitmap>(), bitmap);
}

ShapeOutput BitmapShapeOutput(HostBitmap *bitmap) {
    ShapeOutput o;
    o.bitmap = bitmap;
    if (bitmap) o.width = bitmap->width, o.height = bitmap->height;
    return o;
}

namespace {

uint32_t ImageCoverage(const ImageTriple &t, int32_t i, int32_t j) {
    if (t.alpha) return t.alpha->bytes[ptrdiff_t(j) * t.alpha->bytesPerRow + i];
    if (t.mask) return MaskBit(t.mask, i, j) ? 255 : 0;
    return 255;
}

// Calls visit(i, j, px, py) for every pixel of an image placed at (x, y) that the output lets through.
template <class Visit> void ForEachOutputPixel(const ImageTriple &t, int64_t x, int64_t y, const ShapeOutput &o,
                                               Visit visit) {
    const ClipBox box = OutputClip(o);
    const int64_t i0 = std::max<int64_t>(0, box.x0 - x), i1 = std::min<int64_t>(t.width, box.x1 - x);
    const int64_t j0 = std::max<int64_t>(0, box.y0 - y), j1 = std::min<int64_t>(t.height, box.y1 - y);
    for (int64_t j = j0; j < j1 && !EndRequested(); ++j)
        for (int64_t i = i0; i < i1; ++i) {
            const int32_t px = int32_t(x + i), py = int32_t(y + j);
            if (o.region && o.region->mask && !ClipRegionContains(o.region, px, py)) continue;
            visit(int32_t(i), int32_t(j), px, py);
        }
}

} // namespace

int DrawShapeGeneric(const ShapeRecord &shape, int32_t x, int32_t y, const DisplayTransform *transform,
                     const ShapeOutput &o) {
    // Only the output's pixels are rendered.
    const ClipBox box = OutputClip(o);
    const Window wanted{int64_t(box.x0) - x, int64_t(box.y0) - y, int64_t(box.x1) - x, int64_t(box.y1) - y};
    ImageTriple image;
    int32_t ox = 0, oy = 0;
    if (int err = RenderGeneric(shape, transform, &image, &ox, &oy, wanted)) return err;
    const int64_t ix = int64_t(x) + ox, iy = int64_t(y) + oy;
    if (o.bitmap) {
        const PixelBuffer b = BitmapPixels(o.bitmap);
        ForEachOutputPixel(image, ix, iy, o, [&](int32_t i, int32_t j, int32_t px, int32_t py) {
            if (const uint32_t a = ImageCoverage(image, i, j))
                WritePixelGeneric(b, px, py, BlendChannels(ReadPixelGeneric(b, px, py),
                                                           ColorChannels(HostBitmapRow32(image.bitmap, j)[i]), a));
        });
    }
    // The mask and the intensity take the shape's coverage, not its colours' transparency.
    ImageTriple solid;
    const ImageTriple *cover = &image;
    if ((o.mask || (o.alpha && o.alpha->bytes && o.alphaLevel != kShapeAlphaOwnOpacity)) && image.alpha) {
        ShapeRecord opaque = shape;
        opaque.color &= 0xFFFFFF;
        opaque.style.edgeColor &= 0xFFFFFF;
        opaque.style.shadowColor &= 0xFFFFFF;
        int32_t sx = 0, sy = 0;
        if (int err = RenderGeneric(opaque, transform, &solid, &sx, &sy, wanted)) {
            FreeImageTriple(&image);
            return err;
        }
        cover = &solid;
    }
    if (o.mask && o.mask->bits)
        ForEachOutputPixel(*cover, ix, iy, o, [&](int32_t i, int32_t j, int32_t px, int32_t py) {
            WriteMaskPixel(o.mask, o.maskMode, px, py, ImageCoverage(*cover, i, j) >= 128);
        });
    if (o.alpha && o.alpha->bytes) {
        const ImageTriple &t = o.alphaLevel == kShapeAlphaOwnOpacity ? image : *cover;
        ForEachOutputPixel(t, ix, iy, o, [&](int32_t i, int32_t j, int32_t px, int32_t py) {
            WriteAlphaPixel(o.alpha, o.alphaLevel, px, py, ImageCoverage(t, i, j));
        });
    }
    FreeImageTriple(&solid);
    FreeImageTriple(&image);
    return 0;
}

bool IsPlainShape(const ShapeRecord &s, const DisplayTransform *transform) {
    if (transform && !IsIdentityTransform(*transform)) return false;
    const FormStyle &f = s.style;
    if (f.Edge() || f.Shadow()) return false;
    const int32_t fill = std::clamp(f.fillStyle, kFillNone, kFillTexture);
    if (fill == kFillTexture && s.texture) return false;
    return true;
}

int DrawShape(const ShapeRecord &shape, int32_t x, int32_t y, const DisplayTransform *transform,
              const ShapeOutput &output) {
    // Modes that write the whole box, not only the shape's pixels, take the generic path.
    const bool boxWrites = (output.mask && (output.maskMode == TemplateMaskCopy || output.maskMode == TemplateMaskAnd)) ||
                           (output.alpha && output.alphaLevel == kShapeAlphaOwnOpacity);
    if (!boxWrites && IsPlainShape(shape, transform)) return DrawShapeSpans(shape, x, y, output);
    return DrawShapeGeneric(shape, x, y, transform, output);
}

int DrawShapeIntoBitmap(HostBitmap *target, int32_t x, int32_t y, const ShapeRecord &shape,
                        const DisplayTransform *transform) {
    if (!target || !target->pixels) return kErrWrongUsage;
    return DrawShape(shape, x, y, transform, BitmapShapeOutput(target));
}
