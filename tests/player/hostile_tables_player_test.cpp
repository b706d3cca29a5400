// Every registered command given a table whose metamethods free every object a command could be using, in each
// argument place: commands read the tables they are given raw, so none of these runs, and on the sanitizer build
// nothing is used after it was freed.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char *kSetUp = R"(
Local wrecked = 0
Local ran = ""
Function Wreck()
    wrecked = wrecked + 1
    FreeLayers() RemoveLayer(1) FreeSprite(1) FreeBrush(1) FreeAnim(1) FreeTextObject(1) FreeBGPic(2)
    FreeClipRegion(1) FreePointer(1) CloseMusic(1) FreeModule(1) FreeSample(1) CloseFile(1) FreeMem(1)
    CloseDirectory(1) CloseDisplay(2) FreeDisplay(2)
EndFunction
Local mt = {}
For _, k In IPairs({"__index", "__newindex", "__len", "__call", "__eq", "__lt", "__le", "__concat", "__unm",
                    "__add", "__sub", "__mul", "__div", "__mod", "__pow"})
    mt[k] = Function() Wreck() Return Nil EndFunction
Next
; A text of an argument is made before the command looks anything up (DebugPrint, Print).
mt.__tostring = Function() Wreck() Return "x" EndFunction
Local evil = SetMetaTable({}, mt)
Function Try(name, f)
    Local before = wrecked
    Make() f(evil)
    Make() f(1, evil)
    Make() f(1, 1, evil)
    Make() f(1, 1, 1, evil)
    Make() f(1, 1, 1, 1, evil)
    Make() f(1, 1, 1, 1, 1, evil)
    Make() f(1, 1, 1, 1, 1, 1, evil)
    Make() f(1, 1, 1, 1, 1, 1, 1, evil)
    If wrecked > before Then ran = ran .. " " .. name EndIf
EndFunction
)";

TEST(HostileTables, NoCommandRunsTheMetamethodsOfATableItIsGiven) {
    PlayerRun run;
    // What this sweep guards is use after free. Its leaks are the other sweeps' to find: its end-of-run leak scan
    // now and then faults inside the sanitizer itself (its tracer, reading a thread's dynamic TLS), a run in 15.
    const std::string printed = RunSweep(kSetUp, "Try(\"$\", $)", "DebugPrint(\"ran:\" .. ran)\n", &run, nullptr,
                                         {"ASAN_OPTIONS=detect_leaks=0:abort_on_error=0"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const size_t last = printed.rfind("ran:");
    ASSERT_NE(last, std::string::npos) << run.err;
    EXPECT_EQ(printed.substr(last), "ran: DebugPrint DebugStr DebugVal NPrint Print ToString\n") << run.err;
}

} // namespace
