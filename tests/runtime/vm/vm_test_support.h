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

// Sets field key of the table at index (counted from the bottom) to a native function named after the field.
inline void SetNativeField(VMState *vm, int table, const char *key, NativeFn fn) {
    PushNativeFunction(vm, fn, key);
    SetField(vm, table, key);
}

// ---- Hand assembly ---------------------------------------------------------------------------------------------
inline Instruction ABC(OpCode op, int a, int b, int c) { return CreateABC(op, a, b, c); }
inline Instruction ABx(OpCode op, int a, int bx) { return CreateABx(op, a, unsigned(bx)); }
inline Instruction AsBx(OpCode op, int a, int sbx) { return CreateAsBx(op, a, sbx); }
inline int K(int index) { return RKConstant(index); }

// Appends instructions all on one line.
inline void Code(FunctionProto &f, int line, std::initializer_list<Instruction> code) {
    for (Instruction i : code) f.Emit(i, line);
}

inline FunctionProto NewFunction(int maxStack, int numParams = 0, const char *source = "test.vl") {
    FunctionProto f;
    f.source = source;
    f.maxStack = uint8_t(maxStack);
    f.numParams = uint8_t(numParams);
    return f;
}

// fib(n) as a global function: if n < 2 then return n end; return fib(n-1) + fib(n-2)
inline FunctionProto FibFunction() {
    FunctionProto f = NewFunction(4, 1);
    f.lineDefined = 1;
    int two = f.AddNumber(2), one = f.AddNumber(1), name = f.AddString("fib");
    Code(f, 2, {ABC(OP_LT, 1, 0, K(two)), AsBx(OP_JMP, 0, 8)});
    Code(f, 3,
         {ABx(OP_GETGLOBAL, 1, name), ABC(OP_SUB, 2, 0, K(one)), ABC(OP_CALL, 1, 2, 2), ABx(OP_GETGLOBAL, 2, name),
          ABC(OP_SUB, 3, 0, K(two)), ABC(OP_CALL, 2, 2, 2), ABC(OP_ADD, 1, 1, 2), ABC(OP_RETURN, 1, 2, 0)});
    Code(f, 2, {ABC(OP_RETURN, 0, 2, 0)});
    return f;
}

// Main chunk: fib = <function>; return fib(n)
inline FunctionProto FibMain(int n) {
    FunctionProto m = NewFunction(2);
    m.isMainChunk = true;
    int name = m.AddString("fib");
    m.protos.push_back(FibFunction());
    Code(m, 1, {ABx(OP_CLOSURE, 0, 0), ABx(OP_SETGLOBAL, 0, name)});
    Code(m, 5, {ABx(OP_GETGLOBAL, 0, name), AsBx(OP_LOADINT, 1, n), ABC(OP_CALL, 0, 2, 2), ABC(OP_RETURN, 0, 2, 0)});
    return m;
}
