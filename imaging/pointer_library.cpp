// Bindings of the pointer commands of the graphics library.
#include "imaging/draw_services.h"
#include "imaging/graphics_bindings.h"
#include "imaging/graphics_library.h"
#include "imaging/pointer.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"

// CreatePointer(id, brush[, hotx, hoty]) -> handle for Nil
int CmdCreatePointer(VMState *vm) {
    CheckArgs(vm, 2, 4);
    ObjectId id{}, brush{};
    OptIntegerArg(&id, vm, 1);
    ReadObjectId(&brush, vm, 2);
    const int32_t hotX = OptInt32Arg(vm, 3, 0), hotY = OptInt32Arg(vm, 4, 0);
    if (!DrawServices || !DrawServices->findBrushImage) return MissingDrawServices();
    ImageTriple image;
    if (int error = DrawServices->findBrushImage(brush, &image)) return error;
    PointerRecord *made = nullptr;
    if (int error = CreatePointerRecord(id, image, hotX, hotY, &made)) return error;
    return PushAutoHandle(vm, id, made);
}

// SetPointer(id, SYSTEMPOINTER or BUSYPOINTER)
int CmdSetPointer(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const ObjectId id = IdArg(vm, 1);
    PointerRecord *pointer = nullptr;
    if (!id.handle && id.number == BUSYPOINTER) pointer = BusyPointer();
    else if (id.handle || id.number != SYSTEMPOINTER)
        if (int error = FindPointer(id, &pointer)) return error;
    if (!DrawServices || !DrawServices->setDisplayPointer) return MissingDrawServices();
    return DrawServices->setDisplayPointer(pointer);
}

// FreePointer(id)
int CmdFreePointer(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return FreePointerById(IdArg(vm, 1));
}

int CmdHidePointer(VMState *vm) {
    CheckArgs(vm, 0, 0);
    if (!DrawServices || !DrawServices->setPointerHidden) return MissingDrawServices();
    return DrawServices->setPointerHidden(1);
}

int CmdShowPointer(VMState *vm) {
    CheckArgs(vm, 0, 0);
    if (!DrawServices || !DrawServices->setPointerHidden) return MissingDrawServices();
    return DrawServices->setPointerHidden(0);
}

int PointerAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    PointerRecord *pointer = nullptr;
    if (int error = FindPointer(id, &pointer)) return error;
    if (attribute == ATTRWIDTH) PushNumber(vm, pointer->image ? pointer->image->width : 0);
    else if (attribute == ATTRHEIGHT) PushNumber(vm, pointer->image ? pointer->image->height : 0);
    else return kAttributeUnanswered;
    return 1;
}
