// Reference rows of the draw library: what tools/reference writes into docs/commands/draw.md.
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"

namespace {

const CommandDoc kCommandDocs[] = {
    {"Plot", "Plot(x, y, color)",
     "Sets one pixel to a colour. Not available while layers are on.",
     nullptr, {kErrLayersMustBeOff}},
    {"ReadPixel", "color = ReadPixel(x, y)",
     "Returns the colour of a pixel of the current output; in a mask or alpha channel selected for "
     "drawing it returns the mask bit or the alpha level.",
     nullptr, {kErrCoordinatesOutOfRange}},
    {"Line", "Line(x1, y1, x2, y2, color[, options])",
     "Draws a line between two points.",
     "Thickness", {kErrInternalLimit},
     "Line(0, 0, 319, 199, $FFFFFF)"},
    {"Box", "Box(x, y, width, height, color[, options])",
     "Draws a rectangle, filled or outlined as the form style's FillStyle says; RoundLevel rounds its "
     "corners.",
     "RoundLevel", {kErrSizeNotPositive},
     "SetFormStyle({FillStyle = #FILLCOLOR})\n"
     "Box(10, 10, 100, 50, $FF0000, {RoundLevel = 20})"},
    {"Circle", "Circle(x, y, radius, color[, options])",
     "Draws a circle whose bounding box starts at (x, y); #CENTER centres it."},
    {"Ellipse", "Ellipse(x, y, radiusx, radiusy, color[, options])",
     "Draws an ellipse with the two radii."},
    {"Arc", "Arc(x, y, radiusx, radiusy, start, end, color[, options])",
     "Draws part of an ellipse from angle start to angle end, in degrees; Clockwise turns the "
     "direction.",
     "Clockwise"},
    {"Polygon", "Polygon(x, y, vertices, color[, options])",
     "Draws a polygon through the points of the list vertices (x1, y1, x2, y2, ...; at least three "
     "points), relative to (x, y).",
     nullptr, {kErrWrongUsage},
     "Polygon(100, 100, {0, 0, 50, 0, 25, 40}, $00FF00)"},
    {"Cls", "Cls([color])",
     "Clears the display to a colour (black by default). Not available while layers are on.",
     nullptr, {kErrLayersMustBeOff}},
    {"SetFormStyle", "SetFormStyle(options)",
     "Sets how shapes and text are drawn from now on: the fill (#FILLNONE, #FILLCOLOR, #FILLGRADIENT, "
     "#FILLTEXTURE), shadows, edges and outlines. Keys left out keep their values.",
     "FillStyle, FormStyle, ShadowColor, ShadowSize, ShadowDir, EdgeColor, EdgeSize, OutlineThickness, "
     "GradientStyle, GradientStartColor, GradientEndColor, GradientAngle, TextureBrush, TextureX, "
     "TextureY", {kErrWrongUsage}},
    {"GetFormStyle", "style = GetFormStyle()",
     "Returns the current form style as a table with the keys SetFormStyle takes."},
    {nullptr, nullptr, nullptr},
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
