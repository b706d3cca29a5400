// Shapes and layers at the edges of what can show, in the real player under a 64 MB cap on any one
// allocation: what lies off the output costs nothing, a huge clip region costs only the picture's part, and a
// NaN or absurd scale or an outline thickness at the end of int is refused or drawn without overflow (the
// sanitizer build stops at the first).
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(ShapeEdgesInPlayer, FarShapesHugeRegionsAndAbsurdScalesCostOnlyWhatShows) {
    ScratchDirectory dir;
    // Check prints the error a call leaves, or 0: the size error it sets first stands for none.
    const std::string script = R"(@DISPLAY {Width = 160, Height = 120, Color = $000000}
ExitOnError(False)
Function Try(f, ...)
    CreateClipRegion(99, #BOX, 0, 0, 0, 5)
    f(...)
    DebugPrint(IIf(GetLastError() == 1218, 0, GetLastError()))
EndFunction
SetFormStyle({fillstyle = #FILLCOLOR, formstyle = #SHADOW})
Try(Circle, -1e6, 0, 8189, $FF0000)
Try(Circle, -1e6, 0, 8191, $FF0000)
SetFormStyle({formstyle = #NORMAL, fillstyle = #FILLNONE, outlinethickness = 34})
CreateBrush(1, 64, 48, $FF0000, {Mask = True})
SelectMask(1)
SetMaskMode(#MASKVANILLACOPY)
Try(Box, 402, 1e9, 16383, 16383, $01000000)
EndSelect()
SetFormStyle({outlinethickness = 1e300})
Try(Box, 10, 10, 100, 60, $FF0000)
SetFormStyle({outlinethickness = 2147483645})
Try(Circle, 10, 10, 20, $FF0000)
SetFormStyle({outlinethickness = 1})
Try(Box, 0, 0, 10, 10, $FF, {scalex = Sqrt(-1)})
; A huge shadowed box scaled partly onto the display, placed by coordinates and by position constants.
SetFormStyle({fillstyle = #FILLCOLOR, formstyle = #SHADOW})
Try(Box, -8000, -8000, 16000, 16000, $FF0000, {scalex = 1.5})
Try(Box, #CENTER, #CENTER, 16000, 16000, $FF00, {scalex = 1.5, smoothscale = True})
DebugPrint(ReadPixel(80, 60))
; A turned shape partly off the display has the pixels it has wholly on it.
SetFormStyle({fillstyle = #FILLGRADIENT, formstyle = #SHADOW, outlinethickness = 1})
Cls()
Box(60, 40, 50, 30, $FF8000, {rotate = 30, smoothscale = True})
Local whole, differ, shown = {}, 0, 0
For y = 0 To 119
    For x = 0 To 159
        whole[y * 160 + x] = ReadPixel(x, y)
    Next
Next
Cls()
Box(-10, -10, 50, 30, $FF8000, {rotate = 30, smoothscale = True})
For y = 0 To 69
    For x = 0 To 89
        If ReadPixel(x, y) <> whole[(y + 50) * 160 + x + 70] Then differ = differ + 1 EndIf
        If ReadPixel(x, y) <> 0 Then shown = shown + 1 EndIf
    Next
Next
DebugPrint(differ, shown > 200)
EnableLayers()
CreateClipRegion(1, #BOX, -5e8, -5e8, 1e9, 1e9)
SetClipRegion(1)
CreateBrush(2, 30, 30, $00FF00)
Try(DisplayBrush, 2, 10, 10, {scalex = 2})
Try(DisplayBrush, 2, 100, 60, {rotate = 30})
DebugPrint(ReadPixel(65, 35), ReadPixel(75, 35))
Try(DisplayBrush, 2, 0, 0, {scaley = Sqrt(-1)})
Try(DisplayBrush, 2, 0, 0, {rotate = 45, scalex = 1e9})
Try(Ellipse, 0, 0, 5, 4, $FF, {rotate = 45, scalex = 1e9})
Try(SetLayerStyle, 1, {scalex = Sqrt(-1)})
; A shape layer keeps its whole image, made from the pixels it covers: one beyond the cap is refused at once.
SetFormStyle({fillstyle = #FILLNONE, outlinethickness = 33, formstyle = #NORMAL})
Try(Arc, 214, -944890, 8191, 8191, 0, 720, $80FF00FF)
Try(Circle, 214, -944890, 1500, $80FF00FF, {rotate = 270})
)";
    WriteBytes(dir.File("edges.vla"), CompileToApplet(script, "edges.vls", dir.path));
    PlayerRun run =
        RunPlayer({"-quiet", "-debugdevice", "@stdout", "edges.vla"}, dir.path, {"VL_ALLOCATION_CAP_MB=64"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "0\n1066\n0\n0\n0\n1055\n0\n0\n65280\n0 1\n0\n0\n65280 0\n1055\n1055\n1055\n1055\n1000\n0\n") << run.err;
}

} // namespace
