#include "scene/images/plane_copy.h"

#include <cstring>

#include "host/blit.h"
#include "runtime/app/errors.h"

HostBitmap *CopyBitmap(const HostBitmap *bitmap) {
    if (!bitmap) return nullptr;
    HostBitmap *copy = AllocHostBitmapFormat(bitmap->width, bitmap->height, bitmap->format);
    if (!copy) return nullptr;
    for (int32_t y = 0; y < bitmap->height; y++)
        std::memcpy(HostBitmapRow(copy, y), HostBitmapRow(bitmap, y),
                    size_t(bitmap->width) * size_t(bitmap->bytesPerPixel));
    return copy;
}

MaskPlane *CopyMask(const MaskPlane *mask) {
    if (!mask || mask->rows <= 0) return nullptr;
    MaskPlane *copy = AllocMaskPlane(nullptr, mask->bytesPerRow * 8, mask->rows, false);
    if (!copy) return nullptr;
    int32_t bytes = mask->bytesPerRow < copy->bytesPerRow ? mask->bytesPerRow : copy->bytesPerRow;
    for (int32_t y = 0; y < mask->rows; y++)
        std::memcpy(copy->bits + size_t(y) * copy->bytesPerRow, mask->bits + size_t(y) * mask->bytesPerRow,
                    size_t(bytes));
    return copy;
}

AlphaPlane *CopyAlpha(const AlphaPlane *alpha) {
    if (!alpha) return nullptr;
    AlphaPlane *copy = AllocAlphaPlane(alpha->width, alpha->height, false);
    if (!copy) return nullptr;
    int32_t bytes = alpha->bytesPerRow < copy->bytesPerRow ? alpha->bytesPerRow : copy->bytesPerRow;
    for (int32_t y = 0; y < alpha->height; y++)
        std::memcpy(copy->bytes + size_t(y) * copy->bytesPerRow, alpha->bytes + size_t(y) * alpha->bytesPerRow,
                    size_t(bytes));
    return copy;
}

template <class Plane, class Copier>
static Plane *CopyShared(Plane *plane, Plane *lower1, Plane *lower2, Plane *copy1, Plane *copy2, Copier copier,
                         bool *fresh) {
    *fresh = false;
    if (!plane) return nullptr;
    if (plane == lower1) return copy1;
    if (plane == lower2) return copy2;
    *fresh = true;
    return copier(plane);
}

int CopyTriple(const ImageTriple &source, const ImageTriple &lower1, const ImageTriple &lower2, ImageTriple *out,
               const ImageTriple *copy1, const ImageTriple *copy2) {
    ImageTriple empty{};
    const ImageTriple &c1 = copy1 ? *copy1 : empty, &c2 = copy2 ? *copy2 : empty;
    bool freshBitmap, freshMask, freshAlpha;
    ImageTriple made{};
    made.width = source.width;
    made.height = source.height;
    made.bitmap = CopyShared(source.bitmap, lower1.bitmap, lower2.bitmap, c1.bitmap, c2.bitmap, CopyBitmap,
                             &freshBitmap);
    made.mask = CopyShared(source.mask, lower1.mask, lower2.mask, c1.mask, c2.mask, CopyMask, &freshMask);
    made.alpha = CopyShared(source.alpha, lower1.alpha, lower2.alpha, c1.alpha, c2.alpha, CopyAlpha, &freshAlpha);
    bool failed = (source.bitmap && !made.bitmap) || (source.mask && !made.mask) || (source.alpha && !made.alpha);
    if (failed) {
        if (freshBitmap) FreeHostBitmap(made.bitmap);
        if (freshMask) FreeMaskPlane(made.mask);
        if (freshAlpha) FreeAlphaPlane(made.alpha);
        *out = ImageTriple{};
        return kErrOutOfMemory;
    }
    *out = made;
    return 0;
}

void FreeTripleExcept(ImageTriple *t, const ImageTriple *lower1, const ImageTriple *lower2) {
    auto shared = [&](const void *p) {
        for (const ImageTriple *l : {lower1, lower2})
            if (l && p && (p == l->bitmap || p == l->mask || p == l->alpha)) return true;
        return false;
    };
    if (!shared(t->bitmap)) FreeHostBitmap(t->bitmap);
    if (!shared(t->mask)) FreeMaskPlane(t->mask);
    if (!shared(t->alpha)) FreeAlphaPlane(t->alpha);
    t->bitmap = nullptr;
    t->mask = nullptr;
    t->alpha = nullptr;
}
