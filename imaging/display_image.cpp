#include "imaging/display_image.h"

#include <cmath>

#include "host/window.h"
#include "imaging/blit.h"
#include "imaging/image_ops.h"
#include "imaging/position.h"
#include "runtime/app/errors.h"

int (*DisplayPresentTargetHook)(DisplayRecord *display, PresentTarget *out) = nullptr;

static bool IsPositionConstant(int32_t v, bool horizontal) {
    return ResolveXPosition(v, 0, 1, 0) != v || (!horizontal && ResolveYPosition(v, 0, 1, 0) != v);
}

int BuildDisplayImage(const ImageTriple &source, int32_t partX, int32_t partY, int32_t partWidth, int32_t partHeight,
                      const DisplayTransform &t, int32_t x, int32_t y, ImageTriple *out, bool *owned, int32_t *outX,
                      int32_t *outY) {
    *out = ImageTriple{};
    *owned = false;
    if (!source.bitmap) return kErrWrongUsage;
    const bool whole = partX == 0 && partY == 0 && partWidth == source.width && partHeight == source.height;
    ImageTriple part = source;
    if (!whole) {
        part = ImageTriple{};
        if (int err = CopyImage(source.bitmap, source.mask, source.alpha, partX, partY, partWidth, partHeight,
                                &part.bitmap, &part.mask, &part.alpha))
            return err;
        part.width = part.bitmap->width;
        part.height = part.bitmap->height;
    }
    const double m[4] = {t.a, t.b, t.c, t.d};
    ImageTriple image = part;
    if (!IsIdentityTransform(t)) {
        int err;
        image = ImageTriple{};
        if (IsPlainScale(m)) {
            // A plain scale keeps the mask a mask and needs no bounding box.
            int32_t w, h;
            PlainScaleSize(m, part.width, part.height, &w, &h);
            err = ScaleImage(part.bitmap, part.mask, part.alpha, 0, 0, nullptr, part.width, part.height, w, h,
                             t.smooth != 0, &image.bitmap, &image.mask, &image.alpha);
            image.width = w;
            image.height = h;
        } else {
            err = ApplyImageTransform(part, m, t.smooth != 0, &image);
        }
        if (!whole) FreeImageTriple(&part);
        if (err) return err;
    }
    *owned = !whole || !IsIdentityTransform(t);
    *out = image;
    // Position constants place the drawn box; plain coordinates place the anchor point.
    const bool constX = IsPositionConstant(x, true), constY = IsPositionConstant(y, false);
    int32_t bx, by, bw, bh;
    TransformedBounds(int32_t(std::lround(x - t.anchorX * part.width)), int32_t(std::lround(y - t.anchorY * part.height)),
                      part.width, part.height, m, &bx, &by, &bw, &bh, t.anchorX, t.anchorY);
    *outX = constX ? ResolveXPosition(x, image.width, 0, 0) : bx;
    *outY = constY ? ResolveYPosition(y, image.height, 0, 0) : by;
    return 0;
}

int DrawDisplayImage(HostBitmap *target, const ImageTriple &source, int32_t partX, int32_t partY, int32_t partWidth,
                     int32_t partHeight, const DisplayTransform &transform, int32_t x, int32_t y) {
    ImageTriple image;
    bool owned;
    int32_t ox, oy;
    if (int err = BuildDisplayImage(source, partX, partY, partWidth, partHeight, transform, x, y, &image, &owned, &ox, &oy))
        return err;
    SAFEBLT(image.bitmap, 0, 0, target, ox, oy, image.width, image.height, 0, 0, 0, 0, kBlitMasked | kBlitToBitmap,
            image.mask, image.alpha, nullptr);
    if (owned) FreeImageTriple(&image);
    return 0;
}

void PresentDisplayRect(const HostBitmap *bitmap, int32_t sx, int32_t sy, DisplayRecord *display, int32_t dx,
                        int32_t dy, int32_t width, int32_t height, int32_t flags) {
    if (!bitmap || !DisplayPresentTargetHook) return;
    PresentTarget target;
    if (DisplayPresentTargetHook(display, &target) != 0 || !target.window) return;
    if (target.autoScale && target.scaledWidth > 0 && target.scaledHeight > 0) {
        // The scaled picture is drawn whole: a scaled rectangle's edges would not meet its neighbours' exactly.
        (void)flags;
        PresentWindowScaled(target.window, bitmap, 0, 0, target.scaledWidth, target.scaledHeight);
        return;
    }
    if (!ClipBlitRect(nullptr, &sx, &sy, &dx, &dy, &width, &height, bitmap->width, bitmap->height, INT32_MAX, INT32_MAX))
        return;
    PresentWindowPixels(target.window, bitmap, sx, sy, dx, dy, width, height);
}

void UploadDisplayRect(const HostBitmap *bitmap, int32_t sx, int32_t sy, DisplayRecord *display, int32_t dx,
                       int32_t dy, int32_t width, int32_t height) {
    if (!bitmap || !DisplayPresentTargetHook) return;
    PresentTarget target;
    if (DisplayPresentTargetHook(display, &target) != 0 || !target.window || target.autoScale) return;
    if (!ClipBlitRect(nullptr, &sx, &sy, &dx, &dy, &width, &height, bitmap->width, bitmap->height, INT32_MAX, INT32_MAX))
        return;
    UpdateWindowPixels(target.window, bitmap, sx, sy, dx, dy, width, height);
}

void PresentDisplayFrame(DisplayRecord *display) {
    if (!DisplayPresentTargetHook) return;
    PresentTarget target;
    if (DisplayPresentTargetHook(display, &target) != 0 || !target.window) return;
    PresentWindow(target.window);
}
