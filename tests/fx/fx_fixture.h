// Transitions on an offscreen display: the transitionfx library on the test VM, a frame captured at every
// WaitFrame (no frame limit, so WaitFrame calls the vertical-blank hook instead of sleeping), pictures whose
// pixels say where they came from, and brushes with a mask or an alpha channel.
#pragma once

#include <cstdint>
#include <vector>

#include "fx/effect_table.h"
#include "fx/transition.h"
#include "fx/transitionfx_library.h"
#include "imaging/async_draw.h"
#include "imaging/frame_pacing.h"
#include "tests/scene/display_open_fixture.h"

namespace fxtest {

using Frame = std::vector<uint32_t>;

inline std::vector<Frame> *CapturedFrames = nullptr;

// Called at every frame of every effect, so it stays a plain loop (push_back dominated the fx tests' time).
inline Frame PixelsOf(const HostBitmap *bitmap) {
    Frame pixels(size_t(bitmap->width) * size_t(bitmap->height));
    uint32_t *out = pixels.data();
    for (int32_t y = 0; y < bitmap->height; y++) {
        const uint32_t *row = HostBitmapRow32(bitmap, y);
        for (int32_t x = 0; x < bitmap->width; x++) *out++ = row[x] & 0xFFFFFF;
    }
    return pixels;
}

// Every pixel its own colour, so a shifted copy shows.
inline uint32_t NewPattern(int32_t x, int32_t y) {
    const uint32_t v = uint32_t(7 * x + 13 * y) % 251;
    return v << 16 | v << 8 | v;
}
inline uint32_t OldPattern(int32_t x, int32_t y) { return 0x400000u | uint32_t((x * 3 + y * 5) & 0xFF) << 8 | 0x20; }

inline void FillPattern(HostBitmap *bitmap, uint32_t (*pattern)(int32_t, int32_t)) {
    for (int32_t y = 0; y < bitmap->height; y++)
        for (int32_t x = 0; x < bitmap->width; x++) HostBitmapRow32(bitmap, y)[x] = pattern(x, y);
}

struct FxTest : displaytest::DisplayTest {
    std::vector<Frame> frames;
    void SetUp() override {
        DisplayTest::SetUp();
        kTransitionFxLibrary.registerLibrary(vm);
        SetFPSLimit(0);
        CapturedFrames = &frames;
        WaitVerticalBlankHook = [] {
            if (CapturedFrames && CurrentDisplay && CurrentDisplay->firstBitmap)
                CapturedFrames->push_back(PixelsOf(CurrentDisplay->firstBitmap));
        };
    }
    void TearDown() override {
        FreeAllAsyncDraws();
        WaitVerticalBlankHook = nullptr;
        CapturedFrames = nullptr;
        QuitRequested = 0;
        DisplayTest::TearDown();
    }
    // An open display of width x height showing picture 1 in the old pattern; picture 2 holds the new one.
    DisplayRecord *OpenPatternDisplay(int32_t width, int32_t height) {
        BGPic *old = scenetest::MakePicture(ObjectId{1, nullptr}, width, height, 0);
        FillPattern(old->current.bitmap, OldPattern);
        BGPic *fresh = scenetest::MakePicture(ObjectId{2, nullptr}, width, height, 0);
        FillPattern(fresh->current.bitmap, NewPattern);
        DisplayRecord *d = MakeCurrent(1, scenetest::Options{{"bgpic", 1.0}});
        EXPECT_NE(d, nullptr);
        if (d) {
            EXPECT_EQ(RealizeDisplay(d, 0), 0);
        }
        return d;
    }
    // Shows a picture at once, without a transition.
    void Show(int32_t picture) {
        const int code = vmtest::RunCommand(vm, [&](VMState *v) {
            return SwitchDisplayBGPic(v, ObjectId{picture, nullptr}, 100000, 100000, 0, nullptr, nullptr);
        });
        EXPECT_EQ(code, 0);
    }
    Frame Output() { return PixelsOf(CurrentDisplay->firstBitmap); }
};

} // namespace fxtest
