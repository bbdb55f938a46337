#include "db/sqlite/SpecialStatements.h"

#include <string>

#include "db/sql/Names.h"
#include "db/sqlite/SqlServerErrors.h"

namespace rilo::db::sqlite {
namespace {

using sql::SkipTrivia;
using sql::Token;
using sql::TokenKind;

// The significant tokens of a range, in order.
std::vector<const Token*> Significant(const sql::Tokens& tokens, sql::TokenRange range) {
  std::vector<const Token*> out;
  for (std::size_t i = range.begin; i < range.end; ++i) {
    if (!tokens[i].IsTrivia()) out.push_back(&tokens[i]);
  }
  return out;
}

std::optional<std::string> ArgumentValue(const Token& token) {
  if (token.kind == TokenKind::kString) return sql::LiteralOf(token);
  if (token.IsKeyword("null") || token.IsKeyword("default")) return std::nullopt;
  return std::string(token.text);  // a number, or a bare word SQL Server reads as text
}

bool IsValueToken(const Token& token) {
  return token.kind == TokenKind::kString || token.kind == TokenKind::kNumber ||
         token.kind == TokenKind::kWord;
}

}  // namespace

std::optional<IdentityInsert> ReadIdentityInsert(const sql::Tokens& tokens, sql::TokenRange range) {
  const auto words = Significant(tokens, range);
  if (words.size() < 4 || !words[0]->IsKeyword("set") || !words[1]->IsKeyword("identity_insert")) {
    return std::nullopt;
  }
  const Token& switch_word = *words.back();
  if (!switch_word.IsKeyword("on") && !switch_word.IsKeyword("off")) return std::nullopt;

  // The name is everything between IDENTITY_INSERT and the switch: a dotted name.
  std::size_t at =
      SkipTrivia(tokens, static_cast<std::size_t>(words[1] - tokens.data()) + 1, range.end);
  if (!tokens[at].IsName()) throw IncorrectSyntax(tokens[at].text);
  const sql::NameChain name = sql::ReadNameChain(tokens, at, range.end);
  const std::size_t after = SkipTrivia(tokens, name.range.end, range.end);
  if (after == range.end) throw IncorrectSyntax(switch_word.text);
  if (&tokens[after] != &switch_word) throw IncorrectSyntax(tokens[after].text);
  return IdentityInsert{name.parts.back(), switch_word.IsKeyword("on")};
}

std::optional<ProcedureCall> ReadExecStatement(const sql::Tokens& tokens, sql::TokenRange range) {
  std::size_t at = SkipTrivia(tokens, range.begin, range.end);
  if (at == range.end || !(tokens[at].IsKeyword("exec") || tokens[at].IsKeyword("execute"))) {
    return std::nullopt;
  }
  at = SkipTrivia(tokens, at + 1, range.end);
  if (at == range.end || !tokens[at].IsName()) {
    throw IncorrectSyntax(at == range.end ? tokens[at - 1].text : tokens[at].text);
  }
  const sql::NameChain name = sql::ReadNameChain(tokens, at, range.end);
  ProcedureCall call{name.parts.back(), {}};

  at = SkipTrivia(tokens, name.range.end, range.end);
  if (at == range.end) return call;
  for (const sql::TokenRange piece : sql::SplitTopLevel(tokens, {at, range.end}, ",")) {
    auto words = Significant(tokens, piece);
    ProcedureArgument argument;
    if (words.size() == 3 && words[0]->kind == TokenKind::kVariable && words[1]->IsPunct("=")) {
      argument.parameter = std::string(words[0]->text);
      words.erase(words.begin(), words.begin() + 2);
    }
    if (words.size() != 1 || !IsValueToken(*words[0])) {
      const bool empty = words.empty();
      throw IncorrectSyntax(empty ? std::string_view(",") : words[0]->text);
    }
    argument.value = ArgumentValue(*words[0]);
    call.arguments.push_back(std::move(argument));
  }
  return call;
}

}  // namespace rilo::db::sqlite
