// Clip regions, pointers, async draw objects and the object statistics in the real player, headless, checked
// through what the scripts print and the BMP files SaveSnapshot and SaveBrush write.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(DrawingInPlayer, ClipRegionsClipDrawingAndOutliveTheirLayers) {
    ScratchDirectory dir;
    const std::string script = std::string("@DISPLAY {Width = 64, Height = 48, Color = $000000}\n") + kTryFunction + R"(
CreateBrush(1, 8, 8, $FF0000)
CreateBrush(2, 32, 32, $00FF00)
CreateClipRegion(1, #BOX, 10, 10, 20, 20)
SetClipRegion(1)
DisplayBrush(1, 6, 6)
SetClipRegion(-1)
DisplayBrush(1, 40, 6)
SaveSnapshot("clipped.bmp")
DebugPrint(GetAttribute(#CLIPREGION, 1, #ATTRWIDTH), GetAttribute(#CLIPREGION, 1, #ATTRHEIGHT), GetAttribute(#CLIPREGION, Nil, #ATTRCOUNT))
Local r = CreateClipRegion(Nil, #BRUSH, 1, #CENTER, #CENTER)
DebugPrint(GetAttribute(#CLIPREGION, r, #ATTRWIDTH))
FreeClipRegion(r)
Try(SetClipRegion, r)
Try(CreateClipRegion, 2, #BOX, 0, 0, 0, 5)
Try(CreateClipRegion, 2, 99, 0, 0, 5)
Try(CreateClipRegion, 2, #BRUSH, 77, 0, 0)
Try(CreateClipRegion, 2, #BOX, 0, 0, 5)
Try(CreateClipRegion, 2, #BRUSH, 1, 0, 0, 0)
Try(SetClipRegion, 5)
Try(FreeClipRegion, 5)
Try(GetAttribute, #CLIPREGION, 5, #ATTRWIDTH)
; A region set during a selection ends with it.
SelectBrush(2)
SetClipRegion(1)
DisplayBrush(1, 6, 6)
EndSelect()
SaveBrush(2, "brush.bmp")
DisplayBrush(1, 0, 40)
; Layers keep the region they were made under, also once it is freed.
EnableLayers()
SetClipRegion(1)
DisplayBrush(1, 6, 26)
SetClipRegion(-1)
DisplayBrush(1, 50, 26)
DebugPrint(GetLayerStyle(1).clipregion, GetLayerStyle(2).clipregion)
FreeClipRegion(1)
CreateClipRegion(1, #BOX, 0, 0, 4, 4)
DebugPrint(GetAttribute(#CLIPREGION, Nil, #ATTRCOUNT))
Try(SetLayerStyle, 2, {clipregion = 7})
ScaleLayer(1, 16, 16)
SaveSnapshot("layers.bmp")
RemoveLayer(1)
DebugPrint(GetAttribute(#CLIPREGION, Nil, #ATTRCOUNT))
; The player ends with a layer drawn through a region.
SetClipRegion(1)
DisplayBrush(1, 0, 0)
)";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "20 20 1\n8\n1041\n1218\n1055\n1174\n1014\n1193\n1428\n1428\n1428\n1 -1\n2\n1428\n1\n");
    const std::vector<uint8_t> clipped = ReadFileBytes(dir.File("clipped.bmp")), brush = ReadFileBytes(dir.File("brush.bmp")),
                               layers = ReadFileBytes(dir.File("layers.bmp"));
    ASSERT_GT(clipped.size(), 54u);
    EXPECT_EQ(BmpPixel(clipped, 9, 9), 0x000000u);
    EXPECT_EQ(BmpPixel(clipped, 10, 10), 0xFF0000u);
    EXPECT_EQ(BmpPixel(clipped, 13, 13), 0xFF0000u);
    EXPECT_EQ(BmpPixel(clipped, 40, 6), 0xFF0000u);
    ASSERT_GT(brush.size(), 54u);
    EXPECT_EQ(BmpPixel(brush, 9, 9), 0x00FF00u);
    EXPECT_EQ(BmpPixel(brush, 10, 10), 0xFF0000u);
    ASSERT_GT(layers.size(), 54u);
    EXPECT_EQ(BmpPixel(layers, 0, 40), 0xFF0000u);  // drawn after EndSelect: no region
    EXPECT_EQ(BmpPixel(layers, 8, 28), 0x000000u);  // the scaled layer, outside its freed region
    EXPECT_EQ(BmpPixel(layers, 12, 28), 0xFF0000u); // inside it
    EXPECT_EQ(BmpPixel(layers, 50, 26), 0xFF0000u);
}

// A box region holds what it covers however far it reaches: edges and sizes around every power of two from 2^15 to
// 2^31, and position constants place it by its size; checked by the pixels a box over the whole 16 x 12 display
// draws through it, layers off and on.
TEST(DrawingInPlayer, BoxRegionsHoldWhatTheyCoverAtEverySize) {
    ScratchDirectory dir;
    const std::string script = R"(@DISPLAY {Width = 16, Height = 12, Color = $000000}
SetFormStyle({FillStyle = #FILLCOLOR})
Local layers, checked = False, 0
Function Try(x, y, w, h, expected)
    If Not layers Then Cls(0) EndIf
    CreateClipRegion(1, #BOX, x, y, w, h)
    SetClipRegion(1)
    Box(0, 0, 16, 12, $FFFFFF)
    SetClipRegion(-1)
    Local n = 0
    For j = 0 To 11
        For i = 0 To 15
            If ReadPixel(i, j) == $FFFFFF Then n = n + 1 EndIf
        Next
    Next
    If layers Then RemoveLayer(1) EndIf
    FreeClipRegion(1)
    If n <> expected Then DebugPrint(layers, x, y, w, h, "drew", n, "not", expected) EndIf
    checked = checked + 1
EndFunction
Function Run()
    Local edge = 16384
    For k = 15 To 31
        edge = edge * 2
        For d = -1 To 1
            Local v = edge + d
            Try(5, 3, v, v, 11 * 9)                      ; reaching far right and down
            Try(-v, 0, v, 12, 0)                         ; ending just left of the display
            Try(-v, 0, v + 1, 12, 12)                    ; its first column
            Try(-v, -v - 1e5, 2 * v, 2 * v + 1e5, 16 * 12)
            Try(v, 0, 10, 12, 0)                         ; wholly beyond
            If k >= 17 Then Try(0, -v, 16, v + 2, 32) EndIf ; nearer tops are position constants
            Try(#CENTER, #CENTER, v, v, 16 * 12)
            Try(#RIGHT - 3, #BOTTOM, v, v, 13 * 12)      ; ending 3 left of the right edge
        Next
    Next
    ; position constants place the region by its size and the display's
    Try(#CENTER, #CENTER, 4, 2, 8)                       ; (6, 5)
    Try(#RIGHT - 10, #BOTTOMOUT - 3, 4, 5, 4 * 3)        ; (2, 9)
    Try(#LEFTOUT + 3, #TOPOUT + 4, 10, 40, 3 * 4)        ; (-7, -36)
    Try(0, #TOPOUT, 16, 60000, 0)
    Try(#RIGHTOUT, 0, 80000, 12, 0)
    Try(-16000, #BOTTOMOUT + 4000, 32000, 32000, 0)
EndFunction
Run()
Cls(0)
EnableLayers()
layers = True
Run()
DebugPrint("checked", checked)
)";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "checked 816\n");
}

TEST(DrawingInPlayer, PointersAsyncDrawsAndObjectStatistics) {
    ScratchDirectory dir;
    const std::string script = std::string("@DISPLAY {Width = 64, Height = 48, Color = $000000}\n") + kTryFunction + R"(
CreateBrush(1, 8, 6, $FF0000)
CreateBrush(2, 64, 48, $00FF00)
CreatePointer(1, 1, 2, 2)
DebugPrint(GetAttribute(#POINTER, 1, #ATTRWIDTH), GetAttribute(#POINTER, 1, #ATTRHEIGHT), GetAttribute(#POINTER, Nil, #ATTRCOUNT))
Try(CreatePointer, 2, 1, 8, 0)
Try(CreatePointer, #BUSYPOINTER, 1)
SetPointer(1)
SetPointer(#BUSYPOINTER)
HidePointer()
ShowPointer()
SetPointer(#SYSTEMPOINTER)
Local p = CreatePointer(Nil, 1)
SetPointer(p)
FreePointer(p)
Try(SetPointer, p)
Try(FreePointer, #BUSYPOINTER)
Try(GetAttribute, #POINTER, 9, #ATTRWIDTH)
; An async transition finished by the script shows its picture whole.
Local h = DisplayBrushFX(2, 0, 0, {type = #BARS, speed = #SLOWSPEED, async = True})
AsyncDrawFrame(h)
DebugPrint(GetAttribute(#ASYNCDRAW, Nil, #ATTRCOUNT))
FinishAsyncDraw(h)
DebugPrint(GetAttribute(#ASYNCDRAW, Nil, #ATTRCOUNT))
Try(AsyncDrawFrame, h)
Try(FinishAsyncDraw, h)
SaveSnapshot("finished.bmp")
; Six frames at 50 a second, timed from before the first: after a frame that returns late the next come sooner.
SetFPSLimit(50)
StartTimer(1)
For k = 1 To 6 WaitFrame() Next
DebugPrint(GetTimer(1) >= 80)
CreateClipRegion(1, #BOX, 0, 0, 4, 4)
EnableLayers()
DisplayBrush(1, 0, 0)
DisplayBrush(1, 10, 0)
DisplayBrush(1, 20, 0)
DumpObjects()
)";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find("OBJECT STATISTICS")),
              "8 6 1\n1055\n1055\n1041\n1055\n1429\n1\n0\n1041\n1041\n1\n");
    for (const char *line : {"OBJECT STATISTICS\n", "DISPLAY: 1\n", "BRUSH: 2\n", "LAYER: 3\n", "CLIPREGION: 1\n",
                             "POINTER: 1\n", "ASYNCDRAW: 0\n", "SPRITE ON SCREEN: 0\n", "TIMER: 1\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    EXPECT_LT(run.out.find("DISPLAY: 1"), run.out.find("BRUSH: 2"));
    EXPECT_LT(run.out.find("POINTER: 1"), run.out.find("ASYNCDRAW: 0"));
    const std::vector<uint8_t> finished = ReadFileBytes(dir.File("finished.bmp"));
    ASSERT_GT(finished.size(), 54u);
    EXPECT_EQ(BmpPixel(finished, 0, 0), 0x00FF00u);
    EXPECT_EQ(BmpPixel(finished, 63, 47), 0x00FF00u);
}

// Each async draw holds back what its row names until the script finishes it: freeing its display, switching
// layers, removing or selecting its layer, a second effect on it; an endless anim stops where it is.
TEST(DrawingInPlayer, FinishingAsyncDrawsReleasesWhatTheyHold) {
    ScratchDirectory dir;
    const std::string script = std::string("@DISPLAY {Width = 64, Height = 48, Color = $000000}\n") + kTryFunction + R"(
Function TwoFrames(h)
  AsyncDrawFrame(h)
  AsyncDrawFrame(h)
EndFunction
SetFormStyle({fillstyle = #FILLCOLOR})
CreateBrush(1, 16, 8, $FF0000)
SelectBrush(1)
Cls($00FF00)
Box(0, 0, 8, 8, $FF0000)
EndSelect()
CreateAnim(1, 1, 8, 8, 2, 2)
CreateBrush(2, 64, 48, $0000FF)
CreateDisplay(2, {Width = 32, Height = 24})
OpenDisplay(2)
Local t = DisplayBrushFX(2, 0, 0, {type = #BARS, speed = #SLOWSPEED, async = True})
TwoFrames(t)
SelectDisplay(1)
Try(FreeDisplay, 2)
FinishAsyncDraw(t)
FreeDisplay(2)
DebugPrint(GetAttribute(#DISPLAY, Nil, #ATTRCOUNT))
Local m = MoveBrush(2, 0, 0, 40, 30, {speed = 1, async = True})
TwoFrames(m)
Try(EnableLayers)
FinishAsyncDraw(m)
EnableLayers()
Try(FinishAsyncDraw, m)
Local a = PlayAnim(1, 0, 0, {times = 0, speed = #FASTSPEED, async = True})
For k = 1 To 5 AsyncDrawFrame(a) Next
Try(RemoveLayer, 1)
Try(FreeLayers)
Try(SelectLayer, 1, 0, 1)
Try(HideLayerFX, 1, {type = #BARS, async = True})
FinishAsyncDraw(a)
Try(AsyncDrawFrame, a)
DebugPrint(GetAttribute(#ASYNCDRAW, Nil, #ATTRCOUNT), GetAttribute(#ANIM, Nil, #ATTRCOUNT))
RemoveLayer(1)
FreeAnim(1)
DebugPrint(GetAttribute(#ANIM, Nil, #ATTRCOUNT), GetAttribute(#LAYER, Nil, #ATTRCOUNT))
; A picture selected with its layers reads back composed.
CreateBGPic(5, 32, 24, $0000FF)
SelectBGPic(5, #SELMODE_LAYERS)
Box(4, 4, 8, 8, $FFFF00)
DisplayBrush(1, 20, 0)
DebugPrint("selected", ReadPixel(0, 0), ReadPixel(5, 5), ReadPixel(21, 1), ReadPixel(29, 1))
Try(Plot, 0, 0, 0)
Try(ReadPixel, 32, 0)
EndSelect()
)";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1380\n1\n1329\n1041\n1372\n1372\n1404\n1371\n1041\n0 1\n0 0\n"
                       "selected 255 16776960 16711680 65280\n1162\n1217\n");
}

// Counts the pixels of a rectangle of the current output that ReadPixel gives as the colour.
const char *const kCountFunction = R"(Function Count(x, y, w, h, c)
  Local n = 0
  For j = y To y + h - 1
    For i = x To x + w - 1
      If ReadPixel(i, j) == c Then n = n + 1 EndIf
    Next
  Next
  Return n
EndFunction
)";

TEST(DrawingInPlayer, ShapesAndPixelsDrawIntoEveryOutput) {
    ScratchDirectory dir;
    const std::string script =
        std::string("@DISPLAY {Width = 64, Height = 48, Color = $000000}\n") + kTryFunction + kCountFunction + R"(
SetFormStyle({fillstyle = #FILLCOLOR})
Plot(1, 1, $FF0000)
Plot(2, 1, $80FFFFFF)
Plot(-1, 5, $FFFFFF)
Local half = ReadPixel(2, 1) % 256
DebugPrint(ReadPixel(1, 1), half > 120 And half < 135, ReadPixel(0, 1))
Try(Plot, #CENTER, 0, 0)
Try(ReadPixel, 64, 0)
Cls()
Line(10, 2, 20, 2, $00FF00)
Line(5, 5, 8, 15, $00FF00)
Line(30, 30, 20, 40, $00FF00)
DebugPrint("lines", Count(0, 0, 64, 48, $00FF00), ReadPixel(5, 5), ReadPixel(8, 15), ReadPixel(20, 40), ReadPixel(25, 35))
Cls()
Line(10, 10, 40, 10, $FFFFFF, {thickness = 3})
DebugPrint("thick", Count(0, 0, 64, 48, $FFFFFF))
Cls()
SetFormStyle({formstyle = #ANTIALIAS})
Line(0, 20, 40, 30, $FFFFFF, {thickness = 3})
SetFormStyle({formstyle = #NORMAL})
CreateBrush(8, 4, 4, $123456)
DisplayBrush(8, 50, 40)
Local edge = ReadPixel(20, 27) % 256
DebugPrint("smooth", ReadPixel(20, 25), edge > 0 And edge < 255, ReadPixel(51, 41))
; Text through a region that cuts its letters.
Cls()
CreateClipRegion(4, #BOX, 0, 0, 64, 6)
SetClipRegion(4)
SetFontColor($FFFFFF)
TextOut(0, 0, "WWWWWWWW")
SetClipRegion(-1)
FreeClipRegion(4)
DebugPrint("text", Count(0, 0, 64, 6, 0) < 384, Count(0, 6, 64, 42, 0))
; Align lines up the lines of a block whose left edge is x; a line ends at x when drawn at x - TextWidth.
Cls()
Local tw, th = TextWidth("WWWW"), TextHeight("W")
TextOut(0, 0, "i\nWWWW", {align = #RIGHT})
TextOut(0, 2 * th, "i", {align = #RIGHT})
TextOut(60 - TextWidth("W"), 3 * th, "W")
DebugPrint("aligned", Count(0, 0, 8, th, 0) == 8 * th, Count(tw - 8, 0, 8, th, 0) < 8 * th, Count(0, th, 8, th, 0) < 8 * th,
           Count(0, 2 * th, 8, th, 0) < 8 * th, Count(60, 3 * th, 4, th, 0) == 4 * th, Count(52, 3 * th, 8, th, 0) < 8 * th)
Cls()
Circle(10, 10, 8, $FF0000)
Circle(#CENTER, #CENTER, 3, $00FF00)
DebugPrint("circles", Count(0, 0, 30, 30, $FF0000), ReadPixel(31, 23), ReadPixel(28, 23), ReadPixel(27, 23))
Cls()
Ellipse(5, 5, 10, 4, $FFFFFF)
DebugPrint("ellipse", ReadPixel(5, 9), ReadPixel(25, 9), ReadPixel(15, 5), ReadPixel(15, 13), ReadPixel(4, 9), ReadPixel(26, 9))
Cls()
Arc(0, 0, 10, 10, 0, 180, $FFFFFF)
Arc(30, 0, 10, 10, 0, 180, $FF0000, {clockwise = 1})
DebugPrint("arcs", ReadPixel(10, 5), ReadPixel(10, 15), ReadPixel(40, 15), ReadPixel(40, 5))
Cls()
SetFormStyle({fillstyle = #FILLNONE, outlinethickness = 2})
Arc(0, 0, 10, 10, 0, 180, $FFFFFF)
Box(30, 10, 10, 10, $FFFFFF)
DebugPrint("outlines", ReadPixel(10, 10), ReadPixel(15, 10), ReadPixel(10, 0), ReadPixel(35, 15), ReadPixel(30, 10), ReadPixel(31, 11), ReadPixel(32, 12))
Cls()
SetFormStyle({fillstyle = #FILLCOLOR, outlinethickness = 1})
Box(0, 30, 10, 10, $00FF00, {roundlevel = 5})
Box(20, 30, 10, 6, $0000FF)
Box(40, 20, 10, 10, $FF0000, {rotate = 45})
DebugPrint("boxes", ReadPixel(0, 30), ReadPixel(5, 35), Count(20, 30, 10, 6, $0000FF), Count(0, 0, 64, 48, $0000FF))
DebugPrint("turned", Count(0, 0, 64, 48, $FF0000) > 80, Count(30, 0, 10, 48, $FF0000) + Count(50, 0, 14, 48, $FF0000) > 0)
Try(Box, 0, 0, 0, 5, 0)
Try(Circle, 0, 0, -1, 0)
Cls()
Polygon(0, 0, {0, 0, 10, 0, 0, 10}, $FFFFFF)
Polygon(30, 10, {10, 0, 16, 20, 0, 7, 20, 7, 4, 20}, $FF0000)
DebugPrint("polygons", Count(0, 0, 12, 12, $FFFFFF), ReadPixel(40, 20), ReadPixel(40, 12))
Try(Polygon, 0, 0, {0, 0, 1, 1}, 0)
Try(Polygon, 0, 0, {0, 0, 1, "a", 2, 2}, 0)
Local big = {}
For i = 0 To 1999
  big[i] = i
Next
Try(Polygon, 0, 0, big, 0)
; Cls and a drawing through a box region and a brush-shaped one.
Cls($000000)
CreateClipRegion(1, #BOX, 10, 10, 5, 5)
SetClipRegion(1)
Cls($FFFFFF)
Circle(0, 0, 30, $FFFFFF)
SetClipRegion(-1)
CreateBrush(1, 8, 8, $000000)
SelectMask(1)
SetMaskMode(#MASKINVISIBLE)
Cls()
SetMaskMode(#MASKVISIBLE)
Box(0, 0, 4, 4, 0)
DebugPrint("mask", ReadPixel(0, 0), ReadPixel(5, 5))
EndSelect()
CreateClipRegion(2, #BRUSH, 1, 40, 30)
SetClipRegion(2)
Cls($00FF00)
SetClipRegion(-1)
DebugPrint("clipped", Count(0, 0, 64, 48, $FFFFFF), Count(0, 0, 64, 48, $00FF00), ReadPixel(43, 33), ReadPixel(44, 33))
SaveSnapshot("display.bmp")
; A brush, its mask and its alpha channel as outputs.
CreateBrush(2, 16, 16, $000000)
SelectBrush(2)
Plot(3, 3, $FF0000)
Box(5, 5, 4, 4, $00FF00)
DebugPrint("brush", ReadPixel(3, 3), ReadPixel(6, 6))
EndSelect()
SaveBrush(2, "brush.bmp")
SelectMask(2)
SetMaskMode(#MASKINVISIBLE)
Plot(1, 1, 0)
DebugPrint("brushmask", ReadPixel(1, 1), ReadPixel(2, 1))
SetMaskMode(#MASKVISIBLE)
EndSelect()
CreateBrush(3, 16, 16, $0000FF)
SelectAlphaChannel(3)
SetAlphaIntensity(100)
Plot(4, 4, 0)
DebugPrint("alpha", ReadPixel(4, 4), ReadPixel(5, 4))
Cls()
DebugPrint(ReadPixel(15, 15))
EndSelect()
EnableLayers()
Try(Plot, 0, 0, 0)
Try(Cls)
)";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "16711680 1 0\n1337\n1217\n"
                       "lines 33 65280 65280 65280 65280\n"
                       "thick 99\n"
                       "smooth 16777215 1 1193046\n"
                       "text 1 2688\n"
                       "aligned 1 1 1 1 1 1\n"
                       "circles 225 65280 65280 0\n"
                       "ellipse 16777215 16777215 16777215 16777215 0 0\n"
                       "arcs 16777215 0 16711680 0\n"
                       "outlines 0 0 16777215 0 16777215 16777215 0\n"
                       "boxes 0 65280 60 60\n"
                       "turned 1 1\n1218\n1055\n"
                       "polygons 45 16711680 16711680\n1055\n1189\n1066\n"
                       "mask 1 0\n"
                       "clipped 25 16 65280 0\n"
                       "brush 16711680 65280\n"
                       "brushmask 0 1\n"
                       "alpha 100 255\n100\n1162\n1162\n");
    const std::vector<uint8_t> display = ReadFileBytes(dir.File("display.bmp")), brush = ReadFileBytes(dir.File("brush.bmp"));
    ASSERT_GT(display.size(), 54u);
    EXPECT_EQ(BmpPixel(display, 10, 10), 0xFFFFFFu);
    EXPECT_EQ(BmpPixel(display, 9, 10), 0x000000u);
    ASSERT_GT(brush.size(), 54u);
    EXPECT_EQ(BmpPixel(brush, 3, 3), 0xFF0000u);
    EXPECT_EQ(BmpPixel(brush, 8, 8), 0x00FF00u);
}

TEST(DrawingInPlayer, FormStyleAndShapeLayers) {
    ScratchDirectory dir;
    const std::string script =
        std::string("@DISPLAY {Width = 64, Height = 48, Color = $000000}\n") + kTryFunction + kCountFunction + R"(
Local st = GetFormStyle()
DebugPrint(st.formstyle, st.fillstyle, st.gradientstyle, st.gradientangle, st.gradientstartcolor, st.gradientendcolor, st.texturebrush, st.texturex, st.texturey, st.outlinethickness, st.shadowcolor, st.shadowsize, st.shadowdir, st.edgecolor, st.edgesize)
SetFormStyle({formstyle = #EDGE, edgesize = 99, fillstyle = 9, shadowdir = 9, shadowsize = 0, gradientstyle = 1, texturex = 3, other = "left alone"})
st = GetFormStyle()
DebugPrint(st.formstyle, st.edgesize, st.fillstyle, st.shadowdir, st.shadowsize, st.gradientstyle, st.texturex)
SetFormStyle({formstyle = #SHADOW})
DebugPrint(GetFormStyle().formstyle)
SetFormStyle({formstyleclear = #EDGE})
DebugPrint(GetFormStyle().formstyle)
SetFormStyle({formstyle = #NORMAL})
SetFormStyle({formstyle = #ANTIALIAS})
Local aa = GetFormStyle().formstyle
SetFormStyle({formstyle = #EDGE})
Local edge = GetFormStyle().formstyle
SetFormStyle({formstyleclear = #EDGE})
DebugPrint(aa, edge, GetFormStyle().formstyle)
SetFormStyle({formstyle = #NORMAL})
SetFormStyle(GetFormStyle())
DebugPrint(GetFormStyle().formstyle)
Try(SetFormStyle, {texturebrush = 9})
Try(SetFormStyle, 5)
; Gradients across and down, a texture moved by texturex, an edge and a shadow together.
SetFormStyle({fillstyle = #FILLGRADIENT, gradientstyle = 0, gradientstartcolor = $FF0000, gradientendcolor = $0000FF})
Box(0, 0, 32, 8, 0)
SetFormStyle({gradientstyle = 1})
Box(0, 10, 8, 32, 0)
DebugPrint("gradients", ReadPixel(0, 4), ReadPixel(31, 4), ReadPixel(4, 10), ReadPixel(4, 41))
CreateBrush(5, 4, 4, $00FF00)
SelectBrush(5)
Plot(0, 0, $FFFFFF)
EndSelect()
SetFormStyle({fillstyle = #FILLTEXTURE, texturebrush = 5, texturex = 1, texturey = 0})
Box(40, 0, 8, 8, 0)
DebugPrint("texture", ReadPixel(40, 0), ReadPixel(43, 0), ReadPixel(47, 0), ReadPixel(43, 1))
Cls()
SetFormStyle({fillstyle = #FILLCOLOR, formstyle = 96, edgecolor = $00FF00, edgesize = 2, shadowcolor = $0000FF, shadowsize = 4, shadowdir = 3})
Box(10, 20, 10, 10, $FF0000)
DebugPrint("effects", ReadPixel(15, 25), ReadPixel(9, 25), ReadPixel(24, 34))
; Shapes become layers that read back and change through the layer keys.
SetFormStyle({formstyle = #NORMAL, fillstyle = #FILLCOLOR, texturebrush = -1})
Cls()
EnableLayers()
Line(20, 5, 10, 8, $FFFFFF, {thickness = 3})
Box(30, 30, 12, 6, $FF0000, {roundlevel = 2})
Circle(#CENTER, 0, 4, $00FF00)
Local l1, l2, l3 = GetLayerStyle(1), GetLayerStyle(2), GetLayerStyle(3)
DebugPrint("layers", l1.x, l1.y, l1.thickness, l2.sizex, l2.sizey, l2.roundlevel, l2.color, l2.fillstyle, l3.radius, l3.x)
For k, v In Pairs(GetFormStyle())
  If l2[k] <> v Then DebugPrint("differs", k) EndIf
Next
DebugPrint("composed", ReadPixel(35, 32), ReadPixel(29, 30))
SetLayerStyle(2, {formstyle = #SHADOW})
DebugPrint("shadow", GetLayerStyle(2).formstyle)
SetLayerStyle(2, {formstyleclear = #SHADOW})
SetLayerStyle(1, {x1 = 0, y1 = 2, x2 = 5, y2 = 0})
DebugPrint("moved", GetLayerStyle(1).x, GetLayerStyle(1).y)
Arc(0, 20, 5, 3, 10, 100, $FFFFFF, {clockwise = 1})
Polygon(0, 40, {0, 0, 4, 0, 0, 4}, $FFFFFF)
Ellipse(50, 0, 3, 2, $FFFFFF)
Local l4, l5, l6 = GetLayerStyle(4), GetLayerStyle(5), GetLayerStyle(6)
DebugPrint("kinds", l4.startangle, l4.endangle, l4.clockwise, l4.radiusa, l4.radiusb, l5.numvertices, l6.radiusa, l6.radiusb)
CreateBrush(1, 4, 4, $FFFFFF)
DisplayBrush(1, 0, 0)
SetFormStyle({edgesize = 5})
SetLayerStyle(7, {type = #BOX, sizex = 4, sizey = 4})
DebugPrint("retyped", GetLayerStyle(7).edgesize)
SetFormStyle({fillstyle = #FILLTEXTURE, texturebrush = 5, texturex = 0})
Box(50, 40, 8, 8, 0)
FreeBrush(5)
ScaleLayer(8, 12, 12)
DebugPrint("textured", ReadPixel(50, 41), ReadPixel(51, 41))
Try(SetLayerStyle, 8, {texturebrush = 77})
SetFormStyle({fillstyle = #FILLCOLOR, texturebrush = -1})
CreateClipRegion(3, #BOX, 0, 24, 10, 10)
SetClipRegion(3)
Box(0, 24, 20, 20, $FFFFFF)
DebugPrint("clip", GetLayerStyle(9).clipregion, ReadPixel(5, 30), ReadPixel(15, 30))
SaveSnapshot("layers.bmp")
)";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1 0 2 0 0 16777215 -1 0 0 1 0 4 3 37853 2\n"
                       "65 64 3 7 1 1 3\n97\n33\n17 81 17\n1\n1174\n1140\n"
                       "gradients 16711680 255 16711680 255\n"
                       "texture 65280 16777215 16777215 65280\n"
                       "effects 16711680 65280 255\n"
                       "layers 10 5 3 12 6 2 16711680 1 4 27\n"
                       "composed 16711680 0\n"
                       "shadow 33\n"
                       "moved 0 0\n"
                       "kinds 10 100 1 5 3 3 3 2\n"
                       "retyped 5\n"
                       "textured 65280 65280\n1174\n"
                       "clip 3 16777215 0\n");
    const std::vector<uint8_t> layers = ReadFileBytes(dir.File("layers.bmp"));
    ASSERT_GT(layers.size(), 54u);
    EXPECT_EQ(BmpPixel(layers, 5, 30), 0xFFFFFFu);
    EXPECT_EQ(BmpPixel(layers, 15, 30), 0x000000u);
}

} // namespace
