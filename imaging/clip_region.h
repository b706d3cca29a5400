// Clip regions: a rectangle of the output, optionally shaped by a mask plane over that rectangle. The region
// list belongs to the graphics library; layers hold copies made by TransformClipRegion.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "runtime/vm/vm.h"

struct ClipRegion {
    ObjectId id{};
    int32_t x = 0, y = 0, width = 0, height = 0;
    MaskPlane *mask = nullptr; // width x height, bit set = drawn; null = the whole rectangle
    bool owned = false;        // a copy (layers, transforms) that the holder frees
    bool freePending = false;  // freed by the script while a layer still used it
    int32_t useCount = 0;      // layers showing through it
    ClipRegion *next = nullptr;
};

// The library's regions. AddClipRegion takes the record over.
void AddClipRegion(ClipRegion *region);
// Finds a region by id: 0 and *out, or 1041 when there is none. destination and flags are kept for callers
// that pass them; a region is not tied to one output.
int FindClipRegion(ObjectId id, const void *destination, int flags, ClipRegion **out);
// Frees a region now, or marks it pending while layers use it.
int FreeClipRegionById(ObjectId id);
// Frees every pending region that no layer uses any more.
void FlushPendingClipRegions();
void FreeAllClipRegions();
// Frees the mask plane of an owned copy.
void FreeClipRegionMask(ClipRegion *region);
// A new owned region: the region's shape through matrix (a, b, c, d: x' = a x + c y, y' = b x + d y) about the
// anchor fractions of its rectangle; with displayScaled the matrix before display scaling is used instead of
// transform. keep keeps the position of the anchor. Null when out of memory.
ClipRegion *TransformClipRegion(const ClipRegion *region, const double transform[4], const double unscaled[4],
                                int displayScaled, int keep, double anchorX, double anchorY);
// True when the pixel (x, y) of the output lies inside the region.
bool ClipRegionContains(const ClipRegion *region, int32_t x, int32_t y);
