// Every file under tests/fuzz/regressions/picture/ and picture_header/ (inputs a fuzzer once found harmful)
// gives an error code, read in place as fuzz_picture and fuzz_picture_header read them.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fuzz/regression_files.h"

#include "host/bitmap.h"
#include "host/memory.h"
#include "host/picture.h"
#include "host/virtual_file.h"

namespace {


// The bytes reachable in place for the lifetime of the object, under a ":::chunkS" name with a file name.
class InPlace {
public:
    InPlace(std::vector<uint8_t> bytes, const char *fileName) : bytes_(std::move(bytes)) {
        bytes_.push_back(0); // a valid address even for an empty file; not part of the range
        RegisterMemoryRange(bytes_.data(), bytes_.size() - 1, 0);
        char address[32];
        std::snprintf(address, sizeof address, "%016" PRIxPTR, reinterpret_cast<uintptr_t>(bytes_.data()));
        name_ = ":::chunkS0:" + std::to_string(bytes_.size() - 1) + "*" + fileName + "/" + address;
    }
    ~InPlace() { UnregisterMemoryRange(bytes_.data()); }
    const char *Name() const { return name_.c_str(); }

private:
    std::vector<uint8_t> bytes_;
    std::string name_;
};

} // namespace

// The first byte picks the name (bit 0: ".tga") and alpha (bit 1), as in fuzz_picture.
TEST(PictureFuzzRegressions, DamagedPicturesGiveAnErrorCode) {
    std::vector<std::filesystem::path> files = RegressionFiles("picture");
    ASSERT_FALSE(files.empty());
    for (const std::filesystem::path &path : files) {
        SCOPED_TRACE(path.string());
        std::vector<uint8_t> bytes = ReadFileBytes(path);
        ASSERT_FALSE(bytes.empty());
        const uint8_t mode = bytes[0];
        InPlace file(std::vector<uint8_t>(bytes.begin() + 1, bytes.end()), (mode & 1) ? "picture.tga" : "picture.pic");
        uint32_t *pixels = nullptr;
        AlphaPlane *alpha = nullptr;
        int64_t transparent = -1;
        int32_t width = 0, height = 0;
        EXPECT_NE(LoadPictureDatatype(file.Name(), (mode & 2) != 0, &pixels, &alpha, &transparent, &width, &height),
                  0);
        EXPECT_EQ(pixels, nullptr);
        FreeBlock(pixels);
        FreeAlphaPlane(alpha);
    }
}

TEST(PictureFuzzRegressions, DamagedHeadersGiveAnErrorCode) {
    std::vector<std::filesystem::path> files = RegressionFiles("picture_header");
    ASSERT_FALSE(files.empty());
    for (const std::filesystem::path &path : files) {
        SCOPED_TRACE(path.string());
        InPlace file(ReadFileBytes(path), "picture.pic");
        int32_t width = 0, height = 0;
        EXPECT_NE(ReadPictureHeaderSize(file.Name(), &width, &height), 0);
    }
}
