// The move engine: an object (brush, anim, text object, layer, sprite, or a transition's layer or image) runs
// from one point to another one step per frame, optionally along a motion curve. A move runs to its end inside
// the command, becomes an async draw object the script steps, or is embedded in a transition that steps it.
//
// Embedded use (the scroll transitions): allocate a cleared MoveContext (it is a plain record, so a cleared
// block is a valid empty context), fill
//     state, kind = kMoveKindEmbedded, embedded = 1,
//     layer (moved with SetLayerPosition) or bitmap/mask/alpha (drawn directly, over a copy of the output),
//     width, height, x/y (start), x2/y2 (end; both may be position constants), fx, speed, blitFlags
//     (kBlitTransitionLayers when the transition asks for it), optionally target (null: the current output),
// then call RunMoveObject (0 or an error; nothing is locked or checked). It stores stepFn and freeFn in the
// context: call stepFn(context, &done) once per frame until done, and freeFn(context, flag) once at the end,
// which releases the work bitmaps but never the context itself.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "runtime/vm/vm.h"

struct vlLayer;
struct MoveContext;

// Motion curves (the "fx" option; BOUNCE ... UPPERCURVE).
constexpr int32_t kMoveBounce = 1;
constexpr int32_t kMoveSmoothOut = 2;
constexpr int32_t kMoveDamped = 3;
constexpr int32_t kMoveSine = 4;
constexpr int32_t kMoveBigSine = 5;
constexpr int32_t kMoveLowerCurve = 6;
constexpr int32_t kMoveUpperCurve = 7;

// The kind a transition gives its layer or image.
constexpr int32_t kMoveKindEmbedded = 7;

constexpr int kMoveWaveSize = 79;

using MoveStepFn = int (*)(MoveContext *context, int32_t *done); // 0 or an error code
using MoveFreeFn = void (*)(MoveContext *context, int32_t flag);

// Plain record (no constructors): a zero-filled block is an empty context.
struct MoveContext {
    VMState *state;
    // The image moved: borrowed from the brush, text object or transition; an anim's current frame (owned when
    // ownsFrames).
    HostBitmap *bitmap;
    MaskPlane *mask;
    AlphaPlane *alpha;
    // Direct mode: work is composed and shown, clean holds the output without the object.
    HostBitmap *work, *clean;
    HostBitmap *target; // direct mode: where frames go; null is the current output
    int32_t kind;       // ObjectKind: BRUSH, ANIM, TEXTOBJECT, LAYER, SPRITE, or kMoveKindEmbedded
    ObjectId objectId;  // the object; the layer number for LAYER
    int32_t fx;
    int32_t speed;      // the script's speed (NORMALSPEED ... or pixels per step), converted by RunMoveObject
    int32_t animSpeed;  // in: the script's anim speed code; after RunMoveObject milliseconds per frame
    int32_t x, y;       // current position; in: the start
    int32_t x2, y2;     // end
    int32_t lastX, lastY;
    int32_t width, height;
    int32_t offsetX, offsetY; // a text object's drawing offset
    int32_t speedX, speedY;
    int32_t unit;             // BOUNCE and DAMPED overshoot unit
    int32_t phase;            // 0 travel, 1-8 overshoot, 9 wave end
    int32_t slowZoneX, slowZoneY, slowStepX, slowStepY;
    int32_t frame, frameCount; // 0-based frame of an anim or sprite
    int32_t direction;         // 0 up, clockwise to 7 up-left
    int32_t waveStep, waveIndex;
    int32_t extraCount, extraDone;
    double wave[kMoveWaveSize]; // SINE/BIGSINE y values; LOWER/UPPERCURVE: wave[0] is the angle step
    vlLayer *layer;
    int32_t layerNumber; // 1-based from the bottom
    int32_t async;
    int32_t embedded;
    int32_t ownsFrames;  // the anim decodes frames on demand: bitmap/mask/alpha are freed after use
    int64_t frameTime;   // monotonic microseconds when the next frame is due
    int32_t blitFlags;   // added to the final copy to the display
    MoveStepFn stepFn;
    MoveFreeFn freeFn;
    int32_t *lockCounter;
    int32_t **linkLocks; // AllocBlock, null-terminated: the lock counts of a sprite's linked sprites
    int32_t setTimer;
    int32_t bufferWidth, bufferHeight; // the picture size the work bitmaps were made for
};

// Runs the move the context describes: checks, locks, resolves, sets the path up, then returns (embedded), makes
// an async draw object and pushes its handle (returns 1), or steps to the end. Returns the result count (0 or
// 1) or an error code (>= 1000); on an error before the move runs the context is freed unless embedded.
int RunMoveObject(MoveContext *context);
// One step; *done is set on the last.
int StepMoveObject(MoveContext *context, int32_t *done);
// Releases locks, work bitmaps and an owned frame; frees the context (AllocBlock) unless embedded.
void FreeMoveContext(MoveContext *context, int32_t flag);
// The async draw notifications: a replaced layer, and which layer the move holds.
intptr_t NotifyMoveObject(int32_t code, void *data, void *context);
// Makes the picture-sized work and clean bitmaps (clean = the output as it is). 0 or kErrOutOfMemory.
int PrepareMoveBuffers(MoveContext *context);
// Pixels per step for a speed code; 0 for an invalid one.
int32_t MoveSpeedPixels(int32_t speed);
// Where an anim's and a text object's lock counts live (null when missing); the anim and text libraries set
// them, and until then MoveAnim and MoveTextObject are not available.
extern int32_t *(*AnimLockCountHook)(ObjectId id);
extern int32_t *(*TextObjectLockCountHook)(ObjectId id);
// Allocates a cleared context (AllocBlock); null when out of memory.
MoveContext *NewMoveContext();
