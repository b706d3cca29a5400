// Table and string costs through the embedding API, as command handlers pay them: a 1,000,000-entry list (keys
// 0..999999), a 1,000,000-entry string-keyed table and 1,000,000 distinct interned strings. Prints ns per
// operation and bytes per entry (the median of the repetitions), with the CPU model and core count.
//
// A whole string-keyed entry (its key string "key<i>", interned, and its table entry) is measured as the growth
// of the resident set of a fresh process filling 1,000,000 of them, beside python3 doing the same with a dict.
//
// Targets: a list entry costs at most 24 bytes; a list read at most 10 ns; a string-key lookup at most 60 ns;
// a whole string-keyed entry at most 100 bytes.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "runtime/vm/vm.h"
#include "../bench_machine.h"

using vl::bench::Median;

namespace {

constexpr int kEntries = 1000000;

std::map<std::string, std::vector<double>> samples; // name -> ns per operation, or bytes per entry

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

void Record(benchmark::State &state, const std::string &name, double seconds, double bytesPerEntry = -1) {
    state.SetIterationTime(seconds);
    double ns = seconds * 1e9 / kEntries;
    state.counters["ns_per_op"] = ns;
    samples[name].push_back(ns);
    if (bytesPerEntry >= 0) {
        state.counters["bytes_per_entry"] = bytesPerEntry;
        samples[name + " bytes"].push_back(bytesPerEntry);
    }
}

std::vector<std::string> KeyTexts() {
    std::vector<std::string> keys;
    keys.reserve(kEntries);
    for (int i = 0; i < kEntries; i++) keys.push_back("key" + std::to_string(i));
    return keys;
}

std::vector<int> RandomOrder() {
    std::vector<int> order(kEntries);
    for (int i = 0; i < kEntries; i++) order[size_t(i)] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(42));
    return order;
}

// Fills the list at stack index 1.
void FillList(VMState *vm) {
    for (int i = 0; i < kEntries; i++) {
        PushNumber(vm, i);
        RawSetIndex(vm, 1, i);
    }
}

// The keys interned in advance, held in a list at stack index `keys` so that they stay alive.
void InternKeys(VMState *vm, const std::vector<std::string> &texts, int keys) {
    for (int i = 0; i < kEntries; i++) {
        PushStringLen(vm, texts[size_t(i)].data(), texts[size_t(i)].size());
        RawSetIndex(vm, keys, i);
    }
}

double ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

// Bytes per entry of a table of kEntries keys "key<i>" made one by one, in a child process so that no free
// memory left by other cases is reused: what a script building such a table costs.
double OursWholeEntry() {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        VMState *vm = NewVMState();
        NewTable(vm);
        double before = ResidentBytes();
        char key[32];
        for (int i = 0; i < kEntries; i++) {
            int n = std::snprintf(key, sizeof key, "key%d", i);
            PushStringLen(vm, key, size_t(n));
            PushNumber(vm, i);
            SetTable(vm, 1);
        }
        double perEntry = (ResidentBytes() - before) / kEntries;
        ssize_t written = write(fds[1], &perEntry, sizeof perEntry);
        _exit(written == sizeof perEntry ? 0 : 1);
    }
    close(fds[1]);
    double perEntry = -1;
    if (child < 0 || read(fds[0], &perEntry, sizeof perEntry) != sizeof perEntry) perEntry = -1;
    close(fds[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return perEntry;
}

double PythonWholeEntry() {
    const char *program = "import sys\n"
                          "def rss():\n"
                          "    return int(open('/proc/self/statm').read().split()[1]) * 4096\n"
                          "n = int(sys.argv[1]); t = {}; before = rss()\n"
                          "for i in range(n): t['key' + str(i)] = i\n"
                          "print((rss() - before) / n)\n";
    std::string command = "/usr/bin/python3 -c \"" + std::string(program) + "\" " + std::to_string(kEntries);
    FILE *child = popen(command.c_str(), "r");
    if (child == nullptr) return -1;
    char line[64] = {};
    bool read = std::fgets(line, sizeof line, child) != nullptr;
    int status = pclose(child);
    return read && status == 0 ? std::strtod(line, nullptr) : -1;
}

void WholeEntry(benchmark::State &state) {
    for (auto _ : state) {
        double ours = OursWholeEntry(), python = PythonWholeEntry();
        if (ours < 0) state.SkipWithError("the child failed");
        state.SetIterationTime(1e-3);
        state.counters["bytes_per_entry"] = ours;
        samples["whole entry bytes"].push_back(ours);
        if (python > 0) samples["python3 whole entry bytes"].push_back(python);
    }
}

void ListFill(benchmark::State &state) {
    for (auto _ : state) {
        VMState *vm = NewVMState();
        NewTable(vm);
        CollectGarbage(vm);
        double before = GetGCCount(vm) * 1024.0;
        double start = Now();
        FillList(vm);
        double seconds = Now() - start;
        CollectGarbage(vm);
        double bytes = (GetGCCount(vm) * 1024.0 - before) / kEntries;
        Record(state, "list fill", seconds, bytes);
        CloseVMState(vm);
    }
}

void ListRead(benchmark::State &state) {
    VMState *vm = NewVMState();
    NewTable(vm);
    FillList(vm);
    for (auto _ : state) {
        double sum = 0;
        double start = Now();
        for (int i = 0; i < kEntries; i++) {
            RawGetIndex(vm, 1, i);
            sum += VMToNumber(vm, -1);
            SetTop(vm, -2);
        }
        double seconds = Now() - start;
        if (sum != double(kEntries) * (kEntries - 1) / 2) state.SkipWithError("wrong sum");
        Record(state, "list read", seconds);
    }
    CloseVMState(vm);
}

void StringKeyFill(benchmark::State &state) {
    std::vector<std::string> texts = KeyTexts();
    for (auto _ : state) {
        VMState *vm = NewVMState();
        NewTable(vm); // 1: the table
        NewTable(vm); // 2: the interned keys
        InternKeys(vm, texts, 2);
        CollectGarbage(vm);
        double before = GetGCCount(vm) * 1024.0;
        double start = Now();
        for (int i = 0; i < kEntries; i++) {
            RawGetIndex(vm, 2, i);
            PushNumber(vm, i);
            SetTable(vm, 1);
        }
        double seconds = Now() - start;
        CollectGarbage(vm);
        double bytes = (GetGCCount(vm) * 1024.0 - before) / kEntries;
        Record(state, "string-key fill", seconds, bytes);
        CloseVMState(vm);
    }
}

void StringKeyLookup(benchmark::State &state) {
    std::vector<std::string> texts = KeyTexts();
    std::vector<int> order = RandomOrder();
    VMState *vm = NewVMState();
    NewTable(vm); // 1: the table, filled in key order
    NewTable(vm); // 2: the keys in lookup (random) order, interned in that order so that fetching them is not
                  // what is measured
    for (int i = 0; i < kEntries; i++) {
        const std::string &text = texts[size_t(order[size_t(i)])];
        PushStringLen(vm, text.data(), text.size());
        RawSetIndex(vm, 2, i);
    }
    for (int i = 0; i < kEntries; i++) {
        PushStringLen(vm, texts[size_t(i)].data(), texts[size_t(i)].size());
        PushNumber(vm, i);
        SetTable(vm, 1);
    }
    for (auto _ : state) {
        double sum = 0;
        double start = Now();
        for (int i = 0; i < kEntries; i++) {
            RawGetIndex(vm, 2, i); // the interned key
            GetTable(vm, 1);
            sum += VMToNumber(vm, -1);
            SetTop(vm, -2);
        }
        double seconds = Now() - start;
        if (sum != double(kEntries) * (kEntries - 1) / 2) state.SkipWithError("wrong sum");
        Record(state, "string-key lookup", seconds);
    }
    CloseVMState(vm);
}

void Intern(benchmark::State &state) {
    std::vector<std::string> texts = KeyTexts();
    for (auto _ : state) {
        VMState *vm = NewVMState();
        NewTable(vm); // keeps the strings alive
        double start = Now();
        InternKeys(vm, texts, 1);
        double seconds = Now() - start;
        Record(state, "intern", seconds);
        CloseVMState(vm);
    }
}

} // namespace

bool BenchSetUp(int, char **) {
    auto add = [](const char *name, void (*fn)(benchmark::State &)) {
        benchmark::RegisterBenchmark(name, fn)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
    };
    add("vm_tables/whole_entry", WholeEntry); // first: nothing freed before it
    add("vm_tables/list_fill", ListFill);
    add("vm_tables/list_read", ListRead);
    add("vm_tables/string_key_fill", StringKeyFill);
    add("vm_tables/string_key_lookup", StringKeyLookup);
    add("vm_tables/intern", Intern);
    return true;
}

int BenchReport() {
    struct Line {
        const char *name;
        const char *unit;
        double target; // 0: none
    };
    const Line lines[] = {
        {"list fill", "ns/op", 0},       {"list fill bytes", "bytes/entry", 24},
        {"list read", "ns/op", 10},      {"string-key fill", "ns/op", 0},
        {"string-key fill bytes", "bytes/entry", 0},
        {"string-key lookup", "ns/op", 60}, {"intern", "ns/op", 0},
        {"whole entry bytes", "bytes/entry", 100}, {"python3 whole entry bytes", "bytes/entry", 0},
    };
    std::printf("\n%-26s %10s  %s\n", "measure (median)", "value", "unit");
    for (const Line &line : lines) {
        auto it = samples.find(line.name);
        if (it == samples.end()) continue;
        double value = Median(it->second);
        std::printf("%-26s %10.1f  %s%s\n", line.name, value, line.unit,
                    line.target > 0 && value > line.target ? "  (target missed)" : "");
    }
    double ours = Median(samples["whole entry bytes"]), python = Median(samples["python3 whole entry bytes"]);
    if (ours > 0 && python > 0) std::printf("%-26s %10.2f\n", "whole entry ours/python3", ours / python);
    return 0;
}

VL_BENCH_MAIN(.note = "", .setUp = BenchSetUp, .report = BenchReport)
