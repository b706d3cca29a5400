// Shapes of the draw library rendered into images: box, circle, ellipse, line, plot, polygon and arc, with fill
// style (none, colour, gradient, texture) and form style (edge or shadow). The layer code places the image; the
// direct path blits it into a bitmap.
#pragma once

#include <cstdint>
#include <vector>

#include "host/bitmap.h"
#include "imaging/display_options.h"
#include "imaging/raster.h"
#include "runtime/vm/vm.h"

constexpr int32_t kFillNone = 0; // outline only
constexpr int32_t kFillColor = 1;
constexpr int32_t kFillGradient = 2;
constexpr int32_t kFillTexture = 3;

constexpr int32_t kFormNormal = 0;
constexpr int32_t kFormEdge = 1;
constexpr int32_t kFormShadow = 2;

struct ShapeRecord {
    int32_t kind = 0; // ObjectKind: 14 BOX, 15 CIRCLE, 16 ELLIPSE, 17 LINE, 18 PLOT, 27 POLYGON, 31 ARC
    FormStyle style;
    int32_t formStyle = kFormNormal;
    uint32_t color = 0;
    // Fill extras.
    uint32_t gradientStart = 0, gradientEnd = 0;
    int32_t gradientAngle = 0, gradientStyle = 0;
    const HostBitmap *texture = nullptr;
    ObjectId textureBrush{}; // what the texture was taken from, for reading the style back
    int32_t textureX = 0, textureY = 0;
    // BOX
    int32_t sizeX = 0, sizeY = 0, roundLevel = 0; // roundLevel: the corner radius in pixels
    // CIRCLE (radiusX), ELLIPSE and ARC
    int32_t radiusX = 0, radiusY = 0;
    // ARC: degrees counter-clockwise from 3 o'clock, or clockwise when set
    int32_t startAngle = 0, endAngle = 0, clockwise = 0;
    // LINE, relative to the shape's position
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0, thickness = 1;
    // POLYGON: x, y pairs relative to the shape's position
    std::vector<double> vertices;
};

// Renders the shape (and its edge or shadow) into a new 32-bit image with a mask; *offsetX/*offsetY give where
// the image's top-left lies relative to the shape's position (negative when an edge or shadow reaches left or
// up). A non-identity transform is applied about the image's top-left. Returns 0, 1000, or 1055 for an empty
// or unknown shape.
int RenderShapeImage(const ShapeRecord &shape, const DisplayTransform *transform, ImageTriple *out, int32_t *offsetX,
                     int32_t *offsetY);
// Draws the shape at (x, y) straight into a bitmap (the output without layers).
int DrawShapeIntoBitmap(HostBitmap *target, int32_t x, int32_t y, const ShapeRecord &shape,
                        const DisplayTransform *transform);

// Draws the shape's coverage into a mask output (bits set or cleared as MaskMode says) or an alpha output (the
// AlphaIntensity value), the outputs SelectMask and SelectAlphaChannel choose.
int DrawShapeIntoMask(MaskPlane *target, int32_t x, int32_t y, const ShapeRecord &shape, const DisplayTransform *transform);
int DrawShapeIntoAlpha(AlphaPlane *target, int32_t x, int32_t y, const ShapeRecord &shape,
                       const DisplayTransform *transform);

// Reads a polygon's point table: the table at stack index `table` or its "vertices" field, numbers x0, y0, x1, y1
// ... from index 0. Fills points relative to the bounding box's top-left and returns the count, the box size and
// the first point's offset in that box. Returns 0, 1066 beyond 999 points, 1189 for a non-number (raised by the
// reader) or 1055 for fewer than one point.
int ReadPolygonTable(VMState *vm, int table, std::vector<double> *points, int32_t *count, int32_t *width,
                     int32_t *height, int32_t *offsetX, int32_t *offsetY);
constexpr int32_t kMaxPolygonPoints = 999;
