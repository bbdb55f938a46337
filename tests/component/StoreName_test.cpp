#include "component/StoreName.h"

#include <gtest/gtest.h>

#include "db/ModSQL.h"

namespace rilo::component {
namespace {

TEST(StoreName, TrimsSpacesAndIdeographicSpaces) {
  EXPECT_EQ(TrimStoreName(" \xE3\x80\x80 West  Store\xE3\x80\x80 "), "West  Store");
  EXPECT_EQ(TrimStoreName("\xE3\x80\x80"), "");
  EXPECT_EQ(TrimStoreName("\tA"), "\tA");
}

TEST(StoreName, BlankMeansOnlySpaces) {
  EXPECT_TRUE(db::IsBlank(""));
  EXPECT_TRUE(db::IsBlank("   "));
  EXPECT_FALSE(db::IsBlank(" x "));
  EXPECT_FALSE(db::IsBlank("\xE3\x80\x80"));
}

}  // namespace
}  // namespace rilo::component
