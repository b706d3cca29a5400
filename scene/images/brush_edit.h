// Brush image operations: commands that change a brush's bitmap, mask or alpha channel in place, and the screen
// grab. Each returns 0 or an error code; the brush is left as it was on error (layers showing it may already
// hold their own copy).
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/vm/vm.h"

int ScaleBrushImage(ObjectId id, double width, double height, int widthIsPercent, int heightIsPercent, int smooth);
// pairs: old, new, ... in table order (already converted from colours).
int ReplaceBrushColors(ObjectId id, const std::vector<int32_t> &pairs);
int InvertBrushImage(ObjectId id);
int TintBrushImage(ObjectId id, uint32_t colour, int32_t level);
int FlipBrushImage(ObjectId id, int32_t direction);
int MixBrushImages(ObjectId id, ObjectId other, int32_t level);
int GrayBrushImage(ObjectId id);
// matrix in DisplayTransform order; RotateBrush builds it from angle and scale factors first.
int TransformBrushImage(ObjectId id, const double matrix[4], int smooth);
int RotateBrushImage(ObjectId id, int32_t angle, double scaleX, double scaleY, int smooth);
int SetBrushTransparentColor(ObjectId id, int64_t colour);
int DeleteBrushAlpha(ObjectId id);
int DeleteBrushMask(ObjectId id);
int CropBrushImage(ObjectId id, int32_t x, int32_t y, int32_t width, int32_t height);
int TrimBrushImage(ObjectId id, int32_t *left, int32_t *top);
int InvertBrushMask(ObjectId id);
int InvertBrushAlpha(ObjectId id);
int FloodFillBrush(ObjectId id, int32_t x, int32_t y, uint32_t fill, uint32_t border);
// A brush of the screen rectangle (width/height 0: to the screen's edge). *out is the new brush.
int GrabDesktopBrush(ObjectId id, int32_t x, int32_t y, int32_t width, int32_t height, int haveRect, void **out);
