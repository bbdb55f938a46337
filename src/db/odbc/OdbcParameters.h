// Binding Values to the '?' markers of a prepared statement.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <optional>
#include <span>
#include <vector>

#include "db/Value.h"
#include "db/odbc/OdbcText.h"

namespace rilo::db::odbc {

/// The bound values; the driver reads them at execution, so this must outlive SQLExecute.
class OdbcParameters {
 public:
  /// Text as wide text, int64 as BIGINT, double as DOUBLE, Decimal as its exact text typed
  /// DECIMAL(p,s), date-time as TIMESTAMP, Null as NULL. Throws DbError(kUsage) for a decimal
  /// text that is not a number, DbError(kEngine) when the driver refuses a binding.
  OdbcParameters(SQLHSTMT statement, std::span<const Value> values);
  /// Unbinds, so the statement never points at freed buffers.
  ~OdbcParameters();

  OdbcParameters(const OdbcParameters&) = delete;
  OdbcParameters& operator=(const OdbcParameters&) = delete;

 private:
  struct Buffer {
    std::optional<WideText> text;
    SQLBIGINT integer = 0;
    double real = 0;
    SQL_TIMESTAMP_STRUCT timestamp{};
    SQLWCHAR nothing = 0;
    SQLLEN indicator = 0;
  };

  void Bind(SQLHSTMT statement, SQLUSMALLINT number, const Value& value, Buffer& buffer);

  SQLHSTMT statement_;
  std::vector<Buffer> buffers_;
};

}  // namespace rilo::db::odbc
