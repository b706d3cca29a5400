#include "host/safe_write.h"

#include "host/path.h"
#include "host/safe_overwrite.h"

#include <cerrno>
#include <string>
#include <unistd.h>

bool WriteAllBytes(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

int WriteFileSafely(const char *name, std::span<const uint8_t> bytes) {
    std::string path;
    if (!ResolveHostPath(name, &path) || path.empty()) {
        errno = ENOENT;
        return -1;
    }
    SafeOverwrite output;
    if (int error = BeginSafeOverwrite(path.c_str(), &output)) {
        errno = error;
        return -1;
    }
    if (MatchTargetPermissions(&output) != 0 || !WriteAllBytes(output.fd, bytes)) {
        int saved = errno;
        AbortSafeOverwrite(&output);
        errno = saved;
        return -1;
    }
    if (int error = CommitSafeOverwrite(&output, true)) {
        errno = error;
        return -1;
    }
    return 0;
}
