#include "tests/scene/layer_script_support.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "host/blit.h"
#include "host/input.h"
#include "host/memory.h"
#include "host/os/input_inject.h"
#include "host/screen.h"
#include "imaging/async_draw.h"
#include "imaging/blit.h"
#include "imaging/display_image.h"
#include "imaging/image_ops.h"
#include "imaging/position.h"
#include "runtime/app/attributes.h"
#include "runtime/app/command.h"
#include "imaging/graphics_library.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "runtime/app/object_list.h"
#include "scene/display/create_display.h"
#include "scene/display/display_library.h"
#include "scene/display/display_list.h"
#include "scene/display/display_startup.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/images/bgpic_library.h"
#include "scene/images/brush.h"
#include "scene/images/brush_library.h"
#include "scene/images/sprite.h"
#include "scene/images/sprite_library.h"
#include "scene/layers/layer_services.h"
#include "scene/layers/layers.h"
#include "scene/layers/layers_library.h"
#include "scene/layers/move_object.h"
#include "scene/layers/moveobject_library.h"
#include "tests/scene/display_open_fixture.h"

namespace layertest {
namespace {

std::vector<std::string> *Output = nullptr;
int64_t RefreshesSeen = 0;
std::string DebugText;

void CaptureDebug(const char *bytes, size_t length) {
    DebugText.append(bytes, length);
    size_t end;
    while ((end = DebugText.find('\n')) != std::string::npos) {
        Output->push_back(DebugText.substr(0, end));
        DebugText.erase(0, end + 1);
    }
}

PixelBuffer View(const HostBitmap *b) {
    return PixelBuffer{b->pixels, b->width, b->height, ptrdiff_t(HostBitmapStride(b)), b->bytesPerPixel};
}
PlaneBuffer View(const MaskPlane *m) {
    return m ? PlaneBuffer{m->bits, m->bytesPerRow * 8, m->rows, m->bytesPerRow} : PlaneBuffer{};
}
PlaneBuffer View(const AlphaPlane *a) {
    return a ? PlaneBuffer{a->bytes, a->width, a->height, a->bytesPerRow} : PlaneBuffer{};
}

// The display as the layer list says it should look: its background, then each visible layer through the
// generic kernels.
HostBitmap *ReferenceComposition(DisplayRecord *d) {
    const HostBitmap *background = d->firstBitmap;
    HostBitmap *ref = AllocHostBitmap(background->width, background->height);
    BLTBITMAP(background, 0, 0, ref, 0, 0, ref->width, ref->height);
    for (ListNode *n = d->picture->layers.headNode.next; n && n->next; n = n->next) {
        const vlLayer *l = LayerOfNode(n);
        const LayerDrawParams *c = l->current;
        if (l->hidden || l->type == ObjectKindNoObject) continue;
        HostBitmap *bitmap;
        MaskPlane *mask;
        AlphaPlane *alpha;
        if (GetLayerImage(l, c, 1, -1, &bitmap, &mask, &alpha, nullptr, nullptr, nullptr)) continue;
        int32_t dx = c->screenX, dy = c->screenY, w = c->screenWidth, h = c->screenHeight;
        int32_t sx = c->partX, sy = c->partY;
        if (dx < 0) sx -= dx, w += dx, dx = 0;
        if (dy < 0) sy -= dy, h += dy, dy = 0;
        w = std::min(w, ref->width - dx);
        h = std::min(h, ref->height - dy);
        if (w <= 0 || h <= 0) continue;
        HostBitmap *source = bitmap, *tinted = nullptr;
        if (l->tint) {
            tinted = AllocHostBitmap(bitmap->width, bitmap->height);
            BLTBITMAP(bitmap, 0, 0, tinted, 0, 0, bitmap->width, bitmap->height);
            TintPixelsGeneric(View(tinted), sx, sy, w, h, l->tintColor, l->tint);
            source = tinted;
        }
        if (l->transparency)
            MixPixelsGeneric(View(ref), dx, dy, View(source), sx, sy, w, h, 255 - l->transparency, View(mask),
                             View(alpha));
        else
            BlitRectGeneric(View(source), sx, sy, View(ref), dx, dy, w, h, View(mask), View(alpha));
        FreeHostBitmap(tinted);
    }
    // Sprites lie above every layer, unclipped here: the scripts give them no clip region.
    for (const OnScreenSprite *s = d->picture->sprites; s; s = s->next) {
        Sprite *sprite = nullptr;
        ImageTriple f;
        if (FindSprite(s->sprite, &sprite, 0) == 0) GetSpriteFrameImage(sprite, s->frame - 1, &f);
        if (!f.bitmap) continue;
        int32_t dx = s->x, dy = s->y, sx = 0, sy = 0, w = s->width, h = s->height;
        if (dx < 0) sx -= dx, w += dx, dx = 0;
        if (dy < 0) sy -= dy, h += dy, dy = 0;
        w = std::min(w, ref->width - dx);
        h = std::min(h, ref->height - dy);
        if (w > 0 && h > 0) BlitRectGeneric(View(f.bitmap), sx, sy, View(ref), dx, dy, w, h, View(f.mask), View(f.alpha));
    }
    return ref;
}

int TestCheckWindow(VMState *) {
    DisplayRecord *d = CurrentDisplay;
    HostBitmap *ref = ReferenceComposition(d);
    std::vector<uint32_t> shown(size_t(ref->width) * size_t(ref->height));
    if (ReadWindowPixels(d->hostWindow, shown.data()) != 0) {
        Output->push_back("window unreadable");
    } else {
        for (int32_t y = 0; y < ref->height; y++) {
            for (int32_t x = 0; x < ref->width; x++) {
                const uint32_t want = HostBitmapRow32(ref, y)[x] & 0xFFFFFF, got = shown[size_t(y) * ref->width + x];
                if (want == (got & 0xFFFFFF)) continue;
                char line[128];
                std::snprintf(line, sizeof line, "window differs at %d,%d: %06X, expected %06X", x, y,
                              got & 0xFFFFFF, want);
                Output->push_back(line);
                y = ref->height;
                break;
            }
        }
    }
    FreeHostBitmap(ref);
    return 0;
}

int TestRefreshCount(VMState *vm) {
    PushNumber(vm, double(RefreshAreaCount - RefreshesSeen));
    RefreshesSeen = RefreshAreaCount;
    return 1;
}

// TestEmbeddedMove(#LAYER or #BRUSH, number, x1, y1, x2, y2, speed, fx): runs a move the way a transition
// owns one (a layer, or a brush's image drawn directly) and returns its step count, end point and y range.
int TestEmbeddedMove(VMState *vm) {
    MoveContext *c = NewMoveContext();
    c->state = vm;
    c->kind = kMoveKindEmbedded;
    c->embedded = 1;
    const int32_t n = CheckInt32Arg(vm, 2);
    if (CheckInt32Arg(vm, 1) == ObjectKindLayer) {
        c->layer = GetNthLayer(CurrentBGPic, n);
        c->width = c->layer->first->width, c->height = c->layer->first->height;
    } else {
        Brush *brush = nullptr;
        FindBrush(ObjectId{n, nullptr}, &brush, 0);
        c->bitmap = brush->bitmap, c->mask = brush->mask, c->alpha = brush->alpha;
        c->width = brush->width, c->height = brush->height;
    }
    c->x = CheckInt32Arg(vm, 3), c->y = CheckInt32Arg(vm, 4), c->x2 = CheckInt32Arg(vm, 5), c->y2 = CheckInt32Arg(vm, 6);
    c->speed = CheckInt32Arg(vm, 7);
    c->fx = CheckInt32Arg(vm, 8);
    int error = RunMoveObject(c);
    int32_t steps = 0, done = 0, minY = c->y, maxY = c->y;
    while (!error && !done && steps < 10000) {
        error = c->stepFn(c, &done);
        steps++;
        minY = std::min(minY, c->y), maxY = std::max(maxY, c->y);
    }
    if (c->freeFn) c->freeFn(c, 0);
    const int32_t x = c->x, y = c->y;
    FreeBlock(c);
    if (error) return error;
    for (int32_t v : {steps, x, y, minY, maxY}) PushNumber(vm, v);
    return 5;
}

// ---- An anim library in memory ----------------------------------------------------------------------------------
struct FakeAnim {
    ObjectId id{};
    std::vector<ImageTriple> frames;
    int32_t width = 0, height = 0, transparent = -1;
    bool pending = false;
};
std::vector<FakeAnim *> Anims;

FakeAnim *FindFake(ObjectId id) {
    for (FakeAnim *a : Anims)
        if (a->id == id) return a;
    return nullptr;
}

int FakeFind(ObjectId id, int, AnimInfo *out) {
    FakeAnim *a = FindFake(id);
    if (!a) return kErrAnimNotFound;
    *out = AnimInfo{a->width, a->height, int32_t(a->frames.size()), 0, a->transparent, 0, a};
    return 0;
}

int FakeFrameImage(ObjectId id, int32_t frame, ImageTriple *out, bool *temporary) {
    FakeAnim *a = FindFake(id);
    if (!a) return kErrAnimNotFound;
    if (frame < 1 || frame > int32_t(a->frames.size())) return 1094;
    *out = a->frames[size_t(frame - 1)];
    *temporary = false;
    return 0;
}

int FakeAddRecord(ObjectId, int32_t width, int32_t height, int32_t count, ImageTriple *frames, int32_t transparent,
                  ObjectId *outId) {
    FakeAnim *a = new FakeAnim;
    a->id = ObjectId{0, a};
    a->frames.assign(frames, frames + count);
    a->width = width, a->height = height, a->transparent = transparent;
    a->pending = true;
    Anims.push_back(a);
    *outId = a->id;
    return 0;
}

int FakeDrawFrame(VMState *vm, ObjectId id, int32_t frame, int32_t x, int32_t y, const DisplayTransform &transform,
                  const LayerOptions &options) {
    FakeAnim *a = FindFake(id);
    if (!a) return kErrAnimNotFound;
    return DisplayImageObjectLayer(vm, ObjectKindAnim, id, frame - 1, 0, x, y, a->width, a->height, transform, options);
}

ImageTriple CopyFrame(const ImageTriple &f) {
    ImageTriple c{nullptr, nullptr, nullptr, f.width, f.height};
    CopyImage(f.bitmap, f.mask, f.alpha, 0, 0, f.width, f.height, &c.bitmap, &c.mask, &c.alpha);
    return c;
}

int FakeCopy(ObjectId id, ObjectId *newId) {
    FakeAnim *a = FindFake(id);
    if (!a) return kErrAnimNotFound;
    std::vector<ImageTriple> frames;
    for (const ImageTriple &f : a->frames) frames.push_back(CopyFrame(f));
    return FakeAddRecord(id, a->width, a->height, int32_t(frames.size()), frames.data(), a->transparent, newId);
}

// Inserted frames are copies of the first; removal takes count frames from the position (0: the last ones).
int FakeModify(ObjectId id, int32_t count, int32_t position) {
    FakeAnim *a = FindFake(id);
    if (!a) return kErrAnimNotFound;
    const auto n = int32_t(a->frames.size());
    if (count >= 0) {
        const int32_t at = position < 1 || position > n ? n : position - 1;
        for (int32_t i = 0; i < count; i++) a->frames.insert(a->frames.begin() + at, CopyFrame(a->frames[0]));
        return 0;
    }
    const int32_t k = -count, start = position < 1 ? n - k : position - 1;
    if (k >= n || start < 0 || start + k > n) return 1094;
    for (int32_t i = 0; i < k; i++) FreeImageTriple(&a->frames[size_t(start + i)]);
    a->frames.erase(a->frames.begin() + start, a->frames.begin() + start + k);
    return 0;
}

void FreeFake(FakeAnim *a) {
    for (ImageTriple &f : a->frames) FreeImageTriple(&f);
    delete a;
}

bool FakeFlush(void *) {
    bool freed = false;
    for (size_t i = 0; i < Anims.size();) {
        if (Anims[i]->pending && !IsObjectUsedByLayers(ObjectKindAnim, Anims[i]->id)) {
            FreeFake(Anims[i]);
            Anims.erase(Anims.begin() + long(i));
            freed = true;
        } else {
            i++;
        }
    }
    return freed;
}

const AnimLayerServices kFakeAnims{FakeFind,   FakeFrameImage, nullptr,   nullptr, FakeCopy, FakeAddRecord,
                                   FakeModify, FakeDrawFrame};

// The bitmap a TestPeek or TestWindowIs name stands for.
const HostBitmap *NamedBitmap(VMState *vm, const std::string &what, int idArg) {
    DisplayRecord *d = CurrentDisplay;
    if (what == "first") return d->firstBitmap;
    if (what == "front") return d->frontBuffer;
    if (what == "back") return d->backBuffer;
    const ObjectId id = IdArg(vm, idArg);
    Brush *brush = nullptr;
    return FindBrush(id, &brush, 0) == 0 ? brush->bitmap : nullptr;
}

// TestPeek(what, [id,] x, y): a pixel's colour ("brush", "first", "front", "back", "window"), mask bit ("mask")
// or alpha byte ("alpha") of a brush; -1 where there is no such plane. TestPeek("size", what[, id]): width*10000
// + height ("screen": the screen's size).
int TestPeek(VMState *vm) {
    const std::string what = CheckStringArg(vm, 1);
    const bool byId = what == "brush" || what == "mask" || what == "alpha";
    if (what == "size" && std::string(CheckStringArg(vm, 2)) == "screen") {
        PushNumber(vm, double(QueryBitMapAttr(nullptr, 14)) * 10000 + double(QueryBitMapAttr(nullptr, 15)));
        return 1;
    }
    if (what == "size") {
        const HostBitmap *b = NamedBitmap(vm, CheckStringArg(vm, 2), 3);
        PushNumber(vm, b ? b->width * 10000.0 + b->height : -1);
        return 1;
    }
    const int32_t x = CheckInt32Arg(vm, byId ? 3 : 2), y = CheckInt32Arg(vm, byId ? 4 : 3);
    double value = -1;
    if (what == "window") {
        const HostWindow *w = CurrentDisplay->hostWindow;
        std::vector<uint32_t> shown = displaytest::WindowPixels(w);
        if (!shown.empty()) value = shown[size_t(y) * size_t(w->width) + size_t(x)] & 0xFFFFFF;
    } else if (what == "mask" || what == "alpha") {
        const ObjectId id = IdArg(vm, 2);
        Brush *brush = nullptr;
        if (FindBrush(id, &brush, 0) == 0) {
            if (what == "mask" && brush->mask) value = MaskBit(brush->mask, x, y) ? 1 : 0;
            if (what == "alpha" && brush->alpha) value = brush->alpha->bytes[ptrdiff_t(y) * brush->alpha->bytesPerRow + x];
        }
    } else if (const HostBitmap *b = NamedBitmap(vm, what, 2)) {
        value = HostBitmapRow32(b, y)[x] & 0xFFFFFF;
    }
    PushNumber(vm, value);
    return 1;
}

// TestCheckScreen(): the own screen as composed must show the backfill display's picture with the current
// display's expected window (TestCheckWindow's) on it; prints the size, the display's place, a first difference.
int TestCheckScreen(VMState *) {
    int32_t sw = 0, sh = 0;
    ReadScreenPixels(nullptr, &sw, &sh);
    std::vector<uint32_t> shown(size_t(sw) * size_t(sh)), want(shown.size(), 0);
    if (shown.empty() || ReadScreenPixels(shown.data(), &sw, &sh) != 0) return Output->push_back("no screen"), 0;
    auto paint = [&](const HostBitmap *b, const HostWindow *w) {
        for (int32_t y = 0; b && y < b->height; y++)
            for (int32_t x = 0; x < b->width; x++)
                if (w->x + x >= 0 && w->y + y >= 0 && w->x + x < sw && w->y + y < sh)
                    want[size_t(w->y + y) * size_t(sw) + size_t(w->x + x)] = HostBitmapRow32(b, y)[x] & 0xFFFFFF;
    };
    for (const DisplayRecord *b = DisplayList; b; b = b->next)
        if (b->private1) paint(b->firstBitmap, b->hostWindow);
    HostBitmap *ref = ReferenceComposition(CurrentDisplay);
    paint(ref, CurrentDisplay->hostWindow);
    FreeHostBitmap(ref);
    char line[128];
    std::snprintf(line, sizeof line, "screen %d by %d, display at %d,%d", sw, sh, CurrentDisplay->hostWindow->x,
                  CurrentDisplay->hostWindow->y);
    Output->push_back(line);
    const auto differs = std::mismatch(want.begin(), want.end(), shown.begin()).first - want.begin();
    std::snprintf(line, sizeof line, "screen differs at %d,%d", int(differs % sw), int(differs / sw));
    if (differs < std::ssize(want)) Output->push_back(line);
    return 0;
}

// TestWindowIs(what): 1 when the window shows exactly the named bitmap (top-left aligned).
int TestWindowIs(VMState *vm) {
    const HostBitmap *b = NamedBitmap(vm, CheckStringArg(vm, 1), 2);
    const HostWindow *w = CurrentDisplay->hostWindow;
    std::vector<uint32_t> shown = displaytest::WindowPixels(w);
    bool same = b && !shown.empty();
    for (int32_t y = 0; same && y < std::min(b->height, w->height); y++)
        for (int32_t x = 0; same && x < std::min(b->width, w->width); x++)
            same = (shown[size_t(y) * size_t(w->width) + size_t(x)] & 0xFFFFFF) == (HostBitmapRow32(b, y)[x] & 0xFFFFFF);
    PushNumber(vm, same ? 1 : 0);
    return 1;
}

// TestHex(n): six hex digits, as colours are written.
int TestHex(VMState *vm) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", unsigned(CheckNumberArg(vm, 1)) & 0xFFFFFFu);
    PushString(vm, text);
    return 1;
}

// ---- Text layers in memory: a block records the text keys it was given and draws as a bar of its colour --------
struct FakeText {
    std::string text;
    uint32_t color = 0;
    int32_t cursorX = 0, cursorY = 0;
};

void *FakeStartBlock(VMState *, int32_t) { return new FakeText; }
void *FakeCopyBlock(const void *block) { return new FakeText(*static_cast<const FakeText *>(block)); }
void FakeFreeBlock(void *block) { delete static_cast<FakeText *>(block); }

int FakeReadKeys(VMState *vm, int table, int32_t kind, void *block, int requireText, int *given, int *cursorGiven,
                 int32_t *cursorX, int32_t *cursorY) {
    auto *b = static_cast<FakeText *>(block);
    GetTableOptionUnsigned(vm, table, "color", &b->color, given);
    if (kind == ObjectKindPrint) {
        GetTableOption(vm, table, "cursorx", &b->cursorX, cursorGiven);
        GetTableOption(vm, table, "cursory", &b->cursorY, cursorGiven);
        *cursorX = b->cursorX, *cursorY = b->cursorY;
        if (*cursorGiven) *given = 1;
    }
    int text = 0;
    GetTableOptionString(vm, table, "text", &b->text, &text);
    if (text) *given = 1;
    return requireText && !text ? kErrNotEnoughArguments : 0;
}

void FakeWriteKeys(VMState *vm, int32_t, const void *block) {
    const auto *b = static_cast<const FakeText *>(block);
    SetTableString(vm, "text", b->text.c_str());
    SetTableDouble(vm, "color", b->color);
}

// Six pixels a character, eight high, at the block's position.
int FakeDrawText(VMState *, vlLayer *layer, LayerDrawParams *params, const int32_t *oldRect, const DisplayTransform &,
                 int32_t) {
    const auto *b = static_cast<const FakeText *>(params->textBlock);
    const auto width = int32_t(b->text.size() * 6 + 1);
    HostBitmap *bitmap = AllocHostBitmap(width, 8);
    if (!bitmap) return kErrOutOfMemory;
    RECTFILL(bitmap, 0, 0, width, 8, b->color);
    params->width = width;
    params->height = 8;
    return UpdateLayerGeometry(layer, params, oldRect, params->x, params->y, width, 8, bitmap, nullptr, nullptr);
}

const TextLayerServices kFakeText{FakeDrawText,   nullptr,      FakeCopyBlock, FakeFreeBlock, nullptr,
                                  FakeStartBlock, FakeReadKeys, FakeWriteKeys};

const CommandEntry kLayerTestCommands[] = {
    {"TestHex", TestHex},
    {"TestCheckWindow", TestCheckWindow},
    {"TestCheckScreen", TestCheckScreen},
    {"TestRefreshCount", TestRefreshCount},
    {"TestEmbeddedMove", TestEmbeddedMove},
    {"TestPeek", TestPeek},
    {"TestWindowIs", TestWindowIs},
    {nullptr, nullptr},
};

} // namespace

int SetUpLayerScripts(VMState *vm, std::vector<std::string> *output) {
    if (EnsureVideo() != 0) return -1;
    Output = output;
    DebugText.clear();
    RefreshesSeen = RefreshAreaCount;
    DebugWriteHook = CaptureDebug;
    kGraphicsLibrary.registerLibrary(vm);
    kDrawLibrary.registerLibrary(vm);
    RegisterDisplayLibrary(vm);
    RegisterBrushLibrary(vm);
    RegisterBGPicLibrary(vm);
    RegisterLayersLibrary(vm);
    RegisterSpriteLibrary(vm);
    RegisterMoveObjectLibrary(vm);
    AnimServices = &kFakeAnims;
    RegisterPendingFlush(&Anims, FakeFlush); // the fake anims' frees wait for their layers as real ones do
    TextServices = &kFakeText;
    RegisterCommands(vm, kLayerTestCommands);
    return 0;
}

void TearDownLayerScripts(VMState *vm, DisplayRecord *fixtureDisplay) {
    // Async draws still running hold layers; end them first, as the player does.
    FreeAllAsyncDraws();
    CurrentDisplay = fixtureDisplay;
    CurrentBGPic = fixtureDisplay->picture;
    for (DisplayRecord *d = DisplayList; d;) {
        DisplayRecord *next = d->next;
        if (d != fixtureDisplay && d->id.number >= 2) FreeDisplayById(vm, d->id);
        d = next;
    }
    FreeSpriteLibrary(vm);
    FreeAllBrushes();
    FreeAllBGPics();
    for (FakeAnim *a : Anims) FreeFake(a);
    Anims.clear();
    FreeLayersLibrary(vm);
    kDrawLibrary.freeAll(vm);
    kGraphicsLibrary.freeAll(vm);
    RemoveAttributeHooks();
    AnimServices = nullptr;
    TextServices = nullptr;
    DebugWriteHook = nullptr;
    Output = nullptr;
    if (OwnScreenOpen()) CloseOwnScreen();
    displaytest::ClearDisplayLibraryHooks();
    FindBrushImageHook = nullptr;
    ApplyDisplayAttributesHook = nullptr;
    DisplayImageLayerHook = nullptr;
    LayerPositionHook = nullptr;
    SnapshotSourceHook = nullptr;
    RegisterBrushLinkSource(ObjectKindLayer, nullptr);
}

} // namespace layertest
