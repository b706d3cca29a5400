// Background pictures: the picture each display shows behind its layers and the canvas its layers, buttons and
// sprites live on. A picture carries three image triples (current: as the display shows it; scaled: the size the
// script sees; base: as loaded or created) that may share planes; every plane is freed once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/bitmap.h"
#include "imaging/clip_region.h"
#include "imaging/display_options.h"
#include "imaging/raster.h" // the fill kinds
#include "runtime/app/object_list.h"
#include "runtime/app/utilities.h"
#include "runtime/vm/vm.h"
#include "scene/images/scene_objects.h"

struct DisplayRecord;

// How a picture is filled under (or instead of) its pixels; copied with the record.
struct BGPicFillSpec {
    int32_t kind = kFillNone;
    uint32_t color = 0;    // plain colour, or the gradient's start colour
    uint32_t endColor = 0; // gradient
    int32_t angle = 0;     // gradient, degrees
    bool rainbow = false;  // a gradient made by CreateRainbowBGPic (messages name it so)
    int32_t brushNumber = 0;      // texture: the brush, used only while texture is null
    HostBitmap *texture = nullptr; // texture: an owned copy of the brush's bitmap
    int32_t textureX = 0, textureY = 0;
    int32_t textureWidth = 0, textureHeight = 0;
};

// Picture types.
constexpr int32_t kBGPicPicture = 0;
constexpr int32_t kBGPicVector = 1; // rebuilt from its fill settings at any size instead of being scaled

struct BGPic {
    ObjectId id{};               // {0, record} while free-pending
    uint32_t *keptPixels = nullptr; // AllocBlock; only until the picture becomes planes (preloading)
    ImageTriple current;
    ImageTriple scaled;
    ImageTriple base; // always owned
    int32_t rowPixels = 0;
    int32_t transparentColor = -1;
    uint32_t *palette = nullptr; // AllocBlock, 256 words
    ListHeader layers;           // vlLayer nodes, bottom first
    OnScreenSprite *sprites = nullptr;
    std::unique_ptr<SpriteIndex, SpriteIndexDeleter> spriteIndex; // made by the first DrawSprite
    int32_t lockCount = 0; // running transitions
    int32_t freePending = 0;
    vlBGPicButton *buttons = nullptr;
    // Only in an OutputRecord.
    int32_t outputSourceKind = 0;
    int32_t outputFrame = 0;
    void *outputSourceObject = nullptr;
    int32_t outputDrawn = 0;
    int32_t layersChanged = 0;
    BGPicFillSpec fill;
    int32_t type = kBGPicPicture;
    void *vectorData = nullptr;
    ClipRegion *clipRegion = nullptr; // the clip region in force for drawing into this picture (not owned)
};
// A redirected output has the shape of a picture (declared in display_record.h as well).
using OutputRecord = BGPic;

extern ObjectList<BGPic> BGPicList;
// What drawing commands draw into: a picture, or an OutputRecord while output is redirected.
extern BGPic *CurrentBGPic;

// ---- Hooks into code that is built on top of this (null: the stub behaviour noted) ------------------------------
// The brush library: the image of a brush (flags as FindBrush). Null hook: kErrBrushNotFound (numeric id) or
// kErrObjectNotFound.
extern int (*FindBrushImageHook)(ObjectId id, int flags, ImageTriple *image);
int FindBrushImage(ObjectId id, int flags, ImageTriple *image);
// The display library: applies the option table at stack index 1 to the display (DisplayBGPic's core). Null
// hook: LibraryNotRegistered("display").
extern int (*ApplyDisplayAttributesHook)(VMState *vm, DisplayRecord *display, int forTransition);

// ---- Record and list ---------------------------------------------------------------------------------------------
// Appends a record whose three triples are the given planes at the given size (taken over only on success);
// the fill settings are copied (its texture taken over). An automatic id gets the record as its handle. 0 or
// kErrOutOfMemory.
int CreateBGPicRecord(ObjectId id, int32_t type, int32_t width, int32_t height, int32_t rowPixels,
                      uint32_t *keptPixels, HostBitmap *bitmap, uint32_t *palette, int32_t transparentColor,
                      MaskPlane *mask, AlphaPlane *alpha, void *vectorData, const BGPicFillSpec *fill,
                      BGPic **out = nullptr);
// Find flags: kFindModify, kFindPending and kFindNoUnshare of the object list.
// 0, kErrBGPicNotFound (numeric id), kErrObjectNotFound (handle), kErrObjectLocked (locked, with kFindModify). With
// kFindModify and not kFindNoUnshare, layers that show the picture first get a private copy.
int FindBGPic(ObjectId id, BGPic **out, int flags);
// Frees a picture, or marks it free-pending while a display or a layer shows it. strict 0 ignores a missing id.
int FreeBGPicById(ObjectId id, int strict);
void FreeBGPicContents(BGPic *bgpic, int flag);
// A copy under newId ({0, 1} for an automatic handle, which is filled in). 0 or kErrOutOfMemory.
int CopyBGPicRecord(const BGPic *source, ObjectId *newId, BGPic **out = nullptr);
int32_t CountBGPics();
int32_t CountAllLayers();
int FreeAllBGPics();
// 1 when some display shows the picture as its own.
int IsBGPicShownByDisplay(const BGPic *bgpic);

// ---- Images ------------------------------------------------------------------------------------------------------
// Makes a picture's image from pixels (0x00RRGGBB, rowPixels per row) and/or the fill settings. With pixels and a
// fill kind 0 the mask (transparent colour) or *alpha stays; with a fill kind the picture is flattened onto the
// fill. Without pixels the fill alone (kind 0: black). 0, kErrOutOfMemory or the brush's error; nothing returned on
// error.
int BuildBGPicImage(const uint32_t *pixels, BGPicFillSpec *fill, int32_t transparentColor, int32_t width,
                    int32_t height, int32_t rowPixels, HostBitmap **outBitmap, MaskPlane **outMask,
                    AlphaPlane **alpha);
int ScaleBGPicImage(BGPic *bgpic, int32_t width, int32_t height, bool smooth);
// A triple of width x height: built from the fill settings when fromFill, else the source triple scaled.
int RenderBGPicAtSize(int fromFill, const ImageTriple &source, BGPicFillSpec *fill, int32_t width, int32_t height,
                      bool smooth, ImageTriple *out);
// 1 when a picture is rebuilt from its fill rather than scaled.
bool BGPicRebuildsFromFill(const BGPic *bgpic);
// Why a vector picture cannot be an output, naming its kind as the script made it ("A gradient picture ...").
std::string VectorBGPicHint(const BGPic *bgpic);
void FreeBGPicDerivedImages(BGPic *bgpic);
int RebuildAllBGPics();

// ---- Displays ----------------------------------------------------------------------------------------------------
int ScaleBGPicToDisplay(VMState *vm, DisplayRecord *display, BGPic *bgpic, int recreate);
int PrepareBGPicForDisplayScale(VMState *vm, DisplayRecord *display, BGPic *bgpic, MaskPlane **outMask,
                                AlphaPlane **outAlpha);
int CopyBGPicToDisplayBitmaps(DisplayRecord *display, BGPic *bgpic, int recreate);
int SwitchDisplayBGPic(VMState *vm, ObjectId id, int32_t x, int32_t y, int forTransition, HostBitmap **outNewImage,
                       HostBitmap **outOldImage);
HostBitmap *GetBGPicDisplayImage(DisplayRecord *display, BGPic *bgpic);
int RenderBGPicWithLayers(BGPic *bgpic, int32_t x, int32_t y, int32_t width, int32_t height, HostBitmap **out,
                          bool *owned);

// ---- Output ------------------------------------------------------------------------------------------------------
void InitOutputRecord(OutputRecord *record, int32_t sourceKind, void *sourceObject, int32_t frame,
                      const ObjectId *id, HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha, int32_t width,
                      int32_t height, int clear);
int EndSelectOutput(VMState *vm, DisplayRecord *display, int noFlush);

// ---- Layers and sprites ------------------------------------------------------------------------------------------
// Makes the copy for ForEachReferrer: argument is the object, *newId asks for the copy's id.
using ReferrerCopyFn = int (*)(void *argument, ObjectId *newId);
// Kind CLIPREGION passes the region as id.handle. 0 or the copy's error; *outNewHandle only when copied.
int ForEachReferrer(int32_t kind, ObjectId id, ReferrerCopyFn copy, void *argument, ObjectId *outNewHandle,
                    int flags = 0);
int IsObjectUsedByLayers(int32_t kind, ObjectId id, const vlLayer *except = nullptr);
int DetachLayerReferences(int32_t kind, ObjectId id, void *handle);
// The three above, for the object lists of kinds that layers show.
extern const ObjectLayerServices kLayerServices;
void ClearLayerClipRegionRefs(const ClipRegion *region);
int AddImageLayer(VMState *vm, int32_t kind, ObjectId id, int32_t sourceX, int32_t sourceY, int32_t x, int32_t y,
                  int32_t width, int32_t height, const DisplayTransform *transform, const LayerOptions *options,
                  HostBitmap *bitmap, MaskPlane *mask, AlphaPlane *alpha, int32_t defaultInsertPos, int32_t flags);
int SpritesOverlapRect(const BGPic *bgpic, int32_t x, int32_t y, int32_t width, int32_t height);
