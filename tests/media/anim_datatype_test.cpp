// Formats our own readers do not take, through the FFmpeg-backed animation datatype: files made by ffmpeg's
// command-line tool (APNG, MP4) and an FLC and an IFF ANIM written here. Frame counts, sizes, pixels against the
// source frames, random access against reading in order, delays and the DPAN count.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "host/memory.h"
#include "media/anim/anim_file.h"
#include "tests/media/anim_fixtures.h"
#include "tests/support/files.h"

namespace {

std::string Fixture(const std::string &name) { return std::string(VL_SOURCE_DIR) + "/tests/data/media/" + name; }

std::vector<uint32_t> Ppm(const std::string &name) { return ReadTestImage(Fixture(name)).pixels; }

struct Opened {
    AnimFile *file = nullptr;
    int32_t width = 0, height = 0, frames = 0;
    int error = 0;
    explicit Opened(const std::string &path) { error = OpenAnimFile(path.c_str(), &file, &width, &height, &frames); }
    ~Opened() { CloseAnimFile(file); }
    std::vector<uint32_t> Frame(int n) {
        uint32_t *p = ReadAnimFileFrame(file, n);
        std::vector<uint32_t> v;
        if (p) v.assign(p, p + size_t(width) * size_t(height));
        FreeBlock(p);
        return v;
    }
};

// The mean difference of all channels, for lossy codecs.
double MeanDifference(const std::vector<uint32_t> &a, const std::vector<uint32_t> &b) {
    if (a.size() != b.size() || a.empty()) return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); i++)
        for (int s = 0; s < 24; s += 8) sum += std::abs(int(a[i] >> s & 255) - int(b[i] >> s & 255));
    return sum / double(a.size() * 3);
}

void WriteFile(const std::string &path, const Bytes &bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

// An FLC of 8 x 4 frames of 256 colours: a palette chunk, then each frame stored whole (FLI_COPY).
Bytes MakeFlc(const std::vector<Bytes> &frames, const std::vector<uint32_t> &palette) {
    Bytes file(128, 0);
    for (const Bytes &f : frames) {
        Bytes frame;
        Bytes colours;
        PutLe16(colours, 1), colours.push_back(0), colours.push_back(0); // one packet of all 256 colours
        for (uint32_t c : palette) colours.push_back(uint8_t(c >> 16)), colours.push_back(uint8_t(c >> 8)), colours.push_back(uint8_t(c));
        PutLe32(frame, uint32_t(colours.size() + 6)), PutLe16(frame, 4);
        frame.insert(frame.end(), colours.begin(), colours.end());
        PutLe32(frame, uint32_t(f.size() + 6)), PutLe16(frame, 16);
        frame.insert(frame.end(), f.begin(), f.end());
        PutLe32(file, uint32_t(frame.size() + 16)), PutLe16(file, 0xF1FA), PutLe16(file, 2);
        file.insert(file.end(), 8, 0);
        file.insert(file.end(), frame.begin(), frame.end());
    }
    Bytes header;
    PutLe32(header, uint32_t(file.size())), PutLe16(header, 0xAF12), PutLe16(header, uint32_t(frames.size()));
    PutLe16(header, 8), PutLe16(header, 4), PutLe16(header, 8), PutLe16(header, 3), PutLe32(header, 70);
    std::copy(header.begin(), header.end(), file.begin());
    file[80] = 128; // the first frame's offset
    return file;
}

TEST(AnimDatatype, FfmpegFilesOpenWithTheirFramesAndDelays) {
    Opened apng(Fixture("video.apng"));
    ASSERT_EQ(apng.error, 0);
    EXPECT_EQ(apng.file->kind, kAnimFileDatatype);
    EXPECT_EQ(apng.frames, 6);
    EXPECT_EQ(apng.width, 32);
    EXPECT_EQ(GetAnimFileFrameDelay(apng.file, 5), 0); // known once read
    EXPECT_EQ(apng.Frame(5), Ppm("video-5.ppm"));
    EXPECT_EQ(apng.Frame(0), Ppm("video-0.ppm"));
    EXPECT_EQ(GetAnimFileFrameDelay(apng.file, 5), 100);

    Opened mp4(Fixture("video.mp4"));
    ASSERT_EQ(mp4.error, 0);
    ASSERT_EQ(mp4.frames, 12);
    std::vector<std::vector<uint32_t>> inOrder;
    for (int n = 0; n < 12; n++) inOrder.push_back(mp4.Frame(n));
    // 4:2:0 chroma on the test pattern's sharp edges costs about 8 per channel; another frame costs more.
    EXPECT_LT(MeanDifference(inOrder[0], Ppm("video-0.ppm")), 10);
    EXPECT_LT(MeanDifference(inOrder[11], Ppm("video-11.ppm")), 10);
    EXPECT_GT(MeanDifference(inOrder[11], Ppm("video-0.ppm")), 2 * MeanDifference(inOrder[11], Ppm("video-11.ppm")));
    for (int n : {9, 2, 11, 5, 0, 6}) EXPECT_EQ(mp4.Frame(n), inOrder[size_t(n)]) << n;

    ScratchDirectory scratch;
    const std::string dir = scratch.path + "/";
    std::vector<uint32_t> palette(256);
    for (uint32_t i = 0; i < 256; i++) palette[i] = i << 16 | (255 - i) << 8 | (i * 7 & 255);
    std::vector<Bytes> frames;
    for (int k = 0; k < 3; k++) {
        Bytes f(32);
        for (size_t i = 0; i < f.size(); i++) f[i] = uint8_t(i * 5 + size_t(k) * 40);
        frames.push_back(f);
    }
    WriteFile(dir + "three.flc", MakeFlc(frames, palette));
    Opened flc(dir + "three.flc");
    ASSERT_EQ(flc.error, 0);
    ASSERT_EQ(flc.frames, 3);
    for (int n : {2, 0, 1}) {
        std::vector<uint32_t> want;
        for (uint8_t i : frames[size_t(n)]) want.push_back(palette[i]);
        EXPECT_EQ(flc.Frame(n), want) << n;
    }
}

TEST(AnimDatatype, UnknownFilesAndDpanCounts) {
    ScratchDirectory scratch;
    const std::string dir = scratch.path + "/";
    WriteFile(dir + "noise.bin", Bytes(300, 0x5A));
    Opened unknown(dir + "noise.bin");
    EXPECT_EQ(unknown.error, kErrAnimUnknownFormat);
    // Still pictures are left to the picture loader.
    for (const char *name : {"video-0.ppm", "byterun1.ilbm"}) EXPECT_EQ(Opened(Fixture(name)).error, kErrAnimUnknownFormat) << name;
    Opened missing(dir + "no such file");
    EXPECT_EQ(missing.error, 1045);
    // A single-FORM ANIM is no animation for our reader; the datatype takes it, and its DPAN count holds.
    AnimSpec s;
    s.width = 16, s.height = 4, s.planes = 2, s.palette = {0, 0xFF0000, 0x00FF00, 0x0000FF}, s.dpan = 24;
    s.frames = {Bytes(64, 1)};
    WriteFile(dir + "single.anim", WriteTestAnim(s));
    Opened single(dir + "single.anim");
    ASSERT_EQ(single.error, 0);
    EXPECT_EQ(single.file->kind, kAnimFileDatatype);
    EXPECT_EQ(single.frames, 24);
}

} // namespace
