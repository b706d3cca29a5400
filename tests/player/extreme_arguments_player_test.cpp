// The commands that take positions, sizes, speeds, frames and times, run with the ends of the number range by the
// real player: on the sanitizer build an overflow anywhere stops the script.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(ExtremeArguments, EveryGeometryCommandTakesTheEndsOfTheRange) {
    ScratchDirectory dir;
    const std::vector<uint8_t> source = ReadFileBytes(std::string(VL_SOURCE_DIR) + "/tests/player/extreme_arguments.vls");
    WriteBytes(dir.File("sweep.vla"),
               CompileToApplet(std::string(source.begin(), source.end()), "extreme_arguments.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "sweep.vla"}, dir.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "frames 1000\nscaled 1000\ndone\n") << run.err;
}

} // namespace
