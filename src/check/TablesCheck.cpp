#include "check/Checks.h"
#include "check/ColumnKinds.h"
#include "db/Value.h"
#include "schema/TableCatalogue.h"

namespace rilo::check {
namespace {

// Every column of every table of the database with its declared type.
constexpr std::string_view kSqlServerColumns =
    "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS "
    "WHERE TABLE_SCHEMA = N'dbo'";
constexpr std::string_view kEmbeddedColumns =
    "SELECT m.name, p.name, p.type FROM sqlite_schema AS m "
    "JOIN pragma_table_info(m.name) AS p WHERE m.type = 'table'";

void ReadColumns(Database& database) {
  const db::ResultSet result =
      database.Query(database.embedded ? kEmbeddedColumns : kSqlServerColumns);
  for (const auto& row : result.rows) {
    if (row.size() < 3) continue;
    database.columns[db::ValueToText(row[0])][db::ValueToText(row[1])] = db::ValueToText(row[2]);
  }
}

}  // namespace

void CheckTables(CheckList& list, Database& database, bool master_tables_only) {
  const std::string name = database.Check("tables and columns");
  const std::string engine = database.embedded ? "sqlite" : "mssql";
  if (!list.Guard(name, "", [&] { ReadColumns(database); })) return;

  std::vector<std::string> missing_tables;
  std::vector<std::string> missing_columns;
  std::vector<std::string> wrong_kinds;
  std::size_t tables = 0;
  for (const schema::StoreTable& table : schema::StoreTableCatalogue()) {
    if (master_tables_only && !table.master) continue;
    ++tables;
    const auto found = database.columns.find(std::string(table.name));
    if (found == database.columns.end()) {
      missing_tables.emplace_back(table.name);
      continue;
    }
    for (const schema::Column& column : table.columns) {
      const auto declared = found->second.find(std::string(column.name));
      const std::string where = std::string(table.name) + "." + std::string(column.name);
      if (declared == found->second.end()) {
        missing_columns.push_back(where);
      } else if (!Serves(KindOfDeclaredType(declared->second), column.type)) {
        wrong_kinds.push_back(where + " is " + declared->second + ", not " +
                              std::string(KindName(column.type)));
      }
    }
  }
  if (missing_tables.empty() && missing_columns.empty() && wrong_kinds.empty()) {
    list.Pass(name, std::to_string(tables) + " tables with every column the jobs use");
    return;
  }
  std::string reason;
  std::string fix;
  const auto add = [](std::string& text, const std::string& part) {
    if (!text.empty()) text += "; ";
    text += part;
  };
  if (!missing_tables.empty()) {
    add(reason, "missing table " + ListSome(missing_tables));
    add(fix, "create the missing tables as `rilo-server schema --engine " + engine +
                 "` prints them");
  }
  if (!missing_columns.empty()) {
    add(reason, "missing column " + ListSome(missing_columns));
    add(fix, "add the missing columns (ALTER TABLE ... ADD, with the type `rilo-server schema "
             "--engine " + engine + "` gives them)");
  }
  if (!wrong_kinds.empty()) {
    add(reason, ListSome(wrong_kinds));
    add(fix, "change those columns to the kind named");
  }
  list.Fail(name, reason, fix);
}

}  // namespace rilo::check
