#include "db/sql/TokenWalk.h"

#include "db/sql/Names.h"

namespace rilo::db::sql {

std::size_t SkipTrivia(const Tokens& tokens, std::size_t from, std::size_t end) {
  while (from < end && tokens[from].IsTrivia()) ++from;
  return from;
}

std::size_t LastSignificant(const Tokens& tokens, std::size_t begin, std::size_t end) {
  for (std::size_t i = end; i > begin; --i) {
    if (!tokens[i - 1].IsTrivia()) return i - 1;
  }
  return end;
}

std::size_t MatchingParen(const Tokens& tokens, std::size_t open) {
  int depth = 0;
  for (std::size_t i = open; i < tokens.size(); ++i) {
    if (tokens[i].IsPunct("(")) ++depth;
    if (tokens[i].IsPunct(")") && --depth == 0) return i;
  }
  return tokens.size();
}

std::vector<TokenRange> SplitTopLevel(const Tokens& tokens, TokenRange range,
                                      std::string_view separator) {
  std::vector<TokenRange> pieces;
  std::size_t start = range.begin;
  int depth = 0;
  for (std::size_t i = range.begin; i < range.end; ++i) {
    if (tokens[i].IsPunct("(")) ++depth;
    if (tokens[i].IsPunct(")")) --depth;
    if (depth == 0 && tokens[i].IsPunct(separator)) {
      pieces.push_back({start, i});
      start = i + 1;
    }
  }
  pieces.push_back({start, range.end});
  return pieces;
}

NameChain ReadNameChain(const Tokens& tokens, std::size_t at, std::size_t end) {
  NameChain chain;
  chain.range.begin = at;
  std::size_t i = at;
  chain.parts.push_back(NameOf(tokens[i++]));
  while (i < end && tokens[i].IsPunct(".")) {
    if (i + 1 < end && tokens[i + 1].IsName()) {
      chain.parts.push_back(NameOf(tokens[i + 1]));
      i += 2;
    } else if (i + 2 < end && tokens[i + 1].IsPunct(".") && tokens[i + 2].IsName()) {
      chain.parts.emplace_back();  // server.db..table: the schema left out
      i += 1;
    } else {
      break;
    }
  }
  chain.range.end = i;
  return chain;
}

std::string JoinText(const Tokens& tokens, TokenRange range) {
  std::string out;
  for (std::size_t i = range.begin; i < range.end; ++i) out += tokens[i].text;
  return out;
}

}  // namespace rilo::db::sql
