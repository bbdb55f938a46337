// What the access layer needs of a database engine. Two engines stand behind it: the embedded
// SQLite engine (Data Source "sqlite:DIR") and SQL Server over ODBC (anything else).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/Value.h"

namespace rilo::db {

struct ColumnInfo {
  std::string name;         // the column name or alias as the query writes it
  std::string base_table;   // table the column comes from; empty for an expression
  std::string base_column;  // column of base_table; empty for an expression
  // SQL Server's datetime keeps 1/300 s (.003 is .00333...), so it equals a parameter, which
  // travels as datetime2, only once the parameter is cast to datetime.
  bool compares_as_datetime = false;
};

/// A whole result, fetched to the client.
struct ResultSet {
  std::vector<ColumnInfo> columns;
  std::vector<std::vector<Value>> rows;
};

/// One open engine connection. Every failure is thrown as DbError.
class Session {
 public:
  virtual ~Session() = default;

  /// Runs a statement (T-SQL as this server writes it); any result is discarded.
  virtual void Execute(std::string_view sql) = 0;

  /// Runs a query and fetches its whole result.
  virtual ResultSet Query(std::string_view sql) = 0;

  /// Describes the columns of a query without running it.
  virtual std::vector<ColumnInfo> Describe(std::string_view sql) = 0;

  /// Runs a statement with positional '?' parameters; returns the number of rows it changed.
  virtual std::int64_t ExecuteWithParams(std::string_view sql, std::span<const Value> params) = 0;

  /// The columns of the primary key of `table` (SQLite without one: "rowid"); empty when the
  /// table has no key the engine can name.
  virtual std::vector<std::string> PrimaryKeyColumns(std::string_view table) = 0;

  virtual void BeginTransaction() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
};

}  // namespace rilo::db
