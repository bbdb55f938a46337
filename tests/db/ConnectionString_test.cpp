#include "db/ConnectionString.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "db/DbError.h"
#include "db/ModSQL.h"
#include "db/PasswordMask.h"

namespace rilo::db {
namespace {

TEST(ConnectionString, ReadsKeywordsCaseInsensitivelyAndLastOneWins) {
  const auto cs = ConnectionString::Parse(" Data Source = srv ;UID=a;uid=b;;PWD=;");
  EXPECT_EQ(cs.Get("data source"), "srv");
  EXPECT_EQ(cs.Get("DATA SOURCE "), "srv");
  EXPECT_EQ(cs.Get("UID"), "b");
  EXPECT_EQ(cs.Get("pwd"), "");
  EXPECT_EQ(cs.Get("Database"), std::nullopt);
  ASSERT_EQ(cs.entries().size(), 4u);
  EXPECT_EQ(cs.entries()[0].first, "Data Source");
}

TEST(ConnectionString, ReadsQuotedValuesWithDoubledQuotes) {
  const auto cs = ConnectionString::Parse(
      "a=\"x;y=z\";b='it''s';c=\"say \"\"hi\"\"\" ;d='\"';e= \" blank \";f=a=b");
  EXPECT_EQ(cs.Get("a"), "x;y=z");
  EXPECT_EQ(cs.Get("b"), "it's");
  EXPECT_EQ(cs.Get("c"), "say \"hi\"");
  EXPECT_EQ(cs.Get("d"), "\"");
  EXPECT_EQ(cs.Get("e"), " blank ");
  EXPECT_EQ(cs.Get("f"), "a=b");
}

TEST(ConnectionString, RejectsTextItCannotRead) {
  for (const char* bad : {"PWD=\"open", "PWD='open;UID=x", "PWD=\"a\"b;UID=x", "UID=x;junk;"}) {
    try {
      ConnectionString::Parse(bad);
      ADD_FAILURE() << "accepted: " << bad;
    } catch (const DbError& e) {
      EXPECT_EQ(e.kind(), DbError::Kind::kUsage) << bad;
    }
  }
}

TEST(ConnectionString, QuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(QuoteConnectionValue("srv01"), "srv01");
  EXPECT_EQ(QuoteConnectionValue(""), "");
  EXPECT_EQ(QuoteConnectionValue("a b=c|d"), "a b=c|d");
  EXPECT_EQ(QuoteConnectionValue("a;b"), "\"a;b\"");
  EXPECT_EQ(QuoteConnectionValue("it's"), "\"it's\"");
  EXPECT_EQ(QuoteConnectionValue("say \"hi\""), "'say \"hi\"'");
  EXPECT_EQ(QuoteConnectionValue("'\""), "'''\"'");
  EXPECT_EQ(QuoteConnectionValue(" lead"), "\" lead\"");
  EXPECT_EQ(QuoteConnectionValue("trail "), "\"trail \"");
}

TEST(ConnectionString, RedactHidesPasswordsOnly) {
  EXPECT_EQ(MaskPasswords("Data Source=s;PWD=secret;Password = 'a;b' ;UID=u"),
            "Data Source=s;PWD=***;Password = *** ;UID=u");
  EXPECT_EQ(MaskPasswords("UID=u;PWD=\"never closed;x=1"), "UID=u;***");
}

// Values that try to break out of their place in the string.
std::string RandomValue(std::mt19937& rng) {
  static const std::vector<std::string> pieces = {";",
                                                  "'",
                                                  "\"",
                                                  "=",
                                                  " ",
                                                  "\t",
                                                  "a",
                                                  "Z",
                                                  "9",
                                                  "|",
                                                  "\xE5\xBA\x97",
                                                  "\xEF\xBD\x9C",
                                                  "''",
                                                  "\"\"",
                                                  ";Data Source=evil",
                                                  "x;PWD=",
                                                  "{",
                                                  "}",
                                                  "provider='x'"};
  std::uniform_int_distribution<std::size_t> length(0, 8);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string value;
  for (std::size_t n = length(rng); n > 0; --n) value += pieces[pick(rng)];
  return value;
}

TEST(ConnectionString, BuiltStringsReadBackExactlyWithoutExtraKeywords) {
  std::mt19937 rng(20240611);
  const std::set<std::string> keywords = {
      "provider", "Data Source",         "Database",      "UID",          "PWD",
      "pooling",  "connection lifetime", "max pool size", "Min Pool Size"};
  for (int round = 0; round < 3000; ++round) {
    DbSettings s;
    s.LocalServer = RandomValue(rng);
    s.LocalUser = RandomValue(rng);
    s.LocalPassword = RandomValue(rng);
    s.LocalDatabase = RandomValue(rng);
    const std::string text = LocalConnString(s);
    const auto cs = ConnectionString::Parse(text);
    ASSERT_EQ(cs.Get("Data Source"), s.LocalServer) << text;
    ASSERT_EQ(cs.Get("Database"), s.LocalDatabase) << text;
    ASSERT_EQ(cs.Get("UID"), s.LocalUser) << text;
    ASSERT_EQ(cs.Get("PWD"), s.LocalPassword) << text;
    ASSERT_EQ(cs.Get("provider"), "SQLOLEDB") << text;
    ASSERT_EQ(cs.entries().size(), keywords.size()) << text;
    for (const auto& [keyword, value] : cs.entries())
      ASSERT_EQ(keywords.count(keyword), 1u) << text;

    const auto redacted = ConnectionString::Parse(MaskPasswords(text));
    ASSERT_EQ(redacted.Get("PWD"), "***") << text;
    ASSERT_EQ(redacted.Get("UID"), s.LocalUser) << text;
  }
}

}  // namespace
}  // namespace rilo::db
