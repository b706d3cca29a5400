// The soak: the player runs a loop of layers, transitions, text and text objects for many rounds (soak.vls), and
// at every tenth round the harness reads its resident memory and its live heap (a probe preloaded into the
// player writes the heap). Target: after the warm-up, resident memory grows by less than 5%, and it stays within
// a few times the live heap plus the display's own pixels. The warm-up lasts until the script's heap is first
// collected (about round 350): until then the script's garbage only adds up, and the allocator's arena grows with
// it; after it each cycle's garbage mostly reuses that room. VL_SOAK_ROUNDS sets the length (1000: the measure
// then spans the next full cycle).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../bench_machine.h"

namespace fs = std::filesystem;

namespace {

struct Sample {
    long round, scriptKb;
    double rssMb, heapMb;
};

double ResidentMb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return 0;
}

double HeapMb(const fs::path &probe) {
    std::ifstream in(probe);
    double bytes = 0;
    in >> bytes;
    return bytes / (1024.0 * 1024.0);
}

double MeanRss(const std::vector<Sample> &samples, size_t first, size_t count) {
    double sum = 0;
    for (size_t i = first; i < first + count; i++) sum += samples[i].rssMb;
    return count ? sum / double(count) : 0;
}

int BenchReport() {
    const long rounds = std::getenv("VL_SOAK_ROUNDS") ? std::atol(std::getenv("VL_SOAK_ROUNDS")) : 1000;
    const fs::path dir = fs::temp_directory_path() / ("vl_soak_" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::stringstream source;
    source << std::ifstream(VL_SOAK_SCRIPT).rdbuf();
    std::string script = source.str();
    script.replace(script.find("@ROUNDS@"), 8, std::to_string(rounds));
    script.replace(script.find("@GIF@"), 5, VL_SOAK_GIF);
    script.replace(script.find("@MODULE@"), 8, VL_SOAK_MODULE);
    std::ofstream(dir / "soak.vls") << script;
    const std::string compile =
        std::string(VL_COMPILER) + " -o '" + (dir / "soak.vla").string() + "' '" + (dir / "soak.vls").string() + "'";
    if (std::system(compile.c_str()) != 0) return 1;

    const fs::path probe = dir / "heap";
    int out[2];
    if (pipe(out) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        setenv("LD_PRELOAD", VL_PROBE, 1);
        setenv("VL_SOAK_PROBE", probe.c_str(), 1);
        // Headless unless a driver was chosen: without one and without a display the player would refuse to start.
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        execl(VL_PLAYER, VL_PLAYER, "-quiet", "-debugdevice", "@stdout", (dir / "soak.vla").c_str(), nullptr);
        _exit(127);
    }
    close(out[1]);
    FILE *lines = fdopen(out[0], "r");
    std::vector<Sample> samples;
    char line[256];
    while (std::fgets(line, sizeof line, lines)) {
        long round = 0, scriptKb = 0;
        if (std::sscanf(line, "round %ld %ld", &round, &scriptKb) == 2)
            samples.push_back({round, scriptKb, ResidentMb(pid), HeapMb(probe)});
    }
    std::fclose(lines);
    int status = 0;
    waitpid(pid, &status, 0);
    fs::remove_all(dir);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || samples.empty()) {
        std::printf("soak: the player failed (status %d)\n", status);
        return 1;
    }
    std::printf("%8s %10s %14s %16s\n", "round", "RSS MB", "live heap MB", "script heap KB");
    for (const Sample &s : samples)
        std::printf("%8ld %10.1f %14.1f %16ld\n", s.round, s.rssMb, s.heapMb, s.scriptKb);
    // The first sample after the script's first collection ends the warm-up.
    const size_t n = samples.size(), window = std::min<size_t>(5, n);
    size_t collected = 1;
    while (collected < n && samples[collected].scriptKb >= samples[collected - 1].scriptKb) collected++;
    if (collected + 2 * window > n) {
        std::printf("soak: the script's heap was not collected early enough in %ld rounds to measure after it\n",
                    rounds);
        return 1;
    }
    // One sample moves by a few percent with what the round was doing when it was read: the mean of five after
    // the warm-up against the last five.
    const size_t settledAt = collected;
    const double settled = MeanRss(samples, settledAt, window), last = MeanRss(samples, n - window, window);
    const double growth = settled > 0 ? (last / settled - 1) * 100 : 0;
    std::printf("RSS growth from rounds %ld-%ld to %ld-%ld (means of %zu samples): %.1f%% (target < 5%%); "
                "RSS / live heap at the end: %.1f\n",
                samples[settledAt].round, samples[settledAt + window - 1].round, samples[n - window].round,
                samples.back().round, window, growth,
                samples.back().heapMb > 0 ? samples.back().rssMb / samples.back().heapMb : 0.0);
    return 0;
}

} // namespace

VL_BENCH_MAIN(.report = BenchReport)
