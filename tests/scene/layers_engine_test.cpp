// What the layer scripts cannot reach: the matrix classification, the dirty-rectangle merge and growth, the
// display damage's coverage and age, the refusal order of switching layers on, and the pixel test's counting.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "host/clock.h"
#include "host/memory.h"
#include "imaging/async_draw.h"
#include "imaging/display_options.h"
#include "scene/display/display_list.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "imaging/graphics_library.h"
#include "scene/images/brush.h"
#include "scene/layers/layer_style.h"
#include "scene/layers/layers.h"

namespace {

struct MatrixCase {
    const char *what;
    DisplayTransform t;
    int general;
    double scaleX, scaleY;
};

DisplayTransform Rotated(int32_t degrees, double scale) {
    DisplayTransform t;
    t.rotate = degrees;
    t.scaleX = t.scaleY = scale;
    t.general = 7; // a marker: left alone when the matrix has no rotation part
    ComputeTransformMatrix(&t, 10, 10);
    return t;
}

DisplayTransform Matrix(double a, double b, double c, double d) {
    DisplayTransform t;
    t.a = a, t.b = b, t.c = c, t.d = d;
    return t;
}

// What a display that scales its layers by sx, sy does to a layer's matrix.
DisplayTransform Stretched(DisplayTransform t, double sx, double sy) {
    t.a *= sx, t.b *= sy, t.c *= sx, t.d *= sy;
    return t;
}

TEST(LayerTransforms, ClassifiesMatrices) {
    const MatrixCase cases[] = {
        {"plain scale keeps general", Rotated(0, 2), 7, 0, 0},
        {"30 degrees at scale 2", Rotated(30, 2), 0, 2, 2},
        {"180 degrees at scale 3", Rotated(180, 3), 0, 3, 3},
        {"a shear", Matrix(1, 0.5, 0, 1), 1, 0, 0},
        {"turned 30 degrees and stretched 2 by 1", Stretched(Rotated(30, 1), 2, 1), 1, 0, 0},
    };
    for (const MatrixCase &c : cases) {
        DisplayTransform t = c.t;
        ClassifyTransformMatrix(&t);
        EXPECT_EQ(t.general, c.general) << c.what;
        EXPECT_NEAR(t.rotScaleX, c.scaleX, 1e-6) << c.what;
        EXPECT_NEAR(t.rotScaleY, c.scaleY, 1e-6) << c.what;
    }
}

TEST(DirtyRectangles, OverlappingOnesAreRedrawnOnceAndNoneIsDropped) {
    struct Case {
        int32_t rects[3][4];
        int count;
        int64_t redraws;
    } cases[] = {
        {{{0, 0, 10, 10}, {5, 5, 10, 10}}, 2, 1},
        {{{0, 0, 10, 10}, {20, 0, 10, 10}}, 2, 2},
        {{{0, 0, 10, 10}, {9, 9, 10, 10}, {100000, 0, 5, 5}}, 3, 2}, // a real rectangle may start at 100000
    };
    for (const Case &c : cases) {
        LayerRectList list;
        for (int i = 0; i < c.count; i++) AddDirtyRect(&list, c.rects[i][0], c.rects[i][1], c.rects[i][2], c.rects[i][3]);
        const int64_t before = RefreshAreaCount;
        RefreshMergedRects(&list);
        EXPECT_EQ(RefreshAreaCount - before, c.redraws);
        FreeBlock(list.rects);
    }
    LayerRectList list;
    for (int i = 0; i < 1025; i++) AddDirtyRect(&list, i * 2, 0, 1, 1);
    EXPECT_EQ(list.count, 1025);
    EXPECT_EQ(list.rects[1024].x1, 2048);
    const int64_t before = RefreshAreaCount;
    RefreshMergedRects(&list);
    EXPECT_EQ(RefreshAreaCount - before, 1025);
    FreeBlock(list.rects);
}

// Batched rectangles composed in one flush: every pixel of every rectangle (cut to the picture) is drawn again, and
// nothing beyond the 16-pixel tiles they touch; a short batch draws only its own rectangles. Damage older than a
// frame is flushed by the next batching command, younger damage is not.
TEST(DisplayDamage, ComposesEveryDamagedPixelAndLittleElse) {
    constexpr int32_t kW = 200, kH = 120;
    constexpr uint32_t kStale = 0xFF0D0E0Fu;
    struct Case {
        const char *what;
        std::vector<std::array<int32_t, 4>> rects;
        int32_t slack; // how far beyond a rectangle drawing may reach
    } cases[] = {
        {"one", {{5, 5, 10, 10}}, 0},
        {"two overlapping, drawn as their bounding box", {{5, 5, 10, 10}, {12, 8, 10, 10}}, 3},
        {"steps of different widths",
         {{0, 0, 41, 16}, {0, 16, 21, 16}, {10, 32, 51, 16}, {150, 90, 3, 3}, {170, 5, 2, 2}, {120, 60, 5, 5},
          {100, 100, 1, 1}, {60, 100, 4, 4}, {190, 110, 9, 9}},
         15},
        {"past every edge",
         {{-5, -5, 12, 12}, {190, 110, 30, 30}, {-50, -50, 10, 10}, {300, 10, 5, 5}, {90, -3, 20, 6}, {0, 60, 1, 1},
          {199, 0, 5, 120}, {50, 50, 10, 10}, {70, 70, 10, 10}},
         15},
    };
    BGPic picture;
    picture.current.width = kW, picture.current.height = kH;
    DisplayRecord display;
    display.picture = &picture;
    display.firstBitmap = AllocHostBitmap(kW, kH);
    display.secondBitmap = AllocHostBitmap(kW, kH);
    for (int32_t y = 0; y < kH; y++)
        for (int32_t x = 0; x < kW; x++) HostBitmapRow32(display.firstBitmap, y)[x] = 0xFF000000u | uint32_t(x * 977 + y);
    InsertDisplay(&display);
    DisplayRecord *const previous = CurrentDisplay;
    CurrentDisplay = &display;
    const auto stale = [&] {
        for (int32_t y = 0; y < kH; y++) std::fill_n(HostBitmapRow32(display.secondBitmap, y), kW, kStale);
    };
    for (const Case &c : cases) {
        stale();
        for (const auto &r : c.rects) ASSERT_TRUE(AddDisplayDamage(r[0], r[1], r[2], r[3])) << c.what;
        FlushDisplayDamage();
        for (int32_t y = 0; y < kH; y++)
            for (int32_t x = 0; x < kW; x++) {
                bool inside = false, near = false;
                for (const auto &r : c.rects) {
                    inside = inside || (x >= r[0] && x < r[0] + r[2] && y >= r[1] && y < r[1] + r[3]);
                    near = near || (x >= r[0] - c.slack && x < r[0] + r[2] + c.slack && y >= r[1] - c.slack &&
                                    y < r[1] + r[3] + c.slack);
                }
                const uint32_t got = HostBitmapRow32(display.secondBitmap, y)[x];
                if (inside) {
                    ASSERT_EQ(got, HostBitmapRow32(display.firstBitmap, y)[x]) << c.what << " at " << x << "," << y;
                } else if (!near) {
                    ASSERT_EQ(got, kStale) << c.what << " drew at " << x << "," << y;
                }
            }
    }
    InstallVirtualClock(0);
    stale();
    ASSERT_TRUE(AddDisplayDamage(40, 40, 8, 8));
    AdvanceVirtualClock(10000);
    FlushOldDisplayDamage();
    EXPECT_EQ(HostBitmapRow32(display.secondBitmap, 44)[44], kStale);
    AdvanceVirtualClock(7000);
    FlushOldDisplayDamage();
    EXPECT_EQ(HostBitmapRow32(display.secondBitmap, 44)[44], HostBitmapRow32(display.firstBitmap, 44)[44]);
    RemoveVirtualClock();
    CurrentDisplay = previous;
    for (DisplayRecord **link = &DisplayList; *link; link = &(*link)->next)
        if (*link == &display) {
            *link = display.next;
            break;
        }
    ForgetDisplayDamage();
    FreeHostBitmap(display.firstBitmap);
    FreeHostBitmap(display.secondBitmap);
    display.firstBitmap = display.secondBitmap = nullptr;
    display.picture = nullptr;
}

DisplayRecord *TheDisplay = nullptr;

TEST(EnableLayers, RefusesInItsOrder) {
    DisplayRecord display;
    BGPic picture;
    OnScreenSprite sprite;
    display.picture = &picture;
    picture.sprites = &sprite;
    display.doubleBuffering = 1;
    display.outputKind = 3;
    TheDisplay = &display;
    CurrentDisplayHook = [] { return static_cast<void *>(TheDisplay); };
    AsyncDrawObject *draw = nullptr;
    ASSERT_EQ(CreateAsyncDraw(ADF_FX, [](void *, int32_t *) { return 0; }, nullptr, nullptr, nullptr, nullptr, &draw), 0);
    EXPECT_EQ(EnableDisplayLayers(&display), 1329);
    FreeAllAsyncDraws();
    CurrentDisplayHook = nullptr;
    EXPECT_EQ(EnableDisplayLayers(&display), 1229);
    display.doubleBuffering = 0;
    EXPECT_EQ(EnableDisplayLayers(&display), 1163);
    display.outputKind = 21;
    EXPECT_EQ(EnableDisplayLayers(&display), 1224);
    picture.sprites = nullptr;
    EXPECT_EQ(EnableDisplayLayers(&display), 0);
    EXPECT_EQ(display.layersEnabled, 1);
}

TEST(PixelOverlap, EveryPlaneOfBothObjectsMustAgree) {
    MaskPlane *mask = AllocMaskPlane(nullptr, 8, 1, true);
    AlphaPlane *alpha = AllocAlphaPlane(8, 1, true);
    mask->bits[0] = 0xF0; // pixels 0..3 set
    alpha->bytes[2] = 255;
    alpha->bytes[6] = 255;
    struct Case {
        const char *what;
        int32_t bx;
        const MaskPlane *amask;
        const AlphaPlane *aalpha;
        int hit;
    } cases[] = {
        {"mask bit set", 1, mask, nullptr, 1},
        {"mask bit clear", 5, mask, nullptr, 0},
        {"mask set, alpha 0", 1, mask, alpha, 0}, // counting both planes of one object must not stand in for the other
        {"mask and alpha set", 2, mask, alpha, 1},
        {"alpha only", 6, nullptr, alpha, 1},
        {"outside", 9, mask, nullptr, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PixelOverlap(0, 0, 8, 1, c.amask, c.aalpha, 0, 0, c.bx, 0, 1, 1, nullptr, nullptr, 0, 0, nullptr,
                               nullptr),
                  c.hit)
            << c.what;
    FreeMaskPlane(mask);
    FreeAlphaPlane(alpha);
}

// The word-at-a-time form agrees with the per-pixel one on random planes, offsets, sizes and clip masks.
TEST(PixelOverlap, FastFormAgreesWithThePlainOne) {
    std::mt19937 random(12345);
    auto pick = [&](int32_t lo, int32_t hi) { return std::uniform_int_distribution<int32_t>(lo, hi)(random); };
    auto fill = [&](uint8_t *bytes, size_t count, int density) {
        for (size_t i = 0; i < count; i++) bytes[i] = pick(0, 99) < density ? uint8_t(pick(1, 255)) : 0;
    };
    int hits = 0;
    for (int i = 0; i < 3000; i++) {
        const int density = pick(0, 3) == 0 ? 2 : 40; // sparse planes reach the far rows
        MaskPlane *mask[2]{};
        AlphaPlane *alpha[2]{};
        ClipRegion clip[2];
        int32_t x[2], y[2], w[2], h[2], ox[2], oy[2];
        for (int k = 0; k < 2; k++) {
            w[k] = pick(1, 150), h[k] = pick(1, 12), x[k] = pick(-20, 60), y[k] = pick(-5, 10);
            ox[k] = pick(0, 3) ? 0 : pick(-4, 20), oy[k] = pick(0, 3) ? 0 : pick(-2, 4);
            if (pick(0, 2)) {
                mask[k] = AllocMaskPlane(nullptr, w[k] + 8, h[k] + 2, true);
                fill(mask[k]->bits, size_t(mask[k]->bytesPerRow) * size_t(h[k] + 2), density);
            }
            if (pick(0, 2) == 0) {
                alpha[k] = AllocAlphaPlane(w[k] + 3, h[k] + 1, true);
                fill(alpha[k]->bytes, size_t(alpha[k]->bytesPerRow) * size_t(h[k] + 1), density);
            }
            clip[k].x = pick(-10, 60), clip[k].y = pick(-5, 10), clip[k].width = pick(1, 120), clip[k].height = pick(1, 14);
            clip[k].mask = AllocMaskPlane(nullptr, clip[k].width, clip[k].height, true);
            fill(clip[k].mask->bits, size_t(clip[k].mask->bytesPerRow) * size_t(clip[k].height), 60);
        }
        const ClipRegion *ca = pick(0, 2) ? nullptr : &clip[0], *cb = pick(0, 3) ? nullptr : &clip[1];
        const int plain = PixelOverlap(x[0], y[0], w[0], h[0], mask[0], alpha[0], ox[0], oy[0], x[1], y[1], w[1],
                                       h[1], mask[1], alpha[1], ox[1], oy[1], ca, cb);
        ASSERT_EQ(PixelOverlapFast(x[0], y[0], w[0], h[0], mask[0], alpha[0], ox[0], oy[0], x[1], y[1], w[1], h[1],
                                   mask[1], alpha[1], ox[1], oy[1], ca, cb),
                  plain)
            << "case " << i;
        hits += plain;
        for (int k = 0; k < 2; k++) FreeMaskPlane(mask[k]), FreeAlphaPlane(alpha[k]), FreeMaskPlane(clip[k].mask);
    }
    EXPECT_GT(hits, 300);
    EXPECT_LT(hits, 2700);
}

// A picture with region 7 and the layer hooks; EndClipScene undoes both.
ClipRegion *StartClipScene(BGPic *picture) {
    InstallLayerHooks();
    CurrentBGPic = picture;
    auto *region = new ClipRegion;
    region->id = ObjectId{7, nullptr};
    region->width = region->height = 10;
    ClipRegionList.Add(region, region->id);
    return region;
}

void EndClipScene() {
    FreeAllClipRegions();
    CurrentBGPic = nullptr;
    LayerPositionHook = nullptr;
    SnapshotSourceHook = nullptr;
    DisplayImageLayerHook = nullptr;
}

TEST(LayerClipRegions, RegionFreedUnderALayerWaitsForTheLayer) {
    BGPic picture;
    ClipRegion *region = StartClipScene(&picture);
    picture.clipRegion = region;
    ASSERT_EQ(AddImageLayer(nullptr, 3, ObjectId{1, nullptr}, 0, 0, 0, 0, 4, 4, nullptr, nullptr, nullptr, nullptr,
                            nullptr, -1, 0),
              0);
    picture.clipRegion = nullptr;
    EXPECT_EQ(FreeClipRegionById(region->id), 0);
    EXPECT_TRUE(region->freePending); // still there (not freed under the layer) for the layer to be drawn through
    EXPECT_EQ(region->useCount, 1);
    DeleteLayer(nullptr, GetNthLayer(&picture, 1), 1, nullptr, nullptr, nullptr, nullptr, nullptr);
    EndClipScene();
}

// The "clipregion" key tried on the setter itself, a table of ids and what each leaves.
TEST(LayerClipRegions, StyleKeySetsReplacesAndRemovesTheRegion) {
    BGPic picture;
    ClipRegion *region = StartClipScene(&picture);
    ASSERT_EQ(AddImageLayer(nullptr, 3, ObjectId{1, nullptr}, 0, 0, 0, 0, 4, 4, nullptr, nullptr, nullptr, nullptr,
                            nullptr, -1, 0),
              0);
    vlLayer *layer = GetNthLayer(&picture, 1);
    VMState *vm = NewVMState();
    InitRuntimeSupport(vm);
    LayerRectList rects;
    struct Case {
        int32_t id;
        int error;
        const ClipRegion *clip;
        int32_t uses;
    } cases[] = {{7, 0, region, 1}, {7, 0, region, 1}, {99, 1428, region, 1}, {-1, 0, nullptr, 0}};
    for (const Case &c : cases) {
        NewTable(vm);
        SetTableNumber(vm, "clipregion", c.id);
        bool freeAfter = false;
        EXPECT_EQ(ApplyLayerStyle(vm, layer, GetTop(vm), &freeAfter, &rects), c.error) << c.id;
        EXPECT_EQ(layer->first->clip, c.clip) << c.id;
        EXPECT_EQ(region->useCount, c.uses) << c.id;
        SetTop(vm, 0);
    }
    CloseVMState(vm);
    FreeBlock(rects.rects);
    DeleteLayer(nullptr, layer, 1, nullptr, nullptr, nullptr, nullptr, nullptr);
    EndClipScene();
}

} // namespace
