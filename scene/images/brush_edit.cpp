// Brush image operations on the shared modify pattern: refuse the active output brush, find the brush for
// modification (layers showing it get their copy first), change or replace its planes.
#include "scene/images/brush_edit.h"

#include <algorithm>
#include <cmath>

#include "host/screen.h"
#include "imaging/display_options.h"
#include "imaging/image_ops.h"
#include "imaging/pixel_ops.h"
#include "imaging/pixels.h"
#include "imaging/planes.h"
#include "imaging/position.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "scene/images/brush.h"

namespace {

constexpr int kModifyFlags = kFindBrushModify | kFindBrushPending | kFindBrushNoVector;

int FindForModify(ObjectId id, Brush **out, int flags = kModifyFlags) {
    if (IsActiveOutputBrushId(id)) return kErrActiveBrush;
    return FindBrush(id, out, flags);
}

// The new bitmap replaces the old; a new mask or alpha channel only where the brush had one.
void ReplacePlanes(Brush *b, HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha, int32_t width, int32_t height) {
    FreeHostBitmap(b->bitmap);
    b->bitmap = bitmap;
    if (b->mask) {
        FreeMaskPlane(b->mask);
        b->mask = mask;
    } else {
        FreeMaskPlane(mask);
    }
    if (b->alpha) {
        FreeAlphaPlane(b->alpha);
        b->alpha = alpha;
    } else {
        FreeAlphaPlane(alpha);
    }
    b->width = width;
    b->height = height;
}

int CopyRect(Brush *b, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (x == 0 && y == 0 && width == b->width && height == b->height) return 0;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    if (int error = CopyImage(b->bitmap, b->mask, b->alpha, x, y, width, height, &bitmap, &mask, &alpha)) return error;
    ReplacePlanes(b, bitmap, mask, alpha, width, height);
    return 0;
}

// Runs a pixel kernel over the locked bitmap.
template <class Kernel> int WithLockedPixels(Brush *b, Kernel kernel) {
    BitMapAccess access;
    if (!LockBitMapAccess(b->bitmap, &access) || !access.base) {
        UnlockBitMapAccess(&access);
        return kErrCouldNotLockBitmap;
    }
    kernel(static_cast<uint8_t *>(access.base), access);
    UnlockBitMapAccess(&access);
    return 0;
}

uint32_t CompareMask(int32_t format) { return format == PixelFormatARGB32 ? 0x00FFFFFFu : 0xFFFFFF00u; }

} // namespace

int ScaleBrushImage(ObjectId id, double width, double height, int widthIsPercent, int heightIsPercent, int smooth) {
    if (IsActiveOutputBrushId(id)) return kErrActiveBrush;
    Brush *b = nullptr;
    if (int error = FindBrush(id, &b, kFindBrushModify)) return error;
    int32_t w = SaturateToInt32(widthIsPercent ? width * b->width : width);
    int32_t h = SaturateToInt32(heightIsPercent ? height * b->height : height);
    if (int error = ApplyKeepAspectRatio(b->width, b->height, &w, &h)) return error;
    if (w == b->width && h == b->height) return 0;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    if (int error = ScaleImage(b->bitmap, b->mask, b->alpha, 0, 0, nullptr, b->width, b->height, w, h, smooth != 0,
                               &bitmap, &mask, &alpha))
        return error;
    ReplacePlanes(b, bitmap, mask, alpha, w, h);
    return 0;
}

int ReplaceBrushColors(ObjectId id, const std::vector<int32_t> &pairs) {
    if (pairs.empty()) return 0;
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    return WithLockedPixels(b, [&](uint8_t *pixels, const BitMapAccess &a) {
        std::vector<int32_t> list;
        for (int32_t colour : pairs) list.push_back(int32_t(ColorToPixel(uint32_t(colour), a.format)));
        list.push_back(-1);
        if (a.bytesPerPixel == 4)
            ReplacePixelColors32(b->width, b->height, list.data(), pixels, a.rowPixels, CompareMask(a.format));
        else if (a.bytesPerPixel == 3) ReplacePixelColors24(b->width, b->height, list.data(), pixels, a.rowPixels);
        else if (a.bytesPerPixel == 2) ReplacePixelColors16(b->width, b->height, list.data(), pixels, a.rowPixels);
    });
}

int InvertBrushImage(ObjectId id) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    return WithLockedPixels(b, [&](uint8_t *pixels, const BitMapAccess &a) {
        if (a.bytesPerPixel == 4) InvertPixels32(pixels, b->width, b->height, a.rowPixels);
        else if (a.bytesPerPixel == 3) InvertPixels24(pixels, b->width, b->height, a.rowPixels);
        else if (a.bytesPerPixel == 2) InvertPixels16(pixels, b->width, b->height, a.rowPixels);
    });
}

int TintBrushImage(ObjectId id, uint32_t colour, int32_t level) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    TintImage(b->bitmap, 0, 0, b->width, b->height, colour & 0xFFFFFF, std::clamp(level, 0, 255));
    return 0;
}

int FlipBrushImage(ObjectId id, int32_t direction) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    return WithLockedPixels(b, [&](uint8_t *pixels, const BitMapAccess &a) {
        FlipParams p;
        p.pixels = pixels;
        p.width = b->width;
        p.height = b->height;
        p.rowLength = a.rowPixels;
        p.bytesPerPixel = a.bytesPerPixel;
        p.mask = b->mask ? b->mask->bits : nullptr;
        p.maskBytesPerRow = b->mask ? b->mask->bytesPerRow : 0;
        p.alpha = b->alpha ? b->alpha->bytes : nullptr;
        p.alphaBytesPerRow = b->alpha ? b->alpha->bytesPerRow : 0;
        p.direction = direction;
        FlipPixels(p);
    });
}

int MixBrushImages(ObjectId id, ObjectId other, int32_t level) {
    Brush *b = nullptr, *second = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    if (int error = FindBrush(other, &second, kFindBrushPending)) return error;
    if (!second->bitmap) return kErrWrongUsage;
    MixImages(b->bitmap, second->bitmap, second->mask, 0, 0, 0, 0, std::min(b->width, second->width),
              std::min(b->height, second->height), std::clamp(level, 0, 255), second->alpha, second->width,
              second->height);
    return 0;
}

int GrayBrushImage(ObjectId id) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    return WithLockedPixels(b, [&](uint8_t *pixels, const BitMapAccess &a) {
        if (a.bytesPerPixel == 4) ConvertToGray32(pixels, b->width, b->height, a.format, a.rowPixels);
        else if (a.bytesPerPixel == 3) ConvertToGray24(pixels, b->width, b->height, a.format, a.rowPixels);
        else if (a.bytesPerPixel == 2) ConvertToGray16(pixels, b->width, b->height, a.format, a.rowPixels);
    });
}

int TransformBrushImage(ObjectId id, const double matrix[4], int smooth) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    int32_t width = 0, height = 0;
    if (int error = TransformImage(b->bitmap, b->mask, b->alpha, 0, 0, b->width, b->height, matrix, smooth != 0,
                                   &bitmap, &mask, &alpha, &width, &height))
        return error;
    ReplacePlanes(b, bitmap, mask, alpha, width, height);
    return 0;
}

int RotateBrushImage(ObjectId id, int32_t angle, double scaleX, double scaleY, int smooth) {
    if (IsActiveOutputBrushId(id)) return kErrActiveBrush;
    if (scaleX == 0 || scaleY == 0) return kErrWrongUsage;
    Brush *b = nullptr;
    if (int error = FindBrush(id, &b, kModifyFlags)) return error;
    double matrix[4];
    MakeScaleRotateMatrix(matrix, 0, 0, b->width, b->height, angle, scaleX, scaleY);
    return TransformBrushImage(id, matrix, smooth);
}

int SetBrushTransparentColor(ObjectId id, int64_t colour) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    MaskPlane *mask = nullptr;
    if (colour != -1) {
        mask = MaskFromColorKey(b->bitmap, b->width, b->height, uint32_t(colour) & 0xFFFFFF);
        if (!mask) return kErrOutOfMemory;
    }
    FreeMaskPlane(b->mask);
    FreeAlphaPlane(b->alpha);
    b->mask = mask;
    b->alpha = nullptr;
    b->transparentColor = colour == -1 ? -1 : int32_t(uint32_t(colour) & 0xFFFFFF);
    return 0;
}

int DeleteBrushAlpha(ObjectId id) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    FreeAlphaPlane(b->alpha);
    b->alpha = nullptr;
    return 0;
}

int DeleteBrushMask(ObjectId id) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    FreeMaskPlane(b->mask);
    b->mask = nullptr;
    b->transparentColor = -1;
    return 0;
}

int CropBrushImage(ObjectId id, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (IsActiveOutputBrushId(id)) return kErrActiveBrush;
    if (width < 1 || height < 1) return kErrSizeNotPositive;
    Brush *b = nullptr;
    if (int error = FindBrush(id, &b, kModifyFlags)) return error;
    x = ResolveXPosition(x, width, b->width, 0);
    y = ResolveYPosition(y, height, b->height, 0);
    if (x < 0 || y < 0) return kErrNegativeCoordinate;
    if (x >= b->width || y >= b->height) return kErrCoordinatesOutOfRange;
    return CopyRect(b, x, y, std::min(width, b->width - x), std::min(height, b->height - y));
}

int TrimBrushImage(ObjectId id, int32_t *left, int32_t *top) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    int32_t x1 = 100000, y1 = 100000, x2 = -1, y2 = -1;
    if (!b->mask && !b->alpha) {
        x1 = y1 = 0;
        x2 = b->width - 1;
        y2 = b->height - 1;
    }
    for (int32_t y = 0; (b->mask || b->alpha) && y < b->height; y++)
        for (int32_t x = 0; x < b->width; x++) {
            const bool shown = b->mask ? MaskBit(b->mask, x, y)
                                       : b->alpha->bytes[ptrdiff_t(y) * b->alpha->bytesPerRow + x] != 0;
            if (!shown) continue;
            x1 = std::min(x1, x), x2 = std::max(x2, x);
            y1 = std::min(y1, y), y2 = std::max(y2, y);
        }
    if (x1 == 100000) return kErrBrushFullyTransparent;
    if (int error = CopyRect(b, x1, y1, x2 - x1 + 1, y2 - y1 + 1)) return error;
    *left = x1;
    *top = y1;
    return 0;
}

int InvertBrushMask(ObjectId id) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    if (!b->mask) return kErrWrongUsage;
    InvertPlane(b->mask->bits, b->height, b->mask->bytesPerRow);
    return 0;
}

int InvertBrushAlpha(ObjectId id) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    if (!b->alpha) return kErrWrongUsage;
    InvertPlane(b->alpha->bytes, b->height, b->alpha->bytesPerRow);
    return 0;
}

int FloodFillBrush(ObjectId id, int32_t x, int32_t y, uint32_t fill, uint32_t border) {
    Brush *b = nullptr;
    if (int error = FindForModify(id, &b)) return error;
    x = ResolveXPosition(x, 1, b->width, 0);
    y = ResolveYPosition(y, 1, b->height, 0);
    if (x < 0 || y < 0) return kErrNegativeCoordinate;
    if (x >= b->width || y >= b->height) return kErrCoordinatesOutOfRange;
    return WithLockedPixels(b, [&](uint8_t *pixels, const BitMapAccess &a) {
        FloodFillParams p;
        p.pixels = pixels;
        p.width = b->width;
        p.height = b->height;
        p.rowLength = a.rowPixels;
        p.fill = ColorToPixel(fill, a.format);
        p.boundary = ColorToPixel(border, a.format);
        if (a.bytesPerPixel == 4) FloodFillPixels32(p, x, y, CompareMask(a.format));
        else if (a.bytesPerPixel == 3) FloodFillPixels24(p, x, y);
        else if (a.bytesPerPixel == 2) FloodFillPixels16(p, x, y);
    });
}

int GrabDesktopBrush(ObjectId id, int32_t x, int32_t y, int32_t width, int32_t height, int haveRect, void **out) {
    const int32_t screenWidth = int32_t(QueryBitMapAttr(nullptr, 14));
    const int32_t screenHeight = int32_t(QueryBitMapAttr(nullptr, 15));
    if (!haveRect) x = y = 0, width = screenWidth, height = screenHeight;
    if (!IsAutoHandleRequest(id))
        if (int error = FreeBrushById(id, 0)) return error;
    if (x < 0 || y < 0) return kErrWrongUsage;
    width = std::min(width, screenWidth - x);
    height = std::min(height, screenHeight - y);
    if (width < 1 || height < 1) return kErrWrongUsage;
    int grabError = 0;
    HostBitmap *bitmap = GrabScreenRect(x, y, width, height, 0, &grabError);
    if (!bitmap) return grabError;
    Brush *made = nullptr;
    if (int error = AddBrushRecord(id, kBrushBitmap, width, height, width, nullptr, bitmap, -1, nullptr, nullptr,
                                   nullptr, &made)) {
        FreeHostBitmap(bitmap);
        return error;
    }
    *out = made;
    return 0;
}
