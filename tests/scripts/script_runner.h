// Runs the script tests of tests/scripts in-process on the harness: a fresh VM per script with the registered
// libraries and these test commands besides TestPrint and TestErrorOf:
//
//   TestMulti(n), TestCount(...), TestFail(code), TestProtect(f, ...), TestCall(f, ...), TestDispatch(f),
//   TestGosub(label),
//   TestGosubAgain(label), TestAnswerRequester(...), TestLastRequester(), TestScratch()
//
// A script with "; clock: YYYY-MM-DD HH:MM:SS" runs on the virtual clock from that UTC time, with TZ=UTC; then
// TestClock() gives monotonic milliseconds and TestMoveWallClock(seconds) moves the wall clock by seconds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/script_harness.h"

// Compiles source named fileName as an applet (linked files read from baseDirectory) and runs its chunk.
ScriptRunResult RunScript(std::string_view source, const std::string &fileName, const std::string &baseDirectory = "");

// A library that script tests may call. Every row of ScriptTestLibraries() is registered on each test VM, before
// the runner's own test commands.
using ScriptLibraryRegister = void (*)(VMState *vm);
const std::vector<ScriptLibraryRegister> &ScriptTestLibraries();
// Their free-alls, called after each script (timers and catalogs must not outlive the script that made them).
using ScriptLibraryFree = void (*)(VMState *vm);
const std::vector<ScriptLibraryFree> &ScriptTestLibraryFrees();
