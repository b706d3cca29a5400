// Reference rows of the brush library: what tools/reference writes into docs/commands/brush.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"CreateBrush", "[handle =] CreateBrush(id, width, height[, color, options])",
     "Creates a brush of the given size filled with one colour (black by default). Mask or AlphaChannel "
     "give it a mask or an alpha channel (not both); Clear makes it fully transparent.",
     "Mask, AlphaChannel, Clear", {kErrSizeNotPositive, kErrWrongUsage},
     "CreateBrush(1, 32, 32, $FF0000)\n"
     "DisplayBrush(1, #CENTER, #CENTER)"},
    {"DisplayBrush", "DisplayBrush(id, x, y[, options])",
     "Draws a brush with its top-left corner at (x, y); #CENTER and the other position constants place "
     "it relative to the display. With layers on it becomes a new layer. The options draw it scaled, "
     "rotated, tinted or see-through without changing the brush.",
     "Width, Height, ScaleX, ScaleY, Rotate, Transform, SmoothScale, AnchorX, AnchorY, Transparency, "
     "Tint, TintColor, Name, Hidden, InsertPos", {kErrBrushNotFound, kErrObjectNotFound},
     "LoadBrush(1, \"gfx/ship.png\")\n"
     "DisplayBrush(1, 100, 50, {Rotate = 45})"},
    {"DisplayBrushPart", "DisplayBrushPart(id, srcx, srcy, x, y, width, height[, options])",
     "Draws the rectangle (srcx, srcy, width, height) of a brush at (x, y), as DisplayBrush.",
     "Width, Height, ScaleX, ScaleY, Rotate, Transform, SmoothScale, AnchorX, AnchorY, Transparency, "
     "Tint, TintColor, Name, Hidden, InsertPos", {kErrBrushNotFound, kErrObjectNotFound}},
    {"ScaleBrush", "ScaleBrush(id, width, height[, smooth])",
     "Scales a brush to a new size; \"50%\"-style strings and #KEEPASPRAT are allowed, and smooth asks "
     "for interpolation.",
     nullptr, {kErrSizeNotPositive, kErrWrongUsage, kErrBrushNotFound, kErrObjectNotFound}},
    {"FreeBrush", "FreeBrush(id)",
     "Frees a brush.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound}},
    {"TintBrush", "TintBrush(id, color, level)",
     "Tints a brush towards a colour; level runs from 0 (unchanged) to 255 (all the colour), or as a "
     "percentage string.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound}},
    {"ReplaceColors", "ReplaceColors(id, colors)",
     "Replaces colours in a brush: the table holds pairs of old and new colours, {old1, new1, old2, "
     "new2, ...}.",
     nullptr, {kErrActiveBrush, kErrWrongUsage, kErrBrushNotFound, kErrObjectNotFound}},
    {"InvertBrush", "InvertBrush(id)",
     "Inverts the colours of a brush.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound}},
    {"FlipBrush", "FlipBrush(id, direction)",
     "Mirrors a brush: 0 turns it upside down, any other value mirrors it left to right.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound}},
    {"MixBrush", "MixBrush(id1, id2, level)",
     "Blends the second brush into the first; level runs from 0 (first only) to 255 (second only)."},
    {"BrushToGray", "BrushToGray(id)",
     "Turns a brush into shades of grey.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound}},
    {"RotateBrush", "RotateBrush(id, angle[, scalex, scaley, smooth])",
     "Rotates a brush by angle degrees (anticlockwise), optionally scaling it too; the brush grows to "
     "hold the rotated picture.",
     nullptr, {kErrWrongUsage, kErrBrushNotFound, kErrObjectNotFound}},
    {"GetBrushLink", "[handle =] GetBrushLink(id, type, source[, frame])",
     "Makes a brush from another object (#BGPIC, #ANIM frame, #LAYER, #SPRITE frame, #TEXTOBJECT, ...).",
     nullptr, {kErrLayersRequired}},
    {"SelectBrush", "SelectBrush(id[, mode])",
     "Sends the drawing commands into a brush instead of the display, until EndSelect. With "
     "#SELMODE_COMBO drawing also updates the brush's mask and alpha channel.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound},
     "SelectBrush(1)\n"
     "Box(0, 0, 10, 10, $FFFFFF)\n"
     "EndSelect()"},
    {"CopyBrush", "[handle =] CopyBrush(source, id)",
     "Makes an independent copy of a brush.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound, kErrWrongUsage}},
    {"SetBrushTransparency", "SetBrushTransparency(id, color)",
     "Makes every pixel of one colour transparent by giving the brush a mask from it; #NOTRANSPARENCY "
     "removes the mask.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound}},
    {"LoadBrush", "[handle =] LoadBrush(id, file[, options])",
     "Loads a picture file (PNG, JPEG, IFF ILBM, GIF, BMP and others) as a brush. Transparency names a "
     "colour to treat as transparent; LoadAlpha keeps the file's alpha channel (the two exclude each "
     "other); X, Y, Width and Height load only part of the picture. A number instead of the options "
     "table is the transparent colour.",
     "Transparency, LoadAlpha, X, Y, Width, Height, GlobalAlpha, Cache, CacheAlpha, CachedLoad",
     {kErrCannotReadFile, kErrImageUnknownFormat, kErrMaskAndAlphaChannel},
     "LoadBrush(1, \"gfx/logo.png\", {LoadAlpha = True})"},
    {"SelectMask", "SelectMask(id[, type, frame])",
     "Sends drawing into the mask of a brush (or of an anim frame with #ANIM), until EndSelect: colour "
     "1 makes pixels visible, 0 invisible, as SetMaskMode says.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound}},
    {"SetMaskMode", "SetMaskMode(mode)",
     "Chooses how drawing into a mask works: #MASKVISIBLE, #MASKINVISIBLE, #MASKVANILLACOPY, #MASKXOR, "
     "#MASKAND or #MASKOR."},
    {"SaveBrush", "SaveBrush(id, file[, transparentcolor, format, options])",
     "Saves a brush as a picture file in the format #IMGFMT_BMP (the default), #IMGFMT_PNG, "
     "#IMGFMT_JPEG, #IMGFMT_GIF or #IMGFMT_ILBM.",
     "Quality, Colors, Dither", {kErrCannotWriteFile, kErrBrushNotFound, kErrObjectNotFound}},
    {"SelectAlphaChannel", "SelectAlphaChannel(id[, type, frame])",
     "Sends drawing into the alpha channel of a brush (or of an anim frame), until EndSelect; "
     "SetAlphaIntensity sets the level drawn.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound}},
    {"SetAlphaIntensity", "SetAlphaIntensity(level)",
     "Sets the alpha level (0 transparent to 255 opaque, or a percentage string) that drawing into an "
     "alpha channel writes; #VANILLACOPY copies the source's own alpha.",
     nullptr, {kErrWrongUsage}},
    {"DeleteAlphaChannel", "DeleteAlphaChannel(id)",
     "Removes a brush's alpha channel.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound}},
    {"CropBrush", "CropBrush(id, x, y, width, height)",
     "Cuts a brush down to a rectangle of itself.",
     nullptr,
     {kErrSizeNotPositive, kErrNegativeCoordinate, kErrCoordinatesOutOfRange, kErrBrushNotFound,
      kErrObjectNotFound}},
    {"InvertMask", "InvertMask(id)",
     "Swaps the visible and invisible pixels of a brush's mask.",
     nullptr, {kErrWrongUsage, kErrBrushNotFound, kErrObjectNotFound}},
    {"InvertAlphaChannel", "InvertAlphaChannel(id)",
     "Inverts a brush's alpha channel, so opaque becomes transparent and back.",
     nullptr, {kErrWrongUsage, kErrBrushNotFound, kErrObjectNotFound}},
    {"FloodFill", "FloodFill(id, x, y, color[, bordercolor])",
     "Fills the area around (x, y) in a brush with a colour: the area of the same colour, or everything "
     "up to bordercolor when given.",
     nullptr, {kErrNegativeCoordinate, kErrCoordinatesOutOfRange, kErrBrushNotFound, kErrObjectNotFound}},
    {"DeleteMask", "DeleteMask(id)",
     "Removes a brush's mask, so all its pixels are drawn.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound}},
    {"BeginDoubleBuffer", "BeginDoubleBuffer()",
     "Starts double buffering on the current display: drawing goes to a hidden picture that Flip shows "
     "at once, for animation without flicker. Not available with layers.",
     nullptr, {},
     "BeginDoubleBuffer()\n"
     "For i = 1 To 100\n"
     "    Cls()\n"
     "    DisplayBrush(1, i, 50)\n"
     "    Flip()\n"
     "Next\n"
     "EndDoubleBuffer()"},
    {"EndDoubleBuffer", "EndDoubleBuffer()",
     "Ends double buffering; the display shows what was drawn last.",
     nullptr, {kErrDoubleBufferNotActive}},
    {"Flip", "Flip()",
     "Shows what was drawn into the hidden picture while double buffering, and gives the next frame a "
     "fresh hidden picture to draw into.",
     nullptr, {kErrDoubleBufferNotActive}},
    {"ConvertToBrush", "[handle =] ConvertToBrush(type, source, id[, frame])",
     "Makes a brush from another object, as GetBrushLink with its arguments in another order.",
     nullptr, {kErrLayersRequired}},
    {"GrabDesktop", "[handle =] GrabDesktop(id[, options])",
     "Copies what the screen shows (or the rectangle X, Y, Width, Height of it) into a new brush.",
     "X, Y, Width, Height"},
    {"TransformBrush", "TransformBrush(id, m1, m2, m3, m4[, smooth])",
     "Applies a 2x2 transformation matrix to a brush (m1 and m4 on the diagonal), for shearing, scaling "
     "and rotating in one step.",
     nullptr, {kErrWrongUsage, kErrActiveBrush, kErrBrushNotFound, kErrObjectNotFound}},
    {"TrimBrush", "left, top = TrimBrush(id)",
     "Cuts away the transparent border around a brush's picture and returns how far the kept part was "
     "from the left and top edges.",
     nullptr, {kErrBrushNotFound, kErrObjectNotFound}},
    {nullptr, nullptr, nullptr},
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
    {"SELMODE_COMBO", "Select commands: drawing also updates the mask and alpha channel."},
    {"SELMODE_LAYERS", "SelectBGPic: what is drawn becomes layers when the picture is shown."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kBrushReference;
const LibraryReference kBrushReference = {
    "Brushes: pictures a script loads, makes, changes and draws anywhere on the display, with masks "
    "and alpha channels; also double buffering.",
    kCommandDocs, kConstantDocs};
