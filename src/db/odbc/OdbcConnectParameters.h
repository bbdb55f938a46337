// What connecting over ODBC takes, read from an ADO-style connection string.
#pragma once

#include <sql.h>

#include <optional>
#include <string>
#include <string_view>

namespace rilo::db {
class ConnectionString;
struct OdbcChoice;
}

namespace rilo::db::odbc {

struct OdbcConnectParameters {
  std::string connection_string;  // for SQLDriverConnectW
  /// From ADO's "Connect Timeout"; unset leaves the driver's own default.
  std::optional<SQLUINTEGER> login_timeout_seconds;
  std::string server;    // for messages
  std::string database;  // for messages
  std::string password;  // masked wherever a driver message repeats it
};

/// The driver and FreeTDS keywords of `odbc` apply where the string names no driver. Throws
/// DbError(kUsage) for a keyword or value that cannot be passed on safely.
OdbcConnectParameters ReadConnectParameters(const ConnectionString& connection_string,
                                            const OdbcChoice& odbc);

/// A driver name without the braces it is often written in.
std::string UnbracedDriverName(std::string_view name);

}  // namespace rilo::db::odbc
