#include "db/odbc/Utf16.h"

#include <gtest/gtest.h>

#include "db/DbError.h"

namespace rilo::db::odbc {
namespace {

TEST(Utf16, RoundTripsChineseAndCharactersBeyondTheBmp) {
  const std::string text = "服务预约 A1 😀𠀀";
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, u"服务预约 A1 😀𠀀");
  EXPECT_EQ(wide.size(), 12u);  // two surrogate pairs
  EXPECT_EQ(Utf16ToUtf8(wide), text);
  EXPECT_EQ(Utf8ToUtf16(""), u"");
}

TEST(Utf16, MalformedUtf8IsRefused) {
  for (const char* bad : {"\x80", "a\xC0\xAF", "\xED\xA0\x80", "\xE4\xB8", "\xF4\x90\x80\x80",
                          "\xFF", "\xE4\x41\x80"}) {
    try {
      Utf8ToUtf16(bad);
      ADD_FAILURE() << "accepted a malformed sequence";
    } catch (const DbError& error) {
      EXPECT_EQ(error.kind(), DbError::Kind::kUsage);
    }
  }
}

TEST(Utf16, UnpairedSurrogatesFromADriverBecomeReplacementCharacters) {
  const std::u16string lone_high = {u'a', 0xD83D, u'b'};
  const std::u16string lone_low = {0xDE00};
  const std::u16string reversed = {0xDE00, 0xD83D};
  EXPECT_EQ(Utf16ToUtf8(lone_high),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(Utf16ToUtf8(lone_low), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf16ToUtf8(reversed), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace rilo::db::odbc
