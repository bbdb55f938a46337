#include "db/odbc/DefaultDriver.h"

#include <sqlext.h>

#include <algorithm>
#include <array>

#include "db/odbc/OdbcHandles.h"
#include "db/odbc/OdbcText.h"
#include "db/sql/Names.h"

namespace rilo::db::odbc {

std::string DefaultDriver() {
#ifdef _WIN32
  // Asked once: the drivers installed do not change under a running server.
  static const std::string best = BestSqlServerDriver(InstalledDrivers());
  return best;
#elif defined(__aarch64__)
  // Named by path so no odbcinst.ini entry is needed.
  return "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so";
#else
  return "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so";
#endif
}

std::string BestSqlServerDriver(const std::vector<std::string>& installed) {
  constexpr std::array<std::string_view, 2> kPreferred = {"ODBC Driver 18 for SQL Server",
                                                          "ODBC Driver 17 for SQL Server"};
  for (std::string_view preferred : kPreferred) {
    auto found = std::ranges::find_if(
        installed, [&](const std::string& name) { return sql::SameName(name, preferred); });
    if (found != installed.end()) return *found;
  }
  return "SQL Server";
}

std::vector<std::string> InstalledDrivers() {
  std::vector<std::string> drivers;
  try {
    EnvironmentHandle environment = AllocateEnvironment();
    std::array<SQLWCHAR, 512> name{};
    std::array<SQLWCHAR, 2048> attributes{};
    SQLSMALLINT name_length = 0;
    SQLSMALLINT attributes_length = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(SQLDriversW(environment.get(), direction, name.data(),
                                     static_cast<SQLSMALLINT>(name.size()), &name_length,
                                     attributes.data(), static_cast<SQLSMALLINT>(attributes.size()),
                                     &attributes_length))) {
      drivers.push_back(FromWideTerminated(name.data(), name.size()));
      direction = SQL_FETCH_NEXT;
    }
  } catch (const std::exception&) {
    // No driver manager to ask: the caller falls back to the driver every system has.
  }
  return drivers;
}

}  // namespace rilo::db::odbc
