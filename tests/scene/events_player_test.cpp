// Event scripts in the real player, headless: what a callback's End and a callback's error do to the program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include "tests/support/files.h"

namespace {

struct PlayerResult {
    int exitCode = -1;
    std::string out, err;
};

// Compiles the script with vlac and runs it in vistaloom with the debug output on standard output.
PlayerResult RunInPlayer(const std::string &source) {
    ScratchDirectory scratch;
    const std::filesystem::path dir = scratch.path;
    std::ofstream(dir / "script.vls") << source;
    std::string compiler = std::string(VL_BINARY_DIR) + "/tools/vlac";
    std::string player = std::string(VL_BINARY_DIR) + "/player/vistaloom";
    PlayerResult result;
    if (!std::filesystem::exists(compiler) || !std::filesystem::exists(player)) {
        ADD_FAILURE() << "the tests need the vlac and vistaloom targets built";
        return result;
    }
    std::string d = dir.string();
    std::string command = "cd '" + d + "' && '" + compiler + "' -o script.vla script.vls && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy '" +
                          player + "' -quiet -debugdevice @stdout script.vla > out.txt 2> err.txt";
    int status = std::system(command.c_str());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadFileText(dir / "out.txt");
    result.err = ReadFileText(dir / "err.txt");
    return result;
}

TEST(EventsInPlayer, EndInsideACallbackStopsQuietly) {
    PlayerResult run = RunInPlayer("SetInterval(1, Function(msg) DebugPrint(msg.action) End() EndFunction, 1)\n"
                                          "While 1\n    CheckEvent()\nWend\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "Interval\n");
    EXPECT_EQ(run.err, "");
}

TEST(EventsInPlayer, ErrorInsideACallbackIsReportedWithItsMessage) {
    PlayerResult run = RunInPlayer("SetTimeout(1, Function(msg) Local x = 1 / 0 EndFunction, 1)\n"
                                            "While 1\n    CheckEvent()\nWend\n");
    EXPECT_EQ(run.exitCode, 1);
    // The callback's own line, then where the event check ran it.
    EXPECT_EQ(run.err, "script.vls:1: Division by zero!\ncalled from CheckEvent at script.vls:3\n");
}

TEST(EventsInPlayer, IdleCheckEventAndRegisteredConstants) {
    PlayerResult run = RunInPlayer("Local t = CheckEvent()\n"
                                           "DebugPrint(t.triggered, t.nresults, #ONBUTTONCLICKALL, #JOYNODIR)\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "0 0 11 8\n");
}

// Wait and WaitTimer queue input but run no handler; CheckEvent and WaitEvent drop what waited longer than the
// event timeout, and refuse to run inside a callback. GetLastError keeps a code across later successes.
TEST(EventsInPlayer, WaitQueuesEventsThatOnlyCheckEventHandles) {
    PlayerResult run = RunInPlayer(
        "ExitOnError(False)\n"
        "DebugPrint(GetLastError())\n"
        "n = 0\n"
        "SetInterval(1, Function() n = n + 1 EndFunction, 1)\n"
        "Wait(30, #MILLISECONDS)\n"
        "StartTimer(1)\n"
        "WaitTimer(1, 30)\n"
        "DebugPrint(\"waited\", n)\n"
        "CheckEvent()\n"
        "DebugPrint(\"missed ticks give one call\", n)\n"
        "ClearInterval(1)\n"
        "InstallEventHandler({HideWindow = Function(msg) DebugPrint(msg.action) EndFunction})\n"
        "HideDisplay()\n"
        "ShowDisplay()\n"
        "DebugPrint(CheckEvent().triggered)\n"
        "SetEventTimeout(10)\n"
        "HideDisplay()\n"
        "Wait(30, #MILLISECONDS)\n"
        "DebugPrint(\"too old\", CheckEvent().triggered)\n"
        "SetTimeout(2, Function() CheckEvent() DebugPrint(\"not reached\") EndFunction, 1)\n"
        "WaitEvent()\n"
        "DebugPrint(\"CheckEvent in a callback\", GetLastError())\n"
        "GetTimer(99)\n"
        "DebugPrint(GetLastError())\n"
        "SetTimeout(3, Function() WaitEvent() EndFunction, 1)\n"
        "Wait(10, #MILLISECONDS)\n"
        "CheckEvent()\n"
        "DebugPrint(\"WaitEvent in a callback\", GetLastError())\n"
        "DebugPrint(\"kept after a success\", CheckEvent().triggered, GetLastError())\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "0\nwaited 0\nmissed ticks give one call 1\nHideWindow\n1\ntoo old 0\n"
                       "CheckEvent in a callback 1055\n1181\nWaitEvent in a callback 1055\n"
                       "kept after a success 0 1055\n");
}

} // namespace
