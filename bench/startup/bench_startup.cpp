// The player as a whole process, against /usr/bin/python3 in the same run (its path and version are printed):
// - start-up: an empty applet from exec to exit, against `python3 -c pass`, headless (the offscreen video driver
//   and the dummy audio driver); also against `python3 -S -c pass`, since what site-packages load at start
//   differs much between machines;
// - peak memory (the child's maximum resident set) of the same runs;
// - peak memory of DebugPrint("Hello!") with its start-up window under X11, on an Xvfb server the bench starts
//   (skipped when Xvfb is missing).
// Times are the children's CPU time (user + system), so that other load on the machine does not skew the ratio;
// each repetition interleaves 10 runs of each side and takes their medians. Targets: start-up at most 0.7 x
// python3, at most 12 MB for the empty applet, at most 45 MB with the window under X11. VL_BENCH_PLAYER names
// another player executable to measure (an older build, for figures before and after a change).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/compiler/compile.h"
#include "../bench_machine.h"
#include "../child_process.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRunsPerRepetition = 10;
// By its absolute path: a python3 found on PATH may be a version manager's shim, a program of its own that costs
// more than the interpreter it starts.
constexpr const char *kPython = "/usr/bin/python3";

using Usage = vl::bench::ChildUsage;

const fs::path &Scratch() {
    static fs::path path = [] {
        fs::path made = fs::temp_directory_path() / ("vl_bench_startup_" + std::to_string(getpid()));
        fs::create_directories(made);
        return made;
    }();
    return path;
}

// Runs argv with the extra environment words; its CPU time and peak resident set.
Usage Run(const std::vector<std::string> &argv, const std::vector<std::string> &environment) {
    Usage usage;
    if (!vl::bench::RunChild(argv, environment, usage)) {
        std::fprintf(stderr, "%s failed\n", argv[0].c_str());
        std::exit(1);
    }
    return usage;
}

std::string Applet(const char *name, const std::string &source) {
    AppletContents contents;
    CompileError error;
    std::vector<uint8_t> bytes;
    std::string message;
    if (!CompileApplet(source, std::string(name) + ".vls", Scratch().string(), contents, error) ||
        !BuildAppletFile(contents, false, bytes, message))
        std::abort();
    const fs::path path = Scratch() / (std::string(name) + ".vla");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return path.string();
}

std::string Player() {
    const char *other = std::getenv("VL_BENCH_PLAYER");
    return other && *other ? other : VL_PLAYER_PATH;
}

using vl::bench::kHeadless;

void BM_StartupEmptyApplet(benchmark::State &state) {
    const std::string applet = Applet("empty", "\n");
    const std::vector<std::string> ours = {Player(), "-quiet", applet}, peer = {kPython, "-c", "pass"};
    const std::vector<std::string> bare = {kPython, "-S", "-c", "pass"};
    Run(ours, kHeadless), Run(peer, kHeadless), Run(bare, kHeadless);
    for (auto _ : state) {
        std::vector<double> ourTimes, peerTimes, bareTimes, ourPeaks, peerPeaks;
        for (int i = 0; i < kRunsPerRepetition; i++) {
            const Usage a = Run(ours, kHeadless), b = Run(peer, kHeadless), c = Run(bare, kHeadless);
            ourTimes.push_back(a.cpuSeconds), peerTimes.push_back(b.cpuSeconds), bareTimes.push_back(c.cpuSeconds);
            ourPeaks.push_back(a.peakMegabytes), peerPeaks.push_back(b.peakMegabytes);
        }
        const double time = vl::bench::Median(ourTimes), peerTime = vl::bench::Median(peerTimes);
        const double bareTime = vl::bench::Median(bareTimes);
        state.SetIterationTime(time);
        state.counters["peer_ms"] = peerTime * 1000;
        state.counters["time_vs_peer"] = time / peerTime;
        state.counters["peer_S_ms"] = bareTime * 1000;
        state.counters["time_vs_peer_S"] = time / bareTime;
        state.counters["peak_MB"] = vl::bench::Median(ourPeaks);
        state.counters["peer_peak_MB"] = vl::bench::Median(peerPeaks);
    }
}

// An Xvfb server on a free display for as long as the bench runs; empty when there is none.
std::string XDisplay() {
    static std::string display = [] {
        int fds[2];
        if (pipe(fds) != 0) return std::string();
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1), dup2(null, 2);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                   static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char number[16] = {};
        const ssize_t got = pid > 0 ? read(fds[0], number, sizeof number - 1) : -1;
        close(fds[0]);
        if (got <= 0) return std::string();
        static pid_t server = pid;
        std::atexit([] { kill(server, SIGTERM), waitpid(server, nullptr, 0); });
        std::string name = ":";
        name.append(number, size_t(got) - (number[got - 1] == '\n' ? 1 : 0));
        return name;
    }();
    return display;
}

void BM_WindowUnderX11(benchmark::State &state) {
    const std::string display = XDisplay();
    if (display.empty()) {
        state.SkipWithError("Xvfb is not installed");
        return;
    }
    const std::string applet = Applet("hello", "DebugPrint(\"Hello!\")\n");
    const std::vector<std::string> ours = {Player(), "-quiet", applet};
    const std::vector<std::string> environment = {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "SDL_AUDIODRIVER=dummy"};
    Run(ours, environment);
    for (auto _ : state) {
        std::vector<double> times, peaks;
        for (int i = 0; i < kRunsPerRepetition; i++) {
            const Usage a = Run(ours, environment);
            times.push_back(a.cpuSeconds), peaks.push_back(a.peakMegabytes);
        }
        state.SetIterationTime(vl::bench::Median(times));
        state.counters["peak_MB"] = vl::bench::Median(peaks);
    }
}

BENCHMARK(BM_StartupEmptyApplet)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_WindowUnderX11)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

int Report() {
    fs::remove_all(Scratch());
    return 0;
}

bool PrintPeers(int, char **) {
    vl::bench::PrintPeer(kPython);
    return true;
}

} // namespace

VL_BENCH_MAIN(.setUp = PrintPeers, .report = Report)
