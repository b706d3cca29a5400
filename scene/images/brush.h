// Brushes: free-standing images of the script (a bitmap with an optional mask or alpha channel), the brush list,
// lookup with unsharing, deferred freeing, creation, loading, saving, copying, drawing and links from other
// objects.
#pragma once

#include <cstdint>
#include <string>

#include "host/bitmap.h"
#include "imaging/display_options.h"
#include "runtime/app/object_list.h"
#include "runtime/vm/vm.h"

// Brush types.
constexpr int32_t kBrushBitmap = 0;
constexpr int32_t kBrushVector = 1; // refused by lookups with kFindBrushNoVector

// Transparent-colour markers: CreateBrush with a mask, and a brush linked from a masked layer.
constexpr int32_t kCreateBrushMaskMarker = 0xAFC0DE;
constexpr int32_t kLayerLinkMaskMarker = 0x123456;

struct Brush {
    ObjectId id{};                  // {0, own address} for automatic and free-pending brushes
    uint32_t *keptPixels = nullptr; // AllocBlock; stands in for the bitmap between a preload and the rebuild
    HostBitmap *bitmap = nullptr;   // null only while keptPixels stands in for it
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    int32_t width = 0, height = 0;
    int32_t keptRowPixels = 0;
    int32_t lockCount = 0;   // running moves; while non-zero the brush can be neither modified nor freed
    int32_t freePending = 0; // freed by the script, still shown by layers
    int32_t transparentColor = -1;
    int32_t type = kBrushBitmap;
    void *vectorData = nullptr; // handed between vector pictures and brushes; not owned here
};

extern ObjectList<Brush> BrushList;

// FindBrush flags: those of the object list, and one of its own.
constexpr int kFindBrushModify = kFindModify;
constexpr int kFindBrushPending = kFindPending;
constexpr int kFindBrushNoUnshare = kFindNoUnshare;
constexpr int kFindBrushNoVector = 8;

// 0; kErrBrushNotFound (number) or kErrObjectNotFound (handle) when missing; kErrBrushTypeUnsupported for a vector
// brush with kFindBrushNoVector; kErrObjectLocked for a locked brush with kFindBrushModify. With kFindBrushModify
// (and not kFindBrushNoUnshare) the layers that show the brush first get a free-pending copy.
int FindBrush(ObjectId id, Brush **out, int flags);
// The current display draws into the brush of this id (a Select* made it the output).
bool IsActiveOutputBrushId(ObjectId id);
// reportMissing 0: a missing brush is no error (kErrActiveBrush and kErrObjectLocked still are). A brush layers still
// show becomes free-pending under {0, own address}.
int FreeBrushById(ObjectId id, int reportMissing);
// Appends a record around planes the caller made (taken over only on success). An automatic id
// ({0, kAutoHandleRequest}) gets the record as its handle. 0 or kErrOutOfMemory.
int AddBrushRecord(ObjectId id, int32_t type, int32_t width, int32_t height, int32_t keptRowPixels,
                   uint32_t *keptPixels, HostBitmap *bitmap, int32_t transparentColor, MaskPlane *mask,
                   AlphaPlane *alpha, void *vectorData, Brush **out = nullptr);
// A width x height brush filled with colour; with a mask (all visible, or all invisible when clear) or an alpha
// channel (255, or 0 when clear). 0 or kErrOutOfMemory.
int CreateBrushRecord(ObjectId id, int32_t width, int32_t height, uint32_t colour, int withMask, int withAlpha,
                      int clear, Brush **out = nullptr);
// The copy callback of ForEachReferrer: argument is the Brush.
int CopyBrushForReferrer(void *brush, ObjectId *newId);
// Makes bitmaps and masks from kept pixels; brushes without kept pixels are left alone. 0 or kErrOutOfMemory.
int RebuildAllBrushes();
int32_t CountBrushes();
void FreeAllBrushes();

// ---- Loading and saving --------------------------------------------------------------------------------------
// A loaded picture on its way into an object; frees whatever it still holds.
struct LoadedPicture {
    uint32_t *pixels = nullptr; // AllocBlock, 0x00RRGGBB
    AlphaPlane *alpha = nullptr;
    int32_t width = 0, height = 0;
    int64_t transparent = -1; // the picture's own transparent colour
    LoadedPicture() = default;
    LoadedPicture(const LoadedPicture &) = delete;
    LoadedPicture &operator=(const LoadedPicture &) = delete;
    ~LoadedPicture();
};
// The picture stage of LoadBrush and LoadAnim: from the graphics cache while preloading with cachedLoad, else from
// the file (with alpha when loadAlpha); while preloading with cache it is added to the cache (cacheAlpha: with an
// alpha channel loaded for the cache alone). 0 or the loader's error.
int LoadPictureWithCache(const char *fileName, int32_t loadAlpha, const std::string &cache,
                         const std::string &cachedLoad, int32_t cacheAlpha, int preloading, LoadedPicture *picture);
struct LoadBrushOptions {
    int64_t transparent = -1;
    int32_t loadAlpha = 0;
    int32_t globalAlpha = -1;
    int32_t x = 0, y = 0, width = 0, height = 0; // cut-out; a size of 0 means to the picture's edge
    std::string cache, cachedLoad;
    int32_t cacheAlpha = 0;
};
// The whole of LoadBrush after the arguments are read; preloading keeps the pixels for RebuildAllBrushes.
// shownName is the name the progress line shows (null: fileName, which may be a linked file's chunk name).
// 0 or an error code; *out the new brush.
int LoadBrushFile(ObjectId id, const char *fileName, const LoadBrushOptions &options, int preloading,
                  Brush **out = nullptr, const char *shownName = nullptr);
// CopyBrush: 0, kErrBrushNotFound/kErrObjectNotFound, kErrWrongUsage onto itself, kErrOutOfMemory.
int CopyBrushById(ObjectId source, ObjectId target, Brush **out = nullptr);
// SaveBrush: format 0 BMP, 1 PNG, 2 JPEG, 3 GIF, 4 ILBM.
int SaveBrushFile(ObjectId id, const char *fileName, uint32_t colour, int32_t format, int32_t quality,
                  int32_t colours, int32_t dither);

// ---- Drawing --------------------------------------------------------------------------------------------------
// Draws (part of) a brush into the current output without layers and shows the display when it is the output.
// width/height 0: the whole brush. 0 or an error code.
int DrawBrushToOutput(Brush *brush, int32_t partX, int32_t partY, int32_t partWidth, int32_t partHeight, int32_t x,
                      int32_t y, const DisplayTransform &transform);
// The same for any image (width/height 0: the whole image).
int DrawImageToOutput(const ImageTriple &source, int32_t partX, int32_t partY, int32_t partWidth,
                      int32_t partHeight, int32_t x, int32_t y, const DisplayTransform &transform);
// Shows a changed rectangle of the output bitmap target in the current display's window, when the display itself
// is the output. 0 or the refresh's error.
int PresentOutputRect(HostBitmap *target, int32_t x, int32_t y, int32_t width, int32_t height);
// The same for the ring a rectangle leaves around a smaller one inside it (a box's outline).
int PresentOutputRing(HostBitmap *target, int32_t x, int32_t y, int32_t width, int32_t height, int32_t innerX,
                      int32_t innerY, int32_t innerWidth, int32_t innerHeight);
// DisplayBrush's core (CreateLayer uses it for brush layers): options read from the table at optionsIndex
// (0 for none).
int DisplayBrushAt(VMState *vm, ObjectId id, int32_t x, int32_t y, int optionsIndex);
// DisplayBrushPart's core: the rectangle sourceX, sourceY, width x height of the brush at x, y.
int DisplayBrushPartAt(VMState *vm, ObjectId id, int32_t sourceX, int32_t sourceY, int32_t x, int32_t y,
                       int32_t width, int32_t height, int optionsIndex);
// The layer side of drawing an image object while layers are on: BRUSH, BRUSHPART, BGPICPART, and ANIM with the
// 0-based frame index in partX. Set by the layer code; while null, drawing with layers answers
// LibraryNotRegistered("layers").
extern int (*DisplayImageLayerHook)(VMState *vm, int32_t kind, ObjectId id, int32_t partX, int32_t partY,
                                    int32_t x, int32_t y, int32_t width, int32_t height,
                                    const DisplayTransform &transform, const LayerOptions &options);
// GetBrushLink and ConvertToBrush: a new brush from an object of kind (BGPIC and BRUSH here; the other kinds
// register their image source with their libraries). Pushes the handle of an automatic target: returns the
// result count (0 or 1) or an error code.
int MakeBrushLink(VMState *vm, int32_t kind, ObjectId source, ObjectId target, int32_t frame);
// The image of an object of one kind for MakeBrushLink: *temporary when the caller frees the planes.
using BrushLinkSourceFn = int (*)(VMState *vm, ObjectId source, int32_t frame, ImageTriple *image, int32_t *sourceX,
                                  int32_t *sourceY, int32_t *transparent, bool *temporary);
// LAYER, SPRITE, ANIM and TEXTOBJECT register here when their libraries do (null unregisters).
void RegisterBrushLinkSource(int32_t kind, BrushLinkSourceFn source);
