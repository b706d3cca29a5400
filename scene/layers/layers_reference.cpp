// Reference rows of the layers library: what tools/reference writes into docs/commands/layers.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "Undo", .synopsis = "Undo(type[, id, level, norefresh])", .arguments = {1, 4},
     .text = "Takes back a drawing: the last object of a kind (#BRUSH, #TEXTOBJECT, #BOX, ...) or the one "
             "with the id; level picks an older drawing of the same object. Needs layers.",
     .errors = {kErrLayerUsedByAsyncDraw},
     .example = "EnableLayers()\n"
                "CreateBrush(1, 32, 32, $00FF00)\n"
                "DisplayBrush(1, 10, 10)\n"
                "Undo(#BRUSH, 1)"},
    {.name = "EnableLayers", .synopsis = "EnableLayers()", .arguments = {0, 0},
     .text = "Turns layers on for the current display: from now on every drawing becomes a layer.",
     .errors = {kErrLayerModeDuringAsyncDraw, kErrEndDoubleBufferFirst, kErrLayersDuringOffscreen,
                kErrRemoveSpritesFirst, kErrWrongUsage}},
    {.name = "DisableLayers", .synopsis = "DisableLayers()", .arguments = {0, 0},
     .text = "Turns layers off for the current display; the picture keeps what the layers showed.",
     .errors = {kErrLayerModeDuringAsyncDraw, kErrLayersDuringOffscreen, kErrLayersWithScaling,
                kErrWrongUsage}},
    {.name = "SwapLayers", .synopsis = "SwapLayers(layer1, layer2)", .arguments = {2, 2},
     .text = "Exchanges the places of two layers in the stacking order.",
     .errors = {kErrWrongUsage, kErrLayerOutOfRange}},
    {.name = "InsertLayer", .synopsis = "InsertLayer(position, type, id, x, y[, hidden])",
     .arguments = {5, 6},
     .text = "Inserts an object (#BRUSH, #ANIM or #TEXTOBJECT) as a new layer at a position in the stacking "
             "order.",
     .errors = {kErrWrongUsage, kErrInvalidInsertPosition}},
    {.name = "ShowLayer", .synopsis = "ShowLayer(layer[, x, y])", .arguments = {1, 3},
     .text = "Shows a hidden layer, optionally at a new position. A number or name that matches no layer is "
             "an error (1081, 1369), unlike with SetLayerStyle.",
     .errors = {kErrLayersRequired, kErrLayerOutOfRange, kErrLayerNameNotFound}},
    {.name = "HideLayer", .synopsis = "HideLayer(layer[, ignored])", .arguments = {1, 2},
     .text = "Hides a layer without removing it.",
     .errors = {kErrLayerOutOfRange, kErrStringOrNumberExpected, kErrLayerNameNotFound}},
    {.name = "RemoveLayer", .synopsis = "RemoveLayer(layer)", .arguments = {1, 1},
     .text = "Removes a layer. A layer number or name that matches no layer is skipped without an error.",
     .errors = {kErrLayerUsedByAsyncDraw}},
    {.name = "SetLayerTransparency", .synopsis = "SetLayerTransparency(layer, level)", .arguments = {2, 2},
     .text = "Makes a layer see-through: level runs from 0 (opaque) to 255, or is a percentage string. As "
             "with SetLayerStyle, a layer that matches no layer is skipped without an error.",
     .errors = {kErrInvalidPercent}},
    {.name = "SetLayerLight", .synopsis = "SetLayerLight(layer, color, level)", .arguments = {3, 3},
     .text = "Tints a layer towards a colour by level (0 to 255). As with SetLayerStyle, a layer that "
             "matches no layer is skipped without an error.",
     .errors = {kErrInvalidPercent}},
    {.name = "SetLayerTint", .synopsis = "SetLayerTint(layer, color, level)", .arguments = {3, 3},
     .text = "Tints a layer towards a colour by level (0 to 255), as SetLayerLight; a layer that matches no "
             "layer is skipped without an error.",
     .errors = {kErrInvalidPercent}},
    {.name = "AddMove", .synopsis = "[handle =] AddMove(queue, type, object[, x, y, extra])",
     .arguments = {3, 6},
     .text = "Adds a step to a move queue: showing, hiding or moving a layer, drawing a brush, a new anim "
             "frame and so on. DoMove then carries out all steps of the queue in one refresh.",
     .errors = {kErrMoveQueueNotFound, kErrObjectNotFound, kErrInternalLimit, kErrStringOrNumberExpected,
                kErrLayerNameNotFound}},
    {.name = "ClearMove", .synopsis = "ClearMove(queue)", .arguments = {1, 1},
     .text = "Empties a move queue.",
     .errors = {kErrMoveQueueNotFound, kErrObjectNotFound}},
    {.name = "DoMove", .synopsis = "DoMove(queue)", .arguments = {1, 1},
     .text = "Carries out every step of a move queue at once and empties it, so several layers change in "
             "one frame.",
     .errors = {kErrMoveQueueNotFound, kErrObjectNotFound, kErrLayersRequired, kErrSelectBrushActive,
                kErrSelectMaskActive}},
    {.name = "FreeLayers", .synopsis = "FreeLayers([keep])", .arguments = {0, 1},
     .text = "Removes every layer of the current display. keep is True unless given: what the layers show "
             "stays in the display's picture, so after FreeLayers() the screen looks as it did. "
             "FreeLayers(False) takes the layers' pictures away too, leaving the picture as it was under "
             "them: the call that clears the screen for a new game.",
     .errors = {kErrLayerUsedByAsyncDraw, kErrWrongUsage, kErrSelectBrushActive, kErrSelectAnimActive},
     .example = "EnableLayers()\n"
                "SetFormStyle({FillStyle = #FILLCOLOR})\n"
                "Box(10, 10, 50, 50, $FF0000)\n"
                "FreeLayers(False)   ; the box goes with its layer; FreeLayers() would keep it on the screen"},
    {.name = "NextFrame", .synopsis = "NextFrame(layer[, x, y, frame])", .arguments = {1, 4},
     .text = "Shows the next frame (or the given one) of an anim layer, optionally moving it. Frames count "
             "from 1, as in GetAnimFrame: after the last comes frame 1 again, frame 0 is the next one, and a "
             "frame past the last gives 1094.",
     .errors = {kErrNotAnimLayer, kErrLayerOutOfRange, kErrAnimFrameRange}},
    {.name = "SetLayerName", .synopsis = "SetLayerName(layer, name)", .arguments = {2, 2},
     .text = "Gives a layer a name, by which the other layer commands can then find it.",
     .errors = {kErrLayerNameTaken, kErrNameTooLong, kErrOutOfMemory, kErrLayerOutOfRange}},
    {.name = "Collision",
     .synopsis = "hit = Collision(#BOX, x1, y1, width1, height1, x2, y2, width2, height2) or "
                 "hit = Collision(#BRUSH, id1, x1, y1, id2, x2, y2) or "
                 "hit = Collision(#BRUSH_VS_BOX, id, x1, y1, x2, y2, width, height) or "
                 "hit = Collision(#LAYER, layer1, layer2) or "
                 "hit = Collision(#LAYER_VS_BOX, layer, x, y, width, height) or "
                 "hit = Collision(#SPRITE, id1, id2) or "
                 "hit = Collision(#SPRITE_VS_BOX, id, x, y, width, height)",
     .arguments = {3, 9}, .display = false,
     .text = "Tests whether two things overlap, pixel by pixel where they have masks: #BOX (two "
             "rectangles), #BRUSH (two brushes at positions), #LAYER (two layers), #SPRITE (two sprites on "
             "the display), or #BRUSH_VS_BOX, #LAYER_VS_BOX, #SPRITE_VS_BOX against a rectangle. #LAYER and "
             "#LAYER_VS_BOX test a hidden layer as they test a shown one: a brick hidden when it was hit still "
             "collides, so check GetLayerStyle(brick).hidden (1 while hidden) before counting a hit. #BRUSH and "
             "#BRUSH_VS_BOX test the brushes at the positions given, whatever layers show them.",
     .errors = {kErrLayersRequired, kErrLayerOutOfRange, kErrBrushNotFound, kErrSpriteNotOnScreen,
                kErrSpriteHandleNotOnScreen},
     .example = "CreateBrush(1, 32, 32, $FF0000)\n"
                "CreateSprite(1, #BRUSH, 1)\n"
                "CreateSprite(2, #BRUSH, 1)\n"
                "DisplaySprite(1, 10, 10)\n"
                "DisplaySprite(2, 30, 20)\n"
                "If Collision(#SPRITE, 1, 2) Then DebugPrint(\"hit\") EndIf"},
    {.name = "DumpLayers", .synopsis = "DumpLayers([block])", .arguments = {0, 1},
     .text = "Prints the layers of the current display to the debug output, for debugging.",
     .errors = {kErrLayersRequired}},
    {.name = "ScaleLayer", .synopsis = "ScaleLayer(layer, width, height[, smooth])", .arguments = {3, 4},
     .text = "Shows a layer at another size.",
     .errors = {kErrSizeNotPositive, kErrInvalidPercent}},
    {.name = "RotateLayer", .synopsis = "RotateLayer(layer, angle[, smooth])", .arguments = {2, 3},
     .text = "Shows a layer rotated by angle degrees."},
    {.name = "SetLayerStyle", .synopsis = "SetLayerStyle(layer, style[, layer, style, ...])",
     .arguments = {2, kNoMaximum},
     .text = "Changes how layers look and where they are, with the keys of the style tables: position, size, "
             "rotation, transparency, tint and what their object shows (text, colours, shape sizes). Several "
             "layers change in one refresh. A shape layer also takes the form-style keys of SetFormStyle and its "
             "kind's own: SizeX, SizeY, RoundLevel (box), Radius (circle), RadiusA, RadiusB (ellipse), "
             "StartAngle, EndAngle, Clockwise (arc), X1, Y1, X2, Y2, Thickness (line), Vertices (polygon). 1066 "
             "when a shape layer would then be more than 16384 pixels wide or high, its edge and shadow included."
             " A layer number or name that matches no layer is skipped without an error, on purpose: a moving "
             "object or anim passes the layer it drew into after that layer went. ShowLayer, by contrast, "
             "reports such a layer (1081, 1369).\n"
             "\n"
             "A layer keeps its x and y when its content changes: after a new Text, FontSize or ID its top-left "
             "corner (its anchor point, when it has one) stays where it was, so a score drawn with "
             "TextOut(#RIGHT, ...) runs off the right edge as it grows, and one drawn at #CENTER runs off centre. "
             "Give the position again in the same table, {Text = score, X = #RIGHT}: a position constant (X = "
             "#RIGHT, #CENTER; Y = #BOTTOM, #CENTER) or a Width or Height given with new content is worked out "
             "from the new size.",
     .options = "X, Y, Width, Height, Rotate, ScaleX, ScaleY, Transform, AnchorX, AnchorY, Transparency, "
                "Tint, TintColor, Hidden, Frame, Color, Text, Font, FontSize, ShadowColor, EdgeColor, "
                "SmoothScale, Align, ClipRegion, Clockwise, CursorX, CursorY, EdgeSize, Encoding, EndAngle, "
                "FillStyle, FontCache, FontEngine, FontStyle, FontStyleClear, FormStyle, FormStyleClear, "
                "GradientAngle, GradientEndColor, GradientStartColor, GradientStyle, ID, LeftMargin, "
                "NoClipTransform, OutlineThickness, PartHeight, PartWidth, PartX, PartY, Radius, Radiusa, "
                "Radiusb, RightMargin, RoundLevel, ShadowDir, ShadowSize, Sizex, Sizey, StartAngle, Tabs, "
                "TextureBrush, TextureX, TextureY, Thickness, TranslateX, TranslateY, Type, X1, X2, Y1, Y2, "
                "Z",
     .errors = {kErrFontOpen, kErrInternalLimit, kErrAnimFrameRange, kErrBrushNotFound, kErrTextObjectNotFound,
                kErrNumberFieldExpected, kErrSizeNotPositive, kErrCoordinateConstant, kErrClipRegionNotFound,
                kErrInvalidPercent},
     .example = "EnableLayers()\n"
                "CreateBrush(1, 48, 16, $FFFF00)\n"
                "DisplayBrush(1, 10, 10, {Name = \"ship\"})\n"
                "SetLayerStyle(\"ship\", {X = 100, Y = 40, Rotate = 90})\n"
                "TextOut(#RIGHT, 10, \"Score 0\", {Name = \"score\"})\n"
                "; #RIGHT again with the new text keeps the longer score against the right edge\n"
                "SetLayerStyle(\"score\", {Text = \"Score 1200\", X = #RIGHT})"},
    {.name = "GetLayerStyle", .synopsis = "style = GetLayerStyle(layer)", .arguments = {1, 1},
     .text = "Returns a layer's style as a table with the keys SetLayerStyle takes. Every layer has x and y, "
             "width and height, rotate, scalex, scaley, anchorx, anchory, smoothscale, transform (four numbers "
             "from index 0), transparency, tint, tintcolor, hidden, clipregion (-1 for none), group and name; "
             "width and height are the target size given with Width and Height when the layer was drawn or "
             "restyled, 0 when none was given (the size the layer covers is GetAttribute(#LAYER, layer, "
             "#ATTRWIDTH) and #ATTRHEIGHT). Beside these: brushes and the parts of brushes and pictures id and "
             "the part shown (partx, party, partwidth, partheight), text objects id, anims id and frame, TextOut "
             "and Print text their colour, font, fontsize, fontstyle, shadow, edge, align, margins, encoding and "
             "text, shapes their colour, form style and size (sizex, sizey, roundlevel; radius; radiusa, "
             "radiusb; thickness; vertices and numvertices; startangle, endangle, clockwise).",
     .errors = {kErrLayerOutOfRange, kErrLayerNameNotFound}},
    {.name = "TransformLayer", .synopsis = "TransformLayer(layer, m1, m2, m3, m4[, smooth])",
     .arguments = {5, 6},
     .text = "Shows a layer through a 2x2 transformation matrix (m1 and m4 on the diagonal)."},
    {.name = "SetLayerAnchor", .synopsis = "SetLayerAnchor(layer, anchorx, anchory)", .arguments = {3, 3},
     .text = "Sets the layer's anchor, the point of it (0 to 1 across and down; 0, 0 is the top-left "
             "corner) that its position names; the layer keeps its place on the display."},
    {.name = "LayerExists", .synopsis = "found = LayerExists(name)", .arguments = {1, 1},
     .text = "Returns True when the picture the current display shows has a layer of that name."},
    {.name = "SetLayerZPos", .synopsis = "SetLayerZPos(layer, position)", .arguments = {2, 2},
     .text = "Moves a layer to another place in the stacking order: 1 is the bottom, 0 the top.",
     .errors = {kErrWrongUsage, kErrLayerOutOfRange}},
    {.name = "TranslateLayer", .synopsis = "TranslateLayer(layer, dx, dy)", .arguments = {3, 3},
     .text = "Moves a layer by dx and dy.",
     .errors = {kErrLayerOutOfRange}},
    {.name = "SelectLayer", .synopsis = "SelectLayer(layer[, mode, frame])", .arguments = {1, 3},
     .text = "Sends the drawing commands into a layer's own picture (or a frame of an anim layer) until "
             "[EndSelect](bgpic.md#endselect).",
     .errors = {kErrAnimFrameRange, kErrDiskAnim, kErrNotAnimLayer, kErrLayerOutOfRange,
                kErrLayerAsyncDrawRender}},
    {.name = "CreateLayer", .synopsis = "CreateLayer(x, y, width, height[, options])", .arguments = {4, 5},
     .text = "Adds a new empty layer with a picture of its own, to draw into with SelectLayer.",
     .options = "Color, Mask, AlphaChannel, Clear, Frames",
     .errors = {kErrSizeNotPositive, kErrWrongUsage, kErrOutOfMemory, kErrUserAbort, kErrSelectBrushActive}},
    {.name = "ModifyLayerFrames", .synopsis = "ModifyLayerFrames(layer, change[, position])",
     .arguments = {2, 3},
     .text = "Adds frames to an anim layer (a positive change) or removes them (a negative one), at "
             "position. The number is a change, not the new total.",
     .errors = {kErrDiskAnim, kErrNotAnimLayer, kErrLayerOutOfRange}},
    {.name = "GetLayerAtPos", .synopsis = "position, name = GetLayerAtPos(x, y)", .arguments = {2, 2},
     .text = "Returns the position in the stacking order and the name of the topmost visible layer at a "
             "point of the display."},
    {},
};

} // namespace

extern const LibraryReference kLayersReference;
const LibraryReference kLayersReference = {
    "Layers: with layers on, everything drawn on a display stays a separate object that can be moved, "
    "hidden, styled, reordered and undone. Layers belong to the background picture they are drawn on: each "
    "picture keeps its own, which leave the display and come back with it (DisplayBGPic says more).",
    kCommandDocs, nullptr};
