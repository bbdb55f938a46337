// Session temp tables (#name) as SQL Server has them, on the embedded engine: SQLite's temp
// schema is per connection too, so "#name" lives there as temp.[#name].
#pragma once

#include <string>
#include <string_view>

namespace rilo::tds {

/// The statement with its temp-table forms made into the engine's: "IF OBJECT_ID('tempdb..#t')
/// IS NOT NULL DROP TABLE #t" drops it if it exists, "select ... into #t from ..." creates it
/// from the query, and every other #name outside literals names temp.[#name].
std::string RewriteTempTables(std::string_view sql);

}  // namespace rilo::tds
