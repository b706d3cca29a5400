// Shutdown in its fixed order: stop every sound, the libraries' free-all functions (display, graphics, draw,
// brush, bgpic, sprite, system, text, anim, layers, dos, memblock, arexx, event; the libraries outside that list
// next; sound last, which also closes the audio system), the error report unless the error is kErrUserAbort, the VM,
// the temporary files, the host.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "runtime/app/command.h"
#include "runtime/vm/vm.h"

struct ShutdownState {
    VMState *vm = nullptr;
    std::span<const LibraryDescriptor> libraries;
    size_t registered = 0;   // how many of the libraries (from the first) registered: only those are freed
    int errorCode = 0;       // 0 for none
    std::string errorReport; // the formatted report ("file:line: message\n"), written after the free-alls
    // The report of an error that left no memory (out of memory), formatted without allocating; used when set.
    char fixedReport[1024] = {};
    std::string temporaryFile;
    bool shutdownStarted = false; // a second run after memory ran out inside the first would free twice
};

// A file that cannot be read or written is named as the script wrote it ("PROGDIR:data/x.txt"): the report adds
// the host path that name stood for, " (/home/user/game/data/x.txt)", or "" when it says nothing more.
std::string ResolvedPathNote(int code);
// Formats the final report of an error raised while the script ran (file and line from the VM).
std::string FormatFinalReport(VMState *vm, int code, const char *programName);
// The same into a fixed buffer, without allocating, for an error that may have left no memory; the message is the
// table's text without arguments.
void FormatFinalReportInto(VMState *vm, int code, const char *programName, char *buffer, size_t size);
// Writes a report to standard error, and to the debug target too when that is a file or an ARexx port.
void WriteFinalReport(std::string_view report);

// Runs the whole sequence; returns the exit code (0, 1 after a reported error, 128 + the signal after SIGTERM or
// SIGHUP).
int ShutdownProgram(ShutdownState *state);
