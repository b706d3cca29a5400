#include <gtest/gtest.h>

#include "imaging/display_image.h"
#include "imaging/image_ops.h"
#include "imaging/position.h"

namespace {

struct Brush {
    ImageTriple t;
    Brush(int w, int h) {
        t.bitmap = AllocHostBitmap(w, h);
        t.mask = AllocMaskPlane(t.bitmap, w, h, false);
        for (int i = 0; i < t.mask->bytesPerRow * h; ++i) t.mask->bits[i] = 0xFF;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) HostBitmapRow32(t.bitmap, y)[x] = uint32_t(0x010000 * (x + 1) + y + 1);
        t.width = w;
        t.height = h;
    }
    ~Brush() { FreeImageTriple(&t); }
};

TEST(BuildDisplayImage, IdentityDrawsTheSourceItself) {
    Brush b(6, 4);
    DisplayTransform t;
    ImageTriple out;
    bool owned = true;
    int32_t x, y;
    ASSERT_EQ(BuildDisplayImage(b.t, 0, 0, 6, 4, t, 10, 20, &out, &owned, &x, &y), 0);
    EXPECT_FALSE(owned);
    EXPECT_EQ(out.bitmap, b.t.bitmap);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
}

TEST(BuildDisplayImage, APartIsCutAndOwned) {
    Brush b(6, 4);
    DisplayTransform t;
    ImageTriple out;
    bool owned = false;
    int32_t x, y;
    ASSERT_EQ(BuildDisplayImage(b.t, 2, 1, 3, 2, t, 0, 0, &out, &owned, &x, &y), 0);
    EXPECT_TRUE(owned);
    EXPECT_EQ(out.width, 3);
    EXPECT_EQ(HostBitmapRow32(out.bitmap, 0)[0], HostBitmapRow32(b.t.bitmap, 1)[2]);
    FreeImageTriple(&out);
}

TEST(BuildDisplayImage, ScaleAboutTheCentreAnchorKeepsTheCentre) {
    Brush b(10, 10);
    DisplayTransform t;
    t.a = t.d = 2;
    t.anchorX = t.anchorY = 0.5;
    ImageTriple out;
    bool owned;
    int32_t x, y;
    ASSERT_EQ(BuildDisplayImage(b.t, 0, 0, 10, 10, t, 50, 50, &out, &owned, &x, &y), 0);
    EXPECT_EQ(out.width, 20);
    EXPECT_EQ(x, 40); // centre at 50
    EXPECT_EQ(y, 40);
    EXPECT_NE(out.mask, nullptr);
    FreeImageTriple(&out);
}

TEST(BuildDisplayImage, PositionConstantsPlaceTheDrawnBox) {
    static int32_t outputW = 100, outputH = 80;
    CurrentOutputSizeHook = [](int32_t *w, int32_t *h) {
        *w = outputW;
        *h = outputH;
    };
    Brush b(10, 10);
    DisplayTransform t;
    t.a = t.d = 2;
    ImageTriple out;
    bool owned;
    int32_t x, y;
    ASSERT_EQ(BuildDisplayImage(b.t, 0, 0, 10, 10, t, kPosCenter, kPosBottom, &out, &owned, &x, &y), 0);
    EXPECT_EQ(x, 40);
    EXPECT_EQ(y, 60);
    FreeImageTriple(&out);
    CurrentOutputSizeHook = nullptr;
}

TEST(DrawDisplayImage, RotatedQuarterLandsInTheTarget) {
    Brush b(4, 2);
    DisplayTransform t;
    t.a = 0;
    t.b = 1;
    t.c = -1;
    t.d = 0;
    HostBitmap *target = AllocHostBitmap(10, 10);
    ASSERT_EQ(DrawDisplayImage(target, b.t, 0, 0, 4, 2, t, 3, 3), 0);
    int drawn = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) drawn += HostBitmapRow32(target, y)[x] != 0;
    EXPECT_EQ(drawn, 8);
    FreeHostBitmap(target);
}

TEST(PresentDisplayRect, WithoutAWindowNothingHappens) {
    HostBitmap *b = AllocHostBitmap(4, 4);
    PresentDisplayRect(b, 0, 0, nullptr, 0, 0, 4, 4, 0); // no hook
    DisplayPresentTargetHook = [](DisplayRecord *, PresentTarget *out) {
        out->window = nullptr;
        return 0;
    };
    PresentDisplayRect(b, 0, 0, nullptr, 0, 0, 4, 4, 0);
    DisplayPresentTargetHook = nullptr;
    FreeHostBitmap(b);
}

} // namespace
