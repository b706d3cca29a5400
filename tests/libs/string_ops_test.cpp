#include <gtest/gtest.h>

#include "libs/string/string_ops.h"

using namespace stringlib;
using namespace std::string_literals;

TEST(StringCaseFolding, LowerFollowsLatin1UpperClassAndKeepsMultiplicationSign) {
    EXPECT_EQ(LowerStr("\xC0\xC9\xDE\xD7"), "\xE0\xE9\xFE\xD7");
    EXPECT_EQ(LowerStr("AbZ@["), "abz@[");
}

TEST(StringCaseFolding, UpperFollowsLatin1LowerClassAndKeepsDivisionSign) {
    EXPECT_EQ(UpperStr("\xE0\xE9\xFE\xF7"), "\xC0\xC9\xDE\xF7");
    EXPECT_EQ(UpperStr("az`{"), "AZ`{");
}

TEST(StringCaseFolding, UpperKeepsSharpSAndYDiaeresis) {
    EXPECT_EQ(UpperStr("stra\xDF" "e"), "STRA\xDF" "E");
    EXPECT_EQ(UpperStr("\xFF"), "\xFF");
}

TEST(StringCaseFolding, FoldingKeepsZeroBytes) {
    EXPECT_EQ(UpperStr("a\0b"s), "A\0B"s);
}

TEST(StringSearch, FindHonoursCaseAndStart) {
    EXPECT_EQ(FindStr("Hello", "l", true, 0), 2);
    EXPECT_EQ(FindStr("Hello", "L", true, 0), -1);
    EXPECT_EQ(FindStr("Hello", "L", false, 0), 2);
    EXPECT_EQ(FindStr("Hello", "l", true, 3), 3);
    EXPECT_EQ(FindStr("Hello", "l", true, 5), -1);
}

TEST(StringSearch, CaseInsensitiveFindUsesLatin1Classes) {
    EXPECT_EQ(FindStr("CAF\xC9", "\xE9", false, 0), 3);
    EXPECT_EQ(FindStr("STRA\xDF" "E", "\xE9", false, 0), -1);
}

TEST(StringSearch, MatchMustLieInsideString) {
    EXPECT_EQ(FindStr("abc", "bcd", true, 0), -1);
    EXPECT_EQ(FindStr("", "a", true, 0), -1);
    EXPECT_EQ(FindStr("abc", "", true, 0), -1);
}

TEST(StringSearch, FindsPastZeroBytes) {
    EXPECT_EQ(FindStr("a\0b\0c"s, "\0c"s, true, 0), 3);
}

TEST(StringSearch, CountDoesNotOverlap) {
    EXPECT_EQ(CountStr("aaaa", "aa", true, 0), 2);
    EXPECT_EQ(CountStr("aXaxA", "x", false, 0), 2);
    EXPECT_EQ(CountStr("abab", "ab", true, 1), 1);
}

TEST(StringReplace, RemovesWithEmptyReplacement) {
    EXPECT_EQ(ReplaceStr("a-b-c", "-", "", true, 0), "abc");
}

TEST(StringReplace, KeepsBytesBeforeStart) {
    EXPECT_EQ(ReplaceStr("a-b-c", "-", "+", true, 2), "a-b+c");
    EXPECT_EQ(ReplaceStr("a-b", "-", "+", true, 99), "a-b");
}

TEST(StringReplace, EmptySearchReturnsStringUnchanged) {
    EXPECT_EQ(ReplaceStr("abc", "", "x", true, 0), "abc");
}

TEST(StringReplace, ReplacesAroundZeroBytes) {
    EXPECT_EQ(ReplaceStr("a\0b\0c"s, "\0"s, "--", true, 0), "a--b--c");
    EXPECT_EQ(ReplaceStr("xy", "y", "\0"s, true, 0), "x\0"s);
}

TEST(StringInsert, InsertsOverwritesAndAppends) {
    EXPECT_EQ(InsertStr("abcd", "XY", 1, false), "aXYbcd");
    EXPECT_EQ(InsertStr("abcd", "XY", 1, true), "aXYd");
    EXPECT_EQ(InsertStr("abcd", "XY", 9, false), "abcdXY");
    EXPECT_EQ(InsertStr("abcd", "XYZ", 2, true), "abXYZ");
    EXPECT_EQ(InsertStr("", "XY", 3, false), "XY");
}

TEST(StringSplit, KeepsEmptyPieces) {
    auto pieces = SplitStr(",a,,b,", ',');
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[0], "");
    EXPECT_EQ(pieces[1], "a");
    EXPECT_EQ(pieces[2], "");
    EXPECT_EQ(pieces[3], "b");
    EXPECT_EQ(pieces[4], "");
}

TEST(StringSplit, EmptyStringIsOnePiece) {
    EXPECT_EQ(SplitStr("", ',').size(), 1u);
}

TEST(StringSplit, LastPieceKeepsBytesAfterZero) {
    const std::string text = "a,b\0c"s;
    auto pieces = SplitStr(text, ',');
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[1], "b\0c"s);
}

TEST(StringTrim, RemovesOnlyTheGivenByteFromOneSide) {
    EXPECT_EQ(TrimStr("xxabxx", 'x', false), "abxx");
    EXPECT_EQ(TrimStr("xxabxx", 'x', true), "xxab");
    EXPECT_EQ(TrimStr("xxxx", 'x', true), "");
}

TEST(StringCuts, LeftAndRightClampCounts) {
    EXPECT_EQ(LeftStr("abc", 2), "ab");
    EXPECT_EQ(LeftStr("abc", 9), "abc");
    EXPECT_EQ(LeftStr("abc", -1), "");
    EXPECT_EQ(RightStr("abc", 2), "bc");
    EXPECT_EQ(RightStr("abc", 9), "abc");
    EXPECT_EQ(RightStr("abc", 0), "");
}

TEST(StringCuts, MidTakesBytesAcrossZeros) {
    EXPECT_EQ(MidStr("a\0bc"s, 1, 2), "\0b"s);
    EXPECT_EQ(MidStr("abc", 1, 99), "bc");
    EXPECT_EQ(MidStr("abc", 3, 1), "");
}

TEST(StringCuts, MidWithNegativeStartIsEmpty) {
    EXPECT_EQ(MidStr("abcdef", -5, 3), "");
}

TEST(StringCuts, UnleftAndUnrightDropBytes) {
    EXPECT_EQ(UnleftStr("abcdef", 2), "abcd");
    EXPECT_EQ(UnrightStr("abcdef", 2), "cdef");
    EXPECT_EQ(UnleftStr("ab", 9), "");
    EXPECT_EQ(UnrightStr("ab", 9), "");
}

TEST(StringCuts, UnmidRemovesRange) {
    EXPECT_EQ(UnmidStr("abcdef", 1, 2), "adef");
    EXPECT_EQ(UnmidStr("abc", 0, 3), "");
    EXPECT_EQ(UnmidStr("abcdef", 4, 9), "abcd");
    EXPECT_EQ(UnmidStr("abc", 1, 0), "abc");
}

TEST(StringCuts, UnmidWithStartPastEndReturnsStringUnchanged) {
    EXPECT_EQ(UnmidStr("abc", 99, 2), "abc");
    EXPECT_EQ(UnmidStr("abc", 3, 1), "abc");
}

TEST(StringNumberText, HexStrIsUpperCaseWithDollar) {
    EXPECT_EQ(HexStr(0), "$0");
    EXPECT_EQ(HexStr(255), "$FF");
    EXPECT_EQ(HexStr(0xFFFFFFFFu), "$FFFFFFFF");
}

TEST(StringNumberText, BinStrWidthFollowsType) {
    EXPECT_EQ(BinStr(5, 7), "00000101");
    EXPECT_EQ(BinStr(0x18001, 6), "1000000000000001");
    EXPECT_EQ(BinStr(0x80000001u, 1), "10000000000000000000000000000001");
    EXPECT_EQ(BinStr(5, 3), "");
}

TEST(StringNumberText, PadNumAddsLeadingZerosOnly) {
    EXPECT_EQ(PadNum(42, 5), "00042");
    EXPECT_EQ(PadNum(123456, 3), "123456");
}

TEST(StringNumberText, StrStrCutsFractionWithoutRounding) {
    EXPECT_EQ(StrStr(3.14159, 2), "3.14");
    EXPECT_EQ(StrStr(2.999, 2), "2.99");
    EXPECT_EQ(StrStr(3.14159, 0), "3");
    EXPECT_EQ(StrStr(2, 2), "2");
    EXPECT_EQ(StrStr(0.5, 4), "0.5");
}

TEST(StringNumberText, StrStrKeepsExponent) {
    EXPECT_EQ(StrStr(1.23456e-07, 2), "1.23e-07");
    EXPECT_EQ(StrStr(1.2345678901235e17, 2), "1.23e+17");
    EXPECT_EQ(StrStr(1e15, 2), "1e+15");
}

TEST(StringNumberText, StrStrNegativeDigitsCountAsZero) {
    EXPECT_EQ(StrStr(3.14159, -3), "3");
}

TEST(StringNumberParse, ToNumberBaseAllowsTrailingBlanksOnly) {
    EXPECT_EQ(ToNumberBase("ff", 16), 255u);
    EXPECT_EQ(ToNumberBase("ff ", 16), 255u);
    EXPECT_EQ(ToNumberBase("ffz", 16), 0u);
    EXPECT_EQ(ToNumberBase("", 16), 0u);
    EXPECT_EQ(ToNumberBase("101", 2), 5u);
    EXPECT_EQ(ToNumberBase("zz", 36), 1295u);
    EXPECT_EQ(ToNumberBase("0x1f", 16), 31u);
}

TEST(StringNumberParse, ToNumberBaseWrapsLikeUnsignedLong) {
    EXPECT_EQ(ToNumberBase("-1", 10), 4294967295u);
    EXPECT_EQ(ToNumberBase("ffffffffffffffffff", 16), 4294967295u);
    EXPECT_EQ(ToNumberBase("1\0"s, 10), 0u);
}
