#include "host/subprocess.h"

#include "host/path.h"
#include "host/safe_write.h"
#include "runtime/app/errors.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <thread>
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
    if (posix_spawnp(&child, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
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
    int status;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return 0;
}
