// 100 x Wait(20, #MILLISECONDS) in the real player, headless (wall time minus that of an empty applet), against
// 100 x clock_nanosleep(20 ms) in the same run. WaitTimer's lateness is measured by the script's own timer.
// Idle frames: the processor time of the player's WaitFrame with nothing to do, and of a whole run of 600 such
// frames, against sleep_loop (an SDL program that sleeps once a frame; VL_SLEEP_LOOP) in the same run; an idle
// WaitLeftMouse with a due interval for 3 s against 3 s of sleep_loop; and how long SIGTERM takes to end a 1 fps
// wait. Those run on the video driver SDL_VIDEODRIVER names (offscreen when unset), so also under Xvfb.
#include <benchmark/benchmark.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "../bench_machine.h"

namespace {

constexpr int kWaits = 100;
constexpr int kWaitMs = 20;

std::string TempPath(const std::string &name) {
    return (std::filesystem::temp_directory_path() / ("vl_bench_wait_" + std::to_string(getpid()) + "_" + name))
        .string();
}

std::string CompileApplet(const std::string &name, const std::string &source) {
    std::string script = TempPath(name + ".vls"), applet = TempPath(name + ".vla");
    std::ofstream(script) << source;
    std::string command = std::string(VL_COMPILER) + " -o '" + applet + "' '" + script + "' >/dev/null";
    if (std::system(command.c_str()) != 0) std::abort();
    std::filesystem::remove(script);
    return applet;
}

extern "C" char **environ;

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

// Wall seconds of one player run; its debug output goes to output when given.
double Play(const std::string &applet, std::string *output = nullptr) {
    std::string outFile = TempPath("out.txt");
    std::string command = "SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy " + std::string(VL_PLAYER) +
                          " -quiet -debugdevice @stdout '" + applet + "' >'" + outFile + "'";
    double start = Now();
    if (std::system(command.c_str()) != 0) std::abort();
    double seconds = Now() - start;
    if (output) {
        std::ifstream in(outFile);
        std::getline(in, *output);
    }
    std::filesystem::remove(outFile);
    return seconds;
}

double EmptyPlaySeconds() {
    static double seconds = [] {
        std::string applet = CompileApplet("empty", "Local x = 0\n");
        double best = 1e9;
        for (int i = 0; i < 5; ++i) best = std::min(best, Play(applet));
        std::filesystem::remove(applet);
        return best;
    }();
    return seconds;
}

double SleepSeconds() {
    double start = Now();
    timespec interval{0, kWaitMs * 1000000L};
    for (int i = 0; i < kWaits; ++i)
        while (clock_nanosleep(CLOCK_MONOTONIC, 0, &interval, &interval) != 0) {
        }
    return Now() - start;
}

// Reported time: the player's waits; counters: the sleep loop of the same iteration and the ratio.
void BM_WaitAgainstNanosleep(benchmark::State &state) {
    std::string applet = CompileApplet("wait", "For i = 1 To " + std::to_string(kWaits) + "\n  Wait(" +
                                                   std::to_string(kWaitMs) + ", #MILLISECONDS)\nNext\n");
    double overhead = EmptyPlaySeconds(), player = 0, sleep = 0;
    for (auto _ : state) {
        player = std::max(1e-6, Play(applet) - overhead);
        sleep = SleepSeconds();
        state.SetIterationTime(player);
    }
    state.counters["nanosleep_ms"] = sleep * 1000;
    state.counters["ratio"] = player / sleep;
    std::filesystem::remove(applet);
}

// WaitTimer(1, 20, False) then the timer's own reading: how late each wait returned.
void BM_WaitTimerLateness(benchmark::State &state) {
    std::string applet = CompileApplet(
        "waittimer", "Local total, worst = 0, 0\nFor i = 1 To " + std::to_string(kWaits) +
                         "\n  StartTimer(1)\n  WaitTimer(1, " + std::to_string(kWaitMs) +
                         ", False)\n  Local late = GetTimer(1) - " + std::to_string(kWaitMs) +
                         "\n  total = total + late\n  If late > worst Then worst = late EndIf\nNext\n"
                         "DebugPrint(total / " + std::to_string(kWaits) + ", worst)\n");
    double mean = 0, worst = 0;
    for (auto _ : state) {
        std::string line;
        state.SetIterationTime(Play(applet, &line));
        if (std::sscanf(line.c_str(), "%lf %lf", &mean, &worst) != 2) std::abort();
    }
    state.counters["mean_late_ms"] = mean;
    state.counters["worst_late_ms"] = worst;
    std::filesystem::remove(applet);
}

// A process run by path: its processor time (user and system) and wall time in seconds, and its status.
struct ProcessRun {
    double cpu = 0, wall = 0;
    int status = -1;
};

// Runs argv; when ready is given, waits for that line on its standard output, then lets it run signalAfter
// seconds and sends SIGTERM, timing from the signal to its end (wall then holds that).
ProcessRun RunProcess(const std::vector<std::string> &argv, const char *ready = nullptr, double signalAfter = 0) {
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid;
    const double start = Now();
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    FILE *lines = fdopen(out[0], "r");
    double signalled = start;
    if (ready) {
        char line[256];
        while (std::fgets(line, sizeof line, lines) && std::string(line) != std::string(ready) + "\n") {
        }
        std::this_thread::sleep_for(std::chrono::duration<double>(signalAfter));
        signalled = Now();
        kill(pid, SIGTERM);
    }
    ProcessRun run;
    rusage usage{};
    if (wait4(pid, &run.status, 0, &usage) != pid) std::abort();
    run.wall = Now() - signalled;
    std::fclose(lines);
    run.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return run;
}

std::vector<std::string> PlayerArgs(const std::string &applet) {
    return {VL_PLAYER, "-quiet", "-debugdevice", "@stdout", applet};
}

constexpr int kFrames = 600;

// Median of 5 rounds, each running the two sides back to back: per frame, the run of 600 frames less one of none.
void BM_IdleFramesAgainstSleepLoop(benchmark::State &state) {
    const std::string display = "@DISPLAY {Width = 640, Height = 480}\n";
    std::string frames = CompileApplet("frames", display + "For i = 1 To " + std::to_string(kFrames) +
                                                     "\n  WaitFrame()\nNext\n");
    std::string none = CompileApplet("noframes", display + "Local x = 0\n");
    std::vector<double> player, peer, playerFrame, peerFrame, playerWall, peerWall;
    for (auto _ : state) {
        for (int round = 0; round < 5; round++) {
            const ProcessRun p = RunProcess(PlayerArgs(frames));
            const ProcessRun q = RunProcess({VL_SLEEP_LOOP, std::to_string(kFrames)});
            const ProcessRun p0 = RunProcess(PlayerArgs(none)), q0 = RunProcess({VL_SLEEP_LOOP, "0"});
            if (p.status || q.status || p0.status || q0.status) {
                std::fprintf(stderr, "a run failed: %d %d %d %d\n", p.status, q.status, p0.status, q0.status);
                std::abort();
            }
            player.push_back(p.cpu), peer.push_back(q.cpu), playerWall.push_back(p.wall), peerWall.push_back(q.wall);
            playerFrame.push_back((p.cpu - p0.cpu) / kFrames * 1e6);
            peerFrame.push_back((q.cpu - q0.cpu) / kFrames * 1e6);
        }
        state.SetIterationTime(vl::bench::Median(player));
    }
    using vl::bench::Median;
    state.counters["player_frame_us"] = Median(playerFrame);
    state.counters["peer_frame_us"] = Median(peerFrame);
    state.counters["frame_ratio"] = Median(playerFrame) / Median(peerFrame);
    state.counters["player_run_ms"] = Median(player) * 1000;
    state.counters["peer_run_ms"] = Median(peer) * 1000;
    state.counters["run_ratio"] = Median(player) / Median(peer);
    // Both sides ran their 600 frames at 60 a second: about 10 s each.
    state.counters["player_wall_s"] = Median(playerWall);
    state.counters["peer_wall_s"] = Median(peerWall);
    std::filesystem::remove(frames);
    std::filesystem::remove(none);
}

// WaitLeftMouse with an interval falling due during it and no click, ended by SIGTERM after 3 s, against sleep_loop
// running 3 s of frames.
void BM_IdleMouseWaitAgainstSleepLoop(benchmark::State &state) {
    std::string applet = CompileApplet("mouse", "@DISPLAY {Width = 640, Height = 480}\n"
                                                "SetInterval(1, Function() EndFunction, 20)\n"
                                                "DebugPrint(\"ready\")\nWaitLeftMouse()\n");
    std::vector<double> player, peer;
    for (auto _ : state) {
        for (int round = 0; round < 5; round++) {
            player.push_back(RunProcess(PlayerArgs(applet), "ready", 3.0).cpu);
            peer.push_back(RunProcess({VL_SLEEP_LOOP, "180"}).cpu);
        }
        state.SetIterationTime(vl::bench::Median(player));
    }
    state.counters["player_ms"] = vl::bench::Median(player) * 1000;
    state.counters["peer_ms"] = vl::bench::Median(peer) * 1000;
    state.counters["ratio"] = vl::bench::Median(player) / vl::bench::Median(peer);
    std::filesystem::remove(applet);
}

// SIGTERM during a 1 fps WaitFrame, sent at five points of the second: from the signal to the process's end.
void BM_SigtermEndsAFrameWait(benchmark::State &state) {
    std::string applet = CompileApplet("quit", "@DISPLAY {Width = 640, Height = 480}\nSetFPSLimit(1)\n"
                                               "WaitFrame()\nDebugPrint(\"ready\")\nRepeat\n  WaitFrame()\n"
                                               "Until False\n");
    std::vector<double> ends;
    for (auto _ : state) {
        for (int round = 0; round < 5; round++) {
            const ProcessRun run = RunProcess(PlayerArgs(applet), "ready", 0.1 + 0.17 * round);
            if (!WIFEXITED(run.status) || WEXITSTATUS(run.status) != 128 + SIGTERM) {
                std::fprintf(stderr, "SIGTERM gave status %d\n", run.status);
                std::abort();
            }
            ends.push_back(run.wall);
        }
        state.SetIterationTime(vl::bench::Median(ends));
    }
    state.counters["median_ms"] = vl::bench::Median(ends) * 1000;
    state.counters["worst_ms"] = *std::max_element(ends.begin(), ends.end()) * 1000;
    std::filesystem::remove(applet);
}

} // namespace

BENCHMARK(BM_WaitAgainstNanosleep)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_WaitTimerLateness)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_IdleFramesAgainstSleepLoop)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_IdleMouseWaitAgainstSleepLoop)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_SigtermEndsAFrameWait)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

// The idle benches take the driver from the environment; the Wait benches name theirs. Every process runs on the
// bench's last core, as the player's and the peer's frames then pay for the same moves between cores: none.
static bool DefaultDriver(int, char **) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    cpu_set_t cores;
    if (sched_getaffinity(0, sizeof cores, &cores) == 0) {
        int last = -1;
        for (int c = 0; c < CPU_SETSIZE; c++)
            if (CPU_ISSET(c, &cores)) last = c;
        CPU_ZERO(&cores);
        CPU_SET(last, &cores);
        sched_setaffinity(0, sizeof cores, &cores);
    }
    return true;
}

VL_BENCH_MAIN(.note = "", .setUp = DefaultDriver)
