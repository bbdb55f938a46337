#include "db/odbc/UnicodeLiterals.h"

#include <vector>

#include "db/DbError.h"
#include "db/sql/Tokenizer.h"

namespace rilo::db::odbc {
namespace {

bool GluesToPrefix(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '_' || c == '@' || c == '#' || c == '$' || static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

std::string WithUnicodeLiterals(std::string_view sql) {
  std::vector<sql::Token> tokens;
  try {
    tokens = sql::Tokenize(sql);
  } catch (const DbError&) {
    return std::string(sql);
  }
  std::string out;
  out.reserve(sql.size() + 16);
  for (const sql::Token& token : tokens) {
    if (token.kind == sql::TokenKind::kString && token.text.front() == '\'') {
      // "select'a'" is valid T-SQL; "selectN'a'" would not be.
      if (!out.empty() && GluesToPrefix(out.back())) out += ' ';
      out += 'N';
    }
    out += token.text;
  }
  return out;
}

}  // namespace rilo::db::odbc
