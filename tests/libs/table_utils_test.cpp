#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include "libs/system/system_commands.h"
#include "runtime/app/errors.h"
#include "string_command_calls.h"

namespace {

const CommandEntry kTableCommands[] = {
    {"Sort", CmdSort},
    {"InsertItem", CmdInsertItem},
    {"RemoveItem", CmdRemoveItem},
    {"Unpack", CmdUnpack},
    {"ListItems", CmdListItems},
    {"CopyTable", CmdCopyTable},
    {"GetMetaTable", CmdGetMetaTable},
    {"SetMetaTable", CmdSetMetaTable},
    {"RawEqual", CmdRawEqual},
    {"RawGet", CmdRawGet},
    {"RawSet", CmdRawSet},
    {"Pairs", CmdPairs},
    {"NextItem", CmdNextItem},
    {"IPairs", CmdIPairs},
    {nullptr, nullptr},
};


// Notices a read outside the list, which would hand it a Nil.
bool comparedNil = false;
int AlwaysLess(VMState *vm) {
    if (ValueType(vm, 1) == TNIL || ValueType(vm, 2) == TNIL) comparedNil = true;
    PushNumber(vm, 1);
    return 1;
}



class TableCommands : public ::testing::Test {
protected:
    void SetUp() override {
        vm = NewCommandTestVM();
        RegisterCommands(vm, kTableCommands);
    }
    void TearDown() override { CloseVMState(vm); }

    // Pushes a list of numbers at keys 0.. and returns its stack index.
    int PushList(std::initializer_list<double> items) {
        NewTable(vm);
        int64_t i = 0;
        for (double item : items) {
            PushNumber(vm, item);
            RawSetIndex(vm, -2, i++);
        }
        return GetTop(vm);
    }
    int PushStrings(std::initializer_list<const char *> items) {
        NewTable(vm);
        int64_t i = 0;
        for (const char *item : items) {
            PushString(vm, item);
            RawSetIndex(vm, -2, i++);
        }
        return GetTop(vm);
    }
    int PushFunction(NativeFn fn) {
        PushNativeFunction(vm, fn, "comparator");
        return GetTop(vm);
    }
    std::vector<double> Numbers(int table, int64_t count) {
        std::vector<double> out;
        for (int64_t i = 0; i < count; ++i) {
            RawGetIndex(vm, table, i);
            out.push_back(ValueType(vm, -1) == TNIL ? -999 : VMToNumber(vm, -1));
            SetTop(vm, -2);
        }
        return out;
    }
    std::string StringAt(int table, int64_t i) {
        RawGetIndex(vm, table, i);
        std::string text = ValueType(vm, -1) == TSTRING ? VMToString(vm, -1) : "<not a string>";
        SetTop(vm, -2);
        return text;
    }
    int TypeAt(int table, int64_t i) {
        RawGetIndex(vm, table, i);
        int type = ValueType(vm, -1);
        SetTop(vm, -2);
        return type;
    }
    CommandArg At(int index) { return CommandArg::Stack(index); }
    VMState *vm = nullptr;
};

// ---- Sort ----------------------------------------------------------------------------------------------------

TEST_F(TableCommands, SortStopsAtFirstNil) {
    int t = PushList({3, 1, 2});
    PushNumber(vm, 0);
    RawSetIndex(vm, t, 4); // key 3 stays Nil
    ASSERT_EQ(CallForError(vm, "sort", {At(t)}), 0);
    EXPECT_EQ(Numbers(t, 5), (std::vector<double>{1, 2, 3, -999, 0}));
}

TEST_F(TableCommands, SortWithoutComparatorStopsAtEmptyString) {
    int t = PushStrings({"c", "b", "", "a"});
    ASSERT_EQ(CallForError(vm, "sort", {At(t)}), 0);
    EXPECT_EQ(StringAt(t, 0), "b");
    EXPECT_EQ(StringAt(t, 1), "c");
    EXPECT_EQ(StringAt(t, 3), "a");
}




TEST_F(TableCommands, InconsistentComparatorRaisesInvalidOrderAndStaysInRange) {
    int t = PushList({4, 8, 1, 9, 2, 7, 3, 6, 5, 0});
    int f = PushFunction(AlwaysLess);
    comparedNil = false;
    EXPECT_EQ(CallForError(vm, "sort", {At(t), At(f)}), kErrInvalidSortFunction);
    EXPECT_FALSE(comparedNil);
    std::vector<double> after = Numbers(t, 11);
    EXPECT_EQ(after[10], -999);
    std::sort(after.begin(), after.begin() + 10);
    EXPECT_EQ(after, (std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, -999}));
}

TEST_F(TableCommands, SortWithNilComparatorUsesDefaultOrder) {
    int t = PushList({2, 1});
    ASSERT_EQ(CallForError(vm, "sort", {At(t), CommandArg::Nil()}), 0);
    EXPECT_EQ(Numbers(t, 2), (std::vector<double>{1, 2}));
}

TEST_F(TableCommands, SortRefusesNonFunctionComparator) {
    int t = PushList({2, 1});
    EXPECT_EQ(CallForError(vm, "sort", {At(t), 5}), kErrFunctionExpected);
}

TEST_F(TableCommands, SortOfManyRandomNumbersIsAscending) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> draw(-1000, 1000);
    NewTable(vm);
    int t = GetTop(vm);
    for (int64_t i = 0; i < 10000; ++i) {
        PushNumber(vm, i % 50 == 0 ? 1.5 : draw(random)); // repeated values too
        RawSetIndex(vm, t, i);
    }
    ASSERT_EQ(CallForError(vm, "sort", {At(t)}), 0);
    std::vector<double> sorted = Numbers(t, 10000);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
}

TEST_F(TableCommands, SortOfStringsUsesByteOrder) {
    int t = PushStrings({"b", "B", "a\xE9", "a", "A"});
    ASSERT_EQ(CallForError(vm, "sort", {At(t)}), 0);
    EXPECT_EQ(StringAt(t, 0), "A");
    EXPECT_EQ(StringAt(t, 1), "B");
    EXPECT_EQ(StringAt(t, 2), "a");
    EXPECT_EQ(StringAt(t, 3), "a\xE9");
    EXPECT_EQ(StringAt(t, 4), "b");
}

TEST_F(TableCommands, SortOfMixedTypesRaisesWrongType) {
    NewTable(vm);
    int t = GetTop(vm);
    PushNumber(vm, 1);
    RawSetIndex(vm, t, 0);
    PushString(vm, "x");
    RawSetIndex(vm, t, 1);
    EXPECT_EQ(CallForError(vm, "sort", {At(t)}), kErrWrongType);
}

// ---- InsertItem and RemoveItem -------------------------------------------------------------------------------

TEST_F(TableCommands, InsertIntoEmptyListStoresAtZero) {
    int t = PushList({});
    ASSERT_EQ(CallForError(vm, "insertitem", {At(t), 7, 0}), 0);
    EXPECT_EQ(Numbers(t, 1), std::vector<double>{7});
}

TEST_F(TableCommands, InsertAtFrontMovesItemsUp) {
    int t = PushList({1, 2});
    ASSERT_EQ(CallForError(vm, "insertitem", {At(t), 0, 0}), 0);
    EXPECT_EQ(Numbers(t, 3), (std::vector<double>{0, 1, 2}));
}


TEST_F(TableCommands, RemoveFromEmptyListReturnsNothing) {
    int t = PushList({});
    int results = -1;
    ASSERT_EQ(CallCommand(vm, "removeitem", {At(t)}, &results), 0);
    EXPECT_EQ(results, 0);
}

TEST_F(TableCommands, RemoveDefaultsToLastAndLeavesNil) {
    int t = PushList({1, 2, 3});
    EXPECT_EQ(CallForNumber(vm, "removeitem", {At(t)}), 3);
    EXPECT_EQ(Numbers(t, 3), (std::vector<double>{1, 2, -999}));
}

TEST_F(TableCommands, RemoveAtFrontMovesItemsDown) {
    int t = PushList({1, 2, 3});
    EXPECT_EQ(CallForNumber(vm, "removeitem", {At(t), 0}), 1);
    EXPECT_EQ(Numbers(t, 3), (std::vector<double>{2, 3, -999}));
}


// ---- Unpack and ListItems ------------------------------------------------------------------------------------

TEST_F(TableCommands, UnpackPushesItemsInOrder) {
    int t = PushList({4, 5, 6});
    int results = 0;
    ASSERT_EQ(CallCommand(vm, "unpack", {At(t)}, &results), 0);
    ASSERT_EQ(results, 3);
    EXPECT_EQ(VMToNumber(vm, -3), 4);
    EXPECT_EQ(VMToNumber(vm, -1), 6);
}

TEST_F(TableCommands, UnpackOfLongListRaisesStackOverflow) {
    NewTable(vm);
    int t = GetTop(vm);
    for (int64_t i = 0; i < 5000; ++i) {
        PushNumber(vm, static_cast<double>(i));
        RawSetIndex(vm, t, i);
    }
    EXPECT_EQ(CallForError(vm, "unpack", {At(t)}), kErrStackOverflowCode);
}

TEST_F(TableCommands, ListItemsCountsToFirstNil) {
    int t = PushList({1, 2, 3});
    PushNumber(vm, 9);
    RawSetIndex(vm, t, 5);
    EXPECT_EQ(CallForNumber(vm, "listitems", {At(t)}), 3);
    EXPECT_EQ(CallForError(vm, "listitems", {5}), kErrTableExpected);
}

// ---- CopyTable -----------------------------------------------------------------------------------------------

TEST_F(TableCommands, CopyTableCopiesNestedTables) {
    int t = PushList({1});
    int inner = PushList({2, 3});
    PushValue(vm, inner);
    SetField(vm, t, "inner");
    ASSERT_EQ(CallCommand(vm, "copytable", {At(t)}), 0);
    int copy = GetTop(vm);
    EXPECT_FALSE(VMRawEqual(vm, copy, t));
    GetField(vm, copy, "inner");
    int innerCopy = GetTop(vm);
    EXPECT_FALSE(VMRawEqual(vm, innerCopy, inner));
    EXPECT_EQ(Numbers(innerCopy, 2), (std::vector<double>{2, 3}));
    EXPECT_EQ(Numbers(copy, 1), std::vector<double>{1});
}

TEST_F(TableCommands, CopyTableCopiesSharedSubtableTwice) {
    int t = PushList({});
    int shared = PushList({1});
    PushValue(vm, shared);
    SetField(vm, t, "a");
    PushValue(vm, shared);
    SetField(vm, t, "b");
    ASSERT_EQ(CallCommand(vm, "copytable", {At(t)}), 0);
    int copy = GetTop(vm);
    GetField(vm, copy, "a");
    GetField(vm, copy, "b");
    EXPECT_FALSE(VMRawEqual(vm, -1, -2));
}


TEST_F(TableCommands, CopyTableOfSelfContainingTableKeepsTheCycle) {
    int t = PushList({1});
    PushValue(vm, t);
    SetField(vm, t, "self");
    ASSERT_EQ(CallCommand(vm, "copytable", {At(t)}), 0);
    int copy = GetTop(vm);
    GetField(vm, copy, "self");
    EXPECT_TRUE(VMRawEqual(vm, -1, copy));
}

TEST_F(TableCommands, CopyTableOfVeryDeepNestingRaisesStackOverflow) {
    NewTable(vm);
    int root = GetTop(vm);
    PushValue(vm, root);
    for (int depth = 0; depth < 5000; ++depth) {
        NewTable(vm);
        PushValue(vm, -1);
        SetField(vm, -3, "next");
        RemoveValue(vm, -2);
    }
    SetTop(vm, root);
    EXPECT_EQ(CallForError(vm, "copytable", {At(root)}), kErrStackOverflowCode);
}

// ---- Metatables and raw access -------------------------------------------------------------------------------


TEST_F(TableCommands, ProtectedMetatableCannotChangeAndHidesItself) {
    int t = PushList({});
    NewTable(vm);
    PushString(vm, "locked");
    SetField(vm, -2, "__metatable");
    VMSetMetatable(vm, t);
    NewTable(vm);
    int other = GetTop(vm);
    EXPECT_EQ(CallForError(vm, "setmetatable", {At(t), At(other)}), kErrProtectedMetatable);
    EXPECT_EQ(CallForString(vm, "getmetatable", {At(t)}), "locked");
}

TEST_F(TableCommands, SetMetaTableReturnsTableAndNilClears) {
    int t = PushList({});
    NewTable(vm);
    int mt = GetTop(vm);
    ASSERT_EQ(CallCommand(vm, "setmetatable", {At(t), At(mt)}), 0);
    EXPECT_TRUE(VMRawEqual(vm, -1, t));
    SetTop(vm, mt);
    ASSERT_EQ(CallCommand(vm, "getmetatable", {At(t)}), 0);
    EXPECT_TRUE(VMRawEqual(vm, -1, mt));
    SetTop(vm, mt);
    ASSERT_EQ(CallForError(vm, "setmetatable", {At(t), CommandArg::Nil()}), 0);
    ASSERT_EQ(CallCommand(vm, "getmetatable", {At(t)}), 0);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
}

TEST_F(TableCommands, RawAccessIgnoresIndexMetamethod) {
    int t = PushList({});
    NewTable(vm);
    int fallback = PushList({});
    PushNumber(vm, 42);
    SetField(vm, fallback, "k");
    SetField(vm, fallback - 1, "__index");
    VMSetMetatable(vm, t);
    SetTop(vm, t);
    ASSERT_EQ(CallCommand(vm, "rawget", {At(t), "k"}), 0);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
    SetTop(vm, t);
    ASSERT_EQ(CallCommand(vm, "rawset", {At(t), "k", 7}), 0);
    EXPECT_TRUE(VMRawEqual(vm, -1, t));
    EXPECT_EQ(CallForNumber(vm, "rawget", {At(t), "k"}), 7);
}


// ---- Iteration -----------------------------------------------------------------------------------------------

TEST_F(TableCommands, PairsReturnsNextItemTableAndNil) {
    int t = PushList({1});
    int results = 0;
    ASSERT_EQ(CallCommand(vm, "pairs", {At(t)}, &results), 0);
    ASSERT_EQ(results, 3);
    GetGlobal(vm, "nextitem");
    EXPECT_TRUE(VMRawEqual(vm, -1, -4));
    EXPECT_TRUE(VMRawEqual(vm, -3, t));
    EXPECT_EQ(ValueType(vm, -2), TNIL);
}

TEST_F(TableCommands, NextItemVisitsEveryKeyOnce) {
    int t = PushList({10, 11, 12});
    for (const char *key : {"a", "b", "c"}) {
        PushString(vm, key);
        SetField(vm, t, key);
    }
    std::map<std::string, int> visits;
    PushNil(vm);
    int key = GetTop(vm);
    for (int step = 0; step < 20; ++step) {
        int results = 0;
        ASSERT_EQ(CallCommand(vm, "nextitem", {At(t), At(key)}, &results), 0);
        if (ValueType(vm, -results) == TNIL) break;
        ASSERT_EQ(results, 2);
        PushValue(vm, -2);
        visits[VMToString(vm, -1)]++; // numbers convert to text here
        SetTop(vm, -2);
        SetTop(vm, -2);      // drop the value, keep the key
        RemoveValue(vm, key); // the new key takes the old one's place
    }
    EXPECT_EQ(visits, (std::map<std::string, int>{{"0", 1}, {"1", 1}, {"2", 1}, {"a", 1}, {"b", 1}, {"c", 1}}));
}

TEST_F(TableCommands, IPairsStartsLoopAtMinusOne) {
    int t = PushList({5});
    int results = 0;
    ASSERT_EQ(CallCommand(vm, "ipairs", {At(t)}, &results), 0);
    ASSERT_EQ(results, 3);
    GetGlobal(vm, "ipairs");
    EXPECT_TRUE(VMRawEqual(vm, -1, -4));
    EXPECT_EQ(VMToNumber(vm, -2), -1);
}

TEST_F(TableCommands, IPairsOverEmptyListEndsAtOnce) {
    int t = PushList({});
    int results = -1;
    ASSERT_EQ(CallCommand(vm, "ipairs", {At(t), -1}, &results), 0);
    EXPECT_EQ(results, 0);
}

TEST_F(TableCommands, IPairsVisitsListInOrderUpToFirstNil) {
    int t = PushList({10, 11, 12});
    PushNumber(vm, 99);
    RawSetIndex(vm, t, 4);
    std::vector<double> seen;
    double index = -1;
    for (int step = 0; step < 10; ++step) {
        int results = 0;
        ASSERT_EQ(CallCommand(vm, "ipairs", {At(t), index}, &results), 0);
        if (results == 0) break;
        ASSERT_EQ(results, 2);
        index = VMToNumber(vm, -2);
        seen.push_back(VMToNumber(vm, -1));
        SetTop(vm, -3);
    }
    EXPECT_EQ(seen, (std::vector<double>{10, 11, 12}));
    EXPECT_EQ(index, 2);
}

} // namespace
