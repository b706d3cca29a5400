// Our own IFF ILBM reader: planar pictures of 1 to 8 planes, with HAM and extra-half-brite, decoded through
// ReadPaletteBitMapPixels. Deeper (24-bit) ILBMs go to the general decoder.
#pragma once

#include "host/bitmap_convert.h"

#include <cstdint>
#include <vector>

struct VirtualFile;

constexpr uint32_t kIlbmCamgHam = 0x800;
constexpr uint32_t kIlbmCamgExtraHalfBrite = 0x80;

struct IlbmPicture {
    int32_t width = 0;
    int32_t height = 0;
    int32_t depth = 0;
    int32_t masking = 0;           // 0 none, 1 mask plane, 2 transparent colour, 3 lasso
    int32_t transparentIndex = -1; // with masking 2
    uint32_t camg = 0;
    std::vector<uint32_t> palette;            // 0x00RRGGBB
    std::vector<std::vector<uint8_t>> planes; // depth planes of bytesPerRow x height
    std::vector<uint8_t> mask;                // masking 1: one plane in the same layout
    int32_t bytesPerRow = 0;
};

// 0 on success; 1 when the data is not an ILBM this reader takes (not FORM ILBM, or deeper than 8 planes); 2 when
// it is one but broken (truncated, oversize, missing BMHD or BODY).
int ReadIlbm(VirtualFile *file, IlbmPicture *out, bool headerOnly = false);
// HAM mode of a read picture: 6, 8 or 0.
int32_t IlbmHamMode(const IlbmPicture &picture);
// The picture as 0x00RRGGBB words (FreeBlock), or null.
uint32_t *IlbmToPixels(const IlbmPicture &picture);
