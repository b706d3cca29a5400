#include "host/safe_overwrite.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// When this process started: a temporary of the old name form (no pid) older than that belongs to a writer
// that is gone.
const time_t processStart = time(nullptr);

bool IsHexDigits(const char *text, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (!isxdigit(static_cast<unsigned char>(text[i]))) return false;
    return text[count] == 0;
}

// A process that has ended but whose parent has not collected its status still answers kill(pid, 0).
bool IsZombie(long pid) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    FILE *file = fopen(path, "r");
    if (!file) return false;
    char line[512];
    const bool read = fgets(line, sizeof line, file) != nullptr;
    fclose(file);
    const char *end = read ? strrchr(line, ')') : nullptr; // the name in parentheses may hold anything
    return end && end[1] == ' ' && (end[2] == 'Z' || end[2] == 'X');
}

// Whether a temporary (the text after ".vltmp-") was left by a writer that no longer runs: the
// name carries the writer's pid ("<pid>-<12 hex>"); older names carry only the 12 hex digits and count as stale
// when older than this process.
bool IsStaleTemporary(int directoryFd, const char *name, const char *tail) {
    char *end = nullptr;
    errno = 0;
    long pid = strtol(tail, &end, 10);
    if (end != tail && *end == '-' && IsHexDigits(end + 1, 12) && errno == 0 && pid > 0) {
        if (pid == getpid()) return false; // another write of this process
        if (kill(static_cast<pid_t>(pid), 0) != 0) return errno == ESRCH;
        return IsZombie(pid); // killed, not yet waited for by its parent
    }
    struct stat info;
    return IsHexDigits(tail, 12) && fstatat(directoryFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(info.st_mode) && info.st_mtime < processStart;
}

// A writer killed between creating its temporary file and the rename leaves the file behind. The first write of
// this process into a directory removes every such file there; once per directory, so that copying many files
// into one directory does not read it again for each file.
void RemoveStaleTemporaries(int directoryFd) {
    struct stat info;
    if (fstat(directoryFd, &info) != 0) return;
    static std::mutex lock;
    static std::set<std::pair<dev_t, ino_t>> cleaned;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (!cleaned.insert({info.st_dev, info.st_ino}).second) return;
    }
    int fd = dup(directoryFd);
    if (fd < 0) return;
    DIR *directory = fdopendir(fd);
    if (!directory) {
        close(fd);
        return;
    }
    constexpr char kMark[] = ".vltmp-";
    while (dirent *entry = readdir(directory)) {
        const char *mark = entry->d_name[0] == '.' ? strstr(entry->d_name, kMark) : nullptr;
        if (mark && IsStaleTemporary(directoryFd, entry->d_name, mark + sizeof kMark - 1))
            unlinkat(directoryFd, entry->d_name, 0);
    }
    closedir(directory);
}

void CloseDirectory(SafeOverwrite *write) {
    if (write->ownsDirectory && write->directoryFd >= 0) close(write->directoryFd);
    write->directoryFd = -1;
    write->ownsDirectory = false;
}

} // namespace

int BeginSafeOverwriteAt(int directoryFd, const char *name, SafeOverwrite *out) {
    if (!name || !*name || !out) return EINVAL;
    out->name = name;
    out->directoryFd = directoryFd;
    static thread_local std::mt19937_64 random{std::random_device{}()};
    // Long names keep their room for the suffix: the temporary name must fit where the target's does.
    std::string prefix(1, '.'); // appended piece by piece: GCC 12 warns wrongly about "." + name
    prefix.append(out->name, 0, 200).append(".vltmp-");
    RemoveStaleTemporaries(directoryFd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        snprintf(suffix, sizeof suffix, "%ld-%012llx", static_cast<long>(getpid()),
                 static_cast<unsigned long long>(random() & 0xffffffffffffULL));
        out->tempName = prefix + suffix;
        out->fd = openat(directoryFd, out->tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                         0600);
        if (out->fd >= 0) return 0;
        if (errno != EEXIST) break;
    }
    int error = errno;
    out->tempName.clear();
    return error ? error : EEXIST;
}

int BeginSafeOverwrite(const char *path, SafeOverwrite *out) {
    if (!path || !*path || !out) return EINVAL;
    std::string text = path;
    size_t slash = text.find_last_of('/');
    std::string directory = slash == std::string::npos ? "." : (slash == 0 ? "/" : text.substr(0, slash));
    std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
    int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    int error = BeginSafeOverwriteAt(fd, name.c_str(), out);
    out->directoryFd = fd;
    out->ownsDirectory = true;
    if (error) CloseDirectory(out);
    return error;
}

int MatchTargetPermissions(const SafeOverwrite *write) {
    struct stat existing;
    mode_t mode = 0666;
    if (fstatat(write->directoryFd, write->name.c_str(), &existing, 0) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode &= ~mask;
    }
    return fchmod(write->fd, mode) == 0 ? 0 : errno;
}

int CommitSafeOverwrite(SafeOverwrite *write, bool syncData) {
    int error = 0;
    if (syncData && fsync(write->fd) != 0) error = errno;
    if (close(write->fd) != 0 && !error) error = errno;
    write->fd = -1;
    if (!error && renameat(write->directoryFd, write->tempName.c_str(), write->directoryFd, write->name.c_str()) != 0)
        error = errno;
    if (error) unlinkat(write->directoryFd, write->tempName.c_str(), 0);
    else if (syncData) fsync(write->directoryFd); // the rename itself survives a crash
    CloseDirectory(write);
    return error;
}

void AbortSafeOverwrite(SafeOverwrite *write) {
    if (write->fd >= 0) close(write->fd);
    write->fd = -1;
    if (!write->tempName.empty()) unlinkat(write->directoryFd, write->tempName.c_str(), 0);
    CloseDirectory(write);
}
