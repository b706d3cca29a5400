#include "imaging/raster.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/pixels.h"
#include "runtime/app/errors.h"

namespace {
struct Crossing {
    float x;       // where the edge meets the scan line's centre
    int32_t winding;
};
static_assert(sizeof(Crossing) == 8, "the scratch size promised to callers");
} // namespace

int FillPolygonMask(MaskPlane *plane, const int32_t *points, int32_t count, void *scratch, size_t scratchSize) {
    if (!plane || !plane->bits || !points || count < 3) return 0;
    if (plane->rows <= 0) return kErrWrongUsage;
    std::vector<Crossing> own;
    Crossing *cross;
    if (scratch && scratchSize >= PolygonScratchBytes(count) &&
        reinterpret_cast<uintptr_t>(scratch) % alignof(Crossing) == 0) {
        cross = static_cast<Crossing *>(scratch);
    } else {
        try {
            own.resize(size_t(count));
        } catch (...) {
            return kErrOutOfMemoryCode;
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
    for (int32_t y = y0; y < y1; ++y) {
        const double yc = y + 0.5;
        int32_t n = 0;
        for (int32_t k = 0; k < count; ++k) {
            const int32_t *p = points + 2 * k, *q = points + 2 * ((k + 1) % count);
            const double py = p[1], qy = q[1];
            if ((py <= yc) == (qy <= yc)) continue; // does not cross this centre line
            const double x = p[0] + (yc - py) * double(int64_t(q[0]) - p[0]) / (qy - py);
            cross[n++] = Crossing{float(x), qy > py ? 1 : -1};
        }
        std::sort(cross, cross + n, [](const Crossing &a, const Crossing &b) { return a.x < b.x; });
        uint8_t *row = plane->bits + ptrdiff_t(y) * plane->bytesPerRow;
        int32_t winding = 0;
        for (int32_t k = 0; k + 1 < n; ++k) {
            winding += cross[k].winding;
            if (winding == 0) continue;
            // Pixels whose centres lie in [x_k, x_k+1).
            int64_t from = int64_t(std::ceil(double(cross[k].x) - 0.5));
            int64_t to = int64_t(std::ceil(double(cross[k + 1].x) - 0.5));
            from = std::max<int64_t>(from, 0);
            to = std::min<int64_t>(to, width);
            for (int64_t x = from; x < to; ++x) SetMaskBit(row, int(x), true);
        }
    }
    return 0;
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

static DrawState gDrawState;
DrawState *GetDrawState() { return &gDrawState; }
void ResetDrawState() { gDrawState = DrawState{}; }
