#include "host/file_tree.h"

#include "host/file_services.h"
#include "host/path.h"
#include "host/safe_overwrite.h"
#include "host/virtual_file.h"
#include "host/wildcard.h"
#include "runtime/app/errors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// copy_file_range moves this much per call: large steps, so the kernel can share or splice whole extents.
constexpr size_t kCopyStep = size_t(1) << 30;
constexpr size_t kFallbackBuffer = size_t(1) << 20;

struct Descriptor {
    int fd = -1;
    explicit Descriptor(int f = -1) : fd(f) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

struct Walk {
    const PatternBuffer *pattern = nullptr;
    TreeCallback callback;

    bool HasCallback() const { return callback.call != nullptr; }
    bool Matches(const std::string &name) const { return !pattern || MatchWildcardPattern(pattern, name.c_str()) == 1; }
    int Ask(const TreeMessage &message) const { return callback.call ? callback.call(callback.context, message) : 0; }
};

int Fail(int code, const std::string &name) {
    SetErrorArgString(name);
    return code;
}

// A name inside an open directory as a path the xattr and chmod calls take.
std::string EntryPath(int directoryFd, const std::string &name) {
    if (directoryFd == AT_FDCWD) return name;
    return "/proc/self/fd/" + std::to_string(directoryFd) + "/" + name;
}

// The entries of an open directory (without "." and ".."), read whole before anything changes them, in byte order.
bool ReadNames(int directoryFd, std::vector<std::string> *names) {
    int copy = dup(directoryFd);
    if (copy < 0) return false;
    DIR *dir = fdopendir(copy);
    if (!dir) {
        close(copy);
        return false;
    }
    rewinddir(dir);
    while (dirent *entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        names->emplace_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names->begin(), names->end());
    return true;
}

bool IsProtectedFromDelete(int directoryFd, const std::string &name, const struct stat &info) {
    if (S_ISLNK(info.st_mode)) return false; // links hold no user attributes
    return !(FlagsFromStat(EntryPath(directoryFd, name), info, false) & FILEATTR_DELETE_USR);
}

// FILEATTR_NORMAL on an entry: u+rw (u+x for a directory), no stored protection. The mode comes first: its owner
// may change a file's user attributes only while it can write the file.
void Unprotect(int directoryFd, const std::string &name, const struct stat &info) {
    mode_t mode = (info.st_mode & 07777) | S_IRUSR | S_IWUSR | (S_ISDIR(info.st_mode) ? S_IXUSR : 0);
    fchmodat(directoryFd, name.c_str(), mode, 0);
    lremovexattr(EntryPath(directoryFd, name).c_str(), kProtectionAttribute);
}

// Copies the user attributes (protection, comment); ones the destination cannot hold are dropped, as cp -p does.
void CopyAttributes(int from, int to) {
    ssize_t size = flistxattr(from, nullptr, 0);
    if (size <= 0) return;
    std::string names(static_cast<size_t>(size), '\0');
    size = flistxattr(from, names.data(), names.size());
    for (size_t at = 0; size > 0 && at < static_cast<size_t>(size); at += strlen(names.c_str() + at) + 1) {
        const char *name = names.c_str() + at;
        if (strncmp(name, "user.", 5) != 0) continue;
        ssize_t length = fgetxattr(from, name, nullptr, 0);
        if (length < 0) continue;
        std::string value(static_cast<size_t>(length), '\0');
        length = fgetxattr(from, name, value.data(), value.size());
        if (length >= 0) fsetxattr(to, name, value.data(), static_cast<size_t>(length), 0);
    }
}

void CopyModeAndDate(int to, const struct stat &source) {
    fchmod(to, source.st_mode & 07777);
    struct timespec times[2] = {source.st_atim, source.st_mtim};
    futimens(to, times);
}

// Moves the data without a callback: copy_file_range in large steps, read and write where it is not supported.
// 0, kErrCannotReadFile (read) or kErrWriteFailed (write).
int CopyData(int from, int to) {
    bool fallback = false;
    while (!fallback) {
        ssize_t n = copy_file_range(from, nullptr, to, nullptr, kCopyStep, 0);
        if (n == 0) return 0;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EBADF)
            return errno == EIO ? kErrCannotReadFile : kErrWriteFailed;
        fallback = true;
    }
    std::vector<char> buffer(kFallbackBuffer);
    for (;;) {
        ssize_t n = read(from, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return kErrCannotReadFile;
        if (n == 0) return 0;
        if (write(to, buffer.data(), static_cast<size_t>(n)) != n) return kErrWriteFailed;
    }
}

// The source of a copy: a descriptor, or a linked file's range through the virtual-file layer.
struct CopySource {
    int fd = -1;
    VirtualFile *linked = nullptr;

    ssize_t Read(void *buffer, size_t count) {
        if (linked) return static_cast<ssize_t>(ReadVirtualFile(linked, buffer, count));
        ssize_t n;
        do n = read(fd, buffer, count);
        while (n < 0 && errno == EINTR);
        return n;
    }
};

// Moves the data in status blocks, asking the callback after each one.
int CopyDataWithStatus(const Walk &walk, CopySource &source, int to, int64_t size, const std::string &sourceName,
                       const std::string &destinationName) {
    std::vector<char> buffer(kCopyStatusBlock);
    int64_t copied = 0;
    for (;;) {
        // Exactly one block per status call, also when read returns less.
        size_t filled = 0;
        while (filled < buffer.size()) {
            ssize_t n = source.Read(buffer.data() + filled, buffer.size() - filled);
            if (n < 0) return Fail(kErrCannotReadFile, sourceName);
            if (n == 0) break;
            filled += static_cast<size_t>(n);
        }
        if (filled == 0) return 0;
        if (write(to, buffer.data(), filled) != static_cast<ssize_t>(filled)) return kErrWriteFailed;
        copied += static_cast<int64_t>(filled);
        TreeMessage message{kTreeCopyStatus, &sourceName, &destinationName, nullptr, copied, std::max(size, copied)};
        if (int answer = walk.Ask(message); answer != kTreeGoOn) return answer == kTreeSkip ? 0 : answer;
        if (filled < buffer.size()) return 0;
    }
}

// Copies one file to name in the destination directory. source is open (or a linked range) and sourceInfo its
// stat. Handles the overwrite and unprotect questions and the safe replacement.
int CopyOneFile(const Walk &walk, CopySource source, const struct stat &sourceInfo, const std::string &sourceName,
                int destinationFd, const std::string &name, const std::string &destinationName) {
    struct stat existing;
    bool exists = fstatat(destinationFd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists) {
        // A file never replaces a directory.
        if (S_ISDIR(existing.st_mode)) return Fail(kErrCannotWriteFile, destinationName);
        if (!source.linked && existing.st_dev == sourceInfo.st_dev && existing.st_ino == sourceInfo.st_ino)
            return kErrWrongUsage;
        if (walk.HasCallback()) {
            int answer = walk.Ask({kTreeCopyOverwrite, &sourceName, &destinationName});
            if (answer != kTreeGoOn) return answer == kTreeSkip ? 0 : answer;
        }
        uint32_t flags = S_ISLNK(existing.st_mode)
                             ? FILEATTR_WRITE_USR | FILEATTR_DELETE_USR
                             : FlagsFromStat(EntryPath(destinationFd, name), existing, false);
        if (!(flags & FILEATTR_WRITE_USR) || !(flags & FILEATTR_DELETE_USR)) {
            if (!walk.HasCallback()) return 0; // protected and nobody to ask: skipped
            int answer = walk.Ask({kTreeCopyUnprotect, nullptr, &destinationName});
            if (answer != kTreeGoOn) return answer == kTreeSkip ? 0 : answer;
            Unprotect(destinationFd, name, existing);
        }
    }
    SafeOverwrite output;
    if (BeginSafeOverwriteAt(destinationFd, name.c_str(), &output) != 0)
        return Fail(kErrCannotWriteFile, destinationName);
    int error = 0;
    if (walk.HasCallback() || source.linked)
        error = CopyDataWithStatus(walk, source, output.fd, sourceInfo.st_size, sourceName, destinationName);
    else
        error = CopyData(source.fd, output.fd);
    if (error == kErrCannotReadFile) SetErrorArgString(sourceName);
    // A full disk names the file that could not be written, as every other writer does.
    if (error == kErrWriteFailed) error = Fail(kErrCannotWriteFile, destinationName);
    if (!error) {
        if (source.fd >= 0) CopyAttributes(source.fd, output.fd);
        CopyModeAndDate(output.fd, sourceInfo);
        // Replacing an existing file: its data must be on the disk before the old file goes.
        if (CommitSafeOverwrite(&output, exists) != 0) return Fail(kErrCannotWriteFile, destinationName);
        return 0;
    }
    AbortSafeOverwrite(&output);
    return error;
}

// Recreates a link with the same target text, replacing a file or link of that name (never a directory).
int CopyLink(int sourceFd, const std::string &name, int destinationFd, const std::string &destinationName) {
    std::string target(PATH_MAX, '\0');
    ssize_t n = readlinkat(sourceFd, name.c_str(), target.data(), target.size());
    if (n < 0) return Fail(kErrExamine, destinationName);
    target.resize(static_cast<size_t>(n));
    struct stat existing;
    if (fstatat(destinationFd, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(existing.st_mode))
        return Fail(kErrCreateDirectory, destinationName);
    static thread_local std::mt19937_64 random{std::random_device{}()};
    std::string temporary = ".vllink-" + std::to_string(random());
    if (symlinkat(target.c_str(), destinationFd, temporary.c_str()) != 0 ||
        renameat(destinationFd, temporary.c_str(), destinationFd, name.c_str()) != 0) {
        unlinkat(destinationFd, temporary.c_str(), 0);
        return Fail(kErrCannotWriteFile, destinationName);
    }
    return 0;
}

// Opens (making it when missing) the directory name below parentFd. A link or a file in its place is
// kErrCreateDirectory: nothing is written through a link.
int OpenDestinationDirectory(int parentFd, const std::string &name, const std::string &path, int *out) {
    if (mkdirat(parentFd, name.c_str(), 0700) != 0 && errno != EEXIST) return Fail(kErrCreateDirectory, path);
    *out = openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (*out < 0) return Fail(kErrCreateDirectory, path);
    return 0;
}

int CopyEntries(const Walk &walk, int sourceFd, const std::string &sourcePath, int destinationFd,
                const std::string &destinationPath, int depth);

// A subdirectory: its comment first, its contents, then its date and mode (a read-only source directory must
// still take its entries).
int CopyDirectory(const Walk &walk, int sourceFd, const struct stat &sourceInfo, const std::string &sourcePath,
                  int destinationFd, const std::string &destinationPath, int depth) {
    if (depth > kMaxTreeDepth) return Fail(kErrExamine, sourcePath);
    CopyAttributes(sourceFd, destinationFd);
    int error = CopyEntries(walk, sourceFd, sourcePath, destinationFd, destinationPath, depth);
    if (!error) CopyModeAndDate(destinationFd, sourceInfo);
    return error;
}

int CopyEntries(const Walk &walk, int sourceFd, const std::string &sourcePath, int destinationFd,
                const std::string &destinationPath, int depth) {
    std::vector<std::string> names;
    if (!ReadNames(sourceFd, &names)) return Fail(kErrExamine, sourcePath);
    for (const std::string &name : names) {
        struct stat info;
        if (fstatat(sourceFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue; // removed meanwhile
        std::string from = JoinPathText(sourcePath, name), to = JoinPathText(destinationPath, name);
        if (!walk.Matches(name)) continue;
        int error = 0;
        if (S_ISLNK(info.st_mode)) {
            error = CopyLink(sourceFd, name, destinationFd, to);
        } else if (S_ISDIR(info.st_mode)) {
            Descriptor source(openat(sourceFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (source.fd < 0) return Fail(kErrLockFailed, from);
            int made = -1;
            if ((error = OpenDestinationDirectory(destinationFd, name, to, &made))) return error;
            Descriptor destination(made);
            error = CopyDirectory(walk, source.fd, info, from, destination.fd, to, depth + 1);
        } else if (S_ISREG(info.st_mode)) {
            Descriptor file(openat(sourceFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
            if (file.fd < 0) return Fail(kErrCannotReadFile, from);
            error = CopyOneFile(walk, CopySource{file.fd}, info, from, destinationFd, name, to);
        }
        // Pipes and devices are not copied: reading a pipe would wait for a writer.
        if (error) return error;
    }
    return 0;
}

// The canonical form of a path whose tail may not exist yet: the longest existing prefix resolved, the rest
// appended with "." and ".." applied.
std::string CanonicalOfMaybeMissing(const std::string &path) {
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[PATH_MAX];
        absolute = std::string(getcwd(cwd, sizeof cwd) ? cwd : "") + "/" + path;
    }
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= absolute.size()) {
        size_t slash = absolute.find('/', at);
        if (slash == std::string::npos) slash = absolute.size();
        std::string part = absolute.substr(at, slash - at);
        if (!part.empty()) parts.push_back(part);
        at = slash + 1;
    }
    std::string resolved = "/";
    size_t i = 0;
    for (; i <= parts.size(); ++i) {
        std::string prefix = "/";
        for (size_t k = 0; k < parts.size() - i; ++k) prefix += (k ? "/" : "") + parts[k];
        char buffer[PATH_MAX];
        if (realpath(prefix.c_str(), buffer)) {
            resolved = buffer;
            break;
        }
    }
    for (size_t k = parts.size() - i; k < parts.size(); ++k) {
        if (parts[k] == ".") continue;
        if (parts[k] == "..") {
            size_t slash = resolved.find_last_of('/');
            resolved.resize(slash == 0 ? 1 : slash);
            continue;
        }
        if (resolved.back() != '/') resolved += '/';
        resolved += parts[k];
    }
    return resolved;
}

bool IsPlainName(const std::string &name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\:") == std::string::npos;
}

std::string FullName(const std::string &path) {
    char buffer[PATH_MAX];
    return realpath(path.c_str(), buffer) ? std::string(buffer) : path;
}

int DeleteEntries(const Walk &walk, int directoryFd, const std::string &path, int depth);

// One file, link or (emptied) directory: the pattern, the protection question, the status question, then away.
int DeleteEntry(const Walk &walk, int directoryFd, const std::string &name, const struct stat &info,
                const std::string &path) {
    if (!walk.Matches(name)) return 0;
    if (IsProtectedFromDelete(directoryFd, name, info)) {
        if (!walk.HasCallback()) return 0; // protected and nobody to ask: kept
        int answer = walk.Ask({kTreeDeleteUnprotect, nullptr, nullptr, &path});
        if (answer != kTreeGoOn) return answer == kTreeSkip ? 0 : answer;
        Unprotect(directoryFd, name, info);
    }
    if (walk.HasCallback()) {
        int answer = walk.Ask({kTreeDeleteStatus, nullptr, nullptr, &path});
        if (answer != kTreeGoOn) return answer == kTreeSkip ? 0 : answer;
    }
    if (unlinkat(directoryFd, name.c_str(), S_ISDIR(info.st_mode) ? AT_REMOVEDIR : 0) != 0)
        return Fail(kErrDeleteFile, path);
    return 0;
}

int DeleteEntries(const Walk &walk, int directoryFd, const std::string &path, int depth) {
    if (depth > kMaxTreeDepth) return Fail(kErrDeleteFile, path);
    std::vector<std::string> names;
    if (!ReadNames(directoryFd, &names)) return Fail(kErrDeleteFile, path);
    for (const std::string &name : names) {
        struct stat info;
        if (fstatat(directoryFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        std::string entry = JoinPathText(path, name);
        if (S_ISDIR(info.st_mode)) {
            if (!walk.Matches(name)) continue;
            Descriptor sub(openat(directoryFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sub.fd < 0) return Fail(kErrDeleteFile, entry);
            if (int error = DeleteEntries(walk, sub.fd, entry, depth + 1)) return error;
        }
        if (int error = DeleteEntry(walk, directoryFd, name, info, entry)) return error;
    }
    return 0;
}

} // namespace

size_t NamePartOffset(const std::string &path) {
    size_t at = path.find_last_of("/\\:");
    return at == std::string::npos ? 0 : at + 1;
}

std::string JoinPathText(const std::string &directory, const std::string &name) {
    if (directory.empty()) return name;
    char last = directory.back();
    if (last == '/' || last == '\\' || last == ':') return directory + name;
    return directory + "/" + name;
}

int ListDirectory(const char *path, bool sorted, DirectoryNames *out) {
    std::string host;
    if (!path || !*path || !ResolveHostPath(path, &host)) return Fail(kErrLockFailed, path ? path : "");
    const int fd = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        struct stat info;
        return Fail(stat(host.c_str(), &info) == 0 ? kErrNotADirectory : kErrLockFailed, path);
    }
    // The kernel's records straight from getdents64, in large batches; each name is copied once, into out->bytes.
    constexpr size_t kBatchBytes = 256 * 1024;
    std::unique_ptr<char[]> batch(new char[kBatchBytes]);
    for (;;) {
        const ssize_t got = getdents64(fd, batch.get(), kBatchBytes);
        if (got <= 0) break; // an error part-way keeps what was read, as readdir does
        for (ssize_t at = 0; at < got;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(batch.get() + at);
            at += entry->d_reclen;
            const char *name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
            bool isDirectory = entry->d_type == DT_DIR;
            if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
                struct stat info; // a link counts as its target; a dangling one as a file
                isDirectory = fstatat(fd, name, &info, 0) == 0 && S_ISDIR(info.st_mode);
            }
            const size_t length = strlen(name);
            uint64_t key = 0;
            for (size_t i = 0; i < 8; i++) key = key << 8 | (i < length ? uint8_t(name[i]) : 0);
            (isDirectory ? out->directories : out->files)
                .push_back(DirectoryNames::Name{key, uint32_t(out->bytes.size()), uint32_t(length)});
            out->bytes.append(name, length);
        }
    }
    close(fd);
    if (sorted) {
        const char *bytes = out->bytes.data();
        auto less = [bytes](const DirectoryNames::Name &a, const DirectoryNames::Name &b) {
            if (a.key != b.key) return a.key < b.key;
            if (a.length <= 8 || b.length <= 8) return a.length < b.length;
            const int order = memcmp(bytes + a.offset + 8, bytes + b.offset + 8, std::min(a.length, b.length) - 8);
            return order != 0 ? order < 0 : a.length < b.length;
        };
        std::sort(out->files.begin(), out->files.end(), less);
        std::sort(out->directories.begin(), out->directories.end(), less);
    }
    return 0;
}

int MakePath(const char *path) {
    std::string host;
    if (!path || !*path || !ResolveHostPath(path, &host)) return Fail(kErrCreateDirectory, path ? path : "");
    for (size_t i = 1; i <= host.size(); ++i) {
        if (i < host.size() && host[i] != '/' && host[i] != '\\') continue;
        std::string prefix = host.substr(0, i);
        struct stat info;
        if (stat(prefix.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode)) return Fail(kErrCreateDirectory, prefix);
            continue;
        }
        if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return Fail(kErrCreateDirectory, prefix);
    }
    return 0;
}

int CopyPath(const char *source, const PatternBuffer *pattern, const char *destinationDirectory, const char *newName,
             const TreeCallback &callback) {
    Walk walk{pattern, callback};
    std::string name = newName ? newName : "";
    if (!name.empty() && !IsPlainName(name)) return kErrWrongUsage;
    std::string destination;
    if (!ResolveHostPath(destinationDirectory, &destination)) return Fail(kErrLockFailed, destinationDirectory);
    if (destination.empty()) destination.push_back('.'); // not = ".": GCC 12 warns wrongly about that copy

    ChunkNameParts chunk;
    CopySource from;
    struct stat info {};
    std::string host, sourceName;
    if (ParseChunkName(source, &chunk)) {
        // A file linked into the applet: read through its range, dated as linked files are.
        if (name.empty()) name = chunk.name.substr(NamePartOffset(chunk.name));
        sourceName = source;
        info.st_mode = S_IFREG | 0644;
        info.st_size = static_cast<off_t>(chunk.length);
        DateStamp linkedDate = LinkedFileDate();
        info.st_mtim.tv_sec = DateStampToUnixTime(&linkedDate);
    } else {
        if (!ResolveHostPath(source, &host)) return Fail(kErrLockFailed, source);
        if (host.empty()) host.push_back('.');
        if (stat(host.c_str(), &info) != 0) return Fail(kErrLockFailed, source);
        if (S_ISDIR(info.st_mode) && !name.empty()) return kErrWrongUsage;
        if (pattern && !S_ISDIR(info.st_mode)) return Fail(kErrNotADirectory, source);
        sourceName = FullName(host);
        std::string target = CanonicalOfMaybeMissing(destination);
        if (S_ISDIR(info.st_mode)) {
            // Into itself or its own subtree the copy would read its own output.
            if (target == sourceName || target.rfind(sourceName == "/" ? "/" : sourceName + "/", 0) == 0)
                return kErrWrongUsage;
        } else {
            if (name.empty()) name = host.substr(NamePartOffset(host));
            struct stat existing;
            if (stat(JoinPathText(target, name).c_str(), &existing) == 0 && existing.st_dev == info.st_dev &&
                existing.st_ino == info.st_ino)
                return kErrWrongUsage;
        }
    }
    if (int error = MakePath(destination.c_str())) return error;
    Descriptor target(open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (target.fd < 0) return Fail(kErrLockFailed, destinationDirectory);
    std::string destinationName = FullName(destination);

    if (!host.empty() && S_ISDIR(info.st_mode)) {
        Descriptor directory(open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (directory.fd < 0) return Fail(kErrLockFailed, source);
        return CopyDirectory(walk, directory.fd, info, sourceName, target.fd, destinationName, 0);
    }
    std::string to = JoinPathText(destinationName, name);
    if (host.empty()) {
        from.linked = OpenVirtualFile(source, kVirtualFileRead);
        if (!from.linked) return Fail(kErrCannotReadFile, source);
        int error = CopyOneFile(walk, from, info, sourceName, target.fd, name, to);
        CloseVirtualFile(from.linked);
        return error;
    }
    Descriptor file(open(host.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.fd < 0) return Fail(kErrCannotReadFile, sourceName);
    from.fd = file.fd;
    return CopyOneFile(walk, from, info, sourceName, target.fd, name, to);
}

int DeletePath(const char *path, const PatternBuffer *pattern, bool keepDirectory, const TreeCallback &callback) {
    Walk walk{pattern, callback};
    std::string host;
    if (!path || !ResolveHostPath(path, &host)) return 0; // an unknown device: nothing there to delete
    if (host.empty()) host.push_back('.');
    struct stat info;
    // The entry itself: a link is deleted, not followed; "dir/" through a link names its target.
    if ((keepDirectory ? stat(host.c_str(), &info) : lstat(host.c_str(), &info)) != 0) return 0;
    std::string name = FullName(host);
    if (!S_ISDIR(info.st_mode)) {
        if (keepDirectory) return 0;
        return DeleteEntry(walk, AT_FDCWD, host, info, name);
    }
    Descriptor directory(open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (keepDirectory ? 0 : O_NOFOLLOW)));
    if (directory.fd < 0) return Fail(kErrLockFailed, path);
    if (int error = DeleteEntries(walk, directory.fd, name, 1)) return error;
    if (keepDirectory) return 0;
    return DeleteEntry(walk, AT_FDCWD, host, info, name);
}
