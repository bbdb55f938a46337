// Session temp tables (#name) as SQL Server has them, on the embedded engine: SQLite's temp
// schema is per connection too, so "#name" lives there as temp.[#name].
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/Engine.h"

namespace rilo::tds {

/// The statement with its temp-table forms made into the engine's: "IF OBJECT_ID('tempdb..#t')
/// IS NOT NULL DROP TABLE #t" drops it if it exists, "select ... into #t from ..." creates it
/// from the query, and every other #name outside literals names temp.[#name].
std::string RewriteTempTables(std::string_view sql);

/// The session's temp tables, as the engine names them.
std::vector<std::string> TempTableNames(db::Session& engine);

/// Drops the session's temp tables that `kept` does not name: those a procedure call made end
/// when it returns. Never throws.
void DropTempTablesBeyond(db::Session& engine, const std::vector<std::string>& kept) noexcept;

}  // namespace rilo::tds
