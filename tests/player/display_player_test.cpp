// Displays and brushes in the real player, headless: the first display with a preloaded brush from a file linked
// into the applet, the start-up message, resizes beyond the screen, and pictures that cannot be read.
#include "tests/player/player_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>

namespace {

bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

std::string Fixture(const char *name) { return std::string(VL_SOURCE_DIR) + "/tests/data/scene/brushes/" + name; }

// Copies fixtures into the scratch directory, compiles the script there, then removes the copies again so that
// only what was linked into the applet is left.
void BuildApplet(const ScratchDirectory &dir, const std::string &script, const std::vector<const char *> &files) {
    for (const char *f : files) std::filesystem::copy_file(Fixture(f), dir.File(f));
    WriteBytes(dir.File("test.vla"), CompileToApplet(script, "test.vls", dir.path));
    for (const char *f : files) std::filesystem::remove(dir.File(f));
}

// Builds the applet and plays it quietly with the debug output on standard output.
PlayerRun PlayApplet(const ScratchDirectory &dir, const std::string &script, const std::vector<const char *> &files) {
    BuildApplet(dir, script, files);
    return RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
}

// ReadPixel over sprites composes the one pixel it reads: every pixel must equal the whole display's snapshot,
// with sprites overlapping, one moved (its old place restored), one with a see-through hole and one half outside.
TEST(DisplayInPlayer, ReadPixelOverSpritesMatchesTheSnapshot) {
    ScratchDirectory dir;
    PlayerRun run = PlayApplet(dir,
                "@DISPLAY {Width = 24, Height = 16, Color = $000040}\n"
                "Box(2, 2, 12, 8, $FF0000)\n"
                "CreateBrush(1, 8, 8, $00FF00)\n"
                "CreateBrush(2, 6, 6, $0000FF)\n"
                "SelectBrush(2)\nBox(2, 2, 2, 2, $FF00FF)\nEndSelect()\n"
                "SetBrushTransparency(2, $FF00FF)\n"
                "CreateSprite(1, #BRUSH, 1)\nCreateSprite(2, #BRUSH, 2)\nCreateSprite(3, #BRUSH, 2)\n"
                "DisplaySprite(1, 5, 4)\nDisplaySprite(2, 8, 6)\nDisplaySprite(1, 4, 3)\nDisplaySprite(3, 20, 12)\n"
                "For y = 0 To 15\n  Local row = \"\"\n"
                "  For x = 0 To 23\n    row = row .. ReadPixel(x, y) .. \" \"\n  Next\n  DebugPrint(row)\nNext\n"
                "SaveSnapshot(\"shot.bmp\", #IMGFMT_BMP)\n",
                {});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<uint8_t> shot = ReadFileBytes(dir.File("shot.bmp"));
    ASSERT_GT(shot.size(), 54u);
    std::istringstream rows(run.out);
    int seeThrough = 0;
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 24; x++) {
            uint32_t read = 0;
            ASSERT_TRUE(rows >> read) << "at " << x << ", " << y << ": " << run.out;
            EXPECT_EQ(read, BmpPixel(shot, x, y)) << "at " << x << ", " << y;
            seeThrough += x >= 10 && x < 12 && y >= 8 && y < 10 && read != 0x0000FF;
        }
    EXPECT_EQ(seeThrough, 4); // the hole shows what lies under the sprite
}

TEST(DisplayInPlayer, PreloadedLinkedBrushAppearsOnTheFirstDisplay) {
    ScratchDirectory dir;
    PlayerRun run = PlayApplet(dir,
                "@DISPLAY {Width = 32, Height = 24, Color = $0000FF}\n"
                "@LINKFILE \"plain.bmp\"\n"
                "@BRUSH 1, \"plain.bmp\", $FF00FF\n"
                "DisplayBrush(1, #RIGHT, #BOTTOM)\n"
                "SaveSnapshot(\"shot.bmp\", #IMGFMT_BMP)\n"
                "DebugPrint(GetAttribute(#BRUSH, 1, #ATTRWIDTH), GetAttribute(#BRUSH, 1, #ATTRHASMASK))\n"
                // Formats without their writer yet are not a usage error; numbers outside 0 to 4 are.
                "ExitOnError(False)\nSaveBrush(1, \"b.iff\", 0, #IMGFMT_ILBM)\nDebugPrint(GetLastError())\n"
                "SaveBrush(1, \"b.x\", 0, 5)\nDebugPrint(GetLastError())\n",
                {"plain.bmp"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "8 1\n0\n1055\n");
    std::vector<uint8_t> shot = ReadFileBytes(dir.File("shot.bmp"));
    ASSERT_GT(shot.size(), 54u);
    EXPECT_EQ(BmpPixel(shot, 0, 0), 0x0000FFu);   // the display's colour
    EXPECT_EQ(BmpPixel(shot, 24, 18), 0x00FF00u); // the brush's corner at the bottom right
    EXPECT_EQ(BmpPixel(shot, 27, 20), 0x0000FFu); // its transparent colour lets the display show through
    EXPECT_EQ(BmpPixel(shot, 31, 23), 0x00FF00u);
}

TEST(DisplayInPlayer, StartUpSaysAndActionUnlessQuiet) {
    ScratchDirectory dir;
    BuildApplet(dir, "DebugPrint(\"script\", GetAttribute(#BRUSH, GetBrushLink(Nil, #BGPIC, 1), #ATTRWIDTH))\n", {});
    PlayerRun loud = RunPlayer({"-debugdevice", "@stdout", "test.vla"}, dir.path);
    ASSERT_EQ(loud.exitCode, 0) << loud.err;
    EXPECT_TRUE(Contains(loud.out, "And Action!\nscript 640\n")) << loud.out;
    PlayerRun quiet = RunPlayer({"-quiet", "-debugdevice", "@stdout", "test.vla"}, dir.path);
    EXPECT_EQ(quiet.out, "script 640\n");
}

TEST(DisplayInPlayer, LoadBrushReadsTheLinkedCopies) {
    ScratchDirectory dir;
    PlayerRun run = PlayApplet(dir,
                "@LINKFILE \"key.gif\"\n@LINKFILE \"alpha.png\"\n@LINKFILE \"gray.jpg\"\n"
                "LoadBrush(1, \"key.gif\")\n"
                "LoadBrush(2, \"alpha.png\", {LoadAlpha = True})\n"
                "LoadBrush(3, \"gray.jpg\")\n"
                "DebugPrint(GetAttribute(#BRUSH, 1, #ATTRTRANSPARENTCOLOR), GetAttribute(#BRUSH, 2, #ATTRHASALPHA),"
                " GetAttribute(#BRUSH, 3, #ATTRWIDTH))\n",
                {"key.gif", "alpha.png", "gray.jpg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "0 1 16\n");
}

TEST(DisplayInPlayer, PreloadedBrushGetsItsOptionTable) {
    ScratchDirectory dir;
    PlayerRun run = PlayApplet(dir,
                "@LINKFILE \"alpha.png\"\n"
                "@BRUSH 1, \"alpha.png\", {LoadAlpha = True}\n"
                "@BRUSH 2, \"alpha.png\"\n"
                "DebugPrint(GetAttribute(#BRUSH, 1, #ATTRHASALPHA), GetAttribute(#BRUSH, 2, #ATTRHASALPHA))\n",
                {"alpha.png"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1 0\n");
}

TEST(DisplayInPlayer, ChangeDisplaySizeBeyondTheScreenIsReported) {
    ScratchDirectory dir;
    // Headless, the screen is large enough for a full HD display, not for one beyond 8K.
    BuildApplet(dir, "@DISPLAY {Width = 32, Height = 24}\nChangeDisplaySize(1920, 1080)\n"
                     "ChangeDisplaySize(7681, 64)\n", {});
    PlayerRun run = RunPlayer({"-quiet", "test.vla"}, dir.path);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Contains(run.err, "test.vls:3: Unable to change display size to 7681x64 !")) << run.err;
}

// Scaling display 1 from the command line or by the scale mode's name in the directive: display size, picture size.
TEST(DisplayInPlayer, ScaleOptionsAndNamedScaleModesScaleTheFirstDisplay) {
    const std::vector<std::vector<std::string>> cases{
        {"", "64 36 32 24", "-scalewidth", "64", "-scaleheight", "36"},
        {"", "64 48 32 24", "-scalewidth", "64"}, // the other side keeps the proportions
        {"", "32 24 32 24", "-scalemode", "scalemode_none", "-scalewidth", "64"},
        {"", "64 48 32 24", "-scalemode", "#SCALEMODE_LAYER", "-scalewidth", "64"},
        {", ScaleMode = \"#scalemode_auto\", ScaleWidth = 48, ScaleHeight = 48", "48 48 32 24"},
        {", ScaleMode = \"Stretch\"", "Unknown constant #Stretch!"}};
    for (const std::vector<std::string> &c : cases) {
        ScratchDirectory dir;
        BuildApplet(dir, "@DISPLAY {Width = 32, Height = 24" + c[0] + "}\nDebugPrint(GetAttribute(#DISPLAY, 1, "
                    "#ATTRWIDTH), GetAttribute(#DISPLAY, 1, #ATTRHEIGHT), GetAttribute(#BGPIC, 1, #ATTRWIDTH), "
                    "GetAttribute(#BGPIC, 1, #ATTRHEIGHT))\n", {});
        std::vector<std::string> args{"-quiet", "-debugdevice", "@stdout"};
        args.insert(args.end(), c.begin() + 2, c.end());
        args.push_back("test.vla");
        PlayerRun run = RunPlayer(args, dir.path);
        EXPECT_TRUE(Contains(run.out + run.err, c[1])) << c[0] << run.out << run.err;
    }
    ScratchDirectory dir;
    EXPECT_EQ(RunPlayer({"-quiet", "-scalemode", "huge", "test.vla"}, dir.path).exitCode, 2);
}

TEST(DisplayInPlayer, CoordinatesAtTheEndsOfTheRangeAreRefusedNotOverflowed) {
    ScratchDirectory dir;
    PlayerRun run = PlayApplet(dir,
                "@DISPLAY {Width = 64, Height = 48}\nCreateBrush(1, 8, 8)\nExitOnError(False)\n"
                "DisplayBrush(1, 2147483648, 2147483648)\nDisplayBrush(1, -2147483648, 0)\n"
                "DisplayBrush(1, 2147483640, -10)\n"
                "DisplayBrushPart(1, -2147483648, -2147483648, 2147483647, 0, 2147483647, 2147483647)\n"
                "DebugPrint(GetLastError())\nDisplayBrush(1, Sqrt(-1), 0)\nDebugPrint(GetLastError())\n",
                {});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1055\n1055\n");
    EXPECT_FALSE(Contains(run.err, "runtime error")) << run.err;
}

TEST(DisplayInPlayer, TruncatedPictureIsAnErrorNotACrash) {
    ScratchDirectory dir;
    PlayerRun run = PlayApplet(dir,
                "@LINKFILE \"truncated.png\"\nExitOnError(False)\nLoadBrush(1, \"truncated.png\")\n"
                "DebugPrint(GetLastError() <> 0)\n",
                {"truncated.png"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "1\n");
    EXPECT_FALSE(Contains(run.err, "Sanitizer")) << run.err;
}

TEST(DisplayInPlayer, DisplaysOpenCloseAndReopenFromTheScript) {
    ScratchDirectory dir;
    PlayerRun run = PlayApplet(dir,
                "@DISPLAY {Width = 32, Height = 24}\n"
                "CreateDisplay(2, {Width = 16, Height = 16})\n"
                "OpenDisplay(2)\nCloseDisplay(2)\nOpenDisplay(2)\n"
                "SelectDisplay(1)\n"
                "DebugPrint(GetAttribute(#DISPLAY, 2, #ATTRWIDTH), GetAttribute(#DISPLAY, 1, #ATTRHEIGHT),"
                " GetAttribute(#DISPLAY, 1, #ATTRCOUNT))\n"
                "FreeDisplay(2)\n"
                "ExitOnError(False)\nCloseDisplay(2)\nDebugPrint(GetLastError())\n"
                "GetAttribute(#DISPLAY, 2, #ATTRWIDTH)\nDebugPrint(GetLastError())\n"
                // A texture fill's brush must exist.
                "CreateDisplay(3, {FillStyle = #FILLTEXTURE, TextureBrush = 7, TextureX = 1, TextureY = 2})\n"
                "DebugPrint(GetLastError())\n"
                // A gradient fill takes its colours and angle.
                "CreateDisplay(4, {Width = 8, Height = 6, FillStyle = #FILLGRADIENT, GradientStartColor = $10204A,"
                " GradientEndColor = $70B0F0, GradientAngle = 90})\n"
                "DebugPrint(GetAttribute(#DISPLAY, 4, #ATTRWIDTH))\n",
                {});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "16 24 2\n1344\n1344\n1174\n8\n");
}

} // namespace

namespace {

// Linked pictures with alpha as layers (turned, see-through, tinted) and an anim layer; the snapshot composes them.
TEST(LayersInPlayer, SnapshotShowsTurnedSeeThroughAndTintedLayers) {
    ScratchDirectory dir;
    // alpha.png is 8 x 6: red left, blue right; rows 0-1 opaque, 2-3 half, 4-5 clear.
    PlayerRun run = PlayApplet(dir,
                "@DISPLAY {Width = 40, Height = 30, Color = $000000}\n"
                "@LINKFILE \"alpha.png\"\n"
                "EnableLayers()\n"
                "LoadBrush(1, \"alpha.png\", {LoadAlpha = True})\n"
                "DisplayBrush(1, 0, 0)\n"
                "DisplayBrush(1, 20, 10, {Rotate = 90})\n"
                "DisplayBrush(1, 0, 10, {Transparency = 128})\n"
                "DisplayBrush(1, 10, 20, {Tint = 255, TintColor = $00FF00})\n"
                "CreateLayer(30, 0, 6, 4, {Frames = 3, Color = $FFFF00})\n"
                "DebugPrint(GetLayerAtPos(31, 1))\n"
                "GetBrushLink(2, #LAYER, 2)\n"
                "DebugPrint(GetAttribute(#BRUSH, 2, #ATTRWIDTH), GetAttribute(#BRUSH, 2, #ATTRHEIGHT))\n"
                "SaveSnapshot(\"shot.bmp\", #IMGFMT_BMP)\n",
                {"alpha.png"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "5 \n6 8\n"); // the anim layer made for CreateLayer's frames; the turned layer's image
    std::vector<uint8_t> shot = ReadFileBytes(dir.File("shot.bmp"));
    ASSERT_GT(shot.size(), 54u);
    struct Expect {
        int x, y;
        uint32_t rgb;
    } cases[] = {
        {0, 0, 0xFF0000}, {5, 1, 0x0000FF}, {0, 4, 0x000000},   // plain
        {20, 3, 0x0000FF}, {20, 8, 0xFF0000}, {25, 5, 0x000000}, // turned a quarter: the right edge went up
        {0, 10, 0x7F0000}, {6, 11, 0x00007F},                    // half see-through over black
        {10, 20, 0x00FF00}, {17, 21, 0x00FF00}, {10, 25, 0x000000}, // tinted all the way, still clear below
        {30, 0, 0xFFFF00}, {35, 3, 0xFFFF00}, {36, 3, 0x000000},   // the anim layer's first frame
    };
    for (const Expect &e : cases) {
        const uint32_t got = BmpPixel(shot, e.x, e.y);
        for (int shift : {16, 8, 0})
            EXPECT_NEAR(int(got >> shift & 0xFF), int(e.rgb >> shift & 0xFF), 2) << e.x << "," << e.y;
    }
}

} // namespace

namespace {

// A brush layer scaled and moved, and a brush layer turned into a box, through the style table in the player.
TEST(LayersInPlayer, StyleChangesShowInTheSnapshot) {
    ScratchDirectory dir;
    PlayerRun run = PlayApplet(dir,
                "@DISPLAY {Width = 40, Height = 30, Color = $000000}\n"
                "EnableLayers()\n"
                "CreateBrush(1, 8, 6, $FF0000)\n"
                "DisplayBrush(1, 0, 0, {Name = \"b\"})\n"
                "DisplayBrush(1, 20, 0, {Name = \"box\"})\n"
                "SetLayerStyle(\"b\", {X = 2, Y = 20, Width = 16}, \"box\", {Type = #BOX, SizeX = 10, SizeY = 5,"
                " Color = $00FF00, FillStyle = 1, X = 25, Y = 5})\n"
                "Local b, box = GetLayerStyle(\"b\"), GetLayerStyle(\"box\")\n"
                "DebugPrint(b.x, b.y, b.width, b.name, box.sizex, box.sizey, box.color, box.name)\n"
                "SaveSnapshot(\"shot.bmp\", #IMGFMT_BMP)\n",
                {});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "2 20 16 b 10 5 65280 box\n");
    std::vector<uint8_t> shot = ReadFileBytes(dir.File("shot.bmp"));
    ASSERT_GT(shot.size(), 54u);
    const struct {
        int x, y;
        uint32_t rgb;
    } cases[] = {
        {2, 20, 0xFF0000}, {17, 25, 0xFF0000}, {18, 20, 0x000000}, {0, 0, 0x000000}, // moved and twice as wide
        {25, 5, 0x00FF00}, {34, 9, 0x00FF00}, {35, 9, 0x000000}, {20, 0, 0x000000}, // the box in the brush's place
    };
    for (const auto &e : cases) EXPECT_EQ(BmpPixel(shot, e.x, e.y), e.rgb) << e.x << "," << e.y;
}

// A new text, font size or text object and a position constant or target width in one style table: the
// position and size are worked out from the new content, as two calls (the content first) give. A text object
// that is not there is reported.
TEST(LayersInPlayer, NewContentAndItsPlaceInOneStyleCall) {
    ScratchDirectory dir;
    PlayerRun run = PlayApplet(dir, R"(@DISPLAY {Width = 640, Height = 100}
EnableLayers()
SetFont(#SANS, 18)
Function Placed(name)
    Local s = GetLayerStyle(name)
    Return(s.x .. " " .. s.y .. " " .. GetAttribute(#LAYER, name, #ATTRWIDTH) .. " " .. GetAttribute(#LAYER, name, #ATTRHEIGHT))
EndFunction
; Layer tag1 gets one table; its twin tag2 gets the content, then the place.
Function Case(tag, one, content, place)
    SetLayerStyle(tag .. 1, one)
    SetLayerStyle(tag .. 2, content)
    SetLayerStyle(tag .. 2, place)
    DebugPrint(tag, Placed(tag .. 1), "|", Placed(tag .. 2))
EndFunction
For i = 1 To 2
    TextOut(#RIGHT, #BOTTOM, "Best 0", {Name = "right" .. i})
    TextOut(0, 40, "ab", {Name = "wide" .. i})
Next
Case("right", {Text = "Best 1200", FontSize = 30, X = #RIGHT, Y = #BOTTOM}, {Text = "Best 1200", FontSize = 30},
     {X = #RIGHT, Y = #BOTTOM})
Case("wide", {Text = "a longer text", Width = 300}, {Text = "a longer text"}, {Width = 300})
CreateTextObject(1, "ab")
CreateTextObject(2, "a far longer text object")
DisplayTextObject(1, #RIGHT, 0, {Name = "object1"})
DisplayTextObject(1, #RIGHT, 0, {Name = "object2"})
Case("object", {ID = 2, X = #RIGHT}, {ID = 2}, {X = #RIGHT})
ExitOnError(False)
SetLayerStyle("object1", {ID = 3})
DebugPrint(GetLastError(), Placed("object1"))
)",
                               {});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Against the right and bottom edges at 640 and 100; the object layer as wide as the new object.
    EXPECT_EQ(run.out, "right 519 69 121 31 | 519 69 121 31\n"
                       "wide 0 40 292 19 | 0 40 292 19\n"
                       "object 477 0 163 19 | 477 0 163 19\n"
                       "1175 477 0 163 19\n");
}

// The shorthand layer commands pass their arguments on to the style setter in a table the caller never sees: a
// bad argument is named by its own number, while a table the caller gave keeps its argument number and its keys.
TEST(LayersInPlayer, ShorthandCommandsNameTheCallersArgument) {
    ScratchDirectory dir;
    PlayerRun run = PlayApplet(dir,
                "@DISPLAY {Width = 40, Height = 30}\n"
                "ExitOnError(False)\n"
                "EnableLayers()\n"
                "Box(0, 0, 10, 10, $FF0000)\n"
                "SetLayerName(1, \"b\")\n"
                "Function Says(f, ...)\n"
                "    f(...)\n"
                "    DebugPrint(GetErrorName(GetLastError()))\n"
                "EndFunction\n"
                "Says(SetLayerTransparency, \"b\", \"half\")\n"
                "Says(SetLayerLight, \"b\", \"red\", 50)\n"
                "Says(SetLayerTint, \"b\", $FF, \"x%\")\n"
                "Says(ScaleLayer, \"b\", 10, \"big\")\n"
                "Says(ScaleLayer, \"b\", 10, 10, \"smooth\")\n"
                "Says(RotateLayer, \"b\", {})\n"
                "Says(TransformLayer, \"b\", 1, 0, \"x\", 1)\n"
                "Says(SetLayerAnchor, \"b\", 0.5, \"top\")\n"
                "Says(SetLayerStyle, \"b\", {Transparency = \"half\"})\n"
                "Says(SetLayerStyle, \"b\", {}, \"b\", {Tint = \"x%\"})\n"
                "Says(SetLayerStyle, \"b\", {Rotate = \"left\"})\n",
                {});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Invalid percent format in argument 2!\n"
                       "Number expected in argument 2!\n"
                       "Invalid percent format in argument 3!\n"
                       "Invalid percent format in argument 3!\n"
                       "Number expected in argument 4!\n"
                       "Number expected in argument 2!\n"
                       "Number expected in argument 4!\n"
                       "Number expected in argument 3!\n"
                       "Invalid percent format in argument 2!\n"
                       "Invalid percent format in argument 4!\n"
                       "Number expected in table argument \"rotate\"!\n");
}

} // namespace
