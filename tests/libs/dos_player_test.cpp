// The dos and memblock commands in a compressed applet made by the compiler and played by the real player.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include "tests/support/files.h"

namespace fs = std::filesystem;

namespace {

std::string RunCapture(const std::string &command) {
    std::string output;
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    pclose(pipe);
    return output;
}

// The compiler and the player as built, and a directory for the applet and the files it writes.
struct DosInPlayer : testing::Test {
    const std::string compiler = std::string(VL_BINARY_DIR) + "/tools/vlac";
    const std::string player = std::string(VL_BINARY_DIR) + "/player/vistaloom";
    ScratchDirectory scratch;
    const fs::path dir = scratch.path;
    void SetUp() override {
        if (!fs::exists(compiler) || !fs::exists(player))
            GTEST_SKIP() << "the compiler and the player are not built";
    }
};

TEST_F(DosInPlayer, CompressedAppletWritesAndReadsFiles) {
    std::string data = (dir / "data.bin").string();
    std::ofstream(dir / "t.vls") << "OpenFile(1, \"" << data << "\", #MODE_WRITE)\n"
                                 << "WriteInt(1, 3000000000)\n"
                                 << "WriteLine(1, \"\")\n"
                                 << "Local t = {1, \"two\", {x = 3}}\n"
                                 << "t.f = Function(a) Return a * 2 EndFunction\n"
                                 << "WriteTable(1, t, True)\n"
                                 << "CloseFile(1)\n"
                                 << "OpenFile(1, \"" << data << "\")\n"
                                 << "DebugPrint(ReadInt(1), StrLen(ReadLine(1)))\n"
                                 << "Local u = ReadTable(1)\n"
                                 << "DebugPrint(u[0], u[1], u[2].x, u.f(21), Eof(1))\n"
                                 << "CloseFile(1)\n"
                                 // A short ReadMem keeps what it got and moves past it before it fails.
                                 << "OpenFile(2, \"" << data << ".abc\", #MODE_WRITE)\nWriteString(2, \"abc\")\n"
                                 << "CloseFile(2)\nOpenFile(2, \"" << data << ".abc\")\nAllocMem(1, 8)\n"
                                 << "ExitOnError(False)\nReadMem(2, 1, 8)\n"
                                 << "DebugPrint(GetLastError(), FilePos(2), Peek(1, 2, #BYTE))\n"
                                 // A name with a zero byte inside is refused, not cut short to "x".
                                 << "OpenFile(3, \"x\\0y\", #MODE_WRITE)\nDebugPrint(GetLastError(), Exists(\"x\"))\n"
                                 << "ExitOnError(True)\n"
                                 << "DebugPrint(DecompressFile(\"" << data << "\", \"" << data
                                 << ".out\"))\n";
    std::string build =
        compiler + " -z -o '" + (dir / "t.vlz").string() + "' '" + (dir / "t.vls").string() + "'";
    ASSERT_EQ(std::system(build.c_str()), 0);
    std::string output = RunCapture("SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy '" + player +
                                    "' -quiet -debugdevice @stdout '" + (dir / "t.vlz").string() + "' 2>&1");
    EXPECT_EQ(output.rfind("2147483647 0\n1 two 3 42 1\n1009 3 99\n1055 0\n", 0), 0u) << output;
    // The last line is the error report of DecompressFile on a file that is no "VLPK" file.
    EXPECT_NE(output.find("Unknown compression format!"), std::string::npos) << output;
}

// Under a file-size limit every writer fails as on a full disk, and each names the file it could not write.
TEST_F(DosInPlayer, WritersNameTheFileOnAFullDisk) {
    std::string data(200000, '\0');
    uint32_t seed = 1;
    for (char &c : data) c = char((seed = seed * 1103515245u + 12345u) >> 24);
    std::ofstream(dir / "data.bin", std::ios::binary) << data;
    fs::create_directory(dir / "out");
    std::ofstream(dir / "t.vls")
        << "If Not Exists(\"packed\") Then CompressFile(\"data.bin\", \"packed\") EndIf\n"
        << "ExitOnError(False)\n"
        << "CopyFile(\"data.bin\", \"out\")\nDebugPrint(GetLastError(), GetErrorName(GetLastError()))\n"
        << "CompressFile(\"data.bin\", \"c\")\nDebugPrint(GetLastError(), GetErrorName(GetLastError()))\n"
        << "DecompressFile(\"packed\", \"d\")\nDebugPrint(GetLastError(), GetErrorName(GetLastError()))\n";
    std::string build = compiler + " -o '" + (dir / "t.vla").string() + "' '" + (dir / "t.vls").string() + "'";
    ASSERT_EQ(std::system(build.c_str()), 0);
    const std::string run = "cd '" + dir.string() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy '" + player +
                            "' -quiet -debugdevice @stdout t.vla 2>&1";
    RunCapture(run);
    ASSERT_TRUE(fs::exists(dir / "packed"));
    // The shell's limit is inherited; SIGXFSZ ignored turns the cut into a failed write.
    std::string output = RunCapture("ulimit -f 16 && trap '' XFSZ && " + run);
    EXPECT_EQ(output, "1052 Cannot write to file " + (dir / "out/data.bin").string() +
                          " !\n1052 Cannot write to file c !\n1052 Cannot write to file d !\n");
}

// file_commands.vls states its output; the files it wrote hold exactly these bytes.
TEST_F(DosInPlayer, FileCommandsWriteAndReadExactBytes) {
    const std::string script = ReadFileText(std::string(VL_SOURCE_DIR) + "/tests/libs/file_commands.vls");
    std::string expected;
    for (size_t at = script.find("; expect: "); at != std::string::npos; at = script.find("; expect: ", at + 1))
        expected += script.substr(at + 10, script.find('\n', at) - at - 10) + "\n";
    std::ofstream(dir / "t.vls") << script;
    std::string build = compiler + " -o '" + (dir / "t.vla").string() + "' '" + (dir / "t.vls").string() + "'";
    ASSERT_EQ(std::system(build.c_str()), 0);
    EXPECT_EQ(RunCapture("cd '" + dir.string() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy '" + player +
                         "' -quiet -debugdevice @stdout t.vla 2>&1"),
              expected);
    const std::vector<uint8_t> numbers = {
        0x41, 0x2C, 0xFF, 0x03, 0xFF, 0x00,                         // WriteChr: low byte, truncated, saturated
        0x01, 0x02, 0xFF, 0xFF, 0x00, 0x07, 0xFF, 0xFE, 0xFF, 0xFF, // WriteShort: low 16 bits, big-endian
        0x3F, 0xF8, 0, 0, 0, 0, 0, 0,                               // WriteFloat 1.5
        0xBF, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A,             // WriteFloat -0.1
        'a', 'b', 0, 'c'};
    EXPECT_EQ(ReadFileBytes((dir / "numbers.bin").string()), numbers);
    EXPECT_EQ(ReadFileBytes((dir / "block.bin").string()), (std::vector<uint8_t>{0x41, 0x42, 0, 0xFF, 0xFF, 0x43}));
}

} // namespace
