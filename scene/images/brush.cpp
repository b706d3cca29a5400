// The brush list: records, lookup with unsharing, deferred freeing, creation, copies and the rebuild after
// preloading.
#include "scene/images/brush.h"

#include <new>

#include "host/bitmap_convert.h"
#include "host/blit.h"
#include "host/memory.h"
#include "imaging/image_ops.h"
#include "imaging/planes.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_list.h"
#include "scene/images/bgpic.h"

static void FreeBrushPlanes(Brush *brush) {
    FreeBlock(brush->keptPixels);
    FreeHostBitmap(brush->bitmap);
    FreeMaskPlane(brush->mask);
    FreeAlphaPlane(brush->alpha);
    brush->keptPixels = nullptr;
    brush->bitmap = nullptr;
    brush->mask = nullptr;
    brush->alpha = nullptr;
}

// The active-output-brush test: the current display draws into this brush.
static bool IsActiveOutputBrush(const Brush *brush) {
    const DisplayRecord *d = CurrentDisplay;
    if (!d) return false;
    if (d->outputKind != ObjectKindBrush && d->outputKind != ObjectKindMask && d->outputKind != ObjectKindAlphaChannel)
        return false;
    const OutputRecord *output = d->selectOutput;
    return output && output->outputSourceKind == ObjectKindBrush && output->outputSourceObject == brush;
}

static constexpr ObjectRules<Brush> kBrushRules{
    .notFoundError = kErrBrushNotFound,
    .release = FreeBrushPlanes,
    .layerKind = ObjectKindBrush,
    .layers = &kLayerServices,
    .copyForLayers = CopyBrushForReferrer,
    .isActiveOutput = IsActiveOutputBrush,
    .activeOutputError = kErrActiveBrush,
};
ObjectList<Brush> BrushList{&kBrushRules};

int AddBrushRecord(ObjectId id, int32_t type, int32_t width, int32_t height, int32_t keptRowPixels,
                   uint32_t *keptPixels, HostBitmap *bitmap, int32_t transparentColor, MaskPlane *mask,
                   AlphaPlane *alpha, void *vectorData, Brush **out) {
    if (out) *out = nullptr;
    Brush *brush = new (std::nothrow) Brush;
    if (!brush) return kErrOutOfMemory;
    brush->type = type;
    brush->width = width;
    brush->height = height;
    brush->keptRowPixels = keptRowPixels;
    brush->keptPixels = keptPixels;
    brush->bitmap = bitmap;
    brush->transparentColor = transparentColor;
    brush->mask = mask;
    brush->alpha = alpha;
    brush->vectorData = vectorData;
    if (!BrushList.Add(brush, id)) {
        delete brush;
        return kErrOutOfMemory;
    }
    if (out) *out = brush;
    return 0;
}

int CreateBrushRecord(ObjectId id, int32_t width, int32_t height, uint32_t colour, int withMask, int withAlpha,
                      int clear, Brush **out) {
    HostBitmap *bitmap = AllocHostBitmap(width, height);
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    bool ok = bitmap != nullptr;
    if (ok) RECTFILL(bitmap, 0, 0, width, height, colour);
    if (ok && withMask) {
        mask = AllocMaskPlane(bitmap, width, height, true);
        ok = mask != nullptr;
        if (ok && !clear) FillMaskRect(mask, 0, 0, width, height, MASKVISIBLE);
    }
    if (ok && withAlpha) {
        alpha = AllocAlphaPlane(width, height, true);
        ok = alpha != nullptr;
        if (ok && !clear) FillAlphaRect(alpha, 0, 0, width, height, 255);
    }
    if (ok && AddBrushRecord(id, kBrushBitmap, width, height, width, nullptr, bitmap,
                             withMask ? kCreateBrushMaskMarker : -1, mask, alpha, nullptr, out) == 0)
        return 0;
    FreeHostBitmap(bitmap);
    FreeMaskPlane(mask);
    FreeAlphaPlane(alpha);
    return kErrOutOfMemory;
}

int CopyBrushForReferrer(void *argument, ObjectId *newId) {
    const Brush *brush = static_cast<const Brush *>(argument);
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    if (int error = CopyImage(brush->bitmap, brush->mask, brush->alpha, 0, 0, brush->width, brush->height, &bitmap,
                              &mask, &alpha))
        return error;
    Brush *copy = nullptr;
    if (int error = AddBrushRecord(*newId, brush->type, brush->width, brush->height, brush->width, nullptr, bitmap,
                                   brush->transparentColor, mask, alpha, brush->vectorData, &copy)) {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
        return error;
    }
    *newId = copy->id;
    return 0;
}

int FindBrush(ObjectId id, Brush **out, int flags) {
    *out = nullptr;
    if (flags & kFindBrushNoVector)
        if (const Brush *brush = BrushList.Find(id, true); brush && brush->type == kBrushVector)
            return kErrBrushTypeUnsupported;
    return BrushList.Find(id, out, flags & (kFindModify | kFindPending | kFindNoUnshare));
}

bool IsActiveOutputBrushId(ObjectId id) {
    const Brush *brush = BrushList.Find(id);
    return brush && IsActiveOutputBrush(brush);
}

int FreeBrushById(ObjectId id, int reportMissing) { return BrushList.Free(id, reportMissing != 0); }


int RebuildAllBrushes() {
    for (Brush *brush : BrushList) {
        // Only preloads leave kept pixels; anything else already has its planes.
        if (!brush->keptPixels) continue;
        HostBitmap *bitmap = nullptr;
        MaskPlane *mask = nullptr;
        if (int error = PixelArrayToBitmap(brush->keptPixels, brush->transparentColor, brush->width, brush->height,
                                           brush->keptRowPixels, &bitmap, &mask))
            return error;
        FreeHostBitmap(brush->bitmap);
        FreeMaskPlane(brush->mask);
        brush->bitmap = bitmap;
        brush->mask = mask;
        FreeBlock(brush->keptPixels);
        brush->keptPixels = nullptr;
    }
    return 0;
}

int32_t CountBrushes() { return int32_t(BrushList.size()); }

void FreeAllBrushes() { BrushList.Clear(); }

int CopyBrushById(ObjectId sourceId, ObjectId target, Brush **out) {
    if (out) *out = nullptr;
    Brush *source = nullptr;
    if (int error = FindBrush(sourceId, &source, 0)) return error;
    if (!target.handle && !sourceId.handle && target.number == sourceId.number) return kErrWrongUsage;
    if (!IsAutoHandleRequest(target))
        if (int error = FreeBrushById(target, 0)) return error;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    if (int error = CopyImage(source->bitmap, source->mask, source->alpha, 0, 0, source->width, source->height,
                              &bitmap, &mask, &alpha))
        return error;
    if (int error = AddBrushRecord(target, source->type, source->width, source->height, source->width, nullptr,
                                   bitmap, source->transparentColor, mask, alpha, source->vectorData, out)) {
        FreeHostBitmap(bitmap);
        FreeMaskPlane(mask);
        FreeAlphaPlane(alpha);
        return error;
    }
    return 0;
}
