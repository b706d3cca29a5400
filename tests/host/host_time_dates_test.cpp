#include "host/clock.h"
#include "host/time_date.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

class DatesTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char *tz = getenv("TZ");
        savedTz = tz ? tz : "";
        hadTz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (hadTz) setenv("TZ", savedTz.c_str(), 1);
        else unsetenv("TZ");
        tzset();
        RemoveVirtualClock();
    }
    std::string savedTz;
    bool hadTz = false;
};

TEST_F(DatesTest, StampAndFieldsConvertBothWays) {
    DateFields fields;
    fields.year = 2026;
    fields.month = 11; // December
    fields.day = 7;
    fields.hours = 4;
    fields.minutes = 52;
    fields.seconds = 37;
    DateStamp stamp;
    ASSERT_EQ(FieldsToDateStamp(&fields, &stamp), 1);
    DateFields back;
    ASSERT_EQ(DateStampToFields(&stamp, &back), 1);
    EXPECT_EQ(back.year, 2026);
    EXPECT_EQ(back.month, 11);
    EXPECT_EQ(back.day, 7);
    EXPECT_EQ(back.hours, 4);
    EXPECT_EQ(back.minutes, 52);
    EXPECT_EQ(back.seconds, 37);
}

TEST_F(DatesTest, EpochIsDayZeroOfNineteenSeventyEight) {
    DateStamp stamp{0, 0, 0};
    DateFields fields;
    ASSERT_EQ(DateStampToFields(&stamp, &fields), 1);
    EXPECT_EQ(fields.year, 1978);
    EXPECT_EQ(fields.month, 0);
    EXPECT_EQ(fields.day, 1);
    DateStamp leap;
    DateFields feb29{0, 0, 0, 29, 1, 2000};
    ASSERT_EQ(FieldsToDateStamp(&feb29, &leap), 1);
    EXPECT_EQ(leap.days, 8094); // 22 years of days plus 5 leap days before 2000-02-29 counted from 1978
}

TEST_F(DatesTest, ImpossibleDatesAreRejected) {
    DateStamp stamp{123, 4, 5};
    DateFields bad{0, 0, 0, 31, 1, 2024}; // 31 February
    EXPECT_EQ(FieldsToDateStamp(&bad, &stamp), 0);
    EXPECT_EQ(stamp.days, 123); // untouched
    DateFields notLeap{0, 0, 0, 29, 1, 1900 + 123};
    EXPECT_EQ(FieldsToDateStamp(&notLeap, &stamp), 0); // 2023 has no 29 February
    DateFields hour24{0, 0, 24, 1, 0, 2000};
    EXPECT_EQ(FieldsToDateStamp(&hour24, &stamp), 0);
    DateFields month12{0, 0, 0, 1, 12, 2000};
    EXPECT_EQ(FieldsToDateStamp(&month12, &stamp), 0);
    DateFields before{0, 0, 0, 31, 11, 1969};
    EXPECT_EQ(FieldsToDateStamp(&before, &stamp), 0);
    // Host files may predate 1978: such a stamp has negative days and reads back as it was.
    DateFields old{5, 4, 3, 2, 1, 1975};
    DateFields back;
    ASSERT_EQ(FieldsToDateStamp(&old, &stamp), 1);
    ASSERT_EQ(DateStampToFields(&stamp, &back), 1);
    EXPECT_EQ(back.year * 10000 + back.month * 100 + back.day, 19750102);
}

TEST_F(DatesTest, UnixTimeRoundTripsThroughAStamp) {
    time_t t = 1796618000; // a moment in 2026
    DateStamp stamp = UnixTimeToDateStamp(t);
    EXPECT_EQ(DateStampToUnixTime(&stamp), t);
}

TEST_F(DatesTest, FormatsTheVirtualNow) {
    InstallVirtualClock(int64_t(1796618000) * 1000000); // Monday 7 December 2026, 04:33:20 UTC
    char date[32], time[32];
    ASSERT_EQ(FormatCurrentDate(1, date, time), 0);
    EXPECT_STREQ(date, "12-07-26");
    EXPECT_STREQ(time, "04:33:20");
    ASSERT_EQ(FormatCurrentDate(0, date, nullptr), 0);
    EXPECT_STREQ(date, "07-Dec-26");
    ASSERT_EQ(FormatCurrentDate(3, date, nullptr), 0);
    EXPECT_STREQ(date, "Monday");
    AdvanceVirtualClock(int64_t(3600) * 1000000);
    ASSERT_EQ(FormatCurrentDate(2, date, nullptr), 0);
    EXPECT_STREQ(date, "05:33:20");
    EXPECT_EQ(FormatCurrentDate(9, date, nullptr), -1);
}

} // namespace
