#include "host/requester.h"

#include "runtime/app/errors.h"

#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Runs the program with argv (no shell, so titles and names need no quoting) and collects its standard output.
// Returns its exit status, or -1 when it could not run.
int RunCapture(const std::string &program, const std::vector<std::string> &args, std::string *output) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(fds[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) output->append(buffer, size_t(n));
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The system's patterns reduced to a shell glob zenity understands; alternatives and negation are dropped.
std::string GlobOf(const std::string &pattern) {
    if (pattern.find_first_of("(|~") != std::string::npos) return "";
    std::string glob;
    for (size_t i = 0; i < pattern.size(); i++) {
        if (pattern[i] == '#' && i + 1 < pattern.size() && pattern[i + 1] == '?') {
            glob += '*';
            i++;
        } else {
            glob += pattern[i];
        }
    }
    return glob;
}

} // namespace

std::string FindZenity() {
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/zenity";
        if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

int ZenityRequester(const RequesterRequest &request, RequesterAnswer *answer) {
    std::string zenity = FindZenity();
    if (zenity.empty()) {
        SetErrorArgString("zenity (file, path and string requesters)");
        return kErrCannotOpen;
    }
    std::vector<std::string> args;
    if (!request.title.empty()) args.push_back("--title=" + request.title);
    switch (request.kind) {
    case RequesterFile: {
        args.push_back("--file-selection");
        if (request.mode == kFileRequestSave) args.push_back("--save");
        if (request.mode == kFileRequestMultiple) args.push_back("--multiple");
        args.push_back("--separator=\n");
        std::string start = request.drawer;
        if (!start.empty() && start.back() != '/') start += '/';
        args.push_back("--filename=" + start + request.file);
        std::string glob = GlobOf(request.pattern);
        if (!glob.empty()) args.push_back("--file-filter=" + glob);
        break;
    }
    case RequesterPath:
        args.push_back("--file-selection");
        args.push_back("--directory");
        if (!request.drawer.empty()) args.push_back("--filename=" + request.drawer + "/");
        break;
    case RequesterString:
        args.push_back("--entry");
        if (!request.text.empty()) args.push_back("--text=" + request.text);
        args.push_back("--entry-text=" + request.defaultText);
        if (request.password) args.push_back("--hide-text");
        break;
    default: return 1000;
    }
    std::string output;
    int status = RunCapture(zenity, args, &output);
    if (status < 0 || status > 1) {
        SetErrorArgString(zenity);
        return kErrCannotOpen;
    }
    answer->ok = status == 0;
    if (!answer->ok) return 0;
    if (!output.empty() && output.back() == '\n') output.pop_back();
    if (request.kind == RequesterString) {
        answer->text = output;
        return 0;
    }
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        if (end > start) answer->paths.push_back(output.substr(start, end - start));
        start = end + 1;
    }
    answer->ok = !answer->paths.empty();
    return 0;
}
