#include "db/sqlite/TsqlTranslator.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "db/sql/Names.h"
#include "db/sql/Tokenizer.h"
#include "db/sqlite/SpecialStatements.h"
#include "db/sqlite/SqlServerErrors.h"

namespace rilo::db::sqlite {
namespace {

using sql::JoinText;
using sql::SkipTrivia;
using sql::Token;
using sql::TokenKind;
using sql::TokenRange;
using sql::Tokens;

std::optional<long> WholeNumber(std::string_view text) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// TOP n after a SELECT, as SQLite's LIMIT n can stand in for it.
struct Top {
  std::size_t begin;  // the TOP keyword
  std::size_t end;    // the first significant token after the count
  std::string count;
};

// The target type of a CONVERT: a name and an optional length (nothing also for MAX).
struct TargetType {
  std::string name;
  std::optional<long> length;
};

class Translator {
 public:
  Translator(const Tokens& tokens, const LinkedNameResolver& resolve)
      : t_(tokens), resolve_(resolve) {}

  // A scope is a whole statement or the inside of parentheses; a TOP of a SELECT in it becomes
  // a LIMIT at its end.
  std::string Scope(TokenRange range) {
    const std::size_t last = sql::LastSignificant(t_, range.begin, range.end);
    if (last == range.end) return JoinText(t_, range);

    const bool top_allowed = !HasCompoundSelect(range);
    std::optional<std::string> limit;
    std::string out;
    std::size_t i = range.begin;
    while (i <= last) {
      const Token& token = t_[i];
      if (token.IsPunct("(")) {
        const std::size_t close = sql::MatchingParen(t_, i);
        if (close > last) {
          out += token.text;  // unbalanced: SQLite reports it
          ++i;
          continue;
        }
        out += "(" + Scope({i + 1, close}) + ")";
        i = close + 1;
      } else if (token.IsKeyword("select") && top_allowed && !limit) {
        if (auto top = ReadTop(i, last + 1)) {
          out += token.text;
          out += JoinText(t_, {i + 1, top->begin});
          limit = top->count;
          i = top->end;
        } else {
          out += token.text;
          ++i;
        }
      } else if (token.IsKeyword("convert")) {
        if (auto converted = Convert(i, last + 1)) {
          out += converted->first;
          i = converted->second;
        } else {
          out += token.text;
          ++i;
        }
      } else if (token.IsName()) {
        i = Name(i, last + 1, out);
      } else {
        out += Emit(token);
        ++i;
      }
    }
    if (limit) out += " LIMIT " + *limit;
    out += JoinText(t_, {last + 1, range.end});
    return out;
  }

 private:
  bool HasCompoundSelect(TokenRange range) const {
    int depth = 0;
    for (std::size_t i = range.begin; i < range.end; ++i) {
      if (t_[i].IsPunct("(")) ++depth;
      if (t_[i].IsPunct(")")) --depth;
      if (depth == 0 &&
          (t_[i].IsKeyword("union") || t_[i].IsKeyword("except") || t_[i].IsKeyword("intersect"))) {
        return true;
      }
    }
    return false;
  }

  // SELECT [DISTINCT|ALL] TOP n | TOP (n); not TOP ... PERCENT or WITH TIES, which LIMIT
  // cannot express.
  std::optional<Top> ReadTop(std::size_t select, std::size_t end) const {
    std::size_t i = SkipTrivia(t_, select + 1, end);
    if (i < end && (t_[i].IsKeyword("distinct") || t_[i].IsKeyword("all"))) {
      i = SkipTrivia(t_, i + 1, end);
    }
    if (i >= end || !t_[i].IsKeyword("top")) return std::nullopt;
    Top top{i, end, {}};
    i = SkipTrivia(t_, i + 1, end);
    std::size_t count = i;
    if (i < end && t_[i].IsPunct("(")) {
      count = SkipTrivia(t_, i + 1, end);
      i = SkipTrivia(t_, count + 1, end);
      if (i >= end || !t_[i].IsPunct(")")) return std::nullopt;
    }
    if (count >= end || t_[count].kind != TokenKind::kNumber || !WholeNumber(t_[count].text)) {
      return std::nullopt;
    }
    top.count = std::string(t_[count].text);
    top.end = SkipTrivia(t_, i + 1, end);
    if (top.end < end && (t_[top.end].IsKeyword("percent") || t_[top.end].IsKeyword("with"))) {
      return std::nullopt;
    }
    return top;
  }

  std::optional<TargetType> ReadTargetType(TokenRange range) const {
    std::vector<const Token*> words;
    for (std::size_t i = range.begin; i < range.end; ++i) {
      if (!t_[i].IsTrivia()) words.push_back(&t_[i]);
    }
    if (words.empty() || words[0]->kind != TokenKind::kWord) return std::nullopt;
    TargetType type{std::string(words[0]->text), std::nullopt};
    std::transform(type.name.begin(), type.name.end(), type.name.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    if (words.size() == 1) return type;
    if (words.size() != 4 || !words[1]->IsPunct("(") || !words[3]->IsPunct(")")) {
      return std::nullopt;
    }
    if (words[2]->IsKeyword("max")) return type;
    type.length = WholeNumber(words[2]->text);
    if (!type.length) return std::nullopt;
    return type;
  }

  // CONVERT(type, expr[, style]) at `at`: the translation and the position after it, or
  // nothing when SQLite has no equivalent (it then reports the unknown function).
  std::optional<std::pair<std::string, std::size_t>> Convert(std::size_t at, std::size_t end) {
    const std::size_t open = SkipTrivia(t_, at + 1, end);
    if (open >= end || !t_[open].IsPunct("(")) return std::nullopt;
    const std::size_t close = sql::MatchingParen(t_, open);
    if (close >= end) return std::nullopt;
    const auto args = sql::SplitTopLevel(t_, {open + 1, close}, ",");
    if (args.size() < 2 || args.size() > 3) return std::nullopt;
    const auto type = ReadTargetType(args[0]);
    if (!type) return std::nullopt;
    if (args.size() == 2) {
      return std::pair{"CAST(" + Trimmed(Scope(args[1])) + " AS " + Trimmed(Scope(args[0])) + ")",
                       close + 1};
    }
    const std::size_t style_at = SkipTrivia(t_, args[2].begin, args[2].end);
    if (style_at == args[2].end ||
        sql::LastSignificant(t_, args[2].begin, args[2].end) != style_at) {
      return std::nullopt;
    }
    const auto style = WholeNumber(t_[style_at].text);
    if (!style || (type->name != "varchar" && type->name != "nvarchar")) return std::nullopt;
    if (*style != 23 && *style != 20 && *style != 120 && *style != 21 && *style != 121) {
      return std::nullopt;
    }
    const std::string expr = Trimmed(Scope(args[1]));

    if (*style == 23) {
      // yyyy-mm-dd, written as substr so that an index on substr(col,1,10) serves the test.
      const long length = std::min(type->length.value_or(10), 10L);
      return std::pair{"substr(" + expr + ",1," + std::to_string(length) + ")", close + 1};
    }
    std::string text;
    long natural = 0;
    if (*style == 20 || *style == 120) {  // yyyy-mm-dd hh:mi:ss
      natural = 19;
      text = "strftime('%Y-%m-%d %H:%M:%S'," + expr + ")";
    } else {  // yyyy-mm-dd hh:mi:ss.mmm
      natural = 23;
      text = "strftime('%Y-%m-%d %H:%M:%f'," + expr + ")";
    }
    if (type->length && *type->length < natural) {
      text = "substr(" + text + ",1," + std::to_string(*type->length) + ")";
    }
    return std::pair{text, close + 1};
  }

  // A dotted name at `at`; a four-part one is resolved to a table of a linked server.
  std::size_t Name(std::size_t at, std::size_t end, std::string& out) {
    const sql::NameChain chain = sql::ReadNameChain(t_, at, end);
    if (chain.parts.size() == 4) {
      out +=
          resolve_(LinkedTableName{chain.parts[0], chain.parts[1], chain.parts[2], chain.parts[3]});
      return chain.range.end;
    }
    for (std::size_t i = chain.range.begin; i < chain.range.end; ++i) out += Emit(t_[i]);
    return chain.range.end;
  }

  static std::string Emit(const Token& token) {
    switch (token.kind) {
      case TokenKind::kBracketName:
      case TokenKind::kQuotedName: {
        const std::string name = sql::NameOf(token);
        if (name.empty()) throw EmptyName();
        return sql::DoubleQuoteName(name);
      }
      case TokenKind::kString:
        // N'...' is a Unicode literal in T-SQL; every SQLite text is Unicode already.
        return std::string(token.text.front() == '\'' ? token.text : token.text.substr(1));
      default:
        return std::string(token.text);
    }
  }

  static std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
  }

  const Tokens& t_;
  const LinkedNameResolver& resolve_;
};

bool IsTriviaOnly(const Tokens& tokens, TokenRange range) {
  return SkipTrivia(tokens, range.begin, range.end) == range.end;
}

}  // namespace

std::vector<TranslatedStatement> TranslateTsql(std::string_view tsql,
                                               const LinkedNameResolver& resolve) {
  const Tokens tokens = sql::Tokenize(tsql);
  std::vector<TranslatedStatement> out;

  // Consecutive statements SQLite runs itself stay one text, joined again by ";", so that a
  // ";" inside a trigger body survives.
  std::string group;
  bool group_has_statement = false;
  bool group_started = false;
  const auto flush = [&] {
    if (group_has_statement) out.push_back(SqliteText{group});
    group.clear();
    group_has_statement = false;
    group_started = false;
  };

  for (const TokenRange piece : sql::SplitTopLevel(tokens, {0, tokens.size()}, ";")) {
    if (auto identity = ReadIdentityInsert(tokens, piece)) {
      flush();
      out.push_back(std::move(*identity));
      continue;
    }
    if (auto call = ReadExecStatement(tokens, piece)) {
      flush();
      out.push_back(std::move(*call));
      continue;
    }
    if (group_started) group += ";";
    group_started = true;
    group += Translator(tokens, resolve).Scope(piece);
    group_has_statement = group_has_statement || !IsTriviaOnly(tokens, piece);
  }
  flush();
  return out;
}

}  // namespace rilo::db::sqlite
