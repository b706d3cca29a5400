#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "libs/system/system_commands.h"
#include "runtime/app/errors.h"
#include "string_command_calls.h"

namespace {

const CommandEntry kTableCommands[] = {
    {"Sort", CmdSort},           {"Unpack", CmdUnpack}, {"ListItems", CmdListItems},
    {"CopyTable", CmdCopyTable}, {nullptr, nullptr},
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
    CommandArg At(int index) { return CommandArg::Stack(index); }
    VMState *vm = nullptr;
};

// ---- Sort (the orders scripts can show run in tests/scripts/tables) ----------------------------------------

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

// ---- Limits of Unpack, ListItems and CopyTable ----------------------------------------------------------------

TEST_F(TableCommands, UnpackOfLongListRaisesStackOverflow) {
    NewTable(vm);
    int t = GetTop(vm);
    for (int64_t i = 0; i < 5000; ++i) {
        PushNumber(vm, static_cast<double>(i));
        RawSetIndex(vm, t, i);
    }
    EXPECT_EQ(CallForError(vm, "unpack", {At(t)}), kErrStackOverflow);
}

TEST_F(TableCommands, ListItemsCountsToFirstNil) {
    int t = PushList({1, 2, 3});
    PushNumber(vm, 9);
    RawSetIndex(vm, t, 5);
    EXPECT_EQ(CallForNumber(vm, "listitems", {At(t)}), 3);
    EXPECT_EQ(CallForError(vm, "listitems", {5}), kErrTableExpected);
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
    EXPECT_EQ(CallForError(vm, "copytable", {At(root)}), kErrStackOverflow);
}

} // namespace
