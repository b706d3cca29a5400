#include "imaging/display_options.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/bitmap.h"
#include "imaging/image_ops.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"

void MakeScaleRotateMatrix(double m[4], int32_t width, int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                           int32_t rotate, double scaleX, double scaleY) {
    const int32_t tw = width ? width : sourceWidth, th = height ? height : sourceHeight;
    double a, d;
    if (tw == sourceWidth && th == sourceHeight) {
        a = scaleX;
        d = scaleY;
    } else {
        a = sourceWidth ? double(tw) / sourceWidth : 1.0;
        d = sourceHeight ? double(th) / sourceHeight : 1.0;
    }
    double b = 0, c = 0;
    if (rotate != 0) {
        const double phi = (360 - rotate % 360) * 0.017453292519943295;
        const double C = std::cos(phi), S = std::sin(phi);
        const double na = a * C - b * S, nb = a * S + b * C, nc = c * C - d * S, nd = c * S + d * C;
        a = na;
        b = nb;
        c = nc;
        d = nd;
    }
    m[0] = a;
    m[1] = b;
    m[2] = c;
    m[3] = d;
}

int CheckTransformSize(const double m[4], int32_t width, int32_t height) {
    for (int k = 0; k < 4; ++k)
        if (!std::isfinite(m[k])) return kErrWrongUsage;
    // A side is at most the sum of the two entries' extents; 64-bit doubles hold it without overflow.
    const double w = std::fabs(m[0]) * width + std::fabs(m[2]) * height;
    const double h = std::fabs(m[1]) * width + std::fabs(m[3]) * height;
    return w > kMaxBitmapSide + 1 || h > kMaxBitmapSide + 1 ? kErrWrongUsage : 0;
}

void ComputeTransformMatrix(DisplayTransform *t, int32_t sourceWidth, int32_t sourceHeight) {
    double m[4];
    if (t->hasUserMatrix)
        std::memcpy(m, t->userMatrix, sizeof m);
    else
        MakeScaleRotateMatrix(m, t->width, t->height, sourceWidth, sourceHeight, t->rotate, t->scaleX, t->scaleY);
    t->a = m[0];
    t->b = m[1];
    t->c = m[2];
    t->d = m[3];
}

int ParseDisplayOptions(VMState *vm, int table, int32_t sourceWidth, int32_t sourceHeight, int32_t antialias,
                        DisplayTransform *transform, LayerOptions *options) {
    DisplayTransform t;
    LayerOptions o;
    t.smooth = antialias ? 1 : 0;
    const int type = ValueType(vm, table);
    if (type != TNONE && type != TNIL) {
        CheckTableArg(vm, table);
        if (GetTableOptionMatrix(vm, table, "transform", t.userMatrix)) t.hasUserMatrix = 1;
        GetTableOptionNumber(vm, table, "scalex", &t.scaleX);
        GetTableOptionNumber(vm, table, "scaley", &t.scaleY);
        GetTableOption(vm, table, "width", &t.width);
        GetTableOption(vm, table, "height", &t.height);
        if (t.width == KEEPASPRAT || t.height == KEEPASPRAT) {
            int32_t w = t.width ? t.width : sourceWidth, h = t.height ? t.height : sourceHeight;
            if (int err = ApplyKeepAspectRatio(sourceWidth, sourceHeight, &w, &h)) return err;
            t.width = w;
            t.height = h;
        }
        if (t.width < 0 || t.height < 0) return kErrSizeNotPositive;
        if (GetTableOption(vm, table, "rotate", &t.rotate)) t.rotate %= 360;
        GetTableOption(vm, table, "smoothscale", &t.smooth);
        GetTableOptionNumber(vm, table, "anchorx", &t.anchorX);
        GetTableOptionNumber(vm, table, "anchory", &t.anchorY);
        if (!(t.anchorX >= 0 && t.anchorX <= 1 && t.anchorY >= 0 && t.anchorY <= 1)) return kErrWrongUsage;
        GetTableOptionString(vm, table, "name", &o.name);
        GetTableOption(vm, table, "hidden", &o.hidden);
        GetTableOption(vm, table, "insertpos", &o.insertPos);
        double v = 0;
        if (GetTableOptionPercent(vm, table, "transparency", 255, &v)) o.transparency = std::clamp(int32_t(v), 0, 255);
        if (GetTableOptionPercent(vm, table, "tint", 255, &v)) o.tint = std::clamp(int32_t(v), 0, 255);
        GetTableOptionUnsigned(vm, table, "tintcolor", &o.tintColor);
        o.needsLayer = o.hidden || o.transparency || o.tint || o.insertPos > 0;
    }
    ComputeTransformMatrix(&t, sourceWidth, sourceHeight);
    const double m[4] = {t.a, t.b, t.c, t.d};
    if (int err = CheckTransformSize(m, sourceWidth, sourceHeight)) return err;
    if (transform) *transform = t;
    if (options) *options = o;
    return 0;
}
