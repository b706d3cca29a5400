// Real-time layers: the effect draws into working images that the layer's current state shows while it runs, so
// the compositor keeps the layers above it on top and applies its see-through, tint and clip to every frame.
//
// Five roads. Wipes that reveal rectangles of the new image draw them into the layer's bitmap and mask (or
// alpha), or clear them when hiding. CROSSFADE, FADE and BLEND scale the layer's alpha plane. DISSOLVE, CLOCKWIPE,
// SUN and STAR keep the new image in the layer's bitmap and write only its mask or alpha. Stretches, zooms,
// flows, rolls, strange pushes and pixel zooms draw their pictures, lines and blocks with their own mask or alpha
// into the layer's cleared planes (their hides, but the stretches', play the showing's frames backwards). The
// rest (the emulated picture's whole-picture effects, water) draws whole opaque frames into the layer's bitmap as
// on a plain target of the layer's size, over what lies beneath the layer.
#pragma once

#include "fx/fx_engine.h"

struct DisplayRecord;

// Whether a layer transition draws into the layer's own images (any of: forced, async, an emulated picture, the
// layer's see-through or tint, its clip, an auto-scaled display, a transparency-aware hide, a layer over it).
bool ChooseRealtimeLayer(const FxRequest *request, const DisplayRecord *display);
// The road, the picture beneath the layer for whole frames, and the layer's working images. 0 or kErrOutOfMemory.
int PrepareRealtimeLayer(FxRequest *request, DisplayRecord *display);
// Gives the layer's current state working images of the effect's size (its own images are kept aside).
int SetupRealtimeLayer(FxRequest *request);
// Frees the working images and gives the layer back its own images and part offsets.
void FreeLayerStateImages(FxRequest *request);
// With which bit 2: the emulated picture is rendered again when its layers changed. Returns the bits acted on.
// (Bit 1, what lies beneath the layer, is taken again by the engine, which makes whole frames anew.)
int RedrawFxBackground(FxRequest *request, int which);
// The emulated background picture rendered into the request's new image.
void RenderEmulatedPicture(FxRequest *request);
// Shows the layer's whole area on the display (composed again with everything around it).
void PresentLayerArea(FxRequest *request);
// Shows the rectangles presented so far (the whole display when it shows its picture scaled).
void ShowLayerUploads(FxRequest *request);
// The layer's planes as at frame 0: cleared when showing, the whole image when hiding.
void ResetLayerPlanes(FxRequest *request);
// The layer moved, changed size or was given a new image: the source and the working images are made anew at its
// present place and size, and the frame reached is drawn again (in the same share of the run when the size
// changed).
int RestartRealtimeLayer(FxRequest *request, DisplayRecord *display);
// The families that reveal through a mask of the whole area keep the new image in the layer's bitmap: the layer's
// mask or alpha becomes the new image's own where reveal is set (clear, when hiding), and nothing elsewhere.
void RevealInLayer(FxRequest *request, const MaskPlane *reveal);
inline bool DrawsLayerPlane(const FxRequest *request) { return request->realtimeLayer && !request->frameRoad; }
// The layer's planes cleared whole: nothing of it shows until drawn again.
void ClearLayerPlanes(FxRequest *request);
// A picture with its own mask and alpha into the layer's bitmap and planes at (dx, dy), shown at the frame's end.
void DrawIntoLayer(FxRequest *request, const HostBitmap *picture, const MaskPlane *mask, const AlphaPlane *alpha,
                   int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t width, int32_t height);
// The picture beneath the layer in its rectangle (without the layers above it and the sprites), and the same with
// the new image drawn over it through its mask and alpha. 0 or kErrOutOfMemory; both null on failure.
int ComposeLayerEnds(FxRequest *request, HostBitmap **beneath, HostBitmap **shown);
// One frame of a backwards hide: the showing's frame frameCount - 1 - frame, drawn at once.
int PlayBackwardsFrame(FxRequest *request, int *done);
