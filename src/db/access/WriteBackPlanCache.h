// What a write-back needs to know of a query on SQL Server (its columns, the base table of
// each and that table's key) stays the same while the schema does, yet asking for it costs
// several round trips on every run. Plans are kept per thread (the server thread, for its
// life), by connection (server, database, login) and statement text.
#pragma once

#include <string>
#include <string_view>

#include "db/DbError.h"
#include "db/Engine.h"
#include "db/access/WriteBack.h"

namespace rilo::db {

/// The plan of `sql` for the connection string `connection` (passwords hidden): kept from an
/// earlier call for a SQL Server, planned now on `session` otherwise.
WriteBackPlan CachedWriteBackPlan(Session& session, const std::string& connection,
                                  std::string_view sql);

/// Drops the kept plan of `sql` when `error` says the schema is not what the plan knew (an
/// unknown table or column), so the next open plans afresh.
void ForgetWriteBackPlanOn(const DbError& error, const std::string& connection,
                           std::string_view sql);

/// Drops the kept plan of `sql` whatever the reason.
void ForgetWriteBackPlan(const std::string& connection, std::string_view sql);

}  // namespace rilo::db
