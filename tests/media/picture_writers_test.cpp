// The GIF and ILBM writers' byte layout and LZW coding, checked against our readers.
#include <cstdio>
#include <random>

#include <gtest/gtest.h>

#include "media/codecs/picture_writers.h"
#include "tests/media/read_back.h"
#include "tests/support/files.h"

namespace {

std::vector<uint8_t> Pack(const std::vector<uint8_t> &row) {
    std::vector<uint8_t> out(row.size() + (row.size() + 127) / 128);
    out.resize(PackByteRun1Row(row.data(), out.data(), row.size()));
    return out;
}

// Every frame of GIF bytes as shown, through our animation reader.
std::vector<std::vector<uint32_t>> ReadFrames(const std::string &bytes) {
    ScratchDirectory scratch;
    const std::string path = scratch.File("frames.gif");
    FILE *out = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), out);
    fclose(out);
    std::vector<std::vector<uint32_t>> frames;
    for (const ShownGifFrame &f : ReadGifFrames(path)) frames.push_back(f.pixels);
    return frames;
}

} // namespace

TEST(IlbmWriter, PacksRowsAndLaysOutTheFile) {
    const struct {
        std::vector<uint8_t> row, packed;
    } cases[] = {
        {{1, 2, 2, 3}, {3, 1, 2, 2, 3}},
        {{0, 0}, {0xFF, 0}},
        {{0x80, 0}, {1, 0x80, 0}},
        {{5, 5, 5, 7}, {0xFE, 5, 0, 7}},
        {{9, 8, 8, 8}, {0, 9, 0xFE, 8}},
    };
    for (const auto &c : cases) EXPECT_EQ(Pack(c.row), c.packed);
    EXPECT_EQ(Pack(std::vector<uint8_t>(300, 7)), (std::vector<uint8_t>{0x81, 7, 0x81, 7, 0xD5, 7}));
    std::vector<uint8_t> noise(300);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 7);
    EXPECT_EQ(Pack(noise).size(), 300u + 3); // literal groups of 128, 128, 44

    const struct {
        uint32_t pixel;
        uint32_t body;
    } pictures[] = {{0x000000, 48}, {0xFFFFFF, 72}};
    for (const auto &p : pictures) {
        std::string bytes;
        ASSERT_TRUE(EncodeIlbm(&p.pixel, 1, 1, &bytes));
        ASSERT_EQ(bytes.size(), 48 + p.body);
        EXPECT_EQ(bytes.substr(0, 20), std::string("FORM\0\0\0", 7) + char(p.body + 40) + "ILBMBMHD" +
                                           std::string("\0\0\0\x14", 4));
        EXPECT_EQ(bytes.substr(28, 4), std::string("\x18\0\x01\0", 4));
        EXPECT_EQ(uint8_t(bytes[47]), p.body);
        EXPECT_EQ(bytes.substr(48, 3), p.pixel ? std::string("\x01\x80\0", 3) : std::string("\xFF\0\xFF", 3));
    }
    std::string bytes;
    std::vector<uint32_t> wide(17, 0);
    ASSERT_TRUE(EncodeIlbm(wide.data(), 17, 1, &bytes));
    EXPECT_EQ(bytes.size(), 48u + 24 * 2); // 4 row bytes, one run each
    EXPECT_FALSE(EncodeIlbm(wide.data(), 65536, 1, &bytes));
}

TEST(GifWriter, LayoutAndLzwRoundTrip) {
    const uint8_t two[4] = {0, 1, 1, 0};
    const uint32_t blackWhite[2] = {0, 0xFFFFFF};
    GifWriter gif;
    BeginGif(&gif, 2, 2);
    AddGifFrame(&gif, two, blackWhite, 2, -1, 105);
    AddGifFrame(&gif, two, blackWhite, 2, 1, 0);
    FinishGif(&gif);
    const std::string &s = gif.bytes;
    EXPECT_EQ(s.substr(0, 13), std::string("GIF89a\x02\0\x02\0\xF7\0\0", 13));
    EXPECT_EQ(s.substr(13, 13), std::string("Amiga rules!\0", 13));
    const size_t gce = 13 + 768;
    EXPECT_EQ(s.substr(gce, 8), std::string("\x21\xF9\x04\x04\x0A\0\0\0", 8)); // no transparency, 105 ms -> 10
    EXPECT_EQ(s.substr(gce + 8, 3), "\x21\xFF\x0B");
    EXPECT_EQ(s.find("NETSCAPE2.0"), s.rfind("NETSCAPE2.0"));
    const size_t image = gce + 8 + 19;
    EXPECT_EQ(uint8_t(s[image]), 0x2C);
    EXPECT_EQ(uint8_t(s[image + 9]), 0x80); // 1 bit: a 2-entry table
    EXPECT_EQ(uint8_t(s[image + 16]), 2);   // minimum code size
    EXPECT_EQ(s.back(), '\x3B');
    EXPECT_NE(s.find(std::string("\x21\xF9\x04\x05\0\0\x01\0", 8)), std::string::npos);
    EXPECT_EQ(ReadFrames(s)[0], (std::vector<uint32_t>{0, 0xFFFFFF, 0xFFFFFF, 0}));

    // Random indices of every table size force clear codes; structured ones long runs.
    std::mt19937 random(29);
    for (int colors : {2, 3, 16, 200, 256})
        for (int structured = 0; structured < 2; ++structured) {
            const int w = 301, h = 97;
            std::vector<uint8_t> indices(size_t(w * h));
            std::vector<uint32_t> palette(static_cast<size_t>(colors)), expected(indices.size());
            for (int i = 0; i < colors; ++i) palette[size_t(i)] = random() & 0xFFFFFF;
            for (size_t i = 0; i < indices.size(); ++i) {
                indices[i] = uint8_t(structured ? (i / 37 + i % 5) % size_t(colors) : random() % unsigned(colors));
                expected[i] = palette[indices[i]];
            }
            GifWriter frames;
            BeginGif(&frames, w, h);
            AddGifFrame(&frames, indices.data(), palette.data(), colors, -1, 0);
            FinishGif(&frames);
            EXPECT_EQ(ReadFrames(frames.bytes), std::vector<std::vector<uint32_t>>{expected}) << colors << " " << structured;
        }
}

TEST(GifWriter, ChangedBoxesGiveTheFramesBack) {
    std::mt19937 random(7);
    for (const int w : {1, 2, 23})
        for (const int colors : {2, 255, 256}) {
            const int h = 5;
            GifWriter gif;
            BeginGif(&gif, w, h);
            std::vector<std::vector<uint32_t>> expected;
            std::vector<uint8_t> indices(size_t(w * h));
            for (int frame = 0; frame < 6; ++frame) {
                // Each frame its own palette; some frames repeat the last, some change a corner.
                std::vector<uint32_t> palette(static_cast<size_t>(colors));
                for (uint32_t &p : palette) p = random() & 0xFFFFFF;
                if (frame == 0 || frame == 3)
                    for (uint8_t &i : indices) i = uint8_t(random() % unsigned(colors));
                std::vector<uint32_t> shown(indices.size());
                if (frame > 0 && frame != 3) {
                    // Keep the colours shown: find or set palette entries that give the previous picture.
                    for (size_t i = 0; i < indices.size(); ++i) palette[indices[i]] = expected.back()[i];
                    if (frame == 4) indices[0] = uint8_t((indices[0] + 1) % colors), palette[indices[0]] = 0x123456;
                }
                for (size_t i = 0; i < indices.size(); ++i) shown[i] = palette[indices[i]];
                AddGifFrame(&gif, indices.data(), palette.data(), colors, -1, 0, true);
                expected.push_back(shown);
            }
            FinishGif(&gif);
            EXPECT_EQ(ReadFrames(gif.bytes), expected) << w << " " << colors;
        }
}
