// The catalog procedures the driver calls, answered from the engine: primary keys for
// SQLPrimaryKeys, the row identifier for SQLSpecialColumns, and the source of each column of a
// query for the engine's base-table lookup.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/Engine.h"
#include "tds/TdsColumns.h"

namespace rilo::tds {

struct CatalogResult {
  db::ResultSet result;
  std::vector<TdsColumn> columns;
};

/// sp_pkeys: one row per key column in key order; the embedded engine's row id is no key a
/// SQL Server client could use, so a table with only that has none. Throws db::DbError.
CatalogResult PrimaryKeyRows(db::Session& engine, std::string_view database,
                             std::string_view table);

/// sp_special_columns: no row identifier beyond the primary key.
CatalogResult NoSpecialColumns();

/// sp_describe_first_result_set with browse information: the columns of `tsql` with their
/// source table and column (NULL for an expression). Throws db::DbError.
CatalogResult DescribeFirstResultSet(db::Session& engine, std::string_view tsql);

}  // namespace rilo::tds
