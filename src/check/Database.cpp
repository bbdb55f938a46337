#include "check/Database.h"

#include "db/SqlText.h"

namespace rilo::check {

std::string Bracketed(std::string_view name) {
  std::string out = "[";
  for (char c : name) out += c == ']' ? std::string("]]") : std::string(1, c);
  return out + "]";
}

std::string UnicodeLiteral(std::string_view text) { return "N'" + db::EscapeLiteral(text) + "'"; }

}  // namespace rilo::check
