#include "imaging/position.h"

#include <cmath>

void (*CurrentOutputSizeHook)(int32_t *width, int32_t *height) = nullptr;

namespace {
enum class Place { Start, Centre, End, Before, After };

struct Constant {
    int32_t value;
    Place place;
};

// Finds the constant a coordinate stands for; ranges are half-open so neighbouring constants never overlap.
bool Decode(int32_t v, const Constant *table, int n, Place *place, int32_t *offset) {
    for (int k = 0; k < n; ++k) {
        int64_t off = int64_t(v) - table[k].value;
        if (off >= -kPosOffsetRange && off < kPosOffsetRange) {
            *place = table[k].place;
            *offset = int32_t(off);
            return true;
        }
    }
    return false;
}

int64_t FloorHalf(int64_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

int32_t Resolve(Place place, int32_t offset, int32_t size, int32_t available, double anchor) {
    const int64_t anchorOffset = int64_t(std::floor(anchor * size + 0.5));
    int64_t start = 0;
    switch (place) {
    case Place::Start: start = 0; break;
    case Place::Centre: start = FloorHalf(int64_t(available) - size); break;
    case Place::End: start = int64_t(available) - size; break;
    case Place::Before: start = -int64_t(size); break;
    case Place::After: start = available; break;
    }
    return int32_t(start + anchorOffset + offset);
}

int32_t Available(int32_t given, bool horizontal) {
    if (given != 0 || !CurrentOutputSizeHook) return given;
    int32_t w = 0, h = 0;
    CurrentOutputSizeHook(&w, &h);
    return horizontal ? w : h;
}
} // namespace

int32_t ResolveXPosition(int32_t x, int32_t objectWidth, int32_t available, double anchor) {
    static const Constant kX[] = {{kPosCenter, Place::Centre}, {kPosLeft, Place::Start}, {kPosRight, Place::End},
                                  {kPosLeftOut, Place::Before}, {kPosRightOut, Place::After}};
    Place place;
    int32_t offset;
    if (!Decode(x, kX, 5, &place, &offset)) return x;
    return Resolve(place, offset, objectWidth, Available(available, true), anchor);
}

int32_t ResolveYPosition(int32_t y, int32_t objectHeight, int32_t available, double anchor) {
    static const Constant kY[] = {{kPosCenter, Place::Centre}, {kPosTop, Place::Start}, {kPosBottom, Place::End},
                                  {kPosTopOut, Place::Before}, {kPosBottomOut, Place::After}};
    Place place;
    int32_t offset;
    if (!Decode(y, kY, 5, &place, &offset)) return y;
    return Resolve(place, offset, objectHeight, Available(available, false), anchor);
}
