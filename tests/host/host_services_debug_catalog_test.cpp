#include "host/catalog.h"
#include "host/debug_output.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>
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

namespace {

// A FORM CTLG with the given STRS entries.
std::vector<uint8_t> MakeCatalog(const std::vector<std::pair<uint32_t, std::string>> &texts) {
    std::vector<uint8_t> strs;
    auto put32 = [](std::vector<uint8_t> &out, uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
    };
    for (const auto &[id, text] : texts) {
        put32(strs, id);
        put32(strs, uint32_t(text.size() + 1));
        strs.insert(strs.end(), text.begin(), text.end());
        strs.push_back(0);
        while (strs.size() % 4) strs.push_back(0);
    }
    std::vector<uint8_t> body = {'C', 'T', 'L', 'G', 'S', 'T', 'R', 'S'};
    put32(body, uint32_t(strs.size()));
    body.insert(body.end(), strs.begin(), strs.end());
    std::vector<uint8_t> form = {'F', 'O', 'R', 'M'};
    put32(form, uint32_t(body.size()));
    form.insert(form.end(), body.begin(), body.end());
    return form;
}

TEST(Catalog, ProgramCatalogOfTheUsersLanguageReplacesBuiltInTexts) {
    const std::string root = "/tmp/vl-progcat-" + std::to_string(getpid());
    const std::string bad = root + "/bad", good = root + "/good";
    ASSERT_EQ(system(("mkdir -p " + good + "/catalogs/deutsch/Vistaloom " + bad + "/Catalogs/fr/Vistaloom").c_str()), 0);
    WriteBytes(good + "/catalogs/deutsch/Vistaloom/Vistaloom.catalog",
               MakeCatalog({{uint32_t(kMsgPreparingDisplay), "Anzeige wird vorbereitet"}}));
    WriteText(bad + "/Catalogs/fr/Vistaloom/Vistaloom.catalog", "not a catalog");
    const char *saved = getenv("LANGUAGE");
    const std::string savedText = saved ? saved : "";

    setenv("LANGUAGE", "de_DE", 1);
    EXPECT_EQ(OpenProgramCatalog({root + "/missing", bad, good}), 1);
    EXPECT_STREQ(GetCatalogMessage(kMsgPreparingDisplay), "Anzeige wird vorbereitet");
    EXPECT_STREQ(GetCatalogMessage(kMsgDone), "done"); // not in the catalog: the built-in text
    CloseProgramCatalog();
    EXPECT_STREQ(GetCatalogMessage(kMsgPreparingDisplay), "Preparing display");

    setenv("LANGUAGE", "fr:de", 1); // the first language's catalog is found first, and it is malformed
    EXPECT_EQ(OpenProgramCatalog({bad, good}), 0);
    EXPECT_STREQ(GetCatalogMessage(kMsgPreparingDisplay), "Preparing display");
    setenv("LANGUAGE", "en", 1);
    EXPECT_EQ(OpenProgramCatalog({good}), 0);

    if (saved) setenv("LANGUAGE", savedText.c_str(), 1);
    else unsetenv("LANGUAGE");
    EXPECT_EQ(system(("rm -rf " + root).c_str()), 0);
}

} // namespace
