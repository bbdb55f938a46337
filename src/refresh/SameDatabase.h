// Whether the main and the local database of a refresh are one database. A refresh that
// empties the local tables and refills them from the "main" ones would then read back what it
// has just emptied: it must refuse instead.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/ModSQL.h"

namespace rilo::refresh {

/// Why the main and the local database of `settings` are the same database, or nothing when
/// they are two (or cannot be told apart from their names). Embedded engine: the same file,
/// after resolving symbolic links and the case of the database name. SQL Server: the same
/// server, after normalising how it is written ("(local)", ".", "localhost" and 127.0.0.1
/// mean this machine; "tcp:" and the default port 1433 change nothing; the default
/// instance may be named MSSQLSERVER), and the same database name in any case.
std::optional<std::string> SameDatabaseReason(const db::DbSettings& settings);

/// The SQL Server name `server` written one way: lower case, this machine as "(local)",
/// without "tcp:", the default port or the default instance's name.
std::string NormalisedServerName(std::string_view server);

}  // namespace rilo::refresh
