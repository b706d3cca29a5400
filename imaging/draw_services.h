// What the graphics and draw commands need of the scene code above them: the current output and its clip region,
// brushes, layers and the displays' pointers. The scene code fills the record when its libraries register; while
// it is null (unit tests of the imaging layer alone) the commands that need it answer MissingDrawServices().
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "imaging/clip_region.h"
#include "imaging/display_options.h"
#include "runtime/app/errors.h"
#include "runtime/vm/vm.h"

struct ShapeRecord;
struct PointerRecord;

struct DrawSceneServices {
    // ---- Clip regions ----
    // Makes the region (null: none) the current clip region of the current output. 0 or kErrWrongUsage (no output).
    int (*setCurrentClipRegion)(ClipRegion *region) = nullptr;
    // Takes the region from every picture, output record and on-screen sprite that has it; with clearLayers also
    // from every layer block that names it. Run before a region goes away.
    void (*releaseClipRegion)(const ClipRegion *region, int clearLayers) = nullptr;
    // The image of a brush (FindBrush flags 0): 0, kErrBrushNotFound or kErrObjectNotFound.
    int (*findBrushImage)(ObjectId id, ImageTriple *image) = nullptr;

    // ---- Pointers ----
    // The current display's pointer (null: the system one) and hidden flag, applied at once to an open window.
    // 0 or kErrWrongUsage (no display).
    int (*setDisplayPointer)(PointerRecord *pointer) = nullptr;
    int (*setPointerHidden)(int hidden) = nullptr;
    // Every display that shows the pointer goes back to the system one (the record is about to be freed).
    void (*forgetPointer)(const PointerRecord *pointer) = nullptr;

    // ---- Drawing into the current output ----
    // What the output is: its kind (21 the display, 1 a picture with layers, 3 a bitmap, 28 a mask, 30 an alpha
    // channel), its size, and whether drawing makes layers. 0 or kErrWrongUsage (no display).
    int (*describeOutput)(int32_t *kind, int32_t *width, int32_t *height, int *layers) = nullptr;
    // Draws the shape (form style and texture attached, no transform) with its box's top-left at x, y into the
    // current output (every plane the selection writes, through the clip region) and shows the changed rectangle.
    int (*drawShape)(const ShapeRecord &shape, int32_t x, int32_t y) = nullptr;
    // Draws the image at x, y into the current output (every plane the selection writes, through the clip region)
    // and shows the changed rectangle. 0 or an error code.
    int (*drawImage)(const ImageTriple &image, int32_t x, int32_t y) = nullptr;
    // Fills the whole output with the colour (0xTTRRGGBB) within its clip region. 0 or an error code.
    int (*fillOutput)(uint32_t colour) = nullptr;
    // One pixel of the output as ReadPixel answers it. 0 or kErrCoordinatesOutOfRange (outside).
    int (*readPixel)(int32_t x, int32_t y, uint32_t *value) = nullptr;
    // Makes a layer of the shape (taken over) on the current picture: box x, y (resolved), width x height.
    int (*addShapeLayer)(VMState *vm, ShapeRecord *shape, int32_t x, int32_t y, int32_t width, int32_t height,
                         const DisplayTransform &transform, const LayerOptions &options) = nullptr;
};

extern const DrawSceneServices *DrawServices;
// A command's answer while the record is missing: the display library fills it when it registers.
inline int MissingDrawServices() { return LibraryNotRegistered("display"); }
