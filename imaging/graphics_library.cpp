// Bindings of the graphics and draw command libraries: argument reading and results only; the work is in the
// operations beside this file.
#include "imaging/graphics_library.h"

#include <algorithm>

#include "host/blit.h"
#include "host/debug_output.h"
#include "imaging/async_draw.h"
#include "imaging/blit.h"
#include "imaging/clip_region.h"
#include "imaging/draw_services.h"
#include "imaging/frame_pacing.h"
#include "imaging/gfx_cache.h"
#include "imaging/graphics_bindings.h"
#include "imaging/image_ops.h"
#include "imaging/pointer.h"
#include "imaging/position.h"
#include "imaging/raster.h"
#include "imaging/shapes.h"
#include "imaging/snapshot.h"
#include "runtime/app/attributes.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kGraphicsReference;
extern const LibraryReference kDrawReference;

namespace {

int32_t gMaskMode = MASKVISIBLE;
int32_t gAlphaIntensity = 128;

int32_t CountAsyncDrawObjects() { return CountAsyncDraws(); }

int GraphicsSetAttribute(VMState *, int tag, AttributeValue *value) {
    if (tag == kAttrMaskMode) {
        // Kept as given: the drawing code treats an unknown mode as MASKVISIBLE.
        gMaskMode = SaturateToInt32(value->numbers[0]);
        return 1;
    }
    if (tag == kAttrAlphaIntensity) {
        gAlphaIntensity = std::clamp(SaturateToInt32(value->numbers[0]), -1, 255); // -1: the image's own alpha
        return 1;
    }
    return 0;
}

int GraphicsGetAttribute(VMState *, int tag, AttributeValue *value) {
    if (tag == kAttrMaskMode) {
        value->numbers[0] = gMaskMode;
        return 1;
    }
    if (tag == kAttrAlphaIntensity) {
        value->numbers[0] = gAlphaIntensity;
        return 1;
    }
    return 0;
}

// GetAttribute(kind, id, attribute, ...)
int CmdGetAttribute(VMState *vm) {
    CheckArgs(vm, 3, 0);
    const int32_t kind = CheckInt32Arg(vm, 1);
    ObjectId id;
    // A string names an object of a kind that has names (a layer); its reader reads argument 2 itself.
    const int idType = ValueType(vm, 2);
    if (idType == TNIL || idType == TSTRING) id = ObjectId{};
    else ReadObjectId(&id, vm, 2);
    const int32_t attribute = CheckInt32Arg(vm, 3);
    const ObjectKindEntry *entry = FindObjectKind(kind);
    if (!entry) return kErrWrongUsage;
    if (attribute == ATTRCOUNT && entry->count) {
        PushNumber(vm, entry->count());
        return 1;
    }
    if (!entry->attributes) return kErrWrongUsage;
    const int r = entry->attributes(vm, id, attribute, 4);
    return r == kAttributeUnanswered ? kErrWrongUsage : r;
}

// SetFPSLimit(fps): 0 turns the limit off.
int CmdSetFPSLimit(VMState *vm) {
    CheckArgs(vm, 1, 1);
    SetFPSLimit(CheckInt32Arg(vm, 1));
    return 0;
}

// AsyncDrawFrame(handle) -> True when the object has finished (it is gone then).
int CmdAsyncDrawFrame(VMState *vm) {
    CheckArgs(vm, 1, 1);
    AsyncDrawObject *object = FindAsyncDraw(ToHandle(vm, 1));
    if (!object) return kErrObjectNotFound;
    int32_t finished = 0;
    const int err = StepAsyncDraw(object, &finished);
    if (err) return err;
    PushNumber(vm, finished);
    return 1;
}

// FinishAsyncDraw(handle): ends the object now, as if its last frame had been drawn.
int CmdFinishAsyncDraw(VMState *vm) {
    CheckArgs(vm, 1, 1);
    AsyncDrawObject *object = FindAsyncDraw(ToHandle(vm, 1));
    if (!object) return kErrObjectNotFound;
    FinishAsyncDraw(object);
    return 0;
}

// WaitFrame(): the next deadline of the frame limit or the vertical blank.
int CmdWaitFrame(VMState *vm) {
    CheckArgs(vm, 0, 0);
    WaitFrame(vm);
    return 0;
}

// DumpObjects(): one line per registered counter, in the statistics' fixed order.
int CmdDumpObjects(VMState *vm) {
    CheckArgs(vm, 0, 0);
    DebugPrintf("OBJECT STATISTICS\n");
    for (const ObjectKindEntry &entry : RegisteredObjectKinds())
        if (entry.count) DebugPrintf("%s: %d\n", entry.name, int(entry.count()));
    return 0;
}

// SaveSnapshot(file$[, format[, options]]): the current output as a picture file.
int CmdSaveSnapshot(VMState *vm) {
    CheckArgs(vm, 1, 3);
    const char *file = CheckStringArg(vm, 1);
    const int32_t format = OptInt32Arg(vm, 2, kSnapshotBMP);
    if (std::string hint = ImageFormatHint(format); !hint.empty()) RaiseErrorWithHint(vm, kErrWrongUsage, hint);
    int32_t quality, colors, dither;
    ReadImageSaveOptions(vm, 3, &quality, &colors, &dither);
    HostBitmap *bitmap = nullptr;
    bool owned = false;
    if (SnapshotSourceHook) {
        if (int err = SnapshotSourceHook(&bitmap, &owned)) return err;
    } else if (CurrentOutputBitmapHook) {
        bitmap = CurrentOutputBitmapHook();
    }
    if (!bitmap) return kErrWrongUsage;
    const int err = WriteBmpSnapshot(format, bitmap, bitmap->width, bitmap->height, file, nullptr, 0, nullptr, quality,
                                     colors, dither);
    if (owned) FreeHostBitmap(bitmap);
    if (err == kErrCannotWriteFile) SetErrorArgString(file);
    return err;
}

} // namespace

const ConstantEntry kGraphicsConstants[] = {
    {"BGPIC", nullptr, ObjectKindBGPic},           {"SAMPLE", nullptr, ObjectKindSample},
    {"BRUSH", nullptr, ObjectKindBrush},           {"ANIM", nullptr, ObjectKindAnim},
    {"TEXTOBJECT", nullptr, ObjectKindTextObject}, {"TEXTOUT", nullptr, ObjectKindTextOut},
    {"UNDO", nullptr, ObjectKindUndo},             {"PRINT", nullptr, ObjectKindPrint},
    {"BRUSHPART", nullptr, ObjectKindBrushPart},   {"BGPICPART", nullptr, ObjectKindBGPicPart},
    {"DISPLAY", nullptr, ObjectKindDisplay},       {"LAYER", nullptr, ObjectKindLayer},
    {"HIDEBRUSH", nullptr, ObjectKindHideBrush},   {"INSERTBRUSH", nullptr, ObjectKindInsertBrush},
    {"HIDELAYER", nullptr, ObjectKindHideLayer},   {"REMOVELAYER", nullptr, ObjectKindRemoveLayer},
    {"MASK", nullptr, ObjectKindMask},             {"SHAPE", nullptr, ObjectKindShape},
    {"NEXTFRAME", nullptr, ObjectKindNextFrame},   {"ALPHACHANNEL", nullptr, ObjectKindAlphaChannel},
    {"SPRITE", nullptr, ObjectKindSprite},         {"MUSIC", nullptr, ObjectKindMusic},
    {"NEXTFRAME2", nullptr, ObjectKindNextFrame2}, {"CLIPREGION", nullptr, ObjectKindClipRegion},
    {"POINTER", nullptr, ObjectKindPointer},       {"ASYNCDRAW", nullptr, ObjectKindAsyncDraw},
    {"DOUBLEBUFFER", nullptr, ObjectKindDoubleBuffer}, {"MEMORY", nullptr, ObjectKindMemory},
    {"EVENTHANDLER", nullptr, ObjectKindEventHandler}, {"INTERVAL", nullptr, ObjectKindInterval},
    {"TIMEOUT", nullptr, ObjectKindTimeout},       {"FONT", nullptr, ObjectKindFont},
    {"FILE", nullptr, ObjectKindFile},             {"DIRECTORY", nullptr, ObjectKindDirectory},
    {"BRUSH_VS_BOX", nullptr, ObjectKindBrushVsBox}, {"LAYER_VS_BOX", nullptr, ObjectKindLayerVsBox},
    {"SPRITE_VS_BOX", nullptr, ObjectKindSpriteVsBox}, {"VECTORPATH", nullptr, ObjectKindVectorPath},
    {"NORMALSPEED", nullptr, NORMALSPEED},         {"FASTSPEED", nullptr, FASTSPEED},
    {"SLOWSPEED", nullptr, SLOWSPEED},             {"DEFAULTSPEED", nullptr, DEFAULTSPEED},
    {"ANMFMT_GIF", nullptr, ANMFMT_GIF},           {"ANMFMT_MJPEG", nullptr, ANMFMT_MJPEG},
    {"IMGFMT_BMP", nullptr, kSnapshotBMP},         {"IMGFMT_PNG", nullptr, kSnapshotPNG},
    {"IMGFMT_JPEG", nullptr, kSnapshotJPEG},       {"IMGFMT_GIF", nullptr, kSnapshotGIF},
    {"IMGFMT_ILBM", nullptr, kSnapshotILBM},
    {"ADF_FX", nullptr, ADF_FX},                   {"ADF_ANIM", nullptr, ADF_ANIM},               {"CENTER", nullptr, kPosCenter},
    {"LEFT", nullptr, kPosLeft},                   {"RIGHT", nullptr, kPosRight},
    {"TOP", nullptr, kPosTop},                     {"BOTTOM", nullptr, kPosBottom},
    {"LEFTOUT", nullptr, kPosLeftOut},             {"RIGHTOUT", nullptr, kPosRightOut},
    {"TOPOUT", nullptr, kPosTopOut},               {"BOTTOMOUT", nullptr, kPosBottomOut},
    {"KEEPASPRAT", nullptr, KEEPASPRAT},           {"MASKVISIBLE", nullptr, MASKVISIBLE},
    {"MASKINVISIBLE", nullptr, MASKINVISIBLE},     {"ATTRWIDTH", nullptr, ATTRWIDTH},
    {"ATTRHEIGHT", nullptr, ATTRHEIGHT},           {"ATTRTRANSPARENTCOLOR", nullptr, ATTRTRANSPARENTCOLOR},
    {"ATTRHASMASK", nullptr, ATTRHASMASK},         {"ATTRHASALPHA", nullptr, ATTRHASALPHA},
    {"ATTRTYPE", nullptr, ATTRTYPE},               {"ATTRDURATION", nullptr, ATTRDURATION},
    {"ATTRPITCH", nullptr, ATTRPITCH},             {"ATTRPOSITION", nullptr, ATTRPOSITION},
    {"ATTRFORMAT", nullptr, ATTRFORMAT},           {"ATTRBITRATE", nullptr, ATTRBITRATE},
    {"ATTRFONTASCENDER", nullptr, ATTRFONTASCENDER}, {"ATTRFONTDESCENDER", nullptr, ATTRFONTDESCENDER},
    {"ATTRFONTNAME", nullptr, ATTRFONTNAME},       {"ATTRFONTSIZE", nullptr, ATTRFONTSIZE},
    {"ATTRFONTSCALABLE", nullptr, ATTRFONTSCALABLE}, {"ATTRFONTAA", nullptr, ATTRFONTAA},
    {"ATTRCOUNT", nullptr, ATTRCOUNT},             {"SYSTEMPOINTER", nullptr, SYSTEMPOINTER},
    {"BUSYPOINTER", nullptr, BUSYPOINTER},         {"NOTRANSPARENCY", nullptr, -1},
    {"USELAYERPOSITION", nullptr, 100000},         {nullptr, nullptr, 0},
};

const ConstantEntry kDrawConstants[] = {
    {"BOX", nullptr, ObjectKindBox},         {"CIRCLE", nullptr, ObjectKindCircle}, {"ELLIPSE", nullptr, ObjectKindEllipse},
    {"LINE", nullptr, ObjectKindLine},       {"PLOT", nullptr, ObjectKindPlot},     {"POLYGON", nullptr, ObjectKindPolygon},
    {"ARC", nullptr, ObjectKindArc},         {"FILLNONE", nullptr, kFillNone},      {"FILLCOLOR", nullptr, kFillColor},
    {"FILLGRADIENT", nullptr, kFillGradient}, {"FILLTEXTURE", nullptr, kFillTexture}, {"LINEAR", nullptr, 2},
    {nullptr, nullptr, 0},
};

namespace {

void RegisterGraphicsLibrary(VMState *vm) {
    RegisterConstants(vm, kGraphicsConstants);
    RegisterCommands(vm, kGraphicsCommands);
    RegisterCommandLibrary(kGraphicsCommands, "graphics", &kGraphicsReference);
    AddSetAttributeHook(GraphicsSetAttribute);
    AddGetAttributeHook(GraphicsGetAttribute);
    RegisterObjectKind({ObjectKindClipRegion, "CLIPREGION", CountClipRegions, ClipRegionAttribute});
    RegisterObjectKind({ObjectKindPointer, "POINTER", CountPointers, PointerAttribute});
    RegisterObjectKind({ObjectKindAsyncDraw, "ASYNCDRAW", CountAsyncDrawObjects, nullptr});
}

void FreeGraphicsLibrary(VMState *) {
    FreeAllAsyncDraws();
    FreeAllClipRegions();
    FreeAllPointers();
    FreeGfxCache();
    SetFPSLimit(0);
    gMaskMode = MASKVISIBLE;
    gAlphaIntensity = 128;
}

void RegisterDrawLibrary(VMState *vm) {
    RegisterConstants(vm, kDrawConstants);
    RegisterCommands(vm, kDrawCommands);
    RegisterCommandLibrary(kDrawCommands, "draw", &kDrawReference);
}

void FreeDrawLibrary(VMState *) { ResetDrawState(); }

} // namespace

int32_t GetMaskMode() { return gMaskMode; }
int32_t GetAlphaIntensity() { return gAlphaIntensity; }

int AnswerSizeAttribute(VMState *vm, int32_t attribute, int32_t width, int32_t height) {
    if (attribute != ATTRWIDTH && attribute != ATTRHEIGHT) return kAttributeUnanswered;
    PushNumber(vm, attribute == ATTRWIDTH ? width : height);
    return 1;
}

int (*SnapshotSourceHook)(HostBitmap **bitmap, bool *owned) = nullptr;
const DrawSceneServices *DrawServices = nullptr;

void ReadImageSaveOptions(VMState *vm, int n, int32_t *quality, int32_t *colors, int32_t *dither) {
    *quality = 90;
    *colors = 256;
    *dither = 0;
    const int type = ValueType(vm, n);
    if (type == TNONE || type == TNIL) return;
    if (type == TTABLE) {
        GetTableOption(vm, n, "quality", quality);
        GetTableOption(vm, n, "colors", colors);
        GetTableOption(vm, n, "dither", dither);
    } else {
        *quality = CheckInt32Arg(vm, n);
    }
    *quality = std::clamp(*quality, 0, 100);
    *colors = std::clamp(*colors, 2, 256);
}

const CommandEntry kGraphicsCommands[] = {
    {"GetAttribute", CmdGetAttribute},
    {"SetFPSLimit", CmdSetFPSLimit},
    {"AsyncDrawFrame", CmdAsyncDrawFrame},
    {"SaveSnapshot", CmdSaveSnapshot},
    {"FinishAsyncDraw", CmdFinishAsyncDraw},
    {"WaitFrame", CmdWaitFrame},
    {"DumpObjects", CmdDumpObjects},
    {"CreateClipRegion", CmdCreateClipRegion},
    {"SetClipRegion", CmdSetClipRegion},
    {"FreeClipRegion", CmdFreeClipRegion},
    {"CreatePointer", CmdCreatePointer},
    {"SetPointer", CmdSetPointer},
    {"FreePointer", CmdFreePointer},
    {"HidePointer", CmdHidePointer},
    {"ShowPointer", CmdShowPointer},
    {nullptr, nullptr},
};

const CommandEntry kDrawCommands[] = {
    {"Plot", CmdPlot},
    {"ReadPixel", CmdReadPixel},
    {"Line", CmdLine},
    {"Box", CmdBox},
    {"Circle", CmdCircle},
    {"Ellipse", CmdEllipse},
    {"Arc", CmdArc},
    {"Polygon", CmdPolygon},
    {"Cls", CmdCls},
    {"SetFormStyle", CmdSetFormStyle},
    {"GetFormStyle", CmdGetFormStyle},
    {nullptr, nullptr},
};

const LibraryDescriptor kGraphicsLibrary = {"graphics", RegisterGraphicsLibrary, FreeGraphicsLibrary};
const LibraryDescriptor kDrawLibrary = {"draw", RegisterDrawLibrary, FreeDrawLibrary};
