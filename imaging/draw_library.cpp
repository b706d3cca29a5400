// Bindings of the draw library: shapes, pixels, Cls and the form style every shape takes.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

#include "imaging/display_options.h"
#include "imaging/draw_services.h"
#include "imaging/form_style_keys.h"
#include "imaging/graphics_bindings.h"
#include "imaging/image_ops.h"
#include "imaging/position.h"
#include "imaging/raster.h"
#include "imaging/shapes.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"

namespace {

struct OutputInfo {
    int32_t kind = 0, width = 0, height = 0;
    int layers = 0;
};

int DescribeOutput(OutputInfo *out) {
    if (!DrawServices || !DrawServices->describeOutput) return MissingDrawServices();
    return DrawServices->describeOutput(&out->kind, &out->width, &out->height, &out->layers);
}

// Plot, ReadPixel and Line take plain pixels.
int ReadPlainCoordinate(VMState *vm, int n, int32_t *out) {
    *out = CheckCoordinateArg(vm, n);
    return IsPositionConstant(*out) ? kErrCoordinateConstant : 0;
}

// The index of the options table at argument n, or 0 when it is absent or Nil.
int OptionsIndex(VMState *vm, int n) {
    if (GetTop(vm) < n || ValueType(vm, n) == TNIL) return 0;
    CheckTableArg(vm, n);
    return n;
}

// The texture the style names, looked up when the shape is drawn: a layer keeps its own copy of the image.
int AttachTexture(ShapeRecord *shape, bool forLayer) {
    if (shape->style.fillStyle != kFillTexture || !shape->style.HasTexture()) return 0;
    ImageTriple image;
    if (int error = DrawServices->findBrushImage(shape->style.textureBrush, &image)) return error;
    shape->texture = forLayer ? CopyTextureImage(image.bitmap) : BorrowTextureImage(image.bitmap);
    return shape->texture ? 0 : kErrOutOfMemory;
}

// A shape through a transform: rendered upright, then placed and turned or scaled as DisplayBrush places a
// brush. Only the part that lands on the output is made; it has the whole image's pixels.
int DrawTransformedShape(const ShapeRecord &shape, int32_t x, int32_t y, const DisplayTransform &transform,
                         const OutputInfo &output) {
    int32_t ox = 0, oy = 0, width = 0, height = 0;
    if (int error = ShapeImageBox(shape, &ox, &oy, &width, &height)) return error;
    const double m[4] = {transform.a, transform.b, transform.c, transform.d};
    if (int error = CheckTransformSize(m, width, height)) return error;
    // Plain coordinates place the anchor point, position constants the image's box.
    const bool constX = IsPositionConstant(x), constY = IsPositionConstant(y);
    int32_t bx, by, bw, bh;
    TransformedBounds(constX ? 0 : int32_t(std::lround(double(x) + ox - transform.anchorX * width)),
                      constY ? 0 : int32_t(std::lround(double(y) + oy - transform.anchorY * height)), width,
                      height, m, &bx, &by, &bw, &bh, transform.anchorX, transform.anchorY);
    if (IsPlainScale(m)) PlainScaleSize(m, width, height, &bw, &bh);
    if (constX) bx = ResolveXPosition(x, bw, 0, 0);
    if (constY) by = ResolveYPosition(y, bh, 0, 0);
    const int64_t left = std::max<int64_t>(0, -int64_t(bx)), top = std::max<int64_t>(0, -int64_t(by));
    const int64_t right = std::min<int64_t>(bw, int64_t(output.width) - bx);
    const int64_t bottom = std::min<int64_t>(bh, int64_t(output.height) - by);
    if (left >= right || top >= bottom) return 0;
    ImageTriple part;
    if (int error = RenderShapeImagePart(shape, transform, int32_t(left), int32_t(top), int32_t(right - left),
                                         int32_t(bottom - top), &part))
        return error;
    const int error = part.bitmap ? DrawServices->drawImage(part, int32_t(bx + left), int32_t(by + top)) : 0;
    FreeImageTriple(&part);
    return error;
}

int DrawShape(VMState *vm, ShapeRecord &shape, int32_t x, int32_t y, int32_t width, int32_t height, int options,
              bool plain);

// Draws the shape whose box is width x height at x, y (position constants allowed unless plain) into the current
// output, or makes it a layer when layers are on. The shape takes the draw state's form style.
int DrawShapeCommand(VMState *vm, ShapeRecord &shape, int32_t x, int32_t y, int32_t width, int32_t height,
                     int options, bool plain) {
    const int error = DrawShape(vm, shape, x, y, width, height, options, plain);
    if (error == kErrInternalLimit) RaiseShapeSizeLimit(vm);
    return error;
}

int DrawShape(VMState *vm, ShapeRecord &shape, int32_t x, int32_t y, int32_t width, int32_t height, int options,
              bool plain) {
    OutputInfo out;
    if (int error = DescribeOutput(&out)) return error;
    shape.style = GetDrawState()->form;
    DisplayTransform transform;
    LayerOptions layerOptions;
    if (options)
        if (int error = ParseDisplayOptions(vm, options, width, height, shape.style.Antialias() ? 1 : 0, &transform,
                                            &layerOptions))
            return error;
    // A line's ends are where they are: its anchor never moves it.
    if (plain) transform.anchorX = transform.anchorY = 0;
    if (int error = AttachTexture(&shape, out.layers != 0)) return error;
    if (out.layers) {
        auto *record = new (std::nothrow) ShapeRecord(shape);
        if (!record) return kErrOutOfMemory;
        return DrawServices->addShapeLayer(vm, record, x, y, width, height, transform, layerOptions);
    }
    if (!IsIdentityTransform(transform)) return DrawTransformedShape(shape, x, y, transform, out);
    const int32_t left = IsPositionConstant(x) ? ResolveXPosition(x, width, 0, 0)
                                               : int32_t(std::lround(x - transform.anchorX * width));
    const int32_t top = IsPositionConstant(y) ? ResolveYPosition(y, height, 0, 0)
                                              : int32_t(std::lround(y - transform.anchorY * height));
    return DrawServices->drawShape(shape, left, top);
}

} // namespace

// Plot(x, y, colour)
int CmdPlot(VMState *vm) {
    CheckArgs(vm, 3, 3);
    int32_t x = 0, y = 0;
    if (int error = ReadPlainCoordinate(vm, 1, &x)) return error;
    if (int error = ReadPlainCoordinate(vm, 2, &y)) return error;
    ShapeRecord shape;
    shape.kind = ObjectKindPlot;
    shape.color = CheckUnsignedArg(vm, 3);
    shape.style.fillStyle = kFillColor;
    OutputInfo out;
    if (int error = DescribeOutput(&out)) return error;
    if (out.layers) return kErrLayersMustBeOff;
    if (x < 0 || y < 0 || x >= out.width || y >= out.height) return 0;
    return DrawServices->drawShape(shape, x, y);
}

// ReadPixel(x, y) -> colour, mask bit or alpha level
int CmdReadPixel(VMState *vm) {
    CheckArgs(vm, 2, 2);
    int32_t x = 0, y = 0;
    if (int error = ReadPlainCoordinate(vm, 1, &x)) return error;
    if (int error = ReadPlainCoordinate(vm, 2, &y)) return error;
    OutputInfo out;
    if (int error = DescribeOutput(&out)) return error;
    if (x < 0 || y < 0 || x >= out.width || y >= out.height) return kErrCoordinatesOutOfRange;
    uint32_t value = 0;
    if (int error = DrawServices->readPixel(x, y, &value)) return error;
    PushNumber(vm, value);
    return 1;
}

// Line(x1, y1, x2, y2, colour[, options])
int CmdLine(VMState *vm) {
    CheckArgs(vm, 5, 6);
    int32_t e[4] = {};
    for (int i = 0; i < 4; i++)
        if (int error = ReadPlainCoordinate(vm, i + 1, &e[i])) return error;
    ShapeRecord shape;
    shape.kind = ObjectKindLine;
    shape.color = CheckUnsignedArg(vm, 5);
    const int options = OptionsIndex(vm, 6);
    if (options) GetTableOption(vm, options, "thickness", &shape.thickness);
    shape.thickness = std::max(shape.thickness, 1);
    const int32_t x = std::min(e[0], e[2]), y = std::min(e[1], e[3]);
    shape.x1 = e[0] - x, shape.y1 = e[1] - y, shape.x2 = e[2] - x, shape.y2 = e[3] - y;
    const int64_t width = std::llabs(int64_t(e[2]) - e[0]) + 1, height = std::llabs(int64_t(e[3]) - e[1]) + 1;
    if (width > INT32_MAX || height > INT32_MAX) RaiseShapeSizeLimit(vm);
    return DrawShapeCommand(vm, shape, x, y, int32_t(width), int32_t(height), options, true);
}

// Box(x, y, width, height, colour[, options])
int CmdBox(VMState *vm) {
    CheckArgs(vm, 5, 6);
    const int32_t x = CheckCoordinateArg(vm, 1), y = CheckCoordinateArg(vm, 2);
    ShapeRecord shape;
    shape.kind = ObjectKindBox;
    shape.sizeX = CheckCoordinateArg(vm, 3), shape.sizeY = CheckCoordinateArg(vm, 4);
    shape.color = CheckUnsignedArg(vm, 5);
    const int options = OptionsIndex(vm, 6);
    if (shape.sizeX < 1 || shape.sizeY < 1) return kErrSizeNotPositive;
    if (options) GetTableOption(vm, options, "roundlevel", &shape.roundLevel);
    shape.roundLevel = std::max(shape.roundLevel, 0);
    return DrawShapeCommand(vm, shape, x, y, shape.sizeX, shape.sizeY, options, false);
}

namespace {

int EllipseCommand(VMState *vm, int32_t kind, int32_t x, int32_t y, int32_t a, int32_t b, uint32_t colour,
                   int options, ShapeRecord &shape) {
    if (a < 0 || b < 0) return kErrWrongUsage;
    if (a >= INT32_MAX / 2 || b >= INT32_MAX / 2) RaiseShapeSizeLimit(vm);
    shape.kind = kind;
    shape.radiusX = a, shape.radiusY = b;
    shape.color = colour;
    return DrawShapeCommand(vm, shape, x, y, 2 * a + 1, 2 * b + 1, options, false);
}

} // namespace

// Circle(x, y, radius, colour[, options])
int CmdCircle(VMState *vm) {
    CheckArgs(vm, 4, 5);
    const int32_t x = CheckCoordinateArg(vm, 1), y = CheckCoordinateArg(vm, 2), r = CheckCoordinateArg(vm, 3);
    const uint32_t colour = CheckUnsignedArg(vm, 4);
    ShapeRecord shape;
    return EllipseCommand(vm, ObjectKindCircle, x, y, r, r, colour, OptionsIndex(vm, 5), shape);
}

// Ellipse(x, y, radius a, radius b, colour[, options])
int CmdEllipse(VMState *vm) {
    CheckArgs(vm, 5, 6);
    const int32_t x = CheckCoordinateArg(vm, 1), y = CheckCoordinateArg(vm, 2);
    const int32_t a = CheckCoordinateArg(vm, 3), b = CheckCoordinateArg(vm, 4);
    const uint32_t colour = CheckUnsignedArg(vm, 5);
    ShapeRecord shape;
    return EllipseCommand(vm, ObjectKindEllipse, x, y, a, b, colour, OptionsIndex(vm, 6), shape);
}

// Arc(x, y, radius a, radius b, start, end, colour[, options])
int CmdArc(VMState *vm) {
    CheckArgs(vm, 7, 8);
    const int32_t x = CheckCoordinateArg(vm, 1), y = CheckCoordinateArg(vm, 2);
    const int32_t a = CheckCoordinateArg(vm, 3), b = CheckCoordinateArg(vm, 4);
    ShapeRecord shape;
    shape.startAngle = CheckInt32Arg(vm, 5);
    shape.endAngle = CheckInt32Arg(vm, 6);
    const uint32_t colour = CheckUnsignedArg(vm, 7);
    const int options = OptionsIndex(vm, 8);
    if (options) GetTableOption(vm, options, "clockwise", &shape.clockwise);
    shape.clockwise = shape.clockwise != 0;
    return EllipseCommand(vm, ObjectKindArc, x, y, a, b, colour, options, shape);
}

// Polygon(x, y, vertices, colour[, options])
int CmdPolygon(VMState *vm) {
    CheckArgs(vm, 4, 5);
    const int32_t x = CheckCoordinateArg(vm, 1), y = CheckCoordinateArg(vm, 2);
    CheckTableArg(vm, 3);
    ShapeRecord shape;
    shape.kind = ObjectKindPolygon;
    int32_t count = 0, width = 0, height = 0, ox = 0, oy = 0;
    if (int error = ReadPolygonTable(vm, 3, &shape.vertices, &count, &width, &height, &ox, &oy)) return error;
    if (count < 3) return kErrWrongUsage;
    shape.color = CheckUnsignedArg(vm, 4);
    return DrawShapeCommand(vm, shape, x, y, width, height, OptionsIndex(vm, 5), false);
}

// Cls([colour])
int CmdCls(VMState *vm) {
    CheckArgs(vm, 0, 1);
    const uint32_t colour = OptUnsignedArg(vm, 1, 0);
    OutputInfo out;
    if (int error = DescribeOutput(&out)) return error;
    if (out.layers) return kErrLayersMustBeOff;
    return DrawServices->fillOutput(colour);
}

// SetFormStyle(table)
int CmdSetFormStyle(VMState *vm) {
    CheckArgs(vm, 1, 1);
    CheckTableArg(vm, 1);
    FormStyle style = GetDrawState()->form;
    int textureGiven = 0;
    ReadFormStyleKeys(vm, 1, &style, &textureGiven);
    if (textureGiven && style.HasTexture()) {
        if (!DrawServices || !DrawServices->findBrushImage) return MissingDrawServices();
        ImageTriple image;
        if (int error = DrawServices->findBrushImage(style.textureBrush, &image)) return error;
    }
    GetDrawState()->form = style;
    return 0;
}

// GetFormStyle() -> table
int CmdGetFormStyle(VMState *vm) {
    CheckArgs(vm, 0, 0);
    NewTable(vm);
    WriteFormStyleKeys(vm, GetDrawState()->form);
    return 1;
}
