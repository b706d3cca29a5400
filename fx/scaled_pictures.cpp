// Effects that draw whole pictures (or halves) squeezed to a changing size share one frame pattern: scale into a
// temporary, draw it, free it, and hand ScaleImage's error back so that the engine ends the run on it.
#include <algorithm>

#include "fx/effect_families.h"
#include "fx/realtime_layer.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/image_ops.h"
#include "runtime/app/errors.h"
#include "scene/images/bgpic.h"

namespace {

// When the scaled piece lands whole inside an output of the picture's format with no clip region, the copy
// out of the scratch bitmap would be a plain one: scale straight into the output instead. Returns -1 when the
// piece must go through the scratch bitmap, else ScaleImage's error.
int ScaleIntoOutput(FxRequest *request, const HostBitmap *picture, int32_t sx, int32_t sy, int32_t sourceWidth,
                    int32_t sourceHeight, int32_t dx, int32_t dy, int32_t width, int32_t height) {
    HostBitmap *output = FxOutputBitmap(request);
    const BGPic *current = CurrentBGPic;
    if (!output || !output->pixels || output->format != picture->format || (current && current->clipRegion))
        return -1;
    if (dx < 0 || dy < 0 || int64_t(dx) + width > request->width || int64_t(dy) + height > request->height) return -1;
    const int64_t ox = int64_t(request->x) + dx, oy = int64_t(request->y) + dy;
    if (ox < 0 || oy < 0 || ox + width > std::min(request->outWidth, output->width) ||
        oy + height > std::min(request->outHeight, output->height))
        return -1;
    // Scaling a picture into the memory it is read from would read pixels already overwritten.
    const uint8_t *from = picture->pixels, *fromEnd = from + HostBitmapStride(picture) * size_t(picture->height);
    const uint8_t *to = output->pixels, *toEnd = to + HostBitmapStride(output) * size_t(output->height);
    if (from < toEnd && to < fromEnd) return -1;
    HostBitmap view;
    view.width = width, view.height = height;
    view.rowPixels = output->rowPixels;
    view.bytesPerPixel = output->bytesPerPixel;
    view.format = output->format;
    view.pixels = HostBitmapRow(output, int32_t(oy)) + size_t(ox) * size_t(output->bytesPerPixel);
    HostBitmap *scaled = nullptr;
    if (int error = ScaleImage(picture, nullptr, nullptr, sx, sy, &view, sourceWidth, sourceHeight, width, height,
                               false, &scaled, nullptr, nullptr))
        return error;
    UploadFxOutputRect(request, int32_t(ox), int32_t(oy), width, height);
    return 0;
}

} // namespace

int DrawFxScaled(FxRequest *request, FxScratch *scratch, const HostBitmap *picture, const MaskPlane *mask,
                 const AlphaPlane *alpha, int32_t sx, int32_t sy, int32_t sourceWidth, int32_t sourceHeight,
                 int32_t dx, int32_t dy, int32_t width, int32_t height, HostBitmap *work) {
    // A piece squeezed to nothing (the far half not yet turning, a shrinking picture's end) draws nothing.
    if (!picture || width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return 0;
    const bool layer = DrawsLayerPlane(request);
    const bool compose = (mask || alpha) && work && request->oldImage;
    if (!compose && !layer)
        if (const int direct = ScaleIntoOutput(request, picture, sx, sy, sourceWidth, sourceHeight, dx, dy, width, height);
            direct >= 0)
            return direct;
    // A cleared allocation of a whole picture every frame would cost as much as the scaling itself.
    if (!scratch->bitmap) {
        scratch->bitmap = AllocHostBitmapFormat(request->width, request->height, picture->format);
        if (!scratch->bitmap) return kErrOutOfMemory;
    }
    HostBitmap *into = scratch->bitmap->bytesPerPixel == picture->bytesPerPixel && width <= scratch->bitmap->width &&
                               height <= scratch->bitmap->height
                           ? scratch->bitmap
                           : nullptr;
    HostBitmap *scaled = nullptr;
    MaskPlane *scaledMask = nullptr;
    AlphaPlane *scaledAlpha = nullptr;
    if (int error = ScaleImage(picture, mask, alpha, sx, sy, into, sourceWidth, sourceHeight, width, height, false,
                               &scaled, &scaledMask, &scaledAlpha))
        return error;
    if (into) scaled = into;
    if (layer) {
        // The picture keeps its own transparency in the layer: what lies beneath shows through as it is.
        DrawIntoLayer(request, scaled, scaledMask, scaledAlpha, 0, 0, dx, dy, width, height);
    } else if ((scaledMask || scaledAlpha) && work && request->oldImage) {
        // Transparent parts show the old picture: compose over it in the work bitmap, then send that rectangle.
        const int32_t w = request->width, h = request->height;
        ClippedCopyRect(request->oldImage, dx, dy, work, dx, dy, width, height, w, h, w, h);
        SAFEBLT(scaled, 0, 0, work, dx, dy, width, height, scaled->width, scaled->height, w, h, kBlitMasked | kBlitToBitmap,
                scaledMask, scaledAlpha, nullptr);
        DrawFxPictureRect(request, work, dx, dy, dx, dy, width, height);
    } else {
        DrawFxPictureRect(request, scaled, 0, 0, dx, dy, width, height);
    }
    if (scaled != into) FreeHostBitmap(scaled);
    FreeMaskPlane(scaledMask);
    FreeAlphaPlane(scaledAlpha);
    return 0;
}

void FreeFxScratch(FxRequest *request, int) {
    auto *scratch = FxState<FxScratch>(request);
    FreeHostBitmap(scratch->bitmap);
    scratch->bitmap = nullptr;
}
