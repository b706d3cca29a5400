// Reference rows of the anim library: what tools/reference writes into docs/commands/anim.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"PlayAnim", "PlayAnim(id, x, y[, options | speed, times])",
     "Plays an anim at (x, y): Times runs it that many times (0 for ever), Speed sets the pause between "
     "frames in ticks, and Async returns at once with a handle for AsyncDrawFrame.",
     "Speed, Times, Async", {kErrAnimNotFound, kErrObjectNotFound},
     "LoadAnim(1, \"walk.gif\")\n"
     "PlayAnim(1, #CENTER, #CENTER, {Times = 2})"},
    {"FreeAnim", "FreeAnim(id)",
     "Frees an anim.",
     nullptr, {kErrAnimNotFound, kErrObjectNotFound}},
    {"ScaleAnim", "ScaleAnim(id, width, height[, smooth])",
     "Scales every frame of an anim that is not playing.",
     nullptr, {kErrActiveAnim, kErrOutOfMemory, kErrAnimNotFound, kErrObjectNotFound}},
    {"PlayAnimDisk", "PlayAnimDisk(file[, x, y, unused, speed, transparentcolor, times])",
     "Plays an animation file straight from disk without loading all of it, for long animations."},
    {"LoadAnimFrame", "[handle =] LoadAnimFrame(brush, frame, file[, transparentcolor])",
     "Makes a brush from one frame of an animation file without loading the whole anim; -1 takes the "
     "last frame.",
     nullptr, {kErrAnimFrameLoad, kErrAnimFrameRange}},
    {"LoadAnim", "[handle =] LoadAnim(id, file[, options])",
     "Loads an animation file, or a picture cut into frames with Width, Height, Frames and FPR (frames "
     "per row). FromDisk reads the frames only when they are shown.",
     "Transparency, LoadAlpha, X, Y, Width, Height, Frames, FPR, FromDisk, Cache, CacheAlpha, "
     "CachedLoad", {kErrCannotReadFile, kErrAnimFrameLoad, kErrMaskAndAlphaChannel, kErrWrongUsage}},
    {"IsAnim", "ok = IsAnim(file)",
     "Returns True when the file is an animation format the player can read."},
    {"CreateAnim", "[handle =] CreateAnim(id, brush, width, height, frames, perrow[, x, y])",
     "Builds an anim by cutting frames of width by height out of a brush, perrow frames to a row, "
     "starting at (x, y).",
     nullptr, {kErrOutOfMemory}},
    {"CopyAnim", "[handle =] CopyAnim(source, id)",
     "Makes an independent copy of an anim.",
     nullptr, {kErrWrongUsage}},
    {"GetAnimFrame", "[handle =] GetAnimFrame(brush, frame, id)",
     "Makes a brush from a frame of an anim (frames count from 1).",
     nullptr, {kErrAnimFrameRange}},
    {"DisplayAnimFrame", "DisplayAnimFrame(id, x, y, frame[, options])",
     "Draws one frame of an anim at (x, y); the options are those of DisplayBrush. With layers on the "
     "anim becomes a layer whose frame NextFrame changes.",
     "Width, Height, ScaleX, ScaleY, Rotate, Transform, SmoothScale, AnchorX, AnchorY, Transparency, "
     "Tint, TintColor, Name, Hidden, InsertPos", {kErrAnimFrameRange, kErrAnimNotFound, kErrObjectNotFound}},
    {"ModifyAnimFrames", "ModifyAnimFrames(id, change[, position])",
     "Adds empty frames to an anim (a positive change) or removes frames (a negative one) at position. "
     "The number is a change, not the new total.",
     nullptr, {kErrAnimNotFound, kErrObjectNotFound}},
    {"SelectAnim", "SelectAnim(id, frame[, mode])",
     "Sends the drawing commands into a frame of an anim until EndSelect.",
     nullptr, {kErrAnimNotFound, kErrObjectNotFound}},
    {"SaveAnim", "SaveAnim(id, file[, format, options])",
     "Saves an anim as a file: #ANMFMT_GIF or #ANMFMT_MJPEG (AVI), among others.",
     "Quality, Colors, Dither, FPS, Delay, Optimize",
     {kErrCannotWriteFile, kErrOutOfMemory, kErrWrongUsage, kErrAnimNotFound, kErrObjectNotFound}},
    {"BeginAnimStream", "[handle =] BeginAnimStream(id, file, width, height[, format, options])",
     "Starts writing an animation file frame by frame, for animations too long to keep in memory; "
     "WriteAnimFrame adds frames and FinishAnimStream closes the file.",
     "Quality, Colors, Dither, FPS, Delay", {kErrWrongUsage}},
    {"WriteAnimFrame", "WriteAnimFrame(stream, brush[, options])",
     "Adds a brush as the next frame of an animation stream; X and Y place it in the frame.",
     "X, Y, Delay", {kErrOutOfMemory}},
    {"FinishAnimStream", "FinishAnimStream(stream)",
     "Finishes and closes an animation stream."},
    {"SetAnimFrameDelay", "SetAnimFrameDelay(id, frame, delay)",
     "Sets how long one frame of an anim is shown, in milliseconds.",
     nullptr, {kErrAnimFrameRange, kErrWrongUsage, kErrAnimNotFound, kErrObjectNotFound}},
    {nullptr, nullptr, nullptr},
};

} // namespace

extern const LibraryReference kAnimReference;
const LibraryReference kAnimReference = {
    "Anims: animations loaded from files (IFF ANIM, GIF, AVI and others) or built from brushes, "
    "played, drawn frame by frame, edited and saved.",
    kCommandDocs, nullptr};
