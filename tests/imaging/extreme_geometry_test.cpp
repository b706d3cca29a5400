// Positions and sizes anywhere in the 32-bit range reach every geometry entry point of the imaging core: each
// must clip or refuse, never overflow (the sanitizer build turns an overflow into a failure) or allocate wildly.
#include <gtest/gtest.h>

#include <climits>

#include "host/bitmap.h"
#include "imaging/blit.h"
#include "imaging/gradient.h"
#include "imaging/image_ops.h"
#include "imaging/pixel_ops.h"
#include "imaging/position.h"
#include "imaging/raster.h"
#include "imaging/shapes.h"

namespace {

constexpr int32_t kExtremes[] = {INT32_MIN, INT32_MIN + 1, -70000, -1, 0, 3, 70000, INT32_MAX - 1, INT32_MAX};

struct Planes {
    HostBitmap *bitmap = AllocHostBitmap(8, 6);
    MaskPlane *mask = AllocMaskPlane(bitmap, 8, 6);
    AlphaPlane *alpha = AllocAlphaPlane(8, 6);
    ~Planes() {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
    }
};

void Release(HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha) {
    FreeHostBitmap(bitmap);
    FreeMaskPlane(mask);
    FreeAlphaPlane(alpha);
}

TEST(ExtremeGeometry, BlitsClipEveryPositionAndSize) {
    Planes source, target;
    for (int32_t a : kExtremes)
        for (int32_t b : kExtremes) {
            SAFEBLT(source.bitmap, a, 0, target.bitmap, b, a, b, 4, 0, 0, 0, 0, 0, source.mask, nullptr, nullptr);
            SAFEBLT(source.bitmap, 0, b, target.bitmap, a, b, 4, a, 0, 0, 0, 0, 0, nullptr, source.alpha, nullptr);
            BLTALPHABITMAP(source.bitmap, a, b, target.bitmap, b, a, a, b, source.alpha);
            BLTALPHACHANNEL(source.alpha, a, b, target.bitmap, b, a, b, a, 0xFF0000, kAlphaChannelColor);
            MixImages(target.bitmap, source.bitmap, source.mask, a, b, b, a, a, b, 128, source.alpha, 0, 0);
            TintImage(target.bitmap, a, b, b, a, 0x00FF00, 100);
            DRAWGRADIENT(target.bitmap, a, b, b, a, 0, 0xFFFFFF, 45);
            TextureFill(target.bitmap, a, b, b, a, source.bitmap, a, b, 8, 6);
            FloodFillParams fill{reinterpret_cast<uint8_t *>(target.bitmap->pixels), 8, 6, 8, 0xFF, 0};
            FloodFillPixels32(fill, a, b, 0xFFFFFF);
            ResolveXPosition(a, b, a, 0.5);
            ResolveYPosition(kPosBottom, a, b, 1.0);
            const int32_t polygon[6] = {a, b, b, a, 0, 0};
            FillPolygonMask(target.mask, polygon, 3, nullptr, 0);
        }
}

TEST(ExtremeGeometry, ImageOperationsRefuseWhatTheyCannotMake) {
    Planes source;
    const double stretch[4] = {2, 0, 0, 2};
    for (int32_t a : kExtremes)
        for (int32_t b : kExtremes) {
            HostBitmap *bitmap = nullptr;
            MaskPlane *mask = nullptr;
            AlphaPlane *alpha = nullptr;
            if (CopyImage(source.bitmap, source.mask, source.alpha, a, b, b, a, &bitmap, &mask, &alpha) == 0)
                Release(bitmap, mask, alpha);
            bitmap = nullptr, mask = nullptr, alpha = nullptr;
            if (ScaleImage(source.bitmap, source.mask, source.alpha, a, b, nullptr, 4, 4, a, b, true, &bitmap,
                           &mask, &alpha) == 0)
                Release(bitmap, mask, alpha);
            bitmap = nullptr, mask = nullptr, alpha = nullptr;
            int32_t width = 0, height = 0;
            if (TransformImage(source.bitmap, source.mask, source.alpha, a, b, b, a, stretch, false, &bitmap, &mask,
                               &alpha, &width, &height) == 0)
                Release(bitmap, mask, alpha);
            int32_t x, y;
            TransformedBounds(a, b, a, b, stretch, &x, &y, &width, &height);
        }
}

TEST(ExtremeGeometry, ShapesAtAndOfEveryExtent) {
    Planes target;
    ShapeOutput maskOutput, alphaOutput;
    maskOutput.mask = target.mask, maskOutput.width = 8, maskOutput.height = 6;
    alphaOutput.alpha = target.alpha, alphaOutput.width = 8, alphaOutput.height = 6;
    for (int32_t kind : {14, 15, 16, 17, 18, 27, 31})
        for (int32_t a : kExtremes)
            for (int32_t b : kExtremes) {
                ShapeRecord shape;
                shape.kind = kind;
                shape.color = 0xFFFFFF;
                shape.sizeX = a, shape.sizeY = b, shape.roundLevel = b;
                shape.radiusX = a, shape.radiusY = b;
                shape.x1 = a, shape.y1 = b, shape.x2 = b, shape.y2 = a;
                shape.vertices = {double(a), double(b), double(b), double(a), 0, 0};
                shape.startAngle = a, shape.endAngle = b;
                shape.style.styleBits = (kind % 4) * 16;
                shape.style.fillStyle = kind % 4;
                shape.style.outlineThickness = b;
                shape.style.edgeSize = shape.style.shadowSize = a;
                shape.thickness = b;
                DrawShape(shape, a, b, nullptr, BitmapShapeOutput(target.bitmap));
                DrawShape(shape, b, a, nullptr, maskOutput);
                DrawShape(shape, a, a, nullptr, alphaOutput);
            }
}

} // namespace
