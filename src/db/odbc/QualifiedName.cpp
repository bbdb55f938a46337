#include "db/odbc/QualifiedName.h"

#include <algorithm>

#include "db/DbError.h"

namespace rilo::db::odbc {
namespace {

[[noreturn]] void Refuse(std::string_view name, std::string_view why) {
  throw DbError(DbError::Kind::kUsage,
                "table name '" + std::string(name) + "' cannot be read: " + std::string(why));
}

}  // namespace

std::vector<std::string> SplitQualifiedName(std::string_view name) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (;;) {
    std::string part;
    if (at < name.size() && (name[at] == '[' || name[at] == '"')) {
      const char close = name[at] == '[' ? ']' : '"';
      for (++at;; ++at) {
        if (at >= name.size()) Refuse(name, "a quote is not closed");
        if (name[at] == close) {
          if (at + 1 < name.size() && name[at + 1] == close) {
            part += close;
            ++at;
            continue;
          }
          ++at;
          break;
        }
        part += name[at];
      }
      if (at < name.size() && name[at] != '.') Refuse(name, "text follows a closing quote");
    } else {
      const std::size_t dot = std::min(name.find('.', at), name.size());
      part = name.substr(at, dot - at);
      at = dot;
    }
    if (part.empty()) Refuse(name, "a part is empty");
    parts.push_back(std::move(part));
    if (at >= name.size()) return parts;
    ++at;  // the dot
  }
}

}  // namespace rilo::db::odbc
