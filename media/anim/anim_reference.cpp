// Reference rows of the anim library: what tools/reference writes into docs/commands/anim.md.
#include "imaging/display_options.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "PlayAnim", .synopsis = "PlayAnim(id, x, y[, options | speed, times])", .arguments = {3, 5},
     .text = "Plays an anim at (x, y), from frame 1 (frames count from 1) to the last: Times runs it that many "
             "times (0 for ever), Speed sets the pause between frames in ticks, and Async returns at once with a "
             "handle for AsyncDrawFrame. With layers on the anim becomes one layer, left showing the last frame; "
             "GetLayerStyle gives the number of the frame it shows.",
     .options = "Speed, Times, Async, " VL_DISPLAY_OPTION_KEYS,
     .errors = {kErrAnimNotFound, kErrObjectNotFound, kErrAnimFrameLoad, kErrSelectAnimActive},
     .example = "LoadAnim(1, \"walk.gif\")\n"
                "PlayAnim(1, #CENTER, #CENTER, {Times = 2})"},
    {.name = "FreeAnim", .synopsis = "FreeAnim(id)", .arguments = {1, 1},
     .text = "Frees an anim.",
     .errors = {kErrAnimNotFound, kErrObjectNotFound, kErrActiveAnim}},
    {.name = "ScaleAnim", .synopsis = "ScaleAnim(id, width, height[, smooth])", .arguments = {3, 4},
     .text = "Scales every frame of an anim that is not playing.",
     .errors = {kErrActiveAnim, kErrOutOfMemory, kErrAnimNotFound, kErrObjectNotFound}},
    {.name = "PlayAnimDisk", .synopsis = "PlayAnimDisk(file[, x, y, unused, speed, transparentcolor, times])",
     .arguments = {1, 7},
     .text = "Plays an animation file straight from disk without loading all of it, for long animations.",
     .errors = {kErrCannotReadFile, kErrAnimFrameLoad, kErrImageUnknownFormat}},
    {.name = "LoadAnimFrame", .synopsis = "[handle =] LoadAnimFrame(brush, frame, file[, transparentcolor])",
     .arguments = {3, 4},
     .text = "Makes a brush from one frame of an animation file without loading the whole anim; -1 takes "
             "the last frame.",
     .errors = {kErrAnimFrameLoad, kErrAnimFrameRange, kErrCannotReadFile, kErrAnimUnknownFormat}},
    {.name = "LoadAnim", .synopsis = "[handle =] LoadAnim(id, file[, options])", .arguments = {2, 3},
     .text = "Loads an animation file, or a picture cut into frames with Width, Height, Frames and FPR "
             "(frames per row). FromDisk reads the frames only when they are shown. A GIF file that marks a "
             "colour transparent is keyed on that colour when the options give no Transparency; a "
             "Transparency given wins.",
     .options = "Transparency, LoadAlpha, X, Y, Width, Height, Frames, FPR, FromDisk, Cache, CacheAlpha, "
                "CachedLoad",
     .errors = {kErrCannotReadFile, kErrAnimFrameLoad, kErrMaskAndAlphaChannel, kErrWrongUsage,
                kErrNegativeCoordinate, kErrBrushSizeMismatch, kErrActiveAnim, kErrImageUnknownFormat}},
    {.name = "IsAnim", .synopsis = "ok = IsAnim(file)", .arguments = {1, 1},
     .text = "Returns True when the file is an animation format the player can read."},
    {.name = "CreateAnim",
     .synopsis = "[handle =] CreateAnim(id, brush, width, height, frames, perrow[, x, y])",
     .arguments = {6, 8},
     .text = "Builds an anim by cutting frames of width by height out of a brush, perrow frames to a row, "
             "starting at (x, y).",
     .errors = {kErrOutOfMemory, kErrBrushSizeMismatch, kErrActiveAnim}},
    {.name = "CopyAnim", .synopsis = "[handle =] CopyAnim(source, id)", .arguments = {2, 2},
     .text = "Makes an independent copy of an anim.",
     .errors = {kErrWrongUsage, kErrAnimNotFound}},
    {.name = "GetAnimFrame", .synopsis = "[handle =] GetAnimFrame(brush, frame, id)", .arguments = {3, 3},
     .text = "Makes a brush from a frame of an anim (frames count from 1).",
     .errors = {kErrAnimFrameRange, kErrAnimNotFound}},
    {.name = "DisplayAnimFrame", .synopsis = "DisplayAnimFrame(id, x, y, frame[, options])",
     .arguments = {4, 5},
     .text = "Draws one frame of an anim at (x, y): frames count from 1, and 0 or a frame past the last gives "
             "1094. The options are those of DisplayBrush. With layers on the anim becomes a layer whose frame "
             "NextFrame changes.",
     .options = "Width, Height, ScaleX, ScaleY, Rotate, Transform, SmoothScale, AnchorX, AnchorY, "
                "Transparency, Tint, TintColor, Name, Hidden, InsertPos",
     .errors = {kErrAnimFrameRange, kErrAnimNotFound, kErrObjectNotFound}},
    {.name = "ModifyAnimFrames", .synopsis = "ModifyAnimFrames(id, change[, position])", .arguments = {2, 3},
     .text = "Adds empty frames to an anim (a positive change) or removes frames (a negative one) at "
             "position. The number is a change, not the new total.",
     .errors = {kErrAnimNotFound, kErrObjectNotFound, kErrObjectLocked, kErrDiskAnim}},
    {.name = "SelectAnim", .synopsis = "SelectAnim(id, frame[, mode])", .arguments = {2, 3},
     .text = "Sends the drawing commands into a frame of an anim until [EndSelect](bgpic.md#endselect).",
     .errors = {kErrAnimNotFound, kErrObjectNotFound, kErrAnimFrameRange}},
    {.name = "SaveAnim", .synopsis = "SaveAnim(id, file[, format, options])", .arguments = {2, 4},
     .text = "Saves an anim as a file: #ANMFMT_GIF or #ANMFMT_MJPEG (AVI), among others.",
     .options = "Quality, Colors, Dither, FPS, Delay, Optimize, Transparency",
     .errors = {kErrCannotWriteFile, kErrOutOfMemory, kErrWrongUsage, kErrAnimNotFound, kErrObjectNotFound}},
    {.name = "BeginAnimStream",
     .synopsis = "[handle =] BeginAnimStream(id, file, width, height[, format, options])",
     .arguments = {4, 6},
     .text = "Starts writing an animation file frame by frame, for animations too long to keep in memory; "
             "WriteAnimFrame adds frames and FinishAnimStream closes the file.",
     .options = "Quality, FPS",
     .errors = {kErrWrongUsage}},
    {.name = "WriteAnimFrame", .synopsis = "WriteAnimFrame(stream, brush[, options])", .arguments = {2, 3},
     .text = "Adds a brush as the next frame of an animation stream; X and Y place it in the frame.",
     .options = "X, Y, Delay, Colors, Dither, Optimize, Transparency",
     .errors = {kErrOutOfMemory, kErrAnimStreamNotFound, kErrBrushNotFound}},
    {.name = "FinishAnimStream", .synopsis = "FinishAnimStream(stream)", .arguments = {1, 1},
     .text = "Finishes and closes an animation stream.",
     .errors = {kErrAnimStreamNotFound}},
    {.name = "SetAnimFrameDelay", .synopsis = "SetAnimFrameDelay(id, frame, delay)", .arguments = {3, 3},
     .text = "Sets how long one frame of an anim is shown, in milliseconds.",
     .errors = {kErrAnimFrameRange, kErrWrongUsage, kErrAnimNotFound, kErrObjectNotFound}},
    {},
};

} // namespace

extern const LibraryReference kAnimReference;
const LibraryReference kAnimReference = {
    "Anims: animations loaded from files (IFF ANIM, GIF, AVI and others) or built from brushes, "
    "played, drawn frame by frame, edited and saved.",
    kCommandDocs, nullptr};
