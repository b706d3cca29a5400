// vlac and vllink as a user runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/app/applet_format.h"
#include "tools/applet/applet_file.h"
#include "tools/compiler/known_names.h"
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
    ScratchDirectory dir(VL_BINARY_DIR); // for a copy of the player
    const std::string vlac = VL_VLAC, vllink = VL_VLLINK, player = VL_PLAYER, linked = dir.File("program");
    WriteFile(dir.File("a.vls"), "x = 1\n");
    ASSERT_EQ(RunTool(vlac + " '" + dir.File("a.vls") + "'"), 0);
    ASSERT_EQ(RunTool(vllink + " -o '" + linked + "' '" + player + "' '" + dir.File("a.vla") + "'"), 0);
    std::ofstream(dir.File("big.vls")).close();
    fs::resize_file(dir.File("big.vls"), (4u << 20) + 1); // just over the largest script vlac reads
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
        {vlac + " -h", 0, true, "usage: vlac"},
        {vlac + " --frobnicate a.vls", 2, false, "vlac: unknown option \"--frobnicate\"\nusage: vlac"},
        {vlac + " a.vls -o", 2, false, "vlac: a file name must follow \"-o\"\n"},
        {vlac + " nothere.vls", 1, false, "vlac: cannot read nothere.vls (No such file or directory)\n"},
        {vllink + " --help", 0, true, "usage: vllink"},
        {vllink + " --version", 0, true, "vllink 0."},
        {vlac + " -o", 2, false, "usage: vlac"},
        {vlac + " a.vls b.vls", 2, false, "vlac: one script at a time (\"a.vls\" and \"b.vls\")\nusage: vlac"},
        {vlac + " -o /nonexistent/x.vla a.vls", 1, false,
         "vlac: cannot write /nonexistent/x.vla (No such file or directory)\n"},
        {vlac + " big.vls", 1, false, "vlac: cannot read big.vls (larger than 4 MiB: not a script)\n"},
        {vlac + " .", 1, false, "vlac: cannot read . (Is a directory)\n"},
        {vllink + " -o x", 2, false, "usage: vllink"},
        {vllink + " -o x a.vla", 2, false, "usage: vllink"},
        {vllink + " -z -o x program a.vla", 2, false, "vllink: unknown option \"-z\"\nusage: vllink"},
        {vllink + " a.vla -o", 2, false, "vllink: a file name must follow \"-o\"\nusage: vllink"},
        {vllink + " -o x missing a.vla", 1, false, "vllink: cannot read missing (No such file or directory)\n"},
        {vllink + " -o /nonexistent/x " + player + " a.vla", 1, false,
         "vllink: cannot write /nonexistent/x (No such file or directory)\n"},
        {vllink + " -o x a.vla a.vla", 1, false, "vllink: "},
        {player + " --help", 0, true, "applet [arguments for the applet]"},
        {player + " --version", 0, true, "Vistaloom 0."},
        {player + " -h", 0, true, "applet [arguments for the applet]"},
        {player + " -H", 0, true, "applet [arguments for the applet]"},
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

// The reference tool writes every page the tree holds and nothing else, and its check refuses a page, or the
// compiler's name list, that no longer matches the tables.
TEST(CommandReference, WritesTheTreesPagesAndRefusesStaleOnes) {
    ScratchDirectory dir;
    const fs::path tree = dir.path, source = VL_SOURCE_DIR;
    fs::create_directories(tree / "docs/commands");
    fs::create_directories(tree / "tools/compiler");
    const std::string tool = std::string(VL_VLREFERENCE) + " ";
    ASSERT_EQ(RunTool(tool + "'" + dir.path + "'"), 0);
    std::vector<std::string> written, kept;
    for (const auto &entry : fs::directory_iterator(tree / "docs/commands")) written.push_back(entry.path().filename());
    for (const auto &entry : fs::directory_iterator(source / "docs/commands")) kept.push_back(entry.path().filename());
    std::sort(written.begin(), written.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(written, kept);
    for (const std::string &page : written)
        EXPECT_EQ(ReadFileText(tree / "docs/commands" / page), ReadFileText(source / "docs/commands" / page)) << page;

    std::string errors;
    EXPECT_EQ(RunTool(tool + "--check '" + dir.path + "'", &errors), 0);
    EXPECT_EQ(errors, "");
    std::string page = ReadFileText(tree / "docs/commands/dos.md");
    WriteText(tree / "docs/commands/dos.md", page.substr(0, page.rfind("\n## ")) + "\n");
    std::string names = ReadFileText(tree / "tools/compiler/known_names.h");
    WriteText(tree / "tools/compiler/known_names.h", names.erase(names.find("    \"Wait\",\n"), 12));
    fs::remove(tree / "docs/constants.md");
    EXPECT_EQ(RunTool(tool + "--check '" + dir.path + "'", &errors), 1);
    const std::string stale = " differs from the tables (run scripts/make-reference)\n";
    EXPECT_EQ(errors, "vlreference: docs/commands/dos.md" + stale + "vlreference: docs/constants.md" + stale +
                          "vlreference: tools/compiler/known_names.h" + stale);
    EXPECT_EQ(RunTool(tool, &errors), 2);
}

// Every command and constant the compiler knows, and so every one the reference documents, is there when the
// real player runs an applet.
TEST(CommandReference, ThePlayerRegistersEveryKnownName) {
    ScratchDirectory dir;
    std::string script;
    for (const char *command : kKnownCommands)
        script += std::string("If GetType(") + command + ") <> #FUNCTION Then DebugPrint(\"" + command + "\") EndIf\n";
    for (const char *constant : kKnownConstants) script += std::string("x = #") + constant + "\n";
    script += "DebugPrint(\"checked\", " + std::to_string(std::size(kKnownCommands)) + ")\n";
    WriteFile(dir.File("all.vls"), script);
    std::string errors;
    ASSERT_EQ(RunTool(std::string(VL_VLAC) + " '" + dir.File("all.vls") + "'", &errors), 0);
    EXPECT_EQ(errors, "");
    const std::string out = dir.File("out");
    EXPECT_EQ(RunTool("cd '" + dir.path + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " VL_PLAYER
                      " -quiet -debugdevice @stdout all.vla >'" + out + "'",
                      &errors),
              0)
        << errors;
    EXPECT_EQ(ReadFileText(out), "checked " + std::to_string(std::size(kKnownCommands)) + "\n");
}

} // namespace
