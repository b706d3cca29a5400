// ILBM pictures written by netpbm's ppmtoilbm load as the PPM they were made from; damaged ones give errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "host/memory.h"
#include "host/picture.h"
#include "tests/support/files.h"

namespace {

std::string Fixture(const std::string &name) { return std::string(VL_SOURCE_DIR) + "/tests/data/media/" + name; }

struct Loaded {
    int error = 0;
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> alpha;
    int32_t width = 0, height = 0;
};
Loaded Load(const std::string &path, int withAlpha = 0) {
    Loaded l;
    uint32_t *pixels = nullptr;
    AlphaPlane *alpha = nullptr;
    int64_t transparent = -1;
    l.error = LoadPictureDatatype(path.c_str(), withAlpha, &pixels, &alpha, &transparent, &l.width, &l.height);
    if (pixels) l.pixels.assign(pixels, pixels + size_t(l.width) * size_t(l.height));
    for (int32_t y = 0; alpha && y < l.height; y++)
        for (int32_t x = 0; x < l.width; x++) l.alpha.push_back(alpha->bytes[size_t(y) * alpha->bytesPerRow + size_t(x)]);
    for (auto &p : l.pixels) p &= 0xFFFFFF;
    FreeBlock(pixels);
    FreeAlphaPlane(alpha);
    return l;
}

TEST(IlbmPicture, NetpbmFilesEqualTheirSource) {
    const Loaded want = Load(Fixture("ilbm-source.ppm"));
    ASSERT_EQ(want.error, 0);
    for (const char *name : {"byterun1.ilbm", "raw.ilbm", "masked.ilbm", "deep.ilbm"}) {
        const Loaded got = Load(Fixture(name), 1);
        ASSERT_EQ(got.error, 0) << name;
        EXPECT_EQ(got.width, want.width) << name;
        EXPECT_EQ(got.pixels, want.pixels) << name;
        // The mask plane is the alpha channel: netpbm's grey pattern shows some pixels and hides the others.
        if (std::string(name) == "masked.ilbm") {
            ASSERT_EQ(got.alpha.size(), got.pixels.size());
            const auto shown = std::count(got.alpha.begin(), got.alpha.end(), 255);
            EXPECT_GT(shown, 0);
            EXPECT_EQ(shown + std::count(got.alpha.begin(), got.alpha.end(), 0), std::ssize(got.alpha));
        }
    }
}

TEST(IlbmPicture, TruncatedBodyAndMissingColoursAreErrors) {
    std::string text = ReadFileText(Fixture("raw.ilbm"));
    ScratchDirectory scratch;
    const std::string dir = scratch.path + "/";
    // The FORM still claims the whole BODY, whose last rows are gone.
    WriteText(dir + "short.ilbm", text.substr(0, text.size() - 10));
    EXPECT_EQ(Load(dir + "short.ilbm").error, kErrCannotReadFile);
    text.replace(text.find("CMAP"), 4, "XMAP");
    std::ofstream(dir + "nocmap.ilbm", std::ios::binary) << text;
    EXPECT_EQ(Load(dir + "nocmap.ilbm").error, 1358);
}

} // namespace
