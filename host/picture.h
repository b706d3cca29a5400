// Picture loading "through the datatypes": any format SDL2_image reads (PNG, JPEG, BMP, GIF, TIFF, PCX, PNM, TGA,
// WebP, XCF, XPM, XV...) plus our own ILBM reader, from plain files and from ":::chunk"/":::memory" ranges
// (decoded in place, no temporary files).
#pragma once

#include "host/bitmap.h"
#include "runtime/app/errors.h"

#include <cstdint>

// Loads a picture into a new array of width x height 0x00RRGGBB words (free with FreeBlock). With loadAlpha and a
// picture that has an alpha channel, *outAlpha receives a new AlphaPlane, else null. *outTransparent is the
// picture's own transparent colour (GIF/PNG colour key, ILBM transparent colour) or -1. Returns 0,
// kErrImageUnknownFormat when no reader takes the data, kErrCannotReadFile when it cannot be opened or decoded,
// kErrOutOfMemory when memory runs out. Nothing is returned on an error.
int LoadPictureDatatype(const char *name, int loadAlpha, uint32_t **outPixels, AlphaPlane **outAlpha,
                        int64_t *outTransparent, int32_t *outWidth, int32_t *outHeight);

// The size of an ILBM, JPEG, PNG, BMP, TIFF, GIF or QOI picture read from its header alone; 0, kErrImageUnknownFormat
// for other formats or a header without a size, kErrCannotReadFile when the file cannot be opened or is a QOI
// claiming more pixels than its length can code.
int ReadPictureHeaderSize(const char *name, int32_t *outWidth, int32_t *outHeight);
