#include "host/file_services.h"
#include "host/file_tree.h"
#include "host/memory.h"
#include "host/path.h"
#include "host/safe_overwrite.h"
#include "runtime/app/errors.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>
#include "tests/support/files.h"

namespace {

class FileServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    std::string Touch(const std::string &name, const std::string &bytes = "") {
        std::string path = directory + "/" + name;
        FILE *f = fopen(path.c_str(), "wb");
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
        return path;
    }
    ScratchDirectory scratch;
    std::string directory = scratch.path;
};

TEST_F(FileServicesTest, DirectoryScanListsFilesAndDirectories) {
    Touch("b.txt", "12345");
    std::filesystem::create_directory(directory + "/a-dir");
    PathRef *ref = NewPathRef(directory.c_str(), 0);
    ASSERT_NE(ref, nullptr);
    DirScanState *scan = nullptr;
    ASSERT_EQ(ExamineDirPathRef(ref, &scan), 0);
    std::string name;
    int isDir = -1;
    FileInfoRecord info;
    ASSERT_EQ(NextDirPathRefEntry(ref, scan, &name, &isDir, &info), 1);
    EXPECT_EQ(name, "a-dir");
    EXPECT_EQ(isDir, 1);
    ASSERT_EQ(NextDirPathRefEntry(ref, scan, &name, &isDir, &info), 1);
    EXPECT_EQ(name, "b.txt");
    EXPECT_EQ(isDir, 0);
    EXPECT_EQ(info.size, 5);
    EXPECT_EQ(NextDirPathRefEntry(ref, scan, &name, nullptr, nullptr), 0);
    FreeFileInfoBlock(scan);
    FreePathRef(ref);
}

TEST_F(FileServicesTest, FileOrChunkIsNotADirectory) {
    std::string file = Touch("plain");
    PathRef *ref = NewPathRef(file.c_str(), 0);
    DirScanState *scan = nullptr;
    EXPECT_EQ(ExamineDirPathRef(ref, &scan), kErrNotADirectory);
    EXPECT_EQ(scan, nullptr);
    FreePathRef(ref);
    std::string chunk = ":::chunk0:3*x.png/" + file;
    ref = NewPathRef(chunk.c_str(), 0);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(ExamineDirPathRef(ref, &scan), kErrNotADirectory);
    FreePathRef(ref);
}

TEST_F(FileServicesTest, ChunkExaminesAsItsLengthWithFlags15AndTheLinkedDate) {
    std::string chunk = ":::chunk10:1234*pic.png/" + directory + "/applet";
    PathRef *ref = NewPathRef(chunk.c_str(), 0);
    ASSERT_NE(ref, nullptr);
    FileInfoRecord info;
    ASSERT_EQ(ExaminePathRef(ref, &info), 0);
    EXPECT_EQ(info.size, 1234);
    EXPECT_EQ(info.flags, 15u);
    DateFields date;
    ASSERT_TRUE(DateStampToFields(&info.date, &date));
    EXPECT_EQ(date.year, 1982);
    EXPECT_EQ(date.month, 8);
    EXPECT_EQ(date.day, 16);
    EXPECT_EQ(date.hours, 0);
    char full[1024];
    ASSERT_EQ(GetPathRefFullName(ref, full, sizeof full), 1);
    char cwd[1024];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(std::string(full), std::string(cwd) + "/pic.png");
    FreePathRef(ref);
}

TEST_F(FileServicesTest, MissingPathsAndUnknownDevicesCannotBeLocked) {
    EXPECT_EQ(NewPathRef((directory + "/none").c_str(), 0), nullptr);
    EXPECT_EQ(NewPathRef("NOSUCHDEVICE:file", 0), nullptr);
    char buffer[1024];
    EXPECT_EQ(ResolveLockPath((directory + "/none").c_str(), buffer, sizeof buffer), kErrLockDirectory);
    uint64_t freeBytes, usedBytes;
    EXPECT_EQ(GetVolumeSpace("NOSUCHDEVICE:", &freeBytes, &usedBytes), kErrLockDirectory);
    // An empty volume (a fresh tmpfs) uses nothing: the volume holds a file of 64 KB, written out, when asked.
    std::vector<uint8_t> bytes(64 << 10);
    std::mt19937 noise(1); // not compressible
    for (uint8_t &b : bytes) b = uint8_t(noise());
    WriteBytes(directory + "/written", bytes);
    const int file = open((directory + "/written").c_str(), O_RDONLY);
    ASSERT_GE(file, 0);
    fsync(file);
    close(file);
    EXPECT_EQ(GetVolumeSpace(directory.c_str(), &freeBytes, &usedBytes), 0);
    EXPECT_GE(usedBytes, bytes.size());
}

TEST_F(FileServicesTest, ProtectionFlagsRoundTrip) {
    std::string file = Touch("p");
    uint32_t wanted = FILEATTR_READ_USR | FILEATTR_WRITE_USR | FILEATTR_ARCHIVE | FILEATTR_SCRIPT | FILEATTR_READ_GRP;
    ASSERT_EQ(SetProtectionFlags(file.c_str(), wanted), 1);
    PathRef *ref = NewPathRef(file.c_str(), 0);
    FileInfoRecord info;
    ASSERT_EQ(ExaminePathRef(ref, &info), 0);
    EXPECT_EQ(info.flags, wanted); // no DELETE_USR: delete-protected
    FreePathRef(ref);
    EXPECT_EQ(DeletePath(file.c_str(), nullptr, false, TreeCallback{}), 0); // kept, with nobody to ask
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(FileServicesTest, NormalClearsEveryProtection) {
    std::string file = Touch("n");
    ASSERT_EQ(SetProtectionFlags(file.c_str(), FILEATTR_READ_USR | FILEATTR_HIDDEN), 1);
    ASSERT_EQ(SetProtectionFlags(file.c_str(), FILEATTR_NORMAL), 1);
    PathRef *ref = NewPathRef(file.c_str(), 0);
    FileInfoRecord info;
    ExaminePathRef(ref, &info);
    FreePathRef(ref);
    EXPECT_EQ(info.flags & (FILEATTR_READ_USR | FILEATTR_WRITE_USR | FILEATTR_DELETE_USR), 7u);
    EXPECT_EQ(info.flags & FILEATTR_HIDDEN, 0u);
    EXPECT_EQ(DeletePath(file.c_str(), nullptr, false, TreeCallback{}), 0);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(FileServicesTest, EveryProtectionBitRoundTripsForItsOwner) {
    // Each bit alone (the owner's read and write off), with a stored flag, and with the owner's usual rights: the
    // owner takes each back without being root, and the comment is written and read in every state.
    std::string file = Touch("every");
    for (uint32_t bit = FILEATTR_READ_USR; bit <= FILEATTR_EXECUTE_OTH; bit <<= 1)
        for (uint32_t wanted : {bit, bit | FILEATTR_HIDDEN, bit | FILEATTR_READ_USR | FILEATTR_WRITE_USR}) {
            std::string comment = "c" + std::to_string(wanted);
            ASSERT_EQ(SetProtectionFlags(file.c_str(), wanted), 1) << wanted;
            ASSERT_EQ(SetFileComment(file.c_str(), comment.c_str()), 1) << wanted;
            PathRef *ref = NewPathRef(file.c_str(), 0);
            FileInfoRecord info;
            ASSERT_EQ(ExaminePathRef(ref, &info), 0);
            FreePathRef(ref);
            EXPECT_EQ(info.flags, wanted);
            EXPECT_EQ(info.comment, comment);
        }
    ASSERT_EQ(SetProtectionFlags(file.c_str(), FILEATTR_READ_USR), 1);
    // Deleting it asks to unprotect it, and the unprotected file goes.
    int asked = 0;
    auto answer = [](void *count, const TreeMessage &message) {
        *static_cast<int *>(count) += message.action == kTreeDeleteUnprotect;
        return kTreeGoOn;
    };
    EXPECT_EQ(DeletePath(file.c_str(), nullptr, false, TreeCallback{answer, &asked}), 0);
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(FileServicesTest, CommentAndDateAreStored) {
    std::string file = Touch("c");
    ASSERT_EQ(SetFileComment(file.c_str(), "a note"), 1);
    DateFields fields{30, 15, 10, 24, 11, 1999};
    DateStamp stamp;
    ASSERT_TRUE(FieldsToDateStamp(&fields, &stamp));
    ASSERT_EQ(SetFileDateStamp(file.c_str(), &stamp), 1);
    PathRef *ref = NewPathRef(file.c_str(), 0);
    FileInfoRecord info;
    ASSERT_EQ(ExaminePathRef(ref, &info), 0);
    FreePathRef(ref);
    EXPECT_EQ(info.comment, "a note");
    EXPECT_EQ(info.date.days, stamp.days);
    EXPECT_EQ(info.date.minutes, stamp.minutes);
}

TEST_F(FileServicesTest, MakePathMakesParentsAndNamesThePrefixInTheWay) {
    std::string dir = directory + "/sub/deeper";
    EXPECT_EQ(MakePath(dir.c_str()), 0);
    EXPECT_EQ(MakePath(dir.c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    Touch("sub/f");
    EXPECT_EQ(MakePath((directory + "/sub/f/x").c_str()), kErrCreateDirectory);
    EXPECT_EQ(ErrorArgString(), directory + "/sub/f");
}

TEST_F(FileServicesTest, RenameMovesAFile) {
    std::string from = Touch("old", "x");
    EXPECT_EQ(RenamePath(from.c_str(), (directory + "/new").c_str()), 1);
    EXPECT_TRUE(std::filesystem::exists(directory + "/new"));
    EXPECT_EQ(RenamePath(from.c_str(), (directory + "/again").c_str()), 0);
}

TEST_F(FileServicesTest, AWriteRemovesTheTemporariesOfKilledWritersInItsDirectory) {
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0); // its pid now names no process
    // A writer killed in the middle, whose status nobody has collected yet (its pid still answers).
    pid_t killed = fork();
    if (killed == 0) {
        SafeOverwrite write;
        if (BeginSafeOverwrite((directory + "/out.txt").c_str(), &write) == 0) raise(SIGKILL);
        _exit(1);
    }
    siginfo_t info{};
    ASSERT_EQ(waitid(P_PID, id_t(killed), &info, WEXITED | WNOWAIT), 0);
    ASSERT_EQ(info.si_status, SIGKILL);
    const std::string prefix = ".out.txt.vltmp-" + std::to_string(killed) + "-";
    auto leftBy = [&](const std::string &start) {
        for (const auto &entry : std::filesystem::directory_iterator(directory))
            if (entry.path().filename().string().rfind(start, 0) == 0) return true;
        return false;
    };
    ASSERT_TRUE(leftBy(prefix));
    const std::string dead = ".out.txt.vltmp-" + std::to_string(child) + "-0123456789ab";
    const std::string living = ".out.txt.vltmp-" + std::to_string(getppid()) + "-0123456789ab";
    const std::string oldForm = ".out.txt.vltmp-0123456789ab";
    const std::string otherTarget = ".other.vltmp-" + std::to_string(child) + "-0123456789ab";
    const std::string notOurs = "other.vltmp-" + std::to_string(child) + "-0123456789ab";
    for (const std::string &name : {dead, living, oldForm, otherTarget, notOurs}) Touch(name);
    std::filesystem::last_write_time(directory + "/" + oldForm,
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    SafeOverwrite write;
    ASSERT_EQ(BeginSafeOverwrite((directory + "/out.txt").c_str(), &write), 0);
    ASSERT_EQ(CommitSafeOverwrite(&write, false), 0);
    EXPECT_FALSE(std::filesystem::exists(directory + "/" + dead));
    EXPECT_FALSE(std::filesystem::exists(directory + "/" + oldForm));
    EXPECT_TRUE(std::filesystem::exists(directory + "/" + living));
    EXPECT_FALSE(std::filesystem::exists(directory + "/" + otherTarget));
    EXPECT_TRUE(std::filesystem::exists(directory + "/" + notOurs));
    EXPECT_TRUE(std::filesystem::exists(directory + "/out.txt"));
    EXPECT_FALSE(leftBy(prefix));
    waitpid(killed, nullptr, 0);
}

TEST(Paths, ParentReferenceKeepsARelativePathRelative) {
    char buffer[1024];
    EXPECT_STREQ(NormalizePath("../data/pic.png", buffer), "../data/pic.png");
    EXPECT_STREQ(NormalizePath("a/../b", buffer), "a/../b");
}

TEST(Paths, BackslashesBecomeSlashesAndDotSlashIsDropped) {
    char buffer[1024];
    EXPECT_STREQ(NormalizePath(".\\gfx\\.\\pic.png", buffer), "gfx/pic.png");
    EXPECT_STREQ(NormalizePath("PROGDIR:./x", buffer), "PROGDIR:x");
    EXPECT_STREQ(NormalizePath("file.", buffer), "file.");
}

TEST(Paths, NormalizeTruncatesToTheBuffer) {
    char buffer[4];
    EXPECT_STREQ(NormalizePath("abcdef", buffer, sizeof buffer), "abc");
}

TEST(Paths, DevicesResolveThroughTheAssignTable) {
    std::string out;
    const char *tmp = getenv("TMPDIR");
    std::string temp = tmp && *tmp ? tmp : "/tmp";
    ASSERT_EQ(ResolveHostPath("T:x.dat", &out), 1);
    EXPECT_EQ(out, temp + "/x.dat");
    ASSERT_EQ(ResolveHostPath("ram:", &out), 1);
    EXPECT_EQ(out, temp);
    ASSERT_EQ(ResolveHostPath("SYS:etc", &out), 1);
    EXPECT_EQ(out, "/etc");
    EXPECT_EQ(ResolveHostPath("WORK:x", &out), 0);
    ASSERT_EQ(ResolveHostPath("dir/a:b", &out), 1); // a colon after a slash is part of a file name
    EXPECT_EQ(out, "dir/a:b");
    SetAssign("Work", "/srv/work");
    ASSERT_EQ(ResolveHostPath("WORK:x", &out), 1);
    EXPECT_EQ(out, "/srv/work/x");
    SetAssign("work", nullptr);
}

TEST(Paths, TempFileNamesAreFreshFilesInTheTempDirectory) {
    char first[1024], second[1024];
    ASSERT_EQ(MakeTempFileName(first), 1);
    ASSERT_EQ(MakeTempFileName(second), 1);
    EXPECT_STRNE(first, second);
    EXPECT_TRUE(std::filesystem::exists(first));
    std::string out;
    ResolveHostPath("T:", &out);
    EXPECT_EQ(std::filesystem::path(first).parent_path(), std::filesystem::path(out));
    unlink(first);
    unlink(second);
}

TEST(Memory, ClearedBlocksAreZeroAndEmptyRequestsFail) {
    auto *block = static_cast<unsigned char *>(AllocBlock(64, 1));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(block[i], 0);
    FreeBlock(block);
    EXPECT_EQ(AllocBlock(0, 1), nullptr);
    FreeBlock(nullptr);
    EXPECT_GT(GetAvailableMemory(1), 0u);
}

} // namespace
