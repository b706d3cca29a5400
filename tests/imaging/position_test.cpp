#include <gtest/gtest.h>

#include "imaging/position.h"

namespace {

struct PositionCase {
    bool vertical;
    int32_t value, size, available;
    double anchor;
    int32_t expected;
    const char *what;
};

TEST(ResolvePosition, ConstantsOffsetsAndAnchors) {
    const PositionCase cases[] = {
        {false, kPosCenter + 10, 100, 640, 0.0, 280, "centre with an offset"},
        {false, kPosLeft, 100, 640, 0.0, 0, "left edge"},
        {false, kPosRight, 100, 640, 0.0, 540, "right edge"},
        {false, kPosRight - 20, 100, 640, 0.0, 520, "right edge with an offset"},
        {false, kPosRightOut, 100, 640, 0.0, 640, "just beyond the right edge"},
        {false, kPosLeftOut, 100, 640, 0.0, -100, "just beyond the left edge"},
        {false, kPosCenter, 100, 640, 0.5, 320, "anchor at the middle"},
        {false, kPosRight, 100, 640, 1.0, 640, "anchor at the right"},
        {false, 100000, 100, 640, 0.0, 100000, "plain number"},
        {false, -5, 100, 640, 0.0, -5, "negative plain number"},
        {false, kPosTop, 100, 640, 0.0, kPosTop, "a y-only constant passes through x"},
        {true, kPosTop + 3, 50, 480, 0.0, 3, "top with an offset"},
        {true, kPosBottom, 50, 480, 0.0, 430, "bottom"},
        {true, kPosTopOut, 50, 480, 0.0, -50, "just above the top"},
        {true, kPosBottomOut, 50, 480, 0.0, 480, "just below the bottom"},
        {true, kPosCenter - 4, 50, 480, 0.0, 211, "vertical centre with an offset"},
        // -95000 is LEFT - 5000, not CENTER + 5000: offsets run from -5000 up to 4999.
        {false, -95000, 0, 1000, 0.0, -5000, "left with the lowest offset"},
        {false, kPosCenter + 4999, 0, 1000, 0.0, 500 + 4999, "centre with the highest offset"},
    };
    for (const PositionCase &c : cases) {
        int32_t got = c.vertical ? ResolveYPosition(c.value, c.size, c.available, c.anchor)
                                 : ResolveXPosition(c.value, c.size, c.available, c.anchor);
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

TEST(ResolvePosition, ZeroAvailableAsksForTheCurrentOutput) {
    CurrentOutputSizeHook = [](int32_t *w, int32_t *h) {
        *w = 320;
        *h = 200;
    };
    EXPECT_EQ(ResolveYPosition(kPosBottom, 20, 0, 0.0), 180);
    EXPECT_EQ(ResolveXPosition(kPosCenter, 20, 0, 0.0), 150);
    CurrentOutputSizeHook = nullptr;
}

} // namespace
