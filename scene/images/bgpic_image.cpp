// Building a picture's image from pixels and its fill, and scaling it.
#include "host/bitmap_convert.h"
#include "host/blit.h"
#include "host/memory.h"
#include "imaging/blit.h"
#include "imaging/gradient.h"
#include "imaging/image_ops.h"
#include "runtime/app/errors.h"
#include "scene/images/bgpic.h"
#include "scene/images/plane_copy.h"

// Fills a new bitmap by the fill's kind. A texture fill without its bitmap takes a copy of the brush's now.
static int FillBitmap(HostBitmap *bitmap, BGPicFillSpec *fill, int32_t width, int32_t height) {
    if (!fill) return 0;
    switch (fill->kind) {
    case kFillColor: FillNewBitmap(bitmap, fill->color); return 0;
    case kFillGradient:
        DRAWGRADIENT(bitmap, 0, 0, width, height, fill->color, fill->endColor, fill->angle);
        return 0;
    case kFillTexture: {
        if (!fill->texture) {
            ImageTriple brush{};
            if (int error = FindBrushImage(ObjectId{fill->brushNumber, nullptr}, 0, &brush)) return error;
            if (!brush.bitmap) return kErrWrongUsage;
            fill->texture = CopyBitmap(brush.bitmap);
            if (!fill->texture) return kErrOutOfMemory;
            fill->textureWidth = brush.width;
            fill->textureHeight = brush.height;
        }
        TextureFill(bitmap, 0, 0, width, height, fill->texture, fill->textureX, fill->textureY, fill->textureWidth,
                    fill->textureHeight);
        return 0;
    }
    default: return 0; // new bitmaps start black, so "no fill" never shows stale memory
    }
}

int BuildBGPicImage(const uint32_t *pixels, BGPicFillSpec *fill, int32_t transparentColor, int32_t width,
                    int32_t height, int32_t rowPixels, HostBitmap **outBitmap, MaskPlane **outMask,
                    AlphaPlane **alpha) {
    *outBitmap = nullptr;
    *outMask = nullptr;
    HostBitmap *converted = nullptr;
    MaskPlane *convertedMask = nullptr;
    AlphaPlane *loadedAlpha = alpha ? *alpha : nullptr;
    if (pixels) {
        if (rowPixels < width) return kErrWrongUsage;
        if (int error = PixelArrayToBitmap(pixels, transparentColor, width, height, rowPixels, &converted,
                                           &convertedMask))
            return error;
        if (!fill || fill->kind == kFillNone || (!loadedAlpha && !convertedMask)) {
            *outBitmap = converted;
            *outMask = convertedMask;
            return 0;
        }
    }
    HostBitmap *bitmap = AllocHostBitmap(width, height);
    if (!bitmap) {
        FreeHostBitmap(converted);
        FreeMaskPlane(convertedMask);
        return kErrOutOfMemory;
    }
    if (int error = FillBitmap(bitmap, fill, width, height)) {
        FreeHostBitmap(bitmap);
        FreeHostBitmap(converted);
        FreeMaskPlane(convertedMask);
        return error;
    }
    if (converted) {
        // Flattened onto the fill: the result has no mask and no alpha plane.
        if (loadedAlpha) BLTALPHABITMAP(converted, 0, 0, bitmap, 0, 0, width, height, loadedAlpha);
        else if (convertedMask) BLTMASK(converted, 0, 0, bitmap, 0, 0, width, height, convertedMask);
        FreeHostBitmap(converted);
        FreeMaskPlane(convertedMask);
        FreeAlphaPlane(loadedAlpha);
        *alpha = nullptr;
    }
    *outBitmap = bitmap;
    return 0;
}

bool BGPicRebuildsFromFill(const BGPic *bgpic) {
    // A vector picture without a fill (made from a vector brush) would rebuild as plain black: it is scaled
    // from its base image instead.
    return bgpic->type == kBGPicVector && bgpic->fill.kind != kFillNone;
}

std::string VectorBGPicHint(const BGPic *bgpic) {
    const char *kind = bgpic->fill.kind == kFillGradient ? (bgpic->fill.rainbow ? "rainbow" : "gradient")
                       : bgpic->fill.kind == kFillTexture ? "textured"
                                                          : "vector";
    // It is rebuilt from its fill at every size, so pixels drawn into it would have nowhere to stay.
    return std::string("A ") + kind + " picture cannot be drawn into; with layers on, SelectBGPic() in its " +
           "default mode (#SELMODE_LAYERS) puts what is drawn on layers above it.";
}

int RenderBGPicAtSize(int fromFill, const ImageTriple &source, BGPicFillSpec *fill, int32_t width, int32_t height,
                      bool smooth, ImageTriple *out) {
    *out = ImageTriple{};
    if (width <= 0 || height <= 0) return kErrWrongUsage;
    ImageTriple made{nullptr, nullptr, nullptr, width, height};
    int error;
    if (fromFill) {
        error = BuildBGPicImage(nullptr, fill, -1, width, height, width, &made.bitmap, &made.mask, nullptr);
    } else {
        if (!source.bitmap) return kErrWrongUsage;
        error = ScaleImage(source.bitmap, source.mask, source.alpha, 0, 0, nullptr, source.width, source.height,
                           width, height, smooth, &made.bitmap, &made.mask, &made.alpha);
    }
    if (error) return error;
    *out = made;
    return 0;
}

int ScaleBGPicImage(BGPic *bgpic, int32_t width, int32_t height, bool smooth) {
    if (int error = ApplyKeepAspectRatio(bgpic->scaled.width, bgpic->scaled.height, &width, &height)) return error;
    if (width == bgpic->scaled.width && height == bgpic->scaled.height) return 0;
    ImageTriple made{};
    if (int error = RenderBGPicAtSize(BGPicRebuildsFromFill(bgpic), bgpic->base, &bgpic->fill, width, height,
                                      smooth, &made))
        return error;
    FreeBGPicDerivedImages(bgpic);
    bgpic->scaled = made;
    bgpic->current = made;
    return 0;
}

int RebuildAllBGPics() {
    for (BGPic *bgpic : BGPicList) {
        if (!bgpic->keptPixels) continue;
        HostBitmap *bitmap = nullptr;
        MaskPlane *mask = nullptr;
        AlphaPlane *alpha = bgpic->base.alpha;
        if (int error = BuildBGPicImage(bgpic->keptPixels, &bgpic->fill, bgpic->transparentColor, bgpic->base.width,
                                        bgpic->base.height, bgpic->rowPixels, &bitmap, &mask, &alpha))
            return error;
        FreeBlock(bgpic->keptPixels);
        bgpic->keptPixels = nullptr;
        bgpic->base = ImageTriple{bitmap, mask, alpha, bgpic->base.width, bgpic->base.height};
        bgpic->scaled = bgpic->base;
        bgpic->current = bgpic->base;
        bgpic->outputSourceKind = bgpic->outputFrame = bgpic->outputDrawn = 0;
        bgpic->outputSourceObject = nullptr;
    }
    return 0;
}
