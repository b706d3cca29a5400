// The host blits and fills. Colours are 0x00RRGGBB. Every operation clips its rectangle to every plane it
// touches (negative positions included), so no rectangle writes outside a buffer; a rectangle clipped away
// entirely does nothing. Masks passed with a source bitmap are in source coordinates.
#pragma once

#include "host/bitmap.h"

// Mask-plane modes.
constexpr int32_t MASKVISIBLE = 0;
constexpr int32_t MASKINVISIBLE = 1;
// BlitTemplateToMask modes.
constexpr int32_t TemplateMaskSet = 0;  // set the destination bits where the template has them
constexpr int32_t TemplateMaskClear = 1; // clear the destination bits where the template has them
constexpr int32_t TemplateMaskCopy = 2; // the template's bits replace the destination's
constexpr int32_t TemplateMaskXor = 3;
constexpr int32_t TemplateMaskAnd = 4;  // the destination keeps only bits the template has too
constexpr int32_t TemplateMaskOr = 5;   // as TemplateMaskSet

void BLTBITMAP(const HostBitmap *source, int32_t sx, int32_t sy, HostBitmap *destination, int32_t dx, int32_t dy,
               int32_t width, int32_t height);
void BLTMASK(const HostBitmap *source, int32_t sx, int32_t sy, HostBitmap *destination, int32_t dx, int32_t dy,
             int32_t width, int32_t height, const MaskPlane *mask);
void BLTTEMPLATE(const MaskPlane *templ, int32_t tx, int32_t ty, HostBitmap *destination, int32_t x, int32_t y,
                 int32_t width, int32_t height, uint32_t colour);
void RECTFILL(HostBitmap *bitmap, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour);
// For a bitmap just allocated, all zero: what would only write zeros is skipped, so the pages of a black picture
// stay unwritten (and cost no memory) until something is drawn there. The copy takes the source's size.
void FillNewBitmap(HostBitmap *bitmap, uint32_t colour);
void CopyIntoNewBitmap(const HostBitmap *source, HostBitmap *destination);
// A plane without a known row count (wrapped, rows 0) is clipped only horizontally; its caller vouches for rows.
void FillMaskRect(MaskPlane *plane, int32_t x, int32_t y, int32_t width, int32_t height, int32_t mode);
void BlitTemplateToMask(const MaskPlane *templ, int32_t tx, int32_t ty, MaskPlane *destination, int32_t x,
                        int32_t y, int32_t width, int32_t height, int32_t mode);
// destination = blend of source over destination at a constant level: 0 keeps the destination, 255 gives the
// source, rounded to nearest per channel (alpha bits blend too).
void BlendBitmapLevel(const HostBitmap *source, int32_t sx, int32_t sy, HostBitmap *destination, int32_t dx,
                      int32_t dy, int32_t width, int32_t height, int32_t level);

// Bit 2 (value 4) answers whether the constant-level blend on displayable bitmaps is fast: it is, in software,
// so the cross-fade fast path is always taken. Returns the asked bits that hold.
constexpr uint32_t kBlitCapConstantBlend = 4;
uint32_t QueryBlitCapabilities(uint32_t bits);

// One pixel of any format as 0x00RRGGBB and back (the generic path and the test oracle of the fast paths).
uint32_t ReadPixelColour(const HostBitmap *bitmap, int32_t x, int32_t y);
void WritePixelColour(HostBitmap *bitmap, int32_t x, int32_t y, uint32_t colour);
