#include "host/catalog.h"
#include "host/debug_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include "tests/support/files.h"

namespace {

TEST(DebugOutput, FileTargetReceivesPrintfText) {
    std::string path = "/tmp/vl-debug-" + std::to_string(getpid()) + ".txt";
    ASSERT_EQ(SetDebugDevice(path.c_str()), 0);
    EXPECT_EQ(DebugDeviceIsSet(), 1);
    DebugPrintf("line %d: %s\n", 7, "hello");
    CloseDebugConsole(); // the first display closes the console; a file target keeps receiving text
    DebugPrintf("%s\n", std::string(3000, 'x').c_str());
    ShutdownDebugOutput();
    EXPECT_EQ(ReadFileText(path), "line 7: hello\n" + std::string(3000, 'x') + "\n");
    EXPECT_EQ(DebugDeviceIsSet(), 0);
    unlink(path.c_str());
}

TEST(DebugOutput, UnwritableFileLeavesTheTargetAlone) {
    ASSERT_EQ(SetDebugDevice("@serial"), 0);
    EXPECT_EQ(SetDebugDevice("/nonexistent-dir/debug.txt"), 1052);
    EXPECT_STREQ(GetDebugDevice(), "@serial");
    SetDebugDevice(nullptr);
}

TEST(DebugOutput, StdoutTargetWritesToStandardOutput) {
    ASSERT_EQ(SetDebugDevice("@stdout"), 0);
    testing::internal::CaptureStdout();
    DebugPrintf("to stdout %d\n", 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "to stdout 1\n");
    SetDebugDevice(nullptr);
}

TEST(DebugOutput, RexxTargetUsesTheSenderOrFallsBackToStandardError) {
    static std::string received;
    ASSERT_EQ(SetDebugDevice("@rexx:PORT"), 0);
    testing::internal::CaptureStderr();
    DebugPrintf("early\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "early\n");
    SetDebugRexxSender([](const char *port, const char *text, size_t length) {
        received = std::string(port) + ":" + std::string(text, length);
        return 0;
    });
    DebugPrintf("late");
    EXPECT_EQ(received, "PORT:late");
    SetDebugRexxSender(nullptr);
    SetDebugDevice(nullptr);
}

TEST(Catalog, BuiltInEnglishTexts) {
    EXPECT_STREQ(GetCatalogMessage(kMsgLoadingAnimation), "Loading animation %s");
    EXPECT_STREQ(GetCatalogMessage(kMsgLoadingSprite), "Loading sprite %s");
    EXPECT_STREQ(GetCatalogMessage(kMsgDone), "done");
    EXPECT_STREQ(GetCatalogMessage(kMsgAndAction), "And Action!");
    EXPECT_STREQ(GetCatalogMessage(123456), "");
}

TEST(Catalog, GraphicCharactersExcludeBlanksAndControls) {
    EXPECT_TRUE(IsGraphicChar('a'));
    EXPECT_TRUE(IsGraphicChar('~'));
    EXPECT_TRUE(IsGraphicChar(0xE9)); // e acute
    EXPECT_FALSE(IsGraphicChar(' '));
    EXPECT_FALSE(IsGraphicChar('\n'));
    EXPECT_FALSE(IsGraphicChar(0x7F));
    EXPECT_FALSE(IsGraphicChar(0xA0)); // no-break space
}

} // namespace

