// Clip regions: a rectangle of the output, optionally shaped by a mask plane over that rectangle. The region
// list belongs to the graphics library; layers hold copies made by TransformClipRegion.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "runtime/app/object_list.h"
#include "runtime/vm/vm.h"

struct ClipRegion {
    ObjectId id{};
    int32_t x = 0, y = 0, width = 0, height = 0;
    MaskPlane *mask = nullptr; // width x height, bit set = drawn; null = the whole rectangle
    bool owned = false;        // a copy (layers, transforms) that the holder frees
    bool freePending = false;  // freed by the script while a layer still used it
    int32_t useCount = 0;      // layers showing through it
};

// The library's regions, newest last.
extern ObjectList<ClipRegion> ClipRegionList;
// Finds a region by id: 0 and *out, or kErrClipRegionNotFound (a number, set as the error argument) /
// kErrObjectNotFound (a handle) when there is none; free-pending regions are not found. destination and flags are
// kept for callers that pass them; a region is not tied to one output.
int FindClipRegion(ObjectId id, const void *destination, int flags, ClipRegion **out);
// Takes the region from pictures, output records and sprites, then frees it, or marks it pending while layers
// still show through it (its number is free at once). 0, kErrClipRegionNotFound or kErrObjectNotFound.
int FreeClipRegionById(ObjectId id);
// A new region of the rectangle, shaped by the image's mask (set bits) or else its alpha channel (non-zero bytes)
// when shape has either; shape is width x height. A numeric id first frees a region of that number (not strictly);
// an automatic id gets the record as handle. 0, kErrSizeNotPositive or kErrOutOfMemory.
int CreateClipRegion(ObjectId id, int32_t x, int32_t y, int32_t width, int32_t height, const ImageTriple *shape,
                     ClipRegion **out = nullptr);
// Every region in the list, free-pending ones included.
int32_t CountClipRegions();
void FreeAllClipRegions();
// Frees the mask plane of an owned copy.
void FreeClipRegionMask(ClipRegion *region);
// A new owned region: the region's shape through matrix (a, b, c, d: x' = a x + c y, y' = b x + d y) about the
// anchor fractions of its rectangle; with displayScaled the matrix before display scaling is used instead of
// transform. keep keeps the position of the anchor. Only the part inside (0, 0, windowWidth, windowHeight), the
// picture the layer shows on, is made: the work is that part's, however large the region. A singular or
// non-finite matrix makes an empty region. Null when out of memory.
ClipRegion *TransformClipRegion(const ClipRegion *region, const double transform[4], const double unscaled[4],
                                int displayScaled, int keep, double anchorX, double anchorY, int32_t windowWidth,
                                int32_t windowHeight);
// True when the pixel (x, y) of the output lies inside the region.
bool ClipRegionContains(const ClipRegion *region, int32_t x, int32_t y);
