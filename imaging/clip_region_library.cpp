// Bindings of the clip-region commands of the graphics library.
#include <cstdint>

#include "imaging/clip_region.h"
#include "imaging/draw_services.h"
#include "imaging/graphics_bindings.h"
#include "imaging/graphics_library.h"
#include "imaging/position.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"

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
        x = CheckCoordinateArg(vm, 3), y = CheckCoordinateArg(vm, 4);
        width = CheckCoordinateArg(vm, 5), height = CheckCoordinateArg(vm, 6);
        if (width < 1 || height < 1) return kErrSizeNotPositive;
    } else if (type == ObjectKindBrush) {
        CheckArgs(vm, 5, 5);
        const ObjectId brush = IdArg(vm, 3);
        x = CheckCoordinateArg(vm, 4), y = CheckCoordinateArg(vm, 5);
        if (!DrawServices || !DrawServices->findBrushImage) return MissingDrawServices();
        if (int error = DrawServices->findBrushImage(brush, &shape)) return error;
        width = shape.width, height = shape.height;
    } else {
        return kErrWrongUsage;
    }
    x = ResolveXPosition(x, width, 0, 0);
    y = ResolveYPosition(y, height, 0, 0);
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
