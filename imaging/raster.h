// The vector rasteriser: polygon fill into mask planes, polygon clipping, ellipse points, form styles.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/bitmap.h"

// Fills the closed polygon (count points as x, y pairs of signed 32-bit values) into the plane: a pixel is set
// when its centre is inside by the non-zero winding rule, so a star drawn in one stroke is filled whole. The
// crossings of one scan line need 8 bytes each, at most count of them: when the caller's scratch block is smaller
// than that (or null), the fill uses its own memory instead of writing past the block. Returns 0, 1000 when out
// of memory, or 1055 when the plane does not know its row count.
int FillPolygonMask(MaskPlane *plane, const int32_t *points, int32_t count, void *scratch, size_t scratchSize);
// Bytes of scratch FillPolygonMask uses for a polygon of count points.
constexpr size_t PolygonScratchBytes(int32_t count) { return count > 0 ? size_t(count) * 8 : 0; }

// One Sutherland-Hodgman pass. side 0 keeps x >= value, 1 keeps y >= value, 2 keeps x <= value, 3 keeps
// y <= value; crossing points are rounded to the nearest pixel. out receives at most outCapacity points (2 x
// count always suffices). Returns the new count.
int32_t ClipPolygonToEdge(int32_t count, const int32_t *in, int32_t *out, int32_t value, int32_t side,
                          int32_t outCapacity = INT32_MAX);

// The points of an ellipse arc from start to end angle (degrees, counter-clockwise from 3 o'clock as seen on
// screen) in 1-degree steps, relative to the top-left of the (2 rx + 1) x (2 ry + 1) box. An end below the start
// wraps once round. out holds up to capacity points (361 covers any arc). Returns the count written.
int32_t EllipseArcPoints(int32_t *out, int32_t rx, int32_t ry, int32_t startAngle, int32_t endAngle,
                         int32_t capacity = 361);

// 361 entries: entry i is the sine or cosine of (360 - i) degrees.
const double *SineTable();
const double *CosineTable();

// The form style of shapes: fill 0..3, edge and shadow sizes 1..64, shadow direction 0..7, outline >= 1.
struct FormStyle {
    int32_t fillStyle = 0;
    int32_t edgeSize = 1;
    uint32_t edgeColor = 0;
    int32_t shadowSize = 1;
    int32_t shadowDirection = 0;
    uint32_t shadowColor = 0;
    int32_t outlineThickness = 1;
    int32_t antialias = 0;
};
void ClampFillStyle(FormStyle *style);

// The draw state a new shape layer takes its form style from.
struct DrawState {
    FormStyle form;
};
DrawState *GetDrawState();
void ResetDrawState();
