// LoadAnim's core: an animation file as in-memory or disk frames, or a picture as one frame or a grid of cells.
#include "host/bitmap_convert.h"
#include "host/catalog.h"
#include "host/memory.h"
#include "media/anim/anim.h"
#include "media/anim/anim_file.h"
#include "runtime/app/errors.h"
#include "runtime/app/utilities.h"
#include "scene/images/brush.h"
#include "scene/images/image_grid.h"

namespace {

// A frame from pixels of width x height: kept as they are while preloading, else made into bitmap and mask.
int AddPixelFrame(FrameList &list, uint32_t *pixels, int64_t transparent, int32_t width, int32_t height,
                  bool keepPixels) {
    AnimFrame frame;
    if (keepPixels) {
        frame.keptPixels = pixels;
    } else {
        const int error = PixelArrayToBitmap(pixels, transparent, width, height, width, &frame.bitmap, &frame.mask);
        FreeBlock(pixels);
        if (error) return error;
    }
    list.frames.push_back(frame);
    return 0;
}

int FramesFromAnimFile(AnimFile *file, int32_t count, int32_t width, int32_t height, int64_t transparent,
                       bool keepPixels, FrameList &list, std::vector<int32_t> &delays) {
    list.frames.reserve(size_t(count));
    for (int32_t n = 0; n < count; n++) {
        uint32_t *pixels = ReadAnimFileFrame(file, n);
        if (!pixels) return kErrAnimFrameLoad;
        if (int error = AddPixelFrame(list, pixels, transparent, width, height, keepPixels)) return error;
        delays.push_back(GetAnimFileFrameDelay(file, n));
    }
    return 0;
}

int FramesFromPicture(LoadedPicture &picture, const LoadAnimOptions &o, int64_t transparent, bool keepPixels,
                      FrameList &list, int32_t *width, int32_t *height) {
    if (o.width <= 0 || o.height <= 0) {
        // The whole picture is the one frame.
        AnimFrame frame;
        if (keepPixels) {
            frame.keptPixels = picture.pixels;
        } else if (int error = PixelArrayToBitmap(picture.pixels, transparent, picture.width, picture.height,
                                                  picture.width, &frame.bitmap, &frame.mask)) {
            return error;
        } else {
            FreeBlock(picture.pixels);
        }
        picture.pixels = nullptr;
        frame.alpha = picture.alpha;
        picture.alpha = nullptr;
        list.frames.push_back(frame);
        *width = picture.width, *height = picture.height;
        return 0;
    }
    ImageGrid grid{o.x, o.y, o.width, o.height, o.frames, o.perRow};
    if (int error = CheckImageGrid(&grid, picture.width, picture.height)) return error;
    ImageTriple source{nullptr, nullptr, picture.alpha, picture.width, picture.height};
    if (!keepPixels)
        if (int error = PixelArrayToBitmap(picture.pixels, transparent, picture.width, picture.height, picture.width,
                                           &source.bitmap, &source.mask))
            return error;
    int error = 0;
    list.frames.reserve(size_t(grid.frames));
    for (int32_t k = 0; k < grid.frames && !error; k++) {
        AnimFrame frame;
        if (keepPixels) {
            frame.keptPixels = CutGridCellPixels(grid, k, picture.pixels, picture.width);
            if (!frame.keptPixels) error = kErrOutOfMemory;
        } else {
            ImageTriple cell;
            error = CutGridCell(grid, k, source, &cell);
            frame.bitmap = cell.bitmap, frame.mask = cell.mask, frame.alpha = cell.alpha;
        }
        if (!error) list.frames.push_back(frame);
    }
    FreeHostBitmap(source.bitmap);
    FreeMaskPlane(source.mask);
    *width = grid.cellWidth, *height = grid.cellHeight;
    return error;
}

} // namespace

LoadedFrames::~LoadedFrames() {
    if (file) CloseAnimFile(file);
}

int LoadFramesFromFile(const char *fileName, const LoadAnimOptions &o, int preloading, bool keepPixels,
                       LoadedFrames *out) {
    if (o.loadAlpha && o.transparent != -1) return kErrMaskAndAlphaChannel;
    if (o.frames && o.fromDisk) return kErrWrongUsage;
    out->transparent = o.transparent == -1 ? -1 : (o.transparent & 0xFFFFFF);
    // The file is an animation unless frames are to be cut from it; what no reader takes is a picture.
    AnimFile *file = nullptr;
    if (!o.frames && !(preloading && !o.cachedLoad.empty()))
        if (OpenAnimFile(fileName, &file, &out->width, &out->height, &out->count) != 0) file = nullptr;
    // The file's own transparent colour serves when none was given, as it does for a picture below.
    if (file && out->transparent == -1) out->transparent = GetAnimFileTransparentColour(file);
    if (file && o.fromDisk) {
        out->file = file;
        return 0;
    }
    if (file) {
        const int error = FramesFromAnimFile(file, out->count, out->width, out->height, out->transparent, keepPixels,
                                             out->list, out->delays);
        CloseAnimFile(file);
        return error;
    }
    LoadedPicture picture;
    if (int error = LoadPictureWithCache(fileName, o.loadAlpha, o.cache, o.cachedLoad,
                                         o.loadAlpha == 1 ? 0 : o.cacheAlpha, preloading, &picture))
        return error;
    if (out->transparent == -1 && picture.transparent != -1) out->transparent = picture.transparent & 0xFFFFFF;
    return FramesFromPicture(picture, o, out->transparent, keepPixels, out->list, &out->width, &out->height);
}

int LoadAnimFile(ObjectId id, const char *fileName, const LoadAnimOptions &o, int preloading, AnimObject **out,
                 const char *shownName) {
    if (out) *out = nullptr;
    if (o.loadAlpha && o.transparent != -1) return kErrMaskAndAlphaChannel;
    if (o.frames && o.fromDisk) return kErrWrongUsage;
    if (!IsAutoHandleRequest(id))
        if (int error = FreeAnimById(id, 0)) return error;
    PrintConsoleMessage(GetCatalogMessage(kMsgLoadingAnimation), shownName ? shownName : fileName, 1);
    LoadedFrames loaded;
    if (int error = LoadFramesFromFile(fileName, o, preloading, preloading != 0, &loaded)) return error;
    AnimObject *anim = nullptr;
    if (loaded.file) {
        if (int error = AddAnimRecord(id, loaded.width, loaded.height, {}, int32_t(loaded.transparent), &anim))
            return error;
        anim->fromDisk = 1;
        anim->frameCount = loaded.count;
        anim->animFile = loaded.file;
        loaded.file = nullptr;
        anim->fileName = fileName;
        anim->delays.assign(size_t(loaded.count), -1);
    } else {
        if (int error = AddAnimRecord(id, loaded.width, loaded.height, std::move(loaded.list.frames),
                                      int32_t(loaded.transparent), &anim))
            return error;
        loaded.list.frames.clear();
        for (size_t n = 0; n < loaded.delays.size(); n++) anim->delays[n] = loaded.delays[n];
    }
    if (out) *out = anim;
    return 0;
}
