// Reference rows of the bgpic library: what tools/reference writes into docs/commands/bgpic.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"DisplayBGPic", "DisplayBGPic(id[, options])",
     "Makes a background picture the current display's picture, resizing the display to it. x and y "
     "place the window.",
     "x, y", {kErrBGPicNotFound, kErrObjectNotFound}},
    {"DisplayBGPicPart", "DisplayBGPicPart(id, x, y, width, height[, dx, dy, options])",
     "Draws a rectangle of a background picture onto the display at (dx, dy), by default the same place "
     "it has in the picture. With layers on, the part becomes a layer unless layers is False.",
     "layers", {kErrBGPicNotFound, kErrObjectNotFound}},
    {"ScaleBGPic", "ScaleBGPic(id, width, height[, smooth])",
     "Scales a background picture to a new size (\"50%\"-style strings and #KEEPASPRAT are allowed); "
     "smooth asks for interpolation.",
     nullptr,
     {kErrBGPicNotFound, kErrObjectNotFound, kErrObjectLocked, kErrResizeDisplayBGPic, kErrActiveOutputBGPic}},
    {"CreateGradientBGPic", "[handle =] CreateGradientBGPic(id, type, startcolor, endcolor[, width, height, angle])",
     "Creates a background picture filled with a colour gradient: type 0 runs top to bottom, 1 left to "
     "right and #LINEAR at the given angle. The size defaults to the current display's.",
     nullptr, {kErrSizeNotPositive},
     "CreateGradientBGPic(2, #LINEAR, $000080, $000000, 640, 480, 45)"},
    {"CreateRainbowBGPic", "[handle =] CreateRainbowBGPic(id, type, startcolor, endcolor[, width, height, angle])",
     "Creates a background picture filled with a colour gradient, as CreateGradientBGPic.",
     nullptr, {kErrSizeNotPositive}},
    {"CreateTexturedBGPic", "[handle =] CreateTexturedBGPic(id, brush[, width, height, offsetx, offsety])",
     "Creates a background picture tiled with copies of a brush, starting at the offset. The size "
     "defaults to the current display's.",
     nullptr, {kErrSizeNotPositive, kErrOutOfMemory, kErrWrongUsage}},
    {"BrushToBGPic", "[handle =] BrushToBGPic(brush[, id])",
     "Creates a background picture from a copy of a brush, with its mask or alpha channel.",
     nullptr, {kErrTransformedVectorBrush, kErrWrongUsage}},
    {"BGPicToBrush", "[handle =] BGPicToBrush(id[, brush])",
     "Creates a brush from a copy of a background picture at its current size.",
     nullptr, {kErrBGPicNotFound, kErrObjectNotFound, kErrTransformedVectorBGPic}},
    {"CreateBGPic", "[handle =] CreateBGPic(id, width, height[, color])",
     "Creates a background picture of the given size filled with one colour (black by default).",
     nullptr, {kErrWrongUsage},
     "CreateBGPic(2, 640, 480, $0000FF)\n"
     "DisplayBGPic(2)"},
    {"FreeBGPic", "FreeBGPic(id)",
     "Frees a background picture that no display shows and no output uses.",
     nullptr, {kErrBGPicNotFound, kErrObjectNotFound, kErrObjectLocked, kErrActiveOutputBGPic}},
    {"LoadBGPic", "[handle =] LoadBGPic(id, file[, options, palette])",
     "Loads a picture file (PNG, JPEG, IFF ILBM, GIF, BMP and others) as a background picture. "
     "Transparency names a colour to treat as transparent; LoadAlpha keeps the file's alpha channel "
     "(the two exclude each other). A number instead of the options table is the transparent colour.",
     "Transparency, LoadAlpha", {kErrCannotReadFile, kErrImageUnknownFormat, kErrMaskAndAlphaChannel},
     "LoadBGPic(2, \"gfx/back.png\")\n"
     "DisplayBGPic(2)"},
    {"SelectBGPic", "SelectBGPic(id[, mode])",
     "Sends the drawing commands into a background picture instead of the display, until EndSelect. "
     "When it is shown, what is drawn appears as layers (#SELMODE_LAYERS, the default) or directly in "
     "the picture (#SELMODE_NORMAL).",
     nullptr, {kErrBGPicNotFound, kErrObjectNotFound, kErrLayersRequired, kErrSelectBGPicDisplay, kErrWrongUsage}},
    {"EndSelect", "EndSelect()",
     "Ends a SelectBGPic, SelectBrush, SelectAnim, SelectMask or SelectAlphaChannel: drawing goes to "
     "the display again.",
     nullptr, {kErrWrongUsage}},
    {"CopyBGPic", "[handle =] CopyBGPic(source, id)",
     "Makes an independent copy of a background picture under a new id.",
     nullptr, {kErrBGPicNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {nullptr, nullptr, nullptr},
};

} // namespace

extern const LibraryReference kBGPicReference;
const LibraryReference kBGPicReference = {
    "Background pictures: the full-size pictures a display shows behind everything else, made from "
    "files, colours, gradients, textures or brushes.",
    kCommandDocs, nullptr};
