// Dos file throughput: WriteInt/ReadInt through a compiled script on the VM and through the file operations
// (buffered, 64 MiB; unbuffered, 4 MiB), and whole-file compression of 64 MiB against python3's zlib.compress
// of the same data at the same level, measured in the same run.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "host/compressed_file.h"
#include "libs/dos/dos_library.h"
#include "libs/dos/file_object.h"
#include "runtime/app/command.h"
#include "runtime/app/runtime_globals.h"
#include "runtime/vm/proto.h"
#include "tools/compiler/compile.h"
#include "../bench_machine.h"
#include "../child_process.h"

namespace {

constexpr int64_t kBufferedBytes = 64 << 20;
constexpr int64_t kUnbufferedBytes = 4 << 20;
constexpr int64_t kCompressBytes = 64 << 20;

std::string TempPath(const char *name) {
    return (std::filesystem::temp_directory_path() /
            ("vl_bench_dos_" + std::to_string(getpid()) + "_" + name))
        .string();
}

FileObject *Open(const std::string &path, int32_t mode) {
    FileObject *file = nullptr;
    if (OpenFileObject(ObjectId{1, nullptr}, path.c_str(), mode, &file) != 0) std::abort();
    return file;
}

void WriteInts(const std::string &path, int64_t bytes) {
    FileObject *file = Open(path, kModeWrite);
    for (int64_t i = 0; i < bytes / 4; ++i)
        if (FileWriteInt(file, static_cast<int32_t>(i)) != 0) std::abort();
    if (CloseFileObject(file) != 0) std::abort();
}

void ReadInts(const std::string &path, int64_t bytes) {
    FileObject *file = Open(path, kModeRead);
    double value = 0, sum = 0;
    for (int64_t i = 0; i < bytes / 4; ++i) {
        if (FileReadInt(file, &value) != 0) std::abort();
        sum += value;
    }
    benchmark::DoNotOptimize(sum);
    CloseFileObject(file);
}

void BM_WriteIntBuffered(benchmark::State &state) {
    QuietMode = 1;
    IOMode = kIOBuffered;
    std::string path = TempPath("ints");
    for (auto _ : state)
        WriteInts(path, kBufferedBytes);
    state.SetBytesProcessed(state.iterations() * kBufferedBytes);
    std::filesystem::remove(path);
}

void BM_ReadIntBuffered(benchmark::State &state) {
    QuietMode = 1;
    IOMode = kIOBuffered;
    std::string path = TempPath("ints");
    WriteInts(path, kBufferedBytes);
    for (auto _ : state)
        ReadInts(path, kBufferedBytes);
    state.SetBytesProcessed(state.iterations() * kBufferedBytes);
    std::filesystem::remove(path);
}

void BM_WriteIntUnbuffered(benchmark::State &state) {
    QuietMode = 1;
    IOMode = kIOUnbuffered;
    std::string path = TempPath("ints_unbuffered");
    for (auto _ : state)
        WriteInts(path, kUnbufferedBytes);
    state.SetBytesProcessed(state.iterations() * kUnbufferedBytes);
    IOMode = kIOBuffered;
    std::filesystem::remove(path);
}

void BM_ReadIntUnbuffered(benchmark::State &state) {
    QuietMode = 1;
    std::string path = TempPath("ints_unbuffered");
    WriteInts(path, kUnbufferedBytes);
    IOMode = kIOUnbuffered;
    for (auto _ : state)
        ReadInts(path, kUnbufferedBytes);
    state.SetBytesProcessed(state.iterations() * kUnbufferedBytes);
    IOMode = kIOBuffered;
    std::filesystem::remove(path);
}

// Runs a script in-process with the dos library registered (no event hook); the script's WriteInt/ReadInt
// loop is what is timed.
void RunScript(const std::string &source) {
    static VMState *vm = [] {
        VMState *state = NewVMState();
        InitRuntimeSupport(state);
        kDosLibrary.registerLibrary(state);
        return state;
    }();
    FunctionProto main;
    CompileError error;
    if (!CompileScript(source, "bench", main, error) || PushProtoClosure(vm, main) != 0) std::abort();
    if (ProtectedCall(vm, 0, 0, 0) != 0) std::abort();
}

std::string WriteScript(const std::string &path, int64_t bytes, int ioMode) {
    return "SetIOMode(" + std::to_string(ioMode) + ")\nOpenFile(1, \"" + path + "\", 1006)\nFor i = 1 To " +
           std::to_string(bytes / 4) + "\n    WriteInt(1, i)\nNext\nCloseFile(1)\n";
}

std::string ReadScript(const std::string &path, int64_t bytes, int ioMode) {
    return "SetIOMode(" + std::to_string(ioMode) + ")\nOpenFile(1, \"" + path +
           "\", 1005)\nLocal sum = 0\nFor i = 1 To " + std::to_string(bytes / 4) +
           "\n    sum = sum + ReadInt(1)\nNext\nCloseFile(1)\nSetIOMode(0)\n";
}

void BM_ScriptWriteIntBuffered(benchmark::State &state) {
    QuietMode = 1;
    std::string path = TempPath("script_ints");
    std::string script = WriteScript(path, kBufferedBytes, kIOBuffered);
    for (auto _ : state)
        RunScript(script);
    state.SetBytesProcessed(state.iterations() * kBufferedBytes);
    std::filesystem::remove(path);
}

void BM_ScriptReadIntBuffered(benchmark::State &state) {
    QuietMode = 1;
    std::string path = TempPath("script_ints");
    WriteInts(path, kBufferedBytes);
    std::string script = ReadScript(path, kBufferedBytes, kIOBuffered);
    for (auto _ : state)
        RunScript(script);
    state.SetBytesProcessed(state.iterations() * kBufferedBytes);
    std::filesystem::remove(path);
}

void BM_ScriptWriteIntUnbuffered(benchmark::State &state) {
    QuietMode = 1;
    std::string path = TempPath("script_ints_unbuffered");
    std::string script = WriteScript(path, kUnbufferedBytes, kIOUnbuffered) + "SetIOMode(0)\n";
    for (auto _ : state)
        RunScript(script);
    state.SetBytesProcessed(state.iterations() * kUnbufferedBytes);
    std::filesystem::remove(path);
}

void BM_ScriptReadIntUnbuffered(benchmark::State &state) {
    QuietMode = 1;
    std::string path = TempPath("script_ints_unbuffered");
    WriteInts(path, kUnbufferedBytes);
    std::string script = ReadScript(path, kUnbufferedBytes, kIOUnbuffered);
    for (auto _ : state)
        RunScript(script);
    state.SetBytesProcessed(state.iterations() * kUnbufferedBytes);
    std::filesystem::remove(path);
}

#if defined(VL_PLAYER) && defined(VL_COMPILER)
// The same loops as an applet played by the real player (headless, its per-line event hook installed). The
// time is the player's CPU time minus that of an empty applet, so start-up and shutdown are not counted.
std::string CompileApplet(const std::string &name, const std::string &source) {
    std::string script = TempPath((name + ".vls").c_str()), applet = TempPath((name + ".vla").c_str());
    std::ofstream(script) << source;
    std::string command = std::string(VL_COMPILER) + " -o '" + applet + "' '" + script + "' >/dev/null";
    if (std::system(command.c_str()) != 0) std::abort();
    std::filesystem::remove(script);
    return applet;
}

double ChildrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The player's CPU time (user + system), which other load on the machine does not inflate.
double PlaySeconds(const std::string &applet) {
    std::string command = "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " + std::string(VL_PLAYER) +
                          " -quiet '" + applet + "' >/dev/null";
    double start = ChildrenCpuSeconds();
    if (std::system(command.c_str()) != 0) std::abort();
    return ChildrenCpuSeconds() - start;
}

double PlayerOverheadSeconds() {
    static double seconds = [] {
        std::string applet = CompileApplet("empty", "Local x = 0\n");
        double best = 1e9;
        for (int i = 0; i < 5; ++i)
            best = std::min(best, PlaySeconds(applet));
        std::filesystem::remove(applet);
        return best;
    }();
    return seconds;
}

void PlayerRun(benchmark::State &state, const std::string &source, int64_t bytes) {
    std::string applet = CompileApplet("loop", source);
    double overhead = PlayerOverheadSeconds();
    for (auto _ : state)
        state.SetIterationTime(std::max(1e-6, PlaySeconds(applet) - overhead));
    state.SetBytesProcessed(state.iterations() * bytes);
    std::filesystem::remove(applet);
}

void BM_PlayerWriteIntBuffered(benchmark::State &state) {
    std::string path = TempPath("player_ints");
    PlayerRun(state, WriteScript(path, kBufferedBytes, kIOBuffered), kBufferedBytes);
    std::filesystem::remove(path);
}

void BM_PlayerReadIntBuffered(benchmark::State &state) {
    std::string path = TempPath("player_ints");
    WriteInts(path, kBufferedBytes);
    PlayerRun(state, ReadScript(path, kBufferedBytes, kIOBuffered), kBufferedBytes);
    std::filesystem::remove(path);
}

void BM_PlayerWriteIntUnbuffered(benchmark::State &state) {
    std::string path = TempPath("player_ints_unbuffered");
    PlayerRun(state, WriteScript(path, kUnbufferedBytes, kIOUnbuffered), kUnbufferedBytes);
    std::filesystem::remove(path);
}

void BM_PlayerReadIntUnbuffered(benchmark::State &state) {
    std::string path = TempPath("player_ints_unbuffered");
    WriteInts(path, kUnbufferedBytes);
    PlayerRun(state, ReadScript(path, kUnbufferedBytes, kIOUnbuffered), kUnbufferedBytes);
    std::filesystem::remove(path);
}
#endif

// Text-like data that compresses about 3:1, so deflate does real work.
const std::string &CompressSource() {
    static std::string path = [] {
        std::string p = TempPath("source");
        std::mt19937 rng(42);
        const char *words[] = {"layer ", "brush ",      "display ", "sample ",
                               "0x3F ",  "transition ", "\n",       "anim "};
        std::string data;
        data.reserve(kCompressBytes);
        while (static_cast<int64_t>(data.size()) < kCompressBytes) {
            data += words[rng() % 8];
            data += static_cast<char>('a' + rng() % 26);
        }
        data.resize(kCompressBytes);
        std::ofstream(p, std::ios::binary) << data;
        return p;
    }();
    return path;
}

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// python3 reads the file, compresses it at the default level and writes it, like CompressFile; the CPU time
// it reports excludes interpreter start-up. Both sides are compared in CPU time, so other load on the machine
// does not skew the ratio.
constexpr const char *kPython = "/usr/bin/python3"; // by absolute path, not whatever PATH finds

double PythonCompressSeconds() {
    std::string out = TempPath("py_packed"), timing = TempPath("py_time");
    std::string command =
        std::string(kPython) + " -c 'import sys,time,zlib\nt=time.process_time()\nd=open(sys.argv[1],\"rb\").read()\n"
        "open(sys.argv[2],\"wb\").write(b\"VLPK\"+bytes(4)+zlib.compress(d,-1))\n"
        "open(sys.argv[3],\"w\").write(repr(time.process_time()-t))' '" +
        CompressSource() + "' '" + out + "' '" + timing + "'";
    double seconds = -1;
    if (std::system(command.c_str()) == 0) std::ifstream(timing) >> seconds;
    std::filesystem::remove(out);
    std::filesystem::remove(timing);
    return seconds;
}

void BM_CompressFile(benchmark::State &state) {
    std::string packed = TempPath("packed");
    double ours = 0, python = 0;
    for (auto _ : state) {
        double start = ProcessCpuSeconds();
        if (CompressToFile(kPackedFileMagic, CompressSource().c_str(), packed.c_str(), nullptr) != 0)
            std::abort();
        ours += ProcessCpuSeconds() - start;
        state.PauseTiming();
        python += PythonCompressSeconds();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * kCompressBytes);
    state.counters["python_MBps"] =
        kCompressBytes / 1048576.0 * static_cast<double>(state.iterations()) / python;
    state.counters["time_vs_python"] = ours / python;
    std::filesystem::remove(packed);
}

void BM_DecompressFile(benchmark::State &state) {
    std::string packed = TempPath("packed2"), out = TempPath("unpacked");
    CompressToFile(kPackedFileMagic, CompressSource().c_str(), packed.c_str(), nullptr);
    for (auto _ : state)
        if (DecompressFromFile(kPackedFileMagic, packed.c_str(), out.c_str(), 0, nullptr) != 0) std::abort();
    state.SetBytesProcessed(state.iterations() * kCompressBytes);
    std::filesystem::remove(packed);
    std::filesystem::remove(out);
}

} // namespace

#if defined(VL_PLAYER) && defined(VL_COMPILER)
BENCHMARK(BM_PlayerWriteIntBuffered)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_PlayerReadIntBuffered)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_PlayerWriteIntUnbuffered)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
BENCHMARK(BM_PlayerReadIntUnbuffered)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();
#endif
BENCHMARK(BM_ScriptWriteIntBuffered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptReadIntBuffered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptWriteIntUnbuffered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptReadIntUnbuffered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteIntBuffered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadIntBuffered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteIntUnbuffered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadIntUnbuffered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompressFile)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DecompressFile)->Unit(benchmark::kMillisecond)->Iterations(1);

int BenchReport() {
    std::filesystem::remove(CompressSource());
    return 0;
}

bool PrintPeers(int, char **) {
    vl::bench::PrintPeer(kPython);
    return true;
}

VL_BENCH_MAIN(.note = "", .setUp = PrintPeers, .report = BenchReport)
