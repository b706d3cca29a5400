// ARexx round trips: a compiled script sends 10,000 commands to its own port, each answered by its onarexx
// callback, on the in-process VM with the built-in wait. The peer in the same run is the bare transport: 10,000
// connect/write/read/close round trips between two threads over a Unix socket.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "../bench_machine.h"
#include "host/tasks.h"
#include "libs/arexx/arexx_library.h"
#include "runtime/app/command.h"
#include "runtime/vm/proto.h"
#include "scene/events/event_library.h"
#include "tools/compiler/compile.h"

namespace {

constexpr int kRoundTrips = 10000;
std::map<std::string, std::vector<double>> samples;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

VMState *ScriptVM() {
    static VMState *vm = [] {
        if (StartupSystem() != 0) std::abort();
        VMState *state = NewVMState();
        InitRuntimeSupport(state);
        kEventLibrary.registerLibrary(state);
        kArexxLibrary.registerLibrary(state);
        return state;
    }();
    return vm;
}

void RunScript(const std::string &source) {
    VMState *vm = ScriptVM();
    FunctionProto main;
    CompileError error;
    if (!CompileScript(source, "bench", main, error) || PushProtoClosure(vm, main) != 0) std::abort();
    if (ProtectedCall(vm, 0, 0, 0) != 0) std::abort();
}

void BM_ScriptRoundTrips(benchmark::State &state) {
    static bool once = [] {
        RunScript("CreateRexxPort(\"BENCH\")\n"
                  "InstallEventHandler({OnARexx = Function(msg) Return \"ok\" EndFunction})\n");
        return true;
    }();
    (void)once;
    std::string loop = "For i = 1 To " + std::to_string(kRoundTrips) + "\n    SendRexxCommand(\"BENCH\", \"x\")\nNext\n";
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        RunScript(loop);
        double seconds = Seconds(start);
        state.SetIterationTime(seconds);
        samples["script"].push_back(seconds);
    }
}

bool ReadAll(int fd, char *buffer, size_t size) {
    for (size_t done = 0; done < size;) {
        ssize_t got = read(fd, buffer + done, size - done);
        if (got <= 0) return false;
        done += size_t(got);
    }
    return true;
}

void BM_SocketRoundTrips(benchmark::State &state) {
    std::string path = (std::filesystem::temp_directory_path() / ("vl_bench_rexx_" + std::to_string(getpid()))).string();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    unlink(path.c_str());
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) || listen(listener, 64)) std::abort();
    // The same frames as the ports: an 8-byte request header and a command, a 12-byte reply header and a result.
    std::thread server([&] {
        char request[9], reply[14] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 'o', 'k'};
        for (;;) {
            int fd = accept(listener, nullptr, nullptr);
            if (fd < 0) return;
            bool more = ReadAll(fd, request, sizeof request) && request[8] != 'q';
            if (more) (void)!write(fd, reply, sizeof reply);
            close(fd);
            if (!more) return;
        }
    });
    auto trip = [&](char command) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address)) std::abort();
        char request[9] = {1, 2, 0, 0, 0, 0, 0, 1, command}, reply[14];
        (void)!write(fd, request, sizeof request);
        if (command != 'q' && !ReadAll(fd, reply, sizeof reply)) std::abort();
        close(fd);
    };
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRoundTrips; i++) trip('x');
        double seconds = Seconds(start);
        state.SetIterationTime(seconds);
        samples["socket"].push_back(seconds);
    }
    trip('q');
    server.join();
    close(listener);
    unlink(path.c_str());
}

} // namespace

BENCHMARK(BM_SocketRoundTrips)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptRoundTrips)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

std::string runtime;

bool BenchSetUp(int, char **) {
    runtime = (std::filesystem::temp_directory_path() / ("vl_bench_rexx_run_" + std::to_string(getpid()))).string();
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    return true;
}

int BenchReport() {
    kArexxLibrary.freeAll(ScriptVM());
    ShutdownSystem();
    std::filesystem::remove_all(runtime);
    double script = vl::bench::Median(samples["script"]), bare = vl::bench::Median(samples["socket"]);
    if (script > 0 && bare > 0)
        std::printf("\nround trips/s: script %.0f, bare socket %.0f; ratio %.2f%s\n", kRoundTrips / script,
                    kRoundTrips / bare, script / bare, script / bare <= 4 ? "" : "  (target 4 missed)");
    return 0;
}

VL_BENCH_MAIN(.setUp = BenchSetUp, .report = BenchReport)
