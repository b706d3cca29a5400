// ReadPixel and WaitFrame as a script pays for them: the player runs in-process (ProgramMain, offscreen video) on
// a 1024x768 display without layers, and the script times its own loops through a small bench library, each
// beside its peer in the same run:
// - 10,000 ReadPixel calls over a 100x100 area, against BenchPeek, a command of the same shape whose body is a
//   plain memory read of the display's bitmap; again with a sprite shown (its pixels come from the composed
//   picture). Both sides sum what they read, and the sums must agree. Target: at most 10 x the peer.
// - 600 WaitFrame calls with nothing changing, against BenchSleepFrame, a command that sleeps to the same 60 Hz
//   deadlines with clock_nanosleep. Target: under 50 us of processor time per call. After the player ends, the
//   same sleeps in a bare loop give the machine's floor (a wake-up alone costs 25-50 us on a virtual machine).
// Processor time is the whole process's (every thread: the pump ticker, SDL's), user + system; each figure is
// the median of 5 runs of the loop.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "host/clock.h"
#include "imaging/graphics_library.h"
#include "libs/math/math_library.h"
#include "libs/string/string_library.h"
#include "libs/system/system_commands.h"
#include "player/startup.h"
#include "runtime/app/command.h"
#include "scene/display/display_library.h"
#include "scene/display/display_list.h"
#include "scene/events/event_library.h"
#include "scene/images/bgpic_library.h"
#include "scene/images/brush_library.h"
#include "scene/images/sprite_library.h"
#include "scene/layers/layers_library.h"
#include "tools/compiler/compile.h"
#include "../bench_machine.h"

namespace fs = std::filesystem;

namespace {

constexpr const char *kScript = R"(@DISPLAY {Width = 1024, Height = 768}
For i = 0 To 63
    Box(i * 16, 0, 16, 768, i * $030507)
Next
Function Reads(name)
    For rep = 1 To 5
        BenchBegin()
        Local sum = 0
        For y = 300 To 399
            For x = 500 To 599
                sum = sum + ReadPixel(x, y)
            Next
        Next
        BenchEnd(name, 10000, sum)
        BenchBegin()
        sum = 0
        For y = 300 To 399
            For x = 500 To 599
                sum = sum + BenchPeek(x, y)
            Next
        Next
        BenchEnd(name .. " peer", 10000, sum)
    Next
EndFunction
Reads("ReadPixel")
CreateBrush(1, 32, 32, $FF0000)
CreateSprite(1, #BRUSH, 1)
DisplaySprite(1, 20, 20)
Reads("ReadPixel, a sprite shown")
RemoveSprite(1)
For rep = 1 To 5
    BenchBegin()
    For i = 1 To 600
        WaitFrame()
    Next
    BenchEnd("WaitFrame", 600, 0)
    BenchBegin()
    For i = 1 To 600
        BenchSleepFrame()
    Next
    BenchEnd("WaitFrame peer", 600, 0)
Next
)";

struct Sample {
    std::vector<double> cpu, wall; // microseconds per call
    double sum = 0;
};
std::map<std::string, Sample> samples;
std::vector<std::string> order;
double beganCpu = 0, beganWall = 0;

double ProcessCpuMicroseconds() {
    rusage used{};
    getrusage(RUSAGE_SELF, &used);
    return (double(used.ru_utime.tv_sec) + double(used.ru_stime.tv_sec)) * 1e6 + double(used.ru_utime.tv_usec) +
           double(used.ru_stime.tv_usec);
}

double WallMicroseconds() {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int BenchBegin(VMState *) {
    beganWall = WallMicroseconds();
    beganCpu = ProcessCpuMicroseconds();
    return 0;
}

int BenchEnd(VMState *vm) {
    const double cpu = ProcessCpuMicroseconds(), wall = WallMicroseconds();
    const std::string name = CheckStringArg(vm, 1);
    const double calls = CheckNumberArg(vm, 2);
    if (!samples.count(name)) order.push_back(name);
    Sample &s = samples[name];
    s.cpu.push_back((cpu - beganCpu) / calls);
    s.wall.push_back((wall - beganWall) / calls);
    s.sum = CheckNumberArg(vm, 3);
    return 0;
}

// The peer of ReadPixel: the same call, reading the display's bitmap word.
int BenchPeek(VMState *vm) {
    const int32_t x = CheckInt32Arg(vm, 1), y = CheckInt32Arg(vm, 2);
    const HostBitmap *b = CurrentDisplay->firstBitmap;
    PushNumber(vm, HostBitmapRow32(b, y)[x] & 0xFFFFFF);
    return 1;
}

// The peer of WaitFrame: a sleep to the next 60 Hz deadline.
int BenchSleepFrame(VMState *) {
    static timespec next{};
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto micros = [](const timespec &t) { return int64_t(t.tv_sec) * 1000000 + t.tv_nsec / 1000; };
    int64_t due = micros(next) + 16667;
    if (micros(next) == 0 || due <= micros(now)) due = micros(now) + 16667;
    next = timespec{time_t(due / 1000000), long(due % 1000000) * 1000};
    PumpPaused(); // as every wait of the player does
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    return 0;
}

const CommandEntry kBenchCommands[] = {{"BenchBegin", BenchBegin},
                                       {"BenchEnd", BenchEnd},
                                       {"BenchPeek", BenchPeek},
                                       {"BenchSleepFrame", BenchSleepFrame},
                                       {nullptr, nullptr}};

void RegisterBench(VMState *vm) { RegisterCommands(vm, kBenchCommands); }

bool runOk = false;
std::vector<double> sleepFloor; // CPU us per frame of a bare sleep loop

void BM_PlayerScript(benchmark::State &state) {
    const fs::path dir = fs::temp_directory_path() / ("vl_bench_reads_" + std::to_string(getpid()));
    fs::create_directories(dir);
    AppletContents contents;
    CompileError error;
    std::vector<uint8_t> bytes;
    std::string message;
    if (!CompileApplet(kScript, "reads.vls", dir.string(), contents, error) ||
        !BuildAppletFile(contents, false, bytes, message)) {
        state.SkipWithError(("the script did not compile: " + FormatCompileError(error) + message).c_str());
        return;
    }
    const std::string applet = (dir / "reads.vla").string();
    std::ofstream(applet, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    const LibraryDescriptor libraries[] = {kStringLibrary,  kMathLibrary,   kGraphicsLibrary, kDrawLibrary,
                                           kEventLibrary,   kSystemLibrary, kLayersLibrary,   kDisplayLibrary,
                                           kBrushLibrary,   kBGPicLibrary,  kSpriteLibrary,
                                           {"bench", RegisterBench, nullptr}};
    std::string words[] = {"vistaloom", "-quiet", applet};
    char *argv[] = {words[0].data(), words[1].data(), words[2].data()};
    for (auto _ : state) runOk = ProgramMain(3, argv, libraries) == 0;
    fs::remove_all(dir);
    // The machine's floor under both: the same sleeps once the player has ended, with no script around them.
    for (int rep = 0; rep < 5; rep++) {
        const double began = ProcessCpuMicroseconds();
        for (int i = 0; i < 120; i++) BenchSleepFrame(nullptr);
        sleepFloor.push_back((ProcessCpuMicroseconds() - began) / 120);
    }
    if (!runOk) state.SkipWithError("the script failed");
}

BENCHMARK(BM_PlayerScript)->Iterations(1)->Unit(benchmark::kSecond);

int Report() {
    if (!runOk) return 1;
    int status = 0;
    std::printf("\n%-28s %14s %14s %10s %8s  %s\n", "loop", "CPU us/call", "wall us/call", "peer CPU", "ratio",
                "target");
    for (const std::string &name : order) {
        if (name.size() > 5 && name.ends_with(" peer")) continue;
        const Sample &ours = samples[name], &peer = samples[name + " peer"];
        const double cpu = vl::bench::Median(ours.cpu), peerCpu = vl::bench::Median(peer.cpu);
        const bool frame = name == "WaitFrame";
        if (!frame && ours.sum != peer.sum) {
            std::printf("%s read %.0f where its peer read %.0f\n", name.c_str(), ours.sum, peer.sum);
            status = 1;
        }
        const double ratio = cpu / peerCpu;
        const bool met = frame ? cpu < 50 : ratio <= 10;
        std::printf("%-28s %14.3f %14.3f %10.3f %8.2f  %s %s\n", name.c_str(), cpu, vl::bench::Median(ours.wall),
                    peerCpu, ratio, frame ? "< 50 us CPU" : "<= 10 x peer", met ? "met" : "missed");
    }
    std::printf("%-28s %14.3f %14s %10s %8s  the machine's cost of one sleep a frame\n", "sleep floor",
                vl::bench::Median(sleepFloor), "", "", "");
    return status;
}

} // namespace

VL_BENCH_MAIN(.report = Report)
