// Drawing targets, double buffering and background pictures in the real player, headless, checked through the
// BMP files SaveBrush and SaveSnapshot write.
#include "tests/player/player_test_support.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace {

TEST(ImagesInPlayer, SelectionsDoubleBufferingAndPictures) {
    ScratchDirectory dir;
    std::filesystem::copy_file(std::string(VL_SOURCE_DIR) + "/tests/data/media/dispose.gif", dir.File("anim.gif"));
    const std::string script = R"(@DISPLAY {Width = 64, Height = 48, Color = $0000FF}
ExitOnError(False)
Function Try(f, ...)
  f(...)
  DebugPrint(GetLastError())
EndFunction
CreateBrush(1, 16, 16, $FFFFFF)
CreateBrush(2, 4, 4, $00FF00)
SelectBrush(1)
DisplayBrush(2, 6, 6)
EndSelect()
SaveBrush(1, "brush.bmp")
; An anim frame as the target; its brush link shows the drawing.
LoadAnim(1, "anim.gif")
Try(SelectMask, 1, #ANIM)
SelectAnim(1, 1)
Try(BeginDoubleBuffer)
DisplayBrush(2, 0, 0)
EndSelect()
GetBrushLink(3, #ANIM, 1, 1)
SaveBrush(3, "frame.bmp")
; Double buffering: the back buffer starts black; the last frame stays after the end.
BeginDoubleBuffer()
DisplayBrush(2, 60, 44)
Flip()
EndDoubleBuffer()
SaveSnapshot("double.bmp")
; Pictures: a gradient drawn again at its new size, a loaded one, the refusals.
CreateGradientBGPic(2, 0, $FF0000, $0000FF, 32, 16)
ScaleBGPic(2, 64, 16)
Try(BGPicToBrush, 2)
Try(CreateBGPic, 3, 0, 10)
Try(CreateGradientBGPic, 3, 0, 0, 0, 0, 10)
Try(LoadBGPic, 3, "missing.png", {loadalpha = True, transparency = $FF0000})
Try(DisplayBGPic, 4)
Try(CopyBGPic, 2, 2)
Try(ScaleBGPic, 1, 10, 10)
Local palette = {}
For i = 0 To 299
  palette[i] = i
Next
LoadBGPic(5, "brush.bmp", -1, palette)
SelectBGPic(5, #SELMODE_NORMAL)
DisplayBrush(2, 0, 0)
EndSelect()
DisplayBGPic(2)
SaveSnapshot("gradient.bmp")
DisplayBGPic(5)
SaveSnapshot("loaded.bmp"))";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1014\n1339\n1392\n1055\n1218\n1223\n1177\n1055\n1366\n");
    const std::vector<uint8_t> brush = ReadBytes(dir.File("brush.bmp")), frame = ReadBytes(dir.File("frame.bmp")),
                               twice = ReadBytes(dir.File("double.bmp")), gradient = ReadBytes(dir.File("gradient.bmp")),
                               loaded = ReadBytes(dir.File("loaded.bmp"));
    ASSERT_GT(brush.size(), 54u);
    EXPECT_EQ(BmpPixel(brush, 5, 5), 0xFFFFFFu);
    EXPECT_EQ(BmpPixel(brush, 6, 6), 0x00FF00u);
    ASSERT_GT(frame.size(), 54u);
    EXPECT_EQ(BmpPixel(frame, 3, 3), 0x00FF00u);
    EXPECT_EQ(BmpPixel(frame, 15, 0), 0xFF0000u);
    ASSERT_GT(twice.size(), 54u);
    EXPECT_EQ(BmpPixel(twice, 0, 0), 0x000000u);
    EXPECT_EQ(BmpPixel(twice, 63, 47), 0x00FF00u);
    ASSERT_GT(gradient.size(), 54u);
    EXPECT_EQ(BmpPixel(gradient, 0, 0), 0xFF0000u);
    EXPECT_EQ(BmpPixel(gradient, 63, 15), 0x0000FFu);
    ASSERT_GT(loaded.size(), 54u);
    EXPECT_EQ(BmpPixel(loaded, 1, 1), 0x00FF00u);
    EXPECT_EQ(BmpPixel(loaded, 7, 7), 0x00FF00u);
    EXPECT_EQ(BmpPixel(loaded, 12, 12), 0xFFFFFFu);
}

// How many pixels of the rectangle (x0, y0) .. (x1 - 1, y1 - 1) have the colour.
int CountColour(const std::vector<uint8_t> &bmp, int x0, int y0, int x1, int y1, uint32_t colour) {
    int count = 0;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) count += BmpPixel(bmp, x, y) == colour;
    return count;
}

TEST(ImagesInPlayer, PrintDrawsIntoEverySelection) {
    ScratchDirectory dir;
    const std::string script = R"(@DISPLAY {Width = 64, Height = 48, Color = $000000}
SetFontColor($FFFFFF)
CreateBrush(1, 40, 16, $0000FF)
SelectBrush(1)
Print("HI")
EndSelect()
SaveBrush(1, "brush.bmp")
CreateBrush(2, 40, 16, $00FF00, {mask = True, clear = True})
SelectMask(2)
Print("HI")
EndSelect()
DisplayBrush(2, 0, 0)
CreateBrush(3, 40, 16, $FF0000, {alphachannel = True, clear = True})
SelectAlphaChannel(3)
SetAlphaIntensity(255)
Print("HI")
EndSelect()
DisplayBrush(3, 0, 16)
SaveSnapshot("planes.bmp")
EnableLayers()
SelectBGPic(Nil)
Locate(0, 32)
Print("HI")
SaveSnapshot("collecting.bmp")
EndSelect()
SaveSnapshot("layers.bmp"))";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<uint8_t> brush = ReadBytes(dir.File("brush.bmp")), planes = ReadBytes(dir.File("planes.bmp")),
                               collecting = ReadBytes(dir.File("collecting.bmp")),
                               layers = ReadBytes(dir.File("layers.bmp"));
    ASSERT_GT(brush.size(), 54u);
    ASSERT_GT(planes.size(), 54u);
    ASSERT_GT(collecting.size(), 54u);
    ASSERT_GT(layers.size(), 54u);
    const int text = CountColour(brush, 0, 0, 40, 16, 0xFFFFFF);
    EXPECT_GT(text, 10);
    EXPECT_EQ(CountColour(brush, 0, 0, 40, 16, 0x0000FF), 40 * 16 - text);
    // The mask and the alpha channel take the text's shape: the brush shows only there.
    EXPECT_EQ(CountColour(planes, 0, 0, 40, 16, 0x00FF00), text);
    EXPECT_EQ(CountColour(planes, 0, 16, 40, 32, 0xFF0000), text);
    EXPECT_EQ(CountColour(planes, 0, 0, 64, 32, 0xFFFFFF), 0);
    // A picture collecting layers shows them at EndSelect.
    EXPECT_EQ(CountColour(collecting, 0, 32, 40, 48, 0xFFFFFF), 0);
    EXPECT_EQ(CountColour(layers, 0, 32, 40, 48, 0xFFFFFF), text);
}

// Text, shape and picture-part layers drawn into: the layer shows the drawing, the objects it came from do not.
TEST(ImagesInPlayer, SelectLayerOfTextShapeAndPicturePartLayers) {
    ScratchDirectory dir;
    const std::string script = R"(@DISPLAY {Width = 96, Height = 64, Color = $0000FF}
ExitOnError(False)
Function Try(f, ...)
  f(...)
  DebugPrint(GetLastError())
EndFunction
EnableLayers()
CreateBrush(1, 4, 4, $00FF00)
CreateBGPic(2, 20, 20, $FFFF00)
SetFontColor($FFFFFF)
TextOut(2, 2, "Hi")
Locate(70, 2)
Print("P")
CreateTextObject(3, "Ho")
DisplayTextObject(3, 60, 30, {anchorx = 1, anchory = 1, scalex = 2})
DisplayBGPicPart(2, 0, 0, 10, 10, 10, 20)
DisplayBrush(1, 0, 0)
SetLayerStyle(5, {type = 15, radius = 6, color = $FF00FF, x = 70, y = 50, anchorx = 0.5, anchory = 0.5})
TextOut(20, 40, "R", {rotate = 90})
SaveSnapshot("before.bmp")
For n = 1 To 6
  SelectLayer(n)
  EndSelect()
Next
SetLayerStyle(5, {x = 70, y = 50})
SaveSnapshot("same.bmp")
SelectLayer(1, 1)
DisplayBrush(1, 4, 0)
EndSelect()
For n = 2 To 6
  SelectLayer(n)
  DisplayBrush(1, 0, 0)
  EndSelect()
Next
SaveSnapshot("drawn.bmp")
DebugPrint(GetLayerStyle(1).partwidth, GetLayerStyle(3).partwidth, GetLayerStyle(4).partwidth)
DisplayBGPicPart(2, 0, 0, 10, 10, 80, 0)
DisplayTextObject(3, 60, 54)
SaveSnapshot("objects.bmp")
Try(SelectLayer, 1, 0, 1)
HideLayerFX(2, {type = #BARS, speed = #FASTSPEED, async = True})
Try(SelectLayer, 2))";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "16 16 10\n1155\n1404\n");
    const std::vector<uint8_t> before = ReadBytes(dir.File("before.bmp")), drawn = ReadBytes(dir.File("drawn.bmp")),
                               objects = ReadBytes(dir.File("objects.bmp"));
    ASSERT_GT(drawn.size(), 54u);
    ASSERT_GT(objects.size(), 54u);
    // Selected and ended without drawing, every layer stays in place, transformed and anchored ones included.
    EXPECT_EQ(ReadBytes(dir.File("same.bmp")), before);
    struct Probe {
        int x, y;
        uint32_t colour;
    };
    const Probe probes[] = {
        {6, 2, 0x00FF00},  {2, 2, 0xFFFFFF},   // TEXTOUT: the mask takes the drawing too, the rest stays
        {70, 2, 0x00FF00}, {74, 2, 0xFFFFFF},  // PRINT
        {28, 21, 0x00FF00},                    // a text object scaled twice: the drawing is scaled with it
        {10, 20, 0x00FF00}, {14, 20, 0xFFFF00}, // the picture part
        {66, 45, 0x00FF00}, {68, 44, 0xFF00FF}, // the anchored circle
        {20, 36, 0x00FF00},                    // the rotated letter
    };
    for (const Probe &p : probes) EXPECT_EQ(BmpPixel(drawn, p.x, p.y), p.colour) << p.x << "," << p.y;
    EXPECT_EQ(BmpPixel(objects, 80, 0), 0xFFFF00u);
    EXPECT_EQ(BmpPixel(objects, 60, 54), 0xFFFFFFu);
}

} // namespace
