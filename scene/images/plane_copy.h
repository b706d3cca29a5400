// Whole-plane copies for pictures whose triples share planes.
#pragma once

#include "host/bitmap.h"

HostBitmap *CopyBitmap(const HostBitmap *bitmap); // null for null or out of memory
MaskPlane *CopyMask(const MaskPlane *mask);
AlphaPlane *CopyAlpha(const AlphaPlane *alpha);
// Copies a triple; a plane the source shares with lower1 (lower2) takes the plane of copy1 (copy2) instead of a
// new copy, so the copies share exactly as the originals do. 0 or kErrOutOfMemory (nothing left allocated).
int CopyTriple(const ImageTriple &source, const ImageTriple &lower1, const ImageTriple &lower2, ImageTriple *out,
               const ImageTriple *copy1, const ImageTriple *copy2);
// Frees a triple's planes except those that lower1 or lower2 also hold (in any slot); clears the triple's planes.
void FreeTripleExcept(ImageTriple *triple, const ImageTriple *lower1, const ImageTriple *lower2);
