// Clip regions, pointers, async draw objects and the object statistics in the real player, headless, checked
// through what the scripts print and the BMP files SaveSnapshot and SaveBrush write.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

namespace {

const char *const kTryFunction = R"(ExitOnError(False)
Function Try(f, ...)
  f(...)
  DebugPrint(GetLastError())
EndFunction
)";

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
    const std::vector<uint8_t> clipped = ReadBytes(dir.File("clipped.bmp")), brush = ReadBytes(dir.File("brush.bmp")),
                               layers = ReadBytes(dir.File("layers.bmp"));
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
SetFPSLimit(1000)
WaitFrame()
WaitFrame()
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
              "8 6 1\n1055\n1055\n1041\n1055\n1429\n1\n0\n1041\n1041\n");
    for (const char *line : {"OBJECT STATISTICS\n", "DISPLAY: 1\n", "BRUSH: 2\n", "LAYER: 3\n", "CLIPREGION: 1\n",
                             "POINTER: 1\n", "ASYNCDRAW: 0\n", "SPRITE ON SCREEN: 0\n", "TIMER: 0\n"})
        EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
    EXPECT_LT(run.out.find("DISPLAY: 1"), run.out.find("BRUSH: 2"));
    EXPECT_LT(run.out.find("POINTER: 1"), run.out.find("ASYNCDRAW: 0"));
    const std::vector<uint8_t> finished = ReadBytes(dir.File("finished.bmp"));
    ASSERT_GT(finished.size(), 54u);
    EXPECT_EQ(BmpPixel(finished, 0, 0), 0x00FF00u);
    EXPECT_EQ(BmpPixel(finished, 63, 47), 0x00FF00u);
}

} // namespace
