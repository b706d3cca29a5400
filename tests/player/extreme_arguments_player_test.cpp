// Commands run with the ends of the number range by the real player: on the sanitizer build an overflow anywhere
// stops the script.
#include "tests/player/player_test_support.h"
#include "tools/compiler/known_names.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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

// Every registered command, called with none to four copies of each extreme value: each call may fail with its
// error, none may overflow, crash or hang. A frame rate no display keeps lets the transitions run through their
// frames without waiting for them.
TEST(ExtremeArgumentsOfEveryCommand, NoneOverflowsCrashesOrHangs) {
    std::string script = "ExitOnError(False)\n"
                         "Local values = {2147483648, -2147483649, 1e300, -1e300, 1000000000, -1000000000}\n"
                         "Function Try(f)\n"
                         "    SetFPSLimit(1000000)\n"
                         "    For _, v In IPairs(values)\n"
                         "        f() f(v) f(v, v) f(v, v, v) f(v, v, v, v)\n"
                         "    Next\n"
                         "EndFunction\n";
    for (const char *name : kKnownCommands) {
        const std::string command = name;
        if (SweepLeavesOut(command)) continue;
        script += "Try(" + command + ")\n";
    }
    script += "DebugPrint(\"done\")\n";
    ScratchDirectory dir;
    WriteBytes(dir.File("every.vla"), CompileToApplet(script, "every.vls", dir.path));
    setenv("VL_ALLOCATION_CAP_MB", "64", 1);
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "every.txt", "every.vla"}, dir.path);
    unsetenv("VL_ALLOCATION_CAP_MB");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string printed = ReadFileText(dir.File("every.txt"));
    EXPECT_EQ(printed.substr(printed.size() >= 5 ? printed.size() - 5 : 0), "done\n") << run.err;
}
