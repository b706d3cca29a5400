// The engine's rules (speed, reversal, the plane helpers, the random choice), pinned frames of single effects, and
// the refusals and release paths of a transition.
#include <climits>

#include "fx/effect_families.h"
#include "host/blit.h"
#include "host/os/input_inject.h"
#include "runtime/app/object_kinds.h"
#include "runtime/app/runtime_globals.h"
#include "scene/images/brush.h"
#include "tests/fx/fx_fixture.h"

namespace {

using fxtest::Frame;
using fxtest::FxTest;

TEST(FxEngine, SpeedRuleAndReversal) {
    // Rules of every kind, on a 40 x 90 area; `along` is 50.
    const FxSpeedRule along{kFxAlong, {70, 30, 200}}, longest{kFxLongest, {10, 5, 20}, kFxNoBound, 3, 7};
    const FxSpeedRule width{kFxWidth, {4, 2, 8}, kFxHalf}, restart{kFxAlong, {2, 1, 4}, kFxOneOverQuarter};
    const FxSpeedRule steps{kFxFixed, {10, 20, 5}, kFxNoBound, 1, 120, kFxBelow1Normal};
    const FxSpeedRule fifths{kFxFixed, {2, 5, 1}, kFxNoBound, 1, 8, kFxFifths};
    const FxSpeedRule below{kFxAlong, {1, 1, 1}, kFxBelowSize}, twice{kFxAlong, {1, 1, 1}, kFxTwice};
    struct StepCase { const FxSpeedRule &rule; int32_t speed, expected; };
    for (const StepCase &c : {StepCase{along, -1, 1}, {along, -2, 1}, {along, 0, 1}, {along, -7, 1}, {along, 25, 25},
                              {along, INT32_MAX, INT32_MAX}, {longest, -1, 7}, {longest, -3, 4}, {longest, 1, 3},
                              {width, -1, 10}, {width, -2, 20}, {width, 30, 25}, {restart, -3, 12}, {restart, -1, 1},
                              {restart, 13, 1}, {steps, -2, 20}, {steps, 0, 10}, {steps, -4, 10}, {steps, 500, 120},
                              {fifths, -3, 1}, {fifths, 14, 2}, {fifths, 4, 1}, {fifths, 99, 8}, {below, -1, 49},
                              {twice, INT32_MAX, 100}})
        EXPECT_EQ(FxSpeedStep(c.rule, c.speed, 50, 40, 90), c.expected) << "speed " << c.speed;
    struct CountCase { int32_t size, step, flag, expected; };
    for (const CountCase &c : {CountCase{0, 5, 0, 1}, {10, 5, 0, 3}, {11, 5, 0, 4}, {10, 5, 1, 2}, {-3, 5, 1, 1},
                               {INT32_MAX, 1, 0, INT32_MAX}})
        EXPECT_EQ(EffectStepCount(c.size, c.step, c.flag), c.expected) << c.size << "/" << c.step;
    for (int32_t id = 0; id <= kFxRandomEffect; id++) {
        const int32_t reversed = ReverseEffect(id);
        EXPECT_EQ(ReverseEffect(reversed), id);
        const bool paired = (id >= kFxVOpenCurtain && id <= kFxHCloseCurtain) ||
                            (id >= kFxRevealLeft && id <= kFxRevealBottom) ||
                            (id >= kFxRectCenter && id <= kFxRectNorthWest) ||
                            (id >= kFxRectBackCenter && id <= kFxRectBackNorthWest);
        EXPECT_EQ(reversed != id, paired) << id;
    }
    EXPECT_EQ(ReverseEffect(kFxRevealLeft), kFxRevealRight);
    EXPECT_EQ(ReverseEffect(kFxRectCenter), kFxRectBackCenter);
    EXPECT_EQ(ReverseEffect(kFxHOpenCurtain), kFxHCloseCurtain);
}

TEST(FxEngine, PlaneHelpersClipAndFill) {
    HostBitmap *source = AllocHostBitmap(20, 10);
    HostBitmap *dest = AllocHostBitmap(20, 10);
    fxtest::FillPattern(source, fxtest::NewPattern);
    ClippedCopyRect(source, -10, 0, dest, 0, 0, 15, 1, 20, 10, 20, 10);
    EXPECT_EQ(HostBitmapRow32(dest, 0)[9], 0u);
    EXPECT_EQ(HostBitmapRow32(dest, 0)[10] & 0xFFFFFF, fxtest::NewPattern(0, 0));
    EXPECT_EQ(HostBitmapRow32(dest, 0)[14] & 0xFFFFFF, fxtest::NewPattern(4, 0));
    EXPECT_EQ(HostBitmapRow32(dest, 0)[15], 0u);

    MaskPlane *mask = AllocMaskPlane(source, 20, 10, true);
    AlphaPlane *alpha = AllocAlphaPlane(20, 10, false), *built = AllocAlphaPlane(20, 10, true);
    FillMaskRect(mask, 3, 2, 4, 1, MASKVISIBLE);
    BuildFxAlpha(built, mask, nullptr, 20, 10);
    EXPECT_EQ(built->bytes[2 * built->bytesPerRow + 3], 255);
    EXPECT_EQ(built->bytes[2 * built->bytesPerRow + 7], 0);
    for (int i = 0; i < alpha->bytesPerRow * 10; i++) alpha->bytes[i] = uint8_t(i);
    BuildFxAlpha(built, nullptr, alpha, 20, 10);
    EXPECT_EQ(built->bytes[3 * built->bytesPerRow + 5], alpha->bytes[3 * alpha->bytesPerRow + 5]);
    BuildFxAlpha(built, nullptr, nullptr, 20, 10);
    for (int i = 0; i < built->bytesPerRow * 10; i++) ASSERT_EQ(built->bytes[i], 255) << "byte " << i;

    // A negative source draws nothing; clearing without a request touches only the destination plane.
    FreeHostBitmap(dest);
    dest = AllocHostBitmap(20, 10);
    DrawFxRect(source, -1, 0, dest, nullptr, built, 0, 0, 5, 5, 20, 10, 20, 10, nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(HostBitmapRow32(dest, 0)[0], 0u);
    DrawFxRect(source, 0, 0, dest, nullptr, built, 2, 2, 3, 3, 20, 10, 20, 10, nullptr, nullptr, nullptr, kFxRectClear);
    EXPECT_EQ(built->bytes[2 * built->bytesPerRow + 2], 0);
    EXPECT_EQ(built->bytes[2 * built->bytesPerRow + 5], 255);
    EXPECT_EQ(HostBitmapRow32(dest, 2)[2], 0u);
    // With a request, flag 16 keeps the work plane while the copy still lands.
    FxRequest request;
    request.workAlpha = AllocAlphaPlane(20, 10, true);
    DrawFxRect(source, 0, 0, dest, nullptr, built, 0, 0, 4, 4, 20, 10, 20, 10, nullptr, alpha, &request,
               kFxRectKeepWork);
    EXPECT_EQ(request.workAlpha->bytes[0], 0);
    EXPECT_EQ(HostBitmapRow32(dest, 1)[1] & 0xFFFFFF, fxtest::NewPattern(1, 1));
    DrawFxRect(source, 0, 0, dest, nullptr, built, 0, 0, 4, 4, 20, 10, 20, 10, nullptr, alpha, &request, 0);
    EXPECT_EQ(request.workAlpha->bytes[request.workAlpha->bytesPerRow + 1], 255);
    FreeAlphaPlane(request.workAlpha);
    FreeHostBitmap(source);
    FreeHostBitmap(dest);
    FreeMaskPlane(mask);
    FreeAlphaPlane(alpha);
    FreeAlphaPlane(built);
}

TEST(FxEngine, RandomChoiceSkipsTheGapAndRepeatsForASeed) {
    SeedRuntimeDrand48(1234);
    std::vector<int32_t> first;
    for (int i = 0; i < 500; i++) {
        const int32_t id = DrawRandomEffect(i % 2 == 0);
        ASSERT_TRUE(id >= kFxHStripes && id < kFxRandomEffect && id != kFxNoEffectId) << id;
        if (i % 2 == 0) {
            ASSERT_FALSE(FxEffectHas(id, kFxBGPicOnly)) << id;
        }
        first.push_back(id);
    }
    SeedRuntimeDrand48(1234);
    for (int i = 0; i < 500; i++) ASSERT_EQ(DrawRandomEffect(i % 2 == 0), first[size_t(i)]);
}

TEST_F(FxTest, EffectConstantsAreTheIdsAndTheirAliases) {
    EXPECT_EQ(FindConstant("SCROLLWEST")->number, 47);
    EXPECT_EQ(FindConstant("scrollsouth")->number, 50);
    EXPECT_EQ(FindConstant("RANDOMEFFECT")->number, 140);
    EXPECT_EQ(FindConstant("RANDOMPARAMETER")->number, -1);
    int ids = 0;
    for (int32_t id = 0; id < kFxEffectIdCount; id++)
        if (const FxEffectRow *row = FindFxEffect(id)) {
            ASSERT_NE(FindConstant(row->name), nullptr) << row->name;
            EXPECT_EQ(FindConstant(row->name)->number, id) << row->name;
            ids++;
        }
    EXPECT_EQ(ids + 6, 145); // and RANDOMPARAMETER, RANDOMEFFECT and the four compass names
}

// The frame a transition to picture 2 shows after `frame` frames (1-based).
Frame PlayedFrame(FxTest &test, int32_t id, double speed, double parameter, size_t frame) {
    test.frames.clear();
    EXPECT_EQ(test.Cmd("DisplayTransitionFX", {2.0, double(id), speed, parameter}), 0);
    return frame <= test.frames.size() ? test.frames[frame - 1] : Frame{};
}

TEST_F(FxTest, StripesRevealColumnsFromBothSidesInBandsOfTheirThickness) {
    ASSERT_NE(OpenPatternDisplay(100, 10), nullptr);
    const Frame start = Output();
    const Frame first = PlayedFrame(*this, kFxHStripes, -2, 2, 1);
    EXPECT_EQ(frames.size(), 34u);
    for (int32_t y = 0; y < 10; y++)
        for (int32_t x = 0; x < 100; x++) {
            const bool even = (y / 2) % 2 == 0;
            const bool fresh = even ? x <= 2 : x >= 97;
            EXPECT_EQ(first[size_t(y * 100 + x)], fresh ? fxtest::NewPattern(x, y) : start[size_t(y * 100 + x)])
                << x << "," << y;
        }
    // A random thickness: a mod (W / k) with k from the second draw of the classic generator.
    Show(1);
    uint32_t seed = 99;
    auto next = [&seed] { return int32_t((seed = seed * 1103515245u + 12345u) % 2147483647u); };
    const int32_t a = next(), c = next();
    const int32_t thickness = std::max(a % (100 / (c % 8 + 2)), 1);
    SeedRuntimeRand(99);
    const Frame random = PlayedFrame(*this, kFxHStripes, 500, -1, 1);
    for (int32_t y = 0; y < 10; y++) {
        const bool even = (y / thickness) % 2 == 0;
        EXPECT_EQ(random[size_t(y * 100)] == fxtest::NewPattern(0, y), even) << "row " << y << " of " << thickness;
    }
}

TEST_F(FxTest, BlendsStepTheirLevels) {
    ASSERT_NE(OpenPatternDisplay(16, 8), nullptr);
    scenetest::MakePicture(ObjectId{3, nullptr}, 16, 8, 0);
    scenetest::MakePicture(ObjectId{4, nullptr}, 16, 8, 0xFFFFFF);
    Show(3);
    frames.clear();
    ASSERT_EQ(Cmd("DisplayTransitionFX", {4.0, double(kFxCrossfade), 120.0}), 0);
    ASSERT_EQ(frames.size(), 3u);
    const int expected[] = {120, 240, 255};
    for (size_t i = 0; i < 3; i++) EXPECT_NEAR(int(frames[i][40] & 0xFF), expected[i], 1) << "frame " << i + 1;
    // FADE at 300 runs as 255: the old (black) picture tinted by 255 (one step short of the colour), then the new
    // picture tinted by 1, then the new picture.
    Show(3);
    frames.clear();
    ASSERT_EQ(Cmd("DisplayTransitionFX", {4.0, double(kFxFade), 300.0, double(0x102030)}), 0);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0][5], 0x0F1F2Fu);
    EXPECT_NEAR(int(frames[1][5] & 0xFF), 0xFF - 1, 1);
    EXPECT_EQ(frames[2][5], 0xFFFFFFu);
}

TEST_F(FxTest, BackgroundOnlyEffectsPlayStripesOutsidePictureTransitions) {
    ASSERT_NE(OpenPatternDisplay(64, 48), nullptr);
    Brush *brush = nullptr;
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 40, 30, 0xFF00, 0, 0, 0, &brush), 0);
    frames.clear();
    ASSERT_EQ(Cmd("DisplayBrushFX", {1.0, 0.0, 0.0, double(kFxPushLeft), -1.0, 4.0}), 0);
    EXPECT_EQ(frames.size(), 40u); // HSTRIPES over 40 columns, one a frame
}

TEST_F(FxTest, RefusedOutputsDrawNothing) {
    DisplayRecord *d = OpenPatternDisplay(32, 16);
    ASSERT_NE(d, nullptr);
    Brush *brush = nullptr;
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 8, 8, 0xFF00, 0, 0, 0, &brush), 0);
    const Frame start = Output();
    struct Case { int32_t kind, doubleBuffering, expected; };
    for (const Case &c : {Case{ObjectKindMask, 0, 1147}, {ObjectKindAlphaChannel, 0, 1167}, {ObjectKindBrush, 0, 1082},
                          {ObjectKindAnim, 0, 1339}, {ObjectKindBGPic, 0, 1056},
                          {ObjectKindSprite, 0, 0}}) {
        d->outputKind = c.kind;
        d->doubleBuffering = c.doubleBuffering;
        EXPECT_EQ(Cmd("DisplayBrushFX", {1.0, 0.0, 0.0, double(kFxHStripes)}), c.expected) << c.kind;
        EXPECT_EQ(Cmd("DisplayTransitionFX", {2.0, double(kFxHStripes)}), c.expected) << c.kind;
        d->outputKind = ObjectKindDisplay;
        d->doubleBuffering = 0;
        EXPECT_EQ(Output(), start);
        EXPECT_EQ(brush->lockCount, 0);
    }
    BGPic *clear = scenetest::MakePicture(ObjectId{5, nullptr}, 32, 16, 0);
    clear->transparentColor = 0;
    EXPECT_EQ(Cmd("DisplayTransitionFX", {5.0, double(kFxHStripes)}), kErrWrongUsage);
    EXPECT_EQ(d->picture->id.number, 1);
    EXPECT_EQ(Cmd("DisplayTransitionFX", {2.0, double(kFxRandomEffect + 1)}), kErrWrongUsage);
    EXPECT_EQ(d->picture->id.number, 1); // a bad id is refused before the display switches pictures
    EXPECT_EQ(Cmd("ShowLayerFX", {1.0}), kErrLayersRequired);
    EXPECT_EQ(Output(), start);
}

// Positions at the ends of 32 bits (1e300 saturates to 2^31 - 1) put the brush far off the picture under every
// effect: nothing is drawn, and no sum of a position and a size overflows on the way. (The scrolls travel there a
// step a frame: not run.)
TEST_F(FxTest, BrushesAtExtremePositionsRunEveryEffectOffThePicture) {
    ASSERT_NE(OpenPatternDisplay(32, 16), nullptr);
    Brush *brush = nullptr;
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 4, 3, 0xFF00, 0, 0, 0, &brush), 0);
    const Frame start = Output();
    for (double x : {2147483647.0, -2147483648.0, 1e300})
        for (int32_t id = 0; id < kFxEffectIdCount; id++)
            if (FindFxEffect(id) && !FxEffectHas(id, kFxScroll)) {
                ASSERT_EQ(Cmd("DisplayBrushFX", {1.0, x, -x, double(id), -2.0}), 0) << FxEffects[id].name << " " << x;
            }
    EXPECT_EQ(Output(), start);
}

TEST_F(FxTest, LockCountAndPictureSurviveErrorsQuitsAndAsyncRelease) {
    DisplayRecord *d = OpenPatternDisplay(32, 16);
    ASSERT_NE(d, nullptr);
    Brush *brush = nullptr;
    ASSERT_EQ(CreateBrushRecord(ObjectId{1, nullptr}, 8, 8, 0xFF00, 0, 0, 0, &brush), 0);
    // A draw that fails on its third frame ends the run with its code.
    static int calls = 0;
    const FxEffectRow saved = FxEffects[kFxBars];
    static FxFamily failing;
    failing = *saved.family;
    failing.draw = [](FxRequest *request, int32_t position) {
        if (request->phase == 1 && ++calls == 3) return int(kErrOutOfMemory);
        return BarsFamily.draw(request, position);
    };
    FxEffects[kFxBars].family = &failing;
    frames.clear();
    EXPECT_EQ(Cmd("DisplayBrushFX", {1.0, 0.0, 0.0, double(kFxBars)}), kErrOutOfMemory);
    FxEffects[kFxBars] = saved;
    EXPECT_EQ(frames.size(), 2u);
    EXPECT_EQ(brush->lockCount, 0);
    // A quit mid-run stops the brush where it is, but a picture transition still ends on the new picture.
    InjectQuit();
    EXPECT_EQ(Cmd("DisplayBrushFX", {1.0, 0.0, 0.0, double(kFxBars)}), 0);
    EXPECT_EQ(brush->lockCount, 0);
    QuitRequested = 0;
    Show(1);
    InjectQuit();
    frames.clear();
    EXPECT_EQ(Cmd("DisplayTransitionFX", {2.0, double(kFxHStripes)}), 0);
    EXPECT_LT(frames.size(), 64u);
    const Frame target = Output();
    EXPECT_EQ(target[0], fxtest::NewPattern(0, 0));
    EXPECT_EQ(target[31 + 15 * 32], fxtest::NewPattern(31, 15));
    EXPECT_EQ(displaytest::WindowPixels(d->hostWindow), target);
    QuitRequested = 0;
    // Async: stepped by hand, counted by notify, released by freeing the display.
    ASSERT_EQ(Cmd("DisplayBrushFX", {1.0, 0.0, 0.0}, scenetest::Options{{"type", double(kFxBars)}, {"speed", -2.0}, {"async", 1.0}}), 0);
    AsyncDrawObject *object = FindAsyncDraw(ResultHandle());
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(brush->lockCount, 1);
    EXPECT_EQ(object->notify(kAsyncNotifyFrameCount, nullptr, object->context), 9);
    int32_t finished = 0;
    ASSERT_EQ(StepAsyncDraw(object, &finished), 0);
    ASSERT_EQ(StepAsyncDraw(object, &finished), 0);
    EXPECT_EQ(object->notify(kAsyncNotifyFrame, nullptr, object->context), 2);
    EXPECT_EQ(object->notify(kAsyncNotifySeek, reinterpret_cast<void *>(intptr_t(5)), object->context), 0);
    EXPECT_EQ(object->notify(kAsyncNotifyFrame, nullptr, object->context), 5);
    CurrentDisplay = nullptr;
    FreeAllDisplays(vm);
    EXPECT_EQ(CountAsyncDraws(), 0);
    EXPECT_EQ(brush->lockCount, 0);
}

} // namespace
