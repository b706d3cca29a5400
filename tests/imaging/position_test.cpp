#include <gtest/gtest.h>

#include "imaging/position.h"

namespace {

TEST(ResolveXPosition, CentreWithAnOffset) { EXPECT_EQ(ResolveXPosition(kPosCenter + 10, 100, 640, 0.0), 280); }

TEST(ResolveXPosition, LeftAndRightEdges) {
    EXPECT_EQ(ResolveXPosition(kPosLeft, 100, 640, 0.0), 0);
    EXPECT_EQ(ResolveXPosition(kPosRight, 100, 640, 0.0), 540);
    EXPECT_EQ(ResolveXPosition(kPosRight - 20, 100, 640, 0.0), 520);
}

TEST(ResolveXPosition, OutFormsLieJustBeyondTheEdges) {
    EXPECT_EQ(ResolveXPosition(kPosRightOut, 100, 640, 0.0), 640);
    EXPECT_EQ(ResolveXPosition(kPosLeftOut, 100, 640, 0.0), -100);
}

TEST(ResolveXPosition, AnchorMovesTheResultToTheAnchorPoint) {
    EXPECT_EQ(ResolveXPosition(kPosCenter, 100, 640, 0.5), 320);
    EXPECT_EQ(ResolveXPosition(kPosRight, 100, 640, 1.0), 640);
}

TEST(ResolveXPosition, PlainNumbersAndOtherConstantsPassThrough) {
    EXPECT_EQ(ResolveXPosition(100000, 100, 640, 0.0), 100000);
    EXPECT_EQ(ResolveXPosition(-5, 100, 640, 0.0), -5);
    EXPECT_EQ(ResolveXPosition(kPosTop, 100, 640, 0.0), kPosTop); // a y-only constant
}

TEST(ResolveYPosition, TopBottomAndTheirOutForms) {
    EXPECT_EQ(ResolveYPosition(kPosTop + 3, 50, 480, 0.0), 3);
    EXPECT_EQ(ResolveYPosition(kPosBottom, 50, 480, 0.0), 430);
    EXPECT_EQ(ResolveYPosition(kPosTopOut, 50, 480, 0.0), -50);
    EXPECT_EQ(ResolveYPosition(kPosBottomOut, 50, 480, 0.0), 480);
    EXPECT_EQ(ResolveYPosition(kPosCenter - 4, 50, 480, 0.0), 211);
}

TEST(ResolveYPosition, ZeroAvailableAsksForTheCurrentOutput) {
    CurrentOutputSizeHook = [](int32_t *w, int32_t *h) {
        *w = 320;
        *h = 200;
    };
    EXPECT_EQ(ResolveYPosition(kPosBottom, 20, 0, 0.0), 180);
    EXPECT_EQ(ResolveXPosition(kPosCenter, 20, 0, 0.0), 150);
    CurrentOutputSizeHook = nullptr;
}

TEST(ResolvePosition, NeighbouringConstantsDoNotOverlap) {
    // -95000 is LEFT - 5000, not CENTER + 5000: offsets run from -5000 up to 4999.
    EXPECT_EQ(ResolveXPosition(-95000, 0, 1000, 0.0), -5000);
    EXPECT_EQ(ResolveXPosition(kPosCenter + 4999, 0, 1000, 0.0), 500 + 4999);
}

} // namespace
