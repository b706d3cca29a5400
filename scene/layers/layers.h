// The layer engine: layers of a background picture (record, states, insertion, lookup, deletion), the
// compositor that redraws changed rectangles, and the transforms that re-render a layer's states. The record
// itself and the functions the picture code already calls are declared in scene/images/scene_objects.h.
#pragma once

#include <cstdint>

#include "runtime/app/command.h"
#include "scene/display/display_record.h"
#include "scene/images/bgpic.h"
#include "scene/images/output.h"

// SetLayerPosition: a coordinate of 100000 stays as it is.
constexpr int32_t USELAYERPOSITION = 100000;

// Layer positions follow the readers' rule for coordinates (runtime/app/command.h).
constexpr int32_t kMaxLayerCoordinate = kMaxCoordinate;
inline int32_t ClampLayerCoordinate(int64_t v) { return ClampCoordinate(v); }

// AddLayer flags.
constexpr int32_t kAddLayerHidden = 1;
constexpr int32_t kAddLayerDisplayScaled = 2; // render the display-scaled state now
constexpr int32_t kAddLayerNew = 4;           // no old rectangle
constexpr int32_t kAddLayerReplace = 8;       // replace the layer now at the insert position

// UpdateLayerImage modes.
constexpr int32_t kUpdateDisplayScaled = 1;
constexpr int32_t kUpdateNoRefresh = 2;
constexpr int32_t kUpdateNewLayer = 4;

// REDRAW flags.
constexpr int32_t kRedrawNoSprites = 1;
constexpr int32_t kRedrawSpritesOnly = 2;
constexpr int32_t kRedrawFromDisplayBitmap = 4;
constexpr int32_t kRedrawFromPictureBitmap = 8;
constexpr int32_t kRedrawUnscaled = 16;

// A growable list of inclusive rectangles, of the same form as the display's dirty list.
struct LayerRectList {
    DirtyRect *rects = nullptr; // AllocBlock
    int32_t count = 0, capacity = 0;
};
constexpr int32_t kRectListGrowth = 1024;

// ---- Rectangles and the compositor --------------------------------------------------------------------------
int RectsOverlap(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
// Appends {x, y, x + width - 1, y + height - 1}; a failed growth drops the rectangle.
void AddDirtyRect(DirtyRect **rects, int32_t *count, int32_t *capacity, int32_t x, int32_t y, int32_t width,
                  int32_t height);
void AddDirtyRect(LayerRectList *list, int32_t x, int32_t y, int32_t width, int32_t height);
// Merges overlapping rectangles in one pass and refreshes each remaining one with RefreshArea.
void RefreshMergedRects(DirtyRect *rects, int32_t count);
void RefreshMergedRects(LayerRectList *list);
// Composes a rectangle of the current display's picture into its second bitmap and shows it.
void RefreshArea(int32_t x, int32_t y, int32_t width, int32_t height);
// Composes each inclusive rectangle (cut to the picture) into the display's second bitmap and shows them all
// with one present; no RefreshArea is counted.
void ComposeDisplayRects(DisplayRecord *display, const DirtyRect *rects, int32_t count);
// The display damage: rectangles of the current display asked to refresh in a batch (counted as refreshes by
// the caller), kept as 16-pixel tiles until FlushDisplayDamage composes them in one pass. Add gives false when it
// cannot keep one (refresh it at once then). Forget drops them unseen (shutdown).
bool AddDisplayDamage(int32_t x, int32_t y, int32_t width, int32_t height);
void FlushDisplayDamage();
// Flushes damage kept for a frame's time already (a batching command calls it first).
void FlushOldDisplayDamage();
void ForgetDisplayDamage();
// While set, the current display's refreshes go to the display damage (a command drawing in a batch sets it for
// its own run and sets the barrier that flushes the damage).
extern bool DeferDisplayRefreshes;
// Runs a command that draws in a batch (DisplaySprite, the layer moves and styles) with the current display's
// refreshes kept as damage, composed once for a run of such commands before the next command keep does not let
// pass. The barrier is set again on the way out, error or not: script code the command ran (a metamethod reading
// its table) may have flushed it.
template <class Change> int InDisplayBatch(VMState *vm, bool (*keep)(const char *command), Change change) {
    struct Scope {
        VMState *vm;
        bool (*keep)(const char *);
        Scope(VMState *v, bool (*k)(const char *)) : vm(v), keep(k) {
            FlushOldDisplayDamage();
            DeferDisplayRefreshes = true;
        }
        ~Scope() {
            DeferDisplayRefreshes = false;
            SetCommandBarrier(vm, FlushDisplayDamage, keep);
        }
    } scope(vm, keep);
    return change();
}
// At once while the display is the output, into the dirty list while a picture is, else nothing.
void RefreshRect(int32_t x, int32_t y, int32_t width, int32_t height);
// The join of two rectangles {x, y, width, height}.
void JoinRects(int32_t x1, int32_t y1, int32_t w1, int32_t h1, int32_t x2, int32_t y2, int32_t w2, int32_t h2,
               int32_t *x, int32_t *y, int32_t *width, int32_t *height);
int IsLayerUncovered(BGPic *bgpic, const vlLayer *layer);
// RefreshArea calls so far, with the sprite rectangles drawn in a batch counted when they are asked for (the
// scene script runner's TestRefreshCount reads it).
extern int64_t RefreshAreaCount;
// Every blit the compositor makes, before it is made; null in normal runs (the benchmark records through it).
extern void (*CompositorBlitTraceHook)(const HostBitmap *src, int32_t sx, int32_t sy, HostBitmap *dst, int32_t dx,
                                       int32_t dy, int32_t width, int32_t height, int32_t flags,
                                       const MaskPlane *mask, const AlphaPlane *alpha, const ClipRegion *clip);

// Draws the sprites of a picture that lie in the rectangle (the sprite code sets it).
extern void (*RedrawSpritesHook)(DisplayRecord *display, BGPic *bgpic, HostBitmap *dest, int32_t x, int32_t y,
                                 int32_t width, int32_t height);

// 1 when the two objects share an opaque pixel: each a rectangle with optional mask and alpha plane (read at
// its offset) and an optional clip region.
int PixelOverlap(int32_t ax, int32_t ay, int32_t aw, int32_t ah, const MaskPlane *amask, const AlphaPlane *aalpha,
                 int32_t aox, int32_t aoy, int32_t bx, int32_t by, int32_t bw, int32_t bh, const MaskPlane *bmask,
                 const AlphaPlane *balpha, int32_t box, int32_t boy, const ClipRegion *aclip,
                 const ClipRegion *bclip);
// The same answer a 64-pixel word at a time (Collision uses it).
int PixelOverlapFast(int32_t ax, int32_t ay, int32_t aw, int32_t ah, const MaskPlane *amask,
                     const AlphaPlane *aalpha, int32_t aox, int32_t aoy, int32_t bx, int32_t by, int32_t bw,
                     int32_t bh, const MaskPlane *bmask, const AlphaPlane *balpha, int32_t box, int32_t boy,
                     const ClipRegion *aclip, const ClipRegion *bclip);

// ---- Records ------------------------------------------------------------------------------------------------
LayerDrawParams *CopyLayerDrawParams(int32_t kind, const LayerDrawParams *params); // images and clip cleared
void FreeLayerDrawParamsOfKind(int32_t kind, LayerDrawParams *params);
// Removes one layer: its area is refreshed (into rectList when given) unless noRefresh, its button goes, its
// states and name are freed, and the objects whose free waited for it are flushed.
void DeleteLayer(VMState *vm, vlLayer *layer, int noRefresh, int32_t *outX, int32_t *outY, int32_t *outWidth,
                 int32_t *outHeight, LayerRectList *rectList);
int GetLayerImage(const vlLayer *layer, const LayerDrawParams *params, int wantTransformed, int32_t frame,
                  HostBitmap **outBitmap, MaskPlane **outMask, AlphaPlane **outAlpha, int32_t *outWidth,
                  int32_t *outHeight, int32_t *outTypeData);
// Moves the layer (flag 1: x relative, 2: y relative) and refreshes the old and new areas.
void SetLayerPosition(vlLayer *layer, const int32_t *oldRect, int32_t x, int32_t y, int noRefresh, int32_t flags,
                      LayerRectList *rectList);
// The drawing routines' report of a rendered state: covered rectangle and image; oldRect {x, y, w, h, noRefresh}.
int UpdateLayerGeometry(vlLayer *layer, LayerDrawParams *params, const int32_t *oldRect, int32_t x, int32_t y,
                        int32_t width, int32_t height, HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha);
int InsertObjectLayer(VMState *vm, DisplayRecord *display, int32_t insertPos, int32_t kind, ObjectId id, int32_t x,
                      int32_t y, int noRefresh, int forMove, vlLayer **outLayer);
// 0 when no layer of bgpic but except has the name (in any case), else kErrLayerNameTaken with a note naming it.
int CheckLayerNameFree(const BGPic *bgpic, const char *name, const vlLayer *except);
// Moves a layer to a 1-based position (0: on top); 1 when the list changed.
int MoveLayerInZOrder(vlLayer *layer, int32_t position);

// SelectLayer's target: the layer at a 1-based position of CurrentBGPic gets a private copy of its brush or anim,
// whose image (the 1-based frame of an anim) is returned with its plane slots. 0, kErrLayerOutOfRange,
// kErrLayerAsyncDrawRender or the copy's error.
int PrepareLayerForSelect(VMState *vm, int32_t position, int32_t frame, LayerSelectSource *out);

// Lookups in CurrentBGPic.
vlLayer *GetNthLayer(BGPic *bgpic, int32_t n);
// Marks a layer as drawn by a running effect, or no longer; LayersInTransition counts the marked layers, so the
// style setter looks for them only while there are any.
void SetLayerInTransition(vlLayer *layer, int on);
extern int32_t LayersInTransition;
int32_t FindLayerByName(const char *name); // position or 0
// Bumped wherever a layer gets or loses its name, so that the lookup by name knows its table is stale.
extern uint64_t LayerNameChanges;
int32_t GetLayerIndex(const vlLayer *layer); // position or -1
// A layer argument: a number, or a name (kErrLayerNameNotFound with the name); other types raise
// kErrStringOrNumberExpected.
int32_t CheckLayerArg(VMState *vm, int argIndex);
// The layers library's Collision command.
int CollisionCommand(VMState *vm);
// Its sprite case: the sprites' current frames where they are shown on CurrentBGPic. 0 or the lookup's error.
int SpritesCollide(ObjectId first, ObjectId second, int *hit);
// The move queues: AddMove, DoMove and ClearMove; the queues go with the layers library.
int AddMoveCommand(VMState *vm);
int DoMoveCommand(VMState *vm);
int ClearMoveCommand(VMState *vm);
void FreeAllMoveQueues();
// The same without raising: 0 and the position, or the error.
int ReadLayerArg(VMState *vm, int argIndex, int32_t *position);

// ---- Displays -----------------------------------------------------------------------------------------------
int EnableDisplayLayers(DisplayRecord *display);
int ResetLayerScaling(DisplayRecord *display, BGPic *bgpic, int rebuild);
// The display's layer scaling is on with a scaled size and factors other than 1.
bool DisplayScalesLayers(const DisplayRecord *display);

// The shape tail: a copy with its own vertex array (null when out of memory), its free, its rendered image.
ShapeRecord *CopyShapeRecord(const ShapeRecord *shape);
void FreeShapeRecord(ShapeRecord *shape);
int RenderShapeLayerImage(const ShapeRecord *shape, const DisplayTransform &transform, ImageTriple *out,
                          int32_t *offsetX, int32_t *offsetY);
// The first state's upright image and its offset; only its size for a layer shown through a transform, whose
// shown image is the turned one (SelectLayer renders the upright one when it needs it), so that a huge shape
// is not held twice.
int RenderFirstShapeImage(const ShapeRecord *shape, const DisplayTransform &transform, ImageTriple *out,
                          int32_t *offsetX, int32_t *offsetY);
// The draw commands' error for a shape beyond the renderer's size limit, naming the limit.
[[noreturn]] void RaiseShapeLayerSizeLimit(VMState *vm);

// ---- Transforms ---------------------------------------------------------------------------------------------
void ClassifyTransformMatrix(DisplayTransform *transform);
int DecomposeTransformMatrix(const double matrix[4], double *outScaleX, double *outScaleY);
int DrawLayer(VMState *vm, vlLayer *layer, LayerDrawParams *params, const int32_t *oldRect,
              const DisplayTransform &transform, int32_t flags);

// The layer side of drawing an image object while layers are on (brushes, brush parts, picture parts, anims).
int DisplayImageObjectLayer(VMState *vm, int32_t kind, ObjectId id, int32_t partX, int32_t partY, int32_t x,
                            int32_t y, int32_t width, int32_t height, const DisplayTransform &transform,
                            const LayerOptions &options);
// Draws a layer AddLayer just put on top (count: the layers before it) when nothing else had to be redrawn.
void ShowNewLayerOnTop(DisplayRecord *display, BGPic *bgpic, int32_t count, const LayerOptions &options);
// A shape of kind as a layer (the shape record taken over, freed on failure): box width x height at x, y, which may
// be position constants resolved against that box.
int AddShapeLayer(VMState *vm, int32_t kind, ShapeRecord *shape, int32_t x, int32_t y, int32_t width, int32_t height,
                  const DisplayTransform &transform, const LayerOptions &options);
// Sets the hooks through which the picture, brush, event and runtime code reach the layer engine.
void InstallLayerHooks();
