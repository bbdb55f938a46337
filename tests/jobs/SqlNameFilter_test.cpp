#include <gtest/gtest.h>

#include <string>

#include "jobs/SqlNameFilter.h"

namespace rilo::jobs {
namespace {

TEST(SqlNameFilter, BlankTextGivesEmpty) {
  EXPECT_EQ(SqlNameFilter(""), "");
  EXPECT_EQ(SqlNameFilter("   "), "");
}

TEST(SqlNameFilter, RemovesTheNinePatterns) {
  EXPECT_EQ(SqlNameFilter("Nails/Hands"), "NailsHands");
  EXPECT_EQ(SqlNameFilter("Men's care; deluxe"), "Mens care deluxe");
  EXPECT_EQ(SqlNameFilter("a|b\xEF\xBD\x9C"
                          "c\xE2\x80\x96"
                          "d<e>f"),
            "abcdef");
  EXPECT_EQ(SqlNameFilter("x1=1y"), "xy");
}

TEST(SqlNameFilter, RemovalsRunInOrderWithOneScanEach) {
  EXPECT_EQ(SqlNameFilter("1;=1"), "");       // the semicolon's removal forms "1=1"
  EXPECT_EQ(SqlNameFilter("1=<1"), "1=1");    // "<" goes after the "1=1" removal ran
  EXPECT_EQ(SqlNameFilter("11=1=1"), "1=1");  // the closed-up text is not scanned again
}

TEST(SqlNameFilter, BlankTestComesFirstAndNothingIsTrimmed) {
  EXPECT_EQ(SqlNameFilter(" ' "), "  ");
  EXPECT_EQ(SqlNameFilter("  Facial  "), "  Facial  ");
}

TEST(SqlNameFilter, KeepsEverythingElse) {
  EXPECT_EQ(SqlNameFilter("say \"hi\""), "say \"hi\"");
  EXPECT_EQ(SqlNameFilter("a--b\\c[d]\te\nf"), "a--b\\c[d]\te\nf");
  EXPECT_EQ(SqlNameFilter("\xE7\xBE\x8E\xE5\xAE\xB9"), "\xE7\xBE\x8E\xE5\xAE\xB9");
  EXPECT_EQ(SqlNameFilter("\t"), "\t");  // only spaces make a text blank
}

TEST(SqlNameFilter, LeavesTheCallersTextAlone) {
  const std::string name = "a/b";
  EXPECT_EQ(SqlNameFilter(name), "ab");
  EXPECT_EQ(name, "a/b");
}

}  // namespace
}  // namespace rilo::jobs
