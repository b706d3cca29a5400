// Reference rows of the bgpic library: what tools/reference writes into docs/commands/bgpic.md.
#include "imaging/display_options.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "DisplayBGPic", .synopsis = "DisplayBGPic(id[, options])", .arguments = {1, 2},
     .text = "Makes a background picture the current display's picture, resizing the display to it. x and y "
             "place the window.\n"
             "\n"
             "Each background picture keeps its own layers: the layers drawn on a picture belong to it, leave "
             "the display when another picture is shown (by this command or DisplayTransitionFX) and come back "
             "with it, as they were. So a layer made on one slide is not on the next, and a script that draws a "
             "slide's named layers again when the slide comes back finds the names taken (1161). The example "
             "keeps a clock on every slide: it makes the clock layer only on a picture that has none, and sets "
             "the time as soon as a picture is shown, since one shown again still has the time it was left with.",
     .options = "x, y, Active, BGPic, Borderless, Color, DragRegion, FillStyle, FitScale, Fixed, Height, "
                "HidePointer, KeepProportions, NoClose, NoHide, NoModeSwitch, ScaleHeight, ScaleMode, "
                "ScaleWidth, Sizeable, SizeRegion, SmoothScale, Title, UseQuartz, Width",
     .errors = {kErrBGPicNotFound, kErrObjectNotFound},
     .example = "EnableLayers()\n"
                "CreateBGPic(1, 320, 200, $303060)\n"
                "CreateBGPic(2, 320, 200, $603030)\n"
                "\n"
                "Function Tick()\n"
                "    SetLayerStyle(\"clock\", {Text = GetTime(True)})   ; the clock of the picture shown now\n"
                "EndFunction\n"
                "\n"
                "Function ShowSlide(n)\n"
                "    DisplayBGPic(n)   ; the display shows picture n's own layers now, and only those\n"
                "    If Not LayerExists(\"clock\") Then TextOut(#RIGHT, 4, GetTime(True), {Name = \"clock\"}) EndIf\n"
                "    Tick()\n"
                "EndFunction\n"
                "\n"
                "SetInterval(1, Tick, 1000)\n"
                "For i, n In IPairs({1, 2, 1})   ; slide 1 again: its clock is still there\n"
                "    ShowSlide(n)\n"
                "    Local done = False\n"
                "    SetTimeout(Nil, Function() done = True EndFunction, 1200)\n"
                "    Repeat WaitEvent() Until done\n"
                "Next"},
    {.name = "DisplayBGPicPart", .synopsis = "DisplayBGPicPart(id, x, y, width, height[, dx, dy, options])",
     .arguments = {5, 8},
     .text = "Draws a rectangle of a background picture onto the display at (dx, dy), by default the same "
             "place it has in the picture. With layers on, the part becomes a layer unless layers is False.",
     .options = VL_DISPLAY_OPTION_KEYS,
     .errors = {kErrBGPicNotFound, kErrObjectNotFound}},
    {.name = "ScaleBGPic", .synopsis = "ScaleBGPic(id, width, height[, smooth])", .arguments = {3, 4},
     .text = "Scales a background picture to a new size (\"50%\"-style strings and #KEEPASPRAT are "
             "allowed); smooth asks for interpolation.",
     .errors = {kErrBGPicNotFound, kErrObjectNotFound, kErrObjectLocked, kErrResizeDisplayBGPic,
                kErrActiveOutputBGPic}},
    {.name = "CreateGradientBGPic",
     .synopsis = "[handle =] CreateGradientBGPic(id, type, startcolor, endcolor[, width, height, angle])",
     .arguments = {4, 7},
     .text = "Creates a background picture filled with a colour gradient from startcolor to endcolor: type "
             "0 runs from left to right, 1 from top to bottom, and #LINEAR at the given angle in degrees, "
             "turning clockwise (0 left to right as type 0, 90 top to bottom as type 1, 45 from the top left "
             "corner to the bottom right, 180 right to left); the angle counts only with #LINEAR. The size "
             "defaults to the current display's. It cannot be drawn into: SelectBGPic takes it only in #SELMODE_LAYERS, as layers.",
     .errors = {kErrSizeNotPositive},
     .example = "CreateGradientBGPic(2, #LINEAR, $000080, $000000, 640, 480, 45)"},
    {.name = "CreateRainbowBGPic",
     .synopsis = "[handle =] CreateRainbowBGPic(id, type, startcolor, endcolor[, width, height, angle])",
     .arguments = {4, 7},
     .text = "Creates a background picture filled with a colour gradient, as CreateGradientBGPic. It cannot be drawn into: SelectBGPic takes it only in #SELMODE_LAYERS, as layers.",
     .errors = {kErrSizeNotPositive}},
    {.name = "CreateTexturedBGPic",
     .synopsis = "[handle =] CreateTexturedBGPic(id, brush[, width, height, offsetx, offsety])",
     .arguments = {2, 6},
     .text = "Creates a background picture tiled with copies of a brush, starting at the offset. The size "
             "defaults to the current display's. It cannot be drawn into: SelectBGPic takes it only in #SELMODE_LAYERS, as layers.",
     .errors = {kErrSizeNotPositive, kErrOutOfMemory, kErrWrongUsage, kErrBrushNotFound}},
    {.name = "BrushToBGPic", .synopsis = "[handle =] BrushToBGPic(brush[, id])", .arguments = {1, 2},
     .text = "Creates a background picture from a copy of a brush, with its mask or alpha channel.",
     .errors = {kErrTransformedVectorBrush, kErrWrongUsage, kErrBrushNotFound}},
    {.name = "BGPicToBrush", .synopsis = "[handle =] BGPicToBrush(id[, brush])", .arguments = {1, 2},
     .text = "Creates a brush from a copy of a background picture at its current size.",
     .errors = {kErrBGPicNotFound, kErrObjectNotFound, kErrTransformedVectorBGPic}},
    {.name = "CreateBGPic", .synopsis = "[handle =] CreateBGPic(id, width, height[, color])",
     .arguments = {3, 4},
     .text = "Creates a background picture of the given size filled with one colour (black by default).",
     .errors = {kErrWrongUsage, kErrOutOfMemory},
     .example = "CreateBGPic(2, 640, 480, $0000FF)\n"
                "DisplayBGPic(2)"},
    {.name = "FreeBGPic", .synopsis = "FreeBGPic(id)", .arguments = {1, 1},
     .text = "Frees a background picture that no display shows and no output uses.",
     .errors = {kErrBGPicNotFound, kErrObjectNotFound, kErrObjectLocked, kErrActiveOutputBGPic}},
    {.name = "LoadBGPic", .synopsis = "[handle =] LoadBGPic(id, file[, options, palette])",
     .arguments = {2, 4},
     .text = "Loads a picture file (PNG, JPEG, IFF ILBM, GIF, BMP and others) as a background picture. "
             "Transparency names a colour to treat as transparent; LoadAlpha keeps the file's alpha channel "
             "(the two exclude each other). A number instead of the options table is the transparent colour.",
     .options = "Transparency, LoadAlpha",
     .errors = {kErrCannotReadFile, kErrImageUnknownFormat, kErrMaskAndAlphaChannel, kErrNumberFieldExpected},
     .example = "LoadBGPic(2, \"gfx/back.png\")\n"
                "DisplayBGPic(2)"},
    {.name = "SelectBGPic", .synopsis = "SelectBGPic(id[, mode])", .arguments = {1, 2},
     .text = "Sends the drawing commands into a background picture instead of the display, until EndSelect. "
             "The mode says where what is drawn goes:\n"
             "\n"
             "- #SELMODE_LAYERS (the default; needs layers on, else 1078): each drawing becomes a layer of the "
             "picture. The layers show the moment the picture is shown, even when a transition shows it: "
             "DisplayTransitionFX brings in only the picture, with its layers on top of it in full from the "
             "first frame (the fades, wipes, stripes and dissolves; the SCROLL effects move them in with "
             "it).\n"
             "- #SELMODE_NORMAL: into the picture itself, so what is drawn takes part in a transition as the "
             "picture does. Gradient, rainbow and textured pictures cannot be drawn into: this mode and "
             "#SELMODE_COMBO (which also writes the picture's mask and alpha channel) refuse them with 1390; "
             "they take layers only.\n"
             "\n"
             "The picture a display shows cannot be drawn into in these two modes (1377).",
     .errors = {kErrBGPicNotFound, kErrObjectNotFound, kErrLayersRequired, kErrSelectBGPicDisplay,
                kErrWrongUsage, kErrDisplayBGPicGraphics, kErrBGPicTypeUnsupported},
     .example = "CreateBGPic(2, 640, 480, $000080)\n"
                "SelectBGPic(2, #SELMODE_NORMAL)       ; into the picture: it fades in with it\n"
                "SetFormStyle({FillStyle = #FILLCOLOR})\n"
                "Box(220, 200, 200, 80, $FFFF00)\n"
                "EndSelect()\n"
                "DisplayTransitionFX(2, {Type = #CROSSFADE, Speed = 20})"},
    {.name = "EndSelect", .synopsis = "EndSelect()", .arguments = {0, 0},
     .text = "Ends the redirection of drawing that SelectBGPic, SelectBrush, SelectMask, SelectAlphaChannel, "
             "SelectAnim or SelectLayer started (one EndSelect serves them all): drawing goes to the display "
             "again, or back to the back buffer when the selection was made while double buffering. What was "
             "drawn into the picture a display shows appears now. A Select* command while another selection is "
             "on ends that one first. 1055 while double buffering is on without a selection (end that with "
             "EndDoubleBuffer).",
     .errors = {kErrWrongUsage}},
    {.name = "CopyBGPic", .synopsis = "[handle =] CopyBGPic(source, id)", .arguments = {2, 2},
     .text = "Makes an independent copy of a background picture under a new id.",
     .errors = {kErrBGPicNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {},
};

} // namespace

extern const LibraryReference kBGPicReference;
const LibraryReference kBGPicReference = {
    "Background pictures: the full-size pictures a display shows behind everything else, made from "
    "files, colours, gradients, textures or brushes.",
    kCommandDocs, nullptr};
