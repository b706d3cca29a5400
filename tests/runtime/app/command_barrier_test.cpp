#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/app/hooks.h"
#include "tests/runtime/app/vm_harness.h"

namespace {

int Flushes = 0;
std::string Trace;

void CountFlush() { Flushes++; }
bool KeepDraws(const char *command) { return std::strcmp(command, "Draw") == 0 || std::strcmp(command, "Pure") == 0; }
int Draw(VMState *vm) {
    SetCommandBarrier(vm, CountFlush, KeepDraws);
    return 0;
}
int Nothing(VMState *) { return 0; }

void Register(VMState *vm) {
    const struct {
        NativeFn fn;
        const char *name, *global;
    } commands[] = {{Draw, "Draw", "draw"}, {Nothing, "Pure", "pure"}, {Nothing, "Other", "other"}};
    for (const auto &c : commands) {
        PushNativeFunction(vm, c.fn, c.name);
        SetGlobal(vm, c.global);
    }
}

// A run of batched calls is flushed once, before the first call the barrier does not let pass, also with the
// call trace on; a flush asked for directly or a dropped barrier leaves nothing for the next call.
TEST(CommandBarrier, FlushesOnceBeforeTheFirstCommandItDoesNotKeep) {
    vmtest::Vm vm;
    Register(vm);
    Flushes = 0;
    DebugWriteHook = [](const char *bytes, size_t length) { Trace.append(bytes, length); };
    struct Step {
        const char *call; // a global to call, or "flush", "drop", "trace"
        int flushes;      // the count after the step
    } steps[] = {
        {"other", 0}, {"draw", 0}, {"pure", 0}, {"draw", 0},  {"other", 1}, {"other", 1},
        {"draw", 1},  {"flush", 2}, {"other", 2}, {"draw", 2}, {"drop", 2},  {"other", 2},
        {"trace", 2}, {"draw", 2},  {"pure", 2},  {"other", 3}, {"other", 3},
    };
    for (const Step &step : steps) {
        if (std::strcmp(step.call, "flush") == 0) FlushCommandBarrier();
        else if (std::strcmp(step.call, "drop") == 0) DropCommandBarrier(vm);
        else if (std::strcmp(step.call, "trace") == 0) SetCallTrace(vm, 1);
        else ASSERT_EQ(vmtest::CallGlobal(vm, step.call), 0) << step.call;
        EXPECT_EQ(Flushes, step.flushes) << "after " << step.call;
    }
    EXPECT_EQ(Trace, "Now calling Draw()\nNow calling Pure()\nNow calling Other()\nNow calling Other()\n");
    SetCallTrace(vm, 0);
    DebugWriteHook = nullptr;
}

// A barrier ends with its VM, unflushed: a VM opened later (at the same address, as an optimized build often
// gives) starts with none.
TEST(CommandBarrier, ABarrierEndsWithItsVm) {
    Flushes = 0;
    for (int round = 0; round < 2; round++) {
        vmtest::Vm vm;
        Register(vm);
        EXPECT_EQ(PendingCommandBarrier(), 0u);
        ASSERT_EQ(vmtest::CallGlobal(vm, "draw"), 0);
        EXPECT_NE(PendingCommandBarrier(), 0u);
    }
    EXPECT_EQ(PendingCommandBarrier(), 0u);
    EXPECT_EQ(Flushes, 0);
}

} // namespace
