// What a login may do, asked without doing it: SQL Server answers HAS_PERMS_BY_NAME; on the
// embedded engine, where there are no logins, a write is tried in a transaction rolled back.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "check/Database.h"

namespace rilo::check {

struct TablePermission {
  std::string table;
  std::string permission;  // SELECT, INSERT, UPDATE, DELETE, ALTER
};

/// SQL Server: the permissions of `wanted` the login lacks. A table the server does not find
/// is left to the tables check.
std::vector<TablePermission> RefusedTablePermissions(Database& database,
                                                     const std::vector<TablePermission>& wanted);

/// "UPDATE on 服务预约, SELECT on 销售详情" and the GRANT statements that mend it.
std::string DescribeRefused(const std::vector<TablePermission>& refused);
std::string GrantsFor(const std::vector<TablePermission>& refused, std::string_view user);

/// SQL Server: "read-only" when the database is set READ_ONLY, else empty.
std::string ReadOnlyState(Database& database);

/// Embedded engine: runs `write` (a statement that changes no row) in a transaction that is
/// rolled back; throws the engine's refusal.
void TryWrite(Database& database, std::string_view write);

}  // namespace rilo::check
