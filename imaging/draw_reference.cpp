// Reference rows of the draw library: what tools/reference writes into docs/commands/draw.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {.name = "Plot", .synopsis = "Plot(x, y, color)", .arguments = {3, 3},
     .text = "Sets one pixel to a colour. Not available while layers are on.",
     .errors = {kErrLayersMustBeOff}},
    {.name = "ReadPixel", .synopsis = "color = ReadPixel(x, y)", .arguments = {2, 2},
     .text = "Returns the colour of a pixel of the current output; in a mask or alpha channel selected for "
             "drawing it returns the mask bit or the alpha level.",
     .errors = {kErrCoordinatesOutOfRange}},
    {.name = "Line", .synopsis = "Line(x1, y1, x2, y2, color[, options])", .arguments = {5, 6},
     .text = "Draws a line between two points.",
     .options = "Thickness",
     .errors = {kErrInternalLimit},
     .example = "Line(0, 0, 319, 199, $FFFFFF)"},
    {.name = "Box", .synopsis = "Box(x, y, width, height, color[, options])", .arguments = {5, 6},
     .text = "Draws a rectangle, filled or outlined as the form style's FillStyle says; RoundLevel rounds "
             "its corners.",
     .options = "RoundLevel",
     .errors = {kErrSizeNotPositive},
     .example = "SetFormStyle({FillStyle = #FILLCOLOR})\n"
                "Box(10, 10, 100, 50, $FF0000, {RoundLevel = 20})"},
    {.name = "Circle", .synopsis = "Circle(x, y, radius, color[, options])", .arguments = {4, 5},
     .text = "Draws a circle whose bounding box starts at (x, y); #CENTER centres it."},
    {.name = "Ellipse", .synopsis = "Ellipse(x, y, radiusx, radiusy, color[, options])", .arguments = {5, 6},
     .text = "Draws an ellipse with the two radii."},
    {.name = "Arc", .synopsis = "Arc(x, y, radiusx, radiusy, start, end, color[, options])",
     .arguments = {7, 8},
     .text = "Draws part of an ellipse from angle start to angle end, in degrees; Clockwise turns the "
             "direction.",
     .options = "Clockwise"},
    {.name = "Polygon", .synopsis = "Polygon(x, y, vertices, color[, options])", .arguments = {4, 5},
     .text = "Draws a polygon through the points of the list vertices (x1, y1, x2, y2, ...; at least three "
             "points), relative to (x, y).",
     .errors = {kErrWrongUsage},
     .example = "Polygon(100, 100, {0, 0, 50, 0, 25, 40}, $00FF00)"},
    {.name = "Cls", .synopsis = "Cls([color])", .arguments = {0, 1},
     .text = "Clears the display to a colour (black by default). Not available while layers are on.",
     .errors = {kErrLayersMustBeOff}},
    {.name = "SetFormStyle", .synopsis = "SetFormStyle(options)", .arguments = {1, 1},
     .text = "Sets how shapes and text are drawn from now on: the fill (#FILLNONE, #FILLCOLOR, "
             "#FILLGRADIENT, #FILLTEXTURE), shadows, edges and outlines. Keys left out keep their values.",
     .options = "FillStyle, FormStyle, ShadowColor, ShadowSize, ShadowDir, EdgeColor, EdgeSize, "
                "OutlineThickness, GradientStyle, GradientStartColor, GradientEndColor, GradientAngle, "
                "TextureBrush, TextureX, TextureY",
     .errors = {kErrWrongUsage}},
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
