// Helpers of the player tests: compiling scripts into applets, running the real player.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/files.h"

// Goes after a script's @DISPLAY line: errors no longer end the script, and Try(f, ...) calls f and prints
// the error code it left.
inline constexpr const char *kTryFunction = R"(ExitOnError(False)
Function Try(f, ...)
  f(...)
  DebugPrint(GetLastError())
EndFunction
)";

// 0x00RRGGBB of a pixel of a 24-bit bottom-up BMP file.
uint32_t BmpPixel(const std::vector<uint8_t> &bmp, int x, int y);

// Compiles a script (named fileName, linked files relative to baseDirectory) into applet bytes; fails the
// current test on a compile error.
std::vector<uint8_t> CompileToApplet(const std::string &source, const std::string &fileName,
                                     const std::string &baseDirectory, bool compressed = false);

struct PlayerRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};
// Runs a program (the player by default) with arguments, in directory, with extra "NAME=value" environment words.
PlayerRun RunProgramCapture(const std::string &program, const std::vector<std::string> &arguments,
                            const std::string &directory, const std::vector<std::string> &environment = {});
PlayerRun RunPlayer(const std::vector<std::string> &arguments, const std::string &directory,
                    const std::vector<std::string> &environment = {});

// The commands a sweep over every registered command leaves out: those that wait for the user or for time, ask in
// a requester, start programs, or end or redirect the script.
bool SweepLeavesOut(const std::string &command);

// A sweep over every registered command but those SweepLeavesOut names, run by the player. The script starts
// with Make(), which makes objects numbered 1 of every kind a command names, and a second display, again before
// each call (a call may free or change them); errors do not end it. Then come setUp, one line a command (call
// with each "$" made the command's name) and ending. Returns what the script printed; the run's status and
// standard error go to *run, the number of commands swept to *commands; environment is added to the player's.
std::string RunSweep(const std::string &setUp, const std::string &call, const std::string &ending, PlayerRun *run,
                     int *commands = nullptr, const std::vector<std::string> &environment = {});
