#include <optional>

#include "check/Checks.h"
#include "check/CodePage.h"
#include "check/ColumnKinds.h"
#include "db/Value.h"
#include "schema/TableCatalogue.h"

namespace rilo::check {
namespace {

std::optional<std::int64_t> Number(const db::ResultSet& result) {
  if (result.rows.empty() || result.rows[0].empty()) return std::nullopt;
  if (const auto* n = std::get_if<std::int64_t>(&result.rows[0][0])) return *n;
  return std::nullopt;
}

// Text columns of the shipped tables that the database keeps in its code page.
std::vector<std::string> CodePageColumns(const Database& database) {
  std::vector<std::string> found;
  for (const schema::StoreTable& table : schema::StoreTableCatalogue()) {
    const auto columns = database.columns.find(std::string(table.name));
    if (columns == database.columns.end()) continue;
    for (const schema::Column& column : table.columns) {
      const auto declared = columns->second.find(std::string(column.name));
      if (declared != columns->second.end() && IsCodePageText(declared->second)) {
        found.push_back(columns->first + "." + declared->first + " (" + declared->second + ")");
      }
    }
  }
  return found;
}

}  // namespace

std::vector<std::string> NamesToHold(Database& main, const std::string& store) {
  std::vector<std::string> names = {store};
  if (!main.reached() || !main.HasTable("服务类别")) return names;
  try {
    for (const auto& row : main.Query("SELECT [服务类别] FROM [服务类别] ORDER BY [ID]").rows) {
      if (!row.empty() && !db::IsNull(row[0])) names.push_back(db::ValueToText(row[0]));
    }
  } catch (const std::exception&) {
    // The rights check names the refusal; the store name is still worth checking.
  }
  return names;
}

void CheckCollation(CheckList& list, Database& database, const std::vector<std::string>& names) {
  const std::string name = database.Check("collation");
  if (database.embedded) {
    list.NotApplicable(name, "the embedded engine keeps every text in Unicode");
    return;
  }
  list.Guard(name, "", [&] {
    const db::ResultSet collation_result =
        database.Query("SELECT CAST(DATABASEPROPERTYEX(DB_NAME(), 'Collation') AS nvarchar(128))");
    const std::string collation = collation_result.rows.empty() || collation_result.rows[0].empty()
                                      ? std::string()
                                      : db::ValueToText(collation_result.rows[0][0]);
    const std::optional<std::int64_t> code_page =
        Number(database.Query("SELECT CAST(COLLATIONPROPERTY(" + UnicodeLiteral(collation) +
                              ", 'CodePage') AS int)"));
    if (!code_page) {
      list.Fail(name, "the server names no code page for collation '" + collation + "'",
                "give the database a Chinese or UTF-8 collation (ALTER DATABASE ... COLLATE "
                "Chinese_PRC_CI_AS)");
      return;
    }
    const std::string found =
        "collation " + collation + ", code page " + std::to_string(*code_page);
    std::vector<std::string> lost;
    for (const std::string& text : names) {
      const std::optional<bool> holds = CodePageHolds(static_cast<int>(*code_page), text);
      if (!holds) {
        list.Fail(name, found + ", which this machine cannot convert to",
                  "make the store tables' text columns nvarchar");
        return;
      }
      if (!*holds) lost.push_back("'" + text + "'");
    }
    if (lost.empty()) {
      list.Pass(name, found + " holds the store name and every service category");
      return;
    }
    const std::vector<std::string> narrow = CodePageColumns(database);
    if (narrow.empty()) {
      list.Pass(name, found + " cannot hold " + ListSome(lost, 3) +
                          ", but every text column of the store tables is Unicode (nvarchar)");
      return;
    }
    list.Fail(name,
              found + " cannot hold " + ListSome(lost, 3) + ", and " + ListSome(narrow, 4) +
                  " keep text in that code page: such names are stored as '?' and never match",
              "change those columns to nvarchar (as `rilo-server schema --engine mssql` makes "
              "them), or give the database a collation that holds Chinese (Chinese_PRC_CI_AS, "
              "or a _UTF8 one)");
  });
}

}  // namespace rilo::check
