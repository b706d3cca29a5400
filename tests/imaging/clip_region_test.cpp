#include <gtest/gtest.h>

#include <cmath>

#include "imaging/clip_region.h"
#include "runtime/app/errors.h"

namespace {

ClipRegion *Region(int32_t number, int32_t x, int32_t y, int32_t w, int32_t h) {
    auto *r = new ClipRegion;
    r->id.number = number;
    r->x = x;
    r->y = y;
    r->width = w;
    r->height = h;
    return r;
}

class ClipRegions : public ::testing::Test {
  protected:
    void TearDown() override { FreeAllClipRegions(); }
};

TEST_F(ClipRegions, FoundByIdUntilFreed) {
    ClipRegionList.Add(Region(1, 0, 0, 4, 4), ObjectId{1, nullptr});
    ClipRegion *r;
    ASSERT_EQ(FindClipRegion(ObjectId{1, nullptr}, nullptr, 0, &r), 0);
    EXPECT_EQ(r->width, 4);
    EXPECT_EQ(FindClipRegion(ObjectId{2, nullptr}, nullptr, 0, &r), kErrClipRegionNotFound);
    EXPECT_EQ(FreeClipRegionById(ObjectId{1, nullptr}), 0);
    EXPECT_EQ(FindClipRegion(ObjectId{1, nullptr}, nullptr, 0, &r), kErrClipRegionNotFound);
}

TEST_F(ClipRegions, FreeWaitsForTheLayersThatUseIt) {
    ClipRegion *used = Region(1, 0, 0, 4, 4);
    used->useCount = 1;
    ClipRegionList.Add(used, used->id);
    EXPECT_EQ(FreeClipRegionById(ObjectId{1, nullptr}), 0);
    EXPECT_TRUE(used->freePending);
    FlushPendingFrees(); // still used: stays
    EXPECT_TRUE(used->freePending);
    used->useCount = 0;
    FlushPendingFrees(); // ASan reports a leak if this does not free it
}

TEST_F(ClipRegions, ContainsFollowsRectangleAndShape) {
    ClipRegion r;
    r.x = 10;
    r.y = 10;
    r.width = 8;
    r.height = 2;
    EXPECT_TRUE(ClipRegionContains(&r, 17, 11));
    EXPECT_FALSE(ClipRegionContains(&r, 18, 11));
    r.mask = AllocMaskPlane(nullptr, 8, 2, true);
    r.mask->bits[0] = 0x01; // only (17, 10)
    EXPECT_TRUE(ClipRegionContains(&r, 17, 10));
    EXPECT_FALSE(ClipRegionContains(&r, 10, 10));
    FreeMaskPlane(r.mask);
}

TEST_F(ClipRegions, QuarterTurnSwapsTheRectangleAboutItsCentre) {
    ClipRegion r;
    r.x = 10;
    r.y = 20;
    r.width = 40;
    r.height = 20;
    const double m[4] = {std::cos(M_PI / 2), std::sin(M_PI / 2), -std::sin(M_PI / 2), std::cos(M_PI / 2)};
    ClipRegion *t = TransformClipRegion(&r, m, nullptr, 1, 0, 0.5, 0.5, 1000, 1000);
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->owned);
    EXPECT_EQ(t->x, 20);
    EXPECT_EQ(t->y, 10);
    EXPECT_EQ(t->width, 20);
    EXPECT_EQ(t->height, 40);
    EXPECT_TRUE(ClipRegionContains(t, 30, 30));
    EXPECT_TRUE(ClipRegionContains(t, 20, 10));
    FreeClipRegionMask(t);
    EXPECT_EQ(t->mask, nullptr);
    delete t;
}

} // namespace
