// The Collision command: two rectangles, brushes, layers or sprites, or one of them against a box.
#include <algorithm>

#include "imaging/clip_region.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_kinds.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/images/sprite.h"
#include "scene/layers/layers.h"

namespace {

// One side of the test: a rectangle with its planes, read at an offset, and an optional clip region.
struct CollisionObject {
    int32_t x = 0, y = 0, width = 0, height = 0;
    const MaskPlane *mask = nullptr;
    const AlphaPlane *alpha = nullptr;
    int32_t offsetX = 0, offsetY = 0;
    const ClipRegion *clip = nullptr;
};

void ReadBox(VMState *vm, int n, CollisionObject *o) {
    o->x = CheckCoordinateArg(vm, n);
    o->y = CheckCoordinateArg(vm, n + 1);
    o->width = CheckCoordinateArg(vm, n + 2);
    o->height = CheckCoordinateArg(vm, n + 3);
}

int ReadBrush(VMState *vm, int n, CollisionObject *o) {
    const ObjectId id = IdArg(vm, n);
    Brush *brush = nullptr;
    if (int error = FindBrush(id, &brush, 0)) return error;
    *o = CollisionObject{CheckInt32Arg(vm, n + 1), CheckInt32Arg(vm, n + 2), brush->width, brush->height,
                         brush->mask, brush->alpha};
    return 0;
}

int ReadLayer(VMState *vm, int n, CollisionObject *o) {
    const vlLayer *layer = GetNthLayer(CurrentBGPic, CheckLayerArg(vm, n));
    if (!layer) return kErrLayerOutOfRange;
    const LayerDrawParams *p = layer->current;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    if (int error = GetLayerImage(layer, p, 1, -1, &bitmap, &mask, &alpha, nullptr, nullptr, nullptr)) return error;
    *o = CollisionObject{p->screenX, p->screenY, p->screenWidth, p->screenHeight, mask, alpha};
    if (const ClipRegion *c = p->clip) {
        // Cut to the region's rectangle; a cut to nothing leaves an empty rectangle, which collides with nothing.
        const int32_t x1 = std::max(o->x, c->x), y1 = std::max(o->y, c->y);
        const int32_t x2 = std::min(o->x + o->width - 1, c->x + c->width - 1);
        const int32_t y2 = std::min(o->y + o->height - 1, c->y + c->height - 1);
        o->offsetX = x1 - o->x;
        o->offsetY = y1 - o->y;
        o->x = x1, o->y = y1;
        o->width = std::max(0, x2 - x1 + 1);
        o->height = std::max(0, y2 - y1 + 1);
        o->clip = c;
    }
    return 0;
}

int SpriteObject(ObjectId id, CollisionObject *o) {
    OnScreenSprite *shown = nullptr;
    if (int error = FindOnScreenSprite(id, &shown)) return error;
    Sprite *sprite = shown->object;
    if (!sprite)
        if (int error = FindSprite(shown->sprite, &sprite, 0)) return error;
    ImageTriple frame;
    GetSpriteFrameImage(sprite, shown->frame - 1, &frame);
    *o = CollisionObject{shown->x, shown->y, shown->width, shown->height, frame.mask, frame.alpha};
    return 0;
}

int ReadSprite(VMState *vm, int n, CollisionObject *o) {
    return SpriteObject(IdArg(vm, n), o);
}

int Overlap(const CollisionObject &a, const CollisionObject &b) {
    return PixelOverlapFast(a.x, a.y, a.width, a.height, a.mask, a.alpha, a.offsetX, a.offsetY, b.x, b.y, b.width,
                            b.height, b.mask, b.alpha, b.offsetX, b.offsetY, a.clip, b.clip);
}

int RequireLayers() {
    if (!CurrentDisplay || !CurrentDisplay->layersEnabled || !CurrentBGPic) return kErrLayersRequired;
    return 0;
}

} // namespace

int SpritesCollide(ObjectId first, ObjectId second, int *hit) {
    *hit = 0;
    CollisionObject a, b;
    if (int error = SpriteObject(first, &a)) return error;
    if (int error = SpriteObject(second, &b)) return error;
    *hit = Overlap(a, b);
    return 0;
}

int CollisionCommand(VMState *vm) {
    CheckArgs(vm, 3, 9);
    CollisionObject a, b;
    int error = 0;
    switch (CheckInt32Arg(vm, 1)) {
    case ObjectKindBox:
        ReadBox(vm, 2, &a);
        ReadBox(vm, 6, &b);
        break;
    case ObjectKindBrush:
        if (!(error = ReadBrush(vm, 2, &a))) error = ReadBrush(vm, 5, &b);
        break;
    case ObjectKindBrushVsBox:
        if (!(error = ReadBrush(vm, 2, &a))) ReadBox(vm, 5, &b);
        break;
    case ObjectKindLayer:
        if (!(error = RequireLayers()) && !(error = ReadLayer(vm, 2, &a))) error = ReadLayer(vm, 3, &b);
        break;
    case ObjectKindLayerVsBox:
        if (!(error = RequireLayers()) && !(error = ReadLayer(vm, 2, &a))) {
            ReadBox(vm, 3, &b);
            // The box is in picture space, the layers in the display's scaled one.
            const DisplayRecord *d = CurrentDisplay;
            if (d->layerScaling) {
                b.x = int32_t(b.x * d->scaleX), b.width = int32_t(b.width * d->scaleX);
                b.y = int32_t(b.y * d->scaleY), b.height = int32_t(b.height * d->scaleY);
            }
        }
        break;
    case ObjectKindSprite:
        if (!(error = ReadSprite(vm, 2, &a))) error = ReadSprite(vm, 3, &b);
        break;
    case ObjectKindSpriteVsBox:
        if (!(error = ReadSprite(vm, 2, &a))) ReadBox(vm, 3, &b);
        break;
    default: return kErrWrongUsage;
    }
    if (error) return error;
    PushNumber(vm, Overlap(a, b));
    return 1;
}
