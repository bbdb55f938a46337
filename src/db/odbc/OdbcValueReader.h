// Reading one column of the current row as a Value, by the column's SQL type.
#pragma once

#include <sql.h>

#include "db/Value.h"

namespace rilo::db::odbc {

/// Integers and bit as int64, binary floats as double, decimal/numeric/money as their exact
/// text, dates and date-times as CalendarDateTime, binary as "0x..." hex text, everything else
/// as text; SQL NULL as Null. Long values are read piece by piece. Throws DbError(kEngine).
Value ReadValue(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT sql_type);

}  // namespace rilo::db::odbc
