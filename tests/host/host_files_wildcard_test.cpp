#include "host/wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Wildcard, HashQuestionMatchesAnyTextIgnoringCase) {
    EXPECT_EQ(MatchWildcard("#?.PNG", "a.png"), 1);
    EXPECT_EQ(MatchWildcard("#?.png", "picture.PnG"), 1);
    EXPECT_EQ(MatchWildcard("#?.png", "a.png.bak"), 0);
    EXPECT_EQ(MatchWildcard("#?", ""), 1);
}

TEST(Wildcard, TildeExcludesWhatTheGroupMatches) {
    EXPECT_EQ(MatchWildcard("~(#?.info)", "disk.info"), 0);
    EXPECT_EQ(MatchWildcard("~(#?.info)", "disk"), 1);
    EXPECT_EQ(MatchWildcard("~(#?.info)", "info"), 1);
}

TEST(Wildcard, QuestionMarkIsExactlyOneCharacter) {
    EXPECT_EQ(MatchWildcard("a?c", "abc"), 1);
    EXPECT_EQ(MatchWildcard("a?c", "ac"), 0);
    EXPECT_EQ(MatchWildcard("a?c", "abbc"), 0);
}

TEST(Wildcard, AlternativesIncludingTheEmptyOne) {
    EXPECT_EQ(MatchWildcard("(foo|bar).txt", "BAR.txt"), 1);
    EXPECT_EQ(MatchWildcard("(foo|bar).txt", "baz.txt"), 0);
    EXPECT_EQ(MatchWildcard("file(|s)", "file"), 1);
    EXPECT_EQ(MatchWildcard("file(|s)", "files"), 1);
}

TEST(Wildcard, RepeatOfAClassOrGroup) {
    EXPECT_EQ(MatchWildcard("#[0-9].dat", "2024.dat"), 1);
    EXPECT_EQ(MatchWildcard("#[0-9].dat", ".dat"), 1);
    EXPECT_EQ(MatchWildcard("#[0-9].dat", "20a4.dat"), 0);
    EXPECT_EQ(MatchWildcard("#(ab)c", "ababc"), 1);
    EXPECT_EQ(MatchWildcard("#(ab)c", "abac"), 0);
}

TEST(Wildcard, ClassesRangesAndNegation) {
    EXPECT_EQ(MatchWildcard("[a-c]x", "Bx"), 1);
    EXPECT_EQ(MatchWildcard("[a-c]x", "dx"), 0);
    EXPECT_EQ(MatchWildcard("[~a-c]x", "dx"), 1);
    EXPECT_EQ(MatchWildcard("[~a-c]x", "ax"), 0);
}

TEST(Wildcard, QuoteMakesASpecialCharacterLiteral) {
    EXPECT_EQ(MatchWildcard("what'?", "what?"), 1);
    EXPECT_EQ(MatchWildcard("what'?", "whatX"), 0);
    EXPECT_EQ(MatchWildcard("100'%", "100%"), 1);
}

TEST(Wildcard, PercentMatchesTheEmptyText) {
    EXPECT_EQ(MatchWildcard("a%b", "ab"), 1);
}

TEST(Wildcard, ParseTellsPlainNamesFromPatterns) {
    PatternBuffer *buffer = AllocPatternBuffer();
    EXPECT_EQ(ParseWildcardPattern("readme.txt", buffer), 0);
    EXPECT_EQ(MatchWildcardPattern(buffer, "README.TXT"), 1);
    EXPECT_EQ(ParseWildcardPattern("#?.txt", buffer), 1);
    EXPECT_EQ(MatchWildcardPattern(buffer, "notes.txt"), 1);
    FreePatternBuffer(buffer);
}

TEST(Wildcard, MalformedPatternsAreRefusedAndMatchNothing) {
    PatternBuffer *buffer = AllocPatternBuffer();
    for (const char *pattern : {"(a|b", "a)", "[abc", "#", "x|y"}) {
        EXPECT_EQ(ParseWildcardPattern(pattern, buffer), -1) << pattern;
        EXPECT_EQ(MatchWildcardPattern(buffer, "a"), 0) << pattern;
    }
    FreePatternBuffer(buffer);
}

TEST(Wildcard, ManyRepeatsOnALongNameFinishQuickly) {
    std::string name(300, 'a');
    EXPECT_EQ(MatchWildcard("#?#?#?#?#?#?#?#?b", name.c_str()), 0);
    EXPECT_EQ(MatchWildcard("#(a|aa)#(a|aa)c", name.c_str()), 0);
}

} // namespace
