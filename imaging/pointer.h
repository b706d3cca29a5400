// Pointer records of the graphics library: an image with its hot spot, or the system's busy pointer. A display's
// pointer field names one of these records; null is the system pointer.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "runtime/vm/vm.h"

constexpr int32_t kPointerImage = 0;
constexpr int32_t kPointerBusy = 1;

struct PointerRecord {
    ObjectId id{};
    int32_t kind = kPointerImage;
    HostBitmap *image = nullptr; // owned; opacity in alpha
    AlphaPlane *alpha = nullptr; // owned; null: opaque
    int32_t hotX = 0, hotY = 0;
};

// A copy of the image (its mask as opacity 0 or 255, else its alpha channel, else opaque) with the hot spot.
// A numeric id first frees a pointer of that number (not strictly); an automatic id gets the record as handle.
// 0, kErrWrongUsage (hot spot outside the image, or a number that names SYSTEMPOINTER or BUSYPOINTER),
// kErrOutOfMemory.
int CreatePointerRecord(ObjectId id, const ImageTriple &image, int32_t hotX, int32_t hotY, PointerRecord **out);
// 0, kErrPointerNotFound (a number, set as the error argument) or kErrObjectNotFound (a handle).
int FindPointer(ObjectId id, PointerRecord **out);
// Displays showing it go back to the system pointer first. 0, kErrWrongUsage for SYSTEMPOINTER/BUSYPOINTER,
// kErrPointerNotFound, kErrObjectNotFound.
int FreePointerById(ObjectId id);
// The standing record of the busy pointer (no image).
PointerRecord *BusyPointer();
int32_t CountPointers();
void FreeAllPointers();
