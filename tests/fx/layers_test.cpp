// Layer transitions that a script cannot reach: a window resized mid-run on a display that scales its layers
// reruns the transition on the new size, the layer's visibility put back first; a display freed under an async
// layer transition; seeking an async blend; an async transition whose layer moves or is replaced.
#include "host/blit.h"
#include "host/os/input_inject.h"
#include "runtime/app/runtime_globals.h"
#include "scene/layers/layers.h"
#include "scene/layers/layers_library.h"
#include "tests/fx/fx_fixture.h"

namespace {

using fxtest::FxTest;

struct LayerFxTest : FxTest {
    void SetUp() override {
        FxTest::SetUp();
        RegisterLayersLibrary(vm);
    }
    void TearDown() override {
        FxTest::TearDown();
        FreeLayersLibrary(vm);
    }
    // An open 40 x 30 blue display with layers on (more options added) and brush 1, 20 x 10 in red.
    DisplayRecord *OpenLayeredDisplay(scenetest::Options extra, Brush **brush) {
        scenetest::Options options{{"width", 40.0}, {"height", 30.0}, {"color", double(0x0000FF)}};
        options.insert(options.end(), extra.begin(), extra.end());
        DisplayRecord *d = MakeCurrent(1, options);
        EXPECT_NE(d, nullptr);
        if (!d || RealizeDisplay(d, 0) != 0 || Cmd("EnableLayers", {}) != 0) return nullptr;
        EXPECT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 20, 10, 0xFF0000, 0, 0, 0, brush), 0);
        return d;
    }
};

DisplayRecord *ResizedDisplay = nullptr;
int FramesUntilResize = 0;
int LayerHiddenAtResize = -1;
int FramesPlayed = 0;

TEST_F(LayerFxTest, ResizeMidRunRerunsTheShowingAtTheNewSize) {
    Brush *brush = nullptr;
    DisplayRecord *d = OpenLayeredDisplay({{"scalemode", 2.0}}, &brush);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 0.0, 0.0}), 0);
    ASSERT_EQ(Cmd("HideLayer", {1.0}), 0);
    vlLayer *layer = GetNthLayer(CurrentBGPic, 1);
    ASSERT_NE(layer, nullptr);
    ResizedDisplay = d;
    FramesUntilResize = 3;
    WaitVerticalBlankHook = [] {
        FramesPlayed++;
        if (--FramesUntilResize != 0) return;
        LayerHiddenAtResize = GetNthLayer(CurrentBGPic, 1)->hidden;
        InjectWindowEvent(ResizedDisplay->hostWindow, 5, 80, 60);
    };
    frames.clear();
    ASSERT_EQ(Cmd("ShowLayerFX", {1.0, 0.0, -1.0}), 0);
    WaitVerticalBlankHook = nullptr;
    EXPECT_EQ(LayerHiddenAtResize, 1); // the effect never shows the layer before its end
    EXPECT_EQ(FramesPlayed, 3 + 40);   // three frames, then HSTRIPES anew over the layer now 40 wide
    EXPECT_EQ(d->picture->current.width, 80);
    layer = GetNthLayer(CurrentBGPic, 1);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->hidden, 0);
    EXPECT_EQ(layer->inTransition, 0);
    const std::vector<uint32_t> shown = displaytest::WindowPixels(d->hostWindow);
    ASSERT_EQ(shown.size(), 80u * 60u);
    EXPECT_EQ(shown[0], 0xFF0000u);                // the layer, scaled with the display
    EXPECT_EQ(shown[19 * 80 + 39], 0xFF0000u);
    EXPECT_EQ(shown[59 * 80 + 79], 0x0000FFu);
    EXPECT_EQ(brush->lockCount, 0);
}

TEST_F(LayerFxTest, FreeingTheDisplayEndsAnAsyncLayerTransitionOnce) {
    Brush *brush = nullptr;
    ASSERT_NE(OpenLayeredDisplay({}, &brush), nullptr);
    for (int n = 0; n < 2; n++) {
        ASSERT_EQ(Cmd("DisplayBrushFX", {1.0, 0.0, 0.0}, scenetest::Options{{"type", double(n ? kFxScrollLeft : kFxCrossfade)}, {"async", 1.0}}), 0);
        AsyncDrawObject *object = FindAsyncDraw(ResultHandle());
        ASSERT_NE(object, nullptr);
        int32_t finished = 0;
        ASSERT_EQ(StepAsyncDraw(object, &finished), 0);
    }
    EXPECT_EQ(brush->lockCount, 2);
    CurrentDisplay = nullptr;
    FreeAllDisplays(vm);
    EXPECT_EQ(CountAsyncDraws(), 0);
    EXPECT_EQ(brush->lockCount, 0);
}

TEST_F(LayerFxTest, SeekingAnAsyncBlendEqualsThePlayedFrames) {
    Brush *brush = nullptr;
    DisplayRecord *d = OpenLayeredDisplay({}, &brush);
    ASSERT_NE(d, nullptr);
    fxtest::FillPattern(brush->bitmap, fxtest::NewPattern);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 5.0, 5.0}), 0);
    ASSERT_EQ(Cmd("HideLayer", {1.0}), 0);
    // The blends and the families drawing into the layer's planes draw the frame at once; PUZZLE, DIAGONAL, UPNDOWN
    // and the scrolls replay from frame 0.
    for (int32_t effect : {kFxCrossfade, kFxFade, kFxBlend, kFxPuzzle, kFxDiagonal, kFxUpNDown, kFxClockWipe, kFxDissolve, kFxSun, kFxScrollNorthEast, kFxZoomCenter, kFxHFlowTop, kFxRollTop, kFxHStrangePush, kFxPixelZoom1}) {
        std::vector<fxtest::Frame> pictures;
        for (bool seek : {false, true}) {
            SeedRuntimeDrand48(5);
            SeedRuntimeRand(5);
            const double speed = effect >= kFxCrossfade ? 30.0 : 1.0;
            ASSERT_EQ(Cmd("ShowLayerFX", {1.0}, scenetest::Options{{"type", double(effect)}, {"speed", speed}, {"parameter", double(0x804020)}, {"async", 1.0}}), 0);
            AsyncDrawObject *object = FindAsyncDraw(ResultHandle());
            ASSERT_NE(object, nullptr);
            int32_t finished = 0;
            // A seek after two played frames: the replayed frames must be those of the first run.
            for (int i = 0; i < (seek ? 2 : 3); i++) ASSERT_EQ(StepAsyncDraw(object, &finished), 0);
            if (seek) object->notify(kAsyncNotifySeek, reinterpret_cast<void *>(intptr_t(3)), object->context);
            EXPECT_EQ(object->notify(kAsyncNotifyFrame, nullptr, object->context), 3);
            pictures.push_back(fxtest::PixelsOf(d->secondBitmap));
            FreeAsyncDrawsOfDisplay(d);
            ASSERT_EQ(Cmd("HideLayer", {1.0}), 0);
        }
        EXPECT_EQ(pictures[0], pictures[1]) << effect;
    }
}

// A scroll moves the layer itself, out and back to its place when hiding, the move's frames when async; a quit
// before the first frame still leaves it where it stood and its brush unlocked.
TEST_F(LayerFxTest, ScrollsMoveTheLayerAndPutItBack) {
    Brush *brush = nullptr;
    DisplayRecord *d = OpenLayeredDisplay({}, &brush);
    ASSERT_NE(d, nullptr);
    fxtest::FillPattern(brush->bitmap, fxtest::NewPattern);
    const fxtest::Frame empty = fxtest::PixelsOf(d->secondBitmap);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 5.0, 5.0}), 0);
    vlLayer *layer = GetNthLayer(CurrentBGPic, 1);
    const auto home = [&] { return layer->first->x == 5 && layer->first->y == 5 && !layer->inTransition; };
    WaitVerticalBlankHook = [] { fxtest::CapturedFrames->push_back(fxtest::PixelsOf(CurrentDisplay->secondBitmap)); };
    frames.clear();
    ASSERT_EQ(Cmd("HideLayerFX", {1.0}, scenetest::Options{{"type", double(kFxScrollLeft)}, {"speed", 10.0}}), 0);
    ASSERT_EQ(frames.size(), 3u); // x 5 to -20: -5, -15, -20
    EXPECT_EQ(frames[0][5 * 40], fxtest::NewPattern(5, 0));
    EXPECT_EQ(frames[0][5 * 40 + 15], empty[5 * 40 + 15]);
    EXPECT_EQ(frames[2], empty);
    EXPECT_TRUE(home() && layer->hidden);
    ASSERT_EQ(Cmd("ShowLayerFX", {1.0}, scenetest::Options{{"type", double(kFxScrollBottom)}, {"speed", 4.0}, {"async", 1.0}}), 0);
    AsyncDrawObject *object = FindAsyncDraw(ResultHandle());
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->notify(kAsyncNotifyFrameCount, nullptr, object->context), 7); // from y 30 to 5
    int32_t finished = 0, played = 0;
    for (; !finished && played < 100; played++) ASSERT_EQ(StepAsyncDraw(object, &finished), 0);
    EXPECT_EQ(played, 7);
    FreeAllAsyncDraws();
    EXPECT_TRUE(home() && !layer->hidden);
    InjectQuit();
    ASSERT_EQ(Cmd("DisplayBrushFX", {1.0, 5.0, 5.0}, scenetest::Options{{"type", double(kFxScrollRight)}}), 0);
    QuitRequested = 0;
    layer = GetNthLayer(CurrentBGPic, 2);
    EXPECT_TRUE(home());
    EXPECT_EQ(brush->lockCount, 0);
    ASSERT_EQ(Cmd("RemoveLayerFX", {2.0}, scenetest::Options{{"type", double(kFxScrollTop)}}), 0);
    EXPECT_EQ(CountLayers(CurrentBGPic), 1);
}

TEST_F(LayerFxTest, AsyncTransitionFollowsItsMovedLayer) {
    Brush *brush = nullptr;
    DisplayRecord *d = OpenLayeredDisplay({}, &brush);
    ASSERT_NE(d, nullptr);
    fxtest::FillPattern(brush->bitmap, fxtest::NewPattern);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 2.0, 3.0}), 0);
    ASSERT_EQ(Cmd("HideLayer", {1.0}), 0);
    vlLayer *layer = GetNthLayer(CurrentBGPic, 1);
    for (int32_t effect : {kFxHStripes, kFxCrossfade}) {
        std::vector<fxtest::Frame> pictures;
        for (bool moveMidway : {true, false}) {
            SetLayerPosition(layer, nullptr, moveMidway ? 2 : 15, moveMidway ? 3 : 12, 0, 0, nullptr);
            ASSERT_EQ(Cmd("ShowLayerFX", {1.0}, scenetest::Options{{"type", double(effect)}, {"speed", 2.0}, {"parameter", 2.0},
                                                                   {"async", 1.0}}),
                      0);
            AsyncDrawObject *object = FindAsyncDraw(ResultHandle());
            ASSERT_NE(object, nullptr);
            int32_t finished = 0;
            for (int i = 0; i < 4; i++) {
                if (moveMidway && i == 3) SetLayerPosition(layer, nullptr, 15, 12, 0, 0, nullptr);
                ASSERT_EQ(StepAsyncDraw(object, &finished), 0);
            }
            pictures.push_back(fxtest::PixelsOf(d->secondBitmap));
            FreeAsyncDrawsOfDisplay(d);
            ASSERT_EQ(Cmd("HideLayer", {1.0}), 0);
        }
        EXPECT_EQ(pictures[0], pictures[1]) << effect;
    }
}

TEST_F(LayerFxTest, AsyncTransitionMovesToTheLayerThatReplacesItsOwn) {
    Brush *brush = nullptr;
    DisplayRecord *d = OpenLayeredDisplay({}, &brush);
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 2.0, 3.0}), 0);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 12.0, 13.0}), 0);
    vlLayer *replacement = GetNthLayer(CurrentBGPic, 1), *replaced = GetNthLayer(CurrentBGPic, 2);
    ASSERT_EQ(Cmd("HideLayerFX", {2.0}, scenetest::Options{{"type", double(kFxBars)}, {"async", 1.0}}), 0);
    AsyncDrawObject *object = FindAsyncDraw(ResultHandle());
    ASSERT_NE(object, nullptr);
    int32_t finished = 0;
    ASSERT_EQ(StepAsyncDraw(object, &finished), 0);
    ASSERT_EQ(NotifyAsyncDraws(kAsyncNotifyLayerReplaced, replaced), 0);
    DeleteLayer(vm, replaced, 0, nullptr, nullptr, nullptr, nullptr, nullptr);
    for (int i = 0; i < 100 && !finished; i++) ASSERT_EQ(StepAsyncDraw(object, &finished), 0);
    EXPECT_TRUE(finished);
    EXPECT_EQ(replacement->hidden, 1);
    EXPECT_EQ(replacement->inTransition, 0);
}

// A layer that emulates a picture draws that picture again when its layers change mid-run (changed pixels stand in
// for a changed layer here), at the frame reached.
TEST_F(LayerFxTest, AnEmulatedPictureThatChangesMidRunIsDrawnAgain) {
    Brush *brush = nullptr;
    DisplayRecord *d = OpenLayeredDisplay({}, &brush);
    ASSERT_NE(d, nullptr);
    BGPic *emulated = scenetest::MakePicture(ObjectId{8, nullptr}, 20, 10, 0x00FF00);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 0.0, 0.0}), 0);
    ASSERT_EQ(Cmd("HideLayer", {1.0}), 0);
    ASSERT_EQ(Cmd("ShowLayerFX", {1.0}, scenetest::Options{{"type", double(kFxPushLeft)}, {"speed", 5.0}, {"bgpicemu", 1.0},
                                                          {"bgpic", 8.0}, {"async", 1.0}}),
              0);
    AsyncDrawObject *object = FindAsyncDraw(ResultHandle());
    ASSERT_NE(object, nullptr);
    int32_t finished = 0;
    ASSERT_EQ(StepAsyncDraw(object, &finished), 0);
    const auto pixel = [&](int32_t x) { return HostBitmapRow32(d->secondBitmap, 5)[x] & 0xFFFFFF; };
    EXPECT_EQ(pixel(0), 0x00FF00u);
    EXPECT_EQ(pixel(9), 0x0000FFu);
    RECTFILL(emulated->current.bitmap, 0, 0, 20, 10, 0xFFFFFF);
    emulated->layersChanged = 1;
    ASSERT_EQ(StepAsyncDraw(object, &finished), 0);
    EXPECT_EQ(pixel(0), 0xFFFFFFu);
    EXPECT_EQ(pixel(15), 0x0000FFu);
}

// Every built effect shows a hidden layer exactly as ShowLayer does and hides it back to the scene without it;
// hiding with RECTNORTH shrinks the layer towards its bottom centre.
TEST_F(LayerFxTest, EveryEffectShowsAndHidesALayerExactly) {
    Brush *brush = nullptr;
    DisplayRecord *d = OpenLayeredDisplay({}, &brush);
    ASSERT_NE(d, nullptr);
    fxtest::FillPattern(brush->bitmap, fxtest::NewPattern);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 5.0, 5.0}), 0);
    const fxtest::Frame shown = fxtest::PixelsOf(d->secondBitmap);
    ASSERT_EQ(Cmd("HideLayer", {1.0}), 0);
    const fxtest::Frame hidden = fxtest::PixelsOf(d->secondBitmap);
    // Frames of the composed picture, which the window shows.
    WaitVerticalBlankHook = [] { fxtest::CapturedFrames->push_back(fxtest::PixelsOf(CurrentDisplay->secondBitmap)); };
    for (int32_t id = 0; id < kFxEffectIdCount; id++) {
        if (!FindFxEffect(id)) continue;
        SCOPED_TRACE(FxEffects[id].name);
        ASSERT_EQ(Cmd("ShowLayerFX", {1.0}, scenetest::Options{{"type", double(id)}, {"speed", -2.0}}), 0);
        EXPECT_EQ(fxtest::PixelsOf(d->secondBitmap), shown);
        frames.clear();
        ASSERT_EQ(Cmd("HideLayerFX", {1.0}, scenetest::Options{{"type", double(id)}, {"speed", -2.0}}), 0);
        EXPECT_EQ(fxtest::PixelsOf(d->secondBitmap), hidden);
        if (id != kFxRectNorth) continue;
        ASSERT_GE(frames.size(), 2u);
        const size_t bottomCentre = size_t(14 * 40 + 14), topLeft = size_t(5 * 40 + 5);
        for (size_t f = 0; f + 1 < frames.size(); f++) EXPECT_EQ(frames[f][bottomCentre], shown[bottomCentre]) << f;
        EXPECT_EQ(frames[frames.size() - 2][topLeft], hidden[topLeft]);
    }
}

TEST_F(LayerFxTest, PixelAndShapeEffectsShowAndHideALayerExactly) {
    Brush *brush = nullptr;
    DisplayRecord *d = OpenLayeredDisplay({}, &brush);
    ASSERT_NE(d, nullptr);
    const fxtest::Frame without = fxtest::PixelsOf(d->secondBitmap);
    fxtest::FillPattern(brush->bitmap, fxtest::NewPattern);
    ASSERT_EQ(Cmd("DisplayBrush", {1.0, 5.0, 5.0}), 0);
    const fxtest::Frame with = fxtest::PixelsOf(d->secondBitmap);
    ASSERT_NE(with, without);
    for (int32_t effect : {kFxDissolve, kFxClockWipe, kFxSun, kFxStar, kFxRollLeft, kFxRollTop, kFxPixelZoom1, kFxPixelZoom2, kFxWater1, kFxStrudel}) {
        SCOPED_TRACE(FxEffects[effect].name);
        ASSERT_EQ(Cmd("HideLayerFX", {1.0}, scenetest::Options{{"type", double(effect)}, {"speed", -2.0}}), 0);
        EXPECT_EQ(fxtest::PixelsOf(d->secondBitmap), without);
        ASSERT_EQ(Cmd("ShowLayerFX", {1.0}, scenetest::Options{{"type", double(effect)}, {"speed", -2.0}}), 0);
        EXPECT_EQ(fxtest::PixelsOf(d->secondBitmap), with);
    }
}

} // namespace
