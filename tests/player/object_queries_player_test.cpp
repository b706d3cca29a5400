// What a script reads back about its objects through the real player: GetAttribute of every kind with a list,
// brushes taken from sprite frames.
#include "tests/player/player_test_support.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace {

TEST(ObjectQueriesInPlayer, EveryListedKindAnswersItsSizeAndCount) {
    ScratchDirectory dir;
    std::filesystem::copy_file(std::string(VL_SOURCE_DIR) + "/tests/data/media/dispose.gif", dir.File("anim.gif"));
    const std::string script = std::string("@DISPLAY {Width = 64, Height = 48}\n") +
                               kTryFunction + R"(CreateBGPic(2, 30, 20)
DebugPrint(GetAttribute(#BGPIC, 2, #ATTRWIDTH), GetAttribute(#BGPIC, 2, #ATTRHEIGHT), GetAttribute(#BGPIC, Nil, #ATTRCOUNT))
LoadAnim(1, "anim.gif")
DebugPrint(GetAttribute(#ANIM, 1, #ATTRWIDTH), GetAttribute(#ANIM, 1, #ATTRHEIGHT), GetAttribute(#ANIM, Nil, #ATTRCOUNT))
CreateTextObject(1, "Hi")
DebugPrint(GetAttribute(#TEXTOBJECT, 1, #ATTRWIDTH) > 0, GetAttribute(#TEXTOBJECT, 1, #ATTRHEIGHT) > 0)
; A wrapped text object is as wide as its wrap width allows, though it is laid out at CENTER.
CreateTextObject(2, "aaa bbb ccc ddd", #LEFT, 60)
CreateTextObject(3, "aaa bbb ccc ddd", #LEFT, 56)
CreateTextObject(4, "abcdefghijkl mn", #LEFT, 40)
DebugPrint(GetAttribute(#TEXTOBJECT, 2, #ATTRWIDTH), GetAttribute(#TEXTOBJECT, 3, #ATTRWIDTH), GetAttribute(#TEXTOBJECT, 4, #ATTRWIDTH))
; A brush taken from it is as wide as the object, not as its image.
GetBrushLink(9, #TEXTOBJECT, 4)
DebugPrint(GetAttribute(#BRUSH, 9, #ATTRWIDTH), GetAttribute(#BRUSH, 9, #ATTRHEIGHT) == GetAttribute(#TEXTOBJECT, 4, #ATTRHEIGHT))
EnableLayers()
CreateBrush(1, 12, 7, $FF0000)
DisplayBrush(1, 0, 0)
DisplayBrush(1, 5, 5, {name = "big", width = 24, height = 14})
DebugPrint(GetAttribute(#LAYER, 1, #ATTRWIDTH), GetAttribute(#LAYER, "big", #ATTRHEIGHT), GetAttribute(#LAYER, Nil, #ATTRCOUNT))
SetInterval(1, Function() EndFunction, 1000)
SetInterval(2, Function() EndFunction, 1000)
SetTimeout(1, Function() EndFunction, 1000)
OpenFile(1, "a.txt", #MODE_WRITE)
OpenDirectory(1, ".")
AllocMem(1, 16)
AllocMem(2, 16)
AllocMem(3, 16)
DebugPrint(GetAttribute(#INTERVAL, Nil, #ATTRCOUNT), GetAttribute(#TIMEOUT, Nil, #ATTRCOUNT), GetAttribute(#FILE, Nil, #ATTRCOUNT), GetAttribute(#DIRECTORY, Nil, #ATTRCOUNT), GetAttribute(#MEMORY, Nil, #ATTRCOUNT))
Try(GetAttribute, #BGPIC, 9, #ATTRWIDTH)
Try(GetAttribute, #LAYER, 9, #ATTRWIDTH)
Try(GetAttribute, #INTERVAL, 9, #ATTRWIDTH)
Try(GetAttribute, #INTERVAL, 1, #ATTRWIDTH)
Try(GetAttribute, #ANIM, 1, #ATTRHASALPHA))";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "30 20 2\n"
                       "16 12 1\n"
                       "1 1\n"
                       "60 56 40\n"
                       "40 1\n"
                       "12 14 2\n"
                       "2 1 1 1 3\n"
                       "1177\n1081\n1194\n1055\n1055\n");
}

// Frames of plain and linked sprites become brushes; a grid needs all its numbers.
TEST(ObjectQueriesInPlayer, SpriteFramesBecomeBrushes) {
    ScratchDirectory dir;
    const std::string script = std::string("@DISPLAY {Width = 64, Height = 48}\n") +
                               kTryFunction + R"(CreateBrush(1, 8, 4, $FF0000)
CreateBrush(2, 16, 4, $00FF00)
CreateBrush(3, 8, 4, $0000FF)
SelectBrush(2)
DisplayBrush(3, 8, 0)
EndSelect()
CreateSprite(1, #BRUSH, 1)
CreateSprite(2, #BRUSH, 2, 8, 4, 2, 2, 0, 0)
Try(CreateSprite, 3, #BRUSH, 2, 8, 4)
Try(CreateSprite, 3, #BRUSH, 2, 8, 4, 2)
CreateSprite(4, #SPRITE, 1, 2)
GetBrushLink(10, #SPRITE, 4, 3)
ConvertToBrush(#SPRITE, 2, 11, 1)
GetBrushLink(12, #SPRITE, 4, 1)
DebugPrint(GetAttribute(#BRUSH, 10, #ATTRWIDTH), GetAttribute(#BRUSH, 10, #ATTRHEIGHT))
Try(GetBrushLink, 13, #SPRITE, 4, 4)
Try(ConvertToBrush, #SPRITE, 2, 13, 0)
SaveBrush(10, "linked3.bmp")
SaveBrush(11, "grid1.bmp")
SaveBrush(12, "linked1.bmp"))";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1055\n1055\n8 4\n1094\n1094\n");
    const std::pair<const char *, uint32_t> expected[] = {
        {"linked3.bmp", 0x0000FFu}, {"grid1.bmp", 0x00FF00u}, {"linked1.bmp", 0xFF0000u}};
    for (const auto &[file, colour] : expected) {
        const std::vector<uint8_t> bmp = ReadFileBytes(dir.File(file));
        ASSERT_GT(bmp.size(), 54u) << file;
        EXPECT_EQ(BmpPixel(bmp, 0, 0), colour) << file;
        EXPECT_EQ(BmpPixel(bmp, 7, 3), colour) << file;
    }
}

// The colour arithmetic a script sees: a transparent layer over white, a brush mix, a full tint, grays.
TEST(ObjectQueriesInPlayer, LayersAndBrushesMixTintAndGrayByTheirFormulas) {
    ScratchDirectory dir;
    const std::string script = R"(@DISPLAY {Width = 32, Height = 8, Color = $FFFFFF}
EnableLayers()
CreateBrush(1, 8, 8, $102030)
DisplayBrush(1, 0, 0, {transparency = 128})
DisplayBrush(1, 16, 0, {transparency = 255})
SaveSnapshot("layers.bmp")
CreateBrush(2, 1, 1, $FF0000)
TintBrush(2, $FFFFFF, 255)
CreateBrush(3, 1, 1, $00FF00)
BrushToGray(3)
CreateBrush(4, 1, 1, $FFFF00)
BrushToGray(4)
CreateBrush(5, 1, 1, $FFFFFF)
CreateBrush(6, 1, 1, $102030)
MixBrush(5, 6, 127)
For i = 2 To 5
  SaveBrush(i, "brush" .. i .. ".bmp")
Next)";
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    PlayerRun run = RunPlayer({"-quiet", "test.vla"}, dir.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<uint8_t> layers = ReadFileBytes(dir.File("layers.bmp"));
    ASSERT_GT(layers.size(), 54u);
    EXPECT_EQ(BmpPixel(layers, 3, 3), 0x878F97u);  // 0x10 + ((0xFF - 0x10) x 128 >> 8) per channel
    EXPECT_EQ(BmpPixel(layers, 19, 3), 0xFEFEFEu); // transparency 255 is level 0: mixed, not left out
    EXPECT_EQ(BmpPixel(layers, 27, 3), 0xFFFFFFu);
    const std::pair<const char *, uint32_t> brushes[] = {
        {"brush2.bmp", 0xFFFEFEu}, {"brush3.bmp", 0x959595u}, {"brush4.bmp", 0xE1E1E1u}, {"brush5.bmp", 0x878F97u}};
    for (const auto &[file, colour] : brushes) {
        const std::vector<uint8_t> bmp = ReadFileBytes(dir.File(file));
        ASSERT_GT(bmp.size(), 54u) << file;
        EXPECT_EQ(BmpPixel(bmp, 0, 0), colour) << file;
    }
}

} // namespace
