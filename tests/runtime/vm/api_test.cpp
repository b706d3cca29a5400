// The embedding API: stack, values, strings, tables, metatables, references, calls, errors and the collector.
#include <cmath>
#include <set>

#include "tests/runtime/vm/vm_test_support.h"

using StackTest = VMTest;

TEST_F(StackTest, PositiveAndNegativeIndicesNameTheSameSlots) {
    PushNumber(vm, 1);
    PushNumber(vm, 2);
    PushNumber(vm, 3);
    EXPECT_EQ(GetTop(vm), 3);
    EXPECT_EQ(VMToNumber(vm, 1), 1);
    EXPECT_EQ(VMToNumber(vm, -1), 3);
    EXPECT_EQ(VMToNumber(vm, -3), 1);
    PushValue(vm, 1);
    EXPECT_EQ(VMToNumber(vm, -1), 1);
    InsertValue(vm, 1); // 1 1 2 3
    EXPECT_EQ(VMToNumber(vm, 2), 1);
    RemoveValue(vm, 1); // 1 2 3
    EXPECT_EQ(GetTop(vm), 3);
    EXPECT_EQ(VMToNumber(vm, 2), 2);
}

TEST_F(StackTest, SetTopWithANegativeIndexPops) {
    PushNumber(vm, 1);
    PushNumber(vm, 2);
    PushNumber(vm, 3);
    SetTop(vm, -2);
    EXPECT_EQ(GetTop(vm), 2);
    SetTop(vm, 4);
    EXPECT_EQ(GetTop(vm), 4);
    EXPECT_EQ(ValueType(vm, 4), TNIL);
    SetTop(vm, 0);
    EXPECT_EQ(GetTop(vm), 0);
}

TEST_F(StackTest, ValueTypeOfEveryTagAndNone) {
    PushNil(vm);
    PushBoolean(vm, 1);
    PushHandle(vm, this);
    PushNumber(vm, 1.5);
    PushString(vm, "x");
    NewTable(vm);
    PushNativeFunction(vm, [](VMState *) { return 0; }, "f");
    NewUserdata(vm, 8);
    EXPECT_EQ(ValueType(vm, 1), TNIL);
    EXPECT_EQ(ValueType(vm, 2), TBOOLEAN);
    EXPECT_EQ(ValueType(vm, 3), TLIGHTHANDLE);
    EXPECT_EQ(ValueType(vm, 4), TNUMBER);
    EXPECT_EQ(ValueType(vm, 5), TSTRING);
    EXPECT_EQ(ValueType(vm, 6), TTABLE);
    EXPECT_EQ(ValueType(vm, 7), TFUNCTION);
    EXPECT_EQ(ValueType(vm, 8), TUSERDATA);
    EXPECT_EQ(ValueType(vm, 9), TNONE);
    EXPECT_EQ(ValueType(vm, -9), TNONE);
    EXPECT_EQ(ValueType(vm, kRegistryIndex), TTABLE);
    EXPECT_EQ(ValueType(vm, kGlobalsIndex), TTABLE);
}

TEST_F(StackTest, PushStringOfNullPushesNil) {
    PushString(vm, nullptr);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
}

TEST_F(StackTest, CheckStackRefusesBeyondTheFrameLimit) {
    EXPECT_EQ(CheckStack(vm, kMaxFrameSlots), 1);
    EXPECT_EQ(CheckStack(vm, kMaxFrameSlots + 1), 0);
    PushNumber(vm, 1);
    EXPECT_EQ(CheckStack(vm, kMaxFrameSlots), 0);
}

TEST_F(StackTest, PushingPastTheFrameLimitRaisesStackOverflow) {
    int code = Protected(vm, [](VMState *v) {
        for (int i = 0; i < kMaxFrameSlots + 10; i++) PushNumber(v, i);
    });
    EXPECT_EQ(code, kErrStackOverflow);
    EXPECT_EQ(GetTop(vm), 0);
}

TEST_F(StackTest, BadIndicesGiveErrorsNotCrashes) {
    EXPECT_EQ(Protected(vm, [](VMState *v) { RemoveValue(v, 5); }), kErrBadStackIndex);
    EXPECT_EQ(Protected(vm, [](VMState *v) { PushValue(v, -3); }), kErrBadStackIndex);
    EXPECT_EQ(Protected(vm, [](VMState *v) { SetTop(v, -2); }), kErrBadStackIndex);
    EXPECT_EQ(Protected(vm, [](VMState *v) { GetTable(v, 1); }), kErrBadStackIndex);
    EXPECT_EQ(Protected(vm,
                        [](VMState *v) {
                            PushNumber(v, 1);
                            PushNumber(v, 2);
                            GetTable(v, 1);
                        }),
              kErrIndexNonTable);
    EXPECT_EQ(VMToString(vm, 7), nullptr);
    EXPECT_EQ(VMToNumber(vm, 7), 0);
}

using NumberTest = VMTest;

TEST_F(NumberTest, SaturatingConversion) {
    EXPECT_EQ(SaturateToInt32(2147483648.0), INT32_MAX);
    EXPECT_EQ(SaturateToInt32(2147483647.9), INT32_MAX);
    EXPECT_EQ(SaturateToInt32(-2147483648.0), INT32_MIN);
    EXPECT_EQ(SaturateToInt32(-2147483649.0), INT32_MIN);
    EXPECT_EQ(SaturateToInt32(INFINITY), INT32_MAX);
    EXPECT_EQ(SaturateToInt32(-INFINITY), INT32_MIN);
    EXPECT_EQ(SaturateToInt32(NAN), INT32_MIN);
    EXPECT_EQ(SaturateToInt32(-1.9), -1);
    EXPECT_EQ(SaturateToInt32(1.9), 1);
}

TEST_F(NumberTest, FormatsWithFourteenSignificantDigits) {
    char buffer[32];
    FormatNumber(3, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "3");
    FormatNumber(1e15, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "1e+15");
    FormatNumber(0.1, buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "0.1");
    PushNumber(vm, 2.5);
    EXPECT_EQ(StringAt(-1), "2.5");
    EXPECT_EQ(ValueType(vm, -1), TSTRING); // converted in place
}

TEST_F(NumberTest, NumericStringsConvert) {
    PushString(vm, " 0x10 ");
    PushString(vm, "1e3");
    PushString(vm, "12abc");
    PushString(vm, "inf");
    EXPECT_TRUE(IsNumber(vm, 1));
    EXPECT_EQ(VMToNumber(vm, 1), 16);
    EXPECT_EQ(VMToNumber(vm, 2), 1000);
    EXPECT_FALSE(IsNumber(vm, 3));
    EXPECT_FALSE(IsNumber(vm, 4));
    EXPECT_EQ(VMToNumber(vm, 3), 0);
}

TEST_F(NumberTest, TruthRule) {
    PushNil(vm);
    PushBoolean(vm, 0);
    PushNumber(vm, 0);
    PushString(vm, "");
    PushNumber(vm, -1);
    PushString(vm, "0");
    NewTable(vm);
    EXPECT_FALSE(ToBoolean(vm, 1));
    EXPECT_FALSE(ToBoolean(vm, 2));
    EXPECT_FALSE(ToBoolean(vm, 3));
    EXPECT_FALSE(ToBoolean(vm, 4));
    EXPECT_TRUE(ToBoolean(vm, 5));
    EXPECT_TRUE(ToBoolean(vm, 6));
    EXPECT_TRUE(ToBoolean(vm, 7));
    EXPECT_FALSE(ToBoolean(vm, 8));
}

using StringTest = VMTest;

TEST_F(StringTest, ZeroBytesRoundTripThroughPushKeysAndConcat) {
    const char bytes[] = {'a', 0, 'b', 0};
    PushStringLen(vm, bytes, 4);
    EXPECT_EQ(StringAt(-1), std::string(bytes, 4));
    NewTable(vm); // 2
    PushStringLen(vm, bytes, 4);
    PushNumber(vm, 7);
    SetTable(vm, 2);
    PushStringLen(vm, bytes, 3); // a different key
    GetTable(vm, 2);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
    SetTop(vm, 2);
    PushStringLen(vm, bytes, 4);
    GetTable(vm, 2);
    EXPECT_EQ(VMToNumber(vm, -1), 7);
    SetTop(vm, 2);
    PushStringLen(vm, bytes, 2);
    PushNumber(vm, 5);
    PushStringLen(vm, bytes, 4);
    ConcatValues(vm, 3);
    EXPECT_EQ(StringAt(-1), std::string("a\0" "5a\0b\0", 7));
}

TEST_F(StringTest, InterningMakesEqualStringsOneObject) {
    PushString(vm, "hello");
    std::string s = "hel";
    s += "lo";
    PushStringLen(vm, s.data(), s.size());
    EXPECT_EQ(VMToString(vm, 1), VMToString(vm, 2));
    EXPECT_TRUE(VMRawEqual(vm, 1, 2));
}

TEST_F(StringTest, ConcatOfNothingIsEmpty) {
    ConcatValues(vm, 0);
    EXPECT_EQ(StringAt(-1), "");
}

using TableTest = VMTest;

TEST_F(TableTest, ZeroBasedListReadsBackInOrder) {
    NewTable(vm);
    for (int i = 0; i < 100; i++) {
        PushNumber(vm, i * 10);
        RawSetIndex(vm, 1, i);
    }
    EXPECT_EQ(TableListLength(vm, 1), 100u);
    PushNil(vm);
    int expected = 0;
    while (NextPair(vm, 1)) {
        EXPECT_EQ(VMToNumber(vm, -2), expected);
        EXPECT_EQ(VMToNumber(vm, -1), expected * 10);
        SetTop(vm, -2);
        expected++;
    }
    EXPECT_EQ(expected, 100);
}

TEST_F(TableTest, ListBuiltBackwardsEndsUpInOrder) {
    NewTable(vm);
    for (int i = 9; i >= 0; i--) {
        PushNumber(vm, i);
        RawSetIndex(vm, 1, i);
    }
    EXPECT_EQ(TableListLength(vm, 1), 10u);
    PushNil(vm);
    int expected = 0;
    while (NextPair(vm, 1)) {
        EXPECT_EQ(VMToNumber(vm, -2), expected++);
        SetTop(vm, -2);
    }
    EXPECT_EQ(expected, 10);
}

TEST_F(TableTest, NextPairVisitsEveryKeyOnceInInsertionOrder) {
    NewTable(vm);
    const char *names[] = {"zeta", "alpha", "mid", "beta", "omega"};
    for (int i = 0; i < 5; i++) {
        PushNumber(vm, i);
        SetField(vm, 1, names[i]);
    }
    PushNumber(vm, 3.5);
    PushString(vm, "float key");
    SetTable(vm, 1);
    PushNumber(vm, 0);
    RawSetIndex(vm, 1, 0);
    std::vector<std::string> seen;
    PushNil(vm);
    while (NextPair(vm, 1)) {
        PushValue(vm, -2);
        seen.push_back(StringAt(-1));
        SetTop(vm, -3);
    }
    std::vector<std::string> expected = {"0", "zeta", "alpha", "mid", "beta", "omega", "3.5"};
    EXPECT_EQ(seen, expected);
}

TEST_F(TableTest, NextPairSurvivesOverwritingValuesDuringTheWalk) {
    NewTable(vm);
    for (int i = 0; i < 50; i++) {
        PushNumber(vm, i);
        RawSetIndex(vm, 1, i);
        std::string key = "k" + std::to_string(i);
        PushNumber(vm, i);
        SetField(vm, 1, key.c_str());
    }
    std::set<std::string> seen;
    int visits = 0;
    PushNil(vm);
    while (NextPair(vm, 1)) {
        visits++;
        PushValue(vm, -2);
        seen.insert(StringAt(-1));
        SetTop(vm, -2);
        // overwrite the current key's value, every other one with Nil
        PushValue(vm, -2);
        if (visits % 2) PushNil(vm);
        else PushString(vm, "changed");
        SetTable(vm, 1);
        SetTop(vm, -2);
    }
    EXPECT_EQ(visits, 100);
    EXPECT_EQ(seen.size(), 100u);
}

TEST_F(TableTest, RawGetIndexBypassesIndexWhileGetTableUsesIt) {
    NewTable(vm); // 1: t
    NewTable(vm); // 2: mt
    NewTable(vm); // 3: fallback
    PushString(vm, "from fallback");
    RawSetIndex(vm, 3, 5);
    SetField(vm, 2, "__index"); // mt.__index = fallback
    VMSetMetatable(vm, 1);
    RawGetIndex(vm, 1, 5);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
    SetTop(vm, 1);
    PushNumber(vm, 5);
    GetTable(vm, 1);
    EXPECT_EQ(StringAt(-1), "from fallback");
    SetTop(vm, 1);
    PushNumber(vm, 5);
    VMRawGet(vm, 1);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
}

TEST_F(TableTest, IndexFunctionAndNewIndexFunction) {
    NewTable(vm);
    NewTable(vm);
    SetNativeField(vm, 2, "__index", [](VMState *v) {
        PushString(v, "computed ");
        PushValue(v, 2);
        ConcatValues(v, 2);
        return 1;
    });
    SetNativeField(vm, 2, "__newindex", [](VMState *v) {
        // rawset(t, k, v .. "!")
        PushValue(v, 2);
        PushValue(v, 3);
        PushString(v, "!");
        ConcatValues(v, 2);
        VMRawSet(v, 1);
        return 0;
    });
    VMSetMetatable(vm, 1);
    GetField(vm, 1, "key");
    EXPECT_EQ(StringAt(-1), "computed key");
    SetTop(vm, 1);
    PushString(vm, "v");
    SetField(vm, 1, "x");
    PushString(vm, "x");
    VMRawGet(vm, 1);
    EXPECT_EQ(StringAt(-1), "v!");
}

TEST_F(TableTest, NilAndNaNKeysAreRefused) {
    EXPECT_EQ(Protected(vm,
                        [](VMState *v) {
                            NewTable(v);
                            PushNil(v);
                            PushNumber(v, 1);
                            SetTable(v, 1);
                        }),
              kErrBadTableKey);
    EXPECT_EQ(Protected(vm,
                        [](VMState *v) {
                            NewTable(v);
                            PushNumber(v, NAN);
                            PushNumber(v, 1);
                            SetTable(v, 1);
                        }),
              kErrBadTableKey);
}

TEST_F(TableTest, TableSettersOnTheTopTable) {
    NewTable(vm);
    SetTableNumber(vm, "n", 7);
    SetTableDouble(vm, "d", 2.5);
    SetTableString(vm, "s", "text");
    SetTableString(vm, "none", nullptr);
    int object = 0;
    SetTableObjectId(vm, "h", ObjectId{0, &object});
    SetTableObjectId(vm, "id", ObjectId{12, nullptr});
    EXPECT_EQ(GetTop(vm), 1);
    GetField(vm, 1, "n");
    EXPECT_EQ(VMToNumber(vm, -1), 7);
    GetField(vm, 1, "d");
    EXPECT_EQ(VMToNumber(vm, -1), 2.5);
    GetField(vm, 1, "s");
    EXPECT_EQ(StringAt(-1), "text");
    GetField(vm, 1, "none");
    EXPECT_EQ(ValueType(vm, -1), TNIL);
    GetField(vm, 1, "h");
    EXPECT_EQ(ToHandle(vm, -1), &object);
    GetField(vm, 1, "id");
    EXPECT_EQ(VMToNumber(vm, -1), 12);
}

using MetaTest = VMTest;

TEST_F(MetaTest, CallMetaMethodWithANativeToString) {
    NewTable(vm);
    NewTable(vm);
    SetNativeField(vm, 2, "__tostring", [](VMState *v) {
        PushString(v, ValueType(v, 1) == TTABLE ? "a table" : "?");
        return 1;
    });
    VMSetMetatable(vm, 1);
    EXPECT_EQ(CallMetaMethod(vm, 1, "__tostring"), 1);
    EXPECT_EQ(StringAt(-1), "a table");
    EXPECT_EQ(CallMetaMethod(vm, 1, "__nothing"), 0);
    EXPECT_EQ(GetMetaField(vm, 1, "__tostring"), 1);
    EXPECT_EQ(ValueType(vm, -1), TFUNCTION);
    EXPECT_EQ(VMGetMetatable(vm, 1), 1);
    PushNumber(vm, 1);
    EXPECT_EQ(VMGetMetatable(vm, -1), 0);
}

TEST_F(MetaTest, RawEqualIgnoresEq) {
    NewTable(vm);
    NewTable(vm);
    NewTable(vm); // mt
    SetNativeField(vm, 3, "__eq", [](VMState *v) {
        PushNumber(v, 1);
        return 1;
    });
    PushValue(vm, 3);
    VMSetMetatable(vm, 1);
    VMSetMetatable(vm, 2);
    EXPECT_FALSE(VMRawEqual(vm, 1, 2));
}

TEST_F(MetaTest, LessThanComparesNumbersAndStringsAndRefusesMixes) {
    PushNumber(vm, 1);
    PushNumber(vm, 2);
    PushString(vm, "abc");
    PushString(vm, "abd");
    EXPECT_TRUE(LessThan(vm, 1, 2));
    EXPECT_FALSE(LessThan(vm, 2, 1));
    EXPECT_TRUE(LessThan(vm, 3, 4));
    EXPECT_EQ(Protected(vm,
                        [](VMState *v) {
                            PushNumber(v, 1);
                            PushString(v, "2");
                            LessThan(v, 1, 2);
                        }),
              kErrWrongType);
}

using CallTest = VMTest;

TEST_F(CallTest, NativeErrorInsideProtectedCallRestoresTheStack) {
    PushNumber(vm, 99);
    PushNativeFunction(
        vm,
        [](VMState *v) {
            PushNumber(v, 1);
            PushNumber(v, 2);
            return 1001;
        },
        "fails");
    PushNumber(vm, 5);
    PushNumber(vm, 6);
    EXPECT_EQ(ProtectedCall(vm, 2, -1, 0), 1001);
    EXPECT_EQ(GetTop(vm), 1);
    EXPECT_EQ(VMToNumber(vm, 1), 99);
}

TEST_F(CallTest, RaiseErrorInsideProtectedCallRestoresTheStack) {
    PushNativeFunction(
        vm,
        [](VMState *v) -> int {
            PushNumber(v, 1);
            RaiseError(v, 1001);
        },
        "raises");
    EXPECT_EQ(ProtectedCall(vm, 0, 0, 0), 1001);
    EXPECT_EQ(GetTop(vm), 0);
}

TEST_F(CallTest, NativeResultsAndArguments) {
    PushNativeFunction(
        vm,
        [](VMState *v) {
            int n = GetTop(v);
            double sum = 0;
            for (int i = 1; i <= n; i++) sum += VMToNumber(v, i);
            PushNumber(v, sum);
            PushNumber(v, n);
            return 2;
        },
        "sum");
    for (int i = 1; i <= 10; i++) PushNumber(vm, i);
    CallFunction(vm, 10, -1);
    EXPECT_EQ(GetTop(vm), 2);
    EXPECT_EQ(VMToNumber(vm, 1), 55);
    EXPECT_EQ(VMToNumber(vm, 2), 10);
    SetTop(vm, 0);
    PushNativeFunction(vm, [](VMState *) { return 0; }, "none");
    CallFunction(vm, 0, 3);
    EXPECT_EQ(GetTop(vm), 3);
    EXPECT_EQ(ValueType(vm, 3), TNIL);
}

TEST_F(CallTest, ReentryDeeperThan200IsAStackOverflow) {
    static int depth;
    static int deepest;
    depth = 0;
    deepest = 0;
    NativeFn recurse = [](VMState *v) -> int {
        depth++;
        deepest = std::max(deepest, depth);
        PushValue(v, 1);
        PushValue(v, 1);
        CallFunction(v, 1, 0);
        depth--;
        return 0;
    };
    PushNativeFunction(vm, recurse, "recurse");
    PushValue(vm, 1);
    EXPECT_EQ(ProtectedCall(vm, 1, 0, 0), kErrStackOverflow);
    EXPECT_EQ(deepest, kMaxNativeReentry);
    EXPECT_EQ(GetTop(vm), 0);
    // and the VM is still usable
    PushNativeFunction(vm, [](VMState *) { return 0; }, "ok");
    EXPECT_EQ(ProtectedCall(vm, 0, 0, 0), 0);
}

TEST_F(CallTest, ErrorPolicyCanSwallowACommandError) {
    SetErrorPolicyHook(vm, [](VMState *, int code) { return code == 1001 ? 0 : 1; });
    PushNativeFunction(vm, [](VMState *) { return 1001; }, "swallowed");
    EXPECT_EQ(ProtectedCall(vm, 0, 1, 0), 0);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
    SetTop(vm, 0);
    PushNativeFunction(vm, [](VMState *v) -> int { RaiseError(v, 1002); }, "raised");
    EXPECT_EQ(ProtectedCall(vm, 0, 0, 0), 1002);
}

TEST_F(CallTest, CallTraceSeesTheCommandName) {
    static std::string traced;
    SetCallHook(vm, [](VMState *, const char *name) { traced += name; });
    PushNativeFunction(vm, [](VMState *) { return 0; }, "traceme");
    CallFunction(vm, 0, 0);
    EXPECT_EQ(traced, "traceme");
}

TEST_F(CallTest, CallingANonFunctionIsAnError) {
    PushNumber(vm, 3);
    EXPECT_EQ(ProtectedCall(vm, 0, 0, 0), kErrCallNonFunction);
}

TEST_F(CallTest, GlobalsAndRegistryHandles) {
    PushNumber(vm, 5);
    SetGlobal(vm, "five");
    GetGlobal(vm, "five");
    EXPECT_EQ(VMToNumber(vm, -1), 5);
    int config = 0;
    SetRegistryHandle(vm, "clargs", &config);
    EXPECT_EQ(GetRegistryHandle(vm, "clargs"), &config);
    EXPECT_EQ(GetRegistryHandle(vm, "missing"), nullptr);
}

using RefTest = VMTest;

TEST_F(RefTest, MakeRefOfNilIsMinusOneAndPops) {
    PushNil(vm);
    EXPECT_EQ(MakeRef(vm, kRegistryIndex), -1);
    EXPECT_EQ(GetTop(vm), 0);
}

TEST_F(RefTest, RefsRoundTripAndAreReused) {
    PushString(vm, "a");
    int a = MakeRef(vm, kRegistryIndex);
    PushString(vm, "b");
    int b = MakeRef(vm, kRegistryIndex);
    EXPECT_EQ(GetTop(vm), 0);
    EXPECT_NE(a, b);
    EXPECT_GE(a, 1);
    PushRef(vm, kRegistryIndex, a);
    EXPECT_EQ(StringAt(-1), "a");
    FreeRef(vm, kRegistryIndex, a);
    FreeRef(vm, kRegistryIndex, a); // a second free is ignored
    PushString(vm, "c");
    int c = MakeRef(vm, kRegistryIndex);
    PushString(vm, "d");
    int d = MakeRef(vm, kRegistryIndex);
    EXPECT_EQ(c, a);
    EXPECT_NE(d, a);
    EXPECT_NE(d, b);
    PushRef(vm, kRegistryIndex, -1);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
}

using GCTest = VMTest;

TEST_F(GCTest, ReferencedTableSurvivesAndUnreferencedIsFreed) {
    SetGCThreshold(vm, 0);
    int base = GetGCCount(vm);
    // A referenced table with a marker.
    NewTable(vm);
    PushString(vm, "kept");
    RawSetIndex(vm, 1, 0);
    int ref = MakeRef(vm, kRegistryIndex);
    // An unreferenced big table.
    NewTable(vm);
    for (int i = 0; i < 20000; i++) {
        PushNumber(vm, i);
        RawSetIndex(vm, 1, i);
    }
    int withGarbage = GetGCCount(vm);
    EXPECT_GT(withGarbage, base + 200);
    SetTop(vm, 0);
    SetGCThreshold(vm, 0);
    EXPECT_LT(GetGCCount(vm), withGarbage - 200);
    PushRef(vm, kRegistryIndex, ref);
    RawGetIndex(vm, 1, 0);
    EXPECT_EQ(StringAt(-1), "kept");
}

TEST_F(GCTest, ThresholdBecomesTwiceTheLiveSize) {
    NewTable(vm);
    for (int i = 0; i < 100000; i++) {
        PushNumber(vm, i);
        RawSetIndex(vm, 1, i);
    }
    CollectGarbage(vm);
    int live = GetGCCount(vm);
    EXPECT_NEAR(GetGCThreshold(vm), 2 * live, 2);
    SetGCThreshold(vm, 100000);
    EXPECT_EQ(GetGCThreshold(vm), 100000);
}

TEST_F(GCTest, StringsOnlyReferencedFromTheStackSurvive) {
    for (int i = 0; i < 100; i++) {
        std::string s = "string " + std::to_string(i);
        PushString(vm, s.c_str());
    }
    CollectGarbage(vm);
    for (int i = 0; i < 100; i++) EXPECT_EQ(StringAt(i + 1), "string " + std::to_string(i));
}

TEST_F(GCTest, SurvivingStringsStayInternedAfterASweep) {
    NewTable(vm); // 1: keeps every third string
    for (int i = 0; i < 3000; i++) {
        std::string s = "s" + std::to_string(i);
        PushString(vm, s.c_str());
        if (i % 3 == 0) RawSetIndex(vm, 1, i / 3);
        else SetTop(vm, 1);
    }
    CollectGarbage(vm);
    for (int i = 0; i < 3000; i += 3) {
        std::string s = "s" + std::to_string(i);
        RawGetIndex(vm, 1, i / 3);
        PushString(vm, s.c_str());
        ASSERT_EQ(VMToString(vm, -1), VMToString(vm, -2)) << s; // the same object
        SetTop(vm, 1);
    }
    // strings made again after the sweep are new and still unique
    for (int i = 1; i < 3000; i += 3) {
        std::string s = "s" + std::to_string(i);
        PushString(vm, s.c_str());
        PushString(vm, s.c_str());
        ASSERT_TRUE(VMRawEqual(vm, -1, -2));
        SetTop(vm, 1);
    }
}

TEST_F(TableTest, KeyStringsUsedInManyTablesFindTheirOwnEntries) {
    NewTable(vm);
    NewTable(vm);
    for (int i = 0; i < 500; i++) {
        std::string key = "k" + std::to_string(i);
        PushNumber(vm, i);
        SetField(vm, 1, key.c_str());
        PushNumber(vm, -i);
        SetField(vm, 2, key.c_str());
    }
    // growing one table moves its entries; lookups in both stay right
    for (int i = 0; i < 2000; i++) {
        PushNumber(vm, i);
        std::string key = "extra" + std::to_string(i);
        SetField(vm, 1, key.c_str());
    }
    for (int i = 0; i < 500; i++) {
        std::string key = "k" + std::to_string(i);
        GetField(vm, 1, key.c_str());
        GetField(vm, 2, key.c_str());
        ASSERT_EQ(VMToNumber(vm, -2), i);
        ASSERT_EQ(VMToNumber(vm, -1), -i);
        SetTop(vm, 2);
    }
}
