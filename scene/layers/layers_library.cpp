// The layers library's bindings: read the arguments, check the layer state, call the layer engine.
#include "scene/layers/layers_library.h"

#include "host/allocation_cap.h"
#include "host/tasks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <strings.h>

#include "host/blit.h"
#include "host/memory.h"
#include "imaging/async_draw.h"
#include "imaging/display_image.h"
#include "imaging/graphics_library.h"
#include "imaging/image_ops.h"
#include "runtime/app/command_reference.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/object_list.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/brush.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layer_style.h"
#include "scene/layers/layers.h"

// The reference rows beside the registration table: the barrier reads their display flags.
extern const LibraryReference kLayersReference;

LayerRectList LayerRects;

namespace {

// The selected-output refusals, then a display without layers.
int CheckLayerState() {
    if (int error = RefuseSelectedOutput(CurrentDisplay, 0)) return error;
    if (!CurrentDisplay || !CurrentDisplay->layersEnabled || !CurrentBGPic) return kErrLayersRequired;
    return 0;
}

int FindLayer(int32_t position, vlLayer **out) {
    *out = GetNthLayer(CurrentBGPic, position);
    return *out ? 0 : kErrLayerOutOfRange;
}

bool OutputIsPicture() { return CurrentDisplay->outputKind == ObjectKindBGPic; }

// The commands of one batch of layer changes; commands whose reference rows say they leave the display alone run
// inside it too.
bool KeepsLayerBatch(const char *command) {
    static constexpr const char *kBatched[] = {"SetLayerStyle",  "TranslateLayer", "NextFrame",
                                               "SetLayerTransparency", "SetLayerLight", "SetLayerTint",
                                               "ScaleLayer",     "RotateLayer",    "TransformLayer",
                                               "SetLayerAnchor"};
    for (const char *name : kBatched)
        if (std::strcmp(command, name) == 0) return true;
    return false;
}

template <class Change> int InLayerBatch(VMState *vm, Change change) {
    return InDisplayBatch(vm, KeepsLayerBatch, change);
}

// Collects into LayerRects unless a picture is the output (then the display's dirty list takes the rectangles).
LayerRectList *BeginBatch() {
    if (OutputIsPicture()) return nullptr;
    LayerRects.count = 0;
    return &LayerRects;
}

void EndBatch(LayerRectList *batch) {
    if (batch) RefreshMergedRects(batch);
}

bool InsidePicture(const LayerDrawParams *p) {
    const BGPic *b = CurrentBGPic;
    return p->screenX + p->screenWidth > 0 && p->screenX < b->current.width && p->screenY + p->screenHeight > 0 &&
           p->screenY < b->current.height;
}

void FreeAllLayersOf(BGPic *bgpic) {
    FreeBGPicLayers(CurrentDisplay, bgpic, 0, 1);
    FlushPendingFrees();
}

int CmdUndo(VMState *vm) {
    CheckArgs(vm, 1, 4);
    const int32_t kind = CheckInt32Arg(vm, 1);
    ObjectId id{};
    if (GetTop(vm) >= 2 && ValueType(vm, 2) != TNIL) ReadObjectId(&id, vm, 2);
    int32_t level = OptInt32Arg(vm, 3, 1);
    const int noRefresh = OptInt32Arg(vm, 4, 0);
    if (int error = CheckLayerState()) return error;
    CurrentBGPic->layersChanged = 1;
    if (level < 1) level = 1;
    for (ListNode *n = LastNode(&CurrentBGPic->layers); n; n = PreviousNode(n)) {
        vlLayer *layer = LayerOfNode(n);
        if (layer->type != kind || layer->origin != id || --level > 0) continue;
        if (LayerHasAsyncDraw(layer)) return kErrLayerUsedByAsyncDraw;
        DeleteLayer(vm, layer, noRefresh, nullptr, nullptr, nullptr, nullptr, nullptr);
        return 0;
    }
    return 0;
}

int CmdEnableLayers(VMState *vm) {
    CheckArgs(vm, 0, 0);
    if (!CurrentDisplay) return kErrWrongUsage;
    return EnableDisplayLayers(CurrentDisplay);
}

int CmdDisableLayers(VMState *vm) {
    CheckArgs(vm, 0, 0);
    DisplayRecord *d = CurrentDisplay;
    if (!d) return kErrWrongUsage;
    if (DisplayHasAsyncDraws(d)) return kErrLayerModeDuringAsyncDraw;
    if (d->outputKind != ObjectKindDisplay) return kErrLayersDuringOffscreen;
    if (d->layerScaling) return kErrLayersWithScaling;
    d->layersEnabled = 0;
    return 0;
}

int CmdSwapLayers(VMState *vm) {
    CheckArgs(vm, 2, 2);
    int32_t p1 = 0, p2 = 0;
    if (int error = ReadLayerArg(vm, 1, &p1)) return error;
    if (int error = ReadLayerArg(vm, 2, &p2)) return error;
    if (int error = CheckLayerState()) return error;
    vlLayer *a, *b;
    if (int error = FindLayer(p1, &a)) return error;
    if (int error = FindLayer(p2, &b)) return error;
    if (a == b) return kErrWrongUsage;
    ListHeader *list = &CurrentBGPic->layers;
    ListNode *beforeA = PreviousNode(&a->node), *beforeB = PreviousNode(&b->node);
    RemoveNode(&a->node);
    if (beforeB == &a->node) {
        InsertNode(list, &a->node, &b->node);
    } else if (beforeA == &b->node) {
        RemoveNode(&b->node);
        InsertNode(list, &a->node, beforeB);
        InsertNode(list, &b->node, &a->node);
    } else {
        RemoveNode(&b->node);
        InsertNode(list, &a->node, beforeB);
        InsertNode(list, &b->node, beforeA);
    }
    CurrentBGPic->layersChanged = 1;
    const LayerDrawParams *ca = a->current, *cb = b->current;
    if (InsidePicture(ca) && InsidePicture(cb)) {
        const int32_t x = std::min(ca->screenX, cb->screenX), y = std::min(ca->screenY, cb->screenY);
        const int32_t x2 = std::max(ca->screenX + ca->screenWidth, cb->screenX + cb->screenWidth);
        const int32_t y2 = std::max(ca->screenY + ca->screenHeight, cb->screenY + cb->screenHeight);
        RefreshRect(x, y, x2 - x, y2 - y);
    }
    return 0;
}

int CmdInsertLayer(VMState *vm) {
    CheckArgs(vm, 5, 6);
    int32_t position = 0;
    if (int error = ReadLayerArg(vm, 1, &position)) return error;
    const int32_t kind = CheckInt32Arg(vm, 2);
    const ObjectId id = IdArg(vm, 3);
    const int32_t x = CheckCoordinateArg(vm, 4), y = CheckCoordinateArg(vm, 5);
    const int hidden = OptInt32Arg(vm, 6, 0) != 0;
    if (int error = CheckLayerState()) return error;
    return InsertObjectLayer(vm, CurrentDisplay, position, kind, id, x, y, hidden, hidden, nullptr);
}

int ShowOrHide(VMState *vm, int hide) {
    CheckArgs(vm, 1, hide ? 2 : 3);
    int32_t position = 0;
    const int lookup = ReadLayerArg(vm, 1, &position);
    int32_t x = hide ? USELAYERPOSITION : OptInt32Arg(vm, 2, USELAYERPOSITION);
    int32_t y = hide ? USELAYERPOSITION : OptInt32Arg(vm, 3, USELAYERPOSITION);
    if (lookup) return lookup;
    if (int error = CheckLayerState()) return error;
    vlLayer *layer;
    if (int error = FindLayer(position, &layer)) return error;
    if (x != USELAYERPOSITION) x = ResolveXPosition(x, layer->first->width, 0, layer->anchorX);
    if (y != USELAYERPOSITION) y = ResolveYPosition(y, layer->first->height, 0, layer->anchorY);
    LayerRectList *batch = BeginBatch();
    layer->hidden = hide;
    SetLayerPosition(layer, nullptr, x, y, 0, 0, batch);
    EndBatch(batch);
    CurrentBGPic->layersChanged = 1;
    return 0;
}

int CmdShowLayer(VMState *vm) { return ShowOrHide(vm, 0); }
int CmdHideLayer(VMState *vm) { return ShowOrHide(vm, 1); }

int CmdRemoveLayer(VMState *vm) {
    CheckArgs(vm, 1, 1);
    if (int error = CheckLayerState()) return error;
    int32_t position = 0;
    vlLayer *layer = nullptr;
    // Whatever names no layer removes nothing, without an error.
    if (ReadLayerArg(vm, 1, &position) || FindLayer(position, &layer)) return 0;
    if (LayerHasAsyncDraw(layer)) return kErrLayerUsedByAsyncDraw;
    LayerRectList *batch = BeginBatch();
    DeleteLayer(vm, layer, 0, nullptr, nullptr, nullptr, nullptr, batch);
    EndBatch(batch);
    CurrentBGPic->layersChanged = 1;
    return 0;
}

int CmdFreeLayers(VMState *vm) {
    CheckArgs(vm, 0, 1);
    const int32_t keep = OptInt32Arg(vm, 1, 1);
    if (int error = CheckLayerState()) return error;
    DisplayRecord *d = CurrentDisplay;
    BGPic *bgpic = CurrentBGPic;
    for (ListNode *n = bgpic->layers.headNode.next; n && n->next; n = n->next)
        if (LayerHasAsyncDraw(LayerOfNode(n))) return kErrLayerUsedByAsyncDraw;
    const bool pictureOutput = OutputIsPicture();
    if (pictureOutput && bgpic != d->picture && keep > 0) return kErrWrongUsage;
    BGPic *shown = d->picture;
    const int32_t width = shown ? shown->current.width : 0, height = shown ? shown->current.height : 0;
    const bool drawable = shown && d->firstBitmap && d->secondBitmap && width > 0 && height > 0;
    if (keep) {
        if (drawable) {
            REDRAW(d, shown, d->secondBitmap, 0, 0, width, height, 0, kRedrawNoSprites);
            BLTBITMAP(d->secondBitmap, 0, 0, d->firstBitmap, 0, 0, width, height);
        }
        FreeAllLayersOf(bgpic);
        return 0;
    }
    FreeAllLayersOf(bgpic);
    if (pictureOutput && bgpic == shown) {
        AddDirtyRect(&d->dirtyRects, &d->dirtyCount, &d->dirtyCapacity, 0, 0, width, height);
    } else if (drawable) {
        REDRAW(d, shown, d->secondBitmap, 0, 0, width, height, 0, kRedrawNoSprites);
        BLTBITMAP(d->secondBitmap, 0, 0, d->firstBitmap, 0, 0, width, height);
        if (d->state == DISPSTATE_OPEN) PresentDisplayRect(d->secondBitmap, 0, 0, d, 0, 0, width, height, 0);
    }
    return 0;
}

int CmdSetLayerName(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const int32_t number = CheckInt32Arg(vm, 1);
    size_t length = 0;
    const char *name = CheckStringArg(vm, 2, &length);
    if (int error = CheckLayerState()) return error;
    vlLayer *layer;
    if (int error = FindLayer(number <= 0 ? CountLayers(CurrentBGPic) : number, &layer)) return error;
    // The old name goes first: a refused name (too long, taken) leaves the layer without a name.
    delete[] layer->name;
    layer->name = nullptr;
    LayerNameChanges++;
    if (length == 0) return 0;
    if (length > 255) return kErrNameTooLong;
    if (int error = CheckLayerNameFree(CurrentBGPic, name, layer)) return error;
    layer->name = new (std::nothrow) char[length + 1];
    if (!layer->name) return kErrOutOfMemory;
    std::memcpy(layer->name, name, length + 1);
    LayerNameChanges++;
    return 0;
}

int CmdDumpLayers(VMState *vm) {
    CheckArgs(vm, 0, 1);
    const int32_t block = OptInt32Arg(vm, 1, 0);
    if (int error = CheckLayerState()) return error;
    BGPic *bgpic = CurrentBGPic;
    std::string text;
    char line[1024];
    std::snprintf(line, sizeof line, "LAYER SYSTEM INFO - BGPIC: %d (%p)\nsizeof(vlLayer): %d\nLayers: %d\n",
                  bgpic->id.number, bgpic->id.handle, int(sizeof(vlLayer)), CountLayers(bgpic));
    text += line;
    int32_t position = 1;
    for (ListNode *n = bgpic->layers.headNode.next; n && n->next; n = n->next, position++) {
        const vlLayer *l = LayerOfNode(n);
        const LayerDrawParams *p = block == 1 ? l->saved : block == 2 ? l->current : l->first;
        std::snprintf(line, sizeof line,
                      "(%d) %s #%d (%p / \"%s\") - X: %d (%d) - Y: %d (%d) - Width: %d (%d) - Height: %d (%d) - "
                      "Visible: %d\n",
                      position, ObjectKindName(l->type), l->source.number, l->source.handle, l->name ? l->name : "",
                      p->x, p->screenX, p->y, p->screenY, p->width, p->screenWidth, p->height, p->screenHeight,
                      l->hidden ? 0 : 1);
        text += line;
    }
    WriteDebugOutput(text.data(), text.size());
    return 0;
}

int CmdLayerExists(VMState *vm) {
    CheckArgs(vm, 1, 1);
    const char *name = CheckStringArg(vm, 1);
    if (int error = CheckLayerState()) return error;
    PushNumber(vm, FindLayerByName(name) ? 1 : 0);
    return 1;
}

int CmdSetLayerZPos(VMState *vm) {
    CheckArgs(vm, 2, 2);
    int32_t position = 0, target = 0;
    if (int error = ReadLayerArg(vm, 1, &position)) return error;
    if (int error = ReadLayerArg(vm, 2, &target)) return error;
    if (int error = CheckLayerState()) return error;
    if (target == position || target < 0) return kErrWrongUsage;
    vlLayer *layer;
    if (int error = FindLayer(position, &layer)) return error;
    if (MoveLayerInZOrder(layer, target)) {
        CurrentBGPic->layersChanged = 1;
        RefreshLayerArea(layer, nullptr);
    }
    return 0;
}

int CmdTranslateLayer(VMState *vm) {
    CheckArgs(vm, 3, 3);
    int32_t position = 0;
    const int lookup = ReadLayerArg(vm, 1, &position);
    const int32_t dx = CheckInt32Arg(vm, 2), dy = CheckInt32Arg(vm, 3);
    if (lookup) return lookup;
    if (int error = CheckLayerState()) return error;
    vlLayer *layer;
    if (int error = FindLayer(position, &layer)) return error;
    return InLayerBatch(vm, [&] {
        SetLayerPosition(layer, nullptr, dx, dy, 0, 3, nullptr);
        return 0;
    });
}

int CmdGetLayerAtPos(VMState *vm) {
    CheckArgs(vm, 2, 2);
    const int32_t x = CheckCoordinateArg(vm, 1), y = CheckCoordinateArg(vm, 2);
    if (int error = CheckLayerState()) return error;
    int32_t position = CountLayers(CurrentBGPic);
    for (ListNode *n = LastNode(&CurrentBGPic->layers); n; n = PreviousNode(n), position--) {
        const vlLayer *l = LayerOfNode(n);
        const LayerDrawParams *c = l->current;
        if (x >= c->screenX && x < c->screenX + c->screenWidth && y >= c->screenY && y < c->screenY + c->screenHeight) {
            PushNumber(vm, position);
            PushString(vm, l->name ? l->name : "");
            return 2;
        }
    }
    PushNumber(vm, 0);
    PushString(vm, "");
    return 2;
}

// An anim of plain filled frames for a layer: each frame with a full (or, with clear, empty) mask or alpha plane.
int CreateAnimLayer(VMState *vm, int32_t x, int32_t y, int32_t width, int32_t height, int32_t frames, uint32_t colour,
                    int mask, int alpha, int clear) {
    if (!AnimServices) return LibraryNotRegistered("anim");
    // Every frame is made now: their sum is checked before the first (the pixels, the mask or alpha plane, the
    // records around them).
    const int64_t frameBytes = int64_t(width) * height * 4 + (mask || alpha ? int64_t(width) * height : 0) + 256;
    if (!FitsAllocationCap(frames, frameBytes)) return kErrOutOfMemory;
    ImageTriple *images = new (std::nothrow) ImageTriple[size_t(frames)];
    if (!images) return kErrOutOfMemory;
    auto freeFrames = [&] {
        for (int32_t i = 0; i < frames; i++) FreeImageTriple(&images[i]);
        delete[] images;
    };
    for (int32_t i = 0; i < frames; i++) {
        ImageTriple &f = images[i];
        f.width = width;
        f.height = height;
        f.bitmap = AllocHostBitmap(width, height);
        if (f.bitmap) RECTFILL(f.bitmap, 0, 0, width, height, colour);
        if (f.bitmap && mask && (f.mask = AllocMaskPlane(f.bitmap, width, height, true)))
            FillMaskRect(f.mask, 0, 0, width, height, clear ? MASKINVISIBLE : MASKVISIBLE);
        if (f.bitmap && alpha && (f.alpha = AllocAlphaPlane(width, height, true)) && !clear)
            std::memset(f.alpha->bytes, 255, size_t(f.alpha->bytesPerRow) * size_t(height));
        if (!f.bitmap || (mask && !f.mask) || (alpha && !f.alpha)) {
            freeFrames();
            return kErrOutOfMemory;
        }
        if (EndRequested()) {
            freeFrames();
            return kErrUserAbort;
        }
    }
    ObjectId animId{};
    if (int error = AnimServices->addRecord(ObjectId{0, kAutoHandleRequest}, width, height, frames, images,
                                            mask ? kCreateBrushMaskMarker : -1, &animId)) {
        freeFrames();
        return error;
    }
    delete[] images; // the frames belong to the anim now
    // The anim is pending from birth, so it goes with its layer, or at once when no layer shows it.
    const int error = AnimServices->drawFrameAsLayer(vm, animId, 1, x, y, DisplayTransform{}, LayerOptions{});
    FlushPendingFrees();
    return error;
}

int CmdCreateLayer(VMState *vm) {
    CheckArgs(vm, 4, 5);
    const int32_t x = CheckCoordinateArg(vm, 1), y = CheckCoordinateArg(vm, 2);
    const int32_t width = CheckCoordinateArg(vm, 3), height = CheckCoordinateArg(vm, 4);
    if (int error = CheckLayerState()) return error;
    int32_t alpha = 0, mask = 0, clear = 0, frames = 0;
    uint32_t colour = 0;
    if (GetTop(vm) >= 5 && ValueType(vm, 5) != TNIL) {
        CheckTableArg(vm, 5);
        GetTableOption(vm, 5, "alphachannel", &alpha);
        GetTableOption(vm, 5, "mask", &mask);
        GetTableOption(vm, 5, "clear", &clear);
        GetTableOptionUnsigned(vm, 5, "color", &colour);
        GetTableOption(vm, 5, "frames", &frames);
    }
    if (frames < 0 || (mask && alpha)) return kErrWrongUsage;
    if (width < 1 || height < 1) return kErrSizeNotPositive;
    if (frames > 0) return CreateAnimLayer(vm, x, y, width, height, frames, colour, mask, alpha, clear);
    Brush *brush = nullptr;
    if (int error = CreateBrushRecord(ObjectId{0, kAutoHandleRequest}, width, height, colour, mask != 0, alpha != 0,
                                      clear != 0, &brush))
        return error;
    // The brush is the layer's own: pending from birth, it goes with the layer (or now, when drawing failed).
    const int error = DisplayBrushAt(vm, brush->id, x, y, 0);
    BrushList.MarkPending(brush);
    FlushPendingFrees();
    return error;
}

// The shorthand commands: the layer argument and a table made by fill go through the style setter, and the
// stack is left as it was. Errors about the fields name the arguments they came from (CopyArgToField).
template <class Fill> int ApplyStyleTable(VMState *vm, Fill fill) {
    const int top = GetTop(vm);
    PushValue(vm, 1);
    NewTable(vm);
    ForwardedArguments forwarded;
    fill(top + 2, forwarded);
    OwnOptionTable own;
    const int error = InLayerBatch(vm, [&] { return SetLayerStyleArgs(vm, top + 1, 2, 0); });
    SetTop(vm, top);
    return error;
}

// table[key] = argument n.
void CopyArgToField(VMState *vm, int table, const char *key, int n, ForwardedArguments &forwarded) {
    PushValue(vm, n);
    SetField(vm, table, key);
    forwarded.Add(key, n);
}

int CmdSetLayerTransparency(VMState *vm) {
    CheckArgs(vm, 2, 2);
    return ApplyStyleTable(vm, [&](int t, ForwardedArguments &f) { CopyArgToField(vm, t, "transparency", 2, f); });
}

int CmdSetLayerLight(VMState *vm) {
    CheckArgs(vm, 3, 3);
    return ApplyStyleTable(vm, [&](int t, ForwardedArguments &f) {
        CopyArgToField(vm, t, "tintcolor", 2, f);
        CopyArgToField(vm, t, "tint", 3, f);
    });
}

int CmdSetLayerTint(VMState *vm) { return CmdSetLayerLight(vm); }

int CmdScaleLayer(VMState *vm) {
    CheckArgs(vm, 3, 4);
    const bool smooth = GetTop(vm) >= 4;
    return ApplyStyleTable(vm, [&](int t, ForwardedArguments &f) {
        CopyArgToField(vm, t, "width", 2, f);
        CopyArgToField(vm, t, "height", 3, f);
        if (smooth) CopyArgToField(vm, t, "smoothscale", 4, f);
    });
}

int CmdRotateLayer(VMState *vm) {
    CheckArgs(vm, 2, 3);
    const bool smooth = GetTop(vm) >= 3;
    return ApplyStyleTable(vm, [&](int t, ForwardedArguments &f) {
        CopyArgToField(vm, t, "rotate", 2, f);
        if (smooth) CopyArgToField(vm, t, "smoothscale", 3, f);
    });
}

int CmdTransformLayer(VMState *vm) {
    CheckArgs(vm, 5, 6);
    const bool smooth = GetTop(vm) >= 6;
    return ApplyStyleTable(vm, [&](int t, ForwardedArguments &f) {
        NewTable(vm);
        for (int i = 0; i < 4; i++) {
            PushValue(vm, 2 + i);
            RawSetIndex(vm, t + 1, i);
        }
        SetField(vm, t, "transform");
        f.Add("transform", 2);
        if (smooth) CopyArgToField(vm, t, "smoothscale", 6, f);
    });
}

int CmdSetLayerAnchor(VMState *vm) {
    CheckArgs(vm, 3, 3);
    return ApplyStyleTable(vm, [&](int t, ForwardedArguments &f) {
        CopyArgToField(vm, t, "anchorx", 2, f);
        CopyArgToField(vm, t, "anchory", 3, f);
    });
}

int CmdNextFrame(VMState *vm) {
    CheckArgs(vm, 1, 4);
    int32_t position = 0;
    if (int error = ReadLayerArg(vm, 1, &position)) return error;
    if (int error = CheckLayerState()) return error;
    vlLayer *layer;
    if (int error = FindLayer(position, &layer)) return error;
    if (layer->type != ObjectKindAnim) return kErrNotAnimLayer;
    const int32_t x = OptCoordinateArg(vm, 2, USELAYERPOSITION), y = OptCoordinateArg(vm, 3, USELAYERPOSITION);
    const int32_t frame = OptCountArg(vm, 4, 0);
    return ApplyStyleTable(vm, [&](int, ForwardedArguments &) {
        SetTableNumber(vm, "x", x);
        SetTableNumber(vm, "y", y);
        SetTableNumber(vm, "frame", frame);
    });
}

int CmdSetLayerStyle(VMState *vm) {
    CheckArgs(vm, 2, -1);
    return InLayerBatch(vm, [&] { return SetLayerStyleArgs(vm, 1, GetTop(vm), 0); });
}

int CmdGetLayerStyle(VMState *vm) {
    CheckArgs(vm, 1, 1);
    int32_t position = 0;
    if (int error = ReadLayerArg(vm, 1, &position)) return error;
    if (int error = CheckLayerState()) return error;
    vlLayer *layer;
    if (int error = FindLayer(position, &layer)) return error;
    if (int error = PushLayerStyle(vm, layer)) return error;
    return 1;
}

int CmdModifyLayerFrames(VMState *vm) {
    CheckArgs(vm, 2, 3);
    int32_t position = 0;
    if (int error = ReadLayerArg(vm, 1, &position)) return error;
    const int32_t count = CheckInt32Arg(vm, 2), at = OptInt32Arg(vm, 3, 0);
    if (int error = CheckLayerState()) return error;
    vlLayer *layer;
    if (int error = FindLayer(position, &layer)) return error;
    if (layer->type != ObjectKindAnim) return kErrNotAnimLayer;
    if (!AnimServices || !AnimServices->modifyFrames || !AnimServices->copyForLayer)
        return LibraryNotRegistered("anim");
    AnimInfo info;
    if (int error = AnimServices->find(layer->source, 0, &info)) return error;
    if (info.diskBased) return kErrDiskAnim;
    // The script's anim stays as it is: the layer changes a copy of its own, which goes with the layer.
    const bool own = !layer->source.number && !IsObjectUsedByLayers(ObjectKindAnim, layer->source, layer);
    if (!own) {
        ObjectId copy{};
        if (int error = AnimServices->copyForLayer(layer->source, &copy)) return error;
        layer->source = copy;
        FlushPendingFrees(); // the script's anim may have waited for this layer only
    }
    LayerDrawParams *blocks[3] = {layer->first, layer->saved, layer->current};
    ImageTriple shown;
    bool temporary = false;
    if (int error = AnimServices->frameImage(layer->source, layer->first->frame, &shown, &temporary)) return error;
    if (int error = AnimServices->modifyFrames(layer->source, count, at)) return error;
    if (int error = AnimServices->find(layer->source, 0, &info)) return error;
    int32_t frame = 0;
    for (int32_t f = 1; f <= info.frameCount && !frame; f++) {
        ImageTriple image;
        if (!AnimServices->frameImage(layer->source, f, &image, &temporary) && image.bitmap == shown.bitmap) frame = f;
    }
    for (LayerDrawParams *b : blocks) {
        b->frame = frame ? frame : 1;
        b->frameCount = info.frameCount;
    }
    CurrentBGPic->layersChanged = 1;
    if (frame) return 0;
    // The frame shown has gone: the first one is shown instead.
    if (layer->saved != layer->first)
        if (int error = UpdateLayerImage(vm, layer, kUpdateNoRefresh)) return error;
    RefreshLayerArea(layer, nullptr);
    return 0;
}

// SelectLayer(layer, [mode], [frame]): an anim layer needs its frame, other layers take none.
int CmdSelectLayer(VMState *vm) {
    CheckArgs(vm, 1, 3);
    int32_t position = 0;
    if (int error = ReadLayerArg(vm, 1, &position)) return error;
    const int32_t mode = OptInt32Arg(vm, 2, 0), frame = OptCountArg(vm, 3, 0);
    if (int error = CheckLayerState()) return error;
    vlLayer *layer;
    if (int error = FindLayer(position, &layer)) return error;
    if (layer->type == ObjectKindAnim) {
        if (frame == 0) return kErrNotEnoughArguments;
        if (!AnimServices) return LibraryNotRegistered("anim");
        AnimInfo info;
        if (int error = AnimServices->find(layer->source, 0, &info)) return error;
        if (info.diskBased) return kErrDiskAnim;
        if (frame < 1 || frame > info.frameCount) return AnimFrameOutOfRange(frame, info.frameCount);
    } else if (frame != 0) {
        return kErrNotAnimLayer;
    }
    return SelectOutput(vm, ObjectKindLayer, ObjectId{position, nullptr}, ObjectKindBrush, frame, mode);
}

int CmdAddMove(VMState *vm) { return AddMoveCommand(vm); }
int CmdClearMove(VMState *vm) { return ClearMoveCommand(vm); }
int CmdDoMove(VMState *vm) { return DoMoveCommand(vm); }
int CmdCollision(VMState *vm) { return CollisionCommand(vm); }

} // namespace

const CommandEntry kLayersCommands[] = {
    {"Undo", CmdUndo},
    {"EnableLayers", CmdEnableLayers},
    {"DisableLayers", CmdDisableLayers},
    {"SwapLayers", CmdSwapLayers},
    {"InsertLayer", CmdInsertLayer},
    {"ShowLayer", CmdShowLayer},
    {"HideLayer", CmdHideLayer},
    {"RemoveLayer", CmdRemoveLayer},
    {"SetLayerTransparency", CmdSetLayerTransparency},
    {"SetLayerLight", CmdSetLayerLight},
    {"SetLayerTint", CmdSetLayerTint},
    {"AddMove", CmdAddMove},
    {"ClearMove", CmdClearMove},
    {"DoMove", CmdDoMove},
    {"FreeLayers", CmdFreeLayers},
    {"NextFrame", CmdNextFrame},
    {"SetLayerName", CmdSetLayerName},
    {"Collision", CmdCollision},
    {"DumpLayers", CmdDumpLayers},
    {"ScaleLayer", CmdScaleLayer},
    {"RotateLayer", CmdRotateLayer},
    {"SetLayerStyle", CmdSetLayerStyle},
    {"GetLayerStyle", CmdGetLayerStyle},
    {"TransformLayer", CmdTransformLayer},
    {"SetLayerAnchor", CmdSetLayerAnchor},
    {"LayerExists", CmdLayerExists},
    {"SetLayerZPos", CmdSetLayerZPos},
    {"TranslateLayer", CmdTranslateLayer},
    {"SelectLayer", CmdSelectLayer},
    {"CreateLayer", CmdCreateLayer},
    {"ModifyLayerFrames", CmdModifyLayerFrames},
    {"GetLayerAtPos", CmdGetLayerAtPos},
    {nullptr, nullptr},
};

// A layer is asked for by its position or its name on the current picture, as the layer commands take it; its
// size is what it covers on the picture (scaled, turned).
int LayerAttribute(VMState *vm, ObjectId id, int32_t attribute, int) {
    int32_t position = id.number;
    if (ValueType(vm, 2) == TSTRING) {
        if (int error = ReadLayerArg(vm, 2, &position)) return error;
    }
    if (int error = CheckLayerState()) return error;
    vlLayer *layer;
    if (int error = FindLayer(position, &layer)) return error;
    return AnswerSizeAttribute(vm, attribute, layer->current->screenWidth, layer->current->screenHeight);
}

void RegisterLayersLibrary(VMState *vm) {
    InstallLayerHooks();
    RegisterObjectKind({ObjectKindLayer, "LAYER", CountAllLayers, LayerAttribute});
    RegisterCommands(vm, kLayersCommands);
    RegisterCommandLibrary(kLayersCommands, "layers", &kLayersReference);
    FreeBlock(LayerRects.rects);
    LayerRects = LayerRectList{};
    LayerRects.rects = static_cast<DirtyRect *>(AllocBlock(kRectListGrowth * sizeof(DirtyRect), 0));
    if (!LayerRects.rects) RaiseError(vm, kErrOutOfMemory);
    LayerRects.capacity = kRectListGrowth;
}

void FreeLayersLibrary(VMState *vm) {
    DropCommandBarrier(vm);
    ForgetDisplayDamage();
    FreeAllMoveQueues();
    FreeBlock(LayerRects.rects);
    LayerRects = LayerRectList{};
}

const LibraryDescriptor kLayersLibrary{"layers", RegisterLayersLibrary, FreeLayersLibrary};
