// What a SQL Server says about itself and the login's rights, for the queries a preflight check
// sends: SERVERPROPERTY('ProductVersion'), DATABASEPROPERTYEX(DB_NAME(), 'Collation' or
// 'Updateability'), COLLATIONPROPERTY(name, 'CodePage'), HAS_PERMS_BY_NAME and
// INFORMATION_SCHEMA.COLUMNS, each rewritten into what the embedded engine computes.
#pragma once

#include <string>
#include <string_view>

#include "tds/TdsServer.h"

namespace rilo::tds {

/// `sql` with each of those expressions replaced by its value on this server: collation and
/// code page from options.collation, a permission in options.refused_permissions 0 (else 1),
/// HAS_PERMS_BY_NAME of a table that does not exist NULL, as SQL Server gives.
std::string WithServerProperties(std::string_view sql, const TdsServerOptions& options);

/// True when `permission` ("ALTER ANY LINKED SERVER", "UPDATE 服务预约") is refused.
bool Refused(const TdsServerOptions& options, std::string_view permission);

}  // namespace rilo::tds
