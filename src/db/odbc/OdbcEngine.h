// SQL Server over ODBC (unixODBC, FreeTDS's driver unless the connection string names one).
#pragma once

#include <memory>
#include <string>

#include "db/Engine.h"

namespace rilo::db {

std::unique_ptr<Session> OpenOdbcSession(const ConnectionString& connection_string);

/// The ODBC connection string for an ADO-style one: Data Source -> Server, Database, UID,
/// PWD, the driver (FreeTDS by default, with TDS_Version=7.4); ADO's provider and pooling
/// keywords dropped. Throws DbError(kUsage) for a value the driver would misread.
std::string ToOdbcConnectionString(const ConnectionString& connection_string);

}  // namespace rilo::db
