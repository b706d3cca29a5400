#include <gtest/gtest.h>

#include <cstring>

#include "runtime/app/errors.h"
#include "runtime/app/hooks.h"
#include "tests/runtime/app/vm_harness.h"

namespace {

using vmtest::Nil;
using vmtest::RunCommand;

struct Readers : ::testing::Test {
    vmtest::Vm vm;
    void TearDown() override {
        LinkedFileHook = nullptr;
        LayerPositionHook = nullptr;
    }
    // The number the body pushed as its one result.
    double Result() { return VMToNumber(vm, -1); }
};

// ---- CheckArgs --------------------------------------------------------------------------------------------------
TEST_F(Readers, NoArgumentsAllowedRefusesOne) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { CheckArgs(v, 0, 0); return 0; }, {1.0}), 1193);
}

TEST_F(Readers, TooFewArgumentsRaise1014) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { CheckArgs(v, 2, 0); return 0; }, {1.0}), 1014);
}

TEST_F(Readers, ZeroMaximumMeansNoUpperLimit) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { CheckArgs(v, 2, 0); return 0; },
                         {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0}),
              0);
}

TEST_F(Readers, MoreThanMaximumRaise1193) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { CheckArgs(v, 1, 2); return 0; }, {1.0, 2.0, 3.0}), 1193);
}

// ---- Numbers ----------------------------------------------------------------------------------------------------
TEST_F(Readers, NumberArgCountsNilAsZeroAndConvertsStrings) {
    auto body = [](VMState *v) {
        PushNumber(v, CheckNumberArg(v, 1) + CheckNumberArg(v, 2));
        return 1;
    };
    ASSERT_EQ(RunCommand(vm, body, {Nil{}, std::string("12.5")}), 0);
    EXPECT_EQ(Result(), 12.5);
}

TEST_F(Readers, NumberArgRefusesTextAndNamesArgument) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { CheckNumberArg(v, 2); return 0; }, {1.0, std::string("abc")}), 1138);
    EXPECT_EQ(GetErrorText(1138), "Number expected in argument 2!");
}

TEST_F(Readers, NumberArgRefusesAbsentArgument) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { CheckNumberArg(v, 1); return 0; }), 1138);
}

TEST_F(Readers, OptNumberGivesDefaultOnlyWhenAbsent) {
    auto body = [](VMState *v) {
        PushNumber(v, OptNumberArg(v, 1, 42));
        return 1;
    };
    ASSERT_EQ(RunCommand(vm, body), 0);
    EXPECT_EQ(Result(), 42);
    EXPECT_EQ(RunCommand(vm, body, {Nil{}}), 1138);
}

TEST_F(Readers, UnsignedArgCoversColourRange) {
    uint32_t got = 0;
    auto body = [&got](VMState *v) {
        got = CheckUnsignedArg(v, 1);
        return 0;
    };
    RunCommand(vm, body, {-1.0});
    EXPECT_EQ(got, 0xFFFFFFFFu);
    RunCommand(vm, body, {3e9});
    EXPECT_EQ(got, 3000000000u);
    RunCommand(vm, body, {5e9});
    EXPECT_EQ(got, 0xFFFFFFFFu);
    RunCommand(vm, body, {255.9});
    EXPECT_EQ(got, 255u);
    EXPECT_EQ(RunCommand(vm, body, {std::string("red")}), 1138);
}

TEST_F(Readers, OptUnsignedGivesDefaultWhenAbsent) {
    uint32_t got = 0;
    ASSERT_EQ(RunCommand(vm, [&got](VMState *v) { got = OptUnsignedArg(v, 1, 0xFF00FF); return 0; }), 0);
    EXPECT_EQ(got, 0xFF00FFu);
}

// ---- Percentages ------------------------------------------------------------------------------------------------
TEST_F(Readers, PercentOfBase) {
    auto body = [](VMState *v) {
        PushNumber(v, ReadNumberOrPercent(v, 1, 640, 0));
        return 1;
    };
    ASSERT_EQ(RunCommand(vm, body, {std::string("50%")}), 0);
    EXPECT_EQ(Result(), 320);
    ASSERT_EQ(RunCommand(vm, body, {17.0}), 0);
    EXPECT_EQ(Result(), 17);
    ASSERT_EQ(RunCommand(vm, body, {std::string("33")}), 0);
    EXPECT_EQ(Result(), 33);
}

TEST_F(Readers, PercentWithBaseZeroGivesFractionAndFlag) {
    int flag = 0;
    double got = 0;
    ASSERT_EQ(RunCommand(vm, [&](VMState *v) { got = ReadNumberOrPercent(v, 1, 0, 0, &flag); return 0; },
                         {std::string("25%")}),
              0);
    EXPECT_EQ(got, 0.25);
    EXPECT_EQ(flag, 1);
}

TEST_F(Readers, BadPercentRaise1184) {
    auto body = [](VMState *v) { ReadNumberOrPercent(v, 1, 640, 0); return 0; };
    EXPECT_EQ(RunCommand(vm, body, {std::string("-5%")}), 1184);
    EXPECT_EQ(RunCommand(vm, body, {std::string("150%")}), 1184);
    EXPECT_EQ(RunCommand(vm, body, {std::string("x%")}), 1184);
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { ReadNumberOrPercent(v, 1, 640, 1); return 0; },
                         {std::string("150%")}),
              0);
}

TEST_F(Readers, PercentOfOtherTypeRaise1183) {
    auto body = [](VMState *v) {
        NewTable(v);
        InsertValue(v, 1);
        ReadNumberOrPercent(v, 1, 640, 0);
        return 0;
    };
    EXPECT_EQ(RunCommand(vm, body), 1183);
}

// ---- Strings, tables, functions ---------------------------------------------------------------------------------
TEST_F(Readers, StringArgKeepsZeroBytes) {
    size_t length = 0;
    std::string got;
    ASSERT_EQ(RunCommand(vm, [&](VMState *v) {
                  const char *s = CheckStringArg(v, 1, &length);
                  got.assign(s, length);
                  return 0;
              },
                         {std::string("a\0b", 3)}),
              0);
    EXPECT_EQ(got, std::string("a\0b", 3));
}

TEST_F(Readers, StringArgRefusesNil) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { CheckStringArg(v, 1); return 0; }, {Nil{}}), 1139);
}

TEST_F(Readers, OptStringGivesDefaultWhenAbsent) {
    const char *got = nullptr;
    RunCommand(vm, [&](VMState *v) { got = OptStringArg(v, 1, "dflt"); return 0; });
    EXPECT_STREQ(got, "dflt");
}

TEST_F(Readers, TableAndFunctionChecks) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { CheckTableArg(v, 1); return 0; }, {1.0}), 1140);
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { CheckFunctionArg(v, 1); return 0; }, {1.0}), 1185);
}

// ---- Object ids ---------------------------------------------------------------------------------------------------
TEST_F(Readers, ObjectIdFromNumberOrHandle) {
    ObjectId id;
    int marker = 0;
    RunCommand(vm, [&](VMState *v) { ReadObjectId(&id, v, 1); return 0; }, {7.9});
    EXPECT_EQ(id.number, 7);
    EXPECT_EQ(id.handle, nullptr);
    RunCommand(vm, [&](VMState *v) { ReadObjectId(&id, v, 1); return 0; }, {static_cast<void *>(&marker)});
    EXPECT_EQ(id.number, 0);
    EXPECT_EQ(id.handle, &marker);
}

TEST_F(Readers, NilOrAbsentIdAsksForAutomaticHandle) {
    ObjectId id;
    RunCommand(vm, [&](VMState *v) { OptIntegerArg(&id, v, 1); return 0; }, {Nil{}});
    EXPECT_TRUE(IsAutoHandleRequest(id));
    id = ObjectId{};
    RunCommand(vm, [&](VMState *v) { OptIntegerArg(&id, v, 1); return 0; });
    EXPECT_TRUE(IsAutoHandleRequest(id));
    RunCommand(vm, [&](VMState *v) { OptIntegerArg(&id, v, 1); return 0; }, {3.0});
    EXPECT_EQ(id.number, 3);
    EXPECT_FALSE(IsAutoHandleRequest(id));
}

// ---- Option tables ------------------------------------------------------------------------------------------------
// Pushes {x = 10, name = "ball", colour = -1, m = {1, 2, 3}} as argument 1.
void PushOptions(VMState *v) {
    NewTable(v);
    SetTableNumber(v, "x", 10);
    SetTableString(v, "name", "ball");
    SetTableNumber(v, "colour", -1);
    SetTableString(v, "scale", "50%");
    NewTable(v);
    for (int i = 0; i < 3; i++) {
        PushNumber(v, i + 1);
        RawSetIndex(v, -2, i);
    }
    SetField(v, -2, "m");
    InsertValue(v, 1);
}

TEST_F(Readers, OptionPresentAndAbsent) {
    int32_t x = -5, y = -5;
    int given = 0, givenY = 0;
    int present = -1, absent = -1;
    ASSERT_EQ(RunCommand(vm, [&](VMState *v) {
                  PushOptions(v);
                  present = GetTableOption(v, 1, "x", &x, &given);
                  absent = GetTableOption(v, 1, "y", &y, &givenY);
                  return 0;
              }),
              0);
    EXPECT_EQ(present, 1);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(given, 1);
    EXPECT_EQ(absent, 0);
    EXPECT_EQ(y, -5);
    EXPECT_EQ(givenY, 0);
}

TEST_F(Readers, OptionOfWrongTypeNamesKey) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) {
                  PushOptions(v);
                  int32_t n;
                  GetTableOption(v, 1, "name", &n);
                  return 0;
              }),
              1189);
    EXPECT_EQ(GetErrorText(1189), "Number expected in table argument \"name\"!");
}

TEST_F(Readers, OptionStringCopyIsBounded) {
    char buffer[4];
    memset(buffer, 'z', sizeof buffer);
    ASSERT_EQ(RunCommand(vm, [&](VMState *v) {
                  PushOptions(v);
                  GetTableOptionString(v, 1, "name", buffer, sizeof buffer);
                  return 0;
              }),
              0);
    EXPECT_STREQ(buffer, "bal");
}

TEST_F(Readers, OptionUnsignedAndPercent) {
    uint32_t colour = 0;
    double scale = 0;
    ASSERT_EQ(RunCommand(vm, [&](VMState *v) {
                  PushOptions(v);
                  GetTableOptionUnsigned(v, 1, "colour", &colour);
                  GetTableOptionPercent(v, 1, "scale", 200, &scale);
                  return 0;
              }),
              0);
    EXPECT_EQ(colour, 0xFFFFFFFFu);
    EXPECT_EQ(scale, 100);
}

TEST_F(Readers, StringFieldOfWrongTypeNamesKey) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) {
                  PushOptions(v);
                  char buffer[8];
                  GetTableOptionString(v, 1, "m", buffer, sizeof buffer);
                  return 0;
              }),
              1247);
    EXPECT_EQ(GetErrorText(1247), "String expected in table argument \"m\"!");
}

TEST_F(Readers, OptionObjectIdFromNumberOrHandle) {
    int marker = 0;
    ObjectId byNumber, byHandle;
    ASSERT_EQ(RunCommand(vm, [&](VMState *v) {
                  PushOptions(v);
                  PushHandle(v, &marker);
                  SetField(v, 1, "brush");
                  GetTableOptionObjectId(v, 1, "x", &byNumber);
                  GetTableOptionObjectId(v, 1, "brush", &byHandle);
                  return 0;
              }),
              0);
    EXPECT_EQ(byNumber.number, 10);
    EXPECT_EQ(byNumber.handle, nullptr);
    EXPECT_EQ(byHandle.number, 0);
    EXPECT_EQ(byHandle.handle, &marker);
}

TEST_F(Readers, OptionFileNameMapsLinkedFiles) {
    LinkedFileHook = [](VMState *, const char *name, int, std::string *chunk) {
        *chunk = std::string(":::chunk0:1*") + name + "/applet";
        return 1;
    };
    std::string got;
    ASSERT_EQ(RunCommand(vm, [&](VMState *v) {
                  PushOptions(v);
                  GetTableOptionFileName(v, 1, "name", &got, 0);
                  return 0;
              }),
              0);
    EXPECT_EQ(got, ":::chunk0:1*ball/applet");
}

TEST_F(Readers, MatrixWithThreeElementsRaise1014) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) {
                  PushOptions(v);
                  double m[4];
                  GetTableOptionMatrix(v, 1, "m", m);
                  return 0;
              }),
              1014);
}

TEST_F(Readers, MatrixOfFourNumbers) {
    double m[4] = {};
    ASSERT_EQ(RunCommand(vm, [&](VMState *v) {
                  PushOptions(v);
                  GetField(v, 1, "m");
                  PushNumber(v, 4);
                  RawSetIndex(v, -2, 3);
                  SetTop(v, -2);
                  GetTableOptionMatrix(v, 1, "m", m);
                  return 0;
              }),
              0);
    EXPECT_EQ(m[0], 1);
    EXPECT_EQ(m[3], 4);
}

TEST_F(Readers, MatrixThatIsNotTableRaise1140) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) {
                  PushOptions(v);
                  double m[4];
                  GetTableOptionMatrix(v, 1, "x", m);
                  return 0;
              }),
              1140);
}

TEST_F(Readers, LayerNameWithoutLayersRaise1369) {
    EXPECT_EQ(RunCommand(vm, [](VMState *v) {
                  PushOptions(v);
                  int32_t pos;
                  GetTableOptionLayerPos(v, 1, "name", &pos);
                  return 0;
              }),
              1369);
    EXPECT_EQ(GetErrorText(1369), "Cannot find layer \"ball\" in current BGPic!");
}

int BallIsLayerThree(VMState *, const char *name, int32_t *pos) {
    if (strcmp(name, "ball") != 0) return 1369;
    *pos = 3;
    return 0;
}

TEST_F(Readers, LayerNameThroughHook) {
    LayerPositionHook = BallIsLayerThree;
    int32_t pos = 0;
    ASSERT_EQ(RunCommand(vm, [&](VMState *v) {
                  PushOptions(v);
                  GetTableOptionLayerPos(v, 1, "name", &pos);
                  return 0;
              }),
              0);
    EXPECT_EQ(pos, 3);
}

TEST_F(Readers, XYOptionsOnlyFromLastTableArgument) {
    int32_t x = 0, y = 0;
    RunCommand(vm, [&](VMState *v) {
        PushOptions(v);
        ReadXYOptions(v, 1, &x, &y);
        return 0;
    });
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, kNoPosition);
    RunCommand(vm, [&](VMState *v) {
        PushOptions(v);
        ReadXYOptions(v, 1, &x, &y);
        return 0;
    }, {1.0});
    EXPECT_EQ(x, kNoPosition);
}

int LinkPicture(VMState *, const char *name, int, std::string *chunk) {
    if (strcmp(name, "pic.png") != 0) return 0;
    *chunk = ":::chunk100:20*pic.png/applet";
    return 1;
}

TEST_F(Readers, FileNameArgMapsLinkedFiles) {
    LinkedFileHook = LinkPicture;
    std::string got;
    int linked = -1;
    RunCommand(vm, [&](VMState *v) { got = CheckFileNameArg(v, 1, 0, &linked); return 0; }, {std::string("pic.png")});
    EXPECT_EQ(got, ":::chunk100:20*pic.png/applet");
    EXPECT_EQ(linked, 1);
    RunCommand(vm, [&](VMState *v) { got = CheckFileNameArg(v, 1, 0, &linked); return 0; }, {std::string("other.png")});
    EXPECT_EQ(got, "other.png");
    EXPECT_EQ(linked, 0);
}

// ---- Callback results ---------------------------------------------------------------------------------------------
TEST_F(Readers, CallbackResultConversions) {
    int stringError = -1, numberError = -1;
    RunCommand(vm, [&](VMState *v) {
        ToStringResult(v, 1, nullptr, &stringError);
        ToNumberResult(v, 1, &numberError);
        return 0;
    }, {Nil{}});
    EXPECT_EQ(stringError, 1259);
    EXPECT_EQ(numberError, 1190);
    RunCommand(vm, [&](VMState *v) {
        ToStringResult(v, 1, nullptr, &stringError);
        ToNumberResult(v, 1, &numberError);
        return 0;
    }, {5.0});
    EXPECT_EQ(stringError, 0);
    EXPECT_EQ(numberError, 0);
}

// ---- Error policy at the command boundary -------------------------------------------------------------------------
TEST_F(Readers, CommandErrorIsRecordedWithExitOnErrorOff) {
    ExitOnErrorSwitch = 0;
    int top = GetTop(vm);
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { PushNumber(v, 1); return 1179; }), 0);
    EXPECT_EQ(LastErrorCode, 1179);
    EXPECT_EQ(GetTop(vm), top); // no results
}

TEST_F(Readers, ReaderErrorFollowsTheSamePolicy) {
    ExitOnErrorSwitch = 0;
    EXPECT_EQ(RunCommand(vm, [](VMState *v) { CheckArgs(v, 1, 1); return 0; }), 0);
    EXPECT_EQ(LastErrorCode, 1014);
}

} // namespace
