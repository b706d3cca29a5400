// 100 x Wait(20, #MILLISECONDS) in the real player, headless (wall time minus that of an empty applet), against
// 100 x clock_nanosleep(20 ms) in the same run. WaitTimer's lateness is measured by the script's own timer.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

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

} // namespace

BENCHMARK(BM_WaitAgainstNanosleep)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_WaitTimerLateness)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

VL_BENCH_MAIN(.note = "")
