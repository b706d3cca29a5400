// A whole process run for a benchmark: its CPU time and peak resident set, output thrown away.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vl::bench {

struct ChildUsage {
    double cpuSeconds = 0;     // user + system: other load on the machine does not skew it
    double peakMegabytes = 0;
};

// Runs argv with the extra environment words ("NAME=value"); false when it could not run or did not exit 0.
inline bool RunChild(const std::vector<std::string> &argv, const std::vector<std::string> &environment,
                     ChildUsage &usage) {
    const pid_t pid = fork();
    if (pid == 0) {
        for (const std::string &word : environment) putenv(const_cast<char *>(word.c_str()));
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1), dup2(null, 2);
        std::vector<char *> args;
        for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage used{};
    if (pid < 0 || wait4(pid, &status, 0, &used) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    usage.cpuSeconds = seconds(used.ru_utime) + seconds(used.ru_stime);
    usage.peakMegabytes = double(used.ru_maxrss) / 1024.0;
    return true;
}

// What a peer program says its version is ("Python 3.11.2"): its first line of "--version", or "unknown".
inline std::string PeerVersion(const std::string &program) {
    std::string version;
    if (access(program.c_str(), X_OK) != 0) return "not installed";
    if (FILE *out = popen((program + " --version 2>&1").c_str(), "r")) {
        char line[256] = {};
        if (std::fgets(line, sizeof line, out)) version = line;
        pclose(out);
    }
    while (!version.empty() && (version.back() == '\n' || version.back() == '\r')) version.pop_back();
    return version.empty() ? "unknown" : version;
}

// Prints "peer: PATH (VERSION)" so that figures always say what they were measured against.
inline void PrintPeer(const std::string &program) {
    std::printf("peer: %s (%s)\n", program.c_str(), PeerVersion(program).c_str());
}

inline const std::vector<std::string> kHeadless = {"SDL_VIDEODRIVER=offscreen", "SDL_AUDIODRIVER=dummy"};

} // namespace vl::bench
