#include "refresh/RefreshPlan.h"

#include "db/StoreTables.h"
#include "refresh/RefreshBatch.h"

namespace rilo::refresh {

RefreshPlan BuildEmbeddedPlan(std::string_view mainDatabase, std::string_view storeName) {
  return {{}, BuildRefreshBatch(mainDatabase, storeName)};
}

RefreshPlan BuildSqlServerPlan(std::string_view mainDatabase, std::string_view storeName) {
  const std::string source = "ITSV." + DatabasePart(mainDatabase) + ".dbo.";
  RefreshPlan plan;
  for (const db::MasterTable& table : db::MasterTablesInCopyOrder()) {
    const std::string t(table.name);
    const std::string c(table.columns);
    // A pooled session may still hold the temp table of an earlier run.
    plan.staging.push_back("IF OBJECT_ID('tempdb..#" + t + "') IS NOT NULL DROP TABLE #" + t);
    std::string read = "select " + c + " into #" + t + " from " + source + t;
    if (table.filtered_by_store) read += StoreFilter(storeName);
    plan.staging.push_back(std::move(read));
  }
  plan.transaction = BuildDeleteAndCopy(
      [](const db::MasterTable& table) { return "#" + std::string(table.name); });
  return plan;
}

}  // namespace rilo::refresh
