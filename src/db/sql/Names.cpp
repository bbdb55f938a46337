#include "db/sql/Names.h"

#include "db/AsciiCase.h"

namespace rilo::db::sql {
namespace {

std::string Undouble(std::string_view body, char quote) {
  std::string out;
  out.reserve(body.size());
  for (std::size_t i = 0; i < body.size(); ++i) {
    out += body[i];
    if (body[i] == quote && i + 1 < body.size() && body[i + 1] == quote) ++i;
  }
  return out;
}

std::string Enclose(std::string_view name, char open, char close) {
  std::string out(1, open);
  for (char c : name) {
    out += c;
    if (c == close) out += close;
  }
  out += close;
  return out;
}

}  // namespace

std::string NameOf(const Token& token) {
  switch (token.kind) {
    case TokenKind::kQuotedName:
      return Undouble(token.text.substr(1, token.text.size() - 2), '"');
    case TokenKind::kBracketName:
      return Undouble(token.text.substr(1, token.text.size() - 2), ']');
    default:
      return std::string(token.text);
  }
}

std::string LiteralOf(const Token& token) {
  std::string_view text = token.text;
  if (!text.empty() && text.front() != '\'') text.remove_prefix(1);  // the N of N'...'
  return Undouble(text.substr(1, text.size() - 2), '\'');
}

std::string BracketName(std::string_view name) { return Enclose(name, '[', ']'); }

std::string DoubleQuoteName(std::string_view name) { return Enclose(name, '"', '"'); }

bool SameName(std::string_view a, std::string_view b) { return EqualsAsciiNoCase(a, b); }

}  // namespace rilo::db::sql
