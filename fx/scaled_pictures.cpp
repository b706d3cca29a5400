// Effects that draw whole pictures (or halves) squeezed to a changing size share one frame pattern: scale into a
// temporary, draw it, free it, and hand ScaleImage's error back so that the engine ends the run on it.
#include "fx/effect_families.h"
#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/image_ops.h"
#include "runtime/app/errors.h"

int DrawFxScaled(FxRequest *request, FxScratch *scratch, const HostBitmap *picture, const MaskPlane *mask,
                 const AlphaPlane *alpha, int32_t sx, int32_t sy, int32_t sourceWidth, int32_t sourceHeight,
                 int32_t dx, int32_t dy, int32_t width, int32_t height, HostBitmap *work) {
    // A piece squeezed to nothing (the far half not yet turning, a shrinking picture's end) draws nothing.
    if (!picture || width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return 0;
    // A cleared allocation of a whole picture every frame would cost as much as the scaling itself.
    if (!scratch->bitmap) {
        scratch->bitmap = AllocHostBitmapFormat(request->width, request->height, picture->format);
        if (!scratch->bitmap) return kErrOutOfMemoryCode;
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
    if ((scaledMask || scaledAlpha) && work && request->oldImage) {
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
