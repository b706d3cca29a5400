#include "host/bitmap_convert.h"
#include "host/memory.h"
#include "imaging/image_ops.h"
#include "runtime/app/object_list.h"
#include "scene/display/object_kinds.h"
#include "scene/images/plane_copy.h"
#include "tests/scene/scene_fixture.h"

namespace {

using scenetest::AddTestLayer;
using scenetest::DeleteTestLayer;
using scenetest::MakePicture;
using scenetest::Pixel;

struct BGPicTest : scenetest::SceneTest {};

// A vector picture drawn from a gradient fill, as CreateGradientBGPic makes one.
BGPic *MakeGradientPicture(int32_t number, int32_t width, int32_t height, uint32_t start, uint32_t end) {
    BGPicFillSpec fill;
    fill.kind = kFillGradient;
    fill.color = start;
    fill.endColor = end;
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    EXPECT_EQ(BuildBGPicImage(nullptr, &fill, -1, width, height, width, &bitmap, &mask, nullptr), 0);
    BGPic *made = nullptr;
    EXPECT_EQ(CreateBGPicRecord(ObjectId{number, nullptr}, kBGPicVector, width, height, width, nullptr, bitmap,
                                nullptr, -1, nullptr, nullptr, nullptr, &fill, &made),
              0);
    return made;
}

// ---- Finding and freeing ---------------------------------------------------------------------------------------

TEST_F(BGPicTest, AutomaticIdIsTheRecord) {
    BGPic *p = MakePicture(ObjectId{0, kAutoHandleRequest}, 2, 2, 0);
    EXPECT_EQ(p->id.handle, p);
    BGPic *found = nullptr;
    EXPECT_EQ(FindBGPic(ObjectId{0, p}, &found, 0), 0);
    EXPECT_EQ(found, p);
}

TEST_F(BGPicTest, MissingPictureNamesItsNumberOrIsNotFound) {
    BGPic *found = nullptr;
    EXPECT_EQ(FindBGPic(ObjectId{3, nullptr}, &found, 0), kErrBGPicNotFound);
    EXPECT_EQ(GetErrorText(kErrBGPicNotFound), "Could not find BGPic 3!");
    EXPECT_EQ(FindBGPic(ObjectId{0, &found}, &found, 0), kErrObjectNotFound);
}

TEST_F(BGPicTest, LockedPictureCannotBeModifiedOrFreed) {
    BGPic *p = MakePicture(ObjectId{1, nullptr}, 2, 2, 0);
    p->lockCount = 1;
    BGPic *found = nullptr;
    EXPECT_EQ(FindBGPic(ObjectId{1, nullptr}, &found, 0), 0);
    EXPECT_EQ(FindBGPic(ObjectId{1, nullptr}, &found, kFindModify), 1314);
    EXPECT_EQ(FreeBGPicById(ObjectId{1, nullptr}, 0), 1314);
    p->lockCount = 0;
}

TEST_F(BGPicTest, ReplacingAMissingNumberIsNoError) {
    EXPECT_EQ(FreeBGPicById(ObjectId{8, nullptr}, 0), 0);
    EXPECT_EQ(FreeBGPicById(ObjectId{8, nullptr}, 1), kErrBGPicNotFound);
}

TEST_F(BGPicTest, CurrentOutputPictureCannotBeFreed) {
    BGPic *p = MakePicture(ObjectId{2, nullptr}, 2, 2, 0);
    DisplayRecord display;
    display.outputKind = ObjectKindBGPic;
    CurrentDisplay = &display;
    CurrentBGPic = p;
    EXPECT_EQ(FreeBGPicById(ObjectId{2, nullptr}, 0), 1378);
    display.outputKind = ObjectKindBrush;
    OutputRecord output;
    output.outputSourceKind = ObjectKindBGPic;
    output.outputSourceObject = p;
    display.selectOutput = &output;
    CurrentBGPic = &output;
    EXPECT_EQ(FreeBGPicById(ObjectId{2, nullptr}, 1), 1378);
    display.selectOutput = nullptr;
    CurrentDisplay = nullptr;
    CurrentBGPic = nullptr;
}

TEST_F(BGPicTest, PictureFreedWhileShownWaitsForTheDisplay) {
    BGPic *p = MakePicture(ObjectId{1, nullptr}, 4, 4, 0x00FF00);
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"bgpic", 1.0}}, &d), 0);
    ASSERT_EQ(FreeBGPicById(ObjectId{1, nullptr}, 1), 0);
    EXPECT_EQ(p->freePending, 1);
    EXPECT_EQ(p->id.handle, p);
    BGPic *found = nullptr;
    EXPECT_EQ(FindBGPic(ObjectId{1, nullptr}, &found, 0), kErrBGPicNotFound);
    BGPic *again = MakePicture(ObjectId{1, nullptr}, 2, 2, 0); // the number is free at once
    FlushPendingFrees();
    EXPECT_EQ(CountBGPics(), 2);
    EXPECT_EQ(Pixel(d->picture->current.bitmap, 3, 3), 0x00FF00u);
    d->picture = again;
    FlushPendingFrees();
    EXPECT_EQ(CountBGPics(), 1);
    EXPECT_EQ(BGPicList.front(), again);
}

TEST_F(BGPicTest, FreeingADisplayFlushesThePictureItStillShowed) {
    MakePicture(ObjectId{1, nullptr}, 4, 4, 0);
    ASSERT_EQ(Create(3, {{"bgpic", 1.0}}), 0);
    ASSERT_EQ(FreeBGPicById(ObjectId{1, nullptr}, 1), 0);
    ASSERT_EQ(FreeDisplayById(vm, ObjectId{3, nullptr}), 0);
    EXPECT_EQ(CountBGPics(), 0);
}

TEST_F(BGPicTest, PictureFreedWhileALayerShowsItIsRepointedAndWaits) {
    BGPic *canvas = MakePicture(ObjectId{1, nullptr}, 4, 4, 0);
    BGPic *shown = MakePicture(ObjectId{2, nullptr}, 4, 4, 0);
    vlLayer *layer = AddTestLayer(canvas, ObjectKindBGPicPart, ObjectId{2, nullptr});
    ASSERT_EQ(FreeBGPicById(ObjectId{2, nullptr}, 1), 0);
    EXPECT_EQ(shown->freePending, 1);
    EXPECT_EQ(layer->source.number, 0);
    EXPECT_EQ(layer->source.handle, shown);
    FlushPendingFrees();
    EXPECT_EQ(CountBGPics(), 2);
    DeleteTestLayer(layer);
    FlushPendingFrees();
    EXPECT_EQ(CountBGPics(), 1);
}

TEST_F(BGPicTest, PictureShownByADisplayAndALayerRepointsTheLayerToo) {
    MakePicture(ObjectId{1, nullptr}, 4, 4, 0);
    BGPic *shown = MakePicture(ObjectId{2, nullptr}, 4, 4, 0);
    ASSERT_EQ(Create(1, {{"bgpic", 2.0}}), 0);
    BGPic *canvas = BGPicList.front();
    vlLayer *layer = AddTestLayer(canvas, ObjectKindBGPicPart, ObjectId{2, nullptr});
    ASSERT_EQ(FreeBGPicById(ObjectId{2, nullptr}, 1), 0);
    // A new picture 2 must not appear in the old layer.
    EXPECT_EQ(layer->source.handle, shown);
}

TEST_F(BGPicTest, ModifyingAShownPictureGivesTheLayerACopy) {
    BGPic *canvas = MakePicture(ObjectId{1, nullptr}, 4, 4, 0);
    BGPic *shown = MakePicture(ObjectId{2, nullptr}, 4, 4, 0x0000FF);
    vlLayer *layer = AddTestLayer(canvas, ObjectKindBGPicPart, ObjectId{2, nullptr});
    BGPic *found = nullptr;
    ASSERT_EQ(FindBGPic(ObjectId{2, nullptr}, &found, kFindModify), 0);
    EXPECT_EQ(found, shown);
    ASSERT_NE(layer->source.handle, nullptr);
    BGPic *copy = static_cast<BGPic *>(layer->source.handle);
    EXPECT_NE(copy, shown);
    EXPECT_EQ(copy->freePending, 1);
    HostBitmapRow32(shown->base.bitmap, 0)[0] = 0xFFFFFF; // the script draws into the original
    EXPECT_EQ(Pixel(copy->current.bitmap, 0, 0), 0x0000FFu);
    EXPECT_NE(copy->base.bitmap, shown->base.bitmap);
    BGPic *pending = nullptr;
    EXPECT_EQ(FindBGPic(ObjectId{0, copy}, &pending, 0), kErrObjectNotFound);
    EXPECT_EQ(FindBGPic(ObjectId{0, copy}, &pending, kFindPending), 0);
}

TEST_F(BGPicTest, ModifyWithoutUnsharingLeavesTheLayerAlone) {
    BGPic *canvas = MakePicture(ObjectId{1, nullptr}, 4, 4, 0);
    MakePicture(ObjectId{2, nullptr}, 4, 4, 0);
    vlLayer *layer = AddTestLayer(canvas, ObjectKindBGPicPart, ObjectId{2, nullptr});
    BGPic *found = nullptr;
    ASSERT_EQ(FindBGPic(ObjectId{2, nullptr}, &found, kFindModify | kFindNoUnshare), 0);
    EXPECT_EQ(layer->source.number, 2);
    EXPECT_EQ(CountBGPics(), 2);
}

// ---- Copies and shared planes ----------------------------------------------------------------------------------

TEST_F(BGPicTest, CopyOfATexturedPictureOwnsItsOwnTexture) {
    BGPic *p = MakePicture(ObjectId{1, nullptr}, 4, 4, 0);
    p->type = kBGPicVector;
    p->fill.kind = kFillTexture;
    p->fill.texture = AllocHostBitmap(2, 2);
    ObjectId id{0, kAutoHandleRequest};
    BGPic *copy = nullptr;
    ASSERT_EQ(CopyBGPicRecord(p, &id, &copy), 0);
    EXPECT_EQ(id.handle, copy);
    ASSERT_NE(copy->fill.texture, nullptr);
    EXPECT_NE(copy->fill.texture, p->fill.texture);
    EXPECT_EQ(FreeBGPicById(ObjectId{1, nullptr}, 1), 0);
    EXPECT_EQ(FreeBGPicById(id, 1), 0); // ASan: no texture freed twice
}

TEST_F(BGPicTest, CopyKeepsTheSharingBetweenTriples) {
    BGPic *p = MakePicture(ObjectId{1, nullptr}, 4, 4, 0x112233);
    p->base.mask = AllocMaskPlane(nullptr, 4, 4);
    p->scaled = p->current = p->base;
    ASSERT_EQ(ScaleBGPicImage(p, 8, 8, false), 0);
    ObjectId id{5, nullptr};
    BGPic *copy = nullptr;
    ASSERT_EQ(CopyBGPicRecord(p, &id, &copy), 0);
    EXPECT_EQ(copy->current.bitmap, copy->scaled.bitmap);
    EXPECT_NE(copy->scaled.bitmap, copy->base.bitmap);
    EXPECT_EQ(copy->scaled.width, 8);
    EXPECT_EQ(Pixel(copy->current.bitmap, 7, 7), 0x112233u);
}

TEST_F(BGPicTest, ScalingToThePresentSizeAllocatesNothing) {
    BGPic *p = MakePicture(ObjectId{1, nullptr}, 6, 4, 0);
    HostBitmap *before = p->scaled.bitmap;
    ASSERT_EQ(ScaleBGPicImage(p, 6, 4, true), 0);
    EXPECT_EQ(p->scaled.bitmap, before);
    ASSERT_EQ(ScaleBGPicImage(p, 6, KEEPASPRAT, true), 0);
    EXPECT_EQ(p->scaled.bitmap, before);
}

TEST_F(BGPicTest, ScaleAndScaleBackFreesEveryPlaneOnce) {
    BGPic *p = MakePicture(ObjectId{1, nullptr}, 6, 4, 0x445566);
    p->base.alpha = AllocAlphaPlane(6, 4);
    p->scaled = p->current = p->base;
    ASSERT_EQ(ScaleBGPicImage(p, 12, 8, false), 0);
    EXPECT_NE(p->scaled.alpha, p->base.alpha);
    ASSERT_EQ(ScaleBGPicImage(p, 6, 4, false), 0);
    EXPECT_EQ(p->current.bitmap, p->scaled.bitmap);
    EXPECT_EQ(FreeBGPicById(ObjectId{1, nullptr}, 1), 0);
}

TEST_F(BGPicTest, BadScaleSizesAreRefused) {
    BGPic *p = MakePicture(ObjectId{1, nullptr}, 6, 4, 0);
    EXPECT_EQ(ScaleBGPicImage(p, 0, 4, false), 1218);
    EXPECT_EQ(ScaleBGPicImage(p, -3, 4, false), 1218);
    EXPECT_EQ(ScaleBGPicImage(p, KEEPASPRAT, KEEPASPRAT, false), kErrWrongUsage);
    EXPECT_EQ(ScaleBGPicImage(p, 2000000000, 2000000000, false), kErrWrongUsage); // beyond any bitmap
    EXPECT_EQ(p->scaled.width, 6);
}

TEST_F(BGPicTest, ScaledGradientIsRedrawnNotStretched) {
    BGPic *p = MakeGradientPicture(1, 10, 1, 0x000000, 0x0000FF);
    ASSERT_EQ(ScaleBGPicImage(p, 40, 1, false), 0);
    EXPECT_EQ(Pixel(p->scaled.bitmap, 0, 0), 0x000000u);
    EXPECT_EQ(Pixel(p->scaled.bitmap, 39, 0), 0x0000FFu);
    EXPECT_NE(Pixel(p->scaled.bitmap, 1, 0), 0u); // a stretched picture repeats its first pixel here
}

TEST_F(BGPicTest, VectorPictureWithoutAFillIsScaledFromItsImage) {
    BGPic *p = MakePicture(ObjectId{1, nullptr}, 4, 4, 0xFF0000);
    p->type = kBGPicVector; // as one made from a vector brush: no fill settings
    ASSERT_EQ(ScaleBGPicImage(p, 8, 8, false), 0);
    EXPECT_EQ(Pixel(p->scaled.bitmap, 7, 7), 0xFF0000u);
}

// ---- Building images -------------------------------------------------------------------------------------------

TEST_F(BGPicTest, TransparentColourWithoutFillKeepsItsMask) {
    const uint32_t pixels[4] = {0xFF00FF, 0x123456, 0x123456, 0xFF00FF};
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    BGPicFillSpec none;
    ASSERT_EQ(BuildBGPicImage(pixels, &none, 0xFF00FF, 2, 2, 2, &bitmap, &mask, &alpha), 0);
    ASSERT_NE(mask, nullptr);
    EXPECT_FALSE(MaskBit(mask, 0, 0));
    EXPECT_TRUE(MaskBit(mask, 1, 0));
    FreeHostBitmap(bitmap);
    FreeMaskPlane(mask);
}

TEST_F(BGPicTest, TransparentColourOverAFillIsFlattened) {
    const uint32_t pixels[4] = {0xFF00FF, 0x123456, 0x123456, 0xFF00FF};
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    BGPicFillSpec fill;
    fill.kind = kFillColor;
    fill.color = 0x00FF00;
    ASSERT_EQ(BuildBGPicImage(pixels, &fill, 0xFF00FF, 2, 2, 2, &bitmap, &mask, &alpha), 0);
    EXPECT_EQ(mask, nullptr);
    EXPECT_EQ(Pixel(bitmap, 0, 0), 0x00FF00u);
    EXPECT_EQ(Pixel(bitmap, 1, 0), 0x123456u);
    FreeHostBitmap(bitmap);
}

TEST_F(BGPicTest, AlphaOverAFillIsBlendedAndDropped) {
    const uint32_t pixels[1] = {0xFFFFFF};
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = AllocAlphaPlane(1, 1);
    alpha->bytes[0] = 0; // fully transparent: only the fill shows
    BGPicFillSpec fill;
    fill.kind = kFillColor;
    fill.color = 0x000080;
    ASSERT_EQ(BuildBGPicImage(pixels, &fill, -1, 1, 1, 1, &bitmap, &mask, &alpha), 0);
    EXPECT_EQ(alpha, nullptr);
    EXPECT_EQ(Pixel(bitmap, 0, 0), 0x000080u);
    FreeHostBitmap(bitmap);
}

TEST_F(BGPicTest, NoPixelsAndNoFillGiveBlackNotStaleMemory) {
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    BGPicFillSpec none;
    ASSERT_EQ(BuildBGPicImage(nullptr, &none, -1, 3, 3, 3, &bitmap, &mask, nullptr), 0);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 3; x++) EXPECT_EQ(HostBitmapRow32(bitmap, y)[x], 0u);
    FreeHostBitmap(bitmap);
}

TEST_F(BGPicTest, TextureFillOfAMissingBrushFailsWithTheBrushError) {
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    BGPicFillSpec fill;
    fill.kind = kFillTexture;
    fill.brushNumber = 12;
    EXPECT_EQ(BuildBGPicImage(nullptr, &fill, -1, 3, 3, 3, &bitmap, &mask, nullptr), kErrBrushNotFound);
    EXPECT_EQ(bitmap, nullptr);
}

TEST_F(BGPicTest, PixelRowsShorterThanTheWidthAreRefused) {
    const uint32_t pixels[4] = {};
    HostBitmap *bitmap = nullptr;
    MaskPlane *mask = nullptr;
    EXPECT_EQ(BuildBGPicImage(pixels, nullptr, -1, 4, 1, 2, &bitmap, &mask, nullptr), kErrWrongUsage);
}

// ---- Displays --------------------------------------------------------------------------------------------------

TEST_F(BGPicTest, ScalingToADisplayKeepsTheScaledImageAndSetsTheFactors) {
    BGPic *p = MakeGradientPicture(1, 10, 10, 0xFF0000, 0x00FF00);
    DisplayRecord display;
    display.scaledWidth = 20;
    display.scaledHeight = 5;
    display.autoScaling = 1;
    ASSERT_EQ(ScaleBGPicToDisplay(vm, &display, p, 1), 0);
    EXPECT_EQ(p->scaled.width, 10);
    EXPECT_EQ(p->current.width, 20);
    EXPECT_NE(p->current.bitmap, p->scaled.bitmap);
    EXPECT_DOUBLE_EQ(display.scaleX, 2.0);
    EXPECT_DOUBLE_EQ(display.scaleY, 0.5);
    ASSERT_NE(display.secondBitmap, nullptr);
    EXPECT_EQ(display.firstBitmap->width, 20);
    EXPECT_EQ(Pixel(display.secondBitmap, 19, 0), 0x00FF00u);
    FreeHostBitmap(display.firstBitmap);
    FreeHostBitmap(display.secondBitmap);
}

TEST_F(BGPicTest, LayerScaledDisplayAtTheRightSizeOnlySetsFactors) {
    BGPic *p = MakePicture(ObjectId{1, nullptr}, 10, 10, 0);
    DisplayRecord display;
    display.layerScaling = 1;
    display.scaledWidth = display.scaledHeight = 10;
    HostBitmap *before = p->current.bitmap;
    ASSERT_EQ(PrepareBGPicForDisplayScale(vm, &display, p, nullptr, nullptr), 0);
    EXPECT_EQ(p->current.bitmap, before);
    EXPECT_DOUBLE_EQ(display.scaleX, 1.0);
}

TEST_F(BGPicTest, AutoScaledDisplayGetsTheScaledShapeForItsWindow) {
    BGPic *p = MakePicture(ObjectId{1, nullptr}, 4, 4, 0);
    p->base.mask = AllocMaskPlane(nullptr, 4, 4);
    p->scaled = p->current = p->base;
    DisplayRecord display;
    display.autoScaling = 1;
    display.scaledWidth = display.scaledHeight = 8;
    MaskPlane *mask = nullptr;
    AlphaPlane *alpha = nullptr;
    ASSERT_EQ(PrepareBGPicForDisplayScale(vm, &display, p, &mask, &alpha), 0);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(mask->rows, 8);
    EXPECT_EQ(alpha, nullptr);
    EXPECT_DOUBLE_EQ(display.scaleX, 2.0);
    FreeMaskPlane(mask);
}

TEST_F(BGPicTest, RebuildTurnsKeptPixelsIntoPlanes) {
    auto *pixels = static_cast<uint32_t *>(AllocBlock(4 * sizeof(uint32_t), 1));
    pixels[3] = 0xABCDEF;
    BGPic *p = nullptr;
    ASSERT_EQ(CreateBGPicRecord(ObjectId{1, nullptr}, 0, 2, 2, 2, pixels, nullptr, nullptr, -1, nullptr, nullptr,
                                nullptr, nullptr, &p),
              0);
    ASSERT_EQ(RebuildAllBGPics(), 0);
    EXPECT_EQ(p->keptPixels, nullptr);
    ASSERT_NE(p->current.bitmap, nullptr);
    EXPECT_EQ(Pixel(p->current.bitmap, 1, 1), 0xABCDEFu);
}

// ---- Ending a redirected output --------------------------------------------------------------------------------

TEST_F(BGPicTest, EndSelectWithoutASelectionKeepsTheTextState) {
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"layers", 1.0}}, &d), 0);
    CurrentDisplay = d;
    d->cursorX = 7;
    ASSERT_EQ(EndSelectOutput(vm, d, 0), 0);
    EXPECT_EQ(d->layersEnabled, 1);
    EXPECT_EQ(d->cursorX, 7);
    EXPECT_EQ(CurrentBGPic, d->picture);
}

TEST_F(BGPicTest, EndSelectGivesBackTheSavedState) {
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"layers", 1.0}}, &d), 0);
    CurrentDisplay = d;
    d->cursorX = 7;
    SaveDisplayDrawState(d, ObjectKindBrush, 32);
    d->outputKind = ObjectKindBrush;
    ASSERT_EQ(EndSelectOutput(vm, d, 0), 0);
    EXPECT_EQ(d->outputKind, ObjectKindDisplay);
    EXPECT_EQ(d->layersEnabled, 1);
    EXPECT_EQ(d->cursorX, 7);
}

TEST_F(BGPicTest, EndSelectBringsADrawnPicturesScaledImageUpToDate) {
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {}, &d), 0);
    CurrentDisplay = d;
    BGPic *p = MakePicture(ObjectId{2, nullptr}, 4, 4, 0x000000);
    ASSERT_EQ(ScaleBGPicImage(p, 8, 8, false), 0);
    d->selectOutput = new OutputRecord;
    InitOutputRecord(d->selectOutput, ObjectKindBGPic, p, 0, nullptr, p->base.bitmap, nullptr, nullptr, 4, 4, 1);
    d->outputKind = ObjectKindBrush;
    CurrentBGPic = d->selectOutput;
    HostBitmapRow32(p->base.bitmap, 3)[3] = 0xFFFFFF; // drawn into the base image
    d->selectOutput->outputDrawn = 1;
    ASSERT_EQ(EndSelectOutput(vm, d, 0), 0);
    EXPECT_EQ(Pixel(p->scaled.bitmap, 7, 7), 0xFFFFFFu);
    EXPECT_EQ(p->current.bitmap, p->scaled.bitmap);
    EXPECT_EQ(CurrentBGPic, d->picture);
}

TEST_F(BGPicTest, EndingALayersModeSelectionClearsDeferredLayers) {
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"layers", 1.0}}, &d), 0);
    CurrentDisplay = d;
    vlLayer *layer = AddTestLayer(d->picture, ObjectKindBrush, ObjectId{1, nullptr});
    layer->deferred = 1;
    d->outputKind = ObjectKindBGPic;
    CurrentBGPic = d->picture;
    ASSERT_EQ(EndSelectOutput(vm, d, 0), 0);
    EXPECT_EQ(layer->deferred, 0);
    EXPECT_EQ(d->outputKind, ObjectKindDisplay);
}

// ---- Referrers -------------------------------------------------------------------------------------------------

TEST_F(BGPicTest, BrushReferrersMatchBrushPartLayers) {
    BGPic *canvas = MakePicture(ObjectId{1, nullptr}, 4, 4, 0);
    vlLayer *part = AddTestLayer(canvas, ObjectKindBrushPart, ObjectId{3, nullptr});
    vlLayer *whole = AddTestLayer(canvas, ObjectKindBrush, ObjectId{3, nullptr});
    vlLayer *other = AddTestLayer(canvas, ObjectKindAnim, ObjectId{3, nullptr});
    EXPECT_EQ(IsObjectUsedByLayers(ObjectKindBrush, ObjectId{3, nullptr}), 1);
    EXPECT_EQ(IsObjectUsedByLayers(ObjectKindBrush, ObjectId{4, nullptr}), 0);
    static int calls;
    calls = 0;
    ObjectId made{};
    ASSERT_EQ(ForEachReferrer(ObjectKindBrush, ObjectId{3, nullptr},
                              [](void *, ObjectId *id) {
                                  calls++;
                                  id->handle = &calls;
                                  return 0;
                              },
                              nullptr, &made),
              0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(made.handle, &calls);
    EXPECT_EQ(part->source.handle, &calls);
    EXPECT_EQ(whole->source.handle, &calls);
    EXPECT_EQ(other->source.number, 3);
}

TEST_F(BGPicTest, ReferrerWalkWithoutReferrersMakesNoCopy) {
    MakePicture(ObjectId{1, nullptr}, 4, 4, 0);
    ObjectId made{9, nullptr};
    ASSERT_EQ(ForEachReferrer(ObjectKindBrush, ObjectId{3, nullptr},
                              [](void *, ObjectId *) { return 1000; }, nullptr, &made),
              0);
    EXPECT_EQ(made.number, 9);
}

TEST_F(BGPicTest, ClipRegionUseIsFoundByRegion) {
    BGPic *canvas = MakePicture(ObjectId{1, nullptr}, 4, 4, 0);
    vlLayer *layer = AddTestLayer(canvas, ObjectKindBox, ObjectId{});
    ClipRegion region;
    layer->current->clip = &region;
    EXPECT_EQ(IsObjectUsedByLayers(ObjectKindClipRegion, ObjectId{0, &region}), 1);
    EXPECT_EQ(DetachLayerReferences(ObjectKindClipRegion, ObjectId{}, &region), 1);
    ClearLayerClipRegionRefs(&region);
    EXPECT_EQ(layer->current->clip, nullptr);
    EXPECT_EQ(IsObjectUsedByLayers(ObjectKindClipRegion, ObjectId{0, &region}), 0);
}

TEST_F(BGPicTest, SpriteOverlapUsesInclusiveBounds) {
    BGPic *canvas = MakePicture(ObjectId{1, nullptr}, 40, 40, 0);
    auto *sprite = new OnScreenSprite;
    sprite->x = sprite->y = 10;
    sprite->width = sprite->height = 5;
    canvas->sprites = sprite;
    EXPECT_EQ(SpritesOverlapRect(canvas, 14, 14, 1, 1), 1);
    EXPECT_EQ(SpritesOverlapRect(canvas, 15, 10, 3, 3), 0);
    EXPECT_EQ(SpritesOverlapRect(canvas, 0, 0, 10, 10), 0);
    EXPECT_EQ(SpritesOverlapRect(canvas, 0, 0, 11, 11), 1);
    EXPECT_EQ(SpritesOverlapRect(canvas, INT32_MAX - 1, 0, INT32_MAX, 1), 0);
}

TEST_F(BGPicTest, ImageLayerGoesOnTopOfTheCurrentPicture) {
    BGPic *canvas = MakePicture(ObjectId{1, nullptr}, 8, 8, 0);
    CurrentBGPic = canvas;
    AddTestLayer(canvas, ObjectKindBox, ObjectId{});
    ASSERT_EQ(AddImageLayer(vm, ObjectKindBrushPart, ObjectId{4, nullptr}, 1, 2, 3, 4, 5, 6, nullptr, nullptr,
                            AllocHostBitmap(5, 6), nullptr, nullptr, -1, 0),
              0);
    EXPECT_EQ(CountLayers(canvas), 2);
    vlLayer *top = LayerOfNode(LastNode(&canvas->layers));
    EXPECT_EQ(top->type, ObjectKindBrushPart);
    EXPECT_EQ(top->current->partX, 1);
    EXPECT_EQ(top->current->x, 3);
    EXPECT_EQ(canvas->layersChanged, 1);
    EXPECT_EQ(CountAllLayers(), 2);
}

TEST_F(BGPicTest, ButtonsGoWithTheirPicture) {
    BGPic *p = MakePicture(ObjectId{1, nullptr}, 4, 4, 0);
    auto *button = new vlBGPicButton;
    button->vm = vm;
    PushNumber(vm, 1);
    button->functionRef = MakeRef(vm, kRegistryIndex);
    const int ref = button->functionRef;
    p->buttons = button;
    EXPECT_EQ(FreeBGPicById(ObjectId{1, nullptr}, 1), 0); // ASan: the record is freed, not leaked
    PushRef(vm, kRegistryIndex, ref);
    EXPECT_NE(ValueType(vm, -1), TNUMBER); // and its callback reference given back
    SetTop(vm, 0);
}

} // namespace

namespace {

int32_t seenX, seenY;

// DisplayBGPic's display side as the display library will do it: read the table, show the picture.
int ShowPictureFromTable(VMState *vm, DisplayRecord *display, int) {
    ObjectId id{};
    if (!GetTableOptionObjectId(vm, 1, "bgpic", &id)) return kErrWrongUsage;
    seenX = seenY = -1;
    GetTableOption(vm, 1, "x", &seenX);
    GetTableOption(vm, 1, "y", &seenY);
    BGPic *bgpic = nullptr;
    if (int error = FindBGPic(id, &bgpic, 0)) return error;
    display->picture = bgpic;
    return CopyBGPicToDisplayBitmaps(display, bgpic, 1);
}

struct SwitchPictureTest : scenetest::SceneTest {
    DisplayRecord *display = nullptr;
    void SetUp() override {
        SceneTest::SetUp();
        ASSERT_EQ(Create(1, {{"width", 4.0}, {"height", 4.0}, {"color", double(0x0000FF)}}, &display), 0);
        CurrentDisplay = display;
        MakePicture(ObjectId{2, nullptr}, 8, 8, 0xFF0000);
        ApplyDisplayAttributesHook = ShowPictureFromTable;
    }
};

TEST_F(SwitchPictureTest, PassesThePictureAndGivenPositionToTheDisplay) {
    int top = -1;
    ASSERT_EQ(vmtest::RunCommand(vm, [&](VMState *v) {
        PushNumber(v, 77); // the command's own argument stays where it was
        int error = SwitchDisplayBGPic(v, ObjectId{2, nullptr}, 5, 100000, 0, nullptr, nullptr);
        top = GetTop(v);
        EXPECT_EQ(VMToNumber(v, 1), 77);
        return error;
    }),
              0);
    SetTop(vm, 0);
    EXPECT_EQ(top, 1);
    EXPECT_EQ(seenX, 5);
    EXPECT_EQ(seenY, -1); // 100000 keeps the coordinate: not passed on
    EXPECT_EQ(display->picture->id.number, 2);
}

TEST_F(SwitchPictureTest, TransitionGetsTheOldAndTheNewImage) {
    HostBitmap *newImage = nullptr, *oldImage = nullptr;
    ASSERT_EQ(vmtest::RunCommand(vm, [&](VMState *v) {
        return SwitchDisplayBGPic(v, ObjectId{2, nullptr}, 100000, 100000, 1, &newImage, &oldImage);
    }),
              0);
    SetTop(vm, 0);
    ASSERT_NE(newImage, nullptr);
    ASSERT_NE(oldImage, nullptr);
    EXPECT_EQ(newImage->width, 8);
    EXPECT_EQ(oldImage->width, 8); // the old picture brought to the new one's size
    EXPECT_EQ(Pixel(oldImage, 7, 7), 0x0000FFu);
    EXPECT_EQ(Pixel(newImage, 7, 7), 0xFF0000u);
    FreeHostBitmap(newImage);
    FreeHostBitmap(oldImage);
}

TEST_F(SwitchPictureTest, MissingPictureChangesNothing) {
    BGPic *before = display->picture;
    EXPECT_EQ(vmtest::RunCommand(vm, [&](VMState *v) {
        return SwitchDisplayBGPic(v, ObjectId{9, nullptr}, 0, 0, 0, nullptr, nullptr);
    }),
              kErrBGPicNotFound);
    SetTop(vm, 0);
    EXPECT_EQ(display->picture, before);
}

} // namespace

namespace {

struct BGPicCopyTest : scenetest::SceneTest {};

TEST_F(BGPicCopyTest, CopyOfAPreloadedPictureKeepsItsPixels) {
    auto *pixels = static_cast<uint32_t *>(AllocBlock(6 * sizeof(uint32_t), 1));
    pixels[4] = 0x010203; // row length 3: pixel (1, 1)
    BGPic *source = nullptr;
    ASSERT_EQ(CreateBGPicRecord(ObjectId{1, nullptr}, 0, 2, 2, 3, pixels, nullptr, nullptr, -1, nullptr, nullptr,
                                nullptr, nullptr, &source),
              0);
    ObjectId id{2, nullptr};
    BGPic *copy = nullptr;
    ASSERT_EQ(CopyBGPicRecord(source, &id, &copy), 0);
    ASSERT_NE(copy->keptPixels, nullptr);
    EXPECT_NE(copy->keptPixels, source->keptPixels);
    ASSERT_EQ(RebuildAllBGPics(), 0);
    EXPECT_EQ(scenetest::Pixel(copy->current.bitmap, 1, 1), 0x010203u);
}

} // namespace
