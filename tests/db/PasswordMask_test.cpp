#include "db/PasswordMask.h"

#include <gtest/gtest.h>

#include <string_view>

namespace rilo::db {
namespace {

TEST(PasswordMask, HidesKnownPasswordsLongestFirstWhereverTheyStand) {
  const std::string_view known[] = {"ab", "abcd", ""};
  EXPECT_EQ(MaskPasswords("login abcd refused; ab again", known), "login *** refused; *** again");
}

TEST(PasswordMask, APasswordThatDoesNotEndCleanlyHidesAllThatFollows) {
  EXPECT_EQ(MaskPasswords("UID=u;PWD='ab'cd;Database=d"), "UID=u;***");
}

TEST(PasswordMask, BracesHideAsFarAsEitherReadingOfThemReaches) {
  EXPECT_EQ(MaskPasswords("PWD={;UID=u"), "PWD=***;UID=u");       // a plain "{"
  EXPECT_EQ(MaskPasswords("PWD={a;b}c;UID=u"), "PWD=***;UID=u");  // neither reading holds
}

TEST(PasswordMask, QuotedValuesOfOtherKeysArePassedOverWhole) {
  EXPECT_EQ(MaskPasswords("UID='x;PWD=y';PWD=z"), "UID='x;PWD=y';PWD=***");
  // A quote inside a plain value opens nothing.
  EXPECT_EQ(MaskPasswords("UID=a='b;PWD=s;c'"), "UID=a='b;PWD=***;c'");
}

}  // namespace
}  // namespace rilo::db
