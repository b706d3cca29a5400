// Drawing targets, double buffering and background pictures in the real player, headless, checked through the
// BMP files SaveBrush and SaveSnapshot write.
#include "tests/player/player_test_support.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace {

TEST(ImagesInPlayer, SelectionsDoubleBufferingAndPictures) {
    ScratchDirectory dir;
    std::filesystem::copy_file(std::string(VL_SOURCE_DIR) + "/tests/data/media/dispose.gif", dir.File("anim.gif"));
    const std::string script = std::string("@DISPLAY {Width = 64, Height = 48, Color = $0000FF}\n") +
                               kTryFunction + R"(CreateBrush(1, 16, 16, $FFFFFF)
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
    const std::vector<uint8_t> brush = ReadFileBytes(dir.File("brush.bmp")), frame = ReadFileBytes(dir.File("frame.bmp")),
                               twice = ReadFileBytes(dir.File("double.bmp")), gradient = ReadFileBytes(dir.File("gradient.bmp")),
                               loaded = ReadFileBytes(dir.File("loaded.bmp"));
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
    const std::vector<uint8_t> brush = ReadFileBytes(dir.File("brush.bmp")), planes = ReadFileBytes(dir.File("planes.bmp")),
                               collecting = ReadFileBytes(dir.File("collecting.bmp")),
                               layers = ReadFileBytes(dir.File("layers.bmp"));
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
EnableLayers()
CreateBrush(1, 4, 4, $00FF00)
CreateBGPic(2, 20, 20, $FFFF00)
SetFontColor($FFFFFF)
TextOut(2, 2, "Hi")
CreateTextObject(3, "Ho")
DisplayTextObject(3, 60, 30, {anchorx = 1, anchory = 1, scalex = 2})
DisplayBGPicPart(2, 0, 0, 10, 10, 10, 20)
DisplayBrush(1, 0, 0)
SetLayerStyle(4, {type = 15, radius = 6, color = $FF00FF, x = 70, y = 50, anchorx = 0.5, anchory = 0.5})
TextOut(20, 40, "R", {rotate = 90})
Box(30, 2, 24, 12, $FF8000, {rotate = 30})
SaveSnapshot("before.bmp")
For n = 1 To 6 SelectLayer(n) EndSelect() Next
Local selectError = GetLastError()
SetLayerStyle(4, {x = 70, y = 50})
SaveSnapshot("same.bmp")
SelectLayer(1, 1)
DisplayBrush(1, 4, 0)
EndSelect()
For n = 2 To 6 SelectLayer(n) DisplayBrush(1, 0, 0) EndSelect() Next
SaveSnapshot("drawn.bmp")
DisplayBGPicPart(2, 0, 0, 10, 10, 80, 0)
DisplayTextObject(3, 60, 54)
SaveSnapshot("objects.bmp")
SelectLayer(1, 0, 1)
Local frameError = GetLastError()
HideLayerFX(2, {type = #BARS, speed = #FASTSPEED, async = True})
SelectLayer(2)
DebugPrint(selectError, frameError, GetLastError()))";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "0 1155 1404\n"); // a frame for a text layer; a layer a transition plays on
    const std::vector<uint8_t> drawn = ReadFileBytes(dir.File("drawn.bmp")), objects = ReadFileBytes(dir.File("objects.bmp"));
    ASSERT_TRUE(drawn.size() > 54 && objects.size() > 54);
    // Selected and ended without drawing, every layer stays in place, transformed and anchored ones included (a
    // turned shape layer, which keeps only its turned image, gets its upright one back for the brush).
    EXPECT_EQ(ReadFileBytes(dir.File("same.bmp")), ReadFileBytes(dir.File("before.bmp")));
    // The text (its mask drawn too), the text object scaled twice, the picture part, the anchored circle and the
    // rotated letter show the brush; what it did not cover stays.
    const uint32_t probes[][3] = {{6, 2, 0x00FF00},   {2, 2, 0xFFFFFF},   {28, 21, 0x00FF00}, {10, 20, 0x00FF00},
                                  {14, 20, 0xFFFF00}, {66, 45, 0x00FF00}, {68, 44, 0xFF00FF}, {20, 36, 0x00FF00}};
    for (const auto &p : probes) EXPECT_EQ(BmpPixel(drawn, p[0], p[1]), p[2]) << p[0] << "," << p[1];
    EXPECT_EQ(BmpPixel(objects, 80, 0), 0xFFFF00u);
    EXPECT_EQ(BmpPixel(objects, 60, 54), 0xFFFFFFu);
}

} // namespace
