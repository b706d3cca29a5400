// Reading a layer's style table in its fixed order: kind, the kind's own keys, the transform, the position and
// the common keys, each setting the change class it costs.
#include <algorithm>
#include <cmath>

#include "imaging/clip_region.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/brush.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layer_style_change.h"
#include "scene/layers/layers.h"

namespace {

bool IsStyleKind(int32_t kind) {
    switch (kind) {
    case 3: case 4: case 8: case 9: case 11: case 12: case 13: case 14: case 15: case 16: case 17: case 27: case 31:
        return true;
    default: return false;
    }
}

bool IsPrintedText(int32_t kind) { return kind == ObjectKindTextOut || kind == ObjectKindPrint; }

// The text keys belong to the text library's entries, which are not there yet.
bool HasTextKeys(VMState *vm, int t) {
    static const char *const keys[] = {"color", "fontstyle", "fontstyleclear", "shadowdir", "shadowcolor",
                                       "edgecolor", "shadowsize", "edgesize", "encoding", "rightmargin", "align",
                                       "leftmargin", "cursorx", "cursory", "tabs", "fontsize", "font",
                                       "fontengine", "fontcache", "text"};
    for (const char *key : keys) {
        NoteOptionKey(vm, key);
        RawGetField(vm, t, key);
        const bool present = ValueType(vm, -1) != TNIL;
        SetTop(vm, -2);
        if (present) return true;
    }
    return false;
}

// The size of an image kind's source: a brush, or the picture a BGPICPART cuts from.
int SourceSize(int32_t kind, ObjectId id, int32_t *width, int32_t *height) {
    if (kind == ObjectKindBGPicPart) {
        BGPic *bgpic = nullptr;
        if (int error = FindBGPic(id, &bgpic, 0)) return error;
        *width = bgpic->scaled.width;
        *height = bgpic->scaled.height;
        return 0;
    }
    Brush *brush = nullptr;
    if (int error = FindBrush(id, &brush, 0)) return error;
    *width = brush->width;
    *height = brush->height;
    return 0;
}

int ReadImageKeys(VMState *vm, int t, LayerStyleChange *c, bool *freeAfter) {
    LayerDrawParams &b = c->block;
    int idGiven = 0;
    if (GetTableOptionObjectId(vm, t, "id", &c->source, &idGiven)) {
        *freeAfter = true;
        c->classes |= kStyleRebuild;
    } else if (c->kindChanged) {
        return kErrNotEnoughArguments;
    }
    int parts = 0;
    int32_t part[4] = {b.partX, b.partY, b.width, b.height};
    GetTableOption(vm, t, "partx", &part[0], &parts);
    GetTableOption(vm, t, "party", &part[1], &parts);
    GetTableOption(vm, t, "partwidth", &part[2], &parts);
    GetTableOption(vm, t, "partheight", &part[3], &parts);
    if (parts) {
        c->classes |= kStyleRebuild;
        if (c->kind == ObjectKindBrush) c->kind = ObjectKindBrushPart;
    }
    if (!(c->classes & kStyleRebuild)) return 0;
    int32_t sw = 0, sh = 0;
    if (int error = SourceSize(c->kind, c->source, &sw, &sh)) return error;
    if (c->kind == ObjectKindBrush || (idGiven && !parts) || (c->kindChanged && !parts)) {
        part[0] = part[1] = 0;
        part[2] = sw;
        part[3] = sh;
    }
    // The part is read from the source as it stands, so it must lie inside it.
    if (part[0] < 0 || part[1] < 0 || part[2] < 1 || part[3] < 1 || part[2] > sw - part[0] || part[3] > sh - part[1])
        return kErrWrongUsage;
    b.partX = part[0], b.partY = part[1], b.width = part[2], b.height = part[3];
    return 0;
}

int ReadAnimKeys(VMState *vm, int t, LayerStyleChange *c, bool *freeAfter) {
    LayerDrawParams &b = c->block;
    if (!AnimServices) return LibraryNotRegistered("anim");
    if (GetTableOptionObjectId(vm, t, "id", &c->source)) {
        AnimInfo info;
        if (int error = AnimServices->find(c->source, 0, &info)) return error;
        b.frame = 1;
        b.frameCount = info.frameCount;
        b.width = info.width;
        b.height = info.height;
        *freeAfter = true;
        c->classes |= kStyleRebuild;
    } else if (c->kindChanged) {
        return kErrNotEnoughArguments;
    }
    int32_t frame = 0;
    if (GetTableOption(vm, t, "frame", &frame)) {
        if (frame == 0) frame = b.frame >= b.frameCount ? 1 : b.frame + 1;
        else if (frame == -1) frame = b.frameCount;
        else if (frame < 1 || frame > b.frameCount) return AnimFrameOutOfRange(frame, b.frameCount);
        b.frame = frame;
        c->classes |= kStyleRebuild;
    }
    return 0;
}

int ReadTransformKeys(VMState *vm, int t, LayerStyleChange *c) {
    DisplayTransform &tr = c->transform;
    double m[4];
    if (GetTableOptionMatrix(vm, t, "transform", m)) {
        if (m[0] == 0 || m[3] == 0) return kErrWrongUsage;
        for (int i = 0; i < 4; i++) tr.userMatrix[i] = m[i];
        tr.hasUserMatrix = 1;
        tr.scaleX = tr.scaleY = 1;
        tr.width = tr.height = 0;
        tr.rotate = 0;
        c->classes |= kStyleTransform;
        return 0;
    }
    int changed = 0;
    double v = 0;
    if (GetTableOptionNumber(vm, t, "scalex", &v) && v != tr.scaleX) tr.scaleX = v, tr.width = 0, changed = 1;
    if (GetTableOptionNumber(vm, t, "scaley", &v) && v != tr.scaleY) tr.scaleY = v, tr.height = 0, changed = 1;
    int percent = 0;
    if (GetTableOptionPercent(vm, t, "width", 0, &v, &percent)) {
        if (percent) tr.scaleX = v, tr.width = 0;
        else tr.scaleX = 1, tr.width = SaturateToInt32(v);
        changed = 1;
    }
    if (GetTableOptionPercent(vm, t, "height", 0, &v, &percent)) {
        if (percent) tr.scaleY = v, tr.height = 0;
        else tr.scaleY = 1, tr.height = SaturateToInt32(v);
        changed = 1;
    }
    int32_t rotate = 0;
    if (GetTableOption(vm, t, "rotate", &rotate) && rotate != tr.rotate) tr.rotate = rotate % 360, changed = 1;
    if (tr.width < 0 || tr.height < 0 || tr.scaleX == 0 || tr.scaleY == 0) return kErrSizeNotPositive;
    if (changed) {
        tr.hasUserMatrix = 0;
        c->classes |= kStyleTransform;
    }
    return 0;
}

int ReadPositionKeys(VMState *vm, int t, vlLayer *layer, const ShapeGeometry &g, LayerStyleChange *c) {
    double v = 0;
    for (int axis = 0; axis < 2; axis++) {
        if (!GetTableOptionNumber(vm, t, axis ? "anchory" : "anchorx", &v)) continue;
        if (!(v >= 0 && v <= 1)) return kErrWrongUsage;
        // The coordinate stays, and now names the new anchor point.
        (axis ? c->anchorY : c->anchorX) = v;
        (axis ? c->y : c->x) = axis ? layer->first->y : layer->first->x;
        c->classes |= kStylePosition | kStyleTransform;
    }
    if (g.lineGiven) {
        c->x = g.lineX;
        c->y = g.lineY;
        c->classes |= kStylePosition;
        return 0;
    }
    int32_t n = 0;
    if (GetTableOption(vm, t, "translatex", &n)) c->x = n, c->relative |= 1, c->classes |= kStylePosition;
    else if (GetTableOption(vm, t, "x", &n)) c->x = n, c->classes |= kStylePosition;
    if (GetTableOption(vm, t, "translatey", &n)) c->y = n, c->relative |= 2, c->classes |= kStylePosition;
    else if (GetTableOption(vm, t, "y", &n)) c->y = n, c->classes |= kStylePosition;
    // A coordinate of 100000 keeps the layer where it is.
    if (c->x == USELAYERPOSITION) c->relative &= ~1;
    if (c->y == USELAYERPOSITION) c->relative &= ~2;
    return 0;
}

void ReleaseClip(ClipRegion *clip) {
    if (clip && !clip->owned) clip->useCount--;
}

int ReadCommonKeys(VMState *vm, int t, vlLayer *layer, LayerStyleChange *c, bool *freeAfter) {
    GetTableOption(vm, t, "smoothscale", &c->transform.smooth);
    double v = 0;
    if (GetTableOptionPercent(vm, t, "transparency", 255, &v) && SaturateToInt32(v) != layer->transparency)
        c->transparency = std::clamp(SaturateToInt32(v), 0, 255), c->classes |= kStyleRepaint;
    if (GetTableOptionPercent(vm, t, "tint", 255, &v) && SaturateToInt32(v) != layer->tint)
        c->tint = std::clamp(SaturateToInt32(v), 0, 255), c->classes |= kStyleRepaint;
    uint32_t colour = 0;
    if (GetTableOptionUnsigned(vm, t, "tintcolor", &colour) && colour != layer->tintColor)
        c->tintColor = colour, c->classes |= kStyleRepaint;
    int32_t n = 0;
    if (GetTableOption(vm, t, "hidden", &n)) c->hidden = n != 0, c->classes |= kStyleRepaint;
    ObjectId id{};
    if (GetTableOptionObjectId(vm, t, "clipregion", &id)) {
        LayerDrawParams *first = layer->first;
        ClipRegion *clip = nullptr;
        if (!(id.number == -1 && !id.handle))
            if (int error = FindClipRegion(id, nullptr, 0, &clip)) return error;
        if (clip != first->clip) {
            // A region the script freed while this layer showed through it may have no user left now.
            if (first->clip && first->clip->freePending) *freeAfter = true;
            ReleaseClip(first->clip);
            first->clip = clip;
            if (clip) clip->useCount++;
        }
        c->classes |= kStyleClip;
    }
    if (GetTableOption(vm, t, "nocliptransform", &n)) layer->keepClip = n != 0, c->classes |= kStyleClip;
    if (GetTableOptionLayerPos(vm, t, "z", &n)) {
        const int32_t own = GetLayerIndex(layer);
        // Its own place other than the bottom still counts as a move, so the layer is repainted.
        if (MoveLayerInZOrder(layer, n) || (n == own && n > 1)) c->classes |= kStyleRepaint;
    }
    layer->hidden = c->hidden;
    layer->transparency = c->transparency;
    layer->tint = c->tint;
    layer->tintColor = c->tintColor;
    layer->anchorX = c->transform.anchorX = c->anchorX;
    layer->anchorY = c->transform.anchorY = c->anchorY;
    return 0;
}

} // namespace

LayerStyleChange::~LayerStyleChange() {
    FreeShapeRecord(shape);
    if (textBlock && TextServices) TextServices->freeBlock(textBlock);
}

int ReadLayerStyle(VMState *vm, vlLayer *layer, int t, bool *freeAfter, LayerStyleChange *c) {
    if (ValueType(vm, t) != TTABLE) return ArgumentTypeError(vm, kErrTableExpected, t, t);
    const LayerDrawParams *first = layer->first;
    c->kind = layer->type;
    c->source = layer->source;
    c->transform = layer->transform;
    c->anchorX = layer->anchorX, c->anchorY = layer->anchorY;
    c->hidden = layer->hidden, c->transparency = layer->transparency, c->tint = layer->tint;
    c->tintColor = layer->tintColor;

    int32_t kind = layer->type;
    if (GetTableOption(vm, t, "type", &kind)) {
        if (!IsStyleKind(kind)) return kErrWrongUsage;
        c->classes |= kStyleRebuild;
        c->kindChanged = kind != layer->type && !(IsPrintedText(kind) && IsPrintedText(layer->type));
        c->kind = kind;
        // Text blocks and shapes are drawn from the layer's own record: the old kind's object id would still name
        // that object to the lookups and the free checks.
        if (c->kindChanged && (IsPrintedText(kind) || IsShapeLayerKind(kind))) c->source = ObjectId{};
    }
    // A printed text layer is rebuilt from its text block, which only the text library's entries can make.
    const bool textEntries = TextServices && TextServices->readStyleKeys;
    if (!textEntries && ((c->kindChanged && (IsPrintedText(kind) || IsPrintedText(layer->type))) ||
                         (IsPrintedText(kind) && ((c->classes & kStyleRebuild) || HasTextKeys(vm, t)))))
        return LibraryNotRegistered("text");
    // The block starts as the layer's own, or with only its place when the kind changes.
    LayerDrawParams &b = c->block;
    if (!c->kindChanged) {
        b.x = first->x, b.y = first->y, b.width = first->width, b.height = first->height;
        b.partX = first->partX, b.partY = first->partY;
        b.frame = first->frame, b.frameCount = first->frameCount, b.animData = first->animData;
    } else {
        b.x = first->x, b.y = first->y;
    }
    ShapeGeometry geometry;
    int error = 0;
    switch (c->kind) {
    case ObjectKindBrush:
    case ObjectKindBrushPart:
    case ObjectKindBGPicPart: error = ReadImageKeys(vm, t, c, freeAfter); break;
    case ObjectKindAnim: error = ReadAnimKeys(vm, t, c, freeAfter); break;
    case ObjectKindTextObject: {
        const int idGiven = GetTableOptionObjectId(vm, t, "id", &c->source);
        if (idGiven) *freeAfter = true, c->classes |= kStyleRebuild;
        else if (c->kindChanged) error = kErrNotEnoughArguments;
        if (!error && (c->classes & kStyleRebuild) && !TextServices) error = LibraryNotRegistered("text");
        // The layer takes the new object's size, against which its position is resolved.
        if (!error && idGiven) {
            ImageTriple image;
            error = TextServices->objectImage(c->source, 0, &image, nullptr, nullptr, nullptr);
            b.width = image.width, b.height = image.height;
        }
        break;
    }
    case ObjectKindTextOut:
    case ObjectKindPrint: {
        if (!textEntries) break;
        // Between TEXTOUT and PRINT the block carries over; from any other kind it starts from the text style.
        const bool fresh = !IsPrintedText(layer->type) || !first->textBlock;
        c->textBlock = fresh ? TextServices->startStyleBlock(vm, c->kind) : TextServices->copyBlock(first->textBlock);
        if (!c->textBlock) return kErrOutOfMemory;
        int given = 0;
        error = TextServices->readStyleKeys(vm, t, c->kind, c->textBlock, fresh, &given, &c->cursorGiven, &c->cursorX,
                                            &c->cursorY);
        if (given) c->classes |= kStyleRebuild;
        break;
    }
    default: {
        // Shapes: a copy of a shape keeps its form style; from another kind it comes from the draw state.
        const ShapeRecord *old = IsShapeLayerKind(layer->type) ? first->shape : nullptr;
        if (!(c->shape = StartShapeRecord(old, c->kind))) return kErrOutOfMemory;
        int given = 0;
        error = ReadShapeStyleKeys(vm, t, c->shape, c->kindChanged, layer->type, first->width, first->height, &given,
                                   &geometry);
        if (given) c->classes |= kStyleRebuild;
        b.width = geometry.width;
        b.height = geometry.height;
        break;
    }
    }
    if (!error) error = ReadTransformKeys(vm, t, c);
    if (!error) error = ReadPositionKeys(vm, t, layer, geometry, c);
    // PRINT places its text at the cursor, so a cursor and a position cannot both be given.
    if (!error && c->kind == ObjectKindPrint && c->cursorGiven && (c->classes & kStylePosition)) error = kErrWrongUsage;
    if (!error) error = ReadCommonKeys(vm, t, layer, c, freeAfter);
    return error;
}
