#include "host/bitmap.h"
#include "host/bitmap_convert.h"
#include "host/blit.h"
#include "host/memory.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace {

struct BitmapDeleter {
    void operator()(HostBitmap *b) const { FreeHostBitmap(b); }
};
struct MaskDeleter {
    void operator()(MaskPlane *m) const { FreeMaskPlane(m); }
};
using BitmapPtr = std::unique_ptr<HostBitmap, BitmapDeleter>;
using MaskPtr = std::unique_ptr<MaskPlane, MaskDeleter>;

BitmapPtr Filled(int w, int h, uint32_t base) {
    BitmapPtr b(AllocHostBitmap(w, h));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) HostBitmapRow32(b.get(), y)[x] = base + uint32_t(y * 256 + x);
    return b;
}

// A destination embedded in guard memory: writes outside the visible rectangle, padding included, show up.
struct Guarded {
    std::vector<uint32_t> memory;
    BitmapPtr bitmap;
    Guarded(int w, int h) : memory(size_t((w + 2) * (h + 2)), 0xDEADBEEF) {
        bitmap.reset(WrapHostBitmap(memory.data() + w + 2 + 1, w, h, w + 2, PixelFormatARGB32));
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) HostBitmapRow32(bitmap.get(), y)[x] = 0;
    }
    int GuardDamage() const {
        int w = bitmap->width, h = bitmap->height, n = 0;
        for (int y = 0; y < h + 2; y++)
            for (int x = 0; x < w + 2; x++) {
                bool inside = y >= 1 && y <= h && x >= 1 && x <= w;
                if (!inside && memory[size_t(y * (w + 2) + x)] != 0xDEADBEEF) n++;
            }
        return n;
    }
};

TEST(GfxPlanes, AlphaRowLengthIsWidthRoundedUpToFour) {
    for (int w : {1, 3, 4, 5, 17}) {
        AlphaPlane *a = AllocAlphaPlane(w, 2, true);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->bytesPerRow, (w + 3) & ~3);
        EXPECT_EQ(QueryBitMapAttr(a, BitMapAttrBytesPerRow), (w + 3) & ~3);
        FreeAlphaPlane(a);
    }
}

TEST(GfxPlanes, MaskRowsArePaddedToSixteenBitsOfTheBitmapRow) {
    BitmapPtr b(AllocHostBitmap(17, 3));
    MaskPtr m(AllocMaskPlane(b.get(), 17, 3));
    EXPECT_EQ(m->bytesPerRow % 2, 0);
    EXPECT_GE(m->bytesPerRow * 8, b->rowPixels);
    MaskPtr m2(AllocMaskPlane(nullptr, 17, 3));
    EXPECT_EQ(m2->bytesPerRow, 4);
    EXPECT_EQ(QueryBitMapAttr(m2.get(), BitMapAttrMaskBytesPerRow), 4);
}

TEST(GfxPlanes, FreeingWrappedPlanesLeavesTheBufferAlone) {
    std::vector<uint8_t> buffer(64, 0x5A);
    MaskPlane *m = WrapMaskBuffer(buffer.data(), 4);
    FreeMaskPlane(m);
    EXPECT_EQ(buffer[0], 0x5A); // ASan reports a bad free otherwise
}

TEST(GfxPlanes, RefusesZeroAndOversizeBitmaps) {
    EXPECT_EQ(AllocHostBitmap(0, 5), nullptr);
    EXPECT_EQ(AllocHostBitmap(5, -1), nullptr);
    EXPECT_EQ(AllocHostBitmap(kMaxBitmapSide + 1, 1), nullptr);
    EXPECT_EQ(AllocHostBitmapFormat(4, 4, 13), nullptr);
}

// Large planes on pages of their own, down to a brush's (16 KB and up), whose sizes vary the most and would
// fragment the heap: a freed one serves the next plane of its size, cleared, and the kept ones go back to the
// system on request. Small planes stay on the heap.
TEST(GfxPlanes, LargePlanesHavePagesOfTheirOwnAndAreReusedCleared) {
    const PixelPagesSwitch pages(true);
    for (const int32_t side : {64, 100}) {
        BitmapPtr brush(AllocHostBitmap(side, side));
        ASSERT_NE(brush, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(brush->pixels) % 4096, 64u) << side; // a page, then the header
    }
    HostBitmap *a = AllocHostBitmap(640, 480);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a->pixels) % 4096, 64u);
    std::memset(a->pixels, 0xAB, HostBitmapStride(a) * 480);
    uint8_t *first = a->pixels;
    FreeHostBitmap(a);
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_TRUE(__asan_address_is_poisoned(first)); // kept, not in use: touching it is a use after the free
#endif
    HostBitmap *b = AllocHostBitmap(640, 480);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->pixels, first);
    EXPECT_EQ(b->pixels[0], 0);
    EXPECT_EQ(b->pixels[HostBitmapStride(b) * 480 - 1], 0);
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_FALSE(__asan_address_is_poisoned(&b->pixels[HostBitmapStride(b) * 480 - 1]));
    EXPECT_TRUE(__asan_address_is_poisoned(&b->pixels[HostBitmapStride(b) * 480])); // the pages' tail: an overrun
#endif
    AlphaPlane *alpha = AllocAlphaPlane(1024, 1024, false); // not asked to be clear: may keep old bytes
    MaskPlane *small = AllocMaskPlane(nullptr, 64, 64);
    ASSERT_TRUE(alpha && small);
    FreeHostBitmap(b);
    FreeAlphaPlane(alpha);
    FreeMaskPlane(small);
    // Sizes that round to the same pages share them: a larger one written to its end and freed, the next one
    // of its size is clear to its end too.
    ReleaseCachedPixelPages();
    for (int32_t height : {4096, 4100, 4100}) {
        HostBitmap *c = AllocHostBitmap(16, height);
        ASSERT_NE(c, nullptr);
        const size_t bytes = HostBitmapStride(c) * size_t(height);
        EXPECT_EQ(c->pixels[bytes - 1], 0) << height;
        std::memset(c->pixels, 0xAB, bytes);
        FreeHostBitmap(c);
    }
    ReleaseCachedPixelPages();
}

// Out of mappings (a script holding some 65,000 brushes), large planes come from the heap: usable and cleared
// as pages are, freed to the heap and never kept as pages.
TEST(GfxPlanes, LargePlanesComeFromTheHeapWhenMappingsRunOut) {
    const PixelPagesSwitch pages(true);
    ReleaseCachedPixelPages(); // a kept block of the size would be taken without a new mapping
    RefusePixelMappings(true);
    HostBitmap *heap = AllocHostBitmap(640, 480);
    AlphaPlane *alpha = AllocAlphaPlane(1024, 1024);
    MaskPlane *mask = AllocMaskPlane(nullptr, 2048, 512);
    ASSERT_TRUE(heap && alpha && mask);
    const size_t bytes = HostBitmapStride(heap) * 480;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(heap->pixels) % 64, 0u);
    EXPECT_EQ(heap->pixels[bytes - 1], 0);
    EXPECT_EQ(alpha->bytes[size_t(alpha->bytesPerRow) * 1024 - 1], 0);
    std::memset(heap->pixels, 0xAB, bytes);
    FreeHostBitmap(heap);
    heap = AllocHostBitmap(640, 480); // cleared whatever block the heap gives
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(std::count(heap->pixels, heap->pixels + bytes, 0), std::ptrdiff_t(bytes));
    [[maybe_unused]] const uint8_t *last = heap->pixels;
    RefusePixelMappings(false);
    // With mappings back the next plane has pages again; the heap ones freed now are not kept for it.
    FreeHostBitmap(heap);
    HostBitmap *paged = AllocHostBitmap(640, 480);
    ASSERT_NE(paged, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(paged->pixels) % 4096, 64u);
#if defined(__SANITIZE_ADDRESS__)
    EXPECT_NE(paged->pixels, last); // the heap block waits in the sanitizer's quarantine: never mapped again
#endif
    FreeHostBitmap(paged);
    FreeAlphaPlane(alpha);
    FreeMaskPlane(mask);
    ReleaseCachedPixelPages(); // a heap block kept as pages would be unmapped here
}

TEST(GfxAccess, LockGivesDirectPixelsAndFormatTen) {
    BitmapPtr b(AllocHostBitmap(5, 4));
    BitMapAccess access;
    ASSERT_NE(LockBitMapAccess(b.get(), &access), 0);
    EXPECT_EQ(access.base, b->pixels);
    EXPECT_EQ(access.format, 10);
    EXPECT_EQ(access.bytesPerPixel, 4);
    EXPECT_EQ(access.width, 5);
    UnlockBitMapAccess(&access);
    EXPECT_EQ(LockBitMapAccess(nullptr, &access), 0);
    EXPECT_EQ(access.base, nullptr);
    UnlockBitMapAccess(&access);
}

TEST(GfxBlit, CopiesRectangle) {
    BitmapPtr src = Filled(8, 8, 0x100000);
    Guarded dst(8, 8);
    BLTBITMAP(src.get(), 2, 3, dst.bitmap.get(), 1, 1, 3, 2);
    EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 1)[1], 0x100000u + 3 * 256 + 2);
    EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 2)[3], 0x100000u + 4 * 256 + 4);
    EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 3)[1], 0u);
    EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 1)[4], 0u);
}

TEST(GfxBlit, ClipsAtEveryEdgeWithoutWritingOutside) {
    BitmapPtr src = Filled(6, 6, 0x200000);
    const int positions[][2] = {{-3, -3}, {4, -2}, {-2, 4}, {4, 4}, {-10, 0}, {0, 10}, {-1, 2}};
    for (auto &p : positions) {
        Guarded dst(6, 6);
        BLTBITMAP(src.get(), 0, 0, dst.bitmap.get(), p[0], p[1], 6, 6);
        EXPECT_EQ(dst.GuardDamage(), 0) << p[0] << "," << p[1];
        // The pixel at destination (x, y) came from source (x - px, y - py).
        for (int y = 0; y < 6; y++)
            for (int x = 0; x < 6; x++) {
                int sx = x - p[0], sy = y - p[1];
                uint32_t want = (sx >= 0 && sx < 6 && sy >= 0 && sy < 6) ? 0x200000u + sy * 256 + sx : 0u;
                ASSERT_EQ(HostBitmapRow32(dst.bitmap.get(), y)[x], want);
            }
    }
}

TEST(GfxBlit, NegativeSourcePositionShiftsDestination) {
    BitmapPtr src = Filled(4, 4, 0x300000);
    Guarded dst(4, 4);
    BLTBITMAP(src.get(), -1, -2, dst.bitmap.get(), 0, 0, 4, 4);
    EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 2)[1], 0x300000u);
    EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 0)[0], 0u);
    EXPECT_EQ(dst.GuardDamage(), 0);
}

TEST(GfxBlit, OverlappingCopyInsideOneBitmapMovesDown) {
    BitmapPtr b = Filled(4, 6, 0);
    BLTBITMAP(b.get(), 0, 0, b.get(), 0, 1, 4, 5);
    for (int y = 1; y < 6; y++) EXPECT_EQ(HostBitmapRow32(b.get(), y)[2], uint32_t((y - 1) * 256 + 2));
}

TEST(GfxBlit, MaskCopiesOnlySetBitsTopBitFirst) {
    BitmapPtr src = Filled(20, 2, 0x400000);
    MaskPtr mask(AllocMaskPlane(src.get(), 20, 2));
    // Row 0: pixels 0, 9, 17 visible; row 1: all.
    mask->bits[0] = 0x80;
    mask->bits[1] = 0x40;
    mask->bits[2] = 0x40;
    FillMaskRect(mask.get(), 0, 1, 20, 1, MASKVISIBLE);
    Guarded dst(20, 2);
    BLTMASK(src.get(), 0, 0, dst.bitmap.get(), 0, 0, 20, 2, mask.get());
    for (int x = 0; x < 20; x++) {
        bool on = x == 0 || x == 9 || x == 17;
        EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 0)[x], on ? 0x400000u + x : 0u) << x;
        EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 1)[x], 0x400000u + 256 + x) << x;
    }
}

TEST(GfxBlit, MaskFastPathMatchesGenericPathAtOddOffsets) {
    BitmapPtr src = Filled(40, 3, 0x500000);
    MaskPtr mask(AllocMaskPlane(src.get(), 40, 3));
    for (int i = 0; i < mask->bytesPerRow * 3; i++) mask->bits[i] = uint8_t(i * 37 + 11);
    for (int offset : {0, 1, 3, 7, 9}) {
        Guarded fast(40, 3);
        BLTMASK(src.get(), offset, 0, fast.bitmap.get(), -2, 1, 33, 3, mask.get());
        // Oracle: per-pixel mask test.
        Guarded slow(40, 3);
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 33; x++) {
                int sx = offset + x, dx = x - 2;
                if (dx < 0 || sx >= 40) continue;
                if (MaskBit(mask.get(), sx, y)) HostBitmapRow32(slow.bitmap.get(), y + 1)[dx] = 0x500000u + y * 256 + sx;
            }
        EXPECT_EQ(fast.memory, slow.memory) << offset;
    }
}

TEST(GfxBlit, MaskShorterThanSourceClipsTheCopy) {
    BitmapPtr src = Filled(8, 8, 0x600000);
    std::vector<uint8_t> bits(2 * 2, 0xFF);
    MaskPtr mask(WrapMaskBuffer(bits.data(), 2, 2));
    Guarded dst(8, 8);
    BLTMASK(src.get(), 0, 0, dst.bitmap.get(), 0, 0, 8, 8, mask.get());
    EXPECT_NE(HostBitmapRow32(dst.bitmap.get(), 1)[7], 0u);
    EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 2)[0], 0u);
}

TEST(GfxBlit, TemplatePaintsColourOnlyWhereBitsAreSet) {
    std::vector<uint8_t> bits = {0xA0, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00};
    MaskPtr templ(WrapMaskBuffer(bits.data(), 4, 2));
    Guarded dst(16, 2);
    BLTTEMPLATE(templ.get(), 0, 0, dst.bitmap.get(), 0, 0, 16, 2, 0x123456);
    for (int x = 0; x < 16; x++) {
        bool on = x == 0 || x == 2 || x == 15;
        EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 0)[x], on ? 0x123456u : 0u) << x;
        EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 1)[x], 0x123456u);
    }
    Guarded clipped(4, 4);
    BLTTEMPLATE(templ.get(), 0, 0, clipped.bitmap.get(), -3, 2, 16, 2, 0xFFFFFF);
    EXPECT_EQ(clipped.GuardDamage(), 0);
    EXPECT_EQ(HostBitmapRow32(clipped.bitmap.get(), 3)[0], 0xFFFFFFu);
}

TEST(GfxBlit, RectFillClipsAndConvertsToSixteenBit) {
    Guarded dst(5, 5);
    RECTFILL(dst.bitmap.get(), -2, 3, 10, 10, 0xABCDEF);
    EXPECT_EQ(dst.GuardDamage(), 0);
    EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 4)[4], 0xABCDEFu);
    EXPECT_EQ(HostBitmapRow32(dst.bitmap.get(), 2)[4], 0u);
    BitmapPtr b16(AllocHostBitmapFormat(3, 1, PixelFormatRGB565LE));
    RECTFILL(b16.get(), 0, 0, 3, 1, 0xFF0000);
    EXPECT_EQ(b16->pixels[0], 0x00);
    EXPECT_EQ(b16->pixels[1], 0xF8);
    EXPECT_EQ(ReadPixelColour(b16.get(), 2, 0), 0xFF0000u);
}

TEST(GfxBlit, ConvertsBetweenFormats) {
    BitmapPtr src(AllocHostBitmap(2, 1));
    HostBitmapRow32(src.get(), 0)[0] = 0x102030;
    HostBitmapRow32(src.get(), 0)[1] = 0xFFFFFF;
    BitmapPtr b24(AllocHostBitmapFormat(2, 1, PixelFormatBGR24));
    BLTBITMAP(src.get(), 0, 0, b24.get(), 0, 0, 2, 1);
    EXPECT_EQ(b24->pixels[0], 0x30);
    EXPECT_EQ(b24->pixels[2], 0x10);
    EXPECT_EQ(ReadPixelColour(b24.get(), 1, 0), 0xFFFFFFu);
    BitmapPtr be(AllocHostBitmapFormat(1, 1, PixelFormatRGB555BE));
    WritePixelColour(be.get(), 0, 0, 0x0000FF);
    EXPECT_EQ(be->pixels[0], 0x00);
    EXPECT_EQ(be->pixels[1], 0x1F);
}

TEST(GfxMask, FillMaskRectSetsAndClearsAcrossByteEdges) {
    MaskPtr m(AllocMaskPlane(nullptr, 32, 2));
    FillMaskRect(m.get(), 3, 0, 10, 1, MASKVISIBLE);
    EXPECT_EQ(m->bits[0], 0x1F);
    EXPECT_EQ(m->bits[1], 0xF8);
    EXPECT_EQ(m->bits[2], 0x00);
    FillMaskRect(m.get(), 5, 0, 2, 1, MASKINVISIBLE);
    EXPECT_EQ(m->bits[0], 0x19);
    FillMaskRect(m.get(), -4, 1, 100, 5, MASKVISIBLE); // clipped to the plane
    EXPECT_EQ(m->bits[4], 0xFF);
    EXPECT_EQ(m->bits[7], 0xFF);
}

TEST(GfxMask, TemplateToMaskModes) {
    std::vector<uint8_t> t = {0xF0, 0x0F};
    MaskPtr templ(WrapMaskBuffer(t.data(), 2, 1));
    auto run = [&](int mode, int x) {
        MaskPtr d(AllocMaskPlane(nullptr, 16, 1));
        d->bits[0] = 0x3C;
        d->bits[1] = 0x81;
        BlitTemplateToMask(templ.get(), 0, 0, d.get(), x, 0, 16, 1, mode);
        return uint32_t(d->bits[0]) << 8 | d->bits[1];
    };
    EXPECT_EQ(run(TemplateMaskSet, 0), 0xFC8Fu);
    EXPECT_EQ(run(TemplateMaskCopy, 0), 0xF00Fu);
    EXPECT_EQ(run(TemplateMaskAnd, 0), 0x3001u);
    EXPECT_EQ(run(TemplateMaskClear, 0), 0x0C80u);
    EXPECT_EQ(run(TemplateMaskXor, 0), 0xCC8Eu);
    EXPECT_EQ(run(TemplateMaskOr, 0), 0xFC8Fu);
    EXPECT_EQ(run(9, 0), 0x3C81u); // an unknown mode changes nothing
    // Shifted by 3: template bits land at 3..6 and 15; pixels 0..2 keep their old bits (pixel 2 set).
    EXPECT_EQ(run(TemplateMaskCopy, 3), 0x3E01u);
}

TEST(GfxMask, TemplateToMaskWithinOnePlaneReadsTheOriginalBits) {
    MaskPtr m(AllocMaskPlane(nullptr, 32, 1));
    m->bits[0] = 0xF0;
    m->bits[1] = 0x0F;
    // Moving 16 pixels right by 8: the second byte must come from the original second byte, not the new one.
    BlitTemplateToMask(m.get(), 0, 0, m.get(), 8, 0, 16, 1, TemplateMaskCopy);
    EXPECT_EQ(m->bits[1], 0xF0);
    EXPECT_EQ(m->bits[2], 0x0F);
}

TEST(GfxBlend, LevelZeroKeepsAndFullGivesSource) {
    BitmapPtr src = Filled(4, 1, 0x80FF00);
    BitmapPtr dst(AllocHostBitmap(4, 1));
    RECTFILL(dst.get(), 0, 0, 4, 1, 0x0000FF);
    BlendBitmapLevel(src.get(), 0, 0, dst.get(), 0, 0, 4, 1, 0);
    EXPECT_EQ(HostBitmapRow32(dst.get(), 0)[0], 0x0000FFu);
    BlendBitmapLevel(src.get(), 0, 0, dst.get(), 0, 0, 4, 1, 255);
    EXPECT_EQ(HostBitmapRow32(dst.get(), 0)[1], 0x80FF01u);
}

TEST(GfxBlend, HalfLevelRoundsEachChannel) {
    BitmapPtr src(AllocHostBitmap(1, 1));
    BitmapPtr dst(AllocHostBitmap(1, 1));
    HostBitmapRow32(src.get(), 0)[0] = 0xFF0000;
    HostBitmapRow32(dst.get(), 0)[0] = 0x0000FF;
    BlendBitmapLevel(src.get(), 0, 0, dst.get(), 0, 0, 1, 1, 128);
    EXPECT_EQ(HostBitmapRow32(dst.get(), 0)[0], 0x80007Fu); // 255*128/255 = 128, 255*127/255 = 127
}

TEST(GfxConvert, PixelArrayMasksTheTransparentColour) {
    uint32_t pixels[6] = {0xFF00FF, 0x123456, 0xAAFF00FF, 0, 0, 0}; // row length 3: the third ignores alpha bits
    HostBitmap *b = nullptr;
    MaskPlane *m = nullptr;
    ASSERT_EQ(PixelArrayToBitmap(pixels, 0xFF00FF, 3, 2, 3, &b, &m), 0);
    ASSERT_NE(m, nullptr);
    EXPECT_FALSE(MaskBit(m, 0, 0));
    EXPECT_TRUE(MaskBit(m, 1, 0));
    EXPECT_FALSE(MaskBit(m, 2, 0));
    EXPECT_TRUE(MaskBit(m, 0, 1));
    EXPECT_EQ(HostBitmapRow32(b, 0)[1], 0x123456u);
    FreeHostBitmap(b);
    FreeMaskPlane(m);
    ASSERT_EQ(PixelArrayToBitmap(pixels, -1, 2, 2, 3, &b, &m), 0);
    EXPECT_EQ(m, nullptr);
    EXPECT_EQ(HostBitmapRow32(b, 1)[0], 0u);
    FreeHostBitmap(b);
}

TEST(GfxConvert, ReadBitmapPixelsRefusesMoreThanTheBitmapHolds) {
    BitmapPtr b = Filled(3, 2, 0x010000);
    uint32_t *p = ReadBitmapPixels(b.get(), 3, 2);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[4], 0x010000u + 256 + 1);
    FreeBlock(p);
    EXPECT_EQ(ReadBitmapPixels(b.get(), 4, 2), nullptr);
}

TEST(GfxConvert, PaletteBitmapLooksUpColours) {
    // 8 pixels, depth 2: indexes 0,1,2,3,3,2,1,0.
    uint8_t p0[1] = {0b01011010}, p1[1] = {0b00111100};
    PlanarBitmap pb;
    pb.bytesPerRow = 1, pb.rows = 1, pb.depth = 2, pb.planes[0] = p0, pb.planes[1] = p1;
    uint32_t palette[4] = {0x000000, 0x111111, 0x222222, 0x333333};
    uint32_t *px = ReadPaletteBitMapPixels(&pb, palette, 4, 8, 1, 0);
    ASSERT_NE(px, nullptr);
    uint32_t want[8] = {0, 0x111111, 0x222222, 0x333333, 0x333333, 0x222222, 0x111111, 0};
    for (int i = 0; i < 8; i++) EXPECT_EQ(px[i], want[i]) << i;
    FreeBlock(px);
    EXPECT_EQ(ReadPaletteBitMapPixels(&pb, palette, 4, 9, 1, 0), nullptr);
}

} // namespace

namespace {

TEST(GfxConvert, FlatAndMixedGroupsEqualABitByBitLookup) {
    // Rows of 8-pixel groups, each flat (every plane byte 0x00 or 0xFF) or mixed, at widths around the 64-pixel
    // step and its tail, against the colour of each pixel's index read bit by bit.
    uint32_t palette[256];
    for (uint32_t i = 0; i < 256; i++) palette[i] = i * 0x010203u & 0xFFFFFF;
    uint32_t seed = 7;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
    for (int32_t depth : {1, 5, 8})
        for (int32_t width : {7, 64, 72, 136, 200}) {
            const int32_t bytesPerRow = (width + 15) / 16 * 2, rows = 3;
            std::vector<std::vector<uint8_t>> planes(size_t(depth), std::vector<uint8_t>(size_t(bytesPerRow * rows)));
            for (size_t b = 0; b < size_t(bytesPerRow * rows); b++) {
                const bool flat = next() % 3 != 0;
                for (auto &plane : planes) plane[b] = uint8_t(flat ? (next() & 1) * 0xFF : next());
            }
            PlanarBitmap pb;
            pb.bytesPerRow = bytesPerRow, pb.rows = rows, pb.depth = depth;
            for (int32_t p = 0; p < depth; p++) pb.planes[p] = planes[size_t(p)].data();
            uint32_t *px = ReadPaletteBitMapPixels(&pb, palette, 256, width, rows, 0);
            ASSERT_NE(px, nullptr);
            for (int32_t y = 0; y < rows; y++)
                for (int32_t x = 0; x < width; x++) {
                    uint32_t index = 0;
                    for (int32_t p = 0; p < depth; p++)
                        index |= uint32_t(planes[size_t(p)][size_t(y * bytesPerRow + x / 8)] >> (7 - x % 8) & 1) << p;
                    ASSERT_EQ(px[y * width + x], palette[index]) << depth << " " << width << " " << x << "," << y;
                }
            FreeBlock(px);
        }
}

TEST(GfxBlend, FastPathMatchesPerChannelRoundedRule) {
    BitmapPtr src(AllocHostBitmap(37, 3)), dst(AllocHostBitmap(37, 3));
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int level : {1, 77, 128, 200, 254}) {
        std::vector<uint32_t> s(37 * 3), d(37 * 3);
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 37; x++) {
                s[size_t(y * 37 + x)] = HostBitmapRow32(src.get(), y)[x] = next();
                d[size_t(y * 37 + x)] = HostBitmapRow32(dst.get(), y)[x] = next();
            }
        BlendBitmapLevel(src.get(), 0, 0, dst.get(), 0, 0, 37, 3, level);
        for (int y = 0; y < 3; y++)
            for (int x = 0; x < 37; x++) {
                uint32_t got = HostBitmapRow32(dst.get(), y)[x], sp = s[size_t(y * 37 + x)], dp = d[size_t(y * 37 + x)];
                for (int shift = 0; shift < 32; shift += 8) {
                    int sc = int(sp >> shift) & 255, dc = int(dp >> shift) & 255;
                    int want = (sc * level + dc * (255 - level) + 127) / 255;
                    ASSERT_EQ(int(got >> shift) & 255, want) << level << " " << x << "," << y << " shift " << shift;
                }
            }
    }
}

} // namespace

namespace {

TEST(GfxConvert, HamModifiesTopBitsFromABlackRowStart) {
    // 4 pixels of depth 8: modify blue to 1 (from black), palette 2, modify green to 63, modify blue to 1.
    const uint8_t index[4] = {0x41, 0x02, 0xFF, 0x41};
    uint8_t planes[8][2] = {};
    for (int p = 0; p < 8; p++)
        for (int x = 0; x < 4; x++) planes[p][0] |= uint8_t(((index[x] >> p) & 1) << (7 - x));
    PlanarBitmap pb;
    pb.bytesPerRow = 2, pb.rows = 1, pb.depth = 8;
    for (int p = 0; p < 8; p++) pb.planes[p] = planes[p];
    uint32_t palette[64] = {};
    palette[2] = 0x804020;
    palette[0] = 0x112233; // not where a row starts
    uint32_t *px = ReadPaletteBitMapPixels(&pb, palette, 64, 4, 1, 8);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(px[0], 0x000004u);
    EXPECT_EQ(px[1], 0x804020u);
    EXPECT_EQ(px[2], 0x80FC20u);
    EXPECT_EQ(px[3], 0x80FC04u);
    FreeBlock(px);
    // HAM6: 0x1F modifies blue to 0xF0 from black.
    uint8_t ham6[6][2] = {};
    for (int p = 0; p < 6; p++) ham6[p][0] = uint8_t(((0x1F >> p) & 1) << 7);
    pb.depth = 6;
    for (int p = 0; p < 6; p++) pb.planes[p] = ham6[p];
    px = ReadPaletteBitMapPixels(&pb, palette, 16, 1, 1, 6);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(px[0], 0x0000F0u);
    FreeBlock(px);
    pb.depth = 8;
    for (int p = 0; p < 8; p++) pb.planes[p] = planes[p];
    EXPECT_EQ(ReadPaletteBitMapPixels(&pb, palette, 64, 3, 1, 6), nullptr); // depth must match the HAM mode
}

} // namespace

namespace {

// Pages of a bitmap's pixels the process holds (the bitmap has pages of its own).
size_t ResidentPages(const HostBitmap *b) {
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    auto *start = reinterpret_cast<uint8_t *>(reinterpret_cast<uintptr_t>(b->pixels) / page * page);
    const size_t length = size_t(b->pixels - start) + HostBitmapStride(b) * size_t(b->height);
    std::vector<unsigned char> resident((length + page - 1) / page);
    if (mincore(start, length, resident.data()) != 0) return SIZE_MAX;
    size_t n = 0;
    for (unsigned char r : resident) n += r & 1;
    return n;
}

// Filling or copying into a new bitmap gives what RECTFILL and BLTBITMAP give, without writing the pages that
// only get zeros: a black start-up picture and its display copies cost no memory.
TEST(GfxBlit, NewBitmapsLeaveBlackPagesUnwritten) {
    const PixelPagesSwitch pages(true);
    ReleaseCachedPixelPages();
    constexpr int w = 640, h = 480;
    struct Case {
        int firstRow, rows, firstColumn; // where the picture is not black
        size_t maxResident;
    } cases[] = {{0, 0, 0, 1}, {200, 4, 600, 4}, {0, h, 0, SIZE_MAX}};
    for (const Case &c : cases) {
        std::vector<uint32_t> pixels(size_t(w) * h, 0);
        for (int y = c.firstRow; y < c.firstRow + c.rows; y++)
            for (int x = c.firstColumn; x < w; x++) pixels[size_t(y) * w + x] = 0x10203 + uint32_t(x);
        HostBitmap *converted = nullptr;
        ASSERT_EQ(PixelArrayToBitmap(pixels.data(), -1, w, h, w, &converted, nullptr), 0);
        // Counted before anything reads them: a page only read is mapped too (to the shared zero page).
        EXPECT_LE(ResidentPages(converted), c.maxResident) << c.firstRow;
        BitmapPtr picture(converted), copy(AllocHostBitmap(w, h)), reference(AllocHostBitmap(w, h));
        CopyIntoNewBitmap(picture.get(), copy.get());
        EXPECT_LE(ResidentPages(copy.get()), c.maxResident) << c.firstRow;
        BLTBITMAP(picture.get(), 0, 0, reference.get(), 0, 0, w, h);
        for (int y = 0; y < h; y++)
            ASSERT_EQ(std::memcmp(HostBitmapRow32(copy.get(), y), HostBitmapRow32(reference.get(), y), w * 4), 0) << y;
        picture.reset(), copy.reset(), reference.reset();
        ReleaseCachedPixelPages(); // the next bitmaps get new pages, not cleared (written) ones
    }
    BitmapPtr black(AllocHostBitmap(w, h)), red(AllocHostBitmap(w, h));
    FillNewBitmap(black.get(), 0);
    FillNewBitmap(red.get(), 0xFF0000);
    EXPECT_LE(ResidentPages(black.get()), 1u);
    EXPECT_EQ(ReadPixelColour(red.get(), w - 1, h - 1), 0xFF0000u);
    EXPECT_EQ(ReadPixelColour(black.get(), w - 1, h - 1), 0u);
    black.reset(), red.reset();
    ReleaseCachedPixelPages();
}

// What skips writing black relies on a new plane reading as zero, and a plane may get the pages a freed one left
// full of bytes: converted, copied, filled or drawn into, each reads exactly as written and black elsewhere.
TEST(GfxBlit, PlanesOnReusedPagesReadAsWritten) {
    const PixelPagesSwitch pages(true);
    ReleaseCachedPixelPages();
    constexpr int w = 640, h = 480;
    std::vector<uint32_t> picture(size_t(w) * h, 0);
    for (int x = 600; x < w; x++)
        picture[size_t(300) * w + x] = 0x123456; // the end of one row lit
    HostBitmap *source = nullptr;
    ASSERT_EQ(PixelArrayToBitmap(picture.data(), -1, w, h, w, &source, nullptr), 0);
    BitmapPtr sourceOwner(source);
    // Leaves the pages of a freed plane of this size dirty in the cache; their address.
    auto dirty = [] {
        HostBitmap *b = AllocHostBitmap(w, h);
        std::memset(b->pixels, 0xCD, HostBitmapStride(b) * h);
        uint8_t *pixels = b->pixels;
        FreeHostBitmap(b);
        return pixels;
    };
    auto readsAs = [&](const HostBitmap *b, const std::vector<uint32_t> &want) {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                if ((HostBitmapRow32(b, y)[x] & 0xFFFFFF) != want[size_t(y) * w + x]) return y * w + x;
        return -1;
    };
    std::vector<uint32_t> drawn(size_t(w) * h, 0);
    for (int y = 10; y < 20; y++)
        for (int x = 5; x < 25; x++)
            drawn[size_t(y) * w + x] = 0xFF0000;
    struct Route {
        const char *name;
        HostBitmap *(*make)(const HostBitmap *source, const uint32_t *picture);
        const std::vector<uint32_t> &want;
    } routes[] = {
        {"converted",
         [](const HostBitmap *, const uint32_t *p) {
             HostBitmap *b = nullptr;
             return PixelArrayToBitmap(p, -1, w, h, w, &b, nullptr) == 0 ? b : nullptr;
         },
         picture},
        {"copied",
         [](const HostBitmap *s, const uint32_t *) {
             HostBitmap *b = AllocHostBitmap(w, h);
             CopyIntoNewBitmap(s, b);
             return b;
         },
         picture},
        {"filled black, then drawn",
         [](const HostBitmap *, const uint32_t *) {
             HostBitmap *b = AllocHostBitmap(w, h);
             FillNewBitmap(b, 0);
             RECTFILL(b, 5, 10, 20, 10, 0xFF0000);
             return b;
         },
         drawn},
    };
    for (const Route &route : routes) {
        uint8_t *pages = dirty();
        BitmapPtr made(route.make(source, picture.data()));
        ASSERT_NE(made, nullptr) << route.name;
        EXPECT_EQ(made->pixels, pages) << route.name << ": the freed pages were not reused";
        EXPECT_EQ(readsAs(made.get(), route.want), -1) << route.name;
    }
    sourceOwner.reset();
    ReleaseCachedPixelPages();
}

} // namespace
