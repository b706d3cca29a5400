// The brush library's bindings: read the arguments, call the brush operation, push the results.
#include "scene/images/brush_library.h"

#include <algorithm>

#include "host/catalog.h"
#include "host/screen.h"
#include "imaging/graphics_library.h"
#include "imaging/snapshot.h"
#include "runtime/app/attributes.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"
#include "scene/display/display_list.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/brush_edit.h"
#include "scene/images/output.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kBrushReference;

namespace {

int PushAutomatic(VMState *vm, const ObjectId &requested, Brush *made) {
    return PushAutoHandle(vm, requested, made);
}

// Reads a table of integer options at argument n (absent or Nil: none).
int32_t IntOption(VMState *vm, int table, const char *key, int32_t fallback) {
    GetTableOption(vm, table, key, &fallback);
    return fallback;
}

int CmdCreateBrush(VMState *vm) {
    CheckArgs(vm, 3, 5);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const int32_t width = CheckCoordinateArg(vm, 2), height = CheckCoordinateArg(vm, 3);
    const uint32_t colour = OptUnsignedArg(vm, 4, 0);
    int32_t alpha = 0, mask = 0, clear = 0;
    if (GetTop(vm) >= 5 && ValueType(vm, 5) != TNIL) {
        CheckTableArg(vm, 5);
        alpha = IntOption(vm, 5, "alphachannel", 0);
        mask = IntOption(vm, 5, "mask", 0);
        clear = IntOption(vm, 5, "clear", 0);
    }
    if (width < 1 || height < 1) return kErrSizeNotPositive;
    if (mask && alpha) return kErrWrongUsage;
    if (!IsAutoHandleRequest(id))
        if (int error = FreeBrushById(id, 0)) return error;
    Brush *made = nullptr;
    if (int error = CreateBrushRecord(id, width, height, colour, mask != 0, alpha != 0, clear != 0, &made))
        return error;
    return PushAutomatic(vm, id, made);
}

int CmdLoadBrush(VMState *vm) {
    CheckArgs(vm, 2, 5);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const std::string file = CheckFileNameArg(vm, 2, 0);
    const std::string shown = CheckStringArg(vm, 2);
    LoadBrushOptions options;
    const int count = GetTop(vm);
    if (count == 3) {
        if (ValueType(vm, 3) == TTABLE) {
            uint32_t colour = 0;
            if (GetTableOptionUnsigned(vm, 3, "transparency", &colour)) options.transparent = int32_t(colour);
            GetTableOption(vm, 3, "loadalpha", &options.loadAlpha);
            GetTableOption(vm, 3, "globalalpha", &options.globalAlpha);
            GetTableOption(vm, 3, "x", &options.x);
            GetTableOption(vm, 3, "y", &options.y);
            GetTableOption(vm, 3, "width", &options.width);
            GetTableOption(vm, 3, "height", &options.height);
            char name[1024];
            if (GetTableOptionString(vm, 3, "cache", name, sizeof name)) options.cache = name;
            if (GetTableOptionString(vm, 3, "cachedload", name, sizeof name)) options.cachedLoad = name;
            GetTableOption(vm, 3, "cachealpha", &options.cacheAlpha);
        } else {
            options.transparent = int32_t(CheckUnsignedArg(vm, 3));
        }
    } else if (count == 5) {
        // The two loader parameters belong to the picture loader, which takes none on this platform.
        options.transparent = int32_t(CheckUnsignedArg(vm, 3));
        CheckUnsignedArg(vm, 4);
        CheckNumberArg(vm, 5);
    }
    const int preloading = GetAttributeNumber(vm, kAttrPreloadActive, 0) != 0;
    Brush *made = nullptr;
    if (int error = LoadBrushFile(id, file.c_str(), options, preloading, &made, shown.c_str())) return error;
    const int results = PushAutomatic(vm, id, made);
    PrintDoneMessage(GetCatalogMessage(kMsgDone));
    return results;
}

int CmdSaveBrush(VMState *vm) {
    CheckArgs(vm, 2, 5);
    const ObjectId id = IdArg(vm, 1);
    const char *file = CheckStringArg(vm, 2);
    const uint32_t colour = OptUnsignedArg(vm, 3, 0);
    const int32_t format = OptInt32Arg(vm, 4, kSnapshotBMP);
    if (std::string hint = ImageFormatHint(format); !hint.empty()) RaiseErrorWithHint(vm, kErrWrongUsage, hint);
    int32_t quality = 90, colours = 256, dither = 0;
    ReadImageSaveOptions(vm, 5, &quality, &colours, &dither);
    const int error = SaveBrushFile(id, file, colour, format, quality, colours, dither);
    if (error == kErrCannotWriteFile) SetErrorArgString(file);
    return error;
}

int CmdCopyBrush(VMState *vm) {
    CheckArgs(vm, 2, 2);
    ObjectId source{}, target{};
    ReadObjectId(&source, vm, 1);
    OptIntegerArg(&target, vm, 2);
    Brush *made = nullptr;
    if (int error = CopyBrushById(source, target, &made)) return error;
    return PushAutomatic(vm, target, made);
}

int CmdFreeBrush(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return FreeBrushById(IdArg(vm, 1), 1);
}

int CmdDisplayBrush(VMState *vm) {
    CheckArgs(vm, 3, 4);
    const ObjectId id = IdArg(vm, 1);
    const int32_t x = CheckCoordinateArg(vm, 2), y = CheckCoordinateArg(vm, 3);
    return DisplayBrushAt(vm, id, x, y, GetTop(vm) >= 4 ? 4 : 0);
}

int CmdDisplayBrushPart(VMState *vm) {
    CheckArgs(vm, 7, 8);
    const ObjectId id = IdArg(vm, 1);
    const int32_t sx = CheckCoordinateArg(vm, 2), sy = CheckCoordinateArg(vm, 3), x = CheckCoordinateArg(vm, 4),
                  y = CheckCoordinateArg(vm, 5), w = CheckCoordinateArg(vm, 6), h = CheckCoordinateArg(vm, 7);
    return DisplayBrushPartAt(vm, id, sx, sy, x, y, w, h, GetTop(vm) >= 8 ? 8 : 0);
}

int CmdGetBrushLink(VMState *vm) {
    CheckArgs(vm, 3, 4);
    ObjectId target{}, source{};
    OptIntegerArg(&target, vm, 1);
    const int32_t kind = CheckInt32Arg(vm, 2);
    ReadObjectId(&source, vm, 3);
    return MakeBrushLink(vm, kind, source, target, OptInt32Arg(vm, 4, 1));
}

int CmdConvertToBrush(VMState *vm) {
    CheckArgs(vm, 3, 4);
    ObjectId target{}, source{};
    const int32_t kind = CheckInt32Arg(vm, 1);
    ReadObjectId(&source, vm, 2);
    OptIntegerArg(&target, vm, 3);
    return MakeBrushLink(vm, kind, source, target, OptInt32Arg(vm, 4, 1));
}

int CmdSelectBrush(VMState *vm) {
    CheckArgs(vm, 1, 2);
    const ObjectId id = IdArg(vm, 1);
    return SelectOutput(vm, ObjectKindBrush, id, ObjectKindBrush, 0, OptInt32Arg(vm, 2, SELMODE_NORMAL));
}

// SelectMask and SelectAlphaChannel: id, [type = BRUSH], [frame]; an anim needs its frame.
int SelectPlane(VMState *vm, int32_t target) {
    CheckArgs(vm, 1, 3);
    const ObjectId id = IdArg(vm, 1);
    const int32_t type = OptInt32Arg(vm, 2, ObjectKindBrush);
    if (type == ObjectKindAnim && GetTop(vm) == 2) return kErrNotEnoughArguments;
    return SelectOutput(vm, type, id, target, OptInt32Arg(vm, 3, 0), SELMODE_NORMAL);
}
int CmdSelectMask(VMState *vm) { return SelectPlane(vm, ObjectKindMask); }
int CmdSelectAlphaChannel(VMState *vm) { return SelectPlane(vm, ObjectKindAlphaChannel); }

int CmdSetMaskMode(VMState *vm) {
    CheckArgs(vm, 1, 1);
    SetAttributeNumber(vm, kAttrMaskMode, CheckInt32Arg(vm, 1));
    return 0;
}

int CmdSetAlphaIntensity(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const double level = ReadNumberOrPercent(vm, 1, 255, 0);
    if (level < VANILLACOPY || level > 255) return kErrWrongUsage;
    SetAttributeNumber(vm, kAttrAlphaIntensity, double(int32_t(level)));
    return 0;
}

int CmdBeginDoubleBuffer(VMState *vm) {
    CheckArgs(vm, 0, 0);
    return BeginDoubleBuffering(CurrentDisplay);
}

int CmdFlip(VMState *vm) {
    CheckArgs(vm, 0, 0);
    return FlipDoubleBuffer(vm, CurrentDisplay);
}

int CmdEndDoubleBuffer(VMState *vm) {
    CheckArgs(vm, 0, 0);
    return EndDoubleBuffering(vm, CurrentDisplay);
}

// ---- Image commands ------------------------------------------------------------------------------------------

// The commands whose only argument is the brush they change.
int EditBrush(VMState *vm, int (*edit)(ObjectId)) {
    CheckArgs(vm, 1, 1);
    return edit(IdArg(vm, 1));
}

// A level: a number or a percentage of 255, clamped to 0..255.
int32_t LevelArg(VMState *vm, int n) { return std::clamp(SaturateToInt32(ReadNumberOrPercent(vm, n, 255, 0)), 0, 255); }

int CmdScaleBrush(VMState *vm) {
    CheckArgs(vm, 3, 4);
    const ObjectId id = IdArg(vm, 1);
    int widthPercent = 0, heightPercent = 0;
    const double width = ReadNumberOrPercent(vm, 2, 0, 1, &widthPercent);
    const double height = ReadNumberOrPercent(vm, 3, 0, 1, &heightPercent);
    return ScaleBrushImage(id, width, height, widthPercent, heightPercent, OptInt32Arg(vm, 4, 0));
}

// The colour table: old, new pairs from index 0 until an old colour that is Nil or -1.
int CmdReplaceColors(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const ObjectId id = IdArg(vm, 1);
    if (IsActiveOutputBrushId(id)) return kErrActiveBrush;
    CheckTableArg(vm, 2);
    std::vector<int32_t> pairs;
    for (int64_t i = 0;; i += 2) {
        RawGetIndex(vm, 2, i);
        RawGetIndex(vm, 2, i + 1);
        const bool oldGiven = ValueType(vm, -2) != TNIL, newGiven = ValueType(vm, -1) != TNIL;
        const double oldColour = oldGiven ? CheckNumberField(vm, -2, "colortable") : -1;
        if (!oldGiven || oldColour == -1) {
            SetTop(vm, -3);
            break;
        }
        if (!newGiven) return kErrWrongUsage;
        pairs.push_back(int32_t(uint32_t(int64_t(oldColour))));
        pairs.push_back(int32_t(uint32_t(int64_t(CheckNumberField(vm, -1, "colortable")))));
        SetTop(vm, -3);
    }
    return ReplaceBrushColors(id, pairs);
}

int CmdInvertBrush(VMState *vm) { return EditBrush(vm, InvertBrushImage); }

int CmdTintBrush(VMState *vm) {
    CheckArgs(vm, 3, 3);
    const ObjectId id = IdArg(vm, 1);
    const uint32_t colour = CheckUnsignedArg(vm, 2);
    return TintBrushImage(id, colour, LevelArg(vm, 3));
}

int CmdFlipBrush(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const ObjectId id = IdArg(vm, 1);
    return FlipBrushImage(id, CheckInt32Arg(vm, 2));
}

int CmdMixBrush(VMState *vm) {
    CheckArgs(vm, 3, 3);
    const ObjectId id = IdArg(vm, 1), other = IdArg(vm, 2);
    return MixBrushImages(id, other, LevelArg(vm, 3));
}

int CmdBrushToGray(VMState *vm) { return EditBrush(vm, GrayBrushImage); }

int CmdRotateBrush(VMState *vm) {
    CheckArgs(vm, 2, 5);
    const ObjectId id = IdArg(vm, 1);
    const int32_t angle = CheckInt32Arg(vm, 2);
    const double scaleX = OptNumberArg(vm, 3, 1.0), scaleY = OptNumberArg(vm, 4, 1.0);
    return RotateBrushImage(id, angle, scaleX, scaleY, OptInt32Arg(vm, 5, 0));
}

int CmdTransformBrush(VMState *vm) {
    CheckArgs(vm, 5, 6);
    const ObjectId id = IdArg(vm, 1);
    const double matrix[4] = {CheckNumberArg(vm, 2), CheckNumberArg(vm, 3), CheckNumberArg(vm, 4),
                              CheckNumberArg(vm, 5)};
    const int smooth = OptInt32Arg(vm, 6, 0);
    if (matrix[0] == 0 || matrix[3] == 0) return kErrWrongUsage;
    if (IsActiveOutputBrushId(id)) return kErrActiveBrush;
    return TransformBrushImage(id, matrix, smooth);
}

int CmdSetBrushTransparency(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const ObjectId id = IdArg(vm, 1);
    const uint32_t colour = CheckUnsignedArg(vm, 2);
    return SetBrushTransparentColor(id, colour == 0xFFFFFFFFu ? -1 : int64_t(colour));
}

int CmdDeleteAlphaChannel(VMState *vm) { return EditBrush(vm, DeleteBrushAlpha); }

int CmdDeleteMask(VMState *vm) { return EditBrush(vm, DeleteBrushMask); }

int CmdCropBrush(VMState *vm) {
    CheckArgs(vm, 5, 5);
    const ObjectId id = IdArg(vm, 1);
    const int32_t x = CheckCoordinateArg(vm, 2), y = CheckCoordinateArg(vm, 3), w = CheckCoordinateArg(vm, 4),
                  h = CheckCoordinateArg(vm, 5);
    return CropBrushImage(id, x, y, w, h);
}

int CmdTrimBrush(VMState *vm) {
    CheckArgs(vm, 1, 1);
    int32_t left = 0, top = 0;
    if (int error = TrimBrushImage(IdArg(vm, 1), &left, &top)) return error;
    PushNumber(vm, left);
    PushNumber(vm, top);
    return 2;
}

int CmdInvertMask(VMState *vm) { return EditBrush(vm, InvertBrushMask); }

int CmdInvertAlphaChannel(VMState *vm) { return EditBrush(vm, InvertBrushAlpha); }

// Three to five arguments are accepted, but the two colours are required numbers: fewer than five gives
// kErrNumberExpected.
int CmdFloodFill(VMState *vm) {
    CheckArgs(vm, 3, 5);
    const ObjectId id = IdArg(vm, 1);
    const int32_t x = CheckCoordinateArg(vm, 2), y = CheckCoordinateArg(vm, 3);
    const uint32_t fill = CheckUnsignedArg(vm, 4), border = CheckUnsignedArg(vm, 5);
    return FloodFillBrush(id, x, y, fill, border);
}

int CmdGrabDesktop(VMState *vm) {
    CheckArgs(vm, 1, 2);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    int32_t x = 0, y = 0, width = int32_t(QueryBitMapAttr(nullptr, 14)), height = int32_t(QueryBitMapAttr(nullptr, 15));
    const int haveRect = GetTop(vm) >= 2 && ValueType(vm, 2) != TNIL;
    if (haveRect) {
        CheckTableArg(vm, 2);
        GetTableOption(vm, 2, "x", &x);
        GetTableOption(vm, 2, "y", &y);
        GetTableOption(vm, 2, "width", &width);
        GetTableOption(vm, 2, "height", &height);
    }
    void *made = nullptr;
    if (int error = GrabDesktopBrush(id, x, y, width, height, haveRect, &made)) return error;
    return PushAutoHandle(vm, id, made);
}

int BrushAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    Brush *brush = nullptr;
    if (int error = FindBrush(id, &brush, 0)) return error;
    double value = 0;
    switch (attribute) {
    case ATTRWIDTH: value = brush->width; break;
    case ATTRHEIGHT: value = brush->height; break;
    case ATTRTRANSPARENTCOLOR: value = brush->transparentColor; break;
    case ATTRTYPE: value = brush->type; break;
    case ATTRHASMASK: value = brush->mask ? 1 : 0; break;
    case ATTRHASALPHA: value = brush->alpha ? 1 : 0; break;
    default: return kAttributeUnanswered;
    }
    PushNumber(vm, value);
    return 1;
}

int BrushImage(ObjectId id, int flags, ImageTriple *image) {
    Brush *brush = nullptr;
    if (int error = FindBrush(id, &brush, flags)) return error;
    *image = ImageTriple{brush->bitmap, brush->mask, brush->alpha, brush->width, brush->height};
    return 0;
}

} // namespace

const CommandEntry kBrushCommands[] = {
    {"CreateBrush", CmdCreateBrush},
    {"DisplayBrush", CmdDisplayBrush},
    {"DisplayBrushPart", CmdDisplayBrushPart},
    {"ScaleBrush", CmdScaleBrush},
    {"FreeBrush", CmdFreeBrush},
    {"TintBrush", CmdTintBrush},
    {"ReplaceColors", CmdReplaceColors},
    {"InvertBrush", CmdInvertBrush},
    {"FlipBrush", CmdFlipBrush},
    {"MixBrush", CmdMixBrush},
    {"BrushToGray", CmdBrushToGray},
    {"RotateBrush", CmdRotateBrush},
    {"GetBrushLink", CmdGetBrushLink},
    {"SelectBrush", CmdSelectBrush},
    {"CopyBrush", CmdCopyBrush},
    {"SetBrushTransparency", CmdSetBrushTransparency},
    {"LoadBrush", CmdLoadBrush},
    {"SelectMask", CmdSelectMask},
    {"SetMaskMode", CmdSetMaskMode},
    {"SaveBrush", CmdSaveBrush},
    {"SelectAlphaChannel", CmdSelectAlphaChannel},
    {"SetAlphaIntensity", CmdSetAlphaIntensity},
    {"DeleteAlphaChannel", CmdDeleteAlphaChannel},
    {"CropBrush", CmdCropBrush},
    {"InvertMask", CmdInvertMask},
    {"InvertAlphaChannel", CmdInvertAlphaChannel},
    {"FloodFill", CmdFloodFill},
    {"DeleteMask", CmdDeleteMask},
    {"BeginDoubleBuffer", CmdBeginDoubleBuffer},
    {"EndDoubleBuffer", CmdEndDoubleBuffer},
    {"Flip", CmdFlip},
    {"ConvertToBrush", CmdConvertToBrush},
    {"GrabDesktop", CmdGrabDesktop},
    {"TransformBrush", CmdTransformBrush},
    {"TrimBrush", CmdTrimBrush},
    {nullptr, nullptr},
};

const ConstantEntry kBrushConstants[] = {
    {"MASKVISIBLE", nullptr, 0},    {"MASKINVISIBLE", nullptr, 1}, {"MASKVANILLACOPY", nullptr, 2},
    {"MASKXOR", nullptr, 3},        {"MASKAND", nullptr, 4},       {"MASKOR", nullptr, 5},
    {"VANILLACOPY", nullptr, -1},   {"SELMODE_NORMAL", nullptr, 0}, {"SELMODE_COMBO", nullptr, 1},
    {"SELMODE_LAYERS", nullptr, 2}, {nullptr, nullptr, 0},
};

void RegisterBrushLibrary(VMState *vm) {
    FindBrushImageHook = BrushImage;
    RegisterObjectKind({ObjectKindBrush, "BRUSH", CountBrushes, BrushAttribute});
    RegisterCommands(vm, kBrushCommands);
    RegisterCommandLibrary(kBrushCommands, "brush", &kBrushReference);
    RegisterConstants(vm, kBrushConstants);
}

void FreeBrushLibrary(VMState *) { FreeAllBrushes(); }

const LibraryDescriptor kBrushLibrary{"brush", RegisterBrushLibrary, FreeBrushLibrary};
