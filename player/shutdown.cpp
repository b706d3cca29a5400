#include "player/shutdown.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "host/debug_output.h"
#include "host/path.h"
#include "host/process_end.h"
#include "host/screen.h"
#include "host/start_origin.h"
#include "host/tasks.h"
#include "player/applet_loader.h"
#include "runtime/app/errors.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/app/hooks.h"
#include "player/startup.h"

const char *const kLibraryFreeOrder[15] = {"display", "graphics", "draw", "brush", "bgpic",
                                           "sprite",  "system",   "text", "anim",  "layers",
                                           "dos",     "memblock", "arexx", "event", "sound"};

namespace {

void FreeLibrary(const ShutdownState &state, const LibraryDescriptor &library) {
    if (getenv("VL_TRACE_LIBRARIES")) DebugPrintf("free %s\n", library.name);
    if (library.freeAll) library.freeAll(state.vm);
}

bool InFreeOrder(const char *name) {
    for (const char *listed : kLibraryFreeOrder)
        if (strcmp(listed, name) == 0) return true;
    return false;
}

} // namespace

std::string ResolvedPathNote(int code) {
    if (code != kErrCannotReadFile && code != kErrCannotWriteFile) return "";
    const std::string &name = ErrorArgString();
    std::string host;
    if (name.empty() || !ResolveHostPath(name.c_str(), &host) || host.empty()) return "";
    if (host[0] != '/') {
        char directory[PATH_MAX];
        if (!getcwd(directory, sizeof directory)) return "";
        host = std::string(directory) + "/" + host;
    }
    return host == name ? "" : " (" + host + ")";
}

std::string FormatFinalReport(VMState *vm, int code, const char *programName) {
    std::string message = ScriptErrorMessage(vm, code);
    message.insert(std::min(message.size(), GetErrorText(code).size()), ResolvedPathNote(code));
    const char *file = vm ? GetErrorFile(vm) : nullptr;
    int line = vm ? GetErrorLine(vm) : 0;
    if (file && *file && line > 0) return FormatErrorReport(file, line, programName, message.c_str());
    return FormatErrorReport(nullptr, 0, file && *file ? file : programName, message.c_str());
}

void FormatFinalReportInto(VMState *vm, int code, const char *programName, char *buffer, size_t size) {
    const char *message = FindErrorMessage(code);
    if (!message) message = "";
    // A limit's refusal, not a full heap, may have noted what it refused.
    const char *hint = NotedErrorHint(code), *gap = *hint ? " " : "";
    const char *file = vm ? GetErrorFile(vm) : nullptr;
    const int line = vm ? GetErrorLine(vm) : 0;
    if (file && *file && line > 0) snprintf(buffer, size, "%s:%d: %s%s%s\n", file, line, message, gap, hint);
    else snprintf(buffer, size, "%s: %s%s%s\n", file && *file ? file : programName, message, gap, hint);
}

void WriteFinalReport(std::string_view report) {
    fwrite(report.data(), 1, report.size(), stderr);
    fflush(stderr);
    const char *device = GetDebugDevice();
    if (DebugDeviceIsSet() && strcmp(device, "@stdout") != 0 && strcmp(device, "@serial") != 0)
        DebugWrite(report.data(), report.size());
}

int ShutdownProgram(ShutdownState *state) {
    state->shutdownStarted = true;
    // Before anything that waits on another thread: a wait that never ends (the 5 s bound) loses nothing then.
    FlushScriptFiles();
    StopAllSounds();
    std::span<const LibraryDescriptor> all = state->libraries;
    state->libraries = all.first(std::min(state->registered, all.size()));
    for (const char *name : kLibraryFreeOrder) {
        if (strcmp(name, "sound") == 0) continue;
        for (const LibraryDescriptor &library : state->libraries)
            if (strcmp(library.name, name) == 0) FreeLibrary(*state, library);
    }
    // Libraries the fixed list does not name (string, math, moveobject, transitionfx) keep no resources the
    // others depend on; they go before sound, which stays last.
    for (const LibraryDescriptor &library : state->libraries)
        if (!InFreeOrder(library.name)) FreeLibrary(*state, library);
    bool soundFreed = false;
    for (const LibraryDescriptor &library : state->libraries) {
        if (strcmp(library.name, "sound") != 0) continue;
        FreeLibrary(*state, library);
        soundFreed = library.freeAll != nullptr;
    }
    if (!soundFreed) FreeAllSounds(); // the sound library's free-all closes the audio system itself
    state->libraries = all;

    int exitCode = 0;
    std::string report;
    if (state->errorCode && state->errorCode != kErrUserAbort) {
        report = state->fixedReport[0] ? std::string(state->fixedReport) : state->errorReport;
        WriteFinalReport(report);
        exitCode = 1;
    }
    const std::string failures = TakeShutdownFailures();
    if (!failures.empty()) {
        WriteFinalReport(failures);
        report += failures;
        exitCode = 1;
    }
    // From here on a library may end the process (the display's error handlers): no thread may still run.
    StopSystemThreads();
    // Standard error always; a user who started us from the desktop has no terminal to read it in.
    if (!report.empty() &&
        ReportWantsMessageBox(StartedFromShell, StreamKindOf(STDOUT_FILENO), StreamKindOf(STDERR_FILENO),
                              DesktopDisplayOpens))
        ShowReportMessageBox("Vistaloom", report);
    if (state->vm) CloseVMState(state->vm);
    state->vm = nullptr;
    // After the free-alls, which close their own displays: this closes any window left and stops SDL's video
    // (and gives the wait back to host/tasks) before the system's own shutdown.
    ShutdownVideo();
    UninstallApplet();
    if (!state->temporaryFile.empty()) unlink(state->temporaryFile.c_str());
    // Ended by SIGTERM, SIGHUP or CTRL-C: the shell sees the signal in the status, as if it had killed the program.
    if (const int signalNumber = TerminationSignal()) exitCode = 128 + signalNumber;
    ShutdownSystem();
    ShutdownDebugOutput();
    return exitCode;
}
