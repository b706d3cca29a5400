#include "player/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Args {
    std::vector<std::string> words;
    std::vector<char *> pointers;
    explicit Args(std::vector<std::string> list) : words(std::move(list)) {
        words.insert(words.begin(), "vistaloom");
        for (auto &word : words) pointers.push_back(word.data());
    }
    int argc() { return static_cast<int>(pointers.size()); }
    char **argv() { return pointers.data(); }
};

int Parse(std::vector<std::string> words, ParsedCommandLine *out, bool appended = false, std::string *message = nullptr) {
    Args args(std::move(words));
    std::string ignored;
    return ParseCommandLine(args.argc(), args.argv(), appended, out, message ? message : &ignored);
}

TEST(Options, AllFourSpellingsOfAnOptionAreAccepted) {
    for (auto words : std::vector<std::vector<std::string>>{{"-debugdevice", "@stdout", "a.vla"},
                                                            {"--debugdevice", "@stdout", "a.vla"},
                                                            {"--debugdevice=@stdout", "a.vla"},
                                                            {"-DEBUGDEVICE=@stdout", "a.vla"}}) {
        ParsedCommandLine parsed;
        ASSERT_EQ(Parse(words, &parsed), 0) << words[0];
        EXPECT_TRUE(parsed.given[kOptionDebugDevice]);
        EXPECT_EQ(parsed.values[kOptionDebugDevice], "@stdout");
        EXPECT_EQ(parsed.appletPath, "a.vla");
    }
}

TEST(Options, NamesAreCaseInsensitive) {
    ParsedCommandLine parsed;
    ASSERT_EQ(Parse({"-WiNdOw", "--NoSound", "x.vla"}, &parsed), 0);
    EXPECT_TRUE(parsed.given[kOptionWindow]);
    EXPECT_TRUE(parsed.given[kOptionNoSound]);
}

TEST(Options, UnknownOptionIsAUsageErrorNamingIt) {
    ParsedCommandLine parsed;
    std::string message;
    EXPECT_EQ(Parse({"-fullscren", "x.vla"}, &parsed, false, &message), 2);
    EXPECT_NE(message.find("-fullscren"), std::string::npos);
}

TEST(Options, MissingValueOrMissingAppletIsAUsageError) {
    ParsedCommandLine parsed;
    EXPECT_EQ(Parse({"x.vla", "-debugdevice"}, &parsed), 0); // after the applet: a user argument
    ParsedCommandLine second;
    EXPECT_EQ(Parse({"-debugdevice"}, &second), 2);
    ParsedCommandLine third;
    EXPECT_EQ(Parse({"-window"}, &third), 2);
    ParsedCommandLine fourth;
    EXPECT_EQ(Parse({"-window=1", "x.vla"}, &fourth), 2); // a switch takes no value
}

TEST(Options, WordsAfterTheAppletBecomeUserArguments) {
    ParsedCommandLine parsed;
    ASSERT_EQ(Parse({"-quiet", "game.vla", "file.txt", "-level", "3", "-cheat"}, &parsed), 0);
    ASSERT_EQ(parsed.userArguments.size(), 3u);
    EXPECT_EQ(parsed.userArguments[0].name, "");
    EXPECT_EQ(parsed.userArguments[0].value, "file.txt");
    EXPECT_EQ(parsed.userArguments[1].name, "level");
    EXPECT_EQ(parsed.userArguments[1].value, "3");
    EXPECT_EQ(parsed.userArguments[2].name, "cheat");
    EXPECT_FALSE(parsed.userArguments[2].hasValue);
    EXPECT_TRUE(parsed.warnings.empty());
    // As GetCommandLine's page says: "=" is not split, a word with a dash is never a value, a lone "-" is a word.
    ParsedCommandLine more;
    ASSERT_EQ(Parse({"game.vla", "-", "--name=Bob", "-n", "-5"}, &more), 0);
    const std::pair<const char *, const char *> expected[] = {{"", "-"}, {"name=Bob", ""}, {"n", ""}, {"5", ""}};
    ASSERT_EQ(more.userArguments.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); i++) {
        EXPECT_EQ(more.userArguments[i].name, expected[i].first) << i;
        EXPECT_EQ(more.userArguments[i].value, expected[i].second) << i;
    }
}

// They stay the applet's, but one spelt like a player option gets a warning naming it.
TEST(Options, PlayerOptionsAfterTheAppletAreWarnedAbout) {
    ParsedCommandLine parsed;
    ASSERT_EQ(Parse({"game.vla", "-fullscreen", "-level", "3", "--ScaleWidth=800"}, &parsed), 0);
    EXPECT_FALSE(parsed.given[kOptionFullScreen]);
    EXPECT_EQ(parsed.userArguments.size(), 3u);
    ASSERT_EQ(parsed.warnings.size(), 2u);
    EXPECT_EQ(parsed.warnings[0], "\"-fullscreen\" comes after the applet, so the applet gets it, not the player: "
                                  "put player options first");
    EXPECT_NE(parsed.warnings[1].find("\"--ScaleWidth=800\""), std::string::npos);
    ParsedCommandLine appended;
    ASSERT_EQ(Parse({"level", "-window"}, &appended, true), 0);
    ASSERT_EQ(appended.warnings.size(), 1u);
    EXPECT_NE(appended.warnings[0].find("the program gets it"), std::string::npos);
}

TEST(Options, AppendedProgramTakesOptionsThenItsOwnArguments) {
    ParsedCommandLine parsed;
    ASSERT_EQ(Parse({"-window", "-level", "3"}, &parsed, true), 0);
    EXPECT_TRUE(parsed.given[kOptionWindow]);
    EXPECT_TRUE(parsed.appletPath.empty());
    ASSERT_EQ(parsed.userArguments.size(), 1u);
    EXPECT_EQ(parsed.userArguments[0].name, "level");
}

// Help needs no applet, spelt as every tool takes it.
TEST(Options, HelpNeedsNoApplet) {
    for (const char *word : {"--help", "-help", "-h", "--h", "-H"}) {
        ParsedCommandLine parsed;
        ASSERT_EQ(Parse({word}, &parsed), 0) << word;
        EXPECT_TRUE(parsed.given[kOptionHelp]) << word;
    }
}

TEST(Options, TableSlotsMatchTheirRowsAndStayWithinTheLimit) {
    ASSERT_LE(kOptionTableSize, kMaxOptions);
    for (int i = 0; i < kOptionTableSize; ++i) EXPECT_EQ(kOptionTable[i].slot, i) << kOptionTable[i].name;
}

TEST(Options, ValuesFillTheConfiguration) {
    ParsedCommandLine parsed;
    ASSERT_EQ(Parse({"-fullscreen", "-mastervolume", "64", "-scalewidth", "$280", "-backfill", "gradient",
                     "-startcolor", "0xFF0000", "-hidetitlebar", "1", "x.vla"},
                    &parsed),
              0);
    StartupConfig startup;
    DisplayConfig display;
    std::string message;
    ASSERT_EQ(ApplyOptions(parsed, &startup, &display, &message), 0) << message;
    EXPECT_EQ(display.mode, kDisplayModeFullScreen);
    EXPECT_EQ(startup.masterVolume, 64);
    EXPECT_EQ(display.scaleWidth, 640);
    EXPECT_EQ(display.backfill.type, kBackfillGradient);
    EXPECT_EQ(display.backfill.startColor, 0xFF0000u);
    EXPECT_EQ(display.hideTitleBar, 1);
}

TEST(Options, DefaultsWhenNothingIsGiven) {
    ParsedCommandLine parsed;
    ASSERT_EQ(Parse({"x.vla"}, &parsed), 0);
    StartupConfig startup;
    DisplayConfig display;
    std::string message;
    ASSERT_EQ(ApplyOptions(parsed, &startup, &display, &message), 0);
    EXPECT_EQ(startup.masterVolume, 30);
    EXPECT_EQ(startup.noSound, 0);
    EXPECT_EQ(display.hideTitleBar, -1);
}

TEST(Options, BadValuesAreUsageErrors) {
    for (auto words : std::vector<std::vector<std::string>>{
             {"-mastervolume", "loud", "x"}, {"-mastervolume", "65", "x"}, {"-backfill", "plaid", "x"},
             {"-scalewidth", "12px", "x"}, {"-progdir", "/nonexistent/folder", "x"}}) {
        ParsedCommandLine parsed;
        ASSERT_EQ(Parse(words, &parsed), 0);
        StartupConfig startup;
        DisplayConfig display;
        std::string message;
        EXPECT_EQ(ApplyOptions(parsed, &startup, &display, &message), 2) << words[0] << " " << words[1];
        EXPECT_FALSE(message.empty());
    }
}

} // namespace
