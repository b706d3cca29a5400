// The records that hang on a background picture: its layers, its buttons and the sprites shown on it. The layer,
// event and sprite code fill in their behaviour; until then the free functions at the end are the minimal
// versions the picture and display code need (free, reset, redraw the picture without layers).
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "imaging/clip_region.h"
#include "imaging/display_options.h"
#include "runtime/app/utilities.h"
#include "runtime/vm/vm.h"

struct BGPic;
struct Sprite;
struct DisplayRecord;
struct ShapeRecord;

// One state of a layer: the rendered image and where it goes, then the kind's tail. Image kinds (BRUSH,
// BRUSHPART, BGPICPART) use the part offset, anims the frame; shapes own their record (vertex array included),
// TEXTOUT and PRINT an opaque block of the text code. Every copy duplicates its tail; each block is freed once.
struct LayerDrawParams {
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    HostBitmap *xfBitmap = nullptr;
    MaskPlane *xfMask = nullptr;
    AlphaPlane *xfAlpha = nullptr;
    ClipRegion *clip = nullptr;
    int32_t x = 0, y = 0;
    int32_t width = 0, height = 0;
    int32_t screenX = 0, screenY = 0;
    int32_t anchoredX = 0, anchoredY = 0;
    int32_t screenWidth = 0, screenHeight = 0;
    int32_t boundsX1 = 0, boundsY1 = 0, boundsX2 = 0, boundsY2 = 0;
    int32_t partX = 0, partY = 0;
    int32_t frame = 0;
    int32_t frameCount = 0; // ANIM
    int32_t animData = 0;   // ANIM: the anim code's own word
    ShapeRecord *shape = nullptr; // shapes: owned
    void *textBlock = nullptr;    // TEXTOUT, PRINT: owned, copied and freed through the text services
};

// A layer of a background picture's layer list; the list node comes first so a node is its layer.
struct vlLayer {
    ListNode node;
    int32_t type = 0; // ObjectKind
    ObjectId source{};
    ObjectId origin{};
    int32_t hidden = 0;
    int32_t deferred = 0;
    int32_t transparency = 0;
    int32_t tint = 0;
    uint32_t tintColor = 0;
    char *name = nullptr;
    int32_t inTransition = 0;
    int32_t rescaleNotify = 0;
    int32_t bgpicEffect = 0; // shown by a background-picture-only transition of an emulated picture
    int32_t keepClip = 0;
    DisplayTransform transform;
    double anchorX = 0, anchorY = 0;
    LayerDrawParams *first = nullptr, *saved = nullptr, *current = nullptr;
};
inline vlLayer *LayerOfNode(ListNode *node) { return reinterpret_cast<vlLayer *>(node); }

// Button types.
constexpr int32_t SIMPLEBUTTON = 0;
constexpr int32_t LAYERBUTTON = 1;

// Bits of vlBGPicButton::state.
constexpr int32_t kButtonLeftPressed = 1;
constexpr int32_t kButtonRightPressed = 2;
constexpr int32_t kButtonMiddlePressed = 4;
constexpr int32_t kButtonPressedMask = 7;
constexpr int32_t kButtonOver = 8;

// A button of a background picture (the event code fills the rest of its behaviour).
struct vlBGPicButton {
    vlBGPicButton *next = nullptr;
    int32_t type = SIMPLEBUTTON;
    ObjectId id{};
    int32_t x = 0, y = 0, width = 0, height = 0; // a LAYERBUTTON has 0, 0, 0, 0
    int32_t state = 0;    // hover and press state the event dispatch keeps
    int32_t disabled = 0;
    VMState *vm = nullptr;                      // whose registry holds the references below
    int32_t functionRef = -1, userdataRef = -1; // registry references of the callback table
    // LAYERBUTTON only. Whoever deletes the layer frees its button first (RemoveLayerButtons).
    vlLayer *layer = nullptr;
    int32_t pixelExact = 0;       // hit only where the layer's image is visible
    int32_t activeWhenHidden = 0; // the button works while its layer is hidden
};

// A sprite shown on a picture. The list is the drawing order.
struct OnScreenSprite {
    OnScreenSprite *next = nullptr;
    ObjectId sprite{};
    Sprite *object = nullptr;        // the sprite itself, so drawing needs no lookup by id
    const BGPic *picture = nullptr; // the picture whose list holds the entry
    int32_t x = 0, y = 0, width = 0, height = 0;
    int32_t frame = 0;
    ClipRegion *clip = nullptr;
    // The picture's sprite index (scene/images/sprite.cpp): the place in the list as a number, the cells the
    // entry is filed in (cellX1 -1: not filed) and the last lookup that met it.
    uint64_t order = 0;
    int32_t cellX1 = -1, cellY1 = 0, cellX2 = 0, cellY2 = 0;
    uint32_t visit = 0;
};

// Files a picture's on-screen sprites by area, so a redraw meets only the entries near its rectangle.
struct SpriteIndex;
struct SpriteIndexDeleter {
    void operator()(SpriteIndex *index) const;
};

// ---- The layer engine (scene/layers/)
// ------------------------------------------------------------------------------
void FreeLayerDrawParams(LayerDrawParams *params); // its planes, an owned clip copy and its tail
void FreeLayer(vlLayer *layer);                    // unlinked already; each state freed once, and the name
void FreeBGPicLayers(DisplayRecord *display, BGPic *bgpic, int flushPending, int removeButtons);
int32_t CountLayers(const BGPic *bgpic);
// Inserts a layer of kind on CurrentBGPic from the first state params (taken over, freed on failure with the
// image): defaultInsertPos -1 on top, else 1-based; flags bit 1 hidden. 0 or kErrOutOfMemory.
int AddLayer(VMState *vm, int32_t kind, const ObjectId *objectId, int32_t screenX, int32_t screenY,
             int32_t screenWidth, int32_t screenHeight, const DisplayTransform *transform,
             const LayerOptions *options, HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha,
             LayerDrawParams *params, int32_t defaultInsertPos, int32_t flags);
// Composes a rectangle of the picture with its visible layers and sprites into destination (flags in
// scene/layers/layers.h).
void REDRAW(DisplayRecord *display, BGPic *bgpic, HostBitmap *destination, int32_t x, int32_t y, int32_t width,
            int32_t height, int32_t unused, int32_t flag);
int RebuildBGPicLayers(VMState *vm, DisplayRecord *display, BGPic *bgpic);
// Redraws the display's dirty list and empties it.
void RefreshMergedRects(DisplayRecord *display);
// The layer's covered rectangle joined with oldRect {x, y, width, height} (may be null).
void RefreshLayerArea(vlLayer *layer, const int32_t *oldRect);
int UpdateLayerImage(VMState *vm, vlLayer *layer, int32_t mode);
// Refreshes the area they covered when the picture is on the current display (scene/images/sprite.cpp).
void FreeOnScreenSprites(BGPic *bgpic);
