#include <gtest/gtest.h>

#include "runtime/app/attributes.h"
#include "runtime/app/runtime_globals.h"

namespace {

struct Attributes : ::testing::Test {
    void SetUp() override {
        ResetRuntimeGlobals();
        RemoveAttributeHooks();
    }
    void TearDown() override { RemoveAttributeHooks(); }
};

TEST_F(Attributes, RuntimeTagsStartWithDefaults) {
    EXPECT_EQ(GetAttributeNumber(nullptr, kAttrEventTimeout, -1), 1500);
    EXPECT_EQ(GetAttributeNumber(nullptr, kAttrQuietMode, -1), 0);
    EXPECT_EQ(GetAttributeNumber(nullptr, kAttrPreloadActive, -1), 0);
    EXPECT_EQ(GetAttributeNumber(nullptr, kAttrExitOnErrorCount, -1), 0);
    EXPECT_EQ(GetAttributeNumber(nullptr, kAttrExitOnError, -1), 1);
}

TEST_F(Attributes, ExitOnErrorCountNestsAndNeverGoesNegative) {
    SetAttributeNumber(nullptr, kAttrExitOnErrorCount, 1);
    SetAttributeNumber(nullptr, kAttrExitOnErrorCount, 1);
    EXPECT_EQ(ExitOnErrorCount, 2);
    SetAttributeNumber(nullptr, kAttrExitOnErrorCount, 0);
    SetAttributeNumber(nullptr, kAttrExitOnErrorCount, 0);
    SetAttributeNumber(nullptr, kAttrExitOnErrorCount, 0);
    EXPECT_EQ(ExitOnErrorCount, 0);
}

TEST_F(Attributes, SetsRuntimeSwitches) {
    SetAttributeNumber(nullptr, kAttrExitOnError, 0);
    EXPECT_EQ(ExitOnErrorSwitch, 0);
    SetAttributeNumber(nullptr, kAttrQuietMode, 1);
    EXPECT_EQ(QuietMode, 1);
    SetAttributeNumber(nullptr, kAttrEventTimeout, 250);
    EXPECT_EQ(EventTimeoutMs, 250);
}

int g_lastMaskMode = -1;
int GraphicsSetHook(VMState *, int tag, AttributeValue *value) {
    if (tag != kAttrMaskMode) return 0;
    g_lastMaskMode = static_cast<int>(value->numbers[0]);
    return 1;
}
int SoundGetHook(VMState *, int tag, AttributeValue *value) {
    if (tag == kAttrSamplePosition) {
        value->numbers[0] = value->id.number * 10;
        value->numbers[1] = 5;
        return 1;
    }
    if (tag == kAttrMusicFormat) {
        value->text = "Protracker";
        return 1;
    }
    return 0;
}

TEST_F(Attributes, UnansweredTagReportsZeroAndKeepsValue) {
    AttributeValue value;
    value.numbers[0] = 42;
    EXPECT_EQ(GetAttributeTags(nullptr, kAttrSampleType, &value), 0);
    EXPECT_EQ(value.numbers[0], 42);
    EXPECT_EQ(SetAttributeNumber(nullptr, kAttrMaskMode, 1), 0);
}

TEST_F(Attributes, HooksAnswerTheirTags) {
    AddSetAttributeHook(GraphicsSetHook);
    AddGetAttributeHook(SoundGetHook);
    EXPECT_EQ(SetAttributeNumber(nullptr, kAttrMaskMode, 2), 1);
    EXPECT_EQ(g_lastMaskMode, 2);
    AttributeValue value;
    value.id.number = 3;
    ASSERT_EQ(GetAttributeTags(nullptr, kAttrSamplePosition, &value), 1);
    EXPECT_EQ(value.numbers[0], 30);
    EXPECT_EQ(value.numbers[1], 5);
    ASSERT_EQ(GetAttributeTags(nullptr, kAttrMusicFormat, &value), 1);
    EXPECT_EQ(value.text, "Protracker");
}

TEST_F(Attributes, GetAndSetSpacesAreSeparate) {
    AddSetAttributeHook(GraphicsSetHook);
    AttributeValue value;
    EXPECT_EQ(GetAttributeTags(nullptr, kAttrMaskMode, &value), 0);
}

} // namespace
