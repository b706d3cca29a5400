// Table and string costs through the embedding API, as command handlers pay them: a 1,000,000-entry list (keys
// 0..999999), a 1,000,000-entry string-keyed table and 1,000,000 distinct interned strings. Prints ns per
// operation and bytes per entry (the median of the repetitions), with the CPU model and core count.
//
// Targets: a list entry costs at most 24 bytes; a list read at most 10 ns; a string-key lookup at most 60 ns.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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
    };
    std::printf("\n%-24s %10s  %s\n", "measure (median)", "value", "unit");
    for (const Line &line : lines) {
        auto it = samples.find(line.name);
        if (it == samples.end()) continue;
        double value = Median(it->second);
        std::printf("%-24s %10.1f  %s%s\n", line.name, value, line.unit,
                    line.target > 0 && value > line.target ? "  (target missed)" : "");
    }
    return 0;
}

VL_BENCH_MAIN(.note = "", .setUp = BenchSetUp, .report = BenchReport)
