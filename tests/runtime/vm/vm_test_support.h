// Shared fixture for the VM tests: a fresh VM per test. NewVMState itself honours VL_GC_STRESS=1 (ctest's second
// run of this binary), so every test here also runs with the collector stressed.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "runtime/vm/proto.h"
#include "runtime/vm/vm.h"

inline bool GCStressRequested() {
    const char *s = std::getenv("VL_GC_STRESS");
    return s != nullptr && s[0] != 0 && s[0] != '0';
}

class VMTest : public ::testing::Test {
protected:
    void SetUp() override {
        vm = NewVMState();
        ASSERT_NE(vm, nullptr);
        if (GCStressRequested()) SetGCStress(vm, 1);
    }
    void TearDown() override { CloseVMState(vm); }

    std::string StringAt(int index) {
        size_t len = 0;
        const char *s = VMToString(vm, index, &len);
        return s ? std::string(s, len) : std::string("<null>");
    }

    VMState *vm = nullptr;
};

// Runs fn inside a protected call (so a RaiseError in it is caught) and returns the error code, 0 when none.
template <typename F> int Protected(VMState *vm, F fn) {
    static F *current;
    current = &fn;
    PushNativeFunction(
        vm,
        [](VMState *v) -> int {
            (*current)(v);
            return 0;
        },
        "protected");
    return ProtectedCall(vm, 0, 0, 0);
}
