// The GIF and IFF ANIM readers against frames made by other encoders (ImageMagick, gifsicle) and by the writers
// in anim_fixtures.h, read in order and out of order, and against damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "host/memory.h"
#include "host/picture_gif.h"
#include "host/virtual_file.h"
#include "media/anim/anim_file.h"
#include "media/codecs/iff_anim.h"
#include "tests/fuzz/fuzz_memory_name.h"
#include "tests/fuzz/regression_files.h"
#include "tests/media/anim_fixtures.h"
#include "tests/support/files.h"

namespace {

using Pixels = std::vector<uint32_t>;

Bytes ReadFixture(const std::string &name) {
    return ReadFileBytes(std::string(VL_SOURCE_DIR) + "/tests/data/media/" + name);
}

// A reader over bytes in memory, through the same VirtualFile calls the player uses.
template <class Reader> struct Opened {
    Reader *reader = nullptr;
    int32_t width = 0, height = 0, frames = 0;
};
template <class Reader, class Open> Opened<Reader> OpenWith(const Bytes &bytes, Open open) {
    FuzzMemoryFile memory(bytes.data(), bytes.size());
    VirtualFile *file = OpenVirtualFile(memory.MemoryName().c_str(), kVirtualFileRead);
    Opened<Reader> o;
    o.reader = open(file, &o.width, &o.height, &o.frames);
    CloseVirtualFile(file);
    return o;
}
Opened<GifReader> OpenGif(const Bytes &bytes) {
    return OpenWith<GifReader>(bytes, [](VirtualFile *f, int32_t *w, int32_t *h, int32_t *n) {
        return OpenGifFile(f, w, h, n);
    });
}
Opened<IffAnimReader> OpenAnim(const Bytes &bytes) { return OpenWith<IffAnimReader>(bytes, OpenIffAnim); }

Pixels Take(uint32_t *pixels, size_t count) {
    Pixels p;
    if (pixels) p.assign(pixels, pixels + count);
    FreeBlock(pixels);
    return p;
}
Pixels GifFrame(const Opened<GifReader> &o, int n) {
    return Take(ReadGifFrame(o.reader, n), size_t(o.width) * size_t(o.height));
}
Pixels AnimFrame(const Opened<IffAnimReader> &o, int n) {
    return Take(ReadIffAnimFrame(o.reader, n), size_t(o.width) * size_t(o.height));
}

TEST(GifAnimation, FramesEqualImageMagicksCompositedFrames) {
    struct Case {
        const char *name;
        int frames;
    } cases[] = {{"dispose", 5}, {"local", 3}, {"interlaced", 2}};
    for (const Case &c : cases) {
        auto gif = OpenGif(ReadFixture(std::string(c.name) + ".gif"));
        ASSERT_NE(gif.reader, nullptr) << c.name;
        EXPECT_EQ(gif.frames, c.frames) << c.name;
        // Backwards first, then in order: random access equals reading in order.
        for (int pass = 0; pass < 2; pass++)
            for (int k = 0; k < c.frames; k++) {
                const int n = pass == 0 ? c.frames - 1 - k : k;
                const TestImage source = ReadTestImage(std::string(VL_SOURCE_DIR) + "/tests/data/media/" + c.name + "-" +
                                                       std::to_string(n) + ".ppm");
                const int w = source.width;
                Pixels want = source.pixels;
                ASSERT_EQ(w, gif.width);
                Pixels got = GifFrame(gif, n);
                ASSERT_EQ(got.size(), want.size()) << c.name << " frame " << n;
                if (std::string(c.name) == "dispose" && n >= 3) ExpectBackgroundDisposal(want, got, w);
                EXPECT_EQ(got, want) << c.name << " frame " << n;
            }
        EXPECT_EQ(GetGifFrameDelay(gif.reader, 0), c.frames == 2 ? 50 : c.frames == 3 ? 100 : 70);
        CloseGifFile(gif.reader);
    }
}

// A 10 x 10 screen: an opaque first frame of colour 1, then frames whose cases say what they test.
GifLayout SmallGif() {
    GifLayout desc;
    desc.width = desc.height = 10;
    desc.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    desc.background = 3;
    GifFrameSpec full;
    full.width = full.height = 10;
    full.indexes.assign(100, 1);
    desc.frames.push_back(full);
    return desc;
}

TEST(GifAnimation, DisposalTrailingBytesAndDeferredClear) {
    GifLayout desc = SmallGif();
    GifFrameSpec square; // a 4 x 4 square of colour 2 with a transparent hole, cleared to that colour afterwards
    square.left = square.top = 2, square.width = square.height = 4;
    square.indexes.assign(16, 2);
    square.indexes[5] = 0, square.transparent = 0, square.disposal = 2, square.delay = 7;
    // Bytes after the image data that look like block introducers.
    square.trailing = {0x21, 0x2C, 0x3B, 0x2C};
    desc.frames.push_back(square);
    GifFrameSpec dot; // one pixel past the screen's edge: cut
    dot.left = 9, dot.top = 9, dot.width = 3, dot.height = 1, dot.control = false;
    dot.indexes = {3, 3, 3};
    desc.frames.push_back(dot);
    for (bool deferred : {false, true}) {
        desc.deferredClear = deferred;
        auto gif = OpenGif(WriteTestGif(desc));
        ASSERT_NE(gif.reader, nullptr);
        ASSERT_EQ(gif.frames, 3);
        Pixels f1 = GifFrame(gif, 1), f2 = GifFrame(gif, 2), again = GifFrame(gif, 1);
        EXPECT_EQ(f1[2 * 10 + 2], 0x00FF00u);
        EXPECT_EQ(f1[3 * 10 + 3], 0xFF0000u); // the hole shows the frame before
        // Disposal 2 with a transparent index clears the rectangle to that index's colour.
        EXPECT_EQ(f2[3 * 10 + 3], 0x000000u);
        EXPECT_EQ(f2[1 * 10 + 1], 0xFF0000u);
        EXPECT_EQ(f2[99], 0x0000FFu);
        EXPECT_EQ(again, f1);
        EXPECT_EQ(GetGifFrameDelay(gif.reader, 1), 70);
        EXPECT_EQ(GetGifFrameDelay(gif.reader, 2), 0); // no graphic control
        CloseGifFile(gif.reader);
    }
    // A large noisy frame fills the code table: without clear codes it is a deferred clear and still decodes.
    GifLayout big = SmallGif();
    big.width = big.height = big.frames[0].width = big.frames[0].height = 128;
    std::mt19937 random(7);
    big.frames[0].indexes.resize(128 * 128);
    for (auto &i : big.frames[0].indexes) i = uint8_t(random() & 3);
    big.deferredClear = true;
    auto gif = OpenGif(WriteTestGif(big));
    ASSERT_NE(gif.reader, nullptr);
    Pixels f0 = GifFrame(gif, 0);
    ASSERT_EQ(f0.size(), size_t(128 * 128));
    for (size_t i = 0; i < f0.size(); i++) ASSERT_EQ(f0[i], big.palette[big.frames[0].indexes[i]]) << i;
    CloseGifFile(gif.reader);
}

TEST(GifAnimation, RefusesFilesWithoutImagesOrWithBrokenData) {
    GifLayout desc = SmallGif();
    desc.signature = "GIF87x";
    auto odd = OpenGif(WriteTestGif(desc));
    EXPECT_NE(odd.reader, nullptr); // only five signature bytes count
    CloseGifFile(odd.reader);
    desc.frames.clear();
    EXPECT_EQ(OpenGif(WriteTestGif(desc)).reader, nullptr);
    desc = SmallGif();
    Bytes truncated = WriteTestGif(desc);
    truncated.resize(truncated.size() - 8);
    EXPECT_EQ(OpenGif(truncated).reader, nullptr);
    // Image data is decoded when its frame is read: a second frame whose LZW data ends at once opens, and only it
    // fails.
    desc = SmallGif();
    GifFrameSpec second;
    second.left = second.top = 1, second.width = second.height = 3;
    second.indexes.assign(9, 2);
    desc.frames.push_back(second);
    Bytes broken = WriteTestGif(desc);
    const uint8_t header[] = {0x2C, 1, 0, 1, 0, 3, 0, 3, 0};
    auto at = std::search(broken.begin(), broken.end(), std::begin(header), std::end(header));
    ASSERT_NE(at, broken.end());
    const size_t data = size_t(at - broken.begin()) + 10; // the minimum code size
    ASSERT_EQ(broken[data], 2);
    broken[data + 2] = 4 | 5 << 3; // clear, end
    auto gif = OpenGif(broken);
    ASSERT_NE(gif.reader, nullptr);
    EXPECT_EQ(gif.frames, 2);
    EXPECT_EQ(GifFrame(gif, 0), Pixels(100, 0xFF0000u));
    EXPECT_EQ(ReadGifFrame(gif.reader, 1), nullptr);
    EXPECT_EQ(GifFrame(gif, 0), Pixels(100, 0xFF0000u));
    CloseGifFile(gif.reader);
}

// Frames of colour indexes with a moving, changing block, so every delta has work to do.
std::vector<Bytes> MovingFrames(int width, int height, int colours, int count) {
    std::vector<Bytes> frames;
    std::mt19937 random(11);
    Bytes f(size_t(width * height));
    for (auto &i : f) i = uint8_t(random() % unsigned(colours));
    for (int k = 0; k < count; k++) {
        for (int y = k; y < std::min(height, k + 7); y++)
            for (int x = 2 * k; x < std::min(width, 2 * k + 9); x++) f[size_t(y * width + x)] = uint8_t((x + k) % colours);
        frames.push_back(f);
    }
    return frames;
}

std::vector<uint32_t> TestPalette(int n) {
    std::vector<uint32_t> p;
    for (int i = 0; i < n; i++) p.push_back(uint32_t((i * 37) & 0xF0) << 16 | uint32_t((i * 91) & 0xF0) << 8 | uint32_t(i * 4 & 0xFC));
    return p;
}

// What a frame should look like: palette look-up, or hold-and-modify from black at each row's start.
Pixels Expected(const AnimSpec &s, const Bytes &indexes, const std::vector<uint32_t> &palette) {
    const int ham = (s.camg & 0x800) ? s.planes : 0, valueBits = ham - 2;
    std::vector<uint32_t> full = palette;
    if ((s.camg & 0x80) && !ham)
        for (size_t i = 0; i < palette.size() && full.size() < 256; i++) full.push_back((palette[i] >> 1) & 0x7F7F7F);
    full.resize(256, 0);
    Pixels p;
    for (int y = 0; y < s.height; y++) {
        uint32_t held = 0;
        for (int x = 0; x < s.width; x++) {
            const uint32_t i = indexes[size_t(y * s.width + x)];
            if (!ham) {
                p.push_back(full[i]);
                continue;
            }
            const uint32_t v = (i & ((1u << valueBits) - 1)) << (8 - valueBits);
            switch (i >> valueBits) {
            case 0: held = full[i & ((1u << valueBits) - 1)]; break;
            case 1: held = (held & 0xFFFF00) | v; break;
            case 2: held = (held & 0x00FFFF) | v << 16; break;
            default: held = (held & 0xFF00FF) | v << 8; break;
            }
            p.push_back(held);
        }
    }
    return p;
}

TEST(IffAnimation, EveryFrameEqualsItsSourceInAnyOrder) {
    struct Case {
        const char *name;
        int planes;
        uint32_t camg;
        int interleave, dpan;
        bool byteRun1;
        int colours; // palette entries written
        int width;   // 320 and 321 have rows of 40 and 42 bytes
    } cases[] = {
        {"interleave 0", 4, 0, 0, -1, true, 16, 320}, {"XOR", 3, 0, 1, 6, false, 8, 321},
        {"EHB", 6, 0x80, 0, 6, true, 32, 37},         {"HAM6", 6, 0x800, 0, -1, true, 16, 37},
        {"HAM8", 8, 0x800, 1, 6, true, 64, 37},       {"DPAN 0", 5, 0, 0, 0, true, 32, 37},
        {"8 planes", 8, 0, 0, -1, true, 256, 37},
    };
    for (const Case &c : cases) {
        AnimSpec s;
        s.width = c.width, s.height = 19, s.planes = c.planes, s.camg = c.camg;
        s.interleave = c.interleave, s.dpan = c.dpan, s.byteRun1 = c.byteRun1;
        s.palette = TestPalette(c.colours);
        s.frames = MovingFrames(s.width, s.height, 1 << c.planes, 6);
        // Frame 3 brings new colours, which later frames keep.
        std::vector<uint32_t> changed = s.palette;
        for (auto &colour : changed) colour ^= 0x505050;
        s.paletteChanges = {{3, changed}};
        auto anim = OpenAnim(WriteTestAnim(s));
        ASSERT_NE(anim.reader, nullptr) << c.name;
        ASSERT_EQ(anim.frames, 6) << c.name;
        EXPECT_EQ(GetIffAnimFrameDelay(anim.reader, 0), 33) << c.name; // 2 jiffies
        EXPECT_EQ(GetIffAnimFrameDelay(anim.reader, 4), 0) << c.name;  // not decoded yet
        for (int n : {5, 2, 0, 1, 2, 3, 4, 5, 3, 1, 4}) {
            const auto &palette = n >= 3 ? changed : s.palette;
            EXPECT_EQ(AnimFrame(anim, n), Expected(s, s.frames[size_t(n)], palette)) << c.name << " frame " << n;
        }
        EXPECT_EQ(GetIffAnimFrameDelay(anim.reader, 4), 200) << c.name; // 12 jiffies
        CloseIffAnim(anim.reader);
    }
}

TEST(IffAnimation, RefusesOrFailsDamagedFilesSafely) {
    AnimSpec s;
    s.width = 20, s.height = 9, s.planes = 2, s.palette = TestPalette(4);
    s.frames = MovingFrames(20, 9, 4, 3);
    s.operations = {5, 7}; // frame 2 uses operation 7
    auto anim = OpenAnim(WriteTestAnim(s));
    ASSERT_NE(anim.reader, nullptr);
    EXPECT_FALSE(AnimFrame(anim, 1).empty());
    EXPECT_TRUE(AnimFrame(anim, 2).empty());
    EXPECT_EQ(AnimFrame(anim, 1), Expected(s, s.frames[1], s.palette)); // the failure does not stick
    CloseIffAnim(anim.reader);
    // One FORM is a picture, not an animation.
    s.frames.resize(1);
    EXPECT_EQ(OpenAnim(WriteTestAnim(s)).reader, nullptr);
    // A CMAP of 300 entries writes nothing past the palette.
    s.frames = MovingFrames(20, 9, 4, 3);
    s.operations = {};
    s.paletteChanges = {{1, TestPalette(300)}};
    // More than 4096 frames (a DPAN count of 5000 over three FORMs): frames past the data fail.
    s.dpan = 5000;
    auto many = OpenAnim(WriteTestAnim(s));
    ASSERT_NE(many.reader, nullptr);
    EXPECT_EQ(many.frames, 5000);
    EXPECT_TRUE(AnimFrame(many, 4999).empty());
    EXPECT_EQ(GetIffAnimFrameDelay(many.reader, 4500), 0);
    CloseIffAnim(many.reader);
}

// Inputs the fuzzers once found harmful are refused.
TEST(AnimFuzzRegressions, DamagedFilesAreRefused) {
    for (const auto &path : RegressionFiles("gif_anim")) EXPECT_EQ(OpenGif(ReadFileBytes(path)).reader, nullptr) << path;
    for (const auto &path : RegressionFiles("iff_anim")) EXPECT_EQ(OpenAnim(ReadFileBytes(path)).reader, nullptr) << path;
    // The datatype may open these; reading their frames must stay inside every buffer.
    for (const auto &path : RegressionFiles("anim_datatype")) {
        const Bytes bytes = ReadFileBytes(path);
        FuzzMemoryFile memory(bytes.data(), bytes.size());
        int32_t w = 0, h = 0, frames = 0;
        AnimDatatypeReader *reader = OpenAnimDatatype(memory.MemoryName().c_str(), &w, &h, &frames);
        for (int32_t n = 0; reader && n < frames && n < 16; n++) FreeBlock(ReadAnimDatatypeFrame(reader, n));
        CloseAnimDatatype(reader);
    }
}

} // namespace
