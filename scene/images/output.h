// Redirected drawing: the Select* targets (a brush, mask or alpha channel, a picture, an anim frame or a layer
// image), the one routine every image drawn into the current output goes through, and double buffering.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "imaging/clip_region.h"
#include "runtime/vm/vm.h"

struct DisplayRecord;
struct DrawSceneServices;

// The graphics and draw commands' way into the scene (draw_services.cpp); set when the display library registers.
void InstallDrawServices();
// Fills the drawing entries of that record (shape_output.cpp).
void InstallShapeDrawing(DrawSceneServices *services);

// Selection modes.
constexpr int32_t SELMODE_NORMAL = 0;
constexpr int32_t SELMODE_COMBO = 1; // drawing into a bitmap also writes its mask and alpha channel
constexpr int32_t SELMODE_LAYERS = 2;

// Mask modes beyond MASKVISIBLE and MASKINVISIBLE; any other number draws as MASKVISIBLE.
constexpr int32_t MASKVANILLACOPY = 2;
constexpr int32_t MASKXOR = 3;
constexpr int32_t MASKAND = 4;
constexpr int32_t MASKOR = 5;
// The alpha intensity that copies the drawn image's own alpha.
constexpr int32_t VANILLACOPY = -1;

// Makes the source (BRUSH, BGPIC, ANIM or LAYER; frame 1-based, 0 for none) the current display's output for
// targetKind (BRUSH, MASK or ALPHACHANNEL). 0 or an error code.
int SelectOutput(VMState *vm, int32_t sourceKind, ObjectId id, int32_t targetKind, int32_t frame, int32_t mode);
// Readies the selected object for writing, once per selection: unshares it from layers and makes a missing mask
// or alpha channel (dropping the other). 0 or an error code.
int PrepareOutput();
// Writes image at x, y into the current output: its bitmap, and/or its mask by MaskMode, and/or its alpha
// channel by AlphaIntensity. Calls PrepareOutput. The clip region limits every plane written. 0 or an error code.
int BlitToCurrentOutput(const ImageTriple &image, int32_t x, int32_t y, const ClipRegion *clip = nullptr);

// What the layer code hands SelectOutput for SelectLayer: the image drawing goes into (the layer's own copy),
// where its mask and alpha pointers live, and the layer.
struct LayerSelectSource {
    ImageTriple image;
    MaskPlane **mask = nullptr;
    AlphaPlane **alpha = nullptr;
    void *layer = nullptr;
};
// Set by the layer library: readies the layer at a 1-based position of CurrentBGPic (frame 1-based, 0 none).
extern int (*PrepareLayerForSelectHook)(VMState *vm, int32_t position, int32_t frame, LayerSelectSource *out);

// ---- Double buffering --------------------------------------------------------------------------------------------
int BeginDoubleBuffering(DisplayRecord *display);
int FlipDoubleBuffer(VMState *vm, DisplayRecord *display);
// 0 or kErrDoubleBufferNotActive when double buffering is not on; the last frame stays in the display's bitmaps.
int EndDoubleBuffering(VMState *vm, DisplayRecord *display);
// Shows the front buffer (and, with repaintBorders, the picture's strips beyond it).
void PresentDoubleBuffer(DisplayRecord *display, int repaintBorders, int32_t flags);
// 0 or kErrOutOfMemory.
int ResizeFrontBuffer(DisplayRecord *display, int32_t width, int32_t height);
