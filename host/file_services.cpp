#include "host/file_services.h"

#include "host/memory.h"
#include "host/path.h"
#include "host/virtual_file.h"
#include "runtime/app/errors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr uint32_t kDeleteProtected = FILEATTR_DELETE_USR;
constexpr uint32_t kExtraBits = FILEATTR_PURE | FILEATTR_ARCHIVE | FILEATTR_SCRIPT | FILEATTR_HIDDEN | FILEATTR_SYSTEM;

bool HostPath(const char *name, std::string *out) { return name && *name && ResolveHostPath(name, out); }

// Linux lets a user read or change a file's user attributes only while the file grants that user the same access
// (root is exempt). When the owner is refused, the access is given for one more try and taken back.
template <typename Call> auto WithOwnerAccess(const std::string &path, mode_t access, bool follow, Call call) {
    auto result = call();
    int error = errno;
    struct stat info;
    if (result < 0 && error == EACCES && (follow ? stat : lstat)(path.c_str(), &info) == 0 &&
        !(info.st_mode & access) && (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) &&
        chmod(path.c_str(), (info.st_mode & 07777) | access) == 0) {
        result = call();
        error = errno;
        chmod(path.c_str(), info.st_mode & 07777);
    }
    errno = error;
    return result;
}

ssize_t GetAttribute(const std::string &path, const char *name, void *value, size_t size, bool follow) {
    return WithOwnerAccess(path, S_IRUSR, follow, [&] {
        return follow ? getxattr(path.c_str(), name, value, size) : lgetxattr(path.c_str(), name, value, size);
    });
}

// Sets a user attribute, or removes it when value is null; a file system without them has none to remove.
bool SetAttribute(const std::string &path, const char *name, const char *value, size_t size) {
    int result = WithOwnerAccess(path, S_IWUSR, true, [&] {
        return value ? setxattr(path.c_str(), name, value, size, 0) : removexattr(path.c_str(), name);
    });
    return result == 0 || (!value && (errno == ENODATA || errno == ENOTSUP));
}

uint32_t ReadStoredBits(const std::string &path, bool follow) {
    char text[32] = {};
    ssize_t n = GetAttribute(path, kProtectionAttribute, text, sizeof text - 1, follow);
    if (n <= 0) return 0;
    return static_cast<uint32_t>(strtoul(text, nullptr, 10));
}

int ExamineHostPath(const std::string &path, FileInfoRecord *out) {
    struct stat info;
    // A dangling link examines as the link itself, a file.
    if (stat(path.c_str(), &info) != 0 && lstat(path.c_str(), &info) != 0) return kErrExamine;
    FillFileInfo(path, info, out, true);
    return 0;
}

bool CopyOut(const std::string &text, char *buffer, size_t size) {
    if (!buffer || text.size() + 1 > size) return false;
    memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

std::string Canonical(const std::string &path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved)) return resolved;
    return path;
}

} // namespace

uint32_t FlagsFromStat(const std::string &path, const struct stat &info, bool follow) {
    uint32_t flags = 0;
    mode_t mode = info.st_mode;
    if (mode & S_IRUSR) flags |= FILEATTR_READ_USR;
    if (mode & S_IWUSR) flags |= FILEATTR_WRITE_USR;
    if (mode & S_IXUSR) flags |= FILEATTR_EXECUTE_USR;
    if (mode & S_IRGRP) flags |= FILEATTR_READ_GRP;
    if (mode & S_IWGRP) flags |= FILEATTR_WRITE_GRP;
    if (mode & S_IXGRP) flags |= FILEATTR_EXECUTE_GRP;
    if (mode & S_IROTH) flags |= FILEATTR_READ_OTH;
    if (mode & S_IWOTH) flags |= FILEATTR_WRITE_OTH;
    if (mode & S_IXOTH) flags |= FILEATTR_EXECUTE_OTH;
    uint32_t stored = ReadStoredBits(path, follow);
    if (!(stored & kDeleteProtected)) flags |= FILEATTR_DELETE_USR;
    flags |= stored & kExtraBits;
    return flags;
}

std::string ReadFileComment(const std::string &path, bool follow) {
    std::string comment;
    ssize_t n = GetAttribute(path, kCommentAttribute, nullptr, 0, follow);
    if (n <= 0) return comment;
    comment.resize(static_cast<size_t>(n));
    n = GetAttribute(path, kCommentAttribute, comment.data(), comment.size(), follow);
    comment.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return comment;
}

void FillFileInfo(const std::string &path, const struct stat &info, FileInfoRecord *out, bool follow) {
    out->type = S_ISDIR(info.st_mode) ? kFileTypeDirectory : kFileTypeFile;
    out->size = out->type == kFileTypeDirectory ? 0 : static_cast<int64_t>(info.st_size);
    out->flags = FlagsFromStat(path, info, follow);
    out->date = UnixTimeToDateStamp(info.st_mtime);
    out->comment = ReadFileComment(path, follow);
}

DateStamp LinkedFileDate() {
    DateFields fields{0, 0, 0, 16, 8, 1982};
    DateStamp stamp;
    FieldsToDateStamp(&fields, &stamp);
    return stamp;
}

PathRef *NewPathRef(const char *path, int) {
    if (!path) return nullptr;
    ChunkNameParts parts;
    if (ParseChunkName(path, &parts)) {
        auto *ref = new PathRef;
        ref->path = path;
        ref->isChunk = true;
        ref->chunkLength = static_cast<int64_t>(parts.length);
        ref->chunkBaseName = parts.name;
        return ref;
    }
    std::string host;
    if (!HostPath(path, &host)) return nullptr;
    struct stat info;
    if (stat(host.c_str(), &info) != 0) return nullptr;
    auto *ref = new PathRef;
    ref->path = Canonical(host);
    return ref;
}

void FreePathRef(PathRef *ref) { delete ref; }

int ExaminePathRef(PathRef *ref, FileInfoRecord *out) {
    if (!ref || !out) return kErrExamine;
    if (ref->isChunk) {
        out->type = kFileTypeFile;
        out->size = ref->chunkLength;
        out->flags = FILEATTR_READ_USR | FILEATTR_WRITE_USR | FILEATTR_DELETE_USR | FILEATTR_EXECUTE_USR;
        out->comment.clear();
        out->date = LinkedFileDate();
        return 0;
    }
    int result = ExamineHostPath(ref->path, out);
    if (result) SetErrorArgString(ref->path.c_str());
    return result;
}

int ExamineDirPathRef(PathRef *ref, DirScanState **out) {
    if (!ref || !out) return kErrNotADirectory;
    *out = nullptr;
    SetErrorArgString(ref->path.c_str());
    if (ref->isChunk) return kErrNotADirectory;
    DIR *dir = opendir(ref->path.c_str());
    if (!dir) return kErrNotADirectory;
    auto *scan = new DirScanState;
    scan->directory = ref->path;
    while (dirent *entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        scan->names.emplace_back(entry->d_name);
    }
    closedir(dir);
    std::sort(scan->names.begin(), scan->names.end());
    *out = scan;
    return 0;
}

int NextDirPathRefEntry(PathRef *, DirScanState *scan, std::string *name, int *isDirectory, FileInfoRecord *info) {
    if (!scan) return 0;
    while (scan->next < scan->names.size()) {
        const std::string &entry = scan->names[scan->next++];
        std::string path = scan->directory + (scan->directory.back() == '/' ? "" : "/") + entry;
        FileInfoRecord record;
        if (ExamineHostPath(path, &record) != 0) continue; // removed while scanning
        if (name) *name = entry;
        if (isDirectory) *isDirectory = record.type == kFileTypeDirectory ? 1 : 0;
        if (info) *info = record;
        return 1;
    }
    return 0;
}

void FreeFileInfoBlock(DirScanState *scan) { delete scan; }

int GetPathRefFullName(PathRef *ref, char *buffer, size_t size) {
    if (!ref) return 0;
    if (ref->isChunk) {
        char cwd[PATH_MAX];
        if (!getcwd(cwd, sizeof cwd)) return 0;
        std::string full = cwd;
        if (full.back() != '/') full += '/';
        return CopyOut(full + ref->chunkBaseName, buffer, size) ? 1 : 0;
    }
    return CopyOut(ref->path, buffer, size) ? 1 : 0;
}

int ResolveLockPath(const char *name, char *buffer, size_t size) {
    std::string host;
    char resolved[PATH_MAX];
    if (!HostPath(name, &host) || !realpath(host.c_str(), resolved)) return kErrLockDirectory;
    if (!CopyOut(resolved, buffer, size)) return kErrLockDirectory;
    return 0;
}

int GetVolumeSpace(const char *name, uint64_t *freeBytes, uint64_t *usedBytes) {
    std::string host;
    struct statvfs volume;
    if (!HostPath(name, &host) || statvfs(host.c_str(), &volume) != 0) return kErrLockDirectory;
    if (freeBytes) *freeBytes = static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize;
    if (usedBytes) *usedBytes = static_cast<uint64_t>(volume.f_blocks - volume.f_bfree) * volume.f_frsize;
    return 0;
}

int RenamePath(const char *oldName, const char *newName) {
    std::string from, to;
    if (!HostPath(oldName, &from) || !HostPath(newName, &to)) return 0;
    // Never replaces: an existing new name fails and both entries stay.
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 1;
    if (errno != EINVAL && errno != ENOSYS) return 0;
    // File systems without the flag: a file is linked under the new name (which fails when it exists), then
    // unlinked; a directory is renamed after a check.
    struct stat info;
    if (lstat(from.c_str(), &info) != 0) return 0;
    if (!S_ISDIR(info.st_mode)) {
        if (link(from.c_str(), to.c_str()) != 0) return 0;
        return unlink(from.c_str()) == 0 ? 1 : 0;
    }
    if (lstat(to.c_str(), &info) == 0) return 0;
    return rename(from.c_str(), to.c_str()) == 0 ? 1 : 0;
}

int SetProtectionFlags(const char *name, uint32_t flags) {
    std::string host;
    struct stat info;
    if (!HostPath(name, &host) || stat(host.c_str(), &info) != 0) return 0;
    mode_t mode = info.st_mode & 07777;
    uint32_t stored = 0;
    if (flags == FILEATTR_NORMAL) {
        // All permissions for the owner and no other flag; execute stays as it was on a plain file.
        mode |= S_IRUSR | S_IWUSR | (S_ISDIR(info.st_mode) ? S_IXUSR : 0);
    } else {
        const struct {
            uint32_t flag;
            mode_t bit;
        } map[] = {{FILEATTR_READ_USR, S_IRUSR},     {FILEATTR_WRITE_USR, S_IWUSR}, {FILEATTR_EXECUTE_USR, S_IXUSR},
                   {FILEATTR_READ_GRP, S_IRGRP},     {FILEATTR_WRITE_GRP, S_IWGRP}, {FILEATTR_EXECUTE_GRP, S_IXGRP},
                   {FILEATTR_READ_OTH, S_IROTH},     {FILEATTR_WRITE_OTH, S_IWOTH}, {FILEATTR_EXECUTE_OTH, S_IXOTH}};
        mode &= ~static_cast<mode_t>(0777);
        for (const auto &entry : map)
            if (flags & entry.flag) mode |= entry.bit;
        if (!(flags & FILEATTR_DELETE_USR)) stored |= kDeleteProtected;
        stored |= flags & kExtraBits;
    }
    // Store the extra bits first: when the file system cannot keep them, nothing changes and the call fails.
    char text[32];
    int n = snprintf(text, sizeof text, "%u", stored);
    if (!SetAttribute(host, kProtectionAttribute, stored ? text : nullptr, static_cast<size_t>(n))) return 0;
    return chmod(host.c_str(), mode) == 0 ? 1 : 0;
}

int SetFileDateStamp(const char *name, const DateStamp *stamp) {
    std::string host;
    if (!stamp || !HostPath(name, &host)) return 0;
    time_t t = DateStampToUnixTime(stamp);
    if (t == static_cast<time_t>(-1)) return 0;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = t;
    times[1].tv_nsec = (stamp->ticks % kTicksPerSecond) * (1000000000 / kTicksPerSecond);
    return utimensat(AT_FDCWD, host.c_str(), times, 0) == 0 ? 1 : 0;
}

int SetFileComment(const char *name, const char *comment) {
    std::string host;
    struct stat info;
    if (!HostPath(name, &host) || stat(host.c_str(), &info) != 0) return 0;
    bool remove = !comment || !*comment;
    return SetAttribute(host, kCommentAttribute, remove ? nullptr : comment, remove ? 0 : strlen(comment)) ? 1 : 0;
}

int FileCrc32(const char *name, uint32_t *out) {
    constexpr size_t kBlock = 1 << 16;
    std::string host;
    SetErrorArgString(name ? name : "");
    int fd = HostPath(name, &host) ? open(host.c_str(), O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0) return kErrCannotReadFile;
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::vector<unsigned char> buffer(kBlock);
    uLong crc = crc32(0L, Z_NULL, 0);
    for (;;) {
        ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return kErrReadFailed; // a checksum of part of the file would be wrong, not a result
        }
        if (n == 0) break;
        crc = crc32(crc, buffer.data(), static_cast<uInt>(n));
    }
    close(fd);
    *out = static_cast<uint32_t>(crc);
    return 0;
}
