// Reference rows of the sprite library: what tools/reference writes into docs/commands/sprite.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"CreateSprite", "[handle =] CreateSprite(id, type, source[, width, height, frames, perrow, x, y])",
     "Creates a sprite from a brush (#BRUSH), a text object (#TEXTOBJECT) or an anim (#ANIM); #SPRITE "
     "followed by several sprites joins their frames into one sprite. For a brush the other numbers cut "
     "it into frames of width by height: how many, how many per row, and the corner of the first one.",
     nullptr, {kErrObjectLocked}},
    {"DisplaySprite", "DisplaySprite(id, x, y[, frame])",
     "Shows a sprite at (x, y), or moves it there when it is already shown. frame chooses a frame; "
     "without it the frame after the one shown last is drawn, so repeated calls animate it.",
     nullptr, {kErrSpriteNotFound, kErrObjectNotFound, kErrAnimFrameRange}},
    {"RemoveSprite", "RemoveSprite(id)",
     "Takes a sprite off the display, bringing back what it covered.",
     nullptr,
     {kErrSpriteNotFound, kErrObjectNotFound, kErrObjectLocked, kErrSpriteHandleNotOnScreen,
      kErrSpriteNotOnScreen}},
    {"FreeSprite", "FreeSprite(id)",
     "Frees a sprite (removing it from the display first).",
     nullptr, {kErrSpriteNotFound, kErrObjectNotFound, kErrObjectLocked}},
    {"LoadSprite", "[handle =] LoadSprite(id, file[, options])",
     "Loads a sprite from a picture or animation file, every frame of an animation becoming a frame of "
     "the sprite. The options cut a picture into frames and set a transparent colour.",
     "Transparency, LoadAlpha, Width, Height, Frames, FPR, X, Y"},
    {"ScaleSprite", "ScaleSprite(id, width, height[, smooth])",
     "Scales every frame of a sprite that is not on the display.",
     nullptr, {kErrSpriteOnScreen, kErrSpriteNotFound, kErrObjectNotFound, kErrObjectLocked, kErrLinkedSprite}},
    {"CopySprite", "[handle =] CopySprite(source, id)",
     "Makes an independent copy of a sprite.",
     nullptr, {kErrSpriteNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {"FlipSprite", "FlipSprite(id, direction)",
     "Mirrors every frame of a sprite: 0 turns it upside down, any other value mirrors it left to "
     "right.",
     nullptr,
     {kErrSpriteOnScreen, kErrSpriteNotFound, kErrObjectNotFound, kErrObjectLocked, kErrLinkedSprite,
      kErrCouldNotLockBitmap}},
    {"RemoveSprites", "RemoveSprites([keep])",
     "Takes every sprite off the display; with keep set to True their images stay on the display.",
     nullptr, {kErrObjectLocked}},
    {nullptr, nullptr, nullptr},
};

} // namespace

extern const LibraryReference kSpriteReference;
const LibraryReference kSpriteReference = {
    "Sprites: small animated pictures drawn over the display without disturbing it, each shown at one "
    "place at a time.",
    kCommandDocs, nullptr};
