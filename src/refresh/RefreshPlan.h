// How the refresh statements run on each kind of local server so that a failed or killed
// run leaves the local master tables as they were.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rilo::refresh {

struct RefreshPlan {
  /// Run first, outside any transaction.
  std::vector<std::string> staging;
  /// Run inside one local transaction, committed after the last one.
  std::vector<std::string> transaction;
};

/// Embedded engine: the 76 statements as they stand, all inside the local transaction (the
/// engine reads the main database file within the same transaction).
RefreshPlan BuildEmbeddedPlan(std::string_view mainDatabase, std::string_view storeName);

/// SQL Server: a local transaction that read through a linked server would be promoted to
/// a distributed one, which fails where no distributed-transaction coordinator runs (most
/// store servers). So the main data is first read through ITSV into session temp tables
/// (#<table>, dropped first in case a pooled session still holds one) outside any
/// transaction; then, inside one local transaction, the 19 deletions, and per table in copy
/// order identity on, the copy from its temp table, identity off. The local tables end up
/// exactly as the 76 statements leave them, and a run that fails anywhere changes none of
/// them.
RefreshPlan BuildSqlServerPlan(std::string_view mainDatabase, std::string_view storeName);

}  // namespace rilo::refresh
