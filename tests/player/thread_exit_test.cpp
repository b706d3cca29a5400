// exit() on any of the player's threads (Xlib's handler calls it on whichever thread meets a lost display) hands the
// end to the main thread: the script stops, the player shuts down and ends with status 1, the script's files
// flushed. On another thread the exit path destroyed the window list while the main thread was still pumping, and
// the sanitizer build reported it unless the end cut its report short: standard error is read only after the player
// has exited. A main thread waiting on the thread that parks (a stream command, a join, SDL's close of its device)
// waited out the 5 s bound, and on the main thread the exit skipped the shutdown that flushes the files.
#include "tests/player/player_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// Every thread busy: a short sample looping with a handler (the sound server wakes the main thread for each
// loop), a module streamed, an ARexx port, an interval, and drawing between short waits (the ticker). A file it
// left open is flushed by the shutdown.
constexpr const char *kBusyScript = R"(@DISPLAY {Width = 160, Height = 120}
loops = 0
InstallEventHandler({OnSampleLoop = Function(msg) loops = loops + 1 EndFunction})
CreateSample(1, {0, 90, 0, -90}, 8000)
PlaySample(1, {Times = 0})
OpenMusic(2, "tune.mod")
PlayMusic(2, {Times = 0})
CreateRexxPort("THREADEXIT")
SetInterval(1, Function() EndFunction, 5)
OpenFile(1, "written", #MODE_WRITE)
WriteLine(1, "kept")
OpenFile(2, "ready", #MODE_WRITE)
CloseFile(2)
StartTimer(1)
Repeat
    For i = 1 To 300
        Box(i % 150, 10, 10, 10, i * 997)
    Next
    CheckEvent()
    Wait(1, #MILLISECONDS)
Until GetTimer(1) > 20000 ; a thread that never came ends the run with 0
)";

// The main thread waiting on the thread that ends: for the streaming thread's answer, for the mixing to end a
// sample, for the port's thread to carry a message to itself.
constexpr const char *kWaitingPrefix = R"(@DISPLAY {Width = 160, Height = 120}
OpenFile(1, "written", #MODE_WRITE)
WriteLine(1, "kept")
StartTimer(1)
)";
constexpr const char *kStreamAttributeScript = R"(OpenMusic(2, "tune.mod")
PlayMusic(2, {Times = 0})
OpenFile(2, "ready", #MODE_WRITE)
CloseFile(2)
Repeat
    p = GetAttribute(#MUSIC, 2, #ATTRPOSITION)
Until GetTimer(1) > 20000
)";
constexpr const char *kSampleWaitScript = R"(CreateSample(1, {0, 90, 0, -90}, 8000)
PlaySample(1, {Times = 40000}) ; 20 s
OpenFile(2, "ready", #MODE_WRITE)
CloseFile(2)
WaitSampleEnd(1)
)";
constexpr const char *kPortCallScript = R"(InstallEventHandler({OnARexx = Function(msg) Return "pong" EndFunction})
CreateRexxPort("THREADEXIT")
OpenFile(2, "ready", #MODE_WRITE)
CloseFile(2)
Repeat
    SendRexxCommand("THREADEXIT", "ping")
Until GetTimer(1) > 20000
)";

} // namespace

TEST(ThreadExit, ExitOnAnyThreadIsEndedByTheMainThread) {
    ScratchDirectory dir;
    std::filesystem::copy_file(std::string(VL_SOURCE_DIR) + "/tests/data/media/effects.mod", dir.File("tune.mod"));
    const std::string scripts[] = {kBusyScript, std::string(kWaitingPrefix) + kStreamAttributeScript,
                                   std::string(kWaitingPrefix) + kSampleWaitScript,
                                   std::string(kWaitingPrefix) + kPortCallScript};
    for (size_t i = 0; i < std::size(scripts); i++)
        WriteBytes(dir.File(std::to_string(i) + ".vla"), CompileToApplet(scripts[i], "script.vls", dir.path));
    // CI runs each case a few times; VL_THREAD_EXIT_RUNS asks for more.
    const char *runsText = getenv("VL_THREAD_EXIT_RUNS");
    const int runs = runsText ? atoi(runsText) : 3;
    // Every thread of the busy script, SDL's mixing thread (named after the one device it plays) and the main thread
    // itself; then each waiting script with the thread it waits on, the port's thread also with its lock held.
    const struct {
        const char *thread;
        int script;
        bool holdingLock;
    } kCases[] = {{"vl-sound", 0, false},   {"vl-stream", 0, false},  {"vl-rexx-io", 0, false},
                  {"vl-ticker", 0, false},  {"vl-signals", 0, false}, {"SDLAudioP2", 0, false},
                  {"vistaloom", 0, false},  {"vl-stream", 1, false},  {"SDLAudioP2", 2, false},
                  {"vl-rexx-io", 3, false}, {"vl-rexx-io", 3, true}};
    for (const auto &[thread, script, holdingLock] : kCases) {
        for (int run = 0; run < runs; run++) {
            std::filesystem::remove(dir.File("ready"));
            std::filesystem::remove(dir.File("written"));
            std::vector<std::string> environment = {
                "XDG_RUNTIME_DIR=" + dir.path, std::string("LD_PRELOAD=") + VL_EXIT_ON_SIGNAL_PATH,
                std::string("VL_EXIT_THREAD=") + thread, "VL_EXIT_WHEN=" + dir.File("ready"),
                // The preloaded library comes before the sanitizer's runtime; a report ends the run.
                "ASAN_OPTIONS=verify_asan_link_order=0:halt_on_error=1:detect_leaks=1",
                "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"};
            if (holdingLock) environment.push_back("VL_EXIT_HOLDING_LOCK=1");
            const PlayerRun player = RunPlayer({"-quiet", std::to_string(script) + ".vla"}, dir.path, environment);
            const std::string what = std::string(thread) + " script " + std::to_string(script) +
                                     (holdingLock ? " holding its lock" : "") + " run " + std::to_string(run);
            EXPECT_EQ(player.exitCode, 1) << what << ": " << player.err;
            EXPECT_EQ(ReadFileText(dir.File("written")), "kept\n") << what;
            // Nothing at all: no sanitizer report, nor the line of an end the main thread did not take.
            EXPECT_EQ(player.err, "") << what;
        }
    }
}
