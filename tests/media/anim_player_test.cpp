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

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// width x height pixels of a 24-bit bottom-up BMP or a P6 PPM, as 0x00RRGGBB.
std::vector<uint32_t> ReadImage(const fs::path &path, int *width, int *height) {
    const std::string b = ReadText(path);
    std::vector<uint32_t> out;
    auto byte = [&](size_t at) { return uint32_t(uint8_t(b.at(at))); };
    if (b.rfind("BM", 0) == 0) {
        auto u32 = [&](size_t at) { return byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24; };
        *width = int(u32(18)), *height = int(u32(22));
        const size_t stride = (size_t(*width) * 3 + 3) & ~size_t(3);
        for (int y = 0; y < *height; y++)
            for (int x = 0; x < *width; x++) {
                const size_t at = u32(10) + size_t(*height - 1 - y) * stride + size_t(x) * 3;
                out.push_back(byte(at + 2) << 16 | byte(at + 1) << 8 | byte(at));
            }
        return out;
    }
    int maxval = 0, consumed = 0;
    std::sscanf(b.c_str(), "P6 %d %d %d%n", width, height, &maxval, &consumed);
    for (size_t at = size_t(consumed) + 1; out.size() < size_t(*width * *height); at += 3)
        out.push_back(byte(at) << 16 | byte(at + 1) << 8 | byte(at + 2));
    return out;
}

// The rectangle x, y, w x h of an image.
std::vector<uint32_t> Cut(const std::vector<uint32_t> &image, int width, int x, int y, int w, int h) {
    std::vector<uint32_t> out;
    for (int row = y; row < y + h; row++)
        for (int column = x; column < x + w; column++) out.push_back(image[size_t(row * width + column)]);
    return out;
}

TEST(AnimInPlayer, CommandsFramesAndErrors) {
    const fs::path source = fs::path(VL_SOURCE_DIR) / "tests";
    const fs::path dir = fs::temp_directory_path() / ("vl_anim_" + std::to_string(getpid()));
    fs::create_directories(dir);
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
    const std::string bin = VL_BINARY_DIR;
    const std::string command = "cd '" + dir.string() + "' && '" + bin + "/tools/vlc' -o script.vla script.vls && " +
                                "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy '" + bin +
                                "/player/vistaloom' -quiet -debugdevice @stdout script.vla > out.txt 2> err.txt";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadText(dir / "err.txt");
    std::string expected;
    std::istringstream script(ReadText(dir / "script.vls"));
    for (std::string line; std::getline(script, line);)
        if (line.rfind("; expect: ", 0) == 0) expected += line.substr(10) + "\n";
    EXPECT_EQ(ReadText(dir / "out.txt"), expected);

    int w = 0, h = 0, pw = 0, ph = 0;
    auto last = ReadImage(source / "data/media/dispose-4.ppm", &w, &h);
    int sw = 0, sh = 0;
    const auto shot = ReadImage(dir / "preload.bmp", &sw, &sh);
    ExpectBackgroundDisposal(last, Cut(shot, sw, 0, 0, w, h), w);
    EXPECT_EQ(Cut(shot, sw, 0, 0, w, h), last);
    for (const char *name : {"disk5.bmp", "last.bmp", "link5.bmp"}) {
        int bw = 0, bh = 0;
        EXPECT_EQ(ReadImage(dir / name, &bw, &bh), last) << name;
    }
    // Frame 2 (the blue square at 2,2 over red) at 8,8, drawn by its layer after the anim was freed.
    const auto layered = ReadImage(dir / "layered.bmp", &sw, &sh);
    EXPECT_EQ(Cut(layered, sw, 8, 8, 4, 4), std::vector<uint32_t>({0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000,
                                                                  0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000, 0xFF0000,
                                                                  0x0000FF, 0x0000FF, 0xFF0000, 0xFF0000, 0x0000FF,
                                                                  0x0000FF}));
    const auto picture = ReadImage(source / "data/media/ilbm-source.ppm", &pw, &ph);
    int cw = 0, ch = 0;
    // Frame 5 of a grid with 2 per row is the first cell of the third row; in one row it is the fifth cell.
    EXPECT_EQ(ReadImage(dir / "grid5.bmp", &cw, &ch), Cut(picture, pw, 0, 4, 4, 2));
    EXPECT_EQ(ReadImage(dir / "row5.bmp", &cw, &ch), Cut(picture, pw, 17, 0, 4, 2));
    fs::remove_all(dir);
}

} // namespace
