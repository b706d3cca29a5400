// Reading a polygon's points from a script table (the draw library's shape arguments), and the error of a shape
// beyond the renderer's limits.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "imaging/shape_geometry.h"
#include "imaging/shapes.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"

// A vertex on top of the stack. No point stands for NaN; an infinite one is the largest finite, so that moving
// the points to the origin gives no NaN (inf - inf).
static double Vertex(VMState *vm) {
    const double v = CheckNumberField(vm, -1, "vertices");
    if (std::isnan(v)) RaiseError(vm, kErrWrongUsage);
    return std::clamp(v, -DBL_MAX, DBL_MAX);
}

int ReadPolygonTable(VMState *vm, int table, std::vector<double> *points, int32_t *count, int32_t *width,
                     int32_t *height, int32_t *offsetX, int32_t *offsetY) {
    CheckTableArg(vm, table);
    if (table < 0 && table > kRegistryIndex) table = GetTop(vm) + table + 1;
    RawGetField(vm, table, "vertices");
    const int list = ValueType(vm, -1) == TTABLE ? GetTop(vm) : table;
    const size_t n = TableListLength(vm, list);
    if (n / 2 > size_t(kMaxPolygonPoints))
        RaiseErrorDetail(vm, kErrInternalLimit,
                         "a polygon has at most " + std::to_string(kMaxPolygonPoints) + " points");
    points->clear();
    for (size_t i = 0; i + 1 < n; i += 2) {
        RawGetIndex(vm, list, int64_t(i));
        const double px = Vertex(vm);
        RawGetIndex(vm, list, int64_t(i + 1));
        const double py = Vertex(vm);
        SetTop(vm, -3);
        points->push_back(px);
        points->push_back(py);
    }
    SetTop(vm, -2); // the "vertices" field
    if (points->empty()) return kErrWrongUsage;
    double minX = (*points)[0], minY = (*points)[1], maxX = minX, maxY = minY;
    for (size_t i = 0; i < points->size(); i += 2) {
        minX = std::min(minX, (*points)[i]);
        maxX = std::max(maxX, (*points)[i]);
        minY = std::min(minY, (*points)[i + 1]);
        maxY = std::max(maxY, (*points)[i + 1]);
    }
    *offsetX = SaturateToInt32((*points)[0] - minX);
    *offsetY = SaturateToInt32((*points)[1] - minY);
    for (size_t i = 0; i < points->size(); i += 2) {
        (*points)[i] -= minX;
        (*points)[i + 1] -= minY;
    }
    *count = int32_t(points->size() / 2);
    // Added before saturating: a span of 2^31 or more is INT32_MAX wide, not one past it.
    *width = SaturateToInt32(maxX - minX + 1);
    *height = SaturateToInt32(maxY - minY + 1);
    return 0;
}

void RaiseShapeSizeLimit(VMState *vm) {
    RaiseErrorDetail(vm, kErrInternalLimit,
                     "a shape is at most " + std::to_string(kMaxShapeSide) + " pixels wide and high, its edge, " +
                         "shadow and outline included");
}
