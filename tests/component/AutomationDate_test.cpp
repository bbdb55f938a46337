#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "rilo/automation.h"

namespace rilo {
namespace {

CalendarDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return CalendarDateTime{y, mo, d, h, mi, s, ms};
}

TEST(AutomationDate, CountsDaysFromTheEpochWithTheTimeAsFraction) {
  EXPECT_EQ(ToAutomationDate(At(1899, 12, 30)), 0.0);
  EXPECT_EQ(ToAutomationDate(At(1900, 1, 1)), 2.0);
  EXPECT_EQ(ToAutomationDate(At(2026, 3, 8)), 46089.0);
  EXPECT_EQ(ToAutomationDate(At(2026, 3, 8, 18)), 46089.75);
  EXPECT_EQ(ToAutomationDate(At(100, 1, 1)), -657434.0);
  EXPECT_EQ(ToAutomationDate(At(9999, 12, 31)), 2958465.0);
}

TEST(AutomationDate, BeforeTheEpochTheFractionStillCountsForwards) {
  EXPECT_EQ(ToAutomationDate(At(1899, 12, 29, 6)), -1.25);
  EXPECT_EQ(ToCalendarDateTime(-1.25), At(1899, 12, 29, 6));
  EXPECT_EQ(ToCalendarDateTime(-1.0), At(1899, 12, 29));
  EXPECT_EQ(ToCalendarDateTime(-0.5), At(1899, 12, 30, 12)) << "same moment as 0.5";
  EXPECT_EQ(ToCalendarDateTime(0.5), At(1899, 12, 30, 12));
  EXPECT_EQ(ToCalendarDateTime(-2.75), At(1899, 12, 28, 18));
}

TEST(AutomationDate, RoundTripsToTheMillisecond) {
  for (const auto& t : {At(2026, 3, 8, 9, 30, 15, 250), At(2024, 2, 29, 23, 59, 59, 999),
                        At(1899, 12, 1, 1, 2, 3, 4), At(1600, 3, 1), At(9999, 12, 31, 23, 59)}) {
    EXPECT_EQ(ToCalendarDateTime(ToAutomationDate(t)), t);
  }
}

TEST(AutomationDate, RoundingUpToMidnightCarriesIntoTheNextDay) {
  EXPECT_EQ(ToCalendarDateTime(46089.9999999999), At(2026, 3, 9));
  EXPECT_EQ(ToCalendarDateTime(-1.9999999999), At(1899, 12, 30));
}

TEST(AutomationDate, ValuesOutsideTheRangeAreClampedNotUndefined) {
  EXPECT_EQ(ToCalendarDateTime(std::numeric_limits<double>::quiet_NaN()), At(1899, 12, 30));
  EXPECT_EQ(ToCalendarDateTime(1e300).year, 9999);
  EXPECT_EQ(ToCalendarDateTime(-std::numeric_limits<double>::infinity()).year, 100);
  EXPECT_EQ(FormatDate(std::numeric_limits<double>::infinity()), "9999-12-31");
}

TEST(AutomationDate, ParsesTheThreeShapes) {
  EXPECT_EQ(ParseAutomationDate("2026-03-08"), 46089.0);
  EXPECT_EQ(ParseAutomationDate("2026-03-08 18:00"), 46089.75);
  EXPECT_EQ(ParseAutomationDate("2026-03-08 06:00:00"), 46089.25);
  EXPECT_EQ(ParseAutomationDate("2024-02-29"), ToAutomationDate(At(2024, 2, 29)));
  EXPECT_EQ(ParseAutomationDate("1899-12-29 06:00"), -1.25);
}

TEST(AutomationDate, RejectsOtherShapesAndImpossibleDates) {
  for (const char* text : {"",
                           "2026-3-8",
                           "2026/03/08",
                           "2026-03-08T10:00",
                           "2026-03-08 10",
                           "2026-03-08 10:00:",
                           "2026-03-08 ",
                           " 2026-03-08",
                           "2026-03-08x",
                           "+026-03-08",
                           "2026-03-0a",
                           "2026-02-29",
                           "2025-02-29",
                           "1900-02-29",
                           "2026-04-31",
                           "2026-13-01",
                           "2026-00-10",
                           "2026-01-00",
                           "2026-03-08 24:00",
                           "2026-03-08 23:60",
                           "2026-03-08 23:59:60",
                           "0099-12-31"}) {
    EXPECT_FALSE(ParseAutomationDate(text).has_value()) << text;
  }
  EXPECT_TRUE(ParseAutomationDate("2000-02-29").has_value());
}

TEST(AutomationDate, FormatsDateAndMinutes) {
  EXPECT_EQ(FormatDate(46089.75), "2026-03-08");
  EXPECT_EQ(FormatDate(-1.25), "1899-12-29");
  EXPECT_EQ(FormatDate(0), "1899-12-30");
  EXPECT_EQ(FormatDateMinutes(At(2026, 3, 8, 9, 5, 59)), "2026-03-08 09:05");
  EXPECT_EQ(FormatDateMinutes(ToCalendarDateTime(*ParseAutomationDate("2026-12-31 23:59"))),
            "2026-12-31 23:59");
}

}  // namespace
}  // namespace rilo
