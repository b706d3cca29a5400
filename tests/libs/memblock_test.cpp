#include "libs/memblock/memblock.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "libs/dos/file_object.h"
#include "runtime/app/errors.h"
#include "tests/support/files.h"

namespace {

struct MemBlocks : ::testing::Test {
    void TearDown() override {
        FreeAllMemBlocks();
        CloseAllFileObjects();
    }
    MemBlock *Alloc(int number, int32_t size) {
        MemBlock *block = nullptr;
        EXPECT_EQ(AllocMemBlock(ObjectId{number, nullptr}, size, &block), 0);
        return block;
    }
};

TEST_F(MemBlocks, PokeAndPeekAreBigEndianAtEveryWidth) {
    MemBlock *block = Alloc(1, 8);
    ASSERT_EQ(PokeValue(block, 0, kWidthInteger, 0x12345678), 0);
    uint32_t value = 0;
    ASSERT_EQ(PeekValue(block, 0, kWidthShort, &value), 0);
    EXPECT_EQ(value, 0x1234u);
    ASSERT_EQ(PeekValue(block, 3, kWidthByte, &value), 0);
    EXPECT_EQ(value, 0x78u);
    ASSERT_EQ(PeekValue(block, 0, kWidthInteger, &value), 0);
    EXPECT_EQ(value, 305419896u);
    ASSERT_EQ(PokeValue(block, 4, kWidthShort, 0xABCDEF), 0);
    EXPECT_EQ(block->data[4], 0xCD);
    EXPECT_EQ(block->data[5], 0xEF);
    ASSERT_EQ(PeekValue(block, 4, kWidthInteger, &value), 0);
    EXPECT_EQ(value, 0xCDEF0000u);
}

TEST_F(MemBlocks, FreshBlocksAreCleared) {
    MemBlock *block = Alloc(1, 64);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(block->data[i], 0);
}

TEST_F(MemBlocks, PeekBoundsAtTheEnd) {
    MemBlock *block = Alloc(1, 16);
    uint32_t value = 0;
    EXPECT_EQ(PeekValue(block, 12, kWidthInteger, &value), 0);
    EXPECT_EQ(PeekValue(block, 13, kWidthInteger, &value), kErrOffsetOutOfRange);
    EXPECT_EQ(PeekValue(block, 15, kWidthByte, &value), 0);
    EXPECT_EQ(PeekValue(block, -1, kWidthByte, &value), kErrOffsetOutOfRange);
    EXPECT_EQ(PeekValue(block, 0, 2, &value), kErrWrongUsage);
}

TEST_F(MemBlocks, StringPokeNeedsRoomForItsZero) {
    MemBlock *block = Alloc(1, 16);
    std::string fifteen(15, 'a'), sixteen(16, 'a');
    EXPECT_EQ(PokeString(block, 0, fifteen.data(), fifteen.size()), 0);
    EXPECT_EQ(block->data[15], 0);
    EXPECT_EQ(PokeString(block, 0, sixteen.data(), sixteen.size()), kErrOffsetOutOfRange);
}

TEST_F(MemBlocks, StringPeekExactOrPrintableRun) {
    MemBlock *block = Alloc(1, 16);
    PokeString(block, 2, "hi there\t\xE9!", 12);
    block->data[15] = 0x01;
    std::string text;
    ASSERT_EQ(PeekString(block, 2, 0, &text), 0);
    EXPECT_EQ(text, "hi there\t\xE9!");
    ASSERT_EQ(PeekString(block, 0, 4, &text), 0);
    EXPECT_EQ(text, std::string("\0\0hi", 4));
    EXPECT_EQ(PeekString(block, 0, -1, &text), kErrWrongUsage);
    EXPECT_EQ(PeekString(block, 16, 0, &text), kErrOffsetOutOfRange);
    EXPECT_EQ(PeekString(block, 10, 7, &text), kErrOffsetOutOfRange);
}

TEST_F(MemBlocks, FillPatternsAndAlignment) {
    MemBlock *block = Alloc(1, 8);
    ASSERT_EQ(FillMemBlock(block, 43981, 6, 0, kWidthShort), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(block->data.get()), 6), "\xAB\xCD\xAB\xCD\xAB\xCD");
    EXPECT_EQ(FillMemBlock(block, 0, 3, 0, kWidthShort), kErrWrongUsage);
    EXPECT_EQ(FillMemBlock(block, 0, 4, 2, kWidthInteger), kErrWrongUsage);
    ASSERT_EQ(FillMemBlock(block, 0x01020304, 8, 0, kWidthInteger), 0);
    EXPECT_EQ(block->data[7], 4);
    EXPECT_EQ(FillMemBlock(block, 0, 0, 100, 99), 0); // a count below 1 does nothing
}

TEST_F(MemBlocks, WrappingOffsetsAreRefused) {
    MemBlock *a = Alloc(1, 16), *b = Alloc(2, 16);
    uint32_t value = 0;
    std::string text;
    for (int64_t count = 1; count <= 16; ++count) {
        EXPECT_EQ(FillMemBlock(a, 0xFF, count, INT32_MAX, kWidthByte), kErrOffsetOutOfRange) << count;
        EXPECT_EQ(CopyMemBlock(a, b, count, INT32_MAX, 0), kErrOffsetOutOfRange) << count;
        EXPECT_EQ(CopyMemBlock(a, b, count, 0, INT32_MAX), kErrOffsetOutOfRange) << count;
        EXPECT_EQ(PeekString(a, INT32_MAX, count, &text), kErrOffsetOutOfRange) << count;
        EXPECT_EQ(FormatMemDump(a, count, INT32_MAX, &text), kErrOffsetOutOfRange) << count;
    }
    EXPECT_EQ(PeekValue(a, INT32_MAX, kWidthInteger, &value), kErrOffsetOutOfRange);
    EXPECT_EQ(PokeValue(a, INT32_MAX - 1, kWidthInteger, 1), kErrOffsetOutOfRange);
    EXPECT_EQ(PokeString(a, INT32_MAX, "x", 1), kErrOffsetOutOfRange);
    EXPECT_EQ(CopyMemBlock(a, b, INT32_MAX, 1, 1), kErrOffsetOutOfRange);
}

TEST_F(MemBlocks, CopyBetweenBlocksOnly) {
    MemBlock *a = Alloc(1, 8), *b = Alloc(2, 8);
    PokeValue(a, 0, kWidthInteger, 0xDEADBEEF);
    EXPECT_EQ(CopyMemBlock(a, a, 4, 0, 4), kErrWrongUsage);
    ASSERT_EQ(CopyMemBlock(a, b, 4, 0, 2), 0);
    uint32_t value = 0;
    PeekValue(b, 2, kWidthInteger, &value);
    EXPECT_EQ(value, 0xDEADBEEFu);
}

TEST_F(MemBlocks, AllocReplacesANumberAndRefusesNegativeSizes) {
    Alloc(1, 16);
    MemBlock *second = Alloc(1, 32);
    EXPECT_EQ(CountMemBlocks(), 1u);
    EXPECT_EQ(second->size, 32);
    MemBlock *block = nullptr;
    EXPECT_EQ(AllocMemBlock(ObjectId{2, nullptr}, -1, &block), kErrWrongUsage);
    EXPECT_EQ(FreeMemBlock(ObjectId{9, nullptr}), kErrMemoryBlockNotFound);
    EXPECT_EQ(GetErrorText(kErrMemoryBlockNotFound), "Could not find memory block 9!");
    EXPECT_EQ(FreeMemBlock(ObjectId{1, nullptr}), 0);
    EXPECT_EQ(CountMemBlocks(), 0u);
}

TEST_F(MemBlocks, DumpLinesAndShortLastLine) {
    MemBlock *block = Alloc(1, 20);
    for (int i = 0; i < 20; ++i)
        block->data[i] = static_cast<uint8_t>(i == 17 ? 'A' : i);
    std::string dump;
    ASSERT_EQ(FormatMemDump(block, 0, 0, &dump), 0);
    std::string first = "00000000: ";
    for (int i = 0; i < 16; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%.2x ", i);
        first += hex;
    }
    first += "................\n";
    std::string second = "00000010: 10 41 12 13 " + std::string(12 * 3, ' ') + ".A..\n";
    EXPECT_EQ(dump, first + second);
}

struct MemBlockFiles : MemBlocks {
    ScratchDirectory scratch;
    std::string path = scratch.File("blocks");
};

TEST_F(MemBlockFiles, WriteThenReadRoundTripsAndMovesThePosition) {
    MemBlock *out = Alloc(1, 8), *in = Alloc(2, 8);
    PokeValue(out, 0, kWidthInteger, 0x01020304);
    PokeValue(out, 4, kWidthInteger, 0x05060708);
    FileObject *file = nullptr;
    ASSERT_EQ(OpenFileObject(ObjectId{1, nullptr}, path.c_str(), kModeReadWrite, &file), 0);
    ASSERT_EQ(WriteMemToFile(file, out, 6, 2), 0);
    EXPECT_EQ(file->position, 6);
    EXPECT_EQ(file->size, 6);
    ASSERT_EQ(FileSeek(file, 0), 0);
    ASSERT_EQ(ReadMemFromFile(file, in, 6, 1), 0);
    EXPECT_EQ(file->position, 6);
    uint32_t value = 0;
    PeekValue(in, 1, kWidthInteger, &value);
    EXPECT_EQ(value, 0x03040506u);
    EXPECT_EQ(ReadMemFromFile(file, in, 1, 0), kErrReadFailed);
    EXPECT_EQ(ReadMemFromFile(file, in, 1, -1), kErrWrongUsage);
    EXPECT_EQ(WriteMemToFile(file, out, 9, 0), kErrOffsetOutOfRange);
}

TEST_F(MemBlockFiles, AccessModeOfTheFileIsChecked) {
    MemBlock *block = Alloc(1, 8);
    FileObject *file = nullptr;
    ASSERT_EQ(OpenFileObject(ObjectId{1, nullptr}, path.c_str(), kModeWrite, &file), 0);
    EXPECT_EQ(ReadMemFromFile(file, block, 4, 0), kErrWriteOnlyFile);
    ASSERT_EQ(CloseFileObject(file), 0);
    ASSERT_EQ(OpenFileObject(ObjectId{1, nullptr}, path.c_str(), kModeRead, &file), 0);
    EXPECT_EQ(WriteMemToFile(file, block, 4, 0), kErrReadOnlyFile);
}

} // namespace
