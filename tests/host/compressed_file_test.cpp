#include "host/compressed_file.h"
#include "runtime/app/applet_format.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#include "tests/support/files.h"

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

namespace {

struct CompressedFiles : ::testing::Test {
    ScratchDirectory scratch;
    fs::path dir = scratch.path;
    std::string Path(const char *name) const { return (dir / name).string(); }
};

Bytes RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes out(n);
    for (auto &b : out)
        b = static_cast<unsigned char>(rng());
    return out;
}

Bytes TextBytes(size_t n) {
    Bytes out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>("the quick brown fox jumps "[i % 26] + (i / 997) % 3);
    return out;
}

// Python's zlib is the independent implementation the format is checked against.
int RunPython(const std::string &script) {
    std::string command = "python3 -c '" + script + "'";
    return std::system(command.c_str());
}

int Compress(const std::string &src, const std::string &dst, uint64_t *size = nullptr) {
    return CompressToFile(kPackedFileMagic, src.c_str(), dst.c_str(), size);
}

int Decompress(const std::string &src, const std::string &dst, uint64_t *size = nullptr) {
    return DecompressFromFile(kPackedFileMagic, src.c_str(), dst.c_str(), 0, size);
}

TEST_F(CompressedFiles, EmptySourceGivesHeaderAndEmptyStream) {
    WriteBytes(Path("empty"), {});
    uint64_t size = 99;
    ASSERT_EQ(Compress(Path("empty"), Path("packed"), &size), 0);
    Bytes expected = {0x56, 0x4C, 0x50, 0x4B, 0, 0, 0, 0, 0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(ReadFileBytes(Path("packed")), expected);
    EXPECT_EQ(size, 16u);

    size = 99;
    ASSERT_EQ(Decompress(Path("packed"), Path("out"), &size), 0);
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(fs::exists(Path("out")));
    EXPECT_EQ(fs::file_size(Path("out")), 0u);
}

TEST_F(CompressedFiles, RoundTripsAtBufferBoundaries) {
    for (size_t n : {size_t(1), size_t(16383), size_t(16384), size_t(16385), size_t(32768), size_t(102400)}) {
        Bytes data = n == 102400 ? RandomBytes(n, 7) : TextBytes(n);
        WriteBytes(Path("src"), data);
        uint64_t packedSize = 0, unpackedSize = 0;
        ASSERT_EQ(Compress(Path("src"), Path("packed"), &packedSize), 0) << n;
        EXPECT_EQ(packedSize, fs::file_size(Path("packed"))) << n;
        ASSERT_EQ(Decompress(Path("packed"), Path("out"), &unpackedSize), 0) << n;
        EXPECT_EQ(unpackedSize, n);
        EXPECT_EQ(ReadFileBytes(Path("out")), data) << n;
    }
}

TEST_F(CompressedFiles, OutputInflatesWithPythonZlib) {
    Bytes data = TextBytes(70000);
    WriteBytes(Path("src"), data);
    ASSERT_EQ(Compress(Path("src"), Path("packed")), 0);
    ASSERT_EQ(RunPython("import sys,zlib; d=open(sys.argv[1],\"rb\").read(); assert d[:4]==b\"VLPK\"; "
                        "open(sys.argv[2],\"wb\").write(zlib.decompress(d[8:]))' '" +
                        Path("packed") + "' '" + Path("py_out")),
              0);
    EXPECT_EQ(ReadFileBytes(Path("py_out")), data);
}

TEST_F(CompressedFiles, PythonStreamsAtEveryLevelInflate) {
    Bytes data = TextBytes(50000);
    WriteBytes(Path("src"), data);
    for (int level : {0, 1, 9}) {
        std::string packed = Path(("py" + std::to_string(level)).c_str());
        ASSERT_EQ(RunPython("import sys,zlib; d=open(sys.argv[1],\"rb\").read(); "
                            "open(sys.argv[2],\"wb\").write(b\"VLPK\"+bytes(4)+zlib.compress(d," +
                            std::to_string(level) + "))' '" + Path("src") + "' '" + packed),
                  0);
        uint64_t size = 0;
        ASSERT_EQ(Decompress(packed, Path("out"), &size), 0) << level;
        EXPECT_EQ(size, data.size());
        EXPECT_EQ(ReadFileBytes(Path("out")), data) << level;
    }
}

TEST_F(CompressedFiles, PresetDictionaryStreamIsDataError) {
    ASSERT_EQ(
        RunPython("import sys,zlib; c=zlib.compressobj(zdict=b\"dictionary words\"); "
                  "open(sys.argv[1],\"wb\").write(b\"VLPK\"+bytes(4)+c.compress(b\"dictionary words\"*9)"
                  "+c.flush())' '" +
                  Path("dict")),
        0);
    EXPECT_EQ(Decompress(Path("dict"), Path("out")), 1309);
}

TEST_F(CompressedFiles, WrongMagicCreatesNoDestination) {
    WriteBytes(Path("src"), TextBytes(100));
    ASSERT_EQ(Compress(Path("src"), Path("packed")), 0);
    Bytes packed = ReadFileBytes(Path("packed"));
    packed[3] = 'X';
    WriteBytes(Path("packed"), packed);
    EXPECT_EQ(Decompress(Path("packed"), Path("out")), 1310);
    EXPECT_FALSE(fs::exists(Path("out")));
    EXPECT_EQ(Decompress(Path("src"), Path("out")), 1310);
    WriteBytes(Path("short"), {'V', 'L'});
    EXPECT_EQ(Decompress(Path("short"), Path("out")), 1310);
}

TEST_F(CompressedFiles, ReservedBytesAreIgnored) {
    Bytes data = TextBytes(3000);
    WriteBytes(Path("src"), data);
    ASSERT_EQ(Compress(Path("src"), Path("packed")), 0);
    Bytes packed = ReadFileBytes(Path("packed"));
    packed[4] = 0xDE, packed[5] = 0xAD, packed[6] = 0xBE, packed[7] = 0xEF;
    WriteBytes(Path("packed"), packed);
    ASSERT_EQ(Decompress(Path("packed"), Path("out")), 0);
    EXPECT_EQ(ReadFileBytes(Path("out")), data);
}

TEST_F(CompressedFiles, EveryTruncationIsAnErrorThatKeepsTheOldFile) {
    Bytes data = RandomBytes(40000, 3);
    WriteBytes(Path("src"), data);
    ASSERT_EQ(Compress(Path("src"), Path("packed")), 0);
    Bytes packed = ReadFileBytes(Path("packed"));
    for (size_t cut = 0; cut < packed.size(); cut += (cut < 64 || packed.size() - cut < 64) ? 1 : 97) {
        WriteBytes(Path("cut"), Bytes(packed.begin(), packed.begin() + static_cast<long>(cut)));
        int error = Decompress(Path("cut"), Path("out"));
        EXPECT_EQ(error, cut < 4 ? 1310 : 1309) << "cut at " << cut;
    }
    WriteBytes(Path("cut"), Bytes(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2)));
    WriteBytes(Path("out"), data);
    ASSERT_EQ(Decompress(Path("cut"), Path("out")), 1309);
    EXPECT_EQ(ReadFileBytes(Path("out")), data);
}

TEST_F(CompressedFiles, CorruptedStreamIsDataError) {
    WriteBytes(Path("src"), TextBytes(5000));
    ASSERT_EQ(Compress(Path("src"), Path("packed")), 0);
    Bytes packed = ReadFileBytes(Path("packed"));
    packed[8] ^= 0x01; // the zlib header check fails
    WriteBytes(Path("packed"), packed);
    EXPECT_EQ(Decompress(Path("packed"), Path("out")), 1309);
}

TEST_F(CompressedFiles, UnpackingPastTheSizeLimitStopsWithADataError) {
    WriteBytes(Path("src"), Bytes(200000, 0)); // packs to a few hundred bytes
    ASSERT_EQ(Compress(Path("src"), Path("packed")), 0);
    EXPECT_EQ(DecompressFromFile(kPackedFileMagic, Path("packed").c_str(), Path("out").c_str(), 0, nullptr, 50000),
              1309);
    EXPECT_FALSE(fs::exists(Path("out"))); // nothing half-unpacked is left
    EXPECT_EQ(DecompressFromFile(kPackedFileMagic, Path("packed").c_str(), Path("out").c_str(), 0, nullptr, 200000),
              0);
}

TEST_F(CompressedFiles, AppletStreamUnpacksAtOffsetInContainer) {
    Bytes data = TextBytes(20000);
    WriteBytes(Path("src"), data);
    ASSERT_EQ(CompressToFile(kCompressedAppletMagic, Path("src").c_str(), Path("applet").c_str(), nullptr),
              0);
    Bytes container = RandomBytes(1234, 5);
    Bytes applet = ReadFileBytes(Path("applet"));
    container.insert(container.end(), applet.begin(), applet.end());
    WriteBytes(Path("container"), container);
    ASSERT_EQ(DecompressFromFile(kCompressedAppletMagic, Path("container").c_str(), Path("out").c_str(), 1234,
                                 nullptr),
              0);
    EXPECT_EQ(ReadFileBytes(Path("out")), data);
    EXPECT_EQ(
        DecompressFromFile(kPackedFileMagic, Path("container").c_str(), Path("out").c_str(), 1234, nullptr),
        1310);
}

TEST_F(CompressedFiles, SameFileAsSourceAndDestinationIsRefusedUntouched) {
    Bytes data = TextBytes(1000);
    WriteBytes(Path("src"), data);
    EXPECT_EQ(Compress(Path("src"), Path("src")), 1055);
    EXPECT_EQ(ReadFileBytes(Path("src")), data);
    ASSERT_EQ(Compress(Path("src"), Path("packed")), 0);
    Bytes packed = ReadFileBytes(Path("packed"));
    EXPECT_EQ(Decompress(Path("packed"), Path("packed")), 1055);
    EXPECT_EQ(ReadFileBytes(Path("packed")), packed);
}

TEST_F(CompressedFiles, MissingSourceAndUnwritableDestination) {
    EXPECT_EQ(Compress(Path("missing"), Path("packed")), 1045);
    WriteBytes(Path("src"), TextBytes(10));
    EXPECT_EQ(Compress(Path("src"), Path("no_such_dir/packed")), 1052);
}

TEST_F(CompressedFiles, FullDiskIsAWriteError) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    WriteBytes(Path("src"), RandomBytes(100000, 9));
    EXPECT_EQ(Compress(Path("src"), "/dev/full"), 1052);
    ASSERT_EQ(Compress(Path("src"), Path("packed")), 0);
    EXPECT_EQ(Decompress(Path("packed"), "/dev/full"), 1052);
}

TEST(ZlibResults, MapToErrorCodes) {
    EXPECT_EQ(ZlibResultToError(0), 0);
    EXPECT_EQ(ZlibResultToError(-1), 1306);
    EXPECT_EQ(ZlibResultToError(-2), 1307);
    EXPECT_EQ(ZlibResultToError(-3), 1309);
    EXPECT_EQ(ZlibResultToError(2), 1309);
    EXPECT_EQ(ZlibResultToError(-4), 1000);
    EXPECT_EQ(ZlibResultToError(-5), 1091);
    EXPECT_EQ(ZlibResultToError(-6), 1308);
    EXPECT_EQ(ZlibResultToError(-42), 1091);
}

} // namespace
