// Base tables and columns of a query as SQL Server itself describes them.
//
// FreeTDS names a result column's base table only in browse mode, so over it a prepared query
// describes its columns without tables. SQL Server 2012 and later describe them on request:
// "sp_describe_first_result_set" with browse information.
#pragma once

#include <string_view>
#include <vector>

#include "db/Engine.h"

namespace rilo::db::odbc {

/// The statement that asks the server; its one parameter is the query text.
inline constexpr std::string_view kDescribeSourcesSql =
    "EXEC sp_describe_first_result_set @tsql = ?, @params = NULL, @browse_information_mode = 1";

/// Fills the base table and column of each column the driver left without one from the
/// server's description (its rows by "column_ordinal", hidden key columns skipped). Columns
/// the server cannot trace to a table, and a description of another shape, change nothing.
void AddServerSources(std::vector<ColumnInfo>& columns, const ResultSet& description);

}  // namespace rilo::db::odbc
