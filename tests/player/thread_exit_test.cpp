// exit() on any of the player's threads (Xlib's handler calls it on whichever thread meets a lost display) hands the
// end to the main thread: the script stops, the player shuts down and ends with status 1. On another thread the
// exit path destroyed the window list while the main thread was still pumping, and the sanitizer build reported it
// unless the end cut its report short: standard error is read only after the player has exited.
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

} // namespace

TEST(ThreadExit, ExitOnAnyThreadIsEndedByTheMainThread) {
    ScratchDirectory dir;
    std::filesystem::copy_file(std::string(VL_SOURCE_DIR) + "/tests/data/media/effects.mod", dir.File("tune.mod"));
    WriteBytes(dir.File("busy.vla"), CompileToApplet(kBusyScript, "busy.vls", dir.path));
    // CI runs each thread a few times; VL_THREAD_EXIT_RUNS asks for more.
    const char *runsText = getenv("VL_THREAD_EXIT_RUNS");
    const int runs = runsText ? atoi(runsText) : 3;
    // The main thread's own exit runs the C library's exit path, without the player's shutdown.
    const struct {
        const char *thread;
        bool flushed;
    } kCases[] = {{"vl-sound", true},  {"vl-stream", true},  {"vl-rexx-io", true},
                  {"vl-ticker", true}, {"vl-signals", true}, {"vistaloom", false}};
    for (const auto &[thread, flushed] : kCases) {
        for (int run = 0; run < runs; run++) {
            std::filesystem::remove(dir.File("ready"));
            std::filesystem::remove(dir.File("written"));
            const PlayerRun player = RunPlayer(
                {"-quiet", "busy.vla"}, dir.path,
                {"XDG_RUNTIME_DIR=" + dir.path, std::string("LD_PRELOAD=") + VL_EXIT_ON_SIGNAL_PATH,
                 std::string("VL_EXIT_THREAD=") + thread, "VL_EXIT_WHEN=" + dir.File("ready"),
                 // The preloaded library comes before the sanitizer's runtime; a report ends the run.
                 "ASAN_OPTIONS=verify_asan_link_order=0:halt_on_error=1:detect_leaks=1",
                 "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"});
            EXPECT_EQ(player.exitCode, 1) << thread << " run " << run << ": " << player.err;
            EXPECT_EQ(ReadFileText(dir.File("written")), flushed ? "kept\n" : "") << thread << " run " << run;
            // Nothing at all: no sanitizer report, nor the line of an end the main thread did not take.
            EXPECT_EQ(player.err, "") << thread << " run " << run;
        }
    }
}
