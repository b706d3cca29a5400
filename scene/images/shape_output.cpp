// Shapes, pixels and fills drawn into the current output, in each of its kinds, or made into shape layers.
#include <algorithm>
#include <cstdlib>

#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/draw_services.h"
#include "imaging/graphics_library.h"
#include "imaging/position.h"
#include "imaging/shapes.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/output.h"
#include "scene/layers/layers.h"

namespace {

bool IsRedirected(int32_t kind) {
    return kind == ObjectKindBrush || kind == ObjectKindMask || kind == ObjectKindAlphaChannel;
}

int DescribeOutput(int32_t *kind, int32_t *width, int32_t *height, int *layers) {
    DisplayRecord *d = CurrentDisplay;
    if (!d || !CurrentBGPic) return kErrWrongUsage;
    *kind = d->outputKind;
    *layers = d->layersEnabled && (d->outputKind == ObjectKindDisplay || d->outputKind == ObjectKindBGPic);
    *width = *height = 0;
    if (CurrentOutputSizeHook) CurrentOutputSizeHook(width, height);
    return 0;
}

// The rectangle a shape may have changed: its box widened by everything that reaches beyond it.
void ShapeBounds(const ShapeRecord &s, int32_t x, int32_t y, int32_t *bx, int32_t *by, int32_t *bw, int32_t *bh) {
    int64_t w = 1, h = 1;
    switch (s.kind) {
    case ObjectKindBox: w = s.sizeX, h = s.sizeY; break;
    case ObjectKindCircle:
    case ObjectKindEllipse:
    case ObjectKindArc: w = 2 * int64_t(s.radiusX) + 1, h = 2 * int64_t(s.radiusY) + 1; break;
    case ObjectKindLine: w = std::llabs(int64_t(s.x2) - s.x1) + 1, h = std::llabs(int64_t(s.y2) - s.y1) + 1; break;
    case ObjectKindPolygon:
        for (size_t i = 0; i + 1 < s.vertices.size(); i += 2) {
            w = std::max<int64_t>(w, int64_t(s.vertices[i]) + 1);
            h = std::max<int64_t>(h, int64_t(s.vertices[i + 1]) + 1);
        }
        break;
    default: break;
    }
    // Each term may be near INT32_MAX (a thickness of 1e300 saturates there): the sum is taken in 64 bits.
    const int64_t margin = int64_t(2) + s.thickness + s.style.outlineThickness +
                           (s.style.Edge() ? int64_t(s.style.edgeSize) : 0) +
                           (s.style.Shadow() ? int64_t(s.style.shadowSize) : 0);
    *bx = SaturateToInt32(double(x - margin));
    *by = SaturateToInt32(double(y - margin));
    *bw = SaturateToInt32(double(w + 2 * margin));
    *bh = SaturateToInt32(double(h + 2 * margin));
}

// Every plane the current output writes, with the mask mode, alpha intensity and clip region in force.
int CurrentShapeOutput(ShapeOutput *out, bool *redirected) {
    DisplayRecord *d = CurrentDisplay;
    if (!d || !CurrentBGPic) return kErrWrongUsage;
    if (int error = PrepareOutput()) return error;
    *redirected = IsRedirected(d->outputKind);
    if (*redirected) {
        out->bitmap = d->outputBitmap;
        out->mask = d->outputMask;
        out->alpha = d->outputAlpha;
    } else {
        out->bitmap = CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr;
    }
    int32_t width = 0, height = 0;
    if (CurrentOutputSizeHook) CurrentOutputSizeHook(&width, &height);
    if (out->bitmap) width = out->bitmap->width, height = out->bitmap->height;
    out->width = width, out->height = height;
    int32_t mode = GetMaskMode();
    out->maskMode = mode < MASKVISIBLE || mode > MASKOR ? MASKVISIBLE : mode;
    out->alphaLevel = GetAlphaIntensity() == VANILLACOPY ? kShapeAlphaOwnOpacity : GetAlphaIntensity();
    out->region = CurrentBGPic->clipRegion;
    return 0;
}

int DrawShapeNow(const ShapeRecord &shape, int32_t x, int32_t y) {
    ShapeOutput out;
    bool redirected = false;
    if (int error = CurrentShapeOutput(&out, &redirected)) return error;
    if (int error = DrawShape(shape, x, y, nullptr, out)) return error;
    if (redirected || !out.bitmap) return 0;
    int32_t bx, by, bw, bh;
    ShapeBounds(shape, x, y, &bx, &by, &bw, &bh);
    // A square box's outline changes only its bands: sending the whole box to the window would cost its area.
    const int64_t inset = 2 + int64_t(shape.style.outlineThickness);
    const int64_t far = std::max<int64_t>({std::llabs(x), std::llabs(y), shape.sizeX, shape.sizeY});
    if (shape.kind == ObjectKindBox && shape.roundLevel <= 0 && shape.style.fillStyle == kFillNone &&
        !shape.style.Shadow() && !shape.style.Edge() && shape.style.outlineThickness > 0 &&
        2 * inset < std::min(shape.sizeX, shape.sizeY) && far < (1 << 29))
        return PresentOutputRing(out.bitmap, bx, by, bw, bh, int32_t(x + inset), int32_t(y + inset),
                                 int32_t(shape.sizeX - 2 * inset), int32_t(shape.sizeY - 2 * inset));
    return PresentOutputRect(out.bitmap, bx, by, bw, bh);
}

int DrawImageNow(const ImageTriple &image, int32_t x, int32_t y) {
    if (int error = BlitToCurrentOutput(image, x, y, CurrentBGPic ? CurrentBGPic->clipRegion : nullptr)) return error;
    DisplayRecord *d = CurrentDisplay;
    if (!d || IsRedirected(d->outputKind)) return 0;
    HostBitmap *target = CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr;
    return target ? PresentOutputRect(target, x, y, image.width, image.height) : 0;
}

// Cls: one box over the whole output, without the draw state.
int FillOutput(uint32_t colour) {
    int32_t kind = 0, width = 0, height = 0;
    int layers = 0;
    if (int error = DescribeOutput(&kind, &width, &height, &layers)) return error;
    if (width < 1 || height < 1) return 0;
    ShapeRecord box;
    box.kind = ObjectKindBox;
    box.sizeX = width, box.sizeY = height;
    box.color = colour;
    box.style.fillStyle = kFillColor;
    return DrawShapeNow(box, 0, 0);
}

int ReadPixel(int32_t x, int32_t y, uint32_t *value) {
    DisplayRecord *d = CurrentDisplay;
    if (!d || !CurrentBGPic) return kErrWrongUsage;
    if (d->outputKind == ObjectKindMask) {
        const MaskPlane *mask = d->outputMask;
        *value = !mask || MaskBit(mask, x, y) ? 1 : 0;
        return 0;
    }
    if (d->outputKind == ObjectKindAlphaChannel) {
        const AlphaPlane *alpha = d->outputAlpha;
        *value = alpha ? alpha->bytes[ptrdiff_t(y) * alpha->bytesPerRow + x] : 255;
        return 0;
    }
    if (d->outputKind == ObjectKindBrush) {
        if (!d->outputBitmap) return kErrWrongUsage;
        *value = ReadPixelColour(d->outputBitmap, x, y) & 0xFFFFFF;
        return 0;
    }
    HostBitmap *bitmap = nullptr;
    bool owned = false;
    if (d->layersEnabled && (d->outputKind == ObjectKindBGPic || d->outputKind == ObjectKindDisplay)) {
        // One pixel of the picture composed with its layers and sprites.
        if (int error = RenderBGPicWithLayers(CurrentBGPic, x, y, 1, 1, &bitmap, &owned)) return error;
    } else if (d->outputKind == ObjectKindDisplay && d->picture && d->picture->sprites && !d->doubleBuffering) {
        // Sprites over the drawn picture: that one pixel composed, not the whole display.
        REDRAW(d, d->picture, d->secondBitmap, x, y, 1, 1, 0, kRedrawFromDisplayBitmap);
        bitmap = d->secondBitmap;
    } else if (SnapshotSourceHook) {
        if (int error = SnapshotSourceHook(&bitmap, &owned)) return error;
    } else {
        bitmap = CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr;
    }
    if (!bitmap) return kErrWrongUsage;
    const bool inside = x < bitmap->width && y < bitmap->height;
    *value = inside ? ReadPixelColour(bitmap, x, y) & 0xFFFFFF : 0;
    if (owned) FreeHostBitmap(bitmap);
    return inside ? 0 : kErrCoordinatesOutOfRange;
}

int AddShape(VMState *vm, ShapeRecord *shape, int32_t x, int32_t y, int32_t width, int32_t height,
             const DisplayTransform &transform, const LayerOptions &options) {
    return AddShapeLayer(vm, shape->kind, shape, x, y, width, height, transform, options);
}

} // namespace

void InstallShapeDrawing(DrawSceneServices *s) {
    s->describeOutput = DescribeOutput;
    s->drawShape = DrawShapeNow;
    s->drawImage = DrawImageNow;
    s->fillOutput = FillOutput;
    s->readPixel = ReadPixel;
    s->addShapeLayer = AddShape;
}
