// The picture list: creating, finding (with copy-on-write for layers that show a picture), copying and freeing.
#include <cstring>
#include <new>

#include "host/memory.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_list.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/events/buttons.h"
#include "scene/images/bgpic.h"
#include "scene/images/plane_copy.h"

BGPic *CurrentBGPic = nullptr;
int (*FindBrushImageHook)(ObjectId, int, ImageTriple *) = nullptr;
int (*ApplyDisplayAttributesHook)(VMState *, DisplayRecord *, int) = nullptr;

constexpr int kPaletteWords = 256;

int FindBrushImage(ObjectId id, int flags, ImageTriple *image) {
    if (FindBrushImageHook) return FindBrushImageHook(id, flags, image);
    // The brush library installs the hook when it registers; without it there is no brush to find.
    return ObjectNotFound(id, kErrBrushNotFound);
}

int CreateBGPicRecord(ObjectId id, int32_t type, int32_t width, int32_t height, int32_t rowPixels,
                      uint32_t *keptPixels, HostBitmap *bitmap, uint32_t *palette, int32_t transparentColor,
                      MaskPlane *mask, AlphaPlane *alpha, void *vectorData, const BGPicFillSpec *fill, BGPic **out) {
    BGPic *bgpic = new (std::nothrow) BGPic;
    if (!bgpic) return kErrOutOfMemory;
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
    if (!BGPicList.Add(bgpic, id)) {
        delete bgpic;
        return kErrOutOfMemory;
    }
    if (out) *out = bgpic;
    return 0;
}

int FindBGPic(ObjectId id, BGPic **out, int flags) { return BGPicList.Find(id, out, flags); }

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

static int CopyForReferrer(void *argument, ObjectId *newId) {
    return CopyBGPicRecord(static_cast<const BGPic *>(argument), newId);
}

static bool IsActiveOutputBGPic(const BGPic *bgpic) { return IsCurrentOutput(bgpic->id); }

// A display showing the picture, or drawing going into it, keeps a freed picture until they let go.
static bool ShownElsewhere(const BGPic *bgpic) { return bgpic == CurrentBGPic || IsBGPicShownByDisplay(bgpic); }

// FreeAllBGPics frees every picture at the end: their contents go without detaching what still names them.
static bool freeingAll = false;
static void ReleaseBGPic(BGPic *bgpic) { FreeBGPicContents(bgpic, freeingAll ? 0 : 1); }

static constexpr ObjectRules<BGPic> kBGPicRules{
    .notFoundError = kErrBGPicNotFound,
    .release = ReleaseBGPic,
    .layerKind = ObjectKindBGPicPart,
    .layers = &kLayerServices,
    .copyForLayers = CopyForReferrer,
    .shownElsewhere = ShownElsewhere,
    .isActiveOutput = IsActiveOutputBGPic,
    .activeOutputError = kErrActiveOutputBGPic,
};
ObjectList<BGPic> BGPicList{&kBGPicRules};

int FreeBGPicById(ObjectId id, int strict) { return BGPicList.Free(id, strict != 0); }

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

int32_t CountBGPics() { return int32_t(BGPicList.size()); }

int32_t CountAllLayers() {
    int32_t n = 0;
    for (BGPic *b : BGPicList) n += CountLayers(b);
    return n;
}

int FreeAllBGPics() {
    CurrentBGPic = nullptr;
    freeingAll = true;
    while (!BGPicList.empty()) BGPicList.Erase(BGPicList.front());
    freeingAll = false;
    return 0;
}

void InitOutputRecord(OutputRecord *record, int32_t sourceKind, void *sourceObject, int32_t frame,
                      const ObjectId *id, HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha, int32_t width,
                      int32_t height, int clear) {
    if (clear) {
        // Field by field: the layer list header points into the record and must be re-made, not copied.
        record->id = ObjectId{};
        record->keptPixels = nullptr;
        record->rowPixels = 0;
        record->transparentColor = -1; // 0 would make black transparent for whoever reads the target
        record->palette = nullptr;
        InitList(&record->layers);
        record->sprites = nullptr;
        record->lockCount = record->freePending = 0;
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
