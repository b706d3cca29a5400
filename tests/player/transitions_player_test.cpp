// Transitions in the real player, headless: both argument forms, an async transition stepped by the script, the
// refusals of the front ends, the effect constants and the random choice, and the picture left on screen.
#include "fx/effect_table.h"
#include "tests/player/player_test_support.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

TEST(TransitionsInPlayer, ScriptDrivesEveryCommandForm) {
    ScratchDirectory dir;
    const std::string script = R"(@DISPLAY {Width = 64, Height = 48, Color = $0000FF}
ExitOnError(False)
CreateBrush(1, 40, 30, $FF0000)
CreateBrush(2, 8, 8, $00FF00)
DisplayBrushFX(1, 12, 9, #HSTRIPES, #FASTSPEED, 2)
DisplayBrushFX(2, 0, 0, {type = #CROSSFADE, speed = 120, dx = 56, dy = 40})
Local h = DisplayBrushFX(2, 0, 0, {type = #BARS, speed = #FASTSPEED, async = True})
Local n = 1
While AsyncDrawFrame(h) == False
  n = n + 1
Wend
DebugPrint("async", n)
Function Try(f, ...)
  f(...)
  DebugPrint(GetLastError())
EndFunction
Try(DisplayBrushFX, 1)
Try(DisplayTransitionFX, 1, 0, -1, -1, 5)
Try(DisplayTransitionFX, 1, {async = True})
Try(ShowLayerFX, 1, {bgpicemu = True})
Try(DisplayBGPicPartFX, 1, 0, 0, 8, 8, #BARS, -1, -1, 0, 0, 1)
Try(UndoFX, #BRUSH, 1)
Try(HideLayerFX, 1)
Try(DisplayTransitionFX, 1, {type = #SCROLLLEFT, speed = 0})
Try(DisplayTextObjectFX, 1, 0, 0)
Try(DisplayTransitionFX, 7)
DebugPrint(#HSTRIPES, #QUARTERS, #CROSSFADE, #DISSOLVE, #RANDOMEFFECT, #RANDOMPARAMETER)
DebugPrint(#SCROLLWEST, #SCROLLEAST, #SCROLLNORTH, #SCROLLSOUTH, #SCROLLNORTHWEST)
Local bad = 0
For i = 1 To 300
  Local id = GetRandomFX(True)
  If id < 0 Or id > 139 Or id == 113 Then bad = bad + 1 EndIf
Next
DebugPrint("random", bad)
Local seen = {}
For i = 1 To 20000
  seen[GetRandomFX(False)] = True
Next
Local missing = ""
For i = 0 To 140
  If seen[i] == Nil Then missing = missing .. " " .. i EndIf
Next
DebugPrint("missing" .. missing)
DisplayBGPicPartFX(1, 0, 0, 4, 4)
SaveSnapshot("shot.bmp")
)";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "async 9\n"
                       "1014\n1193\n1055\n1014\n1055\n1078\n1078\n1055\n1175\n1177\n"
                       "0 29 115 139 140 -1\n"
                       "47 48 49 50 54\n"
                       "random 0\n"
                       "missing 113 140\n");
    std::vector<uint8_t> shot = ReadFileBytes(dir.File("shot.bmp"));
    ASSERT_GT(shot.size(), 54u);
    EXPECT_EQ(BmpPixel(shot, 11, 8), 0x0000FFu); // outside the brush
    EXPECT_EQ(BmpPixel(shot, 12, 9), 0xFF0000u);
    EXPECT_EQ(BmpPixel(shot, 51, 38), 0xFF0000u);
    EXPECT_EQ(BmpPixel(shot, 52, 39), 0x0000FFu);
    EXPECT_EQ(BmpPixel(shot, 63, 47), 0x00FF00u); // the second brush, placed by "dx" and "dy"
    EXPECT_EQ(BmpPixel(shot, 5, 5), 0x00FF00u);   // the async one, played to its end
}

TEST(TransitionsInPlayer, LayersShowHideRemoveAndUndoThroughEffects) {
    ScratchDirectory dir;
    const std::string script = std::string("@DISPLAY {Width = 64, Height = 48, Color = $0000FF}\n") +
                               kTryFunction + R"(Try(UndoFX, #BRUSH, 1)
EnableLayers()
CreateBrush(1, 20, 10, $FF0000)
CreateBrush(2, 20, 10, $00FF00)
DisplayBrush(1, 0, 0)
SaveSnapshot("start.bmp")
DisplayBrushFX(2, 10, 5, #HSTRIPES)
SaveSnapshot("shown.bmp")
HideLayerFX(2, #VBLINDS8)
SaveSnapshot("hidden.bmp")
ShowLayerFX(2, #CROSSFADE, 120)
HideLayerFX(1, #BLEND)
SaveSnapshot("underhidden.bmp")
ShowLayerFX(1, #VSTRIPES)
SaveSnapshot("shown2.bmp")
Local h = HideLayerFX(2, {type = #BARS, speed = #FASTSPEED, async = True})
Try(ShowLayerFX, 2, {async = True})
Local n = 1
While AsyncDrawFrame(h) == False
  n = n + 1
Wend
DebugPrint("async", n)
SaveSnapshot("hidden2.bmp")
ShowLayerFX(2, #QUARTERS)
RemoveLayerFX(2, {type = #FADE, parameter = $FFFFFF})
SaveSnapshot("removed.bmp")
DisplayBrush(2, 30, 30)
DisplayBrush(2, 40, 30)
UndoFX(#BRUSH, 2, {undolevel = 2, type = #QUARTERS})
SaveSnapshot("undo.bmp")
Try(UndoFX, #BRUSH, 7)
Try(HideLayerFX, "nope")
Try(ShowLayerFX, 9)
)";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1078\n1371\nasync 9\n1041\n1369\n1081\n");
    const std::vector<uint8_t> start = ReadFileBytes(dir.File("start.bmp")), shown = ReadFileBytes(dir.File("shown.bmp"));
    ASSERT_GT(start.size(), 54u);
    EXPECT_EQ(BmpPixel(shown, 15, 8), 0x00FF00u); // the new layer lies over the first
    EXPECT_EQ(BmpPixel(shown, 5, 2), 0xFF0000u);
    EXPECT_EQ(ReadFileBytes(dir.File("hidden.bmp")), start);
    EXPECT_EQ(ReadFileBytes(dir.File("shown2.bmp")), shown);
    const std::vector<uint8_t> underHidden = ReadFileBytes(dir.File("underhidden.bmp"));
    EXPECT_EQ(BmpPixel(underHidden, 5, 2), 0x0000FFu); // the lower layer went, the upper one stayed
    EXPECT_EQ(BmpPixel(underHidden, 15, 8), 0x00FF00u);
    EXPECT_EQ(ReadFileBytes(dir.File("hidden2.bmp")), start);
    EXPECT_EQ(ReadFileBytes(dir.File("removed.bmp")), start);
    // The second brush layer from the top was the one at 30, 30.
    const std::vector<uint8_t> undo = ReadFileBytes(dir.File("undo.bmp"));
    EXPECT_EQ(BmpPixel(undo, 35, 35), 0x0000FFu);
    EXPECT_EQ(BmpPixel(undo, 45, 35), 0x00FF00u);
}

// Every one of the 143 effect names shows a brush over the other one through the player without an error, ending
// as DisplayBrush draws it (the background-only ones play stripes for a brush, the scrolls come in from outside).
TEST(TransitionsInPlayer, EveryEffectNameShowsABrush) {
    std::vector<std::string> names;
    for (int32_t id = 0; id < kFxEffectIdCount; id++)
        if (const FxEffectRow *row = FindFxEffect(id)) names.push_back(row->name);
    for (const char *alias : {"SCROLLWEST", "SCROLLEAST", "SCROLLNORTH", "SCROLLSOUTH"}) names.push_back(alias);
    ASSERT_EQ(names.size(), 143u);
    ScratchDirectory dir;
    std::string script = "@DISPLAY {Width = 32, Height = 24, Color = $0000FF}\nExitOnError(False)\nSetFPSLimit(100000)\n"
                         "CreateBrush(1, 20, 15, $FF0000)\nCreateBrush(2, 20, 15, $00FF00)\n";
    int n = 0;
    for (const std::string &name : names) {
        const int brush = 1 + n % 2;
        script += "DisplayBrushFX(" + std::to_string(brush) + ", 6, 4, #" + name + ", #FASTSPEED)\n";
        script += "DebugPrint(GetLastError())\nSaveSnapshot(\"" + std::to_string(n++) + ".bmp\")\n";
    }
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::string zeros;
    for (int i = 0; i < n; i++) zeros += "0\n";
    EXPECT_EQ(run.out, zeros);
    for (int i = 0; i < n; i++) {
        SCOPED_TRACE(names[size_t(i)]);
        const std::vector<uint8_t> shot = ReadFileBytes(dir.File(std::to_string(i) + ".bmp"));
        ASSERT_GT(shot.size(), 54u);
        int wrong = 0;
        for (int y = 0; y < 24; y++)
            for (int x = 0; x < 32; x++) {
                const bool inside = x >= 6 && x < 26 && y >= 4 && y < 19;
                const uint32_t expected = !inside ? 0x0000FFu : i % 2 ? 0x00FF00u : 0xFF0000u;
                if (BmpPixel(shot, x, y) != expected && wrong++ < 3) ADD_FAILURE() << x << "," << y;
            }
    }
}

// A picture shown again through a transition ends as DisplayBGPic shows it, for the first effect of every family:
// its layer, changed and moved afterwards, leaves nothing of its old look behind (the picture was left plainly or
// through a transition). Each round compares the display pixel by pixel with DisplayBGPic's.
TEST(TransitionsInPlayer, PictureShownAgainByEveryFamilyLeavesNoOldLayerBehind) {
    std::vector<std::string> names;
    std::vector<const FxFamily *> families;
    for (int32_t id = 0; id < kFxEffectIdCount; id++)
        if (const FxEffectRow *row = FindFxEffect(id))
            if (std::find(families.begin(), families.end(), row->family) == families.end()) {
                families.push_back(row->family);
                names.push_back(row->name);
            }
    ScratchDirectory dir;
    std::string script = R"(@DISPLAY {Width = 48, Height = 32}
SetFPSLimit(100000)
EnableLayers()
CreateBGPic(1, 48, 32, $000040)
CreateBGPic(2, 48, 32, $004000)
DisplayBGPic(1)
SetFontColor($FFFFFF)
SetFont(#SANS, 14)
Local round = 0
Function Look()
    Local t = {}
    For y = 0 To 31
        For x = 0 To 47
            t[y * 48 + x] = ReadPixel(x, y)
        Next
    Next
    Return(t)
EndFunction
Function Try(name, effect)
    round = round + 1
    If round == 1 Then TextOut(2, 2, "AAAA", {Name = "clock"}) EndIf
    If round % 2 == 1 Then DisplayBGPic(2) Else DisplayTransitionFX(2, #CROSSFADE, #FASTSPEED) EndIf
    DisplayTransitionFX(1, effect, #FASTSPEED)
    SetLayerStyle("clock", {Text = "B" .. round, X = round % 20, Y = 14})
    SetLayerStyle("clock", {Text = "AAAA", X = 2, Y = 2 + round % 3})
    Local fx = Look()
    DisplayBGPic(1)
    Local plain = Look()
    Local wrong = 0
    For i = 0 To 48 * 32 - 1
        If fx[i] <> plain[i] Then wrong = wrong + 1 EndIf
    Next
    DebugPrint(name, wrong)
EndFunction
)";
    std::string expected;
    for (const std::string &name : names) {
        script += "Try(\"" + name + "\", #" + name + ")\n";
        expected += name + " 0\n";
    }
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, expected);
}

} // namespace

// Two rounds of the soak benchmark's loop (layers, transitions over them, text, text objects): the sanitizer
// build's leak check at exit sees whatever a round leaves behind.
TEST(TransitionsInPlayer, SoakLoopRoundsLeaveNothingBehind) {
    ScratchDirectory dir;
    std::string script = ReadFileText(std::string(VL_SOURCE_DIR) + "/bench/soak/soak.vls");
    script.replace(script.find("@ROUNDS@"), 8, "2");
    script.replace(script.find("@GIF@"), 5, std::string(VL_SOURCE_DIR) + "/tests/data/media/dispose.gif");
    script.replace(script.find("@MODULE@"), 8, std::string(VL_SOURCE_DIR) + "/tests/data/media/effects.mod");
    script.replace(script.find("r % 10 == 0"), 11, "True");
    script.replace(script.find(", GCInfo()"), 10, ""); // the script's heap differs between builds
    WriteBytes(dir.File("soak.vla"), CompileToApplet(script, "soak.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "soak.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "round 1\nround 2\n");
}
