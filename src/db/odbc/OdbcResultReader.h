// The columns and rows of the result a statement handle stands on.
#pragma once

#include <sql.h>

#include <vector>

#include "db/Engine.h"

namespace rilo::db::odbc {

struct OdbcColumn {
  ColumnInfo info;
  SQLSMALLINT sql_type = SQL_UNKNOWN_TYPE;
};

/// The columns of a prepared or executed statement; none when it gives no result. A driver
/// that cannot name a column's base table leaves it empty. Throws DbError(kEngine).
std::vector<OdbcColumn> DescribeColumns(SQLHSTMT statement);

/// Fetches every remaining row of the current result. Throws DbError(kEngine).
std::vector<std::vector<Value>> FetchRows(SQLHSTMT statement,
                                          const std::vector<OdbcColumn>& columns);

}  // namespace rilo::db::odbc
