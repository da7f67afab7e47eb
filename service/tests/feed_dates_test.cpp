#include "model/feed_dates.h"

#include <gtest/gtest.h>

namespace {

LocalDateTime At(const char* iso) {
    const auto t = ReadIsoLocal(iso);
    EXPECT_TRUE(t.has_value()) << iso;
    return t.value_or(LocalDateTime{});
}

TEST(FeedDates, BuildDateSpelling) {
    EXPECT_EQ(FeedDateTime(At("2026-12-08T09:50"), "CET"), "Tue, 08 Dec 2026 9:50 am CET");
    EXPECT_EQ(FeedDateTime(At("2013-01-07T22:49"), "EST"), "Mon, 07 Jan 2013 10:49 pm EST");
    EXPECT_EQ(FeedDateTime(At("2026-12-08T09:50"), ""), "Tue, 08 Dec 2026 9:50 am");
}

TEST(FeedDates, TwelveHourClockAroundMidnightAndNoon) {
    EXPECT_EQ(FeedClock(At("2026-01-01T00:05")), "12:05 am");
    EXPECT_EQ(FeedClock(At("2026-01-01T11:59")), "11:59 am");
    EXPECT_EQ(FeedClock(At("2026-01-01T12:00")), "12:00 pm");
    EXPECT_EQ(FeedClock(At("2026-01-01T23:59")), "11:59 pm");
}

TEST(FeedDates, ForecastDateHasNoPadding) {
    EXPECT_EQ(FeedDate(At("2013-01-07")), "7 Jan 2013");
    EXPECT_EQ(FeedDate(At("2026-12-31")), "31 Dec 2026");
}

TEST(FeedDates, WeekdaysIncludingLeapDay) {
    EXPECT_EQ(WeekdayName(At("1970-01-01")), "Thu");
    EXPECT_EQ(WeekdayName(At("2024-02-29")), "Thu");
    EXPECT_EQ(WeekdayName(At("2000-03-01")), "Wed");
    EXPECT_EQ(WeekdayName(At("1969-12-31")), "Wed");
}

TEST(FeedDates, RejectsTextThatIsNotADate) {
    for (const char* bad : {"", "2026-13-01", "2026-02-30", "2023-02-29", "2026-12-8", "2026-12-08T24:00",
                            "2026-12-08T10:60", "2026-12-08 10:00", "2026-12-08T10:00:00", "abcd-ef-gh"}) {
        EXPECT_FALSE(ReadIsoLocal(bad).has_value()) << bad;
    }
}

TEST(FeedDates, UnixTimeWithOffsetsCrossesDayBoundaries) {
    const int64_t t = UnixFromLocal(At("2026-12-08T02:30"));
    EXPECT_EQ(IsoLocal(FromUnix(t, 0)), "2026-12-08T02:30");
    EXPECT_EQ(IsoLocal(FromUnix(t, -6 * 3600)), "2026-12-07T20:30");
    EXPECT_EQ(IsoLocal(FromUnix(t, 23 * 3600)), "2026-12-09T01:30");
    EXPECT_EQ(IsoLocal(FromUnix(-60, 0)), "1969-12-31T23:59");
}

TEST(FeedDates, AddDaysRollsMonthsAndYears) {
    EXPECT_EQ(IsoLocal(AddDays(At("2026-12-30T08:00"), 3)), "2027-01-02T08:00");
    EXPECT_EQ(IsoLocal(AddDays(At("2024-02-28T08:00"), 1)), "2024-02-29T08:00");
}

}  // namespace
