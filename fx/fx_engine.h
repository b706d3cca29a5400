// The transition engine: the request record one transition runs on, the phases every effect family goes through,
// the speed rule and the small drawing routines the families share.
//
// The engine runs a transition in phases: phase 0 once (the family's Setup: allocate the state, turn the speed into
// a step, set frameCount and the run; no drawing), then phase 1 once per frame, and, for effects with
// kFxDirectFrame, phase 2 to draw the picture after `frame` frames at once (a seek). In phases 1 and 2 the engine
// works out the position from the run, ends the run when it reaches the end, calls the family's Draw and closes
// each phase-1 frame.
#pragma once

#include <cstdint>
#include <type_traits>

#include "host/bitmap.h"
#include "host/memory.h"
#include "runtime/vm/vm.h"

struct BGPic;
struct vlLayer;
struct LayerDrawParams;
struct ClipRegion;
struct FxRequest;
struct FxEffectRow;

// Phase 0: 0 or an error.
using FxSetupFn = int (*)(FxRequest *request);
// Draws the picture at a position: 0, an error, or kFxLastFrame when the family ends the run itself.
using FxDrawFn = int (*)(FxRequest *request, int32_t position);
constexpr int kFxLastFrame = -1;
// flag 1 after a blocking run released normally, else 0. Frees what the state owns, never the state block.
using FxFinishFn = void (*)(FxRequest *request, int flag);

struct FxFamily {
    FxSetupFn setup;
    FxDrawFn draw;
    FxFinishFn finish; // null: none
};

// The position a frame draws is origin + n * advance, n the frames played with it (phase 1: frame + 1, phase 2:
// frame), held at end; reaching end makes it the last frame. Left as it is, the position is n.
struct FxRun {
    int32_t origin = 0;
    int32_t advance = 1;
    int32_t end = INT32_MAX;
};

// Modes: the object kind of what a transition does.
constexpr int32_t kFxModeBGPic = 1;
constexpr int32_t kFxModeBrush = 3;
constexpr int32_t kFxModeTextObject = 8;
constexpr int32_t kFxModeBGPicPart = 13;
constexpr int32_t kFxModeLayer = 22;
constexpr int32_t kFxModeHideLayer = 25;
constexpr int32_t kFxModeRemoveLayer = 26;

constexpr int32_t kFxRandomEffect = 140;
constexpr int32_t kFxNoEffectId = 113; // no effect has it; scripts that pass it get a random one
constexpr int32_t kFxEffectIdCount = 140;
constexpr int32_t kFxRandomParameter = -1;
constexpr int32_t kFxPositionAbsent = 99999;

struct FxRequest {
    VMState *vm = nullptr;
    vlLayer *layer = nullptr;
    HostBitmap *target = nullptr; // null: the current output
    const FxEffectRow *row = nullptr; // the effect's row: its family and variant
    FxRun run;
    int32_t mode = 0;
    int32_t effect = kFxRandomEffect;
    ObjectId object{};
    int32_t x = 0, y = 0;
    int32_t step = -1; // the script's speed in; the set-up's step out
    int32_t speed = -1;
    int32_t parameter = kFxRandomParameter;
    int32_t width = 0, height = 0;
    int32_t outWidth = 0, outHeight = 0;
    int32_t undoKind = 0;
    int32_t undoLevel = 1;
    HostBitmap *newImage = nullptr;
    HostBitmap *oldImage = nullptr;
    HostBitmap *displayOldImage = nullptr;
    MaskPlane *newMask = nullptr;
    AlphaPlane *newAlpha = nullptr;
    int32_t layerPrepared = 0;
    int32_t savedPartX = 0, savedPartY = 0;
    int32_t layerX = 0, layerY = 0;
    BGPic *savedBGPic = nullptr;
    int32_t ownsImage = 0, ownsMask = 0, ownsAlpha = 0;
    int32_t partX = 0, partY = 0;
    int32_t useLayers = 0;
    int32_t reverse = 0;
    int32_t bltFlags = 0;
    int32_t scaledDisplay = 0;
    int32_t async = 0;
    int32_t redo = 0;
    int32_t aborted = 0;
    int32_t realtimeLayer = 0;
    int32_t forceRealtimeLayers = 0;
    int32_t restoreLayer = 0, deleteLayer = 0;
    int32_t *useCount = nullptr;
    int32_t posX = kFxPositionAbsent, posY = kFxPositionAbsent;
    int32_t bgpicEmu = 0;
    BGPic *emuBGPic = nullptr;
    void *state = nullptr;
    MaskPlane *workMask = nullptr;
    AlphaPlane *workAlpha = nullptr;
    int32_t phase = 0;
    int32_t frame = 0;
    int32_t frameCount = 0;
    int32_t noPresent = 0;
    int32_t resetting = 0;
    int32_t ended = 0;
    // The front end's record: the frame loop sets its redo.
    FxRequest *caller = nullptr;
    // Rectangles uploaded to the window in this frame, shown together at its end.
    int32_t uploadedRects = 0;
    // Past the first few, a frame's rectangles go up as one at its end: their bounding box [left, right) x
    // [top, bottom), empty while right <= left.
    int32_t pendingLeft = 0, pendingTop = 0, pendingRight = 0, pendingBottom = 0;
    // The layer was made by this transition (a brush or picture part shown through a layer).
    int32_t ownsLayer = 0;
    // Real-time layer: the state that shows the working images, and the images it had before.
    LayerDrawParams *preparedState = nullptr;
    HostBitmap *keptBitmap = nullptr, *keptXfBitmap = nullptr;
    MaskPlane *keptMask = nullptr, *keptXfMask = nullptr;
    AlphaPlane *keptAlpha = nullptr, *keptXfAlpha = nullptr;
    // A layer drawn as whole frames shows them untinted: its tint goes into the new image for the run.
    int32_t keptTint = 0;
    // Real-time layer drawn as whole frames: the family draws as on a plain target of the layer's size into the
    // layer's bitmap (x, y 0), over what lies beneath the layer.
    int32_t frameRoad = 0;
    // A hide that plays the showing's frames from the last to the first (the picture backs out).
    int32_t backwards = 0;
    // A whole-frame real-time layer drew this frame: its area is shown at the frame's end.
    int32_t layerDirty = 0;
};

// ---- Phases ------------------------------------------------------------------------------------------------------
// Runs the request's phase of its family; *done (may be null outside phase 1) is set on the last frame.
int RunFxPhase(FxRequest *request, int *done);
// The family's finish, if any, then the state block freed.
void FreeFxState(FxRequest *request, int flag);

// ---- Speed rule --------------------------------------------------------------------------------------------------
// How an effect turns the script's speed into its step; effect_table.h names one per effect. NORMALSPEED (-1),
// FASTSPEED (-2) and SLOWSPEED (-3) divide the basis by `named` (with kFxFixed they are the step); any other speed
// is the step. The step is at least 1, then kept under its bound from `along`, the size the position runs across,
// then to [low, high]: low stays 1 or more, as a bound of 0 (tiny pictures) would never end.
enum FxSpeedBasis : int8_t {
    kFxAlong,   // the size the position runs across
    kFxWidth,   // the area's width
    kFxLongest, // the area's longer side
    kFxFixed,   // none: the named speeds give the step itself
};
// A step over its bound is cut to it; over a OneOver bound it starts again at 1.
enum FxStepBound : int8_t {
    kFxNoBound,
    kFxBelowSize, // along - 1
    kFxHalf,      // along / 2
    kFxQuarter,   // along / 4
    kFxSize,      // along
    kFxTwice,     // 2 x along
    kFxOneOverHalf,
    kFxOneOverQuarter,
};
// What a speed other than the named ones gives.
enum FxOtherSpeed : int8_t {
    kFxIsStep,
    kFxFifths,       // the step in fifths: speed / 5
    kFxBelow1Normal, // the step, but below 1 it counts as NORMALSPEED
};
struct FxSpeedRule {
    FxSpeedBasis basis = kFxFixed;
    int16_t named[3] = {}; // for NORMALSPEED, FASTSPEED, SLOWSPEED
    FxStepBound bound = kFxNoBound;
    int32_t low = 1, high = INT32_MAX;
    FxOtherSpeed other = kFxIsStep;
};
int32_t FxSpeedStep(const FxSpeedRule &rule, int32_t speed, int32_t along, int32_t width, int32_t height);
// 1 for size <= 0; else ceil(size / step), plus 1 when flag is 0.
int32_t EffectStepCount(int32_t size, int32_t step, int32_t flag);
// The usual run of a family that grows from 0 to size by request->step: its frame count and its run.
void SetFxRunToSize(FxRequest *request, int32_t size);
// The effect that plays id backwards: its row's Reverse (curtain and reveal pairs, RECT <-> RECTBACK); an id
// without a row is returned unchanged.
int32_t ReverseEffect(int32_t id);

// ---- State blocks ------------------------------------------------------------------------------------------------
// A family's state is a plain struct in a cleared block that the engine frees after the finish function.
template <class State> State *AllocFxState(FxRequest *request) {
    static_assert(std::is_trivial_v<State>, "an effect state is a plain record in a cleared block");
    auto *state = static_cast<State *>(AllocBlock(sizeof(State), 1));
    request->state = state;
    return state;
}
template <class State> State *FxState(FxRequest *request) { return static_cast<State *>(request->state); }

// ---- Drawing -----------------------------------------------------------------------------------------------------
// The output a plain-target frame draws into (target, else the current output bitmap); null when there is none.
HostBitmap *FxOutputBitmap(const FxRequest *request);
// The picture's clip region for drawing into the output; none inside a real-time layer's own bitmap.
const ClipRegion *FxClipRegion(const FxRequest *request);
// Puts the rectangle (sx, sy, w, h) of the new image at the same place of the effect's area: into the output at
// (x + sx, y + sy) through the new image's mask and alpha, clipped to the image and the output, and uploads it to
// the window unless noPresent is set. A real-time layer draws into the layer's images instead.
void DrawFxNewRect(FxRequest *request, int32_t sx, int32_t sy, int32_t width, int32_t height);
// Puts a whole picture of the effect's size (a composed frame) at (x, y) of the output with flags, and uploads.
void DrawFxPicture(FxRequest *request, const HostBitmap *picture, int32_t flags);
// Ends a phase-1 frame: shows what was uploaded (or the whole scaled display) unless noPresent, frame + 1.
void FinishFxFrame(FxRequest *request);
// Uploads a rectangle of the output bitmap to the current display's window; shown by FinishFxFrame.
void UploadFxOutputRect(FxRequest *request, int32_t x, int32_t y, int32_t width, int32_t height);

// DrawFxRect flags.
constexpr int32_t kFxRectMaskVisible = 1; // combine the mask as visible, or copy only non-zero alpha
constexpr int32_t kFxRectThroughMask = 2; // copy pixels through the mask or alpha plane
constexpr int32_t kFxRectClear = 4;       // clear the destination planes, copy no pixels
constexpr int32_t kFxRectNoPresent = 8;
constexpr int32_t kFxRectKeepWork = 16; // leave workMask / workAlpha alone

// One rectangle of source into a destination bitmap with its planes (a real-time layer's images). A negative
// source x or y draws nothing; the rest is clipped to both sizes.
void DrawFxRect(const HostBitmap *source, int32_t sx, int32_t sy, HostBitmap *destination, MaskPlane *destinationMask,
                AlphaPlane *destinationAlpha, int32_t dx, int32_t dy, int32_t width, int32_t height,
                int32_t sourceWidth, int32_t sourceHeight, int32_t destinationWidth, int32_t destinationHeight,
                const MaskPlane *sourceMask, const AlphaPlane *sourceAlpha, FxRequest *request, int32_t flags);
// Shows a rectangle of a drawn source on the display at (displayX, displayY).
void PresentFxRect(FxRequest *request, const HostBitmap *source, int32_t sx, int32_t sy, int32_t displayX,
                   int32_t displayY, int32_t width, int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                   const MaskPlane *sourceMask, const AlphaPlane *sourceAlpha, int32_t flags);
// Fills a rectangle of the effect's area with a 0x00RRGGBB colour in the output and shows it.
void FillFxRect(FxRequest *request, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour,
                int32_t flags);
// A BLTBITMAP whose negative coordinates shift the other side, cut to both sizes.
void ClippedCopyRect(const HostBitmap *source, int32_t sx, int32_t sy, HostBitmap *destination, int32_t dx,
                     int32_t dy, int32_t width, int32_t height, int32_t sourceWidth, int32_t sourceHeight,
                     int32_t destinationWidth, int32_t destinationHeight);
// Fills an alpha plane from a mask (255 / 0), else copies an alpha plane, else sets every byte (padding too) to 255.
void BuildFxAlpha(AlphaPlane *destination, const MaskPlane *sourceMask, const AlphaPlane *sourceAlpha, int32_t width,
                  int32_t height);
