// Directory listing, whole-file copy and checksums through compiled scripts on the in-process VM, each against
// its peer timed in the same run: python3's os.scandir (split by is_dir(), sorted() for sort 1) over 100,000
// empty files, cp of a cached 1 GiB file into the same directory, and zlib's crc32() over a 256 MiB file read in
// 64 KiB blocks. Every side runs once untimed first. Both sides are measured in CPU time (an in-kernel copy counts
// as the caller's system time), so other load on the machine does not skew the ratio; time_vs_peer is ours / peer,
// and scripts/bench reports the median of 5 repetitions.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <sys/resource.h>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "libs/dos/dos_library.h"
#include "runtime/app/command.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/vm/proto.h"
#include "tools/compiler/compile.h"
#include "../bench_machine.h"
#include "../child_process.h"

namespace fs = std::filesystem;

namespace {

// The peers by absolute path: whatever PATH finds first is not what the figures name.
constexpr const char *kPython = "/usr/bin/python3";
constexpr const char *kCopy = "/usr/bin/cp";

constexpr int kListedFiles = 100000;
constexpr int64_t kCopyBytes = int64_t(1) << 30;
constexpr int64_t kChecksumBytes = int64_t(256) << 20;

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

const fs::path &Scratch() {
    static fs::path path = [] {
        fs::path made = fs::temp_directory_path() / ("vl_bench_dos_tree_" + std::to_string(getpid()));
        fs::create_directories(made);
        return made;
    }();
    return path;
}

VMState *BenchVM() {
    static VMState *vm = [] {
        QuietMode = 1;
        VMState *state = NewVMState();
        InitRuntimeSupport(state);
        kDosLibrary.registerLibrary(state);
        return state;
    }();
    return vm;
}

// Compiles outside the timing and returns the seconds the script's run took.
double TimeScript(const std::string &source) {
    VMState *vm = BenchVM();
    FunctionProto main;
    CompileError error;
    if (!CompileScript(source, "bench", main, error) || PushProtoClosure(vm, main) != 0) std::abort();
    double start = ProcessCpuSeconds();
    if (ProtectedCall(vm, 0, 0, 0) != 0) std::abort();
    return ProcessCpuSeconds() - start;
}

double TimeCommand(const std::string &command) {
    double start = ChildrenCpuSeconds();
    if (std::system(command.c_str()) != 0) std::abort();
    return ChildrenCpuSeconds() - start;
}

// The peer prints its own time of the second of two runs.
double TimePython(const std::string &body, const std::string &argument) {
    std::string out = (Scratch() / "python_time").string();
    std::string command = std::string(kPython) + " -c 'import os,sys,time,zlib\ndef run(p):\n" + body +
                          "\nrun(sys.argv[1])\nt=time.process_time()\nrun(sys.argv[1])\n"
                          "open(sys.argv[2],\"w\").write(repr(time.process_time()-t))' '" +
                          argument + "' '" + out + "'";
    double seconds = -1;
    if (std::system(command.c_str()) == 0) std::ifstream(out) >> seconds;
    return seconds;
}

const std::string &ListedDirectory() {
    static std::string path = [] {
        fs::path dir = Scratch() / "many";
        fs::create_directories(dir);
        for (int i = 0; i < kListedFiles; ++i) close(open((dir / ("file" + std::to_string(i))).c_str(), O_CREAT | O_WRONLY, 0644));
        return dir.string();
    }();
    return path;
}

std::string FileOf(const char *name, int64_t bytes) {
    fs::path path = Scratch() / name;
    if (!fs::exists(path)) {
        std::vector<char> block(1 << 20);
        std::mt19937 random(7);
        for (char &c : block) c = static_cast<char>(random());
        std::ofstream out(path, std::ios::binary);
        for (int64_t done = 0; done < bytes; done += static_cast<int64_t>(block.size()))
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        out.close();
        sync(); // its writeback must not fall into the timed runs
    }
    return path.string();
}

void Report(benchmark::State &state, double ours, double peer) {
    state.SetIterationTime(ours);
    state.counters["peer_ms"] = peer * 1000;
    state.counters["time_vs_peer"] = ours / peer;
}

void BM_ReadDirectory(benchmark::State &state) {
    bool sorted = state.range(0) != 0;
    std::string script = "Local f, d = {}, {}\nReadDirectory(\"" + ListedDirectory() + "\", f, d, " +
                         (sorted ? "1" : "0") + ")\n";
    std::string peer = std::string("    f, d = [], []\n    for e in os.scandir(p):\n        (d if e.is_dir() else f)"
                                   ".append(e.name)\n") +
                       (sorted ? "    f.sort(); d.sort()" : "    pass");
    TimeScript(script);
    for (auto _ : state) Report(state, TimeScript(script), TimePython(peer, ListedDirectory()));
}

void BM_CopyFile(benchmark::State &state) {
    bool callback = state.range(0) != 0;
    std::string source = FileOf("big", kCopyBytes);
    fs::path target = Scratch() / "copies";
    fs::create_directories(target);
    std::string script = "CopyFile(\"" + source + "\", \"" + target.string() + "\"" +
                         (callback ? ", Nil, Function(msg) Return 0 EndFunction" : "") + ")\n";
    std::string copied = (target / "big").string();
    TimeScript(script);
    fs::remove(copied);
    static int round = 0;
    for (auto _ : state) {
        // Who goes first alternates: freeing the other side's 1 GiB of page cache costs the next writer.
        double ours = 0, peer = 0;
        for (int side = 0; side < 2; ++side) {
            if ((side + round) % 2 == 0) ours = TimeScript(script);
            else peer = TimeCommand(std::string(kCopy) + " '" + source + "' '" + target.string() + "/'");
            fs::remove(copied);
        }
        ++round;
        Report(state, ours, peer);
    }
}

void BM_CRC32(benchmark::State &state) {
    std::string file = FileOf("checksummed", kChecksumBytes);
    std::string script = "CRC32(\"" + file + "\")\n";
    std::string peer = "    c = 0\n    with open(p, \"rb\", buffering=0) as f:\n"
                       "        for b in iter(lambda: f.read(65536), b\"\"):\n            c = zlib.crc32(b, c)";
    TimeScript(script);
    for (auto _ : state) Report(state, TimeScript(script), TimePython(peer, file));
}

} // namespace

BENCHMARK(BM_ReadDirectory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_CopyFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_CRC32)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

int BenchReport() {
    fs::remove_all(Scratch());
    return 0;
}

bool PrintPeers(int, char **) {
    vl::bench::PrintPeer(kPython);
    vl::bench::PrintPeer(kCopy);
    return true;
}

VL_BENCH_MAIN(.note = "", .setUp = PrintPeers, .report = BenchReport)
