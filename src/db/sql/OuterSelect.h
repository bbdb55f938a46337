// The shape of a query's outermost SELECT: where its select list ends and which tables its
// FROM clause names. Enough to add columns to a query without touching anything else.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/sql/TokenWalk.h"

namespace rilo::db::sql {

struct TableReference {
  std::string table;      // the table's own name (last part, unquoted)
  std::string qualifier;  // how the query names it: its alias, or the name as written
};

struct OuterSelect {
  std::size_t from = 0;  // position of FROM (or of the end) after the select list
  std::vector<TableReference> tables;
  /// DISTINCT, GROUP BY, HAVING or a UNION/EXCEPT/INTERSECT: rows are not rows of tables.
  bool aggregates_rows = false;
};

/// The outermost SELECT of `tokens`; nothing when the text is not a plain SELECT (a WITH
/// clause, another statement, more than one statement). Subqueries and parenthesised joins
/// in FROM contribute no table.
std::optional<OuterSelect> ReadOuterSelect(const Tokens& tokens);

/// `sql` with `items` added at the end of the outermost select list, each after ", ".
/// Throws DbError(kUsage) when `sql` is not a plain SELECT.
std::string AppendToSelectList(std::string_view sql, std::span<const std::string> items);

}  // namespace rilo::db::sql
