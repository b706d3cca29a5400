#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "imaging/display_options.h"
#include "imaging/image_ops.h"
#include "runtime/app/command.h"
#include "runtime/app/runtime_globals.h"

namespace {

TEST(MakeScaleRotateMatrix, TargetSizeReplacesTheScaleFactors) {
    double m[4];
    MakeScaleRotateMatrix(m, 0, 0, 50, 40, 0, 2, 3);
    EXPECT_EQ(m[0], 2);
    EXPECT_EQ(m[3], 3);
    MakeScaleRotateMatrix(m, 100, 40, 50, 40, 0, 3, 3); // width twice the source: scale factors ignored
    EXPECT_EQ(m[0], 2);
    EXPECT_EQ(m[3], 1);
}

TEST(MakeScaleRotateMatrix, MinusNinetyAndTwoSeventyAgree) {
    double a[4], b[4];
    MakeScaleRotateMatrix(a, 0, 0, 10, 10, -90, 1, 1);
    MakeScaleRotateMatrix(b, 0, 0, 10, 10, 270, 1, 1);
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(a[i], b[i], 1e-12);
}

TEST(MakeScaleRotateMatrix, PositiveRotationTurnsCounterClockwiseOnScreen) {
    double m[4];
    MakeScaleRotateMatrix(m, 0, 0, 10, 10, 90, 1, 1);
    // The point to the right of the origin (1, 0) goes up: (a, b) = (0, -1) with y growing downwards.
    EXPECT_NEAR(m[0], 0, 1e-12);
    EXPECT_NEAR(m[1], -1, 1e-12);
}

struct DisplayOptions : ::testing::Test {
    VMState *vm = nullptr;
    void SetUp() override {
        QuietMode = 1;
        vm = NewVMState();
        InitRuntimeSupport(vm);
    }
    void TearDown() override { CloseVMState(vm); }
    // Builds {key = value, ...} on the stack at index 1.
    void Table(std::initializer_list<std::pair<const char *, double>> numbers) {
        SetTop(vm, 0);
        NewTable(vm);
        for (auto &[k, v] : numbers) {
            PushNumber(vm, v);
            SetField(vm, 1, k);
        }
    }
};

TEST_F(DisplayOptions, AbsentTableGivesIdentityAndNoLayerOptions) {
    SetTop(vm, 0);
    DisplayTransform t;
    LayerOptions o;
    ASSERT_EQ(ParseDisplayOptions(vm, 1, 10, 10, 0, &t, &o), 0);
    EXPECT_TRUE(IsIdentityTransform(t));
    EXPECT_EQ(o.needsLayer, 0);
}

TEST_F(DisplayOptions, ScaleRotateAndAnchorsAreRead) {
    Table({{"scalex", 2}, {"scaley", 2}, {"rotate", 450}, {"anchorx", 0.5}, {"smoothscale", 1}});
    DisplayTransform t;
    ASSERT_EQ(ParseDisplayOptions(vm, 1, 10, 10, 0, &t, nullptr), 0);
    EXPECT_EQ(t.rotate, 90);
    EXPECT_NEAR(t.b, -2, 1e-12);
    EXPECT_EQ(t.anchorX, 0.5);
    EXPECT_EQ(t.smooth, 1);
}

TEST_F(DisplayOptions, KeepAspectRatioWidth) {
    Table({{"width", KEEPASPRAT}, {"height", 240}});
    DisplayTransform t;
    ASSERT_EQ(ParseDisplayOptions(vm, 1, 640, 480, 0, &t, nullptr), 0);
    EXPECT_EQ(t.width, 320);
    EXPECT_EQ(t.a, 0.5);
}

TEST_F(DisplayOptions, AnchorOutsideZeroToOneIsRefused) {
    Table({{"anchory", 1.5}});
    EXPECT_EQ(ParseDisplayOptions(vm, 1, 10, 10, 0, nullptr, nullptr), 1055);
}

TEST_F(DisplayOptions, LayerOptionsAndTheNeedsALayerFlag) {
    Table({{"transparency", 300}, {"insertpos", 2}});
    PushString(vm, "bird");
    SetField(vm, 1, "name");
    LayerOptions o;
    ASSERT_EQ(ParseDisplayOptions(vm, 1, 10, 10, 0, nullptr, &o), 0);
    EXPECT_EQ(o.transparency, 255);
    EXPECT_EQ(o.insertPos, 2);
    EXPECT_EQ(std::string(o.name), "bird");
    EXPECT_EQ(o.needsLayer, 1);
}

TEST_F(DisplayOptions, UserMatrixReplacesScaleAndRotation) {
    SetTop(vm, 0);
    NewTable(vm);
    NewTable(vm);
    const double m[4] = {1, 0.5, 0, 1};
    for (int i = 0; i < 4; ++i) {
        PushNumber(vm, m[i]);
        RawSetIndex(vm, 2, i);
    }
    SetField(vm, 1, "transform");
    PushNumber(vm, 3);
    SetField(vm, 1, "scalex");
    DisplayTransform t;
    ASSERT_EQ(ParseDisplayOptions(vm, 1, 10, 10, 0, &t, nullptr), 0);
    EXPECT_EQ(t.hasUserMatrix, 1);
    EXPECT_EQ(t.a, 1);
    EXPECT_EQ(t.b, 0.5);
}

} // namespace
