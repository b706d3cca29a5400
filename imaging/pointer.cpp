#include "imaging/pointer.h"

#include <new>

#include "imaging/draw_services.h"
#include "imaging/graphics_library.h"
#include "imaging/pixels.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_list.h"

namespace {

PointerRecord gBusyPointer{ObjectId{BUSYPOINTER, nullptr}, kPointerBusy};

bool IsStandardNumber(const ObjectId &id) { return !id.handle && (id.number == SYSTEMPOINTER || id.number == BUSYPOINTER); }

// Displays showing the pointer go back to the system pointer first.
void Release(PointerRecord *p) {
    if (DrawServices && DrawServices->forgetPointer) DrawServices->forgetPointer(p);
    FreeHostBitmap(p->image);
    FreeAlphaPlane(p->alpha);
}

constexpr ObjectRules<PointerRecord> kPointerRules{.notFoundError = kErrPointerNotFound, .release = Release};

ObjectList<PointerRecord> PointerList{&kPointerRules};

} // namespace

int CreatePointerRecord(ObjectId id, const ImageTriple &image, int32_t hotX, int32_t hotY, PointerRecord **out) {
    if (IsStandardNumber(id) || !image.bitmap) return kErrWrongUsage;
    if (hotX < 0 || hotY < 0 || hotX >= image.width || hotY >= image.height) return kErrWrongUsage;
    if (!IsAutoHandleRequest(id)) PointerList.Free(id, false);
    auto *p = new (std::nothrow) PointerRecord;
    if (!p) return kErrOutOfMemory;
    p->image = AllocHostBitmap(image.width, image.height);
    p->alpha = (image.mask || image.alpha) ? AllocAlphaPlane(image.width, image.height, false) : nullptr;
    auto discard = [p] {
        FreeHostBitmap(p->image);
        FreeAlphaPlane(p->alpha);
        delete p;
        return kErrOutOfMemory;
    };
    if (!p->image || ((image.mask || image.alpha) && !p->alpha)) return discard();
    for (int32_t y = 0; y < image.height; ++y) {
        const uint32_t *src = HostBitmapRow32(image.bitmap, y);
        uint32_t *dst = HostBitmapRow32(p->image, y);
        for (int32_t x = 0; x < image.width; ++x) dst[x] = src[x] & 0xFFFFFF;
        if (!p->alpha) continue;
        uint8_t *a = p->alpha->bytes + ptrdiff_t(y) * p->alpha->bytesPerRow;
        for (int32_t x = 0; x < image.width; ++x)
            a[x] = image.mask ? (MaskBit(image.mask, x, y) ? 255 : 0)
                              : image.alpha->bytes[ptrdiff_t(y) * image.alpha->bytesPerRow + x];
    }
    p->hotX = hotX, p->hotY = hotY;
    if (!PointerList.Add(p, id)) return discard();
    if (out) *out = p;
    return 0;
}

int FindPointer(ObjectId id, PointerRecord **out) { return PointerList.Find(id, out, 0); }

int FreePointerById(ObjectId id) { return IsStandardNumber(id) ? kErrWrongUsage : PointerList.Free(id, true); }

PointerRecord *BusyPointer() { return &gBusyPointer; }

int32_t CountPointers() { return int32_t(PointerList.size()); }

void FreeAllPointers() { PointerList.Clear(); }
