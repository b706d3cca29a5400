// The "moveobject" command library: reading a move's arguments into a context and handing it to the engine.
#include "scene/layers/moveobject_library.h"

#include "imaging/graphics_library.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "scene/layers/layers.h"
#include "scene/layers/move_object.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kMoveObjectReference;

namespace {

// Arguments after the five coordinates: an options table, or speed [, animspeed] [, fx] by position.
int ReadMoveOptions(VMState *vm, MoveContext *c, bool hasAnimSpeed) {
    c->speed = NORMALSPEED;
    c->animSpeed = NORMALSPEED;
    if (ValueType(vm, 6) == TTABLE) {
        GetTableOption(vm, 6, "fx", &c->fx);
        GetTableOption(vm, 6, "speed", &c->speed);
        GetTableOption(vm, 6, "animspeed", &c->animSpeed);
        GetTableOption(vm, 6, "async", &c->async);
        return 0;
    }
    c->speed = OptCountArg(vm, 6, NORMALSPEED);
    if (hasAnimSpeed) {
        c->animSpeed = OptInt32Arg(vm, 7, NORMALSPEED);
        c->fx = OptInt32Arg(vm, 8, 0);
    } else {
        c->fx = OptInt32Arg(vm, 7, 0);
    }
    return 0;
}

} // namespace

int ParseMoveArgs(VMState *vm, int32_t kind) {
    const bool hasAnimSpeed = kind == ObjectKindAnim || kind == ObjectKindSprite;
    CheckArgs(vm, 5, hasAnimSpeed ? 8 : 7);
    ObjectId id{};
    if (kind == ObjectKindLayer) {
        if (int error = ReadLayerArg(vm, 1, &id.number)) return error;
    } else {
        ReadObjectId(&id, vm, 1);
    }
    const int32_t x1 = CheckCoordinateArg(vm, 2), y1 = CheckCoordinateArg(vm, 3);
    const int32_t x2 = CheckCoordinateArg(vm, 4), y2 = CheckCoordinateArg(vm, 5);
    // Every argument is read into a local record first: a refused option raises, and nothing is allocated yet.
    MoveContext args{};
    args.state = vm;
    args.kind = kind;
    args.objectId = id;
    args.x = x1, args.y = y1, args.x2 = x2, args.y2 = y2;
    ReadMoveOptions(vm, &args, hasAnimSpeed);
    MoveContext *c = NewMoveContext();
    if (!c) return kErrOutOfMemory;
    *c = args;
    return RunMoveObject(c);
}

namespace {

int CmdMoveBrush(VMState *vm) { return ParseMoveArgs(vm, ObjectKindBrush); }
int CmdMoveTextObject(VMState *vm) { return ParseMoveArgs(vm, ObjectKindTextObject); }
int CmdMoveLayer(VMState *vm) { return ParseMoveArgs(vm, ObjectKindLayer); }
int CmdMoveAnim(VMState *vm) { return ParseMoveArgs(vm, ObjectKindAnim); }
int CmdMoveSprite(VMState *vm) { return ParseMoveArgs(vm, ObjectKindSprite); }

} // namespace

const CommandEntry kMoveObjectCommands[] = {
    {"MoveBrush", CmdMoveBrush},   {"MoveTextObject", CmdMoveTextObject}, {"MoveLayer", CmdMoveLayer},
    {"MoveAnim", CmdMoveAnim},     {"MoveSprite", CmdMoveSprite},         {nullptr, nullptr},
};

const ConstantEntry kMoveObjectConstants[] = {
    {"BOUNCE", nullptr, kMoveBounce},         {"SMOOTHOUT", nullptr, kMoveSmoothOut}, {"DAMPED", nullptr, kMoveDamped},
    {"SINE", nullptr, kMoveSine},             {"BIGSINE", nullptr, kMoveBigSine},
    {"LOWERCURVE", nullptr, kMoveLowerCurve}, {"UPPERCURVE", nullptr, kMoveUpperCurve}, {nullptr, nullptr, 0},
};

void RegisterMoveObjectLibrary(VMState *vm) {
    RegisterCommands(vm, kMoveObjectCommands);
    RegisterCommandLibrary(kMoveObjectCommands, "moveobject", &kMoveObjectReference);
    RegisterConstants(vm, kMoveObjectConstants);
}

// Async moves are async draw objects: the graphics library frees them with the displays.
void FreeMoveObjectLibrary(VMState *) {}

const LibraryDescriptor kMoveObjectLibrary{"moveobject", RegisterMoveObjectLibrary, FreeMoveObjectLibrary};
