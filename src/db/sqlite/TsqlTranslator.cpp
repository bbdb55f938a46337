#include "db/sqlite/TsqlTranslator.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "db/AsciiCase.h"
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

// A translated CONVERT and the position after it. For the date text of a plain column
// (style 23), `column` is that column and `length` how many characters substr keeps.
struct Converted {
  std::string text;
  std::size_t next;
  std::optional<std::string> column;
  long length = 0;
};

// Comparisons after which a bound on the column itself holds too. For a text column c and
// its prefix p = substr(c,1,n): p >= d and p > d imply c >= d, since c >= p. For a literal d
// of at most n bytes, p < d implies c < d, and p <= d implies c < d with its last byte
// raised by one: c can only pass d in the bytes after p's first n, which d does not have.
std::optional<std::string> ImpliedBound(std::string_view op, const std::string& literal,
                                        long length) {
  const auto quoted = [](const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
  };
  if (op == ">=" || op == ">") return ">= " + quoted(literal);
  if (literal.size() > static_cast<std::size_t>(length)) return std::nullopt;
  if (op == "<") return "< " + quoted(literal);
  if (op == "<=" && !literal.empty() && static_cast<unsigned char>(literal.back()) < 0x7E) {
    std::string above = literal;
    above.back() = static_cast<char>(above.back() + 1);
    return "< " + quoted(above);
  }
  return std::nullopt;
}

// Words that end a comparison on the right, or may stand before one on the left, without
// binding tighter than it.
bool EndsComparison(const Token& token) {
  for (std::string_view word : {"and", "or", "order", "group", "having", "limit", "then", "when",
                                "else", "end", "union", "except", "intersect"}) {
    if (token.IsKeyword(word)) return true;
  }
  return token.IsPunct(")") || token.IsPunct(";");
}

bool OpensComparison(const Token& token) {
  for (std::string_view word : {"where", "and", "or", "not", "on", "when", "having"}) {
    if (token.IsKeyword(word)) return true;
  }
  return token.IsPunct("(");
}

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
          if (auto ranged = DateComparison(range, i, *converted, last + 1)) {
            out += ranged->first;
            i = ranged->second;
          } else {
            out += converted->text;
            i = converted->next;
          }
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
    TargetType type{AsciiLower(words[0]->text), std::nullopt};
    if (words.size() == 1) return type;
    if (words.size() != 4 || !words[1]->IsPunct("(") || !words[3]->IsPunct(")")) {
      return std::nullopt;
    }
    if (words[2]->IsKeyword("max")) return type;
    type.length = WholeNumber(words[2]->text);
    if (!type.length) return std::nullopt;
    return type;
  }

  // CONVERT(varchar(n), column, 23) <op> 'literal' at `at`, where an index on the column can
  // serve the comparison: the date text is a prefix of the stored 'YYYY-MM-DD HH:MM:SS', so a
  // bound on the prefix implies one on the column (ImpliedBound). The column's bound is added
  // in front of the comparison, which stays as it was, so the result is exactly the same,
  // Null included, while the engine seeks on the column and can read it in index order.
  std::optional<std::pair<std::string, std::size_t>> DateComparison(TokenRange scope,
                                                                    std::size_t at,
                                                                    const Converted& converted,
                                                                    std::size_t end) const {
    if (!converted.column) return std::nullopt;
    for (std::size_t i = scope.begin; i < end; ++i) {
      if (t_[i].IsKeyword("between")) return std::nullopt;  // its AND is no boundary
    }
    std::size_t before = at;
    while (before > scope.begin && t_[before - 1].IsTrivia()) --before;
    if (before > scope.begin && !OpensComparison(t_[before - 1])) return std::nullopt;

    const std::size_t op = SkipTrivia(t_, converted.next, end);
    if (op >= end || t_[op].kind != TokenKind::kPunct) return std::nullopt;
    const std::size_t literal = SkipTrivia(t_, op + 1, end);
    if (literal >= end || t_[literal].kind != TokenKind::kString) return std::nullopt;
    const std::size_t after = SkipTrivia(t_, literal + 1, end);
    if (after < end && !EndsComparison(t_[after])) return std::nullopt;

    const auto bound = ImpliedBound(t_[op].text, sql::LiteralOf(t_[literal]), converted.length);
    if (!bound) return std::nullopt;
    std::string text = "(" + *converted.column + " " + *bound + " COLLATE BINARY AND " +
                       converted.text + " " + std::string(t_[op].text) + " " + Emit(t_[literal]) +
                       ")";
    return std::pair{std::move(text), literal + 1};
  }

  // CONVERT(type, expr[, style]) at `at`: the translation and the position after it, or
  // nothing when SQLite has no equivalent (it then reports the unknown function).
  std::optional<Converted> Convert(std::size_t at, std::size_t end) {
    const std::size_t open = SkipTrivia(t_, at + 1, end);
    if (open >= end || !t_[open].IsPunct("(")) return std::nullopt;
    const std::size_t close = sql::MatchingParen(t_, open);
    if (close >= end) return std::nullopt;
    const auto args = sql::SplitTopLevel(t_, {open + 1, close}, ",");
    if (args.size() < 2 || args.size() > 3) return std::nullopt;
    const auto type = ReadTargetType(args[0]);
    if (!type) return std::nullopt;
    if (args.size() == 2) {
      return Converted{"CAST(" + Trimmed(Scope(args[1])) + " AS " + Trimmed(Scope(args[0])) + ")",
                       close + 1,
                       {},
                       0};
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
      Converted converted{
          "substr(" + expr + ",1," + std::to_string(length) + ")", close + 1, {}, 0};
      if (IsPlainColumn(args[1])) {
        converted.column = expr;
        converted.length = length;
      }
      return converted;
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
    return Converted{text, close + 1, {}, 0};
  }

  // A column name, qualified or not, and nothing else.
  bool IsPlainColumn(TokenRange range) const {
    const std::size_t first = SkipTrivia(t_, range.begin, range.end);
    if (first == range.end || !t_[first].IsName()) return false;
    const sql::NameChain chain = sql::ReadNameChain(t_, first, range.end);
    return chain.parts.size() <= 3 &&
           sql::LastSignificant(t_, range.begin, range.end) + 1 == chain.range.end;
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
