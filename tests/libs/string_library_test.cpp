#include <gtest/gtest.h>

#include "libs/string/string_library.h"
#include "runtime/app/errors.h"
#include "string_command_calls.h"

using namespace std::string_literals;

namespace {

class StringCommands : public ::testing::Test {
protected:
    void SetUp() override {
        vm = NewCommandTestVM();
        kStringLibrary.registerLibrary(vm);
    }
    void TearDown() override { CloseVMState(vm); }
    double Number(const char *name, const std::vector<CommandArg> &args) { return CallForNumber(vm, name, args); }
    std::string Text(const char *name, const std::vector<CommandArg> &args) { return CallForString(vm, name, args); }
    int Error(const char *name, const std::vector<CommandArg> &args) { return CallForError(vm, name, args); }
    VMState *vm = nullptr;
};

TEST_F(StringCommands, FindStrDefaultsToCaseSensitiveFromZero) {
    EXPECT_EQ(Number("findstr", {"Hello", "L"}), -1);
    EXPECT_EQ(Number("findstr", {"Hello", "L", 0}), 2);
    EXPECT_EQ(Number("findstr", {"Hello", "l", 1, 3}), 3);
}

TEST_F(StringCommands, NegativeStartIsWrongUsage) {
    EXPECT_EQ(Error("findstr", {"abc", "a", 1, -1}), kErrWrongUsage);
    EXPECT_EQ(Error("countstr", {"abc", "a", 1, -1}), kErrWrongUsage);
    EXPECT_EQ(Error("replacestr", {"abc", "a", "b", 1, -1}), kErrWrongUsage);
    EXPECT_EQ(Error("insertstr", {"abc", "a", -1}), kErrWrongUsage);
}

TEST_F(StringCommands, ArgumentCountsAreChecked) {
    EXPECT_EQ(Error("findstr", {"abc"}), kErrNotEnoughArguments);
    EXPECT_EQ(Error("strlen", {"a", "b"}), kErrTooManyArguments);
    EXPECT_EQ(Error("strlen", {CommandArg::Nil()}), kErrStringExpected);
}

TEST_F(StringCommands, SplitStrLastPieceRunsPastZeroByte) {
    int results = 0;
    ASSERT_EQ(CallCommand(vm, "splitstr", {"x;y\0z"s, ";"}, &results), 0);
    RawGetIndex(vm, -2, 1);
    size_t length = 0;
    const char *bytes = VMToString(vm, -1, &length);
    EXPECT_EQ(std::string(bytes, length), "y\0z"s);
}

TEST_F(StringCommands, SeparatorAndTrimCharMustBeOneByte) {
    EXPECT_EQ(Error("splitstr", {"a,b", ",,"}), kErrWrongUsage);
    EXPECT_EQ(Error("splitstr", {"a,b", ""}), kErrWrongUsage);
    EXPECT_EQ(Error("trimstr", {"xax", "xx", 0}), kErrWrongUsage);
}

TEST_F(StringCommands, UnguardedCutsStayInsideString) {
    EXPECT_EQ(Text("midstr", {"abcdef", -5, 3}), "");
    EXPECT_EQ(Text("unmidstr", {"abcdef", 99, 2}), "abcdef");
    EXPECT_EQ(Error("unmidstr", {"abc", -1, 1}), kErrWrongUsage);
    EXPECT_EQ(Error("unmidstr", {"abc", 1, -1}), kErrWrongUsage);
    EXPECT_EQ(Error("unleftstr", {"abc", -1}), kErrWrongUsage);
    EXPECT_EQ(Error("unrightstr", {"abc", -1}), kErrWrongUsage);
}

TEST_F(StringCommands, HexAndBinReadUnsigned) {
    EXPECT_EQ(Text("hexstr", {-1}), "$FFFFFFFF");
    EXPECT_EQ(Text("binstr", {4294967295.0}), std::string(32, '1'));
    EXPECT_EQ(Text("binstr", {5, 7}), "00000101");
}

TEST_F(StringCommands, ValOfNonNumberGivesTwoZeros) {
    int results = 0;
    ASSERT_EQ(CallCommand(vm, "val", {"abc"}, &results), 0);
    ASSERT_EQ(results, 2);
    EXPECT_EQ(VMToNumber(vm, -2), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 0);
}

TEST_F(StringCommands, ToStringByType) {
    EXPECT_EQ(Text("tostring", {CommandArg::Nil()}), "Nil");
    EXPECT_EQ(Text("tostring", {1e15}), "1e+15");
    EXPECT_EQ(Text("tostring", {0.1}), "0.1");
    EXPECT_EQ(Text("tostring", {"a\0b"s}), "a\0b"s);
    PushBoolean(vm, 1);
    EXPECT_EQ(Text("tostring", {CommandArg::Stack(1)}), "true");
    SetTop(vm, 0);
    NewTable(vm);
    EXPECT_EQ(Text("tostring", {CommandArg::Stack(1)}).rfind("Table: ", 0), 0u);
}

int NamedThing(VMState *vm) {
    PushString(vm, "thing");
    return 1;
}

TEST_F(StringCommands, ToStringUsesMetamethod) {
    NewTable(vm); // the value
    NewTable(vm); // its metatable
    PushNativeFunction(vm, NamedThing, "namedthing");
    SetField(vm, 2, "__tostring");
    VMSetMetatable(vm, 1);
    EXPECT_EQ(Text("tostring", {CommandArg::Stack(1)}), "thing");
}

} // namespace
