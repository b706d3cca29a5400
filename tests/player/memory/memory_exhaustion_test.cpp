// The real player run out of memory. Its own binary: AddressSanitizer reserves its shadow in the address space,
// so no address-space limit works under it and a failed new aborts there; CI runs these cases in the optimized
// build too (.ci/run), where the limits work, building only this binary and the player.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// A script that grows until no memory is left gets the report and the error status, never a signal. Under the
// sanitizer only a single allocation can be refused (through its own limit); a plain build fills the whole heap
// under a limit.
TEST(MemoryExhaustion, ExhaustedMemoryIsReportedNotAborted) {
    struct Case {
        const char *script;
        int line;
    };
    std::vector<Case> cases = {{"Local s = \"0123456789abcdef\"\nWhile True\n    s = s .. s\nWend\n", 3}};
#if defined(__SANITIZE_ADDRESS__)
    const std::string limit = "export ASAN_OPTIONS=allocator_may_return_null=1:max_allocation_size_mb=64; ";
#else
    cases.push_back({"Local t = {}\nLocal i = 0\nWhile True\n    t[i] = \"text that takes room \" .. i\n"
                     "    i = i + 1\nWend\n", 4});
    const std::string limit = "ulimit -v 1048576; ";
#endif
    for (const Case &c : cases) {
        ScratchDirectory dir;
        WriteBytes(dir.File("oom.vla"), CompileToApplet(c.script, "oom.vls", dir.path));
        PlayerRun run = RunProgramCapture("/bin/sh", {"-c", limit + "exec \"$0\" -quiet oom.vla", VL_PLAYER_PATH},
                                          dir.path);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_TRUE(Contains(run.err, "oom.vls:" + std::to_string(c.line) + ": Out of memory!")) << run.err;
    }
}

#if !defined(__SANITIZE_ADDRESS__)
// A table of closures grown under address-space limits from below the player's start-up to well above it: memory
// runs out in the loader, in a thread's start, in the libraries, in the script or in the shutdown, and every one
// of them ends with status 1 (127 when the system's loader itself cannot map the program), never an abort.
TEST(MemoryExhaustion, MemoryRunningOutAnywhereEndsWithStatusOne) {
    ScratchDirectory dir;
    WriteBytes(dir.File("oom.vla"),
               CompileToApplet("Local t = {}\nLocal i = 0\nWhile True\n    Local k = {i}\n"
                               "    t[i] = Function() Return k[0] EndFunction\n    i = i + 1\nWend\n",
                               "oom.vls", dir.path));
    int inScript = 0;
    for (int megabytes = 180; megabytes <= 400; megabytes += megabytes < 300 ? 4 : 50) {
        const std::string limit = "ulimit -v " + std::to_string(megabytes * 1024) + "; ";
        PlayerRun run = RunProgramCapture("/bin/sh", {"-c", limit + "exec \"$0\" -quiet oom.vla", VL_PLAYER_PATH},
                                          dir.path);
        if (run.exitCode == 127) continue;
        EXPECT_EQ(run.exitCode, 1) << megabytes << " MB: " << run.err;
        EXPECT_FALSE(Contains(run.err, "terminate")) << megabytes << " MB: " << run.err;
        inScript += Contains(run.err, "oom.vls:");
    }
    EXPECT_GT(inScript, 0);
}
#endif

} // namespace
