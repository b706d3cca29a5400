// The compositor: a changed rectangle is composed again from the picture, every visible layer from the bottom
// up and the sprites, into the display's second bitmap, and shown. Changes made while a picture is the output
// are collected as dirty rectangles and redrawn together.
#include <algorithm>
#include <cstring>

#include "host/blit.h"
#include "host/debug_output.h"
#include "host/memory.h"
#include "imaging/blit.h"
#include "imaging/display_image.h"
#include "imaging/image_ops.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/layers/layers.h"

int64_t RefreshAreaCount = 0;
bool DeferDisplayRefreshes = false;
void (*CompositorBlitTraceHook)(const HostBitmap *, int32_t, int32_t, HostBitmap *, int32_t, int32_t, int32_t,
                                int32_t, int32_t, const MaskPlane *, const AlphaPlane *,
                                const ClipRegion *) = nullptr;
void (*RedrawSpritesHook)(DisplayRecord *, BGPic *, HostBitmap *, int32_t, int32_t, int32_t, int32_t) = nullptr;

namespace {

void Blit(const HostBitmap *src, int32_t sx, int32_t sy, HostBitmap *dst, int32_t dx, int32_t dy, int32_t width,
          int32_t height, int32_t flags, const MaskPlane *mask, const AlphaPlane *alpha, const ClipRegion *clip) {
    if (CompositorBlitTraceHook) CompositorBlitTraceHook(src, sx, sy, dst, dx, dy, width, height, flags, mask, alpha, clip);
    SAFEBLT(src, sx, sy, dst, dx, dy, width, height, 0, 0, 0, 0, flags, mask, alpha, clip);
}

constexpr int32_t kBlitOpaque = kBlitToBitmap | kBlitMasked | kBlitPlain; // 19
constexpr int32_t kBlitThrough = kBlitToBitmap | kBlitMasked;             // 18

// Draws the part (ix, iy, iw, ih) of one layer state into dest.
void DrawLayerPiece(const vlLayer *layer, const LayerDrawParams *st, HostBitmap *dest, int32_t ix, int32_t iy,
                    int32_t iw, int32_t ih) {
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    int32_t width = 0, height = 0;
    if (GetLayerImage(layer, st, 1, -1, &bitmap, &mask, &alpha, &width, &height, nullptr) || !bitmap) return;
    int32_t sx = ix - st->screenX + st->partX, sy = iy - st->screenY + st->partY;
    HostBitmap *tinted = nullptr;
    if (layer->tint) {
        // Only the piece is copied and tinted, at its own place, so the mask and alpha still line up.
        tinted = AllocHostBitmapFormat(bitmap->width, bitmap->height, bitmap->format);
        if (!tinted) return;
        BLTBITMAP(bitmap, sx, sy, tinted, sx, sy, iw, ih);
        TintImage(tinted, sx, sy, iw, ih, layer->tintColor, layer->tint);
        bitmap = tinted;
    }
    if (layer->transparency) {
        const int32_t level = 255 - layer->transparency;
        if (st->clip && st->clip->mask) {
            HostBitmap *piece = AllocHostBitmapFormat(iw, ih, dest->format);
            if (piece) {
                BLTBITMAP(dest, ix, iy, piece, 0, 0, iw, ih);
                MixImages(piece, bitmap, mask, sx, sy, 0, 0, iw, ih, level, alpha, bitmap->width, bitmap->height);
                Blit(piece, 0, 0, dest, ix, iy, iw, ih, kBlitThrough, nullptr, nullptr, st->clip);
                FreeHostBitmap(piece);
            }
        } else {
            MixImages(dest, bitmap, mask, sx, sy, ix, iy, iw, ih, level, alpha, bitmap->width, bitmap->height);
        }
    } else {
        Blit(bitmap, sx, sy, dest, ix, iy, iw, ih, kBlitThrough, mask, alpha, st->clip);
    }
    FreeHostBitmap(tinted);
}

void MergeAndRefresh(DisplayRecord *display, DirtyRect *rects, int32_t count);
void RefreshDisplayArea(DisplayRecord *display, int32_t x, int32_t y, int32_t width, int32_t height);

} // namespace

int RectsOverlap(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    if (y2 < Y1 || y1 > Y2 || x2 < X1) return 0;
    return x1 <= X2 ? 1 : 0;
}

void JoinRects(int32_t x1, int32_t y1, int32_t w1, int32_t h1, int32_t x2, int32_t y2, int32_t w2, int32_t h2,
               int32_t *x, int32_t *y, int32_t *width, int32_t *height) {
    const int32_t left = std::min(x1, x2), top = std::min(y1, y2);
    *x = left;
    *y = top;
    *width = std::max(x1, x2) - left + std::max(w1, w2);
    *height = std::max(y1, y2) - top + std::max(h1, h2);
}

void REDRAW(DisplayRecord *display, BGPic *bgpic, HostBitmap *dest, int32_t x, int32_t y, int32_t width,
            int32_t height, int32_t, int32_t flags) {
    if (width <= 0 || height <= 0) {
        DebugPrintf("ERROR! REDRAW CALLED WITH WIDTH/HEIGHT <= 0\n");
        return;
    }
    if (x < 0 || y < 0) {
        DebugPrintf("ERROR! REDRAW CALLED WITH NEGATIVE X/Y COORDINATES\n");
        return;
    }
    if (!dest) {
        DebugPrintf("ERROR! REDRAW CALLED WITHOUT DSTBM\n");
        return;
    }
    if (!bgpic) return;
    const ImageTriple &picture = (flags & kRedrawUnscaled) ? bgpic->scaled : bgpic->current;
    width = std::min(width, picture.width - x);
    height = std::min(height, picture.height - y);
    if (width <= 0 || height <= 0) return;
    if (!(flags & kRedrawSpritesOnly)) {
        const HostBitmap *background = nullptr;
        if (flags & kRedrawUnscaled) background = bgpic->scaled.bitmap;
        else if (flags & kRedrawFromPictureBitmap) background = bgpic->current.bitmap;
        else if (flags & kRedrawFromDisplayBitmap) background = display ? display->firstBitmap : nullptr;
        else if (display && bgpic == display->picture && display->firstBitmap) background = display->firstBitmap;
        else background = bgpic->current.bitmap;
        if (background) Blit(background, x, y, dest, x, y, width, height, kBlitOpaque, nullptr, nullptr, nullptr);
        const int32_t x2 = x + width - 1, y2 = y + height - 1;
        for (ListNode *n = bgpic->layers.headNode.next; n && n->next; n = n->next) {
            const vlLayer *layer = LayerOfNode(n);
            if (layer->type == ObjectKindNoObject || layer->hidden || layer->deferred) continue;
            const LayerDrawParams *st = (flags & kRedrawUnscaled) ? layer->saved : layer->current;
            if (!st) continue;
            int32_t rx1 = x, ry1 = y, rx2 = x2, ry2 = y2;
            if (st->clip) {
                rx1 = std::max(rx1, st->clip->x);
                ry1 = std::max(ry1, st->clip->y);
                rx2 = std::min(rx2, st->clip->x + st->clip->width - 1);
                ry2 = std::min(ry2, st->clip->y + st->clip->height - 1);
                if (rx1 > rx2 || ry1 > ry2) continue;
            }
            const int32_t lx2 = st->screenX + st->screenWidth - 1, ly2 = st->screenY + st->screenHeight - 1;
            if (!RectsOverlap(rx1, ry1, rx2, ry2, st->screenX, st->screenY, lx2, ly2)) continue;
            const int32_t ix = std::max(rx1, st->screenX), iy = std::max(ry1, st->screenY);
            DrawLayerPiece(layer, st, dest, ix, iy, std::min(rx2, lx2) - ix + 1, std::min(ry2, ly2) - iy + 1);
        }
    }
    // Sprites always lie above every layer; the sprite library sets the hook when it registers.
    if (!(flags & kRedrawNoSprites) && bgpic->sprites && RedrawSpritesHook)
        RedrawSpritesHook(display, bgpic, dest, x, y, width, height);
}

namespace {

void RefreshDisplayArea(DisplayRecord *display, int32_t x, int32_t y, int32_t width, int32_t height) {
    RefreshAreaCount++;
    if (!display || !display->picture || !display->secondBitmap) return;
    const BGPic *picture = display->picture;
    if (x + width < 1 || y + height < 1 || x >= picture->current.width || y >= picture->current.height) return;
    if (x < 0) width += x, x = 0;
    if (y < 0) height += y, y = 0;
    width = std::min(width, picture->current.width - x);
    height = std::min(height, picture->current.height - y);
    if (DeferDisplayRefreshes && display == CurrentDisplay && AddDisplayDamage(x, y, width, height)) return;
    REDRAW(display, display->picture, display->secondBitmap, x, y, width, height, 0, 0);
    if (display->state == DISPSTATE_OPEN)
        PresentDisplayRect(display->secondBitmap, x, y, display, x, y, width, height, 0);
}

void MergeAndRefresh(DisplayRecord *display, DirtyRect *rects, int32_t count) {
    for (int32_t i = 0; i < count; i++) {
        DirtyRect &a = rects[i];
        if (a.merged) continue;
        for (int32_t j = 0; j < count; j++) {
            DirtyRect &b = rects[j];
            if (j == i || b.merged || !RectsOverlap(a.x1, a.y1, a.x2, a.y2, b.x1, b.y1, b.x2, b.y2)) continue;
            a.x1 = std::min(a.x1, b.x1);
            a.y1 = std::min(a.y1, b.y1);
            a.x2 = std::max(a.x2, b.x2);
            a.y2 = std::max(a.y2, b.y2);
            b.merged = 1;
        }
    }
    for (int32_t i = 0; i < count; i++) {
        const DirtyRect &r = rects[i];
        if (!r.merged) RefreshDisplayArea(display, r.x1, r.y1, r.x2 - r.x1 + 1, r.y2 - r.y1 + 1);
    }
}

} // namespace

void RefreshArea(int32_t x, int32_t y, int32_t width, int32_t height) {
    RefreshDisplayArea(CurrentDisplay, x, y, width, height);
}

void ComposeDisplayRects(DisplayRecord *display, const DirtyRect *rects, int32_t count) {
    if (!display || !display->picture || !display->secondBitmap || count <= 0) return;
    const BGPic *picture = display->picture;
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (int32_t i = 0; i < count; i++) {
        const int32_t x1 = std::max(rects[i].x1, 0), y1 = std::max(rects[i].y1, 0);
        const int32_t x2 = std::min(rects[i].x2, picture->current.width - 1);
        const int32_t y2 = std::min(rects[i].y2, picture->current.height - 1);
        if (x1 > x2 || y1 > y2) continue;
        REDRAW(display, display->picture, display->secondBitmap, x1, y1, x2 - x1 + 1, y2 - y1 + 1, 0, 0);
        if (display->state == DISPSTATE_OPEN)
            UploadDisplayRect(display->secondBitmap, x1, y1, display, x1, y1, x2 - x1 + 1, y2 - y1 + 1);
        left = std::min(left, x1), top = std::min(top, y1), right = std::max(right, x2), bottom = std::max(bottom, y2);
    }
    if (left > right || display->state != DISPSTATE_OPEN) return;
    // A display that scales itself takes no uploads: it shows its whole picture once.
    PresentTarget target;
    if (DisplayPresentTargetHook && DisplayPresentTargetHook(display, &target) == 0 && target.autoScale)
        PresentDisplayRect(display->secondBitmap, left, top, display, left, top, right - left + 1, bottom - top + 1, 0);
    else
        PresentDisplayFrame(display);
}

void AddDirtyRect(DirtyRect **rects, int32_t *count, int32_t *capacity, int32_t x, int32_t y, int32_t width,
                  int32_t height) {
    if (*count >= *capacity) {
        const int64_t grown = int64_t(*capacity) + kRectListGrowth;
        auto *bigger = static_cast<DirtyRect *>(AllocBlock(size_t(grown) * sizeof(DirtyRect), 0));
        if (!bigger) return; // dropped; the list stays as it was
        if (*count) std::memcpy(bigger, *rects, size_t(*count) * sizeof(DirtyRect));
        FreeBlock(*rects);
        *rects = bigger;
        *capacity = int32_t(grown);
    }
    (*rects)[(*count)++] = DirtyRect{x, y, x + width - 1, y + height - 1, 0};
}

void AddDirtyRect(LayerRectList *list, int32_t x, int32_t y, int32_t width, int32_t height) {
    AddDirtyRect(&list->rects, &list->count, &list->capacity, x, y, width, height);
}

void RefreshMergedRects(DirtyRect *rects, int32_t count) { MergeAndRefresh(CurrentDisplay, rects, count); }

void RefreshMergedRects(LayerRectList *list) { MergeAndRefresh(CurrentDisplay, list->rects, list->count); }

void RefreshMergedRects(DisplayRecord *display) {
    if (!display) return;
    MergeAndRefresh(display, display->dirtyRects, display->dirtyCount);
    display->dirtyCount = 0;
}

void RefreshRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    DisplayRecord *display = CurrentDisplay;
    if (!display) return;
    if (display->outputKind == ObjectKindDisplay) RefreshDisplayArea(display, x, y, width, height);
    else if (display->outputKind == ObjectKindBGPic)
        AddDirtyRect(&display->dirtyRects, &display->dirtyCount, &display->dirtyCapacity, x, y, width, height);
}

void RefreshLayerArea(vlLayer *layer, const int32_t *oldRect) {
    const LayerDrawParams *st = layer->current;
    int32_t x = st->screenX, y = st->screenY, width = st->screenWidth, height = st->screenHeight;
    if (oldRect) JoinRects(oldRect[0], oldRect[1], oldRect[2], oldRect[3], x, y, width, height, &x, &y, &width, &height);
    RefreshRect(x, y, width, height);
}

int IsLayerUncovered(BGPic *bgpic, const vlLayer *layer) {
    const LayerDrawParams *a = layer->current;
    bool above = false;
    for (ListNode *n = bgpic->layers.headNode.next; n && n->next; n = n->next) {
        const vlLayer *other = LayerOfNode(n);
        if (other == layer) {
            above = true;
            continue;
        }
        if (!above || other->hidden || other->deferred || !other->current) continue;
        const LayerDrawParams *b = other->current;
        if (RectsOverlap(a->screenX, a->screenY, a->screenX + a->screenWidth - 1, a->screenY + a->screenHeight - 1,
                         b->screenX, b->screenY, b->screenX + b->screenWidth - 1, b->screenY + b->screenHeight - 1))
            return 0;
    }
    return 1;
}

namespace {

bool ClipBit(const ClipRegion *clip, int32_t x, int32_t y) {
    const int32_t px = x - clip->x, py = y - clip->y;
    if (px < 0 || py < 0 || px >= clip->width || py >= clip->height) return false;
    return MaskBit(clip->mask, px, py);
}

bool PlaneBit(const MaskPlane *mask, const AlphaPlane *alpha, int32_t px, int32_t py, int *count) {
    if (mask) {
        const bool inside = px >= 0 && py >= 0 && px < mask->bytesPerRow * 8 && (mask->rows == 0 || py < mask->rows);
        if (inside && MaskBit(mask, px, py)) ++*count;
    }
    if (alpha) {
        const bool inside = px >= 0 && py >= 0 && px < alpha->width && py < alpha->height;
        if (inside && alpha->bytes[size_t(py) * size_t(alpha->bytesPerRow) + size_t(px)] != 0) ++*count;
    }
    return true;
}

} // namespace

int PixelOverlap(int32_t ax, int32_t ay, int32_t aw, int32_t ah, const MaskPlane *amask, const AlphaPlane *aalpha,
                 int32_t aox, int32_t aoy, int32_t bx, int32_t by, int32_t bw, int32_t bh, const MaskPlane *bmask,
                 const AlphaPlane *balpha, int32_t box, int32_t boy, const ClipRegion *aclip,
                 const ClipRegion *bclip) {
    if (aw <= 0 || ah <= 0 || bw <= 0 || bh <= 0) return 0; // an empty cut is no collision
    if (!RectsOverlap(ax, ay, ax + aw - 1, ay + ah - 1, bx, by, bx + bw - 1, by + bh - 1)) return 0;
    const bool aPlanes = amask || aalpha, bPlanes = bmask || balpha;
    if (aclip && !aclip->mask) aclip = nullptr;
    if (bclip && !bclip->mask) bclip = nullptr;
    if (!aPlanes && !bPlanes && !aclip && !bclip) return 1;
    const int32_t left = std::max(ax, bx), top = std::max(ay, by);
    const int32_t right = std::min(ax + aw - 1, bx + bw - 1), bottom = std::min(ay + ah - 1, by + bh - 1);
    // A pixel counts once per object: a mask and an alpha plane of the same object both have to pass.
    const int required = (amask ? 1 : 0) + (aalpha ? 1 : 0) + (bmask ? 1 : 0) + (balpha ? 1 : 0) + (aclip ? 1 : 0) +
                         (bclip ? 1 : 0);
    for (int32_t y = top; y <= bottom; y++) {
        for (int32_t x = left; x <= right; x++) {
            int count = 0;
            PlaneBit(amask, aalpha, x - ax + aox, y - ay + aoy, &count);
            PlaneBit(bmask, balpha, x - bx + box, y - by + boy, &count);
            if (aclip && ClipBit(aclip, x, y)) count++;
            if (bclip && ClipBit(bclip, x, y)) count++;
            if (count == required) return 1;
        }
    }
    return 0;
}
