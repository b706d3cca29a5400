// The anim list: records, lookup with unsharing, deferred freeing, the rebuild after preloading and frame
// access.
#include <cstring>
#include <new>

#include "host/bitmap_convert.h"
#include "host/memory.h"
#include "imaging/graphics_library.h"
#include "imaging/image_ops.h"
#include "media/anim/anim.h"
#include "media/anim/anim_file.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/display_record.h"
#include "scene/images/bgpic.h"

AnimObject *AnimList = nullptr;

namespace {

int NotFound(ObjectId id) {
    if (id.handle) return kErrObjectNotFound;
    SetErrorArgNumber(id.number);
    return kErrAnimNotFound;
}

void FreeFrame(AnimFrame &frame) {
    FreeHostBitmap(frame.bitmap);
    FreeMaskPlane(frame.mask);
    FreeAlphaPlane(frame.alpha);
    FreeBlock(frame.keptPixels);
    frame = AnimFrame{};
}

void FreeAnimObject(AnimObject *anim) {
    for (AnimFrame &frame : anim->frames) FreeFrame(frame);
    CloseAnimFile(anim->animFile);
    delete anim;
}

void Unlink(AnimObject *anim) {
    for (AnimObject **link = &AnimList; *link; link = &(*link)->next)
        if (*link == anim) {
            *link = anim->next;
            break;
        }
    anim->next = nullptr;
}

void Append(AnimObject *anim) {
    AnimObject **tail = &AnimList;
    while (*tail) tail = &(*tail)->next;
    *tail = anim;
}

bool IsActiveOutputAnim(const AnimObject *anim) {
    const DisplayRecord *d = CurrentDisplay;
    if (!d || d->outputKind == ObjectKindDisplay || d->outputKind == ObjectKindBGPic) return false;
    const OutputRecord *output = d->selectOutput;
    return output && output->outputSourceKind == ObjectKindAnim && output->outputSourceObject == anim;
}

} // namespace

int AddAnimRecord(ObjectId id, int32_t width, int32_t height, std::vector<AnimFrame> &&frames, int32_t transparent,
                  AnimObject **out) {
    if (out) *out = nullptr;
    auto *anim = new (std::nothrow) AnimObject;
    if (!anim) return kErrOutOfMemoryCode;
    try {
        anim->delays.assign(frames.size(), -1);
    } catch (const std::bad_alloc &) {
        delete anim;
        return kErrOutOfMemoryCode;
    }
    anim->id = IsAutoHandleRequest(id) ? ObjectId{0, anim} : id;
    anim->width = anim->sourceWidth = width;
    anim->height = anim->sourceHeight = height;
    anim->frameCount = int32_t(frames.size());
    anim->transparent = transparent;
    anim->frames = std::move(frames);
    Append(anim);
    if (out) *out = anim;
    return 0;
}

int CopyAnimForReferrer(void *argument, ObjectId *newId) {
    const AnimObject *source = static_cast<const AnimObject *>(argument);
    auto *copy = new (std::nothrow) AnimObject;
    if (!copy) return kErrOutOfMemoryCode;
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
                else error = kErrOutOfMemoryCode;
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
    copy->id = IsAutoHandleRequest(*newId) ? ObjectId{0, copy} : *newId;
    Append(copy);
    *newId = copy->id;
    return 0;
}

int FindAnim(ObjectId id, AnimObject **out, int flags) {
    *out = nullptr;
    for (AnimObject *anim = AnimList; anim; anim = anim->next) {
        if (anim->id != id) continue;
        if (anim->freePending && (flags & kFindAnimPending)) continue;
        if ((flags & kFindAnimModify) && anim->lockCount != 0) return 1314;
        if ((flags & (kFindAnimModify | kFindAnimNoUnshare)) == kFindAnimModify) {
            ObjectId made{};
            if (int error = ForEachReferrer(ObjectKindAnim, anim->id, CopyAnimForReferrer, anim, &made)) return error;
            // The copy belongs to the layers from birth: it goes when the last of them does.
            if (made.handle)
                for (AnimObject *a = AnimList; a; a = a->next)
                    if (a == made.handle) a->freePending = 1;
        }
        *out = anim;
        return 0;
    }
    return NotFound(id);
}

int FreeAnimById(ObjectId id, int reportMissing) {
    AnimObject *anim = nullptr;
    for (AnimObject *a = AnimList; a; a = a->next)
        if (!a->freePending && a->id == id) {
            anim = a;
            break;
        }
    if (anim && IsActiveOutputAnim(anim)) return 1340;
    int error = anim ? 0 : NotFound(id);
    if (anim && anim->lockCount != 0) error = 1314;
    if (error) return (reportMissing || error == 1314) ? error : 0;
    if (DetachLayerReferences(ObjectKindAnim, anim->id, anim)) {
        anim->id = ObjectId{0, anim};
        anim->freePending = 1;
        return 0;
    }
    Unlink(anim);
    FreeAnimObject(anim);
    return 0;
}

void FlushPendingAnims() {
    for (AnimObject *anim = AnimList; anim;) {
        AnimObject *next = anim->next;
        if (anim->freePending && !IsObjectUsedByLayers(ObjectKindAnim, anim->id)) {
            Unlink(anim);
            FreeAnimObject(anim);
        }
        anim = next;
    }
}

int RebuildAllAnims() {
    for (AnimObject *anim = AnimList; anim; anim = anim->next)
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

int32_t CountAnimObjects() {
    int32_t n = 0;
    for (const AnimObject *a = AnimList; a; a = a->next) n++;
    return n;
}

void FreeAllAnims() {
    while (AnimObject *anim = AnimList) {
        AnimList = anim->next;
        FreeAnimObject(anim);
    }
}

int GetAnimFrameImage(AnimObject *anim, int32_t n, bool copy, bool keepSourceSize, ImageTriple *out, bool *owned) {
    *out = ImageTriple{};
    *owned = false;
    if (n < 0 || n >= anim->frameCount) return kErrAnimFrameRange;
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
