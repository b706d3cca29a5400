#include "imaging/clip_region.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "host/tasks.h"
#include "imaging/draw_services.h"
#include "imaging/image_ops.h"
#include "imaging/pixels.h"
#include "runtime/app/object_list.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"

namespace {

// 2^52: whole numbers stay exact as doubles, and no sum of two leaves int64.
constexpr double kFar = 4503599627370496.0;

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
                                int displayScaled, int keep, double anchorX, double anchorY, int32_t windowWidth,
                                int32_t windowHeight) {
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
    if (!std::isfinite(det) || std::fabs(det) < 1e-12) {
        out->x = out->y = out->width = out->height = 0; // collapses to nothing: clips everything away
        return out;
    }
    // The new rectangle as TransformedBounds places it, but kept in doubles: a region of 2e9 pixels through a
    // scale is far outside int32 and the window takes only what shows.
    const double ax = anchorX * region->width, ay = anchorY * region->height;
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    const double cx[4] = {-ax, region->width - ax, -ax, region->width - ax};
    const double cy[4] = {-ay, -ay, region->height - ay, region->height - ay};
    for (int k = 0; k < 4; ++k) {
        const double px = m[0] * cx[k] + m[2] * cy[k], py = m[1] * cx[k] + m[3] * cy[k];
        minX = std::fmin(minX, px), maxX = std::fmax(maxX, px);
        minY = std::fmin(minY, py), maxY = std::fmax(maxY, py);
    }
    const auto side = [](double lo, double hi) { return std::clamp(std::ceil(hi - lo - 1e-6), 1.0, kFar); };
    const double fullX = keep ? region->x : std::clamp(std::floor(region->x + ax + minX + 0.5), -kFar, kFar);
    const double fullY = keep ? region->y : std::clamp(std::floor(region->y + ay + minY + 0.5), -kFar, kFar);
    const int64_t left = int64_t(fullX), top = int64_t(fullY);
    const int64_t x0 = std::max<int64_t>(left, 0), y0 = std::max<int64_t>(top, 0);
    const int64_t x1 = std::min<int64_t>(left + int64_t(side(minX, maxX)), std::max(windowWidth, 0));
    const int64_t y1 = std::min<int64_t>(top + int64_t(side(minY, maxY)), std::max(windowHeight, 0));
    if (x0 >= x1 || y0 >= y1) {
        out->x = out->y = out->width = out->height = 0;
        return out;
    }
    out->x = int32_t(x0), out->y = int32_t(y0), out->width = int32_t(x1 - x0), out->height = int32_t(y1 - y0);
    out->mask = AllocMaskPlane(nullptr, out->width, out->height, true);
    if (!out->mask) {
        delete out;
        return nullptr;
    }
    // Each new pixel centre mapped back about the anchor into the old shape; column c of the whole new rectangle
    // lies at minX + c + 0.5 from the anchor.
    const double ia = m[3] / det, ib = -m[2] / det, ic = -m[1] / det, id = m[0] / det;
    const double firstX = minX + double(x0 - left) + 0.5, firstY = minY + double(y0 - top) + 0.5;
    // A picture of the largest size takes a while: a program told to end stops here (the rows left stay clear).
    for (int32_t y = 0; y < out->height && !EndRequested(); ++y) {
        uint8_t *row = out->mask->bits + ptrdiff_t(y) * out->mask->bytesPerRow;
        const double py = firstY + y;
        for (int32_t x = 0; x < out->width; ++x) {
            const double px = firstX + x;
            const double sx = std::floor(ia * px + ib * py + ax), sy = std::floor(ic * px + id * py + ay);
            if (!(sx >= 0 && sy >= 0 && sx < region->width && sy < region->height)) continue;
            if (!region->mask || MaskBit(region->mask, int32_t(sx), int32_t(sy))) SetMaskBit(row, x, true);
        }
    }
    return out;
}
