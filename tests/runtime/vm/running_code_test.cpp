// The loader rewrites arithmetic and comparisons whose B is a register to running forms (C a register or a
// constant): each form must follow the language rules of the instruction it replaces, slow paths included.
#include <string>

#include "tests/runtime/vm/vm_test_support.h"

namespace {

struct Operand {
    bool isString;
    double number;
    const char *text;
};
Operand Num(double n) { return {false, n, nullptr}; }
Operand Str(const char *s) { return {true, 0, s}; }

class RunningCodeTest : public VMTest {
protected:
    int AddOperand(FunctionProto &f, const Operand &o) { return o.isString ? f.AddString(o.text) : f.AddNumber(o.number); }

    // R0 := a; then op R2 R0 (R1 := b, or the constant b); returns R2 as a number, or the error code.
    int RunArith(OpCode op, Operand a, Operand b, bool constantB, double *out) {
        FunctionProto f = NewFunction(3);
        int ka = AddOperand(f, a), kb = AddOperand(f, b);
        Code(f, 1, {ABx(OP_LOADK, 0, ka), ABx(OP_LOADK, 1, kb), ABC(op, 2, 0, constantB ? K(kb) : 1),
                    ABC(OP_RETURN, 2, 2, 0)});
        return Finish(f, out);
    }

    // Sets *out to 1 when `a op b` holds (A = 0: the test then skips its JMP), else 0; returns the error code.
    int RunCompare(OpCode op, Operand a, Operand b, bool constantB, double *out) {
        FunctionProto f = NewFunction(3);
        int ka = AddOperand(f, a), kb = AddOperand(f, b);
        Code(f, 1, {ABx(OP_LOADK, 0, ka), ABx(OP_LOADK, 1, kb), AsBx(OP_LOADINT, 2, 0),
                    ABC(op, 0, 0, constantB ? K(kb) : 1), AsBx(OP_JMP, 0, 1), AsBx(OP_LOADINT, 2, 1),
                    ABC(OP_RETURN, 2, 2, 0)});
        return Finish(f, out);
    }

    int Finish(const FunctionProto &f, double *out) {
        int code = PushProtoClosure(vm, f);
        if (code == 0) code = ProtectedCall(vm, 0, 1, 0);
        if (code == 0) *out = VMToNumber(vm, -1);
        SetTop(vm, 0);
        return code;
    }
};

} // namespace

TEST_F(RunningCodeTest, ArithmeticFormsMatchTheRulesForBothOperandKinds) {
    for (bool constantB : {false, true}) {
        double r = 0;
        ASSERT_EQ(RunArith(OP_ADD, Num(2), Num(3), constantB, &r), 0);
        EXPECT_EQ(r, 5);
        ASSERT_EQ(RunArith(OP_SUB, Num(2), Num(3), constantB, &r), 0);
        EXPECT_EQ(r, -1);
        ASSERT_EQ(RunArith(OP_MUL, Num(2), Num(3), constantB, &r), 0);
        EXPECT_EQ(r, 6);
        ASSERT_EQ(RunArith(OP_ADD, Str("4"), Num(3), constantB, &r), 0); // numeric strings convert
        EXPECT_EQ(r, 7);
        ASSERT_EQ(RunArith(OP_SUB, Num(10), Str("0x10"), constantB, &r), 0);
        EXPECT_EQ(r, -6);
        EXPECT_EQ(RunArith(OP_MUL, Str("x"), Num(3), constantB, &r), kErrWrongType) << constantB;
    }
}

TEST_F(RunningCodeTest, ComparisonFormsMatchTheRulesForBothOperandKinds) {
    for (bool constantB : {false, true}) {
        double r = -1;
        ASSERT_EQ(RunCompare(OP_LT, Num(1), Num(2), constantB, &r), 0);
        EXPECT_EQ(r, 1);
        ASSERT_EQ(RunCompare(OP_LT, Num(2), Num(2), constantB, &r), 0);
        EXPECT_EQ(r, 0);
        ASSERT_EQ(RunCompare(OP_LE, Num(2), Num(2), constantB, &r), 0);
        EXPECT_EQ(r, 1);
        ASSERT_EQ(RunCompare(OP_LE, Num(3), Num(2), constantB, &r), 0);
        EXPECT_EQ(r, 0);
        ASSERT_EQ(RunCompare(OP_LT, Str("abc"), Str("abd"), constantB, &r), 0); // byte order
        EXPECT_EQ(r, 1);
        ASSERT_EQ(RunCompare(OP_LE, Str("b"), Str("a"), constantB, &r), 0);
        EXPECT_EQ(r, 0);
        EXPECT_EQ(RunCompare(OP_LT, Num(1), Str("2"), constantB, &r), kErrWrongType) << constantB;
    }
}
