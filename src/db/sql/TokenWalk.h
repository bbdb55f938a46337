// Walking a token list: skipping trivia, matching parentheses, splitting at separators,
// reading dotted names.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "db/sql/Token.h"

namespace rilo::db::sql {

using Tokens = std::vector<Token>;

/// A half-open range [begin, end) of token positions.
struct TokenRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};

/// The first position at or after `from` (and before `end`) that is not trivia; `end` if none.
std::size_t SkipTrivia(const Tokens& tokens, std::size_t from, std::size_t end);
inline std::size_t SkipTrivia(const Tokens& tokens, std::size_t from) {
  return SkipTrivia(tokens, from, tokens.size());
}

/// The last position before `end` (and at or after `begin`) that is not trivia; `end` if none.
std::size_t LastSignificant(const Tokens& tokens, std::size_t begin, std::size_t end);

/// The position of the ")" matching the "(" at `open`; tokens.size() when unbalanced.
std::size_t MatchingParen(const Tokens& tokens, std::size_t open);

/// Splits [range) at the punctuation `separator` outside parentheses. An empty range gives
/// one empty piece.
std::vector<TokenRange> SplitTopLevel(const Tokens& tokens, TokenRange range,
                                      std::string_view separator);

/// A dotted name such as a.b or [x].dbo."y", parts written next to each other. An empty part
/// (the schema of server.db..table) is kept as "".
struct NameChain {
  std::vector<std::string> parts;
  TokenRange range;  // the tokens the chain covers
};

/// Reads the dotted name starting at `at` (which must be a name token); stops before `end`.
NameChain ReadNameChain(const Tokens& tokens, std::size_t at, std::size_t end);

/// The texts of [range) joined, trivia included.
std::string JoinText(const Tokens& tokens, TokenRange range);

}  // namespace rilo::db::sql
