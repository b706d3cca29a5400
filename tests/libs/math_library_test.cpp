#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "libs/math/math_library.h"
#include "runtime/app/errors.h"
#include "string_command_calls.h"

namespace {

class MathCommands : public ::testing::Test {
protected:
    void SetUp() override {
        vm = NewCommandTestVM();
        kMathLibrary.registerLibrary(vm);
    }
    void TearDown() override { CloseVMState(vm); }
    double Number(const char *name, const std::vector<CommandArg> &args) { return CallForNumber(vm, name, args); }
    int Error(const char *name, const std::vector<CommandArg> &args) { return CallForError(vm, name, args); }
    VMState *vm = nullptr;
};

TEST_F(MathCommands, ZeroDivisorsRaiseDivisionByZero) {
    EXPECT_EQ(Error("mod", {5, 0}), kErrDivisionByZero);
    EXPECT_EQ(Error("div", {1, 0}), kErrDivisionByZero);
    EXPECT_EQ(Error("rt", {8, 0}), kErrDivisionByZero);
    EXPECT_EQ(Error("rnd", {0}), kErrDivisionByZero);
}

TEST_F(MathCommands, NegativeRootAndRangeAreWrongUsage) {
    EXPECT_EQ(Error("rt", {8, -3}), kErrWrongUsage);
    EXPECT_EQ(Error("rnd", {-3}), kErrWrongUsage);
}

TEST_F(MathCommands, MinMaxTakeManyArgumentsButAtLeastTwo) {
    EXPECT_EQ(Number("min", {3, 1, 2}), 1);
    EXPECT_EQ(Number("max", {3, 1, 7, 2, 5}), 7);
    EXPECT_EQ(Error("max", {1}), kErrNotEnoughArguments);
    EXPECT_EQ(Error("min", {1, "x"}), kErrNumberExpected);
}

TEST_F(MathCommands, MinKeepsFirstValueAgainstNaN) {
    EXPECT_EQ(Number("min", {4, std::nan(""), 2}), 2);
    EXPECT_TRUE(std::isnan(Number("max", {std::nan(""), 9})));
}

TEST_F(MathCommands, IntegerConversionsSaturate) {
    EXPECT_EQ(Number("int", {-2.7}), -2);
    EXPECT_EQ(Number("int", {-1e12}), -2147483648.0);
    EXPECT_EQ(Number("round", {2.5}), 2);
    EXPECT_EQ(Number("round", {-2.5}), -2);
    EXPECT_EQ(Number("round", {1e10}), 2147483647);
    EXPECT_EQ(Number("round", {std::nan("")}), -2147483648.0);
}

TEST_F(MathCommands, RndCoversWholeRangeAndNothingElse) {
    std::set<double> seen;
    for (int i = 0; i < 1000; ++i) {
        double r = Number("rnd", {10});
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 9);
        ASSERT_EQ(r, std::floor(r));
        seen.insert(r);
    }
    EXPECT_EQ(seen.size(), 10u);
}

TEST_F(MathCommands, RndFStaysInUnitInterval) {
    for (int i = 0; i < 1000; ++i) {
        double r = Number("rndf", {});
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 1);
    }
}

TEST_F(MathCommands, BitNumbersOutsideWordAreWrongUsage) {
    EXPECT_EQ(Number("bitset", {0, 31}), 2147483648.0);
    EXPECT_EQ(Number("bittest", {5, 2}), 1);
    EXPECT_EQ(Number("bitclear", {7, 1}), 5);
    EXPECT_EQ(Error("bitset", {0, 32}), kErrWrongUsage);
    EXPECT_EQ(Error("bitclear", {0, -1}), kErrWrongUsage);
    EXPECT_EQ(Error("bittest", {0, 32}), kErrWrongUsage);
}

TEST_F(MathCommands, RotationAndCastRefuseOtherTypes) {
    EXPECT_EQ(Error("ror", {1, 1, 5}), kErrWrongUsage);
    EXPECT_EQ(Error("rol", {1, 1, 5}), kErrWrongUsage);
    EXPECT_EQ(Error("cast", {1, 1, 3}), kErrWrongUsage);
}

} // namespace
