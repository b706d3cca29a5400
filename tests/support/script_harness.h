// The one harness of the in-process script tests: a script states what it expects in comments, is compiled
// with the applet compiler and runs on a VM that the suite prepares with its libraries.
//
//   ; expect: TEXT                          the next output line is exactly TEXT (blanks at the end of a line
//                                           are not compared)
//   ; expect error: CODE ["MESSAGE"] [at line N]
//                                           the script stops with error CODE (its table message, where given,
//                                           and the line it happened on)
//   ; expect compile error: LINE:COLUMN: MESSAGE
//                                           the compiler refuses the script with exactly this
//   ; clock: YYYY-MM-DD HH:MM:SS            for suites on the virtual clock: the UTC time it starts from
//
// A script without "expect error" must run to its end without an error. Every suite gives its scripts
// TestPrint(...), one output line of the arguments separated by blanks, and TestErrorOf(f, ...), the error
// code of calling f with the arguments (0 when it succeeds); a suite adds its own commands with the same call.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/app/command.h"

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
    std::string errorMessage; // as the player reports it (ScriptErrorMessage)
    std::vector<std::string> output; // one entry per TestPrint call
};

// Compares a run with the expectations; returns "" when they agree, else what differs.
std::string CompareRun(const ScriptExpectations &expected, const ScriptRunResult &run);

// How TestPrint shows a value: numbers and strings as text, else Nil, True, False, Table, Function, Userdata.
std::string ScriptValueText(VMState *vm, int index);

// Registers TestPrint (into run's output), TestErrorOf and then each of the suite's command tables.
void RegisterScriptTestCommands(VMState *vm, ScriptRunResult *run,
                                std::initializer_list<const CommandEntry *> suiteCommands = {});

// Compiles source, named fileName with linked files read from baseDirectory, as an applet; the chunk is the one
// the player would load. False with run's compileError set when the compiler refuses it.
bool CompileScriptChunk(std::string_view source, const std::string &fileName, const std::string &baseDirectory,
                        std::vector<uint8_t> &chunk, ScriptRunResult &run);

// Reads the expectation comments and compiles the script; "" when both went well, else what went wrong.
std::string PrepareScriptChunk(std::string_view source, const std::string &fileName, const std::string &baseDirectory,
                               ScriptExpectations &expected, std::vector<uint8_t> &chunk, ScriptRunResult &run);

// Loads the chunk on vm and runs it protected; run gets the error code, line and file it stopped with.
void RunScriptChunk(VMState *vm, const std::vector<uint8_t> &chunk, const std::string &name, ScriptRunResult &run);

// Pointers that scripts print differ from run to run: every "0x..." in the output becomes "ADDR".
void MaskAddresses(std::vector<std::string> &output);

// The .vls files below root (relative paths, sorted), for a parameterised suite.
std::vector<std::string> ScriptFilesBelow(const std::string &root);

// A test name from a script's path: without ".vls", other characters than letters and digits made '_'.
std::string ScriptTestName(std::string path);
