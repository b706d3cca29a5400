// Preloaded into the player: once the file VL_EXIT_WHEN exists, makes the thread named VL_EXIT_THREAD call
// exit(1), as Xlib's handler does on whichever thread meets a lost display.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

pid_t FindThread(const std::string &name) {
    std::error_code error;
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::string comm;
        std::getline(std::ifstream(task.path() / "comm"), comm);
        if (comm == name) return pid_t(std::stol(task.path().filename()));
    }
    return 0;
}

__attribute__((constructor)) void ArmExit() {
    const char *thread = getenv("VL_EXIT_THREAD"), *when = getenv("VL_EXIT_WHEN");
    if (!thread || !when) return;
    signal(SIGUSR1, [](int) { exit(1); });
    std::thread([name = std::string(thread), ready = std::string(when)] {
        for (int tries = 0; tries < 20000; tries++, usleep(1000)) {
            if (!std::filesystem::exists(ready)) continue;
            if (const pid_t target = FindThread(name)) {
                syscall(SYS_tgkill, getpid(), target, SIGUSR1);
                return;
            }
        }
    }).detach();
}

} // namespace
