// Driver failures as DbError(kEngine), read from the handle's diagnostic records.
#pragma once

#include <sql.h>

#include <string_view>

#include "db/DbError.h"

namespace rilo::db::odbc {

/// The error of the last call on `handle`: SQLSTATE and native code of its first error record
/// (warnings are skipped for those), and the messages of all records joined. `hidden`, when not
/// empty, is masked wherever a driver repeats it (a password, say).
DbError OdbcError(SQLSMALLINT handle_type, SQLHANDLE handle, std::string_view action,
                  std::string_view hidden = {});

/// Throws OdbcError unless `rc` reports success (with or without information).
inline void Check(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle,
                  std::string_view action) {
  if (!SQL_SUCCEEDED(rc)) throw OdbcError(handle_type, handle, action);
}

}  // namespace rilo::db::odbc
