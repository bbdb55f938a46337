#include "db/sql/Tokenizer.h"

#include <string>

#include "db/AsciiCase.h"
#include "db/DbError.h"

namespace rilo::db::sql {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// Bytes of multi-byte UTF-8 characters count as letters: T-SQL names may be in any script.
bool IsNonAscii(char c) { return static_cast<unsigned char>(c) >= 0x80; }
bool StartsWord(char c) { return IsAsciiLetter(c) || c == '_' || c == '#' || IsNonAscii(c); }
bool ContinuesWord(char c) { return StartsWord(c) || IsDigit(c) || c == '@' || c == '$'; }

[[noreturn]] void ThrowUnclosedQuote(std::string_view rest) {
  throw DbError(DbError::Kind::kEngine,
                "Unclosed quotation mark after the character string '" + std::string(rest) + "'.",
                "42000", 105);
}

class Scanner {
 public:
  explicit Scanner(std::string_view sql) : sql_(sql) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    while (pos_ < sql_.size()) {
      const std::size_t start = pos_;
      const TokenKind kind = ScanOne();
      tokens.push_back({kind, sql_.substr(start, pos_ - start)});
    }
    return tokens;
  }

 private:
  char At(std::size_t i) const { return i < sql_.size() ? sql_[i] : '\0'; }

  TokenKind ScanOne() {
    const char c = sql_[pos_];
    const char next = At(pos_ + 1);
    if (IsSpace(c)) {
      while (pos_ < sql_.size() && IsSpace(sql_[pos_])) ++pos_;
      return TokenKind::kSpace;
    }
    if (c == '-' && next == '-') {
      const std::size_t end = sql_.find('\n', pos_);
      pos_ = end == std::string_view::npos ? sql_.size() : end;
      return TokenKind::kComment;
    }
    if (c == '/' && next == '*') return ScanBlockComment();
    if (c == '\'') return ScanQuoted('\'', TokenKind::kString);
    if ((c == 'N' || c == 'n') && next == '\'') {
      ++pos_;
      return ScanQuoted('\'', TokenKind::kString);
    }
    if (c == '"') return ScanQuoted('"', TokenKind::kQuotedName);
    if (c == '[') return ScanQuoted(']', TokenKind::kBracketName);
    if (IsDigit(c) || (c == '.' && IsDigit(next))) return ScanNumber();
    if (c == '@') {
      ++pos_;
      while (pos_ < sql_.size() && (ContinuesWord(sql_[pos_]))) ++pos_;
      return TokenKind::kVariable;
    }
    if (StartsWord(c)) {
      while (pos_ < sql_.size() && ContinuesWord(sql_[pos_])) ++pos_;
      return TokenKind::kWord;
    }
    return ScanPunct();
  }

  // T-SQL block comments nest: /* a /* b */ c */ is one comment.
  TokenKind ScanBlockComment() {
    int depth = 0;
    while (pos_ < sql_.size()) {
      if (sql_[pos_] == '/' && At(pos_ + 1) == '*') {
        ++depth;
        pos_ += 2;
      } else if (sql_[pos_] == '*' && At(pos_ + 1) == '/') {
        pos_ += 2;
        if (--depth == 0) return TokenKind::kComment;
      } else {
        ++pos_;
      }
    }
    throw DbError(DbError::Kind::kEngine, "Missing end comment mark '*/'.", "42000", 113);
  }

  // The closing character doubled stands for itself.
  TokenKind ScanQuoted(char close, TokenKind kind) {
    const std::size_t content = pos_ + 1;
    pos_ = content;
    while (pos_ < sql_.size()) {
      if (sql_[pos_] == close) {
        if (At(pos_ + 1) == close) {
          pos_ += 2;
          continue;
        }
        ++pos_;
        return kind;
      }
      ++pos_;
    }
    ThrowUnclosedQuote(sql_.substr(content));
  }

  TokenKind ScanNumber() {
    if (sql_[pos_] == '0' && (At(pos_ + 1) == 'x' || At(pos_ + 1) == 'X')) {
      pos_ += 2;
      while (pos_ < sql_.size() && (IsDigit(sql_[pos_]) || IsAsciiLetter(sql_[pos_]))) ++pos_;
      return TokenKind::kNumber;
    }
    while (pos_ < sql_.size() && IsDigit(sql_[pos_])) ++pos_;
    if (At(pos_) == '.') {
      ++pos_;
      while (pos_ < sql_.size() && IsDigit(sql_[pos_])) ++pos_;
    }
    if ((At(pos_) == 'e' || At(pos_) == 'E') &&
        (IsDigit(At(pos_ + 1)) ||
         ((At(pos_ + 1) == '+' || At(pos_ + 1) == '-') && IsDigit(At(pos_ + 2))))) {
      pos_ += 2;
      while (pos_ < sql_.size() && IsDigit(sql_[pos_])) ++pos_;
    }
    return TokenKind::kNumber;
  }

  TokenKind ScanPunct() {
    static constexpr std::string_view kTwoCharacter[] = {"<=", ">=", "<>", "!=", "!<", "!>",
                                                         "||", "::", "+=", "-=", "*=", "/=",
                                                         "%=", "&=", "|=", "^="};
    const std::string_view rest = sql_.substr(pos_);
    for (std::string_view op : kTwoCharacter) {
      if (rest.starts_with(op)) {
        pos_ += op.size();
        return TokenKind::kPunct;
      }
    }
    ++pos_;
    return TokenKind::kPunct;
  }

  std::string_view sql_;
  std::size_t pos_ = 0;
};

}  // namespace

bool Token::IsKeyword(std::string_view keyword) const {
  return kind == TokenKind::kWord && EqualsAsciiNoCase(text, keyword);
}

std::vector<Token> Tokenize(std::string_view sql) { return Scanner(sql).Run(); }

}  // namespace rilo::db::sql
