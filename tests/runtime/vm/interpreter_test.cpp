// The interpreter on hand-assembled prototypes: loops, closures, recursion, multiple results, generic for,
// metamethods, errors with lines, GOSUB/RETURN, hooks.
#include "tests/runtime/vm/vm_test_support.h"

namespace {

class InterpreterTest : public VMTest {
protected:
    // Pushes the function, calls it with no arguments, returns the error code; results stay on the stack.
    int Run(const FunctionProto &f, int nresults = -1) {
        int code = PushProtoClosure(vm, f);
        if (code != 0) return code;
        return ProtectedCall(vm, 0, nresults, 0);
    }
    void Register(const char *name, NativeFn fn) {
        PushNativeFunction(vm, fn, name);
        SetGlobal(vm, name);
    }
};

} // namespace

TEST_F(InterpreterTest, NumericForLoopSums) {
    FunctionProto f = NewFunction(5);
    Code(f, 1, {AsBx(OP_LOADINT, 0, 0), AsBx(OP_LOADINT, 1, 1), AsBx(OP_LOADINT, 2, 100), AsBx(OP_LOADINT, 3, 1),
                AsBx(OP_FORPREP, 1, 1), ABC(OP_ADD, 0, 0, 4), AsBx(OP_FORLOOP, 1, -2), ABC(OP_RETURN, 0, 2, 0)});
    ASSERT_EQ(Run(f), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 5050);
}

TEST_F(InterpreterTest, RecursionThroughAGlobal) {
    ASSERT_EQ(Run(FibMain(20)), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 6765);
}

TEST_F(InterpreterTest, ClosuresShareAnUpvalue) {
    // local n = 0; inc = function() n = n + 1 return n end; get = function() return n end
    FunctionProto inc = NewFunction(1);
    int one = inc.AddNumber(1);
    inc.upvalues.push_back({true, 0, "n"});
    Code(inc, 2, {ABC(OP_GETUPVAL, 0, 0, 0), ABC(OP_ADD, 0, 0, K(one)), ABC(OP_SETUPVAL, 0, 0, 0),
                  ABC(OP_RETURN, 0, 2, 0)});
    FunctionProto get = NewFunction(1);
    get.upvalues.push_back({true, 0, "n"});
    Code(get, 3, {ABC(OP_GETUPVAL, 0, 0, 0), ABC(OP_RETURN, 0, 2, 0)});
    FunctionProto m = NewFunction(4);
    m.protos = {inc, get};
    Code(m, 1,
         {AsBx(OP_LOADINT, 0, 0), ABx(OP_CLOSURE, 1, 0), ABx(OP_CLOSURE, 2, 1), ABC(OP_MOVE, 3, 1, 0),
          ABC(OP_CALL, 3, 1, 1), ABC(OP_MOVE, 3, 1, 0), ABC(OP_CALL, 3, 1, 1), ABC(OP_RETURN, 1, 3, 0)});
    ASSERT_EQ(Run(m), 0);
    ASSERT_EQ(GetTop(vm), 2); // inc, get: the upvalue is closed now
    PushValue(vm, 1);
    CallFunction(vm, 0, 1);
    EXPECT_EQ(VMToNumber(vm, -1), 3);
    SetTop(vm, 2);
    PushValue(vm, 2);
    CallFunction(vm, 0, 1);
    EXPECT_EQ(VMToNumber(vm, -1), 3);
}

TEST_F(InterpreterTest, MultipleResultsAndNativeVarargs) {
    // three = function() return 1, 2, 3 end
    FunctionProto three = NewFunction(3);
    Code(three, 1, {AsBx(OP_LOADINT, 0, 1), AsBx(OP_LOADINT, 1, 2), AsBx(OP_LOADINT, 2, 3), ABC(OP_RETURN, 0, 4, 0)});
    Register("count", [](VMState *v) {
        PushNumber(v, GetTop(v));
        return 1;
    });
    // return count(10, three()), three()  -> 4, 1, 2, 3
    FunctionProto m = NewFunction(8);
    m.protos = {three};
    int count = m.AddString("count");
    Code(m, 1,
         {ABx(OP_CLOSURE, 0, 0), ABx(OP_GETGLOBAL, 1, count), AsBx(OP_LOADINT, 2, 10), ABC(OP_MOVE, 3, 0, 0),
          ABC(OP_CALL, 3, 1, 0), ABC(OP_CALL, 1, 0, 2), ABC(OP_MOVE, 2, 0, 0), ABC(OP_CALL, 2, 1, 0),
          ABC(OP_RETURN, 1, 0, 0)});
    ASSERT_EQ(Run(m), 0);
    ASSERT_EQ(GetTop(vm), 4);
    EXPECT_EQ(VMToNumber(vm, 1), 4);
    EXPECT_EQ(VMToNumber(vm, 4), 3);
    SetTop(vm, 0);
    // Fixed result counts cut and pad: a, b = three(); c, d, e, f = three()
    FunctionProto m2 = NewFunction(8);
    m2.protos = {three};
    Code(m2, 1, {ABx(OP_CLOSURE, 0, 0), ABC(OP_MOVE, 1, 0, 0), ABC(OP_CALL, 1, 1, 3), ABC(OP_MOVE, 3, 0, 0),
                 ABC(OP_CALL, 3, 1, 5), ABC(OP_RETURN, 1, 7, 0)});
    ASSERT_EQ(Run(m2), 0);
    ASSERT_EQ(GetTop(vm), 6);
    EXPECT_EQ(VMToNumber(vm, 2), 2);
    EXPECT_EQ(VMToNumber(vm, 3), 1);
    EXPECT_EQ(ValueType(vm, 6), TNIL);
}

TEST_F(InterpreterTest, ScriptVarargs) {
    // function(...) return select-like: return ... (all), called with 1,2,3 from C++
    FunctionProto f = NewFunction(3);
    f.isVararg = true;
    f.numParams = 1;
    Code(f, 1, {ABC(OP_VARARG, 1, 0, 0), ABC(OP_RETURN, 0, 0, 0)});
    ASSERT_EQ(PushProtoClosure(vm, f), 0);
    PushNumber(vm, 1);
    PushNumber(vm, 2);
    PushNumber(vm, 3);
    CallFunction(vm, 3, -1);
    ASSERT_EQ(GetTop(vm), 3);
    EXPECT_EQ(VMToNumber(vm, 1), 1);
    EXPECT_EQ(VMToNumber(vm, 3), 3);
}

TEST_F(InterpreterTest, GenericForOverATableWithANativeIterator) {
    Register("nextitem", [](VMState *v) {
        SetTop(v, 2);
        if (NextPair(v, 1)) return 2;
        PushNil(v);
        return 1;
    });
    // s = 0; t = {10, 20, 30, x = 5}; for k, v in nextitem, t, nil do s = s + v end; return s
    FunctionProto m = NewFunction(8);
    int x = m.AddString("x"), five = m.AddNumber(5), next = m.AddString("nextitem");
    Code(m, 1, {AsBx(OP_LOADINT, 0, 0), ABC(OP_NEWTABLE, 1, 3, 1), AsBx(OP_LOADINT, 2, 10), AsBx(OP_LOADINT, 3, 20),
                AsBx(OP_LOADINT, 4, 30), ABC(OP_SETLIST, 1, 3, 1), ABC(OP_SETTABLE, 1, K(x), K(five))});
    Code(m, 2, {ABx(OP_GETGLOBAL, 2, next), ABC(OP_MOVE, 3, 1, 0), ABC(OP_LOADNIL, 4, 0, 0), AsBx(OP_JMP, 0, 1)});
    Code(m, 3, {ABC(OP_ADD, 0, 0, 6)});
    Code(m, 2, {ABC(OP_TFORCALL, 2, 0, 2), AsBx(OP_TFORLOOP, 2, -3)});
    Code(m, 4, {ABC(OP_RETURN, 0, 2, 0)});
    ASSERT_EQ(Run(m), 0) << GetErrorDetail(vm);
    EXPECT_EQ(VMToNumber(vm, -1), 65);
}

TEST_F(InterpreterTest, ComparisonsYieldOneAndZeroAndEqualityNeverConverts) {
    FunctionProto m = NewFunction(6);
    int s1 = m.AddString("1"), one = m.AddNumber(1), a = m.AddString("a"), b = m.AddString("b");
    Code(m, 1, {ABC(OP_SEQ, 0, K(one), K(s1)), ABC(OP_SNE, 1, K(one), K(s1)), ABC(OP_SLT, 2, K(a), K(b)),
                ABC(OP_SLE, 3, K(b), K(a)), ABC(OP_NOT, 4, 0, 0), ABC(OP_NOT, 5, 2, 0), ABC(OP_RETURN, 0, 7, 0)});
    ASSERT_EQ(Run(m), 0);
    ASSERT_EQ(GetTop(vm), 6);
    EXPECT_EQ(VMToNumber(vm, 1), 0);
    EXPECT_EQ(VMToNumber(vm, 2), 1);
    EXPECT_EQ(VMToNumber(vm, 3), 1);
    EXPECT_EQ(VMToNumber(vm, 4), 0);
    EXPECT_EQ(VMToNumber(vm, 5), 1);
    EXPECT_EQ(VMToNumber(vm, 6), 0);
}

TEST_F(InterpreterTest, NumberLessThanStringRaises1019) {
    FunctionProto m = NewFunction(2);
    int s = m.AddString("2"), one = m.AddNumber(1);
    Code(m, 7, {ABC(OP_SLT, 0, K(one), K(s)), ABC(OP_RETURN, 0, 2, 0)});
    EXPECT_EQ(Run(m), kErrWrongType);
    EXPECT_EQ(GetErrorLine(vm), 7);
    EXPECT_STREQ(GetErrorFile(vm), "test.vl");
}

TEST_F(InterpreterTest, DivisionAndModuloByZeroRaise1089) {
    for (OpCode op : {OP_DIV, OP_MOD}) {
        FunctionProto m = NewFunction(2);
        int zero = m.AddNumber(0), one = m.AddNumber(1);
        Code(m, 3, {ABC(op, 0, K(one), K(zero)), ABC(OP_RETURN, 0, 2, 0)});
        EXPECT_EQ(Run(m), kErrDivisionByZero);
    }
    FunctionProto m = NewFunction(2);
    int seven = m.AddNumber(-7), three = m.AddNumber(3);
    Code(m, 3, {ABC(OP_MOD, 0, K(seven), K(three)), ABC(OP_RETURN, 0, 2, 0)});
    ASSERT_EQ(Run(m), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 2);
}

TEST_F(InterpreterTest, ArithmeticConvertsNumericStringsAndConcatJoins) {
    FunctionProto m = NewFunction(4);
    int s = m.AddString("10"), two = m.AddNumber(2), x = m.AddString("x=");
    Code(m, 1, {ABC(OP_MUL, 0, K(s), K(two)), ABx(OP_LOADK, 1, x), ABC(OP_MOVE, 2, 0, 0), ABC(OP_CONCAT, 3, 1, 2),
                ABC(OP_RETURN, 0, 5, 0)});
    ASSERT_EQ(Run(m), 0);
    EXPECT_EQ(VMToNumber(vm, 1), 20);
    EXPECT_EQ(StringAt(4), "x=20");
    FunctionProto bad = NewFunction(2);
    int t = bad.AddString("ten");
    Code(bad, 1, {ABC(OP_ADD, 0, K(t), K(t)), ABC(OP_RETURN, 0, 2, 0)});
    EXPECT_EQ(Run(bad), kErrWrongType);
}

TEST_F(InterpreterTest, MetamethodsForArithmeticConcatCallAndOrder) {
    // mt = {__add = native, __concat = native, __call = native, __lt = native}; a = setmetatable({}, mt)
    NewTable(vm);
    SetNativeField(vm, 1, "__add", [](VMState *v) {
        PushNumber(v, 100);
        return 1;
    });
    SetNativeField(vm, 1, "__concat", [](VMState *v) {
        PushString(v, "joined");
        return 1;
    });
    SetNativeField(vm, 1, "__call", [](VMState *v) {
        PushNumber(v, GetTop(v)); // the object itself is the first argument
        return 1;
    });
    SetNativeField(vm, 1, "__lt", [](VMState *v) {
        PushNumber(v, 1);
        return 1;
    });
    NewTable(vm);
    PushValue(vm, 1);
    VMSetMetatable(vm, 2);
    SetGlobal(vm, "obj");
    SetTop(vm, 0);
    FunctionProto m = NewFunction(8);
    int obj = m.AddString("obj"), one = m.AddNumber(1), s = m.AddString("s");
    Code(m, 1, {ABx(OP_GETGLOBAL, 0, obj), ABC(OP_ADD, 1, 0, K(one)), ABx(OP_LOADK, 2, s), ABC(OP_MOVE, 3, 0, 0),
                ABC(OP_CONCAT, 2, 2, 3), ABC(OP_MOVE, 3, 0, 0), AsBx(OP_LOADINT, 4, 5), ABC(OP_CALL, 3, 2, 2),
                ABC(OP_SLT, 4, 0, 0), ABC(OP_RETURN, 1, 5, 0)});
    ASSERT_EQ(Run(m), 0) << GetErrorDetail(vm);
    ASSERT_EQ(GetTop(vm), 4);
    EXPECT_EQ(VMToNumber(vm, 1), 100);
    EXPECT_EQ(StringAt(2), "joined");
    EXPECT_EQ(VMToNumber(vm, 3), 2);
    EXPECT_EQ(VMToNumber(vm, 4), 1);
}

TEST_F(InterpreterTest, ErrorUnwindsToTheInnermostProtectedCallWithTheLine) {
    Register("fail", [](VMState *) { return 1001; });
    // inner: line 20 calls fail(); outer calls inner at line 10
    FunctionProto inner = NewFunction(2);
    inner.lineDefined = 19;
    int fail = inner.AddString("fail");
    Code(inner, 20, {ABx(OP_GETGLOBAL, 0, fail), ABC(OP_CALL, 0, 1, 1)});
    Code(inner, 21, {ABC(OP_RETURN, 0, 1, 0)});
    FunctionProto m = NewFunction(3);
    m.protos = {inner};
    Code(m, 10, {ABx(OP_CLOSURE, 0, 0), ABC(OP_CALL, 0, 1, 1), ABC(OP_RETURN, 0, 1, 0)});
    PushNumber(vm, 7);
    EXPECT_EQ(Run(m), 1001);
    EXPECT_EQ(GetErrorLine(vm), 20);
    EXPECT_EQ(GetTop(vm), 1);
    // A protected call inside a native catches the error first.
    Register("catcher", [](VMState *v) {
        GetGlobal(v, "fail");
        PushNumber(v, ProtectedCall(v, 0, 0, 0));
        return 1;
    });
    FunctionProto m2 = NewFunction(2);
    int catcher = m2.AddString("catcher");
    Code(m2, 4, {ABx(OP_GETGLOBAL, 0, catcher), ABC(OP_CALL, 0, 1, 2), ABC(OP_RETURN, 0, 2, 0)});
    ASSERT_EQ(Run(m2), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 1001);
}

TEST_F(InterpreterTest, DeepScriptRecursionIsAStackOverflowNotACrash) {
    // f = function() return 1 + f() end
    FunctionProto f = NewFunction(3);
    int name = f.AddString("f"), one = f.AddNumber(1);
    Code(f, 1, {ABx(OP_GETGLOBAL, 0, name), ABC(OP_CALL, 0, 1, 2), ABC(OP_ADD, 0, 0, K(one)), ABC(OP_RETURN, 0, 2, 0)});
    FunctionProto m = NewFunction(2);
    m.protos = {f};
    int n = m.AddString("f");
    Code(m, 1, {ABx(OP_CLOSURE, 0, 0), ABx(OP_SETGLOBAL, 0, n), ABC(OP_CALL, 0, 1, 2), ABC(OP_RETURN, 0, 2, 0)});
    EXPECT_EQ(Run(m), kErrStackOverflow);
}

TEST_F(InterpreterTest, TailCallsDoNotGrowTheStack) {
    // loop = function(n) if n == 0 then return 7 end return loop(n - 1) end; loop(500000)
    FunctionProto f = NewFunction(3, 1);
    int zero = f.AddNumber(0), seven = f.AddNumber(7), name = f.AddString("loop"), one = f.AddNumber(1);
    Code(f, 1, {ABC(OP_EQ, 0, 0, K(zero)), AsBx(OP_JMP, 0, 2), ABx(OP_LOADK, 1, seven), ABC(OP_RETURN, 1, 2, 0),
                ABx(OP_GETGLOBAL, 1, name), ABC(OP_SUB, 2, 0, K(one)), ABC(OP_TAILCALL, 1, 2, 0),
                ABC(OP_RETURN, 1, 0, 0)});
    FunctionProto m = NewFunction(2);
    m.protos = {f};
    int n = m.AddString("loop"), big = m.AddNumber(500000);
    Code(m, 1, {ABx(OP_CLOSURE, 0, 0), ABx(OP_SETGLOBAL, 0, n), ABx(OP_LOADK, 1, big), ABC(OP_CALL, 0, 2, 2),
                ABC(OP_RETURN, 0, 2, 0)});
    ASSERT_EQ(Run(m), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 7);
}

// ---- Hooks -----------------------------------------------------------------------------------------------------
namespace {
std::vector<int> gHookLines;
int gHookBudget;
} // namespace

TEST_F(InterpreterTest, LineHookRunsOncePerExecutedLine) {
    gHookLines.clear();
    SetLineHook(vm, [](VMState *v) {
        // the hook sees an empty stack of its own
        EXPECT_EQ(GetTop(v), 0);
        gHookLines.push_back(0);
    });
    FunctionProto f = NewFunction(5);
    Code(f, 1, {AsBx(OP_LOADINT, 0, 0)});
    Code(f, 2, {AsBx(OP_LOADINT, 1, 1), AsBx(OP_LOADINT, 2, 3), AsBx(OP_LOADINT, 3, 1), AsBx(OP_FORPREP, 1, 1)});
    Code(f, 3, {ABC(OP_ADD, 0, 0, 4)});
    Code(f, 2, {AsBx(OP_FORLOOP, 1, -2)});
    Code(f, 4, {ABC(OP_RETURN, 0, 2, 0)});
    ASSERT_EQ(Run(f), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 6);
    EXPECT_EQ(gHookLines.size(), 9u); // 1, 2, then (3, 2) three times, 4
}

TEST_F(InterpreterTest, HookRaisingUserAbortStopsTheScript) {
    gHookBudget = 50;
    SetLineHook(vm, [](VMState *v) {
        if (--gHookBudget == 0) RaiseError(v, kErrUserAbort);
    });
    // an endless loop: line 5 JMP -1
    FunctionProto f = NewFunction(1);
    Code(f, 5, {AsBx(OP_JMP, 0, -1), ABC(OP_RETURN, 0, 1, 0)});
    EXPECT_EQ(Run(f), kErrUserAbort);
    EXPECT_EQ(GetErrorLine(vm), 5);
    EXPECT_EQ(gHookBudget, 0);
}

// ---- GOSUB -----------------------------------------------------------------------------------------------------
namespace {

int gJumperCalls;
int gJumperMode;

int Jumper(VMState *v) {
    gJumperCalls++;
    if (gJumperMode != 0 && gJumperCalls == 1) {
        SetGosubJumpDelta(v, FindLabel(v, "SUB") - CallPcIndex(v));
        return gJumperMode;
    }
    PushNumber(v, 42);
    return 1;
}

// local a = 5; temp = 100; r = jumper(); return a + temp, temp, r   ... label sub: temp = 7; r = 8; a = a + 1; RETSUB
FunctionProto GosubMain() {
    FunctionProto m = NewFunction(4);
    m.isMainChunk = true;
    int jumper = m.AddString("jumper"), one = m.AddNumber(1);
    Code(m, 1, {AsBx(OP_LOADINT, 0, 5), AsBx(OP_LOADINT, 1, 100)});
    Code(m, 2, {ABx(OP_GETGLOBAL, 2, jumper), ABC(OP_CALL, 2, 1, 2)});
    Code(m, 3, {ABC(OP_ADD, 0, 0, 1), ABC(OP_RETURN, 0, 4, 0)});
    Code(m, 10, {AsBx(OP_LOADINT, 1, 7), AsBx(OP_LOADINT, 2, 8), ABC(OP_ADD, 0, 0, K(one)), ABC(OP_RETSUB, 0, 0, 0),
                 ABC(OP_RETURN, 0, 1, 0)});
    m.labels.push_back({"sub", 6});
    m.locals.push_back({"a", 1, uint32_t(m.code.size()), 0});
    return m;
}

} // namespace

TEST_F(InterpreterTest, CommandGosubMinusOneResumesAfterTheCommand) {
    gJumperCalls = 0;
    gJumperMode = -1;
    Register("jumper", Jumper);
    ASSERT_EQ(Run(GosubMain()), 0) << GetErrorDetail(vm);
    ASSERT_EQ(GetTop(vm), 3);
    EXPECT_EQ(VMToNumber(vm, 1), 106); // a was changed by the subroutine, the temporary restored
    EXPECT_EQ(VMToNumber(vm, 2), 100);
    EXPECT_EQ(ValueType(vm, 3), TNIL); // the interrupted call yields no results
    EXPECT_EQ(gJumperCalls, 1);
}

TEST_F(InterpreterTest, CommandGosubMinusTwoRerunsTheCommand) {
    gJumperCalls = 0;
    gJumperMode = -2;
    Register("jumper", Jumper);
    ASSERT_EQ(Run(GosubMain()), 0) << GetErrorDetail(vm);
    ASSERT_EQ(GetTop(vm), 3);
    EXPECT_EQ(VMToNumber(vm, 1), 106);
    EXPECT_EQ(VMToNumber(vm, 3), 42);
    EXPECT_EQ(gJumperCalls, 2);
}

TEST_F(InterpreterTest, ScriptGosubAndReturn) {
    FunctionProto m = NewFunction(2);
    m.isMainChunk = true;
    int ten = m.AddNumber(10), two = m.AddNumber(2);
    Code(m, 1, {AsBx(OP_LOADINT, 0, 1), AsBx(OP_GOSUB, 0, 2), ABC(OP_MUL, 0, 0, K(ten)), ABC(OP_RETURN, 0, 2, 0),
                ABC(OP_ADD, 0, 0, K(two)), ABC(OP_RETSUB, 0, 0, 0), ABC(OP_RETURN, 0, 1, 0)});
    m.labels.push_back({"sub", 4});
    ASSERT_EQ(Run(m), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 30);
}

TEST_F(InterpreterTest, ReturnWithoutGosubIs1040) {
    FunctionProto m = NewFunction(1);
    m.isMainChunk = true;
    Code(m, 3, {ABC(OP_RETSUB, 0, 0, 0), ABC(OP_RETURN, 0, 1, 0)});
    EXPECT_EQ(Run(m), kErrReturnWithoutGosub);
    EXPECT_EQ(GetErrorLine(vm), 3);
}

TEST_F(InterpreterTest, TooManyPendingGosubsIs1066) {
    FunctionProto m = NewFunction(1);
    m.isMainChunk = true;
    Code(m, 1, {AsBx(OP_GOSUB, 0, -1), ABC(OP_RETURN, 0, 1, 0)});
    EXPECT_EQ(Run(m), kErrInternalLimit);
    // the same through a command's requests: 4096 pending, the 4097th refused
    Register("again", [](VMState *v) {
        SetGosubJumpDelta(v, FindLabel(v, "top") - CallPcIndex(v));
        return -1;
    });
    FunctionProto c = NewFunction(1);
    c.isMainChunk = true;
    int again = c.AddString("again");
    Code(c, 1, {ABx(OP_GETGLOBAL, 0, again), ABC(OP_CALL, 0, 1, 1), ABC(OP_RETURN, 0, 1, 0)});
    c.labels.push_back({"top", 0});
    EXPECT_EQ(Run(c), kErrInternalLimit);
}

TEST_F(InterpreterTest, CommandGosubInsideAnotherFunctionIsRefused) {
    gJumperCalls = 0;
    gJumperMode = -1;
    Register("jumper", Jumper);
    FunctionProto inner = NewFunction(1);
    int jumper = inner.AddString("jumper");
    Code(inner, 30, {ABx(OP_GETGLOBAL, 0, jumper), ABC(OP_CALL, 0, 1, 1), ABC(OP_RETURN, 0, 1, 0)});
    FunctionProto m = GosubMain();
    m.protos.push_back(inner);
    // replace "r = jumper()" by "r = inner()"
    m.code[2] = ABx(OP_CLOSURE, 2, 0);
    ASSERT_EQ(Run(m), kErrGosubOutsideMain);
    EXPECT_EQ(GetErrorLine(vm), 30);
}

TEST_F(InterpreterTest, CommandGosubToANonLabelIsRefused) {
    Register("wild", [](VMState *v) {
        SetGosubJumpDelta(v, 1);
        return -1;
    });
    FunctionProto m = NewFunction(1);
    m.isMainChunk = true;
    int wild = m.AddString("wild");
    Code(m, 1, {ABx(OP_GETGLOBAL, 0, wild), ABC(OP_CALL, 0, 1, 1), ABC(OP_RETURN, 0, 1, 0)});
    EXPECT_EQ(Run(m), kErrGosubTarget);
}

TEST_F(InterpreterTest, CallPcIndexIsTheCallInstruction) {
    static int seen;
    Register("where", [](VMState *v) {
        seen = CallPcIndex(v);
        return 0;
    });
    FunctionProto m = NewFunction(2);
    int where = m.AddString("where");
    Code(m, 1, {ABC(OP_LOADNIL, 0, 1, 0), ABx(OP_GETGLOBAL, 0, where), ABC(OP_CALL, 0, 1, 1), ABC(OP_RETURN, 0, 1, 0)});
    ASSERT_EQ(Run(m), 0);
    EXPECT_EQ(seen, 2);
}

TEST_F(InterpreterTest, FindLabelIgnoresCase) {
    FunctionProto m = NewFunction(1);
    m.isMainChunk = true;
    Code(m, 1, {ABC(OP_RETURN, 0, 1, 0)});
    m.labels.push_back({"onbuttonover1", 0});
    ASSERT_EQ(Run(m), 0);
    EXPECT_EQ(FindLabel(vm, "ONBUTTONOVER1"), 0);
    EXPECT_EQ(FindLabel(vm, "nothing"), -1);
}

// A frame's end drops the pending returns recorded for it and no others: a function called from a label body
// returns with the main chunk's return still pending, and a main chunk that ends inside a label leaves nothing
// for the next chunk's RETSUB (nor piles up toward the limit over many runs).
TEST_F(InterpreterTest, ReturnDropsOnlyItsOwnFramesPendingReturns) {
    FunctionProto callee = NewFunction(1);
    Code(callee, 9, {ABC(OP_RETURN, 0, 1, 0)});
    FunctionProto m = NewFunction(2);
    m.isMainChunk = true;
    m.protos.push_back(callee);
    Code(m, 1, {AsBx(OP_LOADINT, 0, 1), AsBx(OP_GOSUB, 0, 1), ABC(OP_RETURN, 0, 2, 0), // returns 1 + 5
                ABx(OP_CLOSURE, 1, 0), ABC(OP_CALL, 1, 1, 1), AsBx(OP_LOADINT, 1, 5),
                ABC(OP_ADD, 0, 0, 1), ABC(OP_RETSUB, 0, 0, 0), ABC(OP_RETURN, 0, 1, 0)});
    m.labels.push_back({"sub", 3});
    ASSERT_EQ(Run(m, 1), 0) << GetErrorDetail(vm);
    EXPECT_EQ(VMToNumber(vm, -1), 6);
    SetTop(vm, 0);

    FunctionProto endsInside = NewFunction(1);
    endsInside.isMainChunk = true;
    Code(endsInside, 1, {AsBx(OP_GOSUB, 0, 1), ABC(OP_RETURN, 0, 1, 0), AsBx(OP_LOADINT, 0, 7),
                         ABC(OP_RETURN, 0, 2, 0)});
    endsInside.labels.push_back({"sub", 2});
    for (int run = 0; run < 5000; run++) {
        ASSERT_EQ(Run(endsInside, 1), 0) << "run " << run;
        ASSERT_EQ(VMToNumber(vm, -1), 7);
        SetTop(vm, 0);
    }
    FunctionProto retsub = NewFunction(1);
    retsub.isMainChunk = true;
    Code(retsub, 4, {ABC(OP_RETSUB, 0, 0, 0), ABC(OP_RETURN, 0, 1, 0)});
    EXPECT_EQ(Run(retsub), kErrReturnWithoutGosub);
}
