// Brushes from files and objects, to files, and onto the output.
#include <algorithm>
#include <cstring>
#include <vector>

#include "host/bitmap_convert.h"
#include "host/catalog.h"
#include "host/blit.h"
#include "host/memory.h"
#include "host/picture.h"
#include "imaging/blit.h"
#include "imaging/display_image.h"
#include "imaging/gfx_cache.h"
#include "imaging/image_ops.h"
#include "imaging/planes.h"
#include "imaging/snapshot.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/utilities.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/output.h"

int (*DisplayImageLayerHook)(VMState *, int32_t, ObjectId, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                             const DisplayTransform &, const LayerOptions &) = nullptr;
static BrushLinkSourceFn BrushLinkSources[kObjectKindCount] = {};

void RegisterBrushLinkSource(int32_t kind, BrushLinkSourceFn source) {
    if (kind >= 0 && kind < kObjectKindCount) BrushLinkSources[kind] = source;
}

namespace {

int FromCache(const std::string &name, bool withAlpha, LoadedPicture *out) {
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> alpha;
    if (int error = LookupGfxCache(name, withAlpha, &out->width, &out->height, &pixels, &alpha)) return error;
    out->pixels = static_cast<uint32_t *>(AllocBlock(pixels.size() * sizeof(uint32_t), 0));
    if (!out->pixels) return kErrOutOfMemory;
    std::memcpy(out->pixels, pixels.data(), pixels.size() * sizeof(uint32_t));
    if (withAlpha && !alpha.empty()) {
        out->alpha = AllocAlphaPlane(out->width, out->height, true);
        if (!out->alpha) return kErrOutOfMemory;
        for (int32_t y = 0; y < out->height; y++)
            std::memcpy(out->alpha->bytes + size_t(y) * size_t(out->alpha->bytesPerRow),
                        alpha.data() + size_t(y) * size_t(out->width), size_t(out->width));
    }
    return 0;
}

// The alpha plane's bytes packed row after row, as the cache keeps them.
std::vector<uint8_t> PackAlpha(const AlphaPlane *alpha, int32_t width, int32_t height) {
    std::vector<uint8_t> packed(size_t(width) * size_t(height));
    for (int32_t y = 0; y < height; y++)
        std::memcpy(packed.data() + size_t(y) * size_t(width), alpha->bytes + size_t(y) * size_t(alpha->bytesPerRow),
                    size_t(width));
    return packed;
}

int CutOut(LoadedPicture *picture, int32_t x, int32_t y, int32_t width, int32_t height) {
    // A negative size would otherwise reach the allocation below as a huge or negative count.
    if (width < 0 || height < 0) return kErrSizeNotPositive;
    if (width == 0) width = picture->width;
    if (height == 0) height = picture->height;
    if (x < 0 || y < 0) return kErrNegativeCoordinate;
    if (x >= picture->width || y >= picture->height) return kErrCoordinatesOutOfRange;
    width = std::min(width, picture->width - x);
    height = std::min(height, picture->height - y);
    if (x == 0 && y == 0 && width == picture->width && height == picture->height) return 0;
    auto *pixels = static_cast<uint32_t *>(AllocBlock(size_t(width) * size_t(height) * sizeof(uint32_t), 0));
    if (!pixels) return kErrOutOfMemory;
    for (int32_t row = 0; row < height; row++)
        std::memcpy(pixels + size_t(row) * size_t(width),
                    picture->pixels + size_t(y + row) * size_t(picture->width) + size_t(x),
                    size_t(width) * sizeof(uint32_t));
    AlphaPlane *alpha = nullptr;
    if (picture->alpha) {
        alpha = AllocAlphaPlane(width, height, true);
        if (!alpha) {
            FreeBlock(pixels);
            return kErrOutOfMemory;
        }
        for (int32_t row = 0; row < height; row++)
            std::memcpy(alpha->bytes + size_t(row) * size_t(alpha->bytesPerRow),
                        picture->alpha->bytes + size_t(y + row) * size_t(picture->alpha->bytesPerRow) + size_t(x),
                        size_t(width));
    }
    FreeBlock(picture->pixels);
    FreeAlphaPlane(picture->alpha);
    picture->pixels = pixels;
    picture->alpha = alpha;
    picture->width = width;
    picture->height = height;
    return 0;
}

} // namespace

LoadedPicture::~LoadedPicture() {
    FreeBlock(pixels);
    FreeAlphaPlane(alpha);
}

int LoadPictureWithCache(const char *fileName, int32_t loadAlpha, const std::string &cache,
                         const std::string &cachedLoad, int32_t cacheAlpha, int preloading, LoadedPicture *picture) {
    const bool cacheAlphaOnly = preloading && cacheAlpha && !cache.empty();
    if (preloading && !cachedLoad.empty()) {
        if (int error = FromCache(cachedLoad, loadAlpha != 0, picture)) return error;
    } else {
        const int withAlpha = cacheAlphaOnly ? 1 : loadAlpha;
        if (int error = LoadPictureDatatype(fileName, withAlpha, &picture->pixels, &picture->alpha,
                                            &picture->transparent, &picture->width, &picture->height))
            return error;
    }
    if (preloading && !cache.empty()) {
        std::vector<uint8_t> packed;
        if (picture->alpha) packed = PackAlpha(picture->alpha, picture->width, picture->height);
        if (int error = AddToGfxCache(cache, picture->width, picture->height, picture->pixels,
                                      picture->alpha ? packed.data() : nullptr))
            return error;
        if (cacheAlphaOnly) {
            FreeAlphaPlane(picture->alpha);
            picture->alpha = nullptr;
        }
    }
    return 0;
}

int LoadBrushFile(ObjectId id, const char *fileName, const LoadBrushOptions &o, int preloading, Brush **out,
                  const char *shownName) {
    if (out) *out = nullptr;
    if (!IsAutoHandleRequest(id))
        if (int error = FreeBrushById(id, 0)) return error;
    PrintConsoleMessage(GetCatalogMessage(kMsgLoadingBrush), shownName ? shownName : fileName, 1);
    const int32_t cacheAlpha = o.loadAlpha == 1 ? 0 : o.cacheAlpha;
    if ((o.loadAlpha != 0 || o.globalAlpha != -1) && o.transparent != -1) return kErrMaskAndAlphaChannel;

    LoadedPicture picture;
    if (int error = LoadPictureWithCache(fileName, o.loadAlpha, o.cache, o.cachedLoad, cacheAlpha, preloading, &picture))
        return error;
    if (int error = CutOut(&picture, o.x, o.y, o.width, o.height)) return error;
    if (o.globalAlpha != -1) {
        const int32_t level = std::clamp(o.globalAlpha, 0, 255);
        if (picture.alpha) {
            MultiplyAlphaPlane(picture.alpha->bytes, picture.alpha->bytes, level, picture.alpha->bytesPerRow,
                               picture.alpha->height);
        } else {
            picture.alpha = AllocAlphaPlane(picture.width, picture.height, true);
            if (!picture.alpha) return kErrOutOfMemory;
            FillAlphaRect(picture.alpha, 0, 0, picture.width, picture.height, uint8_t(level));
        }
    }
    int64_t transparent = o.transparent;
    if (picture.transparent != -1) transparent = picture.transparent;
    if (transparent != -1) transparent &= 0xFFFFFF;

    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    uint32_t *kept = nullptr;
    if (preloading) {
        kept = picture.pixels;
    } else if (int error = PixelArrayToBitmap(picture.pixels, transparent, picture.width, picture.height,
                                              picture.width, &bitmap, &mask)) {
        return error;
    }
    if (int error = AddBrushRecord(id, kBrushBitmap, picture.width, picture.height, picture.width, kept, bitmap,
                                   int32_t(transparent), mask, picture.alpha, nullptr, out)) {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        return error;
    }
    if (preloading) picture.pixels = nullptr;
    picture.alpha = nullptr;
    return 0;
}

int SaveBrushFile(ObjectId id, const char *fileName, uint32_t colour, int32_t format, int32_t quality,
                  int32_t colours, int32_t dither) {
    Brush *brush = nullptr;
    if (int error = FindBrush(id, &brush, 0)) return error;
    if (!brush->bitmap) return kErrWrongUsage;
    return WriteBmpSnapshot(format, brush->bitmap, brush->width, brush->height, fileName, brush->mask, colour,
                            brush->alpha, quality, colours, dither);
}

int DrawBrushToOutput(Brush *brush, int32_t partX, int32_t partY, int32_t partWidth, int32_t partHeight, int32_t x,
                      int32_t y, const DisplayTransform &transform) {
    if (!brush->bitmap) return kErrWrongUsage;
    // First, so that planes the selection drops are not read below (the brush may be the selected one).
    if (int error = PrepareOutput()) return error;
    const ImageTriple source{brush->bitmap, brush->mask, brush->alpha, brush->width, brush->height};
    return DrawImageToOutput(source, partX, partY, partWidth, partHeight, x, y, transform);
}

int DrawImageToOutput(const ImageTriple &source, int32_t partX, int32_t partY, int32_t partWidth,
                      int32_t partHeight, int32_t x, int32_t y, const DisplayTransform &transform) {
    if (int error = PrepareOutput()) return error;
    if (partWidth == 0) partWidth = source.width;
    if (partHeight == 0) partHeight = source.height;
    ImageTriple image;
    bool owned = false;
    int32_t ox = 0, oy = 0;
    if (int error = BuildDisplayImage(source, partX, partY, partWidth, partHeight, transform, x, y, &image, &owned,
                                      &ox, &oy))
        return error;
    const int error = BlitToCurrentOutput(image, ox, oy, CurrentBGPic ? CurrentBGPic->clipRegion : nullptr);
    const int32_t width = image.width, height = image.height;
    if (owned) FreeImageTriple(&image);
    if (error) return error;
    HostBitmap *target = CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr;
    return target ? PresentOutputRect(target, ox, oy, width, height) : 0;
}

namespace {

// The display whose window shows target as it is, so that a changed rectangle of it can go to the window alone;
// null when the window shows something else (a composed or scaled picture) and *refresh says it must be redrawn.
DisplayRecord *DirectOutputDisplay(HostBitmap *target, bool *refresh) {
    *refresh = false;
    DisplayRecord *display = CurrentDisplay;
    if (!display || display->outputKind != ObjectKindDisplay || display->state != DISPSTATE_OPEN) return nullptr;
    const bool direct = !(display->autoScaling && DisplayHasScaledSize(display)) && display->picture &&
                        GetBGPicDisplayImage(display, display->picture) == target && !display->picture->current.alpha;
    *refresh = !direct;
    return direct ? display : nullptr;
}

} // namespace

int PresentOutputRect(HostBitmap *target, int32_t ox, int32_t oy, int32_t width, int32_t height) {
    bool refresh = false;
    DisplayRecord *display = DirectOutputDisplay(target, &refresh);
    if (refresh) return RefreshDisplay(CurrentDisplay, 0);
    if (display) PresentDisplayRect(target, ox, oy, display, ox, oy, width, height, 0);
    return 0;
}

int PresentOutputRing(HostBitmap *target, int32_t x, int32_t y, int32_t width, int32_t height, int32_t innerX,
                      int32_t innerY, int32_t innerWidth, int32_t innerHeight) {
    bool refresh = false;
    DisplayRecord *display = DirectOutputDisplay(target, &refresh);
    if (refresh) return RefreshDisplay(CurrentDisplay, 0);
    if (!display) return 0;
    // Four uploads, one present: each present shows the whole window.
    const int32_t below = innerY + innerHeight, right = innerX + innerWidth;
    UploadDisplayRect(target, x, y, display, x, y, width, innerY - y);
    UploadDisplayRect(target, x, below, display, x, below, width, y + height - below);
    UploadDisplayRect(target, x, innerY, display, x, innerY, innerX - x, innerHeight);
    UploadDisplayRect(target, right, innerY, display, right, innerY, x + width - right, innerHeight);
    PresentDisplayFrame(display);
    return 0;
}

static int DisplayBrushImage(VMState *vm, int32_t kind, ObjectId id, int32_t partX, int32_t partY,
                             int32_t partWidth, int32_t partHeight, int32_t x, int32_t y, int optionsIndex) {
    Brush *brush = nullptr;
    if (int error = FindBrush(id, &brush, 0)) return error;
    if (kind == ObjectKindBrush) {
        partWidth = brush->width;
        partHeight = brush->height;
    }
    DisplayTransform transform;
    LayerOptions options;
    if (optionsIndex)
        if (int error = ParseDisplayOptions(vm, optionsIndex, partWidth, partHeight, 0, &transform, &options))
            return error;
    const DisplayRecord *display = CurrentDisplay;
    // A picture selected with its layers collects layers as the shown one does.
    if (display && display->layersEnabled &&
        (display->outputKind == ObjectKindDisplay || display->outputKind == ObjectKindBGPic)) {
        if (!DisplayImageLayerHook) return LibraryNotRegistered("layers");
        return DisplayImageLayerHook(vm, kind, id, partX, partY, x, y, partWidth, partHeight, transform, options);
    }
    return DrawBrushToOutput(brush, partX, partY, partWidth, partHeight, x, y, transform);
}

int DisplayBrushAt(VMState *vm, ObjectId id, int32_t x, int32_t y, int optionsIndex) {
    return DisplayBrushImage(vm, ObjectKindBrush, id, 0, 0, 0, 0, x, y, optionsIndex);
}

int DisplayBrushPartAt(VMState *vm, ObjectId id, int32_t sourceX, int32_t sourceY, int32_t x, int32_t y,
                       int32_t width, int32_t height, int optionsIndex) {
    if (width < 1 || height < 1) return kErrSizeNotPositive;
    return DisplayBrushImage(vm, ObjectKindBrushPart, id, sourceX, sourceY, width, height, x, y, optionsIndex);
}

int MakeBrushLink(VMState *vm, int32_t kind, ObjectId source, ObjectId target, int32_t frame) {
    if (kind == ObjectKindBrush && !source.handle && !target.handle && source.number == target.number)
        return kErrWrongUsage;
    if (!IsAutoHandleRequest(target))
        if (int error = FreeBrushById(target, 0)) return error;
    if (kind < 1 || kind > 32) return kErrWrongUsage;
    ImageTriple image;
    int32_t sourceX = 0, sourceY = 0, transparent = -1;
    bool temporary = false;
    switch (kind) {
    case ObjectKindBGPic: {
        BGPic *bgpic = nullptr;
        if (int error = FindBGPic(source, &bgpic, 0)) return error;
        image = bgpic->scaled;
        transparent = bgpic->transparentColor;
        break;
    }
    case ObjectKindBrush: {
        Brush *brush = nullptr;
        if (int error = FindBrush(source, &brush, 0)) return error;
        image = ImageTriple{brush->bitmap, brush->mask, brush->alpha, brush->width, brush->height};
        transparent = brush->transparentColor;
        break;
    }
    case ObjectKindLayer:
        if (!CurrentDisplay || !CurrentDisplay->layersEnabled) return kErrLayersRequired;
        [[fallthrough]];
    case ObjectKindAnim:
    case ObjectKindTextObject:
    case ObjectKindSprite:
        if (!BrushLinkSources[kind]) return kErrWrongUsage; // only when the kind's library is not loaded
        if (int error = BrushLinkSources[kind](vm, source, frame, &image, &sourceX, &sourceY, &transparent,
                                               &temporary))
            return error;
        break;
    default: return kErrWrongUsage;
    }
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    const int32_t width = image.width, height = image.height; // a temporary image is cleared when freed
    int error = CopyImage(image.bitmap, image.mask, image.alpha, sourceX, sourceY, width, height, &bitmap, &mask,
                          &alpha);
    if (temporary) FreeImageTriple(&image);
    if (error) return error;
    Brush *made = nullptr;
    if (int e = AddBrushRecord(target, kBrushBitmap, width, height, width, nullptr, bitmap, transparent, mask, alpha,
                               nullptr, &made)) {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
        return e;
    }
    return PushAutoHandle(vm, target, made);
}
