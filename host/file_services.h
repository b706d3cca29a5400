// Path references, directory scans, file attributes and the other file-system services.
//
// A "lock" here is an existence check plus the canonical path, taken when the reference is made. A ":::chunk"
// name (a file linked into the applet) is kept as text: it examines as a file of the range's length.
//
// Protection flags use the dos library's FILEATTR bits. The read, write and execute bits of user, group and
// others map to the POSIX mode bits. The bits POSIX has no room for (delete protection, PURE, ARCHIVE, SCRIPT,
// HIDDEN, SYSTEM) and file comments are kept in user extended attributes; where the file system has none, a
// request that needs one fails rather than pretending it was stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include <sys/stat.h>

#include "host/time_date.h"

constexpr uint32_t FILEATTR_READ_USR = 1;
constexpr uint32_t FILEATTR_WRITE_USR = 2;
constexpr uint32_t FILEATTR_DELETE_USR = 4;
constexpr uint32_t FILEATTR_EXECUTE_USR = 8;
constexpr uint32_t FILEATTR_PURE = 16;
constexpr uint32_t FILEATTR_ARCHIVE = 32;
constexpr uint32_t FILEATTR_SCRIPT = 64;
constexpr uint32_t FILEATTR_HIDDEN = 128;
constexpr uint32_t FILEATTR_SYSTEM = 256;
constexpr uint32_t FILEATTR_READ_GRP = 512;
constexpr uint32_t FILEATTR_WRITE_GRP = 1024;
constexpr uint32_t FILEATTR_EXECUTE_GRP = 2048;
constexpr uint32_t FILEATTR_READ_OTH = 4096;
constexpr uint32_t FILEATTR_WRITE_OTH = 8192;
constexpr uint32_t FILEATTR_EXECUTE_OTH = 16384;
constexpr uint32_t FILEATTR_READONLY = 32768;
constexpr uint32_t FILEATTR_NORMAL = 65536;

constexpr int kFileTypeFile = 0;
constexpr int kFileTypeDirectory = 1;

struct FileInfoRecord {
    int type = kFileTypeFile;
    int64_t size = 0;
    uint32_t flags = 0; // FILEATTR bits
    std::string comment;
    DateStamp date;
};

struct PathRef {
    std::string path; // the canonical host path, or the ":::chunk" name as given
    bool isChunk = false;
    int64_t chunkLength = 0;
    std::string chunkBaseName;
};

// A reference to an existing file or directory; null when it does not exist (or the device is unknown).
// The access mode (shared or exclusive on the system) is accepted and not enforced.
PathRef *NewPathRef(const char *path, int accessMode);
void FreePathRef(PathRef *ref);
// 0, or kErrExamine "Could not examine %s!" (the path as the error argument).
int ExaminePathRef(PathRef *ref, FileInfoRecord *out);

// A directory scan: the entries (without "." and ".."), sorted by name so scans repeat.
struct DirScanState {
    std::string directory;
    std::vector<std::string> names;
    size_t next = 0;
};
// 0 with *out a new scan state, or kErrNotADirectory "%s is not a directory!" for a file or a ":::chunk" name (also
// when the directory cannot be read).
int ExamineDirPathRef(PathRef *ref, DirScanState **out);
// 1 with the next entry's name, whether it is a directory and its info (either out may be null), 0 at the end.
int NextDirPathRefEntry(PathRef *ref, DirScanState *scan, std::string *name, int *isDirectory, FileInfoRecord *info);
void FreeFileInfoBlock(DirScanState *scan);

// Writes the reference's full path (for a ":::chunk" name, the current directory joined with the chunk's base
// name); 1 on success, 0 when it does not fit.
int GetPathRefFullName(PathRef *ref, char *buffer, size_t size);

// The canonical path of an existing name; 0, or kErrLockDirectory "Error locking directory!".
int ResolveLockPath(const char *name, char *buffer, size_t size);
// Free and used bytes of the volume holding the name; 0, or kErrLockDirectory when the name cannot be locked.
int GetVolumeSpace(const char *name, uint64_t *freeBytes, uint64_t *usedBytes);

// Each returns non-zero on success.
int RenamePath(const char *oldName, const char *newName);
int SetProtectionFlags(const char *name, uint32_t flags);
int SetFileDateStamp(const char *name, const DateStamp *stamp);
int SetFileComment(const char *name, const char *comment);

// The user extended attributes that hold what the mode bits cannot: the protection bits POSIX lacks (a number in
// text) and the comment, under the name file managers show.
constexpr char kProtectionAttribute[] = "user.vistaloom.protection";
constexpr char kCommentAttribute[] = "user.xdg.comment";
// The FILEATTR flags of an entry from its stat and the protection attribute (read through a final link when
// follow is set, as stat did).
uint32_t FlagsFromStat(const std::string &path, const struct stat &info, bool follow);
// The whole comment, "" when there is none.
std::string ReadFileComment(const std::string &path, bool follow);
// type, size (files only), flags, date and comment of the entry at path, whose stat is info.
void FillFileInfo(const std::string &path, const struct stat &info, FileInfoRecord *out, bool follow);

// The CRC-32 (zlib's) of a whole file: 0, kErrCannotReadFile "Cannot read file %s !" (the name as error argument), or
// kErrReadFailed when a read fails on the way.
int FileCrc32(const char *name, uint32_t *out);

// The date linked files report: 16 September 1982, 00:00.
DateStamp LinkedFileDate();
