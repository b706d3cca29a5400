// Bitmaps, mask planes and alpha planes of the host layer. Every bitmap here is plain pixel memory (software
// bitmaps); a window shows one by uploading it. Pixel kernels in imaging/ code against these records directly.
#pragma once

#include <cstddef>
#include <cstdint>

// The pixel formats the bitmap layer and the pixel kernels share. The numbering is fixed (serialised nowhere, but
// kernels switch on it). 16-bit formats are 5/6/5 (or 5/5/5 with the top bit unused) words; "BE" words are
// stored high byte first, "LE" words in host order on little-endian machines. 24-bit formats are three bytes in
// the order named. 32-bit formats are host-order 32-bit words.
enum PixelFormat : int32_t {
    PixelFormatRGB555BE = 0, // word 0RRRRRGG GGGBBBBB, high byte first
    PixelFormatBGR555BE = 1, // word 0BBBBBGG GGGRRRRR, high byte first
    PixelFormatRGB555LE = 2, // word 0RRRRRGG GGGBBBBB, low byte first
    PixelFormatBGR555LE = 3,
    PixelFormatRGB565BE = 4, // word RRRRRGGG GGGBBBBB, high byte first
    PixelFormatBGR565BE = 5,
    PixelFormatRGB565LE = 6, // the 16-bit format of AllocHostBitmapFormat callers (host order on x86/ARM)
    PixelFormatBGR565LE = 7,
    PixelFormatRGB24 = 8,    // bytes R, G, B: the 24-bit format
    PixelFormatBGR24 = 9,    // bytes B, G, R
    PixelFormatARGB32 = 10,  // word 0xAARRGGBB; displays hold 0x00RRGGBB, alpha (where kept) in bits 24-31
    PixelFormatBGRA32 = 11,  // word 0xBBGGRRAA
    PixelFormatRGBA32 = 12,  // word 0xRRGGBBAA
};
constexpr int32_t kPixelFormatCount = 13;

// Bytes per pixel of a format number, 0 for numbers outside 0..12.
inline int32_t PixelFormatBytes(int32_t format) {
    if (format < 0 || format >= kPixelFormatCount) return 0;
    if (format <= PixelFormatBGR565LE) return 2;
    if (format <= PixelFormatBGR24) return 3;
    return 4;
}

// Limits on what the bitmap layer allocates: a side beyond this is refused (not merely large: pictures from files
// carry their size, and w*h*4 must stay well inside 64-bit and inside what a machine can hold).
constexpr int32_t kMaxBitmapSide = 32768;

// A bitmap: width x height visible pixels in rows of rowPixels pixels (rowPixels >= width) of bytesPerPixel bytes.
struct HostBitmap {
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowPixels = 0;     // row length in pixels; row stride in bytes is rowPixels * bytesPerPixel
    int32_t bytesPerPixel = 4; // 2, 3 or 4, as format says
    int32_t format = PixelFormatARGB32;
    uint8_t *pixels = nullptr; // first pixel of row 0
    bool ownsPixels = false;   // false for a header over someone else's memory
    bool displayable = false;  // only a hint here: all bitmaps are the same memory a window uploads
};

inline size_t HostBitmapStride(const HostBitmap *bitmap) {
    return size_t(bitmap->rowPixels) * size_t(bitmap->bytesPerPixel);
}
inline uint8_t *HostBitmapRow(const HostBitmap *bitmap, int32_t y) {
    return bitmap->pixels + size_t(y) * HostBitmapStride(bitmap);
}
// Row y of a 32-bit bitmap as words.
inline uint32_t *HostBitmapRow32(const HostBitmap *bitmap, int32_t y) {
    return reinterpret_cast<uint32_t *>(HostBitmapRow(bitmap, y));
}

// A 1-bit plane: bit 7 of byte 0 is the leftmost pixel, 1 visible; rows padded to 16 bits (bytesPerRow even).
struct MaskPlane {
    uint8_t *bits = nullptr;
    int32_t bytesPerRow = 0;
    int32_t rows = 0;  // 0 in a wrapped header whose caller did not give the height: blits then trust the partner
    bool ownsBits = false;
};

inline bool MaskBit(const MaskPlane *plane, int32_t x, int32_t y) {
    return (plane->bits[size_t(y) * size_t(plane->bytesPerRow) + size_t(x >> 3)] >> (7 - (x & 7))) & 1;
}

// An 8-bit coverage plane: 0 transparent, 255 opaque; rows padded to 4 bytes in planes allocated here.
struct AlphaPlane {
    uint8_t *bytes = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerRow = 0;
    bool ownsBytes = false;
};

inline int32_t MaskBytesPerRow(int32_t widthInPixels) { return ((widthInPixels + 15) >> 4) * 2; }
inline int32_t AlphaBytesPerRow(int32_t width) { return (width + 3) & ~3; }

// What every image object carries (brushes, background pictures, sprites, text objects, anim frames).
struct ImageTriple {
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

// Allocation. Every allocator returns null on failure (no memory, size 0 or above kMaxBitmapSide); new pixels and
// planes start cleared unless a clear flag says otherwise.
HostBitmap *AllocHostBitmap(int32_t width, int32_t height);            // 32-bit, format 10
HostBitmap *AllocDisplayableHostBitmap(int32_t width, int32_t height); // 32-bit, format 10
HostBitmap *AllocHostBitmapFormat(int32_t width, int32_t height, int32_t format);
// A header over caller memory; FreeHostBitmap leaves that memory alone.
HostBitmap *WrapHostBitmap(void *pixels, int32_t width, int32_t height, int32_t rowPixels, int32_t format);
void FreeHostBitmap(HostBitmap *bitmap); // null allowed

// Row length is the bitmap's rowPixels when one is given, else the width.
MaskPlane *AllocMaskPlane(const HostBitmap *bitmap, int32_t width, int32_t height, bool clear = true);
void FreeMaskPlane(MaskPlane *plane); // null allowed; a wrapped plane's buffer is not freed
MaskPlane *WrapMaskBuffer(void *buffer, int32_t bytesPerRow, int32_t rows = 0);

AlphaPlane *AllocAlphaPlane(int32_t width, int32_t height, bool clear = true); // (width + 3) & ~3 bytes per row
void FreeAlphaPlane(AlphaPlane *plane); // null allowed
void InitWrappedAlphaPlane(AlphaPlane *header, void *buffer, int32_t bytesPerRow);
// Large planes have pages of their own, given back when freed; the last few freed are kept for the next plane of
// their size. This gives the kept ones back (a display going away).
void ReleaseCachedPixelPages();
// Whether large planes get their own pages (on unless turned off); returns the previous setting.
bool UsePixelPages(bool on);
// Pages on or off while it lives, then as they were (tests).
class PixelPagesSwitch {
public:
    explicit PixelPagesSwitch(bool on) : previous_(UsePixelPages(on)) {}
    ~PixelPagesSwitch() { UsePixelPages(previous_); }
    PixelPagesSwitch(const PixelPagesSwitch &) = delete;
    PixelPagesSwitch &operator=(const PixelPagesSwitch &) = delete;

private:
    bool previous_;
};
// Whether new mappings of pages fail, as they do when the system's mappings run out (tests); returns the previous
// setting. Large planes then come from the heap.
bool RefusePixelMappings(bool refuse);

// Direct access. All bitmaps are plain memory, so the lock always succeeds for a valid bitmap; a failed lock
// leaves base 0, and UnlockBitMapAccess is safe after it.
struct BitMapAccess {
    void *base = nullptr; // first pixel
    void *lockHandle = nullptr;
    int32_t format = PixelFormatARGB32;
    int32_t bytesPerPixel = 0;
    int32_t rowPixels = 0;
    int32_t width = 0;
    int32_t height = 0;
};
int LockBitMapAccess(const HostBitmap *bitmap, BitMapAccess *access); // non-zero on success
void UnlockBitMapAccess(BitMapAccess *access);

// Plane and bitmap attributes: 1 row length in bytes (alpha plane or bitmap), 2 bytes per row of a mask plane,
// 3 the pixel bytes of an alpha plane (address), 4 the bit rows of a mask plane (address); 14/15 width/height.
// 0 for attributes a record does not have. Screen attributes take nullptr (declared in host/screen.h).
enum BitMapAttr : int32_t {
    BitMapAttrBytesPerRow = 1,
    BitMapAttrMaskBytesPerRow = 2,
    BitMapAttrAlphaBytes = 3,
    BitMapAttrMaskBits = 4,
    BitMapAttrDepth = 5,
    BitMapAttrWidth = 14,
    BitMapAttrHeight = 15,
    BitMapAttrTitleBarHeight = 22,
    BitMapAttrScreenRect = 23,
};
intptr_t QueryBitMapAttr(const HostBitmap *bitmap, int32_t attr);
intptr_t QueryBitMapAttr(const MaskPlane *plane, int32_t attr);
intptr_t QueryBitMapAttr(const AlphaPlane *plane, int32_t attr);

// Every bitmap is a software bitmap, so the system text path never draws into one.
constexpr int SoftwareBitmapMode = 1;
