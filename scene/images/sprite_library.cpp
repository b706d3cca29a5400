// The sprite library's bindings: read the arguments, call the sprite operation, push the results.
#include "scene/images/sprite_library.h"

#include <cstring>

#include "imaging/graphics_library.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "scene/display/display_startup.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/image_grid.h"
#include "scene/images/sprite.h"
#include "scene/layers/layers.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kSpriteReference;

int (*BuildSpriteFramesHook)(VMState *vm, int32_t sourceKind) = nullptr;
int (*LoadSpriteHook)(VMState *vm) = nullptr;

namespace {

int PushAutomatic(VMState *vm, const ObjectId &requested, Sprite *made) {
    return PushAutoHandle(vm, requested, made);
}

// Frames from a brush: the whole brush, or a grid of cells (width, height, frames, frames per row, x, y).
int FramesFromBrush(VMState *vm, std::vector<ImageTriple> *frames, int32_t *width, int32_t *height,
                    int32_t *transparent) {
    const ObjectId brushId = IdArg(vm, 3);
    Brush *brush = nullptr;
    if (int error = FindBrush(brushId, &brush, kFindBrushNoVector)) return error;
    if (!brush->bitmap) return kErrWrongUsage;
    const ImageTriple source{brush->bitmap, brush->mask, brush->alpha, brush->width, brush->height};
    *transparent = brush->transparentColor;
    ImageGrid grid{OptInt32Arg(vm, 8, 0), OptInt32Arg(vm, 9, 0), OptInt32Arg(vm, 4, 0), OptInt32Arg(vm, 5, 0),
                   OptInt32Arg(vm, 6, 1), OptInt32Arg(vm, 7, 0)};
    // Three arguments take the whole brush; a grid needs all of width, height, frames and frames per row.
    if (GetTop(vm) < 4) grid = ImageGrid{0, 0, brush->width, brush->height, 1, 1};
    else if (GetTop(vm) < 7) return kErrWrongUsage;
    if (int error = CheckImageGrid(&grid, brush->width, brush->height)) return error;
    *width = grid.cellWidth;
    *height = grid.cellHeight;
    for (int32_t k = 0; k < grid.frames; k++) {
        ImageTriple cell;
        if (int error = CutGridCell(grid, k, source, &cell)) return error;
        frames->push_back(cell);
    }
    return 0;
}

int CmdCreateSprite(VMState *vm) {
    CheckArgs(vm, 3, 9);
    ObjectId id{};
    OptIntegerArg(&id, vm, 1);
    const int32_t kind = CheckInt32Arg(vm, 2);
    if (kind != ObjectKindBrush && kind != ObjectKindSprite) {
        if (!BuildSpriteFramesHook) return LibraryNotRegistered("anim");
        if (!IsAutoHandleRequest(id))
            if (int error = FreeSpriteById(id, 0)) return error;
        return BuildSpriteFramesHook(vm, kind);
    }
    // Components are read before the old sprite of the id goes: one of them may be it.
    std::vector<ObjectId> components;
    if (kind == ObjectKindSprite)
        for (int n = 3; n <= GetTop(vm); n++) ReadObjectId(&components.emplace_back(), vm, n);
    if (!IsAutoHandleRequest(id))
        if (int error = FreeSpriteById(id, 0)) return error;
    Sprite *made = nullptr;
    if (kind == ObjectKindSprite) {
        if (int error = CreateLinkedSprite(id, components.data(), int32_t(components.size()), &made)) return error;
        return PushAutomatic(vm, id, made);
    }
    std::vector<ImageTriple> frames;
    int32_t width = 0, height = 0, transparent = -1;
    int error = FramesFromBrush(vm, &frames, &width, &height, &transparent);
    if (!error) error = CreateSpriteRecord(id, width, height, &frames, nullptr, transparent, &made);
    if (error) {
        FreeSpriteFramePlanes(frames);
        return error;
    }
    return PushAutomatic(vm, id, made);
}

// The batch's own command; commands whose reference rows say they leave the display alone (math, string,
// Collision) run inside it too. A script callback such a command runs is held to the rule by its own calls.
bool KeepsSpriteBatch(const char *command) { return std::strcmp(command, "DisplaySprite") == 0; }

int CmdDisplaySprite(VMState *vm) {
    CheckArgs(vm, 3, 4);
    const ObjectId id = IdArg(vm, 1);
    const int32_t x = CheckCoordinateArg(vm, 2), y = CheckCoordinateArg(vm, 3), frame = OptCountArg(vm, 4, 0);
    if (int error = CheckSpriteOutput()) return error;
    // A run of DisplaySprite calls is composed once, before the next other command reads or draws anything.
    return InDisplayBatch(vm, KeepsSpriteBatch, [&] { return DrawSprite(id, x, y, frame); });
}

int CmdRemoveSprite(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return RemoveSpriteById(IdArg(vm, 1));
}

int CmdFreeSprite(VMState *vm) {
    CheckArgs(vm, 1, 1);
    return FreeSpriteById(IdArg(vm, 1), 1);
}

int CmdLoadSprite(VMState *vm) {
    if (!LoadSpriteHook) return LibraryNotRegistered("anim");
    return LoadSpriteHook(vm);
}

int CmdScaleSprite(VMState *vm) {
    CheckArgs(vm, 3, 4);
    const ObjectId id = IdArg(vm, 1);
    Sprite *sprite = nullptr;
    int32_t baseWidth = 0, baseHeight = 0;
    if (FindSprite(id, &sprite, 0) == 0) baseWidth = sprite->width, baseHeight = sprite->height;
    const int32_t width = SaturateToInt32(ReadNumberOrPercent(vm, 2, baseWidth, 1));
    const int32_t height = SaturateToInt32(ReadNumberOrPercent(vm, 3, baseHeight, 1));
    return ScaleSpriteById(id, width, height, OptInt32Arg(vm, 4, 0));
}

int CmdCopySprite(VMState *vm) {
    CheckArgs(vm, 2, 2);
    ObjectId source{}, target{};
    ReadObjectId(&source, vm, 1);
    OptIntegerArg(&target, vm, 2);
    Sprite *made = nullptr;
    if (int error = CopySpriteById(source, target, &made)) return error;
    return PushAutomatic(vm, target, made);
}

int CmdFlipSprite(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const ObjectId id = IdArg(vm, 1);
    return FlipSpriteById(id, CheckInt32Arg(vm, 2));
}

int CmdRemoveSprites(VMState *vm) {
    CheckArgs(vm, 0, 1);
    return RemoveAllSprites(OptInt32Arg(vm, 1, 0));
}

int SpriteAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    Sprite *sprite = nullptr;
    if (int error = FindSprite(id, &sprite, 0)) return error;
    double value = 0;
    switch (attribute) {
    case ATTRWIDTH: value = sprite->width; break;
    case ATTRHEIGHT: value = sprite->height; break;
    case ATTRTRANSPARENTCOLOR: value = sprite->transparentColor; break;
    default: return kAttributeUnanswered;
    }
    PushNumber(vm, value);
    return 1;
}

// A brush from one frame of a sprite; a linked sprite takes it from the component that holds that frame. The
// brush link copies the planes, so they are lent here.
int SpriteBrushLinkSource(VMState *, ObjectId source, int32_t frame, ImageTriple *image, int32_t *sourceX,
                          int32_t *sourceY, int32_t *transparent, bool *temporary) {
    Sprite *sprite = nullptr;
    if (int error = FindSprite(source, &sprite, 0)) return error;
    if (frame < 1 || frame > sprite->frameCount) return AnimFrameOutOfRange(frame, sprite->frameCount);
    GetSpriteFrameImage(sprite, frame - 1, image);
    image->width = sprite->width;
    image->height = sprite->height;
    *sourceX = *sourceY = 0;
    *transparent = sprite->transparentColor;
    *temporary = false;
    return 0;
}

void DrawSpritesHook(DisplayRecord *, BGPic *bgpic, HostBitmap *dest, int32_t x, int32_t y, int32_t width,
                     int32_t height) {
    RedrawSprites(bgpic, dest, x, y, width, height);
}

} // namespace

const CommandEntry kSpriteCommands[] = {
    {"CreateSprite", CmdCreateSprite}, {"DisplaySprite", CmdDisplaySprite}, {"RemoveSprite", CmdRemoveSprite},
    {"FreeSprite", CmdFreeSprite},     {"LoadSprite", CmdLoadSprite},       {"ScaleSprite", CmdScaleSprite},
    {"CopySprite", CmdCopySprite},     {"FlipSprite", CmdFlipSprite},       {"RemoveSprites", CmdRemoveSprites},
    {nullptr, nullptr},
};

void RegisterSpriteLibrary(VMState *vm) {
    RedrawSpritesHook = DrawSpritesHook;
    RegisterObjectKind({ObjectKindSprite, "SPRITE", CountSprites, SpriteAttribute});
    RegisterBrushLinkSource(ObjectKindSprite, SpriteBrushLinkSource);
    RegisterObjectKind({0, "SPRITE ON SCREEN", [] { return CountSpritesOnScreen(CurrentBGPic); }, nullptr});
    RegisterCommands(vm, kSpriteCommands);
    RegisterCommandLibrary(kSpriteCommands, "sprite", &kSpriteReference);
}

void FreeSpriteLibrary(VMState *vm) {
    DropCommandBarrier(vm);
    // Shutdown: no refresh, the displays may already be going.
    for (BGPic *bgpic : BGPicList)
        while (OnScreenSprite *s = bgpic->sprites) {
            bgpic->sprites = s->next;
            DeleteOnScreenSprite(s);
        }
    FreeAllSprites();
    RedrawSpritesHook = nullptr;
}

const LibraryDescriptor kSpriteLibrary{"sprite", RegisterSpriteLibrary, FreeSpriteLibrary};
