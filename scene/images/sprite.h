// Sprites: frame sets shown over a picture without touching it. A linked sprite borrows its frames from other
// sprites in turn. Every shown sprite has an OnScreenSprite on its picture, drawn by the compositor after the
// layers.
#pragma once

#include <cstdint>
#include <vector>

#include "host/bitmap.h"
#include "runtime/app/object_list.h"
#include "runtime/vm/vm.h"

struct BGPic;
struct OnScreenSprite;

struct Sprite {
    ObjectId id{}; // an automatic handle is the record itself
    int32_t width = 0, height = 0;
    int32_t frameCount = 0; // a linked sprite: the sum of its components' counts
    int32_t lockCount = 0;  // running moves; while non-zero the sprite can be neither changed nor freed
    int32_t transparentColor = -1;
    std::vector<ImageTriple> frames; // owned planes; empty for a linked sprite
    std::vector<Sprite *> links;     // components of a linked sprite, in order
    std::vector<OnScreenSprite *> shown; // its entries, one on each picture that shows it
};

extern ObjectList<Sprite> SpriteList;

constexpr int kFindSpriteModify = kFindModify;

// Frees the planes of every frame and empties the list.
void FreeSpriteFramePlanes(std::vector<ImageTriple> &frames);
// Appends a record taking the frames over (freed on failure). An automatic id gets the record as handle. 0 or
// kErrOutOfMemory.
int CreateSpriteRecord(ObjectId id, int32_t width, int32_t height, std::vector<ImageTriple> *frames,
                       const std::vector<Sprite *> *links, int32_t transparentColor, Sprite **out = nullptr);
// A linked sprite over the listed sprites (all of one size): kErrSpriteNotFound/kErrObjectNotFound, kErrWrongUsage without any,
// kErrLinkFromLink for a linked component, kErrSpriteSizesDiffer for components of different sizes.
int CreateLinkedSprite(ObjectId id, const ObjectId *components, int32_t count, Sprite **out = nullptr);
// 0, kErrSpriteNotFound (number) or kErrObjectNotFound (handle); kErrObjectLocked for a locked sprite with
// kFindSpriteModify.
int FindSprite(ObjectId id, Sprite **out, int flags);
// The sprite's record on CurrentBGPic: 0, kErrSpriteNotOnScreen (number) or kErrSpriteHandleNotOnScreen (handle).
int FindOnScreenSprite(ObjectId id, OnScreenSprite **out);
// Frame index from 0; the outputs are cleared first and stay null beyond the last frame.
void GetSpriteFrameImage(const Sprite *sprite, int32_t index, ImageTriple *out);
// Takes an entry unlinked from its picture's list out of the picture's index too, before its area is redrawn.
void UnfileOnScreenSprite(OnScreenSprite *entry);
// Unlinked from its picture's list already: forgets the entry on its sprite and its index and deletes it.
void DeleteOnScreenSprite(OnScreenSprite *entry);
// Shows, animates or moves a sprite on CurrentBGPic (frame 0 advances and wraps). Its refreshes go to the display
// damage while DeferDisplayRefreshes is set (scene/layers/layers.h), which whoever batches must flush before
// anything else draws on or reads the display.
int DrawSprite(ObjectId id, int32_t x, int32_t y, int32_t frame);
// strict 0: a missing sprite is no error (kErrObjectLocked still is).
int FreeSpriteById(ObjectId id, int strict);
// The refusals every command that draws sprites on the display shares.
int CheckSpriteOutput();
int RemoveSpriteById(ObjectId id);
int RemoveAllSprites(int keepImages);
int CopySpriteById(ObjectId source, ObjectId target, Sprite **out = nullptr);
int FlipSpriteById(ObjectId id, int32_t direction);
int ScaleSpriteById(ObjectId id, int32_t width, int32_t height, int smooth);
int32_t CountSprites();
// The sprites shown on a picture (0 without one).
int32_t CountSpritesOnScreen(const BGPic *bgpic);
void FreeAllSprites();
// Draws the sprites of bgpic that lie in the rectangle (the compositor's hook).
void RedrawSprites(BGPic *bgpic, HostBitmap *dest, int32_t x, int32_t y, int32_t width, int32_t height);
