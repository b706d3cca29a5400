// exit_on_thread NAME: starts the player's threads (the clock's ticker, the signal watcher, the sound server and
// its streaming thread, an ARexx port's I/O thread), then makes the thread named NAME call exit(1), as Xlib's
// handler does on whichever thread meets a lost display. The process must end with status 1.
#include "host/rexx_port.h"
#include "host/tasks.h"
#include "media/sound/audio_channels.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/syscall.h>
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

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) return 2;
    signal(SIGUSR1, [](int) { exit(1); });
    if (StartupSystem() != 0 || StartAudioTasks() != 0 || OpenRexxPort("vl-exit-" + std::to_string(getpid())) != 0)
        return 3;
    // Each thread names itself when it starts.
    for (int tries = 0; tries < 10000; tries++) {
        if (const pid_t thread = FindThread(argv[1])) {
            syscall(SYS_tgkill, getpid(), thread, SIGUSR1);
            for (;;) pause();
        }
        usleep(1000);
    }
    return 4;
}
