#include "player/startup.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <strings.h>
#include <system_error>
#include <unistd.h>

#include "host/clipboard.h"
#include "host/debug_output.h"
#include "host/path.h"
#include "host/screen.h"
#include "host/start_origin.h"
#include "host/tasks.h"
#include "player/applet_loader.h"
#include "runtime/app/attributes.h"
#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "player/options.h"
#include "player/preload.h"
#include "runtime/app/runtime_globals.h"
#include "player/shutdown.h"

const char *const kLibraryRegistrationOrder[19] = {
    "string", "math",  "graphics", "draw",  "moveobject", "dos",   "event",        "system",  "layers", "text",
    "anim",   "display", "sound",  "brush", "bgpic",      "transitionfx", "sprite", "memblock", "arexx"};

namespace {

void CopyPath(char *target, const std::string &text) {
    size_t n = text.size() < kPathBufferSize - 1 ? text.size() : kPathBufferSize - 1;
    memcpy(target, text.data(), n);
    target[n] = 0;
}

// A failure before the script runs: "program: message".
std::string StartupReport(const char *programName, int code) {
    std::string message = GetErrorText(code) + ResolvedPathNote(code);
    return FormatErrorReport(nullptr, 0, programName, message.c_str());
}

// A script given where an applet belongs is the commonest first mistake: say how to run one.
std::string ScriptHint(const std::string &path) {
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && strcasecmp(path.c_str() + dot, ".vla") == 0) return "";
    const std::string applet = (dot == std::string::npos ? path : path.substr(0, dot)) + ".vla";
    return "(a script is compiled first: vlac " + path + " writes " + applet + "; or play it with scripts/play " +
           path + ")\n";
}

int BackfillTypeByName(const char *name) {
    if (strcasecmp(name, "color") == 0) return kBackfillColor;
    if (strcasecmp(name, "rainbow") == 0 || strcasecmp(name, "gradient") == 0) return kBackfillGradient;
    if (strcasecmp(name, "texture") == 0) return kBackfillTexture;
    if (strcasecmp(name, "picture") == 0) return kBackfillPicture;
    return kBackfillNone;
}

// The display configuration the applet declares; the command line's options are applied again afterwards, so
// they win.
void ApplyAppletSettings(const LoadedApplet &applet, DisplayConfig *display) {
    display->appletSettings = applet.displaySettings;
    for (const auto &[key, value] : applet.displaySettings) {
        int32_t n = SaturateToInt32(value.number);
        if (key == "mode" && !value.isString) display->mode = n;
        else if (key == "hidetitlebar") display->hideTitleBar = n;
        else if (key == "displaydesktop") display->displayDesktop = n;
        else if (key == "borderless") display->borderless = n;
        else if (key == "screenwidth") display->screenWidth = n;
        else if (key == "screenheight") display->screenHeight = n;
        else if (key == "screendepth") display->screenDepth = n;
        else if (key == "iconlabel" && value.isString) display->iconLabel = value.text;
        else if (key == "backfill") display->backfill.type = value.isString ? BackfillTypeByName(value.text.c_str()) : n;
        else if (key == "startcolor") display->backfill.startColor = NumberToUnsigned(value.number);
        else if (key == "endcolor") display->backfill.endColor = NumberToUnsigned(value.number);
        else if (key == "picxpos") display->backfill.pictureX = n;
        else if (key == "picypos") display->backfill.pictureY = n;
        else if (key == "brush") display->backfill.brushNumber = n;
        else if (key == "scalepicture") display->backfill.scalePicture = n;
        else if (key == "pictrans") display->backfill.pictureTransparency = n;
        else if (key == "brushfile" && value.isString) display->backfill.brushFile = value.text;
        else if (key == "covertitlebar") display->backfill.coverTitleBar = n;
    }
}

std::string AbsolutePath(const std::string &path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : path;
}

std::string DirectoryOf(const std::string &path) {
    const std::string full = AbsolutePath(path);
    size_t slash = full.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : full.substr(0, slash);
}

// VL_TRACE_LIBRARIES=1 prints each registration (and, in shutdown.cpp, each free-all) to the debug output, so
// the orders can be checked through the real executable.
bool TraceLibraries() { return getenv("VL_TRACE_LIBRARIES") != nullptr; }

// Runs a library's registration; an error it raises is a start-up failure, not a crash.
int RegisterLibrary(VMState *vm, const LibraryDescriptor &library) {
    if (TraceLibraries()) DebugPrintf("register %s\n", library.name);
    if (!library.registerLibrary) return 0;
    try {
        library.registerLibrary(vm);
    } catch (const VMError &error) {
        return error.code;
    }
    return 0;
}

// Room kept back for the end: when the script exhausts the heap, this is given back (and the script's garbage
// collected) before the report and the shutdown allocate.
constexpr size_t kShutdownReserveBytes = size_t(4) << 20;

struct ShutdownReserve {
    void *block = malloc(kShutdownReserveBytes);
    ~ShutdownReserve() { Release(); }
    void Release() {
        free(block);
        block = nullptr;
    }
};

// state and reserve belong to the caller, so that memory running out anywhere still ends in the same shutdown.
int RunPlayer(int argc, char **argv, std::span<const LibraryDescriptor> libraries, ShutdownState &state,
              ShutdownReserve &reserve) {
    ResetRuntimeGlobals();
    StartedFromShell = DetectStartedFromShell();
    std::unique_ptr<StartupConfig> startup(new (std::nothrow) StartupConfig);
    std::unique_ptr<DisplayConfig> display(new (std::nothrow) DisplayConfig);
    VMState *vm = startup && display ? NewVMState() : nullptr;
    if (!vm) {
        fputs("Not enough memory.\n", stdout);
        return 1;
    }
    const char *programName = argc > 0 && argv[0] ? argv[0] : "vistaloom";
    state.vm = vm;
    state.libraries = libraries;

    int code = StartupSystem();
    if (code) {
        state.errorCode = code;
        state.errorReport = StartupReport(programName, code);
        return ShutdownProgram(&state);
    }
    // ":::clipboard" must work in preloading and scripts that never open a window; the stream starts video
    // itself when it is first used.
    InstallClipboardStream();

    // The appended applet, then the command line and the options.
    int64_t appended = AppendedAppletOffset();
    CopyPath(startup->programName, programName);
    ParsedCommandLine commandLine;
    std::string message;
    if (ParseCommandLine(argc, argv, appended >= 0, &commandLine, &message) ||
        ApplyOptions(commandLine, startup.get(), display.get(), &message)) {
        fprintf(stderr, "%s: %s\n", programName, message.c_str());
        ShutdownProgram(&state);
        return 2;
    }
    for (const std::string &warning : commandLine.warnings) fprintf(stderr, "%s: %s\n", programName, warning.c_str());
    if (commandLine.given[kOptionHelp]) {
        PrintUsage(stdout, programName, appended >= 0);
        ShutdownProgram(&state);
        return 0;
    }
    if (commandLine.given[kOptionVersion]) {
        printf("Vistaloom %s\n", VL_VERSION);
        ShutdownProgram(&state);
        return 0;
    }
    if (commandLine.given[kOptionCompile]) {
        state.errorCode = kErrCompileNotPossible;
        state.errorReport = StartupReport(programName, kErrCompileNotPossible);
        return ShutdownProgram(&state);
    }
    if (!startup->debugDevice.empty() && SetDebugDevice(startup->debugDevice.c_str()) != 0) {
        SetErrorArgString(startup->debugDevice.c_str());
        state.errorCode = kErrCannotWriteFile;
        state.errorReport = StartupReport(programName, kErrCannotWriteFile);
        return ShutdownProgram(&state);
    }
    QuietMode = startup->quiet;

    // The VM globals and the libraries, in the order the player lists them.
    InitRuntimeSupport(vm);
    SetStartupRecords(vm, startup.get(), display.get());
    for (const LibraryDescriptor &library : libraries) {
        code = RegisterLibrary(vm, library);
        state.registered++; // a library that failed half-way may hold something: free it too
        if (code) {
            state.errorCode = code;
            state.errorReport = StartupReport(programName, code);
            return ShutdownProgram(&state);
        }
    }
    // Handed over once, after the sound library has registered its attribute hook.
    SetAttributeNumber(vm, kAttrNoSound, startup->noSound);
    SetAttributeNumber(vm, kAttrMasterVolume, startup->masterVolume);

    // The applet.
    std::string appletPath = appended >= 0 ? OwnExecutablePath() : commandLine.appletPath;
    LoadedApplet applet;
    code = OpenApplet(appletPath.c_str(), appended >= 0 ? appended : 0, appended >= 0 ? programName : nullptr,
                      &applet);
    state.temporaryFile = applet.temporaryFile;
    if (!code) {
        startup->isApplet = 1;
        startup->isLinkedProgram = appended >= 0 ? 1 : 0;
        CopyPath(startup->scriptPath, appletPath);
        // An applet beside its data is the program here: PROGDIR: names its directory, as it names a linked
        // program's. The command line may name another: scripts/play compiles a script into a temporary
        // directory, and the script's files lie beside the script.
        if (commandLine.given[kOptionProgDir])
            SetAssign("PROGDIR", AbsolutePath(commandLine.values[kOptionProgDir]).c_str());
        else if (appended < 0) SetAssign("PROGDIR", DirectoryOf(appletPath).c_str());
        ApplyAppletSettings(applet, display.get());
        ApplyOptions(commandLine, startup.get(), display.get(), &message);
        code = InstallApplet(vm, &applet);
    }
    if (code) {
        state.errorCode = code;
        state.errorReport = StartupReport(programName, code);
        if (code == kErrNotAnApplet && appended < 0) state.errorReport += ScriptHint(appletPath);
        return ShutdownProgram(&state);
    }
    // Before preloading: without a display the program would play, unseen, until it is killed.
    std::string noDisplay;
    if (!DisplayReachable(&noDisplay)) {
        state.errorCode = kErrCannotOpen;
        state.errorReport = std::string(programName) + ": " + noDisplay + "\n";
        return ShutdownProgram(&state);
    }
    InstallPumpLineHook(vm);

    // Preloading, the first display, then the main chunk (left on the stack by InstallApplet).
    code = PreloadResources(vm, applet);
    if (!code) code = OpenFirstDisplay(vm, startup.get());
    if (!code) code = ProtectedCall(vm, 0, 0, 0);
    if (code == kErrOutOfMemory) {
        // The heap may be full: report without allocating, then give memory back for the shutdown.
        state.errorCode = code;
        FormatFinalReportInto(vm, code, programName, state.fixedReport, sizeof state.fixedReport);
        reserve.Release();
        CollectGarbage(vm);
    } else if (code && code != kErrUserAbort) {
        state.errorCode = code;
        state.errorReport = FormatFinalReport(vm, code, programName);
    }
    return ShutdownProgram(&state);
}

} // namespace

int ProgramMain(int argc, char **argv, std::span<const LibraryDescriptor> libraries) {
    ShutdownReserve reserve;
    ShutdownState state;
    try {
        return RunPlayer(argc, argv, libraries, state, reserve);
    } catch (const std::bad_alloc &) {
    } catch (const std::system_error &error) {
        // A thread that could not get its stack.
        if (error.code() != std::errc::resource_unavailable_try_again) throw;
    }
    // Memory ran out outside the script (start-up, the collection after an error, the shutdown): the same
    // shutdown, with the report formatted without allocating, so that the threads it stops are not still running
    // when the program's statics are destroyed.
    reserve.Release();
    if (!state.fixedReport[0]) {
        const char *programName = argc > 0 && argv[0] ? argv[0] : "vistaloom";
        snprintf(state.fixedReport, sizeof state.fixedReport, "%s: %s\n", programName,
                 FindErrorMessage(kErrOutOfMemory));
    }
    state.errorCode = kErrOutOfMemory;
    if (!state.shutdownStarted) {
        try {
            ShutdownProgram(&state);
            return 1;
        } catch (const std::bad_alloc &) {
        }
    }
    // The shutdown itself ran out: the report, and an end that destroys nothing a thread may still use.
    fputs(state.fixedReport, stderr);
    fflush(nullptr);
    _exit(1);
}
