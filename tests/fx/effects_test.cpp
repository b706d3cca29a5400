// Every built effect end to end on an offscreen display: the frames a speed gives, the last frame exactly the new
// picture (or what DisplayBrush draws), a middle frame that is neither start nor end, and nothing drawn outside
// the shown rectangle.
#include <climits>
#include <functional>
#include <map>

#include "imaging/raster.h"
#include "scene/images/brush.h"
#include "scene/layers/move_object.h"
#include "tests/fx/fx_fixture.h"

namespace {

using fxtest::Frame;
using fxtest::FxTest;

// The step the effect's own speed rule gives when its position runs across `along`.
int32_t Step(int32_t id, int32_t w, int32_t h, int32_t speed, int32_t along = 0) {
    return FxSpeedStep(FxEffects[size_t(id)].speed, speed, along, w, h);
}
int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }
// Frames of a wipe whose position runs 0, s, 2s ... and ends on the first frame that reaches `length`.
int64_t WipeFrames(int64_t length, int64_t advance) { return length <= 0 ? 1 : CeilDiv(length, advance) + 1; }

int64_t RectFrames(int32_t id, int32_t w, int32_t h, int32_t speed) {
    const int32_t l = std::max(w, h), s = Step(id, w, h, speed, l);
    return WipeFrames(l - s, s);
}

// Twelve segments of bands round a 7 x 6 grid: each runs from its start to its end in band steps, one frame per
// band, a start already past the end going there in one move.
int64_t SpiralFrames(int32_t id, int32_t w, int32_t h, int32_t speed) {
    const int32_t s = Step(id, w, h, speed);
    const int64_t c = w / 7 + 1, r = h / 6 + 1;
    const int64_t starts[12] = {0, w - c - s, h - r - s, c, r, w - 2 * c - s, h - 2 * r - s, 2 * c, 2 * r, w - 3 * c - s, 3 * r - s, 3 * c};
    const int64_t ends[12] = {h - 1, 0, 0, w - c, h - r, c, r, w - 2 * c, h - 2 * r, 2 * c, 2 * r, w - 3 * c};
    int64_t frames = 0;
    for (int k = 0; k < 12; k++) {
        const int64_t distance = (k % 4 == 0 || k % 4 == 3) ? ends[k] - starts[k] : starts[k] - ends[k];
        frames += distance < 0 ? 2 : 1 + CeilDiv(distance, s);
    }
    return frames;
}

// SUN's rule: sizes step + 10, 2 step + 10 ... until the centred ellipse, clipped to the picture, keeps only its
// corners.
int64_t SunFrames(int32_t w, int32_t h, int32_t s) {
    std::vector<int32_t> a(4096), b(4096);
    for (int64_t frames = 1, size = s + 10;; frames++, size += s) {
        int32_t ew = int32_t(size), eh = std::max(int32_t(double(size) * std::min(w, h) / std::max(w, h) + 1.0), 3);
        if (w < h) std::swap(ew, eh);
        ew = std::max(ew, 3) | 1, eh = std::max(eh, 3) | 1;
        int32_t n = EllipseArcPoints(a.data(), ew / 2, eh / 2, 0, 359, 361);
        for (int32_t i = 0; i < n; i++) a[size_t(2 * i)] += (w - ew) / 2, a[size_t(2 * i + 1)] += (h - eh) / 2;
        const int32_t edges[4] = {0, 0, w - 1, h - 1};
        for (int32_t side = 0; side < 4; side++) n = ClipPolygonToEdge(n, a.data(), b.data(), edges[side], side, 2048), a.swap(b);
        bool corners = true;
        for (int32_t i = 0; i < n; i++)
            corners = corners && (a[size_t(2 * i)] == 0 || a[size_t(2 * i)] == w - 1) &&
                      (a[size_t(2 * i + 1)] == 0 || a[size_t(2 * i + 1)] == h - 1);
        if (corners) return frames;
    }
}

// CLOCKWIPE's rule: the hand's tip walks the border clockwise from twelve o'clock, step pixels a frame, turning
// each corner with the overshoot, until it is back just past twelve; one more frame ends it.
int64_t ClockFrames(int32_t w, int32_t h, int64_t s) {
    int64_t x = w / 2 + s, y = 0, frames = 1;
    for (int side = 0; side < 5; frames++) {
        if (side == 0 && (x += s) > w - 1) y = x + 1 - w, x = w - 1, side = 1;
        else if (side == 1 && (y += s) > h - 1) x = w - (y - h + 2), y = h - 1, side = 2;
        else if (side == 2 && (x -= s) < 0) y = h + x - 1, x = 0, side = 3;
        else if (side == 3 && (y -= s) < 0) x = -y, y = 0, side = 4;
        else if (side == 4 && (x += s) > w / 2 + 1) side = 5;
    }
    return frames;
}

// Frames per family: the step from the effect's own speed rule; how far the position runs and the frames that take.
using FrameRule = std::function<int64_t(int32_t id, int32_t w, int32_t h, int32_t speed)>;
const std::map<std::pair<int32_t, int32_t>, FrameRule> kFrameRules = {
    {{kFxHStripes, kFxVStripes64}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t size = id < kFxVStripes ? w : h, s = Step(id, w, h, speed, size);
         return WipeFrames(size - s, s);
     }},
    {{kFxHBlinds8, kFxVBlinds128}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t b = 8 << ((id - kFxHBlinds8) % 5), s = Step(id, w, h, speed, b);
         return WipeFrames(b - s, s);
     }},
    {{kFxBars, kFxBars}, [](int32_t id, int32_t w, int32_t h, int32_t speed) { return WipeFrames(23, Step(id, w, h, speed, 16) + 1); }},
    {{kFxQuarters, kFxQuarters}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t s = Step(id, w, h, speed, h);
         return WipeFrames(h - (h / 2 + 1) - s, s + 1);
     }},
    {{kFxVOpenCurtain, kFxHCloseCurtain}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t size = id <= kFxVCloseCurtain ? w : h, s = Step(id, w, h, speed, size);
         return WipeFrames(id % 2 == 1 ? size / 2 : size - (s + 1) - (size / 2 - 1), s + 1);
     }},
    {{kFxRevealLeft, kFxRevealBottom}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t size = id <= kFxRevealRight ? w : h, s = Step(id, w, h, speed, size);
         return WipeFrames(size - (s + 1), s + 1);
     }},
    {{kFxVLines2, kFxVLines}, [](int32_t id, int32_t w, int32_t h, int32_t) {
         const int32_t size = id == kFxVLines2 || id == kFxVLines ? w : h;
         return WipeFrames(id <= kFxHLines2 ? size : 2 * size, 2);
     }},
    {{kFxRectCenter, kFxRectNorthWest}, RectFrames},
    {{kFxRectBackCenter, kFxRectBackNorthWest}, RectFrames},
    {{kFxHFlowTop, kFxVFlowRight}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t size = id <= kFxHFlowBottom ? h : w, s = Step(id, w, h, speed, size);
         return WipeFrames(size - s, s);
     }},
    {{kFxHOpenGate, kFxVCloseGate}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t size = id <= kFxHCloseGate ? h : w, s = Step(id, w, h, speed, size);
         return WipeFrames(id % 2 == 0 ? size - size / 2 - s : size / 2 - s, s);
     }},
    {{kFxPushLeft, kFxPushBottom}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t size = id <= kFxPushRight ? w : h, s = Step(id, w, h, speed, size);
         return WipeFrames(size - s, s);
     }},
    {{kFxPuzzle, kFxPuzzle}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t tile = Step(id, w, h, speed);
         return int64_t(w / tile + 1) * (h / tile + 1);
     }},
    {{kFxDiagonal, kFxDiagonal}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t tile = Step(id, w, h, speed, w);
         return WipeFrames(w + h - tile, tile);
     }},
    {{kFxHStrangePush, kFxVStrangePush}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t size = id == kFxHStrangePush ? w : h, s = Step(id, w, h, speed, size);
         return WipeFrames(size - s - s % 2, s + s % 2);
     }},
    {{kFxSlideLeft, kFxSlideBottom}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t size = id <= kFxSlideRight ? w : h, s = Step(id, w, h, speed, size);
         return WipeFrames(2 * size - s, s);
     }},
    {{kFxSpiral, kFxSpiral}, SpiralFrames},
    {{kFxSwiss, kFxVSplit}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t l = std::max(w, h), s = Step(id, w, h, speed);
         if (id == kFxSwiss) return std::max<int64_t>(CeilDiv(l / 2, s), 1);
         if (id == kFxQuadRect) return CeilDiv(l, s);
         return CeilDiv((id == kFxHSplit ? w : h) / 4 + s, s);
     }},
    {{kFxUpNDown, kFxCardBottom}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t s = Step(id, w, h, speed);
         return WipeFrames(id == kFxUpNDown ? 4 * h : h - s, s);
     }},
    {{kFxCrossfade, kFxCrossfade}, [](int32_t id, int32_t w, int32_t h, int32_t speed) { return CeilDiv(255, Step(id, w, h, speed)); }},
    {{kFxFade, kFxBlend}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t s = Step(id, w, h, speed);
         return WipeFrames(511 - s, s);
     }},
    // Squeezed pictures: the position runs to the size (2 x the size for the two-halved ones).
    {{kFxStretchLeft, kFxZoomNorthWest}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t size = id >= kFxZoomCenter ? std::max(w, h) : (id <= kFxStretchRight || id == kFxVStretchCenter) ? w : h;
         const int32_t s = Step(id, w, h, speed, size);
         return WipeFrames(size - s, s);
     }},
    {{kFxZoomIn, kFxTurnDownRight}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const bool twoHalves = id <= kFxZoomOut || (id >= kFxVFlipCoin && id <= kFxHLowFlipCoin);
         const int32_t size = id <= kFxZoomOut ? std::max(w, h) : (id == kFxCrushLeft || id == kFxCrushRight || id == kFxHFlipCoin || id == kFxHLowFlipCoin || id >= kFxTurnDownLeft) ? w : h;
         const int32_t travel = twoHalves ? 2 * size : size, s = Step(id, w, h, speed, size);
         return WipeFrames(travel - s, s);
     }},
    {{kFxPixelZoom1, kFxPixelZoom2}, [](int32_t id, int32_t, int32_t, int32_t) { return id == kFxPixelZoom1 ? 25 : 49; }},
    // Scrolls: the move's steps from just outside to the picture's place; a diagonal runs the longer side.
    {{kFxScrollLeft, kFxScrollNorthWest}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         return CeilDiv(id <= kFxScrollRight ? w : id <= kFxScrollBottom ? h : std::max(w, h), std::max(MoveSpeedPixels(speed), 1));
     }},
    {{kFxWater1, kFxWater4}, [](int32_t id, int32_t w, int32_t h, int32_t speed) { return 2 * Step(id, w, h, speed); }},
    {{kFxStrudel, kFxStrudel}, [](int32_t id, int32_t w, int32_t h, int32_t speed) { return CeilDiv(720, Step(id, w, h, speed)); }},
    {{kFxStar, kFxStar}, [](int32_t id, int32_t w, int32_t h, int32_t speed) -> int64_t {
         const int32_t s = Step(id, w, h, speed);
         if (w >= h) return WipeFrames(4 * w - 10 - s, s);
         int64_t frames = 1;
         for (int64_t size = s + 10; int32_t(double(size) * w / h + 1.0) < 4 * w; size += s) frames++;
         return frames;
     }},
    {{kFxSun, kFxSun}, [](int32_t id, int32_t w, int32_t h, int32_t speed) { return SunFrames(w, h, Step(id, w, h, speed)); }},
    {{kFxRollTop, kFxWallpaperLeft}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         return CeilDiv(id == kFxRollLeft || id == kFxWallpaperLeft ? w : h, Step(id, w, h, speed));
     }},
    {{kFxClockWipe, kFxClockWipe}, [](int32_t id, int32_t w, int32_t h, int32_t speed) { return ClockFrames(w, h, Step(id, w, h, speed)); }},
    {{kFxDissolve, kFxDissolve}, [](int32_t id, int32_t w, int32_t h, int32_t speed) { return CeilDiv(256, Step(id, w, h, speed)); }},
};

const FrameRule *RuleFor(int32_t id) {
    for (const auto &[range, rule] : kFrameRules)
        if (id >= range.first && id <= range.second) return &rule;
    return nullptr;
}

TEST_F(FxTest, EveryEffectEndsOnTheNewPictureAfterItsFamilysFrameCount) {
    const std::pair<int32_t, int32_t> sizes[] = {{64, 48}, {33, 17}, {1, 1}, {7, 1}, {1, 7}};
    const int32_t speeds[] = {-1, -2, 1, 500, INT32_MAX};
    for (auto [w, h] : sizes) {
        DisplayRecord *d = OpenPatternDisplay(w, h);
        ASSERT_NE(d, nullptr);
        const Frame start = Output();
        Show(2);
        const Frame target = Output();
        Show(1);
        for (int32_t id = 0; id < kFxEffectIdCount; id++) {
            if (!FindFxEffect(id)) continue;
            const FrameRule *rule = RuleFor(id);
            ASSERT_NE(rule, nullptr) << FxEffects[id].name << " needs a frame rule";
            for (int32_t speed : speeds) {
                SCOPED_TRACE(std::string(FxEffects[id].name) + " " + std::to_string(w) + "x" + std::to_string(h) +
                             " speed " + std::to_string(speed));
                SeedRuntimeRand(uint32_t(id) * 7u + uint32_t(speed));
                frames.clear();
                ASSERT_EQ(Cmd("DisplayTransitionFX", {2.0, double(id), double(speed)}), 0);
                EXPECT_EQ(int64_t(frames.size()), (*rule)(id, w, h, speed));
                EXPECT_EQ(Output(), target);
                EXPECT_EQ(fxtest::PixelsOf(d->secondBitmap), target);
                EXPECT_EQ(displaytest::WindowPixels(d->hostWindow), target);
                // Blinds wider than the picture reveal it all before their last frames.
                const bool blindsFitPicture = id < kFxHBlinds8 || id > kFxVBlinds128 || (8 << ((id - kFxHBlinds8) % 5)) <= (id < kFxVBlinds8 ? h : w);
                // A roll over fewer lines than its smallest radius (20) lies flat before its last frame.
                const bool rollFitsRadius = id < kFxRollTop || id > kFxWallpaperLeft || (id % 2 ? w : h) >= 20;
                if (frames.size() >= 3 && w >= 8 && h >= 8 && blindsFitPicture && rollFitsRadius) {
                    const Frame &middle = frames[frames.size() / 2];
                    EXPECT_NE(middle, start);
                    EXPECT_NE(middle, target);
                }
                Show(1);
            }
        }
        CurrentDisplay = nullptr;
        FreeAllDisplays(vm);
        FreeAllBGPics();
    }
}

// A 40 x 30 brush in the new pattern: opaque, with a mask that leaves out every third pixel, or with an alpha ramp.
Brush *MakeBrush(int32_t number, bool withMask, bool withAlpha) {
    Brush *brush = nullptr;
    EXPECT_EQ(CreateBrushRecord(ObjectId{number, nullptr}, 40, 30, 0, withMask, withAlpha, 0, &brush), 0);
    fxtest::FillPattern(brush->bitmap, fxtest::NewPattern);
    for (int32_t y = 0; y < 30; y++)
        for (int32_t x = 0; x < 40; x++) {
            if (withMask && (x + y) % 3 == 0)
                brush->mask->bits[size_t(y) * brush->mask->bytesPerRow + size_t(x >> 3)] &= uint8_t(~(0x80 >> (x & 7)));
            if (withAlpha) brush->alpha->bytes[size_t(y) * brush->alpha->bytesPerRow + size_t(x)] = uint8_t(x * 6 + y);
        }
    return brush;
}

TEST_F(FxTest, BrushEffectsEndAsDisplayBrushDrawsAndOnlyScrollsDrawOutsideIt) {
    DisplayRecord *d = OpenPatternDisplay(64, 48);
    ASSERT_NE(d, nullptr);
    const Frame start = Output();
    auto inside = [](size_t i) {
        const int32_t x = int32_t(i % 64), y = int32_t(i / 64);
        return x >= 12 && x < 52 && y >= 9 && y < 39;
    };
    for (int variant = 0; variant < 3; variant++) {
        Brush *brush = MakeBrush(1 + variant, variant == 1, variant == 2);
        ASSERT_EQ(DrawBrushToOutput(brush, 0, 0, 0, 0, 12, 9, DisplayTransform{}), 0);
        const Frame oracle = Output();
        for (int32_t id = 0; id < kFxEffectIdCount; id++) {
            if (!FindFxEffect(id)) continue;
            SCOPED_TRACE(std::string(FxEffects[id].name) + " brush variant " + std::to_string(variant));
            Show(1);
            frames.clear();
            ASSERT_EQ(Cmd("DisplayBrushFX", {double(1 + variant), 12.0, 9.0, double(id), -2.0}), 0);
            EXPECT_EQ(Output(), oracle);
            EXPECT_EQ(displaytest::WindowPixels(d->hostWindow), oracle);
            EXPECT_EQ(brush->lockCount, 0);
            if (FxEffectHas(id, kFxScroll)) continue; // comes in from outside
            for (const Frame &frame : frames)
                for (size_t i = 0; i < frame.size(); i++)
                    if (!inside(i) && frame[i] != start[i]) {
                        ADD_FAILURE() << "pixel " << i % 64 << "," << i / 64 << " changed outside the brush";
                        break;
                    }
        }
        Show(1);
    }
}

} // namespace
