#include <gtest/gtest.h>

#include "runtime/app/command.h"
#include "runtime/app/errors.h"

namespace {

struct Parsed {
    double value;
    int read;
    int error;
};

Parsed Parse(const char *text) {
    Parsed p{};
    p.value = ParseOptionNumber(text, &p.read, &p.error);
    return p;
}

TEST(ParseOptionNumber, ReadsDollarHex) {
    Parsed p = Parse("$ff");
    EXPECT_EQ(p.value, 255);
    EXPECT_EQ(p.read, 3);
    EXPECT_EQ(p.error, 0);
}

TEST(ParseOptionNumber, ReadsBinary) {
    Parsed p = Parse("%101");
    EXPECT_EQ(p.value, 5);
    EXPECT_EQ(p.read, 4);
}

TEST(ParseOptionNumber, ReadsZeroXHex) { EXPECT_EQ(Parse("0x1F").value, 31); }

TEST(ParseOptionNumber, ReadsNegativeFraction) {
    Parsed p = Parse("-12.5");
    EXPECT_EQ(p.value, -12.5);
    EXPECT_EQ(p.read, 5);
}

TEST(ParseOptionNumber, StopsAtFirstNonDigit) {
    Parsed p = Parse("640,480");
    EXPECT_EQ(p.value, 640);
    EXPECT_EQ(p.read, 3);
    EXPECT_EQ(Parse("2e").read, 1);
    EXPECT_EQ(Parse("1.5e3x").value, 1500);
}

TEST(ParseOptionNumber, HexPrefixWithoutDigitsIsSyntaxError) {
    Parsed p = Parse("0x");
    EXPECT_EQ(p.error, 1018);
    EXPECT_EQ(p.value, 0);
    EXPECT_EQ(Parse("$g").error, 1018);
}

TEST(ParseOptionNumber, NoNumberIsValueExpected) {
    Parsed p = Parse("abc");
    EXPECT_EQ(p.error, 1024);
    EXPECT_EQ(p.value, 0);
    EXPECT_EQ(p.read, 0);
    EXPECT_EQ(Parse("-").error, 1024);
    EXPECT_EQ(Parse("").error, 1024);
}

// ---- Constants registry ------------------------------------------------------------------------------------------
const ConstantEntry kTestConstants[] = {
    {"LEFT", nullptr, -2},
    {"RIGHT", nullptr, -3},
    {"FONTNAME", "vera.font", 0},
    {nullptr, nullptr, 0},
};

struct Constants : ::testing::Test {
    void SetUp() override {
        ClearCommandRegistry();
        RegisterConstants(nullptr, kTestConstants);
    }
    void TearDown() override { ClearCommandRegistry(); }
};

TEST_F(Constants, LookupIgnoresCase) {
    int read = 0, isString = -1;
    double value = 0;
    EXPECT_EQ(ParseConstantName(nullptr, "#left", &read, &isString, &value), 0);
    EXPECT_EQ(value, -2);
    EXPECT_EQ(isString, 0);
    EXPECT_EQ(read, 5);
    EXPECT_EQ(ParseConstantName(nullptr, "#Right]", &read, &isString, &value), 0);
    EXPECT_EQ(value, -3);
    EXPECT_EQ(read, 6);
}

TEST_F(Constants, StringConstantIsFlagged) {
    int read = 0, isString = 0;
    double value = 1;
    const char *text = nullptr;
    EXPECT_EQ(ParseConstantName(nullptr, "#FontName", &read, &isString, &value, &text), 0);
    EXPECT_EQ(isString, 1);
    EXPECT_STREQ(text, "vera.font");
}

TEST_F(Constants, UnknownNameGivesErrorNamingIt) {
    int read = 0, isString = 0;
    double value = 0;
    EXPECT_EQ(ParseConstantName(nullptr, "#NOSUCH", &read, &isString, &value), kErrUnknownConstant);
    EXPECT_EQ(GetErrorText(kErrUnknownConstant), "Unknown constant #NOSUCH!");
    EXPECT_EQ(ParseConstantName(nullptr, "#", &read, &isString, &value), kErrUnknownConstant);
}

TEST_F(Constants, ReRegisteringReplacesValue) {
    const ConstantEntry again[] = {{"left", nullptr, 99}, {nullptr, nullptr, 0}};
    RegisterConstants(nullptr, again);
    ASSERT_NE(FindConstant("LEFT"), nullptr);
    EXPECT_EQ(FindConstant("LEFT")->number, 99);
}

int Dummy(VMState *) { return 0; }
const CommandEntry kTestCommands[] = {{"DebugPrint", Dummy}, {nullptr, nullptr}};

TEST_F(Constants, LibraryCommandsAreFoundByNameIgnoringCase) {
    RegisterCommandLibrary(kTestCommands, "system");
    EXPECT_EQ(FindCommand("debugprint"), &Dummy);
    EXPECT_EQ(FindCommand("DEBUGPRINT"), &Dummy);
    EXPECT_EQ(FindCommand("nothing"), nullptr);
    RegisterCommandLibrary(kTestCommands, "system");
}

} // namespace
