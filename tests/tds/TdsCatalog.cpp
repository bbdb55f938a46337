#include "tds/TdsCatalog.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

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
  // SQL Server's columns in its order; what the engine cannot tell is NULL.
  static constexpr std::initializer_list<const char*> kColumns = {
      "is_hidden", "column_ordinal", "name", "is_nullable", "system_type_id", "system_type_name",
      "max_length", "precision", "scale", "collation_name", "user_type_id", "user_type_database",
      "user_type_schema", "user_type_name", "assembly_qualified_type_name", "xml_collection_id",
      "xml_collection_database", "xml_collection_schema", "xml_collection_name",
      "is_xml_document", "is_case_sensitive", "is_fixed_length_clr_type", "source_server",
      "source_database", "source_schema", "source_table", "source_column", "is_identity_column",
      "is_part_of_unique_key", "is_updateable", "is_computed_column", "is_sparse_column_set",
      "ordinal_in_order_by_list", "order_by_is_descending", "order_by_list_length", "tds_type_id",
      "tds_length", "tds_collation_id", "tds_collation_sort_id"};
  constexpr std::size_t kHidden = 0, kOrdinal = 1, kName = 2, kTable = 25, kColumn = 26,
                        kUniqueKey = 28;
  CatalogResult out;
  out.result = Named(kColumns);
  std::int64_t ordinal = 0;
  const auto add = [&](bool hidden, const std::string& name, const std::string& table,
                       const std::string& column, bool key) {
    std::vector<db::Value> row(kColumns.size(), db::Null{});
    row[kHidden] = std::int64_t{hidden ? 1 : 0};
    row[kOrdinal] = ++ordinal;
    row[kName] = name;
    row[kTable] = TextOrNull(table);
    row[kColumn] = TextOrNull(column);
    if (!table.empty()) row[kUniqueKey] = std::int64_t{key ? 1 : 0};
    out.result.rows.push_back(std::move(row));
  };
  const std::vector<db::ColumnInfo> visible = engine.Describe(tsql);
  std::vector<std::string> tables;
  for (const db::ColumnInfo& column : visible) {
    add(false, column.name, column.base_table, column.base_column, false);
    if (!column.base_table.empty() && std::ranges::find(tables, column.base_table) == tables.end()) {
      tables.push_back(column.base_table);
    }
  }
  // Browse information: the key of each base table follows, hidden, where the query leaves
  // it out, so that a client can find the rows it read.
  for (const std::string& table : tables) {
    for (const std::string& key : engine.PrimaryKeyColumns(table)) {
      const bool shown = std::ranges::any_of(visible, [&](const db::ColumnInfo& c) {
        return c.base_table == table && c.base_column == key;
      });
      if (key != "rowid" && !shown) add(true, key, table, key, true);
    }
  }
  out.columns = ColumnsFor(out.result);
  for (std::size_t i = 0; i < out.columns.size(); ++i) {
    const std::string_view name = *(kColumns.begin() + i);
    if (name.starts_with("is_") || name == "order_by_is_descending") {
      out.columns[i].type = ColumnType::kBit;
    } else if (name != "name" && (name.ends_with("_id") || name.ends_with("ordinal") ||
                                  name.ends_with("length") || name == "precision" ||
                                  name == "scale" || name == "ordinal_in_order_by_list")) {
      out.columns[i].type = ColumnType::kInt;
    } else {
      out.columns[i].type = ColumnType::kNVarChar;
    }
  }
  return out;
}

}  // namespace rilo::tds
