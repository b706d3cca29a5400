// Reference rows of the layers library: what tools/reference writes into docs/commands/layers.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"Undo", "Undo(type[, id, level, norefresh])",
     "Takes back a drawing: the last object of a kind (#BRUSH, #TEXTOBJECT, #BOX, ...) or the one with "
     "the id; level picks an older drawing of the same object. Needs layers.",
     nullptr, {kErrLayerUsedByAsyncDraw},
     "DisplayBrush(1, 10, 10)\n"
     "Undo(#BRUSH, 1)"},
    {"EnableLayers", "EnableLayers()",
     "Turns layers on for the current display: from now on every drawing becomes a layer.",
     nullptr,
     {kErrLayerModeDuringAsyncDraw, kErrEndDoubleBufferFirst, kErrLayersDuringOffscreen,
      kErrRemoveSpritesFirst, kErrWrongUsage}},
    {"DisableLayers", "DisableLayers()",
     "Turns layers off for the current display; the picture keeps what the layers showed.",
     nullptr, {kErrLayerModeDuringAsyncDraw, kErrLayersDuringOffscreen, kErrLayersWithScaling, kErrWrongUsage}},
    {"SwapLayers", "SwapLayers(layer1, layer2)",
     "Exchanges the places of two layers in the stacking order.",
     nullptr, {kErrWrongUsage}},
    {"InsertLayer", "InsertLayer(position, type, id, x, y[, hidden])",
     "Inserts an object (#BRUSH, #ANIM or #TEXTOBJECT) as a new layer at a position in the stacking "
     "order.",
     nullptr, {kErrWrongUsage, kErrInvalidInsertPosition}},
    {"ShowLayer", "ShowLayer(layer[, x, y])",
     "Shows a hidden layer, optionally at a new position."},
    {"HideLayer", "HideLayer(layer)",
     "Hides a layer without removing it."},
    {"RemoveLayer", "RemoveLayer(layer)",
     "Removes a layer.",
     nullptr, {kErrLayerUsedByAsyncDraw}},
    {"SetLayerTransparency", "SetLayerTransparency(layer, level)",
     "Makes a layer see-through: level runs from 0 (opaque) to 255, or is a percentage string."},
    {"SetLayerLight", "SetLayerLight(layer, color, level)",
     "Tints a layer towards a colour by level (0 to 255)."},
    {"SetLayerTint", "SetLayerTint(layer, color, level)",
     "Tints a layer towards a colour by level (0 to 255), as SetLayerLight."},
    {"AddMove", "[handle =] AddMove(queue, type, object[, x, y, extra])",
     "Adds a step to a move queue: showing, hiding or moving a layer, drawing a brush, a new anim frame "
     "and so on. DoMove then carries out all steps of the queue in one refresh.",
     nullptr, {kErrMoveQueueNotFound, kErrObjectNotFound}},
    {"ClearMove", "ClearMove(queue)",
     "Empties a move queue.",
     nullptr, {kErrMoveQueueNotFound, kErrObjectNotFound}},
    {"DoMove", "DoMove(queue)",
     "Carries out every step of a move queue at once and empties it, so several layers change in one "
     "frame.",
     nullptr, {kErrMoveQueueNotFound, kErrObjectNotFound}},
    {"FreeLayers", "FreeLayers([keep])",
     "Removes every layer of the current display; with keep set to True what they show stays in the "
     "picture.",
     nullptr, {kErrLayerUsedByAsyncDraw, kErrWrongUsage}},
    {"NextFrame", "NextFrame(layer[, x, y, frame])",
     "Shows the next frame (or the given one) of an anim layer, optionally moving it.",
     nullptr, {kErrNotAnimLayer}},
    {"SetLayerName", "SetLayerName(layer, name)",
     "Gives a layer a name, by which the other layer commands can then find it.",
     nullptr, {kErrLayerNameTaken, kErrNameTooLong, kErrOutOfMemory}},
    {"Collision", "hit = Collision(type, ...)",
     "Tests whether two things overlap, pixel by pixel where they have masks: #BOX (two rectangles), "
     "#BRUSH (two brushes at positions), #LAYER (two layers), #SPRITE (two sprites on the display), or "
     "#BRUSH_VS_BOX, #LAYER_VS_BOX, #SPRITE_VS_BOX against a rectangle.",
     nullptr, {},
     "If Collision(#SPRITE, 1, 2) Then DebugPrint(\"hit\") EndIf"},
    {"DumpLayers", "DumpLayers([block])",
     "Prints the layers of the current display to the debug output, for debugging."},
    {"ScaleLayer", "ScaleLayer(layer, width, height[, smooth])",
     "Shows a layer at another size."},
    {"RotateLayer", "RotateLayer(layer, angle[, smooth])",
     "Shows a layer rotated by angle degrees."},
    {"SetLayerStyle", "SetLayerStyle(layer, style[, layer, style, ...])",
     "Changes how layers look and where they are, with the keys of the style tables: position, size, "
     "rotation, transparency, tint and what their object shows (text, colours, shape sizes). Several "
     "layers change in one refresh.",
     "X, Y, Width, Height, Rotate, ScaleX, ScaleY, Transform, AnchorX, AnchorY, Transparency, Tint, "
     "TintColor, Hidden, Name, Frame, Color, Text, Font, FontSize, ShadowColor, EdgeColor, SmoothScale", {},
     "SetLayerStyle(\"ship\", {X = 100, Y = 40, Rotate = 90})"},
    {"GetLayerStyle", "style = GetLayerStyle(layer)",
     "Returns a layer's style as a table with the keys SetLayerStyle takes."},
    {"TransformLayer", "TransformLayer(layer, m1, m2, m3, m4[, smooth])",
     "Shows a layer through a 2x2 transformation matrix (m1 and m4 on the diagonal)."},
    {"SetLayerAnchor", "SetLayerAnchor(layer, anchorx, anchory)",
     "Sets the layer's anchor, the point of it (0 to 1 across and down; 0, 0 is the top-left corner) "
     "that its position names; the layer keeps its place on the display."},
    {"LayerExists", "found = LayerExists(name)",
     "Returns True when a layer of that name exists on the current display."},
    {"SetLayerZPos", "SetLayerZPos(layer, position)",
     "Moves a layer to another place in the stacking order: 1 is the bottom, 0 the top.",
     nullptr, {kErrWrongUsage}},
    {"TranslateLayer", "TranslateLayer(layer, dx, dy)",
     "Moves a layer by dx and dy."},
    {"SelectLayer", "SelectLayer(layer[, mode, frame])",
     "Sends the drawing commands into a layer's own picture (or a frame of an anim layer) until "
     "EndSelect.",
     nullptr, {kErrAnimFrameRange, kErrDiskAnim, kErrNotAnimLayer}},
    {"CreateLayer", "CreateLayer(x, y, width, height[, options])",
     "Adds a new empty layer with a picture of its own, to draw into with SelectLayer.",
     "Color, Mask, AlphaChannel, Clear, Frames", {kErrSizeNotPositive, kErrWrongUsage}},
    {"ModifyLayerFrames", "ModifyLayerFrames(layer, change[, position])",
     "Adds frames to an anim layer (a positive change) or removes them (a negative one), at position. "
     "The number is a change, not the new total.",
     nullptr, {kErrDiskAnim, kErrNotAnimLayer}},
    {"GetLayerAtPos", "position, name = GetLayerAtPos(x, y)",
     "Returns the position in the stacking order and the name of the topmost visible layer at a point "
     "of the display."},
    {nullptr, nullptr, nullptr},
};

} // namespace

extern const LibraryReference kLayersReference;
const LibraryReference kLayersReference = {
    "Layers: with layers on, everything drawn on a display stays a separate object that can be moved, "
    "hidden, styled, reordered and undone.",
    kCommandDocs, nullptr};
