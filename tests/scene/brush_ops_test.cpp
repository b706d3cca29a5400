// Brushes: loading the picture formats, cut-outs and alpha, creating, copying, saving, drawing at the position
// constants, and the sharing rules with layers (deferred free, copy before change, locks, the active output).
#include <cstdio>
#include <filesystem>

#include "host/blit.h"
#include "imaging/position.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/object_list.h"
#include "tests/scene/display_open_fixture.h"
#include "tests/support/files.h"

namespace {

using displaytest::BrushData;
using displaytest::DisplayTest;
using scenetest::Options;
using scenetest::Pixel;

struct BrushTest : DisplayTest {
    Brush *Load(int32_t number, const char *file, LoadBrushOptions options = {}, int *code = nullptr) {
        Brush *made = nullptr;
        int error = LoadBrushFile(ObjectId{number, nullptr}, BrushData(file).c_str(), options, 0, &made);
        if (code) *code = error;
        else EXPECT_EQ(error, 0) << file;
        return made;
    }
};

uint8_t AlphaAt(const AlphaPlane *a, int32_t x, int32_t y) { return a->bytes[size_t(y) * size_t(a->bytesPerRow) + size_t(x)]; }

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

// ---- Loading -------------------------------------------------------------------------------------------------

TEST_F(BrushTest, PngKeepsItsAlphaChannelWhenAsked) {
    LoadBrushOptions options;
    options.loadAlpha = 1;
    Brush *b = Load(1, "alpha.png", options);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->width, 8);
    EXPECT_EQ(b->height, 6);
    EXPECT_EQ(Pixel(b->bitmap, 0, 0), 0xFF0000u);
    EXPECT_EQ(Pixel(b->bitmap, 7, 0), 0x0000FFu);
    ASSERT_NE(b->alpha, nullptr);
    EXPECT_EQ(AlphaAt(b->alpha, 0, 0), 255);
    EXPECT_EQ(AlphaAt(b->alpha, 0, 2), 128);
    EXPECT_EQ(AlphaAt(b->alpha, 0, 5), 0);
    EXPECT_EQ(b->mask, nullptr);
}

TEST_F(BrushTest, PngWithoutLoadAlphaHasNoAlphaChannel) {
    Brush *b = Load(1, "alpha.png");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->alpha, nullptr);
}

TEST_F(BrushTest, BmpWithTransparentColourGetsAMask) {
    LoadBrushOptions options;
    options.transparent = 0xFF00FF;
    Brush *b = Load(1, "plain.bmp", options);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Pixel(b->bitmap, 0, 0), 0x00FF00u);
    EXPECT_EQ(Pixel(b->bitmap, 3, 2), 0xFF00FFu);
    ASSERT_NE(b->mask, nullptr);
    EXPECT_TRUE(MaskBit(b->mask, 0, 0));
    EXPECT_FALSE(MaskBit(b->mask, 3, 2));
    EXPECT_EQ(b->transparentColor, 0xFF00FF);
}

TEST_F(BrushTest, GifTransparentIndexWinsOverTheArgument) {
    LoadBrushOptions options;
    options.transparent = 0x123456;
    Brush *b = Load(1, "key.gif", options);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->transparentColor, 0);
    ASSERT_NE(b->mask, nullptr);
    EXPECT_FALSE(MaskBit(b->mask, 0, 0));
    EXPECT_TRUE(MaskBit(b->mask, 3, 3));
    EXPECT_EQ(Pixel(b->bitmap, 3, 3), 0xFFFF00u);
}

TEST_F(BrushTest, JpegDecodesToItsGrays) {
    Brush *b = Load(1, "gray.jpg");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->width, 16);
    EXPECT_TRUE(Near(Pixel(b->bitmap, 2, 2), 0x404040, 4)) << std::hex << Pixel(b->bitmap, 2, 2);
    EXPECT_TRUE(Near(Pixel(b->bitmap, 13, 5), 0xC0C0C0, 4)) << std::hex << Pixel(b->bitmap, 13, 5);
}

TEST_F(BrushTest, TruncatedPictureGivesAnErrorAndNoBrush) {
    int code = 0;
    EXPECT_EQ(Load(1, "truncated.png", {}, &code), nullptr);
    EXPECT_NE(code, 0);
    EXPECT_EQ(CountBrushes(), 0);
}

TEST_F(BrushTest, NegativeCutOutSizeIsRefusedBeforeAllocating) {
    LoadBrushOptions options;
    options.width = -4;
    int code = 0;
    EXPECT_EQ(Load(1, "plain.bmp", options, &code), nullptr);
    EXPECT_EQ(code, 1218);
    options.width = 0;
    options.height = -1;
    Load(1, "plain.bmp", options, &code);
    EXPECT_EQ(code, 1218);
    EXPECT_EQ(CountBrushes(), 0);
}

TEST_F(BrushTest, CutOutOutsideThePictureIsRefused) {
    LoadBrushOptions options;
    options.x = 8;
    int code = 0;
    Load(1, "plain.bmp", options, &code);
    EXPECT_EQ(code, 1217);
    options.x = -1;
    Load(1, "plain.bmp", options, &code);
    EXPECT_EQ(code, 1154);
}

TEST_F(BrushTest, CutOutWiderThanThePictureStopsAtItsEdge) {
    LoadBrushOptions options;
    options.x = 2;
    options.y = 2;
    options.width = 100;
    Brush *b = Load(1, "plain.bmp", options);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->width, 6);
    EXPECT_EQ(b->height, 4);
    EXPECT_EQ(Pixel(b->bitmap, 0, 0), 0xFF00FFu);
}

TEST_F(BrushTest, GlobalAlphaHalvesTheAlphaChannel) {
    LoadBrushOptions options;
    options.loadAlpha = 1;
    options.globalAlpha = 128;
    Brush *b = Load(1, "alpha.png", options);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(AlphaAt(b->alpha, 0, 0), 128);
    EXPECT_EQ(AlphaAt(b->alpha, 0, 2), 64);
}

TEST_F(BrushTest, GlobalAlphaWithoutAlphaChannelMakesAFlatOne) {
    LoadBrushOptions options;
    options.globalAlpha = 300;
    Brush *b = Load(1, "plain.bmp", options);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(b->alpha, nullptr);
    EXPECT_EQ(AlphaAt(b->alpha, 5, 5), 255);
}

TEST_F(BrushTest, LoadAlphaWithTransparentColourGives1223) {
    LoadBrushOptions options;
    options.loadAlpha = 1;
    options.transparent = 0;
    int code = 0;
    Load(1, "alpha.png", options, &code);
    EXPECT_EQ(code, 1223);
}

TEST_F(BrushTest, CacheOptionsActOnlyWhilePreloading) {
    LoadBrushOptions options;
    options.cachedLoad = "nothing-cached";
    EXPECT_NE(Load(1, "plain.bmp", options), nullptr);
    Brush *made = nullptr;
    EXPECT_EQ(LoadBrushFile(ObjectId{2, nullptr}, BrushData("plain.bmp").c_str(), options, 1, &made), 1246);
}

TEST_F(BrushTest, PreloadKeepsPixelsUntilTheRebuild) {
    PreloadActive = 1;
    Brush *b = nullptr;
    LoadBrushOptions options;
    options.transparent = 0xFF00FF;
    ASSERT_EQ(LoadBrushFile(ObjectId{1, nullptr}, BrushData("plain.bmp").c_str(), options, 1, &b), 0);
    PreloadActive = 0;
    EXPECT_EQ(b->bitmap, nullptr);
    EXPECT_NE(b->keptPixels, nullptr);
    Brush *made = nullptr;
    ASSERT_EQ(CreateBrushRecord(ObjectId{2, nullptr}, 4, 4, 0, 0, 0, 0, &made), 0); // no kept pixels: left alone
    ASSERT_EQ(RebuildAllBrushes(), 0);
    EXPECT_EQ(b->keptPixels, nullptr);
    ASSERT_NE(b->bitmap, nullptr);
    ASSERT_NE(b->mask, nullptr);
    EXPECT_FALSE(MaskBit(b->mask, 3, 2));
    EXPECT_NE(made->bitmap, nullptr);
}

TEST_F(BrushTest, LoadBrushCommandPushesTheAutomaticHandle) {
    ASSERT_EQ(Cmd("LoadBrush", {vmtest::Nil{}, BrushData("plain.bmp")}), 0);
    void *handle = ResultHandle();
    Brush *b = nullptr;
    EXPECT_EQ(FindBrush(ObjectId{0, handle}, &b, 0), 0);
    EXPECT_EQ(b, handle);
}

TEST_F(BrushTest, LoadBrushReadsItsOptionTable) {
    ASSERT_EQ(Cmd("LoadBrush", {1.0, BrushData("alpha.png")}, Options{{"loadalpha", 1.0}, {"x", 4.0}}), 0);
    Brush *b = nullptr;
    ASSERT_EQ(FindBrush(ObjectId{1, nullptr}, &b, 0), 0);
    EXPECT_EQ(b->width, 4);
    EXPECT_NE(b->alpha, nullptr);
    EXPECT_EQ(Pixel(b->bitmap, 0, 0), 0x0000FFu);
}

// ---- Creating, copying, saving --------------------------------------------------------------------------------

TEST_F(BrushTest, CreateBrushRefusesEmptySizesAndMaskWithAlpha) {
    EXPECT_EQ(Cmd("CreateBrush", {1.0, 0.0, 10.0}), 1218);
    EXPECT_EQ(Cmd("CreateBrush", {1.0, 10.0, 10.0, 0.0}, Options{{"mask", 1.0}, {"alphachannel", 1.0}}), 1055);
    EXPECT_EQ(CountBrushes(), 0);
}

TEST_F(BrushTest, CreateBrushClearMaskIsInvisibleOtherwiseVisible) {
    ASSERT_EQ(Cmd("CreateBrush", {1.0, 16.0, 4.0, double(0x123456)}, Options{{"mask", 1.0}, {"clear", 1.0}}), 0);
    ASSERT_EQ(Cmd("CreateBrush", {2.0, 16.0, 4.0, double(0x123456)}, Options{{"mask", 1.0}}), 0);
    Brush *clear = nullptr, *visible = nullptr;
    ASSERT_EQ(FindBrush(ObjectId{1, nullptr}, &clear, 0), 0);
    ASSERT_EQ(FindBrush(ObjectId{2, nullptr}, &visible, 0), 0);
    EXPECT_FALSE(MaskBit(clear->mask, 15, 3));
    EXPECT_TRUE(MaskBit(visible->mask, 15, 3));
    EXPECT_EQ(visible->transparentColor, kCreateBrushMaskMarker);
    EXPECT_EQ(Pixel(visible->bitmap, 15, 3), 0x123456u);
}

TEST_F(BrushTest, CreateBrushAlphaChannelIsOpaqueUnlessCleared) {
    ASSERT_EQ(Cmd("CreateBrush", {1.0, 4.0, 4.0, 0.0}, Options{{"alphachannel", 1.0}}), 0);
    Brush *b = nullptr;
    ASSERT_EQ(FindBrush(ObjectId{1, nullptr}, &b, 0), 0);
    EXPECT_EQ(AlphaAt(b->alpha, 3, 3), 255);
}

TEST_F(BrushTest, CreatingANumberFreesTheOldBrushOfThatNumber) {
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 4, 0, 0, 0, 0), 0);
    ASSERT_EQ(Cmd("CreateBrush", {1.0, 8.0, 8.0}), 0);
    EXPECT_EQ(CountBrushes(), 1);
}

TEST_F(BrushTest, CopyBrushOntoItselfOrFromNothingFails) {
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 4, 0xFF, 0, 0, 0), 0);
    EXPECT_EQ(Cmd("CopyBrush", {1.0, 1.0}), 1055);
    EXPECT_EQ(Cmd("CopyBrush", {9.0, 2.0}), 1174);
    EXPECT_EQ(GetErrorText(1174), "Could not find brush 9!");
    int dummy = 0;
    EXPECT_EQ(Cmd("CopyBrush", {static_cast<void *>(&dummy), 2.0}), 1041);
}

TEST_F(BrushTest, CopyBrushDuplicatesPlanesAndTransparentColour) {
    LoadBrushOptions options;
    options.transparent = 0xFF00FF;
    Brush *source = Load(1, "plain.bmp", options);
    ASSERT_EQ(Cmd("CopyBrush", {1.0, 2.0}), 0);
    Brush *copy = nullptr;
    ASSERT_EQ(FindBrush(ObjectId{2, nullptr}, &copy, 0), 0);
    EXPECT_NE(copy->bitmap, source->bitmap);
    EXPECT_EQ(copy->transparentColor, 0xFF00FF);
    EXPECT_FALSE(MaskBit(copy->mask, 3, 2));
    EXPECT_EQ(Pixel(copy->bitmap, 0, 0), 0x00FF00u);
}

TEST_F(BrushTest, SaveBrushAsBmpLoadsBackTheSamePixels) {
    Brush *original = Load(1, "plain.bmp");
    ScratchDirectory scratch;
    const std::string file = scratch.File("roundtrip.bmp");
    ASSERT_EQ(Cmd("SaveBrush", {1.0, file}), 0);
    Brush *again = nullptr;
    ASSERT_EQ(LoadBrushFile(ObjectId{2, nullptr}, file.c_str(), {}, 0, &again), 0);
    ASSERT_EQ(again->width, original->width);
    ASSERT_EQ(again->height, original->height);
    for (int32_t y = 0; y < original->height; y++)
        for (int32_t x = 0; x < original->width; x++)
            ASSERT_EQ(Pixel(again->bitmap, x, y), Pixel(original->bitmap, x, y)) << x << "," << y;
}

TEST_F(BrushTest, SaveBrushOfAMissingBrushGives1174) { EXPECT_EQ(Cmd("SaveBrush", {5.0, "x.bmp"}), 1174); }

// ---- Drawing -------------------------------------------------------------------------------------------------

TEST_F(BrushTest, DisplayBrushPlacesAtThePositionConstants) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 40.0}, {"height", 30.0}, {"color", 0.0}});
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 2, 0xFFFFFF, 0, 0, 0), 0);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, double(kPosRight), double(kPosBottom)}), 0);
    EXPECT_EQ(Pixel(d->firstBitmap, 39, 29), 0xFFFFFFu);
    EXPECT_EQ(Pixel(d->firstBitmap, 36, 28), 0xFFFFFFu);
    EXPECT_EQ(Pixel(d->firstBitmap, 35, 29), 0u);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, double(kPosCenter), double(kPosCenter)}), 0);
    EXPECT_EQ(Pixel(d->firstBitmap, 18, 14), 0xFFFFFFu);
    EXPECT_EQ(Pixel(d->firstBitmap, 17, 14), 0u);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, double(kPosLeft + 2), double(kPosTop)}), 0);
    EXPECT_EQ(Pixel(d->firstBitmap, 2, 0), 0xFFFFFFu);
    EXPECT_EQ(Pixel(d->firstBitmap, 1, 0), 0u);
}

TEST_F(BrushTest, DisplayBrushBlendsThroughItsAlpha) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 16.0}, {"height", 16.0}, {"color", 0.0}});
    LoadBrushOptions options;
    options.loadAlpha = 1;
    Load(1, "alpha.png", options);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 0.0, 0.0}), 0);
    EXPECT_EQ(Pixel(d->firstBitmap, 0, 0), 0xFF0000u);
    EXPECT_TRUE(Near(Pixel(d->firstBitmap, 0, 3), 0x800000, 2)) << std::hex << Pixel(d->firstBitmap, 0, 3);
    EXPECT_EQ(Pixel(d->firstBitmap, 0, 5), 0u);
}

TEST_F(BrushTest, DisplayBrushPartDrawsTheRectangleOnly) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 16.0}, {"height", 16.0}, {"color", 0.0}});
    Load(1, "plain.bmp");
    ASSERT_EQ(Cmd("DisplayBrushPart", {1.0, 2.0, 2.0, 10.0, 10.0, 2.0, 1.0}), 0);
    EXPECT_EQ(Pixel(d->firstBitmap, 10, 10), 0xFF00FFu);
    EXPECT_EQ(Pixel(d->firstBitmap, 11, 10), 0xFF00FFu);
    EXPECT_EQ(Pixel(d->firstBitmap, 12, 10), 0u);
    EXPECT_EQ(Pixel(d->firstBitmap, 10, 11), 0u);
}

TEST_F(BrushTest, DisplayBrushShowsAnOpenDisplay) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 32.0}, {"height", 16.0}, {"color", 0.0}});
    ASSERT_EQ(RealizeDisplay(d, 0), 0);
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 4, 0x00FF00, 0, 0, 0), 0);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 8.0, 4.0}), 0);
    std::vector<uint32_t> shown = displaytest::WindowPixels(d->hostWindow);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown[size_t(5) * 32 + 9], 0x00FF00u);
    EXPECT_EQ(shown[0], 0u);
}

TEST_F(BrushTest, DisplayBrushWithLayersNeedsTheLayersLibrary) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 16.0}, {"height", 16.0}});
    d->layersEnabled = 1;
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 4, 0, 0, 0, 0), 0);
    EXPECT_EQ(Cmd("DisplayBrush", {1.0, 0.0, 0.0}), kErrLibraryNotRegistered);
    EXPECT_EQ(ErrorArgString(), "layers");
}

// ---- Sharing with layers, locks, the active output -------------------------------------------------------------

TEST_F(BrushTest, FreedBrushALayerShowsWaitsForTheLayer) {
    BGPic *picture = scenetest::MakePicture(ObjectId{1, nullptr}, 8, 8, 0);
    Brush *b = nullptr;
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 4, 0xFF, 0, 0, 0, &b), 0);
    vlLayer *layer = scenetest::AddTestLayer(picture, ObjectKindBrush, ObjectId{1, nullptr});
    ASSERT_EQ(Cmd("FreeBrush", {1.0}), 0);
    EXPECT_EQ(CountBrushes(), 1);
    EXPECT_TRUE(b->freePending);
    EXPECT_EQ(layer->source.handle, b);
    ASSERT_EQ(Cmd("CreateBrush", {1.0, 2.0, 2.0}), 0); // the number is free again at once
    EXPECT_EQ(CountBrushes(), 2);
    scenetest::DeleteTestLayer(layer);
    FlushPendingFrees();
    EXPECT_EQ(CountBrushes(), 1);
}

TEST_F(BrushTest, ModifyingAShownBrushGivesTheLayerACopy) {
    BGPic *picture = scenetest::MakePicture(ObjectId{1, nullptr}, 8, 8, 0);
    Brush *b = nullptr;
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 4, 0xFF, 0, 0, 0, &b), 0);
    vlLayer *layer = scenetest::AddTestLayer(picture, ObjectKindBrush, ObjectId{1, nullptr});
    Brush *found = nullptr;
    ASSERT_EQ(FindBrush(ObjectId{1, nullptr}, &found, kFindBrushModify), 0);
    EXPECT_EQ(found, b);
    ASSERT_NE(layer->source.handle, nullptr);
    Brush *copy = static_cast<Brush *>(layer->source.handle);
    EXPECT_NE(copy, b);
    EXPECT_TRUE(copy->freePending);
    EXPECT_EQ(Pixel(copy->bitmap, 3, 3), 0xFFu);
    scenetest::DeleteTestLayer(layer);
    FlushPendingFrees();
    EXPECT_EQ(CountBrushes(), 1);
}

TEST_F(BrushTest, LockedBrushCanBeNeitherFreedNorModified) {
    Brush *b = nullptr;
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 4, 0, 0, 0, 0, &b), 0);
    b->lockCount = 1;
    EXPECT_EQ(Cmd("FreeBrush", {1.0}), 1314);
    Brush *found = nullptr;
    EXPECT_EQ(FindBrush(ObjectId{1, nullptr}, &found, kFindBrushModify), 1314);
    EXPECT_EQ(FreeBrushById(ObjectId{1, nullptr}, 0), 1314); // even when a missing brush would be no error
    b->lockCount = 0;
}

TEST_F(BrushTest, BrushThatIsTheOutputCannotBeFreed) {
    DisplayRecord *d = MakeCurrent(1, Options{{"width", 16.0}, {"height", 16.0}});
    Brush *b = nullptr;
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 4, 0, 0, 0, 0, &b), 0);
    OutputRecord output;
    output.outputSourceKind = ObjectKindBrush;
    output.outputSourceObject = b;
    d->selectOutput = &output;
    d->outputKind = ObjectKindBrush;
    EXPECT_EQ(Cmd("FreeBrush", {1.0}), 1149);
    d->outputKind = ObjectKindDisplay;
    d->selectOutput = nullptr;
    EXPECT_EQ(Cmd("FreeBrush", {1.0}), 0);
}

TEST_F(BrushTest, VectorBrushIsRefusedWhereVectorsAreNot) {
    Brush *b = nullptr;
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 4, 0, 0, 0, 0, &b), 0);
    b->type = kBrushVector;
    Brush *found = nullptr;
    EXPECT_EQ(FindBrush(ObjectId{1, nullptr}, &found, kFindBrushModify | kFindBrushNoVector), 1388);
    EXPECT_EQ(FindBrush(ObjectId{1, nullptr}, &found, kFindBrushModify), 0);
}

TEST_F(BrushTest, FreeBrushOfNothingIsAnErrorOnlyWhenStrict) {
    EXPECT_EQ(Cmd("FreeBrush", {3.0}), 1174);
    EXPECT_EQ(FreeBrushById(ObjectId{3, nullptr}, 0), 0);
}

// ---- Links ---------------------------------------------------------------------------------------------------

TEST_F(BrushTest, GetBrushLinkCopiesAPicture) {
    scenetest::MakePicture(ObjectId{4, nullptr}, 6, 5, 0xABCDEF);
    ASSERT_EQ(Cmd("GetBrushLink", {2.0, double(ObjectKindBGPic), 4.0}), 0);
    Brush *b = nullptr;
    ASSERT_EQ(FindBrush(ObjectId{2, nullptr}, &b, 0), 0);
    EXPECT_EQ(b->width, 6);
    EXPECT_EQ(Pixel(b->bitmap, 5, 4), 0xABCDEFu);
}

TEST_F(BrushTest, GetBrushLinkChecksKindAndLayers) {
    MakeCurrent(1, Options{{"width", 16.0}, {"height", 16.0}});
    EXPECT_EQ(Cmd("GetBrushLink", {2.0, 2.0, 1.0}), 1055);
    EXPECT_EQ(Cmd("GetBrushLink", {2.0, double(ObjectKindLayer), 1.0}), 1078);
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 4, 0, 0, 0, 0), 0);
    EXPECT_EQ(Cmd("ConvertToBrush", {double(ObjectKindBrush), 1.0, 1.0}), 1055);
    EXPECT_EQ(Cmd("ConvertToBrush", {double(ObjectKindBrush), 1.0, vmtest::Nil{}}), 0);
    EXPECT_EQ(CountBrushes(), 2);
}

// ---- Commands still to come ---------------------------------------------------------------------------------

} // namespace
