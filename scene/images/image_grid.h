// Frames cut from a picture in a grid of equal cells, row by row: anims and sprites made from one picture.
#pragma once

#include <cstdint>

#include "host/bitmap.h"

struct ImageGrid {
    int32_t x = 0, y = 0;                     // top-left of the first cell
    int32_t cellWidth = 0, cellHeight = 0;
    int32_t frames = 0;
    int32_t perRow = 0; // below 1: all frames in one row
};

// Checks the grid against a source of width x height in 64-bit arithmetic and settles perRow: 0, kErrWrongUsage for a
// cell size or frame count below 1, kErrNegativeCoordinate for a negative corner, kErrBrushSizeMismatch when the
// cells pass the source's edge.
int CheckImageGrid(ImageGrid *grid, int32_t sourceWidth, int32_t sourceHeight);
// Cell k of a checked grid: a copy of its pixels (FreeBlock) from 0x00RRGGBB pixels of rowPixels per row ...
uint32_t *CutGridCellPixels(const ImageGrid &grid, int32_t k, const uint32_t *pixels, int32_t rowPixels);
// ... or new planes from an image (0 or kErrOutOfMemory).
int CutGridCell(const ImageGrid &grid, int32_t k, const ImageTriple &source, ImageTriple *out);
