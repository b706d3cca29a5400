// Outlines and fills of large shapes drawn at once (DrawShape into a 2048x2048 32-bit output), each case beside cairo
// in the same run: boxes, ellipses and a convex 12-point polygon at 640x480, 1920x1080 and 2000x2000, aliased and
// antialiased, filled and with outlines 1, 4, 32 and 230 pixels thick; arcs of radii 500x300 from 30 to 150 degrees and
// from 89 to 91, and of radii 1000x10 from 30 to 150, filled and with outlines 1, 5 and 50 thick, aliased and
// antialiased; and a filled 999-point star on 1024x1024, aliased and antialiased.
//
// The peer draws the same pixels: a box's outline is cairo's stroke of the rectangle half the thickness inside,
// mitred. An outline is the shape less its square erosion (every pixel whose square of the outline's thickness
// around it leaves the shape), so for the ellipse and the polygon cairo fills the ring between the shape and that
// erosion (for a convex shape the shape with each side moved in by thickness x (|nx| + |ny|)), even-odd. Before
// timing, both sides draw each case once on cleared outputs and the covered pixels are compared.
//
// Prints each case in milliseconds, its ratio to cairo and to its own fill (medians of 5 single-threaded runs of
// processor time), and the targets: a 1-pixel outline of a 2000x2000 box at most a quarter of its fill and at most
// 10x cairo's stroke, the 999-point star within 1.5x cairo, aliased and antialiased, each arc within 2x cairo.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "host/bitmap.h"
#include "imaging/shapes.h"
#include "runtime/app/object_kinds.h"
#include "../bench_machine.h"

namespace {

constexpr int kSide = 2048;
constexpr int32_t kAt = 8; // where every shape's box starts
const uint32_t kColor = 0x00FF8020;

struct Surfaces {
    HostBitmap *ours = AllocHostBitmap(kSide, kSide);
    HostBitmap *theirs = AllocHostBitmap(kSide, kSide);
    cairo_surface_t *surface = nullptr;
    cairo_t *cr = nullptr;
    Surfaces() {
        surface = cairo_image_surface_create_for_data(theirs->pixels, CAIRO_FORMAT_RGB24, kSide, kSide,
                                                      int(HostBitmapStride(theirs)));
        cr = cairo_create(surface);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        cairo_set_source_rgb(cr, ((kColor >> 16) & 255) / 255.0, ((kColor >> 8) & 255) / 255.0, (kColor & 255) / 255.0);
    }
    void Clear() {
        for (HostBitmap *b : {ours, theirs}) std::memset(b->pixels, 0, HostBitmapStride(b) * size_t(kSide));
        cairo_surface_mark_dirty(surface);
    }
};

Surfaces &Shared() {
    static Surfaces s;
    return s;
}

using Points = std::vector<std::pair<double, double>>;

// The part of a convex polygon where n . p <= c.
Points ClipHalfPlane(const Points &in, double nx, double ny, double c) {
    Points out;
    for (size_t k = 0; k < in.size(); ++k) {
        const auto &p = in[k], &q = in[(k + 1) % in.size()];
        const double dp = nx * p.first + ny * p.second - c, dq = nx * q.first + ny * q.second - c;
        if (dp <= 0) out.push_back(p);
        if ((dp < 0 && dq > 0) || (dp > 0 && dq < 0)) {
            const double t = dp / (dp - dq);
            out.push_back({p.first + t * (q.first - p.first), p.second + t * (q.second - p.second)});
        }
    }
    return out;
}

void PolygonPath(cairo_t *cr, const Points &p) {
    if (p.size() < 3) return;
    cairo_move_to(cr, p[0].first, p[0].second);
    for (size_t k = 1; k < p.size(); ++k) cairo_line_to(cr, p[k].first, p[k].second);
    cairo_close_path(cr);
}

// The square erosion by t of the ellipse about (cx, cy) with radii ra, rb: the ellipse with each supporting line
// moved in by t x (|nx| + |ny|).
Points ErodedEllipse(double cx, double cy, double ra, double rb, int32_t t) {
    Points inner = {{cx - ra, cy - rb}, {cx + ra, cy - rb}, {cx + ra, cy + rb}, {cx - ra, cy + rb}};
    for (int k = 0; k < 2880 && !inner.empty(); ++k) {
        const double th = 2 * M_PI * k / 2880, nx = std::cos(th), ny = std::sin(th);
        const double support = std::sqrt(ra * ra * nx * nx + rb * rb * ny * ny);
        const double reach = support - t * (std::fabs(nx) + std::fabs(ny));
        inner = ClipHalfPlane(inner, nx, ny, nx * cx + ny * cy + reach);
    }
    return inner;
}

struct Case {
    std::string kind, size; // "box", "640x480 AA"
    int32_t thickness;      // 0: filled
    ShapeRecord shape;
    std::function<void(cairo_t *)> peer;
    // The pixels the two may differ on: this share of those covered, and the edge pixels cairo's curve (a spline
    // for the ellipse) or its rounding of a crossing puts the other way.
    double tolerance;
    int64_t edgePixels = 0;
    int32_t atX = kAt, atY = kAt; // where our shape is drawn: its box's top-left
    std::string Name() const {
        return kind + " " + size + (thickness ? " outline " + std::to_string(thickness) : std::string(" fill"));
    }
};

ShapeRecord Record(int32_t kind, int32_t thickness, bool antialias = false) {
    ShapeRecord s;
    s.kind = kind;
    s.color = kColor;
    s.style.styleBits = antialias ? kFormStyleAntialias : kFormStyleNormal;
    s.style.fillStyle = thickness ? kFillNone : kFillColor;
    s.style.outlineThickness = std::max(thickness, 1);
    return s;
}

// The 999-point star of the repro, its points rounded as the polygon command rounds them; relative to its box.
std::vector<double> Star999(int32_t *left, int32_t *top) {
    std::vector<double> v;
    const int n = 999;
    double minX = 1e9, minY = 1e9;
    for (int i = 0; i < n; ++i) {
        const double r = i % 2 == 0 ? 500 : 300;
        v.push_back(std::round(512 + r * std::cos(2 * M_PI * i / n)));
        v.push_back(std::round(512 + r * std::sin(2 * M_PI * i / n)));
        minX = std::min(minX, v[v.size() - 2]), minY = std::min(minY, v.back());
    }
    for (size_t k = 0; k < v.size(); k += 2) v[k] -= minX, v[k + 1] -= minY;
    *left = int32_t(minX), *top = int32_t(minY);
    return v;
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    const int32_t sizes[][2] = {{640, 480}, {1920, 1080}, {2000, 2000}};
    for (bool aa : {false, true}) {
        for (const auto &wh : sizes) {
            const int32_t w = wh[0], h = wh[1];
            const std::string size = std::to_string(w) + "x" + std::to_string(h) + (aa ? " AA" : "");
            const cairo_antialias_t mode = aa ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE;
            // Antialiased, the two differ on soft pixels the most.
            const double share = aa ? 0.01 : 0.001;
            for (int32_t t : {0, 1, 4, 32, 230}) {
                const bool whole = t == 0 || 2 * t >= std::min(w, h); // an outline that thick is the filled shape
                // Box: cairo's fill or stroke.
                ShapeRecord box = Record(ObjectKindBox, t, aa);
                box.sizeX = w, box.sizeY = h;
                cases.push_back({"box", size, t, box, [w, h, t, whole, mode](cairo_t *cr) {
                                     cairo_set_antialias(cr, mode);
                                     if (whole) {
                                         cairo_rectangle(cr, kAt, kAt, w, h);
                                         cairo_fill(cr);
                                         return;
                                     }
                                     cairo_set_line_width(cr, t);
                                     cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
                                     cairo_rectangle(cr, kAt + t / 2.0, kAt + t / 2.0, w - t, h - t);
                                     cairo_stroke(cr);
                                 },
                                 0.0});
                // Ellipse in the same box (2a + 1 by 2b + 1): the outer curve, less its erosion.
                const int32_t a = (w - 1) / 2, b = (h - 1) / 2;
                ShapeRecord ellipse = Record(ObjectKindEllipse, t, aa);
                ellipse.radiusX = a, ellipse.radiusY = b;
                const double cx = kAt + a + 0.5, cy = kAt + b + 0.5, ra = a + 0.5, rb = b + 0.5;
                const Points inner = whole ? Points() : ErodedEllipse(cx, cy, ra, rb, t);
                cases.push_back({"ellipse", size, t, ellipse, [cx, cy, ra, rb, inner, mode](cairo_t *cr) {
                                     cairo_set_antialias(cr, mode);
                                     cairo_save(cr);
                                     cairo_translate(cr, cx, cy);
                                     cairo_scale(cr, ra, rb);
                                     cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
                                     cairo_restore(cr);
                                     PolygonPath(cr, inner);
                                     cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
                                     cairo_fill(cr);
                                 },
                                 share, 100});
                // A convex 12-point polygon across the same box.
                ShapeRecord polygon = Record(ObjectKindPolygon, t, aa);
                Points outer;
                for (int k = 0; k < 12; ++k) {
                    const double th = 2 * M_PI * k / 12 + M_PI / 12;
                    const double px = std::round((w / 2.0) * (1 + std::cos(th)));
                    const double py = std::round((h / 2.0) * (1 + std::sin(th)));
                    polygon.vertices.push_back(px), polygon.vertices.push_back(py);
                    outer.push_back({kAt + px, kAt + py});
                }
                Points ring;
                if (!whole) {
                    ring = {{kAt, kAt}, {kAt + w, kAt}, {kAt + w, kAt + h}, {kAt, kAt + h}};
                    for (size_t k = 0; k < outer.size() && !ring.empty(); ++k) {
                        const auto &p = outer[k], &q = outer[(k + 1) % outer.size()];
                        // Points run clockwise on screen (y down), so the outward normal is (dy, -dx).
                        double nx = q.second - p.second, ny = -(q.first - p.first);
                        const double len = std::hypot(nx, ny);
                        nx /= len, ny /= len;
                        const double reach = nx * p.first + ny * p.second - t * (std::fabs(nx) + std::fabs(ny));
                        ring = ClipHalfPlane(ring, nx, ny, reach);
                    }
                }
                cases.push_back({"polygon", size, t, polygon, [outer, ring, mode](cairo_t *cr) {
                                     cairo_set_antialias(cr, mode);
                                     PolygonPath(cr, outer);
                                     PolygonPath(cr, ring);
                                     cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
                                     cairo_fill(cr);
                                 },
                                 share, 30});
            }
        }
    }
    // An arc of radii 500 and 300 from 30 to 150 degrees seen from the centre: cairo's pie, and for an outline the
    // pie less the eroded ellipse's part within the sector, even-odd (the two share the sector's edges).
    // Also a 2-degree sliver of it and a third of a flat 2001x21 ellipse: an outline costs its sector's share.
    const int32_t arcs[][4] = {{500, 300, 30, 150}, {500, 300, 89, 91}, {1000, 10, 30, 150}};
    for (const auto &arcCase : arcs)
    for (bool aa : {false, true}) {
        const cairo_antialias_t mode = aa ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE;
        const int32_t a = arcCase[0], b = arcCase[1], from = arcCase[2], to = arcCase[3];
        const double cx = kAt + a + 0.5, cy = kAt + b + 0.5, ra = a + 0.5, rb = b + 0.5;
        const auto own = [&](double degrees) { // the ellipse's own angle of the point seen at that angle
            const double seen = degrees * M_PI / 180;
            return std::atan2(ra * std::sin(seen), rb * std::cos(seen));
        };
        const double f = own(from), g = own(to);
        for (int32_t t : {0, 1, 5, 50}) {
            ShapeRecord arc = Record(ObjectKindArc, t, aa);
            arc.radiusX = a, arc.radiusY = b, arc.startAngle = from, arc.endAngle = to;
            Points inner = t ? ErodedEllipse(cx, cy, ra, rb, t) : Points();
            for (int32_t edge : {from, to}) { // keep the side of each edge the sector lies on
                const double dx = std::cos(edge * M_PI / 180), dy = -std::sin(edge * M_PI / 180);
                const double middle = (from + to) / 2.0 * M_PI / 180;
                double nx = dy, ny = -dx;
                if (nx * std::cos(middle) - ny * std::sin(middle) > 0) nx = -nx, ny = -ny;
                inner = ClipHalfPlane(inner, nx, ny, nx * cx + ny * cy);
            }
            const std::string size = std::to_string(a) + "x" + std::to_string(b) + " " + std::to_string(from) + "-" +
                                     std::to_string(to) + (aa ? " AA" : "");
            cases.push_back({"arc", size, t, arc,
                             [=](cairo_t *cr) {
                                 cairo_set_antialias(cr, mode);
                                 cairo_save(cr);
                                 cairo_translate(cr, cx, cy);
                                 cairo_scale(cr, ra, rb);
                                 cairo_move_to(cr, 0, 0);
                                 cairo_arc_negative(cr, 0, 0, 1, -f, -g);
                                 cairo_close_path(cr);
                                 cairo_restore(cr);
                                 PolygonPath(cr, inner);
                                 cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
                                 cairo_fill(cr);
                             },
                             aa ? 0.01 : 0.001, 100});
        }
    }
    for (bool aa : {false, true}) {
        int32_t left = 0, top = 0;
        ShapeRecord star = Record(ObjectKindPolygon, 0, aa);
        star.vertices = Star999(&left, &top);
        Points points;
        for (size_t k = 0; k < star.vertices.size(); k += 2)
            points.push_back({kAt + left + star.vertices[k], kAt + top + star.vertices[k + 1]});
        const cairo_antialias_t mode = aa ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE;
        cases.push_back({"star", aa ? "999 points AA" : "999 points", 0, star, [points, mode](cairo_t *cr) {
                             cairo_set_antialias(cr, mode);
                             PolygonPath(cr, points);
                             cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
                             cairo_fill(cr);
                         },
                         0.03});
        // Its box starts where its points lie, not at its first point.
        cases.back().atX = kAt + left, cases.back().atY = kAt + top;
    }
    return cases;
}

std::vector<Case> &AllCases() {
    static std::vector<Case> cases = Cases();
    return cases;
}

void DrawOurs(const Case &c, Surfaces &o) {
    DrawShape(c.shape, c.atX, c.atY, nullptr, BitmapShapeOutput(o.ours));
    benchmark::ClobberMemory();
}

void DrawPeer(const Case &c, Surfaces &o) {
    c.peer(o.cr);
    cairo_surface_flush(o.surface);
    benchmark::ClobberMemory();
}

bool SameWork(const Case &c, std::string *report) {
    Surfaces &o = Shared();
    o.Clear();
    DrawOurs(c, o);
    DrawPeer(c, o);
    // Pixels differing by more than a quarter of the colour's range count against those either side covers.
    int64_t covered = 0, differing = 0;
    for (int32_t y = 0; y < kSide; ++y)
        for (int32_t x = 0; x < kSide; ++x) {
            const uint32_t a = HostBitmapRow32(o.ours, y)[x] & 0xFFFFFF, b = HostBitmapRow32(o.theirs, y)[x] & 0xFFFFFF;
            covered += a || b;
            int d = 0;
            for (int shift : {0, 8, 16}) d = std::max(d, std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)));
            differing += d > 64;
        }
    const double share = covered ? double(differing) / double(covered) : 1.0;
    char line[200];
    const int64_t allowed = int64_t(c.tolerance * double(covered)) + c.edgePixels;
    std::snprintf(line, sizeof line, "%-30s %8lld pixels, %6lld differ (%.3f%%, allowed %lld)", c.Name().c_str(),
                  (long long)covered, (long long)differing, share * 100, (long long)allowed);
    *report = line;
    return covered > 0 && differing <= allowed;
}

// Median over 5 runs of the mean processor time of one shape, in microseconds.
double MedianMicros(const std::function<void()> &op) { return vl::bench::MedianThreadMicros(op, 50000); }

std::regex filter(".");

bool Selected(const Case &c) {
    return std::regex_search("ours/" + c.Name(), filter) || std::regex_search("peer/" + c.Name(), filter);
}

bool BenchSetUp(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--benchmark_filter=", 19) == 0) filter = std::regex(argv[i] + 19);
    bool same = true;
    for (const Case &c : AllCases()) {
        if (!Selected(c)) continue;
        std::string report;
        const bool ok = SameWork(c, &report);
        std::printf("same work %s: %s\n", ok ? "ok  " : "FAIL", report.c_str());
        same = same && ok;
    }
    if (!same) {
        std::printf("the pairs do not draw the same thing: no timing\n");
        return false;
    }
    for (const Case &c : AllCases()) {
        benchmark::RegisterBenchmark(("ours/" + c.Name()).c_str(), [&c](benchmark::State &state) {
            for (auto _ : state) DrawOurs(c, Shared());
        })->Unit(benchmark::kMillisecond)->MinTime(0.1);
        benchmark::RegisterBenchmark(("peer/" + c.Name()).c_str(), [&c](benchmark::State &state) {
            for (auto _ : state) DrawPeer(c, Shared());
        })->Unit(benchmark::kMillisecond)->MinTime(0.1);
    }
    return true;
}

int BenchReport() {
    std::printf("\n%-30s %10s %10s %8s %8s\n", "case (ms a shape)", "ours", "cairo", "/cairo", "/fill");
    std::map<std::string, double> ours, peer;
    for (const Case &c : AllCases()) {
        if (!Selected(c)) continue;
        const double o = MedianMicros([&] { DrawOurs(c, Shared()); });
        const double p = MedianMicros([&] { DrawPeer(c, Shared()); });
        ours[c.Name()] = o, peer[c.Name()] = p;
        const auto fill = ours.find(c.kind + " " + c.size + " fill");
        char share[16] = "";
        if (c.thickness && fill != ours.end()) std::snprintf(share, sizeof share, "%7.3fx", o / fill->second);
        std::printf("%-30s %10.3f %10.3f %7.2fx %8s\n", c.Name().c_str(), o / 1000, p / 1000, o / p, share);
    }
    int status = 0;
    const auto target = [&](const char *what, double value, double limit) {
        std::printf("%-58s %7.3f (at most %.2f) %s\n", what, value, limit, value <= limit ? "met" : "MISSED");
        if (value > limit) status = 1;
    };
    const std::string outline = "box 2000x2000 outline 1", fill = "box 2000x2000 fill", star = "star 999 points fill";
    if (ours.count(outline) && ours.count(fill)) {
        target("box 2000x2000 outline 1 / its fill", ours[outline] / ours[fill], 0.25);
        target("box 2000x2000 outline 1 / cairo's stroke", ours[outline] / peer[outline], 10);
    }
    for (const std::string &name : {star, std::string("star 999 points AA fill")})
        if (ours.count(name)) target((name + " / cairo").c_str(), ours[name] / peer[name], 1.5);
    for (const Case &c : AllCases())
        if (c.kind == "arc" && ours.count(c.Name())) target((c.Name() + " / cairo").c_str(), ours[c.Name()] / peer[c.Name()], 2);
    return status;
}

} // namespace

VL_BENCH_MAIN(.setUp = BenchSetUp, .report = BenchReport)
