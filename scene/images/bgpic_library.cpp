// The "bgpic" library's bindings: read the arguments, call the picture operations, push the results.
#include "scene/images/bgpic_library.h"

#include <cstring>

#include "host/catalog.h"
#include "host/memory.h"
#include "host/picture.h"
#include "imaging/graphics_library.h"
#include "imaging/image_ops.h"
#include "imaging/position.h"
#include "runtime/app/attributes.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"
#include "scene/display/display_list.h"
#include "scene/display/display_open.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/output.h"
#include "scene/images/plane_copy.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kBGPicReference;

namespace {

constexpr int32_t kPaletteEntries = 256;

int PushAutomatic(VMState *vm, const ObjectId &requested, BGPic *made) {
    if (!IsAutoHandleRequest(requested) || !made) return 0;
    PushHandle(vm, made);
    return 1;
}

int FreeOldPicture(const ObjectId &id) { return IsAutoHandleRequest(id) ? 0 : FreeBGPicById(id, 0); }

// Makes a picture from planes (taken over on success).
int AddPicture(VMState *vm, ObjectId id, int32_t type, int32_t width, int32_t height, HostBitmap *bitmap,
               MaskPlane *mask, AlphaPlane *alpha, int32_t transparent, void *vectorData, BGPicFillSpec *fill,
               uint32_t *palette = nullptr, uint32_t *kept = nullptr) {
    BGPic *made = nullptr;
    if (int error = CreateBGPicRecord(id, type, width, height, width, kept, bitmap, palette, transparent, mask, alpha,
                                      vectorData, fill, &made)) {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
        return error;
    }
    return PushAutomatic(vm, id, made);
}

// A picture drawn from its fill settings alone at width x height.
int CreateFilledPicture(VMState *vm, ObjectId id, int32_t width, int32_t height, BGPicFillSpec *fill, int32_t type) {
    if (int error = FreeOldPicture(id)) return error;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    if (int error = BuildBGPicImage(nullptr, fill, -1, width, height, width, &bitmap, &mask, nullptr)) return error;
    const int result = AddPicture(vm, id, type, width, height, bitmap, mask, nullptr, -1, nullptr, fill);
    return result;
}

// The size arguments of the gradient and textured pictures: absent or Nil means the current picture's size.
int32_t SizeArg(VMState *vm, int n, int32_t fallback) {
    if (GetTop(vm) < n || ValueType(vm, n) == TNIL) return fallback;
    return CheckInt32Arg(vm, n);
}

int CmdDisplayBGPic(VMState *vm) {
    CheckArgs(vm, 1, 2);
    const ObjectId id = IdArg(vm, 1);
    int32_t x = kNoPosition, y = kNoPosition;
    if (GetTop(vm) >= 2) ReadXYOptions(vm, 2, &x, &y);
    if (x == kNoPosition) x = KEEPPOSITION;
    if (y == kNoPosition) y = KEEPPOSITION;
    return SwitchDisplayBGPic(vm, id, x, y, 0, nullptr, nullptr);
}

int CmdDisplayBGPicPart(VMState *vm) {
    CheckArgs(vm, 5, 8);
    const ObjectId id = IdArg(vm, 1);
    const int32_t x = CheckCoordinateArg(vm, 2), y = CheckCoordinateArg(vm, 3), w = CheckCoordinateArg(vm, 4),
                  h = CheckCoordinateArg(vm, 5);
    const int32_t dx = OptInt32Arg(vm, 6, x), dy = OptInt32Arg(vm, 7, y);
    BGPic *bgpic = nullptr;
    if (int error = FindBGPic(id, &bgpic, 0)) return error;
    DisplayTransform transform;
    LayerOptions options;
    if (GetTop(vm) >= 8 && ValueType(vm, 8) == TTABLE)
        if (int error = ParseDisplayOptions(vm, 8, w, h, 8, &transform, &options)) return error;
    const DisplayRecord *d = CurrentDisplay;
    if (d && d->layersEnabled && (d->outputKind == ObjectKindDisplay || d->outputKind == ObjectKindBGPic)) {
        if (!DisplayImageLayerHook) return LibraryNotRegistered("layers");
        return DisplayImageLayerHook(vm, ObjectKindBGPicPart, id, x, y, dx, dy, w, h, transform, options);
    }
    return DrawImageToOutput(bgpic->scaled, x, y, w, h, dx, dy, transform);
}

int CmdScaleBGPic(VMState *vm) {
    CheckArgs(vm, 3, 4);
    const ObjectId id = IdArg(vm, 1);
    BGPic *bgpic = nullptr;
    if (int error = FindBGPic(id, &bgpic, kFindModify)) return error;
    int32_t width = SaturateToInt32(ReadNumberOrPercent(vm, 2, bgpic->scaled.width, 1));
    int32_t height = SaturateToInt32(ReadNumberOrPercent(vm, 3, bgpic->scaled.height, 1));
    const int32_t smooth = OptInt32Arg(vm, 4, 0);
    if (IsBGPicShownByDisplay(bgpic)) return kErrResizeDisplayBGPic;
    if (CurrentBGPic == bgpic || (CurrentDisplay && CurrentDisplay->selectOutput &&
                                  CurrentBGPic == CurrentDisplay->selectOutput &&
                                  CurrentBGPic->outputSourceObject == bgpic))
        return kErrActiveOutputBGPic;
    if (int error = ApplyKeepAspectRatio(bgpic->scaled.width, bgpic->scaled.height, &width, &height)) return error;
    return ScaleBGPicImage(bgpic, width, height, smooth != 0);
}

int CreateGradientPicture(VMState *vm, bool rainbow) {
    CheckArgs(vm, 4, 7);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const int32_t type = CheckInt32Arg(vm, 2);
    const uint32_t start = CheckUnsignedArg(vm, 3), end = CheckUnsignedArg(vm, 4);
    const int32_t width = SizeArg(vm, 5, CurrentBGPic ? CurrentBGPic->scaled.width : 0);
    const int32_t height = SizeArg(vm, 6, CurrentBGPic ? CurrentBGPic->scaled.height : 0);
    const int32_t angle = OptInt32Arg(vm, 7, 0);
    if (width < 1 || height < 1) return kErrSizeNotPositive;
    BGPicFillSpec fill;
    fill.kind = kFillGradient;
    fill.color = start;
    fill.endColor = end;
    fill.angle = type == 0 ? 0 : type == 1 ? 90 : angle;
    fill.rainbow = rainbow;
    return CreateFilledPicture(vm, id, width, height, &fill, kBGPicVector);
}

int CmdCreateGradientBGPic(VMState *vm) { return CreateGradientPicture(vm, false); }
int CmdCreateRainbowBGPic(VMState *vm) { return CreateGradientPicture(vm, true); }

int CmdCreateTexturedBGPic(VMState *vm) {
    CheckArgs(vm, 2, 6);
    ObjectId id{}, brushId{};
    OptIntegerArg(&id, vm, 1);
    ReadObjectId(&brushId, vm, 2);
    const int32_t width = SizeArg(vm, 3, CurrentBGPic ? CurrentBGPic->scaled.width : 0);
    const int32_t height = SizeArg(vm, 4, CurrentBGPic ? CurrentBGPic->scaled.height : 0);
    const int32_t offsetX = OptCoordinateArg(vm, 5, 0), offsetY = OptCoordinateArg(vm, 6, 0);
    if (width < 1 || height < 1) return kErrSizeNotPositive;
    Brush *brush = nullptr;
    if (int error = FindBrush(brushId, &brush, 0)) return error;
    if (!brush->bitmap) return kErrWrongUsage;
    BGPicFillSpec fill;
    fill.kind = kFillTexture;
    fill.texture = CopyBitmap(brush->bitmap);
    if (!fill.texture) return kErrOutOfMemory;
    fill.textureX = offsetX;
    fill.textureY = offsetY;
    fill.textureWidth = brush->width;
    fill.textureHeight = brush->height;
    const int result = CreateFilledPicture(vm, id, width, height, &fill, kBGPicVector);
    if (result < 0 || result > 1) FreeHostBitmap(fill.texture); // not taken over
    return result;
}

int CmdBrushToBGPic(VMState *vm) {
    CheckArgs(vm, 1, 2);
    ObjectId brushId{}, id{};
    ReadObjectId(&brushId, vm, 1);
    OptIntegerArg(&id, vm, 2);
    Brush *brush = nullptr;
    if (int error = FindBrush(brushId, &brush, 0)) return error;
    // Vector brushes come only from untransformed vector pictures, and the brush commands refuse them, so none
    // is ever transformed (kErrTransformedVectorBrush) here.
    if (!brush->bitmap) return kErrWrongUsage;
    if (int error = FreeOldPicture(id)) return error;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    if (int error = CopyImage(brush->bitmap, brush->mask, brush->alpha, 0, 0, brush->width, brush->height, &bitmap,
                              &mask, &alpha))
        return error;
    return AddPicture(vm, id, brush->type == kBrushVector ? kBGPicVector : kBGPicPicture, brush->width, brush->height,
                      bitmap, mask, alpha, brush->transparentColor, brush->vectorData, nullptr);
}

int CmdBGPicToBrush(VMState *vm) {
    CheckArgs(vm, 1, 2);
    ObjectId id{}, brushId{};
    ReadObjectId(&id, vm, 1);
    OptIntegerArg(&brushId, vm, 2);
    BGPic *bgpic = nullptr;
    if (int error = FindBGPic(id, &bgpic, 0)) return error;
    if (bgpic->type == kBGPicVector &&
        (bgpic->scaled.width != bgpic->base.width || bgpic->scaled.height != bgpic->base.height))
        return kErrTransformedVectorBGPic;
    if (!IsAutoHandleRequest(brushId))
        if (int error = FreeBrushById(brushId, 0)) return error;
    const ImageTriple &s = bgpic->scaled;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    if (int error = CopyImage(s.bitmap, s.mask, s.alpha, 0, 0, s.width, s.height, &bitmap, &mask, &alpha)) return error;
    const bool vector = bgpic->type == kBGPicVector && bgpic->vectorData;
    Brush *made = nullptr;
    if (int error = AddBrushRecord(brushId, vector ? kBrushVector : kBrushBitmap, s.width, s.height, s.width, nullptr,
                                   bitmap, bgpic->transparentColor, mask, alpha, bgpic->vectorData, &made)) {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
        return error;
    }
    return PushAutoHandle(vm, brushId, made);
}

int CmdCreateBGPic(VMState *vm) {
    CheckArgs(vm, 3, 4);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const int32_t width = CheckCoordinateArg(vm, 2), height = CheckCoordinateArg(vm, 3);
    BGPicFillSpec fill;
    fill.kind = kFillColor;
    fill.color = OptUnsignedArg(vm, 4, 0);
    if (width < 1 || height < 1) return kErrWrongUsage;
    if (int error = FreeOldPicture(id)) return error;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    if (int error = BuildBGPicImage(nullptr, &fill, -1, width, height, width, &bitmap, &mask, nullptr)) return error;
    return AddPicture(vm, id, kBGPicPicture, width, height, bitmap, mask, nullptr, -1, nullptr, nullptr);
}

int CmdFreeBGPic(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return FreeBGPicById(IdArg(vm, 1), 1);
}

// The palette table: at most 256 numbers from index 0 on; the rest of the block stays 0.
void ReadPaletteTable(VMState *vm, int n, uint32_t *palette) {
    CheckTableArg(vm, n);
    for (int32_t i = 0; i < kPaletteEntries; i++) {
        RawGetIndex(vm, n, i);
        const bool present = ValueType(vm, -1) != TNIL;
        if (present) palette[i] = uint32_t(int64_t(CheckNumberField(vm, -1, "palette")));
        SetTop(vm, -2);
        if (!present) break;
    }
}

int CmdLoadBGPic(VMState *vm) {
    CheckArgs(vm, 2, 4);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const std::string file = CheckFileNameArg(vm, 2, 0);
    const std::string shown = CheckStringArg(vm, 2);
    int64_t transparent = -1;
    int32_t loadAlpha = 0;
    if (GetTop(vm) >= 3 && ValueType(vm, 3) == TTABLE) {
        uint32_t colour = 0;
        if (GetTableOptionUnsigned(vm, 3, "transparency", &colour)) transparent = colour;
        GetTableOption(vm, 3, "loadalpha", &loadAlpha);
    } else if (GetTop(vm) >= 3 && ValueType(vm, 3) != TNIL) {
        const double colour = CheckNumberArg(vm, 3);
        transparent = colour < 0 ? -1 : int64_t(NumberToUnsigned(colour));
    }
    // Read before anything is allocated: a bad entry raises.
    uint32_t entries[kPaletteEntries] = {};
    if (GetTop(vm) >= 4) ReadPaletteTable(vm, 4, entries);
    uint32_t *palette = static_cast<uint32_t *>(AllocBlock(kPaletteEntries * sizeof(uint32_t), 0));
    if (!palette) return kErrOutOfMemory;
    std::memcpy(palette, entries, sizeof entries);
    if (int error = FreeOldPicture(id)) {
        FreeBlock(palette);
        return error;
    }
    PrintConsoleMessage(GetCatalogMessage(kMsgLoadingBGPic), shown.c_str(), 1);
    if (loadAlpha && transparent != -1) {
        FreeBlock(palette);
        return kErrMaskAndAlphaChannel;
    }
    // The palette stays with the picture; the loader decodes in true colour and does not use it.
    LoadedPicture picture;
    if (int error = LoadPictureDatatype(file.c_str(), loadAlpha, &picture.pixels, &picture.alpha, &picture.transparent,
                                        &picture.width, &picture.height)) {
        FreeBlock(palette);
        return error;
    }
    if (picture.transparent != -1) transparent = picture.transparent & 0xFFFFFF;
    const int preloading = GetAttributeNumber(vm, kAttrPreloadActive, 0) != 0;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = picture.alpha;
    uint32_t *kept = nullptr;
    if (preloading) {
        kept = picture.pixels;
    } else if (int error = BuildBGPicImage(picture.pixels, nullptr, int32_t(transparent), picture.width,
                                           picture.height, picture.width, &bitmap, &mask, &alpha)) {
        FreeBlock(palette);
        return error;
    }
    picture.alpha = nullptr;
    if (preloading) picture.pixels = nullptr;
    const int result = AddPicture(vm, id, kBGPicPicture, picture.width, picture.height, bitmap, mask, alpha,
                                  int32_t(transparent), nullptr, nullptr, palette, kept);
    if (result < 0 || result > 1) {
        FreeBlock(palette);
        FreeBlock(kept);
        return result;
    }
    PrintDoneMessage(GetCatalogMessage(kMsgDone));
    return result;
}

int SelectPictureWithLayers(VMState *vm, ObjectId id) {
    DisplayRecord *d = CurrentDisplay;
    if (!d) return kErrWrongUsage;
    BGPic *bgpic = d->picture;
    if (id.number != 0 || id.handle)
        if (int error = FindBGPic(id, &bgpic, 0)) return error;
    if (d->outputKind == ObjectKindBGPic && CurrentBGPic == bgpic) return 0;
    if (d->outputKind != ObjectKindDisplay && !d->doubleBuffering)
        if (int error = EndSelectOutput(vm, d, 0)) return error;
    if (!d->layersEnabled) return kErrLayersRequired;
    if (bgpic != d->picture && IsBGPicShownByDisplay(bgpic)) return kErrSelectBGPicDisplay;
    if (!d->dirtyRects) {
        d->dirtyRects = static_cast<DirtyRect *>(AllocBlock(1024 * sizeof(DirtyRect), 1));
        if (!d->dirtyRects) return kErrOutOfMemory;
        d->dirtyCapacity = 1024;
    }
    d->dirtyCount = 0;
    d->outputBitmap = nullptr;
    d->outputMask = nullptr;
    d->outputAlpha = nullptr;
    SaveDisplayDrawState(d, ObjectKindBGPic, bgpic->scaled.width);
    CurrentBGPic = bgpic;
    d->outputKind = ObjectKindBGPic;
    return 0;
}

int CmdSelectBGPic(VMState *vm) {
    CheckArgs(vm, 1, 2);
    ObjectId id{};
    if (ValueType(vm, 1) != TNIL) ReadObjectId(&id, vm, 1);
    const int32_t mode = OptInt32Arg(vm, 2, SELMODE_LAYERS);
    if (mode == SELMODE_LAYERS) return SelectPictureWithLayers(vm, id);
    if (mode != SELMODE_NORMAL && mode != SELMODE_COMBO) return kErrWrongUsage;
    if (!id.number && !id.handle && CurrentDisplay) id = CurrentDisplay->picture->id;
    return SelectOutput(vm, ObjectKindBGPic, id, ObjectKindBrush, 0, mode);
}

int CmdEndSelect(VMState *vm) {
    CheckArgs(vm, 0, 0);
    DisplayRecord *d = CurrentDisplay;
    if (!d || d->doubleBuffering) return kErrWrongUsage;
    return EndSelectOutput(vm, d, 0);
}

int CmdCopyBGPic(VMState *vm) {
    CheckArgs(vm, 2, 2);
    ObjectId source{}, target{};
    ReadObjectId(&source, vm, 1);
    OptIntegerArg(&target, vm, 2);
    BGPic *bgpic = nullptr;
    if (int error = FindBGPic(source, &bgpic, 0)) return error;
    if (!target.handle && !source.handle && target.number == source.number) return kErrWrongUsage;
    if (int error = FreeOldPicture(target)) return error;
    ObjectId made = IsAutoHandleRequest(target) ? ObjectId{0, kAutoHandleRequest} : target;
    BGPic *copy = nullptr;
    if (int error = CopyBGPicRecord(bgpic, &made, &copy)) return error;
    return PushAutomatic(vm, target, copy);
}

} // namespace

const CommandEntry kBGPicCommands[] = {
    {"DisplayBGPic", CmdDisplayBGPic},
    {"DisplayBGPicPart", CmdDisplayBGPicPart},
    {"ScaleBGPic", CmdScaleBGPic},
    {"CreateGradientBGPic", CmdCreateGradientBGPic},
    {"CreateRainbowBGPic", CmdCreateRainbowBGPic},
    {"CreateTexturedBGPic", CmdCreateTexturedBGPic},
    {"BrushToBGPic", CmdBrushToBGPic},
    {"BGPicToBrush", CmdBGPicToBrush},
    {"CreateBGPic", CmdCreateBGPic},
    {"FreeBGPic", CmdFreeBGPic},
    {"LoadBGPic", CmdLoadBGPic},
    {"SelectBGPic", CmdSelectBGPic},
    {"EndSelect", CmdEndSelect},
    {"CopyBGPic", CmdCopyBGPic},
    {nullptr, nullptr},
};

// The size the script sees is the scaled one.
int BGPicAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    BGPic *bgpic = nullptr;
    if (int error = FindBGPic(id, &bgpic, 0)) return error;
    if (attribute == ATTRTRANSPARENTCOLOR) {
        PushNumber(vm, bgpic->transparentColor);
        return 1;
    }
    return AnswerSizeAttribute(vm, attribute, bgpic->scaled.width, bgpic->scaled.height);
}

void RegisterBGPicLibrary(VMState *vm) {
    RegisterObjectKind({ObjectKindBGPic, "BGPIC", CountBGPics, BGPicAttribute});
    RegisterCommands(vm, kBGPicCommands);
    RegisterCommandLibrary(kBGPicCommands, "bgpic", &kBGPicReference);
}

void FreeBGPicLibrary(VMState *) { FreeAllBGPics(); }

const LibraryDescriptor kBGPicLibrary{"bgpic", RegisterBGPicLibrary, FreeBGPicLibrary};
