#include "host/wildcard.h"
#include "tests/fuzz/regression_files.h"

#include <gtest/gtest.h>

#include <random>
#include <regex>
#include <string>

namespace {

// Each row: the pattern feature, the pattern, a name and whether it matches (case is always ignored).
TEST(Wildcard, PatternFeaturesMatchTheirNames) {
    const struct {
        const char *feature, *pattern, *name;
        int matches;
    } cases[] = {
        {"#? is any text", "#?.PNG", "a.png", 1},
        {"#? is any text", "#?.png", "picture.PnG", 1},
        {"#? is any text", "#?.png", "a.png.bak", 0},
        {"#? is any text", "#?", "", 1},
        {"~ excludes its group", "~(#?.info)", "disk.info", 0},
        {"~ excludes its group", "~(#?.info)", "disk", 1},
        {"~ excludes its group", "~(#?.info)", "info", 1},
        {"? is one character", "a?c", "abc", 1},
        {"? is one character", "a?c", "ac", 0},
        {"? is one character", "a?c", "abbc", 0},
        {"alternatives", "(foo|bar).txt", "BAR.txt", 1},
        {"alternatives", "(foo|bar).txt", "baz.txt", 0},
        {"empty alternative", "file(|s)", "file", 1},
        {"empty alternative", "file(|s)", "files", 1},
        {"repeated class", "#[0-9].dat", "2024.dat", 1},
        {"repeated class", "#[0-9].dat", ".dat", 1},
        {"repeated class", "#[0-9].dat", "20a4.dat", 0},
        {"repeated group", "#(ab)c", "ababc", 1},
        {"repeated group", "#(ab)c", "abac", 0},
        {"class range", "[a-c]x", "Bx", 1},
        {"class range", "[a-c]x", "dx", 0},
        {"negated class", "[~a-c]x", "dx", 1},
        {"negated class", "[~a-c]x", "ax", 0},
        {"quote makes literal", "what'?", "what?", 1},
        {"quote makes literal", "what'?", "whatX", 0},
        {"quote makes literal", "100'%", "100%", 1},
        {"% is the empty text", "a%b", "ab", 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MatchWildcard(c.pattern, c.name), c.matches)
            << c.feature << ": " << c.pattern << " \"" << c.name << "\"";
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
    // Fuzz finds whose remembered end sets were copied without counting: seconds each, now within the budget.
    for (const auto &path : RegressionFiles("patterns_dates")) {
        std::vector<uint8_t> bytes = ReadFileBytes(path);
        std::string text(bytes.begin() + 1, bytes.end());
        std::string pattern = text.substr(0, text.find('\0')), rest = text.substr(text.find('\0') + 1);
        EXPECT_GE(MatchWildcard(pattern.c_str(), rest.substr(0, rest.find('\0')).c_str()), 0) << path;
    }
}

TEST(Wildcard, LongNamesStillMatchOrdinaryPatterns) {
    std::string name(4000, 'a');
    EXPECT_EQ(MatchWildcard("#?.png", (name + ".PNG").c_str()), 1);
    EXPECT_EQ(MatchWildcard("a#?(x|y)", (name + "y").c_str()), 1);
    EXPECT_EQ(MatchWildcard("#a", name.c_str()), 1);
}

// Random patterns without "~" have a regular-expression twin; both must agree on random names.
struct PatternPair {
    std::string pattern, regex;
};

PatternPair RandomItem(std::mt19937 &random, int depth);

PatternPair RandomSequence(std::mt19937 &random, int depth) {
    PatternPair out;
    int items = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < items; ++i) {
        PatternPair item = RandomItem(random, depth);
        out.pattern += item.pattern;
        out.regex += item.regex;
    }
    return out;
}

PatternPair RandomItem(std::mt19937 &random, int depth) {
    switch (random() % (depth > 0 ? 7 : 4)) {
    case 0: return {"a", "a"};
    case 1: return {"B", "b"};
    case 2: return {"?", "."};
    case 3: return {"[a-b]", "[ab]"};
    case 4: {
        PatternPair inner = RandomItem(random, depth - 1);
        return {"#" + inner.pattern, "(?:" + inner.regex + ")*"};
    }
    case 5: {
        PatternPair left = RandomSequence(random, depth - 1), right = RandomSequence(random, depth - 1);
        return {"(" + left.pattern + "|" + right.pattern + ")", "(?:" + left.regex + "|" + right.regex + ")"};
    }
    default: return {"%", ""};
    }
}

TEST(Wildcard, AgreesWithRegularExpressionsOnRandomPatterns) {
    std::mt19937 random(5);
    for (int round = 0; round < 400; ++round) {
        PatternPair pair = RandomSequence(random, 2);
        std::regex regex(pair.regex, std::regex::icase);
        for (int n = 0; n < 12; ++n) {
            std::string name;
            int length = static_cast<int>(random() % 7);
            for (int i = 0; i < length; ++i) name += "abAB."[random() % 5];
            int expected = std::regex_match(name, regex) ? 1 : 0;
            ASSERT_EQ(MatchWildcard(pair.pattern.c_str(), name.c_str()), expected)
                << "pattern " << pair.pattern << " name \"" << name << "\"";
        }
    }
}

TEST(Wildcard, NegationIsTheComplementOnRandomPatterns) {
    std::mt19937 random(9);
    for (int round = 0; round < 200; ++round) {
        PatternPair pair = RandomSequence(random, 2);
        std::string negated = "~(" + pair.pattern + ")";
        for (int n = 0; n < 12; ++n) {
            std::string name;
            int length = static_cast<int>(random() % 6);
            for (int i = 0; i < length; ++i) name += "ab."[random() % 3];
            ASSERT_EQ(MatchWildcard(negated.c_str(), name.c_str()), 1 - MatchWildcard(pair.pattern.c_str(), name.c_str()))
                << negated << " \"" << name << "\"";
        }
    }
}

TEST(Wildcard, PathologicalPatternEndsWithoutExhaustingMemory) {
    std::string pattern;
    for (int i = 0; i < 500; ++i) pattern += "#?";
    pattern += "b";
    std::string name(4000, 'a');
    EXPECT_EQ(MatchWildcard(pattern.c_str(), name.c_str()), 0);
}

} // namespace
