#include "host/virtual_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#include "tests/support/files.h"

namespace {

class VirtualFileTest : public ::testing::Test {
protected:

    std::string WriteFile(const std::string &name, const std::string &bytes) {
        std::string path = directory + "/" + name;
        FILE *f = fopen(path.c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
        return path;
    }
    std::string ReadFile(const std::string &path) { return ReadFileText(path); }

    ScratchDirectory scratch;
    std::string directory = scratch.path;
};

TEST_F(VirtualFileTest, ChunkReadIsClippedToItsRange) {
    std::string container = WriteFile("container", "0123456789abcdef");
    std::string name = ":::chunk4:6*pic.png/" + container;
    VirtualFile *file = OpenVirtualFile(name.c_str(), kVirtualFileRead);
    ASSERT_NE(file, nullptr);
    char buffer[32] = {};
    EXPECT_EQ(ReadVirtualFileBuffered(file, buffer, sizeof buffer), 6);
    EXPECT_EQ(std::string(buffer), "456789");
    EXPECT_EQ(ReadVirtualFile(file, buffer, sizeof buffer), 0);
    EXPECT_EQ(GetCharVirtualFile(file), -1);
    EXPECT_EQ(VirtualFileAtEnd(file), 1);
    CloseVirtualFile(file);
}

TEST_F(VirtualFileTest, ChunkSeekToEndThenStartReportsLength) {
    std::string container = WriteFile("container", "0123456789abcdef");
    std::string name = ":::chunk4:6*x/" + container;
    VirtualFile *file = OpenVirtualFile(name.c_str(), kVirtualFileRead);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(SeekVirtualFile(file, 0, kSeekFromEnd), 0);
    EXPECT_EQ(SeekVirtualFile(file, 0, kSeekFromStart), 6);
    CloseVirtualFile(file);
}

TEST_F(VirtualFileTest, ChunkPositionsCountFromTheRangeStart) {
    std::string container = WriteFile("container", "0123456789abcdef");
    std::string name = ":::chunk4:6*x/" + container;
    VirtualFile *file = OpenVirtualFile(name.c_str(), kVirtualFileRead);
    ASSERT_NE(file, nullptr);
    SeekVirtualFile(file, 2, kSeekFromStart);
    EXPECT_EQ(GetCharVirtualFile(file), '6');
    EXPECT_EQ(SeekVirtualFile(file, 0, kSeekFromCurrent), 3);
    // Seeking past the range stops at its end.
    SeekVirtualFile(file, 100, kSeekFromCurrent);
    EXPECT_EQ(SeekVirtualFile(file, 0, kSeekFromCurrent), 6);
    CloseVirtualFile(file);
}

TEST_F(VirtualFileTest, ChunkReachingPastItsContainerIsRefused) {
    std::string container = WriteFile("container", "0123456789");
    std::string name = ":::chunk8:5*x/" + container;
    EXPECT_EQ(OpenVirtualFile(name.c_str(), kVirtualFileRead), nullptr);
}

TEST_F(VirtualFileTest, MalformedChunkNamesAreRefused) {
    std::string container = WriteFile("container", "0123456789");
    for (const std::string &name : std::vector<std::string>{":::chunk:5*x/" + container, ":::chunk1:5x/" + container, ":::chunk1:5*x",
                             ":::chunk99999999999999999999999:1*x/" + container, ":::chunk1:2*x/"}) {
        EXPECT_EQ(OpenVirtualFile(name.c_str(), kVirtualFileRead), nullptr) << name;
    }
}

TEST_F(VirtualFileTest, ChunkCannotBeOpenedForWriting) {
    std::string container = WriteFile("container", "0123456789");
    std::string name = ":::chunk0:5*x/" + container;
    EXPECT_EQ(OpenVirtualFile(name.c_str(), kVirtualFileCreate), nullptr);
    EXPECT_EQ(ReadFile(container), "0123456789");
}

TEST_F(VirtualFileTest, BufferedAndUnbufferedReadsShareOnePosition) {
    std::string path = WriteFile("f", "abcdefghij");
    VirtualFile *file = OpenVirtualFile(path.c_str(), kVirtualFileRead);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GetCharVirtualFile(file), 'a'); // fills the buffer with the whole file
    char two[3] = {};
    EXPECT_EQ(ReadVirtualFile(file, two, 2), 2);
    EXPECT_EQ(std::string(two), "bc");
    EXPECT_EQ(GetCharVirtualFile(file), 'd');
    CloseVirtualFile(file);
}

TEST_F(VirtualFileTest, BufferedWriteIsSeenByUnbufferedRead) {
    std::string path = directory + "/w";
    VirtualFile *file = OpenVirtualFile(path.c_str(), kVirtualFileCreate);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(WriteVirtualFileBuffered(file, "hello", 5), 5);
    SeekVirtualFile(file, 0, kSeekFromStart);
    char buffer[6] = {};
    EXPECT_EQ(ReadVirtualFile(file, buffer, 5), 5);
    EXPECT_EQ(std::string(buffer), "hello");
    CloseVirtualFile(file);
}

TEST_F(VirtualFileTest, UnbufferedWriteIsSeenByBufferedRead) {
    std::string path = WriteFile("w", "aaaaaaaa");
    VirtualFile *file = OpenVirtualFile(path.c_str(), kVirtualFileReadWrite);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GetCharVirtualFile(file), 'a'); // buffer now mirrors the old bytes
    EXPECT_EQ(WriteVirtualFile(file, "XY", 2), 2);
    SeekVirtualFile(file, 0, kSeekFromStart);
    char buffer[9] = {};
    EXPECT_EQ(ReadVirtualFileBuffered(file, buffer, 8), 8);
    EXPECT_EQ(std::string(buffer), "aXYaaaaa");
    CloseVirtualFile(file);
}

TEST_F(VirtualFileTest, MixedCallsMatchAPlainByteModel) {
    std::string path = directory + "/mixed";
    VirtualFile *file = OpenVirtualFile(path.c_str(), kVirtualFileCreate);
    ASSERT_NE(file, nullptr);
    std::vector<uint8_t> model;
    int64_t position = 0;
    std::mt19937 random(7);
    for (int step = 0; step < 3000; ++step) {
        int op = static_cast<int>(random() % 7);
        size_t count = random() % 3 ? random() % 40 : random() % 40000; // some exceed the buffer
        if (op <= 1) { // write
            std::vector<uint8_t> bytes(count);
            for (auto &b : bytes) b = static_cast<uint8_t>(random());
            int64_t n = op == 0 ? WriteVirtualFile(file, bytes.data(), count)
                                : WriteVirtualFileBuffered(file, bytes.data(), count);
            ASSERT_EQ(n, static_cast<int64_t>(count));
            if (model.size() < position + count) model.resize(position + count);
            std::copy(bytes.begin(), bytes.end(), model.begin() + position);
            position += static_cast<int64_t>(count);
        } else if (op <= 3) { // read
            std::vector<uint8_t> bytes(count);
            int64_t n = op == 2 ? ReadVirtualFile(file, bytes.data(), count)
                                : ReadVirtualFileBuffered(file, bytes.data(), count);
            int64_t expected = std::min<int64_t>(static_cast<int64_t>(count), static_cast<int64_t>(model.size()) - position);
            ASSERT_EQ(n, expected) << "step " << step;
            ASSERT_TRUE(std::equal(bytes.begin(), bytes.begin() + n, model.begin() + position)) << "step " << step;
            position += n;
        } else if (op == 4) {
            int64_t target = model.empty() ? 0 : static_cast<int64_t>(random() % (model.size() + 1));
            ASSERT_EQ(SeekVirtualFile(file, target, kSeekFromStart), position);
            position = target;
        } else if (op == 5) { // a view of what is at hand, then a step through part of it
            size_t have = 0;
            const uint8_t *view = PeekVirtualFile(file, &have);
            ASSERT_NE(view, nullptr);
            ASSERT_EQ(have == 0, position >= static_cast<int64_t>(model.size())) << "step " << step;
            ASSERT_LE(position + static_cast<int64_t>(have), static_cast<int64_t>(model.size()));
            ASSERT_TRUE(std::equal(view, view + have, model.begin() + position)) << "step " << step;
            size_t skip = std::min(have, count);
            AdvanceVirtualFile(file, skip);
            position += static_cast<int64_t>(skip);
        } else {
            ASSERT_EQ(VirtualFileLength(file), static_cast<int64_t>(model.size()));
            ASSERT_EQ(VirtualFileAtEnd(file), position >= static_cast<int64_t>(model.size()) ? 1 : 0);
        }
    }
    ASSERT_EQ(CloseVirtualFile(file), 0);
    std::string written = ReadFile(path);
    EXPECT_EQ(written, std::string(model.begin(), model.end()));
}

TEST_F(VirtualFileTest, OpenModesReadCreateAndReadWrite) {
    std::string path = WriteFile("modes", "keep");
    VirtualFile *file = OpenVirtualFile(path.c_str(), kVirtualFileReadWrite);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(VirtualFileLength(file), 4);
    CloseVirtualFile(file);
    file = OpenVirtualFile(path.c_str(), kVirtualFileCreate);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(VirtualFileLength(file), 0);
    CloseVirtualFile(file);
    EXPECT_EQ(OpenVirtualFile((directory + "/missing").c_str(), kVirtualFileRead), nullptr);
    EXPECT_EQ(OpenVirtualFile(directory.c_str(), kVirtualFileRead), nullptr); // a directory is no stream
}

TEST_F(VirtualFileTest, ReadOnlyStreamRefusesWrites) {
    std::string path = WriteFile("ro", "data");
    VirtualFile *file = OpenVirtualFile(path.c_str(), kVirtualFileRead);
    ASSERT_NE(file, nullptr);
    EXPECT_LT(WriteVirtualFileBuffered(file, "x", 1), 0);
    CloseVirtualFile(file);
    EXPECT_EQ(ReadFile(path), "data");
}

TEST_F(VirtualFileTest, PlainSeekOutsideTheFileIsRefused) {
    std::string path = WriteFile("s", "12345");
    VirtualFile *file = OpenVirtualFile(path.c_str(), kVirtualFileRead);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(SeekVirtualFile(file, 6, kSeekFromStart), -1);
    EXPECT_EQ(SeekVirtualFile(file, -1, kSeekFromStart), -1);
    EXPECT_EQ(SeekVirtualFile(file, 0, kSeekFromCurrent), 0);
    CloseVirtualFile(file);
}

TEST(VirtualFileErrors, WriteErrorIsReportedByFlushAndClose) {
    VirtualFile *file = OpenVirtualFile("/dev/full", kVirtualFileCreate);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(WriteVirtualFileBuffered(file, "lost", 4), 4); // still in the buffer
    EXPECT_EQ(FlushVirtualFile(file), 0);
    EXPECT_LT(WriteVirtualFile(file, "x", 1), 0);
    EXPECT_NE(CloseVirtualFile(file), 0);
}

// The ":::memory" name of length bytes at base.
std::string MemoryName(const void *base, uint64_t length) {
    char name[64];
    EXPECT_TRUE(MakeMemoryFileName(name, sizeof name, base, length));
    return name;
}

TEST(VirtualMemoryFile, UnregisteredAddressIsRefused) {
    static char block[64];
    EXPECT_EQ(OpenVirtualFile(MemoryName(block, sizeof block).c_str(), kVirtualFileRead), nullptr);
    EXPECT_EQ(OpenVirtualFile(":::chunkS0:16*x/7fff00001000", kVirtualFileRead), nullptr);
}

TEST(VirtualMemoryFile, RegisteredRangeReadsThroughBothNameForms) {
    static char block[] = "memory contents";
    RegisterMemoryRange(block, 15, 0);
    VirtualFile *file = OpenVirtualFile(MemoryName(block, 15).c_str(), kVirtualFileRead);
    ASSERT_NE(file, nullptr);
    char buffer[32] = {};
    EXPECT_EQ(ReadVirtualFileBuffered(file, buffer, sizeof buffer), 15);
    EXPECT_EQ(std::string(buffer), "memory contents");
    size_t have = 1;
    EXPECT_NE(PeekVirtualFile(file, &have), nullptr);
    EXPECT_EQ(have, 0u);
    SeekVirtualFile(file, 7, kSeekFromStart);
    bool lasting = true; // the script may free the block: a view of it must not be kept
    const uint8_t *view = PeekVirtualFile(file, &have, &lasting);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(view), have), "contents");
    EXPECT_FALSE(lasting);
    CloseVirtualFile(file);

    char chunk[96];
    snprintf(chunk, sizeof chunk, ":::chunkS7:8*x/%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block)));
    file = OpenVirtualFile(chunk, kVirtualFileRead);
    ASSERT_NE(file, nullptr);
    char part[16] = {};
    EXPECT_EQ(ReadVirtualFile(file, part, sizeof part), 8);
    EXPECT_EQ(std::string(part), "contents");
    CloseVirtualFile(file);
    UnregisterMemoryRange(block);
}

TEST(VirtualMemoryFile, RangeReachingBeyondTheRegisteredBlockIsRefused) {
    static char block[32];
    RegisterMemoryRange(block, sizeof block, 1);
    EXPECT_EQ(OpenVirtualFile(MemoryName(block, sizeof block + 1).c_str(), kVirtualFileRead), nullptr);
    EXPECT_EQ(OpenVirtualFile(MemoryName(block + 16, 17).c_str(), kVirtualFileRead), nullptr);
    UnregisterMemoryRange(block);
}

TEST(VirtualMemoryFile, ReadOnlyRangeRefusesWritingModes) {
    static char block[8];
    RegisterMemoryRange(block, sizeof block, 0);
    EXPECT_EQ(OpenVirtualFile(MemoryName(block, sizeof block).c_str(), kVirtualFileReadWrite), nullptr);
    UnregisterMemoryRange(block);
}

TEST(VirtualMemoryFile, WritesStopAtTheRangeEnd) {
    static char block[8] = "abcdefg";
    RegisterMemoryRange(block, 4, 1);
    VirtualFile *file = OpenVirtualFile(MemoryName(block, 4).c_str(), kVirtualFileReadWrite);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(WriteVirtualFileBuffered(file, "WXYZQQ", 6), 4);
    EXPECT_EQ(std::string(block), "WXYZefg");
    CloseVirtualFile(file);
    UnregisterMemoryRange(block);
}

TEST(VirtualMemoryFile, StreamFailsOnceItsRangeIsUnregistered) {
    static char block[8] = "abcdefg";
    RegisterMemoryRange(block, 7, 0);
    VirtualFile *file = OpenVirtualFile(MemoryName(block, 7).c_str(), kVirtualFileRead);
    ASSERT_NE(file, nullptr);
    UnregisterMemoryRange(block);
    char buffer[8];
    EXPECT_LT(ReadVirtualFile(file, buffer, 4), 0);
    size_t have = 0;
    EXPECT_EQ(PeekVirtualFile(file, &have), nullptr);
    CloseVirtualFile(file);
}

TEST(VirtualClipboardFile, ReadsAndWritesThroughTheHooks) {
    static std::vector<uint8_t> board = {'c', 'l', 'i', 'p'};
    SetClipboardStreamHooks([](std::vector<uint8_t> *out) { *out = board; return 0; },
                            [](const uint8_t *bytes, size_t size) { board.assign(bytes, bytes + size); return 0; });
    VirtualFile *file = OpenVirtualFile(":::clipboard", kVirtualFileRead);
    ASSERT_NE(file, nullptr);
    char buffer[8] = {};
    EXPECT_EQ(ReadVirtualFile(file, buffer, sizeof buffer), 4);
    EXPECT_EQ(std::string(buffer), "clip");
    CloseVirtualFile(file);
    file = OpenVirtualFile(":::clipboard", kVirtualFileCreate);
    ASSERT_NE(file, nullptr);
    WriteVirtualFileBuffered(file, "new", 3);
    EXPECT_EQ(CloseVirtualFile(file), 0);
    EXPECT_EQ(std::string(board.begin(), board.end()), "new");
    SetClipboardStreamHooks(nullptr, nullptr);
}

TEST(VirtualClipboardFile, WriteWithoutAClipboardReportsFailure) {
    SetClipboardStreamHooks(nullptr, nullptr);
    VirtualFile *file = OpenVirtualFile(":::clipboard", kVirtualFileCreate);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(WriteVirtualFileBuffered(file, "FORM", 4), 4);
    EXPECT_NE(CloseVirtualFile(file), 0);
}

} // namespace
