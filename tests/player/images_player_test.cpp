// Drawing targets, double buffering and background pictures in the real player, headless, checked through the
// BMP files SaveBrush and SaveSnapshot write.
#include "tests/player/player_test_support.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace {

// 0x00RRGGBB of a pixel of a 24-bit bottom-up BMP file.
uint32_t BmpPixel(const std::vector<uint8_t> &bmp, int x, int y) {
    auto u32 = [&](size_t at) { return uint32_t(bmp[at]) | uint32_t(bmp[at + 1]) << 8 | uint32_t(bmp[at + 2]) << 16 |
                                       uint32_t(bmp[at + 3]) << 24; };
    const uint32_t offset = u32(10);
    const int32_t height = int32_t(u32(22)), width = int32_t(u32(18));
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    const size_t at = offset + size_t(height - 1 - y) * stride + size_t(x) * 3;
    return uint32_t(bmp[at + 2]) << 16 | uint32_t(bmp[at + 1]) << 8 | bmp[at];
}

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

} // namespace
