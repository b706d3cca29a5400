// Our own IFF picture reader: planar ILBM of 1 to 8 planes (with HAM and extra-half-brite, decoded through
// ReadPaletteBitMapPixels), deep ILBM of 24 or 32 planes (true colour), and chunky PBM. All IFF pictures go
// through it: damaged IFF files must give an error, never reach a decoder that trusts them.
#pragma once

#include "host/bitmap_convert.h"

#include <cstdint>
#include <span>
#include <vector>

struct VirtualFile;

constexpr uint32_t kIlbmCamgHam = 0x800;
constexpr uint32_t kIlbmCamgExtraHalfBrite = 0x80;
// Pictures larger than this many pixels are refused: the planes of a 32-plane picture take 4 bytes per pixel,
// and a small compressed BODY can claim any size.
constexpr int64_t kMaxIlbmPixels = int64_t(1) << 26;
// The largest picture the readers decode, in pixels: kMaxIlbmPixels unless lowered (fuzzing keeps every input
// quick with a small limit); 0 restores it.
int64_t MaxDecodedPixels();
void SetMaxDecodedPixels(int64_t pixels);

struct IlbmPicture {
    int32_t width = 0;
    int32_t height = 0;
    int32_t depth = 0;             // planes (ILBM) or bits per pixel (PBM)
    bool chunky = false;           // PBM: one byte per pixel in rows of even length
    int32_t masking = 0;           // 0 none, 1 mask plane, 2 transparent colour, 3 lasso
    int32_t transparentIndex = -1; // with masking 2
    uint32_t camg = 0;
    std::vector<uint32_t> palette;            // 0x00RRGGBB
    std::vector<std::vector<uint8_t>> planes; // ILBM: depth planes of bytesPerRow x height; PBM: one chunky plane
    std::vector<uint8_t> mask;                // masking 1: one plane in the bit-plane layout
    int32_t bytesPerRow = 0;                  // of a bit plane (ILBM, and the mask) ...
    int32_t chunkyBytesPerRow = 0;            // ... and of a PBM row
};

// 0 on success; 1 when the data is not an IFF picture (no FORM ILBM or FORM PBM, or an unsupported depth); 2
// when it is one but broken (truncated, oversize, missing BMHD or BODY). headerOnly stops after the BMHD.
int ReadIlbm(VirtualFile *file, IlbmPicture *out, bool headerOnly = false);
// HAM mode of a read picture: 6, 8 or 0.
int32_t IlbmHamMode(const IlbmPicture &picture);
// The picture as 0x00RRGGBB words (FreeBlock), or null.
uint32_t *IlbmToPixels(const IlbmPicture &picture);

// One row of count bytes from body at pos, stored (compression 0) or ByteRun1 (control -128 does nothing); pos
// advances. False when the body ends early or a run would pass the row's end.
bool UnpackIlbmRow(std::span<const uint8_t> body, size_t &pos, uint8_t *out, int32_t count, int32_t compression);
// A CMAP's colours (at most 256) into palette from entry 0, growing it as needed; with extraHalfBrite the
// half-bright copies of the colours read follow them, never past entry 255.
void ReadIlbmCmap(std::span<const uint8_t> data, bool extraHalfBrite, std::vector<uint32_t> &palette);
