// The input of fuzz_shape, shared with the test that loads its regression files: random shapes with extreme
// arguments: outlines, polygons and lines of huge, tiny, negative, NaN and infinite coordinates, thickness up
// to 1e9, edges, shadows, gradients and textures, drawn into a small output through a clip rectangle and a
// clip region (plain, masked or far too large), with and without a transform, as a direct draw does; and, as
// a layer does, the shape's image and the region through the layer's matrix. Any outcome but a crash, a
// sanitizer report or a draw that runs past the fuzzer's time-out is fine: a shape that reaches the output
// only in part must cost that part, whatever its own size.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "host/bitmap.h"
#include "imaging/clip_region.h"
#include "imaging/display_options.h"
#include "imaging/image_ops.h"
#include "imaging/pixels.h"
#include "imaging/shapes.h"
#include "runtime/app/object_kinds.h"

namespace shapefuzz {

// The bytes read in order; past the end every read gives 0.
struct Input {
    const uint8_t *data;
    size_t size, at = 0;
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    uint32_t Word() {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = v << 8 | Byte();
        return v;
    }
    bool Bool() { return Byte() & 1; }
    int32_t Range(int32_t lo, int32_t hi) {
        return int32_t(lo + int64_t(Word() % (uint64_t(int64_t(hi) - lo) + 1)));
    }
    double Unit() { return Word() / 4294967295.0; }
    template <class T, size_t N> T Pick(const T (&values)[N]) { return values[Byte() % N]; }
};

constexpr int32_t kWidth = 48, kHeight = 36;

inline double Extreme(Input &in) {
    static const double kValues[] = {0,
                                     1,
                                     -1,
                                     0.5,
                                     -0.5,
                                     1e-300,
                                     -1e-300,
                                     7,
                                     16383,
                                     16384,
                                     16385,
                                     -16385,
                                     1e9,
                                     -1e9,
                                     2147483647.0,
                                     -2147483648.0,
                                     1e300,
                                     -1e300,
                                     std::numeric_limits<double>::infinity(),
                                     -std::numeric_limits<double>::infinity(),
                                     std::numeric_limits<double>::quiet_NaN()};
    if (in.Bool()) return in.Pick(kValues);
    return (in.Unit() * 200 - 100);
}

// A script's number as the argument readers make it an int32: saturated, NaN as 0.
inline int32_t Coordinate(double v) {
    if (std::isnan(v)) return 0;
    return int32_t(std::clamp(v, -2147483648.0, 2147483647.0));
}

inline ShapeRecord MakeShape(Input &in, const HostBitmap *texture) {
    static const int32_t kKinds[] = {ObjectKindBox,  ObjectKindCircle,  ObjectKindEllipse, ObjectKindLine,
                                     ObjectKindPlot, ObjectKindPolygon, ObjectKindArc};
    ShapeRecord s;
    s.kind = in.Pick(kKinds);
    s.color = in.Word();
    FormStyle &f = s.style;
    f.styleBits = in.Range(0, 15);
    f.fillStyle = in.Range(-1, 4);
    f.outlineThickness = in.Bool() ? in.Range(0, 40) : Coordinate(Extreme(in));
    f.edgeSize = in.Range(-2, 70);
    f.shadowSize = in.Range(-2, 70);
    f.shadowDirection = in.Range(-1, 8);
    f.edgeColor = in.Word();
    f.shadowColor = in.Word();
    f.gradientStyle = in.Range(0, 2);
    f.gradientAngle = int32_t(in.Word());
    f.textureX = int32_t(in.Word()), f.textureY = int32_t(in.Word());
    if (f.fillStyle == kFillTexture && in.Bool()) s.texture = BorrowTextureImage(texture);
    const auto size = [&] { return in.Bool() ? in.Range(-2, 80) : Coordinate(Extreme(in)); };
    s.sizeX = size(), s.sizeY = size(), s.roundLevel = size();
    s.radiusX = size(), s.radiusY = size();
    s.startAngle = int32_t(in.Word()), s.endAngle = int32_t(in.Word());
    s.clockwise = in.Bool();
    s.x1 = size(), s.y1 = size(), s.x2 = size(), s.y2 = size();
    s.thickness = in.Bool() ? in.Range(0, 1000000000) : size();
    const int32_t points = in.Range(0, 12);
    for (int32_t k = 0; k < 2 * points; ++k)
        s.vertices.push_back(Extreme(in));
    return s;
}

inline DisplayTransform MakeTransform(Input &in) {
    DisplayTransform t;
    if (!in.Bool()) return t;
    t.a = in.Bool() ? Extreme(in) : (in.Unit() * 6 - 3);
    t.b = in.Bool() ? 0 : Extreme(in);
    t.c = in.Bool() ? 0 : Extreme(in);
    t.d = in.Bool() ? t.a : Extreme(in);
    t.smooth = in.Bool();
    return t;
}

inline void DrawFuzzedShape(const uint8_t *data, size_t size) {
    Input in{data, size};
    HostBitmap *texture = AllocHostBitmap(5, 3);
    HostBitmap *bitmap =
        AllocHostBitmapFormat(kWidth, kHeight, in.Bool() ? PixelFormatARGB32 : PixelFormatRGB565LE);
    MaskPlane *mask = AllocMaskPlane(nullptr, kWidth, kHeight, true);
    AlphaPlane *alpha = AllocAlphaPlane(kWidth, kHeight, true);
    const ShapeRecord shape = MakeShape(in, texture);

    // The clip region: a rectangle of any size, shaped by a mask or not.
    ClipRegion *region = nullptr;
    if (in.Bool()) {
        const int32_t masked = in.Bool();
        const int32_t w = masked ? in.Range(1, 64) : std::max(1, Coordinate(Extreme(in)));
        const int32_t h = masked ? in.Range(1, 64) : std::max(1, Coordinate(Extreme(in)));
        region = new ClipRegion;
        region->x = Coordinate(Extreme(in)), region->y = Coordinate(Extreme(in));
        region->width = w, region->height = h;
        if (masked) {
            region->mask = AllocMaskPlane(nullptr, w, h, true);
            for (int32_t j = 0; j < h; ++j)
                for (int32_t i = 0; i < w; ++i)
                    if ((i * 7 + j * 3) % 5)
                        SetMaskBit(region->mask->bits + ptrdiff_t(j) * region->mask->bytesPerRow, i, true);
        }
    }

    // A direct draw: into the bitmap, or the mask and alpha planes of a redirected output.
    ShapeOutput o;
    o.width = kWidth, o.height = kHeight;
    if (in.Bool())
        o.bitmap = bitmap;
    else
        o.mask = mask, o.alpha = alpha;
    o.maskMode = in.Range(0, 5);
    o.alphaLevel = in.Bool() ? kShapeAlphaOwnOpacity : in.Range(0, 255);
    if (in.Bool()) {
        o.clipX = Coordinate(Extreme(in)), o.clipY = Coordinate(Extreme(in));
        o.clipWidth = std::max(0, Coordinate(Extreme(in))),
        o.clipHeight = std::max(0, Coordinate(Extreme(in)));
    }
    o.region = region;
    const int32_t x = Coordinate(Extreme(in)), y = Coordinate(Extreme(in));
    const DisplayTransform transform = MakeTransform(in);
    DrawShape(shape, x, y, &transform, o);

    // A layer: the shape's whole image through the layer's matrix (only when small: a large one is a large
    // layer, whole by design), and the region through the matrix, whatever it is.
    const double m[4] = {transform.a, transform.b, transform.c, transform.d};
    if (CheckTransformSize(m, 64, 64) == 0) {
        ShapeRecord small = shape;
        if (in.Bool()) {
            small.sizeX = std::clamp(small.sizeX, -1, 64), small.sizeY = std::clamp(small.sizeY, -1, 64);
            small.radiusX = std::clamp(small.radiusX, -1, 32),
            small.radiusY = std::clamp(small.radiusY, -1, 32);
            small.style.outlineThickness = std::clamp(small.style.outlineThickness, -1, 70);
            for (int32_t *v : {&small.x1, &small.y1, &small.x2, &small.y2, &small.thickness})
                *v = std::clamp(*v, -64, 64);
            for (double &v : small.vertices)
                v = std::clamp(v, -64.0, 64.0);
            ImageTriple image;
            int32_t ox = 0, oy = 0, w = 0, h = 0;
            const bool made = ShapeImageBox(small, &ox, &oy, &w, &h) == 0;
            const double turnedArea = (std::fabs(m[0]) * w + std::fabs(m[2]) * h + 1) *
                                      (std::fabs(m[1]) * w + std::fabs(m[3]) * h + 1);
            if (made && turnedArea < 4e6 && RenderShapeImage(small, &transform, &image, &ox, &oy) == 0)
                FreeImageTriple(&image);
        }
    }
    if (region) {
        const double unscaled[4] = {m[0] * 0.5, m[1], m[2], m[3] * 0.5};
        ClipRegion *turned = TransformClipRegion(region, m, unscaled, in.Bool(), in.Bool(), in.Unit(),
                                                 in.Unit(), in.Range(0, 256), in.Range(0, 256));
        if (turned) {
            for (int32_t j = 0; j < kHeight; j += 5)
                for (int32_t i = 0; i < kWidth; i += 5)
                    ClipRegionContains(turned, i, j);
            FreeClipRegionMask(turned);
            delete turned;
        }
    }
    if (region) FreeMaskPlane(region->mask);
    delete region;
    FreeHostBitmap(texture);
    FreeHostBitmap(bitmap);
    FreeMaskPlane(mask);
    FreeAlphaPlane(alpha);
}

} // namespace shapefuzz
