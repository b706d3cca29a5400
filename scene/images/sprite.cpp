// The sprite list, lookups, showing and removing sprites, and the operations on their frames.
#include "scene/images/sprite.h"

#include <algorithm>
#include <memory>
#include <new>

#include "imaging/blit.h"
#include "imaging/image_ops.h"
#include "imaging/pixel_ops.h"
#include "imaging/position.h"
#include "runtime/app/errors.h"
#include "runtime/app/object_list.h"
#include "scene/display/display_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"
#include "scene/layers/layers.h"

// Cells of 64x64 pixels over the picture; entries beyond its edges go to the border cells. An entry is filed in
// every cell it touches, so a rectangle's lookup visits only its own cells.
struct SpriteIndex {
    static constexpr int kCellShift = 6;
    int32_t columns = 0, rows = 0;
    std::vector<std::vector<OnScreenSprite *>> cells;
    uint64_t nextOrder = 0;
    OnScreenSprite *last = nullptr; // the entry filed last while it is in the list, so shows append without a walk
    uint32_t visit = 0;
    std::vector<OnScreenSprite *> found; // the last lookup's entries

    void CellRange(int64_t x1, int64_t y1, int64_t x2, int64_t y2, int32_t *cx1, int32_t *cy1, int32_t *cx2,
                   int32_t *cy2) const {
        auto cell = [](int64_t v, int32_t count) { return int32_t(std::clamp<int64_t>(v >> kCellShift, 0, count - 1)); };
        *cx1 = cell(x1, columns), *cx2 = cell(x2, columns);
        *cy1 = cell(y1, rows), *cy2 = cell(y2, rows);
    }
    std::vector<OnScreenSprite *> &Cell(int32_t cx, int32_t cy) { return cells[size_t(cy) * size_t(columns) + size_t(cx)]; }

    void File(OnScreenSprite *s) {
        CellRange(s->x, s->y, int64_t(s->x) + s->width - 1, int64_t(s->y) + s->height - 1, &s->cellX1, &s->cellY1,
                  &s->cellX2, &s->cellY2);
        for (int32_t cy = s->cellY1; cy <= s->cellY2; cy++)
            for (int32_t cx = s->cellX1; cx <= s->cellX2; cx++) Cell(cx, cy).push_back(s);
    }
    void Unfile(OnScreenSprite *s) {
        if (last == s) last = nullptr;
        if (s->cellX1 < 0) return;
        for (int32_t cy = s->cellY1; cy <= s->cellY2; cy++)
            for (int32_t cx = s->cellX1; cx <= s->cellX2; cx++) {
                std::vector<OnScreenSprite *> &cell = Cell(cx, cy);
                auto it = std::find(cell.begin(), cell.end(), s);
                if (it == cell.end()) continue;
                *it = cell.back();
                cell.pop_back();
            }
        s->cellX1 = -1;
    }
};

void SpriteIndexDeleter::operator()(SpriteIndex *index) const { delete index; }

namespace {

// The picture's index, made on first use with every entry the list already holds. Null without memory: the
// redraw then walks the list.
SpriteIndex *IndexOf(BGPic *bgpic) {
    if (bgpic->spriteIndex) return bgpic->spriteIndex.get();
    try {
        auto index = std::make_unique<SpriteIndex>();
        constexpr int32_t kCell = 1 << SpriteIndex::kCellShift;
        index->columns = std::clamp((bgpic->current.width + kCell - 1) / kCell, 1, 256);
        index->rows = std::clamp((bgpic->current.height + kCell - 1) / kCell, 1, 256);
        index->cells.resize(size_t(index->columns) * size_t(index->rows));
        for (OnScreenSprite *s = bgpic->sprites; s; s = s->next) {
            s->order = ++index->nextOrder;
            index->File(s);
            index->last = s;
        }
        bgpic->spriteIndex.reset(index.release());
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    return bgpic->spriteIndex.get();
}

// Files a new or moved entry; a failure drops the index (the redraw walks the list until it is made again).
void FileEntry(BGPic *bgpic, OnScreenSprite *s, bool isNew) {
    SpriteIndex *index = IndexOf(bgpic);
    if (!index) return;
    try {
        if (isNew) {
            if (s->cellX1 >= 0) return; // filed with the list when the index was made
            s->order = ++index->nextOrder;
            index->last = s;
        } else {
            int32_t cx1, cy1, cx2, cy2;
            index->CellRange(s->x, s->y, int64_t(s->x) + s->width - 1, int64_t(s->y) + s->height - 1, &cx1, &cy1,
                             &cx2, &cy2);
            if (s->cellX1 == cx1 && s->cellY1 == cy1 && s->cellX2 == cx2 && s->cellY2 == cy2) return;
            index->Unfile(s);
        }
        index->File(s);
    } catch (const std::bad_alloc &) {
        bgpic->spriteIndex.reset();
    }
}

bool Overlap(const OnScreenSprite &a, int32_t x, int32_t y) {
    const int64_t ax2 = int64_t(a.x) + a.width - 1, ay2 = int64_t(a.y) + a.height - 1;
    const int64_t bx2 = int64_t(x) + a.width - 1, by2 = int64_t(y) + a.height - 1;
    return !(ax2 < x || bx2 < a.x || ay2 < y || by2 < a.y);
}

bool UsesComponent(const Sprite *linked, const Sprite *component) {
    return std::find(linked->links.begin(), linked->links.end(), component) != linked->links.end();
}

bool IsComponent(const Sprite *sprite) {
    for (const Sprite *s : SpriteList)
        if (UsesComponent(s, sprite)) return true;
    return false;
}

OnScreenSprite *EntryOn(const Sprite *sprite, const BGPic *bgpic) {
    for (OnScreenSprite *s : sprite->shown)
        if (s->picture == bgpic) return s;
    return nullptr;
}


// Unlinks the sprite's record from one picture and redraws its rectangle on whichever display shows the picture.
void TakeOffPicture(BGPic *bgpic, const Sprite *sprite) {
    for (OnScreenSprite **link = &bgpic->sprites; *link; link = &(*link)->next) {
        OnScreenSprite *s = *link;
        if (s->sprite != sprite->id) continue;
        *link = s->next;
        UnfileOnScreenSprite(s);
        if (CurrentDisplay && CurrentDisplay->picture == bgpic) {
            RefreshArea(s->x, s->y, s->width, s->height);
        } else {
            for (DisplayRecord *d = DisplayList; d; d = d->next)
                if (d->picture == bgpic) {
                    AddDirtyRect(&d->dirtyRects, &d->dirtyCount, &d->dirtyCapacity, s->x, s->y, s->width, s->height);
                    RefreshMergedRects(d);
                }
        }
        DeleteOnScreenSprite(s);
        return;
    }
}

// The linked sprites that use sprite, and theirs, in an order where each comes before what it links to.
void CollectDependents(Sprite *sprite, std::vector<Sprite *> *out) {
    for (Sprite *s : SpriteList)
        if (UsesComponent(s, sprite) && std::find(out->begin(), out->end(), s) == out->end()) {
            out->push_back(s);
            CollectDependents(s, out);
        }
}

// Every picture that shows the sprite, not only the display's: an entry left behind would point at freed frames.
void ReleaseSprite(Sprite *sprite) {
    while (!sprite->shown.empty()) {
        OnScreenSprite *entry = sprite->shown.back();
        TakeOffPicture(const_cast<BGPic *>(entry->picture), sprite);
        // An entry its picture's list lost some other way only needs deleting.
        if (!sprite->shown.empty() && sprite->shown.back() == entry) DeleteOnScreenSprite(entry);
    }
    FreeSpriteFramePlanes(sprite->frames);
}

constexpr ObjectRules<Sprite> kSpriteRules{.notFoundError = kErrSpriteNotFound, .release = ReleaseSprite};

} // namespace

ObjectList<Sprite> SpriteList{&kSpriteRules};

void UnfileOnScreenSprite(OnScreenSprite *s) {
    if (s->picture && s->picture->spriteIndex) s->picture->spriteIndex->Unfile(s);
}

void DeleteOnScreenSprite(OnScreenSprite *s) {
    if (s->object) std::erase(s->object->shown, s);
    UnfileOnScreenSprite(s);
    delete s;
}

void FreeSpriteFramePlanes(std::vector<ImageTriple> &frames) {
    for (ImageTriple &f : frames) {
        FreeHostBitmap(f.bitmap);
        FreeMaskPlane(f.mask);
        FreeAlphaPlane(f.alpha);
    }
    frames.clear();
}

int CreateSpriteRecord(ObjectId id, int32_t width, int32_t height, std::vector<ImageTriple> *frames,
                       const std::vector<Sprite *> *links, int32_t transparentColor, Sprite **out) {
    Sprite *sprite = new (std::nothrow) Sprite;
    if (!sprite) {
        if (frames) FreeSpriteFramePlanes(*frames);
        return kErrOutOfMemory;
    }
    sprite->width = width;
    sprite->height = height;
    sprite->transparentColor = transparentColor;
    if (frames) sprite->frames = std::move(*frames);
    if (links) sprite->links = *links;
    if (links)
        for (const Sprite *c : *links) sprite->frameCount += c->frameCount;
    else
        sprite->frameCount = int32_t(sprite->frames.size());
    if (!SpriteList.Add(sprite, id)) {
        FreeSpriteFramePlanes(sprite->frames);
        delete sprite;
        return kErrOutOfMemory;
    }
    if (out) *out = sprite;
    return 0;
}

int CreateLinkedSprite(ObjectId id, const ObjectId *components, int32_t count, Sprite **out) {
    if (count < 1) return kErrWrongUsage;
    std::vector<Sprite *> links;
    for (int32_t i = 0; i < count; i++) {
        Sprite *c = nullptr;
        if (int error = FindSprite(components[i], &c, 0)) return error;
        if (!c->links.empty()) return kErrLinkFromLink;
        if (!links.empty() && (c->width != links[0]->width || c->height != links[0]->height)) return kErrSpriteSizesDiffer;
        links.push_back(c);
    }
    return CreateSpriteRecord(id, links[0]->width, links[0]->height, nullptr, &links, -1, out);
}

int FindSprite(ObjectId id, Sprite **out, int flags) { return SpriteList.Find(id, out, flags & kFindSpriteModify); }

int FindOnScreenSprite(ObjectId id, OnScreenSprite **out) {
    *out = nullptr;
    if (const Sprite *sprite = SpriteList.Find(id); sprite && CurrentBGPic)
        if ((*out = EntryOn(sprite, CurrentBGPic))) return 0;
    return ObjectNotFound(id, kErrSpriteNotOnScreen, kErrSpriteHandleNotOnScreen);
}

void GetSpriteFrameImage(const Sprite *sprite, int32_t index, ImageTriple *out) {
    *out = ImageTriple{};
    if (index < 0) return;
    if (sprite->links.empty()) {
        if (index < int32_t(sprite->frames.size())) *out = sprite->frames[size_t(index)];
        return;
    }
    for (const Sprite *c : sprite->links) {
        if (index < c->frameCount) return GetSpriteFrameImage(c, index, out);
        index -= c->frameCount;
    }
}

int CheckSpriteOutput() {
    DisplayRecord *d = CurrentDisplay;
    if (!d || !d->picture) return kErrWrongUsage;
    if (d->outputKind == ObjectKindBrush && d->doubleBuffering) return kErrEndDoubleBufferFirst;
    if (int error = RefuseSelectedOutput(d, 1)) return error;
    if (d->layersEnabled || CountLayers(CurrentBGPic)) return kErrLayersMustBeOff;
    return 0;
}

int DrawSprite(ObjectId id, int32_t x, int32_t y, int32_t frame) {
    Sprite *sprite = nullptr;
    if (int error = FindSprite(id, &sprite, 0)) return error;
    if (frame < 0 || frame > sprite->frameCount) return AnimFrameOutOfRange(frame, sprite->frameCount);
    BGPic *bgpic = CurrentBGPic;
    if (!bgpic) return kErrWrongUsage;
    x = ResolveXPosition(x, sprite->width, bgpic->current.width, 0);
    y = ResolveYPosition(y, sprite->height, bgpic->current.height, 0);
    if (OnScreenSprite *shown = EntryOn(sprite, bgpic)) {
        const int32_t newFrame = frame ? frame : (shown->frame >= sprite->frameCount ? 1 : shown->frame + 1);
        if (newFrame == shown->frame && x == shown->x && y == shown->y) return 0;
        const int32_t oldX = shown->x, oldY = shown->y;
        const bool joined = Overlap(*shown, x, y);
        shown->frame = newFrame;
        shown->x = x;
        shown->y = y;
        FileEntry(bgpic, shown, false);
        if (joined) {
            int32_t jx, jy, jw, jh;
            JoinRects(oldX, oldY, shown->width, shown->height, x, y, shown->width, shown->height, &jx, &jy, &jw, &jh);
            RefreshArea(jx, jy, jw, jh);
        } else {
            RefreshArea(oldX, oldY, shown->width, shown->height);
            RefreshArea(x, y, shown->width, shown->height);
        }
        return 0;
    }
    OnScreenSprite *s = new (std::nothrow) OnScreenSprite;
    if (!s) return kErrOutOfMemory;
    try {
        sprite->shown.push_back(s);
    } catch (const std::bad_alloc &) {
        delete s;
        return kErrOutOfMemory;
    }
    s->sprite = sprite->id;
    s->object = sprite;
    s->picture = bgpic;
    s->x = x;
    s->y = y;
    s->width = sprite->width;
    s->height = sprite->height;
    s->frame = frame > 0 ? frame : 1;
    s->clip = bgpic->clipRegion;
    const SpriteIndex *index = IndexOf(bgpic);
    OnScreenSprite **tail = index && index->last && !index->last->next ? &index->last->next : &bgpic->sprites;
    while (*tail) tail = &(*tail)->next;
    *tail = s;
    FileEntry(bgpic, s, true);
    RefreshArea(x, y, s->width, s->height);
    return 0;
}

int FreeSpriteById(ObjectId id, int strict) {
    Sprite *sprite = nullptr;
    if (int error = FindSprite(id, &sprite, 0)) return strict ? error : 0;
    if (sprite->lockCount) return kErrObjectLocked;
    std::vector<Sprite *> doomed;
    CollectDependents(sprite, &doomed);
    // A moving linked sprite keeps its components: nothing is freed then.
    for (const Sprite *s : doomed)
        if (s->lockCount) return kErrObjectLocked;
    for (Sprite *s : doomed) SpriteList.Erase(s);
    SpriteList.Erase(sprite);
    return 0;
}

int RemoveSpriteById(ObjectId id) {
    if (int error = CheckSpriteOutput()) return error;
    Sprite *sprite = nullptr;
    if (int error = FindSprite(id, &sprite, kFindSpriteModify)) return error;
    OnScreenSprite *shown = nullptr;
    if (int error = FindOnScreenSprite(sprite->id, &shown)) return error;
    TakeOffPicture(CurrentBGPic, sprite);
    return 0;
}

int RemoveAllSprites(int keepImages) {
    if (int error = CheckSpriteOutput()) return error;
    DisplayRecord *d = CurrentDisplay;
    BGPic *bgpic = d->picture;
    for (OnScreenSprite *s = bgpic->sprites; s; s = s->next)
        if (s->object && s->object->lockCount) return kErrObjectLocked;
    if (keepImages) {
        RefreshArea(0, 0, bgpic->current.width, bgpic->current.height);
        if (d->firstBitmap && d->secondBitmap)
            SAFEBLT(d->secondBitmap, 0, 0, d->firstBitmap, 0, 0, d->firstBitmap->width, d->firstBitmap->height, 0,
                    0, 0, 0, kBlitPlain | kBlitToBitmap, nullptr, nullptr, nullptr);
    }
    while (OnScreenSprite *s = bgpic->sprites) {
        bgpic->sprites = s->next;
        UnfileOnScreenSprite(s);
        if (!keepImages) RefreshArea(s->x, s->y, s->width, s->height);
        DeleteOnScreenSprite(s);
    }
    return 0;
}

int CopySpriteById(ObjectId source, ObjectId target, Sprite **out) {
    Sprite *from = nullptr;
    if (int error = FindSprite(source, &from, 0)) return error;
    if (!IsAutoHandleRequest(target) && from->id == target) return kErrWrongUsage;
    if (!IsAutoHandleRequest(target))
        if (int error = FreeSpriteById(target, 0)) return error;
    std::vector<ImageTriple> frames;
    for (const ImageTriple &f : from->frames) {
        ImageTriple c{nullptr, nullptr, nullptr, f.width, f.height};
        if (int error = CopyImage(f.bitmap, f.mask, f.alpha, 0, 0, f.width, f.height, &c.bitmap, &c.mask, &c.alpha)) {
            FreeSpriteFramePlanes(frames);
            return error;
        }
        frames.push_back(c);
    }
    return CreateSpriteRecord(target, from->width, from->height, &frames, from->links.empty() ? nullptr : &from->links,
                              from->transparentColor, out);
}

namespace {

bool IsShownAnywhere(ObjectId id) {
    const Sprite *sprite = SpriteList.Find(id);
    return sprite && !sprite->shown.empty();
}

// Flip and scale change frames in place: refused for a sprite shown on any picture (before the lookup), a locked
// one, and for linked sprites and their components, which share frames.
int FindChangeableSprite(ObjectId id, Sprite **out) {
    if (IsShownAnywhere(id)) return kErrSpriteOnScreen;
    if (int error = FindSprite(id, out, kFindSpriteModify)) return error;
    if (!(*out)->links.empty() || IsComponent(*out)) return kErrLinkedSprite;
    return 0;
}

} // namespace

int FlipSpriteById(ObjectId id, int32_t direction) {
    Sprite *sprite = nullptr;
    if (int error = FindChangeableSprite(id, &sprite)) return error;
    for (ImageTriple &f : sprite->frames) {
        FlipParams p;
        p.pixels = f.bitmap->pixels;
        p.width = f.width;
        p.height = f.height;
        p.rowLength = f.bitmap->rowPixels;
        p.bytesPerPixel = f.bitmap->bytesPerPixel;
        if (f.mask) p.mask = f.mask->bits, p.maskBytesPerRow = f.mask->bytesPerRow;
        if (f.alpha) p.alpha = f.alpha->bytes, p.alphaBytesPerRow = f.alpha->bytesPerRow;
        p.direction = direction;
        FlipPixels(p);
    }
    return 0;
}

int ScaleSpriteById(ObjectId id, int32_t width, int32_t height, int smooth) {
    Sprite *sprite = nullptr;
    if (int error = FindChangeableSprite(id, &sprite)) return error;
    if (int error = ApplyKeepAspectRatio(sprite->width, sprite->height, &width, &height)) return error;
    if (width < 1 || height < 1) return kErrSizeNotPositive;
    // Into new planes first: a failure halfway leaves every frame as it was.
    std::vector<ImageTriple> scaled;
    for (const ImageTriple &f : sprite->frames) {
        ImageTriple n{nullptr, nullptr, nullptr, width, height};
        if (int error = ScaleImage(f.bitmap, f.mask, f.alpha, 0, 0, nullptr, f.width, f.height, width, height,
                                   smooth != 0, &n.bitmap, &n.mask, &n.alpha)) {
            FreeSpriteFramePlanes(scaled);
            return error;
        }
        scaled.push_back(n);
    }
    FreeSpriteFramePlanes(sprite->frames);
    sprite->frames = std::move(scaled);
    sprite->width = width;
    sprite->height = height;
    return 0;
}

void FreeOnScreenSprites(BGPic *bgpic) {
    const bool shown = CurrentDisplay && CurrentDisplay->picture == bgpic;
    while (OnScreenSprite *s = bgpic->sprites) {
        bgpic->sprites = s->next;
        UnfileOnScreenSprite(s);
        if (shown) RefreshArea(s->x, s->y, s->width, s->height);
        DeleteOnScreenSprite(s);
    }
}

int32_t CountSpritesOnScreen(const BGPic *bgpic) {
    int32_t n = 0;
    for (const OnScreenSprite *s = bgpic ? bgpic->sprites : nullptr; s; s = s->next) n++;
    return n;
}

int32_t CountSprites() { return int32_t(SpriteList.size()); }

void FreeAllSprites() {
    ForgetDisplayDamage();
    // Without redrawing: the displays may be going as well.
    for (Sprite *sprite : SpriteList)
        while (!sprite->shown.empty()) {
            OnScreenSprite *entry = sprite->shown.back();
            BGPic *bgpic = const_cast<BGPic *>(entry->picture);
            for (OnScreenSprite **link = &bgpic->sprites; *link; link = &(*link)->next)
                if (*link == entry) {
                    *link = entry->next;
                    break;
                }
            DeleteOnScreenSprite(entry);
        }
    SpriteList.Clear();
}

namespace {

void DrawEntry(const OnScreenSprite *s, HostBitmap *dest, int32_t x, int32_t y, int32_t width, int32_t height) {
    Sprite *sprite = s->object;
    if (!sprite && FindSprite(s->sprite, &sprite, 0)) return;
    int32_t x1 = x, y1 = y, x2 = x + width - 1, y2 = y + height - 1;
    if (s->clip) {
        x1 = std::max(x1, s->clip->x);
        y1 = std::max(y1, s->clip->y);
        x2 = std::min(x2, s->clip->x + s->clip->width - 1);
        y2 = std::min(y2, s->clip->y + s->clip->height - 1);
    }
    x1 = std::max(x1, s->x);
    y1 = std::max(y1, s->y);
    x2 = std::min(x2, s->x + s->width - 1);
    y2 = std::min(y2, s->y + s->height - 1);
    if (x1 > x2 || y1 > y2) return;
    ImageTriple f;
    GetSpriteFrameImage(sprite, s->frame - 1, &f);
    if (!f.bitmap) return;
    SAFEBLT(f.bitmap, x1 - s->x, y1 - s->y, dest, x1, y1, x2 - x1 + 1, y2 - y1 + 1, 0, 0, 0, 0,
            kBlitMasked | kBlitToBitmap, f.mask, f.alpha, s->clip);
}

bool TouchesRect(const OnScreenSprite *s, int32_t x, int32_t y, int32_t width, int32_t height) {
    return !(s->x > int64_t(x) + width - 1 || s->y > int64_t(y) + height - 1 || int64_t(s->x) + s->width - 1 < x ||
             int64_t(s->y) + s->height - 1 < y);
}

// The index's entries touching the rectangle, in list order; false when the lookup could not be made.
bool LookUpEntries(BGPic *bgpic, SpriteIndex *index, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (++index->visit == 0) {
        for (OnScreenSprite *s = bgpic->sprites; s; s = s->next) s->visit = 0;
        index->visit = 1;
    }
    int32_t cx1, cy1, cx2, cy2;
    index->CellRange(x, y, int64_t(x) + width - 1, int64_t(y) + height - 1, &cx1, &cy1, &cx2, &cy2);
    index->found.clear();
    try {
        for (int32_t cy = cy1; cy <= cy2; cy++)
            for (int32_t cx = cx1; cx <= cx2; cx++)
                for (OnScreenSprite *s : index->Cell(cx, cy)) {
                    if (s->visit == index->visit) continue;
                    s->visit = index->visit;
                    if (TouchesRect(s, x, y, width, height)) index->found.push_back(s);
                }
    } catch (const std::bad_alloc &) {
        return false;
    }
    std::sort(index->found.begin(), index->found.end(),
              [](const OnScreenSprite *a, const OnScreenSprite *b) { return a->order < b->order; });
    return true;
}

} // namespace

void RedrawSprites(BGPic *bgpic, HostBitmap *dest, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (SpriteIndex *index = bgpic->spriteIndex.get(); index && LookUpEntries(bgpic, index, x, y, width, height)) {
        for (const OnScreenSprite *s : index->found) DrawEntry(s, dest, x, y, width, height);
        return;
    }
    for (const OnScreenSprite *s = bgpic->sprites; s; s = s->next)
        if (TouchesRect(s, x, y, width, height)) DrawEntry(s, dest, x, y, width, height);
}
