#include "tds/TdsServerProperties.h"

#include <algorithm>
#include <regex>

#include "db/AsciiCase.h"

namespace rilo::tds {
namespace {

std::string CollationName(Collation collation) {
  return collation == Collation::kChinesePrc ? "Chinese_PRC_CI_AS" : "SQL_Latin1_General_CP1_CI_AS";
}

// COLLATIONPROPERTY(name, 'CodePage'): NULL for a name the server does not know.
std::string CodePageOf(const std::string& collation) {
  const std::string name = db::AsciiUpper(collation);
  if (name.starts_with("CHINESE_PRC")) return "936";
  if (name.starts_with("SQL_LATIN1_GENERAL_CP1_") || name.starts_with("LATIN1_GENERAL")) {
    return "1252";
  }
  return "NULL";
}

// "[dbo].[服务预约]", "dbo.服务预约" or "服务预约": the table's own name.
std::string TableOf(std::string securable) {
  if (const auto dot = securable.rfind("].["); dot != std::string::npos) {
    securable = securable.substr(dot + 2);
  } else if (const auto plain = securable.rfind('.'); plain != std::string::npos) {
    securable = securable.substr(plain + 1);
  }
  if (securable.starts_with('[') && securable.ends_with(']')) {
    securable = securable.substr(1, securable.size() - 2);
  }
  return securable;
}

// N'...', so the database's code page leaves the name as it is.
std::string Quoted(const std::string& text) {
  std::string out = "N'";
  for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

// Replaces every match of `pattern` in `text` by what `value` makes of it.
template <class Value>
std::string ReplaceEach(const std::string& text, const std::regex& pattern, Value value) {
  std::string out;
  auto last = text.cbegin();
  for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
    out.append(last, (*it)[0].first);
    out += value(*it);
    last = (*it)[0].second;
  }
  out.append(last, text.cend());
  return out;
}

std::string Unquoted(std::string literal) {
  std::string out;
  for (std::size_t i = 0; i < literal.size(); ++i) {
    out += literal[i];
    if (literal[i] == '\'' && i + 1 < literal.size() && literal[i + 1] == '\'') ++i;
  }
  return out;
}

// The embedded engine's declared types as SQL Server names them.
constexpr std::string_view kColumnsView =
    "(SELECT m.name AS TABLE_NAME, p.name AS COLUMN_NAME, 'dbo' AS TABLE_SCHEMA, "
    "CASE upper(p.type) WHEN 'TEXT' THEN 'nvarchar' WHEN 'INTEGER' THEN 'int' "
    "ELSE lower(CASE WHEN instr(p.type, '(') > 0 THEN substr(p.type, 1, instr(p.type, '(') - 1) "
    "ELSE p.type END) END AS DATA_TYPE "
    "FROM sqlite_schema AS m JOIN pragma_table_info(m.name) AS p WHERE m.type = 'table')";

}  // namespace

bool Refused(const TdsServerOptions& options, std::string_view permission) {
  const std::string wanted = db::AsciiUpper(permission);
  return std::ranges::any_of(options.refused_permissions,
                             [&](const std::string& p) { return db::AsciiUpper(p) == wanted; });
}

std::string WithServerProperties(std::string_view sql, const TdsServerOptions& options) {
  static const std::regex version(R"(SERVERPROPERTY\s*\(\s*N?'ProductVersion'\s*\))",
                                  std::regex::icase);
  static const std::regex collation(
      R"(DATABASEPROPERTYEX\s*\(\s*DB_NAME\s*\(\s*\)\s*,\s*N?'Collation'\s*\))", std::regex::icase);
  static const std::regex updateability(
      R"(DATABASEPROPERTYEX\s*\(\s*DB_NAME\s*\(\s*\)\s*,\s*N?'Updateability'\s*\))",
      std::regex::icase);
  static const std::regex code_page(
      R"(COLLATIONPROPERTY\s*\(\s*N?'((?:[^']|'')*)'\s*,\s*N?'CodePage'\s*\))", std::regex::icase);
  static const std::regex perms(
      R"(HAS_PERMS_BY_NAME\s*\(\s*(NULL|N?'((?:[^']|'')*)')\s*,\s*(NULL|N?'((?:[^']|'')*)')\s*,\s*N?'((?:[^']|'')*)'\s*\))",
      std::regex::icase);
  static const std::regex columns(R"(INFORMATION_SCHEMA\s*\.\s*COLUMNS\b)", std::regex::icase);

  std::string out(sql);
  out = std::regex_replace(out, version,
                           "N'" + std::to_string(options.product_major_version) + ".0.2000.5'");
  out = std::regex_replace(out, collation, "N'" + CollationName(options.collation) + "'");
  out = std::regex_replace(out, updateability, "N'READ_WRITE'");
  out = ReplaceEach(out, code_page,
                    [](const std::smatch& m) { return CodePageOf(Unquoted(m[1].str())); });
  out = ReplaceEach(out, perms, [&](const std::smatch& m) -> std::string {
    const std::string permission = Unquoted(m[5].str());
    if (!m[2].matched) return Refused(options, permission) ? "0" : "1";  // the server itself
    const std::string table = TableOf(Unquoted(m[2].str()));
    const std::string granted = Refused(options, permission + " " + table) ? "0" : "1";
    return "(CASE WHEN EXISTS (SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = " +
           Quoted(table) + ") THEN " + granted + " END)";
  });
  return std::regex_replace(out, columns, std::string(kColumnsView));
}

}  // namespace rilo::tds
