#include "db/access/WriteBackPlanCache.h"

#include <map>
#include <utility>

#include "db/ConnectionString.h"
#include "db/sqlite/EmbeddedDataSource.h"

namespace rilo::db {
namespace {

// Statement texts carry the business date, so new ones come every day: a bound keeps the
// map small on a server that runs for months.
constexpr std::size_t kMaxPlans = 64;

using PlanKey = std::pair<std::string, std::string>;  // connection, statement text

thread_local std::map<PlanKey, WriteBackPlan> plans;

bool IsSqlServer(const std::string& connection) {
  const auto parsed = ConnectionString::Parse(connection);
  return !IsEmbeddedDataSource(
      parsed.Get("Data Source").value_or(parsed.Get("Server").value_or("")));
}

// SQL Server's "Invalid column name" and "Invalid object name", or any SQLSTATE of class 42.
bool IsSchemaError(const DbError& error) {
  return error.kind() == DbError::Kind::kEngine &&
         (error.native_code() == 207 || error.native_code() == 208 ||
          error.sqlstate().starts_with("42"));
}

}  // namespace

WriteBackPlan CachedWriteBackPlan(Session& session, const std::string& connection,
                                  std::string_view sql) {
  // The embedded engine describes a query without a round trip: nothing to save there.
  if (!IsSqlServer(connection)) return PlanWriteBack(session, sql);
  PlanKey key{connection, std::string(sql)};
  if (const auto kept = plans.find(key); kept != plans.end()) return kept->second;
  WriteBackPlan plan = PlanWriteBack(session, sql);
  if (plans.size() >= kMaxPlans) plans.clear();
  plans.emplace(std::move(key), plan);
  return plan;
}

void ForgetWriteBackPlanOn(const DbError& error, const std::string& connection,
                           std::string_view sql) {
  if (IsSchemaError(error)) ForgetWriteBackPlan(connection, sql);
}

void ForgetWriteBackPlan(const std::string& connection, std::string_view sql) {
  plans.erase(PlanKey{connection, std::string(sql)});
}

}  // namespace rilo::db
