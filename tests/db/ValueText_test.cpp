#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "db/Value.h"

namespace rilo::db {
namespace {

TEST(ValueToText, NullIntegersAndText) {
  EXPECT_EQ(ValueToText(Null{}), "");
  EXPECT_EQ(ValueToText(std::int64_t{0}), "0");
  EXPECT_EQ(ValueToText(std::int64_t{-42}), "-42");
  EXPECT_EQ(ValueToText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
  EXPECT_EQ(ValueToText(std::string("\xE5\xBA\x97 1.50")), "\xE5\xBA\x97 1.50");
}

TEST(ValueToText, DecimalsLoseTrailingZeros) {
  EXPECT_EQ(ValueToText(Decimal{"1280.5000"}), "1280.5");
  EXPECT_EQ(ValueToText(Decimal{"156.0000"}), "156");
  EXPECT_EQ(ValueToText(Decimal{"-0.10"}), "-0.1");
  EXPECT_EQ(ValueToText(Decimal{"-0.0000"}), "0");
  EXPECT_EQ(ValueToText(Decimal{"+7."}), "7");
  EXPECT_EQ(ValueToText(Decimal{".50"}), "0.5");
  EXPECT_EQ(ValueToText(Decimal{"00120"}), "120");
  EXPECT_EQ(ValueToText(Decimal{"0E-4"}), "0");
  EXPECT_EQ(ValueToText(Decimal{"1.5E+3"}), "1500");
  EXPECT_EQ(ValueToText(Decimal{"25E-4"}), "0.0025");
  EXPECT_EQ(ValueToText(Decimal{"12345678901234567890123456789.0100"}),
            "12345678901234567890123456789.01");
  EXPECT_EQ(ValueToText(Decimal{"n/a"}), "n/a");
}

TEST(ValueToText, DoublesInFixedForm) {
  EXPECT_EQ(ValueToText(0.1 + 0.2), "0.3");
  EXPECT_EQ(ValueToText(1280.5), "1280.5");
  EXPECT_EQ(ValueToText(300.0), "300");
  EXPECT_EQ(ValueToText(-0.0), "0");
  EXPECT_EQ(ValueToText(-12.25), "-12.25");
  EXPECT_EQ(ValueToText(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(ValueToText(2.0 / 3), "0.666666666666667");
  EXPECT_EQ(ValueToText(0.0001), "0.0001");
  EXPECT_EQ(ValueToText(123456789012345.0), "123456789012345");
  EXPECT_EQ(ValueToText(100000000000000.0), "100000000000000");
}

TEST(ValueToText, DoublesInExponentForm) {
  EXPECT_EQ(ValueToText(0.00001), "1E-05");
  EXPECT_EQ(ValueToText(-2.5e-7), "-2.5E-07");
  EXPECT_EQ(ValueToText(1e15), "1E+15");
  EXPECT_EQ(ValueToText(999999999999999.9), "1E+15");
  EXPECT_EQ(ValueToText(1234567890123456.0), "1.23456789012346E+15");
  EXPECT_EQ(ValueToText(123456789012345678.0), "1.23456789012346E+17");
  EXPECT_EQ(ValueToText(1.5e300), "1.5E+300");
  EXPECT_EQ(ValueToText(5e-324), "4.94065645841247E-324");
}

TEST(ValueToText, DoublesThatAreNoNumbers) {
  EXPECT_EQ(ValueToText(std::nan("")), "NaN");
  EXPECT_EQ(ValueToText(std::numeric_limits<double>::infinity()), "Infinity");
  EXPECT_EQ(ValueToText(-std::numeric_limits<double>::infinity()), "-Infinity");
}

TEST(ValueToText, DateTimes) {
  EXPECT_EQ(ValueToText(CalendarDateTime{2024, 3, 5, 0, 0, 0, 0}), "2024-03-05");
  EXPECT_EQ(ValueToText(CalendarDateTime{2024, 3, 5, 9, 7, 0, 0}), "2024-03-05 09:07:00");
  EXPECT_EQ(ValueToText(CalendarDateTime{2024, 12, 31, 23, 59, 59, 0}), "2024-12-31 23:59:59");
  EXPECT_EQ(ValueToText(CalendarDateTime{2024, 1, 1, 0, 0, 0, 500}), "2024-01-01 00:00:00");
}

}  // namespace
}  // namespace rilo::db
