#include "host/bitmap.h"
#include "host/allocation_cap.h"
#include "runtime/vm/asan_poison.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace {

// Pixel buffers of kOwnPagesBytes and more get pages of their own, so that freeing one gives its memory back.
// Through malloc, glibc's mmap threshold rises after the first large frees; later large buffers then come from
// the main heap, which fragments between transitions and is not given back. Brush-sized buffers fragment it as
// well: sprites, scaled and rotated layers of a new size each time leave holes that the next sizes do not fit,
// and small blocks made meanwhile pin them (a long run's resident memory grew by 40% with the heap's live bytes
// flat). The last few freed blocks are kept for the next request of the same size, since transitions and the
// compositor free and make the same bitmaps run after run (fresh pages would fault in again each time).
constexpr size_t kOwnPagesBytes = 16 << 10;
constexpr int kCachedBlocks = 8;
constexpr size_t kCachedBytes = 96 << 20;

struct PageCache {
    std::mutex lock;
    struct Block {
        uint8_t *start;
        size_t total;
    } blocks[kCachedBlocks] = {};
    int count = 0; // oldest first
    size_t bytes = 0;
};
PageCache &Cache() {
    static PageCache &cache = *new PageCache; // stays usable while other statics are destroyed
    return cache;
}

// Tests can turn the pages off. The sanitizer build runs them too: a kept block is poisoned while it waits, and
// the bytes of a block's pages past the size asked for stay poisoned, so that a use after the free and an
// overrun are caught there as on the heap.
std::atomic<bool> ownPages{true};

std::atomic<bool> refuseMappings{false};

bool UsesOwnPages(size_t bytes) { return bytes >= kOwnPagesBytes && ownPages.load(std::memory_order_relaxed); }

size_t PageRounded(size_t total) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    return (total + page - 1) / page * page;
}

// Guards the bytes of a block's pages past the size asked for.
void GuardTail(uint8_t *block, size_t total) { ASAN_POISON_MEMORY_REGION(block + total, PageRounded(total) - total); }

// Opens the size asked for of a kept block, and only that; the rest of its pages stays poisoned.
void OpenPages(uint8_t *block, size_t total) {
    ASAN_UNPOISON_MEMORY_REGION(block, total);
    GuardTail(block, total);
}

void UnmapPages(uint8_t *block, size_t total) {
    ASAN_UNPOISON_MEMORY_REGION(block, PageRounded(total)); // the addresses may be mapped again for anything
    munmap(block, total);
}

uint8_t *TakeCachedPages(size_t total, bool clear, size_t *outTotal) {
    PageCache &cache = Cache();
    uint8_t *block = nullptr;
    {
        std::lock_guard<std::mutex> hold(cache.lock);
        for (int i = cache.count - 1; i >= 0; i--) {
            if (PageRounded(cache.blocks[i].total) != PageRounded(total)) continue;
            block = cache.blocks[i].start;
            *outTotal = cache.blocks[i].total;
            cache.bytes -= cache.blocks[i].total;
            for (int k = i; k + 1 < cache.count; k++) cache.blocks[k] = cache.blocks[k + 1];
            cache.count--;
            break;
        }
    }
    if (!block) return nullptr;
    OpenPages(block, total);
    // The size asked for, not the kept block's: one of the same pages may be larger, and its tail was written.
    if (clear) std::memset(block, 0, total);
    return block;
}

void KeepPages(uint8_t *block, size_t total) {
    PageCache &cache = Cache();
    std::lock_guard<std::mutex> hold(cache.lock);
    if (total > kCachedBytes) {
        UnmapPages(block, total);
        return;
    }
    while (cache.count > 0 && (cache.count == kCachedBlocks || cache.bytes + total > kCachedBytes)) {
        UnmapPages(cache.blocks[0].start, cache.blocks[0].total);
        cache.bytes -= cache.blocks[0].total;
        for (int k = 0; k + 1 < cache.count; k++) cache.blocks[k] = cache.blocks[k + 1];
        cache.count--;
    }
    ASAN_POISON_MEMORY_REGION(block, PageRounded(total));
    cache.blocks[cache.count++] = {block, total};
    cache.bytes += total;
}

// Pixel rows start on 16-byte boundaries (4 pixels at 32 bits), which keeps vector loops aligned row by row.
int32_t PaddedRowPixels(int32_t width, int32_t bytesPerPixel) {
    int32_t unit = bytesPerPixel == 4 ? 4 : 16;
    return (width + unit - 1) / unit * unit;
}

bool SideOk(int32_t side) { return side > 0 && side <= kMaxBitmapSide; }

// Sides are capped at 32768, so rows*stride fits 64-bit comfortably; 64-byte alignment for the vector kernels.
// A 64-byte header before the pixels holds the size of a block that has pages of its own (0 for a heap block).
constexpr size_t kPixelHeader = 64;

uint8_t *AllocPixelBytes(size_t bytes, bool clear) {
    if (!FitsAllocationCap(1, int64_t(bytes))) return nullptr;
    size_t rounded = (bytes + 63) & ~size_t(63);
    if (rounded == 0) rounded = 64;
    if (UsesOwnPages(rounded)) {
        size_t total = 0;
        uint8_t *block = TakeCachedPages(rounded + kPixelHeader, clear, &total);
        if (!block) {
            total = rounded + kPixelHeader;
            void *p = refuseMappings.load(std::memory_order_relaxed)
                          ? MAP_FAILED
                          : mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            // Out of mappings (the system allows some 65,000; a script may hold that many small brushes): the heap.
            if (p != MAP_FAILED) {
                // New pages are open already (unmapping opens them): opening them again would write the
                // sanitizer's marks for every page, an eighth of a huge layer's image it may never touch.
                block = static_cast<uint8_t *>(p);
                GuardTail(block, total);
            }
        }
        if (block) {
            std::memcpy(block, &total, sizeof total);
            return block + kPixelHeader;
        }
    }
    auto *block = static_cast<uint8_t *>(std::aligned_alloc(64, rounded + kPixelHeader));
    if (!block) return nullptr;
    const size_t heapBlock = 0;
    std::memcpy(block, &heapBlock, sizeof heapBlock);
    if (clear) std::memset(block + kPixelHeader, 0, rounded);
    return block + kPixelHeader;
}

void FreePixelBytes(uint8_t *pixels) {
    if (!pixels) return;
    uint8_t *block = pixels - kPixelHeader;
    size_t total = 0;
    std::memcpy(&total, block, sizeof total);
    if (total == 0) std::free(block);
    else KeepPages(block, total);
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
    if (bitmap->ownsPixels) FreePixelBytes(bitmap->pixels);
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
    if (plane->ownsBits) FreePixelBytes(plane->bits);
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
    if (plane->ownsBytes) FreePixelBytes(plane->bytes);
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

void ReleaseCachedPixelPages() {
    PageCache &cache = Cache();
    std::lock_guard<std::mutex> hold(cache.lock);
    for (int i = 0; i < cache.count; i++) UnmapPages(cache.blocks[i].start, cache.blocks[i].total);
    cache.count = 0;
    cache.bytes = 0;
}

bool UsePixelPages(bool on) { return ownPages.exchange(on); }
bool RefusePixelMappings(bool refuse) { return refuseMappings.exchange(refuse); }
