// Reference rows of the graphics library: what tools/reference writes into docs/commands/graphics.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "GetAttribute", .synopsis = "value = GetAttribute(type, id, attribute[, ...])",
     .arguments = {3, kNoMaximum},
     .text = "Returns a property of an object: type is its kind, id its number or handle (a layer's position or "
             "name on the current picture), attribute one of the #ATTR constants. #ATTRCOUNT returns how many "
             "objects of the kind exist, for every kind below. The other attributes each kind answers:\n"
             "\n"
             "| kind | attributes |\n"
             "|---|---|\n"
             "| #BRUSH | #ATTRWIDTH, #ATTRHEIGHT, #ATTRTRANSPARENTCOLOR (-1 for none), #ATTRTYPE, #ATTRHASMASK, "
             "#ATTRHASALPHA |\n"
             "| #BGPIC | #ATTRWIDTH, #ATTRHEIGHT (the scaled size, as shown), #ATTRTRANSPARENTCOLOR |\n"
             "| #SPRITE, #ANIM | #ATTRWIDTH, #ATTRHEIGHT, #ATTRTRANSPARENTCOLOR |\n"
             "| #DISPLAY, #TEXTOBJECT, #CLIPREGION, #POINTER | #ATTRWIDTH, #ATTRHEIGHT |\n"
             "| #LAYER | #ATTRWIDTH, #ATTRHEIGHT: what the layer covers on the picture, scaled and turned |\n"
             "| #FONT | #ATTRFONTASCENDER, #ATTRFONTDESCENDER, #ATTRFONTNAME (a text), #ATTRFONTSIZE, "
             "#ATTRFONTSCALABLE, #ATTRFONTAA |\n"
             "| #SAMPLE | #ATTRTYPE, #ATTRDURATION (milliseconds), #ATTRPITCH, #ATTRPOSITION |\n"
             "| #MUSIC | #ATTRTYPE, #ATTRDURATION, #ATTRPITCH, #ATTRPOSITION, #ATTRFORMAT (a text), #ATTRBITRATE "
             "|\n"
             "| #FILE, #DIRECTORY, #MEMORY, #INTERVAL, #TIMEOUT, #ASYNCDRAW | #ATTRCOUNT only |\n"
             "\n"
             "Another attribute is 1055; an object that does not exist gives its kind's not-found error.",
     .errors = {kErrWrongUsage, kErrLayerOutOfRange, kErrBGPicNotFound, kErrIntervalNotFound,
                kErrDisplayNotFound, kErrClipRegionNotFound, kErrPointerNotFound},
     .example = "CreateBrush(1, 48, 32)\n"
                "Local w = GetAttribute(#BRUSH, 1, #ATTRWIDTH)   ; 48"},
    {.name = "SetFPSLimit", .synopsis = "SetFPSLimit(fps)", .arguments = {1, 1},
     .text = "Caps how many frames per second WaitFrame lets through; 0 removes the cap."},
    {.name = "AsyncDrawFrame", .synopsis = "done = AsyncDrawFrame(handle)", .arguments = {1, 1},
     .text = "Draws the next frame of an asynchronous effect or move (one started with Async = True) and "
             "returns True once it has finished; the handle is gone then.",
     .errors = {kErrObjectNotFound},
     .example = "CreateBrush(1, 32, 32, $00FF00)\n"
                "Local h = MoveBrush(1, 0, 0, 200, 0, {Async = True})\n"
                "While Not AsyncDrawFrame(h)\n"
                "    WaitFrame()\n"
                "Wend"},
    {.name = "SaveSnapshot", .synopsis = "SaveSnapshot(file[, format, options])", .arguments = {1, 3},
     .text = "Saves what the display (or the current output) shows as a picture file: #IMGFMT_BMP (the "
             "default), #IMGFMT_PNG, #IMGFMT_JPEG, #IMGFMT_GIF or #IMGFMT_ILBM.",
     .options = "Quality, Colors, Dither",
     .errors = {kErrCannotWriteFile, kErrWrongUsage}},
    {.name = "FinishAsyncDraw", .synopsis = "FinishAsyncDraw(handle)", .arguments = {1, 1},
     .text = "Ends an asynchronous effect or move at once, as if its last frame had been drawn.",
     .errors = {kErrObjectNotFound}},
    {.name = "WaitFrame", .synopsis = "WaitFrame()", .arguments = {0, 0},
     .text = "Waits for the next frame: the next step of the SetFPSLimit rate, or the screen's refresh when "
             "no limit is set."},
    {.name = "DumpObjects", .synopsis = "DumpObjects()", .arguments = {0, 0},
     .text = "Prints how many objects of each kind exist to the debug output, to find leaks."},
    {.name = "CreateClipRegion",
     .synopsis = "[handle =] CreateClipRegion(id, #BOX, x, y, width, height) or "
                 "CreateClipRegion(id, #BRUSH, brush, x, y)",
     .arguments = {5, 6},
     .text = "Creates a clip region, an area outside of which SetClipRegion stops drawing: a rectangle, or "
             "the opaque shape of a brush placed at (x, y). x and y are output pixels or position constants "
             "(#CENTER, #RIGHT - 10, ...), which place the region by its size and the current output's, as "
             "they place a brush. Any other numbers, even far outside the display, are pixels: a #BOX region "
             "holds exactly what they cover, however far it reaches.",
     .errors = {kErrSizeNotPositive, kErrWrongUsage, kErrBrushNotFound}},
    {.name = "SetClipRegion", .synopsis = "SetClipRegion(id)", .arguments = {1, 1},
     .text = "Makes drawing commands draw only inside a clip region; -1 lifts the clipping.",
     .errors = {kErrWrongUsage, kErrClipRegionNotFound, kErrObjectNotFound}},
    {.name = "FreeClipRegion", .synopsis = "FreeClipRegion(id)", .arguments = {1, 1},
     .text = "Frees a clip region.",
     .errors = {kErrClipRegionNotFound, kErrObjectNotFound}},
    {.name = "CreatePointer", .synopsis = "[handle =] CreatePointer(id, brush[, hotx, hoty])",
     .arguments = {2, 4},
     .text = "Creates a mouse pointer from a brush; (hotx, hoty) is the point of the picture that clicks.",
     .errors = {kErrWrongUsage, kErrBrushNotFound}},
    {.name = "SetPointer", .synopsis = "SetPointer(id)", .arguments = {1, 1},
     .text = "Shows a pointer made with CreatePointer over the current display, or the standard pointer "
             "(#SYSTEMPOINTER) or the busy one (#BUSYPOINTER).",
     .errors = {kErrWrongUsage, kErrPointerNotFound, kErrObjectNotFound}},
    {.name = "FreePointer", .synopsis = "FreePointer(id)", .arguments = {1, 1},
     .text = "Frees a pointer made with CreatePointer.",
     .errors = {kErrPointerNotFound, kErrObjectNotFound}},
    {.name = "HidePointer", .synopsis = "HidePointer()", .arguments = {0, 0},
     .text = "Hides the mouse pointer over the current display.",
     .errors = {kErrWrongUsage}},
    {.name = "ShowPointer", .synopsis = "ShowPointer()", .arguments = {0, 0},
     .text = "Shows the mouse pointer again after HidePointer.",
     .errors = {kErrWrongUsage}},
    {},
};

const ConstantDoc kConstantDocs[] = {
    {"BGPIC", "Object kind: a background picture."},
    {"SAMPLE", "Object kind: a sample."},
    {"BRUSH", "Object kind: a brush."},
    {"ANIM", "Object kind: an anim."},
    {"TEXTOBJECT", "Object kind: a text object."},
    {"TEXTOUT", "Object kind: text drawn with TextOut."},
    {"UNDO", "Object kind: an undo record."},
    {"PRINT", "Object kind: text drawn with Print."},
    {"BRUSHPART", "Object kind: part of a brush drawn with DisplayBrushPart."},
    {"BGPICPART", "Object kind: part of a background picture drawn with DisplayBGPicPart."},
    {"DISPLAY", "Object kind: a display."},
    {"LAYER", "Object kind: a layer."},
    {"HIDEBRUSH", "Object kind: a hidden brush (undo)."},
    {"INSERTBRUSH", "Object kind: an inserted brush (undo)."},
    {"HIDELAYER", "Object kind: a hidden layer (undo)."},
    {"REMOVELAYER", "Object kind: a removed layer (undo)."},
    {"MASK", "Object kind: a brush's mask."},
    {"SHAPE", "Object kind: a drawn shape."},
    {"NEXTFRAME", "Object kind: an anim frame drawn with NextFrame."},
    {"ALPHACHANNEL", "Object kind: a brush's alpha channel."},
    {"SPRITE", "Object kind: a sprite."},
    {"MUSIC", "Object kind: a music object."},
    {"NEXTFRAME2", "Object kind: an anim frame drawn with NextFrame on a layer."},
    {"CLIPREGION", "Object kind: a clip region."},
    {"POINTER", "Object kind: a mouse pointer."},
    {"ASYNCDRAW", "Object kind: an asynchronous drawing."},
    {"DOUBLEBUFFER", "Object kind: a double buffer."},
    {"MEMORY", "Object kind: a memory block."},
    {"EVENTHANDLER", "Object kind: an event handler."},
    {"INTERVAL", "Object kind: an interval."},
    {"TIMEOUT", "Object kind: a timeout."},
    {"FONT", "Object kind: a font."},
    {"FILE", "Object kind: an open file."},
    {"DIRECTORY", "Object kind: an open directory."},
    {"BRUSH_VS_BOX", "Collision test: a brush against a rectangle."},
    {"LAYER_VS_BOX", "Collision test: a layer against a rectangle."},
    {"SPRITE_VS_BOX", "Collision test: a sprite against a rectangle."},
    {"VECTORPATH", "Object kind: a vector path."},
    {"NORMALSPEED", "Effect speed: normal."},
    {"FASTSPEED", "Effect speed: fast."},
    {"SLOWSPEED", "Effect speed: slow."},
    {"DEFAULTSPEED", "Effect speed: the default."},
    {"ANMFMT_GIF", "Anim format: GIF."},
    {"ANMFMT_MJPEG", "Anim format: AVI with motion JPEG."},
    {"IMGFMT_BMP", "Picture format: BMP."},
    {"IMGFMT_PNG", "Picture format: PNG."},
    {"IMGFMT_JPEG", "Picture format: JPEG."},
    {"IMGFMT_GIF", "Picture format: GIF."},
    {"IMGFMT_ILBM", "Picture format: IFF ILBM."},
    {"ADF_FX", "Asynchronous drawing of a transition effect."},
    {"ADF_ANIM", "Asynchronous drawing of an anim."},
    {"CENTER", "Position: centred."},
    {"LEFT", "Position: at the left edge."},
    {"RIGHT", "Position: at the right edge."},
    {"TOP", "Position: at the top edge."},
    {"BOTTOM", "Position: at the bottom edge."},
    {"LEFTOUT", "Position: just outside the left edge."},
    {"RIGHTOUT", "Position: just outside the right edge."},
    {"TOPOUT", "Position: just above the top edge."},
    {"BOTTOMOUT", "Position: just below the bottom edge."},
    {"KEEPASPRAT", "Size: computed from the other side to keep the aspect ratio."},
    {"MASKVISIBLE", "Mask drawing: draw visible pixels."},
    {"MASKINVISIBLE", "Mask drawing: draw invisible pixels."},
    {"ATTRWIDTH", "Attribute: the width."},
    {"ATTRHEIGHT", "Attribute: the height."},
    {"ATTRTRANSPARENTCOLOR", "Attribute: the transparent colour."},
    {"ATTRHASMASK", "Attribute: whether there is a mask."},
    {"ATTRHASALPHA", "Attribute: whether there is an alpha channel."},
    {"ATTRTYPE", "Attribute: the type."},
    {"ATTRDURATION", "Attribute: the length in milliseconds."},
    {"ATTRPITCH", "Attribute: the playback rate."},
    {"ATTRPOSITION", "Attribute: the playing position."},
    {"ATTRFORMAT", "Attribute: the file format."},
    {"ATTRBITRATE", "Attribute: the bit rate."},
    {"ATTRFONTASCENDER", "Attribute: the font's height above the base line."},
    {"ATTRFONTDESCENDER", "Attribute: the font's depth below the base line."},
    {"ATTRFONTNAME", "Attribute: the font's name."},
    {"ATTRFONTSIZE", "Attribute: the font's size."},
    {"ATTRFONTSCALABLE", "Attribute: whether the font can be scaled."},
    {"ATTRFONTAA", "Attribute: whether the font is anti-aliased."},
    {"ATTRCOUNT", "Attribute: how many objects of the kind exist."},
    {"SYSTEMPOINTER", "SetPointer: the standard pointer."},
    {"BUSYPOINTER", "SetPointer: the busy pointer."},
    {"NOTRANSPARENCY", "No transparent colour."},
    {"USELAYERPOSITION", "Position: keep the layer's position."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kGraphicsReference;
const LibraryReference kGraphicsReference = {
    "Drawing services shared by every library: object attributes, frame pacing, asynchronous drawing, "
    "snapshots, clip regions and mouse pointers.",
    kCommandDocs, kConstantDocs};
