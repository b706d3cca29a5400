#include <climits>
#include <string>

#include "host/window.h"
#include "imaging/async_draw.h"
#include "runtime/app/startup_config.h"
#include "scene/display/object_kinds.h"
#include "tests/scene/scene_fixture.h"

namespace {

using scenetest::Options;
using scenetest::Pixel;
using scenetest::Region;
using scenetest::RegionList;

struct CreateDisplayTest : scenetest::SceneTest {};

TEST_F(CreateDisplayTest, AutomaticDisplayHasTheDefaults) {
    ASSERT_EQ(vmtest::RunCommand(vm, CmdCreateDisplay, {vmtest::Nil{}}), 0);
    ASSERT_EQ(ValueType(vm, -1), TLIGHTHANDLE);
    auto *d = static_cast<DisplayRecord *>(ToHandle(vm, -1));
    SetTop(vm, 0);
    ASSERT_EQ(CountDisplays(), 1);
    EXPECT_EQ(DisplayList, d);
    EXPECT_EQ(d->id.handle, d);
    EXPECT_EQ(d->width, 640);
    EXPECT_EQ(d->height, 480);
    EXPECT_STREQ(d->title, "Vistaloom");
    EXPECT_EQ(d->x, -100000);
    EXPECT_EQ(d->y, -100000);
    EXPECT_EQ(d->state, DISPSTATE_CLOSED);
    EXPECT_EQ(d->outputKind, ObjectKindDisplay);
    EXPECT_EQ(CurrentDisplay, nullptr);
    EXPECT_EQ(d->ownsPicture, 1);
    ASSERT_NE(d->picture, nullptr);
    EXPECT_EQ(d->picture->scaled.width, 640);
    EXPECT_EQ(Pixel(d->picture->current.bitmap, 639, 479), 0u);
    EXPECT_EQ(d->rightMargin, 639);
    EXPECT_NE(d->hostWindow, nullptr);
    ASSERT_NE(d->firstBitmap, nullptr);
    for (const EventHandlerSlot &slot : d->handlers) {
        EXPECT_EQ(slot.function, -1);
        EXPECT_EQ(slot.userdata, -1);
    }
}

TEST_F(CreateDisplayTest, NumberedDisplayPushesNoResult) {
    ASSERT_EQ(vmtest::RunCommand(vm, CmdCreateDisplay, {1.0}), 0);
    EXPECT_EQ(GetTop(vm), 0);
    DisplayRecord *d = nullptr;
    EXPECT_EQ(FindDisplay(ObjectId{1, nullptr}, &d), 0);
}

TEST_F(CreateDisplayTest, ReplacingTheCurrentDisplayIsRefused) {
    DisplayRecord *first = nullptr;
    ASSERT_EQ(Create(1, {}, &first), 0);
    CurrentDisplay = first;
    EXPECT_EQ(Create(1, {}), 1346);
    EXPECT_EQ(GetErrorText(1346), "Cannot free the active display!");
    EXPECT_EQ(CountDisplays(), 1);
}

TEST_F(CreateDisplayTest, ReplacingANumberedDisplayFreesTheOldOne) {
    DisplayRecord *first = nullptr, *second = nullptr;
    ASSERT_EQ(Create(1, {{"width", 100.0}}, &first), 0);
    ASSERT_EQ(Create(1, {{"width", 200.0}}, &second), 0);
    EXPECT_EQ(CountDisplays(), 1);
    EXPECT_EQ(DisplayList, second);
    EXPECT_EQ(second->width, 200);
    EXPECT_EQ(CountBGPics(), 1); // the old display's own picture went with it
}

TEST_F(CreateDisplayTest, DisplayWithAsyncDrawsIsNotReplaced) {
    DisplayRecord *first = nullptr;
    ASSERT_EQ(Create(1, {}, &first), 0);
    static DisplayRecord *owner;
    owner = first;
    CurrentDisplayHook = [] { return static_cast<void *>(owner); };
    AsyncDrawObject *object = nullptr;
    ASSERT_EQ(CreateAsyncDraw(ADF_FX, [](void *, int32_t *) { return 0; }, nullptr, nullptr, nullptr, nullptr,
                              &object),
              0);
    CurrentDisplayHook = nullptr;
    EXPECT_EQ(Create(1, {}), 1380);
    FreeAllAsyncDraws();
}

TEST_F(CreateDisplayTest, NonTableOptionsAreRefused) {
    int code = vmtest::RunCommand(vm, [](VMState *v) {
        PushNumber(v, 5);
        DisplayRecord *d = nullptr;
        return CreateDisplay(v, ObjectId{1, nullptr}, GetTop(v), &d);
    });
    SetTop(vm, 0);
    EXPECT_EQ(code, kErrTableExpected);
    EXPECT_EQ(CountDisplays(), 0);
}

TEST_F(CreateDisplayTest, WrongTypedOptionLeavesNoRecordBehind) {
    EXPECT_EQ(Create(1, {{"x", std::string("left")}}), kErrNumberFieldExpected);
    EXPECT_EQ(CountDisplays(), 0);
    EXPECT_EQ(CountBGPics(), 0);
}

TEST_F(CreateDisplayTest, CreationOnlyKeysSetFlagsAndPrivateFields) {
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"hidden", 1.0}, {"layers", 1.0}, {"private2", 7.0}}, &d), 0);
    EXPECT_TRUE(d->flags & kDisplayHidden);
    EXPECT_TRUE(d->flags & kDisplayLayers);
    EXPECT_EQ(d->layersEnabled, 1);
    EXPECT_EQ(d->private2, 7);
}

TEST_F(CreateDisplayTest, BackfillDisplayGoesToTheHeadOfTheList) {
    DisplayRecord *first = nullptr, *backfill = nullptr;
    ASSERT_EQ(Create(1, {}, &first), 0);
    ASSERT_EQ(Create(2, {{"private1", 1.0}}, &backfill), 0);
    EXPECT_EQ(DisplayList, backfill);
    EXPECT_EQ(backfill->next, first);
}

TEST_F(CreateDisplayTest, ScaledDisplayTakesItsScaledSize) {
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"scalemode", 1.0}, {"scalewidth", 320.0}, {"scaleheight", 240.0}}, &d), 0);
    EXPECT_EQ(d->autoScaling, 1);
    EXPECT_EQ(d->width, 320);
    EXPECT_EQ(d->picture->scaled.width, 640);
}

TEST_F(CreateDisplayTest, ScaledSizeWithoutAScaleModeIsDropped) {
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"scalewidth", 320.0}, {"scaleheight", 240.0}}, &d), 0);
    EXPECT_EQ(d->scaledWidth, 0);
    EXPECT_EQ(d->width, 640);
}

// ---- Option table ----------------------------------------------------------------------------------------------

TEST_F(CreateDisplayTest, NegativeScaledWidthIsAPercentageOfTheWidth) {
    DisplayRecord d;
    int given = 0;
    ASSERT_EQ(Parse(&d, {{"scalewidth", -50.0}}, 1, &given), 0);
    EXPECT_EQ(d.scaledWidth, 320);
    EXPECT_EQ(given, 1);
}

TEST_F(CreateDisplayTest, HugePercentageSaturatesInsteadOfOverflowing) {
    DisplayRecord d;
    ASSERT_EQ(Parse(&d, {{"scaleheight", -1e9}}), 0);
    EXPECT_EQ(d.scaledHeight, INT_MAX);
}

TEST_F(CreateDisplayTest, RefusedOptions) {
    scenetest::RegionEntry otherType = Region(0, 0, 5, 5);
    otherType.push_back({"type", 15});
    const std::pair<Options, int> cases[] = {
        {{{"scalewidth", 0.0}}, kErrWrongUsage},
        {{{"scaleheight", 0.0}}, kErrWrongUsage},
        {{{"scalemode", 3.0}}, kErrWrongUsage},
        {{{"sizeregion", RegionList{{{{"x", 0}, {"y", 0}, {"width", 5}}}}}}, kErrNotEnoughArguments}, // no height
        {{{"dragregion", RegionList{{otherType}}}}, kErrWrongUsage},
        {{{"dragregion", RegionList{{Region(-1, 0, 5, 5)}}}}, kErrWrongUsage}, // outside the window
        {{{"dragregion", RegionList{{Region(0, 0, 0, 5)}}}}, kErrWrongUsage},  // empty
    };
    for (const auto &[options, code] : cases) {
        DisplayRecord d;
        EXPECT_EQ(Parse(&d, options), code) << options.front().first;
    }
}

TEST_F(CreateDisplayTest, ScaleModeZeroClearsAScaledSizeGivenEarlierInTheTable) {
    DisplayRecord d;
    d.scaledLeft = 4;
    ASSERT_EQ(Parse(&d, {{"scalewidth", 300.0}, {"scaleheight", 200.0}, {"scalemode", 0.0}}), 0);
    EXPECT_EQ(d.scaledWidth, 0);
    EXPECT_EQ(d.scaledHeight, 0);
    EXPECT_EQ(d.scaledLeft, 0);
}

TEST_F(CreateDisplayTest, ScaleModesSetOneScalingField) {
    DisplayRecord d;
    ASSERT_EQ(Parse(&d, {{"scalemode", 2.0}, {"smoothscale", 1.0}}), 0);
    EXPECT_EQ(d.layerScaling, 1);
    EXPECT_EQ(d.autoScaling, 0);
    EXPECT_EQ(d.smoothScaling, 1);
    ASSERT_EQ(Parse(&d, {{"scalemode", 1.0}, {"smoothscale", 0.0}}), 0);
    EXPECT_EQ(d.layerScaling, 0);
    EXPECT_EQ(d.autoScaling, 1);
    EXPECT_EQ(d.smoothScaling, 0);
}

TEST_F(CreateDisplayTest, SwitchKeysSetAndClearTheirBits) {
    DisplayRecord d;
    d.flags = kDisplayFixed;
    ASSERT_EQ(Parse(&d, {{"borderless", 1.0}, {"fixed", 0.0}, {"fitscale", 1.0}}), 0);
    EXPECT_EQ(d.flags, kDisplayBorderless | kDisplayFitScale);
}

TEST_F(CreateDisplayTest, OneRegionAtIndexZeroHasTypeBox) {
    DisplayRecord d;
    ASSERT_EQ(Parse(&d, {{"dragregion", RegionList{{Region(0, 0, 10, 10)}}}}), 0);
    EXPECT_EQ(d.dragRegionCount, 1);
    EXPECT_EQ(d.dragRegionsGiven, 1);
    EXPECT_EQ(d.dragRegions[0].type, 14);
    EXPECT_EQ(d.dragRegions[0].width, 10);
    EXPECT_EQ(d.scriptDragRegions[0].height, 10);
}

TEST_F(CreateDisplayTest, RegionListStartingAtOneGivesNoRegion) {
    DisplayRecord d;
    ASSERT_EQ(Parse(&d, {{"dragregion", RegionList{{Region(0, 0, 5, 5)}, 1}}}), 0);
    EXPECT_EQ(d.dragRegionCount, 0);
    EXPECT_EQ(d.dragRegionsGiven, 0);
}

TEST_F(CreateDisplayTest, SixtyFourRegionsFitAndTheSixtyFifthIsRefused) {
    RegionList list;
    for (int i = 0; i < 64; i++) list.entries.push_back(Region(i, 0, 1, 1));
    DisplayRecord d;
    ASSERT_EQ(Parse(&d, {{"sizeregion", list}}), 0);
    EXPECT_EQ(d.sizeRegionCount, 64);
    list.entries.push_back(Region(64, 0, 1, 1));
    DisplayRecord other;
    EXPECT_EQ(Parse(&other, {{"sizeregion", list}}), kErrWrongUsage);
    EXPECT_EQ(other.sizeRegionCount, 0);
}

TEST_F(CreateDisplayTest, TitleOf255BytesFitsAnd256IsRefused) {
    DisplayRecord d;
    ASSERT_EQ(Parse(&d, {{"title", std::string(255, 'a')}}), 0);
    EXPECT_EQ(std::string(d.title), std::string(255, 'a'));
    EXPECT_EQ(Parse(&d, {{"title", std::string(256, 'b')}}), kErrWrongUsage);
    EXPECT_EQ(std::string(d.title), std::string(255, 'a'));
}

TEST_F(CreateDisplayTest, PictureShownByAnotherDisplayIsRefused) {
    DisplayRecord *first = nullptr;
    ASSERT_EQ(Create(1, {}, &first), 0);
    EXPECT_EQ(Create(2, {{"bgpic", first->picture->id.handle}}), 1345);
    EXPECT_EQ(GetErrorText(1345), "Cannot use the a single BGPic for multiple displays!");
    EXPECT_EQ(CountDisplays(), 1);
}

TEST_F(CreateDisplayTest, GivenPictureSetsTheSizeAndIsNotOwned) {
    BGPic *picture = scenetest::MakePicture(ObjectId{4, nullptr}, 30, 20, 0x123456);
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"bgpic", 4.0}, {"width", 999.0}}, &d), 0);
    EXPECT_EQ(d->picture, picture);
    EXPECT_EQ(d->ownsPicture, 0);
    EXPECT_EQ(d->width, 30);
    EXPECT_EQ(Pixel(d->firstBitmap, 29, 19), 0x123456u);
}

TEST_F(CreateDisplayTest, MissingPictureIsReported) {
    EXPECT_EQ(Create(1, {{"bgpic", 9.0}}), kErrBGPicNotFound);
    EXPECT_EQ(GetErrorText(kErrBGPicNotFound), "Could not find BGPic 9!");
}

// ---- The own picture -------------------------------------------------------------------------------------------

TEST_F(CreateDisplayTest, PlainFillColoursEveryPixel) {
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"width", 8.0}, {"height", 4.0}, {"color", double(0xFF8000)}}, &d), 0);
    EXPECT_EQ(Pixel(d->picture->base.bitmap, 0, 0), 0xFF8000u);
    EXPECT_EQ(Pixel(d->picture->base.bitmap, 7, 3), 0xFF8000u);
    EXPECT_EQ(d->picture->type, kBGPicPicture);
}

TEST_F(CreateDisplayTest, GradientFillRunsFromStartToEndColour) {
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"width", 16.0}, {"height", 2.0}, {"fillstyle", 2.0},
                         {"gradientstartcolor", double(0x0000FF)}, {"gradientendcolor", double(0xFF0000)}},
                     &d),
              0);
    const BGPic *p = d->picture;
    EXPECT_EQ(Pixel(p->base.bitmap, 0, 0), 0x0000FFu);
    EXPECT_EQ(Pixel(p->base.bitmap, 15, 1), 0xFF0000u);
    EXPECT_EQ(p->type, kBGPicVector);
    EXPECT_EQ(p->fill.kind, kFillGradient);
    EXPECT_EQ(p->fill.endColor, 0xFF0000u);
}

TEST_F(CreateDisplayTest, MissingTextureBrushLeavesNoRecord) {
    EXPECT_EQ(Create(1, {{"fillstyle", 3.0}, {"texturebrush", 7.0}}), kErrBrushNotFound);
    EXPECT_EQ(GetErrorText(kErrBrushNotFound), "Could not find brush 7!");
    EXPECT_EQ(CountDisplays(), 0);
    EXPECT_EQ(CountBGPics(), 0);
}

HostBitmap *TextureBitmap() {
    static HostBitmap *texture = [] {
        HostBitmap *b = AllocHostBitmap(2, 2);
        HostBitmapRow32(b, 0)[0] = 0x111111;
        HostBitmapRow32(b, 0)[1] = 0x222222;
        HostBitmapRow32(b, 1)[0] = 0x333333;
        HostBitmapRow32(b, 1)[1] = 0x444444;
        return b;
    }();
    return texture;
}

int FakeBrush(ObjectId id, int, ImageTriple *image) {
    if (id.number != 7) return kErrBrushNotFound;
    *image = ImageTriple{TextureBitmap(), nullptr, nullptr, 2, 2};
    return 0;
}

TEST_F(CreateDisplayTest, TextureFillTilesTheBrushFromItsOffset) {
    FindBrushImageHook = FakeBrush;
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"width", 4.0}, {"height", 4.0}, {"fillstyle", 3.0}, {"texturebrush", 7.0},
                         {"texturex", 1.0}},
                     &d),
              0);
    const BGPic *p = d->picture;
    EXPECT_EQ(Pixel(p->base.bitmap, 0, 0), 0x222222u);
    EXPECT_EQ(Pixel(p->base.bitmap, 1, 1), 0x333333u);
    EXPECT_EQ(Pixel(p->base.bitmap, 3, 3), 0x333333u);
    EXPECT_EQ(p->fill.kind, kFillTexture);
    ASSERT_NE(p->fill.texture, nullptr);
    EXPECT_NE(p->fill.texture, TextureBitmap()); // a copy the picture owns
    EXPECT_EQ(p->fill.textureWidth, 2);
}

TEST_F(CreateDisplayTest, ExtremeTextureOffsetsWrapIntoTheTexture) {
    FindBrushImageHook = FakeBrush;
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"width", 3.0}, {"height", 3.0}, {"fillstyle", 3.0}, {"texturebrush", 7.0},
                         {"texturex", -1.0}, {"texturey", 2147483647.0}},
                     &d),
              0);
    EXPECT_EQ(Pixel(d->picture->base.bitmap, 0, 0), 0x444444u);
    EXPECT_EQ(Pixel(d->picture->base.bitmap, 2, 2), 0x444444u);
}

TEST_F(CreateDisplayTest, UnknownFillStyleIsRefused) {
    EXPECT_EQ(Create(1, {{"fillstyle", 4.0}}), kErrWrongUsage);
    EXPECT_EQ(CountDisplays(), 0);
}

TEST_F(CreateDisplayTest, SizesBelowOneAreRefused) {
    EXPECT_EQ(Create(1, {{"width", 0.0}}), kErrWrongUsage);
    EXPECT_EQ(Create(1, {{"height", -5.0}}), kErrWrongUsage);
    EXPECT_EQ(CountDisplays(), 0);
}

TEST_F(CreateDisplayTest, HugeSizeIsOutOfMemoryWithoutAllocating) {
    EXPECT_EQ(Create(1, {{"width", 2e9}, {"height", 2e9}}), kErrOutOfMemory);
    EXPECT_EQ(CountDisplays(), 0);
    EXPECT_EQ(CountBGPics(), 0);
    PreloadActive = 1;
    EXPECT_EQ(Create(1, {{"width", 2e9}, {"height", 2e9}}), kErrOutOfMemory);
    EXPECT_EQ(CountBGPics(), 0);
}

// ---- While preloading ------------------------------------------------------------------------------------------

TEST_F(CreateDisplayTest, PreloadedDisplayOneGetsBGPicOneAsPixels) {
    scenetest::MakePicture(ObjectId{1, nullptr}, 5, 5, 0xABCDEF);
    PreloadActive = 1;
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"width", 4.0}, {"height", 3.0}, {"color", double(0x00FF00)}}, &d), 0);
    EXPECT_EQ(CountBGPics(), 1); // the old BGPic 1 was replaced
    EXPECT_EQ(d->picture->id.number, 1);
    EXPECT_EQ(d->picture->id.handle, nullptr);
    ASSERT_NE(d->picture->keptPixels, nullptr);
    EXPECT_EQ(d->picture->keptPixels[11], 0x00FF00u);
    EXPECT_EQ(d->picture->base.bitmap, nullptr);
    EXPECT_EQ(d->firstBitmap, nullptr);
    ASSERT_EQ(RebuildAllBGPics(), 0);
    EXPECT_EQ(d->picture->keptPixels, nullptr);
    EXPECT_EQ(Pixel(d->picture->current.bitmap, 3, 2), 0x00FF00u);
}

TEST_F(CreateDisplayTest, PreloadedOtherDisplayGetsAnAutomaticPicture) {
    PreloadActive = 1;
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(2, {{"width", 4.0}, {"height", 3.0}}, &d), 0);
    EXPECT_EQ(d->picture->id.handle, d->picture);
}

TEST_F(CreateDisplayTest, DisplayDesktopRefusesAnInitialBGPicOne) {
    DisplayConfig config;
    config.displayDesktop = 1;
    SetRegistryHandle(vm, "displayconfig", &config);
    scenetest::MakePicture(ObjectId{1, nullptr}, 5, 5, 0);
    PreloadActive = 1;
    EXPECT_EQ(Create(1, {}), 1086);
    EXPECT_EQ(CountDisplays(), 0);
    SetRegistryHandle(vm, "displayconfig", nullptr);
}

TEST_F(CreateDisplayTest, DisplayDesktopPictureStartsBlack) {
    DisplayConfig config;
    config.displayDesktop = 1;
    SetRegistryHandle(vm, "displayconfig", &config);
    PreloadActive = 1;
    DisplayRecord *d = nullptr;
    ASSERT_EQ(Create(1, {{"width", 3.0}, {"height", 2.0}, {"color", double(0xFFFFFF)}}, &d), 0);
    for (int i = 0; i < 6; i++) EXPECT_EQ(d->picture->keptPixels[i], 0u);
    SetRegistryHandle(vm, "displayconfig", nullptr);
}

} // namespace
