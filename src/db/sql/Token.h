// One lexical token of a T-SQL text. Tokens cover the text without gaps, so joining their
// texts gives the original back byte for byte.
#pragma once

#include <string_view>

namespace rilo::db::sql {

enum class TokenKind {
  kSpace,        // blanks, tabs, line breaks
  kComment,      // -- to the end of the line, or /* ... */ (nesting as T-SQL nests)
  kString,       // '...' or N'...', an apostrophe doubled inside
  kQuotedName,   // "...", a double quote doubled inside
  kBracketName,  // [...], a closing bracket doubled inside
  kWord,         // keyword or bare identifier (any non-ASCII character counts as a letter)
  kVariable,     // @name or @@name
  kNumber,       // 12, 1.5, .5, 1e3, 0x1F
  kPunct,        // an operator or punctuation: ( ) , . ; = <> >= <= != || and the like
};

struct Token {
  TokenKind kind;
  std::string_view text;

  /// Blanks and comments: they separate tokens but never mean anything.
  bool IsTrivia() const { return kind == TokenKind::kSpace || kind == TokenKind::kComment; }
  bool IsPunct(std::string_view p) const { return kind == TokenKind::kPunct && text == p; }
  /// A bare word equal to `keyword` ignoring ASCII case.
  bool IsKeyword(std::string_view keyword) const;
  /// A name of any spelling: bare word, "quoted" or [bracketed].
  bool IsName() const {
    return kind == TokenKind::kWord || kind == TokenKind::kQuotedName ||
           kind == TokenKind::kBracketName;
  }
};

}  // namespace rilo::db::sql
