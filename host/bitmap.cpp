#include "host/bitmap.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Pixel rows start on 16-byte boundaries (4 pixels at 32 bits), which keeps vector loops aligned row by row.
int32_t PaddedRowPixels(int32_t width, int32_t bytesPerPixel) {
    int32_t unit = bytesPerPixel == 4 ? 4 : 16;
    return (width + unit - 1) / unit * unit;
}

bool SideOk(int32_t side) { return side > 0 && side <= kMaxBitmapSide; }

// Sides are capped at 32768, so rows*stride fits 64-bit comfortably; 64-byte alignment for the vector kernels.
uint8_t *AllocPixelBytes(size_t bytes, bool clear) {
    size_t rounded = (bytes + 63) & ~size_t(63);
    void *p = std::aligned_alloc(64, rounded == 0 ? 64 : rounded);
    if (p && clear) std::memset(p, 0, rounded);
    return static_cast<uint8_t *>(p);
}

} // namespace

HostBitmap *AllocHostBitmapFormat(int32_t width, int32_t height, int32_t format) {
    int32_t bpp = PixelFormatBytes(format);
    if (bpp == 0 || !SideOk(width) || !SideOk(height)) return nullptr;
    auto *bitmap = new (std::nothrow) HostBitmap;
    if (!bitmap) return nullptr;
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bytesPerPixel = bpp;
    bitmap->format = format;
    bitmap->rowPixels = PaddedRowPixels(width, bpp);
    bitmap->pixels = AllocPixelBytes(HostBitmapStride(bitmap) * size_t(height), true);
    if (!bitmap->pixels) {
        delete bitmap;
        return nullptr;
    }
    bitmap->ownsPixels = true;
    return bitmap;
}

HostBitmap *AllocHostBitmap(int32_t width, int32_t height) {
    return AllocHostBitmapFormat(width, height, PixelFormatARGB32);
}

HostBitmap *AllocDisplayableHostBitmap(int32_t width, int32_t height) {
    HostBitmap *bitmap = AllocHostBitmapFormat(width, height, PixelFormatARGB32);
    if (bitmap) bitmap->displayable = true;
    return bitmap;
}

HostBitmap *WrapHostBitmap(void *pixels, int32_t width, int32_t height, int32_t rowPixels, int32_t format) {
    int32_t bpp = PixelFormatBytes(format);
    if (!pixels || bpp == 0 || !SideOk(width) || !SideOk(height) || rowPixels < width) return nullptr;
    auto *bitmap = new (std::nothrow) HostBitmap;
    if (!bitmap) return nullptr;
    bitmap->width = width;
    bitmap->height = height;
    bitmap->rowPixels = rowPixels;
    bitmap->bytesPerPixel = bpp;
    bitmap->format = format;
    bitmap->pixels = static_cast<uint8_t *>(pixels);
    return bitmap;
}

void FreeHostBitmap(HostBitmap *bitmap) {
    if (!bitmap) return;
    if (bitmap->ownsPixels) std::free(bitmap->pixels);
    delete bitmap;
}

MaskPlane *AllocMaskPlane(const HostBitmap *bitmap, int32_t width, int32_t height, bool clear) {
    int32_t rowPixels = bitmap ? bitmap->rowPixels : width;
    if (!SideOk(rowPixels) || !SideOk(height)) return nullptr;
    auto *plane = new (std::nothrow) MaskPlane;
    if (!plane) return nullptr;
    plane->bytesPerRow = MaskBytesPerRow(rowPixels);
    plane->rows = height;
    plane->bits = AllocPixelBytes(size_t(plane->bytesPerRow) * size_t(height), clear);
    if (!plane->bits) {
        delete plane;
        return nullptr;
    }
    plane->ownsBits = true;
    return plane;
}

void FreeMaskPlane(MaskPlane *plane) {
    if (!plane) return;
    if (plane->ownsBits) std::free(plane->bits);
    delete plane;
}

MaskPlane *WrapMaskBuffer(void *buffer, int32_t bytesPerRow, int32_t rows) {
    if (!buffer || bytesPerRow <= 0 || rows < 0) return nullptr;
    auto *plane = new (std::nothrow) MaskPlane;
    if (!plane) return nullptr;
    plane->bits = static_cast<uint8_t *>(buffer);
    plane->bytesPerRow = bytesPerRow;
    plane->rows = rows;
    return plane;
}

AlphaPlane *AllocAlphaPlane(int32_t width, int32_t height, bool clear) {
    if (!SideOk(width) || !SideOk(height)) return nullptr;
    auto *plane = new (std::nothrow) AlphaPlane;
    if (!plane) return nullptr;
    plane->width = width;
    plane->height = height;
    plane->bytesPerRow = AlphaBytesPerRow(width);
    plane->bytes = AllocPixelBytes(size_t(plane->bytesPerRow) * size_t(height), clear);
    if (!plane->bytes) {
        delete plane;
        return nullptr;
    }
    plane->ownsBytes = true;
    return plane;
}

void FreeAlphaPlane(AlphaPlane *plane) {
    if (!plane) return;
    if (plane->ownsBytes) std::free(plane->bytes);
    delete plane;
}

void InitWrappedAlphaPlane(AlphaPlane *header, void *buffer, int32_t bytesPerRow) {
    if (!header || header->ownsBytes) return;
    header->bytes = static_cast<uint8_t *>(buffer);
    header->bytesPerRow = bytesPerRow;
}

int LockBitMapAccess(const HostBitmap *bitmap, BitMapAccess *access) {
    if (!access) return 0;
    *access = BitMapAccess{};
    if (!bitmap || !bitmap->pixels) return 0;
    access->base = bitmap->pixels;
    access->lockHandle = const_cast<HostBitmap *>(bitmap);
    access->format = bitmap->format;
    access->bytesPerPixel = bitmap->bytesPerPixel;
    access->rowPixels = bitmap->rowPixels;
    access->width = bitmap->width;
    access->height = bitmap->height;
    return 1;
}

void UnlockBitMapAccess(BitMapAccess *access) {
    if (access) access->lockHandle = nullptr;
}

intptr_t QueryBitMapAttr(const HostBitmap *bitmap, int32_t attr) {
    if (!bitmap) return 0;
    switch (attr) {
    case BitMapAttrBytesPerRow: return intptr_t(HostBitmapStride(bitmap));
    case BitMapAttrDepth: return bitmap->bytesPerPixel * 8;
    case BitMapAttrWidth: return bitmap->width;
    case BitMapAttrHeight: return bitmap->height;
    default: return 0;
    }
}

intptr_t QueryBitMapAttr(const MaskPlane *plane, int32_t attr) {
    if (!plane) return 0;
    switch (attr) {
    case BitMapAttrBytesPerRow:
    case BitMapAttrMaskBytesPerRow: return plane->bytesPerRow;
    case BitMapAttrMaskBits: return reinterpret_cast<intptr_t>(plane->bits);
    case BitMapAttrHeight: return plane->rows;
    default: return 0;
    }
}

intptr_t QueryBitMapAttr(const AlphaPlane *plane, int32_t attr) {
    if (!plane) return 0;
    switch (attr) {
    case BitMapAttrBytesPerRow: return plane->bytesPerRow;
    case BitMapAttrAlphaBytes: return reinterpret_cast<intptr_t>(plane->bytes);
    case BitMapAttrWidth: return plane->width;
    case BitMapAttrHeight: return plane->height;
    default: return 0;
    }
}
