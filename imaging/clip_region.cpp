#include "imaging/clip_region.h"

#include <cmath>
#include <new>

#include "imaging/draw_services.h"
#include "imaging/image_ops.h"
#include "imaging/pixels.h"
#include "runtime/app/object_list.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"

namespace {

// Nothing may draw through a region once it is gone: pictures, output records and sprites let go of it first,
// and with clearLayers the layers too.
void Release(const ClipRegion *r, int clearLayers) {
    if (DrawServices && DrawServices->releaseClipRegion) DrawServices->releaseClipRegion(r, clearLayers);
}

constexpr ObjectRules<ClipRegion> kClipRegionRules{
    .notFoundError = kErrClipRegionNotFound,
    .release =
        [](ClipRegion *r) {
            Release(r, 1);
            FreeMaskPlane(r->mask);
        },
    // Layers that show through a region count their uses; they let go of a pending one as they go.
    .shownElsewhere = [](const ClipRegion *r) { return r->useCount > 0; },
    .onFree = [](ClipRegion *r) { Release(r, 0); },
};

} // namespace

ObjectList<ClipRegion> ClipRegionList{&kClipRegionRules};

int FindClipRegion(ObjectId id, const void *, int, ClipRegion **out) { return ClipRegionList.Find(id, out, 0); }

int FreeClipRegionById(ObjectId id) { return ClipRegionList.Free(id, true); }

int CreateClipRegion(ObjectId id, int32_t x, int32_t y, int32_t width, int32_t height, const ImageTriple *shape,
                     ClipRegion **out) {
    if (width < 1 || height < 1) return kErrSizeNotPositive;
    if (!IsAutoHandleRequest(id)) ClipRegionList.Free(id, false);
    auto *r = new (std::nothrow) ClipRegion;
    if (!r) return kErrOutOfMemory;
    r->x = x, r->y = y, r->width = width, r->height = height;
    // The brush's shape is copied, so later changes to the brush leave the region as it was made.
    if (shape && (shape->mask || shape->alpha)) {
        r->mask = AllocMaskPlane(nullptr, width, height, true);
        if (!r->mask) {
            delete r;
            return kErrOutOfMemory;
        }
        for (int32_t j = 0; j < height; ++j) {
            uint8_t *row = r->mask->bits + ptrdiff_t(j) * r->mask->bytesPerRow;
            for (int32_t i = 0; i < width; ++i) {
                const bool in = shape->mask ? MaskBit(shape->mask, i, j)
                                            : shape->alpha->bytes[ptrdiff_t(j) * shape->alpha->bytesPerRow + i] != 0;
                if (in) SetMaskBit(row, i, true);
            }
        }
    }
    if (!ClipRegionList.Add(r, id)) {
        FreeMaskPlane(r->mask);
        delete r;
        return kErrOutOfMemory;
    }
    if (out) *out = r;
    return 0;
}

int32_t CountClipRegions() { return int32_t(ClipRegionList.size()); }

// Runs before the pictures and their layers are freed: they must not look at a region after this.
void FreeAllClipRegions() { ClipRegionList.Clear(); }

void FreeClipRegionMask(ClipRegion *region) {
    if (!region || !region->owned) return;
    FreeMaskPlane(region->mask);
    region->mask = nullptr;
}

bool ClipRegionContains(const ClipRegion *r, int32_t x, int32_t y) {
    if (!r) return true;
    const int64_t ix = int64_t(x) - r->x, iy = int64_t(y) - r->y;
    if (ix < 0 || iy < 0 || ix >= r->width || iy >= r->height) return false;
    if (!r->mask) return true;
    if (ix >= int64_t(r->mask->bytesPerRow) * 8 || (r->mask->rows > 0 && iy >= r->mask->rows)) return false;
    return MaskBit(r->mask, int32_t(ix), int32_t(iy));
}

ClipRegion *TransformClipRegion(const ClipRegion *region, const double transform[4], const double unscaled[4],
                                int displayScaled, int keep, double anchorX, double anchorY) {
    if (!region) return nullptr;
    const double *m = (!displayScaled && unscaled) ? unscaled : transform;
    auto *out = new (std::nothrow) ClipRegion;
    if (!out) return nullptr;
    *out = *region;
    out->owned = true;
    out->freePending = false;
    out->useCount = 0;
    out->mask = nullptr;
    if (!m) { // no transform: a plain copy of the shape
        if (region->mask) {
            out->mask = AllocMaskPlane(nullptr, region->width, region->height, true);
            if (!out->mask) { delete out; return nullptr; }
            for (int32_t y = 0; y < region->height; ++y)
                for (int32_t x = 0; x < region->width; ++x)
                    if (ClipRegionContains(region, region->x + x, region->y + y))
                        SetMaskBit(out->mask->bits + ptrdiff_t(y) * out->mask->bytesPerRow, x, true);
        }
        return out;
    }
    const double det = m[0] * m[3] - m[1] * m[2];
    if (std::fabs(det) < 1e-12) {
        out->width = out->height = 0; // collapses to nothing: clips everything away
        return out;
    }
    TransformedBounds(region->x, region->y, region->width, region->height, m, &out->x, &out->y, &out->width,
                      &out->height, anchorX, anchorY);
    if (keep) {
        out->x = region->x;
        out->y = region->y;
    }
    out->mask = AllocMaskPlane(nullptr, out->width, out->height, true);
    if (!out->mask) {
        delete out;
        return nullptr;
    }
    // Each new pixel centre mapped back about the anchor into the old shape.
    const double ax = anchorX * region->width, ay = anchorY * region->height;
    const double ia = m[3] / det, ib = -m[2] / det, ic = -m[1] / det, id = m[0] / det;
    double minX = INFINITY, minY = INFINITY;
    const double cx[4] = {-ax, region->width - ax, -ax, region->width - ax};
    const double cy[4] = {-ay, -ay, region->height - ay, region->height - ay};
    for (int k = 0; k < 4; ++k) {
        minX = std::fmin(minX, m[0] * cx[k] + m[2] * cy[k]);
        minY = std::fmin(minY, m[1] * cx[k] + m[3] * cy[k]);
    }
    for (int32_t y = 0; y < out->height; ++y)
        for (int32_t x = 0; x < out->width; ++x) {
            const double px = minX + x + 0.5, py = minY + y + 0.5;
            const double sx = ia * px + ib * py + ax, sy = ic * px + id * py + ay;
            const int32_t ix = int32_t(std::floor(sx)), iy = int32_t(std::floor(sy));
            if (ClipRegionContains(region, region->x + ix, region->y + iy))
                SetMaskBit(out->mask->bits + ptrdiff_t(y) * out->mask->bytesPerRow, x, true);
        }
    return out;
}
