// Every registered command called with a missing object in each argument place in turn, the other places naming
// objects that exist. A command looks its objects up one after the other and stops at the first that is
// missing, so a call naming missing objects everywhere shows only the first lookup's not-found error: this way
// every lookup is reached, and a full run (scripts/test) checks each code raised against the command's row.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// 9 names no object; a call that succeeds may make one numbered 9, or add layers up to a ninth, so these go
// before each call.
constexpr const char *kSetUp = R"(
Function Clear()
    FreeLayers() FreeSprite(9) FreeBrush(9) FreeAnim(9) FreeTextObject(9) FreeBGPic(9) FreeClipRegion(9)
    FreePointer(9) CloseMusic(9) FreeModule(9) FreeSample(9) CloseFile(9) FreeMem(9) CloseDirectory(9)
    CloseDisplay(9) FreeDisplay(9) CloseFont(9) DeleteButton(9) ClearInterval(9) ClearTimeout(9) CloseCatalog(9)
    ClearMove(9)
EndFunction
Local calls = 0
Function Try(f)
    For count = 1 To 5
        For place = 1 To count
            Local a = {1, 1, 1, 1, 1}
            a[place - 1] = 9
            Clear() Make()
            If count == 1
                f(a[0])
            ElseIf count == 2
                f(a[0], a[1])
            ElseIf count == 3
                f(a[0], a[1], a[2])
            ElseIf count == 4
                f(a[0], a[1], a[2], a[3])
            Else
                f(a[0], a[1], a[2], a[3], a[4])
            EndIf
            calls = calls + 1
        Next
    Next
EndFunction
)";

TEST(MissingObjects, EveryCommandLooksUpEachOfItsObjects) {
    PlayerRun run;
    int commands = 0;
    const std::string printed = RunSweep(kSetUp, "Try($)", "DebugPrint(\"calls\", calls)\n", &run, &commands);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(printed.find("calls " + std::to_string(commands * 15) + "\n"), std::string::npos) << printed << run.err;
}

} // namespace
