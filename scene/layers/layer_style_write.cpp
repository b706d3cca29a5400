// GetLayerStyle's table: the kind's own keys, then the keys every layer has.
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "scene/display/object_kinds.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layer_style.h"
#include "scene/layers/layers.h"

int PushLayerStyle(VMState *vm, vlLayer *layer) {
    const LayerDrawParams *f = layer->first;
    const DisplayTransform &t = layer->transform;
    const int32_t kind = layer->type;
    const bool printed = kind == ObjectKindTextOut || kind == ObjectKindPrint;
    if (printed && !(TextServices && TextServices->writeStyleKeys)) return LibraryNotRegistered("text");
    NewTable(vm);
    const int table = GetTop(vm);
    switch (kind) {
    case ObjectKindBrush:
    case ObjectKindBrushPart:
    case ObjectKindBGPicPart:
        SetTableObjectId(vm, "id", layer->source);
        SetTableNumber(vm, "partx", f->partX);
        SetTableNumber(vm, "party", f->partY);
        SetTableNumber(vm, "partwidth", f->width);
        SetTableNumber(vm, "partheight", f->height);
        break;
    case ObjectKindAnim:
        SetTableNumber(vm, "frame", f->frame);
        SetTableObjectId(vm, "id", layer->source);
        break;
    case ObjectKindTextObject: SetTableObjectId(vm, "id", layer->source); break;
    case ObjectKindTextOut:
    case ObjectKindPrint: TextServices->writeStyleKeys(vm, kind, f->textBlock); break;
    default:
        if (f->shape) WriteShapeStyleKeys(vm, f->shape);
        break;
    }
    SetTableNumber(vm, "x", f->x);
    SetTableNumber(vm, "y", f->y);
    SetTableNumber(vm, "width", t.width);
    SetTableNumber(vm, "height", t.height);
    SetTableNumber(vm, "rotate", t.rotate);
    SetTableDouble(vm, "scalex", t.scaleX);
    SetTableDouble(vm, "scaley", t.scaleY);
    SetTableDouble(vm, "anchorx", layer->anchorX);
    SetTableDouble(vm, "anchory", layer->anchorY);
    SetTableNumber(vm, "smoothscale", t.smooth);
    NewTable(vm);
    const double identity[4] = {1, 0, 0, 1};
    const double *m = t.hasUserMatrix ? t.userMatrix : identity;
    for (int i = 0; i < 4; i++) {
        PushNumber(vm, m[i]);
        RawSetIndex(vm, table + 1, i);
    }
    SetField(vm, table, "transform");
    SetTableNumber(vm, "transparency", layer->transparency);
    SetTableNumber(vm, "tint", layer->tint);
    SetTableDouble(vm, "tintcolor", layer->tintColor);
    SetTableNumber(vm, "hidden", layer->hidden);
    if (f->clip) SetTableObjectId(vm, "clipregion", f->clip->id);
    else SetTableNumber(vm, "clipregion", -1);
    SetTableString(vm, "group", "");
    SetTableString(vm, "name", layer->name ? layer->name : "");
    return 0;
}
