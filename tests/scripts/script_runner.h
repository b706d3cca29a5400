// Runs script tests in-process: compiles a .vls file with the applet compiler, loads the chunk on a fresh VM with
// the registered libraries and a test output command, and checks what the script states about itself in
// comments:
//
//   ; expect: TEXT                          the next line TestPrint writes is exactly TEXT (blanks at the end of
//                                           a line are not compared)
//   ; expect error: CODE ["MESSAGE"] [at line N]
//                                           the script stops with error CODE (its table message, where given,
//                                           and the line it happened on)
//   ; expect compile error: LINE:COLUMN: MESSAGE
//                                           the compiler refuses the script with exactly this
//   ; clock: YYYY-MM-DD HH:MM:SS            runs on the virtual clock from that UTC time, with TZ=UTC; then
//                                           TestClock() gives monotonic milliseconds, TestSetWallClock(seconds)
//                                           moves the wall clock by seconds
//
// A script without "expect error" must run to its end without an error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct VMState;

struct ScriptExpectations {
    std::vector<std::string> output;
    bool expectError = false;
    int errorCode = 0;
    std::string errorMessage; // empty: not checked
    int errorLine = 0;        // 0: not checked
    bool expectCompileError = false;
    std::string compileError; // "LINE:COLUMN: MESSAGE"
    int64_t clockStart = -1;  // microseconds since 1970 UTC; -1: the real clock
};

// Reads the expectation comments; false with a reason when one is malformed.
bool ParseExpectations(std::string_view source, ScriptExpectations &out, std::string &problem);

struct ScriptRunResult {
    bool compiled = false;
    std::string compileError; // "LINE:COLUMN: MESSAGE" when not compiled
    int errorCode = 0;        // 0 when the script ran to its end
    int errorLine = 0;
    std::string errorFile;
    std::vector<std::string> output; // one entry per TestPrint call
};

// Compiles source named fileName as an applet (linked files read from baseDirectory) and runs its chunk.
ScriptRunResult RunScript(std::string_view source, const std::string &fileName, const std::string &baseDirectory = "");

// Compares a run with the expectations; returns "" when they agree, else what differs.
std::string CompareRun(const ScriptExpectations &expected, const ScriptRunResult &run);

// A library that script tests may call. Every row of ScriptTestLibraries() is registered on each test VM, before
// the runner's own test commands.
using ScriptLibraryRegister = void (*)(VMState *vm);
const std::vector<ScriptLibraryRegister> &ScriptTestLibraries();
// Their free-alls, called after each script (timers and catalogs must not outlive the script that made them).
using ScriptLibraryFree = void (*)(VMState *vm);
const std::vector<ScriptLibraryFree> &ScriptTestLibraryFrees();
