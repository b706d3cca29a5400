// The anim list: records, lookup with unsharing, deferred freeing, the rebuild after preloading and frame
// access.
#include <cstring>
#include <new>

#include "host/bitmap_convert.h"
#include "host/memory.h"
#include "imaging/image_ops.h"
#include "media/anim/anim.h"
#include "media/anim/anim_file.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_list.h"
#include "scene/display/display_record.h"
#include "scene/images/bgpic.h"

namespace {

void FreeFrame(AnimFrame &frame) {
    FreeHostBitmap(frame.bitmap);
    FreeMaskPlane(frame.mask);
    FreeAlphaPlane(frame.alpha);
    FreeBlock(frame.keptPixels);
    frame = AnimFrame{};
}

void ReleaseAnimObject(AnimObject *anim) {
    for (AnimFrame &frame : anim->frames) FreeFrame(frame);
    CloseAnimFile(anim->animFile);
}

void FreeAnimObject(AnimObject *anim) {
    ReleaseAnimObject(anim);
    delete anim;
}

bool IsActiveOutputAnim(const AnimObject *anim) {
    const DisplayRecord *d = CurrentDisplay;
    if (!d || d->outputKind == ObjectKindDisplay || d->outputKind == ObjectKindBGPic) return false;
    const OutputRecord *output = d->selectOutput;
    return output && output->outputSourceKind == ObjectKindAnim && output->outputSourceObject == anim;
}

constexpr ObjectRules<AnimObject> kAnimRules{
    .notFoundError = kErrAnimNotFound,
    .release = ReleaseAnimObject,
    .layerKind = ObjectKindAnim,
    .layers = &kLayerServices,
    .copyForLayers = CopyAnimForReferrer,
    .isActiveOutput = IsActiveOutputAnim,
    .activeOutputError = kErrActiveAnim,
};

} // namespace

ObjectList<AnimObject> AnimList{&kAnimRules};

int AddAnimRecord(ObjectId id, int32_t width, int32_t height, std::vector<AnimFrame> &&frames, int32_t transparent,
                  AnimObject **out) {
    if (out) *out = nullptr;
    auto *anim = new (std::nothrow) AnimObject;
    if (!anim) return kErrOutOfMemory;
    try {
        anim->delays.assign(frames.size(), -1);
    } catch (const std::bad_alloc &) {
        delete anim;
        return kErrOutOfMemory;
    }
    anim->width = anim->sourceWidth = width;
    anim->height = anim->sourceHeight = height;
    anim->frameCount = int32_t(frames.size());
    anim->transparent = transparent;
    if (!AnimList.Add(anim, id)) {
        delete anim;
        return kErrOutOfMemory;
    }
    anim->frames = std::move(frames);
    if (out) *out = anim;
    return 0;
}

int CopyAnimForReferrer(void *argument, ObjectId *newId) {
    const AnimObject *source = static_cast<const AnimObject *>(argument);
    auto *copy = new (std::nothrow) AnimObject;
    if (!copy) return kErrOutOfMemory;
    copy->width = source->width, copy->height = source->height;
    copy->sourceWidth = source->sourceWidth, copy->sourceHeight = source->sourceHeight;
    copy->frameCount = source->frameCount;
    copy->fromDisk = source->fromDisk;
    copy->smooth = source->smooth;
    copy->transparent = source->transparent;
    copy->fileName = source->fileName;
    copy->delays = source->delays;
    int error = 0;
    if (source->fromDisk) {
        int32_t w = 0, h = 0, count = 0;
        error = OpenAnimFile(source->fileName.c_str(), &copy->animFile, &w, &h, &count);
    } else {
        copy->frames.resize(source->frames.size());
        for (size_t i = 0; i < source->frames.size() && !error; i++) {
            const AnimFrame &f = source->frames[i];
            AnimFrame &c = copy->frames[i];
            if (f.keptPixels) {
                const size_t bytes = size_t(source->width) * size_t(source->height) * 4;
                c.keptPixels = static_cast<uint32_t *>(AllocBlock(bytes, 0));
                if (c.keptPixels) std::memcpy(c.keptPixels, f.keptPixels, bytes);
                else error = kErrOutOfMemory;
            } else {
                error = CopyImage(f.bitmap, f.mask, f.alpha, 0, 0, source->width, source->height, &c.bitmap, &c.mask,
                                  &c.alpha);
            }
        }
    }
    if (error) {
        FreeAnimObject(copy);
        return error;
    }
    if (!AnimList.Add(copy, *newId)) {
        FreeAnimObject(copy);
        return kErrOutOfMemory;
    }
    *newId = copy->id;
    return 0;
}

int FindAnim(ObjectId id, AnimObject **out, int flags) {
    // Here the pending flag skips free-pending anims: a lookup without it is a layer's, which may show one.
    int listFlags = flags & (kFindModify | kFindNoUnshare);
    if (!(flags & kFindAnimPending)) listFlags |= kFindPending;
    return AnimList.Find(id, out, listFlags);
}

int FreeAnimById(ObjectId id, int reportMissing) { return AnimList.Free(id, reportMissing != 0); }


int RebuildAllAnims() {
    for (AnimObject *anim : AnimList)
        for (AnimFrame &frame : anim->frames) {
            // Only preloads leave kept pixels.
            if (!frame.keptPixels) continue;
            HostBitmap *bitmap = nullptr;
            MaskPlane *mask = nullptr;
            if (int error = PixelArrayToBitmap(frame.keptPixels, anim->transparent, anim->width, anim->height,
                                               anim->width, &bitmap, &mask))
                return error;
            frame.bitmap = bitmap;
            frame.mask = mask;
            FreeBlock(frame.keptPixels);
            frame.keptPixels = nullptr;
        }
    return 0;
}

int32_t CountAnimObjects() { return int32_t(AnimList.size()); }

void FreeAllAnims() { AnimList.Clear(); }

int GetAnimFrameImage(AnimObject *anim, int32_t n, bool copy, bool keepSourceSize, ImageTriple *out, bool *owned) {
    *out = ImageTriple{};
    *owned = false;
    if (n < 0 || n >= anim->frameCount) return AnimFrameOutOfRange(int64_t(n) + 1, anim->frameCount);
    if (anim->fromDisk) {
        uint32_t *pixels = ReadAnimFileFrame(anim->animFile, n);
        if (!pixels) return kErrAnimFrameLoad;
        ImageTriple image{nullptr, nullptr, nullptr, anim->sourceWidth, anim->sourceHeight};
        int error = PixelArrayToBitmap(pixels, anim->transparent, anim->sourceWidth, anim->sourceHeight,
                                       anim->sourceWidth, &image.bitmap, &image.mask);
        FreeBlock(pixels);
        if (error) return error;
        if (!keepSourceSize && (anim->width != anim->sourceWidth || anim->height != anim->sourceHeight)) {
            ImageTriple scaled{nullptr, nullptr, nullptr, anim->width, anim->height};
            error = ScaleImage(image.bitmap, image.mask, nullptr, 0, 0, nullptr, anim->sourceWidth,
                               anim->sourceHeight, anim->width, anim->height, anim->smooth != 0, &scaled.bitmap,
                               &scaled.mask, &scaled.alpha);
            FreeImageTriple(&image);
            if (error) return error;
            image = scaled;
        }
        *out = image;
        *owned = true;
        return 0;
    }
    const AnimFrame &frame = anim->frames[size_t(n)];
    // Frames still kept as pixels (no display yet) have no planes to hand out.
    if (!frame.bitmap) return kErrWrongUsage;
    if (!copy) {
        *out = ImageTriple{frame.bitmap, frame.mask, frame.alpha, anim->width, anim->height};
        return 0;
    }
    ImageTriple image{nullptr, nullptr, nullptr, anim->width, anim->height};
    if (int error = CopyImage(frame.bitmap, frame.mask, frame.alpha, 0, 0, anim->width, anim->height, &image.bitmap,
                              &image.mask, &image.alpha))
        return error;
    *out = image;
    *owned = true;
    return 0;
}

int32_t GetAnimFrameDelay(AnimObject *anim, int32_t n) {
    if (n < 0 || n >= anim->frameCount) return 0;
    if (size_t(n) < anim->delays.size() && anim->delays[size_t(n)] != -1) return anim->delays[size_t(n)];
    return anim->fromDisk ? GetAnimFileFrameDelay(anim->animFile, n) : 0;
}

void FreeAnimFrame(AnimFrame &frame) { FreeFrame(frame); }
bool IsAnimActiveOutput(const AnimObject *anim) { return IsActiveOutputAnim(anim); }
