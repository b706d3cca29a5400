#include "imaging/raster.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/pixels.h"
#include "runtime/app/errors.h"

int FillPolygonMask(MaskPlane *plane, const int32_t *points, int32_t count, void *scratch, size_t scratchSize) {
    if (!plane || !plane->bits || !points || count < 3) return 0;
    if (plane->rows <= 0) return kErrWrongUsage;
    std::vector<PolygonCrossing> own;
    PolygonCrossing *cross;
    if (scratch && scratchSize >= PolygonScratchBytes(count) &&
        reinterpret_cast<uintptr_t>(scratch) % alignof(PolygonCrossing) == 0) {
        cross = static_cast<PolygonCrossing *>(scratch);
    } else {
        try {
            own.resize(size_t(count));
        } catch (...) {
            return kErrOutOfMemory;
        }
        cross = own.data();
    }
    int64_t minY = INT64_MAX, maxY = INT64_MIN;
    for (int32_t k = 0; k < count; ++k) {
        minY = std::min<int64_t>(minY, points[2 * k + 1]);
        maxY = std::max<int64_t>(maxY, points[2 * k + 1]);
    }
    const int32_t width = plane->bytesPerRow * 8;
    const int32_t y0 = int32_t(std::max<int64_t>(minY, 0)), y1 = int32_t(std::min<int64_t>(maxY, plane->rows));
    std::vector<PolygonEdge> edges;
    try {
        edges.resize(size_t(count));
    } catch (...) {
        return kErrOutOfMemory;
    }
    PolygonScan scan(edges.data(), PreparePolygonEdges(points, count, edges.data()), cross);
    for (int32_t y = y0; y < y1; ++y) {
        uint8_t *row = plane->bits + ptrdiff_t(y) * plane->bytesPerRow;
        scan.Row(y, [&](int64_t from, int64_t to) {
            from = std::max<int64_t>(from, 0);
            to = std::min<int64_t>(to, width);
            for (int64_t x = from; x < to; ++x) SetMaskBit(row, int(x), true);
        });
    }
    return 0;
}

int32_t PreparePolygonEdges(const int32_t *points, int32_t count, PolygonEdge *edges) {
    int32_t n = 0;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t *p = points + 2 * k, *q = points + 2 * ((k + 1) % count);
        if (p[1] == q[1]) continue;
        const int32_t *top = p[1] < q[1] ? p : q, *bottom = p[1] < q[1] ? q : p;
        edges[n++] = PolygonEdge{double(int64_t(bottom[0]) - top[0]) / double(int64_t(bottom[1]) - top[1]), top[0], top[1],
                                 bottom[1], q[1] > p[1] ? 1 : -1};
    }
    // From the top down, so that a row stops looking at the first edge below it.
    std::sort(edges, edges + n, [](const PolygonEdge &a, const PolygonEdge &b) { return a.y < b.y; });
    return n;
}

int32_t ClipPolygonToEdge(int32_t count, const int32_t *in, int32_t *out, int32_t value, int32_t side,
                          int32_t outCapacity) {
    if (count <= 0 || !in || !out) return 0;
    const int axis = (side == 1 || side == 3) ? 1 : 0;
    const bool keepAbove = side == 0 || side == 1;
    auto inside = [&](const int32_t *p) { return keepAbove ? p[axis] >= value : p[axis] <= value; };
    int32_t n = 0;
    auto emit = [&](int64_t x, int64_t y) {
        if (n >= outCapacity) return;
        out[2 * n] = int32_t(x);
        out[2 * n + 1] = int32_t(y);
        ++n;
    };
    for (int32_t k = 0; k < count; ++k) {
        const int32_t *p = in + 2 * k, *q = in + 2 * ((k + 1) % count);
        const bool pin = inside(p), qin = inside(q);
        if (pin) emit(p[0], p[1]);
        // A crossing exactly at a vertex on the line is that vertex, emitted on its own turn.
        const bool onLine = (pin && p[axis] == value) || (qin && q[axis] == value);
        if (pin != qin && !onLine) {
            // The crossing on the clip line; the other coordinate rounded to nearest.
            const double t = double(int64_t(value) - p[axis]) / double(int64_t(q[axis]) - p[axis]);
            const int other = 1 - axis;
            const int64_t o = std::llround(p[other] + t * double(int64_t(q[other]) - p[other]));
            if (axis == 0) emit(value, o);
            else emit(o, value);
        }
    }
    return n;
}

const double *SineTable() {
    static const auto table = [] {
        std::vector<double> t(361);
        for (int i = 0; i <= 360; ++i) t[size_t(i)] = std::sin((360 - i) * M_PI / 180.0);
        return t;
    }();
    return table.data();
}

const double *CosineTable() {
    static const auto table = [] {
        std::vector<double> t(361);
        for (int i = 0; i <= 360; ++i) t[size_t(i)] = std::cos((360 - i) * M_PI / 180.0);
        return t;
    }();
    return table.data();
}

int32_t EllipseArcPoints(int32_t *out, int32_t rx, int32_t ry, int32_t startAngle, int32_t endAngle,
                         int32_t capacity) {
    if (!out || rx < 0 || ry < 0 || capacity <= 0) return 0;
    startAngle = ((startAngle % 360) + 360) % 360;
    endAngle = ((endAngle % 360) + 360) % 360;
    if (endAngle < startAngle) endAngle += 360;
    const double *sine = SineTable(), *cosine = CosineTable();
    int32_t n = 0;
    for (int32_t a = startAngle; a <= endAngle && n < capacity; ++a) {
        const int i = 360 - (a % 360); // table entries run backwards: entry i is the angle 360 - i
        out[2 * n] = rx + int32_t(std::lround(rx * cosine[i]));
        out[2 * n + 1] = ry - int32_t(std::lround(ry * sine[i]));
        ++n;
    }
    return n;
}

void ClampFillStyle(FormStyle *s) {
    s->fillStyle = std::clamp(s->fillStyle, 0, 3);
    s->edgeSize = std::clamp(s->edgeSize, 1, 64);
    s->shadowSize = std::clamp(s->shadowSize, 1, 64);
    s->shadowDirection = std::clamp(s->shadowDirection, 0, 7);
    s->outlineThickness = std::max(s->outlineThickness, 1);
}

int32_t AddFormStyleBits(int32_t bits, int32_t given) {
    return (given & kFormStyleNormal) ? kFormStyleNormal : bits | given;
}

int32_t ClearFormStyleBits(int32_t bits, int32_t removed) { return bits & ~removed; }

static DrawState gDrawState;
DrawState *GetDrawState() { return &gDrawState; }
void ResetDrawState() { gDrawState = DrawState{}; }

void BeginCoverageRaster(CoverageRaster *r, int32_t x0, int32_t y0, int32_t width, int32_t height) {
    r->x0 = x0;
    r->y0 = y0;
    r->width = std::max(width, 0);
    r->height = std::max(height, 0);
    r->edges.clear();
    r->winding = false;
    r->pieces.resize(kRasterBandRows);
    for (auto &p : r->pieces) p.clear();
    const size_t stride = size_t(r->width) + 2;
    // Cells are left cleared after every row, so a reused raster only grows.
    if (r->cells.size() < stride * kRasterBandRows) r->cells.assign(stride * kRasterBandRows, 0.0f);
    r->touched.resize(kRasterBandRows);
    for (auto &t : r->touched) t.clear();
    if (r->line.size() < stride) r->line.resize(stride);
}

void AddRasterEdge(CoverageRaster *r, double ax, double ay, double bx, double by) {
    if (ay == by) return; // a level edge leaves no area to its right
    if (std::max(ay, by) <= r->y0 || std::min(ay, by) >= double(r->y0) + r->height) return;
    r->edges.insert(r->edges.end(), {ax, ay, bx, by});
}

void AddRasterPath(CoverageRaster *r, const ShapePath &path, double dx, double dy) {
    r->winding = r->winding || path.mayCross;
    size_t begin = 0;
    for (size_t end : path.ends) {
        for (size_t k = begin; k < end; ++k) {
            const size_t n = k + 1 < end ? k + 1 : begin;
            AddRasterEdge(r, path.points[2 * k] + dx, path.points[2 * k + 1] + dy, path.points[2 * n] + dx,
                          path.points[2 * n + 1] + dy);
        }
        begin = end;
    }
}

// Adds the signed area a piece of an edge leaves to its right within band row `row`: from xTop to xBottom (window
// columns) over d of the row's height, negative for an edge running up or ending the fill.
static void AddRowArea(CoverageRaster *r, int32_t row, double xTop, double xBottom, double d) {
    // Left of the window only the crossing counts; right of it nothing shows.
    const double right = r->width;
    const double xa = std::clamp(std::min(xTop, xBottom), 0.0, right);
    const double xb = std::clamp(std::max(xTop, xBottom), 0.0, right);
    float *cells = r->cells.data() + ptrdiff_t(row) * (r->width + 2);
    const int32_t i0 = int32_t(xa), i1 = std::min(int32_t(xb) + 1, r->width + 1);
    // f(i): the edge's share of pixel i, the area of the pixel right of the edge; cell i gets f(i) - f(i-1).
    double previous = 0;
    const double span = xb - xa;
    if (span < 1e-9) { // upright within the row: one cell and the next
        const double f = d * std::clamp(double(i0) + 1 - xa, 0.0, 1.0);
        cells[i0] += float(f);
        cells[i0 + 1] += float(d - f);
    } else {
        const double scale = d / span;
        const auto cell = [&](int32_t i, double a, double b) {
            const double f = scale * (a - b);
            cells[i] += float(f - previous);
            previous = f;
        };
        // C(t - xa) - C(t - xb), C(u) the integral of clamp(u, 0, 1), with its branches settled by the cell: only the
        // cells holding xa (i0) and xb (ib) take the quadratic part, those left of ib have nothing of b.
        const int32_t ib = int32_t(xb);
        const double ua = double(i0) + 1 - xa, ub = double(i0) + 1 - xb;
        cell(i0, 0.5 * ua * ua, i0 < ib ? 0.0 : 0.5 * ub * ub);
        for (int32_t i = i0 + 1; i <= i1; ++i) {
            const double t = double(i) + 1;
            const double b = i < ib ? 0.0 : i == ib ? 0.5 * (t - xb) * (t - xb) : t - xb - 0.5;
            cell(i, t - xa - 0.5, b);
        }
    }
    // A path's next edge mostly goes on where the last one ended: one range for both.
    auto &touched = r->touched[size_t(row)];
    if (!touched.empty() && i0 <= touched.back().second + 1 && i1 + 1 >= touched.back().first)
        touched.back() = {std::min(touched.back().first, i0), std::max(touched.back().second, i1)};
    else
        touched.emplace_back(i0, i1);
}

namespace {

// The pieces in r->order over [from, to] of band row `row`, in which no two cross: walking them left to right
// from the winding left of them, each adds its area weighed by the fill it begins (1) or ends (-1), none where the
// fill goes on.
void WeighedStretch(CoverageRaster *r, int32_t row, double from, double to, int32_t winding) {
    for (const CoverageRaster::Order &o : r->order) {
        const CoverageRaster::Piece &p = r->pieces[size_t(row)][size_t(o.piece)];
        const bool before = winding != 0;
        winding += p.dir;
        if (const int weight = int(winding != 0) - int(before))
            AddRowArea(r, row, p.X(from), p.X(to), (to - from) * weight);
    }
}

// The stretch [from, to] of band row `row` between two ends of the pieces in r->active: cut again wherever two
// pieces next to each other cross, the first crossing at a time, since the order can change only by such a swap.
// A row crossed more often than any real shape is crossed goes on in slices of a sixteenth, each taken in its
// starting order.
void WindingStretch(CoverageRaster *r, int32_t row, double from, double to, int32_t winding) {
    constexpr int kMostCrossings = 256;
    const std::vector<CoverageRaster::Piece> &pieces = r->pieces[size_t(row)];
    r->order.clear();
    for (int32_t k : r->active) r->order.push_back({0, pieces[size_t(k)].X(to), k});
    for (int crossings = 0; from < to; ++crossings) {
        for (CoverageRaster::Order &o : r->order) o.at = pieces[size_t(o.piece)].X(from);
        // By x where the stretch starts, then by x at its end (the order just after a shared point); the last
        // stretch's order is nearly this one.
        const auto before = [](const CoverageRaster::Order &a, const CoverageRaster::Order &b) {
            return a.at < b.at || (a.at == b.at && a.end < b.end);
        };
        for (size_t i = 1; i < r->order.size(); ++i)
            for (size_t k = i; k > 0 && before(r->order[k], r->order[k - 1]); --k)
                std::swap(r->order[k], r->order[k - 1]);
        double next = to;
        if (crossings < kMostCrossings) {
            for (size_t i = 0; i + 1 < r->order.size(); ++i) {
                const CoverageRaster::Order &a = r->order[i], &b = r->order[i + 1];
                if (a.end <= b.end) continue;
                const double gap = b.at - a.at, t = gap / (gap + (a.end - b.end));
                next = std::min(next, from + t * (to - from));
            }
            next = std::max(next, from + 1e-9); // a crossing a rounding away is taken as passed
        } else {
            next = std::min(to, from + 1.0 / 16);
        }
        next = std::min(next, to);
        WeighedStretch(r, row, from, next, winding);
        from = next;
    }
}

// Band row `row` of a path that may cross itself. Pieces whose columns overlap no other's leave the winding the
// same all down the row on either side of their group, so each group is worked out alone from the winding left of
// it: a piece alone at once, more cut at every end of a piece.
void WindingRow(CoverageRaster *r, int32_t row) {
    std::vector<CoverageRaster::Piece> &pieces = r->pieces[size_t(row)];
    std::sort(pieces.begin(), pieces.end(), [&](const auto &a, const auto &b) { return a.lo < b.lo; });
    int32_t winding = 0;
    for (size_t g = 0; g < pieces.size();) {
        size_t end = g + 1;
        double reach = pieces[g].hi, turned = pieces[g].dir * (pieces[g].yb - pieces[g].ya);
        for (; end < pieces.size() && pieces[end].lo <= reach; ++end)
            reach = std::max(reach, pieces[end].hi), turned += pieces[end].dir * (pieces[end].yb - pieces[end].ya);
        if (end == g + 1) {
            const CoverageRaster::Piece &p = pieces[g];
            if (const int weight = int(winding + p.dir != 0) - int(winding != 0))
                AddRowArea(r, row, p.X(p.ya), p.X(p.yb), (p.yb - p.ya) * weight);
        } else {
            std::sort(pieces.begin() + ptrdiff_t(g), pieces.begin() + ptrdiff_t(end),
                      [](const auto &a, const auto &b) { return a.ya < b.ya; });
            r->cuts.clear();
            for (size_t k = g; k < end; ++k) r->cuts.push_back(pieces[k].ya), r->cuts.push_back(pieces[k].yb);
            std::sort(r->cuts.begin(), r->cuts.end());
            r->cuts.erase(std::unique(r->cuts.begin(), r->cuts.end()), r->cuts.end());
            r->active.clear();
            size_t next = g;
            for (size_t c = 0; c + 1 < r->cuts.size(); ++c) {
                const double from = r->cuts[c], to = r->cuts[c + 1];
                r->active.erase(std::remove_if(r->active.begin(), r->active.end(),
                                               [&](int32_t k) { return pieces[size_t(k)].yb <= from; }),
                                r->active.end());
                for (; next < end && pieces[next].ya <= from; ++next) r->active.push_back(int32_t(next));
                if (!r->active.empty()) WindingStretch(r, row, from, to, winding);
            }
        }
        // The group spans the whole row where its winding changes the winding right of it: by the area it turns.
        winding += int32_t(std::lround(turned));
        g = end;
    }
    pieces.clear();
}

} // namespace

void RasterBand(CoverageRaster *r, int32_t band, int32_t rows) {
    // Every row's share of an edge is worked out from the edge's own ends in path coordinates, so a pixel gets
    // the same value whatever window or band it is computed in.
    const double top = double(r->y0) + band, bottom = top + rows, left = r->x0;
    for (size_t e = 0; e < r->edges.size(); e += 4) {
        double x0 = r->edges[e], y0 = r->edges[e + 1], x1 = r->edges[e + 2], y1 = r->edges[e + 3];
        int32_t dir = 1;
        if (y0 > y1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
            dir = -1;
        }
        if (y1 <= top || y0 >= bottom) continue;
        const double dxdy = (x1 - x0) / (y1 - y0);
        const int32_t rowFrom = FloorInt(std::max(y0, top)), rowTo = CeilInt(std::min(y1, bottom)); // within the band
        for (int32_t yi = rowFrom; yi < rowTo; ++yi) {
            const double ya = std::max(double(yi), y0), yb = std::min(double(yi) + 1, y1);
            const int32_t row = int32_t(yi - top);
            if (r->winding) {
                const double xa = x0 + (ya - y0) * dxdy - left, xb = x0 + (yb - y0) * dxdy - left;
                r->pieces[size_t(row)].push_back(
                    {x0 - left, y0, dxdy, ya, yb, dir, std::min(xa, xb), std::max(xa, xb)});
                continue;
            }
            AddRowArea(r, row, x0 + (ya - y0) * dxdy - left, x0 + (yb - y0) * dxdy - left, (yb - ya) * dir);
        }
    }
    if (r->winding)
        for (int32_t row = 0; row < rows; ++row) WindingRow(r, row);
}

namespace {
// Half a level is rounded up whichever way the cells were summed: an edge half way across a row of pixels gives
// 128 above and below the line, not 128 and 127 by the float sums' last bits.
inline uint8_t CoverageLevel(float sum) { return uint8_t(std::min(std::fabs(sum), 1.0f) * 255.0f + 0.501f); }
} // namespace

void RasterRowRuns(CoverageRaster *r, int32_t row) {
    r->runs.clear();
    auto &touched = r->touched[size_t(row)];
    if (touched.empty()) return;
    for (size_t i = 1; i < touched.size(); ++i) // a handful per row: insertion sort
        for (size_t k = i; k > 0 && touched[k] < touched[k - 1]; --k) std::swap(touched[k], touched[k - 1]);
    float *cells = r->cells.data() + ptrdiff_t(row) * (r->width + 2);
    uint8_t *line = r->line.data();
    const int32_t width = r->width;
    float sum = 0;
    int32_t pos = touched[0].first;
    for (size_t k = 0; k < touched.size();) {
        const int32_t from = touched[k].first;
        int32_t to = touched[k].second;
        for (++k; k < touched.size() && touched[k].first <= to + 1; ++k) to = std::max(to, touched[k].second);
        // Untouched cells between: the coverage of the last touched one goes on.
        if (from > pos && pos < width) {
            const int32_t end = std::min(from, width);
            if (const uint8_t level = CoverageLevel(sum); level == 255) {
                r->runs.push_back({pos, end - pos, true});
            } else if (level) {
                std::fill(line + pos, line + end, level);
                r->runs.push_back({pos, end - pos, false});
            }
        }
        for (int32_t i = from; i <= to; ++i) {
            sum += cells[i];
            cells[i] = 0;
            if (i < width) line[i] = CoverageLevel(sum);
        }
        if (from < width) r->runs.push_back({from, std::min(to, width - 1) - from + 1, false});
        pos = to + 1;
    }
    touched.clear();
}
