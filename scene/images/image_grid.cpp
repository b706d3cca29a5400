#include "scene/images/image_grid.h"

#include <cstring>

#include "host/memory.h"
#include "imaging/image_ops.h"
#include "runtime/app/errors.h"

int CheckImageGrid(ImageGrid *g, int32_t sourceWidth, int32_t sourceHeight) {
    if (g->cellWidth < 1 || g->cellHeight < 1 || g->frames < 1) return kErrWrongUsage;
    if (g->perRow < 1 || g->perRow > g->frames) g->perRow = g->frames;
    if (g->x < 0 || g->y < 0) return kErrNegativeCoordinate;
    const int64_t rows = (int64_t(g->frames) + g->perRow - 1) / g->perRow;
    if (int64_t(g->x) + int64_t(g->cellWidth) * g->perRow > sourceWidth ||
        int64_t(g->y) + int64_t(g->cellHeight) * rows > sourceHeight)
        return kErrBrushSizeMismatch;
    return 0;
}

static void CellCorner(const ImageGrid &g, int32_t k, int32_t *x, int32_t *y) {
    *x = g.x + (k % g.perRow) * g.cellWidth;
    *y = g.y + (k / g.perRow) * g.cellHeight;
}

uint32_t *CutGridCellPixels(const ImageGrid &g, int32_t k, const uint32_t *pixels, int32_t rowPixels) {
    int32_t x, y;
    CellCorner(g, k, &x, &y);
    auto *out = static_cast<uint32_t *>(AllocBlock(size_t(g.cellWidth) * size_t(g.cellHeight) * 4, 0));
    if (!out) return nullptr;
    for (int32_t row = 0; row < g.cellHeight; row++)
        std::memcpy(out + size_t(row) * size_t(g.cellWidth), pixels + size_t(y + row) * size_t(rowPixels) + size_t(x),
                    size_t(g.cellWidth) * 4);
    return out;
}

int CutGridCell(const ImageGrid &g, int32_t k, const ImageTriple &source, ImageTriple *out) {
    int32_t x, y;
    CellCorner(g, k, &x, &y);
    *out = ImageTriple{nullptr, nullptr, nullptr, g.cellWidth, g.cellHeight};
    return CopyImage(source.bitmap, source.mask, source.alpha, x, y, g.cellWidth, g.cellHeight, &out->bitmap,
                     &out->mask, &out->alpha);
}
