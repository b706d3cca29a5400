// Bindings of the clip-region commands of the graphics library.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "imaging/clip_region.h"
#include "imaging/draw_services.h"
#include "imaging/graphics_bindings.h"
#include "imaging/graphics_library.h"
#include "imaging/position.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"

namespace {

// 2^52: whole numbers stay exact as doubles, and sums of two stay inside int64.
constexpr double kWholeLimit = 4503599627370496.0;

// One side of a box region, from whole numbers: what it holds is kept however far it reaches. Its edges, not its
// numbers, are brought within the coordinate range, far outside any picture, so that neither a size past that
// range (or past 32 bits) is cut short nor an edge overflows. A position constant places the box by its size and
// the current output's, as for any object; every other number is a pixel.
void BoxSide(int64_t position, int64_t size, bool horizontal, int32_t *start, int32_t *length) {
    int64_t left = position;
    if (position >= INT32_MIN && position <= INT32_MAX && IsPositionConstant(int32_t(position))) {
        // A constant sets the box back by none, half or all of its size, the same step for every two pixels of
        // it: a size past 32 bits is placed from its odd pixel and the step times its pairs.
        const auto place = [&](int32_t span) {
            return horizontal ? ResolveXPosition(int32_t(position), span, 0, 0)
                              : ResolveYPosition(int32_t(position), span, 0, 0);
        };
        const int32_t rest = int32_t(size & 1), near = place(rest);
        left = near + (size >> 1) * (place(rest + 2) - near);
    }
    const int64_t right = ClampCoordinate(left + size);
    left = ClampCoordinate(left);
    *start = int32_t(left);
    *length = int32_t(std::max<int64_t>(right - left, 1)); // wholly beyond the range: one pixel there, none shown
}

} // namespace

// CreateClipRegion(id, #BOX, x, y, width, height) or CreateClipRegion(id, #BRUSH, brush, x, y) -> handle for Nil
int CmdCreateClipRegion(VMState *vm) {
    CheckArgs(vm, 5, 6);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const int32_t type = CheckInt32Arg(vm, 2);
    int32_t x = 0, y = 0, width = 0, height = 0;
    ImageTriple shape;
    if (type == ObjectKindBox) {
        CheckArgs(vm, 6, 6);
        int64_t box[4];
        for (int n = 0; n < 4; n++) {
            const double v = CheckNumberArg(vm, 3 + n);
            if (std::isnan(v)) return kErrWrongUsage;
            box[n] = int64_t(std::clamp(std::trunc(v), -kWholeLimit, kWholeLimit));
        }
        if (box[2] < 1 || box[3] < 1) return kErrSizeNotPositive;
        BoxSide(box[0], box[2], true, &x, &width);
        BoxSide(box[1], box[3], false, &y, &height);
    } else if (type == ObjectKindBrush) {
        CheckArgs(vm, 5, 5);
        const ObjectId brush = IdArg(vm, 3);
        x = CheckCoordinateArg(vm, 4), y = CheckCoordinateArg(vm, 5);
        if (!DrawServices || !DrawServices->findBrushImage) return MissingDrawServices();
        if (int error = DrawServices->findBrushImage(brush, &shape)) return error;
        width = shape.width, height = shape.height;
        x = ResolveXPosition(x, width, 0, 0);
        y = ResolveYPosition(y, height, 0, 0);
    } else {
        return kErrWrongUsage;
    }
    ClipRegion *made = nullptr;
    if (int error = CreateClipRegion(id, x, y, width, height, type == ObjectKindBrush ? &shape : nullptr, &made))
        return error;
    return PushAutoHandle(vm, id, made);
}

// SetClipRegion(id or -1)
int CmdSetClipRegion(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const ObjectId id = IdArg(vm, 1);
    ClipRegion *region = nullptr;
    if (id.handle || id.number != -1)
        if (int error = FindClipRegion(id, nullptr, 0, &region)) return error;
    if (!DrawServices || !DrawServices->setCurrentClipRegion) return MissingDrawServices();
    return DrawServices->setCurrentClipRegion(region);
}

// FreeClipRegion(id)
int CmdFreeClipRegion(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return FreeClipRegionById(IdArg(vm, 1));
}

int ClipRegionAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    ClipRegion *region = nullptr;
    if (int error = FindClipRegion(id, nullptr, 0, &region)) return error;
    if (attribute == ATTRWIDTH) PushNumber(vm, region->width);
    else if (attribute == ATTRHEIGHT) PushNumber(vm, region->height);
    else return kAttributeUnanswered;
    return 1;
}
