// The AVI writer's files walked chunk by chunk: header layout, the three indexes against the chunks they point at,
// segments, failures; frames decoded by libjpeg-turbo through the picture loader, and by ffprobe when installed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "host/bitmap.h"
#include "media/codecs/avi_writer.h"
#include "tests/media/read_back.h"

namespace {

std::string ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// One 0x00RRGGBB colour with a white 4 x 4 square in the top-left corner, in a 32-bit or the 24-bit format.
HostBitmap *Frame(int32_t w, int32_t h, uint32_t colour, int32_t format = PixelFormatARGB32) {
    HostBitmap *b = AllocHostBitmapFormat(w, h, format);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            const uint32_t c = x < 4 && y < 4 ? 0xFFFFFF : colour;
            uint8_t *p = b->pixels + (size_t(y) * size_t(b->rowPixels) + size_t(x)) * size_t(PixelFormatBytes(format));
            const uint32_t word = format == PixelFormatBGRA32 ? (c & 0xFF) << 24 | (c & 0xFF00) << 8 | (c >> 8 & 0xFF00)
                                                              : c;
            if (format == PixelFormatRGB24) p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
            else std::memcpy(p, &word, 4);
        }
    return b;
}

int gCalls = 0, gFailAt = 0;
size_t gFakeLength = 12;
// A JPEG head of gFakeLength bytes; call gFailAt fails.
int FakeJpeg(const uint8_t *, int32_t, int32_t, int32_t, int32_t, int, std::vector<uint8_t> *out) {
    if (++gCalls == gFailAt) return 1000;
    out->assign(gFakeLength, 0);
    std::memcpy(out->data(), "\xFF\xD8\xFF\xE0\0\x10JFIF", 10);
    return 0;
}

// Checks the whole file against its indexes: every list ends where its size says, the headers count the frames,
// and each legacy, standard and super index entry points at a chunk of its id and length.
std::vector<RiffChunk> ExpectConsistent(const std::string &bytes, uint32_t frames) {
    std::vector<RiffChunk> chunks;
    EXPECT_TRUE(WalkRiff(bytes, &chunks));
    EXPECT_EQ(LittleU32(bytes, 48), frames);            // avih
    EXPECT_EQ(LittleU32(bytes, 33100), frames);         // dmlh
    EXPECT_EQ(LittleU32(bytes, 16592 + 32), frames);    // video length
    EXPECT_EQ(ChunkData(bytes, chunks, "01dc").size(), frames);
    EXPECT_EQ(ChunkData(bytes, chunks, "00wb").size(), frames);
    const auto points = [&](uint64_t at, const std::string &id, uint32_t length) {
        EXPECT_EQ(bytes.substr(size_t(at), 4), id) << at;
        EXPECT_EQ(LittleU32(bytes, at + 4), length) << at;
    };
    const std::vector<std::string> legacy = ChunkData(bytes, chunks, "idx1");
    EXPECT_EQ(legacy.size(), 1u);
    for (size_t e = 0; !legacy.empty() && e + 16 <= legacy[0].size(); e += 16)
        points(LittleU32(legacy[0], e + 8), legacy[0].substr(e, 4), LittleU32(legacy[0], e + 12));
    uint32_t indexed[2] = {0, 0};
    for (int stream = 0; stream < 2; ++stream) {
        const uint64_t super = stream ? 16696 : 188;
        for (uint32_t s = 0; s < LittleU32(bytes, super + 12); ++s) {
            const uint64_t at = LittleU32(bytes, super + 32 + s * 16), index = at;
            EXPECT_EQ(bytes.substr(size_t(at), 4), stream ? "ix01" : "ix00");
            const uint64_t base = LittleU32(bytes, index + 20);
            for (uint32_t k = 0; k < LittleU32(bytes, index + 12); ++k, ++indexed[stream])
                points(base + LittleU32(bytes, index + 32 + k * 8) - 8, stream ? "01dc" : "00wb",
                       LittleU32(bytes, index + 36 + k * 8));
        }
    }
    EXPECT_EQ(indexed[0], frames);
    EXPECT_EQ(indexed[1], frames);
    return chunks;
}

struct AviTest : testing::Test {
    // Tests run in parallel processes: each has its own folder.
    std::string dir = testing::TempDir() + "/avi_" + testing::UnitTest::GetInstance()->current_test_info()->name();
    void SetUp() override {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir + "/spool");
        setenv("TMPDIR", (dir + "/spool").c_str(), 1); // the spool file must never stay behind
        gCalls = 0, gFailAt = 0, gFakeLength = 12;
    }
    void TearDown() override {
        EXPECT_TRUE(std::filesystem::is_empty(dir + "/spool"));
        unsetenv("TMPDIR");
    }
};

} // namespace

TEST_F(AviTest, LaysOutHeadersAndFramesForEachFrameRate) {
    const struct {
        int32_t fps;
        int error;
        uint32_t micros, samples;
    } rates[] = {{25, 0, 40000, 1764}, {30, 0, 33333, 1470}, {1, 0, 1000000, 44100},
                 {24, 1055, 0, 0},     {8, 1055, 0, 0},      {0, 1055, 0, 0},     {2000000, 1055, 0, 0}};
    const std::string path = dir + "/clip.avi";
    for (const auto &r : rates) {
        AviWriter *w = nullptr;
        ASSERT_EQ(AviOpen(path.c_str(), r.fps, 32, 24, 90, false, "clip", &w), r.error) << r.fps;
        if (r.error) continue;
        // Red, green given at half size, the green one again, blue in the other byte order, yellow in 24 bits.
        HostBitmap *red = Frame(32, 24, 0xFF0000), *green = Frame(16, 12, 0x00FF00),
                   *blue = Frame(32, 24, 0x0000FF, PixelFormatBGRA32), *yellow = Frame(32, 24, 0xFFFF00, PixelFormatRGB24);
        const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x00FF00, 0x0000FF, 0xFFFF00};
        const uint32_t frames = r.fps == 25 ? 5 : 0;
        if (frames) {
            EXPECT_EQ(AviWriteFrame(w, red, 32, 24), 0);
            EXPECT_EQ(AviWriteFrame(w, green, 16, 12), 0);
            EXPECT_EQ(AviWriteFrame(w, nullptr, 0, 0), 0);
            EXPECT_EQ(AviWriteFrame(w, blue, 32, 24), 0);
            EXPECT_EQ(AviWriteFrame(w, yellow, 32, 24), 0);
        }
        for (HostBitmap *b : {red, green, blue, yellow}) FreeHostBitmap(b);
        ASSERT_EQ(AviFinish(w), 0);
        const std::string bytes = ReadAll(path);
        const std::vector<RiffChunk> chunks = ExpectConsistent(bytes, frames);
        EXPECT_EQ(bytes.substr(0, 4) + bytes.substr(8, 8) + bytes.substr(20, 12),
                  std::string("RIFFAVI LISThdrlavih\x38\0\0\0", 24));
        EXPECT_EQ(LittleU32(bytes, 32), r.micros);
        EXPECT_EQ(LittleU32(bytes, 36) == 0, frames == 0); // max bytes per second
        EXPECT_EQ(bytes.substr(88, 12), std::string("LIST\x5C\x40\0\0strl", 12));    // 16476
        EXPECT_EQ(bytes.substr(16572, 12), std::string("LIST\x74\x40\0\0strl", 12)); // 16500
        EXPECT_EQ(bytes.substr(188, 8), std::string("indx\xF8\x3F\0\0", 8));        // 16376
        EXPECT_EQ(bytes.substr(33080, 12), std::string("LIST\x10\0\0\0odml", 12));
        EXPECT_EQ(ChunkData(bytes, chunks, "INAM"), std::vector<std::string>{std::string("clip\0\0\0\0", 8)});
        EXPECT_EQ(ChunkData(bytes, chunks, "ISFT"),
                  std::vector<std::string>{std::string("Vistaloom by Tessark Pixelorn\0\0\0", 32)});
        EXPECT_EQ(ChunkData(bytes, chunks, "ICMT")[0].rfind("Video generated by VistaloomPlayer 4.7", 0), 0u);
        EXPECT_EQ(ChunkData(bytes, chunks, "idx1")[0].size(), 32 * frames);
        for (const std::string &audio : ChunkData(bytes, chunks, "00wb")) EXPECT_EQ(audio.size(), r.samples * 4);
        const std::vector<std::string> video = ChunkData(bytes, chunks, "01dc");
        for (size_t n = 0; n < video.size(); ++n) {
            EXPECT_EQ(video[n].substr(6, 4), "AVI1");
            int32_t width = 0, height = 0;
            const std::vector<uint32_t> pixels = DecodePicture(video[n], &width, &height);
            ASSERT_EQ(std::pair(width, height), std::pair(32, 24));
            for (int shift : {0, 8, 16})
                EXPECT_NEAR(int(pixels[12 * 32 + 20] >> shift & 0xFF), int(colours[n] >> shift & 0xFF), 16) << n;
            EXPECT_GT(pixels[0] & 0xFF, 0xE0u); // the white corner, also scaled from half size
        }
        if (frames) EXPECT_EQ(video[2], video[1]);
    }
}

TEST_F(AviTest, PadsFramesAndStaysConsistentAfterFailures) {
    // A JPEG of 4k + 1 bytes gets 3 zero bytes; the encoder's failure at frame 3 leaves no chunk behind.
    const std::string path = dir + "/padded.avi";
    AviWriter *w = nullptr;
    ASSERT_EQ(AviOpen(path.c_str(), 25, 8, 8, 90, false, "", &w), 0);
    w->encode = FakeJpeg;
    gFakeLength = 4001, gFailAt = 3;
    HostBitmap *frame = Frame(8, 8, 0);
    for (int n = 1; n <= 5; ++n) EXPECT_EQ(AviWriteFrame(w, frame, 8, 8), n == 3 ? 1000 : 0);
    ASSERT_EQ(AviFinish(w), 0);
    const std::string bytes = ReadAll(path);
    const std::vector<RiffChunk> chunks = ExpectConsistent(bytes, 4);
    EXPECT_EQ(ChunkData(bytes, chunks, "01dc")[0].substr(4000), std::string(4, '\0'));
    EXPECT_EQ(ChunkData(bytes, chunks, "INAM")[0], std::string(4, '\0'));

    // A full disk is reported, and a failed or dropped file leaves the old one as it was.
    EXPECT_EQ(AviOpen("/dev/full", 25, 8, 8, 90, false, "", &w), 1052);
    ASSERT_EQ(AviOpen(path.c_str(), 25, 8, 8, 90, false, "", &w), 0);
    EXPECT_EQ(AviWriteFrame(w, frame, 8, 8), 0);
    AviFree(w);
    EXPECT_EQ(ReadAll(path), bytes);
    EXPECT_EQ(AviOpen((dir + "/missing/x.avi").c_str(), 25, 8, 8, 90, false, "", &w), 1052);
    FreeHostBitmap(frame);
}

TEST_F(AviTest, OpensSegmentsAndIndexPairsAsTheyFill) {
    // Segments of about 60 kB: each holds an index pair and a few frames.
    const std::string path = dir + "/segments.avi";
    AviWriter *w = nullptr;
    ASSERT_EQ(AviOpen(path.c_str(), 25, 64, 48, 90, false, "segments", &w), 0);
    w->segmentLimit = w->laterSegmentLimit = 60000;
    const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF};
    for (int n = 0; n < 12; ++n) {
        HostBitmap *frame = Frame(64, 48, colours[n % 3]);
        EXPECT_EQ(AviWriteFrame(w, frame, 64, 48), 0);
        FreeHostBitmap(frame);
    }
    ASSERT_EQ(AviFinish(w), 0);
    std::string bytes = ReadAll(path);
    std::vector<RiffChunk> chunks = ExpectConsistent(bytes, 12);
    std::string types;
    for (const RiffChunk &c : chunks)
        if (c.id == "RIFF") types += c.type + ",";
    EXPECT_EQ(types, "AVI ,AVIX,AVIX,AVIX,");
    const std::vector<std::string> video = ChunkData(bytes, chunks, "01dc");
    for (size_t n = 0; n < video.size(); ++n) {
        int32_t width = 0, height = 0;
        const std::vector<uint32_t> pixels = DecodePicture(video[n], &width, &height);
        ASSERT_EQ(pixels.size(), 64u * 48);
        for (int shift : {0, 8, 16})
            EXPECT_NEAR(int(pixels[30 * 64 + 30] >> shift & 0xFF), int(colours[n % 3] >> shift & 0xFF), 24) << n;
    }

    // Frame 2045 of a segment opens a second pair; the first then indexes 2044 frames.
    const std::string many = dir + "/many.avi";
    ASSERT_EQ(AviOpen(many.c_str(), 25, 8, 8, 90, false, "", &w), 0);
    w->encode = FakeJpeg;
    HostBitmap *frame = Frame(8, 8, 0);
    for (int n = 0; n < 2045; ++n) ASSERT_EQ(AviWriteFrame(w, frame, 8, 8), 0);
    FreeHostBitmap(frame);
    ASSERT_EQ(AviFinish(w), 0);
    const std::string manyBytes = ReadAll(many);
    ExpectConsistent(manyBytes, 2045);
    EXPECT_EQ(LittleU32(manyBytes, 16696 + 12), 2u);
    const uint64_t first = LittleU32(manyBytes, 16696 + 32), second = LittleU32(manyBytes, 16696 + 48);
    EXPECT_EQ(LittleU32(manyBytes, first + 12), 2044u);
    EXPECT_EQ(LittleU32(manyBytes, second + 12), 1u);
    EXPECT_EQ(LittleU32(manyBytes, 16696 + 32 + 12), 2044u); // its duration

    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
    const auto run = [](const std::string &command) {
        std::string out;
        FILE *pipe = popen(command.c_str(), "r");
        for (int c; pipe && (c = fgetc(pipe)) != EOF;) out += char(c);
        if (pipe) pclose(pipe);
        return out;
    };
    // The demuxer may split audio chunks into several packets: the audio is counted in samples.
    const std::string streams =
        run("ffprobe -v error -count_frames -show_entries stream=codec_name,nb_frames,nb_read_frames -of csv=p=0 " +
            path);
    EXPECT_EQ(streams.rfind("pcm_s16le,21168,", 0), 0u) << streams;
    EXPECT_NE(streams.find("\nmjpeg,12,12\n"), std::string::npos) << streams;
    EXPECT_EQ(run("ffmpeg -v error -i " + path + " -f null - 2>&1"), "");
}
