// Reference rows of the brush library: what tools/reference writes into docs/commands/brush.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "CreateBrush", .synopsis = "[handle =] CreateBrush(id, width, height[, color, options])",
     .arguments = {3, 5},
     .text = "Creates a brush of the given size filled with one colour (black by default). Mask or "
             "AlphaChannel give it a mask or an alpha channel (not both); Clear makes that mask or alpha "
             "channel fully transparent. Clear counts only with one of them: alone it leaves the brush "
             "opaque in its colour. To draw on a transparent brush, draw in SelectBrush's #SELMODE_COMBO, which "
             "writes the mask or alpha channel too (SelectBrush's example); plain SelectBrush leaves them "
             "transparent, so what it draws does not show.",
     .options = "Mask, AlphaChannel, Clear",
     .errors = {kErrSizeNotPositive, kErrWrongUsage, kErrOutOfMemory, kErrActiveBrush},
     .example = "CreateBrush(1, 32, 32, $FF0000)\n"
                "DisplayBrush(1, #CENTER, #CENTER)"},
    {.name = "DisplayBrush", .synopsis = "DisplayBrush(id, x, y[, options])", .arguments = {3, 4},
     .text = "Draws a brush with its top-left corner at (x, y); #CENTER and the other position constants "
             "place it relative to the display. With layers on it becomes a new layer. The options draw it "
             "scaled, rotated, tinted or see-through without changing the brush.",
     .options = "Width, Height, ScaleX, ScaleY, Rotate, Transform, SmoothScale, AnchorX, AnchorY, "
                "Transparency, Tint, TintColor, Name, Hidden, InsertPos",
     .errors = {kErrBrushNotFound, kErrObjectNotFound, kErrLayerNameTaken, kErrSizeNotPositive,
                kErrNameTooLong},
     .example = "LoadBrush(1, \"gfx/ship.png\")\n"
                "DisplayBrush(1, 100, 50, {Rotate = 45})"},
    {.name = "DisplayBrushPart",
     .synopsis = "DisplayBrushPart(id, srcx, srcy, x, y, width, height[, options])", .arguments = {7, 8},
     .text = "Draws the rectangle (srcx, srcy, width, height) of a brush at (x, y), as DisplayBrush.",
     .options = "Width, Height, ScaleX, ScaleY, Rotate, Transform, SmoothScale, AnchorX, AnchorY, "
                "Transparency, Tint, TintColor, Name, Hidden, InsertPos",
     .errors = {kErrBrushNotFound, kErrObjectNotFound, kErrSizeNotPositive}},
    {.name = "ScaleBrush", .synopsis = "ScaleBrush(id, width, height[, smooth])", .arguments = {3, 4},
     .text = "Scales a brush to a new size; \"50%\"-style strings and #KEEPASPRAT are allowed, and smooth "
             "asks for interpolation.",
     .errors = {kErrSizeNotPositive, kErrWrongUsage, kErrBrushNotFound, kErrObjectNotFound, kErrActiveBrush,
                kErrObjectLocked}},
    {.name = "FreeBrush", .synopsis = "FreeBrush(id)", .arguments = {1, 1},
     .text = "Frees a brush.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound, kErrActiveBrush, kErrObjectLocked}},
    {.name = "TintBrush", .synopsis = "TintBrush(id, color, level)", .arguments = {3, 3},
     .text = "Tints a brush towards a colour; level runs from 0 (unchanged) to 255 (all the colour), or as "
             "a percentage string.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound}},
    {.name = "ReplaceColors", .synopsis = "ReplaceColors(id, colors)", .arguments = {2, 2},
     .text = "Replaces colours in a brush: the table holds pairs of old and new colours, {old1, new1, old2, "
             "new2, ...}.",
     .errors = {kErrActiveBrush, kErrWrongUsage, kErrBrushNotFound, kErrObjectNotFound}},
    {.name = "InvertBrush", .synopsis = "InvertBrush(id)", .arguments = {1, 1},
     .text = "Inverts the colours of a brush.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound, kErrActiveBrush}},
    {.name = "FlipBrush", .synopsis = "FlipBrush(id, direction)", .arguments = {2, 2},
     .text = "Mirrors a brush: 0 turns it upside down, any other value mirrors it left to right.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound}},
    {.name = "MixBrush", .synopsis = "MixBrush(id1, id2, level)", .arguments = {3, 3},
     .text = "Blends the second brush into the first; level runs from 0 (first only) to 255 (second only).",
     .errors = {kErrBrushNotFound}},
    {.name = "BrushToGray", .synopsis = "BrushToGray(id)", .arguments = {1, 1},
     .text = "Turns a brush into shades of grey.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound}},
    {.name = "RotateBrush", .synopsis = "RotateBrush(id, angle[, scalex, scaley, smooth])",
     .arguments = {2, 5},
     .text = "Rotates a brush by angle degrees (anticlockwise), optionally scaling it too; the brush grows "
             "to hold the rotated picture.",
     .errors = {kErrWrongUsage, kErrBrushNotFound, kErrObjectNotFound, kErrActiveBrush}},
    {.name = "GetBrushLink", .synopsis = "[handle =] GetBrushLink(id, type, source[, frame])",
     .arguments = {3, 4},
     .text = "Makes a brush from another object (#BGPIC, #ANIM frame, #LAYER, #SPRITE frame, #TEXTOBJECT, "
             "...).",
     .errors = {kErrLayersRequired, kErrAnimFrameRange, kErrBGPicNotFound}},
    {.name = "SelectBrush", .synopsis = "SelectBrush(id[, mode])", .arguments = {1, 2},
     .text = "Sends the drawing commands into a brush instead of the display, until "
             "[EndSelect](bgpic.md#endselect). The mode says what drawing writes:\n"
             "\n"
             "- #SELMODE_NORMAL (the default): the colours only. The mask and alpha channel stay as they "
             "were, so on a transparent part of the brush what is drawn does not show.\n"
             "- #SELMODE_COMBO: the colours, and where the brush has them the mask and the alpha channel "
             "at the pixels drawn. The mask is written as SetMaskMode says (#MASKVISIBLE, the start, makes "
             "them visible), the alpha channel at the level SetAlphaIntensity set. That level starts at 128, "
             "half see-through: set 255 first for opaque shapes. A brush with neither gets neither.\n"
             "\n"
             "The example draws an opaque red disc on a transparent brush; the shape's fill style is "
             "#FILLCOLOR, as shapes are outlines at the start.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound},
     .example = "CreateBrush(1, 64, 64, $000000, {AlphaChannel = True, Clear = True})\n"
                "SetFormStyle({FillStyle = #FILLCOLOR})\n"
                "SetAlphaIntensity(255)                ; opaque: the level starts at 128\n"
                "SelectBrush(1, #SELMODE_COMBO)        ; write the alpha channel too\n"
                "Circle(0, 0, 31, $FF0000)\n"
                "EndSelect()\n"
                "Box(0, 0, 200, 200, $FFFFFF)          ; the brush's corners show this white\n"
                "DisplayBrush(1, 68, 68)"},
    {.name = "CopyBrush", .synopsis = "[handle =] CopyBrush(source, id)", .arguments = {2, 2},
     .text = "Makes an independent copy of a brush.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound, kErrWrongUsage, kErrActiveBrush}},
    {.name = "SetBrushTransparency", .synopsis = "SetBrushTransparency(id, color)", .arguments = {2, 2},
     .text = "Makes every pixel of one colour transparent by giving the brush a mask from it; "
             "#NOTRANSPARENCY removes the mask.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound, kErrActiveBrush}},
    {.name = "LoadBrush", .synopsis = "[handle =] LoadBrush(id, file[, options | transparency][, loader1, loader2])",
     .arguments = {2, 5},
     .text = "Loads a picture file (PNG, JPEG, IFF ILBM, GIF, BMP and others) as a brush. Transparency "
             "names a colour to treat as transparent; LoadAlpha keeps the file's alpha channel (the two "
             "exclude each other); X, Y, Width and Height load only part of the picture. A number instead "
             "of the options table is the transparent colour. A GIF file that marks a colour transparent is "
             "keyed on that colour when no Transparency is given.",
     .options = "Transparency, LoadAlpha, X, Y, Width, Height, GlobalAlpha, Cache, CacheAlpha, CachedLoad",
     .errors = {kErrCannotReadFile, kErrImageUnknownFormat, kErrMaskAndAlphaChannel},
     .example = "LoadBrush(1, \"gfx/logo.png\", {LoadAlpha = True})"},
    {.name = "SelectMask", .synopsis = "SelectMask(id[, type, frame])", .arguments = {1, 3},
     .text = "Sends drawing into the mask of a brush (or of an anim frame with #ANIM), until "
             "[EndSelect](bgpic.md#endselect): colour 1 makes pixels visible, 0 invisible, as SetMaskMode says.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound, kErrBGPicNotFound}},
    {.name = "SetMaskMode", .synopsis = "SetMaskMode(mode)", .arguments = {1, 1},
     .text = "Chooses how drawing into a mask works: #MASKVISIBLE, #MASKINVISIBLE, #MASKVANILLACOPY, "
             "#MASKXOR, #MASKAND or #MASKOR."},
    {.name = "SaveBrush", .synopsis = "SaveBrush(id, file[, transparentcolor, format, options])",
     .arguments = {2, 5},
     .text = "Saves a brush as a picture file in the format #IMGFMT_BMP (the default), #IMGFMT_PNG, "
             "#IMGFMT_JPEG, #IMGFMT_GIF or #IMGFMT_ILBM.",
     .options = "Quality, Colors, Dither",
     .errors = {kErrCannotWriteFile, kErrBrushNotFound, kErrObjectNotFound}},
    {.name = "SelectAlphaChannel", .synopsis = "SelectAlphaChannel(id[, type, frame])", .arguments = {1, 3},
     .text = "Sends drawing into the alpha channel of a brush (or of an anim frame), until "
             "[EndSelect](bgpic.md#endselect); SetAlphaIntensity sets the level drawn.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound, kErrBGPicNotFound}},
    {.name = "SetAlphaIntensity", .synopsis = "SetAlphaIntensity(level)", .arguments = {1, 1},
     .text = "Sets the alpha level (0 transparent to 255 opaque, or a percentage string) that drawing into "
             "an alpha channel writes: one SelectAlphaChannel selected, or a brush's own in SelectBrush's "
             "#SELMODE_COMBO. The level starts at 128, so shapes drawn there come out half see-through until "
             "it is set to 255. #VANILLACOPY copies the source's own alpha (a shape's: its colour's "
             "opacity).",
     .errors = {kErrWrongUsage}},
    {.name = "DeleteAlphaChannel", .synopsis = "DeleteAlphaChannel(id)", .arguments = {1, 1},
     .text = "Removes a brush's alpha channel.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound}},
    {.name = "CropBrush", .synopsis = "CropBrush(id, x, y, width, height)", .arguments = {5, 5},
     .text = "Cuts a brush down to a rectangle of itself.",
     .errors = {kErrSizeNotPositive, kErrNegativeCoordinate, kErrCoordinatesOutOfRange, kErrBrushNotFound,
                kErrObjectNotFound, kErrActiveBrush}},
    {.name = "InvertMask", .synopsis = "InvertMask(id)", .arguments = {1, 1},
     .text = "Swaps the visible and invisible pixels of a brush's mask.",
     .errors = {kErrWrongUsage, kErrBrushNotFound, kErrObjectNotFound}},
    {.name = "InvertAlphaChannel", .synopsis = "InvertAlphaChannel(id)", .arguments = {1, 1},
     .text = "Inverts a brush's alpha channel, so opaque becomes transparent and back.",
     .errors = {kErrWrongUsage, kErrBrushNotFound, kErrObjectNotFound}},
    {.name = "FloodFill", .synopsis = "FloodFill(id, x, y, color, bordercolor)", .arguments = {3, 5},
     .text = "Fills the area around (x, y) in a brush with a colour, up to bordercolor. Both colours "
             "are required.",
     .errors = {kErrNegativeCoordinate, kErrCoordinatesOutOfRange, kErrBrushNotFound, kErrObjectNotFound}},
    {.name = "DeleteMask", .synopsis = "DeleteMask(id)", .arguments = {1, 1},
     .text = "Removes a brush's mask, so all its pixels are drawn.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound}},
    {.name = "BeginDoubleBuffer", .synopsis = "BeginDoubleBuffer()", .arguments = {0, 0},
     .text = "Starts double buffering on the current display: drawing goes to a hidden picture that Flip "
             "shows at once, for animation without flicker. Not available with layers.",
     .errors = {kErrSelectBGPicActive, kErrSelectBrushActive, kErrSelectMaskActive, kErrLayersMustBeOff,
                kErrEndDoubleBufferFirst, kErrDoubleBufferTransparent, kErrSelectAnimActive},
     .example = "CreateBrush(1, 32, 32, $FF0000)\n"
                "BeginDoubleBuffer()\n"
                "For i = 1 To 100\n"
                "    Cls()\n"
                "    DisplayBrush(1, i, 50)\n"
                "    Flip()\n"
                "Next\n"
                "EndDoubleBuffer()"},
    {.name = "EndDoubleBuffer", .synopsis = "EndDoubleBuffer()", .arguments = {0, 0},
     .text = "Ends double buffering; the display shows what was drawn last.",
     .errors = {kErrDoubleBufferNotActive}},
    {.name = "Flip", .synopsis = "Flip()", .arguments = {0, 0},
     .text = "Shows what was drawn into the hidden picture while double buffering, and gives the next frame "
             "a fresh hidden picture to draw into.",
     .errors = {kErrDoubleBufferNotActive}},
    {.name = "ConvertToBrush", .synopsis = "[handle =] ConvertToBrush(type, source, id[, frame])",
     .arguments = {3, 4},
     .text = "Makes a brush from another object, as GetBrushLink with its arguments in another order.",
     .errors = {kErrLayersRequired, kErrAnimFrameRange, kErrBGPicNotFound}},
    {.name = "GrabDesktop", .synopsis = "[handle =] GrabDesktop(id[, options])", .arguments = {1, 2},
     .text = "Copies what the screen shows (or the rectangle X, Y, Width, Height of it) into a new brush.",
     .options = "X, Y, Width, Height",
     .errors = {kErrOutOfMemory, kErrScreenUnreadable}},
    {.name = "TransformBrush", .synopsis = "TransformBrush(id, m1, m2, m3, m4[, smooth])",
     .arguments = {5, 6},
     .text = "Applies a 2x2 transformation matrix to a brush (m1 and m4 on the diagonal), for shearing, "
             "scaling and rotating in one step.",
     .errors = {kErrWrongUsage, kErrActiveBrush, kErrBrushNotFound, kErrObjectNotFound}},
    {.name = "TrimBrush", .synopsis = "left, top = TrimBrush(id)", .arguments = {1, 1},
     .text = "Cuts away the transparent border around a brush's picture and returns how far the kept part "
             "was from the left and top edges.",
     .errors = {kErrBrushNotFound, kErrObjectNotFound, kErrActiveBrush, kErrBrushFullyTransparent}},
    {},
};

const ConstantDoc kConstantDocs[] = {
    {"MASKVISIBLE", "SetMaskMode: drawing makes pixels visible."},
    {"MASKINVISIBLE", "SetMaskMode: drawing makes pixels invisible."},
    {"MASKVANILLACOPY", "SetMaskMode: the source's mask is copied as it is."},
    {"MASKXOR", "SetMaskMode: mask bits are combined with exclusive or."},
    {"MASKAND", "SetMaskMode: mask bits are combined with and."},
    {"MASKOR", "SetMaskMode: mask bits are combined with or."},
    {"VANILLACOPY", "SetAlphaIntensity: copy the source's alpha as it is."},
    {"SELMODE_NORMAL", "Select commands: draw into the picture only."},
    {"SELMODE_COMBO", "Select commands: drawing also writes the mask (by SetMaskMode) and the alpha channel "
                      "(at SetAlphaIntensity's level)."},
    {"SELMODE_LAYERS", "SelectBGPic: what is drawn becomes layers when the picture is shown."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kBrushReference;
const LibraryReference kBrushReference = {
    "Brushes: pictures a script loads, makes, changes and draws anywhere on the display, with masks "
    "and alpha channels; also double buffering.",
    kCommandDocs, kConstantDocs};
