#include "host/bitmap.h"
#include "host/memory.h"
#include "host/picture.h"
#include "host/picture_ilbm.h"

#include "runtime/app/errors.h"
#include "tests/support/bytes.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

void PngChunk(Bytes &out, const char *type, const Bytes &data) {
    PutBe32(out, uint32_t(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBe32(out, uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

// An RGBA PNG of w x h from 0xAARRGGBB words.
Bytes MakePng(int w, int h, const std::vector<uint32_t> &argb) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    PutBe32(ihdr, uint32_t(w));
    PutBe32(ihdr, uint32_t(h));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    PngChunk(out, "IHDR", ihdr);
    Bytes raw;
    for (int y = 0; y < h; y++) {
        raw.push_back(0);
        for (int x = 0; x < w; x++) {
            uint32_t p = argb[size_t(y * w + x)];
            raw.insert(raw.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
        }
    }
    uLongf size = compressBound(uLong(raw.size()));
    Bytes z(size);
    compress(z.data(), &size, raw.data(), uLong(raw.size()));
    z.resize(size);
    PngChunk(out, "IDAT", z);
    PngChunk(out, "IEND", {});
    return out;
}

// A 2x2 GIF89a with a two-colour palette and index 1 transparent. The LZW data sends a clear code before every
// index so every code stays three bits wide.
Bytes MakeGif() {
    Bytes g = {'G', 'I', 'F', '8', '9', 'a'};
    PutLe16(g, 2);
    PutLe16(g, 2);
    g.insert(g.end(), {0x80, 0, 0});               // global table of 2 entries
    g.insert(g.end(), {0x11, 0x22, 0x33, 0xFF, 0x00, 0xFF}); // 0: 0x112233, 1: 0xFF00FF
    g.insert(g.end(), {0x21, 0xF9, 4, 0x01, 0, 0, 1, 0});   // graphic control: transparent index 1
    g.push_back(0x2C);
    PutLe16(g, 0);
    PutLe16(g, 0);
    PutLe16(g, 2);
    PutLe16(g, 2);
    g.push_back(0);
    g.push_back(2); // minimum code size
    const int codes[] = {4, 0, 4, 1, 4, 1, 4, 0, 5};
    Bytes data;
    uint32_t acc = 0;
    int bits = 0;
    for (int c : codes) {
        acc |= uint32_t(c) << bits;
        bits += 3;
        while (bits >= 8) {
            data.push_back(uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits) data.push_back(uint8_t(acc));
    g.push_back(uint8_t(data.size()));
    g.insert(g.end(), data.begin(), data.end());
    g.push_back(0);
    g.push_back(0x3B);
    return g;
}

// A 2 x 2 24-bit BMP, bottom-up: top row red, white; bottom row green, blue.
Bytes MakeBmp() {
    Bytes b = {'B', 'M'};
    PutLe32(b, 54 + 16);
    PutLe32(b, 0);
    PutLe32(b, 54);
    PutLe32(b, 40);
    PutLe32(b, 2);
    PutLe32(b, 2);
    PutLe16(b, 1);
    PutLe16(b, 24);
    for (int i = 0; i < 6; i++) PutLe32(b, 0);
    b.insert(b.end(), {0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0, 0}); // bottom row: green, blue (B, G, R order)
    b.insert(b.end(), {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0}); // top row: red, white
    return b;
}

// An IFF picture of the given form type with a BMHD (size, depth, compression 0), an optional CMAP and a BODY.
Bytes MakeIff(const char *type, int w, int h, int depth, const Bytes &cmap, const Bytes &body) {
    std::vector<std::pair<const char *, Bytes>> chunks;
    if (!cmap.empty()) chunks.emplace_back("CMAP", cmap);
    chunks.emplace_back("BODY", body);
    return MakeIffForm(type, {w, h, depth}, chunks);
}

// A HAM6 ILBM, 4 x 1: palette colour 1, then modify red to 15, green to 8, blue to 3. Without HAM and with
// masking 2 it is a plain 6-plane picture whose colour 1 is transparent.
Bytes MakeHamIlbm(bool ham = true) {
    const uint8_t index[4] = {0x01, 0x2F, 0x38, 0x13};
    Bytes body;
    for (int p = 0; p < 6; p++) {
        uint8_t byte = 0;
        for (int x = 0; x < 4; x++) byte |= uint8_t(((index[x] >> p) & 1) << (7 - x));
        body.push_back(byte);
        body.push_back(0);
    }
    Bytes cmap(size_t(ham ? 16 : 64) * 3, 0);
    cmap[3] = 0x10, cmap[4] = 0x20, cmap[5] = 0x30;
    Bytes camg;
    PutBe32(camg, ham ? 0x800 : 0);
    return MakeIffForm("ILBM", {.w = 4, .h = 1, .depth = 6, .masking = uint8_t(ham ? 0 : 2), .transparent = 1,
                                .xAspect = 10, .yAspect = 11, .pageW = 320, .pageH = 200},
                       {{"CMAP", cmap}, {"CAMG", camg}, {"BODY", body}});
}

// A 16 x 2 two-plane ILBM with ByteRun1 rows and a mask plane (masking 1): row 0 indexes 1, row 1 indexes 2;
// the mask shows the left half of row 0 and all of row 1.
Bytes MakePackedMaskedIlbm() {
    Bytes body;
    auto packedRow = [&](uint8_t a, uint8_t b) {
        if (a == b) {
            body.push_back(0xFF); // repeat the next byte twice
            body.push_back(a);
        } else {
            body.push_back(1); // two literal bytes
            body.push_back(a);
            body.push_back(b);
        }
    };
    packedRow(0xFF, 0xFF); // row 0 plane 0
    packedRow(0x00, 0x00); // row 0 plane 1
    packedRow(0xFF, 0x00); // row 0 mask
    body.push_back(0x80);  // a no-op run
    packedRow(0x00, 0x00); // row 1 plane 0
    packedRow(0xFF, 0xFF); // row 1 plane 1
    packedRow(0xFF, 0xFF); // row 1 mask
    return MakeIffForm("ILBM", {.w = 16, .h = 2, .depth = 2, .masking = 1, .compression = 1},
                       {{"CMAP", Bytes{0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF}}, {"BODY", body}});
}

std::string WriteFixture(const std::string &name, const Bytes &bytes) {
    std::filesystem::path dir = std::filesystem::path(VL_BINARY_DIR) / "gfx_fixtures";
    std::filesystem::create_directories(dir);
    std::string path = (dir / name).string();
    FILE *f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

// A picture loaded through the datatype loader, freed when the test ends.
struct Loaded {
    Loaded(const std::string &name, int wantAlpha)
        : result(LoadPictureDatatype(name.c_str(), wantAlpha, &pixels, &alpha, &transparent, &w, &h)) {}
    uint32_t *pixels = nullptr;
    AlphaPlane *alpha = nullptr;
    int64_t transparent = -2;
    int32_t w = 0, h = 0;
    int result;
    ~Loaded() {
        FreeBlock(pixels);
        FreeAlphaPlane(alpha);
    }
};

const std::vector<uint32_t> kPngPixels = {0xFFFF0000, 0x8000FF00, 0x000000FF, 0xFF123456, 0x40ABCDEF, 0xFF000000};

TEST(GfxPicture, PngWithAlphaLoadsFromAChunkOfABiggerFile) {
    Bytes png = MakePng(3, 2, kPngPixels);
    Bytes container(1000, 0xAA);
    container.insert(container.end(), png.begin(), png.end());
    container.insert(container.end(), 500, 0xBB);
    std::string path = WriteFixture("container.bin", container);
    std::string name = ":::chunk1000:" + std::to_string(png.size()) + "*pic.png/" + path;
    Loaded l(name, 1);
    ASSERT_EQ(l.result, 0);
    ASSERT_EQ(l.w, 3);
    ASSERT_EQ(l.h, 2);
    for (int i = 0; i < 6; i++) EXPECT_EQ(l.pixels[i], kPngPixels[size_t(i)] & 0xFFFFFF) << i;
    ASSERT_NE(l.alpha, nullptr);
    EXPECT_EQ(l.alpha->bytesPerRow, 4);
    EXPECT_EQ(l.alpha->bytes[0], 0xFF);
    EXPECT_EQ(l.alpha->bytes[1], 0x80);
    EXPECT_EQ(l.alpha->bytes[2], 0x00);
    EXPECT_EQ(l.alpha->bytes[4 + 1], 0x40);
    EXPECT_EQ(l.transparent, -1);
}

TEST(GfxPicture, BmpRowsComeOutTopDown) {
    Loaded l(WriteFixture("rows.bmp", MakeBmp()), 1);
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.pixels[0], 0xFF0000u);
    EXPECT_EQ(l.pixels[1], 0xFFFFFFu);
    EXPECT_EQ(l.pixels[2], 0x00FF00u);
    EXPECT_EQ(l.pixels[3], 0x0000FFu);
    EXPECT_EQ(l.alpha, nullptr);
}

TEST(GfxPicture, AlphaPlaneOnlyWhenAskedFor) {
    std::string path = WriteFixture("alpha.png", MakePng(3, 2, kPngPixels));
    Loaded l(path, 0);
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.alpha, nullptr);
}

TEST(GfxPicture, PalettedGifGivesItsTransparentColour) {
    std::string path = WriteFixture("key.gif", MakeGif());
    Loaded l(path, 1);
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.transparent, 0xFF00FF);
    EXPECT_EQ(l.pixels[0], 0x112233u);
    EXPECT_EQ(l.pixels[1], 0xFF00FFu);
    EXPECT_EQ(l.pixels[3], 0x112233u);
    EXPECT_EQ(l.alpha, nullptr);
}

TEST(GfxPicture, TruncatedPngGivesAnErrorCode) {
    Bytes png = MakePng(3, 2, kPngPixels);
    for (size_t keep : {png.size() / 2, size_t(40), size_t(20), size_t(9)}) {
        std::string path = WriteFixture("cut.png", Bytes(png.begin(), png.begin() + long(keep)));
        Loaded l(path, 1);
        EXPECT_EQ(l.result, kErrCannotReadFile) << keep;
        EXPECT_EQ(l.pixels, nullptr);
    }
}

TEST(GfxPicture, OversizePictureIsRefusedWithoutCrashing) {
    Bytes png = MakePng(3, 2, kPngPixels);
    // 65536 x 65536 with a valid CRC: a decoder would ask for a 16 GiB surface.
    for (int at : {16, 20}) png[size_t(at)] = 0, png[size_t(at) + 1] = 1, png[size_t(at) + 2] = 0, png[size_t(at) + 3] = 0;
    uint32_t crc = uint32_t(crc32(0, png.data() + 12, 17));
    for (int i = 0; i < 4; i++) png[size_t(29 + i)] = uint8_t(crc >> (24 - 8 * i));
    Loaded l(WriteFixture("huge.png", png), 1);
    EXPECT_EQ(l.result, kErrCannotReadFile);
}

// A 4 x 2 32-bit run-length TGA with alpha (8 attribute bits), origin at the top: a run of three, then raw
// pixels.
const Bytes kRleTga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 32, 0x28,
                       0x82, 0x30, 0x20, 0x10, 0xFF,                   // three of 0x102030, opaque
                       0x04, 1, 2, 3, 0x80, 4, 5, 6, 0x00, 7, 8, 9, 0x40, // raw: five pixels
                       10, 11, 12, 0xFF, 13, 14, 15, 0xFF};

TEST(GfxPicture, RunLengthTgaWithAlpha) {
    Loaded l(WriteFixture("rle.tga", kRleTga), 1);
    ASSERT_EQ(l.result, 0);
    ASSERT_EQ(l.w * 10 + l.h, 42);
    EXPECT_EQ(l.pixels[2], 0x102030u);
    EXPECT_EQ(l.pixels[3], 0x030201u);
    EXPECT_EQ(l.pixels[7], 0x0F0E0Du);
    ASSERT_NE(l.alpha, nullptr);
    EXPECT_EQ(l.alpha->bytes[0], 0xFF);
    EXPECT_EQ(l.alpha->bytes[3], 0x80);
    EXPECT_EQ(l.alpha->bytes[l.alpha->bytesPerRow + 1], 0x40);
}

TEST(GfxPicture, ColourMappedTgaUsesItsMapAndRefusesIndexesPastIt) {
    // 3 x 1, map of two 24-bit entries starting at 0, bottom-up (one row, so no flip to see).
    Bytes tga = {0, 1, 1, 0, 0, 2, 0, 24, 0, 0, 0, 0, 3, 0, 1, 0, 8, 0,
                 0x33, 0x22, 0x11, 0xCC, 0xBB, 0xAA, // map
                 1, 0, 9};                           // index 9 lies past the map
    Loaded l(WriteFixture("mapped.tga", tga), 0);
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.pixels[0], 0xAABBCCu);
    EXPECT_EQ(l.pixels[1], 0x112233u);
    EXPECT_EQ(l.pixels[2], 0u);
}

TEST(GfxPicture, TgaRunPastThePictureIsCut) {
    Bytes tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0x20, 0xFF, 1, 2, 3};
    Loaded l(WriteFixture("long.tga", tga), 0);
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.pixels[1], 0x030201u);
}

TEST(GfxPicture, TgaIsTakenByItsName) {
    // 2 x 1 uncompressed 24-bit TGA, bottom-up: blue-green-red byte order.
    Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0, 0x30, 0x20, 0x10, 0xFF, 0xFF, 0xFF};
    Loaded l(WriteFixture("pic.tga", tga), 0);
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.pixels[0], 0x102030u);
    EXPECT_EQ(l.pixels[1], 0xFFFFFFu);
    std::string container = WriteFixture("pic.bin", tga);
    Loaded unnamed(container, 0);
    EXPECT_EQ(unnamed.result, 1358);
    Loaded linked(":::chunk0:" + std::to_string(tga.size()) + "*linked.TGA/" + container, 0);
    EXPECT_EQ(linked.result, 0);
}

TEST(GfxPicture, UnknownFormatIs1358) {
    std::string path = WriteFixture("noise.bin", Bytes(300, 0x42));
    Loaded l(path, 1);
    EXPECT_EQ(l.result, 1358);
    EXPECT_EQ(ErrorArgString(), path); // the message names the file
    Loaded missing("/nonexistent/file.png", 1);
    EXPECT_EQ(missing.result, kErrCannotReadFile);
}

TEST(GfxPicture, HamIlbmDecodesToExpectedColours) {
    std::string path = WriteFixture("ham.iff", MakeHamIlbm());
    Loaded l(path, 0);
    ASSERT_EQ(l.result, 0);
    ASSERT_EQ(l.w, 4);
    EXPECT_EQ(l.pixels[0], 0x102030u);
    EXPECT_EQ(l.pixels[1], 0xF02030u);
    EXPECT_EQ(l.pixels[2], 0xF08030u);
    EXPECT_EQ(l.pixels[3], 0xF08030u);
}

TEST(GfxPicture, IlbmTransparentColourComesFromItsPalette) {
    std::string path = WriteFixture("key.iff", MakeHamIlbm(false));
    Loaded l(path, 0);
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.transparent, 0x102030);
    EXPECT_EQ(l.pixels[0], 0x102030u);
    EXPECT_EQ(l.pixels[1], 0u); // index 0x2F of an all-black palette
}

TEST(GfxPicture, PackedIlbmWithMaskPlaneGivesAlpha) {
    std::string path = WriteFixture("packed.iff", MakePackedMaskedIlbm());
    Loaded l(path, 1);
    ASSERT_EQ(l.result, 0);
    ASSERT_EQ(l.w, 16);
    EXPECT_EQ(l.pixels[0], 0xFF0000u);
    EXPECT_EQ(l.pixels[15], 0xFF0000u);
    EXPECT_EQ(l.pixels[16], 0x00FF00u);
    ASSERT_NE(l.alpha, nullptr);
    EXPECT_EQ(l.alpha->bytes[7], 255);
    EXPECT_EQ(l.alpha->bytes[8], 0);
    EXPECT_EQ(l.alpha->bytes[l.alpha->bytesPerRow + 15], 255);
}

// Damaged files of every reader give an error or a picture, never a crash (the sanitizers watch the reads).
TEST(GfxPicture, MutatedFilesNeverCrash) {
    std::vector<std::pair<Bytes, const char *>> seeds = {
        {MakePng(3, 2, kPngPixels), "mutated.png"}, {MakeGif(), "mutated.gif"}, {MakeHamIlbm(), "mutated.iff"},
        {MakePackedMaskedIlbm(), "mutated.iff"}, {MakeBmp(), "mutated.bmp"},
        {MakeIff("PBM ", 3, 1, 8, Bytes(9, 7), Bytes{1, 2, 0, 0}), "mutated.lbm"}, {kRleTga, "mutated.tga"}};
    uint32_t rng = 99;
    auto next = [&] { return rng = rng * 1103515245u + 12345u; };
    for (const auto &[seed, name] : seeds)
        for (int round = 0; round < 60; round++) {
            Bytes b = seed;
            int edits = 1 + int(next() % 4);
            for (int e = 0; e < edits; e++) b[next() % b.size()] = uint8_t(next() >> 16);
            if (round % 3 == 0) b.resize(next() % b.size());
            std::string path = WriteFixture(name, b);
            Loaded l(path, 1);
            if (l.result == 0) {
                EXPECT_GT(l.w, 0);
                EXPECT_GT(l.h, 0);
            }
            int32_t w, h;
            ReadPictureHeaderSize(path.c_str(), &w, &h);
        }
}

TEST(GfxPicture, ChunkyPbmLooksUpItsPalette) {
    // 3 x 1, rows padded to an even length.
    Bytes pbm = MakeIff("PBM ", 3, 1, 8, Bytes{0, 0, 0, 0x11, 0x22, 0x33, 0xAA, 0xBB, 0xCC}, Bytes{1, 2, 0, 0});
    Loaded l(WriteFixture("chunky.lbm", pbm), 0);
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.pixels[0], 0x112233u);
    EXPECT_EQ(l.pixels[1], 0xAABBCCu);
    EXPECT_EQ(l.pixels[2], 0u);
}

TEST(GfxPicture, DeepIlbmIsTrueColour) {
    // 1 x 1 of 24 planes: red 0x81 (planes 0 and 7), green 0x02 (plane 9), blue 0xFF (planes 16-23).
    Bytes body;
    for (int p = 0; p < 24; p++) {
        bool on = p == 0 || p == 7 || p == 9 || p >= 16;
        body.push_back(on ? 0x80 : 0);
        body.push_back(0);
    }
    Loaded l(WriteFixture("deep.iff", MakeIff("ILBM", 1, 1, 24, {}, body)), 0);
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(l.pixels[0], 0x8102FFu);
}

TEST(GfxPicture, OtherIffFormsAreUnknownFormats) {
    Loaded l(WriteFixture("twelve.iff", MakeIff("ILBM", 1, 1, 12, {}, Bytes(24, 0))), 0);
    EXPECT_EQ(l.result, 1358);
    Loaded sound(WriteFixture("sound.iff", MakeIff("8SVX", 1, 1, 1, {}, Bytes(2, 0))), 0);
    EXPECT_EQ(sound.result, 1358);
}

// Found by mutating the packed ILBM: 30 planes and a short BODY. Handed on to a general decoder it crashed the
// process; IFF data now only ever reaches our own reader.
TEST(GfxPicture, ThirtyPlaneIlbmIsRefusedNotDecoded) {
    const Bytes crash = {
        0x46, 0x4F, 0x52, 0x4D, 0x00, 0x00, 0x00, 0x4A, 0x49, 0x4C, 0x42, 0x4D, 0x42, 0x4D, 0x48, 0x44, 0x00,
        0x00, 0x00, 0x14, 0x00, 0x10, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x1E, 0x01, 0x01, 0x00, 0x00, 0x00,
        0x01, 0x01, 0x00, 0x10, 0x00, 0x02, 0x43, 0x4D, 0x41, 0x50, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00,
        0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x42, 0x4F, 0x44, 0x59, 0x00, 0x00, 0x00, 0x0E,
        0xFF, 0xFF, 0xFF, 0x00, 0x01, 0xFF, 0x00, 0x80, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    Loaded l(WriteFixture("thirty.iff", crash), 1);
    EXPECT_EQ(l.result, 1358);
}

TEST(GfxPicture, TruncatedIlbmBodyIsAnError) {
    Bytes ilbm = MakeHamIlbm();
    ilbm.resize(ilbm.size() - 5);
    std::string path = WriteFixture("cut.iff", ilbm);
    Loaded l(path, 0);
    EXPECT_EQ(l.result, kErrCannotReadFile);
}

TEST(GfxPicture, IlbmRowsOfShortRunsEqualAPlainUnpackAndStayInTheirRow) {
    // Random ByteRun1 rows of short and long runs, some passing the row's end (a failure): nothing past the row is
    // written, however close to its end a short run lands.
    uint32_t seed = 11;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
    for (int round = 0; round < 200; round++) {
        const size_t count = 1 + next() % 40;
        std::vector<uint8_t> body, expected;
        size_t endOfRow = 0; // where the run that ends the row exactly ends in body; 0: a run passes the row's end
        while (expected.size() < count) {
            const size_t len = 2 + (next() % 4 == 0 ? next() % 20 : next() % 8);
            const bool literal = next() & 1;
            body.push_back(uint8_t(literal ? len - 1 : 1 - len));
            for (size_t i = 0; i < (literal ? len : 1); i++) body.push_back(uint8_t(next()));
            if (literal) expected.insert(expected.end(), body.end() - long(len), body.end());
            else expected.insert(expected.end(), len, body.back());
            if (expected.size() == count) endOfRow = body.size();
        }
        std::vector<uint8_t> row(count + 16, 0xEE);
        size_t pos = 0;
        EXPECT_EQ(UnpackIlbmRow(body, pos, row.data(), int32_t(count), 1), endOfRow != 0) << round;
        if (endOfRow) {
            EXPECT_TRUE(pos == endOfRow && std::equal(expected.begin(), expected.end(), row.begin())) << round;
        }
        EXPECT_TRUE(std::all_of(row.begin() + long(count), row.end(), [](uint8_t b) { return b == 0xEE; })) << round;
    }
}

TEST(GfxPictureHeader, ReadsSizesWithoutDecoding) {
    int32_t w = 0, h = 0;
    ASSERT_EQ(ReadPictureHeaderSize(WriteFixture("h.png", MakePng(3, 2, kPngPixels)).c_str(), &w, &h), 0);
    EXPECT_EQ(w * 100 + h, 302);
    ASSERT_EQ(ReadPictureHeaderSize(WriteFixture("h.gif", MakeGif()).c_str(), &w, &h), 0);
    EXPECT_EQ(w * 100 + h, 202);
    ASSERT_EQ(ReadPictureHeaderSize(WriteFixture("h.iff", MakeHamIlbm()).c_str(), &w, &h), 0);
    EXPECT_EQ(w * 100 + h, 401);

    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xC0, 0x00, 0x0B, 8, 0x01, 0x2C, 0x00, 0xC8};
    ASSERT_EQ(ReadPictureHeaderSize(WriteFixture("h.jpg", jpeg).c_str(), &w, &h), 0);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 300);

    Bytes bmp = {'B', 'M'};
    bmp.resize(14, 0);
    bmp.insert(bmp.end(), {40, 0, 0, 0, 7, 0, 0, 0, 0xFB, 0xFF, 0xFF, 0xFF}); // height -5: top-down
    bmp.resize(54, 0);
    ASSERT_EQ(ReadPictureHeaderSize(WriteFixture("h.bmp", bmp).c_str(), &w, &h), 0);
    EXPECT_EQ(w * 100 + h, 705);

    Bytes tiff = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 2};
    tiff.insert(tiff.end(), {1, 0, 0, 3, 0, 0, 0, 1, 0, 9, 0, 0});  // width 9 (short)
    tiff.insert(tiff.end(), {1, 1, 0, 4, 0, 0, 0, 1, 0, 0, 0, 6});  // height 6 (long)
    ASSERT_EQ(ReadPictureHeaderSize(WriteFixture("h.tif", tiff).c_str(), &w, &h), 0);
    EXPECT_EQ(w * 100 + h, 906);
}

TEST(GfxPictureHeader, TruncatedOrForeignHeadersAre1358) {
    int32_t w = 0, h = 0;
    EXPECT_EQ(ReadPictureHeaderSize(WriteFixture("s.png", Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0}).c_str(), &w, &h), 1358);
    EXPECT_EQ(ReadPictureHeaderSize(WriteFixture("s.jpg", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xFF}).c_str(), &w, &h), 1358);
    Bytes loop = {'I', 'I', '*', 0, 8, 0, 0, 0, 0xFF, 0xFF};
    EXPECT_EQ(ReadPictureHeaderSize(WriteFixture("s.tif", loop).c_str(), &w, &h), 1358);
    EXPECT_EQ(ReadPictureHeaderSize(WriteFixture("s.txt", Bytes{'h', 'i'}).c_str(), &w, &h), 1358);
}

} // namespace
