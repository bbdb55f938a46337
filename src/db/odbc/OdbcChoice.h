// How one server thread reaches SQL Server over ODBC: the driver used where a connection
// string names none, and the keywords added to every connection through FreeTDS.
#pragma once

#include <string>

#include "db/odbc/OdbcExtraKeywords.h"
#include "rilo/OdbcSettings.h"

namespace rilo::db {

struct OdbcChoice {
  std::string driver;               // without braces; empty: the system's default
  odbc::Keywords freetds_keywords;  // checked by ReadOdbcChoice

  /// The driver used when the connection string names none: `driver`, else FreeTDS's library
  /// on Linux, the best SQL Server driver installed on Windows.
  std::string Driver() const;
};

/// The engine's part of the host's settings (the link provider is the refresh's). Throws
/// DbError(kUsage) for a keyword other than Encryption and CAFile, a bad value, or strict
/// encryption, which FreeTDS cannot do.
OdbcChoice ReadOdbcChoice(const OdbcSettings& settings);

/// The same for settings a host hands to the public API, which answers bad ones with
/// std::invalid_argument.
OdbcChoice CheckedOdbcChoice(const OdbcSettings& settings);

}  // namespace rilo::db
