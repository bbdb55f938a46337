#include "db/SqlText.h"

#include <gtest/gtest.h>

namespace rilo::db {
namespace {

TEST(SqlText, EscapesByDoublingTheQuote) {
  EXPECT_EQ(EscapeLiteral("Men's 'care'"), "Men''s ''care''");
  EXPECT_EQ(EscapeLiteral("say \"hi\""), "say \"hi\"");
  EXPECT_EQ(EscapeQuotedIdentifier("a\"b\"\""), "a\"\"b\"\"\"\"");
  EXPECT_EQ(EscapeQuotedIdentifier("it's"), "it's");
}

TEST(SqlText, PlainIdentifiers) {
  for (const char* name : {"ID", "_x1", "\xE6\x9C\x8D\xE5\x8A\xA1\xE7\xB1\xBB\xE5\x88\xAB",
                           "\xE5\x95\x86\xE5\x93\x81_2", "Caf\xC3\xA9"}) {
    EXPECT_TRUE(IsPlainIdentifier(name)) << name;
  }
}

TEST(SqlText, NotPlainIdentifiers) {
  for (const char* name :
       {"", "1abc", "a b", "a'b", "a\"b", "[a]", "a.b", "a;b", "a-b", "a|b", "a\tb",
        "\xEF\xBD\x9C",                     // fullwidth bar
        "\xE2\x80\x96",                     // double vertical line
        "\xE3\x80\x80x",                    // ideographic space
        "\xEF\xBC\x88x",                    // fullwidth parenthesis
        "\xC3\x97", "\xFF", "\xE5\xBA"}) {  // multiplication sign, broken UTF-8
    EXPECT_FALSE(IsPlainIdentifier(name)) << name;
  }
}

}  // namespace
}  // namespace rilo::db
