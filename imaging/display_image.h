// The imaging half of drawing an image object with display options, and presenting off-screen pixels in a
// display's window. The display and layer code find the objects, make layers and call these.
#pragma once

#include <cstdint>

#include "host/bitmap.h"
#include "imaging/display_options.h"

struct DisplayRecord;
struct HostWindow;

// The image to draw for (part of) an image object: the part is cut out and scaled or transformed by the
// display options. *owned is false when the source itself can be drawn (no part, identity transform); then
// *out shares the source's planes. *outX, *outY: the top-left where it goes, from the position (which may be a
// position constant) and the anchor. Returns 0, kErrOutOfMemory, or kErrWrongUsage for an empty part.
int BuildDisplayImage(const ImageTriple &source, int32_t partX, int32_t partY, int32_t partWidth, int32_t partHeight,
                      const DisplayTransform &transform, int32_t x, int32_t y, ImageTriple *out, bool *owned,
                      int32_t *outX, int32_t *outY);
// Builds the image and blits it into the target through its mask or alpha (the output without layers).
int DrawDisplayImage(HostBitmap *target, const ImageTriple &source, int32_t partX, int32_t partY, int32_t partWidth,
                     int32_t partHeight, const DisplayTransform &transform, int32_t x, int32_t y);

// What presenting needs to know of a display; the display code answers through the hook.
struct PresentTarget {
    HostWindow *window = nullptr;
    bool autoScale = false; // the off-screen picture is shown at the scaled size
    int32_t scaledWidth = 0, scaledHeight = 0;
};
extern int (*DisplayPresentTargetHook)(DisplayRecord *display, PresentTarget *out);

// Shows a rectangle of an off-screen bitmap at (dx, dy) of the display's window. A display that scales itself
// shows the whole bitmap at its scaled size (flag 1 asks for exactly that).
void PresentDisplayRect(const HostBitmap *bitmap, int32_t sx, int32_t sy, DisplayRecord *display, int32_t dx,
                        int32_t dy, int32_t width, int32_t height, int32_t flags);
// The same in two steps for callers that change many rectangles per frame: upload each (clipped to the bitmap),
// then show the frame once. Nothing on a display that scales itself (it is presented whole).
void UploadDisplayRect(const HostBitmap *bitmap, int32_t sx, int32_t sy, DisplayRecord *display, int32_t dx,
                       int32_t dy, int32_t width, int32_t height);
void PresentDisplayFrame(DisplayRecord *display);
