// SQL Server over ODBC (unixODBC, FreeTDS's driver unless the host or the connection string
// names another).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/Engine.h"

namespace rilo::db {

class ConnectionString;

std::unique_ptr<Session> OpenOdbcSession(const ConnectionString& connection_string);

/// The ODBC connection string for an ADO-style one: Data Source -> Server, Database, UID,
/// PWD, the driver (FreeTDS by default, with TDS_Version=7.4); ADO's provider and pooling
/// keywords dropped. Throws DbError(kUsage) for a value the driver would misread.
std::string ToOdbcConnectionString(const ConnectionString& connection_string);

/// The driver used when the connection string names none, process-wide: a driver name
/// registered with the driver manager ("ODBC Driver 18 for SQL Server", braces optional) or
/// the path of a driver library. Empty restores the default: FreeTDS's library on Linux, the
/// best SQL Server driver installed on Windows. Safe from any thread.
void SetOdbcDriver(std::string name_or_path);

/// KEYWORD=VALUE texts added to every connection through FreeTDS, for servers that force
/// encryption: Encryption (off, request, require) and CAFile (a file of trusted certificate
/// authorities). Replaces the earlier set; empty clears it. Throws DbError(kUsage) for any
/// other keyword, a bad value, or strict encryption, which FreeTDS cannot do.
void SetFreeTdsKeywords(const std::vector<std::string>& assignments);
std::string OdbcDriver();

}  // namespace rilo::db
