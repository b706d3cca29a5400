// vlac and vllink as a user runs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/app/applet_format.h"
#include "tools/applet/applet_file.h"
#include "tests/support/files.h"

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }

// Runs a command; returns its exit status and stores its standard error.
int RunTool(const std::string &command, std::string *errors = nullptr) {
    fs::path errorFile = fs::temp_directory_path() / ("vl_tools_err_" + std::to_string(getpid()));
    int status = std::system((command + " 2>'" + errorFile.string() + "'").c_str());
    if (errors) *errors = ReadFileText(errorFile);
    fs::remove(errorFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Vlac, WritesAnAppletNextToTheScript) {
    ScratchDirectory dir;
    WriteFile(dir.File("game.vls"), "@display {Width = 320}\nx = 1\n");
    ASSERT_EQ(RunTool(std::string(VL_VLAC) + " '" + dir.File("game.vls") + "'"), 0);
    auto bytes = ReadFileBytes(dir.File("game.vla"));
    AppletContents contents;
    std::string error;
    ASSERT_TRUE(ReadApplet(bytes, contents, error)) << error;
    EXPECT_TRUE(contents.hasDisplaySettings);
}

TEST(Vlac, WritesTheCompressedFormWithZ) {
    ScratchDirectory dir;
    WriteFile(dir.File("a.vls"), "x = 1\n");
    std::string out = dir.File("packed.bin");
    ASSERT_EQ(RunTool(std::string(VL_VLAC) + " -z -o '" + out + "' '" + dir.File("a.vls") + "'"), 0);
    auto bytes = ReadFileBytes(out);
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(std::memcmp(bytes.data(), "VLZ\0\0\0\0\0", 8), 0);
}

TEST(Vlac, ReportsCompileErrorsWithFileLineAndColumn) {
    ScratchDirectory dir;
    std::string script = dir.File("bad.vls");
    WriteFile(script, "x = 1\nIf x Then\n");
    std::string errors;
    EXPECT_EQ(RunTool(std::string(VL_VLAC) + " '" + script + "'", &errors), 1);
    EXPECT_EQ(errors, script + ":3:1: 'EndIf' expected (to close 'If' at line 2), found end of file\n");
    EXPECT_FALSE(fs::exists(dir.File("bad.vla")));
}

TEST(Vlac, WarnsAboutUnknownCommandsButStillWritesTheApplet) {
    ScratchDirectory dir;
    std::string script = dir.File("typo.vls");
    WriteFile(script, "x = 1\n  DisplayBrsh(1, 10, 10)\n");
    std::string errors;
    EXPECT_EQ(RunTool(std::string(VL_VLAC) + " '" + script + "'", &errors), 0);
    EXPECT_EQ(errors, script + ":2:3: warning: unknown command 'displaybrsh' (did you mean 'DisplayBrush'?)\n");
    EXPECT_TRUE(fs::exists(dir.File("typo.vla")));
}

TEST(Vlac, RefusesUnknownOptionsAndMissingFiles) {
    EXPECT_EQ(RunTool(std::string(VL_VLAC) + " -q x.vls"), 2);
    EXPECT_EQ(RunTool(std::string(VL_VLAC) + " /nonexistent/script.vls"), 1);
}

TEST(Vllink, LinksAnAppletIntoAPlayerCopy) {
    ScratchDirectory dir;
    std::string player(200, 'P');
    std::string block(kAppletMarkerSize, '\0');
    std::memcpy(block.data(), kAppletMarkerMaker, sizeof kAppletMarkerMaker - 1);
    const uint8_t words[12] = {0xDE, 0xAD, 0xC0, 0xDE, 0xC0, 0xDE, 0xCA, 0xFE, 0xC0, 0xCA, 0xC0, 0x1A};
    std::memcpy(block.data() + 32, words, 12);
    player.insert(50, block);
    WriteFile(dir.File("player"), player);
    WriteFile(dir.File("a.vls"), "x = 1\n");
    ASSERT_EQ(RunTool(std::string(VL_VLAC) + " '" + dir.File("a.vls") + "'"), 0);
    std::string out = dir.File("program");
    ASSERT_EQ(RunTool(std::string(VL_VLLINK) + " -o '" + out + "' '" + dir.File("player") + "' '" +
                      dir.File("a.vla") + "'"),
              0);
    auto linked = ReadFileBytes(out);
    ASSERT_GT(linked.size(), player.size());
    const uint8_t *word = linked.data() + 50 + 32;
    EXPECT_EQ(uint32_t(word[0]) << 24 | word[1] << 16 | word[2] << 8 | word[3], player.size());
    EXPECT_TRUE((fs::status(out).permissions() & fs::perms::owner_exec) != fs::perms::none);
    // Linking the linked program again is refused.
    EXPECT_EQ(RunTool(std::string(VL_VLLINK) + " -o '" + out + "2' '" + out + "' '" + dir.File("a.vla") + "'"),
              1);
}

// Every tool: --help on standard output with status 0, --version likewise, a usage error on standard error with
// status 2. A linked program's --help asks for no applet.
TEST(ToolConventions, HelpVersionAndUsageErrors) {
    ScratchDirectory dir;
    const std::string vlac = VL_VLAC, vllink = VL_VLLINK, player = VL_PLAYER, linked = dir.File("program");
    WriteFile(dir.File("a.vls"), "x = 1\n");
    ASSERT_EQ(RunTool(vlac + " '" + dir.File("a.vls") + "'"), 0);
    ASSERT_EQ(RunTool(vllink + " -o '" + linked + "' '" + player + "' '" + dir.File("a.vla") + "'"), 0);
    struct Case {
        std::string command;
        int status;
        bool toStdout; // the text goes to standard output (else to standard error, and nothing to stdout)
        const char *text;
    };
    const Case cases[] = {
        {vlac + " --help", 0, true, "usage: vlac"},
        {vlac + " --version", 0, true, "vlac 0."},
        {vlac, 2, false, "usage: vlac"},
        {vlac + " --bogus a.vls", 2, false, "usage: vlac"},
        {vllink + " --help", 0, true, "usage: vllink"},
        {vllink + " --version", 0, true, "vllink 0."},
        {vllink + " -o x", 2, false, "usage: vllink"},
        {player + " --help", 0, true, "applet [arguments for the applet]"},
        {player + " --version", 0, true, "Vistaloom 0."},
        {player, 2, false, "no applet given"},
        {player + " -nosuchoption a.vla", 2, false, "unknown option"},
        {"'" + linked + "' --help", 0, true, "[options] [arguments for the program]"},
        {"'" + linked + "' --version", 0, true, "Vistaloom 0."},
    };
    for (const Case &c : cases) {
        const std::string outFile = dir.File("stdout");
        std::string errors;
        const int status = RunTool("cd '" + dir.path + "' && SDL_VIDEODRIVER=offscreen " + c.command + " >'" +
                                       outFile + "'",
                                   &errors);
        const std::string output = ReadFileText(outFile);
        EXPECT_EQ(status, c.status) << c.command << "\n" << errors;
        const std::string &stream = c.toStdout ? output : errors;
        EXPECT_NE(stream.find(c.text), std::string::npos) << c.command << ": " << output << errors;
        EXPECT_TRUE(c.toStdout ? errors.empty() : output.empty()) << c.command << ": " << output << errors;
    }
}

} // namespace
