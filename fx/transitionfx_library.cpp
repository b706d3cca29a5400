// Bindings of the transition commands: each fills a request from its arguments or its options table and runs it.
#include "fx/transitionfx_library.h"

#include <vector>

#include "fx/effect_table.h"
#include "fx/layer_road.h"
#include "fx/transition.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/display_record.h"
#include "scene/images/bgpic.h"
#include "scene/images/output.h"
#include "scene/layers/layers.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kTransitionFxReference;

namespace {

bool LayersEnabled() { return CurrentDisplay && CurrentDisplay->layersEnabled; }

bool TableAt(VMState *vm, int n) { return GetTop(vm) == n && ValueType(vm, n) == TTABLE; }

// Positions and sizes are read within the layers' +-10^9, so that no sum of a place and a size overflows.

// Options shared by every command; the command-specific keys are read by the callers.
void ReadCommonOptions(VMState *vm, int table, FxRequest *request) {
    request->effect = kFxRandomEffect;
    request->parameter = kFxRandomParameter;
    request->undoLevel = 1;
    request->step = -1;
    GetTableOption(vm, table, "type", &request->effect);
    GetTableOption(vm, table, "speed", &request->step);
    GetTableOption(vm, table, "parameter", &request->parameter);
    GetTableOption(vm, table, "undolevel", &request->undoLevel);
    GetTableOption(vm, table, "dx", &request->x);
    GetTableOption(vm, table, "dy", &request->y);
    GetTableOption(vm, table, "layers", &request->useLayers);
    GetTableOption(vm, table, "forcerealtimelayers", &request->forceRealtimeLayers);
    GetTableOption(vm, table, "async", &request->async);
    request->x = ClampLayerCoordinate(request->x), request->y = ClampLayerCoordinate(request->y);
}

void ReadEffectArgs(VMState *vm, int first, FxRequest *request) {
    request->effect = OptInt32Arg(vm, first, kFxRandomEffect);
    request->step = OptInt32Arg(vm, first + 1, -1);
    request->parameter = OptInt32Arg(vm, first + 2, kFxRandomParameter);
}

// A request of the mode for the object in argument 1.
FxRequest ObjectRequest(VMState *vm, int32_t mode) {
    FxRequest request;
    request.vm = vm;
    request.mode = mode;
    ReadObjectId(&request.object, vm, 1);
    return request;
}

// Runs the request again for as long as the output keeps changing size under it.
int Run(FxRequest *request) {
    for (;;) {
        request->redo = 0;
        if (int result = RunTransition(request)) return result;
        if (!request->redo) return 0;
    }
}

// A layer by number, or by its name in the current picture (kErrLayerNameNotFound, kErrStringOrNumberExpected).
int ReadLayerObject(VMState *vm, int n, ObjectId *out) {
    int32_t position = 0;
    if (ValueType(vm, n) == TNUMBER) position = CheckInt32Arg(vm, n);
    else if (int error = ReadLayerArg(vm, n, &position)) return error;
    *out = ObjectId{position, nullptr};
    return 0;
}

int LayerCommand(VMState *vm, int32_t mode) {
    CheckArgs(vm, 1, 4);
    FxRequest request;
    request.vm = vm;
    request.mode = mode;
    if (int error = ReadLayerObject(vm, 1, &request.object)) return error;
    if (TableAt(vm, 2)) {
        ReadCommonOptions(vm, 2, &request);
        if (mode == kFxModeLayer) {
            GetTableOption(vm, 2, "bgpicemu", &request.bgpicEmu);
            if (request.bgpicEmu) {
                ObjectId picture{};
                if (!GetTableOptionObjectId(vm, 2, "bgpic", &picture)) return kErrNotEnoughArguments;
                if (int error = FindBGPic(picture, &request.emuBGPic, 0)) return error;
                request.emuBGPic->layersChanged = 0;
            }
        }
    } else {
        ReadEffectArgs(vm, 2, &request);
    }
    request.reverse = mode != kFxModeLayer;
    return Run(&request);
}

int CmdDisplayTransitionFX(VMState *vm) {
    CheckArgs(vm, 1, 4);
    FxRequest request = ObjectRequest(vm, kFxModeBGPic);
    if (TableAt(vm, 2)) {
        ReadCommonOptions(vm, 2, &request);
        if (request.async) return kErrWrongUsage;
        GetTableOption(vm, 2, "x", &request.posX);
        GetTableOption(vm, 2, "y", &request.posY);
        request.posX = ClampLayerCoordinate(request.posX), request.posY = ClampLayerCoordinate(request.posY);
    } else {
        ReadEffectArgs(vm, 2, &request);
    }
    return Run(&request);
}

int CmdShowLayerFX(VMState *vm) { return LayerCommand(vm, kFxModeLayer); }
int CmdHideLayerFX(VMState *vm) { return LayerCommand(vm, kFxModeHideLayer); }
int CmdRemoveLayerFX(VMState *vm) { return LayerCommand(vm, kFxModeRemoveLayer); }

// DisplayBrushFX and DisplayTextObjectFX: an object, a position, then an options table or the effect arguments.
int RunObjectAtPosition(VMState *vm, int32_t mode) {
    CheckArgs(vm, 3, 6);
    FxRequest request = ObjectRequest(vm, mode);
    request.x = ClampLayerCoordinate(CheckInt32Arg(vm, 2));
    request.y = ClampLayerCoordinate(CheckInt32Arg(vm, 3));
    if (TableAt(vm, 4)) ReadCommonOptions(vm, 4, &request);
    else ReadEffectArgs(vm, 4, &request);
    return Run(&request);
}

int CmdDisplayBrushFX(VMState *vm) { return RunObjectAtPosition(vm, kFxModeBrush); }

int CmdDisplayTextObjectFX(VMState *vm) { return RunObjectAtPosition(vm, kFxModeTextObject); }

int CmdDisplayBGPicPartFX(VMState *vm) {
    CheckArgs(vm, 5, 11);
    FxRequest request = ObjectRequest(vm, kFxModeBGPicPart);
    request.partX = ClampLayerCoordinate(CheckInt32Arg(vm, 2));
    request.partY = ClampLayerCoordinate(CheckInt32Arg(vm, 3));
    request.width = ClampLayerCoordinate(CheckInt32Arg(vm, 4));
    request.height = ClampLayerCoordinate(CheckInt32Arg(vm, 5));
    request.x = request.partX;
    request.y = request.partY;
    if (TableAt(vm, 6)) {
        ReadCommonOptions(vm, 6, &request);
    } else {
        ReadEffectArgs(vm, 6, &request);
        request.x = ClampLayerCoordinate(OptInt32Arg(vm, 9, request.partX));
        request.y = ClampLayerCoordinate(OptInt32Arg(vm, 10, request.partY));
        request.useLayers = OptInt32Arg(vm, 11, 0);
    }
    if (request.useLayers && !LayersEnabled()) return kErrWrongUsage;
    return Run(&request);
}

int CmdUndoFX(VMState *vm) {
    CheckArgs(vm, 2, 6);
    if (!LayersEnabled()) return kErrLayersRequired;
    FxRequest request;
    request.vm = vm;
    request.mode = kFxModeRemoveLayer;
    request.reverse = 1;
    request.undoKind = CheckInt32Arg(vm, 1);
    ReadObjectId(&request.object, vm, 2);
    if (TableAt(vm, 3)) {
        ReadCommonOptions(vm, 3, &request);
    } else {
        ReadEffectArgs(vm, 3, &request);
        request.undoLevel = OptInt32Arg(vm, 6, 1);
    }
    int32_t position = 0;
    if (int error = FindUndoLayer(request.undoKind, request.object, request.undoLevel, &position)) return error;
    request.object = ObjectId{position, nullptr};
    return Run(&request);
}

int CmdGetRandomFX(VMState *vm) {
    CheckArgs(vm, 1, 1);
    PushNumber(vm, DrawRandomEffect(CheckNumberArg(vm, 1) != 0));
    return 1;
}

void RegisterTransitionFxLibrary(VMState *vm) {
    EndDoubleBufferingHook = EndDoubleBuffering;
    RegisterCommands(vm, kTransitionFxCommands);
    RegisterCommandLibrary(kTransitionFxCommands, "transitionfx", &kTransitionFxReference);
    static const std::vector<ConstantEntry> constants = TransitionFxConstants();
    RegisterConstants(vm, constants.data());
}

} // namespace

// RANDOMPARAMETER, every effect name, RANDOMEFFECT and the compass aliases of the first four scrolls.
std::vector<ConstantEntry> TransitionFxConstants() {
    std::vector<ConstantEntry> rows{{"RANDOMPARAMETER", nullptr, kFxRandomParameter}};
    for (int32_t id = 0; id < kFxEffectIdCount; id++)
        if (const FxEffectRow *row = FindFxEffect(id)) rows.push_back({row->name, nullptr, double(id)});
    rows.push_back({"RANDOMEFFECT", nullptr, kFxRandomEffect});
    rows.push_back({"SCROLLWEST", nullptr, 47});
    rows.push_back({"SCROLLEAST", nullptr, 48});
    rows.push_back({"SCROLLNORTH", nullptr, 49});
    rows.push_back({"SCROLLSOUTH", nullptr, 50});
    rows.push_back({nullptr, nullptr, 0});
    return rows;
}

const CommandEntry kTransitionFxCommands[] = {
    {"DisplayBrushFX", CmdDisplayBrushFX},
    {"DisplayTextObjectFX", CmdDisplayTextObjectFX},
    {"DisplayTransitionFX", CmdDisplayTransitionFX},
    {"DisplayBGPicPartFX", CmdDisplayBGPicPartFX},
    {"UndoFX", CmdUndoFX},
    {"ShowLayerFX", CmdShowLayerFX},
    {"HideLayerFX", CmdHideLayerFX},
    {"RemoveLayerFX", CmdRemoveLayerFX},
    {"GetRandomFX", CmdGetRandomFX},
    {nullptr, nullptr},
};

// No free-all: async transitions are objects of the async draw machinery, which frees them.
const LibraryDescriptor kTransitionFxLibrary{"transitionfx", RegisterTransitionFxLibrary, nullptr};
