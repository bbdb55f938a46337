// sum() for money: amounts are decimals stored as REAL, and adding them in binary floating
// point shows as "95077.1799999999" where SQL Server shows 95077.18.
#pragma once

#include <sqlite3.h>

namespace rilo::db::sqlite {

/// Replaces SQLite's sum(X) on `db` (also as a window function) by one that adds each REAL as
/// the decimal its shortest text names, exactly, and returns the double nearest that total.
/// Everything else is as SQLite's own sum: NULL without a non-NULL input; an integer when
/// every input is one, failing with "integer overflow" past 64 bits; TEXT and BLOB count by
/// their numeric prefix ('12abc' is 12, 'abc' is 0.0). Past 18 decimals or the 128-bit range
/// the total falls back to compensated long double addition. Throws DbError.
void RegisterExactSum(sqlite3* db);

}  // namespace rilo::db::sqlite
