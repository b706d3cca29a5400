#include <gtest/gtest.h>

#include "scene/display/display_record.h"
#include "scene/display/object_kinds.h"
#include "scene/images/bgpic.h"

namespace {

TEST(ObjectKinds, CollisionKindsPrintAsXAndKindZeroAsEmpty) {
    EXPECT_STREQ(ObjectKindName(46), "X");
    EXPECT_STREQ(ObjectKindName(47), "X");
    EXPECT_STREQ(ObjectKindName(48), "X");
    EXPECT_STREQ(ObjectKindName(0), "");
    EXPECT_STREQ(ObjectKindName(13), "BGPICPART");
    EXPECT_STREQ(ObjectKindName(49), "VECTORPATH");
}

TEST(ObjectKinds, KindsOutsideTheTableHaveNoName) {
    EXPECT_STREQ(ObjectKindName(50), "");
    EXPECT_STREQ(ObjectKindName(-1), "");
    EXPECT_FALSE(IsValidObjectKind(50));
}

TEST(ObjectKinds, ShapeAndMaskShareOneNumber) {
    EXPECT_EQ(ObjectKindShape, 28);
    EXPECT_EQ(ObjectKindMask, 28);
    EXPECT_STREQ(ObjectKindName(ObjectKindShape), "MASK");
}

TEST(ObjectKinds, LayerGroupsHoldExactlyTheirKinds) {
    EXPECT_TRUE(IsShapeLayerKind(ObjectKindArc));
    EXPECT_FALSE(IsShapeLayerKind(ObjectKindPlot));
    EXPECT_TRUE(IsImageLayerKind(ObjectKindBGPicPart));
    EXPECT_TRUE(IsTextLayerKind(ObjectKindPrint));
}

TEST(ObjectKinds, BrushReferrersIncludeBrushParts) {
    EXPECT_EQ(AlternativeReferrerKind(ObjectKindBrush), ObjectKindBrushPart);
    EXPECT_EQ(AlternativeReferrerKind(ObjectKindBGPicPart), 0);
}

TEST(SelectedOutputRefusal, BrushTargetRefusedAsBrushUnlessAnAnimIsBehindIt) {
    EXPECT_EQ(CheckSelectedOutput(ObjectKindBrush, ObjectKindBrush, 0), 1082);
    EXPECT_EQ(CheckSelectedOutput(ObjectKindBrush, ObjectKindBGPic, 0), 1082);
    EXPECT_EQ(CheckSelectedOutput(ObjectKindBrush, ObjectKindAnim, 0), 1339);
}

TEST(SelectedOutputRefusal, MaskAndAlphaChannelHaveTheirOwnErrors) {
    EXPECT_EQ(CheckSelectedOutput(ObjectKindMask, 0, 0), 1147);
    EXPECT_EQ(CheckSelectedOutput(ObjectKindAlphaChannel, 0, 0), 1167);
}

TEST(SelectedOutputRefusal, DisplayOutputPassesAndPictureOnlyWhenAsked) {
    EXPECT_EQ(CheckSelectedOutput(ObjectKindDisplay, 0, 1), 0);
    EXPECT_EQ(CheckSelectedOutput(ObjectKindBGPic, 0, 0), 0);
    EXPECT_EQ(CheckSelectedOutput(ObjectKindBGPic, 0, 1), 1056);
}

TEST(SelectedOutputRefusal, ReadsTheDisplaysSelectRecord) {
    DisplayRecord display;
    OutputRecord output;
    output.outputSourceKind = ObjectKindAnim;
    display.selectOutput = &output;
    display.outputKind = ObjectKindBrush;
    EXPECT_EQ(RefuseSelectedOutput(&display, 0), 1339);
    display.selectOutput = nullptr;
    EXPECT_EQ(RefuseSelectedOutput(nullptr, 1), 0);
}

} // namespace
