// The anim commands in the real player, headless: anim_commands.vls states its expected output inline; the
// frames it saves as brushes are compared with ImageMagick's frames and the source picture here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/media/anim_fixtures.h"
#include "tests/support/files.h"

namespace {

namespace fs = std::filesystem;

TEST(AnimInPlayer, CommandsFramesAndErrors) {
    const fs::path source = fs::path(VL_SOURCE_DIR) / "tests";
    ScratchDirectory scratch;
    const fs::path dir = scratch.path;
    fs::copy_file(source / "media/anim_commands.vls", dir / "script.vls");
    for (const char *name : {"dispose.gif", "one.gif"}) fs::copy_file(source / "data/media" / name, dir / name);
    fs::copy_file(source / "data/media/ilbm-source.ppm", dir / "pic.ppm");
    // An IFF ANIM whose frame 3 is an operation-7 delta.
    AnimSpec broken;
    broken.width = 8, broken.height = 4, broken.planes = 1, broken.palette = {0, 0xFFFFFF};
    for (int k = 0; k < 4; k++) broken.frames.push_back(Bytes(32, uint8_t(k & 1)));
    broken.operations = {5, 7, 5};
    const Bytes anim = WriteTestAnim(broken);
    std::ofstream(dir / "broken.anim", std::ios::binary).write(reinterpret_cast<const char *>(anim.data()),
                                                               std::streamsize(anim.size()));
    // A GIF whose see-through colour (blue) is not its background colour (green), with disposal 0.
    GifLayout keyed;
    keyed.width = 6, keyed.height = 4, keyed.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF}, keyed.background = 2;
    GifFrameSpec keyedFrame;
    keyedFrame.width = 6, keyedFrame.height = 4, keyedFrame.transparent = 3;
    keyedFrame.indexes = {1, 1, 1, 1, 1, 1, 1, 3, 3, 2, 2, 1, 1, 3, 3, 2, 2, 1, 1, 1, 1, 1, 1, 1};
    keyed.frames.push_back(keyedFrame);
    const Bytes keyedBytes = WriteTestGif(keyed);
    std::ofstream(dir / "key.gif", std::ios::binary).write(reinterpret_cast<const char *>(keyedBytes.data()),
                                                           std::streamsize(keyedBytes.size()));
    const std::string bin = VL_BINARY_DIR;
    const std::string command = "cd '" + dir.string() + "' && '" + bin + "/tools/vlac' -o script.vla script.vls && " +
                                "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy '" + bin +
                                "/player/vistaloom' -quiet -debugdevice @stdout script.vla > out.txt 2> err.txt";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFileText(dir / "err.txt");
    std::string expected;
    std::istringstream script(ReadFileText(dir / "script.vls"));
    for (std::string line; std::getline(script, line);)
        if (line.rfind("; expect: ", 0) == 0) expected += line.substr(10) + "\n";
    EXPECT_EQ(ReadFileText(dir / "out.txt"), expected);

    auto image = [&](const fs::path &path) { return ReadTestImage(path.string()); };
    const TestImage source4 = image(source / "data/media/dispose-4.ppm"), shot = image(dir / "preload.bmp");
    auto last = source4.pixels;
    const int w = source4.width, h = source4.height;
    ExpectBackgroundDisposal(last, shot.Cut(0, 0, w, h), w);
    EXPECT_EQ(shot.Cut(0, 0, w, h), last);
    for (const char *name : {"disk5.bmp", "last.bmp", "link5.bmp"}) EXPECT_EQ(image(dir / name).pixels, last) << name;
    // Frame 5 of the anim sprite, of the preloaded one and of the grid sprite; the layers' frames after playing.
    const TestImage sprites = image(dir / "sprites.bmp"), layers = image(dir / "playlayers.bmp");
    EXPECT_EQ(sprites.Cut(0, 0, w, h), last);
    EXPECT_EQ(sprites.Cut(16, 0, w, h), last);
    EXPECT_EQ(sprites.Cut(32, 0, 4, 2), image(source / "data/media/ilbm-source.ppm").Cut(0, 4, 4, 2));
    EXPECT_EQ(sprites.Cut(48, 20, 16, 9), sprites.Cut(48, 34, 16, 9)); // the text sprite as the text's brush
    EXPECT_NE(sprites.Cut(48, 20, 16, 9), std::vector<uint32_t>(16 * 9, 0));
    EXPECT_EQ(layers.Cut(40, 0, w, h), last);
    EXPECT_EQ(layers.Cut(0, 30, w, h), last);
    EXPECT_EQ(layers.Cut(24, 0, w, h), std::vector<uint32_t>(size_t(w * h), 0)); // an inserted black frame
    // Frame 2 (the blue square at 2,2 over red) at 8,8, drawn by its layer after the anim was freed.
    EXPECT_EQ(image(dir / "layered.bmp").Cut(8, 8, 4, 4),
              std::vector<uint32_t>({0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000,
                                     0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF, 0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF}));
    // Frame 5 of a grid with 2 per row is the first cell of the third row; in one row it is the fifth cell.
    const TestImage picture = image(source / "data/media/ilbm-source.ppm");
    EXPECT_EQ(image(dir / "grid5.bmp").pixels, picture.Cut(0, 4, 4, 2));
    EXPECT_EQ(image(dir / "row5.bmp").pixels, picture.Cut(17, 0, 4, 2));
}

} // namespace
