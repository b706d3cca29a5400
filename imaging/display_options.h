// Display options of the drawing commands: the transform record a drawn image or layer keeps, and the layer
// options, both read from one options table.
#pragma once

#include <cstdint>
#include <string>

struct VMState;

// The keys ParseDisplayOptions reads, for the reference rows of the commands whose options include them.
#define VL_DISPLAY_OPTION_KEYS                                                                                 \
    "AnchorX, AnchorY, Height, Hidden, InsertPos, Name, Rotate, ScaleX, ScaleY, SmoothScale, Tint, TintColor, " \
    "Transform, Transparency, Width"

// A point (x, y) of the source maps to (a x + c y, b x + d y).
struct DisplayTransform {
    double a = 1, b = 0, c = 0, d = 1;
    double scaleX = 1, scaleY = 1;
    int32_t width = 0, height = 0; // target size; 0 = not given
    int32_t rotate = 0;            // whole degrees, reduced modulo 360 (the sign follows the value given)
    double userMatrix[4] = {1, 0, 0, 1};
    int32_t hasUserMatrix = 0;
    int32_t smooth = 0;
    int32_t general = 0; // more than a scale or a whole-degree rotation with equal scales
    double rotScaleX = 0, rotScaleY = 0;
    double anchorX = 0, anchorY = 0;
};

// True when the matrix is exactly (1, 0, 0, 1).
inline bool IsIdentityTransform(const DisplayTransform &t) { return t.a == 1 && t.b == 0 && t.c == 0 && t.d == 1; }

struct LayerOptions {
    std::string name; // empty: no name; kept whole, so that a name too long for a layer is refused
    int32_t hidden = 0;
    int32_t insertPos = 0; // 0: the default position
    int32_t transparency = 0;
    int32_t tint = 0;
    uint32_t tintColor = 0;
    int32_t needsLayer = 0; // the options only take effect through a layer (hidden, see-through, tinted, placed)
};

// The matrix from target size, scale factors and rotation: the target size (0 = source size) replaces the scale
// factors when it differs from the source size; a positive rotation turns counter-clockwise on screen.
void MakeScaleRotateMatrix(double matrix[4], int32_t width, int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                           int32_t rotate, double scaleX, double scaleY);
// The transform's matrix from its own fields (the user matrix when one was given).
void ComputeTransformMatrix(DisplayTransform *t, int32_t sourceWidth, int32_t sourceHeight);

// 0 when the matrix takes a width x height image to one the imaging code can make; kErrWrongUsage (the code a
// scale beyond the bitmap limit gets) for a non-finite entry or a side above kMaxBitmapSide, found before any work.
int CheckTransformSize(const double matrix[4], int32_t width, int32_t height);

// Reads the display-options table at stack index `table` (absent or Nil: identity and no layer options):
// "transform" (four numbers, replacing scale, size and rotation), "scalex", "scaley", "width", "height" (KEEPASPRAT
// allowed for one of them), "rotate", "smoothscale", "anchorx", "anchory" (0..1, else kErrWrongUsage), and the layer
// options "name", "hidden", "insertpos", "transparency", "tint" (0..255 or a percentage), "tintcolor". Other keys
// belong to the caller and are left alone. The matrix is computed for sourceWidth x sourceHeight; antialias sets
// smooth unless "smoothscale" says otherwise. Returns 0 or an error code (kErrWrongUsage, kErrSizeNotPositive, the
// readers' type errors raise).
int ParseDisplayOptions(VMState *vm, int table, int32_t sourceWidth, int32_t sourceHeight, int32_t antialias,
                        DisplayTransform *transform, LayerOptions *options);
