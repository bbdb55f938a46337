#include "db/odbc/OdbcExtraKeywords.h"

#include <algorithm>
#include <filesystem>

#include "db/AsciiCase.h"
#include "db/DbError.h"

namespace rilo::db::odbc {
namespace {

[[noreturn]] void Refuse(std::string message) {
  throw DbError(DbError::Kind::kUsage, std::move(message));
}

}  // namespace

void RefuseStrictEncryption(const Keywords& keywords) {
  for (const auto& [keyword, value] : keywords) {
    const std::string name = AsciiLower(keyword);
    const bool strict = ((name == "encryption" || name == "encrypt") && AsciiLower(value) == "strict") ||
                        (name == "tds_version" && value.starts_with("8"));
    if (strict) {
      Refuse("TDS 8 strict encryption (" + keyword + "=" + value +
             ") is beyond the FreeTDS driver, which speaks TDS 7.4 at most; use Encryption=require "
             "if the server allows it, or choose Microsoft's ODBC Driver 18 for SQL Server");
    }
  }
}

Keywords ReadFreeTdsKeywords(const std::vector<std::string>& assignments) {
  Keywords keywords;
  for (const std::string& assignment : assignments) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0) {
      Refuse("'" + assignment + "' is not KEYWORD=VALUE");
    }
    const std::string keyword = assignment.substr(0, equals);
    const std::string value = assignment.substr(equals + 1);
    const std::string name = AsciiLower(keyword);
    if (name == "encryption") {
      const std::string level = AsciiLower(value);
      if (level != "off" && level != "request" && level != "require" && level != "strict") {
        Refuse("Encryption must be off, request or require, not '" + value + "'");
      }
    } else if (name == "cafile") {
      if (!std::filesystem::is_regular_file(value)) {
        Refuse("CAFile '" + value + "' is not a file");
      }
    } else {
      Refuse("the FreeTDS keyword '" + keyword +
             "' cannot be set for every connection; allowed: Encryption, CAFile");
    }
    keywords.emplace_back(keyword, value);
  }
  RefuseStrictEncryption(keywords);
  return keywords;
}

}  // namespace rilo::db::odbc
