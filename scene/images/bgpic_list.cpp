// The picture list: creating, finding (with copy-on-write for layers that show a picture), copying and freeing.
#include <cstring>
#include <new>

#include "host/memory.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/events/buttons.h"
#include "scene/images/bgpic.h"
#include "scene/images/plane_copy.h"

BGPic *BGPicList = nullptr;
BGPic *CurrentBGPic = nullptr;
int (*FindBrushImageHook)(ObjectId, int, ImageTriple *) = nullptr;
int (*ApplyDisplayAttributesHook)(VMState *, DisplayRecord *, int) = nullptr;

constexpr int kPaletteWords = 256;

int FindBrushImage(ObjectId id, int flags, ImageTriple *image) {
    if (FindBrushImageHook) return FindBrushImageHook(id, flags, image);
    // The brush library installs the hook when it registers; without it there is no brush to find.
    if (id.handle) return kErrObjectNotFound;
    SetErrorArgNumber(id.number);
    return kErrBrushNotFound;
}

static void AppendBGPic(BGPic *bgpic) {
    BGPic **link = &BGPicList;
    while (*link) link = &(*link)->next;
    *link = bgpic;
}

static void UnlinkBGPic(BGPic *bgpic) {
    for (BGPic **link = &BGPicList; *link; link = &(*link)->next) {
        if (*link == bgpic) {
            *link = bgpic->next;
            bgpic->next = nullptr;
            return;
        }
    }
}

int CreateBGPicRecord(ObjectId id, int32_t type, int32_t width, int32_t height, int32_t rowPixels,
                      uint32_t *keptPixels, HostBitmap *bitmap, uint32_t *palette, int32_t transparentColor,
                      MaskPlane *mask, AlphaPlane *alpha, void *vectorData, const BGPicFillSpec *fill, BGPic **out) {
    BGPic *bgpic = new (std::nothrow) BGPic;
    if (!bgpic) return kErrOutOfMemory;
    if (IsAutoHandleRequest(id)) id = ObjectId{0, bgpic};
    bgpic->id = id;
    bgpic->type = type;
    bgpic->rowPixels = rowPixels;
    bgpic->keptPixels = keptPixels;
    bgpic->palette = palette;
    bgpic->transparentColor = transparentColor;
    bgpic->vectorData = vectorData;
    bgpic->base = ImageTriple{bitmap, mask, alpha, width, height};
    bgpic->scaled = bgpic->base;
    bgpic->current = bgpic->base;
    if (fill) bgpic->fill = *fill;
    AppendBGPic(bgpic);
    if (out) *out = bgpic;
    return 0;
}

static int NotFound(ObjectId id) {
    if (id.handle) return kErrObjectNotFound;
    SetErrorArgNumber(id.number);
    return kErrBGPicNotFound;
}

static BGPic *LookUp(ObjectId id, int withPending) {
    for (BGPic *b = BGPicList; b; b = b->next)
        if (b->id == id && (withPending || !b->freePending)) return b;
    return nullptr;
}

static int CopyForReferrer(void *argument, ObjectId *newId) {
    return CopyBGPicRecord(static_cast<const BGPic *>(argument), newId);
}

int FindBGPic(ObjectId id, BGPic **out, int flags) {
    *out = nullptr;
    BGPic *bgpic = LookUp(id, flags & kFindPending);
    if (!bgpic) return NotFound(id);
    if (flags & kFindModify) {
        if (bgpic->locked) return kErrObjectLocked;
        if (!(flags & kFindNoUnshare)) {
            // Layers keep showing the picture as it is now; the script changes the original.
            ObjectId copy{};
            int error = ForEachReferrer(ObjectKindBGPicPart, bgpic->id, CopyForReferrer, bgpic, &copy);
            if (error) return error;
            if (copy.handle) {
                BGPic *made = static_cast<BGPic *>(copy.handle);
                made->freePending = 1;
                made->id = ObjectId{0, made};
            }
        }
    }
    *out = bgpic;
    return 0;
}

int IsBGPicShownByDisplay(const BGPic *bgpic) {
    for (DisplayRecord *d = DisplayList; d; d = d->next)
        if (d->picture == bgpic) return 1;
    return 0;
}

// The current output draws into the picture: it may not go away under it.
static bool IsCurrentOutput(ObjectId id) {
    DisplayRecord *d = CurrentDisplay;
    if (!d) return false;
    int32_t kind = d->outputKind;
    if (kind == ObjectKindBrush || kind == ObjectKindMask || kind == ObjectKindAlphaChannel) {
        const OutputRecord *out = d->selectOutput;
        if (out && out->outputSourceKind == ObjectKindBGPic && out->outputSourceObject &&
            static_cast<const BGPic *>(out->outputSourceObject)->id == id)
            return true;
    }
    return kind == ObjectKindBGPic && CurrentBGPic && CurrentBGPic->id == id;
}

int FreeBGPicById(ObjectId id, int strict) {
    int error = 0;
    if (IsCurrentOutput(id)) {
        error = kErrActiveOutputBGPic;
    } else if (BGPic *bgpic = LookUp(id, 0); !bgpic) {
        error = NotFound(id);
    } else if (bgpic->locked) {
        error = kErrObjectLocked;
    } else {
        // Both are needed: layers must stop naming the number even when a display still shows the picture.
        int shown = IsBGPicShownByDisplay(bgpic);
        int used = DetachLayerReferences(ObjectKindBGPicPart, bgpic->id, bgpic);
        if (shown || used) {
            bgpic->id = ObjectId{0, bgpic};
            bgpic->freePending = 1;
            return 0;
        }
        UnlinkBGPic(bgpic);
        FreeBGPicContents(bgpic, 1);
        delete bgpic;
        return 0;
    }
    if (!strict && (error == kErrBGPicNotFound || error == kErrObjectNotFound)) return 0;
    return error;
}

void FreeBGPicDerivedImages(BGPic *bgpic) {
    ImageTriple current = bgpic->current, scaled = bgpic->scaled;
    FreeTripleExcept(&current, &scaled, &bgpic->base);
    FreeTripleExcept(&scaled, &bgpic->base, nullptr);
    bgpic->scaled = bgpic->base;
    bgpic->current = bgpic->base;
}

void FreeBGPicContents(BGPic *bgpic, int flag) {
    FreeBGPicLayers(nullptr, bgpic, flag, 0);
    FreeBlock(bgpic->keptPixels);
    bgpic->keptPixels = nullptr;
    FreeBGPicDerivedImages(bgpic);
    FreeTripleExcept(&bgpic->base, nullptr, nullptr);
    bgpic->scaled = bgpic->current = bgpic->base;
    FreeBlock(bgpic->palette);
    bgpic->palette = nullptr;
    FreeHostBitmap(bgpic->fill.texture);
    bgpic->fill.texture = nullptr;
    while (bgpic->buttons) FreeButton(bgpic->buttons->vm, bgpic, bgpic->buttons);
    FreeOnScreenSprites(bgpic);
}

void FlushPendingBGPics() {
    BGPic *bgpic = BGPicList;
    while (bgpic) {
        BGPic *next = bgpic->next;
        if (bgpic->freePending && bgpic != CurrentBGPic && !IsBGPicShownByDisplay(bgpic) &&
            !IsObjectUsedByLayers(ObjectKindBGPicPart, bgpic->id)) {
            UnlinkBGPic(bgpic);
            FreeBGPicContents(bgpic, 1);
            delete bgpic;
        }
        bgpic = next;
    }
}

int CopyBGPicRecord(const BGPic *source, ObjectId *newId, BGPic **out) {
    uint32_t *palette = nullptr;
    if (source->palette) {
        palette = static_cast<uint32_t *>(AllocBlock(kPaletteWords * sizeof(uint32_t), 0));
        if (!palette) return kErrOutOfMemory;
        std::memcpy(palette, source->palette, kPaletteWords * sizeof(uint32_t));
    }
    ImageTriple base{}, scaled{}, current{};
    BGPicFillSpec fill = source->fill;
    fill.texture = nullptr;
    int error = CopyTriple(source->base, {}, {}, &base, nullptr, nullptr);
    if (!error) error = CopyTriple(source->scaled, source->base, {}, &scaled, &base, nullptr);
    if (!error) error = CopyTriple(source->current, source->scaled, source->base, &current, &scaled, &base);
    // The texture is owned: a shared one would be freed twice.
    if (!error && source->fill.texture && !(fill.texture = CopyBitmap(source->fill.texture)))
        error = kErrOutOfMemory;
    // A picture still waiting for its planes (preloaded) has only its pixels: without them the copy shows nothing.
    uint32_t *pixels = nullptr;
    const size_t pixelBytes = size_t(source->rowPixels) * size_t(source->base.height) * sizeof(uint32_t);
    if (!error && source->keptPixels) {
        pixels = static_cast<uint32_t *>(AllocBlock(pixelBytes, 0));
        if (pixels) std::memcpy(pixels, source->keptPixels, pixelBytes);
        else error = kErrOutOfMemory;
    }
    BGPic *made = nullptr;
    if (!error)
        error = CreateBGPicRecord(*newId, source->type, base.width, base.height,
                                  pixels ? source->rowPixels : base.width, pixels, base.bitmap, palette,
                                  source->transparentColor, base.mask, base.alpha, source->vectorData, &fill, &made);
    if (error) {
        FreeBlock(pixels);
        FreeTripleExcept(&current, &scaled, &base);
        FreeTripleExcept(&scaled, &base, nullptr);
        FreeTripleExcept(&base, nullptr, nullptr);
        FreeHostBitmap(fill.texture);
        FreeBlock(palette);
        return error;
    }
    made->scaled = scaled;
    made->current = current;
    *newId = made->id;
    if (out) *out = made;
    return 0;
}

int32_t CountBGPics() {
    int32_t n = 0;
    for (BGPic *b = BGPicList; b; b = b->next) n++;
    return n;
}

int32_t CountAllLayers() {
    int32_t n = 0;
    for (BGPic *b = BGPicList; b; b = b->next) n += CountLayers(b);
    return n;
}

int FreeAllBGPics() {
    BGPic *bgpic = BGPicList;
    BGPicList = nullptr;
    CurrentBGPic = nullptr;
    while (bgpic) {
        BGPic *next = bgpic->next;
        bgpic->next = nullptr;
        FreeBGPicContents(bgpic, 0);
        delete bgpic;
        bgpic = next;
    }
    return 0;
}

void InitOutputRecord(OutputRecord *record, int32_t sourceKind, void *sourceObject, int32_t frame,
                      const ObjectId *id, HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha, int32_t width,
                      int32_t height, int clear) {
    if (clear) {
        // Field by field: the layer list header points into the record and must be re-made, not copied.
        record->next = nullptr;
        record->id = ObjectId{};
        record->keptPixels = nullptr;
        record->rowPixels = 0;
        record->transparentColor = -1; // 0 would make black transparent for whoever reads the target
        record->palette = nullptr;
        InitList(&record->layers);
        record->sprites = nullptr;
        record->locked = record->freePending = 0;
        record->buttons = nullptr;
        record->outputDrawn = 0;
        record->layersChanged = 0;
        record->fill = BGPicFillSpec{};
        record->type = 0;
        record->vectorData = nullptr;
        record->clipRegion = nullptr;
    }
    if (id) record->id = *id;
    record->base = ImageTriple{bitmap, mask, alpha, width, height};
    record->scaled = record->base;
    record->current = record->base;
    record->outputSourceKind = sourceKind;
    record->outputFrame = frame;
    record->outputSourceObject = sourceObject;
}
