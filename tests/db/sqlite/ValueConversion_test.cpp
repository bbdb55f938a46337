#include "db/sqlite/ValueConversion.h"

#include <gtest/gtest.h>

namespace rilo::db::sqlite {
namespace {

TEST(ValueConversion, StoredDateTimesInEveryAcceptedShape) {
  EXPECT_EQ(ParseStoredDateTime("2025-03-09"), (CalendarDateTime{2025, 3, 9, 0, 0, 0, 0}));
  EXPECT_EQ(ParseStoredDateTime("2025-03-09 14:30"), (CalendarDateTime{2025, 3, 9, 14, 30, 0, 0}));
  EXPECT_EQ(ParseStoredDateTime("2025-03-09T14:30:05"),
            (CalendarDateTime{2025, 3, 9, 14, 30, 5, 0}));
  EXPECT_EQ(ParseStoredDateTime("2025-03-09 14:30:05.5"),
            (CalendarDateTime{2025, 3, 9, 14, 30, 5, 500}));
  EXPECT_EQ(ParseStoredDateTime("2025-03-09 14:30:05.1239"),
            (CalendarDateTime{2025, 3, 9, 14, 30, 5, 123}));
  EXPECT_EQ(ParseStoredDateTime("2024-02-29"), (CalendarDateTime{2024, 2, 29, 0, 0, 0, 0}));
}

TEST(ValueConversion, TextThatNamesNoRealDateTimeIsNoDateTime) {
  for (const char* text : {"2025-02-29", "2025-13-01", "2025-03-09 24:00", "2025-03-09 14:60",
                           "2025/03/09", "2025-03-09 14:30:05.", "2025-03-09x", "soon", ""}) {
    EXPECT_FALSE(ParseStoredDateTime(text)) << text;
  }
}

TEST(ValueConversion, DateTimesAreStoredAsSortableText) {
  EXPECT_EQ(StoredDateTimeText({2026, 3, 8, 9, 5, 7, 0}), "2026-03-08 09:05:07");
  EXPECT_EQ(StoredDateTimeText({2026, 3, 8, 9, 5, 7, 25}), "2026-03-08 09:05:07.025");
}

TEST(ValueConversion, DecimalTextIsTheShortestThatReadsBack) {
  EXPECT_EQ(ShortestDecimalText(1280.5), "1280.5");
  EXPECT_EQ(ShortestDecimalText(0.1), "0.1");
  EXPECT_EQ(ShortestDecimalText(300), "300");
  EXPECT_EQ(ShortestDecimalText(-0.0), "0");
  EXPECT_EQ(ShortestDecimalText(-12.34), "-12.34");
  EXPECT_EQ(ShortestDecimalText(1e20), "100000000000000000000");
}

TEST(ValueConversion, DeclaredTypesChooseTheValueKind) {
  EXPECT_EQ(ClassifyDeclaredType("DATETIME"), DeclaredKind::kDateTime);
  EXPECT_EQ(ClassifyDeclaredType("date"), DeclaredKind::kDateTime);
  EXPECT_EQ(ClassifyDeclaredType("smalldatetime"), DeclaredKind::kDateTime);
  EXPECT_EQ(ClassifyDeclaredType("DECIMAL(18,2)"), DeclaredKind::kDecimal);
  EXPECT_EQ(ClassifyDeclaredType("numeric"), DeclaredKind::kDecimal);
  EXPECT_EQ(ClassifyDeclaredType("money"), DeclaredKind::kDecimal);
  EXPECT_EQ(ClassifyDeclaredType("INTEGER"), DeclaredKind::kPlain);
  EXPECT_EQ(ClassifyDeclaredType(nullptr), DeclaredKind::kPlain);
}

}  // namespace
}  // namespace rilo::db::sqlite
