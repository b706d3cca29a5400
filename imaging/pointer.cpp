#include "imaging/pointer.h"

#include <new>

#include "imaging/draw_services.h"
#include "imaging/graphics_library.h"
#include "imaging/pixels.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"

namespace {

PointerRecord *gPointers = nullptr;
PointerRecord gBusyPointer{ObjectId{BUSYPOINTER, nullptr}, kPointerBusy};

bool IsStandardNumber(const ObjectId &id) { return !id.handle && (id.number == SYSTEMPOINTER || id.number == BUSYPOINTER); }

void Destroy(PointerRecord *p) {
    if (DrawServices && DrawServices->forgetPointer) DrawServices->forgetPointer(p);
    FreeHostBitmap(p->image);
    FreeAlphaPlane(p->alpha);
    delete p;
}

int NotFound(const ObjectId &id) {
    if (id.handle) return kErrObjectNotFound;
    SetErrorArgNumber(id.number);
    return kErrPointerNotFound;
}

} // namespace

int CreatePointerRecord(ObjectId id, const ImageTriple &image, int32_t hotX, int32_t hotY, PointerRecord **out) {
    if (IsStandardNumber(id) || !image.bitmap) return kErrWrongUsage;
    if (hotX < 0 || hotY < 0 || hotX >= image.width || hotY >= image.height) return kErrWrongUsage;
    if (!IsAutoHandleRequest(id)) FreePointerById(id);
    auto *p = new (std::nothrow) PointerRecord;
    if (!p) return kErrOutOfMemory;
    p->image = AllocHostBitmap(image.width, image.height);
    p->alpha = (image.mask || image.alpha) ? AllocAlphaPlane(image.width, image.height, false) : nullptr;
    if (!p->image || ((image.mask || image.alpha) && !p->alpha)) {
        FreeHostBitmap(p->image);
        FreeAlphaPlane(p->alpha);
        delete p;
        return kErrOutOfMemory;
    }
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
    p->id = IsAutoHandleRequest(id) ? ObjectId{0, p} : id;
    p->next = gPointers;
    gPointers = p;
    if (out) *out = p;
    return 0;
}

int FindPointer(ObjectId id, PointerRecord **out) {
    *out = nullptr;
    for (PointerRecord *p = gPointers; p; p = p->next)
        if (id == p->id) {
            *out = p;
            return 0;
        }
    return NotFound(id);
}

int FreePointerById(ObjectId id) {
    if (IsStandardNumber(id)) return kErrWrongUsage;
    for (PointerRecord **link = &gPointers; *link; link = &(*link)->next) {
        PointerRecord *p = *link;
        if (id != p->id) continue;
        *link = p->next;
        Destroy(p);
        return 0;
    }
    return NotFound(id);
}

PointerRecord *BusyPointer() { return &gBusyPointer; }

int32_t CountPointers() {
    int32_t n = 0;
    for (const PointerRecord *p = gPointers; p; p = p->next) n++;
    return n;
}

void FreeAllPointers() {
    while (PointerRecord *p = gPointers) {
        gPointers = p->next;
        Destroy(p);
    }
}
