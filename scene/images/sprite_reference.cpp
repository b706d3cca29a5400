// Reference rows of the sprite library: what tools/reference writes into docs/commands/sprite.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "CreateSprite",
     .synopsis = "[handle =] CreateSprite(id, type, source[, width, height, frames, perrow, x, y])",
     .arguments = {3, 9},
     .text = "Creates a sprite from a brush (#BRUSH), a text object (#TEXTOBJECT) or an anim (#ANIM); "
             "#SPRITE followed by several sprites joins their frames into one sprite. For a brush the other "
             "numbers cut it into frames of width by height: how many, how many per row, and the corner of "
             "the first one.",
     .errors = {kErrObjectLocked, kErrAnimNotFound, kErrLinkFromLink, kErrSpriteSizesDiffer}},
    {.name = "DisplaySprite", .synopsis = "DisplaySprite(id, x, y[, frame])", .arguments = {3, 4},
     .text = "Shows a sprite at (x, y), or moves it there when it is already shown. frame chooses a frame; "
             "without it the frame after the one shown last is drawn, so repeated calls animate it.",
     .errors = {kErrSpriteNotFound, kErrObjectNotFound, kErrAnimFrameRange, kErrSelectBrushActive,
                kErrLayersMustBeOff, kErrEndDoubleBufferFirst}},
    {.name = "RemoveSprite", .synopsis = "RemoveSprite(id)", .arguments = {1, 1},
     .text = "Takes a sprite off the display, bringing back what it covered.",
     .errors = {kErrSpriteNotFound, kErrObjectNotFound, kErrObjectLocked, kErrSpriteHandleNotOnScreen,
                kErrSpriteNotOnScreen, kErrLayersMustBeOff}},
    {.name = "FreeSprite", .synopsis = "FreeSprite(id)", .arguments = {1, 1},
     .text = "Frees a sprite (removing it from the display first).",
     .errors = {kErrSpriteNotFound, kErrObjectNotFound, kErrObjectLocked}},
    {.name = "LoadSprite", .synopsis = "[handle =] LoadSprite(id, file[, options])", .arguments = {2, 3},
     .text = "Loads a sprite from a picture or animation file, every frame of an animation becoming a frame "
             "of the sprite. The options cut a picture into frames and set a transparent colour. A GIF file "
             "that marks a colour transparent is keyed on that colour when the options give no Transparency; "
             "a Transparency given wins.",
     .options = "Transparency, LoadAlpha, Width, Height, Frames, FPR, X, Y, Cache, CacheAlpha, CachedLoad",
     .errors = {kErrCannotReadFile, kErrMaskAndAlphaChannel, kErrImageUnknownFormat}},
    {.name = "ScaleSprite", .synopsis = "ScaleSprite(id, width, height[, smooth])", .arguments = {3, 4},
     .text = "Scales every frame of a sprite that is not on the display.",
     .errors = {kErrSpriteOnScreen, kErrSpriteNotFound, kErrObjectNotFound, kErrObjectLocked,
                kErrLinkedSprite}},
    {.name = "CopySprite", .synopsis = "[handle =] CopySprite(source, id)", .arguments = {2, 2},
     .text = "Makes an independent copy of a sprite.",
     .errors = {kErrSpriteNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {.name = "FlipSprite", .synopsis = "FlipSprite(id, direction)", .arguments = {2, 2},
     .text = "Mirrors every frame of a sprite: 0 turns it upside down, any other value mirrors it left to "
             "right.",
     .errors = {kErrSpriteOnScreen, kErrSpriteNotFound, kErrObjectNotFound, kErrObjectLocked,
                kErrLinkedSprite, kErrCouldNotLockBitmap}},
    {.name = "RemoveSprites", .synopsis = "RemoveSprites([keep])", .arguments = {0, 1},
     .text = "Takes every sprite off the display; with keep set to True their images stay on the display.",
     .errors = {kErrObjectLocked, kErrLayersMustBeOff}},
    {},
};

} // namespace

extern const LibraryReference kSpriteReference;
const LibraryReference kSpriteReference = {
    "Sprites: small animated pictures drawn over the display without disturbing it, each shown at one "
    "place at a time.",
    kCommandDocs, nullptr};
