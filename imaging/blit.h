// Rectangle blits with mask, alpha plane and clip region: the guarded SAFEBLT and its relatives.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "imaging/clip_region.h"
#include "imaging/pixels.h"

// ---- Kernels over views (already clipped) -------------------------------------------------------------------
// Copies w x h pixels from src(sx, sy) to dst(dx, dy). The mask and the alpha plane (either may be empty) are
// indexed like the source. Source and destination of different layouts convert through the generic path.
void BlitRect(const PixelBuffer &src, int sx, int sy, const PixelBuffer &dst, int dx, int dy, int w, int h,
              const PlaneBuffer &mask, const PlaneBuffer &alpha);
// The same, one pixel at a time: the fallback and the tests' oracle.
void BlitRectGeneric(const PixelBuffer &src, int sx, int sy, const PixelBuffer &dst, int dx, int dy, int w, int h,
                     const PlaneBuffer &mask, const PlaneBuffer &alpha);
// Blends a colour into dst through coverage (0 keeps, 255 sets, between blends) read at (cx, cy).
void BlendColorRect(const PlaneBuffer &coverage, int cx, int cy, const PixelBuffer &dst, int dx, int dy, int w,
                    int h, uint32_t rgb);
void BlendColorRectGeneric(const PlaneBuffer &coverage, int cx, int cy, const PixelBuffer &dst, int dx, int dy,
                           int w, int h, uint32_t rgb);

// ---- Clipping -----------------------------------------------------------------------------------------------
// Clips a blit rectangle to the source and destination sizes and, when a clip region is given, to its
// rectangle. Moves sx/sy with dx/dy. Returns false when nothing is left. flag is reserved (callers pass 0).
// Clips [*start, *start + *length) to [0, limit) in 64 bits, so that any 32-bit position and size clip rather than
// overflow. Returns how far the start moved; an empty result has *length 0 (and *start is then meaningless).
int64_t ClipSpan(int32_t *start, int32_t *length, int32_t limit);
bool ClipBlitRect(const ClipRegion *clip, int32_t *sx, int32_t *sy, int32_t *dx, int32_t *dy, int32_t *width,
                  int32_t *height, int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth, int32_t destHeight,
                  int flag = 0);

// ---- SAFEBLT ------------------------------------------------------------------------------------------------
// Flag bits. Only kBlitPlain changes the pixel rule; the others say where the pixels go, which the display
// side reads (flags 19, 18, 3, 4, 4 + 32 and 4 + 64 are the combinations callers use).
constexpr int kBlitPlain = 1;        // ignore mask, alpha plane and clip region
constexpr int kBlitMasked = 2;       // through mask, alpha and clip region (the default without kBlitPlain)
constexpr int kBlitClipped = 4;      // to the display through the clip region
constexpr int kBlitToBitmap = 16;    // into the given bitmap
constexpr int kBlitScaledDisplay = 32;
constexpr int kBlitTransitionLayers = 64;

// The current output when SAFEBLT gets no destination; set by the display code (null: the blit does nothing).
extern HostBitmap *(*CurrentOutputBitmapHook)();

// The guarded blit: every rectangle is clipped against both bitmaps (sizes given as 0 or beyond a bitmap's
// real size are taken from the bitmap), the mask, the alpha plane and the clip region. Returns 0, or kErrWrongUsage
// for a source and destination whose pixel sizes cannot be converted.
int SAFEBLT(const HostBitmap *src, int32_t sx, int32_t sy, HostBitmap *dst, int32_t dx, int32_t dy, int32_t width,
            int32_t height, int32_t sourceWidth, int32_t sourceHeight, int32_t destWidth, int32_t destHeight,
            int32_t flags, const MaskPlane *mask, const AlphaPlane *alpha, const ClipRegion *clip);

// SAFEBLT of a bitmap filled with one 32-bit pixel value through the alpha plane placed at (dx, dy), without that
// bitmap: the same pixels. Only for 32-bit destinations and rectangular clips (false, nothing drawn, otherwise).
bool BlendPixelThroughAlpha(uint32_t pixel, const AlphaPlane *alpha, HostBitmap *dst, int32_t dx, int32_t dy,
                            const ClipRegion *clip);

// Blends src through the alpha plane (indexed like the source); clipped to everything.
void BLTALPHABITMAP(const HostBitmap *src, int32_t sx, int32_t sy, HostBitmap *dst, int32_t dx, int32_t dy,
                    int32_t width, int32_t height, const AlphaPlane *alpha);

// BLTALPHACHANNEL modes: blend a colour through the plane as coverage, or a source bitmap through it.
constexpr int kAlphaChannelBitmap = 0;
constexpr int kAlphaChannelColor = 1;
void BLTALPHACHANNEL(const AlphaPlane *alpha, int32_t sx, int32_t sy, HostBitmap *dst, int32_t dx, int32_t dy,
                     int32_t width, int32_t height, uint32_t color, int32_t mode, const HostBitmap *source = nullptr);
