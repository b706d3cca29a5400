// The vector rasteriser: polygon fill into mask planes, polygon clipping, ellipse points, form styles.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/bitmap.h"
#include "runtime/vm/vm.h"

// floor and ceil of a value within int32_t's range: a conversion and a compare, where the library's must also
// handle the rest.
inline int32_t FloorInt(double v) {
    const int32_t k = int32_t(v);
    return k > v ? k - 1 : k;
}
inline int32_t CeilInt(double v) {
    const int32_t k = int32_t(v);
    return k < v ? k + 1 : k;
}

// Fills the closed polygon (count points as x, y pairs of signed 32-bit values) into the plane: a pixel is set
// when its centre is inside by the non-zero winding rule, so a star drawn in one stroke is filled whole. The
// crossings of one scan line need 8 bytes each, at most count of them: when the caller's scratch block is smaller
// than that (or null), the fill uses its own memory instead of writing past the block. Returns 0, kErrOutOfMemory
// when out of memory, or kErrWrongUsage when the plane does not know its row count.
int FillPolygonMask(MaskPlane *plane, const int32_t *points, int32_t count, void *scratch, size_t scratchSize);
// One crossing of a polygon's edge with a row's centre line: the first pixel whose centre lies right of it, and
// the edge: its index times two, plus one when it runs down (winding +1).
struct PolygonCrossing {
    int32_t pixel;
    int32_t edge;
};
static_assert(sizeof(PolygonCrossing) == 8, "the scratch size promised to callers");
// A polygon edge that is not level, ready for crossing rows: x at its upper end y, dx per row, down to yEnd.
// PreparePolygonEdges lists them from the top down. The ends are whole pixels: kept as such, a thousand edges fit
// the first-level cache.
struct PolygonEdge {
    double slope;
    int32_t x, y, yEnd, winding;
};
// The count edges of a closed polygon of count points; returns how many are not level.
int32_t PreparePolygonEdges(const int32_t *points, int32_t count, PolygonEdge *edges);
// Walks a polygon's rows from the top down with an active edge list: an edge joins it at the first row whose
// centre line reaches its top and leaves at the first past its end, so a row costs the edges crossing it rather
// than every edge that started above. The list stays in the order of the last row's crossings, which the next row
// changes little: sorting it again costs about one pass.
struct PolygonScan {
    const PolygonEdge *edges;
    int32_t count;
    PolygonCrossing *cross; // room for count crossings: the active list
    int32_t active = 0, next = 0;
    PolygonScan(const PolygonEdge *e, int32_t n, PolygonCrossing *c) : edges(e), count(n), cross(c) {}

    // Calls span(from, to) for each run [from, to) of row y's pixels whose centres the polygon holds (non-zero
    // winding). Rows go down: each call's y is below the last one's.
    template <class Span> void Row(int32_t y, Span span) {
        const double yc = y + 0.5;
        int32_t n = 0;
        // Sorts the edge's crossing into the first n: they are the edges kept so far, so only entries already
        // read move.
        const auto place = [&](int32_t edge) {
            const PolygonEdge &e = edges[edge >> 1];
            // The crossing kept as a float, then the first pixel centre at or right of it: ceil(x - 0.5) without
            // a library call. Sorting by that pixel gives the spans sorting by x gives: crossings that share a
            // pixel bound only an empty span between them.
            const double v = double(float(double(e.x) + (yc - double(e.y)) * e.slope)) - 0.5;
            const int64_t t = int64_t(v);
            const PolygonCrossing c{int32_t(std::clamp<int64_t>(t + (double(t) < v), INT32_MIN, INT32_MAX)), edge};
            int32_t i = n++;
            for (; i > 0 && cross[i - 1].pixel > c.pixel; --i) cross[i] = cross[i - 1];
            // One 8-byte store: the sort of the next edge reads the entry whole, which two narrower stores would
            // stall.
            uint64_t packed;
            std::memcpy(&packed, &c, sizeof packed);
            std::memcpy(&cross[i], &packed, sizeof packed);
        };
        for (int32_t k = 0; k < active; ++k)
            if (const int32_t edge = cross[k].edge; yc < edges[edge >> 1].yEnd) place(edge);
        for (; next < count && yc >= edges[next].y; ++next)
            if (yc < edges[next].yEnd) place(2 * next + (edges[next].winding > 0));
        active = n;
        int32_t winding = 0;
        for (int32_t k = 0; k + 1 < n; ++k) {
            winding += 2 * (cross[k].edge & 1) - 1;
            if (winding != 0 && cross[k].pixel < cross[k + 1].pixel)
                span(int64_t(cross[k].pixel), int64_t(cross[k + 1].pixel));
        }
    }
};

// Bytes of scratch FillPolygonMask uses for a polygon of count points.
constexpr size_t PolygonScratchBytes(int32_t count) { return count > 0 ? size_t(count) * 8 : 0; }

// One Sutherland-Hodgman pass. side 0 keeps x >= value, 1 keeps y >= value, 2 keeps x <= value, 3 keeps
// y <= value; crossing points are rounded to the nearest pixel. out receives at most outCapacity points (2 x
// count always suffices). Returns the new count.
int32_t ClipPolygonToEdge(int32_t count, const int32_t *in, int32_t *out, int32_t value, int32_t side,
                          int32_t outCapacity = INT32_MAX);

// The points of an ellipse arc from start to end angle (degrees, counter-clockwise from 3 o'clock as seen on
// screen) in 1-degree steps, relative to the top-left of the (2 rx + 1) x (2 ry + 1) box. An end below the start
// wraps once round. out holds up to capacity points (361 covers any arc). Returns the count written.
int32_t EllipseArcPoints(int32_t *out, int32_t rx, int32_t ry, int32_t startAngle, int32_t endAngle,
                         int32_t capacity = 361);

// 361 entries: entry i is the sine or cosine of (360 - i) degrees.
const double *SineTable();
const double *CosineTable();

// Closed polygons of straight edges (shapes' curves flattened), one after another.
struct ShapePath {
    std::vector<double> points; // x, y pairs
    std::vector<size_t> ends;   // for each polygon, the pair index past its last point
    bool mayCross = false;      // its edges may cross or wind twice: a script's polygon, not a shape's outline
    void Point(double x, double y) {
        points.push_back(x);
        points.push_back(y);
    }
    void Close() {
        if (ends.empty() ? !points.empty() : ends.back() != points.size() / 2) ends.push_back(points.size() / 2);
    }
};

// The area-coverage scanline rasteriser: every pixel of the window gets the fraction of it the path covers
// (non-zero winding, overlaps counting once), 0 to 255. Edges accumulate the signed area they leave to their
// right in one cell row per band of rows; a running sum along the row turns that into coverage. Rows are done in
// bands so that a shape far larger than the window costs no more memory than the window's width.
// That sum is the winding summed over the pixel, right only where the winding is 0 or 1 throughout. A path that
// may cross itself (mayCross) has each row cut where edges start, end or cross; between the cuts the edges keep
// their order, so each is weighed by whether the fill begins or ends at it, and only those edges add area.
struct CoverageRaster {
    int32_t x0 = 0, y0 = 0, width = 0, height = 0; // the window, in path coordinates
    std::vector<double> edges;                      // x0, y0, x1, y1 in path coordinates
    bool winding = false;                           // rows weighed by the winding rule, as above
    // An edge's part within one row: x at y is x0 + (y - y0) * slope, from the edge's own upper end.
    struct Piece {
        double x0, y0, slope, ya, yb;
        int32_t dir;
        double lo, hi; // its columns' range
        double X(double y) const { return x0 + (y - y0) * slope; }
    };
    std::vector<std::vector<Piece>> pieces; // per band row
    struct Order {
        double at, end; // x where the stretch starts and at the strip's end
        int32_t piece;
    };
    std::vector<Order> order;
    std::vector<double> cuts;
    std::vector<int32_t> active;
    std::vector<float> cells;                       // (width + 2) per band row
    // The cells each edge touched in each band row: between them a row's coverage stays the same.
    std::vector<std::vector<std::pair<int32_t, int32_t>>> touched;
    struct Run {
        int32_t x, count;
        bool full; // coverage 255 throughout; else the values are in line
    };
    std::vector<Run> runs;     // one row's runs
    std::vector<uint8_t> line; // one row's coverage
};
void BeginCoverageRaster(CoverageRaster *raster, int32_t x0, int32_t y0, int32_t width, int32_t height);
void AddRasterEdge(CoverageRaster *raster, double ax, double ay, double bx, double by);
// Adds every polygon of the path moved by (dx, dy).
void AddRasterPath(CoverageRaster *raster, const ShapePath &path, double dx = 0, double dy = 0);
constexpr int32_t kRasterBandRows = 32;
// Fills the cells of band rows [band, band + kRasterBandRows) of the window.
void RasterBand(CoverageRaster *raster, int32_t band, int32_t rows);
// Turns band row r into raster->runs (columns of the window; uncovered stretches left out) and clears its cells.
void RasterRowRuns(CoverageRaster *raster, int32_t r);
// Calls span(y, x, count, coverage) for every covered run of every row, in path coordinates; coverage is null
// for a run covered whole.
template <class Span> void EndCoverageRaster(CoverageRaster *raster, Span span) {
    for (int32_t band = 0; band < raster->height; band += kRasterBandRows) {
        const int32_t rows = std::min(kRasterBandRows, raster->height - band);
        RasterBand(raster, band, rows);
        for (int32_t r = 0; r < rows; ++r) {
            RasterRowRuns(raster, r);
            for (const CoverageRaster::Run &run : raster->runs)
                span(raster->y0 + band + r, raster->x0 + run.x, run.count,
                     run.full ? nullptr : raster->line.data() + run.x);
        }
    }
}

// Fill styles of shapes, also the fill kinds of pictures' fill settings.
constexpr int32_t kFillNone = 0; // outline only
constexpr int32_t kFillColor = 1;
constexpr int32_t kFillGradient = 2;
constexpr int32_t kFillTexture = 3;

// The style bits of shapes, shared with text styles. BOLD, ITALIC and UNDERLINED mean nothing to a shape and are
// kept as given.
constexpr int32_t kFormStyleNormal = 1;
constexpr int32_t kFormStyleAntialias = 16;
constexpr int32_t kFormStyleShadow = 32;
constexpr int32_t kFormStyleEdge = 64;
// "gradientstyle": 0 runs left to right, 1 top to bottom, anything else (LINEAR 2) at "gradientangle".
constexpr int32_t kGradientHorizontal = 0;
constexpr int32_t kGradientVertical = 1;
constexpr int32_t kGradientLinear = 2;

// How a shape is drawn: the draw state and every shape record carry one. Colours are 0xTTRRGGBB words (TT the
// transparency, 0 opaque). The start values are those of a new text style, so that a shape and a text with the
// same SHADOW or EDGE bit look alike.
struct FormStyle {
    int32_t styleBits = kFormStyleNormal;
    int32_t fillStyle = 0; // FILLNONE
    int32_t gradientStyle = kGradientLinear;
    int32_t gradientAngle = 0;
    uint32_t gradientStartColor = 0x000000;
    uint32_t gradientEndColor = 0xFFFFFF;
    ObjectId textureBrush{-1, nullptr}; // -1: none
    int32_t textureX = 0, textureY = 0;
    int32_t outlineThickness = 1;
    int32_t shadowDirection = 3; // SHDWSOUTHEAST; 0 north, clockwise to 7 north-west
    uint32_t shadowColor = 0x000000;
    int32_t shadowSize = 4;
    uint32_t edgeColor = 0x0093DD;
    int32_t edgeSize = 2;

    bool Antialias() const { return (styleBits & kFormStyleAntialias) != 0; }
    bool Shadow() const { return (styleBits & kFormStyleShadow) != 0; }
    bool Edge() const { return (styleBits & kFormStyleEdge) != 0; }
    bool HasTexture() const { return textureBrush.number != -1 || textureBrush.handle; }
    // The gradient's angle in degrees, clockwise on screen, as "gradientstyle" chooses it.
    int32_t GradientAngle() const {
        return gradientStyle == kGradientHorizontal ? 0 : gradientStyle == kGradientVertical ? 90 : gradientAngle;
    }
};
// Fill 0..3, edge and shadow sizes 1..64, shadow direction 0..7, outline at least 1.
void ClampFillStyle(FormStyle *style);
// The "formstyle" key: a value with NORMAL replaces the bits with NORMAL, any other adds its bits to those there,
// NORMAL included, as the text style's "fontstyle" does. "formstyleclear" removes exactly the bits it names.
int32_t AddFormStyleBits(int32_t bits, int32_t given);
int32_t ClearFormStyleBits(int32_t bits, int32_t removed);

// The draw library's state: the form style every shape drawn and every new shape layer takes.
struct DrawState {
    FormStyle form;
};
DrawState *GetDrawState();
void ResetDrawState();
