// Four workloads in the script language on our VM (with the per-line hook installed, as the player runs) and the
// same workloads in python3, each timed around the work only. Prints the median of the repetitions and the
// ratio ours/python per workload.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "runtime/vm/proto.h"
#include "runtime/vm/vm.h"
#include "tools/compiler/compile.h"
#include "../bench_machine.h"

using vl::bench::Median;

namespace {

struct Workload {
    const char *name;
    double expected; // the script's `result`, checked so a broken run cannot look fast
};

constexpr Workload kWorkloads[] = {
    {"fib", 832040},
    {"loop", 50000005000000.0},
    {"list", 499999500000.0},
    {"strings", 20000100000.0},
};

std::map<std::string, std::vector<double>> samples; // "ours/fib" -> seconds per run

std::atomic<bool> quitRequested{false};

// What the player's hook costs when no host events are due: one flag test per line.
void LineHook(VMState *vm) {
    if (quitRequested.load(std::memory_order_relaxed)) RaiseError(vm, kErrUserAbort);
}

std::string ReadText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void RunOurs(benchmark::State &state, const Workload &workload) {
    std::string file = std::string(VL_BENCH_DIR) + "/" + workload.name + ".vls";
    AppletContents applet;
    CompileError error;
    if (!CompileApplet(ReadText(file), file, "", applet, error)) {
        state.SkipWithError(FormatCompileError(error).c_str());
        return;
    }
    for (auto _ : state) {
        VMState *vm = NewVMState();
        SetLineHook(vm, LineHook);
        int code = LoadChunkBuffer(vm, applet.chunk.data(), applet.chunk.size(), workload.name);
        auto start = std::chrono::steady_clock::now();
        if (code == 0) code = ProtectedCall(vm, 0, 0, 0);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        GetGlobal(vm, "result");
        double result = VMToNumber(vm, -1);
        CloseVMState(vm);
        if (code != 0 || result != workload.expected) {
            state.SkipWithError(("script failed with code " + std::to_string(code)).c_str());
            return;
        }
        state.SetIterationTime(seconds);
        samples[std::string("ours/") + workload.name].push_back(seconds);
    }
}

void RunPython(benchmark::State &state, const Workload &workload) {
    std::string command = "python3 '" + std::string(VL_BENCH_DIR) + "/" + workload.name + ".py'";
    for (auto _ : state) {
        FILE *child = popen(command.c_str(), "r");
        char line[128] = {};
        bool read = child && std::fgets(line, sizeof line, child) != nullptr;
        int status = child ? pclose(child) : -1;
        double seconds = read ? std::strtod(line, nullptr) : 0;
        if (!read || status != 0 || seconds <= 0) {
            state.SkipWithError("python3 run failed");
            return;
        }
        state.SetIterationTime(seconds);
        samples[std::string("python/") + workload.name].push_back(seconds);
    }
}

} // namespace

int main(int argc, char **argv) {
    for (const Workload &workload : kWorkloads) {
        benchmark::RegisterBenchmark((std::string("ours/") + workload.name).c_str(),
                                     [&workload](benchmark::State &state) { RunOurs(state, workload); })
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("python/") + workload.name).c_str(),
                                     [&workload](benchmark::State &state) { RunPython(state, workload); })
            ->UseManualTime()
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    vl::bench::PrintMachine();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\n%-10s %12s %12s %8s\n", "workload", "ours ms", "python ms", "ratio");
    for (const Workload &workload : kWorkloads) {
        double ours = Median(samples[std::string("ours/") + workload.name]);
        double python = Median(samples[std::string("python/") + workload.name]);
        if (ours == 0 || python == 0) continue;
        std::printf("%-10s %12.1f %12.1f %8.2f%s\n", workload.name, ours * 1000, python * 1000, ours / python,
                    ours / python <= 0.5 ? "" : "  (target 0.5 missed)");
    }
    return 0;
}
