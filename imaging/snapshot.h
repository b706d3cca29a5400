// Picture saving: the BMP writer of our own and the table through which the codecs add the other formats.
#pragma once

#include <cstdint>
#include <string>

#include "host/bitmap.h"

constexpr int32_t kSnapshotBMP = 0;
constexpr int32_t kSnapshotPNG = 1;
constexpr int32_t kSnapshotJPEG = 2;
constexpr int32_t kSnapshotGIF = 3;
constexpr int32_t kSnapshotILBM = 4;

// "" for a picture format, else why it is none and the constants that are (for the 1055 of the savers).
std::string ImageFormatHint(int32_t format);

// An encoder for one format: width x height 0x00RRGGBB pixels (invisible ones already in the key colour), alpha
// or null; transparent is that key colour when some pixel is invisible, else -1. Returns 0 or an error code.
using SnapshotEncoder = int (*)(const char *fileName, const uint32_t *pixels, int32_t width, int32_t height,
                                const uint8_t *alpha, int32_t quality, int32_t colors, int32_t dither,
                                int32_t transparent);
// The anim library's codecs register PNG, JPEG, GIF and ILBM here; BMP is built in.
void SetSnapshotEncoder(int32_t format, SnapshotEncoder encoder);

// Writes width x height pixels of the bitmap. Pixels whose mask bit is clear or whose alpha is 0 are written in
// color. Returns 0, kErrCannotWriteFile when the file cannot be written, kErrWrongUsage for an unknown format, or
// LibraryNotRegistered("anim") for a format whose encoder is not registered.
int WriteBmpSnapshot(int32_t format, const HostBitmap *bitmap, int32_t width, int32_t height, const char *fileName,
                     const MaskPlane *mask, uint32_t color, const AlphaPlane *alpha, int32_t quality, int32_t colors,
                     int32_t dither);
// The BMP file bytes of the pixels (24-bit, bottom-up rows padded to 4 bytes).
std::string EncodeBmp(const uint32_t *pixels, int32_t width, int32_t height);
