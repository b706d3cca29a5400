#include "host/safe_overwrite.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[24];
        snprintf(suffix, sizeof suffix, ".vltmp-%012llx", static_cast<unsigned long long>(random() & 0xffffffffffffULL));
        // Long names keep their room for the suffix: the temporary name must fit where the target's does.
        std::string base = out->name.size() > 200 ? out->name.substr(0, 200) : out->name;
        out->tempName = "." + base + suffix;
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
