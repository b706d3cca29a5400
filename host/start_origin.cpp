#include "host/start_origin.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Parents that run commands for a user who sees or collects their output: shells and script interpreters, and
// the programs that run jobs without a terminal (schedulers, build tools, test runners, remote logins).
// Names as the kernel shows them, without a trailing version number.
constexpr std::string_view kShellParents[] = {
    "sh",   "bash",   "rbash", "dash",  "zsh",   "ksh",     "mksh",  "oksh",   "pdksh", "ash",   "busybox",
    "fish", "csh",    "tcsh",  "yash",  "xonsh", "python",  "perl",  "ruby",   "cron",  "crond", "anacron",
    "atd",  "make",   "gmake", "ninja", "ctest", "meson",   "xargs", "timeout", "sudo", "su",    "doas",
    "sshd", "script", "watch", "tmux: server", "screen", "parallel",
};

} // namespace

int DecideStartedFromShell(bool anyTerminal, std::string_view parentName) {
    if (anyTerminal) return 1;
    // "python3.12" runs scripts as "python" does.
    while (!parentName.empty() && (parentName.back() == '.' || (parentName.back() >= '0' && parentName.back() <= '9')))
        parentName.remove_suffix(1);
    for (std::string_view shell : kShellParents)
        if (parentName == shell) return 1;
    return 0;
}

int DetectStartedFromShell() {
    const bool anyTerminal = isatty(0) || isatty(1) || isatty(2);
    std::string parentName;
    const std::string path = "/proc/" + std::to_string(getppid()) + "/comm";
    if (FILE *comm = fopen(path.c_str(), "r")) {
        char buffer[64] = {};
        if (fgets(buffer, sizeof buffer, comm)) parentName = buffer;
        fclose(comm);
    }
    while (!parentName.empty() && parentName.back() == '\n') parentName.pop_back();
    return DecideStartedFromShell(anyTerminal, parentName);
}

StreamKind StreamKindOf(int fd) {
    if (isatty(fd)) return StreamKind::Terminal;
    struct stat status;
    if (fstat(fd, &status) != 0) return StreamKind::Other; // closed: nothing collects it
    if (S_ISREG(status.st_mode)) return StreamKind::File;
    if (S_ISFIFO(status.st_mode)) return StreamKind::Pipe;
    return StreamKind::Other; // /dev/null, or a socket such as a desktop session's journal
}

bool ReportWantsMessageBox(int startedFromShell, StreamKind output, StreamKind error,
                           const std::function<bool()> &displayOpens) {
    const auto unattended = [](StreamKind kind) { return kind != StreamKind::Other; };
    if (startedFromShell != 0 || unattended(output) || unattended(error)) return false;
    return displayOpens && displayOpens();
}
