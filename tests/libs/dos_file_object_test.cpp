#include "libs/dos/file_object.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/virtual_file.h"
#include "runtime/app/command.h"
#include "runtime/app/errors.h"
#include "tests/support/files.h"

namespace fs = std::filesystem;

namespace {

// One line as a string, whether it came back as a view or in the scratch buffer.
int ReadLine(FileObject *file, std::string *line) {
    std::string scratch = "stale";
    const char *bytes = nullptr;
    size_t length = 0;
    int error = FileReadLine(file, &scratch, &bytes, &length);
    if (!error) line->assign(bytes, length);
    return error;
}

struct DosFiles : ::testing::Test {
    ScratchDirectory scratch;
    fs::path dir = scratch.path;
    void SetUp() override {
        IOMode = kIOBuffered;
    }
    void TearDown() override {
        CloseAllFileObjects();
        IOMode = kIOBuffered;
    }
    std::string Path(const char *name) const { return (dir / name).string(); }
    FileObject *Open(int number, const std::string &path, int32_t mode) {
        FileObject *file = nullptr;
        EXPECT_EQ(OpenFileObject(ObjectId{number, nullptr}, path.c_str(), mode, &file), 0) << path;
        return file;
    }
    std::string Contents(const char *name) const { return ReadFileText(Path(name)); }
    void Create(const char *name, const std::string &bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    // Writes through one file object and returns what reached the disk.
    template <class Write> std::string Written(Write write) {
        FileObject *file = Open(1, Path("out"), kModeWrite);
        write(file);
        EXPECT_EQ(CloseFileObject(file), 0);
        return Contents("out");
    }
};

TEST_F(DosFiles, WriteChrKeepsTheLowByte) {
    EXPECT_EQ(Written([](FileObject *f) { EXPECT_EQ(FileWriteChr(f, 300), 0); }), std::string("\x2C"));
}

TEST_F(DosFiles, WriteShortIsBigEndianTwosComplement) {
    EXPECT_EQ(Written([](FileObject *f) {
                  FileWriteShort(f, -1);
                  FileWriteShort(f, 0x1234);
              }),
              std::string("\xFF\xFF\x12\x34"));
}

TEST_F(DosFiles, WriteIntAndFloatAreBigEndian) {
    EXPECT_EQ(Written([](FileObject *f) {
                  FileWriteInt(f, INT32_MAX);
                  FileWriteFloat(f, 0.1);
              }),
              std::string("\x7F\xFF\xFF\xFF\x3F\xB9\x99\x99\x99\x99\x99\x9A", 12));
}

TEST_F(DosFiles, ReadsSignedIntUnsignedShortAndDouble) {
    Create("in", std::string("\xFF\xFF\xFF\xFE\xFF\xFE\x3F\xB9\x99\x99\x99\x99\x99\x9A\x80", 15));
    FileObject *file = Open(1, Path("in"), kModeRead);
    double value = 0;
    ASSERT_EQ(FileReadInt(file, &value), 0);
    EXPECT_EQ(value, -2);
    ASSERT_EQ(FileReadShort(file, &value), 0);
    EXPECT_EQ(value, 65534);
    ASSERT_EQ(FileReadFloat(file, &value), 0);
    EXPECT_EQ(value, 0.1);
    ASSERT_EQ(FileReadChr(file, &value), 0);
    EXPECT_EQ(value, 128);
}

TEST_F(DosFiles, ReadPastSizeIsRefusedBeforeMoving) {
    Create("in", "abcdefg");
    FileObject *file = Open(1, Path("in"), kModeRead);
    ASSERT_EQ(FileSeek(file, 4), 0);
    double value = 0;
    EXPECT_EQ(FileReadInt(file, &value), kErrReadBeyondEnd);
    EXPECT_EQ(file->position, 4);
    ASSERT_EQ(FileReadChr(file, &value), 0);
    EXPECT_EQ(value, 'e');
}

TEST_F(DosFiles, ReadLineDropsCarriageReturnsAndStopsAtTheEnd) {
    Create("in", "a\r\nb");
    FileObject *file = Open(1, Path("in"), kModeRead);
    std::string line;
    ASSERT_EQ(ReadLine(file, &line), 0);
    EXPECT_EQ(line, "a");
    ASSERT_EQ(ReadLine(file, &line), 0);
    EXPECT_EQ(line, "b");
    EXPECT_EQ(ReadLine(file, &line), kErrReadBeyondEnd);
}

TEST_F(DosFiles, EmptyLineIsTheEmptyString) {
    Create("in", "\n\r\nx\n");
    FileObject *file = Open(1, Path("in"), kModeRead);
    std::string line = "junk";
    ASSERT_EQ(ReadLine(file, &line), 0);
    EXPECT_EQ(line, "");
    ASSERT_EQ(ReadLine(file, &line), 0);
    EXPECT_EQ(line, "");
    ASSERT_EQ(ReadLine(file, &line), 0);
    EXPECT_EQ(line, "x");
}

TEST_F(DosFiles, ReadLineAcrossBufferBoundariesInBothModes) {
    // Lines of every length around the 16 KiB read window, each ended by LF, CRLF or a CR inside the text; the
    // file ends without a line end.
    std::string bytes;
    std::vector<std::string> lines;
    for (size_t i = 0; bytes.size() < 40000; ++i) {
        std::string text(i % 700, char('a' + i % 26));
        const char *ending = i % 3 == 0 ? "\n" : i % 3 == 1 ? "\r\n" : "\r\r\n";
        if (i % 5 == 4 && !text.empty()) text.insert(text.size() / 2, "\r");
        bytes += text + ending;
        std::erase(text, '\r');
        lines.push_back(text);
    }
    bytes += "last";
    lines.push_back("last");
    Create("in", bytes);
    for (int mode : {kIOBuffered, kIOUnbuffered}) {
        IOMode = mode;
        FileObject *file = Open(1, Path("in"), kModeRead);
        std::string line;
        for (size_t i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(ReadLine(file, &line), 0) << "line " << i << " mode " << mode;
            ASSERT_EQ(line, lines[i]) << "line " << i << " mode " << mode;
        }
        EXPECT_EQ(file->position, static_cast<int64_t>(bytes.size()));
        EXPECT_EQ(ReadLine(file, &line), kErrReadBeyondEnd);
        CloseAllFileObjects();
    }
}

// A line read keeps its place in the stream's buffer for the next one: every other operation between two line
// reads must still see, and be seen by, the file as it is. Each row starts from a fresh read/write file holding
// "one\ntwo\nthree\n" after one line read; `rest` is every line read after the step, '|' between them.
TEST_F(DosFiles, LineReadsInterleaveWithOtherOperations) {
    struct Case {
        const char *name;
        int (*step)(FileObject *);
        const char *rest;
    } cases[] = {
        {"seek back", [](FileObject *f) { return FileSeek(f, 0); }, "one|two|three"},
        {"seek ahead", [](FileObject *f) { return FileSeek(f, 9); }, "hree"},
        {"read a byte", [](FileObject *f) { double v; return FileReadChr(f, &v); }, "wo|three"},
        {"overwrite ahead", [](FileObject *f) { return FileWriteString(f, "TW", 2, 0) ?: FileSeek(f, 4); },
         "TWo|three"},
        {"write and read on", [](FileObject *f) { return FileWriteString(f, "T", 1, 0); }, "wo|three"},
        {"unbuffered", [](FileObject *) { return SetIOModeValue(kIOUnbuffered); }, "two|three"},
        {"flush", FileFlush, "two|three"},
    };
    for (const Case &c : cases) {
        IOMode = kIOBuffered;
        Create("rw", "one\ntwo\nthree\n");
        FileObject *file = Open(1, Path("rw"), kModeReadWrite);
        std::string line, rest;
        ASSERT_EQ(ReadLine(file, &line), 0) << c.name;
        ASSERT_EQ(line, "one") << c.name;
        ASSERT_EQ(c.step(file), 0) << c.name;
        for (int error; (error = ReadLine(file, &line)) != kErrReadBeyondEnd; rest += (rest.empty() ? "" : "|") + line)
            ASSERT_EQ(error, 0) << c.name;
        EXPECT_EQ(rest, c.rest) << c.name;
        CloseAllFileObjects();
    }
}

TEST_F(DosFiles, ReadStringLengths) {
    Create("in", std::string("ab\0cd", 5));
    FileObject *file = Open(1, Path("in"), kModeRead);
    std::string text;
    EXPECT_EQ(FileReadString(file, -1, &text), kErrWrongUsage);
    EXPECT_EQ(FileReadString(file, 0, &text), 0);
    EXPECT_EQ(text, "");
    // A length far beyond the file is refused before anything is allocated.
    EXPECT_EQ(FileReadString(file, INT64_C(4) << 40, &text), kErrReadBeyondEnd);
    ASSERT_EQ(FileReadString(file, 5, &text), 0);
    EXPECT_EQ(text, std::string("ab\0cd", 5));
}

TEST_F(DosFiles, WriteStringLengthRules) {
    std::string text("ab\0c", 4);
    EXPECT_EQ(Written([&](FileObject *f) {
                  EXPECT_EQ(FileWriteString(f, text.data(), text.size(), 0), 0);
                  EXPECT_EQ(FileWriteString(f, text.data(), text.size(), 2), 0);
                  EXPECT_EQ(FileWriteString(f, text.data(), text.size(), 5), kErrLengthExceedsString);
                  EXPECT_EQ(FileWriteString(f, text.data(), text.size(), -1), kErrLengthExceedsString);
              }),
              std::string("ab\0cab", 6));
}

TEST_F(DosFiles, WriteLineStopsAtTheFirstZero) {
    std::string text("ab\0c", 4);
    EXPECT_EQ(Written([&](FileObject *f) { EXPECT_EQ(FileWriteLine(f, text.data(), text.size()), 0); }),
              "ab\n");
}

TEST_F(DosFiles, SeekToEofAndBeyond) {
    Create("in", "12345");
    FileObject *file = Open(1, Path("in"), kModeRead);
    ASSERT_EQ(FileSeek(file, -1), 0);
    EXPECT_EQ(file->position, 5);
    EXPECT_EQ(FileSeek(file, 6), 1076);
    EXPECT_EQ(FileSeek(file, -2), 1076);
    EXPECT_EQ(file->position, 5);
}

TEST_F(DosFiles, SizeGrowsWithWritesPastTheEnd) {
    FileObject *file = Open(1, Path("rw"), kModeReadWrite);
    EXPECT_EQ(file->size, 0);
    FileWriteInt(file, 7);
    EXPECT_EQ(file->size, 4);
    ASSERT_EQ(FileSeek(file, 2), 0);
    FileWriteInt(file, 7);
    EXPECT_EQ(file->size, 6);
    EXPECT_EQ(file->position, file->size);
}

TEST_F(DosFiles, AccessModesAreEnforced) {
    Create("in", "abc");
    FileObject *reader = Open(1, Path("in"), kModeRead);
    FileObject *writer = Open(2, Path("out"), kModeWrite);
    double value = 0;
    EXPECT_EQ(FileWriteChr(reader, 1), kErrReadOnlyFile);
    EXPECT_EQ(FileWriteLine(reader, "x", 1), kErrReadOnlyFile);
    EXPECT_EQ(FileReadChr(writer, &value), kErrWriteOnlyFile);
    std::string line;
    EXPECT_EQ(ReadLine(writer, &line), kErrWriteOnlyFile);
}

TEST_F(DosFiles, OpenRefusesBadModesNamesAndMissingFiles) {
    FileObject *file = nullptr;
    EXPECT_EQ(OpenFileObject(ObjectId{1, nullptr}, Path("x").c_str(), 1007, &file), kErrWrongUsage);
    EXPECT_EQ(OpenFileObject(ObjectId{1, nullptr}, "", kModeRead, &file), kErrWrongUsage);
    EXPECT_EQ(OpenFileObject(ObjectId{1, nullptr}, Path("missing").c_str(), kModeRead, &file),
              kErrCannotReadFile);
    EXPECT_EQ(CountOpenFiles(), 0u);
}

TEST_F(DosFiles, MissingNumberNamesItInTheMessage) {
    FileObject *file = nullptr;
    EXPECT_EQ(FindFileObject(ObjectId{7, nullptr}, &file), kErrFileHandleNotFound);
    EXPECT_EQ(GetErrorText(kErrFileHandleNotFound), "Could not find file handle 7!");
    int dummy;
    EXPECT_EQ(FindFileObject(ObjectId{0, &dummy}, &file), kErrObjectNotFound);
}

TEST_F(DosFiles, AutomaticHandleIsTheRecord) {
    FileObject *file = nullptr;
    ASSERT_EQ(OpenFileObject(ObjectId{0, kAutoHandleRequest}, Path("a").c_str(), kModeWrite, &file), 0);
    EXPECT_EQ(file->id.handle, file);
    FileObject *found = nullptr;
    ASSERT_EQ(FindFileObject(file->id, &found), 0);
    EXPECT_EQ(found, file);
}

TEST_F(DosFiles, ReopeningANumberFlushesAndClosesTheOldFile) {
    FileObject *first = Open(3, Path("first"), kModeWrite);
    FileWriteString(first, "kept", 4, 0);
    FileObject *second = Open(3, Path("second"), kModeWrite);
    EXPECT_EQ(CountOpenFiles(), 1u);
    EXPECT_EQ(FileList.front(), second);
    EXPECT_EQ(Contents("first"), "kept");
}

// write "abc", Seek 0, ReadChr = 'a', WriteChr 'X', close: "aXc"; the stream's read-ahead must not hide or
// misplace the write.
void CheckReadWriteCoherence(DosFiles &t, int32_t modeA, int32_t modeB) {
    FileObject *file = t.Open(1, t.Path("rw"), kModeReadWrite);
    IOMode = modeA;
    ASSERT_EQ(FileWriteString(file, "abc", 3, 0), 0);
    ASSERT_EQ(FileSeek(file, 0), 0);
    IOMode = modeB;
    double value = 0;
    ASSERT_EQ(FileReadChr(file, &value), 0);
    EXPECT_EQ(value, 'a');
    IOMode = modeA;
    ASSERT_EQ(FileWriteChr(file, 'X'), 0);
    IOMode = modeB;
    ASSERT_EQ(FileReadChr(file, &value), 0);
    EXPECT_EQ(value, 'c');
    ASSERT_EQ(CloseFileObject(file), 0);
    EXPECT_EQ(t.Contents("rw"), "aXc");
}

TEST_F(DosFiles, ReadWriteCoherentBuffered) {
    CheckReadWriteCoherence(*this, kIOBuffered, kIOBuffered);
}
TEST_F(DosFiles, ReadWriteCoherentUnbuffered) {
    CheckReadWriteCoherence(*this, kIOUnbuffered, kIOUnbuffered);
}
TEST_F(DosFiles, ReadWriteCoherentAcrossModeSwitches) {
    CheckReadWriteCoherence(*this, kIOBuffered, kIOUnbuffered);
    CheckReadWriteCoherence(*this, kIOUnbuffered, kIOBuffered);
}

// The end of the process may come inside one of the shutdown's closes (a clipboard write meeting a lost display
// calls exit), and the end flushes every file still listed: the files closed before, and the one closing, must be
// gone from the list by then, the one opened after it still there.
TEST_F(DosFiles, EndInsideTheShutdownsCloseFlushesOnlyTheFilesStillOpen) {
    static size_t listedAtTheEnd = 0;
    SetClipboardStreamHooks(nullptr, [](const uint8_t *, size_t) {
        FlushAllFileObjects();
        listedAtTheEnd = CountOpenFiles();
        return 0;
    });
    for (const std::string &path : {Path("before"), std::string(":::clipboard"), Path("after")})
        ASSERT_EQ(FileWriteLine(Open(int(CountOpenFiles()) + 1, path, kModeWrite), "kept", 4), 0);
    CloseAllFileObjects();
    SetClipboardStreamHooks(nullptr, nullptr);
    EXPECT_EQ(listedAtTheEnd, 1u);
    EXPECT_EQ(Contents("before") + Contents("after"), "kept\nkept\n");
}

struct DosFullDisk : DosFiles {
    void SetUp() override {
        if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
        DosFiles::SetUp();
    }
};

TEST_F(DosFullDisk, UnbufferedWritesFail) {
    IOMode = kIOUnbuffered;
    FileObject *file = Open(1, "/dev/full", kModeWrite);
    EXPECT_EQ(FileWriteString(file, "abc", 3, 0), kErrWriteFailed);
    EXPECT_EQ(FileWriteLine(file, "abc", 3), kErrWriteFailed);
    EXPECT_EQ(FileWriteInt(file, 1), kErrWriteFailed);
}

TEST_F(DosFullDisk, BufferedDataLostOnFlushOrCloseFails) {
    FileObject *file = Open(1, "/dev/full", kModeWrite);
    EXPECT_EQ(FileWriteLine(file, "abc", 3), 0); // still in the buffer
    EXPECT_EQ(FileFlush(file), kErrWriteFailed);
    FileWriteString(file, "abc", 3, 0);
    EXPECT_EQ(CloseFileObject(file), kErrWriteFailed);
    EXPECT_EQ(CountOpenFiles(), 0u);
}

TEST_F(DosFullDisk, BufferedWriteLargerThanTheBufferFails) {
    FileObject *file = Open(1, "/dev/full", kModeWrite);
    std::string big(1 << 20, 'x');
    EXPECT_EQ(FileWriteString(file, big.data(), big.size(), 0), kErrWriteFailed);
    EXPECT_EQ(FileWriteLine(file, big.data(), big.size()), kErrWriteFailed);
}

TEST_F(DosFullDisk, ReopeningOverLostDataFails) {
    Open(1, "/dev/full", kModeWrite);
    FileWriteString(FileList.front(), "abc", 3, 0);
    FileObject *file = nullptr;
    EXPECT_EQ(OpenFileObject(ObjectId{1, nullptr}, Path("x").c_str(), kModeWrite, &file), kErrWriteFailed);
    EXPECT_EQ(CountOpenFiles(), 0u);
}

TEST(DosIOMode, OnlyBufferedOrUnbuffered) {
    EXPECT_EQ(SetIOModeValue(1), 0);
    EXPECT_EQ(IOMode, 1);
    EXPECT_EQ(SetIOModeValue(2), kErrWrongUsage);
    EXPECT_EQ(SetIOModeValue(-1), kErrWrongUsage);
    EXPECT_EQ(SetIOModeValue(0), 0);
}

} // namespace
