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

TEST_F(StringCommands, RegistersUnderLibraryName) {
    EXPECT_NE(FindCommand("findstr"), nullptr);
    EXPECT_NE(FindCommand("StrToArray"), nullptr);
}

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

TEST_F(StringCommands, ReplaceKeepsZeroBytes) {
    EXPECT_EQ(Text("replacestr", {"a\0b\0c"s, "b"s, "\0\0"s}), "a\0\0\0\0c"s);
}

TEST_F(StringCommands, SplitStrGivesTableAndCount) {
    int results = 0;
    ASSERT_EQ(CallCommand(vm, "splitstr", {",a,,b,", ","}, &results), 0);
    ASSERT_EQ(results, 2);
    EXPECT_EQ(VMToNumber(vm, -1), 5);
    RawGetIndex(vm, -2, 1);
    EXPECT_STREQ(VMToString(vm, -1), "a");
    RawGetIndex(vm, -3, 4);
    size_t length = 99;
    VMToString(vm, -1, &length);
    EXPECT_EQ(length, 0u);
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

TEST_F(StringCommands, StrLenAndMidCountZeroBytes) {
    EXPECT_EQ(Number("strlen", {"a\0b"s}), 3);
    EXPECT_EQ(Text("midstr", {"a\0bc"s, 1, 2}), "\0b"s);
}

TEST_F(StringCommands, UnguardedCutsStayInsideString) {
    EXPECT_EQ(Text("midstr", {"abcdef", -5, 3}), "");
    EXPECT_EQ(Text("unmidstr", {"abcdef", 99, 2}), "abcdef");
    EXPECT_EQ(Error("unmidstr", {"abc", -1, 1}), kErrWrongUsage);
    EXPECT_EQ(Error("unmidstr", {"abc", 1, -1}), kErrWrongUsage);
    EXPECT_EQ(Error("unleftstr", {"abc", -1}), kErrWrongUsage);
    EXPECT_EQ(Error("unrightstr", {"abc", -1}), kErrWrongUsage);
}

TEST_F(StringCommands, ChrZeroIsOneZeroByte) {
    EXPECT_EQ(Text("chr", {0}), "\0"s);
    EXPECT_EQ(Text("chr", {255}), "\xFF");
    EXPECT_EQ(Error("chr", {256}), kErrWrongUsage);
    EXPECT_EQ(Error("chr", {-1}), kErrWrongUsage);
}

TEST_F(StringCommands, AscOfEmptyStringIsZero) {
    EXPECT_EQ(Number("asc", {""}), 0);
    EXPECT_EQ(Number("asc", {"\xE9"}), 0xE9);
}

TEST_F(StringCommands, UpperStrKeepsSharpS) {
    EXPECT_EQ(Text("upperstr", {"stra\xDF" "e"}), "STRA\xDF" "E");
}

TEST_F(StringCommands, HexAndBinReadUnsigned) {
    EXPECT_EQ(Text("hexstr", {-1}), "$FFFFFFFF");
    EXPECT_EQ(Text("binstr", {4294967295.0}), std::string(32, '1'));
    EXPECT_EQ(Text("binstr", {5, 7}), "00000101");
}

TEST_F(StringCommands, PadNumRefusesNegativesAndZeroWidth) {
    EXPECT_EQ(Text("padnum", {42, 5}), "00042");
    EXPECT_EQ(Error("padnum", {-1, 5}), kErrWrongUsage);
    EXPECT_EQ(Error("padnum", {1, 0}), kErrWrongUsage);
}

TEST_F(StringCommands, StrStrDefaultsToTwoDigits) {
    EXPECT_EQ(Text("strstr", {3.14159}), "3.14");
    EXPECT_EQ(Text("strstr", {1.23456e-07}), "1.23e-07");
}

TEST_F(StringCommands, ValGivesValueAndCharactersUsed) {
    int results = 0;
    ASSERT_EQ(CallCommand(vm, "val", {"$10"}, &results), 0);
    ASSERT_EQ(results, 2);
    EXPECT_EQ(VMToNumber(vm, -2), 16);
    EXPECT_EQ(VMToNumber(vm, -1), 3);
    SetTop(vm, 0);
    EXPECT_EQ(Number("val", {"%101"}), 5);
    EXPECT_EQ(Number("val", {"0x1F"}), 31);
    EXPECT_EQ(Number("val", {"$ff"}), 255);
}

TEST_F(StringCommands, ValOfNonNumberGivesTwoZeros) {
    int results = 0;
    ASSERT_EQ(CallCommand(vm, "val", {"abc"}, &results), 0);
    ASSERT_EQ(results, 2);
    EXPECT_EQ(VMToNumber(vm, -2), 0);
    EXPECT_EQ(VMToNumber(vm, -1), 0);
}

TEST_F(StringCommands, ToNumberBases) {
    EXPECT_EQ(Number("tonumber", {"ff", 16}), 255);
    EXPECT_EQ(Number("tonumber", {"ffz", 16}), 0);
    EXPECT_EQ(Number("tonumber", {" 12.5 "}), 12.5);
    EXPECT_EQ(Number("tonumber", {"abc"}), 0);
    EXPECT_EQ(Error("tonumber", {"12", 1}), kErrWrongUsage);
    EXPECT_EQ(Error("tonumber", {"12", 37}), kErrWrongUsage);
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

TEST_F(StringCommands, StrToArrayEndsWithZeroEntry) {
    ASSERT_EQ(CallCommand(vm, "strtoarray", {"AB"}), 0);
    RawGetIndex(vm, -1, 0);
    RawGetIndex(vm, -2, 1);
    RawGetIndex(vm, -3, 2);
    RawGetIndex(vm, -4, 3);
    EXPECT_EQ(VMToNumber(vm, -4), 65);
    EXPECT_EQ(VMToNumber(vm, -3), 66);
    EXPECT_EQ(VMToNumber(vm, -2), 0);
    EXPECT_EQ(ValueType(vm, -1), TNIL);
}

} // namespace
