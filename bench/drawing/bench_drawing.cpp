// Shapes drawn at once (DrawShape, the entry the draw commands use) into a 640x480 32-bit output, each case beside
// its peer in the same run: cairo for circles, lines, the star polygon and the gradient box (an image surface over
// the same kind of pixels: RGB24 is our 0x00RRGGBB word), pixman for filled boxes. Before timing, each pair draws
// one shape on its own and the two pictures are compared, so that a fast wrong rasteriser cannot win. After the
// Google Benchmark cases, prints each case as shapes per second and as a ratio to its peer (medians of 5
// single-threaded runs) beside its target. Shape layers are timed beside brush layers of the same image on a
// display with layers on (AddShapeLayer against DisplayImageObjectLayer, as Box and DisplayBrush make them), and
// the whole image a layer keeps of a huge shape beside cairo drawing it into an image of that size.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <ctime>
#include <vector>

#include "host/bitmap.h"
#include "imaging/image_ops.h"
#include "imaging/shapes.h"
#include "runtime/app/command.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_list.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/scene_objects.h"
#include "scene/layers/layers.h"
#include "../bench_machine.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kShapesPerCall = 64;

// One output: our bitmap, and cairo and pixman views over a second buffer of the same layout.
struct Surfaces {
    HostBitmap *ours = AllocHostBitmap(kWidth, kHeight);
    HostBitmap *theirs = AllocHostBitmap(kWidth, kHeight);
    cairo_surface_t *surface = nullptr;
    cairo_t *cr = nullptr;
    pixman_image_t *pixman = nullptr;
    Surfaces() {
        surface = cairo_image_surface_create_for_data(theirs->pixels, CAIRO_FORMAT_RGB24, kWidth, kHeight,
                                                      int(HostBitmapStride(theirs)));
        cr = cairo_create(surface);
        pixman = pixman_image_create_bits(PIXMAN_x8r8g8b8, kWidth, kHeight,
                                          reinterpret_cast<uint32_t *>(theirs->pixels), int(HostBitmapStride(theirs)));
    }
    void Clear() {
        for (HostBitmap *b : {ours, theirs}) std::memset(b->pixels, 0, HostBitmapStride(b) * size_t(kHeight));
        cairo_surface_mark_dirty(surface);
    }
};

Surfaces &Shared() {
    static Surfaces s;
    return s;
}

// Where the shapes of one call go: spread over the output, wholly inside it.
struct Place {
    int32_t x, y;
};
std::vector<Place> Places(int32_t w, int32_t h) {
    std::vector<Place> out;
    uint32_t seed = 12345;
    for (int i = 0; i < kShapesPerCall; ++i) {
        seed = seed * 1103515245u + 12345u;
        const int32_t x = int32_t((seed >> 8) % uint32_t(kWidth - w));
        seed = seed * 1103515245u + 12345u;
        const int32_t y = int32_t((seed >> 8) % uint32_t(kHeight - h));
        out.push_back({x, y});
    }
    return out;
}

void SetColor(cairo_t *cr, uint32_t rgb) {
    cairo_set_source_rgb(cr, ((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0);
}

// One case: our shape and the peer's drawing of it at (x, y), the box both occupy.
struct Case {
    std::string name;
    ShapeRecord shape;
    int32_t boxW, boxH;
    std::function<void(Surfaces &, int32_t, int32_t)> peer;
    const char *peerName;
    double target;
    double tolerance; // largest share of the covered pixels the two may differ on
};

const uint32_t kColor = 0x00FF8020;

ShapeRecord Filled(int32_t kind, bool antialias) {
    ShapeRecord s;
    s.kind = kind;
    s.color = kColor;
    s.style.fillStyle = kFillColor;
    s.style.styleBits = antialias ? kFormStyleAntialias : kFormStyleNormal;
    return s;
}

std::vector<double> StarPoints(double r) {
    std::vector<double> v;
    for (int k = 0; k < 5; ++k) {
        const double a = (-90.0 + 144.0 * k) * M_PI / 180.0;
        v.push_back(std::round(r + r * std::cos(a)));
        v.push_back(std::round(r + r * std::sin(a)));
    }
    return v;
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (bool aa : {false, true}) {
        const cairo_antialias_t mode = aa ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE;
        const char *suffix = aa ? " AA" : "";
        for (int32_t r : {8, 32, 100}) {
            ShapeRecord s = Filled(ObjectKindCircle, aa);
            s.radiusX = r;
            cases.push_back({"circle r=" + std::to_string(r) + suffix, s, 2 * r + 1, 2 * r + 1,
                             [r, mode](Surfaces &o, int32_t x, int32_t y) {
                                 cairo_set_antialias(o.cr, mode);
                                 SetColor(o.cr, kColor);
                                 cairo_arc(o.cr, x + r + 0.5, y + r + 0.5, r + 0.5, 0, 2 * M_PI);
                                 cairo_fill(o.cr);
                             },
                             aa ? "cairo AA" : "cairo aliased", aa ? 0.7 : 1.0, aa ? 0.02 : 0.001});
        }
        for (int32_t t : {1, 3}) {
            ShapeRecord s = Filled(ObjectKindLine, aa);
            s.style.fillStyle = kFillNone;
            s.x1 = 0, s.y1 = 0, s.x2 = 60, s.y2 = 80, s.thickness = t; // length 100
            cases.push_back({"line 100 t=" + std::to_string(t) + suffix, s, 61 + t, 81 + t,
                             [t, mode](Surfaces &o, int32_t x, int32_t y) {
                                 cairo_set_antialias(o.cr, mode);
                                 SetColor(o.cr, kColor);
                                 cairo_set_line_width(o.cr, t);
                                 cairo_set_line_cap(o.cr, CAIRO_LINE_CAP_ROUND);
                                 cairo_move_to(o.cr, x + 0.5, y + 0.5);
                                 cairo_line_to(o.cr, x + 60.5, y + 80.5);
                                 cairo_stroke(o.cr);
                             },
                             aa ? "cairo AA" : "cairo aliased", aa ? 0.7 : 1.0, 0.35});
        }
        ShapeRecord star = Filled(ObjectKindPolygon, aa);
        star.vertices = StarPoints(50);
        cases.push_back({std::string("star polygon r=50") + suffix, star, 101, 101,
                         [mode, v = star.vertices](Surfaces &o, int32_t x, int32_t y) {
                             cairo_set_antialias(o.cr, mode);
                             cairo_set_fill_rule(o.cr, CAIRO_FILL_RULE_WINDING);
                             SetColor(o.cr, kColor);
                             cairo_move_to(o.cr, x + v[0], y + v[1]);
                             for (size_t k = 2; k < v.size(); k += 2) cairo_line_to(o.cr, x + v[k], y + v[k + 1]);
                             cairo_close_path(o.cr);
                             cairo_fill(o.cr);
                         },
                         aa ? "cairo AA" : "cairo aliased", aa ? 0.7 : 1.0, 0.03});
    }
    ShapeRecord box = Filled(ObjectKindBox, false);
    box.sizeX = 64, box.sizeY = 48;
    cases.push_back({"box 64x48", box, 64, 48,
                     [](Surfaces &o, int32_t x, int32_t y) {
                         const pixman_color_t c{0xFFFF, 0x8080, 0x2020, 0xFFFF};
                         const pixman_rectangle16_t rect{int16_t(x), int16_t(y), 64, 48};
                         pixman_image_fill_rectangles(PIXMAN_OP_SRC, o.pixman, &c, 1, &rect);
                     },
                     "pixman fill", 0.9, 0.0});
    ShapeRecord gradient = Filled(ObjectKindBox, false);
    gradient.sizeX = 64, gradient.sizeY = 48;
    gradient.style.fillStyle = kFillGradient;
    gradient.style.gradientStartColor = 0x000000, gradient.style.gradientEndColor = 0xFFFFFF;
    cases.push_back({"gradient box 64x48", gradient, 64, 48,
                     [](Surfaces &o, int32_t x, int32_t y) {
                         cairo_pattern_t *p = cairo_pattern_create_linear(x + 0.5, 0, x + 63.5, 0);
                         cairo_pattern_add_color_stop_rgb(p, 0, 0, 0, 0);
                         cairo_pattern_add_color_stop_rgb(p, 1, 1, 1, 1);
                         cairo_set_source(o.cr, p);
                         cairo_rectangle(o.cr, x, y, 64, 48);
                         cairo_fill(o.cr);
                         cairo_pattern_destroy(p);
                     },
                     "cairo linear gradient", 0.7, 0.0});
    return cases;
}

void DrawOurs(const Case &c, Surfaces &o, const std::vector<Place> &places) {
    const ShapeOutput output = BitmapShapeOutput(o.ours);
    for (const Place &p : places) DrawShape(c.shape, p.x, p.y, nullptr, output);
    benchmark::ClobberMemory();
}

void DrawPeer(const Case &c, Surfaces &o, const std::vector<Place> &places) {
    for (const Place &p : places) c.peer(o, p.x, p.y);
    cairo_surface_flush(o.surface);
    benchmark::ClobberMemory();
}

// The same-work check: one shape each on a cleared output. Pixels differing by more than a quarter of the
// colour's range are counted against the pixels either side covers; the gradient compares within 2 levels.
bool SameWork(const Case &c, std::string *report) {
    Surfaces &o = Shared();
    o.Clear();
    DrawOurs(c, o, {{40, 30}});
    DrawPeer(c, o, {{40, 30}});
    int64_t covered = 0, differing = 0, worst = 0;
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            const uint32_t a = HostBitmapRow32(o.ours, y)[x] & 0xFFFFFF, b = HostBitmapRow32(o.theirs, y)[x] & 0xFFFFFF;
            if (a || b) ++covered;
            int64_t d = 0;
            for (int shift : {0, 8, 16}) d = std::max<int64_t>(d, std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)));
            worst = std::max(worst, d);
            if (d > 64) ++differing;
        }
    const double share = covered ? double(differing) / double(covered) : 1.0;
    char line[200];
    std::snprintf(line, sizeof line, "%-22s %6lld pixels, %5lld differ (%.3f%%, allowed %.1f%%), largest channel step %lld",
                  c.name.c_str(), (long long)covered, (long long)differing, share * 100, c.tolerance * 100,
                  (long long)worst);
    *report = line;
    return covered > 0 && share <= c.tolerance + 1e-12 && (c.tolerance > 0 || worst <= 2);
}

// Median over 5 runs of the mean processor time of one call (kShapesPerCall shapes), in microseconds.
double MedianMicros(const std::function<void()> &op) { return vl::bench::MedianThreadMicros(op, 100000); }

// ---- Layers ------------------------------------------------------------------------------------------------

// A 640x480 display with layers on (never opened) and one brush per layer case holding the shape's own image.
struct LayerScene {
    VMState *vm = nullptr;
    DisplayRecord *display = nullptr;
    BGPic *picture = nullptr;
    bool ok = false;
};

struct LayerCase {
    std::string name;
    ShapeRecord shape;
    int32_t brush; // the brush of the same image
    int32_t boxW, boxH;
};

std::vector<LayerCase> LayerCases() {
    ShapeRecord box = Filled(ObjectKindBox, false);
    box.sizeX = 64, box.sizeY = 48;
    ShapeRecord circle = Filled(ObjectKindCircle, false);
    circle.radiusX = 32;
    return {{"box layer 64x48", box, 1, 64, 48}, {"circle layer r=32", circle, 2, 65, 65}};
}

std::vector<LayerCase> &AllLayerCases() {
    static std::vector<LayerCase> cases = LayerCases();
    return cases;
}

LayerScene &Layers() {
    static LayerScene scene = [] {
        LayerScene s;
        s.vm = NewVMState();
        InitRuntimeSupport(s.vm);
        InstallLayerHooks();
        HostBitmap *background = AllocHostBitmap(kWidth, kHeight);
        std::memset(background->pixels, 0, HostBitmapStride(background) * size_t(kHeight));
        if (CreateBGPicRecord(ObjectId{1, nullptr}, kBGPicPicture, kWidth, kHeight, kWidth, nullptr, background, nullptr,
                              -1, nullptr, nullptr, nullptr, nullptr, &s.picture) != 0)
            return s;
        auto *d = new DisplayRecord;
        d->id = ObjectId{1, nullptr};
        d->picture = s.picture;
        d->width = kWidth;
        d->height = kHeight;
        if (CopyBGPicToDisplayBitmaps(d, s.picture, 1) != 0) return s;
        InsertDisplay(d);
        CurrentDisplay = d;
        CurrentBGPic = s.picture;
        if (EnableDisplayLayers(d) != 0) return s;
        for (const LayerCase &c : AllLayerCases()) {
            ImageTriple image;
            int32_t ox = 0, oy = 0;
            if (RenderShapeImage(c.shape, nullptr, &image, &ox, &oy) != 0 || ox || oy) return s;
            if (AddBrushRecord(ObjectId{c.brush, nullptr}, kBrushBitmap, image.width, image.height, image.width, nullptr,
                               image.bitmap, -1, image.mask, image.alpha, nullptr) != 0)
                return s;
        }
        s.display = d;
        s.ok = true;
        return s;
    }();
    return scene;
}

// Takes every layer off and clears the composed display, untimed between runs.
void ClearLayers(LayerScene &s) {
    FreeBGPicLayers(s.display, s.picture, 1, 0);
    HostBitmap *shown = s.display->secondBitmap ? s.display->secondBitmap : s.display->firstBitmap;
    std::memset(shown->pixels, 0, HostBitmapStride(shown) * size_t(shown->height));
}

HostBitmap *Composed(LayerScene &s) { return s.display->secondBitmap ? s.display->secondBitmap : s.display->firstBitmap; }

int AddShapeLayers(LayerScene &s, const LayerCase &c, const std::vector<Place> &places) {
    for (const Place &p : places)
        if (int error = AddShapeLayer(s.vm, c.shape.kind, CopyShapeRecord(&c.shape), p.x, p.y, c.boxW, c.boxH,
                                      DisplayTransform{}, LayerOptions{}))
            return error;
    return 0;
}

int AddBrushLayers(LayerScene &s, const LayerCase &c, const std::vector<Place> &places) {
    for (const Place &p : places)
        if (int error = DisplayImageObjectLayer(s.vm, ObjectKindBrush, ObjectId{c.brush, nullptr}, 0, 0, p.x, p.y, c.boxW,
                                                c.boxH, DisplayTransform{}, LayerOptions{}))
            return error;
    return 0;
}

// Both layers of one case, each alone on the cleared display, must show the same pixels.
bool SameLayerWork(const LayerCase &c, std::string *report) {
    LayerScene &s = Layers();
    if (!s.ok) {
        *report = c.name + ": the display could not be set up";
        return false;
    }
    std::vector<uint32_t> shown[2];
    for (int side = 0; side < 2; ++side) {
        ClearLayers(s);
        const int error = side ? AddBrushLayers(s, c, {{40, 30}}) : AddShapeLayers(s, c, {{40, 30}});
        if (error) {
            *report = c.name + ": error " + std::to_string(error);
            return false;
        }
        const HostBitmap *b = Composed(s);
        for (int32_t y = 0; y < kHeight; ++y) shown[side].insert(shown[side].end(), HostBitmapRow32(b, y), HostBitmapRow32(b, y) + kWidth);
    }
    ClearLayers(s);
    int64_t covered = 0, differing = 0;
    for (size_t i = 0; i < shown[0].size(); ++i) {
        covered += (shown[0][i] | shown[1][i]) & 0xFFFFFF ? 1 : 0;
        differing += (shown[0][i] ^ shown[1][i]) & 0xFFFFFF ? 1 : 0;
    }
    char line[200];
    std::snprintf(line, sizeof line, "%-22s %6lld pixels, %5lld differ", c.name.c_str(), (long long)covered,
                  (long long)differing);
    *report = line;
    return covered > 0 && differing == 0;
}

// Median over 5 runs of the processor time of adding one call's layers, in microseconds; taking them off again
// is not timed.
double MedianLayerMicros(const std::function<int()> &add) {
    LayerScene &s = Layers();
    std::vector<double> runs;
    for (int r = 0; r < 5; r++) {
        int calls = 0;
        double spent = 0;
        do {
            ClearLayers(s);
            const double start = vl::bench::ThreadMicros();
            add();
            spent += vl::bench::ThreadMicros() - start;
            ++calls;
        } while (spent < 100000);
        runs.push_back(spent / calls);
    }
    ClearLayers(s);
    return vl::bench::Median(runs);
}

// ---- Huge shape layers ----------------------------------------------------------------------------------------

// A layer's whole image of a huge shape beside cairo drawing the same shape into a cleared image surface of the
// same size: both should cost the pixels covered and the image kept, not the image's area.
struct HugeCase {
    std::string name;
    ShapeRecord shape;
    DisplayTransform transform;
    // The path in the upright image's pixels (cairo's transform turns it as ours does).
    std::function<void(cairo_t *, double bx, double by)> path;
    int32_t width = 0, height = 0; // the image, ours and cairo's
    cairo_matrix_t turn{};
};

HugeCase Sized(HugeCase c) {
    int32_t bx = 0, by = 0, bw = 0, bh = 0;
    ShapeImageBox(c.shape, &bx, &by, &bw, &bh);
    const DisplayTransform &t = c.transform;
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const double u : {0.0, double(bw)})
        for (const double v : {0.0, double(bh)}) {
            x0 = std::min(x0, t.a * u + t.c * v), x1 = std::max(x1, t.a * u + t.c * v);
            y0 = std::min(y0, t.b * u + t.d * v), y1 = std::max(y1, t.b * u + t.d * v);
        }
    c.width = int32_t(std::ceil(x1 - x0 - 1e-6)), c.height = int32_t(std::ceil(y1 - y0 - 1e-6));
    cairo_matrix_init(&c.turn, t.a, t.b, t.c, t.d, -x0, -y0);
    const auto path = c.path;
    c.path = [path, bx, by](cairo_t *cr, double, double) { path(cr, bx, by); };
    return c;
}

std::vector<HugeCase> HugeCases() {
    ShapeRecord across; // a huge image with few pixels in it
    across.kind = ObjectKindLine;
    across.color = 0x80FF00FF;
    across.style.fillStyle = kFillNone;
    across.x1 = 0, across.y1 = 0, across.x2 = 16000, across.y2 = 12000, across.thickness = 3;
    ShapeRecord line;
    line.kind = ObjectKindLine;
    line.color = 0x80FF00FF;
    line.style.fillStyle = kFillNone;
    line.x1 = 0, line.y1 = 0, line.x2 = 133, line.y2 = 292, line.thickness = 10457;
    DisplayTransform turn; // rotate = 270
    turn.a = turn.d = 0, turn.b = 1, turn.c = -1;
    return {Sized({"line 16000x12000 t=3", across, DisplayTransform{},
                   [](cairo_t *cr, double bx, double by) {
                       cairo_set_line_width(cr, 3);
                       cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
                       cairo_move_to(cr, 0.5 - bx, 0.5 - by);
                       cairo_line_to(cr, 16000.5 - bx, 12000.5 - by);
                   }}),
            Sized({"line t=10457 turned", line, turn, [](cairo_t *cr, double bx, double by) {
                       cairo_set_line_width(cr, 10457);
                       cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
                       cairo_move_to(cr, 0.5 - bx, 0.5 - by);
                       cairo_line_to(cr, 133.5 - bx, 292.5 - by);
                   }})};
}

// Ours writes two planes a pixel (colour, and alpha beside it) where cairo writes one.
constexpr double kHugeTarget = 0.4;

std::vector<HugeCase> &AllHugeCases() {
    static std::vector<HugeCase> cases = HugeCases();
    return cases;
}

// Makes the image and gives it back; with keep, hands it to the caller instead.
bool MakeOurs(const HugeCase &c, ImageTriple *keep = nullptr) {
    ImageTriple image;
    int32_t ox = 0, oy = 0;
    const bool ok = RenderShapeImage(c.shape, &c.transform, &image, &ox, &oy) == 0;
    benchmark::ClobberMemory();
    if (keep) *keep = image;
    else FreeImageTriple(&image);
    return ok;
}

cairo_surface_t *MakePeer(const HugeCase &c, bool keep = false) {
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, c.width, c.height);
    cairo_t *cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_source_rgba(cr, 1, 0, 1, 127 / 255.0);
    cairo_set_matrix(cr, &c.turn);
    c.path(cr, 0, 0);
    cairo_stroke(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    benchmark::ClobberMemory();
    if (keep) return surface;
    cairo_surface_destroy(surface);
    return nullptr;
}

// The same-work check: the same size, and the covered pixels of a grid of samples agree but for 1%.
bool SameHugeWork(const HugeCase &c, std::string *report) {
    ImageTriple ours;
    if (!MakeOurs(c, &ours) || !ours.alpha) {
        *report = c.name + ": not made";
        FreeImageTriple(&ours);
        return false;
    }
    cairo_surface_t *peer = MakePeer(c, true);
    const uint8_t *data = cairo_image_surface_get_data(peer);
    const int stride = cairo_image_surface_get_stride(peer);
    int64_t covered = 0, differing = 0;
    const bool sized = ours.width == c.width && ours.height == c.height;
    for (int32_t y = 0; sized && y < c.height; y += 7)
        for (int32_t x = 0; x < c.width; x += 3) {
            const bool a = ours.alpha->bytes[ptrdiff_t(y) * ours.alpha->bytesPerRow + x] != 0;
            const bool b = (reinterpret_cast<const uint32_t *>(data + ptrdiff_t(y) * stride)[x] >> 24) != 0;
            covered += a || b;
            differing += a != b;
        }
    cairo_surface_destroy(peer);
    char line[200];
    std::snprintf(line, sizeof line, "%-22s %dx%d (ours %dx%d), %lld samples covered, %lld differ", c.name.c_str(),
                  c.width, c.height, ours.width, ours.height, (long long)covered, (long long)differing);
    FreeImageTriple(&ours);
    *report = line;
    return sized && covered > 0 && differing * 100 <= covered;
}

std::vector<Case> &AllCases() {
    static std::vector<Case> cases = Cases();
    return cases;
}

} // namespace

// The summary table keeps to the cases the benchmark filter names, so that one case can be profiled alone.
std::regex filter(".");

bool BenchSetUp(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--benchmark_filter=", 19) == 0) filter = std::regex(argv[i] + 19);
    bool same = true;
    for (const Case &c : AllCases()) {
        std::string report;
        const bool ok = SameWork(c, &report);
        std::printf("same work %s: %s\n", ok ? "ok  " : "FAIL", report.c_str());
        same = same && ok;
    }
    for (const LayerCase &c : AllLayerCases()) {
        std::string report;
        const bool ok = SameLayerWork(c, &report);
        std::printf("same work %s: %s\n", ok ? "ok  " : "FAIL", report.c_str());
        same = same && ok;
    }
    for (const HugeCase &c : AllHugeCases()) {
        std::string report;
        const bool ok = SameHugeWork(c, &report);
        std::printf("same work %s: %s\n", ok ? "ok  " : "FAIL", report.c_str());
        same = same && ok;
    }
    if (!same) {
        std::printf("the pairs do not draw the same thing: no timing\n");
        return false;
    }
    for (const Case &c : AllCases()) {
        const std::vector<Place> places = Places(c.boxW, c.boxH);
        benchmark::RegisterBenchmark(("ours/" + c.name).c_str(), [&c, places](benchmark::State &state) {
            for (auto _ : state) DrawOurs(c, Shared(), places);
            state.SetItemsProcessed(int64_t(state.iterations()) * kShapesPerCall);
        })->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("peer/" + c.name).c_str(), [&c, places](benchmark::State &state) {
            for (auto _ : state) DrawPeer(c, Shared(), places);
            state.SetItemsProcessed(int64_t(state.iterations()) * kShapesPerCall);
        })->Unit(benchmark::kMicrosecond);
    }
    for (const LayerCase &c : AllLayerCases()) {
        const std::vector<Place> places = Places(c.boxW, c.boxH);
        benchmark::RegisterBenchmark(("ours/" + c.name).c_str(), [&c, places](benchmark::State &state) {
            for (auto _ : state) {
                state.PauseTiming();
                ClearLayers(Layers());
                state.ResumeTiming();
                AddShapeLayers(Layers(), c, places);
            }
            state.SetItemsProcessed(int64_t(state.iterations()) * kShapesPerCall);
        })->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("peer/" + c.name).c_str(), [&c, places](benchmark::State &state) {
            for (auto _ : state) {
                state.PauseTiming();
                ClearLayers(Layers());
                state.ResumeTiming();
                AddBrushLayers(Layers(), c, places);
            }
            state.SetItemsProcessed(int64_t(state.iterations()) * kShapesPerCall);
        })->Unit(benchmark::kMicrosecond);
    }
    for (const HugeCase &c : AllHugeCases()) {
        benchmark::RegisterBenchmark(("ours/" + c.name).c_str(), [&c](benchmark::State &state) {
            for (auto _ : state) MakeOurs(c);
        })->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("peer/" + c.name).c_str(), [&c](benchmark::State &state) {
            for (auto _ : state) MakePeer(c);
        })->Unit(benchmark::kMillisecond);
    }
    return true;
}

int BenchReport() {
    std::printf("%-22s %14s %14s %-22s %7s %7s\n", "case", "ours/s", "peer/s", "peer", "ratio", "target");
    for (const Case &c : AllCases()) {
        if (!std::regex_search("ours/" + c.name, filter) && !std::regex_search("peer/" + c.name, filter)) continue;
        const std::vector<Place> places = Places(c.boxW, c.boxH);
        const double ours = MedianMicros([&] { DrawOurs(c, Shared(), places); });
        const double peer = MedianMicros([&] { DrawPeer(c, Shared(), places); });
        std::printf("%-22s %14.0f %14.0f %-22s %6.2fx %6.2fx %s\n", c.name.c_str(), kShapesPerCall * 1e6 / ours,
                    kShapesPerCall * 1e6 / peer, c.peerName, peer / ours, c.target, peer / ours >= c.target ? "met" : "short");
    }
    for (const LayerCase &c : AllLayerCases()) {
        if (!std::regex_search("ours/" + c.name, filter) && !std::regex_search("peer/" + c.name, filter)) continue;
        const std::vector<Place> places = Places(c.boxW, c.boxH);
        const double ours = MedianLayerMicros([&] { return AddShapeLayers(Layers(), c, places); });
        const double peer = MedianLayerMicros([&] { return AddBrushLayers(Layers(), c, places); });
        std::printf("%-22s %14.0f %14.0f %-22s %6.2fx %6.2fx %s\n", c.name.c_str(), kShapesPerCall * 1e6 / ours,
                    kShapesPerCall * 1e6 / peer, "brush layers", peer / ours, 0.5, peer / ours >= 0.5 ? "met" : "short");
    }
    for (const HugeCase &c : AllHugeCases()) {
        if (!std::regex_search("ours/" + c.name, filter) && !std::regex_search("peer/" + c.name, filter)) continue;
        const double ours = MedianMicros([&] { MakeOurs(c); });
        const double peer = MedianMicros([&] { MakePeer(c); });
        std::printf("%-22s %14.2f %14.2f %-22s %6.2fx %6.2fx %s\n", c.name.c_str(), 1e6 / ours, 1e6 / peer,
                    "cairo aliased image", peer / ours, kHugeTarget, peer / ours >= kHugeTarget ? "met" : "short");
    }
    return 0;
}

VL_BENCH_MAIN(.setUp = BenchSetUp, .report = BenchReport)
