// The shape tail of a layer state (kept apart: the shape header and the picture header share fill names).
#include <new>

#include "imaging/shapes.h"
// Declared in scene/layers/layers.h, which cannot be included beside the shape header.

ShapeRecord *CopyShapeRecord(const ShapeRecord *shape) { return new (std::nothrow) ShapeRecord(*shape); }

void FreeShapeRecord(ShapeRecord *shape) { delete shape; }

int RenderShapeLayerImage(const ShapeRecord *shape, const DisplayTransform &transform, ImageTriple *out,
                          int32_t *offsetX, int32_t *offsetY) {
    return RenderShapeImage(*shape, &transform, out, offsetX, offsetY);
}

int RenderFirstShapeImage(const ShapeRecord *shape, const DisplayTransform &transform, ImageTriple *out,
                          int32_t *offsetX, int32_t *offsetY) {
    *out = ImageTriple{};
    if (IsIdentityTransform(transform)) return RenderShapeImage(*shape, nullptr, out, offsetX, offsetY);
    return ShapeImageBox(*shape, offsetX, offsetY, &out->width, &out->height);
}

void RaiseShapeLayerSizeLimit(VMState *vm) { RaiseShapeSizeLimit(vm); }
