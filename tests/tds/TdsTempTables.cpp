#include "tds/TdsTempTables.h"

#include <algorithm>

#include <regex>

namespace rilo::tds {
namespace {

using Match = std::match_results<std::string_view::const_iterator>;

std::string TempName(const std::string& name) { return "temp.[" + name + "]"; }

// Every #name outside literals and brackets as temp.[#name].
std::string QualifyTempNames(std::string_view sql) {
  std::string out;
  char quote = 0;
  for (std::size_t i = 0; i < sql.size(); ++i) {
    const char c = sql[i];
    if (quote) {
      out += c;
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '\'' || c == '"') quote = c;
    if (c == '[') quote = ']';
    const bool starts_name = c == '#' && (i == 0 || sql[i - 1] == ' ' || sql[i - 1] == ',' ||
                                          sql[i - 1] == '(' || sql[i - 1] == '\n');
    if (!starts_name) {
      out += c;
      continue;
    }
    std::size_t end = i + 1;
    while (end < sql.size() && sql[end] != ' ' && sql[end] != ',' && sql[end] != ')' &&
           sql[end] != ';' && sql[end] != '\n') {
      ++end;
    }
    out += TempName(std::string(sql.substr(i, end - i)));
    i = end - 1;
  }
  return out;
}

}  // namespace

std::string RewriteTempTables(std::string_view sql) {
  static const std::regex drop(
      R"(^\s*IF\s+OBJECT_ID\s*\(\s*N?'tempdb\.\.(#[^']+)'\s*\)\s+IS\s+NOT\s+NULL\s+DROP\s+TABLE\s+#\S+\s*;?\s*$)",
      std::regex::icase);
  static const std::regex select_into(
      R"(^\s*select\s+([\s\S]*?)\s+into\s+(#[^\s]+)\s+from\s+([\s\S]*)$)", std::regex::icase);
  Match match;
  if (std::regex_match(sql.begin(), sql.end(), match, drop)) {
    return "DROP TABLE IF EXISTS " + TempName(match[1].str());
  }
  if (std::regex_match(sql.begin(), sql.end(), match, select_into)) {
    return "CREATE TABLE " + TempName(match[2].str()) + " AS SELECT " + match[1].str() + " FROM " +
           QualifyTempNames(match[3].str());
  }
  if (sql.find('#') == std::string_view::npos) return std::string(sql);
  return QualifyTempNames(sql);
}

std::vector<std::string> TempTableNames(db::Session& engine) {
  std::vector<std::string> names;
  const db::ResultSet tables =
      engine.Query("SELECT name FROM temp.sqlite_master WHERE type = 'table'");
  for (const std::vector<db::Value>& row : tables.rows) {
    if (const auto* name = std::get_if<std::string>(&row.at(0))) names.push_back(*name);
  }
  return names;
}

void DropTempTablesBeyond(db::Session& engine, const std::vector<std::string>& kept) noexcept {
  try {
    for (const std::string& name : TempTableNames(engine)) {
      if (std::ranges::find(kept, name) != kept.end()) continue;
      std::string quoted;
      for (char c : name) quoted += c == ']' ? std::string("]]") : std::string(1, c);
      engine.Execute("DROP TABLE temp.[" + quoted + "]");
    }
  } catch (const std::exception&) {
    // A session whose engine fails here fails its next statement too, and says why there.
  }
}

}  // namespace rilo::tds
