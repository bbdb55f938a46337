// How a server thread, or a check, reaches SQL Server over ODBC. Each server thread keeps its
// own: two in one process may use two drivers.
#pragma once

#include <string>
#include <vector>

namespace rilo {

struct OdbcSettings {
  /// The driver used when the connection string names none: a name registered with the driver
  /// manager ("ODBC Driver 18 for SQL Server", braces optional) or the path of a driver
  /// library. Empty: FreeTDS's library on Linux, the best SQL Server driver installed on
  /// Windows.
  std::string driver{};
  /// KEYWORD=VALUE texts added to every connection through FreeTDS, for servers that force
  /// encryption: Encryption (off, request, require) and CAFile (a file of trusted certificate
  /// authorities).
  std::vector<std::string> freetds_keywords{};
  /// The OLE DB provider of the linked server the refresh creates. Empty: SQLOLEDB before
  /// SQL Server 2022, MSOLEDBSQL from 2022 on.
  std::string link_provider{};
};

/// Empty when the settings can be used; otherwise why not: a keyword other than Encryption
/// and CAFile, a bad value, or strict encryption, which FreeTDS cannot do.
std::string OdbcSettingsProblem(const OdbcSettings& settings);

}  // namespace rilo
