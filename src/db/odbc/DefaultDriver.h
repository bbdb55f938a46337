// The ODBC driver used for SQL Server when neither the host nor the connection string names
// one: FreeTDS's on Linux, the best SQL Server driver installed on Windows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rilo::db::odbc {

std::string DefaultDriver();

/// Of the installed drivers, the newest of Microsoft's: "ODBC Driver 18 for SQL Server",
/// then 17, then "SQL Server", which every Windows has (so also when none is listed).
/// Names are compared ignoring ASCII case.
std::string BestSqlServerDriver(const std::vector<std::string>& installed);

/// The drivers the driver manager lists, by name (UTF-8). Empty when it cannot list them.
std::vector<std::string> InstalledDrivers();

}  // namespace rilo::db::odbc
