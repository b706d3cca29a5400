// Helper programs of the desktop (requesters, clipboard tools, the URL opener), run without a shell so that
// titles and names need no quoting.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The program's path on PATH, or "" when it is not installed.
std::string FindProgramOnPath(const char *name);
// Runs program with args, feeding input to its standard input. With output, its standard output is collected;
// without, it and its standard error go to /dev/null (tools that stay in the background to serve a selection
// must not hold our pipes).
// The exit status, or -1 when the program could not run or was killed; *startError (when given) is then the
// errno of the failed start (E2BIG for arguments over the system's limit, ENOENT, ...), 0 after a kill.
int RunHelperProgram(const std::string &program, const std::vector<std::string> &args,
                     std::span<const uint8_t> input, std::string *output, int *startError = nullptr);

// Runs a script's program (device prefixes resolved, else searched in PATH) with its argument text split into
// words, with "..." quoting; no shell. Synchronous: waits and returns 0. Asynchronous: returns 0 once it started. kErrCannotOpen "Cannot
// open %s !" (the name as error argument) when it cannot be started.
int StartProgram(const char *program, const char *arguments, int asynchronous);
