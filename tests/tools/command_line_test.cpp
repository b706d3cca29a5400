// vlc and vllink as a user runs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

#include "runtime/app/applet_format.h"
#include "tools/applet/applet_file.h"

namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() / ("vl_tools_" + std::to_string(getpid()) + "_" + std::to_string(rand()));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
};

void WriteFile(const fs::path &path, const std::string &text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<uint8_t> ReadFileBytes(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs a command; returns its exit status and stores its standard error.
int RunTool(const std::string &command, std::string *errors = nullptr) {
    fs::path errorFile = fs::temp_directory_path() / ("vl_tools_err_" + std::to_string(getpid()));
    int status = std::system((command + " 2>'" + errorFile.string() + "'").c_str());
    if (errors) {
        std::ifstream in(errorFile);
        errors->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::remove(errorFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Vlc, WritesAnAppletNextToTheScript) {
    TempDir dir;
    WriteFile(dir.path / "game.vls", "@display {Width = 320}\nx = 1\n");
    ASSERT_EQ(RunTool(std::string(VL_VLC) + " '" + (dir.path / "game.vls").string() + "'"), 0);
    auto bytes = ReadFileBytes(dir.path / "game.vla");
    AppletContents contents;
    std::string error;
    ASSERT_TRUE(ReadApplet(bytes, contents, error)) << error;
    EXPECT_TRUE(contents.hasDisplaySettings);
}

TEST(Vlc, WritesTheCompressedFormWithZ) {
    TempDir dir;
    WriteFile(dir.path / "a.vls", "x = 1\n");
    std::string out = (dir.path / "packed.bin").string();
    ASSERT_EQ(RunTool(std::string(VL_VLC) + " -z -o '" + out + "' '" + (dir.path / "a.vls").string() + "'"), 0);
    auto bytes = ReadFileBytes(out);
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(std::memcmp(bytes.data(), "VLZ\0\0\0\0\0", 8), 0);
}

TEST(Vlc, ReportsCompileErrorsWithFileLineAndColumn) {
    TempDir dir;
    std::string script = (dir.path / "bad.vls").string();
    WriteFile(script, "x = 1\nIf x Then\n");
    std::string errors;
    EXPECT_EQ(RunTool(std::string(VL_VLC) + " '" + script + "'", &errors), 1);
    EXPECT_EQ(errors, script + ":3:1: 'EndIf' expected (to close 'If' at line 2), found end of file\n");
    EXPECT_FALSE(fs::exists(dir.path / "bad.vla"));
}

TEST(Vlc, RefusesUnknownOptionsAndMissingFiles) {
    EXPECT_EQ(RunTool(std::string(VL_VLC) + " -q x.vls"), 2);
    EXPECT_EQ(RunTool(std::string(VL_VLC) + " /nonexistent/script.vls"), 1);
}

TEST(Vllink, LinksAnAppletIntoAPlayerCopy) {
    TempDir dir;
    std::string player(200, 'P');
    std::string block(kAppletMarkerSize, '\0');
    std::memcpy(block.data(), kAppletMarkerMaker, sizeof kAppletMarkerMaker - 1);
    const uint8_t words[12] = {0xDE, 0xAD, 0xC0, 0xDE, 0xC0, 0xDE, 0xCA, 0xFE, 0xC0, 0xCA, 0xC0, 0x1A};
    std::memcpy(block.data() + 32, words, 12);
    player.insert(50, block);
    WriteFile(dir.path / "player", player);
    WriteFile(dir.path / "a.vls", "x = 1\n");
    ASSERT_EQ(RunTool(std::string(VL_VLC) + " '" + (dir.path / "a.vls").string() + "'"), 0);
    std::string out = (dir.path / "program").string();
    ASSERT_EQ(RunTool(std::string(VL_VLLINK) + " -o '" + out + "' '" + (dir.path / "player").string() + "' '" +
                      (dir.path / "a.vla").string() + "'"),
              0);
    auto linked = ReadFileBytes(out);
    ASSERT_GT(linked.size(), player.size());
    const uint8_t *word = linked.data() + 50 + 32;
    EXPECT_EQ(uint32_t(word[0]) << 24 | word[1] << 16 | word[2] << 8 | word[3], player.size());
    EXPECT_TRUE((fs::status(out).permissions() & fs::perms::owner_exec) != fs::perms::none);
    // Linking the linked program again is refused.
    EXPECT_EQ(RunTool(std::string(VL_VLLINK) + " -o '" + out + "2' '" + out + "' '" + (dir.path / "a.vla").string() + "'"),
              1);
}

} // namespace
