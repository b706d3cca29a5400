// Position constants and their resolution against the output's size.
#pragma once

#include <cstdint>

constexpr int32_t kPosCenter = -100000;
constexpr int32_t kPosLeft = -90000;
constexpr int32_t kPosRight = -80000;
constexpr int32_t kPosTop = -70000;
constexpr int32_t kPosBottom = -60000;
constexpr int32_t kPosLeftOut = -50000;
constexpr int32_t kPosRightOut = -40000;
constexpr int32_t kPosTopOut = -30000;
constexpr int32_t kPosBottomOut = -20000;
constexpr int32_t kPosOffsetRange = 5000; // a constant may carry an offset within [-5000, 5000)

// The size of the current output (the current background picture), for callers that pass 0 as the available
// size. Set by the display code; null gives 0 x 0.
extern void (*CurrentOutputSizeHook)(int32_t *width, int32_t *height);

// The position of the object's anchor point (anchor fraction of its size) for a coordinate that may be a
// position constant plus an offset. Anything else (100000 among them) is returned unchanged. available 0 means
// the current output's width or height.
int32_t ResolveXPosition(int32_t x, int32_t objectWidth, int32_t available, double anchor);
int32_t ResolveYPosition(int32_t y, int32_t objectHeight, int32_t available, double anchor);

// True when the coordinate is a position constant (with or without its offset).
constexpr bool IsPositionConstant(int32_t v) { return v >= kPosCenter - kPosOffsetRange && v < kPosBottomOut + kPosOffsetRange; }
