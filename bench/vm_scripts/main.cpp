// Seven workloads, each as the same program in our script language, Debian's python3 and mruby. Ours runs in
// process with the player's own line hook (and its pump ticker) installed; the peers run as child processes that
// time their own work, so their start-up is left out as ours is. Each round runs the three back to back, five
// rounds per workload, and the table gives the medians and the ratios ours/peer.
//
// The in-process figure of ours includes closing the VM, as the peers' include freeing what they made. The list
// and string-key workloads also run as whole processes, each started fresh, start-up and teardown included: the
// player on the compiled applet against python3 on its script, timed by the children's CPU time (user + system),
// so that other load on the machine does not skew the ratio. Target: at most 0.5 x python3. The peers are named
// by their absolute paths, printed with their versions.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "host/tasks.h"
#include "libs/dos/dos_library.h"
#include "libs/string/string_library.h"
#include "libs/system/system_commands.h"
#include "runtime/app/command.h"
#include "runtime/vm/proto.h"
#include "runtime/vm/vm.h"
#include "tools/compiler/compile.h"
#include "../bench_machine.h"
#include "../child_process.h"

using vl::bench::Median;

namespace {

constexpr int kReadLineCount = 1 << 20; // 64-byte lines: 64 MiB

struct Workload {
    const char *name;
    double expected;     // the result every version must give, so a broken run cannot look fast
    double pythonTarget; // ours/python3 at most
};

constexpr Workload kWorkloads[] = {
    {"fib", 832040, 0.40},
    {"loop", 50000005000000.0, 0.33},
    {"list", 499999500000.0, 0.33},
    {"strings", 20000100000.0, 0.33},
    {"concat", 100000, 2.0},
    {"sort", 3225001710.0, 1.0},
    {"readline", kReadLineCount * 1000.0 + kReadLineCount * 63.0, 1.0},
};

struct Peer {
    const char *name;
    const char *program;
    const char *extension;
};
constexpr Peer kPeers[] = {{"python3", "/usr/bin/python3", "py"}, {"mruby", "/usr/bin/mruby", "rb"}};

// Also run as whole processes against whole python3 processes (target: at most 0.5 x python3).
constexpr const char *kWholeProcessWorkloads[] = {"list", "strings"};

std::map<std::string, std::vector<double>> samples; // "ours/fib" -> seconds per run
std::string lineFile;

std::string ReadText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteLineFile() {
    lineFile = (std::filesystem::temp_directory_path() / ("vl_bench_lines_" + std::to_string(getpid()))).string();
    std::string line(63, 'a');
    line += '\n';
    std::string block;
    for (int i = 0; i < 1024; i++) {
        line[i % 63] = char('a' + i % 26);
        block += line;
    }
    std::ofstream out(lineFile, std::ios::binary);
    for (int i = 0; i < kReadLineCount / 1024; i++) out << block;
}

void RegisterLibraries(VMState *vm) {
    InitRuntimeSupport(vm);
    kStringLibrary.registerLibrary(vm);
    kSystemLibrary.registerLibrary(vm);
    kDosLibrary.registerLibrary(vm);
}

// One run of ours: seconds, or a negative number when the script failed or gave the wrong result.
double RunOurs(const Workload &workload, const std::vector<uint8_t> &chunk) {
    VMState *vm = NewVMState();
    RegisterLibraries(vm);
    InstallPumpLineHook(vm);
    PushString(vm, lineFile.c_str());
    SetGlobal(vm, "path");
    int code = LoadChunkBuffer(vm, chunk.data(), chunk.size(), workload.name);
    auto start = std::chrono::steady_clock::now();
    if (code == 0) code = ProtectedCall(vm, 0, 0, 0);
    GetGlobal(vm, "result");
    double result = VMToNumber(vm, -1);
    kDosLibrary.freeAll(vm);
    kSystemLibrary.freeAll(vm);
    // Freeing what the script made is part of its work: the peers free their lists before they stop their clocks.
    CloseVMState(vm);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return code == 0 && result == workload.expected ? seconds : -1;
}

// One run of a peer: the first line it prints is its time, an optional second line its result.
double RunPeer(const Peer &peer, const Workload &workload) {
    std::string command = std::string(peer.program) + " '" + VL_BENCH_DIR + "/" + workload.name + "." +
                          peer.extension + "' '" + lineFile + "' 2>/dev/null";
    FILE *child = popen(command.c_str(), "r");
    if (child == nullptr) return -1;
    char line[128] = {}, second[128] = {};
    bool read = std::fgets(line, sizeof line, child) != nullptr;
    bool hasResult = read && std::fgets(second, sizeof second, child) != nullptr;
    int status = pclose(child);
    double seconds = read ? std::strtod(line, nullptr) : 0;
    if (!read || status != 0 || seconds <= 0) return -1;
    if (hasResult && std::strtod(second, nullptr) != workload.expected) return -1;
    return seconds;
}

// The CPU time of a child process running argv headless, or -1 when it failed.
double ChildSeconds(const std::vector<std::string> &argv) {
    vl::bench::ChildUsage usage;
    return vl::bench::RunChild(argv, vl::bench::kHeadless, usage) ? usage.cpuSeconds : -1;
}

// A workload as whole processes, start-up and teardown included, each started fresh: the player on the compiled
// applet against python3 on its script.
void WholeProcessRound(benchmark::State &state, const char *name) {
    std::string file = std::string(VL_BENCH_DIR) + "/" + name + ".vls";
    AppletContents applet;
    CompileError error;
    std::vector<uint8_t> bytes;
    std::string message;
    if (!CompileApplet(ReadText(file), file, "", applet, error) || !BuildAppletFile(applet, false, bytes, message)) {
        state.SkipWithError("the applet was not built");
        return;
    }
    std::string appletFile = lineFile + "." + name + ".vla";
    std::ofstream(appletFile, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    for (auto _ : state) {
        double ours = ChildSeconds({VL_PLAYER_PATH, "-quiet", appletFile});
        double python = ChildSeconds({kPeers[0].program, std::string(VL_BENCH_DIR) + "/" + name + ".py"});
        if (ours < 0 || python < 0) {
            state.SkipWithError("a whole process failed");
            break;
        }
        samples[std::string("ours/") + name + " whole"].push_back(ours);
        samples[std::string("python3/") + name + " whole"].push_back(python);
        state.SetIterationTime(ours);
    }
    std::filesystem::remove(appletFile);
}

void RunRound(benchmark::State &state, const Workload &workload) {
    std::string file = std::string(VL_BENCH_DIR) + "/" + workload.name + ".vls";
    AppletContents applet;
    CompileError error;
    if (!CompileApplet(ReadText(file), file, "", applet, error)) {
        state.SkipWithError(FormatCompileError(error).c_str());
        return;
    }
    for (auto _ : state) {
        double ours = RunOurs(workload, applet.chunk);
        if (ours < 0) {
            state.SkipWithError("our script failed or gave a wrong result");
            return;
        }
        samples[std::string("ours/") + workload.name].push_back(ours);
        for (const Peer &peer : kPeers) {
            double seconds = RunPeer(peer, workload);
            if (seconds > 0) samples[std::string(peer.name) + "/" + workload.name].push_back(seconds);
        }
        state.SetIterationTime(ours);
    }
}

} // namespace

bool BenchSetUp(int, char **) {
    StartupSystem();
    WriteLineFile();
    for (const Workload &workload : kWorkloads) {
        benchmark::RegisterBenchmark((std::string("round/") + workload.name).c_str(),
                                     [&workload](benchmark::State &state) { RunRound(state, workload); })
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(5)
            ->Unit(benchmark::kMillisecond);
    }
    for (const char *name : kWholeProcessWorkloads)
        benchmark::RegisterBenchmark((std::string("whole/") + name).c_str(),
                                     [name](benchmark::State &state) { WholeProcessRound(state, name); })
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(5)
            ->Unit(benchmark::kMillisecond);
    for (const Peer &peer : kPeers) vl::bench::PrintPeer(peer.program);
    return true;
}

int BenchReport() {
    std::filesystem::remove(lineFile);
    ShutdownSystem();

    std::printf("\n%-9s %9s %11s %9s %12s %10s  %s\n", "workload", "ours ms", "python3 ms", "mruby ms", "ours/python3",
                "ours/mruby", "targets");
    for (const Workload &workload : kWorkloads) {
        double ours = Median(samples[std::string("ours/") + workload.name]);
        double python = Median(samples[std::string("python3/") + workload.name]);
        double mruby = Median(samples[std::string("mruby/") + workload.name]);
        if (ours == 0) continue;
        std::string missed;
        if (python > 0 && ours / python > workload.pythonTarget)
            missed += " python3 " + std::to_string(workload.pythonTarget).substr(0, 4) + " missed;";
        if (mruby > 0 && ours >= mruby) missed += " slower than mruby;";
        auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
        std::printf("%-9s %9.1f %11.1f %9.1f %12.2f %10.2f %s\n", workload.name, ours * 1000, python * 1000,
                    mruby * 1000, ratio(ours, python), ratio(ours, mruby), missed.empty() ? " met" : missed.c_str());
    }
    for (const char *name : kWholeProcessWorkloads) {
        double ours = Median(samples[std::string("ours/") + name + " whole"]);
        double python = Median(samples[std::string("python3/") + name + " whole"]);
        if (ours > 0 && python > 0)
            std::printf("%s as whole processes, CPU time: ours %.1f ms, python3 %.1f ms, ours/python3 %.2f (target "
                        "0.5%s)\n", name, ours * 1000, python * 1000, ours / python, ours / python > 0.5 ? ", missed" : "");
    }
    return 0;
}

VL_BENCH_MAIN(.note = "", .setUp = BenchSetUp, .report = BenchReport)
