// Frame kernels of the transition effects: dissolve, pixel zoom, roll, water and strudel. Each draws one frame
// from plain views; the effect code owns the pictures and steps the frames.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/pixels.h"

// ---- Dissolve ----------------------------------------------------------------------------------------------
constexpr int32_t kDissolveMask = 0;
constexpr int32_t kDissolveAlpha = 1;
struct DissolveParams {
    const uint8_t *source = nullptr; // null: shown pixels become fully visible
    uint8_t *dest = nullptr;
    int32_t width = 0, height = 0;
    int32_t sourceBytesPerRow = 0, destBytesPerRow = 0;
    const uint16_t *thresholds = nullptr; // width x height, row after row
    int32_t planeKind = kDissolveMask;
    int32_t reverse = 0;
};
// A pixel is shown when (threshold < level) differs from reverse: it takes the source bit or alpha byte; a hidden
// pixel is cleared.
void DissolveFrame(const DissolveParams &params, int32_t level);

struct DissolvePicturesParams {
    PixelBuffer oldPicture, newPicture, dest; // same size and pixel size
    const uint16_t *thresholds = nullptr;     // width x height, row after row
};
// A dissolve's frame of two whole pictures: each pixel the new picture's where its threshold is below level, else
// the old one's. The same pixels as DissolveFrame's mask and a masked copy of the new picture over the old, in one
// pass.
void DissolvePictures(const DissolvePicturesParams &params, int32_t level);

// ---- Pixel zoom --------------------------------------------------------------------------------------------
struct PixelZoomParams {
    PixelBuffer source, dest; // same size and layout
    PlaneBuffer sourceMask, sourceAlpha, destMask, destAlpha;
};
// Every n x n block of the destination takes the block's top-left source pixel; the destination mask bit and
// alpha follow that pixel's (visible when the source has no plane).
void PixelZoomFrame32(const PixelZoomParams &params, int32_t blockSize);
void PixelZoomFrame24(const PixelZoomParams &params, int32_t blockSize);
void PixelZoomFrame16(const PixelZoomParams &params, int32_t blockSize);

// ---- Roll --------------------------------------------------------------------------------------------------
struct RollParams {
    PixelBuffer source, dest; // same size and layout
    PlaneBuffer sourceMask, sourceAlpha, destMask, destAlpha;
    int32_t position = 0; // p
    int32_t radius = 0;   // r
    int32_t horizontal = 0; // 1: columns roll, 0: lines
    const double *arc = nullptr; // radius entries
    // Written by RollFrame.
    int32_t linesDrawn = 0;
    int32_t firstLine = -100000; // -100000: none
    int32_t lastPosition = 0;
};
void RollFrame(RollParams *params);
// Copies a rectangle only where the source mask bit (or non-zero alpha) is set, and sets the destination's mask
// bit and alpha for the pixels it copies. Clipped to both pictures.
void RollCopyRect32(const RollParams &params, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t w, int32_t h);
void RollCopyRect24(const RollParams &params, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t w, int32_t h);
void RollCopyRect16(const RollParams &params, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t w, int32_t h);

// ---- Water and strudel -------------------------------------------------------------------------------------
constexpr int kWaveTableSize = 6300; // sin of 0, 0.001 ... 6.299 rad: one turn and a little
struct WaterParams {
    PixelBuffer oldPicture, newPicture, dest; // same size and layout
    PlaneBuffer newAlpha, layerAlpha;         // layerAlpha set: copy the new picture and scale the layer alpha
    int32_t centerX = 0, centerY = 0;
    double waveLength = 20;
    double amplitude = 0.05; // a fraction of the wave length
    int32_t radius = 1;
    int32_t half = 1; // the frame count of half the effect
    std::vector<double> sine;         // filled by InitWaterTables
    std::vector<int32_t> distance;    // width x height, filled by InitWaterTables
    // The frame's cross-fade of both pictures, which the fast kernels sample from (kept between frames).
    mutable std::vector<uint8_t> mixed;
};
void InitWaterTables(WaterParams *params);
// Where the destination pixel (x, y) samples at this frame (clamped into the picture).
void WaterDisplace(const WaterParams &params, int32_t x, int32_t y, int32_t frame, int32_t *sx, int32_t *sy);
void WaterFrame32(const WaterParams &params, int32_t frame);
void WaterFrame24(const WaterParams &params, int32_t frame);
void WaterFrame16(const WaterParams &params, int32_t frame);
// The per-pixel reference the kernels above are checked against (maths library calls in the pixel loop).
void WaterFrameGeneric(const WaterParams &params, int32_t frame);

struct StrudelParams {
    PixelBuffer oldPicture, newPicture, dest;
    PlaneBuffer newAlpha, layerAlpha;
    std::vector<double> sine, cosine; // filled by InitStrudelTables
    std::vector<double> falloff;      // the top-left quarter of dest: 1 - r inside the ellipse, -1 outside
    // The frame's cross-fade of both pictures, which the fast kernels sample from (kept between frames).
    mutable std::vector<uint8_t> mixed;
};
// Needs dest's size set: the fall-off table is made for it.
void InitStrudelTables(StrudelParams *params);
// angle 0..719: the twist grows to 360 degrees and falls back, strongest in the centre.
void StrudelFrame32(const StrudelParams &params, int32_t angle);
void StrudelFrame24(const StrudelParams &params, int32_t angle);
void StrudelFrame16(const StrudelParams &params, int32_t angle);
void StrudelFrameGeneric(const StrudelParams &params, int32_t angle);

// The integer square root (floor) the distance table uses.
uint32_t IntegerSqrt(uint64_t v);
