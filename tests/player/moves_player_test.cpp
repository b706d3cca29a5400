// Moving objects in the real player, headless: blocking moves of an animated sprite, an anim, a text object and
// a layer, each ending where it was headed, and the moved objects locked only while they move.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

namespace {

TEST(MovesInPlayer, BlockingMovesEndAtTheirEndPoints) {
    ScratchDirectory dir;
    const std::string script = R"(@DISPLAY {Width = 160, Height = 120, Color = $000080}
ExitOnError(False)
CreateBrush(1, 30, 10, $FF0000)
CreateBrush(2, 10, 10, $00FF00)
SelectBrush(1)
DisplayBrush(2, 10, 0)
EndSelect()
CreateSprite(1, #BRUSH, 1, 10, 10, 3, 0, 0, 0)
MoveSprite(1, 0, 0, 100, 60, {speed = 15, animspeed = 1})
SaveSnapshot("sprite.bmp")
RemoveSprites()
EnableLayers()
DisplayBrush(2, 0, 0)
MoveLayer(1, 100000, 100000, 120, 90, {speed = 30, fx = #DAMPED})
CreateAnim(1, 1, 10, 10, 3, 3)
MoveAnim(1, #CENTER, 0, 20, 100, 20, #DEFAULTSPEED)
CreateTextObject(1, "Hi")
MoveTextObject(1, 0, 0, 60, 20, {speed = 20, fx = #SMOOTHOUT})
SaveSnapshot("layer.bmp")
DebugPrint(GetLayerStyle(1).x, GetLayerStyle(1).y, GetLayerStyle(2).x, GetLayerStyle(2).y, GetLayerStyle(3).x)
FreeAnim(1)
FreeTextObject(1)
DebugPrint(GetLastError())
)";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "120 90 20 100 60\n0\n");
    std::vector<uint8_t> sprite = ReadFileBytes(dir.File("sprite.bmp"));
    ASSERT_GT(sprite.size(), 54u);
    EXPECT_NE(BmpPixel(sprite, 105, 65), 0x000080u); // the sprite at its end point
    EXPECT_EQ(BmpPixel(sprite, 5, 5), 0x000080u);    // nothing left at its start
    std::vector<uint8_t> layer = ReadFileBytes(dir.File("layer.bmp"));
    ASSERT_GT(layer.size(), 54u);
    EXPECT_EQ(BmpPixel(layer, 125, 95), 0x00FF00u);
    EXPECT_EQ(BmpPixel(layer, 5, 5), 0x000080u);
    EXPECT_NE(BmpPixel(layer, 25, 105), 0x000080u); // the anim at its end point
}

} // namespace
