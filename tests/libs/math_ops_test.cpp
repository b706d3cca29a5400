#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

#include "libs/math/math_ops.h"

using namespace mathlib;

TEST(MathRounding, RoundTiesGoToEven) {
    EXPECT_EQ(RoundHalfEven(0.5), 0);
    EXPECT_EQ(RoundHalfEven(1.5), 2);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(2.4999999), 2);
    EXPECT_EQ(RoundHalfEven(-2.6), -3);
    EXPECT_EQ(RoundHalfEven(4503599627370497.0), 4503599627370497.0);
}

TEST(MathRounding, RoundDoesNotDependOnRoundingMode) {
    std::fesetround(FE_DOWNWARD);
    double up = RoundHalfEven(1.7), tie = RoundHalfEven(2.5);
    std::fesetround(FE_TONEAREST);
    EXPECT_EQ(up, 2);
    EXPECT_EQ(tie, 2);
}

TEST(MathRounding, RoundPassesNaNAndInfinityOn) {
    EXPECT_TRUE(std::isnan(RoundHalfEven(std::nan(""))));
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::infinity()), std::numeric_limits<double>::infinity());
}

TEST(MathRounding, FracKeepsSignOfValue) {
    EXPECT_DOUBLE_EQ(Frac(-2.75), -0.75);
    EXPECT_DOUBLE_EQ(Frac(2.25), 0.25);
    EXPECT_EQ(Frac(std::numeric_limits<double>::infinity()), 0);
}

TEST(MathRounding, SgnOfNaNIsZero) {
    EXPECT_EQ(Sgn(-3), -1);
    EXPECT_EQ(Sgn(0), 0);
    EXPECT_EQ(Sgn(7), 1);
    EXPECT_EQ(Sgn(std::nan("")), 0);
}

TEST(MathRanges, WrapAddsOrRemovesOnePeriod) {
    EXPECT_EQ(Wrap(12, 0, 10), 2);
    EXPECT_EQ(Wrap(-1, 0, 10), 9);
    EXPECT_EQ(Wrap(25, 0, 10), 15);
    EXPECT_EQ(Wrap(10, 0, 10), 0);
    EXPECT_EQ(Wrap(0, 0, 10), 0);
}

TEST(MathRanges, LimitClampsToBothEnds) {
    EXPECT_EQ(Limit(5, 10, 20), 10);
    EXPECT_EQ(Limit(25, 10, 20), 20);
    EXPECT_EQ(Limit(15, 10, 20), 15);
}

TEST(MathLogs, LdIsBaseTwo) {
    EXPECT_NEAR(Ld(8), 3, 1e-12);
}

TEST(MathShifts, CountsUseLowSixBits) {
    EXPECT_EQ(Shl(1, 31), 0x80000000u);
    EXPECT_EQ(Shl(1, 32), 0u);
    EXPECT_EQ(Shl(1, 63), 0u);
    EXPECT_EQ(Shl(1, 64), 1u);
    EXPECT_EQ(Shr(4294967295u, 28), 15u);
    EXPECT_EQ(Shr(4294967295u, 40), 0u);
}

TEST(MathShifts, SarFillsWithSign) {
    EXPECT_EQ(Sar(static_cast<uint32_t>(-8), 1), -4);
    EXPECT_EQ(Sar(static_cast<uint32_t>(-8), 40), -1);
    EXPECT_EQ(Sar(8, 40), 0);
    EXPECT_EQ(Sar(0x80000000u, 31), -1);
}

TEST(MathRotations, RorWithinWidth) {
    EXPECT_EQ(Ror(1, 1, 32), 2147483648u);
    EXPECT_EQ(Ror(1, 1, 8), 128u);
    EXPECT_EQ(Ror(0x1234, 4, 16), 0x4123u);
    EXPECT_EQ(Ror(0x12345678u, 0, 32), 0x12345678u);
    EXPECT_EQ(Ror(0xAB, 8, 8), 0xABu);
}

TEST(MathRotations, RorCountsBeyondWidthGiveZero) {
    EXPECT_EQ(Ror(1, 9, 8), 0u);
    EXPECT_EQ(Ror(1, 33, 32), 0u);
    EXPECT_EQ(Ror(0xFFFF, 17, 16), 0u);
}

TEST(MathRotations, RolThirtyTwoBitsRotatesModuloWidth) {
    EXPECT_EQ(Rol(1, 33, 32), 2u);
    EXPECT_EQ(Rol(0x80000000u, 1, 32), 1u);
}

TEST(MathRotations, RolNarrowWidths) {
    EXPECT_EQ(Rol(128, 1, 8), 1u);
    EXPECT_EQ(Rol(0x1234, 4, 16), 0x2341u);
    EXPECT_EQ(Rol(1, 9, 8), 0u);
    EXPECT_EQ(Rol(0x1FF, 0, 8), 0xFFu);
}

TEST(MathCast, SignAndWidth) {
    EXPECT_EQ(Cast(255, true, 8), -1);
    EXPECT_EQ(Cast(255, false, 8), 255);
    EXPECT_EQ(Cast(65535, true, 16), -1);
    EXPECT_EQ(Cast(0x18000, false, 16), 0x8000);
    EXPECT_EQ(Cast(0xFFFFFFFFu, true, 32), -1);
    EXPECT_EQ(Cast(0xFFFFFFFFu, false, 32), 4294967295.0);
}

TEST(MathCast, WidthTypes) {
    EXPECT_EQ(BitWidthOfType(1), 32);
    EXPECT_EQ(BitWidthOfType(6), 16);
    EXPECT_EQ(BitWidthOfType(7), 8);
    EXPECT_EQ(BitWidthOfType(5), 0);
}
