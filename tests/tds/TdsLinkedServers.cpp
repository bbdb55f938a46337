#include "tds/TdsLinkedServers.h"

#include <regex>
#include <vector>

#include "db/AsciiCase.h"
#include "db/DbError.h"
#include "db/sql/Tokenizer.h"
#include "tds/TdsSqlText.h"

namespace rilo::tds {
namespace {

// The arguments of a procedure call as written: literals unquoted, names and null as they
// stand.
std::vector<std::string> Arguments(std::string_view sql) {
  std::vector<std::string> out;
  std::vector<db::sql::Token> tokens;
  try {
    tokens = db::sql::Tokenize(sql);
  } catch (const db::DbError&) {
    return out;
  }
  int words = 0;
  for (const db::sql::Token& token : tokens) {
    if (token.IsTrivia() || token.IsPunct(",")) continue;
    if (words++ < 2) continue;  // exec and the procedure
    std::string_view text = token.text;
    if (token.kind == db::sql::TokenKind::kString) {
      if (text.front() != '\'') text.remove_prefix(1);
      std::string value;
      for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        value += text[i];
        if (text[i] == '\'') ++i;
      }
      out.push_back(value);
    } else {
      out.emplace_back(text);
    }
  }
  return out;
}

std::optional<std::string> FirstArgumentOf(std::string_view sql, std::string_view procedure) {
  if (!CallsProcedure(sql, procedure)) return std::nullopt;
  const std::vector<std::string> arguments = Arguments(sql);
  if (arguments.empty()) return std::nullopt;
  return arguments[0];
}

}  // namespace

std::optional<AddedLink> AddedLinkOf(std::string_view sql) {
  if (!CallsProcedure(sql, "sp_addlinkedserver")) return std::nullopt;
  const std::vector<std::string> arguments = Arguments(sql);
  if (arguments.empty()) return std::nullopt;
  return AddedLink{arguments[0], arguments.size() > 2 ? arguments[2] : ""};
}

std::optional<std::string> DroppedLinkOf(std::string_view sql) {
  return FirstArgumentOf(sql, "sp_dropserver");
}

std::optional<std::string> TestedLinkOf(std::string_view sql) {
  return FirstArgumentOf(sql, "sp_testlinkedserver");
}

bool ReadsThrough(std::string_view sql, std::string_view server) {
  const std::regex four_part("(^|[^\\w.])\\[?" + std::string(server) + "\\]?\\.[^.\\s]+\\.",
                             std::regex::icase);
  return std::regex_search(sql.begin(), sql.end(), four_part);
}

bool HasProvider(int major_version, std::string_view provider) {
  const std::string name = db::AsciiUpper(provider);
  if (name == "MSOLEDBSQL" || name == "MSOLEDBSQL19") return true;
  return major_version < 16 && (name == "SQLOLEDB" || name.starts_with("SQLNCLI"));
}

std::string WithProductVersion(std::string_view sql, int major_version) {
  static const std::regex property(R"(SERVERPROPERTY\s*\(\s*N?'ProductMajorVersion'\s*\))",
                                   std::regex::icase);
  return std::regex_replace(std::string(sql), property, std::to_string(major_version));
}

}  // namespace rilo::tds
