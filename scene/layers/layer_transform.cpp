// Layer transforms: classifying a matrix, re-rendering a layer's saved and display-scaled states, and the layer
// side of drawing an image object.
#include <algorithm>
#include <cmath>
#include <new>

#include "imaging/async_draw.h"
#include "imaging/display_image.h"
#include "imaging/image_ops.h"
#include "imaging/raster.h"
#include "imaging/blit.h"
#include "runtime/app/errors.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layers.h"

int DecomposeTransformMatrix(const double m[4], double *outScaleX, double *outScaleY) {
    const double a = m[0], b = m[1], c = m[2], d = m[3];
    const double *sine = SineTable(), *cosine = CosineTable();
    // Entries that are exactly 0 are skipped rather than divided by; the angle they stand for has another entry.
    auto find = [&](double diagonal, auto &&other, double *scale) {
        for (int i = 0; i <= 360; i++) {
            const double cs = cosine[i], sn = sine[i];
            if (cs == 0 || sn == 0 || (cs >= 0) != (diagonal >= 0)) continue;
            if (std::fabs(diagonal / cs - other(sn)) <= 0.0001) {
                *scale = diagonal / cs;
                return true;
            }
        }
        return false;
    };
    double sx = 0, sy = 0;
    if (!find(a, [&](double sn) { return b / sn; }, &sx)) return 0;
    if (!find(d, [&](double sn) { return c / -sn; }, &sy)) return 0;
    if (outScaleX) *outScaleX = sx;
    if (outScaleY) *outScaleY = sy;
    return 1;
}

void ClassifyTransformMatrix(DisplayTransform *t) {
    if (t->b == 0 && t->c == 0) return;
    t->general = 1;
    const double m[4] = {t->a, t->b, t->c, t->d};
    double sx = 0, sy = 0;
    if (DecomposeTransformMatrix(m, &sx, &sy)) {
        t->rotScaleX = sx;
        t->rotScaleY = sy;
        if (std::fabs(sx - sy) <= 0.01) t->general = 0;
    }
}

int DrawLayer(VMState *vm, vlLayer *layer, LayerDrawParams *params, const int32_t *oldRect,
              const DisplayTransform &transform, int32_t flags) {
    const int32_t kind = layer->type;
    switch (kind) {
    case ObjectKindBrush:
    case ObjectKindBrushPart:
    case ObjectKindBGPicPart:
    case ObjectKindAnim: {
        const LayerDrawParams *first = layer->first;
        ImageTriple source;
        if (int error = GetLayerImage(layer, first, 0, first->frame, &source.bitmap, &source.mask, &source.alpha,
                                      &source.width, &source.height, nullptr))
            return error;
        ImageTriple image;
        bool owned = false;
        int32_t x = 0, y = 0;
        if (int error = BuildDisplayImage(source, first->partX, first->partY, first->width, first->height, transform,
                                          params->x, params->y, &image, &owned, &x, &y))
            return error;
        if (!owned) image = ImageTriple{nullptr, nullptr, nullptr, first->width, first->height};
        return UpdateLayerGeometry(layer, params, oldRect, x, y, image.width, image.height, image.bitmap, image.mask,
                                   image.alpha);
    }
    case ObjectKindTextObject:
    case ObjectKindTextOut:
    case ObjectKindPrint:
        if (!TextServices) return LibraryNotRegistered("text");
        return TextServices->drawLayer(vm, layer, params, oldRect, transform, flags);
    case ObjectKindBox:
    case ObjectKindCircle:
    case ObjectKindEllipse:
    case ObjectKindLine:
    case ObjectKindPolygon:
    case ObjectKindArc: {
        if (!params->shape) return kErrWrongUsage;
        ImageTriple image;
        int32_t offsetX = 0, offsetY = 0;
        if (int error = RenderShapeLayerImage(params->shape, transform, &image, &offsetX, &offsetY)) return error;
        int32_t x = params->x + offsetX, y = params->y + offsetY;
        if (kind != ObjectKindLine) {
            x -= int32_t(params->width * layer->anchorX);
            y -= int32_t(params->height * layer->anchorY);
        }
        return UpdateLayerGeometry(layer, params, oldRect, x, y, image.width, image.height, image.bitmap, image.mask,
                                   image.alpha);
    }
    default: return 0;
    }
}

namespace {

// One render of a state; the blocks it replaced are left for the caller to free (they may be shared).
int RenderLayerState(VMState *vm, vlLayer *layer, int32_t mode, LayerDrawParams **replaced, int *replacedCount) {
    DisplayRecord *display = CurrentDisplay;
    DisplayTransform t = layer->transform;
    const int32_t kind = layer->type;
    if (IsTextLayerKind(kind)) ClassifyTransformMatrix(&t);
    // A singular matrix has no image; the layer keeps the one it has.
    if (t.a * t.d - t.b * t.c == 0) return kErrWrongUsage;
    const double unscaled[4] = {t.a, t.b, t.c, t.d};
    const bool scaled = (mode & kUpdateDisplayScaled) != 0;
    const double sx = display ? display->scaleX : 1.0, sy = display ? display->scaleY : 1.0;
    if (scaled) {
        t.a *= sx;
        t.b *= sy;
        t.c *= sx;
        t.d *= sy;
        t.rotScaleX *= sx;
        t.rotScaleY *= sy;
        t.smooth = display ? display->smoothScaling : 0;
        if (!t.general && std::fabs(sx - sy) > 0.01) t.general = 1;
    }
    // A NaN or far too large scale is refused before the clip region or the image is transformed by it.
    const double matrix[4] = {t.a, t.b, t.c, t.d};
    if (int error = CheckTransformSize(matrix, layer->first->screenWidth, layer->first->screenHeight)) return error;
    LayerDrawParams *block = CopyLayerDrawParams(kind, layer->first);
    if (!block) return kErrOutOfMemory;
    if (kind == ObjectKindBrush || kind == ObjectKindBrushPart || kind == ObjectKindBGPicPart)
        block->partX = block->partY = 0;
    LayerDrawParams *oldSaved = layer->saved, *oldCurrent = layer->current;
    const LayerDrawParams *old = scaled ? oldCurrent : oldSaved;
    int32_t oldRect[5] = {old->screenX, old->screenY, old->screenWidth, old->screenHeight, 0};
    if (mode & kUpdateNewLayer) oldRect[2] = oldRect[3] = -1;
    const ClipRegion *firstClip = layer->first->clip;
    if (firstClip) {
        if (!scaled && layer->keepClip) {
            block->clip = const_cast<ClipRegion *>(firstClip);
        } else {
            // Only the picture's part of the region can ever clip the layer, wherever it moves.
            const BGPic *picture = CurrentBGPic;
            double windowWidth = picture ? picture->current.width : kMaxBitmapSide;
            double windowHeight = picture ? picture->current.height : kMaxBitmapSide;
            if (scaled) windowWidth = std::ceil(windowWidth * sx) + 1, windowHeight = std::ceil(windowHeight * sy) + 1;
            block->clip = TransformClipRegion(firstClip, matrix, unscaled, scaled, layer->keepClip, layer->anchorX,
                                              layer->anchorY, int32_t(std::clamp<double>(windowWidth, 0, kMaxBitmapSide)),
                                              int32_t(std::clamp<double>(windowHeight, 0, kMaxBitmapSide)));
            if (!block->clip) {
                FreeLayerDrawParamsOfKind(kind, block);
                return kErrOutOfMemory;
            }
        }
    }
    if (scaled) {
        if (kind == ObjectKindLine) {
            block->screenX = int32_t(std::lround(oldSaved->screenX * sx));
            block->screenY = int32_t(std::lround(oldSaved->screenY * sy));
        } else {
            block->x = int32_t(std::lround(oldSaved->x * sx));
            block->y = int32_t(std::lround(oldSaved->y * sy));
        }
    }
    const bool secondPass = !scaled && DisplayScalesLayers(display) && CurrentBGPic == display->picture;
    oldRect[4] = ((mode & kUpdateNoRefresh) || secondPass) ? 1 : 0;
    if (scaled) {
        layer->current = block;
    } else {
        layer->saved = block;
        layer->current = block;
    }
    int error = DrawLayer(vm, layer, block, oldRect, t, scaled ? 80 : 16);
    if (error) {
        layer->saved = oldSaved;
        layer->current = oldCurrent;
        FreeLayerDrawParamsOfKind(kind, block);
        return error;
    }
    replaced[(*replacedCount)++] = oldSaved;
    replaced[(*replacedCount)++] = oldCurrent;
    if (secondPass) {
        // The display-scaled state shown until now gives the rectangle the second pass redraws.
        layer->current = oldCurrent;
        error = RenderLayerState(vm, layer, kUpdateDisplayScaled | (mode & kUpdateNoRefresh), replaced, replacedCount);
        if (error) layer->current = block;
    }
    return error;
}

} // namespace

// AddLayer redraws a layer that went below others or mixes with them; a plain one on top is drawn here.
void ShowNewLayerOnTop(DisplayRecord *display, BGPic *bgpic, int32_t count, const LayerOptions &options) {
    const bool onTop = options.insertPos <= 0 || options.insertPos > count;
    vlLayer *layer = onTop ? GetNthLayer(bgpic, count + 1) : nullptr;
    if (!layer || layer->hidden || layer->deferred || layer->tint || layer->transparency) return;
    if (display->outputKind != ObjectKindDisplay || !display->secondBitmap || bgpic != display->picture) return;
    const LayerDrawParams *c = layer->current;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    int32_t w = 0, h = 0;
    if (GetLayerImage(layer, c, 1, -1, &bitmap, &mask, &alpha, &w, &h, nullptr) || !bitmap) return;
    SAFEBLT(bitmap, c->partX, c->partY, display->secondBitmap, c->screenX, c->screenY, c->screenWidth,
            c->screenHeight, 0, 0, 0, 0, kBlitToBitmap | kBlitMasked, mask, alpha, c->clip);
    if (display->state == DISPSTATE_OPEN)
        PresentDisplayRect(display->secondBitmap, c->screenX, c->screenY, display, c->screenX, c->screenY,
                           c->screenWidth, c->screenHeight, 0);
}

int UpdateLayerImage(VMState *vm, vlLayer *layer, int32_t mode) {
    LayerDrawParams *replaced[4] = {};
    int count = 0;
    const int error = RenderLayerState(vm, layer, mode, replaced, &count);
    for (int i = 0; i < count; i++) {
        LayerDrawParams *p = replaced[i];
        bool seen = false;
        for (int j = 0; j < i; j++) seen |= replaced[j] == p;
        if (!seen && p != layer->first && p != layer->saved && p != layer->current)
            FreeLayerDrawParamsOfKind(layer->type, p);
    }
    return error;
}

int DisplayImageObjectLayer(VMState *vm, int32_t kind, ObjectId id, int32_t partX, int32_t partY, int32_t x,
                            int32_t y, int32_t width, int32_t height, const DisplayTransform &transform,
                            const LayerOptions &options) {
    DisplayRecord *display = CurrentDisplay;
    BGPic *bgpic = CurrentBGPic;
    if (!display || !bgpic) return kErrWrongUsage;
    LayerDrawParams *params = new (std::nothrow) LayerDrawParams;
    if (!params) return kErrOutOfMemory;
    // Position constants place the drawn box, so they are resolved against the untransformed size.
    params->x = x = ClampLayerCoordinate(ResolveXPosition(x, width, 0, transform.anchorX));
    params->y = y = ClampLayerCoordinate(ResolveYPosition(y, height, 0, transform.anchorY));
    params->width = width;
    params->height = height;
    params->partX = partX;
    params->partY = partY;
    ImageTriple own;
    if (kind == ObjectKindAnim) {
        params->frame = partX + 1; // the 0-based frame index travels as the part's x offset
        params->partX = 0;
        if (!AnimServices) {
            FreeLayerDrawParams(params);
            return LibraryNotRegistered("anim");
        }
        AnimInfo info;
        bool temporary = false;
        int error = AnimServices->find(id, 0, &info);
        // A frame read from disk is not kept by its anim, so the layer keeps it as its own image.
        if (!error && info.diskBased) error = AnimServices->frameImage(id, params->frame, &own, &temporary);
        if (error) {
            FreeLayerDrawParams(params);
            return error;
        }
        if (!temporary) own = ImageTriple{};
        params->frameCount = info.frameCount;
    }
    const int32_t count = CountLayers(bgpic);
    if (int error = AddLayer(vm, kind, &id, x, y, width, height, &transform, &options, own.bitmap, own.mask,
                             own.alpha, params, -1, kAddLayerDisplayScaled | kAddLayerNew))
        return error;
    ShowNewLayerOnTop(display, bgpic, count, options);
    return 0;
}

int AddShapeLayer(VMState *vm, int32_t kind, ShapeRecord *shape, int32_t x, int32_t y, int32_t width, int32_t height,
                  const DisplayTransform &transform, const LayerOptions &options) {
    DisplayRecord *display = CurrentDisplay;
    BGPic *bgpic = CurrentBGPic;
    LayerDrawParams *params = display && bgpic ? new (std::nothrow) LayerDrawParams : nullptr;
    if (!params) {
        FreeShapeRecord(shape);
        return display && bgpic ? kErrOutOfMemory : kErrWrongUsage;
    }
    params->shape = shape;
    params->x = x = ClampLayerCoordinate(ResolveXPosition(x, width, 0, transform.anchorX));
    params->y = y = ClampLayerCoordinate(ResolveYPosition(y, height, 0, transform.anchorY));
    params->width = width;
    params->height = height;
    // The first state holds the upright image (a turned layer only its box); edges and shadows may reach beyond
    // the box.
    ImageTriple image;
    int32_t ox = 0, oy = 0;
    if (int error = RenderFirstShapeImage(shape, transform, &image, &ox, &oy)) {
        FreeLayerDrawParams(params);
        return error;
    }
    const ObjectId none{};
    const int32_t count = CountLayers(bgpic);
    if (int error = AddLayer(vm, kind, &none, x + ox, y + oy, image.width, image.height, &transform, &options,
                             image.bitmap, image.mask, image.alpha, params, -1, kAddLayerDisplayScaled | kAddLayerNew))
        return error;
    ShowNewLayerOnTop(display, bgpic, count, options);
    return 0;
}
