// Output selection: which object drawing goes into, readying it for the first write, and the write itself.
#include "scene/images/output.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "host/blit.h"
#include "imaging/blit.h"
#include "imaging/graphics_library.h"
#include "imaging/pixels.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/layers/layer_services.h"

int (*PrepareLayerForSelectHook)(VMState *vm, int32_t position, int32_t frame, LayerSelectSource *out) = nullptr;

namespace {

// The selected layer's plane slots, valid while a layer is the selection.
LayerSelectSource SelectedLayer;

bool IsRedirectedKind(int32_t kind) {
    return kind == ObjectKindBrush || kind == ObjectKindMask || kind == ObjectKindAlphaChannel;
}

// The planes a selection may replace, wherever the object keeps them.
struct PlaneSlots {
    HostBitmap *bitmap = nullptr;
    MaskPlane **mask = nullptr;
    AlphaPlane **alpha = nullptr;
    int32_t width = 0, height = 0;
    // Other pointers to the same planes that must not outlive them (a picture's scaled and current triples).
    ImageTriple *shared[2] = {};
};

int FindSelectedObject(OutputRecord *record, PlaneSlots *out) {
    switch (record->outputSourceKind) {
    case ObjectKindBrush: {
        Brush *brush = nullptr;
        if (int error = FindBrush(record->id, &brush, kFindBrushModify | kFindBrushPending)) return error;
        record->outputSourceObject = brush;
        *out = PlaneSlots{brush->bitmap, &brush->mask, &brush->alpha, brush->width, brush->height, {}};
        return 0;
    }
    case ObjectKindBGPic: {
        BGPic *bgpic = nullptr;
        if (int error = FindBGPic(record->id, &bgpic, kFindModify)) return error;
        record->outputSourceObject = bgpic;
        *out = PlaneSlots{bgpic->base.bitmap, &bgpic->base.mask, &bgpic->base.alpha, bgpic->base.width,
                          bgpic->base.height, {&bgpic->scaled, &bgpic->current}};
        return 0;
    }
    case ObjectKindAnim: {
        if (!AnimServices || !AnimServices->framePlaneSlots) return LibraryNotRegistered("anim");
        AnimInfo info;
        if (int error = AnimServices->find(record->id, kFindBrushModify, &info)) return error;
        ImageTriple frame;
        bool temporary = false;
        if (int error = AnimServices->frameImage(record->id, record->outputFrame + 1, &frame, &temporary))
            return error;
        if (temporary) return kErrDiskAnim;
        *out = PlaneSlots{frame.bitmap, nullptr, nullptr, info.width, info.height, {}};
        return AnimServices->framePlaneSlots(record->id, record->outputFrame + 1, &out->mask, &out->alpha);
    }
    case ObjectKindLayer: {
        if (record->outputSourceObject != SelectedLayer.layer) return kErrWrongUsage;
        *out = PlaneSlots{SelectedLayer.image.bitmap, SelectedLayer.mask, SelectedLayer.alpha, record->base.width,
                          record->base.height, {}};
        return 0;
    }
    default: return kErrWrongUsage;
    }
}

// Frees a plane the selection drops, and every other pointer to it.
template <class Plane> void DropPlane(Plane **slot, Plane *ImageTriple::*member, const PlaneSlots &slots,
                                      void (*freePlane)(Plane *)) {
    Plane *plane = *slot;
    if (!plane) return;
    for (ImageTriple *t : slots.shared)
        if (t && t->*member == plane) t->*member = nullptr;
    *slot = nullptr;
    freePlane(plane);
}

// The drawn image's coverage of pixel (i, j): its alpha, else its mask bit, else opaque.
uint8_t Coverage(const ImageTriple &image, int32_t i, int32_t j) {
    if (image.alpha) return image.alpha->bytes[ptrdiff_t(j) * image.alpha->bytesPerRow + i];
    if (image.mask) return MaskBit(image.mask, i, j) ? 255 : 0;
    return 255;
}

void WriteMask(const ImageTriple &image, int32_t x, int32_t y, MaskPlane *target, const ClipRegion *clip) {
    int32_t mode = GetMaskMode();
    if (mode < MASKVISIBLE || mode > MASKOR) mode = MASKVISIBLE;
    const MaskPlane *shape = image.mask;
    MaskPlane *made = nullptr;
    if (!shape || image.alpha) {
        made = AllocMaskPlane(image.bitmap, image.width, image.height, true);
        if (!made) return;
        for (int32_t j = 0; j < image.height; j++)
            for (int32_t i = 0; i < image.width; i++)
                if (Coverage(image, i, j) >= 128) made->bits[ptrdiff_t(j) * made->bytesPerRow + (i >> 3)] |= uint8_t(0x80 >> (i & 7));
        shape = made;
    }
    // Outside the clip region the target keeps its bits whatever the mode does with the template's zeros.
    std::vector<uint8_t> kept;
    int32_t sx = 0, sy = 0, cx = x, cy = y, width = image.width, height = image.height;
    const bool clipped = clip && ClipBlitRect(nullptr, &sx, &sy, &cx, &cy, &width, &height, image.width,
                                              image.height, int32_t(target->bytesPerRow) * 8, target->rows);
    if (clipped)
        for (int32_t j = 0; j < height; j++)
            for (int32_t i = 0; i < width; i++) kept.push_back(MaskBit(target, cx + i, cy + j) ? 1 : 0);
    BlitTemplateToMask(shape, 0, 0, target, x, y, image.width, image.height, mode);
    if (clipped)
        for (int32_t j = 0; j < height; j++)
            for (int32_t i = 0; i < width; i++)
                if (!ClipRegionContains(clip, cx + i, cy + j))
                    SetMaskBit(target->bits + ptrdiff_t(cy + j) * target->bytesPerRow, cx + i,
                               kept[size_t(j) * size_t(width) + size_t(i)] != 0);
    FreeMaskPlane(made);
}

void WriteAlpha(const ImageTriple &image, int32_t x, int32_t y, AlphaPlane *target, const ClipRegion *clip) {
    const int32_t level = GetAlphaIntensity();
    int32_t sx = 0, sy = 0, width = image.width, height = image.height;
    if (!ClipBlitRect(nullptr, &sx, &sy, &x, &y, &width, &height, image.width, image.height, target->width,
                      target->height))
        return;
    for (int32_t j = 0; j < height; j++) {
        uint8_t *row = target->bytes + ptrdiff_t(y + j) * target->bytesPerRow + x;
        for (int32_t i = 0; i < width; i++) {
            if (clip && !ClipRegionContains(clip, x + i, y + j)) continue;
            const int32_t c = Coverage(image, sx + i, sy + j);
            if (level == VANILLACOPY) row[i] = uint8_t(c);
            else row[i] = uint8_t((row[i] * (255 - c) + std::clamp(level, 0, 255) * c + 127) / 255);
        }
    }
}

} // namespace

int SelectOutput(VMState *vm, int32_t sourceKind, ObjectId id, int32_t targetKind, int32_t frame, int32_t mode) {
    DisplayRecord *d = CurrentDisplay;
    if (!d) return kErrWrongUsage;
    const int32_t frame0 = frame > 0 ? frame - 1 : 0;
    OutputRecord *record = d->selectOutput;
    if (d->outputKind == targetKind && record && CurrentBGPic == record && record->outputSourceKind == sourceKind &&
        record->id == id && record->outputFrame == frame0)
        return 0;
    if (d->outputKind != ObjectKindDisplay && !d->doubleBuffering)
        if (int error = EndSelectOutput(vm, d, 0)) return error;

    ImageTriple planes;
    void *object = nullptr;
    switch (sourceKind) {
    case ObjectKindBrush: {
        Brush *brush = nullptr;
        if (int error = FindBrush(id, &brush, kFindBrushNoVector)) return error;
        planes = ImageTriple{brush->bitmap, brush->mask, brush->alpha, brush->width, brush->height};
        object = brush;
        break;
    }
    case ObjectKindBGPic: {
        BGPic *bgpic = nullptr;
        if (int error = FindBGPic(id, &bgpic, 0)) return error;
        if (bgpic->type == kBGPicVector) RaiseErrorWithHint(vm, kErrBGPicTypeUnsupported, VectorBGPicHint(bgpic));
        if (IsBGPicShownByDisplay(bgpic)) return kErrDisplayBGPicGraphics;
        planes = bgpic->base;
        object = bgpic;
        break;
    }
    case ObjectKindAnim: {
        if (!AnimServices) return LibraryNotRegistered("anim");
        AnimInfo info;
        if (int error = AnimServices->find(id, 0, &info)) return error;
        if (info.diskBased) return kErrDiskAnim;
        if (frame < 1 || frame > info.frameCount) return AnimFrameOutOfRange(frame, info.frameCount);
        bool temporary = false;
        if (int error = AnimServices->frameImage(id, frame, &planes, &temporary)) return error;
        planes.width = info.width;
        planes.height = info.height;
        object = info.record;
        break;
    }
    case ObjectKindLayer: {
        if (!PrepareLayerForSelectHook) return LibraryNotRegistered("layers");
        LayerSelectSource source;
        if (int error = PrepareLayerForSelectHook(vm, id.number, frame, &source)) return error;
        SelectedLayer = source;
        planes = source.image;
        object = source.layer;
        break;
    }
    default: return kErrWrongUsage;
    }

    if (!record) {
        record = new (std::nothrow) OutputRecord;
        if (!record) return kErrOutOfMemory;
        d->selectOutput = record;
    }
    CurrentBGPic = record;
    InitOutputRecord(record, sourceKind, object, frame0, &id, nullptr, nullptr, nullptr, planes.width, planes.height, 1);
    SaveDisplayDrawState(d, targetKind, planes.width);
    d->outputKind = targetKind;
    if (d->doubleBuffering) {
        d->selectOnDoubleBuffer = 1;
        d->doubleBuffering = 0;
    }
    d->outputBitmap = nullptr;
    d->outputMask = nullptr;
    d->outputAlpha = nullptr;
    if (targetKind == ObjectKindMask) {
        d->outputMask = planes.mask;
    } else if (targetKind == ObjectKindAlphaChannel) {
        d->outputAlpha = planes.alpha;
    } else {
        d->outputBitmap = planes.bitmap;
        if (mode == SELMODE_COMBO) {
            d->outputMask = planes.mask;
            d->outputAlpha = planes.alpha;
        }
    }
    return 0;
}

int PrepareOutput() {
    DisplayRecord *d = CurrentDisplay;
    OutputRecord *record = CurrentBGPic;
    if (!d || !record || !IsRedirectedKind(d->outputKind)) return 0;
    if (record == d->doubleBufferOutput || record->outputDrawn) return 0;
    PlaneSlots slots;
    if (int error = FindSelectedObject(record, &slots)) return error;
    if (d->outputKind == ObjectKindMask) {
        if (!slots.mask) return kErrWrongUsage;
        if (!*slots.mask) {
            MaskPlane *mask = AllocMaskPlane(slots.bitmap, slots.width, slots.height, false);
            if (!mask) return kErrOutOfMemory;
            std::memset(mask->bits, 0xFF, size_t(mask->bytesPerRow) * size_t(mask->rows));
            *slots.mask = mask;
        }
        d->outputMask = *slots.mask;
        if (slots.alpha) DropPlane(slots.alpha, &ImageTriple::alpha, slots, FreeAlphaPlane);
    } else if (d->outputKind == ObjectKindAlphaChannel) {
        if (!slots.alpha) return kErrWrongUsage;
        if (!*slots.alpha) {
            AlphaPlane *alpha = AllocAlphaPlane(slots.width, slots.height, false);
            if (!alpha) return kErrOutOfMemory;
            std::memset(alpha->bytes, 255, size_t(alpha->bytesPerRow) * size_t(alpha->height));
            *slots.alpha = alpha;
        }
        d->outputAlpha = *slots.alpha;
        if (slots.mask) DropPlane(slots.mask, &ImageTriple::mask, slots, FreeMaskPlane);
    }
    if (record->outputSourceKind == ObjectKindBrush) {
        // A brush that gets a mask here has no colour key behind it, and one that loses it has none either.
        Brush *brush = static_cast<Brush *>(record->outputSourceObject);
        if (d->outputKind == ObjectKindAlphaChannel) brush->transparentColor = -1;
    }
    record->outputDrawn = 1;
    return 0;
}

int BlitToCurrentOutput(const ImageTriple &image, int32_t x, int32_t y, const ClipRegion *clip) {
    DisplayRecord *d = CurrentDisplay;
    if (d && IsRedirectedKind(d->outputKind)) {
        if (int error = PrepareOutput()) return error;
        if (d->outputBitmap)
            SAFEBLT(image.bitmap, 0, 0, d->outputBitmap, x, y, image.width, image.height, 0, 0, 0, 0,
                    kBlitMasked | kBlitToBitmap, image.mask, image.alpha, clip);
        if (d->outputMask) WriteMask(image, x, y, d->outputMask, clip);
        if (d->outputAlpha) WriteAlpha(image, x, y, d->outputAlpha, clip);
        return 0;
    }
    HostBitmap *target = CurrentOutputBitmapHook ? CurrentOutputBitmapHook() : nullptr;
    if (target)
        SAFEBLT(image.bitmap, 0, 0, target, x, y, image.width, image.height, 0, 0, 0, 0, kBlitMasked | kBlitToBitmap,
                image.mask, image.alpha, clip);
    return 0;
}
