// Reference rows of the moveobject library: what tools/reference writes into docs/commands/moveobject.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "MoveBrush", .synopsis = "MoveBrush(id, x1, y1, x2, y2[, options | speed, fx])",
     .arguments = {5, 7},
     .text = "Moves a brush across the display from (x1, y1) to (x2, y2), restoring what it passes over. "
             "Speed is pixels per frame; fx is a motion curve such as #BOUNCE or #SMOOTHOUT; with Async the "
             "command returns at once and AsyncDrawFrame plays the move.",
     .options = "Speed, FX, Async, AnimSpeed",
     .errors = {kErrSelectBrushActive, kErrSelectAlphaChannelActive, kErrNumberFieldExpected,
                kErrEndDoubleBufferFirst, kErrBrushNotFound},
     .example = "CreateBrush(1, 32, 32, $FF0000)\n"
                "MoveBrush(1, 0, 100, 300, 100, {Speed = 4, FX = #SMOOTHOUT})"},
    {.name = "MoveTextObject", .synopsis = "MoveTextObject(id, x1, y1, x2, y2[, options | speed, fx])",
     .arguments = {5, 7},
     .text = "Moves a text object across the display, as MoveBrush.",
     .options = "Speed, FX, Async, AnimSpeed",
     .errors = {kErrTextObjectNotFound}},
    {.name = "MoveLayer", .synopsis = "MoveLayer(layer, x1, y1, x2, y2[, options | speed, fx])",
     .arguments = {5, 7},
     .text = "Moves a layer (by number or name) from one position to another, as MoveBrush.",
     .options = "Speed, FX, Async, AnimSpeed",
     .errors = {kErrLayerOutOfRange, kErrSelectBrushActive, kErrNumberFieldExpected, kErrLayerNameNotFound}},
    {.name = "MoveAnim", .synopsis = "MoveAnim(id, x1, y1, x2, y2[, options | speed, animspeed, fx])",
     .arguments = {5, 8},
     .text = "Moves an anim across the display while playing it; animspeed is how many moving steps each "
             "frame stays.",
     .options = "Speed, AnimSpeed, FX, Async",
     .errors = {kErrAnimNotFound}},
    {.name = "MoveSprite", .synopsis = "MoveSprite(id, x1, y1, x2, y2[, options | speed, animspeed, fx])",
     .arguments = {5, 8},
     .text = "Moves a sprite across the display while stepping through its frames, as MoveAnim.",
     .options = "Speed, AnimSpeed, FX, Async",
     .errors = {kErrSelectBrushActive, kErrLayersMustBeOff, kErrNumberFieldExpected, kErrEndDoubleBufferFirst}},
    {},
};

const ConstantDoc kConstantDocs[] = {
    {"BOUNCE", "Move curve: bounce at the end."},
    {"SMOOTHOUT", "Move curve: slow down towards the end."},
    {"DAMPED", "Move curve: swing past the end and settle."},
    {"SINE", "Move curve: a sine wave across the path."},
    {"BIGSINE", "Move curve: a wide sine wave across the path."},
    {"LOWERCURVE", "Move curve: an arc below the straight path."},
    {"UPPERCURVE", "Move curve: an arc above the straight path."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kMoveObjectReference;
const LibraryReference kMoveObjectReference = {
    "Moving objects across the display from one point to another, at a speed, with optional motion "
    "curves.",
    kCommandDocs, kConstantDocs};
