#include <gtest/gtest.h>

#include <string>

#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"

namespace {

struct ErrorTable : ::testing::Test {
    void SetUp() override {
        SetErrorArgString("");
        SetErrorArgNumber(0);
        ResetRuntimeGlobals();
    }
};

TEST_F(ErrorTable, QuotedMessagesAreWordForWord) {
    EXPECT_STREQ(FindErrorMessage(1000), "Out of memory!");
    EXPECT_STREQ(FindErrorMessage(1005), "Could not write all characters to file!\nCheck if there is enough free space!");
    EXPECT_STREQ(FindErrorMessage(1055), "Wrong usage/parameters for this command!\nRead the documentation!");
    EXPECT_STREQ(FindErrorMessage(1066), "Internal limit encountered! Contact the author...");
    EXPECT_STREQ(FindErrorMessage(1189), "Number expected in table argument \"%s\"!");
    EXPECT_STREQ(FindErrorMessage(1247), "String expected in table argument \"%s\"!");
    EXPECT_STREQ(FindErrorMessage(1275), "Port \"%s\" could not be found!");
    EXPECT_STREQ(FindErrorMessage(1345), "Cannot use the a single BGPic for multiple displays!");
    EXPECT_STREQ(FindErrorMessage(1367), "You need to select the BGPic's display before modifying the BGPic!");
    EXPECT_STREQ(FindErrorMessage(1309), "Invalid or incomplete deflate data (zlib)!");
    EXPECT_STREQ(FindErrorMessage(1427), "No joystick found at specified game port!");
    EXPECT_STREQ(FindErrorMessage(1252), "Syntax error in text format specification!");
    EXPECT_STREQ(FindErrorMessage(1285), "Invalid date format specification!");
    EXPECT_STREQ(FindErrorMessage(1335), "Font specification must not be a file!");
}

TEST_F(ErrorTable, HoldsEveryQuotedCode) {
    // A sample spread over the whole range, each from a different subsystem.
    for (int code : {1003, 1009, 1014, 1018, 1019, 1024, 1025, 1040, 1041, 1043, 1045, 1052, 1063, 1064, 1065,
                     1084, 1089, 1094, 1135, 1138, 1139, 1140, 1144, 1174, 1183, 1184, 1185, 1190, 1193, 1196, 1211,
                     1212, 1218, 1231, 1235, 1246, 1250, 1259, 1298, 1299, 1324, 1356, 1357, 1358, 1369, 1385, 1404})
        EXPECT_NE(FindErrorMessage(code), nullptr) << code;
    EXPECT_GE(ErrorMessageCount(), 175u);
}

TEST_F(ErrorTable, HoldsTheVmOwnCodes) {
    EXPECT_STREQ(FindErrorMessage(1504), "Attempt to call a non-function value!");
    EXPECT_STREQ(FindErrorMessage(1516), "Metatable chain too long in __index or __newindex!");
    for (int code = 1500; code <= 1516; code++) EXPECT_NE(FindErrorMessage(code), nullptr) << code;
}

TEST_F(ErrorTable, SubstitutesTheArgumentOfEachKind) {
    struct Case {
        int code;
        const char *argString;
        int64_t argNumber;
        const char *text;
    };
    const Case cases[] = {
        {1179, "", 7, "Could not find file handle 7!"},
        {1045, "pic.iff", 0, "Cannot read file pic.iff !"},
        {1025, "%s%ld%n", 3, "Cannot open %s%ld%n !"}, // percent signs in the argument are no directives
        {1239, "my own failure", 0, "my own failure"},  // the user's error is the argument itself
        {1064, "Cannot open font vera.font with size 12!", 0, "Cannot open font vera.font with size 12!"},
    };
    for (const Case &c : cases) {
        SetErrorArgString(c.argString);
        SetErrorArgNumber(c.argNumber);
        EXPECT_EQ(GetErrorText(c.code), c.text) << c.code;
    }
}

TEST_F(ErrorTable, LongArgumentIsCutSafely) {
    std::string huge(10000, 'a');
    SetErrorArgString(huge);
    EXPECT_EQ(ErrorArgString().size(), 10000u); // kept whole, only the message is cut
    std::string text = GetErrorText(1239);
    EXPECT_EQ(text.size(), kErrorArgShownBytes);
    std::string message = GetErrorText(1045);
    EXPECT_EQ(message, "Cannot read file " + std::string(kErrorArgShownBytes, 'a') + " !");
}

TEST_F(ErrorTable, CutNeverSplitsUtf8Character) {
    std::string text(kErrorArgShownBytes - 1, 'a');
    text += "\xC3\xA9"; // é straddles the limit
    text += "tail";
    SetErrorArgString(text);
    std::string shown = GetErrorText(1239);
    EXPECT_EQ(shown, std::string(kErrorArgShownBytes - 1, 'a'));
}

TEST_F(ErrorTable, BufferCopyIsBoundedAndTerminated) {
    SetErrorArgNumber(12345);
    char small[10];
    size_t n = GetErrorText(nullptr, 1181, small, sizeof small);
    EXPECT_EQ(n, 9u);
    EXPECT_STREQ(small, "Could not");
}

TEST_F(ErrorTable, UnknownCodeNamesTheCode) {
    std::string text = GetErrorText(1100);
    EXPECT_NE(text.find("1100"), std::string::npos);
    EXPECT_EQ(FindErrorMessage(1100), nullptr);
    EXPECT_NE(GetErrorText(-5).find("-5"), std::string::npos);
}

TEST_F(ErrorTable, ReportFormats) {
    EXPECT_EQ(FormatErrorReport("demo.vls", 12, "vistaloom", "User abort!"), "demo.vls:12: User abort!\n");
    EXPECT_EQ(FormatErrorReport(nullptr, 0, "vistaloom", "Out of memory!"), "vistaloom: Out of memory!\n");
    EXPECT_EQ(FormatErrorWithPosition("Out of memory!", "demo.vls", 3),
              "Out of memory!\nFile: demo.vls (current line: 3)");
}

TEST_F(ErrorTable, MissingLibraryIsNamed) {
    EXPECT_EQ(LibraryNotRegistered("anim"), kErrLibraryNotRegistered);
    EXPECT_EQ(GetErrorText(kErrLibraryNotRegistered), "This command needs the anim library, which is not registered!");
}

// ---- Error policy ----------------------------------------------------------------------------------------------
TEST_F(ErrorTable, PolicyRaisesWhileExitOnErrorIsOn) {
    EXPECT_EQ(ApplyErrorPolicy(nullptr, 1138), 1);
}

TEST_F(ErrorTable, PolicyRecordsWhileExitOnErrorIsOff) {
    ExitOnErrorSwitch = 0;
    NoteErrorHint(1000, "a shape's limit");
    EXPECT_EQ(ApplyErrorPolicy(nullptr, 1000), 0);
    EXPECT_EQ(LastErrorCode, 1000);
    // Stepped over, its note must not follow a later 1000 that no command raised (the heap full in the VM).
    EXPECT_STREQ(NotedErrorHint(1000), "");
}

TEST_F(ErrorTable, PolicyRaisesInsideCallbackEvenWhenOff) {
    ExitOnErrorSwitch = 0;
    ExitOnErrorCount = 1;
    EXPECT_EQ(ApplyErrorPolicy(nullptr, 1138), 1);
}

TEST_F(ErrorTable, PolicyNeverSwallowsUserAbort) {
    ExitOnErrorSwitch = 0;
    EXPECT_EQ(ApplyErrorPolicy(nullptr, 1003), 1);
}

} // namespace
