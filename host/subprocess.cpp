#include "host/subprocess.h"

#include "host/path.h"
#include "host/safe_write.h"
#include "host/tasks.h"
#include "runtime/app/errors.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <thread>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

std::string FindProgramOnPath(const char *name) {
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

int RunHelperProgram(const std::string &program, const std::vector<std::string> &args,
                     std::span<const uint8_t> input, std::string *output, int *startError) {
    if (startError) *startError = 0;
    // The child writes exec's errno here; a successful exec closes it empty.
    int in[2], out[2] = {-1, -1}, report[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) != 0) return -1;
    if ((output && pipe2(out, O_CLOEXEC) != 0) || pipe2(report, O_CLOEXEC) != 0) {
        for (int fd : {in[0], in[1], out[0], out[1]})
            if (fd >= 0) close(fd);
        return -1;
    }
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(program.c_str()));
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        int sink = output ? out[1] : open("/dev/null", O_WRONLY);
        if (sink >= 0) dup2(sink, 1);
        // A tool left serving a selection would hold our standard error, and a pipe reading it, open for good.
        if (!output && sink >= 0) dup2(sink, 2);
        execv(program.c_str(), argv.data());
        const int error = errno;
        [[maybe_unused]] ssize_t n = write(report[1], &error, sizeof error);
        _exit(127);
    }
    close(in[0]);
    close(report[1]);
    if (output) close(out[1]);
    if (pid < 0) {
        close(in[1]);
        close(report[0]);
        if (output) close(out[0]);
        return -1;
    }
    int execError = 0;
    ssize_t got;
    while ((got = read(report[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (got == ssize_t(sizeof execError)) {
        close(in[1]);
        if (output) close(out[0]);
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        if (startError) *startError = execError;
        return -1;
    }
    // A tool that stops reading early must not kill us with SIGPIPE.
    struct sigaction ignore {}, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    WriteAllBytes(in[1], input);
    close(in[1]);
    sigaction(SIGPIPE, &previous, nullptr);
    if (output) {
        char buffer[4096];
        ssize_t n;
        while ((n = read(out[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0) output->append(buffer, size_t(n));
        close(out[0]);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---- Programs of scripts ------------------------------------------------------------------------------------------------
namespace {

std::vector<std::string> SplitArguments(const char *text) {
    std::vector<std::string> words;
    if (!text) return words;
    const char *p = text;
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\n') ++p;
        if (!*p) break;
        std::string word;
        if (*p == '"') {
            ++p;
            while (*p && *p != '"') word += *p++;
            if (*p == '"') ++p;
        } else {
            while (*p && *p != ' ' && *p != '\t' && *p != '\n') word += *p++;
        }
        words.push_back(word);
    }
    return words;
}

// Started in front on a terminal, a program stays in our group: it may read the terminal and gets its CTRL-C
// itself. Any other runs in a group of its own, so that the end reaches what it started too.
bool InFrontOnATerminal() {
    const int terminal = open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) return false;
    const bool front = tcgetpgrp(terminal) == getpgrp();
    close(terminal);
    return front;
}

bool Reaped(pid_t child) {
    int status;
    pid_t got;
    while ((got = waitpid(child, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    return got != 0;
}

// True while a process of the group runs. One that has ended but waits for its reaper (the program's own children,
// which init takes over, may wait a second or more for it in a container) does not count.
bool GroupRuns(pid_t group) {
    if (kill(-group, 0) != 0) return false;
    DIR *proc = opendir("/proc");
    if (!proc) return true;
    bool runs = false;
    while (dirent *entry = readdir(proc)) {
        if (runs || entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        char stat[512];
        const int fd = openat(dirfd(proc), (std::string(entry->d_name) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        const ssize_t n = read(fd, stat, sizeof stat - 1);
        close(fd);
        if (n <= 0) continue;
        stat[n] = 0;
        // "pid (name) state ppid pgrp ...": the name may hold anything, so the fields are read after its last ')'.
        const char *after = strrchr(stat, ')');
        char state = 0;
        int parent = 0, processGroup = 0;
        if (after && sscanf(after + 1, " %c %d %d", &state, &parent, &processGroup) == 3)
            runs = processGroup == group && state != 'Z' && state != 'X';
    }
    closedir(proc);
    return runs;
}

// Waits for the program, or until the run is told to end: the program then gets the signal that ended the run
// (SIGTERM for an end without one), and what is still running of it about half a second later is killed.
void WaitForProgram(pid_t child, bool ownGroup) {
    const pid_t target = ownGroup ? -child : child;
    int exited = -1; // a descriptor that becomes readable when the program ends; without one, look every 50 ms
#ifdef SYS_pidfd_open
    exited = int(syscall(SYS_pidfd_open, child, 0));
#endif
    bool reaped = false;
    while (!(reaped = Reaped(child)) && !EndRequested()) WaitForWakeOrInput(exited, exited >= 0 ? -1 : 50000);
    if (!reaped) {
        kill(target, TerminationSignal() ? TerminationSignal() : SIGTERM);
        // Looks 10 ms apart, counted rather than timed: the program keeps real time whatever clock we keep. A look
        // a wake cuts short counts too, so that a stream of wakes cannot hold the end up. After fifty the rest is
        // killed, and looked at until it has gone.
        for (int looks = 0; !(reaped = reaped || Reaped(child)) || (ownGroup && GroupRuns(child)); looks++) {
            if (looks == 50) kill(target, SIGKILL);
            if (looks == 100) break;
            WaitForWakeOrInput(reaped ? -1 : exited, 10000);
        }
        while (!reaped && waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (exited >= 0) close(exited);
}

} // namespace

int StartProgram(const char *program, const char *arguments, int asynchronous) {
    std::string path;
    if (!program || !*program || !ResolveHostPath(program, &path)) {
        SetErrorArgString(program ? program : "");
        return kErrCannotOpen;
    }
    std::vector<std::string> words = SplitArguments(arguments);
    words.insert(words.begin(), path);
    std::vector<char *> argv;
    for (std::string &word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    // No shell: the words go to the program as they are. posix_spawnp reports a program that cannot be started;
    // the exit status of one that ran is the program's own business.
    pid_t child;
    const bool ownGroup = !asynchronous && !InFrontOnATerminal();
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (ownGroup) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    const int spawned = posix_spawnp(&child, path.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        SetErrorArgString(program);
        return kErrCannotOpen;
    }
    if (asynchronous) {
        std::thread([child] { // reaps it so no zombie stays behind
            int status;
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
        return 0;
    }
    WaitForProgram(child, ownGroup);
    return 0;
}
