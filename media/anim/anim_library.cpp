// The anim library's bindings: read the arguments, call the anim operation, push the results.
#include "media/anim_library.h"

#include "host/bitmap_convert.h"
#include "host/catalog.h"
#include "host/memory.h"
#include "imaging/graphics_library.h"
#include "media/anim/anim.h"
#include "media/anim/anim_file.h"
#include "media/codecs/snapshot_encoders.h"
#include "runtime/app/attributes.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"
#include "scene/display/display_startup.h"
#include "scene/images/brush.h"
#include "scene/images/output.h"
#include "scene/images/sprite_library.h"
#include "scene/layers/move_object.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kAnimReference;

namespace {

int PushAutomatic(VMState *vm, const ObjectId &requested, void *made) {
    return PushAutoHandle(vm, requested, made);
}

// Argument 3 of LoadAnim and LoadSprite: an options table ("fromdisk" only for anims) or the transparent colour.
LoadAnimOptions ReadLoadOptions(VMState *vm, bool withFromDisk) {
    LoadAnimOptions o;
    if (GetTop(vm) >= 3 && ValueType(vm, 3) == TTABLE) {
        uint32_t colour = 0;
        if (GetTableOptionUnsigned(vm, 3, "transparency", &colour)) o.transparent = colour;
        GetTableOption(vm, 3, "loadalpha", &o.loadAlpha);
        GetTableOption(vm, 3, "x", &o.x);
        GetTableOption(vm, 3, "y", &o.y);
        GetTableOption(vm, 3, "width", &o.width);
        GetTableOption(vm, 3, "height", &o.height);
        GetTableOption(vm, 3, "fpr", &o.perRow);
        GetTableOption(vm, 3, "frames", &o.frames);
        if (withFromDisk) GetTableOption(vm, 3, "fromdisk", &o.fromDisk);
        GetTableOptionFileName(vm, 3, "cache", &o.cache, 0);
        GetTableOptionFileName(vm, 3, "cachedload", &o.cachedLoad, 0);
        GetTableOption(vm, 3, "cachealpha", &o.cacheAlpha);
    } else if (GetTop(vm) >= 3) {
        o.transparent = CheckUnsignedArg(vm, 3);
    }
    return o;
}

// LoadAnim and LoadSprite(id, file [, options table or transparent colour]).
int LoadFramesCommand(VMState *vm, bool sprite) {
    CheckArgs(vm, 2, 3);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const std::string file = CheckFileNameArg(vm, 2, 0);
    const std::string shown = CheckStringArg(vm, 2);
    const LoadAnimOptions o = ReadLoadOptions(vm, !sprite);
    const int preloading = GetAttributeNumber(vm, kAttrPreloadActive, 0) != 0;
    AnimObject *anim = nullptr;
    Sprite *made = nullptr;
    if (int error = sprite ? LoadSpriteFile(id, file.c_str(), o, preloading, &made, shown.c_str())
                           : LoadAnimFile(id, file.c_str(), o, preloading, &anim, shown.c_str()))
        return error;
    const int results = PushAutomatic(vm, id, sprite ? static_cast<void *>(made) : anim);
    PrintDoneMessage(GetCatalogMessage(kMsgDone));
    return results;
}

int CmdLoadAnim(VMState *vm) { return LoadFramesCommand(vm, false); }
int CmdLoadSprite(VMState *vm) { return LoadFramesCommand(vm, true); }

// CreateSprite(id, #ANIM or #TEXTOBJECT, source): the sprite library has freed a sprite of the id already.
int BuildSpriteFrames(VMState *vm, int32_t sourceKind) {
    ObjectId id{}, source{};
    OptIntegerArg(&id, vm, 1);
    ReadObjectId(&source, vm, 3);
    if (sourceKind != ObjectKindAnim && sourceKind != ObjectKindTextObject) return kErrWrongUsage;
    // The whole source is the sprite: grid numbers belong to brushes.
    if (GetTop(vm) > 3) return kErrTooManyArguments;
    Sprite *made = nullptr;
    if (int error = sourceKind == ObjectKindAnim ? CreateSpriteFromAnim(id, source, &made)
                                                 : CreateSpriteFromTextObject(id, source, &made))
        return error;
    return PushAutomatic(vm, id, made);
}

int CmdFreeAnim(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return FreeAnimById(IdArg(vm, 1), 1);
}

int CmdIsAnim(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const std::string file = CheckFileNameArg(vm, 1, 0);
    PushNumber(vm, IsAnimFile(file.c_str()));
    return 1;
}

// PlayAnim(id, x, y [, options]) or PlayAnim(id, x, y [, speed [, times]]).
int CmdPlayAnim(VMState *vm) {
    CheckArgs(vm, 3, 5);
    PlayAnimRequest request;
    ReadObjectId(&request.id, vm, 1);
    request.x = CheckCoordinateArg(vm, 2);
    request.y = CheckCoordinateArg(vm, 3);
    if (GetTop(vm) >= 4 && ValueType(vm, 4) == TTABLE) {
        GetTableOption(vm, 4, "speed", &request.speed);
        GetTableOption(vm, 4, "times", &request.times);
        GetTableOption(vm, 4, "async", &request.async);
        request.speed = ClampCoordinate(request.speed), request.times = ClampCoordinate(request.times);
        request.optionsIndex = 4;
    } else {
        request.speed = OptCountArg(vm, 4, 0);
        request.times = OptCountArg(vm, 5, 1);
    }
    return PlayAnimCore(vm, request);
}

// PlayAnimDisk(file, x, y, ignored, speed, transparent colour, times).
int CmdPlayAnimDisk(VMState *vm) {
    CheckArgs(vm, 1, 7);
    const std::string file = CheckFileNameArg(vm, 1, 0);
    const std::string shown = CheckStringArg(vm, 1);
    PlayAnimRequest request;
    request.x = OptCoordinateArg(vm, 2, 0);
    request.y = OptCoordinateArg(vm, 3, 0);
    request.speed = OptCountArg(vm, 5, 0);
    LoadAnimOptions o;
    o.transparent = GetTop(vm) >= 6 ? int64_t(CheckUnsignedArg(vm, 6)) : -1;
    request.times = OptCountArg(vm, 7, 1);
    o.fromDisk = 1;
    const int preloading = GetAttributeNumber(vm, kAttrPreloadActive, 0) != 0;
    AnimObject *anim = nullptr;
    if (int error = LoadAnimFile(ObjectId{0, kAutoHandleRequest}, file.c_str(), o, preloading, &anim, shown.c_str()))
        return error;
    PrintDoneMessage(GetCatalogMessage(kMsgDone));
    request.id = anim->id;
    const int error = PlayAnimCore(vm, request);
    FreeAnimById(anim->id, 0);
    return error;
}

// A brush around a frame's planes (taken over on success).
int AddFrameBrush(VMState *vm, const ObjectId &id, ImageTriple &image, int32_t transparent) {
    Brush *made = nullptr;
    if (int error = AddBrushRecord(id, kBrushBitmap, image.width, image.height, image.width, nullptr, image.bitmap,
                                   transparent, image.mask, image.alpha, nullptr, &made)) {
        FreeHostBitmap(image.bitmap);
        FreeMaskPlane(image.mask);
        FreeAlphaPlane(image.alpha);
        return error;
    }
    return PushAutomatic(vm, id, made);
}

// GetAnimFrame(brush id or Nil, frame, anim id): an independent copy of the frame as a brush.
int CmdGetAnimFrame(VMState *vm) {
    CheckArgs(vm, 3, 3);
    ObjectId brushId{}, animId{};
    OptIntegerArg(&brushId, vm, 1);
    const int32_t frame = CheckCountArg(vm, 2);
    ReadObjectId(&animId, vm, 3);
    AnimObject *anim = nullptr;
    if (int error = FindAnim(animId, &anim, kFindAnimPending)) return error;
    if (frame < 1 || frame > anim->frameCount) return AnimFrameOutOfRange(frame, anim->frameCount);
    if (!IsAutoHandleRequest(brushId))
        if (int error = FreeBrushById(brushId, 0)) return error;
    ImageTriple image;
    bool owned = false;
    if (int error = GetAnimFrameImage(anim, frame - 1, true, false, &image, &owned)) return error;
    return AddFrameBrush(vm, brushId, image, anim->transparent);
}

// LoadAnimFrame(brush id or Nil, frame, file [, transparent colour]): one frame of a file, -1 the last.
int CmdLoadAnimFrame(VMState *vm) {
    CheckArgs(vm, 3, 4);
    ObjectId brushId{};
    OptIntegerArg(&brushId, vm, 1);
    int32_t frame = CheckCountArg(vm, 2);
    const std::string file = CheckFileNameArg(vm, 3, 0);
    const int64_t transparent = GetTop(vm) >= 4 ? int64_t(CheckUnsignedArg(vm, 4) & 0xFFFFFF) : -1;
    if (!IsAutoHandleRequest(brushId))
        if (int error = FreeBrushById(brushId, 0)) return error;
    AnimFile *animFile = nullptr;
    int32_t width = 0, height = 0, count = 0;
    if (int error = OpenAnimFile(file.c_str(), &animFile, &width, &height, &count)) return error;
    if (frame == -1) frame = count;
    uint32_t *pixels = frame >= 1 && frame <= count ? ReadAnimFileFrame(animFile, frame - 1) : nullptr;
    CloseAnimFile(animFile);
    if (frame < 1 || frame > count) return AnimFrameOutOfRange(frame, count);
    if (!pixels) return kErrAnimFrameLoad;
    ImageTriple image{nullptr, nullptr, nullptr, width, height};
    const int error = PixelArrayToBitmap(pixels, transparent, width, height, width, &image.bitmap, &image.mask);
    FreeBlock(pixels);
    if (error) return error;
    return AddFrameBrush(vm, brushId, image, int32_t(transparent));
}

// SetAnimFrameDelay(id, frame, delay in milliseconds).
int CmdSetAnimFrameDelay(VMState *vm) {
    CheckArgs(vm, 3, 3);
    const ObjectId id = IdArg(vm, 1);
    const int32_t frame = CheckCountArg(vm, 2), delay = CheckInt32Arg(vm, 3);
    if (delay < 0) return kErrWrongUsage;
    AnimObject *anim = nullptr;
    if (int error = FindAnim(id, &anim, kFindAnimPending)) return error;
    if (frame < 1 || frame > anim->frameCount) return AnimFrameOutOfRange(frame, anim->frameCount);
    anim->delays[size_t(frame - 1)] = delay;
    return 0;
}

// DisplayAnimFrame(id, x, y, frame [, options]).
int CmdDisplayAnimFrame(VMState *vm) {
    CheckArgs(vm, 4, 5);
    const ObjectId id = IdArg(vm, 1);
    const int32_t x = CheckCoordinateArg(vm, 2), y = CheckCoordinateArg(vm, 3), frame = CheckCountArg(vm, 4);
    return DrawAnimFrame(vm, id, x, y, frame - 1, GetTop(vm) >= 5 ? 5 : 0);
}

// GetBrushLink(#ANIM): a copy of the frame (from 1), which the brush code copies again and frees.
int AnimBrushLinkSource(VMState *, ObjectId source, int32_t frame, ImageTriple *image, int32_t *sourceX,
                        int32_t *sourceY, int32_t *transparent, bool *temporary) {
    AnimObject *anim = nullptr;
    if (int error = FindAnim(source, &anim, kFindAnimPending)) return error;
    if (frame < 1 || frame > anim->frameCount) return AnimFrameOutOfRange(frame, anim->frameCount);
    bool owned = false;
    if (int error = GetAnimFrameImage(anim, frame - 1, false, false, image, &owned)) return error;
    *sourceX = *sourceY = 0;
    *transparent = anim->transparent;
    *temporary = owned;
    return 0;
}

int CmdSelectAnim(VMState *vm) {
    CheckArgs(vm, 2, 3);
    const ObjectId id = IdArg(vm, 1);
    const int32_t frame = CheckCountArg(vm, 2);
    return SelectOutput(vm, ObjectKindAnim, id, ObjectKindBrush, frame, OptInt32Arg(vm, 3, SELMODE_NORMAL));
}

} // namespace

// anim_editing.cpp
int CmdCopyAnim(VMState *vm);
int CmdModifyAnimFrames(VMState *vm);
int CmdScaleAnim(VMState *vm);
int CmdCreateAnim(VMState *vm);
// anim_saving.cpp
int CmdSaveAnim(VMState *vm);
int CmdBeginAnimStream(VMState *vm);
int CmdWriteAnimFrame(VMState *vm);
int CmdFinishAnimStream(VMState *vm);
void FinishAllAnimStreams();

const CommandEntry kAnimCommands[] = {
    {"PlayAnim", CmdPlayAnim},
    {"FreeAnim", CmdFreeAnim},
    {"ScaleAnim", CmdScaleAnim},
    {"PlayAnimDisk", CmdPlayAnimDisk},
    {"LoadAnimFrame", CmdLoadAnimFrame},
    {"LoadAnim", CmdLoadAnim},
    {"IsAnim", CmdIsAnim},
    {"CreateAnim", CmdCreateAnim},
    {"CopyAnim", CmdCopyAnim},
    {"GetAnimFrame", CmdGetAnimFrame},
    {"DisplayAnimFrame", CmdDisplayAnimFrame},
    {"ModifyAnimFrames", CmdModifyAnimFrames},
    {"SelectAnim", CmdSelectAnim},
    {"SaveAnim", CmdSaveAnim},
    {"BeginAnimStream", CmdBeginAnimStream},
    {"WriteAnimFrame", CmdWriteAnimFrame},
    {"FinishAnimStream", CmdFinishAnimStream},
    {"SetAnimFrameDelay", CmdSetAnimFrameDelay},
    {nullptr, nullptr},
};

static int AnimAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    AnimObject *a = nullptr;
    if (int error = FindAnim(id, &a, 0)) return error;
    if (attribute == ATTRTRANSPARENTCOLOR) {
        PushNumber(vm, a->transparent);
        return 1;
    }
    return AnswerSizeAttribute(vm, attribute, a->width, a->height);
}

// A moving anim is locked through its count (MoveAnim).
static int32_t *AnimLockCount(ObjectId id) {
    AnimObject *a = nullptr;
    return FindAnim(id, &a, 0) ? nullptr : &a->lockCount;
}

void RegisterAnimLibrary(VMState *vm) {
    RebuildAllAnimsHook = RebuildAllAnims;
    AnimLockCountHook = AnimLockCount;
    InstallAnimLayerServices(true);
    RegisterObjectKind({ObjectKindAnim, "ANIM", CountAnimObjects, AnimAttribute});
    RegisterBrushLinkSource(ObjectKindAnim, AnimBrushLinkSource);
    BuildSpriteFramesHook = BuildSpriteFrames;
    LoadSpriteHook = CmdLoadSprite;
    RegisterSnapshotEncoders();
    RegisterCommands(vm, kAnimCommands);
    RegisterCommandLibrary(kAnimCommands, "anim", &kAnimReference);
}

void FreeAnimLibrary(VMState *) {
    FinishAllAnimStreams();
    FreeAllAnims();
    InstallAnimLayerServices(false);
    AnimLockCountHook = nullptr;
    BuildSpriteFramesHook = nullptr;
    LoadSpriteHook = nullptr;
}

const LibraryDescriptor kAnimLibrary{"anim", RegisterAnimLibrary, FreeAnimLibrary};
