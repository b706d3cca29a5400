// Loaded into the player by the soak harness (LD_PRELOAD): a thread writes the live heap (bytes malloc has handed
// out and not had back, its own mmapped chunks included) to the file VL_SOAK_PROBE names, every 20 ms.
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

[[gnu::constructor]] void StartProbe() {
    const char *path = std::getenv("VL_SOAK_PROBE");
    if (!path) return;
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) return;
    std::thread([fd] {
        for (;;) {
            const struct mallinfo2 info = mallinfo2();
            char line[64];
            const int n = std::snprintf(line, sizeof line, "%20zu\n", info.uordblks + info.hblkhd);
            if (pwrite(fd, line, size_t(n), 0) != n) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }).detach();
}

} // namespace
