// Reference rows of the draw library: what tools/reference writes into docs/commands/draw.md.
#include "imaging/display_options.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "Plot", .synopsis = "Plot(x, y, color)", .arguments = {3, 3},
     .text = "Sets one pixel to a colour. Not available while layers are on.",
     .errors = {kErrLayersMustBeOff, kErrCoordinateConstant}},
    {.name = "ReadPixel", .synopsis = "color = ReadPixel(x, y)", .arguments = {2, 2},
     .text = "Returns the colour of a pixel of the current output; in a mask or alpha channel selected for "
             "drawing it returns the mask bit or the alpha level.",
     .errors = {kErrCoordinatesOutOfRange}},
    {.name = "Line", .synopsis = "Line(x1, y1, x2, y2, color[, options])", .arguments = {5, 6},
     .text = "Draws a line between two points, both ends included, Thickness pixels wide. The ends are plain "
             "pixels (no position constants) and the anchor never moves them; the other display options "
             "apply as with every shape (see Box). 1066 when the line is more than 16384 pixels long or "
             "wide, its edge, shadow and outline included.",
     .options = "Thickness, " VL_DISPLAY_OPTION_KEYS,
     .errors = {kErrInternalLimit},
     .example = "Line(0, 0, 319, 199, $FFFFFF)"},
    {.name = "Box", .synopsis = "Box(x, y, width, height, color[, options])", .arguments = {5, 6},
     .text = "Draws a rectangle, filled or outlined as the form style's FillStyle says; RoundLevel rounds "
             "its corners (the corner radius in pixels). Like every shape but Plot it takes the position "
             "constants (#CENTER, #RIGHT - 10, ...) and the display options of DisplayBrush: Name, Hidden, "
             "InsertPos and the transforms apply to the layer the shape becomes when layers are on, the "
             "transforms (Rotate, ScaleX, Width, AnchorX ...) to the drawing as well. 1066 when the shape "
             "is more than 16384 pixels wide or high, its edge, shadow and outline included (the message "
             "names that limit).",
     .options = "RoundLevel, " VL_DISPLAY_OPTION_KEYS,
     .errors = {kErrSizeNotPositive, kErrInternalLimit},
     .example = "SetFormStyle({FillStyle = #FILLCOLOR})\n"
                "Box(10, 10, 100, 50, $FF0000, {RoundLevel = 20})"},
    {.name = "Circle", .synopsis = "Circle(x, y, radius, color[, options])", .arguments = {4, 5},
     .text = "Draws a circle in the form style: its bounding box, 2 * radius + 1 pixels wide, starts at "
             "(x, y); #CENTER centres it. Takes the display options as Box does; 1066 when the box, edge "
             "and shadow included, is more than 16384 pixels wide or high.",
     .options = VL_DISPLAY_OPTION_KEYS,
     .errors = {kErrInternalLimit},
     .example = "SetFormStyle({FillStyle = #FILLCOLOR, FormStyle = #ANTIALIAS})\n"
                "Circle(#CENTER, #CENTER, 25, $8040C040, {Name = \"dot\"})"},
    {.name = "Ellipse", .synopsis = "Ellipse(x, y, radiusx, radiusy, color[, options])", .arguments = {5, 6},
     .text = "Draws an ellipse with radius radiusx across and radiusy down, its bounding box starting at "
             "(x, y), in the form style. Takes the display options as Box does; 1066 beyond 16384 pixels "
             "as for Circle.",
     .options = VL_DISPLAY_OPTION_KEYS,
     .errors = {kErrInternalLimit}},
    {.name = "Arc", .synopsis = "Arc(x, y, radiusx, radiusy, start, end, color[, options])",
     .arguments = {7, 8},
     .text = "Draws part of an ellipse from angle start to angle end, in degrees counter-clockwise from "
             "3 o'clock; Clockwise turns the direction. The angles are seen from the ellipse's centre, "
             "antialiased or not: the arc is the ellipse's sector between the lines from the centre at those "
             "angles (both edges included; equal angles give the whole ellipse), and without a fill it is the "
             "ellipse's outline within that sector. Takes the display options as Box does; 1066 beyond "
             "16384 pixels as for Circle.",
     .options = "Clockwise, " VL_DISPLAY_OPTION_KEYS,
     .errors = {kErrInternalLimit}},
    {.name = "Polygon", .synopsis = "Polygon(x, y, vertices, color[, options])", .arguments = {4, 5},
     .text = "Draws a polygon through the points of the list vertices (x1, y1, x2, y2, ... from index 0; "
             "3 to 999 points, filled by the non-zero winding rule). The points give its shape; where it goes "
             "is (x, y), which names the top-left corner of the box around the points, as for the other "
             "shapes. So points that do not start at 0, 0 are moved: {40, 20, 120, 20, 80, 100} at (100, 50) "
             "is drawn from x 100 to 179 and from y 50 down, where {0, 0, 80, 0, 40, 80} would be. To draw "
             "points at their own display coordinates, give the smallest x and y among them as (x, y). Takes "
             "the display options as Box does. 1066 for more than 999 points, or when the polygon, edge and "
             "shadow included, is more than 16384 pixels wide or high; the message says which.",
     .options = VL_DISPLAY_OPTION_KEYS,
     .errors = {kErrWrongUsage, kErrInternalLimit, kErrNumberFieldExpected},
     .example = "SetFormStyle({FillStyle = #FILLCOLOR})\n"
                "; a triangle whose box is x 40 to 120, y 20 to 100: drawn with that box's corner at (100, 50)\n"
                "Polygon(100, 50, {40, 20, 120, 20, 80, 100}, $00FF00)\n"
                "; at the points' own coordinates: the smallest x and y as the position\n"
                "Polygon(200, 20, {200, 20, 280, 20, 240, 100}, $FF0000)"},
    {.name = "Cls", .synopsis = "Cls([color])", .arguments = {0, 1},
     .text = "Fills the whole current output with a colour (black by default): the display, or the brush, "
             "mask or alpha channel selected for drawing, within the clip region set. Not available while "
             "layers are on.",
     .errors = {kErrLayersMustBeOff}},
    {.name = "SetFormStyle", .synopsis = "SetFormStyle(options)", .arguments = {1, 1},
     .text = "Sets how the shapes drawn from now on look; text keeps its own style (SetFontStyle). Keys "
             "left out keep their values, and a table from GetFormStyle or GetLayerStyle can be passed "
             "back whole.\n\n"
             "- FormStyle: #NORMAL clears the style; #ANTIALIAS, #SHADOW and #EDGE (or their sum) are added "
             "to it. FormStyleClear removes the bits it names.\n"
             "- FillStyle: #FILLNONE (the outline, OutlineThickness pixels wide), #FILLCOLOR, #FILLGRADIENT "
             "or #FILLTEXTURE.\n"
             "- GradientStyle, GradientStartColor, GradientEndColor: GradientStyle 0 runs from the start colour "
             "at the left to the end colour at the right, 1 from top to bottom, #LINEAR at GradientAngle "
             "degrees turning clockwise (0 as style 0, 90 as style 1, 180 right to left), as "
             "CreateGradientBGPic.\n"
             "- TextureBrush (a brush id, -1 for none), TextureX, TextureY: the brush is tiled from that "
             "offset. Only its colours are used: its mask and alpha channel do not count, so its "
             "transparent parts tile in the colours stored under them. A shape layer keeps its own copy of the texture, so freeing the brush later changes "
             "nothing.\n"
             "- ShadowColor, ShadowSize, ShadowDir (#SHDWNORTH ...), EdgeColor, EdgeSize: used while "
             "#SHADOW or #EDGE is set.\n\n"
             "The start is #NORMAL and #FILLNONE with the text style's shadow and edge values.",
     .options = "FillStyle, FormStyle, FormStyleClear, ShadowColor, ShadowSize, ShadowDir, EdgeColor, "
                "EdgeSize, OutlineThickness, GradientStyle, GradientStartColor, GradientEndColor, "
                "GradientAngle, TextureBrush, TextureX, TextureY",
     .errors = {kErrWrongUsage, kErrBrushNotFound}},
    {.name = "GetFormStyle", .synopsis = "style = GetFormStyle()", .arguments = {0, 0},
     .text = "Returns the current form style as a table with the keys SetFormStyle takes."},
    {},
};

const ConstantDoc kConstantDocs[] = {
    {"BOX", "Shape kind: a rectangle."},
    {"CIRCLE", "Shape kind: a circle."},
    {"ELLIPSE", "Shape kind: an ellipse."},
    {"LINE", "Shape kind: a line."},
    {"PLOT", "Shape kind: a single pixel."},
    {"POLYGON", "Shape kind: a polygon."},
    {"ARC", "Shape kind: an arc."},
    {"FILLNONE", "Fill style: outline only."},
    {"FILLCOLOR", "Fill style: filled with the colour."},
    {"FILLGRADIENT", "Fill style: filled with a gradient."},
    {"FILLTEXTURE", "Fill style: filled with a brush texture."},
    {"LINEAR", "Gradient type: straight, at an angle."},
    {nullptr, nullptr},
};

} // namespace

extern const LibraryReference kDrawReference;
const LibraryReference kDrawReference = {
    "Shapes: points, lines, boxes, circles, ellipses, arcs and polygons, drawn in the current fill and "
    "form style.",
    kCommandDocs, kConstantDocs};
