// What the layer engine needs of the anim and text libraries, which link above the scene. Each library fills
// its table when it registers; while a table is null its kind of layer cannot exist, and an operation that
// needs it answers LibraryNotRegistered naming the library.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "imaging/display_options.h"
#include "runtime/vm/vm.h"

struct LayerDrawParams;
struct vlLayer;

struct AnimInfo {
    int32_t width = 0, height = 0;
    int32_t frameCount = 0;
    int32_t diskBased = 0;
    int32_t transparentColor = -1;
    int32_t lockCount = 0;
    void *record = nullptr;
};

struct AnimLayerServices {
    // flags as FindBrush's; 0 or the anim's lookup error (kErrAnimNotFound / kErrObjectNotFound).
    int (*find)(ObjectId id, int flags, AnimInfo *out);
    // The 1-based frame's image; *temporary when the caller frees the planes (disk-based anims).
    int (*frameImage)(ObjectId id, int32_t frame, ImageTriple *out, bool *temporary);
    int32_t (*frameDelay)(ObjectId id, int32_t frame);
    // Where the frame's mask and alpha pointers live, so that a selected mask or alpha channel can replace them.
    int (*framePlaneSlots)(ObjectId id, int32_t frame, MaskPlane ***maskSlot, AlphaPlane ***alphaSlot);
    // A private copy for a layer; *newId receives its id.
    int (*copyForLayer)(ObjectId id, ObjectId *newId);
    // A new anim around frames the caller made (taken over on success).
    int (*addRecord)(ObjectId id, int32_t width, int32_t height, int32_t frameCount, ImageTriple *frames,
                     int32_t transparentColor, ObjectId *outId);
    // Inserts (count > 0) or removes (count < 0) frames at a 1-based position (0: the end).
    int (*modifyFrames)(ObjectId id, int32_t count, int32_t position);
    // Draws a frame as a new layer at x, y with the display options (DisplayAnimFrame's layer side).
    int (*drawFrameAsLayer)(VMState *vm, ObjectId id, int32_t frame, int32_t x, int32_t y,
                            const DisplayTransform &transform, const LayerOptions &options);
};

struct TextLayerServices {
    // Renders a TEXTOBJECT, TEXTOUT or PRINT layer's state (its block's x, y and text block) through the
    // transform; the routine reports the image and rectangle through UpdateLayerGeometry.
    int (*drawLayer)(VMState *vm, vlLayer *layer, LayerDrawParams *params, const int32_t *oldRect,
                     const DisplayTransform &transform, int32_t flags);
    // A text object's rendered image, the offset of its top-left against its position, and its lock count.
    int (*objectImage)(ObjectId id, int flags, ImageTriple *out, int32_t *offsetX, int32_t *offsetY,
                       int32_t *lockCount);
    void *(*copyBlock)(const void *block); // null when out of memory
    void (*freeBlock)(void *block);
    int (*addObjectLayer)(VMState *vm, ObjectId id, int32_t x, int32_t y, int32_t insertPos, int32_t flags);
    // The style setter's text keys of TEXTOUT and PRINT layers; while null those keys answer "not available".
    // A block from the current text style for a layer that becomes kind (PRINT: with the display's cursor and
    // margins); null when out of memory.
    void *(*startStyleBlock)(VMState *vm, int32_t kind);
    // Reads the text keys of the table in their fixed order into block, the font keys through the font cache.
    // requireText: "text" must be given (kErrNotEnoughArguments). *given: any key was; *cursorGiven: "cursorx" or
    // "cursory" was, with the block's cursor in *cursorX, *cursorY. 0 or the keys' error.
    int (*readStyleKeys)(VMState *vm, int table, int32_t kind, void *block, int requireText, int *given,
                         int *cursorGiven, int32_t *cursorX, int32_t *cursorY);
    // Adds GetLayerStyle's text keys of the block to the table on top of the stack.
    void (*writeStyleKeys)(VMState *vm, int32_t kind, const void *block);
};

extern const AnimLayerServices *AnimServices;
extern const TextLayerServices *TextServices;
