#include "host/safe_write.h"

#include "host/path.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

int WriteFileSafely(const char *name, std::span<const uint8_t> bytes) {
    std::string path;
    if (!ResolveHostPath(name, &path) || path.empty()) {
        errno = ENOENT;
        return -1;
    }
    // The temporary file sits beside the target, so the rename stays inside one file system.
    std::string temporary = path + ".vltmpXXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) return -1;
    // An existing file keeps its permissions; a new one gets the usual ones.
    struct stat existing;
    mode_t mode = 0666;
    if (stat(path.c_str(), &existing) == 0) mode = existing.st_mode & 07777;
    else {
        mode_t mask = umask(0);
        umask(mask);
        mode &= ~mask;
    }
    bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
    int saved = errno;
    if (close(fd) != 0 && ok) ok = false, saved = errno;
    if (ok && rename(temporary.c_str(), path.c_str()) == 0) return 0;
    if (ok) saved = errno;
    unlink(temporary.c_str());
    errno = saved;
    return -1;
}
