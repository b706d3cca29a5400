// Shapes of the draw library rendered into images: box, circle, ellipse, line, plot, polygon and arc, with fill
// style (none, colour, gradient, texture) and form style (edge or shadow). The layer code places the image; the
// direct path blits it into a bitmap.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/bitmap.h"
#include "imaging/display_options.h"
#include "imaging/raster.h"
#include "runtime/vm/vm.h"

struct ClipRegion;

struct ShapeRecord {
    int32_t kind = 0; // ObjectKind: 14 BOX, 15 CIRCLE, 16 ELLIPSE, 17 LINE, 18 PLOT, 27 POLYGON, 31 ARC
    FormStyle style;
    uint32_t color = 0; // 0xTTRRGGBB
    // The image "texturebrush" names. A layer holds its own copy (shared between the copies of its record), so
    // freeing or changing the brush leaves the layer as it is; a direct draw may point at the brush's bitmap.
    std::shared_ptr<const HostBitmap> texture;
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

// A texture image for a shape record: an owned copy of the bitmap (for layers), or a view that does not own it
// (for a shape drawn at once). Null when out of memory or without a bitmap.
std::shared_ptr<const HostBitmap> CopyTextureImage(const HostBitmap *bitmap);
std::shared_ptr<const HostBitmap> BorrowTextureImage(const HostBitmap *bitmap);

// Renders the shape (with its edge and shadow) into a new 32-bit image: with a mask, or with an alpha plane when
// it is antialiased or see-through. *offsetX/*offsetY give where the image's top-left lies relative to the
// shape's position (negative when an edge or shadow reaches left or up). A non-identity transform is applied
// about the image's top-left. Returns 0, kErrOutOfMemory, kErrWrongUsage for an empty or unknown shape, or
// kErrInternalLimit beyond the renderer's size limit.
int RenderShapeImage(const ShapeRecord &shape, const DisplayTransform *transform, ImageTriple *out, int32_t *offsetX,
                     int32_t *offsetY);

// Where RenderShapeImage's image (untransformed) lies relative to the shape's position and its size, with the
// same errors, found before anything is rendered.
int ShapeImageBox(const ShapeRecord &shape, int32_t *x, int32_t *y, int32_t *width, int32_t *height);

// The part [x, x + width) x [y, y + height) of RenderShapeImage's image through a transform (a plain scale:
// of its upright image scaled by ScaleImage, as BuildDisplayImage scales it): its pixels there, made from the
// upright pixels they sample only. 0 or RenderShapeImage's errors; a part beyond the image is empty (0 x 0).
int RenderShapeImagePart(const ShapeRecord &shape, const DisplayTransform &transform, int32_t x, int32_t y,
                         int32_t width, int32_t height, ImageTriple *out);

// Where a shape drawn at once goes: any of the three planes of one output, all of width x height.
//  - bitmap: the colours blended by opacity (255 - TT) times coverage; 16-, 24- and 32-bit layouts;
//  - mask: the shape's coverage (at least half a pixel) combined by maskMode (the BlitTemplateToMask modes;
//    TemplateMaskCopy replaces the bits of the shape's box);
//  - alpha: alphaLevel blended in by coverage, or with kShapeAlphaOwnOpacity the shape's own opacity times
//    coverage over its box.
// Only pixels inside the clip rectangle and inside the region (its rectangle and mask, output pixels) change.
constexpr int32_t kShapeAlphaOwnOpacity = -1;
struct ShapeOutput {
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    int32_t width = 0, height = 0;
    int32_t maskMode = 0;      // TemplateMaskSet
    int32_t alphaLevel = 255;  // or kShapeAlphaOwnOpacity
    int32_t clipX = 0, clipY = 0, clipWidth = INT32_MAX, clipHeight = INT32_MAX;
    const ClipRegion *region = nullptr;
    // The shape's own image into cleared planes, as RenderShapeImage makes it: the bitmap (32-bit) takes the
    // colours as they are and the alpha plane the opacity times the coverage, or the mask the covered pixels;
    // only covered pixels are written.
    bool ownImage = false;
};
// A bitmap output without clipping beyond its own size.
ShapeOutput BitmapShapeOutput(HostBitmap *bitmap);

// Draws the shape with its box's top-left at (x, y) of the output. Plain shapes go from the rasteriser's spans
// straight into the planes; edges, shadows, textures and transforms go through RenderShapeImage.
// Returns what RenderShapeImage returns (nothing drawn on an error).
int DrawShape(const ShapeRecord &shape, int32_t x, int32_t y, const DisplayTransform *transform,
              const ShapeOutput &output);
// The same through the generic renderer only: the oracle of the span path and of RenderShapeImage's own.
int DrawShapeGeneric(const ShapeRecord &shape, int32_t x, int32_t y, const DisplayTransform *transform,
                     const ShapeOutput &output);
// True when DrawShape takes the span path for this shape.
bool IsPlainShape(const ShapeRecord &shape, const DisplayTransform *transform);

// Draws the shape at (x, y) straight into a bitmap (the output without layers).
int DrawShapeIntoBitmap(HostBitmap *target, int32_t x, int32_t y, const ShapeRecord &shape,
                        const DisplayTransform *transform);

// Reads a polygon's point table: the table at stack index `table` or its "vertices" field, numbers x0, y0, x1, y1
// ... from index 0. Fills points relative to the bounding box's top-left and returns the count, the box size and
// the first point's offset in that box. Returns 0, raises kErrInternalLimit beyond 999 points, kErrNumberFieldExpected for a
// non-number (raised by the reader) or kErrWrongUsage for fewer than one point.
int ReadPolygonTable(VMState *vm, int table, std::vector<double> *points, int32_t *count, int32_t *width,
                     int32_t *height, int32_t *offsetX, int32_t *offsetY);
constexpr int32_t kMaxPolygonPoints = 999;

// kErrInternalLimit for a shape the renderer refuses, saying which limit it is (the message alone does not).
[[noreturn]] void RaiseShapeSizeLimit(VMState *vm);
