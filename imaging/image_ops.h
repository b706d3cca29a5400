// Operations on whole images (bitmap + mask + alpha): copy, scale, mix, tint, transform, sizes.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "imaging/pixels.h"

constexpr int32_t KEEPASPRAT = 100000;

// Copies a rectangle (clipped to the bitmap) into new planes of the same pixel format. Returns 0, kErrOutOfMemory
// when out of memory or kErrWrongUsage for an empty rectangle; on an error nothing is returned (the outs stay null).
int CopyImage(const HostBitmap *bitmap, const MaskPlane *mask, const AlphaPlane *alpha, int32_t x, int32_t y,
              int32_t width, int32_t height, HostBitmap **outBitmap, MaskPlane **outMask, AlphaPlane **outAlpha);

// Part of a scaled or transformed image: its pixels [x, x + width) x [y, y + height), exactly as in the whole
// result, from a bitmap that holds the pixels at (sourceX, sourceY) of a whole source of wholeWidth x
// wholeHeight.
struct TransformPart {
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t sourceX = 0, sourceY = 0, wholeWidth = 0, wholeHeight = 0;
};

// Scales the rectangle (sx, sy, sourceWidth, sourceHeight) to newWidth x newHeight. Plain scaling samples the
// nearest pixel; smooth scaling interpolates pixels and alpha bilinearly. Mask bits always follow the nearest
// source pixel, so mask and pixels stay in step. With destBitmap the pixels go into it (same format, at least
// the new size) and only mask and alpha are allocated. Returns 0, kErrOutOfMemory when out of memory,
// kErrWrongUsage for bad sizes. With part, only that part of the newWidth x newHeight result is made (sx, sy,
// sourceWidth and sourceHeight are then ignored); the bitmap must hold the source pixels ScaledSourceSpan
// names for it.
int ScaleImage(const HostBitmap *bitmap, const MaskPlane *mask, const AlphaPlane *alpha, int32_t sx,
               int32_t sy, HostBitmap *destBitmap, int32_t sourceWidth, int32_t sourceHeight,
               int32_t newWidth, int32_t newHeight, bool smooth, HostBitmap **outBitmap, MaskPlane **outMask,
               AlphaPlane **outAlpha, const TransformPart *part = nullptr);
// The source indices [*first, *end) that ScaleImage reads for result indices [from, from + count) when it
// scales sourceLength pixels to newLength (count > 0, within the result).
void ScaledSourceSpan(int32_t sourceLength, int32_t newLength, int32_t from, int32_t count, bool smooth,
                      int32_t *first, int32_t *end);
// A matrix that only stretches, each way by a positive factor: ScaleImage makes its image, whose size is the
// rectangle's times the factors, rounded and at least 1, not the bounding box's.
bool IsPlainScale(const double matrix[4]);
void PlainScaleSize(const double matrix[4], int32_t width, int32_t height, int32_t *outWidth,
                    int32_t *outHeight);

// Mixes source into destination in place (a layer's transparency, MixBrush): d = s + ((d - s) x (255 - level) >> 8)
// per channel (MixChannels), level 255 giving the source; level 0 still moves d one step. Only where the source
// mask bit is set and the source alpha byte is not 0; an alpha byte scales the level (level x alpha / 255).
// sx, sy, dx, dy place the rectangle; everything is clipped.
void MixImages(HostBitmap *dest, const HostBitmap *source, const MaskPlane *sourceMask, int32_t sx, int32_t sy,
               int32_t dx, int32_t dy, int32_t width, int32_t height, int32_t level, const AlphaPlane *sourceAlpha,
               int32_t sourceWidth, int32_t sourceHeight);
// A transition's level: d + ((s - d) x level >> 8) over the common top-left rectangle (TintChannels' rule).
void BlendImageLevel(HostBitmap *dest, const HostBitmap *source, int32_t width, int32_t height, int32_t level);
// The view forms, fast and generic (the generic one is the tests' oracle).
void MixPixels(const PixelBuffer &dest, int dx, int dy, const PixelBuffer &source, int sx, int sy, int w, int h,
               int level, const PlaneBuffer &mask, const PlaneBuffer &alpha);
void MixPixelsGeneric(const PixelBuffer &dest, int dx, int dy, const PixelBuffer &source, int sx, int sy, int w,
                      int h, int level, const PlaneBuffer &mask, const PlaneBuffer &alpha);

// Moves each pixel towards the colour: channel + ((tint - channel) x level >> 8) (TintChannels); level 255 stops
// one step short of the colour.
void TintImage(HostBitmap *bitmap, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t color,
               int32_t level);
void TintPixels(const PixelBuffer &b, int x, int y, int w, int h, uint32_t color, int level);
void TintPixelsGeneric(const PixelBuffer &b, int x, int y, int w, int h, uint32_t color, int level);

// Replaces a new width or height given as KEEPASPRAT by the size that keeps width : height, rounding half up.
// Returns 0, kErrSizeNotPositive when a size is 0 or below, kErrWrongUsage when both new sizes are KEEPASPRAT.
int ApplyKeepAspectRatio(int32_t width, int32_t height, int32_t *newWidth, int32_t *newHeight);

// ---- Affine transforms ---------------------------------------------------------------------------------------
// matrix = {a, b, c, d}, the layout of DisplayTransform: a point (x, y) maps to (a x + c y, b x + d y), y growing
// downwards.

// The size of the transformed width x height rectangle's bounding box, at least 1 x 1.
void ScaledImageSize(const double matrix[4], int32_t width, int32_t height, int32_t *outWidth, int32_t *outHeight);
// Where the image at (x, y) lands when it is transformed about its anchor point (anchor fractions of its size):
// the bounding box's top-left (rounded half up) and its size (as ScaledImageSize).
void TransformedBounds(int32_t x, int32_t y, int32_t width, int32_t height, const double matrix[4], int32_t *outX,
                       int32_t *outY, int32_t *outWidth, int32_t *outHeight, double anchorX = 0.5,
                       double anchorY = 0.5);

// Renders the rectangle (sx, sy, width, height) of an image through the matrix into new planes of the
// bounding box's size. Pixels outside the transformed image are transparent: the result has an alpha plane
// when the source has one, else a mask plane. smooth interpolates pixels (and alpha) bilinearly. Returns 0,
// kErrOutOfMemory or kErrWrongUsage (a singular matrix or an empty rectangle). With part, only that part of
// the result is made (sx, sy, width and height are then ignored); *outWidth x *outHeight is the part's size.
int TransformImage(const HostBitmap *bitmap, const MaskPlane *mask, const AlphaPlane *alpha, int32_t sx, int32_t sy,
                   int32_t width, int32_t height, const double matrix[4], bool smooth, HostBitmap **outBitmap,
                   MaskPlane **outMask, AlphaPlane **outAlpha, int32_t *outWidth, int32_t *outHeight,
                   const TransformPart *part = nullptr);
// The same part into planes the caller holds (of the source's layout: an alpha plane for an alpha source, else a
// mask), cleared where it goes: its pixels land at (intoX, intoY) of them, intoX a multiple of 8. 0 or
// kErrWrongUsage (a singular matrix, an empty part, planes that do not hold it).
int TransformImageInto(const HostBitmap *bitmap, const MaskPlane *mask, const AlphaPlane *alpha,
                       const double matrix[4], bool smooth, const TransformPart &part, const ImageTriple &into,
                       int32_t intoX, int32_t intoY);
// The same for a whole image triple: a new triple with its size. The anchor decides only the position, which the
// caller takes from TransformedBounds, so the pixels do not depend on it.
int ApplyImageTransform(const ImageTriple &source, const double matrix[4], bool smooth, ImageTriple *out);
// Frees the planes of a triple made here (the record itself is the caller's).
void FreeImageTriple(ImageTriple *triple);
