#include "tds/TdsCatalog.h"

#include <initializer_list>

namespace rilo::tds {
namespace {

db::ResultSet Named(std::initializer_list<const char*> names) {
  db::ResultSet result;
  for (const char* name : names) result.columns.push_back({name, "", ""});
  return result;
}

db::Value TextOrNull(const std::string& text) {
  if (text.empty()) return db::Null{};
  return text;
}

}  // namespace

CatalogResult PrimaryKeyRows(db::Session& engine, std::string_view database,
                             std::string_view table) {
  CatalogResult out;
  out.result =
      Named({"TABLE_QUALIFIER", "TABLE_OWNER", "TABLE_NAME", "COLUMN_NAME", "KEY_SEQ", "PK_NAME"});
  std::int64_t sequence = 0;
  for (const std::string& column : engine.PrimaryKeyColumns(table)) {
    if (column == "rowid") continue;
    out.result.rows.push_back({std::string(database), std::string("dbo"), std::string(table),
                               column, ++sequence, "PK_" + std::string(table)});
  }
  out.columns = ColumnsFor(out.result);
  out.columns[4].type = ColumnType::kInt;
  return out;
}

CatalogResult NoSpecialColumns() {
  CatalogResult out;
  out.result = Named({"SCOPE", "COLUMN_NAME", "DATA_TYPE", "TYPE_NAME", "PRECISION", "LENGTH",
                      "SCALE", "PSEUDO_COLUMN"});
  out.columns = ColumnsFor(out.result);
  return out;
}

CatalogResult DescribeFirstResultSet(db::Session& engine, std::string_view tsql) {
  CatalogResult out;
  out.result = Named({"is_hidden", "column_ordinal", "name", "source_table", "source_column"});
  std::int64_t ordinal = 0;
  for (const db::ColumnInfo& column : engine.Describe(tsql)) {
    out.result.rows.push_back({std::int64_t{0}, ++ordinal, column.name,
                               TextOrNull(column.base_table), TextOrNull(column.base_column)});
  }
  out.columns = {{"is_hidden", ColumnType::kBit},
                 {"column_ordinal", ColumnType::kInt},
                 {"name", ColumnType::kNVarChar},
                 {"source_table", ColumnType::kNVarChar},
                 {"source_column", ColumnType::kNVarChar}};
  return out;
}

}  // namespace rilo::tds
