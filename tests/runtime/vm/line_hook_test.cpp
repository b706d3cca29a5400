// The line hook sees every new line, however the instruction was reached: only instructions where a new line may
// begin carry a line test in the running code, so each way of arriving elsewhere than from the previous
// instruction (jump, test skip, return from a subroutine) is checked here, with the line the hook fired on.
#include <atomic>
#include <vector>

#include "tests/runtime/vm/vm_test_support.h"

namespace {

std::vector<int> gLines;

int Raiser(VMState *v) { RaiseError(v, kErrUserAbort); }

// The line the hook fires on is where an error raised inside it is reported.
void RecordLine(VMState *v) {
    PushNativeFunction(v, Raiser, "raiser");
    ProtectedCall(v, 0, 0, 0);
    gLines.push_back(GetErrorLine(v));
    SetTop(v, 0);
}

class LineHookTest : public VMTest {
protected:
    void SetUp() override {
        VMTest::SetUp();
        gLines.clear();
        SetLineHook(vm, RecordLine);
    }
    int Run(const FunctionProto &f) {
        int code = PushProtoClosure(vm, f);
        if (code != 0) return code;
        return ProtectedCall(vm, 0, -1, 0);
    }
};

} // namespace

TEST_F(LineHookTest, ForwardJumpOntoTheSameLineDoesNotFireButANewLineDoes) {
    FunctionProto f = NewFunction(2);
    Code(f, 1, {AsBx(OP_JMP, 0, 1)});
    Code(f, 2, {AsBx(OP_LOADINT, 0, 5)});   // jumped over
    Code(f, 1, {AsBx(OP_LOADINT, 0, 6)});   // the target: still line 1
    Code(f, 1, {AsBx(OP_JMP, 0, 1)});
    Code(f, 1, {AsBx(OP_LOADINT, 0, 7)});   // jumped over
    Code(f, 3, {ABC(OP_RETURN, 0, 2, 0)}); // the target: line 3
    ASSERT_EQ(Run(f), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 6);
    EXPECT_EQ(gLines, (std::vector<int>{1, 3}));
}

TEST_F(LineHookTest, SkippingATestsJumpOntoANewLineFires) {
    // EQ skips its JMP; the instruction after the JMP shares the JMP's line, not the test's.
    FunctionProto f = NewFunction(2);
    Code(f, 1, {AsBx(OP_LOADINT, 0, 1), ABC(OP_EQ, 0, 0, 0)});
    Code(f, 2, {AsBx(OP_JMP, 0, 1), AsBx(OP_LOADINT, 1, 9)});
    Code(f, 3, {ABC(OP_RETURN, 1, 2, 0)});
    ASSERT_EQ(Run(f), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 9);
    EXPECT_EQ(gLines, (std::vector<int>{1, 2, 3}));
}

TEST_F(LineHookTest, SkippingATestsJumpOntoTheSameLineDoesNotFire) {
    // A one-line If: the skip target carries no line test, and the next line still fires.
    FunctionProto f = NewFunction(2);
    Code(f, 1, {AsBx(OP_LOADINT, 0, 1), ABC(OP_EQ, 0, 0, 0), AsBx(OP_JMP, 0, 1), AsBx(OP_LOADINT, 1, 9)});
    Code(f, 2, {ABC(OP_RETURN, 1, 2, 0)});
    ASSERT_EQ(Run(f), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 9);
    EXPECT_EQ(gLines, (std::vector<int>{1, 2}));
}

TEST_F(LineHookTest, BackwardJumpOntoTheSameLineFiresEveryTime) {
    FunctionProto f = NewFunction(5);
    Code(f, 1, {AsBx(OP_LOADINT, 0, 0), AsBx(OP_LOADINT, 1, 1), AsBx(OP_LOADINT, 2, 3), AsBx(OP_LOADINT, 3, 1),
                AsBx(OP_FORPREP, 1, 0), AsBx(OP_FORLOOP, 1, -1)});
    Code(f, 2, {ABC(OP_RETURN, 0, 2, 0)});
    ASSERT_EQ(Run(f), 0);
    EXPECT_EQ(gLines, (std::vector<int>{1, 1, 1, 1, 2})); // entry, then each of the three backward jumps
}

TEST_F(LineHookTest, GatedHookRunsOnlyWhileAGateIsOpen) {
    // The counting loop above, with the gates: closed, then each one open in turn, then no gates again.
    FunctionProto f = NewFunction(5);
    Code(f, 1, {AsBx(OP_LOADINT, 0, 0), AsBx(OP_LOADINT, 1, 1), AsBx(OP_LOADINT, 2, 3), AsBx(OP_LOADINT, 3, 1),
                AsBx(OP_FORPREP, 1, 0), AsBx(OP_FORLOOP, 1, -1)});
    Code(f, 2, {ABC(OP_RETURN, 0, 2, 0)});
    std::atomic<int> first{0}, second{0};
    SetLineHookGates(vm, &first, &second);
    struct Case {
        int first, second;
        size_t calls;
    };
    for (Case c : {Case{0, 0, 0}, Case{1, 0, 5}, Case{0, 1, 5}}) {
        first = c.first;
        second = c.second;
        gLines.clear();
        ASSERT_EQ(Run(f), 0);
        EXPECT_EQ(gLines.size(), c.calls) << c.first << c.second;
    }
    SetLineHookGates(vm, nullptr, nullptr);
    gLines.clear();
    ASSERT_EQ(Run(f), 0);
    EXPECT_EQ(gLines.size(), 5u);
}

TEST_F(LineHookTest, ReturnFromASubroutineOntoAnotherLineFires) {
    FunctionProto m = NewFunction(2);
    m.isMainChunk = true;
    Code(m, 1, {AsBx(OP_JMP, 0, 2)});
    Code(m, 3, {AsBx(OP_LOADINT, 1, 7), ABC(OP_RETSUB, 0, 0, 0)}); // the subroutine, at index 1
    Code(m, 1, {AsBx(OP_GOSUB, 0, -3), AsBx(OP_LOADINT, 0, 1)});   // resumes on line 1, after line 3 ran
    Code(m, 2, {ABC(OP_ADD, 0, 0, 1), ABC(OP_RETURN, 0, 2, 0)});
    m.labels.push_back({"sub", 1});
    ASSERT_EQ(Run(m), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 8);
    EXPECT_EQ(gLines, (std::vector<int>{1, 3, 1, 2}));
}

TEST_F(LineHookTest, ASetListStartWordIsLeftAsLoaded) {
    // SETLIST with C = 0 takes its start index from the next word, which is data even when it begins a line: the
    // instruction after it compares its line with the SETLIST's.
    struct Case {
        int returnLine;
        std::vector<int> lines;
    };
    for (const Case &c : {Case{3, {1, 3}}, Case{1, {1}}}) {
        FunctionProto f = NewFunction(3);
        Code(f, 1, {ABC(OP_NEWTABLE, 0, 0, 0), AsBx(OP_LOADINT, 1, 5), ABC(OP_SETLIST, 0, 1, 0)});
        f.Emit(4, 2); // the start index, on a line of its own
        Code(f, c.returnLine, {ABC(OP_RETURN, 0, 2, 0)});
        gLines.clear();
        ASSERT_EQ(Run(f), 0);
        RawGetIndex(vm, -1, 4);
        EXPECT_EQ(VMToNumber(vm, -1), 5);
        EXPECT_EQ(gLines, c.lines) << c.returnLine;
        SetTop(vm, 0);
    }
}

TEST_F(LineHookTest, CallsFireOnTheCalleesFirstLineAndNotAgainOnReturn) {
    FunctionProto callee = NewFunction(1);
    Code(callee, 10, {AsBx(OP_LOADINT, 0, 3), ABC(OP_RETURN, 0, 2, 0)});
    FunctionProto f = NewFunction(3);
    f.protos.push_back(callee);
    Code(f, 1, {ABx(OP_CLOSURE, 0, 0), ABC(OP_CALL, 0, 1, 2), ABC(OP_MOVE, 1, 0, 0)}); // MOVE stays on line 1
    Code(f, 2, {ABC(OP_RETURN, 1, 2, 0)});
    ASSERT_EQ(Run(f), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 3);
    EXPECT_EQ(gLines, (std::vector<int>{1, 10, 2}));
}
