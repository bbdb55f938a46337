#include "db/sql/OuterSelect.h"

#include "db/DbError.h"
#include "db/sql/Tokenizer.h"

namespace rilo::db::sql {
namespace {

bool IsAnyKeyword(const Token& token, std::initializer_list<std::string_view> keywords) {
  for (std::string_view k : keywords) {
    if (token.IsKeyword(k)) return true;
  }
  return false;
}

// Words that end a FROM clause.
bool EndsFrom(const Token& token) {
  return token.IsPunct(";") ||
         IsAnyKeyword(token, {"where", "group", "having", "order", "union", "except", "intersect",
                              "option", "for", "window"});
}

// Words that cannot be a table alias.
bool IsClauseWord(const Token& token) {
  return EndsFrom(token) ||
         IsAnyKeyword(token, {"on", "join", "left", "right", "inner", "outer", "cross", "full",
                              "apply", "with", "as", "pivot", "unpivot", "tablesample"});
}

std::vector<TableReference> ReadFromClause(const Tokens& tokens, std::size_t begin,
                                           std::size_t end) {
  std::vector<TableReference> tables;
  bool expect_table = true;
  for (std::size_t i = begin; i < end; ++i) {
    const Token& token = tokens[i];
    if (token.IsTrivia()) continue;
    if (token.IsPunct("(")) {
      // A subquery, a table hint or a parenthesised join: its rows name no table we track.
      i = MatchingParen(tokens, i);
      expect_table = false;
      continue;
    }
    if (token.IsPunct(",") || token.IsKeyword("join") || token.IsKeyword("apply")) {
      expect_table = true;
      continue;
    }
    if (!expect_table || !token.IsName() || IsClauseWord(token)) continue;

    const NameChain name = ReadNameChain(tokens, i, end);
    TableReference reference{name.parts.back(), JoinText(tokens, name.range)};
    std::size_t next = SkipTrivia(tokens, name.range.end, end);
    if (next < end && tokens[next].IsKeyword("as")) next = SkipTrivia(tokens, next + 1, end);
    if (next < end && tokens[next].IsName() && !IsClauseWord(tokens[next])) {
      reference.qualifier = std::string(tokens[next].text);
      i = next;
    } else {
      i = name.range.end - 1;
    }
    tables.push_back(std::move(reference));
    expect_table = false;
  }
  return tables;
}

}  // namespace

std::optional<OuterSelect> ReadOuterSelect(const Tokens& tokens) {
  const std::size_t first = SkipTrivia(tokens, 0);
  if (first == tokens.size() || !tokens[first].IsKeyword("select")) return std::nullopt;

  OuterSelect select;
  select.from = tokens.size();
  const std::size_t after_select = SkipTrivia(tokens, first + 1);
  if (after_select < tokens.size() && tokens[after_select].IsKeyword("distinct")) {
    select.aggregates_rows = true;
  }
  std::size_t from_end = tokens.size();
  int depth = 0;
  for (std::size_t i = first + 1; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (token.IsPunct("(")) ++depth;
    if (token.IsPunct(")")) --depth;
    if (depth != 0) continue;
    if (token.IsPunct(";")) {
      // Anything but trivia after the first statement: more than one statement.
      if (SkipTrivia(tokens, i + 1) != tokens.size()) return std::nullopt;
    }
    if (token.IsKeyword("from") && select.from == tokens.size()) {
      select.from = i;
      continue;
    }
    if (select.from != tokens.size() && from_end == tokens.size() && EndsFrom(token)) {
      from_end = i;
    }
    if (IsAnyKeyword(token, {"group", "having", "union", "except", "intersect"})) {
      select.aggregates_rows = true;
    }
  }
  if (select.from != tokens.size()) {
    select.tables = ReadFromClause(tokens, select.from + 1, from_end);
  }
  return select;
}

std::string AppendToSelectList(std::string_view sql, std::span<const std::string> items) {
  const Tokens tokens = Tokenize(sql);
  const auto select = ReadOuterSelect(tokens);
  if (!select) {
    throw DbError(DbError::Kind::kUsage, "columns can only be added to a plain SELECT");
  }
  const std::size_t last = LastSignificant(tokens, 0, select->from);
  std::string out = JoinText(tokens, {0, last + 1});
  for (const std::string& item : items) {
    out += ", ";
    out += item;
  }
  out += JoinText(tokens, {last + 1, tokens.size()});
  return out;
}

}  // namespace rilo::db::sql
