// The AVI writer's files walked chunk by chunk: header layout, the three indexes against the chunks they point at,
// segments and failures; frames decoded by libjpeg-turbo through the picture loader, and by ffprobe if installed.
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "host/bitmap.h"
#include "media/codecs/avi_writer.h"
#include "tests/media/read_back.h"
#include "tests/support/files.h"

namespace {

// A 0x00RRGGBB colour with a white 4 x 4 top-left corner, in either 32-bit byte order.
HostBitmap *Frame(int32_t w, int32_t h, uint32_t colour, bool bgra = false) {
    HostBitmap *b = AllocHostBitmapFormat(w, h, bgra ? PixelFormatBGRA32 : PixelFormatARGB32);
    for (int32_t i = 0; i < w * h; ++i) {
        const uint32_t c = i % w < 4 && i / w < 4 ? 0xFFFFFF : colour;
        reinterpret_cast<uint32_t *>(b->pixels)[i] = bgra ? __builtin_bswap32(c) : c;
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

// Every list ends where its size says, the headers count the frames, and each legacy, standard and super index
// entry points at a chunk of its id and length.
RiffFile ExpectConsistent(const std::string &path, uint32_t frames) {
    const RiffFile f = ReadRiff(path);
    EXPECT_TRUE(f.whole);
    for (uint64_t at : {48, 33100, 16592 + 32}) EXPECT_EQ(f.U32(at), frames) << at; // avih, dmlh, video strh
    const auto points = [&](uint64_t at, const std::string &id, uint32_t length) {
        EXPECT_EQ(f.bytes.substr(size_t(at), 4) + std::to_string(f.U32(at + 4)), id + std::to_string(length));
    };
    const std::vector<std::string> legacy = f.Data("idx1");
    EXPECT_EQ(legacy.size(), 1u);
    for (size_t e = 0; !legacy.empty() && e + 16 <= legacy[0].size(); e += 16)
        points(LittleU32(legacy[0], e + 8), legacy[0].substr(e, 4), LittleU32(legacy[0], e + 12));
    for (const char *id : {"00wb", "01dc"}) {
        const uint64_t super = id[1] == '0' ? 188 : 16696;
        uint32_t indexed = 0;
        for (uint32_t s = 0; s < f.U32(super + 12); ++s) {
            const uint64_t index = f.U32(super + 32 + s * 16), base = f.U32(index + 20);
            EXPECT_EQ(f.bytes.substr(size_t(index), 4), id[1] == '0' ? "ix00" : "ix01");
            for (uint32_t k = 0; k < f.U32(index + 12); ++k, ++indexed)
                points(base + f.U32(index + 32 + k * 8) - 8, id, f.U32(index + 36 + k * 8));
        }
        EXPECT_EQ(indexed, frames);
        EXPECT_EQ(f.Data(id).size(), frames);
    }
    return f;
}

// Each test its own folder and spool folder, which must stay empty.
struct AviTest : testing::Test {
    ScratchDirectory scratch;
    std::string dir = scratch.path;
    void SetUp() override {
        std::filesystem::create_directories(dir + "/spool");
        setenv("TMPDIR", (dir + "/spool").c_str(), 1);
        gCalls = 0, gFailAt = 0, gFakeLength = 12;
    }
    const char *savedTemp = getenv("TMPDIR");
    std::string temp = savedTemp ? savedTemp : "";
    void TearDown() override {
        EXPECT_TRUE(std::filesystem::is_empty(dir + "/spool"));
        savedTemp ? setenv("TMPDIR", temp.c_str(), 1) : unsetenv("TMPDIR");
    }
};

} // namespace

TEST_F(AviTest, LaysOutHeadersAndFrames) {
    // Frame times and audio chunks of each rate, in empty files; then frames at 25.
    const struct {
        int32_t fps;
        int error;
        uint32_t micros, audioChunk;
    } rates[] = {{30, 0, 33333, 5880}, {1, 0, 1000000, 176400}, {24, 1055, 0, 0}, {8, 1055, 0, 0}, {0, 1055, 0, 0},
                 {2000000, 1055, 0, 0}, {25, 0, 40000, 7056}};
    const std::string path = dir + "/clip.avi";
    AviWriter *w = nullptr;
    for (const auto &r : rates) {
        ASSERT_EQ(AviOpen(path.c_str(), r.fps, 32, 24, 90, false, "clip", &w), r.error) << r.fps;
        if (r.error || r.fps == 25) continue;
        ASSERT_EQ(AviFinish(w), 0);
        const RiffFile f = ExpectConsistent(path, 0);
        EXPECT_EQ(std::vector<uint32_t>({f.U32(32), f.U32(36), f.U32(108 + 36)}),
                  std::vector<uint32_t>({r.micros, 0, r.audioChunk})); // max bytes per second 0
    }
    // Red, green given at half size, that frame again, blue in the other byte order.
    HostBitmap *red = Frame(32, 24, 0xFF0000), *green = Frame(16, 12, 0x00FF00), *blue = Frame(32, 24, 0xFF, true);
    for (auto [frame, width] : {std::pair(red, 32), {green, 16}, {nullptr, 0}, {blue, 32}})
        EXPECT_EQ(AviWriteFrame(w, frame, width, width * 3 / 4), 0);
    for (HostBitmap *b : {red, green, blue}) FreeHostBitmap(b);
    ASSERT_EQ(AviFinish(w), 0);
    const RiffFile f = ExpectConsistent(path, 4);
    const auto at = [&](uint64_t offset, size_t count) { return f.bytes.substr(size_t(offset), count); };
    EXPECT_EQ(at(0, 4) + at(8, 8) + at(20, 12), std::string("RIFFAVI LISThdrlavih\x38\0\0\0", 24));
    EXPECT_EQ(at(88, 12) + at(16572, 12), std::string("LIST\x5C\x40\0\0strlLIST\x74\x40\0\0strl", 24));
    EXPECT_EQ(at(188, 8) + at(33080, 12), std::string("indx\xF8\x3F\0\0LIST\x10\0\0\0odml", 20));
    EXPECT_EQ(f.Data("INAM")[0] + f.Data("ISFT")[0],
              std::string("clip\0\0\0\0Vistaloom by Tessark Pixelorn\0\0\0", 40));
    EXPECT_EQ(f.Data("ICMT")[0].rfind("Video generated by VistaloomPlayer 4.7", 0), 0u);
    EXPECT_EQ(f.Data("idx1")[0].size(), 32 * 4u);
    const std::vector<std::string> video = f.Data("01dc");
    const uint32_t colours[] = {0xFF0000, 0x00FF00, 0x00FF00, 0x0000FF};
    for (size_t n = 0; n < video.size(); ++n) {
        EXPECT_EQ(video[n].substr(6, 4), "AVI1");
        int32_t width = 0, height = 0;
        const std::vector<uint32_t> pixels = DecodePicture(video[n], &width, &height);
        ASSERT_EQ(pixels.size(), 32u * 24);
        for (int shift : {0, 8, 16}) {
            EXPECT_NEAR(int(pixels[12 * 32 + 20] >> shift & 0xFF), int(colours[n] >> shift & 0xFF), 16) << n;
            EXPECT_GT(pixels[0] >> shift & 0xFF, 0xE0u) << n; // the white corner, also when scaled
        }
    }
    EXPECT_EQ(video[2], video[1]);
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
    const RiffFile f = ExpectConsistent(path, 4);
    EXPECT_EQ(f.Data("01dc")[0].substr(4000) + f.Data("INAM")[0], std::string(8, '\0'));
    // A full disk is reported, and a failed or dropped file leaves the old one as it was.
    EXPECT_EQ(AviOpen("/dev/full", 25, 8, 8, 90, false, "", &w), 1052);
    EXPECT_EQ(AviOpen((dir + "/missing/x.avi").c_str(), 25, 8, 8, 90, false, "", &w), 1052);
    ASSERT_EQ(AviOpen(path.c_str(), 25, 8, 8, 90, false, "", &w), 0);
    EXPECT_EQ(AviWriteFrame(w, frame, 8, 8), 0);
    AviFree(w);
    EXPECT_EQ(ReadRiff(path).bytes, f.bytes);
    FreeHostBitmap(frame);
}

TEST_F(AviTest, OpensSegmentsAndIndexPairsAsTheyFill) {
    // Segments of about 60 kB: each holds an index pair and a few frames.
    const std::string path = dir + "/segments.avi", many = dir + "/many.avi";
    AviWriter *w = nullptr;
    ASSERT_EQ(AviOpen(path.c_str(), 25, 64, 48, 90, false, "segments", &w), 0);
    w->segmentLimit = w->laterSegmentLimit = 60000;
    for (int n = 0; n < 12; ++n) {
        HostBitmap *frame = Frame(64, 48, 0x10101 * uint32_t(n * 20));
        EXPECT_EQ(AviWriteFrame(w, frame, 64, 48), 0);
        FreeHostBitmap(frame);
    }
    ASSERT_EQ(AviFinish(w), 0);
    const RiffFile f = ExpectConsistent(path, 12);
    std::string types;
    for (const RiffChunk &c : f.chunks) types += c.id == "RIFF" ? c.type + "," : "";
    EXPECT_EQ(types, "AVI ,AVIX,AVIX,AVIX,");
    int32_t width = 0, height = 0, n = 0;
    for (const std::string &jpeg : f.Data("01dc"))
        EXPECT_NEAR(int(DecodePicture(jpeg, &width, &height).at(30 * 64 + 30) & 0xFF), n++ * 20, 4);
    EXPECT_EQ(f.U32(108 + 32), 12 * 1764u); // audio length in samples

    // Frame 2045 of a segment opens a second pair; the first then indexes 2044 frames.
    ASSERT_EQ(AviOpen(many.c_str(), 25, 8, 8, 90, false, "", &w), 0);
    w->encode = FakeJpeg;
    HostBitmap *frame = Frame(8, 8, 0);
    for (int k = 0; k < 2045; ++k) ASSERT_EQ(AviWriteFrame(w, frame, 8, 8), 0);
    FreeHostBitmap(frame);
    ASSERT_EQ(AviFinish(w), 0);
    const RiffFile m = ExpectConsistent(many, 2045);
    EXPECT_EQ(std::vector<uint32_t>({m.U32(16696 + 12), m.U32(16696 + 44), m.U32(m.U32(16696 + 32) + 12),
                                     m.U32(m.U32(16696 + 48) + 12)}),
              std::vector<uint32_t>({2, 2044, 2044, 1})); // pairs, the first one's duration, entries in use

    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
    std::string out;
    FILE *pipe = popen(("ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_frames,"
                        "nb_read_frames -of csv=p=0 " + path + " 2>&1; ffmpeg -v error -i " + path + " -f null - 2>&1")
                           .c_str(), "r");
    for (int c; pipe && (c = fgetc(pipe)) != EOF;) out += char(c);
    if (pipe) pclose(pipe);
    EXPECT_EQ(out, "12,12\n");
}
