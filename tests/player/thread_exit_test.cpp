// exit() on any of the player's threads (Xlib's handler calls it on the thread that meets a lost display) runs the
// exit-time stops there: each lets its own thread go instead of joining it, so the process ends with the status
// it was given, never an abort (134) or a hang.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

TEST(ThreadExit, ExitOnAnyThreadEndsWithItsStatus) {
    ScratchDirectory dir;
    for (const char *thread : {"vl-sound", "vl-stream", "vl-rexx-io", "vl-ticker", "vl-signals"}) {
        const PlayerRun run = RunProgramCapture(VL_EXIT_ON_THREAD_PATH, {thread}, dir.path,
                                                {"XDG_RUNTIME_DIR=" + dir.path, "ASAN_OPTIONS=detect_leaks=0"});
        EXPECT_EQ(run.exitCode, 1) << thread << ": " << run.err;
    }
}
