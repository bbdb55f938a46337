// How an updatable recordset finds the rows it writes back to: the key of each base table is
// selected alongside the caller's columns, unseen, and an update changes a row only while it
// still holds the values that were read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/Engine.h"

namespace rilo::db {

struct KeyedTable {
  std::string table;
  std::vector<std::string> key_columns;    // empty: no row of this table can be identified
  std::vector<std::size_t> key_positions;  // where each key value stands in a fetched row
};

struct WriteBackPlan {
  std::string sql;                  // the query to run: the caller's, plus the key columns
  std::size_t visible_columns = 0;  // the caller's columns, which come first in each row
  std::vector<ColumnInfo> columns;  // the caller's columns as the engine describes them
  std::vector<KeyedTable> tables;
  std::vector<std::optional<std::size_t>> table_of_column;  // per caller's column
};

/// Describes `sql` on `session`, asks for the key of each base table and adds the key columns
/// to the outermost select list, qualified as the FROM clause names their table. A column
/// with no base table, of a table without a key, of a table the FROM clause names twice, or
/// of a query that groups rows, stays without a table: it cannot be written back.
WriteBackPlan PlanWriteBack(Session& session, std::string_view sql);

/// One column to change: the value read and the value to write.
struct ColumnChange {
  std::string column;
  Value read;
  Value written;
  bool compares_as_datetime = false;  // the guard casts the value read to datetime
};

struct RowUpdate {
  std::string sql;
  std::vector<Value> params;
};

/// UPDATE [table] SET [c] = ? ... WHERE [key] = ? ... AND [c] = ? (or [c] IS NULL for a Null
/// read, [c] = CAST(? AS datetime) for a datetime): it changes the row only while it still
/// holds what was read.
RowUpdate BuildRowUpdate(const KeyedTable& table, const std::vector<Value>& key_values,
                         const std::vector<ColumnChange>& changes);

}  // namespace rilo::db
