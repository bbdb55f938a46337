#include "db/sql/Tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/DbError.h"
#include "db/sql/Names.h"

namespace rilo::db::sql {
namespace {

std::string Joined(const std::vector<Token>& tokens) {
  std::string out;
  for (const Token& token : tokens) out += token.text;
  return out;
}

std::vector<TokenKind> Kinds(std::string_view sql) {
  std::vector<TokenKind> kinds;
  for (const Token& token : Tokenize(sql)) {
    if (!token.IsTrivia()) kinds.push_back(token.kind);
  }
  return kinds;
}

TEST(Tokenizer, TokensJoinBackToTheTextByteForByte) {
  const std::string sql =
      "Select Top 1 服务预约.预约提醒,N'李''s' From [服务 预约] -- note\n"
      "Where CONVERT(varchar(100), x, 23) >= '2025-03-08' /* a /* nested */ one */ and y<>0x1F;";
  EXPECT_EQ(Joined(Tokenize(sql)), sql);
}

TEST(Tokenizer, LiteralsHoldKeywordsAndQuotesAsOneToken) {
  const auto tokens = Tokenize("'Top 1 CONVERT( [x] ITSV.a.b.c' 'it''s'");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0].kind, TokenKind::kString);
  EXPECT_EQ(LiteralOf(tokens[0]), "Top 1 CONVERT( [x] ITSV.a.b.c");
  EXPECT_EQ(LiteralOf(tokens[2]), "it's");
}

TEST(Tokenizer, UnicodeLiteralIsAStringAndAnNAloneIsAWord) {
  EXPECT_EQ(Kinds("N'中心店' N n 'x'"), (std::vector{TokenKind::kString, TokenKind::kWord,
                                                     TokenKind::kWord, TokenKind::kString}));
  EXPECT_EQ(LiteralOf(Tokenize("N'中''心'")[0]), "中'心");
}

TEST(Tokenizer, NamesInEverySpellingGiveTheSameName) {
  const auto tokens = Tokenize("[a]]b] \"a\"\"b\" 服务类别");
  EXPECT_EQ(tokens[0].kind, TokenKind::kBracketName);
  EXPECT_EQ(NameOf(tokens[0]), "a]b");
  EXPECT_EQ(tokens[2].kind, TokenKind::kQuotedName);
  EXPECT_EQ(NameOf(tokens[2]), "a\"b");
  EXPECT_EQ(tokens[4].kind, TokenKind::kWord);
  EXPECT_EQ(NameOf(tokens[4]), "服务类别");
}

TEST(Tokenizer, CommentsAreTriviaAndNest) {
  const auto tokens = Tokenize("a /* x /* y */ z */ b -- c 'd\ne");
  std::vector<std::string_view> significant;
  for (const Token& token : tokens) {
    if (!token.IsTrivia()) significant.push_back(token.text);
  }
  EXPECT_EQ(significant, (std::vector<std::string_view>{"a", "b", "e"}));
}

TEST(Tokenizer, OperatorsNumbersAndVariables) {
  EXPECT_EQ(Kinds(">= <= <> != || 1.5e3 .5 @server"),
            (std::vector{TokenKind::kPunct, TokenKind::kPunct, TokenKind::kPunct, TokenKind::kPunct,
                         TokenKind::kPunct, TokenKind::kNumber, TokenKind::kNumber,
                         TokenKind::kVariable}));
  EXPECT_TRUE(Tokenize(">=")[0].IsPunct(">="));
  EXPECT_TRUE(Tokenize("sElEcT")[0].IsKeyword("select"));
  EXPECT_FALSE(Tokenize("[select]")[0].IsKeyword("select"));
}

TEST(Tokenizer, UnclosedTextFailsAsSqlServerFails) {
  for (const char* sql : {"select 'abc", "select [abc", "select \"abc"}) {
    try {
      Tokenize(sql);
      ADD_FAILURE() << sql;
    } catch (const DbError& e) {
      EXPECT_EQ(e.native_code(), 105) << sql;
      EXPECT_STREQ(e.what(), "Unclosed quotation mark after the character string 'abc'.");
    }
  }
  try {
    Tokenize("select 1 /* open /* */");
    ADD_FAILURE();
  } catch (const DbError& e) {
    EXPECT_EQ(e.native_code(), 113);
  }
}

}  // namespace
}  // namespace rilo::db::sql
