// Every built effect end to end on an offscreen display: the frames a speed gives, the last frame exactly the new
// picture (or what DisplayBrush draws), a middle frame that is neither start nor end, and nothing drawn outside
// the shown rectangle.
#include <climits>
#include <functional>
#include <map>

#include "scene/images/brush.h"
#include "tests/fx/fx_fixture.h"

namespace {

using fxtest::Frame;
using fxtest::FxTest;

int32_t Divided(int32_t speed, int32_t size, int32_t normal, int32_t fast, int32_t slow) {
    const int32_t step = speed == -1 ? size / normal : speed == -2 ? size / fast : speed == -3 ? size / slow : speed;
    return std::max(step, 1);
}
int64_t CeilDiv(int64_t a, int64_t b) { return (a + b - 1) / b; }
// Frames of a wipe whose position runs 0, s, 2s ... and ends on the first frame that reaches `length`.
int64_t WipeFrames(int64_t length, int64_t advance) { return length <= 0 ? 1 : CeilDiv(length, advance) + 1; }
int32_t LevelStep(int32_t speed, int32_t cap) { return speed > 0 ? std::min(speed, cap) : speed == -2 ? 20 : speed == -3 ? 5 : 10; }

// Frames per family, from each family's speed rule: size basis, divisors, cap, and the position's end.
using FrameRule = std::function<int64_t(int32_t id, int32_t w, int32_t h, int32_t speed)>;
const std::map<std::pair<int32_t, int32_t>, FrameRule> kFrameRules = {
    {{0, 13}, [](int32_t id, int32_t w, int32_t h, int32_t speed) {
         const int32_t size = id < 7 ? w : h;
         const int32_t s = std::max(std::min(Divided(speed, size, 70, 30, 200), size - 1), 1);
         return WipeFrames(size - s, s);
     }},
    {{14, 23}, [](int32_t id, int32_t, int32_t, int32_t speed) {
         const int32_t b = 8 << ((id - 14) % 5);
         const int32_t s = std::max(std::min(Divided(speed, b, 8, 3, 20), b / 2), 1);
         return WipeFrames(b - s, s);
     }},
    {{28, 28}, [](int32_t, int32_t, int32_t, int32_t speed) {
         return WipeFrames(23, std::min(Divided(speed, 16, 16, 8, 40), 8) + 1);
     }},
    {{29, 29}, [](int32_t, int32_t w, int32_t h, int32_t speed) {
         const int32_t s = std::max(std::min(Divided(speed, w, 70, 30, 200), h / 4), 1);
         return WipeFrames(h - (h / 2 + 1) - s, s + 1);
     }},
    {{115, 115}, [](int32_t, int32_t, int32_t, int32_t speed) { return CeilDiv(255, LevelStep(speed, 120)); }},
    {{116, 117}, [](int32_t, int32_t, int32_t, int32_t speed) {
         const int32_t s = LevelStep(speed, 255);
         return WipeFrames(511 - s, s);
     }},
    {{132, 133}, [](int32_t id, int32_t, int32_t, int32_t) { return id == 132 ? 25 : 49; }},
    {{134, 137}, [](int32_t, int32_t, int32_t, int32_t speed) {
         const int32_t half = speed == -1 ? 25 : speed == -2 ? 10 : speed == -3 ? 50 : speed;
         return 2 * (half <= 4 ? 5 : std::min(half, 100));
     }},
    {{138, 138}, [](int32_t, int32_t, int32_t, int32_t speed) {
         const int32_t s = speed == -1 ? 8 : speed == -2 ? 16 : speed == -3 ? 4 : std::clamp(speed, 2, 16);
         return CeilDiv(720, s);
     }},
    {{139, 139}, [](int32_t, int32_t, int32_t, int32_t speed) {
         const int32_t s = speed == -1 ? 4 : speed == -2 ? 8 : speed == -3 ? 2 : std::clamp(speed, 1, 8);
         return CeilDiv(256, s);
     }},
};

const FrameRule *RuleFor(int32_t id) {
    for (const auto &[range, rule] : kFrameRules)
        if (id >= range.first && id <= range.second) return &rule;
    return nullptr;
}

TEST_F(FxTest, EveryEffectEndsOnTheNewPictureAfterThePartsFrameCount) {
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
            if (!IsFxEffectBuilt(id)) continue; // joins the table when its family lands
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
                const bool blindsFitPicture = id < 14 || id > 23 || (8 << ((id - 14) % 5)) <= (id < 19 ? h : w);
                if (frames.size() >= 3 && w >= 8 && h >= 8 && blindsFitPicture) {
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

TEST_F(FxTest, BrushEffectsEndAsDisplayBrushDrawsAndStayInsideTheBrush) {
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
            if (!IsFxEffectBuilt(id)) continue;
            SCOPED_TRACE(std::string(FxEffects[id].name) + " brush variant " + std::to_string(variant));
            Show(1);
            frames.clear();
            ASSERT_EQ(Cmd("DisplayBrushFX", {double(1 + variant), 12.0, 9.0, double(id), -2.0}), 0);
            EXPECT_EQ(Output(), oracle);
            EXPECT_EQ(displaytest::WindowPixels(d->hostWindow), oracle);
            for (const Frame &frame : frames)
                for (size_t i = 0; i < frame.size(); i++)
                    if (!inside(i) && frame[i] != start[i]) {
                        ADD_FAILURE() << "pixel " << i % 64 << "," << i / 64 << " changed outside the brush";
                        break;
                    }
            EXPECT_EQ(brush->lockCount, 0);
        }
        Show(1);
    }
}

} // namespace
